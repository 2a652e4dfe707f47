// Curve evaluation: extrapolation, segment interpolation (constant, linear,
// cubic and weighted cubic Bezier), derivatives and the extrema of a segment.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurveautotangent.h"
#include "fcurve/kfcurvesettings.h"

namespace zeqsdk_400 {

namespace {

using U64 = unsigned long long;
using U128 = unsigned __int128;

U64 Bits(KTime t) { return static_cast<U64>(t.Get()); }
KTime FromBits(U64 bits) { return KTime(static_cast<kLongLong>(bits)); }

// to - from in seconds; exact whenever the difference fits 64 bits.
double SecondsBetween(KTime from, KTime to) {
    kLongLong d;
    if (!__builtin_sub_overflow(to.Get(), from.Get(), &d)) return KTime(d).GetSecondDouble();
    return to.GetSecondDouble() - from.GetSecondDouble();
}

// A non-negative tick count in seconds.
double TicksToSeconds(long double ticks) {
    return static_cast<double>(ticks / static_cast<long double>(KTime::kTicksPerSecond));
}

// A third of the time from a to b in seconds (a <= b), by one multiplication.
double ThirdOfSeconds(KTime a, KTime b) {
    static constexpr double kFactor = 1.0 / (3.0 * static_cast<double>(KTime::kTicksPerSecond));
    return static_cast<double>(Bits(b) - Bits(a)) * kFactor;
}

float Lerp(float a, float b, float u) { return a + (b - a) * u; }

// De Casteljau's construction on four control values, in single precision
// like the values themselves.
float Bezier(float p0, float p1, float p2, float p3, float u) {
    const float a = Lerp(p0, p1, u);
    const float b = Lerp(p1, p2, u);
    const float c = Lerp(p2, p3, u);
    return Lerp(Lerp(a, b, u), Lerp(b, c, u), u);
}

bool IsUserMode(unsigned int mode) { return mode == KFCURVE_TANGEANT_USER || mode == KFCURVE_TANGEANT_USER_BREAK; }
bool IsAutoMode(unsigned int mode) { return mode == KFCURVE_TANGEANT_AUTO || mode == KFCURVE_TANGEANT_AUTO_BREAK; }

// The slope of a segment in single precision, exactly as auto tangents take it.
double AutoSlope(const KFCurveKey* a, const KFCurveKey* b) {
    const float dv = b->GetValue() - a->GetValue();
    const float dt = KFCURVE_SegmentSeconds(a->GetTime(), b->GetTime());
    if (dt == 0.0f) return 0.0;
    return dv / dt;
}

// Auto parameter to derivative; 0, the usual parameter, is the mean slope.
float LeftFromAuto(double autoValue, double toLeft, double toRight) {
    if (autoValue == 0.0) return static_cast<float>((toLeft + toRight) * 0.5);
    double derivative;
    KFCURVE_ComputeLeftBezierFromAuto(derivative, autoValue, toLeft, toRight);
    return static_cast<float>(derivative);
}

float RightFromAuto(double autoValue, double toLeft, double toRight) {
    if (autoValue == 0.0) return static_cast<float>((toRight + toLeft) * 0.5);
    double derivative;
    KFCURVE_ComputeRightBezierFromAuto(derivative, autoValue, toLeft, toRight);
    return static_cast<float>(derivative);
}

// The right derivative of key i and the left one of key i + 1 of a cubic
// segment, for user and auto tangents: the same values as the key getters,
// with the shared slope taken once. Other tangent kinds go to the getters.
void SegmentTangents(KFCurve& curve, int i, float& right, float& left) {
    const KFCurveKey* a = curve.KeyGetPtr(i);
    const KFCurveKey* b = curve.KeyGetPtr(i + 1);
    const unsigned int modeA = a->GetTangeantMode();
    const unsigned int modeB = b->GetTangeantMode();
    const bool cubicB = b->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC;
    const bool fast = (IsUserMode(modeA) || IsAutoMode(modeA)) && (!cubicB || IsUserMode(modeB) || IsAutoMode(modeB));
    if (!fast) {
        right = curve.KeyGetRightDerivative(i);
        left = curve.KeyGetLeftDerivative(i + 1);
        return;
    }
    const bool autoA = IsAutoMode(modeA);
    const bool autoLeft = cubicB ? IsAutoMode(modeB) : autoA;
    const double slope = autoA || autoLeft ? AutoSlope(a, b) : 0.0;
    if (autoA)
        right = RightFromAuto(a->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE),
                              i > 0 ? AutoSlope(curve.KeyGetPtr(i - 1), a) : slope, slope);
    else
        right = a->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE);
    if (autoLeft)
        left = LeftFromAuto(a->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), slope,
                            i + 2 < curve.KeyGetCount() ? AutoSlope(b, curve.KeyGetPtr(i + 2)) : slope);
    else
        left = a->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE);
}

