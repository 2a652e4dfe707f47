#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fcurve/kfcurveautotangent.h"
#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;
using namespace fcurvetest::core;

namespace {

struct KeyDef { double time; float value; unsigned int interpolation, mode; float data0, data1; };

constexpr unsigned int kUser = KFCURVE_TANGEANT_USER;
constexpr unsigned int kUserBreak = KFCURVE_TANGEANT_USER_BREAK;
constexpr unsigned int kAuto = KFCURVE_TANGEANT_AUTO;
using Floats = std::vector<float>;

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

TEST_F(KFCurveTangentTest, OneKeyCurvesAndZeroLengthSegmentsHaveFlatFiniteSlopes) {
    Build({{1, 4, kCubic, kAuto, 25, 25}});
    EXPECT_EQ(Derivatives(curve, 0), (Floats{0, 0}));
    curve.KeyGetPtr(0)->SetTangeantMode(kUser);  // its slots hold 25 and must not be read
    EXPECT_EQ(Derivatives(curve, 0), (Floats{0, 0}));
    EXPECT_EQ(curve.KeyGetRightAuto(0) + curve.KeyGetLeftAuto(0), 0.0f);
    // Appending does not check the order; a zero-length segment must not divide by zero.
    curve.KeyAppendFast(Sec(1), 5.0f);
    curve.KeyAppendFast(Sec(2), 1.0f);
    curve.KeyGetPtr(0)->SetInterpolation(kLinear);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::isfinite(curve.KeyGetLeftDerivative(i) + curve.KeyGetRightDerivative(i) +
                                  curve.KeyGetLeftAuto(i)))
            << i;
}

TEST_F(KFCurveTangentTest, MiddleKeyDerivativesByMode) {
    const struct {
        unsigned int previousMode, mode;
        float previousData1, data0;
        Floats expected;  // left and right of the middle key
    } cases[] = {
        // User: left on the previous key, right on the key itself.
        {kUser, kUser, 0.75f, -1.25f, {0.75f, -1.25f}},
        {kUser, kUserBreak, 0.75f, -1.25f, {0.75f, -1.25f}},
        // Auto 0 on both sides: the mean of the slopes; auto 100: the one-sided slopes.
        {kUser, kAuto, 0.0f, 0.0f, {0.5f, 0.5f}},
        {kUser, KFCURVE_TANGEANT_AUTO_BREAK, 100.0f, 100.0f, {2.0f, -1.0f}},
        // A TCB predecessor makes an unbroken user key use its own right slot; a broken one computes
        // the incoming side from the predecessor's parameters (all 0 here): the mean of the slopes.
        {KFCURVE_TANGEANT_TCB, kUser, 9.0f, -1.25f, {-1.25f, -1.25f}},
        {KFCURVE_TANGEANT_TCB, kUserBreak, 0.0f, -1.25f, {0.5f, -1.25f}},
    };
    for (const auto& c : cases) {
        Build({{0, 0, kCubic, c.previousMode, 0, c.previousData1}, {1, 2, kCubic, c.mode, c.data0, 0},
               {3, 0, kCubic, kUser, 0, 0}});
        EXPECT_TRUE(AllNear(c.expected, Derivatives(curve, 1), 1e-5)) << std::hex << c.previousMode << " " << c.mode;
    }
}

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
    const Floats middle = Derivatives(curve, 1);
    const Floats last = Derivatives(curve, 2);
    KFCURVE_SetTCB4051EvalMode(false);
    EXPECT_EQ(middle[0], middle[1]);
    EXPECT_TRUE(AllNear({-1, -1}, last, 1e-6));
}

TEST_F(KFCurveTangentTest, NonCubicKeysTakeNoWeightAndTcbKeysKeepTheirBias) {
    Build({{0, 0, kLinear, 0, 0, 0}, {1, 2, kCubic, kUser, 0, 0}});
    curve.KeySetRightTangeantWeight(0, 0.5f);
    curve.KeySetRightTangeantWeightedMode(0, true);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetTangeantWeightMode(), 0u);
    BuildTcb(0.1f, 0.2f, 0.3f);
    curve.KeySetRightTangeantWeight(1, 0.5f);
    curve.KeySetLeftTangeantWeight(2, 0.5f);
    curve.KeySetRightTangeantWeightedMode(1, true);
    EXPECT_EQ(curve.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.3f);
    EXPECT_EQ(curve.KeyGetPtr(1)->GetTangeantWeightMode(), 0u);
    EXPECT_EQ(curve.KeyGetLeftTangeantWeight(2), KFCURVE_DEFAULT_WEIGHT);
    // Removal restores the next key's incoming tangent onto the TCB key before it.
    curve.KeyGetPtr(2)->SetTangeantMode(kUser);
    curve.KeySetLeftDerivative(2, 1.0f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.3f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_TCB_TENSION), 0.1f);
}

