// Animation curves of the host converted into Zeq curves: the driver's entry points into the curve
// conversion, with the user options read at each call.
#include "plugin/export/zeqtulocurveconversion.h"
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::SetFCurve(TFnAnimCurve& hostCurve, KFCurve& curve, bool force, double factor) {
    ZeqTuloSetFCurve(hostCurve, curve, force, factor, ZeqTuloCurveOptions::FromUserParams());
}

void ZeqTuloExport::SetFCurve(const TFnTransform& transform, const char* plugName, KFCurveNode& curveNode,
                              const char* channel, const char* axis, bool force, double factor) {
    ZeqTuloSetFCurve(transform, plugName, curveNode, channel, axis, force, factor,
                     ZeqTuloCurveOptions::FromUserParams());
}

void ZeqTuloExport::ConvertTuloCurve(const TFnTransform& transform, KFCurveNode& curveNode, bool force) {
    ZeqTuloConvertTuloCurve(transform, curveNode, force, ZeqTuloCurveOptions::FromUserParams());
}

void ZeqTuloExport::SetRotationFCurve(const TFnTransform& transform, KFCurveNode& rotationNode,
                                      TEulerRotation::RotationOrder order) {
    ZeqTuloSetRotationFCurve(transform, rotationNode, order, ZeqTuloCurveOptions::FromUserParams());
}
