#include <gtest/gtest.h>

#include "fcurve/kfcurverotationfilter.h"
#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/rotation_test_support.h"

using namespace zeqsdk_400;
using namespace rotationtest;

namespace {

// The setting is process-wide: each test puts it back.
class RotationFilter : public ::testing::Test {
protected:
    RotationFilter() : mSaved(KFCURVE_GetRotationFilterToApply()) {
        KeyTriple(*node, 0, 170, 0, 0);
        KeyTriple(*node, 1, -170, 0, 0);
        KeyTriple(*node, 2, -150, 0, 90);
    }
    ~RotationFilter() override { KFCURVE_SetRotationFilterToApply(mSaved); }

    KFCurve& X() { return *Channel(*node, 0); }
    void Run(KTime start = KTime::MinusInfinite(), KTime stop = KTime::Infinite()) {
        KFCURVE_ApplyRotationFilter(node.get(), start, stop);
    }

    NodePtr node = RotationNode();

private:
    int mSaved;
};

TEST_F(RotationFilter, UnrollByDefault) {
    EXPECT_EQ(KFCURVE_GetRotationFilterToApply(), KFCURVE_ROTATION_FILTER_UNROLL);
    Run();
    EXPECT_EQ(Values(X()), (std::vector<float>{170, 190, 210}));
}

TEST_F(RotationFilter, GimbleKillerWhenChosen) {
    KFCURVE_SetRotationFilterToApply(KFCURVE_ROTATION_FILTER_GIMBLE_KILLER);
    Run();
    // Steps of 20 degrees and more are subdivided.
    EXPECT_GT(X().KeyGetCount(), 5);
    const int second = static_cast<int>(X().KeyFind(Sec(1)));
    EXPECT_EQ(X().KeyGetPtr(second)->GetTime(), Sec(1));
    EXPECT_FLOAT_EQ(X().KeyGetPtr(second)->GetValue(), 190.0f);
}

class RotationFilterNone : public RotationFilter, public ::testing::WithParamInterface<int> {};

TEST_P(RotationFilterNone, OtherSettingsLeaveTheNodeAlone) {
    KFCURVE_SetRotationFilterToApply(GetParam());
    Run();
    EXPECT_EQ(Values(X()), (std::vector<float>{170, -170, -150}));
}

INSTANTIATE_TEST_SUITE_P(Settings, RotationFilterNone, ::testing::Values(0, 3, -1));

TEST_F(RotationFilter, OnlyTheSpanIsFiltered) {
    KeyTriple(*node, 3, -130, 0, 90);
    Run(Sec(1.5), Sec(3));
    ASSERT_EQ(X().KeyGetCount(), 4);
    EXPECT_EQ(X().KeyGetPtr(0)->GetValue(), 170.0f);
    EXPECT_EQ(X().KeyGetPtr(1)->GetValue(), -170.0f);
}

TEST_F(RotationFilter, NullOrRefusedNodesAreIgnored) {
    KFCURVE_ApplyRotationFilter(nullptr, KTime::MinusInfinite(), KTime::Infinite());
    NodePtr translation = RotationNode(KFCL_ADD);
    KeyTriple(*translation, 0, 170, 0, 0);
    KeyTriple(*translation, 1, -170, 0, 0);
    for (int setting : {KFCURVE_ROTATION_FILTER_UNROLL, KFCURVE_ROTATION_FILTER_GIMBLE_KILLER}) {
        KFCURVE_SetRotationFilterToApply(setting);
        KFCURVE_ApplyRotationFilter(translation.get(), KTime::MinusInfinite(), KTime::Infinite());
        EXPECT_EQ(Values(*Channel(*translation, 0)), (std::vector<float>{170, -170}));
    }
}

}  // namespace
