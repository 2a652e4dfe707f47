#include "fcurve/kfcurveutils.h"

#include <gtest/gtest.h>

#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Linear keys 0, 10, 20 at 0, 1, 2 s.
void Ramp(KFCurve& curve) { Keys(curve, {{0, 0}, {1, 10}, {2, 20}}, kLinear); }

class KFCurveUtilsTest : public ::testing::Test {
protected:
    void SetUp() override { KFCurveUtils::GetError().ClearLastError(); }
};

// ---- Comparison, modes and counts --------------------------------------------

TEST_F(KFCurveUtilsTest, CompareCurveTellsEveryDifference) {
    auto compare = [](KFCurveKey a, KFCurveKey b) {
        KFCurve x, y;
        Add(x, 0, a);
        Add(y, 0, b);
        return KFCurveUtils::CompareCurve(&x, &y);
    };
    EXPECT_FALSE(
        compare(MakeKey(1, kCubic, KFCURVE_TANGEANT_USER, 2, 3), MakeKey(1, kCubic, KFCURVE_TANGEANT_USER, 2, 3.5f)));
    // Auto keys carry no tangent data worth comparing, but their mode counts.
    EXPECT_TRUE(compare(MakeKey(1, kCubic, KFCURVE_TANGEANT_AUTO, 5), MakeKey(1, kCubic, KFCURVE_TANGEANT_AUTO, -5)));
    EXPECT_FALSE(compare(MakeKey(1, kCubic, KFCURVE_TANGEANT_AUTO), MakeKey(1, kCubic, KFCURVE_TANGEANT_AUTO_BREAK)));

    KFCurve a, b;
    Ramp(a);
    Ramp(b);
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&a, &b));
    Add(b, 5, MakeKey(1));
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&a, &b)) << "key counts";
    b.KeyRemove(3);
    KFCurveKey key = b.KeyGet(1);
    key.SetTime(KTime(kSecond + 1));
    ASSERT_EQ(b.KeySet(1, key), 0);
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&a, &b)) << "one tick";
    EXPECT_FALSE(KFCurveUtils::CompareCurve(&a, nullptr));

}

TEST_F(KFCurveUtilsTest, GlobalModesAreTheUnionOfTheKeysAndMixturesAreReported) {
    KFCurve curve;
    unsigned int mode = 99;
    EXPECT_FALSE(KFCurveUtils::GetGlobalInterpolation(mode, curve));
    EXPECT_EQ(mode, 0u);
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eNoKey);
    EXPECT_STREQ(KFCurveUtils::GetLastErrorString(), "KFCurveFilter, No key to be filtered.");

    // Auto then auto-break: 0x100 | 0x900 is the later key's mode, no mixture.
    KFCurveUtils::GetError().ClearLastError();
    Add(curve, 0, MakeKey(0, kCubic, KFCURVE_TANGEANT_AUTO));
    Add(curve, 1, MakeKey(0, kCubic, KFCURVE_TANGEANT_AUTO_BREAK));
    EXPECT_TRUE(KFCurveUtils::GetGlobalTangeant(mode, curve));
    EXPECT_EQ(mode, unsigned(KFCURVE_TANGEANT_AUTO_BREAK));
    EXPECT_TRUE(KFCurveUtils::GetGlobalInterpolation(mode, curve));
    EXPECT_EQ(mode, kCubic);
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), -1);
    // A later auto key is a mixture; the walk goes on and answers the union.
    Add(curve, 2, MakeKey(0, kCubic, KFCURVE_TANGEANT_AUTO));
    Add(curve, 3, MakeKey(0, kLinear));
    EXPECT_TRUE(KFCurveUtils::GetGlobalTangeant(mode, curve));
    EXPECT_STREQ(KFCurveUtils::GetLastErrorString(), "KFCurveFilter, No single tangeant mode.");
    EXPECT_TRUE(KFCurveUtils::GetGlobalInterpolation(mode, curve));
    EXPECT_EQ(mode, kCubic | kLinear);
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eMultipleInterpolation);
    EXPECT_STREQ(KFCurveUtils::GetLastErrorString(), "KFCurveFilter, No single interpolation type.");
}

