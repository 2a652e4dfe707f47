// What the bake's property tests stand on: the reference they measure against (take_reference.h),
// in worked examples of curves and takes computed by hand and, as a check of the reference rather
// than of the SDK, playing the generated takes as the SDK's own evaluation does; and the generated
// takes (generated_takes.h) holding what users write, in curves, layers and warps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"
#include "fcurve/tests/generated_takes.h"
#include "fcurve/tests/take_reference.h"

using namespace nodetest;

namespace {

using generatedtakes::KeyOf;
constexpr unsigned int kNext = KFCURVE_CONSTANT_NEXT;

struct Keyed {
    double mSeconds;
    KFCurveKey mKey;
};

std::unique_ptr<KFCurve, void (*)(KFCurve*)> CurveOf(std::initializer_list<Keyed> keys) {
    std::unique_ptr<KFCurve, void (*)(KFCurve*)> curve(KFCurveCreate(), [](KFCurve* c) { c->Destroy(); });
    for (Keyed k : keys) curve->KeyAdd(Sec(k.mSeconds), k.mKey);
    return curve;
}

KFCurveKey Line(double value) { return KeyOf(value, kLinear, kUser); }

double ValueAt(const takereference::Curve& curve, double seconds) { return curve.At(Sec(seconds).Get()); }

// Each curve, its extrapolation, and its values at times (seconds, value).
TEST(TakeReference, CurvesPlayTheirKeysAndTheirCycles) {
    struct Case {
        const char* mWhat;
        std::initializer_list<Keyed> mKeys;
        int mPre, mPost;
        unsigned int mPreCount, mPostCount;
        std::initializer_list<std::pair<double, double>> mValues;
    };
    const int kConstantX = KFCURVE_EXTRAPOLATION_CONSTANT, kRepeat = KFCURVE_EXTRAPOLATION_REPETITION,
              kMirror = KFCURVE_EXTRAPOLATION_MIRROR, kSlope = KFCURVE_EXTRAPOLATION_KEEP_SLOPE;
    const unsigned int kEndless = generatedtakes::kEndless;
    const Case cases[] = {
        // 0 to 10 over 1.01 to 1.71 s, repeating endlessly before: it starts again at 0.31 s.
        {"endless repetition before", {{1.01, Line(0)}, {1.71, Line(10)}}, kRepeat, kConstantX, kEndless, 0,
         {{0.30, 10 * 0.69 / 0.7}, {0.32, 10 * 0.01 / 0.7}, {-0.5, 10 * 0.59 / 0.7}, {1.36, 5}, {2.5, 10}}},
        {"two repetitions after", {{0, Line(0)}, {1, Line(10)}}, kConstantX, kRepeat, 0, 2,
         {{-1, 0}, {1.25, 2.5}, {2.75, 7.5}, {3.5, 10}}},
        {"no cycle (count 0)", {{0, Line(0)}, {1, Line(10)}}, kRepeat, kRepeat, 0, 0, {{-0.5, 0}, {1.5, 10}}},
        // One mirrored cycle comes back to 0, then the last key's value holds.
        {"one mirror after", {{0, Line(0)}, {1, Line(10)}}, kConstantX, kMirror, 0, 1,
         {{1.25, 7.5}, {1.999, 0.01}, {2.5, 10}}},
        {"three mirrors after", {{0, Line(0)}, {1, Line(10)}}, kConstantX, kMirror, 0, 3,
         {{2.25, 2.5}, {3.25, 7.5}, {4.5, 10}}},
        {"endless mirror before", {{1, Line(0)}, {2, Line(10)}}, kMirror, kConstantX, kEndless, 0,
         {{0.75, 2.5}, {-0.25, 7.5}, {-1.25, 2.5}}},
        // Slope 2: a cycle's worth of it before (to -1 s), endlessly after.
        {"keeping the slope", {{0, Line(0)}, {1, Line(2)}}, kSlope, kSlope, 1, kEndless,
         {{-0.5, -1}, {-3, -2}, {3, 6}}},
        {"a constant key taking the next value", {{0, KeyOf(3, kConstant, kNext)}, {1, Line(5)}, {2, Line(7)}},
         kConstantX, kConstantX, 0, 0, {{0, 3}, {1e-9, 5}, {0.5, 5}, {1, 5}, {1.5, 6}}},
        {"a constant key", {{0, KeyOf(3, kConstant, 0)}, {1, Line(5)}}, kConstantX, kConstantX, 0, 0,
         {{0.999, 3}, {1, 5}}},
        // Automatic tangents: the end key takes its one slope (10), the peak the mean (0).
        {"automatic tangents",
         {{0, KeyOf(0, kCubic, kAuto)}, {1, KeyOf(10, kCubic, kAuto)}, {2, KeyOf(0, kCubic, kAuto)}},
         kConstantX, kConstantX, 0, 0, {{0.5, 6.25}, {1.5, 6.25}}},
        // Parameter 100: the key's right tangent is its slope to the right (0), not the mean (5).
        {"an automatic tangent of one side",
         {{0, Line(0)}, {1, KeyOf(10, kCubic, kAuto, 100)}, {2, KeyOf(10, kCubic, kAuto)}},
         kConstantX, kConstantX, 0, 0, {{1.5, 10}}},
        // Right derivative 3 out of the first key, left derivative -1 into the second.
        {"user tangents", {{0, KeyOf(0, kCubic, kUser, 3, -1)}, {1, KeyOf(0, kCubic, kUser)}}, kConstantX,
         kConstantX, 0, 0, {{0.5, 0.5}}},
    };
    for (const Case& c : cases) {
        auto curve = CurveOf(c.mKeys);
        curve->SetPreExtrapolation(c.mPre);
        curve->SetPreExtrapolationCount(c.mPreCount);
        curve->SetPostExtrapolation(c.mPost);
        curve->SetPostExtrapolationCount(c.mPostCount);
        const takereference::Curve reference(*curve);
        for (auto [seconds, value] : c.mValues)
            EXPECT_NEAR(ValueAt(reference, seconds), value, 1e-4) << c.mWhat << " at " << seconds << " s";
    }
}

// Warps compose from the top down and layers are read at the vector's time. X = t under the
// transform's warp (twice as fast), the vector's (a second later) and X's own (half as fast), with
// a layer adding 100 t to X at the vector's time and 7 to Z, and one of a channel the vector does
// not hold: at 1 s the transform reads 2 s, the vector 3 s, X 1.5 s: X plays 1.5 + 300.
TEST(TakeReference, WarpsComposeFromTheTopDownAndLayersAddAtTheVectorsTime) {
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
    Keys(C(t, 0), {{0, 0.0f}, {10, 10.0f}}, kLinear);
    std::vector<NodePtr> holders;
    const auto warp = [&](std::initializer_list<std::pair<double, float>> keys) {
        holders.emplace_back(Leaf("Holder"));
        KFCurveNode* w = Leaf("W");
        Keys(*w->FCurveGet(), keys, kLinear);
        holders.back()->TimeWarpSet(w);
        return w;
    };
    KFCurveNode* above = warp({{0, 0.0f}, {5, 10.0f}});
    t->TimeWarpSet(warp({{0, 1.0f}, {10, 11.0f}}));
    t->Get(0)->TimeWarpSet(warp({{0, 0.0f}, {10, 5.0f}}));
    KFCurveNode* layer = KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 1);
    layer->Add(Leaf("X"));
    Keys(*layer->Get(0)->FCurveGet(), {{0, 0.0f}, {10, 1000.0f}}, kLinear);
    layer->Add(Leaf("Z", 7.0f));
    layer->Add(Leaf("Q", 50.0f));
    t->LayerSet(layer, true);
    const takereference::Take reference(*t, above);
    ASSERT_TRUE(reference.Readable());
    const std::vector<double> values = reference.At(1.0);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_NEAR(values[0], 301.5, 1e-3);
    EXPECT_NEAR(values[1], 0.0, 1e-9);
    EXPECT_NEAR(values[2], 7.0, 1e-6);
}

