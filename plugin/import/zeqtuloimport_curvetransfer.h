#ifndef ZEQ_PLUGIN_IMPORT_ZEQTULOIMPORT_CURVETRANSFER_H
#define ZEQ_PLUGIN_IMPORT_ZEQTULOIMPORT_CURVETRANSFER_H

#include "base/ktime.h"

namespace zeqsdk_400 {
class KFCurve;
}  // namespace zeqsdk_400

class TPlug;

// Free services of the curve transfer (zeqtuloimport_curvetransfer.cpp).

// True when any key of the curve has a weighted left or right tangent.
bool HasWeightedTangent(zeqsdk_400::KFCurve& curve);
// With driven keys protected (user parameter kProtectDrivenKeys), whether the host names drivers
// for the plug; always false otherwise.
bool IsDriven(TPlug& plug);
// One over the import sampling rate; a rate that is not positive counts as 30 per second.
zeqsdk_400::KTime ZeqTuloImportSamplingPeriod();
// How many samples start, start + period, ... stay below last + period; -1 when they would be more
// than kZeqTuloImportMaxSamples (a span no host curve should take) or run past the time line.
constexpr long long kZeqTuloImportMaxSamples = 10000000;
long long ZeqTuloImportSampleCount(zeqsdk_400::KTime start, zeqsdk_400::KTime last, zeqsdk_400::KTime period);

#endif
