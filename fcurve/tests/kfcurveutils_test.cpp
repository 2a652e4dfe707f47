#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveutils.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::Add;
using fcurvetest::kConstant;
using fcurvetest::kCubic;
using fcurvetest::kLinear;
using fcurvetest::MakeKey;
using fcurvetest::Sec;

namespace {

constexpr kLongLong kSecond = KTime::kTicksPerSecond;

std::vector<kLongLong> KeyTimes(const KFCurve& curve) {
    std::vector<kLongLong> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime().Get());
    return times;
}

// Linear keys 0, 10, 20 at 0, 1, 2 s.
void Ramp(KFCurve& curve) {
    for (int i = 0; i < 3; ++i) Add(curve, i, MakeKey(10.0f * i, kLinear));
}

class KFCurveUtilsTest : public ::testing::Test {
protected:
    void SetUp() override { KFCurveUtils::GetError().ClearLastError(); }
};

// ---- CompareCurve -----------------------------------------------------------

using KFCurveUtilsCompare = KFCurveUtilsTest;

TEST_F(KFCurveUtilsCompare, EqualCurvesAreAlikeAndOneTickDiffers) {
    KFCurve a, b;
    Ramp(a);
    Ramp(b);
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&a, &b));
    KFCurveKey key = b.KeyGet(1);
    key.SetTime(KTime(kSecond + 1));
    ASSERT_EQ(b.KeySet(1, key), 0);
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&a, &b));
}

TEST_F(KFCurveUtilsCompare, DefaultValuesWithinTheDoubleEpsilonAreEqual) {
    KFCurve a, b;
    b.SetValue(1e-16f);
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&a, &b));
    b.SetValue(1e-15f);
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&a, &b));
}

TEST_F(KFCurveUtilsCompare, KindsAndTangentDataCount) {
    KFCurve a, b;
    Add(a, 0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 2.0f, 3.0f));
    Add(a, 1, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 0.0f, 0.0f));
    Add(b, 0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 2.0f, 3.5f));
    Add(b, 1, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 0.0f, 0.0f));
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&a, &b)) << "user derivatives differ";

    // Auto keys carry no tangent data worth comparing.
    KFCurve c, d;
    Add(c, 0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_AUTO, 5.0f));
    Add(d, 0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_AUTO, -5.0f));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&c, &d));
    KFCurveKey key = d.KeyGet(0);
    key.SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
    d.KeySet(0, key);
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&c, &d)) << "tangent modes differ";

    KFCurve e, f;
    Add(e, 0, fcurvetest::TcbKey(1.0f, 0.1f, 0.2f, 0.3f));
    Add(f, 0, fcurvetest::TcbKey(1.0f, 0.1f, 0.2f, 0.4f));
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&e, &f)) << "TCB bias differs";

    KFCurve g, h;
    Add(g, 0, MakeKey(1.0f, kLinear));
    Add(h, 0, MakeKey(1.0f, kConstant));
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&g, &h)) << "interpolations differ";
    Add(h, 1, MakeKey(1.0f, kConstant));
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&g, &h)) << "key counts differ";
}

TEST_F(KFCurveUtilsCompare, NullCurves) {
    KFCurve a;
    EXPECT_TRUE(KFCurveUtils::CompareCurve(nullptr, nullptr));
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&a, nullptr));
    EXPECT_FALSE(KFCurveUtils::CompareCurve(nullptr, &a));
}

// ---- Global modes and counts -----------------------------------------------

using KFCurveUtilsModes = KFCurveUtilsTest;

TEST_F(KFCurveUtilsModes, AutoThenAutoBreakIsOneMode) {
    KFCurve curve;
    Add(curve, 0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_AUTO));
    Add(curve, 1, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_AUTO_BREAK));
    unsigned int mode = 0;
    EXPECT_TRUE(KFCurveUtils::GetGlobalTangeant(mode, curve));
    EXPECT_EQ(mode, static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO_BREAK));
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), -1);
}

