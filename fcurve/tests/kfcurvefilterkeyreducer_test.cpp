#include "fcurve/kfcurvefilterkeyreducer.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <memory>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

void Linear(KFCurve& curve, double seconds, float value) { Add(curve, seconds, MakeKey(value, kLinear)); }
// A cubic key with flat user tangents.
void Flat(KFCurve& curve, double seconds, float value) { Add(curve, seconds, MakeKey(value)); }

struct Key {
    KTime time;
    float value;
};

std::vector<Key> KeyList(KFCurve& curve) {
    std::vector<Key> keys;
    for (int i = 0; i < curve.KeyGetCount(); ++i)
        keys.push_back({curve.KeyGetPtr(i)->GetTime(), curve.KeyGetPtr(i)->GetValue()});
    return keys;
}

// Every original key lies within precision of the curve.
void ExpectWithin(KFCurve& curve, const std::vector<Key>& original, double precision) {
    int hint = 0;
    for (std::size_t i = 0; i < original.size(); ++i) {
        const double difference = curve.Evaluate(original[i].time, &hint) - original[i].value;
        ASSERT_LE(std::fabs(difference), precision * (1.0 + 1e-6) + 1e-6) << "key " << i;
    }
}

// A wavy curve sampled densely, with a little deterministic noise.
void Wavy(KFCurve& curve, int count) {
    unsigned int state = 12345u;
    for (int i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        const double noise = ((state >> 16) % 1000) / 1000.0 - 0.5;
        const double t = i / 30.0;
        Linear(curve, t, static_cast<float>(3.0 * std::sin(t * 1.7) + std::sin(t * 5.3) + 0.02 * noise));
    }
}

class KeyReducer : public ::testing::Test {
protected:
    KFCurve curve;
    KFCurveFilterKeyReducer filter;
};

TEST_F(KeyReducer, StraightLineKeepsOnlyItsEnds) {
    for (int i = 0; i < 50; ++i) Linear(curve, i, 2.0f * i);
    ASSERT_TRUE(filter.Apply(curve));
    ASSERT_EQ(curve.KeyGetCount(), 2);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetTime(), Sec(0));
    EXPECT_EQ(curve.KeyGetPtr(1)->GetTime(), Sec(49));
    EXPECT_FLOAT_EQ(curve.KeyGetPtr(1)->GetValue(), 98.0f);
    EXPECT_NEAR(curve.Evaluate(Sec(24.5)), 49.0f, 1.0f);
}

TEST_F(KeyReducer, LineWithOneOutlierKeepsTheOutlier) {
    for (int i = 0; i <= 20; ++i) Linear(curve, i, i == 10 ? 12.0f : static_cast<float>(i));
    const std::vector<Key> original = KeyList(curve);
    ASSERT_TRUE(filter.Apply(curve));
    const int outlier = static_cast<int>(curve.KeyFind(Sec(10)));
    ASSERT_EQ(curve.KeyGetPtr(outlier)->GetTime(), Sec(10));
    EXPECT_FLOAT_EQ(curve.KeyGetPtr(outlier)->GetValue(), 12.0f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetTime(), Sec(0));
    EXPECT_EQ(curve.KeyGetPtr(curve.KeyGetCount() - 1)->GetTime(), Sec(20));
    EXPECT_LT(curve.KeyGetCount(), 21);
    ExpectWithin(curve, original, 1.0);
}

TEST_F(KeyReducer, PrecisionZeroDropsOnlyKeysMetExactly) {
    for (int i = 0; i < 10; ++i) Flat(curve, i, 5.0f);
    filter.SetPrecision(0.0);
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_EQ(curve.KeyGetCount(), 2);

    KFCurve bumpy;
    for (int i = 0; i < 10; ++i) Flat(bumpy, i, i == 4 ? 5.5f : 5.0f);
    ASSERT_TRUE(filter.Apply(bumpy));
    EXPECT_GT(bumpy.KeyGetCount(), 2);
    EXPECT_EQ(bumpy.KeyGetPtr(static_cast<int>(bumpy.KeyFind(Sec(4))))->GetTime(), Sec(4));
}

TEST_F(KeyReducer, TooFewKeysOrNoSpanLeaveTheCurveAlone) {
    EXPECT_FALSE(filter.Apply(curve));
    Linear(curve, 1.0, 3.0f);
    EXPECT_FALSE(filter.Apply(curve));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_STREQ(filter.GetLastErrorString(), "KeyReducer, No key were changed by filter.");

    Linear(curve, 2.0, 3.0f);
    Linear(curve, 3.0, 3.0f);
    filter.SetStartTime(Sec(5));
    EXPECT_FALSE(filter.Apply(curve));
    EXPECT_STREQ(filter.GetLastErrorString(), "KeyReducer, Invalid Time Span. No key were changed by filter.");
    EXPECT_EQ(curve.KeyGetCount(), 3);
}

