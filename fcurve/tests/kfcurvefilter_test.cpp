#include "fcurve/kfcurvefilterconstantkeyreducer.h"

#include <gtest/gtest.h>

#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

TEST(KFCurveFilterBase, StartAndStopKeysIncludeTheKeysJustOutsideTheSpan) {
    KFCurve curve, empty;
    Keys(curve, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
    KFCurveFilterConstantKeyReducer filter;  // any filter: the span is the base class's
    EXPECT_EQ(filter.GetStartKey(curve), 0);
    EXPECT_EQ(filter.GetStopKey(curve), 5);
    EXPECT_EQ(filter.GetStartKey(empty), -1);
    EXPECT_EQ(filter.GetStopKey(empty), -1);
    // Keys at 0 .. 4 s; a span's start (stop) time and its start (stop) key.
    const struct {
        double seconds;
        int key;
    } starts[] = {{-5, 0}, {1, 0}, {1.5, 0}, {2, 1}, {2.5, 1}, {4, 3}, {9, 3}},
      stops[] = {{9, 5}, {4, 5}, {3.5, 4}, {3, 4}, {2.5, 3}, {0, 1}, {-3, 1}};
    for (const auto& c : starts) {
        filter.SetStartTime(Sec(c.seconds));
        EXPECT_EQ(filter.GetStartKey(curve), c.key) << c.seconds;
    }
    filter.Reset();
    for (const auto& c : stops) {
        filter.SetStopTime(Sec(c.seconds));
        EXPECT_EQ(filter.GetStopKey(curve), c.key) << c.seconds;
    }
}

namespace {

// Records the curves the single-curve forms are asked about.
class VisitingFilter : public KFCurveFilter {
public:
    VisitingFilter() : KFCurveFilter("Visiting", nullptr, 0) {}
    using KFCurveFilter::NeedApply;
    bool NeedApply(KFCurve& curve) override {
        asked.push_back(&curve);
        return false;
    }
    bool Apply(KFCurveNode& node, bool recursive) override { return KFCurveFilter::Apply(node, recursive); }
    bool Apply(KFCurve** curves, int count) override { return KFCurveFilter::Apply(curves, count); }
    bool Apply(KFCurve&) override { return false; }

    std::vector<KFCurve*> asked;
};

}  // namespace

TEST(KFCurveFilterBase, NeedApplyAsksEveryCurveChildrenFirstAndAnswersTrue) {
    NodePtr node(Vector("T", nullptr, KFCL_ADD, 2));
    node->Get(1)->Add(Leaf("Deep"));
    node->FCurveSet(KFCurveCreate(), true);
    KFCurve* own = node->FCurveGet();
    KFCurve* deep = node->Get(1)->Get(0)->FCurveGet();
    VisitingFilter filter;
    EXPECT_TRUE(filter.NeedApply(*node, true));
    EXPECT_EQ(filter.asked, (std::vector<KFCurve*>{&C(node, 0), deep, &C(node, 1), own}));
    filter.asked.clear();
    EXPECT_TRUE(filter.NeedApply(*node, false));
    EXPECT_EQ(filter.asked, std::vector<KFCurve*>{own});

    // The array form asks each curve there is, whatever the answers.
    filter.asked.clear();
    KFCurve* curves[] = {deep, nullptr, own};
    EXPECT_TRUE(filter.NeedApply(curves, 3));
    EXPECT_TRUE(filter.NeedApply(curves, 0));
    EXPECT_TRUE(filter.NeedApply(nullptr, 2));
    EXPECT_EQ(filter.asked, (std::vector<KFCurve*>{deep, own}));
    // A filter that does not say otherwise always needs applying.
    EXPECT_TRUE(KFCurveFilterConstantKeyReducer().NeedApply(*own));
}
