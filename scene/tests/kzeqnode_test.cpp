#include "scene/kzeqnode.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <string>

#include "content/kzeqnull.h"
#include "content/kzeqopticalreference.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

// Stands in for the attribute kinds not built here; records its channel calls.
class TestAttribute : public KZeqNodeAttribute {
public:
    TestAttribute(KZeqSdkManager& manager, EAttributeType type) : KZeqNodeAttribute(manager), mType(type) {}
    EAttributeType GetAttributeType() const override { return mType; }
    void AddChannels(KZeqTakeNode* take) override { mCalls += std::string("+") + take->GetName(); }
    void RemoveChannels(KZeqTakeNode* take) override { mCalls += std::string("-") + take->GetName(); }
    EAttributeType mType;
    std::string mCalls;
};

class KZeqNodeTest : public ::testing::Test {
protected:
    KZeqNode* Node(const char* name) { return mManager.CreateKZeqNode(name); }
    KZeqSdkManager mManager;
};

std::string Text(const char* text) { return text ? text : "(null)"; }

// A scene's root connected as a camera's aim or up-vector target (a file may name it) is passed
// over: the camera has none, or the next one connected.
TEST_F(KZeqNodeTest, TheScenesRootIsNoTarget) {
    KZeqNode* root = mManager.CreateKZeqScene()->GetRootNode();
    KZeqNode* camera = Node("crane");
    ASSERT_TRUE(root->AddChild(camera));
    const struct {
        const char* mProperty;
        KZeqNode* (KZeqNode::*mGet)() const;
    } kTargets[] = {{"LookAtProperty", &KZeqNode::GetTarget}, {"UpVectorProperty", &KZeqNode::GetTargetUp}};
    for (const auto& target : kTargets) {
        KProperty* property = camera->GetPropertyHandler()->FindPropertyByName(target.mProperty);
        ASSERT_NE(nullptr, property);
        // As the reader connects a file's record.
        property->ConnectSrc(root->GetPropertyHandler(), 0);
        EXPECT_EQ(nullptr, (camera->*target.mGet)()) << target.mProperty;
        KZeqNode* aim = Node(target.mProperty);
        ASSERT_TRUE(root->AddChild(aim));
        property->ConnectSrc(aim->GetPropertyHandler(), 0);
        EXPECT_EQ(aim, (camera->*target.mGet)()) << target.mProperty;
    }
}

std::vector<double> Row(KZeqXMatrix& m, int row) {
    const KgeAMatrix& a = m;
    return {a[row][0], a[row][1], a[row][2]};
}

}  // namespace

TEST_F(KZeqNodeTest, PropertySetInTableOrderWithItsDefaultsFlagsAndTexts) {
    KZeqNode* node = Node("n");
    KZeqNodeProperties* p = node->GetPropertyHandler();
    ASSERT_EQ(54, p->GetPropertyCount());
    const struct {
        int mRow;
        const char* mName;
        unsigned mFlags;
    } rows[] = {{1, "QuaternionInterpolate", 0},     {4, "RotationPivotUpdateOffset", 16},
                {7, "ScalingPivotUpdateOffset", 16}, {22, "AxisLen", 0},
                {47, "LookAtProperty", 0},           {50, "NegativePercentShapeSupport", 0},
                {51, "Lcl Translation", 8},          {54, "Visibility", 8}};
    for (const auto& row : rows) {
        KProperty* property = p->GetProperty(row.mRow - 1);
        EXPECT_STREQ(row.mName, property->GetPropertyName()) << row.mRow;
        EXPECT_EQ(row.mFlags, property->GetPropertyFlags()) << row.mRow;
        EXPECT_EQ(row.mRow > 50,
                  property->IsAnimatable() && property->GetPropertyInfo().GetFlag(KPropertyInfo::kFlagDynamic));
    }
    double scaling[3], visibility;
    p->mLclScaling->GetDataAsDoubles(scaling, 3);
    p->mVisibility->GetDataAsDoubles(&visibility, 1);
    EXPECT_EQ(std::vector<double>({1, 1, 1, 1}), std::vector<double>({scaling[0], scaling[1], scaling[2], visibility}));
    EXPECT_EQ(1.0, p->GeometricScalingGet().mData[0]);  // the node's Reset
    EXPECT_TRUE(p->ShowGet() && p->NegativePercentShapeSupportGet() && !p->TranslationActiveGet());
    p->RotationOffset.Value().mData[3] = 9.0;
    p->RotationOffsetSet(KgeTVector(1, 2, 3, 7));
    EXPECT_EQ(9.0, p->RotationOffset.Value().mData[3]);
    EXPECT_EQ(1.0, p->RotationOffsetGet().mData[3]);
    const struct {
        int mValue;
        const char* mOrder;
        const char* mInherit;
    } texts[] = {{0, "Euler XYZ", "RrSs"},    {1, "Euler XZY", "RrSs"}, {2, "Euler YZX", "Rrs"},
                 {6, "Spheric XYZ", nullptr}, {7, nullptr, nullptr},    {-1, nullptr, nullptr}};
    for (const auto& t : texts) {
        EXPECT_EQ(Text(t.mOrder), Text(p->RotationOrder.GetValueAsString(t.mValue))) << t.mValue;
        EXPECT_EQ(Text(t.mInherit), Text(p->InheritType.GetValueAsString(t.mValue))) << t.mValue;
    }
    for (int id : {KZeqNodeProperties::ClassId, KZeqPropertyHandler::ClassId, KObject::ClassId, KPlug::ClassId})
        EXPECT_TRUE(p->Is(id));
    EXPECT_FALSE(p->Is(KProperty::ClassId));
    EXPECT_EQ(nullptr, p->LookAtPropertyGet(0));
}

