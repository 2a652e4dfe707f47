// Pivots: pivot set 0 of a Zeq node onto the host transform. The pre-rotation becomes the joint
// orient; the post-rotation, applied after the rotation on the Zeq side and before it on the
// host's, becomes the rotate axis as its inverse; pivots and offsets go as they are.
#include <cmath>

#include "base/kgemath.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloutility.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

void ZeqTuloImport::ImportPivots(TFnTransform& transform, ZeqTuloNode& node) {
    KZeqNode::EPivotState state = KZeqNode::ePIVOT_STATE_REFERENCE;
    node.GetPivotState(KZeqNode::eSOURCE_SET, state);
    if (state != KZeqNode::ePIVOT_STATE_ACTIVE) return;

    const KZeqVector4& pre = node.GetPreRotation(KZeqNode::eSOURCE_SET);
    TPoint point(pre[0], pre[1], pre[2]);
    ZeqTuloUtility::SetJointOrient(transform, point);

    const KZeqVector4& post = node.GetPostRotation(KZeqNode::eSOURCE_SET);
    double rotation[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KmXYZtoR(rotation, post[0], post[1], post[2]);
    KmRi(rotation, rotation);
    double angles[3];
    // The general extraction: the X-first one takes a turn within a tenth of a degree of a quarter
    // turn about Y for the quarter turn itself.
    KmRtoVord(angles, rotation, 0);
    // What the inversion leaves as rounding noise of a zero angle is none.
    for (double& angle : angles)
        if (std::fabs(angle) < 1e-9) angle = 0;
    point = TPoint(angles[0], angles[1], angles[2]);
    ZeqTuloUtility::SetRotateAxis(transform, point);

    const KZeqVector4& rotationPivot = node.GetRotationPivot(KZeqNode::eSOURCE_SET);
    point = TPoint(rotationPivot[0], rotationPivot[1], rotationPivot[2]);
    transform.setRotatePivot(point, TSpace::kTransform, false);
    const KZeqVector4& rotationOffset = node.GetRotationOffset(KZeqNode::eSOURCE_SET);
    point = TPoint(rotationOffset[0], rotationOffset[1], rotationOffset[2]);
    transform.setRotatePivotTranslation(TVector(point), TSpace::kTransform);
    const KZeqVector4& scalingPivot = node.GetScalingPivot(KZeqNode::eSOURCE_SET);
    point = TPoint(scalingPivot[0], scalingPivot[1], scalingPivot[2]);
    transform.setScalePivot(point, TSpace::kTransform, false);
    const KZeqVector4& scalingOffset = node.GetScalingOffset(KZeqNode::eSOURCE_SET);
    point = TPoint(scalingOffset[0], scalingOffset[1], scalingOffset[2]);
    transform.setScalePivotTranslation(TVector(point), TSpace::kTransform);
}
