#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQADAPTIVEOPTICS_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQADAPTIVEOPTICS_H

#include "formats/motion/marker/kzeqreadermotionbase.h"
#include "formats/motion/marker/kzeqwritermotionbase.h"

namespace zeqsdk_400 {

// AOA import (row 9) or, with mcd, MCD import (row 10): the same file layout
// under another title and node prefix.
class KZeqReaderAdaptiveOptics : public KZeqReaderMotionBase {
public:
    KZeqReaderAdaptiveOptics(KZeqSdkManager& manager, bool mcd);

protected:
    IZeqFileMotionBase* CreateFileObject(const char* fileName) override;
    void SetReadOptions(KStreamOptionsMotion* options) override;
};

// AOA export (row 11) or MCD export (row 12).
class KZeqWriterAdaptiveOptics : public KZeqWriterMotionBase {
public:
    KZeqWriterAdaptiveOptics(KZeqSdkManager& manager, bool mcd);

protected:
    IZeqFileMotionBase* CreateFileObject(std::FILE* stream) override;
    void SetWriteOptions(KStreamOptionsMotion* options) override;
};

}  // namespace zeqsdk_400

#endif
