#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilter.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::Sec;

namespace {

// Records the curves it is applied to; answers false for curves listed in refuse.
class RecordingFilter : public KFCurveFilter {
public:
    RecordingFilter() : KFCurveFilter(eKFCurveFilterConstantKeyReducer) { Reset(); }

    bool NeedApply(KFCurveNode& node, bool recursive = true) override { return KFCurveFilter::NeedApply(node, recursive); }
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

    std::vector<KFCurve*> applied;
    std::vector<KFCurve*> asked;
    std::vector<KFCurve*> refuse;
};

// Keys at 0, 1, 2, ... seconds.
void KeyAt(KFCurve& curve, std::initializer_list<double> seconds) {
    for (double s : seconds) fcurvetest::Add(curve, s, fcurvetest::MakeKey(static_cast<float>(s)));
}

KFCurveNode* LeafWithCurve(const char* name) {
    KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr));
    node->FCurveSet(KFCurveCreate(), true);
    return node;
}

TEST(KFCurveFilterInfo, TablesGiveNamesAndMessagesById) {
    const KFCurveFilterInfo& sync = KFCurveFilterGetInfo(eKFCurveFilterKeySync);
    EXPECT_STREQ(sync.mName, "FCurve Key Synchronizer");
    ASSERT_EQ(sync.mMessageCount, 5);
    EXPECT_STREQ(sync.mMessages[2], "Multiple key count");
    EXPECT_STREQ(sync.mMessages[4], "Too many curves");

    const KFCurveFilterInfo& resample = KFCurveFilterGetInfo(eKFCurveFilterResample);
    EXPECT_STREQ(resample.mName, "FCurve Resample");
    ASSERT_EQ(resample.mMessageCount, 2);
    EXPECT_STREQ(resample.mMessages[0], "Bad Period");
    EXPECT_STREQ(resample.mMessages[1], "Bad Interval");

    const KFCurveFilterInfo& matrix = KFCurveFilterGetInfo(eKFCurveFilterMatrixConverter);
    ASSERT_EQ(matrix.mMessageCount, 4);
    EXPECT_STREQ(matrix.mMessages[2],
                 "Invalid Apply method.  Use KFCurveFilterMatrixConverter::Apply(KFCurveNode&, bool)");

    EXPECT_STREQ(KFCurveFilterGetInfo(eKFCurveFilterGimbleKiller).mMessages[2], "Not 3 curve");
    EXPECT_STREQ(KFCurveFilterGetInfo(eKFCurveFilterUnroll).mMessages[3], "Unexepected");
    EXPECT_STREQ(KFCurveFilterGetInfo(eKFCurveFilterTimeShiftAndScale).mName, "TimeShiftAndScaleFilter");
    EXPECT_STREQ(KFCurveFilterGetInfo(eKFCurveFilterKeyReducer).mName, "Bezier Fit/Key Reducer");
}

TEST(KFCurveFilterInfo, SharedTextsAreOneObjectAndBadKindsAreEmpty) {
    // "No key" and "Left unchanged" are the same two texts in every table that has them.
    const char* noKey = KFCurveFilterGetInfo(eKFCurveFilterConstantKeyReducer).mMessages[0];
    const char* unchanged = KFCurveFilterGetInfo(eKFCurveFilterConstantKeyReducer).mMessages[1];
    EXPECT_STREQ(noKey, "No key");
    EXPECT_STREQ(unchanged, "Left unchanged");
    for (EKFCurveFilterKind kind : {eKFCurveFilterMatrixConverter, eKFCurveFilterUnroll, eKFCurveFilterGimbleKiller,
                                    eKFCurveFilterKeyReducer, eKFCurveFilterKeySync,
                                    eKFCurveFilterTimeShiftAndScale}) {
        EXPECT_EQ(KFCurveFilterGetInfo(kind).mMessages[0], noKey);
        EXPECT_EQ(KFCurveFilterGetInfo(kind).mMessages[1], unchanged);
    }
    const KFCurveFilterInfo& bad = KFCurveFilterGetInfo(static_cast<EKFCurveFilterKind>(99));
    EXPECT_STREQ(bad.mName, "");
    EXPECT_EQ(bad.mMessageCount, 0);
}

TEST(KFCurveFilterBase, ConstructorSpanIsZeroUntilReset) {
    // The base constructor alone leaves 0 .. 0; the filter's Reset opens it.
    class Bare : public KFCurveFilter {
    public:
        Bare() : KFCurveFilter("Bare", nullptr, 0) {}
        bool Apply(KFCurveNode& n, bool r) override { return KFCurveFilter::Apply(n, r); }
        bool Apply(KFCurve** c, int n) override { return KFCurveFilter::Apply(c, n); }
        bool Apply(KFCurve&) override { return true; }
    } bare;
    EXPECT_EQ(bare.GetStartTime(), KTime(0));
    EXPECT_EQ(bare.GetStopTime(), KTime(0));
    EXPECT_STREQ(bare.GetName(), "Bare");
    EXPECT_EQ(bare.GetLastErrorID(), -1);
    bare.Reset();
    EXPECT_EQ(bare.GetStartTime().Get(), static_cast<kLongLong>(0x8000000000000001ULL));
    EXPECT_EQ(bare.GetStopTime().Get(), 0x7FFFFFFFFFFFFFFFLL);
}

