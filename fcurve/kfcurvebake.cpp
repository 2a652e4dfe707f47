// Baking layers and time warps: the sample times (a grid, the span's end, and the take times of
// every key through the warps above it), the node's evaluation at each, and the keys written back
// into the curves the node already has, so that whoever holds those curves keeps them.
#include "fcurve/kfcurvebake.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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
// cubic span may turn back) and at most this many.
constexpr kULongLong kMinPartsPerSpan = 4, kMaxPartsPerSpan = 4096;
// A microsecond: samples closer than this are one.
constexpr KTime kSameSample(KTime::kTicksPerSecond / 1000000);

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};

// A time warp read at many times: straight from its curve when it is one curve alone.
struct WarpReader {
    explicit WarpReader(KFCurveNode* warp) : mWarp(warp), mCurve(KFCurveNodeWarpCurve(warp)) {}
    double Seconds(KTime time) const { return mCurve ? mCurve->Evaluate(time) : KFCurveNodeWarpSeconds(mWarp, time); }
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

// Merges the times of list (ascending) into sorted (ascending, without repeats), keeping it so.
void MergeInto(std::vector<KTime>& sorted, const std::vector<KTime>& list, std::vector<KTime>& scratch) {
    // The channels of a vector mostly share their key times.
    if (list.empty() || list == sorted) return;
    scratch.clear();
    scratch.reserve(sorted.size() + list.size());
    std::merge(sorted.begin(), sorted.end(), list.begin(), list.end(), std::back_inserter(scratch));
    scratch.erase(std::unique(scratch.begin(), scratch.end()), scratch.end());
    sorted.swap(scratch);
}

// The key times of the curves, ascending without repeats: each curve's keys are in order already.
std::vector<KTime> KeyTimes(const std::vector<KFCurve*>& curves) {
    std::vector<KTime> times, keys, scratch;
    for (KFCurve* curve : curves) {
        keys.resize(static_cast<std::size_t>(curve->KeyGetCount()));
        for (int k = 0; k < curve->KeyGetCount(); ++k) keys[static_cast<std::size_t>(k)] = curve->KeyGetPtr(k)->GetTime();
        MergeInto(times, keys, scratch);
    }
    return times;
}

// The times where the warp reaches each of targets (ascending), ascending (repeats where two
// parts meet): between its keys, part by part (parts of about a period, where a warp runs nearly
// straight), each target a part spans solved for. A warp of fewer than two keys holds one time and
// is crossed nowhere. No more than limit times are found: a warp that runs back and forth over many
// keys could otherwise ask for more samples than any grid.
void Preimages(KFCurveNode* warp, const std::vector<KTime>& targets, KTime period, std::vector<KTime>& out,
               std::size_t limit) {
    std::vector<KFCurve*> curves;
    AllCurves(warp, curves);
    const std::vector<KTime> keys = KeyTimes(curves);
    if (keys.size() < 2 || targets.empty()) return;
    const WarpReader reader(warp);
    std::vector<double> values;
    values.reserve(targets.size());
    for (KTime target : targets) values.push_back(target.GetSecondDouble());
    // The time in [lo, hi] where the warp reaches value, fLo and fHi lying on either side of it:
    // by false position, halving the residual of an end kept twice (straight warps are found at
    // once, smooth ones in a few steps), until the warp gives value as closely as the floats of
    // its curves tell (within a tenth of a microsecond of a second) or the span is a tick.
    const auto solve = [&](KTime lo, KTime hi, double fLo, double fHi, double value) {
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
    };
    for (std::size_t k = 0; k + 1 < keys.size(); ++k) {
        const auto first = static_cast<kULongLong>(keys[k].Get());
        const kULongLong span = static_cast<kULongLong>(keys[k + 1].Get()) - first;
        const kULongLong step = period > KTime(0) ? static_cast<kULongLong>(period.Get()) : span;
        const kULongLong parts = std::min(std::max(span / std::max<kULongLong>(step, 1), kMinPartsPerSpan), kMaxPartsPerSpan);
        KTime a = keys[k];
        double fa = reader.Seconds(a);
        std::size_t hint = 0;
        for (kULongLong part = 1; part <= parts && out.size() < limit; ++part) {
            const KTime b = part == parts ? keys[k + 1] : KTime(static_cast<kLongLong>(first + span / parts * part));
            const double fb = reader.Seconds(b);
            const double low = std::min(fa, fb), high = std::max(fa, fb);
            const std::size_t from = out.size();
            hint = FirstAtLeast(values, low, hint);
            for (auto it = values.begin() + static_cast<std::ptrdiff_t>(hint);
                 it != values.end() && *it <= high && out.size() < limit; ++it) {
                if (fa == *it)
                    out.push_back(a);
                else if (fb == *it)
                    out.push_back(b);
                else
                    out.push_back(solve(a, b, fa, fb, *it));
            }
            // A part where the warp runs back meets the targets latest first.
            if (fb < fa) std::reverse(out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
            a = b;
            fa = fb;
        }
    }
    // Only a part that turns within itself leaves its times out of order.
    if (!std::is_sorted(out.begin(), out.end())) std::sort(out.begin(), out.end());
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

// The take times where the warp reaches each of targets (ascending, without repeats), in targets.
void Through(KFCurveNode* warp, std::vector<KTime>& targets, KTime period, std::vector<KTime>& found) {
    found.clear();
    Preimages(warp, targets, period, found, kMaxGridSamples);
    found.erase(std::unique(found.begin(), found.end()), found.end());
    targets.swap(found);
}

// The sample times of the bake over [start, stop].
std::vector<KTime> SampleTimes(KFCurveNode* node, const std::vector<KFCurveNode*>& chain, KTime start, KTime stop,
                               KTime period) {
    std::vector<KTime> times;
    if (period > KTime(0)) {
        // The grid lies on whole periods of the take's time, so that every node baked at one period
        // shares its samples (and a frame of that rate is one), wherever its keys begin.
        const kLongLong p = period.Get();
        const kLongLong offset = ((-(start.Get() % p)) % p + p) % p;
        if (start.Get() <= KTime::kInfiniteTicks - offset && start.Get() + offset <= stop.Get()) {
            const KTime first(start.Get() + offset);
            const auto span = static_cast<kULongLong>(stop.Get()) - static_cast<kULongLong>(first.Get());
            const auto step = static_cast<kULongLong>(p);
            if (span / step < kMaxGridSamples) {
                times.resize(static_cast<std::size_t>(span / step + 1));
                for (std::size_t i = 0; i < times.size(); ++i)
                    times[i] = KTime(static_cast<kLongLong>(static_cast<kULongLong>(first.Get()) + i * step));
            }
        }
    }
    std::vector<KTime> scratch;
    MergeInto(times, {start, stop}, scratch);

    // Keys of the node's curves, its layers and the warps below it lie where all the warps above
    // them have taken the take's time; a warp's keys, where the warps above it have. So the times
    // are carried up from the innermost warps to the node's chain, then up the chain, each warp of
    // the chain's own keys joining them there.
    std::vector<WarpedCurves> groups{{chain, {}}};
    GatherCurves(node, false, true, groups, 0);
    std::vector<KTime> targets, keys, found;
    for (const WarpedCurves& group : groups) {
        keys = KeyTimes(group.mCurves);
        for (std::size_t level = group.mWarps.size(); level > chain.size(); --level)
            Through(group.mWarps[level - 1], keys, period, found);
        MergeInto(targets, keys, found);
    }
    for (std::size_t level = chain.size(); level > 0; --level) {
        Through(chain[level - 1], targets, period, found);
        std::vector<KFCurve*> own;
        AllCurves(chain[level - 1], own);
        MergeInto(targets, KeyTimes(own), found);
    }
    MergeInto(times, targets, scratch);
    times.erase(times.begin(), std::lower_bound(times.begin(), times.end(), start));
    times.erase(std::upper_bound(times.begin(), times.end(), stop), times.end());

    // Times closer than kSameSample are one sample (the one at an end of the span, else the one on
    // the grid, else the first): a time found through a warp beside another lies within the floats
    // of the warp of it, and no host keeps two keys that close.
    const auto rank = [&](KTime t) {
        return t == start || t == stop ? 2 : period > KTime(0) && t.Get() % period.Get() == 0 ? 1 : 0;
    };
    std::size_t kept = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
        if (static_cast<kULongLong>(times[i].Get()) - static_cast<kULongLong>(times[kept].Get()) >=
            static_cast<kULongLong>(kSameSample.Get()))
            times[++kept] = times[i];
        else if (rank(times[i]) > rank(times[kept]))
            times[kept] = times[i];
    }
    if (!times.empty()) times.resize(kept + 1);
    return times;
}

// Between two samples of one value the channel holds still: the segment is a line, so that it
// holds there whatever its neighbours (and a host given the keys) make of the slopes around it.
void HoldWhereHeld(KFCurve& curve) {
    const int count = curve.KeyGetCount();
    curve.KeyModifyBegin();
    for (int k = 0; k + 1 < count; ++k) {
        KFCurveKey* key = curve.KeyGetPtr(k);
        if (key->GetValue() == curve.KeyGetPtr(k + 1)->GetValue()) key->SetInterpolation(KFCURVE_INTERPOLATION_LINEAR);
    }
    curve.CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    curve.KeyModifyEnd();
}

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

}  // namespace

bool KFCurveNodeBake(KFCurveNode* node, KFCurveNode* const* above, int aboveCount, KTime period) {
    if (!node) return false;
    std::vector<KFCurveNode*> inner;
    InnerWarps(node, true, inner);
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
    const std::vector<KTime> times =
        constant ? std::vector<KTime>{KTime(0)} : SampleTimes(node, chain, start, stop, period);

    std::vector<KFCurve*> curves;
    BaseCurves(node, curves);
    const int own = node->FCurveGet() ? 1 : 0;
    const bool quaternion = node->GetLayerID() == 0 && node->GetLayerType() == KFCL_QUAT && node->GetCount() > 0;
    const bool euler = node->GetLayerType() == KFCL_EULER_XYZ && !own;
    std::unique_ptr<KFCurveNode, NodeDestroyer> baked(node->CloneTemplate(false, false, true, -1));
    std::vector<KFCurve*> made;
    BaseCurves(baked.get(), made);
    std::vector<double> run(static_cast<std::size_t>(std::max(node->GetChannelCount(), 1) + 4));
    std::vector<double> values(curves.size() + 4);
    std::vector<WarpReader> warps(chain.begin(), chain.begin() + static_cast<std::ptrdiff_t>(outer));
    double previous[4] = {0.0, 0.0, 0.0, 1.0};
    bool first = true;
    for (const KTime sample : times) {
        KTime time = sample;
        for (const WarpReader& warp : warps) time = warp.Time(time);
        const double* end = node->GeneralEvaluate(run.data(), time, nullptr, false);
        const std::size_t given = static_cast<std::size_t>(end - run.data());
        std::fill(values.begin(), values.end(), 0.0);
        if (quaternion && given >= static_cast<std::size_t>(own + 3)) {
            if (own) values[0] = run[0];
            ToQuaternion(run.data() + own, values.data() + own, first ? nullptr : previous);
            std::copy(values.begin() + own, values.begin() + own + 4, previous);
        } else {
            std::copy(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(std::min(given, curves.size())),
                      values.begin());
        }
        first = false;
        if (constant) {
            for (std::size_t c = 0; c < curves.size(); ++c) {
                curves[c]->KeyClear();
                curves[c]->SetValue(static_cast<float>(values[c]));
            }
        } else {
            // The samples ascend: each is appended to the curves as it comes, a rotation kept
            // continuous with the one before.
            if (euler) baked->GetContinuousRotation(values.data(), values.data(), sample);
            for (std::size_t c = 0; c < made.size(); ++c) made[c]->KeyAppendFast(sample, static_cast<float>(values[c]));
        }
    }
    if (!constant) {
        for (std::size_t c = 0; c < curves.size() && c < made.size(); ++c) {
            KFCurve& curve = *curves[c];
            float color[3];
            std::copy(curve.GetColor(), curve.GetColor() + 3, color);
            const bool selected = curve.GetSelected();
            const int wasData = curve.GetWasData();
            curve.CopyFrom(*made[c], true);
            curve.SetColor(color);
            curve.SetSelected(selected);
            curve.SetWasData(wasData);
            if (curve.KeyGetCount() > 0) curve.SetValue(curve.KeyGetPtr(0)->GetValue());
            HoldWhereHeld(curve);
        }
    }
    node->LayerSet(nullptr, true);
    ClearWarps(node);
    return true;
}

}  // namespace zeqsdk_400
