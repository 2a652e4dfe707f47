// Animation curves of the host converted into Zeq curves: the driver's entry points into the curve
// conversion, with the user options read at each call.
#include "plugin/export/zeqtulocurveconversion.h"
#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

// The options of the moment, with the export's log for what the conversion says.
ZeqTuloCurveOptions ZeqTuloExport::CurveOptions() const {
    ZeqTuloCurveOptions options = ZeqTuloCurveOptions::FromUserParams();
    options.mLog = mLog.get();
    return options;
}

void ZeqTuloExport::SetFCurve(TFnAnimCurve& hostCurve, KFCurve& curve, bool force, double factor) {
    ZeqTuloSetFCurve(hostCurve, curve, force, factor, CurveOptions());
}

void ZeqTuloExport::SetFCurve(const TFnTransform& transform, const char* plugName, KFCurveNode& curveNode,
                              const char* channel, const char* axis, bool force, double factor) {
    ZeqTuloSetFCurve(transform, plugName, curveNode, channel, axis, force, factor, CurveOptions());
}

void ZeqTuloExport::ConvertTuloCurve(const TFnTransform& transform, KFCurveNode& curveNode, bool force) {
    ZeqTuloConvertTuloCurve(transform, curveNode, force, CurveOptions());
}

void ZeqTuloExport::SetRotationFCurve(const TFnTransform& transform, KFCurveNode& rotationNode,
                                      TEulerRotation::RotationOrder order) {
    ZeqTuloSetRotationFCurve(transform, rotationNode, order, CurveOptions());
}
