// Pivots, offsets, pre- and post-rotation of host transforms, as static values of one pivot set.
#include "base/kgemath.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtuloutility.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

KZeqVector4 Vector(const TPoint& p, double w = 1.0) { return KZeqVector4(p.x, p.y, p.z, w); }
KZeqVector4 Vector(const TVector& v) { return KZeqVector4(v.x, v.y, v.z, 1.0); }

}  // namespace

// The post-rotation undoes the rotate axis: the Euler XYZ angles of its inverse, which are not the
// negated angles once two axes turn.
void ZeqTuloExport::ExportPivots(ZeqTuloNode& node, KZeqNode::EPivotSet set) {
    const TDagPath* path = node.GetDagPath();
    if (!path) return;
    const TFnTransform transform(path->transform());

    TPoint orient;
    ZeqTuloUtility::GetJointOrient(transform, orient);
    node.SetPreRotation(set, Vector(orient));

    TPoint axis;
    ZeqTuloUtility::GetRotateAxis(transform, axis);
    KgeRMatrix rotation = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KmXYZtoR(rotation, axis.x, axis.y, axis.z);
    KmRi(rotation, rotation);
    KgeRVector post;
    // The general extraction: the X-first one takes a turn within a tenth of a degree of a quarter
    // turn about Y for the quarter turn itself.
    KmRtoVord(post, rotation, 0);
    node.SetPostRotation(set, KZeqVector4(post[0], post[1], post[2], 1.0));

    node.SetRotationPivot(set, Vector(transform.rotatePivot(TSpace::kTransform)));
    node.SetRotationOffset(set, Vector(transform.rotatePivotTranslation(TSpace::kTransform)));
    node.SetScalingPivot(set, Vector(transform.scalePivot(TSpace::kTransform)));
    node.SetScalingOffset(set, Vector(transform.scalePivotTranslation(TSpace::kTransform)));
    node.SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
    node.GetLimits().SetRotationLimitActive(true);
}