TEST_F(KFCurveUtilsModes, AutoBreakThenAutoReportsMixedModes) {
    KFCurve curve;
    Add(curve, 0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_AUTO_BREAK));
    Add(curve, 1, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_AUTO));
    Add(curve, 2, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER));
    unsigned int mode = 0;
    EXPECT_TRUE(KFCurveUtils::GetGlobalTangeant(mode, curve));
    EXPECT_EQ(mode, 0xD00u);
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eMultipleInterpolation);
    EXPECT_STREQ(KFCurveUtils::GetLastErrorString(), "KFCurveFilter, No single tangeant mode.");
}

TEST_F(KFCurveUtilsModes, InterpolationsAreOredAndEmptyCurveFails) {
    KFCurve curve;
    unsigned int mode = 99;
    EXPECT_FALSE(KFCurveUtils::GetGlobalInterpolation(mode, curve));
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eNoKey);
    EXPECT_STREQ(KFCurveUtils::GetLastErrorString(), "KFCurveFilter, No key to be filtered.");

    Add(curve, 0, MakeKey(0.0f, kLinear));
    Add(curve, 1, MakeKey(0.0f, kCubic));
    EXPECT_TRUE(KFCurveUtils::GetGlobalInterpolation(mode, curve));
    EXPECT_EQ(mode, kLinear | kCubic);
    EXPECT_STREQ(KFCurveUtils::GetLastErrorString(), "KFCurveFilter, No single interpolation type.");
}

TEST_F(KFCurveUtilsModes, CountsKeysByKind) {
    KFCurve curve;
    const unsigned int modes[] = {KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_AUTO_BREAK, KFCURVE_TANGEANT_USER,
                                  KFCURVE_TANGEANT_USER_BREAK, KFCURVE_TANGEANT_USER};
    int t = 0;
    Add(curve, t++, MakeKey(0.0f, kConstant));
    Add(curve, t++, MakeKey(0.0f, kLinear));
    Add(curve, t++, MakeKey(0.0f, kLinear));
    for (unsigned int mode : modes) Add(curve, t++, MakeKey(0.0f, kCubic, mode));
    Add(curve, t++, fcurvetest::TcbKey(0.0f, 0.0f, 0.0f, 0.0f));
    int counts[KFCurveUtils::eCountSize];
    ASSERT_TRUE(KFCurveUtils::GetInterpolationAndTangeantCount(curve, counts));
    const std::vector<int> expected = {1, 2, 1, 1, 2, 1, 1};
    EXPECT_EQ(std::vector<int>(counts, counts + KFCurveUtils::eCountSize), expected);
    EXPECT_FALSE(KFCurveUtils::GetInterpolationAndTangeantCount(curve, nullptr));
}

// ---- Conversion ------------------------------------------------------------

using KFCurveUtilsConvert = KFCurveUtilsTest;

TEST_F(KFCurveUtilsConvert, LinearSegmentBecomesSamplesEveryPeriod) {
    KFCurve source, destination;
    Add(source, 0, MakeKey(0.0f, kLinear));
    Add(source, 1, MakeKey(30.0f, kLinear));
    source.SetValue(7.0f);
    const KTime period(kSecond / 30);
    ASSERT_TRUE(KFCurveUtils::ConvertCurve(source, destination, kCubic, KFCURVE_TANGEANT_AUTO, period));
    // 30 samples over [0, 1 s), then the last key itself.
    ASSERT_EQ(destination.KeyGetCount(), 31);
    for (int i = 0; i < 30; ++i) {
        const KFCurveKey& key = *destination.KeyGetPtr(i);
        EXPECT_EQ(key.GetTime().Get(), i * (kSecond / 30));
        EXPECT_NEAR(key.GetValue(), static_cast<float>(i), 1e-4);
        EXPECT_EQ(key.GetInterpolation(), kCubic);
        EXPECT_EQ(key.GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));
    }
    EXPECT_EQ(destination.KeyGetPtr(30)->GetTime().Get(), kSecond);
    EXPECT_FLOAT_EQ(destination.KeyGetPtr(30)->GetValue(), 30.0f);
    EXPECT_FLOAT_EQ(destination.GetValue(), 7.0f) << "settings come with the copy";
    EXPECT_EQ(source.KeyGetCount(), 2);
}

