#ifndef ZEQ_FORMATS_MOTION_BVH_KZEQWRITERBIOVISION_H
#define ZEQ_FORMATS_MOTION_BVH_KZEQWRITERBIOVISION_H

#include <memory>
#include <unordered_set>

#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "formats/motion/bvh/kzeqfilebiovision.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/common/kzeqmotionjoint.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqNode;

// Exports the skeleton below a scene's single selected root and its
// animation of the current take, sampled over the options' frames, as a BVH
// file. A failed Write says why in the message too.
class KZeqWriterBiovision : public KZeqMotionFileWriter<KZeqFileBiovision> {
public:
    explicit KZeqWriterBiovision(KZeqSdkManager& manager);
    ~KZeqWriterBiovision() override;

    // KStreamOptionsMotion with "Translation" off, "ExportFromGlobalPosition"
    // off and "ExportRequireSingleRootNode" on; the caller releases them.
    KStreamOptions* GetWriteOptions() override;

    // The hierarchy of node (scaling: the product of the ancestors' scales,
    // carried into the offsets as KZeqCarriedScaling says; a joint turned
    // under an uneven scaling has its children where the first frame puts them).
    // A joint written without translation channels (below the root with
    // "Translation" off, or an End Site) whose current take has translation
    // curves gets as OFFSET its translation in that take at the options'
    // start, the first frame written; otherwise the default take's. A joint
    // with a full transform (KZeqMotionJoint) is written as that gives it at
    // the first frame, rotation and all.
    bool WriteNode(KZeqNode* node, int indent, bool rotationOnly, bool zxyOrder, const KZeqVector4& scaling);
    // One frame of node's subtree at time.
    bool WriteNodeMotion(KZeqNode* node, KTime time, bool rotationOnly, bool zxyOrder, const KZeqVector4& scaling);
    // Written as its parent's End Site: a leaf that is its parent's only
    // child and is no LimbNode, or a LimbNode without animation in the
    // current take, or is named "..._EndSite...".
    bool IsEndSite(KZeqNode* node);
    // Whether node's current take, not the default one, has translation curves.
    static bool HasTakeTranslation(KZeqNode* node);

protected:
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;

private:
    // Says through the notes what of a joint held in mHeld the file cannot hold at time.
    void CheckHeldTranslation(KZeqNode& node, KTime time);

    // For the time of one Write.
    KStreamOptionsMotion* mOptions = nullptr;
    KZeqNode* mRoot = nullptr;
    bool mFromGlobalPosition = false;
    // The joints below the root written without translation channels (or as
    // end sites), their OFFSET checked frame by frame.
    std::unordered_set<KZeqNode*> mHeld;
    // False while no node of the write needs its full transform: the frames
    // are then taken as they always were. True outside a write, for callers
    // of WriteNodeMotion alone.
    bool mAnyFull = true;
    // Whether a node may be scaled unevenly, the carried scaling then followed
    // as a matrix (KZeqCarriedScaling).
    bool mExact = false;
    std::unique_ptr<KZeqJointNotes> mNotes;
    // The full transforms of the write's frames, each evaluated once a frame
    // for the file, the notes and the shear check; null outside a write.
    KZeqMotionJointLocals* mLocals = nullptr;
};

}  // namespace zeqsdk_400

#endif
