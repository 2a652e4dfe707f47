// Curve-node evaluation: the depth-first value run of a tree, with time warps,
// layers combined by layer type, and rotation nodes interpolated as rotations.
//
// Every value buffer is sized by the run it receives (GetChannelCount): short
// runs live on the stack, longer ones in the node's own scratch buffer, which
// grows once and is then reused, so that evaluation does not allocate.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

constexpr int kLocalValues = 16;

// Marks a node as being evaluated for the length of one call.
class EvaluationGuard {
public:
    explicit EvaluationGuard(bool& flag) : mFlag(flag), mEntered(!flag) { mFlag = true; }
    ~EvaluationGuard() {
        if (mEntered) mFlag = false;
    }
    EvaluationGuard(const EvaluationGuard&) = delete;
    EvaluationGuard& operator=(const EvaluationGuard&) = delete;
    // False when the node was already being evaluated further up the stack.
    bool Entered() const { return mEntered; }

private:
    bool& mFlag;
    bool mEntered;
};

int Count(const double* begin, const double* end) { return static_cast<int>(end - begin); }

void RotationOf(KgeRMatrix& m, int order, const double* angles) {
    KVXRotationOrder(order).V2M(m, KgeRVector(angles[0], angles[1], angles[2]));
}

void AnglesOf(double* angles, int order, const KgeRMatrix& m) {
    KgeRVector v;
    KVXRotationOrder(order).M2V(v, m);
    std::memcpy(angles, v.mData, sizeof(v.mData));
}

}  // namespace

int KFCurveNode::GetChannelCount() const {
    int children = 0;
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) children += mChildren[i]->GetChannelCount();
    // A quaternion node gives three angles even when it lacks channels.
    if (mLayerType == KFCL_QUAT) children = std::max(children, 3);
    return (mFCurve ? 1 : 0) + children;
}

int KFCurveNode::PlainRunLength() const {
    int length = mFCurve ? 1 : 0;
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) length += mChildren[i]->PlainRunLength();
    return length;
}

int KFCurveNode::LayerValueCount() const {
    const int own = mFCurve ? 1 : 0;
    const int count = own + mChildren.GetCount();
    return mLayerType == KFCL_QUAT ? std::max(count, own + 4) : count;
}

bool KFCurveNode::IsFlat() const {
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i)
        if (mChildren[i]->mChildren.GetCount() != 0 || !mChildren[i]->mFCurve) return false;
    return true;
}

int KFCurveNode::CandidateValueCount() const {
    const int own = mFCurve ? 1 : 0;
    if (mLayerID == 0 && mLayerType == KFCL_QUAT) return own + 3;
    return own + mChildren.GetCount();
}

bool KFCurveNode::HoldsTotal() const { return IsFlat() && CandidateValueCount() <= 4; }

double* KFCurveNode::ScratchBuffer(int count, double* local, int localCount) {
    if (count <= localCount) return local;
    if (static_cast<int>(mScratch.size()) < count) mScratch.resize(static_cast<std::size_t>(count));
    return mScratch.data();
}

KFCurve* KFCurveNodeWarpCurve(KFCurveNode* timeWarp) {
    KFCurve* curve = timeWarp ? timeWarp->FCurveGet() : nullptr;
    return curve && timeWarp->GetCount() == 0 && !timeWarp->LayerGet() && !timeWarp->TimeWarpGet() ? curve : nullptr;
}

double KFCurveNodeWarpSeconds(KFCurveNode* timeWarp, KTime time, bool candidate) {
    if (!timeWarp) return time.GetSecondDouble();
    // Most warps are one curve, read directly.
    if (KFCurve* curve = KFCurveNodeWarpCurve(timeWarp))
        return candidate ? curve->CandidateEvaluate(time) : curve->Evaluate(time);
    double local[kLocalValues];
    std::vector<double> heap;
    double* values = local;
    if (timeWarp->GetChannelCount() > kLocalValues) {
        heap.resize(static_cast<std::size_t>(timeWarp->GetChannelCount()));
        values = heap.data();
    }
    int last = 0;
    const double* end = timeWarp->GeneralEvaluate(values, time, &last, candidate);
    return end == values ? time.GetSecondDouble() : values[0];
}

