#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQWRITERMOTIONBASE_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQWRITERMOTIONBASE_H

#include <cstdio>

#include "base/kstring.h"
#include "formats/motion/common/kzeqmotionfileio.h"

namespace zeqsdk_400 {

class IZeqFileMotionBase;
class KStreamOptionsMotion;

// The writer shared by the optical marker formats: the global translations of
// the scene's selected nodes (optical reference nodes left out), sampled frame
// by frame over the options' range, with occlusion above 0.5 written as gaps.
class KZeqWriterMotionBase : public KZeqMotionWriterBase {
public:
    explicit KZeqWriterMotionBase(KZeqSdkManager& manager);
    ~KZeqWriterMotionBase() override;

    KStreamOptions* GetWriteOptions() override;

    const KString& GetTitle() const { return mTitle; }

protected:
    // A new file object writing on stream, which it takes (closed with it, or
    // at once when it cannot be made), or null.
    virtual IZeqFileMotionBase* CreateFileObject(std::FILE* stream) = 0;
    virtual void SetWriteOptions(KStreamOptionsMotion* options) = 0;

    // Why the format cannot hold count markers; null when it can.
    virtual const char* RefuseMarkerCount(int count) const;

    bool OpenFile(std::FILE* stream) override;
    bool CloseFile(int& systemError) override;
    int GetWriteError() const override;
    // False as WriteFailed says when the file refuses what is printed.
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;

    IZeqFileMotionBase* mFile = nullptr;
    KString mTitle;
};

}  // namespace zeqsdk_400

#endif
