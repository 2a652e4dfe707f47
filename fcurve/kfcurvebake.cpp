// Baking layers and time warps: the sample times (a grid, the span's ends, and the take times of
// every key through the warps above it, marked where the take may turn or jump), the node's
// evaluation at each, the take's slopes on each side of every sample, read off the samples of the
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
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

// Ten million samples: over three days at 30 a second.
constexpr kULongLong kMaxGridSamples = 10000000;
// A span between two keys of a time warp is searched in parts of a period or so, at least four (a
// cubic span may turn back) and at most this many (see WarpParts).
constexpr kULongLong kMinPartsPerSpan = 4, kMaxPartsPerSpan = 4096;
// A microsecond: samples closer than this are one, and a jump is held up to this before it.
constexpr KTime kSameSample(KTime::kTicksPerSecond / 1000000);
// A stretch of the take between two of its keys with fewer than four samples is evaluated inside
// too, so that a cubic through four points reads its slopes (a key a tenth of a millisecond from
// another may still turn there), unless it is shorter than four microseconds: its ends tell them.
constexpr kLongLong kShortStretch = 4 * (KTime::kTicksPerSecond / 1000000);
// A short stretch (four points or fewer) whose steps between two points of a channel change by more
// than this part of its range turns too fast for them to tell its shape: it is read again in the
// middle of each gap, up to kRefinements times over.
constexpr double kFastStretch = 0.05;
constexpr int kRefinements = 3;

// What a sample time is.
enum : unsigned char {
    kOnGrid = 1,   // a whole period of the take, or its image through the warps that read the node
    kAtEnd = 2,    // the span's start or end
    kAtKey = 4,    // a key is reached: the take may turn
    kMayStep = 8,  // the take may jump: a constant key ends, or a repeated cycle starts again
    // The curve holds before the key (its first, before which it holds) or after it (its last, or a
    // constant one): the sample goes on that side of the key, where the value is the key's own.
    kFlatBefore = 16,
    kFlatAfter = 32,
};

struct Mark {
    KTime mTime;
    unsigned char mFlags;
};

// A time warp read at many times: straight from its curve when it is one curve alone.
struct WarpReader {
    explicit WarpReader(KFCurveNode* warp) : mWarp(warp), mCurve(KFCurveNodeWarpCurve(warp)) {}
    double Seconds(KTime time) const { return mCurve ? mCurve->Evaluate(time) : KFCurveNodeWarpSeconds(mWarp, time); }
    // The time the evaluation reads under the warp.
    KTime Time(KTime time) const {
        KTime warped;
        warped.SetSecondDouble(Seconds(time));
        return warped;
    }
    KFCurveNode* mWarp;
    KFCurve* mCurve;
};

// The first of the ascending values at or above low, looked for from hint outward: the parts of a
// warp are met one after another, each near the one before.
std::size_t FirstAtLeast(const std::vector<double>& values, double low, std::size_t hint) {
    const std::size_t n = values.size();
    std::size_t lo = 0, hi = n;
    hint = std::min(hint, n);
    if (hint < n && values[hint] < low) {
        std::size_t step = 1;
        lo = hint + 1;
        while (lo + step < n && values[lo + step - 1] < low) lo += step, step *= 2;
        hi = std::min(lo + step, n);
    } else {
        std::size_t step = 1;
        hi = hint;
        while (hi >= step && !(values[hi - step] < low)) hi -= step, step *= 2;
        lo = hi >= step ? hi - step + 1 : 0;
    }
    return static_cast<std::size_t>(std::lower_bound(values.begin() + static_cast<std::ptrdiff_t>(lo),
                                                     values.begin() + static_cast<std::ptrdiff_t>(hi), low) -
                                    values.begin());
}

// The base curves in the order of the node's values: its own, then each child's, depth first.
void BaseCurves(KFCurveNode* node, std::vector<KFCurve*>& out) {
    if (KFCurve* curve = node->FCurveGet()) out.push_back(curve);
    for (int i = 0; i < node->GetCount(); ++i) BaseCurves(node->Get(i), out);
}

// Every curve of the tree and of the layer chains in it.
void AllCurves(KFCurveNode* node, std::vector<KFCurve*>& out) {
    if (KFCurve* curve = node->FCurveGet()) out.push_back(curve);
    for (int i = 0; i < node->GetCount(); ++i) AllCurves(node->Get(i), out);
    if (KFCurveNode* layer = node->LayerGet()) AllCurves(layer, out);
}

// The time warps the node's evaluation meets below its own: its children's, its layers' and theirs.
void InnerWarps(KFCurveNode* node, bool self, std::vector<KFCurveNode*>& out) {
    if (self && node->TimeWarpGet()) out.push_back(node->TimeWarpGet());
    for (int i = 0; i < node->GetCount(); ++i) InnerWarps(node->Get(i), true, out);
    if (KFCurveNode* layer = node->LayerGet()) InnerWarps(layer, true, out);
}

void ClearWarps(KFCurveNode* node) {
    node->TimeWarpSet(nullptr);
    for (int i = 0; i < node->GetCount(); ++i) ClearWarps(node->Get(i));
}

// ---- Sample times --------------------------------------------------------------------------------

