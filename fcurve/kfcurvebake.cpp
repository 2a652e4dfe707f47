// Baking layers and time warps: the sample times (a grid, the span's end, and the take times of
// every key through the warps above it), the node's evaluation at each, and the keys written back
// into the curves the node already has, so that whoever holds those curves keeps them.
#include "fcurve/kfcurvebake.h"

#include <algorithm>
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
// cubic span may turn back) and at most this many.
constexpr kULongLong kMinPartsPerSpan = 4, kMaxPartsPerSpan = 4096;

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};

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

void AddKeyTimes(KFCurve* curve, std::vector<KTime>& out) {
    for (int k = 0; k < curve->KeyGetCount(); ++k) out.push_back(curve->KeyGetPtr(k)->GetTime());
}

void SortUnique(std::vector<KTime>& times) {
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
}

// The times where the warp reaches each of targets (ascending): between its keys, part by part
// (parts of about a period, where a warp runs nearly straight), each target a part spans solved for. A warp of fewer than two keys holds one time
// and is crossed nowhere. No more than limit times are found: a warp that runs back and forth
// over many keys could otherwise ask for more samples than any grid.
void Preimages(KFCurveNode* warp, const std::vector<KTime>& targets, KTime period, std::vector<KTime>& out,
               std::size_t limit) {
    std::vector<KFCurve*> curves;
    AllCurves(warp, curves);
    std::vector<KTime> keys;
    for (KFCurve* curve : curves) AddKeyTimes(curve, keys);
    SortUnique(keys);
    if (keys.size() < 2 || targets.empty()) return;
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
            const long double fc = static_cast<long double>(KFCurveNodeWarpSeconds(warp, at)) - value;
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
        double fa = KFCurveNodeWarpSeconds(warp, a);
        for (kULongLong part = 1; part <= parts && out.size() < limit; ++part) {
            const KTime b = part == parts ? keys[k + 1] : KTime(static_cast<kLongLong>(first + span / parts * part));
            const double fb = KFCurveNodeWarpSeconds(warp, b);
            const double low = std::min(fa, fb), high = std::max(fa, fb);
            for (auto it = std::lower_bound(values.begin(), values.end(), low);
                 it != values.end() && *it <= high && out.size() < limit; ++it) {
                if (fa == *it)
                    out.push_back(a);
                else if (fb == *it)
                    out.push_back(b);
                else
                    out.push_back(solve(a, b, fa, fb, *it));
            }
            a = b;
            fa = fb;
        }
    }
}

// The take times where the first count warps of the chain, applied in turn, reach each of targets.
void ChainPreimages(KFCurveNode* const* chain, std::size_t count, std::vector<KTime> targets, KTime period,
                    std::vector<KTime>& out) {
    for (; count > 0; --count) {
        SortUnique(targets);
        std::vector<KTime> found;
        Preimages(chain[count - 1], targets, period, found, kMaxGridSamples);
        targets.swap(found);
    }
    out.insert(out.end(), targets.begin(), targets.end());
}

// Key times read through one run of warps (outermost first).
struct WarpedKeys {
    std::vector<KFCurveNode*> mWarps;
    std::vector<KTime> mKeys;
};

// Gathers the keys of node's curves, of its layers and of the warps below it into groups by the
// warps the evaluation reads them through (group: the one of the warps above node). A channel's
// warp bends its curve and its own layers; a vector's layers are read at the vector's time, each
// through its own warps and its channels'.
void GatherKeys(KFCurveNode* node, bool self, bool nextLayers, std::vector<WarpedKeys>& groups, std::size_t group) {
    KFCurveNode* warp = self ? node->TimeWarpGet() : nullptr;
    if (warp) {
        std::vector<KFCurve*> own;
        AllCurves(warp, own);
        for (KFCurve* curve : own) AddKeyTimes(curve, groups[group].mKeys);
        WarpedKeys below{groups[group].mWarps, {}};
        below.mWarps.push_back(warp);
        groups.push_back(std::move(below));
        group = groups.size() - 1;
    }
    if (KFCurve* curve = node->FCurveGet()) AddKeyTimes(curve, groups[group].mKeys);
    for (int i = 0; i < node->GetCount(); ++i) GatherKeys(node->Get(i), true, true, groups, group);
    if (nextLayers)
        for (KFCurveNode* layer = node->LayerGet(); layer; layer = layer->LayerGet())
            GatherKeys(layer, true, false, groups, group);
}

std::vector<WarpedKeys> KeysBelow(KFCurveNode* node, const std::vector<KFCurveNode*>& chain) {
    std::vector<WarpedKeys> groups{{chain, {}}};
    GatherKeys(node, false, true, groups, 0);
    return groups;
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
            if (span / step < kMaxGridSamples)
                for (kULongLong i = 0; i <= span / step; ++i)
                    times.push_back(KTime(static_cast<kLongLong>(static_cast<kULongLong>(first.Get()) + i * step)));
        }
    }
    times.push_back(start);
    times.push_back(stop);

    // Keys of the node's curves, its layers and the warps below it lie where all the warps above
    // them have taken the take's time; a warp's keys, where the warps above it have.
    for (const WarpedKeys& group : KeysBelow(node, chain))
        ChainPreimages(group.mWarps.data(), group.mWarps.size(), group.mKeys, period, times);
    for (std::size_t j = 0; j < chain.size(); ++j) {
        std::vector<KTime> keys;
        std::vector<KFCurve*> own;
        AllCurves(chain[j], own);
        for (KFCurve* curve : own) AddKeyTimes(curve, keys);
        ChainPreimages(chain.data(), j, keys, period, times);
    }
    times.erase(std::remove_if(times.begin(), times.end(), [&](KTime t) { return t < start || t > stop; }),
                times.end());
    SortUnique(times);
    return times;
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
    std::vector<double> run(static_cast<std::size_t>(std::max(node->GetChannelCount(), 1) + 4));
    std::vector<double> values(curves.size() + 4);
    double previous[4] = {0.0, 0.0, 0.0, 1.0};
    bool first = true;
    for (const KTime sample : times) {
        KTime time = sample;
        for (std::size_t i = 0; i < outer; ++i) time = KFCurveNodeWarpTime(chain[i], time);
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
            baked->KeyAppend(sample, values.data(), euler);
        }
    }
    if (!constant) {
        std::vector<KFCurve*> made;
        BaseCurves(baked.get(), made);
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
        }
    }
    node->LayerSet(nullptr, true);
    ClearWarps(node);
    return true;
}

}  // namespace zeqsdk_400