TEST_F(KFCurveUtilsConvert, AutoToUserKeepsTheSlopesAndShape) {
    KFCurve source, destination;
    const float values[] = {0.0f, 4.0f, 1.0f, 3.0f};
    for (int i = 0; i < 4; ++i) Add(source, i, MakeKey(values[i], kCubic, KFCURVE_TANGEANT_AUTO));
    ASSERT_TRUE(KFCurveUtils::ConvertCurve(source, destination, kCubic, KFCURVE_TANGEANT_USER, KTime(kSecond)));
    ASSERT_EQ(destination.KeyGetCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(destination.KeyGetPtr(i)->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_USER));
    const std::vector<float> before = fcurvetest::Sample(source, 0.0, 3.0, 60);
    const std::vector<float> after = fcurvetest::Sample(destination, 0.0, 3.0, 60);
    for (size_t i = 0; i < before.size(); ++i) EXPECT_NEAR(before[i], after[i], 1e-4) << i;
}

TEST_F(KFCurveUtilsConvert, KeysOfTheTargetKindStayAndNonPositivePeriodGivesOneSample) {
    KFCurve source;
    Add(source, 0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 2.5f, -1.5f));
    Add(source, 1, MakeKey(2.0f, kLinear));
    Add(source, 2, MakeKey(3.0f, kLinear));
    // Converting in place with period 0: each changed key is replaced by one
    // sample at its own time (no endless sampling).
    ASSERT_TRUE(KFCurveUtils::ConvertCurve(source, source, kCubic, KFCURVE_TANGEANT_USER, KTime(0)));
    ASSERT_EQ(KeyTimes(source), (std::vector<kLongLong>{0, kSecond, 2 * kSecond}));
    EXPECT_FLOAT_EQ(source.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), 2.5f);
    EXPECT_FLOAT_EQ(source.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), -1.5f);
    EXPECT_EQ(source.KeyGetPtr(1)->GetInterpolation(), kCubic);
    EXPECT_FLOAT_EQ(source.KeyGetPtr(1)->GetValue(), 2.0f);
}

TEST_F(KFCurveUtilsConvert, TooManySamplesAreRefusedLeavingTheDestination) {
    KFCurve source, destination;
    Add(source, 0, MakeKey(0.0f, kLinear));
    Add(source, 1000, MakeKey(1.0f, kLinear));
    Add(destination, 5, MakeKey(9.0f));
    EXPECT_FALSE(KFCurveUtils::ConvertCurve(source, destination, kCubic, KFCURVE_TANGEANT_AUTO, KTime(1)));
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eLeftUnchanged);
    ASSERT_EQ(destination.KeyGetCount(), 1);
    EXPECT_FLOAT_EQ(destination.KeyGetPtr(0)->GetValue(), 9.0f);
}

TEST_F(KFCurveUtilsConvert, TreeConversionReachesEveryCurve) {
    KFCurveNode* root = KFCurveNodeCreate("T", static_cast<KDataType*>(nullptr));
    root->FCurveSet(KFCurveCreate(), true);
    Add(*root->FCurveGet(), 0, MakeKey(1.0f, kLinear));
    for (const char* name : {"X", "Y"}) {
        KFCurveNode* child = root->FindOrCreate(name);
        Add(*child->FCurveGet(), 0, MakeKey(1.0f, kLinear));
        Add(*child->FCurveGet(), 1, MakeKey(2.0f, kConstant));
    }
    KFCurveUtils::ConvertCurveInterpolationRecursive(kCubic, KFCURVE_TANGEANT_USER_BREAK, *root);
    for (KFCurve* curve : {root->FCurveGet(), root->Get(0)->FCurveGet(), root->Get(1)->FCurveGet()})
        for (int i = 0; i < curve->KeyGetCount(); ++i) {
            EXPECT_EQ(curve->KeyGetPtr(i)->GetInterpolation(), kCubic);
            EXPECT_EQ(curve->KeyGetPtr(i)->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_USER_BREAK));
        }
    root->Destroy();
}

