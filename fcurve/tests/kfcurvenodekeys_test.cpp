#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"
#include "object/kdatatype.h"

using namespace zeqsdk_400;
using fcurvetest::Sec;

namespace {

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

void Keys(KFCurve* curve, std::initializer_list<std::pair<double, float>> keys) {
    for (auto [s, v] : keys) fcurvetest::Add(*curve, s, fcurvetest::MakeKey(v, fcurvetest::kLinear));
}

std::vector<float> Values(KFCurve* curve) {
    std::vector<float> values;
    for (int i = 0; i < curve->KeyGetCount(); ++i) values.push_back(curve->KeyGetPtr(i)->GetValue());
    return values;
}

std::vector<double> TimesOf(KFCurve* curve) {
    std::vector<double> times;
    for (int i = 0; i < curve->KeyGetCount(); ++i) times.push_back(curve->KeyGetPtr(i)->GetTime().GetSecondDouble());
    return times;
}

KFCurveNode* Leaf(const char* name) {
    KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr));
    node->FCurveSet(KFCurveCreate(), true);
    return node;
}

// A node of the given layer type with leaf channels "X", "Y", "Z" (and "W").
NodePtr Channels(const char* name, int layerType, int count = 3) {
    static const char* const kNames[] = {"X", "Y", "Z", "W"};
    NodePtr node(KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr), layerType));
    for (int i = 0; i < count; ++i) node->Add(Leaf(kNames[i]));
    return node;
}

KFCurve* C(const NodePtr& node, int child) { return node->Get(child)->FCurveGet(); }

// Keys every channel of a three- or four-channel node at seconds with values.
void KeyNode(const NodePtr& node, double seconds, std::initializer_list<float> values) {
    int i = 0;
    for (float v : values) Keys(C(node, i++), {{seconds, v}});
}

// ---- Keys across channels -------------------------------------------------------------

TEST(NodeKeys, KeyAddKeysEachChannelCubicAuto) {
    NodePtr t = Channels("T", KFCL_ADD);
    double values[] = {1.0, 2.0, 3.0, 99.0};
    EXPECT_EQ(t->KeyAdd(Sec(1), values), values + 3);
    for (int c = 0; c < 3; ++c) {
        KFCurve* curve = C(t, c);
        ASSERT_EQ(curve->KeyGetCount(), 1);
        const KFCurveKey* key = curve->KeyGetPtr(0);
        EXPECT_EQ(key->GetTime(), Sec(1));
        EXPECT_FLOAT_EQ(key->GetValue(), static_cast<float>(c + 1));
        EXPECT_EQ(key->GetInterpolation(), static_cast<unsigned int>(KFCURVE_INTERPOLATION_CUBIC));
        EXPECT_EQ(key->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));
        EXPECT_FLOAT_EQ(key->GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT), 0.33333334f);
    }
    // A second key at the same time replaces the first.
    double again[] = {4.0, 5.0, 6.0};
    t->KeyAdd(Sec(1), again);
    EXPECT_EQ(Values(C(t, 2)), std::vector<float>{6.0f});
    EXPECT_EQ(t->KeyAdd(Sec(1), nullptr), nullptr);
}

TEST(NodeKeys, CountsWithLayersAndPerChild) {
    NodePtr t = Channels("T", KFCL_ADD);
    Keys(C(t, 0), {{0, 1}, {1, 2}});
    Keys(C(t, 2), {{0, 1}});
    t->CreateLayerAt(1);
    KFCurveNode* layer = t->LayerGet(1);
    ASSERT_NE(layer, nullptr);
    Keys(layer->Get(0)->FCurveGet(), {{3, 0}});
    EXPECT_EQ(t->KeyGetCount(false), 3);
    EXPECT_EQ(t->KeyGetCount(true), 4);
    EXPECT_EQ(t->KeyGetCountOnChild(0), 3);
    EXPECT_EQ(t->KeyGetCountOnChild(1), 0);
    EXPECT_EQ(t->KeyGetCountOnChild(7), 0);

    KFCurveKey* first = nullptr;
    t->KeyGetFirst(first);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetTime(), Sec(0));
    KFCurveKey* last = nullptr;
    t->KeyGetLast(last, false);
    EXPECT_EQ(last->GetTime(), Sec(1));
    t->KeyGetLast(last, true);
    EXPECT_EQ(last->GetTime(), Sec(3));
}

