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
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    SetPeriod(kSecond);
    filter.SetStartTime(Sec(2.5));
    filter.SetStopTime(Sec(7.5));
    ASSERT_TRUE(filter.Apply(curve));
    EXPECT_EQ(Times(curve), Secs({0, 1, 2, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8, 9, 10}));
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        EXPECT_NEAR(curve.KeyGetPtr(i)->GetValue(), curve.KeyGetPtr(i)->GetTime().GetSecondDouble(), 1e-4) << i;
        EXPECT_EQ(curve.KeyGetPtr(i)->GetInterpolation(), i >= 3 && i <= 8 ? kCubic : kLinear) << i;
    }
    EXPECT_EQ(curve.GetPostExtrapolation(), KFCURVE_EXTRAPOLATION_MIRROR);

    LinearRamp(ramp, 2);
    filter.Reset();
    SetPeriod(kSecond / 2);
    filter.SetIntelligentMode(true);
    ASSERT_TRUE(filter.Apply(ramp));
    ASSERT_EQ(ramp.KeyGetCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ramp.KeyGetPtr(i)->GetInterpolation(), kLinear);
}

TEST_F(ResampleFilter, OnFramesTheStartMovesUpToAFrame) {
    // Keys at frames 0 and 10 sampled on frames from a start: (start, first
    // sample) in half frames, and the key count. 2.5 frames: from frame 3;
    // half a frame stays; on a frame already.
    const kLongLong frame = KTime::GetOneFrameValue(KTime::eModeDefault).Get();
    const int cases[][3] = {{5, 6, 9}, {1, 1, 12}, {4, 4, 10}};
    for (const auto& [start, first, keys] : cases) {
        KFCurve curve;
        KFCurveKey zero = MakeKey(0.0f, kLinear), ten = MakeKey(10.0f, kLinear);
        curve.KeyAdd(KTime(0), zero);
        curve.KeyAdd(KTime(10 * frame), ten);
        SetPeriod(frame);
        filter.SetKeysOnFrame(true);
        filter.SetStartTime(KTime(start * frame / 2));
        ASSERT_TRUE(filter.Apply(curve));
        ASSERT_EQ(curve.KeyGetCount(), keys);
        // The key before the span stays.
        EXPECT_EQ(std::vector<kLongLong>({curve.KeyGetPtr(0)->GetTime().Get(), curve.KeyGetPtr(1)->GetTime().Get(),
                                          curve.KeyGetPtr(keys - 1)->GetTime().Get()}),
                  std::vector<kLongLong>({0, first * frame / 2, 10 * frame}));
    }
}

TEST_F(ResampleFilter, TreeFormResamplesEveryCurve) {
    NodePtr node(Vector("T", nullptr, KFCL_NOLAYER));
    for (int c = 0; c < 2; ++c) LinearRamp(C(node, c), 1);  // Z has no keys: refused, the others still done
    SetPeriod(kSecond / 4);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(C(node, 1).KeyGetCount(), 5);
    EXPECT_EQ(C(node, 2).KeyGetCount(), 0);
}

}  // namespace
