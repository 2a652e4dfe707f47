#include "fcurve/kfcurvefilterkeyreducer.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

void Linear(KFCurve& curve, double seconds, float value) { Add(curve, seconds, MakeKey(value, kLinear)); }

// The curve's keys as (time, value).
std::vector<std::pair<KTime, float>> KeyList(KFCurve& curve) {
    std::vector<std::pair<KTime, float>> keys;
    for (int i = 0; i < curve.KeyGetCount(); ++i)
        keys.emplace_back(curve.KeyGetPtr(i)->GetTime(), curve.KeyGetPtr(i)->GetValue());
    return keys;
}

// Every original key lies within precision of the curve.
void ExpectWithin(KFCurve& curve, const std::vector<std::pair<KTime, float>>& original, double precision) {
    int hint = 0;
    for (std::size_t i = 0; i < original.size(); ++i)
        ASSERT_LE(std::fabs(curve.Evaluate(original[i].first, &hint) - original[i].second),
                  precision * (1.0 + 1e-6) + 1e-6)
            << "key " << i;
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

TEST_F(KeyReducer, StraightLineKeepsOnlyItsEndsAndAnOutlierStays) {
    for (int i = 0; i < 50; ++i) Linear(curve, i, 2.0f * i);
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_EQ(Times(curve), Secs({0, 49}));

    KFCurve line;
    for (int i = 0; i <= 20; ++i) Linear(line, i, i == 10 ? 12.0f : static_cast<float>(i));
    const auto original = KeyList(line);
    ASSERT_TRUE(filter.Apply(line));
    const int outlier = static_cast<int>(line.KeyFind(Sec(10)));
    ASSERT_EQ(line.KeyGetPtr(outlier)->GetTime(), Sec(10));
    EXPECT_FLOAT_EQ(line.KeyGetPtr(outlier)->GetValue(), 12.0f);
    EXPECT_LT(line.KeyGetCount(), 21);
    ExpectWithin(line, original, 1.0);
}

TEST_F(KeyReducer, ReducedWithinPrecisionAtEveryOriginalKey) {
    for (double precision : {1.0, 0.1, 0.01, 0.001}) {
        SCOPED_TRACE(precision);
        KFCurve wavy;
        Wavy(wavy, 2000);
        const auto original = KeyList(wavy);
        filter.SetPrecision(precision);
        ASSERT_TRUE(filter.Apply(wavy));
        EXPECT_LT(wavy.KeyGetCount(), 2000);
        ExpectWithin(wavy, original, precision);
    }
}

TEST_F(KeyReducer, CurvesReducedTogetherShareKeyTimes) {
    filter.SetKeySync(true);
    filter.SetPrecision(0.05);
    NodePtr nodes[2] = {NodePtr(Vector("V", nullptr, KFCL_NOLAYER)), NodePtr(Vector("V", nullptr, KFCL_NOLAYER))};
    for (NodePtr& node : nodes)
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 60; ++i)
                Linear(C(node, c), i / 30.0, static_cast<float>(std::sin(i * 0.1 * (c + 1)) * (c + 2)));
    KFCurve* array[3] = {&C(nodes[0], 0), &C(nodes[0], 1), &C(nodes[0], 2)};
    ASSERT_TRUE(filter.Apply(array, 1));  // a single curve leaves the flag alone
    ASSERT_TRUE(filter.Apply(array, 3));
    ASSERT_TRUE(filter.Apply(*nodes[1], true));
    EXPECT_TRUE(filter.GetKeySync());
    for (NodePtr& node : nodes) {
        EXPECT_LT(C(node, 1).KeyGetCount(), 60);
        for (int c = 0; c < 3; c += 2) EXPECT_EQ(Times(C(node, c)), Times(C(node, 1)));
    }
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
    for (int i = 0; i < run->count; ++i) Add(curve, i / 30.0, MakeKey(static_cast<float>((i % 2 ? -1 : 1) * (1 + i))));
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
