// The look-at rig both the export and the import go by. In the file: a group (a null or a node
// without attribute) holding a camera and its aim, maybe its up node, and, in a group without
// attribute, the user's nodes; whatever the names. In the host: a look-at group whose aim and up
// node carry the locators the camera command names so, wherever they stand; without them, the
// nodes after the camera.
#include "zeqtulo_test_support.h"

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
#include "tfndagnode.h"

using namespace zeqsdk_400;

namespace {

struct GroupCase {
    const char* name;
    const char* group;
    const char* kind;  // the group's: "null", "none", "mesh"
    std::vector<std::pair<const char*, const char*>> children;  // name, kind
    int aimer;      // the child that aims (a camera), -1 for none
    int aim;        // its target, a child
    int up;         // its up node: a child, -2 for one outside the group, -1 for none
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

TEST_P(LookAtRigTest, CameraWithItsTargets) {
    const GroupCase& c = GetParam();
    KZeqNode* root = Add(nullptr, "root", "none");
    KZeqNode* group = Add(root, c.group, c.kind);
    std::vector<KZeqNode*> children;
    for (const auto& child : c.children) children.push_back(Add(group, child.first, child.second));
    KZeqNode* outside = Add(root, "outside", "null");
    if (c.aimer >= 0) {
        children[c.aimer]->SetTarget(children[c.aim]);
        if (c.up != -1) children[c.aimer]->SetTargetUp(c.up >= 0 ? children[c.up] : outside);
    }
    const ZeqTuloLookAtRig rig = FindLookAtRig(group);
    EXPECT_EQ(rig.mCamera, c.camera < 0 ? nullptr : children[c.camera]);
    if (rig) {
        EXPECT_EQ(rig.mGroup, group);
        EXPECT_EQ(rig.mAim, children[c.aim]);
        EXPECT_EQ(rig.mUp, c.up >= 0 ? children[c.up] : nullptr);
    }
    EXPECT_FALSE(FindLookAtRig(nullptr));
    EXPECT_FALSE(FindLookAtRig(root)) << "the scene's root is no rig";
}

const GroupCase kGroups[] = {
    {"CameraAimUp", "cam_group", "null", {{"cam", "camera"}, {"cam_aim", "null"}, {"cam_up", "null"}}, 0, 1, 2, 0},
    {"CameraAim", "cam_group", "none", {{"cam", "camera"}, {"cam_aim", "null"}}, 0, 1, -1, 0},
    {"HostNames", "camera1_group", "null", {{"Cam", "camera"}, {"T", "mesh"}}, 0, 1, -1, 0},
    // The host's second group, and a clash-marked name of the file: the structure decides.
    {"HostsSecondGroup", "camera1_group1", "null", {{"Cam", "camera"}, {"camera1_aim", "null"}}, 0, 1, -1, 0},
    {"ClashMarked", "camera1_group_ncl1_1", "none", {{"Cam", "camera"}, {"camera1_aim", "null"}}, 0, 1, -1, 0},
    {"AnyName", "Shot", "null", {{"cam", "camera"}, {"cam_aim", "null"}}, 0, 1, -1, 0},
    {"UpOutside", "cam_group", "null", {{"cam", "camera"}, {"cam_aim", "null"}}, 0, 1, -2, 0},
    {"CameraAsAim", "cam_group", "null", {{"cam", "camera"}, {"other", "camera"}}, 0, 1, -1, 0},
    {"NoTarget", "cam_group", "null", {{"cam", "camera"}}, -1, 0, -1, -1},
    {"GroupIsAMesh", "cam_group", "mesh", {{"cam", "camera"}, {"cam_aim", "null"}}, 0, 1, -1, -1},
    {"TwoAimsNoCamera", "cam_group", "null", {{"a_aim", "null"}, {"b_aim", "null"}}, -1, 0, -1, -1},
    // The user's nodes beside the rig, as the export writes a host look-at group: a node without
    // attribute, the camera and its targets anywhere among them.
    {"UsersNodeFirst", "cam_group", "none", {{"mine", "null"}, {"cam", "camera"}, {"cam_aim", "null"}}, 1, 2, -1, 1},
    {"UsersNodesBetween", "cam_group", "none",
     {{"cam", "camera"}, {"mine", "mesh"}, {"cam_aim", "null"}, {"lamp", "null"}, {"cam_up", "null"}}, 0, 2, 4, 0},
    // Beside the rig's another camera: the parent of its cameras.
    {"AnotherCameraAfter", "cam_group", "none",
     {{"cam", "camera"}, {"cam_aim", "null"}, {"mine", "null"}, {"other", "camera"}}, 0, 1, -1, -1},
    {"AnotherCameraFirst", "cam_group", "none", {{"other", "camera"}, {"cam", "camera"}, {"cam_aim", "null"}}, 1, 2,
     -1, -1},
    {"CameraAsAimBesideTheUsers", "cam_group", "none", {{"cam", "camera"}, {"mine", "null"}, {"other", "camera"}}, 0,
     2, -1, 0},
    // An up node the camera does not take is a node as the user's are.
    {"UpNotTaken", "cam_group", "null", {{"cam", "camera"}, {"cam_aim", "null"}, {"cam_up", "null"}}, 0, 1, -1, 0},
    {"AimOutside", "cam_group", "none", {{"cam", "camera"}, {"mine", "null"}}, -1, 0, -1, -1},
};
INSTANTIATE_TEST_SUITE_P(Groups, LookAtRigTest, ::testing::ValuesIn(kGroups),
                         [](const ::testing::TestParamInfo<GroupCase>& info) { return std::string(info.param.name); });

// Two cameras aimed at each other are a rig of the first, the second its aim, beside the user's
// nodes too; a third camera among them makes the group the parent of its cameras.
TEST_F(LookAtRigTest, CamerasAimedAtEachOther) {
    KZeqNode* root = Add(nullptr, "root", "none");
    for (const char* more : {"", "mesh", "camera"}) {
        KZeqNode* group = Add(root, "Set", "null");
        KZeqNode* first = Add(group, "first", "camera");
        KZeqNode* second = Add(group, "second", "camera");
        first->SetTarget(second);
        second->SetTarget(first);
        if (*more) Add(group, "mine", more);
        EXPECT_EQ(FindLookAtRig(group).mCamera, std::string(more) == "camera" ? nullptr : first) << more;
    }
}

TEST(LookAtRigMarkTest, LocatorsNamedAsTheCameraCommandNamesThem) {
    const std::pair<const char*, ZeqTuloRigMark> cases[] = {
        {"camera1_aimShape", ZeqTuloRigMark::eAim},
        {"camera1_upShape", ZeqTuloRigMark::eUp},
        {"cam40_aimShape1", ZeqTuloRigMark::eAim},  // the host's number after a taken name
        {"cam_up2Shape", ZeqTuloRigMark::eUp},      // a null's locator named after it
        {"rig:camera2_aimShape", ZeqTuloRigMark::eAim},
        {"userNullShape", ZeqTuloRigMark::eNone},
        {"transformShape1", ZeqTuloRigMark::eNone},
        {"camera1_aim", ZeqTuloRigMark::eNone},
        {"_aimShape", ZeqTuloRigMark::eNone},
        {"camera1_aimShapes", ZeqTuloRigMark::eNone},
        {"", ZeqTuloRigMark::eNone},
    };
    for (const auto& [name, mark] : cases) EXPECT_EQ(LocatorMark(name), mark) << name;
    EXPECT_EQ(LocatorMark(nullptr), ZeqTuloRigMark::eNone);
}

// What the host makes of a group, its nodes' marks written C camera, A aim's locator, U up node's
// locator, - none: the places of camera, aim and up node.
TEST(LookAtRigPlacesTest, MarksWhereverTheyStandPlacesWhereNoneIs) {
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"CAU", {0, 1, 2}},
        {"CA", {0, 1, -1}},
        {"C", {0, -1, -1}},
        {"", {-1, -1, -1}},
        {"-A", {-1, -1, -1}},
        // The user's nodes first, between and last: the marks say which is which.
        {"-CAU", {1, 2, 3}},
        {"C-AU", {0, 2, 3}},
        {"CA-U", {0, 1, 3}},
        {"CAU-", {0, 1, 2}},
        {"CA-", {0, 1, -1}},
        {"C-A", {0, 2, -1}},
        {"--C-A-", {2, 4, -1}},
        {"AUC", {2, 0, 1}},
        {"CAA", {0, 1, -1}},
        // Targets of the file that came in as themselves carry no mark: the places after the camera.
        {"C-", {0, 1, -1}},
        {"C--", {0, 1, 2}},
        {"-C--", {1, 2, 3}},
        {"CC", {0, 1, -1}},
        {"CC-", {0, 1, 2}},
        {"C-U", {0, 1, 2}},
        {"C-U-", {0, 1, 2}},
        {"CA-", {0, 1, -1}},
        // An up node without an aim is none.
        {"CU", {0, -1, -1}},
        {"CU-", {0, -1, -1}},
    };
    for (const auto& [text, want] : cases) {
        std::vector<ZeqTuloRigMark> marks;
        for (const char* c = text; *c; ++c)
            marks.push_back(*c == 'C'   ? ZeqTuloRigMark::eCamera
                            : *c == 'A' ? ZeqTuloRigMark::eAim
                            : *c == 'U' ? ZeqTuloRigMark::eUp
                                        : ZeqTuloRigMark::eNone);
        const ZeqTuloRigPlaces places = HostRigPlaces(marks);
        EXPECT_EQ((std::vector<int>{places.mCamera, places.mAim, places.mUp}), want) << text;
        EXPECT_EQ(places.Aims(), want[1] >= 0) << text;
    }
}

