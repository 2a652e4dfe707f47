#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurveautotangent.h"
#include "fcurve/kfcurvesettings.h"

using namespace zeqsdk_400;

namespace {

KTime Sec(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

struct KeyDef {
    double time;
    float value;
    unsigned int interpolation;
    unsigned int mode;
    float data0;
    float data1;
};

constexpr unsigned int kCubic = KFCURVE_INTERPOLATION_CUBIC;
constexpr unsigned int kLinear = KFCURVE_INTERPOLATION_LINEAR;
constexpr unsigned int kConstant = KFCURVE_INTERPOLATION_CONSTANT;

struct EventCounter {
    int calls = 0;
    static void Count(KFCurve*, KFCurveEvent*, void* data) { ++static_cast<EventCounter*>(data)->calls; }
};

class KFCurveTangentTest : public ::testing::Test {
protected:
    void SetUp() override { curve.CallbackRegister(&EventCounter::Count, &events); }

    void Build(const std::vector<KeyDef>& defs) {
        curve.KeyClear();
        for (const KeyDef& d : defs) {
            KFCurveKey key{};
            key.Set(KTime(0), d.value, d.interpolation, d.mode, d.data0, d.data1, KFCURVE_WEIGHTED_NONE,
                    KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            curve.KeyAdd(Sec(d.time), key);
        }
        events.calls = 0;
    }

    void BuildTcb(float tension, float continuity, float bias) {
        Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
               {1, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
               {3, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
        for (int i = 0; i < 3; ++i) {
            KFCurveKey* key = curve.KeyGetPtr(i);
            key->SetTCB(key->GetTime(), key->GetValue(), tension, continuity, bias);
        }
    }

    EventCounter events;  // outlives the curve, which reports its destruction
    KFCurve curve;
};

}  // namespace

// ---- Derivatives by tangent mode ----------------------------------------

TEST_F(KFCurveTangentTest, LinearKeyHasTheSegmentSlope) {
    Build({{0, 1, kLinear, 0, 0, 0}, {2, 5, kCubic, KFCURVE_TANGEANT_USER, 0, 0}, {3, 0, kCubic, 0, 0, 0}});
    EXPECT_FLOAT_EQ(curve.KeyGetRightDerivative(0), 2.0f);
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), 2.0f);
    EXPECT_EQ(curve.KeyGetLeftAuto(1), 100.0f);
}

TEST_F(KFCurveTangentTest, EndsOfATwoKeyCurveMirrorTheirOnlyTangent) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 1.5f, -0.5f}, {1, 1, kCubic, KFCURVE_TANGEANT_USER, 7, 7}});
    EXPECT_EQ(curve.KeyGetLeftDerivative(0), curve.KeyGetRightDerivative(0));
    EXPECT_EQ(curve.KeyGetRightDerivative(0), 1.5f);
    EXPECT_EQ(curve.KeyGetRightDerivative(1), curve.KeyGetLeftDerivative(1));
    EXPECT_EQ(curve.KeyGetLeftDerivative(1), -0.5f);
}

TEST_F(KFCurveTangentTest, EveryDerivativeOfAOneKeyCurveIsZero) {
    Build({{1, 4, kCubic, KFCURVE_TANGEANT_AUTO, 25, 25}});
    EXPECT_EQ(curve.KeyGetLeftDerivative(0), 0.0f);
    EXPECT_EQ(curve.KeyGetRightDerivative(0), 0.0f);
    EXPECT_EQ(curve.KeyGetRightAuto(0), 25.0f);
    EXPECT_EQ(curve.KeyGetLeftBezierTangeant(0), 4.0f);
    EXPECT_EQ(curve.KeyGetRightBezierTangeant(0), 4.0f);
    const KFCurveTangeantInfo info = curve.KeyGetRightDerivativeInfo(0);
    EXPECT_EQ(info.mDerivative, 0.0f);
    EXPECT_FALSE(info.mWeighted);
    curve.KeyGetPtr(0)->SetTangeantMode(KFCURVE_TANGEANT_USER);
    EXPECT_EQ(curve.KeyGetRightAuto(0), 0.0f);
    EXPECT_EQ(curve.KeyGetLeftAuto(0), 0.0f);
}

