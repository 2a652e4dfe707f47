#include "fcurve/kfcurvenode.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "base/knameindex.h"
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

// Many children are found through an index of their names: after each of a random run of edits
// (appends, insertions, removals, records shared, renames through a record given out some steps
// before), Find answers as a search in place does, for every name in any case.
TEST(KFCurveNodeTree, FindByNameAgreesWithASearchInPlaceThroughEdits) {
    const char* const kNames[] = {"a", "B", "cc", "Dd", "e (x)", "F"};
    const auto inPlace = [](const KFCurveNode& parent, const char* name) {
        for (int i = 0; i < parent.GetCount(); ++i)
            if (strcasecmp(parent.Get(i)->GetName(), name) == 0) return i;
        return -1;
    };
    NodePtr parent(KFCurveNodeCreate("parent"));
    std::mt19937 random(7);
    const auto pick = [&random](int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); };
    KFCurveNode* holder = nullptr;           // a child whose record was given out
    KFCurveNode::NameInfo* given = nullptr;  // and the record
    for (int step = 0; step < 600; ++step) {
        const int count = parent->GetCount();
        KFCurveNode* child = count ? parent->Get(pick(count)) : nullptr;
        switch (count < KNameIndex::kMinCount + 8 ? 0 : pick(5)) {
            case 0: parent->Add(KFCurveNodeCreate(kNames[pick(6)])); break;
            case 1: parent->SortedAdd(KFCurveNodeCreate(kNames[pick(6)])); break;
            case 2:
                if (child != holder) parent->Delete(child);
                break;
            case 3:
                if (child != holder) child->SetNameInfo(parent->Get(pick(count))->GetNameInfo());
                break;
            default: given = (holder = child)->GetNameInfo(); break;
        }
        // Written some steps after it was given out, with nothing the nodes hear of.
        if (given && step % 5 == 0) given->mName = kNames[pick(6)];
        for (const char* asked : {"a", "A", "B", "cc", "CC", "Dd", "dD", "e (x)", "E (X)", "F", "none"})
            ASSERT_EQ(inPlace(*parent, asked), parent->Find(asked)) << step << " " << asked;
    }
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

TEST(KFCurveNodeTree, SortedAddTemplatesAndCurvesOnEveryLeaf) {
    NodePtr parent(KFCurveNodeCreate("P"));
    for (const char* name : {"A", "B", "C"}) parent->Add(KFCurveNodeCreate(name));
    KFCurveNode* b = KFCurveNodeCreate("b");
    EXPECT_EQ(parent->SortedAdd(b), 1);  // before the equal name
    EXPECT_EQ(parent->Get(2)->GetName(), std::string("B"));
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(parent->SortedAdd(KFCurveNodeCreate("z")), 4);
    EXPECT_EQ(parent->SortedAdd(nullptr), -1);

    NodePtr transform(KFCurveNodeCreate("Transform"));
    for (const char* name : {"T", "R"}) transform->Add(Vector(name, nullptr, KFCL_ADD));
    transform->Get(1)->Get(2)->FCurveSet(nullptr, true);
    EXPECT_FALSE(transform->FCurveCreated());
    transform->CreateFCurve();
    EXPECT_TRUE(transform->FCurveCreated());
    EXPECT_EQ(transform->FCurveGet(), nullptr) << "only the leaves";

    // A tree set after a template shares its names; children pair by index.
    NodePtr model(TransformNode("Lcl Rotation"));
    NodePtr shaped(KFCurveNodeCreate("Other"));
    for (const char* name : {"a", "b", "c", "d"}) shaped->Add(KFCurveNodeCreate(name));
    shaped->TemplateSet(model.get());
    EXPECT_EQ(shaped->TemplateGet(), model.get());
    EXPECT_STREQ(shaped->Get(1)->GetName(), "Lcl Rotation");
    EXPECT_EQ(shaped->Get(1)->TemplateGet(), model->Get(1));
    EXPECT_EQ(shaped->Get(3)->TemplateGet(), nullptr);
    model->Get(1)->SetTimeWarpName("Warp");
    EXPECT_STREQ(shaped->Get(1)->GetTimeWarpName(), "Warp");
}

