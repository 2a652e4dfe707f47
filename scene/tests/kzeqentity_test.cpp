#include "scene/kzeqentity.h"

#include <gtest/gtest.h>

#include <string>

#include "content/kzeqgobo.h"
#include "content/kzeqnull.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

TEST(KZeqEntity, MembersReferencesAndErrorsInOneScenario) {
    KZeqSdkManager manager;
    KZeqEntity entity(manager);
    KZeqNode* root = entity.GetRootNode();
    ASSERT_TRUE(root && entity.GetNodeCount() == 1 && root->GetEntity() == &entity);
    KZeqNode *a = manager.CreateKZeqNode("a"), *b = manager.CreateKZeqNode("b");
    KZeqGobo *gobo = manager.CreateKZeqGobo("Model::g"), *same = manager.CreateKZeqGobo("Model::g");
    const struct {
        const char* mStep;
        bool mResult;
        const char* mMessage;
    } steps[] = {{"add a", true, ""},          {"add a", false, "Node is already owned by the entity."},
                 {"add null", false, "Node is null."}, {"remove b", false, "Node does not belong to the entity."},
                 {"add gobo", true, ""},       {"add gobo", true, ""},
                 {"add same", false, "Gobo name clash."}, {"remove gobo", false, "Gobo still in use."},
                 {"remove gobo", true, ""},    {"remove gobo", false, "Gobo not found."},
                 {"remove root", true, ""}};
    for (const auto& step : steps) {
        entity.GetError().ClearLastError();
        const std::string s = step.mStep;
        const bool result = s == "add a"         ? entity.AddNode(a)
                            : s == "add null"    ? entity.AddNode(nullptr)
                            : s == "remove b"    ? entity.RemoveNode(b)
                            : s == "add gobo"    ? entity.AddGobo(gobo)
                            : s == "add same"    ? entity.AddGobo(same)
                            : s == "remove gobo" ? entity.RemoveGobo(gobo)
                                                 : entity.RemoveNode(root);
        EXPECT_EQ(step.mResult, result) << s;
        EXPECT_STREQ(step.mMessage, entity.GetLastErrorString()) << s;
    }
    EXPECT_TRUE(entity.GetRootNode() == nullptr && root->GetEntity() == nullptr);
    EXPECT_EQ(nullptr, entity.GetGobo(-1));
    EXPECT_STREQ("Parameter is out of range.", entity.GetLastErrorString());
    entity.AddGobo(gobo);
    entity.Clear();
    EXPECT_TRUE(entity.GetNodeCount() == 0 && entity.GetGoboCount() == 0);
}

TEST(KZeqEntity, NamesTakenWhenAnyConsultedListHoldsThemAndNodesFillInWalkOrder) {
    KZeqSdkManager manager;
    KZeqEntity entity(manager);
    KZeqNode* root = entity.GetRootNode();
    KZeqNode *a = manager.CreateKZeqNode("a"), *b = manager.CreateKZeqNode("b"), *c = manager.CreateKZeqNode("c");
    ASSERT_TRUE(root->AddChild(c) && c->AddChild(b) && root->AddChild(a));
    KZeqGobo* gobo = manager.CreateKZeqGobo("Model::g");
    entity.AddGobo(gobo);
    unsigned int index = 99;
    EXPECT_TRUE(entity.ValidateName(*a, "Model::b", &index));
    EXPECT_EQ(2u, index);  // byte order: RootNode, a, b, c
    EXPECT_TRUE(entity.ValidateNewName(*a, "Model::z") && !entity.ValidateNewName(*gobo, "Model::g"));
    EXPECT_EQ(c, entity.GetNode(1));  // the lists keep their order
    for (KZeqNode* node : {a, b, c}) node->SetNodeAttribute(manager.CreateKZeqNull());
    KArrayTemplate<KZeqNode*> nodes;
    entity.FillNodeArray(nodes, KZeqNodeAttribute::eNULL, true);
    ASSERT_EQ(3, nodes.GetCount());
    EXPECT_TRUE(nodes[0] == c && nodes[1] == b && nodes[2] == a);
    entity.FillNodeArray(nodes, KZeqNodeAttribute::eNULL, false);
    EXPECT_TRUE(nodes.GetCount() == 3 && nodes[0] == c);
}

// A member node that ends without leaving first, through the manager or
// deleted without Destruct: the entity and its parent stop listing it, and
// its name is free again.
TEST(KZeqEntity, AMemberThatEndsLeavesTheEntity) {
    KZeqSdkManager manager;
    KZeqEntity entity(manager);
    KZeqNode *a = manager.CreateKZeqNode("a"), *b = manager.CreateKZeqNode("b");
    auto* loose = new KZeqNode(manager, "Model::loose");
    ASSERT_TRUE(entity.GetRootNode()->AddChild(a) && a->AddChild(b) && a->AddChild(loose));
    ASSERT_EQ(4, entity.GetNodeCount());
    ASSERT_TRUE(manager.DestroyKZeqNode(b, false));
    delete loose;
    EXPECT_TRUE(entity.GetNodeCount() == 2 && entity.GetNode(1) == a && a->GetChildCount() == 0);
    EXPECT_TRUE(entity.ValidateNewName(*a, "Model::b") && entity.ValidateNewName(*a, "Model::loose"));
    KArrayTemplate<KZeqNode*> nodes;
    entity.FillNodeArray(nodes, KZeqNodeAttribute::eNULL, true);
    EXPECT_EQ(0, nodes.GetCount());
}
