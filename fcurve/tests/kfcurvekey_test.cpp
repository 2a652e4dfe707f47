#include "fcurve/kfcurvekey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using namespace zeqsdk_400;

namespace {

template <class T>
T ReadAt(const KFCurveKey& key, std::size_t offset) {
    unsigned char bytes[sizeof(KFCurveKey)];
    std::memcpy(bytes, &key, sizeof bytes);
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

KFCurveKey CubicKey() {
    KFCurveKey key{};
    key.Set(KTime(0), 0.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    return key;
}

}  // namespace

TEST(KFCurveKeyLayout, FieldsSitAtTheirByteOffsets) {
    ASSERT_EQ(sizeof(KFCurveKey), 32u);
    KFCurveKey key{};
    key.Set(KTime(0x0102030405060708LL), 1.5f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER_BREAK, 2.5f,
            -3.5f, KFCURVE_WEIGHTED_ALL, 0.25f, 0.5f, 1.0f, -1.0f);
    EXPECT_EQ(ReadAt<float>(key, 0), 1.5f);
    EXPECT_EQ(ReadAt<std::int64_t>(key, 4), 0x0102030405060708LL);
    EXPECT_EQ(ReadAt<std::uint32_t>(key, 12), 0x03000C08u);
    EXPECT_EQ(ReadAt<float>(key, 16), 2.5f);
    EXPECT_EQ(ReadAt<float>(key, 20), -3.5f);
    EXPECT_EQ(ReadAt<std::int16_t>(key, 24), 2499);
    EXPECT_EQ(ReadAt<std::int16_t>(key, 26), 4999);
    EXPECT_EQ(ReadAt<std::int16_t>(key, 28), 9999);
    EXPECT_EQ(ReadAt<std::int16_t>(key, 30), -9999);
}

TEST(KFCurveKeyLayout, KeysInAnArrayStayPacked) {
    KFCurveKey keys[3] = {};
    EXPECT_EQ(reinterpret_cast<char*>(&keys[2]) - reinterpret_cast<char*>(&keys[0]), 64);
    keys[1].SetTime(KTime(-7));
    EXPECT_EQ(keys[1].GetTime(), KTime(-7));
    keys[1].IncTime(KTime(10));
    EXPECT_EQ(keys[1].GetTime().Get(), 3);
}

struct SlotCase {
    EKFCurveDataIndex index;
    float value;
    std::int16_t stored;
};

class KFCurveKeySlotEncoding : public ::testing::TestWithParam<SlotCase> {};

TEST_P(KFCurveKeySlotEncoding, StoresScaledIntegerAndReadsItBack) {
    const SlotCase& c = GetParam();
    KFCurveKey key = CubicKey();
    key.SetDataDouble(c.index, c.value);
    EXPECT_EQ(ReadAt<std::int16_t>(key, 24 + 2 * (c.index - 2)), c.stored);
    EXPECT_FLOAT_EQ(key.GetDataDouble(c.index), static_cast<float>(c.stored / 9999.0));
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Weights, KFCurveKeySlotEncoding,
    ::testing::Values(SlotCase{KFCURVEKEY_RIGHT_WEIGHT, 1.5f, 9899},          // clamped to 0.99
                      SlotCase{KFCURVEKEY_NEXT_LEFT_WEIGHT, 0.99f, 9899},
                      SlotCase{KFCURVEKEY_RIGHT_WEIGHT, 0.0f, 1},              // clamped to 0.00010001
                      SlotCase{KFCURVEKEY_NEXT_LEFT_WEIGHT, -4.0f, 1},
                      SlotCase{KFCURVEKEY_RIGHT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 3333},
                      SlotCase{KFCURVEKEY_RIGHT_WEIGHT, kNaN, 1},
                      SlotCase{KFCURVEKEY_RIGHT_WEIGHT, kInf, 9899}));

INSTANTIATE_TEST_SUITE_P(
    Velocities, KFCurveKeySlotEncoding,
    ::testing::Values(SlotCase{KFCURVEKEY_RIGHT_VELOCITY, -2.0f, -19998},
                      SlotCase{KFCURVEKEY_NEXT_LEFT_VELOCITY, 3.0f, 29997},
                      SlotCase{KFCURVEKEY_RIGHT_VELOCITY, 0.5f, 4999},     // truncated toward zero
                      SlotCase{KFCURVEKEY_RIGHT_VELOCITY, -0.5f, -4999},
                      // beyond the 16-bit range: saturated, not wrapped
                      SlotCase{KFCURVEKEY_RIGHT_VELOCITY, 4.0f, 32767},
                      SlotCase{KFCURVEKEY_NEXT_LEFT_VELOCITY, -100.0f, -32768},
                      SlotCase{KFCURVEKEY_RIGHT_VELOCITY, kInf, 32767},
                      SlotCase{KFCURVEKEY_RIGHT_VELOCITY, -kInf, -32768},
                      SlotCase{KFCURVEKEY_NEXT_LEFT_VELOCITY, kNaN, 0}));

TEST(KFCurveKey, VelocityOfMinusTwoReadsBackExactly) {
    KFCurveKey key = CubicKey();
    key.SetDataDouble(KFCURVEKEY_RIGHT_VELOCITY, -2.0f);
    EXPECT_EQ(key.GetDataDouble(KFCURVEKEY_RIGHT_VELOCITY), -2.0f);
}

TEST(KFCurveKey, TcbBiasSpansBothWeightSlots) {
    KFCurveKey key = CubicKey();
    key.SetTCB(KTime(5), 2.0f, 0.25f, -0.5f, 0.75f);
    EXPECT_EQ(key.GetInterpolation(), KFCURVE_INTERPOLATION_CUBIC);
    EXPECT_EQ(key.GetTangeantMode(), KFCURVE_TANGEANT_TCB);
    EXPECT_EQ(key.GetDataFloat(KFCURVEKEY_TCB_TENSION), 0.25f);
    EXPECT_EQ(key.GetDataFloat(KFCURVEKEY_TCB_CONTINUITY), -0.5f);
    EXPECT_EQ(key.GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.75f);
    EXPECT_EQ(ReadAt<float>(key, 24), 0.75f);
    // Float slot 3 covers the two velocity slots.
    key.SetDataFloat(static_cast<EKFCurveDataIndex>(3), 9.0f);
    EXPECT_EQ(ReadAt<float>(key, 28), 9.0f);
    EXPECT_EQ(key.GetDataFloat(KFCURVEKEY_TCB_BIAS), 0.75f);
}

TEST(KFCurveKey, RawFloatSlotsOutsideTheRecordAreIgnored) {
    KFCurveKey key = CubicKey();
    const KFCurveKey before = key;
    key.SetDataFloat(static_cast<EKFCurveDataIndex>(4), 1.0f);
    key.SetDataFloat(static_cast<EKFCurveDataIndex>(-1), 1.0f);
    EXPECT_EQ(std::memcmp(&key, &before, sizeof key), 0);
    EXPECT_EQ(key.GetDataFloat(static_cast<EKFCurveDataIndex>(4)), 0.0f);
}

TEST(KFCurveKey, SetClampsWeightsAndClearsSelectionAndVisibility) {
    KFCurveKey key{};
    key.SetSelected(true);
    key.SetTangeantVisibility(KFCURVE_TANGEANT_VISIBILITY_ALL);
    key.Set(KTime(10), 4.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, 1.0f, 2.0f,
            KFCURVE_WEIGHTED_RIGHT | KFCURVE_VELOCITY_RIGHT, 2.0f, -1.0f, 0.0f, 0.0f);
    EXPECT_EQ(key.GetTangeantWeightMode(), KFCURVE_WEIGHTED_RIGHT);
    EXPECT_EQ(key.GetTangeantVelocityMode(), 0u) << "the weight mode only sets weight bits";
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 0.99, 1e-4);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT), 1.0 / 9999.0, 1e-9);
    EXPECT_FALSE(key.GetSelected());
    EXPECT_EQ(key.GetTangeantVisibility(), 0u);
}

