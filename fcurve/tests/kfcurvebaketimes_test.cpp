// Where the bake samples a take: the images of its keys in cycles of any count, its jumps (at the
// span's start, between two keys closer than a microsecond, where mirrored cycles end), the later
// cycles of a repeating warp, and how far past the keys it goes when the take holds there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fcurve/kfcurvebake.h"
#include "fcurve/kfcurvebaketimes.h"
#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

const KTime kPeriod(kSecond / 30);
constexpr unsigned int kEndless = 0xFFFFFFFFu;

// A time warp of keys (take seconds, curve seconds), held as a take's reader holds its warps.
struct HeldWarp {
    HeldWarp(std::initializer_list<std::pair<double, float>> keys, unsigned int interpolation = kLinear)
        : mHolder(Leaf("Holder")) {
        KFCurveNode* warp = Leaf("W");
        Keys(*warp->FCurveGet(), keys, interpolation);
        mHolder->TimeWarpSet(warp);
    }
    KFCurveNode* get() const { return mHolder->TimeWarpGet(); }
    KFCurve& Curve() const { return *get()->FCurveGet(); }
    NodePtr mHolder;
};

// A translation whose X is keyed (linear unless said); beside it a layer of Y holding 1, so that
// there is something to bake.
NodePtr Translation(std::initializer_list<std::pair<double, float>> x, unsigned int interpolation = kLinear) {
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
    Keys(C(t, 0), x, interpolation);
    KFCurveNode* layer = KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 1);
    layer->Add(Leaf("Y", 1.0f));
    t->LayerSet(layer);
    return t;
}

void Extrapolate(KFCurve& curve, bool after, int mode, unsigned int count = kEndless) {
    if (after) {
        curve.SetPostExtrapolation(mode);
        curve.SetPostExtrapolationCount(count);
    } else {
        curve.SetPreExtrapolation(mode);
        curve.SetPreExtrapolationCount(count);
    }
}

// The take as it plays before the bake, and the bake over [from, to] seconds under above.
struct Baked {
    Baked(NodePtr node, std::initializer_list<KFCurveNode*> above, double from, double to, KTime period = kPeriod)
        : mNode(std::move(node)), mTake(KFCurveNodeCopyWhole(*mNode)), mAbove(above) {
        KFCurveBakeSpan span;
        span.mStart = Sec(from);
        span.mStop = Sec(to);
        span.mCut = &mCut;
        EXPECT_TRUE(KFCurveNodeBake(mNode.get(), mAbove.data(), static_cast<int>(mAbove.size()), period, &span));
    }
    double Take(double s, int channel = 0) const { return Values(*mTake, Sec(s), true)[static_cast<std::size_t>(channel)]; }
    double Played(double s, int channel = 0) const {
        return Values(*mNode, Sec(s), false)[static_cast<std::size_t>(channel)];
    }
    std::vector<double> Values(KFCurveNode& node, KTime t, bool warped) const {
        if (warped)
            for (KFCurveNode* warp : mAbove) t = KFCurveNodeWarpTime(warp, t);
        std::vector<double> v(8, 0.0);
        node.GeneralEvaluate(v.data(), t, nullptr, false);
        return v;
    }
    KFCurve& X() const { return C(mNode, 0); }

    NodePtr mNode;
    NodePtr mTake;
    std::vector<KFCurveNode*> mAbove;
    bool mCut = false;
};

// The baked X plays the take at each time, within tolerance.
void ExpectPlays(const Baked& baked, std::initializer_list<double> seconds, double tolerance = 1e-3) {
    for (double s : seconds) EXPECT_NEAR(baked.Played(s), baked.Take(s), tolerance) << s << " s";
}

// The largest distance between the baked X and the take over [from, to], sampled finely, away
// from the take's instants alone (a microsecond about each time in skip).
double WorstBetween(const Baked& baked, double from, double to, std::initializer_list<double> skip = {}) {
    double worst = 0.0;
    for (double s = from; s <= to; s += 0.000731) {
        if (std::any_of(skip.begin(), skip.end(), [s](double k) { return std::fabs(s - k) < 2e-6; })) continue;
        worst = std::max(worst, std::fabs(baked.Played(s) - baked.Take(s)));
    }
    return worst;
}