KTime KFCurveNodeWarpTime(KFCurveNode* timeWarp, KTime time, bool candidate) {
    if (!timeWarp) return time;
    KTime warped;
    warped.SetSecondDouble(KFCurveNodeWarpSeconds(timeWarp, time, candidate));
    return warped;
}

KTime KFCurveNode::WarpTime(KTime time, bool candidate) {
    if (!mTimeWarp) return time;
    // Keeps a time warp that leads back here from being evaluated in it again.
    EvaluationGuard guard(mEvaluating);
    return KFCurveNodeWarpTime(mTimeWarp, time, candidate);
}

double* KFCurveNode::Evaluate(double* values, KTime time, int* last) {
    double* out = values;
    if (mFCurve) *out++ = mFCurve->Evaluate(time, last);
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) out = mChildren[i]->Evaluate(out, time, last);
    return out;
}

double* KFCurveNode::CandidateEvaluate(double* values, KTime time, int* last) {
    return GeneralEvaluate(values, time, last, true);
}

double* KFCurveNode::GeneralEvaluate(double* values, KTime time, int* last, bool candidate) {
    EvaluationGuard guard(mEvaluating);
    if (!guard.Entered()) return values;
    int localLast = 0;
    if (!last) last = &localLast;

    if (mTimeWarp) time = WarpTime(time, candidate);

    const bool base = mLayerID == 0;
    if (candidate && base && mTotalCandidateMethod == 2 && mCandidateTotalTime == time && HoldsTotal()) {
        const int count = CandidateValueCount();
        std::memcpy(values, mCandidateTotalValue, sizeof(double) * static_cast<std::size_t>(count));
        return values + count;
    }

    double* out = values;
    if (mFCurve) *out++ = candidate ? mFCurve->CandidateEvaluate(time, last) : mFCurve->Evaluate(time, last);
    double* const channels = out;

    const bool baseQuaternion = base && mLayerType == KFCL_QUAT;
    double quaternion[4] = {0.0, 0.0, 0.0, 1.0};
    const int count = mChildren.GetCount();
    if (baseQuaternion) {
        // Each child gives the first value of its run as one component.
        for (int i = 0; i < count; ++i) {
            KFCurveNode* child = mChildren[i];
            double local[kLocalValues];
            double* run = ScratchBuffer(child->GetChannelCount(), local, kLocalValues);
            const double* end = child->GeneralEvaluate(run, time, last, candidate);
            if (i < 4 && end > run) quaternion[i] = run[0];
        }
    } else if (mLayerType == KFCL_EULER_XYZ) {
        out = RotationNodeEvaluate(out, time, last, candidate);
    } else {
        out = EvaluateChildren(out, time, last, candidate);
    }

    if (mNextLayer) CombineLayers(values, channels, out, baseQuaternion ? quaternion : nullptr, time, candidate);

    if (baseQuaternion) {
        KgeRMatrix m;
        KmQtoR(m, quaternion);
        KmRtoVord(out, m, 0);
        out += 3;
    }

    if (candidate && base && HoldsTotal() && Count(values, out) == CandidateValueCount()) {
        mTotalCandidateMethod = 2;
        mCandidateTotalTime = time;
        std::memcpy(mCandidateTotalValue, values, sizeof(double) * static_cast<std::size_t>(Count(values, out)));
    }
    // A rotation node answers the end of its run like every other node, so
    // that the next sibling writes after its three values.
    return out;
}

double* KFCurveNode::EvaluateChildren(double* out, KTime time, int* last, bool candidate) {
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = mChildren[i];
        // Candidates go the whole way: a channel keeps its total candidate.
        if (!candidate && child->mFCurve && child->mChildren.GetCount() == 0 && !child->mNextLayer &&
            !child->mTimeWarp && child->mLayerType != KFCL_EULER_XYZ && child->mLayerType != KFCL_QUAT)
            *out++ = child->mFCurve->Evaluate(time, last);
        else
            out = child->GeneralEvaluate(out, time, last, candidate);
    }
    return out;
}

