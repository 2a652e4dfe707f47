#include "fcurve/kfcurverotationfilter.h"

#include <gtest/gtest.h>

#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// The setting is process-wide: each test puts it back.
class RotationFilter : public ::testing::Test {
protected:
    RotationFilter() { KeyRows(node, {{170, 0, 0}, {-170, 0, 0}, {-150, 0, 90}}); }
    ~RotationFilter() override { KFCURVE_SetRotationFilterToApply(mSaved); }
    void Run(KTime start = KTime::MinusInfinite(), KTime stop = KTime::Infinite()) {
        KFCURVE_ApplyRotationFilter(node.get(), start, stop);
    }

    NodePtr node = RotationNode();

private:
    int mSaved = KFCURVE_GetRotationFilterToApply();
};

TEST_F(RotationFilter, UnrollByDefaultOverTheSpanOrTheGimbleKillerWhenChosen) {
    KeyAll(node, 3, {-130, 0, 90});
    Run(Sec(1.5), Sec(3));
    EXPECT_EQ(Values(C(node, 0)), (std::vector<float>{170, -170, -150, -130}));
    Run();
    EXPECT_EQ(Values(C(node, 0)), (std::vector<float>{170, 190, 210, 230}));

    NodePtr other = RotationNode();
    KeyRows(other, {{170, 0, 0}, {-170, 0, 0}, {-150, 0, 90}});
    KFCURVE_SetRotationFilterToApply(KFCURVE_ROTATION_FILTER_GIMBLE_KILLER);
    KFCURVE_ApplyRotationFilter(other.get(), KTime::MinusInfinite(), KTime::Infinite());
    EXPECT_GT(C(other, 0).KeyGetCount(), 5);  // steps of 20 degrees and more are subdivided
    const int second = static_cast<int>(C(other, 0).KeyFind(Sec(1)));
    EXPECT_EQ(C(other, 0).KeyGetPtr(second)->GetTime(), Sec(1));
    EXPECT_FLOAT_EQ(C(other, 0).KeyGetPtr(second)->GetValue(), 190.0f);
}

}  // namespace