TEST(KFCurveNodeBakeTimes, EndlessCyclesBeforeTheKeysKeepEveryImageOfTheKeys) {
    // X linear 0 at 1.01 s to 10 at 1.71 s, repeating before its keys with no end (the default
    // count), beside a layer, in a take of 3 s: the take starts again at 0.31 s.
    {
        NodePtr t = Translation({{1.01, 0}, {1.71, 10}});
        Extrapolate(C(t, 0), false, KFCURVE_EXTRAPOLATION_REPETITION);
        Baked baked(std::move(t), {}, 0, 3);
        EXPECT_NEAR(baked.Played(0.309), 9.986, 1e-3);
        EXPECT_NEAR(baked.Played(0.311), 0.014, 1e-3);
        EXPECT_NEAR(baked.Played(0.32), 0.143, 1e-3);
        EXPECT_LT(WorstBetween(baked, 0, 3, {0.31}), 1e-3);
    }
    // Mirrored, or keeping its slope, before; repeating after: every restart after the keys is kept.
    for (const int before : {KFCURVE_EXTRAPOLATION_MIRROR, KFCURVE_EXTRAPOLATION_KEEP_SLOPE}) {
        SCOPED_TRACE(before);
        NodePtr t = Translation({{1.01, 0}, {1.71, 10}});
        Extrapolate(C(t, 0), false, before);
        Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_REPETITION);
        Baked baked(std::move(t), {}, 0, 3);
        ExpectPlays(baked, {0.2, 0.5, 1.709, 1.711, 2.409, 2.411, 2.5});
        EXPECT_LT(WorstBetween(baked, 0, 3, {1.71, 2.41}), 1e-3);
    }
    // A count beyond the numbering of keys across cycles (cycles times keys past 2^31).
    {
        NodePtr t = Translation({{1.01, 0}, {1.36, 5}, {1.71, 10}});
        Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_MIRROR, 2000000000u);
        Extrapolate(C(t, 0), false, KFCURVE_EXTRAPOLATION_REPETITION, 2000000000u);
        Baked baked(std::move(t), {}, 0, 4);
        EXPECT_LT(WorstBetween(baked, 0, 4, {0.31}), 1e-3);
    }
}

TEST(KFCurveNodeBakeTimes, EndlessCyclesCostNoMoreThanOne) {
    // Over a span that holds one cycle after the keys, an endless count bakes what a count of one
    // does, key for key.
    std::vector<KFCurveKey> keys[2];
    for (const unsigned int count : {1u, kEndless}) {
        NodePtr t = Translation({{0, 0}, {0.3, 4}, {0.7, 10}}, kCubic);
        Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_REPETITION, count);
        Baked baked(std::move(t), {}, 0, 1.35);
        for (int k = 0; k < baked.X().KeyGetCount(); ++k) keys[count == 1u ? 0 : 1].push_back(baked.X().KeyGet(k));
    }
    ASSERT_EQ(keys[0].size(), keys[1].size());
    for (std::size_t k = 0; k < keys[0].size(); ++k) {
        EXPECT_EQ(keys[0][k].GetTime(), keys[1][k].GetTime()) << k;
        EXPECT_EQ(keys[0][k].GetValue(), keys[1][k].GetValue()) << k;
    }
}

TEST(KFCurveNodeBakeTimes, WhereOddlyManyMirroredCyclesEndTheTakeJumps) {
    // X 0 at 0.5 s to 10 at 0.8 s, one mirrored cycle after: it runs back to 0 by 1.1 s and holds 10
    // from there.
    for (const unsigned int count : {1u, 3u}) {
        SCOPED_TRACE(count);
        NodePtr t = Translation({{0.5, 0}, {0.8, 10}});
        Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_MIRROR, count);
        Baked baked(std::move(t), {}, 0, 2.5);
        const double end = 0.8 + 0.3 * count;
        EXPECT_NEAR(baked.Played(end - 0.001), 0.033, 1e-3);
        EXPECT_NEAR(baked.Played(end - 2e-6), 0.0, 1e-3);
        EXPECT_EQ(baked.Played(end), 10.0);
        EXPECT_LT(WorstBetween(baked, 0, 2.5, {end}), 1e-3);
    }
    // Before the keys: the last mirrored cycle comes down from 10 to the first key's 0, held before.
    NodePtr t = Translation({{1.5, 0}, {1.8, 10}});
    Extrapolate(C(t, 0), false, KFCURVE_EXTRAPOLATION_MIRROR, 1);
    Baked baked(std::move(t), {}, 0, 2);
    EXPECT_EQ(baked.Played(1.2), 0.0);
    EXPECT_NEAR(baked.Played(1.2 + 2e-6), 10.0, 1e-3);
    EXPECT_LT(WorstBetween(baked, 0, 2, {1.2}), 1e-3);
}

