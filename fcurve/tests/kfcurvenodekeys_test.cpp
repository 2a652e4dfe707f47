#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

NodePtr Translation() { return NodePtr(Vector("T", nullptr, KFCL_ADD)); }
NodePtr Quaternion() { return NodePtr(Vector("R", nullptr, KFCL_QUAT, 4)); }

// ---- Keys across channels -------------------------------------------------------------

TEST(NodeKeys, KeyAddKeysEachChannelCubicAuto) {
    NodePtr t = Translation();
    double values[] = {1.0, 2.0, 3.0, 99.0};
    EXPECT_EQ(t->KeyAdd(Sec(1), values), values + 3);
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(C(t, c).KeyGetCount(), 1);
        const KFCurveKey* key = C(t, c).KeyGetPtr(0);
        EXPECT_EQ(key->GetTime(), Sec(1));
        EXPECT_FLOAT_EQ(key->GetValue(), static_cast<float>(c + 1));
        EXPECT_EQ(key->GetInterpolation(), kCubic);
        EXPECT_EQ(key->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));
        EXPECT_FLOAT_EQ(key->GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 0.33333334f);
    }
    double again[] = {4.0, 5.0, 6.0};
    t->KeyAdd(Sec(1), again);  // replaces the key at the same time
    EXPECT_EQ(Values(C(t, 2)), std::vector<float>{6.0f});
    EXPECT_EQ(t->KeyAdd(Sec(1), nullptr), nullptr);
}

TEST(NodeKeys, CountsFirstLastAndIntervalWithLayers) {
    NodePtr t = Translation();
    KFCurveKey* key = nullptr;
    t->KeyGetFirst(key, true);
    EXPECT_EQ(key, nullptr);  // no keys: left as it was
    KTime start = Sec(5), stop = Sec(6);
    EXPECT_FALSE(t->GetAnimationInterval(start, stop));
    EXPECT_EQ(start, Sec(5));
    EXPECT_EQ(stop, Sec(6));
    t->GetTimeSpan(start, stop);
    EXPECT_EQ(start, KTime::Infinite());
    EXPECT_EQ(stop, KTime::MinusInfinite());

    Keys(C(t, 0), {{0, 1}, {1, 2}});
    Keys(C(t, 2), {{0.5, 1}});
    t->CreateLayerAt(1);
    Keys(C(*t->LayerGet(1), 0), {{3, 0}});
    EXPECT_EQ(t->KeyGetCount(false), 3);
    EXPECT_EQ(t->KeyGetCount(true), 4);
    EXPECT_EQ(t->KeyGetCountOnChild(0), 3);
    EXPECT_EQ(t->KeyGetCountOnChild(1), 0);
    EXPECT_EQ(t->KeyGetCountOnChild(7), 0);
    t->KeyGetFirst(key);
    EXPECT_EQ(key->GetTime(), Sec(0));
    t->KeyGetLast(key, false);
    EXPECT_EQ(key->GetTime(), Sec(1));
    t->KeyGetLast(key, true);
    EXPECT_EQ(key->GetTime(), Sec(3));
    start = Sec(5);
    stop = Sec(6);
    EXPECT_TRUE(t->GetAnimationInterval(start, stop));
    EXPECT_EQ(start, Sec(0));
    EXPECT_EQ(stop, Sec(6));
    t->GetTimeSpan(start, stop);
    EXPECT_EQ(start, Sec(0));
    EXPECT_EQ(stop, Sec(3));
}

// (time, tolerance in key positions, key removed or -1) on keys at 0 .. 5 s.
class DeleteKeyTolerance : public ::testing::TestWithParam<std::tuple<double, double, int>> {};

TEST_P(DeleteKeyTolerance, RemovesTheKeyWithinTolerance) {
    NodePtr leaf(Leaf("L"));
    for (int i = 0; i < 6; ++i) Keys(*leaf->FCurveGet(), {{static_cast<double>(i), 0}}, kLinear);
    KTime t = Sec(std::get<0>(GetParam()));
    leaf->DeleteKey(t, nullptr, std::get<1>(GetParam()));
    std::vector<KTime> expected = Secs({0, 1, 2, 3, 4, 5});
    if (std::get<2>(GetParam()) >= 0) expected.erase(expected.begin() + std::get<2>(GetParam()));
    EXPECT_EQ(Times(*leaf->FCurveGet()), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteKeyTolerance,
                         ::testing::Values(std::make_tuple(4.2, 0.3, 4), std::make_tuple(4.5, 0.3, -1),
                                           std::make_tuple(2.01, 0.0, -1), std::make_tuple(2.0, 0.0, 2),
                                           std::make_tuple(-1.0, 0.9, -1), std::make_tuple(9.0, 0.9, -1)));

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
    NodePtr many(Vector("Many", nullptr, KFCL_NOLAYER, {0, 0, 0, 0, 0, 0}));
    for (int i = 0; i < 6; ++i) Keys(C(many, i), {{1, 0}});
    EXPECT_EQ(many->IsKey(one), 2);
}

