#include "base/kgemath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/tests/base_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::basetest;

constexpr double kSentinel = 7.25;  // in the elements a kernel must not write

// The kernel answers the same when its output is also one of its operands
// (the first rows compared).
template <class Kernel>
static ::testing::AssertionResult AliasSafe(Kernel k, const double (*a)[4], const double (*b)[4], int rows) {
    double ref[4][4], x[4][4];
    k(ref, a, b);
    std::memcpy(x, a, sizeof x);
    k(x, x, b);
    if (!BlockNear(x, ref, 0.0, rows)) return ::testing::AssertionFailure() << "output is the first operand";
    std::memcpy(x, b, sizeof x);
    k(x, a, x);
    return BlockNear(x, ref, 0.0, rows) << "output is the second operand";
}

TEST(KgeMathTest, KmAAAppliesTheSecondOperandFirstAndKernelsMayAlias) {
    double a[4][4], b[4][4], out[4][4], ref[4][4];
    Affine(a, {1, 0, 0, 0, 0, 0, 1, 1, 1});   // move +X
    Affine(b, {0, 0, 0, 0, 0, 90, 1, 1, 1});  // turn X onto Y
    Affine(ref, {1, 0, 0, 0, 0, 90, 1, 1, 1});
    Fill(out, kSentinel);
    KmAA(out, a, b);
    EXPECT_TRUE(BlockNear(out, ref, 1e-12, 4) && EdgeIs(out, kSentinel, false));
    Affine(a, {3, -2, 5, 10, 20, 30, 1, 2, 3});
    Affine(b, {-1, 4, 0.5, -40, 15, 70, 0.5, -1, 2});
    EXPECT_TRUE(AliasSafe(KmAA, a, b, 4) && AliasSafe(KmAiA, a, b, 4));
    EXPECT_TRUE(AliasSafe(KmRR, a, b, 3) && AliasSafe(KmRiR, a, b, 3));
    EXPECT_TRUE(AliasSafe([](double (*o)[4], const double (*x)[4], const double(*)[4]) { KmAi(o, x); }, a, b, 4));
    EXPECT_TRUE(AliasSafe([](double (*o)[4], const double (*x)[4], const double(*)[4]) { KmRi(o, x); }, a, b, 3));
}

TEST(KgeMathTest, AffineInverses) {
    const TRS cases[] = {{1, 2, 3, 30, 45, 60, 1, 1, 1}, {-5, 0.5, 9, -120, 33, 170, 2, 0.25, 7},
                         {4, -4, 4, 10, -89, 5, -1, 3, 0.5}, {1e3, -1e3, 0, 0, 90, 0, 1e-3, 1e3, 1}};
    double m[4][4], inv[4][4], out[4][4], b[4][4], c[4][4];
    for (const TRS& trs : cases) {
        Affine(m, trs);
        Fill(inv, kSentinel);
        KmAi(inv, m);
        KmAA(out, inv, m);
        EXPECT_TRUE(IsIdentityBlock(out, 1e-9, 4) && EdgeIs(inv, kSentinel, false));
    }
    // A non-uniformly scaled parent times a rotated child is sheared: its rows
    // are no longer orthogonal, which KmAiA must still invert.
    Affine(b, {1, 2, 3, 0, 0, 0, 1, 4, 0.5});
    Affine(c, {0, 0, 0, 30, 40, 50, 1, 1, 1});
    KmAA(m, b, c);
    Affine(b, {-1, 4, 0.5, -40, 15, 70, 0.5, -1, 2});
    Fill(inv, kSentinel);
    KmAiA(inv, m, b);  // b, then the inverse of m: followed by m it gives back b
    KmAA(out, m, inv);
    EXPECT_TRUE(BlockNear(out, b, 1e-12, 4) && EdgeIs(inv, kSentinel, false));
}

// A zero (or denormal) row must never turn into infinities or NaN. Column 3
// of the outputs is set first: the kernels leave it alone.
TEST(KgeMathTest, ZeroRowsGiveFiniteResults) {
    double m[4][4], inv[4][4], tmp[4][4], q[4];
    Fill(inv, kSentinel);
    Fill(tmp, kSentinel);
    Affine(m, {1, 2, 3, 20, 30, 40, 0, 2, 3});
    KmAi(inv, m);
    KmRR(tmp, inv, m);  // M . M+ . M = M for a pseudo-inverse
    KmRR(tmp, m, tmp);
    EXPECT_TRUE(BlockNear(tmp, m, 1e-12));
    KmAiA(tmp, m, inv);
    EXPECT_TRUE(AllFinite(tmp));
    KgeSetRM(tmp, m);
    EXPECT_TRUE(tmp[0][0] == 0.0 && tmp[0][1] == 0.0 && tmp[0][2] == 0.0) << "a zero row stays zero";
    m[0][0] = 1e-320;  // its reciprocal overflows
    KgeSetRM(tmp, m);
    EXPECT_TRUE(AllFinite(tmp));
    Fill(m, 0.0);
    KmAi(inv, m);
    KmRtoQ(q, m);
    EXPECT_TRUE(AllFinite(inv) && AllFinite(q, 4));
    m[0][0] = m[1][1] = m[2][2] = -1.0;  // a point reflection, not a rotation
    KmRtoQ(q, m);
    EXPECT_TRUE(AllFinite(q, 4));
}