// ---- Resampling ------------------------------------------------------------

using KFCurveUtilsResample = KFCurveUtilsTest;

TEST_F(KFCurveUtilsResample, OneSecondEveryPointThreeGivesFourKeysAndFiveWithTheStopKey) {
    KFCurve source, destination;
    Ramp(source);
    KTime start(0), stop(kSecond), period(kSecond * 3 / 10);
    ASSERT_TRUE(KFCurveUtils::Resample(source, destination, start, stop, period, false));
    const kLongLong p = period.Get();
    EXPECT_EQ(KeyTimes(destination), (std::vector<kLongLong>{0, p, 2 * p, 3 * p}));
    EXPECT_NEAR(destination.KeyGetPtr(3)->GetValue(), 9.0f, 1e-4);

    ASSERT_TRUE(KFCurveUtils::Resample(source, destination, start, stop, period, true));
    EXPECT_EQ(KeyTimes(destination), (std::vector<kLongLong>{0, p, 2 * p, 3 * p, kSecond}));
    EXPECT_FLOAT_EQ(destination.KeyGetPtr(4)->GetValue(), 10.0f);

    // A span of whole periods has no extra key.
    KTime exact(3 * p);
    ASSERT_TRUE(KFCurveUtils::Resample(source, destination, start, exact, period, true));
    EXPECT_EQ(destination.KeyGetCount(), 4);
}

TEST_F(KFCurveUtilsResample, EmptySpanOrBadPeriodLeavesTheDestination) {
    KFCurve source, destination;
    Ramp(source);
    Add(destination, 0, MakeKey(5.0f));
    KTime start(kSecond), stop(kSecond), period(kSecond / 10), zero(0);
    EXPECT_FALSE(KFCurveUtils::Resample(source, destination, start, stop, period, true));
    KTime later(2 * kSecond);
    EXPECT_FALSE(KFCurveUtils::Resample(source, destination, start, later, zero, true));
    EXPECT_FALSE(
        KFCurveUtils::Resample(source, destination, later, start, period, kCubic, KFCURVE_TANGEANT_AUTO, true));
    ASSERT_EQ(destination.KeyGetCount(), 1);
    EXPECT_FLOAT_EQ(destination.KeyGetPtr(0)->GetValue(), 5.0f);
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), -1) << "an empty span is not an error";
}

TEST_F(KFCurveUtilsResample, CountBeyondAnIntIsRefused) {
    KFCurve source, destination;
    Ramp(source);
    Add(destination, 0, MakeKey(5.0f));
    // One key per tick over one second: about 4.6e10 keys.
    KTime start(0), stop(kSecond), tick(1);
    EXPECT_FALSE(KFCurveUtils::Resample(source, destination, start, stop, tick, false));
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eLeftUnchanged);
    EXPECT_EQ(destination.KeyGetCount(), 1);

    // The whole time line does not wrap the count either.
    KTime from = KTime::MinusInfinite(), to = KTime::Infinite(), step(1000);
    KFCurveUtils::GetError().ClearLastError();
    EXPECT_FALSE(KFCurveUtils::Resample(source, destination, from, to, step, kCubic, KFCURVE_TANGEANT_AUTO, true));
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eLeftUnchanged);
    EXPECT_EQ(destination.KeyGetCount(), 1);
}

