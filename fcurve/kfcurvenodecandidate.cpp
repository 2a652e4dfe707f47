// Curve-node candidates: values proposed at one time, held as a total for all
// layers together, split into the values of one layer so that the layers
// combine to the total, and keyed into that layer's curves.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

// A run of values on the stack, or on the heap for unusually wide nodes.
class ValueRun {
public:
    explicit ValueRun(int count) {
        if (count > kLocal) {
            mHeap.resize(static_cast<std::size_t>(count));
            mData = mHeap.data();
        }
    }
    ValueRun(const ValueRun&) = delete;
    ValueRun& operator=(const ValueRun&) = delete;
    double* Get() { return mData; }

private:
    static constexpr int kLocal = 16;
    double mLocal[kLocal] = {};
    std::vector<double> mHeap;
    double* mData = mLocal;
};

void SetIdentity(KgeRMatrix& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = r == c ? 1.0 : 0.0;
}

void Conjugate(KgeQuaternion& q) {
    for (int i = 0; i < 3; ++i) q.mData[i] = -q.mData[i];
}

// One line of a dump: indent blanks, then the parts; numbers as "%d" and "%f" write them.
void AppendLine(KString& text, int indent, std::initializer_list<std::string> parts) {
    for (int i = 0; i < indent; ++i) text += ' ';
    for (const std::string& part : parts) text += part.c_str();
    text += '\n';
}

void DumpState(KString& text, const KFCurveNodeCandidateState& state, int indent) {
    using std::to_string;
    const double* v = state.mCandidateTotalValue;
    AppendLine(text, indent, {"mSpecificCandidateMethod = ", to_string(state.mSpecificCandidateMethod)});
    AppendLine(text, indent, {"mTotalCandidateMethod = ", to_string(state.mTotalCandidateMethod)});
    AppendLine(text, indent,
               {"mCandidateTotalValue = ", to_string(v[0]), ", ", to_string(v[1]), ", ", to_string(v[2]), ", ",
                to_string(v[3])});
    AppendLine(text, indent, {"mCandidateTotalTime = ", to_string(state.mCandidateTotalTime.GetSecondDouble())});
    AppendLine(text, indent, {"mCandidateSpecificValue = ", to_string(state.mCandidateSpecificValue)});
    AppendLine(text, indent, {"mFCurveValue = ", to_string(state.mFCurveValue)});
    AppendLine(text, indent, {"mCandidateSpecificTime = ", to_string(state.mCandidateSpecificTime.GetSecondDouble())});
    if (state.mLayerState) {
        AppendLine(text, indent, {"mLayerState:"});
        DumpState(text, *state.mLayerState, indent + 2);
    }
    for (std::size_t i = 0; i < state.mSubStates.size(); ++i) {
        if (!state.mSubStates[i]) continue;
        AppendLine(text, indent, {"mSubStates[", to_string(i), "]:"});
        DumpState(text, *state.mSubStates[i], indent + 2);
    }
}

}  // namespace

// ---- Setting ----------------------------------------------------------------------

void KFCurveNode::TotalToLayerValues(double* total, const double* values) const {
    const int own = mFCurve ? 1 : 0;
    const int count = LayerValueCount();
    if (mLayerID == 0 && mLayerType == KFCL_QUAT) {
        if (own) total[0] = values[0];
        KgeRMatrix m;
        KmXYZtoR(m, values[own], values[own + 1], values[own + 2]);
        KmRtoQ(total + own, m);
        for (int i = own + 4; i < count; ++i) total[i] = 0.0;
    } else {
        std::memcpy(total, values, sizeof(double) * static_cast<std::size_t>(count));
    }
}