TEST_F(KZeqNodeTest, HierarchyMovesRefusesCyclesAndFindsByModelName) {
    KZeqNode *a = Node("a"), *b = Node("b"), *c = Node("Foo::c"), *d = Node("d");
    ASSERT_TRUE(a->AddChild(b) && b->AddChild(c) && a->AddChild(d));
    EXPECT_EQ(c, a->FindChild("c"));
    EXPECT_EQ(c, a->FindChild("Bar::c"));
    EXPECT_EQ(nullptr, a->FindChild("c", false));
    ASSERT_TRUE(d->AddChild(c));  // moves
    EXPECT_TRUE(b->GetChildCount() == 0 && c->GetParent() == d && a->GetChild(1) == d);
    for (int bad : {-1, 2}) EXPECT_EQ(nullptr, a->GetChild(bad));
    for (KZeqNode* cycle : {a, d, c}) {
        a->GetError().ClearLastError();
        c->GetError().ClearLastError();
        EXPECT_FALSE(c->AddChild(cycle));
        EXPECT_EQ(KZeqNode::eCyclicGraph, c->GetLastErrorID());
    }
    EXPECT_TRUE(d->GetParent() == a && c->GetParent() == d && a->GetParent() == nullptr);
    EXPECT_EQ(nullptr, a->GetChildName(0));
    EXPECT_STREQ("Index out of range", a->GetLastErrorString());
    a->SetTarget(b);
    a->SetTarget(c);
    EXPECT_EQ(b, a->GetTarget());
    a->SetSelected(true, false);
    c->SetSelected(true);
    EXPECT_TRUE(d->GetSelected(true) && !d->GetSelected(false));
    // The recursive destroy ends the whole subtree, attribute included.
    KZeqNull* null = mManager.CreateKZeqNull();
    d->SetNodeAttribute(null);
    const int before = mManager.GetKZeqNodeCount();
    ASSERT_TRUE(mManager.DestroyKZeqNode(a, true));
    EXPECT_EQ(before - 4, mManager.GetKZeqNodeCount());
    EXPECT_FALSE(mManager.DestroyKZeqNodeAttribute(null));
}

