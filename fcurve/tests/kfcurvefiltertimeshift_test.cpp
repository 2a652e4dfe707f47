#include <gtest/gtest.h>

#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefiltertimeshift.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::Add;
using fcurvetest::MakeKey;

namespace {

constexpr kLongLong kSecond = KTime::kTicksPerSecond;

std::vector<kLongLong> KeyTimes(const KFCurve& curve) {
    std::vector<kLongLong> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime().Get());
    return times;
}

void Keys(KFCurve& curve, std::initializer_list<double> seconds) {
    for (double s : seconds)
        Add(curve, s, MakeKey(static_cast<float>(s), fcurvetest::kCubic, KFCURVE_TANGEANT_USER, 2.0f, 3.0f));
}

TEST(KFCurveFilterTimeShiftAndScale, NewFilterHasTheEmptySpan) {
    KFCurveFilterTimeShiftAndScale filter;
    EXPECT_STREQ(filter.GetName(), "TimeShiftAndScaleFilter");
    EXPECT_EQ(filter.GetStartTime().Get(), 0);
    EXPECT_EQ(filter.GetStopTime().Get(), 0);
    KTime shift(kSecond);
    filter.SetShift(shift);
    filter.SetScale(3.0);
    filter.Reset();
    EXPECT_EQ(filter.GetStartTime(), KTime::MinusInfinite());
    EXPECT_EQ(filter.GetShift().Get(), kSecond) << "reset leaves shift and scale";
    EXPECT_EQ(filter.GetScale(), 3.0);
}

struct MoveCase {
    double shiftSeconds;
    double scale;
    std::vector<double> before;
    std::vector<double> after;
};

class TimeShiftMoves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(TimeShiftMoves, KeysMoveShiftFirstThenScaleAboutZero) {
    KFCurve curve;
    for (double s : GetParam().before) Keys(curve, {s});
    KFCurveFilterTimeShiftAndScale filter;
    KTime shift(static_cast<kLongLong>(GetParam().shiftSeconds * kSecond));
    filter.SetShift(shift);
    filter.SetScale(GetParam().scale);
    EXPECT_TRUE(filter.Apply(curve));
    std::vector<kLongLong> expected;
    for (double s : GetParam().after) expected.push_back(static_cast<kLongLong>(s * kSecond));
    EXPECT_EQ(KeyTimes(curve), expected);
    // Values and tangents travel with their keys.
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        EXPECT_FLOAT_EQ(curve.KeyGetPtr(i)->GetValue(), static_cast<float>(GetParam().before[i]));
        EXPECT_FLOAT_EQ(curve.KeyGetPtr(i)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 3.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, TimeShiftMoves,
                         ::testing::Values(MoveCase{1, 1.0, {0, 2}, {1, 3}}, MoveCase{0, 2.0, {1, 2}, {2, 4}},
                                           MoveCase{1, 2.0, {1}, {4}}, MoveCase{1, -1.0, {0, 2}, {1, 3}},
                                           MoveCase{-2, 0.5, {2, 4, 6}, {0, 1, 2}}));

TEST(KFCurveFilterTimeShiftAndScale, NothingToDoOrNoKeys) {
    KFCurve curve;
    Keys(curve, {1, 2});
    KFCurveFilterTimeShiftAndScale filter;
    for (double scale : {1.0, -1.0, 0.0}) {
        filter.SetScale(scale);
        EXPECT_FALSE(filter.Apply(curve));
        EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
        EXPECT_STREQ(filter.GetLastErrorString(), "TimeShiftAndScaleFilter, No key were changed by filter.");
    }
    EXPECT_EQ(KeyTimes(curve), (std::vector<kLongLong>{kSecond, 2 * kSecond}));
    KFCurve empty;
    filter.SetScale(2.0);
    EXPECT_FALSE(filter.Apply(empty));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "TimeShiftAndScaleFilter, No key to be filtered.");
}

TEST(KFCurveFilterTimeShiftAndScale, TheSpanIsNotUsed) {
    KFCurve curve;
    Keys(curve, {0, 10});
    KFCurveFilterTimeShiftAndScale filter;
    filter.SetStartTime(KTime(4 * kSecond));
    filter.SetStopTime(KTime(6 * kSecond));
    KTime shift(kSecond);
    filter.SetShift(shift);
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(KeyTimes(curve), (std::vector<kLongLong>{kSecond, 11 * kSecond}));
}

TEST(KFCurveFilterTimeShiftAndScale, KeysThatWouldWrapOrMergeAreRefused) {
    KFCurveFilterTimeShiftAndScale filter;
    KFCurve late;
    KFCurveKey key = MakeKey(1.0f);
    late.KeyAdd(KTime(0), key);
    late.KeyAdd(KTime(KTime::kInfiniteTicks - 10), key);
    KTime shift(kSecond);
    filter.SetShift(shift);
    EXPECT_FALSE(filter.Apply(late)) << "the last key would wrap to a negative time";
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_EQ(KeyTimes(late), (std::vector<kLongLong>{0, KTime::kInfiniteTicks - 10}));

    // Neighbouring ticks would round onto one time.
    KFCurve dense;
    dense.KeyAdd(KTime(kSecond), key);
    dense.KeyAdd(KTime(kSecond + 1), key);
    KTime none(0);
    filter.SetShift(none);
    filter.SetScale(1e-9);
    EXPECT_FALSE(filter.Apply(dense));
    EXPECT_EQ(KeyTimes(dense), (std::vector<kLongLong>{kSecond, kSecond + 1}));

    filter.SetScale(1e12);
    EXPECT_FALSE(filter.Apply(dense)) << "beyond the time line";
    EXPECT_EQ(KeyTimes(dense), (std::vector<kLongLong>{kSecond, kSecond + 1}));
}

void CountEvents(KFCurve*, KFCurveEvent*, void* data) { ++*static_cast<int*>(data); }

TEST(KFCurveFilterTimeShiftAndScale, TreeFormMovesEveryCurveAndReportsEachOnce) {
    KFCurveNode* node = KFCurveNodeCreate("T", static_cast<KDataType*>(nullptr));
    Keys(*node->FindOrCreate("X")->FCurveGet(), {0, 1, 2});
    node->FindOrCreate("Y");  // no keys
    Keys(*node->FindOrCreate("Z")->FCurveGet(), {5});
    int events = 0;
    node->Get(0)->FCurveGet()->CallbackRegister(CountEvents, &events);
    KFCurveFilterTimeShiftAndScale filter;
    KTime shift(-kSecond);
    filter.SetShift(shift);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(KeyTimes(*node->Get(0)->FCurveGet()), (std::vector<kLongLong>{-kSecond, 0, kSecond}));
    EXPECT_EQ(KeyTimes(*node->Get(2)->FCurveGet()), (std::vector<kLongLong>{4 * kSecond}));
    EXPECT_EQ(events, 1);
    node->Get(0)->FCurveGet()->CallbackUnregister(CountEvents, &events);
    node->Destroy();
}

}  // namespace
