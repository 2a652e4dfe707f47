#include "content/kzeqgenericnode.h"

#include <gtest/gtest.h>

#include <string>

#include "fcurve/kfcurvenode.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

TEST(KZeqGenericNode, NamedAsGivenFoundExactly) {
    KZeqSdkManager manager;
    KZeqGenericNode* node = manager.CreateKZeqGenericNode("Light01");
    EXPECT_TRUE(std::string("Light01") == node->GetName() && node->GetTypeName() == "GenericNode");
    EXPECT_TRUE(node->GetTypeFlags().GetCount() == 1 && node->GetTypeFlags()[0] == "GenericNode");
    EXPECT_TRUE(!manager.CreateKZeqGenericNode(nullptr) && manager.GetLastErrorID() == -1);
    EXPECT_EQ(node, manager.FindKZeqGenericNode("Light01"));
    for (const char* name : {"light01", "Model::Light01", static_cast<const char*>(nullptr)}) {
        manager.GetError().ClearLastError();
        EXPECT_EQ(nullptr, manager.FindKZeqGenericNode(name));
        EXPECT_STREQ("Object not found", manager.GetLastErrorString());
    }
    EXPECT_TRUE(manager.DestroyKZeqGenericNode(node) && !manager.DestroyKZeqGenericNode(node));
}

TEST(KZeqGenericNode, UserPropertiesBecomePropertiesWithChannels) {
    KZeqSdkManager manager;
    KZeqGenericNode* node = manager.CreateKZeqGenericNode("g");
    node->CreateTakeNode("Take 001");
    KZeqUserProperty* speed = manager.CreateKZeqUserProperty("Speed", "Real", "Speed");
    speed->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
    node->AddProperty(speed);
    KProperty* property = node->GetPropertyHandler()->FindPropertyByName("Speed");
    ASSERT_TRUE(property && property->IsAnimatable() && speed->GetKProperty() == property);
    for (int take = 0; take < 2; ++take)
        EXPECT_TRUE(node->GetTakeNode(take)->GetKFCurveNode()->FindRecursive("Speed")) << take;
    node->PublishProperties();  // wrapped already
    node->PublishProperties();
    EXPECT_EQ(1, node->GetPropertyCount());
    node->RemoveProperty(speed);
    EXPECT_TRUE(!node->GetPropertyHandler()->FindPropertyByName("Speed") && !speed->GetKProperty());
    EXPECT_FALSE(node->GetDefaultTakeNode()->GetKFCurveNode()->FindRecursive("Speed"));
}

TEST(KZeqGenericNode, MovesBetweenEntitiesAndNeverDangles) {
    KZeqSdkManager manager;
    KZeqEntity first(manager);
    KZeqGenericNode *node = manager.CreateKZeqGenericNode("g"), *other = manager.CreateKZeqGenericNode("h");
    EXPECT_TRUE(node->SetEntity(&first) && node->SetEntity(&first));
    EXPECT_EQ(1, first.GetGenericNodeCount());
    {
        KZeqEntity second(manager);
        node->SetEntity(&second);
        EXPECT_TRUE(first.GetGenericNodeCount() == 0 && second.GetGenericNode(0) == node);
        EXPECT_TRUE(second.GetGenericNode("g") == node && !second.GetGenericNode("G"));
        first.Clear();  // generic nodes stay
        other->SetEntity(&first);
        EXPECT_EQ(1, first.GetGenericNodeCount());
    }  // the second entity ends first: the node forgets it
    EXPECT_EQ(nullptr, node->GetEntity());
    EXPECT_FALSE(first.RemoveGenericNode(node));
    EXPECT_EQ(KZeqEntity::eGenericNodeNotFound, first.GetLastErrorID());
    first.AddGenericNode(other);
    EXPECT_FALSE(first.RemoveGenericNode(other));
    EXPECT_EQ(KZeqEntity::eGenericNodeInUse, first.GetLastErrorID());
    manager.DestroyKZeqGenericNode(other);  // leaves its entity whatever the count
    EXPECT_TRUE(first.GetGenericNodeCount() == 0 && !first.GetGenericNode(0));
    EXPECT_STREQ("Parameter is out of range.", first.GetLastErrorString());
}

// The finder records the entity's generic node first, then a collected one,
// and never collects on its own.
TEST(KZeqGenericNode, FinderRecordsDuplicateNames) {
    KZeqSdkManager manager;
    KZeqEntity entity(manager);
    KZeqGenericNode *inEntity = manager.CreateKZeqGenericNode("g"), *loose = manager.CreateKZeqGenericNode("g");
    inEntity->SetEntity(&entity);
    KZeqNodeFinderDuplicateName finder(&entity);
    finder.GetGenericNodeArray().Add(loose);
    EXPECT_TRUE(finder.CheckGenericNodeName("g") && !finder.CheckGenericNodeName("h") && !finder.CheckGenericNodeName(nullptr));
    EXPECT_TRUE(finder.GetDuplicateGenericNodeArray().GetCount() == 1 && finder.GetDuplicateGenericNodeArray()[0] == inEntity);
    KZeqNodeFinderDuplicateName alone(nullptr);
    alone.GetGenericNodeArray().Add(loose);
    EXPECT_TRUE(alone.CheckGenericNodeName("g") && alone.GetDuplicateGenericNodeArray()[0] == loose);
    EXPECT_EQ(1, alone.GetGenericNodeArray().GetCount());
    alone.SetState(KZeqNodeFinderDuplicateName::eGENERIC_NODE, false);
    EXPECT_FALSE(alone.CheckGenericNodeName("g"));
    alone.Reset();
    EXPECT_TRUE(alone.GetGenericNodeArray().GetCount() == 0 && alone.GetDuplicateGenericNodeArray().GetCount() == 0);
}
