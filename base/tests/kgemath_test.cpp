#include "base/kgemath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "base/tests/math_test_util.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::mathtest;

namespace {

constexpr double kSentinel = 7.25;

// ---------------------------------------------------------------- affine

TEST(KmAATest, SecondOperandIsAppliedFirst) {
    double a[4][4], b[4][4], out[4][4];
    Affine(a, 1, 0, 0, 0, 0, 0, 1, 1, 1);   // move +X
    Affine(b, 0, 0, 0, 0, 0, 90, 1, 1, 1);  // turn X onto Y
    Fill(out, kSentinel);
    KmAA(out, a, b);
    const double p[3] = {1, 0, 0};
    double q[3];
    Apply(out, p, q);
    // Turned first (onto Y), then moved: (1, 1, 0). The other order gives (0, 2, 0).
    EXPECT_NEAR(q[0], 1.0, kTol);
    EXPECT_NEAR(q[1], 1.0, kTol);
    EXPECT_NEAR(q[2], 0.0, kTol);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i][3], kSentinel) << "column 3 is not written";
}

TEST(KmAATest, OutputMayBeEitherOperand) {
    double a[4][4], b[4][4], ref[4][4];
    Affine(a, 3, -2, 5, 10, 20, 30, 1, 2, 3);
    Affine(b, -1, 4, 0.5, -40, 15, 70, 0.5, -1, 2);
    KmAA(ref, a, b);

    double a2[4][4];
    std::memcpy(a2, a, sizeof a);
    KmAA(a2, a2, b);
    EXPECT_TRUE(AffineNear(a2, ref, 0.0));

    double b2[4][4];
    std::memcpy(b2, b, sizeof b);
    KmAA(b2, a, b2);
    EXPECT_TRUE(AffineNear(b2, ref, 0.0));
}

struct AffineCase {
    double t[3], r[3], s[3];
};

class KmAiTest : public ::testing::TestWithParam<AffineCase> {};

TEST_P(KmAiTest, InverseTimesMatrixIsIdentity) {
    const AffineCase& c = GetParam();
    double m[4][4], inv[4][4], out[4][4];
    Affine(m, c.t[0], c.t[1], c.t[2], c.r[0], c.r[1], c.r[2], c.s[0], c.s[1], c.s[2]);
    Fill(inv, kSentinel);
    KmAi(inv, m);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(inv[i][3], kSentinel);
    KmAA(out, inv, m);
    EXPECT_TRUE(IsIdentityBlock(out, 1e-9, 4));
    KmAA(out, m, inv);
    EXPECT_TRUE(IsIdentityBlock(out, 1e-9, 4));

    double inPlace[4][4];
    std::memcpy(inPlace, m, sizeof m);
    KmAi(inPlace, inPlace);
    EXPECT_TRUE(AffineNear(inPlace, inv, 0.0));
}

INSTANTIATE_TEST_SUITE_P(Matrices, KmAiTest,
                         ::testing::Values(AffineCase{{0, 0, 0}, {0, 0, 0}, {1, 1, 1}},
                                           AffineCase{{1, 2, 3}, {30, 45, 60}, {1, 1, 1}},
                                           AffineCase{{-5, 0.5, 9}, {-120, 33, 170}, {2, 0.25, 7}},
                                           AffineCase{{4, -4, 4}, {10, -89, 5}, {-1, 3, 0.5}},
                                           AffineCase{{1e3, -1e3, 0}, {0, 90, 0}, {1e-3, 1e3, 1}}));

TEST(KmAiTest, ZeroRowGivesFinitePseudoInverse) {
    double m[4][4], inv[4][4], mim[4][4], tmp[4][4];
    Affine(m, 1, 2, 3, 20, 30, 40, 0, 2, 3);
    KmAi(inv, m);
    EXPECT_TRUE(AllFinite(inv));
    // M . M+ . M = M for a pseudo-inverse (3x3 blocks).
    KmRR(tmp, inv, m);
    KmRR(mim, m, tmp);
    EXPECT_TRUE(BlockNear(mim, m, 1e-12));

    double zero[4][4];
    Fill(zero, 0.0);
    KmAi(inv, zero);
    EXPECT_TRUE(AllFinite(inv));
}

