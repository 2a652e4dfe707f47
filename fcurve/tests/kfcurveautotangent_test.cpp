#include "fcurve/kfcurveautotangent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "fcurve/kfcurve.h"

using namespace zeqsdk_400;

namespace {

double Left(double a, double tl, double tr) {
    double d;
    KFCURVE_ComputeLeftBezierFromAuto(d, a, tl, tr);
    return d;
}

double Right(double a, double tl, double tr) {
    double d;
    KFCURVE_ComputeRightBezierFromAuto(d, a, tl, tr);
    return d;
}

double LeftInverse(double d, double tl, double tr) {
    double a;
    KFCURVE_ComputeLeftAutoFromBezier(a, d, tl, tr);
    return a;
}

double RightInverse(double d, double tl, double tr) {
    double a;
    KFCURVE_ComputeRightAutoFromBezier(a, d, tl, tr);
    return a;
}

void AddKey(KFCurve& curve, int seconds, float value) {
    KFCurveKey key{};
    key.Set(KTime(0), value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0, 0, 0, 0.3f, 0.3f, 0, 0);
    curve.KeyAdd(KTime(seconds * KTime::kTicksPerSecond), key);
}

}  // namespace

TEST(KFCurveAutoTangent, WorkedExamples) {
    const double tl = 2.0;
    const double tr = -4.0;
    EXPECT_DOUBLE_EQ(Left(0, tl, tr), -1.0);
    EXPECT_DOUBLE_EQ(Right(0, tl, tr), -1.0);
    EXPECT_DOUBLE_EQ(Left(100, tl, tr), tl);
    EXPECT_DOUBLE_EQ(Right(100, tl, tr), tr);
    EXPECT_DOUBLE_EQ(Left(-100, tl, tr), tr);
    EXPECT_DOUBLE_EQ(Right(-100, tl, tr), tl);
    // Beyond +500 with equal slopes the two sides sweep apart.
    EXPECT_DOUBLE_EQ(Left(600, 3.0, 3.0), 3.0 - 40.0);
    EXPECT_DOUBLE_EQ(Right(600, 3.0, 3.0), 3.0 + 40.0);
    EXPECT_DOUBLE_EQ(Left(-600, 3.0, 3.0), 3.0 + 40.0);
    EXPECT_DOUBLE_EQ(Right(-600, 3.0, 3.0), 3.0 - 40.0);
}

TEST(KFCurveAutoTangent, BothSidesAtOnce) {
    double l, r;
    double al = 100, ar = 100, tl = 1, tr = 5;
    KFCURVE_ComputeBezierFromAuto(l, r, al, ar, tl, tr);
    EXPECT_DOUBLE_EQ(l, 1.0);
    EXPECT_DOUBLE_EQ(r, 5.0);
    double bl = l, br = r;
    KFCURVE_ComputeAutoFromBezier(al, ar, bl, br, tl, tr);
    EXPECT_NEAR(al, 100.0, 1e-9);
    EXPECT_NEAR(ar, 100.0, 1e-9);
}

class KFCurveAutoRoundTrip : public ::testing::TestWithParam<std::tuple<double, double, double>> {};

TEST_P(KFCurveAutoRoundTrip, InverseGivesTheAutoParameterBack) {
    const double a = std::get<0>(GetParam());
    const double tl = std::get<1>(GetParam());
    const double tr = std::get<2>(GetParam());
    EXPECT_NEAR(LeftInverse(Left(a, tl, tr), tl, tr), a, 1e-6 * (1 + std::fabs(a)));
    EXPECT_NEAR(RightInverse(Right(a, tl, tr), tl, tr), a, 1e-6 * (1 + std::fabs(a)));
}

INSTANTIATE_TEST_SUITE_P(LinearRange, KFCurveAutoRoundTrip,
                         ::testing::Combine(::testing::Values(-500.0, -250.0, -100.0, 0.0, 37.5, 100.0, 500.0),
                                            ::testing::Values(2.0, -3.0), ::testing::Values(7.0, -0.5)));

INSTANTIATE_TEST_SUITE_P(SweepRange, KFCurveAutoRoundTrip,
                         ::testing::Combine(::testing::Values(-900.0, -600.0, 650.0, 1000.0),
                                            ::testing::Values(2.0, -3.0, 1.0), ::testing::Values(7.0, -0.5, 1.0)));

TEST(KFCurveAutoTangent, EqualSlopesInvertToZero) {
    EXPECT_EQ(LeftInverse(4.0, 4.0, 4.0), 0.0);
    EXPECT_EQ(RightInverse(4.0, 4.0, 4.0), 0.0);
}

