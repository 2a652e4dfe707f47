#include "fcurve/kfcurvefiltergimbalkiller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"
#include "fuzz/fcurverotation_input.h"

using namespace nodetest;

namespace {

constexpr double kMinInterval = 1.0 / 1200.0;

class GimbleKiller : public ::testing::Test {
protected:
    KFCurve& X() { return C(node, 0); }
    double Value(int c, int k) { return C(node, c).KeyGetPtr(k)->GetValue(); }
    double Seconds(int k) { return X().KeyGetPtr(k)->GetTime().GetSecondDouble(); }
    // Every step between successive keys is small, or the keys are too close to split.
    void ExpectSmallSteps() {
        for (int k = 1; k < X().KeyGetCount(); ++k) {
            EXPECT_GT(Seconds(k), Seconds(k - 1));
            double d2 = 0.0;
            for (int c = 0; c < 3; ++c) d2 += (Value(c, k) - Value(c, k - 1)) * (Value(c, k) - Value(c, k - 1));
            if (Seconds(k) - Seconds(k - 1) >= 2 * kMinInterval) {
                EXPECT_LT(d2, 75.0) << "key " << k;
            }
        }
    }
    void ExpectSameKeyTimes() {
        EXPECT_EQ(Times(X()), Times(C(node, 1)));
        EXPECT_EQ(Times(X()), Times(C(node, 2)));
    }

    NodePtr node = RotationNode();
    KFCurveFilterGimbleKiller filter;
};

TEST_F(GimbleKiller, LargeStepIsSubdividedAlongTheShortestRotation) {
    KeyRows(node, {{0, 0, 0}, {0, 0, 90}});
    EXPECT_TRUE(filter.Apply(*node, true));
    ASSERT_GT(X().KeyGetCount(), 2);
    ExpectSameKeyTimes();
    // Halved toward the first key until the step is small: 1/16 s, where the
    // normalised blend of the quaternions turns by 2 atan(q.z / q.w).
    EXPECT_EQ(X().KeyGetPtr(1)->GetTime(), Sec(1.0 / 16));
    const double s = std::sqrt(0.5) / 16, w = 15.0 / 16 + std::sqrt(0.5) / 16;
    EXPECT_NEAR(Value(2, 1), 2.0 * std::atan(s / w) * KM_RAD_TO_DEG, 1e-4);
    // A turn about Z stays a turn about Z, monotonic up to the input key.
    for (int k = 1; k < X().KeyGetCount(); ++k) {
        EXPECT_NEAR(std::fabs(Value(0, k)) + std::fabs(Value(1, k)), 0.0, 1e-4);
        EXPECT_GT(Value(2, k), Value(2, k - 1));
    }
    ExpectSmallSteps();
    EXPECT_FLOAT_EQ(Values(C(node, 2)).back(), 90.0f);
}

// Other rotation orders: the input keys keep their orientation for that order,
// and the inserted keys are small steps.
class GimbleKillerOrder : public GimbleKiller, public ::testing::WithParamInterface<int> {};

TEST_P(GimbleKillerOrder, InputOrientationsKeptAndStepsSmall) {
    const int order = GetParam();
    node->SetRotationOrder(order);
    const double keys[3][3] = {{10, 20, 30}, {170, -60, 100}, {-120, 45, -170}};
    KeyRows(node, {{10, 20, 30}, {170, -60, 100}, {-120, 45, -170}});
    EXPECT_TRUE(filter.Apply(*node, true));
    ExpectSameKeyTimes();
    if (order != KVXRotationOrder::eSphericXYZ) ExpectSmallSteps();
    for (int k = 0; k < 3; ++k) {
        const int index = static_cast<int>(X().KeyFind(Sec(k)));
        ASSERT_EQ(X().KeyGetPtr(index)->GetTime(), Sec(k));
        const double actual[3] = {Value(0, index), Value(1, index), Value(2, index)};
        ExpectSameRotation(actual, keys[k], 1e-5, order);
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, GimbleKillerOrder, ::testing::Values(0, 1, 2, 5, 8, 10, 12),
                         [](const ::testing::TestParamInfo<int>& info) { return "Order" + std::to_string(info.param); });

TEST_F(GimbleKiller, RefusedInputLeavesTheNodeUnchanged) {
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_STREQ(filter.GetLastErrorString(), "No key");
    KeyRows(node, {{10, 0, 0}, {370, 0, 0}});

    NodePtr translation = RotationNode(KFCL_ADD);
    KeyAll(translation, 0, {10, 0, 0});
    EXPECT_FALSE(filter.Apply(*translation, true));
    EXPECT_STREQ(filter.GetLastErrorString(), "Gimble Killer. Not a Rotation node!");

    KFCurve* z = node->Get(2)->FCurveSet(nullptr);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNot3Curves);
    node->Get(2)->FCurveSet(z);
    EXPECT_EQ(Values(X()), (std::vector<float>{10, 370}));
}

TEST_F(GimbleKiller, ThreeLooseCurvesAreRebuiltAsARotationAndOtherCountsRefused) {
    KFCurve x, y, z;
    for (KFCurve* c : {&x, &y, &z}) fcurvetest::Add(*c, 0.0, MakeKey(0.0f, kCubic, kAuto));
    fcurvetest::Add(z, 1.0, MakeKey(90.0f, kCubic, kAuto));
    KFCurve* curves[] = {&x, &y, &z};
    EXPECT_TRUE(filter.Apply(curves, 3));
    // The same keys as the node form: synchronised, and split along the turn from 1/16 s.
    KeyRows(node, {{0, 0, 0}, {0, 0, 90}});
    ASSERT_TRUE(filter.Apply(*node, true));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Times(*curves[c]), Times(C(node, c))) << c;
        EXPECT_EQ(Values(*curves[c]), Values(C(node, c))) << c;
    }
    EXPECT_EQ(x.KeyGetPtr(1)->GetTime(), Sec(1.0 / 16));

    const int keys = x.KeyGetCount();
    EXPECT_FALSE(filter.Apply(curves, 2));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNot3Curves);
    EXPECT_STREQ(filter.GetLastErrorString(), "Need 3 KFCurve to apply a gimble killer filter.");
    KFCurve* withHole[] = {&x, nullptr, &z};
    EXPECT_FALSE(filter.Apply(withHole, 3));
    EXPECT_FALSE(filter.Apply(x));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNot3Curves);
    EXPECT_STREQ(filter.GetLastErrorString(), "Not 3 curve");
    EXPECT_EQ(x.KeyGetCount(), keys);
}

// An angle so large that whole turns vanish in its rounding: the keys taken
// toward the next key never come close enough, and the splitting stops after a
// bounded number of keys instead of going on every 1/2400 s.
TEST_F(GimbleKiller, DamagedHugeAnglesInsertABoundedNumberOfKeys) {
    KeyAll(node, 0, {-7.36950503e16f, -15.4062653f, 21.1283417f});
    KeyAll(node, 10, {61.3683014f, 149.026337f, -29.7702637f});
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_LE(X().KeyGetCount(), 2 + 128);
    ExpectSameKeyTimes();

    // The input found by fuzzing (angles near 2e18 degrees), replayed through the same harness.
    const auto path = std::filesystem::path(ZEQ_FCURVE_TEST_DATA) / "gimbalkiller_huge_angles.bin";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(fcurverotationfuzz::Run(bytes.data(), bytes.size()));
}

}  // namespace