// What a cubic segment's value depends on besides the time: its inner
// Bezier control values and, when weighted, its weights.
struct CubicShape {
    float p1;
    float p2;
    float w1;
    float w2;
    bool weighted;
};

CubicShape ComputeCubicShape(KFCurve& curve, int i) {
    const KFCurveKey* a = curve.KeyGetPtr(i);
    const KFCurveKey* b = curve.KeyGetPtr(i + 1);
    float right;
    float left;
    SegmentTangents(curve, i, right, left);
    const float v0 = a->GetValue();
    const float v3 = b->GetValue();
    CubicShape shape;
    shape.weighted = a->GetTangeantWeightMode() != KFCURVE_WEIGHTED_NONE;
    if (!shape.weighted) {
        // Handles at one third: the time is linear in the Bezier parameter.
        const double third = ThirdOfSeconds(a->GetTime(), b->GetTime());
        shape.p1 = static_cast<float>(v0 + right * third);
        shape.p2 = static_cast<float>(v3 - left * third);
        shape.w1 = shape.w2 = KFCURVE_DEFAULT_WEIGHT;
    } else {
        const double dt = SecondsBetween(a->GetTime(), b->GetTime());
        shape.w1 = curve.KeyGetRightTangeantWeight(i);
        shape.w2 = curve.KeyGetLeftTangeantWeight(i + 1);
        shape.p1 = static_cast<float>(v0 + right * dt * shape.w1);
        shape.p2 = static_cast<float>(v3 - left * dt * shape.w2);
    }
    return shape;
}

// The last cubic segment evaluated per curve on this thread, in a small table
// indexed by the curve's address, so that evaluating a whole channel tree per
// sample does not evict one curve's segment with the next. Samplers evaluate a
// segment many times in a row; its shape is reused while the keys it was
// computed from (the segment's two keys and their outer neighbours, compared
// byte for byte), the key count and the TCB mode are unchanged, so edits
// through key pointers are always seen. Plain data: no per-thread set-up.
struct SegmentMemo {
    const KFCurve* curve;
    int index;
    int count;
    bool tcbShared;
    KFCurveKey keys[4];
    CubicShape shape;
};
constexpr int kSegmentMemoBits = 6;
thread_local SegmentMemo tSegmentMemos[1 << kSegmentMemoBits];

SegmentMemo& MemoOf(const KFCurve& curve) {
    const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&curve));
    return tSegmentMemos[(address * 0x9E3779B97F4A7C15ULL) >> (64 - kSegmentMemoBits)];
}

const CubicShape& CubicShapeOf(KFCurve& curve, int i) {
    SegmentMemo& memo = MemoOf(curve);
    const int n = curve.KeyGetCount();
    const int first = i > 0 ? i - 1 : 0;
    const int last = i + 2 < n ? i + 2 : n - 1;
    bool valid = memo.curve == &curve && memo.index == i && memo.count == n && memo.tcbShared == gsTCB4051EvalMode;
    for (int k = first; valid && k <= last; ++k)
        valid = std::memcmp(&memo.keys[k - first], curve.KeyGetPtr(k), sizeof(KFCurveKey)) == 0;
    if (!valid) {
        memo.curve = &curve;
        memo.index = i;
        memo.count = n;
        memo.tcbShared = gsTCB4051EvalMode;
        for (int k = first; k <= last; ++k) memo.keys[k - first] = *curve.KeyGetPtr(k);
        memo.shape = ComputeCubicShape(curve, i);
    }
    return memo.shape;
}

}  // namespace

float CubicWarp(float x, float u, float w1, float w2) {
    const float s = 1.0f - x;
    const float p1 = 1.0f - w2;
    const float a = w1 * s;
    const float b = w1 + (p1 - w1) * s;
    const float c = p1 + (1.0f - p1) * s;
    const float d = a + (b - a) * s;
    const float e = b + (c - b) * s;
    return d + (e - d) * s - u;
}

