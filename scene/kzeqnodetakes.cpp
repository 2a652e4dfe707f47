// The node's take channels, its local and global matrices per take, its
// state records and the synchronisation of its properties with pivot set 0
// and the limits.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtransformcache.h"

namespace zeqsdk_400 {

namespace {

constexpr float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};
constexpr float kVisibilityColor[3] = {0.75f, 0.0f, 0.0f};

struct TransformChannel {
    const char* mProperty;
    const char* mNode;
    KDataType* mDataType;
    int mLayerType;
    double mPreset;
};

// The time the curves below node are read at: the time warps of node and of the curve nodes above
// it (the whole transform's, the take's) bend it from the top down, as evaluating the take's tree
// whole does; a channel's own warp bends it further as the channel is evaluated.
KTime WarpedBelow(const KFCurveNode* node, KTime time) {
    bool warped = false;
    for (const KFCurveNode* n = node; n && !warped; n = n->GetParent()) warped = n->TimeWarpGet() != nullptr;
    if (!warped) return time;
    time = WarpedBelow(node->GetParent(), time);
    return KFCurveNodeWarpTime(node->TimeWarpGet(), time, true);
}

// The first three values of a channel node's run: its default values, or
// its candidates at a time when hint is given. How many it gave. A rotation
// node's layers compose in the order its angles turn in (rotationOrder, a
// KVXRotationOrder code), whatever order the curve node was given.
int ReadChannel(KFCurveNode* node, double* out, const KTime* time, int* hint, int rotationOrder = -1) {
    if (!node) return 0;
    double local[8];
    std::vector<double> heap;
    const int count = node->GetChannelCount();
    double* values = local;
    if (count > 8) {
        heap.resize(static_cast<std::size_t>(count));
        values = heap.data();
    }
    double* end = nullptr;
    if (time) {
        const int held = node->GetRotationOrder();
        const bool reorder = rotationOrder >= 0 && held != rotationOrder;
        if (reorder) node->SetRotationOrder(rotationOrder);
        end = node->CandidateEvaluate(values, *time, hint);
        if (reorder) node->SetRotationOrder(held);
    } else {
        end = node->GetValue(values);
    }
    int given = 0;
    for (; given < 3 && values + given < end; ++given) out[given] = values[given];
    return given;
}

// The rotation order of the set as KVXRotationOrder codes it; spheric and unknown orders turn as XYZ.
int EulerOrder(const KZeqNodeProperties::KZeqPivot& set) {
    return set.mRotationOrder > eEULER_XYZ && set.mRotationOrder <= eEULER_ZYX ? 2 * set.mRotationOrder
                                                                               : KVXRotationOrder::eEulerXYZ;
}

// Scaling, then the rotation in order (a KVXRotationOrder code; XYZ: about X,
// Y and Z), then translation: the twelve entries of an affine matrix; the
// fourth column is left as it is. The angles are the node's in its order, so
// that every triple that spells one turn (as a bake's unroll may spell it)
// gives one matrix.
void BuildLocal(KZeqXMatrix& matrix, const double* t, const double* r, const double* s, int order) {
    double rows[4][4];
    if (order == KVXRotationOrder::eEulerXYZ)
        KmXYZtoR(rows, r[0], r[1], r[2]);
    else
        KVXRotationOrder(order).V2M(rows, KgeRVector(r[0], r[1], r[2]));
    KgeAMatrix& m = matrix;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m[i][j] = s[i] * rows[i][j];
        m[3][i] = t[i];
    }
}

// The angles in order that BuildLocal turns the rotation of matrix with.
KZeqVector4 LocalAngles(const KZeqXMatrix& matrix, int order) {
    KZeqXMatrix turn = matrix;
    turn.SetS(KZeqVector4(1.0, 1.0, 1.0, 0.0));
    KgeRVector angles;
    KVXRotationOrder(order).M2V(angles, turn.mData);
    return KZeqVector4(angles.mData[0], angles.mData[1], angles.mData[2], 0.0);
}

void CopyAffine(KZeqXMatrix& to, const KZeqXMatrix& from) {
    KgeAMatrix& t = to;
    const KgeAMatrix& f = from;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) t[i][j] = f[i][j];
}

bool Differs(const KgeTVector& value, double reference) {
    for (int i = 0; i < 3; ++i)
        if (std::fabs(value.mData[i] - reference) > 1e-6) return true;
    return false;
}

KZeqVector4 XYZ(const KgeTVector& v, double w) { return KZeqVector4(v.mData[0], v.mData[1], v.mData[2], w); }

void StoreXYZ(KgeTVector& held, const KZeqVector4& v) {
    for (int i = 0; i < 3; ++i) held.mData[i] = v[i];
}

}  // namespace

