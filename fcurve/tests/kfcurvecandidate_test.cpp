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

TEST_F(KFCurveCandidateTest, ABrokenKeyGetsFlatOrOneSidedTangentsAndTheNeighboursKeepTheirs) {
    // Around the fixture's key k its left derivative is 3 - k and its right one 1 + k.
    auto neighbours = [this](int before, int after) {
        return std::vector<float>{curve.KeyGetLeftDerivative(before), curve.KeyGetRightDerivative(before),
                                  curve.KeyGetLeftDerivative(after), curve.KeyGetRightDerivative(after)};
    };
    // A new user key: flat on both sides.
    curve.CandidateSet(Sec(1.5), 7.0);
    ASSERT_EQ(Key(KFCURVE_TANGEANT_USER, true), 0);
    ASSERT_EQ(curve.KeyGetCount(), 5);
    const KFCurveKey* key = curve.KeyGetPtr(2);
    EXPECT_TRUE(key->GetTime() == Sec(1.5) && key->GetValue() == 7.0f);
    EXPECT_EQ(key->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_USER));
    EXPECT_EQ(Derivatives(curve, 2), (std::vector<float>{0, 0}));
    EXPECT_EQ(neighbours(1, 3), (std::vector<float>{2, 2, 1, 3}));
    curve.KeyRemove(2);

    // An existing key within the tolerance, made auto with break: its sides take the slopes
    // to its neighbours (4 from the key before, -4/3 to the key after).
    curve.CandidateSet(Sec(1.25), 5.0);
    ASSERT_EQ(Key(KFCURVE_TANGEANT_AUTO, true, true, KTime::Infinite(), 0.5), 0);
    ASSERT_EQ(curve.KeyGetCount(), 4);
    key = curve.KeyGetPtr(1);
    EXPECT_TRUE(key->GetTime() == Sec(1.25) && key->GetValue() == 5.0f);
    EXPECT_EQ(key->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_AUTO_BREAK));
    EXPECT_TRUE(AllNear({4.0f, -4.0f / 3.0f}, Derivatives(curve, 1), 1e-6));
    EXPECT_EQ(curve.KeyGetRightDerivative(0), 1.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), 1.0f);

    // Not rebuilt: the key only takes the candidate's value.
    curve.CandidateSet(Sec(3.0), 8.0);
    ASSERT_EQ(Key(KFCURVE_TANGEANT_AUTO, false, false), 0);
    EXPECT_EQ(curve.KeyGetPtr(3)->GetValue(), 8.0f);
    EXPECT_EQ(curve.KeyGetPtr(3)->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_USER_BREAK));

    // TCB: a discontinuity (continuity -1).
    curve.CandidateSet(Sec(2.5), 1.0);
    ASSERT_EQ(Key(KFCURVE_TANGEANT_TCB, true), 0);
    key = curve.KeyGetPtr(3);
    EXPECT_EQ(key->GetTangeantMode(), unsigned(KFCURVE_TANGEANT_TCB));
    EXPECT_EQ(std::vector<float>({key->GetDataDouble(KFCURVEKEY_TCB_TENSION),
                                  key->GetDataDouble(KFCURVEKEY_TCB_CONTINUITY), key->GetDataDouble(KFCURVEKEY_TCB_BIAS)}),
              (std::vector<float>{0, -1, 0}));
}
