#include <gtest/gtest.h>

#include <string>
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
    EXPECT_EQ(t->IsKey(one) * 10 + t->IsKey(two) + t->IsKey(five), 21);
    // Only X enabled (the node has no curve of its own: entry i is child i).
    bool onlyX[] = {true, false, false}, onlyY[] = {false, true, false};
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

TEST(NodeKeys, NextKeyTimesAndKeyCountsPerChannelAcrossLayers) {
    NodePtr t = Translation();
    Keys(C(t, 0), {{0, 0}, {1, 0}, {2, 0}});
    Keys(C(t, 1), {{0.5, 0}});
    Keys(C(*LayerAt(*t, 1), 0), {{3, 0}});
    EXPECT_EQ(std::vector<int>({t->KeyGetCountOnChild(0), t->KeyGetCountOnChild(1), t->KeyGetCountOnChild(2),
                                t->KeyGetCountOnChild(5)}),
              std::vector<int>({4, 1, 0, 0}));

    bool onlyY[] = {false, true, false};
    const KTime tick(1);
    const struct {
        KTime from;
        bool* mask;
        KTime next;
    } cases[] = {
        {Sec(0.2), nullptr, Sec(0.5)},
        {Sec(0.5), nullptr, Sec(1)},        // strictly after
        {Sec(2), nullptr, Sec(2)},          // none (the layers are not looked at): the time itself
        {Sec(0.2), onlyY, Sec(0.5)},
        {Sec(0.5), onlyY, Sec(0.5)},
        {Sec(1) - tick, nullptr, Sec(1)},   // a key one tick away is found, however long the segment
    };
    for (const auto& c : cases) EXPECT_EQ(t->GetNextKeyTime(c.from, c.mask), c.next) << c.from.Get();
    EXPECT_EQ(t->GetPrevKeyTime(Sec(1) + tick), Sec(1));
}

TEST(NodeKeys, FirstAndLastKeysAcrossChannelsAndLayers) {
    NodePtr t = Translation();
    KFCurveKey* key = nullptr;
    t->KeyGetFirst(key, true);
    t->KeyGetLast(key, true);
    EXPECT_EQ(key, nullptr) << "no key anywhere";
    Keys(C(t, 0), {{1, 0}, {2, 0}, {3, 0}});
    Keys(C(t, 1), {{0.5, 0}, {2, 0}});
    Keys(C(*LayerAt(*t, 1), 0), {{-1, 0}, {4, 0}});
    auto first = [&](bool layers) {
        KFCurveKey* found = nullptr;
        t->KeyGetFirst(found, layers);
        return found ? found->GetTime() : KTime::Infinite();
    };
    auto last = [&](bool layers) {
        KFCurveKey* found = nullptr;
        t->KeyGetLast(found, layers);
        return found ? found->GetTime() : KTime::Infinite();
    };
    EXPECT_EQ(first(false), Sec(0.5));
    EXPECT_EQ(first(true), Sec(-1));
    EXPECT_EQ(last(false), Sec(3));
    EXPECT_EQ(last(true), Sec(4));
    // A key given beyond every curve's stays.
    KFCurveKey early = MakeKey(0.0f);
    early.SetTime(Sec(-5));
    key = &early;
    t->KeyGetFirst(key, true);
    EXPECT_EQ(key, &early);
    t->KeyGetLast(key, false);
    EXPECT_EQ(key->GetTime(), Sec(3));
}

