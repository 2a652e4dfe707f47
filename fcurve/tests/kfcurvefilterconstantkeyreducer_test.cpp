#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::Add;
using fcurvetest::kConstant;
using fcurvetest::kCubic;
using fcurvetest::kLinear;
using fcurvetest::MakeKey;
using fcurvetest::Sec;

namespace {

constexpr kLongLong kSecond = KTime::kTicksPerSecond;

// Keys at 0, 1, 2, ... s with flat user tangents.
void FlatKeys(KFCurve& curve, std::initializer_list<float> values) {
    int t = 0;
    for (float v : values) Add(curve, t++, MakeKey(v));
}

std::vector<double> KeySeconds(const KFCurve& curve) {
    std::vector<double> seconds;
    for (int i = 0; i < curve.KeyGetCount(); ++i) seconds.push_back(curve.KeyGetPtr(i)->GetTime().GetSecondDouble());
    return seconds;
}

using Seconds = std::vector<double>;

// ---- Curve form: worked examples -------------------------------------------

TEST(KFCurveFilterConstantKeyReducer, ResetValues) {
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_STREQ(filter.GetName(), "Constant Key Reducer");
    EXPECT_EQ(filter.GetDerivativeTolerance(), 5e-13);
    EXPECT_EQ(filter.GetRotationThreshold(), 0.0005);
    EXPECT_EQ(filter.GetStartTime(), KTime::MinusInfinite());
    EXPECT_EQ(filter.GetStopTime(), KTime::Infinite());
    filter.SetKeepOneKey(true);
    filter.SetValueTolerance(1.0);
    filter.Reset();
    EXPECT_FALSE(filter.GetKeepOneKey());
    EXPECT_EQ(filter.GetValueTolerance(), 5e-13);
}

TEST(KFCurveFilterConstantKeyReducer, InnerKeysOfARunGo) {
    KFCurve curve;
    FlatKeys(curve, {0, 1, 1, 1, 1, 2});
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(KeySeconds(curve), (Seconds{0, 1, 4, 5}));
    EXPECT_EQ(filter.GetLastErrorID(), -1);
}

struct ConstantCase {
    bool keepFirstAndLast;
    bool keepOne;
    Seconds remaining;
};

class ConstantCurve : public ::testing::TestWithParam<ConstantCase> {};

TEST_P(ConstantCurve, AllFiveCurve) {
    KFCurve curve;
    for (int i = 0; i < 10; ++i) Add(curve, i, MakeKey(5.0f, kCubic, KFCURVE_TANGEANT_AUTO));
    KFCurveFilterConstantKeyReducer filter;
    filter.SetKeepFirstAndLastKeys(GetParam().keepFirstAndLast);
    filter.SetKeepOneKey(GetParam().keepOne);
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(KeySeconds(curve), GetParam().remaining);
    EXPECT_FLOAT_EQ(curve.Evaluate(Sec(4.5)), 5.0f);
    if (GetParam().remaining.empty()) {
        EXPECT_FLOAT_EQ(curve.GetValue(), 5.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Options, ConstantCurve,
                         ::testing::Values(ConstantCase{false, false, {}}, ConstantCase{true, false, {0, 9}},
                                           ConstantCase{false, true, {0}}, ConstantCase{true, true, {0, 9}}));

TEST(KFCurveFilterConstantKeyReducer, SteepIncomingTangentKeepsTheRunsFirstKey) {
    KFCurve curve;
    // Key 1 arrives steeply (slope 5, held on key 0) and leaves flat.
    Add(curve, 0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 0.0f, 5.0f));
    Add(curve, 1, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK));
    for (int t = 2; t <= 4; ++t) Add(curve, t, MakeKey(1.0f));
    Add(curve, 5, MakeKey(2.0f));
    const float arriving = curve.KeyGetLeftDerivative(1);
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(KeySeconds(curve), (Seconds{0, 1, 4, 5}));
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), arriving);
}

TEST(KFCurveFilterConstantKeyReducer, LinearKeysSkipTheirTangentTests) {
    KFCurve curve;
    Add(curve, 0, MakeKey(0.0f));
    const float values[] = {1.0f, 1.2f, 1.0f, 1.2f, 1.0f};
    for (int k = 0; k < 5; ++k) Add(curve, k + 1, MakeKey(values[k], kLinear));
    Add(curve, 6, MakeKey(3.0f));
    KFCurveFilterConstantKeyReducer filter;
    filter.SetValueTolerance(0.3);
    EXPECT_TRUE(filter.Apply(curve));
    // Keys 2 to 4 go: their slopes of +-0.2 per second are never compared.
    EXPECT_EQ(KeySeconds(curve), (Seconds{0, 1, 5, 6}));

    // The same values with cubic keys sloping up and down: the slopes break every run.
    KFCurve cubic;
    Add(cubic, 0, MakeKey(0.0f));
    for (int k = 0; k < 5; ++k) {
        const float slope = k % 2 ? -0.2f : 0.2f;
        Add(cubic, k + 1, MakeKey(values[k], kCubic, KFCURVE_TANGEANT_USER, slope, slope));
    }
    Add(cubic, 6, MakeKey(3.0f));
    EXPECT_FALSE(filter.Apply(cubic));
    EXPECT_EQ(cubic.KeyGetCount(), 7);
}

