#include "fcurve/kfcurvenode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "object/kdatatype.h"

using namespace zeqsdk_400;

namespace {

// Owns a tree for the length of a test.
struct TreeHolder {
    explicit TreeHolder(KFCurveNode* node) : mNode(node) {}
    ~TreeHolder() {
        if (mNode) mNode->Destroy();
    }
    KFCurveNode* operator->() const { return mNode; }
    KFCurveNode* Get() const { return mNode; }
    KFCurveNode* mNode;
};

KFCurveNode* MakeVector(const char* name, KDataType* type, int layerType) {
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType, 0);
    for (const char* axis : {"X", "Y", "Z"}) {
        KFCurveNode* child = KFCurveNodeCreate(axis, static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 0);
        child->FCurveSet(KFCurveCreate(), true);
        node->Add(child);
    }
    return node;
}

// "Transform" with "T", "R" (named as its data type) and "S", three curves each.
KFCurveNode* MakeTransform() {
    KFCurveNode* transform = KFCurveNodeCreate("Transform", static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 0);
    transform->Add(MakeVector("T", &KDataTypeLclTranslation, KFCL_ADD));
    transform->Add(MakeVector("Lcl Rotation", &KDataTypeLclRotation, KFCL_EULER_XYZ));
    transform->Add(MakeVector("S", &KDataTypeLclScaling, KFCL_MULT));
    return transform;
}

std::vector<std::string> ChildNames(const KFCurveNode* node) {
    std::vector<std::string> names;
    for (int i = 0; i < node->GetCount(); ++i) names.emplace_back(node->Get(i)->GetName());
    return names;
}

std::vector<int> LayerIds(const KFCurveNode* node) {
    std::vector<int> ids;
    for (const KFCurveNode* n = node; n; n = n->LayerGet()) ids.push_back(n->GetLayerID());
    return ids;
}

struct EventLog {
    std::vector<std::pair<int, unsigned int>> calls;  // (callback tag, event type)
};

template <int Tag>
void Record(KFCurveNode*, KFCurveNodeEvent* event, void* data) {
    static_cast<EventLog*>(data)->calls.emplace_back(Tag, event->mType);
}

void CountDestroy(KFCurveNode*, KFCurveNodeEvent* event, void* data) {
    if (event->mType & KFCURVENODEEVENT_DESTROY) ++*static_cast<int*>(data);
}

TEST(KFCurveNodeTree, FindsChildrenByNameIgnoringCaseAndByType) {
    TreeHolder transform(MakeTransform());
    KFCurveNode* t = transform->Get(0);
    EXPECT_EQ(t->Find("x"), 0);
    EXPECT_EQ(t->Find("Z"), 2);
    EXPECT_EQ(t->Find("W"), -1);
    EXPECT_EQ(transform->Find(&KDataTypeLclRotation), transform->Get(1));
    EXPECT_EQ(transform->Find(&KDataTypeVisibility), nullptr);
    EXPECT_EQ(transform->FindRecursive(&KDataTypeLclScaling), transform->Get(2));
    EXPECT_EQ(transform->Get(3), nullptr);
    EXPECT_EQ(transform->Get(-1), nullptr);
}

TEST(KFCurveNodeTree, SortedAddGoesBeforeEqualNamesIgnoringCase) {
    TreeHolder parent(KFCurveNodeCreate("P"));
    for (const char* name : {"A", "B", "C"}) parent->Add(KFCurveNodeCreate(name));
    KFCurveNode* b = KFCurveNodeCreate("b");
    EXPECT_EQ(parent->SortedAdd(b), 1);
    EXPECT_EQ(ChildNames(parent.Get()), (std::vector<std::string>{"A", "b", "B", "C"}));
    EXPECT_EQ(parent->SortedAdd(KFCurveNodeCreate("z")), 4);
    // SortedAdd leaves the parent alone; the tree still owns and deletes the node.
    EXPECT_EQ(b->GetParent(), nullptr);
}

TEST(KFCurveNodeTree, FindRecursiveFollowsPathsWithoutWritingThem) {
    TreeHolder transform(MakeTransform());
    KFCurveNode* rotation = transform->Get(1);
    // A literal in read-only memory: the search must not write separators into it.
    EXPECT_EQ(transform->FindRecursive("R/X"), rotation->Get(0));
    EXPECT_EQ(transform->FindRecursive("lcl rotation/y"), rotation->Get(1));
    EXPECT_EQ(transform->FindRecursive("S"), transform->Get(2));

    char path[] = "R/Q";
    EXPECT_EQ(transform->FindRecursive(path), nullptr);
    EXPECT_STREQ(path, "R/Q");
    EXPECT_EQ(transform->FindRecursive(""), nullptr);
    EXPECT_EQ(transform->FindRecursive(static_cast<const char*>(nullptr)), nullptr);
}

