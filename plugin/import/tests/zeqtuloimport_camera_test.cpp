// Cameras and their targets through ZEQImport: a bare target becomes the aim or up node of the
// host's camera command, any other node comes in as itself (into the camera's look-at group when
// it lies beside the camera), the host's own cameras are left out without what hangs below them,
// and a camera's group keeps its depth through host round trips.
#include "importtest_support.h"

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fcurve/kfcurve.h"
#include "io/kzeqexporter.h"
#include "plugin/zeqtulolookatrig.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;
using zeqtest::Mat4;

namespace {

struct AimCase {
    const char* name;
    const char* mScene;  // BuildScene's notation
    int mRow;            // KZeqExporter's file row
    const char* mPaths;  // "name=|host|path ...": every node of the scene
    const char* mGroup;  // "group: child ...": the look-at group's children in order, or ""
    const char* mLog;    // a line the log holds, or "" when it says nothing of cameras
};

const int k6 = KZeqExporter::eZEQ_BINARY;

const AimCase kAimCases[] = {
    // A null holding a camera aimed at a node beside it is the camera's rig, whatever its name and
    // whatever else of the user's it holds.
    {"MeshAimWithChild", "G(Cam@A A=mesh*(Kid=light))", k6, "G=|G Cam=|G|Cam A=|G|A Kid=|G|A|Kid", "G: Cam A", ""},
    // The host takes an aim of the file's (no locator of its camera command) by its place after
    // the camera, and a node after that for its up node: a node of the user's goes before the camera.
    {"MeshAimWithChildBesideAnother", "G(Cam@A A=mesh*(Kid=light) B)", k6,
     "G=|G Cam=|G|Cam A=|G|A Kid=|G|A|Kid B=|G|B", "G: B Cam A", ""},
    // A null of the user's named as the camera command names an up node carries no up node's
    // locator: the host takes the rig's targets of the file's by their places.
    {"UsersNullNamedAsAnUp", "G(Cam@A^B A=mesh B=light Other_up)", k6,
     "G=|G Cam=|G|Cam A=|G|A B=|G|B Other_up=|G|Other_up", "G: Cam A B Other_up", ""},
    // A bare aim and an up node of the file's own: the command's aim gives way to one without the
    // aim's locator, so that the host takes the up node by its place.
    {"BareAimOwnUp", "G(Cam@T^U T U=mesh)", k6, "G=|G Cam=|G|Cam T=|G|T U=|G|U", "G: Cam T U", ""},
    // Holding another camera beside the rig, or two rigs, the null is the parent of its cameras.
    {"AnotherCamera", "G(C=camera Cam@A A=mesh)", k6,
     "G=|G C=|G|C Cam=|G|camera1_group|Cam A=|G|camera1_group|A", "camera1_group: Cam A", ""},
    {"TwoRigsInANull", "G(Cam@A A=mesh C2@B B)", k6,
     "G=|G Cam=|G|camera1_group1|Cam A=|G|camera1_group1|A C2=|G|camera1_group|C2 B=|G|camera1_group|B", "", ""},
    {"CameraAim", "Cam@C C=camera", k6, "Cam=|camera1_group|Cam C=|camera1_group|C", "camera1_group: Cam C", ""},
    {"LightAim", "Cam@L L=light*", k6, "Cam=|camera1_group|Cam L=|camera1_group|L", "camera1_group: Cam L", ""},
    {"SkeletonAim", "Cam@Hip Hip=joint(Knee=joint)", k6,
     "Cam=|camera1_group|Cam Hip=|camera1_group|Hip Knee=|camera1_group|Hip|Knee", "camera1_group: Cam Hip", ""},
    {"MeshAimLightUp", "G(Cam@A^B A=mesh* B=light)", k6, "G=|G Cam=|G|Cam A=|G|A B=|G|B", "G: Cam A B", ""},
    {"FiveEightMeshAimLightUp", "Cam@A^B A=mesh B=light", KZeqExporter::eZEQ_5_BINARY,
     "Cam=|camera1_group|Cam A=|camera1_group|A B=|camera1_group|B", "camera1_group: Cam A B", ""},
    {"MeshAimBareUp", "Cam@A^U A=mesh U", k6, "Cam=|camera1_group|Cam A=|camera1_group|A U=|camera1_group|U",
     "camera1_group: Cam A U", ""},
    {"MeshElsewhere", "P(Cam@A) A=mesh", k6, "P=|P Cam=|P|Cam A=|A", "",
     "Camera Cam: the host cannot aim it at A (it is not beside the camera"},
    // A bare target elsewhere, or below the camera, stays where the file has it.
    {"BareElsewhere", "P(Cam@X) Q(X)", k6, "P=|P Cam=|P|Cam Q=|Q X=|Q|X", "",
     "Camera Cam: the host cannot aim it at X (it is not beside the camera); the aim is left out"},
    {"BareBelowCamera", "Cam@X(X)", k6, "Cam=|Cam X=|Cam|X", "",
     "Camera Cam: the host cannot aim it at X (it is not beside the camera"},
    {"BareUpElsewhere", "P(Cam@T^U T) U", k6, "P=|P Cam=|P|Cam T=|P|T U=|U", "P: Cam T",
     "Camera Cam: the host cannot take U as its up-vector target (it is not beside the camera"},
    {"AimAtParent", "P=mesh*(Cam@P)", k6, "P=|P Cam=|P|Cam", "",
     "Camera Cam: the host cannot aim it at P (it is above the camera); the aim is left out and the camera keeps "
     "its orientation."},
    {"AimAtGrandparentUpBeside", "P(Q(Cam@P^U U))", k6, "P=|P Q=|P|Q Cam=|P|Q|Cam U=|P|Q|U", "",
     "Camera Cam: its up-vector target U is left out with the aim."},
    {"AimAtItself", "Cam@Cam", k6, "Cam=|Cam", "",
     "Camera Cam: the host cannot aim it at Cam (it is the camera itself"},
    {"SharedBareTarget", "C1@T C2@T T", k6, "C1=|camera1_group|C1 T=|camera1_group|T C2=|C2", "camera1_group: C1 T",
     "Camera C2: the host cannot aim it at T (it is another camera's target already"},
    {"CameraWithAnAimOfItsOwn", "C1@C2 C2@T T", k6, "C1=|C1 C2=|camera1_group|C2 T=|camera1_group|T",
     "camera1_group: C2 T", "Camera C1: the host cannot aim it at C2 (it is a camera with a target of its own"},
    {"HostCamera", "persp=camera(Kid=mesh) B", k6, "persp=|persp Kid=|Kid B=|B", "",
     "Camera persp: the host has its own camera of this name; it is left out, and the 1 node below it comes in "
     "at the top."},
    // Every target left out is said: an up node without an aim, one of the host's own cameras,
    // a light's targets.
    {"UpWithoutAim", "Cam^U U", k6, "Cam=|Cam U=|U", "",
     "Camera Cam: its up-vector target U is left out: the host takes one only with an aim, which the camera has "
     "not."},
    {"AimAtTheHostsOwnCamera", "Cam@top top=camera", k6, "Cam=|Cam", "",
     "Camera Cam: the host cannot aim it at top (it is the host's own camera, which the import leaves out); the "
     "aim is left out and the camera keeps its orientation."},
    {"UpAtTheHostsOwnCamera", "P(Cam@T^side T) side=camera", k6, "P=|P Cam=|P|Cam T=|P|T", "P: Cam T",
     "Camera Cam: the host cannot take side as its up-vector target (it is the host's own camera"},
    {"LightTargets", "L=light@A^B A B", k6, "L=|L A=|A B=|B", "",
     "Light L: the host's lights take no up-vector target; B is left out as its up-vector target."},
};

std::vector<std::pair<std::string, std::string>> Pairs(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::istringstream words(text);
    for (std::string word; words >> word;)
        pairs.emplace_back(word.substr(0, word.find('=')), word.substr(word.find('=') + 1));
    return pairs;
}

class CameraTargetTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<AimCase> {
protected:
    // The case's file and the command importing it (with its take when it has one).
    // The file's cameras' targets by the camera's name: aim and up node, "" for none.
    using Targets = std::map<std::string, std::pair<std::string, std::string>>;
    std::string ImportCommand(const AimCase& c, SceneNodes* nodes = nullptr, Targets* targets = nullptr) {
        const std::string path = mDirectory + c.name + ".zeq";
        std::string error;
        EXPECT_TRUE(WriteSceneAs(
            path,
            [&](KZeqSdkManager& m, KZeqScene& s) {
                const SceneNodes made = BuildScene(m, s, c.mScene);
                if (nodes) *nodes = made;
                const auto name = [](const KZeqNode* node) {
                    return node ? std::string(node->GetNameWithoutNameSpacePrefix().Buffer()) : std::string();
                };
                for (const auto& [camera, node] : made)
                    if (targets && node.mNode->GetCamera())
                        (*targets)[camera] = {name(node.mNode->GetTarget()), name(node.mNode->GetTargetUp())};
            },
            c.mRow, &error))
            << error;
        return "ZEQImport -f \"" + path + "\"" + (std::strchr(c.mScene, '*') ? " -take 0" : "");
    }
};

// Each node comes in where the case says, as what it is: its shape, a light's intensity, its keys.
TEST_P(CameraTargetTest, EveryModelComesInInItsPlace) {
    const AimCase& c = GetParam();
    SceneNodes nodes;
    Targets targets;
    ASSERT_TRUE(Run(ImportCommand(c, &nodes, &targets)));
    const std::string group = *c.mGroup ? std::string(c.mGroup, std::strchr(c.mGroup, ':')) : "";
    for (const auto& [name, hostPath] : Pairs(c.mPaths)) {
        ASSERT_EQ(HostPath(name), hostPath) << name;
        // A group of the file standing for the camera's rig is the host's look-at group (below).
        if (name == group) continue;
        const std::string kind = nodes.at(name).mKind;
        TFnDagNode dag(standin::find(name));
        const int shape = kind.rfind("mesh", 0) == 0    ? TFn::kMesh
                          : kind.rfind("light", 0) == 0 ? TFn::kLight
                          : kind == "camera"            ? TFn::kCamera
                          : kind == "joint"             ? TFn::kJoint
                                                        : TFn::kLocator;
        EXPECT_TRUE(shape == TFn::kJoint ? HostType(name) == "joint" : dag.child(0).hasFn(shape))
            << name << " " << kind;
        if (shape == TFn::kLight) {
            EXPECT_FLOAT_EQ(TFnLight(dag.child(0)).intensity(), 0.5f) << name;
        }
        TStatus keyed;
        TFnAnimCurve curve(dag.findPlug("translateX"), &keyed);
        EXPECT_EQ(static_cast<bool>(keyed), kind.back() == '*') << name;
    }
    ExpectGroupAndCameraLog(c.mGroup, c.mLog, Log());
    // The host takes the targets in a camera's look-at group that the log does not leave out for
    // the camera's aim and up node, and no other node for them.
    const std::string log = Log();
    for (const auto& [name, aimAndUp] : targets) {
        if (HostPath(name).empty()) continue;
        const TObject camera = standin::find(name);
        const ZeqTuloHostRig rig = ReadHostRig(TFnDagNode(camera).parent(0));
        if (!(rig.Camera() == camera)) continue;
        const auto named = [](const TObject& node) {
            return node.isNull() ? std::string("none") : std::string(TFnDependencyNode(node).name().asChar());
        };
        const auto taken = [&](const std::string& targetName) {
            if (targetName.empty()) return std::string("none");
            const bool held = !HostPath(targetName).empty() &&
                              TFnDagNode(standin::find(targetName)).parent(0) == TFnDagNode(camera).parent(0);
            const std::string about = "Camera " + name + ": ";
            bool leftOut = false;
            for (const char* said : {"the host cannot aim it at ", "the host cannot take ", "its up-vector target "})
                leftOut = leftOut || log.find(about + said + targetName) != std::string::npos;
            return held && !leftOut ? targetName : std::string("none");
        };
        const std::string aim = taken(aimAndUp.first);
        EXPECT_EQ(named(rig.Aim()), aim) << name;
        EXPECT_EQ(named(rig.Up()), aim == "none" ? "none" : taken(aimAndUp.second)) << name;
    }
}

// The host program under --strict takes every one of these files, one after the other.
TEST_F(CameraTargetTest, TheStrictHostProgramTakesThemAll) {
    std::string args = "--strict -c 'ZEQImportShowUI 0'";
    for (const AimCase& c : kAimCases) args += " -c '" + ImportCommand(c) + "'";
    std::string output;
    EXPECT_EQ(RunStandin(mDirectory, args, output), 0) << output;
    EXPECT_EQ(output.find("Host fault"), std::string::npos) << output;
    EXPECT_EQ(output.find("// Error"), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(Cameras, CameraTargetTest, ::testing::ValuesIn(kAimCases), CaseName());

// Two look-at groups the camera command made under one parent: the export writes each under the
// parent with its camera and aim, and both come back there, under --strict.
TEST_F(CameraTargetTest, TwoHostGroupsUnderOneParentComeBack) {
    const std::string file = mDirectory + "two.zeq";
    const std::string script = "ZEQExportShowUI 0; ZEQImportShowUI 0; standin_scene cube; camera; cameraMakeNode 2 \"\"; "
                               "camera; cameraMakeNode 2 \"\"; parent camera1_group hardCube; parent camera1_group1 "
                               "hardCube; ZEQExport -f \"" + file + "\"; file -f -new; ZEQImport -f \"" + file +
                               "\"; standin_dump";
    std::string output;
    ASSERT_EQ(RunStandin(mDirectory, "--strict -c '" + script + "'", output), 0) << output;
    for (const char* line : {"node |hardCube|camera1_group lookAt", "node |hardCube|camera1_group1 lookAt",
                             "node |hardCube|camera1_group|camera1 transform",
                             "node |hardCube|camera1_group|camera1_aim transform"})
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    // The second camera and its aim, under the names the import gives the file's clash-marked ones.
    for (const char* path : {"|hardCube|camera1_group1|camera11 ", "|hardCube|camera1_group1|camera1_aim1 "})
        EXPECT_NE(output.find(path), std::string::npos) << path << "\n" << output;
}

// What the user hangs below one of the host's own cameras goes to the top of the file, which holds
// no such camera, with the camera's transform in its own: it comes back where it was. A camera of
// the user named like one of the host's, below the top, is the user's and goes out as any other.
TEST_F(CameraTargetTest, BelowTheHostsOwnCameraAndNamedLikeOne) {
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQImportShowUI 0") && Run("standin_scene cube"));
    ASSERT_TRUE(Run("setAttr persp.translateX 4") && Run("setAttr persp.rotateY 30") && Run("setAttr persp.scaleZ 2"));
    ASSERT_TRUE(Run("parent hardCube persp") && Run("camera") && Run("parent camera1 smoothCube"));
    ASSERT_EQ(TFnDagNode(standin::find("camera1")).setName("perspShape"), "perspShape");
    TDagPath cube;
    ASSERT_TRUE(TDagPath::getAPathTo(standin::find("hardCube"), cube));
    const TMatrix world = cube.inclusiveMatrix();
    const std::string file = mDirectory + "host_cameras.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + file + "\"") && Run("file -f -new") && Run("ZEQImport -f \"" + file + "\""));
    EXPECT_EQ(HostPath("hardCube"), "|hardCube");
    ASSERT_TRUE(TDagPath::getAPathTo(standin::find("hardCube"), cube));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(cube.inclusiveMatrix().matrix[i][j], world.matrix[i][j], 1e-5) << i << j;
    EXPECT_EQ(HostType("smoothCube|perspShape"), "transform");
    EXPECT_NE(Log().find("hardCube: the host's own camera persp holds it, which is not exported; it goes to the top"),
              std::string::npos)
        << Log();
}

// A camera whose scaling is keyed unevenly takes the turn onto the other side's axis differently at
// each time: what hangs below it keeps its place at one time only, and so does the camera itself
// when it scales about a scaling pivot; the log says so both ways.
TEST_F(CameraTargetTest, BelowACameraOfKeyedScaling) {
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQImportShowUI 0"));
    const std::string file = Write("keyed_scaling", [](KZeqSdkManager& m, KZeqScene& s) {
        const SceneNodes nodes = BuildScene(m, s, "Cam=camera(Kid) Piv=camera");
        s.CreateTake("Take 001");
        for (const char* name : {"Cam", "Piv"}) {
            KZeqNode* camera = nodes.at(name).mNode;
            camera->SetCurrentTakeNode("Take 001");
            Key(camera->GetCurrentTakeNode()->GetScaleX(), 0.0, 1.0f);
            Key(camera->GetCurrentTakeNode()->GetScaleX(), 1.0, 3.0f);
        }
        KZeqNode* pivoted = nodes.at("Piv").mNode;
        pivoted->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        pivoted->SetScalingPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 0, 0, 0));
    });
    ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\" -take 0"));
    const std::string note = "Kid: the forward-axis turn of the camera Cam changes with the keys of its parent";
    EXPECT_NE(Log().find("Node " + note), std::string::npos) << Log();
    const std::string origin = ": the forward-axis turn of the camera Piv keeps its origin in place at one time only";
    EXPECT_NE(Log().find("Node Piv" + origin), std::string::npos) << Log();
    EXPECT_EQ(Log().find("Node Cam: the forward-axis turn of the camera Cam keeps its origin"), std::string::npos);
    // The host's camera: its scaling keyed too, which the export writes 1 at every time.
    ASSERT_TRUE(Run("file -f -new") && Run("standin_scene cube") && Run("camera") && Run("parent hardCube camera1"));
    TFnAnimCurve curve;
    curve.create(standin::plug("camera1.scaleY"));
    curve.addKey(TTime(0.0, TTime::kSeconds), 1.0);
    curve.addKey(TTime(1.0, TTime::kSeconds), 2.0);
    ASSERT_TRUE(Run("ZEQExport -f \"" + mDirectory + "keyed_scaling_out.zeq\""));
    EXPECT_NE(Log().find("ZEQ Export Warning: hardCube: the forward-axis turn of the camera camera1 changes with the "
                         "keys of its parent"),
              std::string::npos)
        << Log();
    const std::string exported = "ZEQ Export Warning: camera1: the forward-axis turn of the camera camera1 keeps its "
                                 "origin in place at one time only";
    EXPECT_EQ(Log().find(exported), std::string::npos) << Log();
    TFnTransform(standin::find("camera1")).setScalePivot(TPoint(0, 1, 0), TSpace::kTransform, false);
    ASSERT_TRUE(Run("ZEQExport -f \"" + mDirectory + "keyed_scaling_out.zeq\""));
    EXPECT_NE(Log().find(exported), std::string::npos) << Log();
}

