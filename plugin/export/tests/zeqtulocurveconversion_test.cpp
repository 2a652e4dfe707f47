// Host curves into Zeq curves: every pair of tangent kinds copied key for key as the host plays it
// (slow and fast ones sampled), the sample grid, slopes of the keys' own, weights, key times far
// along the time line, the unit conversion of tangents and the mends for odd curves.
#include "zeqtulo_test_support.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "plugin/export/zeqtulocurveconversion.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "tfnanimcurve.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

const double kPi = 3.14159265358979323846;

struct HostKey {
    double mSeconds;
    double mValue;
    int mIn;
    int mOut;
};

class CurveConversionTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mOptions.mApplyConstantKeyReducer = false;
        mOptions.SetSamplingRate(10);
        mTransform.setObject(standin::createNode("transform", "box"));
    }
    // A curve on the transform's plug with the keys given.
    TFnAnimCurve Curve(const char* plug, const std::vector<HostKey>& keys) {
        TFnAnimCurve curve;
        curve.create(mTransform.findPlug(plug));
        for (const HostKey& k : keys) curve.addKey(TTime(k.mSeconds, TTime::kSeconds), k.mValue, k.mIn, k.mOut);
        return curve;
    }
    void Convert(const TFnAnimCurve& host, double scale = 1.0, bool force = false) {
        ZeqTuloSetFCurve(host, mCurve, force, scale, mOptions);
    }
    double Seconds(int key) const { return mCurve.KeyGetPtr(key)->GetTime().GetSecondDouble(); }
    // The largest difference between the copy and the host, as a part of the range the host plays (a
    // hundredth at least: the file holds values as floats): over its keys' span and a quarter second
    // beyond in 480 steps, and at each key.
    double WorstOff(const TFnAnimCurve& host) {
        const unsigned n = host.numKeys();
        const double first = host.time(0).as(TTime::kSeconds), last = host.time(n - 1).as(TTime::kSeconds);
        std::vector<double> times;
        for (int k = 0; k <= 480; ++k) times.push_back(first - 0.25 + (last - first + 0.5) * k / 480);
        for (unsigned k = 0; k < n; ++k) times.push_back(host.time(k).as(TTime::kSeconds));
        double low = HUGE_VAL, high = -HUGE_VAL, worst = 0;
        for (double t : times) {
            const double v = host.evaluate(TTime(t, TTime::kSeconds));
            low = std::min(low, v), high = std::max(high, v);
        }
        for (double t : times)
            worst = std::max(worst, std::fabs(mCurve.Evaluate(Ticks(t)) - host.evaluate(TTime(t, TTime::kSeconds))));
        return worst / std::max(high - low, 1e-2);
    }
    static KTime Ticks(double seconds) { return KTime(std::llround(seconds * double(KTime::kTicksPerSecond))); }

    TFnTransform mTransform;
    KFCurve mCurve;
    ZeqTuloCurveOptions mOptions;
};

TEST_F(CurveConversionTest, NoKeysLeavesTheCurveAsItWas) {
    mCurve.SetValue(7);
    mCurve.KeyAppendFast(KTime(5), 3);
    mOptions.mApplyConstantKeyReducer = true;
    Convert(Curve("translateX", {}));
    ASSERT_EQ(mCurve.KeyGetCount(), 1);
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetValue(), 3);
    EXPECT_EQ(mCurve.GetValue(), 7);
}

// Key times that are whole tick counts (as imported keys are) keep them: a time in seconds is
// taken to the nearest tick, not truncated to the one below.
TEST_F(CurveConversionTest, KeyTimesKeepTheirTicks) {
    const long long ticks[] = {10776770200LL, 16934924600LL, 21553540400LL, 86214161600LL, 1LL};
    std::vector<HostKey> keys;
    for (long long t : ticks) keys.push_back({KTime(t).GetSecondDouble(), 1, 2, 2});
    std::sort(keys.begin(), keys.end(), [](const HostKey& a, const HostKey& b) { return a.mSeconds < b.mSeconds; });
    Convert(Curve("translateX", keys));
    ASSERT_EQ(mCurve.KeyGetCount(), 5);
    const long long expected[] = {1LL, 10776770200LL, 16934924600LL, 21553540400LL, 86214161600LL};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(mCurve.KeyGetPtr(i)->GetTime().Get(), expected[i]) << i;
}

