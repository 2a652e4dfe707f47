// Baking layers and time warps: at the sample times (kfcurvebaketimes.cpp), the node's evaluation, the take's slopes on each side of every sample, read off the samples of the
// stretch between the take's keys around it, and the keys written back into the curves the node
// already has, so that whoever holds those curves keeps them.
#include "fcurve/kfcurvebake.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvebaketimes.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

using namespace bake;

// A stretch of the take between two of its keys with fewer than four samples is evaluated inside
// too, so that a cubic through four points reads its slopes (a key a tenth of a millisecond from
// another may still turn there), unless it is shorter than four microseconds: its ends tell them.
constexpr kLongLong kShortStretch = 4 * (KTime::kTicksPerSecond / 1000000);
// A short stretch (four points or fewer) whose steps between two points of a channel change by more
// than this part of its range turns too fast for them to tell its shape: it is read again in the
// middle of each gap, up to kRefinements times over.
constexpr double kFastStretch = 0.05;
constexpr int kRefinements = 3;
// In a long stretch, where the slopes read about a node disagree by more than this part of a
// channel's range over a gap, the gaps beside it are read again in their middles.
constexpr double kUnsure = 3e-3;

// The base curves in the order of the node's values: its own, then each child's, depth first.
void BaseCurves(KFCurveNode* node, std::vector<KFCurve*>& out) {
    if (KFCurve* curve = node->FCurveGet()) out.push_back(curve);
    for (int i = 0; i < node->GetCount(); ++i) BaseCurves(node->Get(i), out);
}

void ClearWarps(KFCurveNode* node) {
    node->TimeWarpSet(nullptr);
    for (int i = 0; i < node->GetCount(); ++i) ClearWarps(node->Get(i));
}

// ---- Values --------------------------------------------------------------------------------------

// A base quaternion node's run is its rotation as Euler XYZ angles; its curves hold the
// quaternion, kept on the side of the previous one so that it does not flip.
void ToQuaternion(const double* angles, double* quaternion, const double* previous) {
    KgeRMatrix m;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
    KmXYZtoR(m, angles[0], angles[1], angles[2]);
    KmRtoQ(quaternion, m);
    if (previous) {
        double dot = 0.0;
        for (int i = 0; i < 4; ++i) dot += quaternion[i] * previous[i];
        if (dot < 0.0)
            for (int i = 0; i < 4; ++i) quaternion[i] = -quaternion[i];
    }
}

// Whether the node's three values are Euler angles of its own order, kept continuous from one
// sample to the next: three plain channels, no curve of its own.
bool ThreeAngles(const KFCurveNode& node) {
    if (node.GetLayerType() != KFCL_EULER_XYZ || node.FCurveGet() || node.GetCount() != 3) return false;
    for (int i = 0; i < 3; ++i)
        if (node.Get(i)->GetCount() != 0 || !node.Get(i)->FCurveGet()) return false;
    return true;
}

// Where the node is evaluated: its samples (the keys), points inside a short stretch (to read its
// slopes) and, just under a microsecond about a sample where the take may jump, the values it
// leaves and takes: it may jump anywhere a sample stands for (a repeated cycle may start again on
// either side of its first key, a warp reach a key over many ticks or its floats move it off a
// frame, a key beside it have been kept for it).
enum class PointKind : unsigned char { eSample, eFit, eBefore, eAfter };

// Where the take may jump about a sample, the values on each side are read a microsecond off it,
// past all the keys the sample stands for (a key a tick short of a microsecond off may show its
// own value for a tick alone), at most at the samples beside it; a jump just after a sample is
// keyed a tick short of that, before the next sample.
constexpr KTime kReadAbout(kSameSample);
constexpr KTime kAboutJump(kSameSample.Get() - 1);
struct Point {
    KTime mTime;
    PointKind mKind;
};

// The samples between two of the take's keys (or an end) make a stretch where the take is smooth.
bool Bounds(const Mark& sample) { return (sample.mFlags & (kAtKey | kAtEnd | kMayStep)) != 0; }

// The evaluation points of the samples, ascending.
std::vector<Point> EvaluationPoints(const std::vector<Mark>& samples) {
    std::vector<Point> points;
    points.reserve(samples.size() + samples.size() / 4 + 2);
    points.push_back({samples[0].mTime, PointKind::eSample});
    // The take may jump right after its first instant (a constant key of the next value there).
    if ((samples[0].mFlags & kMayStep) && samples.size() > 1)
        points.push_back({KTime(samples[0].mTime.Get() + kReadAbout.Get()), PointKind::eAfter});
    std::size_t previous = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (!Bounds(samples[i]) && i + 1 < samples.size()) continue;
        const KTime a = samples[previous].mTime, b = samples[i].mTime;
        const kLongLong length = b.Get() - a.Get();
        const std::size_t inside = i - previous - 1;
        if (length >= kShortStretch && inside == 0) {
            points.push_back({KTime(a.Get() + length / 3), PointKind::eFit});
            points.push_back({KTime(a.Get() + length / 3 * 2), PointKind::eFit});
        } else if (length >= kShortStretch && inside == 1) {
            // The one more point in the middle of the longer half.
            const KTime m = samples[previous + 1].mTime;
            const bool early = m.Get() - a.Get() >= b.Get() - m.Get();
            if (early) points.push_back({KTime(a.Get() + (m.Get() - a.Get()) / 2), PointKind::eFit});
            points.push_back({m, PointKind::eSample});
            if (!early) points.push_back({KTime(m.Get() + (b.Get() - m.Get()) / 2), PointKind::eFit});
        } else {
            for (std::size_t s = previous + 1; s < i; ++s) points.push_back({samples[s].mTime, PointKind::eSample});
        }
        const bool mayStep = (samples[i].mFlags & kMayStep) != 0;
        if (mayStep && points.back().mTime.Get() < b.Get() - kReadAbout.Get())
            points.push_back({KTime(b.Get() - kReadAbout.Get()), PointKind::eBefore});
        points.push_back({b, PointKind::eSample});
        if (mayStep && i + 1 < samples.size() && b.Get() <= KTime::kInfiniteTicks - kReadAbout.Get())
            points.push_back({KTime(b.Get() + kReadAbout.Get()), PointKind::eAfter});
        previous = i;
    }
    return points;
}

// ---- Slopes and keys -----------------------------------------------------------------------------

// How the slope at a node of a stretch is read off the nodes around it: the derivative there of
// the polynomial through them (at most five), as weights of their differences from the node's
// value. The take's own slope where it is a cubic, within the samples' spacing to the fourth
// otherwise. The weights hang on the times alone: one stencil serves every channel.
struct Stencil {
    std::size_t mFirst;  // the first node read
    int mCount;          // 0: the five-point rule over even steps, mWeights[0] the reciprocal of 12 steps
    double mWeights[5];
};

