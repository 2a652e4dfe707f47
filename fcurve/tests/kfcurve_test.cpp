#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <vector>

#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;
using namespace fcurvetest::core;

namespace {

class KFCurveTest : public ::testing::Test {
protected:
    void SetUp() override { curve.CallbackRegister(&EventLog::Record, &log); }

    // Keys at 0, 1, 2, ... seconds with value 10 x their index.
    void Fill(int count) {
        for (int i = 0; i < count; ++i) Add(curve, i, MakeKey(10.0f * i, kCubic, KFCURVE_TANGEANT_AUTO));
        log.events.clear();
    }

    EventLog log;  // outlives the curve, which reports its destruction
    KFCurve curve;
};

using Ints = std::vector<int>;

// Edits from a callback, and unregisters while the list is walked.
struct Reentrant {
    int calls = 0;
    static void OnEvent(KFCurve* curve, KFCurveEvent* event, void* data) {
        ++static_cast<Reentrant*>(data)->calls;
        if (event->mType & KFCURVEEVENT_DEFAULT_VALUE) {
            curve->SetPreExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
            curve->CallbackUnregister(&Reentrant::OnEvent, data);
        }
    }
};

}  // namespace

TEST_F(KFCurveTest, KeyFindAgreesWithAPlainScanFromAnyHint) {
    EXPECT_EQ(curve.KeyFind(Sec(1)), -1.0);
    std::mt19937 random(99);
    std::vector<kLongLong> times;
    for (kLongLong t = 0; times.size() < 1500; times.push_back(t)) {
        t += 1 + static_cast<kLongLong>(random() % 5000);
        curve.KeyAppendFast(KTime(t), 0.0f);
    }
    const int n = static_cast<int>(times.size());
    for (int q = 0; q < 20000; ++q) {
        kLongLong query = static_cast<kLongLong>(random() % static_cast<unsigned>(times.back() + 2000)) - 1000;
        if (q % 4 == 0) query = times[random() % times.size()];
        const int k = static_cast<int>(std::lower_bound(times.begin(), times.end(), query) - times.begin());
        double expected = k == 0 ? -0.5 : n - 0.5;
        if (k < n && times[k] == query)
            expected = k;
        else if (k > 0 && k < n)
            expected = k - 1 + static_cast<double>(query - times[k - 1]) / static_cast<double>(times[k] - times[k - 1]);
        int hint = static_cast<int>(random() % (n + 20)) - 10;
        ASSERT_NEAR(curve.KeyFind(KTime(query), &hint), expected, 1e-9) << "query " << query;
        ASSERT_TRUE(hint >= 0 && hint <= n) << hint;
    }
}

TEST_F(KFCurveTest, KeyAddNextToAKeyOnAVeryLongSegmentInserts) {
    // One tick from a key the fraction rounds to a whole index.
    const kLongLong far = kLongLong(1) << 60;
    KFCurveKey key = MakeKey(1.0f);
    for (kLongLong t : {kLongLong(0), far, 2 * far}) curve.KeyAdd(KTime(t), key);
    EXPECT_EQ(curve.KeyAdd(KTime(far - 1), key), 1);
    EXPECT_EQ(curve.KeyAdd(KTime(far + 1), key), 3);
    EXPECT_EQ(curve.KeyGetCount(), 5);
    EXPECT_TRUE(KeysOrdered(curve));
}

class KFCurveBlockBoundary : public KFCurveTest, public ::testing::WithParamInterface<int> {};

TEST_P(KFCurveBlockBoundary, AddingAndRemovingAtTheFrontShiftsEveryKey) {
    Fill(GetParam());
    std::vector<float> values = KeyValues(curve);
    KFCurveKey key = MakeKey(-1.0f);
    int last = -7;
    EXPECT_EQ(curve.KeyAdd(Sec(-1), key, &last), 0);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(log.Single(), (Ints{KFCURVEEVENT_KEY, 0, 0, 1}));
    values.insert(values.begin(), -1.0f);
    EXPECT_EQ(KeyValues(curve), values);
    EXPECT_TRUE(KeysOrdered(curve));
    EXPECT_EQ(curve.KeyRemove(0) + curve.KeyRemove(0), 0);
    values.erase(values.begin(), values.begin() + 2);
    EXPECT_EQ(KeyValues(curve), values);
}

INSTANTIATE_TEST_SUITE_P(Sizes, KFCurveBlockBoundary, ::testing::Values(1, 31, 32, 33, 63, 64, 65, 2048, 2049),
                         [](const ::testing::TestParamInfo<int>& info) { return "Keys" + NameOf(info.param); });