bool operator!=(const KgeTVector& a, const KZeqVector4& b) {
    for (int i = 0; i < 4; ++i)
        if (!(a.mData[i] == b[i])) return true;
    return false;
}

// ---- Channels ---------------------------------------------------------------------------

namespace {

const TransformChannel kTransformChannels[] = {{"Lcl Translation", "T", &KDataTypeLclTranslation, KFCL_ADD, 0.0},
                                               {"Lcl Rotation", "R", &KDataTypeLclRotation, KFCL_EULER_XYZ, 0.0},
                                               {"Lcl Scaling", "S", &KDataTypeLclScaling, KFCL_MULT, 1.0}};

}  // namespace

void KZeqNode::MakeStandardChannels(KFCurveNode& root, const float* values, KZeqNode* callbacksFor) {
    KZeqNodeProperties* p = callbacksFor ? callbacksFor->mProperties : nullptr;
    KProperty* const transform[3] = {p ? p->mLclTranslation : nullptr, p ? p->mLclRotation : nullptr,
                                     p ? p->mLclScaling : nullptr};
    KFCurveNode* group = KFCurveNodeCreate("Transform");
    for (int c = 0; c < 3; ++c) {
        const TransformChannel& channel = kTransformChannels[c];
        KFCurveNode* node = KFCurveNodeCreate(channel.mNode, channel.mDataType, channel.mLayerType, 0);
        for (int axis = 0; axis < 3; ++axis) {
            KFCurveNode* child = KFCurveNodeCreate(kAxisNames[axis]);
            KFCurve* curve = KFCurveCreate();
            child->FCurveSet(curve, false);
            curve->SetValue(values[3 * c + axis]);
            curve->SetColor(kAxisColors[axis]);
            if (callbacksFor) callbacksFor->RegisterStandardCallback(transform[c], axis, curve);
            node->Add(child);
        }
        group->Add(node);
    }
    KFCurveNode* visibility = KFCurveNodeCreate("Visibility", &KDataTypeVisibility, KFCL_ADD, 0);
    KFCurve* curve = KFCurveCreate();
    visibility->FCurveSet(curve, false);
    curve->SetValue(values[KZeqTakeNode::eVisibility]);
    curve->SetColor(kVisibilityColor);
    if (callbacksFor) callbacksFor->RegisterStandardCallback(p->mVisibility, 0, curve);
    root.Add(group);
    root.Add(visibility);
}

bool KZeqNode::IsListedAnimatable(const KProperty* property) const {
    // Where the set made it, unless its list has changed since.
    if (!property) return false;
    const int count = mProperties->GetPropertyCount();
    for (int i = kBuiltInRows.mCount - 4; i < kBuiltInRows.mCount && i < count; ++i)
        if (mProperties->GetProperty(i) == property) return true;
    for (int i = 0; i < count; ++i)
        if (mProperties->GetProperty(i) == property) return true;
    return false;
}

void KZeqNode::RegisterStandardCallback(KProperty* property, int channel, KFCurve* curve) {
    // A property that ended since the take was made leaves a record that writes nothing, as the
    // record made with the take would be by now.
    RegisterCallbackRecord(IsListedAnimatable(property) ? property : nullptr, channel, curve);
}

void KZeqNode::RegisterStandardCallbacks(KFCurve* const* curves, const bool* ended) {
    KZeqNodeProperties& p = *mProperties;
    KProperty* const owners[] = {p.mLclTranslation, p.mLclRotation, p.mLclScaling, p.mVisibility};
    for (int i = 0; i < KZeqTakeNode::eStandardValueCount; ++i)
        if (!ended[i]) RegisterStandardCallback(owners[i / 3], i % 3, curves[i]);
}

void KZeqNode::StandardValueChanged(int index, float value) {
    KZeqNodeProperties& p = *mProperties;
    KProperty* const owners[] = {p.mLclTranslation, p.mLclRotation, p.mLclScaling, p.mVisibility};
    KProperty* property = owners[index / 3];
    if (IsListedAnimatable(property)) WriteDefaultTakeValue(property, index % 3, value);
}

bool KZeqNode::CanDeferStandardChannels() const {
    // Only a take holding nothing but the standard channels, made from the
    // four animatable properties the node made itself, waits: no other
    // property is animatable, and each of the four is the first of its name.
    KZeqNodeProperties& p = *mProperties;
    if (mNodeAttribute || p.GetPropertyCount() != kBuiltInRows.mCount) return false;
    KProperty* const own[] = {p.mLclTranslation, p.mLclRotation, p.mLclScaling, p.mVisibility};
    const char* const names[] = {"Lcl Translation", "Lcl Rotation", "Lcl Scaling", "Visibility"};
    bool found[4] = {false, false, false, false};
    for (int i = 0; i < p.GetPropertyCount(); ++i) {
        KProperty* property = p.GetProperty(i);
        const char* name = property->GetPropertyName();
        for (int k = 0; k < 4; ++k) {
            if (found[k] || *name != *names[k] || std::strcmp(name, names[k]) != 0) continue;
            if (property != own[k]) return false;
            found[k] = true;
        }
        if (property->IsAnimatable() && property != own[0] && property != own[1] && property != own[2] &&
            property != own[3])
            return false;
    }
    return found[0] && found[1] && found[2] && found[3];
}

