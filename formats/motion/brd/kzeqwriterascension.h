#ifndef ZEQ_FORMATS_MOTION_BRD_KZEQWRITERASCENSION_H
#define ZEQ_FORMATS_MOTION_BRD_KZEQWRITERASCENSION_H

#include <memory>

#include "base/karray.h"
#include "base/ktime.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/brd/kzeqfileascension.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqNode;

// Ascension BRD export (row 15): frame after frame, one line per selected node
// (optical reference nodes left out) with its position and quaternion
// (w >= 0) relative to the export root; the sensor number is the node's place
// in the list. With option 11 "ExportGapsAsValidData" at 0, occluded samples
// are left out. A node's full transform is folded in (KZeqMotionJoint); one
// sheared by an uneven scaling above it is written at its nearest and said
// once (KZeqJointShear).
class KZeqWriterAscension : public KZeqMotionFileWriter<KZeqFileAscension> {
public:
    explicit KZeqWriterAscension(KZeqSdkManager& manager);
    ~KZeqWriterAscension() override;

    KStreamOptions* GetWriteOptions() override;

    void FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node);
    bool WriteFrame(KArrayTemplate<KZeqNode*>& nodes, KTime time, int frame, bool skipOccluded);
    bool WriteNode(KZeqNode* node, KTime time, int frame, int sensor, bool skipOccluded);

protected:
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;
};

}  // namespace zeqsdk_400

#endif