// The weights of the derivative at x[k] of the polynomial through N nodes: those of the Lagrange
// bases' derivatives, which sum to zero, so that they apply to the differences y[j] - y[k] without
// cancelling large values.
template <int N, int K>
void LagrangeWeights(const double* x, double* w) {
#pragma GCC unroll 5
    for (int j = 0; j < N; ++j) {
        double above = 1.0, below = 1.0;
#pragma GCC unroll 5
        for (int i = 0; i < N; ++i) {
            if (i == j) continue;
            below *= x[j] - x[i];
            if (i != K) above *= x[K] - x[i];
        }
        w[j] = j == K ? 0.0 : above / below;
    }
}

template <int N>
void LagrangeWeights(const double* x, int k, double* w) {
    switch (k) {
        case 0:
            return LagrangeWeights<N, 0>(x, w);
        case 1:
            return LagrangeWeights<N, 1>(x, w);
        case 2:
            return LagrangeWeights<N, 2>(x, w);
        case 3:
            if constexpr (N > 3) return LagrangeWeights<N, 3>(x, w);
            break;
        default:
            if constexpr (N > 4) return LagrangeWeights<N, 4>(x, w);
            break;
    }
}

// The stencil of node k of a stretch of count nodes (times x, in seconds, ticks): the five around
// it, or the four nearest at an end; a grid's even steps take the five-point rule.
Stencil MakeStencil(const kLongLong* ticks, const double* x, int count, int k) {
    Stencil stencil{};
    int first = 0, used = count;
    if (count > 4) {
        if (k >= 2 && k + 2 < count)
            first = k - 2, used = 5;
        else
            first = std::min(std::max(k - 1, 0), count - 4), used = 4;
    }
    stencil.mFirst = static_cast<std::size_t>(first);
    stencil.mCount = used;
    const double* at = x + first;
    const int node = k - first;
    switch (used) {
        case 2:
            stencil.mWeights[1 - node] = 1.0 / (at[1 - node] - at[node]);
            break;
        case 3:
            LagrangeWeights<3>(at, node, stencil.mWeights);
            break;
        case 4:
            LagrangeWeights<4>(at, node, stencil.mWeights);
            break;
        default: {
            const kLongLong h = ticks[k + 1] - ticks[k];
            if (ticks[k] - ticks[k - 1] == h && ticks[k - 1] - ticks[k - 2] == h && ticks[k + 2] - ticks[k + 1] == h) {
                stencil.mCount = 0;
                stencil.mWeights[0] = 1.0 / (12.0 * (x[k + 1] - x[k]));
            } else {
                LagrangeWeights<5>(at, node, stencil.mWeights);
            }
            break;
        }
    }
    return stencil;
}

// How far the cubic from 0 to 1 whose end slopes are a and b times its chord's strays outside
// [0, 1] (0 where it stays within), and where: its extrema are the roots of its derivative.
double Excursion(double a, double b, double* where = nullptr) {
    const double c3 = a + b - 2.0, c2 = 3.0 - 2.0 * a - b;
    const auto h = [&](double u) { return ((c3 * u + c2) * u + a) * u; };
    double roots[2];
    int count = 0;
    const double qa = 3.0 * c3, qb = 2.0 * c2, qc = a;
    if (std::fabs(qa) < 1e-12) {
        if (qb != 0.0) roots[count++] = -qc / qb;
    } else {
        const double d = qb * qb - 4.0 * qa * qc;
        if (d >= 0.0) {
            const double r = std::sqrt(d);
            roots[count++] = (-qb - r) / (2.0 * qa);
            roots[count++] = (-qb + r) / (2.0 * qa);
        }
    }
    double worst = 0.0;
    for (int k = 0; k < count; ++k) {
        if (!(roots[k] > 0.0 && roots[k] < 1.0)) continue;
        const double v = h(roots[k]);
        const double out = std::max(v - 1.0, -v);
        if (out > worst) {
            worst = out;
            if (where) *where = roots[k];
        }
    }
    return worst;
}

// Whether a cubic stretch rising by rise over length with end slopes m0 and m1 may stray outside the
// values of its ends: not where the slopes together rise no more than three chords (it runs one way),
// nor where one turns against the chord or there is none (the take turns there). Most stretches,
// known without looking inside.
[[gnu::always_inline]] inline bool MayStray(double rise, double m0, double m1, double length) {
    return (std::fabs(m0) + std::fabs(m1)) * length > 3.0 * std::fabs(rise) && rise != 0.0 && m0 * rise >= 0.0 &&
           m1 * rise >= 0.0;
}

// KeepOneWay, inline where the bake writes its keys (the cut is read for every stretch).
[[gnu::always_inline]] inline bool KeepWithinEnds(double v0, double v1, double length, double& m0, double& m1, double tolerance,
                           double* where = nullptr) {
    const double rise = v1 - v0;
    if (!MayStray(rise, m0, m1, length)) return false;
    const double chord = rise / length;
    const double a = m0 / chord, b = m1 / chord;
    if (Excursion(a, b, where) * std::fabs(rise) <= tolerance) return false;
    // Within the triangle a + b <= 3 the cubic runs one way: the cut lies between there and here.
    double low = 3.0 / (a + b), high = 1.0;
    for (int step = 0; step < 40 && high - low > 1e-9; ++step) {
        const double middle = 0.5 * (low + high);
        (Excursion(a * middle, b * middle) > 0.0 ? high : low) = middle;
    }
    m0 *= low;
    m1 *= low;
    return true;
}