float rtsec(float (*f)(float, float, float, float), float x1, float x2, float u, float w1, float w2) {
    if (!f) return x1;
    float fl = f(x1, u, w1, w2);
    float fh = f(x2, u, w1, w2);
    float r;
    float p;
    if (std::fabs(fl) < std::fabs(fh)) {
        r = x1;
        p = x2;
        std::swap(fl, fh);
    } else {
        p = x1;
        r = x2;
    }
    for (int k = 0; k < 15; ++k) {
        // A flat secant has no root; the estimate so far is the best there is.
        const float slope = fh - fl;
        if (slope == 0.0f) break;
        const float dx = (p - r) * fh / slope;
        p = r;
        fl = fh;
        r += dx;
        fh = f(r, u, w1, w2);
        if (std::fabs(dx) < 1e-6f || fh == 0.0f) break;
    }
    return r;
}

// ---- Extrapolation -------------------------------------------------------

float KFCurve::EvaluateKeepSlopeBefore(KTime time) {
    const KTime t0 = KeyTime(0);
    const U64 span = Bits(KeyTime(mKeyCount - 1)) - Bits(t0);
    const U64 before = Bits(t0) - Bits(time);
    const unsigned int cycles = mPreExtrapolationCount;
    double s;
    if (cycles == 0xFFFFFFFFu || static_cast<U128>(before) <= static_cast<U128>(span) * cycles)
        s = SecondsBetween(t0, time);
    else
        s = -TicksToSeconds(static_cast<long double>(span) * cycles);
    const float ds = static_cast<float>(KeyGetRightDerivative(0) * s);
    return KeyGetPtr(0)->GetValue() + ds;
}

float KFCurve::EvaluateKeepSlopeAfter(KTime time) {
    const int n = mKeyCount;
    const KTime tn = KeyTime(n - 1);
    const U64 span = Bits(tn) - Bits(KeyTime(0));
    const U64 after = Bits(time) - Bits(tn);
    const unsigned int cycles = mPostExtrapolationCount;
    double s;
    if (cycles == 0xFFFFFFFFu || static_cast<U128>(after) <= static_cast<U128>(span) * cycles)
        s = SecondsBetween(tn, time);
    else
        s = TicksToSeconds(static_cast<long double>(span) * cycles);
    const float ds = static_cast<float>(KeyGetLeftDerivative(n - 1) * s);
    return KeyGetPtr(n - 1)->GetValue() + ds;
}

float KFCurve::Evaluate(KTime time, int* last) {
    const int n = mKeyCount;
    if (n >= 2) {
        if (time < KeyTime(0)) {
            if (mPreExtrapolation == KFCURVE_EXTRAPOLATION_KEEP_SLOPE) return EvaluateKeepSlopeBefore(time);
        } else if (time > KeyTime(n - 1)) {
            if (mPostExtrapolation == KFCURVE_EXTRAPOLATION_KEEP_SLOPE) return EvaluateKeepSlopeAfter(time);
        } else {
            // Inside the keys no extrapolation applies: straight to the segment.
            double u;
            const int i = Locate(time, last ? *last : mLastFoundIndex, u);
            if (u == 0.0) return KeyGetPtr(i)->GetValue();
            return EvaluateSegment(i, u);
        }
    }
    return EvaluateIndex(KeyFindAll(time, last));
}

