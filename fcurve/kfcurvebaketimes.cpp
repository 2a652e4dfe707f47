// The sample times of a bake: a grid over what the take plays, the ends of what the bake covers,
// and the take times of every key (its images in extrapolation cycles too) through the warps above
// it, marked where the take may turn or jump. Past the keys the bake reaches only as far as the
// take may still change there, so that a held tail costs one sample however long the take.
#include "fcurve/kfcurvebaketimes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "fcurve/kfcurvebake.h"

namespace zeqsdk_400 {
namespace bake {

namespace {

// A span between two keys of a time warp is searched in parts of a period or so, at least four (a
// cubic span may turn back) and at most this many (see WarpParts).
constexpr kULongLong kMinPartsPerSpan = 4, kMaxPartsPerSpan = 4096;

// Tick arithmetic past the time line's ends, which a cycle count times a span can reach.
using Wide = __int128;

// The time a tick count away from t, held within the time line.
KTime Shifted(KTime t, Wide ticks) {
    const Wide v = static_cast<Wide>(t.Get()) + ticks;
    if (v >= KTime::kInfiniteTicks) return KTime::Infinite();
    if (v <= KTime::kMinusInfiniteTicks) return KTime::MinusInfinite();
    return KTime(static_cast<kLongLong>(v));
}

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
// Every curve of the tree and of the layer chains in it.
void AllCurves(KFCurveNode* node, std::vector<KFCurve*>& out) {
    if (KFCurve* curve = node->FCurveGet()) out.push_back(curve);
    for (int i = 0; i < node->GetCount(); ++i) AllCurves(node->Get(i), out);
    if (KFCurveNode* layer = node->LayerGet()) AllCurves(layer, out);
}

}  // namespace

void InnerWarps(KFCurveNode* node, bool self, std::vector<KFCurveNode*>& out) {
    if (self && node->TimeWarpGet()) out.push_back(node->TimeWarpGet());
    for (int i = 0; i < node->GetCount(); ++i) InnerWarps(node->Get(i), true, out);
    if (KFCurveNode* layer = node->LayerGet()) InnerWarps(layer, true, out);
}


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

namespace {

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

// A count of extrapolation cycles (or of spans a slope is kept over) that never ends.
constexpr unsigned int kEndless = 0xFFFFFFFFu;

// What key k is to the take wherever the curve plays it, in its own place or in a cycle (step),
// and on which side of it (in the curve's own time) the curve plays the key's value, or nearly
// (sides). The take jumps where a constant key ends, and where one that takes the next value
// begins, and may step across two keys closer than a microsecond (one sample); it may run steeply
// past a key within ten microseconds of another. The curve holds the key's value after a constant
// key, and before one that a constant key of the next value leads to; of a key close to another
// on one side alone, it plays nearly the key's value on the other side (the take runs steeply to
// that other key).
void KeyKind(const KFCurve& curve, int k, unsigned char& step, unsigned char& sides) {
    const KFCurveKey& key = *curve.KeyGetPtr(k);
    const KFCurveKey* before = k > 0 ? curve.KeyGetPtr(k - 1) : nullptr;
    const KFCurveKey* after = k + 1 < curve.KeyGetCount() ? curve.KeyGetPtr(k + 1) : nullptr;
    // How far a neighbour lies, in ticks (past any bound where there is none).
    const auto gap = [&](const KFCurveKey* other) {
        if (!other) return ~kULongLong(0);
        const kLongLong a = key.GetTime().Get(), b = other->GetTime().Get();
        return a < b ? static_cast<kULongLong>(b) - static_cast<kULongLong>(a)
                     : static_cast<kULongLong>(a) - static_cast<kULongLong>(b);
    };
    const kULongLong gapBefore = gap(before), gapAfter = gap(after);
    const auto same = static_cast<kULongLong>(kSameSample.Get());
    const bool closeBefore = gapBefore < 10 * same, closeAfter = gapAfter < 10 * same;
    const bool constant = key.GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT;
    const bool next = constant && key.GetConstantMode() == KFCURVE_CONSTANT_NEXT;
    step = kAtKey, sides = 0;
    if (closeBefore || closeAfter) step |= kSteep;
    if (gapBefore < same || gapAfter < same || next) step |= kMayStep;
    if (constant && !next) sides |= kFlatAfter;
    if (before && before->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT) {
        if (before->GetConstantMode() == KFCURVE_CONSTANT_NEXT)
            sides |= kFlatBefore;
        else
            step |= kMayStep;
    }
    if (closeAfter && !closeBefore) sides |= kFlatBefore;
    if (closeBefore && !closeAfter) sides |= kFlatAfter;
}

unsigned char Swapped(unsigned char sides) {
    return static_cast<unsigned char>(((sides & kFlatBefore) ? kFlatAfter : 0) | ((sides & kFlatAfter) ? kFlatBefore : 0));
}

// The flags of key k of the curve itself: besides its steps and sides, a repeated cycle starts
// again at the first and last keys, and the curve holds before the first and after the last where
// its extrapolation does.
unsigned char KeyFlags(const KFCurve& curve, int k, bool repeats) {
    unsigned char step, sides;
    KeyKind(curve, k, step, sides);
    unsigned char flags = step | sides;
    if (repeats && (k == 0 || k == curve.KeyGetCount() - 1)) flags |= kMayStep;
    const auto holds = [](int extrapolation, unsigned int count) {
        return extrapolation == KFCURVE_EXTRAPOLATION_CONSTANT || count == 0;
    };
    if (k == 0 && holds(curve.GetPreExtrapolation(), curve.GetPreExtrapolationCount())) flags |= kFlatBefore;
    if (k == curve.KeyGetCount() - 1 && holds(curve.GetPostExtrapolation(), curve.GetPostExtrapolationCount()))
        flags |= kFlatAfter;
    return flags;
}

// The flags of key k's image in a cycle of the extrapolation mode, running forth and running back
// (mirrored: its sides swapped): a repeated cycle starts again at its first and last keys.
void ImageFlags(const KFCurve& curve, int k, int mode, unsigned char& forth, unsigned char& back) {
    unsigned char step, sides;
    KeyKind(curve, k, step, sides);
    if (mode == KFCURVE_EXTRAPOLATION_REPETITION && (k == 0 || k == curve.KeyGetCount() - 1)) step |= kMayStep;
    forth = step | sides;
    back = step | Swapped(sides);
}

// Scratch space of one bake, reused from list to list.
struct Scratch {
    std::vector<Mark> mOne, mCycles, mMerge;
    std::vector<double> mValues;
    std::vector<unsigned char> mFlags[2];
    // More images of keys in cycles were met than any bake samples.
    bool mTooMany = false;
};

// The images, within [lo, hi], of the keys in the cycles (or the end of the kept slope) of one side
// of the curve (after: its post-extrapolation), into out, ascending; out holds no more than the
// grid's limit. The evaluation folds a time before the keys into cycle c (from 0, next to the keys)
// where it lies c to c + 1 spans before the first key, and plays the last key's time at a whole
// span; after the keys, the first key's. A mirrored cycle c runs back where c is even.
void SideImages(const KFCurve& curve, bool after, KTime lo, KTime hi, std::vector<Mark>& out, Scratch& scratch) {
    const int n = curve.KeyGetCount();
    const KTime t0 = curve.KeyGetPtr(0)->GetTime(), tn = curve.KeyGetPtr(n - 1)->GetTime();
    const Wide span = static_cast<Wide>(tn.Get()) - t0.Get();
    const int mode = after ? curve.GetPostExtrapolation() : curve.GetPreExtrapolation();
    const unsigned int count = after ? curve.GetPostExtrapolationCount() : curve.GetPreExtrapolationCount();
    if (span <= 0 || count == 0 || (after ? !(tn < hi) : !(lo < t0))) return;
    // How far the side reaches: its count of spans, up to the end of the time line.
    const Wide room = after ? static_cast<Wide>(KTime::kInfiniteTicks) - tn.Get()
                            : static_cast<Wide>(t0.Get()) - KTime::kMinusInfiniteTicks;
    const Wide reach = std::min(span * count, room);
    // Past the last cycle (or the spans a slope is kept over) the curve holds: the take turns or jumps
    // there. It comes first before the keys, last after them.
    const KTime end = Shifted(after ? tn : t0, after ? reach : -reach);
    const bool ends = (mode == KFCURVE_EXTRAPOLATION_KEEP_SLOPE || Cycles(mode)) &&
                      (mode != KFCURVE_EXTRAPOLATION_KEEP_SLOPE || count != kEndless) && reach < room && lo <= end &&
                      end <= hi;
    const Mark endMark{end, static_cast<unsigned char>(kAtKey | (after ? kFlatAfter : kFlatBefore) |
                                                       (Cycles(mode) ? kMayStep : 0))};
    if (ends && !after) out.push_back(endMark);
    if (!Cycles(mode)) {
        if (ends && after) out.push_back(endMark);
        return;
    }
    std::vector<unsigned char>& flags = scratch.mFlags[0];
    std::vector<unsigned char>& back = scratch.mFlags[1];
    flags.resize(static_cast<std::size_t>(n));
    back.resize(static_cast<std::size_t>(n));
    const bool mirror = mode == KFCURVE_EXTRAPOLATION_MIRROR;
    for (int k = 0; k < n; ++k)
        ImageFlags(curve, k, mode, flags[static_cast<std::size_t>(k)], back[static_cast<std::size_t>(k)]);
    // The cycles that [lo, hi] meets, from the earliest on the time line.
    const Wide cycles = (reach + span - 1) / span;
    const Wide near = after ? static_cast<Wide>(lo.Get()) - tn.Get() : static_cast<Wide>(t0.Get()) - hi.Get();
    const Wide far = after ? static_cast<Wide>(hi.Get()) - tn.Get() : static_cast<Wide>(t0.Get()) - lo.Get();
    const Wide first = std::max<Wide>(near / span - 1, 0), last = std::min<Wide>(far / span, cycles - 1);
    const std::size_t from = out.size();
    for (Wide i = 0; i <= last - first; ++i) {
        const Wide c = after ? first + i : last - i;
        // A mirrored cycle runs back where c is even; its keys then come latest first.
        const bool back_ = mirror && c % 2 == 0;
        for (int j = 0; j < n; ++j) {
            const int k = back_ ? n - 1 - j : j;
            const Wide tk = curve.KeyGetPtr(k)->GetTime().Get();
            Wide t;
            if (back_)
                t = after ? 2 * static_cast<Wide>(tn.Get()) - tk + c * span : 2 * static_cast<Wide>(t0.Get()) - tk - c * span;
            else
                t = after ? tk + (c + 1) * span : tk - (c + 1) * span;
            // Keys beyond the reach are played held, once the end is.
            const Wide away = after ? t - tn.Get() : static_cast<Wide>(t0.Get()) - t;
            if (away <= 0 || away >= reach || t < lo.Get() || t > hi.Get()) continue;
            if (out.size() - from >= kMaxGridSamples) {
                scratch.mTooMany = true;
                return;
            }
            out.push_back({KTime(static_cast<kLongLong>(t)), (back_ ? back : flags)[static_cast<std::size_t>(k)]});
        }
    }
    if (ends && after) out.push_back(endMark);
}

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
    std::vector<Mark>& images = scratch.mCycles;
    images.clear();
    SideImages(curve, false, lo, hi, images, scratch);
    SideImages(curve, true, lo, hi, images, scratch);
    if (images.empty()) return;
    Normalize(images);
    MergeMarks(out, images, scratch.mMerge);
}

// The marks of all the curves, ascending without repeats.
void CurvesMarks(const std::vector<KFCurve*>& curves, KTime lo, KTime hi, std::vector<Mark>& out, Scratch& scratch) {
    out.clear();
    for (KFCurve* curve : curves) {
        CurveMarks(*curve, lo, hi, scratch.mOne, scratch);
        MergeMarks(out, scratch.mOne, scratch.mMerge);
    }
}

// A point of a time warp cut into parts: its time and the warp's seconds there, and, where it may
// jump, the ends of the parts on each side: the part before ends a tick before it, where the warp
// jumps at the point, and the part after starts a tick after it, where the warp jumps just after
// it (a repeated cycle starts again past its last key); else both at the point.
struct WarpPoint {
    KTime mTime;
    double mAt;
    KTime mBeforeTime;
    double mBefore;
    KTime mAfterTime;
    double mAfter;
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
        const double at = reader.Seconds(time);
        WarpPoint p{time, at, time, at, time, at};
        if (!jumps) return p;
        const bool before = !out.empty() && out.back().mTime.Get() < time.Get() - 1;
        const bool after = time < hi && time.Get() < KTime::kInfiniteTicks;
        const double left = before ? reader.Seconds(KTime(time.Get() - 1)) : at;
        const double right = after ? reader.Seconds(KTime(time.Get() + 1)) : at;
        // The instant goes with the side it jumps least from.
        if (std::fabs(right - at) > std::fabs(at - left))
            p.mAfterTime = KTime(time.Get() + 1), p.mAfter = right;
        else if (before)
            p.mBeforeTime = KTime(time.Get() - 1), p.mBefore = left;
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
        low = std::min({low, p.mAt, p.mBefore, p.mAfter});
        high = std::max({high, p.mAt, p.mBefore, p.mAfter});
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
        const KTime a = points[k].mAfterTime, b = points[k + 1].mBeforeTime;
        const double fa = points[k].mAfter, fb = points[k + 1].mBefore;
        if (b < a) continue;
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
            else if (target.mFlags & kSteep)
                at = SolveCrossing(reader, a, b, fa, fb, values[i], target.mTime);
            else
                at = Solve(reader, a, b, fa, fb, values[i]);
            // Where the warp runs back, the side of a key the curve holds on is the other side in
            // the time the warp reads.
            const unsigned char sides = target.mFlags & (kFlatBefore | kFlatAfter);
            const unsigned char flags = fb < fa ? static_cast<unsigned char>((target.mFlags & ~sides) | Swapped(sides))
                                                : target.mFlags;
            out.push_back({at, flags});
        }
        // A part where the warp runs back meets the targets latest first.
        if (fb < fa) std::reverse(out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
    }
    Normalize(out);
}


// Curves whose keys the evaluation reads through one run of warps (outermost first): the node's
// curves and its layers' (mCurves), and the curves of the warps just below (mWarpCurves), whose keys
// are where the take may turn too.
struct WarpedCurves {
    std::vector<KFCurveNode*> mWarps;
    std::vector<KFCurve*> mCurves;
    std::vector<KFCurve*> mWarpCurves;
};

// Gathers the curves of node, of its layers and of the warps below it into groups by the warps the
// evaluation reads them through (group: the one of the warps above node); a warp's curves go with
// the group above it. A channel's warp bends its curve and its own layers; a vector's layers are
// read at the vector's time, each through its own warps and its channels'.
void GatherCurves(KFCurveNode* node, bool self, bool nextLayers, std::vector<WarpedCurves>& groups,
                  std::size_t group) {
    KFCurveNode* warp = self ? node->TimeWarpGet() : nullptr;
    if (warp) {
        AllCurves(warp, groups[group].mWarpCurves);
        WarpedCurves below{groups[group].mWarps, {}, {}};
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

// The number of whole periods in [start, stop] (0 where the period is not positive), up to one more
// than the grid's limit.
kULongLong GridCount(KTime start, KTime stop, KTime period) {
    if (!(period > KTime(0)) || stop < start) return 0;
    const auto span = static_cast<kULongLong>(stop.Get()) - static_cast<kULongLong>(start.Get());
    return std::min<kULongLong>(span / static_cast<kULongLong>(period.Get()) + 1, kMaxGridSamples + 1);
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

// ---- Where the take may change -------------------------------------------------------------------

// A span of time that may be unbounded (at KTime::MinusInfinite or Infinite); empty when hi < lo.
struct Reach {
    KTime mLo = KTime::Infinite(), mHi = KTime::MinusInfinite();
    bool Empty() const { return mHi < mLo; }
    void Add(const Reach& other) {
        if (other.Empty()) return;
        mLo = std::min(mLo, other.mLo), mHi = std::max(mHi, other.mHi);
    }
};
constexpr Reach kAlways{KTime::MinusInfinite(), KTime::Infinite()};

// Where a curve's value may change, in its own time: between its keys, and past them where it
// cycles or keeps a slope, over as many spans as its count says. Elsewhere it holds a key's value.
Reach CurveReach(KFCurve& curve) {
    const int n = curve.KeyGetCount();
    if (n < 2) return {};
    const KTime t0 = curve.KeyGetPtr(0)->GetTime(), tn = curve.KeyGetPtr(n - 1)->GetTime();
    const Wide span = static_cast<Wide>(tn.Get()) - t0.Get();
    Reach reach{t0, tn};
    const auto side = [&](int mode, unsigned int count, float slope) {
        if (count == 0) return Wide(0);
        if (mode == KFCURVE_EXTRAPOLATION_KEEP_SLOPE && slope == 0.0f) return Wide(0);
        if (!Cycles(mode) && mode != KFCURVE_EXTRAPOLATION_KEEP_SLOPE) return Wide(0);
        // Endless: as far as the time line goes.
        return count == kEndless ? static_cast<Wide>(KTime::kInfiniteTicks) * 2 : span * count;
    };
    reach.mLo = Shifted(t0, -side(curve.GetPreExtrapolation(), curve.GetPreExtrapolationCount(),
                                  curve.GetPreExtrapolation() == KFCURVE_EXTRAPOLATION_KEEP_SLOPE
                                      ? curve.KeyGetRightDerivative(0) : 0.0f));
    reach.mHi = Shifted(tn, side(curve.GetPostExtrapolation(), curve.GetPostExtrapolationCount(),
                                 curve.GetPostExtrapolation() == KFCURVE_EXTRAPOLATION_KEEP_SLOPE
                                     ? curve.KeyGetLeftDerivative(n - 1) : 0.0f));
    return reach;
}

Reach CurvesReach(const std::vector<KFCurve*>& curves) {
    Reach reach;
    for (KFCurve* curve : curves) reach.Add(CurveReach(*curve));
    return reach;
}

// Where the evaluation under a time warp may change, in the time the warp reads, given where it may
// change in the time the warp gives (inner): where the warp moves, and no more; past its keys where
// it keeps its slope, only while it gives times inner holds.
Reach ThroughWarp(KFCurveNode* warp, const Reach& inner) {
    if (inner.Empty()) return {};
    KFCurve* curve = KFCurveNodeWarpCurve(warp);
    if (!curve) {
        // A warp of layers or channels moves where they do; one under a warp of its own, anywhere.
        std::vector<KFCurveNode*> below;
        InnerWarps(warp, true, below);
        if (!below.empty()) return kAlways;
        std::vector<KFCurve*> curves;
        AllCurves(warp, curves);
        return CurvesReach(curves);
    }
    Reach reach = CurveReach(*curve);
    if (reach.Empty()) return reach;
    const int n = curve->KeyGetCount();
    // A kept slope runs straight on from an end key: the times at which it gives a time within
    // inner, widened by the floats the warp is read in.
    const double a = inner.mLo == KTime::MinusInfinite() ? -HUGE_VAL : inner.mLo.GetSecondDouble();
    const double b = inner.mHi == KTime::Infinite() ? HUGE_VAL : inner.mHi.GetSecondDouble();
    const auto straight = [&](int key, float slope, bool after, KTime bound) {
        const KTime at = curve->KeyGetPtr(key)->GetTime();
        const double value = curve->KeyGetPtr(key)->GetValue();
        // The run gives ever larger times where it rises with the time it reads; it leaves inner at
        // the end it meets last.
        const bool rises = (slope > 0.0f) == after;
        const double edge = rises ? b : a;
        if (std::isinf(edge)) return bound;
        const double margin = 1e-6 + 8.0 * FLT_EPSILON * std::max(std::fabs(edge), std::fabs(value));
        const double seconds = (edge + (rises ? margin : -margin) - value) / slope;
        // Inner lies wholly behind the run: past the key it never reads it.
        if (after ? seconds < 0.0 : seconds > 0.0) return at;
        KTime t;
        t.SetSecondDouble(at.GetSecondDouble() + seconds);
        return after ? std::min(t, bound) : std::max(t, bound);
    };
    if (curve->GetPreExtrapolation() == KFCURVE_EXTRAPOLATION_KEEP_SLOPE && reach.mLo < curve->KeyGetPtr(0)->GetTime())
        reach.mLo = straight(0, curve->KeyGetRightDerivative(0), false, reach.mLo);
    if (curve->GetPostExtrapolation() == KFCURVE_EXTRAPOLATION_KEEP_SLOPE &&
        curve->KeyGetPtr(n - 1)->GetTime() < reach.mHi)
        reach.mHi = straight(n - 1, curve->KeyGetLeftDerivative(n - 1), true, reach.mHi);
    return reach;
}

// Where the node's evaluation under the warps of chain (outermost first) may change, in the time
// the outermost reads: outside it the take holds one value.
Reach ActiveReach(KFCurveNode* node, const std::vector<KFCurveNode*>& chain) {
    std::vector<WarpedCurves> groups{{chain, {}, {}}};
    GatherCurves(node, false, true, groups, 0);
    Reach all;
    for (const WarpedCurves& group : groups) {
        Reach reach = CurvesReach(group.mCurves);
        for (std::size_t w = group.mWarps.size(); w > chain.size(); --w) reach = ThroughWarp(group.mWarps[w - 1], reach);
        all.Add(reach);
    }
    for (std::size_t w = chain.size(); w > 0; --w) all = ThroughWarp(chain[w - 1], all);
    return all;
}

// ---- The samples ---------------------------------------------------------------------------------

// The sample times of the bake over [start, stop], with what each is. readerGrid: the take's grid
// as the warps that read the node take it, marked on the grid. tooMany: more images of keys in
// cycles than the grid's limit were met.
std::vector<Mark> SampleMarks(KFCurveNode* node, const std::vector<KFCurveNode*>& chain, KTime start, KTime stop,
                              KTime period, const std::vector<Mark>& readerGrid, bool& tooMany) {
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
    std::vector<WarpedCurves> groups{{chain, {}, {}}};
    GatherCurves(node, false, true, groups, 0);
    std::vector<Mark> targets, keys, found;
    for (WarpedCurves& group : groups) {
        std::vector<WarpLevel> inner(group.mWarps.begin() + static_cast<std::ptrdiff_t>(chain.size()), group.mWarps.end());
        KTime innerLo = lo, innerHi = hi;
        for (WarpLevel& level : inner) {
            CutWarp(level, innerLo, innerHi, period, scratch);
            innerLo = level.mOutLo, innerHi = level.mOutHi;
        }
        group.mCurves.insert(group.mCurves.end(), group.mWarpCurves.begin(), group.mWarpCurves.end());
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
    tooMany = scratch.mTooMany || targets.size() > kMaxGridSamples;
    MergeMarks(times, targets, scratch.mMerge);
    times.erase(times.begin(), std::lower_bound(times.begin(), times.end(), start,
                                                [](Mark m, KTime t) { return m.mTime < t; }));
    times.erase(std::upper_bound(times.begin(), times.end(), stop, [](KTime t, Mark m) { return t < m.mTime; }),
                times.end());

    // Times closer than kSameSample are one sample (the one where the warps that read the node take a
    // frame, which must play what the take plays there however near a step, else the one at an end
    // of the span, else the one on the grid, else where the take may jump, else a key its curve
    // holds beside, else the first), which is all they are: a time found through a warp beside
    // another lies within the floats of the warp of it (a jump found through an identity warp's
    // floats lies a few nanoseconds off its frame), and no host keeps two keys that close. Where the
    // take may jump the sample keeps looking about it (two keys of a curve that close may make a
    // step: see KeyKind).
    const auto rank = [](unsigned char flags) {
        if (flags & kRead) return 5;
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
// where the node baked under them is read at the take's frames. The grid covers what the take
// plays where it may change (active, in the take's time); its ends are read wherever they lie.
// tooLong: that grid is longer than its limit.
std::vector<Mark> ReaderGrid(const KFCurveBakeSpan& span, KTime period, const Reach& active, KTime& lo, KTime& hi,
                             kULongLong most, bool& tooLong) {
    std::vector<Mark> images;
    lo = KTime::Infinite(), hi = KTime::MinusInfinite();
    tooLong = false;
    if (span.mReaderCount <= 0) return images;
    KTime start = span.mStart, stop = span.mStop;
    span.mReaders[0]->GetAnimationInterval(start, stop);
    std::vector<Mark> grid;
    const KTime from = std::max(start, active.mLo), to = std::min(stop, active.mHi);
    tooLong = GridCount(from, to, period) > most;
    if (!tooLong) Grid(from, to, period, grid);
    if (!(stop < start)) grid.push_back({start, kOnGrid}), grid.push_back({stop, kOnGrid});
    std::vector<WarpReader> readers(span.mReaders, span.mReaders + span.mReaderCount);
    images.reserve(grid.size());
    for (const Mark& mark : grid) {
        KTime time = mark.mTime;
        for (const WarpReader& reader : readers) time = reader.Time(time);
        images.push_back({time, static_cast<unsigned char>(kOnGrid | kRead)});
        lo = std::min(lo, time), hi = std::max(hi, time);
    }
    Normalize(images);
    return images;
}

}  // namespace

SampleTimes BakeSampleTimes(KFCurveNode* node, const std::vector<KFCurveNode*>& chain, KTime period,
                            const KFCurveBakeSpan& span) {
    SampleTimes result;
    KTime start = KTime::Infinite(), stop = KTime::MinusInfinite();
    if (!chain.empty()) {
        // Before and after its keys the outermost warp holds its ends, unless it cycles or keeps its
        // slope: the take's span then tells how far the take goes.
        chain.front()->GetAnimationInterval(start, stop);
    } else {
        node->GetAnimationInterval(start, stop);
        std::vector<KFCurveNode*> below;
        InnerWarps(node, false, below);
        for (KFCurveNode* warp : below) warp->GetAnimationInterval(start, stop);
    }
    if (stop < start) {
        result.mConstant = true;
        result.mSamples = {{KTime(0), kAtEnd}};
        return result;
    }
    const KTime keysStart = start, keysStop = stop;
    result.mKeysStart = keysStart, result.mKeysStop = keysStop;
    const kULongLong most = std::min(span.mMostSamples, kMaxGridSamples);
    // Within the take the node plays what the take plays, past its keys too, as far as the take may
    // still change: a held tail is one sample, however long the take.
    const Reach active = ActiveReach(node, chain);
    if (!(span.mStop < span.mStart) && !active.Empty()) {
        const KTime lo = std::max(span.mStart, active.mLo), hi = std::min(span.mStop, active.mHi);
        if (!(hi < lo)) start = std::min(start, lo), stop = std::max(stop, hi);
    }
    std::vector<Mark> readerGrid;
    if (span.mReaderCount > 0) {
        Reach read = active;
        for (int r = span.mReaderCount; r > 0; --r) read = ThroughWarp(span.mReaders[r - 1], read);
        KTime lo, hi;
        readerGrid = ReaderGrid(span, period, read, lo, hi, most, result.mCut);
        // Where the node holds, the readers read what its baked curves hold.
        lo = std::max(lo, active.mLo), hi = std::min(hi, active.mHi);
        if (!(hi < lo)) start = std::min(start, lo), stop = std::max(stop, hi);
    }
    const bool widened = start < keysStart || keysStop < stop;
    result.mCut = widened && (result.mCut || GridCount(start, stop, period) > most);
    bool tooMany = false;
    if (!result.mCut) result.mSamples = SampleMarks(node, chain, start, stop, period, readerGrid, tooMany);
    if (result.mCut || (widened && (tooMany || result.mSamples.size() > most))) {
        // More than the grid's limit: the keys alone, as without the take's span.
        result.mCut = true;
        readerGrid.clear();
        result.mSamples = SampleMarks(node, chain, keysStart, keysStop, period, readerGrid, tooMany);
    }
    return result;
}

}  // namespace bake
}  // namespace zeqsdk_400
