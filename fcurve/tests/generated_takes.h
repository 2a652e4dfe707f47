#ifndef ZEQ_FCURVE_TESTS_GENERATED_TAKES_H
#define ZEQ_FCURVE_TESTS_GENERATED_TAKES_H

// Takes made at random for the property tests of the bake and of what carries it (the readers,
// the writers, the host's import): a translation of three channels keyed on and off the grid, in
// close pairs, in steps (constant keys, standard or taking the next key's value, one at the take's
// start; two keys under a microsecond apart), repeating, mirroring or keeping their slopes before
// and after their keys (endless, as users write them, or for some cycles), under time warps (on the
// whole transform, the vector and a channel: running fast or slow, starting late, holding, running
// back, jumping, of one key, keeping their slopes, repeating or mirroring with a period off the
// grid), beside layers (keyed alike, of constant values, or cancelling the base so that it holds).
// Beside them, the measure of a baked node against what the take plays, worked out apart from the
// SDK's evaluation (take_reference.h).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/take_reference.h"
#include "object/kdatatype.h"

namespace generatedtakes {

using namespace zeqsdk_400;

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

constexpr double kFrame = 1.0 / 30;
constexpr kLongLong kFrameTicks = KTime::kTicksPerSecond / 30;
// Two keys this many ticks apart are under a microsecond apart: what they key is a step.
constexpr kLongLong kUnderAMicrosecond = 46185;
constexpr unsigned int kEndless = 0xFFFFFFFFu;

inline KTime At(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

// A key of a kind: mode is its tangent mode, or a constant key's constant mode; right and nextLeft
// fill its two derivative slots (a user key's derivatives, an automatic key's parameters).
inline KFCurveKey KeyOf(double value, unsigned int interpolation, unsigned int mode, double right = 0,
                        double nextLeft = 0) {
    KFCurveKey key{};
    key.Set(KTime(), static_cast<float>(value), interpolation, mode, static_cast<float>(right),
            static_cast<float>(nextLeft), KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
    return key;
}

class Maker {
public:
    explicit Maker(unsigned seed) : mRandom(seed) {}

    double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(mRandom); }
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(mRandom); }
    bool Chance(double p) { return Uniform(0, 1) < p; }

    // Where a key goes: alone, the second of a close pair (a key nudged past another), the second
    // of a step under a microsecond, or at the take's start.
    enum Place { kAlone, kNudged, kStepped, kStart };
    struct Slot {
        KTime mTime;
        Place mPlace;
    };

    // Key times over [0, end]: on the grid, off it, pairs a tenth of a millisecond apart and, where
    // steps are allowed, steps of two keys under a microsecond apart and a key at the start.
    std::vector<Slot> Times(int count, double end, bool steps) {
        std::vector<std::vector<Slot>> groups;
        for (int i = 0; i < count; ++i) {
            const double t = Uniform(0, end);
            switch (Pick(steps ? 4 : 3)) {
                case 0:
                    groups.push_back({{KTime(std::llround(t / kFrame) * kFrameTicks), kAlone}});
                    break;
                case 1:
                    groups.push_back({{At(t), kAlone}});
                    break;
                case 2:
                    groups.push_back({{At(t), kAlone}, {At(t + 1e-4), kNudged}});
                    break;
                default:
                    groups.push_back({{At(t), kAlone}, {KTime(At(t).Get() + kUnderAMicrosecond), kStepped}});
                    break;
            }
        }
        if (steps && Chance(0.2)) groups.push_back({{KTime(0), kStart}});
        std::sort(groups.begin(), groups.end(),
                  [](const std::vector<Slot>& a, const std::vector<Slot>& b) { return a[0].mTime < b[0].mTime; });
        std::vector<Slot> slots;
        for (const auto& group : groups)
            if (slots.empty() || (group[0].mTime - slots.back().mTime).GetSecondDouble() > 5e-5)
                slots.insert(slots.end(), group.begin(), group.end());
        return slots;
    }

    // Keys of every kind at those places, and extrapolations before and after them. Steps
    // (constant keys, and the keys of a step under a microsecond) only where allowed; the keys
    // of a step and the key before it have no automatic tangent, which would read the step's
    // slope.
    void Key(KFCurve& curve, const std::vector<Slot>& slots, double amplitude, bool steps) {
        curve.KeyModifyBegin();
        double last = 0;
        const unsigned int line = KFCURVE_INTERPOLATION_LINEAR, cubic = KFCURVE_INTERPOLATION_CUBIC,
                           constant = KFCURVE_INTERPOLATION_CONSTANT;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            const Place place = slots[i].mPlace;
            const bool stepNext = i + 1 < slots.size() && slots[i + 1].mPlace == kStepped;
            const bool stepAfter = i + 2 < slots.size() && slots[i + 2].mPlace == kStepped;
            double value = Uniform(-amplitude, amplitude);
            if (place == kNudged) value = last + Uniform(-0.05, 0.05) * amplitude;
            if (place == kStepped) value = last + (Chance(0.5) ? 1 : -1) * Uniform(0.3, 1.0) * amplitude;
            last = value;
            const unsigned int standard = KFCURVE_CONSTANT_STANDARD, next = KFCURVE_CONSTANT_NEXT;
            KFCurveKey key{};
            if (place == kStart) {
                key = KeyOf(value, constant, next);
            } else if (place == kStepped || stepNext) {
                key = Chance(0.6) ? KeyOf(value, line, KFCURVE_TANGEANT_USER)
                                  : KeyOf(value, constant, Chance(0.5) ? next : standard);
            } else {
                const int kind = Pick(10);
                if (kind < 5 && !stepAfter)
                    key = KeyOf(value, cubic, KFCURVE_TANGEANT_AUTO);
                else if (kind < 7 || (kind == 8 && !steps))
                    key = KeyOf(value, line, KFCURVE_TANGEANT_USER);
                else if (kind == 8)
                    key = KeyOf(value, constant, Chance(0.5) ? next : standard);
                else
                    key = KeyOf(value, cubic, KFCURVE_TANGEANT_USER, Uniform(-amplitude, amplitude),
                                Uniform(-amplitude, amplitude));
            }
            curve.KeyAdd(slots[i].mTime, key);
        }
        curve.KeyModifyEnd();
        Extrapolate(curve, true);
        Extrapolate(curve, false);
    }