void KZeqNode::AddChannels(KZeqTakeNode* take) {
    if (!take) return;
    const bool isDefault = KString(take->GetName()).CompareNoCase("Default") == 0;
    // The first take of a node made afresh holds nothing but these channels:
    // it is made when first used (most never are).
    const bool defer = IsMakingFirstTake() && CanDeferStandardChannels();
    KProperty* const own[3] = {mProperties->mLclTranslation, mProperties->mLclRotation, mProperties->mLclScaling};
    float values[KZeqTakeNode::eStandardValueCount];
    for (int c = 0; c < 3; ++c) {
        const TransformChannel& channel = kTransformChannels[c];
        KProperty* property = defer ? own[c] : mProperties->FindPropertyByName(channel.mProperty);
        double value[kPropertyMaxMembers] = {channel.mPreset, channel.mPreset, channel.mPreset, 0.0};
        if (property) property->GetDataAsDoubles(value, kPropertyMaxMembers);
        for (int axis = 0; axis < 3; ++axis) values[3 * c + axis] = static_cast<float>(value[axis]);
    }
    values[KZeqTakeNode::eVisibility] =
        static_cast<float>(mProperties->mVisibility ? mProperties->mVisibility->AsDouble() : 1.0);
    if (defer) {
        take->Defer(values, isDefault ? this : nullptr);
        return;
    }
    KFCurveNode* root = take->GetKFCurveNode();
    MakeStandardChannels(*root, values, nullptr);
    if (isDefault) {
        // On the properties the values came from (none for one missing).
        KFCurveNode* transform = root->Get(root->GetCount() - 2);
        for (int c = 0; c < 3; ++c) {
            KProperty* property = mProperties->FindPropertyByName(kTransformChannels[c].mProperty);
            for (int axis = 0; axis < 3; ++axis)
                RegisterDefaultTakeCallback(property, axis, transform->Get(c)->Get(axis)->FCurveGet());
        }
        RegisterDefaultTakeCallback(mProperties->mVisibility, 0, root->Get(root->GetCount() - 1)->FCurveGet());
    }

    for (int i = 0; i < mProperties->GetPropertyCount(); ++i) {
        KProperty* property = mProperties->GetProperty(i);
        if (!property->IsAnimatable() || property == mProperties->mLclTranslation ||
            property == mProperties->mLclRotation || property == mProperties->mLclScaling ||
            property == mProperties->mVisibility)
            continue;
        CreateChannelsForProperty(property, take);
    }
    if (mNodeAttribute) mNodeAttribute->AddChannels(take);
}

// ---- Matrices from the takes --------------------------------------------------------------

int KZeqNode::ReadTransformValues(int* hints, KZeqTakeNode* take, const KTime* time, int rotationOrder, double* t,
                                  double* r, double* s, int skip) {
    double* const out[3] = {t, r, s};
    if (take && !time && take->IsDeferred()) {
        // The default values of channels not made yet.
        const float* values = take->GetStandardValues();
        const int first[3] = {KZeqTakeNode::eTX, KZeqTakeNode::eRX, KZeqTakeNode::eSX};
        for (int c = 0; c < 3; ++c)
            if (!(skip & (1 << c)))
                for (int i = 0; i < 3; ++i) out[c][i] = values[first[c] + i];
        return kAllTransformChannels;
    }
    if (!take) return 0;
    static const char* const kNames[3] = {"T", "R", "S"};
    KFCurveNode* root = take->GetKFCurveNode();
    int whole = 0;
    // The channels share their parent: its warped time is worked out once.
    const KFCurveNode* above = nullptr;
    bool known = false;
    KTime warped;
    for (int c = 0; c < 3; ++c) {
        if (skip & (1 << c)) continue;
        KFCurveNode* node = root->FindRecursive(kNames[c]);
        if (node && time && (!known || node->GetParent() != above)) {
            above = node->GetParent();
            warped = WarpedBelow(above, *time);
            known = true;
        }
        if (ReadChannel(node, out[c], time ? &warped : nullptr, &hints[c], c == 1 ? rotationOrder : -1) == 3)
            whole |= 1 << c;
    }
    return whole;
}

