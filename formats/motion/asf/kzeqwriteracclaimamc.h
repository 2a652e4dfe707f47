#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMAMC_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQWRITERACCLAIMAMC_H

#include <memory>

#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KZeqFileAcclaimAmc;

// Samples the scene's animation into AMC frames (export row 9) over the
// skeleton that an ASF write or read left in the same motion options.
class KZeqWriterAcclaimAmc : public KZeqWriter {
public:
    explicit KZeqWriterAcclaimAmc(KZeqSdkManager& manager);
    ~KZeqWriterAcclaimAmc() override;

    bool FileCreate(const char* fileName) override;
    // False with error 3 when what was written could not be stored.
    bool FileClose() override;
    bool IsFileOpen() override;
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

private:
    std::unique_ptr<KZeqFileAcclaimAmc> mFile;
};

}  // namespace zeqsdk_400

#endif