// Of each channel, over each region of the bake: a float's rounding of its largest value (a layer
// that cancels its base leaves holds that differ in the last bits of the values it cancelled), and
// its range, its largest value less its least. The keys' own span is one region; past it, where the
// take runs on (a cycle, a kept slope) over a span however long, each doubling of the distance from
// the keys is another, so that the values a long tail reaches scale neither the keyed part nor the
// tail nearer the keys. A stretch between two samples takes the region it lies in (one reaching
// into the keys, theirs); the points of a stretch, its ends too, count in its region.
struct ChannelScales {
    ChannelScales(KTime keysStart, KTime keysStop, std::size_t stride)
        : mKeysStart(keysStart), mKeysStop(keysStop), mStride(stride) {
        const kULongLong length = static_cast<kULongLong>(keysStop.Get()) - static_cast<kULongLong>(keysStart.Get());
        mUnit = std::max<kULongLong>(length, static_cast<kULongLong>(KTime::kTicksPerSecond));
    }
    // The scales of the rows of points (stride values a point) of the samples.
    void Compute(const std::vector<Mark>& samples, const std::vector<Point>& points, const double* rows) {
        const std::size_t n = samples.size(), stride = mStride;
        mWithinKeys = n > 0 && !(samples.front().mTime < mKeysStart) && !(mKeysStop < samples.back().mTime);
        int dense[kRegionIds];
        std::fill(dense, dense + kRegionIds, -1);
        mGapRegion.assign(n, 0);
        std::size_t regions = 0;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            const int id = RegionId(samples[i].mTime, samples[i + 1].mTime);
            if (dense[id] < 0) dense[id] = static_cast<int>(regions++);
            mGapRegion[i] = static_cast<std::size_t>(dense[id]);
        }
        if (n > 1) mGapRegion[n - 1] = mGapRegion[n - 2];
        regions = std::max<std::size_t>(regions, 1);
        mLargest.assign(regions * stride, 0.0);
        mLeast.assign(regions * stride, HUGE_VAL);
        mMost.assign(regions * stride, -HUGE_VAL);
        const auto add = [&](std::size_t region, std::size_t from, std::size_t to) {
            double* largest = mLargest.data() + region * stride;
            double* least = mLeast.data() + region * stride;
            double* most = mMost.data() + region * stride;
            for (const double* row = rows + from * stride; row != rows + to * stride; row += stride)
                for (std::size_t c = 0; c < stride; ++c) {
                    const double v = row[c];
                    if (std::fabs(v) > largest[c]) largest[c] = std::fabs(v);
                    if (v < least[c]) least[c] = v;
                    if (v > most[c]) most[c] = v;
                }
        };
        if (n < 2 || regions == 1) {
            add(0, 0, points.size());
        } else {
            // The points from each sample to the next, both ends included.
            std::size_t p = 0;
            for (std::size_t i = 0; i + 1 < n; ++i) {
                const std::size_t from = p;
                ++p;
                while (p < points.size() && points[p].mKind != PointKind::eSample) ++p;
                add(mGapRegion[i], from, std::min(p + 1, points.size()));
            }
        }
        mTolerance.resize(regions * stride), mRange.resize(regions * stride);
        for (std::size_t k = 0; k < regions * stride; ++k)
            mTolerance[k] = mLargest[k] * 4.0 * FLT_EPSILON, mRange[k] = mMost[k] - mLeast[k];
    }
    // A point added among the others: where the samples lie within the keys' span (one region,
    // as any added between them), it counts at once.
    void Add(const double* row) {
        if (!mWithinKeys) return;
        for (std::size_t c = 0; c < mStride; ++c) {
            const double v = row[c];
            if (std::fabs(v) > mLargest[c]) mLargest[c] = std::fabs(v);
            if (v < mLeast[c]) mLeast[c] = v;
            if (v > mMost[c]) mMost[c] = v;
        }
    }
    // After points were added: the scales of them all.
    void Update(const std::vector<Mark>& samples, const std::vector<Point>& points, const double* rows) {
        if (!mWithinKeys) return Compute(samples, points, rows);
        mGapRegion.assign(samples.size(), 0);
        for (std::size_t c = 0; c < mStride; ++c)
            mTolerance[c] = mLargest[c] * 4.0 * FLT_EPSILON, mRange[c] = mMost[c] - mLeast[c];
    }
    // The tolerance and the range of each channel over the stretch after sample i.
    const double* Tolerance(std::size_t i) const { return mTolerance.data() + mGapRegion.data()[i] * mStride; }
    const double* Range(std::size_t i) const { return mRange.data() + mGapRegion.data()[i] * mStride; }

    KTime mKeysStart, mKeysStop;
    std::size_t mStride;
    bool mWithinKeys = false;  // every sample lies within the keys' span: one region
    kULongLong mUnit;  // the first region past the keys on each side: their span, a second at least
    std::vector<std::size_t> mGapRegion;  // of each sample, the region of the stretch after it (the last: before it)
    std::vector<double> mLargest, mLeast, mMost;
    std::vector<double> mTolerance, mRange;  // a row of stride a region

private:
    // The keys' span (0); past the keys (odd) or before them (even), by the doubling of the
    // distance from them.
    static constexpr int kRegionIds = 1 + 2 * 65;
    int RegionId(KTime t0, KTime t1) const {
        const auto doubling = [this](kULongLong distance) {
            const kULongLong q = distance / mUnit;
            return q == 0 ? 0 : 64 - __builtin_clzll(q);
        };
        if (!(t0 < mKeysStop))
            return 1 + 2 * doubling(static_cast<kULongLong>(t0.Get()) - static_cast<kULongLong>(mKeysStop.Get()));
        if (!(mKeysStart < t1))
            return 2 + 2 * doubling(static_cast<kULongLong>(mKeysStart.Get()) - static_cast<kULongLong>(t1.Get()));
        return 0;
    }
};

