// Cameras and their targets through ZEQImport: a bare target becomes the aim or up node of the
// host's camera command, any other node comes in as itself (into the camera's look-at group when
// it lies beside the camera), the host's own cameras are left out without what hangs below them,
// and a camera's group keeps its depth through host round trips.
#include "importtest_support.h"

#include <sstream>
#include <string>
#include <vector>

#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

struct AimCase {
    const char* name;
    const char* mScene;  // BuildScene's notation
    int mRow;            // KZeqExporter's file row
    const char* mPaths;  // "name=|host|path ...": every node of the scene
    const char* mGroup;  // "group: child child ...": the look-at group's children in order, or ""
    const char* mLog;    // a line the log holds, or "" when it says nothing of targets
};

const int k6 = KZeqExporter::eZEQ_BINARY;
const int k58 = KZeqExporter::eZEQ_5_BINARY;

const AimCase kAimCases[] = {
    {"BareAim", "Cam@T T", k6, "Cam=|camera1_group|Cam T=|camera1_group|T", "camera1_group: Cam T", ""},
    {"BareAimAndUp", "Cam@T^U T U", k6, "Cam=|camera1_group|Cam T=|camera1_group|T U=|camera1_group|U",
     "camera1_group: Cam T U", ""},
    {"MeshAim", "G(Cam@A A=mesh*)", k6, "G=|G Cam=|G|camera1_group|Cam A=|G|camera1_group|A",
     "camera1_group: Cam A", ""},
    {"MeshAimWithChild", "Cam@A A=mesh(Kid=light)", k6,
     "Cam=|camera1_group|Cam A=|camera1_group|A Kid=|camera1_group|A|Kid", "camera1_group: Cam A", ""},
    {"CameraAim", "Cam@Other Other=camera", k6, "Cam=|camera1_group|Cam Other=|camera1_group|Other",
     "camera1_group: Cam Other", ""},
    {"LightAim", "Cam@L L=light*", k6, "Cam=|camera1_group|Cam L=|camera1_group|L", "camera1_group: Cam L", ""},
    {"SkeletonAim", "Cam@Hip Hip=joint(Knee=joint)", k6,
     "Cam=|camera1_group|Cam Hip=|camera1_group|Hip Knee=|camera1_group|Hip|Knee", "camera1_group: Cam Hip", ""},
    {"MeshAimLightUp", "G(Cam@A^B A=mesh* B=light)", k6,
     "G=|G Cam=|G|camera1_group|Cam A=|G|camera1_group|A B=|G|camera1_group|B", "camera1_group: Cam A B", ""},
    {"BareAimLightUp", "Cam@T^B T B=light", k6, "Cam=|camera1_group|Cam T=|camera1_group|T B=|camera1_group|B",
     "camera1_group: Cam T B", ""},
    {"MeshAimBareUp", "Cam@A^U A=mesh U", k6, "Cam=|camera1_group|Cam A=|camera1_group|A U=|camera1_group|U",
     "camera1_group: Cam A U", ""},
    {"MeshElsewhere", "P(Cam@A) A=mesh", k6, "P=|P Cam=|P|Cam A=|A", "",
     "Camera Cam: the host cannot aim it at A (it is more than a bare target and not beside the camera); the "
     "aim is left out and the camera keeps its orientation."},
    {"AimAtParent", "P=mesh*(Cam@P)", k6, "P=|P Cam=|P|Cam", "",
     "Camera Cam: the host cannot aim it at P (it is above the camera); the aim is left out and the camera keeps "
     "its orientation."},
    {"AimAtGrandparentUpBeside", "P(Q(Cam@P^U U))", k6, "P=|P Q=|P|Q Cam=|P|Q|Cam U=|P|Q|U", "",
     "Camera Cam: its up-vector target U is left out with the aim."},
    {"AimAtItself", "Cam@Cam", k6, "Cam=|Cam", "",
     "Camera Cam: the host cannot aim it at Cam (it is the camera itself); the aim is left out and the camera "
     "keeps its orientation."},
    {"SharedBareTarget", "C1@T C2@T T", k6, "C1=|camera1_group|C1 T=|camera1_group|T C2=|C2",
     "camera1_group: C1 T",
     "Camera C2: the host cannot aim it at T (it is another camera's target already); the aim is left out and "
     "the camera keeps its orientation."},
    {"CameraWithAnAimOfItsOwn", "C1@C2 C2@T T", k6, "C1=|C1 C2=|camera1_group|C2 T=|camera1_group|T",
     "camera1_group: C2 T",
     "Camera C1: the host cannot aim it at C2 (it is a camera with a target of its own); the aim is left out and "
     "the camera keeps its orientation."},
    {"MeshInCameraGroup", "set(Shot_group(Shot@A A=mesh))", k6,
     "set=|set Shot=|set|Shot_group|Shot A=|set|Shot_group|A", "Shot_group: Shot A", ""},
    {"FiveEightMeshAimLightUp", "Cam@A^B A=mesh B=light", k58,
     "Cam=|camera1_group|Cam A=|camera1_group|A B=|camera1_group|B", "camera1_group: Cam A B", ""},
    {"FiveEightAimAtParent", "P=mesh(Cam@P)", k58, "P=|P Cam=|P|Cam", "",
     "Camera Cam: the host cannot aim it at P (it is above the camera)"},
    {"HostCamera", "persp=camera(Kid=mesh) B", k6, "persp=|persp Kid=|Kid B=|B", "",
     "Camera persp: the host has its own camera of this name; it is left out, and the 1 node below it comes in "
     "at the top."},
    {"HostCameraOverAnAimedOne", "top=camera(Cam@T T)", k6, "top=|top Cam=|camera1_group|Cam T=|camera1_group|T",
     "camera1_group: Cam T",
     "Camera top: the host has its own camera of this name; it is left out, and the 2 nodes below it come in at "
     "the top."},
};

