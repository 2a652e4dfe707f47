// The matrix converter: transform curves re-expressed under another set of
// offset, pivot and pre- and post-rotation matrices by sampling.
#include "fcurve/kfcurvefiltermatrixconverter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvefilterresample.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

const char kInvalidApply[] = "MatrixConverter, invalid apply method.";
const char kNothingChanged[] = "MatrixConverter, No key were changed by filter.";
const char kMissingCurve[] = "MatrixConverter, Missing curve.";
const char kBadPeriod[] = "MatrixConverter, The resampling period must be greater than 0.";
const char kEmptySpan[] = "MatrixConverter, No key in the time span.";
const char kTooManySamples[] = "MatrixConverter, Too many samples at this resampling period.";
const char kOutOfMemory[] = "MatrixConverter, Not enough memory for the samples.";

// Two elements closer than this are equal (identity tests, set equivalence).
constexpr double kMatrixTolerance = 1e-6;
// Rows shorter than this have no direction.
constexpr double kNullRow = 1e-12;
// More samples than this (over three days at 30 frames per second) are refused
// rather than risk exhausting memory on nine curves of keys.
constexpr std::uint64_t kMaxSamples = 10000000;

// The samples start + k period (k = 0, 1, ...) below stop - 2.5% of the period,
// for start <= stop and period > 0; the last sample comes on top of them.
std::uint64_t LoopCount(KTime start, KTime stop, kLongLong period) {
    const auto tolerance = static_cast<std::uint64_t>(0.025 * static_cast<double>(period));
    // The difference of two times always fits unsigned 64 bits.
    const std::uint64_t span = static_cast<std::uint64_t>(stop.Get()) - static_cast<std::uint64_t>(start.Get());
    return span > tolerance ? (span - tolerance - 1) / static_cast<std::uint64_t>(period) + 1 : 0;
}

using Matrix = double[4][4];

struct CurveDestroyer {
    void operator()(KFCurve* curve) const {
        if (curve) curve->Destroy();
    }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDestroyer>;

void SetIdentity(Matrix& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
}

void CopyMatrix(Matrix& out, const Matrix& a) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i][j] = a[i][j];
}

// The affine fourth column, which the kernels leave unwritten.
void SetAffineColumn(Matrix& m) {
    m[0][3] = m[1][3] = m[2][3] = 0.0;
    m[3][3] = 1.0;
}

// out = a applied to a point first, then b. out may be a or b.
void Then(Matrix& out, const Matrix& a, const Matrix& b) {
    Matrix r;
    KmAA(r, b, a);
    SetAffineColumn(r);
    CopyMatrix(out, r);
}

// The affine inverse, exact for any invertible matrix.
void Inverse(Matrix& out, const Matrix& a) {
    Matrix identity, r;
    SetIdentity(identity);
    KmAiA(r, a, identity);
    SetAffineColumn(r);
    CopyMatrix(out, r);
}

void Translation(Matrix& m, const double* t) {
    SetIdentity(m);
    for (int j = 0; j < 3; ++j) m[3][j] = t[j];
}

// The 3x3 block alone, without translation.
void Linear(Matrix& out, const Matrix& a) {
    CopyMatrix(out, a);
    out[3][0] = out[3][1] = out[3][2] = 0.0;
    SetAffineColumn(out);
}