TEST_F(KFCurveUtilsTest, OffsetsOutsideTheKeysAndTreeConversion) {
    KFCurve curve;
    KTime t = Sec(5);
    EXPECT_EQ(KFCurveUtils::FindTimeOffsetBefore(curve, t), KTime(0));
    Ramp(curve);  // keys at 0 to 2 s
    const double times[] = {-1, 0, 1, 2, 3.5};
    const double before[] = {1, 0, 0, 0, 0}, after[] = {0, 0, 0, 0, -1.5};
    for (int k = 0; k < 5; ++k) {
        KTime time = Sec(times[k]);
        EXPECT_EQ(KFCurveUtils::FindTimeOffsetBefore(curve, time), Sec(before[k])) << times[k];
        EXPECT_EQ(KFCurveUtils::FindTimeOffsetAfter(curve, time), Sec(after[k])) << times[k];
    }

    // Every key of every curve of the tree, children included; linear keys
    // become cubic with default weights.
    NodePtr tree(TransformNode());
    Ramp(C(*tree->Get(0), 1));
    Keys(C(*tree->Get(2), 2), {{0, 1}}, kConstant);
    KFCurve& ramp = C(*tree->Get(0), 1);
    KFCurveKey weighted = MakeKey(3, kLinear, KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_ALL, 0.1f, 0.9f);
    weighted.SetTime(Sec(1));
    ASSERT_EQ(ramp.KeySet(1, weighted), 0);
    ASSERT_EQ(ramp.KeyGetPtr(1)->GetTangeantWeightMode(), unsigned(KFCURVE_WEIGHTED_ALL));
    KFCurveUtils::ConvertCurveInterpolationRecursive(kCubic, KFCURVE_TANGEANT_USER, *tree);
    for (KFCurve* c : {&ramp, &C(*tree->Get(2), 2)})
        for (int i = 0; i < c->KeyGetCount(); ++i) EXPECT_EQ(Kind(*c, i), kCubic | KFCURVE_TANGEANT_USER) << i;
    EXPECT_EQ(ramp.KeyGetPtr(1)->GetTangeantWeightMode(), unsigned(KFCURVE_WEIGHTED_NONE));
    EXPECT_FLOAT_EQ(ramp.KeyGetRightTangeantWeight(1), KFCURVE_DEFAULT_WEIGHT);
    EXPECT_EQ(Values(ramp), (std::vector<float>{0, 3, 20}));
}

// ---- Conversion --------------------------------------------------------------

TEST_F(KFCurveUtilsTest, ConvertSamplesChangedSegmentsEveryPeriod) {
    KFCurve source, destination;
    Keys(source, {{0, 0}, {1, 30}}, kLinear);
    source.SetValue(7.0f);
    ASSERT_TRUE(KFCurveUtils::ConvertCurve(source, destination, kCubic, KFCURVE_TANGEANT_AUTO, KTime(kSecond / 30)));
    // 30 samples over [0, 1 s), then the last key itself.
    ASSERT_EQ(destination.KeyGetCount(), 31);
    for (int i = 0; i <= 30; ++i) {
        EXPECT_EQ(destination.KeyGetPtr(i)->GetTime().Get(), i == 30 ? kSecond : i * (kSecond / 30));
        EXPECT_NEAR(destination.KeyGetPtr(i)->GetValue(), static_cast<float>(i), 1e-4);
    }
    EXPECT_EQ(Kind(destination, 30), kCubic | kAuto);
    EXPECT_FLOAT_EQ(destination.GetValue(), 7.0f) << "settings come with the copy";
    EXPECT_EQ(source.KeyGetCount(), 2);
}

TEST_F(KFCurveUtilsTest, ConvertInPlaceWithPeriodZeroGivesOneSamplePerKey) {
    KFCurve source;
    Add(source, 0, MakeKey(1, kCubic, KFCURVE_TANGEANT_USER, 2.5f, -1.5f));
    Add(source, 1, MakeKey(2, kLinear));
    Add(source, 2, MakeKey(3, kLinear));
    ASSERT_TRUE(KFCurveUtils::ConvertCurve(source, source, kCubic, KFCURVE_TANGEANT_USER, KTime(0)));
    ASSERT_EQ(Times(source), Secs({0, 1, 2}));
    // Keys of the target kind stay as they were.
    EXPECT_FLOAT_EQ(source.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), 2.5f);
    EXPECT_FLOAT_EQ(source.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), -1.5f);
    EXPECT_EQ(source.KeyGetPtr(1)->GetInterpolation(), kCubic);
    EXPECT_EQ(Values(source), (std::vector<float>{1, 2, 3}));
}

// ---- Resampling --------------------------------------------------------------

TEST_F(KFCurveUtilsTest, ResampleRefusalsLeaveTheDestination) {
    KFCurve source, destination;
    Ramp(source);
    Add(destination, 0, MakeKey(5));
    KTime start(kSecond), later(2 * kSecond), period(kSecond / 10), zero(0);
    EXPECT_FALSE(KFCurveUtils::Resample(source, destination, start, start, period, true));
    EXPECT_FALSE(KFCurveUtils::Resample(source, destination, start, later, zero, true));
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), -1) << "an empty span is not an error";
    // One key per tick over the whole time line.
    KTime from = KTime::MinusInfinite(), to = KTime::Infinite(), step(1000);
    EXPECT_FALSE(KFCurveUtils::Resample(source, destination, from, to, step, kCubic, KFCURVE_TANGEANT_AUTO, true));
    EXPECT_EQ(KFCurveUtils::GetLastErrorID(), KFCurveUtils::eLeftUnchanged);
    EXPECT_EQ(Values(destination), std::vector<float>{5});
}