TEST_F(KFCurveTest, RandomInsertionsAndRemovalsMatchASortedModel) {
    std::mt19937 random(1234);
    std::map<kLongLong, float> model;
    for (int step = 0; step < 3000; ++step) {
        if (!model.empty() && random() % 3 == 0) {
            const int i = static_cast<int>(random() % model.size());
            ASSERT_EQ(curve.KeyRemove(i), 0);
            model.erase(std::next(model.begin(), i));
            continue;
        }
        const kLongLong t = static_cast<kLongLong>(random() % 400) * 1000;
        KFCurveKey key = MakeKey(model[t] = float(step), kCubic, KFCURVE_TANGEANT_AUTO);
        curve.KeyAdd(KTime(t), key);  // at an existing time: replaces the key
    }
    std::map<kLongLong, float> keys;
    for (int i = 0; i < curve.KeyGetCount(); ++i) keys[curve.KeyGet(i).GetTime().Get()] = curve.KeyGet(i).GetValue();
    EXPECT_EQ(keys, model);
    EXPECT_EQ(curve.KeyGetCount(), static_cast<int>(model.size()));
}

TEST_F(KFCurveTest, EditsInOneBatchAreHeardOnceWithTheirUnion) {
    Fill(8);
    curve.CallbackEnable(false);
    KFCurveKey key = MakeKey(1.0f);
    curve.KeyAdd(Sec(3), key);  // replaces key 3
    curve.SetValue(4.0f);
    curve.KeyRemove(7);  // the last key: one event at the key before it
    EXPECT_TRUE(log.events.empty());
    curve.CallbackEnable(true);
    curve.CallbackEnable(true);  // nothing held, nothing delivered
    // The default value change names no key: the span starts at -1.
    EXPECT_EQ(log.Single(), (Ints{KFCURVEEVENT_KEY | KFCURVEEVENT_DEFAULT_VALUE, -1, 6, 3}));
    log.events.clear();
    curve.KeyModifyBegin();
    for (int seconds : {2, 6, 4}) curve.KeyAdd(Sec(seconds), key);
    const int before = curve.GetUpdateId();
    curve.KeyModifyEnd();
    EXPECT_EQ(curve.GetUpdateId(), before + 1);
    EXPECT_EQ(log.Single(), (Ints{KFCURVEEVENT_KEY, 2, 6, 3}));
    // Selection and value edits inside the caller's batch do not close it.
    log.events.clear();
    curve.KeyModifyBegin();
    curve.KeySelectAll();
    curve.KeyScaleValue(false, 2.0f);
    EXPECT_TRUE(log.events.empty());
    curve.KeyModifyEnd();
    EXPECT_EQ(log.Single(), (Ints{KFCURVEEVENT_SELECTION | KFCURVEEVENT_KEY, 0, 6, 4}));
}

TEST(KFCurveCallbacks, CallbacksMayEditAndUnregister) {
    Reentrant r;
    EventLog log;
    KFCurve curve;
    curve.CallbackRegister(&Reentrant::OnEvent, &r);
    curve.CallbackRegister(&EventLog::Record, &log);
    curve.CallbackRegister(&Reentrant::OnEvent, &r);
    curve.CallbackUnregister(&Reentrant::OnEvent, &r);  // the later of two equal registrations
    curve.SetValue(3.0f);
    EXPECT_EQ(r.calls, 2) << "its own nested edit, then the default value";
    ASSERT_EQ(log.events.size(), 2u) << "the later callback is not skipped";
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_KEY) << "the edit made inside the callback is its own event";
    EXPECT_EQ(log.events[1].mType, KFCURVEEVENT_DEFAULT_VALUE);
}

TEST_F(KFCurveTest, MapIndexAllMapsEveryNumberToARealKey) {
    Fill(4);  // 3 segments
    // MapIndexAll of -3, 0 .. 15 and 16 with two cycles on each side: the numbers outside clamp to the end keys.
    struct Case { int mode; Ints keys; };
    std::vector<Case> cases = {
        {KFCURVE_EXTRAPOLATION_CONSTANT, {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3}},
        {KFCURVE_EXTRAPOLATION_REPETITION, {0, 0, 1, 2, 0, 1, 2, 0, 1, 2, 3, 1, 2, 0, 1, 2, 0, 3}},
        // The cycle next to the keys is mirrored; the one beyond it is not.
        {KFCURVE_EXTRAPOLATION_MIRROR, {0, 0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 3}},
    };
    // Modes without cycles, and unknown ones, never name a key past the last one.
    cases.push_back({77, {0, 0, 1, 2, 3, 3, 3, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3}});
    for (const auto& c : cases) {
        SetExtrapolation(curve, c.mode, 2, c.mode, 2);
        ASSERT_EQ(curve.KeyGetCountAll(), 16);
        Ints mapped, regions;
        for (int a = -3; a <= 16; a += a == -3 ? 3 : 1) {
            int where = -1;
            mapped.push_back(curve.MapIndexAll(a, where));
            regions.push_back(where);
        }
        EXPECT_EQ(mapped, c.keys) << c.mode;
        EXPECT_EQ(regions, (Ints{0, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 4}));
    }
}