// A chain built child by child below its end, deeper than a small stack has
// frames for: selecting it, asking for a selection below, computing globals
// and states must not recurse once per level, and a cycle through it is still refused.
TEST(KZeqNodeDeep, ChainsSelectComputeStatesAndRefuseCyclesOnASmallStack) {
    struct Run {
        static void* Body(void* result) {
            KZeqSdkManager manager;
            KZeqNode* top = manager.CreateKZeqNode("top");
            KZeqNode* end = top;
            bool ok = true;
            top->SetDefaultT(KZeqVector4(1, 0, 0, 1));
            for (int i = 0; i < 4000; ++i) {
                KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
                node->SetDefaultT(KZeqVector4(1, 0, 0, 1));
                ok = end->AddChild(node) && ok;
                end = node;
            }
            // Each level adds one: the end's globals from the takes and its global state are computed
            // up the whole chain.
            ok = ok && end->GetGlobalFromDefaultTake().GetT()[0] == 4001 &&
                 end->GetGlobalFromCurrentTake(KTime(0)).GetT()[0] == 4001;
            top->SetLocalStateFromDefaultTake(true);
            end->ComputeGlobalState(7, false);
            ok = ok && end->GetGlobalState().GetT()[0] == 4001 && top->GetGlobalStateId() == 7;
            top->SetGlobalStateId(0, true);
            top->ComputeGlobalState(8, true);
            top->ComputeLocalState(8, true);
            top->SetLocalStateId(9, true);
            top->SetDefaultTakeFromLocalState(true);
            top->SetCurrentTakeFromLocalState(KTime(0), true);
            KZeqVector4 t;
            ok = ok && end->GetLocalState().GetT()[0] == 1 && end->GetDefaultT(t)[0] == 1 && end->GetLocalStateId() == 9;
            ok = ok && !top->GetSelected(true) && !end->AddChild(top) && !end->AddChild(end);
            end->SetSelected(true);
            ok = ok && top->GetSelected(true) && !top->GetSelected(false);
            top->SetSelected(false, true);
            ok = ok && !top->GetSelected(true);
            top->SetSelected(true, true);
            *static_cast<bool*>(result) = ok && end->GetSelected() && end->GetParent()->GetSelected();
            return nullptr;
        }
    };
    pthread_attr_t attributes;
    pthread_t thread;
    bool result = false;
    ASSERT_TRUE(pthread_attr_init(&attributes) == 0 && pthread_attr_setstacksize(&attributes, 64 * 1024) == 0);
    ASSERT_EQ(0, pthread_create(&thread, &attributes, &Run::Body, &result));
    EXPECT_TRUE(pthread_join(thread, nullptr) == 0 && pthread_attr_destroy(&attributes) == 0 && result);
}

TEST_F(KZeqNodeTest, EntityFollowsAttachedSubtreesAndRefusesClashes) {
    KZeqEntity entity(mManager);
    KZeqNode* root = entity.GetRootNode();
    ASSERT_STREQ("Model::RootNode", root->GetName());
    KZeqNode *a = Node("a"), *b = Node("b"), *x = Node("x"), *other = Node("other");
    ASSERT_TRUE(a->AddChild(b) && root->AddChild(a));
    EXPECT_TRUE(b->GetEntity() == &entity && entity.GetNodeCount() == 3);
    EXPECT_TRUE(other->AddChild(b));  // leaves the entity with its subtree
    EXPECT_TRUE(b->GetEntity() == nullptr && entity.GetNodeCount() == 2);
    // A subtree holding a name twice is refused whole, both trees unchanged.
    KZeqNode* twin = Node("x");
    ASSERT_TRUE(b->AddChild(x) && b->AddChild(twin));
    EXPECT_FALSE(a->AddChild(b));
    EXPECT_EQ(KZeqNode::eNodeNameClash, a->GetLastErrorID());
    EXPECT_TRUE(b->GetParent() == other && a->GetChildCount() == 0 && b->GetEntity() == nullptr);
    // A member of the same entity is refused as a new source; AddChild moves it.
    KZeqNode* y = Node("y");
    root->AddChild(y);
    EXPECT_FALSE(a->GetPropertyHandler()->ConnectSrc(y->GetPropertyHandler()));
    EXPECT_EQ(KZeqNode::eCyclicGraph, a->GetLastErrorID());
    EXPECT_TRUE(a->AddChild(y) && y->GetEntity() == &entity && entity.GetNodeCount() == 3);
    EXPECT_TRUE(a->SetEntity(&entity, true));  // already there: nothing to check
    EXPECT_TRUE(mManager.DestroyKZeqNode(a) && entity.GetNodeCount() == 1 && !y->GetEntity());
}