// A check of the reference: on the generated takes, before and past their span, it plays what
// the SDK's evaluation plays, within a float's rounding of the value and of the time (a warp's
// value is a float, and a channel may run fast or step where the warp takes it).
TEST(TakeReference, PlaysTheGeneratedTakesAsTheSdkEvaluatesThem) {
    const unsigned kTakes = generatedtakes::kSanitized ? 60 : 200;
    std::mt19937 random(17);
    for (unsigned seed = 0; seed < kTakes; ++seed) {
        const generatedtakes::Take take = generatedtakes::MakeTake(seed);
        const takereference::Take reference = generatedtakes::Reference(take);
        ASSERT_TRUE(reference.Readable()) << seed;
        int differ = 0;
        for (int k = 0; k < 500; ++k) {
            const double s = std::uniform_real_distribution<double>(-0.5, take.mSeconds + 0.5)(random);
            const std::vector<double> want = generatedtakes::SdkEvaluation(take, generatedtakes::At(s));
            const std::vector<double> around[3] = {reference.At(s - 1e-6), reference.At(s), reference.At(s + 1e-6)};
            for (std::size_t c = 0; c < 3; ++c) {
                const double low = std::min({around[0][c], around[1][c], around[2][c]});
                const double high = std::max({around[0][c], around[1][c], around[2][c]});
                const double rounding = 1e-5 * std::max(1.0, std::fabs(want[c]));
                if ((want[c] < low - rounding || want[c] > high + rounding) && ++differ <= 3)
                    ADD_FAILURE() << "take " << seed << " at " << s << " s, channel " << c << ": the SDK plays "
                                  << want[c] << ", the reference " << around[1][c];
            }
        }
    }
}