double* KFCurveNode::FillLayerRun(KFCurveNode* layer, double* out, KTime time, bool candidate) {
    if (layer && layer->mTimeWarp) time = layer->WarpTime(time, candidate);
    if (mFCurve) {
        if (KFCurve* curve = layer ? layer->mFCurve : nullptr)
            *out = candidate ? curve->CandidateEvaluate(time) : curve->Evaluate(time);
        ++out;
    }
    const int count = mChildren.GetCount();
    KFCurveNode* const* channels = layer && count > 0 ? LayerChannelsOf(layer) : nullptr;
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = mChildren[i];
        KFCurveNode* channel = channels ? channels[i] : nullptr;
        if (child->mChildren.GetCount() != 0) {
            out = child->FillLayerRun(channel, out, time, candidate);
            continue;
        }
        // A leaf, as its own FillLayerRun reads it.
        if (!child->mFCurve) continue;
        if (KFCurve* curve = channel ? channel->mFCurve : nullptr) {
            const KTime at = channel->mTimeWarp ? channel->WarpTime(time, candidate) : time;
            *out = candidate ? curve->CandidateEvaluate(at) : curve->Evaluate(at);
        }
        ++out;
    }
    return out;
}

void KFCurveNode::CombineLayers(double* values, double* channels, const double* end, double* quaternion, KTime time,
                                bool candidate) {
    const int own = mFCurve ? 1 : 0;
    int size = 0;
    const double* zeros = LayerZeros(size);
    const int written = Count(channels, end);
    double local[kLocalValues];
    double* layer = ScratchBuffer(size, local, kLocalValues);
    for (KFCurveNode* next = mNextLayer; next; next = next->mNextLayer) {
        // Laid out as this node's run: a layer holding some channels leaves the others neutral.
        std::copy(zeros, zeros + size, layer);
        FillLayerRun(next, layer, time, candidate);
        if (own) {
            if (mLayerType == KFCL_MULT)
                values[0] *= layer[0];
            else if (mLayerType == KFCL_NOLAYER || mLayerType == KFCL_ADD)
                values[0] += layer[0];
        }
        double* given = layer + own;
        const int held = size - own;
        switch (mLayerType) {
            case KFCL_NOLAYER:
            case KFCL_ADD:
                for (int i = 0; i < std::min(held, written); ++i) channels[i] += given[i];
                break;
            case KFCL_MULT:
                for (int i = 0; i < std::min(held, written); ++i) channels[i] *= given[i];
                break;
            case KFCL_EULER_XYZ:
                if (written >= 3 && held >= 3) {
                    KgeRMatrix baseMatrix, layerMatrix, result;
                    RotationOf(baseMatrix, mRotationOrder, channels);
                    RotationOf(layerMatrix, mRotationOrder, given);
                    KmRR(result, baseMatrix, layerMatrix);
                    AnglesOf(channels, mRotationOrder, result);
                }
                break;
            case KFCL_QUAT:
                if (held >= 4) {
                    if (quaternion)
                        KmQQ(quaternion, quaternion, given);
                    else if (written >= 4)
                        KmQQ(channels, channels, given);
                }
                break;
            default:
                break;
        }
    }
}