// Merges list (ascending, without repeats) into sorted (the same): a time in both takes both's flags.
void MergeMarks(std::vector<Mark>& sorted, const std::vector<Mark>& list, std::vector<Mark>& scratch) {
    if (list.empty()) return;
    // The channels of a vector mostly share their key times.
    if (list.size() == sorted.size() &&
        std::equal(list.begin(), list.end(), sorted.begin(), [](Mark a, Mark b) { return a.mTime == b.mTime; })) {
        for (std::size_t i = 0; i < list.size(); ++i) sorted[i].mFlags |= list[i].mFlags;
        return;
    }
    scratch.clear();
    scratch.reserve(sorted.size() + list.size());
    auto a = sorted.begin();
    auto b = list.begin();
    while (a != sorted.end() && b != list.end()) {
        if (a->mTime < b->mTime) {
            scratch.push_back(*a++);
        } else if (b->mTime < a->mTime) {
            scratch.push_back(*b++);
        } else {
            scratch.push_back({a->mTime, static_cast<unsigned char>(a->mFlags | b->mFlags)});
            ++a, ++b;
        }
    }
    scratch.insert(scratch.end(), a, sorted.end());
    scratch.insert(scratch.end(), b, list.end());
    sorted.swap(scratch);
}

// Sorts marks by time, a time met twice taking both's flags.
void Normalize(std::vector<Mark>& marks) {
    if (!std::is_sorted(marks.begin(), marks.end(), [](Mark a, Mark b) { return a.mTime < b.mTime; }))
        std::stable_sort(marks.begin(), marks.end(), [](Mark a, Mark b) { return a.mTime < b.mTime; });
    std::size_t kept = 0;
    for (std::size_t i = 1; i < marks.size(); ++i) {
        if (marks[i].mTime == marks[kept].mTime)
            marks[kept].mFlags |= marks[i].mFlags;
        else
            marks[++kept] = marks[i];
    }
    if (!marks.empty()) marks.resize(kept + 1);
}

bool Cycles(int extrapolation) {
    return extrapolation == KFCURVE_EXTRAPOLATION_REPETITION || extrapolation == KFCURVE_EXTRAPOLATION_MIRROR;
}

// The flags of key k of the curve, and of its images in the curve's extrapolation cycles: the take
// jumps where a constant key ends, where one that takes the next value begins, and where a
// repeated cycle starts again.
unsigned char KeyFlags(const KFCurve& curve, int k, bool repeats) {
    unsigned char flags = kAtKey;
    const KFCurveKey* key = curve.KeyGetPtr(k);
    if (key->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT && key->GetConstantMode() == KFCURVE_CONSTANT_NEXT)
        flags |= kMayStep;
    if (k > 0) {
        const KFCurveKey* before = curve.KeyGetPtr(k - 1);
        if (before->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT &&
            before->GetConstantMode() != KFCURVE_CONSTANT_NEXT)
            flags |= kMayStep;
    }
    if (repeats && (k == 0 || k == curve.KeyGetCount() - 1)) flags |= kMayStep;
    const auto holds = [](int extrapolation, unsigned int count) {
        return extrapolation == KFCURVE_EXTRAPOLATION_CONSTANT || count == 0;
    };
    if (k == 0 && holds(curve.GetPreExtrapolation(), curve.GetPreExtrapolationCount())) flags |= kFlatBefore;
    if ((k == curve.KeyGetCount() - 1 && holds(curve.GetPostExtrapolation(), curve.GetPostExtrapolationCount())) ||
        (key->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT && key->GetConstantMode() != KFCURVE_CONSTANT_NEXT))
        flags |= kFlatAfter;
    return flags;
}

// Scratch space of one bake, reused from list to list.
struct Scratch {
    std::vector<Mark> mOne, mCycles, mMerge;
    std::vector<double> mValues;
};

// The times of the curve's keys, and of their images in its extrapolation cycles within [lo, hi]
// (no more than the grid's limit of those), ascending, with their flags.
void CurveMarks(KFCurve& curve, KTime lo, KTime hi, std::vector<Mark>& out, Scratch& scratch) {
    out.clear();
    const int n = curve.KeyGetCount();
    const bool repeats = curve.GetPreExtrapolation() == KFCURVE_EXTRAPOLATION_REPETITION ||
                         curve.GetPostExtrapolation() == KFCURVE_EXTRAPOLATION_REPETITION;
    out.reserve(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) out.push_back({curve.KeyGetPtr(k)->GetTime(), KeyFlags(curve, k, repeats)});
    if (n < 2 || hi < lo) return;
    const bool before = Cycles(curve.GetPreExtrapolation()) && curve.GetPreExtrapolationCount() > 0 && lo < out.front().mTime;
    const bool after = Cycles(curve.GetPostExtrapolation()) && curve.GetPostExtrapolationCount() > 0 && out.back().mTime < hi;
    if (!before && !after) return;
    // Key numbers across the cycles ascend with their times.
    const int all = curve.KeyGetCountAll();
    int from = 0, to = all;
    while (from < to) {
        const int middle = from + (to - from) / 2;
        if (curve.KeyGetTimeAll(middle) < lo)
            from = middle + 1;
        else
            to = middle;
    }
    std::vector<Mark>& cycles = scratch.mCycles;
    cycles.clear();
    for (int a = from; a < all && cycles.size() < kMaxGridSamples; ++a) {
        const KTime time = curve.KeyGetTimeAll(a);
        if (hi < time) break;
        int where = 0;
        const int k = curve.MapIndexAll(a, where);
        if (where == 2 || k < 0) continue;  // the keys themselves are in already
        cycles.push_back({time, KeyFlags(curve, k, repeats)});
    }
    Normalize(cycles);
    MergeMarks(out, cycles, scratch.mMerge);
}

