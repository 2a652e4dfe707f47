#include "base/ktime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace zeqsdk_400;

namespace {

struct ModeRow {
    KTime::ETimeMode mode;
    const char* rateName;
    const char* label;
    int oldCode;
    KTime::ETimeMode readBack;
};

// Every row of the frame-rate mode table as the files use it.
const ModeRow kRows[] = {
    {KTime::eMode120, "120", "120 fps", 8, KTime::eMode120},
    {KTime::eMode100, "100", "100 fps", 7, KTime::eMode100},
    {KTime::eMode60, "60", "60 fps", 6, KTime::eMode60},
    {KTime::eMode50, "50", "50 fps", 5, KTime::eMode50},
    {KTime::eMode48, "48", "48 fps", 3, KTime::eMode30},
    {KTime::eMode30, "30", "30 fps", 3, KTime::eMode30},
    {KTime::eMode30Drop, "30 Drop", "30 Drop", 10, KTime::eMode30Drop},
    {KTime::eModeNtscDrop, "29.97 drop", "NTSC Drop", 4, KTime::eModeNtscDrop},
    {KTime::eModeNtscFull, "29.97 full", "NTSC Full", 9, KTime::eModeNtscFull},
    {KTime::eModePal, "25", "PAL", 2, KTime::eModePal},
    {KTime::eMode24, "24", "24 fps", 1, KTime::eMode24},
    {KTime::eMode23976, "23.976", "23.976 fps", 10, KTime::eMode30Drop},
};

class TimeModeTable : public ::testing::TestWithParam<ModeRow> {};

TEST_P(TimeModeTable, NamesCodesAndLabelsRoundTrip) {
    const ModeRow& row = GetParam();
    EXPECT_STREQ(row.rateName, KTime_GetGlobalFrameRateString(row.mode));
    EXPECT_EQ(row.mode, KTime_GetTimeModeFromFrameRate(row.rateName));
    EXPECT_EQ(row.mode, KTime_GetTimeModeFromFrameRate(row.label));
    EXPECT_EQ(row.oldCode, KTime_GetOldTimeModeCorrespondance(row.mode));
    EXPECT_EQ(row.readBack, KTime_GetTimeModeFromOldValue(row.oldCode));
    // One frame of the mode is one frame at its rate, to the tick where the rate divides evenly.
    double ticks = static_cast<double>(KTime::kTicksPerSecond) / KTime::GetFrameRate(row.mode);
    EXPECT_NEAR(ticks, static_cast<double>(KTime::GetOneFrameValue(row.mode).Get()), 0.5);
}
INSTANTIATE_TEST_SUITE_P(AllModes, TimeModeTable, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<ModeRow>& info) {
                             return "Mode" + std::to_string(static_cast<int>(info.param.mode));
                         });

}  // namespace

TEST(TimeModeTableLookups, UnknownValuesFallBackToThirtyFps) {
    EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromFrameRate("31"));
    EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromFrameRate("pal"));  // exact, case-sensitive
    EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromFrameRate(""));
    EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromFrameRate(nullptr));
    EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromOldValue(0));
    EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromOldValue(-7));
    EXPECT_EQ(3, KTime_GetOldTimeModeCorrespondance(KTime::eMode1000));
    EXPECT_EQ(3, KTime_GetOldTimeModeCorrespondance(static_cast<KTime::ETimeMode>(99)));
    EXPECT_STREQ("", KTime_GetGlobalFrameRateString(KTime::eMode1000));
    EXPECT_STREQ("", KTime_GetGlobalFrameRateString(static_cast<KTime::ETimeMode>(-3)));
}

TEST(KTime, SecondsConversionTruncatesTowardZero) {
    KTime t;
    t.SetSecondDouble(1.0 / 30.0);
    EXPECT_EQ(1539538600LL, t.Get());
    t.SetSecondDouble(-1.0 / 30.0);
    EXPECT_EQ(-1539538600LL, t.Get());
    t.SetSecondDouble(1e-11);  // 0.46 ticks
    EXPECT_EQ(0, t.Get());
    t.SetSecondDouble(-1e-11);
    EXPECT_EQ(0, t.Get());
    t.SetSecondDouble(2.5);
    EXPECT_DOUBLE_EQ(2.5, t.GetSecondDouble());
}