TEST_F(CurveConversionTest, LinearPairCopiesAsLinearKeys) {
    Convert(Curve("translateX", {{0, 1, 2, 2}, {1, 3, 2, 2}}));
    ASSERT_EQ(mCurve.KeyGetCount(), 2);
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetInterpolation(), unsigned(KFCURVE_INTERPOLATION_LINEAR));
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_AUTO));
    EXPECT_FLOAT_EQ(mCurve.Evaluate(KTime::OneSecond() / KTime(2)), 2.0f);
}

// Key pairs and whether they force sampling: two keys at 0 s and 1 s give 2 copied keys, which play
// as the host, or 11 samples at 10 per second (slow and fast tangents alone).
struct PairCase {
    const char* name;
    std::vector<HostKey> keys;
    bool sampled;
};

class CurvePairTest : public CurveConversionTest, public ::testing::WithParamInterface<PairCase> {};

TEST_P(CurvePairTest, CopiesOrSamples) {
    const TFnAnimCurve host = Curve("translateX", GetParam().keys);
    Convert(host);
    EXPECT_EQ(mCurve.KeyGetCount(), GetParam().sampled ? 11 : 2);
    if (!GetParam().sampled) {
        EXPECT_LE(WorstOff(host), 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, CurvePairTest,
    ::testing::Values(PairCase{"LinearLinear", {{0, 0, 2, 2}, {1, 1, 2, 2}}, false},
                      PairCase{"LinearThenSmooth", {{0, 0, 2, 2}, {1, 1, 4, 4}}, false},
                      PairCase{"FlatThenLinear", {{0, 0, 3, 3}, {1, 1, 2, 2}}, false},
                      PairCase{"FixedThenSmooth", {{0, 0, 1, 1}, {1, 1, 4, 4}}, false},
                      PairCase{"StepThenAnything", {{0, 0, 5, 5}, {1, 1, 2, 2}}, false},
                      PairCase{"LinearThenNearlyEqualClamped", {{0, 0, 2, 2}, {1, 0.0005, 8, 8}}, false},
                      PairCase{"LinearThenClamped", {{0, 0, 2, 2}, {1, 0.001, 8, 8}}, false},
                      PairCase{"FixedThenClamped", {{0, 0, 1, 1}, {1, 0.001, 8, 8}}, false},
                      PairCase{"SlowOnFirstKey", {{0, 0, 6, 2}, {1, 1, 2, 2}}, true},
                      PairCase{"FastOnLastKey", {{0, 0, 2, 2}, {1, 1, 7, 2}}, true},
                      PairCase{"FastOutOfTheFirstKey", {{0, 0, 2, 7}, {1, 1, 2, 2}}, true}),
    CaseName());

// Every kind of out-tangent before every kind of in-tangent, between two keys whose other sides
// hold slopes of their own, on keys unevenly spaced, weighted or not: the four keys go out as four
// and play as the host (weighted, within what the file's steps of weights give: 1.5e-5 of the range).
TEST_F(CurveConversionTest, EveryPairOfTangentKindsGoesOutKeyForKeyAsTheHostPlaysIt) {
    const int kinds[] = {0, 1, 2, 3, 4, 5, 8};
    const double slopes[] = {3, 2.5, -2, 1, -4, 5, -9, 0.5};
    int curves = 0;
    for (const bool weighted : {false, true}) {
        for (const int out : kinds) {
            for (const int in : kinds) {
                SCOPED_TRACE(std::to_string(out) + " before " + std::to_string(in) + (weighted ? ", weighted" : ""));
                mTransform.setObject(standin::createNode("transform"));
                TFnAnimCurve host = Curve("translateX", {{0, 0, 1, 1}, {0.3, 2, 1, out}, {0.6, -1, in, 1}, {1.1, 4, 1, 1}});
                host.setIsWeighted(weighted);
                for (unsigned k = 0; k < 4; ++k) {
                    host.setTangentsLocked(k, false);
                    for (const bool side : {true, false})
                        if ((side ? host.inTangentType(k) : host.outTangentType(k)) == 1)
                            standin::setKeyTangent(host.object(), k, side, slopes[2 * k + (side ? 0 : 1)], 0.1);
                }
                Convert(host);
                ASSERT_EQ(mCurve.KeyGetCount(), 4);
                EXPECT_LE(WorstOff(host), weighted ? 1e-4 : 1e-6);
                ++curves;
            }
        }
    }
    EXPECT_EQ(curves, 98);
}

TEST_F(CurveConversionTest, SamplesOnTheGridUpToTheFirstPointAtOrAfterTheLastKey) {
    Convert(Curve("translateX", {{0.25, 0, 2, 2}, {1.0, 1, 2, 2}}), 1.0, true);
    ASSERT_EQ(mCurve.KeyGetCount(), 9);
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetTime().Get(), 2 * 4618615800LL);
    EXPECT_EQ(mCurve.KeyGetPtr(8)->GetTime().Get(), 10 * 4618615800LL);
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetInterpolation(), unsigned(KFCURVE_INTERPOLATION_CUBIC));
    EXPECT_FLOAT_EQ(mCurve.KeyGetPtr(8)->GetValue(), 1.0f);

    KFCurve late;
    ZeqTuloSetFCurve(Curve("translateY", {{0.25, 0, 2, 2}, {0.95, 1, 2, 2}}), late, true, 1.0, mOptions);
    ASSERT_EQ(late.KeyGetCount(), 9);
    EXPECT_NEAR(late.KeyGetPtr(8)->GetTime().GetSecondDouble(), 1.0, 1e-9);
}