double Length(const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

void Cross(double* out, const double* a, const double* b) {
    const double r[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    std::memcpy(out, r, sizeof r);
}

double Determinant(const Matrix& m) {
    double c[3];
    Cross(c, m[1], m[2]);
    return m[0][0] * c[0] + m[0][1] * c[1] + m[0][2] * c[2];
}

// Splits the 3x3 block of a into row lengths and unit rows (out, no
// translation). Rows without direction are completed from the others into a
// right-handed frame, so that out is always invertible.
void SplitRows(Matrix& out, double* lengths, const Matrix& a) {
    SetIdentity(out);
    int valid[3];
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        lengths[i] = Length(a[i]);
        if (lengths[i] > kNullRow) {
            for (int j = 0; j < 3; ++j) out[i][j] = a[i][j] / lengths[i];
            valid[count++] = i;
        } else {
            lengths[i] = 0.0;
        }
    }
    if (count == 2) {
        const int k = 3 - valid[0] - valid[1];
        Cross(out[k], out[(k + 1) % 3], out[(k + 2) % 3]);
        const double l = Length(out[k]);
        if (l > kNullRow) {
            for (int j = 0; j < 3; ++j) out[k][j] /= l;
            return;
        }
        count = 1;  // the two rows are parallel: keep the first one only
    }
    if (count == 1) {
        const int a0 = valid[0], b = (a0 + 1) % 3, c = (a0 + 2) % 3;
        // The axis least aligned with the row gives a perpendicular.
        int axis = 0;
        for (int j = 1; j < 3; ++j)
            if (std::fabs(out[a0][j]) < std::fabs(out[a0][axis])) axis = j;
        double e[3] = {0.0, 0.0, 0.0};
        e[axis] = 1.0;
        Cross(out[b], out[a0], e);
        const double l = Length(out[b]);
        for (int j = 0; j < 3; ++j) out[b][j] /= l;
        Cross(out[c], out[a0], out[b]);
    } else if (count == 0) {
        SetIdentity(out);
    }
}

}  // namespace

// ---- Total matrix of a set -------------------------------------------------------------

// ComputeTotalMatrix over one set, with the inverses it needs made once.
class KFCurveFilterMatrixConverter::Composer {
public:
    explicit Composer(const Cell& set) : mSet(set) {
        SetIdentity(mRotationPivotInverse);
        SetIdentity(mScalingPivotInverse);
        if (!Identity(eRotationPivot)) Inverse(mRotationPivotInverse, M(eRotationPivot));
        if (!Identity(eScalingPivot)) Inverse(mScalingPivotInverse, M(eScalingPivot));
    }

    // Whether the set's pivot term or pivots move the translation.
    bool MovesTranslation() const {
        return !Identity(ePivotTermOffset) || !Identity(eRotationPivot) || !Identity(eScalingPivot);
    }

    void ComputeTotalMatrix(Matrix& out, const Matrix& t, const Matrix& r, const Matrix& s) const {
        if (Identity(eAfterTranslationOuter))
            SetIdentity(out);
        else
            CopyMatrix(out, M(eAfterTranslationOuter));
        Before(out, eAfterTranslation);
        Then(out, t, out);
        Before(out, eRotationOffset);
        if (!Identity(ePivotTermOffset)) {
            // A translation applied before out: out's translation moves by p's
            // translation through out's block.
            Matrix p;
            PivotTerm(p, r);
            double moved[3];
            for (int j = 0; j < 3; ++j) moved[j] = p[3][0] * out[0][j] + p[3][1] * out[1][j] + p[3][2] * out[2][j];
            for (int j = 0; j < 3; ++j) out[3][j] += moved[j];
        }
        Before(out, eRotationPivot);
        Before(out, ePreRotation);
        Then(out, r, out);
        Before(out, ePostRotation);
        if (!Identity(eRotationPivot)) Then(out, mRotationPivotInverse, out);
        Before(out, eScalingPivot);
        Before(out, eAfterScaling);
        Then(out, s, out);
        Before(out, eBeforeScaling);
        if (!Identity(eScalingPivot)) Then(out, mScalingPivotInverse, out);
        Before(out, eBeforeAll);
    }

    // M8, M4 (M10 in its place), r, M3 (M9 in its place), applied in that order;
    // only its translation row is used.
    void PivotTerm(Matrix& p, const Matrix& r) const {
        if (!Identity(ePreRotation))
            CopyMatrix(p, M(ePreRotation));
        else if (!Identity(ePivotTermPreRotation))
            CopyMatrix(p, M(ePivotTermPreRotation));
        else
            SetIdentity(p);
        Then(p, r, p);
        if (!Identity(ePostRotation))
            Before(p, ePostRotation);
        else
            Before(p, ePivotTermPostRotation);
        Before(p, ePivotTermOffset);
    }