// A camera the host does not aim, and a spot or directional light, turn inside their pivots: each
// lands where a null of the same transform does (translation (0, 0, 10), rotation (0, 30, 0),
// scaling (1, 2, 1) about (0, 1, 0), scaling offset (0, 1, 0), rotation pivot (1, 2, 0): the origin
// at (1 - 0.866, 0, 10.5)), and comes back there from its export.
TEST_F(CameraTargetTest, TurnedInsideItsPivotsInPlace) {
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQImportShowUI 0"));
    const char* const kinds[][2] = {{"N", "null"}, {"C", "camera"}, {"L", "light:2"}, {"D", "light:1"}};
    const std::string file = Write("pivots", [&](KZeqSdkManager& m, KZeqScene& s) {
        for (const auto& kind : kinds) {
            KZeqNode* node = AddNode(m, s.GetRootNode(), kind[0], kind[1]);
            node->SetDefaultT(KZeqVector4(0, 0, 10, 0));
            node->SetDefaultR(KZeqVector4(0, 30, 0, 0));
            node->SetDefaultS(KZeqVector4(1, 2, 1, 0));
            node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
            node->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 2, 0, 0));
            node->SetScalingPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 1, 0, 0));
            node->SetScalingOffset(KZeqNode::eSOURCE_SET, KZeqVector4(0, 1, 0, 0));
        }
    });
    const std::string again = mDirectory + "pivots_again.zeq";
    for (const std::string& command : {"ZEQImport -f \"" + file + "\"", "ZEQExport -f \"" + again + "\"; file -f -new; ZEQImport -f \"" + again + "\""}) {
        ASSERT_TRUE(Run(command));
        for (const auto& kind : kinds) {
            TDagPath path;
            ASSERT_TRUE(TDagPath::getAPathTo(standin::find(kind[0]), path)) << kind[0];
            const TMatrix world = path.inclusiveMatrix();
            EXPECT_NEAR(world.matrix[3][0], 1 - std::sqrt(0.75), 1e-5) << kind[0] << " " << command;
            EXPECT_NEAR(world.matrix[3][1], 0, 1e-5) << kind[0] << " " << command;
            EXPECT_NEAR(world.matrix[3][2], 10.5, 1e-5) << kind[0] << " " << command;
        }
    }
}