TEST(KFCurveNodeTree, FindRecursiveSearchesEachSubtreeBeforeTheNextChild) {
    TreeHolder root(KFCurveNodeCreate("Root"));
    KFCurveNode* first = KFCurveNodeCreate("First");
    KFCurveNode* deep = KFCurveNodeCreate("Target");
    first->Add(deep);
    root->Add(first);
    KFCurveNode* second = KFCurveNodeCreate("Target");
    root->Add(second);
    EXPECT_EQ(root->FindRecursive("target"), deep);
    EXPECT_EQ(root->FindRecursive("First/Target"), deep);
    EXPECT_EQ(root->FindRecursive("Target/Target"), nullptr);
}

TEST(KFCurveNodeTree, AddRefusesCycles) {
    TreeHolder root(KFCurveNodeCreate("Root"));
    KFCurveNode* child = KFCurveNodeCreate("Child");
    ASSERT_EQ(root->Add(child), 0);
    EXPECT_EQ(root->Add(root.Get()), -1);
    EXPECT_EQ(child->Add(root.Get()), -1);
    EXPECT_EQ(root->Add(nullptr), -1);
    EXPECT_EQ(child->GetParent(), root.Get());
}

TEST(KFCurveNodeTree, RemoveAndDeleteManageOwnership) {
    TreeHolder root(KFCurveNodeCreate("Root"));
    KFCurveNode* a = KFCurveNodeCreate("A");
    KFCurveNode* b = KFCurveNodeCreate("B");
    root->Add(a);
    root->Add(b);
    root->Remove(0);
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(root->GetCount(), 1);
    a->Destroy();
    // A child that is destroyed directly leaves its parent.
    b->Destroy();
    EXPECT_EQ(root->GetCount(), 0);
    root->Delete(5);
}

TEST(KFCurveNodeTree, ContainerListsNodesWithoutOwningThem) {
    TreeHolder owner(KFCurveNodeCreate("Owner"));
    KFCurveNode* x = owner->FindOrCreate("X", true);
    ASSERT_NE(x, nullptr);
    EXPECT_NE(x->FCurveGet(), nullptr);
    EXPECT_EQ(owner->FindOrCreate("x", false), x);
    {
        TreeHolder container(KFCurveNodeCreate("List"));
        container->SetContainerType(KFCURVENODE_CONTAINER);
        container->Add(x);
        EXPECT_EQ(x->GetParent(), owner.Get());
    }
    // The container is gone; the node is still the owner's.
    EXPECT_EQ(owner->Get(0), x);
}

TEST(KFCurveNodeTree, FlagSettersKeepOnlyTheirBit) {
    TreeHolder node(MakeVector("T", &KDataTypeLclTranslation, KFCL_ADD));
    EXPECT_EQ(node->GetFlags(), KFCURVENODE_EXPANDED | KFCURVENODE_MULTILAYER);
    node->SetIOType(0xFF);
    EXPECT_EQ(node->GetIOType(), 1);
    node->SetContainerType(1);  // not its bit
    EXPECT_EQ(node->GetContainerType(), 0);
    node->SetMultiLayer(false);
    EXPECT_FALSE(node->Get(2)->IsMultiLayer());
    EXPECT_EQ(node->GetCorrectLayerID(3), 0);
}

TEST(KFCurveNodeTree, TransformCurvesNeedAllNine) {
    TreeHolder transform(KFCurveNodeCreate("Transform"));
    transform->Add(MakeVector("T", &KDataTypeLclTranslation, KFCL_ADD));
    transform->Add(MakeVector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ));
    transform->Add(MakeVector("S", &KDataTypeLclScaling, KFCL_MULT));
    KFCurve *t[3], *r[3], *s[3];
    EXPECT_TRUE(transform->GetTransformCurves(t, r, s));
    EXPECT_EQ(r[2], transform->Get(1)->Get(2)->FCurveGet());
    EXPECT_EQ(s[0], transform->Get(2)->Get(0)->FCurveGet());
    transform->Get(1)->Get(1)->FCurveSet(nullptr, true);
    EXPECT_FALSE(transform->GetTransformCurves(t, r, s));
    EXPECT_EQ(r[1], nullptr);
    EXPECT_FALSE(transform->FCurveCreated());
    transform->CreateFCurve();
    EXPECT_TRUE(transform->FCurveCreated());
    EXPECT_TRUE(transform->GetTransformCurves(t, r, s));
}

