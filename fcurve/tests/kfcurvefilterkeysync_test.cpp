#include "fcurve/kfcurvefilterkeysync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

class KeySync : public ::testing::Test {
protected:
    KFCurve a, b;
    KFCurve* both[2] = {&a, &b};
    KFCurveFilterKeySync filter;
};

TEST_F(KeySync, OnlyKeysInsideTheSpanAreCopiedEvenOneTickApart) {
    // The first curve keyed at 0 and 10 s, the second at times b: after the
    // sync over [start, stop] the first has the times expected, the second is as it was.
    const KTime tick(1), all = KTime::MinusInfinite(), end = KTime::Infinite();
    const struct {
        std::vector<KTime> b;
        KTime start, stop;
        std::vector<KTime> expected;
    } cases[] = {
        {Secs({0, 4, 10}), all, Sec(4), Secs({0, 4, 10})},  // a key at the stop time
        {{Sec(0), Sec(4), Sec(6) + tick, Sec(10)}, all, Sec(6), Secs({0, 4, 10})},
        {{Sec(0), Sec(4), Sec(6) + tick, Sec(10)}, all, Sec(6) + tick, {Sec(0), Sec(4), Sec(6) + tick, Sec(10)}},
        {Secs({0, 2, 8, 10}), Sec(5), end, Secs({0, 8, 10})},
        // The search after a key starts right after it: the key one tick later is kept.
        {{Sec(0), Sec(5), Sec(5) + tick, Sec(10)}, all, end, {Sec(0), Sec(5), Sec(5) + tick, Sec(10)}},
    };
    for (const auto& c : cases) {
        KFCurve first, second;
        Keys(first, {{0, 0}, {10, 10}}, kLinear);
        KFCurveKey key = MakeKey(1.0f, kLinear);
        for (KTime t : c.b) second.KeyAdd(t, key);
        KFCurve* pair[2] = {&first, &second};
        filter.SetStartTime(c.start);
        filter.SetStopTime(c.stop);
        EXPECT_TRUE(filter.Apply(pair, 2));
        EXPECT_EQ(Times(first), c.expected);
        EXPECT_EQ(Times(second), c.b);
    }
}

// A node of count channels, channel i keyed at i seconds.
NodePtr NodeWithChildren(int count) {
    NodePtr node(KFCurveNodeCreate("R"));
    for (int i = 0; i < count; ++i) {
        node->Add(Leaf("C"));
        Keys(C(node, i), {{static_cast<double>(i), 1}}, kLinear);
    }
    return node;
}