TEST(KmAiATest, AppliesSecondThenInverseOfFirst) {
    double a[4][4], b[4][4], out[4][4], back[4][4];
    Affine(a, 3, -2, 5, 10, 20, 30, 1, 2, 3);
    Affine(b, -1, 4, 0.5, -40, 15, 70, 0.5, -1, 2);
    Fill(out, kSentinel);
    KmAiA(out, a, b);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i][3], kSentinel);
    // out followed by a gives back b.
    KmAA(back, a, out);
    EXPECT_TRUE(AffineNear(back, b, 1e-12));
}

TEST(KmAiATest, InvertsShearedMatrices) {
    // A non-uniformly scaled parent times a rotated child is sheared: its rows
    // are no longer orthogonal, which the general inverse must still handle.
    double p[4][4], c[4][4], a[4][4], b[4][4], out[4][4], back[4][4];
    Affine(p, 1, 2, 3, 0, 0, 0, 1, 4, 0.5);
    Affine(c, 0, 0, 0, 30, 40, 50, 1, 1, 1);
    KmAA(a, p, c);
    Affine(b, 5, 6, 7, 1, 2, 3, 1, 1, 1);
    KmAiA(out, a, b);
    KmAA(back, a, out);
    EXPECT_TRUE(AffineNear(back, b, 1e-12));
}

TEST(KmAiATest, SingularFirstOperandStaysFinite) {
    double a[4][4], b[4][4], out[4][4];
    Affine(a, 1, 1, 1, 10, 20, 30, 1, 0, 1);
    Affine(b, 2, 3, 4, 0, 0, 0, 1, 1, 1);
    KmAiA(out, a, b);
    EXPECT_TRUE(AllFinite(out));
}

// ---------------------------------------------------------------- rotation blocks

TEST(KmRRTest, ComposesXThenYThenZLikeTheXYZKernel) {
    double rx[4][4], ry[4][4], rz[4][4], xy[4][4], xyz[4][4], ref[4][4];
    AxisRotation(rx, 0, 25);
    AxisRotation(ry, 1, -60);
    AxisRotation(rz, 2, 110);
    KmRR(xy, ry, rx);    // X applied first, then Y
    KmRR(xyz, rz, xy);   // then Z
    KmXYZtoR(ref, 25, -60, 110);
    EXPECT_TRUE(BlockNear(xyz, ref, 1e-12));

    double alias[4][4];
    std::memcpy(alias, ry, sizeof ry);
    KmRR(alias, alias, rx);
    EXPECT_TRUE(BlockNear(alias, xy, 0.0));
    std::memcpy(alias, rx, sizeof rx);
    KmRR(alias, ry, alias);
    EXPECT_TRUE(BlockNear(alias, xy, 0.0));
}

TEST(KmRiTest, TransposeInvertsRotationsInPlace) {
    double a[4][4], b[4][4], ai[4][4], ref[4][4], out[4][4];
    Fill(a, kSentinel);
    KmXYZtoR(a, 10, 20, 30);
    KmXYZtoR(b, -50, 5, 80);
    std::memcpy(ai, a, sizeof a);
    KmRi(ai, ai);
    KmRR(out, ai, a);
    EXPECT_TRUE(IsIdentityBlock(out, 1e-12));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ai[i][3] + ai[3][i], 2 * kSentinel) << "row and column 3 untouched";
    // KmRiR(a, b) = b . transpose(a), in place too.
    KmRR(ref, ai, b);
    KmRiR(out, a, b);
    EXPECT_TRUE(BlockNear(out, ref, 1e-12));
    KmRiR(a, a, b);
    EXPECT_TRUE(BlockNear(a, ref, 1e-12));
}

TEST(KmRSTest, ScalesRowsOnlyAndMayWorkInPlace) {
    double m[4][4];
    Fill(m, kSentinel);
    KmXYZtoR(m, 15, 25, 35);
    double ref[4][4];
    std::memcpy(ref, m, sizeof m);
    const double s[3] = {2, -3, 0.5};
    KmRS(m, m, s);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(m[i][j], ref[i][j] * s[i]);
        EXPECT_EQ(m[i][3], kSentinel);
        EXPECT_EQ(m[3][i], kSentinel);
    }
}

// ---------------------------------------------------------------- quaternions