TEST_F(KFCurveTangentTest, RemovalKeepsTheFollowingKeysIncomingTangent) {
    Build({{0, 0, kCubic, kUserBreak, 0, 0}, {1, 5, kCubic, kUserBreak, 0, -1.75f}, {2, 1, kCubic, kUserBreak, 0, 0},
           {3, 2, kCubic, kUserBreak, 0, 0}});
    curve.KeySetLeftTangeantWeight(2, 0.2f);
    curve.KeySetLeftTangeantVelocity(2, 1.5f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    const KFCurveTangeantInfo after = curve.KeyGetLeftDerivativeInfo(1);
    EXPECT_EQ(after.mDerivative, -1.75f);
    EXPECT_TRUE(after.mWeighted && after.mHasVelocity);
    EXPECT_TRUE(AllNear({0.2f, 1.5f}, {after.mWeight, after.mVelocity}, 1e-3));
    // The only key's value stays as the default value.
    while (curve.KeyGetCount() > 0) ASSERT_EQ(curve.KeyRemove(0), 0);
    EXPECT_EQ(curve.GetValue(), 2.0f);
}

TEST_F(KFCurveTangentTest, RemovingTheKeyBeforeTheLastUsesItsRealNeighbours) {
    Build({{0, 1, kCubic, kUser, 0, 0}, {1, 4, kCubic, kUser, 0, 0}});
    Add(curve, 2, TcbKey(2, 0, 0, 0));
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), -2.0f);
    ASSERT_EQ(curve.KeyRemove(1), 0);
    // The tangent goes back onto key 0 converted with the slopes of the two-key
    // curve (0.5 on both sides), not with the slot past the new last key.
    double expected, d = -2.0, toLeft = 0.5, toRight = 0.5;
    KFCURVE_ComputeLeftAutoFromBezier(expected, d, toLeft, toRight);
    EXPECT_FLOAT_EQ(Slot(0, KFCURVEKEY_NEXT_LEFT_DERIVATIVE), static_cast<float>(expected));
}

// Curve-wide kind changes keep every segment's shape, except where the new kind
// cannot hold it: each row names those segments, and the test checks that they
// are exactly the ones that change.
struct KindChange {
    const char* name;
    bool interpolation;           // else the tangent mode
    unsigned int value;
    std::vector<int> selected;    // empty: every key
    std::vector<int> reshaped;    // segments (by first key) the new kind cannot hold
};

void PrintTo(const KindChange& c, std::ostream* os) { *os << c.name; }

class KFCurveKindChangeTest : public ::testing::TestWithParam<KindChange> {};

// Keys of every kind at uneven times, with broken and unequal tangents; no key
// has collinear neighbours, so that auto tangents can take any slope.
void BuildMixed(KFCurve& curve) {
    const float values[] = {0, 2, 1, 3, -1, 0.5f, 2, 1, -2};
    const double times[] = {0, 1, 2.5, 3, 4.5, 5, 6, 7, 8.5};
    const unsigned int kinds[][2] = {{kCubic, kUser},       {kCubic, kUserBreak}, {kCubic, kAuto},
                                     {kCubic, KFCURVE_TANGEANT_AUTO_BREAK},     {kCubic, KFCURVE_TANGEANT_TCB},
                                     {kLinear, kUser},      {kConstant, 0},       {kCubic, kUser},
                                     {kCubic, kAuto}};
    for (int k = 0; k < 9; ++k) Add(curve, times[k], MakeKey(values[k], kinds[k][0], kinds[k][1]));
    curve.KeySetRightDerivative(0, 1.0f);
    curve.KeySetLeftDerivative(1, 0.5f);
    curve.KeySetRightDerivative(1, -1.0f);
    curve.KeySetLeftAuto(3, 30.0f);
    curve.KeySetRightAuto(3, -60.0f);
    curve.KeyGetPtr(4)->SetTCB(Sec(4.5), -1.0f, 0.2f, 0.3f, -0.1f);
    curve.KeySetLeftDerivative(7, 0.7f);
}

