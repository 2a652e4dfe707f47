#include "fcurve/kfcurvenode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

std::vector<std::string> ChildNames(const KFCurveNode& node) {
    std::vector<std::string> names;
    for (int i = 0; i < node.GetCount(); ++i) names.emplace_back(node.Get(i)->GetName());
    return names;
}

std::vector<int> LayerIds(const KFCurveNode* node) {
    std::vector<int> ids;
    for (const KFCurveNode* n = node; n; n = n->LayerGet()) ids.push_back(n->GetLayerID());
    return ids;
}

using EventLog = std::vector<std::pair<int, unsigned int>>;  // (callback tag, event type)

template <int Tag>
void Record(KFCurveNode*, KFCurveNodeEvent* event, void* data) {
    static_cast<EventLog*>(data)->emplace_back(Tag, event->mType);
}

void CountDestroy(KFCurveNode*, KFCurveNodeEvent* event, void* data) {
    if (event->mType & KFCURVENODEEVENT_DESTROY) ++*static_cast<int*>(data);
}

TEST(KFCurveNodeTree, SortedAddGoesBeforeEqualNamesIgnoringCase) {
    NodePtr parent(KFCurveNodeCreate("P"));
    for (const char* name : {"A", "B", "C"}) parent->Add(KFCurveNodeCreate(name));
    KFCurveNode* b = KFCurveNodeCreate("b");
    EXPECT_EQ(parent->SortedAdd(b), 1);
    EXPECT_EQ(ChildNames(*parent), (std::vector<std::string>{"A", "b", "B", "C"}));
    EXPECT_EQ(b->GetParent(), nullptr);  // SortedAdd leaves the parent alone
}

