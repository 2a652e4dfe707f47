// Preparation services of the pass: the scale check, pivot states and sets, the "__Pre_" and
// "__Post_" check and the hard-edge merge of mesh normals.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

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

// The turn from the file's forward axis to the host's that the export puts into the post-rotation
// of spot and directional lights and of cameras the host does not aim (none in the file, or an aim
// the host cannot take: such a camera keeps its own rotation); null for other nodes.
const double (*AxisTurn(KZeqNode& node, bool aimed))[4] {
    if (const KZeqLight* light = node.GetLight())
        return light->GetLightType() == KZeqLight::eSPOT || light->GetLightType() == KZeqLight::eINFINITE
                   ? ZeqTuloUtility::LightAxes()
                   : nullptr;
    if (node.GetCamera() && !aimed) return ZeqTuloUtility::CameraAxes();
    return nullptr;
}

// A node whose pivots the file leaves out of its transform: its set becomes the neutral one, in
// effect, so that what the import puts there (a turn, or none) reaches the host.
void PivotsInEffect(KZeqNode& node) {
    KZeqNode::EPivotState state = KZeqNode::ePIVOT_STATE_REFERENCE;
    node.GetPivotState(KZeqNode::eSOURCE_SET, state);
    if (state == KZeqNode::ePIVOT_STATE_ACTIVE) return;
    const KZeqVector4 zero(0, 0, 0, 0);
    node.SetRotationPivot(KZeqNode::eSOURCE_SET, zero);
    node.SetScalingPivot(KZeqNode::eSOURCE_SET, zero);
    node.SetRotationOffset(KZeqNode::eSOURCE_SET, zero);
    node.SetScalingOffset(KZeqNode::eSOURCE_SET, zero);
    node.SetPreRotation(KZeqNode::eSOURCE_SET, zero);
    node.SetPostRotation(KZeqNode::eSOURCE_SET, zero);
    node.SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
}

// The host's light and camera look down their own axes: the turn comes out of pivot set 0's
// post-rotation P (in effect), leaving P x turn (the rotate axis the host had), in X-first angles.
// The turn sits inside the rotation pivot, after the scaling: the scaling pivot and offset take
// what keeps the node's origin in place at each of its scalings (the default one, then the keyed
// ones); false where they cannot.
bool RemoveAxisTurn(KZeqNode& node, bool aimed, const std::vector<KZeqVector4>& scalings) {
    const double (*turn)[4] = AxisTurn(node, aimed);
    if (!turn) return true;
    const KZeqVector4& post = node.GetPostRotation(KZeqNode::eSOURCE_SET);
    double p[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KmXYZtoR(p, post[0], post[1], post[2]);
    double product[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int k = 0; k < 3; ++k) sum += p[i][k] * turn[k][j];
            product[i][j] = sum;
        }
    double angles[3];
    // The general extraction: the X-first one takes a turn within a tenth of a degree of a quarter
    // turn about Y for the quarter turn itself.
    KmRtoVord(angles, product, 0);
    // What the export's decomposition left as rounding noise of a quarter turn is none.
    for (double& a : angles)
        if (std::fabs(a) < 1e-9) a = 0;
    const KZeqVector4 before = post;
    node.SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(angles[0], angles[1], angles[2], post[3]));
    return KeepOriginThroughTurn(node, before, scalings, scalings);
}

// Whether one of the scalings differs on two axes the turn exchanges: the host turns the node after
// its scaling, so that those axes take each other's scaling instead of keeping their own.
bool ScalingCrossesTurn(const double (*turn)[4], const std::vector<KZeqVector4>& scalings) {
    for (const KZeqVector4& s : scalings)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                if (turn[i][j] != 0 &&
                    std::fabs(s[i] - s[j]) > 1e-9 * std::max({1.0, std::fabs(s[i]), std::fabs(s[j])}))
                    return true;
    return false;
}

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
            if (!ComesIn(*finding.mNodes[i])) continue;
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
    VisitDepthFirst<KZeqNode>(node, [](KZeqNode& n) {
        n.SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        n.SetPivotState(KZeqNode::eDESTINATION_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    });
}

