#include "io/kzeqpivotreplacement.h"

#include <cstring>
#include <vector>

#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

constexpr KZeqNode::EPivotSet kSource = KZeqNode::eSOURCE_SET;

bool Contains(const KZeqNode* node, const char* marker) { return std::strstr(node->GetName(), marker) != nullptr; }

// "<name><marker>"; a name changed for a clash ("ncl" after its start) keeps
// its initial name in front and the tail of its current one behind.
KString HelperName(const KZeqNode& node, const char* marker) {
    const KString current(node.GetName());
    const int clash = current.Find("ncl");
    if (clash > 0) return KString(node.GetInitialName()) + marker + current.Right(static_cast<unsigned int>(clash));
    return current + marker;
}

KFCurve* Translation(KZeqTakeNode& take, int axis) {
    return axis == 0 ? take.GetTranslationX() : axis == 1 ? take.GetTranslationY() : take.GetTranslationZ();
}

KFCurve* Rotation(KZeqTakeNode& take, int axis) {
    return axis == 0 ? take.GetEulerRotationX() : axis == 1 ? take.GetEulerRotationY() : take.GetEulerRotationZ();
}

// A helper of a skeleton node is a limb node of the same size; other helpers have no attribute.
void GiveHelperAttribute(KZeqNode& helper, const KZeqNode& node, KZeqSdkManager& manager) {
    const KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    if (!attribute || attribute->GetAttributeType() != KZeqNodeAttribute::eSKELETON) return;
    KZeqSkeleton* limbNode = manager.CreateKZeqSkeleton();
    if (!limbNode) return;
    limbNode->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
    limbNode->SetLimbNodeSize(node.GetSkeleton()->GetLimbNodeSize());
    helper.SetNodeAttribute(limbNode);
}

// The take node of "to" named like from's take node t: made when missing,
// else the one at the same index (null when there is none).
KZeqTakeNode* MatchingTakeNode(KZeqNode& to, KZeqNode& from, int t) {
    KZeqTakeNode* take = from.GetTakeNode(t);
    if (!take) return nullptr;
    to.CreateTakeNode(take->GetName());
    return to.GetTakeNode(t);
}

// Moves node's pre-rotation and translation to a new parent.
void ExportPre(KZeqNode& node, KZeqNode* parent, KZeqSdkManager& manager) {
    KZeqNode* pre = manager.CreateKZeqNode(HelperName(node, "__Pre_").Buffer());
    if (!pre) return;
    // A refused parent leaves the node where it was, at the end of the children.
    if (!pre->AddChild(&node) || (parent && !parent->AddChild(pre))) {
        if (parent) parent->AddChild(&node);
        manager.DestroyKZeqNode(pre);
        return;
    }
    GiveHelperAttribute(*pre, node, manager);
    const KZeqVector4 rotation = node.GetPreRotation(kSource);
    KZeqVector4 translation;
    node.GetDefaultT(translation);
    pre->SetDefaultR(rotation);
    pre->SetDefaultT(translation);
    node.SetDefaultT(KZeqVector4());
    node.SetPreRotation(kSource, KZeqVector4());
    for (int t = 0; t < node.GetTakeNodeCount(); ++t) {
        KZeqTakeNode* to = MatchingTakeNode(*pre, node, t);
        KZeqTakeNode* from = node.GetTakeNode(t);
        if (!to) continue;
        for (int axis = 0; axis < 3; ++axis) {
            KFCurve* source = Translation(*from, axis);
            KFCurve* target = Translation(*to, axis);
            if (source && target) {
                target->CopyFrom(*source, true);
                source->KeyClear();
                source->SetValue(0.0f);
                target->SetValue(static_cast<float>(translation[axis]));
            }
            if (KFCurve* turn = Rotation(*to, axis)) turn->SetValue(static_cast<float>(rotation[axis]));
        }
    }
}

// Moves node's post-rotation to a new child above its former children.
void ExportPost(KZeqNode& node, KZeqSdkManager& manager) {
    KZeqNode* post = manager.CreateKZeqNode(HelperName(node, "__Post_").Buffer());
    if (!post) return;
    GiveHelperAttribute(*post, node, manager);
    if (KZeqTakeNode* take = node.GetTakeNode(0)) post->CreateTakeNode(take->GetName());
    while (node.GetChildCount() > 0) post->AddChild(node.GetChild(0));
    node.AddChild(post);
    post->SetDefaultR(node.GetPostRotation(kSource));
    node.SetPostRotation(kSource, KZeqVector4());
}