TEST_P(KFCurveKindChangeTest, KeepsTheShapeWhereTheNewKindCanHoldIt) {
    const KindChange& change = GetParam();
    KFCurve curve;
    BuildMixed(curve);
    for (int k : change.selected) curve.KeyGetPtr(k)->SetSelected(true);
    constexpr int kPoints = 24;
    std::vector<std::vector<float>> before;
    for (int k = 0; k + 1 < curve.KeyGetCount(); ++k)
        before.push_back(Sample(curve, curve.KeyGet(k).GetTime().GetSecondDouble(),
                                curve.KeyGet(k + 1).GetTime().GetSecondDouble(), kPoints));
    if (change.interpolation) {
        curve.KeyTangeantSetInterpolation(!change.selected.empty(), change.value);
    } else {
        curve.KeyTangeantSetMode(!change.selected.empty(), change.value);
    }
    for (int k = 0; k + 1 < curve.KeyGetCount(); ++k) {
        const std::vector<float> after = Sample(curve, curve.KeyGet(k).GetTime().GetSecondDouble(),
                                                curve.KeyGet(k + 1).GetTime().GetSecondDouble(), kPoints);
        const bool named = std::count(change.reshaped.begin(), change.reshaped.end(), k) > 0;
        if (named) {
            EXPECT_FALSE(AllNear(before[k], after, 2e-6)) << "segment " << k << " is named but kept";
        } else {
            EXPECT_TRUE(AllNear(before[k], after, 2e-6)) << "segment " << k;
        }
    }
    if (!change.interpolation) {
        EXPECT_EQ(curve.KeyGet(6).GetConstantMode(), KFCURVE_CONSTANT_STANDARD) << "the hold-next bit is no mode";
    }
}

// An unbroken user key takes its incoming tangent on both sides (keys 1, 3, 4);
// TCB tangents come from their parameters; the constant key 6 turns cubic
// without a tangent mode, so its segment and its incoming tangent are lost.
INSTANTIATE_TEST_SUITE_P(
    Kinds, KFCurveKindChangeTest,
    ::testing::Values(KindChange{"ToUser", false, kUser, {}, {1, 3, 4}},
                      KindChange{"ToUserBreak", false, kUserBreak, {}, {}},
                      KindChange{"ToAuto", false, kAuto, {}, {}},
                      KindChange{"ToAutoBreak", false, KFCURVE_TANGEANT_AUTO_BREAK, {}, {}},
                      KindChange{"ToTcb", false, KFCURVE_TANGEANT_TCB, {}, {0, 1, 2, 3, 7}},
                      KindChange{"SelectedToAuto", false, kAuto, {1, 7}, {}},
                      KindChange{"SelectedToUser", false, kUser, {2, 3}, {3}},
                      KindChange{"ToCubic", true, kCubic, {}, {5, 6}}),
    [](const ::testing::TestParamInfo<KindChange>& info) { return std::string(info.param.name); });

