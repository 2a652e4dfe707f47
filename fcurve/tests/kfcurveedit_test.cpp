#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using namespace fcurvetest;

namespace {

std::vector<double> KeyTimes(KFCurve& curve) {
    std::vector<double> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime().GetSecondDouble());
    return times;
}

void ExpectOrdered(KFCurve& curve) {
    for (int i = 1; i < curve.KeyGetCount(); ++i)
        ASSERT_LT(curve.KeyGetPtr(i - 1)->GetTime(), curve.KeyGetPtr(i)->GetTime()) << "at key " << i;
}

// Curves of one kind of key, for the insertion that must not change the shape.
struct ShapeCase {
    const char* name;
    double tolerance;  // relative; weights are stored in steps of 1/9999
    void (*fill)(KFCurve&, std::mt19937&);
};

float RandomValue(std::mt19937& random) { return static_cast<float>(random() % 200) * 0.1f - 10.0f; }
float RandomSlope(std::mt19937& random, float spread) {
    return (static_cast<float>(random() % 21) - 10.0f) * spread / 10.0f;
}

void FillKind(KFCurve& curve, std::mt19937& random, unsigned int interpolation, unsigned int mode, float spread,
              bool weighted) {
    double t = 0.0;
    for (int k = 0; k < 12; ++k) {
        KFCurveKey key = MakeKey(RandomValue(random), interpolation,
                                 interpolation == kConstant ? (random() % 2 ? KFCURVE_CONSTANT_NEXT : 0u) : mode,
                                 RandomSlope(random, spread), RandomSlope(random, spread),
                                 weighted ? static_cast<unsigned int>(random() % 4) << 24 : KFCURVE_WEIGHTED_NONE,
                                 0.1f + (random() % 7) * 0.1f, 0.1f + (random() % 7) * 0.1f);
        t += 0.2 + (random() % 10) * 0.1;
        Add(curve, t, key);
    }
}

const ShapeCase kShapeCases[] = {
    {"Constant", 1e-6, [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kConstant, 0, 0, false); }},
    {"Linear", 1e-5, [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kLinear, 0, 0, false); }},
    {"User", 1e-5, [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kCubic, KFCURVE_TANGEANT_USER, 4, false); }},
    {"UserBreak", 1e-5,
     [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kCubic, KFCURVE_TANGEANT_USER_BREAK, 4, false); }},
    {"Auto", 1e-4, [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kCubic, KFCURVE_TANGEANT_AUTO, 0, false); }},
    {"AutoParameters", 1e-4,
     [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kCubic, KFCURVE_TANGEANT_AUTO, 90, false); }},
    {"AutoBreak", 1e-4,
     [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kCubic, KFCURVE_TANGEANT_AUTO_BREAK, 60, false); }},
    {"Weighted", 2e-3,
     [](KFCurve& c, std::mt19937& r) { FillKind(c, r, kCubic, KFCURVE_TANGEANT_USER_BREAK, 4, true); }},
};

class KFCurveInsertShape : public ::testing::TestWithParam<ShapeCase> {};

}  // namespace

TEST_P(KFCurveInsertShape, KeyInsertLeavesTheSamplesAsTheyWere) {
    std::mt19937 random(21);
    KFCurve curve;
    GetParam().fill(curve, random);
    const double end = curve.KeyGetPtr(curve.KeyGetCount() - 1)->GetTime().GetSecondDouble();
    const std::vector<float> before = Sample(curve, -1.0, end + 1.0, 1500);
    std::vector<double> times = {-0.5, end + 0.5};
    for (int k = 0; k < 12; ++k) times.push_back((random() % 10000) * end / 10000.0);
    for (double t : times) {
        const int count = curve.KeyGetCount();
        const int index = curve.KeyInsert(Sec(t));
        ASSERT_GE(index, 0);
        EXPECT_EQ(curve.KeyGetPtr(index)->GetTime(), Sec(t)) << "the answer names the key at the time";
        EXPECT_LE(curve.KeyGetCount(), count + 1);
    }
    ExpectOrdered(curve);
    const std::vector<float> after = Sample(curve, -1.0, end + 1.0, 1500);
    for (std::size_t k = 0; k < before.size(); ++k)
        ASSERT_NEAR(after[k], before[k], GetParam().tolerance * (1.0 + std::fabs(before[k]))) << "sample " << k;
}