TEST_F(KFCurveTangentTest, OutOfRangeIndicesAnswerZeroAndChangeNothing) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 1, 1}, {1, 1, kCubic, KFCURVE_TANGEANT_USER, 1, 1}});
    for (int i : {-5, -1, 2, 3, 100}) {
        EXPECT_EQ(curve.KeyGetRightDerivative(i), 0.0f) << i;
        EXPECT_EQ(curve.KeyGetLeftAuto(i), 0.0f) << i;
        EXPECT_FALSE(curve.KeyIsRightTangeantWeighted(i)) << i;
        curve.KeySetRightDerivative(i, 5.0f);
        curve.KeySetRightTangeantWeight(i, 0.5f);
        curve.KeyIncRightDerivative(i, 1.0f);
        curve.KeyMultDerivative(i, 2.0f);
    }
    for (int i : {-1, 0, 3, 100}) {
        curve.KeySetLeftDerivative(i, 5.0f);
        curve.KeySetLeftTangeantVelocity(i, 1.0f);
        curve.KeySetLeftAuto(i, 1.0f);
    }
    EXPECT_EQ(events.calls, 0);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE), 1.0f);
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
    Build({{0, 0, kCubic, c.previousMode, 0, c.previousData1},
           {1, 2, kCubic, c.mode, c.data0, 0},
           {3, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    EXPECT_NEAR(curve.KeyGetLeftDerivative(1), c.expectedLeft, 1e-5) << c.name;
    EXPECT_NEAR(curve.KeyGetRightDerivative(1), c.expectedRight, 1e-5) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, KFCurveDerivativeRules,
    ::testing::Values(
        // User: left on the previous key, right on the key itself.
        ModeCase{"user", KFCURVE_TANGEANT_USER, KFCURVE_TANGEANT_USER, 0.75f, -1.25f, 0.75f, -1.25f},
        ModeCase{"user break", KFCURVE_TANGEANT_USER, KFCURVE_TANGEANT_USER_BREAK, 0.75f, -1.25f, 0.75f, -1.25f},
        // Auto 0 on both sides: the mean of the slopes.
        ModeCase{"auto", KFCURVE_TANGEANT_USER, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f, 0.5f, 0.5f},
        // Auto 100: the one-sided slopes.
        ModeCase{"auto break", KFCURVE_TANGEANT_USER, KFCURVE_TANGEANT_AUTO_BREAK, 100.0f, 100.0f, 2.0f, -1.0f},
        // A TCB predecessor makes an unbroken user key use its own right slot.
        ModeCase{"user after TCB", KFCURVE_TANGEANT_TCB, KFCURVE_TANGEANT_USER, 9.0f, -1.25f, -1.25f, -1.25f},
        // A broken one computes the incoming side from the predecessor's
        // parameters (all 0 here): the mean of the slopes.
        ModeCase{"user break after TCB", KFCURVE_TANGEANT_TCB, KFCURVE_TANGEANT_USER_BREAK, 0.0f, -1.25f, 0.5f,
                 -1.25f},
        ModeCase{"unknown mode", KFCURVE_TANGEANT_USER, 0x300, 0.75f, -1.25f, 0.0f, 0.0f}),
    [](const ::testing::TestParamInfo<ModeCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

TEST_F(KFCurveTangentTest, TcbWithZeroParametersTakesTheMeanSlope) {
    BuildTcb(0, 0, 0);  // slopes 2 and -1 around key 1
    EXPECT_FLOAT_EQ(curve.KeyGetRightDerivative(1), 0.5f);
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), 0.5f);
    EXPECT_FLOAT_EQ(curve.KeyGetRightDerivative(0), 2.0f) << "first key: its only slope";
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(2), -1.0f) << "last key: its only slope";
}

TEST_F(KFCurveTangentTest, TcbWithFullTensionIsFlat) {
    BuildTcb(1, 0, 0);
    EXPECT_EQ(curve.KeyGetRightDerivative(1), 0.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(1), 0.0f);
}

TEST_F(KFCurveTangentTest, TcbContinuityAndBiasWeighTheSlopes) {
    BuildTcb(0, 0.5f, 0.25f);
    // Outgoing: 0.5 ((1.5)(1.25) 2 + (0.5)(0.75)(-1)); incoming: 0.5 ((1.5)(0.75)(-1) + (0.5)(1.25) 2).
    EXPECT_FLOAT_EQ(curve.KeyGetRightDerivative(1), 0.5f * (3.75f - 0.375f));
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), 0.5f * (-1.125f + 1.25f));
}