// A node has one parent: a plain connection under a second one is refused, in an entity or out of
// one, and AddChild moves the node instead.
TEST_F(KZeqNodeTest, ANodeHasOneParent) {
    KZeqEntity entity(mManager);
    KZeqNode* root = entity.GetRootNode();
    KZeqNode *group = Node("group"), *aim = Node("aim"), *other = Node("other");
    ASSERT_TRUE(group->AddChild(aim));
    for (KZeqNode* second : {other, root}) {
        second->GetError().ClearLastError();
        EXPECT_FALSE(second->GetPropertyHandler()->ConnectSrc(aim->GetPropertyHandler())) << second->GetName();
        EXPECT_EQ(KZeqNode::eCyclicGraph, second->GetLastErrorID());
    }
    EXPECT_TRUE(aim->GetParent() == group && other->GetChildCount() == 0 && root->GetChildCount() == 0);
    ASSERT_TRUE(root->AddChild(group) && aim->GetEntity() == &entity);
    EXPECT_FALSE(other->GetPropertyHandler()->ConnectSrc(aim->GetPropertyHandler()));
    EXPECT_TRUE(aim->AddChild(other) && other->GetParent() == aim);
    EXPECT_FALSE(other->AddChild(group));  // above it
    EXPECT_TRUE(root->AddChild(aim) && aim->GetParent() == root && group->GetChildCount() == 0);
    // Each node is ended once, under its one parent.
    const int before = mManager.GetKZeqNodeCount();
    EXPECT_TRUE(mManager.DestroyKZeqNode(aim, true) && mManager.GetKZeqNodeCount() == before - 2);
    EXPECT_TRUE(root->GetChildCount() == 1 && root->GetChild(0) == group);
}

// A scene's root is no child: taken under a node outside the scene (through AddChild or a plain
// connection) it left its scene without a root, and the scene lost everything under it.
TEST_F(KZeqNodeTest, TheRootOfAnEntityIsNoChild) {
    KZeqEntity entity(mManager), other(mManager);
    KZeqNode* root = entity.GetRootNode();
    KZeqNode *loose = Node("loose"), *member = Node("member");
    ASSERT_TRUE(root->AddChild(member));
    for (KZeqNode* parent : {loose, member, other.GetRootNode()}) {
        parent->GetError().ClearLastError();
        EXPECT_FALSE(parent->AddChild(root)) << parent->GetName();
        EXPECT_EQ(KZeqNode::eCyclicGraph, parent->GetLastErrorID()) << parent->GetName();
        EXPECT_FALSE(parent->GetPropertyHandler()->ConnectSrc(root->GetPropertyHandler())) << parent->GetName();
    }
    // Nor does a connection's move take it out.
    EXPECT_FALSE(root->SetEntity(nullptr, false));
    EXPECT_TRUE(entity.GetRootNode() == root && root->GetEntity() == &entity && !root->GetParent());
    EXPECT_TRUE(member->GetEntity() == &entity && entity.GetNodeCount() == 2 && loose->GetChildCount() == 0);
    // A root taken out of its entity by the entity itself is a node like any other.
    KZeqNode* former = other.GetRootNode();
    ASSERT_TRUE(other.RemoveNode(former) && !other.GetRootNode());
    EXPECT_TRUE(loose->AddChild(former) && former->GetParent() == loose);
}

TEST_F(KZeqNodeTest, AttributesMoveAddChannelsPerTakeAndLeaveBeforeTheyEnd) {
    KZeqNode *a = Node("a"), *b = Node("b");
    a->CreateTakeNode("T1");
    a->CreateTakeNode("T2");
    TestAttribute light(mManager, KZeqNodeAttribute::eLIGHT);
    EXPECT_EQ(nullptr, a->SetNodeAttribute(&light));
    EXPECT_EQ(nullptr, a->SetNodeAttribute(&light));
    EXPECT_EQ("+Default+T1+T2", light.mCalls);
    EXPECT_EQ(KZeqNode::eNO_MULTI_TAKE, a->GetMultiTakeMode());
    b->SetNodeAttribute(&light);
    EXPECT_EQ("+Default+T1+T2-Default-T1-T2+Default", light.mCalls);
    EXPECT_TRUE(a->GetNodeAttribute() == nullptr && a->GetMultiTakeMode() == KZeqNode::eMULTI_TAKE);
    b->SetNodeAttribute(nullptr);
    light.UnsetNode();  // detached: nothing
    EXPECT_EQ("+Default+T1+T2-Default-T1-T2+Default-Default", light.mCalls);

    KZeqNull* null = mManager.CreateKZeqNull();
    EXPECT_TRUE(null->GetSize() == 100.0 && !null->GetSizeIsSet());
    null->SetSize(100.0);
    EXPECT_TRUE(null->GetSizeIsSet());
    a->SetNodeAttribute(null);
    EXPECT_TRUE(a->GetNull() == null && a->GetOpticalReference() == nullptr && a->GetTypeName() == "Null");
    ASSERT_TRUE(mManager.DestroyKZeqNodeAttribute(null));
    EXPECT_EQ(nullptr, a->GetNodeAttribute());
    KZeqOpticalReference* optical = mManager.CreateKZeqOpticalReference();
    b->SetNodeAttribute(optical);
    EXPECT_TRUE(b->GetTypeName() == "Optical" && b->GetTypeFlags().GetCount() == 1);
    EXPECT_STREQ("Marker", b->GetTypeFlags().GetStringAt(0));
}