KZeqXMatrix& KZeqNode::LocalMatrix(KZeqTRSCache& cache, KZeqTakeNode* take, const KTime* time) {
    double t[3] = {0.0, 0.0, 0.0}, r[3] = {0.0, 0.0, 0.0}, s[3] = {1.0, 1.0, 1.0};
    // Rotation layers compose, and the matrix turns, as the full evaluation does (one total per
    // time for both).
    const int order = EulerOrder(Pivot(eSOURCE_SET));
    ReadTransformValues(cache.mHints, take, time, order, t, r, s);
    BuildLocal(cache.mLocal, t, r, s, order);
    cache.mLocalValid = true;
    if (time) cache.mLocalTime = *time;
    return cache.mLocal;
}

KZeqXMatrix& KZeqNode::GetLocalFromDefaultTake() {
    if (mDefaultTakeCache.mLocalValid) return mDefaultTakeCache.mLocal;
    return LocalMatrix(mDefaultTakeCache, GetDefaultTakeNode(), nullptr);
}

KZeqXMatrix& KZeqNode::GetLocalFromCurrentTake(KTime time) {
    if (mCurrentTakeCache.mLocalValid && mCurrentTakeCache.mLocalTime == time) return mCurrentTakeCache.mLocal;
    const int current = GetCurrentTakeNodeIndex();
    return LocalMatrix(mCurrentTakeCache, current >= 0 && current < GetTakeNodeCount() ? GetTakeNode(current) : nullptr,
                       &time);
}

namespace {

// Gives node its global matrix, compute(node, parent or null) for each node from the first
// ancestor whose global is not known (known) down to node: no recursion up a chain of any depth.
// A node whose parent is known (a walk from the top down) needs no list.
template <typename Known, typename Compute>
void ComputeGlobalsDownTo(KZeqNode& node, const Known& known, const Compute& compute) {
    KZeqNode* parent = node.GetParent();
    if (!parent || known(parent)) {
        compute(node, parent);
        return;
    }
    std::vector<KZeqNode*> chain;
    KZeqNode* above = &node;
    for (; above && !known(above); above = above->GetParent()) chain.push_back(above);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        compute(**it, above);
        above = *it;
    }
}

}  // namespace

KZeqXMatrix& KZeqNode::GetGlobalFromDefaultTake() {
    if (mDefaultTakeCache.mGlobalValid) return mDefaultTakeCache.mGlobal;
    ComputeGlobalsDownTo(
        *this, [](const KZeqNode* node) { return node->mDefaultTakeCache.mGlobalValid; },
        [](KZeqNode& node, KZeqNode* parent) {
            KZeqTRSCache& cache = node.mDefaultTakeCache;
            KZeqXMatrix& local = node.GetLocalFromDefaultTake();
            if (parent)
                ComputeGlobalMatrixZeqStyle(cache.mGlobal, parent->mDefaultTakeCache.mGlobal, local);
            else
                CopyAffine(cache.mGlobal, local);
            cache.mGlobalValid = true;
        });
    return mDefaultTakeCache.mGlobal;
}

KZeqXMatrix& KZeqNode::GetGlobalFromCurrentTake(KTime time) {
    const auto known = [time](const KZeqNode* node) {
        return node->mCurrentTakeCache.mGlobalValid && node->mCurrentTakeCache.mGlobalTime == time;
    };
    if (known(this)) return mCurrentTakeCache.mGlobal;
    ComputeGlobalsDownTo(*this, known, [time](KZeqNode& node, KZeqNode* parent) {
        KZeqTRSCache& cache = node.mCurrentTakeCache;
        KZeqXMatrix& local = node.GetLocalFromCurrentTake(time);
        if (parent)
            ComputeGlobalMatrixZeqStyle(cache.mGlobal, parent->mCurrentTakeCache.mGlobal, local);
        else
            CopyAffine(cache.mGlobal, local);
        cache.mGlobalTime = time;
        cache.mGlobalValid = true;
    });
    return mCurrentTakeCache.mGlobal;
}

// ---- The full transform --------------------------------------------------------------------

namespace {

// m = m . q on the 3x3 block and the translation row, m applied first.
void ThenBlock(KZeqMatrix& m, const KZeqMatrix& q) {
    KZeqMatrix product;
    KmAA(product.mData, q.mData, m.mData);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) m.mData[i][j] = product.mData[i][j];
}

void Move(KZeqMatrix& m, const KZeqVector4& v, double sign) {
    for (int j = 0; j < 3; ++j) m.mData[3][j] += sign * v[j];
}

}  // namespace

KZeqXMatrix KZeqNode::EvaluateLocalTransform(KTime time) { return EvaluateLocal(&time); }
KZeqXMatrix KZeqNode::EvaluateGlobalTransform(KTime time) { return EvaluateGlobal(&time); }
KZeqXMatrix KZeqNode::EvaluateLocalTransform() { return EvaluateLocal(nullptr); }
KZeqXMatrix KZeqNode::EvaluateGlobalTransform() { return EvaluateGlobal(nullptr); }

