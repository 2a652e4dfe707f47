#ifndef ZEQ_FORMATS_MOTION_BVH_KZEQREADERBIOVISION_H
#define ZEQ_FORMATS_MOTION_BVH_KZEQREADERBIOVISION_H

#include <memory>

#include "base/kstring.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/bvh/kzeqfilebiovision.h"

namespace zeqsdk_400 {

// Imports a BVH file as a skeleton of LimbNode nodes under "BVH:reference"
// (kept or dissolved by "ImportCreateReferenceNode") with one take named
// after the file. A failed Read leaves the scene as it was.
class KZeqReaderBiovision : public KZeqMotionFileReader<KZeqFileBiovision> {
public:
    explicit KZeqReaderBiovision(KZeqSdkManager& manager);
    ~KZeqReaderBiovision() override;

    // KStreamOptionsMotion with the file's frame count and rate, and
    // "ImportCreateReferenceNode" on; the caller releases them.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    bool Read(KZeqScene& scene, KStreamOptions* options) override;
};

}  // namespace zeqsdk_400

#endif
