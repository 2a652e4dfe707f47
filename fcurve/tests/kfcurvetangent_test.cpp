#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fcurve/kfcurveautotangent.h"
#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;
using namespace fcurvetest::core;

namespace {

struct KeyDef {
    double time;
    float value;
    unsigned int interpolation;
    unsigned int mode;
    float data0;
    float data1;
};

constexpr unsigned int kUser = KFCURVE_TANGEANT_USER;
constexpr unsigned int kUserBreak = KFCURVE_TANGEANT_USER_BREAK;
constexpr unsigned int kAuto = KFCURVE_TANGEANT_AUTO;

class KFCurveTangentTest : public ::testing::Test {
protected:
    void SetUp() override { curve.CallbackRegister(&EventLog::Record, &log); }

    void Build(const std::vector<KeyDef>& defs) {
        curve.KeyClear();
        for (const KeyDef& d : defs) Add(curve, d.time, MakeKey(d.value, d.interpolation, d.mode, d.data0, d.data1));
        log.events.clear();
    }

    // Keys (0 s, 0), (1 s, 2), (3 s, 0): slopes 2 before and -1 after the middle key.
    void BuildThree(unsigned int mode = kUser) {
        Build({{0, 0, kCubic, mode, 0, 0}, {1, 2, kCubic, mode, 0, 0}, {3, 0, kCubic, mode, 0, 0}});
    }

    void BuildTcb(float tension, float continuity, float bias) {
        BuildThree();
        for (int i = 0; i < 3; ++i) {
            KFCurveKey* key = curve.KeyGetPtr(i);
            key->SetTCB(key->GetTime(), key->GetValue(), tension, continuity, bias);
        }
    }

    float Slot(int i, EKFCurveDataIndex slot) { return curve.KeyGetPtr(i)->GetDataDouble(slot); }

    EventLog log;  // outlives the curve, which reports its destruction
    KFCurve curve;
};

}  // namespace

// ---- Derivatives by tangent mode ----------------------------------------

TEST_F(KFCurveTangentTest, LinearKeysAndTheEndsOfATwoKeyCurve) {
    Build({{0, 1, kLinear, 0, 0, 0}, {2, 5, kCubic, kUser, 0, 0}, {3, 0, kCubic, 0, 0, 0}});
    EXPECT_EQ(Derivatives(curve, 0), (std::vector<float>{2, 2}));
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), 2.0f);
    EXPECT_EQ(curve.KeyGetLeftAuto(1), 100.0f);
    // The ends mirror their only tangent.
    Build({{0, 0, kCubic, kUser, 1.5f, -0.5f}, {1, 1, kCubic, kUser, 7, 7}});
    EXPECT_EQ(Derivatives(curve, 0), (std::vector<float>{1.5f, 1.5f}));
    EXPECT_EQ(Derivatives(curve, 1), (std::vector<float>{-0.5f, -0.5f}));
}

TEST_F(KFCurveTangentTest, EveryDerivativeOfAOneKeyCurveIsZero) {
    Build({{1, 4, kCubic, kAuto, 25, 25}});
    EXPECT_EQ(Derivatives(curve, 0), (std::vector<float>{0, 0}));
    EXPECT_EQ(curve.KeyGetRightAuto(0), 25.0f);
    EXPECT_EQ(curve.KeyGetLeftBezierTangeant(0) + curve.KeyGetRightBezierTangeant(0), 8.0f);
    curve.KeyGetPtr(0)->SetTangeantMode(kUser);  // its slots hold 25 and must not be read
    EXPECT_EQ(Derivatives(curve, 0), (std::vector<float>{0, 0}));
    EXPECT_EQ(curve.KeyGetRightAuto(0) + curve.KeyGetLeftAuto(0), 0.0f);
}