TEST_F(KFCurveTangentTest, IncrementsAndBundlesReachOnlyTheSideThatHoldsTheTangent) {
    BuildThree(kUserBreak);
    curve.KeyIncRightDerivative(1, 1.5f);
    curve.KeyIncLeftDerivative(1, -2.0f);
    EXPECT_EQ(Derivatives(curve, 1), (Floats{-2.0f, 1.5f}));
    EXPECT_EQ(Derivatives(curve, 0), (Floats{0.0f, 0.0f}));
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(Summary(log.events[1]), (std::vector<int>{KFCURVEEVENT_KEY, 1, 1, 1}));
    // No side beyond the ends: nothing, and nothing heard.
    curve.KeyIncRightDerivative(2, 5.0f);
    curve.KeyIncLeftDerivative(0, 5.0f);
    EXPECT_EQ(log.events.size(), 2u);
    EXPECT_EQ(Derivatives(curve, 2), (Floats{0.0f, 0.0f}));
    // An auto key's slot holds its auto parameter: unchanged, but the edit is heard.
    BuildThree(kAuto);
    curve.KeyIncRightDerivative(0, 3.0f);
    EXPECT_EQ(Slot(0, KFCURVEKEY_RIGHT_DERIVATIVE), 0.0f);
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, 0, 0, 1}));

    KFCurveTangeantInfo info;
    info.mDerivative = 4.0f;
    info.mWeight = 0.5f;
    info.mWeighted = true;
    info.mVelocity = 0.25f;
    info.mHasVelocity = true;
    info.mAuto = 40.0f;
    BuildThree(kUserBreak);
    curve.KeySetRightDerivativeInfo(1, info);
    EXPECT_EQ(Derivatives(curve, 1), (Floats{0.0f, 4.0f}));
    EXPECT_TRUE(curve.KeyIsRightTangeantWeighted(1) && curve.KeyIsRightTangeantVelocity(1));
    EXPECT_NEAR(curve.KeyGetRightTangeantWeight(1), 0.5f, 1e-4);
    EXPECT_NEAR(curve.KeyGetRightTangeantVelocity(1), 0.25f, 1e-3);  // stored in steps of 1/9999
    EXPECT_FALSE(curve.KeyIsLeftTangeantWeighted(1));
    // An auto key takes the bundle's auto parameter; the last key only that, silently.
    BuildThree(kAuto);
    curve.KeySetRightDerivativeInfo(0, info);
    curve.KeySetRightDerivativeInfo(2, info);
    EXPECT_EQ(std::vector<float>({Slot(0, KFCURVEKEY_RIGHT_DERIVATIVE), Slot(2, KFCURVEKEY_RIGHT_DERIVATIVE)}),
              (Floats{40.0f, 40.0f}));
    EXPECT_TRUE(std::all_of(log.events.begin(), log.events.end(),
                            [](const KFCurveEvent& e) { return e.mKeyIndexStop <= 0; }));
    BuildThree(kUserBreak);
    curve.KeySetRightDerivativeInfo(2, info);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(Slot(2, KFCURVEKEY_RIGHT_DERIVATIVE), 0.0f);
}

TEST_F(KFCurveTangentTest, HidingTangentsClearsTheirVisibilityAsASelectionChange) {
    BuildThree();
    curve.KeyGetPtr(0)->SetTangeantVisibility(KFCURVE_TANGEANT_VISIBILITY_ALL);
    curve.KeyGetPtr(2)->SetTangeantVisibility(0x00100000);
    const int values = curve.GetValuesUpdateId();
    const int all = curve.GetUpdateId();
    curve.KeyTangeantHide();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(curve.KeyGetPtr(i)->GetTangeantVisibility(), 0u) << i;
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_SELECTION, -1, -1, 1}));
    EXPECT_EQ(curve.GetValuesUpdateId(), values);
    EXPECT_EQ(curve.GetUpdateId(), all + 0x10000);
}

TEST_F(KFCurveTangentTest, MultiplyingDerivativesReachesOnlyKeysWhoseTangentsAreSet) {
    // The middle key's mode, its stored left (on key 0) and right slots, and its
    // derivatives after doubling. Around it the slopes are 2 and -1.
    const struct {
        unsigned int mode;
        float left, right;
        Floats expected;
    } cases[] = {
        {kUserBreak, 0.75f, -1.25f, {1.5f, -2.5f}},
        {kUser, 0.75f, 0.75f, {1.5f, 1.5f}},
        // Auto 0 gives the mean slope 0.5 on each side: doubled only when the key is broken.
        {KFCURVE_TANGEANT_AUTO_BREAK, 0.0f, 0.0f, {1.0f, 1.0f}},
        {kAuto, 0.0f, 0.0f, {0.5f, 0.5f}},
        {KFCURVE_TANGEANT_TCB, 0.0f, 0.0f, {0.5f, 0.5f}},
    };
    for (const auto& c : cases) {
        Build({{0, 0, kCubic, kUser, 0, c.left}, {1, 2, kCubic, c.mode, c.right, 0}, {3, 0, kCubic, kUser, 0, 0}});
        curve.KeyMultDerivative(1, 2.0f);
        EXPECT_TRUE(AllNear(c.expected, Derivatives(curve, 1), 1e-5)) << std::hex << c.mode;
        EXPECT_EQ(Derivatives(curve, 0), (Floats{0.0f, 0.0f})) << std::hex << c.mode;
    }
    curve.KeyMultDerivative(3, 2.0f);  // no such key
    curve.KeyMultDerivative(-1, 2.0f);
    EXPECT_EQ(curve.KeyGetCount(), 3);
}