TEST_F(KZeqNodeTest, CopyTakesAttributeDisplayPivotsAndTakesButNotGeometricValues) {
    KZeqNode *from = Node("from"), *to = Node("to"), *target = Node("t");
    KZeqNull* null = mManager.CreateKZeqNull();
    null->SetSize(5.0);
    from->SetNodeAttribute(null);
    from->SetTarget(target);
    from->GetPropertyHandler()->mVisibility->SetDouble(NAN);
    EXPECT_TRUE(from->GetVisibility());
    from->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 2, 3, 1));
    from->SetScalingOffset(KZeqNode::eSOURCE_SET, KZeqVector4(4, 4, 4, 1));
    from->SetGeometricTranslation(KZeqNode::eDESTINATION_SET, KZeqVector4(5, 5, 5, 1));
    from->CreateTakeNode("T1");
    to->SetNodeAttribute(mManager.CreateKZeqOpticalReference());
    *to = *from;
    EXPECT_TRUE(to->GetNull() && to->GetNull() != null && to->GetNull()->GetSize() == 5.0);
    EXPECT_TRUE(to->GetTarget() == target && to->GetVisibility() && to->GetTakeNodeCount() == 2);
    EXPECT_EQ(1.0, to->GetRotationPivot(KZeqNode::eSOURCE_SET)[0]);
    EXPECT_EQ(0.0, to->GetScalingOffset(KZeqNode::eSOURCE_SET)[0]);
    EXPECT_EQ(0.0, to->GetGeometricTranslation(KZeqNode::eDESTINATION_SET)[0]);
}

// Quaternion interpolation and rotation stiffness live in their properties;
// Reset clears them. Publishing again wraps nothing more.
TEST_F(KZeqNodeTest, InterpolationAndStiffnessThroughTheirProperties) {
    KZeqNode* node = Node("n");
    KZeqNodeProperties* p = node->GetPropertyHandler();
    EXPECT_FALSE(node->GetUseQuaternionForInterpolation());
    EXPECT_TRUE(node->GetRotationStiffness() == KZeqVector4(0, 0, 0, 1) && node->GetRotationStiffness()[3] == 1.0);
    node->SetUseQuaternionForInterpolation(true);
    node->SetRotationStiffness(KZeqVector4(1, 2, 3, 9));
    EXPECT_EQ(1.0, p->FindPropertyByName("QuaternionInterpolate")->AsDouble());
    EXPECT_EQ(2.0, p->FindPropertyByName("RotationStiffnessY")->AsDouble());
    const KZeqVector4 stiffness = node->GetRotationStiffness();
    EXPECT_TRUE(node->GetUseQuaternionForInterpolation() && stiffness[2] == 3.0 && stiffness[3] == 1.0);
    node->Reset();
    EXPECT_TRUE(!node->GetUseQuaternionForInterpolation() && node->GetRotationStiffness()[0] == 0.0);
    const int published = node->GetPropertyCount();
    node->PublishProperties();
    EXPECT_EQ(published, node->GetPropertyCount());
}

// All four components count, and a NaN always differs.
TEST(KZeqNodeVectors, AnyComponentMakesVectorsDiffer) {
    const KgeTVector held(1, 2, 3, 1);
    EXPECT_FALSE(held != KZeqVector4(1, 2, 3, 1));
    EXPECT_TRUE(held != KZeqVector4(1, 2, 3, 0));
    EXPECT_TRUE(held != KZeqVector4(1, 2, NAN, 1));
    EXPECT_TRUE(KgeTVector(NAN, 0, 0, 1) != KZeqVector4(NAN, 0, 0, 1));
}

