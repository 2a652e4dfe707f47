#ifndef ZEQ_FCURVE_KFCURVEFILTERMATRIXCONVERTER_H
#define ZEQ_FCURVE_KFCURVEFILTERMATRIXCONVERTER_H

#include "base/kgemath.h"
#include "base/ktime.h"
#include "fcurve/kfcurvefilter.h"

namespace zeqsdk_400 {

// Re-expresses the animation of a transform node (sub-nodes "T", "R", "S", each
// with "X", "Y", "Z" curves) when the fixed matrices around its translation,
// rotation and scaling change. The node is sampled at the resampling period;
// at each sample the total matrix under the source set is decomposed under the
// destination set into translation, rotation and scaling, written as keys of
// new curves that replace the node's; the scaling keeps the signs of the
// sampled one wherever they fit the total. Afterwards the rotation may be
// unrolled and resampled and constant keys removed.
//
// The total matrix of a set, read as applied to a point first to last:
//   M7, M12^-1, M6, S, M5, M12, M11^-1, M4, R, M3, M11, pivot term, M2, T, M1, M0
// where the pivot term (only when M8 is not identity) is the translation of
// M8, M4 (or M10), R, M3 (or M9) applied in that order. Matrices flagged
// identity are skipped.
class KFCurveFilterMatrixConverter : public KFCurveFilter {
public:
    // The 13 matrices of a set, by their place in the total matrix.
    enum EMatrixID : int {
        eAfterTranslationOuter = 0,  // applied last
        eAfterTranslation = 1,
        eRotationOffset = 2,
        ePreRotation = 3,
        ePostRotation = 4,
        eAfterScaling = 5,
        eBeforeScaling = 6,
        eBeforeAll = 7,  // applied first
        ePivotTermOffset = 8,
        ePivotTermPreRotation = 9,    // stands for the pre-rotation in the pivot term
        ePivotTermPostRotation = 10,  // stands for the post-rotation in the pivot term
        eRotationPivot = 11,
        eScalingPivot = 12,
        eMatrixCount = 13
    };

    // Error identifiers beyond the shared ones.
    enum {
        eInvalidApplyMethod = 2,
        eMissingTransformCurve = 3,
    };

    // One set of matrices with the flags telling which count as identity.
    struct Cell {
        // Identity matrices, every flag set.
        Cell();
        // Every flag set; the stored matrices are kept.
        void Reset();
        // Replaces each matrix not flagged identity by its affine inverse;
        // nothing when the whole set is identity.
        void InverseMatrices();

        KgeAMatrix mMatrices[eMatrixCount];
        bool mIsIdentity[eMatrixCount];
        bool mAllIdentity;
    };

    KFCurveFilterMatrixConverter();

    // Copy the 3x3 block and translation row of m (the fourth column is not
    // used). A matrix within 1e-6 of identity in those 12 elements is flagged
    // identity; once any matrix of a set was not, the set stays "not all
    // identity" until Reset. An id outside 0..12 is ignored.
    void SetSourceMatrix(EMatrixID id, const KgeAMatrix& m);
    void SetDestMatrix(EMatrixID id, const KgeAMatrix& m);
    // The same 12 elements out (m's fourth column is left as it is).
    void GetSourceMatrix(EMatrixID id, KgeAMatrix& m) const;
    void GetDestMatrix(EMatrixID id, KgeAMatrix& m) const;

    // The sampling step; it must be greater than 0 whenever the node has keys.
    KTime GetResamplingPeriod() const { return mResamplingPeriod; }
    void SetResamplingPeriod(const KTime& period) { mResamplingPeriod = period; }
    // Snap the start of sampling down to a multiple of the period (and keys on
    // frame for the rotation resampling).
    bool GetResamplingOnFrameRateMultiple() const { return mResamplingOnFrameRateMultiple; }
    void SetResamplingOnFrameRateMultiple(bool onMultiple) { mResamplingOnFrameRateMultiple = onMultiple; }
    bool GetApplyUnroll() const { return mApplyUnroll; }
    void SetApplyUnroll(bool apply) { mApplyUnroll = apply; }
    bool GetApplyConstantKeyReducer() const { return mApplyConstantKeyReducer; }
    void SetApplyConstantKeyReducer(bool apply) { mApplyConstantKeyReducer = apply; }
    // The last sample exactly at the end of the interval.
    bool GetGenerateLastKeyExactlyAtEndTime() const { return mGenerateLastKeyExactlyAtEndTime; }
    void SetGenerateLastKeyExactlyAtEndTime(bool exact) { mGenerateLastKeyExactlyAtEndTime = exact; }
    // Whether the translation curves are replaced too; a conversion whose
    // source set has a pivot term, rotation pivot or scaling pivot sets it.
    bool GetResampleTranslation() const { return mResampleTranslation; }
    void SetResampleTranslation(bool resample) { mResampleTranslation = resample; }

    // Rotation orders (KVXRotationOrder codes) of the source curves and of the
    // converted ones; set by the caller directly. Apply gives the "R" node the
    // order of the curves it leaves there (the unroll follows it).
    int mSourceRotationOrder = 0;
    int mDestRotationOrder = 0;

    using KFCurveFilter::NeedApply;

    // The conversion, then (when enabled) the unroll and resampling of the "R"
    // node and the constant key reduction of the node. False with error 1
    // when the two sets are equivalent and the two orders the same, or error 3
    // when a transform curve is missing: nothing is converted, but the later
    // steps still run (the curves are then taken as in the source order). A period
    // not above 0 while the node has keys is refused as a whole (error 1).
    // Too many samples (over ten million) or a span holding no key: false,
    // nothing converted.
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    // Error 2: only the tree form converts.
    bool Apply(KFCurve** curves, int count) override;
    bool Apply(KFCurve& curve) override;

    // True when each of the 13 matrices of a and b agree within 1e-6 in the
    // 12 elements that count.
    bool MatricesEquivalence(const KgeAMatrix* a, const KgeAMatrix* b) const;

    // The interpolation and tangent mode of the keys of three curves at time
    // (cubic and auto where a curve has none); tangent modes the samples cannot
    // carry become auto.
    static void FillInterpAndTangeant(KTime& time, KFCurve** curves, unsigned int* interpolations,
                                      unsigned int* tangentModes);

    void Reset() override;

private:
    class Composer;
    class Decomposer;

    bool DoConvert(KFCurveNode& node);

    Cell mSource;
    Cell mDest;
    KTime mResamplingPeriod{0};
    bool mResamplingOnFrameRateMultiple = true;
    bool mApplyUnroll = true;
    bool mApplyConstantKeyReducer = true;
    bool mGenerateLastKeyExactlyAtEndTime = true;
    bool mResampleTranslation = true;
};

}  // namespace zeqsdk_400

#endif