TEST(KFCurveNodeTree, FindRecursiveFollowsReadOnlyPathsDepthFirst) {
    NodePtr transform(TransformNode("Lcl Rotation"));
    KFCurveNode* rotation = transform->Get(1);
    // Literals live in read-only memory: the search must not write separators into them.
    EXPECT_EQ(transform->FindRecursive("R/X"), rotation->Get(0));
    EXPECT_EQ(transform->FindRecursive("lcl rotation/y"), rotation->Get(1));
    char path[] = "R/Q";
    EXPECT_EQ(transform->FindRecursive(path), nullptr);
    EXPECT_STREQ(path, "R/Q");
    EXPECT_EQ(transform->FindRecursive(""), nullptr);
    EXPECT_EQ(transform->FindRecursive(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(transform->FindRecursive(&KDataTypeLclScaling), transform->Get(2));
    EXPECT_EQ(transform->Find(&KDataTypeVisibility), nullptr);

    // Each subtree is searched before the next child.
    NodePtr root(KFCurveNodeCreate("Root"));
    KFCurveNode* first = KFCurveNodeCreate("First");
    KFCurveNode* deep = KFCurveNodeCreate("Target");
    first->Add(deep);
    root->Add(first);
    root->Add(KFCurveNodeCreate("Target"));
    EXPECT_EQ(root->FindRecursive("target"), deep);
    EXPECT_EQ(root->FindRecursive("Target/Target"), nullptr);
}

TEST(KFCurveNodeTree, AddRefusesCyclesAndRemovalHandsBackOwnership) {
    NodePtr root(KFCurveNodeCreate("Root"));
    KFCurveNode* child = KFCurveNodeCreate("Child");
    KFCurveNode* other = KFCurveNodeCreate("Other");
    ASSERT_EQ(root->Add(child), 0);
    root->Add(other);
    EXPECT_EQ(root->Add(root.get()), -1);
    EXPECT_EQ(child->Add(root.get()), -1);
    EXPECT_EQ(root->Add(nullptr), -1);
    EXPECT_EQ(child->GetParent(), root.get());

    root->Remove(0);
    EXPECT_EQ(child->GetParent(), nullptr);
    child->Destroy();
    other->Destroy();  // a child destroyed directly leaves its parent
    EXPECT_EQ(root->GetCount(), 0);
    root->Delete(5);
}

TEST(KFCurveNodeTree, ContainerListsNodesWithoutOwningThem) {
    NodePtr owner(KFCurveNodeCreate("Owner"));
    KFCurveNode* x = owner->FindOrCreate("X", true);
    KFCurve* curve = x->FCurveGet();
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(x->FCurveSet(curve), nullptr);  // its own curve is not handed back for destruction
    EXPECT_EQ(x->FCurveGet(), curve);
    EXPECT_EQ(owner->FindOrCreate("x", false), x);
    {
        NodePtr container(KFCurveNodeCreate("List"));
        container->SetContainerType(KFCURVENODE_CONTAINER);
        container->Add(x);
        EXPECT_EQ(x->GetParent(), owner.get());
    }
    EXPECT_EQ(owner->Get(0), x);
}

TEST(KFCurveNodeTree, QuaternionLayerTypeAddsAndRemovesW) {
    NodePtr rotation = RotationNode();
    C(rotation, 0).SetSelected(true);
    rotation->SetLayerType(KFCL_QUAT);
    ASSERT_EQ(rotation->GetCount(), 4);
    KFCurveNode* w = rotation->Get(3);
    EXPECT_STREQ(w->GetName(), "W");
    EXPECT_EQ(w->GetDataType(), &KDataTypeNumber);
    ASSERT_NE(w->FCurveGet(), nullptr);
    EXPECT_TRUE(w->FCurveGet()->GetSelected());
    rotation->SetLayerType(KFCL_EULER_XYZ);
    EXPECT_EQ(rotation->GetCount(), 3);
}

TEST(KFCurveNodeTree, CloneCopiesShapeCurvesAndNames) {
    NodePtr source(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    Keys(C(source, 0), {{0, 7}});
    source->SetRotationOrder(3);
    NodePtr copy(source->Clone(true));
    EXPECT_EQ(copy->GetNameInfo(), source->GetNameInfo());
    EXPECT_EQ(copy->TemplateGet(), source.get());
    EXPECT_EQ(copy->GetLayerType(), KFCL_ADD);
    EXPECT_EQ(copy->GetRotationOrder(), 3);
    EXPECT_EQ(C(copy, 0).KeyGetCount(), 1);
    EXPECT_NE(&C(copy, 0), &C(source, 0));

    NodePtr empty(source->CloneTemplate(false, false, true, 2));
    EXPECT_NE(empty->GetNameInfo(), source->GetNameInfo());
    EXPECT_STREQ(empty->GetName(), "T");
    EXPECT_EQ(empty->Get(1)->GetLayerID(), 2);
    EXPECT_EQ(empty->ObjectLayerGet(), source.get());
    EXPECT_EQ(C(empty, 0).KeyGetCount(), 0);
}

TEST(KFCurveNodeTree, NameRecordIsSharedAndOutlivesItsFirstOwner) {
    KFCurveNode* first = KFCurveNodeCreate("Shared", &KDataTypeLclTranslation);
    NodePtr second(KFCurveNodeCreate(first));
    first->SetTimeWarpName("Warp");
    first->Destroy();
    EXPECT_STREQ(second->GetName(), "Shared");
    EXPECT_STREQ(second->GetTimeWarpName(), "Warp");
    EXPECT_STREQ(second->GetTypeName(), "Lcl Translation");
    second->SetNameInfo(nullptr);
    EXPECT_STREQ(second->GetName(), "");
}

class KFCurveNodeLayers : public ::testing::Test {
protected:
    KFCurveNodeLayers() { C(node, 1).SetSelected(true); }
    NodePtr node{Vector("S", &KDataTypeLclScaling, KFCL_MULT)};
};

TEST_F(KFCurveNodeLayers, LayerCreateTakesNeutralValuesSelectionAndObjectLayer) {
    KFCurveNode* layer = node->LayerCreate(1);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(node->LayerGet(), layer);
    EXPECT_EQ(layer->Get(0)->ObjectLayerGet(), node->Get(0));
    EXPECT_EQ(layer->GetLayerType(), KFCL_MULT);
    EXPECT_FLOAT_EQ(C(*layer, 2).GetValue(), 1.0f);
    EXPECT_TRUE(C(*layer, 1).GetSelected());
    EXPECT_FALSE(C(*layer, 0).GetSelected());
    node->SetMultiLayer(false);
    EXPECT_EQ(node->LayerCreate(2), nullptr);
}

TEST_F(KFCurveNodeLayers, ChainStaysInIdOrder) {
    for (int id : {3, 1, 2, 2, 0}) node->CreateLayerAt(id);
    EXPECT_EQ(LayerIds(node.get()), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(node->LayerGet(7), nullptr);
    EXPECT_EQ(node->GetPreviousLayer(2), node->LayerGet(1));
    EXPECT_EQ(node->GetPreviousLayer(0), nullptr);
    EXPECT_EQ(node->GetCorrectLayer(5, false), nullptr);
    EXPECT_NE(node->GetCorrectLayer(5, true), nullptr);

    KFCurveNode* removed = node->RemoveLayer(2, false);
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->LayerGet(), nullptr);
    removed->Destroy();
    EXPECT_EQ(node->RemoveLayer(3, true), nullptr);
    EXPECT_EQ(LayerIds(node.get()), (std::vector<int>{0, 1, 5}));
    for (KFCurveNode* n = node.get(); n; n = n->LayerGet()) EXPECT_EQ(n->ObjectLayerGet(), node.get());
}

TEST_F(KFCurveNodeLayers, CopyFromMatchesTheSourceLayers) {
    NodePtr source(Vector("S", &KDataTypeLclScaling, KFCL_MULT));
    source->CreateLayerAt(2);
    C(*source->LayerGet(2), 0).SetValue(4.0f);
    node->CreateLayerAt(1);
    node->CopyFrom(source.get());
    EXPECT_EQ(LayerIds(node.get()), (std::vector<int>{0, 2}));
    EXPECT_FLOAT_EQ(C(*node->LayerGet(2), 0).GetValue(), 4.0f);

    KFCurve* sourceCurve = &C(source, 1);
    node->CopyFrom(source.get(), true);
    EXPECT_EQ(&C(node, 1), sourceCurve);
    EXPECT_EQ(source->Get(1)->FCurveGet(), nullptr);

    KFCurveNode* layer = node->InsertOrCopyLayer(3, node->LayerGet(2));
    ASSERT_NE(layer, nullptr);
    EXPECT_FLOAT_EQ(C(*layer, 0).GetValue(), 4.0f);
}

TEST_F(KFCurveNodeLayers, CopyFromCopesWithChainsOutOfOrder) {
    // Chains read from files need not ascend: 0, 5, 2.
    node->LayerCreate(5)->LayerSet(KFCurveNodeCreate("S", &KDataTypeLclScaling, KFCL_MULT, 2));
    NodePtr source(Vector("S", &KDataTypeLclScaling, KFCL_MULT));
    source->CreateLayerAt(5);
    node->CopyFrom(source.get());
    EXPECT_EQ(LayerIds(node.get()), (std::vector<int>{0, 5}));
}

TEST(KFCurveNodeLinks, TimeWarpIsSharedAndReleasedByItsLastHolder) {
    int destroyed = 0;
    KFCurveNode* warp = KFCurveNodeCreate("TW", &KDataTypeTimeWarp);
    EXPECT_STREQ(warp->GetTimeWarpName(), "");
    warp->CallbackRegister(&CountDestroy, &destroyed);
    KFCurveNode* a = KFCurveNodeCreate("A");
    NodePtr b(KFCurveNodeCreate("B"));
    a->TimeWarpSet(warp);
    b->TimeWarpSet(warp);
    a->TimeWarpSet(warp);
    a->Destroy();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(b->TimeWarpGet(), warp);
    b->TimeWarpSet(nullptr);
    EXPECT_EQ(destroyed, 1);
    b->TimeWarpSet(b.get());
    EXPECT_EQ(b->TimeWarpGet(), nullptr);
}

TEST(KFCurveNodeLinks, CyclesThroughWarpsAndDataLinksAreCut) {
    KFCurveNode* root = KFCurveNodeCreate("Root");
    KFCurveNode* child = KFCurveNodeCreate("Child");
    root->Add(child);
    root->TimeWarpSet(child);
    child->TimeWarpSet(root);
    root->Destroy();  // ASan reports any second deletion

    NodePtr a(Vector("A", nullptr, KFCL_NOLAYER)), b(Vector("B", nullptr, KFCL_NOLAYER)),
        c(Vector("C", nullptr, KFCL_NOLAYER));
    a->DataNodeSet(b.get());
    b->DataNodeSet(c.get());
    EXPECT_EQ(a->DataNodeGet(), c.get());
    EXPECT_EQ(a->Get(1)->DataNodeGet(), c->Get(1));
    c->DataNodeSet(a.get());
    EXPECT_EQ(c->DataNodeGet(), nullptr);
    a->DataNodeSet(a.get(), false);
    EXPECT_EQ(a->DataNodeGet(), nullptr);
}

TEST(KFCurveNodeCallbacks, DeliveryOrderHeldEventsAndDestruction) {
    EventLog log;
    NodePtr node(KFCurveNodeCreate("N"));
    node->CallbackAddEvent(KFCURVENODEEVENT_LAYER);  // nothing counted before a registration
    EXPECT_EQ(node->GetNodeUpdateId(), 0);
    node->CallbackRegister(&Record<1>, &log);
    node->CallbackRegister(&Record<2>, &log);
    node->FCurveSet(KFCurveCreate(), true);
    // Enabled: from the last registered to the first.
    EXPECT_EQ(log, (EventLog{{2, 4u}, {1, 4u}}));

    log.clear();
    node->CallbackEnable(false);
    node->TimeWarpSet(nullptr);  // no change, no event
    node->TimeWarpSet(KFCurveNodeCreate("TW", &KDataTypeTimeWarp));
    node->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    EXPECT_TRUE(log.empty());
    node->CallbackEnable(true);
    // Once each, in registration order, with the merged event.
    EXPECT_EQ(log, (EventLog{{1, 24u}, {2, 24u}}));
    EXPECT_EQ(node->GetNodeUpdateId(), 3);
    node->CallbackUnregister(&Record<2>, &log);
    node->CallbackUnregister(&Record<1>, &log);

    int destroyed = 0;
    node->CallbackRegister(&CountDestroy, &destroyed);
    node.reset();
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
