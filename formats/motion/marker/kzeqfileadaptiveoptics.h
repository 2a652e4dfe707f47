#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQFILEADAPTIVEOPTICS_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQFILEADAPTIVEOPTICS_H

#include <cstdint>

#include "fileio/ktextfile.h"
#include "formats/motion/marker/izeqfilemotionbase.h"

namespace zeqsdk_400 {

// An AOA or MCD marker file: the line "frames = n markers = m Hz = r" (each
// word, '=' included, separated by blanks; keywords in any case), then for
// every frame one "x y z" line per marker. No names, no gaps.
class KZeqFileAdaptiveOptics : public KTextFile, public IZeqFileMotionBase {
public:
    KZeqFileAdaptiveOptics();
    ~KZeqFileAdaptiveOptics() override;

    IKObject* IQuery(unsigned long interfaceId, int reserved) override;
    void Destroy(int reserved) override;
    bool Open(const char* name, const char* mode) override;
    bool Adopt(std::FILE* stream, const char* mode) override { return KTextFile::Adopt(stream, mode); }
    bool Close() override;
    int GetSystemError() const override { return KTextFile::GetSystemError(); }

    // A marker count must be backed by the file: one line a marker and frame,
    // or, without frames, no more markers than the file has bytes.
    bool ReadHeader(int& markerCount, KTime& start, int& frameCount, double& frameRate, double& scale) override;
    // "Marker1", "Marker2" ...
    bool ReadAnimationHeader(KArrayTemplate<KString*>& names, bool actorPrefix) override;
    // With exactZeroIsOccluded a point at exactly (0, 0, 0) is occluded.
    bool ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int markerCount, KTime& time, int& frameNumber,
                            KTime period, bool exactZeroIsOccluded) override;
    bool ReadFooter() override { return true; }

    bool PrintHeader(int markerCount, KTime start, int frameCount, double frameRate, double scale) override;
    bool PrintAnimationHeader(KArrayTemplate<KString*>&) override { return true; }
    // Occluded points too, as they are.
    bool PrintAnimationFrame(KZeqVector4* points, int count, KTime time, int frameIndex) override;
    bool PrintFooter() override { return Flush(); }

private:
    bool NextWord(KString& word);
    bool Expect(const char* keyword);

    std::uintmax_t mFileSize = 0;
    int mMarkerCount = 0;
};

}  // namespace zeqsdk_400

#endif
