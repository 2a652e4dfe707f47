#include "fcurve/kfcurvefilter.h"

#include <gtest/gtest.h>

#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Records the curves it is asked about and applied to; refuses those in refuse.
class RecordingFilter : public KFCurveFilter {
public:
    RecordingFilter() : KFCurveFilter(eKFCurveFilterConstantKeyReducer) { Reset(); }

    bool NeedApply(KFCurveNode& node, bool recursive = true) override {
        return KFCurveFilter::NeedApply(node, recursive);
    }
    bool NeedApply(KFCurve** curves, int count) override { return KFCurveFilter::NeedApply(curves, count); }
    bool NeedApply(KFCurve& curve) override {
        asked.push_back(&curve);
        return true;
    }
    bool Apply(KFCurveNode& node, bool recursive = true) override { return KFCurveFilter::Apply(node, recursive); }
    bool Apply(KFCurve** curves, int count) override { return KFCurveFilter::Apply(curves, count); }
    bool Apply(KFCurve& curve) override {
        applied.push_back(&curve);
        for (KFCurve* c : refuse)
            if (c == &curve) {
                SetError(KFCURVEFILTER_ERROR_NO_KEY, "Recording, refused.");
                return false;
            }
        return true;
    }

    std::vector<KFCurve*> applied, asked, refuse;
};

class Bare : public KFCurveFilter {
public:
    explicit Bare(const char* name) : KFCurveFilter(name, nullptr, 3) {}
    bool Apply(KFCurveNode& n, bool r) override { return KFCurveFilter::Apply(n, r); }
    bool Apply(KFCurve** c, int n) override { return KFCurveFilter::Apply(c, n); }
    bool Apply(KFCurve&) override { return true; }
    void Fail() { SetError(1); }
};

TEST(KFCurveFilterInfo, TablesGiveNamesAndMessagesById) {
    const KFCurveFilterInfo& sync = KFCurveFilterGetInfo(eKFCurveFilterKeySync);
    EXPECT_STREQ(sync.mName, "FCurve Key Synchronizer");
    ASSERT_EQ(sync.mMessageCount, 5);
    EXPECT_STREQ(sync.mMessages[0], "No key");
    EXPECT_STREQ(sync.mMessages[4], "Too many curves");
    EXPECT_STREQ(KFCurveFilterGetInfo(eKFCurveFilterResample).mMessages[1], "Bad Interval");
    const KFCurveFilterInfo& bad = KFCurveFilterGetInfo(static_cast<EKFCurveFilterKind>(99));
    EXPECT_STREQ(bad.mName, "");
    EXPECT_EQ(bad.mMessageCount, 0);
}

TEST(KFCurveFilterBase, SpanIsEmptyUntilResetAndNullNameOrTableAreSafe) {
    Bare bare("Bare");
    EXPECT_EQ(bare.GetStartTime(), KTime(0));
    EXPECT_EQ(bare.GetStopTime(), KTime(0));
    EXPECT_EQ(bare.GetLastErrorID(), -1);
    bare.Reset();
    EXPECT_EQ(bare.GetStartTime(), KTime::MinusInfinite());
    EXPECT_EQ(bare.GetStopTime().Get(), 0x7FFFFFFFFFFFFFFFLL);

    Bare unnamed(nullptr);
    EXPECT_STREQ(unnamed.GetName(), "");
    unnamed.Fail();
    EXPECT_EQ(unnamed.GetLastErrorID(), 1);
    EXPECT_STREQ(unnamed.GetLastErrorString(), "");
}

// Keys at 0 .. 4 s; the span's start (or stop) time and the start (or stop)
// key: the key before the span's first key is included, and the one after its last.
struct SpanKeyCase {
    bool start;
    double seconds;
    int key;
};

class StartStopKeys : public ::testing::TestWithParam<SpanKeyCase> {};