TEST(KFCurveNodeTree, QuaternionLayerTypeAddsAndRemovesW) {
    TreeHolder rotation(MakeVector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ));
    rotation->Get(0)->FCurveGet()->SetSelected(true);
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
    TreeHolder source(MakeVector("T", &KDataTypeLclTranslation, KFCL_ADD));
    KFCurveKey key;
    key.Set(KTime(0), 7.0f, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_AUTO, 0, 0, 0, 0, 0, 0, 0);
    source->Get(0)->FCurveGet()->KeyAdd(KTime(0), key);
    source->SetRotationOrder(3);

    TreeHolder copy(source->Clone(true));
    EXPECT_EQ(copy->GetNameInfo(), source->GetNameInfo());
    EXPECT_EQ(copy->TemplateGet(), source.Get());
    EXPECT_EQ(copy->GetLayerType(), KFCL_ADD);
    EXPECT_EQ(copy->GetRotationOrder(), 3);
    ASSERT_EQ(copy->GetCount(), 3);
    EXPECT_EQ(copy->Get(0)->FCurveGet()->KeyGetCount(), 1);
    EXPECT_NE(copy->Get(0)->FCurveGet(), source->Get(0)->FCurveGet());

    TreeHolder empty(source->CloneTemplate(false, false, true, 2));
    EXPECT_NE(empty->GetNameInfo(), source->GetNameInfo());
    EXPECT_STREQ(empty->GetName(), "T");
    EXPECT_EQ(empty->GetLayerID(), 2);
    EXPECT_EQ(empty->Get(1)->GetLayerID(), 2);
    EXPECT_EQ(empty->ObjectLayerGet(), source.Get());
    EXPECT_EQ(empty->Get(0)->FCurveGet()->KeyGetCount(), 0);
}

TEST(KFCurveNodeTree, NameRecordIsSharedAndOutlivesItsFirstOwner) {
    KFCurveNode* first = KFCurveNodeCreate("Shared", &KDataTypeLclTranslation);
    KFCurveNode* second = KFCurveNodeCreate(first);
    first->SetTimeWarpName("Warp");
    first->Destroy();
    EXPECT_STREQ(second->GetName(), "Shared");
    EXPECT_STREQ(second->GetTimeWarpName(), "Warp");
    EXPECT_STREQ(second->GetTypeName(), "Lcl Translation");
    second->SetNameInfo(nullptr);
    EXPECT_STREQ(second->GetName(), "");
    second->Destroy();

    KFCurveNode* warp = KFCurveNodeCreate("TW", &KDataTypeTimeWarp);
    EXPECT_STREQ(warp->GetTimeWarpName(), "");
    warp->Destroy();
    KFCurveNode* byName = KFCurveNodeCreate("N", "User", "Lcl Scaling");
    EXPECT_EQ(byName->GetDataType(), &KDataTypeLclScaling);
    EXPECT_STREQ(byName->GetTimeWarpName(), "User");
    byName->Destroy();
}

class KFCurveNodeLayers : public ::testing::Test {
protected:
    void SetUp() override {
        node = MakeVector("S", &KDataTypeLclScaling, KFCL_MULT);
        node->Get(1)->FCurveGet()->SetSelected(true);
    }
    void TearDown() override { node->Destroy(); }
    KFCurveNode* node = nullptr;
};

TEST_F(KFCurveNodeLayers, LayerCreateTakesZeroValuesSelectionAndObjectLayer) {
    KFCurveNode* layer = node->LayerCreate(1);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(node->LayerGet(), layer);
    EXPECT_EQ(layer->ObjectLayerGet(), node);
    EXPECT_EQ(layer->Get(0)->ObjectLayerGet(), node->Get(0));
    EXPECT_EQ(layer->GetLayerType(), KFCL_MULT);
    EXPECT_FLOAT_EQ(layer->Get(2)->FCurveGet()->GetValue(), 1.0f);
    EXPECT_TRUE(layer->Get(1)->FCurveGet()->GetSelected());
    EXPECT_FALSE(layer->Get(0)->FCurveGet()->GetSelected());
    node->SetMultiLayer(false);
    EXPECT_EQ(node->LayerCreate(2), nullptr);
}

