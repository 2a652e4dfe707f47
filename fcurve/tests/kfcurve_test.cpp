#include "fcurve/kfcurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

using namespace zeqsdk_400;

namespace {

KTime Sec(kLongLong seconds) { return KTime(seconds * KTime::kTicksPerSecond); }

KFCurveKey CubicAuto(float value) {
    KFCurveKey key{};
    key.Set(KTime(0), value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0, 0, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
    return key;
}

// Records every delivery of a curve's callbacks.
struct EventLog {
    std::vector<KFCurveEvent> events;
    static void Record(KFCurve*, KFCurveEvent* event, void* data) {
        static_cast<EventLog*>(data)->events.push_back(*event);
    }
};

class KFCurveTest : public ::testing::Test {
protected:
    void SetUp() override { curve.CallbackRegister(&EventLog::Record, &log); }

    // Keys at 0, 1, 2, ... seconds with value 10 x their index.
    void Fill(int count) {
        for (int i = 0; i < count; ++i) {
            KFCurveKey key = CubicAuto(10.0f * i);
            curve.KeyAdd(Sec(i), key);
        }
        log.events.clear();
    }

    void ExpectOrdered() {
        for (int i = 1; i < curve.KeyGetCount(); ++i)
            ASSERT_LT(curve.KeyGetPtr(i - 1)->GetTime(), curve.KeyGetPtr(i)->GetTime()) << "at key " << i;
    }

    EventLog log;  // outlives the curve, which reports its destruction
    KFCurve curve;
};

}  // namespace

// ---- Search ------------------------------------------------------------

TEST_F(KFCurveTest, KeyFindWorkedExamples) {
    EXPECT_EQ(curve.KeyFind(Sec(1)), -1.0);
    Fill(6);
    EXPECT_EQ(curve.KeyFind(Sec(-1)), -0.5);
    EXPECT_EQ(curve.KeyFind(Sec(9)), 5.5);
    EXPECT_EQ(curve.KeyFind(Sec(3)), 3.0);
    EXPECT_EQ(curve.KeyFind(Sec(3) + KTime(KTime::kTicksPerSecond / 2)), 3.5);
    EXPECT_DOUBLE_EQ(curve.KeyFind(Sec(1) + KTime(KTime::kTicksPerSecond / 4)), 1.25);
}

TEST_F(KFCurveTest, KeyFindWritesTheHintBackFromEitherSide) {
    Fill(10);
    int hint = 9;
    EXPECT_DOUBLE_EQ(curve.KeyFind(Sec(2) + KTime(KTime::kTicksPerSecond / 2), &hint), 2.5);
    EXPECT_EQ(hint, 2);
    hint = 0;
    EXPECT_DOUBLE_EQ(curve.KeyFind(Sec(7) + KTime(KTime::kTicksPerSecond / 2), &hint), 7.5);
    EXPECT_EQ(hint, 8);
    hint = 1000;  // out of range: clamped
    EXPECT_EQ(curve.KeyFind(Sec(4), &hint), 4.0);
    EXPECT_EQ(hint, 4);
    hint = -50;
    EXPECT_EQ(curve.KeyFind(Sec(20), &hint), 9.5);
    EXPECT_EQ(hint, 10);
    hint = 3;
    EXPECT_EQ(curve.KeyFind(Sec(-20), &hint), -0.5);
    EXPECT_EQ(hint, 0);
}

TEST_F(KFCurveTest, KeyFindAgreesWithAPlainScanFromAnyHint) {
    std::mt19937 random(99);
    std::vector<kLongLong> times;
    kLongLong t = 0;
    for (int i = 0; i < 1500; ++i) {
        t += 1 + static_cast<kLongLong>(random() % 5000);
        times.push_back(t);
        curve.KeyAppendFast(KTime(t), 0.0f);
    }
    const int n = static_cast<int>(times.size());
    for (int q = 0; q < 20000; ++q) {
        kLongLong query = static_cast<kLongLong>(random() % static_cast<unsigned>(t + 2000)) - 1000;
        if (q % 4 == 0) query = times[random() % times.size()];
        // Reference: the first key at or after the query.
        const int k = static_cast<int>(std::lower_bound(times.begin(), times.end(), query) - times.begin());
        double expected;
        if (k < n && times[k] == query)
            expected = k;
        else if (k == 0)
            expected = -0.5;
        else if (k == n)
            expected = n - 0.5;
        else
            expected = (k - 1) + static_cast<double>(query - times[k - 1]) / static_cast<double>(times[k] - times[k - 1]);
        int hint = static_cast<int>(random() % (n + 20)) - 10;
        ASSERT_NEAR(curve.KeyFind(KTime(query), &hint), expected, 1e-9) << "query " << query;
        ASSERT_GE(hint, 0);
        ASSERT_LE(hint, n);
    }
}

// ---- Insertion, replacement, removal ------------------------------------

TEST_F(KFCurveTest, KeyAddAtAnExistingTimeReplacesTheKey) {
    Fill(4);
    KFCurveKey key = CubicAuto(99.0f);
    key.SetTime(Sec(50));  // the given time wins over the key's own
    EXPECT_EQ(curve.KeyAdd(Sec(2), key), 2);
    EXPECT_EQ(curve.KeyGetCount(), 4);
    EXPECT_EQ(curve.KeyGet(2).GetValue(), 99.0f);
    EXPECT_EQ(curve.KeyGet(2).GetTime(), Sec(2));
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mKeyIndexStart, 2);
}

