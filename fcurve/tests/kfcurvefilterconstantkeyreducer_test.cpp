#include "fcurve/kfcurvefilterconstantkeyreducer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Keys at 0, 1, 2, ... s with flat user tangents.
void FlatKeys(KFCurve& curve, std::initializer_list<float> values) {
    int t = 0;
    for (float v : values) Add(curve, t++, MakeKey(v));
}

// Flat keys, options and span (NAN: open), what is left and whether Apply says
// the curve changed; a curve left without keys holds the first key's value.
struct ReduceCase {
    std::vector<float> values;
    bool keepFirstAndLast, keepOne;
    double start, stop;
    std::vector<KTime> remaining;
    bool changed;
};

class ConstantKeyReducer : public ::testing::TestWithParam<ReduceCase> {};

TEST_P(ConstantKeyReducer, FlatRunsLoseTheirInnerKeys) {
    const ReduceCase& c = GetParam();
    KFCurve curve;
    int t = 0;
    for (float v : c.values) Add(curve, t++, MakeKey(v));
    KFCurveFilterConstantKeyReducer filter;
    filter.SetKeepFirstAndLastKeys(c.keepFirstAndLast);
    filter.SetKeepOneKey(c.keepOne);
    if (!std::isnan(c.start)) filter.SetStartTime(Sec(c.start));
    if (!std::isnan(c.stop)) filter.SetStopTime(Sec(c.stop));
    const int updateId = curve.GetUpdateId();
    EXPECT_EQ(filter.Apply(curve), c.changed);
    EXPECT_EQ(Times(curve), c.remaining);
    if (c.remaining.empty()) {
        EXPECT_FLOAT_EQ(curve.GetValue(), c.values[0]);
    }
    if (!c.changed) {
        EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
        EXPECT_STREQ(filter.GetLastErrorString(), "ConstantKeyReducer, No key were changed by filter.");
        EXPECT_EQ(curve.GetUpdateId(), updateId);
    }
}

const std::vector<float> kAllFive(10, 5.0f);
INSTANTIATE_TEST_SUITE_P(
    Examples, ConstantKeyReducer,
    ::testing::Values(ReduceCase{{0, 1, 1, 1, 1, 2}, false, false, NAN, NAN, Secs({0, 1, 4, 5}), true},
                      // A constant curve: no key but the default value, or the kept ones.
                      ReduceCase{kAllFive, false, false, NAN, NAN, {}, true},
                      ReduceCase{kAllFive, true, false, NAN, NAN, Secs({0, 9}), true},
                      ReduceCase{kAllFive, false, true, NAN, NAN, Secs({0}), true},
                      ReduceCase{kAllFive, true, true, NAN, NAN, Secs({0, 9}), true},
                      // The span's start key 2 (before it) and stop key 7 (after it) stay.
                      ReduceCase{kAllFive, false, false, 3, 6, Secs({0, 1, 2, 7, 8, 9}), true},
                      ReduceCase{{4, 4}, false, false, NAN, NAN, {}, true},
                      ReduceCase{{4, 4}, false, true, NAN, NAN, Secs({0}), true},
                      ReduceCase{{4, 4}, false, false, NAN, 0.5, Secs({1}), true},  // a key outside the span stays
                      ReduceCase{{7}, false, false, NAN, NAN, {}, true},
                      ReduceCase{{7}, false, false, 3, NAN, Secs({0}), false},  // the key lies before the span
                      ReduceCase{{0, 1, 2, 3}, false, false, NAN, NAN, Secs({0, 1, 2, 3}), false}));

TEST(KFCurveFilterConstantKeyReducerCurve, SteepIncomingTangentKeepsTheRunsFirstKey) {
    KFCurve curve;
    // Key 1 arrives steeply (slope 5, held on key 0) and leaves flat.
    Add(curve, 0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 0.0f, 5.0f));
    Add(curve, 1, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK));
    for (int t = 2; t <= 4; ++t) Add(curve, t, MakeKey(1.0f));
    Add(curve, 5, MakeKey(2.0f));
    const float arriving = curve.KeyGetLeftDerivative(1);
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(Times(curve), Secs({0, 1, 4, 5}));
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), arriving);
}

TEST(KFCurveFilterConstantKeyReducerCurve, LinearKeysSkipTheirTangentTests) {
    const float values[] = {1.0f, 1.2f, 1.0f, 1.2f, 1.0f};
    KFCurve linear, cubic;
    for (KFCurve* curve : {&linear, &cubic}) {
        Add(*curve, 0, MakeKey(0.0f));
        for (int k = 0; k < 5; ++k) {
            const float slope = k % 2 ? -0.2f : 0.2f;
            Add(*curve, k + 1,
                curve == &linear ? MakeKey(values[k], kLinear)
                                 : MakeKey(values[k], kCubic, KFCURVE_TANGEANT_USER, slope, slope));
        }
        Add(*curve, 6, MakeKey(3.0f));
    }
    KFCurveFilterConstantKeyReducer filter;
    filter.SetValueTolerance(0.3);
    EXPECT_TRUE(filter.Apply(linear));
    // Keys 2 to 4 go: their slopes of +-0.2 per second are never compared.
    EXPECT_EQ(Times(linear), Secs({0, 1, 5, 6}));
    // The same values with cubic keys sloping up and down: the slopes break every run.
    EXPECT_FALSE(filter.Apply(cubic));
    EXPECT_EQ(cubic.KeyGetCount(), 7);
    // Negative tolerances make every interval empty.
    KFCurve flat;
    FlatKeys(flat, {1, 1, 1, 1});
    filter.SetValueTolerance(-1.0);
    EXPECT_FALSE(filter.Apply(flat));
    EXPECT_EQ(flat.KeyGetCount(), 4);
    KFCurve empty;
    EXPECT_FALSE(filter.Apply(empty));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "ConstantKeyReducer, No key to be filtered.");
}

