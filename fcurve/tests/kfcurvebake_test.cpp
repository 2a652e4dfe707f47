// Baking layers and time warps into plain keys: worked examples of what a take means, and that the
// baked node plays it alone, at the grid, at its keys and at its ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fcurve/kfcurvebake.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/tests/fcurvenode_test_support.h"
#include "fcurve/tests/generated_takes.h"

using namespace nodetest;

namespace {

const KTime kPeriod(kSecond / 30);
// Euler ZXY as curve nodes code it (twice the node's order).
constexpr int kZXY = 8;

// A time warp of linear keys (take seconds, curve seconds), held as a take's reader holds its
// warps, so that it outlives the nodes that let go of it.
struct HeldWarp {
    explicit HeldWarp(std::initializer_list<std::pair<double, float>> keys) : mHolder(Leaf("Holder")) {
        KFCurveNode* warp = Leaf("W");
        Keys(*warp->FCurveGet(), keys, kLinear);
        mHolder->TimeWarpSet(warp);
    }
    KFCurveNode* get() const { return mHolder->TimeWarpGet(); }
    NodePtr mHolder;
};
using Warp = HeldWarp;

// A translation "T" whose X is keyed linearly; Y and Z hold 0.
NodePtr Translation(std::initializer_list<std::pair<double, float>> x) {
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
    Keys(C(t, 0), x, kLinear);
    return t;
}

// A layer of the node (id 1) holding only the channel named, keyed linearly or (no keys) at value.
KFCurveNode* Layer(KFCurveNode& node, const char* channel, std::initializer_list<std::pair<double, float>> keys,
                   float value = 0.0f) {
    KFCurveNode* layer = KFCurveNodeCreate(node.GetName(), node.GetDataType(), node.GetLayerType(), 1);
    KFCurveNode* leaf = Leaf(channel, value);
    Keys(*leaf->FCurveGet(), keys, kLinear);
    layer->Add(leaf);
    node.LayerSet(layer);
    return layer;
}

void Bake(KFCurveNode& node, std::initializer_list<KFCurveNode*> above = {}) {
    const std::vector<KFCurveNode*> chain(above);
    KFCurveNodeBake(&node, chain.data(), static_cast<int>(chain.size()), kPeriod);
}

// The baked X at each time.
std::vector<double> XAt(KFCurveNode& node, std::initializer_list<double> seconds) {
    std::vector<double> values;
    for (double s : seconds) values.push_back(C(node, 0).Evaluate(Sec(s)));
    return values;
}

void ExpectValues(const std::vector<double>& got, std::initializer_list<double> want) {
    ASSERT_EQ(got.size(), want.size());
    std::size_t i = 0;
    for (double w : want) EXPECT_NEAR(got[i++], w, 1e-4) << "value " << i - 1;
}

bool Plain(const KFCurveNode& node) {
    if (node.TimeWarpGet() || node.LayerGet()) return false;
    for (int i = 0; i < node.GetCount(); ++i)
        if (!Plain(*node.Get(i))) return false;
    return true;
}

TEST(KFCurveNodeBake, ANodeNeitherLayeredNorWarpedIsLeftAsItIs) {
    // Keys off the grid stay where they are: a take without layers or warps comes in as it is.
    NodePtr t = Translation({{0, 0}, {0.41, 10}, {1.3, -2}});
    EXPECT_FALSE(KFCurveNodeBake(t.get(), nullptr, 0, kPeriod));
    EXPECT_EQ(Times(C(t, 0)), Secs({0, 0.41, 1.3}));
    EXPECT_FALSE(KFCurveNodeBake(nullptr, nullptr, 0, kPeriod));
}

TEST(KFCurveNodeBake, WarpsComposeFromTheWholeTransformDown) {
    // X keyed 0, 10, 0 at 0, 1, 2 s under the whole transform at half speed over 1 s: 0.5, 2.5, 5, 5, 5
    // at 0.1, 0.5, 1, 1.5, 2 s, whether the vector and the channel carry an identity warp or not.
    Warp half({{0, 0}, {1, 0.5f}}), identity({{0, 0}, {2, 2}});
    for (int place = 0; place < 3; ++place) {
        SCOPED_TRACE(place);
        NodePtr t = Translation({{0, 0}, {1, 10}, {2, 0}});
        if (place == 1) t->TimeWarpSet(identity.get());
        if (place == 2) t->Get(0)->TimeWarpSet(identity.get());
        Bake(*t, {half.get()});
        ExpectValues(XAt(*t, {0.1, 0.5, 1, 1.5, 2}), {0.5, 2.5, 5, 5, 5});
        EXPECT_TRUE(Plain(*t));
    }
    // Two half speeds, the transform's and the vector's: a quarter speed.
    NodePtr t = Translation({{0, 0}, {1, 10}});
    Warp halfAgain({{0, 0}, {1, 0.5f}});
    t->TimeWarpSet(halfAgain.get());
    Warp slow({{0, 0}, {2, 1}});
    Bake(*t, {slow.get()});
    ExpectValues(XAt(*t, {1, 2, 3}), {2.5, 5, 5});
}

TEST(KFCurveNodeBake, ALayerIsWarpedLikeItsBase) {
    // X keyed 0, 10, 0 at 0, 1, 2 s with a layer of X from 0 to 4 over 2 s, the transform at half
    // speed over 1 s: 3 at 0.5 s, 6 from 1 s on.
    Warp half({{0, 0}, {1, 0.5f}});
    NodePtr t = Translation({{0, 0}, {1, 10}, {2, 0}});
    Layer(*t, "X", {{0, 0}, {2, 4}});
    Bake(*t, {half.get()});
    ExpectValues(XAt(*t, {0.5, 1, 1.5, 3}), {3, 6, 6, 6});
    EXPECT_TRUE(Plain(*t));
}

TEST(KFCurveNodeBake, ALayerOfOneChannelReachesThatChannel) {
    // A layer of Y alone from 0 to 4 over 2 s over X keyed 0, 10 at 0, 1 s: (10, 2, 0) at 1 s.
    NodePtr t = Translation({{0, 0}, {1, 10}});
    Layer(*t, "Y", {{0, 0}, {2, 4}});
    Bake(*t);
    ExpectValues({C(t, 0).Evaluate(Sec(1)), C(t, 1).Evaluate(Sec(1)), C(t, 2).Evaluate(Sec(1))}, {10, 2, 0});
}

TEST(KFCurveNodeBake, TheLastKeyOffTheGridIsASample) {
    // X 0 at 0 s and 9.9 at 0.99 s with a layer from 0 to 1 over the same time: 10.9 at 0.99 s and
    // after, not the value at 29/30 s.
    NodePtr t = Translation({{0, 0}, {0.99, 9.9f}});
    Layer(*t, "X", {{0, 0}, {0.99, 1}});
    Bake(*t);
    ExpectValues(XAt(*t, {0.99, 1.5}), {10.9, 10.9});
    // Keys at 24 frames a second, between the 30 a second samples: each is a sample.
    NodePtr frames = Translation({{0, 0}, {1.0 / 24, 5}, {3.0 / 24, -5}, {5.0 / 24, 7}});
    Layer(*frames, "X", {{0, 1}}, 1.0f);
    Bake(*frames);
    ExpectValues(XAt(*frames, {1.0 / 24, 3.0 / 24, 5.0 / 24, 1}), {6, -4, 8, 8});
}

TEST(KFCurveNodeBake, AKeyUnderAWarpIsASampleWhereTheWarpReachesIt) {
    // The warp runs fast, holds, then runs back: X's key at 0.5 s is reached at 0.25 s and 1.55 s
    // (between the 1/30 s samples); the hold keeps 1 s from 0.5 to 1 s.
    Warp warp({{0, 0}, {0.5, 1}, {1, 1}, {2.1, 0}});
    NodePtr t = Translation({{0, 0}, {0.5, 10}, {1, 0}});
    Bake(*t, {warp.get()});
    const std::vector<KTime> times = Times(C(t, 0));
    for (double s : {0.25, 1.55})
        // Within a microsecond: the warp's values are floats.
        EXPECT_NE(std::find_if(times.begin(), times.end(),
                               [s](KTime t) { return std::fabs((t - Sec(s)).GetSecondDouble()) <= 1e-6; }),
                  times.end())
            << s;
    ExpectValues(XAt(*t, {0.25, 0.6, 1.55, 2.1, 3}), {10, 0, 10, 0, 0});
}

TEST(KFCurveNodeBake, AKeyOfAWarpBelowTheOutermostIsASample) {
    // X 0 to 10 over 2 s, the vector's warp at half speed for 1 s then holding, the transform's at
    // 0.8 over 3 s: the vector's warp stops at 1.25 s, between the 1/30 s samples, at 2.5.
    Warp whole({{0, 0}, {3, 2.4f}}), vector({{0, 0}, {1, 0.5f}});
    NodePtr t = Translation({{0, 0}, {2, 10}});
    t->TimeWarpSet(vector.get());
    Bake(*t, {whole.get()});
    EXPECT_NEAR(C(t, 0).Evaluate(Sec(1.25)), 2.5, 1e-4);
    ExpectValues(XAt(*t, {0.625, 2, 3}), {1.25, 2.5, 2.5});
}

TEST(KFCurveNodeBake, AStretchThatHoldsHoldsBetweenItsKeysAndAfterTheReducer) {
    // X 0 to 10 over 1 s under a warp that runs, holds from 0.5 to 1 s, and runs on: X holds 5
    // there. The samples of the stretch join it flat, so that it holds between them, and once the
    // reader's reducer has kept only its ends, between those: whatever the slopes the keys around
    // it take (the one at 1 s heads for 10).
    Warp warp({{0, 0}, {0.5, 0.5f}, {1, 0.5f}, {1.5, 1}});
    NodePtr t = Translation({{0, 0}, {1, 10}});
    Bake(*t, {warp.get()});
    KFCurve& x = C(t, 0);
    for (int k = 0; k + 1 < x.KeyGetCount(); ++k) {
        const bool held = x.KeyGetPtr(k)->GetValue() == x.KeyGetPtr(k + 1)->GetValue();
        const bool flat = x.KeyGetRightDerivative(k) == 0.0f && x.KeyGetLeftDerivative(k + 1) == 0.0f;
        EXPECT_EQ(held, flat) << k;
    }
    KFCurveFilterConstantKeyReducer reducer;
    reducer.SetKeepFirstAndLastKeys(true);
    reducer.Apply(*t, true);
    const std::vector<KTime> times = Times(x);
    EXPECT_EQ(std::count_if(times.begin(), times.end(), [](KTime k) { return k > Sec(0.5) && k < Sec(1); }), 0);
    for (double s : {0.51, 0.6, 0.7543, 0.9, 0.99}) EXPECT_EQ(x.Evaluate(Sec(s)), 5.0f) << s;
}

TEST(KFCurveNodeBake, SamplesWithinAMicrosecondAreOne) {
    // Keys at whole thirtieths under a warp that changes nothing, or runs a float's width fast:
    // each key's time, found through the warp's floats, lies beside its grid sample (after it or
    // a tenth of a microsecond before it); the grid sample stands for both.
    for (const float end : {2.0f, 2.0000002f}) {
        SCOPED_TRACE(end);
        Warp warp({{0, 0}, {2, end}});
        NodePtr t = Translation({{0, 0}, {25.0 / 30, 10}, {1.3, -2}, {2, 0}});
        Bake(*t, {warp.get()});
        const std::vector<KTime> times = Times(C(t, 0));
        for (std::size_t k = 1; k < times.size(); ++k)
            EXPECT_GE((times[k] - times[k - 1]).GetSecondDouble(), 1e-6) << times[k].GetSecondDouble();
        EXPECT_NE(std::find(times.begin(), times.end(), KTime(25 * (kSecond / 30))), times.end());
        ExpectValues(XAt(*t, {25.0 / 30, 1.3}), {10, -2});
    }
}

TEST(KFCurveNodeBake, AChannelsKeysAreSamplesWhereItsOwnWarpReachesThem) {
    // X keyed 0, 10, 0 at 0, 1, 2 s under a warp of its own, t / 1.01 over 2.02 s, which reaches X's
    // peak at 1.01 s (between the 1/30 s samples, and no key of the warp); the vector's warp, at
    // half speed over 4 s, lies above it: the peak is reached at 2.02 s. Y, unwarped by X's warp,
    // follows the vector's alone. A layer of X is read at the vector's time, not through X's warp.
    Warp own({{0, 0}, {2.02, 2}}), half({{0, 0}, {4, 2}});
    NodePtr t = Translation({{0, 0}, {1, 10}, {2, 0}});
    Keys(C(t, 1), {{0, 0}, {2, 20}}, kLinear);
    t->Get(0)->TimeWarpSet(own.get());
    t->TimeWarpSet(half.get());
    Layer(*t, "X", {{0, 0}, {2, 4}});
    Bake(*t);
    ExpectValues(XAt(*t, {2.02, 3, 4}), {10 + 2.02, 10 * (2 - 1.5 / 1.01) + 3, 10 * (2 - 2 / 1.01) + 4});
    ExpectValues({C(t, 1).Evaluate(Sec(3))}, {15});
    EXPECT_TRUE(Plain(*t));
}

TEST(KFCurveNodeBake, AConstantLayerCounts) {
    // Layers without keys over channels without keys: translation X = 2, rotation Y = 45, scaling X
    // = 2. The channels keep no key and hold the sums.
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 0, 0}));
    Layer(*t, "X", {}, 2.0f);
    Bake(*t);
    EXPECT_EQ(0, C(t, 0).KeyGetCount());
    ExpectValues(Eval(*t, Sec(5)), {3, 0, 0});
    NodePtr r(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 0}));
    Layer(*r, "Y", {}, 45.0f);
    Bake(*r);
    ExpectValues(Eval(*r, Sec(5)), {0, 45, 0});
    NodePtr s(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {1, 1, 1}));
    Layer(*s, "X", {}, 2.0f);
    Bake(*s);
    ExpectValues(Eval(*s, Sec(5)), {2, 1, 1});
    EXPECT_TRUE(Plain(*t) && Plain(*r) && Plain(*s));
}

