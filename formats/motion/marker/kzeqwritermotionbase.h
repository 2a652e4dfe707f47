#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQWRITERMOTIONBASE_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQWRITERMOTIONBASE_H

#include "base/kstring.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class IZeqFileMotionBase;
class KStreamOptionsMotion;

// The writer shared by the optical marker formats: the global translations of
// the scene's selected nodes (optical reference nodes left out), sampled frame
// by frame over the options' range, with occlusion above 0.5 written as gaps.
class KZeqWriterMotionBase : public KZeqWriter {
public:
    explicit KZeqWriterMotionBase(KZeqSdkManager& manager);
    ~KZeqWriterMotionBase() override;

    bool FileCreate(const char* fileName) override;
    // False (error 3) when what was written could not be stored.
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KStreamOptions* GetWriteOptions() override;
    // False with error 3 "Out of disk space" (its text added to the message)
    // when the file refuses what is printed.
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

    const KString& GetTitle() const { return mTitle; }

protected:
    // A new file object opened for writing on fileName, or null.
    virtual IZeqFileMotionBase* CreateFileObject(const char* fileName) = 0;
    virtual void SetWriteOptions(KStreamOptionsMotion* options) = 0;

    IZeqFileMotionBase* mFile = nullptr;
    KString mTitle;

private:
    bool OutOfDiskSpace();
};

}  // namespace zeqsdk_400

#endif