TEST_F(KFCurveTest, KeyAddNextToAKeyOnAVeryLongSegmentInserts) {
    // One tick before the second key the fraction rounds to a whole index.
    const kLongLong far = kLongLong(1) << 60;
    KFCurveKey key = CubicAuto(1.0f);
    curve.KeyAdd(KTime(0), key);
    curve.KeyAdd(KTime(far), key);
    KFCurveKey inserted = CubicAuto(2.0f);
    EXPECT_EQ(curve.KeyAdd(KTime(far - 1), inserted), 1);
    ASSERT_EQ(curve.KeyGetCount(), 3);
    EXPECT_EQ(curve.KeyGet(1).GetTime().Get(), far - 1);
    EXPECT_EQ(curve.KeyGet(2).GetTime().Get(), far);
}

class KFCurveBlockBoundary : public KFCurveTest, public ::testing::WithParamInterface<int> {};

TEST_P(KFCurveBlockBoundary, AddingAtTheFrontShiftsEveryKey) {
    const int count = GetParam();
    Fill(count);
    KFCurveKey key = CubicAuto(-1.0f);
    int last = -7;
    EXPECT_EQ(curve.KeyAdd(Sec(-1), key, &last), 0);
    EXPECT_EQ(last, 0);
    ASSERT_EQ(curve.KeyGetCount(), count + 1);
    EXPECT_EQ(curve.KeyGet(0).GetValue(), -1.0f);
    for (int i = 1; i <= count; ++i) {
        EXPECT_EQ(curve.KeyGet(i).GetTime(), Sec(i - 1)) << i;
        EXPECT_EQ(curve.KeyGet(i).GetValue(), 10.0f * (i - 1)) << i;
    }
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_KEY);
    EXPECT_EQ(log.events[0].mKeyIndexStart, 0);
}

