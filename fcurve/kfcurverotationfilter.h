#ifndef ZEQ_FCURVE_KFCURVEROTATIONFILTER_H
#define ZEQ_FCURVE_KFCURVEROTATIONFILTER_H

#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurveNode;

// Runs on a rotation node (the node whose "X", "Y", "Z" children carry Euler
// angles) the rotation filter the library settings name
// (KFCURVE_GetRotationFilterToApply): the gimbal killer or the unroll filter,
// over [start, stop]. Any other setting, or a null node, leaves the node as it
// is; a filter that refuses the node leaves it unchanged too. Nothing is reported.
void KFCURVE_ApplyRotationFilter(KFCurveNode* node, KTime start, KTime stop);

}  // namespace zeqsdk_400

#endif