// Times outside the keys are folded into the keys' range in exact integer
// arithmetic: cycle counts and remainders of 64-bit tick differences, so that
// neither a far time nor a large repetition count wraps.
double KFCurve::KeyFindAll(KTime time, int* last) {
    const int n = mKeyCount;
    if (n == 0) return -1.0;
    const KTime t0 = KeyTime(0);
    const KTime tn = KeyTime(n - 1);
    const U64 span = Bits(tn) - Bits(t0);

    if (time < t0) {
        const int mode = mPreExtrapolation;
        const U64 before = Bits(t0) - Bits(time);
        U64 held = mPreExtrapolationCount;
        if (span != 0) {
            // The cycles are cut at the earliest cycle start on the time line.
            const U64 room = (Bits(t0) - Bits(KTime(LLONG_MIN))) / span;
            held = std::min(held, room);
        }
        const U64 cycles = span != 0 ? before / span : 0;
        if (mode == KFCURVE_EXTRAPOLATION_CONSTANT || span == 0 || cycles >= held) {
            if (last) *last = 0;
            return 0.0;
        }
        const U64 rest = before - cycles * span;  // 0 <= rest < span
        switch (mode) {
            case KFCURVE_EXTRAPOLATION_REPETITION:
                return KeyFind(FromBits(Bits(tn) - rest), last);
            case KFCURVE_EXTRAPOLATION_MIRROR:
                return KeyFind(cycles % 2 == 0 ? FromBits(Bits(t0) + rest) : FromBits(Bits(tn) - rest), last);
            default:
                return KeyFind(time, last);
        }
    }

    if (time > tn) {
        const int mode = mPostExtrapolation;
        const U64 after = Bits(time) - Bits(tn);
        const U128 reach = std::min(static_cast<U128>(span) * mPostExtrapolationCount,
                                    static_cast<U128>(Bits(KTime::Infinite()) - Bits(tn)));
        if (mode == KFCURVE_EXTRAPOLATION_CONSTANT || span == 0 || static_cast<U128>(after) >= reach) {
            if (last) *last = n - 1;
            return n - 1;
        }
        const U64 cycles = after / span;
        const U64 rest = after - cycles * span;  // 0 <= rest < span
        switch (mode) {
            case KFCURVE_EXTRAPOLATION_REPETITION:
                return KeyFind(FromBits(Bits(t0) + rest), last);
            case KFCURVE_EXTRAPOLATION_MIRROR:
                return KeyFind(cycles % 2 == 0 ? FromBits(Bits(tn) - rest) : FromBits(Bits(t0) + rest), last);
            default:
                return KeyFind(time, last);
        }
    }

    return KeyFind(time, last);
}

// ---- Segments --------------------------------------------------------------

float KFCurve::EvaluateIndex(double index) {
    const int n = mKeyCount;
    if (n == 0) return mValue;
    // Outside the keys (also the -0.5 and count - 0.5 of a plain search, and
    // not-a-number) the nearest end key holds.
    if (!(index > 0.0)) return KeyGetPtr(0)->GetValue();
    if (index >= n - 1) return KeyGetPtr(n - 1)->GetValue();
    const double base = std::floor(index);
    const int i = static_cast<int>(base);
    if (index == base) return KeyGetPtr(i)->GetValue();
    return EvaluateSegment(i, index - base);
}

float KFCurve::EvaluateSegment(int i, double u) {
    const KFCurveKey* a = KeyGetPtr(i);
    const KFCurveKey* b = KeyGetPtr(i + 1);
    switch (a->GetInterpolation()) {
        case KFCURVE_INTERPOLATION_CONSTANT:
            return a->GetConstantMode() == KFCURVE_CONSTANT_NEXT ? b->GetValue() : a->GetValue();
        case KFCURVE_INTERPOLATION_LINEAR:
            return static_cast<float>(a->GetValue() + u * (static_cast<double>(b->GetValue()) - a->GetValue()));
        case KFCURVE_INTERPOLATION_CUBIC:
            break;
        default:
            return 0.0f;
    }
    const CubicShape& shape = CubicShapeOf(*this, i);
    const float v0 = a->GetValue();
    const float v3 = b->GetValue();
    if (!shape.weighted) return Bezier(v0, shape.p1, shape.p2, v3, static_cast<float>(u));
    const float x = rtsec(&CubicWarp, 0.0f, 1.0f, static_cast<float>(u), shape.w1, shape.w2);
    // The parameter stays on the segment even when the secant strays.
    double s = 1.0 - static_cast<double>(x);
    if (!(s >= 0.0)) s = std::isnan(s) ? u : 0.0;
    if (s > 1.0) s = 1.0;
    return Bezier(v0, shape.p1, shape.p2, v3, static_cast<float>(s));
}

float KFCurve::SegmentDerivative(int i, double u) {
    const KFCurveKey* a = KeyGetPtr(i);
    const KFCurveKey* b = KeyGetPtr(i + 1);
    const double dt = SecondsBetween(a->GetTime(), b->GetTime());
    if (dt == 0.0) return 0.0f;
    switch (a->GetInterpolation()) {
        case KFCURVE_INTERPOLATION_LINEAR:
            return static_cast<float>((static_cast<double>(b->GetValue()) - a->GetValue()) / dt);
        case KFCURVE_INTERPOLATION_CUBIC:
            break;
        default:
            return 0.0f;
    }
    const float p0 = a->GetValue();
    const float p3 = b->GetValue();
    float right;
    float left;
    SegmentTangents(*this, i, right, left);
    const float p1 = static_cast<float>(p0 + right * dt / 3.0);
    const float p2 = static_cast<float>(p3 - left * dt / 3.0);
    const float d0 = p1 - p0;
    const float d1 = p2 - p1;
    const float d2 = p3 - p2;
    const float uf = static_cast<float>(u);
    const float q = Lerp(Lerp(d0, d1, uf), Lerp(d1, d2, uf), uf);
    return static_cast<float>(3.0 * q / dt);
}