TEST_F(KFCurveTangentTest, OutOfRangeIndicesAnswerZeroAndChangeNothing) {
    Build({{0, 0, kCubic, kUser, 1, 1}, {1, 1, kCubic, kUser, 1, 1}});
    for (int i : {-5, -1, 2, 3, 100}) {
        EXPECT_EQ(curve.KeyGetRightDerivative(i) + curve.KeyGetLeftAuto(i), 0.0f) << i;
        EXPECT_FALSE(curve.KeyIsRightTangeantWeighted(i)) << i;
        curve.KeySetRightDerivative(i, 5.0f);
        curve.KeySetRightTangeantWeight(i, 0.5f);
        curve.KeyIncRightDerivative(i, 1.0f);
        curve.KeyMultDerivative(i, 2.0f);
        curve.KeySetLeftDerivative(i == 2 ? 0 : i, 5.0f);
        curve.KeySetLeftTangeantVelocity(i == 2 ? 0 : i, 1.0f);
        curve.KeySetLeftAuto(i == 2 ? 0 : i, 1.0f);
    }
    curve.KeySetRightDerivative(1, 5.0f);  // the last key has no right tangent to set
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(Slot(0, KFCURVEKEY_RIGHT_DERIVATIVE) + Slot(1, KFCURVEKEY_RIGHT_DERIVATIVE), 2.0f);
}

struct ModeCase {
    const char* name;
    unsigned int previousMode;
    unsigned int mode;
    float previousData1;
    float data0;
    float expectedLeft;   // of the middle key
    float expectedRight;  // of the middle key
};

class KFCurveDerivativeRules : public KFCurveTangentTest, public ::testing::WithParamInterface<ModeCase> {};

// Keys (0 s, 0), (1 s, 2), (3 s, 0): slopes 2 before and -1 after the middle key.
TEST_P(KFCurveDerivativeRules, MiddleKeyDerivatives) {
    const ModeCase& c = GetParam();
    Build({{0, 0, kCubic, c.previousMode, 0, c.previousData1}, {1, 2, kCubic, c.mode, c.data0, 0},
           {3, 0, kCubic, kUser, 0, 0}});
    EXPECT_TRUE(AllNear({c.expectedLeft, c.expectedRight}, Derivatives(curve, 1), 1e-5));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, KFCurveDerivativeRules,
    ::testing::Values(
        // User: left on the previous key, right on the key itself.
        ModeCase{"user", kUser, kUser, 0.75f, -1.25f, 0.75f, -1.25f},
        ModeCase{"user_break", kUser, kUserBreak, 0.75f, -1.25f, 0.75f, -1.25f},
        // Auto 0 on both sides: the mean of the slopes; auto 100: the one-sided slopes.
        ModeCase{"auto", kUser, kAuto, 0.0f, 0.0f, 0.5f, 0.5f},
        ModeCase{"auto_break", kUser, KFCURVE_TANGEANT_AUTO_BREAK, 100.0f, 100.0f, 2.0f, -1.0f},
        // A TCB predecessor makes an unbroken user key use its own right slot; a broken one computes
        // the incoming side from the predecessor's parameters (all 0 here): the mean of the slopes.
        ModeCase{"user_after_TCB", KFCURVE_TANGEANT_TCB, kUser, 9.0f, -1.25f, -1.25f, -1.25f},
        ModeCase{"user_break_after_TCB", KFCURVE_TANGEANT_TCB, kUserBreak, 0.0f, -1.25f, 0.5f, -1.25f},
        ModeCase{"unknown_mode", kUser, 0x300, 0.75f, -1.25f, 0.0f, 0.0f}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST_F(KFCurveTangentTest, TcbTangentsWeighTheSlopesAroundTheKey) {
    // {tension, continuity, bias, left, right} of the middle key, between slopes 2 and -1: outgoing
    // 0.5 ((1 - t)(1 + c)(1 + b) 2 + (1 - t)(1 - c)(1 - b)(-1)), incoming with c negated.
    const float cases[][5] = {{0, 0, 0, 0.5f, 0.5f}, {1, 0, 0, 0, 0}, {0, 0.5f, 0.25f, 0.0625f, 1.6875f}};
    for (const auto& c : cases) {
        BuildTcb(c[0], c[1], c[2]);
        EXPECT_TRUE(AllNear({c[3], c[4]}, Derivatives(curve, 1), 1e-6)) << c[0] << " " << c[1] << " " << c[2];
    }
    BuildTcb(0, 0, 0);  // the ends take their only slope
    EXPECT_TRUE(AllNear({2, 2, -1, -1}, {curve.KeyGetRightDerivative(0), curve.KeyGetLeftDerivative(0),
                                         curve.KeyGetLeftDerivative(2), curve.KeyGetRightDerivative(2)}, 1e-6));
    // With the shared-tangent mode the last key takes the same formula instead of recursing.
    KFCURVE_SetTCB4051EvalMode(true);
    const std::vector<float> middle = Derivatives(curve, 1);
    const std::vector<float> last = Derivatives(curve, 2);
    KFCURVE_SetTCB4051EvalMode(false);
    EXPECT_EQ(middle[0], middle[1]);
    EXPECT_TRUE(AllNear({-1, -1}, last, 1e-6));
    // After a TCB key, a linear key has its own slope and the key after it the segment slope.
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_TCB, 0, 0}, {1, 2, kLinear, 0, 0, 0}, {2, 6, kConstant, 0, 0, 0}});
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), 4.0f);
    EXPECT_EQ(Derivatives(curve, 2), (std::vector<float>{4, 4}));
}

