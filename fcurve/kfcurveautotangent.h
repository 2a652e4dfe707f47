#ifndef ZEQ_FCURVE_KFCURVEAUTOTANGENT_H
#define ZEQ_FCURVE_KFCURVEAUTOTANGENT_H

#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurve;

// The length of a segment in seconds as auto tangents measure it, in single
// precision; evaluation takes the same figure so that both agree exactly.
inline float KFCURVE_SegmentSeconds(KTime from, KTime to) {
    return static_cast<float>(static_cast<double>((to - from).Get()) *
                              (1.0 / static_cast<double>(KTime::kTicksPerSecond)));
}

// Conversions between a key's auto tangent parameter and its Bezier
// derivatives. The auto parameter a is percentage-like: 0 gives the mean of
// the slopes around the key, 100 and -100 the one-sided slopes, and beyond
// +/-500 the tangent sweeps away quadratically. TL is the slope from the
// previous key, TR the slope to the next one (value units per second).

// The slopes around key i (two keys or more). On a curve with fewer keys, or
// for an index outside it, both are 0.
void KFCURVE_ComputeToLeftAndToRight(double& toLeft, double& toRight, KFCurve* curve, int index);

// (out derivative, a, TL, TR)
void KFCURVE_ComputeLeftBezierFromAuto(double& derivative, double& autoValue, double& toLeft, double& toRight);
void KFCURVE_ComputeRightBezierFromAuto(double& derivative, double& autoValue, double& toLeft, double& toRight);
// (out a, derivative, TL, TR). A derivative below 1e-5 in magnitude is
// written back as 0.
void KFCURVE_ComputeLeftAutoFromBezier(double& autoValue, double& derivative, double& toLeft, double& toRight);
void KFCURVE_ComputeRightAutoFromBezier(double& autoValue, double& derivative, double& toLeft, double& toRight);
// Both sides at once.
void KFCURVE_ComputeBezierFromAuto(double& leftDerivative, double& rightDerivative, double& leftAuto,
                                   double& rightAuto, double& toLeft, double& toRight);
void KFCURVE_ComputeAutoFromBezier(double& leftAuto, double& rightAuto, double& leftDerivative,
                                   double& rightDerivative, double& toLeft, double& toRight);

// The same around key i of a curve. A curve without keys gives 0 outputs,
// except KFCURVE_ComputeAutoFromBezierForKey, which then sets its two
// derivative arguments to 0 and leaves its outputs alone.
void KFCURVE_ComputeBezierFromAutoForKey(double& leftDerivative, double& rightDerivative, double& leftAuto,
                                         double& rightAuto, KFCurve* curve, int index);
void KFCURVE_ComputeAutoFromBezierForKey(double& leftAuto, double& rightAuto, double& leftDerivative,
                                         double& rightDerivative, KFCurve* curve, int index);
void KFCURVE_ComputeLeftBezierFromAutoForKey(double& derivative, double& autoValue, KFCurve* curve, int index);
void KFCURVE_ComputeLeftAutoFromBezierForKey(double& autoValue, double& derivative, KFCurve* curve, int index);
void KFCURVE_ComputeRightBezierFromAutoForKey(double& derivative, double& autoValue, KFCurve* curve, int index);
void KFCURVE_ComputeRightAutoFromBezierForKey(double& autoValue, double& derivative, KFCurve* curve, int index);

}  // namespace zeqsdk_400

#endif