TEST(KFCurveNodeBakeTimes, EveryCycleOfARepeatingWarpKeepsTheImagesOfTheKeys) {
    // A warp running at speed 1 over 0.9167 s, repeating, above X with a key at 1/30 s where its
    // slope breaks: in each later cycle that key's image (0.95 s, 1.8667 s) is a sample, and the
    // baked X plays the take there.
    {
        HeldWarp warp({{0, 0}, {0.9167, 0.9167f}});
        Extrapolate(warp.Curve(), true, KFCURVE_EXTRAPOLATION_REPETITION);
        NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
        Add(C(t, 0), 0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 0.0f, 600.0f));
        Add(C(t, 0), 1 / 30.0, MakeKey(20.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, -100.0f, 0.0f));
        Add(C(t, 0), 0.9, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 0.0f, 0.0f));
        Baked baked(std::move(t), {warp.get()}, 0, 2.5);
        ExpectPlays(baked, {0.95, 0.96, 0.99, 1.8667, 1.88});
        EXPECT_LT(WorstBetween(baked, 0, 2.5, {0.9167, 1.8334}), 2e-3);
    }
    // A period of 1.3 s off the grid, over X rising to 10 at 0.4 s and holding: each cycle's corner
    // holds 10 without overshooting it.
    {
        HeldWarp warp({{0, 0}, {1.3, 1.3f}});
        Extrapolate(warp.Curve(), true, KFCURVE_EXTRAPOLATION_REPETITION);
        NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
        Keys(C(t, 0), {{0, 0}, {0.4, 10}}, kCubic);
        Baked baked(std::move(t), {warp.get()}, 0, 4);
        double most = -HUGE_VAL;
        for (double s = 0; s <= 4; s += 0.00037) most = std::max(most, baked.Played(s));
        EXPECT_LE(most, 10.0 + 1e-4);
        EXPECT_LT(WorstBetween(baked, 0, 4, {1.3, 2.6, 3.9}), 1e-3);
    }
}

TEST(KFCurveNodeBakeTimes, AStepJustAfterTheSpansStartIsAStep) {
    // X: a constant key of the next value, 0 at 0.5 s, then 10 held from 1 s and 5 at 1.5 s, over a
    // span from 0.5 s: the take plays 0 at 0.5 s alone and 10 right after.
    {
        NodePtr t = Translation({});
        Add(C(t, 0), 0.5, MakeKey(0.0f, kConstant, KFCURVE_CONSTANT_NEXT));
        Add(C(t, 0), 1.0, MakeKey(10.0f, kConstant, KFCURVE_CONSTANT_STANDARD));
        Add(C(t, 0), 1.5, MakeKey(5.0f, kLinear));
        Baked baked(std::move(t), {}, 0.5, 2);
        EXPECT_EQ(baked.Played(0.5), 0.0);
        for (double s : {0.5 + 2e-6, 0.51, 0.55, 0.9, 1.2, 1.4999}) EXPECT_EQ(baked.Played(s), 10.0) << s;
        EXPECT_EQ(baked.Played(1.5), 5.0);
    }
    // The same step in a warp: it reads 0.2 s at 0.5 s alone, then 0.9 s on.
    {
        HeldWarp warp({});
        Add(warp.Curve(), 0.5, MakeKey(0.2f, kConstant, KFCURVE_CONSTANT_NEXT));
        Add(warp.Curve(), 1.0, MakeKey(0.9f, kLinear));
        Add(warp.Curve(), 2.0, MakeKey(1.9f, kLinear));
        NodePtr t = Translation({{0, 0}, {2, 20}});
        Baked baked(std::move(t), {warp.get()}, 0.5, 2);
        EXPECT_NEAR(baked.Played(0.5), 2.0, 1e-4);
        for (double s : {0.5 + 2e-6, 0.51, 0.55, 0.9}) EXPECT_NEAR(baked.Played(s), 9.0, 1e-4) << s;
        EXPECT_LT(WorstBetween(baked, 0.5, 2, {0.5}), 1e-3);
    }
}