TEST(KFCurveNodeTree, CreatedByTypeNameAndCurveSettingsReachTheCurvesAsAsked) {
    NodePtr move(KFCurveNodeCreate("Move", "Warp", "Lcl Translation", KFCL_QUAT, 2));
    EXPECT_STREQ(move->GetName(), "Move");
    EXPECT_STREQ(move->GetTimeWarpName(), "Warp");
    EXPECT_EQ(move->GetDataType(), &KDataTypeLclTranslation);
    EXPECT_EQ(std::make_tuple(move->GetLayerType(), move->GetLayerID(), move->GetProperty()),
              std::make_tuple(int(KFCL_QUAT), 2, static_cast<KProperty*>(nullptr)));
    NodePtr odd(KFCurveNodeCreate("Odd", nullptr, "No such type", KFCL_NOLAYER, 0));
    EXPECT_EQ(odd->GetDataType(), nullptr);
    EXPECT_STREQ(odd->GetTypeName(), "");
    EXPECT_STREQ(odd->GetTimeWarpName(), "");

    // The transform's own curve alone, or with every curve below it.
    NodePtr transform(TransformNode());
    transform->FCurveSet(KFCurveCreate(), true);
    KFCurve& own = *transform->FCurveGet();
    KFCurve& leaf = *transform->FindRecursive("S/Z")->FCurveGet();
    auto settings = [](const KFCurve& c) {
        return std::make_tuple(c.GetPreExtrapolation(), c.GetPreExtrapolationCount(), c.GetPostExtrapolation(),
                               c.GetPostExtrapolationCount());
    };
    const auto fresh = settings(leaf);
    transform->SetPreExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR, false);
    transform->SetPreExtrapolationCount(2, false);
    transform->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION, false);
    transform->SetPostExtrapolationCount(3, false);
    const auto set = std::make_tuple(int(KFCURVE_EXTRAPOLATION_MIRROR), 2u, int(KFCURVE_EXTRAPOLATION_REPETITION), 3u);
    EXPECT_EQ(settings(own), set);
    EXPECT_EQ(settings(leaf), fresh);
    transform->SetPreExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    transform->SetPreExtrapolationCount(2);
    transform->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    transform->SetPostExtrapolationCount(3);
    EXPECT_EQ(settings(leaf), set);
    EXPECT_EQ(settings(*transform->FindRecursive("T/X")->FCurveGet()), set);

    // The colour is the curve's; a node without a curve has none.
    const float red[3] = {1.0f, 0.0f, 0.0f};
    float read[3] = {-1, -1, -1};
    transform->SetColor(red);
    transform->GetColor(read);
    EXPECT_EQ(std::vector<float>(read, read + 3), std::vector<float>(red, red + 3));
    transform->SetColor(nullptr);
    EXPECT_EQ(std::vector<float>(own.GetColor(), own.GetColor() + 3), std::vector<float>(red, red + 3));
    KFCurveNode* t = transform->Get(0);
    t->SetColor(red);
    t->GetColor(read);
    EXPECT_EQ(std::vector<float>(read, read + 3), std::vector<float>(3, 0.0f));
}