void RandomUnitQuaternion(double* q) {
    double n = 0.0;
    for (int i = 0; i < 4; ++i) {
        q[i] = Uniform(-1, 1);
        n += q[i] * q[i];
    }
    n = std::sqrt(n);
    for (int i = 0; i < 4; ++i) q[i] /= n;
}

TEST(KmQtoRTest, WorkedExamples) {
    double m[4][4];
    const double h = std::sqrt(0.5);
    const double zTurn[4] = {0, 0, h, h};  // 90 degrees about Z
    KmQtoR(m, zTurn);
    double ref[4][4];
    KmXYZtoR(ref, 0, 0, 90);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12));
    EXPECT_NEAR(m[0][1], 1.0, 1e-12) << "X is turned onto Y";

    // Scale does not matter: 2/|q|^2 normalises.
    const double scaled[4] = {0, 0, 3, 3};
    KmQtoR(m, scaled);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12));

    const double zero[4] = {0, 0, 0, 0};
    Fill(m, kSentinel);
    KmQtoR(m, zero);
    EXPECT_TRUE(IsIdentityBlock(m, 0.0));
}

TEST(KmQQTest, ProductMatchesMatrixCompositionAndMayAlias) {
    for (int n = 0; n < 50; ++n) {
        double a[4], b[4], ab[4];
        RandomUnitQuaternion(a);
        RandomUnitQuaternion(b);
        KmQQ(ab, a, b);
        double ma[4][4], mb[4][4], mab[4][4], ref[4][4];
        KmQtoR(ma, a);
        KmQtoR(mb, b);
        KmQtoR(mab, ab);
        KmRR(ref, ma, mb);  // b applied first, then a
        ASSERT_TRUE(BlockNear(mab, ref, 1e-12));

        double alias[4] = {a[0], a[1], a[2], a[3]};
        KmQQ(alias, alias, b);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(alias[i], ab[i]);
        double alias2[4] = {b[0], b[1], b[2], b[3]};
        KmQQ(alias2, a, alias2);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(alias2[i], ab[i]);
    }
    const double id[4] = {0, 0, 0, 1};
    const double q[4] = {0.1, 0.2, 0.3, 0.4};
    double out[4];
    KmQQ(out, id, q);
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(out[i], q[i]);
}

TEST(KmRtoQTest, RoundTripsRandomRotations) {
    for (int n = 0; n < 200; ++n) {
        double q[4], m[4][4], back[4], m2[4][4];
        RandomUnitQuaternion(q);
        if (q[3] < 0)
            for (double& c : q) c = -c;
        KmQtoR(m, q);
        KmRtoQ(back, m);
        for (int i = 0; i < 4; ++i) ASSERT_NEAR(back[i], q[i], 1e-9) << "component " << i;
        KmQtoR(m2, back);
        ASSERT_TRUE(BlockNear(m2, m, 1e-12));
    }
}

// Half turns (w = 0) and near half turns, where the trace formula would
// divide by about zero.
class KmRtoQHalfTurnTest : public ::testing::TestWithParam<std::tuple<double, double, double, double>> {};

TEST_P(KmRtoQHalfTurnTest, StaysAccurateAndUnit) {
    double ax, ay, az, degrees;
    std::tie(ax, ay, az, degrees) = GetParam();
    const double n = std::sqrt(ax * ax + ay * ay + az * az);
    const double half = degrees * KM_DEG_TO_RAD / 2;
    const double q[4] = {ax / n * std::sin(half), ay / n * std::sin(half), az / n * std::sin(half), std::cos(half)};
    double m[4][4], back[4], m2[4][4];
    KmQtoR(m, q);
    KmRtoQ(back, m);
    for (double c : back) ASSERT_TRUE(std::isfinite(c));
    EXPECT_GE(back[3], 0.0);
    EXPECT_NEAR(back[0] * back[0] + back[1] * back[1] + back[2] * back[2] + back[3] * back[3], 1.0, 1e-12);
    KmQtoR(m2, back);
    EXPECT_TRUE(BlockNear(m2, m, 1e-12));
}

