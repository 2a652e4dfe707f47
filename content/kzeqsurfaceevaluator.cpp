#include "content/kzeqsurfaceevaluator.h"

#include <climits>
#include <cmath>
#include <new>
#include <vector>

#include "content/kzeqweightedmapping.h"

namespace zeqsdk_400 {

// Rows are the basis functions B0..B3, columns the coefficients of t^3, t^2, t and 1.
const double KZEQSurfaceEvaluator::Bezier[16] = {-1, 3, -3, 1, 3, -6, 3, 0, -3, 3, 0, 0, 1, 0, 0, 0};
const double KZEQSurfaceEvaluator::BezierQuadric[16] = {0, 1, -2, 1, 0, -2, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0};
const double KZEQSurfaceEvaluator::Cardinal[16] = {-0.5, 1, -0.5, 0, 1.5, -2.5, 0, 1, -1.5, 2, 0.5, 0, 0.5, -0.5, 0, 0};
const double KZEQSurfaceEvaluator::BSpline[16] = {-1.0 / 6, 0.5, -0.5, 1.0 / 6, 0.5, -1, 0, 2.0 / 3,
                                                  -0.5,     0.5, 0.5,  1.0 / 6, 1.0 / 6, 0, 0, 0};
const double KZEQSurfaceEvaluator::Linear[16] = {0, 0, -1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};

namespace {

// Curve settings of each patch type.
struct KCurveType {
    const double* mMatrix;
    unsigned int mOrder;
    unsigned int mAfterStep;
};
const KCurveType kCurveTypes[] = {{KZEQSurfaceEvaluator::Bezier, 4, 3},
                                  {KZEQSurfaceEvaluator::BezierQuadric, 3, 2},
                                  {KZEQSurfaceEvaluator::Cardinal, 4, 1},
                                  {KZEQSurfaceEvaluator::BSpline, 4, 1},
                                  {KZEQSurfaceEvaluator::Linear, 2, 1}};

constexpr double kCapTolerance = 1e-8;

// n = v x u, into the first three of out.
void Cross(const double* v, const double* u, double* out) {
    out[0] = v[1] * u[2] - v[2] * u[1];
    out[1] = v[2] * u[0] - v[0] * u[2];
    out[2] = v[0] * u[1] - v[1] * u[0];
}

// A block of count doubles, or null when the count is 0, too large or memory runs out.
std::unique_ptr<double[]> Doubles(std::size_t count) {
    if (count == 0 || count > SIZE_MAX / sizeof(double)) return nullptr;
    return std::unique_ptr<double[]>(new (std::nothrow) double[count]());
}

}  // namespace

KZEQSurfaceEvaluator::~KZEQSurfaceEvaluator() = default;

// ---- Creation ------------------------------------------------------------------------------

KZEQSurfaceEvaluator* KZEQSurfaceEvaluatorCreate() { return new (std::nothrow) KZEQSurfaceEvaluator; }

void SetSurfaceCurveTypeU(KZEQSurfaceEvaluator* evaluator, int type) {
    if (!evaluator || type < 0 || type > 4) return;
    evaluator->Set_U_Blending_Parameters(kCurveTypes[type].mMatrix);
    evaluator->SetOrderU(kCurveTypes[type].mOrder);
    evaluator->SetAfterStepU(kCurveTypes[type].mAfterStep);
    evaluator->SetEvaluationStepU(4);
}

void SetSurfaceCurveTypeV(KZEQSurfaceEvaluator* evaluator, int type) {
    if (!evaluator || type < 0 || type > 4) return;
    evaluator->Set_V_Blending_Parameters(kCurveTypes[type].mMatrix);
    evaluator->SetOrderV(kCurveTypes[type].mOrder);
    evaluator->SetAfterStepV(kCurveTypes[type].mAfterStep);
    evaluator->SetEvaluationStepV(4);
}

KZEQSurfaceEvaluator* ZEQCreateGeneralUniformSurface(KZeqPatch::EPatchType uType, KZeqPatch::EPatchType vType) {
    KZEQSurfaceEvaluator* evaluator = KZEQSurfaceEvaluatorCreate();
    SetSurfaceCurveTypeU(evaluator, uType);
    SetSurfaceCurveTypeV(evaluator, vType);
    return evaluator;
}

// ---- Settings ------------------------------------------------------------------------------

void KZEQSurfaceEvaluator::SetEvaluationModeU(int mode) {
    mDirections[0].mMode = mode;
    mDirections[0].mPointCount = 0;
}

void KZEQSurfaceEvaluator::SetEvaluationModeV(int mode) {
    mDirections[1].mMode = mode;
    mDirections[1].mPointCount = 0;
}

void KZEQSurfaceEvaluator::SetOrderU(unsigned int order) {
    mDirections[0].mOrder = order;
    mDirections[0].mPointCount = 0;
}

void KZEQSurfaceEvaluator::SetOrderV(unsigned int order) {
    mDirections[1].mOrder = order;
    mDirections[1].mPointCount = 0;
}

void KZEQSurfaceEvaluator::SetEvaluationStepU(unsigned int step) {
    mDirections[0].mStep = step;
    mDirections[0].mPointCount = 0;
    mTablesDirty = true;
}

void KZEQSurfaceEvaluator::SetEvaluationStepV(unsigned int step) {
    mDirections[1].mStep = step;
    mDirections[1].mPointCount = 0;
    mTablesDirty = true;
}

void KZEQSurfaceEvaluator::SetAfterStepU(unsigned int step) {
    mDirections[0].mAfterStep = step;
    mDirections[0].mPointCount = 0;
    mTablesDirty = true;
}

void KZEQSurfaceEvaluator::SetAfterStepV(unsigned int step) {
    mDirections[1].mAfterStep = step;
    mDirections[1].mPointCount = 0;
    mTablesDirty = true;
}

void KZEQSurfaceEvaluator::SetBlending(KDirection& direction, const double* matrix) {
    if (!matrix) return;
    for (int i = 0; i < 16; ++i) direction.mBlending[i] = matrix[i];
    // dB = 3 a t^2 + 2 b t + c for B = a t^3 + b t^2 + c t + d.
    for (int k = 0; k < 4; ++k) {
        direction.mDerivative[3 * k] = 3 * matrix[4 * k];
        direction.mDerivative[3 * k + 1] = 2 * matrix[4 * k + 1];
        direction.mDerivative[3 * k + 2] = matrix[4 * k + 2];
    }
}

void KZEQSurfaceEvaluator::Set_U_Blending_Parameters(const double* matrix) {
    SetBlending(mDirections[0], matrix);
    mTablesDirty = true;
}

void KZEQSurfaceEvaluator::Set_V_Blending_Parameters(const double* matrix) {
    SetBlending(mDirections[1], matrix);
    mTablesDirty = true;
}

namespace {

// The cubic of a tension: 1 is the Cardinal basis.
void TensionMatrix(double t, double* m) {
    const double h = t / 2;
    const double values[16] = {-h, t, -h, 0, 2 - h, h - 3, 0, 1, h - 2, 3 - t, h, 0, h, -h, 0, 0};
    for (int i = 0; i < 16; ++i) m[i] = values[i];
}

}  // namespace

void KZEQSurfaceEvaluator::SetSurfaceTensionU(double tension) {
    double matrix[16];
    TensionMatrix(tension, matrix);
    mDirections[0].mTension = tension;
    Set_U_Blending_Parameters(matrix);
    SetOrderU(4);
    SetAfterStepU(1);
}

void KZEQSurfaceEvaluator::SetSurfaceTensionV(double tension) {
    double matrix[16];
    TensionMatrix(tension, matrix);
    mDirections[1].mTension = tension;
    Set_V_Blending_Parameters(matrix);
    SetOrderV(4);
    SetAfterStepV(1);
}

void KZEQSurfaceEvaluator::SetSourceArray(double* points, unsigned int countU, unsigned int countV) {
    mSource = points;
    mDirections[0].mSourceCount = countU;
    mDirections[1].mSourceCount = countV;
    mDirections[0].mPointCount = mDirections[1].mPointCount = 0;
    mCapsDirty = true;
}

// ---- Counts --------------------------------------------------------------------------------

KZEQSurfaceEvaluator::KSegments KZEQSurfaceEvaluator::SegmentsOf(const KDirection& d) const {
    KSegments result;
    // Fewer points than the order would wrap the unsigned count; a step of 0 divides by zero.
    if (d.mSourceCount == 0 || d.mSourceCount < d.mOrder || d.mAfterStep == 0 || d.mStep == 0) return result;
    const unsigned long long samples = static_cast<unsigned long long>(d.mStep) * d.mAfterStep;
    const unsigned long long n = (d.mSourceCount - d.mOrder) / d.mAfterStep;
    const unsigned long long segments = d.Closed() ? n + d.mOrder : n + 1;
    const unsigned long long points = segments * samples + (d.Closed() ? 0 : 1);
    if (segments == 0 || points > UINT_MAX) return result;
    result.mSegments = segments;
    result.mSamples = samples;
    result.mPoints = points;
    return result;
}

unsigned int KZEQSurfaceEvaluator::GetCurvePointCountX() {
    if (mDirections[0].mPointCount == 0)
        mDirections[0].mPointCount = static_cast<unsigned int>(SegmentsOf(mDirections[0]).mPoints);
    return mDirections[0].mPointCount;
}

unsigned int KZEQSurfaceEvaluator::GetCurvePointCountY() {
    if (mDirections[1].mPointCount == 0)
        mDirections[1].mPointCount = static_cast<unsigned int>(SegmentsOf(mDirections[1]).mPoints);
    return mDirections[1].mPointCount;
}

// ---- Tables --------------------------------------------------------------------------------

void KZEQSurfaceEvaluator::SetBasisTable(KDirection& d) {
    d.mBasis.reset();
    d.mDerivativeBasis.reset();
    d.mTableSize = 0;
    const unsigned long long samples = static_cast<unsigned long long>(d.mStep) * d.mAfterStep;
    if (samples == 0 || samples > UINT_MAX) return;
    const std::size_t size = (static_cast<std::size_t>(samples) + 1) * 4;
    d.mBasis = Doubles(size);
    d.mDerivativeBasis = Doubles(size);
    if (!d.mBasis || !d.mDerivativeBasis) {
        d.mBasis.reset();
        d.mDerivativeBasis.reset();
        return;
    }
    d.mTableSize = size;
    for (std::size_t a = 0; a <= samples; ++a) {
        // a / s rather than a running sum: the segment's ends are exactly 0 and 1.
        const double t = static_cast<double>(a) / static_cast<double>(samples);
        for (int k = 0; k < 4; ++k) {
            const double* m = d.mBlending + 4 * k;
            const double* dm = d.mDerivative + 3 * k;
            d.mBasis[4 * a + k] = ((m[0] * t + m[1]) * t + m[2]) * t + m[3];
            d.mDerivativeBasis[4 * a + k] = (dm[0] * t + dm[1]) * t + dm[2];
        }
    }
}

void KZEQSurfaceEvaluator::SetBiTable() { SetBasisTable(mDirections[0]); }

void KZEQSurfaceEvaluator::SetBjTable() { SetBasisTable(mDirections[1]); }

void KZEQSurfaceEvaluator::SetProductTable(std::unique_ptr<double[]>& table, const double* u, const double* v,
                                           double factor) {
    table.reset();
    mProductTableSize = 0;
    if (!u || !v) return;
    const std::size_t su = mDirections[0].mTableSize / 4, sv = mDirections[1].mTableSize / 4;
    if (su == 0 || sv == 0 || su > SIZE_MAX / 16 / sv) return;
    table = Doubles(16 * su * sv);
    if (!table) return;
    mProductTableSize = 16 * su * sv;
    // By V sample, then U sample: 16 products, entry l x 4 + k for U term k and V term l.
    double* out = table.get();
    for (std::size_t b = 0; b < sv; ++b)
        for (std::size_t a = 0; a < su; ++a)
            for (int l = 0; l < 4; ++l)
                for (int k = 0; k < 4; ++k) *out++ = factor * v[4 * b + l] * u[4 * a + k];
}

void KZEQSurfaceEvaluator::SetBijTable() {
    SetProductTable(mBij, mDirections[0].mBasis.get(), mDirections[1].mBasis.get(), 1.0);
}

namespace {

// The 0.5 / s factor of the tangents, s the samples of a direction's segment.
double TangentFactor(std::size_t tableSize) {
    const std::size_t samples = tableSize / 4;
    return samples > 1 ? 0.5 / static_cast<double>(samples - 1) : 0.0;
}

}  // namespace

void KZEQSurfaceEvaluator::SetBdijTable() {
    SetProductTable(mBdij, mDirections[0].mDerivativeBasis.get(), mDirections[1].mBasis.get(),
                    TangentFactor(mDirections[0].mTableSize));
}

void KZEQSurfaceEvaluator::SetBidjTable() {
    SetProductTable(mBidj, mDirections[0].mBasis.get(), mDirections[1].mDerivativeBasis.get(),
                    TangentFactor(mDirections[1].mTableSize));
}

// ---- Evaluation ----------------------------------------------------------------------------

void KZEQSurfaceEvaluator::EvaluateSurface(KZeqWeightedMapping* mapping) {
    if (mTablesDirty) {
        SetBiTable();
        SetBjTable();
        SetBijTable();
        SetBdijTable();
        SetBidjTable();
        SetOtherTable();
        mUTangents.reset();
        mVTangents.reset();
        mTangentRecords = 0;
        mTablesDirty = false;
    }
    if (mCapsDirty) Set_Cap_Flag();
    EvaluateSurfaceExactNormal();
    if (mapping) ComputeBlendingFactor(mapping);
}

bool KZEQSurfaceEvaluator::PrepareOutput(unsigned long long countX, unsigned long long countY) {
    if (!mSource || countX == 0 || countY == 0 || countX > SIZE_MAX / 32 / countY) return false;
    const std::size_t records = static_cast<std::size_t>(countX * countY);
    if (records != mTangentRecords || !mUTangents || !mVTangents) {
        mUTangents = Doubles(4 * records);
        mVTangents = Doubles(4 * records);
        mTangentRecords = mUTangents && mVTangents ? records : 0;
    }
    return mTangentRecords == records;
}

bool KZEQSurfaceEvaluator::InWindow(int direction, unsigned long long index, unsigned int& reduced) const {
    const KDirection& d = mDirections[direction];
    reduced = static_cast<unsigned int>(index % d.mSourceCount);
    return index < d.mSourceCount || d.Closed();
}

void KZEQSurfaceEvaluator::StorePoint(std::size_t record, const double* point, const double* u, const double* v) {
    double* at = mDestination ? mDestination + 4 * record : nullptr;
    double* tu = mUTangents.get() + 4 * record;
    double* tv = mVTangents.get() + 4 * record;
    for (int c = 0; c < 3; ++c) {
        if (at) at[c] = point[c];
        tu[c] = u[c];
        tv[c] = v[c];
    }
    tu[3] = tv[3] = 0.0;
    if (mDestinationNormals) Cross(v, u, mDestinationNormals + 4 * record);
}

template <class Visit>
bool KZEQSurfaceEvaluator::WalkSamples(Visit&& visit) {
    const KSegments u = SegmentsOf(mDirections[0]), v = SegmentsOf(mDirections[1]);
    if (!mSource || u.mPoints == 0 || v.mPoints == 0 || !mBij || !mBdij || !mBidj ||
        mProductTableSize != 16 * (u.mSamples + 1) * (v.mSamples + 1))
        return false;
    // The window of each U segment: its four columns and whether each counts.
    std::vector<unsigned int> columns(4 * u.mSegments);
    std::vector<char> columnIn(4 * u.mSegments);
    for (unsigned long long i = 0; i < u.mSegments; ++i)
        for (int k = 0; k < 4; ++k)
            columnIn[4 * i + k] = InWindow(0, i * mDirections[0].mAfterStep + k, columns[4 * i + k]);
    KWindow window;
    for (unsigned long long j = 0; j < v.mSegments; ++j) {
        for (int l = 0; l < 4; ++l) window.mRowIn[l] = InWindow(1, j * mDirections[1].mAfterStep + l, window.mRows[l]);
        const unsigned long long rowSamples = v.mSamples + (j + 1 == v.mSegments && !mDirections[1].Closed());
        for (unsigned long long b = 0; b < rowSamples; ++b) {
            const unsigned long long row = j * v.mSamples + b;
            for (unsigned long long i = 0; i < u.mSegments; ++i) {
                for (int k = 0; k < 4; ++k) {
                    window.mColumns[k] = columns[4 * i + k];
                    window.mColumnIn[k] = columnIn[4 * i + k];
                }
                const unsigned long long columnSamples =
                    u.mSamples + (i + 1 == u.mSegments && !mDirections[0].Closed());
                for (unsigned long long a = 0; a < columnSamples; ++a) {
                    const std::size_t table = 16 * static_cast<std::size_t>(b * (u.mSamples + 1) + a);
                    visit(static_cast<std::size_t>(row * u.mPoints + i * u.mSamples + a), window, table);
                }
            }
        }
    }
    mDirections[0].mPointCount = static_cast<unsigned int>(u.mPoints);
    mDirections[1].mPointCount = static_cast<unsigned int>(v.mPoints);
    return true;
}

void KZEQSurfaceEvaluator::EvaluateSurfaceExactNormal() {
    if (!PrepareOutput(SegmentsOf(mDirections[0]).mPoints, SegmentsOf(mDirections[1]).mPoints)) return;
    const std::size_t countU = mDirections[0].mSourceCount;
    const double* source = mSource;
    const double *bij = mBij.get(), *bdij = mBdij.get(), *bidj = mBidj.get();
    const bool walked = WalkSamples([&](std::size_t record, const KWindow& w, std::size_t table) {
        double p[3] = {0, 0, 0}, tu[3] = {0, 0, 0}, tv[3] = {0, 0, 0};
        for (int l = 0; l < 4; ++l) {
            if (!w.mRowIn[l]) continue;
            const double* line = source + 4 * (w.mRows[l] * countU);
            for (int k = 0; k < 4; ++k) {
                if (!w.mColumnIn[k]) continue;
                const double* P = line + 4 * static_cast<std::size_t>(w.mColumns[k]);
                const std::size_t e = table + 4 * l + k;
                for (int c = 0; c < 3; ++c) {
                    p[c] += bij[e] * P[c];
                    tu[c] += bdij[e] * P[c];
                    tv[c] += bidj[e] * P[c];
                }
            }
        }
        StorePoint(record, p, tu, tv);
    });
    if (walked) Correct_Cap_Normal();
}

void KZEQSurfaceEvaluator::ComputeBlendingFactor(KZeqWeightedMapping* mapping) {
    if (!mapping) return;
    const std::size_t countU = mDirections[0].mSourceCount;
    const double* bij = mBij.get();
    WalkSamples([&](std::size_t record, const KWindow& w, std::size_t table) {
        if (record > static_cast<std::size_t>(INT_MAX)) return;
        double* addresses[16];
        double weights[16], outWeights[16];
        int outIndices[16];
        for (int l = 0; l < 4; ++l)
            for (int k = 0; k < 4; ++k) {
                const int e = 4 * l + k;
                addresses[e] = mSource + 4 * (w.mRows[l] * countU + w.mColumns[k]);
                // A control point wrapped into an open window weighs nothing.
                weights[e] = w.mRowIn[l] && w.mColumnIn[k] ? bij[table + e] : 0.0;
            }
        ComputeBlendingCV(mSource, addresses, 4, weights, nullptr, outWeights, outIndices);
        AddBlendingCV(mapping, outWeights, outIndices, static_cast<int>(record));
    });
}

void KZEQSurfaceEvaluator::ComputeBlendingCV(double* base, double** addresses, int stride, const double* weights,
                                             const double* secondWeights, double* outWeights, int* outIndices) {
    if (!base || !addresses || stride <= 0 || !weights || !outWeights || !outIndices) return;
    for (int t = 0; t < 16; ++t) {
        outIndices[t] = static_cast<int>((addresses[t] - base) / stride);
        outWeights[t] = secondWeights ? weights[t] * secondWeights[t] : weights[t];
    }
}

void KZEQSurfaceEvaluator::AddBlendingCV(KZeqWeightedMapping* mapping, const double* weights, const int* indices,
                                         int destination) {
    if (!mapping || !weights || !indices) return;
    for (int t = 0; t < 16; ++t)
        if (weights[t] != 0.0) mapping->Add(indices[t], destination, weights[t]);
}

// ---- Caps ----------------------------------------------------------------------------------

bool KZEQSurfaceEvaluator::GetBottomCapU() {
    if (mCapsDirty) Set_Cap_Flag();
    return mBottomCapU;
}

bool KZEQSurfaceEvaluator::GetTopCapU() {
    if (mCapsDirty) Set_Cap_Flag();
    return mTopCapU;
}

bool KZEQSurfaceEvaluator::GetBottomCapV() {
    if (mCapsDirty) Set_Cap_Flag();
    return mBottomCapV;
}

bool KZEQSurfaceEvaluator::GetTopCapV() {
    if (mCapsDirty) Set_Cap_Flag();
    return mTopCapV;
}

void KZEQSurfaceEvaluator::Set_Cap_Flag() {
    mBottomCapU = mTopCapU = mBottomCapV = mTopCapV = false;
    mCapsDirty = false;
    const long long countU = mDirections[0].mSourceCount, countV = mDirections[1].mSourceCount;
    if (!mSource || countU == 0 || countV == 0) return;
    // A row (column) collapses when its points hardly move from one to the
    // next along x, y and z; one the grid lacks does not.
    auto collapsed = [&](bool row, long long line) {
        if (line < 0 || line >= (row ? countV : countU)) return false;
        const long long n = row ? countU : countV;
        double spread[3] = {0, 0, 0};
        for (long long q = 1; q < n; ++q) {
            const long long a = row ? line * countU + q - 1 : (q - 1) * countU + line;
            const long long b = row ? line * countU + q : q * countU + line;
            for (int c = 0; c < 3; ++c) spread[c] += std::fabs(mSource[4 * b + c] - mSource[4 * a + c]);
        }
        return spread[0] < kCapTolerance && spread[1] < kCapTolerance && spread[2] < kCapTolerance;
    };
    mBottomCapV = collapsed(true, 0) || collapsed(true, 1);
    mTopCapV = collapsed(true, countV - 2) || collapsed(true, countV - 1);
    mBottomCapU = collapsed(false, 0) || collapsed(false, 1);
    mTopCapU = collapsed(false, countU - 2) || collapsed(false, countU - 1);
}

void KZEQSurfaceEvaluator::Correct_Cap_Normal() {
    const std::size_t x = mDirections[0].mPointCount, y = mDirections[1].mPointCount;
    if (!mDestinationNormals || !mUTangents || !mVTangents || x * y != mTangentRecords) return;
    const double* u = mUTangents.get();
    const double* v = mVTangents.get();
    auto at = [x](std::size_t column, std::size_t row) { return 4 * (row * x + column); };
    // One normal from the tangents one point off the collapsed border, for the whole border.
    auto fill = [&](std::size_t vAt, std::size_t uAt, std::size_t first, std::size_t stride, std::size_t count) {
        double n[3];
        Cross(v + vAt, u + uAt, n);
        for (std::size_t i = 0; i < count; ++i)
            for (int c = 0; c < 3; ++c) mDestinationNormals[4 * (first + i * stride) + c] = n[c];
    };
    if (x >= 2 && mBottomCapU) fill(at(1, 0), at(0, 0), 0, x, y);
    if (x >= 2 && mTopCapU) fill(at(x - 2, 0), at(x - 1, 0), x - 1, x, y);
    if (y >= 2 && mBottomCapV) fill(at(0, 0), at(0, 1), 0, 1, x);
    if (y >= 2 && mTopCapV) fill(at(0, y - 1), at(0, y - 2), (y - 1) * x, 1, x);
}

}  // namespace zeqsdk_400
