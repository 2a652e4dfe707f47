// The rotation filter chosen in the library settings, applied to one node.
#include "fcurve/kfcurverotationfilter.h"

#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"

namespace zeqsdk_400 {

namespace {

void RunOn(KFCurveFilter& filter, KFCurveNode& node, KTime start, KTime stop) {
    filter.SetStartTime(start);
    filter.SetStopTime(stop);
    filter.Apply(node, true);
}

}  // namespace

void KFCURVE_ApplyRotationFilter(KFCurveNode* node, KTime start, KTime stop) {
    if (!node) return;
    switch (KFCURVE_GetRotationFilterToApply()) {
        case KFCURVE_ROTATION_FILTER_GIMBLE_KILLER: {
            KFCurveFilterGimbleKiller filter;
            RunOn(filter, *node, start, stop);
            break;
        }
        case KFCURVE_ROTATION_FILTER_UNROLL: {
            KFCurveFilterUnroll filter;
            RunOn(filter, *node, start, stop);
            break;
        }
        default:
            break;
    }
}

}  // namespace zeqsdk_400