TEST(KgeMathTest, RotationBlockKernelsKeepRowAndColumnThree) {
    double rx[4][4], ry[4][4], m[4][4], ref[4][4], inv[4][4], out[4][4];
    KmXYZtoR(rx, 25, 0, 0);
    KmXYZtoR(ry, 0, -60, 0);
    KmXYZtoR(ref, 25, -60, 0);
    Fill(m, kSentinel);
    Fill(inv, kSentinel);
    KmRR(m, ry, rx);  // X applied first, then Y
    KmRi(inv, m);     // the transpose, so the inverse
    KmRR(out, inv, m);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12) && IsIdentityBlock(out, 1e-12));
    KmRR(ref, inv, rx);
    KmRiR(out, m, rx);  // rx . transpose(m)
    EXPECT_TRUE(BlockNear(out, ref, 1e-12));
    const double s[3] = {2, -3, 0.5};
    std::memcpy(ref, m, sizeof m);
    KmRS(m, m, s);
    for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(m[i / 3][i % 3], ref[i / 3][i % 3] * s[i / 3]);
    EXPECT_TRUE(EdgeIs(m, kSentinel, true) && EdgeIs(inv, kSentinel, true));
}

// Quaternions with w >= 0, as KmRtoQ answers; the last ones are (near) half
// turns, where the trace formula of KmRtoQ would divide by about zero.
TEST(KgeMathTest, QuaternionKernels) {
    double m[4][4], ref[4][4], ma[4][4], a[4], b[4], ab[4], back[4];
    KmXYZtoR(ref, 0, 0, 90);
    const double zTurn[4] = {0, 0, std::sqrt(0.5), std::sqrt(0.5)}, scaled[4] = {0, 0, 3, 3}, zero[4] = {};
    KmQtoR(m, zTurn);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12) && std::fabs(m[0][1] - 1.0) < 1e-12) << "90 about Z: X onto Y";
    KmQtoR(m, scaled);  // 2/|q|^2 normalises
    KmQtoR(ma, zero);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12) && IsIdentityBlock(ma, 0.0));
    const double halfTurns[][4] = {{1, 0, 0, 180}, {0, 1, 0, 180}, {0, 0, 1, 180},
                                   {1, 1, 0, 180}, {-1, 2, 3, 180}, {0.3, -0.2, 0.9, 179.9999},
                                   {0, 1, 1, 180.001}, {2, -1, 0.5, 179.999999}};
    for (int n = 0; n < 108; ++n) {
        double c[4];  // axis and angle in degrees
        for (int i = 0; i < 4; ++i) c[i] = n < 100 ? Uniform(i < 3 ? -1 : 0, i < 3 ? 1 : 360) : halfTurns[n % 8][i];
        const double half = c[3] * KM_DEG_TO_RAD / 2, sign = std::cos(half) < 0 ? -1 : 1;
        const double f = std::sin(half) / std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        for (int i = 0; i < 4; ++i) a[i] = sign * (i < 3 ? c[i] * f : std::cos(half));
        KmQtoR(ma, a);
        KmRtoQ(back, ma);
        // A half turn may come back as -a, the same rotation; w must not be negative.
        const double same = back[0] * a[0] + back[1] * a[1] + back[2] * a[2] + back[3] * a[3] < 0 ? -1 : 1;
        ASSERT_GE(back[3], 0.0) << n;
        for (int i = 0; i < 4; ++i) ASSERT_NEAR(back[i], same * a[i], 1e-9) << "KmRtoQ, case " << n << ", " << i;
        if (n >= 100) continue;
        for (int i = 0; i < 4; ++i) b[i] = back[(i + n) % 4];  // another quaternion
        KmQQ(ab, a, b);
        KmQtoR(m, ab);
        KmQtoR(ref, b);
        KmRR(ref, ma, ref);  // b applied first, then a
        ASSERT_TRUE(BlockNear(m, ref, 1e-12));
        double a2[4] = {a[0], a[1], a[2], a[3]}, b2[4] = {b[0], b[1], b[2], b[3]};
        KmQQ(a2, a2, b);
        KmQQ(b2, a, b2);
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(a2[i] == ab[i] && b2[i] == ab[i]) << "KmQQ may alias";
    }
}

