// Default transforms and transform animation of every node: pivots, limits and order first, then
// the current values into the default take and, when anything of the node is animated, its curves
// into "Take 001"; lights and cameras get their own channels and their forward-axis correction.
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "plugin/export/zeqtulocurveconversion.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtulocompose.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

bool IsCameraWithTarget(const TDagPath& path, ZeqTuloNode& node) {
    return path.hasFn(kHostCamera) && node.GetTarget() != nullptr;
}

// The turn from the host's forward axis of a light or camera to the file's that the export puts
// into its post-rotation; null for other nodes and for a camera the host aims.
const double (*AxisTurn(const TDagPath& path, ZeqTuloNode& node))[4] {
    if (IsCameraWithTarget(path, node)) return nullptr;
    if (path.hasFn(kHostSpotLight) || path.hasFn(kHostDirectionalLight)) return ZeqTuloUtility::LightAxes();
    if (path.hasFn(kHostCamera) && !path.hasFn(kHostLocator)) return ZeqTuloUtility::CameraAxes();
    return nullptr;
}

void ClearTo(KFCurve* curve, float value) {
    if (!curve) return;
    curve->Delete(KTime::MinusInfinite(), KTime::Infinite());
    curve->SetValue(value);
}

}  // namespace

TStatus ZeqTuloExport::ExportTransform(ZeqTuloNode& root) {
    if (&root == mRootNode && mLog) {
        const ZeqTuloCurveOptions options = ZeqTuloCurveOptions::FromUserParams();
        if (options.mRateReplaced) *mLog += options.RateWarning();
    }
    // Parent before children, children in index order, without recursion: chains may be deep.
    std::vector<ZeqTuloNode*> pending{&root}, turned;
    while (!pending.empty()) {
        ZeqTuloNode& node = *pending.back();
        pending.pop_back();
        for (int i = node.GetChildCount(false) - 1; i >= 0; --i)
            pending.push_back(static_cast<ZeqTuloNode*>(node.GetChild(i)));
        TDagPath* found = node.GetDagPath();
        if (!found) continue;
        TDagPath path = *found;

        bool light = false, camera = false;
        if (path.hasFn(kHostLight))
            light = ExportLights(path, node);
        else if (path.hasFn(kHostCamera))
            camera = ExportCamera(node);

        ExportPivots(node, KZeqNode::eSOURCE_SET);
        ExportLimits(node);
        ExportRotationOrder(node);

        TFnTransform transform(path.transform());
        ExportDefaultTransform(transform, *node.GetDefaultTakeNode());
        KFCurve visibilityCurve;
        const bool visibility = ExportAnimatedVisibility(node, visibilityCurve);
        const bool animated = ZeqTuloUtility::IsAnimated(transform);
        const bool userProperties = ZeqTuloUtility::IsUserPropertiesAnimated(transform);
        const bool isCamera = path.hasFn(kHostCamera);

        if (animated || visibility || light || camera || userProperties) {
            SetCurrentTakeOnNode(node, kExportTakeName);
            KZeqTakeNode* take = node.GetCurrentTakeNode();
            KFCurveNode* curves = take ? take->GetKFCurveNode() : nullptr;
            if (take && curves && (animated || light || camera)) {
                ExportDefaultTransform(transform, *take);
                ConvertTuloCurve(transform, *curves, false);
                if (!IsCameraWithTarget(path, node)) AdjustTransform(node, transform, *curves);
                if (isCamera) {
                    ClearTo(take->GetScaleX(), 1.0f);
                    ClearTo(take->GetScaleY(), 1.0f);
                    ClearTo(take->GetScaleZ(), 1.0f);
                    if (node.GetTarget()) {
                        ClearTo(take->GetEulerRotationX(), 0.0f);
                        ClearTo(take->GetEulerRotationY(), 0.0f);
                        ClearTo(take->GetEulerRotationZ(), 0.0f);
                    }
                }
            }
            if (take && visibility && take->GetVisibility()) take->GetVisibility()->CopyFrom(visibilityCurve, true);
            if (userProperties) ExportUserProperties(node, transform);
        }

        KZeqTakeNode* defaults = node.GetDefaultTakeNode();
        if (isCamera && defaults) {
            defaults->GetScaleX()->SetValue(1.0f);
            defaults->GetScaleY()->SetValue(1.0f);
            defaults->GetScaleZ()->SetValue(1.0f);
        }
        if (!IsCameraWithTarget(path, node) && defaults && defaults->GetKFCurveNode())
            AdjustTransform(node, transform, *defaults->GetKFCurveNode());
        if (AxisTurn(path, node)) turned.push_back(&node);
        ZeqTuloProgressMeter::Activate(node.GetName());
    }
    // The file's light or camera carries the turn in its post-rotation, which its children take
    // too: their own values take it back, so that they stay where the host has them.
    for (ZeqTuloNode* node : turned) {
        const double (*turn)[4] = AxisTurn(*node->GetDagPath(), *node);
        KZeqXMatrix back;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) back.mData[i][j] = turn[j][i];
        const std::string about = std::string(node->GetCamera() ? "the camera " : "the light ") +
                                  node->GetNameWithoutNameSpacePrefix().Buffer();
        for (const std::string& note : ComposeIntoChildren(*node, back, about))
            if (mLog) *mLog += ("ZEQ Export Warning: " + note).c_str();
    }
    return TStatus::kSuccess;
}

void ZeqTuloExport::ExportDefaultTransform(TFnTransform transform, KZeqTakeNode& takeNode) {
    const TVector t = transform.translation(TSpace::kTransform);
    TEulerRotation r;
    transform.getRotation(r);
    double s[3] = {1, 1, 1};
    transform.getScale(s);
    KFCurve* translation[3] = {takeNode.GetTranslationX(), takeNode.GetTranslationY(), takeNode.GetTranslationZ()};
    KFCurve* rotation[3] = {takeNode.GetEulerRotationX(), takeNode.GetEulerRotationY(), takeNode.GetEulerRotationZ()};
    KFCurve* scaling[3] = {takeNode.GetScaleX(), takeNode.GetScaleY(), takeNode.GetScaleZ()};
    for (unsigned axis = 0; axis < 3; ++axis) {
        if (translation[axis]) translation[axis]->SetValue(static_cast<float>(t[axis]));
        if (rotation[axis]) rotation[axis]->SetValue(static_cast<float>(r[axis] * kExportRadiansToDegrees));
        if (scaling[axis]) scaling[axis]->SetValue(static_cast<float>(s[axis]));
    }
}

// The post-rotation that turns the file's forward axis of a light or camera onto the host's before
// the host's rotate axis: the file's light then points where the host's does, whatever the rotate
// axis. Its angles are X-first, as every post-rotation of the file (and as the import reads them),
// whatever the transform's rotation order.
void ZeqTuloExport::AdjustTransform(ZeqTuloNode& node, TFnTransform& transform, KFCurveNode&) {
    const TDagPath* path = node.GetDagPath();
    if (!path) return;
    const double (*axes)[4] = AxisTurn(*path, node);
    if (!axes) return;
    const TMatrix q = transform.rotateOrientation(TSpace::kTransform).asMatrix();
    const TMatrix a = TMatrix(axes) * q;
    KgeRMatrix inverse = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KgeRMatrix block = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) block[i][j] = a.matrix[i][j];
    KmRi(inverse, block);
    KgeRVector angles;
    KVXRotationOrder(KVXRotationOrder::eEulerXYZ).M2V(angles, inverse);
    node.SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(angles[0], angles[1], angles[2], 1.0));
}