float KFCurve::EvaluateLeftDerivative(KTime time, int* last) {
    const int n = mKeyCount;
    if (n < 2) return 0.0f;
    const double f = KeyFind(time, last);
    const double base = std::floor(f);
    const int i = static_cast<int>(base);
    if (i < 0) return 0.0f;
    if (f == base) return KeyGetLeftDerivative(i);
    if (i + 1 > n - 1) return 0.0f;
    return SegmentDerivative(i, f - base);
}

float KFCurve::EvaluateRightDerivative(KTime time, int* last) {
    const int n = mKeyCount;
    if (n < 2) return 0.0f;
    const double f = KeyFind(time, last);
    const double base = std::floor(f);
    const int i = static_cast<int>(base);
    if (f != base && i + 1 > n - 1) return 0.0f;
    if (f == base) return KeyGetRightDerivative(i);
    if (i < 0) return 0.0f;
    return SegmentDerivative(i, f - base);
}

// ---- Extrema ---------------------------------------------------------------

int KFCurve::FindPeaks(int index, KTime& time1, KTime& time2) {
    if (index < 0 || index >= mKeyCount - 1) return 0;
    const KTime ti = KeyTime(index);
    const KTime tj = KeyTime(index + 1);
    const double dt = SecondsBetween(ti, tj);
    const float p0 = KeyGetPtr(index)->GetValue();
    const float p3 = KeyGetPtr(index + 1)->GetValue();
    const float p1 = static_cast<float>(p0 + KeyGetRightDerivative(index) * dt / 3.0);
    const float p2 = static_cast<float>(p3 - KeyGetLeftDerivative(index + 1) * dt / 3.0);
    // The derivative of the Bezier (over 3) as a2 u^2 + a1 u + a0.
    const double a2 = 9.0f * p1 + 3.0f * p3 - 9.0f * p2 - 3.0f * p0;
    const double a1 = 6.0f * p0 + 6.0f * p2 - 12.0f * p1;
    const double a0 = 3.0f * p1 - 3.0f * p0;

    double roots[2];
    int rootCount = 0;
    if (a2 == 0.0) {
        // A linear derivative (a symmetric hump, say) has its one root here.
        if (a1 != 0.0) roots[rootCount++] = -a0 / a1;
    } else {
        const double discriminant = a1 * a1 - 4.0 * a2 * a0;
        if (discriminant < 0.0) return 0;
        if (discriminant == 0.0) {
            roots[rootCount++] = -a1 / (2.0 * a2);
        } else {
            // The form without cancellation, for nearly linear derivatives.
            const double q = -0.5 * (a1 + std::copysign(std::sqrt(discriminant), a1));
            roots[0] = q / a2;
            roots[1] = a0 / q;
            if (roots[0] > roots[1]) std::swap(roots[0], roots[1]);
            rootCount = 2;
        }
    }

    int found = 0;
    KTime times[2];
    for (int r = 0; r < rootCount; ++r) {
        const double u = roots[r];
        if (!(u > 0.0 && u < 1.0)) continue;
        KTime offset;
        offset.SetSecondDouble(u * dt);
        const KTime t = ti + offset;
        if (t > ti && t < tj) times[found++] = t;
    }
    if (found > 0) time1 = times[0];
    if (found > 1) time2 = times[1];
    return found;
}

int KFCurve::FindPeaks(int index, float& value1, float& value2) {
    KTime time1;
    KTime time2;
    return FindPeaks(index, time1, value1, time2, value2);
}

int KFCurve::FindPeaks(int index, KTime& time1, float& value1, KTime& time2, float& value2) {
    const int found = FindPeaks(index, time1, time2);
    if (found > 0) value1 = Evaluate(time1, nullptr);
    if (found > 1) value2 = Evaluate(time2, nullptr);
    return found;
}

}  // namespace zeqsdk_400
