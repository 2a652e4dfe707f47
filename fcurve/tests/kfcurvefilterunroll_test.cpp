#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/rotation_test_support.h"

using namespace zeqsdk_400;
using namespace rotationtest;

namespace {

class Unroll : public ::testing::Test {
protected:
    Unroll() {
        filter.SetTestForPath(false);
    }
    KFCurve& X() { return *Channel(*node, 0); }
    KFCurve& Y() { return *Channel(*node, 1); }
    KFCurve& Z() { return *Channel(*node, 2); }

    NodePtr node = RotationNode();
    KFCurveFilterUnroll filter;
};

TEST_F(Unroll, NameAndSettingsFromTheLibrary) {
    EXPECT_STREQ(filter.GetName(), "Unroll Filter");
    EXPECT_EQ(filter.GetStartTime(), KTime::MinusInfinite());
    EXPECT_EQ(filter.GetStopTime(), KTime::Infinite());

    const double quality = KFCURVE_GetRotationFilterUnrollQuality();
    const bool path = KFCURVE_GetRotationFilterUnrollTestForPath();
    KFCURVE_SetRotationFilterUnrollQuality(0.75);
    KFCURVE_SetRotationFilterUnrollTestForPath(!path);
    KFCurveFilterUnroll fresh;
    EXPECT_EQ(fresh.GetQualityTolerance(), 0.75);
    EXPECT_EQ(fresh.GetTestForPath(), !path);
    KFCURVE_SetRotationFilterUnrollQuality(quality);
    KFCURVE_SetRotationFilterUnrollTestForPath(path);
    fresh.Reset();
    EXPECT_EQ(fresh.GetQualityTolerance(), quality);
}

TEST_F(Unroll, JumpsAcrossTheHalfTurnBecomeContinuous) {
    KeyTriple(*node, 0, 170, 0, 0);
    KeyTriple(*node, 1, -170, 0, 0);
    KeyTriple(*node, 2, -150, 0, 0);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(X()), (std::vector<float>{170, 190, 210}));
    EXPECT_EQ(Values(Y()), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(Values(Z()), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(Times(X()), Secs({0, 1, 2}));
}

TEST_F(Unroll, WholeTurnsAndTheOtherSolutionAreRemoved) {
    KeyTriple(*node, 0, 10, 0, 0);
    KeyTriple(*node, 1, 370, 0, 0);
    KeyTriple(*node, 2, 725, 0, 0);
    // The identity written as its other Euler solution.
    KeyTriple(*node, 3, 180, 180, 180);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(X()), (std::vector<float>{10, 10, 5, 0}));
    EXPECT_EQ(Values(Y()), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(Values(Z()), (std::vector<float>{0, 0, 0, 0}));
}

// A smooth tumbling rotation written as matrix-derived angles (each in
// -180..180, with flips): every key keeps its orientation and successive keys
// end up close.
TEST_F(Unroll, MatrixDerivedAnglesKeepTheirOrientationsAndBecomeSmooth) {
    struct Rotation {
        KgeRMatrix m;
    };
    std::vector<Rotation> matrices(120);
    for (int k = 0; k < 120; ++k) {
        const double a = k * 6.0;
        KmXYZtoR(matrices[k].m, 1.3 * a, 0.9 * a + 20.0, 0.7 * a);
        KgeRVector v;
        KmRtoVXYZ(v, matrices[k].m);
        KeyTriple(*node, k / 30.0, static_cast<float>(v.mData[0]), static_cast<float>(v.mData[1]),
                  static_cast<float>(v.mData[2]));
    }
    EXPECT_TRUE(filter.Apply(*node, true));
    ASSERT_EQ(X().KeyGetCount(), 120);
    double previous[3] = {0, 0, 0};
    for (int k = 0; k < 120; ++k) {
        const double v[3] = {X().KeyGetPtr(k)->GetValue(), Y().KeyGetPtr(k)->GetValue(), Z().KeyGetPtr(k)->GetValue()};
        KgeRMatrix m;
        KmXYZtoR(m, v[0], v[1], v[2]);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(m[i][j], matrices[k].m[i][j], 1e-5) << "key " << k;
        for (int c = 0; k > 0 && c < 3; ++c) EXPECT_LT(std::fabs(v[c] - previous[c]), 30.0) << "key " << k;
        std::copy(v, v + 3, previous);
    }
}

TEST_F(Unroll, SphericOrderOnlySynchronisesTheKeys) {
    node->SetRotationOrder(KVXRotationOrder::eSphericXYZ);
    Keys(X(), {{0, 170}, {2, -170}});
    Keys(Y(), {{0, 0}, {1, 400}, {2, 0}});
    Keys(Z(), {{0, 0}, {2, 0}});
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Times(X()), Secs({0, 1, 2}));
    EXPECT_EQ(Times(Z()), Secs({0, 1, 2}));
    EXPECT_EQ(X().KeyGetPtr(0)->GetValue(), 170.0f);
    EXPECT_EQ(X().KeyGetPtr(2)->GetValue(), -170.0f);
    EXPECT_EQ(Y().KeyGetPtr(1)->GetValue(), 400.0f);
}

TEST_F(Unroll, KeysAtDifferentTimesAreUnrolledAtTheUnionOfTimes) {
    Keys(X(), {{0, 170}, {2, -150}});
    Keys(Y(), {{0, 0}, {1, 0}, {2, 0}});
    Keys(Z(), {{0, 0}, {2, 0}});
    EXPECT_TRUE(filter.Apply(*node, true));
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Times(*Channel(*node, c)), Secs({0, 1, 2}));
    // The inserted key takes the curve's value there (10 on the way from 170
    // to -150), and the last key follows it.
    EXPECT_NEAR(X().KeyGetPtr(1)->GetValue(), 10.0f, 1e-4);
    EXPECT_FLOAT_EQ(X().KeyGetPtr(2)->GetValue(), -150.0f);
}