// Folds pre into node: its translation and curves come back, its rotation
// becomes the pre-rotation, and node takes its place. False, with nothing
// changed, when the node cannot move up (pre then stays in the tree).
bool ImportPre(KZeqNode& node, KZeqNode& pre) {
    KZeqNode* above = pre.GetParent();
    if (!above || !above->AddChild(&node)) return false;
    above->RemoveChild(&pre);
    KZeqVector4 translation, rotation;
    node.SetDefaultT(pre.GetDefaultT(translation));
    node.SetPreRotation(kSource, pre.GetDefaultR(rotation));
    for (int t = 0; t < pre.GetTakeNodeCount(); ++t) {
        KZeqTakeNode* to = MatchingTakeNode(node, pre, t);
        KZeqTakeNode* from = pre.GetTakeNode(t);
        for (int axis = 0; to && axis < 3; ++axis) {
            KFCurve* source = Translation(*from, axis);
            KFCurve* target = Translation(*to, axis);
            if (!source || !target) continue;
            target->CopyFrom(*source, true);
            target->SetValue(source->GetValue());
        }
    }
    return true;
}

void ImportPost(KZeqNode& node, KZeqNode& post) {
    KZeqVector4 rotation;
    node.SetPostRotation(kSource, post.GetDefaultR(rotation));
    node.RemoveChild(&post);
    for (int count = post.GetChildCount(); count > 0; --count) node.AddChild(post.GetChild(0));
}

}  // namespace

// Each node is handled once, from an explicit list rather than by recursion,
// so deep hierarchies cannot exhaust the stack. A helper node needs no visit
// of its own: it has no pivots and its one child is handled anyway. Siblings
// are handled in their order, so helpers join their parent in that order.
bool ReplacePivotExport(KZeqNode* node, KZeqNode::EPivotSet, KZeqSdkManager& manager) {
    if (!node) return false;
    bool replaced = false;
    std::vector<KZeqNode*> pending{node};
    std::vector<KZeqNode*> children;
    while (!pending.empty()) {
        KZeqNode* current = pending.back();
        pending.pop_back();
        const bool hasPre = current->GetPreRotation(kSource) != KZeqVector4();
        const bool hasPost = current->GetPostRotation(kSource) != KZeqVector4();
        if (hasPre) ExportPre(*current, current->GetParent(), manager);
        if (hasPost) ExportPost(*current, manager);
        if (current == node) replaced = hasPre || hasPost;
        children.clear();
        for (int i = 0; i < current->GetChildCount(); ++i) children.push_back(current->GetChild(i));
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return replaced;
}

void ReplacePivotImport(KZeqNode* node, KZeqNode::EPivotSet, KZeqSdkManager&) {
    if (!node) return;
    std::vector<KZeqNode*> pending{node};
    std::vector<KZeqNode*> visit;
    while (!pending.empty()) {
        KZeqNode* current = pending.back();
        pending.pop_back();
        visit.clear();
        for (int i = current->GetChildCount() - 1; i >= 0; --i) {
            KZeqNode* child = current->GetChild(i);
            if (Contains(child, "__Post_") && child->GetChild(0)) child = child->GetChild(0);
            if (Contains(child, "__Pre_") && child->GetChild(0)) child = child->GetChild(0);
            KZeqNode* pre = child->GetParent();
            const bool preFolded = pre && Contains(pre, "__Pre_") && ImportPre(*child, *pre);
            KZeqNode* post = child->GetChild(0);
            const bool postFolded = post && Contains(post, "__Post_");
            if (postFolded) ImportPost(*child, *post);
            if (!preFolded && !postFolded) {
                child->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
                child->SetPivotState(KZeqNode::eDESTINATION_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
            }
            visit.push_back(child);
        }
        pending.insert(pending.end(), visit.rbegin(), visit.rend());
    }
}

}  // namespace zeqsdk_400
