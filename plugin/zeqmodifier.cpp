#include "plugin/zeqmodifier.h"

#include <cmath>
#include <limits>

namespace {
const double kRadiansToDegrees = 57.29577951308232;
const double kDegreesToRadians = 0.017453292519943295;

// A double cut toward zero into an integer type, saturating (a field of view is finite, but a
// focal length of 0 gives 180 and bad data may give NaN).
template <class I>
I Cut(double v) {
    if (std::isnan(v)) return 0;
    if (v <= static_cast<double>(std::numeric_limits<I>::min())) return std::numeric_limits<I>::min();
    if (v >= static_cast<double>(std::numeric_limits<I>::max())) return std::numeric_limits<I>::max();
    return static_cast<I>(v);
}

float ToFloat(double v) {
    if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (v < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}
}  // namespace

double ZeqFocalLengthToFOVModifier::Modify(double value) { return 2.0 * std::atan(0.5 * Size() / value) * kRadiansToDegrees; }
float ZeqFocalLengthToFOVModifier::Modify(float value) { return ToFloat(Modify(static_cast<double>(value))); }
int ZeqFocalLengthToFOVModifier::Modify(int value) { return Cut<int>(Modify(static_cast<double>(value))); }
long ZeqFocalLengthToFOVModifier::Modify(long value) { return Cut<long>(Modify(static_cast<double>(value))); }
unsigned int ZeqFocalLengthToFOVModifier::Modify(unsigned int value) {
    return Cut<unsigned int>(Modify(static_cast<double>(value)));
}

double ZeqFOVToFocalLengthModifier::Modify(double value) {
    return value == 0 ? 0 : 0.5 * Size() / std::tan(value * kDegreesToRadians * 0.5);
}
float ZeqFOVToFocalLengthModifier::Modify(float value) { return ToFloat(Modify(static_cast<double>(value))); }
