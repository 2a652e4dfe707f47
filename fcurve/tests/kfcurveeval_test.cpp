#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using namespace fcurvetest;

namespace {

// A linear ramp from 0 at 0 s to 10 at 1 s: a value names its time.
class KFCurveRampTest : public ::testing::Test {
protected:
    void SetUp() override {
        Add(curve, 0.0, MakeKey(0.0f, kLinear));
        Add(curve, 1.0, MakeKey(10.0f, kLinear));
    }
    void Extrapolate(int preMode, unsigned int preCount, int postMode, unsigned int postCount) {
        curve.SetPreExtrapolation(preMode);
        curve.SetPreExtrapolationCount(preCount);
        curve.SetPostExtrapolation(postMode);
        curve.SetPostExtrapolationCount(postCount);
    }
    float At(double seconds) { return curve.Evaluate(Sec(seconds)); }

    KFCurve curve;
};

}  // namespace

TEST(KFCurveEvalTest, EmptyCurveGivesTheDefaultAndOneKeyItsValueInEveryMode) {
    KFCurve curve;
    curve.SetValue(4.5f);
    EXPECT_EQ(curve.Evaluate(Sec(-3.0)), 4.5f);
    EXPECT_EQ(curve.Evaluate(KTime::Infinite()), 4.5f);
    EXPECT_EQ(curve.EvaluateIndex(0.5), 4.5f);
    EXPECT_EQ(curve.KeyFindAll(Sec(1.0)), -1.0);

    Add(curve, 1.0, MakeKey(2.0f));
    for (int mode : {1, 2, 3, 4, 0, 9}) {
        curve.SetPreExtrapolation(mode);
        curve.SetPostExtrapolation(mode);
        curve.SetPreExtrapolationCount(0xFFFFFFFFu);
        curve.SetPostExtrapolationCount(3);
        for (double t : {-100.0, 0.0, 1.0, 2.5, 1e6}) EXPECT_EQ(curve.Evaluate(Sec(t)), 2.0f) << mode << " " << t;
    }
}

TEST_F(KFCurveRampTest, ConstantExtrapolationHoldsTheEndKeys) {
    EXPECT_EQ(At(-5.0), 0.0f);
    EXPECT_EQ(At(7.0), 10.0f);
    EXPECT_FLOAT_EQ(At(0.25), 2.5f);
    int last = 1;
    EXPECT_EQ(curve.KeyFindAll(Sec(-1.0), &last), 0.0);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(curve.KeyFindAll(Sec(3.0), &last), 1.0);
    EXPECT_EQ(last, 1);
}

TEST_F(KFCurveRampTest, RepetitionTwiceRepeatsTheRangeThenHoldsTheEnds) {
    Extrapolate(KFCURVE_EXTRAPOLATION_REPETITION, 2, KFCURVE_EXTRAPOLATION_REPETITION, 2);
    EXPECT_FLOAT_EQ(At(-0.25), At(0.75));
    EXPECT_FLOAT_EQ(At(1.25), At(0.25));
    EXPECT_FLOAT_EQ(At(-1.9), 1.0f);
    EXPECT_FLOAT_EQ(At(2.9), 9.0f);
    // The limits and beyond hold the first and the last key.
    EXPECT_EQ(At(-2.0), 0.0f);
    EXPECT_EQ(At(-50.0), 0.0f);
    EXPECT_EQ(At(3.0), 10.0f);
    EXPECT_EQ(At(50.0), 10.0f);
}

TEST_F(KFCurveRampTest, MirrorReflectsAlternateCycles) {
    Extrapolate(KFCURVE_EXTRAPOLATION_MIRROR, 1, KFCURVE_EXTRAPOLATION_MIRROR, 1);
    EXPECT_FLOAT_EQ(At(1.25), At(0.75));
    EXPECT_FLOAT_EQ(At(-0.25), At(0.25));
    EXPECT_EQ(At(2.5), 10.0f);
    Extrapolate(KFCURVE_EXTRAPOLATION_MIRROR, 3, KFCURVE_EXTRAPOLATION_MIRROR, 3);
    EXPECT_FLOAT_EQ(At(2.25), 2.5f);  // second cycle runs forward again
    EXPECT_FLOAT_EQ(At(3.25), 7.5f);  // third is reflected
    EXPECT_FLOAT_EQ(At(-1.25), 7.5f);
    EXPECT_FLOAT_EQ(At(-2.25), 2.5f);
}

