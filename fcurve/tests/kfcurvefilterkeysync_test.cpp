#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeysync.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::Sec;

namespace {

// Linear keys (seconds, value).
void Keys(KFCurve& curve, std::initializer_list<std::pair<double, float>> keys) {
    for (auto [s, v] : keys) fcurvetest::Add(curve, s, fcurvetest::MakeKey(v, fcurvetest::kLinear));
}

std::vector<KTime> Times(KFCurve& curve) {
    std::vector<KTime> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime());
    return times;
}

std::vector<KTime> Secs(std::initializer_list<double> seconds) {
    std::vector<KTime> times;
    for (double s : seconds) times.push_back(Sec(s));
    return times;
}

class KeySync : public ::testing::Test {
protected:
    KFCurve a, b;
    KFCurve* both[2] = {&a, &b};
    KFCurveFilterKeySync filter;
};

TEST_F(KeySync, NameAndOpenSpan) {
    EXPECT_STREQ(filter.GetName(), "FCurve Key Synchronizer");
    EXPECT_EQ(filter.GetStartTime(), KTime::MinusInfinite());
    EXPECT_EQ(filter.GetStopTime(), KTime::Infinite());
    EXPECT_EQ(filter.GetLastErrorID(), -1);
}

TEST_F(KeySync, KeysAtTheUnionOfTimesWithEachCurvesOwnValue) {
    Keys(a, {{0, 0.0f}, {10, 100.0f}});
    Keys(b, {{0, 1.0f}, {5, 7.0f}, {10, 3.0f}});
    EXPECT_TRUE(filter.NeedApply(both, 2));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterKeySync::eMultipleKeyCount);
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, Key count is different in the Curves to be filtered.");

    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), Secs({0, 5, 10}));
    EXPECT_EQ(Times(b), Secs({0, 5, 10}));
    EXPECT_FLOAT_EQ(a.KeyGetPtr(1)->GetValue(), 50.0f);  // interpolated on the first curve
    EXPECT_FLOAT_EQ(b.KeyGetPtr(1)->GetValue(), 7.0f);
    // The first curve's shape is kept.
    EXPECT_FLOAT_EQ(a.Evaluate(Sec(2.5)), 25.0f);
    EXPECT_FLOAT_EQ(a.Evaluate(Sec(7.5)), 75.0f);
    EXPECT_FALSE(filter.NeedApply(both, 2));
}

TEST_F(KeySync, SynchronisedCurvesNeedNothingAndKeepTheirValues) {
    Keys(a, {{0, 1.0f}, {1, 2.0f}, {3, -4.0f}});
    Keys(b, {{0, 5.0f}, {1, 6.0f}, {3, 9.0f}});
    EXPECT_FALSE(filter.NeedApply(both, 2));
    EXPECT_EQ(filter.GetLastErrorID(), -1);
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), Secs({0, 1, 3}));
    EXPECT_FLOAT_EQ(a.KeyGetPtr(2)->GetValue(), -4.0f);
    EXPECT_FLOAT_EQ(b.KeyGetPtr(1)->GetValue(), 6.0f);
}

TEST_F(KeySync, SameCountButDifferentTimesIsReported) {
    Keys(a, {{0, 1.0f}, {2, 2.0f}});
    Keys(b, {{0, 1.0f}, {3, 2.0f}});
    EXPECT_TRUE(filter.NeedApply(both, 2));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterKeySync::eUnsynchedKeys);
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, keys are not synchronized.");
}

TEST_F(KeySync, KeyAtTheStopTimeIsSynchronisedOneTickLaterIsNot) {
    Keys(a, {{0, 0.0f}, {10, 10.0f}});
    Keys(b, {{0, 0.0f}, {10, 10.0f}});
    fcurvetest::Add(b, 4, fcurvetest::MakeKey(4.0f, fcurvetest::kLinear));
    KFCurveKey late = fcurvetest::MakeKey(6.0f, fcurvetest::kLinear);
    b.KeyAdd(Sec(6) + KTime(1), late);
    filter.SetStopTime(Sec(4));
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), Secs({0, 4, 10}));

    filter.SetStopTime(Sec(6));
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), Secs({0, 4, 10}));
    filter.SetStopTime(Sec(6) + KTime(1));
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), (std::vector<KTime>{Sec(0), Sec(4), Sec(6) + KTime(1), Sec(10)}));
}

TEST_F(KeySync, KeysBeforeTheStartAreNotCopied) {
    Keys(a, {{0, 0.0f}, {10, 10.0f}});
    Keys(b, {{0, 0.0f}, {2, 2.0f}, {8, 8.0f}, {10, 10.0f}});
    filter.SetStartTime(Sec(5));
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), Secs({0, 8, 10}));
    EXPECT_EQ(Times(b), Secs({0, 2, 8, 10}));
}

TEST_F(KeySync, KeyExactlyAtTheStartIsSynchronised) {
    Keys(a, {{0, 0.0f}, {10, 10.0f}});
    Keys(b, {{0, 0.0f}, {5, 5.0f}, {10, 10.0f}});
    filter.SetStartTime(Sec(5));
    filter.SetStopTime(Sec(5));
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), Secs({0, 5, 10}));
}