TEST_F(CurveConversionTest, NegativeStartTruncatesTowardZero) {
    Convert(Curve("translateX", {{-0.15, 0, 2, 2}, {0.3, 1, 2, 2}}), 1.0, true);
    ASSERT_GT(mCurve.KeyGetCount(), 0);
    EXPECT_NEAR(Seconds(0), -0.1, 1e-9);
    EXPECT_NEAR(Seconds(mCurve.KeyGetCount() - 1), 0.3, 1e-9);
}

TEST_F(CurveConversionTest, KeysWithinOnePeriodAreStillSampled) {
    Convert(Curve("translateX", {{0, 2, 2, 2}, {0.05, 4, 2, 2}}), 1.0, true);
    ASSERT_EQ(mCurve.KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(mCurve.KeyGetPtr(0)->GetValue(), 2.0f);
    EXPECT_NEAR(Seconds(1), 0.1, 1e-9);
    EXPECT_FLOAT_EQ(mCurve.KeyGetPtr(1)->GetValue(), 4.0f);
}

TEST_F(CurveConversionTest, RotationChannelsAreInDegrees) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
    ZeqTuloNode* node = manager.CreateZeqTuloNode("box", nullptr);
    Curve("rotateX", {{0, kPi, 2, 2}, {1, 0, 2, 2}});
    Curve("translateY", {{0, 2.5, 2, 2}, {1, 0, 2, 2}});
    KFCurveNode* root = node->GetDefaultTakeNode()->GetKFCurveNode();
    ZeqTuloConvertTuloCurve(mTransform, *root, false, mOptions);
    KZeqTakeNode* take = node->GetDefaultTakeNode();
    ASSERT_EQ(take->GetEulerRotationX()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(take->GetEulerRotationX()->KeyGetPtr(0)->GetValue(), 180.0f);
    EXPECT_FLOAT_EQ(take->GetTranslationY()->KeyGetPtr(0)->GetValue(), 2.5f);
    // Channels without a curve keep theirs.
    EXPECT_EQ(take->GetScaleZ()->KeyGetCount(), 0);
    // A curve node without the channel: nothing, no fault.
    KFCurveNode bare("bare", "", nullptr);
    ZeqTuloConvertTuloCurve(mTransform, bare, false, mOptions);
}

// A global tangent plays the slope its neighbours give, as a smooth one does: after a fixed key
// (leaving with 2 a second) the key goes out holding that slope, not the fixed key's.
TEST_F(CurveConversionTest, AGlobalTangentPlaysTheSlopeItsNeighboursGive) {
    TFnAnimCurve host = Curve("translateX", {{0, 0, 1, 1}, {1, 1, 1, 0}, {2, 0, 1, 0}});
    standin::setKeyTangent(host.object(), 0, false, 2.0, 0);
    host.setTangentsLocked(0, false);
    Convert(host);
    ASSERT_EQ(mCurve.KeyGetCount(), 3);
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_USER_BREAK));
    EXPECT_NEAR(mCurve.KeyGetRightDerivative(1), 0.0, 1e-6);
    EXPECT_LE(WorstOff(host), 1e-6);
}