TEST_F(KFCurveRampTest, ModesWithoutCyclesActAsConstant) {
    for (int mode : {2, 3, 4}) {
        Extrapolate(mode, 0, mode, 0);
        EXPECT_EQ(At(-0.5), 0.0f) << mode;
        EXPECT_EQ(At(1.5), 10.0f) << mode;
    }
}

TEST_F(KFCurveRampTest, UnknownModesHoldTheEndKeys) {
    Extrapolate(7, 5, -2, 5);
    EXPECT_EQ(At(-0.5), 0.0f);
    EXPECT_EQ(At(1.5), 10.0f);
    EXPECT_EQ(curve.EvaluateIndex(-0.5), 0.0f);
    EXPECT_EQ(curve.EvaluateIndex(1.5), 10.0f);
    EXPECT_EQ(curve.EvaluateIndex(std::nan("")), 0.0f);
}

TEST(KFCurveEvalTest, KeepSlopeContinuesTheEndTangentForItsCycles) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 2.0f, 4.0f));
    Add(curve, 1.0, MakeKey(3.0f, kCubic, KFCURVE_TANGEANT_USER, 0.0f, 0.0f));
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
    EXPECT_EQ(curve.Evaluate(Sec(-0.5)), 0.0f);  // count 0: constant
    curve.SetPreExtrapolationCount(1);
    curve.SetPostExtrapolationCount(2);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(-0.5)), -1.0f);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(-3.0)), -2.0f);  // held at the limit -1 s
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(1.5)), 5.0f);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(10.0)), 11.0f);  // held at 3 s
    curve.SetPostExtrapolationCount(0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(10.0)), 39.0f);
}

TEST(KFCurveEvalTest, RepetitionCountsBeyond32BitsOfCycles) {
    // A span of 1000 ticks repeated more than 2^31 and 2^32 times.
    KFCurve curve;
    KFCurveKey a = MakeKey(0.0f, kLinear);
    KFCurveKey b = MakeKey(10.0f, kLinear);
    curve.KeyAdd(KTime(0), a);
    curve.KeyAdd(KTime(1000), b);
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPostExtrapolationCount(0xFFFFFFFFu);
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPreExtrapolationCount(0xFFFFFFFFu);
    for (kLongLong cycles : {3LL, (1LL << 31) + 5, (1LL << 32) - 2}) {
        EXPECT_FLOAT_EQ(curve.Evaluate(KTime(1000 + cycles * 1000 + 250)), 2.5f) << cycles;
        EXPECT_FLOAT_EQ(curve.Evaluate(KTime(-cycles * 1000 - 250)), 7.5f) << cycles;
    }
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    EXPECT_FLOAT_EQ(curve.Evaluate(KTime(1000 + ((1LL << 32) - 3) * 1000 + 250)), 2.5f);  // odd: forward
    EXPECT_FLOAT_EQ(curve.Evaluate(KTime(1000 + ((1LL << 32) - 4) * 1000 + 250)), 7.5f);  // even: reflected
    // 0xFFFFFFFF cycles are many, not endless.
    EXPECT_EQ(curve.Evaluate(KTime(1000 + (1LL << 32) * 1000 + 250)), 10.0f);
}