    // Before or after the keys: mostly holding, else repeating, mirroring or keeping the slope,
    // endless as users mostly leave it or for a few cycles (mirrors often an odd count). Cycles
    // of a fifth of a second or more (shorter ones are a take of their own), and slopes of an end
    // stretch of a tenth or more (a close pair's slope would run off).
    void Extrapolate(KFCurve& curve, bool before) {
        const int n = curve.KeyGetCount();
        const auto seconds = [&](int a, int b) {
            return (curve.KeyGetPtr(b)->GetTime() - curve.KeyGetPtr(a)->GetTime()).GetSecondDouble();
        };
        const int pick = Pick(20);
        int mode = pick < 8    ? KFCURVE_EXTRAPOLATION_CONSTANT
                   : pick < 13 ? KFCURVE_EXTRAPOLATION_REPETITION
                   : pick < 16 ? KFCURVE_EXTRAPOLATION_MIRROR
                               : KFCURVE_EXTRAPOLATION_KEEP_SLOPE;
        const bool cycles = n > 1 && seconds(0, n - 1) >= 0.2;
        const bool slope = n > 1 && (before ? seconds(0, 1) : seconds(n - 2, n - 1)) >= 0.1;
        if ((mode == KFCURVE_EXTRAPOLATION_REPETITION || mode == KFCURVE_EXTRAPOLATION_MIRROR) && !cycles)
            mode = KFCURVE_EXTRAPOLATION_CONSTANT;
        if (mode == KFCURVE_EXTRAPOLATION_KEEP_SLOPE && !slope) mode = KFCURVE_EXTRAPOLATION_CONSTANT;
        unsigned int count = kEndless;
        if (!Chance(0.7))
            count = mode == KFCURVE_EXTRAPOLATION_MIRROR && Chance(0.7) ? 1 + 2 * Pick(2) : 1 + Pick(3);
        if (before) {
            curve.SetPreExtrapolation(mode);
            curve.SetPreExtrapolationCount(count);
        } else {
            curve.SetPostExtrapolation(mode);
            curve.SetPostExtrapolationCount(count);
        }
    }

    // The ways a warp runs over the take.
    enum WarpKind {
        kFasterOrSlower,
        kStartingLate,
        kRunningBack,
        kHolding,
        kJumping,
        kOneKey,
        kEndingEarly,
        kRepeating,
        kMirroring,
        kNextAtStart,
        kStepping,
        kChangingNothing,
        kWarpKinds
    };

