#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "fcurve/tests/fcurve_test_support.h"

using namespace fcurvetest;
using namespace fcurvetest::core;

namespace {

// Curves of one kind of key, for the insertion that must not change the shape.
struct ShapeCase {
    const char* name;
    unsigned int interpolation;
    unsigned int mode;
    float spread;  // of the random tangents or auto parameters
    bool weighted;
    double tolerance;  // relative; weights are stored in steps of 1/9999
};
void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class KFCurveInsertShape : public ::testing::TestWithParam<ShapeCase> {};

// Keys at the given times with values first + step x index and broken user
// tangents: right 0.5, next-left nextLeft + index.
void FillBroken(KFCurve& curve, const std::vector<double>& times, float first, float step, float nextLeft) {
    for (std::size_t i = 0; i < times.size(); ++i)
        Add(curve, times[i], MakeKey(first + step * i, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.5f, nextLeft + i));
}

class KFCurveMoveTest : public ::testing::Test {
protected:
    // Keys at 0 .. 5 s; each key's incoming tangent is 10 + its index.
    void SetUp() override {
        for (int i = 0; i < 6; ++i)
            Add(curve, i, MakeKey(float(i), kCubic, KFCURVE_TANGEANT_USER_BREAK, -1.0f - i, 11.0f + i));
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

TEST_P(KFCurveInsertShape, KeyInsertLeavesTheSamplesAsTheyWere) {
    const ShapeCase& c = GetParam();
    std::mt19937 random(21);
    auto pick = [&random](int n, float step, float from) { return static_cast<float>(random() % n) * step + from; };
    KFCurve curve;
    double end = 0.0;
    for (int k = 0; k < 12; ++k) {
        const float value = pick(200, 0.1f, -10.0f);
        const unsigned int mode = c.interpolation == kConstant ? (random() % 2 ? KFCURVE_CONSTANT_NEXT : 0u) : c.mode;
        const float d0 = pick(21, c.spread / 10, -c.spread);
        const float d1 = pick(21, c.spread / 10, -c.spread);
        const unsigned int weights = c.weighted ? static_cast<unsigned int>(random() % 4) << 24 : 0u;
        const float w0 = pick(7, 0.1f, 0.1f);
        const float w1 = pick(7, 0.1f, 0.1f);
        end += 0.2 + (random() % 10) * 0.1;
        Add(curve, end, MakeKey(value, c.interpolation, mode, d0, d1, weights, w0, w1));
    }
    const std::vector<float> before = Sample(curve, -1.0, end + 1.0, 1500);
    std::vector<double> times = {-0.5, end + 0.5};
    for (int k = 0; k < 12; ++k) times.push_back((random() % 10000) * end / 10000.0);
    for (double t : times) {
        const int index = curve.KeyInsert(Sec(t));
        ASSERT_GE(index, 0);
        EXPECT_EQ(curve.KeyGetPtr(index)->GetTime(), Sec(t)) << "the answer names the key at the time";
    }
    EXPECT_TRUE(KeysOrdered(curve));
    EXPECT_TRUE(AllNear(before, Sample(curve, -1.0, end + 1.0, 1500), c.tolerance));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KFCurveInsertShape,
    ::testing::Values(ShapeCase{"Constant", kConstant, 0, 0, false, 1e-6},
                      ShapeCase{"Linear", kLinear, 0, 0, false, 1e-5},
                      ShapeCase{"User", kCubic, KFCURVE_TANGEANT_USER, 4, false, 1e-5},
                      ShapeCase{"UserBreak", kCubic, KFCURVE_TANGEANT_USER_BREAK, 4, false, 1e-5},
                      ShapeCase{"Auto", kCubic, KFCURVE_TANGEANT_AUTO, 0, false, 1e-4},
                      ShapeCase{"AutoParameters", kCubic, KFCURVE_TANGEANT_AUTO, 90, false, 1e-4},
                      ShapeCase{"AutoBreak", kCubic, KFCURVE_TANGEANT_AUTO_BREAK, 60, false, 1e-4},
                      ShapeCase{"Weighted", kCubic, KFCURVE_TANGEANT_USER_BREAK, 4, true, 2e-3}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

TEST_F(KFCurveMoveTest, AMoveInsideTheGapStaysInPlaceAndOntoAKeyLandsOneToleranceLater) {
    // {key, to, answer}
    const double moves[][3] = {{2, 2.5, 2}, {0, -3, 0}, {5, 50, 5}, {6, 1, -1}, {-1, 1, -1}};
    for (const auto& m : moves) EXPECT_EQ(curve.KeyMove(int(m[0]), Sec(m[1])), int(m[2])) << m[0];
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{-3, 1, 2.5, 3, 4, 50}));
    // Onto key 3: the moved key and the keys after its old and new places keep their incoming tangents.
    const float movedIncoming = IncomingAt(1.0);
    const float afterOld = IncomingAt(2.5);
    const float afterNew = IncomingAt(4.0);
    ASSERT_EQ(curve.KeyMove(1, Sec(3.0)), 3);
    EXPECT_EQ(curve.KeyGetPtr(3)->GetTime(), Sec(3.0) + Sec(0.00001));
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, 2, 3, 1, 4, 5}));
    EXPECT_EQ(curve.KeyGetLeftDerivative(3), movedIncoming);
    EXPECT_EQ(IncomingAt(2.5), afterOld);
    EXPECT_EQ(IncomingAt(4.0), afterNew);
}