TEST(KFCurveNodeBakeTimes, AStepOfTwoKeysUnderAMicrosecondApartStaysAStep) {
    // X 0 at 0.5 s and 10 a tick short of a microsecond later (linear), 10 at 2 s: the take steps at
    // 0.5 s. Whether the first key or the second lies on the grid, the baked X steps there too.
    const KTime apart(46185);
    for (const double at : {0.5, 0.5 - apart.GetSecondDouble(), 0.5123}) {
        SCOPED_TRACE(at);
        NodePtr t = Translation({});
        Add(C(t, 0), at, MakeKey(0.0f, kLinear));
        KFCurveKey second = MakeKey(10.0f, kLinear);
        C(t, 0).KeyAdd(Sec(at) + apart, second);
        Add(C(t, 0), 2.0, MakeKey(10.0f, kLinear));
        Baked baked(std::move(t), {}, 0, 2);
        for (double s : {at + 0.01, at + 0.02, 1.0}) EXPECT_NEAR(baked.Played(s), 10.0, 1e-4) << s;
        for (double s : {at - 0.01, at - 2e-6}) EXPECT_NEAR(baked.Played(s), 0.0, 1e-4) << s;
        EXPECT_NEAR(baked.Played(at + 2e-6), 10.0, 1e-4);
    }
}

TEST(KFCurveNodeBakeTimes, AValueTheTakeShowsForOneTickIsNoSpike) {
    // X starts with a constant key of the next value (0 at 0 s; 10 at 0.5 s; 5 at 1 s), mirrored
    // after its keys: at 2 s, where a cycle turns on that key, the take shows 0 for one tick and
    // plays about 10 on both sides. The baked X stays with the take there.
    NodePtr t = Translation({});
    Add(C(t, 0), 0, MakeKey(0.0f, kConstant, KFCURVE_CONSTANT_NEXT));
    Add(C(t, 0), 0.5, MakeKey(10.0f, kLinear));
    Add(C(t, 0), 1.0, MakeKey(5.0f, kLinear));
    Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_MIRROR);
    Baked baked(std::move(t), {}, 0, 3);
    ASSERT_EQ(baked.Take(2.0), 0.0);
    EXPECT_NEAR(baked.Played(2.0), 10.0, 1e-3);
    EXPECT_LT(WorstBetween(baked, 0, 3, {0, 2}), 1e-3);
}

TEST(KFCurveNodeBakeTimes, ACurveIsKeptToTheValuesOfItsEndsOnlyWhereTheTakeRunsOneWay) {
    // X rises from 0 to 10 over 0.072 s, steeply at first (a weighted slope) and flat at the end:
    // it runs one way, and so does the baked X, never above 10, though the take's slopes at the
    // samples about its knee would carry a cubic past it.
    {
        NodePtr t = Translation({});
        const double at = 0.1 + 0.033050907523982202;
        Add(C(t, 0), at,
            MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 175.017075f, 0.0f, KFCURVE_WEIGHTED_ALL, 0.330000013f,
                    0.869856238f));
        Add(C(t, 0), at + 0.072182896170878877, MakeKey(10.0f, kCubic, KFCURVE_TANGEANT_USER));
        Baked baked(std::move(t), {}, 0, 1);
        double most = 0.0;
        for (double s = 0.1; s < 0.6; s += 0.0001) most = std::max(most, baked.Played(s));
        EXPECT_LE(most, 10.0 + 1e-4);
    }
    // X is a cubic rising from -33.375 to 33.375 over 0.3 s that turns up and down again by a
    // hundredth between 0.14 and 0.16 s, inside the gap between two samples whose slopes both
    // rise. Read there, the take shows its turn, and the baked X keeps it.
    {
        NodePtr t = Translation({});
        Add(C(t, 0), 0, MakeKey(-33.375f, kCubic, KFCURVE_TANGEANT_USER, 672.5f, 672.5f));
        Add(C(t, 0), 0.3, MakeKey(33.375f, kCubic, KFCURVE_TANGEANT_USER));
        Baked baked(std::move(t), {}, 0, 1);
        ASSERT_GT(baked.Take(0.1413), baked.Take(0.1667));
        for (double s : {0.135, 0.1413, 0.15, 0.1587, 0.165}) EXPECT_NEAR(baked.Played(s), baked.Take(s), 1e-4) << s;
    }
}