TEST(KFCurveKey, BecomingCubicResetsWeightsAndVelocities) {
    KFCurveKey key{};
    key.SetInterpolation(KFCURVE_INTERPOLATION_LINEAR);
    key.SetTangeantWeightMode(KFCURVE_WEIGHTED_ALL);
    key.SetTangeantVelocityMode(KFCURVE_VELOCITY_ALL);
    key.SetDataDouble(KFCURVEKEY_RIGHT_WEIGHT, 0.5f);
    key.SetDataDouble(KFCURVEKEY_RIGHT_VELOCITY, 1.0f);
    key.SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
    EXPECT_EQ(key.GetTangeantWeightMode(), 0u);
    EXPECT_EQ(key.GetTangeantVelocityMode(), 0u);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 1.0 / 3.0, 1e-4);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT), 1.0 / 3.0, 1e-4);
    EXPECT_EQ(key.GetDataDouble(KFCURVEKEY_RIGHT_VELOCITY), 0.0f);

    // Already cubic: only the interpolation bits change.
    key.SetTangeantWeightMode(KFCURVE_WEIGHTED_RIGHT);
    key.SetDataDouble(KFCURVEKEY_RIGHT_WEIGHT, 0.5f);
    key.SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
    EXPECT_EQ(key.GetTangeantWeightMode(), KFCURVE_WEIGHTED_RIGHT);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 0.5, 1e-4);
}

