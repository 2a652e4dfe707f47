#ifndef ZEQ_IO_KSTREAMOPTIONS3DS_H
#define ZEQ_IO_KSTREAMOPTIONS3DS_H

#include "io/kstreamoptionsbase.h"

namespace zeqsdk_400 {

// The options of the 3DS reader and writer: 1 "Create Reference Node" (off),
// 7 "Materials", 8 "Texture Mapping", 9 "Anim", 10 "Geometries", 11 "Lights",
// 12 "Camera", 13 "Ambient Light", 14 "Rescale" (all on), 15 "Reduce Keys"
// (off), 16 "Smooth Group" and 17 "UV per polygon" (on).
class KStreamOptions3ds : public KStreamOptionsBase {
    KZEQ_CLASS_DECLARE(KStreamOptions3ds)

public:
    KStreamOptions3ds();
    void Reset() override;
};

// New options with their defaults; the caller releases them.
KStreamOptions3ds* KStreamOptions3dsCreate();

}  // namespace zeqsdk_400

#endif