double* KFCurveNode::RotationNodeEvaluate(double* values, KTime time, int* last, bool candidate) {
    int localLast = 0;
    if (!last) last = &localLast;
    const int count = mChildren.GetCount();

    KFCurve* curves[3] = {nullptr, nullptr, nullptr};
    bool asRotation = mUseQuaternion && count == 3;
    for (int i = 0; asRotation && i < 3; ++i) {
        // Three plain channels; anything else is evaluated channel by channel.
        curves[i] = mChildren[i]->mFCurve;
        asRotation = curves[i] && mChildren[i]->mChildren.GetCount() == 0 && !mChildren[i]->mNextLayer &&
                     !mChildren[i]->mTimeWarp;
    }
    double position = -1.0;
    int before = -1;
    if (asRotation && curves[0]->KeyGetCount() >= 2) {
        position = curves[0]->KeyFindAll(time, last);
        before = static_cast<int>(std::floor(position));
        asRotation = position != std::floor(position) && before >= 0 && before + 1 < curves[0]->KeyGetCount();
    } else {
        asRotation = false;
    }
    if (!asRotation) return EvaluateChildren(values, time, last, candidate);

    // The rotation between the two keys as one rotation: the keys' rotations
    // (and their outer neighbours, or the keys themselves at the ends) relative
    // to the earlier key, as rotation vectors, blended, then composed back.
    KFCurve& x = *curves[0];
    const int keyCount = x.KeyGetCount();
    const int keys[4] = {std::max(before - 1, 0), before, before + 1, std::min(before + 2, keyCount - 1)};
    KTime times[4];
    KgeRMatrix matrices[4];
    for (int k = 0; k < 4; ++k) {
        times[k] = x.KeyGetPtr(keys[k])->GetTime();
        double angles[3];
        for (int c = 0; c < 3; ++c) angles[c] = curves[c]->Evaluate(times[k], last);
        RotationOf(matrices[k], mRotationOrder, angles);
    }
    double spheric[4][3];
    for (int k = 0; k < 4; ++k) {
        KgeRMatrix relative;
        KmRiR(relative, matrices[1], matrices[k]);
        AnglesOf(spheric[k], KVXRotationOrder::eSphericXYZ, relative);
    }
    const double u = position - before;
    double blended[3];
    if (x.KeyGetPtr(before)->GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC) {
        for (int c = 0; c < 3; ++c) blended[c] = (1.0 - u) * spheric[1][c] + u * spheric[2][c];
    } else {
        // A cubic Bezier whose end tangents follow the neighbouring keys
        // (Catmull-Rom, scaled by the key spacing).
        const double span = (times[2] - times[1]).GetSecondDouble();
        const double left = (times[2] - times[0]).GetSecondDouble();
        const double right = (times[3] - times[1]).GetSecondDouble();
        const double v = 1.0 - u;
        for (int c = 0; c < 3; ++c) {
            const double p0 = spheric[1][c];
            const double p3 = spheric[2][c];
            const double m0 = left > 0.0 ? (spheric[2][c] - spheric[0][c]) * span / left : p3 - p0;
            const double m1 = right > 0.0 ? (spheric[3][c] - spheric[1][c]) * span / right : p3 - p0;
            const double p1 = p0 + m0 / 3.0;
            const double p2 = p3 - m1 / 3.0;
            blended[c] = v * v * v * p0 + 3.0 * v * v * u * p1 + 3.0 * v * u * u * p2 + u * u * u * p3;
        }
    }
    KgeRMatrix step, result;
    RotationOf(step, KVXRotationOrder::eSphericXYZ, blended);
    KmRR(result, matrices[1], step);
    AnglesOf(values, mRotationOrder, result);
    if (candidate)
        for (KFCurve* curve : curves) curve->CandidateClear();
    return values + 3;
}

double* KFCurveNode::EvaluateSpecific(double* values, KTime time, int layerId, int* last, bool candidate) {
    EvaluationGuard guard(mEvaluating);
    if (!guard.Entered()) return values;
    const int id = GetCorrectLayerID(layerId);
    KFCurveNode* node = this;
    while (node && node->mLayerID != id) {
        if (node->mLayerID > id) return values;
        node = node->mNextLayer;
    }
    if (!node) return values;
    double* out = values;
    if (node->mFCurve)
        *out++ = candidate ? node->mFCurve->CandidateEvaluate(time, last) : node->mFCurve->Evaluate(time, last);
    if (node->mLayerType == KFCL_EULER_XYZ) return node->RotationNodeEvaluate(out, time, last, candidate);
    const int count = node->mChildren.GetCount();
    for (int i = 0; i < count; ++i) out = node->mChildren[i]->EvaluateSpecific(out, time, layerId, last, candidate);
    return out;
}

double* KFCurveNode::EvaluateSpecificLayer(double* values, KTime time, int layerId, int* last) {
    return EvaluateSpecific(values, time, layerId, last, false);
}

double* KFCurveNode::CandidateEvaluateSpecificLayer(double* values, KTime time, int layerId, int* last) {
    return EvaluateSpecific(values, time, layerId, last, true);
}

