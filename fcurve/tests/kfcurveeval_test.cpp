#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;
using namespace fcurvetest::core;

namespace {

double Bezier(double p0, double p1, double p2, double p3, double s) {
    const double r = 1.0 - s;
    return r * r * r * p0 + 3 * r * r * s * p1 + 3 * r * s * s * p2 + s * s * s * p3;
}

// The value of a weighted segment found by bisection on its time Bezier, in
// double precision, as an independent reference.
double WeightedReference(double v0, double v3, double d0, double d3, double w1, double w2, double u) {
    double lo = 0.0, hi = 1.0;
    for (int k = 0; k < 100; ++k) {
        const double mid = 0.5 * (lo + hi);
        (Bezier(0.0, w1, 1.0 - w2, 1.0, mid) < u ? lo : hi) = mid;
    }
    return Bezier(v0, v0 + d0 * w1, v3 - d3 * w2, v3, 0.5 * (lo + hi));
}

// The value of a non-weighted cubic segment from the public tangent getters.
double ReferenceCubic(KFCurve& curve, int i, double u) {
    const KFCurveKey* a = curve.KeyGetPtr(i);
    const KFCurveKey* b = curve.KeyGetPtr(i + 1);
    const double dt = (b->GetTime() - a->GetTime()).GetSecondDouble();
    const double p0 = a->GetValue(), p3 = b->GetValue();
    return Bezier(p0, p0 + curve.KeyGetRightDerivative(i) * dt / 3.0, p3 - curve.KeyGetLeftDerivative(i + 1) * dt / 3.0,
                  p3, u);
}

// Auto keys of random values every 0.1 s.
void FillRandomAuto(KFCurve& curve, unsigned seed, int count) {
    std::mt19937 random(seed);
    for (int i = 0; i < count; ++i)
        Add(curve, i * 0.1, MakeKey(static_cast<float>(random() % 100), kCubic, KFCURVE_TANGEANT_AUTO));
}

// Sixty keys of every kind and tangent mode at uneven times.
void FillMixedCurve(KFCurve& curve, unsigned seed) {
    std::mt19937 random(seed);
    const unsigned int modes[] = {KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_AUTO_BREAK, KFCURVE_TANGEANT_USER,
                                  KFCURVE_TANGEANT_USER_BREAK, KFCURVE_TANGEANT_TCB};
    auto tenths = [&random](int range) { return static_cast<float>(random() % range) * 0.1f; };
    double t = 0.0;
    for (int k = 0; k < 60; ++k) {
        const float value = tenths(200) - 10.0f;
        const unsigned int kind = random() % 8;
        const unsigned int mode = modes[random() % 5];
        // Auto parameters across their ranges, including the sweeps beyond 500.
        const float spread = mode == KFCURVE_TANGEANT_USER || mode == KFCURVE_TANGEANT_USER_BREAK ? 2.0f : 300.0f;
        const float d0 = random() % 3 ? (tenths(21) - 1.0f) * spread : 0.0f;
        const float d1 = random() % 3 ? (tenths(21) - 1.0f) * spread : 0.0f;
        KFCurveKey key = MakeKey(value, kCubic, mode, d0, d1);
        if (mode == KFCURVE_TANGEANT_TCB) key = TcbKey(value, d0 / 4, d1 / 4, tenths(10) - 0.5f);
        if (kind < 2) key = MakeKey(value, kind == 0 ? kLinear : kConstant);
        t += 0.05 + (random() % 10) * 0.07;
        Add(curve, t, key);
    }
}

}  // namespace

constexpr int kRep = KFCURVE_EXTRAPOLATION_REPETITION;
constexpr int kMirror = KFCURVE_EXTRAPOLATION_MIRROR;