TEST(KFCurveNodeBake, RotationLayersStayContinuousAndTurnInTheNodesOrder) {
    // A spin of the base about Z past 180 degrees, with a layer about X: the baked angles do not jump
    // by a turn between samples, and every sample is the layered rotation in the node's order (ZXY).
    NodePtr r(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, 3));
    r->SetRotationOrder(kZXY);
    Keys(C(r, 2), {{0, 0}, {1, 350}}, kLinear);
    Layer(*r, "X", {{0, 0}, {1, 30}});
    NodePtr reference(r->Clone(true));
    reference->LayerSet(r->LayerGet()->Clone(true));
    Bake(*r);
    const std::vector<float> z = Values(C(r, 2));
    for (std::size_t i = 1; i < z.size(); ++i) EXPECT_LT(std::fabs(z[i] - z[i - 1]), 30.0f) << i;
    for (double s : {0.0, 0.5, 0.9, 1.0}) {
        const std::vector<double> baked = Eval(*r, Sec(s)), layered = Eval(*reference, Sec(s));
        ExpectSameRotation(baked.data(), layered.data(), 1e-4, kZXY);
    }
}

TEST(KFCurveNodeBake, KeysAtTheEndsOfTheTimeLine) {
    // A warp keyed at the first and last times the line holds, over a curve keyed there too: too
    // long a span for a grid, its keys and ends alone are samples, and no difference of times
    // overflows.
    HeldWarp warp({});
    KFCurve& w = *warp.get()->FCurveGet();
    for (const KTime at : {KTime(KTime::kMinusInfiniteTicks + 1), KTime(0), KTime(KTime::kInfiniteTicks - 1)}) {
        KFCurveKey key = MakeKey(static_cast<float>(at.GetSecondDouble() / 2), kLinear, KFCURVE_TANGEANT_USER);
        w.KeyAdd(at, key);
    }
    NodePtr t = Translation({{0, 0}, {1, 10}});
    KFCurveKey last = MakeKey(20.0f, kLinear, KFCURVE_TANGEANT_USER);
    C(t, 0).KeyAdd(KTime(KTime::kInfiniteTicks - 1), last);
    Bake(*t, {warp.get()});
    EXPECT_TRUE(Plain(*t));
    EXPECT_GE(C(t, 0).KeyGetCount(), 3);
    EXPECT_NEAR(C(t, 0).Evaluate(KTime(0)), 0.0, 1e-4);
}

}  // namespace

