#ifndef ZEQ_SCENE_TESTS_KFILETAKEMODEL_SCENE_H
#define ZEQ_SCENE_TESTS_KFILETAKEMODEL_SCENE_H

// A generated take (kfiletakemodel_support.h) made in memory on a scene node, as a reader that does
// not bake makes it from a file, with warps of a channel's own in any arrangement (some no file
// holds): each warp a curve node of its own (shared by the channels that name it), each layer the
// next layer of its vector holding the channels the model gives it.

#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakelayers_scene.h"
#include "scene/tests/kfiletakemodel_support.h"
#include "scene/tests/kfiletransform_scene.h"

namespace zeqtest {

// Whether a layer or a time warp is left anywhere in the tree (a bake leaves none).
inline bool HoldsLayerOrWarp(const zeqsdk_400::KFCurveNode& node) {
    if (node.LayerGet() || node.TimeWarpGet()) return true;
    for (int i = 0; i < node.GetCount(); ++i)
        if (HoldsLayerOrWarp(*node.Get(i))) return true;
    return false;
}

inline zeqsdk_400::KFCurve* ModelCurveOf(const ModelCurve& model) {
    zeqsdk_400::KFCurve* curve = model.mKeys.empty() ? zeqsdk_400::KFCurveCreate() : LinearCurve(model.mKeys);
    curve->SetValue(static_cast<float>(model.mDefault));
    return curve;
}

// The take's warps as curve nodes, each held once by a node of the list's own, so that they live
// as long as the list (destroy them with DestroyModelWarps).
inline std::vector<zeqsdk_400::KFCurveNode*> MakeModelWarps(const ModelTake& take) {
    using namespace zeqsdk_400;
    std::vector<KFCurveNode*> holders;
    for (const ScalarKeys& keys : take.mWarps) {
        KFCurveNode* warp = KFCurveNodeCreate("W", &KDataTypeTimeWarp);
        ModelCurve curve;
        curve.mKeys = keys;
        warp->FCurveSet(ModelCurveOf(curve), true);
        holders.push_back(KFCurveNodeCreate("Holder"));
        holders.back()->TimeWarpSet(warp);
    }
    return holders;
}

inline void DestroyModelWarps(std::vector<zeqsdk_400::KFCurveNode*>& holders) {
    for (zeqsdk_400::KFCurveNode* holder : holders) holder->Destroy();
    holders.clear();
}

// The node's order and pre-rotation (its pivot set made active) and its take of that name (made,
// made current) as the model gives them.
inline void ApplyModelNode(zeqsdk_400::KZeqNode& node, const char* take, const ModelNode& n,
                           const std::vector<zeqsdk_400::KFCurveNode*>& warps) {
    using namespace zeqsdk_400;
    FileTransformValues values;
    values.rotationOrder = n.mOrder;
    for (int a = 0; a < 3; ++a) values.preRotation[a] = n.mPre[a];
    SetFileValues(node, values);
    const int index = node.FindTakeNode(take);
    KZeqTakeNode* takeNode = index >= 0 ? node.GetTakeNode(index) : node.CreateTakeNode(take);
    node.SetCurrentTakeNode(take);
    KFCurveNode* root = takeNode->GetKFCurveNode();
    const auto warp = [&](int i) { return warps[static_cast<std::size_t>(i)]->TimeWarpGet(); };
    if (n.mWarp >= 0) root->FindRecursive("Transform")->TimeWarpSet(warp(n.mWarp));
    static const char* const kVectors[3] = {"T", "R", "S"};
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    static KDataType* const kTypes[3] = {&KDataTypeLclTranslation, &KDataTypeLclRotation, &KDataTypeLclScaling};
    static const int kLayerTypes[3] = {KFCL_ADD, KFCL_EULER_XYZ, KFCL_MULT};
    for (int v = 0; v < 3; ++v) {
        const ModelVector& model = n.mV[v];
        KFCurveNode* vector = root->FindRecursive(kVectors[v]);
        for (int a = 0; a < 3; ++a) {
            KFCurveNode* channel = vector->Get(a);
            channel->FCurveSet(ModelCurveOf(model.mAxes[a]), true);
            if (model.mAxisWarp[a] >= 0) channel->TimeWarpSet(warp(model.mAxisWarp[a]));
        }
        if (model.mWarp >= 0) vector->TimeWarpSet(warp(model.mWarp));
        KFCurveNode* below = vector;
        for (std::size_t l = 0; l < model.mLayers.size(); ++l) {
            KFCurveNode* layer = KFCurveNodeCreate(kVectors[v], kTypes[v], kLayerTypes[v], static_cast<int>(l + 1));
            for (int a = 0; a < 3; ++a) {
                if (!model.mLayers[l].mHas[a]) continue;
                KFCurveNode* channel = KFCurveNodeCreate(kAxes[a], nullptr, KFCL_NOLAYER, static_cast<int>(l + 1));
                channel->FCurveSet(ModelCurveOf(model.mLayers[l].mAxes[a]), true);
                layer->Add(channel);
            }
            below->LayerSet(layer, true);
            layer->ObjectLayerSet(vector->ObjectLayerGet());
            below = layer;
        }
    }
}

}  // namespace zeqtest

#endif
