// The smart plot's detail passes: breaking the tangents of the sparse keys
// where the full sampling turns sharply, and inserting keys where the sparse
// curve strays from it. Also the axis alignment of the layer algebra.
#include <cmath>
#include <cstring>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveplot.h"

namespace zeqsdk_400 {

namespace {

// Parts of a key interval this short or shorter are not looked at.
constexpr kLongLong kSmallestFidelityStep = KTime::kTicksPerSecond / 120;

bool SameShape(KFCurveNode* sparse, KFCurveNode* full) { return sparse->GetCount() == full->GetCount(); }

// The slopes into and out of a key of value value at time, measured on full
// offset before and after.
void MeasureSlopes(KFCurve& full, KTime time, float value, KTime offset, bool left, bool right, int* hint,
                   double& leftSlope, double& rightSlope) {
    const double seconds = offset.GetSecondDouble();
    leftSlope = left ? (value - full.Evaluate(time - offset, hint)) / seconds : 0.0;
    rightSlope = right ? (full.Evaluate(time + offset, hint) - value) / seconds : 0.0;
}

// Makes key index user-break with the given slopes when either differs from
// its present derivative by more than tolerance.
void BreakIfSteep(KFCurve& curve, int index, double leftSlope, double rightSlope, double tolerance) {
    const bool differs = std::fabs(leftSlope - curve.KeyGetLeftDerivative(index)) > tolerance ||
                         std::fabs(rightSlope - curve.KeyGetRightDerivative(index)) > tolerance;
    if (!differs) return;
    KFCurveKey key = curve.KeyGet(index);
    key.SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
    curve.KeySet(index, key);
    curve.KeySetLeftDerivative(index, static_cast<float>(leftSlope));
    curve.KeySetRightDerivative(index, static_cast<float>(rightSlope));
}

void BreakCurveTangents(KFCurve& sparse, KFCurve& full, KTime offset, double tolerance) {
    const int count = sparse.KeyGetCount();
    int hint = 0;
    for (int i = 0; i < count; ++i) {
        const KFCurveKey* key = sparse.KeyGetPtr(i);
        double left, right;
        MeasureSlopes(full, key->GetTime(), key->GetValue(), offset, i > 0, i < count - 1, &hint, left, right);
        BreakIfSteep(sparse, i, left, right, tolerance);
    }
}

}  // namespace

void KFCURVE_BreakTangents(KFCurveNode* sparse, KFCurveNode* full, KTime offset, double tolerance) {
    if (!sparse || !full || offset <= KTime(0) || !SameShape(sparse, full)) return;
    if (KFCurve* sparseCurve = sparse->FCurveGet()) {
        if (KFCurve* fullCurve = full->FCurveGet()) BreakCurveTangents(*sparseCurve, *fullCurve, offset, tolerance);
        return;
    }
    for (int i = 0; i < sparse->GetCount(); ++i) KFCURVE_BreakTangents(sparse->Get(i), full->Get(i), offset, tolerance);
}

void KFCURVE_IncreaseFidelity(KFCurveNode* sparse, KFCurveNode* full, double tolerance, int subdivisions,
                              bool breakTangents, KTime offset, double tangentTolerance) {
    if (!sparse || !full || !SameShape(sparse, full)) return;
    KFCurve* sparseCurve = sparse->FCurveGet();
    if (!sparseCurve) {
        for (int i = 0; i < sparse->GetCount(); ++i)
            KFCURVE_IncreaseFidelity(sparse->Get(i), full->Get(i), tolerance, subdivisions, breakTangents, offset,
                                     tangentTolerance);
        return;
    }
    KFCurve* fullCurve = full->FCurveGet();
    if (!fullCurve) return;
    // The count is read for each interval: the keys inserted into one
    // interval make new intervals that are visited in turn.
    for (int k = 0; k + 1 < sparseCurve->KeyGetCount(); ++k) {
        const KTime start = sparseCurve->KeyGetPtr(k)->GetTime();
        const KTime stop = sparseCurve->KeyGetPtr(k + 1)->GetTime();
        KFCURVE_IncreaseFidelityRecursive(start, stop, sparseCurve, fullCurve, tolerance, subdivisions, breakTangents,
                                          offset, tangentTolerance);
    }
}

void KFCURVE_IncreaseFidelityRecursive(KTime start, KTime stop, KFCurve* sparse, KFCurve* full, double tolerance,
                                       int subdivisions, bool breakTangents, KTime offset, double tangentTolerance) {
    if (!(start < stop) || !sparse || !full || subdivisions <= 1) return;
    // Each level cuts the interval by subdivisions and stops at 1/120 s, so
    // the recursion is shallow (at most about 60 levels over the time line).
    const KTime step((stop - start).Get() / subdivisions);
    if (step.Get() <= kSmallestFidelityStep) return;
    int sparseHint = 0;
    int fullHint = 0;
    for (int i = 0; i <= subdivisions - 2; ++i) {
        const KTime t = start + step * (i + 1);
        const float a = sparse->Evaluate(t, &sparseHint);
        const float b = full->Evaluate(t, &fullHint);
        if (!(std::fabs(a - b) > tolerance)) continue;
        const int index = sparse->KeyInsert(t, &sparseHint);
        if (index < 0) return;  // out of memory: the curve keeps what it has
        KFCurveKey key = sparse->KeyGet(index);
        key.SetValue(b);
        sparse->KeySet(index, key);
        // Slopes over a zero or negative offset mean nothing (and would divide by zero).
        if (breakTangents && offset > KTime(0)) {
            double left, right;
            MeasureSlopes(*full, t, b, offset, true, true, &fullHint, left, right);
            BreakIfSteep(*sparse, index, left, right, tangentTolerance);
        }
        KFCURVE_IncreaseFidelityRecursive(start + step * i, t, sparse, full, tolerance, subdivisions, breakTangents,
                                          offset, tangentTolerance);
        if (i == subdivisions - 2)
            KFCURVE_IncreaseFidelityRecursive(t, t + step, sparse, full, tolerance, subdivisions, breakTangents,
                                              offset, tangentTolerance);
    }
}

bool AxisAlignmentInEulerAngle(double* origin, double* pointA, double* pointB, double* rotation) {
    if (!origin || !pointA || !pointB || !rotation) return true;
    auto direction = [origin](const double* point, double* out) {
        double length = 0.0;
        for (int i = 0; i < 3; ++i) {
            out[i] = point[i] - origin[i];
            length += out[i] * out[i];
        }
        length = std::sqrt(length);
        for (int i = 0; i < 3; ++i) out[i] = length > 0.0 ? out[i] / length : 0.0;
    };
    double u[3], w[3];
    direction(pointA, u);
    direction(pointB, w);
    constexpr double kTolerance = 0.001;
    bool same = true, opposite = true;
    for (int i = 0; i < 3; ++i) {
        same = same && std::fabs(u[i] - w[i]) <= kTolerance;
        opposite = opposite && std::fabs(u[i] + w[i]) <= kTolerance;
    }
    if (same) {
        rotation[0] = rotation[1] = rotation[2] = 0.0;
        return true;
    }
    if (opposite) {
        rotation[0] = 180.0;
        rotation[1] = rotation[2] = 0.0;
        return true;
    }
    KgeQuaternion q;
    GetQuaternionFromPositionToPosition(q, KgeTVector(u[0], u[1], u[2]), KgeTVector(w[0], w[1], w[2]));
    KgeRMatrix m;
    KmQtoR(m, q);
    KmRtoVord(rotation, m, 0);
    return true;
}

}  // namespace zeqsdk_400