// The middles of the gaps about the nodes of the long stretches (five nodes or more) where the
// slope read from the four nodes reaching back and from the four reaching on disagree by more than
// kUnsure of a channel's range over a gap: the take is no cubic of the nodes' spacing there. Read
// before the slopes are, so that they are read off the middles too.
void UnsureMiddles(const std::vector<Mark>& samples, const std::vector<Point>& points, const double* rows,
                   std::size_t stride, const ChannelScales& scales, std::vector<KTime>& middles) {
    middles.clear();
    // What a channel's slopes may disagree by over a gap, in each region.
    std::vector<double> limits(scales.mRange.size());
    for (std::size_t k = 0; k < limits.size(); ++k) limits[k] = kUnsure * scales.mRange[k] + 64.0 * scales.mTolerance[k];
    const Point* point = points.data();
    const std::size_t total = points.size();
    std::vector<kLongLong> ticks;
    std::vector<const double*> values;
    std::size_t from = 0;
    for (std::size_t i = 1, p = 0; i < samples.size(); ++i) {
        if (!Bounds(samples[i]) && i + 1 < samples.size()) continue;
        ticks.clear(), values.clear();
        const KTime start = samples[from].mTime, end = samples[i].mTime;
        for (; p < total && !(end < point[p].mTime); ++p)
            if (!(point[p].mTime < start) && (point[p].mKind == PointKind::eSample || point[p].mKind == PointKind::eFit)) {
                // Where the take may jump at an end, the stretch starts on what it takes a
                // microsecond after, and ends on what it leaves a microsecond before.
                std::size_t q = p;
                if (point[p].mTime == start && p + 1 < total && point[p + 1].mKind == PointKind::eAfter) q = p + 1;
                if (point[p].mTime == end && p > 0 && point[p - 1].mKind == PointKind::eBefore) q = p - 1;
                ticks.push_back(point[q].mTime.Get());
                values.push_back(rows + q * stride);
            }
        --p;  // the end is the next stretch's start
        const std::size_t count = ticks.size();
        const double* limit = limits.data() + scales.mGapRegion[from] * stride;
        from = i;
        if (count < 5) continue;
        const kLongLong* t = ticks.data();
        const double* const* v = values.data();
        for (std::size_t k = 2; k + 2 < count; ++k) {
            const kLongLong step = t[k - 1] - t[k - 2];
            const bool even = t[k] - t[k - 1] == step && t[k + 1] - t[k] == step && t[k + 2] - t[k + 1] == step;
            double a[4], b[4], h = 0.0;
            if (!even) {
                const double x[5] = {0.0, static_cast<double>(t[k - 1] - t[k - 2]), static_cast<double>(t[k] - t[k - 2]),
                                     static_cast<double>(t[k + 1] - t[k - 2]), static_cast<double>(t[k + 2] - t[k - 2])};
                LagrangeWeights<4>(x, 2, a);
                LagrangeWeights<4>(x + 1, 1, b);
                h = std::min(x[2] - x[1], x[3] - x[2]);
            }
            const double *r0 = v[k - 2], *r1 = v[k - 1], *r2 = v[k], *r3 = v[k + 1], *r4 = v[k + 2];
            bool unsure = false;
            for (std::size_t c = 0; c < stride && !unsure; ++c) {
                const double v0 = r0[c], v1 = r1[c], v2 = r2[c], v3 = r3[c], v4 = r4[c];
                double disagreement;
                if (even) {
                    disagreement = std::fabs(v0 - 4.0 * v1 + 6.0 * v2 - 4.0 * v3 + v4) * (1.0 / 6.0);
                } else {
                    const double sa = a[0] * (v0 - v2) + a[1] * (v1 - v2) + a[3] * (v3 - v2);
                    const double sb = b[0] * (v1 - v2) + b[2] * (v3 - v2) + b[3] * (v4 - v2);
                    disagreement = std::fabs(sa - sb) * h;
                }
                unsure = disagreement > limit[c];
            }
            if (!unsure) continue;
            // The gaps beside k, and the end gaps of the stretch, which no window is about.
            const std::size_t first = k == 2 ? 0 : k - 1, last = k + 3 == count ? count - 2 : k;
            for (std::size_t g = first; g <= last; ++g)
                if (t[g + 1] - t[g] >= kShortStretch) middles.push_back(KTime(t[g] + (t[g + 1] - t[g]) / 2));
        }
    }
    std::sort(middles.begin(), middles.end());
    middles.erase(std::unique(middles.begin(), middles.end()), middles.end());
}

// The keys of a node's channels, from their values at the evaluation points (a row of stride
// values a point).
class BakedKeys {
public:
    // scales: of the channels of rows over each stretch.
    BakedKeys(const std::vector<Mark>& samples, const std::vector<Point>& points, const double* rows,
              std::size_t stride, const ChannelScales& scales);

    // The point of sample i.
    std::size_t SampleAt(std::size_t i) const { return mSampleAt[i]; }
    // Writes the keys of channel c into curve (which holds none).
    void Write(std::size_t c, KFCurve& curve) const;
    // The middles of the gaps between the points of the short stretches the take runs through too
    // fast for them (kFastStretch), ascending.
    void Fast(std::vector<KTime>& middles) const;
    // The stretches between two samples (by the first one), ascending, where a curve would stray
    // outside the values of its ends (its slopes being the take's) though no point read between
    // them shows the take turning there, and the times: probed there, the take tells whether it
    // turns too, or runs one way and the curve is to be kept to those values.
    void Overshoots(std::vector<std::size_t>& gaps, std::vector<KTime>& times) const;
    // The values of the take at those times (a row of stride each).
    void AddProbes(const std::vector<std::size_t>& gaps, const std::vector<double>& rows);

private:
    double At(std::size_t point, std::size_t c) const { return mRows[point * mStride + c]; }
    // The values the take leaves and takes at sample i, and whether it jumps there.
    double Before(std::size_t i, std::size_t c) const {
        const int jump = mJump.data()[i];
        return jump < 0 ? At(mSampleAt.data()[i], c) : mJumpBefore.data()[static_cast<std::size_t>(jump) * mStride + c];
    }
    double After(std::size_t i, std::size_t c) const {
        const int jump = mJump.data()[i];
        return jump < 0 ? At(mSampleAt.data()[i], c) : mJumpAfter.data()[static_cast<std::size_t>(jump) * mStride + c];
    }
    // How the take jumps at sample i in channel c: not, at the sample (from the value before it), or
    // just after it (the sample playing the value before).
    enum : char { kNoJump, kJumpsAt, kJumpsAfter };
    char Jumps(std::size_t i, std::size_t c) const {
        const int jump = mJump.data()[i];
        return jump < 0 ? static_cast<char>(kNoJump) : mJumpSteps.data()[static_cast<std::size_t>(jump) * mStride + c];
    }
    void FindJumps();
    void FindSlopes();
    // The curve between samples i and i + 1 of channel c, starting from value from; probe, the
    // take's values where it was probed between them (or null).
    struct Gap {
        KTime mStart;          // after the value before, where the take jumps just after sample i
        double mLength = 0.0;  // in seconds, up to a jump at sample i + 1 held a microsecond before it
        double mFrom = 0.0, mTo = 0.0;
        double mRight = 0.0, mLeft = 0.0;  // the slopes at its start and end
        bool mHeld = false;   // the take holds still over it
        bool mTurns = false;  // points read inside it show the take turning
    };
    Gap Describe(std::size_t i, std::size_t c, double from, const double* probe) const;
    // The take's values where the stretch after sample i was probed, or null.
    const double* Probe(std::size_t i) const {
        const auto at = std::lower_bound(mProbeGaps.begin(), mProbeGaps.end(), i);
        return at != mProbeGaps.end() && *at == i ? mProbeRows.data() + static_cast<std::size_t>(at - mProbeGaps.begin()) * mStride
                                                  : nullptr;
    }

    const std::vector<Mark>& mSamples;
    const std::vector<Point>& mPoints;
    const double* mRows;
    std::size_t mStride;
    std::vector<std::size_t> mSampleAt;  // the point of each sample
    std::vector<double> mX;              // the points' times in seconds from the first
    const ChannelScales& mScales;
    // Where the take may jump: each such sample's entry (else -1), and of each entry the values on
    // each side and whether each channel jumps.
    std::vector<int> mJump;
    std::vector<double> mJumpBefore, mJumpAfter;
    std::vector<char> mJumpSteps;
    std::vector<double> mLeft, mRight;  // the slopes on each side of each sample, a row of stride
    std::vector<std::size_t> mProbeGaps;  // the stretches probed, ascending
    std::vector<double> mProbeRows;       // what the take plays at each probe, a row of stride
};