TEST_F(KFCurveTangentTest, SharedTcbTangentModeDoesNotRecurseOnTheLastKey) {
    BuildTcb(0, 0, 0);
    KFCURVE_SetTCB4051EvalMode(true);
    const float middleLeft = curve.KeyGetLeftDerivative(1);
    const float middleRight = curve.KeyGetRightDerivative(1);
    const float lastLeft = curve.KeyGetLeftDerivative(2);
    const float lastRight = curve.KeyGetRightDerivative(2);
    KFCURVE_SetTCB4051EvalMode(false);
    EXPECT_EQ(middleLeft, middleRight);
    EXPECT_FLOAT_EQ(lastLeft, -1.0f);
    EXPECT_EQ(lastRight, lastLeft);
}

TEST_F(KFCurveTangentTest, TcbPredecessorOfALinearKey) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_TCB, 0, 0}, {1, 2, kLinear, 0, 0, 0}, {2, 6, kConstant, 0, 0, 0}});
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), 4.0f) << "the linear key's own slope";
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), 4.0f) << "after a linear key: the segment slope";
    EXPECT_EQ(curve.KeyGetRightDerivative(2), 4.0f);
}

TEST_F(KFCurveTangentTest, KeysAppendedAtOneInstantHaveNoInfiniteSlope) {
    // Appending does not check the order; a zero-length segment must not divide by zero.
    curve.KeyAppendFast(Sec(1), 0.0f);
    curve.KeyAppendFast(Sec(1), 5.0f);
    curve.KeyAppendFast(Sec(2), 1.0f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::isfinite(curve.KeyGetLeftDerivative(i))) << i;
        EXPECT_TRUE(std::isfinite(curve.KeyGetRightDerivative(i))) << i;
        EXPECT_TRUE(std::isfinite(curve.KeyGetLeftAuto(i))) << i;
    }
    curve.KeySetRightBezierTangeant(0, 3.0f);
    EXPECT_TRUE(std::isfinite(curve.KeyGetPtr(0)->GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE)));
}

// ---- Setting derivatives -----------------------------------------------

TEST_F(KFCurveTangentTest, SettingTheLeftSideOfAnUnbrokenUserKeySetsBothSides) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {1, 1, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {2, 0, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0, 0},
           {3, 1, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeySetLeftDerivative(1, 3.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(1), 3.0f);
    EXPECT_EQ(curve.KeyGetRightDerivative(1), 3.0f);
    curve.KeySetLeftDerivative(2, -2.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), -2.0f);
    EXPECT_EQ(curve.KeyGetRightDerivative(2), 0.0f) << "a broken key keeps its other side";
    curve.KeySetRightDerivative(2, 5.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), -2.0f);
    EXPECT_EQ(curve.KeyGetRightDerivative(2), 5.0f);
}