bool KZeqNode::NeedsFullTransform() const {
    const KZeqNodeProperties::KZeqPivot& set = Pivot(eSOURCE_SET);
    if (EulerOrder(set) != KVXRotationOrder::eEulerXYZ) return true;
    if (set.mPivotState != ePIVOT_STATE_ACTIVE) return false;
    const KZeqVector4* const zeros[] = {&set.mRotationOffset, &set.mRotationPivot,   &set.mPreRotation,
                                        &set.mPostRotation,   &set.mScalingOffset,   &set.mScalingPivot,
                                        &set.mGeometricTranslation, &set.mGeometricRotation};
    for (const KZeqVector4* v : zeros)
        if ((*v)[0] != 0.0 || (*v)[1] != 0.0 || (*v)[2] != 0.0) return true;
    const KZeqVector4& s = set.mGeometricScaling;
    return s[0] != 1.0 || s[1] != 1.0 || s[2] != 1.0;
}

namespace {

bool LayeredOrWarped(const KFCurveNode& node) {
    if (node.LayerGet() || node.TimeWarpGet()) return true;
    for (int i = 0; i < node.GetCount(); ++i)
        if (LayeredOrWarped(*node.Get(i))) return true;
    return false;
}

}  // namespace

bool KZeqNode::IsTakeLayeredOrWarped() {
    const int current = GetCurrentTakeNodeIndex();
    // The default take gives its values alone; a deferred take holds plain channels.
    if (current <= 0 || current >= GetTakeNodeCount() || GetTakeNode(current)->IsDeferred()) return false;
    KFCurveNode* root = GetTakeNode(current)->GetKFCurveNode();
    if (!root) return false;
    if (root->TimeWarpGet()) return true;
    KFCurveNode* transform = root->FindRecursive("Transform");
    return transform && LayeredOrWarped(*transform);
}

KZeqXMatrix KZeqNode::EvaluateLocal(const KTime* time) {
    double t[3] = {0.0, 0.0, 0.0}, r[3] = {0.0, 0.0, 0.0}, s[3] = {1.0, 1.0, 1.0};
    KZeqTakeNode* defaultTake = GetDefaultTakeNode();
    const int current = GetCurrentTakeNodeIndex();
    KZeqTakeNode* take = current >= 0 && current < GetTakeNodeCount() ? GetTakeNode(current) : nullptr;
    const bool timed = time && take && take != defaultTake;
    // The current take's values over the default ones: a channel it holds whole needs none below it.
    const KZeqNodeProperties::KZeqPivot& set = Pivot(eSOURCE_SET);
    const int order = EulerOrder(set);
    const int whole = timed ? ReadTransformValues(mCurrentTakeCache.mHints, take, time, order, t, r, s) : 0;
    if (whole != kAllTransformChannels) {
        ReadTransformValues(mDefaultTakeCache.mHints, defaultTake, nullptr, order, t, r, s, whole);
        if (timed) ReadTransformValues(mCurrentTakeCache.mHints, take, time, order, t, r, s, whole);
    }

    const bool active = set.mPivotState == ePIVOT_STATE_ACTIVE;
    const KZeqVector4 zero;
    const KZeqVector4& scalingPivot = active ? set.mScalingPivot : zero;
    const KZeqVector4& rotationPivot = active ? set.mRotationPivot : zero;

    // Scaling about the scaling pivot, then the offsets and pivots that only move.
    KZeqMatrix m;
    for (int i = 0; i < 3; ++i) {
        m.mData[i][i] = s[i];
        m.mData[3][i] = -scalingPivot[i] * s[i];
    }
    Move(m, scalingPivot, 1.0);
    if (active) Move(m, set.mScalingOffset, 1.0);
    Move(m, rotationPivot, -1.0);

    // Post-rotation undone, the rotation in the set's order, pre-rotation.
    KZeqMatrix rotation;
    KVXRotationOrder(order).V2M(rotation.mData, KgeRVector(r[0], r[1], r[2]));
    if (active && PreAndPostRotationCount()) {
        KZeqMatrix pre, post, undone, turned;
        KmXYZtoR(pre.mData, set.mPreRotation[0], set.mPreRotation[1], set.mPreRotation[2]);
        KmXYZtoR(post.mData, set.mPostRotation[0], set.mPostRotation[1], set.mPostRotation[2]);
        KmRi(undone.mData, post.mData);
        KmRR(turned.mData, rotation.mData, undone.mData);
        KmRR(rotation.mData, pre.mData, turned.mData);
    }
    ThenBlock(m, rotation);

    Move(m, rotationPivot, 1.0);
    if (active) Move(m, set.mRotationOffset, 1.0);
    Move(m, KZeqVector4(t[0], t[1], t[2], 0.0), 1.0);
    return KZeqXMatrix(m);
}

