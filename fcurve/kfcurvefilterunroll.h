#ifndef ZEQ_FCURVE_KFCURVEFILTERUNROLL_H
#define ZEQ_FCURVE_KFCURVEFILTERUNROLL_H

#include "base/kgemath.h"
#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Makes the three Euler angle curves of a rotation node continuous: key by key
// each triple becomes the equivalent triple (same orientation) nearest the
// previous one, which removes the whole-turn jumps and flips that conversions
// from matrices leave behind. The three curves are first given keys at the same
// times (key sync) over the span.
//
// With the path test on, a key becomes the reference for the next one only when
// its Euler path is not much longer than the rotation it stands for (quality
// factor at least the tolerance), so an isolated wild key does not drag the keys
// after it along.
class KFCurveFilterUnroll : public KFCurveFilter {
public:
    // Error identifiers beyond the shared ones.
    enum {
        eNeedRotationNode = 2,
        eUnexpected = 3,
    };

    // Takes the quality tolerance and path test from the library settings.
    KFCurveFilterUnroll();

    void SetQualityTolerance(double tolerance) { mQualityTolerance = tolerance; }
    double GetQualityTolerance() const { return mQualityTolerance; }
    void SetTestForPath(bool test) { mTestForPath = test; }
    bool GetTestForPath() const { return mTestForPath; }

    using KFCurveFilter::NeedApply;

    // A rotation node (Euler layer type) whose "X", "Y", "Z" channels have
    // curves; anything else: error 2 and false. The flag is not used.
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    // Exactly three curves X, Y, Z (Euler XYZ), else error 2 and false.
    bool Apply(KFCurve** curves, int count) override;
    // A single curve cannot be unrolled: error 2 and false.
    bool Apply(KFCurve& curve) override;

    // The unroll proper on a rotation node of three channel children.
    bool DoUnroll(KFCurveNode* node);

    // How far the rotation between two Euler XYZ triples (degrees) turns,
    // squared, over how far the triples themselves move, squared: near 1 when
    // the angles move as little as the orientation, small when they travel far
    // for a small rotation. 100 when the triples are (almost) equal.
    static double InterpolationQualityFactor(const KgeRVector& a, const KgeRVector& b);

    void Reset() override;

private:
    double mQualityTolerance = 0.0;
    bool mTestForPath = false;
};

}  // namespace zeqsdk_400

#endif