TEST_F(CurveConversionTest, GlobalOutTangentOnTheFirstKeyIsCubicAuto) {
    Convert(Curve("translateX", {{0, 0, 0, 0}, {1, 1, 0, 0}}));
    ASSERT_EQ(mCurve.KeyGetCount(), 2);
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetInterpolation(), unsigned(KFCURVE_INTERPOLATION_CUBIC));
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_AUTO));
}

// The import makes the last of smooth keys clamped; a clamped last key is written as the cubic
// auto key it came from, so that a second export writes the same keys as the first.
TEST_F(CurveConversionTest, ClampedLastKeyIsCubicAuto) {
    Convert(Curve("translateX", {{0, 0, 4, 4}, {0.5, 1, 4, 4}, {1, 0.25, 8, 8}}));
    ASSERT_EQ(mCurve.KeyGetCount(), 3);
    EXPECT_EQ(mCurve.KeyGetPtr(2)->GetInterpolation(), unsigned(KFCURVE_INTERPOLATION_CUBIC));
    EXPECT_EQ(mCurve.KeyGetPtr(2)->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_AUTO));
    // A clamped key before the last keeps its slope as a user key.
    Convert(Curve("translateY", {{0, 0, 4, 4}, {0.5, 1, 8, 8}, {1, 0.25, 4, 4}}));
    EXPECT_EQ(mCurve.KeyGetPtr(1)->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_USER));
}

// A last key whose out-tangent would make it an automatic key but which the host arrives at with a
// slope of its own (a fixed in-tangent, as the import writes after a user-break key) keeps that
// slope: 0, 9 at 0.5 s leaving with 4 a second, -8 at 1 s arrived at with 18 play -43/9 at 5/6 s,
// after a user-break key and after a smooth one alike.
TEST_F(CurveConversionTest, ALastKeyArrivedAtWithASlopeOfItsOwnKeepsIt) {
    const char* const plugs[] = {"translateX", "translateY", "translateZ", "scaleX"};
    int plug = 0;
    for (const int lastOut : {4, 8}) {
        for (const bool breakBefore : {true, false}) {
            SCOPED_TRACE(std::to_string(lastOut) + (breakBefore ? " after a user-break key" : " after a smooth key"));
            TFnAnimCurve host = Curve(plugs[plug++], {{0, 0, 4, 4}, {0.5, 9, 4, 4}, {1, -8, 4, lastOut}});
            if (breakBefore) {
                standin::setKeyTangent(host.object(), 1, true, 12.0, 0);
                standin::setKeyTangent(host.object(), 1, false, 4.0, 0);
                host.setTangentsLocked(1, false);
            }
            standin::setKeyTangent(host.object(), 2, true, 18.0, 0);
            Convert(host);
            ASSERT_EQ(mCurve.KeyGetCount(), 3);
            if (breakBefore) {
                EXPECT_NEAR(host.evaluate(TTime(5.0 / 6, TTime::kSeconds)), -43.0 / 9, 1e-9);
            }
            for (double t : {0.25, 0.6, 0.75, 5.0 / 6, 0.95, 1.0, 1.5})
                EXPECT_NEAR(mCurve.Evaluate(Ticks(t)), host.evaluate(TTime(t, TTime::kSeconds)), 1e-5) << t;
            // Arrived at flat, or with a step's slope (0), alike.
            for (const int in : {3, 5}) {
                SCOPED_TRACE(in);
                ASSERT_TRUE(host.setInTangentType(2, in));
                Convert(host);
                ASSERT_EQ(mCurve.KeyGetCount(), 3);
                EXPECT_LE(WorstOff(host), 1e-6);
            }
        }
    }
}