// The marks of all the curves, ascending without repeats.
void CurvesMarks(const std::vector<KFCurve*>& curves, KTime lo, KTime hi, std::vector<Mark>& out, Scratch& scratch) {
    out.clear();
    for (KFCurve* curve : curves) {
        CurveMarks(*curve, lo, hi, scratch.mOne, scratch);
        MergeMarks(out, scratch.mOne, scratch.mMerge);
    }
}

// A point of a time warp cut into parts: its time, the warp's seconds there, and the seconds it
// leaves where it jumps there (read a tick before; else the same).
struct WarpPoint {
    KTime mTime;
    double mAt;
    KTime mBeforeTime;
    double mBefore;
};

// The warp over [lo, hi] in parts, each running one way: between the images of its keys (marks),
// parts of about a period, at least four and at most kMaxPartsPerSpan a stretch; before and after
// them, where the warp holds or keeps its slope, one. A warp of one curve turns only where its
// keys' segments do: between two keys of its own, a linear or constant segment is one part, a
// cubic one that is not weighted (whose extrema are then exact) is cut at its extrema, each run one
// way in parts of about eight periods (nearly straight, solved in a few steps).
void WarpParts(const WarpReader& reader, const std::vector<Mark>& marks, KTime lo, KTime hi, KTime period,
               std::vector<WarpPoint>& out) {
    out.clear();
    if (hi < lo) return;
    out.reserve(marks.size() + 16);
    const auto point = [&](KTime time, bool jumps) {
        WarpPoint p{time, reader.Seconds(time), time, 0.0};
        if (jumps && !out.empty() && out.back().mTime.Get() < time.Get() - 1) {
            p.mBeforeTime = KTime(time.Get() - 1);
            p.mBefore = reader.Seconds(p.mBeforeTime);
        } else {
            p.mBefore = p.mAt;
        }
        return p;
    };
    const auto cut = [&](KTime b, kULongLong step, kULongLong least) {
        const auto first = static_cast<kULongLong>(out.back().mTime.Get());
        const kULongLong span = static_cast<kULongLong>(b.Get()) - first;
        if (step == 0) step = span;
        const kULongLong parts = std::min(std::max(span / std::max<kULongLong>(step, 1), least), kMaxPartsPerSpan);
        for (kULongLong part = 1; part < parts; ++part) {
            const KTime at(static_cast<kLongLong>(first + span / parts * part));
            if (out.back().mTime < at) out.push_back(point(at, false));
        }
    };
    const kULongLong onePeriod = period > KTime(0) ? static_cast<kULongLong>(period.Get()) : 0;
    const KTime firstKey = marks.empty() ? hi : marks.front().mTime;
    const KTime lastKey = marks.empty() ? lo : marks.back().mTime;
    KFCurve* curve = reader.mCurve;
    const int keys = curve ? curve->KeyGetCount() : 0;
    // The curve's segment holding [a, b], when one does and its shape is known: whether it is
    // cubic, and its extrema.
    const auto segment = [&](KTime a, KTime b, bool& cubic, KTime* extrema, int& count) {
        if (keys < 2 || a < curve->KeyGetPtr(0)->GetTime() || curve->KeyGetPtr(keys - 1)->GetTime() < b) return false;
        int hint = 0;
        const int k = static_cast<int>(std::floor(curve->KeyFind(a, &hint)));
        if (k < 0 || k + 1 >= keys || curve->KeyGetPtr(k + 1)->GetTime() < b) return false;
        const KFCurveKey& key = *curve->KeyGetPtr(k);
        cubic = key.GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC;
        count = 0;
        if (!cubic) return true;
        const unsigned int mode = key.GetTangeantMode() & ~static_cast<unsigned int>(KFCURVE_TANGEANT_BREAK_BIT);
        if (key.GetTangeantWeightMode() != KFCURVE_WEIGHTED_NONE || curve->KeyIsLeftTangeantWeighted(k + 1) ||
            (mode != KFCURVE_TANGEANT_USER && mode != KFCURVE_TANGEANT_AUTO))
            return false;
        count = curve->FindPeaks(k, extrema[0], extrema[1]);
        return true;
    };
    const auto to = [&](KTime b, bool jumps) {
        const KTime a = out.back().mTime;
        if (!(a < b)) return;
        if (firstKey <= a && b <= lastKey) {
            bool cubic = false;
            KTime extrema[2];
            int count = 0;
            if (!segment(a, b, cubic, extrema, count)) {
                cut(b, onePeriod, kMinPartsPerSpan);
            } else if (cubic) {
                for (int e = 0; e < count; ++e) {
                    if (!(out.back().mTime < extrema[e] && extrema[e] < b)) continue;
                    cut(extrema[e], 8 * onePeriod, 1);
                    out.push_back(point(extrema[e], false));
                }
                cut(b, 8 * onePeriod, 1);
            }
        }
        out.push_back(point(b, jumps));
    };
    out.push_back(point(lo, false));
    auto it = std::upper_bound(marks.begin(), marks.end(), lo, [](KTime t, Mark m) { return t < m.mTime; });
    for (; it != marks.end() && it->mTime < hi; ++it) to(it->mTime, (it->mFlags & kMayStep) != 0);
    const auto last = std::lower_bound(marks.begin(), marks.end(), hi, [](Mark m, KTime t) { return m.mTime < t; });
    to(hi, last != marks.end() && last->mTime == hi && (last->mFlags & kMayStep) != 0);
}