BakedKeys::BakedKeys(const std::vector<Mark>& samples, const std::vector<Point>& points, const double* rows,
                     std::size_t stride, const ChannelScales& scales)
    : mSamples(samples), mPoints(points), mRows(rows), mStride(stride), mScales(scales) {
    const std::size_t n = samples.size(), count = points.size();
    mSampleAt.resize(n);
    mX.resize(count);
    const Point* point = points.data();
    const kLongLong first = point[0].mTime.Get();
    for (std::size_t p = 0, i = 0; p < count; ++p) {
        if (point[p].mKind == PointKind::eSample) mSampleAt[i++] = p;
        mX[p] = static_cast<double>(static_cast<kULongLong>(point[p].mTime.Get()) - static_cast<kULongLong>(first)) /
                static_cast<double>(KTime::kTicksPerSecond);
    }
    FindJumps();
    FindSlopes();
}

void BakedKeys::FindJumps() {
    const std::size_t n = mSamples.size(), count = mPoints.size();
    mJump.assign(n, -1);
    const Point* points = mPoints.data();
    for (std::size_t i = 0; i < n; ++i) {
        if (!(mSamples[i].mFlags & kMayStep)) continue;
        const std::size_t p = mSampleAt[i];
        // The value before: a microsecond before, or, where the sample before lies closer, read a
        // microsecond after that one.
        const bool before = p > 0 && (points[p - 1].mKind == PointKind::eBefore ||
                                      (points[p - 1].mKind == PointKind::eAfter && points[p - 1].mTime < points[p].mTime));
        const std::size_t next = p + 1;  // the point a microsecond on
        const bool after = next < count && points[next].mKind == PointKind::eAfter;
        if (!before && !after) continue;
        const auto entry = mJumpSteps.size() / mStride;
        bool jumps = false;
        // A jump between two regions is told by the finer of their scales.
        const double* tolerance = mScales.Tolerance(i);
        const double* earlier = mScales.Tolerance(i > 0 ? i - 1 : i);
        for (std::size_t c = 0; c < mStride; ++c) {
            const double tolerance_c = std::min(tolerance[c], earlier[c]);
            const double at = At(p, c);
            const double left = before ? At(p - 1, c) : at;
            // The value after the jump: at the sample, unless the take jumps just after it, the
            // sample still playing the value before (a repeated cycle starting again after its last
            // key, a warp reaching a key a few ticks after a frame): the jump then follows the sample.
            const bool later = after && std::fabs(At(next, c) - at) > tolerance_c;
            const double right = later ? At(next, c) : at;
            const bool step = std::fabs(right - left) > tolerance_c;
            // The take leaves a value and takes it again about the sample: what it shows at the
            // sample alone (a tick at a mirrored cycle's key of the next value) is no value of it.
            const bool alone = !step && before && later;
            const double kept = step || alone ? left : at;
            // Where both sides move, the jump is on the side that moves most (the take runs on
            // over the microsecond looked across): after it, the value a microsecond on; at it, the
            // sample's own.
            const bool justAfter = step && later && std::fabs(right - at) > std::fabs(at - left);
            // Jumping at the sample and moving on within the microsecond after it, the take either
            // ramps on from the sample's value towards the next sample (the curve starts from the
            // sample's value), or moves again within the microsecond (a ramp that ends there, or
            // the sample's value lasting less than that): the curve starts from the value after.
            bool again = false;
            if (step && later && !justAfter) {
                const std::size_t q = mSampleAt[i + 1];
                const double toward = at + (At(q, c) - at) * (mX[next] - mX[p]) / (mX[q] - mX[p]);
                again = std::fabs(right - toward) > 0.25 * std::fabs(right - at);
            }
            mJumpBefore.push_back(kept);
            mJumpAfter.push_back(justAfter || again ? right : step ? at : kept);
            mJumpSteps.push_back(static_cast<char>(!step ? kNoJump : justAfter ? kJumpsAfter : kJumpsAt));
            jumps = jumps || step || alone;
        }
        if (jumps) {
            mJump[i] = static_cast<int>(entry);
        } else {
            mJumpBefore.resize(entry * mStride), mJumpAfter.resize(entry * mStride), mJumpSteps.resize(entry * mStride);
        }
    }
}

void BakedKeys::FindSlopes() {
    const std::size_t n = mSamples.size(), stride = mStride;
    mLeft.assign(n * stride, 0.0);
    mRight.assign(n * stride, 0.0);
    const Point* points = mPoints.data();
    const Mark* samples = mSamples.data();
    const std::size_t* sampleAt = mSampleAt.data();
    const double* px = mX.data();
    double* leftSlopes = mLeft.data();
    double* rightSlopes = mRight.data();
    // Room for the longest stretch: all the points.
    const std::size_t most = mPoints.size();
    std::unique_ptr<std::size_t[]> nodes(new std::size_t[most]);
    std::unique_ptr<double[]> x(new double[most]), y(new double[most * stride]);
    std::unique_ptr<kLongLong[]> ticks(new kLongLong[most]);
    std::size_t from = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (!Bounds(samples[i]) && i + 1 < n) continue;
        // The stretch from sample from to sample i: its samples and the points read inside it,
        // starting on the values the take takes where it jumps and ending on those it leaves.
        std::size_t count = 0;
        for (std::size_t p = sampleAt[from]; p <= sampleAt[i]; ++p) {
            if (points[p].mKind != PointKind::eSample && points[p].mKind != PointKind::eFit) continue;
            nodes[count] = p;
            x[count] = px[p];
            ticks[count] = points[p].mTime.Get();
            std::copy_n(mRows + p * stride, stride, y.get() + count * stride);
            ++count;
        }
        for (std::size_t c = 0; c < stride; ++c) {
            y[c] = After(from, c);
            y[(count - 1) * stride + c] = Before(i, c);
        }
        // An end of the stretch where the take jumps, far closer to the node beside it than the
        // nodes beyond lie (the value a jump takes, read a microsecond on, a hundred microseconds
        // from a sample), tells the slopes further in nothing but its own microsecond: they are
        // read without it.
        const auto crowds = [&](std::size_t a, std::size_t b, std::size_t c) {
            return count >= 5 && (x[b] - x[a]) * 64.0 < x[c] - x[b];
        };
        const std::size_t lowest = mJump[from] >= 0 && crowds(0, 1, 2) ? 1 : 0;
        const std::size_t highest = mJump[i] >= 0 && crowds(count - 1, count - 2, count - 3) ? count - 2 : count - 1;
        std::size_t sample = from;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t p = nodes[k];
            if (points[p].mKind != PointKind::eSample) continue;
            while (sampleAt[sample] < p) ++sample;
            // The nodes the slope at k is read from: the crowding end left out, unless k is it.
            const std::size_t first = k < lowest ? 0 : lowest, last = k > highest ? count - 1 : highest;
            Stencil stencil = MakeStencil(ticks.get() + first, x.get() + first, static_cast<int>(last - first + 1),
                                          static_cast<int>(k - first));
            stencil.mFirst += first;
            const double* v = y.get() + stencil.mFirst * stride;
            const double* at = y.get() + k * stride;
            double* left = k > 0 ? leftSlopes + sample * stride : nullptr;
            double* right = k + 1 < count ? rightSlopes + sample * stride : nullptr;
            const double* w = stencil.mWeights;
            for (std::size_t c = 0; c < stride; ++c, ++v) {
                double slope;
                switch (stencil.mCount) {
                    case 0:
                        slope = (v[0] - v[4 * stride] + 8.0 * (v[3 * stride] - v[stride])) * w[0];
                        break;
                    case 4:
                        slope = w[0] * (v[0] - at[c]) + w[1] * (v[stride] - at[c]) + w[2] * (v[2 * stride] - at[c]) +
                                w[3] * (v[3 * stride] - at[c]);
                        break;
                    case 5:
                        slope = w[0] * (v[0] - at[c]) + w[1] * (v[stride] - at[c]) + w[3] * (v[3 * stride] - at[c]) +
                                w[4] * (v[4 * stride] - at[c]);
                        break;
                    default:
                        slope = 0.0;
                        for (int j = 0; j < stencil.mCount; ++j) slope += w[j] * (v[static_cast<std::size_t>(j) * stride] - at[c]);
                        break;
                }
                if (left) left[c] = slope;
                if (right) right[c] = slope;
            }
        }
        from = i;
    }
    // Before the first key and after the last the curve holds: their outer slopes are the inner ones.
    std::copy_n(rightSlopes, stride, leftSlopes);
    if (n > 1) std::copy_n(leftSlopes + (n - 1) * stride, stride, rightSlopes + (n - 1) * stride);
}