INSTANTIATE_TEST_SUITE_P(Axes, KmRtoQHalfTurnTest,
                         ::testing::Values(std::make_tuple(1.0, 0.0, 0.0, 180.0), std::make_tuple(0.0, 1.0, 0.0, 180.0),
                                           std::make_tuple(0.0, 0.0, 1.0, 180.0), std::make_tuple(1.0, 1.0, 0.0, 180.0),
                                           std::make_tuple(-1.0, 2.0, 3.0, 180.0),
                                           std::make_tuple(0.3, -0.2, 0.9, 179.9999),
                                           std::make_tuple(0.0, 1.0, 1.0, 180.001),
                                           std::make_tuple(2.0, -1.0, 0.5, 179.999999)));

TEST(KmRtoQTest, DegenerateBlocksStayFinite) {
    double m[4][4], q[4];
    Fill(m, 0.0);
    m[0][0] = m[1][1] = m[2][2] = -1.0;  // a point reflection, not a rotation
    KmRtoQ(q, m);
    for (double c : q) EXPECT_TRUE(std::isfinite(c));
    Fill(m, 0.0);
    KmRtoQ(q, m);
    for (double c : q) EXPECT_TRUE(std::isfinite(c));
}

// ---------------------------------------------------------------- Euler XYZ

TEST(KmXYZtoRTest, XIsAppliedFirst) {
    double m[4][4];
    KmXYZtoR(m, 90, 0, 0);
    EXPECT_NEAR(m[1][2], 1.0, 1e-12) << "X turns Y onto Z";
    KmXYZtoR(m, 0, 90, 0);
    EXPECT_NEAR(m[0][2], -1.0, 1e-12) << "Y turns X onto -Z";
    KmXYZtoR(m, 0, 0, 90);
    EXPECT_NEAR(m[0][1], 1.0, 1e-12) << "Z turns X onto Y";
    // X first: Y goes to Z, which Z leaves alone. Z first would send Y to -X.
    KmXYZtoR(m, 90, 0, 90);
    EXPECT_NEAR(m[1][2], 1.0, 1e-12);
    EXPECT_NEAR(m[1][0], 0.0, 1e-12);
    EXPECT_TRUE(IsRotation(m));
}

TEST(KmRtoVXYZTest, RecoversAnglesOfKnownMatrices) {
    const double cases[][3] = {{30, 45, 60}, {-170, 10, 179}, {0, 0, 0}, {90, -45, -90}, {5, 89.5, -5}};
    for (const auto& c : cases) {
        double m[4][4], v[3];
        KmXYZtoR(m, c[0], c[1], c[2]);
        KmRtoVXYZ(v, m);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(v[i], c[i], 1e-9) << c[0] << " " << c[1] << " " << c[2];
    }
}

// At gimbal lock X and Z turn about the same axis: Y = -90 leaves X + Z in
// X, Y = +90 leaves X - Z.
TEST(KmRtoVXYZTest, BothGimbalBranches) {
    const double cases[][4] = {{10, -90, 30, 40}, {10, 90, 30, -20}};
    for (const auto& c : cases) {
        double m[4][4], v[3], back[4][4];
        KmXYZtoR(m, c[0], c[1], c[2]);
        KmRtoVXYZ(v, m);
        EXPECT_NEAR(v[0], c[3], 1e-9);
        EXPECT_EQ(v[1], c[1]);
        EXPECT_EQ(v[2], 0.0);
        KmXYZtoR(back, v[0], v[1], v[2]);
        EXPECT_TRUE(BlockNear(back, m, 1e-12));
    }
}

TEST(KmRtoVXYZTest, GimbalThresholdIsAtPointNineNineNineNineNineNine) {
    double m[4][4], v[3];
    // -sin(y) just above the threshold: snapped to -90 with Z = 0.
    KmXYZtoR(m, 0, -std::asin(0.9999995) * KM_RAD_TO_DEG, 20);
    ASSERT_GE(m[0][2], 0.999999);
    KmRtoVXYZ(v, m);
    EXPECT_EQ(v[1], -90.0);
    EXPECT_EQ(v[2], 0.0);
    // Just below it: the ordinary formulas.
    const double y = -std::asin(0.999998) * KM_RAD_TO_DEG;
    KmXYZtoR(m, 0, y, 20);
    ASSERT_LT(m[0][2], 0.999999);
    KmRtoVXYZ(v, m);
    EXPECT_NEAR(v[1], y, 1e-6);
    EXPECT_NEAR(v[2], 20.0, 1e-6);
}

