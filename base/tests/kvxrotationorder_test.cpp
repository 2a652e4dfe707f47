#include "base/kvxrotationorder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/tests/math_test_util.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::mathtest;

namespace {

class EulerRotationOrderTest : public ::testing::TestWithParam<int> {};
class RotationOrderTest : public ::testing::TestWithParam<int> {};

// Random angles in the principal ranges, away from gimbal lock, laid out as
// V2M takes them.
KgeRVector RandomAngles(int order) {
    const int* axis = &KmEulerAxis[order * 3];
    const bool repeated = axis[0] == axis[2];
    const double seq[3] = {Uniform(-179, 179), repeated ? Uniform(1, 179) : Uniform(-89, 89), Uniform(-179, 179)};
    KgeRVector v;
    for (int n = 0; n < 3; ++n) v[repeated ? n : axis[n]] = seq[n];
    return v;
}

TEST_P(EulerRotationOrderTest, MatrixToAnglesToMatrixRoundTrips) {
    const int order = GetParam();
    KVXRotationOrder ro(order);
    const int* axis = &KmEulerAxis[order * 3];
    for (int n = 0; n < 200; ++n) {
        const KgeRVector v = RandomAngles(order);
        KgeRMatrix m, back;
        KgeRVector w;
        ro.V2M(m, v);
        ASSERT_TRUE(IsRotation(m));
        ro.M2V(w, m);
        if (axis[0] != axis[2]) {
            for (int k = 0; k < 3; ++k) ASSERT_NEAR(w[k], v[k], 1e-7) << "order " << order;
        } else {
            ASSERT_NEAR(std::fabs(w[1]), v[1], 1e-7) << "order " << order;
        }
        ro.V2M(back, w);
        ASSERT_TRUE(BlockNear(back, m, 1e-9)) << "order " << order;
    }
}

TEST_P(RotationOrderTest, V2MWritesAWholeRotationMatrix) {
    KgeRMatrix m;
    Fill(m, 7.0);
    KVXRotationOrder(GetParam()).V2M(m, KgeRVector(1, 2, 3));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m[i][3], 0.0);
        EXPECT_EQ(m[3][i], 0.0);
    }
    EXPECT_EQ(m[3][3], 1.0);
}

INSTANTIATE_TEST_SUITE_P(EulerOrders, EulerRotationOrderTest, ::testing::Range(0, 12));
INSTANTIATE_TEST_SUITE_P(AllOrders, RotationOrderTest, ::testing::Range(0, 13));

TEST(KVXRotationOrderTest, EulerXYZGoesThroughTheXYZKernels) {
    KgeRMatrix m, ref;
    KVXRotationOrder ro;
    ro.V2M(m, KgeRVector(10, -90, 30));
    KmXYZtoR(ref, 10, -90, 30);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12));
    KgeRVector v;
    ro.M2V(v, m);
    EXPECT_NEAR(v[0], 40.0, 1e-9) << "the gimbal branch of KmRtoVXYZ";
    EXPECT_EQ(v[1], -90.0);
    EXPECT_EQ(v[2], 0.0);
}

TEST(KVXRotationOrderTest, SphericIsTheRotationVectorInDegrees) {
    KVXRotationOrder ro(KVXRotationOrder::eSphericXYZ);
    KgeRMatrix m, ref;
    ro.V2M(m, KgeRVector(0, 0, 90));
    KmXYZtoR(ref, 0, 0, 90);
    EXPECT_TRUE(BlockNear(m, ref, 1e-12));

    // 120 degrees about (1, 1, 1) cycles the axes: X onto Y.
    const double k = 120.0 / std::sqrt(3.0);
    ro.V2M(m, KgeRVector(k, k, k));
    EXPECT_NEAR(m[0][1], 1.0, 1e-12);

    ro.V2M(m, KgeRVector(0, 0, 0));
    EXPECT_TRUE(IsIdentityBlock(m, 0.0));
    KgeRVector v(5, 5, 5);
    ro.M2V(v, m);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i], 0.0);
}

TEST(KVXRotationOrderTest, SphericRoundTripsWithinAHalfTurn) {
    KVXRotationOrder ro(KVXRotationOrder::eSphericXYZ);
    for (int n = 0; n < 200; ++n) {
        KgeRVector v(Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1));
        const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        const double angle = Uniform(0.001, 179.9);
        for (int i = 0; i < 3; ++i) v[i] *= angle / len;
        KgeRMatrix m;
        KgeRVector w;
        ro.V2M(m, v);
        ro.M2V(w, m);
        for (int i = 0; i < 3; ++i) ASSERT_NEAR(w[i], v[i], 1e-8);
    }
    // A half turn stays finite and rebuilds the matrix.
    KgeRMatrix m, back;
    KgeRVector w;
    ro.V2M(m, KgeRVector(0, 180, 0));
    ro.M2V(w, m);
    ro.V2M(back, w);
    EXPECT_TRUE(BlockNear(back, m, 1e-12));
    EXPECT_NEAR(std::fabs(w[1]), 180.0, 1e-9);
}

TEST(KVXRotationOrderTest, OrderOutsideTheTableWorksAsEulerXYZ) {
    KgeRMatrix m, ref;
    KVXRotationOrder(0).V2M(ref, KgeRVector(10, 20, 30));
    for (int order : {-1, 13, 99}) {
        KVXRotationOrder ro(order);
        ro.V2M(m, KgeRVector(10, 20, 30));
        EXPECT_TRUE(BlockNear(m, ref, 0.0));
        KgeRVector v;
        ro.M2V(v, m);
        EXPECT_NEAR(v[2], 30.0, 1e-9);
    }
}

}  // namespace
