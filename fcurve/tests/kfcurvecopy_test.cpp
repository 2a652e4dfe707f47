#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;
using namespace fcurvetest::core;

namespace {

struct CurveDeleter {
    void operator()(KFCurve* curve) const { curve->Destroy(); }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDeleter>;

// Keys at 0, 1, ... seconds with value 10 x index and user tangents that name
// their key (right derivative = index, next-left = -index).
void FillUser(KFCurve& curve, int count) {
    for (int i = 0; i < count; ++i)
        Add(curve, i, MakeKey(10.0f * i, kCubic, KFCURVE_TANGEANT_USER_BREAK, float(i), -float(i)));
}

bool SameKeys(const KFCurve& a, const KFCurve& b) {
    if (a.KeyGetCount() != b.KeyGetCount()) return false;
    for (int i = 0; i < a.KeyGetCount(); ++i)
        if (std::memcmp(a.KeyGetPtr(i), b.KeyGetPtr(i), sizeof(KFCurveKey)) != 0) return false;
    return true;
}

}  // namespace

TEST(KFCurveCopyTest, CopyFromTakesKeysAndSettingsButNotCallbacks) {
    KFCurve source;
    FillUser(source, 40);
    source.SetValue(3.0f);
    SetExtrapolation(source, KFCURVE_EXTRAPOLATION_CONSTANT, 0, KFCURVE_EXTRAPOLATION_MIRROR, 4);
    source.CandidateSet(Sec(0.5), 7.0);
    EventLog log;
    KFCurve target;
    FillUser(target, 70);  // more keys than the source: the rest go
    target.CallbackRegister(&EventLog::Record, &log);
    target.CopyFrom(source, true);
    EXPECT_TRUE(SameKeys(source, target));
    EXPECT_TRUE(target.CheckCurve());
    EXPECT_EQ(target.GetValue(), 3.0f);
    EXPECT_EQ(target.CandidateGet(), 7.0f);
    EXPECT_EQ(Sample(target, -5, 50, 50), Sample(source, -5, 50, 50)) << "with the extrapolation";
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, -1, -1, 1}));
    target.CopyFrom(source, false);
    EXPECT_EQ(target.KeyGetCount(), 0);
}

TEST(KFCurveCopyTest, DeleteByTimeKeepsKeysOnTheLimitsAndByIndexTheFollowingTangent) {
    KFCurve curve;
    FillUser(curve, 10);
    const float incoming = curve.KeyGetLeftDerivative(6);
    EXPECT_TRUE(curve.Delete(3, 5));
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1, 2, 6, 7, 8, 9}));
    EXPECT_EQ(curve.KeyGetLeftDerivative(3), incoming);
    EXPECT_TRUE(curve.Delete(-4, 0));  // clipped to key 0
    EXPECT_TRUE(curve.Delete(Sec(1.0), Sec(7.0)));
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{1, 7, 8, 9}));
    EXPECT_TRUE(curve.Delete(Sec(-1.0), Sec(7.5)));
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{8, 9}));
    EXPECT_TRUE(curve.Delete(KTime::MinusInfinite(), KTime::Infinite()));
    EXPECT_EQ(curve.GetValue(), 80.0f);  // the former first key's value
    EXPECT_FALSE(curve.Delete(KTime::MinusInfinite(), KTime::Infinite()));
    EXPECT_TRUE(curve.CheckCurve());
}

class KFCurveReplaceTest : public ::testing::Test {
protected:
    // A smooth target with user tangents and a source of three keys at 3, 4.5 and 6 s.
    void SetUp() override {
        for (int i = 0; i <= 10; ++i)
            Add(target, i, MakeKey(float(i), kCubic, KFCURVE_TANGEANT_USER, 1.0f + 0.1f * i, 1.1f + 0.1f * i));
        for (int i = 0; i < 3; ++i) Add(source, 3.0 + 1.5 * i, MakeKey(100.0f + 10 * i));
    }
    KFCurve target;
    KFCurve source;
    const std::vector<double> kReplaced{0, 1, 2, 3, 4.5, 6, 7, 8, 9, 10};
};

TEST_F(KFCurveReplaceTest, TheSpanTakesTheSourceKeysAndJoinsWithTheFormerSlopes) {
    const float leftSlope = target.EvaluateLeftDerivative(Sec(3.0));
    const float rightSlope = target.EvaluateRightDerivative(Sec(6.0));
    target.CandidateSet(Sec(1.0), 1.0);
    target.Replace(&source, Sec(3.0), Sec(6.0), true, false);
    EXPECT_EQ(KeyTimes(target), kReplaced);
    EXPECT_EQ(KeyValues(target), (std::vector<float>{0, 1, 2, 100, 110, 120, 7, 8, 9, 10}));
    EXPECT_FLOAT_EQ(target.KeyGetLeftDerivative(3), leftSlope);
    EXPECT_FLOAT_EQ(target.KeyGetRightDerivative(5), rightSlope);
    EXPECT_FALSE(target.IsCandidate());
}

TEST_F(KFCurveReplaceTest, AKeylessSourceLeavesItsDefaultValueOverTheSpanBetweenKeptEnds) {
    KFCurve flat;
    flat.SetValue(50.0f);
    const KTime tick(1);
    target.Replace(&flat, Sec(3.0), Sec(6.0), false, true);
    // The span's keys go; the curve keeps its value a tick outside and holds the default inside.
    const std::vector<KTime> times = {Sec(0), Sec(1), Sec(2), Sec(3) - tick, Sec(3),    Sec(6),
                                      Sec(6) + tick, Sec(7), Sec(8), Sec(9), Sec(10)};
    ASSERT_EQ(target.KeyGetCount(), static_cast<int>(times.size()));
    for (int i = 0; i < target.KeyGetCount(); ++i) EXPECT_EQ(target.KeyGetPtr(i)->GetTime(), times[i]) << i;
    EXPECT_NEAR(target.KeyGetPtr(3)->GetValue(), 3.0f, 1e-4);
    EXPECT_NEAR(target.KeyGetPtr(6)->GetValue(), 6.0f, 1e-4);
    EXPECT_EQ(Sample(target, 3.0, 6.0, 6), std::vector<float>(7, 50.0f));
    EXPECT_EQ(Sample(target, 7.0, 10.0, 3), (std::vector<float>{7, 8, 9, 10}));
    EXPECT_TRUE(target.CheckCurve());
}