    // A time warp held by a holder of the take's (a take's reader holds its warps so), running
    // over [0, end] in one of those ways (kWarpKinds: any).
    KFCurveNode* Warp(double end, int kind = kWarpKinds) {
        mHolders.emplace_back(KFCurveNodeCreate("Holder"));
        KFCurveNode* warp = KFCurveNodeCreate("W", static_cast<KDataType*>(nullptr));
        warp->FCurveSet(KFCurveCreate(), true);
        KFCurve& curve = *warp->FCurveGet();
        const auto key = [&](KTime t, double value, unsigned int interpolation,
                             unsigned int constantMode = KFCURVE_CONSTANT_STANDARD) {
            KFCurveKey k = KeyOf(value, interpolation,
                                 interpolation == KFCURVE_INTERPOLATION_CUBIC      ? KFCURVE_TANGEANT_AUTO
                                 : interpolation == KFCURVE_INTERPOLATION_CONSTANT ? constantMode
                                                                                   : KFCURVE_TANGEANT_USER);
            curve.KeyAdd(t, k);
        };
        const auto extrapolate = [&](bool before, int mode, unsigned int count) {
            if (before) curve.SetPreExtrapolation(mode), curve.SetPreExtrapolationCount(count);
            if (!before) curve.SetPostExtrapolation(mode), curve.SetPostExtrapolationCount(count);
        };
        const unsigned int line = KFCURVE_INTERPOLATION_LINEAR, cubic = KFCURVE_INTERPOLATION_CUBIC,
                           constant = KFCURVE_INTERPOLATION_CONSTANT;
        const double a = Uniform(0.1, 0.45) * end, b = Uniform(0.55, 0.9) * end;
        switch (kind == kWarpKinds ? Pick(kWarpKinds) : kind) {
            case kFasterOrSlower:
                key(At(0), 0, Chance(0.5) ? line : cubic), key(At(end), end * Uniform(0.6, 1.4), line);
                break;
            case kStartingLate:  // before it holding or running on
                key(At(a), 0, line), key(At(end), end - a, line);
                if (Chance(0.5)) extrapolate(true, KFCURVE_EXTRAPOLATION_KEEP_SLOPE, kEndless);
                break;
            case kRunningBack:
                key(At(0), 0, cubic), key(At(a), a * 1.3, cubic), key(At(end), Uniform(0, a), line);
                break;
            case kHolding:
                key(At(0), 0, line), key(At(a), a, line), key(At(b), a, line), key(At(end), end - (b - a), line);
                break;
            case kJumping:  // off the grid, and running on
                key(At(0), 0, line),
                    key(At(a), a, constant, Chance(0.5) ? KFCURVE_CONSTANT_NEXT : KFCURVE_CONSTANT_STANDARD),
                    key(At(b + 0.0123), b + 0.3, line), key(At(end), end + 0.3, line);
                break;
            case kOneKey:
                key(At(a), Uniform(0, end), line);
                break;
            case kEndingEarly:  // keeping its slope
                key(At(0), 0, line), key(At(b), b * Uniform(0.7, 1.2), line);
                extrapolate(false, KFCURVE_EXTRAPOLATION_KEEP_SLOPE, kEndless);
                break;
            case kRepeating:  // a stretch of the take (a period mostly off the grid), or mirroring it
            case kMirroring: {
                double period = Uniform(0.25, 0.6) * end;
                if (Chance(0.25)) period = std::round(period / kFrame) * kFrame;
                const double from = Uniform(0, 0.3) * end;
                key(At(0), from, Chance(0.5) ? line : cubic), key(At(period), from + period * Uniform(0.6, 1.4), line);
                const bool repeat = kind == kWarpKinds ? Chance(0.6) : kind == kRepeating;
                const int mode = repeat ? KFCURVE_EXTRAPOLATION_REPETITION : KFCURVE_EXTRAPOLATION_MIRROR;
                extrapolate(false, mode, Chance(0.6) ? kEndless : 1 + Pick(3));
                break;
            }
            case kNextAtStart:  // a constant key taking the next one's value at the take's start
                key(KTime(0), Uniform(0, end), constant, KFCURVE_CONSTANT_NEXT), key(At(a), a, line),
                    key(At(end), end, line);
                break;
            case kStepping: {  // jumping in two keys under a microsecond apart
                const double jump = (Chance(0.5) ? 1 : -1) * Uniform(0.1, 0.4);
                key(At(0), 0, line), key(At(a), a, line), key(KTime(At(a).Get() + kUnderAMicrosecond), a + jump, line),
                    key(At(end), end + jump, line);
                break;
            }
            default:  // kChangingNothing
                key(At(0), 0, line), key(At(end), end, line);
                break;
        }
        mHolders.back()->TimeWarpSet(warp);
        return warp;
    }