TEST(KFCurveEvalTest, RampExtrapolationWorkedExamples) {
    // A linear ramp from 0 at 0 s to 10 at 1 s: a value names its time.
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kLinear));
    Add(curve, 1.0, MakeKey(10.0f, kLinear));
    // With constant extrapolation the numbering stops at the end keys.
    EXPECT_EQ(curve.KeyFindAll(Sec(-1.0)), 0.0);
    EXPECT_EQ(curve.KeyFindAll(Sec(3.0)), 1.0);
    const struct {
        int mode;  // on both sides
        unsigned int count;
        std::vector<std::pair<double, float>> samples;  // time, value
    } cases[] = {
        {KFCURVE_EXTRAPOLATION_CONSTANT, 0, {{-5.0, 0.0f}, {7.0, 10.0f}}},
        // Repetition twice repeats the range, then holds the first and the last key.
        {kRep, 2, {{-0.25, 7.5f}, {1.25, 2.5f}, {-1.9, 1.0f}, {2.9, 9.0f}, {-2, 0}, {-50, 0}, {3, 10}, {50, 10}}},
        // Mirror reflects the cycle next to the keys, runs the second forward and reflects the third.
        {kMirror, 1, {{1.25, 7.5f}, {-0.25, 2.5f}, {2.5, 10.0f}}},
        {kMirror, 3, {{2.25, 2.5f}, {3.25, 7.5f}, {-1.25, 7.5f}, {-2.25, 2.5f}}},
        // Without cycles every mode, and unknown modes, hold the end keys.
        {kRep, 0, {{-0.5, 0.0f}}},
        {kMirror, 0, {{1.5, 10.0f}}},
        {KFCURVE_EXTRAPOLATION_KEEP_SLOPE, 0, {{-0.5, 0.0f}, {1.5, 10.0f}}},
        {7, 5, {{-0.5, 0.0f}, {1.5, 10.0f}}},
        {-2, 5, {{-0.5, 0.0f}, {1.5, 10.0f}}},
    };
    for (const auto& c : cases) {
        SetExtrapolation(curve, c.mode, c.count, c.mode, c.count);
        for (auto [t, value] : c.samples) EXPECT_NEAR(curve.Evaluate(Sec(t)), value, 1e-5) << c.mode << " at " << t;
    }
    EXPECT_EQ(curve.EvaluateIndex(std::nan("")), 0.0f);
    EXPECT_FLOAT_EQ(curve.EvaluateLeftDerivative(Sec(0.25)), 10.0f);
}

TEST(KFCurveEvalTest, RepetitionCountsBeyond32BitsOfCycles) {
    // A span of 1000 ticks repeated more than 2^31 and 2^32 times.
    KFCurve curve;
    KFCurveKey a = MakeKey(0.0f, kLinear), b = MakeKey(10.0f, kLinear);
    curve.KeyAdd(KTime(0), a);
    curve.KeyAdd(KTime(1000), b);
    SetExtrapolation(curve, kRep, 0xFFFFFFFFu, kRep, 0xFFFFFFFFu);
    for (kLongLong cycles : {3LL, (1LL << 31) + 5, (1LL << 32) - 2}) {
        EXPECT_FLOAT_EQ(curve.Evaluate(KTime(1000 + cycles * 1000 + 250)), 2.5f) << cycles;
        EXPECT_FLOAT_EQ(curve.Evaluate(KTime(-cycles * 1000 - 250)), 7.5f) << cycles;
    }
    // 0xFFFFFFFF cycles are many, not endless.
    EXPECT_EQ(curve.Evaluate(KTime(1000 + (1LL << 32) * 1000 + 250)), 10.0f);

    // Keys spanning the whole time line do not wrap.
    KFCurve wide;
    wide.KeyAdd(KTime(-LLONG_MAX + 10), a);
    wide.KeyAdd(KTime(LLONG_MAX - 10), b);
    for (int mode : {2, 3, 4}) {
        SetExtrapolation(wide, mode, 0xFFFFFFFFu, mode, 0xFFFFFFFFu);
        for (kLongLong t : {LLONG_MIN, -LLONG_MAX, 0LL, LLONG_MAX})
            EXPECT_TRUE(std::isfinite(wide.Evaluate(KTime(t)))) << mode << " " << t;
    }
    wide.SetPreExtrapolation(kRep);
    EXPECT_EQ(wide.Evaluate(KTime(LLONG_MIN)), 0.0f);
}

TEST(KFCurveEvalTest, WeightedSegmentsFollowTheirTimeBezier) {
    // Both weights set, only the right one (the left side stays at one third), and weights of one third.
    const struct { unsigned int mode; float w0, w1; } cases[] = {
        {KFCURVE_WEIGHTED_ALL, 0.6f, 0.1f},
        {KFCURVE_WEIGHTED_RIGHT, 0.6f, 0.1f},
        {KFCURVE_WEIGHTED_ALL, 1.0f / 3, 1.0f / 3}};
    for (const auto& c : cases) {
        KFCurve curve;
        Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 4.0f, 1.0f, c.mode, c.w0, c.w1));
        Add(curve, 1.0, MakeKey(2.0f));
        const double w1 = curve.KeyGetRightTangeantWeight(0);
        const double w2 = c.mode == KFCURVE_WEIGHTED_ALL ? curve.KeyGetLeftTangeantWeight(1) : 1.0 / 3;
        for (double u = 0.05; u < 1.0; u += 0.1)
            EXPECT_NEAR(curve.Evaluate(Sec(u)), WeightedReference(0, 2, 4, 1, w1, w2, u), 1e-4) << u;
    }
    // Handles at 0.99 on both sides make the time Bezier turn back on itself: the
    // values stay within the convex hull of the control values 0, 4.95, -3.95 and 1.
    KFCurve extreme;
    Add(extreme, 0.0,
        MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 5.0f, -5.0f, KFCURVE_WEIGHTED_ALL, 0.99f, 0.99f));
    Add(extreme, 1.0, MakeKey(1.0f));
    for (float v : Sample(extreme, 0.0, 1.0, 100)) {
        ASSERT_GE(v, -3.95f);
        ASSERT_LE(v, 4.95f);
    }
}

