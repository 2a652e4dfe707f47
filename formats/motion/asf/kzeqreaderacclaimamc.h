#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQREADERACCLAIMAMC_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQREADERACCLAIMAMC_H

#include <memory>

#include "base/kstring.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/asf/kzeqfileacclaimamc.h"

namespace zeqsdk_400 {

// Imports AMC motion (import row 7) as a new take on the skeleton that an
// ASF read left in the same motion options.
class KZeqReaderAcclaimAmc : public KZeqMotionFileReader<KZeqFileAcclaimAmc> {
public:
    explicit KZeqReaderAcclaimAmc(KZeqSdkManager& manager);
    ~KZeqReaderAcclaimAmc() override;

    // The file's rate (when it states one), start and frame count.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // On failure the scene is as it was.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;

    // The file's name without directory and extension, followed by a blank
    // and the first number from 1 that makes it new when the scene has that take.
    static KString GenerateTakeName(KZeqScene& scene, const char* fileName);
};

}  // namespace zeqsdk_400

#endif