// The cut itself, on a cubic from 0 to 10 over a second: slopes of 50 and 5 carry it to 10.64;
// cut just enough, keeping their ratio, it stays within [0, 10] (a hundredth steeper, it would
// not). Slopes within three chords, slopes that turn against the chord, a stretch that does not
// rise and an overshoot within the tolerance are left as they are.
TEST(KFCurveNodeBakeTimes, OneWaySlopesAreCutJustEnoughToStayWithinTheEnds) {
    // The Hermite cubic from 0 to 10 over [0, 1] with end slopes m0 and m1: its least and most.
    const auto extremes = [](double m0, double m1) {
        double low = 0.0, high = 10.0;
        for (int k = 0; k <= 20000; ++k) {
            const double u = k / 20000.0, u2 = u * u, u3 = u2 * u;
            const double v = 10.0 * (-2 * u3 + 3 * u2) + m0 * (u3 - 2 * u2 + u) + m1 * (u3 - u2);
            low = std::min(low, v), high = std::max(high, v);
        }
        return std::make_pair(low, high);
    };
    ASSERT_GT(extremes(50.0, 5.0).second, 10.6);
    double m0 = 50.0, m1 = 5.0, where = -1.0;
    ASSERT_TRUE(bake::KeepOneWay(0.0, 10.0, 1.0, m0, m1, 1e-9, &where));
    EXPECT_NEAR(m0 / m1, 10.0, 1e-9);
    EXPECT_GT(where, 0.0);
    EXPECT_LT(where, 1.0);
    EXPECT_GE(extremes(m0, m1).first, -1e-9);
    EXPECT_LE(extremes(m0, m1).second, 10.0 + 1e-9);
    EXPECT_GT(extremes(m0 * 1.01, m1 * 1.01).second, 10.0 + 1e-6);

    const std::pair<double, double> kept[] = {{15.0, 15.0}, {-5.0, 60.0}, {60.0, -5.0}, {40.0, 40.0}};
    for (const auto& [a, b] : kept) {
        double x = a, y = b;
        EXPECT_FALSE(bake::KeepOneWay(0.0, 10.0, 1.0, x, y, 1e-9)) << a << ", " << b;
        EXPECT_EQ(x, a);
        EXPECT_EQ(y, b);
    }
    double flat0 = 50.0, flat1 = 5.0;
    EXPECT_FALSE(bake::KeepOneWay(3.0, 3.0, 1.0, flat0, flat1, 1e-9));
    double loose0 = 50.0, loose1 = 5.0;
    EXPECT_FALSE(bake::KeepOneWay(0.0, 10.0, 1.0, loose0, loose1, 1.0));
    EXPECT_EQ(loose0, 50.0);
}

TEST(KFCurveNodeBakeTimes, PastItsKeysTheBakeGoesAsFarAsTheTakeChanges) {
    // Keys within 2 s in a take of 27.8 hours: where the take holds, one sample stands for the rest.
    const double day = 100000.0;
    {
        HeldWarp warp({{0, 0}, {1, 1.5f}});
        Extrapolate(warp.Curve(), true, KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
        NodePtr t = Translation({{0, 0}, {2, 20}});
        Baked baked(std::move(t), {warp.get()}, 0, day);
        EXPECT_FALSE(baked.mCut);
        EXPECT_LT(baked.X().KeyGetCount(), 200);
        ExpectPlays(baked, {0.5, 1.0, 1.3, 2.0, 3.0, day});
    }
    // A curve cycling without end changes all along its take: sampled over it, up to the grid's
    // limit.
    {
        const double hour = 3600.0;
        NodePtr t = Translation({{0, 0}, {1, 10}});
        Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_REPETITION);
        Baked baked(std::move(t), {}, 0, hour);
        EXPECT_FALSE(baked.mCut);
        ExpectPlays(baked, {0.5, hour - 0.5, hour - 0.25});
    }
    // Over the whole time line it asks for more than any bake takes: the keys alone, and said.
    {
        NodePtr t = Translation({{0, 0}, {1, 10}});
        Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_REPETITION);
        NodePtr take(KFCurveNodeCopyWhole(*t));
        KFCurveBakeSpan span;
        bool cut = false;
        span.mStart = KTime::MinusInfinite();
        span.mStop = KTime::Infinite();
        span.mCut = &cut;
        ASSERT_TRUE(KFCurveNodeBake(t.get(), nullptr, 0, kPeriod, &span));
        EXPECT_TRUE(cut);
        EXPECT_LE(C(t, 0).KeyGetCount(), 100);
        EXPECT_NEAR(C(t, 0).Evaluate(Sec(0.5)), 5.0, 1e-4);
    }
}