TEST(KFCurveEvalTest, ExtremaAreWhereTheSlopeVanishes) {
    struct Case {
        float right, nextLeft;  // derivatives of a segment from 0 at 0 s to 0 at 1 s
        std::vector<double> times;
    };
    // Equal and opposite end slopes make the derivative linear: its one root is found too.
    for (const Case& c : {Case{3, -1, {(10.0 - std::sqrt(28.0)) / 12.0}}, Case{1, -1, {0.5}},
                          Case{3, 3, {(6.0 - std::sqrt(12.0)) / 12.0, (6.0 + std::sqrt(12.0)) / 12.0}}}) {
        KFCurve curve;
        Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, c.right, c.nextLeft));
        Add(curve, 1.0, MakeKey(0.0f));
        KTime t[2];
        float v[2] = {-99.0f, -99.0f};
        ASSERT_EQ(curve.FindPeaks(0, t[0], v[0], t[1], v[1]), int(c.times.size()));
        for (std::size_t k = 0; k < c.times.size(); ++k) {
            EXPECT_NEAR(t[k].GetSecondDouble(), c.times[k], 1e-6);
            EXPECT_FLOAT_EQ(v[k], curve.Evaluate(t[k]));
        }
        EXPECT_TRUE(c.times.size() == 2 || v[1] == -99.0f) << "not reported, not written";
        float only[2] = {-99.0f, -99.0f};
        ASSERT_EQ(curve.FindPeaks(0, only[0], only[1]), int(c.times.size()));
        EXPECT_EQ(std::vector<float>(only, only + 2), std::vector<float>(v, v + 2)) << "the values alone";
    }
    // None on a straight line, on a curve without keys and for bad indices (the slot past the last
    // key still holds a removed key that would make a hump).
    KFCurve curve;
    KTime t1(7), t2(8);
    EXPECT_EQ(curve.FindPeaks(0, t1, t2), 0);
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 1.0f, 1.0f));
    Add(curve, 1.0, MakeKey(1.0f));
    Add(curve, 2.0, MakeKey(0.0f));
    curve.KeyRemove(2);
    for (int index : {0, -1, 1, 5}) EXPECT_EQ(curve.FindPeaks(index, t1, t2), 0);
    EXPECT_EQ(t1, KTime(7));
}

class KFCurveEvalAgreement : public ::testing::TestWithParam<bool> {};

TEST_P(KFCurveEvalAgreement, EverySegmentKindMatchesItsTangents) {
    KFCURVE_SetTCB4051EvalMode(GetParam());
    for (unsigned seed = 1; seed <= 5; ++seed) {
        KFCurve curve;
        FillMixedCurve(curve, seed);
        int hint = 0;
        for (int i = 0; i + 1 < curve.KeyGetCount(); ++i) {
            const KFCurveKey* a = curve.KeyGetPtr(i);
            const KTime ta = a->GetTime();
            const KTime tb = curve.KeyGetPtr(i + 1)->GetTime();
            for (double u : {0.1, 0.5, 0.85}) {
                const KTime t = ta + KTime(static_cast<kLongLong>((tb - ta).Get() * u));
                const double uu = static_cast<double>((t - ta).Get()) / (tb - ta).Get();
                double expected = ReferenceCubic(curve, i, uu);
                if (a->GetInterpolation() == kConstant) expected = a->GetValue();
                if (a->GetInterpolation() == kLinear)
                    expected = a->GetValue() + uu * (curve.KeyGetPtr(i + 1)->GetValue() - a->GetValue());
                EXPECT_NEAR(curve.Evaluate(t, &hint), expected, 1e-4 * (1.0 + std::fabs(expected)))
                    << seed << " key " << i << " u " << u;
            }
        }
    }
    KFCURVE_SetTCB4051EvalMode(false);
}

