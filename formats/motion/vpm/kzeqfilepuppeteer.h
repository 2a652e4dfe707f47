#ifndef ZEQ_FORMATS_MOTION_VPM_KZEQFILEPUPPETEER_H
#define ZEQ_FORMATS_MOTION_VPM_KZEQFILEPUPPETEER_H

#include "base/kstring.h"
#include "base/kzeqvector.h"
#include "fileio/ktextfile.h"

namespace zeqsdk_400 {

// A Puppeteer VPM file: segments one after another, each
//   Segment:<tab>name
//   Frames:<tab>rows
//   Frame Time:<tab>seconds
//   XTRAN YTRAN ZTRAN XROT YROT ZROT XSCALE YSCALE ZSCALE   (channel line)
//   INCHES ... DEGREES ... PERCENT ...                      (units line)
//   one row of nine numbers a frame: translation in inches, Euler rotation in
//   degrees, scaling in percent.
// Keywords match in any case at the start of a line; blank lines are skipped.
class KZeqFilePuppeteer : public KTextFile {
public:
    static const char* const mType;
    static const char* const mDel;
    static const char* const mCom;
    static KToken mMain[4];

    KZeqFilePuppeteer();

    // A segment's three header lines, from the file's first line when first is
    // set; false unless the name is a word, the frame count >= 0 and the frame
    // time above 0.
    bool ReadHeader(KString& name, int& frames, double& frameTime, bool first);
    // The channel and units lines, not checked.
    bool ReadAnimationHeader();
    // One row: translation in centimetres, rotation in degrees, scaling 1
    // (its columns must be numbers; their values are not kept).
    bool ReadAnimationFrame(KZeqVector4& t, KZeqVector4& r, KZeqVector4& s);
    // Skips one line of a segment.
    bool SkipRow() { return NextLine(); }

    bool PrintHeader(const KString& name, int frames, double frameTime);
    bool PrintAnimationHeader();
    // Translation in centimetres (written in inches), scaling as a factor
    // (written in percent).
    bool PrintAnimationFrame(KZeqVector4 t, KZeqVector4 r, KZeqVector4 s);
};

}  // namespace zeqsdk_400

#endif
