#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

NodePtr Translation() { return NodePtr(Vector("T", nullptr, KFCL_ADD)); }
NodePtr Quaternion() { return NodePtr(Vector("R", nullptr, KFCL_QUAT, 4)); }

TEST(NodeKeys, IsKeyCountsEnabledChannelsWithinTheKeys) {
    NodePtr t = Translation();
    Keys(C(t, 0), {{1, 0}, {2, 0}});
    Keys(C(t, 1), {{1, 0}});
    Keys(C(t, 2), {{1, 0}, {3, 0}});
    KTime one = Sec(1), two = Sec(2), five = Sec(5), near = Sec(1.1), past = Sec(2.5);
    EXPECT_EQ(t->IsKey(one), 2);
    EXPECT_EQ(t->IsKey(two), 1);
    EXPECT_EQ(t->IsKey(five), 0);
    // Only X enabled (the node has no curve of its own: entry i is child i).
    bool onlyX[] = {true, false, false}, onlyY[] = {false, true, false};
    EXPECT_EQ(t->IsKey(two, nullptr, onlyX), 2);
    EXPECT_EQ(t->IsKey(two, nullptr, onlyY), 0);
    EXPECT_EQ(t->IsKey(near, nullptr, onlyX, 0.2), 2);
    EXPECT_EQ(t->IsKey(near, nullptr, onlyX, 0.05), 0);
    // Past the last key, rounding would reach a key that does not exist.
    EXPECT_EQ(t->IsKey(past, nullptr, onlyX, 0.6), 0);

    // Without a mask every channel counts, however many there are.
    NodePtr many(Vector("Many", nullptr, KFCL_NOLAYER, 6));
    KeyAll(many, 1, {0, 0, 0, 0, 0, 0});
    EXPECT_EQ(many->IsKey(one), 2);
}

TEST(NodeKeys, KeyAppendKeepsTheCurvesSortedAndRotationsContinuous) {
    NodePtr t = Translation();
    double rows[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    EXPECT_EQ(t->KeyAppend(Sec(0), rows[0]), rows[0] + 3);
    t->KeyAppend(Sec(2), rows[1]);
    t->KeyAppend(Sec(1), rows[2]);  // out of order: the key goes in its place
    EXPECT_EQ(Times(C(t, 0)), Secs({0, 1, 2}));
    EXPECT_EQ(Values(C(t, 1)), (std::vector<float>{2, 8, 5}));

    NodePtr r = RotationNode();
    double x[4][3] = {{170, 0, 0}, {-170, 0, 0}, {-150, 0, 0}, {-140, 0, 0}};
    for (int k = 0; k < 4; ++k) r->KeyAppend(Sec(k), x[k], k < 3);  // without the flag the values stay as given
    EXPECT_EQ(Values(C(r, 0)), (std::vector<float>{170, 190, 210, -140}));
}

TEST(NodeKeys, ContinuousOffsetInWholeTurnsOrToTheOtherSolution) {
    NodePtr r = RotationNode();
    double out[3], source[] = {10, -20, 5}, target[] = {370, -740, 5};
    EXPECT_FALSE(r->GetContinuousOffset(out, source, target));
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{360, -720, 0}));

    // (180, 100, 180) is the rotation (0, 80, 0): X and Z add their offset, Y is mirrored.
    double other[] = {180, 100, 180}, near[] = {0, 80, 0};
    EXPECT_TRUE(r->GetContinuousOffset(out, other, near));
    EXPECT_EQ(std::vector<double>(other, other + 3), (std::vector<double>{360, 80, 360}));

    // Spheric: whole turns only; -180 / 360 is exactly a half, no turn.
    r->SetRotationOrder(KVXRotationOrder::eSphericXYZ);
    double spheric[] = {180, 100, 180};
    EXPECT_FALSE(r->GetContinuousOffset(out, spheric, near));
    EXPECT_DOUBLE_EQ(out[0], 0.0);
    EXPECT_DOUBLE_EQ(spheric[0], 180.0);
}

