// Tangent slopes and lengths of curve keys (internal per second, seconds).
#pragma once

#include <cstddef>

namespace tulo_detail {

struct CurveData;

enum TangentKind { kGlobal = 0, kFixed = 1, kLinear = 2, kFlat = 3, kSmooth = 4, kStep = 5, kClamped = 8 };

double keySlope(const CurveData& c, std::size_t i, bool in);
double keyLength(const CurveData& c, std::size_t i, bool in);

}  // namespace tulo_detail
