#include "fcurve/kfcurvefilterconstantkeyreducer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Keys at 0, 1, 2, ... s with flat user tangents.
void FlatKeys(KFCurve& curve, const std::vector<float>& values) {
    int t = 0;
    for (float v : values) Add(curve, t++, MakeKey(v));
}

TEST(KFCurveFilterConstantKeyReducerCurve, FlatRunsLoseTheirInnerKeys) {
    // Flat keys, options and span (NAN: open), what is left and whether Apply
    // says the curve changed; a curve left without keys holds the first key's value.
    const std::vector<float> allFive(10, 5.0f);
    const struct {
        std::vector<float> values;
        bool keepFirstAndLast, keepOne;
        double start, stop;
        std::vector<KTime> remaining;
        bool changed;
    } cases[] = {
        {{0, 1, 1, 1, 1, 2}, false, false, NAN, NAN, Secs({0, 1, 4, 5}), true},
        // A constant curve: no key but the default value, or the kept ones.
        {allFive, false, false, NAN, NAN, {}, true},
        {allFive, true, false, NAN, NAN, Secs({0, 9}), true},
        {allFive, false, true, NAN, NAN, Secs({0}), true},
        {allFive, true, true, NAN, NAN, Secs({0, 9}), true},
        // The span's start key 2 (before it) and stop key 7 (after it) stay.
        {allFive, false, false, 3, 6, Secs({0, 1, 2, 7, 8, 9}), true},
        {{4, 4}, false, false, NAN, NAN, {}, true},
        {{4, 4}, false, false, NAN, 0.5, Secs({1}), true},  // a key outside the span stays
        {{7}, false, false, 3, NAN, Secs({0}), false},  // the key lies before the span
        {{0, 1, 2, 3}, false, false, NAN, NAN, Secs({0, 1, 2, 3}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.values.size() << " keys, until " << c.stop);
        KFCurve curve;
        FlatKeys(curve, c.values);
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
        EXPECT_TRUE(c.changed || curve.GetUpdateId() == updateId);
    }
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

// Up to 150 keys of every kind in flat runs, at frames a little apart.
std::vector<std::unique_ptr<KFCurve>> RunsOfKeys(std::mt19937& rng) {
    std::vector<std::unique_ptr<KFCurve>> curves;
    curves.push_back(std::make_unique<KFCurve>());
    KFCurve& curve = *curves.back();
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
    return curves;
}

class ReducerAgainstDeletions : public ::testing::TestWithParam<int> {};

TEST_P(ReducerAgainstDeletions, SameKeysByteForByte) {
    AgainstReference(static_cast<unsigned>(GetParam()), 40, RunsOfKeys,
                     [](std::mt19937& rng, std::vector<KFCurve*>& actual, std::vector<KFCurve*>& expected) {
                         KFCurve& curve = *actual[0];
                         const int n = curve.KeyGetCount();
                         KFCurveFilterConstantKeyReducer filter;
                         const double tolerances[] = {5e-13, 0.01, 0.6};
                         filter.SetValueTolerance(tolerances[rng() % 3]);
                         filter.SetDerivativeTolerance(tolerances[rng() % 3]);
                         filter.SetKeepFirstAndLastKeys(rng() % 4 == 0);
                         filter.SetKeepOneKey(rng() % 4 == 0);
                         if (rng() % 2) filter.SetStartTime(curve.KeyGetPtr(static_cast<int>(rng() % n))->GetTime());
                         if (rng() % 2)
                             filter.SetStopTime(curve.KeyGetPtr(static_cast<int>(rng() % n))->GetTime() + KTime(7));
                         const bool changed = ReduceByDeletions(*expected[0], filter, filter.GetStartKey(*expected[0]),
                                                                filter.GetStopKey(*expected[0]));
                         EXPECT_EQ(filter.Apply(curve), changed);
                     });
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReducerAgainstDeletions, ::testing::Range(1, 7),
                         [](const ::testing::TestParamInfo<int>& info) { return "Seed" + std::to_string(info.param); });

}  // namespace
