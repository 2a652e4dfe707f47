#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQFILEMOTIONANALYSISTRC_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQFILEMOTIONANALYSISTRC_H

#include <cstdint>
#include <string>

#include "fileio/ktextfile.h"
#include "formats/motion/marker/izeqfilemotionbase.h"

namespace zeqsdk_400 {

// A TRC marker file: tab-separated text with a three-line header, a line of
// marker names, a line of X/Y/Z column labels, then one row per frame (frame
// number, time in seconds, x, y, z per marker; a gap is three empty fields).
// A space belongs to the word it is in.
class KZeqFileMotionAnalysisTrc : public KTextFile, public IZeqFileMotionBase {
public:
    KZeqFileMotionAnalysisTrc();
    ~KZeqFileMotionAnalysisTrc() override;

    IKObject* IQuery(unsigned long interfaceId, int reserved) override;
    void Destroy(int reserved) override;
    bool Open(const char* name, const char* mode) override;
    bool Adopt(std::FILE* stream, const char* mode) override { return KTextFile::Adopt(stream, mode); }
    bool Close() override;
    int GetSystemError() const override { return KTextFile::GetSystemError(); }

    // Types 3 and 4; units m, cm or mm. Type 4 gives the start as
    // (OrigDataStartFrame - 1) / DataRate; type 3 leaves it.
    bool ReadHeader(int& markerCount, KTime& start, int& frameCount, double& frameRate, double& scale) override;
    bool ReadAnimationHeader(KArrayTemplate<KString*>& names, bool actorPrefix) override;
    // One row, ending at its line end: as many points as it has column
    // triples; an empty coordinate makes the point occluded.
    bool ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int markerCount, KTime& time, int& frameNumber,
                            KTime period, bool exactZeroIsOccluded) override;
    bool ReadFooter() override { return true; }

    bool PrintHeader(int markerCount, KTime start, int frameCount, double frameRate, double scale) override;
    bool PrintAnimationHeader(KArrayTemplate<KString*>& names) override;
    bool PrintAnimationFrame(KZeqVector4* points, int count, KTime time, int frameIndex) override;
    bool PrintFooter() override { return Flush(); }

private:
    // The three header lines, read with blanks as separators.
    bool ReadHeaderLines(int& markerCount, KTime& start, int& frameCount, double& frameRate, double& scale);
    // The next word, without the blanks around it; with wrap, words of the
    // following lines when this one is used up.
    bool NextWord(KString& word, bool wrap);
    bool ExpectWord(const char* keyword);

    std::uintmax_t mFileSize = 0;
    std::string mRow;  // the row being printed
};

}  // namespace zeqsdk_400

#endif