    std::vector<NodePtr> mHolders;
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
        const bool steps = maker.Chance(0.3);
        maker.Key(*channel->FCurveGet(), maker.Times(1 + maker.Pick(6), keysEnd, steps), 10.0, steps);
        take.mVector->Add(channel);
    }
    const int layer = maker.Pick(5);
    if (layer == 1 || layer == 2) {
        // A layer over some channels, keyed or of a constant value.
        KFCurveNode* over = KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 1);
        for (const char* axis : kAxes) {
            if (maker.Chance(0.4)) continue;
            KFCurveNode* channel = KFCurveNodeCreate(axis, static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 1);
            channel->FCurveSet(KFCurveCreate(), true);
            const bool steps = maker.Chance(0.4);
            if (maker.Chance(0.25))
                channel->FCurveGet()->SetValue(static_cast<float>(maker.Uniform(-3, 3)));
            else
                maker.Key(*channel->FCurveGet(), maker.Times(1 + maker.Pick(4), keysEnd, steps), 3.0, steps);
            over->Add(channel);
        }
        take.mVector->LayerSet(over, true);
    } else if (layer == 3) {
        // X runs 4 a second, then a layer cancels its run: X holds 4, in the last bits of both.
        KFCurve& x = *take.mVector->Get(0)->FCurveGet();
        x.KeyClear();
        x.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT);
        x.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT);
        const double a = maker.Uniform(0.2, 0.5) * keysEnd, b = maker.Uniform(0.6, 1.0) * keysEnd;
        KFCurveNode* over = KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 1);
        KFCurveNode* channel = KFCurveNodeCreate("X", static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 1);
        channel->FCurveSet(KFCurveCreate(), true);
        KFCurve& cancel = *channel->FCurveGet();
        const auto line = [](KFCurve& curve, double t, double value) {
            KFCurveKey k = KeyOf(value, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER);
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

// Whether a bake has anything to take in: a layer or a time warp.
inline bool HasSomethingToBake(const Take& take) {
    bool warped = take.mAbove || take.mVector->TimeWarpGet();
    for (int c = 0; c < take.mVector->GetCount(); ++c) warped = warped || take.mVector->Get(c)->TimeWarpGet();
    return warped || take.mVector->LayerGet();
}

// What the take plays, worked out from its keys (read before anything bakes them).
inline takereference::Take Reference(const Take& take) { return takereference::Take(*take.mVector, take.mAbove); }

// The SDK's own evaluation of the take (the transform's warp, then the vector's), for the checks
// that a take is placed where a test says; the measures of a bake read Reference().
inline std::vector<double> SdkEvaluation(const Take& take, KTime t) {
    if (take.mAbove) t = KFCurveNodeWarpTime(take.mAbove, t);
    std::vector<double> values(8, 0.0);
    take.mVector->GeneralEvaluate(values.data(), t, nullptr, false);
    values.resize(3);
    return values;
}

// How a baked node plays the take, as parts of the take's size (its largest span of a channel
// over its span): the largest error between the baked keys (away from them by a microsecond and
// more, where samples may stand for them), the largest distance outside the range the take spans
// between two baked keys, and the largest miss about a step of the take (the value before it a
// microsecond before, the value after it a microsecond after).
struct Measure {
    double mError = 0, mErrorAt = 0;
    double mOutside = 0, mOutsideAt = 0;
    double mStep = 0, mStepAt = 0;
    int mSteps = 0;
    double mSize = 0;
};

// Where a channel of the take steps within (0, seconds): brackets of a tenth of a microsecond
// across which it moves by more than a thousandth of size (a step of keys under a microsecond
// apart counts). Found on a grid of a quarter millisecond, then by halving.
struct Step {
    int mChannel;
    double mFrom, mTo;
};
template <class Original>
std::vector<Step> Steps(Original take, double seconds, double size) {
    std::vector<Step> steps;
    const int cells = static_cast<int>(std::ceil(seconds / 2.5e-4));
    std::vector<double> before = take(0.0);
    for (int k = 1; k <= cells; ++k) {
        const double a = seconds * (k - 1) / cells, b = seconds * k / cells;
        const std::vector<double> after = take(b);
        for (std::size_t c = 0; c < after.size(); ++c) {
            if (std::fabs(after[c] - before[c]) <= 5e-4 * size) continue;
            double lo = a, hi = b, low = before[c], high = after[c];
            while (hi - lo > 1e-7) {
                const double mid = (lo + hi) / 2, value = take(mid)[c];
                if (std::fabs(value - low) >= std::fabs(high - value))
                    hi = mid, high = value;
                else
                    lo = mid, low = value;
            }
            if (std::fabs(high - low) > 1e-3 * size) steps.push_back({static_cast<int>(c), lo, hi});
        }
        before = after;
    }
    return steps;
}

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
        std::vector<double> times;
        std::vector<std::vector<double>> original, played;
        for (int k = 0; k <= between; ++k) {
            times.push_back(a + 2.5e-6 + (b - a - 5e-6) * k / between);
            original.push_back(take(times.back()));
            played.push_back(baked(times.back()));
        }
        for (int c = 0; c < 3; ++c) {
            double low = HUGE_VAL, high = -HUGE_VAL;
            for (const auto& v : original) low = std::min(low, v[c]), high = std::max(high, v[c]);
            for (std::size_t k = 0; k < played.size(); ++k) {
                const double e = std::fabs(played[k][c] - original[k][c]) / size;
                if (e > m.mError) m.mError = e, m.mErrorAt = times[k];
                const double out = std::max(0.0, std::max(played[k][c] - high, low - played[k][c])) / size;
                if (out > m.mOutside) m.mOutside = out, m.mOutsideAt = times[k];
            }
        }
    }
    for (const Step& step : Steps(take, seconds, size)) {
        const std::size_t c = static_cast<std::size_t>(step.mChannel);

        // A microsecond before and after the step the baked channel plays within what the take
        // plays within a microsecond of then: a bake keeps no two samples closer, so that what the
        // take does within a microsecond of a step (a ramp of keys that close, another step) it
        // may play up to a microsecond early or late.
        for (double t : {step.mFrom - 1e-6, step.mTo + 1e-6}) {
            if (t < 0 || t > seconds) continue;
            const double played = baked(t)[c];
            double low = HUGE_VAL, high = -HUGE_VAL;
            for (int k = -10; k <= 10; ++k) {
                const double v = take(t + k * 1e-7)[c];
                low = std::min(low, v), high = std::max(high, v);
            }
            const double e = std::max(0.0, std::max(played - high, low - played)) / size;
            if (e > m.mStep) m.mStep = e, m.mStepAt = (step.mFrom + step.mTo) / 2;
        }
        ++m.mSteps;
    }
    return m;
}