TEST_F(KFCurveUtilsResample, SamplesTakeTheKindOfTheSourceKeyBeforeThem) {
    KFCurve source, destination;
    source.SetValue(3.0f);
    Add(source, 1, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER, 2.0f, 2.0f));
    Add(source, 2, fcurvetest::TcbKey(2.0f, 0.0f, 0.0f, 0.0f));
    Add(source, 3, MakeKey(1.0f, kConstant));
    Add(source, 4, MakeKey(1.0f, kLinear));
    KTime start(0), stop(5 * kSecond), period(kSecond / 2);
    ASSERT_TRUE(KFCurveUtils::Resample(source, destination, start, stop, period, false));
    ASSERT_EQ(destination.KeyGetCount(), 11);
    auto at = [&](int half) { return *destination.KeyGetPtr(half); };
    // Before the first key and after the last: cubic auto, flat.
    EXPECT_EQ(at(0).GetInterpolation(), kCubic);
    EXPECT_EQ(at(0).GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));
    EXPECT_EQ(at(9).GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));
    // User segment: the source's slopes at the sample time.
    EXPECT_EQ(at(3).GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_USER));
    EXPECT_FLOAT_EQ(at(3).GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE),
                    source.EvaluateRightDerivative(KTime(3 * kSecond / 2)));
    EXPECT_FLOAT_EQ(at(3).GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE),
                    source.EvaluateLeftDerivative(KTime(3 * kSecond / 2)));
    // TCB becomes auto; constant and linear stay.
    EXPECT_EQ(at(4).GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));
    EXPECT_EQ(at(6).GetInterpolation(), kConstant);
    EXPECT_EQ(at(8).GetInterpolation(), kLinear);
    for (int k = 0; k < 11; ++k) EXPECT_FLOAT_EQ(at(k).GetValue(), source.Evaluate(KTime(k * kSecond / 2))) << k;
}

TEST_F(KFCurveUtilsResample, InPlaceResamplingReadsTheOriginalKeys) {
    KFCurve curve, expected;
    Ramp(curve);
    KTime start(0), stop(2 * kSecond), period(kSecond / 4);
    ASSERT_TRUE(KFCurveUtils::Resample(curve, expected, start, stop, period, kLinear, 0, true));
    ASSERT_TRUE(KFCurveUtils::Resample(curve, curve, start, stop, period, kLinear, 0, true));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&curve, &expected));
    EXPECT_EQ(curve.KeyGetCount(), 9);
}

// ---- Merge -----------------------------------------------------------------

class KFCurveUtilsMerge : public KFCurveUtilsTest {
protected:
    // Base: user keys 0..4 at 0..4 s with value i and slopes 1.
    void SetUp() override {
        KFCurveUtilsTest::SetUp();
        for (int i = 0; i < 5; ++i)
            Add(base, i, MakeKey(static_cast<float>(i), kCubic, KFCURVE_TANGEANT_USER, 1.0f, 1.0f));
    }
    KFCurve base, inserted, result;
};

TEST_F(KFCurveUtilsMerge, InsertedKeysReplaceTheBaseKeysOfTheirSpan) {
    Add(inserted, 1.5, MakeKey(10.0f, kLinear));
    Add(inserted, 3.0, MakeKey(11.0f, kLinear));
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, result));
    EXPECT_EQ(KeyTimes(result), (std::vector<kLongLong>{0, kSecond, 3 * kSecond / 2, 3 * kSecond, 4 * kSecond}));
    EXPECT_FLOAT_EQ(result.KeyGetPtr(2)->GetValue(), 10.0f);
    EXPECT_FLOAT_EQ(result.KeyGetPtr(3)->GetValue(), 11.0f);
    EXPECT_FLOAT_EQ(result.KeyGetPtr(4)->GetValue(), 4.0f);
}

TEST_F(KFCurveUtilsMerge, SeamsTakeTheBaseSlopes) {
    // Base with a bend so that the slopes at 1.5 s and 2.5 s are not 1.
    KFCurveKey bend = base.KeyGet(2);
    bend.SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
    bend.SetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE, -3.0f);
    base.KeySet(2, bend);
    base.KeySetLeftDerivative(2, 5.0f);
    Add(inserted, 1.5, MakeKey(10.0f, kLinear));
    Add(inserted, 2.5, MakeKey(11.0f, kLinear));
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, result));
    ASSERT_EQ(result.KeyGetCount(), 6);
    // Seam before: key 1 (1 s) ends its segment with base's slope at 1.5 s.
    EXPECT_FLOAT_EQ(result.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE),
                    base.EvaluateRightDerivative(Sec(1.5)));
    // Seam after: the inserted last key becomes user-break, leaving with base's
    // slope at 2.5 s and arriving at key 3 as base's key 2 did.
    const KFCurveKey& last = *result.KeyGetPtr(3);
    EXPECT_EQ(last.GetInterpolation(), kCubic);
    EXPECT_EQ(last.GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_USER_BREAK));
    EXPECT_FLOAT_EQ(last.GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), base.EvaluateLeftDerivative(Sec(2.5)));
    EXPECT_FLOAT_EQ(last.GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE),
                    base.KeyGetPtr(2)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE));
    EXPECT_FLOAT_EQ(result.Evaluate(Sec(3.0)), 3.0f);
}