    bool Identity(int id) const { return mSet.mIsIdentity[id]; }
    const Matrix& M(int id) const { return mSet.mMatrices[id]; }

    // out = Mid applied before out, unless Mid counts as identity.
    void Before(Matrix& out, int id) const {
        if (!Identity(id)) Then(out, M(id), out);
    }

private:
    const Cell& mSet;
    Matrix mRotationPivotInverse;
    Matrix mScalingPivotInverse;
};

// ExtractTransforms under one set: the scaling, rotation and translation whose
// total matrix under the set is a given matrix. With the total read as
//   A, S, B, R, C, pivot term, E, T, F
// (A = M7 M12^-1 M6, B = M5 M12 M11^-1 M4, C = M3 M11, E = M2, F = M1 M0), the
// outer A and F are peeled off; the 3x3 block left is S Lb R Lc Le, so with
// Lb = diag(kb) Rb the scaling comes from the row lengths and the rotation from
// the unit rows; the translation is what remains once S, B, R, C, the pivot
// term and E are rebuilt.
class KFCurveFilterMatrixConverter::Decomposer {
public:
    // The set's matrices are inverted once, in a copy (Cell::InverseMatrices):
    // inverting the set itself and back would leave it changed by rounding.
    // Each product peeled off is inverted as the product of its factors'
    // inverses in reverse order.
    explicit Decomposer(const Cell& set) : mComposer(set), mInverse(set) {
        mInverse.InverseMatrices();
        const Composer& c = mComposer;
        // Products of the matrices not flagged identity; the flags tell
        // whether any was, so that identity products are skipped per sample.
        auto append = [&c](Matrix& m, bool& used, int id, const Matrix& x) {
            if (c.Identity(id)) return;
            if (used)
                Then(m, m, x);
            else
                CopyMatrix(m, x);
            used = true;
        };
        auto inverse = [this](int id) -> const Matrix& { return mInverse.mMatrices[id]; };

        // A = M7, M12^-1, M6, so A^-1 = M6^-1, M12, M7^-1.
        append(mAInverse, mHasA, eBeforeScaling, inverse(eBeforeScaling));
        append(mAInverse, mHasA, eScalingPivot, c.M(eScalingPivot));
        append(mAInverse, mHasA, eBeforeAll, inverse(eBeforeAll));
        // F = M1, M0, so F^-1 = M0^-1, M1^-1.
        append(mFInverse, mHasF, eAfterTranslationOuter, inverse(eAfterTranslationOuter));
        append(mFInverse, mHasF, eAfterTranslation, inverse(eAfterTranslation));

        append(mB, mHasB, eAfterScaling, c.M(eAfterScaling));
        append(mB, mHasB, eScalingPivot, c.M(eScalingPivot));
        append(mB, mHasB, eRotationPivot, inverse(eRotationPivot));
        append(mB, mHasB, ePostRotation, c.M(ePostRotation));
        if (mHasB) {
            Matrix rb;
            SplitRows(rb, mKb, mB);
            Inverse(mRbInverse, rb);
            mDetRb = Determinant(rb);
        }

        append(mC, mHasC, ePreRotation, c.M(ePreRotation));
        append(mC, mHasC, eRotationPivot, c.M(eRotationPivot));
        append(mE, mHasE, eRotationOffset, c.M(eRotationOffset));
        // The 3x3 block of C, E inverted: that of M2^-1, M11^-1, M3^-1.
        bool hasG = false;
        append(mGInverse, hasG, eRotationOffset, inverse(eRotationOffset));
        append(mGInverse, hasG, eRotationPivot, inverse(eRotationPivot));
        append(mGInverse, hasG, ePreRotation, inverse(ePreRotation));
        if (hasG) Linear(mGInverse, mGInverse);
    }