void BakedKeys::Fast(std::vector<KTime>& middles) const {
    middles.clear();
    const std::size_t n = mSamples.size(), stride = mStride;
    const Point* points = mPoints.data();
    const Mark* samples = mSamples.data();
    const std::size_t* sampleAt = mSampleAt.data();
    std::size_t nodes[4];
    std::size_t from = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (!Bounds(samples[i]) && i + 1 < n) continue;
        const double* range = mScales.Range(from);
        const double* tolerance = mScales.Tolerance(from);
        std::size_t count = 0;
        for (std::size_t p = sampleAt[from]; p <= sampleAt[i] && count <= 4; ++p)
            if (points[p].mKind == PointKind::eSample || points[p].mKind == PointKind::eFit) {
                if (count < 4) nodes[count] = p;
                ++count;
            }
        if (count <= 4) {
            // The take turns fast where its steps between the points change by much.
            bool fast = false;
            for (std::size_t c = 0; c < stride && !fast && count >= 3; ++c) {
                double v[4];
                for (std::size_t k = 0; k < count; ++k) v[k] = k == 0 ? After(from, c) : k + 1 == count ? Before(i, c) : At(nodes[k], c);
                for (std::size_t k = 2; k < count && !fast; ++k)
                    fast = std::fabs(v[k] - 2.0 * v[k - 1] + v[k - 2]) > kFastStretch * range[c] + 64.0 * tolerance[c];
            }
            for (std::size_t k = 0; fast && k + 1 < count; ++k) {
                const kLongLong a = points[nodes[k]].mTime.Get(), b = points[nodes[k + 1]].mTime.Get();
                if (b - a >= kShortStretch) middles.push_back(KTime(a + (b - a) / 2));
            }
        }
        from = i;
    }
}


[[gnu::always_inline]] inline BakedKeys::Gap BakedKeys::Describe(std::size_t i, std::size_t c, double from,
                                                                const double* probe) const {
    const std::size_t* sampleAt = mSampleAt.data();
    const std::size_t p = sampleAt[i], q = sampleAt[i + 1];
    const Point* points = mPoints.data();
    const double tolerance = mScales.Tolerance(i)[c];
    Gap gap;
    gap.mStart = mSamples.data()[i].mTime;
    gap.mLength = mX.data()[q] - mX.data()[p];
    if (Jumps(i, c) == kJumpsAfter) {
        gap.mStart = KTime(gap.mStart.Get() + kAboutJump.Get());
        gap.mLength -= kAboutJump.GetSecondDouble();
    }
    const double length = gap.mLength;
    gap.mFrom = from, gap.mTo = Before(i + 1, c);
    gap.mRight = mRight.data()[i * mStride + c], gap.mLeft = mLeft.data()[(i + 1) * mStride + c];
    const double v0 = gap.mFrom, v1 = gap.mTo;
    gap.mHeld = std::fabs(v1 - v0) <= tolerance && std::fabs(gap.mRight) * length <= tolerance &&
                std::fabs(gap.mLeft) * length <= tolerance;
    // Points read inside the stretch tell whether the take turns there: their values do not run one
    // way from v0 to v1.
    if (q > p + 1) {
        double last = v0;
        const double way = v1 - v0;
        for (std::size_t r = p + 1; r <= q; ++r) {
            if (points[r].mKind != PointKind::eFit && r != q) continue;
            const double v = r == q ? v1 : At(r, c);
            gap.mHeld = gap.mHeld && std::fabs(v - v0) <= tolerance;
            gap.mTurns = gap.mTurns || (v - last) * way < -tolerance * std::fabs(way) ||
                         (way == 0.0 && std::fabs(v - v0) > tolerance);
            last = v;
        }
    }
    // The take probed inside the stretch turns where it leaves the values of the stretch's ends.
    if (probe) {
        const double v = probe[c];
        const double margin = tolerance * std::max(1.0, std::fabs(v1 - v0));
        gap.mTurns = gap.mTurns || v > std::max(v0, v1) + margin || v < std::min(v0, v1) - margin;
    }
    // A jump at the next sample is held up to a microsecond before it.
    if (Jumps(i + 1, c) == kJumpsAt) gap.mLength -= kSameSample.GetSecondDouble();
    return gap;
}