TEST(KTime, SecondsConversionSaturatesInsteadOfOverflowing) {
    KTime t;
    t.SetSecondDouble(1e300);
    EXPECT_EQ(KTime::Infinite(), t);
    t.SetSecondDouble(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(KTime::MinusInfinite(), t);
    t.SetSecondDouble(std::nan(""));
    EXPECT_EQ(0, t.Get());
}

TEST(KTime, Infinities) {
    EXPECT_EQ(0x7FFFFFFFFFFFFFFFLL, KTime::Infinite().Get());
    EXPECT_EQ(static_cast<long long>(0x8000000000000001ULL), KTime::MinusInfinite().Get());
    EXPECT_EQ(KTime::MinusInfinite(), -KTime::Infinite());
    KTimeSpan all = KTimeSpan::Infinite();
    EXPECT_TRUE(all.IsInside(KTime(0)));
    EXPECT_TRUE(all.IsInside(KTime::Infinite()));
}

TEST(KTime, ArithmeticWrapsAndDivides) {
    KTime a(10), b(3);
    EXPECT_EQ(13, (a + b).Get());
    EXPECT_EQ(7, (a - b).Get());
    EXPECT_EQ(30, (a * 3).Get());
    EXPECT_EQ(30, (a * b).Get());
    EXPECT_EQ(3, (a / b).Get());
    EXPECT_EQ(-3, (KTime(-10) / b).Get());
    EXPECT_EQ(-10, (a / KTime(-1)).Get());
    // No overflow trap: the sum wraps as 64-bit integers do.
    EXPECT_EQ(std::numeric_limits<long long>::min(), (KTime::Infinite() + KTime(1)).Get());
    EXPECT_EQ(KTime::Infinite(), a / KTime(0));
    EXPECT_EQ(KTime::MinusInfinite(), KTime(-4) / KTime(0));
    EXPECT_EQ(0, (KTime(0) / KTime(0)).Get());
    KTime c(5);
    c += KTime(5);
    c -= KTime(1);
    EXPECT_EQ(9, c.Get());
}

class GlobalModeTest : public ::testing::Test {
protected:
    void TearDown() override { KTime::SetGlobalTimeMode(KTime::eModeDefault); }
};

TEST_F(GlobalModeTest, SetTimeUsesModeOrGlobalModeAtCallTime) {
    KTime t;
    t.SetTime(0, 0, 0, 7, 0, KTime::eMode30);
    EXPECT_EQ(7 * 1539538600LL, t.Get());
    t.SetTime(1, 2, 3, 0, 0, KTime::eMode30);
    EXPECT_EQ(3723 * KTime::kTicksPerSecond, t.Get());
    t.SetTime(0, 0, 1, 2, 1, KTime::eModePal);
    EXPECT_EQ(KTime::kTicksPerSecond + 2 * 1847446320LL + 1847446320LL / 2, t.Get());

    // Global 0 reads as the default mode (30 fps).
    t.SetTime(0, 0, 0, 1);
    EXPECT_EQ(1539538600LL, t.Get());
    KTime::SetGlobalTimeMode(KTime::eModePal);
    t.SetTime(0, 0, 0, 1);
    EXPECT_EQ(1847446320LL, t.Get());
    EXPECT_EQ(KTime::eModePal, KTime::GetGlobalTimeMode());
    EXPECT_DOUBLE_EQ(25.0, KTime::GetFrameRate(KTime::eModeDefault));

    KTime unchanged(42);
    unchanged.SetTime(0, 0, 1, 0, 0, 14);
    EXPECT_EQ(42, unchanged.Get());
}

TEST_F(GlobalModeTest, FramesAndSeconds) {
    KTime t(10 * 1539538600LL + 5);
    EXPECT_EQ(10, t.GetFrame(true, KTime::eMode30));
    EXPECT_EQ(0, t.GetFrame(true, 14));
    EXPECT_EQ(-10, KTime(-10 * 1539538600LL).GetFrame(true, KTime::eMode30));
    KTime s(125 * KTime::kTicksPerSecond + 3 * 1539538600LL);
    EXPECT_EQ(125, s.GetSecond(true));
    EXPECT_EQ(5, s.GetSecond(false));
    EXPECT_EQ(3, s.GetFrame(false, KTime::eMode30));
}

TEST(KTime, ConvertFrameRateToTimeMode) {
    EXPECT_EQ(KTime::eModePal, KTime::ConvertFrameRateToTimeMode(25.0, 0.001));
    EXPECT_EQ(KTime::eModeNtscDrop, KTime::ConvertFrameRateToTimeMode(29.97003, 0.001));
    EXPECT_EQ(KTime::eMode23976, KTime::ConvertFrameRateToTimeMode(23.976, 0.001));
    EXPECT_EQ(KTime::eModeDefault, KTime::ConvertFrameRateToTimeMode(17.0, 0.001));
}