TEST_F(KFCurveNodeLayers, ChainStaysInIdOrder) {
    node->CreateLayerAt(3);
    node->CreateLayerAt(1);
    node->CreateLayerAt(2);
    node->CreateLayerAt(2);
    node->CreateLayerAt(0);
    EXPECT_EQ(LayerIds(node), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(node->LayerGet(2)->GetLayerID(), 2);
    EXPECT_EQ(node->LayerGet(7), nullptr);
    EXPECT_EQ(node->GetPreviousLayer(2), node->LayerGet(1));
    EXPECT_EQ(node->GetPreviousLayer(0), nullptr);
    EXPECT_EQ(node->GetCorrectLayer(5, false), nullptr);
    EXPECT_NE(node->GetCorrectLayer(5, true), nullptr);
    EXPECT_EQ(LayerIds(node), (std::vector<int>{0, 1, 2, 3, 5}));

    KFCurveNode* removed = node->RemoveLayer(2, false);
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->LayerGet(), nullptr);
    removed->Destroy();
    EXPECT_EQ(node->RemoveLayer(3, true), nullptr);
    EXPECT_EQ(LayerIds(node), (std::vector<int>{0, 1, 5}));
    for (KFCurveNode* n = node; n; n = n->LayerGet()) EXPECT_EQ(n->ObjectLayerGet(), node);
}

TEST_F(KFCurveNodeLayers, LayerEventsReachTheObjectLayer) {
    EventLog log;
    node->CallbackRegister(&Record<1>, &log);
    node->CreateLayerAt(2);
    node->LayerGet(2)->CreateLayerAt(4);
    ASSERT_FALSE(log.calls.empty());
    for (const auto& call : log.calls) EXPECT_TRUE(call.second & KFCURVENODEEVENT_LAYER);
    node->CallbackUnregister(&Record<1>, &log);
}

TEST_F(KFCurveNodeLayers, SettingsReachEveryLayer) {
    node->CreateLayerAt(1);
    node->CreateLayerAt(2);
    node->SetRotationOrder(5);
    node->SetUseQuaternion(true);
    node->UserLockAdd();
    for (KFCurveNode* n = node; n; n = n->LayerGet()) {
        EXPECT_EQ(n->GetRotationOrder(), 5);
        EXPECT_TRUE(n->GetUseQuaternion());
        EXPECT_TRUE(n->IsUserLocked());
        EXPECT_TRUE(n->Get(2)->IsUserLocked());
    }
    node->UserLockRemove();
    EXPECT_FALSE(node->LayerGet(2)->Get(0)->IsUserLocked());
}

TEST_F(KFCurveNodeLayers, CopyFromMatchesTheSourceLayers) {
    KFCurveNode* source = MakeVector("S", &KDataTypeLclScaling, KFCL_MULT);
    source->CreateLayerAt(2);
    source->LayerGet(2)->Get(0)->FCurveGet()->SetValue(4.0f);
    node->CreateLayerAt(1);
    node->CopyFrom(source);
    EXPECT_EQ(LayerIds(node), (std::vector<int>{0, 2}));
    EXPECT_FLOAT_EQ(node->LayerGet(2)->Get(0)->FCurveGet()->GetValue(), 4.0f);

    KFCurve* sourceCurve = source->Get(1)->FCurveGet();
    node->CopyFrom(source, true);
    EXPECT_EQ(node->Get(1)->FCurveGet(), sourceCurve);
    EXPECT_EQ(source->Get(1)->FCurveGet(), nullptr);

    KFCurveNode* layer = node->InsertOrCopyLayer(3, node->LayerGet(2));
    ASSERT_NE(layer, nullptr);
    EXPECT_FLOAT_EQ(layer->Get(0)->FCurveGet()->GetValue(), 4.0f);
    source->Destroy();
}

TEST_F(KFCurveNodeLayers, CopyFromCopesWithChainsOutOfOrder) {
    // Chains read from files need not ascend: 0, 5, 2.
    KFCurveNode* five = node->LayerCreate(5);
    five->LayerSet(KFCurveNodeCreate("S", &KDataTypeLclScaling, KFCL_MULT, 2));
    KFCurveNode* source = MakeVector("S", &KDataTypeLclScaling, KFCL_MULT);
    source->CreateLayerAt(5);
    node->CopyFrom(source);
    EXPECT_EQ(LayerIds(node), (std::vector<int>{0, 5}));
    source->Destroy();
}

