#ifndef ZEQ_BASE_KTIME_H
#define ZEQ_BASE_KTIME_H

#include "base/kdefs.h"

namespace zeqsdk_400 {

// Signed 64-bit count of ticks, 46186158000 per second. The largest value means
// "no time" or plus infinity, the smallest plus one minus infinity.
class KTime {
public:
    enum ETimeMode {
        eModeDefault = 0,
        eMode120 = 1,
        eMode100 = 2,
        eMode60 = 3,
        eMode50 = 4,
        eMode48 = 5,
        eMode30 = 6,
        eMode30Drop = 7,
        eModeNtscDrop = 8,
        eModeNtscFull = 9,
        eModePal = 10,
        eMode24 = 11,
        eMode1000 = 12,
        eMode23976 = 13,
        eModeCount = 14
    };
    enum ETimeProtocol { eProtocolSmpte = 0, eProtocolFrame = 1, eProtocolDefault = 2 };

    static constexpr kLongLong kTicksPerSecond = 46186158000LL;
    static constexpr kLongLong kInfiniteTicks = 0x7FFFFFFFFFFFFFFFLL;
    static constexpr kLongLong kMinusInfiniteTicks = -0x7FFFFFFFFFFFFFFFLL;

    constexpr KTime() : mTime(0) {}
    constexpr explicit KTime(kLongLong ticks) : mTime(ticks) {}
    static constexpr KTime Infinite() { return KTime(kInfiniteTicks); }
    static constexpr KTime MinusInfinite() { return KTime(kMinusInfiniteTicks); }
    static constexpr KTime OneSecond() { return KTime(kTicksPerSecond); }

    constexpr kLongLong Get() const { return mTime; }
    void Set(kLongLong ticks) { mTime = ticks; }

    // Seconds times the tick rate, truncated toward zero; saturates at the infinities.
    void SetSecondDouble(double seconds);
    double GetSecondDouble() const { return static_cast<double>(mTime) / static_cast<double>(kTicksPerSecond); }
    void SetMilliSeconds(kLongLong ms) { mTime = ms * (kTicksPerSecond / 1000); }
    kLongLong GetMilliSeconds() const { return mTime / (kTicksPerSecond / 1000); }

    // ((hours * 60 + minutes) * 60 + seconds) seconds plus frames and fields of the
    // mode; mode 0 is the global mode at the time of the call. A mode outside
    // 1 to 13 leaves the time unchanged.
    void SetTime(int hours, int minutes, int seconds, int frames = 0, int field = 0, int timeMode = eModeDefault);
    // Cumulative: whole frames of the mode; otherwise the frame within its second.
    // A mode outside 1 to 13 gives 0.
    kLongLong GetFrame(bool cumulative = true, int timeMode = eModeDefault) const;
    // Cumulative: whole seconds; otherwise the second within its minute.
    kLongLong GetSecond(bool cumulative = true, int timeMode = eModeDefault) const;

    static double GetFrameRate(ETimeMode timeMode);
    // One frame of the mode in ticks; mode 0 is the global mode.
    static KTime GetOneFrameValue(ETimeMode timeMode = eModeDefault);
    // The mode of the first table row whose rate lies within precision of rate; 0 when none.
    static ETimeMode ConvertFrameRateToTimeMode(double rate, double precision = 0.00000001);

    static void SetGlobalTimeMode(ETimeMode timeMode);
    // The global time mode as set; 0 stands for the default mode.
    static ETimeMode GetGlobalTimeMode();
    static void SetGlobalTimeProtocol(ETimeProtocol protocol);
    static ETimeProtocol GetGlobalTimeProtocol();
    // A mode with 0 replaced by the global mode, and a global 0 by the default mode.
    static ETimeMode ResolveTimeMode(int timeMode);

    // Wrapping 64-bit arithmetic on the tick counts.
    KTime operator+(const KTime& t) const { return KTime(Wrap(U(mTime) + U(t.mTime))); }
    KTime operator-(const KTime& t) const { return KTime(Wrap(U(mTime) - U(t.mTime))); }
    KTime operator-() const { return KTime(Wrap(U(0) - U(mTime))); }
    KTime operator*(int factor) const { return KTime(Wrap(U(mTime) * U(factor))); }
    KTime operator*(const KTime& t) const { return KTime(Wrap(U(mTime) * U(t.mTime))); }
    // Whole quotient, truncated toward zero; a zero divisor saturates.
    KTime operator/(const KTime& t) const;
    KTime& operator+=(const KTime& t) { return *this = *this + t; }
    KTime& operator-=(const KTime& t) { return *this = *this - t; }

    constexpr bool operator==(const KTime& t) const { return mTime == t.mTime; }
    constexpr bool operator!=(const KTime& t) const { return mTime != t.mTime; }
    constexpr bool operator<(const KTime& t) const { return mTime < t.mTime; }
    constexpr bool operator<=(const KTime& t) const { return mTime <= t.mTime; }
    constexpr bool operator>(const KTime& t) const { return mTime > t.mTime; }
    constexpr bool operator>=(const KTime& t) const { return mTime >= t.mTime; }

private:
    static constexpr kULongLong U(kLongLong v) { return static_cast<kULongLong>(v); }
    static constexpr kLongLong Wrap(kULongLong v) { return static_cast<kLongLong>(v); }

    kLongLong mTime;
};

// A start and a stop time.
class KTimeSpan {
public:
    constexpr KTimeSpan() = default;
    constexpr KTimeSpan(KTime start, KTime stop) : mStart(start), mStop(stop) {}
    // The whole time line, minus to plus infinity.
    static constexpr KTimeSpan Infinite() { return KTimeSpan(KTime::MinusInfinite(), KTime::Infinite()); }

    void Set(KTime start, KTime stop) {
        mStart = start;
        mStop = stop;
    }
    void SetStart(KTime start) { mStart = start; }
    void SetStop(KTime stop) { mStop = stop; }
    KTime GetStart() const { return mStart; }
    KTime GetStop() const { return mStop; }
    KTime GetDuration() const { return mStop - mStart; }
    bool IsInside(KTime t) const { return t >= mStart && t <= mStop; }

    bool operator==(const KTimeSpan& s) const { return mStart == s.mStart && mStop == s.mStop; }
    bool operator!=(const KTimeSpan& s) const { return !(*this == s); }

private:
    KTime mStart;
    KTime mStop;
};

// The frame-rate mode table as the field files use it.
// Old numeric code of a mode; 3 for a mode not in the table.
int KTime_GetOldTimeModeCorrespondance(KTime::ETimeMode timeMode);
// Mode of the first usable row with the old code; 6 (30 fps) when none.
KTime::ETimeMode KTime_GetTimeModeFromOldValue(int oldValue);
// Mode whose rate name or label equals the text exactly; 6 when none.
KTime::ETimeMode KTime_GetTimeModeFromFrameRate(const char* text);
// Rate name of a mode; "" for a mode not in the table.
const char* KTime_GetGlobalFrameRateString(KTime::ETimeMode timeMode);
// Label of a mode ("30 fps", "PAL", ...); "" for a mode outside the table.
const char* KTime_GetTimeModeLabel(KTime::ETimeMode timeMode);

}  // namespace zeqsdk_400

#endif