TEST(KFCurveEvalTest, KeysSpanningTheWholeTimeLineDoNotWrap) {
    KFCurve curve;
    KFCurveKey a = MakeKey(0.0f, kLinear);
    KFCurveKey b = MakeKey(10.0f, kLinear);
    curve.KeyAdd(KTime(-LLONG_MAX + 10), a);
    curve.KeyAdd(KTime(LLONG_MAX - 10), b);
    for (int mode : {2, 3, 4}) {
        curve.SetPreExtrapolation(mode);
        curve.SetPostExtrapolation(mode);
        curve.SetPreExtrapolationCount(0xFFFFFFFFu);
        curve.SetPostExtrapolationCount(0xFFFFFFFFu);
        for (kLongLong t : {LLONG_MIN, -LLONG_MAX, 0LL, LLONG_MAX}) {
            const float v = curve.Evaluate(KTime(t));
            EXPECT_TRUE(std::isfinite(v)) << mode << " " << t;
        }
    }
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    EXPECT_EQ(curve.Evaluate(KTime(LLONG_MIN)), 0.0f);
}

TEST_F(KFCurveRampTest, LinearSegmentValueAndSlope) {
    EXPECT_FLOAT_EQ(At(0.25), 2.5f);
    EXPECT_FLOAT_EQ(curve.EvaluateLeftDerivative(Sec(0.25)), 10.0f);
    EXPECT_FLOAT_EQ(curve.EvaluateRightDerivative(Sec(0.25)), 10.0f);
}

TEST(KFCurveEvalTest, ConstantKeysHoldTheirOwnOrTheNextValue) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(1.0f, kConstant, KFCURVE_CONSTANT_STANDARD));
    Add(curve, 1.0, MakeKey(2.0f, kConstant, KFCURVE_CONSTANT_NEXT));
    Add(curve, 2.0, MakeKey(3.0f, kConstant));
    EXPECT_EQ(curve.Evaluate(Sec(0.9)), 1.0f);
    EXPECT_EQ(curve.Evaluate(Sec(1.0)), 2.0f);
    EXPECT_EQ(curve.Evaluate(Sec(1.1)), 3.0f);
    EXPECT_EQ(curve.Evaluate(Sec(1.99)), 3.0f);
    EXPECT_EQ(curve.EvaluateLeftDerivative(Sec(0.5)), 0.0f);
}

TEST(KFCurveEvalTest, UnknownInterpolationEvaluatesToZero) {
    KFCurve curve;
    KFCurveKey odd = MakeKey(5.0f, kLinear);
    odd.SetInterpolation(0);
    Add(curve, 0.0, odd);
    Add(curve, 1.0, MakeKey(6.0f, kLinear));
    EXPECT_EQ(curve.Evaluate(Sec(0.5)), 0.0f);
    EXPECT_EQ(curve.EvaluateRightDerivative(Sec(0.5)), 0.0f);
    EXPECT_EQ(curve.Evaluate(Sec(0.0)), 5.0f);
}

TEST(KFCurveEvalTest, FlatCubicHandlesGiveAnEaseWithHalfAtTheMiddle) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f));
    Add(curve, 1.0, MakeKey(1.0f));
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(0.5)), 0.5f);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(0.25)), 0.15625f);  // 3u^2 - 2u^3
    EXPECT_FLOAT_EQ(curve.EvaluateLeftDerivative(Sec(0.5)), 1.5f);
}

namespace {

// The value of a weighted segment found by bisection on its time Bezier, in
// double precision, as an independent reference.
double WeightedReference(double v0, double v3, double d0, double d3, double w1, double w2, double u) {
    auto bezier = [](double p0, double p1, double p2, double p3, double s) {
        const double r = 1.0 - s;
        return r * r * r * p0 + 3 * r * r * s * p1 + 3 * r * s * s * p2 + s * s * s * p3;
    };
    double lo = 0.0, hi = 1.0;
    for (int k = 0; k < 100; ++k) {
        const double mid = 0.5 * (lo + hi);
        (bezier(0.0, w1, 1.0 - w2, 1.0, mid) < u ? lo : hi) = mid;
    }
    return bezier(v0, v0 + d0 * w1, v3 - d3 * w2, v3, 0.5 * (lo + hi));
}

}  // namespace