double* KFCurveNode::CandidateSet(KTime time, double* values, int layerId) {
    if (mLayerID != 0) return values;
    time = WarpTime(time, true);
    const int own = mFCurve ? 1 : 0;
    if (!IsFlat() && mLayerType == KFCL_QUAT) return values + own + 3;
    if (!IsFlat()) {
        // The channels below hold their own totals; this node's curve, if any,
        // takes no part in a layered total.
        double* v = values + own;
        const int count = mChildren.GetCount();
        for (int i = 0; i < count; ++i) v = mChildren[i]->CandidateSet(time, v, layerId);
        return v;
    }

    const int valueCount = CandidateValueCount();
    const int layerCount = LayerValueCount();
    ValueRun total(layerCount);
    TotalToLayerValues(total.Get(), values);

    if (!HoldsTotal()) {
        // Too wide to keep as a total: split at once into the layer.
        ValueRun layerValues(layerCount);
        ComputeCandidateForLayer(layerValues.Get(), total.Get(), time, layerId, nullptr);
        CandidateSetSpecificLayerAt(time, layerValues.Get(), layerId, layerValues.Get() + layerCount);
        return values + valueCount;
    }

    // Channels of the layer without keys take the layer's share as their value.
    if (KFCurveNode* layer = GetCorrectLayer(layerId, true)) {
        auto channel = [layer, own](int i) -> KFCurveNode* { return i < own ? layer : layer->Get(i - own); };
        auto keyless = [](KFCurveNode* node) {
            return node && node->mChildren.GetCount() == 0 && (!node->mFCurve || node->mFCurve->KeyGetCount() == 0);
        };
        bool any = false;
        for (int i = 0; i < layerCount; ++i) any = any || keyless(channel(i));
        if (any) {
            ValueRun layerValues(layerCount);
            ComputeCandidateForLayer(layerValues.Get(), total.Get(), time, layerId, nullptr);
            for (int i = 0; i < layerCount; ++i) {
                KFCurveNode* node = channel(i);
                if (!keyless(node)) continue;
                if (!node->mFCurve) node->FCurveSet(KFCurveCreate(), true);
                node->mFCurve->SetValue(static_cast<float>(layerValues.Get()[i]));
                node->mFCurve->CandidateClear();
            }
        }
    }

    mSpecificCandidateMethod = 2;
    mTotalCandidateMethod = 2;
    mCandidateTotalTime = time;
    std::memcpy(mCandidateTotalValue, values, sizeof(double) * static_cast<std::size_t>(valueCount));
    // Each channel holds its share (a quaternion node's channels their component).
    const double* shares = mLayerType == KFCL_QUAT ? total.Get() + own : values + own;
    const int shareCount = mLayerType == KFCL_QUAT ? 4 : mChildren.GetCount();
    const int count = std::min(mChildren.GetCount(), shareCount);
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = mChildren[i];
        child->mSpecificCandidateMethod = 2;
        child->mTotalCandidateMethod = 2;
        child->mCandidateTotalTime = time;
        child->mCandidateTotalValue[0] = shares[i];
    }
    return values + valueCount;
}

double* KFCurveNode::CandidateSetSpecificLayer(KTime time, double* values, int layerId) {
    return CandidateSetSpecificLayerAt(WarpTime(time, true), values, layerId, nullptr);
}

double* KFCurveNode::CandidateSetSpecificLayerAt(KTime time, double* values, int layerId, const double* end) {
    const int id = GetCorrectLayerID(layerId);
    mSpecificCandidateMethod = 1;
    mTotalCandidateMethod = 1;
    if (mLayerID == id) return CandidateSetOnNode(time, values, end);
    KFCurveNode* layer = id > mLayerID ? GetCorrectLayer(layerId, true) : nullptr;
    if (!layer) return values + PlainRunLength();
    return layer->CandidateSetOnNode(time, values, end);
}

double* KFCurveNode::CandidateSetOnNode(KTime time, double* values, const double* end) {
    double* v = values;
    if (mFCurve) {
        // A layer read from a file may have more channels than values were made for.
        if (end && v >= end) return v;
        mFCurve->CandidateSet(time, *v);
        if (mFCurve->KeyGetCount() == 0) mFCurve->SetValue(static_cast<float>(*v));
        ++v;
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = mChildren[i];
        child->mSpecificCandidateMethod = 1;
        child->mTotalCandidateMethod = 1;
        v = child->CandidateSetOnNode(child->WarpTime(time, true), v, end);
    }
    return v;
}