TEST(NodeKeys, PreviousAndNextKeyTimesOverEnabledChannels) {
    NodePtr t = Translation();
    Keys(C(t, 0), {{1, 0}, {4, 0}});
    Keys(C(t, 1), {{2, 0}});
    Keys(C(t, 2), {{3, 0}, {6, 0}});
    EXPECT_EQ(t->GetPrevKeyTime(Sec(3)), Sec(2));
    EXPECT_EQ(t->GetNextKeyTime(Sec(3)), Sec(4));
    EXPECT_EQ(t->GetPrevKeyTime(Sec(1)), Sec(1));  // none before: the time itself
    EXPECT_EQ(t->GetNextKeyTime(Sec(6)), Sec(6));
    bool noY[] = {true, false, true};
    EXPECT_EQ(t->GetPrevKeyTime(Sec(3), noY), Sec(1));
    // A key one tick away counts.
    EXPECT_EQ(t->GetPrevKeyTime(Sec(4) + KTime(1)), Sec(4));
    EXPECT_EQ(t->GetNextKeyTime(Sec(4) - KTime(1)), Sec(4));
}

// ---- Appending and rotation continuity ---------------------------------------------------

TEST(NodeKeys, KeyAppendKeepsTheCurvesSortedAndRotationsContinuous) {
    NodePtr t = Translation();
    double a[] = {1, 2, 3}, b[] = {4, 5, 6}, c[] = {7, 8, 9};
    EXPECT_EQ(t->KeyAppend(Sec(0), a), a + 3);
    t->KeyAppend(Sec(2), b);
    t->KeyAppend(Sec(1), c);  // out of order: the key goes in its place
    EXPECT_EQ(Times(C(t, 0)), Secs({0, 1, 2}));
    EXPECT_EQ(Values(C(t, 1)), (std::vector<float>{2, 8, 5}));

    NodePtr r = RotationNode();
    double first[] = {170, 0, 0}, second[] = {-170, 0, 0}, third[] = {-150, 0, 0}, fourth[] = {-140, 0, 0};
    r->KeyAppend(Sec(0), first, true);
    r->KeyAppend(Sec(1), second, true);
    r->KeyAppend(Sec(2), third, true);
    r->KeyAppend(Sec(3), fourth, false);  // without the flag the values are kept as given
    EXPECT_EQ(Values(C(r, 0)), (std::vector<float>{170, 190, 210, -140}));
}

TEST(NodeKeys, ContinuousRotationWithoutPreviousKeyOrForSphericKeepsValues) {
    NodePtr r = RotationNode();
    double values[] = {-170, 5, 400}, out[3];
    const std::vector<double> given(values, values + 3);
    r->GetContinuousRotation(out, values, Sec(1));
    EXPECT_EQ(std::vector<double>(out, out + 3), given);
    KeyAll(r, 0, {170, 0, 0});
    r->SetRotationOrder(KVXRotationOrder::eSphericXYZ);
    r->GetContinuousRotation(out, values, Sec(1));
    EXPECT_EQ(std::vector<double>(out, out + 3), given);
    r->SetRotationOrder(KVXRotationOrder::eEulerXYZ);
    r->GetContinuousRotation(out, values, Sec(1));
    EXPECT_NEAR(out[0], 190.0, 1e-9);
}

TEST(NodeKeys, ContinuousOffsetInWholeTurnsOrToTheOtherSolution) {
    NodePtr r = RotationNode();
    double out[3], source[] = {10, -20, 5}, target[] = {370, -740, 5};
    EXPECT_FALSE(r->GetContinuousOffset(out, source, target));
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{360, -720, 0}));

    // (180, 100, 180) is the rotation (0, 80, 0): X and Z add their offset, Y is mirrored.
    double other[] = {180, 100, 180}, near[] = {0, 80, 0};
    EXPECT_TRUE(r->GetContinuousOffset(out, other, near));
    EXPECT_DOUBLE_EQ(other[0], 360.0);
    EXPECT_DOUBLE_EQ(other[1], 80.0);
    EXPECT_NEAR(180.0 + out[0], 0.0, 1e-9);
    EXPECT_NEAR(out[1] - 100.0, 80.0, 1e-9);
    EXPECT_NEAR(180.0 + out[2], 0.0, 1e-9);

    // Spheric: whole turns only; -180 / 360 is exactly a half, no turn.
    r->SetRotationOrder(KVXRotationOrder::eSphericXYZ);
    double spheric[] = {180, 100, 180};
    EXPECT_FALSE(r->GetContinuousOffset(out, spheric, near));
    EXPECT_DOUBLE_EQ(out[0], 0.0);
    EXPECT_DOUBLE_EQ(spheric[0], 180.0);
}

