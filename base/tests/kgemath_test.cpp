#include "base/kgemath.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/tests/base_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::basetest;

using Out = double (*)[4];
using In = const double (*)[4];

// The kernel answers the same when its output is also one of its operands
// (the first rows compared).
template <class Kernel>
static ::testing::AssertionResult AliasSafe(Kernel k, const Mat& a, const Mat& b, int rows) {
    const Mat ref = Apply(k, a, b);
    Mat x = a;
    k(x, x, b);
    if (!BlockNear(x, ref, 0.0, rows)) return ::testing::AssertionFailure() << "output is the first operand";
    x = b;
    k(x, a, x);
    return BlockNear(x, ref, 0.0, rows) << "output is the second operand";
}

// B applied first: KmAA moves after turning X onto Y, KmRR turns about Y after X; KmRi
// transposes, KmRiR gives b . transpose(a), KmRS scales rows. No kernel writes column 3
// (the block kernels not row 3 either); any may be given its output as an operand.
TEST(KgeMathTest, ProductsApplyTheSecondOperandFirstKeepTheEdgesAndMayAlias) {
    const Mat aa = Apply(KmAA, AffineOf({1, 0, 0, 0, 0, 0, 1, 1, 1}), AffineOf({0, 0, 0, 0, 0, 90, 1, 1, 1}));
    EXPECT_TRUE(BlockNear(aa, AffineOf({1, 0, 0, 0, 0, 90, 1, 1, 1}), 1e-12, 4) && EdgeIs(aa, kSentinel, false));
    const Mat rx = XYZ(25, 0, 0), m = Apply(KmRR, XYZ(0, -60, 0), rx), inv = Apply(KmRi, m);
    EXPECT_TRUE(BlockNear(m, XYZ(25, -60, 0), 1e-12) && IsIdentityBlock(Apply(KmRR, inv, m), 1e-12));
    EXPECT_TRUE(BlockNear(Apply(KmRiR, m, rx), Apply(KmRR, inv, rx), 1e-12));
    const double s[3] = {2, -3, 0.5};
    Mat ms = m;
    KmRS(ms, ms, s);
    for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(ms.m[i / 3][i % 3], m.m[i / 3][i % 3] * s[i / 3]);
    EXPECT_TRUE(EdgeIs(m, kSentinel, true) && EdgeIs(inv, kSentinel, true) && EdgeIs(ms, kSentinel, true));
    const Mat a = AffineOf({3, -2, 5, 10, 20, 30, 1, 2, 3}), b = AffineOf({-1, 4, 0.5, -40, 15, 70, 0.5, -1, 2});
    EXPECT_TRUE(AliasSafe(KmAA, a, b, 4) && AliasSafe(KmAiA, a, b, 4) && AliasSafe(KmRR, a, b, 3) &&
                AliasSafe(KmRiR, a, b, 3) && AliasSafe([](Out o, In x, In) { KmAi(o, x); }, a, b, 4) &&
                AliasSafe([](Out o, In x, In) { KmRi(o, x); }, a, b, 3));
}

// A scaled parent times a rotated child is sheared (its rows are no longer
// orthogonal), which KmAiA must still invert: b, then the inverse of m, followed
// by m gives back b. A zero (or denormal) row must never turn into infinities or
// NaN; column 3 of the outputs holds kSentinel first: the kernels leave it alone.
TEST(KgeMathTest, AffineInversesShearedAndSingular) {
    for (const TRS& trs : {TRS{1, 2, 3, 30, 45, 60, 1, 1, 1}, TRS{-5, 0.5, 9, -120, 33, 170, 2, 0.25, 7},
                           TRS{4, -4, 4, 10, -89, 5, -1, 3, 0.5}, TRS{1e3, -1e3, 0, 0, 90, 0, 1e-3, 1e3, 1}}) {
        const Mat m = AffineOf(trs), inv = Apply(KmAi, m);
        EXPECT_TRUE(IsIdentityBlock(Apply(KmAA, inv, m), 1e-9, 4) && EdgeIs(inv, kSentinel, false));
    }
    const Mat sheared = Apply(KmAA, AffineOf({1, 2, 3, 0, 0, 0, 1, 4, 0.5}), AffineOf({0, 0, 0, 30, 40, 50, 1, 1, 1}));
    const Mat b = AffineOf({-1, 4, 0.5, -40, 15, 70, 0.5, -1, 2}), back = Apply(KmAiA, sheared, b);
    EXPECT_TRUE(BlockNear(Apply(KmAA, sheared, back), b, 1e-12, 4) && EdgeIs(back, kSentinel, false));
    Mat m = AffineOf({1, 2, 3, 20, 30, 40, 0, 2, 3}), r = Apply(Fill, kSentinel), zero;
    const Mat inv = Apply(KmAi, m);
    // M . M+ . M = M for a pseudo-inverse.
    EXPECT_TRUE(BlockNear(Apply(KmRR, m, Apply(KmRR, inv, m)), m, 1e-12) && AllFinite(Apply(KmAiA, m, inv)));
    KgeSetRM(r.m, m.m);
    EXPECT_TRUE(r.m[0][0] == 0.0 && r.m[0][1] == 0.0 && r.m[0][2] == 0.0) << "a zero row stays zero";
    m.m[0][0] = 1e-320;  // its reciprocal overflows
    KgeSetRM(r.m, m.m);
    double q[4], p[4];
    KmRtoQ(q, zero);
    zero.m[0][0] = zero.m[1][1] = zero.m[2][2] = -1.0;  // a point reflection, not a rotation
    KmRtoQ(p, zero);
    EXPECT_TRUE(AllFinite(r) && AllFinite(Apply(KmAi, Mat())) && AllFinite(q, 4) && AllFinite(p, 4));
}