    // The scaling, the rotation matrix and the translation of total. The scaling takes the
    // signs of was (the scaling the total was made with) where they give a rotation: any other
    // choice changes the rotation, which turns what lies between the two (pivots, offsets, a
    // post-rotation) elsewhere. Otherwise a mirroring block is a rotation with all three
    // scalings negated.
    void Extract(double* s, Matrix& r, double* t, const Matrix& total, const double* was) const {
        Matrix z, q, n;
        CopyMatrix(z, total);
        if (mHasA) Then(z, mAInverse, z);
        if (mHasF) Then(z, z, mFInverse);
        Linear(q, z);
        if (mHasC || mHasE) Then(q, q, mGInverse);

        double lengths[3];
        SplitRows(n, lengths, q);
        const bool mirrors = Determinant(n) * mDetRb < 0.0;
        bool odd = false;  // whether was mirrors
        for (int i = 0; i < 3; ++i) odd = odd != (was[i] < 0.0);
        double sign[3];
        for (int i = 0; i < 3; ++i)
            sign[i] = odd == mirrors ? (was[i] < 0.0 ? -1.0 : 1.0) : mirrors ? -1.0 : 1.0;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) n[i][j] *= sign[i];
            s[i] = mKb[i] > 0.0 ? sign[i] * lengths[i] / mKb[i] : 0.0;
        }
        if (mHasB)
            Then(r, mRbInverse, n);
        else
            CopyMatrix(r, n);

        // What S, B, R, C, the pivot term and E leave of the translation.
        Matrix y;
        SetIdentity(y);
        for (int i = 0; i < 3; ++i) y[i][i] = s[i];
        if (mHasB) Then(y, y, mB);
        Then(y, y, r);
        if (mHasC) Then(y, y, mC);
        if (!mComposer.Identity(ePivotTermOffset)) {
            Matrix p;
            mComposer.PivotTerm(p, r);
            for (int j = 0; j < 3; ++j) y[3][j] += p[3][j];
        }
        if (mHasE) Then(y, y, mE);
        for (int j = 0; j < 3; ++j) t[j] = z[3][j] - y[3][j];
    }

private:
    Composer mComposer;
    Cell mInverse;
    bool mHasA = false, mHasF = false, mHasB = false, mHasC = false, mHasE = false;
    Matrix mAInverse;
    Matrix mFInverse;
    Matrix mB;
    Matrix mRbInverse;
    double mKb[3] = {1.0, 1.0, 1.0};
    double mDetRb = 1.0;
    Matrix mC;
    Matrix mE;
    Matrix mGInverse;
};

// ---- Sets --------------------------------------------------------------------------

KFCurveFilterMatrixConverter::Cell::Cell() {
    for (auto& m : mMatrices) SetIdentity(m);
    Reset();
}

void KFCurveFilterMatrixConverter::Cell::Reset() {
    std::fill(mIsIdentity, mIsIdentity + eMatrixCount, true);
    mAllIdentity = true;
}

void KFCurveFilterMatrixConverter::Cell::InverseMatrices() {
    if (mAllIdentity) return;
    for (int id = 0; id < eMatrixCount; ++id)
        if (!mIsIdentity[id]) Inverse(mMatrices[id], mMatrices[id]);
}