TEST(NodeKeys, KeyAddKeysEveryChannelAndDeletionsKeepKeysOutsideTheirReach) {
    NodePtr t = Translation();
    t->FCurveSet(KFCurveCreate(), true);  // the node's own curve takes the first value
    double values[] = {1, 2, 3, 4};
    EXPECT_EQ(t->KeyAdd(Sec(1), values), values + 4);
    EXPECT_EQ(Values(*t->FCurveGet()), std::vector<float>{1});
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(C(t, c).KeyGetCount(), 1);
        EXPECT_EQ(C(t, c).KeyGetPtr(0)->GetValue(), static_cast<float>(c + 2));
        EXPECT_EQ(Kind(C(t, c), 0), kCubic | kAuto);
    }
    double again[] = {5, 6, 7, 8};
    t->KeyAdd(Sec(1), again);  // the same time: replaced
    EXPECT_EQ(Values(C(t, 2)), std::vector<float>{8});
    t->FCurveSet(nullptr, true);

    // Keys at 0 .. 5 s on every channel; DeleteKey at positions 4.2 and 4.5 with tolerance 0.3,
    // exactly on key 1, and between keys without tolerance.
    for (int s = 0; s <= 5; ++s) KeyAll(t, s, {0, 0, 0});
    KTime at = Sec(4.2);
    bool onlyY[] = {false, true, false};
    t->DeleteKey(at, onlyY, 0.3);
    EXPECT_EQ(Times(C(t, 1)), Secs({0, 1, 2, 3, 5}));
    EXPECT_EQ(C(t, 0).KeyGetCount(), 6);
    // The tolerance is in key positions: 4.5 s is position 4.5 on X (too far from a key) but
    // 3.75 on Y, within 0.3 of its key 4 (at 5 s).
    at = Sec(4.5);
    t->DeleteKey(at, nullptr, 0.3);
    EXPECT_EQ(C(t, 0).KeyGetCount(), 6);
    EXPECT_EQ(Times(C(t, 1)), Secs({0, 1, 2, 3}));
    at = Sec(0.5);
    t->DeleteKey(at);
    EXPECT_EQ(C(t, 0).KeyGetCount(), 6);
    at = Sec(1);
    t->DeleteKey(at);
    EXPECT_EQ(Times(C(t, 2)), Secs({0, 2, 3, 4, 5}));
    at = Sec(9);
    t->DeleteKey(at, nullptr, 0.9);  // past the last key: nothing to round to
    EXPECT_EQ(Times(C(t, 0)), Secs({0, 2, 3, 4, 5}));
    EXPECT_EQ(Times(C(t, 1)), Secs({0, 2, 3}));

    // A span: the keys strictly inside it, on every channel; keys on its ends stay.
    t->Delete(Sec(2), Sec(5));
    for (int c : {0, 2}) EXPECT_EQ(Times(C(t, c)), Secs({0, 2, 5})) << c;
    EXPECT_EQ(Times(C(t, 1)), Secs({0, 2}));
}

TEST(NodeSelection, VisibilityEditableAndSelectionAcrossChannelsAndLayers) {
    int visibilityEvents = 0;  // outlives the node, which reports its destruction
    NodePtr t = Translation();
    KFCurveNode* layer = LayerAt(*t, 1);
    t->CallbackRegister(
        [](KFCurveNode*, KFCurveNodeEvent* e, void* n) {
            *static_cast<int*>(n) += (e->mType & KFCURVENODEEVENT_VISIBILITY) != 0;
        },
        &visibilityEvents);
    KFCurveNode* x = t->Get(0);
    EXPECT_EQ(x->GetVisibility(), 0) << "a new node is hidden";
    t->SetVisibility(true, false, false);
    EXPECT_NE(t->GetVisibility(), 0);
    EXPECT_EQ(x->GetVisibility() + layer->GetVisibility(), 0);
    EXPECT_EQ(visibilityEvents, 1);
    t->SetVisibility(true, true, true);
    EXPECT_NE(x->GetVisibility(), 0);
    EXPECT_NE(layer->Get(2)->GetVisibility(), 0);

    // Editable: visible, with a curve, and that curve selected.
    EXPECT_FALSE(x->IsEditable());
    t->SetSelected(true, 0, false);
    EXPECT_TRUE(x->IsEditable());
    EXPECT_FALSE(t->Get(1)->IsEditable());
    EXPECT_FALSE(t->IsEditable()) << "no curve of its own";
    x->SetVisibility(false, false, false);
    EXPECT_FALSE(x->IsEditable());

    t->SetSelected(true, -1, true);
    for (KFCurveNode* n : {t.get(), layer})
        for (int c = 0; c < 3; ++c) EXPECT_TRUE(C(*n, c).GetSelected()) << c;
    t->SetSelected(false, -1, false);
    EXPECT_FALSE(C(t, 2).GetSelected());
    EXPECT_TRUE(C(*layer, 2).GetSelected()) << "the layers only when asked";
    t->SetSelected(false, 1, true);
    EXPECT_FALSE(C(*layer, 1).GetSelected());
    EXPECT_TRUE(C(*layer, 0).GetSelected()) << "only the channel named";
}

