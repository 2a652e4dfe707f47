#include "base/kzeqmatrix.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/tests/base_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::basetest;

static KZeqVector4 V(double x, double y, double z, double w = 0) { return KZeqVector4(x, y, z, w); }

TEST(KZeqMatrixTest, LayoutRowsAndTolerance) {
    const KZeqMatrix m(V(1, 2, 3, 9), V(10, 20, 30, 9), V(2, 3, 4, 9));
    EXPECT_TRUE(BlockNear(m.mData, AffineOf({1, 2, 3, 10, 20, 30, 2, 3, 4}), 0.0, 4));
    EXPECT_TRUE(VectorNear(m.GetRow(3), V(1, 2, 3, 1), 0.0, 4) && static_cast<const double*>(m)[3 * 4 + 1] == 2.0);
    EXPECT_TRUE(VectorNear(m.GetRow(4), KZeqVector4(), 0.0, 4) && VectorNear(m.GetRow(-1), KZeqVector4(), 0.0, 4));
    KZeqMatrix a, b;
    b.mData[3][2] = 0.9e-6;
    EXPECT_TRUE(a == b);
    b.mData[0][3] = 1.1e-6;
    EXPECT_TRUE(a != b);
}

// (1, 0, 0) scaled by 2, turned onto Y, then moved; w of the result is 0. Lengths
// 2, 1, 1 with a negative determinant decompose as (-2, -1, -1), the rotation taking
// up the other two signs (180 degrees about X).
TEST(KZeqXMatrixTest, MultTProductAndNegativeScaleWorkedExamples) {
    const KZeqXMatrix m(V(10, 20, 30), V(0, 0, 90), V(2, 2, 2)), b(V(-3, 0, 4), V(-50, 5, 80), V(0.5, 1, 2));
    EXPECT_TRUE(VectorNear(m.MultT(V(1, 0, 0, 5)), V(10, 22, 30), 1e-12, 4));
    const KZeqVector4 p(0.25, -1.5, 2, 1), r = KZeqXMatrix(V(1, 2, 3), V(0, 0, 0), V(-2, 1, 1)).GetR();
    EXPECT_TRUE(VectorNear((m * b).MultT(p), m.MultT(b.MultT(p)), 1e-12)) << "the right operand first";
    EXPECT_TRUE(VectorNear(KZeqXMatrix(V(1, 2, 3), V(0, 0, 0), V(-2, 1, 1)).GetS(), V(-2, -1, -1), 1e-12) &&
                VectorNear(V(std::fabs(r[0]), r[1], r[2]), V(180, 0, 0), 1e-9));
}

namespace {

struct Transform { const char* mName; TRS mTRS; };
void PrintTo(const Transform& t, std::ostream* out) { *out << t.mName; }

class KZeqXMatrixDecomposeTest : public ::testing::TestWithParam<Transform> {
protected:
    const TRS& c = GetParam().mTRS;
    const KZeqXMatrix m{V(c[0], c[1], c[2]), V(c[3], c[4], c[5]), V(c[6], c[7], c[8])};
};

}  // namespace

// T, R (or Q) and a scale signed by the determinant recompose to the same matrix,
// and the inverse is one. Setting one part keeps the others.
TEST_P(KZeqXMatrixDecomposeTest, RecomposesInvertsAndSettersKeepTheOtherParts) {
    const KZeqVector4 t = m.GetT(), r = m.GetR(), s = m.GetS();
    EXPECT_TRUE(t[3] == 0.0 && r[3] == 0.0 && s[3] == 0.0);
    KZeqXMatrix back;
    back.SetTRS(t, r, s);
    EXPECT_TRUE(BlockNear(back.mData, m.mData, 1e-9, 4));
    back.SetTQS(t, m.GetQ(), s);
    EXPECT_TRUE(BlockNear(back.mData, m.mData, 1e-9, 4) && m.GetQ()[3] >= 0.0);
    back.SetTRS(t, m.GetEulerXYZ(), s);
    EXPECT_TRUE(BlockNear(back.mData, m.mData, 1e-9, 4));
    for (int i = 0; i < 3; ++i)  // all three negative exactly when the block mirrors
        EXPECT_TRUE(std::fabs(std::fabs(s[i]) - std::fabs(c[6 + i])) < 1e-12 && (s[i] < 0) == (c[6] * c[7] * c[8] < 0));
    const KZeqXMatrix inv = m.Inverse();
    EXPECT_TRUE(IsIdentityBlock((inv * m).mData, 1e-9, 4) && IsIdentityBlock((m * inv).mData, 1e-9, 4));
    EXPECT_TRUE(inv.mData[3][3] == 1.0 && inv.mData[0][3] == 0.0);
    KZeqXMatrix a = m, b = m, d = m, rm = m;
    a.SetR(V(-15, 25, 135));
    EXPECT_TRUE(VectorNear(a.GetT(), m.GetT(), 0.0) && VectorNear(a.GetS(), m.GetS(), 1e-9));
    EXPECT_TRUE(VectorNear(a.GetR(), V(-15, 25, 135), 1e-9));
    b.SetS(V(0.5, 2, 3));
    EXPECT_TRUE(VectorNear(b.GetT(), m.GetT(), 0.0) && VectorNear(b.GetS(), V(0.5, 2, 3), 1e-9));
    b.SetS(V(1, 1, 1));  // the rotation left after the signed scale is divided out is kept
    rm.SetS(V(1, 1, 1));
    EXPECT_TRUE(BlockNear(b.mData, rm.mData, 1e-9));
    d.SetQ(KZeqQuaternion(0, 0, 0, 1));
    EXPECT_TRUE(VectorNear(d.GetS(), m.GetS(), 1e-9) && VectorNear(d.GetR(), KZeqVector4(), 1e-9));
}