TEST(KFCurveFilterConstantKeyReducer, SpanLimitsTheKeysTouched) {
    KFCurve curve;
    for (int i = 0; i < 10; ++i) Add(curve, i, MakeKey(5.0f));
    KFCurveFilterConstantKeyReducer filter;
    filter.SetStartTime(Sec(3));
    filter.SetStopTime(Sec(6));
    EXPECT_TRUE(filter.Apply(curve));
    // Start key 2 (the key before the span), stop key 7 (the key after it).
    EXPECT_EQ(KeySeconds(curve), (Seconds{0, 1, 2, 7, 8, 9}));
}

TEST(KFCurveFilterConstantKeyReducer, TwoFlatKeys) {
    for (bool keepOne : {false, true}) {
        KFCurve curve;
        FlatKeys(curve, {4, 4});
        KFCurveFilterConstantKeyReducer filter;
        filter.SetKeepOneKey(keepOne);
        EXPECT_TRUE(filter.Apply(curve));
        if (keepOne) {
            EXPECT_EQ(KeySeconds(curve), (Seconds{0}));
        } else {
            EXPECT_EQ(curve.KeyGetCount(), 0);
            EXPECT_FLOAT_EQ(curve.GetValue(), 4.0f);
        }
    }
    // A key outside the span stays; with one key removed the curve still changed.
    KFCurve curve;
    FlatKeys(curve, {4, 4});
    KFCurveFilterConstantKeyReducer filter;
    filter.SetStopTime(Sec(0.5));
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(KeySeconds(curve), (Seconds{1}));
}

TEST(KFCurveFilterConstantKeyReducer, SingleKeyBecomesTheDefaultValueInsideTheSpan) {
    KFCurve curve;
    Add(curve, 2, MakeKey(7.0f));
    KFCurveFilterConstantKeyReducer filter;
    filter.SetStartTime(Sec(3));
    EXPECT_FALSE(filter.Apply(curve)) << "the key lies before the span";
    EXPECT_EQ(curve.KeyGetCount(), 1);
    filter.Reset();
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(curve.KeyGetCount(), 0);
    EXPECT_FLOAT_EQ(curve.GetValue(), 7.0f);
}

TEST(KFCurveFilterConstantKeyReducer, FailuresLeaveTheCurveAsItWas) {
    KFCurveFilterConstantKeyReducer filter;
    KFCurve empty;
    EXPECT_FALSE(filter.Apply(empty));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "ConstantKeyReducer, No key to be filtered.");

    KFCurve curve;
    FlatKeys(curve, {0, 1, 2, 3});
    const int updateId = curve.GetUpdateId();
    EXPECT_FALSE(filter.Apply(curve));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_STREQ(filter.GetLastErrorString(), "ConstantKeyReducer, No key were changed by filter.");
    EXPECT_EQ(curve.KeyGetCount(), 4);
    EXPECT_EQ(curve.GetUpdateId(), updateId);

    // Negative tolerances make every interval empty.
    KFCurve flat;
    FlatKeys(flat, {1, 1, 1, 1});
    filter.SetValueTolerance(-1.0);
    EXPECT_FALSE(filter.Apply(flat));
    EXPECT_EQ(flat.KeyGetCount(), 4);
}

void CountEvents(KFCurve*, KFCurveEvent*, void* data) { ++*static_cast<int*>(data); }

TEST(KFCurveFilterConstantKeyReducer, ManyRunsAreReportedOnce) {
    KFCurve curve;
    for (int i = 0; i < 300; ++i) Add(curve, i, MakeKey(static_cast<float>(i / 5)));
    int events = 0;
    curve.CallbackRegister(CountEvents, &events);
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(curve.KeyGetCount(), 120) << "runs of five keep their two end keys";
    EXPECT_EQ(events, 1);
    EXPECT_TRUE(curve.CheckCurve());
}

// ---- Tree form: thresholds by channel -----------------------------------------

