// Curve evaluation: extrapolation, segment interpolation (constant, linear,
// cubic and weighted cubic Bezier), derivatives and the extrema of a segment.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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

inline float Lerp(float a, float b, float u) { return a + (b - a) * u; }

// De Casteljau's construction on four control values, in single precision
// like the values themselves.
inline float Bezier(float p0, float p1, float p2, float p3, float u) {
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

// The last segment evaluated per curve on this thread, in a small table
// indexed by the curve's address, so that evaluating a whole channel tree per
// sample does not evict one curve's segment with the next, and so that
// threads evaluating one curve with their own hints share nothing. Samplers
// evaluate a segment many times in a row: its value coefficients and the
// reciprocal of its length are reused while the bytes they were computed from
// are unchanged, so edits through key pointers are always seen. Only those
// bytes are compared: the first key whole, the next key's value, time and
// flags (its tangent data too when a TCB rule may read it), and the outer
// neighbours' values and times when auto or TCB tangents read their slopes.
// Plain data: no per-thread set-up.
struct SegmentMemo {
    const KFCurve* curve;
    int index;
    int count;
    kLongLong t0;
    kLongLong t1;
    // t1, or t0 for a segment longer than 2^63 ticks: the fast path, which
    // takes time differences as signed numbers, then never serves it.
    kLongLong fastT1;
    double scale;  // 1 / (t1 - t0) in ticks
    float v0, p1, p2, v3, w1, w2;
    unsigned int interpolation;
    bool constantNext;
    bool plainCubic;  // cubic and not weighted
    bool weighted;
    bool wholeNext;  // the next key's tangent data is watched (and the TCB mode)
    bool outer;      // the outer neighbours' values and times are watched
    bool tcbShared;
    KFCurveKey first;
    KFCurveKey next;
    unsigned char before[12];
    unsigned char after[12];
};
// 256 slots: the few dozen curves of a node's channels, layers and warps, evaluated together
// per sample by a bake or a plot, then seldom share one.
constexpr int kSegmentMemoBits = 8;
struct SegmentMemoTable {
    SegmentMemo entries[1 << kSegmentMemoBits];
};

// The table is allocated on a thread's first evaluation and freed when the
// thread ends. The hot path reads it through a plain thread pointer in the
// initial-exec model: one load, no call that would make the compiler spill.
[[gnu::tls_model("initial-exec")]] thread_local SegmentMemoTable* tSegmentMemos = nullptr;
struct SegmentMemoOwner {
    SegmentMemoTable* table = nullptr;
    ~SegmentMemoOwner() {
        std::free(table);
        tSegmentMemos = nullptr;
    }
};
thread_local SegmentMemoOwner tSegmentMemoOwner;

// A scratch memo for the rare thread whose table could not be allocated: it
// is filled before each use, so it only serves one evaluation.
[[gnu::noinline]] SegmentMemo& AllocateSegmentMemos(std::size_t slot) {
    thread_local SegmentMemo scratch;
    auto* table = static_cast<SegmentMemoTable*>(std::calloc(1, sizeof(SegmentMemoTable)));
    if (!table) {
        scratch.curve = nullptr;
        return scratch;
    }
    tSegmentMemoOwner.table = table;
    tSegmentMemos = table;
    return table->entries[slot];
}

[[gnu::always_inline]] inline SegmentMemo& MemoOf(const KFCurve& curve) {
    const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&curve));
    const std::size_t slot = (address * 0x9E3779B97F4A7C15ULL) >> (64 - kSegmentMemoBits);
    SegmentMemoTable* table = tSegmentMemos;
    if (__builtin_expect(table == nullptr, 0)) return AllocateSegmentMemos(slot);
    return table->entries[slot];
}

// Value and time of a key: what its neighbours' slopes read.
constexpr std::size_t kValueAndTime = 12;

inline bool Same(const void* a, const void* b, std::size_t size) { return std::memcmp(a, b, size) == 0; }