namespace {

// The 12 elements of a set's matrix that count: all but the fourth column.
bool Close(const double (*a)[4], const double (*b)[4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            if (!(std::fabs(a[i][j] - b[i][j]) <= kMatrixTolerance)) return false;
    return true;
}

void CopyElements(double (*out)[4], const double (*a)[4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = a[i][j];
}

const Matrix& IdentityMatrix() {
    static const struct Identity {
        Identity() { SetIdentity(m); }
        Matrix m;
    } identity;
    return identity.m;
}

void SetCellMatrix(KFCurveFilterMatrixConverter::Cell& cell, int id, const KgeAMatrix& m) {
    if (id < 0 || id >= KFCurveFilterMatrixConverter::eMatrixCount) return;
    CopyElements(cell.mMatrices[id], m);
    SetAffineColumn(cell.mMatrices[id]);
    cell.mIsIdentity[id] = Close(m, IdentityMatrix());
    cell.mAllIdentity = cell.mAllIdentity && cell.mIsIdentity[id];
}

void GetCellMatrix(const KFCurveFilterMatrixConverter::Cell& cell, int id, KgeAMatrix& m) {
    if (id < 0 || id >= KFCurveFilterMatrixConverter::eMatrixCount) return;
    CopyElements(m, cell.mMatrices[id]);
}

}  // namespace

// ---- Filter --------------------------------------------------------------------------

KFCurveFilterMatrixConverter::KFCurveFilterMatrixConverter() : KFCurveFilter(eKFCurveFilterMatrixConverter) {
    Reset();
}

void KFCurveFilterMatrixConverter::Reset() {
    mResamplingOnFrameRateMultiple = true;
    mApplyUnroll = true;
    mApplyConstantKeyReducer = true;
    mGenerateLastKeyExactlyAtEndTime = true;
    mResampleTranslation = true;
    mSource.Reset();
    mDest.Reset();
    KFCurveFilter::Reset();
}

void KFCurveFilterMatrixConverter::SetSourceMatrix(EMatrixID id, const KgeAMatrix& m) { SetCellMatrix(mSource, id, m); }
void KFCurveFilterMatrixConverter::SetDestMatrix(EMatrixID id, const KgeAMatrix& m) { SetCellMatrix(mDest, id, m); }
void KFCurveFilterMatrixConverter::GetSourceMatrix(EMatrixID id, KgeAMatrix& m) const { GetCellMatrix(mSource, id, m); }
void KFCurveFilterMatrixConverter::GetDestMatrix(EMatrixID id, KgeAMatrix& m) const { GetCellMatrix(mDest, id, m); }

bool KFCurveFilterMatrixConverter::MatricesEquivalence(const KgeAMatrix* a, const KgeAMatrix* b) const {
    if (!a || !b) return false;
    for (int id = 0; id < eMatrixCount; ++id)
        if (!Close(a[id], b[id])) return false;
    return true;
}

bool KFCurveFilterMatrixConverter::Apply(KFCurve**, int) {
    SetError(eInvalidApplyMethod, kInvalidApply);
    return false;
}

bool KFCurveFilterMatrixConverter::Apply(KFCurve&) {
    SetError(eInvalidApplyMethod, kInvalidApply);
    return false;
}

bool KFCurveFilterMatrixConverter::Apply(KFCurveNode& node, bool) {
    // Keys cannot be sampled, nor the rotation resampled, without a period:
    // refused before anything changes.
    if (node.KeyGetCount(false) > 0) {
        if (mResamplingPeriod <= KTime(0)) {
            SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kBadPeriod);
            return false;
        }
        // The conversion and the rotation resampling sample the node's span.
        KTime first, last;
        node.GetTimeSpan(first, last);
        first = std::max(first, GetStartTime());
        last = std::min(last, GetStopTime());
        if (first <= last && LoopCount(first, last, mResamplingPeriod.Get()) >= kMaxSamples) {
            SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kTooManySamples);
            return false;
        }
    }
    bool result = false;
    // Curves of another order are re-expressed in the destination's even where the matrices agree.
    if (MatricesEquivalence(mSource.mMatrices, mDest.mMatrices) && mSourceRotationOrder == mDestRotationOrder)
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kNothingChanged);
    else
        result = DoConvert(node);

    // The rotation node says the order its curves are in: the unroll, and any filter after this
    // one, take their axes from it.
    KFCurveNode* rotation = node.FindRecursive("R");
    if (rotation) rotation->SetRotationOrder(result ? mDestRotationOrder : mSourceRotationOrder);
    if (mApplyUnroll) {
        if (rotation) {
            KFCurveFilterUnroll unroll;
            unroll.Apply(*rotation, true);
            // Without keys there is nothing to resample, and no period may be set.
            if (mResamplingPeriod > KTime(0)) {
                KFCurveFilterResample resample;
                resample.SetIntelligentMode(true);
                resample.SetPeriodTime(mResamplingPeriod);
                resample.SetKeysOnFrame(mResamplingOnFrameRateMultiple);
                resample.Apply(*rotation, true);
            }
        }
    }
    if (mApplyConstantKeyReducer) {
        KFCurveFilterConstantKeyReducer reducer;
        reducer.Apply(node, true);
    }
    return result;
}