INSTANTIATE_TEST_SUITE_P(TcbModes, KFCurveEvalAgreement, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Shared" : "Formula"; });

// Edits through key pointers (value, time, tangent data, weight, kind) and
// key additions and removals between two samples of one segment, at increasing
// and at random times, with and without a hint: every value is bit for bit that
// of a fresh copy of the curve, which has no remembered segment and no time
// index. The edited key is the segment's, its next one or an outer neighbour.
TEST(KFCurveEvalTest, EditsThroughKeyPointersBetweenSamplesAreSeen) {
    const unsigned int modes[] = {KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_USER, KFCURVE_TANGEANT_USER_BREAK,
                                  KFCURVE_TANGEANT_TCB};
    const unsigned int kinds[] = {kConstant, kLinear, kCubic, kCubic};
    for (unsigned seed = 1; seed <= 3; ++seed) {
        KFCurve curve;
        FillMixedCurve(curve, seed);
        std::mt19937 random(seed);
        int hint = 0;
        auto check = [&](KTime t, int step) {
            // A copy at one address reuses the segment remembered for the last
            // copy when the bytes agree: samples in the first and last segments
            // make it compute the asked one anew.
            KFCurve fresh;
            fresh.CopyFrom(curve);
            const int n = fresh.KeyGetCount();
            fresh.Evaluate(fresh.KeyGet(0).GetTime() + KTime(1));
            fresh.Evaluate(fresh.KeyGet(n - 2).GetTime() + KTime(1));
            const float expected = fresh.Evaluate(t);
            const float got = random() % 2 ? curve.Evaluate(t, &hint) : curve.Evaluate(t);
            return std::memcmp(&got, &expected, sizeof got) == 0
                       ? ::testing::AssertionSuccess()
                       : ::testing::AssertionFailure() << "seed " << seed << " step " << step << ": " << got
                                                       << ", not " << expected;
        };
        for (int step = 0; step < 3000; ++step) {
            const double end = curve.KeyGet(curve.KeyGetCount() - 1).GetTime().GetSecondDouble();
            const KTime t = Sec(step % 2 ? end * (random() % 10000) / 10000.0 : end * (step % 600) / 600.0);
            ASSERT_TRUE(check(t, step));
            const int n = curve.KeyGetCount();
            const int k = std::min(std::max(static_cast<int>(curve.KeyFind(t)) + static_cast<int>(random() % 4) - 1, 0), n - 1);
            KFCurveKey* key = curve.KeyGetPtr(k);
            switch (random() % 10) {  // one edit through the key pointer, or a key added or removed
                case 0: key->SetValue(key->GetValue() + 0.5f); break;
                case 1: key->SetDataFloat(static_cast<EKFCurveDataIndex>(random() % 2), 0.25f * (random() % 9)); break;
                case 2: key->SetTangeantMode(modes[random() % 4]); break;
                case 3: key->SetInterpolation(kinds[random() % 4]); break;
                case 4: key->SetDataDouble(KFCURVEKEY_RIGHT_WEIGHT, 0.1f * (1 + random() % 8)); break;
                case 5:  // earlier, still after the key before it
                    key->SetTime(k > 0 ? KTime((key->GetTime().Get() + curve.KeyGetPtr(k - 1)->GetTime().Get()) / 2)
                                       : key->GetTime() - Sec(1.0));
                    break;
                case 6:
                    if (n > 20) curve.KeyRemove(k);
                    break;
                case 7: Add(curve, end * (random() % 10000) / 10000.0, MakeKey(1.0f, kCubic, modes[random() % 4], 0.5f)); break;
                default: break;
            }
            ASSERT_TRUE(check(t + KTime(1), step));
        }
    }
}

TEST(KFCurveEvalTest, SeveralThreadsWithTheirOwnHintsAgree) {
    KFCurve curve;
    FillRandomAuto(curve, 8, 500);
    const std::vector<float> expected = Sample(curve, 0.0, 50.0, 5000);
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int w = 0; w < 4; ++w) {
        threads.emplace_back([&curve, &expected, &mismatches, w] {
            int hint = 0;
            for (int pass = 0; pass < 3; ++pass)
                for (int k = w; k <= 5000; k += 1 + w)
                    if (curve.Evaluate(Sec(50.0 * k / 5000), &hint) != expected[static_cast<std::size_t>(k)])
                        ++mismatches[w];
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}
