// Preparation services of the pass: the scale check, pivot states and sets, the "__Pre_" and
// "__Post_" check and the hard-edge merge of mesh normals.
#include <cstring>
#include <string>

#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "plugin/import/zeqtuloimport.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

template <class Visit>
void ForEachNode(KZeqNode* node, Visit&& visit) {
    if (!node) return;
    visit(*node);
    for (int i = 0; i < node->GetChildCount(); ++i) ForEachNode(node->GetChild(i), visit);
}

bool HasKeys(KFCurve* curve) { return curve && curve->KeyGetCount() > 0; }

// Keys on the node's rotation (and, when asked, translation and scaling) in its current take.
bool HasTransformKeys(KZeqNode& node, bool rotationOnly) {
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take) return false;
    if (HasKeys(take->GetEulerRotationX()) || HasKeys(take->GetEulerRotationY()) ||
        HasKeys(take->GetEulerRotationZ()))
        return true;
    if (rotationOnly) return false;
    return HasKeys(take->GetTranslationX()) || HasKeys(take->GetTranslationY()) ||
           HasKeys(take->GetTranslationZ()) || HasKeys(take->GetScaleX()) || HasKeys(take->GetScaleY()) ||
           HasKeys(take->GetScaleZ());
}

bool IsZero(const KZeqVector4& v) { return v[0] == 0 && v[1] == 0 && v[2] == 0; }

}  // namespace

TStatus ZeqTuloImport::CheckBadScale(ZeqTuloNode& root) {
    KZeqNodeFinderBadScale finder;
    finder.Apply(root);
    struct Finding {
        KArrayTemplate<KZeqNode*>& mNodes;
        const char* mText;
    };
    const Finding findings[] = {
        {finder.BoneScaleStaticNodeArray(), "a joint with children has a scale other than 1"},
        {finder.BoneScaleAnimatedNodeArray(), "a joint with children has an animated scale other than 1"},
        {finder.NegativeScaleStaticNodeArray(), "a negative scale"},
        {finder.NegativeScaleAnimatedNodeArray(), "an animated negative scale"},
        {finder.NonUniformScaleStaticNodeArray(), "a non-uniform scale over children"},
        {finder.NonUniformScaleAnimatedNodeArray(), "an animated non-uniform scale over children"},
    };
    std::string message;
    for (const Finding& finding : findings)
        for (int i = 0; i < finding.mNodes.GetCount(); ++i) {
            const std::string line = std::string("Node ") +
                                     finding.mNodes[i]->GetNameWithoutNameSpacePrefix().Buffer() + ": " +
                                     finding.mText + "; its children may not look as in the file.";
            LogLine(line.c_str());
            if (!message.empty()) message += "\\n";
            message += line;
        }
    if (message.empty()) return TStatus::kSuccess;
    ShowDialog("ZEQ import Warning", message.c_str());
    return TStatus::kFailure;
}

void ZeqTuloImport::EnablePivotUse(ZeqTuloNode* node) {
    ForEachNode(node, [](KZeqNode& n) {
        n.SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        n.SetPivotState(KZeqNode::eDESTINATION_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    });
}

void ZeqTuloImport::RemoveRotationPivot(KZeqNode* node) {
    ForEachNode(node, [](KZeqNode& n) {
        n.SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
        n.SetRotationOffset(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
    });
}

void ZeqTuloImport::RemoveRotationPivotOnNotPresentNode(ZeqTuloNode* node) {
    ForEachNode(node, [](KZeqNode& n) {
        if (static_cast<ZeqTuloNode&>(n).mIsPresent) return;
        n.SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
        n.SetRotationOffset(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
    });
}

void ZeqTuloImport::ValidatePreAndPostJoints(KZeqNode* node) {
    std::string message;
    ForEachNode(node, [&](KZeqNode& n) {
        const char* name = n.GetName();
        const bool pre = std::strstr(name, "__Pre_") != nullptr;
        const bool post = std::strstr(name, "__Post_") != nullptr;
        if (!pre && !post) return;
        if (!HasTransformKeys(n, pre && !post)) return;
        const std::string line = std::string("Node ") + n.GetNameWithoutNameSpacePrefix().Buffer() +
                                 (pre ? ": a pre-rotation node with animated rotation"
                                      : ": a post-rotation node with animation") +
                                 "; its animation is not kept.";
        LogLine(line.c_str());
        if (!message.empty()) message += "\\n";
        message += line;
    });
    if (!message.empty()) ShowDialog("ZEQ import Warning", message.c_str());
}

void ZeqTuloImport::SetTuloPivotsRecursive(KZeqNode* node) {
    ForEachNode(node, [&](KZeqNode& n) {
        const KZeqNode::EPivotSet from = KZeqNode::eSOURCE_SET, to = KZeqNode::eDESTINATION_SET;
        n.SetRotationPivot(to, n.GetRotationPivot(from));
        n.SetScalingPivot(to, n.GetScalingPivot(from));
        n.SetRotationOffset(to, n.GetRotationOffset(from));
        n.SetScalingOffset(to, n.GetScalingOffset(from));
        n.SetPreRotation(to, n.GetPreRotation(from));
        ERotationOrder order;
        n.GetRotationOrder(from, order);
        n.SetRotationOrder(to, order);
        // The host turns after the rotation only on joints: any other node's post-rotation is
        // resampled into its rotation curves.
        const bool joint = IsJoint(&n);
        n.SetPostRotation(to, joint ? n.GetPostRotation(from) : KZeqVector4(0, 0, 0, 0));
        n.SetPivotState(to, KZeqNode::ePIVOT_STATE_ACTIVE);
        if (!joint && !IsZero(n.GetPostRotation(from)) && n.GetLimits().GetRotationLimitActive()) {
            n.GetLimits().SetRotationLimitActive(false);
            const std::string line = std::string("Node ") + n.GetNameWithoutNameSpacePrefix().Buffer() +
                                     ": rotation limits dropped, its rotation is resampled.";
            LogLine(line.c_str());
        }
    });
}

void ZeqTuloImport::MergeMeshOnNormalPerPolyVertex(KZeqNode* node) {
    ForEachNode(node, [](KZeqNode& n) {
        KZeqMesh* mesh = n.GetMesh();
        if (!mesh) return;
        KArrayTemplate<int> merge;
        if (mesh->BuildMergeList(merge, KZeqMesh::eNORMALS, true)) mesh->MergePointsForPolygonVerteNormals(merge);
    });
}