void KFCurveNode::EvaluateExceptLayer(double* values, int count, KTime time, int layerId, int* last, bool multiply) {
    for (KFCurveNode* node = this; node; node = node->mNextLayer) {
        if (node->mLayerID == layerId) continue;
        double local[kLocalValues];
        double* run = node->ScratchBuffer(node->GetChannelCount(), local, kLocalValues);
        const int written = Count(run, node->EvaluateSpecific(run, time, node->mLayerID, last, false));
        const int n = std::min({count, written, node->LayerValueCount()});
        for (int i = 0; i < n; ++i) {
            if (multiply)
                values[i] *= run[i];
            else
                values[i] += run[i];
        }
    }
}

void KFCurveNode::EvaluateCurvesExceptLayerRecursiveAdd(double* values, KTime time, int layerId, int* last) {
    EvaluateExceptLayer(values, LayerValueCount(), time, layerId, last, false);
}

void KFCurveNode::EvaluateCurvesExceptLayerRecursiveMult(double* values, KTime time, int layerId, int* last) {
    EvaluateExceptLayer(values, LayerValueCount(), time, layerId, last, true);
}

bool KFCurveNode::EvaluateLayerRotation(KgeRMatrix& rotation, KTime time, int* last) {
    double local[kLocalValues];
    double* run = ScratchBuffer(GetChannelCount(), local, kLocalValues);
    const int offset = mFCurve ? 1 : 0;
    const int written = Count(run, EvaluateSpecific(run, time, mLayerID, last, false));
    if (written < offset + 3) return false;
    RotationOf(rotation, mRotationOrder, run + offset);
    return true;
}

bool KFCurveNode::EvaluateLayerQuaternion(KgeQuaternion& quaternion, KTime time, int* last) {
    double local[kLocalValues];
    double* run = ScratchBuffer(GetChannelCount(), local, kLocalValues);
    const int offset = mFCurve ? 1 : 0;
    const int written = Count(run, EvaluateSpecific(run, time, mLayerID, last, false));
    if (written < offset + 4) return false;
    std::memcpy(quaternion.mData, run + offset, sizeof(quaternion.mData));
    return true;
}

void KFCurveNode::EvaluateCurvesBeforeLayerRecursiveEulerXYZ(KgeRMatrix& r, KTime time, int layerId, int* last) {
    for (KFCurveNode* node = this; node && node->mLayerID < layerId; node = node->mNextLayer) {
        KgeRMatrix layer;
        if (node->EvaluateLayerRotation(layer, time, last)) KmRR(r, r, layer);
    }
}

void KFCurveNode::EvaluateCurvesAfterLayerRecursiveEulerXYZ(KgeRMatrix& r, KTime time, int layerId, int* last) {
    for (KFCurveNode* node = this; node; node = node->mNextLayer) {
        KgeRMatrix layer;
        if (node->mLayerID > layerId && node->EvaluateLayerRotation(layer, time, last)) KmRR(r, r, layer);
    }
}

void KFCurveNode::EvaluateCurvesBeforeLayerRecursiveQuat(KgeQuaternion& q, KTime time, int layerId, int* last) {
    for (KFCurveNode* node = this; node && node->mLayerID < layerId; node = node->mNextLayer) {
        KgeQuaternion layer;
        if (node->EvaluateLayerQuaternion(layer, time, last)) KmQQ(q, q, layer);
    }
}

void KFCurveNode::EvaluateCurvesAfterLayerRecursiveQuat(KgeQuaternion& q, KTime time, int layerId, int* last) {
    // The layers compose as base x layer 1 x layer 2 ...: those above are
    // gathered in the same order, each on the right.
    for (KFCurveNode* node = this; node; node = node->mNextLayer) {
        KgeQuaternion layer;
        if (node->mLayerID > layerId && node->EvaluateLayerQuaternion(layer, time, last)) KmQQ(q, q, layer);
    }
}

int KFCurveNode::GetUpdateId() const {
    int id = mFCurve ? mFCurve->GetUpdateId() : 0;
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) id += mChildren[i]->GetUpdateId();
    return id;
}

int KFCurveNode::GetValuesUpdateId() const {
    int id = mFCurve ? mFCurve->GetValuesUpdateId() : 0;
    if (mNextLayer) id += mNextLayer->GetValuesUpdateId();
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) id += mChildren[i]->GetValuesUpdateId();
    return id;
}

}  // namespace zeqsdk_400