// Whether the memo still describes segment memo.index of curve (whose count is n).
[[gnu::always_inline]] inline bool MemoHolds(const SegmentMemo& memo, const KFCurve& curve, int n) {
    if (memo.curve != &curve || memo.count != n) return false;
    const int i = memo.index;
    const KFCurveKey* a = curve.KeyGetPtr(i);
    const int slot = i & 31;
    const KFCurveKey* b = slot != 31 ? a + 1 : curve.KeyGetPtr(i + 1);
    if (!Same(a, &memo.first, 32) || !Same(b, &memo.next, 16)) return false;
    if (memo.wholeNext &&
        (!Same(reinterpret_cast<const char*>(b) + 16, reinterpret_cast<const char*>(&memo.next) + 16, 16) ||
         memo.tcbShared != gsTCB4051EvalMode))
        return false;
    if (!memo.outer) return true;
    if (i > 0 && !Same(slot != 0 ? a - 1 : curve.KeyGetPtr(i - 1), memo.before, kValueAndTime)) return false;
    return i + 2 >= n || Same(slot < 30 ? a + 2 : curve.KeyGetPtr(i + 2), memo.after, kValueAndTime);
}

// Makes the memo describe segment i (0 <= i < n - 1) of curve.
void FillMemo(SegmentMemo& memo, KFCurve& curve, int i) {
    const int n = curve.KeyGetCount();
    const KFCurveKey* a = curve.KeyGetPtr(i);
    const KFCurveKey* b = curve.KeyGetPtr(i + 1);
    memo.curve = &curve;
    memo.index = i;
    memo.count = n;
    memo.first = *a;
    memo.next = *b;
    memo.t0 = a->GetTime().Get();
    memo.t1 = b->GetTime().Get();
    const U64 span = Bits(b->GetTime()) - Bits(a->GetTime());
    memo.scale = 1.0 / static_cast<double>(span);
    memo.fastT1 = span < (U64(1) << 63) ? memo.t1 : memo.t0;
    memo.v0 = a->GetValue();
    memo.v3 = b->GetValue();
    memo.interpolation = a->GetInterpolation();
    memo.constantNext = a->GetConstantMode() == KFCURVE_CONSTANT_NEXT;
    memo.weighted = false;
    memo.plainCubic = false;
    memo.p1 = memo.p2 = 0.0f;
    memo.w1 = memo.w2 = KFCURVE_DEFAULT_WEIGHT;
    memo.wholeNext = false;
    memo.outer = false;
    memo.tcbShared = gsTCB4051EvalMode;
    if (memo.interpolation == KFCURVE_INTERPOLATION_CUBIC) {
        const CubicShape shape = ComputeCubicShape(curve, i);
        memo.p1 = shape.p1;
        memo.p2 = shape.p2;
        memo.w1 = shape.w1;
        memo.w2 = shape.w2;
        memo.weighted = shape.weighted;
        memo.plainCubic = !shape.weighted;
        const unsigned int modeA = a->GetTangeantMode();
        const bool cubicB = b->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC;
        const unsigned int modeB = b->GetTangeantMode();
        const bool plain = (IsUserMode(modeA) || IsAutoMode(modeA)) && (!cubicB || IsUserMode(modeB) || IsAutoMode(modeB));
        memo.wholeNext = !plain;
        memo.outer = !plain || IsAutoMode(modeA) || (cubicB ? IsAutoMode(modeB) : IsAutoMode(modeA));
    }
    if (memo.outer) {
        if (i > 0) std::memcpy(memo.before, curve.KeyGetPtr(i - 1), kValueAndTime);
        if (i + 2 < n) std::memcpy(memo.after, curve.KeyGetPtr(i + 2), kValueAndTime);
    }
}

