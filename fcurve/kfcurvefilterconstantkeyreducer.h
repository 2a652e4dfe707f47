#ifndef ZEQ_FCURVE_KFCURVEFILTERCONSTANTKEYREDUCER_H
#define ZEQ_FCURVE_KFCURVEFILTERCONSTANTKEYREDUCER_H

#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Removes keys that change nothing: inside a run of keys with one value and
// flat tangents only the run's end keys stay, and a curve that is constant
// from its first to its last key loses its keys (its default value takes their
// value) unless told to keep some. Applied to a curve-node tree it picks the
// tolerance by channel kind from the node's name or its parent's.
class KFCurveFilterConstantKeyReducer : public KFCurveFilter {
public:
    KFCurveFilterConstantKeyReducer();

    double GetDerivativeTolerance() const { return mDerivativeTolerance; }
    void SetDerivativeTolerance(double tolerance) { mDerivativeTolerance = tolerance; }
    double GetValueTolerance() const { return mValueTolerance; }
    void SetValueTolerance(double tolerance) { mValueTolerance = tolerance; }
    double GetTranslationThreshold() const { return mTranslationThreshold; }
    void SetTranslationThreshold(double threshold) { mTranslationThreshold = threshold; }
    double GetRotationThreshold() const { return mRotationThreshold; }
    void SetRotationThreshold(double threshold) { mRotationThreshold = threshold; }
    double GetScalingThreshold() const { return mScalingThreshold; }
    void SetScalingThreshold(double threshold) { mScalingThreshold = threshold; }
    double GetDefaultThreshold() const { return mDefaultThreshold; }
    void SetDefaultThreshold(double threshold) { mDefaultThreshold = threshold; }
    bool GetKeepFirstAndLastKeys() const { return mKeepFirstAndLastKeys; }
    void SetKeepFirstAndLastKeys(bool keep) { mKeepFirstAndLastKeys = keep; }
    bool GetKeepOneKey() const { return mKeepOneKey; }
    void SetKeepOneKey(bool keep) { mKeepOneKey = keep; }

    // Each tolerance still at its reset value takes the threshold of the
    // node's channel kind ("R"/"Lcl Rotation", "S"/"Lcl Scaling",
    // "T"/"Lcl Translation" on the node or its parent, else the default) for
    // the node and its subtree; both are restored afterwards. Answers true.
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    bool Apply(KFCurve** curves, int count) override;
    // True when a key was removed. Without keys error 0, when nothing changes
    // error 1; both answer false and leave the curve as it was.
    bool Apply(KFCurve& curve) override;

    void Reset() override;

    // The reset value of both tolerances and of every threshold but rotation.
    static constexpr double kDefaultTolerance = 5e-13;
    static constexpr double kDefaultRotationThreshold = 0.0005;

private:
    // Removes the redundant keys of the flat runs inside [start key, stop key]
    // in time linear in the key count; changed tells whether a key went. False
    // (curve untouched) when memory runs out.
    bool ReduceRuns(KFCurve& curve, double derivativeTolerance, double valueTolerance, bool& changed);
    // The one- and two-key curves left by the run reduction.
    bool ReduceShortCurve(KFCurve& curve, double derivativeTolerance, double valueTolerance);

    double mDerivativeTolerance;
    double mValueTolerance;
    double mTranslationThreshold;
    double mRotationThreshold;
    double mScalingThreshold;
    double mDefaultThreshold;
    bool mKeepFirstAndLastKeys;
    bool mKeepOneKey;

    // The tree form's channel choice: nesting depth, and whether each
    // tolerance follows the channel (decided by the outermost call).
    int mTreeDepth = 0;
    bool mDerivativeByChannel = false;
    bool mValueByChannel = false;
};

}  // namespace zeqsdk_400

#endif
