#include "formats/motion/common/kzeqmotionjoint.h"

#include <algorithm>
#include <cmath>

#include "base/kgemath.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeproperties.h"

namespace zeqsdk_400 {

namespace {

bool NonZero(const KZeqVector4& v) { return v[0] != 0.0 || v[1] != 0.0 || v[2] != 0.0; }

}  // namespace

bool KZeqMotionJoint::HasFullTransformUp(KZeqNode& node) {
    for (KZeqNode* n = &node; n; n = n->GetParent())
        if (n->NeedsFullTransform()) return true;
    return false;
}

bool KZeqMotionJoint::HasFullTransformAround(KZeqNode& node) {
    if (HasFullTransformUp(node)) return true;
    std::vector<KZeqNode*> pending{&node};
    while (!pending.empty()) {
        KZeqNode* below = pending.back();
        pending.pop_back();
        if (below->NeedsFullTransform()) return true;
        for (int i = below->GetChildCount(); i-- > 0;) pending.push_back(below->GetChild(i));
    }
    return false;
}

KZeqXMatrix KZeqMotionJoint::Local(KZeqNode& node, KTime time) {
    return node.NeedsFullTransform() ? node.EvaluateLocalTransform(time) : node.GetLocalFromCurrentTake(time);
}

KZeqVector4 KZeqMotionJoint::Angles(const KZeqXMatrix& matrix, int order) {
    // The rotation block as GetR divides it out (signed scaling), straight
    // from the rows: a turn no other axis takes part in reads as exact zeros.
    KZeqXMatrix rotation = matrix;
    rotation.SetS(KZeqVector4(1.0, 1.0, 1.0, 0.0));
    double angles[3];
    KmRtoVord(angles, rotation.mData, order);
    return KZeqVector4(angles[0], angles[1], angles[2], 0.0);
}

KZeqXMatrix KZeqMotionJoint::Global(KZeqNode& node, KTime time) {
    if (!HasFullTransformUp(node)) return node.GetGlobalFromCurrentTake(time);
    std::vector<KZeqNode*> chain;
    for (KZeqNode* n = &node; n; n = n->GetParent()) chain.push_back(n);
    KZeqXMatrix global = Local(*chain.back(), time);
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        KZeqXMatrix local = Local(**it, time), parent = global;
        KZeqNode::ComputeGlobalMatrixZeqStyle(global, parent, local);
    }
    return global;
}

KZeqMotionJointStates::KZeqMotionJointStates(KZeqNode& root) : mRoot(root) {
    std::vector<KZeqNode*> pending{&root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        if (node->NeedsFullTransform()) mFull.push_back(node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
}

void KZeqMotionJointStates::Set(KTime time) const {
    mRoot.SetLocalStateFromCurrentTake(time, true);
    for (KZeqNode* node : mFull) node->SetLocalState(node->EvaluateLocalTransform(time));
}

void KZeqMotionJointStates::SetFromRoot(KTime time) const {
    Set(time);
    mRoot.SetGlobalState(KZeqXMatrix());
    mRoot.SetGlobalStateId(0, true);
    mRoot.SetGlobalStateId(1, false);
}

KZeqJointRotationsKept::KZeqJointRotationsKept(KZeqNode& node)
    : mNode(node),
      mPre(node.GetPreRotation(KZeqNode::eSOURCE_SET)),
      mPost(node.GetPostRotation(KZeqNode::eSOURCE_SET)),
      mTranslationLimits(node.GetLimits().mTranslationLimits),
      mScalingLimits(node.GetLimits().mScalingLimits),
      mAxisLength(node.GetLimits().GetAxisLength()) {
    node.GetRotationOrder(KZeqNode::eSOURCE_SET, mOrder);
}

KZeqJointRotationsKept::~KZeqJointRotationsKept() {
    mNode.SetRotationOrder(KZeqNode::eSOURCE_SET, mOrder);
    mNode.SetPreRotation(KZeqNode::eSOURCE_SET, mPre);
    mNode.SetPostRotation(KZeqNode::eSOURCE_SET, mPost);
    KZeqNodeLimits& limits = mNode.GetLimits();
    limits.mTranslationLimits = mTranslationLimits;
    limits.mScalingLimits = mScalingLimits;
    limits.SetAxisLength(mAxisLength);
}

void KZeqJointNotes::CheckHeldTranslation(KZeqNode& node, const KZeqVector4& held, const KZeqVector4& actual) {
    const double size = std::max({1.0, std::fabs(held[0]), std::fabs(held[1]), std::fabs(held[2])});
    if (std::fabs(held[0] - actual[0]) <= 1e-6 * size && std::fabs(held[1] - actual[1]) <= 1e-6 * size &&
        std::fabs(held[2] - actual[2]) <= 1e-6 * size)
        return;
    if (!node.NeedsFullTransform()) return;
    KZeqNode::EPivotState state = KZeqNode::ePIVOT_STATE_REFERENCE;
    node.GetPivotState(KZeqNode::eSOURCE_SET, state);
    if (state != KZeqNode::ePIVOT_STATE_ACTIVE) return;
    const bool rotation = NonZero(node.GetRotationPivot(KZeqNode::eSOURCE_SET));
    const bool scaling = NonZero(node.GetScalingPivot(KZeqNode::eSOURCE_SET));
    if (rotation || scaling)
        NotHeld(node, rotation && scaling ? "rotation pivot and scaling pivot"
                      : rotation          ? "rotation pivot"
                                          : "scaling pivot");
}

void KZeqJointNotes::NotHeld(KZeqNode& node, const char* what) {
    if (std::find(mSaid.begin(), mSaid.end(), &node) != mSaid.end()) return;
    mSaid.push_back(&node);
    const KString text = KString("\"") + node.GetNameWithoutNameSpacePrefix() + "\": " + what +
                         " not held: the file keeps one offset for the joint, written where the first frame puts it.";
    if (mOptions) mOptions->MessageCallback(1, "Warning", text.Buffer(), "Ok", nullptr, nullptr, 0);
    mLines.push_back(text);
}

}  // namespace zeqsdk_400
