#include "content/kzeqnurbsurfaceevaluator.h"

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

#include "content/kzeqweightedmapping.h"

namespace zeqsdk_400 {

namespace {

constexpr double kKnotTolerance = 1e-8;
constexpr unsigned int kWindow = 4;

// The recursion N(i, k) = (t - u_i) / d1 N(i, k-1) + (u_{i+k} - t) / d2
// N(i+1, k-1) and its product-rule derivative, evaluated bottom-up: level r
// holds N(i + j, r) for j = 0..k-r, so a basis costs k^2 / 2 steps rather
// than the 2^k of the plain recursion (orders come from files).
double Basis(double t, int i, unsigned int k, const double* knots, bool derivative) {
    if (k == 0 || !knots) return 0.0;
    double stackValues[16], stackSlopes[16];
    std::vector<double> heap;
    double* n = stackValues;
    double* d = stackSlopes;
    if (k > 16) {
        heap.resize(2 * static_cast<std::size_t>(k));
        n = heap.data();
        d = n + k;
    }
    for (unsigned int j = 0; j < k; ++j) {
        n[j] = knots[i + j] <= t && t < knots[i + j + 1] ? 1.0 : 0.0;
        d[j] = 0.0;
    }
    for (unsigned int r = 2; r <= k; ++r)
        for (unsigned int j = 0; j + r <= k; ++j) {
            const double* u = knots + i + j;
            const double d1 = u[r - 1] - u[0], d2 = u[r] - u[1];
            double value = 0.0, slope = 0.0;
            if (d1 > kKnotTolerance) {
                value += (t - u[0]) / d1 * n[j];
                slope += (n[j] + (t - u[0]) * d[j]) / d1;
            }
            if (d2 > kKnotTolerance) {
                value += (u[r] - t) / d2 * n[j + 1];
                slope += ((u[r] - t) * d[j + 1] - n[j + 1]) / d2;
            }
            n[j] = value;
            d[j] = slope;
        }
    return derivative ? d[0] : n[0];
}

}  // namespace

double Compute_Bik(double t, int i, unsigned int k, const double* knots) { return Basis(t, i, k, knots, false); }

double Compute_dBik(double t, int i, unsigned int k, const double* knots) { return Basis(t, i, k, knots, true); }

KZEQNURBSurfaceEvaluator* KZEQNURBSurfaceEvaluatorCreate(unsigned int uOrder, unsigned int vOrder) {
    auto* evaluator = new (std::nothrow) KZEQNURBSurfaceEvaluator;
    if (evaluator) {
        evaluator->SetOrderU(uOrder);
        evaluator->SetOrderV(vOrder);
    }
    return evaluator;
}

KZEQNURBSurfaceEvaluator::~KZEQNURBSurfaceEvaluator() = default;

unsigned int KZEQNURBSurfaceEvaluator::Find_Number_Of_Span(const double* knots, unsigned int knotCount,
                                                           unsigned int order) {
    if (!knots || order == 0) return 0;
    unsigned int spans = 0;
    for (long long j = static_cast<long long>(order) - 1; j <= static_cast<long long>(knotCount) - order - 1; ++j)
        if (knots[j + 1] - knots[j] > kKnotTolerance) ++spans;
    return spans;
}

void KZEQNURBSurfaceEvaluator::SetAuxSourceArray(int slot, double* values) {
    if (slot == 0) mWeights = values;
    if (slot == 1 || slot == 2) {
        mNurb[slot - 1].mKnots = values;
        mTablesDirty = true;
    }
    if (slot == 5) mWork = values;
    mDirections[0].mPointCount = mDirections[1].mPointCount = 0;
}

// ---- Counts ------------------------------------------------------------------------------

unsigned long long KZEQNURBSurfaceEvaluator::KnotCount(int direction) const {
    const KDirection& d = mDirections[direction];
    return d.Closed() ? d.mSourceCount + 2ull * d.mOrder - 1 : static_cast<unsigned long long>(d.mSourceCount) + d.mOrder;
}

unsigned long long KZEQNURBSurfaceEvaluator::PointsOf(int direction) const {
    const KDirection& d = mDirections[direction];
    const unsigned long long knots = KnotCount(direction);
    if (!mNurb[direction].mKnots || d.mOrder == 0 || d.mOrder > kWindow || d.mStep == 0 || d.mSourceCount == 0 ||
        knots > INT_MAX)
        return 0;
    const unsigned long long spans =
        Find_Number_Of_Span(mNurb[direction].mKnots, static_cast<unsigned int>(knots), d.mOrder);
    const unsigned long long points = spans * d.mStep + (d.Closed() ? 0 : 1);
    return spans == 0 || points > UINT_MAX ? 0 : points;
}

unsigned int KZEQNURBSurfaceEvaluator::GetCurvePointCountX() {
    if (mDirections[0].mPointCount == 0) mDirections[0].mPointCount = static_cast<unsigned int>(PointsOf(0));
    return mDirections[0].mPointCount;
}

unsigned int KZEQNURBSurfaceEvaluator::GetCurvePointCountY() {
    if (mDirections[1].mPointCount == 0) mDirections[1].mPointCount = static_cast<unsigned int>(PointsOf(1));
    return mDirections[1].mPointCount;
}

// ---- Tables ------------------------------------------------------------------------------

void KZEQNURBSurfaceEvaluator::SetSpanTable(int direction) {
    KDirection& d = mDirections[direction];
    KNurbDirection& n = mNurb[direction];
    d.mBasis.reset();
    d.mDerivativeBasis.reset();
    d.mTableSize = 0;
    n.mSpanStart.reset();
    n.mSpanCount = 0;
    n.mBuiltKnots = n.mKnots;
    n.mBuiltOrder = d.mOrder;
    n.mBuiltStep = d.mStep;
    n.mBuiltCount = d.mSourceCount;
    n.mBuiltMode = d.Closed() ? 1 : 0;
    const unsigned long long points = PointsOf(direction);
    if (points == 0) return;
    const unsigned int knotCount = static_cast<unsigned int>(KnotCount(direction));
    const unsigned int spans = Find_Number_Of_Span(n.mKnots, knotCount, d.mOrder);
    const std::size_t size = 4 * static_cast<std::size_t>(points);
    d.mBasis.reset(new (std::nothrow) double[size]());
    d.mDerivativeBasis.reset(new (std::nothrow) double[size]());
    n.mSpanStart.reset(new (std::nothrow) int[spans]());
    if (!d.mBasis || !d.mDerivativeBasis || !n.mSpanStart) {
        d.mBasis.reset();
        d.mDerivativeBasis.reset();
        n.mSpanStart.reset();
        return;
    }
    const double* knots = n.mKnots;
    const unsigned int order = d.mOrder;
    unsigned int m = 0;  // the knot interval [knots[m + order - 1], knots[m + order])
    std::size_t row = 0;
    for (unsigned int span = 0; span < spans; ++span, ++m) {
        while (m + order < knotCount && knots[m + order] - knots[m + order - 1] < kKnotTolerance) ++m;
        if (m + order >= knotCount) break;
        n.mSpanStart[span] = static_cast<int>(m);
        const double t0 = knots[m + order - 1];
        // Just short of the span's end, so that its last sample stays inside it.
        const double spacing = (knots[m + order] - t0) / (d.mStep + 1e-8);
        const unsigned int samples = d.mStep + (span + 1 == spans && !d.Closed() ? 1 : 0);
        double t = t0;
        for (unsigned int q = 0; q < samples && row < points; ++q, ++row, t += spacing)
            for (unsigned int k = 0; k < kWindow; ++k) {
                // A basis whose knots would run past the vector's end is 0.
                const bool inside = m + k + order < knotCount;
                const int i = static_cast<int>(m + k);
                d.mBasis[4 * row + k] = inside ? Compute_Bik(t, i, order, knots) : 0.0;
                d.mDerivativeBasis[4 * row + k] = inside ? Compute_dBik(t, i, order, knots) : 0.0;
            }
    }
    d.mTableSize = size;
    n.mSpanCount = spans;
}

void KZEQNURBSurfaceEvaluator::SetBiTable() { SetSpanTable(0); }

void KZEQNURBSurfaceEvaluator::SetBjTable() { SetSpanTable(1); }

bool KZEQNURBSurfaceEvaluator::TablesReady() {
    for (int direction = 0; direction < 2; ++direction) {
        const KDirection& d = mDirections[direction];
        const KNurbDirection& n = mNurb[direction];
        // Orders, modes, counts and knots may change without marking the tables.
        if (n.mBuiltKnots != n.mKnots || n.mBuiltOrder != d.mOrder || n.mBuiltStep != d.mStep ||
            n.mBuiltCount != d.mSourceCount || n.mBuiltMode != (d.Closed() ? 1 : 0) || !d.mBasis)
            SetSpanTable(direction);
        if (!d.mBasis || !n.mSpanStart) return false;
    }
    return mSource != nullptr;
}

// ---- Evaluation --------------------------------------------------------------------------

template <class Visit>
void KZEQNURBSurfaceEvaluator::WalkPoints(Visit&& visit) {
    const std::size_t countX = mDirections[0].mTableSize / 4, countY = mDirections[1].mTableSize / 4;
    // Each column's (row's) window, reduced modulo the count: a closed
    // direction of few points may wrap more than once.
    std::vector<unsigned int> windows[2];
    for (int direction = 0; direction < 2; ++direction) {
        const KDirection& d = mDirections[direction];
        const KNurbDirection& n = mNurb[direction];
        const std::size_t count = direction == 0 ? countX : countY;
        windows[direction].resize(kWindow * count);
        for (std::size_t c = 0; c < count; ++c) {
            const std::size_t span = std::min<std::size_t>(c / d.mStep, n.mSpanCount - 1);
            for (unsigned int k = 0; k < kWindow; ++k)
                windows[direction][kWindow * c + k] =
                    static_cast<unsigned int>((static_cast<std::size_t>(n.mSpanStart[span]) + k) % d.mSourceCount);
        }
    }
    for (std::size_t r = 0; r < countY; ++r)
        for (std::size_t c = 0; c < countX; ++c)
            visit(r * countX + c, &windows[1][kWindow * r], &windows[0][kWindow * c], &mDirections[0].mBasis[4 * c],
                  &mDirections[0].mDerivativeBasis[4 * c], &mDirections[1].mBasis[4 * r],
                  &mDirections[1].mDerivativeBasis[4 * r]);
    mDirections[0].mPointCount = static_cast<unsigned int>(countX);
    mDirections[1].mPointCount = static_cast<unsigned int>(countY);
}

void KZEQNURBSurfaceEvaluator::EvaluateSurfaceExactNormal() {
    if (!TablesReady() || !PrepareOutput(mDirections[0].mTableSize / 4, mDirections[1].mTableSize / 4)) return;
    const std::size_t countU = mDirections[0].mSourceCount;
    const std::size_t points = countU * mDirections[1].mSourceCount;
    if (mWork)
        for (std::size_t c = 0; c < points; ++c)
            for (int i = 0; i < 3; ++i) mWork[3 * c + i] = WeightOf(c) * mSource[4 * c + i];
    WalkPoints([&](std::size_t record, const unsigned int* rows, const unsigned int* columns, const double* bi,
                   const double* dbi, const double* bj, const double* dbj) {
        double w = 0.0, wu = 0.0, wv = 0.0;
        double h[3] = {0, 0, 0}, hu[3] = {0, 0, 0}, hv[3] = {0, 0, 0};
        for (unsigned int l = 0; l < kWindow; ++l)
            for (unsigned int k = 0; k < kWindow; ++k) {
                const std::size_t c = rows[l] * countU + columns[k];
                const double weight = WeightOf(c);
                const double bij = bj[l] * bi[k], bdij = bj[l] * dbi[k], bidj = dbj[l] * bi[k];
                w += bij * weight;
                wu += bdij * weight;
                wv += bidj * weight;
                for (int i = 0; i < 3; ++i) {
                    const double wp = weight * mSource[4 * c + i];
                    h[i] += bij * wp;
                    hu[i] += bdij * wp;
                    hv[i] += bidj * wp;
                }
            }
        // All window weights 0 would divide by zero: such a point is taken as unweighted.
        if (w == 0.0) w = 1.0;
        double p[3], tu[3], tv[3];
        for (int i = 0; i < 3; ++i) {
            p[i] = h[i] / w;
            tu[i] = (hu[i] - p[i] * wu) / w;
            tv[i] = (hv[i] - p[i] * wv) / w;
        }
        StorePoint(record, p, tu, tv);
    });
    Correct_Cap_Normal();
}

void KZEQNURBSurfaceEvaluator::ComputeBlendingFactor(KZeqWeightedMapping* mapping) {
    if (!mapping || !TablesReady()) return;
    const std::size_t countU = mDirections[0].mSourceCount;
    const std::size_t points = countU * mDirections[1].mSourceCount;
    if (mWork)
        for (std::size_t c = 0; c < points; ++c)
            for (int i = 0; i < 3; ++i) mWork[3 * c + i] = WeightOf(c);
    // Without a work array, the addresses point into the source array.
    double* base = mWork ? mWork : mSource;
    const int stride = mWork ? 3 : 4;
    WalkPoints([&](std::size_t record, const unsigned int* rows, const unsigned int* columns, const double* bi,
                   const double*, const double* bj, const double*) {
        if (record > static_cast<std::size_t>(INT_MAX)) return;
        double* addresses[16];
        double weights[16], second[16], outWeights[16];
        int outIndices[16];
        for (unsigned int l = 0; l < kWindow; ++l)
            for (unsigned int k = 0; k < kWindow; ++k) {
                const std::size_t c = rows[l] * countU + columns[k];
                addresses[4 * l + k] = base + stride * c;
                weights[4 * l + k] = bj[l] * bi[k];
                second[4 * l + k] = WeightOf(c);
            }
        ComputeBlendingCV(base, addresses, stride, weights, second, outWeights, outIndices);
        AddBlendingCV(mapping, outWeights, outIndices, static_cast<int>(record));
    });
}

}  // namespace zeqsdk_400