TEST_F(KFCurveTangentTest, KeysAppendedAtOneInstantHaveNoInfiniteSlope) {
    // Appending does not check the order; a zero-length segment must not divide by zero.
    curve.KeyAppendFast(Sec(1), 0.0f);
    curve.KeyAppendFast(Sec(1), 5.0f);
    curve.KeyAppendFast(Sec(2), 1.0f);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::isfinite(curve.KeyGetLeftDerivative(i) + curve.KeyGetRightDerivative(i) +
                                  curve.KeyGetLeftAuto(i)))
            << i;
    curve.KeySetRightBezierTangeant(0, 3.0f);
    EXPECT_TRUE(std::isfinite(Slot(0, KFCURVEKEY_RIGHT_DERIVATIVE)));
}

// ---- Setting derivatives -----------------------------------------------

TEST_F(KFCurveTangentTest, SettingOneSideOfAnUnbrokenUserKeySetsBoth) {
    Build({{0, 0, kCubic, kUser, 0, 0}, {1, 1, kCubic, kUser, 0, 0}, {2, 0, kCubic, kUserBreak, 0, 0},
           {3, 1, kCubic, kUser, 0, 0}});
    curve.KeySetLeftDerivative(1, 3.0f);
    EXPECT_EQ(Derivatives(curve, 1), (std::vector<float>{3, 3}));
    curve.KeySetLeftDerivative(2, -2.0f);
    EXPECT_EQ(Derivatives(curve, 2), (std::vector<float>{-2, 0})) << "a broken key keeps its other side";
    curve.KeySetRightDerivative(2, 5.0f);
    EXPECT_EQ(Derivatives(curve, 2), (std::vector<float>{-2, 5}));
}

TEST_F(KFCurveTangentTest, AutoKeysStoreTheParameterAndGiveTheDerivativeBack) {
    BuildThree(kAuto);
    curve.KeyGetPtr(1)->SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
    curve.KeySetRightDerivative(1, -0.25f);
    curve.KeySetLeftDerivative(1, 1.5f);
    EXPECT_TRUE(AllNear({1.5f, -0.25f}, Derivatives(curve, 1), 1e-5));
    // The slots hold auto parameters: -0.25 = DMid(a, -1, 2) gives a = 50.
    EXPECT_NEAR(Slot(1, KFCURVEKEY_RIGHT_DERIVATIVE), 50.0f, 1e-3);
    curve.KeySetLeftAuto(1, 100.0f);
    EXPECT_NEAR(curve.KeyGetLeftDerivative(1), 2.0f, 1e-5);
    // An unbroken user key converts an auto parameter on both sides: auto 100 gives the one-sided slopes.
    BuildThree();
    curve.KeySetLeftAuto(1, 100.0f);
    EXPECT_TRUE(AllNear({2, -1}, Derivatives(curve, 1), 1e-5));
    EXPECT_NEAR(curve.KeyGetRightAuto(1), 100.0f, 1e-3);
}

