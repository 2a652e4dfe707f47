#ifndef ZEQ_FCURVE_KFCURVEFILTERKEYSYNC_H
#define ZEQ_FCURVE_KFCURVEFILTERKEYSYNC_H

#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Gives a set of curves keys at the same times: wherever one of them has a key
// inside the span, every curve gets a key there carrying its own value at that
// time (taken from a copy of the curve as it was before the call). At most 20
// curves are handled at a time. Applied to a node, it works on the curves of
// the node's children (children without a curve are left out).
class KFCurveFilterKeySync : public KFCurveFilter {
public:
    // Error identifiers beyond the shared ones.
    enum {
        eMultipleKeyCount = 2,
        eUnsynchedKeys = 3,
        eTooManyCurves = 4,
    };
    static constexpr int kMaxCurves = 20;

    // The span is the whole time line.
    KFCurveFilterKeySync();

    // True when the curves' keys are not at the same times; the reason is
    // reported as error 2 (different key counts) or 3 (different times).
    bool NeedApply(KFCurve** curves, int count) override;
    // The children's curves; more than 20 children: error 4 and false.
    bool NeedApply(KFCurveNode& node, bool recursive = true) override;
    // A single curve has nothing to synchronise with: error 1, false.
    bool NeedApply(KFCurve& curve) override;

    // Fewer than two curves: error 1, false; more than 20: error 4, false.
    bool Apply(KFCurve** curves, int count) override;
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    bool Apply(KFCurve& curve) override;

private:
    // The children's curves into curves (room for kMaxCurves); -1 (error 4
    // reported) when the node has too many children.
    int CollectChildCurves(KFCurveNode& node, KFCurve** curves);
};

}  // namespace zeqsdk_400

#endif
