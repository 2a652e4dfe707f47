#include <gtest/gtest.h>

#include <vector>

#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;
using namespace fcurvetest::core;

namespace {

class KFCurveCandidateTest : public ::testing::Test {
protected:
    // Keys at 0, 1, 2, 3 s with broken user tangents that differ per side.
    void SetUp() override {
        for (int i = 0; i < 4; ++i)
            Add(curve, i, MakeKey(float(i * i), kCubic, KFCURVE_TANGEANT_USER_BREAK, 1.0f + i, 2.0f - i));
    }
    int Key(int mode, bool isBreak = false, bool tangent = true, KTime time = KTime::Infinite(),
            double tolerance = 0.0) {
        return curve.CandidateKey(nullptr, KFCURVE_INTERPOLATION_CUBIC, mode, isBreak, tangent, time, tolerance);
    }
    KFCurve curve;
};

}  // namespace

TEST(KFCurveCandidateEmptyTest, AnEmptyCurveGetsExactlyOneKeyOfTheAskedKind) {
    const struct {
        unsigned int interpolation;
        int mode;
        bool isBreak;
        unsigned int expectedMode;  // TCB keys are never broken
    } cases[] = {{kCubic, KFCURVE_TANGEANT_USER, false, KFCURVE_TANGEANT_USER},
                 {kCubic, KFCURVE_TANGEANT_AUTO, true, KFCURVE_TANGEANT_AUTO_BREAK},
                 {kCubic, KFCURVE_TANGEANT_TCB, true, KFCURVE_TANGEANT_TCB}};
    for (const auto& c : cases) {
        KFCurve curve;
        curve.CandidateSet(Sec(2.0), 3.5);
        int last = -1;
        ASSERT_EQ(curve.CandidateKey(&last, c.interpolation, c.mode, c.isBreak), 0);
        EXPECT_EQ(last, 0);
        ASSERT_EQ(curve.KeyGetCount(), 1);
        const KFCurveKey* key = curve.KeyGetPtr(0);
        EXPECT_TRUE(key->GetTime() == Sec(2.0) && key->GetValue() == 3.5f);
        EXPECT_EQ(key->GetInterpolation() | key->GetTangeantMode(), c.interpolation | c.expectedMode);
    }
}

TEST_F(KFCurveCandidateTest, ANewKeyTakesTheCurvesValueAndSlopesAndLeavesTheNeighbours) {
    const KTime t = Sec(1.25);
    const float value = curve.CandidateEvaluate(t);
    const float slope = curve.EvaluateLeftDerivative(t);
    const std::vector<float> before = Sample(curve, -0.5, 3.5, 160);
    ASSERT_EQ(Key(KFCURVE_TANGEANT_USER), 0);
    ASSERT_EQ(curve.KeyGetCount(), 5);
    EXPECT_EQ(curve.KeyGetPtr(2)->GetTime(), t);
    EXPECT_EQ(curve.KeyGetPtr(2)->GetValue(), value);
    EXPECT_TRUE(AllNear({slope, slope}, Derivatives(curve, 2), 1e-6));
    EXPECT_TRUE(AllNear(before, Sample(curve, -0.5, 3.5, 160), 1e-4));
}