TEST_F(KFCurveTangentTest, IncrementsAndFactorsApplyToUserAndBrokenTangentsOnly) {
    Build({{0, 0, kCubic, kUser, 1, 1}, {1, 2, kCubic, kAuto, 30, 0}, {3, 0, kCubic, kUser, 0, 0}});
    curve.KeyIncRightDerivative(0, 0.5f);
    curve.KeyIncLeftDerivative(1, -0.5f);
    curve.KeyIncRightDerivative(1, 3.0f);  // auto: reported, not changed
    EXPECT_EQ(Slot(0, KFCURVEKEY_RIGHT_DERIVATIVE), 1.5f);
    EXPECT_EQ(Slot(0, KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 0.5f);
    EXPECT_EQ(Slot(1, KFCURVEKEY_RIGHT_DERIVATIVE), 30.0f);
    EXPECT_EQ(log.events.size(), 3u);
    const std::vector<float> unbroken = Derivatives(curve, 1);
    curve.KeyMultDerivative(1, 2.0f);  // an unbroken auto key is skipped
    EXPECT_EQ(Derivatives(curve, 1), unbroken);
    curve.KeyGetPtr(1)->SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
    const std::vector<float> broken = Derivatives(curve, 1);
    curve.KeyMultDerivative(1, 2.0f);
    EXPECT_TRUE(AllNear({2 * broken[0], 2 * broken[1]}, Derivatives(curve, 1), 1e-4));
}

// ---- Weights, velocities and Bezier handles -----------------------------

TEST_F(KFCurveTangentTest, UnweightedSidesReadOneThirdAndVelocitiesSaturate) {
    BuildThree();
    curve.KeyGetPtr(0)->SetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT, 0.8f);
    EXPECT_EQ(curve.KeyGetLeftTangeantWeight(1), KFCURVE_DEFAULT_WEIGHT) << "the slot is not read unweighted";
    curve.KeySetLeftTangeantWeight(1, 2.0f);
    curve.KeySetRightTangeantWeight(1, 0.5f);
    EXPECT_TRUE(AllNear({0.99f, 0.5f}, {curve.KeyGetLeftTangeantWeight(1), curve.KeyGetRightTangeantWeight(1)}, 1e-4));
    curve.KeySetLeftTangeantWeightedMode(1, false);
    EXPECT_EQ(curve.KeyGetLeftTangeantWeight(1), KFCURVE_DEFAULT_WEIGHT);
    EXPECT_FALSE(curve.KeyIsRightTangeantWeighted(2)) << "the last key has no right segment";
    EXPECT_FALSE(curve.KeyIsLeftTangeantWeighted(0));
    curve.KeySetRightTangeantVelocity(0, 10.0f);
    curve.KeySetLeftTangeantVelocity(1, -10.0f);
    EXPECT_NEAR(curve.KeyGetRightTangeantVelocity(0), 32767.0 / 9999.0, 1e-6);
    EXPECT_NEAR(curve.KeyGetLeftTangeantVelocity(1), -32768.0 / 9999.0, 1e-6);
    curve.KeySetLeftTangeantVelocityMode(1, false);
    EXPECT_EQ(curve.KeyGetLeftTangeantVelocity(1), 0.0f);
}