TEST_F(KeyReducer, KeysOutsideTheSpanAreUntouched) {
    Wavy(curve, 100);
    const std::vector<Key> original = KeyList(curve);
    filter.SetStartTime(original[10].time);
    filter.SetStopTime(original[20].time);
    filter.SetPrecision(0.2);
    ASSERT_TRUE(filter.Apply(curve));
    const std::vector<Key> after = KeyList(curve);
    ASSERT_LT(after.size(), original.size());
    auto same = [](const Key& a, const Key& b) { return a.time == b.time && a.value == b.value; };
    for (std::size_t i = 0; i <= 10; ++i) EXPECT_TRUE(same(after[i], original[i])) << i;
    for (std::size_t k = 1; k < original.size() - 20; ++k)
        EXPECT_TRUE(same(after[after.size() - k], original[original.size() - k])) << k;
}

class ReducedWithinPrecision : public ::testing::TestWithParam<double> {};

TEST_P(ReducedWithinPrecision, AtEveryOriginalKey) {
    KFCurve curve;
    Wavy(curve, 2000);
    const std::vector<Key> original = KeyList(curve);
    KFCurveFilterKeyReducer filter;
    filter.SetPrecision(GetParam());
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_LT(curve.KeyGetCount(), 2000);
    ExpectWithin(curve, original, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Precisions, ReducedWithinPrecision, ::testing::Values(1.0, 0.1, 0.01, 0.001));

class KeyReducerSync : public ::testing::Test {
protected:
    void SetUp() override {
        for (int c = 0; c < 3; ++c) {
            curves[c].reset(KFCurveCreate());
            for (int i = 0; i < 60; ++i)
                Linear(*curves[c], i / 30.0, static_cast<float>(std::sin(i * 0.1 * (c + 1)) * (c + 2)));
            array[c] = curves[c].get();
        }
        filter.SetKeySync(true);
        filter.SetPrecision(0.05);
    }
    struct Destroyer {
        void operator()(KFCurve* curve) const { curve->Destroy(); }
    };
    std::unique_ptr<KFCurve, Destroyer> curves[3];
    KFCurve* array[3] = {};
    KFCurveFilterKeyReducer filter;
};

TEST_F(KeyReducerSync, CurvesReducedTogetherShareKeyTimes) {
    ASSERT_TRUE(filter.Apply(array, 3));
    EXPECT_TRUE(filter.GetKeySync());
    const int count = curves[0]->KeyGetCount();
    EXPECT_LT(count, 60);
    for (int c = 1; c < 3; ++c) {
        ASSERT_EQ(curves[c]->KeyGetCount(), count);
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(curves[c]->KeyGetPtr(i)->GetTime(), curves[0]->KeyGetPtr(i)->GetTime());
    }
}

TEST_F(KeyReducerSync, NodeChildrenAreSynchronisedAndTheFlagSurvivesSingleCurves) {
    ASSERT_TRUE(filter.Apply(array, 1));
    EXPECT_TRUE(filter.GetKeySync());
    NodePtr node(KFCurveNodeCreate("V"));
    for (int c = 0; c < 3; ++c) {
        node->Add(KFCurveNodeCreate(kChannelNames[c]));
        node->Get(c)->FCurveSet(curves[c].release(), true);
    }
    ASSERT_TRUE(filter.Apply(*node, true));
    const int count = C(node, 0).KeyGetCount();
    EXPECT_LT(count, 60);
    for (int c = 1; c < 3; ++c) EXPECT_EQ(C(node, c).KeyGetCount(), count);
    NodePtr single(KFCurveNodeCreate("V"));
    single->Add(Leaf("X"));
    Wavy(C(single, 0), 60);
    EXPECT_TRUE(filter.Apply(*single, true));
    EXPECT_TRUE(filter.GetKeySync());
}

// Keys zigzag with a growing amplitude and flat tangents: the key the
// reduced curve misses most always lies next to the right end of the range,
// so the refinement nests once per key.
struct DeepRun {
    int count = 0;
    int kept = 0;
    bool exact = true;
};

void* ReduceZigzag(void* data) {
    auto* run = static_cast<DeepRun*>(data);
    KFCurve curve;
    for (int i = 0; i < run->count; ++i) Flat(curve, i / 30.0, static_cast<float>((i % 2 ? -1 : 1) * (1 + i)));
    KFCurveFilterKeyReducer filter;
    filter.SetPrecision(0.0);
    filter.Apply(curve);
    run->kept = curve.KeyGetCount();
    for (int i = 0; i < run->kept; ++i)
        run->exact = run->exact && curve.KeyGetPtr(i)->GetValue() == static_cast<float>((i % 2 ? -1 : 1) * (1 + i));
    return nullptr;
}

TEST(KeyReducerDepth, RefinementAsDeepAsTheKeyCountRunsInASmallStack) {
    DeepRun run;
    run.count = 4000;
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    // Far less than a refinement nested 4000 calls deep would need.
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 256 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, ReduceZigzag, &run), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(run.kept, 4000);
    EXPECT_TRUE(run.exact);
}

}  // namespace