TEST(KFCurveFilterBase, NullNameAndTableAreSafe) {
    class Bare : public KFCurveFilter {
    public:
        Bare() : KFCurveFilter(nullptr, nullptr, 3) {}
        bool Apply(KFCurveNode& n, bool r) override { return KFCurveFilter::Apply(n, r); }
        bool Apply(KFCurve** c, int n) override { return KFCurveFilter::Apply(c, n); }
        bool Apply(KFCurve&) override { return true; }
        void Fail() { SetError(1); }
    } bare;
    EXPECT_STREQ(bare.GetName(), "");
    bare.Fail();
    EXPECT_EQ(bare.GetLastErrorID(), 1);
    EXPECT_STREQ(bare.GetLastErrorString(), "");
}

// ---- Start and stop keys --------------------------------------------------------------

class StartStopKeys : public ::testing::Test {
protected:
    void SetUp() override { KeyAt(curve, {0, 1, 2, 3, 4}); }
    KFCurve curve;
    RecordingFilter filter;
};

TEST_F(StartStopKeys, OpenSpanCoversEveryKey) {
    EXPECT_EQ(filter.GetStartKey(curve), 0);
    EXPECT_EQ(filter.GetStopKey(curve), 5);
}

TEST_F(StartStopKeys, CurveWithoutKeysGivesMinusOne) {
    KFCurve empty;
    EXPECT_EQ(filter.GetStartKey(empty), -1);
    EXPECT_EQ(filter.GetStopKey(empty), -1);
}

// start (s), expected start key; the key before the span's first key is included.
class StartKeyCase : public StartStopKeys, public ::testing::WithParamInterface<std::tuple<double, int>> {};

TEST_P(StartKeyCase, StartKey) {
    filter.SetStartTime(Sec(std::get<0>(GetParam())));
    EXPECT_EQ(filter.GetStartKey(curve), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Spans, StartKeyCase,
                         ::testing::Values(std::make_tuple(-5.0, 0), std::make_tuple(0.0, 0),
                                           std::make_tuple(0.5, 0), std::make_tuple(1.0, 0),
                                           std::make_tuple(1.5, 0), std::make_tuple(2.0, 1),
                                           std::make_tuple(2.5, 1), std::make_tuple(3.5, 2),
                                           std::make_tuple(4.0, 3), std::make_tuple(9.0, 3)));

class StopKeyCase : public StartStopKeys, public ::testing::WithParamInterface<std::tuple<double, int>> {};

TEST_P(StopKeyCase, StopKey) {
    filter.SetStopTime(Sec(std::get<0>(GetParam())));
    EXPECT_EQ(filter.GetStopKey(curve), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Spans, StopKeyCase,
                         ::testing::Values(std::make_tuple(9.0, 5), std::make_tuple(4.0, 5),
                                           std::make_tuple(3.5, 4), std::make_tuple(3.0, 4),
                                           std::make_tuple(2.5, 3), std::make_tuple(0.5, 1),
                                           std::make_tuple(0.0, 1), std::make_tuple(-3.0, 1)));

// ---- Array and tree forms ---------------------------------------------------------------

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

class TreeForm : public ::testing::Test {
protected:
    void SetUp() override {
        root = KFCurveNodeCreate("T", static_cast<KDataType*>(nullptr));
        root->FCurveSet(KFCurveCreate(), true);
        KFCurveNode* x = LeafWithCurve("X");
        KFCurveNode* y = KFCurveNodeCreate("Y", static_cast<KDataType*>(nullptr));  // no curve
        KFCurveNode* z = LeafWithCurve("Z");
        z->Add(LeafWithCurve("Sub"));
        root->Add(x);
        root->Add(y);
        root->Add(z);
    }
    void TearDown() override { root->Destroy(); }
    KFCurve* CurveOf(const char* path) { return root->FindRecursive(path)->FCurveGet(); }
    KFCurveNode* root = nullptr;
    RecordingFilter filter;
};

TEST_F(TreeForm, RecursiveVisitsChildrenDepthFirstThenOwnCurve) {
    filter.refuse = {CurveOf("X")};
    EXPECT_TRUE(filter.Apply(*root, true));
    const std::vector<KFCurve*> expected = {CurveOf("X"), CurveOf("Z/Sub"), CurveOf("Z"), root->FCurveGet()};
    EXPECT_EQ(filter.applied, expected);
    EXPECT_TRUE(filter.NeedApply(*root, true));
    EXPECT_EQ(filter.asked, expected);
}

TEST_F(TreeForm, NonRecursiveVisitsOnlyTheNodesOwnCurve) {
    EXPECT_TRUE(filter.Apply(*root, false));
    EXPECT_EQ(filter.applied, (std::vector<KFCurve*>{root->FCurveGet()}));
}

TEST_F(TreeForm, NodeWithoutCurveNonRecursiveIsANoOp) {
    KFCurveNode* y = root->Get(1);
    EXPECT_TRUE(filter.Apply(*y, false));
    EXPECT_TRUE(filter.NeedApply(*y, false));
    EXPECT_TRUE(filter.applied.empty());
    EXPECT_TRUE(filter.asked.empty());
}

}  // namespace
