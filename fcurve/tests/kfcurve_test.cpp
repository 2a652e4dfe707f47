#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace

// ---- Search and storage --------------------------------------------------

TEST_F(KFCurveTest, KeyFindWorkedExamplesAndHints) {
    EXPECT_EQ(curve.KeyFind(Sec(1)), -1.0);
    Fill(10);
    // {time, hint, found, hint after}: hints out of range are clamped, and the hint
    // comes back next to the time from either side.
    const double cases[][4] = {{2.5, 9, 2.5, 2}, {7.5, 0, 7.5, 8}, {4, 1000, 4, 4}, {20, -50, 9.5, 10},
                               {-20, 3, -0.5, 0}, {1.25, 1, 1.25, 2}};
    for (const auto& c : cases) {
        int hint = static_cast<int>(c[1]);
        EXPECT_DOUBLE_EQ(curve.KeyFind(Sec(c[0]), &hint), c[2]) << c[0];
        EXPECT_EQ(hint, c[3]) << c[0];
    }
}

TEST_F(KFCurveTest, KeyFindAgreesWithAPlainScanFromAnyHint) {
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
        // Reference: the first key at or after the query.
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
    const int count = GetParam();
    Fill(count);
    std::vector<float> values = KeyValues(curve);
    KFCurveKey key = MakeKey(-1.0f);
    int last = -7;
    EXPECT_EQ(curve.KeyAdd(Sec(-1), key, &last), 0);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, 0, 0, 1}));
    values.insert(values.begin(), -1.0f);
    EXPECT_EQ(KeyValues(curve), values);
    EXPECT_TRUE(KeysOrdered(curve));
    EXPECT_EQ(curve.KeyGet(count).GetTime(), Sec(count - 1));
    EXPECT_EQ(curve.KeyRemove(0), 0);
    EXPECT_EQ(curve.KeyRemove(0), 0);
    values.erase(values.begin(), values.begin() + 2);
    EXPECT_EQ(KeyValues(curve), values);
}

INSTANTIATE_TEST_SUITE_P(Sizes, KFCurveBlockBoundary, ::testing::Values(1, 31, 32, 33, 63, 64, 65, 2048, 2049));

TEST_F(KFCurveTest, RandomInsertionsAndRemovalsMatchASortedModel) {
    std::mt19937 random(1234);
    std::vector<std::pair<kLongLong, float>> model;
    for (int step = 0; step < 3000; ++step) {
        if (!model.empty() && random() % 3 == 0) {
            const int i = static_cast<int>(random() % model.size());
            ASSERT_EQ(curve.KeyRemove(i), 0);
            model.erase(model.begin() + i);
            continue;
        }
        const std::pair<kLongLong, float> added(static_cast<kLongLong>(random() % 400) * 1000, float(step));
        KFCurveKey key = MakeKey(added.second, kCubic, KFCURVE_TANGEANT_AUTO);
        curve.KeyAdd(KTime(added.first), key);  // at an existing time: replaces the key
        auto it = std::lower_bound(model.begin(), model.end(), std::make_pair(added.first, -1e30f));
        if (it != model.end() && it->first == added.first)
            *it = added;
        else
            model.insert(it, added);
    }
    ASSERT_EQ(curve.KeyGetCount(), static_cast<int>(model.size()));
    for (int i = 0; i < curve.KeyGetCount(); ++i)
        ASSERT_EQ(std::make_pair(curve.KeyGet(i).GetTime().Get(), curve.KeyGet(i).GetValue()), model[i]) << i;
}

TEST_F(KFCurveTest, EditsThatWouldBreakTheOrderOrLeaveTheCurveAreRefused) {
    Fill(3);
    KFCurveKey key = MakeKey(5.0f);
    key.SetTime(Sec(2));  // the next key's time
    EXPECT_EQ(curve.KeySet(1, key) + curve.KeySet(3, key) + curve.KeySet(-1, key), 3);
    EXPECT_EQ(curve.KeyRemove(3) + curve.KeyRemove(-1), 2);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, 10, 20}));
    EXPECT_TRUE(log.events.empty());
    key.SetTime(Sec(1) + KTime(1));
    EXPECT_EQ(curve.KeySet(1, key), 0);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, 5, 20}));
}