INSTANTIATE_TEST_SUITE_P(Kinds, KFCurveInsertShape, ::testing::ValuesIn(kShapeCases),
                         [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

TEST(KFCurveEditTest, KeyInsertAtAKeyChangesNothing) {
    KFCurve curve;
    for (int i = 0; i < 4; ++i) Add(curve, i, MakeKey(static_cast<float>(i), kCubic, KFCURVE_TANGEANT_AUTO));
    std::vector<KFCurveKey> keys;
    for (int i = 0; i < 4; ++i) keys.push_back(*curve.KeyGetPtr(i));
    int hint = 0;
    EXPECT_EQ(curve.KeyInsert(Sec(2.0), &hint), 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(std::memcmp(&keys[i], curve.KeyGetPtr(i), sizeof(KFCurveKey)), 0);
}

TEST(KFCurveEditTest, KeyInsertAfterTheLastKeyAnswersTheNewKey) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(1.0f, kLinear));
    Add(curve, 1.0, MakeKey(3.0f, kLinear));
    const int index = curve.KeyInsert(Sec(2.0));
    ASSERT_EQ(index, 2);
    curve.KeyGetPtr(index)->SetValue(8.0f);  // as channel setters do with the answer
    EXPECT_EQ(curve.KeyGetPtr(1)->GetValue(), 3.0f);
    EXPECT_EQ(curve.Evaluate(Sec(1.5)), 5.5f);
}

TEST(KFCurveEditTest, KeysAddedOnTheCurveTakeItsValue) {
    KFCurve curve;
    curve.SetValue(6.0f);
    EXPECT_EQ(curve.KeyAdd(Sec(1.0)), 0);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetValue(), 6.0f);
    EXPECT_EQ(curve.KeyGetPtr(0)->GetTangeantMode(), KFCURVE_TANGEANT_AUTO);
    Add(curve, 3.0, MakeKey(10.0f, kLinear));
    curve.KeyGetPtr(0)->SetInterpolation(kLinear);
    EXPECT_EQ(curve.KeyAdd(Sec(2.0)), 1);
    EXPECT_EQ(curve.KeyGetPtr(1)->GetValue(), 8.0f);
    KFCurve empty;
    EXPECT_EQ(empty.KeyInsert(Sec(4.0)), 0);
    EXPECT_EQ(empty.KeyGetCount(), 1);
}

// ---- Moving keys ----------------------------------------------------------------

namespace {

class KFCurveMoveTest : public ::testing::Test {
protected:
    // Keys at 0 .. 5 s; each key's incoming tangent is 10 + its index.
    void SetUp() override {
        for (int i = 0; i < 6; ++i)
            Add(curve, i, MakeKey(static_cast<float>(i), kCubic, KFCURVE_TANGEANT_USER_BREAK, -1.0f - i, 11.0f + i));
    }
    float IncomingAt(double seconds) {
        for (int i = 0; i < curve.KeyGetCount(); ++i)
            if (curve.KeyGetPtr(i)->GetTime() == Sec(seconds)) return curve.KeyGetLeftDerivative(i);
        ADD_FAILURE() << "no key at " << seconds;
        return 0.0f;
    }
    KFCurve curve;
};

}  // namespace

TEST_F(KFCurveMoveTest, AMoveInsideTheGapStaysInPlace) {
    EXPECT_EQ(curve.KeyMove(2, Sec(2.5)), 2);
    EXPECT_EQ(curve.KeyGetPtr(2)->GetTime(), Sec(2.5));
    EXPECT_EQ(curve.KeyMove(0, Sec(-3.0)), 0);
    EXPECT_EQ(curve.KeyMove(5, Sec(50.0)), 5);
    EXPECT_EQ(curve.KeyMove(6, Sec(1.0)), -1);
    EXPECT_EQ(curve.KeyMove(-1, Sec(1.0)), -1);
}

TEST_F(KFCurveMoveTest, AMoveOntoAnotherKeyLandsOneToleranceLaterKeepingIncomingTangents) {
    const float movedIncoming = IncomingAt(1.0);
    const float afterOld = IncomingAt(2.0);
    const float afterNew = IncomingAt(4.0);
    const int index = curve.KeyMove(1, Sec(3.0));
    ASSERT_EQ(index, 3);
    KTime tolerance;
    tolerance.SetSecondDouble(0.00001);
    EXPECT_EQ(curve.KeyGetPtr(3)->GetTime(), Sec(3.0) + tolerance);
    EXPECT_EQ(curve.KeyGetPtr(3)->GetValue(), 1.0f);
    EXPECT_EQ(KeyTimes(curve).size(), 6u);
    EXPECT_EQ(curve.KeyGetLeftDerivative(3), movedIncoming);
    EXPECT_EQ(IncomingAt(2.0), afterOld);
    EXPECT_EQ(IncomingAt(4.0), afterNew);
    ExpectOrdered(curve);
}

TEST_F(KFCurveMoveTest, MovingEveryKeyShiftsTimesAndValues) {
    curve.KeyMoveOf(false, Sec(1.0), 2.0f);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(curve.KeyGetPtr(0)->GetValue(), 2.0f);
    // Shifts stop at the end of the time line instead of wrapping.
    curve.KeyMoveOf(false, KTime(LLONG_MAX), 0.0f);
    EXPECT_EQ(curve.KeyGetPtr(5)->GetTime(), KTime::Infinite());
    ExpectOrdered(curve);
    KFCurve empty;
    empty.KeyMoveOf(false, Sec(1.0), 3.0f);
    EXPECT_EQ(empty.GetValue(), 3.0f);
    empty.KeyMoveOf(true, Sec(1.0), 3.0f);  // an unselected empty curve keeps its value
    EXPECT_EQ(empty.GetValue(), 3.0f);
}