// Angles in, angles expected back. X is applied first; at gimbal lock X and Z
// turn about the same axis: Y = -90 leaves X + Z in X, Y = +90 leaves X - Z.
TEST(KgeMathTest, EulerXYZBothGimbalBranchesAndOrdersOutOfRange) {
    double m[4][4], v[3], back[4][4];
    KmXYZtoR(m, 90, 0, 90);
    EXPECT_TRUE(std::fabs(m[1][2] - 1.0) < 1e-12 && std::fabs(m[1][0]) < 1e-12 && IsRotation(m)) << "X, then Z";
    const double cases[][6] = {{-170, 10, 179, -170, 10, 179}, {5, 89.5, -5, 5, 89.5, -5},
                               {10, -90, 30, 40, -90, 0}, {10, 90, 30, -20, 90, 0}};
    for (const auto& c : cases) {
        KmXYZtoR(m, c[0], c[1], c[2]);
        KmRtoVXYZ(v, m);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(v[i], c[3 + i], 1e-9) << c[0] << " " << c[1] << " " << c[2];
        KmXYZtoR(back, v[0], v[1], v[2]);
        EXPECT_TRUE(BlockNear(back, m, 1e-12));
    }
    // The gimbal threshold is |m[0][2]| >= 0.999999.
    KmXYZtoR(m, 0, -std::asin(0.9999995) * KM_RAD_TO_DEG, 20);
    KmRtoVXYZ(v, m);
    EXPECT_TRUE(v[1] == -90.0 && v[2] == 0.0);
    const double y = -std::asin(0.999998) * KM_RAD_TO_DEG;
    KmXYZtoR(m, 0, y, 20);
    KmRtoVXYZ(v, m);
    EXPECT_TRUE(std::fabs(v[1] - y) < 1e-6 && std::fabs(v[2] - 20.0) < 1e-6) << v[1] << " " << v[2];
    // KmIJKtoR and KmRtoVord take an order outside the table as XYZ.
    double w[3];
    KmXYZtoR(m, 12, -34, 56);
    KmRtoVord(w, m, 0);
    for (int order : {-1, 12, 1000}) {
        KmIJKtoR(back, 12, -34, 56, order);
        KmRtoVord(v, m, order);
        EXPECT_TRUE(BlockNear(back, m, 1e-12) && v[0] == w[0] && v[1] == w[1] && v[2] == w[2]) << order;
    }
}

// From the order's sequence to the layout KmIJKtoR takes: about X, Y and Z for
// three distinct axes, in sequence when the first axis repeats.
static void IJKtoR(double (*m)[4], int order, const double* seq) {
    const int* axis = &KmEulerAxis[order * 3];
    double args[3];
    for (int k = 0; k < 3; ++k) args[axis[0] == axis[2] ? k : axis[k]] = seq[k];
    KmIJKtoR(m, args[0], args[1], args[2], order);
}

class EulerOrderTest : public ::testing::TestWithParam<int> {};

TEST_P(EulerOrderTest, IJKtoRFollowsTheTableAndRtoVordRebuildsAtGimbalLock) {
    const int order = GetParam();
    const int* axis = &KmEulerAxis[order * 3];
    const double seq[3] = {23, -41, 67}, lock[3] = {35, axis[0] == axis[2] ? 0.0 : 90.0, 20};
    double m[4][4], ref[4][4], e[4][4], v[3];
    Fill(m, kSentinel);
    IJKtoR(m, order, seq);
    Identity(ref);
    for (int n = 0; n < 3; ++n) {
        KmXYZtoR(e, axis[n] == 0 ? seq[n] : 0, axis[n] == 1 ? seq[n] : 0, axis[n] == 2 ? seq[n] : 0);
        KmRR(ref, e, ref);  // the next axis is applied after those so far
    }
    EXPECT_TRUE(BlockNear(m, ref, 1e-12) && EdgeIs(m, kSentinel, true));
    IJKtoR(m, order, lock);
    KmRtoVord(v, m, order);
    ASSERT_TRUE(AllFinite(v, 3) && v[2] == 0.0) << v[0] << " " << v[1] << " " << v[2];
    IJKtoR(ref, order, v);
    EXPECT_TRUE(BlockNear(ref, m, 1e-9));
}

INSTANTIATE_TEST_SUITE_P(AllOrders, EulerOrderTest, ::testing::Range(0, KM_EULER_ORDER_COUNT), OrderName);