TEST(KFCurveEvalTest, WeightsOfOneThirdEqualTheUnweightedSegment) {
    KFCurve plain, weighted;
    Add(plain, 0.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 3.0f, -2.0f));
    Add(plain, 2.0, MakeKey(4.0f));
    Add(weighted, 0.0,
        MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 3.0f, -2.0f, KFCURVE_WEIGHTED_ALL, 1.0f / 3, 1.0f / 3));
    Add(weighted, 2.0, MakeKey(4.0f));
    for (double t = 0.0; t <= 2.0; t += 0.125)
        EXPECT_NEAR(plain.Evaluate(Sec(t)), weighted.Evaluate(Sec(t)), 2e-5) << t;
}

TEST(KFCurveEvalTest, WeightedSegmentFollowsItsTimeBezier) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 4.0f, 1.0f, KFCURVE_WEIGHTED_ALL, 0.6f, 0.1f));
    Add(curve, 1.0, MakeKey(2.0f));
    const double w1 = curve.KeyGetRightTangeantWeight(0);
    const double w2 = curve.KeyGetLeftTangeantWeight(1);
    for (double u = 0.05; u < 1.0; u += 0.1)
        EXPECT_NEAR(curve.Evaluate(Sec(u)), WeightedReference(0, 2, 4, 1, w1, w2, u), 1e-4) << u;
    // Only the right weight set: the left side stays at one third.
    KFCurve right;
    Add(right, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 4.0f, 1.0f, KFCURVE_WEIGHTED_RIGHT, 0.8f));
    Add(right, 1.0, MakeKey(2.0f));
    EXPECT_NEAR(right.Evaluate(Sec(0.3)),
                WeightedReference(0, 2, 4, 1, right.KeyGetRightTangeantWeight(0), 1.0 / 3, 0.3), 1e-4);
}

TEST(KFCurveEvalTest, SecantSolverFindsTheWarpRoot) {
    const float x = rtsec(&CubicWarp, 0.0f, 1.0f, 0.3f, 0.2f, 0.7f);
    EXPECT_NEAR(CubicWarp(x, 0.3f, 0.2f, 0.7f), 0.0f, 1e-5f);
    EXPECT_NEAR(CubicWarp(0.0f, 0.25f, 0.2f, 0.2f), 0.75f, 1e-7f);  // parameter measured from the end
    EXPECT_EQ(rtsec(nullptr, 0.0f, 1.0f, 0.3f, 0.2f, 0.7f), 0.0f);
}

TEST(KFCurveEvalTest, DerivativesOnKeysAndOutsideTheKeys) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 1.0f, 2.0f));
    Add(curve, 1.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, -3.0f, 0.5f));
    Add(curve, 2.0, MakeKey(0.0f));
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPreExtrapolationCount(5);
    EXPECT_EQ(curve.EvaluateLeftDerivative(Sec(1.0)), 2.0f);
    EXPECT_EQ(curve.EvaluateRightDerivative(Sec(1.0)), -3.0f);
    for (double t : {-0.5, 2.5}) {
        EXPECT_EQ(curve.EvaluateLeftDerivative(Sec(t)), 0.0f) << t;
        EXPECT_EQ(curve.EvaluateRightDerivative(Sec(t)), 0.0f) << t;
    }
    KFCurve one;
    Add(one, 0.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 5.0f, 5.0f));
    EXPECT_EQ(one.EvaluateRightDerivative(Sec(0.0)), 0.0f);
}

TEST(KFCurveEvalTest, TcbSegmentInBothEvaluationModes) {
    KFCurve curve;
    Add(curve, 0.0, TcbKey(0.0f, 0, 0, 0));
    Add(curve, 1.0, TcbKey(1.0f, 0, 0, 0));
    Add(curve, 2.0, TcbKey(0.0f, 0, 0.5f, 0));
    Add(curve, 3.0, TcbKey(1.0f, 0, 0, 0));
    const bool saved = KFCURVE_GetTCB4051EvalMode();
    // Incoming tangent of key 2: 0.5 from its own formula, -0.5 when it shares the outgoing one.
    KFCURVE_SetTCB4051EvalMode(false);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(1.5)), 0.4375f);
    KFCURVE_SetTCB4051EvalMode(true);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(1.5)), 0.5625f);
    KFCURVE_SetTCB4051EvalMode(saved);
}

