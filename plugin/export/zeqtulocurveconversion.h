#ifndef ZEQ_PLUGIN_EXPORT_ZEQTULOCURVECONVERSION_H
#define ZEQ_PLUGIN_EXPORT_ZEQTULOCURVECONVERSION_H

#include "tfnanimcurve.h"
#include "tfntransform.h"

namespace zeqsdk_400 {
class ZeqLogFile;
class KFCurve;
class KFCurveNode;
}  // namespace zeqsdk_400

// What the export's curve conversion takes from the user options.
struct ZeqTuloCurveOptions {
    // Samples per second of a curve that cannot be copied key for key: positive, finite and
    // giving a period of at least one tick.
    double mSamplingRate = 30.0;
    // The rate asked for, when it could not serve and mSamplingRate replaced it.
    bool mRateReplaced = false;
    double mAskedRate = 30.0;
    // Run the constant key reducer (first and last keys kept) on each converted curve.
    bool mApplyConstantKeyReducer = true;
    // Where a curve sampled for want of keys that hold it is said; none when null.
    zeqsdk_400::ZeqLogFile* mLog = nullptr;

    // Entries kExportSamplingRate and kExportApplyCstKeyRed of the plug-in's user parameters.
    static ZeqTuloCurveOptions FromUserParams();
    // A usable rate stays; any other (not finite, not positive, under a tick) gives 30.
    void SetSamplingRate(double rate);
    // The log line telling that the asked rate was replaced ("" when it was not).
    const char* RateWarning() const;
};

// Host animation curves into Zeq curves. The host gives tangents in its UI units (time and the
// curve's value kind); they are converted to value per second first, so the Zeq slopes do not
// depend on the user's unit settings.

// Replaces the curve's keys by the host curve's, values and slopes times scale: key for key (each
// segment the host plays one Zeq segment) unless force is set or the curve has slow or fast tangents,
// which no Zeq key holds: then sampled at the options' rate, said in the options' log. A host curve
// without keys leaves the curve as it was.
void ZeqTuloSetFCurve(const TFnAnimCurve& host, zeqsdk_400::KFCurve& curve, bool force, double scale,
                      const ZeqTuloCurveOptions& options);
// The curve driving the transform's plug into the curve of channel / axis under node; nothing
// when the plug, its curve or the channel is missing.
void ZeqTuloSetFCurve(const TFnTransform& transform, const char* plugName, zeqsdk_400::KFCurveNode& node,
                      const char* channel, const char* axis, bool force, double scale,
                      const ZeqTuloCurveOptions& options);
// The nine translation, scaling and rotation channels (rotation in degrees) of a take's curve
// node.
void ZeqTuloConvertTuloCurve(const TFnTransform& transform, zeqsdk_400::KFCurveNode& node, bool force,
                             const ZeqTuloCurveOptions& options);
// The three rotate curves sampled together over their joint span, each sample re-expressed from
// the given order in XYZ order, in degrees, into the "X", "Y" and "Z" curves under node. An axis
// no curve drives holds the plug's value.
void ZeqTuloSetRotationFCurve(const TFnTransform& transform, zeqsdk_400::KFCurveNode& node,
                              TEulerRotation::RotationOrder order, const ZeqTuloCurveOptions& options);

#endif