KZeqXMatrix KZeqNode::EvaluateGlobal(const KTime* time) {
    // Composed from the root down, as a cache of many nodes' transforms composes them: both answer alike.
    KZeqTransformCache cache = time ? KZeqTransformCache(*time) : KZeqTransformCache();
    return cache.Global(*this);
}

KZeqXMatrix KZeqNode::EvaluateGeometricTransform() const { return KZeqXMatrix(GeometricMatrix(Pivot(eSOURCE_SET))); }

void KZeqNode::ComputeLocalMatrixZeqStyle(KZeqXMatrix& local, KZeqXMatrix& parentGlobal, KZeqXMatrix& global) {
    KmAiA(local, parentGlobal, global);
}

void KZeqNode::ComputeGlobalMatrixZeqStyle(KZeqXMatrix& global, KZeqXMatrix& parentGlobal, KZeqXMatrix& local) {
    KmAA(global, parentGlobal, local);
}

// ---- States ----------------------------------------------------------------------------------

// Each walks the subtree through VisitSubtree: parents before children, as
// the global states need.
void KZeqNode::SetLocalStateId(unsigned int id, bool recursive) {
    VisitSubtree(recursive, [id](KZeqNode& node) {
        node.mLocalState.mId = id;
        return true;
    });
}

void KZeqNode::SetGlobalStateId(unsigned int id, bool recursive) {
    VisitSubtree(recursive, [id](KZeqNode& node) {
        node.mGlobalState.mId = id;
        return true;
    });
}

void KZeqNode::ComputeGlobalStateUpward(unsigned int id) {
    // The ancestors lacking the id, taken without recursion up a chain of any depth.
    std::vector<KZeqNode*> chain;
    for (KZeqNode* node = this; node && node->mGlobalState.mId != id; node = node->GetParent()) {
        node->mGlobalState.mId = id;
        chain.push_back(node);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        KZeqNode& node = **it;
        if (KZeqNode* parent = node.GetParent())
            ComputeGlobalMatrixZeqStyle(node.mGlobalState.mMatrix, parent->mGlobalState.mMatrix,
                                        node.mLocalState.mMatrix);
        else
            node.mGlobalState.mMatrix = node.mLocalState.mMatrix;
    }
}

void KZeqNode::ComputeGlobalState(unsigned int id, bool recursive) {
    VisitSubtree(recursive, [id](KZeqNode& node) {
        if (node.mGlobalState.mId == id) return false;
        node.ComputeGlobalStateUpward(id);
        return true;
    });
}

void KZeqNode::ComputeLocalState(unsigned int id, bool recursive) {
    VisitSubtree(recursive, [id](KZeqNode& node) {
        if (node.mLocalState.mId == id) return false;
        node.mLocalState.mId = id;
        if (KZeqNode* parent = node.GetParent())
            ComputeLocalMatrixZeqStyle(node.mLocalState.mMatrix, parent->mGlobalState.mMatrix,
                                       node.mGlobalState.mMatrix);
        else
            node.mLocalState.mMatrix = node.mGlobalState.mMatrix;
        return true;
    });
}

void KZeqNode::SetLocalStateFromDefaultTake(bool recursive) {
    VisitSubtree(recursive, [](KZeqNode& node) {
        node.mLocalState.mMatrix = node.GetLocalFromDefaultTake();
        return true;
    });
}

void KZeqNode::SetLocalStateFromCurrentTake(KTime time, bool recursive) {
    VisitSubtree(recursive, [time](KZeqNode& node) {
        const bool onDefault = node.GetCurrentTakeNodeIndex() == 0;
        node.mLocalState.mMatrix = onDefault ? node.GetLocalFromDefaultTake() : node.GetLocalFromCurrentTake(time);
        return true;
    });
}

void KZeqNode::SetDefaultTakeFromLocalState(bool recursive) {
    VisitSubtree(recursive, [](KZeqNode& node) {
        node.SetDefaultT(node.mLocalState.mMatrix.GetT());
        node.SetDefaultR(LocalAngles(node.mLocalState.mMatrix, EulerOrder(node.Pivot(eSOURCE_SET))));
        node.SetDefaultS(node.mLocalState.mMatrix.GetS());
        return true;
    });
}

