// Curve-node layers (the chain of layer nodes by ascending id), their copies,
// and the shared, reference-counted time-warp and layer links.
#include <algorithm>
#include <cstring>
#include <strings.h>
#include <utility>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"

namespace zeqsdk_400 {

namespace {

// index counts the channels below the node, its own curve being -1.
double ZeroValue(int layerType, int index) {
    if (layerType == KFCL_MULT) return 1.0;
    if (layerType == KFCL_QUAT && index == 3) return 1.0;
    return 0.0;
}

}  // namespace

void KFCurveNode::ReleaseReference(KFCurveNode* node) {
    if (!node) return;
    if (--node->mReferenceCount < 1 && !node->mDestroying) node->Destroy();
}

void KFCurveNode::SetLayerType(int layerType, KFCurveNode* objectLayer) {
    if (layerType == mLayerType) return;
    // The neutral values of the node's run change with it.
    LinksChanged();
    const int count = mChildren.GetCount();
    if (count == 3 && layerType == KFCL_QUAT) {
        KFCurveNode* w = KFCurveNodeCreate("W", &KDataTypeNumber, KFCL_NOLAYER, mLayerID);
        KFCurve* curve = KFCurveCreate();
        const KFCurve* first = mChildren[0]->FCurveGet();
        if (first && first->GetSelected()) curve->SetSelected(true);
        w->FCurveSet(curve, true);
        if (objectLayer) w->mObjectLayer = objectLayer;
        if (Add(w) < 0) w->Destroy();
    } else if (count == 4 && mLayerType == KFCL_QUAT && layerType == KFCL_EULER_XYZ) {
        Delete(3);
    }
    mLayerType = layerType;
}

void KFCurveNode::LayerSet(KFCurveNode* node, bool destroyOldLayer) {
    if (node == mNextLayer) return;
    // A chain that leads back here would never end.
    for (const KFCurveNode* n = node; n; n = n->mNextLayer)
        if (n == this) return;
    KFCurveNode* old = std::exchange(mNextLayer, node);
    if (node) ++node->mReferenceCount;
    if (old) {
        --old->mReferenceCount;
        if (destroyOldLayer && old->mReferenceCount < 1 && !old->mDestroying) old->Destroy();
    }
    mObjectLayer->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
}

KFCurveNode* KFCurveNode::LayerChannelFor(const KFCurveNode* baseChild, int index) const {
    if (!baseChild) return nullptr;
    // Most layers hold the base's channels in its order: that place is looked at first.
    KFCurveNode* same = Get(index);
    if (same && strcasecmp(same->GetName(), baseChild->GetName()) == 0) return same;
    return Get(Find(baseChild->GetName()));
}

KFCurveNode* KFCurveNode::LayerGet(int layerId) const {
    for (const KFCurveNode* n = this; n; n = n->mNextLayer) {
        if (n->mLayerID == layerId) return const_cast<KFCurveNode*>(n);
        if (n->mLayerID > layerId) return nullptr;
    }
    return nullptr;
}

void KFCurveNode::ApplyLayerZeroValues(KFCurveNode* source, int layerType, int& index) {
    if (mFCurve) {
        mFCurve->SetValue(static_cast<float>(ZeroValue(layerType, index)));
        if (KFCurve* sourceCurve = source ? source->mFCurve : nullptr) {
            mFCurve->SetSelected(sourceCurve->GetSelected());
            mFCurve->SetColor(sourceCurve->GetColor());
        }
        ++index;
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) mChildren[i]->ApplyLayerZeroValues(source ? source->Get(i) : nullptr, layerType, index);
}

KFCurveNode* KFCurveNode::LayerCreate(int layerId, bool destroyOldLayer) {
    if (!IsMultiLayer()) return nullptr;
    KFCurveNode* layer = CloneTemplate(false, false, true, layerId);
    LayerSet(layer, destroyOldLayer);
    if (mNextLayer != layer) {
        layer->Destroy();
        return nullptr;
    }
    int index = layer->mFCurve ? -1 : 0;
    layer->ApplyLayerZeroValues(this, mLayerType, index);
    return layer;
}

void KFCurveNode::CreateLayerAt(int layerId) {
    // Layers are only added above this node: ids ascend along the chain.
    if (!IsMultiLayer() || layerId <= mLayerID) return;
    KFCurveNode* node = this;
    while (node->mNextLayer && node->mNextLayer->mLayerID < layerId) node = node->mNextLayer;
    KFCurveNode* next = node->mNextLayer;
    if (next && next->mLayerID == layerId) return;
    KFCurveNode* layer = node->LayerCreate(layerId, false);
    if (!layer) return;
    if (next) layer->LayerSet(next, false);
    mObjectLayer->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
}

KFCurveNode* KFCurveNode::GetPreviousLayer(int layerId) {
    if (layerId == 0) return nullptr;
    KFCurveNode* node = this;
    while (node->mNextLayer && node->mNextLayer->mLayerID < layerId) node = node->mNextLayer;
    return node;
}

KFCurveNode* KFCurveNode::RemoveLayer(int layerId, bool destroy) {
    KFCurveNode* previous = this;
    while (previous->mNextLayer && previous->mNextLayer->mLayerID != layerId) {
        if (previous->mNextLayer->mLayerID > layerId) return nullptr;
        previous = previous->mNextLayer;
    }
    KFCurveNode* layer = previous->mNextLayer;
    if (!layer) return nullptr;
    // The link to the following layer passes from the removed node to its predecessor.
    previous->mNextLayer = std::exchange(layer->mNextLayer, nullptr);
    --layer->mReferenceCount;
    mObjectLayer->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    if (!destroy) return layer;
    if (layer->mReferenceCount < 1) layer->Destroy();
    return nullptr;
}

KFCurveNode* KFCurveNode::InsertOrCopyLayer(int layerId, KFCurveNode* source) {
    CreateLayerAt(layerId);
    KFCurveNode* layer = LayerGet(layerId);
    if (layer && source) layer->SingleLayerCopyFrom(source, false);
    return layer;
}

KFCurveNode* KFCurveNode::GetCorrectLayer(int layerId, bool create) {
    KFCurveNode* layer = LayerGet(GetCorrectLayerID(layerId));
    if (!layer && create) {
        CreateLayerAt(layerId);
        layer = LayerGet(layerId);
    }
    return layer;
}

void KFCurveNode::SetUseQuaternion(bool useQuaternion) {
    for (KFCurveNode* n = this; n; n = n->mNextLayer) n->mUseQuaternion = useQuaternion;
    mObjectLayer->CandidateClear(mObjectLayer->mLayerID, true);
    mObjectLayer->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
}

void KFCurveNode::SetRotationOrder(int order) {
    for (KFCurveNode* n = this; n; n = n->mNextLayer) n->mRotationOrder = order;
}

void KFCurveNode::GetZeroValues(double* values, int count) const {
    const int own = mFCurve ? 1 : 0;
    for (int i = 0; i < count; ++i) values[i] = ZeroValue(mLayerType, i - own);
}

void KFCurveNode::SingleLayerCopyFrom(KFCurveNode* source, bool transfer) {
    if (!source || source == this) return;
    mSpecificCandidateMethod = source->mSpecificCandidateMethod;
    mTotalCandidateMethod = source->mTotalCandidateMethod;
    std::memcpy(mCandidateTotalValue, source->mCandidateTotalValue, sizeof(mCandidateTotalValue));
    mCandidateTotalTime = source->mCandidateTotalTime;
    if (KFCurve* curve = source->mFCurve) {
        if (transfer) {
            source->FCurveSet(nullptr, false);
            FCurveSet(curve, true);
        } else if (mFCurve) {
            mFCurve->CopyFrom(*curve, true);
        } else {
            FCurveSet(curve->Copy(), true);
        }
    }
    SetLayerType(source->mLayerType, nullptr);
    const int count = std::min(mChildren.GetCount(), source->mChildren.GetCount());
    for (int i = 0; i < count; ++i) mChildren[i]->CopyFrom(source->mChildren[i], transfer);
}

void KFCurveNode::CopyFrom(KFCurveNode* source, bool transfer) {
    if (!source || source == this) return;
    SingleLayerCopyFrom(source, transfer);
    LayerCopyFromRecursive(source, transfer);
}

void KFCurveNode::LayerCopyFromRecursive(KFCurveNode* source, bool transfer) {
    if (!source || source == this) return;
    if (!source->mNextLayer) {
        if (mNextLayer) LayerSet(nullptr, true);
        return;
    }
    for (KFCurveNode* s = source->mNextLayer; s; s = s->mNextLayer) CreateLayerAt(s->mLayerID);
    // Unlinked where they stand: a chain read from a file need not be in id order.
    for (KFCurveNode* n = this; n->mNextLayer;) {
        KFCurveNode* layer = n->mNextLayer;
        const KFCurveNode* match = source->LayerGet(layer->mLayerID);
        if (match && match != source) {
            n = layer;
            continue;
        }
        n->mNextLayer = std::exchange(layer->mNextLayer, nullptr);
        --layer->mReferenceCount;
        if (layer->mReferenceCount < 1 && !layer->mDestroying) layer->Destroy();
        mObjectLayer->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    }
    for (KFCurveNode* s = source->mNextLayer; s; s = s->mNextLayer) {
        KFCurveNode* layer = mNextLayer ? mNextLayer->LayerGet(s->mLayerID) : nullptr;
        if (layer) layer->SingleLayerCopyFrom(s, transfer);
    }
}

void KFCurveNode::TimeWarpSet(KFCurveNode* timeWarp) {
    if (timeWarp == mTimeWarp || timeWarp == this) return;
    if (timeWarp) ++timeWarp->mReferenceCount;
    KFCurveNode* old = std::exchange(mTimeWarp, timeWarp);
    ReleaseReference(old);
    CallbackAddEvent(KFCURVENODEEVENT_TIMEWARP);
}

}  // namespace zeqsdk_400
