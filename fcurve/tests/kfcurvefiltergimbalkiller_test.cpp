#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/tests/rotation_test_support.h"
#include "fuzz/fcurverotation_input.h"

using namespace zeqsdk_400;
using namespace rotationtest;

namespace {

constexpr double kMinInterval = 1.0 / 1200.0;

class GimbleKiller : public ::testing::Test {
protected:
    KFCurve& X() { return *Channel(*node, 0); }
    KFCurve& Y() { return *Channel(*node, 1); }
    KFCurve& Z() { return *Channel(*node, 2); }

    double Value(int c, int k) { return Channel(*node, c)->KeyGetPtr(k)->GetValue(); }
    double Seconds(int k) { return X().KeyGetPtr(k)->GetTime().GetSecondDouble(); }
    double Step2(int k) {
        double d2 = 0.0;
        for (int c = 0; c < 3; ++c) d2 += (Value(c, k) - Value(c, k - 1)) * (Value(c, k) - Value(c, k - 1));
        return d2;
    }
    // Every step between successive keys is small, or the keys are too close to split.
    void ExpectSmallSteps() {
        for (int k = 1; k < X().KeyGetCount(); ++k) {
            EXPECT_GT(Seconds(k), Seconds(k - 1));
            if (Seconds(k) - Seconds(k - 1) >= 2 * kMinInterval) {
                EXPECT_LT(Step2(k), 75.0) << "key " << k;
            }
        }
    }
    void ExpectSameKeyTimes() {
        EXPECT_EQ(Times(X()), Times(Y()));
        EXPECT_EQ(Times(X()), Times(Z()));
    }

    NodePtr node = RotationNode();
    KFCurveFilterGimbleKiller filter;
};

TEST_F(GimbleKiller, SmallStepIsNotSubdivided) {
    KeyTriple(*node, 0, 0, 0, 0);
    KeyTriple(*node, 1, 0, 0, 6);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Times(Z()), Secs({0, 1}));
    EXPECT_EQ(Values(Z()), (std::vector<float>{0, 6}));
}

TEST_F(GimbleKiller, LargeStepIsSubdividedAlongTheShortestRotation) {
    KeyTriple(*node, 0, 0, 0, 0);
    KeyTriple(*node, 1, 0, 0, 90);
    EXPECT_TRUE(filter.Apply(*node, true));
    ASSERT_GT(Z().KeyGetCount(), 2);
    ExpectSameKeyTimes();
    // Halved toward the first key until the step is small: 1/16 s, where the
    // normalised blend of the quaternions turns by 2 atan(q.z / q.w).
    EXPECT_EQ(X().KeyGetPtr(1)->GetTime(), Sec(1.0 / 16));
    const double s = std::sqrt(0.5) / 16, w = 15.0 / 16 + std::sqrt(0.5) / 16;
    EXPECT_NEAR(Value(2, 1), 2.0 * std::atan(s / w) * KM_RAD_TO_DEG, 1e-4);
    EXPECT_NEAR(Value(2, 1), 5.16, 0.01);
    // A turn about Z stays a turn about Z, monotonic up to the input key.
    for (int k = 1; k < Z().KeyGetCount(); ++k) {
        EXPECT_NEAR(Value(0, k), 0.0, 1e-4);
        EXPECT_NEAR(Value(1, k), 0.0, 1e-4);
        EXPECT_GT(Value(2, k), Value(2, k - 1));
    }
    ExpectSmallSteps();
    EXPECT_EQ(X().KeyGetPtr(X().KeyGetCount() - 1)->GetTime(), Sec(1));
    EXPECT_FLOAT_EQ(Z().KeyGetPtr(Z().KeyGetCount() - 1)->GetValue(), 90.0f);
}

TEST_F(GimbleKiller, KeysCloserThanTheMinimumIntervalAreNotSubdivided) {
    KeyTriple(*node, 0, 0, 0, 0);
    KeyTriple(*node, 1.0 / 2000, 0, 0, 90);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(Z()), (std::vector<float>{0, 90}));
}

TEST_F(GimbleKiller, FlipsAndTurnsAreRemoved) {
    KeyTriple(*node, 0, 10, 0, 0);
    KeyTriple(*node, 1, 370, 0, 0);
    // The identity written as its other solution.
    KeyTriple(*node, 2, 190, 180, 180);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(X()), (std::vector<float>{10, 10, 10}));
    EXPECT_EQ(Values(Y()), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(Values(Z()), (std::vector<float>{0, 0, 0}));
}

