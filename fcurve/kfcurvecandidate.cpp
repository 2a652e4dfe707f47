// The candidate of a curve: a proposed value at one time, and its conversion
// into a key that leaves the curve's shape around it as it was.
#include <algorithm>
#include <cmath>

#include "fcurve/kfcurve.h"

namespace zeqsdk_400 {

namespace {

double Lerp(double a, double b, double s) { return a + (b - a) * s; }

// A key made from the candidate as the keying arguments describe it.
KFCurveKey MakeCandidateKey(KTime time, float value, unsigned int interpolation, unsigned int tangentMode,
                            bool isBreak) {
    KFCurveKey key{};
    if (interpolation == KFCURVE_INTERPOLATION_CUBIC && tangentMode == KFCURVE_TANGEANT_TCB) {
        key.Set(time, value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_TCB, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
                KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
        key.SetTCB(time, value, 0.0f, isBreak ? -1.0f : 0.0f, 0.0f);
        return key;
    }
    unsigned int mode = tangentMode;
    float data0 = 0.0f;
    if (interpolation == KFCURVE_INTERPOLATION_CUBIC && tangentMode == KFCURVE_TANGEANT_AUTO && isBreak) {
        mode = KFCURVE_TANGEANT_AUTO_BREAK;
        data0 = 100.0f;
    }
    key.Set(time, value, interpolation, mode, data0, 0.0f, KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT,
            KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    return key;
}

// The tangents a new key at a time inside segment i needs so that the segment
// keeps its shape once split there, and the neighbours' new weights.
struct SegmentSplit {
    KFCurveTangeantInfo left;
    KFCurveTangeantInfo right;
    bool weighted = false;
    float previousRightWeight = KFCURVE_DEFAULT_WEIGHT;
    float nextLeftWeight = KFCURVE_DEFAULT_WEIGHT;
};

SegmentSplit SplitAt(KFCurve& curve, int i, KTime time) {
    SegmentSplit split;
    const int n = curve.KeyGetCount();
    if (i < 0 || i + 1 >= n) {
        // Outside the keys the curve is flat, or straight with keep slope.
        float slope = 0.0f;
        if (i < 0 && curve.GetPreExtrapolation() == KFCURVE_EXTRAPOLATION_KEEP_SLOPE &&
            curve.GetPreExtrapolationCount() != 0)
            slope = curve.KeyGetRightDerivative(0);
        if (i >= 0 && curve.GetPostExtrapolation() == KFCURVE_EXTRAPOLATION_KEEP_SLOPE &&
            curve.GetPostExtrapolationCount() != 0)
            slope = curve.KeyGetLeftDerivative(n - 1);
        split.left.mDerivative = split.right.mDerivative = slope;
        return split;
    }
    split.left.mDerivative = curve.EvaluateLeftDerivative(time);
    split.right.mDerivative = curve.EvaluateRightDerivative(time);
    const KFCurveKey* a = curve.KeyGetPtr(i);
    const KFCurveKey* b = curve.KeyGetPtr(i + 1);
    if (a->GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC || a->GetTangeantWeightMode() == KFCURVE_WEIGHTED_NONE)
        return split;
    // A weighted segment is a two-dimensional Bezier in (time, value); its
    // halves at the Bezier parameter of time are again such Beziers, whose
    // inner handles give the new weights and the derivative at the split.
    const double dt = (b->GetTime() - a->GetTime()).GetSecondDouble();
    if (!(dt > 0.0)) return split;
    const double u = (time - a->GetTime()).GetSecondDouble() / dt;
    const float w1 = curve.KeyGetRightTangeantWeight(i);
    const float w2 = curve.KeyGetLeftTangeantWeight(i + 1);
    double s = 1.0 - rtsec(&CubicWarp, 0.0f, 1.0f, static_cast<float>(u), w1, w2);
    s = std::isnan(s) ? u : std::min(std::max(s, 0.0), 1.0);
    const double v0 = a->GetValue();
    const double v3 = b->GetValue();
    const double t[4] = {0.0, w1, 1.0 - w2, 1.0};
    const double v[4] = {v0, v0 + curve.KeyGetRightDerivative(i) * dt * w1,
                         v3 - curve.KeyGetLeftDerivative(i + 1) * dt * w2, v3};
    const double t01 = Lerp(t[0], t[1], s), t12 = Lerp(t[1], t[2], s), t23 = Lerp(t[2], t[3], s);
    const double v01 = Lerp(v[0], v[1], s), v12 = Lerp(v[1], v[2], s), v23 = Lerp(v[2], v[3], s);
    const double t012 = Lerp(t01, t12, s), t123 = Lerp(t12, t23, s);
    const double v012 = Lerp(v01, v12, s), v123 = Lerp(v12, v23, s);
    const double tm = Lerp(t012, t123, s);
    if (!(tm > 0.0 && tm < 1.0) || !(t123 - t012 > 1e-9)) return split;
    const float derivative = static_cast<float>((v123 - v012) / ((t123 - t012) * dt));
    split.weighted = true;
    split.left.mDerivative = derivative;
    split.right.mDerivative = derivative;
    split.left.mWeighted = true;
    split.right.mWeighted = true;
    split.left.mWeight = static_cast<float>((tm - t012) / tm);
    split.right.mWeight = static_cast<float>((t123 - tm) / (1.0 - tm));
    split.previousRightWeight = static_cast<float>(t01 / tm);
    split.nextLeftWeight = static_cast<float>((1.0 - t23) / (1.0 - tm));
    return split;
}

}  // namespace

float KFCurve::CandidateEvaluate(KTime time, int* last) {
    if (IsCandidate() && time == mCandidateTime) return mCandidateValue;
    const float value = Evaluate(time, last);
    mCandidateTime = time;
    mCandidateValue = value;
    return value;
}

int KFCurve::CandidateClear() {
    mCandidateTime = KTime::Infinite();
    mCandidateValue = 0.0f;
    return 0;
}

int KFCurve::CandidateSet(KTime time, double value) {
    mCandidateTime = time;
    mCandidateValue = static_cast<float>(value);
    return 0;
}

void KFCurve::KeySetLeftSlope(int i, const KFCurveTangeantInfo& info) {
    if (i < 1 || i >= mKeyCount) return;
    KeySetLeftTangeantWeight(i, info.mWeight);
    KeySetLeftTangeantWeightedMode(i, info.mWeighted);
    KeySetLeftTangeantVelocity(i, info.mVelocity);
    KeySetLeftTangeantVelocityMode(i, info.mHasVelocity);
    KeySetLeftDerivative(i, info.mDerivative);
}

void KFCurve::KeySetRightSlope(int i, const KFCurveTangeantInfo& info) {
    if (i < 0 || i >= mKeyCount - 1) return;
    KeySetRightTangeantWeight(i, info.mWeight);
    KeySetRightTangeantWeightedMode(i, info.mWeighted);
    KeySetRightTangeantVelocity(i, info.mVelocity);
    KeySetRightTangeantVelocityMode(i, info.mHasVelocity);
    KeySetRightDerivative(i, info.mDerivative);
}

int KFCurve::CandidateKey(int* last, int interpolation, int tangentMode, bool isBreak, bool rebuild, KTime time,
                          double tolerance) {
    if (time != KTime::Infinite()) mCandidateTime = time;
    if (!IsCandidate()) return 1;
    const KTime at = mCandidateTime;
    const float value = mCandidateValue;
    const unsigned int interp = static_cast<unsigned int>(interpolation);
    const unsigned int mode = static_cast<unsigned int>(tangentMode);
    KFCurveKey key = MakeCandidateKey(at, value, interp, mode, isBreak);
    if (mKeyCount == 0) return KeyAdd(at, key, last) < 0 ? 1 : 0;

    const int n = mKeyCount;
    // The existing key within the tolerance (in key indices), if any.
    const double f = KeyFind(at);
    int k = KeyIndexAt(at);
    if (k < 0 && tolerance > 0.0) {
        const double below = std::floor(f + tolerance);
        const double above = std::ceil(f - tolerance);
        if (below == above && below >= 0.0 && below < n) k = static_cast<int>(below);
    }

    // A broken key gets flat user tangents, one-sided auto ones or a TCB
    // discontinuity.
    auto breakTangents = [&](int index, KFCurveTangeantInfo& left, KFCurveTangeantInfo& right) {
        left.mDerivative = right.mDerivative = 0.0f;
        left.mAuto = right.mAuto = 100.0f;
        KFCurveKey* p = KeyGetPtr(index);
        if (p->GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC) return;
        if (mode == KFCURVE_TANGEANT_AUTO)
            p->SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
        else if (mode == KFCURVE_TANGEANT_USER)
            p->SetTangeantMode(KFCURVE_TANGEANT_USER);
        else if (mode == KFCURVE_TANGEANT_TCB)
            p->SetTCB(p->GetTime(), p->GetValue(), 0.0f, -1.0f, 0.0f);
    };

    const bool opened = BeginInternalBatch();
    int result = 0;
    if (k < 0) {
        // A new key: it takes the curve's slopes at the time, and both of its
        // neighbours keep both of their tangents as slopes (auto tangents
        // follow their neighbours, so their parameters are recomputed).
        const int previous = KeyCountBefore(at) - 1;
        const int next = previous + 1;
        KFCurveTangeantInfo previousLeft, previousRight, nextLeft, nextRight;
        if (previous >= 0) {
            previousLeft = KeyGetLeftDerivativeInfo(previous);
            previousRight = KeyGetRightDerivativeInfo(previous);
        }
        if (next < n) {
            nextLeft = KeyGetLeftDerivativeInfo(next);
            nextRight = KeyGetRightDerivativeInfo(next);
        }
        SegmentSplit split = SplitAt(*this, previous, at);
        // A former end key meets the new one with the curve's slope out there.
        if (previous < 0) nextLeft.mDerivative = split.right.mDerivative;
        if (next >= n) previousRight.mDerivative = split.left.mDerivative;
        if (split.weighted) {
            previousRight.mWeighted = true;
            previousRight.mWeight = split.previousRightWeight;
            nextLeft.mWeighted = true;
            nextLeft.mWeight = split.nextLeftWeight;
        }
        const int added = KeyAdd(at, key, last);
        if (added < 0) {
            result = 1;
        } else {
            if (isBreak) {
                breakTangents(added, split.left, split.right);
                KeySetLeftDerivativeInfo(added, split.left);
                KeySetRightDerivativeInfo(added, split.right);
            } else {
                KeySetLeftSlope(added, split.left);
                KeySetRightSlope(added, split.right);
            }
            if (added > 0) {
                KeySetLeftSlope(added - 1, previousLeft);
                KeySetRightSlope(added - 1, previousRight);
            }
            if (added + 1 < mKeyCount) {
                KeySetLeftSlope(added + 1, nextLeft);
                KeySetRightSlope(added + 1, nextRight);
            }
        }
    } else {
        const int previous = k - 1;
        const int next = k + 1;
        KFCurveTangeantInfo previousRight, nextLeft;
        if (previous >= 0) previousRight = KeyGetRightDerivativeInfo(previous);
        if (next < n) nextLeft = KeyGetLeftDerivativeInfo(next);
        KFCurveTangeantInfo left = KeyGetLeftDerivativeInfo(k);
        KFCurveTangeantInfo right = KeyGetRightDerivativeInfo(k);
        KFCurveKey* p = KeyGetPtr(k);
        // The key takes the candidate's time only where that keeps the order.
        const bool fits = (previous < 0 || KeyTime(previous) < at) && (next >= n || at < KeyTime(next));
        const KTime keyTime = fits ? at : p->GetTime();
        if (rebuild) {
            *p = MakeCandidateKey(keyTime, value, interp, mode, isBreak);
        } else {
            p->SetValue(value);
            p->SetTime(keyTime);
        }
        ResetCandidate();
        CallbackAddEvent(KFCURVEEVENT_KEY, k);
        if (isBreak) breakTangents(k, left, right);
        KeySetLeftDerivativeInfo(k, left);
        KeySetRightDerivativeInfo(k, right);
        if (previous >= 0) KeySetRightDerivativeInfo(previous, previousRight);
        if (next < n) KeySetLeftDerivativeInfo(next, nextLeft);
        if (last) *last = k;
    }
    EndInternalBatch(opened);
    return result;
}

}  // namespace zeqsdk_400
