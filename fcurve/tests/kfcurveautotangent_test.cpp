#include "fcurve/kfcurveautotangent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;

namespace {

using Conversion = void (*)(double&, double&, double&, double&);

// One side's conversion of x with the slopes tl and tr.
double Convert(Conversion f, double x, double tl, double tr) {
    double out = 0.0;
    f(out, x, tl, tr);
    return out;
}

const Conversion kLeft = &KFCURVE_ComputeLeftBezierFromAuto;
const Conversion kRight = &KFCURVE_ComputeRightBezierFromAuto;
const Conversion kLeftInverse = &KFCURVE_ComputeLeftAutoFromBezier;
const Conversion kRightInverse = &KFCURVE_ComputeRightAutoFromBezier;

}  // namespace

TEST(KFCurveAutoTangent, WorkedExamples) {
    // {auto, toLeft, toRight, left, right}: 0 is the mean slope, +-100 the one-sided slopes; beyond +-500
    // with equal slopes the two sides sweep apart.
    const double cases[][5] = {{0, 2, -4, -1, -1},     {100, 2, -4, 2, -4},   {-100, 2, -4, -4, 2},
                               {600, 3, 3, -37, 43},   {-600, 3, 3, 43, -37}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(Convert(kLeft, c[0], c[1], c[2]), c[3]) << c[0];
        EXPECT_DOUBLE_EQ(Convert(kRight, c[0], c[1], c[2]), c[4]) << c[0];
    }
    // Equal slopes invert to 0.
    EXPECT_EQ(Convert(kLeftInverse, 4.0, 4.0, 4.0), 0.0);
}

class KFCurveAutoRoundTrip : public ::testing::TestWithParam<std::tuple<double, double, double>> {};

std::string RoundTripName(const ::testing::TestParamInfo<std::tuple<double, double, double>>& info) {
    const auto [a, tl, tr] = info.param;
    return "Auto" + NameOf(a) + "Slopes" + NameOf(tl) + "And" + NameOf(tr);
}

TEST_P(KFCurveAutoRoundTrip, InverseGivesTheAutoParameterBack) {
    const auto [a, tl, tr] = GetParam();
    const double tol = 1e-6 * (1 + std::fabs(a));
    EXPECT_NEAR(Convert(kLeftInverse, Convert(kLeft, a, tl, tr), tl, tr), a, tol);
    EXPECT_NEAR(Convert(kRightInverse, Convert(kRight, a, tl, tr), tl, tr), a, tol);
}

INSTANTIATE_TEST_SUITE_P(LinearRange, KFCurveAutoRoundTrip,
                         ::testing::Combine(::testing::Values(-500.0, -250.0, -100.0, 0.0, 37.5, 100.0, 500.0),
                                            ::testing::Values(2.0, -3.0), ::testing::Values(7.0, -0.5)),
                         RoundTripName);

INSTANTIATE_TEST_SUITE_P(SweepRange, KFCurveAutoRoundTrip,
                         ::testing::Combine(::testing::Values(-900.0, -600.0, 650.0, 1000.0),
                                            ::testing::Values(2.0, -3.0, 1.0), ::testing::Values(7.0, -0.5, 1.0)),
                         RoundTripName);

TEST(KFCurveAutoTangent, BothSidesAtOnceAndAroundAKeyOfACurve) {
    // Auto 100 on the left and -100 on the right: the slope to the previous key on both sides.
    double tl = 2.0, tr = -4.0, leftAuto = 100.0, rightAuto = -100.0, left = 0.0, right = 0.0;
    KFCURVE_ComputeBezierFromAuto(left, right, leftAuto, rightAuto, tl, tr);
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(2.0, 2.0));
    leftAuto = rightAuto = 0.0;
    double leftBack = 0.0, rightBack = 0.0;
    left = 1.0;
    right = -3.0;
    KFCURVE_ComputeAutoFromBezier(leftBack, rightBack, left, right, tl, tr);
    KFCURVE_ComputeBezierFromAuto(left, right, leftBack, rightBack, tl, tr);
    EXPECT_NEAR(left, 1.0, 1e-12);
    EXPECT_NEAR(right, -3.0, 1e-12);

    // Key 1 of (0 s, 0), (1 s, 2), (3 s, -4): slopes 2 before and -3 after.
    KFCurve curve;
    for (auto [s, v] : {std::pair<double, float>{0, 0}, {1, 2}, {3, -4}}) Add(curve, s, MakeKey(v, kCubic));
    leftAuto = rightAuto = 0.0;
    KFCURVE_ComputeBezierFromAutoForKey(left, right, leftAuto, rightAuto, &curve, 1);
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(-0.5, -0.5));
    left = 2.0;
    right = -3.0;
    KFCURVE_ComputeAutoFromBezierForKey(leftAuto, rightAuto, left, right, &curve, 1);
    EXPECT_NEAR(leftAuto, 100.0, 1e-9);
    EXPECT_NEAR(rightAuto, 100.0, 1e-9);

    // Without keys: derivatives of 0; the inverse leaves its outputs and zeroes its inputs.
    KFCurve empty;
    KFCURVE_ComputeBezierFromAutoForKey(left, right, leftAuto, rightAuto, &empty, 0);
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(0.0, 0.0));
    left = 5.0;
    right = 6.0;
    KFCURVE_ComputeAutoFromBezierForKey(leftAuto, rightAuto, left, right, &empty, 0);
    EXPECT_EQ(std::make_pair(leftAuto, rightAuto), std::make_pair(100.0, 100.0));
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(0.0, 0.0));
}