TEST(KFCurveEvalTest, HintFollowsSortedAndRandomEvaluation) {
    KFCurve curve;
    std::mt19937 random(3);
    for (int i = 0; i < 300; ++i) {
        KFCurveKey key = MakeKey(static_cast<float>(random() % 100), kCubic, KFCURVE_TANGEANT_AUTO);
        curve.KeyAdd(Sec(i * 0.1), key);
    }
    int hint = 0;
    for (double t = -1.0; t < 31.0; t += 0.013) {
        const float hinted = curve.Evaluate(Sec(t), &hint);
        EXPECT_EQ(hinted, curve.Evaluate(Sec(t))) << t;
    }
    int jumpy = 150;
    for (int k = 0; k < 500; ++k) {
        const double t = (random() % 31000) / 1000.0;
        EXPECT_EQ(curve.Evaluate(Sec(t), &jumpy), curve.Evaluate(Sec(t))) << t;
    }
}

TEST(KFCurveEvalTest, RepetitionMatchesTheTimeFoldedIntoTheKeys) {
    KFCurve curve;
    std::mt19937 random(11);
    for (int i = 0; i < 12; ++i) {
        KFCurveKey key = MakeKey(static_cast<float>(random() % 50), kCubic, KFCURVE_TANGEANT_AUTO);
        curve.KeyAdd(KTime(1000 + i * 777 + static_cast<kLongLong>(random() % 300)), key);
    }
    const kLongLong t0 = curve.KeyGetPtr(0)->GetTime().Get();
    const kLongLong span = curve.KeyGetPtr(11)->GetTime().Get() - t0;
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPreExtrapolationCount(100);
    curve.SetPostExtrapolationCount(100);
    for (int k = 0; k < 2000; ++k) {
        const kLongLong t = t0 - 50 * span + static_cast<kLongLong>(random() % (100 * span));
        kLongLong folded = (t - t0) % span;
        if (folded < 0) folded += span;
        if (folded == 0) continue;  // a cycle boundary may show either end key
        EXPECT_EQ(curve.Evaluate(KTime(t)), curve.Evaluate(KTime(t0 + folded))) << t;
    }
}

// ---- Extrema -------------------------------------------------------------------

TEST(KFCurvePeaksTest, OneHumpOfUnequalSlopes) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 3.0f, -1.0f));
    Add(curve, 1.0, MakeKey(0.0f));
    KTime t1, t2;
    ASSERT_EQ(curve.FindPeaks(0, t1, t2), 1);
    EXPECT_NEAR(t1.GetSecondDouble(), (10.0 - std::sqrt(28.0)) / 12.0, 1e-6);
    float v1 = -99.0f, v2 = -99.0f;
    ASSERT_EQ(curve.FindPeaks(0, v1, v2), 1);
    EXPECT_FLOAT_EQ(v1, curve.Evaluate(t1));
    EXPECT_EQ(v2, -99.0f);  // not reported, not written
}

TEST(KFCurvePeaksTest, SymmetricHumpHasItsPeakAtTheMiddle) {
    // Equal and opposite end slopes make the derivative linear.
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 1.0f, -1.0f));
    Add(curve, 1.0, MakeKey(0.0f));
    KTime t1, t2;
    float v1 = 0.0f, v2 = 0.0f;
    ASSERT_EQ(curve.FindPeaks(0, t1, v1, t2, v2), 1);
    EXPECT_NEAR(t1.GetSecondDouble(), 0.5, 1e-9);
    EXPECT_FLOAT_EQ(v1, 0.25f);
}