// A middle key the host arrives at with a slope of its own, leaving smooth: 0 and 9 at 0.5 s (a
// user-break key leaving with 4 a second), 3 at 1 s arrived at with 18, -2 at 1.5 s linear play
// 91/27 at 5/6 s, in the host and in the copy (an automatic key there would arrive with -11: 149/27).
TEST_F(CurveConversionTest, AMiddleKeyArrivedAtWithASlopeOfItsOwnKeepsIt) {
    TFnAnimCurve host = Curve("translateX", {{0, 0, 4, 4}, {0.5, 9, 1, 1}, {1, 3, 4, 4}, {1.5, -2, 2, 2}});
    standin::setKeyTangent(host.object(), 1, true, 12.0, 0);
    standin::setKeyTangent(host.object(), 1, false, 4.0, 0);
    host.setTangentsLocked(1, false);
    standin::setKeyTangent(host.object(), 2, true, 18.0, 0);
    host.setTangentsLocked(2, false);
    Convert(host);
    ASSERT_EQ(mCurve.KeyGetCount(), 4);
    EXPECT_NEAR(host.evaluate(TTime(5.0 / 6, TTime::kSeconds)), 91.0 / 27, 1e-9);
    EXPECT_NEAR(mCurve.Evaluate(Ticks(5.0 / 6)), 91.0 / 27, 1e-5);
    EXPECT_LE(WorstOff(host), 1e-6);
}

// A linear key before a last key the host arrives at along the line (clamped or smooth there) stays
// linear: the line plays exactly where a cubic in floats would round a small move on a large value.
TEST_F(CurveConversionTest, ALinearKeyArrivingAlongTheLineStaysLinear) {
    for (const int in : {8, 4}) {
        SCOPED_TRACE(in);
        mTransform.setObject(standin::createNode("transform"));
        const TFnAnimCurve host = Curve("translateX", {{0, 1, 2, 2}, {1, 1.0005, in, in}});
        Convert(host);
        ASSERT_EQ(mCurve.KeyGetCount(), 2);
        EXPECT_EQ(mCurve.KeyGetPtr(0)->GetInterpolation(), unsigned(KFCURVE_INTERPOLATION_LINEAR));
        EXPECT_NEAR(mCurve.Evaluate(Ticks(0.5)), 1.00025, 1e-7);
    }
}

// 700,000 s on, several ticks share a host time in seconds: a key goes out at the tick that plays
// the host's value at each of them. A step after a held value at the first (else the held value
// would play up to it), a key in "next" mode (a key and a step key of the next value 10 ns on) at the
// last (else the next value would play from it).
TEST_F(CurveConversionTest, FarAlongAKeyGoesOutWhereItPlaysTheHostsValueAtEachOfItsTicks) {
    const auto seconds = [](long long t) { return KTime(t).GetSecondDouble(); };
    // The first and the last tick of a run of ticks sharing their seconds, near t.
    const auto run = [&](long long t, bool last) {
        while (seconds(t - 1) == seconds(t) || seconds(t) != seconds(t + 1)) ++t;
        if (last)
            while (seconds(t + 1) == seconds(t)) ++t;
        return t;
    };
    const long long base = 700000LL * KTime::kTicksPerSecond + KTime::kTicksPerSecond / 3;
    const long long step = run(base, false);
    Convert(Curve("translateX", {{seconds(step) - 1, 1, 5, 5}, {seconds(step), 2, 5, 5}, {seconds(step) + 1, 3, 5, 5}}));
    ASSERT_EQ(mCurve.KeyGetCount(), 3);
    EXPECT_EQ(mCurve.KeyGetPtr(1)->GetTime().Get(), step);
    EXPECT_EQ(mCurve.Evaluate(KTime(step)), 2.0f);

    const long long next = run(base, true);
    const TFnAnimCurve host = Curve("translateY", {{seconds(next) - 1, 0, 2, 2},
                                                   {seconds(next), 5, 2, 5},
                                                   {seconds(next + KTime::kTicksPerSecond / 100000000), 8, 5, 5},
                                                   {seconds(next) + 1, 8, 5, 5}});
    Convert(host);
    ASSERT_EQ(mCurve.KeyGetCount(), 3);
    EXPECT_EQ(mCurve.KeyGetPtr(1)->GetConstantMode(), unsigned(KFCURVE_CONSTANT_NEXT));
    EXPECT_EQ(mCurve.KeyGetPtr(1)->GetTime().Get(), next);
    EXPECT_EQ(host.evaluate(TTime(seconds(next), TTime::kSeconds)), 5.0);
    EXPECT_EQ(mCurve.Evaluate(KTime(next)), 5.0f);
}

