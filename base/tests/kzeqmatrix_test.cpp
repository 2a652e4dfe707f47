#include "base/kzeqmatrix.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/karray.h"
#include "base/tests/math_test_util.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::mathtest;

namespace {

::testing::AssertionResult VectorNear(const KZeqVector4& a, const KZeqVector4& b, double tol, int n = 3) {
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(a[i] - b[i]) <= tol))
            return ::testing::AssertionFailure() << "component " << i << ": " << a[i] << " vs " << b[i];
    return ::testing::AssertionSuccess();
}

TEST(KZeqMatrixTest, RowsAreExposedInOrder) {
    KZeqMatrix m;
    m.mData[2][1] = 42.0;
    const double* flat = m;
    EXPECT_EQ(flat[2 * 4 + 1], 42.0);
    EXPECT_TRUE(VectorNear(m.GetRow(2), KZeqVector4(0, 42, 1, 0), 0.0, 4));
    EXPECT_TRUE(VectorNear(m.GetRow(4), KZeqVector4(), 0.0, 4));
    EXPECT_TRUE(VectorNear(m.GetRow(-1), KZeqVector4(), 0.0, 4));
}

TEST(KZeqMatrixTest, SetTRSLayout) {
    KZeqMatrix m(KZeqVector4(1, 2, 3, 9), KZeqVector4(10, 20, 30, 9), KZeqVector4(2, 3, 4, 9));
    double ref[4][4];
    Affine(ref, 1, 2, 3, 10, 20, 30, 2, 3, 4);
    EXPECT_TRUE(AffineNear(m.mData, ref, 0.0));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m.mData[i][3], 0.0);
    EXPECT_EQ(m.mData[3][3], 1.0);
}

TEST(KZeqMatrixTest, EqualityWithinTolerance) {
    KZeqMatrix a, b;
    b.mData[3][2] = 0.9e-6;
    EXPECT_TRUE(a == b);
    b.mData[0][3] = 1.1e-6;
    EXPECT_TRUE(a != b);
}

TEST(KZeqXMatrixTest, SharesStorageWithTheKernelForm) {
    KZeqXMatrix x;
    KgeAMatrix& a = x;
    EXPECT_EQ(static_cast<void*>(&a[0][0]), static_cast<void*>(&x.mData[0][0]));
    // Passed straight to the kernels.
    KZeqXMatrix t(KZeqVector4(1, 0, 0, 0), KZeqVector4(), KZeqVector4(1, 1, 1, 0));
    KZeqXMatrix r(KZeqVector4(), KZeqVector4(0, 0, 90, 0), KZeqVector4(1, 1, 1, 0));
    KmAA(x, t, r);
    EXPECT_TRUE(VectorNear(x.MultT(KZeqVector4(1, 0, 0, 1)), KZeqVector4(1, 1, 0, 0), 1e-12, 4));

    KZeqMatrix plain(KZeqVector4(4, 5, 6, 0), KZeqVector4(7, 8, 9, 0), KZeqVector4(1, 2, 3, 0));
    KZeqXMatrix copy;
    copy = plain;
    EXPECT_TRUE(AffineNear(copy.mData, plain.mData, 0.0));
    KZeqMatrix back = copy;
    EXPECT_TRUE(back == plain);

    KArrayTemplate<KZeqXMatrix> poses;
    poses.Add(copy);
    EXPECT_EQ(poses[0].mData[3][2], 6.0);
}

struct TRS {
    double t[3], r[3], s[3];
};

class KZeqXMatrixDecomposeTest : public ::testing::TestWithParam<TRS> {
protected:
    KZeqXMatrix Build() const {
        const TRS& c = GetParam();
        return KZeqXMatrix(KZeqVector4(c.t[0], c.t[1], c.t[2], 0), KZeqVector4(c.r[0], c.r[1], c.r[2], 0),
                           KZeqVector4(c.s[0], c.s[1], c.s[2], 0));
    }
};