TEST(NodeKeys, KeyGetFirstLeavesThePointerWithoutKeys) {
    NodePtr t = Channels("T", KFCL_ADD);
    KFCurveKey* key = nullptr;
    t->KeyGetFirst(key, true);
    EXPECT_EQ(key, nullptr);
}

TEST(NodeKeys, AnimationIntervalWidensOrLeavesUnchanged) {
    NodePtr t = Channels("T", KFCL_ADD);
    KTime start = Sec(5), stop = Sec(6);
    EXPECT_FALSE(t->GetAnimationInterval(start, stop));
    EXPECT_EQ(start, Sec(5));
    EXPECT_EQ(stop, Sec(6));
    t->GetTimeSpan(start, stop);
    EXPECT_EQ(start, KTime::Infinite());
    EXPECT_EQ(stop, KTime::MinusInfinite());

    Keys(C(t, 1), {{2, 0}, {3, 0}});
    t->CreateLayerAt(1);
    Keys(t->LayerGet(1)->Get(2)->FCurveGet(), {{8, 0}});
    start = Sec(5);
    stop = Sec(6);
    EXPECT_TRUE(t->GetAnimationInterval(start, stop));
    EXPECT_EQ(start, Sec(2));
    EXPECT_EQ(stop, Sec(8));
    t->GetTimeSpan(start, stop);
    EXPECT_EQ(start, Sec(2));
    EXPECT_EQ(stop, Sec(8));
}

class DeleteKeyTolerance : public ::testing::Test {
protected:
    void SetUp() override {
        curve = node->FCurveGet();
        for (int i = 0; i < 6; ++i) Keys(curve, {{static_cast<double>(i), static_cast<float>(i)}});
    }
    NodePtr node{Leaf("L")};
    KFCurve* curve = nullptr;
};

TEST_F(DeleteKeyTolerance, NearPositionWithinToleranceRemovesThatKey) {
    KTime t = Sec(4.2);
    node->DeleteKey(t, nullptr, 0.3);
    EXPECT_EQ(TimesOf(curve), (std::vector<double>{0, 1, 2, 3, 5}));
}

TEST_F(DeleteKeyTolerance, HalfwayRemovesNothing) {
    KTime t = Sec(4.5);
    node->DeleteKey(t, nullptr, 0.3);
    EXPECT_EQ(curve->KeyGetCount(), 6);
}

TEST_F(DeleteKeyTolerance, ZeroToleranceNeedsAnExactKey) {
    KTime between = Sec(2.01);
    node->DeleteKey(between);
    EXPECT_EQ(curve->KeyGetCount(), 6);
    KTime at = Sec(2);
    node->DeleteKey(at);
    EXPECT_EQ(TimesOf(curve), (std::vector<double>{0, 1, 3, 4, 5}));
}

TEST_F(DeleteKeyTolerance, OutsideTheKeysNothingIsRemoved) {
    KTime before = Sec(-1), after = Sec(9);
    node->DeleteKey(before, nullptr, 0.9);
    node->DeleteKey(after, nullptr, 0.9);
    EXPECT_EQ(curve->KeyGetCount(), 6);
}

TEST(NodeKeys, IsKeyCountsEnabledChannels) {
    NodePtr t = Channels("T", KFCL_ADD);
    Keys(C(t, 0), {{1, 0}, {2, 0}});
    Keys(C(t, 1), {{1, 0}});
    Keys(C(t, 2), {{1, 0}, {3, 0}});
    KTime one = Sec(1), two = Sec(2), five = Sec(5);
    EXPECT_EQ(t->IsKey(one), 2);
    EXPECT_EQ(t->IsKey(two), 1);
    EXPECT_EQ(t->IsKey(five), 0);
    // Only X enabled (the node has no curve of its own: entry i is child i).
    bool onlyX[] = {true, false, false};
    EXPECT_EQ(t->IsKey(two, nullptr, onlyX), 2);
    bool onlyY[] = {false, true, false};
    EXPECT_EQ(t->IsKey(two, nullptr, onlyY), 0);
    // Near a key, in key positions.
    KTime near = Sec(1.1);
    EXPECT_EQ(t->IsKey(near, nullptr, onlyX, 0.2), 2);
    EXPECT_EQ(t->IsKey(near, nullptr, onlyX, 0.05), 0);
    // Past the last key, rounding would reach a key that does not exist.
    KTime past = Sec(2.5);
    EXPECT_EQ(t->IsKey(past, nullptr, onlyX, 0.6), 0);
}