TEST(KFCurveKey, FlagFieldsReplaceOnlyTheirOwnBits) {
    KFCurveKey key = CubicKey();
    key.SetTangeantMode(KFCURVE_TANGEANT_AUTO);
    key.SetBreak(true);
    EXPECT_EQ(key.GetTangeantMode(), KFCURVE_TANGEANT_AUTO_BREAK);
    key.SetBreak(false);
    EXPECT_EQ(key.GetTangeantMode(), KFCURVE_TANGEANT_AUTO);
    key.SetTangeantMode(0xFFFFFFFFu);
    EXPECT_EQ(key.GetInterpolation(), KFCURVE_INTERPOLATION_CUBIC);
    EXPECT_EQ(key.GetTangeantMode(), KFCURVE_TANGEANT_ALL);

    key.SetTangeantWeightMode(KFCURVE_WEIGHTED_ALL, KFCURVE_WEIGHTED_NEXT_LEFT);
    EXPECT_EQ(key.GetTangeantWeightMode(), KFCURVE_WEIGHTED_NEXT_LEFT);
    key.SetTangeantVelocityMode(KFCURVE_VELOCITY_ALL, KFCURVE_VELOCITY_RIGHT | KFCURVE_WEIGHTED_ALL);
    EXPECT_EQ(key.GetTangeantVelocityMode(), KFCURVE_VELOCITY_RIGHT);
    EXPECT_EQ(key.GetTangeantWeightMode(), KFCURVE_WEIGHTED_NEXT_LEFT);

    key.SetConstantMode(KFCURVE_CONSTANT_NEXT | KFCURVE_TANGEANT_USER);
    EXPECT_EQ(key.GetConstantMode(), KFCURVE_CONSTANT_NEXT);
}

TEST(KFCurveKey, DeselectingClearsFocus) {
    KFCurveKey key = CubicKey();
    key.SetSelected(true);
    key.SetFocus(true);
    EXPECT_TRUE(key.GetSelected());
    EXPECT_TRUE(key.GetFocus());
    key.SetFocus(false);
    EXPECT_TRUE(key.GetSelected()) << "focus touches only its own bit";
    key.SetFocus(true);
    key.SetSelected(false);
    EXPECT_FALSE(key.GetFocus());
}