void KFCurveNode::FromTotalCandidateToSpecificCandidate(int layerId) {
    if (mLayerID != 0) return;
    if (!IsFlat()) {
        const int count = mChildren.GetCount();
        for (int i = 0; i < count; ++i) mChildren[i]->FromTotalCandidateToSpecificCandidate(layerId);
        return;
    }
    if (mTotalCandidateMethod != 2 || mSpecificCandidateMethod != 2 || !HoldsTotal()) return;
    const int layerCount = LayerValueCount();
    ValueRun total(layerCount), layerValues(layerCount);
    TotalToLayerValues(total.Get(), mCandidateTotalValue);
    ComputeCandidateForLayer(layerValues.Get(), total.Get(), mCandidateTotalTime, layerId, nullptr);
    // The total's time is already the warped one.
    CandidateSetSpecificLayerAt(mCandidateTotalTime, layerValues.Get(), layerId, layerValues.Get() + layerCount);
    mSpecificCandidateMethod = 3;
    mTotalCandidateMethod = 2;
}

void KFCurveNode::ComputeCandidateForLayer(double* out, double* total, KTime time, int layerId, int* last) {
    // A node of one layer has only its base to take the total, whatever layer is named.
    layerId = GetCorrectLayerID(layerId);
    const int own = mFCurve ? 1 : 0;
    const int count = LayerValueCount();
    GetZeroValues(out, count);
    switch (mLayerType) {
        case KFCL_NOLAYER:
        case KFCL_ADD: {
            ValueRun sum(count);
            EvaluateExceptLayer(sum.Get(), count, time, layerId, last, false);
            for (int i = 0; i < count; ++i) out[i] = total[i] - sum.Get()[i];
            break;
        }
        case KFCL_MULT: {
            ValueRun product(count);
            std::fill(product.Get(), product.Get() + count, 1.0);
            EvaluateExceptLayer(product.Get(), count, time, layerId, last, true);
            for (int i = 0; i < count; ++i) {
                // Other layers at zero leave this layer free: it keeps its neutral value.
                const double value = total[i] / product.Get()[i];
                if (product.Get()[i] != 0.0 && std::isfinite(value)) out[i] = value;
            }
            break;
        }
        case KFCL_EULER_XYZ: {
            if (own) out[0] = total[0];
            if (count - own < 3) break;
            KgeRMatrix target, before, after, inverse, result;
            KVXRotationOrder(mRotationOrder).V2M(target, KgeRVector(total[own], total[own + 1], total[own + 2]));
            SetIdentity(after);
            EvaluateCurvesAfterLayerRecursiveEulerXYZ(after, time, layerId, last);
            KmRi(inverse, after);
            KmRR(result, target, inverse);
            SetIdentity(before);
            EvaluateCurvesBeforeLayerRecursiveEulerXYZ(before, time, layerId, last);
            KmRi(inverse, before);
            KmRR(result, inverse, result);
            KgeRVector angles;
            KVXRotationOrder(mRotationOrder).M2V(angles, result);
            std::memcpy(out + own, angles.mData, sizeof(angles.mData));
            break;
        }
        case KFCL_QUAT: {
            if (own) out[0] = total[0];
            KgeQuaternion q(total[own], total[own + 1], total[own + 2], total[own + 3]);
            // The hemisphere of the node's current rotation, so that keys stay continuous.
            double current[4] = {0.0, 0.0, 0.0, 1.0};
            const int channels = std::min(mChildren.GetCount(), 4);
            for (int i = 0; i < channels; ++i)
                if (KFCurve* curve = mChildren[i]->mFCurve) current[i] = curve->Evaluate(time, last);
            double dot = 0.0;
            for (int i = 0; i < 4; ++i) dot += q.mData[i] * current[i];
            if (dot < 0.0)
                for (double& c : q.mData) c = -c;
            KgeQuaternion before, after, result;
            EvaluateCurvesBeforeLayerRecursiveQuat(before, time, layerId, last);
            EvaluateCurvesAfterLayerRecursiveQuat(after, time, layerId, last);
            Conjugate(before);
            Conjugate(after);
            KmQQ(result, q, after);
            KmQQ(result, before, result);
            std::memcpy(out + own, result.mData, sizeof(result.mData));
            break;
        }
        default:
            std::memcpy(out, total, sizeof(double) * static_cast<std::size_t>(count));
            break;
    }
}

// ---- Clearing and reading ------------------------------------------------------------

void KFCurveNode::CandidateClear(int layerId, bool clearSubLayers) {
    const int id = GetCorrectLayerID(layerId);
    KFCurveNode* node = this;
    while (node && node->mLayerID != id) {
        if (node->mLayerID > id) return;
        node = node->mNextLayer;
    }
    if (node) node->CandidateClearOnNode(clearSubLayers);
}

