#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQFILEVICON_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQFILEVICON_H

#include <memory>
#include <string>
#include <vector>

#include "fileio/kfilereplacement.h"
#include "formats/motion/marker/izeqfilemotionbase.h"
#include "formats/motion/marker/kviconloaderbase.h"
#include "formats/motion/marker/kviconparameter.h"

namespace zeqsdk_400 {

// The point trajectories of a C3D file (analog data is skipped on reading and
// not written). Names come from POINT:LABELS (then LABELS2, ...), units from
// POINT:UNITS, the axes from POINT:X_SCREEN and Y_SCREEN. Files are written in
// the DEC layout, as floats or, with a non-negative scale, 16-bit integers. A
// file Open writes takes its name at Close, complete: when a write, the close
// or the rename fails, an existing file stays as it was.
class KZeqFileVicon : public KViconLoaderBase, public IZeqFileMotionBase {
public:
    // Scale factor of written integer data (float bits 0x3E1460BE): steps of
    // about 0.145 mm.
    static constexpr float kWriteScale = 0.14490029f;

    KZeqFileVicon();
    ~KZeqFileVicon() override;

    IKObject* IQuery(unsigned long interfaceId, int reserved) override;
    void Destroy(int reserved) override;
    bool Open(const char* name, const char* mode) override;
    bool Adopt(std::FILE* stream, const char* mode) override;
    bool Close() override;
    int GetSystemError() const override { return GetWriteError(); }

    bool ReadHeader(int& markerCount, KTime& start, int& frameCount, double& frameRate, double& scale) override;
    bool ReadAnimationHeader(KArrayTemplate<KString*>& names, bool actorPrefix) override;
    bool ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int markerCount, KTime& time, int& frameNumber,
                            KTime period, bool exactZeroIsOccluded) override;
    bool ReadFooter() override { return true; }

    bool PrintHeader(int markerCount, KTime start, int frameCount, double frameRate, double scale) override;
    bool PrintAnimationHeader(KArrayTemplate<KString*>& names) override;
    bool PrintAnimationFrame(KZeqVector4* points, int count, KTime time, int frameIndex) override;
    bool PrintFooter() override;

    // The first TIMECODES parameter's hours, minutes, seconds and frames;
    // false when the file has none (after ReadHeader).
    bool GetTimeCode(int& hours, int& minutes, int& seconds, int& frames) const;
    // Points written invalid because they lay beyond 32767 integer steps.
    int GetClippedCount() const { return mClippedCount; }

private:
    const KViconParameter* FindParameter(int group, const char* name) const;
    bool ReadParameters();
    void ReadAxes();
    // The parameter records of a long file's TRIAL group, when they hold the
    // first and last frames the 16-bit header words cannot.
    void ReadLongFrameRange(long& first, long& last) const;

    bool mWriting = false;
    // The file Open writes, put in place by Close.
    KFileReplacement mReplacement;
    std::vector<std::unique_ptr<KViconParameter>> mParameters;

    // Reading state.
    int mPointGroup = 1;
    bool mKeepPrefixes = false;
    double mUnitScale = 0.1;  // file millimetres to scene centimetres
    int mAxisMap[3] = {-1, 3, 2};  // scene component i = sign x file component |m| (1 = x)
    long mFrameBytes = 0;
    std::vector<unsigned char> mFrame;  // one frame's point records

    // Writing state.
    long mSectionStart = 0;
    bool mLongRange = false;
    long mFirstFrameLong = 0;
    long mLastFrameLong = 0;
    int mClippedCount = 0;
};

}  // namespace zeqsdk_400

#endif