TEST_F(KFCurveTest, BatchValueEditsTouchTheSelectedKeysAndAreHeardOnce) {
    // Four keys of value 1 with user tangents of slope 2, key 1 an auto key
    // (its slot holds the auto parameter 30); keys 1 and 3 selected.
    for (int i = 0; i < 4; ++i)
        Add(curve, i,
            i == 1 ? MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_AUTO, 30.0f, 2.0f)
                   : MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 2.0f, 2.0f));
    curve.SetValue(5.0f);
    for (int i : {1, 3}) {
        KFCurveKey key = curve.KeyGet(i);
        key.SetSelected(true);
        curve.KeySet(i, key);
    }
    log.events.clear();
    EXPECT_EQ(curve.KeyGetSelectionCount(), 2);

    EXPECT_EQ(curve.KeyMoveValueTo(true, 7.0f), 0);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{1, 7, 1, 7}));
    EXPECT_EQ(curve.GetValue(), 5.0f) << "the default value is not a key";
    EXPECT_EQ(log.Single(), (Ints{KFCURVEEVENT_KEY, 1, 3, 2}));

    // Every key: the user tangents doubled, the auto parameter kept, the default value scaled.
    log.events.clear();
    curve.KeyScaleTangeant(false, 2.0f);
    auto slot = [this](int i, EKFCurveDataIndex d) { return curve.KeyGetPtr(i)->GetDataDouble(d); };
    EXPECT_EQ(std::vector<float>({slot(0, KFCURVEKEY_RIGHT_DERIVATIVE), slot(1, KFCURVEKEY_RIGHT_DERIVATIVE),
                                  slot(2, KFCURVEKEY_NEXT_LEFT_DERIVATIVE)}),
              std::vector<float>({4.0f, 30.0f, 4.0f}));
    EXPECT_EQ(curve.GetValue(), 10.0f);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{1, 7, 1, 7}));
    EXPECT_EQ(log.Single(), (Ints{KFCURVEEVENT_KEY, 0, 3, 2}));

    // One selected key names no last index.
    curve.KeyUnselectAll();
    EXPECT_EQ(curve.KeyGetSelectionCount(), 0);
    KFCurveKey key = curve.KeyGet(2);
    key.SetSelected(true);
    curve.KeySet(2, key);
    log.events.clear();
    curve.KeyMoveValueTo(true, -1.0f);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{1, 7, -1, 7}));
    EXPECT_EQ(log.Single(), (Ints{KFCURVEEVENT_KEY, -1, 2, 2}));

    // Without keys: the default value moves unless only a selection is asked for
    // and the curve is not selected; tangents have nothing to scale.
    KFCurve empty;
    empty.KeyMoveValueTo(true, 3.0f);
    EXPECT_EQ(empty.GetValue(), 0.0f);
    empty.KeyMoveValueTo(false, 3.0f);
    empty.KeyScaleTangeant(false, 4.0f);
    EXPECT_EQ(empty.GetValue(), 3.0f);
}

