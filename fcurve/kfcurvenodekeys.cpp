// Operations on all the curves of a curve-node tree at once: key counts and
// searches across channels, keying a run of values, the animation interval,
// default values, copies and deletion of a span, replacement of a span with
// rotation continuity, creation from a data type, selection and visibility.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvekeyindex.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"

namespace zeqsdk_400 {

namespace {

struct CurveDestroyer {
    void operator()(KFCurve* curve) const { curve->Destroy(); }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDestroyer>;

// The weight nearest one third that a float holds.
constexpr float kThird = 0.33333334f;

KTime FirstKeyTime(const KFCurve& curve) { return curve.KeyGetPtr(0)->GetTime(); }
KTime LastKeyTime(const KFCurve& curve) { return curve.KeyGetPtr(curve.KeyGetCount() - 1)->GetTime(); }
using keyindex::CountAtOrBefore;
using keyindex::CountBefore;

float LastKeyValue(const KFCurve& curve) { return curve.KeyGetPtr(curve.KeyGetCount() - 1)->GetValue(); }

// Whether the curves' last keys share one time, before t: the key before t of them all.
bool AppendsAfterOneKey(KFCurve* const* curves, KTime t) {
    if (curves[0]->KeyGetCount() == 0) return false;
    const KTime last = LastKeyTime(*curves[0]);
    for (int i = 1; i < 3; ++i)
        if (curves[i]->KeyGetCount() == 0 || LastKeyTime(*curves[i]) != last) return false;
    return last < t;
}

// A key at time at the end of the curve, or put in its place (replacing one at that time) when
// keys lie at or after it: an append would break the key order.
void AppendKey(KFCurve& curve, KTime time, float value) {
    if (curve.KeyGetCount() == 0 || LastKeyTime(curve) < time) {
        curve.KeyAppendFast(time, value);
        return;
    }
    KFCurveKey key{};
    key.Set(time, value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    curve.KeyAdd(time, key);
}

// Time of the last key strictly before t; the curve has one.
KTime LastKeyTimeBefore(const KFCurve& curve, KTime t) { return curve.KeyGetPtr(CountBefore(curve, t) - 1)->GetTime(); }

// The nearest whole number, halves away from zero.
double RoundHalfAway(double f) { return f > 0.0 ? std::floor(f + 0.5) : std::ceil(f - 0.5); }

// Whether the fractional key position f stands on a key of a curve of count
// keys, within tolerance (in key positions; 0 for exactly).
bool OnKey(double f, int count, double tolerance, int& index) {
    if (!(f >= 0.0 && f < count)) return false;
    const double r = tolerance == 0.0 ? f : RoundHalfAway(f);
    if (tolerance == 0.0) {
        if (f != std::floor(f)) return false;
    } else if (!(std::fabs(r - f) < tolerance) || r >= count) {
        return false;
    }
    index = static_cast<int>(r);
    return true;
}

// The axes of a rotation order; null for spheric XYZ. An order outside the
// table works as Euler XYZ, as in KVXRotationOrder.
const int* EulerAxisOf(int order) {
    if (order == KVXRotationOrder::eSphericXYZ) return nullptr;
    if (order < 0 || order >= KM_EULER_ORDER_COUNT) order = 0;
    return &KmEulerAxis[order * 3];
}

// The channel whose angle the other solution of a rotation mirrors (the middle
// axis), and the value it is mirrored about: angle' = base - angle.
int MirroredChannel(const int* axis, double& base) {
    if (axis[0] != axis[2]) {
        base = 180.0;
        return axis[1];
    }
    base = 0.0;
    return 1;
}

// value -> value * scale + offset for the keys from index on (tangents scaled
// with the values), reported as one change.
void TransformKeys(KFCurve& curve, int from, float scale, float offset) {
    const int count = curve.KeyGetCount();
    if (from >= count || (scale == 1.0f && offset == 0.0f)) return;
    curve.KeyModifyBegin();
    for (int k = std::max(from, 0); k < count; ++k) {
        KFCurveKey* key = curve.KeyGetPtr(k);
        if (scale != 1.0f) {
            key->MultValue(scale);
            key->MultTangeant(scale);
        }
        key->IncValue(offset);
    }
    curve.CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    curve.KeyModifyEnd();
}

// The span KFCurve::Replace works on when it copies source over [start, stop]:
// open ends stand for the source's end keys and, without exactSpan, the span
// shrinks to the source keys inside it. False when the source has no keys.
bool EffectiveSpan(const KFCurve& source, KTime& start, KTime& stop, bool exactSpan) {
    const int count = source.KeyGetCount();
    if (count == 0) return false;
    if (start <= KTime::MinusInfinite()) start = FirstKeyTime(source);
    if (stop == KTime::Infinite()) stop = LastKeyTime(source);
    if (!exactSpan) {
        const int i0 = CountBefore(source, start);
        const int i1 = CountAtOrBefore(source, stop) - 1;
        if (i0 <= i1) {
            start = source.KeyGetPtr(i0)->GetTime();
            stop = source.KeyGetPtr(i1)->GetTime();
        }
    }
    return true;
}

// The curves of a node's first count children, each a leaf with a curve.
bool ChildCurves(const KFCurveNode& node, int count, KFCurve** curves) {
    if (node.GetCount() != count || node.FCurveGet()) return false;
    for (int i = 0; i < count; ++i) {
        const KFCurveNode* child = node.Get(i);
        if (!child || child->GetCount() != 0 || !child->FCurveGet()) return false;
        curves[i] = child->FCurveGet();
    }
    return true;
}

// Whole turns (of 360) nearest to d, the integral part corrected beyond a half.
double WholeTurns(double d) {
    const double q = d / 360.0;
    double k = std::trunc(q);
    const double fraction = q - k;
    if (fraction > 0.5000000000000002) k += 1.0;
    if (fraction < -0.5000000000000002) k -= 1.0;
    return k * 360.0;
}

template <class Op>
void VisitKeyedCurves(KFCurveNode* node, bool layers, Op& op) {
    for (; node; node = layers ? node->LayerGet() : nullptr) {
        if (KFCurve* curve = node->FCurveGet())
            if (curve->KeyGetCount() > 0) op(*curve);
        const int count = node->GetCount();
        for (int i = 0; i < count; ++i) VisitKeyedCurves(node->Get(i), layers, op);
    }
}

}  // namespace

// ---- Keys ----------------------------------------------------------------------------

bool KFCurveNode::HasChannelCurves(int count) const {
    KFCurve* curves[4];
    return count <= 4 && ChildCurves(*this, count, curves);
}

int KFCurveNode::CurveKeyCount() const { return mFCurve ? mFCurve->KeyGetCount() : 0; }

int KFCurveNode::KeyGetCount(bool layers) const {
    int count = CurveKeyCount();
    const int children = mChildren.GetCount();
    for (int i = 0; i < children; ++i) count += mChildren[i]->KeyGetCount(false);
    if (layers && mNextLayer) count += mNextLayer->KeyGetCount(true);
    return count;
}

int KFCurveNode::KeyGetCountOnChild(int childIndex) const {
    int count = 0;
    for (const KFCurveNode* n = this; n; n = n->mNextLayer)
        if (const KFCurveNode* child = n->Get(childIndex)) count += child->KeyGetCount(false);
    return count;
}

void KFCurveNode::KeyGetFirst(KFCurveKey*& key, bool layers) {
    auto op = [&key](KFCurve& curve) {
        KFCurveKey* first = curve.KeyGetPtr(0);
        if (!key || first->GetTime() < key->GetTime()) key = first;
    };
    VisitKeyedCurves(this, layers, op);
}

void KFCurveNode::KeyGetLast(KFCurveKey*& key, bool layers) {
    auto op = [&key](KFCurve& curve) {
        KFCurveKey* last = curve.KeyGetPtr(curve.KeyGetCount() - 1);
        if (!key || last->GetTime() > key->GetTime()) key = last;
    };
    VisitKeyedCurves(this, layers, op);
}

double* KFCurveNode::KeyAdd(KTime time, double* values) {
    if (!values) return values;
    if (mFCurve) {
        KFCurveKey key{};
        key.Set(time, static_cast<float>(*values++), KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f,
                KFCURVE_WEIGHTED_NONE, kThird, kThird, 0.0f, 0.0f);
        mFCurve->KeyAdd(time, key);
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) values = mChildren[i]->KeyAdd(time, values);
    return values;
}

double* KFCurveNode::KeyAppend(KTime time, double* values, bool continuousRotation) {
    if (!values) return values;
    if (mFCurve) AppendKey(*mFCurve, time, static_cast<float>(*values++));
    KFCurve* curves[3];
    if (continuousRotation && ChildCurves(*this, 3, curves)) {
        double angles[3] = {values[0], values[1], values[2]};
        ContinueRotation(angles, curves, time);
        for (int i = 0; i < 3; ++i) AppendKey(*curves[i], time, static_cast<float>(angles[i]));
        return values + 3;
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) values = mChildren[i]->KeyAppend(time, values, false);
    return values;
}

void KFCurveNode::GetContinuousRotation(double* out, double* values, KTime time) {
    if (!out || !values) return;
    const double in[3] = {values[0], values[1], values[2]};
    std::memcpy(out, in, sizeof(in));
    KFCurve* curves[3];
    if (ChildCurves(*this, 3, curves)) ContinueRotation(out, curves, time);
}

void KFCurveNode::ContinueRotation(double* angles, KFCurve* const* curves, KTime time) {
    const int* axis = EulerAxisOf(mRotationOrder);
    if (!axis) return;
    const double in[3] = {angles[0], angles[1], angles[2]};
    double reference[3] = {in[0], in[1], in[2]};
    if (AppendsAfterOneKey(curves, time)) {
        // Keys appended in order, all three at each time: the previous key holds the reference.
        for (int i = 0; i < 3; ++i) reference[i] = LastKeyValue(*curves[i]);
    } else {
        const KTime previous = GetPrevKeyTime(time);
        // Without an earlier key the values are their own reference.
        if (previous != time) Evaluate(reference, previous);
    }
    KVNGetContinuousRotation(angles, in, reference, axis);
}

void KFCurveNode::ContinueRotationFrom(double* angles, const double* reference) const {
    const int* axis = EulerAxisOf(mRotationOrder);
    if (!axis) return;
    const double in[3] = {angles[0], angles[1], angles[2]};
    KVNGetContinuousRotation(angles, in, reference, axis);
}

void KFCurveNode::IsKeyRecursive(KTime& time, int& counted, int& keyed, int* last, bool* mask, double tolerance) {
    if (mFCurve && (!mask || *mask)) {
        ++counted;
        int index;
        if (OnKey(mFCurve->KeyFind(time, last), mFCurve->KeyGetCount(), tolerance, index)) ++keyed;
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i)
        mChildren[i]->IsKeyRecursive(time, counted, keyed, last, mask ? mask + i : nullptr, tolerance);
}

int KFCurveNode::IsKey(KTime& time, int* last, bool* mask, double tolerance) {
    int counted = 0;
    int keyed = 0;
    IsKeyRecursive(time, counted, keyed, last, mask, tolerance);
    if (keyed == 0) return 0;
    return keyed == counted ? 2 : 1;
}

void KFCurveNode::DeleteKey(KTime& time, bool* mask, double tolerance) {
    if (mFCurve && (!mask || *mask)) {
        int index;
        if (OnKey(mFCurve->KeyFind(time), mFCurve->KeyGetCount(), tolerance, index)) mFCurve->KeyRemove(index);
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) mChildren[i]->DeleteKey(time, mask ? mask + i : nullptr, tolerance);
}

bool KFCurveNode::FindPrevKeyTime(KTime time, const bool* mask, KTime& found) {
    bool any = false;
    if (mFCurve && (!mask || *mask)) {
        const int before = CountBefore(*mFCurve, time);
        if (before > 0) {
            found = mFCurve->KeyGetPtr(before - 1)->GetTime();
            any = true;
        }
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        KTime t;
        if (mChildren[i]->FindPrevKeyTime(time, mask ? mask + i : nullptr, t) && (!any || t > found)) {
            found = t;
            any = true;
        }
    }
    return any;
}

bool KFCurveNode::FindNextKeyTime(KTime time, const bool* mask, KTime& found) {
    bool any = false;
    if (mFCurve && (!mask || *mask)) {
        const int atOrBefore = CountAtOrBefore(*mFCurve, time);
        if (atOrBefore < mFCurve->KeyGetCount()) {
            found = mFCurve->KeyGetPtr(atOrBefore)->GetTime();
            any = true;
        }
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        KTime t;
        if (mChildren[i]->FindNextKeyTime(time, mask ? mask + i : nullptr, t) && (!any || t < found)) {
            found = t;
            any = true;
        }
    }
    return any;
}

KTime KFCurveNode::GetPrevKeyTime(KTime time, bool* mask) {
    KTime found;
    return FindPrevKeyTime(time, mask, found) ? found : time;
}

KTime KFCurveNode::GetNextKeyTime(KTime time, bool* mask) {
    KTime found;
    return FindNextKeyTime(time, mask, found) ? found : time;
}

bool KFCurveNode::GetAnimationIntervalRecursive(KTime& start, KTime& stop) {
    bool any = false;
    if (mFCurve && mFCurve->KeyGetCount() > 0) {
        start = std::min(start, FirstKeyTime(*mFCurve));
        stop = std::max(stop, LastKeyTime(*mFCurve));
        any = true;
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) any = mChildren[i]->GetAnimationIntervalRecursive(start, stop) || any;
    if (mNextLayer) any = mNextLayer->GetAnimationIntervalRecursive(start, stop) || any;
    return any;
}

bool KFCurveNode::GetAnimationInterval(KTime& start, KTime& stop) {
    KTime first = start;
    KTime last = stop;
    if (!GetAnimationIntervalRecursive(first, last)) return false;
    start = first;
    stop = last;
    return true;
}

void KFCurveNode::GetTimeSpan(KTime& start, KTime& stop) {
    start = KTime::Infinite();
    stop = KTime::MinusInfinite();
    GetAnimationIntervalRecursive(start, stop);
}

// ---- Rotation continuity ------------------------------------------------------------

bool KFCurveNode::GetContinuousOffset(double* out, double* source, double* target) const {
    if (!out || !source || !target) return false;
    const int* axis = EulerAxisOf(mRotationOrder);
    bool flipped = false;
    int mirrored = -1;
    double base = 0.0;
    if (axis) {
        double unused[3];
        flipped = KVNGetContinuousRotation(unused, source, target, axis);
        if (flipped) {
            mirrored = MirroredChannel(axis, base);
            for (int c = 0; c < 3; ++c) source[c] = c == mirrored ? base - source[c] : source[c] + 180.0;
        }
    }
    for (int c = 0; c < 3; ++c) {
        const double turns = WholeTurns(target[c] - source[c]);
        out[c] = !flipped ? turns : turns + (c == mirrored ? base : 180.0);
    }
    return flipped;
}

bool KFCurveNode::ReplaceForQuaternion(KFCurveNode* source, KTime start, KTime stop, double scale, double offset,
                                       bool exactSpan, bool keyStartEnd) {
    KFCurve* dst[4];
    KFCurve* src[4];
    if (!source || source == this || mChildren.GetCount() != 4 || source->mChildren.GetCount() != 4) return false;
    for (int i = 0; i < 4; ++i) {
        dst[i] = mChildren[i]->mFCurve;
        src[i] = source->mChildren[i]->mFCurve;
        if (!dst[i] || !src[i]) return false;
    }
    for (int i = 0; i < 4; ++i)
        dst[i]->ReplaceForQuaternion(src[i], start, stop, static_cast<float>(scale), static_cast<float>(offset),
                                     exactSpan, keyStartEnd);
    return true;
}

void KFCurveNode::ReplaceRotation(KFCurveNode* source, KTime start, KTime stop, bool exactSpan, bool keyStartEnd) {
    const bool quaternion = mLayerType == KFCL_QUAT;
    const int n = quaternion ? 4 : 3;
    KFCurve* dst[4];
    KFCurve* src[4];
    ChildCurves(*this, n, dst);
    ChildCurves(*source, n, src);

    // The span each curve's replacement covers, and the node's.
    KTime s[4], e[4];
    KTime nodeStart = KTime::Infinite();
    KTime nodeStop = KTime::MinusInfinite();
    bool sourceKeys = false;
    for (int c = 0; c < n; ++c) {
        s[c] = start;
        e[c] = stop;
        if (EffectiveSpan(*src[c], s[c], e[c], exactSpan)) {
            nodeStart = std::min(nodeStart, s[c]);
            nodeStop = std::max(nodeStop, e[c]);
            sourceKeys = true;
        }
    }
    if (!sourceKeys || nodeStart > nodeStop) {
        // Nothing to join: the source's default values take the span.
        for (int c = 0; c < n; ++c) dst[c]->Replace(src[c], start, stop, exactSpan, keyStartEnd);
        return;
    }

    bool keysBefore = false;
    bool keysAfter = false;
    // The copied keys join the last key kept before the span, not the old value
    // at the span's start: that value is being replaced.
    KTime before = KTime::MinusInfinite();
    double sourceAtStart[4], oldAtStart[4], sourceAtStop[4], oldAtStop[4];
    for (int c = 0; c < n; ++c) {
        const int count = dst[c]->KeyGetCount();
        if (count > 0 && FirstKeyTime(*dst[c]) < s[c]) {
            keysBefore = true;
            before = std::max(before, LastKeyTimeBefore(*dst[c], s[c]));
        }
        keysAfter = keysAfter || (count > 0 && LastKeyTime(*dst[c]) > e[c]);
        sourceAtStart[c] = src[c]->Evaluate(nodeStart);
        sourceAtStop[c] = src[c]->Evaluate(nodeStop);
        oldAtStop[c] = dst[c]->Evaluate(nodeStop);
    }
    for (int c = 0; c < n; ++c) oldAtStart[c] = dst[c]->Evaluate(keysBefore ? before : nodeStart);

    // How the copied keys join the keys before the span, and how the keys after
    // it join the copied ones: value -> value * scale + offset per channel.
    float inScale[4] = {1.0f, 1.0f, 1.0f, 1.0f}, inOffset[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float outScale[4] = {1.0f, 1.0f, 1.0f, 1.0f}, outOffset[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (quaternion) {
        // q and -q are one rotation: keep the sign that stays nearest.
        auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; };
        if (keysBefore && dot(sourceAtStart, oldAtStart) < 0.0) std::fill(inScale, inScale + 4, -1.0f);
        double newAtStop[4];
        for (int c = 0; c < 4; ++c) newAtStop[c] = sourceAtStop[c] * inScale[c];
        if (keysAfter && dot(oldAtStop, newAtStop) < 0.0) std::fill(outScale, outScale + 4, -1.0f);
    } else {
        double base = 0.0;
        const int mirrored = MirroredChannel(EulerAxisOf(mRotationOrder), base);
        auto join = [&](double* from, double* to, float* scale, float* offset) {
            double out[3];
            const bool flipped = GetContinuousOffset(out, from, to);
            for (int c = 0; c < 3; ++c) {
                const bool mirror = flipped && c == mirrored;
                scale[c] = mirror ? -1.0f : 1.0f;
                offset[c] = static_cast<float>(out[c]);
            }
        };
        if (keysBefore) join(sourceAtStart, oldAtStart, inScale, inOffset);
        // sourceAtStart may have been rewritten above; the stop values are separate.
        double newAtStop[3];
        for (int c = 0; c < 3; ++c) newAtStop[c] = sourceAtStop[c] * inScale[c] + inOffset[c];
        if (keysAfter) join(oldAtStop, newAtStop, outScale, outOffset);
    }

    for (int c = 0; c < n; ++c) {
        if (quaternion) {
            dst[c]->ReplaceForQuaternion(src[c], start, stop, inScale[c], 0.0f, exactSpan, keyStartEnd);
        } else if (inScale[c] == 1.0f) {
            dst[c]->ReplaceForEulerXYZ(src[c], start, stop, inOffset[c], 0.0f, exactSpan, keyStartEnd, false, false);
        } else {
            // A mirrored channel: the copied keys are mirrored on a copy first.
            CurvePtr mirroredSource(src[c]->Copy());
            TransformKeys(*mirroredSource, 0, inScale[c], inOffset[c]);
            dst[c]->Replace(mirroredSource.get(), start, stop, exactSpan, keyStartEnd);
        }
        if (keysAfter) TransformKeys(*dst[c], CountAtOrBefore(*dst[c], e[c]), outScale[c], outOffset[c]);
    }
}

void KFCurveNode::Replace(KFCurveNode* source, KTime start, KTime stop, bool exactSpan, bool keyStartEnd) {
    if (!source || source == this) return;
    const bool rotation =
        (mLayerType == KFCL_EULER_XYZ && EulerAxisOf(mRotationOrder) && HasChannelCurves(3) &&
         source->HasChannelCurves(3)) ||
        (mLayerType == KFCL_QUAT && HasChannelCurves(4) && source->HasChannelCurves(4));
    if (rotation) {
        ReplaceRotation(source, start, stop, exactSpan, keyStartEnd);
        return;
    }
    if (mFCurve && source->mFCurve) mFCurve->Replace(source->mFCurve, start, stop, exactSpan, keyStartEnd);
    const int count = std::min(mChildren.GetCount(), source->mChildren.GetCount());
    for (int i = 0; i < count; ++i) mChildren[i]->Replace(source->mChildren[i], start, stop, exactSpan, keyStartEnd);
}

// ---- Values --------------------------------------------------------------------------

double* KFCurveNode::GetValue(double* values) const {
    if (!values) return values;
    if (mFCurve) *values++ = mFCurve->GetValue();
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) values = mChildren[i]->GetValue(values);
    return values;
}

double* KFCurveNode::SetValue(double* values) {
    if (!values) return values;
    if (mFCurve) mFCurve->SetValue(static_cast<float>(*values++));
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) values = mChildren[i]->SetValue(values);
    return values;
}

// ---- Copies of a span ------------------------------------------------------------------

KFCurveNode* KFCurveNode::SingleLayerCopy(KTime start, KTime stop) {
    KFCurveNode* copy = new KFCurveNode(mNameInfo ? mNameInfo->mName.Buffer() : "", GetTimeWarpName(), GetDataType(),
                                        mLayerType, mLayerID);
    // The rotation settings decide how the copy evaluates.
    copy->mRotationOrder = mRotationOrder;
    copy->mUseQuaternion = mUseQuaternion;
    copy->mSpecificCandidateMethod = mSpecificCandidateMethod;
    copy->mTotalCandidateMethod = mTotalCandidateMethod;
    std::memcpy(copy->mCandidateTotalValue, mCandidateTotalValue, sizeof(mCandidateTotalValue));
    copy->mCandidateTotalTime = mCandidateTotalTime;
    if (mFCurve) copy->FCurveSet(mFCurve->Copy(start, stop), true);
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) copy->Add(mChildren[i]->Copy(start, stop));
    return copy;
}

KFCurveNode* KFCurveNode::Copy(KTime start, KTime stop) {
    KFCurveNode* copy = SingleLayerCopy(start, stop);
    if (mNextLayer) {
        if (KFCurveNode* layer = copy->LayerCreate(mNextLayer->mLayerID)) layer->mFlags = mNextLayer->mFlags;
        copy->LayerCopyFromRecursive(this);
    }
    return copy;
}

void KFCurveNode::Delete(KTime start, KTime stop) {
    if (mFCurve) mFCurve->Delete(start, stop);
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) mChildren[i]->Delete(start, stop);
}