TEST_F(KFCurveUtilsTest, ResampledKeysTakeTheKindOfTheSourceKeyBeforeThem) {
    KFCurve source, destination;
    source.SetValue(3.0f);
    Add(source, 1, MakeKey(0, kCubic, KFCURVE_TANGEANT_USER, 2, 2));
    Add(source, 2, fcurvetest::TcbKey(2, 0, 0, 0));
    Add(source, 3, MakeKey(1, kConstant));
    Add(source, 4, MakeKey(1, kLinear));
    KTime start(0), stop(5 * kSecond), period(kSecond / 2);
    ASSERT_TRUE(KFCurveUtils::Resample(source, destination, start, stop, period, false));
    ASSERT_EQ(destination.KeyGetCount(), 11);
    // Before the first key and after the last: cubic auto; TCB becomes auto; the others stay.
    EXPECT_EQ((std::vector<unsigned int>{Kind(destination, 0), Kind(destination, 3), Kind(destination, 4),
                                         Kind(destination, 9)}),
              (std::vector<unsigned int>{kCubic | kAuto, kCubic | kUser, kCubic | kAuto, kCubic | kAuto}));
    EXPECT_EQ(destination.KeyGetPtr(6)->GetInterpolation(), kConstant);
    EXPECT_EQ(destination.KeyGetPtr(8)->GetInterpolation(), kLinear);
    for (int k = 0; k < 11; ++k)
        EXPECT_FLOAT_EQ(destination.KeyGetPtr(k)->GetValue(), source.Evaluate(Sec(k / 2.0))) << k;

    // In place, the original keys are read.
    KFCurve curve, expected;
    Ramp(curve);
    KTime end(2 * kSecond), quarter(kSecond / 4);
    ASSERT_TRUE(KFCurveUtils::Resample(curve, expected, start, end, quarter, kLinear, 0, true));
    ASSERT_TRUE(KFCurveUtils::Resample(curve, curve, start, end, quarter, kLinear, 0, true));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&curve, &expected));
    EXPECT_EQ(curve.KeyGetCount(), 9);
}

// ---- Merge -------------------------------------------------------------------

class KFCurveUtilsMerge : public KFCurveUtilsTest {
protected:
    // Base: user keys 0..4 at 0..4 s with value i and slopes 1.
    void SetUp() override {
        KFCurveUtilsTest::SetUp();
        for (int i = 0; i < 5; ++i) Add(base, i, MakeKey(static_cast<float>(i), kCubic, KFCURVE_TANGEANT_USER, 1, 1));
    }
    KFCurve base, inserted, result;
};

TEST_F(KFCurveUtilsMerge, InsertedKeysReplaceTheBaseKeysOfTheirSpan) {
    Keys(inserted, {{1.5, 10}, {3, 11}}, kLinear);
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, result));
    EXPECT_EQ(Times(result), Secs({0, 1, 1.5, 3, 4}));
    EXPECT_EQ(Values(result), (std::vector<float>{0, 1, 10, 11, 4}));
    // The result may be the base: it reads a copy.
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, base));
    EXPECT_TRUE(KFCurveUtils::CompareCurve(&base, &result));
}

TEST_F(KFCurveUtilsMerge, SeamsTakeTheBaseSlopes) {
    // A bend so that the slopes at 1.5 s and 2.5 s are not 1.
    KFCurveKey bend = base.KeyGet(2);
    bend.SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
    bend.SetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE, -3.0f);
    base.KeySet(2, bend);
    base.KeySetLeftDerivative(2, 5.0f);
    Keys(inserted, {{1.5, 10}, {2.5, 11}}, kLinear);
    ASSERT_TRUE(KFCurveUtils::Merge(base, inserted, result));
    ASSERT_EQ(result.KeyGetCount(), 6);
    // Seam before: key 1 (1 s) ends its segment with base's slope at 1.5 s.
    EXPECT_FLOAT_EQ(result.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE),
                    base.EvaluateRightDerivative(Sec(1.5)));
    // Seam after: the inserted last key becomes user-break, leaving with base's
    // slope at 2.5 s and arriving at key 3 as base's key 2 did.
    const KFCurveKey& last = *result.KeyGetPtr(3);
    EXPECT_EQ(Kind(result, 3), kCubic | kUserBreak);
    EXPECT_FLOAT_EQ(last.GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), base.EvaluateLeftDerivative(Sec(2.5)));
    EXPECT_FLOAT_EQ(last.GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE),
                    base.KeyGetPtr(2)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE));
    EXPECT_FLOAT_EQ(result.Evaluate(Sec(3.0)), 3.0f);
}

}  // namespace
