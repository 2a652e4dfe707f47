#ifndef ZEQ_FCURVE_TESTS_GENERATED_TAKES_H
#define ZEQ_FCURVE_TESTS_GENERATED_TAKES_H

// Takes made at random for the property tests of the bake and of what carries it (the readers,
// the writers, the host's import): a translation of three channels keyed on and off the grid, in
// close pairs and in steps, repeating or keeping their slopes past their keys, under time warps
// (on the whole transform, the vector and a channel: running fast or slow, starting late, holding,
// running back, jumping, of one key, keeping their slopes), beside layers (some cancelling the base
// so that it holds). Beside them, the measure of a baked node against the take it came from.

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"

namespace generatedtakes {

using namespace zeqsdk_400;

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

constexpr double kFrame = 1.0 / 30;

inline KTime At(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

class Maker {
public:
    explicit Maker(unsigned seed) : mRandom(seed) {}

    double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(mRandom); }
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(mRandom); }
    bool Chance(double p) { return Uniform(0, 1) < p; }

    // Key times over [0, end]: on the grid, off it, and pairs a tenth of a millisecond apart.
    std::vector<double> Times(int count, double end) {
        mPairs.clear();
        std::vector<double> times;
        for (int i = 0; i < count; ++i) {
            const double t = Uniform(0, end);
            switch (Pick(3)) {
                case 0:
                    times.push_back(std::round(t / kFrame) * kFrame);
                    break;
                case 1:
                    times.push_back(t);
                    break;
                default:
                    times.push_back(t);
                    times.push_back(t + 1e-4);
                    mPairs.push_back(t + 1e-4);
                    break;
            }
        }
        std::sort(times.begin(), times.end());
        std::vector<double> apart;
        for (double t : times)
            if (apart.empty() || t - apart.back() > 5e-5) apart.push_back(t);
        return apart;
    }

