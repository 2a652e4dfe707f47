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
    // Equal slopes invert to 0; derivatives below 1e-5 are written back as 0.
    EXPECT_EQ(Convert(kLeftInverse, 4.0, 4.0, 4.0), 0.0);
    EXPECT_EQ(Convert(kRightInverse, 4.0, 4.0, 4.0), 0.0);
    double a, tiny = 5e-6, one = 1.0, minusOne = -1.0;
    KFCURVE_ComputeLeftAutoFromBezier(a, tiny, one, minusOne);
    EXPECT_EQ(tiny, 0.0);
    EXPECT_DOUBLE_EQ(a, 0.0);
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
    // Both sides at once agree with the one-sided forms.
    double l, r, al = a, ar = -a, tlv = tl, trv = tr;
    KFCURVE_ComputeBezierFromAuto(l, r, al, ar, tlv, trv);
    EXPECT_EQ(l, Convert(kLeft, a, tl, tr));
    EXPECT_EQ(r, Convert(kRight, -a, tl, tr));
    KFCURVE_ComputeAutoFromBezier(al, ar, l, r, tlv, trv);
    EXPECT_NEAR(al, a, tol);
    EXPECT_NEAR(ar, -a, tol);
}

INSTANTIATE_TEST_SUITE_P(LinearRange, KFCurveAutoRoundTrip,
                         ::testing::Combine(::testing::Values(-500.0, -250.0, -100.0, 0.0, 37.5, 100.0, 500.0),
                                            ::testing::Values(2.0, -3.0), ::testing::Values(7.0, -0.5)),
                         RoundTripName);

INSTANTIATE_TEST_SUITE_P(SweepRange, KFCurveAutoRoundTrip,
                         ::testing::Combine(::testing::Values(-900.0, -600.0, 650.0, 1000.0),
                                            ::testing::Values(2.0, -3.0, 1.0), ::testing::Values(7.0, -0.5, 1.0)),
                         RoundTripName);

TEST(KFCurveAutoTangent, PerKeyFormsOnCurvesWithoutEnoughKeysAreFlatAndDefined) {
    KFCurve curve;
    double l = 9, r = 9, al = 7, ar = 900;
    KFCURVE_ComputeBezierFromAutoForKey(l, r, al, ar, &curve, 0);
    EXPECT_EQ(l + r, 0.0);
    l = r = 3;
    KFCURVE_ComputeAutoFromBezierForKey(al, ar, l, r, &curve, 0);
    EXPECT_EQ(l + r, 0.0);
    EXPECT_EQ(al, 7.0) << "outputs are left alone";
    KFCURVE_ComputeLeftBezierFromAutoForKey(l, al, nullptr, 0);
    EXPECT_EQ(l, 0.0);
    // One key: no slopes on either side, so everything is flat (and defined).
    Add(curve, 1, MakeKey(5.0f, kCubic, KFCURVE_TANGEANT_AUTO));
    double a = 0, d;
    for (auto* f : {&KFCURVE_ComputeLeftBezierFromAutoForKey, &KFCURVE_ComputeRightBezierFromAutoForKey}) {
        d = 1;
        f(d, a, &curve, 0);
        EXPECT_EQ(d, 0.0);
    }
    d = 0.5;
    KFCURVE_ComputeRightAutoFromBezierForKey(a, d, &curve, 0);
    KFCURVE_ComputeLeftAutoFromBezierForKey(a, d, &curve, 0);
    EXPECT_TRUE(std::isfinite(a));
}
