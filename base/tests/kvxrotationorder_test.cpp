#include "base/kvxrotationorder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/tests/base_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::basetest;

class RotationOrderTest : public ::testing::TestWithParam<int> {};

// Random angles away from gimbal lock, laid out as V2M takes them (a rotation
// vector shorter than a half turn for spheric XYZ), to a matrix and back. A
// repeated-axis order may answer the other solution, middle angle negated.
TEST_P(RotationOrderTest, RoundTripsAndWritesAWholeMatrix) {
    const int order = GetParam();
    const KVXRotationOrder ro(order);
    const int* axis = &KmEulerAxis[(order % 12) * 3];
    const bool spheric = order == KVXRotationOrder::eSphericXYZ, repeated = !spheric && axis[0] == axis[2];
    for (int n = 0; n < 200; ++n) {
        const double middle = repeated ? Uniform(1, 179) : Uniform(-89, 89);
        const double seq[3] = {Uniform(-179, 179), spheric ? Uniform(-179, 179) : middle, Uniform(-179, 179)};
        KgeRVector v, w;
        for (int k = 0; k < 3; ++k) v[repeated || spheric ? k : axis[k]] = seq[k];
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int k = 0; k < 3 && spheric; ++k) v[k] *= Uniform(0.001, 179.9) / length;
        KgeRMatrix m, back;
        Fill(m, 7.0);
        ro.V2M(m, v);
        ASSERT_TRUE(IsRotation(m));
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(m[i][3] == (i == 3 ? 1.0 : 0.0) && m[3][i] == m[i][3]) << i;
        ro.M2V(w, m);
        for (int k = repeated ? 1 : 0; k < (repeated ? 2 : 3); ++k)
            ASSERT_NEAR(repeated ? std::fabs(w[k]) : w[k], v[k], 1e-7) << "order " << order;
        ro.V2M(back, w);
        ASSERT_TRUE(BlockNear(back, m, 1e-9)) << "order " << order;
    }
}

INSTANTIATE_TEST_SUITE_P(AllOrders, RotationOrderTest, ::testing::Range(0, int(KVXRotationOrder::eOrderCount)),
                         OrderName);

// Euler XYZ angles of a turn within a tenth of a degree of a quarter turn about Y, either way,
// rebuild the turn, as every other order's do: no snap to the quarter turn itself.
TEST(KVXRotationOrderTest, EulerXYZKeepsATurnNearAQuarterTurnAboutY) {
    const KVXRotationOrder ro(KVXRotationOrder::eEulerXYZ);
    for (double y : {89.9, 89.95, 89.99, 90.03, 90.08, -89.92, -89.95, -90.05, -90.1}) {
        KgeRMatrix m, back;
        KgeRVector v;
        ro.V2M(m, KgeRVector(30, y, -20));
        ro.M2V(v, m);
        ro.V2M(back, v);
        EXPECT_TRUE(BlockNear(back, m, 1e-12)) << y;
    }
}

// Orders outside the table are Euler XYZ (X + Z at
// gimbal lock); spheric XYZ is the rotation vector in degrees, the zero vector
// the identity, and a half turn stays finite and rebuilds the matrix.
TEST(KVXRotationOrderTest, EulerXYZFallbackAndSphericWorkedExamples) {
    KgeRMatrix m, ref, back;
    KgeRVector v(5, 5, 5);
    KmXYZtoR(ref, 10, -90, 30);
    for (int order : {0, -1, 13, 99}) {
        const KVXRotationOrder ro(order);
        ro.V2M(m, KgeRVector(10, -90, 30));
        ro.M2V(v, m);
        EXPECT_TRUE(BlockNear(m, ref, 1e-12) && std::fabs(v[0] - 40.0) < 1e-9 && v[1] == -90.0 && v[2] == 0.0) << order;
    }
    const KVXRotationOrder ro(KVXRotationOrder::eSphericXYZ);
    ro.V2M(m, KgeRVector(0, 0, 90));
    KmXYZtoR(ref, 0, 0, 90);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12));
    ro.V2M(m, KgeRVector(0, 0, 0));
    ro.M2V(v, m);
    EXPECT_TRUE(IsIdentityBlock(m, 0.0) && v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0);
    ro.V2M(m, KgeRVector(0, 180, 0));
    ro.M2V(v, m);
    ro.V2M(back, v);
    EXPECT_TRUE(BlockNear(back, m, 1e-12) && std::fabs(std::fabs(v[1]) - 180.0) < 1e-9);
}
