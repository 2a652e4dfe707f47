#include "fcurve/kfcurvefilterresample.h"

#include <gtest/gtest.h>

#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Linear keys with value t at t = 0, 1, ..., last seconds.
void LinearRamp(KFCurve& curve, int last) {
    for (int t = 0; t <= last; ++t) Add(curve, t, MakeKey(static_cast<float>(t), kLinear));
}

class ResampleFilter : public ::testing::Test {
protected:
    void SetPeriod(kLongLong ticks) {
        KTime period(ticks);
        filter.SetPeriodTime(period);
    }
    KFCurveFilterResample filter;
};

TEST_F(ResampleFilter, BadPeriodBadIntervalAndTooManySamplesAreRefused) {
    KFCurve curve, empty;
    LinearRamp(curve, 10);
    auto refused = [&](KFCurve& c, int id, const char* text) {
        const std::vector<KTime> before = Times(c);
        EXPECT_FALSE(filter.Apply(c));
        EXPECT_EQ(filter.GetLastErrorID(), id);
        EXPECT_STREQ(filter.GetLastErrorString(), text);
        EXPECT_EQ(Times(c), before);
    };
    for (kLongLong period : {kLongLong{0}, -kSecond}) {
        SetPeriod(period);
        refused(curve, KFCurveFilterResample::eBadPeriod, "Bad Period");
    }
    SetPeriod(1);  // more samples than a curve holds
    refused(curve, KFCurveFilterResample::eBadInterval,
            "Bad Interval: too many keys at this period, or not enough memory for them.");
    SetPeriod(kSecond / 4);
    refused(empty, KFCurveFilterResample::eBadInterval, "Bad Interval");
    filter.SetStartTime(KTime(kSecond));
    filter.SetStopTime(KTime(kSecond));
    refused(curve, KFCurveFilterResample::eBadInterval, "Bad Interval");
    // With a span, a curve without keys is sampled at its default value.
    empty.SetValue(3.0f);
    filter.SetStartTime(KTime(0));
    ASSERT_TRUE(filter.Apply(empty));
    EXPECT_EQ(Values(empty), std::vector<float>(5, 3.0f));
    EXPECT_EQ(Kind(empty, 4), kCubic | kAuto);
}

TEST_F(ResampleFilter, KeysOutsideTheSpanStayAndIntelligentModeKeepsTheKeyKinds) {
    KFCurve curve, ramp;
    LinearRamp(curve, 10);
    SetPeriod(kSecond);
    filter.SetStartTime(Sec(2.5));
    filter.SetStopTime(Sec(7.5));
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_EQ(Times(curve), Secs({0, 1, 2, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8, 9, 10}));
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        EXPECT_NEAR(curve.KeyGetPtr(i)->GetValue(), curve.KeyGetPtr(i)->GetTime().GetSecondDouble(), 1e-4) << i;
        EXPECT_EQ(curve.KeyGetPtr(i)->GetInterpolation(), i >= 3 && i <= 8 ? kCubic : kLinear) << i;
    }
    LinearRamp(ramp, 2);
    filter.Reset();
    SetPeriod(kSecond / 2);
    filter.SetIntelligentMode(true);
    ASSERT_TRUE(filter.Apply(ramp));
    EXPECT_EQ(Kind(ramp, 3), kLinear | kUser);
}

TEST_F(ResampleFilter, KeysOnFrameStartAtTheNextMultipleAfterTheFirstPeriodAndArraysTakeEachCurve) {
    KFCurve a, b;
    LinearRamp(a, 10);
    LinearRamp(b, 4);
    SetPeriod(kSecond);
    filter.SetKeysOnFrame(true);
    filter.SetStartTime(Sec(2.5));
    filter.SetStopTime(Sec(7.5));
    KFCurve* curves[] = {&a, nullptr, &b};
    EXPECT_TRUE(filter.Apply(curves, 3));
    EXPECT_EQ(Times(a), Secs({0, 1, 2, 3, 4, 5, 6, 7, 7.5, 8, 9, 10}));
    EXPECT_EQ(Times(b), Secs({0, 1, 2, 3, 4, 5, 6, 7, 7.5}));
    // A start within the first period stays where it is.
    KFCurve c;
    LinearRamp(c, 3);
    filter.SetStartTime(Sec(0.5));
    filter.SetStopTime(Sec(2.5));
    ASSERT_TRUE(filter.Apply(c));
    EXPECT_EQ(Times(c), Secs({0, 0.5, 1.5, 2.5, 3}));

    // Reset: one frame of the default rate, keys where the span starts, plain sampling.
    filter.SetIntelligentMode(true);
    filter.Reset();
    KTime frame;
    frame.SetTime(0, 0, 0, 1, 0, KTime::eModeDefault);
    EXPECT_EQ(filter.GetPeriodTime(), frame);
    EXPECT_FALSE(filter.GetKeysOnFrame() || filter.GetIntelligentMode());
    EXPECT_EQ(filter.GetStartTime(), KTime::MinusInfinite());
}

}  // namespace