void KZeqNode::SetCurrentTakeFromLocalState(KTime time, bool recursive) {
    VisitSubtree(recursive, [time](KZeqNode& node) {
        const int current = node.GetCurrentTakeNodeIndex();
        KZeqTakeNode* take = current >= 0 && current < node.GetTakeNodeCount() ? node.GetTakeNode(current) : nullptr;
        if (!take) return true;
        const KZeqXMatrix& state = node.mLocalState.mMatrix;
        const KZeqVector4 parts[3] = {state.GetT(), LocalAngles(state, EulerOrder(node.Pivot(eSOURCE_SET))),
                                      state.GetS()};
        KFCurve* curves[9] = {take->GetTranslationX(),   take->GetTranslationY(),   take->GetTranslationZ(),
                              take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                              take->GetScaleX(),         take->GetScaleY(),         take->GetScaleZ()};
        for (int i = 0; i < 9; ++i) {
            KFCurve* curve = curves[i];
            if (!curve) continue;
            const float value = static_cast<float>(parts[i / 3][i % 3]);
            if (take == node.GetDefaultTakeNode()) {
                curve->SetValue(value);
            } else {
                const int key = curve->KeyInsert(time, nullptr);
                if (key >= 0) curve->KeyGetPtr(key)->SetValue(value);
            }
        }
        return true;
    });
}

// ---- Properties, pivot set 0 and limits ------------------------------------------------------

namespace {

// Each pivot vector of pivot set 0 with the property holding it.
struct PivotVectorRow {
    KPropertyTemplate<KgeTVector> KZeqNodeProperties::*mProperty;
    KZeqVector4 KZeqNodeProperties::KZeqPivot::*mField;
    double mNeutral;  // the value that leaves the pivots unset
};
const PivotVectorRow kPivotVectorRows[] = {
    {&KZeqNodeProperties::RotationOffset, &KZeqNodeProperties::KZeqPivot::mRotationOffset, 0.0},
    {&KZeqNodeProperties::RotationPivot, &KZeqNodeProperties::KZeqPivot::mRotationPivot, 0.0},
    {&KZeqNodeProperties::RotationPivotUpdateOffset, &KZeqNodeProperties::KZeqPivot::mRotationPivotUpdateOffset, 0.0},
    {&KZeqNodeProperties::PreRotation, &KZeqNodeProperties::KZeqPivot::mPreRotation, 0.0},
    {&KZeqNodeProperties::PostRotation, &KZeqNodeProperties::KZeqPivot::mPostRotation, 0.0},
    {&KZeqNodeProperties::ScalingOffset, &KZeqNodeProperties::KZeqPivot::mScalingOffset, 0.0},
    {&KZeqNodeProperties::ScalingPivot, &KZeqNodeProperties::KZeqPivot::mScalingPivot, 0.0},
    {&KZeqNodeProperties::ScalingPivotUpdateOffset, &KZeqNodeProperties::KZeqPivot::mScalingPivotUpdateOffset, 0.0},
    {&KZeqNodeProperties::GeometricTranslation, &KZeqNodeProperties::KZeqPivot::mGeometricTranslation, 0.0},
    {&KZeqNodeProperties::GeometricRotation, &KZeqNodeProperties::KZeqPivot::mGeometricRotation, 0.0},
    {&KZeqNodeProperties::GeometricScaling, &KZeqNodeProperties::KZeqPivot::mGeometricScaling, 1.0}};

// Each limit kind with its properties: active, six per-axis flags, minimum, maximum.
struct LimitRow {
    KZeqLimits KZeqNodeLimits::*mLimits;
    void (KZeqNodeLimits::*mSetActive)(bool);
    bool (KZeqNodeLimits::*mGetActive)() const;
    KPropertyTemplate<bool> KZeqNodeProperties::*mActive;
    KPropertyTemplate<bool> KZeqNodeProperties::*mFlags[6];  // min X, Y, Z, max X, Y, Z
    KPropertyTemplate<KgeTVector> KZeqNodeProperties::*mMin;
    KPropertyTemplate<KgeTVector> KZeqNodeProperties::*mMax;
};
typedef KZeqNodeProperties P;
const LimitRow kLimitRows[] = {
    {&KZeqNodeLimits::mTranslationLimits,
     &KZeqNodeLimits::SetTranslationLimitActive,
     &KZeqNodeLimits::GetTranslationLimitActive,
     &P::TranslationActive,
     {&P::TranslationMinX, &P::TranslationMinY, &P::TranslationMinZ, &P::TranslationMaxX, &P::TranslationMaxY,
      &P::TranslationMaxZ},
     &P::TranslationMin,
     &P::TranslationMax},
    {&KZeqNodeLimits::mRotationLimits,
     &KZeqNodeLimits::SetRotationLimitActive,
     &KZeqNodeLimits::GetRotationLimitActive,
     &P::RotationActive,
     {&P::RotationMinX, &P::RotationMinY, &P::RotationMinZ, &P::RotationMaxX, &P::RotationMaxY, &P::RotationMaxZ},
     &P::RotationMin,
     &P::RotationMax},
    {&KZeqNodeLimits::mScalingLimits,
     &KZeqNodeLimits::SetScalingLimitActive,
     &KZeqNodeLimits::GetScalingLimitActive,
     &P::ScalingActive,
     {&P::ScalingMinX, &P::ScalingMinY, &P::ScalingMinZ, &P::ScalingMaxX, &P::ScalingMaxY, &P::ScalingMaxZ},
     &P::ScalingMin,
     &P::ScalingMax}};

void GetFlags(const KZeqLimits& limits, bool flags[6]) {
    limits.GetLimitMinActive(flags[0], flags[1], flags[2]);
    limits.GetLimitMaxActive(flags[3], flags[4], flags[5]);
}

bool VectorDiffers(const KgeTVector& property, const KZeqVector4& value) {
    for (int i = 0; i < 3; ++i)
        if (std::fabs(property.mData[i] - value[i]) > 1e-6) return true;
    return false;
}

}  // namespace

