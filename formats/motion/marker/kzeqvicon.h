#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQVICON_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQVICON_H

#include "formats/motion/marker/kzeqreadermotionbase.h"
#include "formats/motion/marker/kzeqwritermotionbase.h"

namespace zeqsdk_400 {

class KZeqFileVicon;

// C3D import (row 8). The take starts at the first frame's time, moved by the
// file's TIMECODES parameter when it has one.
class KZeqReaderVicon : public KZeqReaderMotionBase {
public:
    explicit KZeqReaderVicon(KZeqSdkManager& manager);

protected:
    IZeqFileMotionBase* CreateFileObject(const char* fileName) override;
    void SetReadOptions(KStreamOptionsMotion* options) override;
};

// C3D export (row 10): floats unless option 12 "ExportC3DRealFormat" is
// cleared. Points beyond the integer range are written as gaps, with a warning.
class KZeqWriterVicon : public KZeqWriterMotionBase {
public:
    explicit KZeqWriterVicon(KZeqSdkManager& manager);

protected:
    const char* RefuseMarkerCount(int count) const override;
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;
    IZeqFileMotionBase* CreateFileObject(std::FILE* stream) override;
    void SetWriteOptions(KStreamOptionsMotion* options) override;
};

}  // namespace zeqsdk_400

#endif