TEST_F(CurveConversionTest, StepHoldsTheKeysOwnValue) {
    Convert(Curve("visibility", {{0, 1, 5, 5}, {1, 0, 5, 5}}));
    ASSERT_EQ(mCurve.KeyGetCount(), 2);
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetInterpolation(), unsigned(KFCURVE_INTERPOLATION_CONSTANT));
    EXPECT_EQ(mCurve.KeyGetPtr(0)->GetConstantMode(), unsigned(KFCURVE_CONSTANT_STANDARD));
    EXPECT_FLOAT_EQ(mCurve.Evaluate(KTime::OneSecond() / KTime(2)), 1.0f);
}

// A key holding its value followed 10 ns later by a step key of the next key's value (how the
// import brings in a constant key taking the next key's value) goes out as that one key, so that
// the automatic key before it reads no slope across the 10 ns; the slope the host arrives at it
// with (smooth there, 16 a second) is the one the file plays. On a frame of the host's the step
// is where the next value starts: the key goes out a tick before it.
TEST_F(CurveConversionTest, AKeyAndAStepKeyOfTheNextValueGoOutAsANextKey) {
    const double gap = 1e-8;
    for (const double at : {0.51, 0.5}) {
        SCOPED_TRACE(at);
        const double key = at == 0.5 ? at - gap : at;
        const std::vector<HostKey> keys = {
            {0, 0, 4, 4}, {key, 5, 4, 5}, {key + gap, 8, 5, 5}, {1, 8, 2, 2}, {1.5, 2, 2, 2}};
        const TFnAnimCurve host = Curve(at == 0.5 ? "translateX" : "translateY", keys);
        Convert(host);
        ASSERT_EQ(mCurve.KeyGetCount(), 4);
        const KFCurveKey& next = *mCurve.KeyGetPtr(1);
        EXPECT_EQ(next.GetInterpolation(), unsigned(KFCURVE_INTERPOLATION_CONSTANT));
        EXPECT_EQ(next.GetConstantMode(), unsigned(KFCURVE_CONSTANT_NEXT));
        EXPECT_EQ(next.GetValue(), 5.0f);
        const KTime atTicks = Ticks(at);
        EXPECT_EQ(next.GetTime().Get(), at == 0.5 ? atTicks.Get() - 1 : atTicks.Get());
        for (double t : {0.1, 0.25, 0.4, at + 0.01, 0.75, 1.25})
            EXPECT_NEAR(mCurve.Evaluate(Ticks(t)), host.evaluate(TTime(t, TTime::kSeconds)), 1e-5) << t;
    }
}

// Step keys that do not make such a pair stay apart: farther than 10 ns, or of another value than
// the key after them. The smooth key before plays as in the host all the same, though the step just
// after the key it arrives at is far steeper than any slope a float parameter gives back beside it.
TEST_F(CurveConversionTest, StepKeysThatMakeNoNextKeyStayApart) {
    Convert(Curve("translateX", {{0, 0, 4, 4}, {0.5, 5, 4, 5}, {0.5 + 1e-7, 8, 5, 5}, {1, 8, 2, 2}}));
    EXPECT_EQ(mCurve.KeyGetCount(), 4);
    const TFnAnimCurve host = Curve("translateY", {{0, 0, 4, 4}, {0.5, 5, 4, 5}, {0.5 + 1e-8, 7, 5, 5}, {1, 8, 2, 2}});
    Convert(host);
    EXPECT_EQ(mCurve.KeyGetCount(), 4);
    for (double t : {0.1, 0.25, 1.0 / 3, 0.45, 0.75})
        EXPECT_NEAR(mCurve.Evaluate(Ticks(t)), host.evaluate(TTime(t, TTime::kSeconds)), 1e-5) << t;
}