class ReducerTree : public ::testing::Test {
protected:
    // A node with children X, Y, Z whose curves wander by 0.0002 around 0.
    KFCurveNode* MakeChannel(const char* name) {
        KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr));
        for (const char* child : {"X", "Y", "Z"}) {
            KFCurve& curve = *node->FindOrCreate(child)->FCurveGet();
            FlatKeys(curve, {0, 0, 0.0002f, 0.0001f, 0, 0});
        }
        return node;
    }
    static int Keys(KFCurveNode* node, int child) { return node->Get(child)->FCurveGet()->KeyGetCount(); }
};

TEST_F(ReducerTree, RotationChannelsUseTheRotationThreshold) {
    KFCurveNode* rotation = MakeChannel("Lcl Rotation");
    KFCurveNode* translation = MakeChannel("T");
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_TRUE(filter.Apply(*rotation, true));
    EXPECT_TRUE(filter.Apply(*translation, true));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Keys(rotation, c), 0) << "all within 0.0005 of each other";
        EXPECT_EQ(Keys(translation, c), 6) << "no run of more than two keys";
    }
    EXPECT_EQ(filter.GetDerivativeTolerance(), 5e-13);
    EXPECT_EQ(filter.GetValueTolerance(), 5e-13);
    rotation->Destroy();
    translation->Destroy();
}

TEST_F(ReducerTree, TolerancesSetByTheCallerStay) {
    KFCurveNode* rotation = MakeChannel("R");
    KFCurveFilterConstantKeyReducer filter;
    filter.SetValueTolerance(1e-9);
    filter.Apply(*rotation, true);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Keys(rotation, c), 6);
    EXPECT_EQ(filter.GetValueTolerance(), 1e-9);
    rotation->Destroy();
}

TEST_F(ReducerTree, EachChannelChoosesItsOwnThresholdUnderAParent) {
    KFCurveNode* root = KFCurveNodeCreate("Transform", static_cast<KDataType*>(nullptr));
    KFCurveNode* translation = MakeChannel("T");
    KFCurveNode* rotation = MakeChannel("R");
    root->Add(translation);
    root->Add(rotation);
    KFCurveFilterConstantKeyReducer filter;
    filter.SetDefaultThreshold(0.01);
    filter.SetTranslationThreshold(1e-6);
    EXPECT_TRUE(filter.Apply(*root, true));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Keys(translation, c), 6) << "the translation threshold, not the root's default";
        EXPECT_EQ(Keys(rotation, c), 0);
    }
    root->Destroy();
}

// ---- Against one deletion per run ----------------------------------------------

// The reduction as plain successive deletions: the behaviour the filter must
// reproduce without their cost.
bool ReduceByDeletions(KFCurve& curve, KFCurveFilterConstantKeyReducer& options, int startKey, int stopKey) {
    const double dTol = options.GetDerivativeTolerance();
    const double vTol = options.GetValueTolerance();
    auto within = [](double x, double c, double t) { return x >= c - t && x <= c + t; };
    const int s = startKey;
    int i = std::min(stopKey, curve.KeyGetCount() - 1);
    bool changed = false;
    for (;;) {
        const double v = curve.KeyGetPtr(i)->GetValue();
        const double l = curve.KeyGetLeftDerivative(i);
        int n = 1;
        int k = s - 1;
        for (int j = i - 1; j >= s; --j) {
            const KFCurveKey* key = curve.KeyGetPtr(j);
            if ((key->GetInterpolation() != kLinear && !within(curve.KeyGetRightDerivative(j), l, dTol)) ||
                !within(key->GetValue(), v, vTol)) {
                k = j;
                break;
            }
            ++n;
            if (j > 0 && curve.KeyGetPtr(j - 1)->GetInterpolation() != kLinear &&
                !within(curve.KeyGetLeftDerivative(j), l, dTol)) {
                k = j;
                break;
            }
        }
        if (n > 2) {
            if (n == curve.KeyGetCount() && !options.GetKeepFirstAndLastKeys()) {
                if (options.GetKeepOneKey()) {
                    curve.Delete(1, curve.KeyGetCount() - 1);
                } else {
                    const float first = curve.KeyGetPtr(0)->GetValue();
                    curve.KeyClear();
                    curve.SetValue(first);
                }
            } else {
                curve.Delete(i - n + 2, i - 1);
            }
            changed = true;
        }
        if (k <= s) break;
        i = k;
    }
    if (!options.GetKeepFirstAndLastKeys()) {
        const KTime start = options.GetStartTime();
        const KTime stop = options.GetStopTime();
        auto inSpan = [&](int index) {
            return curve.KeyGetPtr(index)->GetTime() >= start && curve.KeyGetPtr(index)->GetTime() <= stop;
        };
        if (curve.KeyGetCount() == 1 && !options.GetKeepOneKey() && inSpan(0)) {
            curve.SetValue(curve.KeyGetPtr(0)->GetValue());
            curve.KeyClear();
            changed = true;
        } else if (curve.KeyGetCount() == 2) {
            const float v0 = curve.KeyGetPtr(0)->GetValue();
            const double l0 = curve.KeyGetLeftDerivative(0);
            if (within(v0, curve.KeyGetPtr(1)->GetValue(), vTol) && within(curve.KeyGetRightDerivative(0), l0, dTol) &&
                within(curve.KeyGetLeftDerivative(1), l0, dTol) && within(curve.KeyGetRightDerivative(1), l0, dTol)) {
                int budget = options.GetKeepOneKey() ? 1 : 2;
                if (inSpan(1)) {
                    curve.KeyRemove(1);
                    --budget;
                    changed = true;
                }
                if (budget > 0 && inSpan(0)) {
                    curve.KeyRemove(0);
                    changed = true;
                }
                if (curve.KeyGetCount() == 0) {
                    curve.KeyClear();
                    curve.SetValue(v0);
                }
            }
        }
    }
    return changed;
}