TEST(NodeKeys, IsKeyWithManyChildrenAndNoMask) {
    NodePtr node(KFCurveNodeCreate("Many", static_cast<KDataType*>(nullptr)));
    for (int i = 0; i < 6; ++i) {
        node->Add(Leaf("C"));
        Keys(node->Get(i)->FCurveGet(), {{1, 0}});
    }
    KTime one = Sec(1);
    EXPECT_EQ(node->IsKey(one), 2);
}

TEST(NodeKeys, PreviousAndNextKeyTimesOverEnabledChannels) {
    NodePtr t = Channels("T", KFCL_ADD);
    Keys(C(t, 0), {{1, 0}, {4, 0}});
    Keys(C(t, 1), {{2, 0}});
    Keys(C(t, 2), {{3, 0}, {6, 0}});
    EXPECT_EQ(t->GetPrevKeyTime(Sec(3)), Sec(2));
    EXPECT_EQ(t->GetNextKeyTime(Sec(3)), Sec(4));
    EXPECT_EQ(t->GetPrevKeyTime(Sec(1)), Sec(1));  // none before: the time itself
    EXPECT_EQ(t->GetNextKeyTime(Sec(6)), Sec(6));
    bool noY[] = {true, false, true};
    EXPECT_EQ(t->GetPrevKeyTime(Sec(3), noY), Sec(1));
    // A key just before the time counts however close it is.
    EXPECT_EQ(t->GetPrevKeyTime(Sec(4) + KTime(1)), Sec(4));
    EXPECT_EQ(t->GetNextKeyTime(Sec(4) - KTime(1)), Sec(4));
}

// ---- Appending and rotation continuity ---------------------------------------------------

TEST(NodeKeys, KeyAppendInOrderAndOutOfOrder) {
    NodePtr t = Channels("T", KFCL_ADD);
    double a[] = {1, 2, 3}, b[] = {4, 5, 6}, c[] = {7, 8, 9};
    EXPECT_EQ(t->KeyAppend(Sec(0), a), a + 3);
    t->KeyAppend(Sec(2), b);
    // Out of order: the key goes in its place, the curve stays sorted.
    t->KeyAppend(Sec(1), c);
    EXPECT_EQ(TimesOf(C(t, 0)), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(Values(C(t, 1)), (std::vector<float>{2, 8, 5}));
}

TEST(NodeKeys, KeyAppendMakesRotationContinuous) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    double first[] = {170, 0, 0}, second[] = {-170, 0, 0}, third[] = {-150, 0, 0};
    r->KeyAppend(Sec(0), first, true);
    r->KeyAppend(Sec(1), second, true);
    r->KeyAppend(Sec(2), third, true);
    EXPECT_EQ(Values(C(r, 0)), (std::vector<float>{170, 190, 210}));
    // Without the flag the values are kept as given.
    double fourth[] = {-140, 0, 0};
    r->KeyAppend(Sec(3), fourth, false);
    EXPECT_FLOAT_EQ(C(r, 0)->KeyGetPtr(3)->GetValue(), -140.0f);
}

TEST(NodeKeys, ContinuousRotationWithoutPreviousKeyOrForSphericKeepsValues) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    double values[] = {-170, 5, 400}, out[3];
    r->GetContinuousRotation(out, values, Sec(1));
    EXPECT_EQ(std::vector<double>(out, out + 3), std::vector<double>(values, values + 3));

    KeyNode(r, 0, {170, 0, 0});
    r->SetRotationOrder(KVXRotationOrder::eSphericXYZ);
    r->GetContinuousRotation(out, values, Sec(1));
    EXPECT_EQ(std::vector<double>(out, out + 3), std::vector<double>(values, values + 3));
    r->SetRotationOrder(KVXRotationOrder::eEulerXYZ);
    r->GetContinuousRotation(out, values, Sec(1));
    EXPECT_NEAR(out[0], 190.0, 1e-9);
}