std::vector<std::pair<std::string, std::string>> Pairs(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        pairs.emplace_back(word.substr(0, equals), word.substr(equals + 1));
    }
    return pairs;
}

// The names of the node's children, in order, after "<name>: ".
std::string Children(const std::string& name) {
    TFnDagNode dag(standin::find(name));
    std::string text = name + ":";
    for (unsigned i = 0; i < dag.childCount(); ++i)
        if (!dag.child(i).hasFn(2002)) text += " " + std::string(TFnDependencyNode(dag.child(i)).name().asChar());
    return text;
}

// What the node of the kind comes in as: its shape, a light's intensity, keys where it has them.
void ExpectKind(const std::string& name, std::string kind) {
    const bool keyed = !kind.empty() && kind.back() == '*';
    if (keyed) kind.pop_back();
    TFnDagNode dag(standin::find(name));
    if (kind == "joint") {
        EXPECT_EQ(HostType(name), "joint") << name;
    } else {
        const int shape = kind == "mesh" ? TFn::kMesh : kind == "light" ? TFn::kLight
                        : kind == "camera" ? TFn::kCamera : TFn::kLocator;
        ASSERT_GT(dag.childCount(), 0u) << name;
        EXPECT_TRUE(dag.child(0).hasFn(shape)) << name << " is no " << kind;
        if (kind == "light") {
            EXPECT_FLOAT_EQ(TFnLight(dag.child(0)).intensity(), 0.5f) << name;
        }
    }
    if (keyed) {
        TStatus status;
        TFnAnimCurve curve(dag.findPlug("translateX"), &status);
        EXPECT_TRUE(status) << name << " lost its keys";
        EXPECT_EQ(curve.numKeys(), 2u) << name;
    }
}

class CameraTargetTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<AimCase> {
protected:
    std::string WriteCase(const AimCase& c) {
        const std::string path = mDirectory + c.name + ".zeq";
        std::string error;
        EXPECT_TRUE(WriteSceneAs(path, [&c](KZeqSdkManager& m, KZeqScene& s) { BuildScene(m, s, c.mScene); }, c.mRow,
                                 &error))
            << error;
        return path;
    }
    static std::string ImportCommand(const AimCase& c, const std::string& path) {
        return "ZEQImport -f \"" + path + "\"" +
               (std::string(c.mScene).find('*') != std::string::npos ? " -take 0" : "");
    }
};

TEST_P(CameraTargetTest, EveryModelComesInInItsPlace) {
    const AimCase& c = GetParam();
    const std::string path = WriteCase(c);
    ASSERT_TRUE(Run(ImportCommand(c, path)));
    for (const auto& [name, hostPath] : Pairs(c.mPaths)) {
        EXPECT_EQ(HostPath(name), hostPath) << name;
        if (!HostPath(name).empty()) ExpectKind(name, SceneKind(c.mScene, name));
    }
    if (*c.mGroup) {
        const std::string group(c.mGroup, std::string(c.mGroup).find(':'));
        EXPECT_EQ(Children(group), c.mGroup);
        EXPECT_EQ(HostType(group), "lookAt");
    }
    const std::string log = Log();
    if (*c.mLog) {
        EXPECT_NE(log.find(c.mLog), std::string::npos) << log;
    } else {
        EXPECT_EQ(log.find("Camera "), std::string::npos) << log;
    }
}

// The host program under --strict takes every one of these files, one after the other.
TEST_F(CameraTargetTest, TheStrictHostProgramTakesThemAll) {
    std::string args = "--strict -c 'ZEQImportShowUI 0'";
    for (const AimCase& c : kAimCases) args += " -c '" + ImportCommand(c, WriteCase(c)) + "'";
    std::string output;
    EXPECT_EQ(RunStandin(mDirectory, args, output), 0) << output;
    EXPECT_EQ(output.find("Host fault"), std::string::npos) << output;
    EXPECT_EQ(output.find("// Error"), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(Cameras, CameraTargetTest, ::testing::ValuesIn(kAimCases), CaseName());

// Each round trip through the host (export, then import into a new scene) gives back the camera at
// the depth of the first import, in a look-at group holding what it held.
struct RoundTripCase {
    const char* name;
    const char* mScene;
    const char* mCamera;
};
const RoundTripCase kRoundTrips[] = {
    {"BareAim", "Cam@T T", "Cam"},
    {"BareAimAndUp", "G(Cam@T^U T U)", "Cam"},
    {"MeshAimLightUp", "Cam@A^B A=mesh B=light", "Cam"},
    {"InCameraGroup", "set(Shot_group(Shot@Shot_aim Shot_aim))", "Shot"},
};

class CameraRoundTripTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(CameraRoundTripTest, KeepsItsDepth) {
    const RoundTripCase& c = GetParam();
    ASSERT_TRUE(Run("ZEQExportShowUI 0"));
    ASSERT_TRUE(Run("ZEQImport -f \"" + Write("first", [&c](KZeqSdkManager& m, KZeqScene& s) {
        BuildScene(m, s, c.mScene);
    }) + "\""));
    const std::string path = HostPath(c.mCamera);
    const std::string group = HostParent(c.mCamera);
    const std::string children = Children(group);
    ASSERT_EQ(HostType(group), "lookAt") << path;
    for (int trip = 1; trip <= 3; ++trip) {
        const std::string file = mDirectory + "trip" + std::to_string(trip) + ".zeq";
        ASSERT_TRUE(Run("ZEQExport -f \"" + file + "\""));
        ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\""));
        EXPECT_EQ(HostPath(c.mCamera), path) << "trip " << trip;
        EXPECT_EQ(Children(group), children) << "trip " << trip;
        EXPECT_EQ(HostType(group), "lookAt") << "trip " << trip;
    }
}

INSTANTIATE_TEST_SUITE_P(Cameras, CameraRoundTripTest, ::testing::ValuesIn(kRoundTrips), CaseName());

}  // namespace