TEST(KeySyncTree, ChildrenCurvesAreSynchronisedOnceEachAndChildrenWithoutCurveSkipped) {
    NodePtr node = NodeWithChildren(3);
    node->Add(KFCurveNodeCreate("Empty"));
    node->FCurveSet(KFCurveCreate(), true);  // the node's own curve is not synchronised
    int events = 0;
    C(node, 0).CallbackRegister(CountEvents, &events);
    KFCurveFilterKeySync filter;
    EXPECT_TRUE(filter.Apply(*node, false));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Times(C(node, i)), Secs({0, 1, 2}));
    EXPECT_EQ(events, 1);
    EXPECT_EQ(node->FCurveGet()->KeyGetCount(), 0);
    C(node, 0).CallbackUnregister(CountEvents, &events);

    NodePtr single(Vector("V", nullptr, KFCL_NOLAYER, 1));
    Keys(C(single, 0), {{0, 1}});
    EXPECT_FALSE(filter.Apply(*single, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
}

TEST(KeySyncTree, NeedApplyTellsWhyTheChildrenAreNotInStep) {
    KFCurveFilterKeySync filter;
    NodePtr node = NodeWithChildren(3);
    EXPECT_TRUE(filter.NeedApply(*node, true));
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, keys are not synchronized.");
    Keys(C(node, 0), {{5, 1}});
    EXPECT_TRUE(filter.NeedApply(*node, false));
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, Key count is different in the Curves to be filtered.");
    ASSERT_TRUE(filter.Apply(*node, true));
    EXPECT_FALSE(filter.NeedApply(*node, true));
    EXPECT_FALSE(filter.NeedApply(*NodeWithChildren(0), true)) << "nothing to synchronise";

    NodePtr wide = NodeWithChildren(21);
    EXPECT_FALSE(filter.NeedApply(*wide, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterKeySync::eTooManyCurves);
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, Curve count is too mush. No support above 20 curves..");

    // One curve alone has nothing to be synchronised with.
    KFCurve& alone = C(node, 0);
    EXPECT_FALSE(filter.NeedApply(alone));
    EXPECT_FALSE(filter.Apply(alone));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, No key were changed by filter.");
    EXPECT_EQ(Times(alone), Secs({0, 1, 2, 5}));
}

// ---- Against the straightforward method ------------------------------------------------

// Every union time inside [start, stop] inserted with KeyInsert into the
// whole curve, its value taken from a copy of the curve as it was.
void SyncByInsertion(const std::vector<KFCurve*>& curves, KTime start, KTime stop) {
    std::vector<std::unique_ptr<KFCurve>> copies;
    std::vector<KTime> times;
    for (KFCurve* curve : curves) {
        copies.push_back(std::make_unique<KFCurve>());
        copies.back()->CopyFrom(*curve, true);
        for (KTime t : Times(*curve))
            if (t >= start && t <= stop) times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    for (KTime t : times)
        for (size_t c = 0; c < curves.size(); ++c) {
            const int index = curves[c]->KeyInsert(t);
            ASSERT_GE(index, 0);
            KFCurveKey key = curves[c]->KeyGet(index);
            key.SetValue(copies[c]->Evaluate(t));
            curves[c]->KeySet(index, key);
        }
}

// Two to four curves of up to 40 keys of every kind; outside the keys the
// value depends on every key, so all extrapolation modes are tried.
std::vector<std::unique_ptr<KFCurve>> RandomCurves(std::mt19937& rng) {
    std::vector<std::unique_ptr<KFCurve>> curves;
    for (int n = 2 + static_cast<int>(rng() % 3); n > 0; --n) {
        curves.push_back(std::make_unique<KFCurve>());
        KFCurve& curve = *curves.back();
        const int keys = static_cast<int>(rng() % 40);
        kLongLong t = static_cast<kLongLong>(rng() % 5) * 1000;
        for (int k = 0; k < keys; ++k) {
            const float value = static_cast<float>(rng() % 200) * 0.05f - 5.0f;
            KFCurveKey key = RandomKey(rng, value, static_cast<float>(rng() % 7) - 3.0f);
            curve.KeyAdd(KTime(t), key);
            t += 1 + static_cast<kLongLong>(rng() % 4) * 1000;
        }
        curve.SetValue(static_cast<float>(rng() % 10));
        curve.SetPreExtrapolation(1 + static_cast<int>(rng() % 4));
        curve.SetPreExtrapolationCount(rng() % 3 == 0 ? 0xFFFFFFFFu : static_cast<unsigned int>(rng() % 3));
        curve.SetPostExtrapolation(1 + static_cast<int>(rng() % 4));
        curve.SetPostExtrapolationCount(static_cast<unsigned int>(rng() % 3));
    }
    return curves;
}

class KeySyncAgainstInsertion : public ::testing::TestWithParam<int> {};

TEST_P(KeySyncAgainstInsertion, SameKeysByteForByte) {
    AgainstReference(static_cast<unsigned>(GetParam()), 25, RandomCurves,
                     [](std::mt19937& rng, std::vector<KFCurve*>& actual, std::vector<KFCurve*>& expected) {
                         KFCurveFilterKeySync filter;
                         KTime start = KTime::MinusInfinite(), stop = KTime::Infinite();
                         if (rng() % 2) start = KTime(static_cast<kLongLong>(rng() % 40000));
                         if (rng() % 2) stop = KTime(static_cast<kLongLong>(rng() % 80000));
                         filter.SetStartTime(start);
                         filter.SetStopTime(stop);
                         if (rng() % 4 == 0) {
                             const KTime when(static_cast<kLongLong>(rng() % 40) * 1000 + 1);
                             actual[0]->CandidateSet(when, 3.5);
                             expected[0]->CandidateSet(when, 3.5);
                         }
                         ASSERT_TRUE(filter.Apply(actual.data(), static_cast<int>(actual.size())));
                         SyncByInsertion(expected, start, stop);
                     });
}

INSTANTIATE_TEST_SUITE_P(Seeds, KeySyncAgainstInsertion, ::testing::Range(1, 5),
                         [](const ::testing::TestParamInfo<int>& info) { return "Seed" + std::to_string(info.param); });

}  // namespace
