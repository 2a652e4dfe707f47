#include "base/ktime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

using namespace zeqsdk_400;

// Every row of the frame-rate mode table as the files use it: the rate name and
// the label both read back as the mode, the old code reads back as readBack.
// Unknown names, codes and modes fall back to 30 fps.
TEST(TimeModeTable, NamesCodesAndLabelsRoundTripUnknownOnesFallBack) {
    using T = KTime;
    const struct { T::ETimeMode mode; const char *rateName, *label; int oldCode; T::ETimeMode readBack; } rows[] = {
        {T::eMode120, "120", "120 fps", 8, T::eMode120}, {T::eMode60, "60", "60 fps", 6, T::eMode60},
        {T::eMode100, "100", "100 fps", 7, T::eMode100}, {T::eMode50, "50", "50 fps", 5, T::eMode50},
        {T::eMode48, "48", "48 fps", 3, T::eMode30}, {T::eMode30, "30", "30 fps", 3, T::eMode30},
        {T::eMode30Drop, "30 Drop", "30 Drop", 10, T::eMode30Drop}, {T::eModePal, "25", "PAL", 2, T::eModePal},
        {T::eModeNtscDrop, "29.97 drop", "NTSC Drop", 4, T::eModeNtscDrop}, {T::eMode24, "24", "24 fps", 1, T::eMode24},
        {T::eModeNtscFull, "29.97 full", "NTSC Full", 9, T::eModeNtscFull},
        {T::eMode23976, "23.976", "23.976 fps", 10, T::eMode30Drop}};
    for (const auto& row : rows) {
        EXPECT_TRUE(row.rateName == std::string(KTime_GetGlobalFrameRateString(row.mode)) &&
                    KTime_GetTimeModeFromFrameRate(row.rateName) == row.mode &&
                    KTime_GetTimeModeFromFrameRate(row.label) == row.mode) << row.label;
        EXPECT_TRUE(KTime_GetOldTimeModeCorrespondance(row.mode) == row.oldCode &&
                    KTime_GetTimeModeFromOldValue(row.oldCode) == row.readBack) << row.label;
        // One frame is one frame at the mode's rate, to the tick where the rate divides evenly.
        const double ticks = static_cast<double>(KTime::kTicksPerSecond) / KTime::GetFrameRate(row.mode);
        EXPECT_NEAR(ticks, static_cast<double>(KTime::GetOneFrameValue(row.mode).Get()), 0.5) << row.label;
    }
    for (const char* text : {"31", "pal", "", static_cast<const char*>(nullptr)})  // exact, case-sensitive
        EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromFrameRate(text)) << (text ? text : "null");
    for (int old : {0, -7}) EXPECT_EQ(KTime::eMode30, KTime_GetTimeModeFromOldValue(old));
    for (int mode : {int(KTime::eMode1000), 99, -3}) {
        const auto m = static_cast<KTime::ETimeMode>(mode);
        EXPECT_TRUE(KTime_GetOldTimeModeCorrespondance(m) == 3 && !*KTime_GetGlobalFrameRateString(m)) << mode;
    }
    for (auto rate : {std::make_pair(25.0, KTime::eModePal), std::make_pair(29.97003, KTime::eModeNtscDrop),
                      std::make_pair(23.976, KTime::eMode23976), std::make_pair(17.0, KTime::eModeDefault)})
        EXPECT_EQ(rate.second, KTime::ConvertFrameRateToTimeMode(rate.first, 0.001)) << rate.first;
}

// Seconds are truncated toward zero from the double product (1/30 s is exactly one
// frame); out of range saturates at the infinities, NaN gives 0. Times are set in
// the mode given, or the global mode at call time (0 reads as 30 fps); an unknown
// mode leaves the time alone.
TEST(KTime, SetSecondDoubleSetTimeFramesAndSeconds) {
    const std::pair<double, long long> cases[] = {
        {1.0 / 30.0, 1539538600LL}, {-1.0 / 30.0, -1539538600LL}, {1e-11, 0} /* 0.46 ticks */, {-1e-11, 0},
        {2.5, 115465395000LL}, {2e8, KTime::kInfiniteTicks}, {1e300, KTime::kInfiniteTicks},
        {-std::numeric_limits<double>::infinity(), KTime::kMinusInfiniteTicks}, {std::nan(""), 0}};
    for (const auto& c : cases) {
        KTime t(77);
        t.SetSecondDouble(c.first);
        EXPECT_EQ(c.second, t.Get()) << c.first;
    }
    const long long ntsc = 1539538600LL, pal = 1847446320LL, second = KTime::kTicksPerSecond;
    const struct { int h, m, s, frame, field, mode; long long ticks; } times[] = {
        {0, 0, 0, 7, 0, KTime::eMode30, 7 * ntsc}, {1, 2, 3, 0, 0, KTime::eMode30, 3723 * second},
        {0, 0, 1, 2, 1, KTime::eModePal, second + 5 * pal / 2}, {0, 0, 0, 1, 0, 0, ntsc}, {0, 0, 1, 0, 0, 14, 42}};
    for (const auto& c : times) {
        KTime t(42);
        t.SetTime(c.h, c.m, c.s, c.frame, c.field, c.mode);
        EXPECT_EQ(c.ticks, t.Get()) << c.h << ":" << c.m << ":" << c.s << "." << c.frame << " mode " << c.mode;
    }
    KTime::SetGlobalTimeMode(KTime::eModePal);
    KTime t;
    t.SetTime(0, 0, 0, 1);
    EXPECT_TRUE(t.Get() == pal && KTime::GetFrameRate(KTime::eModeDefault) == 25.0);
    KTime::SetGlobalTimeMode(KTime::eModeDefault);
    const KTime s(125 * second + 3 * ntsc);
    const kLongLong read[] = {KTime(10 * ntsc + 5).GetFrame(true, KTime::eMode30), KTime(ntsc).GetFrame(true, 14),
                              KTime(-10 * ntsc).GetFrame(true, KTime::eMode30), s.GetSecond(true), s.GetSecond(false),
                              s.GetFrame(false, KTime::eMode30)};
    const kLongLong frames[] = {10, 0, -10, 125, 5, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(frames[i], read[i]) << i;
}

// No overflow trap: results wrap as 64-bit integers do; division by zero saturates.
TEST(KTime, InfinitiesArithmeticWrapsAndDivides) {
    const long long min = std::numeric_limits<long long>::min();
    EXPECT_TRUE(KTime::MinusInfinite().Get() == min + 1 && KTime::MinusInfinite() == -KTime::Infinite());
    EXPECT_TRUE(KTimeSpan::Infinite().IsInside(KTime(0)) && KTimeSpan::Infinite().IsInside(KTime::Infinite()));
    const KTime a(10), b(3);
    KTime c(5);
    (c += a) -= b;
    const long long results[] = {(a + b).Get(), (a - b).Get(), (a * 3).Get(), (a * b).Get(), (a / b).Get(), c.Get(),
                                 (KTime(-10) / b).Get(), (a / KTime(-1)).Get(), (KTime::Infinite() + KTime(1)).Get(),
                                 (KTime(min) - KTime(1)).Get(), (KTime(min) / KTime(-1)).Get(), (a / KTime(0)).Get(),
                                 (KTime(-4) / KTime(0)).Get(), (KTime(0) / KTime(0)).Get()};
    const long long expected[] = {13, 7, 30, 30, 3, 12, -3, -10, min, -(min + 1), min, -(min + 1), min + 1, 0};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(expected[i], results[i]) << i;
}
