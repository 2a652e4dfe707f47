// Curve transfer: Zeq curves onto host animation curves. Not built yet: stubs that transfer
// nothing.
#include "plugin/import/zeqtuloimport.h"

TStatus ZeqTuloImport::SetTuloCurve(TFnTransform& /*transform*/, const char* /*attribute*/,
                                    zeqsdk_400::KFCurve& /*curve*/, TFnAnimCurve::AnimCurveType /*type*/,
                                    double /*valueDivisor*/, double /*slopeDivisor*/, TStatus* status) {
    if (status) *status = TStatus::kFailure;
    return TStatus::kFailure;
}
TStatus ZeqTuloImport::SetTuloCurve(TPlug& /*plug*/, zeqsdk_400::KFCurve& /*curve*/,
                                    TFnAnimCurve::AnimCurveType /*type*/, double /*valueDivisor*/,
                                    double /*slopeDivisor*/) {
    return TStatus::kFailure;
}
TStatus ZeqTuloImport::SetTuloCurve(TFnAnimCurve& /*hostCurve*/, zeqsdk_400::KFCurve& /*curve*/,
                                    double /*valueDivisor*/, double /*slopeDivisor*/, TStatus* /*attachStatus*/) {
    return TStatus::kFailure;
}
int ZeqTuloImport::GetInfinityType(int /*extrapolation*/) const { return 0; }
