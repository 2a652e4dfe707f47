#include "tunits.h"

#include <cmath>

#include "scene.h"

namespace {
// Units per second by time code, and centimetres / radians per unit; 0 marks an invalid code.
const double kUnitsPerSecond[] = {1, 1.0 / 3600, 1.0 / 60, 1, 1000, 15, 24, 30, 30, 48, 50, 60};
const double kCmPer[] = {0, 2.54, 30.48, 91.44, 160934.4, 0.1, 1, 100000, 100};
const double kRadiansPer[] = {0, 1, M_PI / 180};
}  // namespace

double TTime::unitsPerSecond(int unit) {
    return unit >= 1 && unit <= 11 ? kUnitsPerSecond[unit] : 1;  // other codes act as seconds
}
double TTime::seconds() const { return value_ / unitsPerSecond(unit_); }
double TTime::as(int unit) const { return seconds() * unitsPerSecond(unit); }
TStatus TTime::setUnit(int unit) {
    if (unit <= 0) return TStatus::kFailure;
    unit_ = unit;
    return TStatus::kSuccess;
}
TTime::Unit TTime::uiUnit() { return static_cast<Unit>(tulo_detail::scene().uiTime); }
TStatus TTime::setUIUnit(int unit) {
    // Codes past the table are accepted and count as seconds.
    if (unit <= 0 || unit > 63) return TStatus::kFailure;
    tulo_detail::scene().uiTime = unit;
    return TStatus::kSuccess;
}

double TDistance::centimetresPer(int unit) { return unit >= 1 && unit <= 8 ? kCmPer[unit] : 0; }
double TDistance::as(int unit) const {
    double from = centimetresPer(unit_), to = centimetresPer(unit);
    return from > 0 && to > 0 ? value_ * from / to : value_;
}
TDistance::Unit TDistance::uiUnit() { return static_cast<Unit>(tulo_detail::scene().uiDistance); }
TStatus TDistance::setUIUnit(int unit) {
    if (centimetresPer(unit) == 0) return TStatus::kFailure;
    tulo_detail::scene().uiDistance = unit;
    return TStatus::kSuccess;
}

double TAngle::radiansPer(int unit) { return unit >= 1 && unit <= 2 ? kRadiansPer[unit] : 0; }
double TAngle::as(int unit) const {
    double from = radiansPer(unit_), to = radiansPer(unit);
    return from > 0 && to > 0 ? value_ * from / to : value_;
}
TAngle::Unit TAngle::uiUnit() { return static_cast<Unit>(tulo_detail::scene().uiAngle); }
TStatus TAngle::setUIUnit(int unit) {
    if (radiansPer(unit) == 0) return TStatus::kFailure;
    tulo_detail::scene().uiAngle = unit;
    return TStatus::kSuccess;
}
