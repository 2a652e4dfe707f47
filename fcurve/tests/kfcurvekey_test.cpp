#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;

namespace {

template <class T>
T ReadAt(const KFCurveKey& key, std::size_t offset) {
    unsigned char bytes[sizeof(KFCurveKey)];
    std::memcpy(bytes, &key, sizeof bytes);
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

}  // namespace

TEST(KFCurveKeyLayout, FieldsSitAtTheirByteOffsets) {
    ASSERT_EQ(sizeof(KFCurveKey), 32u);
    KFCurveKey key{};
    key.Set(KTime(0x0102030405060708LL), 1.5f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 2.5f, -3.5f,
            KFCURVE_WEIGHTED_ALL, 0.25f, 0.5f, 1.0f, -1.0f);
    EXPECT_EQ(ReadAt<float>(key, 0), 1.5f);
    EXPECT_EQ(ReadAt<std::int64_t>(key, 4), 0x0102030405060708LL);
    EXPECT_EQ(ReadAt<std::uint32_t>(key, 12), 0x03000C08u);
    EXPECT_EQ(ReadAt<float>(key, 16), 2.5f);
    EXPECT_EQ(ReadAt<float>(key, 20), -3.5f);
    const std::int16_t shorts[] = {2499, 4999, 9999, -9999};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadAt<std::int16_t>(key, 24 + 2 * i), shorts[i]) << i;
}

// Weights and velocities are stored as value x 9999 in 16 bits: weights
// clamped to [0.00010001, 0.99], velocities saturated instead of wrapped.
TEST(KFCurveKey, SlotEncodingStoresScaledIntegersAndReadsThemBack) {
    const struct { EKFCurveDataIndex index; float value; std::int16_t stored; } cases[] = {
        {KFCURVEKEY_RIGHT_WEIGHT, 1.5f, 9899},     {KFCURVEKEY_NEXT_LEFT_WEIGHT, 0.99f, 9899},
        {KFCURVEKEY_RIGHT_WEIGHT, 0.0f, 1},        {KFCURVEKEY_NEXT_LEFT_WEIGHT, -4.0f, 1},
        {KFCURVEKEY_RIGHT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 3333},
        {KFCURVEKEY_RIGHT_WEIGHT, kNaN, 1},        {KFCURVEKEY_RIGHT_WEIGHT, kInf, 9899},
        {KFCURVEKEY_RIGHT_VELOCITY, -2.0f, -19998}, {KFCURVEKEY_NEXT_LEFT_VELOCITY, 3.0f, 29997},
        {KFCURVEKEY_RIGHT_VELOCITY, 0.5f, 4999},   {KFCURVEKEY_RIGHT_VELOCITY, -0.5f, -4999},  // toward zero
        {KFCURVEKEY_RIGHT_VELOCITY, 4.0f, 32767},  {KFCURVEKEY_NEXT_LEFT_VELOCITY, -100.0f, -32768},
        {KFCURVEKEY_RIGHT_VELOCITY, kInf, 32767},  {KFCURVEKEY_RIGHT_VELOCITY, -kInf, -32768},
        {KFCURVEKEY_NEXT_LEFT_VELOCITY, kNaN, 0},
    };
    for (const auto& c : cases) {
        KFCurveKey key = MakeKey(0.0f);
        key.SetDataDouble(c.index, c.value);
        EXPECT_EQ(ReadAt<std::int16_t>(key, 24 + 2 * (c.index - 2)), c.stored) << c.index << " " << c.value;
        EXPECT_FLOAT_EQ(key.GetDataDouble(c.index), static_cast<float>(c.stored / 9999.0));
    }
}