TEST_F(KFCurveUtilsMerge, NoSeamWhereTheBaseHasAutoKeysOrNoKeysLeft) {
    KFCurve autoBase;
    for (int i = 0; i < 3; ++i) Add(autoBase, i, MakeKey(static_cast<float>(i), kCubic, KFCURVE_TANGEANT_AUTO));
    Add(inserted, 0.5, MakeKey(10.0f, kLinear));
    Add(inserted, 1.5, MakeKey(11.0f, kLinear));
    ASSERT_TRUE(KFCurveUtils::Merge(autoBase, inserted, result));
    ASSERT_EQ(result.KeyGetCount(), 4);
    EXPECT_EQ(result.KeyGetPtr(2)->GetInterpolation(), kLinear) << "no seam after an auto key";
    EXPECT_EQ(result.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE),
              autoBase.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE));

    // Inserted keys after the base's end: appended, no seam after them.
    KFCurve tail;
    Add(tail, 6, MakeKey(6.0f, kLinear));
    ASSERT_TRUE(KFCurveUtils::Merge(base, tail, result));
    ASSERT_EQ(result.KeyGetCount(), 6);
    EXPECT_EQ(result.KeyGetPtr(5)->GetInterpolation(), kLinear);
    EXPECT_FLOAT_EQ(result.KeyGetPtr(4)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 1.0f)
        << "the base's last key has no following base key: its seam is left";
}

TEST_F(KFCurveUtilsMerge, SpanningOrEmptyCurvesAreCopied) {
    Add(inserted, -1, MakeKey(10.0f));
    Add(inserted, 4, MakeKey(11.0f));
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, result));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&result, &inserted));

    KFCurve empty;
    ASSERT_TRUE(KFCurveUtils::Merge(base, empty, result));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&result, &base));
    ASSERT_TRUE(KFCurveUtils::Merge(empty, inserted, result));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&result, &inserted));

    KFCurve untouched;
    Add(untouched, 0, MakeKey(3.0f));
    ASSERT_TRUE(KFCurveUtils::Merge(empty, empty, untouched));
    EXPECT_EQ(untouched.KeyGetCount(), 1);
}

TEST_F(KFCurveUtilsMerge, ResultMayBeTheBase) {
    Add(inserted, 2.0, MakeKey(10.0f, kLinear));
    KFCurve expected;
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, expected));
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, base));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&base, &expected));
    EXPECT_FLOAT_EQ(base.KeyGetPtr(2)->GetValue(), 10.0f);
}

// ---- Offsets ---------------------------------------------------------------

TEST_F(KFCurveUtilsTest, OffsetsOutsideTheKeys) {
    KFCurve curve;
    KTime t(0);
    EXPECT_EQ(KFCurveUtils::FindTimeOffsetBefore(curve, t).Get(), 0) << "no keys";
    EXPECT_EQ(KFCurveUtils::FindTimeOffsetAfter(curve, t).Get(), 0);
    Add(curve, 1, MakeKey(0.0f));
    Add(curve, 3, MakeKey(0.0f));
    EXPECT_EQ(KFCurveUtils::FindTimeOffsetBefore(curve, t).Get(), kSecond);
    KTime inside(2 * kSecond), late(5 * kSecond);
    EXPECT_EQ(KFCurveUtils::FindTimeOffsetBefore(curve, inside).Get(), 0);
    EXPECT_EQ(KFCurveUtils::FindTimeOffsetAfter(curve, inside).Get(), 0);
    EXPECT_EQ(KFCurveUtils::FindTimeOffsetAfter(curve, late).Get(), -2 * kSecond);
}

}  // namespace