TEST(KFCurvePeaksTest, SShapeHasTwoOrderedExtrema) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 3.0f, 3.0f));
    Add(curve, 1.0, MakeKey(0.0f));
    KTime t1, t2;
    float v1 = 0.0f, v2 = 0.0f;
    ASSERT_EQ(curve.FindPeaks(0, t1, v1, t2, v2), 2);
    EXPECT_LT(t1, t2);
    EXPECT_NEAR(t1.GetSecondDouble() + t2.GetSecondDouble(), 1.0, 1e-6);
    EXPECT_NEAR(v1, -v2, 1e-5);
    EXPECT_GT(v1, 0.0f);
}

TEST(KFCurvePeaksTest, MonotonicSegmentsAndBadIndicesHaveNone) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 1.0f, 1.0f));
    Add(curve, 1.0, MakeKey(1.0f));
    KTime t1(7), t2(8);
    EXPECT_EQ(curve.FindPeaks(0, t1, t2), 0);  // a straight line
    for (int bad : {-1, 1, 5}) EXPECT_EQ(curve.FindPeaks(bad, t1, t2), 0);
    EXPECT_EQ(t1, KTime(7));
    KFCurve empty;
    EXPECT_EQ(empty.FindPeaks(0, t1, t2), 0);
}

// ---- The evaluation path agrees with the key getters ----------------------------

namespace {

// The value of a non-weighted cubic segment from the public tangent getters.
double ReferenceCubic(KFCurve& curve, int i, double u) {
    const KFCurveKey* a = curve.KeyGetPtr(i);
    const KFCurveKey* b = curve.KeyGetPtr(i + 1);
    const double dt = (b->GetTime() - a->GetTime()).GetSecondDouble();
    const double p0 = a->GetValue(), p3 = b->GetValue();
    const double p1 = p0 + curve.KeyGetRightDerivative(i) * dt / 3.0;
    const double p2 = p3 - curve.KeyGetLeftDerivative(i + 1) * dt / 3.0;
    const double r = 1.0 - u;
    return r * r * r * p0 + 3 * r * r * u * p1 + 3 * r * u * u * p2 + u * u * u * p3;
}

void FillMixedCurve(KFCurve& curve, unsigned seed) {
    std::mt19937 random(seed);
    const unsigned int modes[] = {KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_AUTO_BREAK, KFCURVE_TANGEANT_USER,
                                  KFCURVE_TANGEANT_USER_BREAK, KFCURVE_TANGEANT_TCB};
    double t = 0.0;
    for (int k = 0; k < 60; ++k) {
        const float value = static_cast<float>(random() % 200) * 0.1f - 10.0f;
        const unsigned int kind = random() % 8;
        KFCurveKey key;
        if (kind == 0) {
            key = MakeKey(value, kLinear);
        } else if (kind == 1) {
            key = MakeKey(value, kConstant);
        } else {
            const unsigned int mode = modes[random() % 5];
            if (mode == KFCURVE_TANGEANT_TCB) {
                key = TcbKey(value, (random() % 10) * 0.1f - 0.5f, (random() % 10) * 0.1f - 0.5f,
                             (random() % 10) * 0.1f - 0.5f);
            } else {
                // Auto parameters across their ranges, including the sweeps beyond 500.
                const float spread =
                    mode == KFCURVE_TANGEANT_AUTO || mode == KFCURVE_TANGEANT_AUTO_BREAK ? 300.0f : 2.0f;
                const float d0 =
                    random() % 3 == 0 ? 0.0f : (static_cast<float>(random() % 21) - 10.0f) * spread / 10.0f;
                const float d1 =
                    random() % 3 == 0 ? 0.0f : (static_cast<float>(random() % 21) - 10.0f) * spread / 10.0f;
                key = MakeKey(value, kCubic, mode, d0, d1);
            }
        }
        t += 0.05 + (random() % 10) * 0.07;
        Add(curve, t, key);
    }
}

}  // namespace

class KFCurveEvalAgreement : public ::testing::TestWithParam<bool> {};

