#include "fcurve/kfcurvefilterunroll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

class Unroll : public ::testing::Test {
protected:
    Unroll() { filter.SetTestForPath(false); }
    KFCurve& X() { return C(node, 0); }
    // The X values after unrolling a node keyed with rows, one a second.
    std::vector<float> Unrolled(std::initializer_list<std::initializer_list<float>> rows) {
        NodePtr other = RotationNode();
        KeyRows(other, rows);
        EXPECT_TRUE(filter.Apply(*other, true));
        EXPECT_EQ(Values(C(other, 1)), std::vector<float>(rows.size(), 0.0f));
        return Values(C(other, 0));
    }

    NodePtr node = RotationNode();
    KFCurveFilterUnroll filter;
};

TEST_F(Unroll, JumpsTurnsAndTheOtherSolutionBecomeContinuous) {
    EXPECT_EQ(Unrolled({{170, 0, 0}, {-170, 0, 0}, {-150, 0, 0}}), (std::vector<float>{170, 190, 210}));
    // The identity written as its other solution at the end.
    EXPECT_EQ(Unrolled({{10, 0, 0}, {370, 0, 0}, {725, 0, 0}, {180, 180, 180}}), (std::vector<float>{10, 10, 5, 0}));
    EXPECT_EQ(Unrolled({{370, 0, 0}}), std::vector<float>{370});  // a single key is left as it is
}

// A smooth tumbling rotation written as matrix-derived angles (each in
// -180..180, with flips): every key keeps its orientation and successive keys
// end up close.
TEST_F(Unroll, MatrixDerivedAnglesKeepTheirOrientationsAndBecomeSmooth) {
    static KgeRMatrix matrices[120];
    for (int k = 0; k < 120; ++k) {
        const double a = k * 6.0;
        KmXYZtoR(matrices[k], 1.3 * a, 0.9 * a + 20.0, 0.7 * a);
        KgeRVector v;
        KmRtoVXYZ(v, matrices[k]);
        KeyAll(node, k / 30.0, {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])});
    }
    EXPECT_TRUE(filter.Apply(*node, true));
    ASSERT_EQ(X().KeyGetCount(), 120);
    double previous[3] = {0, 0, 0};
    for (int k = 0; k < 120; ++k) {
        const double v[3] = {X().KeyGetPtr(k)->GetValue(), C(node, 1).KeyGetPtr(k)->GetValue(),
                             C(node, 2).KeyGetPtr(k)->GetValue()};
        KgeRMatrix m;
        KmXYZtoR(m, v[0], v[1], v[2]);
        ExpectSameMatrix(m, matrices[k], 1e-5);
        for (int c = 0; k > 0 && c < 3; ++c) EXPECT_LT(std::fabs(v[c] - previous[c]), 30.0) << "key " << k;
        std::copy(v, v + 3, previous);
    }
}

TEST_F(Unroll, OverASpanTheKeysOutsideItAreJoined) {
    // X keyed at 0 .. 4 s, unrolled over 0.5 .. 3.5 s: the keys before the span
    // stay, the span follows the key before it (even its first key, which needs
    // a turn), and the key after it keeps its step from the span's end.
    const std::vector<float> cases[][2] = {{{10, 20, 350, 340, 400}, {10, 20, -10, -20, 40}},
                                           {{10, 350, 10, 20, 400}, {10, -10, 10, 20, 400}}};
    filter.SetStartTime(Sec(0.5));
    filter.SetStopTime(Sec(3.5));
    for (const auto& c : cases) {
        NodePtr r = RotationNode();
        for (int k = 0; k < 5; ++k) KeyAll(r, k, {c[0][k], 0, 0});
        EXPECT_TRUE(filter.Apply(*r, true));
        EXPECT_EQ(Values(C(r, 0)), c[1]);
    }
}

TEST_F(Unroll, RefusedInputLeavesTheCurvesUnchanged) {
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_STREQ(filter.GetLastErrorString(), "Unroll Filter, No key to be filtered.");
    KeyRows(node, {{170, 0, 0}, {-170, 0, 0}});
    EXPECT_FALSE(filter.Apply(nullptr, 3));
    EXPECT_FALSE(filter.DoUnroll(nullptr));

    NodePtr translation = RotationNode(KFCL_ADD);
    KeyRows(translation, {{170, 0, 0}, {-170, 0, 0}});
    EXPECT_FALSE(filter.Apply(*translation, true));
    EXPECT_EQ(Values(C(translation, 0)), (std::vector<float>{170, -170}));

    EXPECT_FALSE(filter.Apply(C(translation, 0)));
    EXPECT_STREQ(filter.GetLastErrorString(), "Unroll Filter, Works only on rotation CurveNodes.");

    KFCurve* z = node->Get(2)->FCurveSet(nullptr);  // a channel without curve
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCurveFilterUnroll::eNeedRotationNode);
    node->Get(2)->FCurveSet(z);
    EXPECT_EQ(Values(X()), (std::vector<float>{170, -170}));
}

// A new filter takes the library's settings of the moment; Reset takes them again.
TEST(UnrollSettings, NewAndResetFiltersTakeTheLibrarySettings) {
    const double quality = KFCURVE_GetRotationFilterUnrollQuality();
    const bool path = KFCURVE_GetRotationFilterUnrollTestForPath();
    KFCurveFilterUnroll before;
    KFCURVE_SetRotationFilterUnrollQuality(0.75);
    KFCURVE_SetRotationFilterUnrollTestForPath(!path);
    KFCurveFilterUnroll after;
    EXPECT_EQ(std::make_pair(after.GetQualityTolerance(), after.GetTestForPath()), std::make_pair(0.75, !path));
    EXPECT_EQ(std::make_pair(before.GetQualityTolerance(), before.GetTestForPath()), std::make_pair(quality, path));
    before.Reset();
    EXPECT_EQ(std::make_pair(before.GetQualityTolerance(), before.GetTestForPath()), std::make_pair(0.75, !path));
    KFCURVE_SetRotationFilterUnrollQuality(quality);
    KFCURVE_SetRotationFilterUnrollTestForPath(path);
}

}  // namespace
