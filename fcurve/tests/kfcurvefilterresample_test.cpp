#include <gtest/gtest.h>

#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterresample.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::Add;
using fcurvetest::kCubic;
using fcurvetest::kLinear;
using fcurvetest::MakeKey;

namespace {

constexpr kLongLong kSecond = KTime::kTicksPerSecond;

std::vector<kLongLong> KeyTimes(const KFCurve& curve) {
    std::vector<kLongLong> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime().Get());
    return times;
}

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
    void ExpectRefused(KFCurve& curve, int id) {
        const std::vector<kLongLong> before = KeyTimes(curve);
        EXPECT_FALSE(filter.Apply(curve));
        EXPECT_EQ(filter.GetLastErrorID(), id);
        EXPECT_EQ(KeyTimes(curve), before);
    }
    KFCurveFilterResample filter;
};

TEST_F(ResampleFilter, ResetValues) {
    EXPECT_STREQ(filter.GetName(), "FCurve Resample");
    EXPECT_EQ(filter.GetPeriodTime(), KTime::GetOneFrameValue(KTime::eModeDefault));
    EXPECT_FALSE(filter.GetKeysOnFrame());
    EXPECT_FALSE(filter.GetIntelligentMode());
    EXPECT_EQ(filter.GetStartTime(), KTime::MinusInfinite());
    EXPECT_EQ(filter.GetStopTime(), KTime::Infinite());
}

TEST_F(ResampleFilter, BadPeriodAndBadInterval) {
    KFCurve curve;
    LinearRamp(curve, 2);
    for (kLongLong period : {kLongLong{0}, -kSecond}) {
        SetPeriod(period);
        ExpectRefused(curve, KFCurveFilterResample::eBadPeriod);
        EXPECT_STREQ(filter.GetLastErrorString(), "Bad Period");
    }
    SetPeriod(kSecond / 4);
    KFCurve empty;
    ExpectRefused(empty, KFCurveFilterResample::eBadInterval);
    EXPECT_STREQ(filter.GetLastErrorString(), "Bad Interval");
    filter.SetStartTime(KTime(kSecond));
    filter.SetStopTime(KTime(kSecond));
    ExpectRefused(curve, KFCurveFilterResample::eBadInterval);
}

TEST_F(ResampleFilter, SpanWithTooManySamplesIsRefused) {
    KFCurve curve;
    LinearRamp(curve, 10);
    SetPeriod(1);
    ExpectRefused(curve, KFCurveFilterResample::eBadInterval);
}

TEST_F(ResampleFilter, EmptyCurveWithASpanSamplesItsDefaultValue) {
    KFCurve curve;
    curve.SetValue(3.0f);
    SetPeriod(kSecond / 4);
    filter.SetStartTime(KTime(0));
    filter.SetStopTime(KTime(kSecond));
    ASSERT_TRUE(filter.Apply(curve));
    ASSERT_EQ(curve.KeyGetCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(curve.KeyGetPtr(i)->GetValue(), 3.0f);
        EXPECT_EQ(curve.KeyGetPtr(i)->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));
    }
}

TEST_F(ResampleFilter, KeysOutsideTheSpanStay) {
    KFCurve curve;
    LinearRamp(curve, 10);
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    SetPeriod(kSecond);
    filter.SetStartTime(KTime(5 * kSecond / 2));
    filter.SetStopTime(KTime(15 * kSecond / 2));
    ASSERT_TRUE(filter.Apply(curve));
    std::vector<kLongLong> expected = {0, kSecond, 2 * kSecond};
    for (int k = 0; k < 5; ++k) expected.push_back(5 * kSecond / 2 + k * kSecond);
    for (int t : {15, 16, 18, 20}) expected.push_back(t * kSecond / 2);
    EXPECT_EQ(KeyTimes(curve), expected);
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        const KFCurveKey& key = *curve.KeyGetPtr(i);
        EXPECT_NEAR(key.GetValue(), key.GetTime().GetSecondDouble(), 1e-4) << i;
        const bool sampled = i >= 3 && i <= 8;
        EXPECT_EQ(key.GetInterpolation(), sampled ? kCubic : kLinear) << i;
    }
    EXPECT_EQ(curve.GetPostExtrapolation(), KFCURVE_EXTRAPOLATION_MIRROR);
}

TEST_F(ResampleFilter, IntelligentModeKeepsTheKeyKinds) {
    KFCurve curve;
    LinearRamp(curve, 2);
    SetPeriod(kSecond / 2);
    filter.SetIntelligentMode(true);
    ASSERT_TRUE(filter.Apply(curve));
    ASSERT_EQ(curve.KeyGetCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(curve.KeyGetPtr(i)->GetInterpolation(), kLinear);
}

struct OnFrameCase {
    int startHalfFrames;
    int firstSampleHalfFrames;
    int keys;
};

class ResampleOnFrame : public ResampleFilter, public ::testing::WithParamInterface<OnFrameCase> {};

TEST_P(ResampleOnFrame, StartMovesUpToAFrameAfterTheFirstOne) {
    const kLongLong frame = KTime::GetOneFrameValue(KTime::eModeDefault).Get();
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kLinear));
    KFCurveKey last = MakeKey(10.0f, kLinear);
    curve.KeyAdd(KTime(10 * frame), last);
    KTime period(frame);
    filter.SetPeriodTime(period);
    filter.SetKeysOnFrame(true);
    filter.SetStartTime(KTime(GetParam().startHalfFrames * frame / 2));
    ASSERT_TRUE(filter.Apply(curve));
    ASSERT_EQ(curve.KeyGetCount(), GetParam().keys);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetTime().Get(), 0) << "the key before the span stays";
    EXPECT_EQ(curve.KeyGetPtr(1)->GetTime().Get(), GetParam().firstSampleHalfFrames * frame / 2);
    EXPECT_EQ(curve.KeyGetPtr(GetParam().keys - 1)->GetTime().Get(), 10 * frame);
}

INSTANTIATE_TEST_SUITE_P(Starts, ResampleOnFrame,
                         ::testing::Values(OnFrameCase{5, 6, 9},     // 2.5 frames: from frame 3
                                           OnFrameCase{1, 1, 12},    // 0.5 frame stays
                                           OnFrameCase{4, 4, 10}));  // on a frame already

TEST_F(ResampleFilter, TreeFormResamplesEveryCurve) {
    KFCurveNode* node = KFCurveNodeCreate("T", static_cast<KDataType*>(nullptr));
    for (const char* name : {"X", "Y"}) LinearRamp(*node->FindOrCreate(name)->FCurveGet(), 1);
    node->FindOrCreate("Z");  // no keys: refused, the others still done
    SetPeriod(kSecond / 4);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(node->Get(0)->FCurveGet()->KeyGetCount(), 5);
    EXPECT_EQ(node->Get(1)->FCurveGet()->KeyGetCount(), 5);
    EXPECT_EQ(node->Get(2)->FCurveGet()->KeyGetCount(), 0);
    node->Destroy();
}

}  // namespace