// The figures every property test of a bake asks of the generated takes it bakes: each within a
// hundredth of its size, nearly all within a thousandth, none outside what the take spans between
// two baked keys by more than a thousandth, and every step a step.
struct Figures {
    unsigned mTakes = 0, mClose = 0, mSkipped = 0;

    void Add(const Measure& m, const std::string& what) {
        ++mTakes;
        mClose += m.mError <= 1e-3;
        EXPECT_LE(m.mError, 1e-2) << what << ": at " << m.mErrorAt << " s, size " << m.mSize;
        EXPECT_LE(m.mOutside, 1e-3) << what << ": outside at " << m.mOutsideAt << " s, size " << m.mSize;
        EXPECT_LE(m.mStep, 1e-3) << what << ": about the step at " << m.mStepAt << " s, size " << m.mSize;
    }
    void Expect() const {
        EXPECT_GE(mClose * 100, mTakes * 97) << mClose << " of " << mTakes << " within a thousandth";
        ::testing::Test::RecordProperty("takes", static_cast<int>(mTakes));
        ::testing::Test::RecordProperty("within_a_thousandth", static_cast<int>(mClose));
        ::testing::Test::RecordProperty("skipped", static_cast<int>(mSkipped));
    }
};

// Fewer takes where the build checks memory, which runs slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

}  // namespace generatedtakes

#endif