// The memo's segment at time fraction u (0 < u < 1).
[[gnu::always_inline]] inline float MemoValueAt(const SegmentMemo& memo, double u) {
    if (memo.plainCubic) return Bezier(memo.v0, memo.p1, memo.p2, memo.v3, static_cast<float>(u));
    switch (memo.interpolation) {
        case KFCURVE_INTERPOLATION_CONSTANT:
            return memo.constantNext ? memo.v3 : memo.v0;
        case KFCURVE_INTERPOLATION_LINEAR:
            return static_cast<float>(memo.v0 + u * (static_cast<double>(memo.v3) - memo.v0));
        case KFCURVE_INTERPOLATION_CUBIC:
            break;
        default:
            return 0.0f;
    }
    if (!memo.weighted) return Bezier(memo.v0, memo.p1, memo.p2, memo.v3, static_cast<float>(u));
    const float x = rtsec(&CubicWarp, 0.0f, 1.0f, static_cast<float>(u), memo.w1, memo.w2);
    // The parameter stays on the segment even when the secant strays.
    double s = 1.0 - static_cast<double>(x);
    if (!(s >= 0.0)) s = std::isnan(s) ? u : 0.0;
    if (s > 1.0) s = 1.0;
    return Bezier(memo.v0, memo.p1, memo.p2, memo.v3, static_cast<float>(s));
}

// The memo's segment at a time t0 <= t < t1: the fraction by one
// multiplication; one that rounds up to 1 (spans beyond 2^53 ticks) is the next
// key. The signed difference serves segments shorter than 2^63 ticks.
template <bool kSigned>
[[gnu::always_inline]] inline float MemoValueAtTime(const SegmentMemo& memo, kLongLong t) {
    if (t == memo.t0) return memo.v0;
    const U64 d = static_cast<U64>(t) - static_cast<U64>(memo.t0);
    const double u = (kSigned ? static_cast<double>(static_cast<kLongLong>(d)) : static_cast<double>(d)) * memo.scale;
    if (u >= 1.0) return memo.v3;
    return MemoValueAt(memo, u);
}

// The largest index whose time is at or before t, for times[0] <= t: a fixed
// number of halvings with a conditional move each, no branch on the data. Both
// places the next probe may fall are fetched ahead, so the loads of successive
// halvings overlap instead of waiting on each other.
int LastAtOrBefore(const kLongLong* times, int n, kLongLong t) {
    const kLongLong* base = times;
    int length = n;
    while (length > 1) {
        const int half = length >> 1;
        __builtin_prefetch(base + (half >> 1));
        __builtin_prefetch(base + half + (half >> 1));
        base = base[half] <= t ? base + half : base;
        length -= half;
    }
    return static_cast<int>(base - times);
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
    // The segment of the last sample, unchanged: no search, no division.
    const SegmentMemo& memo = MemoOf(*this);
    const kLongLong t = time.Get();
    if (t >= memo.t0 && t < memo.fastT1 && MemoHolds(memo, *this, mKeyCount)) {
        const int index = memo.index;
        const float value = MemoValueAtTime<true>(memo, t);
        (last ? *last : mLastFoundIndex) = index;
        return value;
    }
    return EvaluateElsewhere(time, last);
}

float KFCurve::EvaluateElsewhere(KTime time, int* last) {
    const int n = mKeyCount;
    if (n >= 2) {
        if (time < KeyTime(0)) {
            if (mPreExtrapolation == KFCURVE_EXTRAPOLATION_KEEP_SLOPE) return EvaluateKeepSlopeBefore(time);
        } else if (time > KeyTime(n - 1)) {
            if (mPostExtrapolation == KFCURVE_EXTRAPOLATION_KEEP_SLOPE) return EvaluateKeepSlopeAfter(time);
        } else {
            // Inside the keys no extrapolation applies: straight to the segment.
            int& hint = last ? *last : mLastFoundIndex;
            const int i = FindSegment(time, hint, last == nullptr);
            hint = i;
            const KFCurveKey* key = KeyGetPtr(i);
            if (i == n - 1 || key->GetTime() == time) return key->GetValue();
            SegmentMemo& memo = MemoOf(*this);
            FillMemo(memo, *this, i);
            return MemoValueAtTime<false>(memo, time.Get());
        }
    }
    return EvaluateIndex(KeyFindAll(time, last));
}