// ---- Selection and visibility -------------------------------------------------------

void KFCurveNode::SetVisibility(bool visible, bool recursive, bool layers) {
    SetFlagBits(KFCURVENODE_VISIBILITY, visible ? ~0u : 0u);
    if (layers && mNextLayer) mNextLayer->SetVisibility(visible, recursive, true);
    if (recursive) {
        const int count = mChildren.GetCount();
        for (int i = 0; i < count; ++i) mChildren[i]->SetVisibility(visible, true, false);
    }
    CallbackAddEvent(KFCURVENODEEVENT_VISIBILITY);
}

bool KFCurveNode::IsEditable() const { return GetVisibility() != 0 && mFCurve && mFCurve->GetSelected(); }

void KFCurveNode::SetSelected(bool selected, int channel, bool layers) {
    if (layers && mNextLayer) mNextLayer->SetSelected(selected, channel, true);
    if (channel != -1) {
        if (KFCurveNode* child = Get(channel)) child->SetSelected(selected, -1, false);
        return;
    }
    if (mFCurve) mFCurve->SetSelected(selected);
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) mChildren[i]->SetSelected(selected, -1, false);
}

// ---- Creation from a data type --------------------------------------------------------

KFCurveNode* FCurveNodeCreateFromDataType(KDataType* dataType, const char* name) {
    int layerType = KFCL_ADD;
    if (dataType == &KDataTypeLclRotation || dataType == &KDataTypeRotation)
        layerType = KFCL_EULER_XYZ;
    else if (dataType == &KDataTypeLclScaling || dataType == &KDataTypeScaling)
        layerType = KFCL_MULT;
    KFCurveNode* node = KFCurveNodeCreate(name, dataType, layerType, 0);
    const int members = dataType ? dataType->GetMemberCount() : 0;
    if (members > 1) {
        static const char* const kMemberNames[] = {"X", "Y", "Z"};
        for (int i = 0; i < members; ++i)
            node->Add(KFCurveNodeCreate(i < 3 ? kMemberNames[i] : " ", nullptr, KFCL_NOLAYER, 0));
    }
    return node;
}

// ---- Vector operations -------------------------------------------------------------------

void KVNAdd(double* out, const double* a, const double* b, int count) {
    for (int i = 0; i < count; ++i) out[i] = a[i] + b[i];
}

void KVNScale(double* out, const double* a, double factor, int count) {
    for (int i = 0; i < count; ++i) out[i] = a[i] * factor;
}

}  // namespace zeqsdk_400