// ---------------------------------------------------------------- other Euler orders

// The angles KmIJKtoR takes, in the sequence of the order's axes.
void Sequence(int order, const double* abc, double* seq) {
    const int* axis = &KmEulerAxis[order * 3];
    for (int n = 0; n < 3; ++n) seq[n] = axis[0] != axis[2] ? abc[axis[n]] : abc[n];
}

void ExpectedIJK(double (*m)[4], int order, const double* abc) {
    double seq[3];
    Sequence(order, abc, seq);
    const int* axis = &KmEulerAxis[order * 3];
    double e[4][4];
    AxisRotation(m, axis[0], seq[0]);
    for (int n = 1; n < 3; ++n) {
        AxisRotation(e, axis[n], seq[n]);
        KmRR(m, e, m);  // the next axis is applied after those so far
    }
}

class EulerOrderTest : public ::testing::TestWithParam<int> {};

TEST_P(EulerOrderTest, IJKtoRAppliesTheAxesInTableOrder) {
    const int order = GetParam();
    const double abc[3] = {23, -41, 67};
    double m[4][4], ref[4][4];
    Fill(m, kSentinel);
    KmIJKtoR(m, abc[0], abc[1], abc[2], order);
    ExpectedIJK(ref, order, abc);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m[i][3], kSentinel);
        EXPECT_EQ(m[3][i], kSentinel);
    }
}

TEST_P(EulerOrderTest, RtoVordAtGimbalLockRebuildsTheMatrix) {
    const int order = GetParam();
    const int* axis = &KmEulerAxis[order * 3];
    const double middle = axis[0] == axis[2] ? 0.0 : 90.0;
    double seq[3] = {35, middle, 20};
    double abc[3];
    for (int k = 0; k < 3; ++k) (axis[0] == axis[2] ? abc[k] : abc[axis[k]]) = seq[k];
    double m[4][4], v[3], back[4][4];
    KmIJKtoR(m, abc[0], abc[1], abc[2], order);
    KmRtoVord(v, m, order);
    for (double c : v) ASSERT_TRUE(std::isfinite(c));
    EXPECT_EQ(v[2], 0.0);
    double abc2[3];
    for (int k = 0; k < 3; ++k) (axis[0] == axis[2] ? abc2[k] : abc2[axis[k]]) = v[k];
    KmIJKtoR(back, abc2[0], abc2[1], abc2[2], order);
    EXPECT_TRUE(BlockNear(back, m, 1e-9));
}

TEST_P(EulerOrderTest, ContinuousRotationIsEquivalentAndClosest) {
    const int order = GetParam();
    const int* axis = &KmEulerAxis[order * 3];
    for (int n = 0; n < 200; ++n) {
        const double in[3] = {Uniform(-720, 720), Uniform(-720, 720), Uniform(-720, 720)};
        const double ref[3] = {Uniform(-720, 720), Uniform(-720, 720), Uniform(-720, 720)};
        double out[3];
        KVNGetContinuousRotation(out, in, ref, axis);
        double m[4][4], mo[4][4];
        KmIJKtoR(m, in[0], in[1], in[2], order);
        KmIJKtoR(mo, out[0], out[1], out[2], order);
        ASSERT_TRUE(BlockNear(mo, m, 1e-9)) << "order " << order;
        // No whole-turn shift of either solution comes closer.
        double best = 0.0;
        for (int k = 0; k < 3; ++k) best += (out[k] - ref[k]) * (out[k] - ref[k]);
        for (int k = 0; k < 3; ++k)
            for (double shift : {-360.0, 360.0}) {
                double moved[3] = {out[0], out[1], out[2]};
                moved[k] += shift;
                double d = 0.0;
                for (int c = 0; c < 3; ++c) d += (moved[c] - ref[c]) * (moved[c] - ref[c]);
                ASSERT_GE(d, best - 1e-9);
            }
    }
}

INSTANTIATE_TEST_SUITE_P(AllOrders, EulerOrderTest, ::testing::Range(0, 12));