// A null or joint directly below a camera takes what the camera's forward-axis turn changes into
// its own values: mirrored by its scaling, about a scaling pivot or not, keyed or not, it lands where
// the file and the SDK's evaluation put it, as its twin below a null does, and nothing is said of
// its place. The worked example: the camera at (1, 2, 3) turned (10, 20, 30), the child at
// (0.5, -0.25, 0.75) turned (15, 0, 0), scaled (1.27, 1.25, -0.875) about the scaling pivot
// (0.39, 0.42, 1.08), lands at (2.7213, 1.4610, 5.2012); the others are drawn, negative on each axis,
// on two, on all three and on none; the last keyed from that scaling to (0.8, 1.6, -1.4) over 1 s.
TEST_F(CameraTargetTest, MirroredChildScaledAboutAPivotInPlace) {
    struct Child {
        std::string mName;
        const char* mKind;
        KZeqVector4 mT, mR, mS, mPivot;
    };
    const Child example{"Kid", "null", KZeqVector4(0.5, -0.25, 0.75, 0), KZeqVector4(15, 0, 0, 0),
                        KZeqVector4(1.27, 1.25, -0.875, 0), KZeqVector4(0.39, 0.42, 1.08, 0)};
    std::vector<Child> children{example};
    std::mt19937 random(132);
    const auto value = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    const double kSigns[][3] = {{-1, 1, 1}, {1, -1, 1}, {1, 1, -1}, {-1, -1, 1}, {-1, -1, -1}, {1, 1, 1}};
    for (const char* kind : {"null", "skeleton:2"})
        for (const auto& signs : kSigns)
            for (bool pivot : {true, false}) {
                Child c{"c" + std::to_string(children.size()), kind, {}, {}, {}, {}};
                for (int i = 0; i < 3; ++i) {
                    c.mT[i] = value(-2, 2);
                    c.mR[i] = value(-170, 170);
                    c.mS[i] = signs[i] * value(0.5, 2);
                    c.mPivot[i] = pivot ? value(-1.5, 1.5) : 0;
                }
                children.push_back(c);
            }
    children.push_back(example);
    children.back().mName = "KidKeyed";
    const std::vector<double> times = {0.0, 0.5, 1.0};
    const std::string file = Write("mirrored_child", [&](KZeqSdkManager& m, KZeqScene& s) {
        std::vector<KZeqNode*> made;
        for (const char* above : {"Cam", "Nul"}) {
            const bool camera = above == std::string("Cam");
            KZeqNode* parent = AddNode(m, s.GetRootNode(), above, camera ? "camera" : "null");
            parent->SetDefaultT(KZeqVector4(1, 2, 3, 0));
            parent->SetDefaultR(KZeqVector4(10, 20, 30, 0));
            made.push_back(parent);
            for (const Child& c : children) {
                KZeqNode* node = AddNode(m, parent, (camera ? c.mName : c.mName + "_n").c_str(), c.mKind);
                node->SetDefaultT(c.mT);
                node->SetDefaultR(c.mR);
                node->SetDefaultS(c.mS);
                node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
                node->SetScalingPivot(KZeqNode::eSOURCE_SET, c.mPivot);
                made.push_back(node);
            }
        }
        // Every node in the take, its curves without keys but the last child's scaling.
        s.CreateTake("Take 001");
        for (KZeqNode* node : made) {
            node->SetCurrentTakeNode("Take 001");
            const std::string name = node->GetNameWithoutNameSpacePrefix().Buffer();
            if (name != "KidKeyed" && name != "KidKeyed_n") continue;
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            KFCurve* scaling[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
            const float to[3] = {0.8f, 1.6f, -1.4f};
            for (int axis = 0; axis < 3; ++axis) {
                Key(scaling[axis], 0.0, static_cast<float>(example.mS[axis]));
                Key(scaling[axis], 1.0, to[axis]);
            }
        }
    });
    const auto worlds = FileWorlds(file, times), evaluated = SdkWorlds(file, times);
    // Without the take (the default values, those of the take's start), then with it.
    for (const bool take : {false, true}) {
        ASSERT_TRUE(Run("file -f -new") && Run("ZEQImport -f \"" + file + "\"" + (take ? " -take 0" : ""))) << Log();
        const Mat4 kid = HostWorld("Kid", 0);
        EXPECT_NEAR(kid[3][0], 2.7213, 1e-4);
        EXPECT_NEAR(kid[3][1], 1.4610, 1e-4);
        EXPECT_NEAR(kid[3][2], 5.2012, 1e-4);
        for (const Child& c : children)
            for (const std::string& name : {c.mName, c.mName + "_n"}) {
                for (std::size_t k = 0; k < (take ? times.size() : 1); ++k) {
                    const Mat4 host = HostWorld(name, times[k]);
                    EXPECT_TRUE(NearWorld(worlds.at(name)[k], host)) << name << " at " << times[k] << ", take " << take;
                    EXPECT_TRUE(NearWorld(evaluated.at(name)[k], host)) << name << " at " << times[k] << ", take " << take;
                }
                EXPECT_EQ(Log().find("Node " + name + ": the forward-axis turn"), std::string::npos) << Log();
            }
    }
}

// Each round trip through the host (export, then import into a new scene) gives back the camera at
// the depth of the first import, in a look-at group holding what it held.
struct RoundTripCase {
    const char* name;
    const char* mScene;
    const char* mCamera;
};
const RoundTripCase kRoundTrips[] = {
    {"BareAimAndUp", "G(Cam@T^U T U)", "Cam"},
    {"MeshAimLightUp", "Cam@A^B A=mesh B=light", "Cam"},
    {"InCameraGroup", "set(Shot_group(Shot@Shot_aim Shot_aim))", "Shot"},
    {"AnotherProgramsGroup", "set(Rig(Shot@T T))", "Shot"},
    {"ThreeAimedAtTheTop", "C1@T1 T1 C2@T2 T2 C3@T3 T3", "C3"},
    {"TwoGroupsInOneSet", "set(C1@T1 T1 C2@T2^U2 T2 U2)", "C2"},
    {"AimedAtACamera", "Cam@C C=camera", "Cam"},
};

class CameraRoundTripTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(CameraRoundTripTest, KeepsItsDepth) {
    const RoundTripCase& c = GetParam();
    ASSERT_TRUE(Run("ZEQExportShowUI 0"));
    ASSERT_TRUE(Run("ZEQImport -f \"" +
                    Write("first", [&c](KZeqSdkManager& m, KZeqScene& s) { BuildScene(m, s, c.mScene); }) + "\""));
    const std::string path = HostPath(c.mCamera), group = HostParent(c.mCamera), children = HostChildren(group);
    ASSERT_EQ(HostType(group), "lookAt") << path;
    for (int trip = 1; trip <= 3; ++trip) {
        const std::string file = mDirectory + "trip" + std::to_string(trip) + ".zeq";
        ASSERT_TRUE(Run("ZEQExport -f \"" + file + "\"") && Run("ZEQImport -f \"" + file + "\""));
        EXPECT_EQ(HostPath(c.mCamera), path) << "trip " << trip;
        EXPECT_EQ(HostChildren(group), children) << "trip " << trip;
    }
}

INSTANTIATE_TEST_SUITE_P(Cameras, CameraRoundTripTest, ::testing::ValuesIn(kRoundTrips), CaseName());

}  // namespace
