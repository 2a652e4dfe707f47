// Animation curves of the host converted into Zeq curves.
// Not built yet: each operation below is an empty stub that exports nothing.
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::SetFCurve(TFnAnimCurve&, KFCurve&, bool, double) {}
void ZeqTuloExport::SetFCurve(const TFnTransform&, const char*, KFCurveNode&, const char*, const char*, bool, double) {}
void ZeqTuloExport::ConvertTuloCurve(const TFnTransform&, KFCurveNode&, bool) {}
void ZeqTuloExport::SetRotationFCurve(const TFnTransform&, KFCurveNode&, TEulerRotation::RotationOrder) {}
