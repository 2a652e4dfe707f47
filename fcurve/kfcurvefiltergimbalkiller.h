#ifndef ZEQ_FCURVE_KFCURVEFILTERGIMBALKILLER_H
#define ZEQ_FCURVE_KFCURVEFILTERGIMBALKILLER_H

#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Removes the swings that appear when the three Euler curves of a rotation are
// interpolated independently between keys far apart in orientation. The
// rotation curves are rebuilt key by key: each triple is made continuous with
// the previous one, and where two successive keys still differ by too much,
// keys taken along the shortest rotation between them are inserted, halving
// the step until it is small (or the keys are closer than 1/1200 s).
//
// The first key of the span keeps its kind; every other rebuilt key is cubic
// with auto tangents. Keys outside the span are kept.
class KFCurveFilterGimbleKiller : public KFCurveFilter {
public:
    // Error identifiers beyond the shared ones.
    enum {
        eNot3Curves = 2,
        eNotRotationNode = 3,
    };

    KFCurveFilterGimbleKiller();

    bool GetApplyKeySyncFilter() const { return mApplyKeySyncFilter; }
    void SetApplyKeySyncFilter(bool apply) { mApplyKeySyncFilter = apply; }

    using KFCurveFilter::NeedApply;

    // A rotation node (Euler layer type) of three channel children; the flag
    // is not used. Failures leave the node unchanged: error 2 (not three
    // children with curves), 3 (not a rotation node), 0 (no key).
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    // Exactly three curves X, Y, Z (Euler XYZ), else error 2 and false.
    bool Apply(KFCurve** curves, int count) override;
    // Error 2 and false.
    bool Apply(KFCurve& curve) override;

    void Reset() override;

private:
    bool mApplyKeySyncFilter = true;
};

}  // namespace zeqsdk_400

#endif
