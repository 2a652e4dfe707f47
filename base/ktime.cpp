#include "base/ktime.h"

#include <cmath>
#include <cstring>

namespace zeqsdk_400 {

namespace {

struct TimeModeRow {
    KTime::ETimeMode mMode;
    const char* mRateName;     // written as "FrameRate"; "" when the mode is not stored by name
    const char* mLabel;        // also accepted on reading
    int mOldCode;              // written as "TimeMode"
    bool mOldCodeLookup;       // row usable when mapping an old code back to a mode
    double mFramesPerSecond;
    kLongLong mTicksPerFrame;  // rounded for the fractional NTSC rates
    bool mInFileTable;         // false: the mode has no name of its own in files
};

// Frame-rate modes in table order; the file lookups take the first matching row.
const TimeModeRow kTimeModes[] = {
    {KTime::eMode120, "120", "120 fps", 8, true, 120.0, 384884650LL, true},
    {KTime::eMode100, "100", "100 fps", 7, true, 100.0, 461861580LL, true},
    {KTime::eMode60, "60", "60 fps", 6, true, 60.0, 769769300LL, true},
    {KTime::eMode50, "50", "50 fps", 5, true, 50.0, 923723160LL, true},
    {KTime::eMode48, "48", "48 fps", 3, false, 48.0, 962211625LL, true},
    {KTime::eMode30, "30", "30 fps", 3, true, 30.0, 1539538600LL, true},
    {KTime::eMode30Drop, "30 Drop", "30 Drop", 10, true, 30.0, 1539538600LL, true},
    {KTime::eModeNtscDrop, "29.97 drop", "NTSC Drop", 4, true, 30000.0 / 1001.0, 1541078139LL, true},
    {KTime::eModeNtscFull, "29.97 full", "NTSC Full", 9, true, 30000.0 / 1001.0, 1541078139LL, true},
    {KTime::eModePal, "25", "PAL", 2, true, 25.0, 1847446320LL, true},
    {KTime::eMode24, "24", "24 fps", 1, true, 24.0, 1924423250LL, true},
    {KTime::eMode23976, "23.976", "23.976 fps", 10, false, 24000.0 / 1001.0, 1926347673LL, true},
    {KTime::eMode1000, "", "1000 fps", 3, false, 1000.0, 46186158LL, false},
};

const TimeModeRow* FindRow(int mode) {
    for (const TimeModeRow& row : kTimeModes)
        if (row.mMode == mode) return &row;
    return nullptr;
}

int gGlobalTimeMode = KTime::eModeDefault;
int gGlobalTimeProtocol = KTime::eProtocolDefault;

const KTime::ETimeMode kDefaultMode = KTime::eMode30;

}  // namespace

void KTime::SetSecondDouble(double seconds) {
    double ticks = seconds * static_cast<double>(kTicksPerSecond);
    if (std::isnan(ticks))
        mTime = 0;
    else if (ticks >= 9.2233720368547758e18)
        mTime = kInfiniteTicks;
    else if (ticks <= -9.2233720368547758e18)
        mTime = kMinusInfiniteTicks;
    else
        mTime = static_cast<kLongLong>(ticks);  // truncation toward zero
}

KTime::ETimeMode KTime::ResolveTimeMode(int timeMode) {
    if (timeMode == eModeDefault) timeMode = gGlobalTimeMode;
    if (timeMode == eModeDefault) timeMode = kDefaultMode;
    return static_cast<ETimeMode>(timeMode);
}

void KTime::SetTime(int hours, int minutes, int seconds, int frames, int field, int timeMode) {
    const TimeModeRow* row = FindRow(ResolveTimeMode(timeMode));
    if (!row) return;
    kULongLong totalSeconds = (U(hours) * 60u + U(minutes)) * 60u + U(seconds);
    kULongLong ticks = totalSeconds * U(kTicksPerSecond) + U(frames) * U(row->mTicksPerFrame) +
                       U(field) * U(row->mTicksPerFrame / 2);
    mTime = Wrap(ticks);
}

kLongLong KTime::GetFrame(bool cumulative, int timeMode) const {
    const TimeModeRow* row = FindRow(ResolveTimeMode(timeMode));
    if (!row) return 0;
    if (cumulative) return mTime / row->mTicksPerFrame;
    return (mTime % kTicksPerSecond) / row->mTicksPerFrame;
}

kLongLong KTime::GetSecond(bool cumulative, int) const {
    kLongLong s = mTime / kTicksPerSecond;
    return cumulative ? s : s % 60;
}

double KTime::GetFrameRate(ETimeMode timeMode) {
    const TimeModeRow* row = FindRow(ResolveTimeMode(timeMode));
    return row ? row->mFramesPerSecond : 0.0;
}

KTime KTime::GetOneFrameValue(ETimeMode timeMode) {
    const TimeModeRow* row = FindRow(ResolveTimeMode(timeMode));
    return KTime(row ? row->mTicksPerFrame : 0);
}

KTime::ETimeMode KTime::ConvertFrameRateToTimeMode(double rate, double precision) {
    for (const TimeModeRow& row : kTimeModes)
        if (std::fabs(row.mFramesPerSecond - rate) <= precision) return row.mMode;
    return eModeDefault;
}

void KTime::SetGlobalTimeMode(ETimeMode timeMode) { gGlobalTimeMode = timeMode; }
KTime::ETimeMode KTime::GetGlobalTimeMode() { return static_cast<ETimeMode>(gGlobalTimeMode); }
void KTime::SetGlobalTimeProtocol(ETimeProtocol protocol) { gGlobalTimeProtocol = protocol; }
KTime::ETimeProtocol KTime::GetGlobalTimeProtocol() { return static_cast<ETimeProtocol>(gGlobalTimeProtocol); }

KTime KTime::operator/(const KTime& t) const {
    if (t.mTime == 0) return mTime > 0 ? Infinite() : (mTime < 0 ? MinusInfinite() : KTime());
    if (t.mTime == -1) return -*this;  // the one quotient that can overflow
    return KTime(mTime / t.mTime);
}

int KTime_GetOldTimeModeCorrespondance(KTime::ETimeMode timeMode) {
    const TimeModeRow* row = FindRow(timeMode);
    return row && row->mInFileTable ? row->mOldCode : 3;
}

KTime::ETimeMode KTime_GetTimeModeFromOldValue(int oldValue) {
    for (const TimeModeRow& row : kTimeModes)
        if (row.mInFileTable && row.mOldCodeLookup && row.mOldCode == oldValue) return row.mMode;
    return KTime::eMode30;
}

KTime::ETimeMode KTime_GetTimeModeFromFrameRate(const char* text) {
    if (!text) return KTime::eMode30;
    for (const TimeModeRow& row : kTimeModes)
        if (row.mInFileTable && (std::strcmp(row.mRateName, text) == 0 || std::strcmp(row.mLabel, text) == 0))
            return row.mMode;
    return KTime::eMode30;
}

const char* KTime_GetGlobalFrameRateString(KTime::ETimeMode timeMode) {
    const TimeModeRow* row = FindRow(timeMode);
    return row ? row->mRateName : "";
}

const char* KTime_GetTimeModeLabel(KTime::ETimeMode timeMode) {
    const TimeModeRow* row = FindRow(timeMode);
    return row ? row->mLabel : "";
}

}  // namespace zeqsdk_400