const Transform kTransforms[] = {
    {"Identity", {0, 0, 0, 0, 0, 0, 1, 1, 1}},          {"Rotated", {1, 2, 3, 30, 45, 60, 1, 1, 1}},
    {"Scaled", {-4, 0.5, 8, -120, 33, 170, 2, 0.25, 7}}, {"MirrorsOneAxis", {1, 1, 1, 10, 20, 30, -2, 3, 4}},
    {"TwoNegativeScales", {1, 1, 1, 10, 20, 30, -2, -3, 4}},  // a rotation
    {"MirrorsAll", {5, -5, 5, -60, 70, -80, -1, -1, -1}}, {"GimbalLock", {0, 0, 0, 25, -90, 0, 1, 2, 3}},
    {"GimbalLockMirrored", {0, 0, 0, -25, 90, 0, -1, 2, 3}}};
INSTANTIATE_TEST_SUITE_P(Transforms, KZeqXMatrixDecomposeTest, ::testing::ValuesIn(kTransforms),
                         [](const ::testing::TestParamInfo<Transform>& info) { return info.param.mName; });

// Within a tenth of a degree of a quarter turn about Y, either way and mirrored or not, the
// general extraction gives angles that turn as the matrix does; GetR takes the quarter turn.
TEST(KZeqXMatrixTest, GeneralEulerKeepsATurnNearAQuarterTurnAboutY) {
    for (double y : {89.92, 89.96, 89.9999, -89.95})
        for (double sx : {1.5, -1.5}) {
            const KZeqXMatrix m(V(1, 2, 3), V(10, y, 20), V(sx, 2, 0.5));
            EXPECT_TRUE(BlockNear(KZeqXMatrix(m.GetT(), m.GetEulerXYZ(), m.GetS()).mData, m.mData, 1e-9, 4))
                << y << " " << sx;
            const bool snapped = !BlockNear(KZeqXMatrix(m.GetT(), m.GetR(), m.GetS()).mData, m.mData, 1e-6, 4);
            EXPECT_TRUE(snapped || std::fabs(std::fabs(y) - 90.0) < 1e-3) << y;
        }
}

// Zero scales lose rows of the rotation: decomposition must stay finite and a
// later SetS must bring a consistent rotation back.
TEST(KZeqXMatrixTest, ZeroScalesAreRecoverable) {
    const KZeqVector4 t(1, 2, 3, 0), r(20, -35, 50, 0);
    KZeqXMatrix m(t, r, V(0, 2, 3));
    EXPECT_TRUE(m.GetS()[0] == 0.0 && VectorNear(m.GetR(), r, 1e-9) && AllFinite(m.Inverse().mData));
    m.SetS(V(1, 1, 1));
    EXPECT_TRUE(BlockNear(m.mData, KZeqXMatrix(t, r, V(1, 1, 1)).mData, 1e-9, 4));
    for (const KZeqVector4& s : {V(0, 0, 3), V(0, 2, 0), V(0, 0, 0)}) {
        KZeqXMatrix z(t, r, s);
        EXPECT_TRUE(AllFinite(z.GetR(), 3) && AllFinite(z.GetQ(), 4));
        z.SetS(V(1, 1, 1));
        EXPECT_TRUE(IsRotation(z.mData) && AllFinite(z.Inverse().mData));
    }
}
