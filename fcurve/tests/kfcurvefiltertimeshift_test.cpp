#include "fcurve/kfcurvefiltertimeshift.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Keys at the times given (s), valued as their times, with user slopes 2 and 3.
void Keys(KFCurve& curve, const std::vector<double>& seconds) {
    for (double s : seconds) Add(curve, s, MakeKey(static_cast<float>(s), kCubic, KFCURVE_TANGEANT_USER, 2.0f, 3.0f));
}

void SetShift(KFCurveFilterTimeShiftAndScale& filter, kLongLong ticks) {
    KTime shift(ticks);
    filter.SetShift(shift);
}

TEST(KFCurveFilterTimeShiftAndScale, KeysMoveShiftFirstThenScaleAboutZeroWhateverTheSpan) {
    const struct {
        double shift, scale;
        std::vector<double> before;
        std::vector<KTime> after;
    } cases[] = {{1, 1.0, {0, 2}, Secs({1, 3})},
                 {0, 2.0, {1, 2}, Secs({2, 4})},
                 {1, 2.0, {1}, Secs({4})},
                 {1, -1.0, {0, 2}, Secs({1, 3})},
                 {-2, 0.5, {2, 4, 6}, Secs({0, 1, 2})}};
    for (const auto& c : cases) {
        KFCurve curve;
        Keys(curve, c.before);
        KFCurveFilterTimeShiftAndScale filter;
        SetShift(filter, static_cast<kLongLong>(c.shift * kSecond));
        filter.SetScale(c.scale);
        filter.SetStartTime(Sec(1.5));  // keys outside the span move too
        filter.SetStopTime(Sec(1.8));
        EXPECT_TRUE(filter.Apply(curve));
        EXPECT_EQ(Times(curve), c.after);
        // Values and tangents travel with their keys.
        EXPECT_EQ(Values(curve), std::vector<float>(c.before.begin(), c.before.end()));
        for (int i = 0; i < curve.KeyGetCount(); ++i)
            EXPECT_FLOAT_EQ(curve.KeyGetPtr(i)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 3.0f);
    }
}

TEST(KFCurveFilterTimeShiftAndScale, NothingToDoNoKeysAndKeysThatWouldWrapOrMergeAreRefused) {
    KFCurve curve, empty;
    Keys(curve, {1, 2});
    KFCurveFilterTimeShiftAndScale filter;
    for (double scale : {1.0, -1.0, 0.0}) {
        filter.SetScale(scale);
        EXPECT_FALSE(filter.Apply(curve));
    }
    EXPECT_EQ(Times(curve), Secs({1, 2}));
    filter.SetScale(2.0);
    EXPECT_FALSE(filter.Apply(empty));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);

    KFCurve late, dense;
    KFCurveKey key = MakeKey(1.0f);
    late.KeyAdd(KTime(0), key);
    late.KeyAdd(KTime(KTime::kInfiniteTicks - 10), key);
    filter.SetScale(1.0);
    SetShift(filter, kSecond);
    EXPECT_FALSE(filter.Apply(late)) << "the last key would wrap to a negative time";
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_EQ(Times(late), (std::vector<KTime>{KTime(0), KTime(KTime::kInfiniteTicks - 10)}));
    // Neighbouring ticks would round onto one time, or go beyond the time line.
    dense.KeyAdd(KTime(kSecond), key);
    dense.KeyAdd(KTime(kSecond + 1), key);
    SetShift(filter, 0);
    for (double scale : {1e-9, 1e12}) {
        filter.SetScale(scale);
        EXPECT_FALSE(filter.Apply(dense)) << scale;
        EXPECT_EQ(Times(dense), (std::vector<KTime>{KTime(kSecond), KTime(kSecond + 1)}));
    }
}

// Every curve of an array moves, a refused one included in the answer; Reset
// changes only the span.
TEST(KFCurveFilterTimeShiftAndScale, CurveArraysMoveEachCurveAndResetKeepsTheMove) {
    KFCurve a, b, empty;
    Keys(a, {0, 2});
    Keys(b, {1});
    KFCurveFilterTimeShiftAndScale filter;
    SetShift(filter, kSecond);
    filter.SetScale(2.0);
    filter.Reset();
    EXPECT_EQ(std::make_pair(filter.GetShift(), filter.GetScale()), std::make_pair(KTime(kSecond), 2.0));
    EXPECT_EQ(filter.GetStartTime(), KTime::MinusInfinite());
    KFCurve* curves[] = {&a, &empty, nullptr, &b};
    EXPECT_TRUE(filter.Apply(curves, 4));
    EXPECT_EQ(Times(a), Secs({2, 6}));
    EXPECT_EQ(Times(b), Secs({4}));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY) << "the curve without keys";
}

}  // namespace