TEST_F(KFCurveTangentTest, TheLastKeyHasNoRightTangentToSet) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}, {1, 1, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    const KFCurveKey before = curve.KeyGet(1);
    const int updates = curve.GetUpdateId();
    curve.KeySetRightDerivative(1, 5.0f);
    EXPECT_EQ(events.calls, 0);
    EXPECT_EQ(curve.GetUpdateId(), updates);
    EXPECT_EQ(curve.KeyGet(1).GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE),
              before.GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE));
}

TEST_F(KFCurveTangentTest, AutoKeysStoreTheParameterAndGiveTheDerivativeBack) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_AUTO, 0, 0},
           {1, 2, kCubic, KFCURVE_TANGEANT_AUTO_BREAK, 0, 0},
           {3, 0, kCubic, KFCURVE_TANGEANT_AUTO, 0, 0}});
    curve.KeySetRightDerivative(1, -0.25f);
    curve.KeySetLeftDerivative(1, 1.5f);
    EXPECT_NEAR(curve.KeyGetRightDerivative(1), -0.25f, 1e-5);
    EXPECT_NEAR(curve.KeyGetLeftDerivative(1), 1.5f, 1e-5);
    // The slots hold auto parameters: -0.25 = DMid(a, -1, 2) gives a = 50.
    EXPECT_NEAR(curve.KeyGetRightAuto(1), 50.0f, 1e-3);
    EXPECT_NEAR(curve.KeyGetPtr(1)->GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE), 50.0f, 1e-3);
    curve.KeySetLeftAuto(1, 100.0f);
    EXPECT_NEAR(curve.KeyGetLeftDerivative(1), 2.0f, 1e-5);
    EXPECT_EQ(curve.KeyGetLeftAuto(1), 100.0f);
}

TEST_F(KFCurveTangentTest, AutoParameterOfAUserKeyIsConverted) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {1, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {3, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeySetLeftAuto(1, 100.0f);  // unbroken user: both sides
    EXPECT_NEAR(curve.KeyGetLeftDerivative(1), 2.0f, 1e-5);
    EXPECT_NEAR(curve.KeyGetRightDerivative(1), -1.0f, 1e-5) << "the right side of auto 100 is the right slope";
    EXPECT_NEAR(curve.KeyGetRightAuto(1), 100.0f, 1e-3);
}

TEST_F(KFCurveTangentTest, IncrementsApplyToUserTangentsOnly) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 1, 1},
           {1, 2, kCubic, KFCURVE_TANGEANT_AUTO, 0, 0},
           {3, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeyIncRightDerivative(0, 0.5f);
    curve.KeyIncLeftDerivative(1, -0.5f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE), 1.5f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 0.5f);
    curve.KeyIncRightDerivative(1, 3.0f);  // auto: reported, not changed
    EXPECT_EQ(curve.KeyGetPtr(1)->GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE), 0.0f);
    EXPECT_EQ(events.calls, 3);
}

TEST_F(KFCurveTangentTest, MultDerivativeSkipsUnbrokenAutoKeys) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {1, 2, kCubic, KFCURVE_TANGEANT_AUTO, 30, 0},
           {3, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    const float left = curve.KeyGetLeftDerivative(1);
    const float right = curve.KeyGetRightDerivative(1);
    curve.KeyMultDerivative(1, 2.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(1), left);
    EXPECT_EQ(curve.KeyGetRightDerivative(1), right);

    curve.KeyGetPtr(1)->SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
    const float breakLeft = curve.KeyGetLeftDerivative(1);
    const float breakRight = curve.KeyGetRightDerivative(1);
    curve.KeyMultDerivative(1, 2.0f);
    EXPECT_NEAR(curve.KeyGetLeftDerivative(1), 2 * breakLeft, 1e-4);
    EXPECT_NEAR(curve.KeyGetRightDerivative(1), 2 * breakRight, 1e-4);
}

// ---- Weights and velocities --------------------------------------------