// The closest equivalent triple: whole turns, or the other solution.
TEST(KgeMathTest, ContinuousRotationWorkedExamplesAndBadAxes) {
    const struct {
        double in[3], ref[3];
        int order;
        double out[3];
        bool other;
    } cases[] = {
        {{-170, 0, 0}, {170, 0, 0}, 0, {190, 0, 0}, false}, // crosses the half turn smoothly
        {{725, -370, 10}, {0, 0, 0}, 0, {5, -10, 10}, false},
        {{0, 0, 0}, {178, 178, 178}, 0, {180, 180, 180}, true},
        {{10, 20, 30}, {170, 200, 210}, 8, {170, 200, 210}, true}, // ZXY mirrors X, the middle axis
        {{10, 20, 30}, {-175, -15, 200}, 11, {-170, -20, 210}, true}, // ZYZ negates the middle angle
        {{10, 20, 30}, {-700, 400, 750}, 4, {-710, 380, 750}, false},
    };
    for (const auto& c : cases) {
        double out[3] = {c.in[0], c.in[1], c.in[2]}, m[4][4], mo[4][4];
        EXPECT_EQ(KVNGetContinuousRotation(out, out, c.ref, &KmEulerAxis[c.order * 3]), c.other);  // in place
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], c.out[k], 1e-12) << c.in[0] << " near " << c.ref[0];
        KmIJKtoR(m, c.in[0], c.in[1], c.in[2], c.order);
        KmIJKtoR(mo, out[0], out[1], out[2], c.order);
        EXPECT_TRUE(BlockNear(mo, m, 1e-9)) << "the same rotation, order " << c.order;
    }
    const double in[3] = {1, 2, 3}, ref[3] = {400, 400, 400};
    const int bad[][3] = {{0, 0, 1}, {3, 1, 2}, {0, -1, 2}, {1, 2, 2}};
    for (int i = 0; i < 5; ++i) {  // the input is copied
        double out[3] = {0, 0, 0};
        EXPECT_TRUE(!KVNGetContinuousRotation(out, in, ref, i < 4 ? bad[i] : nullptr) && out[0] == 1 && out[1] == 2 &&
                    out[2] == 3);
    }
}

TEST(KgeMathTest, GeometryHelpers) {
    KgeAMatrix a;
    KgeRMatrix r, ref;
    Affine(a, {5, 6, 7, 20, 30, 40, 2, 3, -4});
    Fill(r, kSentinel);
    KgeSetRM(r, a);  // rows normalised, a mirroring block stays mirroring
    KmXYZtoR(ref, 20, 30, 40);
    for (int j = 0; j < 3; ++j) ref[2][j] = -ref[2][j];
    EXPECT_TRUE(BlockNear(r, ref, 1e-12) && EdgeIs(r, kSentinel, true));
    // KgeSetQuaternion turns X onto the unit vector.
    KgeQuaternion q;
    for (const KgeTVector& v : {KgeTVector(1, 0, 0), KgeTVector(-0.48, 0.6, 0.64), KgeTVector(0, 1, 0)}) {
        KgeSetQuaternion(q, v);
        KmQtoR(r, q);
        const double err = std::fabs(r[0][0] - v[0]) + std::fabs(r[0][1] - v[1]) + std::fabs(r[0][2] - v[2]);
        EXPECT_TRUE(q[0] == 0.0 && err < 1e-12) << v[0] << " " << v[1] << " " << v[2];
    }
    // The shortest rotation: a unit quaternion turning from onto to about an axis
    // perpendicular to both, so the identity for the same direction (n = 99) and a
    // half turn for the opposite one (n = 100).
    for (int n = 0; n <= 100; ++n) {
        const KgeTVector from(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
        const double k = n == 99 ? 2.0 : -2.0;
        const KgeTVector to = n >= 99 ? KgeTVector(k * from[0], k * from[1], k * from[2])
                                      : KgeTVector(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
        GetQuaternionFromPositionToPosition(q, from, to);
        EXPECT_TRUE(std::fabs(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3] - 1.0) < 1e-12 &&
                    std::fabs(q[0] * from[0] + q[1] * from[1] + q[2] * from[2]) < 1e-9) << n;
        KmQtoR(r, q);
        const double f = std::sqrt((to[0] * to[0] + to[1] * to[1] + to[2] * to[2]) /
                                   (from[0] * from[0] + from[1] * from[1] + from[2] * from[2]));
        for (int j = 0; j < 3; ++j)
            ASSERT_NEAR((from[0] * r[0][j] + from[1] * r[1][j] + from[2] * r[2][j]) * f, to[j], 1e-9) << n;
    }
    for (const KgeTVector& v : {KgeTVector(0, 0, 0), KgeTVector(1, 0, 0)}) {  // a zero vector: the identity
        GetQuaternionFromPositionToPosition(q, v, KgeTVector(1 - v[0], 0, 0));
        EXPECT_TRUE(q[0] == 0.0 && q[1] == 0.0 && q[2] == 0.0 && q[3] == 1.0);
    }
}