TEST_F(Unroll, PathTestAboveEveryFactorKeepsTheFirstReference) {
    // The reference before the first key is the zero triple; it never moves.
    filter.SetTestForPath(true);
    filter.SetQualityTolerance(1e9);
    KeyTriple(*node, 0, 170, 0, 0);
    KeyTriple(*node, 1, 200, 0, 0);
    KeyTriple(*node, 2, 230, 0, 0);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(X()), (std::vector<float>{170, -160, -130}));

    // Without the test each key follows the previous one.
    filter.SetTestForPath(false);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(X()), (std::vector<float>{170, 200, 230}));
}

TEST_F(Unroll, KeysBeforeTheSpanAreKeptAndKeysAfterItJoinIt) {
    KeyTriple(*node, 0, 10, 0, 0);
    KeyTriple(*node, 1, 20, 0, 0);
    KeyTriple(*node, 2, 350, 0, 0);
    KeyTriple(*node, 3, 340, 0, 0);
    KeyTriple(*node, 4, 400, 0, 0);
    filter.SetStartTime(Sec(0.5));
    filter.SetStopTime(Sec(3.5));
    EXPECT_TRUE(filter.Apply(*node, true));
    // The key after the span keeps its orientation and its step from the span's end.
    EXPECT_EQ(Values(X()), (std::vector<float>{10, 20, -10, -20, 40}));
}

// The span's first key itself needs a turn to follow the key before the span.
// Waits on KFCurveNode::Replace, which joins the copied keys to the old value
// at the span's start rather than to the key before it, and so puts that turn back.
TEST_F(Unroll, SpanWhoseFirstKeyNeedsATurnFollowsTheKeyBefore) {
    KeyTriple(*node, 0, 10, 0, 0);
    KeyTriple(*node, 1, 350, 0, 0);
    KeyTriple(*node, 2, 10, 0, 0);
    KeyTriple(*node, 3, 20, 0, 0);
    KeyTriple(*node, 4, 400, 0, 0);
    filter.SetStartTime(Sec(0.5));
    filter.SetStopTime(Sec(3.5));
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(X()), (std::vector<float>{10, -10, 10, 20, 400}));
}