TEST_P(KFCurveBlockBoundary, RemovingTheFirstKeyShiftsEveryKeyBack) {
    const int count = GetParam();
    Fill(count);
    EXPECT_EQ(curve.KeyRemove(0), 0);
    ASSERT_EQ(curve.KeyGetCount(), count - 1);
    for (int i = 0; i < count - 1; ++i) EXPECT_EQ(curve.KeyGet(i).GetValue(), 10.0f * (i + 1)) << i;
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
        } else {
            const kLongLong ticks = static_cast<kLongLong>(random() % 400) * 1000;
            const float value = static_cast<float>(step);
            KFCurveKey key = CubicAuto(value);
            curve.KeyAdd(KTime(ticks), key);
            auto it = std::lower_bound(model.begin(), model.end(), std::make_pair(ticks, -1e30f));
            if (it != model.end() && it->first == ticks)
                it->second = value;
            else
                model.insert(it, {ticks, value});
        }
    }
    ASSERT_EQ(curve.KeyGetCount(), static_cast<int>(model.size()));
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        EXPECT_EQ(curve.KeyGet(i).GetTime().Get(), model[i].first);
        EXPECT_EQ(curve.KeyGet(i).GetValue(), model[i].second);
    }
}

TEST_F(KFCurveTest, KeySetRefusesABrokenOrder) {
    Fill(3);
    KFCurveKey key = CubicAuto(5.0f);
    key.SetTime(Sec(0));
    EXPECT_EQ(curve.KeySet(1, key), 1) << "equal to the previous key's time";
    key.SetTime(Sec(2));
    EXPECT_EQ(curve.KeySet(1, key), 1) << "equal to the next key's time";
    EXPECT_EQ(curve.KeySet(3, key), 1) << "outside the curve";
    EXPECT_EQ(curve.KeySet(-1, key), 1);
    EXPECT_TRUE(log.events.empty());
    key.SetTime(Sec(1) + KTime(1));
    EXPECT_EQ(curve.KeySet(1, key), 0);
    EXPECT_EQ(curve.KeyGet(1).GetValue(), 5.0f);
    ASSERT_EQ(log.events.size(), 1u);
}

TEST_F(KFCurveTest, RemoveOutsideTheCurveIsRefused) {
    Fill(3);
    EXPECT_EQ(curve.KeyRemove(3), 1);
    EXPECT_EQ(curve.KeyRemove(-1), 1);
    EXPECT_EQ(curve.KeyGetCount(), 3);
}

TEST_F(KFCurveTest, AppendFastFillsWithoutEvents) {
    const int before = curve.GetUpdateId();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(curve.KeyAppendFast(Sec(i), static_cast<float>(i)), i);
    EXPECT_EQ(curve.KeyGetCount(), 100);
    EXPECT_EQ(curve.GetUpdateId(), before + 100);
    EXPECT_TRUE(log.events.empty());
    const KFCurveKey key = curve.KeyGet(42);
    EXPECT_EQ(key.GetInterpolation(), KFCURVE_INTERPOLATION_CUBIC);
    EXPECT_EQ(key.GetTangeantMode(), KFCURVE_TANGEANT_AUTO);
    EXPECT_NEAR(key.GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 1.0 / 3.0, 1e-4);
}

TEST_F(KFCurveTest, AppendFastIntoARemovedKeysSlotStartsClean) {
    Fill(3);
    KFCurveKey* last = curve.KeyGetPtr(2);
    last->SetTangeantVelocityMode(KFCURVE_VELOCITY_ALL);
    last->SetFocus(true);
    last->SetConstantMode(KFCURVE_CONSTANT_NEXT);
    curve.KeyRemove(2);
    ASSERT_EQ(curve.KeyAppendFast(Sec(5), 1.0f), 2);
    const KFCurveKey key = curve.KeyGet(2);
    EXPECT_EQ(key.GetTangeantVelocityMode(), 0u);
    EXPECT_FALSE(key.GetFocus());
    EXPECT_EQ(key.GetDataDouble(KFCURVEKEY_RIGHT_VELOCITY), 0.0f);
}

// ---- Batches and callbacks ---------------------------------------------