// Near the hint the segment is found by looking at it and the next one (the
// playback case); far from it, by the flat array of key times when that is
// current, else by the doubling search. The flat array is a cache: a segment
// found in it is checked on the keys themselves, so a stale array costs a
// search, never a wrong answer. It is rebuilt once enough far searches missed
// it to pay for the rebuild, and only by callers without a hint of their own
// (who use the curve alone), so that threads evaluating with their own hints
// only read it.
int KFCurve::FindSegment(KTime time, int hint, bool mayIndex) {
    const int n = mKeyCount;
    const int h = std::min(std::max(hint, 0), n - 2);
    if (KeyTime(h) <= time) {
        if (time < KeyTime(h + 1)) return h;
        if (h + 2 >= n) return n - 1;
        if (time < KeyTime(h + 2)) return h + 1;
    }
    const kLongLong t = time.Get();
    if (mTimesCount == n) {
        const int i = SearchKeyTimes(t);
        if (KeyTime(i) <= time && (i == n - 1 || time < KeyTime(i + 1))) return i;
        if (mayIndex) mTimesCount = -1;  // keys moved since it was built
    }
    if (mayIndex && ++mTimesMisses > n / 32 + 8 && IndexKeyTimes()) return SearchKeyTimes(t);
    if (time < KeyTime(h)) return FindLastAtOrBefore(time, h - 1);
    const int k = FindFirstAtOrAfter(time, h + 1);
    return KeyTime(k) == time ? k : k - 1;
}

// Keys are mostly near evenly spaced (one per frame): the mean spacing points
// at a window of 16 times, searched alone when it brackets t; otherwise the
// search runs over all the times. t lies within the first and last time.
int KFCurve::SearchKeyTimes(kLongLong t) const {
    const int n = mTimesCount;
    const kLongLong* times = mTimes;
    constexpr int kWindow = 16;
    if (n > 2 * kWindow) {
        // Clamped before it becomes an index: a stale array may not hold t.
        double guess = static_cast<double>(static_cast<U64>(t) - static_cast<U64>(times[0])) * mTimesScale;
        if (!(guess >= 0.0)) guess = 0.0;
        if (guess > n) guess = n;
        const int low = std::min(std::max(static_cast<int>(guess) - kWindow / 2, 0), n - kWindow);
        // The keys around the guess are what the caller reads next (the
        // segment and the neighbours auto tangents read): loaded beside the search.
        const int guessed = low + kWindow / 2;
        __builtin_prefetch(KeyGetPtr(guessed - 1));
        __builtin_prefetch(KeyGetPtr(guessed + 1));
        if (times[low] <= t && (low + kWindow == n || t < times[low + kWindow]))
            return low + LastAtOrBefore(times + low, kWindow, t);
    }
    return LastAtOrBefore(times, n, t);
}

bool KFCurve::IndexKeyTimes() {
    const int n = mKeyCount;
    mTimesMisses = 0;
    if (n > mTimesCapacity) {
        auto* times = static_cast<kLongLong*>(std::malloc(static_cast<std::size_t>(n) * sizeof(kLongLong)));
        if (!times) return false;
        std::free(mTimes);
        mTimes = times;
        mTimesCapacity = n;
    }
    for (int i = 0; i < n; ++i) mTimes[i] = KeyTime(i).Get();
    mTimesCount = n;
    mTimesScale = (n - 1) / static_cast<double>(static_cast<U64>(mTimes[n - 1]) - static_cast<U64>(mTimes[0]));
    return true;
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
    SegmentMemo& memo = MemoOf(*this);
    if (memo.index != i || !MemoHolds(memo, *this, mKeyCount)) FillMemo(memo, *this, i);
    return MemoValueAt(memo, u);
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