// The times the warp cut into parts reaches, as a span [lo, hi] of its output.
void PartsRange(const std::vector<WarpPoint>& points, KTime& lo, KTime& hi) {
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (const WarpPoint& p : points) {
        low = std::min({low, p.mAt, p.mBefore});
        high = std::max({high, p.mAt, p.mBefore});
    }
    if (!(low <= high)) {
        lo = KTime::Infinite(), hi = KTime::MinusInfinite();
        return;
    }
    lo.SetSecondDouble(low);
    hi.SetSecondDouble(high);
    // A tick either way: the conversion cuts.
    if (lo > KTime::MinusInfinite()) lo = KTime(lo.Get() - 1);
    if (hi < KTime::Infinite()) hi = KTime(hi.Get() + 1);
}

// The time in [lo, hi] where the warp reaches value, fLo and fHi lying on either side of it: by
// false position, halving the residual of an end kept twice (straight warps are found at once,
// smooth ones in a few steps), until the warp gives value as closely as the floats of its curves
// tell (within a tenth of a microsecond of a second) or the span is a tick.
KTime Solve(const WarpReader& reader, KTime lo, KTime hi, double fLo, double fHi, double value) {
    const double tolerance = 1e-7 * std::max(1.0, std::fabs(value));
    long double a = static_cast<long double>(lo.Get()), b = static_cast<long double>(hi.Get());
    long double fa = static_cast<long double>(fLo) - value, fb = static_cast<long double>(fHi) - value;
    KTime best = std::fabs(static_cast<double>(fa)) <= std::fabs(static_cast<double>(fb)) ? lo : hi;
    int kept = 0;  // which end was kept last: -1 a, 1 b
    for (int step = 0; step < 200 && b - a > 1.0L; ++step) {
        long double c = b - fb * (b - a) / (fb - fa);
        // A step that makes no headway halves the span instead.
        if (!(c > a && c < b)) c = a + (b - a) / 2;
        const KTime at(static_cast<kLongLong>(std::llround(c)));
        const long double fc = static_cast<long double>(reader.Seconds(at)) - value;
        best = at;
        if (std::fabs(static_cast<double>(fc)) <= tolerance) break;
        if ((fc < 0) == (fa < 0)) {
            a = c;
            fa = fc;
            if (kept == -1) fb /= 2;
            kept = -1;
        } else {
            b = c;
            fb = fc;
            if (kept == 1) fa /= 2;
            kept = 1;
        }
    }
    return best;
}

// Where the take may jump at target, the first tick after lo, up to hi, at which the time the
// evaluation reads under the warp lies on the other side of target than at lo: the tick where the
// jump is. False position and halving in turn, so that it takes at most twice as many steps as
// halving alone. The approximate time where lo and hi lie on one side (the warp's floats disagree
// with its seconds).
KTime SolveCrossing(const WarpReader& reader, KTime lo, KTime hi, double fLo, double fHi, double value, KTime target) {
    const bool side = !(reader.Time(lo) < target);
    if (!(reader.Time(hi) < target) == side) return Solve(reader, lo, hi, fLo, fHi, value);
    kLongLong a = lo.Get(), b = hi.Get();
    long double fa = static_cast<long double>(fLo) - value, fb = static_cast<long double>(fHi) - value;
    for (int step = 0; step < 256 && static_cast<kULongLong>(b) - static_cast<kULongLong>(a) > 1; ++step) {
        const kULongLong span = static_cast<kULongLong>(b) - static_cast<kULongLong>(a);
        kLongLong c = static_cast<kLongLong>(static_cast<kULongLong>(a) + span / 2);
        if (step % 2 == 0 && fb != fa) {
            const long double guess = static_cast<long double>(b) - fb * (static_cast<long double>(b) - a) / (fb - fa);
            if (guess > static_cast<long double>(a) && guess < static_cast<long double>(b))
                c = static_cast<kLongLong>(std::llround(guess));
            if (c <= a || c >= b) c = static_cast<kLongLong>(static_cast<kULongLong>(a) + span / 2);
        }
        const KTime at(c);
        const double seconds = reader.Seconds(at);
        KTime read;
        read.SetSecondDouble(seconds);
        if (!(read < target) == side) {
            a = c;
            fa = static_cast<long double>(seconds) - value;
        } else {
            b = c;
            fb = static_cast<long double>(seconds) - value;
        }
    }
    return KTime(b);
}

// Where a curve holds on one side of target (its first or last key, a constant one), the tick
// beside the crossing on that side, where the time the evaluation reads under the warp lies on
// target or that side of it: the sample there takes the key's own value, however the warp's floats
// step over the key's time.
KTime SolveOnFlatSide(const WarpReader& reader, KTime lo, KTime hi, double fLo, double fHi, double value,
                      const Mark& target) {
    const KTime crossing = SolveCrossing(reader, lo, hi, fLo, fHi, value, target.mTime);
    if (crossing <= lo) return crossing;
    const KTime read = reader.Time(crossing);
    // At the crossing the warp's time lies at or after target when it runs forth, before when back.
    const bool after = !(read < target.mTime);
    const bool wantAfter = (target.mFlags & kFlatAfter) != 0;
    if (after == wantAfter || read == target.mTime) return crossing;
    return KTime(crossing.Get() - 1);
}