TEST_F(KFCurveTest, HeldCallbacksHearThreeEditsOnce) {
    Fill(8);
    curve.CallbackEnable(false);
    KFCurveKey key = CubicAuto(1.0f);
    curve.KeyAdd(Sec(3), key);  // replaces key 3
    curve.SetValue(4.0f);
    curve.KeyRemove(7);  // the last key: one event at the key before it
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(curve.CallbackIsEnable());
    curve.CallbackEnable(true);
    ASSERT_EQ(log.events.size(), 1u);
    const KFCurveEvent& event = log.events[0];
    EXPECT_EQ(event.mType, KFCURVEEVENT_KEY | KFCURVEEVENT_DEFAULT_VALUE);
    EXPECT_EQ(event.mEventCount, 3);
    EXPECT_EQ(event.mKeyIndexStart, -1) << "the default value change names no key";
    EXPECT_EQ(event.mKeyIndexStop, 6);
    curve.CallbackEnable(true);
    EXPECT_EQ(log.events.size(), 1u) << "nothing held, nothing delivered";
}

TEST_F(KFCurveTest, BatchBracketDeliversTheUnionOfKeyEdits) {
    Fill(8);
    curve.KeyModifyBegin();
    KFCurveKey key = CubicAuto(1.0f);
    curve.KeyAdd(Sec(2), key);
    curve.KeyAdd(Sec(6), key);
    curve.KeyAdd(Sec(4), key);
    EXPECT_TRUE(log.events.empty());
    const int before = curve.GetUpdateId();
    curve.KeyModifyEnd();
    EXPECT_EQ(curve.GetUpdateId(), before + 1);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_KEY);
    EXPECT_EQ(log.events[0].mEventCount, 3);
    EXPECT_EQ(log.events[0].mKeyIndexStart, 2);
    EXPECT_EQ(log.events[0].mKeyIndexStop, 6);
}

TEST_F(KFCurveTest, CallbackClearDropsHeldEvents) {
    Fill(3);
    curve.KeyModifyBegin();
    curve.SetValue(2.0f);
    curve.CallbackClear();
    curve.KeyModifyEnd();
    EXPECT_TRUE(log.events.empty());
}

TEST_F(KFCurveTest, ModifyWithReservedKeysWrittenInPlace) {
    const int before = curve.GetUpdateId();
    curve.KeyModifyBegin(100);
    for (int i = 0; i < 100; ++i) {
        KFCurveKey* key = curve.KeyGetPtr(i);
        key->Set(Sec(i), static_cast<float>(i), KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    curve.KeyModifyEnd(100);
    EXPECT_EQ(curve.KeyGetCount(), 100);
    EXPECT_EQ(curve.GetUpdateId(), before + 1);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(curve.KeyFind(Sec(50)), 50.0);
}

TEST_F(KFCurveTest, ModifyEndCannotExposeUnreservedKeys) {
    curve.KeyModifyBegin(10);
    curve.KeyModifyEnd(1000000);
    EXPECT_EQ(curve.KeyGetCount(), 32) << "cut to the one block that was reserved";
    curve.KeyModifyBegin();
    curve.KeyModifyEnd(-5);
    EXPECT_EQ(curve.KeyGetCount(), 0);
    curve.KeyModifyBegin(-5);
    curve.KeyModifyEnd(0);
    EXPECT_EQ(curve.KeyGetCount(), 0);
}

TEST_F(KFCurveTest, SelectionChangesOnlyTheFullUpdateId) {
    Fill(4);
    curve.KeyGetPtr(0)->SetSelected(true);
    curve.KeyGetPtr(2)->SetSelected(true);
    curve.KeyGetPtr(3)->SetSelected(true);
    const int values = curve.GetValuesUpdateId();
    const int all = curve.GetUpdateId();
    curve.KeySelectAll();  // one key changes: one event, no bracket
    EXPECT_EQ(curve.GetUpdateId(), all + 0x10000);
    EXPECT_EQ(curve.GetValuesUpdateId(), values);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_SELECTION);
    EXPECT_EQ(log.events[0].mKeyIndexStart, 1);

    // Several keys: two selection events inside a bracket, which counts once.
    curve.KeyUnselectAll();
    EXPECT_EQ(curve.GetUpdateId(), all + 3 * 0x10000 + 1);
    EXPECT_EQ(curve.GetValuesUpdateId(), (values + 1) & 0xFFFF);
}

TEST_F(KFCurveTest, SelectAllReportsOnceWithTheSpan) {
    Fill(10);
    curve.KeySelectAll();
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_SELECTION);
    EXPECT_EQ(log.events[0].mKeyIndexStart, 0);
    EXPECT_EQ(log.events[0].mKeyIndexStop, 9);
    EXPECT_EQ(log.events[0].mEventCount, 2);
    EXPECT_EQ(curve.KeyGetSelectionCount(), 10);
    curve.KeySelectAll();
    EXPECT_EQ(log.events.size(), 1u) << "nothing changed, nothing reported";
}