TEST(NodeKeys, ContinuousOffsetInWholeTurns) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    double out[3], source[] = {10, -20, 5}, target[] = {370, -740, 5};
    EXPECT_FALSE(r->GetContinuousOffset(out, source, target));
    EXPECT_DOUBLE_EQ(out[0], 360.0);
    EXPECT_DOUBLE_EQ(out[1], -720.0);
    EXPECT_DOUBLE_EQ(out[2], 0.0);
}

TEST(NodeKeys, ContinuousOffsetTakesTheOtherSolution) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    // (180, 100, 180) is the rotation (0, 80, 0).
    double out[3], source[] = {180, 100, 180}, target[] = {0, 80, 0};
    EXPECT_TRUE(r->GetContinuousOffset(out, source, target));
    EXPECT_DOUBLE_EQ(source[0], 360.0);
    EXPECT_DOUBLE_EQ(source[1], 80.0);
    // X and Z add their offset, Y is mirrored about its entry.
    EXPECT_NEAR(180.0 + out[0], 0.0, 1e-9);
    EXPECT_NEAR(out[1] - 100.0, 80.0, 1e-9);
    EXPECT_NEAR(180.0 + out[2], 0.0, 1e-9);
}

TEST(NodeKeys, ContinuousOffsetSphericUsesWholeTurnsOnly) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    r->SetRotationOrder(KVXRotationOrder::eSphericXYZ);
    double out[3], source[] = {180, 100, 180}, target[] = {0, 80, 0};
    EXPECT_FALSE(r->GetContinuousOffset(out, source, target));
    EXPECT_DOUBLE_EQ(out[0], 0.0);  // -180 / 360 is exactly a half: no turn
    EXPECT_DOUBLE_EQ(source[0], 180.0);
}

// ---- Replace ------------------------------------------------------------------------------

TEST(NodeReplace, PlainChannelsTakeTheSourceSpan) {
    NodePtr t = Channels("T", KFCL_ADD);
    NodePtr s = Channels("T", KFCL_ADD);
    for (int c = 0; c < 3; ++c) {
        Keys(C(t, c), {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
        Keys(C(s, c), {{1, 10}, {2, 20}});
    }
    t->Replace(s.get(), Sec(1), Sec(2), false, true);
    EXPECT_EQ(Values(C(t, 1)), (std::vector<float>{0, 10, 20, 3}));
}

TEST(NodeReplace, EulerKeysAfterTheSpanFollowByWholeTurns) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    NodePtr unrolled = Channels("R", KFCL_EULER_XYZ);
    KeyNode(r, 0, {0, 0, 0});
    KeyNode(r, 1, {170, 0, 0});
    KeyNode(r, 2, {-170, 0, 0});
    KeyNode(r, 3, {-160, 0, 0});
    KeyNode(unrolled, 1, {170, 0, 0});
    KeyNode(unrolled, 2, {190, 0, 0});
    r->Replace(unrolled.get(), Sec(1), Sec(2), false, true);
    EXPECT_EQ(Values(C(r, 0)), (std::vector<float>{0, 170, 190, 200}));
    EXPECT_EQ(Values(C(r, 1)), (std::vector<float>{0, 0, 0, 0}));
}

TEST(NodeReplace, EulerCopiedKeysJoinTheKeysBefore) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    NodePtr other = Channels("R", KFCL_EULER_XYZ);
    KeyNode(r, 0, {0, 80, 0});
    KeyNode(r, 1, {0, 80, 0});
    KeyNode(r, 2, {0, 80, 0});
    KeyNode(other, 1, {180, 100, 180});  // the same orientation
    r->Replace(other.get(), Sec(1), Sec(1), false, true);
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(C(r, c)->KeyGetCount(), 3);
        EXPECT_NEAR(C(r, c)->KeyGetPtr(1)->GetValue(), c == 1 ? 80.0f : 0.0f, 1e-4f);
    }
}