TEST_F(KFCurveTangentTest, NonCubicKeysTakeNoWeightAndTcbKeysKeepTheirBias) {
    Build({{0, 0, kLinear, 0, 0, 0}, {1, 2, kCubic, kUser, 0, 0}});
    curve.KeySetRightTangeantWeight(0, 0.5f);  // reported, not stored
    curve.KeySetRightTangeantWeightedMode(0, true);  // not even reported
    EXPECT_EQ(curve.KeyGetPtr(0)->GetTangeantWeightMode(), 0u);
    EXPECT_EQ(log.events.size(), 1u);
    BuildTcb(0.1f, 0.2f, 0.3f);
    curve.KeySetRightTangeantWeight(1, 0.5f);
    curve.KeySetLeftTangeantWeight(2, 0.5f);
    curve.KeySetRightTangeantWeightedMode(1, true);
    EXPECT_EQ(curve.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.3f);
    EXPECT_EQ(curve.KeyGetPtr(1)->GetTangeantWeightMode(), 0u);
    EXPECT_EQ(curve.KeyGetLeftTangeantWeight(2), KFCURVE_DEFAULT_WEIGHT);
}

TEST_F(KFCurveTangentTest, BezierHandlesSitAThirdOfTheSegmentAway) {
    Build({{0, 1, kCubic, kUserBreak, 3, 0}, {1, 2, kCubic, kUserBreak, 0, 0}, {4, 0, kConstant, 0, 0, 0},
           {5, 3, kLinear, 0, 0, 0}});
    EXPECT_FLOAT_EQ(curve.KeyGetRightBezierTangeant(0), 2.0f);
    curve.KeySetLeftDerivative(1, 6.0f);
    EXPECT_FLOAT_EQ(curve.KeyGetLeftBezierTangeant(1), 0.0f);
    curve.KeySetRightBezierTangeant(1, 4.0f);  // 3 x (4 - 2) / 3 s
    curve.KeySetLeftBezierTangeant(1, 1.5f);   // 3 x (2 - 1.5) / 1 s
    EXPECT_TRUE(AllNear({1.5f, 2.0f}, Derivatives(curve, 1), 1e-6));
    // A constant key holds its value; after it and at the ends the handles sit on the key.
    EXPECT_EQ(curve.KeyGetRightBezierTangeant(2), 0.0f);
    EXPECT_EQ(curve.KeyGetLeftBezierTangeant(3) + curve.KeyGetRightBezierTangeant(3), 6.0f);
    EXPECT_EQ(curve.KeyGetLeftBezierTangeant(0), 1.0f);
    KFCurve empty;
    EXPECT_EQ(empty.KeyGetRightBezierTangeant(0) + empty.KeyGetLeftBezierTangeant(0), 0.0f);
}

// ---- Removal -----------------------------------------------------------

TEST_F(KFCurveTangentTest, RemovalKeepsTheFollowingKeysIncomingTangent) {
    Build({{0, 0, kCubic, kUserBreak, 0, 0}, {1, 5, kCubic, kUserBreak, 0, -1.75f}, {2, 1, kCubic, kUserBreak, 0, 0},
           {3, 2, kCubic, kUserBreak, 0, 0}});
    curve.KeySetLeftTangeantWeight(2, 0.2f);
    curve.KeySetLeftTangeantVelocity(2, 1.5f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, 1, 2}));
    const KFCurveTangeantInfo after = curve.KeyGetLeftDerivativeInfo(1);
    EXPECT_EQ(after.mDerivative, -1.75f);
    EXPECT_TRUE(after.mWeighted && after.mHasVelocity);
    EXPECT_TRUE(AllNear({0.2f, 1.5f}, {after.mWeight, after.mVelocity}, 1e-3));
    // The only key's value stays as the default value.
    while (curve.KeyGetCount() > 0) ASSERT_EQ(curve.KeyRemove(0), 0);
    EXPECT_EQ(curve.GetValue(), 2.0f);
}

TEST_F(KFCurveTangentTest, RemovalAcrossBlocksKeepsIncomingTangents) {
    std::vector<KeyDef> defs;
    for (int i = 0; i < 70; ++i)
        defs.push_back({double(i), float((i * 7) % 5), kCubic, i % 3 == 0 ? kAuto : kUser, 0.5f, -0.25f * i});
    Build(defs);
    // An auto key keeps its auto parameter (its slopes change with its neighbours).
    const float autoBefore = curve.KeyGetLeftAuto(33);
    ASSERT_EQ(curve.KeyRemove(32), 0);
    EXPECT_EQ(curve.KeyGetLeftAuto(32), autoBefore);
    EXPECT_EQ(curve.KeyGet(68).GetTime(), Sec(69));
    // A user key keeps its derivative: old key 35 now follows old key 33.
    ASSERT_EQ(curve.KeyRemove(33), 0);
    EXPECT_EQ(curve.KeyGetLeftDerivative(33), -0.25f * 34);
}