TEST_F(KZeqNodeTest, ChannelsInEveryTakeRegisteredOnlyInTheDefaultOne) {
    KZeqNode* node = Node("n");
    node->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    EXPECT_EQ(10, node->GetDefaultTakeCallbackCount());  // nine transform curves and visibility
    KZeqTakeNode lower("default"), other("Take 001");
    node->AddChannels(&lower);
    node->AddChannels(&other);
    EXPECT_EQ(20, node->GetDefaultTakeCallbackCount());
    EXPECT_TRUE(lower.GetTranslationY()->GetValue() == 2.0f && lower.GetTranslationY()->GetColor()[1] == 1.0f);
    EXPECT_EQ(0.75f, lower.GetVisibility()->GetColor()[0]);
    KFCurveNode* t = lower.GetKFCurveNode()->FindRecursive("T");
    EXPECT_TRUE(t->GetDataType() == &KDataTypeLclTranslation && t->GetLayerType() == KFCL_ADD);
    EXPECT_EQ(KFCL_MULT, lower.GetKFCurveNode()->FindRecursive("S")->GetLayerType());
    other.GetScaleZ()->SetValue(4.0f);
    KZeqVector4 s;
    EXPECT_EQ(1.0, node->GetDefaultS(s)[2]);
    lower.GetScaleZ()->SetValue(4.0f);
    EXPECT_EQ(4.0, node->GetDefaultS(s)[2]);
}

// A user property's channel is the take root's own child: one named like a
// transform channel gets a channel of its own and leaves the transform be.
TEST_F(KZeqNodeTest, PropertiesNamedLikeTransformChannelsKeepTheirOwn) {
    KZeqNode* node = Node("n");
    node->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    node->CreateTakeNode("Take 001");
    for (const char* name : {"X", "s", "T"}) {
        KZeqUserProperty* property = mManager.CreateKZeqUserProperty(name, "Real", "");
        property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
        node->AddProperty(property);
        property->SetDefaultValue(9.0);
    }
    KZeqVector4 t, s;
    EXPECT_EQ(KZeqVector4(1, 2, 3, 0), node->GetDefaultT(t));
    EXPECT_EQ(KZeqVector4(1, 1, 1, 0), node->GetDefaultS(s));
    for (int take = 0; take < 2; ++take) {
        KZeqTakeNode* at = node->GetTakeNode(take);
        EXPECT_EQ(1.0f, at->GetTranslationX()->GetValue()) << take;
        for (const char* name : {"X", "s", "T"}) {
            KFCurveNode* root = at->GetKFCurveNode();
            KFCurveNode* own = root->Get(root->Find(name));
            ASSERT_TRUE(own && own->FCurveGet()) << name;
            EXPECT_EQ(take == 0 ? 9.0f : 0.0f, own->FCurveGet()->GetValue()) << name;
        }
    }
}

namespace {

// The global matrices as they were computed before: the parent's, by recursion, times the local.
KZeqXMatrix RecursiveGlobal(KZeqNode& node, const KTime* time) {
    KZeqXMatrix& local = time ? node.GetLocalFromCurrentTake(*time) : node.GetLocalFromDefaultTake();
    KZeqNode* parent = node.GetParent();
    if (!parent) return local;
    KZeqXMatrix above = RecursiveGlobal(*parent, time), global;
    KZeqNode::ComputeGlobalMatrixZeqStyle(global, above, local);
    return global;
}

// The twelve values of an affine matrix, compared exactly.
std::vector<double> Affine(const KZeqXMatrix& m) {
    const KgeAMatrix& a = m;
    std::vector<double> values;
    for (int row = 0; row < 4; ++row)
        for (int j = 0; j < 3; ++j) values.push_back(a[row][j]);
    return values;
}

}  // namespace

