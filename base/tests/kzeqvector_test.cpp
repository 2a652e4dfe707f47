#include "base/kzeqvector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/karray.h"

using namespace zeqsdk_400;

namespace {

void ExpectVector(const KZeqVector4& v, double x, double y, double z, double w) {
    EXPECT_DOUBLE_EQ(v[0], x);
    EXPECT_DOUBLE_EQ(v[1], y);
    EXPECT_DOUBLE_EQ(v[2], z);
    EXPECT_DOUBLE_EQ(v[3], w);
}

TEST(KZeqVector4Test, ConstructionAndAssignmentFromDoubles) {
    ExpectVector(KZeqVector4(), 0, 0, 0, 0);
    const double values[4] = {1, 2, 3, 4};
    ExpectVector(KZeqVector4(values), 1, 2, 3, 4);
    ExpectVector(KZeqVector4(static_cast<const double*>(nullptr)), 0, 0, 0, 0);
    KZeqVector4 v(9, 9, 9, 9);
    v = values;
    ExpectVector(v, 1, 2, 3, 4);
    v = static_cast<const double*>(nullptr);
    ExpectVector(v, 0, 0, 0, 0);
}

// Equality looks at x, y and z within 1e-6 each; w never counts.
struct EqualityCase {
    KZeqVector4 a, b;
    bool equal;
};

class KZeqVector4EqualityTest : public ::testing::TestWithParam<EqualityCase> {};

TEST_P(KZeqVector4EqualityTest, ToleranceOnFirstThree) {
    const EqualityCase& c = GetParam();
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.a != c.b, !c.equal);
    EXPECT_EQ(c.b == c.a, c.equal);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, KZeqVector4EqualityTest,
    ::testing::Values(EqualityCase{KZeqVector4(1, 2, 3, 4), KZeqVector4(1, 2, 3, 4), true},
                      EqualityCase{KZeqVector4(1, 2, 3, 4), KZeqVector4(1, 2, 3, -100), true},
                      EqualityCase{KZeqVector4(1, 2, 3, 0), KZeqVector4(1 + 0.9e-6, 2 - 0.9e-6, 3, 0), true},
                      EqualityCase{KZeqVector4(1, 2, 3, 0), KZeqVector4(1 + 1.1e-6, 2, 3, 0), false},
                      EqualityCase{KZeqVector4(1, 2, 3, 0), KZeqVector4(1, 2, 3 - 1.1e-6, 0), false},
                      EqualityCase{KZeqVector4(kNaN, 0, 0, 0), KZeqVector4(kNaN, 0, 0, 0), false}));

TEST(KZeqVector4Test, LengthAndNormalizeIgnoreW) {
    KZeqVector4 v(3, 4, 0, 7);
    EXPECT_DOUBLE_EQ(v.Length(), 5.0);
    v.Normalize();
    ExpectVector(v, 0.6, 0.8, 0, 7);

    KZeqVector4 zero(0, 0, 0, 2);
    zero.Normalize();
    ExpectVector(zero, 0, 0, 0, 2);

    // Squares that under- or overflow still give the right length.
    KZeqVector4 tiny(3e-200, 4e-200, 0, 0);
    EXPECT_DOUBLE_EQ(tiny.Length(), 5e-200);
    tiny.Normalize();
    ExpectVector(tiny, 0.6, 0.8, 0, 0);
    KZeqVector4 huge(3e200, 0, 4e200, 0);
    EXPECT_DOUBLE_EQ(huge.Length(), 5e200);
    huge.Normalize();
    ExpectVector(huge, 0.6, 0, 0.8, 0);
}

TEST(KZeqVector4Test, DotAndCrossProducts) {
    const KZeqVector4 x(1, 0, 0, 5), y(0, 1, 0, 5);
    ExpectVector(x.CrossProduct(y), 0, 0, 1, 1);
    ExpectVector(y.CrossProduct(x), 0, 0, -1, 1);
    const KZeqVector4 a(1, 2, 3, 100), b(-4, 5, 0.5, 100);
    EXPECT_DOUBLE_EQ(a.DotProduct(b), -4 + 10 + 1.5);
    const KZeqVector4 c = a.CrossProduct(b);
    EXPECT_NEAR(c.DotProduct(a), 0.0, 1e-12);
    EXPECT_NEAR(c.DotProduct(b), 0.0, 1e-12);
}