void BakedKeys::Overshoots(std::vector<std::size_t>& gaps, std::vector<KTime>& times) const {
    gaps.clear(), times.clear();
    const std::size_t n = mSamples.size(), stride = mStride;
    const std::size_t* sampleAt = mSampleAt.data();
    const int* jump = mJump.data();
    const double* x = mX.data();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const std::size_t p = sampleAt[i], q = sampleAt[i + 1];
        const double length = x[q] - x[p];
        const double* right = mRight.data() + i * stride;
        const double* left = mLeft.data() + (i + 1) * stride;
        const double* from = mRows + p * stride;
        const double* to = mRows + q * stride;
        const bool plain = jump[i] < 0 && jump[i + 1] < 0;
        for (std::size_t c = 0; c < stride; ++c) {
            const double rise = plain ? to[c] - from[c] : Before(i + 1, c) - After(i, c);
            if (!MayStray(rise, right[c], left[c], length)) continue;
            // A stretch probed already is known to run one way, or to turn.
            if (Probe(i)) break;
            const Gap gap = Describe(i, c, After(i, c), nullptr);
            double cut0 = gap.mRight, cut1 = gap.mLeft, at = 0.5;
            if (gap.mHeld || gap.mTurns || gap.mLength <= 0.0 ||
                !KeepWithinEnds(gap.mFrom, gap.mTo, gap.mLength, cut0, cut1, mScales.Tolerance(i)[c], &at))
                continue;
            const kLongLong ticks = static_cast<kLongLong>(at * gap.mLength * static_cast<double>(KTime::kTicksPerSecond));
            if (ticks >= kSameSample.Get() && gap.mLength * KTime::kTicksPerSecond - ticks >= kSameSample.Get()) {
                gaps.push_back(i), times.push_back(KTime(gap.mStart.Get() + ticks));
                break;  // one probe a stretch
            }
        }
    }
}

void BakedKeys::AddProbes(const std::vector<std::size_t>& gaps, const std::vector<double>& rows) {
    // Both ascend by gap, and no gap is probed twice.
    std::vector<std::size_t> mergedGaps;
    std::vector<double> mergedRows;
    mergedGaps.reserve(mProbeGaps.size() + gaps.size());
    std::size_t a = 0, b = 0;
    while (a < mProbeGaps.size() || b < gaps.size()) {
        const bool first = b == gaps.size() || (a < mProbeGaps.size() && mProbeGaps[a] < gaps[b]);
        const std::size_t gap = first ? mProbeGaps[a] : gaps[b];
        const double* row = first ? mProbeRows.data() + a++ * mStride : rows.data() + b++ * mStride;
        mergedGaps.push_back(gap);
        mergedRows.insert(mergedRows.end(), row, row + mStride);
    }
    mProbeGaps.swap(mergedGaps);
    mProbeRows.swap(mergedRows);
}

void BakedKeys::Write(std::size_t c, KFCurve& curve) const {
    const std::size_t n = mSamples.size(), stride = mStride;
    std::size_t steps = 0;
    for (std::size_t j = c; j < mJumpSteps.size(); j += stride) steps += mJumpSteps.data()[j] != 0;
    KFCurveKey cubic{};
    cubic.Set(KTime(), 0.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
              KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    KFCurveKey hold = cubic;
    hold.SetInterpolation(KFCURVE_INTERPOLATION_CONSTANT);
    hold.SetConstantMode(KFCURVE_CONSTANT_STANDARD);
    curve.KeyModifyBegin(static_cast<int>(n + steps));
    int written = 0;
    // The slope the last key written gives the next one on its left, when it is cubic: a key
    // whose slopes differ on its two sides is broken; the others keep one.
    bool cubicBefore = false;
    float nextLeft = 0.0f;
    const auto key = [&](const KFCurveKey& kind, KTime time, float value, float right, float leftOfNext) {
        KFCurveKey* k = curve.KeyGetPtr(written++);
        *k = kind;
        k->SetTime(time);
        k->SetValue(value);
        k->SetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE, right);
        k->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, leftOfNext);
        if (&kind == &cubic && cubicBefore && nextLeft != right) k->SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
        cubicBefore = &kind == &cubic;
        nextLeft = leftOfNext;
    };
    const Mark* samples = mSamples.data();
    const double* rightSlope = mRight.data() + c;
    float value = static_cast<float>(After(0, c));
    std::size_t probe = 0;  // the next stretch probed
    for (std::size_t i = 0; i + 1 < n; ++i) {
        while (probe < mProbeGaps.size() && mProbeGaps.data()[probe] < i) ++probe;
        const bool probed = probe < mProbeGaps.size() && mProbeGaps.data()[probe] == i;
        const Gap gap = Describe(i, c, value, probed ? mProbeRows.data() + probe * stride : nullptr);
        const double tolerance = mScales.Tolerance(i)[c];
        if (Jumps(i, c) == kJumpsAfter) {
            // The sample holds the value before; the jump follows it, short of the next sample.
            key(hold, samples[i].mTime, static_cast<float>(Before(i, c)), 0.0f, 0.0f);
        }
        const KTime t0 = gap.mStart, t1 = samples[i + 1].mTime;
        const double v0 = gap.mFrom, v1 = gap.mTo;
        double m0 = gap.mRight, m1 = gap.mLeft;
        const double length = gap.mLength;
        const bool held = gap.mHeld, turns = gap.mTurns;
        const float next = static_cast<float>(After(i + 1, c));
        if (Jumps(i + 1, c) == kJumpsAt) {
            // The value before up to the jump, the value after from it.
            const KTime held0(t1.Get() - kSameSample.Get());
            if (held || !(t0 < held0)) {
                key(hold, t0, value, 0.0f, 0.0f);
            } else {
                if (!turns) KeepWithinEnds(v0, v1, length, m0, m1, tolerance);
                key(cubic, t0, value, static_cast<float>(m0), static_cast<float>(m1));
                key(hold, held0, static_cast<float>(v1), 0.0f, 0.0f);
            }
            value = next;
        } else if (held) {
            // Holds still between them whatever the slopes around: the keys share one value and the
            // stretch is flat (cubic, so that a host given it pairs its ends with their neighbours').
            key(cubic, t0, value, 0.0f, 0.0f);
            if (Jumps(i + 1, c) == kJumpsAfter) value = next;
        } else {
            if (!turns) KeepWithinEnds(v0, v1, length, m0, m1, tolerance);
            key(cubic, t0, value, static_cast<float>(m0), static_cast<float>(m1));
            value = next;
        }
    }
    // After the last key the curve holds: its right slope is its left one, unbroken.
    key(cubic, samples[n - 1].mTime, value, cubicBefore ? nextLeft : static_cast<float>(rightSlope[(n - 1) * stride]), 0.0f);
    curve.KeyModifyEnd(written);
}

}  // namespace

bool bake::KeepOneWay(double v0, double v1, double length, double& m0, double& m1, double tolerance,
                      double* where) {
    return KeepWithinEnds(v0, v1, length, m0, m1, tolerance, where);
}