TEST_F(CurveConversionTest, WeightsAreTangentSecondsOverThreeSegments) {
    TFnAnimCurve host = Curve("translateX", {{0, 0, 1, 1}, {0.5, 1, 1, 2}, {1.5, 0, 2, 2}});
    host.setIsWeighted(true);
    // Under 24 UI frames per second: an x of 12 is the half second between the first two keys.
    host.setTangent(0, 6, 1, false);
    host.setTangent(1, 12, 1, true);
    Convert(host);
    ASSERT_EQ(mCurve.KeyGetCount(), 3);
    EXPECT_NEAR(mCurve.KeyGetRightTangeantWeight(0), 1.0 / 6, 1e-3);
    EXPECT_NEAR(mCurve.KeyGetLeftTangeantWeight(1), 1.0 / 3, 1e-3);
    // A linear out-tangent has no length of its own: a third.
    EXPECT_NEAR(mCurve.KeyGetRightTangeantWeight(1), 1.0 / 3, 1e-3);
}

// Weights are kept in steps of 1/9999: a weight is written to its nearest step, and a weight that
// is a step already (one read from a file, gone through the host's tangents) keeps that step
// instead of losing one to truncation on each pass.
TEST_F(CurveConversionTest, WeightsKeepTheirNearestStep) {
    TFnAnimCurve host = Curve("translateX", {{0, 0, 1, 1}, {0.25, 3, 1, 1}});
    host.setIsWeighted(true);
    const double steps[] = {138, 277.75, 3333};
    const short expected[] = {138, 278, 3333};
    for (int i = 0; i < 3; ++i) {
        // Host handle length w x dt, given as a tangent of three handles in UI frames (24 a second).
        const double weight = steps[i] / 9999.0;
        host.setTangent(0, static_cast<float>(3 * weight * 0.25 * 24), 0, false);
        Convert(host);
        ASSERT_EQ(mCurve.KeyGetCount(), 2);
        EXPECT_EQ(std::lround(mCurve.KeyGetRightTangeantWeight(0) * 9999.0), expected[i]) << steps[i];
    }
}

TEST_F(CurveConversionTest, ZeroLengthTangentsStayFinite) {
    TFnAnimCurve host = Curve("translateX", {{0, 0, 1, 1}, {1, 1, 1, 1}});
    host.setIsWeighted(true);
    standin::setKeyTangent(host.object(), 0, false, 3.0, 0.0);
    standin::setKeyTangent(host.object(), 1, true, 3.0, 0.0);
    Convert(host);
    ASSERT_EQ(mCurve.KeyGetCount(), 2);
    EXPECT_TRUE(std::isfinite(mCurve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE)));
    EXPECT_TRUE(std::isfinite(mCurve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE)));
}

TEST_F(CurveConversionTest, ReducerKeepsFirstAndLastKeys) {
    mOptions.mApplyConstantKeyReducer = true;
    Convert(Curve("translateX", {{0, 1, 3, 3}, {1, 1, 3, 3}, {2, 1, 3, 3}, {3, 1, 3, 3}}));
    ASSERT_EQ(mCurve.KeyGetCount(), 2);
    EXPECT_NEAR(Seconds(1), 3.0, 1e-9);
    mOptions.mApplyConstantKeyReducer = false;
    KFCurve all;
    ZeqTuloSetFCurve(Curve("translateY", {{0, 1, 3, 3}, {1, 1, 3, 3}, {2, 1, 3, 3}}), all, false, 1.0, mOptions);
    EXPECT_EQ(all.KeyGetCount(), 3);
}

TEST_F(CurveConversionTest, UnusableRatesSampleAtThirty) {
    for (double rate : {0.0, -5.0, std::nan(""), HUGE_VAL, 1e12}) {
        ZeqTuloCurveOptions options;
        options.SetSamplingRate(rate);
        EXPECT_TRUE(options.mRateReplaced) << rate;
        EXPECT_EQ(options.mSamplingRate, 30.0) << rate;
        EXPECT_NE(std::string(options.RateWarning()).find("ZEQ Export Warning: "), std::string::npos);
    }
    ZeqTuloCurveOptions fine;
    fine.SetSamplingRate(24);
    EXPECT_FALSE(fine.mRateReplaced);
    EXPECT_STREQ(fine.RateWarning(), "");
}