void KFCurveFilterMatrixConverter::FillInterpAndTangeant(KTime& time, KFCurve** curves, unsigned int* interpolations,
                                                         unsigned int* tangentModes) {
    for (int c = 0; c < 3; ++c) {
        unsigned int interpolation = KFCURVE_INTERPOLATION_CUBIC;
        unsigned int mode = KFCURVE_TANGEANT_AUTO;
        KFCurve* curve = curves ? curves[c] : nullptr;
        const int index = curve ? static_cast<int>(curve->KeyFind(time)) : -1;
        if (index >= 0 && index < curve->KeyGetCount()) {
            const KFCurveKey& key = *curve->KeyGetPtr(index);
            interpolation = key.GetInterpolation();
            mode = key.GetTangeantMode();
            if (mode != KFCURVE_TANGEANT_AUTO && mode != KFCURVE_TANGEANT_AUTO_BREAK && mode != KFCURVE_TANGEANT_TCB &&
                mode != KFCURVE_TANGEANT_USER && mode != KFCURVE_TANGEANT_USER_BREAK)
                mode = KFCURVE_TANGEANT_AUTO;
        }
        if (interpolations) interpolations[c] = interpolation;
        if (tangentModes) tangentModes[c] = mode;
    }
}

namespace {

// The nine curves of a transform node: T, R, S, each X, Y, Z.
constexpr int kCurveCount = 9;

// Translation, rotation (for an order) and scaling matrices of nine values.
void TransformMatrices(Matrix& t, Matrix& r, Matrix& s, const double* values, const KVXRotationOrder& order) {
    Translation(t, values);
    order.V2M(r, KgeRVector(values[3], values[4], values[5]));
    SetAffineColumn(r);
    SetIdentity(s);
    for (int i = 0; i < 3; ++i) s[i][i] = values[6 + i];
}

}  // namespace

