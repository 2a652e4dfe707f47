#include "fcurve/kfcurvefiltertimeshift.h"

#include <gtest/gtest.h>

#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

void Keys(KFCurve& curve, const std::vector<double>& seconds) {
    for (double s : seconds) Add(curve, s, MakeKey(static_cast<float>(s), kCubic, KFCURVE_TANGEANT_USER, 2.0f, 3.0f));
}

struct MoveCase {
    double shiftSeconds;
    double scale;
    std::vector<double> before;
    std::vector<KTime> after;
};

class TimeShiftMoves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(TimeShiftMoves, KeysMoveShiftFirstThenScaleAboutZero) {
    KFCurve curve;
    Keys(curve, GetParam().before);
    KFCurveFilterTimeShiftAndScale filter;
    KTime shift(static_cast<kLongLong>(GetParam().shiftSeconds * kSecond));
    filter.SetShift(shift);
    filter.SetScale(GetParam().scale);
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(Times(curve), GetParam().after);
    // Values and tangents travel with their keys.
    EXPECT_EQ(Values(curve), std::vector<float>(GetParam().before.begin(), GetParam().before.end()));
    for (int i = 0; i < curve.KeyGetCount(); ++i)
        EXPECT_FLOAT_EQ(curve.KeyGetPtr(i)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 3.0f);
}

INSTANTIATE_TEST_SUITE_P(Examples, TimeShiftMoves,
                         ::testing::Values(MoveCase{1, 1.0, {0, 2}, Secs({1, 3})},
                                           MoveCase{0, 2.0, {1, 2}, Secs({2, 4})}, MoveCase{1, 2.0, {1}, Secs({4})},
                                           MoveCase{1, -1.0, {0, 2}, Secs({1, 3})},
                                           MoveCase{-2, 0.5, {2, 4, 6}, Secs({0, 1, 2})}));

TEST(KFCurveFilterTimeShiftAndScale, NothingToDoNoKeysAndTheSpanIsNotUsed) {
    KFCurve curve;
    Keys(curve, {1, 2});
    KFCurveFilterTimeShiftAndScale filter;
    for (double scale : {1.0, -1.0, 0.0}) {
        filter.SetScale(scale);
        EXPECT_FALSE(filter.Apply(curve));
        EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
        EXPECT_STREQ(filter.GetLastErrorString(), "TimeShiftAndScaleFilter, No key were changed by filter.");
    }
    EXPECT_EQ(Times(curve), Secs({1, 2}));
    KFCurve empty;
    filter.SetScale(2.0);
    EXPECT_FALSE(filter.Apply(empty));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "TimeShiftAndScaleFilter, No key to be filtered.");

    // Keys outside the span move too.
    filter.SetScale(1.0);
    filter.SetStartTime(Sec(1.5));
    filter.SetStopTime(Sec(1.8));
    KTime shift(kSecond);
    filter.SetShift(shift);
    EXPECT_TRUE(filter.Apply(curve));
    EXPECT_EQ(Times(curve), Secs({2, 3}));
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
    EXPECT_EQ(Times(late), (std::vector<KTime>{KTime(0), KTime(KTime::kInfiniteTicks - 10)}));

    // Neighbouring ticks would round onto one time, or go beyond the time line.
    KFCurve dense;
    dense.KeyAdd(KTime(kSecond), key);
    dense.KeyAdd(KTime(kSecond + 1), key);
    KTime none(0);
    filter.SetShift(none);
    for (double scale : {1e-9, 1e12}) {
        filter.SetScale(scale);
        EXPECT_FALSE(filter.Apply(dense)) << scale;
        EXPECT_EQ(Times(dense), (std::vector<KTime>{KTime(kSecond), KTime(kSecond + 1)}));
    }
}

TEST(KFCurveFilterTimeShiftAndScale, TreeFormMovesEveryCurveAndReportsEachOnce) {
    NodePtr node(KFCurveNodeCreate("T"));
    Keys(*node->FindOrCreate("X")->FCurveGet(), {0, 1, 2});
    node->FindOrCreate("Y");  // no keys
    Keys(*node->FindOrCreate("Z")->FCurveGet(), {5});
    int events = 0;
    C(node, 0).CallbackRegister(CountEvents, &events);
    KFCurveFilterTimeShiftAndScale filter;
    KTime shift(-kSecond);
    filter.SetShift(shift);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Times(C(node, 0)), Secs({-1, 0, 1}));
    EXPECT_EQ(Times(C(node, 2)), Secs({4}));
    EXPECT_EQ(events, 1);
    C(node, 0).CallbackUnregister(CountEvents, &events);
}

}  // namespace
