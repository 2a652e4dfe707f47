#ifndef ZEQ_FORMATS_MOTION_MOV_KZEQWRITERCORVANTISMOV_H
#define ZEQ_FORMATS_MOTION_MOV_KZEQWRITERCORVANTISMOV_H

#include <memory>

#include "base/karray.h"
#include "base/ktime.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/mov/kzeqfilecorvantismov.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqNode;

// Corvantis MOV export (row 14): per frame the time, then for every selected
// node (optical reference nodes left out) its global translation, rotation and
// scaling as enabled (options 0 to 2), each value followed by a tab; a node's
// full transform folded in (KZeqMotionJoint). A node sheared by an uneven
// scaling above it is written at its nearest and said once (KZeqJointShear).
class KZeqWriterCorvantisMov : public KZeqMotionFileWriter<KZeqFileCorvantisMov> {
public:
    explicit KZeqWriterCorvantisMov(KZeqSdkManager& manager);
    ~KZeqWriterCorvantisMov() override;

    KStreamOptions* GetWriteOptions() override;

    bool WriteFrame(KArrayTemplate<KZeqNode*>& nodes, KTime time, bool t, bool r, bool s);
    bool WriteNode(KZeqNode* node, KTime time, bool t, bool r, bool s);
    // Depth first from node: the selected nodes without an optical reference.
    void FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node);

protected:
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;
};

}  // namespace zeqsdk_400

#endif