TEST(NodeReplace, EulerWithoutKeysOutsideCopiesAsIs) {
    NodePtr r = Channels("R", KFCL_EULER_XYZ);
    NodePtr other = Channels("R", KFCL_EULER_XYZ);
    KeyNode(r, 0, {170, 0, 0});
    KeyNode(r, 1, {-170, 0, 0});
    KeyNode(other, 0, {170, 0, 0});
    KeyNode(other, 1, {190, 0, 0});
    r->Replace(other.get(), KTime::MinusInfinite(), KTime::Infinite(), false, true);
    EXPECT_EQ(Values(C(r, 0)), (std::vector<float>{170, 190}));
}

TEST(NodeReplace, QuaternionSignFollowsTheNeighbouringKeys) {
    NodePtr q = Channels("R", KFCL_QUAT, 4);
    NodePtr other = Channels("R", KFCL_QUAT, 4);
    KeyNode(q, 0, {0, 0, 0, 1});
    KeyNode(q, 1, {0, 0, 0, 1});
    KeyNode(q, 2, {0, 0, 0, 1});
    KeyNode(other, 1, {0, 0, 0, -1});
    q->Replace(other.get(), Sec(1), Sec(1), false, true);
    EXPECT_EQ(Values(C(q, 3)), (std::vector<float>{1, 1, 1}));

    // Without keys before the span the copy keeps its sign and the keys after follow it.
    NodePtr late = Channels("R", KFCL_QUAT, 4);
    KeyNode(late, 1, {0, 0, 0, 1});
    KeyNode(late, 2, {0, 0.6f, 0, 0.8f});
    late->Replace(other.get(), Sec(1), Sec(1), false, true);
    EXPECT_EQ(Values(C(late, 3)), (std::vector<float>{-1, -0.8f}));
    EXPECT_EQ(Values(C(late, 1)), (std::vector<float>{0, -0.6f}));
}

TEST(NodeReplace, ReplaceForQuaternionNeedsFourChannelsOnBothSides) {
    NodePtr q = Channels("R", KFCL_QUAT, 4);
    NodePtr three = Channels("R", KFCL_EULER_XYZ);
    EXPECT_FALSE(q->ReplaceForQuaternion(three.get(), Sec(0), Sec(1), 1.0, 0.0, false, true));
    NodePtr other = Channels("R", KFCL_QUAT, 4);
    KeyNode(other, 0, {0, 0, 0, 1});
    EXPECT_TRUE(q->ReplaceForQuaternion(other.get(), KTime::MinusInfinite(), KTime::Infinite(), -1.0, 0.0, false,
                                        true));
    EXPECT_EQ(Values(C(q, 3)), std::vector<float>{-1});
}

// ---- Values, copies, deletion ------------------------------------------------------------------

TEST(NodeValues, DefaultValuesRoundTripDepthFirst) {
    NodePtr t = Channels("T", KFCL_ADD);
    t->FCurveSet(KFCurveCreate(), true);
    double in[] = {1.5, 2.5, 3.5, 4.5}, out[5] = {0, 0, 0, 0, -1};
    EXPECT_EQ(t->SetValue(in), in + 4);
    EXPECT_EQ(t->GetValue(out), out + 4);
    EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{1.5, 2.5, 3.5, 4.5, -1}));
}