TEST_F(KFCurveTangentTest, UnweightedSidesReadOneThird) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}, {1, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {2, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeyGetPtr(0)->SetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT, 0.8f);
    EXPECT_EQ(curve.KeyGetLeftTangeantWeight(1), KFCURVE_DEFAULT_WEIGHT);
    curve.KeySetLeftTangeantWeight(1, 2.0f);
    EXPECT_TRUE(curve.KeyIsLeftTangeantWeighted(1));
    EXPECT_NEAR(curve.KeyGetLeftTangeantWeight(1), 0.99f, 1e-4);
    curve.KeySetLeftTangeantWeightedMode(1, false);
    EXPECT_EQ(curve.KeyGetLeftTangeantWeight(1), KFCURVE_DEFAULT_WEIGHT);

    curve.KeySetRightTangeantWeight(1, 0.5f);
    EXPECT_NEAR(curve.KeyGetRightTangeantWeight(1), 0.5f, 1e-4);
    EXPECT_FALSE(curve.KeyIsRightTangeantWeighted(2)) << "the last key has no right segment";
    EXPECT_FALSE(curve.KeyIsLeftTangeantWeighted(0));
}

TEST_F(KFCurveTangentTest, VelocitiesSaturateInsteadOfWrapping) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}, {1, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeySetRightTangeantVelocity(0, 10.0f);
    EXPECT_TRUE(curve.KeyIsRightTangeantVelocity(0));
    EXPECT_NEAR(curve.KeyGetRightTangeantVelocity(0), 32767.0 / 9999.0, 1e-6);
    curve.KeySetLeftTangeantVelocity(1, -10.0f);
    EXPECT_NEAR(curve.KeyGetLeftTangeantVelocity(1), -32768.0 / 9999.0, 1e-6);
    curve.KeySetLeftTangeantVelocityMode(1, false);
    EXPECT_EQ(curve.KeyGetLeftTangeantVelocity(1), 0.0f);
}

TEST_F(KFCurveTangentTest, NonCubicKeysTakeNoWeight) {
    Build({{0, 0, kLinear, 0, 0, 0}, {1, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeySetRightTangeantWeight(0, 0.5f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetTangeantWeightMode(), 0u);
    EXPECT_EQ(events.calls, 1) << "still reported";
    curve.KeySetRightTangeantWeightedMode(0, true);
    EXPECT_EQ(events.calls, 1) << "a non-cubic key is not touched";
}

TEST_F(KFCurveTangentTest, WeightsNeverOverwriteATcbBias) {
    BuildTcb(0.1f, 0.2f, 0.3f);
    curve.KeySetRightTangeantWeight(1, 0.5f);
    curve.KeySetLeftTangeantWeight(2, 0.5f);
    curve.KeySetRightTangeantWeightedMode(1, true);
    EXPECT_EQ(curve.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.3f);
    EXPECT_EQ(curve.KeyGetPtr(1)->GetTangeantWeightMode(), 0u);
    EXPECT_EQ(curve.KeyGetLeftTangeantWeight(2), KFCURVE_DEFAULT_WEIGHT);
}

// ---- Bezier handles ----------------------------------------------------

TEST_F(KFCurveTangentTest, BezierHandlesSitAThirdOfTheSegmentAway) {
    Build({{0, 1, kCubic, KFCURVE_TANGEANT_USER_BREAK, 3, 0},
           {1, 2, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0, 0},
           {4, 0, kConstant, 0, 0, 0},
           {5, 3, kLinear, 0, 0, 0}});
    EXPECT_FLOAT_EQ(curve.KeyGetRightBezierTangeant(0), 2.0f);
    curve.KeySetLeftDerivative(1, 6.0f);
    EXPECT_FLOAT_EQ(curve.KeyGetLeftBezierTangeant(1), 0.0f);
    curve.KeySetRightBezierTangeant(1, 4.0f);  // 3 x (4 - 2) / 3 s
    EXPECT_FLOAT_EQ(curve.KeyGetRightDerivative(1), 2.0f);
    curve.KeySetLeftBezierTangeant(1, 1.5f);  // 3 x (2 - 1.5) / 1 s
    EXPECT_FLOAT_EQ(curve.KeyGetLeftDerivative(1), 1.5f);
    EXPECT_EQ(curve.KeyGetRightBezierTangeant(2), 0.0f) << "a constant key holds its value";
    EXPECT_EQ(curve.KeyGetLeftBezierTangeant(3), 3.0f) << "after a constant key";
    EXPECT_EQ(curve.KeyGetRightBezierTangeant(3), 3.0f) << "the last key";
    EXPECT_EQ(curve.KeyGetLeftBezierTangeant(0), 1.0f);

    KFCurve empty;
    EXPECT_EQ(empty.KeyGetRightBezierTangeant(0), 0.0f);
    EXPECT_EQ(empty.KeyGetLeftBezierTangeant(0), 0.0f);
}

// ---- Removal -----------------------------------------------------------

TEST_F(KFCurveTangentTest, RemovalKeepsTheFollowingKeysIncomingTangent) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0, 0},
           {1, 5, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0, -1.75f},
           {2, 1, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0, 0},
           {3, 2, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0, 0}});
    curve.KeySetLeftTangeantWeight(2, 0.2f);
    curve.KeySetLeftTangeantVelocity(2, 1.5f);
    const KFCurveTangeantInfo before = curve.KeyGetLeftDerivativeInfo(2);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    ASSERT_EQ(curve.KeyGetCount(), 3);
    EXPECT_EQ(curve.KeyGet(1).GetValue(), 1.0f);
    const KFCurveTangeantInfo after = curve.KeyGetLeftDerivativeInfo(1);
    EXPECT_EQ(after.mDerivative, -1.75f);
    EXPECT_EQ(after.mDerivative, before.mDerivative);
    EXPECT_TRUE(after.mWeighted);
    EXPECT_NEAR(after.mWeight, 0.2f, 1e-4);
    EXPECT_TRUE(after.mHasVelocity);
    EXPECT_NEAR(after.mVelocity, 1.5f, 1e-3);
}