TEST_F(KFCurveTest, AppendFastFillsWithoutEventsAndStartsFromACleanSlot) {
    Fill(3);
    curve.KeyGetPtr(2)->SetTangeantVelocityMode(KFCURVE_VELOCITY_ALL);
    curve.KeyGetPtr(2)->SetFocus(true);
    curve.KeyRemove(2);
    log.events.clear();
    const int before = curve.GetUpdateId();
    for (int i = 2; i < 100; ++i) ASSERT_EQ(curve.KeyAppendFast(Sec(i), static_cast<float>(i)), i);
    EXPECT_EQ(curve.GetUpdateId(), before + 98);
    EXPECT_TRUE(log.events.empty());
    const KFCurveKey key = curve.KeyGet(2);  // in the removed key's slot: a clean auto key
    EXPECT_EQ(key.GetInterpolation() | key.GetTangeantMode(), kCubic | KFCURVE_TANGEANT_AUTO);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 1.0 / 3.0, 1e-4);
    EXPECT_EQ(key.GetTangeantVelocityMode(), 0u);
    EXPECT_FALSE(key.GetFocus());
}

TEST(KFCurveMemory, ClearShrinkAndImpossibleSizes) {
    const kLongLong baseline = KFCurve::GetRecordingMemory();
    KFCurve curve;
    for (int i = 0; i < 10000; ++i) curve.KeyAppendFast(KTime(i), static_cast<float>(i));
    const kLongLong full = KFCurve::GetRecordingMemory();
    EXPECT_GT(full, baseline + 10000 * 32);
    curve.KeyModifyBegin();
    curve.KeyModifyEnd(100);
    curve.KeyShrink();
    EXPECT_LT(KFCurve::GetRecordingMemory(), full - 9000 * 32);
    // The kept keys stay, and the curve grows again after shrinking.
    for (int i = 100; i < 3000; ++i) curve.KeyAppendFast(KTime(i), static_cast<float>(i));
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(curve.KeyGet(i).GetValue(), static_cast<float>(i));
    while (curve.KeyGetCount() > 40) curve.KeyRemove(0);
    curve.KeyClear();
    EXPECT_EQ(KFCurve::GetRecordingMemory(), baseline);
    EXPECT_FALSE(curve.InitBuffers(0x7FFFFFFF));
    curve.KeyModifyBegin(0x7FFFFFFF);
    curve.KeyModifyEnd(0x7FFFFFFF);
    EXPECT_EQ(curve.KeyGetCount(), 0);
    for (int i = 0; i < 40; ++i) curve.KeyAppendFast(KTime(i), 0.0f);
    while (curve.KeyGetCount() > 0) curve.KeyRemove(0);
    curve.KeyShrink();
    EXPECT_EQ(KFCurve::GetRecordingMemory(), baseline);
}

// ---- Batches and callbacks ---------------------------------------------

TEST_F(KFCurveTest, ThreeEditsInOneBatchAreHeardOnceWithTheirUnion) {
    Fill(8);
    curve.CallbackEnable(false);
    KFCurveKey key = MakeKey(1.0f);
    curve.KeyAdd(Sec(3), key);  // replaces key 3
    curve.SetValue(4.0f);
    curve.KeyRemove(7);  // the last key: one event at the key before it
    EXPECT_TRUE(log.events.empty());
    curve.CallbackEnable(true);
    // The default value change names no key: the span starts at -1.
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY | KFCURVEEVENT_DEFAULT_VALUE, -1, 6, 3}));
    curve.CallbackEnable(true);
    EXPECT_EQ(log.events.size(), 1u) << "nothing held, nothing delivered";

    log.events.clear();
    curve.KeyModifyBegin();
    for (int seconds : {2, 6, 4}) curve.KeyAdd(Sec(seconds), key);
    const int before = curve.GetUpdateId();
    curve.KeyModifyEnd();
    EXPECT_EQ(curve.GetUpdateId(), before + 1);
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, 2, 6, 3}));
    curve.KeyModifyBegin();
    curve.SetValue(2.0f);
    curve.CallbackClear();  // drops what was held
    curve.KeyModifyEnd();
    EXPECT_EQ(log.events.size(), 1u);
}

TEST_F(KFCurveTest, ReservedKeysAreWrittenInPlaceAndNeverExposedBeyondTheReservation) {
    const int before = curve.GetUpdateId();
    curve.KeyModifyBegin(100);
    for (int i = 0; i < 100; ++i) curve.KeyGetPtr(i)->Set(Sec(i), float(i), kLinear, 0, 0, 0, 0, 0, 0, 0, 0);
    curve.KeyModifyEnd(100);
    EXPECT_EQ(curve.GetUpdateId(), before + 1);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(curve.KeyFind(Sec(50)), 50.0);
    KFCurve other;
    other.KeyModifyBegin(10);
    other.KeyModifyEnd(1000000);
    EXPECT_EQ(other.KeyGetCount(), 32) << "cut to the one block that was reserved";
    other.KeyModifyBegin();
    other.KeyModifyEnd(-5);
    EXPECT_EQ(other.KeyGetCount(), 0);
}