TEST_F(Unroll, KeyKindsAreKept) {
    fcurvetest::Add(X(), 0, fcurvetest::MakeKey(170, fcurvetest::kLinear));
    fcurvetest::Add(X(), 1, fcurvetest::MakeKey(-170, fcurvetest::kConstant));
    Keys(Y(), {{0, 0}, {1, 0}});
    Keys(Z(), {{0, 0}, {1, 0}});
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(X().KeyGetPtr(0)->GetInterpolation(), fcurvetest::kLinear);
    EXPECT_EQ(X().KeyGetPtr(1)->GetInterpolation(), fcurvetest::kConstant);
    EXPECT_EQ(X().KeyGetPtr(1)->GetValue(), 190.0f);
}

TEST_F(Unroll, ASingleKeyIsLeftAsItIs) {
    KeyTriple(*node, 1, 370, 0, 0);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Values(X()), (std::vector<float>{370}));
}

TEST_F(Unroll, CurveArrayOfThree) {
    KFCurve x, y, z;
    Keys(x, {{0, 170}, {1, -170}});
    Keys(y, {{0, 0}, {1, 0}});
    Keys(z, {{0, 0}, {1, 0}});
    KFCurve* curves[3] = {&x, &y, &z};
    EXPECT_TRUE(filter.Apply(curves, 3));
    EXPECT_EQ(Values(x), (std::vector<float>{170, 190}));
    // The curves stay the caller's (the stack objects are destroyed here).
}

TEST_F(Unroll, RefusedInputLeavesTheCurvesUnchanged) {
    KeyTriple(*node, 0, 170, 0, 0);
    KeyTriple(*node, 1, -170, 0, 0);

    KFCurve* two[2] = {&X(), &Y()};
    EXPECT_FALSE(filter.Apply(two, 2));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterUnroll::eNeedRotationNode);
    EXPECT_STREQ(filter.GetLastErrorString(), "Unroll Filter, Works only on rotation CurveNodes.");
    EXPECT_FALSE(filter.Apply(nullptr, 3));
    EXPECT_FALSE(filter.Apply(X()));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterUnroll::eNeedRotationNode);

    NodePtr translation = RotationNode(KFCL_ADD);
    KeyTriple(*translation, 0, 170, 0, 0);
    KeyTriple(*translation, 1, -170, 0, 0);
    EXPECT_FALSE(filter.Apply(*translation, true));
    EXPECT_EQ(Values(*Channel(*translation, 0)), (std::vector<float>{170, -170}));

    // A channel without curve.
    KFCurve* z = node->Get(2)->FCurveSet(nullptr);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterUnroll::eNeedRotationNode);
    node->Get(2)->FCurveSet(z);
    EXPECT_FALSE(filter.DoUnroll(nullptr));
    EXPECT_EQ(Values(X()), (std::vector<float>{170, -170}));
}

TEST_F(Unroll, NoKeyIsReported) {
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "Unroll Filter, No key to be filtered.");
}

TEST(UnrollQualityFactor, WorkedValues) {
    // A plain turn about one axis moves the angles as much as the orientation.
    EXPECT_NEAR(KFCurveFilterUnroll::InterpolationQualityFactor(KgeRVector(0, 0, 0), KgeRVector(10, 0, 0)), 1.0, 1e-9);
    // The other solution of the identity: a long way for no rotation at all.
    EXPECT_NEAR(KFCurveFilterUnroll::InterpolationQualityFactor(KgeRVector(0, 0, 0), KgeRVector(180, 180, 180)), 0.0,
                1e-9);
    // Equal triples.
    EXPECT_EQ(KFCurveFilterUnroll::InterpolationQualityFactor(KgeRVector(5, 6, 7), KgeRVector(5, 6, 7)), 100.0);
    // A whole turn: 360 degrees of angle for no rotation.
    EXPECT_NEAR(KFCurveFilterUnroll::InterpolationQualityFactor(KgeRVector(0, 0, 0), KgeRVector(0, 360, 0)), 0.0,
                1e-9);
}

}  // namespace
