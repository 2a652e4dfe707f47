#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMASF_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMASF_H

#include <memory>

#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KZeqFileAcclaimAsf;

// Exports the skeleton under the scene's root as an ASF file (export row 8)
// and leaves the skeleton in the motion options for a following AMC write.
class KZeqWriterAcclaimAsf : public KZeqWriter {
public:
    explicit KZeqWriterAcclaimAsf(KZeqSdkManager& manager);
    ~KZeqWriterAcclaimAsf() override;

    bool FileCreate(const char* fileName) override;
    // False with error 3 when what was written could not be stored.
    bool FileClose() override;
    bool IsFileOpen() override;
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

private:
    std::unique_ptr<KZeqFileAcclaimAsf> mFile;
};

// The AMC writer's defaults too: no translation dofs, local values, a single
// root, the rate written, the range not.
KStreamOptions* KZeqAcclaimWriteOptions();
// Deepest scene tree the Acclaim writers take (their walks recurse).
bool KZeqAcclaimTreeFits(KZeqNode* root);

}  // namespace zeqsdk_400

#endif