TEST_F(KFCurveTest, InternalBatchesDoNotSplitTheCallersBatch) {
    Fill(10);
    curve.KeyModifyBegin();
    curve.KeySelectAll();
    curve.KeyScaleValue(false, 2.0f);
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(curve.CallbackIsEnable());
    curve.KeyModifyEnd();
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_SELECTION | KFCURVEEVENT_KEY);
    EXPECT_EQ(log.events[0].mEventCount, 4);
}

namespace {

std::vector<int> gCallOrder;
void First(KFCurve*, KFCurveEvent*, void* data) { gCallOrder.push_back(*static_cast<int*>(data)); }
void Second(KFCurve*, KFCurveEvent*, void* data) { gCallOrder.push_back(100 + *static_cast<int*>(data)); }

}  // namespace

TEST(KFCurveCallbacks, UnregisterRemovesTheLatestEqualRegistration) {
    int a = 1;
    int b = 2;
    KFCurve curve;
    curve.CallbackRegister(&First, &a);
    curve.CallbackRegister(&Second, &b);
    curve.CallbackRegister(&First, &a);
    curve.CallbackRegister(&First, &b);
    curve.CallbackUnregister(&First, &a);
    gCallOrder.clear();
    curve.SetValue(1.0f);
    EXPECT_EQ(gCallOrder, (std::vector<int>{1, 102, 2}));
    curve.CallbackUnregister(&Second, &a);  // no such pair
    curve.CallbackUnregister(&First, &a);
    gCallOrder.clear();
    curve.SetValue(2.0f);
    EXPECT_EQ(gCallOrder, (std::vector<int>{102, 2}));
}

namespace {

struct Reentrant {
    int calls = 0;
    static void OnEvent(KFCurve* curve, KFCurveEvent* event, void* data) {
        auto* self = static_cast<Reentrant*>(data);
        ++self->calls;
        // Editing from a callback, and unregistering while the list is walked.
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
        curve.KeyAppendFast(KTime(0), 1.0f);
        curve.KeyModifyBegin();
    }
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_KEY | KFCURVEEVENT_DESTROY);
}

TEST(KFCurveCallbacks, SettersReportTheirEvents) {
    EventLog log;
    KFCurve* curve = KFCurveCreate();
    curve->CallbackRegister(&EventLog::Record, &log);
    const int before = curve->GetUpdateId();
    curve->SetValue(2.0f);
    EXPECT_EQ(curve->GetUpdateId(), before + 2);
    curve->SetPreExtrapolationCount(3);
    curve->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    ASSERT_EQ(log.events.size(), 3u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_DEFAULT_VALUE);
    EXPECT_EQ(log.events[1].mType, KFCURVEEVENT_KEY);
    const float rgb[3] = {0.5f, 0.25f, 0.0f};
    curve->SetColor(rgb);
    curve->SetColor(nullptr);
    EXPECT_EQ(curve->GetColor()[1], 0.25f);
    log.events.clear();
    curve->Destroy();
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0].mType, KFCURVEEVENT_KEY);
    EXPECT_EQ(log.events[1].mType, KFCURVEEVENT_DESTROY);
}