TEST(KFCurveAutoTangent, TinyDerivativesAreWrittenBackAsZero) {
    double a;
    double d = 5e-6;
    double tl = 1.0, tr = -1.0;
    KFCURVE_ComputeLeftAutoFromBezier(a, d, tl, tr);
    EXPECT_EQ(d, 0.0);
    EXPECT_DOUBLE_EQ(a, 0.0);  // the mean of the slopes is 0
    d = -2e-6;
    KFCURVE_ComputeRightAutoFromBezier(a, d, tl, tr);
    EXPECT_EQ(d, 0.0);
}

TEST(KFCurveAutoTangent, SlopesAroundKeys) {
    KFCurve curve;
    AddKey(curve, 0, 0.0f);
    AddKey(curve, 2, 4.0f);
    AddKey(curve, 3, 1.0f);
    double tl = -1, tr = -1;
    KFCURVE_ComputeToLeftAndToRight(tl, tr, &curve, 0);
    EXPECT_DOUBLE_EQ(tl, 2.0);
    EXPECT_DOUBLE_EQ(tr, 2.0);
    KFCURVE_ComputeToLeftAndToRight(tl, tr, &curve, 1);
    EXPECT_DOUBLE_EQ(tl, 2.0);
    EXPECT_DOUBLE_EQ(tr, -3.0);
    KFCURVE_ComputeToLeftAndToRight(tl, tr, &curve, 2);
    EXPECT_DOUBLE_EQ(tl, -3.0);
    EXPECT_DOUBLE_EQ(tr, -3.0);
    KFCURVE_ComputeToLeftAndToRight(tl, tr, &curve, 3);
    EXPECT_EQ(tl, 0.0);
    EXPECT_EQ(tr, 0.0);
}

TEST(KFCurveAutoTangent, PerKeyFormsOnCurvesWithoutEnoughKeys) {
    KFCurve curve;
    double l = 9, r = 9, al = 50, ar = 50;
    KFCURVE_ComputeBezierFromAutoForKey(l, r, al, ar, &curve, 0);
    EXPECT_EQ(l, 0.0);
    EXPECT_EQ(r, 0.0);
    double dl = 3, dr = 3;
    al = 7;
    ar = 8;
    KFCURVE_ComputeAutoFromBezierForKey(al, ar, dl, dr, &curve, 0);
    EXPECT_EQ(dl, 0.0);
    EXPECT_EQ(dr, 0.0);
    EXPECT_EQ(al, 7.0) << "outputs are left alone";
    EXPECT_EQ(ar, 8.0);
    KFCURVE_ComputeLeftBezierFromAutoForKey(l, al, nullptr, 0);
    EXPECT_EQ(l, 0.0);

    // One key: no slopes on either side, so everything is flat (and defined).
    AddKey(curve, 1, 5.0f);
    double a = 0;
    double d = 1;
    KFCURVE_ComputeLeftBezierFromAutoForKey(d, a, &curve, 0);
    EXPECT_EQ(d, 0.0);
    d = 2;
    KFCURVE_ComputeRightBezierFromAutoForKey(d, a, &curve, 0);
    EXPECT_EQ(d, 0.0);
    d = 0.5;
    KFCURVE_ComputeRightAutoFromBezierForKey(a, d, &curve, 0);
    EXPECT_TRUE(std::isfinite(a));
    d = 0.5;
    KFCURVE_ComputeLeftAutoFromBezierForKey(a, d, &curve, 0);
    EXPECT_TRUE(std::isfinite(a));
}

TEST(KFCurveAutoTangent, PerKeyFormsUseTheKeysSlopes) {
    KFCurve curve;
    AddKey(curve, 0, 0.0f);
    AddKey(curve, 1, 2.0f);
    AddKey(curve, 2, 0.0f);
    double l, r;
    double al = 0, ar = 0;
    KFCURVE_ComputeBezierFromAutoForKey(l, r, al, ar, &curve, 1);
    EXPECT_DOUBLE_EQ(l, 0.0);  // mean of +2 and -2
    EXPECT_DOUBLE_EQ(r, 0.0);
    al = 100;
    ar = 100;
    KFCURVE_ComputeBezierFromAutoForKey(l, r, al, ar, &curve, 1);
    EXPECT_DOUBLE_EQ(l, 2.0);
    EXPECT_DOUBLE_EQ(r, -2.0);
    KFCURVE_ComputeAutoFromBezierForKey(al, ar, l, r, &curve, 1);
    EXPECT_NEAR(al, 100.0, 1e-9);
    EXPECT_NEAR(ar, 100.0, 1e-9);
}