// In every order of three distinct axes the other solution mirrors that order's middle axis:
// the rewritten source is the same rotation and whole turns from the target.
class ContinuousOffsetOrder : public ::testing::TestWithParam<int> {};

TEST_P(ContinuousOffsetOrder, OtherSolutionIsTheSameRotation) {
    NodePtr r = RotationNode();
    r->SetRotationOrder(GetParam());
    const KVXRotationOrder order(GetParam());
    double source[] = {150, 120, 130}, out[3];
    KgeRMatrix m;
    order.V2M(m, KgeRVector(source[0], source[1], source[2]));
    KgeRVector principal;
    order.M2V(principal, m);
    double target[] = {principal[0], principal[1], principal[2]};
    const double original[] = {source[0], source[1], source[2]};
    ASSERT_TRUE(r->GetContinuousOffset(out, source, target));
    ExpectSameRotation(source, original, 1e-9, GetParam());
    for (int c = 0; c < 3; ++c) {
        const double turns = (target[c] - source[c]) / 360.0;
        EXPECT_NEAR(turns, std::round(turns), 1e-9) << c;
    }
}

INSTANTIATE_TEST_SUITE_P(DistinctAxes, ContinuousOffsetOrder, ::testing::Values(0, 2, 4, 6, 8, 10));

// ---- Replace ------------------------------------------------------------------------------

TEST(NodeReplace, PlainChannelsTakeTheSourceSpan) {
    NodePtr t = Translation(), s = Translation();
    for (int k = 0; k < 4; ++k) KeyAll(t, k, {0, static_cast<float>(k), 0});
    KeyAll(s, 1, {0, 10, 0});
    KeyAll(s, 2, {0, 20, 0});
    t->Replace(s.get(), Sec(1), Sec(2), false, true);
    EXPECT_EQ(Values(C(t, 1)), (std::vector<float>{0, 10, 20, 3}));
}

TEST(NodeReplace, EulerKeysJoinTheKeysBeforeAndAfterTheSpan) {
    NodePtr r = RotationNode(), unrolled = RotationNode();
    KeyAll(r, 0, {0, 0, 0});
    KeyAll(r, 1, {170, 0, 0});
    KeyAll(r, 2, {-170, 0, 0});
    KeyAll(r, 3, {-160, 0, 0});
    KeyAll(unrolled, 1, {170, 0, 0});
    KeyAll(unrolled, 2, {190, 0, 0});
    r->Replace(unrolled.get(), Sec(1), Sec(2), false, true);
    EXPECT_EQ(Values(C(r, 0)), (std::vector<float>{0, 170, 190, 200}));  // after the span: whole turns
    EXPECT_EQ(Values(C(r, 1)), (std::vector<float>{0, 0, 0, 0}));

    // The other solution of the same orientation joins the keys before.
    NodePtr steady = RotationNode(), other = RotationNode();
    for (int k = 0; k < 3; ++k) KeyAll(steady, k, {0, 80, 0});
    KeyAll(other, 1, {180, 100, 180});
    steady->Replace(other.get(), Sec(1), Sec(1), false, true);
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(C(steady, c).KeyGetCount(), 3);
        EXPECT_NEAR(C(steady, c).KeyGetPtr(1)->GetValue(), c == 1 ? 80.0f : 0.0f, 1e-4f);
    }

    // Without keys outside the span the copy is taken as it is.
    NodePtr whole = RotationNode(), copy = RotationNode();
    KeyAll(whole, 0, {170, 0, 0});
    KeyAll(whole, 1, {-170, 0, 0});
    KeyAll(copy, 0, {170, 0, 0});
    KeyAll(copy, 1, {190, 0, 0});
    whole->Replace(copy.get(), KTime::MinusInfinite(), KTime::Infinite(), false, true);
    EXPECT_EQ(Values(C(whole, 0)), (std::vector<float>{170, 190}));
}

