#include "fcurve/kfcurvenode.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

using EventLog = std::vector<std::pair<int, unsigned int>>;  // (callback tag, event type)

template <int Tag>
void Record(KFCurveNode*, KFCurveNodeEvent* event, void* data) {
    static_cast<EventLog*>(data)->emplace_back(Tag, event->mType);
}

void CountDestroy(KFCurveNode*, KFCurveNodeEvent* event, void* data) {
    if (event->mType & KFCURVENODEEVENT_DESTROY) ++*static_cast<int*>(data);
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
}

TEST(KFCurveNodeTree, OwnershipRefusesCyclesAndTheOwnCurveIsNotHandedBack) {
    NodePtr root(KFCurveNodeCreate("Root"));
    KFCurveNode* child = KFCurveNodeCreate("Child");
    KFCurveNode* other = KFCurveNodeCreate("Other");
    ASSERT_EQ(root->Add(child), 0);
    root->Add(other);
    EXPECT_EQ(root->Add(root.get()), -1);
    EXPECT_EQ(child->Add(root.get()), -1);
    EXPECT_EQ(root->Add(nullptr), -1);
    root->Remove(0);
    EXPECT_EQ(child->GetParent(), nullptr);
    child->Destroy();
    other->Destroy();  // a child destroyed directly leaves its parent
    EXPECT_EQ(root->GetCount(), 0);
    root->Delete(5);  // out of range: nothing

    KFCurveNode* x = root->FindOrCreate("X", true);
    KFCurve* curve = x->FCurveGet();
    EXPECT_EQ(x->FCurveSet(curve), nullptr);  // its own curve is not handed back for destruction
    EXPECT_EQ(x->FCurveGet(), curve);
}

TEST(KFCurveNodeTree, SharedNameRecordOutlivesItsFirstOwner) {
    KFCurveNode* first = KFCurveNodeCreate("Shared", &KDataTypeLclTranslation);
    NodePtr second(KFCurveNodeCreate(first));
    first->SetTimeWarpName("Warp");
    first->Destroy();
    EXPECT_STREQ(second->GetName(), "Shared");
    EXPECT_STREQ(second->GetTimeWarpName(), "Warp");
    second->SetNameInfo(nullptr);
    EXPECT_STREQ(second->GetName(), "");
}

// Cloned trees share name records until written: a write reaches the writer alone (and a copy sharing on purpose).
class KFCurveNodeClonedNames : public ::testing::TestWithParam<int> {};  // writing tree * 2 + through record

TEST_P(KFCurveNodeClonedNames, AWriteReachesOnlyTheWriter) {
    const std::size_t writer = static_cast<std::size_t>(GetParam() / 2);
    NodePtr trees[3] = {NodePtr(TransformNode())};
    NodePtr copy(KFCurveNodeCreate(trees[0]->Get(0)));  // "T" shares its record: cloned by value
    for (std::size_t i = 1; i < 3; ++i) trees[i].reset(trees[i - 1]->Clone(false));
    for (KFCurveNode* node : {trees[writer]->Get(0), trees[writer]->Get(1)}) {
        KFCurveNode::NameInfo* info = GetParam() % 2 ? node->GetNameInfo() : nullptr;
        NodePtr later(node->Clone(false));
        info ? void(info->mTimeWarpName = "New") : node->SetTimeWarpName("New");
        EXPECT_STRNE(later->GetTimeWarpName(), "New");
    }
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(std::string(trees[i / 2]->Get(int(i % 2))->GetTimeWarpName()) == "New", i / 2 == writer) << i;
    EXPECT_EQ(std::string(copy->GetTimeWarpName()) == "New", writer == 0);
    trees[0].reset();  // the clones outlive the record's first holder
    EXPECT_STREQ(trees[2]->Get(1)->GetName(), "R");
}
INSTANTIATE_TEST_SUITE_P(Writers, KFCurveNodeClonedNames, ::testing::Range(0, 6), [](const auto& info) {
    return "Tree" + std::to_string(info.param / 2) + (info.param % 2 ? "Record" : "Setter");
});

TEST(KFCurveNodeLinks, TimeWarpIsSharedAndReleasedByItsLastHolderAndCyclesAreCut) {
    int destroyed = 0;
    KFCurveNode* warp = KFCurveNodeCreate("TW", &KDataTypeTimeWarp);
    warp->CallbackRegister(&CountDestroy, &destroyed);
    KFCurveNode* holder = KFCurveNodeCreate("A");
    NodePtr keeper(KFCurveNodeCreate("B"));
    holder->TimeWarpSet(warp);
    keeper->TimeWarpSet(warp);
    holder->TimeWarpSet(warp);
    holder->Destroy();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(keeper->TimeWarpGet(), warp);
    keeper->TimeWarpSet(nullptr);
    EXPECT_EQ(destroyed, 1);
    keeper->TimeWarpSet(keeper.get());
    EXPECT_EQ(keeper->TimeWarpGet(), nullptr);

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

TEST(KFCurveNodeCallbacks, DeliveryOrderAndHeldEvents) {
    EventLog log;
    NodePtr node(KFCurveNodeCreate("N"));
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
    node->CallbackUnregister(&Record<2>, &log);
    node->CallbackUnregister(&Record<1>, &log);
}

}  // namespace
