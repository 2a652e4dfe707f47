#include "fcurve/kfcurveautotangent.h"

#include <algorithm>
#include <cmath>

#include "fcurve/kfcurve.h"

namespace zeqsdk_400 {

namespace {

// A slope of one segment, from single-precision differences as the stored
// auto parameters were made with. A zero-length segment has no slope.
double SegmentSlope(KFCurve* curve, int from, int to) {
    const KFCurveKey* a = curve->KeyGetPtr(from);
    const KFCurveKey* b = curve->KeyGetPtr(to);
    const float dv = b->GetValue() - a->GetValue();
    const float dt = KFCURVE_SegmentSeconds(a->GetTime(), b->GetTime());
    if (dt == 0.0f) return 0.0;
    return dv / dt;
}

double DMid(double a, double p, double q) { return ((100.0 + a) / 100.0 * p + (100.0 - a) / 100.0 * q) * 0.5; }

double Sweep(double x, double y) { return x * x * y; }

// Beyond +500: the tangent sweeps toward the side of the steeper slope.
// orEqual picks the direction for equal slopes.
double DLeft(double a, double p, double q, bool orEqual) {
    const bool up = orEqual ? p >= q : p > q;
    return DMid(a, p, q) + Sweep((a - 500.0) / 500.0, up ? 1000.0 : -1000.0);
}

double DRight(double a, double p, double q, bool orEqual) {
    const bool up = orEqual ? p >= q : p > q;
    return DMid(a, p, q) + Sweep((a + 500.0) / -500.0, up ? -1000.0 : 1000.0);
}

double LeftFromAuto(double a, double toLeft, double toRight) {
    if (a == 100.0) return toLeft;
    if (a == -100.0) return toRight;
    if (a > 500.0) return DLeft(a, toLeft, toRight, false);
    if (a < -500.0) return DRight(a, toLeft, toRight, false);
    return DMid(a, toLeft, toRight);
}

double RightFromAuto(double a, double toLeft, double toRight) {
    const bool equal = toLeft == toRight;
    if (a > 500.0) return DLeft(a, toRight, toLeft, equal);
    if (a < -500.0) return DRight(a, toRight, toLeft, equal);
    return DMid(a, toRight, toLeft);
}

double SnapToZero(double value) { return std::fabs(value) < 1e-5 ? 0.0 : value; }

// A root of k2 a^2 + k1 a + k0; a discriminant that rounding made negative counts as 0.
double QuadraticRoot(double k2, double k1, double k0, bool larger) {
    const double root = std::sqrt(std::max(k1 * k1 - 4.0 * k2 * k0, 0.0));
    const double r1 = (-k1 + root) / (2.0 * k2);
    const double r2 = (-k1 - root) / (2.0 * k2);
    return larger ? std::max(r1, r2) : std::min(r1, r2);
}

// Inverts a forward derivative function of a. first and second are the
// slopes as the function uses them (TL, TR for the left side; TR, TL for the
// right side); increasing tells the function's direction.
double AutoFromDerivative(double derivative, double first, double second, double atPlus500, double atMinus500,
                          bool increasing) {
    const double half = (first + second) * 0.5;
    const bool beyondPlus = increasing ? derivative > atPlus500 : derivative < atPlus500;
    const bool beyondMinus = increasing ? derivative < atMinus500 : derivative > atMinus500;
    if (beyondPlus) {
        const double s = increasing ? 1000.0 : -1000.0;
        return QuadraticRoot(s / 250000.0, (first - second) / 200.0 - 2.0 * s / 500.0, half + s - derivative, true);
    }
    if (beyondMinus) {
        const double s = increasing ? -1000.0 : 1000.0;
        return QuadraticRoot(s / 250000.0, (first - second) / 200.0 + 2.0 * s / 500.0, half + s - derivative, false);
    }
    if (first == second) return 0.0;
    return (200.0 * derivative - 100.0 * (first + second)) / (first - second);
}

// The slopes around key index, or false on a curve without keys (the per-key
// forms then answer 0 rather than convert with made-up slopes).
bool SlopesAroundKey(double& toLeft, double& toRight, KFCurve* curve, int index) {
    if (!curve || curve->KeyGetCount() == 0) return false;
    KFCURVE_ComputeToLeftAndToRight(toLeft, toRight, curve, index);
    return true;
}

// One side's conversion (output, input, TL, TR) around key index.
void OneSideForKey(void (*convert)(double&, double&, double&, double&), double& output, double& input,
                   KFCurve* curve, int index) {
    double toLeft, toRight;
    if (SlopesAroundKey(toLeft, toRight, curve, index))
        convert(output, input, toLeft, toRight);
    else
        output = 0.0;
}

}  // namespace

void KFCURVE_ComputeToLeftAndToRight(double& toLeft, double& toRight, KFCurve* curve, int index) {
    // Fewer than two keys have no slope: answer flat rather than leave the outputs unset.
    toLeft = 0.0;
    toRight = 0.0;
    if (!curve) return;
    const int count = curve->KeyGetCount();
    if (count < 2 || index < 0 || index >= count) return;
    if (index < count - 1) toRight = SegmentSlope(curve, index, index + 1);
    if (index > 0) toLeft = SegmentSlope(curve, index - 1, index);
    if (index == 0)
        toLeft = toRight;
    else if (index == count - 1)
        toRight = toLeft;
}

void KFCURVE_ComputeLeftBezierFromAuto(double& derivative, double& autoValue, double& toLeft, double& toRight) {
    derivative = LeftFromAuto(autoValue, toLeft, toRight);
}

void KFCURVE_ComputeRightBezierFromAuto(double& derivative, double& autoValue, double& toLeft, double& toRight) {
    derivative = RightFromAuto(autoValue, toLeft, toRight);
}

void KFCURVE_ComputeLeftAutoFromBezier(double& autoValue, double& derivative, double& toLeft, double& toRight) {
    const double atPlus = SnapToZero(LeftFromAuto(500.0, toLeft, toRight));
    const double atMinus = SnapToZero(RightFromAuto(500.0, toLeft, toRight));
    derivative = SnapToZero(derivative);
    autoValue = AutoFromDerivative(derivative, toLeft, toRight, atPlus, atMinus, toLeft > toRight);
}

void KFCURVE_ComputeRightAutoFromBezier(double& autoValue, double& derivative, double& toLeft, double& toRight) {
    const double atPlus = SnapToZero(RightFromAuto(500.0, toLeft, toRight));
    const double atMinus = SnapToZero(LeftFromAuto(500.0, toLeft, toRight));
    derivative = SnapToZero(derivative);
    autoValue = AutoFromDerivative(derivative, toRight, toLeft, atPlus, atMinus, toRight >= toLeft);
}

void KFCURVE_ComputeBezierFromAuto(double& leftDerivative, double& rightDerivative, double& leftAuto,
                                   double& rightAuto, double& toLeft, double& toRight) {
    KFCURVE_ComputeLeftBezierFromAuto(leftDerivative, leftAuto, toLeft, toRight);
    KFCURVE_ComputeRightBezierFromAuto(rightDerivative, rightAuto, toLeft, toRight);
}

void KFCURVE_ComputeAutoFromBezier(double& leftAuto, double& rightAuto, double& leftDerivative,
                                   double& rightDerivative, double& toLeft, double& toRight) {
    KFCURVE_ComputeLeftAutoFromBezier(leftAuto, leftDerivative, toLeft, toRight);
    KFCURVE_ComputeRightAutoFromBezier(rightAuto, rightDerivative, toLeft, toRight);
}

void KFCURVE_ComputeBezierFromAutoForKey(double& leftDerivative, double& rightDerivative, double& leftAuto,
                                         double& rightAuto, KFCurve* curve, int index) {
    double toLeft, toRight;
    if (SlopesAroundKey(toLeft, toRight, curve, index))
        KFCURVE_ComputeBezierFromAuto(leftDerivative, rightDerivative, leftAuto, rightAuto, toLeft, toRight);
    else
        leftDerivative = rightDerivative = 0.0;
}

void KFCURVE_ComputeAutoFromBezierForKey(double& leftAuto, double& rightAuto, double& leftDerivative,
                                         double& rightDerivative, KFCurve* curve, int index) {
    double toLeft, toRight;
    if (SlopesAroundKey(toLeft, toRight, curve, index))
        KFCURVE_ComputeAutoFromBezier(leftAuto, rightAuto, leftDerivative, rightDerivative, toLeft, toRight);
    else
        leftDerivative = rightDerivative = 0.0;
}

void KFCURVE_ComputeLeftBezierFromAutoForKey(double& derivative, double& autoValue, KFCurve* curve, int index) {
    OneSideForKey(&KFCURVE_ComputeLeftBezierFromAuto, derivative, autoValue, curve, index);
}

void KFCURVE_ComputeLeftAutoFromBezierForKey(double& autoValue, double& derivative, KFCurve* curve, int index) {
    OneSideForKey(&KFCURVE_ComputeLeftAutoFromBezier, autoValue, derivative, curve, index);
}

void KFCURVE_ComputeRightBezierFromAutoForKey(double& derivative, double& autoValue, KFCurve* curve, int index) {
    OneSideForKey(&KFCURVE_ComputeRightBezierFromAuto, derivative, autoValue, curve, index);
}

void KFCURVE_ComputeRightAutoFromBezierForKey(double& autoValue, double& derivative, KFCurve* curve, int index) {
    OneSideForKey(&KFCURVE_ComputeRightAutoFromBezier, autoValue, derivative, curve, index);
}

}  // namespace zeqsdk_400