// Quaternions with w >= 0, as KmRtoQ answers; the last ones are (near) half
// turns, where the trace formula of KmRtoQ would divide by about zero.
TEST(KgeMathTest, QuaternionKernels) {
    const double zTurn[4] = {0, 0, std::sqrt(0.5), std::sqrt(0.5)}, scaled[4] = {0, 0, 3, 3}, zero[4] = {};
    const Mat ref = XYZ(0, 0, 90), m = Apply(KmQtoR, zTurn);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12) && std::fabs(m.m[0][1] - 1.0) < 1e-12) << "90 about Z: X onto Y";
    EXPECT_TRUE(BlockNear(Apply(KmQtoR, scaled), ref, 1e-12) && IsIdentityBlock(Apply(KmQtoR, zero), 0.0));
    const double halfTurns[][4] = {{1, 0, 0, 180}, {0, 1, 0, 180}, {0, 0, 1, 180}, {1, 1, 0, 180}, {-1, 2, 3, 180},
                                   {0.3, -0.2, 0.9, 179.9999}, {0, 1, 1, 180.001}, {2, -1, 0.5, 179.999999}};
    for (int n = 0; n < 108; ++n) {
        double c[4], a[4], b[4], ab[4], back[4];  // c: axis and angle in degrees
        for (int i = 0; i < 4; ++i) c[i] = n < 100 ? Uniform(i < 3 ? -1 : 0, i < 3 ? 1 : 360) : halfTurns[n % 8][i];
        const double half = c[3] * KM_DEG_TO_RAD / 2, sign = std::cos(half) < 0 ? -1 : 1;
        const double f = std::sin(half) / std::sqrt(Dot3(c, c));
        for (int i = 0; i < 4; ++i) a[i] = sign * (i < 3 ? c[i] * f : std::cos(half));
        const Mat ma = Apply(KmQtoR, a);
        KmRtoQ(back, ma);
        // A half turn may come back as -a, the same rotation; w must not be negative.
        const double same = Dot3(back, a) + back[3] * a[3] < 0 ? -1 : 1;
        ASSERT_GE(back[3], 0.0) << n;
        for (int i = 0; i < 4; ++i) ASSERT_NEAR(back[i], same * a[i], 1e-9) << "KmRtoQ, case " << n << ", " << i;
        if (n >= 100) continue;
        for (int i = 0; i < 4; ++i) b[i] = back[(i + n) % 4];  // another quaternion
        KmQQ(ab, a, b);
        ASSERT_TRUE(BlockNear(Apply(KmQtoR, ab), Apply(KmRR, ma, Apply(KmQtoR, b)), 1e-12)) << "b first, then a";
        double a2[4] = {a[0], a[1], a[2], a[3]}, b2[4] = {b[0], b[1], b[2], b[3]};
        KmQQ(a2, a2, b);
        KmQQ(b2, a, b2);
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(a2[i] == ab[i] && b2[i] == ab[i]) << "KmQQ may alias";
    }
}

