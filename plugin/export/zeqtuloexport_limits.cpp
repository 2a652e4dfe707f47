// Limits and rotation orders of host transforms: six limit groups into the node's three limit
// records, and the host rotation order as the Zeq order of the same axis sequence.
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "scene/kzeqnodelimits.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

enum EKind { eTranslation, eRotation, eScaling };

// One group: the host limit types of X, Y and Z, the value factor, the record and side it fills.
struct LimitGroup {
    int mTypes[3];
    double mFactor;
    EKind mKind;
    bool mMaximum;
};

const LimitGroup kLimitGroups[6] = {
    {{18, 20, 22}, 1.0, eTranslation, false},
    {{19, 21, 23}, 1.0, eTranslation, true},
    {{12, 14, 16}, 57.29577951308232, eRotation, false},
    {{13, 15, 17}, 57.29577951308232, eRotation, true},
    {{0, 2, 4}, 1.0, eScaling, false},
    {{1, 3, 5}, 1.0, eScaling, true},
};

}  // namespace

void ZeqTuloExport::ExportLimits(ZeqTuloNode& node) {
    const TDagPath* path = node.GetDagPath();
    if (!path) return;
    const TFnTransform transform(path->transform());
    KZeqNodeLimits& limits = node.GetLimits();
    // Worked on copies and stored at the end; a kind is only ever turned active here.
    KZeqLimits records[3] = {limits.mTranslationLimits, limits.mRotationLimits, limits.mScalingLimits};
    bool active[3] = {limits.GetTranslationLimitActive(), limits.GetRotationLimitActive(),
                      limits.GetScalingLimitActive()};
    KZeqVector4 values(0, 0, 0, 0);
    for (const LimitGroup& group : kLimitGroups) {
        bool flags[3] = {false, false, false};
        for (int axis = 0; axis < 3; ++axis) {
            if (!transform.isLimited(group.mTypes[axis])) continue;
            values[axis] = transform.limitValue(group.mTypes[axis]) * group.mFactor;
            flags[axis] = true;
        }
        if (flags[0] || flags[1] || flags[2]) active[group.mKind] = true;
        KZeqLimits& record = records[group.mKind];
        if (group.mMaximum) {
            record.SetLimitMaxActive(flags[0], flags[1], flags[2]);
            record.SetLimitMax(values);
        } else {
            record.SetLimitMinActive(flags[0], flags[1], flags[2]);
            record.SetLimitMin(values);
        }
        values = KZeqVector4(0, 0, 0, 1);
    }
    limits.mTranslationLimits = records[eTranslation];
    limits.mRotationLimits = records[eRotation];
    limits.mScalingLimits = records[eScaling];
    limits.SetTranslationLimitActive(active[eTranslation]);
    limits.SetRotationLimitActive(active[eRotation]);
    limits.SetScalingLimitActive(active[eScaling]);
}

void ZeqTuloExport::ExportRotationOrder(ZeqTuloNode& node) {
    const TDagPath* path = node.GetDagPath();
    if (!path) return;
    const TFnTransform transform(path->transform());
    const int order = ZeqRotationOrderOfHost(static_cast<int>(transform.rotationOrder()));
    if (order >= 0) node.SetRotationOrder(KZeqNode::eSOURCE_SET, static_cast<ERotationOrder>(order));
}