TEST(KZeqVector4Test, ArithmeticUsesAllFourComponents) {
    const KZeqVector4 a(1, 2, 3, 4), b(10, 20, 30, 40);
    ExpectVector(a + b, 11, 22, 33, 44);
    ExpectVector(b - a, 9, 18, 27, 36);
    ExpectVector(a * 2, 2, 4, 6, 8);
    ExpectVector(b / 10, 1, 2, 3, 4);
    KZeqVector4 v = a;
    v += b;
    ExpectVector(v, 11, 22, 33, 44);
    v -= b;
    ExpectVector(v, 1, 2, 3, 4);
    v *= 3;
    ExpectVector(v, 3, 6, 9, 12);
    v /= 3;
    ExpectVector(v, 1, 2, 3, 4);
    v *= b;
    ExpectVector(v, 10, 40, 90, 160);
}

TEST(KZeqVector4Test, ArrayFindUsesTheTolerance) {
    KArrayTemplate<KZeqVector4> points(256);
    points.Add(KZeqVector4(0, 0, 0, 1));
    points.Add(KZeqVector4(1, 2, 3, 1));
    points.Add(KZeqVector4(1, 2, 3 + 5e-7, 0));
    EXPECT_EQ(points.FindAfter(-1, KZeqVector4(1, 2, 3, 99)), 1);
    EXPECT_EQ(points.FindAfter(1, KZeqVector4(1, 2, 3, 99)), 2);
    EXPECT_EQ(points.FindAfter(2, KZeqVector4(1, 2, 3, 99)), -1);
    EXPECT_EQ(points[1][3], 1.0);
}

TEST(KZeqVector2Test, ExactComparison) {
    const KZeqVector2 a(0.25, 0.5);
    EXPECT_TRUE(a == KZeqVector2(0.25, 0.5));
    EXPECT_TRUE(a != KZeqVector2(0.25, 0.5 + 1e-12));
}

struct ClampCase {
    double in, out;
};

class KZeqColorClampTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(KZeqColorClampTest, ConstructorAndSetClamp) {
    const ClampCase& c = GetParam();
    const KZeqColor a(c.in, c.in, c.in, c.in);
    EXPECT_EQ(a.mRed, c.out);
    EXPECT_EQ(a.mGreen, c.out);
    EXPECT_EQ(a.mBlue, c.out);
    EXPECT_EQ(a.mAlpha, c.out);
    KZeqColor b;
    b.Set(0.5, c.in, 0.5, c.in);
    EXPECT_EQ(b.mRed, 0.5);
    EXPECT_EQ(b.mGreen, c.out);
    EXPECT_EQ(b.mAlpha, c.out);
}

INSTANTIATE_TEST_SUITE_P(Values, KZeqColorClampTest,
                         ::testing::Values(ClampCase{0.0, 0.0}, ClampCase{1.0, 1.0}, ClampCase{0.3, 0.3},
                                           ClampCase{-0.5, 0.0}, ClampCase{1.5, 1.0},
                                           ClampCase{std::numeric_limits<double>::infinity(), 1.0},
                                           ClampCase{-std::numeric_limits<double>::infinity(), 0.0},
                                           ClampCase{std::numeric_limits<double>::quiet_NaN(), 0.0}));

TEST(KZeqColorTest, DefaultIsOpaqueWhiteAndCopiesDoNotClamp) {
    const KZeqColor white;
    EXPECT_EQ(white.mRed + white.mGreen + white.mBlue + white.mAlpha, 4.0);
    KZeqColor raw;
    raw.mRed = 2.5;  // e.g. an HDR value read from a file
    raw.mAlpha = -1.0;
    KZeqColor copy(raw);
    EXPECT_EQ(copy.mRed, 2.5);
    KZeqColor assigned;
    assigned = raw;
    EXPECT_EQ(assigned.mAlpha, -1.0);

    KArrayTemplate<KZeqColor> colors;
    colors.Add(raw);
    EXPECT_EQ(colors[0].mRed, 2.5);
}

}  // namespace