TEST_P(StartStopKeys, KeyOfTheSpan) {
    KFCurve curve;
    Keys(curve, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
    RecordingFilter filter;
    EXPECT_EQ(filter.GetStartKey(curve), 0);
    EXPECT_EQ(filter.GetStopKey(curve), 5);
    KFCurve empty;
    EXPECT_EQ(filter.GetStartKey(empty), -1);
    EXPECT_EQ(filter.GetStopKey(empty), -1);
    const SpanKeyCase& c = GetParam();
    if (c.start) {
        filter.SetStartTime(Sec(c.seconds));
        EXPECT_EQ(filter.GetStartKey(curve), c.key);
    } else {
        filter.SetStopTime(Sec(c.seconds));
        EXPECT_EQ(filter.GetStopKey(curve), c.key);
    }
}

INSTANTIATE_TEST_SUITE_P(Spans, StartStopKeys,
                         ::testing::Values(SpanKeyCase{true, -5.0, 0}, SpanKeyCase{true, 1.0, 0},
                                           SpanKeyCase{true, 1.5, 0}, SpanKeyCase{true, 2.0, 1},
                                           SpanKeyCase{true, 2.5, 1}, SpanKeyCase{true, 4.0, 3},
                                           SpanKeyCase{true, 9.0, 3}, SpanKeyCase{false, 9.0, 5},
                                           SpanKeyCase{false, 4.0, 5}, SpanKeyCase{false, 3.5, 4},
                                           SpanKeyCase{false, 3.0, 4}, SpanKeyCase{false, 2.5, 3},
                                           SpanKeyCase{false, 0.0, 1}, SpanKeyCase{false, -3.0, 1}));

TEST(KFCurveFilterForms, ArrayFormVisitsEveryCurveWhateverTheyAnswer) {
    KFCurve a, b, c;
    RecordingFilter filter;
    filter.refuse = {&a};
    KFCurve* curves[] = {&a, nullptr, &b, &c};
    EXPECT_TRUE(filter.Apply(curves, 4));
    EXPECT_EQ(filter.applied, (std::vector<KFCurve*>{&a, &b, &c}));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "Recording, refused.");
    // Successes later on leave the error in place.
    filter.refuse.clear();
    EXPECT_TRUE(filter.Apply(curves, 4));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);

    filter.applied.clear();
    EXPECT_TRUE(filter.Apply(curves, 0));
    EXPECT_TRUE(filter.Apply(curves, -3));
    EXPECT_TRUE(filter.Apply(nullptr, 2));
    EXPECT_TRUE(filter.applied.empty());
    EXPECT_TRUE(filter.NeedApply(curves, 4));
    EXPECT_EQ(filter.asked, (std::vector<KFCurve*>{&a, &b, &c}));
}

TEST(KFCurveFilterForms, TreeFormVisitsChildrenDepthFirstThenTheOwnCurve) {
    NodePtr root(Leaf("T"));
    root->Add(Leaf("X"));
    root->Add(KFCurveNodeCreate("Y"));  // no curve
    root->Add(Leaf("Z"));
    root->Get(2)->Add(Leaf("Sub"));
    auto curveOf = [&](const char* path) { return root->FindRecursive(path)->FCurveGet(); };
    RecordingFilter filter;
    filter.refuse = {curveOf("X")};
    EXPECT_TRUE(filter.Apply(*root, true));
    const std::vector<KFCurve*> expected = {curveOf("X"), curveOf("Z/Sub"), curveOf("Z"), root->FCurveGet()};
    EXPECT_EQ(filter.applied, expected);
    EXPECT_TRUE(filter.NeedApply(*root, true));
    EXPECT_EQ(filter.asked, expected);

    filter.applied.clear();
    EXPECT_TRUE(filter.Apply(*root, false));
    EXPECT_EQ(filter.applied, (std::vector<KFCurve*>{root->FCurveGet()}));
    // A node without a curve of its own, not recursive: nothing to visit.
    filter.applied.clear();
    filter.asked.clear();
    EXPECT_TRUE(filter.Apply(*root->Get(1), false));
    EXPECT_TRUE(filter.NeedApply(*root->Get(1), false));
    EXPECT_TRUE(filter.applied.empty());
    EXPECT_TRUE(filter.asked.empty());
}

}  // namespace