// ---- Memory ------------------------------------------------------------

TEST(KFCurveMemory, ClearAndShrinkGiveEverythingBack) {
    const kLongLong baseline = KFCurve::GetRecordingMemory();
    KFCurve curve;
    for (int i = 0; i < 5000; ++i) curve.KeyAppendFast(KTime(i), 0.0f);
    EXPECT_GT(KFCurve::GetRecordingMemory(), baseline + 5000 * 32);
    curve.KeyClear();
    EXPECT_EQ(KFCurve::GetRecordingMemory(), baseline);

    for (int i = 0; i < 40; ++i) curve.KeyAppendFast(KTime(i), 0.0f);
    while (curve.KeyGetCount() > 0) curve.KeyRemove(0);
    EXPECT_GT(KFCurve::GetRecordingMemory(), baseline);
    curve.KeyShrink();
    EXPECT_EQ(KFCurve::GetRecordingMemory(), baseline);
    curve.KeyShrink();
    EXPECT_EQ(KFCurve::GetRecordingMemory(), baseline);
}

TEST(KFCurveMemory, ShrinkKeepsTheKeysInUse) {
    KFCurve curve;
    for (int i = 0; i < 10000; ++i) curve.KeyAppendFast(KTime(i), static_cast<float>(i));
    const kLongLong full = KFCurve::GetRecordingMemory();
    curve.KeyModifyBegin();
    curve.KeyModifyEnd(100);
    curve.KeyShrink();
    EXPECT_LT(KFCurve::GetRecordingMemory(), full - 9000 * 32);
    ASSERT_EQ(curve.KeyGetCount(), 100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(curve.KeyGet(i).GetValue(), static_cast<float>(i));
    // The curve grows again after shrinking.
    for (int i = 100; i < 3000; ++i) curve.KeyAppendFast(KTime(i), static_cast<float>(i));
    EXPECT_EQ(curve.KeyGet(2999).GetValue(), 2999.0f);
    EXPECT_EQ(curve.KeyGet(99).GetValue(), 99.0f);
}

TEST(KFCurveMemory, ImpossibleSizesAreRefused) {
    KFCurve curve;
    EXPECT_FALSE(curve.InitBuffers(0x7FFFFFFF));
    curve.KeyModifyBegin(0x7FFFFFFF);
    curve.KeyModifyEnd(0x7FFFFFFF);
    EXPECT_EQ(curve.KeyGetCount(), 0);
}

// ---- Batch value edits -------------------------------------------------

TEST_F(KFCurveTest, ScalingEveryKeyScalesTheDefaultValueToo) {
    Fill(5);
    curve.SetValue(3.0f);
    log.events.clear();
    curve.KeyScaleValue(false, 2.0f);
    EXPECT_EQ(curve.GetValue(), 6.0f);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(curve.KeyGet(i).GetValue(), 20.0f * i);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mKeyIndexStart, 0);
    EXPECT_EQ(log.events[0].mKeyIndexStop, 4);
    EXPECT_EQ(log.events[0].mEventCount, 2);

    curve.KeyMoveValueTo(false, 7.0f);
    EXPECT_EQ(curve.GetValue(), 6.0f) << "moving values leaves the default value alone";
    EXPECT_EQ(curve.KeyGet(3).GetValue(), 7.0f);
}

