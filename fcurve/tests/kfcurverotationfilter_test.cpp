#include "fcurve/kfcurverotationfilter.h"

#include <gtest/gtest.h>

#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// The setting is process-wide: each test puts it back.
class RotationFilter : public ::testing::TestWithParam<int> {
protected:
    RotationFilter() : mSaved(KFCURVE_GetRotationFilterToApply()) {
        KeyAll(node, 0, {170, 0, 0});
        KeyAll(node, 1, {-170, 0, 0});
        KeyAll(node, 2, {-150, 0, 90});
    }
    ~RotationFilter() override { KFCURVE_SetRotationFilterToApply(mSaved); }
    KFCurve& X() { return C(node, 0); }
    void Run(KTime start = KTime::MinusInfinite(), KTime stop = KTime::Infinite()) {
        KFCURVE_ApplyRotationFilter(node.get(), start, stop);
    }

    NodePtr node = RotationNode();

private:
    int mSaved;
};

TEST_F(RotationFilter, UnrollByDefaultOverTheSpan) {
    EXPECT_EQ(KFCURVE_GetRotationFilterToApply(), KFCURVE_ROTATION_FILTER_UNROLL);
    KeyAll(node, 3, {-130, 0, 90});
    Run(Sec(1.5), Sec(3));
    EXPECT_EQ(Values(X()), (std::vector<float>{170, -170, -150, -130}));
    Run();
    EXPECT_EQ(Values(X()), (std::vector<float>{170, 190, 210, 230}));
}

TEST_F(RotationFilter, GimbleKillerWhenChosen) {
    KFCURVE_SetRotationFilterToApply(KFCURVE_ROTATION_FILTER_GIMBLE_KILLER);
    Run();
    EXPECT_GT(X().KeyGetCount(), 5);  // steps of 20 degrees and more are subdivided
    const int second = static_cast<int>(X().KeyFind(Sec(1)));
    EXPECT_EQ(X().KeyGetPtr(second)->GetTime(), Sec(1));
    EXPECT_FLOAT_EQ(X().KeyGetPtr(second)->GetValue(), 190.0f);
}

TEST_P(RotationFilter, OtherSettingsNullAndRefusedNodesAreLeftAlone) {
    KFCURVE_SetRotationFilterToApply(GetParam());
    Run();
    KFCURVE_ApplyRotationFilter(nullptr, KTime::MinusInfinite(), KTime::Infinite());
    NodePtr translation = RotationNode(KFCL_ADD);
    KeyAll(translation, 0, {170, 0, 0});
    KeyAll(translation, 1, {-170, 0, 0});
    KFCURVE_ApplyRotationFilter(translation.get(), KTime::MinusInfinite(), KTime::Infinite());
    EXPECT_EQ(Values(C(translation, 0)), (std::vector<float>{170, -170}));
    if (GetParam() != KFCURVE_ROTATION_FILTER_UNROLL && GetParam() != KFCURVE_ROTATION_FILTER_GIMBLE_KILLER) {
        EXPECT_EQ(Values(X()), (std::vector<float>{170, -170, -150}));
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, RotationFilter,
                         ::testing::Values(0, 3, -1, KFCURVE_ROTATION_FILTER_UNROLL,
                                           KFCURVE_ROTATION_FILTER_GIMBLE_KILLER));

}  // namespace