// The times where the warp, cut into parts, reaches each of targets (ascending), ascending with the
// targets' flags (repeats where two parts meet merged): each target a part spans solved for, one
// where the take may jump to the tick. No more than limit times are found: a warp that runs back
// and forth over many keys could otherwise ask for more samples than any grid.
void Preimages(const WarpReader& reader, const std::vector<WarpPoint>& points, const std::vector<Mark>& targets,
               std::vector<Mark>& out, std::size_t limit, Scratch& scratch) {
    out.clear();
    if (points.size() < 2 || targets.empty()) return;
    std::vector<double>& values = scratch.mValues;
    values.clear();
    values.reserve(targets.size());
    for (const Mark& target : targets) values.push_back(target.mTime.GetSecondDouble());
    std::size_t hint = 0;
    for (std::size_t k = 0; k + 1 < points.size() && out.size() < limit; ++k) {
        const KTime a = points[k].mTime, b = points[k + 1].mBeforeTime;
        const double fa = points[k].mAt, fb = points[k + 1].mBefore;
        const double low = std::min(fa, fb), high = std::max(fa, fb);
        const std::size_t from = out.size();
        hint = FirstAtLeast(values, low, hint);
        for (std::size_t i = hint; i < values.size() && values[i] <= high && out.size() < limit; ++i) {
            const Mark& target = targets[i];
            KTime at;
            if (fa == values[i] && fa != fb)
                at = a;
            else if (fb == values[i])
                at = b;
            else if (fa == fb)
                at = a;
            else if (target.mFlags & kMayStep)
                at = SolveCrossing(reader, a, b, fa, fb, values[i], target.mTime);
            else if (target.mFlags & (kFlatBefore | kFlatAfter))
                at = SolveOnFlatSide(reader, a, b, fa, fb, values[i], target);
            else
                at = Solve(reader, a, b, fa, fb, values[i]);
            out.push_back({at, target.mFlags});
        }
        // A part where the warp runs back meets the targets latest first.
        if (fb < fa) std::reverse(out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
    }
    Normalize(out);
}

// Curves whose keys the evaluation reads through one run of warps (outermost first).
struct WarpedCurves {
    std::vector<KFCurveNode*> mWarps;
    std::vector<KFCurve*> mCurves;
};

// Gathers the curves of node, of its layers and of the warps below it into groups by the warps the
// evaluation reads them through (group: the one of the warps above node); a warp's curves go with
// the group above it. A channel's warp bends its curve and its own layers; a vector's layers are
// read at the vector's time, each through its own warps and its channels'.
void GatherCurves(KFCurveNode* node, bool self, bool nextLayers, std::vector<WarpedCurves>& groups,
                  std::size_t group) {
    KFCurveNode* warp = self ? node->TimeWarpGet() : nullptr;
    if (warp) {
        AllCurves(warp, groups[group].mCurves);
        WarpedCurves below{groups[group].mWarps, {}};
        below.mWarps.push_back(warp);
        groups.push_back(std::move(below));
        group = groups.size() - 1;
    }
    if (KFCurve* curve = node->FCurveGet()) groups[group].mCurves.push_back(curve);
    for (int i = 0; i < node->GetCount(); ++i) GatherCurves(node->Get(i), true, true, groups, group);
    if (nextLayers)
        for (KFCurveNode* layer = node->LayerGet(); layer; layer = layer->LayerGet())
            GatherCurves(layer, true, false, groups, group);
}

// A warp between the take and the curves, cut into parts over the times it is read at.
struct WarpLevel {
    explicit WarpLevel(KFCurveNode* warp) : mReader(warp) {}
    WarpReader mReader;
    std::vector<Mark> mMarks;  // its own keys, in the times it is read at
    std::vector<WarpPoint> mPoints;
    KTime mOutLo, mOutHi;  // the times it gives
};

void CutWarp(WarpLevel& level, KTime lo, KTime hi, KTime period, Scratch& scratch) {
    std::vector<KFCurve*> curves;
    AllCurves(level.mReader.mWarp, curves);
    CurvesMarks(curves, lo, hi, level.mMarks, scratch);
    WarpParts(level.mReader, level.mMarks, lo, hi, period, level.mPoints);
    PartsRange(level.mPoints, level.mOutLo, level.mOutHi);
}

// The whole periods of [start, stop], marked on the grid (none for a period that is not positive, or
// more of them than the grid's limit).
void Grid(KTime start, KTime stop, KTime period, std::vector<Mark>& out) {
    out.clear();
    if (!(period > KTime(0)) || stop < start) return;
    // The grid lies on whole periods of the take's time, so that every node baked at one period
    // shares its samples (and a frame of that rate is one), wherever its keys begin.
    const kLongLong p = period.Get();
    const kLongLong offset = ((-(start.Get() % p)) % p + p) % p;
    if (start.Get() > KTime::kInfiniteTicks - offset || start.Get() + offset > stop.Get()) return;
    const KTime first(start.Get() + offset);
    const auto span = static_cast<kULongLong>(stop.Get()) - static_cast<kULongLong>(first.Get());
    const auto step = static_cast<kULongLong>(p);
    if (span / step >= kMaxGridSamples) return;
    out.resize(static_cast<std::size_t>(span / step + 1));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = {KTime(static_cast<kLongLong>(static_cast<kULongLong>(first.Get()) + i * step)), kOnGrid};
}

// The sample times of the bake over [start, stop], with what each is. readerGrid: the take's grid
// as the warps that read the node take it, marked on the grid.
std::vector<Mark> SampleMarks(KFCurveNode* node, const std::vector<KFCurveNode*>& chain, KTime start, KTime stop,
                              KTime period, const std::vector<Mark>& readerGrid) {
    Scratch scratch;
    std::vector<Mark> times;
    Grid(start, stop, period, times);
    MergeMarks(times, readerGrid, scratch.mMerge);
    MergeMarks(times, start == stop ? std::vector<Mark>{{start, kAtEnd}} : std::vector<Mark>{{start, kAtEnd}, {stop, kAtEnd}},
               scratch.mMerge);

    // The warps of the chain, each cut over the times the one above it gives.
    std::vector<WarpLevel> levels(chain.begin(), chain.end());
    KTime lo = start, hi = stop;
    for (WarpLevel& level : levels) {
        CutWarp(level, lo, hi, period, scratch);
        lo = level.mOutLo, hi = level.mOutHi;
    }

    // Keys of the node's curves, its layers and the warps below it lie where all the warps above
    // them have taken the take's time; a warp's keys, where the warps above it have. So the times
    // are carried up from the innermost warps to the node's chain, then up the chain, each warp of
    // the chain's own keys joining them there.
    std::vector<WarpedCurves> groups{{chain, {}}};
    GatherCurves(node, false, true, groups, 0);
    std::vector<Mark> targets, keys, found;
    for (const WarpedCurves& group : groups) {
        std::vector<WarpLevel> inner(group.mWarps.begin() + static_cast<std::ptrdiff_t>(chain.size()), group.mWarps.end());
        KTime innerLo = lo, innerHi = hi;
        for (WarpLevel& level : inner) {
            CutWarp(level, innerLo, innerHi, period, scratch);
            innerLo = level.mOutLo, innerHi = level.mOutHi;
        }
        CurvesMarks(group.mCurves, innerLo, innerHi, keys, scratch);
        for (std::size_t level = inner.size(); level > 0; --level) {
            Preimages(inner[level - 1].mReader, inner[level - 1].mPoints, keys, found, kMaxGridSamples, scratch);
            keys.swap(found);
        }
        MergeMarks(targets, keys, scratch.mMerge);
    }
    for (std::size_t level = levels.size(); level > 0; --level) {
        Preimages(levels[level - 1].mReader, levels[level - 1].mPoints, targets, found, kMaxGridSamples, scratch);
        targets.swap(found);
        MergeMarks(targets, levels[level - 1].mMarks, scratch.mMerge);
    }
    MergeMarks(times, targets, scratch.mMerge);
    times.erase(times.begin(), std::lower_bound(times.begin(), times.end(), start,
                                                [](Mark m, KTime t) { return m.mTime < t; }));
    times.erase(std::upper_bound(times.begin(), times.end(), stop, [](KTime t, Mark m) { return t < m.mTime; }),
                times.end());

    // Times closer than kSameSample are one sample (the one at an end of the span, else the one on
    // the grid, else where the take may jump, else a key its curve holds beside, else the first),
    // which is all they are: a time found
    // through a warp beside another lies within the floats of the warp of it (a jump found through
    // an identity warp's floats lies a few nanoseconds off its frame), and no host keeps two keys
    // that close. Where the take may jump the sample keeps looking about it.
    const auto rank = [](unsigned char flags) {
        return flags & kAtEnd ? 4 : flags & kOnGrid ? 3 : flags & kMayStep ? 2 : flags & (kFlatBefore | kFlatAfter) ? 1 : 0;
    };
    std::size_t kept = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
        if (static_cast<kULongLong>(times[i].mTime.Get()) - static_cast<kULongLong>(times[kept].mTime.Get()) >=
            static_cast<kULongLong>(kSameSample.Get())) {
            times[++kept] = times[i];
        } else {
            const unsigned char flags = times[kept].mFlags | times[i].mFlags;
            if (rank(times[i].mFlags) > rank(times[kept].mFlags)) times[kept] = times[i];
            times[kept].mFlags = flags;
        }
    }
    if (!times.empty()) times.resize(kept + 1);
    return times;
}

