// The look-at rig both the export and the import go by: a group (a null or a node without
// attribute) holding a camera, its aim and, when it has one there, its up node, and nothing else,
// whatever the names; and the rig the host's order (camera, aim, up) makes of a group.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "plugin/zeqtulolookatrig.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "scene/kzeqnode.h"

using namespace zeqsdk_400;

namespace {

struct GroupCase {
    const char* name;
    const char* group;
    const char* kind;  // the group's: "null", "none", "mesh"
    std::vector<std::pair<const char*, const char*>> children;  // name, kind; the first camera aims
                                                                // at the second child, up the third
    bool up;        // the first child takes an up node: the third child, or one outside the group
    int camera;     // the rig's camera, as a child index; -1 when the group is no rig
};

class LookAtRigTest : public ::testing::TestWithParam<GroupCase> {
protected:
    KZeqNode* Add(KZeqNode* parent, const char* name, const std::string& kind) {
        KZeqNode* node = mManager.CreateZeqTuloNode(name, nullptr);
        if (kind == "camera") node->SetNodeAttribute(mManager.CreateKZeqCamera());
        if (kind == "null") node->SetNodeAttribute(mManager.CreateKZeqNull());
        if (kind == "mesh") node->SetNodeAttribute(mManager.CreateKZeqMesh());
        if (parent) parent->AddChild(node);
        return node;
    }
    ZeqTuloSdkManager mManager{ZeqTuloSdkManager::eImport};
};

TEST_P(LookAtRigTest, CameraWithItsTargetsAlone) {
    const GroupCase& c = GetParam();
    KZeqNode* root = Add(nullptr, "root", "none");
    KZeqNode* group = Add(root, c.group, c.kind);
    std::vector<KZeqNode*> children;
    for (const auto& child : c.children) children.push_back(Add(group, child.first, child.second));
    KZeqNode* outside = Add(root, "outside", "null");
    if (children.size() > 1 && children[0]->GetCamera()) children[0]->SetTarget(children[1]);
    if (c.up && children[0]->GetCamera()) children[0]->SetTargetUp(children.size() > 2 ? children[2] : outside);
    const ZeqTuloLookAtRig rig = FindLookAtRig(group);
    EXPECT_EQ(rig.mCamera, c.camera < 0 ? nullptr : children[c.camera]);
    if (rig) {
        EXPECT_EQ(rig.mGroup, group);
        EXPECT_EQ(rig.mAim, rig.mCamera->GetTarget());
        EXPECT_EQ(rig.mUp, children.size() > 2 ? children[2] : nullptr);
    }
    EXPECT_FALSE(FindLookAtRig(nullptr));
    EXPECT_FALSE(FindLookAtRig(root)) << "the scene's root is no rig";
}

const GroupCase kGroups[] = {
    {"CameraAimUp", "cam_group", "null", {{"cam", "camera"}, {"cam_aim", "null"}, {"cam_up", "null"}}, true, 0},
    {"CameraAim", "cam_group", "none", {{"cam", "camera"}, {"cam_aim", "null"}}, false, 0},
    {"HostNames", "camera1_group", "null", {{"Cam", "camera"}, {"T", "mesh"}}, false, 0},
    // The host's second group, and a clash-marked name of the file: the structure decides.
    {"HostsSecondGroup", "camera1_group1", "null", {{"Cam", "camera"}, {"camera1_aim", "null"}}, false, 0},
    {"ClashMarked", "camera1_group_ncl1_1", "none", {{"Cam", "camera"}, {"camera1_aim", "null"}}, false, 0},
    {"AnyName", "Shot", "null", {{"cam", "camera"}, {"cam_aim", "null"}}, false, 0},
    {"UpOutside", "cam_group", "null", {{"cam", "camera"}, {"cam_aim", "null"}}, true, 0},
    {"CameraAsAim", "cam_group", "null", {{"cam", "camera"}, {"other", "camera"}}, false, 0},
    {"NoTarget", "cam_group", "null", {{"cam", "camera"}}, false, -1},
    {"AnotherChild", "cam_group", "null", {{"cam", "camera"}, {"cam_aim", "null"}, {"cam_up", "null"}}, false, -1},
    {"GroupIsAMesh", "cam_group", "mesh", {{"cam", "camera"}, {"cam_aim", "null"}}, false, -1},
    {"TwoAimsNoCamera", "cam_group", "null", {{"a_aim", "null"}, {"b_aim", "null"}}, false, -1},
};
INSTANTIATE_TEST_SUITE_P(Groups, LookAtRigTest, ::testing::ValuesIn(kGroups),
                         [](const ::testing::TestParamInfo<GroupCase>& info) { return std::string(info.param.name); });

// The host's order makes the rig FindLookAtRig reads back; a group holding more keeps the host's
// aim on its camera but is no rig of the file.
TEST_F(LookAtRigTest, HostOrderMakesTheRigItReadsBack) {
    KZeqNode* root = Add(nullptr, "root", "none");
    for (int count = 1; count <= 4; ++count) {
        KZeqNode* group = Add(root, "camera1_group", "none");
        std::vector<KZeqNode*> children{Add(group, "cam", "camera")};
        for (int i = 1; i < count; ++i) children.push_back(Add(group, "t", i == 1 ? "camera" : "null"));
        const ZeqTuloLookAtRig made = MakeLookAtRig(group);
        EXPECT_EQ(static_cast<bool>(made), count == 2 || count == 3) << count;
        EXPECT_EQ(FindLookAtRig(group).mCamera, made.mCamera) << count;
        EXPECT_EQ(children[0]->GetTarget(), count > 1 ? children[1] : nullptr) << count;
        EXPECT_EQ(children[0]->GetTargetUp(), count > 2 ? children[2] : nullptr) << count;
        if (count > 1) {
            EXPECT_EQ(children[1]->GetTarget(), nullptr) << "a camera as the aim aims nowhere";
        }
    }
    KZeqNode* noCamera = Add(root, "g", "null");
    KZeqNode* aim = Add(noCamera, "a", "null");
    Add(noCamera, "c", "camera");
    EXPECT_FALSE(MakeLookAtRig(noCamera));
    EXPECT_EQ(aim->GetTarget(), nullptr);
}

// A merge binds a host look-at group holding the rig's nodes in the rig's order, the camera first
// when held, whatever nodes of the user's stand beside them.
TEST(LookAtRigMergeTest, TheUsersNodesNeitherBindNorStandInTheWay) {
    const std::vector<std::string> rig{"Cam", "T", "U"};
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"Cam", "T", "U"}, true},
        {{"Cam", "T", "U", "Mine"}, true},
        {{"Cam", "Mine", "T"}, true},
        {{"T", "Mine"}, true},  // the camera comes in first
        {{"Mine", "T", "U"}, true},
        {{"Mine"}, true},
        {{}, true},
        {{"Mine", "Cam", "T"}, false},  // the host aims the user's node
        {{"T", "Cam"}, false},
        {{"Cam", "U", "T"}, false},
    };
    for (const auto& [held, binds] : cases) {
        std::string text;
        for (const std::string& name : held) text += name + " ";
        EXPECT_EQ(binds, HoldsRigInOrder(held, rig)) << text;
    }
}

}  // namespace