// Angles in, angles expected back. X is applied first; at gimbal lock X and Z
// turn about the same axis: Y = -90 leaves X + Z in X, Y = +90 leaves X - Z.
TEST(KgeMathTest, EulerXYZBothGimbalBranchesAndOrdersOutOfRange) {
    const Mat xz = XYZ(90, 0, 90);
    EXPECT_TRUE(std::fabs(xz.m[1][2] - 1.0) < 1e-12 && std::fabs(xz.m[1][0]) < 1e-12 && IsRotation(xz)) << "X, then Z";
    const double cases[][6] = {{-170, 10, 179, -170, 10, 179}, {5, 89.5, -5, 5, 89.5, -5},
                               {10, -90, 30, 40, -90, 0}, {10, 90, 30, -20, 90, 0}};
    double v[3], w[3];
    for (const auto& c : cases) {
        const Mat m = XYZ(c[0], c[1], c[2]);
        KmRtoVXYZ(v, m);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(v[i], c[3 + i], 1e-9) << c[0] << " " << c[1] << " " << c[2];
        EXPECT_TRUE(BlockNear(XYZ(v[0], v[1], v[2]), m, 1e-12));
    }
    // The gimbal threshold is |m[0][2]| >= 0.999999.
    const double y = -std::asin(0.999998) * KM_RAD_TO_DEG;
    KmRtoVXYZ(v, XYZ(0, -std::asin(0.9999995) * KM_RAD_TO_DEG, 20));
    EXPECT_TRUE(v[1] == -90.0 && v[2] == 0.0);
    KmRtoVXYZ(v, XYZ(0, y, 20));
    EXPECT_TRUE(std::fabs(v[1] - y) < 1e-6 && std::fabs(v[2] - 20.0) < 1e-6) << v[1] << " " << v[2];
    // KmIJKtoR and KmRtoVord take an order outside the table as XYZ.
    const Mat m = XYZ(12, -34, 56);
    KmRtoVord(w, m, 0);
    for (int order : {-1, 12, 1000}) {
        KmRtoVord(v, m, order);
        EXPECT_TRUE(BlockNear(Apply(KmIJKtoR, 12.0, -34.0, 56.0, order), m, 1e-12) && v[0] == w[0] && v[1] == w[1] &&
                    v[2] == w[2]) << order;
    }
}

// From the order's sequence to the layout KmIJKtoR takes: about X, Y and Z for
// three distinct axes, in sequence when the first axis repeats.
static Mat IJKtoR(int order, const double* seq) {
    const int* axis = &KmEulerAxis[order * 3];
    double args[3];
    for (int k = 0; k < 3; ++k) args[axis[0] == axis[2] ? k : axis[k]] = seq[k];
    return Apply(KmIJKtoR, args[0], args[1], args[2], order);
}

class EulerOrderTest : public ::testing::TestWithParam<int> {};

TEST_P(EulerOrderTest, IJKtoRFollowsTheTableAndRtoVordRebuildsAtGimbalLock) {
    const int order = GetParam(), *axis = &KmEulerAxis[order * 3];
    const double seq[3] = {23, -41, 67}, lock[3] = {35, axis[0] == axis[2] ? 0.0 : 90.0, 20};
    Mat ref = Apply(Identity);
    for (int n = 0; n < 3; ++n)  // the next axis is applied after those so far
        ref = Apply(KmRR, XYZ(axis[n] == 0 ? seq[n] : 0, axis[n] == 1 ? seq[n] : 0, axis[n] == 2 ? seq[n] : 0), ref);
    const Mat m = IJKtoR(order, seq), locked = IJKtoR(order, lock);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12) && EdgeIs(m, kSentinel, true));
    double v[3];
    KmRtoVord(v, locked, order);
    ASSERT_TRUE(AllFinite(v, 3) && v[2] == 0.0) << v[0] << " " << v[1] << " " << v[2];
    EXPECT_TRUE(BlockNear(IJKtoR(order, v), locked, 1e-9));
}

INSTANTIATE_TEST_SUITE_P(AllOrders, EulerOrderTest, ::testing::Range(0, KM_EULER_ORDER_COUNT), OrderName);