TEST_F(KFCurveTangentTest, RemovingTheKeyBeforeTheLastUsesItsRealNeighbours) {
    Build({{0, 1, kCubic, kUser, 0, 0}, {1, 4, kCubic, kUser, 0, 0}, {2, 2, kCubic, kUser, 0, 0}});
    KFCurveKey* last = curve.KeyGetPtr(2);
    last->SetTCB(last->GetTime(), last->GetValue(), 0, 0, 0);
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), -2.0f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    // The tangent goes back onto key 0 converted with the slopes of the two-key
    // curve (0.5 on both sides), not with the slot past the new last key.
    double expected, d = -2.0, toLeft = 0.5, toRight = 0.5;
    KFCURVE_ComputeLeftAutoFromBezier(expected, d, toLeft, toRight);
    EXPECT_FLOAT_EQ(Slot(0, KFCURVEKEY_NEXT_LEFT_DERIVATIVE), static_cast<float>(expected));
}

TEST_F(KFCurveTangentTest, RemovalAfterATcbKeyKeepsItsBias) {
    BuildTcb(0.1f, 0.2f, 0.3f);
    curve.KeyGetPtr(2)->SetTangeantMode(kUser);
    curve.KeySetLeftDerivative(2, 1.0f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.3f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_TCB_TENSION), 0.1f);
}

// ---- Curve-wide changes ------------------------------------------------

TEST_F(KFCurveTangentTest, SwitchingInterpolationOrModeKeepsTheSegmentTangents) {
    Build({{0, 0, kCubic, kUser, 0.5f, 1.5f}, {1, 2, kCubic, kUser, 1.5f, -0.5f}, {3, 0, kCubic, kUser, 0, 0}});
    curve.KeyGetPtr(1)->SetSelected(true);
    curve.KeyTangeantSetMode(true, KFCURVE_TANGEANT_AUTO_BREAK);
    EXPECT_EQ(curve.KeyGet(0).GetTangeantMode(), kUser) << "not selected";
    EXPECT_EQ(curve.KeyGet(1).GetTangeantMode(), KFCURVE_TANGEANT_AUTO_BREAK);
    EXPECT_TRUE(AllNear({1.5f, -0.5f}, {curve.KeyGetRightDerivative(1), curve.KeyGetLeftDerivative(2)}, 1e-4));
    curve.KeyGetPtr(1)->SetTangeantVisibility(KFCURVE_TANGEANT_VISIBILITY_ALL);
    curve.KeyTangeantSetInterpolation(false, kLinear);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(curve.KeyGet(i).GetInterpolation(), kLinear);
    EXPECT_EQ(curve.KeyGet(1).GetTangeantVisibility(), 0u);
    EXPECT_FLOAT_EQ(curve.KeyGetRightDerivative(0), 2.0f);
    log.events.clear();
    curve.KeyTangeantSetInterpolation(false, kLinear);
    EXPECT_TRUE(log.events.empty()) << "only real changes are reported";
}

TEST_F(KFCurveTangentTest, HidingTangentsIsASelectionChange) {
    BuildThree();
    curve.KeyGetPtr(0)->SetTangeantVisibility(KFCURVE_TANGEANT_VISIBILITY_ALL);
    const int values = curve.GetValuesUpdateId();
    curve.KeyTangeantHide();
    EXPECT_EQ(curve.KeyGet(0).GetTangeantVisibility(), 0u);
    EXPECT_EQ(curve.GetValuesUpdateId(), values);
    EXPECT_EQ(log.events.size(), 1u);
}