// Over the takes the property tests bake, the defaults users write (endless cycles) are common, and
// each arrangement the bake must follow is there in curves, layers and warps: cycles before and
// after the keys, endless and counted (mirrors an odd count), a constant key taking the next value
// at the take's start, a step of two keys under a microsecond apart; and warps repeating with a
// period on and off the grid.
TEST(GeneratedTakes, HoldWhatUsersWriteInCurvesLayersAndWarps) {
    enum { kCurve, kLayer, kWarp };
    struct Count {
        int mEndlessBefore = 0, mEndlessAfter = 0, mCounted = 0, mOddMirror = 0, mNextAtStart = 0, mStep = 0;
    } counts[3];
    int repeating = 0, offTheGrid = 0;
    const auto count = [&](const KFCurve& curve, int where) {
        Count& n = counts[where];
        const int keys = curve.KeyGetCount();
        const bool cycles = keys > 1;
        const auto endless = [&](int mode, unsigned int count) {
            return cycles && mode != KFCURVE_EXTRAPOLATION_CONSTANT && count == generatedtakes::kEndless;
        };
        const auto counted = [&](int mode, unsigned int count) {
            return cycles && mode != KFCURVE_EXTRAPOLATION_CONSTANT && count != generatedtakes::kEndless;
        };
        const auto oddMirror = [&](int mode, unsigned int count) {
            return counted(mode, count) && mode == KFCURVE_EXTRAPOLATION_MIRROR && count % 2 == 1;
        };
        const int pre = curve.GetPreExtrapolation(), post = curve.GetPostExtrapolation();
        const unsigned int before = curve.GetPreExtrapolationCount(), after = curve.GetPostExtrapolationCount();
        n.mEndlessBefore += endless(pre, before);
        n.mEndlessAfter += endless(post, after);
        n.mCounted += counted(pre, before) + counted(post, after);
        n.mOddMirror += oddMirror(pre, before) || oddMirror(post, after);
        const KFCurveKey* first = keys > 0 ? curve.KeyGetPtr(0) : nullptr;
        n.mNextAtStart += first && first->GetTime() == KTime(0) &&
                          first->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT &&
                          first->GetConstantMode() == KFCURVE_CONSTANT_NEXT;
        bool step = false;
        for (int k = 0; k + 1 < keys; ++k)
            step = step || ((curve.KeyGetPtr(k + 1)->GetTime() - curve.KeyGetPtr(k)->GetTime()).Get() <
                                KTime::kTicksPerSecond / 1000000 &&
                            curve.KeyGetPtr(k + 1)->GetValue() != curve.KeyGetPtr(k)->GetValue());
        n.mStep += step;
        if (where == kWarp && cycles &&
            (post == KFCURVE_EXTRAPOLATION_REPETITION || post == KFCURVE_EXTRAPOLATION_MIRROR)) {
            ++repeating;
            offTheGrid += (curve.KeyGetPtr(keys - 1)->GetTime() - first->GetTime()).Get() % generatedtakes::kFrameTicks != 0;
        }
    };
    for (unsigned seed = 0; seed < 200; ++seed) {
        const generatedtakes::Take take = generatedtakes::MakeTake(seed);
        const KFCurveNode& t = *take.mVector;
        for (const KFCurveNode* warp : {take.mAbove, t.TimeWarpGet(), t.Get(0)->TimeWarpGet()})
            if (warp) count(*warp->FCurveGet(), kWarp);
        for (int c = 0; c < t.GetCount(); ++c) count(*t.Get(c)->FCurveGet(), kCurve);
        for (const KFCurveNode* layer = t.LayerGet(); layer; layer = layer->LayerGet())
            for (int c = 0; c < layer->GetCount(); ++c) count(*layer->Get(c)->FCurveGet(), kLayer);
    }
    const char* const names[3] = {"curves", "layers", "warps"};
    for (int where : {kCurve, kLayer, kWarp}) {
        const Count& n = counts[where];
        const std::string what = names[where];
        EXPECT_GE(n.mEndlessBefore, 2) << what;
        EXPECT_GE(n.mEndlessAfter, 2) << what;
        EXPECT_GE(n.mOddMirror, 2) << what;
        EXPECT_GE(n.mNextAtStart, 2) << what;
        EXPECT_GE(n.mStep, 2) << what;
        EXPECT_GT(n.mEndlessBefore + n.mEndlessAfter, n.mCounted) << what;
    }
    EXPECT_GE(offTheGrid, 2);
    EXPECT_GE(repeating - offTheGrid, 2);
}

}  // namespace