// Asked in any order (a leaf first walks up the whole chain, a node below one already known stops
// there), at one time and then another, the globals of a small tree are those of the recursion,
// bit for bit.
TEST_F(KZeqNodeTest, GlobalMatricesFromTakesAsTheRecursionGaveThem) {
    const std::vector<std::vector<int>> orders = {{3, 2, 1, 0, 4}, {0, 1, 2, 3, 4}, {2, 4, 3, 0, 1}};
    for (const std::vector<int>& order : orders) {
        // top, a under top, b under a, c under b, d under a; each turned, scaled and moved.
        KZeqNode* nodes[5];
        for (int i = 0; i < 5; ++i) {
            nodes[i] = Node(("n" + std::to_string(i)).c_str());
            nodes[i]->SetDefaultT(KZeqVector4(1.5 * i - 2, 0.25 * i, 3.0 / (i + 1), 0));
            nodes[i]->SetDefaultR(KZeqVector4(17.0 * i + 5, -31.0 + 7 * i, 11.0 * i * i, 0));
            nodes[i]->SetDefaultS(KZeqVector4(1.0 + 0.1 * i, 0.7, i == 2 ? -1.3 : 1.1, 0));
            KZeqTakeNode* take = nodes[i]->CreateTakeNode("T1");
            Key(take->GetTranslationX(), 0.0, static_cast<float>(i));
            Key(take->GetTranslationX(), 1.0, static_cast<float>(3 - i));
            Key(take->GetEulerRotationZ(), 0.0, 10.0f * i);
            Key(take->GetEulerRotationZ(), 1.0, -25.0f + i);
            nodes[i]->SetCurrentTakeNode("T1");
        }
        ASSERT_TRUE(nodes[0]->AddChild(nodes[1]) && nodes[1]->AddChild(nodes[2]) && nodes[2]->AddChild(nodes[3]) &&
                    nodes[1]->AddChild(nodes[4]));
        for (int i : order) {
            EXPECT_EQ(Affine(RecursiveGlobal(*nodes[i], nullptr)), Affine(nodes[i]->GetGlobalFromDefaultTake())) << i;
            for (double seconds : {0.25, 0.75}) {
                const KTime time = Sec(seconds);
                EXPECT_EQ(Affine(RecursiveGlobal(*nodes[i], &time)), Affine(nodes[i]->GetGlobalFromCurrentTake(time)))
                    << i << " at " << seconds;
            }
        }
        // Known at one time, the chain above a leaf is walked again at another.
        const KTime later = Sec(0.5);
        EXPECT_EQ(Affine(RecursiveGlobal(*nodes[1], &later)), Affine(nodes[1]->GetGlobalFromCurrentTake(later)));
        EXPECT_EQ(Affine(RecursiveGlobal(*nodes[3], &later)), Affine(nodes[3]->GetGlobalFromCurrentTake(later)));
    }
}

TEST_F(KZeqNodeTest, MatricesFromTakesAndStates) {
    KZeqNode *parent = Node("p"), *child = Node("c");
    parent->AddChild(child);
    child->SetDefaultR(KZeqVector4(90, 0, 0, 0));
    KZeqXMatrix& local = child->GetLocalFromDefaultTake();
    for (int row = 1; row < 3; ++row) {
        const std::vector<double> expected = row == 1 ? std::vector<double>{0, 0, 1} : std::vector<double>{0, -1, 0};
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(expected[j], Row(local, row)[j], 1e-12) << row;
    }
    parent->SetDefaultT(KZeqVector4(10, 0, 0, 0));
    EXPECT_EQ(10.0, Row(child->GetGlobalFromDefaultTake(), 3)[0]);
    EXPECT_EQ(Row(parent->GetLocalFromDefaultTake(), 3), Row(parent->GetGlobalFromDefaultTake(), 3));
    parent->SetDefaultT(KZeqVector4(20, 0, 0, 0));  // stale until the take is switched
    EXPECT_EQ(10.0, Row(parent->GetLocalFromDefaultTake(), 3)[0]);
    parent->SetCurrentTakeNode(0);
    EXPECT_EQ(20.0, Row(parent->GetLocalFromDefaultTake(), 3)[0]);

    KZeqTakeNode* take = parent->CreateTakeNode("T1");
    Key(take->GetTranslationX(), 0.0, 0.0f);
    Key(take->GetTranslationX(), 1.0, 2.0f);
    parent->SetCurrentTakeNode("T1");
    EXPECT_NEAR(1.0, Row(parent->GetLocalFromCurrentTake(Sec(0.5)), 3)[0], 1e-6);
    EXPECT_NEAR(2.0, Row(parent->GetGlobalFromCurrentTake(Sec(1.0)), 3)[0], 1e-6);

    // States: one pass per id.
    KZeqXMatrix shifted;
    shifted.SetT(KZeqVector4(1, 0, 0, 0));
    parent->SetLocalState(shifted);
    child->SetLocalState(shifted);
    parent->ComputeGlobalState(5, true);
    EXPECT_EQ(2.0, Row(child->GetGlobalState(), 3)[0]);
    child->SetLocalState(KZeqXMatrix());
    parent->ComputeGlobalState(5, true);
    EXPECT_EQ(2.0, Row(child->GetGlobalState(), 3)[0]);
    parent->ComputeGlobalState(6, true);
    EXPECT_EQ(1.0, Row(child->GetGlobalState(), 3)[0]);
    // Written back: default values in the default take, keys elsewhere.
    child->SetLocalState(shifted);
    child->SetCurrentTakeFromLocalState(Sec(2.0), false);
    EXPECT_TRUE(child->GetDefaultTakeNode()->GetTranslationX()->GetValue() == 1.0f &&
                child->GetDefaultTakeNode()->GetTranslationX()->KeyGetCount() == 0);
    parent->SetCurrentTakeFromLocalState(Sec(2.0), false);
    EXPECT_EQ(3, take->GetTranslationX()->KeyGetCount());
}