TEST_P(KFCurveEvalAgreement, EverySegmentKindMatchesItsTangents) {
    const bool saved = KFCURVE_GetTCB4051EvalMode();
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
                double expected;
                switch (a->GetInterpolation()) {
                    case kConstant:
                        expected = a->GetValue();
                        break;
                    case kLinear:
                        expected = a->GetValue() + uu * (curve.KeyGetPtr(i + 1)->GetValue() - a->GetValue());
                        break;
                    default:
                        expected = ReferenceCubic(curve, i, uu);
                        break;
                }
                const float value = curve.Evaluate(t, &hint);
                EXPECT_NEAR(value, expected, 1e-4 * (1.0 + std::fabs(expected))) << seed << " key " << i << " u " << u;
            }
        }
    }
    KFCURVE_SetTCB4051EvalMode(saved);
}

INSTANTIATE_TEST_SUITE_P(TcbModes, KFCurveEvalAgreement, ::testing::Bool());

TEST(KFCurveEvalTest, EditsThroughKeyPointersShowAtOnce) {
    // Auto tangents depend on the neighbours: every one of them is watched.
    KFCurve curve;
    for (int k = 0; k < 5; ++k) Add(curve, k, MakeKey(static_cast<float>(k * k), kCubic, KFCURVE_TANGEANT_AUTO));
    const KTime t = Sec(1.5);
    const float before = curve.Evaluate(t);
    for (int k : {0, 3}) {
        curve.KeyGetPtr(k)->SetValue(curve.KeyGetPtr(k)->GetValue() + 5.0f);
        const float after = curve.Evaluate(t);
        EXPECT_NE(after, before) << k;
        EXPECT_NEAR(after, ReferenceCubic(curve, 1, 0.5), 1e-4) << k;
        curve.KeyGetPtr(k)->SetValue(curve.KeyGetPtr(k)->GetValue() - 5.0f);
        EXPECT_EQ(curve.Evaluate(t), before) << k;
    }
    // A key removed beyond the segment changes the count the tangents see.
    curve.KeyRemove(3);
    EXPECT_NEAR(curve.Evaluate(t), ReferenceCubic(curve, 1, 0.5), 1e-4);
    // Another curve with the same keys evaluates alike.
    KFCurve twin;
    twin.CopyFrom(curve);
    EXPECT_EQ(twin.Evaluate(t), curve.Evaluate(t));
}

TEST(KFCurveEvalTest, ExtremeWeightsStayOnTheSegment) {
    // Handles at 0.99 on both sides make the time Bezier turn back on itself.
    KFCurve curve;
    Add(curve, 0.0,
        MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 5.0f, -5.0f, KFCURVE_WEIGHTED_ALL, 0.99f, 0.99f));
    Add(curve, 1.0, MakeKey(1.0f));
    for (double t = 0.0; t <= 1.0; t += 0.01) {
        const float v = curve.Evaluate(Sec(t));
        ASSERT_TRUE(std::isfinite(v)) << t;
        // Within the convex hull of the control values 0, 4.95, -3.95 and 1.
        EXPECT_GE(v, -3.95f) << t;
        EXPECT_LE(v, 4.95f) << t;
    }
}

TEST(KFCurveEvalTest, SeveralThreadsWithTheirOwnHintsAgree) {
    KFCurve curve;
    std::mt19937 random(8);
    for (int i = 0; i < 500; ++i)
        Add(curve, i * 0.1, MakeKey(static_cast<float>(random() % 100), kCubic, KFCURVE_TANGEANT_AUTO));
    std::vector<float> expected;
    for (int k = 0; k < 5000; ++k) expected.push_back(curve.Evaluate(Sec(k * 0.01)));
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int w = 0; w < 4; ++w) {
        threads.emplace_back([&curve, &expected, &mismatches, w] {
            int hint = 0;
            for (int pass = 0; pass < 3; ++pass)
                for (int k = w; k < 5000; k += 1 + w)
                    if (curve.Evaluate(Sec(k * 0.01), &hint) != expected[static_cast<std::size_t>(k)]) ++mismatches[w];
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}
