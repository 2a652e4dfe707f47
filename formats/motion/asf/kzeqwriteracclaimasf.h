#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMASF_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMASF_H

#include <memory>

#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/asf/kzeqfileacclaimasf.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
// Exports the skeleton under the scene's root as an ASF file (export row 8)
// and leaves the skeleton in the motion options for a following AMC write.
class KZeqWriterAcclaimAsf : public KZeqMotionFileWriter<KZeqFileAcclaimAsf> {
public:
    explicit KZeqWriterAcclaimAsf(KZeqSdkManager& manager);
    ~KZeqWriterAcclaimAsf() override;

    KStreamOptions* GetWriteOptions() override;

protected:
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;
};

// The AMC writer's defaults too: no translation dofs, local values, a single
// root, the rate written, the range not.
KStreamOptions* KZeqAcclaimWriteOptions();
// Deepest scene tree the Acclaim writers take (their walks recurse).
bool KZeqAcclaimTreeFits(KZeqNode* root);

}  // namespace zeqsdk_400

#endif
