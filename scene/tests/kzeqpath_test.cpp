#include "scene/kzeqpath.h"

#include <gtest/gtest.h>

#include <string>

#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// A root with three children, the second of which has three children.
struct Tree {
    Tree(KZeqSdkManager& manager, const std::string& prefix) {
        root = manager.CreateKZeqNode((prefix + "root").c_str());
        for (int i = 0; i < 6; ++i) {
            nodes[i] = manager.CreateKZeqNode((prefix + std::to_string(i)).c_str());
            (i < 3 ? root : nodes[1])->AddChild(nodes[i]);
        }
    }
    KZeqNode* root;
    KZeqNode* nodes[6];  // three below the root, three below the second
};

}  // namespace

TEST(KZeqPath, LevelsFromTheRootDownNullPastTheNodeAndEqualityByIndices) {
    KZeqSdkManager manager;
    Tree a(manager, "a"), b(manager, "b");
    KZeqPath root(a.root);
    EXPECT_EQ(0, root.GetParentCount());
    EXPECT_EQ(a.root, root.GetRootNode());
    KZeqPath path(a.nodes[5]);
    ASSERT_EQ(2, path.GetParentCount());
    EXPECT_EQ(std::vector<KZeqNode*>({a.root, a.root, a.nodes[1], a.nodes[5], nullptr}),
              std::vector<KZeqNode*>({path[-3], path[0], path[1], path.GetParentNode(2), path.GetParentNode(3)}));
    EXPECT_STREQ("Model::a5", path.GetParentNodeName(2));
    EXPECT_EQ(nullptr, path.GetParentNodeName(1000));

    KZeqPath other(b.nodes[5]);
    EXPECT_TRUE(path == other);
    other.Set(b.nodes[4]);
    EXPECT_FALSE(path == other);
    other = path;
    EXPECT_TRUE(other == path && other.GetNode() == a.nodes[5]);
    // A lone child is index 0; the tree changed under a path: the missing child answers null.
    KZeqNode* lone = manager.CreateKZeqNode("lone");
    a.nodes[3]->AddChild(lone);
    KZeqPath deep(lone);
    EXPECT_EQ(lone, deep.GetParentNode(3));
    EXPECT_EQ(a.nodes[4], KZeqPath(a.nodes[4]).GetParentNode(2));
    a.nodes[1]->RemoveChild(a.nodes[5]);
    EXPECT_EQ(nullptr, path.GetParentNode(2));
}