TEST_F(KFCurveTest, NumbersAcrossCyclesNameTheKeyTheCurveShowsAtTheirTime) {
    EXPECT_EQ(curve.KeyGetRawAll(0), nullptr);
    EXPECT_EQ(curve.KeyGetTimeAll(0), KTime::Infinite()) << "no time";
    Fill(1);
    EXPECT_EQ(curve.KeyGetTimeAll(5), Sec(0)) << "a single key has no cycle";
    curve.KeyClear();
    // Keys at 0, 1, 3 and 4 s (a span of 4 s) with values 5, 10, 30, 5: the ends agree, so that the
    // cycles join without a jump (where they jump, the curve and the numbering each take one side).
    for (int i : {0, 1, 3, 4}) Add(curve, i, MakeKey(i == 0 || i == 4 ? 5.0f : 10.0f * i, kLinear));
    for (int mode : {KFCURVE_EXTRAPOLATION_CONSTANT, KFCURVE_EXTRAPOLATION_REPETITION, KFCURVE_EXTRAPOLATION_MIRROR}) {
        SCOPED_TRACE(mode);
        SetExtrapolation(curve, mode, 2, mode, 3);
        const int count = curve.KeyGetCountAll();
        ASSERT_EQ(count, (2 + 3) * 3 + 4);
        EXPECT_EQ(curve.KeyGetTimeAll(0), Sec(-8));
        EXPECT_EQ(curve.KeyGetTimeAll(count - 1), Sec(16));
        for (int k = 0; k < 4; ++k) EXPECT_EQ(curve.KeyGetTimeAll(6 + k), curve.KeyGetPtr(k)->GetTime());
        for (int a = 0; a < count; ++a) {
            if (a > 0) {
                EXPECT_LT(curve.KeyGetTimeAll(a - 1), curve.KeyGetTimeAll(a)) << a;
            }
            // The curve shows, at that number's time, the value of the key the number stands for.
            EXPECT_FLOAT_EQ(curve.Evaluate(curve.KeyGetTimeAll(a)), curve.KeyGetRawAll(a)->GetValue()) << a;
        }
        // Numbers outside clamp to the ends.
        EXPECT_EQ(curve.KeyGetTimeAll(-4), Sec(-8));
        EXPECT_EQ(curve.KeyGetTimeAll(count + 9), Sec(16));
        EXPECT_EQ(curve.KeyGetRawAll(count + 9), curve.KeyGetPtr(3));
    }
    // Unbounded cycles reach past the time line: its ends, never times on the other side of the keys.
    SetExtrapolation(curve, KFCURVE_EXTRAPOLATION_REPETITION, 0xFFFFFFFFu, KFCURVE_EXTRAPOLATION_MIRROR, 0);
    EXPECT_EQ(curve.KeyGetTimeAll(0), KTime::MinusInfinite());
    EXPECT_LT(curve.KeyGetTimeAll(curve.KeyGetCountAll() - 1), Sec(0));
    SetExtrapolation(curve, KFCURVE_EXTRAPOLATION_REPETITION, 1, KFCURVE_EXTRAPOLATION_MIRROR, 0xFFFFFFFFu);
    EXPECT_EQ(curve.KeyGetTimeAll(curve.KeyGetCountAll() - 1), KTime::Infinite());
}

TEST_F(KFCurveTest, AverageRateAndTheGuessedKeyLayout) {
    KTime start(7), period(7), interval(7), largest(7);
    bool regular = true;
    EXPECT_EQ(curve.GuessWasData(&start, &period), 1);
    EXPECT_EQ(start, KTime(7)) << "nothing to write without keys";
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, &interval, &largest), KTime(0));
    EXPECT_FALSE(regular);
    EXPECT_EQ(largest, KTime(0));

    // Keys every second (one a tick late), auto tangents: sampled data at one key per second.
    const kLongLong second = KTime::kTicksPerSecond;
    KFCurveKey sample = MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_AUTO);
    for (kLongLong t : {kLongLong(0), second, 2 * second, 3 * second + 1}) curve.KeyAdd(KTime(t) + Sec(2), sample);
    EXPECT_EQ(curve.GuessWasData(&start, &period), 2);
    EXPECT_EQ(start, Sec(2));
    EXPECT_EQ(period, KTime(second));
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, &interval, &largest), KTime(second));
    EXPECT_TRUE(regular);
    EXPECT_EQ(interval, KTime(second + 1));
    EXPECT_EQ(largest, KTime(second + 1));

    // An uneven interval: not regular, and the mean of 1, 1, 1 and 3 s.
    Add(curve, 8.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_AUTO_BREAK));
    regular = true;
    EXPECT_EQ(curve.GuessWasData(), 1);
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, nullptr, &largest), KTime((6 * second) / 4));
    EXPECT_FALSE(regular);
    EXPECT_EQ(largest, KTime(3 * second - 1));

    // Keys that are not plain samples: user tangents, or a kind the key before lacks.
    Add(curve, 9.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER));
    EXPECT_EQ(curve.GuessWasData(), 0);
    curve.KeyRemove(5);
    Add(curve, 9.0, MakeKey(1.0f, kLinear));
    EXPECT_EQ(curve.GuessWasData(), 0);
    KFCurve constant;
    for (int i = 0; i < 3; ++i) Add(constant, i, MakeKey(1.0f, kConstant));
    EXPECT_EQ(constant.GuessWasData(), 2);
}