TEST_F(CurveConversionTest, SamplesBeyondWhatACurveHoldsFallBackToTheKeys) {
    mOptions.SetSamplingRate(1e9);
    Convert(Curve("translateX", {{0, 0, 6, 6}, {10, 1, 6, 6}}));
    EXPECT_EQ(mCurve.KeyGetCount(), 2);
}

TEST_F(CurveConversionTest, TimesPastTheTickRangeKeepTheFirst) {
    Convert(Curve("translateX", {{0, 0, 2, 2}, {1e10, 1, 2, 2}, {2e10, 2, 2, 2}}));
    ASSERT_EQ(mCurve.KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(mCurve.KeyGetPtr(1)->GetValue(), 1.0f);
}

TEST_F(CurveConversionTest, SampledRotationTakesItsSpanFromTheKeyedAxis) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
    ZeqTuloNode* node = manager.CreateZeqTuloNode("box", nullptr);
    mTransform.findPlug("rotateZ").setValue(kPi / 2);
    Curve("rotateY", {{0.2, 0, 2, 2}, {0.5, kPi / 4, 2, 2}});
    KFCurveNode* rotation = node->GetDefaultTakeNode()->GetKFCurveNode()->FindRecursive("R");
    ASSERT_NE(rotation, nullptr);
    ZeqTuloSetRotationFCurve(mTransform, *rotation, TEulerRotation::kXYZ, mOptions);
    KZeqTakeNode* take = node->GetDefaultTakeNode();
    ASSERT_EQ(take->GetEulerRotationX()->KeyGetCount(), 4);
    EXPECT_EQ(take->GetEulerRotationZ()->KeyGetCount(), 4);
    EXPECT_NEAR(take->GetEulerRotationY()->KeyGetPtr(3)->GetValue(), 45.0, 1e-4);
    EXPECT_NEAR(take->GetEulerRotationZ()->KeyGetPtr(3)->GetValue(), 90.0, 1e-4);
    EXPECT_NEAR(take->GetEulerRotationX()->KeyGetPtr(0)->GetTime().GetSecondDouble(), 0.2, 1e-9);
}

// The same internal slopes give the same Zeq slopes and weights whatever the UI units.
struct UnitCase {
    const char* name;
    int distance, angle, time;
};

class CurveUnitTest : public CurveConversionTest, public ::testing::WithParamInterface<UnitCase> {};

TEST_P(CurveUnitTest, SlopesDoNotDependOnUIUnits) {
    const UnitCase& units = GetParam();
    standin::setUnits(units.distance, units.angle, units.time);
    for (bool weighted : {false, true}) {
        for (const char* plug : {"translateX", "rotateY"}) {
            mTransform.setObject(standin::createNode("transform"));
            TFnAnimCurve host = Curve(plug, {{0, 0, 1, 1}, {0.5, 1, 1, 1}});
            host.setIsWeighted(weighted);
            standin::setKeyTangent(host.object(), 0, false, 2.0, 0.125);
            standin::setKeyTangent(host.object(), 1, true, -4.0, 0.25);
            KFCurve curve;
            const double scale = plug[0] == 'r' ? 57.29577951308232 : 1.0;
            ZeqTuloSetFCurve(host, curve, false, scale, mOptions);
            ASSERT_EQ(curve.KeyGetCount(), 2);
            EXPECT_NEAR(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), 2.0 * scale, 1e-4 * scale)
                << plug;
            EXPECT_NEAR(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), -4.0 * scale, 1e-4 * scale)
                << plug;
            if (weighted) {  // the handle over the key interval
                EXPECT_NEAR(curve.KeyGetRightTangeantWeight(0), 0.125 / 0.5, 1e-3) << plug;
                EXPECT_NEAR(curve.KeyGetLeftTangeantWeight(1), 0.25 / 0.5, 1e-3) << plug;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Units, CurveUnitTest,
                         ::testing::Values(UnitCase{"CentimetresDegrees24", TDistance::kCentimeters, TAngle::kDegrees,
                                                    TTime::kFilm},
                                           UnitCase{"InchesRadians30", TDistance::kInches, TAngle::kRadians,
                                                    TTime::kNTSCFrame}),
                         CaseName());

}  // namespace