// The take's grid over the readers' span, as the readers (outermost first) take it, ascending:
// where the node baked under them is read at the take's frames.
std::vector<Mark> ReaderGrid(const KFCurveBakeSpan& span, KTime period, KTime& lo, KTime& hi) {
    std::vector<Mark> images;
    lo = KTime::Infinite(), hi = KTime::MinusInfinite();
    if (span.mReaderCount <= 0) return images;
    KTime start = span.mStart, stop = span.mStop;
    span.mReaders[0]->GetAnimationInterval(start, stop);
    std::vector<Mark> grid;
    Grid(start, stop, period, grid);
    if (!(stop < start)) grid.push_back({start, kOnGrid}), grid.push_back({stop, kOnGrid});
    std::vector<WarpReader> readers(span.mReaders, span.mReaders + span.mReaderCount);
    images.reserve(grid.size());
    for (const Mark& mark : grid) {
        KTime time = mark.mTime;
        for (const WarpReader& reader : readers) time = reader.Time(time);
        images.push_back({time, kOnGrid});
        lo = std::min(lo, time), hi = std::max(hi, time);
    }
    Normalize(images);
    return images;
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

// How far about a sample where the take may jump the values on each side are read: short of the
// samples beside it.
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
        if (mayStep && points.back().mTime.Get() < b.Get() - kAboutJump.Get())
            points.push_back({KTime(b.Get() - kAboutJump.Get()), PointKind::eBefore});
        points.push_back({b, PointKind::eSample});
        if (mayStep && i + 1 < samples.size() && b.Get() <= KTime::kInfiniteTicks - kAboutJump.Get())
            points.push_back({KTime(b.Get() + kAboutJump.Get()), PointKind::eAfter});
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

// Whether a cubic stretch from v0 to v1 over length with slopes m0 and m1 that follow its chord
// runs one way; if not, the slopes are cut (keeping their ratio) until it does, so that it stays
// between its ends as the take does there.
inline void KeepOneWay(double v0, double v1, double length, double& m0, double& m1) {
    const double rise = v1 - v0;
    // Slopes that together rise no more than three chords run one way, or turn against the chord
    // (the take turns there): most stretches.
    if ((std::fabs(m0) + std::fabs(m1)) * length <= 3.0 * std::fabs(rise)) return;
    if (rise == 0.0 || m0 * rise < 0.0 || m1 * rise < 0.0) return;
    const double chord = rise / length;
    const double a = m0 / chord, b = m1 / chord;
    // The cubic runs one way inside the triangle a + b <= 3, or where its derivative's
    // minimum stays at or above zero.
    if (a + b - 2.0 > 0.0 && a - (2.0 * a + b - 3.0) * (2.0 * a + b - 3.0) / (3.0 * (a + b - 2.0)) >= 0.0) return;
    const double cut = 3.0 / std::sqrt(a * a + b * b);
    m0 *= cut;
    m1 *= cut;
}

// The keys of a node's channels, from their values at the evaluation points (a row of stride
// values a point).
class BakedKeys {
public:
    BakedKeys(const std::vector<Mark>& samples, const std::vector<Point>& points, const double* rows,
              std::size_t stride);

    // Writes the keys of channel c into curve (which holds none).
    void Write(std::size_t c, KFCurve& curve) const;
    // The middles of the gaps between the points of the short stretches the take runs through too
    // fast for them (kFastStretch), ascending.
    void Fast(std::vector<KTime>& middles) const;

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

    const std::vector<Mark>& mSamples;
    const std::vector<Point>& mPoints;
    const double* mRows;
    std::size_t mStride;
    std::vector<std::size_t> mSampleAt;  // the point of each sample
    std::vector<double> mX;              // the points' times in seconds from the first
    std::vector<double> mTolerance;      // of each channel
    std::vector<double> mRange;          // of each channel: its largest value less its least
    // Where the take may jump: each such sample's entry (else -1), and of each entry the values on
    // each side and whether each channel jumps.
    std::vector<int> mJump;
    std::vector<double> mJumpBefore, mJumpAfter;
    std::vector<char> mJumpSteps;
    std::vector<double> mLeft, mRight;  // the slopes on each side of each sample, a row of stride
};

BakedKeys::BakedKeys(const std::vector<Mark>& samples, const std::vector<Point>& points, const double* rows,
                     std::size_t stride)
    : mSamples(samples), mPoints(points), mRows(rows), mStride(stride) {
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
    // A float's rounding of each channel's largest value: a layer that cancels its base leaves
    // holds that differ in the last bits of the values it cancelled.
    mTolerance.assign(stride, 0.0);
    mRange.assign(stride * 2, 0.0);
    double* tolerance = mTolerance.data();
    double* least = mRange.data() + stride;
    double* range = mRange.data();
    std::copy_n(rows, stride, least), std::copy_n(rows, stride, range);
    for (const double* row = rows; row != rows + count * stride; row += stride)
        for (std::size_t c = 0; c < stride; ++c) {
            tolerance[c] = std::max(tolerance[c], std::fabs(row[c]));
            least[c] = std::min(least[c], row[c]), range[c] = std::max(range[c], row[c]);
        }
    for (std::size_t c = 0; c < stride; ++c) tolerance[c] *= 4.0 * FLT_EPSILON, range[c] -= least[c];
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
        const bool before = p > 0 && points[p - 1].mKind == PointKind::eBefore;
        const bool after = p + 1 < count && points[p + 1].mKind == PointKind::eAfter;
        if (!before && !after) continue;
        const auto entry = mJumpSteps.size() / mStride;
        bool jumps = false;
        for (std::size_t c = 0; c < mStride; ++c) {
            const double at = At(p, c);
            const double left = before ? At(p - 1, c) : at;
            // The value after the jump: at the sample, unless the take jumps just after it, the
            // sample still playing the value before (a repeated cycle starting again after its last
            // key, a warp reaching a key a few ticks after a frame): the jump then follows the sample.
            // A value at the sample alone, between two jumps, is left out.
            const bool later = after && std::fabs(At(p + 1, c) - at) > mTolerance[c];
            const double right = later ? At(p + 1, c) : at;
            const bool step = std::fabs(right - left) > mTolerance[c];
            mJumpBefore.push_back(step ? left : at);
            mJumpAfter.push_back(step ? right : at);
            // Where both sides move, the jump is on the side that moves most (the take runs on
            // over the microsecond looked across).
            mJumpSteps.push_back(static_cast<char>(!step                                          ? kNoJump
                                                   : later && std::fabs(right - at) > std::fabs(at - left) ? kJumpsAfter
                                                                                                      : kJumpsAt));
            jumps = jumps || step;
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
        std::size_t sample = from;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t p = nodes[k];
            if (points[p].mKind != PointKind::eSample) continue;
            while (sampleAt[sample] < p) ++sample;
            const Stencil stencil = MakeStencil(ticks.get(), x.get(), static_cast<int>(count), static_cast<int>(k));
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
    const double* range = mRange.data();
    const double* tolerance = mTolerance.data();
    std::size_t nodes[4];
    std::size_t from = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (!Bounds(samples[i]) && i + 1 < n) continue;
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

void BakedKeys::Write(std::size_t c, KFCurve& curve) const {
    const std::size_t n = mSamples.size(), stride = mStride;
    std::size_t steps = 0;
    for (std::size_t j = c; j < mJumpSteps.size(); j += stride) steps += mJumpSteps[j] != 0;
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
    const std::size_t* sampleAt = mSampleAt.data();
    const Mark* samples = mSamples.data();
    const Point* points = mPoints.data();
    const double* x = mX.data();
    const double* leftSlope = mLeft.data() + c;
    const double* rightSlope = mRight.data() + c;
    const double tolerance = mTolerance.data()[c];
    float value = static_cast<float>(After(0, c));
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const std::size_t p = sampleAt[i], q = sampleAt[i + 1];
        KTime t0 = samples[i].mTime;
        const KTime t1 = samples[i + 1].mTime;
        double length = x[q] - x[p];
        if (Jumps(i, c) == kJumpsAfter) {
            // The sample holds the value before; the jump follows it, short of the next sample.
            key(hold, t0, static_cast<float>(Before(i, c)), 0.0f, 0.0f);
            t0 = KTime(t0.Get() + kAboutJump.Get());
            length -= kAboutJump.GetSecondDouble();
        }
        const double v0 = value, v1 = Before(i + 1, c);
        double m0 = rightSlope[i * stride], m1 = leftSlope[(i + 1) * stride];
        bool held = std::fabs(v1 - v0) <= tolerance && std::fabs(m0) * length <= tolerance &&
                    std::fabs(m1) * length <= tolerance;
        // Points read inside the stretch tell whether the take turns there: their values do not
        // run one way from v0 to v1.
        bool turns = false;
        if (q > p + 1) {
            double last = v0;
            const double way = v1 - v0;
            for (std::size_t r = p + 1; r <= q; ++r) {
                if (points[r].mKind != PointKind::eFit && r != q) continue;
                const double v = r == q ? v1 : At(r, c);
                held = held && std::fabs(v - v0) <= tolerance;
                turns = turns || (v - last) * way < -tolerance * std::fabs(way) ||
                        (way == 0.0 && std::fabs(v - v0) > tolerance);
                last = v;
            }
        }
        const float next = static_cast<float>(After(i + 1, c));
        if (Jumps(i + 1, c) == kJumpsAt) {
            // The value before up to the jump, the value after from it.
            const KTime held0(t1.Get() - kSameSample.Get());
            if (held || !(t0 < held0)) {
                key(hold, t0, value, 0.0f, 0.0f);
            } else {
                if (!turns) KeepOneWay(v0, v1, length - kSameSample.GetSecondDouble(), m0, m1);
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
            if (!turns) KeepOneWay(v0, v1, length, m0, m1);
            key(cubic, t0, value, static_cast<float>(m0), static_cast<float>(m1));
            value = next;
        }
    }
    // After the last key the curve holds: its right slope is its left one, unbroken.
    key(cubic, samples[n - 1].mTime, value, cubicBefore ? nextLeft : static_cast<float>(rightSlope[(n - 1) * stride]), 0.0f);
    curve.KeyModifyEnd(written);
}

}  // namespace

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

    KTime start = KTime::Infinite(), stop = KTime::MinusInfinite();
    if (!chain.empty()) {
        // Before and after its keys the outermost warp holds its ends: so does everything below it.
        chain.front()->GetAnimationInterval(start, stop);
    } else {
        node->GetAnimationInterval(start, stop);
        std::vector<KFCurveNode*> below;
        InnerWarps(node, false, below);
        for (KFCurveNode* warp : below) warp->GetAnimationInterval(start, stop);
    }
    const bool constant = stop < start;
    std::vector<Mark> readerGrid;
    if (!constant) {
        // Within the take the node plays what the take plays, past its keys too.
        if (!(span->mStop < span->mStart)) start = std::min(start, span->mStart), stop = std::max(stop, span->mStop);
        KTime lo, hi;
        readerGrid = ReaderGrid(*span, period, lo, hi);
        if (!(hi < lo)) start = std::min(start, lo), stop = std::max(stop, hi);
    }
    std::vector<Mark> samples =
        constant ? std::vector<Mark>{{KTime(0), kAtEnd}} : SampleMarks(node, chain, start, stop, period, readerGrid);

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
        // alone and continued from the point before it.
        std::unique_ptr<BakedKeys> baked(new BakedKeys(samples, points, rows.get(), stride));
        std::vector<KTime> middles;
        std::vector<Mark> more, scratch;
        for (int round = 0; round < kRefinements; ++round) {
            baked->Fast(middles);
            if (middles.empty()) break;
            std::vector<Point> merged;
            merged.reserve(points.size() + middles.size());
            std::unique_ptr<double[]> wider(new double[(points.size() + middles.size()) * stride]);
            double* row = wider.get();
            auto next = middles.begin();
            for (std::size_t p = 0; p < points.size(); ++p) {
                for (; next != middles.end() && *next < points[p].mTime; ++next, row += stride) {
                    merged.push_back({*next, PointKind::eSample});
                    evaluateAt(*next, row - stride, row);
                }
                merged.push_back(points[p]);
                std::copy_n(rows.get() + p * stride, stride, row);
                row += stride;
            }
            points.swap(merged);
            rows.swap(wider);
            more.clear();
            for (const KTime middle : middles) more.push_back({middle, 0});
            MergeMarks(samples, more, scratch);
            baked.reset(new BakedKeys(samples, points, rows.get(), stride));
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
