// Dependency-graph walks and node iteration over a small deformer scene.
#include "host_test_support.h"

#include "tfndependencynode.h"
#include "titdependencygraph.h"

namespace {

// j feeds dagPose1 (message) and skinCluster1 (worldMatrix); origShape -> skinCluster1 ->
// blendShape1 -> finalShape; groupId1 feeds the skin's input group.
void buildScene() {
    standin::createNode("joint", "j");
    TObject orig = standin::createNode("transform", "orig");
    TObject fin = standin::createNode("transform", "final");
    standin::createNode("mesh", "", orig);
    standin::createNode("mesh", "", fin);
    standin::createNode("dagPose");
    standin::createNode("skinCluster");
    standin::createNode("blendShape");
    standin::createNode("groupId");
    const char* links[][2] = {
        {"blendShape1.outputGeometry[0]", "finalShape.inMesh"},
        {"j.worldMatrix[0]", "skinCluster1.bindPreMatrix[0]"},
        {"j.message", "dagPose1.members[0]"},
        {"origShape.outMesh", "skinCluster1.input[0].inputGeometry"},
        {"groupId1.groupId", "skinCluster1.input[0].groupId"},
        {"skinCluster1.outputGeometry[0]", "blendShape1.input[0].inputGeometry"},
    };
    for (auto& l : links) ASSERT_TRUE(standin::connect(standin::plug(l[0]), standin::plug(l[1]))) << l[0];
}

struct Walk {
    const char* name;
    const char* start;  // node, or plug when it holds a '.'
    int direction, traversal, level, filter;
    std::vector<std::string> expected;
};

class WalkTest : public HostTest, public ::testing::WithParamInterface<Walk> {};

TEST_P(WalkTest, VisitsInConnectionOrder) {
    buildScene();
    const Walk& w = GetParam();
    std::string start = w.start;
    TStatus status;
    auto it = start.find('.') == std::string::npos
                  ? TItDependencyGraph(standin::find(start), w.filter, w.direction, w.traversal, w.level, &status)
                  : TItDependencyGraph(standin::plug(start), w.filter, w.direction, w.traversal, w.level, &status);
    ASSERT_TRUE(status);
    std::vector<std::string> seen;
    for (; !it.isDone(); it.next()) seen.push_back(str(TFnDependencyNode(it.thisNode()).name()));
    EXPECT_EQ(seen, w.expected);
    EXPECT_FALSE(it.next());
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, WalkTest,
    ::testing::Values(
        Walk{"DownDepthFirst", "j", 0, 0, 0, 0, {"j", "dagPose1", "skinCluster1", "blendShape1", "finalShape"}},
        Walk{"DownBreadthFirst", "j", 0, 1, 1, 0, {"j", "dagPose1", "skinCluster1", "blendShape1", "finalShape"}},
        Walk{"UpDepthFirst", "finalShape", 1, 0, 0, 0,
             {"finalShape", "blendShape1", "skinCluster1", "origShape", "groupId1", "j"}},
        Walk{"UpBreadthFirst", "finalShape", 1, 1, 0, 0,
             {"finalShape", "blendShape1", "skinCluster1", "origShape", "groupId1", "j"}},
        Walk{"PlugLevelFollowsThePlug", "j.message", 0, 1, 1, 0, {"j", "dagPose1"}},
        Walk{"NodeLevelFromAPlug", "j.message", 0, 1, 0, 0,
             {"j", "dagPose1", "skinCluster1", "blendShape1", "finalShape"}},
        Walk{"FilterPassesOthersThrough", "j", 0, 1, 1, TFn::kGeometryFilter, {"skinCluster1", "blendShape1"}},
        Walk{"PlugLevelFromAnElement", "skinCluster1.outputGeometry[0]", 0, 0, 1, TFn::kMesh, {"finalShape"}},
        Walk{"PlugLevelFromAnArray", "skinCluster1.outputGeometry", 0, 0, 1, 0,
             {"skinCluster1", "blendShape1", "finalShape"}},
        Walk{"UpFromAnInput", "skinCluster1.input[0].groupId", 1, 0, 1, 0, {"skinCluster1", "groupId1"}}),
    [](const auto& info) { return std::string(info.param.name); });

// What the plug-in's dependency search does: the first node of a type, start node included.
TObject firstOfType(const TObject& start, int type, int direction) {
    TItDependencyGraph it(start, 0, direction, 1, 1);
    for (;;) {
        TObject n = it.thisNode();
        if (n.hasFn(type)) return n;
        if (!it.next()) return TObject();
    }
}

TEST_F(HostTest, SearchesStopAtTheFirstMatch) {
    buildScene();
    EXPECT_EQ(firstOfType(standin::find("j"), TFn::kDagPose, 0), standin::find("dagPose1"));
    EXPECT_EQ(firstOfType(standin::find("j"), TFn::kBlendShape, 0), standin::find("blendShape1"));
    EXPECT_EQ(firstOfType(standin::find("finalShape"), TFn::kSkinCluster, 1), standin::find("skinCluster1"));
    EXPECT_EQ(firstOfType(standin::find("finalShape"), TFn::kMesh, 1), standin::find("finalShape"));
    EXPECT_TRUE(firstOfType(standin::find("j"), TFn::kWrap, 0).isNull());
    // Parenthood is no connection.
    EXPECT_TRUE(firstOfType(standin::find("orig"), TFn::kMesh, 0).isNull());
}

TEST_F(HostTest, DependencyNodesInCreationOrder) {
    buildScene();
    std::vector<std::string> seen;
    for (TItDependencyNodes it(TFn::kGeometryFilter); !it.isDone(); it.next())
        seen.push_back(str(TFnDependencyNode(it.item()).name()));
    EXPECT_EQ(seen, (std::vector<std::string>{"skinCluster1", "blendShape1"}));
    unsigned all = 0;
    for (TItDependencyNodes it; !it.isDone(); it.next()) ++all;
    EXPECT_EQ(all, 8u + 9u);  // default cameras and their shapes; the world is not listed
}

// Type codes: ancestors answer, siblings do not.
TEST_F(HostTest, TypeTable) {
    struct Row {
        const char* type;
        int yes, no;
    } rows[] = {{"joint", TFn::kTransform, TFn::kShape},        {"lookAt", TFn::kTransform, TFn::kJoint},
                {"spotLight", TFn::kLight, TFn::kPointLight}, {"pointLight", TFn::kDagNode, TFn::kSpotLight},
                {"skinCluster", TFn::kGeometryFilter, TFn::kDagNode}, {"phong", TFn::kLambert, TFn::kSet}};
    for (const Row& r : rows) {
        TObject n = standin::createNode(r.type);
        EXPECT_TRUE(n.hasFn(r.yes) && n.hasFn(TFn::kDependencyNode)) << r.type;
        EXPECT_FALSE(n.hasFn(r.no)) << r.type;
    }
    EXPECT_TRUE(standin::createNode("light").isNull());
    EXPECT_EQ(standin::createNode("spotLight").apiType(), TFn::kSpotLight);
}

}  // namespace