    // Keys of every kind at those times, and a post-extrapolation that holds, repeats or keeps its
    // slope. Steps (constant keys) only where allowed.
    void Key(KFCurve& curve, const std::vector<double>& times, double amplitude, bool steps) {
        curve.KeyModifyBegin();
        float last = 0.0f;
        for (double t : times) {
            KFCurveKey key{};
            // The second key of a close pair moves on a little, as a key nudged past another.
            const bool second = std::find(mPairs.begin(), mPairs.end(), t) != mPairs.end();
            const float value = static_cast<float>(second ? last + Uniform(-0.05, 0.05) * amplitude
                                                          : Uniform(-amplitude, amplitude));
            last = value;
            const int kind = Pick(10);
            if (kind < 5)
                key.Set(KTime(), value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0, 0, KFCURVE_WEIGHTED_NONE,
                        KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            else if (kind < 7 || (kind == 8 && !steps))
                key.Set(KTime(), value, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_NONE,
                        KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            else if (kind == 8)
                key.Set(KTime(), value, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD, 0, 0,
                        KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            else
                key.Set(KTime(), value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER,
                        static_cast<float>(Uniform(-amplitude, amplitude)),
                        static_cast<float>(Uniform(-amplitude, amplitude)), KFCURVE_WEIGHTED_NONE,
                        KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            curve.KeyAdd(At(t), key);
        }
        curve.KeyModifyEnd();
        // Repeating cycles of a fifth of a second or more: shorter ones are a take of their own.
        const int after = Pick(5);
        const bool cycles = times.size() > 1 && times.back() - times.front() >= 0.2;
        if (after == 3 && cycles) curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
        if (after == 3 && cycles) curve.SetPostExtrapolationCount(0xFFFFFFFFu);
        if (after == 4 && times.size() > 1 && times.back() - times[times.size() - 2] >= 0.1) {
            curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
            curve.SetPostExtrapolationCount(0xFFFFFFFFu);
        }
    }

    // A time warp held by a holder of the take's (a take's reader holds its warps so), running
    // over [0, end] in one of several ways.
    KFCurveNode* Warp(double end) {
        mHolders.emplace_back(KFCurveNodeCreate("Holder"));
        KFCurveNode* warp = KFCurveNodeCreate("W", static_cast<KDataType*>(nullptr));
        warp->FCurveSet(KFCurveCreate(), true);
        KFCurve& curve = *warp->FCurveGet();
        const auto key = [&](double t, double value, unsigned int interpolation) {
            KFCurveKey k{};
            k.Set(KTime(), static_cast<float>(value), interpolation,
                  interpolation == KFCURVE_INTERPOLATION_CUBIC ? KFCURVE_TANGEANT_AUTO : KFCURVE_TANGEANT_USER, 0, 0,
                  KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            curve.KeyAdd(At(t), k);
        };
        const unsigned int line = KFCURVE_INTERPOLATION_LINEAR, cubic = KFCURVE_INTERPOLATION_CUBIC;
        const double a = Uniform(0.1, 0.45) * end, b = Uniform(0.55, 0.9) * end;
        switch (Pick(8)) {
            case 0:  // faster or slower
                key(0, 0, Chance(0.5) ? line : cubic), key(end, end * Uniform(0.6, 1.4), line);
                break;
            case 1:  // starting late
                key(a, 0, line), key(end, end - a, line);
                break;
            case 2:  // running back
                key(0, 0, cubic), key(a, a * 1.3, cubic), key(end, Uniform(0, a), line);
                break;
            case 3:  // holding
                key(0, 0, line), key(a, a, line), key(b, a, line), key(end, end - (b - a), line);
                break;
            case 4:  // jumping (off the grid) and running on
                key(0, 0, line), key(a, a, KFCURVE_INTERPOLATION_CONSTANT), key(b + 0.0123, b + 0.3, line),
                    key(end, end + 0.3, line);
                break;
            case 5:  // one key
                key(a, Uniform(0, end), line);
                break;
            case 6:  // ending early, keeping its slope
                key(0, 0, line), key(b, b * Uniform(0.7, 1.2), line);
                curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
                curve.SetPostExtrapolationCount(0xFFFFFFFFu);
                break;
            default:  // what changes nothing
                key(0, 0, line), key(end, end, line);
                break;
        }
        mHolders.back()->TimeWarpSet(warp);
        return warp;
    }

    std::vector<NodePtr> mHolders;
    std::vector<double> mPairs;  // the second times of the close pairs of the last times made
    std::mt19937 mRandom;
};

// A generated take: a translation vector "T" (with its layers and warps), the warp above it (the
// transform's) or none, and the take's span [0, mSeconds].
struct Take {
    NodePtr mVector;
    KFCurveNode* mAbove = nullptr;
    double mSeconds = 0;
    std::vector<NodePtr> mHolders;
};

inline Take MakeTake(unsigned seed) {
    Maker maker(seed);
    Take take;
    take.mSeconds = maker.Uniform(1.0, 3.0);
    const double keysEnd = take.mSeconds * maker.Uniform(0.5, 1.0);
    take.mVector.reset(KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 0));
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    for (const char* axis : kAxes) {
        KFCurveNode* channel = KFCurveNodeCreate(axis, static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 0);
        channel->FCurveSet(KFCurveCreate(), true);
        maker.Key(*channel->FCurveGet(), maker.Times(1 + maker.Pick(6), keysEnd), 10.0, maker.Chance(0.3));
        take.mVector->Add(channel);
    }
    const int layer = maker.Pick(4);
    if (layer == 1) {
        // A layer over some channels.
        KFCurveNode* over = KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 1);
        for (const char* axis : kAxes) {
            if (maker.Chance(0.4)) continue;
            KFCurveNode* channel = KFCurveNodeCreate(axis, static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 1);
            channel->FCurveSet(KFCurveCreate(), true);
            maker.Key(*channel->FCurveGet(), maker.Times(1 + maker.Pick(4), keysEnd), 3.0, false);
            over->Add(channel);
        }
        take.mVector->LayerSet(over, true);
    } else if (layer == 2) {
        // X runs 4 a second, then a layer cancels its run: X holds 4, in the last bits of both.
        KFCurve& x = *take.mVector->Get(0)->FCurveGet();
        x.KeyClear();
        x.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT);
        const double a = maker.Uniform(0.2, 0.5) * keysEnd, b = maker.Uniform(0.6, 1.0) * keysEnd;
        KFCurveNode* over = KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 1);
        KFCurveNode* channel = KFCurveNodeCreate("X", static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 1);
        channel->FCurveSet(KFCurveCreate(), true);
        KFCurve& cancel = *channel->FCurveGet();
        const auto line = [](KFCurve& curve, double t, double value) {
            KFCurveKey k{};
            k.Set(KTime(), static_cast<float>(value), KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0,
                  KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            curve.KeyAdd(At(t), k);
        };
        line(x, 0, 0), line(x, a, 4 * a), line(x, b, 4 * b);
        line(cancel, 0, 0), line(cancel, a, 0), line(cancel, b, -4 * (b - a));
        over->Add(channel);
        take.mVector->LayerSet(over, true);
    }
    if (maker.Chance(0.5)) take.mAbove = maker.Warp(take.mSeconds);
    if (maker.Chance(0.35)) take.mVector->TimeWarpSet(maker.Warp(take.mSeconds));
    if (maker.Chance(0.25)) take.mVector->Get(0)->TimeWarpSet(maker.Warp(take.mSeconds));
    take.mHolders = std::move(maker.mHolders);
    return take;
}

// The take's values (X, Y, Z) at a time of the take: through the warp above, then the vector's
// evaluation.
inline std::vector<double> TakeAt(const Take& take, KFCurveNode& vector, KTime t) {
    if (take.mAbove) t = KFCurveNodeWarpTime(take.mAbove, t);
    std::vector<double> values(8, 0.0);
    vector.GeneralEvaluate(values.data(), t, nullptr, false);
    values.resize(3);
    return values;
}
inline std::vector<double> TakeAt(const Take& take, KFCurveNode& vector, double seconds) {
    return TakeAt(take, vector, At(seconds));
}

// How a baked channel plays the take: the largest error between its keys where the take runs
// smoothly (away from its keys by more than a microsecond and two, where samples may stand for
// them), and the largest distance outside the range the take spans between two of its keys, both
// as parts of the scene's size (the take's largest span of a channel over its span).
struct Measure {
    double mError = 0;
    double mOutside = 0;
    double mSize = 0;
};

// baked(t) and take(t) give the three channels at take time t; keys are the baked keys' times,
// seconds the take's span.
template <class Baked, class Original>
Measure Compare(Baked baked, Original take, std::vector<double> keys, double seconds, int between = 12) {
    Measure m;
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int k = 0; k <= 600; ++k) {
        const std::vector<double> v = take(seconds * k / 600);
        for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], v[c]), hi[c] = std::max(hi[c], v[c]);
    }
    for (int c = 0; c < 3; ++c) m.mSize = std::max(m.mSize, hi[c] - lo[c]);
    // A take that holds still is measured in hundredths of a unit.
    const double size = std::max(m.mSize, 1e-2);
    keys.push_back(0), keys.push_back(seconds);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::remove_if(keys.begin(), keys.end(), [&](double t) { return t < 0 || t > seconds; }), keys.end());
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        const double a = keys[i], b = keys[i + 1];
        if (b - a < 4e-6) continue;
        std::vector<std::vector<double>> original, played;
        for (int k = 0; k <= between; ++k) {
            const double t = a + 2.5e-6 + (b - a - 5e-6) * k / between;
            original.push_back(take(t));
            played.push_back(baked(t));
        }
        for (int c = 0; c < 3; ++c) {
            double low = HUGE_VAL, high = -HUGE_VAL;
            for (const auto& v : original) low = std::min(low, v[c]), high = std::max(high, v[c]);
            for (std::size_t k = 0; k < played.size(); ++k) {
                const double e = std::fabs(played[k][c] - original[k][c]) / size;
                m.mError = std::max(m.mError, e);
                const double out = std::max(0.0, std::max(played[k][c] - high, low - played[k][c])) / size;
                m.mOutside = std::max(m.mOutside, out);
            }
        }
    }
    return m;
}

}  // namespace generatedtakes

#endif