TEST_F(GimbleKiller, FirstKeyKeepsItsKindOthersBecomeCubicAuto) {
    const KFCurveKey linear = fcurvetest::MakeKey(0, fcurvetest::kLinear, KFCURVE_TANGEANT_USER, 2.0f, 3.0f,
                                                  KFCURVE_WEIGHTED_RIGHT, 0.5f, 0.25f);
    for (int c = 0; c < 3; ++c) {
        fcurvetest::Add(*Channel(*node, c), 0, linear);
        fcurvetest::Add(*Channel(*node, c), 1, fcurvetest::MakeKey(4, fcurvetest::kConstant));
    }
    EXPECT_TRUE(filter.Apply(*node, true));
    const KFCurveKey& first = *X().KeyGetPtr(0);
    EXPECT_EQ(first.GetInterpolation(), fcurvetest::kLinear);
    EXPECT_EQ(first.GetTangeantWeightMode(), static_cast<unsigned>(KFCURVE_WEIGHTED_RIGHT));
    EXPECT_EQ(0, std::memcmp(&first, &linear, sizeof linear));
    const KFCurveKey& second = *X().KeyGetPtr(1);
    EXPECT_EQ(second.GetInterpolation(), fcurvetest::kCubic);
    EXPECT_EQ(second.GetTangeantMode(), static_cast<unsigned>(KFCURVE_TANGEANT_AUTO));
    EXPECT_EQ(second.GetValue(), 4.0f);
}

// The keys that key sync adds to the first curve are rebuilt too.
TEST_F(GimbleKiller, KeysAddedByKeySyncAreRebuilt) {
    for (int c = 0; c < 3; ++c) fcurvetest::Add(*Channel(*node, c), 0, fcurvetest::MakeKey(0, fcurvetest::kLinear));
    fcurvetest::Add(X(), 1, fcurvetest::MakeKey(5, fcurvetest::kLinear));
    fcurvetest::Add(Y(), 0.5, fcurvetest::MakeKey(1, fcurvetest::kLinear));
    fcurvetest::Add(Y(), 1, fcurvetest::MakeKey(0, fcurvetest::kLinear));
    fcurvetest::Add(Z(), 1, fcurvetest::MakeKey(0, fcurvetest::kLinear));
    EXPECT_TRUE(filter.Apply(*node, true));
    ExpectSameKeyTimes();
    ASSERT_EQ(Times(X()), Secs({0, 0.5, 1}));
    EXPECT_EQ(Values(X()), (std::vector<float>{0, 2.5f, 5}));
    EXPECT_EQ(Values(Y()), (std::vector<float>{0, 1, 0}));
    for (int k = 1; k < 3; ++k) EXPECT_EQ(X().KeyGetPtr(k)->GetInterpolation(), fcurvetest::kCubic) << k;
}

TEST_F(GimbleKiller, WithoutKeySyncTheFirstCurveTimesLead) {
    filter.SetApplyKeySyncFilter(false);
    Keys(X(), {{0, 0}, {1, 5}});
    Keys(Y(), {{0, 0}, {0.5, 40}, {1, 0}});
    Keys(Z(), {{0, 0}});
    EXPECT_TRUE(filter.Apply(*node, true));
    // The other curves are read at the first curve's key times.
    EXPECT_EQ(Times(X()), Secs({0, 1}));
    EXPECT_EQ(Values(Y()), (std::vector<float>{0, 0}));
    EXPECT_EQ(Values(Z()), (std::vector<float>{0, 0}));
    EXPECT_EQ(Times(Z()), Secs({0, 1}));
}

TEST_F(GimbleKiller, KeysOutsideTheSpanKeepTheirValuesAndKinds) {
    for (int c = 0; c < 3; ++c) {
        fcurvetest::Add(*Channel(*node, c), 0, fcurvetest::MakeKey(0, fcurvetest::kConstant));
        fcurvetest::Add(*Channel(*node, c), 3, fcurvetest::MakeKey(c == 2 ? 100.0f : 0.0f, fcurvetest::kLinear));
    }
    KeyTriple(*node, 1, 0, 0, 0);
    KeyTriple(*node, 2, 0, 0, 90);
    filter.SetStartTime(Sec(1.5));
    filter.SetStopTime(Sec(2.5));
    EXPECT_TRUE(filter.Apply(*node, true));
    ExpectSameKeyTimes();
    const int last = Z().KeyGetCount() - 1;
    EXPECT_EQ(Z().KeyGetPtr(0)->GetInterpolation(), fcurvetest::kConstant);
    EXPECT_EQ(Z().KeyGetPtr(0)->GetValue(), 0.0f);
    EXPECT_EQ(Z().KeyGetPtr(1)->GetTime(), Sec(1));
    EXPECT_EQ(Z().KeyGetPtr(last)->GetInterpolation(), fcurvetest::kLinear);
    EXPECT_EQ(Z().KeyGetPtr(last)->GetValue(), 100.0f);
    EXPECT_EQ(Z().KeyGetPtr(last)->GetTime(), Sec(3));
    // Keys were inserted only inside the span.
    for (int k = 2; k < last - 1; ++k) {
        EXPECT_GE(X().KeyGetPtr(k)->GetTime(), Sec(1.5)) << k;
        EXPECT_LE(X().KeyGetPtr(k)->GetTime(), Sec(2.5)) << k;
    }
    EXPECT_GT(last, 4);
}