class ReducerAgainstDeletions : public ::testing::TestWithParam<int> {};

KFCurveKey RandomKey(std::mt19937& rng, float value) {
    const float slopes[] = {0.0f, 0.0f, 0.0f, 0.5f};
    const float slope = slopes[rng() % 4];
    switch (rng() % 9) {
        case 0:
            return MakeKey(value, kLinear);
        case 1:
            return MakeKey(value, kConstant);
        case 2:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_AUTO, (rng() % 3 == 0) ? 30.0f : 0.0f);
        case 3:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_AUTO_BREAK);
        case 4:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_USER, slope, slope);
        case 5:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_USER, slope, 0.0f, KFCURVE_WEIGHTED_ALL, 0.2f, 0.4f);
        case 6:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.0f, slope);
        case 7:
            return fcurvetest::TcbKey(value, 0.0f, 0.0f, (rng() % 2) ? 0.0f : 0.3f);
        default:
            return MakeKey(value);
    }
}

TEST_P(ReducerAgainstDeletions, SameKeysAsOneDeletionPerRun) {
    std::mt19937 rng(static_cast<unsigned>(GetParam()));
    for (int round = 0; round < 40; ++round) {
        KFCurve curve;
        const int n = 2 + static_cast<int>(rng() % 150);
        float value = 0.0f;
        for (int k = 0; k < n; ++k) {
            if (rng() % 10 < 3) value = static_cast<float>(rng() % 3) * 0.5f;
            const KFCurveKey key = RandomKey(rng, value);
            const int index = curve.KeyAppendFast(KTime(k * (kSecond / 24) + static_cast<kLongLong>(rng() % 1000)), 0);
            KFCurveKey placed = key;
            placed.SetTime(curve.KeyGetPtr(index)->GetTime());
            *curve.KeyGetPtr(index) = placed;
        }
        KFCurveFilterConstantKeyReducer filter;
        const double tolerances[] = {5e-13, 0.01, 0.6};
        filter.SetValueTolerance(tolerances[rng() % 3]);
        filter.SetDerivativeTolerance(tolerances[rng() % 3]);
        filter.SetKeepFirstAndLastKeys(rng() % 4 == 0);
        filter.SetKeepOneKey(rng() % 4 == 0);
        if (rng() % 2) filter.SetStartTime(curve.KeyGetPtr(static_cast<int>(rng() % n))->GetTime());
        if (rng() % 2) filter.SetStopTime(curve.KeyGetPtr(static_cast<int>(rng() % n))->GetTime() + KTime(7));

        KFCurve expected;
        expected.CopyFrom(curve, true);
        const bool expectedChanged =
            ReduceByDeletions(expected, filter, filter.GetStartKey(expected), filter.GetStopKey(expected));
        const bool changed = filter.Apply(curve);
        ASSERT_EQ(changed, expectedChanged) << "round " << round;
        ASSERT_EQ(curve.KeyGetCount(), expected.KeyGetCount()) << "round " << round;
        EXPECT_EQ(curve.GetValue(), expected.GetValue());
        for (int k = 0; k < curve.KeyGetCount(); ++k)
            ASSERT_EQ(std::memcmp(curve.KeyGetPtr(k), expected.KeyGetPtr(k), sizeof(KFCurveKey)), 0)
                << "round " << round << " key " << k;
        EXPECT_TRUE(curve.CheckCurve());
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReducerAgainstDeletions, ::testing::Range(1, 17));

}  // namespace