TEST(KFCurveNodeBakeTimes, AKeptSlopeAsLongAsTheTakeLeavesTheKeyedPartAsInAShortTake) {
    // X turns within its 2 s of keys and leaves them steeply, keeping that slope without end: over
    // an hour it runs to over a million. The keyed part bakes the same whatever the span, its peak
    // and its dip kept, at frames and sampled every second alike (over 27.8 hours, so).
    const std::pair<double, KTime> cases[] = {{10.0, kPeriod},       {3600.0, kPeriod},        {10.0, KTime(kSecond)},
                                              {35000.0, KTime(kSecond)}, {100000.0, KTime(kSecond)}};
    for (const auto& [seconds, period] : cases) {
        NodePtr t = Translation({{0, 0}, {1, 9}, {1.6f, 0.4f}, {2, 1}, {2.05f, 20}}, kCubic);
        Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
        Baked baked(std::move(t), {}, 0, seconds, period);
        EXPECT_FALSE(baked.mCut);
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (double s = 0; s <= 2.05; s += 0.001) low = std::min(low, baked.Take(s)), high = std::max(high, baked.Take(s));
        const std::string at = std::to_string(seconds) + " s at " + std::to_string(period.GetSecondDouble());
        EXPECT_LT(WorstBetween(baked, 0.0, 2.05), 1e-3 * (high - low)) << at;
        EXPECT_NEAR(baked.Played(1.0), 9.0, 1e-3 * (high - low)) << at;
        // The tail still runs on as the take does, within the floats of its values.
        for (const double s : {2.5, seconds / 2, seconds})
            EXPECT_NEAR(baked.Played(s), baked.Take(s), 1e-3 + 1e-6 * std::fabs(baked.Take(s))) << s << ", " << at;
    }
}

TEST(KFCurveNodeBakeTimes, ATakesSpanWidensTheBakeUpToTenMillionSamplesOrTheBoundItSays) {
    // X repeats every second without end; sampled every second, a span of n seconds asks for n + 1
    // samples. Over ten million the bake covers the keys alone; a million and one (more than a
    // tenth of the bound; ten million would cost a test too much), the span.
    NodePtr t = Translation({{0, 0}, {1, 10}});
    Extrapolate(C(t, 0), true, KFCURVE_EXTRAPOLATION_REPETITION);
    const auto times = [&](double seconds, kULongLong most) {
        KFCurveBakeSpan span;
        span.mStart = Sec(0);
        span.mStop = Sec(seconds);
        if (most) span.mMostSamples = most;
        return bake::BakeSampleTimes(t.get(), {}, KTime(kSecond), span);
    };
    {
        const bake::SampleTimes under = times(1000000, 0);
        EXPECT_FALSE(under.mCut);
        EXPECT_EQ(under.mSamples.size(), 1000001u);
    }
    const bake::SampleTimes over = times(10000000, 0);
    EXPECT_TRUE(over.mCut);
    EXPECT_LE(over.mSamples.size(), 2u);
    // A reader that takes fewer says so; no more than ten million count.
    EXPECT_FALSE(times(999, 1000).mCut);
    EXPECT_TRUE(times(1000, 1000).mCut);
    EXPECT_TRUE(times(10000000, 100000000).mCut);
}

}  // namespace
