#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQREADERACCLAIMASF_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQREADERACCLAIMASF_H

#include <memory>

#include "base/kstring.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/asf/kzeqfileacclaimasf.h"

namespace zeqsdk_400 {

// Imports an ASF skeleton as skeleton nodes (import row 6) and leaves the
// parsed skeleton in the motion options for a following AMC read.
class KZeqReaderAcclaimAsf : public KZeqMotionFileReader<KZeqFileAcclaimAsf> {
public:
    explicit KZeqReaderAcclaimAsf(KZeqSdkManager& manager);
    ~KZeqReaderAcclaimAsf() override;

    // Motion options with "ImportCreateReferenceNode" on and "ImportDummyNodes"
    // and "ImportLimits" off; the file is not read.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // On failure the scene is as it was.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;
};

}  // namespace zeqsdk_400

#endif