TEST_P(KZeqXMatrixDecomposeTest, RecomposesToTheSameMatrix) {
    const KZeqXMatrix m = Build();
    const KZeqVector4 t = m.GetT(), r = m.GetR(), s = m.GetS();
    EXPECT_EQ(t[3], 0.0);
    EXPECT_EQ(r[3], 0.0);
    EXPECT_EQ(s[3], 0.0);
    KZeqXMatrix back;
    back.SetTRS(t, r, s);
    EXPECT_TRUE(AffineNear(back.mData, m.mData, 1e-9));

    KZeqXMatrix viaQ;
    viaQ.SetTQS(t, m.GetQ(), s);
    EXPECT_TRUE(AffineNear(viaQ.mData, m.mData, 1e-9));
    EXPECT_GE(m.GetQ()[3], 0.0);
}

TEST_P(KZeqXMatrixDecomposeTest, ScaleIsSignedByTheDeterminant) {
    const TRS& c = GetParam();
    const KZeqVector4 s = Build().GetS();
    const bool mirrored = c.s[0] * c.s[1] * c.s[2] < 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(std::fabs(s[i]), std::fabs(c.s[i]), 1e-12);
        EXPECT_EQ(s[i] < 0, mirrored) << "all three negative exactly when the block mirrors";
    }
}

TEST_P(KZeqXMatrixDecomposeTest, InverseTimesMatrixIsIdentity) {
    const KZeqXMatrix m = Build();
    const KZeqXMatrix inv = m.Inverse();
    EXPECT_TRUE(IsIdentityBlock((inv * m).mData, 1e-9, 4));
    EXPECT_TRUE(IsIdentityBlock((m * inv).mData, 1e-9, 4));
    EXPECT_EQ(inv.mData[3][3], 1.0);
    EXPECT_EQ(inv.mData[0][3], 0.0);
}

TEST_P(KZeqXMatrixDecomposeTest, SettersKeepTheOtherParts) {
    const KZeqXMatrix m = Build();
    KZeqXMatrix a = m;
    a.SetR(KZeqVector4(-15, 25, 135, 0));
    EXPECT_TRUE(VectorNear(a.GetT(), m.GetT(), 0.0));
    EXPECT_TRUE(VectorNear(a.GetS(), m.GetS(), 1e-9));
    EXPECT_TRUE(VectorNear(a.GetR(), KZeqVector4(-15, 25, 135, 0), 1e-9));

    KZeqXMatrix b = m;
    b.SetS(KZeqVector4(0.5, 2, 3, 0));
    EXPECT_TRUE(VectorNear(b.GetT(), m.GetT(), 0.0));
    EXPECT_TRUE(VectorNear(b.GetS(), KZeqVector4(0.5, 2, 3, 0), 1e-9));
    // The rotation left after the signed scale is divided out is kept.
    KZeqXMatrix rb = b, rm = m;
    rb.SetS(KZeqVector4(1, 1, 1, 0));
    rm.SetS(KZeqVector4(1, 1, 1, 0));
    EXPECT_TRUE(BlockNear(rb.mData, rm.mData, 1e-9));

    KZeqXMatrix c = m;
    c.SetT(KZeqVector4(-7, 8, -9, 1));
    EXPECT_TRUE(BlockNear(c.mData, m.mData, 0.0));
    EXPECT_TRUE(VectorNear(c.GetT(), KZeqVector4(-7, 8, -9, 0), 0.0, 4));

    KZeqXMatrix d = m;
    d.SetQ(KZeqQuaternion(0, 0, 0, 1));
    EXPECT_TRUE(VectorNear(d.GetS(), m.GetS(), 1e-9));
    EXPECT_TRUE(VectorNear(d.GetR(), KZeqVector4(), 1e-9));
}

INSTANTIATE_TEST_SUITE_P(
    Transforms, KZeqXMatrixDecomposeTest,
    ::testing::Values(TRS{{0, 0, 0}, {0, 0, 0}, {1, 1, 1}}, TRS{{1, 2, 3}, {30, 45, 60}, {1, 1, 1}},
                      TRS{{-4, 0.5, 8}, {-120, 33, 170}, {2, 0.25, 7}},
                      TRS{{1, 1, 1}, {10, 20, 30}, {-2, 3, 4}},     // one negative: mirrors
                      TRS{{1, 1, 1}, {10, 20, 30}, {-2, -3, 4}},    // two negatives: a rotation
                      TRS{{5, -5, 5}, {-60, 70, -80}, {-1, -1, -1}},
                      TRS{{0, 0, 0}, {25, -90, 0}, {1, 2, 3}},      // gimbal lock
                      TRS{{0, 0, 0}, {-25, 90, 0}, {-1, 2, 3}}));