TEST(KFCurveNodeLinks, TimeWarpIsSharedAndReleasedByItsLastHolder) {
    int destroyed = 0;
    KFCurveNode* warp = KFCurveNodeCreate("TW", &KDataTypeTimeWarp);
    warp->CallbackRegister(&CountDestroy, &destroyed);
    KFCurveNode* a = KFCurveNodeCreate("A");
    KFCurveNode* b = KFCurveNodeCreate("B");
    a->TimeWarpSet(warp);
    b->TimeWarpSet(warp);
    a->TimeWarpSet(warp);
    a->Destroy();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(b->TimeWarpGet(), warp);
    b->TimeWarpSet(nullptr);
    EXPECT_EQ(destroyed, 1);
    b->TimeWarpSet(b);
    EXPECT_EQ(b->TimeWarpGet(), nullptr);
    b->Destroy();
}

TEST(KFCurveNodeLinks, TimeWarpInsideItsOwnSubtreeIsDestroyedOnce) {
    KFCurveNode* root = KFCurveNodeCreate("Root");
    KFCurveNode* child = KFCurveNodeCreate("Child");
    root->Add(child);
    root->TimeWarpSet(child);
    child->TimeWarpSet(root);
    root->Destroy();  // ASan reports any second deletion
}

TEST(KFCurveNodeLinks, DataLinksNeverCircle) {
    TreeHolder a(MakeVector("A", nullptr, KFCL_NOLAYER));
    TreeHolder b(MakeVector("B", nullptr, KFCL_NOLAYER));
    TreeHolder c(MakeVector("C", nullptr, KFCL_NOLAYER));
    a->DataNodeSet(b.Get());
    b->DataNodeSet(c.Get());
    EXPECT_EQ(a->DataNodeGet(), c.Get());
    EXPECT_EQ(a->Get(1)->DataNodeGet(), c->Get(1));
    c->DataNodeSet(a.Get());
    EXPECT_EQ(c->DataNodeGet(), nullptr);
    EXPECT_EQ(a->DataNodeGet(), c.Get());
    a->DataNodeSet(a.Get(), false);
    EXPECT_EQ(a->DataNodeGet(), nullptr);
}

TEST(KFCurveNodeLinks, TemplateSetSharesNamesDownTheTree) {
    TreeHolder model(MakeVector("T", &KDataTypeLclTranslation, KFCL_ADD));
    TreeHolder other(MakeVector("Other", nullptr, KFCL_NOLAYER));
    other->TemplateSet(model.Get());
    EXPECT_STREQ(other->GetName(), "T");
    EXPECT_EQ(other->Get(2)->TemplateGet(), model->Get(2));
    EXPECT_EQ(other->Get(2)->GetNameInfo(), model->Get(2)->GetNameInfo());
}

TEST(KFCurveNodeCallbacks, NothingIsCountedBeforeTheFirstRegistration) {
    TreeHolder node(KFCurveNodeCreate("N"));
    node->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    node->FCurveSet(KFCurveCreate(), true);
    EXPECT_EQ(node->GetNodeUpdateId(), 0);
    EXPECT_TRUE(node->CallbackIsEnable());
}

TEST(KFCurveNodeCallbacks, DeliveryOrderAndHeldEvents) {
    EventLog log;
    TreeHolder node(KFCurveNodeCreate("N"));
    node->CallbackRegister(&Record<1>, &log);
    node->CallbackRegister(&Record<2>, &log);
    node->FCurveSet(KFCurveCreate(), true);
    // Enabled: from the last registered to the first.
    EXPECT_EQ(log.calls, (std::vector<std::pair<int, unsigned int>>{{2, 4u}, {1, 4u}}));

    log.calls.clear();
    node->CallbackEnable(false);
    node->TimeWarpSet(nullptr);  // no change, no event
    KFCurveNode* warp = KFCurveNodeCreate("TW", &KDataTypeTimeWarp);
    node->TimeWarpSet(warp);
    node->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    EXPECT_TRUE(log.calls.empty());
    node->CallbackEnable(true);
    // Once each, in registration order, with the merged event.
    EXPECT_EQ(log.calls, (std::vector<std::pair<int, unsigned int>>{{1, 24u}, {2, 24u}}));
    EXPECT_EQ(node->GetNodeUpdateId(), 3);

    node->CallbackUnregister(&Record<2>, &log);
    node->CallbackUnregister(&Record<1>, &log);
    log.calls.clear();
    node->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    EXPECT_TRUE(log.calls.empty());
}

TEST(KFCurveNodeCallbacks, DestructionIsReported) {
    int destroyed = 0;
    KFCurveNode* node = KFCurveNodeCreate("N");
    node->CallbackRegister(&CountDestroy, &destroyed);
    node->Destroy();
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
