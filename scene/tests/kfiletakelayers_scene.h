#ifndef ZEQ_SCENE_TESTS_KFILETAKELAYERS_SCENE_H
#define ZEQ_SCENE_TESTS_KFILETAKELAYERS_SCENE_H

// A node's take given the time warp and animation layers of a TakeLayering, made in memory as the
// Zeq reader makes them from a file when it does not merge them: the warp a curve node of its own
// shared by the channel (or the whole transform), a layer the next layer (id 1) of the channel's
// curve node, with its X, Y and Z channels.

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakelayers_support.h"

namespace zeqtest {

inline zeqsdk_400::KFCurve* LinearCurve(const ScalarKeys& keys) {
    using namespace zeqsdk_400;
    KFCurve* curve = KFCurveCreate();
    curve->SetValue(static_cast<float>(keys.front().second));
    for (const auto& at : keys) {
        KTime time;
        time.SetSecondDouble(at.first);
        KFCurveKey key{};
        key.Set(KTime(0), static_cast<float>(at.second), KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0,
                KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
        curve->KeyAdd(time, key);
    }
    return curve;
}

// Gives the node's take of that name (keyed already, by KeyFileValues) the layering's time warp
// and layers.
inline void AddTakeLayering(zeqsdk_400::KZeqNode& node, const char* take, const TakeLayering& layering) {
    using namespace zeqsdk_400;
    KZeqTakeNode* takeNode = node.GetTakeNode(node.FindTakeNode(take));
    KFCurveNode* root = takeNode->GetKFCurveNode();
    KFCurveNode* channels[3] = {root->FindRecursive("Transform"), root->FindRecursive("T"),
                                root->FindRecursive("R")};
    if (layering.mWarpPlace != eNoWarp) {
        KFCurveNode* warp = KFCurveNodeCreate("W", &KDataTypeTimeWarp);
        warp->FCurveSet(LinearCurve(TimeWarps()[static_cast<std::size_t>(layering.mWarp)]), true);
        channels[layering.mWarpPlace - eWarpTransform]->TimeWarpSet(warp);
    }
    struct Layer {
        int mKind;
        KFCurveNode* mChannel;
        KDataType* mType;
        int mLayerType;
        const ScalarKeys* mKeys;
    };
    const Layer layers[] = {{eTranslationLayer, channels[1], &KDataTypeLclTranslation, KFCL_ADD, layering.mLayerT},
                            {eRotationLayer, channels[2], &KDataTypeLclRotation, KFCL_EULER_XYZ, layering.mLayerR}};
    for (const Layer& layer : layers) {
        if (!(layering.mLayers & layer.mKind)) continue;
        KFCurveNode* next = KFCurveNodeCreate(layer.mChannel->GetName(), layer.mType, layer.mLayerType, 1);
        for (int axis = 0; axis < 3; ++axis) {
            KFCurveNode* channel = KFCurveNodeCreate(axis == 0 ? "X" : axis == 1 ? "Y" : "Z", nullptr, KFCL_NOLAYER, 1);
            channel->FCurveSet(LinearCurve(layer.mKeys[axis]), true);
            next->Add(channel);
        }
        layer.mChannel->LayerSet(next, true);
        next->ObjectLayerSet(layer.mChannel->ObjectLayerGet());
    }
}

}  // namespace zeqtest

#endif