TEST_F(KFCurveMoveTest, MovingSelectedKeysKeepsTheIncomingTangentsAndIsHeardOnce) {
    EventLog log;
    curve.CallbackRegister(&EventLog::Record, &log);
    for (int i : {2, 3}) curve.KeyGetPtr(i)->SetSelected(true);
    // By 1.5 s and +10: the key at 3 s passes the key at 4 s and changes place;
    // the key at 2 s, moved after it, stays in its gap.
    EXPECT_EQ(curve.KeyMoveOf(true, Sec(1.5), 10.0f), 0);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1, 3.5, 4, 4.5, 5}));
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{0, 1, 12, 4, 13, 5}));
    std::vector<float> incoming;
    for (double t : {3.5, 4.0, 4.5, 5.0}) incoming.push_back(IncomingAt(t));
    EXPECT_EQ(incoming, (std::vector<float>{12, 14, 13, 15}));
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, 2, 3, 2}));

    // Every key, earlier: times and values shift together, the order kept.
    log.events.clear();
    curve.KeyMoveOf(false, Sec(-1.0), -1.0f);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{-1, 0, 2.5, 3, 3.5, 4}));
    EXPECT_EQ(KeyValues(curve), (std::vector<float>{-1, 0, 11, 3, 12, 4}));
    EXPECT_EQ(log.Single(), (std::vector<int>{KFCURVEEVENT_KEY, 0, 5, 2}));
    curve.CallbackUnregister(&EventLog::Record, &log);

    // Without keys the default value moves, unless only a selection is asked for.
    KFCurve empty;
    empty.KeyMoveOf(true, Sec(1.0), 2.0f);
    EXPECT_EQ(empty.GetValue(), 0.0f);
    empty.SetSelected(true);
    empty.KeyMoveOf(true, Sec(1.0), 2.0f);
    EXPECT_EQ(empty.GetValue(), 2.0f);
}

TEST(KFCurveInsertTest, MergingKeepsTheIncomingTangentsAroundTheNewKeys) {
    KFCurve curve, source;
    FillBroken(curve, {0, 1, 2, 3, 4, 5}, 0, 1, 10);
    FillBroken(source, {0, 0.5, 1}, -1, 0, 20);
    const float into3 = curve.KeyGetLeftDerivative(3);
    const float into4 = curve.KeyGetLeftDerivative(4);
    curve.Insert(&source, Sec(2.25), 99.0f);
    EXPECT_EQ(KeyTimes(curve), (std::vector<double>{0, 1, 2, 2.25, 2.75, 3, 3.25, 4, 5}));
    // The seam, the source's own incoming tangents and the kept keys' incoming tangents.
    std::vector<float> incoming;
    for (int i = 3; i < 8; ++i) incoming.push_back(curve.KeyGetLeftDerivative(i));
    EXPECT_EQ(incoming, (std::vector<float>{99, 20, into3, 21, into4}));
}

TEST(KFCurveInsertTest, ACurveInsertsItselfAndKeysBeyondTheTimeLineStayOut) {
    KFCurve curve;
    for (int i = 0; i < 3; ++i) Add(curve, i, MakeKey(float(i)));
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