TEST(KFCurveFilterConstantKeyReducerCurve, ManyRunsAreReportedOnce) {
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

// X, Y, Z whose curves wander by 0.0002 around 0.
KFCurveNode* Wandering(const char* name) {
    KFCurveNode* node = KFCurveNodeCreate(name);
    for (const char* child : {"X", "Y", "Z"})
        FlatKeys(*node->FindOrCreate(child)->FCurveGet(), {0, 0, 0.0002f, 0.0001f, 0, 0});
    return node;
}

TEST(KFCurveFilterConstantKeyReducerTree, EachChannelChoosesTheThresholdOfItsName) {
    NodePtr rotation(Wandering("Lcl Rotation")), translation(Wandering("T"));
    KFCurveFilterConstantKeyReducer filter;
    EXPECT_TRUE(filter.Apply(*rotation, true));
    EXPECT_TRUE(filter.Apply(*translation, true));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(C(rotation, c).KeyGetCount(), 0) << "all within 0.0005 of each other";
        EXPECT_EQ(C(translation, c).KeyGetCount(), 6) << "no run of more than two keys";
    }
    EXPECT_EQ(filter.GetValueTolerance(), 5e-13);  // the chosen thresholds do not stay

    // Under a parent each channel still chooses its own, not the parent's default.
    NodePtr root(KFCurveNodeCreate("Transform"));
    root->Add(Wandering("T"));
    root->Add(Wandering("R"));
    filter.SetDefaultThreshold(0.01);
    filter.SetTranslationThreshold(1e-6);
    EXPECT_TRUE(filter.Apply(*root, true));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(C(*root->Get(0), c).KeyGetCount(), 6);
        EXPECT_EQ(C(*root->Get(1), c).KeyGetCount(), 0);
    }

    // Tolerances set by the caller stay.
    NodePtr fine(Wandering("R"));
    filter.SetValueTolerance(1e-9);
    filter.Apply(*fine, true);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(C(fine, c).KeyGetCount(), 6);
    EXPECT_EQ(filter.GetValueTolerance(), 1e-9);
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
    if (options.GetKeepFirstAndLastKeys()) return changed;
    auto inSpan = [&](int index) {
        return curve.KeyGetPtr(index)->GetTime() >= options.GetStartTime() &&
               curve.KeyGetPtr(index)->GetTime() <= options.GetStopTime();
    };
    if (curve.KeyGetCount() == 1 && !options.GetKeepOneKey() && inSpan(0)) {
        curve.SetValue(curve.KeyGetPtr(0)->GetValue());
        curve.KeyClear();
        return true;
    }
    if (curve.KeyGetCount() != 2) return changed;
    const float v0 = curve.KeyGetPtr(0)->GetValue();
    const double l0 = curve.KeyGetLeftDerivative(0);
    if (!within(v0, curve.KeyGetPtr(1)->GetValue(), vTol) || !within(curve.KeyGetRightDerivative(0), l0, dTol) ||
        !within(curve.KeyGetLeftDerivative(1), l0, dTol) || !within(curve.KeyGetRightDerivative(1), l0, dTol))
        return changed;
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
    return changed;
}

class ReducerAgainstDeletions : public ::testing::TestWithParam<int> {};

TEST_P(ReducerAgainstDeletions, SameKeysByteForByte) {
    std::mt19937 rng(static_cast<unsigned>(GetParam()));
    for (int round = 0; round < 40; ++round) {
        KFCurve curve;
        const int n = 2 + static_cast<int>(rng() % 150);
        float value = 0.0f;
        for (int k = 0; k < n; ++k) {
            if (rng() % 10 < 3) value = static_cast<float>(rng() % 3) * 0.5f;
            const float slopes[] = {0.0f, 0.0f, 0.0f, 0.5f};
            KFCurveKey key = RandomKey(rng, value, slopes[rng() % 4]);
            const int index = curve.KeyAppendFast(KTime(k * (kSecond / 24) + static_cast<kLongLong>(rng() % 1000)), 0);
            key.SetTime(curve.KeyGetPtr(index)->GetTime());
            *curve.KeyGetPtr(index) = key;
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
        ASSERT_EQ(filter.Apply(curve), expectedChanged) << "round " << round;
        ASSERT_EQ(curve.KeyGetCount(), expected.KeyGetCount()) << "round " << round;
        EXPECT_EQ(curve.GetValue(), expected.GetValue());
        for (int k = 0; k < curve.KeyGetCount(); ++k)
            ASSERT_EQ(std::memcmp(curve.KeyGetPtr(k), expected.KeyGetPtr(k), sizeof(KFCurveKey)), 0)
                << "round " << round << " key " << k;
        EXPECT_TRUE(curve.CheckCurve());
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReducerAgainstDeletions, ::testing::Range(1, 7));

}  // namespace