TEST_F(KeySync, KeysOneTickApartAreBothSynchronised) {
    Keys(a, {{0, 0.0f}, {10, 10.0f}});
    Keys(b, {{0, 0.0f}, {5, 5.0f}, {10, 10.0f}});
    KFCurveKey next = fcurvetest::MakeKey(5.0f, fcurvetest::kLinear);
    b.KeyAdd(Sec(5) + KTime(1), next);
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(a), Times(b));
    EXPECT_FALSE(filter.NeedApply(both, 2));
}

TEST_F(KeySync, CurveWithoutKeysTakesItsDefaultValueAtEveryTime) {
    b.SetValue(3.0f);
    Keys(a, {{1, 0.0f}, {2, 1.0f}});
    EXPECT_TRUE(filter.Apply(both, 2));
    EXPECT_EQ(Times(b), Secs({1, 2}));
    EXPECT_FLOAT_EQ(b.KeyGetPtr(0)->GetValue(), 3.0f);
    EXPECT_FLOAT_EQ(b.KeyGetPtr(1)->GetValue(), 3.0f);
}

TEST_F(KeySync, FewerThanTwoCurvesChangeNothing) {
    Keys(a, {{0, 0.0f}, {1, 1.0f}});
    KFCurve* one[] = {&a, nullptr};
    EXPECT_FALSE(filter.Apply(one, 1));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, No key were changed by filter.");
    EXPECT_FALSE(filter.Apply(one, 2));  // a null entry is not a curve
    EXPECT_FALSE(filter.Apply(nullptr, 2));
    EXPECT_FALSE(filter.Apply(a));
    EXPECT_FALSE(filter.NeedApply(a));
    EXPECT_EQ(a.KeyGetCount(), 2);
}

TEST_F(KeySync, MoreThanTwentyCurvesAreRefused) {
    std::vector<std::unique_ptr<KFCurve>> curves;
    std::vector<KFCurve*> list;
    for (int i = 0; i < 21; ++i) {
        curves.push_back(std::make_unique<KFCurve>());
        Keys(*curves.back(), {{static_cast<double>(i), 1.0f}});
        list.push_back(curves.back().get());
    }
    EXPECT_FALSE(filter.Apply(list.data(), 21));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterKeySync::eTooManyCurves);
    EXPECT_STREQ(filter.GetLastErrorString(), "KeySyncFilter, Curve count is too mush. No support above 20 curves..");
    EXPECT_EQ(list[0]->KeyGetCount(), 1);

    EXPECT_TRUE(filter.Apply(list.data(), 20));
    EXPECT_EQ(list[0]->KeyGetCount(), 20);
    EXPECT_EQ(list[19]->KeyGetCount(), 20);
}

// ---- Tree form -------------------------------------------------------------------------------

KFCurveNode* NodeWithChildren(int count) {
    KFCurveNode* node = KFCurveNodeCreate("R", static_cast<KDataType*>(nullptr));
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = KFCurveNodeCreate("C", static_cast<KDataType*>(nullptr));
        child->FCurveSet(KFCurveCreate(), true);
        Keys(*child->FCurveGet(), {{static_cast<double>(i), 1.0f}});
        node->Add(child);
    }
    return node;
}

TEST(KeySyncTree, TwentyOneChildrenGiveErrorFour) {
    std::unique_ptr<KFCurveNode, void (*)(KFCurveNode*)> node(NodeWithChildren(21),
                                                              [](KFCurveNode* n) { n->Destroy(); });
    KFCurveFilterKeySync filter;
    EXPECT_FALSE(filter.NeedApply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterKeySync::eTooManyCurves);
    KFCurveFilterKeySync other;
    EXPECT_FALSE(other.Apply(*node, true));
    EXPECT_EQ(other.GetLastErrorID(), KFCurveFilterKeySync::eTooManyCurves);
    EXPECT_EQ(node->Get(0)->FCurveGet()->KeyGetCount(), 1);
}

TEST(KeySyncTree, ChildrenCurvesAreSynchronisedAndChildrenWithoutCurveSkipped) {
    std::unique_ptr<KFCurveNode, void (*)(KFCurveNode*)> node(NodeWithChildren(3),
                                                              [](KFCurveNode* n) { n->Destroy(); });
    node->Add(KFCurveNodeCreate("Empty", static_cast<KDataType*>(nullptr)));
    // The node's own curve is not one of the synchronised curves.
    node->FCurveSet(KFCurveCreate(), true);
    KFCurveFilterKeySync filter;
    EXPECT_TRUE(filter.NeedApply(*node, false));
    EXPECT_TRUE(filter.Apply(*node, false));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Times(*node->Get(i)->FCurveGet()), Secs({0, 1, 2}));
    EXPECT_EQ(node->FCurveGet()->KeyGetCount(), 0);
    EXPECT_FALSE(filter.NeedApply(*node, true));
}

TEST(KeySyncTree, NodeWithOneCurveChangesNothing) {
    std::unique_ptr<KFCurveNode, void (*)(KFCurveNode*)> node(NodeWithChildren(1),
                                                              [](KFCurveNode* n) { n->Destroy(); });
    KFCurveFilterKeySync filter;
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
}

}  // namespace