TEST(NodeReplace, QuaternionSignFollowsTheNeighbouringKeys) {
    NodePtr q = Quaternion(), other = Quaternion();
    for (int k = 0; k < 3; ++k) KeyAll(q, k, {0, 0, 0, 1});
    KeyAll(other, 1, {0, 0, 0, -1});
    q->Replace(other.get(), Sec(1), Sec(1), false, true);
    EXPECT_EQ(Values(C(q, 3)), (std::vector<float>{1, 1, 1}));

    // Without keys before the span the copy keeps its sign and the keys after follow it.
    NodePtr late = Quaternion();
    KeyAll(late, 1, {0, 0, 0, 1});
    KeyAll(late, 2, {0, 0.6f, 0, 0.8f});
    late->Replace(other.get(), Sec(1), Sec(1), false, true);
    EXPECT_EQ(Values(C(late, 3)), (std::vector<float>{-1, -0.8f}));
    EXPECT_EQ(Values(C(late, 1)), (std::vector<float>{0, -0.6f}));

    // ReplaceForQuaternion needs four channels on both sides.
    NodePtr fresh = Quaternion();
    EXPECT_FALSE(fresh->ReplaceForQuaternion(RotationNode().get(), Sec(0), Sec(1), 1.0, 0.0, false, true));
    EXPECT_TRUE(
        fresh->ReplaceForQuaternion(other.get(), KTime::MinusInfinite(), KTime::Infinite(), -1.0, 0.0, false, true));
    EXPECT_EQ(Values(C(fresh, 3)), std::vector<float>{1});
}

// ---- Values, copies, deletion, creation ---------------------------------------

TEST(NodeValues, DefaultValuesRoundTripDepthFirst) {
    NodePtr t = Translation();
    t->FCurveSet(KFCurveCreate(), true);
    double in[] = {1.5, 2.5, 3.5, 4.5}, out[5] = {0, 0, 0, 0, -1};
    EXPECT_EQ(t->SetValue(in), in + 4);
    EXPECT_EQ(t->GetValue(out), out + 4);
    EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{1.5, 2.5, 3.5, 4.5, -1}));
}

TEST(NodeCopies, CopyOverASpanAndDeleteASpan) {
    NodePtr t = Translation();
    for (int k = 0; k < 4; ++k) KeyAll(t, k, {0, 0, 0});
    t->SetRotationOrder(3);
    t->CreateLayerAt(2);
    Keys(C(*t->LayerGet(2), 0), {{5, 5}});
    NodePtr copy(t->Copy(Sec(1), Sec(2)));
    EXPECT_STREQ(copy->GetName(), "T");
    EXPECT_EQ(copy->GetLayerType(), KFCL_ADD);
    EXPECT_EQ(copy->GetRotationOrder(), 3);
    ASSERT_EQ(copy->GetCount(), 3);
    EXPECT_STREQ(copy->Get(1)->GetName(), "Y");
    EXPECT_EQ(Times(C(copy, 2)), Secs({1, 2}));
    ASSERT_NE(copy->LayerGet(2), nullptr);
    EXPECT_EQ(C(*copy->LayerGet(2), 0).KeyGetCount(), 1);
    EXPECT_EQ(C(t, 0).KeyGetCount(), 4);
    NodePtr single(t->SingleLayerCopy(KTime::MinusInfinite(), KTime::Infinite()));
    EXPECT_EQ(single->LayerGet(), nullptr);
    EXPECT_EQ(C(single, 0).KeyGetCount(), 4);

    t->Delete(Sec(0), Sec(3));
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Times(C(t, c)), Secs({0, 3}));
}

TEST(NodeFromDataType, LayerTypeAndChildrenFollowTheType) {
    NodePtr four(FCurveNodeCreateFromDataType(KDataTypeGet("Vector4"), "V"));
    EXPECT_EQ(four->GetLayerType(), KFCL_ADD);
    ASSERT_EQ(four->GetCount(), 4);
    EXPECT_STREQ(four->Get(2)->GetName(), "Z");
    EXPECT_STREQ(four->Get(3)->GetName(), " ");
    EXPECT_EQ(four->Get(3)->GetDataType(), nullptr);
    EXPECT_EQ(four->Get(3)->GetLayerType(), KFCL_NOLAYER);
    NodePtr rotation(FCurveNodeCreateFromDataType(&KDataTypeLclRotation, "Lcl Rotation"));
    EXPECT_EQ(rotation->GetLayerType(), KFCL_EULER_XYZ);
    EXPECT_EQ(rotation->GetCount(), 3);
    EXPECT_EQ(NodePtr(FCurveNodeCreateFromDataType(&KDataTypeLclScaling, "S"))->GetLayerType(), KFCL_MULT);
    NodePtr number(FCurveNodeCreateFromDataType(&KDataTypeNumber, "N"));
    EXPECT_EQ(number->GetLayerType(), KFCL_ADD);
    EXPECT_EQ(number->GetCount(), 0);
    EXPECT_EQ(NodePtr(FCurveNodeCreateFromDataType(nullptr, "None"))->GetCount(), 0);
}

}  // namespace