void KFCurveNode::CandidateClearOnNode(bool clearSubLayers) {
    if (mFCurve) mFCurve->CandidateClear();
    mCandidateTotalTime = KTime::Infinite();
    mSpecificCandidateMethod = 1;
    mTotalCandidateMethod = 1;
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) mChildren[i]->CandidateClearOnNode(clearSubLayers);
    if (clearSubLayers) CandidateClearSubLayers();
}

void KFCurveNode::CandidateClearSubLayers() {
    for (KFCurveNode* layer = mNextLayer; layer; layer = layer->mNextLayer) layer->CandidateClearOnNode(false);
}

double* KFCurveNode::CandidateGet(double* values, int layerId) const {
    if (!IsFlat() && mLayerType == KFCL_QUAT) return values;
    if (!IsFlat()) {
        double* v = values;
        const int count = mChildren.GetCount();
        for (int i = 0; i < count; ++i) v = mChildren[i]->CandidateGet(v, layerId);
        return v;
    }
    if (mTotalCandidateMethod != 2 || !HoldsTotal()) return values;
    const int count = CandidateValueCount();
    std::memcpy(values, mCandidateTotalValue, sizeof(double) * static_cast<std::size_t>(count));
    return values + count;
}

double* KFCurveNode::CandidateGetTotalCandidate(double* values, KTime& time) const {
    time = mCandidateTotalTime;
    std::memcpy(values, mCandidateTotalValue, sizeof(mCandidateTotalValue));
    return values + 4;
}

double* KFCurveNode::CandidateGetWithTime(double* values, KTime& time) const {
    double* v = values;
    if (mFCurve) {
        *v++ = mFCurve->CandidateGet();
        time = mFCurve->CandidateGetTime();
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) v = mChildren[i]->CandidateGetWithTime(v, time);
    return v;
}

double* KFCurveNode::CandidateGetSpecificLayer(double* values, KTime& time, int layerId) {
    if (mLayerID == 0 && mSpecificCandidateMethod == 2) FromTotalCandidateToSpecificCandidate(layerId);
    if (KFCurveNode* layer = LayerGet(GetCorrectLayerID(layerId))) return layer->CandidateGetWithTime(values, time);
    const int count = PlainRunLength();
    GetZeroValues(values, count);
    return values + count;
}

// ---- Keying --------------------------------------------------------------------------

void KFCurveNode::CandidateKeySpecificLayer(int* last, int layerId, bool* mask, int interpolation, int tangentMode,
                                            bool isBreak, bool rebuild, KTime time, double tolerance) {
    const int id = GetCorrectLayerID(layerId);
    KFCurveNode* node = this;
    while (node && node->mLayerID != id) {
        if (node->mLayerID > id) return;
        node = node->mNextLayer;
    }
    if (node) node->CandidateKeyOnNode(last, mask, interpolation, tangentMode, isBreak, rebuild, time, tolerance);
}

void KFCurveNode::CandidateKeyOnNode(int* last, bool* mask, int interpolation, int tangentMode, bool isBreak,
                                     bool rebuild, KTime time, double tolerance) {
    if (mFCurve && (!mask || mask[0]))
        mFCurve->CandidateKey(last, interpolation, tangentMode, isBreak, rebuild, time, tolerance);
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        if (mask && !mask[i]) continue;
        mChildren[i]->CandidateKeyOnNode(last, mask ? mask + i : nullptr, interpolation, tangentMode, isBreak,
                                         rebuild, time, tolerance);
    }
}

