#ifndef ZEQ_FORMATS_MOTION_VPM_KZEQREADERPUPPETEER_H
#define ZEQ_FORMATS_MOTION_VPM_KZEQREADERPUPPETEER_H

#include <memory>

#include "base/kstring.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/vpm/kzeqfilepuppeteer.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqNode;

// Puppeteer VPM import (row 11): every segment of the file becomes an optical
// marker node with translation, rotation and scaling curves, under
// "VPM:optical" or "VPM:reference". The options' start, frame period and frame
// count apply to every segment; a bad later segment ends the file, keeping
// the ones before it.
class KZeqReaderPuppeteer : public KZeqMotionFileReader<KZeqFilePuppeteer> {
public:
    explicit KZeqReaderPuppeteer(KZeqSdkManager& manager);
    ~KZeqReaderPuppeteer() override;
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // On failure nothing of the file is left in the scene or with the manager.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;
    // One segment as a new child of parent; false (nothing made) when no
    // further segment reads.
    bool ReadNode(KZeqNode* parent, const KString& take, KStreamOptionsMotion* options, bool first);

private:
};

}  // namespace zeqsdk_400

#endif
