#ifndef ZEQ_FORMATS_MOTION_HTR_KZEQREADERMOTIONANALYSISHTR_H
#define ZEQ_FORMATS_MOTION_HTR_KZEQREADERMOTIONANALYSISHTR_H

#include <memory>

#include "base/kstring.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"

namespace zeqsdk_400 {

// Imports an HTR file (import row 4): skeleton nodes under "HTR:reference"
// (or the scene's root), a take named after the file, and the rest pose.
class KZeqReaderMotionAnalysisHtr : public KZeqMotionFileReader<KZeqFileMotionAnalysisHtr> {
public:
    explicit KZeqReaderMotionAnalysisHtr(KZeqSdkManager& manager);
    ~KZeqReaderMotionAnalysisHtr() override;

    // Frame count and rate from the header, "ImportCreateReferenceNode" on.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // On failure the scene is as it was. Frame sections that all hold fewer
    // frames than the options ask for are read as far as they go, the
    // options' frame count lowered to match, and a warning (the message, and
    // the options' message callback) says so.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;
};

}  // namespace zeqsdk_400

#endif
