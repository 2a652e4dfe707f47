#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMAMC_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMAMC_H

#include <memory>

#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/asf/kzeqfileacclaimamc.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
// Samples the scene's animation into AMC frames (export row 9) over the
// skeleton that an ASF write or read left in the same motion options.
class KZeqWriterAcclaimAmc : public KZeqMotionFileWriter<KZeqFileAcclaimAmc> {
public:
    explicit KZeqWriterAcclaimAmc(KZeqSdkManager& manager);
    ~KZeqWriterAcclaimAmc() override;

    KStreamOptions* GetWriteOptions() override;

protected:
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;
};

}  // namespace zeqsdk_400

#endif
