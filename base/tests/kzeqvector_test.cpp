#include "base/kzeqvector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/karray.h"
#include "base/tests/base_test_support.h"

using namespace zeqsdk_400;

const double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();

static ::testing::AssertionResult Is(const KZeqVector4& v, double x, double y, double z, double w) {
    return basetest::VectorNear(v, KZeqVector4(x, y, z, w), 0.0, 4);
}

// x, y and z within 1e-6 each; w never counts. KArrayTemplate's Find uses it too.
TEST(KZeqVector4Test, EqualityToleranceOnTheFirstThree) {
    const KZeqVector4 a(1, 2, 3, 4), equal[] = {{1, 2, 3, -100}, {1 + 0.9e-6, 2 - 0.9e-6, 3, 0}},
                      different[] = {{1 + 1.1e-6, 2, 3, 4}, {1, 2, 3 - 1.1e-6, 4}};
    for (const auto& b : equal) EXPECT_TRUE(a == b && b == a && !(a != b)) << b[0] << " " << b[1];
    for (const auto& b : different) EXPECT_TRUE(a != b && b != a && !(a == b)) << b[0] << " " << b[2];
    EXPECT_TRUE(KZeqVector4(kNaN, 0, 0, 0) != KZeqVector4(kNaN, 0, 0, 0));
    KArrayTemplate<KZeqVector4> points;
    for (const KZeqVector4& p : {KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 2, 3 + 5e-7, 1)}) points.Add(p);
    EXPECT_EQ(points.Find(KZeqVector4(1, 2, 3, 99)), 1);
    EXPECT_TRUE(KZeqVector2(0.25, 0.5) != KZeqVector2(0.25, 0.5 + 1e-12)) << "2D vectors compare exactly";
}

// Length and Normalize never under- or overflow.
TEST(KZeqVector4Test, LengthNormalizeAndProductsIgnoreWArithmeticDoesNot) {
    for (double scale : {1.0, 1e-200, 1e200}) {
        KZeqVector4 v(3 * scale, 0, 4 * scale, 7);
        EXPECT_DOUBLE_EQ(v.Length(), 5 * scale);
        v.Normalize();
        EXPECT_TRUE(std::fabs(v[0] - 0.6) < 1e-15 && v[1] == 0 && std::fabs(v[2] - 0.8) < 1e-15 && v[3] == 7) << scale;
    }
    KZeqVector4 zero(0, 0, 0, 2);
    zero.Normalize();
    EXPECT_TRUE(Is(zero, 0, 0, 0, 2));
    // Products use x, y and z; arithmetic all four components; a null array is zero.
    const KZeqVector4 a(1, 2, 3, 4), b(-4, 5, 0.5, 40), c = a.CrossProduct(b);
    EXPECT_TRUE(Is(KZeqVector4(1, 0, 0, 5).CrossProduct(KZeqVector4(0, 1, 0, 5)), 0, 0, 1, 1));
    EXPECT_TRUE(a.DotProduct(b) == 7.5 && std::fabs(c.DotProduct(a)) < 1e-12 && std::fabs(c.DotProduct(b)) < 1e-12);
    EXPECT_TRUE(Is(a + b, -3, 7, 3.5, 44) && Is(a - b, 5, -3, 2.5, -36) && Is(a * 2, 2, 4, 6, 8) &&
                Is(a / 2, 0.5, 1, 1.5, 2));
    KZeqVector4 v(static_cast<const double*>(nullptr));
    EXPECT_TRUE(Is(v, 0, 0, 0, 0));
    v = &a[0];
    ((v += b) -= a) *= 2;
    EXPECT_TRUE(Is(v /= 4, -2, 2.5, 0.25, 20) && Is(v *= a, -2, 5, 0.75, 80));
}

TEST(KZeqColorTest, ConstructorAndSetClampButCopiesDoNot) {
    const double in[] = {0.0, 1.0, 0.3, -0.5, 1.5, kInf, -kInf, kNaN}, out[] = {0.0, 1.0, 0.3, 0.0, 1.0, 1.0, 0.0, 0.0};
    for (int i = 0; i < 8; ++i) {
        const KZeqColor a(in[i], in[i], in[i], in[i]);
        KZeqColor b;
        b.Set(0.5, in[i], 0.5, in[i]);
        EXPECT_TRUE(a.mRed == out[i] && a.mGreen == out[i] && a.mBlue == out[i] && a.mAlpha == out[i]) << in[i];
        EXPECT_TRUE(b.mRed == 0.5 && b.mGreen == out[i] && b.mAlpha == out[i]) << in[i];
    }
    KZeqColor raw;  // white
    EXPECT_EQ(raw.mRed + raw.mGreen + raw.mBlue + raw.mAlpha, 4.0);
    raw.mRed = 2.5;  // e.g. an HDR value read from a file
    EXPECT_EQ(KZeqColor(raw).mRed, 2.5);
}