TEST_F(KFCurveTest, SelectedOnlyEditsReportTheirSpan) {
    Fill(6);
    curve.KeyGetPtr(1)->SetSelected(true);
    curve.KeyGetPtr(4)->SetSelected(true);
    curve.KeyScaleValueAndTangeant(true, -1.0f);
    EXPECT_EQ(curve.KeyGet(1).GetValue(), -10.0f);
    EXPECT_EQ(curve.KeyGet(2).GetValue(), 20.0f);
    EXPECT_EQ(curve.KeyGet(4).GetValue(), -40.0f);
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].mKeyIndexStart, 1);
    EXPECT_EQ(log.events[0].mKeyIndexStop, 4);

    curve.KeyGetPtr(1)->SetSelected(false);
    curve.KeyMoveValueTo(true, 0.5f);
    EXPECT_EQ(curve.KeyGet(4).GetValue(), 0.5f);
    EXPECT_EQ(curve.KeyGet(1).GetValue(), -10.0f);
    EXPECT_EQ(log.events.back().mEventCount, 2);
    EXPECT_EQ(log.events.back().mKeyIndexStop, 4);
}

TEST_F(KFCurveTest, EditsOfACurveWithoutKeysTouchTheDefaultValue) {
    curve.SetValue(2.0f);
    curve.KeyScaleValue(true, 5.0f);
    EXPECT_EQ(curve.GetValue(), 2.0f) << "selected only, and the curve is not selected";
    curve.KeyScaleValue(false, 5.0f);
    EXPECT_EQ(curve.GetValue(), 10.0f);
    curve.KeyScaleTangeant(false, 5.0f);
    EXPECT_EQ(curve.GetValue(), 10.0f);
    curve.KeyMoveValueTo(false, -1.0f);
    EXPECT_EQ(curve.GetValue(), -1.0f);
}

// ---- Numbering across extrapolation cycles ------------------------------