void KFCurveNode::CandidateKey(int* last, int layerId, bool* mask, int interpolation, int tangentMode, bool isBreak,
                               bool rebuild, double tolerance) {
    if (mLayerID != 0) return;
    if (!IsFlat()) {
        // The channels below hold their own totals (as CandidateSet leaves them).
        if (mFCurve && (!mask || mask[0]))
            if (KFCurveNode* layer = GetCorrectLayer(layerId, false))
                if (layer->mFCurve) layer->mFCurve->CandidateKey(last, interpolation, tangentMode, isBreak, rebuild,
                                                                 KTime::Infinite(), tolerance);
        const int count = mChildren.GetCount();
        for (int i = 0; i < count; ++i)
            mChildren[i]->CandidateKey(last, layerId, mask ? mask + i : nullptr, interpolation, tangentMode, isBreak,
                                       rebuild, tolerance);
        return;
    }
    if (mTotalCandidateMethod == 2 && HoldsTotal()) {
        const KTime time = mCandidateTotalTime;
        const int layerCount = LayerValueCount();
        ValueRun total(layerCount), layerValues(layerCount);
        TotalToLayerValues(total.Get(), mCandidateTotalValue);
        ComputeCandidateForLayer(layerValues.Get(), total.Get(), time, layerId, last);
        KFCurveNode* layer = GetCorrectLayer(layerId, true);
        if (!layer) return;
        double* values = layerValues.Get();
        if (mLayerType == KFCL_EULER_XYZ && layer->HasChannelCurves(3)) {
            // Of the triples giving the same rotation, the one nearest the layer's previous key.
            layer->GetContinuousRotation(values, values, time);
        } else if (mLayerType == KFCL_QUAT && layer->HasChannelCurves(4)) {
            // q and -q are one rotation: the one on the side of the layer's value there.
            double dot = 0.0;
            for (int i = 0; i < 4; ++i) dot += values[i] * layer->mChildren[i]->mFCurve->Evaluate(time, last);
            if (dot < 0.0)
                for (int i = 0; i < 4; ++i) values[i] = -values[i];
        }
        CandidateSetSpecificLayerAt(time, values, layerId, values + layerCount);
        // The total stays valid, now split into the layer.
        mSpecificCandidateMethod = 3;
        mTotalCandidateMethod = 2;
    }
    CandidateKeySpecificLayer(last, layerId, mask, interpolation, tangentMode, isBreak, rebuild, KTime::Infinite(),
                              tolerance);
}

// ---- Saved states -------------------------------------------------------------------

void KFCurveNode::GetCandidateState(KFCurveNodeCandidateState& state) const {
    state.mSubStates.clear();
    state.mLayerState.reset();
    state.mSpecificCandidateMethod = mSpecificCandidateMethod;
    state.mTotalCandidateMethod = mTotalCandidateMethod;
    std::memcpy(state.mCandidateTotalValue, mCandidateTotalValue, sizeof(mCandidateTotalValue));
    state.mCandidateTotalTime = mCandidateTotalTime;
    if (mFCurve) {
        state.mCandidateSpecificValue = mFCurve->CandidateGet();
        state.mCandidateSpecificTime = mFCurve->CandidateGetTime();
        state.mFCurveValue = mFCurve->GetValue();
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        state.mSubStates.push_back(std::make_unique<KFCurveNodeCandidateState>());
        mChildren[i]->GetCandidateState(*state.mSubStates.back());
    }
    if (mNextLayer) {
        state.mLayerState = std::make_unique<KFCurveNodeCandidateState>();
        mNextLayer->GetCandidateState(*state.mLayerState);
    }
}

void KFCurveNode::SetCandidateState(const KFCurveNodeCandidateState& state) {
    mSpecificCandidateMethod = state.mSpecificCandidateMethod;
    mTotalCandidateMethod = state.mTotalCandidateMethod;
    std::memcpy(mCandidateTotalValue, state.mCandidateTotalValue, sizeof(mCandidateTotalValue));
    mCandidateTotalTime = state.mCandidateTotalTime;
    if (mFCurve) {
        if (state.mCandidateSpecificTime == KTime::Infinite())
            mFCurve->CandidateClear();
        else
            mFCurve->CandidateSet(state.mCandidateSpecificTime, state.mCandidateSpecificValue);
        mFCurve->SetValue(static_cast<float>(state.mFCurveValue));
    }
    const int count = std::min(mChildren.GetCount(), static_cast<int>(state.mSubStates.size()));
    for (int i = 0; i < count; ++i)
        if (state.mSubStates[static_cast<std::size_t>(i)])
            mChildren[i]->SetCandidateState(*state.mSubStates[static_cast<std::size_t>(i)]);
    if (mNextLayer && state.mLayerState) mNextLayer->SetCandidateState(*state.mLayerState);
}

KString KFCurveNodeCandidateState::Dump(int indent) const {
    KString text;
    DumpState(text, *this, std::max(indent, 0));
    return text;
}

}  // namespace zeqsdk_400