namespace {

// A warp of keys (take seconds, curve seconds, interpolation), held as a take's reader holds it.
struct KeyedWarp {
    struct Key {
        double mAt;
        float mValue;
        unsigned int mInterpolation;
    };
    explicit KeyedWarp(std::initializer_list<Key> keys) : mHolder(Leaf("Holder")) {
        KFCurveNode* warp = Leaf("W");
        for (const Key& key : keys)
            Add(*warp->FCurveGet(), key.mAt,
                MakeKey(key.mValue, key.mInterpolation,
                        key.mInterpolation == kConstant ? KFCURVE_CONSTANT_STANDARD : KFCURVE_TANGEANT_USER));
        mHolder->TimeWarpSet(warp);
    }
    KFCurveNode* get() const { return mHolder->TimeWarpGet(); }
    NodePtr mHolder;
};

void BakeOver(KFCurveNode& node, std::initializer_list<KFCurveNode*> above, double seconds) {
    const std::vector<KFCurveNode*> chain(above);
    KFCurveBakeSpan span;
    span.mStart = KTime(0);
    span.mStop = Sec(seconds);
    KFCurveNodeBake(&node, chain.data(), static_cast<int>(chain.size()), kPeriod, &span);
}

TEST(KFCurveNodeBake, BetweenItsSamplesItPlaysTheTake) {
    // X keyed 0 at 1 s, 10 at 1.0001 s and 0 at 2 s (linear) under a warp that changes nothing: the
    // take runs up in a tenth of a millisecond, then down its line, 9.95 at 1.005 s and 9.9 at 1.01 s.
    // Its keys are two samples, and the curve between them and after them keeps to the take's lines.
    Warp identity({{0, 0}, {3, 3}});
    NodePtr t = Translation({{1, 0}, {1.0001, 10}, {2, 0}});
    Bake(*t, {identity.get()});
    const auto take = [](double s) {
        return s <= 1 ? 0.0 : s <= 1.0001 ? 10 * (s - 1) / 0.0001 : s < 2 ? 10 - 10 * (s - 1.0001) / 0.9999 : 0.0;
    };
    for (double s : {1.005, 1.01, 1.02, 1.3, 1.9}) EXPECT_NEAR(C(t, 0).Evaluate(Sec(s)), take(s), 1e-3) << s;
    // Up its steep line (the warp's floats step over a tenth of a microsecond of it, a hundredth).
    EXPECT_NEAR(C(t, 0).Evaluate(Sec(1.00005)), take(1.00005), 2e-2);
    for (double s = 0.9; s < 2.1; s += 0.0007) {
        const double x = C(t, 0).Evaluate(Sec(s));
        EXPECT_TRUE(x >= -1e-4 && x <= 10 + 1e-4) << s << ": " << x;
    }
    // Where the take turns, the key keeps a slope on each side.
    const int peak = static_cast<int>(std::lround(C(t, 0).KeyFind(Sec(1.0001))));
    EXPECT_NEAR(C(t, 0).KeyGetLeftDerivative(peak), 1e5, 1e3);
    EXPECT_NEAR(C(t, 0).KeyGetRightDerivative(peak), -10.0001, 1e-2);
}

TEST(KFCurveNodeBake, WhereTheTakeJumpsTheCurveJumpsThen) {
    // A warp that holds 0 up to 0.51 s (a constant key off the grid) and jumps to 0.8 there, running
    // on at speed 1, over X = t: X is 0 up to 0.51 s and runs on from 0.8 there.
    {
        KeyedWarp warp({{0, 0, kConstant}, {0.51, 0.8f, kLinear}, {2, 2.29f, kLinear}});
        NodePtr t = Translation({{0, 0}, {3, 3}});
        Bake(*t, {warp.get()});
        for (double s : {0.3, 0.5, 0.5099}) EXPECT_NEAR(C(t, 0).Evaluate(Sec(s)), 0.0, 1e-4) << s;
        for (double s : {0.51, 0.5101, 0.515, 0.52, 0.6}) EXPECT_NEAR(C(t, 0).Evaluate(Sec(s)), 0.8 + (s - 0.51), 1e-4) << s;
    }
    // A constant key of X under a warp of speed 0.98: X steps from 0 to 1 where the warp reaches
    // 0.5 s, at 0.5 / 0.98 s.
    {
        Warp slow({{0, 0}, {2, 1.96f}});
        NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
        Keys(C(t, 0), {{0, 0}, {0.5, 1}, {2, 1}}, kConstant);
        Bake(*t, {slow.get()});
        const double step = 0.5 / 0.98;
        for (double s : {0.2, 0.5, step - 1e-5}) EXPECT_EQ(C(t, 0).Evaluate(Sec(s)), 0.0f) << s;
        for (double s : {step + 1e-5, step + 0.01, 0.6, 1.9}) EXPECT_EQ(C(t, 0).Evaluate(Sec(s)), 1.0f) << s;
    }
}

TEST(KFCurveNodeBake, WhereTheTakeJumpsJustAfterAFrameTheFrameKeepsTheValueBefore) {
    // X runs from 0 at 0.0356 s to 10 at 1 s, repeating, under a warp that changes nothing or runs a
    // float's width slow: at the frame of 1 s the take still plays 10 (the cycle starts again just
    // after it, a few ticks later through the slow warp), and so does the baked curve, which jumps
    // to the cycle's start right after.
    for (const float end : {2.5f, 2.4999999f}) {
        SCOPED_TRACE(end);
        Warp warp({{0, 0}, {2.5, end}});
        NodePtr t = Translation({{0.0356, 0}, {1, 10}});
        C(t, 0).SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
        C(t, 0).SetPostExtrapolationCount(0xFFFFFFFFu);
        NodePtr reference(KFCurveNodeCopyWhole(*t));
        BakeOver(*t, {warp.get()}, 2);
        for (const double s : {0.9, 1.0, 1.00001, 1.1}) {
            std::vector<double> take(4, 0.0);
            reference->GeneralEvaluate(take.data(), KFCurveNodeWarpTime(warp.get(), Sec(s)), nullptr, false);
            EXPECT_NEAR(C(t, 0).Evaluate(Sec(s)), take[0], 1e-3) << s;
        }
        EXPECT_NEAR(C(t, 0).Evaluate(Sec(1.0)), 10.0, 1e-4);
    }
}

TEST(KFCurveNodeBake, AHoldThatALayerMakesByCancellingItsBaseHolds) {
    // X runs 4 a second to 4 at 1 s and on to 8 at 2 s; a layer of X runs back 4 a second from 1 s:
    // X holds 4 from 1 to 2 s, its values there differing in their last bits. The baked keys there
    // share one value and are flat: the curve holds 4 between them.
    NodePtr t = Translation({{0, 0}, {1, 4}, {2, 8}});
    Layer(*t, "X", {{0, 0}, {1, 0}, {2, -4}});
    Bake(*t);
    const KFCurve& x = C(t, 0);
    for (int k = 0; k < x.KeyGetCount(); ++k) {
        if (x.KeyGetPtr(k)->GetTime() < Sec(1)) continue;
        EXPECT_EQ(x.KeyGetPtr(k)->GetValue(), 4.0f) << k;
    }
    for (double s = 1.0; s <= 2.0; s += 0.0013) EXPECT_EQ(C(t, 0).Evaluate(Sec(s)), 4.0f) << s;
}

TEST(KFCurveNodeBake, WithinTheTakeItPlaysPastItsKeys) {
    // X keyed 0 to 10 over 1 s, repeating, beside a layer of Y holding 1, in a take of 3 s: 5 at
    // 1.5 s and 0 again at 2 s. Given no span, the bake covers the keys alone and holds 10.
    for (const bool span : {true, false}) {
        SCOPED_TRACE(span);
        NodePtr t = Translation({{0, 0}, {1, 10}});
        C(t, 0).SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
        C(t, 0).SetPostExtrapolationCount(0xFFFFFFFFu);
        Layer(*t, "Y", {}, 1.0f);
        if (span)
            BakeOver(*t, {}, 3);
        else
            Bake(*t);
        if (span)
            ExpectValues(XAt(*t, {0.5, 1.5, 2.0, 2.25, 2.999}), {5, 5, 0, 2.5, 9.99});
        else
            ExpectValues(XAt(*t, {0.5, 1.5, 2.0}), {5, 10, 10});
    }
    // A warp keyed over 1 s at speed 1 that keeps its slope, over X keyed 0 to 20 over 2 s: 15 at
    // 1.5 s in a take of 2 s.
    Warp warp({{0, 0}, {1, 1}});
    warp.get()->FCurveGet()->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
    warp.get()->FCurveGet()->SetPostExtrapolationCount(0xFFFFFFFFu);
    NodePtr t = Translation({{0, 0}, {2, 20}});
    BakeOver(*t, {warp.get()}, 2);
    ExpectValues(XAt(*t, {0.5, 1.5, 2.0}), {5, 15, 20});
}

TEST(KFCurveNodeBake, UnderTheWarpsThatReadItItPlaysTheTakeAtEveryFrame) {
    // X swinging between 10 and -10 every tenth of a second (cubic) under a warp of its own easing
    // in and out over 2 s, read through a warp that stays: the whole transform's, starting late and
    // running at 1.3. Baked in its own time with that reader given, X plays through it at every
    // frame of the take what it played before, and between the frames within a little of its span.
    KeyedWarp own({{0, 0, kCubic}, {2, 1.4f, kCubic}});
    Warp reader({{0.2, 0}, {2.5, 2.99f}});
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
    for (int k = 0; k <= 20; ++k) Keys(C(t, 0), {{k / 10.0, k % 2 ? 10.0f : -10.0f}});
    KFCurveNode* x = t->Get(0);
    x->TimeWarpSet(own.get());
    NodePtr reference(KFCurveNodeCopyWhole(*x));
    KFCurveNode* readers[1] = {reader.get()};
    KFCurveBakeSpan span;
    span.mStart = KTime(0);
    span.mStop = Sec(2.5);
    span.mReaders = readers;
    span.mReaderCount = 1;
    ASSERT_TRUE(KFCurveNodeBake(x, nullptr, 0, kPeriod, &span));
    EXPECT_EQ(nullptr, x->TimeWarpGet());
    const auto through = [&](KFCurveNode& node, double s) {
        std::vector<double> v(2, 0.0);
        node.GeneralEvaluate(v.data(), KFCurveNodeWarpTime(reader.get(), Sec(s)), nullptr, false);
        return v[0];
    };
    for (int frame = 0; frame <= 75; ++frame)
        EXPECT_NEAR(through(*x, frame / 30.0), through(*reference, frame / 30.0), 1e-4) << frame;
    for (double s = 0.01; s < 2.5; s += 0.0137) EXPECT_NEAR(through(*x, s), through(*reference, s), 0.02) << s;
}

TEST(KFCurveNodeBake, ThroughAReaderHoldingJustPastAStepItPlaysTheTakeAfterTheStep) {
    // X keyed 0 to 20 over 2 s under a warp of its own that steps at 0.2 s (a constant key of the
    // next value: 0.2 s there alone, 1.5 s right after), read through a warp holding a float's 0.2 s,
    // a few ticks past it, before its first key at 0.2 s: the take plays 15 for seven frames, then
    // runs on. Baked in its own time with that reader given, X plays the take at every frame.
    KeyedWarp own({{0, 0, kLinear}, {0.2, 0.2f, kConstant}, {1.5, 1.5f, kLinear}});
    KFCurve& steps = *own.get()->FCurveGet();
    steps.KeyModifyBegin();
    steps.KeyGetPtr(1)->SetConstantMode(KFCURVE_CONSTANT_NEXT);
    steps.KeyModifyEnd();
    Warp reader({{0.2, 0.2f}, {1, 1}});
    NodePtr t = Translation({{0, 0}, {2, 20}});
    KFCurveNode* x = t->Get(0);
    x->TimeWarpSet(own.get());
    NodePtr reference(KFCurveNodeCopyWhole(*x));
    KFCurveNode* readers[1] = {reader.get()};
    KFCurveBakeSpan span;
    span.mStart = KTime(0);
    span.mStop = Sec(1);
    span.mReaders = readers;
    span.mReaderCount = 1;
    ASSERT_TRUE(KFCurveNodeBake(x, nullptr, 0, kPeriod, &span));
    const auto through = [&](KFCurveNode& node, int frame) {
        std::vector<double> v(2, 0.0);
        node.GeneralEvaluate(v.data(), KFCurveNodeWarpTime(reader.get(), Sec(frame / 30.0)), nullptr, false);
        return v[0];
    };
    ASSERT_EQ(through(*reference, 0), 15.0);
    for (int frame = 0; frame <= 30; ++frame)
        EXPECT_NEAR(through(*x, frame), through(*reference, frame), 1e-5) << frame;
}

// The takes of generatedtakes, baked as the reader bakes them, against what they play worked out
// from their keys apart from the SDK's evaluation: between the samples and past the keys, within
// the take's span, the baked vector plays the take, each within a hundredth of its size, nearly all
// within a thousandth, never a thousandth outside what the take spans between two baked keys, and
// stepping where the take steps. Takes with nothing to bake are not counted.
TEST(KFCurveNodeBake, GeneratedTakesPlayTheTakeBetweenTheirSamplesAndPastTheirKeys) {
    const unsigned kTakes = generatedtakes::kSanitized ? 60 : 200;
    generatedtakes::Figures figures;
    for (unsigned seed = 0; figures.mTakes < kTakes; ++seed) {
        generatedtakes::Take take = generatedtakes::MakeTake(seed);
        if (!generatedtakes::HasSomethingToBake(take)) {
            ++figures.mSkipped;
            continue;
        }
        const takereference::Take reference = generatedtakes::Reference(take);
        ASSERT_TRUE(reference.Readable()) << seed;
        KFCurveNode* above[1] = {take.mAbove};
        KFCurveBakeSpan span;
        span.mStart = KTime(0);
        span.mStop = generatedtakes::At(take.mSeconds);
        ASSERT_TRUE(KFCurveNodeBake(take.mVector.get(), above, take.mAbove ? 1 : 0, kPeriod, &span)) << seed;
        ASSERT_TRUE(Plain(*take.mVector)) << seed;
        std::vector<double> keys;
        for (int c = 0; c < 3; ++c)
            for (KTime k : Times(C(*take.mVector, c))) keys.push_back(k.GetSecondDouble());
        const generatedtakes::Measure m = generatedtakes::Compare(
            [&](double s) {
                std::vector<double> v(8, 0.0);
                take.mVector->GeneralEvaluate(v.data(), generatedtakes::At(s), nullptr, false);
                v.resize(3);
                return v;
            },
            [&](double s) { return reference.At(s); }, keys, take.mSeconds);
        figures.Add(m, "take " + std::to_string(seed));
    }
    figures.Expect();
}

}  // namespace