TEST_F(KFCurveTangentTest, RemovalAcrossBlocksKeepsIncomingTangents) {
    std::vector<KeyDef> defs;
    for (int i = 0; i < 70; ++i)
        defs.push_back({static_cast<double>(i), static_cast<float>((i * 7) % 5), kCubic,
                         (i % 3 == 0) ? KFCURVE_TANGEANT_AUTO : KFCURVE_TANGEANT_USER, 0.5f, -0.25f * i});
    Build(defs);
    // An auto key keeps its auto parameter (its slopes change with its neighbours).
    const float autoBefore = curve.KeyGetLeftAuto(33);
    ASSERT_EQ(curve.KeyRemove(32), 0);
    EXPECT_EQ(curve.KeyGetLeftAuto(32), autoBefore);
    EXPECT_EQ(curve.KeyGet(32).GetTime(), Sec(33));
    EXPECT_EQ(curve.KeyGet(68).GetTime(), Sec(69));
    // A user key keeps its derivative: old key 35 now follows old key 33.
    const float userBefore = curve.KeyGetLeftDerivative(34);
    ASSERT_EQ(curve.KeyRemove(33), 0);
    EXPECT_EQ(curve.KeyGetLeftDerivative(33), userBefore);
    EXPECT_EQ(userBefore, -0.25f * 34);
}

TEST_F(KFCurveTangentTest, RemovingTheKeyBeforeTheLastUsesItsRealNeighbours) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {1, 4, kCubic, KFCURVE_TANGEANT_USER, 0, 0},
           {2, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    KFCurveKey* last = curve.KeyGetPtr(2);
    last->SetTCB(last->GetTime(), last->GetValue(), 0, 0, 0);
    const float incoming = curve.KeyGetLeftDerivative(2);
    EXPECT_EQ(incoming, -2.0f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    // The tangent goes back onto key 0 converted with the slopes of the
    // two-key curve (1 on both sides), not with a stale copy of the last key.
    double expected;
    double d = incoming;
    double toLeft = 1.0;
    double toRight = 1.0;
    KFCURVE_ComputeLeftAutoFromBezier(expected, d, toLeft, toRight);
    EXPECT_FLOAT_EQ(curve.KeyGetPtr(0)->GetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), static_cast<float>(expected));
}