// Other rotation orders: the input keys keep their orientation for that order,
// and the inserted keys are small steps.
class GimbleKillerOrder : public GimbleKiller, public ::testing::WithParamInterface<int> {};

TEST_P(GimbleKillerOrder, InputOrientationsKeptAndStepsSmall) {
    const int order = GetParam();
    node->SetRotationOrder(order);
    const float keys[3][3] = {{10, 20, 30}, {170, -60, 100}, {-120, 45, -170}};
    for (int k = 0; k < 3; ++k) KeyTriple(*node, k, keys[k][0], keys[k][1], keys[k][2]);
    EXPECT_TRUE(filter.Apply(*node, true));
    ExpectSameKeyTimes();
    if (order != KVXRotationOrder::eSphericXYZ) ExpectSmallSteps();
    const KVXRotationOrder conversion(order);
    for (int k = 0; k < 3; ++k) {
        const int index = static_cast<int>(X().KeyFind(Sec(k)));
        ASSERT_EQ(X().KeyGetPtr(index)->GetTime(), Sec(k));
        KgeRMatrix expected, actual;
        conversion.V2M(expected, KgeRVector(keys[k][0], keys[k][1], keys[k][2]));
        conversion.V2M(actual, KgeRVector(Value(0, index), Value(1, index), Value(2, index)));
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(actual[i][j], expected[i][j], 1e-5) << "key " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, GimbleKillerOrder, ::testing::Values(0, 1, 2, 5, 8, 10, 12));

TEST_F(GimbleKiller, CurveArrayOfThree) {
    KFCurve x, y, z;
    Keys(x, {{0, 10}, {1, 370}});
    Keys(y, {{0, 0}, {1, 0}});
    Keys(z, {{0, 0}, {1, 0}});
    KFCurve* curves[3] = {&x, &y, &z};
    EXPECT_TRUE(filter.Apply(curves, 3));
    EXPECT_EQ(Values(x), (std::vector<float>{10, 10}));
}

TEST_F(GimbleKiller, RefusedInputLeavesTheNodeUnchanged) {
    KeyTriple(*node, 0, 10, 0, 0);
    KeyTriple(*node, 1, 370, 0, 0);

    KFCurve* two[2] = {&X(), &Y()};
    EXPECT_FALSE(filter.Apply(two, 2));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNot3Curves);
    EXPECT_STREQ(filter.GetLastErrorString(), "Need 3 KFCurve to apply a gimble killer filter.");

    EXPECT_FALSE(filter.Apply(X()));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNot3Curves);
    EXPECT_STREQ(filter.GetLastErrorString(), "Not 3 curve");

    NodePtr translation = RotationNode(KFCL_ADD);
    KeyTriple(*translation, 0, 10, 0, 0);
    EXPECT_FALSE(filter.Apply(*translation, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNotRotationNode);
    EXPECT_STREQ(filter.GetLastErrorString(), "Gimble Killer. Not a Rotation node!");

    node->FindOrCreate("W", true);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNot3Curves);
    EXPECT_STREQ(filter.GetLastErrorString(), "Gimble Killer. ioCurveNode does not have 3 childs.");
    node->Delete(3);

    KFCurve* z = node->Get(2)->FCurveSet(nullptr);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterGimbleKiller::eNot3Curves);
    node->Get(2)->FCurveSet(z);

    EXPECT_EQ(Values(X()), (std::vector<float>{10, 370}));
}

// An angle so large that whole turns vanish in its rounding: the keys taken
// toward the next key never come close enough, and the splitting stops after a
// bounded number of keys instead of going on every 1/2400 s.
TEST_F(GimbleKiller, DamagedHugeAnglesInsertABoundedNumberOfKeys) {
    KeyTriple(*node, 0, -7.36950503e16f, -15.4062653f, 21.1283417f);
    KeyTriple(*node, 10, 61.3683014f, 149.026337f, -29.7702637f);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_LE(X().KeyGetCount(), 2 + 128);
    ExpectSameKeyTimes();
}

// An input found by fuzzing (angles near 2e18 degrees), replayed through the
// same harness.
TEST(GimbleKillerFuzzFinds, HugeAnglesFinish) {
    const auto path = std::filesystem::path(__FILE__).parent_path() / "data" / "gimbalkiller_huge_angles.bin";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(fcurverotationfuzz::Run(bytes.data(), bytes.size()));
}

TEST_F(GimbleKiller, NoKeyIsReported) {
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "No key");
}

}  // namespace