// For a file, an inactive set's vectors go in neutral: nothing a reader would turn the set on
// with; its rotation order stays, and an active set goes in whole.
TEST_F(KZeqNodeTest, PropertiesForAFileHoldThePivotsInEffect) {
    KZeqNode* node = Node("n");
    node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 45, 0, 0));
    node->SetGeometricScaling(KZeqNode::eSOURCE_SET, KZeqVector4(2, 2, 2, 1));
    node->SetRotationOrder(KZeqNode::eSOURCE_SET, eEULER_ZYX);
    KZeqNodeProperties& p = *node->GetPropertyHandler();
    node->UpdatePropertiesFromPivotsInEffectAndLimits();
    EXPECT_EQ(0.0, p.PreRotation.Value().mData[1]);
    EXPECT_EQ(1.0, p.GeometricScaling.Value().mData[0]);
    EXPECT_EQ(eEULER_ZYX, p.RotationOrder.Value());
    node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    node->UpdatePropertiesFromPivotsInEffectAndLimits();
    EXPECT_EQ(45.0, p.PreRotation.Value().mData[1]);
    EXPECT_EQ(2.0, p.GeometricScaling.Value().mData[0]);
}

TEST_F(KZeqNodeTest, PivotsFollowPropertiesBeyondOneMillionth) {
    KZeqNode* node = Node("n");
    node->SetPreRotation(KZeqNode::eDESTINATION_SET, KZeqVector4(7, 7, 7, 1));
    for (double z : {5e-7, 2e-6}) {
        node->GetPropertyHandler()->RotationOffsetSet(KgeTVector(0, 0, z));
        node->UpdatePivotsAndLimitsFromProperties();
        KZeqNode::EPivotState state;
        node->GetPivotState(KZeqNode::eSOURCE_SET, state);
        EXPECT_EQ(z > 1e-6, state == KZeqNode::ePIVOT_STATE_ACTIVE) << z;
        EXPECT_EQ(z > 1e-6 ? 0.0 : 7.0, node->GetPreRotation(KZeqNode::eDESTINATION_SET)[0]) << z;
    }
    node->GetPropertyHandler()->RotationMinYSet(true);
    node->UpdatePivotsAndLimitsFromProperties();
    bool x, y, z;
    node->GetLimits().mRotationLimits.GetLimitMinActive(x, y, z);
    EXPECT_TRUE(!x && y && !z);
    node->GetLimits().SetScalingLimitActive(true);
    node->UpdatePropertiesFromPivotsAndLimits();
    EXPECT_TRUE(node->GetPropertyHandler()->ScalingActiveGet());
}

namespace {

// Counts the value and list notices a plug hears.
template <class Base>
struct Hearing : Base {
    bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                    kConnectionType type, KPlug* replacement) override {
        if (action == kPlugDataChanging || action == kPlugDataChanged || action == kPlugPropertyAdding ||
            action == kPlugPropertyAdded)
            ++mHeard;
        return Base::PlugNotify(callstack, action, plug, index, other, type, replacement);
    }
    int mHeard = 0;
};

}  // namespace

// The set sends no notices no one hears; a property added to it by a caller hears its own.
TEST_F(KZeqNodeTest, NoticesReachThoseWhoHearThem) {
    KZeqNode* node = Node("n");
    KZeqNodeProperties* p = node->GetPropertyHandler();
    Hearing<KPropertyTemplate<double>> mine;
    p->PropertyAddToList(&mine);
    mine.SetPropertyInfo("Mine", p, nullptr, nullptr);
    mine.Set(2.0);
    EXPECT_EQ(2, mine.mHeard);
    EXPECT_TRUE(p->PropertyDestroy(&mine));  // released: it is not the set's to delete
    EXPECT_EQ(2.0, mine.Value());
}