// The closest equivalent triple, in place: whole turns, or the other solution.
// Bad axes copy the input.
TEST(KgeMathTest, ContinuousRotationWorkedExamplesAndBadAxes) {
    const struct { double in[3], ref[3]; int order; double out[3]; bool other; } cases[] = {
        {{-170, 0, 0}, {170, 0, 0}, 0, {190, 0, 0}, false}, // crosses the half turn smoothly
        {{725, -370, 10}, {0, 0, 0}, 0, {5, -10, 10}, false},
        {{0, 0, 0}, {178, 178, 178}, 0, {180, 180, 180}, true},
        {{10, 20, 30}, {170, 200, 210}, 8, {170, 200, 210}, true}, // ZXY mirrors X, the middle axis
        {{10, 20, 30}, {-175, -15, 200}, 11, {-170, -20, 210}, true}, // ZYZ negates the middle angle
        {{10, 20, 30}, {-700, 400, 750}, 4, {-710, 380, 750}, false}};
    for (const auto& c : cases) {
        double out[3] = {c.in[0], c.in[1], c.in[2]};
        EXPECT_EQ(KVNGetContinuousRotation(out, out, c.ref, &KmEulerAxis[c.order * 3]), c.other);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], c.out[k], 1e-12) << c.in[0] << " near " << c.ref[0];
        EXPECT_TRUE(BlockNear(Apply(KmIJKtoR, out[0], out[1], out[2], c.order),
                              Apply(KmIJKtoR, c.in[0], c.in[1], c.in[2], c.order), 1e-9)) << "order " << c.order;
    }
    const double in[3] = {1, 2, 3}, ref[3] = {400, 400, 400};
    const int bad[][3] = {{0, 0, 1}, {3, 1, 2}, {0, -1, 2}, {1, 2, 2}};
    for (int i = 0; i < 5; ++i) {
        double out[3] = {0, 0, 0};
        EXPECT_TRUE(!KVNGetContinuousRotation(out, in, ref, i < 4 ? bad[i] : nullptr) && out[0] == 1 && out[1] == 2 &&
                    out[2] == 3);
    }
}

// KgeSetRM normalises rows (a mirroring block stays mirroring); KgeSetQuaternion
// turns X onto the unit vector. The shortest rotation is a unit quaternion turning
// from onto to about an axis perpendicular to both: the identity for the same
// direction (n = 99) and for a zero vector, a half turn for the opposite one.
TEST(KgeMathTest, GeometryHelpers) {
    Mat r = Apply(Fill, kSentinel), ref = XYZ(20, 30, 40);
    KgeSetRM(r.m, AffineOf({5, 6, 7, 20, 30, 40, 2, 3, -4}).m);
    for (int j = 0; j < 3; ++j) ref.m[2][j] = -ref.m[2][j];
    EXPECT_TRUE(BlockNear(r, ref, 1e-12) && EdgeIs(r, kSentinel, true));
    KgeQuaternion q;
    for (const KgeTVector& v : {KgeTVector(1, 0, 0), KgeTVector(-0.48, 0.6, 0.64), KgeTVector(0, 1, 0)}) {
        KgeSetQuaternion(q, v);
        const Mat t = Apply(KmQtoR, q);
        const double err = std::fabs(t.m[0][0] - v[0]) + std::fabs(t.m[0][1] - v[1]) + std::fabs(t.m[0][2] - v[2]);
        EXPECT_TRUE(q[0] == 0.0 && err < 1e-12) << v[0] << " " << v[1] << " " << v[2];
    }
    for (int n = 0; n <= 100; ++n) {
        const KgeTVector from(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
        const double k = n == 99 ? 2.0 : -2.0;
        const KgeTVector to = n >= 99 ? KgeTVector(k * from[0], k * from[1], k * from[2])
                                      : KgeTVector(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
        GetQuaternionFromPositionToPosition(q, from, to);
        EXPECT_TRUE(std::fabs(Dot3(q, q) + q[3] * q[3] - 1.0) < 1e-12 && std::fabs(Dot3(q, from)) < 1e-9) << n;
        const Mat t = Apply(KmQtoR, q);
        const double f = std::sqrt(Dot3(to, to) / Dot3(from, from));
        for (int j = 0; j < 3; ++j)
            ASSERT_NEAR((from[0] * t.m[0][j] + from[1] * t.m[1][j] + from[2] * t.m[2][j]) * f, to[j], 1e-9) << n;
    }
    for (const KgeTVector& v : {KgeTVector(0, 0, 0), KgeTVector(1, 0, 0)}) {
        GetQuaternionFromPositionToPosition(q, v, KgeTVector(1 - v[0], 0, 0));
        EXPECT_TRUE(q[0] == 0.0 && q[1] == 0.0 && q[2] == 0.0 && q[3] == 1.0);
    }
}