bool KFCurveFilterMatrixConverter::DoConvert(KFCurveNode& node) {
    KFCurve* curves[kCurveCount];
    if (!node.GetTransformCurves(curves, curves + 3, curves + 6)) {
        SetError(eMissingTransformCurve, kMissingCurve);
        return false;
    }

    const Composer source(mSource);
    const Decomposer destination(mDest);
    const KVXRotationOrder sourceOrder(mSourceRotationOrder);
    const KVXRotationOrder destOrder(mDestRotationOrder);
    // One node's values through both sets: nine values in, nine out.
    auto convert = [&](double* out, const double* in) {
        Matrix t, r, s, total;
        TransformMatrices(t, r, s, in, sourceOrder);
        source.ComputeTotalMatrix(total, t, r, s);
        destination.Extract(out + 6, r, out, total, in + 6);
        KgeRVector angles;
        // Euler XYZ through the general extraction: the X-first one takes a turn within a tenth of
        // a degree of a quarter turn about Y for the quarter turn itself.
        if (mDestRotationOrder == KVXRotationOrder::eEulerXYZ)
            KmRtoVord(angles.mData, r, 0);
        else
            destOrder.M2V(angles, r);
        std::memcpy(out + 3, angles.mData, sizeof angles.mData);
    };

    // The sampled interval over the curves with keys, within the span.
    bool keys = false;
    KTime start = KTime::Infinite();
    KTime stop = KTime::MinusInfinite();
    for (KFCurve* curve : curves) {
        const int count = curve->KeyGetCount();
        if (count == 0) continue;
        keys = true;
        start = std::min(start, curve->KeyGetPtr(0)->GetTime());
        stop = std::max(stop, curve->KeyGetPtr(count - 1)->GetTime());
    }
    const kLongLong period = mResamplingPeriod.Get();
    std::uint64_t loops = 0;
    if (keys) {
        if (period <= 0) {
            SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kBadPeriod);
            return false;
        }
        stop = std::min(stop, GetStopTime());
        start = std::max(start, GetStartTime());
        if (mResamplingOnFrameRateMultiple) {
            // Down to the multiple at or below the start, negative starts included.
            const kLongLong s = start.Get();
            kLongLong q = s / period;
            if (s % period != 0 && s < 0) --q;
            if (q >= KTime::kMinusInfiniteTicks / period) start = KTime(q * period);
        }
        if (start > stop) {
            SetError(KFCURVEFILTER_ERROR_NO_KEY, kEmptySpan);
            return false;
        }
        loops = LoopCount(start, stop, period);
        if (loops >= kMaxSamples) {
            SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kTooManySamples);
            return false;
        }
    }
    const int sampleCount = keys ? static_cast<int>(loops) + 1 : 0;

    CurvePtr converted[kCurveCount];
    for (int c = 0; c < kCurveCount; ++c) {
        converted[c].reset(KFCurveCreate());
        converted[c]->CopyFrom(*curves[c], false);
    }

    if (source.MovesTranslation()) mResampleTranslation = true;
    double in[kCurveCount], out[kCurveCount];
    for (int c = 0; c < kCurveCount; ++c) in[c] = curves[c]->GetValue();
    convert(out, in);
    for (int c = 0; c < kCurveCount; ++c) converted[c]->SetValue(static_cast<float>(out[c]));

    if (sampleCount > 0) {
        for (auto& curve : converted) {
            curve->KeyModifyBegin();
            if (!curve->InitBuffers(sampleCount)) {
                SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kOutOfMemory);
                return false;
            }
        }
        int hints[kCurveCount] = {};
        unsigned int interpolations[kCurveCount], modes[kCurveCount];
        // A key made once per kind and copied: the kind seldom changes between samples.
        KFCurveKey made[kCurveCount] = {};
        unsigned int madeInterpolation[kCurveCount], madeMode[kCurveCount];
        for (int c = 0; c < kCurveCount; ++c) madeInterpolation[c] = madeMode[c] = ~0u;
        auto sample = [&](int n, KTime t) {
            for (int c = 0; c < kCurveCount; ++c) in[c] = curves[c]->Evaluate(t, &hints[c]);
            convert(out, in);
            for (int group = 0; group < kCurveCount; group += 3)
                FillInterpAndTangeant(t, curves + group, interpolations + group, modes + group);
            for (int c = 0; c < kCurveCount; ++c) {
                if (interpolations[c] != madeInterpolation[c] || modes[c] != madeMode[c]) {
                    made[c].Set(KTime(0), 0.0f, interpolations[c], modes[c], 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
                                KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
                    madeInterpolation[c] = interpolations[c];
                    madeMode[c] = modes[c];
                }
                KFCurveKey& key = *converted[c]->KeyGetPtr(n);
                key = made[c];
                key.SetTime(t);
                key.SetValue(static_cast<float>(out[c]));
            }
        };
        // A counted loop: the sample times stay below stop - tolerance.
        KTime t = start;
        for (int n = 0; n < sampleCount - 1; ++n) {
            if (n > 0) t = KTime(t.Get() + period);
            sample(n, t);
        }
        KTime last = stop;
        if (!mGenerateLastKeyExactlyAtEndTime) {
            // The first sample time not below stop - tolerance.
            if (sampleCount == 1)
                last = start;
            else if (t.Get() <= LLONG_MAX - period)
                last = KTime(t.Get() + period);
        }
        sample(sampleCount - 1, last);
        for (auto& curve : converted) curve->KeyModifyEnd(sampleCount);
    }

    static const char* const kParts[3] = {"T", "R", "S"};
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    for (int p = 0; p < 3; ++p) {
        if (p == 0 && !mResampleTranslation) continue;
        KFCurveNode* part = node.Get(node.Find(kParts[p]));
        for (int a = 0; a < 3; ++a) {
            KFCurveNode* axis = part ? part->Get(part->Find(kAxes[a])) : nullptr;
            if (axis) axis->FCurveReplace(converted[p * 3 + a].release());
        }
    }
    return true;
}

}  // namespace zeqsdk_400