void KZeqNode::UpdatePropertiesFromPivotsAndLimits() {
    KZeqNodeProperties& p = *mProperties;
    const KZeqNodeProperties::KZeqPivot& pivot = p.mPivots[0];
    for (const PivotVectorRow& row : kPivotVectorRows) StoreXYZ((p.*row.mProperty).Value(), pivot.*row.mField);
    p.RotationOrder.Value() = pivot.mRotationOrder;
    p.RotationSpaceForLimitOnly.Value() = pivot.mRotationSpaceForLimitOnly;
    for (const LimitRow& row : kLimitRows) {
        const KZeqLimits& limits = (*mLimits).*row.mLimits;
        (p.*row.mActive).Value() = ((*mLimits).*row.mGetActive)();
        bool flags[6];
        GetFlags(limits, flags);
        for (int i = 0; i < 6; ++i) (p.*row.mFlags[i]).Value() = flags[i];
        StoreXYZ((p.*row.mMin).Value(), limits.GetLimitMin());
        StoreXYZ((p.*row.mMax).Value(), limits.GetLimitMax());
    }
}

void KZeqNode::UpdatePropertiesFromPivotsInEffectAndLimits() {
    UpdatePropertiesFromPivotsAndLimits();
    KZeqNodeProperties& p = *mProperties;
    if (p.mPivots[0].mPivotState == ePIVOT_STATE_ACTIVE) return;
    for (const PivotVectorRow& row : kPivotVectorRows)
        StoreXYZ((p.*row.mProperty).Value(), KZeqVector4(row.mNeutral, row.mNeutral, row.mNeutral, 0.0));
}

void KZeqNode::UpdatePivotsAndLimitsFromProperties() {
    KZeqNodeProperties& p = *mProperties;
    bool pivotsSet = p.RotationOrder.Value() != eEULER_XYZ;
    for (const PivotVectorRow& row : kPivotVectorRows)
        pivotsSet = pivotsSet || Differs((p.*row.mProperty).Value(), row.mNeutral);
    if (pivotsSet) {
        KZeqNodeProperties::KZeqPivot& pivot = p.mPivots[0];
        for (const PivotVectorRow& row : kPivotVectorRows) {
            KZeqVector4& field = pivot.*row.mField;
            field = XYZ((p.*row.mProperty).Value(), field[3]);
        }
        pivot.mRotationOrder = p.RotationOrder.Value();
        pivot.mRotationSpaceForLimitOnly = p.RotationSpaceForLimitOnly.Value();
        pivot.mPivotState = ePIVOT_STATE_ACTIVE;
        pivot.mGlobalMatrixValid = false;
        p.mPivots[1] = KZeqNodeProperties::KZeqPivot();
    }

    bool limitsChanged = false;
    for (const LimitRow& row : kLimitRows) {
        const KZeqLimits& limits = (*mLimits).*row.mLimits;
        bool flags[6];
        GetFlags(limits, flags);
        limitsChanged = limitsChanged || (p.*row.mActive).Value() != ((*mLimits).*row.mGetActive)() ||
                        VectorDiffers((p.*row.mMin).Value(), limits.GetLimitMin()) ||
                        VectorDiffers((p.*row.mMax).Value(), limits.GetLimitMax());
        for (int i = 0; i < 6; ++i) limitsChanged = limitsChanged || (p.*row.mFlags[i]).Value() != flags[i];
    }
    if (!limitsChanged) return;
    for (const LimitRow& row : kLimitRows) {
        KZeqLimits& limits = (*mLimits).*row.mLimits;
        ((*mLimits).*row.mSetActive)((p.*row.mActive).Value());
        bool f[6];
        for (int i = 0; i < 6; ++i) f[i] = (p.*row.mFlags[i]).Value();
        limits.SetLimitMinActive(f[0], f[1], f[2]);
        limits.SetLimitMaxActive(f[3], f[4], f[5]);
        limits.SetLimitMin(XYZ((p.*row.mMin).Value(), limits.GetLimitMin()[3]));
        limits.SetLimitMax(XYZ((p.*row.mMax).Value(), limits.GetLimitMax()[3]));
    }
}

}  // namespace zeqsdk_400