void ZeqTuloImport::RemoveRotationPivot(KZeqNode* node) {
    VisitDepthFirst<KZeqNode>(node, [](KZeqNode& n) {
        n.SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
        n.SetRotationOffset(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
    });
}

void ZeqTuloImport::RemoveRotationPivotOnNotPresentNode(ZeqTuloNode* node) {
    VisitDepthFirst<KZeqNode>(node, [](KZeqNode& n) {
        if (static_cast<ZeqTuloNode&>(n).mIsPresent) return;
        n.SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
        n.SetRotationOffset(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
    });
}

void ZeqTuloImport::ValidatePreAndPostJoints(KZeqNode* node) {
    std::string message;
    VisitDepthFirst<KZeqNode>(node, [&](KZeqNode& n) {
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
    // A pre- or post-rotation counts only while the node's "RotationActive" is on (and
    // "RotationSpaceForLimitOnly" off), as the SDK evaluates the node: otherwise the host takes none
    // either. All first: what a node passes to its children reads theirs.
    VisitDepthFirst<KZeqNode>(node, [](KZeqNode& n) {
        if (n.PreAndPostRotationCount()) return;
        const KZeqVector4 zero(0, 0, 0, 0);
        n.SetPreRotation(KZeqNode::eSOURCE_SET, zero);
        n.SetPostRotation(KZeqNode::eSOURCE_SET, zero);
    });
    VisitDepthFirst<KZeqNode>(node, [&](KZeqNode& n) {
        const KZeqNode::EPivotSet from = KZeqNode::eSOURCE_SET, to = KZeqNode::eDESTINATION_SET;
        const ZeqTuloCameraTargets* targets = GetCameraTargets(&n);
        const bool aimed = targets && targets->AimTaken();
        // A node the host may turn takes its pivots whether it turns or not: a host node that a
        // merge finds turned loses a turn it no longer takes.
        if (AxisTurn(n, false)) PivotsInEffect(n);
        if (AxisTurn(n, aimed)) {
            // The host's node holds the turn in its transform, after its scaling and pivots, and
            // its children take it too: their own values take back what changed, so that they
            // stay where the file has them.
            // The default scaling, then the keyed ones: a scaling that is not uniform takes part.
            std::vector<KZeqVector4> scalings(1);
            n.GetDefaultS(scalings[0]);
            for (const KZeqVector4& keyed : KeyedScalings(n)) scalings.push_back(keyed);
            const std::vector<KZeqXMatrix> before = BeforeRotations(n, scalings);
            const bool origin = RemoveAxisTurn(n, aimed, scalings);
            bool varies = false;
            const KZeqXMatrix back = ChildrenCorrectionOverTime(n, before, scalings, varies);
            const std::string name = n.GetNameWithoutNameSpacePrefix().Buffer();
            const std::string about =
                std::string("the forward-axis turn of ") + (n.GetCamera() ? "the camera " : "the light ") + name;
            if (ScalingCrossesTurn(AxisTurn(n, aimed), scalings))
                NodeLine(n, (n.GetCamera() ? "Camera " : "Light ") + name +
                                ": its scaling is not alike on the axes its forward-axis turn exchanges, and the host "
                                "turns it after its scaling; its origin is where the file has it, its axes differ in "
                                "length or direction.");
            if (!origin) NodeLine(n, "Node " + OriginAtOneTimeNote(n, about));
            for (int i = 0; i < n.GetChildCount(); ++i)
                for (const std::string& note : ComposeNoted(*n.GetChild(i), back, about, varies))
                    NodeLine(*n.GetChild(i), "Node " + note);
        }
        n.SetRotationPivot(to, n.GetRotationPivot(from));
        n.SetScalingPivot(to, n.GetScalingPivot(from));
        n.SetRotationOffset(to, n.GetRotationOffset(from));
        n.SetScalingOffset(to, n.GetScalingOffset(from));
        n.SetPostRotation(to, n.GetPostRotation(from));
        ERotationOrder order;
        n.GetRotationOrder(from, order);
        n.SetRotationOrder(to, order);
        // The host turns before the rotation on every transform (its rotate axis, the inverse of
        // the post-rotation) but after it only on joints (the joint orient): any other node's
        // pre-rotation is resampled into its rotation curves.
        const bool joint = IsJoint(&n);
        n.SetPreRotation(to, joint ? n.GetPreRotation(from) : KZeqVector4(0, 0, 0, 0));
        n.SetPivotState(to, KZeqNode::ePIVOT_STATE_ACTIVE);
        if (!joint && !IsZero(n.GetPreRotation(from)) && n.GetLimits().GetRotationLimitActive()) {
            n.GetLimits().SetRotationLimitActive(false);
            // Said only where a bound was on: a rotation active without one limits nothing.
            if (n.GetLimits().GetEnable(KZeqNodeLimits::eR))
                NodeLine(n, std::string("Node ") + n.GetNameWithoutNameSpacePrefix().Buffer() +
                                ": rotation limits dropped, its rotation is resampled.");
        }
    });
}

void ZeqTuloImport::MergeMeshOnNormalPerPolyVertex(KZeqNode* node) {
    VisitDepthFirst<KZeqNode>(node, [](KZeqNode& n) {
        KZeqMesh* mesh = n.GetMesh();
        if (!mesh) return;
        KArrayTemplate<int> merge;
        if (mesh->BuildMergeList(merge, KZeqMesh::eNORMALS, true)) mesh->MergePointsForPolygonVerteNormals(merge);
    });
}