TEST_F(KFCurveTest, SelectionChangesOnlyTheFullUpdateIdAndKeepsTheCallersBatch) {
    Fill(10);
    curve.KeySelectAll();
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_SELECTION, 0, 9, 2}));
    curve.KeySelectAll();
    EXPECT_EQ(log.events.size(), 1u) << "nothing changed, nothing reported";
    curve.KeyGetPtr(1)->SetSelected(false);
    log.events.clear();
    const int values = curve.GetValuesUpdateId();
    const int all = curve.GetUpdateId();
    curve.KeySelectAll();  // one key changes: one event, no bracket
    EXPECT_EQ(curve.GetUpdateId(), all + 0x10000);
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_SELECTION, 1, 1, 1}));
    // Several keys: two selection events inside a bracket, which counts once.
    curve.KeyUnselectAll();
    EXPECT_EQ(curve.GetUpdateId(), all + 3 * 0x10000 + 1);
    EXPECT_EQ(curve.GetValuesUpdateId(), (values + 1) & 0xFFFF);
    // Selection and value edits inside the caller's batch do not close it.
    log.events.clear();
    curve.KeyModifyBegin();
    curve.KeySelectAll();
    curve.KeyScaleValue(false, 2.0f);
    EXPECT_TRUE(log.events.empty());
    curve.KeyModifyEnd();
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_SELECTION | KFCURVEEVENT_KEY, 0, 9, 4}));
}

namespace {

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

TEST(KFCurveCallbacks, DestructionIsReportedEvenInsideABatch) {
    EventLog log;
    {
        KFCurve curve;
        curve.CallbackRegister(&EventLog::Record, &log);
        curve.KeyModifyBegin();
        curve.SetValue(2.0f);
    }
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY | KFCURVEEVENT_DEFAULT_VALUE | KFCURVEEVENT_DESTROY,
                                              -1, -1, 3}));
}

// ---- Value edits -------------------------------------------------------

TEST_F(KFCurveTest, ValueEditsOfAllOrSelectedKeysReportTheirSpan) {
    Fill(6);
    curve.SetValue(3.0f);
    log.events.clear();
    curve.KeyScaleValue(false, 2.0f);  // every key: the default value too
    EXPECT_EQ(curve.GetValue(), 6.0f);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, 0, 5, 2}));
    curve.KeyGetPtr(1)->SetSelected(true);
    curve.KeyGetPtr(4)->SetSelected(true);
    log.events.clear();
    curve.KeyScaleValueAndTangeant(true, -0.5f);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, -10, 40, 60, -40, 100}));
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, 1, 4, 2}));
    curve.KeyGetPtr(1)->SetSelected(false);
    curve.KeyMoveValueTo(true, 0.5f);
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, -10, 40, 60, 0.5f, 100}));
    curve.KeyMoveValueTo(false, 7.0f);
    EXPECT_EQ(curve.GetValue(), 6.0f) << "moving values leaves the default value alone";
    // Without keys the default value takes the edits, unless only the selection is asked for.
    KFCurve empty;
    empty.SetValue(2.0f);
    empty.KeyScaleValue(true, 5.0f);
    empty.KeyScaleValue(false, 5.0f);
    empty.KeyScaleTangeant(false, 5.0f);
    EXPECT_EQ(empty.GetValue(), 10.0f);
}

// ---- Numbering across extrapolation cycles ------------------------------

TEST_F(KFCurveTest, CountAllIncludesTheCyclesAndTimesFollowThem) {
    SetExtrapolation(curve, KFCURVE_EXTRAPOLATION_MIRROR, 2, KFCURVE_EXTRAPOLATION_REPETITION, 1);
    EXPECT_EQ(curve.KeyGetCountAll(), 0) << "no keys, never negative";
    int where = 9;
    EXPECT_EQ(curve.MapIndexAll(0, where), -1);
    EXPECT_EQ(where, 0);
    EXPECT_EQ(curve.KeyGetRawAll(0), nullptr);
    EXPECT_EQ(curve.KeyGetTimeAll(0), KTime::Infinite());
    Fill(1);
    EXPECT_EQ(curve.KeyGetCountAll(), 1);
    curve.KeyClear();
    Fill(4);  // times 0..3 s, span 3 s
    std::vector<double> seconds;
    for (int a = 0; a < curve.KeyGetCountAll(); ++a) seconds.push_back(curve.KeyGetTimeAll(a).GetSecondDouble());
    EXPECT_EQ(seconds, (std::vector<double>{-6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6}));
    // At -1 s (mirrored) and at 4 s (repeated) stands the key at 1 s.
    EXPECT_EQ(curve.KeyGetRawAll(5)->GetTime(), Sec(1));
    EXPECT_EQ(curve.KeyGetRawAll(10)->GetTime(), Sec(1));
    curve.SetPreExtrapolationCount(0xFFFFFFFFu);
    EXPECT_EQ(curve.KeyGetCountAll(), 0x7FFFFFFF) << "unbounded cycles saturate";
}