TEST_F(KFCurveTangentTest, RemovalAfterATcbKeyKeepsItsBias) {
    BuildTcb(0.1f, 0.2f, 0.3f);
    curve.KeyGetPtr(2)->SetTangeantMode(KFCURVE_TANGEANT_USER);
    curve.KeySetLeftDerivative(2, 1.0f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.3f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_TCB_TENSION), 0.1f);
}

TEST_F(KFCurveTangentTest, RemovingTheOnlyKeyLeavesItsValueAsDefault) {
    Build({{2, 7.5f, kCubic, KFCURVE_TANGEANT_AUTO, 0, 0}});
    EXPECT_EQ(curve.KeyRemove(1), 1);
    EXPECT_EQ(curve.KeyRemove(0), 0);
    EXPECT_EQ(curve.KeyGetCount(), 0);
    EXPECT_EQ(curve.GetValue(), 7.5f);
}

// ---- Curve-wide changes ------------------------------------------------

TEST_F(KFCurveTangentTest, SwitchingInterpolationReportsOnlyRealChanges) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 1, 1},
           {1, 2, kCubic, KFCURVE_TANGEANT_USER, 1, 1},
           {3, 0, kCubic, KFCURVE_TANGEANT_USER, 1, 1}});
    curve.KeyGetPtr(1)->SetTangeantVisibility(KFCURVE_TANGEANT_VISIBILITY_ALL);
    curve.KeyTangeantSetInterpolation(false, kLinear);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(curve.KeyGet(i).GetInterpolation(), kLinear);
    EXPECT_EQ(curve.KeyGet(1).GetTangeantVisibility(), 0u);
    EXPECT_GT(events.calls, 3);
    EXPECT_FLOAT_EQ(curve.KeyGetRightDerivative(0), 2.0f);
    events.calls = 0;
    curve.KeyTangeantSetInterpolation(false, kLinear);
    EXPECT_EQ(events.calls, 0);
}

TEST_F(KFCurveTangentTest, SwitchingModeKeepsTheSegmentTangents) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0.5f, 1.5f},
           {1, 2, kCubic, KFCURVE_TANGEANT_USER, 1.5f, -0.5f},
           {3, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeyGetPtr(1)->SetSelected(true);
    curve.KeyTangeantSetMode(true, KFCURVE_TANGEANT_AUTO_BREAK);
    EXPECT_EQ(curve.KeyGet(0).GetTangeantMode(), KFCURVE_TANGEANT_USER) << "not selected";
    EXPECT_EQ(curve.KeyGet(1).GetTangeantMode(), KFCURVE_TANGEANT_AUTO_BREAK);
    EXPECT_NEAR(curve.KeyGetRightDerivative(1), 1.5f, 1e-4);
    EXPECT_NEAR(curve.KeyGetLeftDerivative(2), -0.5f, 1e-4);
}

TEST_F(KFCurveTangentTest, HidingTangentsIsASelectionChange) {
    Build({{0, 0, kCubic, KFCURVE_TANGEANT_USER, 0, 0}, {1, 2, kCubic, KFCURVE_TANGEANT_USER, 0, 0}});
    curve.KeyGetPtr(0)->SetTangeantVisibility(KFCURVE_TANGEANT_VISIBILITY_ALL);
    const int values = curve.GetValuesUpdateId();
    curve.KeyTangeantHide();
    EXPECT_EQ(curve.KeyGet(0).GetTangeantVisibility(), 0u);
    EXPECT_EQ(curve.GetValuesUpdateId(), values);
    EXPECT_EQ(events.calls, 1);
}