bool KFCurveNodeBake(KFCurveNode* node, KFCurveNode* const* above, int aboveCount, KTime period,
                     const KFCurveBakeSpan* span) {
    if (!node) return false;
    std::vector<KFCurveNode*> inner;
    InnerWarps(node, true, inner);
    const KFCurveBakeSpan none;
    if (!span) span = &none;
    // Neither layered nor warped: it plays alone already.
    if (aboveCount <= 0 && !node->LayerGet() && inner.empty()) return false;
    std::vector<KFCurveNode*> chain(above, above + std::max(aboveCount, 0));
    const std::size_t outer = chain.size();
    if (node->TimeWarpGet()) chain.push_back(node->TimeWarpGet());

    SampleTimes times = BakeSampleTimes(node, chain, period, *span);
    if (span->mCut) *span->mCut = *span->mCut || times.mCut;
    const bool constant = times.mConstant;
    std::vector<Mark>& samples = times.mSamples;

    std::vector<KFCurve*> curves;
    BaseCurves(node, curves);
    const int own = node->FCurveGet() ? 1 : 0;
    const bool quaternion = node->GetLayerID() == 0 && node->GetLayerType() == KFCL_QUAT && node->GetCount() > 0;
    const bool euler = ThreeAngles(*node);
    const std::size_t stride = curves.size();
    std::vector<double> run(static_cast<std::size_t>(std::max(node->GetChannelCount(), 1) + 4));
    std::vector<double> values(stride + 4);
    std::vector<WarpReader> warps(chain.begin(), chain.begin() + static_cast<std::ptrdiff_t>(outer));
    // The node's values at a time into row, a rotation kept continuous with the row before (null
    // for the first), as its keys hold it.
    const auto evaluateAt = [&](KTime time, const double* before, double* row) {
        for (const WarpReader& warp : warps) time = warp.Time(time);
        const double* end = node->GeneralEvaluate(run.data(), time, nullptr, false);
        const std::size_t given = static_cast<std::size_t>(end - run.data());
        double* value = values.data();
        std::fill(value, value + stride + 4, 0.0);
        if (quaternion && given >= static_cast<std::size_t>(own + 3)) {
            if (own) value[0] = run[0];
            ToQuaternion(run.data() + own, value + own, before ? before + own : nullptr);
        } else {
            std::copy(run.data(), run.data() + std::min(given, stride), value);
        }
        if (euler && before) {
            double reference[3];
            for (int c = 0; c < 3; ++c) reference[c] = static_cast<float>(before[c]);
            node->ContinueRotationFrom(value, reference);
        }
        std::copy(value, value + stride, row);
    };
    std::vector<Point> points =
        constant ? std::vector<Point>{{KTime(0), PointKind::eSample}} : EvaluationPoints(samples);
    // Every value is written before it is read.
    std::unique_ptr<double[]> rows(new double[points.size() * stride]);
    for (std::size_t p = 0; p < points.size(); ++p)
        evaluateAt(points[p].mTime, p == 0 ? nullptr : rows.get() + (p - 1) * stride, rows.get() + p * stride);

    if (constant) {
        for (std::size_t c = 0; c < stride; ++c) {
            curves[c]->KeyClear();
            curves[c]->SetValue(static_cast<float>(rows[c]));
        }
    } else {
        // Where the points do not tell the take's shape, more are read between them, each evaluated
        // alone and continued from the point before it: samples, and probes where the curves would
        // stray.
        std::vector<Point> added;
        std::vector<Mark> more, scratch;
        ChannelScales scales(times.mKeysStart, times.mKeysStop, stride);
        scales.Compute(samples, points, rows.get());
        const auto read = [&]() {
            std::sort(added.begin(), added.end(), [](Point a, Point b) { return a.mTime < b.mTime; });
            std::vector<Point> merged;
            merged.reserve(points.size() + added.size());
            std::unique_ptr<double[]> wider(new double[(points.size() + added.size()) * stride]);
            double* row = wider.get();
            more.clear();
            // The points up to each one added are copied whole; a time met already is read no
            // more (a middle there is no sample of its own).
            std::size_t copied = 0;
            const auto copyUpTo = [&](std::size_t end) {
                merged.insert(merged.end(), points.begin() + static_cast<std::ptrdiff_t>(copied),
                              points.begin() + static_cast<std::ptrdiff_t>(end));
                std::copy_n(rows.get() + copied * stride, (end - copied) * stride, row);
                row += (end - copied) * stride;
                copied = end;
            };
            for (const Point& next : added) {
                const auto at = std::lower_bound(points.begin() + static_cast<std::ptrdiff_t>(copied), points.end(),
                                                 next.mTime, [](const Point& point, KTime t) { return point.mTime < t; });
                copyUpTo(static_cast<std::size_t>(at - points.begin()));
                if ((at != points.end() && at->mTime == next.mTime) || (!merged.empty() && merged.back().mTime == next.mTime))
                    continue;
                merged.push_back(next);
                if (next.mKind == PointKind::eSample) more.push_back({next.mTime, 0});
                evaluateAt(next.mTime, row - stride, row);
                scales.Add(row);
                row += stride;
            }
            copyUpTo(points.size());
            points.swap(merged);
            rows.swap(wider);
            MergeMarks(samples, more, scratch);
            scales.Update(samples, points, rows.get());
        };
        std::vector<KTime> middles, fits;
        UnsureMiddles(samples, points, rows.get(), stride, scales, middles);
        if (!middles.empty()) {
            added.clear();
            for (const KTime middle : middles) added.push_back({middle, PointKind::eSample});
            read();
        }
        std::unique_ptr<BakedKeys> baked(new BakedKeys(samples, points, rows.get(), stride, scales));
        for (int round = 0; round < kRefinements; ++round) {
            baked->Fast(middles);
            if (middles.empty()) break;
            added.clear();
            for (const KTime middle : middles) added.push_back({middle, PointKind::eSample});
            read();
            baked.reset(new BakedKeys(samples, points, rows.get(), stride, scales));
        }
        // Once the take's shape is read, where the curves would stray, whether the take turns.
        std::vector<std::size_t> gaps;
        baked->Overshoots(gaps, fits);
        if (!gaps.empty()) {
            std::vector<double> probed(gaps.size() * stride);
            for (std::size_t f = 0; f < gaps.size(); ++f)
                evaluateAt(fits[f], rows.get() + baked->SampleAt(gaps[f]) * stride, probed.data() + f * stride);
            baked->AddProbes(gaps, probed);
        }
        const BakedKeys& keys = *baked;
        for (std::size_t c = 0; c < stride; ++c) {
            // The curve keeps its colour, selection and was-data; it holds before and after its keys.
            KFCurve& curve = *curves[c];
            curve.KeyClear();
            curve.CandidateClear();
            curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT);
            curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT);
            curve.SetPreExtrapolationCount(0);
            curve.SetPostExtrapolationCount(0);
            keys.Write(c, curve);
            if (curve.KeyGetCount() > 0) curve.SetValue(curve.KeyGetPtr(0)->GetValue());
        }
    }
    node->LayerSet(nullptr, true);
    ClearWarps(node);
    return true;
}

}  // namespace zeqsdk_400