TEST(KmRtoVordTest, AnglesComeInTheOrdersAxisSequence) {
    // YXZ: Y turns first, so the angles read (about Y, about X, about Z).
    double m[4][4], v[3];
    KmIJKtoR(m, 10, 20, 30, 6);
    KmRtoVord(v, m, 6);
    EXPECT_NEAR(v[0], 20.0, 1e-9);
    EXPECT_NEAR(v[1], 10.0, 1e-9);
    EXPECT_NEAR(v[2], 30.0, 1e-9);
}

TEST(KmIJKtoRTest, OrderOutsideTheTableIsXYZ) {
    double a[4][4], b[4][4], v[3], w[3];
    KmXYZtoR(b, 12, -34, 56);
    for (int order : {-1, 12, 1000}) {
        KmIJKtoR(a, 12, -34, 56, order);
        EXPECT_TRUE(BlockNear(a, b, 1e-12));
        KmRtoVord(v, b, order);
        KmRtoVord(w, b, 0);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(v[k], w[k]);
    }
}

TEST(KVNGetContinuousRotationTest, CrossesTheHalfTurnSmoothly) {
    const int* xyz = &KmEulerAxis[0];
    const double prev[3] = {170, 0, 0};
    double v[3] = {-170, 0, 0};
    EXPECT_FALSE(KVNGetContinuousRotation(v, v, prev, xyz));  // in place
    EXPECT_DOUBLE_EQ(v[0], 190.0);
    EXPECT_DOUBLE_EQ(v[1], 0.0);
    EXPECT_DOUBLE_EQ(v[2], 0.0);

    const double zero[3] = {0, 0, 0}, turns[3] = {725, -370, 10};
    EXPECT_FALSE(KVNGetContinuousRotation(v, turns, zero, xyz));
    EXPECT_NEAR(v[0], 5.0, 1e-12);
    EXPECT_NEAR(v[1], -10.0, 1e-12);
    EXPECT_NEAR(v[2], 10.0, 1e-12);
}

TEST(KVNGetContinuousRotationTest, PicksTheOtherSolutionWhenCloser) {
    const double ref[3] = {178, 178, 178};
    const double in[3] = {0, 0, 0};
    double out[3];
    EXPECT_TRUE(KVNGetContinuousRotation(out, in, ref, &KmEulerAxis[0]));
    for (double c : out) EXPECT_DOUBLE_EQ(c, 180.0);

    // ZXY mirrors X, the middle axis: (10, 20, 30) also reads (170, 200, 210).
    const double in2[3] = {10, 20, 30};
    const double ref2[3] = {170, 200, 210};
    EXPECT_TRUE(KVNGetContinuousRotation(out, in2, ref2, &KmEulerAxis[8 * 3]));
    EXPECT_DOUBLE_EQ(out[0], 170.0);
    EXPECT_DOUBLE_EQ(out[1], 200.0);
    EXPECT_DOUBLE_EQ(out[2], 210.0);
}

TEST(KVNGetContinuousRotationTest, InvalidAxisTripleCopiesTheInput) {
    const double in[3] = {1, 2, 3};
    const double ref[3] = {400, 400, 400};
    const int bad[][3] = {{0, 0, 1}, {3, 1, 2}, {0, -1, 2}, {1, 2, 2}};
    for (const auto& axis : bad) {
        double out[3] = {0, 0, 0};
        EXPECT_FALSE(KVNGetContinuousRotation(out, in, ref, axis));
        for (int k = 0; k < 3; ++k) EXPECT_EQ(out[k], in[k]);
    }
    double out[3];
    EXPECT_FALSE(KVNGetContinuousRotation(out, in, ref, nullptr));
    EXPECT_EQ(out[2], 3.0);
}

// ---------------------------------------------------------------- helpers of the geometry types

TEST(KgeSetRMTest, NormalisesRowsAndKeepsTheRest) {
    KgeAMatrix a;
    Affine(a, 5, 6, 7, 20, 30, 40, 2, 3, -4);
    KgeRMatrix r;
    Fill(r, kSentinel);
    KgeSetRM(r, a);
    double ref[4][4];
    KmXYZtoR(ref, 20, 30, 40);
    for (int j = 0; j < 3; ++j) {
        EXPECT_NEAR(r[0][j], ref[0][j], 1e-12);
        EXPECT_NEAR(r[1][j], ref[1][j], 1e-12);
        EXPECT_NEAR(r[2][j], -ref[2][j], 1e-12) << "a mirroring block stays mirroring";
    }
    EXPECT_LT(Det3(r), 0.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r[i][3], kSentinel);
        EXPECT_EQ(r[3][i], kSentinel);
    }
}