TEST(NodeCopies, OneLayerCopiedOverTheWholeTimeLineOrWithoutKeysOverASpan) {
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    Keys(C(t, 0), {{0, 5}, {1, 6}, {2, 7}});
    LayerAt(*t, 2, {7, 7, 7});
    t->SetRotationOrder(3);
    std::vector<double> total = {9, 8, 7};
    t->CandidateSet(Sec(0.5), total.data());
    for (int i : {1, 2}) C(t, i).SetValue(static_cast<float>(i + 1));

    NodePtr whole(t->SingleLayerCopy(KTime::MinusInfinite(), KTime::Infinite()));
    EXPECT_STREQ(whole->GetName(), "T");
    EXPECT_EQ(whole->GetDataType(), &KDataTypeLclTranslation);
    EXPECT_EQ(std::vector<int>({whole->GetLayerType(), whole->GetLayerID(), whole->GetRotationOrder()}),
              std::vector<int>({KFCL_ADD, 0, 3}));
    EXPECT_EQ(whole->LayerGet(), nullptr) << "one layer only";
    EXPECT_EQ(Times(C(whole, 0)), Secs({0, 1, 2}));
    EXPECT_FLOAT_EQ(C(whole, 2).GetValue(), 3.0f);
    double four[4];
    KTime time;
    whole->CandidateGetTotalCandidate(four, time);
    EXPECT_TRUE(whole->IsCandidate());
    EXPECT_EQ(std::vector<double>(four, four + 3), total);
    EXPECT_EQ(time, Sec(0.5));

    // Over a span, the curves' settings and the keys inside it.
    NodePtr span(t->SingleLayerCopy(Sec(0.5), Sec(2)));
    EXPECT_EQ(Times(C(span, 0)), Secs({1, 2}));
    EXPECT_FLOAT_EQ(C(span, 1).GetValue(), 2.0f);
    NodePtr layer(t->LayerGet(2)->SingleLayerCopy(KTime::MinusInfinite(), KTime::Infinite()));
    EXPECT_EQ(layer->GetLayerID(), 2);
    EXPECT_FLOAT_EQ(C(layer, 0).GetValue(), 7.0f);
}

TEST(NodeCreation, ChannelsFromADataTypeAndVectorArithmetic) {
    const struct {
        KDataType* type;
        int layerType;
        std::vector<std::string> children;
    } cases[] = {
        {&KDataTypeLclRotation, KFCL_EULER_XYZ, {"X", "Y", "Z"}},
        {&KDataTypeLclScaling, KFCL_MULT, {"X", "Y", "Z"}},
        {&KDataTypeLclTranslation, KFCL_ADD, {"X", "Y", "Z"}},
        {&KDataTypeNumber, KFCL_ADD, {}},
        {KDataTypeGet("Vector4"), KFCL_ADD, {"X", "Y", "Z", " "}},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.type, nullptr);
        NodePtr node(FCurveNodeCreateFromDataType(c.type, "Prop"));
        SCOPED_TRACE(c.type->GetName());
        EXPECT_STREQ(node->GetName(), "Prop");
        EXPECT_EQ(node->GetDataType(), c.type);
        EXPECT_EQ(node->GetLayerType(), c.layerType);
        std::vector<std::string> names;
        for (int i = 0; i < node->GetCount(); ++i) {
            names.push_back(node->Get(i)->GetName());
            EXPECT_EQ(node->Get(i)->GetDataType(), nullptr);
            EXPECT_EQ(node->Get(i)->GetLayerType(), KFCL_NOLAYER);
        }
        EXPECT_EQ(names, c.children);
    }

    double a[3] = {1, 2, 3}, b[3] = {10, 20, 30}, out[3] = {0, 0, -1};
    KVNAdd(a, a, b, 3);  // the result may be an operand
    EXPECT_EQ(std::vector<double>(a, a + 3), (std::vector<double>{11, 22, 33}));
    KVNScale(out, a, 0.5, 2);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{5.5, 11, -1}));
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
