// Transform animation: the nine translation, scaling and rotation curves of the imported take onto
// the host transform, its static values at the import's current time, the rotation order, and the
// node's global transform kept for its children.
#include <cmath>
#include <cstring>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfntransform.h"
#include "tunits.h"

using namespace zeqsdk_400;

namespace {

// Host rotation order (TTransformationMatrix::RotationOrder) of each Zeq Euler order. Spheric XYZ
// shapes rotation limits only: the node's rotation is evaluated as Euler XYZ, so it comes in as
// XYZ (with none its constant rotation would be lost). Unknown codes have none.
int HostRotationOrder(ERotationOrder order) {
    static const int kHostOrder[7] = {1, 4, 2, 5, 3, 6, 1};
    const int code = static_cast<int>(order);
    return code >= 0 && code <= eSPHERIC_XYZ ? kHostOrder[code] : 0;
}

// The nine transform channels in transfer order: host attribute, curve type and which take-node
// curve carries it. The divisors are filled per call (they depend on the host's UI units).
enum EChannel { eTX, eTY, eTZ, eSX, eSY, eSZ, eRX, eRY, eRZ, eChannelCount };
struct ChannelRow {
    const char* mAttribute;
    TFnAnimCurve::AnimCurveType mType;
    KFCurve* (KZeqTakeNode::*mCurve)();
};
const ChannelRow kChannels[eChannelCount] = {
    {"translateX", TFnAnimCurve::kAnimCurveTL, &KZeqTakeNode::GetTranslationX},
    {"translateY", TFnAnimCurve::kAnimCurveTL, &KZeqTakeNode::GetTranslationY},
    {"translateZ", TFnAnimCurve::kAnimCurveTL, &KZeqTakeNode::GetTranslationZ},
    {"scaleX", TFnAnimCurve::kAnimCurveTU, &KZeqTakeNode::GetScaleX},
    {"scaleY", TFnAnimCurve::kAnimCurveTU, &KZeqTakeNode::GetScaleY},
    {"scaleZ", TFnAnimCurve::kAnimCurveTU, &KZeqTakeNode::GetScaleZ},
    {"rotateX", TFnAnimCurve::kAnimCurveTA, &KZeqTakeNode::GetEulerRotationX},
    {"rotateY", TFnAnimCurve::kAnimCurveTA, &KZeqTakeNode::GetEulerRotationY},
    {"rotateZ", TFnAnimCurve::kAnimCurveTA, &KZeqTakeNode::GetEulerRotationZ},
};

void Identity(double (*m)[4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
}

// True when the Euler XYZ rotations of the two triples (degrees) differ anywhere by more than 1e-6.
bool RotationsDiffer(const double* a, const double* b) {
    double ma[4][4], mb[4][4];
    Identity(ma);
    Identity(mb);
    KmXYZtoR(ma, a[0], a[1], a[2]);
    KmXYZtoR(mb, b[0], b[1], b[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::fabs(ma[i][j] - mb[i][j]) > 1e-06) return true;
    return false;
}

bool Finite(const double* v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

}  // namespace

void ZeqTuloImport::ImportTransformAnimation(ZeqTuloNode& node) {
    TDagPath* path = node.GetDagPath();
    if (!path || !path->isValid()) return;
    TStatus status;
    TFnTransform transform(*path, &status);
    if (!status) return;
    ImportTransformAnimation(transform, node);
    if (mIsOldVersion) return;
    ImportPivots(transform, node);
    ImportLimits(transform, node);
    ImportRotationOrder(transform, node);
}

void ZeqTuloImport::ImportTransformAnimation(TFnTransform& transform, ZeqTuloNode& node) {
    TStatus status;
    if (mIsOldVersion) {
        // Old files carry pre- and post-rotation as joint orient and rotate axis, and no pivots.
        TPoint orient, axis;
        ZeqTuloUtility::GetJointOrient(transform, orient);
        const KZeqVector4& pre = node.GetPreRotation(KZeqNode::eSOURCE_SET);
        const double hostOrient[3] = {orient.x, orient.y, orient.z}, preAngles[3] = {pre[0], pre[1], pre[2]};
        if (RotationsDiffer(hostOrient, preAngles))
            ZeqTuloUtility::SetJointOrient(transform, TPoint(pre[0], pre[1], pre[2]));
        ZeqTuloUtility::GetRotateAxis(transform, axis);
        const KZeqVector4& post = node.GetPostRotation(KZeqNode::eSOURCE_SET);
        const double hostAxis[3] = {axis.x, axis.y, axis.z}, postAngles[3] = {post[0], post[1], post[2]};
        if (RotationsDiffer(hostAxis, postAngles))
            ZeqTuloUtility::SetRotateAxis(transform, TPoint(post[0], post[1], post[2]));
        const TPoint zero(0, 0, 0);
        const TVector zeroVector(zero);
        transform.setRotatePivotTranslation(zeroVector, TSpace::kTransform);
        transform.setRotatePivot(zero, TSpace::kTransform, false);
        transform.setScalePivotTranslation(zeroVector, TSpace::kTransform);
        transform.setScalePivot(zero, TSpace::kTransform, false);
    }

    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take) return;
    const double distanceRatio = ZeqTuloUtility::DistanceUnitRatio();
    const double angleFactor = TAngle::uiUnit() == TAngle::kDegrees ? KM_DEG_TO_RAD : 1.0;
    const double divisors[eChannelCount][2] = {
        {1.0, distanceRatio}, {1.0, distanceRatio}, {1.0, distanceRatio},
        {1.0, 1.0},           {1.0, 1.0},           {1.0, 1.0},
        {KM_RAD_TO_DEG, angleFactor}, {KM_RAD_TO_DEG, angleFactor}, {KM_RAD_TO_DEG, angleFactor},
    };
    // Translation and scaling curves, the static values, then the rotation curves.
    for (int channel = 0; channel < eChannelCount; ++channel) {
        if (channel == eRX) SetDefaultGeometry(node, transform);
        const ChannelRow& row = kChannels[channel];
        if (KFCurve* curve = (take->*row.mCurve)())
            SetTuloCurve(transform, row.mAttribute, *curve, row.mType, divisors[channel][0], divisors[channel][1],
                         &status);
    }
}

void ZeqTuloImport::SetTransformVector(double* values, KFCurve** curves) const {
    for (int i = 0; i < 3; ++i)
        if (curves[i]) values[i] = curves[i]->CandidateEvaluate(mCurrentTime);
}

void ZeqTuloImport::SetDefaultGeometry(ZeqTuloNode& node, TFnTransform& transform) {
    double t[3] = {0, 0, 0}, s[3] = {1, 1, 1}, r[3] = {0, 0, 0};
    if (KZeqTakeNode* take = node.GetCurrentTakeNode()) {
        KFCurve* translation[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        KFCurve* scaling[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
        KFCurve* rotation[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        SetTransformVector(t, translation);
        SetTransformVector(s, scaling);
        SetTransformVector(r, rotation);
    }

    // A static value that is not a number would poison the host's matrices: it is left out.
    bool logged = false;
    auto refuse = [&](const char* what) {
        if (logged || !mLogFile) return;
        logged = true;
        KString line(node.GetNameWithoutNameSpacePrefix());
        line += ": the static ";
        line += what;
        line += " is not a number and was not set.";
        *mLogFile += line.Buffer();
    };
    if (Finite(t)) transform.setTranslation(TVector(t[0], t[1], t[2]), TSpace::kTransform);
    else refuse("translation");
    ERotationOrder order = eEULER_XYZ;
    node.GetRotationOrder(KZeqNode::eDESTINATION_SET, order);
    if (const int hostOrder = HostRotationOrder(order)) {
        const double radians[3] = {r[0] / KM_RAD_TO_DEG, r[1] / KM_RAD_TO_DEG, r[2] / KM_RAD_TO_DEG};
        // The host takes the node's order first (files of the old version carry none), so that the
        // angles are stored as given: converted into another order, they would be turned back by
        // the order set at the end, once a curve already drives one of them (a keyed axis among
        // static ones), to other angles.
        if (!mIsOldVersion) transform.setRotationOrder(hostOrder, false);
        if (Finite(radians)) transform.setRotation(radians, hostOrder);
        else refuse("rotation");
    }
    if (Finite(s)) transform.setScale(s);
    else refuse("scaling");

    // The node's global transform at the current time, from its local values and its parent's.
    double local[4][4], global[4][4];
    Identity(local);
    KmXYZtoR(local, r[0], r[1], r[2]);
    KmRS(local, local, s);
    for (int j = 0; j < 3; ++j) local[3][j] = t[j];
    if (KZeqNode* parentNode = node.GetParent()) {
        // Every node of the import's manager is a bridge node.
        const ZeqTuloNode& parent = static_cast<const ZeqTuloNode&>(*parentNode);
        const double* pt = parent.GetGlobalTranslation();
        const double* pr = parent.GetGlobalRotation();
        double parentMatrix[4][4];
        Identity(parentMatrix);
        KmIJKtoR(parentMatrix, pr[0], pr[1], pr[2], 0);
        KmRS(parentMatrix, parentMatrix, parent.GetGlobalScaling());
        for (int j = 0; j < 3; ++j) parentMatrix[3][j] = pt[j];
        KmAA(global, parentMatrix, local);
        global[0][3] = global[1][3] = global[2][3] = 0.0;
        global[3][3] = 1.0;
    } else {
        std::memcpy(global, local, sizeof global);
    }

    double n[3];
    for (int i = 0; i < 3; ++i)
        n[i] = std::sqrt(global[i][0] * global[i][0] + global[i][1] * global[i][1] + global[i][2] * global[i][2]);
    const double det = global[0][0] * (global[1][1] * global[2][2] - global[1][2] * global[2][1]) -
                       global[0][1] * (global[1][0] * global[2][2] - global[1][2] * global[2][0]) +
                       global[0][2] * (global[1][0] * global[2][1] - global[1][1] * global[2][0]);
    if (det < 0)
        for (double& length : n) length = -length;
    double angles[3] = {0, 0, 0};
    // A row of length 0 (a zero scaling) has no direction: the global rotation is then 0.
    if (n[0] != 0 && n[1] != 0 && n[2] != 0) {
        double rotation[4][4];
        Identity(rotation);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) rotation[i][j] = global[i][j] / n[i];
        // The general extraction: the X-first one takes a turn within a tenth of a degree of a
        // quarter turn about Y for the quarter turn itself, which the children would inherit.
        KmRtoVord(angles, rotation, 0);
    }
    node.SetGlobalTranslation(KgeTVector(global[3][0], global[3][1], global[3][2]));
    node.SetGlobalRotation(KgeRVector(angles[0], angles[1], angles[2]));
    node.SetGlobalScaling(KgeSVector(n[0], n[1], n[2]));
}

void ZeqTuloImport::ImportRotationOrder(TFnTransform& transform, ZeqTuloNode& node) {
    ERotationOrder order = eEULER_XYZ;
    node.GetRotationOrder(KZeqNode::eDESTINATION_SET, order);
    if (const int hostOrder = HostRotationOrder(order)) transform.setRotationOrder(hostOrder, true);
}
