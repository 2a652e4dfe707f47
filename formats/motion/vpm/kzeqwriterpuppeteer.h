#ifndef ZEQ_FORMATS_MOTION_VPM_KZEQWRITERPUPPETEER_H
#define ZEQ_FORMATS_MOTION_VPM_KZEQWRITERPUPPETEER_H

#include <memory>

#include "base/karray.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/vpm/kzeqfilepuppeteer.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqMotionJointStates;
class KZeqNode;

// One sampled node at one frame: translation relative to the export root
// (scene units) and Euler XYZ rotation in degrees.
struct KVPMFrame {
    KZeqVector4 mTranslation;
    KZeqVector4 mRotation;
};

// Puppeteer VPM export (row 13): one segment per selected node (optical
// reference nodes left out), named after the last ':' of its name, one row a
// frame of the options' range, relative to the export root. A node sheared by
// an uneven scaling above it is written at its nearest and said once
// (KZeqJointShear).
class KZeqWriterPuppeteer : public KZeqMotionFileWriter<KZeqFilePuppeteer> {
public:
    explicit KZeqWriterPuppeteer(KZeqSdkManager& manager);
    ~KZeqWriterPuppeteer() override;

    KStreamOptions* GetWriteOptions() override;

    void FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node);
    // Samples every listed node at time into the frame's row of records, its
    // full transform folded in (KZeqMotionJoint).
    void FillAnimationFrames(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* root, KVPMFrame* row, KTime time);
    // One segment from the node's record in frame 0, stride records apart.
    bool WriteNode(KZeqNode* node, const KString& name, int frames, KTime period, const KVPMFrame* first, int stride);

protected:
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;

private:
    // The export root's states, for the time of one Write.
    std::unique_ptr<KZeqMotionJointStates> mStates;
};

}  // namespace zeqsdk_400

#endif