TEST(KZeqXMatrixTest, NegativeScaleWorkedExample) {
    const KZeqXMatrix m(KZeqVector4(1, 2, 3, 0), KZeqVector4(0, 0, 0, 0), KZeqVector4(-2, 1, 1, 0));
    // Lengths 2, 1, 1 and a negative determinant: (-2, -1, -1), with the
    // rotation taking up the other two signs (180 degrees about X).
    EXPECT_TRUE(VectorNear(m.GetS(), KZeqVector4(-2, -1, -1, 0), 1e-12));
    EXPECT_NEAR(std::fabs(m.GetR()[0]), 180.0, 1e-9);
    EXPECT_NEAR(m.GetR()[1], 0.0, 1e-9);
    EXPECT_NEAR(m.GetR()[2], 0.0, 1e-9);
}

TEST(KZeqXMatrixTest, ProductAppliesTheRightOperandFirst) {
    const KZeqXMatrix a(KZeqVector4(1, 2, 3, 0), KZeqVector4(10, 20, 30, 0), KZeqVector4(1, 2, 3, 0));
    const KZeqXMatrix b(KZeqVector4(-3, 0, 4, 0), KZeqVector4(-50, 5, 80, 0), KZeqVector4(0.5, 1, 2, 0));
    const KZeqVector4 p(0.25, -1.5, 2, 1);
    EXPECT_TRUE(VectorNear((a * b).MultT(p), a.MultT(b.MultT(p)), 1e-12));
}

TEST(KZeqXMatrixTest, MultTIsAPointTransformWithZeroW) {
    const KZeqXMatrix m(KZeqVector4(10, 20, 30, 0), KZeqVector4(0, 0, 90, 0), KZeqVector4(2, 2, 2, 0));
    // (1, 0, 0) scaled by 2, turned onto Y, then moved.
    EXPECT_TRUE(VectorNear(m.MultT(KZeqVector4(1, 0, 0, 5)), KZeqVector4(10, 22, 30, 0), 1e-12, 4));
}

// Zero scales lose rows of the rotation: decomposition must stay finite and
// a later SetS must bring a consistent rotation back.
TEST(KZeqXMatrixTest, ZeroScaleOnOneAxisIsRecoverable) {
    const KZeqVector4 t(1, 2, 3, 0), r(20, -35, 50, 0);
    KZeqXMatrix m(t, r, KZeqVector4(0, 2, 3, 0));
    const KZeqVector4 s = m.GetS();
    EXPECT_EQ(s[0], 0.0);
    EXPECT_TRUE(VectorNear(m.GetR(), r, 1e-9));
    m.SetS(KZeqVector4(1, 1, 1, 0));
    const KZeqXMatrix ref(t, r, KZeqVector4(1, 1, 1, 0));
    EXPECT_TRUE(AffineNear(m.mData, ref.mData, 1e-9));
}

TEST(KZeqXMatrixTest, ZeroScaleOnSeveralAxesStaysFinite) {
    for (const KZeqVector4& s : {KZeqVector4(0, 0, 3, 0), KZeqVector4(0, 2, 0, 0), KZeqVector4(0, 0, 0, 0)}) {
        KZeqXMatrix m(KZeqVector4(1, 2, 3, 0), KZeqVector4(20, -35, 50, 0), s);
        const KZeqVector4 r = m.GetR();
        const KZeqQuaternion q = m.GetQ();
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isfinite(r[i]));
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(q[i]));
        m.SetS(KZeqVector4(1, 1, 1, 0));
        EXPECT_TRUE(IsRotation(m.mData));
        const KZeqXMatrix inv = m.Inverse();
        EXPECT_TRUE(AllFinite(inv.mData));
    }
    const KZeqXMatrix flat(KZeqVector4(1, 2, 3, 0), KZeqVector4(20, -35, 50, 0), KZeqVector4(0, 1, 1, 0));
    EXPECT_TRUE(AllFinite(flat.Inverse().mData));
}

}  // namespace