TEST_F(KFCurveMoveTest, SelectedKeysMoveAndPassTheirNeighbours) {
    curve.KeyGetPtr(1)->SetSelected(true);
    curve.KeyGetPtr(2)->SetSelected(true);
    curve.KeyMoveOf(true, Sec(0.5), 1.0f);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1.5, 2.5, 3, 4, 5}));
    EXPECT_EQ(curve.KeyGetPtr(1)->GetValue(), 2.0f);
    EXPECT_EQ(curve.KeyGetPtr(3)->GetValue(), 3.0f);
    // Two more seconds: both pass key 3 and land after it.
    curve.KeyMoveOf(true, Sec(2.0), 0.0f);
    ExpectOrdered(curve);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 3, 3.5, 4, 4.5, 5}));
    EXPECT_EQ(curve.KeyGetPtr(2)->GetValue(), 2.0f);
    EXPECT_EQ(curve.KeyGetPtr(4)->GetValue(), 3.0f);
    curve.KeyMoveOf(true, Sec(-4.2), 0.0f);
    ExpectOrdered(curve);
    EXPECT_EQ(curve.KeyGetCount(), 6);
}

// ---- Inserting another curve -------------------------------------------------------

TEST(KFCurveInsertTest, AppendingAfterTheEndUsesTheSeam) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 1.0f, 1.0f));
    Add(curve, 1.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 1.0f, 1.0f));
    KFCurve source;
    for (int i = 0; i < 3; ++i)
        Add(source, 10.0 + i, MakeKey(5.0f + i, kCubic, KFCURVE_TANGEANT_USER_BREAK, 2.0f, 3.0f));
    curve.Insert(&source, Sec(5.0), -7.0f);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1, 5, 6, 7}));
    EXPECT_EQ(curve.KeyGetPtr(2)->GetValue(), 5.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), -7.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(3), 3.0f);
    EXPECT_FALSE(curve.IsCandidate());
}

TEST(KFCurveInsertTest, MergingKeepsTheIncomingTangentsAroundTheNewKeys) {
    KFCurve curve;
    for (int i = 0; i < 6; ++i)
        Add(curve, i, MakeKey(static_cast<float>(i), kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.5f, 10.0f + i));
    KFCurve source;
    for (int i = 0; i < 3; ++i)
        Add(source, 0.5 * i, MakeKey(-1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.0f, 20.0f + i));
    const float into3 = curve.KeyGetLeftDerivative(3);
    const float into4 = curve.KeyGetLeftDerivative(4);
    curve.Insert(&source, Sec(2.25), 99.0f);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1, 2, 2.25, 2.75, 3, 3.25, 4, 5}));
    EXPECT_EQ(curve.KeyGetLeftDerivative(3), 99.0f);  // the seam
    EXPECT_EQ(curve.KeyGetLeftDerivative(4), 20.0f);  // the source's own incoming tangents
    EXPECT_EQ(curve.KeyGetLeftDerivative(6), 21.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(5), into3);  // the kept keys' incoming tangents
    EXPECT_EQ(curve.KeyGetLeftDerivative(7), into4);
}

TEST(KFCurveInsertTest, AKeyLandingOnAKeyReplacesItAndItsFollowerKeepsItsTangent) {
    KFCurve curve;
    for (int i = 0; i < 4; ++i)
        Add(curve, i, MakeKey(static_cast<float>(i), kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.5f, 10.0f + i));
    KFCurve source;
    Add(source, 0.0, MakeKey(-1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.0f, 30.0f));
    const float into2 = curve.KeyGetLeftDerivative(2);
    curve.Insert(&source, Sec(1.0), 5.0f);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(curve.KeyGetPtr(1)->GetValue(), -1.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(1), 5.0f);
    EXPECT_EQ(curve.KeyGetLeftDerivative(2), into2);
}

TEST(KFCurveInsertTest, ACurveInsertsItselfAndKeysBeyondTheTimeLineStayOut) {
    KFCurve curve;
    for (int i = 0; i < 3; ++i) Add(curve, i, MakeKey(static_cast<float>(i)));
    curve.Insert(&curve, Sec(10.0));
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1, 2, 10, 11, 12}));
    KFCurve late;
    Add(late, 0.0, MakeKey(0.0f));
    late.Insert(&curve, KTime(LLONG_MAX - 5));  // only the first source key fits
    ASSERT_EQ(late.KeyGetCount(), 2);
    EXPECT_EQ(late.KeyGetPtr(1)->GetTime(), KTime(LLONG_MAX - 5));
    KFCurve none;
    curve.Insert(&none, Sec(1.0));
    curve.Insert(nullptr, Sec(1.0));
    EXPECT_EQ(curve.KeyGetCount(), 6);
}