TEST(KFCurveNodeLayers, ChainLookupsCopiesIntoALayerAndUserLocks) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    KFCurveNode* one = LayerAt(*node, 1);
    KFCurveNode* three = LayerAt(*node, 3);
    const int ids[] = {0, 1, 2, 3, 7};
    const KFCurveNode* previous[] = {nullptr, node.get(), one, one, three};
    const KFCurveNode* exact[] = {node.get(), one, nullptr, three, nullptr};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(node->GetPreviousLayer(ids[k]), previous[k]) << ids[k];
        EXPECT_EQ(node->GetLayerNode(ids[k]), exact[k]) << ids[k];
    }

    // Layer 2 is made between 1 and 3 and takes the source's curves; the source keeps them.
    NodePtr source(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {7, 8, 9}));
    Keys(C(source, 0), {{0, 1}, {1, 2}});
    KFCurveNode* two = node->InsertOrCopyLayer(2, source.get());
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(one->LayerGet(), two);
    EXPECT_EQ(two->LayerGet(), three);
    EXPECT_EQ(two->ObjectLayerGet(), node.get());
    EXPECT_EQ(Values(C(*two, 0)), (std::vector<float>{1, 2}));
    EXPECT_FLOAT_EQ(C(*two, 2).GetValue(), 9.0f);
    EXPECT_EQ(C(source, 0).KeyGetCount(), 2);
    EXPECT_EQ(node->InsertOrCopyLayer(3, source.get()), three);
    EXPECT_FLOAT_EQ(C(*three, 1).GetValue(), 8.0f);

    // Locks reach the children and the layers, and are counted.
    node->UserLockAdd();
    node->UserLockAdd();
    for (KFCurveNode* n : {node.get(), node->Get(2), two, two->Get(0)}) EXPECT_TRUE(n->IsUserLocked());
    node->UserLockRemove();
    EXPECT_TRUE(three->Get(1)->IsUserLocked());
    node->UserLockRemove();
    for (KFCurveNode* n : {node.get(), node->Get(2), two, two->Get(0)}) EXPECT_FALSE(n->IsUserLocked());

    // A node that is not multi-layer has only its base layer.
    node->SetMultiLayer(false);
    EXPECT_EQ(node->GetLayerNode(3), node.get());
}

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

    // Events held and then cleared are never heard.
    log.clear();
    node->CallbackEnable(false);
    EXPECT_FALSE(node->CallbackIsEnable());
    node->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    node->CallbackClear();
    node->CallbackEnable(true);
    EXPECT_TRUE(node->CallbackIsEnable());
    EXPECT_TRUE(log.empty());
    node->CallbackUnregister(&Record<2>, &log);
    node->CallbackUnregister(&Record<1>, &log);
    // A node that never had a callback holds nothing.
    NodePtr plain(KFCurveNodeCreate("Plain"));
    plain->CallbackEnable(false);
    EXPECT_TRUE(plain->CallbackIsEnable());
}

// What a callback saw of each event.
struct Delivery {
    unsigned int type;
    int count;
    IData* data;
};

void Keep(KFCurveNode*, KFCurveNodeEvent* event, void* log) {
    static_cast<std::vector<Delivery>*>(log)->push_back({event->mType, event->mEventCount, event->mData});
}

TEST(KFCurveNodeCallbacks, UpdatesCountOnceRegisteredAndDataUpdatedCarriesItsData) {
    struct Payload : IData {} payload;
    NodePtr node(KFCurveNodeCreate("N"));
    node->FCurveSet(KFCurveCreate(), true);
    node->DataUpdated(&payload);
    EXPECT_EQ(node->GetNodeUpdateId(), 0);

    std::vector<Delivery> log;
    node->CallbackRegister(&Keep, &log);
    node->FCurveSet(KFCurveCreate(), true);
    node->DataUpdated(&payload);
    EXPECT_EQ(node->GetNodeUpdateId(), 2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(std::make_tuple(log[1].type, log[1].count, log[1].data),
              std::make_tuple(unsigned(KFCURVENODEEVENT_DATAUPDATED), 1, static_cast<IData*>(&payload)));
    EXPECT_EQ(log[0].data, nullptr);

    // Held: the change is heard on enabling, merged, without its data.
    node->CallbackEnable(false);
    node->DataUpdated(&payload);
    node->CallbackAddEvent(KFCURVENODEEVENT_LAYER);
    EXPECT_EQ(log.size(), 2u);
    node->CallbackEnable(true);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(std::make_tuple(log[2].type, log[2].count, log[2].data),
              std::make_tuple(unsigned(KFCURVENODEEVENT_DATAUPDATED | KFCURVENODEEVENT_LAYER), 2,
                              static_cast<IData*>(nullptr)));
    EXPECT_EQ(node->GetNodeUpdateId(), 4);
    node->CallbackUnregister(&Keep, &log);
}

}  // namespace