TEST_F(KFCurveTest, CountAllIncludesTheCycles) {
    EXPECT_EQ(curve.KeyGetCountAll(), 0);
    curve.SetPreExtrapolationCount(2);
    curve.SetPostExtrapolationCount(1);
    EXPECT_EQ(curve.KeyGetCountAll(), 0) << "no keys, never negative";
    Fill(1);
    EXPECT_EQ(curve.KeyGetCountAll(), 1);
    curve.KeyClear();
    Fill(5);
    EXPECT_EQ(curve.KeyGetCountAll(), 17);
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
    curve.SetPreExtrapolation(c.preMode);
    curve.SetPostExtrapolation(c.postMode);
    curve.SetPreExtrapolationCount(2);
    curve.SetPostExtrapolationCount(2);
    ASSERT_EQ(curve.KeyGetCountAll(), 16);
    std::vector<int> mapped;
    std::vector<int> regions;
    for (int a = 0; a < 16; ++a) {
        int where = -1;
        mapped.push_back(curve.MapIndexAll(a, where));
        regions.push_back(where);
    }
    EXPECT_EQ(mapped, c.keys);
    EXPECT_EQ(regions, (std::vector<int>{1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3}));
    int where = -1;
    EXPECT_EQ(curve.MapIndexAll(-3, where), 0);
    EXPECT_EQ(where, 0);
    EXPECT_EQ(curve.MapIndexAll(16, where), 3);
    EXPECT_EQ(where, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, KFCurveMapIndexAll,
    ::testing::Values(
        MapCase{KFCURVE_EXTRAPOLATION_CONSTANT, KFCURVE_EXTRAPOLATION_CONSTANT,
                {0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3}},
        MapCase{KFCURVE_EXTRAPOLATION_REPETITION, KFCURVE_EXTRAPOLATION_REPETITION,
                {0, 1, 2, 0, 1, 2, 0, 1, 2, 3, 1, 2, 0, 1, 2, 0}},
        // The cycle next to the keys is mirrored; the one beyond it is not.
        MapCase{KFCURVE_EXTRAPOLATION_MIRROR, KFCURVE_EXTRAPOLATION_MIRROR,
                {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 3}},
        // Modes without cycles never name a key past the last one.
        MapCase{KFCURVE_EXTRAPOLATION_KEEP_SLOPE, KFCURVE_EXTRAPOLATION_KEEP_SLOPE,
                {0, 1, 2, 3, 3, 3, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3}},
        MapCase{77, -4, {0, 1, 2, 3, 3, 3, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3}}));

TEST_F(KFCurveTest, MapIndexAllOnACurveWithoutKeys) {
    int where = 9;
    EXPECT_EQ(curve.MapIndexAll(0, where), -1);
    EXPECT_EQ(where, 0);
    EXPECT_EQ(curve.KeyGetRawAll(0), nullptr);
    EXPECT_EQ(curve.KeyGetTimeAll(0), KTime::Infinite());
}

TEST_F(KFCurveTest, TimesAcrossCyclesFollowTheMirroredShape) {
    Fill(4);  // times 0..3 s, span 3 s
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPreExtrapolationCount(2);
    curve.SetPostExtrapolationCount(1);
    std::vector<kLongLong> seconds;
    for (int a = 0; a < curve.KeyGetCountAll(); ++a) {
        seconds.push_back(curve.KeyGetTimeAll(a).Get() / KTime::kTicksPerSecond);
        const KFCurveKey* key = curve.KeyGetRawAll(a);
        ASSERT_NE(key, nullptr);
    }
    EXPECT_EQ(seconds, (std::vector<kLongLong>{-6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6}));
    // Mirrored cycle next to the keys: at -1 s stands the key at +1 s.
    EXPECT_EQ(curve.KeyGetRawAll(5)->GetTime(), Sec(1));
    // Repetition after the keys: at 4 s stands the key at 1 s.
    EXPECT_EQ(curve.KeyGetRawAll(10)->GetTime(), Sec(1));
}

// ---- Key layout --------------------------------------------------------

TEST_F(KFCurveTest, AverageRateOfRegularAndIrregularKeys) {
    bool regular = true;
    KTime interval(-1);
    KTime largest(-1);
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, &interval, &largest), KTime(0));
    EXPECT_FALSE(regular);
    EXPECT_EQ(largest, KTime(0));

    Fill(5);
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, &interval, &largest), Sec(1));
    EXPECT_TRUE(regular);
    EXPECT_EQ(interval, Sec(1));
    EXPECT_EQ(largest, Sec(1));

    KFCurveKey key = CubicAuto(0.0f);
    curve.KeyAdd(Sec(9), key);  // intervals 1, 1, 1, 1, 5
    EXPECT_EQ(curve.KeyGetAverageRate(&regular, nullptr, &largest), Sec(9) / KTime(5));
    EXPECT_FALSE(regular);
    EXPECT_EQ(largest, Sec(5));
}

TEST_F(KFCurveTest, GuessWasDataClassifiesTheLayout) {
    KTime start(-1);
    KTime period(-1);
    EXPECT_EQ(curve.GuessWasData(&start, &period), 1);
    Fill(5);
    curve.KeyGetPtr(3)->SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
    EXPECT_EQ(curve.GuessWasData(&start, &period), 2);
    EXPECT_EQ(start, Sec(0));
    EXPECT_EQ(period, Sec(1));

    curve.KeyGetPtr(4)->SetTime(Sec(4) + KTime(1));
    EXPECT_EQ(curve.GuessWasData(), 2) << "one tick of drift is tolerated";
    curve.KeyGetPtr(4)->SetTime(Sec(4) + KTime(2));
    EXPECT_EQ(curve.GuessWasData(), 1);

    curve.KeyGetPtr(2)->SetTangeantMode(KFCURVE_TANGEANT_USER);
    EXPECT_EQ(curve.GuessWasData(), 0) << "a hand-edited tangent";
    curve.KeyGetPtr(2)->SetTangeantMode(KFCURVE_TANGEANT_AUTO);
    curve.KeyGetPtr(0)->SetInterpolation(KFCURVE_INTERPOLATION_LINEAR);
    EXPECT_EQ(curve.GuessWasData(), 0) << "a kind that the previous key lacks";
}