TEST(NodeCopies, CopyOverASpanKeepsNamesLayersAndKeysInside) {
    NodePtr t = Channels("T", KFCL_ADD);
    for (int c = 0; c < 3; ++c) Keys(C(t, c), {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    t->SetRotationOrder(3);
    t->CreateLayerAt(2);
    Keys(t->LayerGet(2)->Get(0)->FCurveGet(), {{5, 5}});
    NodePtr copy(t->Copy(Sec(1), Sec(2)));
    EXPECT_STREQ(copy->GetName(), "T");
    EXPECT_EQ(copy->GetLayerType(), KFCL_ADD);
    EXPECT_EQ(copy->GetRotationOrder(), 3);
    ASSERT_EQ(copy->GetCount(), 3);
    EXPECT_STREQ(copy->Get(1)->GetName(), "Y");
    EXPECT_EQ(TimesOf(C(copy, 2)), (std::vector<double>{1, 2}));
    ASSERT_NE(copy->LayerGet(2), nullptr);
    EXPECT_EQ(copy->LayerGet(2)->Get(0)->FCurveGet()->KeyGetCount(), 1);
    // The original is untouched.
    EXPECT_EQ(C(t, 0)->KeyGetCount(), 4);

    NodePtr single(t->SingleLayerCopy(KTime::MinusInfinite(), KTime::Infinite()));
    EXPECT_EQ(single->LayerGet(), nullptr);
    EXPECT_EQ(C(single, 0)->KeyGetCount(), 4);
}

TEST(NodeCopies, CopyFromWithTransferTakesTheCurve) {
    NodePtr source(Leaf("A"));
    Keys(source->FCurveGet(), {{0, 1}});
    KFCurve* curve = source->FCurveGet();
    NodePtr target(KFCurveNodeCreate("A", static_cast<KDataType*>(nullptr)));
    target->CopyFrom(source.get(), true);
    EXPECT_EQ(source->FCurveGet(), nullptr);
    EXPECT_EQ(target->FCurveGet(), curve);
}

TEST(NodeCopies, DeleteSpanOnEveryCurve) {
    NodePtr t = Channels("T", KFCL_ADD);
    for (int c = 0; c < 3; ++c) Keys(C(t, c), {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    t->Delete(Sec(0), Sec(3));
    for (int c = 0; c < 3; ++c) EXPECT_EQ(TimesOf(C(t, c)), (std::vector<double>{0, 3}));
}

// ---- Creation from a data type ------------------------------------------------------------------

TEST(NodeFromDataType, LayerTypeAndChildrenFollowTheType) {
    NodePtr four(FCurveNodeCreateFromDataType(KDataTypeGet("Vector4"), "V"));
    EXPECT_EQ(four->GetLayerType(), KFCL_ADD);
    ASSERT_EQ(four->GetCount(), 4);
    EXPECT_STREQ(four->Get(0)->GetName(), "X");
    EXPECT_STREQ(four->Get(2)->GetName(), "Z");
    EXPECT_STREQ(four->Get(3)->GetName(), " ");
    EXPECT_EQ(four->Get(3)->GetDataType(), nullptr);
    EXPECT_EQ(four->Get(3)->GetLayerType(), KFCL_NOLAYER);

    NodePtr rotation(FCurveNodeCreateFromDataType(&KDataTypeLclRotation, "Lcl Rotation"));
    EXPECT_EQ(rotation->GetLayerType(), KFCL_EULER_XYZ);
    EXPECT_EQ(rotation->GetCount(), 3);
    EXPECT_EQ(rotation->GetLayerID(), 0);
    NodePtr scaling(FCurveNodeCreateFromDataType(&KDataTypeLclScaling, "Lcl Scaling"));
    EXPECT_EQ(scaling->GetLayerType(), KFCL_MULT);
    NodePtr number(FCurveNodeCreateFromDataType(&KDataTypeNumber, "N"));
    EXPECT_EQ(number->GetLayerType(), KFCL_ADD);
    EXPECT_EQ(number->GetCount(), 0);
    NodePtr none(FCurveNodeCreateFromDataType(nullptr, "None"));
    EXPECT_EQ(none->GetCount(), 0);
}

// ---- Selection and visibility --------------------------------------------------------------------

TEST(NodeSelection, VisibilitySelectionAndEditable) {
    NodePtr t = Channels("T", KFCL_ADD);
    KFCurveNode* x = t->Get(0);
    EXPECT_FALSE(x->IsEditable());
    t->SetVisibility(true, true);
    t->SetSelected(true, 1);
    EXPECT_FALSE(x->IsEditable());
    EXPECT_TRUE(t->Get(1)->IsEditable());
    t->SetSelected(true);
    EXPECT_TRUE(x->IsEditable());
    EXPECT_FALSE(t->IsEditable());  // no curve of its own
    t->SetVisibility(false, false);
    EXPECT_EQ(t->GetVisibility(), 0);
    EXPECT_NE(x->GetVisibility(), 0);
    t->SetSelected(false, 9);  // no such channel
    EXPECT_TRUE(x->IsEditable());
}

TEST(NodeVectors, AddAndScale) {
    double a[] = {1, 2, 3}, b[] = {10, 20, 30}, out[3];
    KVNAdd(out, a, b, 3);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{11, 22, 33}));
    KVNScale(a, a, -2.0, 3);
    EXPECT_EQ(std::vector<double>(a, a + 3), (std::vector<double>{-2, -4, -6}));
}

}  // namespace