TEST(KgeSetRMTest, ZeroRowStaysZero) {
    KgeAMatrix a;
    Affine(a, 0, 0, 0, 20, 30, 40, 1, 0, 1);
    KgeRMatrix r;
    KgeSetRM(r, a);
    EXPECT_TRUE(AllFinite(r));
    for (int j = 0; j < 3; ++j) EXPECT_EQ(r[1][j], 0.0);
    EXPECT_NEAR(r[0][0] * r[0][0] + r[0][1] * r[0][1] + r[0][2] * r[0][2], 1.0, 1e-12);

    a[2][0] = 1e-320;  // denormal: its reciprocal overflows
    a[2][1] = a[2][2] = 0.0;
    KgeSetRM(r, a);
    EXPECT_TRUE(AllFinite(r));
}

TEST(KgeSetQuaternionTest, TurnsXOntoTheVector) {
    const KgeTVector dirs[] = {KgeTVector(0, 1, 0), KgeTVector(0, 0, 1), KgeTVector(1, 0, 0),
                               KgeTVector(0.6, 0.0, -0.8), KgeTVector(-0.48, 0.6, 0.64)};
    for (const KgeTVector& v : dirs) {
        KgeQuaternion q(9, 9, 9, 9);
        KgeSetQuaternion(q, v);
        EXPECT_EQ(q[0], 0.0);
        double m[4][4];
        KmQtoR(m, q);
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(m[0][j], v[j], 1e-12);
    }
    // Y: (0, 0, 1, 1), a quarter turn about Z.
    KgeQuaternion q;
    KgeSetQuaternion(q, KgeTVector(0, 1, 0));
    EXPECT_EQ(q[2], 1.0);
    EXPECT_EQ(q[3], 1.0);
}

TEST(GetQuaternionFromPositionToPositionTest, TurnsOneDirectionOntoTheOther) {
    for (int n = 0; n < 100; ++n) {
        KgeTVector from(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
        KgeTVector to(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
        KgeQuaternion q;
        GetQuaternionFromPositionToPosition(q, from, to);
        EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3], 1.0, 1e-12);
        double m[4][4], p[3] = {from[0], from[1], from[2]}, r[3];
        Identity(m);
        KmQtoR(m, q);
        Apply(m, p, r);
        const double fl = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        const double tl = std::sqrt(to[0] * to[0] + to[1] * to[1] + to[2] * to[2]);
        for (int j = 0; j < 3; ++j) ASSERT_NEAR(r[j] / fl, to[j] / tl, 1e-9);
        // Shortest arc: the axis is perpendicular to both.
        EXPECT_NEAR(q[0] * from[0] + q[1] * from[1] + q[2] * from[2], 0.0, 1e-9);
    }
}

TEST(GetQuaternionFromPositionToPositionTest, SameOppositeAndZeroDirections) {
    KgeQuaternion q;
    GetQuaternionFromPositionToPosition(q, KgeTVector(1, 2, 3), KgeTVector(2, 4, 6));
    EXPECT_NEAR(q[3], 1.0, 1e-12);

    const KgeTVector from(0.2, -1, 0.5), to(-0.4, 2, -1);
    GetQuaternionFromPositionToPosition(q, from, to);
    EXPECT_NEAR(q[3], 0.0, 1e-12) << "a half turn";
    double m[4][4], r[3];
    Identity(m);
    KmQtoR(m, q);
    Apply(m, from, r);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(r[j], -from[j], 1e-12);

    for (const auto& pair : {std::make_pair(KgeTVector(0, 0, 0), KgeTVector(1, 0, 0)),
                             std::make_pair(KgeTVector(1, 0, 0), KgeTVector(0, 0, 0))}) {
        GetQuaternionFromPositionToPosition(q, pair.first, pair.second);
        EXPECT_EQ(q[0], 0.0);
        EXPECT_EQ(q[1], 0.0);
        EXPECT_EQ(q[2], 0.0);
        EXPECT_EQ(q[3], 1.0);
    }
}

}  // namespace
