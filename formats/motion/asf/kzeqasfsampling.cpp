// Motion samples of the Acclaim skeleton's bones turned into animation curves.

#include <cmath>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvesettings.h"
#include "formats/motion/asf/kzeqasfscene.h"

namespace zeqsdk_400 {

namespace {

const float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

// Elementary rotation about one axis (0 X, 1 Y, 2 Z) in the row-vector
// convention, composed after m: m = m . R.
void ComposeAxisRotation(double (&m)[3][3], int axis, double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const int i = (axis + 1) % 3;
    const int j = (axis + 2) % 3;
    // Columns i and j of m mix: R has R[i][i] = c, R[i][j] = s, R[j][i] = -s, R[j][j] = c.
    for (int row = 0; row < 3; ++row) {
        const double a = m[row][i];
        const double b = m[row][j];
        m[row][i] = a * c - b * s;
        m[row][j] = a * s + b * c;
    }
}

void CreateThree(KFCurve** curves) {
    for (int axis = 0; axis < 3; ++axis) {
        curves[axis] = KFCurveCreate();
        curves[axis]->SetColor(kAxisColors[axis]);
    }
}

void DestroyThree(KFCurve** curves) {
    for (int axis = 0; axis < 3; ++axis) {
        if (curves[axis]) curves[axis]->Destroy();
        curves[axis] = nullptr;
    }
}

void ReduceConstantKeys(KFCurve** curves) {
    if (!KFCURVE_GetUseConstantKeyReducer()) return;
    KFCurveFilterConstantKeyReducer reducer;
    reducer.Apply(curves, 3);
}

}  // namespace

void KZeqAsfNode::CreateDataFromDOF() {
    DeleteCurves();
    if (TranslationDofCount() > 0) CreateThree(mCurves);
    if (RotationDofCount() > 0) CreateThree(mCurves + 3);
    for (auto& child : mChildren) child->CreateDataFromDOF();
}

void KZeqAsfNode::StartSamplingData() {
    for (KFCurve* curve : mCurves)
        if (curve) curve->KeyModifyBegin();
    mKeyContinuous = motionkeys::UnrollWhileKeying();
    mContinuity.Reset();
    for (auto& child : mChildren) child->StartSamplingData();
}

void KZeqAsfNode::AddSampleFromDOF(const double* values, KTime time, double lengthFactor, double angleFactor) {
    double t[3] = {0.0, 0.0, 0.0};
    double m[3][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    const double toRadians = angleFactor * KM_DEG_TO_RAD;
    for (int i = 0; i < mDofCount; ++i) {
        const int code = mDof[i];
        if (code <= eDofTZ)
            t[code] += values[i] * lengthFactor;
        else if (code <= eDofRX)
            ComposeAxisRotation(m, 5 - code, values[i] * toRadians);
    }
    if (mCurves[0]) {
        // (offset + t . axis) . parent inverse axis
        double u[3];
        for (int j = 0; j < 3; ++j)
            u[j] = mOffset[j] + t[0] * mAxisMatrix[0][j] + t[1] * mAxisMatrix[1][j] + t[2] * mAxisMatrix[2][j];
        for (int j = 0; j < 3; ++j) {
            const double v =
                u[0] * mParentInvAxisMatrix[0][j] + u[1] * mParentInvAxisMatrix[1][j] + u[2] * mParentInvAxisMatrix[2][j];
            mCurves[j]->KeyAppendFast(time, static_cast<float>(v));
        }
    }
    if (mCurves[3]) {
        KgeRMatrix rotation, local;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) rotation[r][c] = m[r][c];
        KmRR(local, mAxisMatrix, rotation);
        KmRR(local, mParentInvAxisMatrix, local);
        double angles[3];
        // The general extraction: the X-first one takes a turn within a tenth of a degree of a
        // quarter turn about Y for the quarter turn itself.
        KmRtoVord(angles, local, 0);
        if (mKeyContinuous) mContinuity.Apply(angles);
        for (int axis = 0; axis < 3; ++axis) mCurves[3 + axis]->KeyAppendFast(time, static_cast<float>(angles[axis]));
    }
}

void KZeqAsfNode::StopSamplingData() {
    for (KFCurve* curve : mCurves)
        if (curve) curve->KeyModifyEnd();
    // A single sample is no animation, but a pose: the bone is held at it
    // instead of keyed.
    for (int group = 0; group < 2; ++group) {
        KFCurve** curves = mCurves + 3 * group;
        if (!curves[0] || curves[0]->KeyGetCount() != 1) continue;
        mHeld[group] = true;
        for (int axis = 0; axis < 3; ++axis)
            mHeldValues[3 * group + axis] =
                curves[axis]->KeyGetCount() > 0 ? curves[axis]->KeyGetPtr(0)->GetValue() : 0.0;
    }
    if (mCurves[0]) {
        if (mCurves[0]->KeyGetCount() <= 1)
            DestroyThree(mCurves);
        else
            ReduceConstantKeys(mCurves);
    }
    if (mCurves[3]) {
        if (mCurves[3]->KeyGetCount() <= 1) {
            DestroyThree(mCurves + 3);
        } else {
            const int filter = KFCURVE_GetRotationFilterToApply();
            if (filter == KFCURVE_ROTATION_FILTER_UNROLL && !mKeyContinuous) {
                KFCurveFilterUnroll unroll;
                unroll.Apply(mCurves + 3, 3);
            } else if (filter == KFCURVE_ROTATION_FILTER_GIMBLE_KILLER) {
                KFCurveFilterGimbleKiller killer;
                killer.Apply(mCurves + 3, 3);
            }
            ReduceConstantKeys(mCurves + 3);
        }
    }
    for (auto& child : mChildren) child->StopSamplingData();
}

void KZeqAsfNode::DeleteCurves() {
    DestroyThree(mCurves);
    DestroyThree(mCurves + 3);
    mHeld[0] = mHeld[1] = false;
}

void KZeqAsfNode::DeleteCurvesRecursive() {
    DeleteCurves();
    for (auto& child : mChildren) child->DeleteCurvesRecursive();
}

}  // namespace zeqsdk_400