TEST(KFCurveKey, InitKeepsTheDataSlots) {
    KFCurveKey key = CubicKey();
    key.Set(KTime(99), 3.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, 1.25f, -2.5f,
            KFCURVE_WEIGHTED_ALL, 0.5f, 0.5f, 1.0f, 1.0f);
    key.Init();
    EXPECT_EQ(key.GetValue(), 0.0f);
    EXPECT_EQ(key.GetTime(), KTime(0));
    EXPECT_EQ(key.GetInterpolation(), 0u);
    EXPECT_EQ(key.GetTangeantWeightMode(), 0u);
    EXPECT_EQ(key.GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE), 1.25f);
    EXPECT_EQ(key.GetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), -2.5f);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 0.5, 1e-4);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_NEXT_LEFT_VELOCITY), 1.0, 1e-4);
}

struct MultCase {
    unsigned int interpolation;
    unsigned int mode;
    bool scales;
};

class KFCurveKeyMultTangeant : public ::testing::TestWithParam<MultCase> {};

TEST_P(KFCurveKeyMultTangeant, ScalesOnlyUserTangents) {
    const MultCase& c = GetParam();
    KFCurveKey key{};
    key.Set(KTime(0), 1.0f, c.interpolation, c.mode, 1.5f, -0.5f, 0, 0.3f, 0.3f, 0, 0);
    key.MultTangeant(2.0f);
    const float factor = c.scales ? 2.0f : 1.0f;
    EXPECT_EQ(key.GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE), 1.5f * factor);
    EXPECT_EQ(key.GetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), -0.5f * factor);
    EXPECT_EQ(key.GetValue(), 1.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, KFCurveKeyMultTangeant,
    ::testing::Values(MultCase{KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, true},
                      MultCase{KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER_BREAK, true},
                      MultCase{KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, false},
                      MultCase{KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO_BREAK, false},
                      MultCase{KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_TCB, false},
                      MultCase{KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, false}));

TEST(KFCurveTangeantInfo, DefaultWeightIsTheFloatOneThird) {
    KFCurveTangeantInfo info;
    std::uint32_t bits;
    std::memcpy(&bits, &info.mWeight, sizeof bits);
    EXPECT_EQ(bits, 0x3EAAAAABu);
    EXPECT_FALSE(info.mWeighted);
    EXPECT_FALSE(info.mHasVelocity);
}

TEST(KFCurveEvent, AddMergesCodesAndIndexSpan) {
    KFCurveEvent event;
    event.Add(KFCURVEEVENT_KEY, 5);
    event.Add(KFCURVEEVENT_KEY, 2);
    EXPECT_EQ(event.mType, KFCURVEEVENT_KEY);
    EXPECT_EQ(event.mKeyIndexStart, 2);
    EXPECT_EQ(event.mKeyIndexStop, 5);
    EXPECT_EQ(event.mEventCount, 2);
    event.Add(KFCURVEEVENT_SELECTION, 7);
    EXPECT_EQ(event.mType, KFCURVEEVENT_KEY | KFCURVEEVENT_SELECTION);
    EXPECT_EQ(event.mKeyIndexStop, 7);

    event.Clear();
    event.Add(KFCURVEEVENT_DEFAULT_VALUE, -1);
    EXPECT_EQ(event.mKeyIndexStart, -1);
    EXPECT_EQ(event.mKeyIndexStop, -1);
    EXPECT_EQ(event.mEventCount, 1);
}

TEST(KFCurveEvent, NoParticularKeyIsNotForgottenByLaterReports) {
    KFCurveEvent event;
    event.Add(KFCURVEEVENT_KEY, 3);
    event.Add(KFCURVEEVENT_DEFAULT_VALUE, -1);
    event.Add(KFCURVEEVENT_KEY, 6);
    EXPECT_EQ(event.mKeyIndexStart, -1) << "a later index must not drop key 3 from the span";
    EXPECT_EQ(event.mKeyIndexStop, 6);
    EXPECT_EQ(event.mEventCount, 3);
}