TEST(NodeKeys, ContinuousOffsetMirrorsTheMiddleAxisOfEveryOrder) {
    // In every order of three distinct axes the other solution is the same
    // rotation and whole turns from the target.
    for (int o : {0, 2, 4, 6, 8, 10}) {
        SCOPED_TRACE(o);
        NodePtr r = RotationNode();
        r->SetRotationOrder(o);
        double source[] = {150, 120, 130}, out[3];
        const double original[] = {150, 120, 130};
        KgeRMatrix m;
        KgeRVector principal;
        KVXRotationOrder(o).V2M(m, KgeRVector(source[0], source[1], source[2]));
        KVXRotationOrder(o).M2V(principal, m);
        double target[] = {principal[0], principal[1], principal[2]};
        ASSERT_TRUE(r->GetContinuousOffset(out, source, target));
        ExpectSameRotation(source, original, 1e-9, o);
        for (int c = 0; c < 3; ++c) {
            const double turns = (target[c] - source[c]) / 360.0;
            EXPECT_NEAR(turns, std::round(turns), 1e-9) << c;
        }
    }
}

TEST(NodeReplace, PlainChannelsTakeTheSourceSpanAndEulerKeysJoinTheKeysAround) {
    NodePtr t = Translation(), s = Translation();
    KeyRows(t, {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 3, 0}});
    KeyAll(s, 1, {0, 10, 0});
    KeyAll(s, 2, {0, 20, 0});
    t->Replace(s.get(), Sec(1), Sec(2), false, true);
    EXPECT_EQ(Values(C(t, 1)), (std::vector<float>{0, 10, 20, 3}));

    NodePtr r = RotationNode(), unrolled = RotationNode();
    KeyRows(r, {{0, 0, 0}, {170, 0, 0}, {-170, 0, 0}, {-160, 0, 0}});
    KeyAll(unrolled, 1, {170, 0, 0});
    KeyAll(unrolled, 2, {190, 0, 0});
    r->Replace(unrolled.get(), Sec(1), Sec(2), false, true);
    EXPECT_EQ(Values(C(r, 0)), (std::vector<float>{0, 170, 190, 200}));  // after the span: whole turns
    EXPECT_EQ(Values(C(r, 1)), (std::vector<float>{0, 0, 0, 0}));

    // The other solution of the same orientation joins the keys before.
    NodePtr steady = RotationNode(), other = RotationNode();
    KeyRows(steady, {{0, 80, 0}, {0, 80, 0}, {0, 80, 0}});
    KeyAll(other, 1, {180, 100, 180});
    steady->Replace(other.get(), Sec(1), Sec(1), false, true);
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(C(steady, c).KeyGetCount(), 3);
        EXPECT_NEAR(C(steady, c).KeyGetPtr(1)->GetValue(), c == 1 ? 80.0f : 0.0f, 1e-4f);
    }

    // Without keys outside the span the copy is taken as it is.
    NodePtr whole = RotationNode(), copy = RotationNode();
    KeyRows(whole, {{170, 0, 0}, {-170, 0, 0}});
    KeyRows(copy, {{170, 0, 0}, {190, 0, 0}});
    whole->Replace(copy.get(), KTime::MinusInfinite(), KTime::Infinite(), false, true);
    EXPECT_EQ(Values(C(whole, 0)), (std::vector<float>{170, 190}));
}

TEST(NodeReplace, QuaternionSignFollowsTheNeighbouringKeys) {
    NodePtr q = Quaternion(), other = Quaternion();
    KeyRows(q, {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}});
    KeyAll(other, 1, {0, 0, 0, -1});
    q->Replace(other.get(), Sec(1), Sec(1), false, true);
    EXPECT_EQ(Values(C(q, 3)), (std::vector<float>{1, 1, 1}));

    // ReplaceForQuaternion needs four channels on both sides.
    NodePtr fresh = Quaternion();
    EXPECT_FALSE(fresh->ReplaceForQuaternion(RotationNode().get(), Sec(0), Sec(1), 1.0, 0.0, false, true));
    EXPECT_TRUE(
        fresh->ReplaceForQuaternion(other.get(), KTime::MinusInfinite(), KTime::Infinite(), -1.0, 0.0, false, true));
    EXPECT_EQ(Values(C(fresh, 3)), std::vector<float>{1});
}

}  // namespace