struct MapCase {
    int preMode;
    int postMode;
    std::vector<int> keys;  // MapIndexAll for every number
};

class KFCurveMapIndexAll : public KFCurveTest, public ::testing::WithParamInterface<MapCase> {};

TEST_P(KFCurveMapIndexAll, MapsEveryNumberToARealKey) {
    const MapCase& c = GetParam();
    Fill(4);  // 3 segments
    SetExtrapolation(curve, c.preMode, 2, c.postMode, 2);
    ASSERT_EQ(curve.KeyGetCountAll(), 16);
    std::vector<int> mapped;
    std::vector<int> regions;
    for (int a = -3; a <= 16; a += a == -3 ? 3 : 1) {
        int where = -1;
        mapped.push_back(curve.MapIndexAll(a, where));
        regions.push_back(where);
    }
    EXPECT_EQ(mapped, c.keys);
    EXPECT_EQ(regions, (std::vector<int>{0, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 4}));
}

// For -3, 0 .. 15 and 16: the numbers outside clamp to the end keys.
INSTANTIATE_TEST_SUITE_P(
    Modes, KFCurveMapIndexAll,
    ::testing::Values(
        MapCase{KFCURVE_EXTRAPOLATION_CONSTANT, KFCURVE_EXTRAPOLATION_CONSTANT,
                {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3}},
        MapCase{KFCURVE_EXTRAPOLATION_REPETITION, KFCURVE_EXTRAPOLATION_REPETITION,
                {0, 0, 1, 2, 0, 1, 2, 0, 1, 2, 3, 1, 2, 0, 1, 2, 0, 3}},
        // The cycle next to the keys is mirrored; the one beyond it is not.
        MapCase{KFCURVE_EXTRAPOLATION_MIRROR, KFCURVE_EXTRAPOLATION_MIRROR,
                {0, 0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 3}},
        // Modes without cycles never name a key past the last one.
        MapCase{KFCURVE_EXTRAPOLATION_KEEP_SLOPE, KFCURVE_EXTRAPOLATION_KEEP_SLOPE,
                {0, 0, 1, 2, 3, 3, 3, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3}},
        MapCase{77, -4, {0, 0, 1, 2, 3, 3, 3, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3}}));

TEST_F(KFCurveTest, AverageRateAndGuessWasDataClassifyTheLayout) {
    bool regular = true;
    KTime interval(-1), largest(-1), start(-1), period(-1);
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, &interval, &largest), KTime(0));
    EXPECT_FALSE(regular);
    EXPECT_EQ(curve.GuessWasData(&start, &period), 1);
    Fill(5);
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, &interval, &largest), Sec(1));
    EXPECT_TRUE(regular);
    curve.KeyGetPtr(3)->SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
    EXPECT_EQ(curve.GuessWasData(&start, &period), 2);
    EXPECT_EQ(period, Sec(1));
    curve.KeyGetPtr(4)->SetTime(Sec(4) + KTime(1));
    EXPECT_EQ(curve.GuessWasData(), 2) << "one tick of drift is tolerated";
    curve.KeyGetPtr(4)->SetTime(Sec(4) + KTime(2));
    EXPECT_EQ(curve.GuessWasData(), 1);
    curve.KeyGetPtr(2)->SetTangeantMode(KFCURVE_TANGEANT_USER);
    EXPECT_EQ(curve.GuessWasData(), 0) << "a hand-edited tangent";
    curve.KeyGetPtr(4)->SetTime(Sec(4));
    Add(curve, 9, MakeKey(0.0f));  // intervals 1, 1, 1, 1, 5
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, nullptr, &largest), Sec(9) / KTime(5));
    EXPECT_FALSE(regular);
    EXPECT_EQ(largest, Sec(5));
}