// The host's camera command marks the aim and the up node: a group it made reads as its rig
// wherever the user moves nodes of theirs into it, the host's nulls (a locator of their own) too.
using HostLookAtRigTest = HostTest;

TEST_F(HostLookAtRigTest, TheCommandsNodesWhereverTheUserPutsNodes) {
    ASSERT_EQ(run("camera; cameraMakeNode 3 \"\""), "");
    TObject group = standin::find("camera1_group");
    ASSERT_FALSE(group.isNull());
    TObject camera = standin::find("camera1"), aim = standin::find("camera1_aim"), up = standin::find("camera1_up");
    ZeqTuloHostRig rig = ReadHostRig(group);
    EXPECT_EQ(rig.Camera(), camera);
    EXPECT_EQ(rig.Aim(), aim);
    EXPECT_EQ(rig.Up(), up);
    EXPECT_EQ(HostRigMark(camera), ZeqTuloRigMark::eCamera);

    // The user's null between camera and aim, another one first: named after the rig's nodes, the
    // locators they carry are their own.
    TObject between = standin::createNode("transform", "camera1_aimer", group);
    standin::createNode("locator", "", between);
    TObject first = standin::createNode("transform", "mine");
    standin::createNode("locator", "", first);
    TFnDagNode(group).addChild(first);
    for (TObject* node : {&camera, &between, &aim, &up}) {
        TFnDagNode(group).removeChild(*node);
        TFnDagNode(group).addChild(*node);
    }
    rig = ReadHostRig(group);
    ASSERT_EQ(rig.mNodes.size(), 5u);
    EXPECT_EQ(rig.mNodes[0], first);
    EXPECT_EQ(rig.mNodes[2], between);
    EXPECT_EQ(rig.Camera(), camera);
    EXPECT_EQ(rig.Aim(), aim);
    EXPECT_EQ(rig.Up(), up);
    EXPECT_EQ(HostRigMark(between), ZeqTuloRigMark::eNone);

    // A transform no look-at group reads as nothing.
    EXPECT_TRUE(ReadHostRig(first).mNodes.empty());
    EXPECT_TRUE(ReadHostRig(TObject()).mNodes.empty());
}

}  // namespace
