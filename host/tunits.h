// Units of the host API stand-in. Internal units are centimetres, radians and seconds; the UI
// units are plain settable state that survives a scene reset.
#pragma once

#include "tstatus.h"

class TTime {
public:
    // Units per second: 1 h, 2 min, 3 s, 4 ms, 5 15, 6 24, 7 and 8 30, 9 48, 10 50, 11 60;
    // any other code counts as seconds.
    enum Unit { kInvalid = 0, kHours = 1, kMinutes = 2, kSeconds = 3, kMilliseconds = 4, kGames = 5,
                kFilm = 6, kPALFrame = 6, kNTSCFrame = 7, kShowScan = 9, kPALField = 10, kNTSCField = 11,
                kLast = 12 };
    TTime() = default;
    TTime(double value, int unit = uiUnit()) : value_(value), unit_(unit) {}
    double value() const { return value_; }
    Unit unit() const { return static_cast<Unit>(unit_); }
    // The same instant in another unit.
    double as(int unit) const;
    TStatus setValue(double value) {
        value_ = value;
        return TStatus::kSuccess;
    }
    TStatus setUnit(int unit);
    double seconds() const;
    bool operator==(const TTime& o) const { return seconds() == o.seconds(); }
    bool operator<(const TTime& o) const { return seconds() < o.seconds(); }

    static Unit uiUnit();
    static TStatus setUIUnit(int unit);
    static double unitsPerSecond(int unit);

private:
    double value_ = 0;
    int unit_ = kSeconds;
};

class TDistance {
public:
    // 1 in, 2 ft, 3 yd, 4 mi, 5 mm, 6 cm, 7 km, 8 m.
    enum Unit { kInvalid = 0, kInches = 1, kFeet = 2, kYards = 3, kMiles = 4, kMillimeters = 5,
                kCentimeters = 6, kKilometers = 7, kMeters = 8, kLast = 9 };
    TDistance() = default;
    TDistance(double value, int unit = kCentimeters) : value_(value), unit_(unit) {}
    double value() const { return value_; }
    Unit unit() const { return static_cast<Unit>(unit_); }
    double as(int unit) const;
    double asCentimeters() const { return as(kCentimeters); }
    TStatus setValue(double value) {
        value_ = value;
        return TStatus::kSuccess;
    }

    static Unit uiUnit();
    static Unit internalUnit() { return kCentimeters; }
    static TStatus setUIUnit(int unit);
    static double centimetresPer(int unit);  // 0 for an invalid code

private:
    double value_ = 0;
    int unit_ = kCentimeters;
};

class TAngle {
public:
    enum Unit { kInvalid = 0, kRadians = 1, kDegrees = 2, kLast = 3 };
    TAngle() = default;
    TAngle(double value, int unit = kRadians) : value_(value), unit_(unit) {}
    double value() const { return value_; }
    Unit unit() const { return static_cast<Unit>(unit_); }
    double as(int unit) const;
    double asRadians() const { return as(kRadians); }
    double asDegrees() const { return as(kDegrees); }
    TStatus setValue(double value) {
        value_ = value;
        return TStatus::kSuccess;
    }

    static Unit uiUnit();
    static Unit internalUnit() { return kRadians; }
    static TStatus setUIUnit(int unit);
    static double radiansPer(int unit);  // 0 for an invalid code

private:
    double value_ = 0;
    int unit_ = kRadians;
};
