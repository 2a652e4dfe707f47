// The geometry pass and its builders: hierarchy, namespaces, skeletons, NURBS, meshes, lights,
// cameras and merging onto an existing host tree.
#include "importtest_support.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "content/kzeqcamera.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "io/tests/zeqgeometryscene.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;
using E = KZeqLayerElement;

namespace {

using GeometryTest = ImportDriverTest;

int TypeCode(const char* name) {
    TObject node = standin::find(name);
    return FMGetQuorbelID(node);
}

bool HasLocator(const char* name) {
    TFnDagNode dag(standin::find(name));
    return dag.childCount() > 0 && dag.child(0).hasFn(TFn::kLocator);
}

// The geometry pass over a scene held in memory (attribute-less nodes and every skeleton type
// survive as made).
class MemoryImport {
public:
    MemoryImport() : mScene(Manager().CreateKZeqScene()), mRoot(mScene->GetRootNode()) {}
    ZeqTuloSdkManager& Manager() { return mDriver.GetSdkManager(); }
    KZeqNode* Add(KZeqNode* parent, const char* name, const char* kind = "null") {
        return AddNode(Manager(), parent ? parent : mRoot, name, kind);
    }
    void Run() {
        mDriver.FillQuorbelNodeArray(mRoot);
        mDriver.ImportGeometry();
    }

private:
    ZeqTuloImport mDriver;
    KZeqScene* mScene;
    KZeqNode* mRoot;
};

// Nodes whose keys sort before their parents', an effector, roots with and without limbs.
TEST_F(GeometryTest, HierarchyAndSkeletons) {
    MemoryImport scene;
    KZeqNode* b = scene.Add(nullptr, "b");
    scene.Add(b, "a");
    KZeqNode* hip = scene.Add(nullptr, "hip", "skeleton:0");
    KZeqNode* knee = scene.Add(hip, "knee", "skeleton:2");
    scene.Add(knee, "toe", "none");
    KZeqNode* lone = scene.Add(nullptr, "lone", "skeleton:0");
    scene.Add(lone, "tip", "skeleton:3");
    scene.Add(lone, "shape", "mesh");
    scene.Add(nullptr, "limb", "skeleton:1");
    scene.Add(b, "bare", "none");
    scene.Add(b, "RootNode");
    scene.Run();
    EXPECT_EQ(HostPath("a"), "|b|a");
    EXPECT_EQ(HostPath("bare"), "|b|bare");
    EXPECT_TRUE(HasLocator("b") && HasLocator("bare"));
    EXPECT_EQ(HostType("hip"), "joint");
    EXPECT_EQ(TypeCode("hip"), 2);
    EXPECT_EQ(HostType("knee"), "joint");
    EXPECT_EQ(TypeCode("knee"), 5);
    EXPECT_EQ(HostType("toe"), "joint");  // an attribute-less end of a skeleton: its effector
    EXPECT_EQ(TypeCode("toe"), 3);
    EXPECT_EQ(HostType("lone"), "transform");  // a root without a limb below it: a null
    EXPECT_TRUE(HasLocator("lone"));
    EXPECT_EQ(TypeCode("lone"), 2);
    EXPECT_EQ(TypeCode("tip"), 3);
    EXPECT_EQ(TypeCode("limb"), 4);
    EXPECT_EQ(HostPath("RootNode"), "");  // a node so named makes nothing
}

// Namespaced nodes land in their namespace at the root, also under a parent in another one; the
// root namespace is current afterwards.
TEST_F(GeometryTest, NamespacesAreAddedAtTheRoot) {
    ASSERT_TRUE(Import(Write("spaces", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* one = AddNode(m, s.GetRootNode(), "ns:one");
        AddNode(m, s.GetRootNode(), "ns:two");
        AddNode(m, one, "other:three");
        AddNode(m, one, "plain");
    })));
    EXPECT_EQ(HostPath("ns:one"), "|ns:one");
    EXPECT_EQ(HostPath("ns:two"), "|ns:two");
    EXPECT_EQ(HostPath("other:three"), "|ns:one|other:three");
    EXPECT_EQ(HostPath("plain"), "|ns:one|plain");
    EXPECT_EQ(standin::currentNamespace(), ":");
    const std::vector<std::string> spaces = standin::namespaces();
    EXPECT_EQ(spaces, (std::vector<std::string>{"ns", "other"}));
}

// A NURBS surface of counts, orders and types; knots evenly spaced from 0 unless a knot is given.
void FillNurb(KZeqNurb& nurb, int countU, KZeqNurb::ENurbType typeU, int countV, KZeqNurb::ENurbType typeV,
              int order = 4) {
    nurb.SetOrder(order, order);
    ASSERT_TRUE(nurb.InitControlPoints(countU, typeU, countV, typeV));
    for (int i = 0; i < countU * countV; ++i) nurb.GetControlPoints()[i] = KZeqVector4(i % countU, i / countU, 0, 1);
    for (int k = 0; k < nurb.GetUKnotCount(); ++k) nurb.GetUKnotVector()[k] = k;
    for (int k = 0; k < nurb.GetVKnotCount(); ++k) nurb.GetVKnotVector()[k] = k;
}

struct NurbCase {
    const char* name;
    int countU;
    KZeqNurb::ENurbType typeU;
    int countV;
    KZeqNurb::ENurbType typeV;
    unsigned points, knotsA, knotsB;
    int formA, formB;
};
class NurbsData : public GeometryTest, public ::testing::WithParamInterface<NurbCase> {};

TEST_P(NurbsData, RepeatPointsAndDropEndKnots) {
    const NurbCase& c = GetParam();
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    FillNurb(*nurb, c.countU, c.typeU, c.countV, c.typeV);
    TPointArray cvs;
    TDoubleArray knotsA, knotsB;
    int degreeA = 0, degreeB = 0, formA = 0, formB = 0;
    TStatus status;
    bool openU = true, openV = true;
    ZeqTuloImport::GetNURBData(nurb, nurb->GetControlPoints(), cvs, knotsA, knotsB, degreeA, degreeB, formA, formB,
                               &status, &openU, &openV);
    EXPECT_EQ(cvs.length(), c.points);
    EXPECT_EQ(knotsA.length(), c.knotsA);
    EXPECT_EQ(knotsB.length(), c.knotsB);
    EXPECT_EQ(degreeA, 3);
    EXPECT_EQ(formA, c.formA);
    EXPECT_EQ(formB, c.formB);
    EXPECT_FALSE(openU || openV);
    manager.DestroyKZeqNodeAttribute(nurb);
}

const NurbCase kNurbs[] = {
    {"OpenOpen", 4, KZeqNurb::eOPEN, 4, KZeqNurb::eOPEN, 16, 6, 6, 1, 1},
    {"PeriodicU", 8, KZeqNurb::ePERIODIC, 5, KZeqNurb::eOPEN, 55, 7, 13, 1, 3},
    {"PeriodicUClosedV", 8, KZeqNurb::ePERIODIC, 5, KZeqNurb::eCLOSED, 88, 10, 13, 3, 3},
};
INSTANTIATE_TEST_SUITE_P(Geometry, NurbsData, ::testing::ValuesIn(kNurbs), CaseName());

// Knots rounded to six decimals; uneven knots of a closed direction give an open form and the flag;
// fewer than two host knots leave it open.
TEST_F(GeometryTest, NurbsKnotsRoundedAndUnevenClosedOpened) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    FillNurb(*nurb, 8, KZeqNurb::ePERIODIC, 5, KZeqNurb::eOPEN);
    nurb->GetVKnotVector()[1] = 0.1234567;
    nurb->GetUKnotVector()[5] = 5.0000001;  // within 1e-7 of even: still periodic
    TPointArray cvs;
    TDoubleArray knotsA, knotsB;
    int degreeA = 0, degreeB = 0, formA = 0, formB = 0;
    TStatus status;
    bool openU = false, openV = false;
    ZeqTuloImport::GetNURBData(nurb, nurb->GetControlPoints(), cvs, knotsA, knotsB, degreeA, degreeB, formA, formB,
                               &status, &openU, &openV);
    EXPECT_DOUBLE_EQ(knotsA[0], 0.123457);
    EXPECT_EQ(formB, TFnNurbsSurface::kPeriodic);
    EXPECT_FALSE(openU);
    nurb->GetUKnotVector()[5] = 5.5;
    cvs.clear();
    ZeqTuloImport::GetNURBData(nurb, nurb->GetControlPoints(), cvs, knotsA, knotsB, degreeA, degreeB, formA, formB,
                               &status, &openU, &openV);
    EXPECT_EQ(formB, TFnNurbsSurface::kOpen);
    EXPECT_TRUE(openU);
    EXPECT_EQ(cvs.length(), 55u);  // the repeated points stay
    manager.DestroyKZeqNodeAttribute(nurb);
}

// A rational surface's points keep their weights, the repeated ones of a periodic direction too; a
// weight the host cannot take is 1.
TEST_F(GeometryTest, NurbsPointsKeepTheirWeights) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    FillNurb(*nurb, 8, KZeqNurb::ePERIODIC, 5, KZeqNurb::eOPEN);
    for (int i = 0; i < 40; ++i) nurb->GetControlPoints()[i][3] = 0.5 + (i % 8) * 0.25;
    nurb->GetControlPoints()[9][3] = -1;
    TPointArray cvs;
    TDoubleArray knotsA, knotsB;
    int degreeA = 0, degreeB = 0, formA = 0, formB = 0;
    TStatus status;
    ZeqTuloImport::GetNURBData(nurb, nurb->GetControlPoints(), cvs, knotsA, knotsB, degreeA, degreeB, formA, formB,
                               &status, nullptr, nullptr);
    ASSERT_EQ(cvs.length(), 55u);  // rows of 8 points and their first 3 again
    EXPECT_DOUBLE_EQ(cvs[2].w, 1.0);
    EXPECT_DOUBLE_EQ(cvs[7].w, 2.25);
    EXPECT_DOUBLE_EQ(cvs[8].w, 0.5);  // repeat of the row's first point
    EXPECT_DOUBLE_EQ(cvs[12].w, 1.0);  // point 9: a weight of -1
    manager.DestroyKZeqNodeAttribute(nurb);
}

// Surfaces reach the host with their curve precision (steps - 1, at least 0) and, with shapes, a
// blend-shape deformer.
TEST_F(GeometryTest, NurbsSurfacesWithPrecisionAndDeformer) {
    ASSERT_TRUE(Import(Write("nurbs", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* fine = AddNode(m, s.GetRootNode(), "fine", "none");
        KZeqNurb* a = m.CreateKZeqNurb();
        fine->SetNodeAttribute(a);
        FillNurb(*a, 8, KZeqNurb::ePERIODIC, 5, KZeqNurb::eOPEN);
        a->SetStep(4, 2);
        KZeqNode* coarse = AddNode(m, s.GetRootNode(), "coarse", "none");
        KZeqNurb* b = m.CreateKZeqNurb();
        coarse->SetNodeAttribute(b);
        FillNurb(*b, 4, KZeqNurb::eOPEN, 4, KZeqNurb::eOPEN);
        b->SetStep(1, 1);
        KZeqShape* shape = m.CreateKZeqShape();
        shape->InitControlPoints(16);
        b->AddShape(shape, "Bulge");
    })));
    TFnNurbsSurface fine(TFnDagNode(standin::find("fine")).child(0));
    EXPECT_EQ(fine.numCVsInV(), 11);
    EXPECT_EQ(fine.formInV(), TFnNurbsSurface::kPeriodic);
    short precision = -1;
    plug("fineShape.curvePrecision").getValue(precision);
    EXPECT_EQ(precision, 3);
    TObject coarseShape = TFnDagNode(standin::find("coarse")).child(0);
    TFnDependencyNode(coarseShape).findPlug("curvePrecision").getValue(precision);
    EXPECT_EQ(precision, 0);
    // The blend-shape animation names the deformer after the node.
    EXPECT_EQ(standin::countMatches("coarse_BlendShaper"), 1u);
}

// Through ZEQImport, whatever steps the file holds: the curve precision is the larger step less
// one, from 0 to the most the host's short attribute takes (32767).
struct StepCase {
    const char* name;
    int u, v;
    short precision;
};
class NurbsSteps : public ZeqTuloImportTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(NurbsSteps, PrecisionWithinTheHostsRange) {
    const StepCase& c = GetParam();
    const std::string file = Write("steps", [&c](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNurb* nurb = m.CreateKZeqNurb();
        AddNode(m, s.GetRootNode(), "sheet", "none")->SetNodeAttribute(nurb);
        FillNurb(*nurb, 4, KZeqNurb::eOPEN, 4, KZeqNurb::eOPEN);
        nurb->SetStep(c.u, c.v);
    });
    ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\""));
    short precision = -1;
    ASSERT_TRUE(plug("sheetShape.curvePrecision").getValue(precision));
    EXPECT_EQ(precision, c.precision);
}

const StepCase kSteps[] = {
    {"Usual", 4, 2, 3},
    {"Smallest", INT_MIN, INT_MIN, 0},
    {"SmallestAndLargest", INT_MIN, INT_MAX, 32767},
    {"Largest", 3, INT_MAX, 32767},
    {"None", 0, 0, 0},
    {"Negative", -5, -1, 0},
    {"LargestShort", 32768, 1, 32767},
    {"JustPastTheShortRange", 1, 32769, 32767},
};
INSTANTIATE_TEST_SUITE_P(Geometry, NurbsSteps, ::testing::ValuesIn(kSteps), CaseName());

// Meshes: a triangle and a quad with normals by polygon vertex and UV layers.
void Mesh(KZeqMesh& mesh, int uvLayers, bool firstEmpty, bool degenerate) {
    mesh.InitControlPoints(5);
    for (int i = 0; i < 5; ++i) mesh.GetControlPoints()[i] = KZeqVector4(i % 2, i / 2, 0, 1);
    std::vector<std::vector<int>> polygons = {{0, 1, 2}, {1, 3, 4, 2}};
    if (degenerate) polygons.insert(polygons.begin() + 1, {{0, 1}, {2, 2, 3}});
    for (const auto& p : polygons) {
        mesh.BeginPolygon();
        for (int v : p) mesh.AddPolygon(v);
        mesh.EndPolygon();
    }
    for (int l = 0; l < uvLayers; ++l) {
        if (mesh.GetLayerCount() <= l) mesh.CreateLayer();
        auto* uvs = new KZeqLayerElementUV;
        uvs->SetMappingMode(E::eBY_CONTROL_POINT);
        if (!(firstEmpty && l == 0))
            for (int i = 0; i < 5; ++i) uvs->GetDirectArray().Add(KZeqVector2(0.1 * i, l));
        mesh.GetLayer(l)->SetUVs(uvs);
    }
    if (mesh.GetLayerCount() == 0) mesh.CreateLayer();
    auto* normals = new KZeqLayerElementNormal;
    normals->SetMappingMode(E::eBY_POLYGON_VERTEX);
    int vertices = 0;
    for (int p = 0; p < mesh.GetPolygonCount(); ++p) vertices += mesh.GetPolygonSize(p);
    for (int v = 0; v < vertices; ++v) normals->GetDirectArray().Add(KZeqVector4(0, 0, v % 2 ? 1 : -1, 0));
    mesh.GetLayer(0)->SetNormals(normals);
}

std::vector<std::string> UVSets(const char* name) {
    TFnMesh mesh(TFnDagNode(standin::find(name)).child(0));
    TStringArray names;
    mesh.getUVSetNames(names);
    std::vector<std::string> out;
    for (unsigned i = 0; i < names.length(); ++i) out.push_back(names[i].asChar());
    return out;
}

// UV sets "uvSet" + n, the first in place of "map1"; an empty first layer keeps "map1".
TEST_F(GeometryTest, MeshUVSetsAreNamedByLayer) {
    ASSERT_TRUE(Import(Write("meshes", [](KZeqSdkManager& m, KZeqScene& s) {
        Mesh(*AddNode(m, s.GetRootNode(), "one", "mesh")->GetMesh(), 1, false, false);
        Mesh(*AddNode(m, s.GetRootNode(), "three", "mesh")->GetMesh(), 3, false, false);
        Mesh(*AddNode(m, s.GetRootNode(), "empty", "mesh")->GetMesh(), 2, true, false);
    })));
    EXPECT_EQ(UVSets("one"), (std::vector<std::string>{"uvSet1"}));
    EXPECT_EQ(UVSets("three"), (std::vector<std::string>{"uvSet1", "uvSet2", "uvSet3"}));
    EXPECT_EQ(UVSets("empty"), (std::vector<std::string>{"map1", "uvSet2"}));
    TFnMesh three(TFnDagNode(standin::find("three")).child(0));
    int id = -1;
    ASSERT_TRUE(three.getPolygonUVid(1, 2, id, nullptr));
    EXPECT_EQ(id, 4);
    TVector normal;
    ASSERT_TRUE(three.getFaceVertexNormal(1, 1, normal));
    EXPECT_DOUBLE_EQ(normal.z, 1);  // face-vertex 3 of the file
    ASSERT_TRUE(three.getFaceVertexNormal(1, 3, normal));
    EXPECT_DOUBLE_EQ(normal.z, -1);
}

// Polygons the host cannot hold are left out before the mesh is made, with one log line; normals
// and UVs stay with their own polygons and the host records no fault.
TEST_F(GeometryTest, DegeneratePolygonsAreLeftOutOnce) {
    ASSERT_TRUE(Import(Write("bad", [](KZeqSdkManager& m, KZeqScene& s) {
        Mesh(*AddNode(m, s.GetRootNode(), "bad", "mesh")->GetMesh(), 1, false, true);
    })));
    TFnMesh mesh(TFnDagNode(standin::find("bad")).child(0));
    EXPECT_EQ(mesh.numPolygons(), 2);
    const std::string log = Log();
    EXPECT_NE(log.find("Mesh bad: 2 polygons left out"), std::string::npos) << log;
    EXPECT_EQ(log.find("Mesh bad", log.find("Mesh bad") + 1), std::string::npos);
    // The quad is the file's fourth polygon: its face-vertices are numbers 8 to 11 of the file.
    TVector normal;
    ASSERT_TRUE(mesh.getFaceVertexNormal(1, 1, normal));
    EXPECT_DOUBLE_EQ(normal.z, -1);
    ASSERT_TRUE(mesh.getFaceVertexNormal(1, 3, normal));
    EXPECT_DOUBLE_EQ(normal.z, 1);
}

// Lights: "<name>Shape" under the transform; an unknown type makes nothing.
TEST_F(GeometryTest, LightsOfEachType) {
    ASSERT_TRUE(Import(Write("lights", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* rig = AddNode(m, s.GetRootNode(), "rig");
        AddNode(m, rig, "Lamp", "light:0");
        AddNode(m, s.GetRootNode(), "Sun", "light:1");
        AddNode(m, s.GetRootNode(), "Spot", "light:2");
        AddNode(m, s.GetRootNode(), "Odd", "light:7");
    })));
    EXPECT_EQ(HostPath("Lamp"), "|rig|Lamp");
    EXPECT_EQ(HostPath("LampShape"), "|rig|Lamp|LampShape");
    EXPECT_TRUE(standin::find("LampShape").hasFn(TFn::kPointLight));
    EXPECT_TRUE(standin::find("SunShape").hasFn(TFn::kDirectionalLight));
    EXPECT_TRUE(standin::find("SpotShape").hasFn(TFn::kSpotLight));
    EXPECT_EQ(HostPath("Odd"), "");
    EXPECT_NE(Log().find("Light Odd: light type 7 is unknown"), std::string::npos);
}

// Cameras through the host's camera command: 1, 2 or 3 nodes, named after the scene's nodes; the
// group moves under the parent's host node (a parent of two rigs); a camera under the root stays
// where it was made.
TEST_F(GeometryTest, CamerasWithAimAndUp) {
    ASSERT_TRUE(Import(Write("cameras", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* rig = AddNode(m, s.GetRootNode(), "rig");
        KZeqNode* plain = AddNode(m, rig, "Plain", "camera");
        plain->GetCamera()->SetProjectionType(KZeqCameraTypes::eORTHOGONAL);
        KZeqNode* aimed = AddNode(m, rig, "Aimed", "camera");
        aimed->SetTarget(AddNode(m, rig, "AimedTarget"));
        AddNode(m, rig, "Other", "camera")->SetTarget(AddNode(m, rig, "OtherTarget"));
        KZeqNode* full = AddNode(m, s.GetRootNode(), "Full", "camera");
        full->SetTarget(AddNode(m, s.GetRootNode(), "FullTarget"));
        full->SetTargetUp(AddNode(m, s.GetRootNode(), "FullUp"));
    })));
    EXPECT_EQ(HostPath("Plain"), "|rig|Plain");
    EXPECT_TRUE(TFnCamera(TFnDagNode(standin::find("Plain")).child(0)).isOrtho());
    // The host names each group after the camera it made ("camera1"), before the camera is renamed.
    EXPECT_EQ(HostPath("Aimed"), "|rig|camera1_group|Aimed");
    EXPECT_EQ(HostPath("AimedTarget"), "|rig|camera1_group|AimedTarget");
    EXPECT_EQ(HostPath("Other"), "|rig|camera1_group1|Other");
    EXPECT_EQ(HostPath("Full"), "|camera1_group|Full");
    EXPECT_EQ(HostPath("FullTarget"), "|camera1_group|FullTarget");
    EXPECT_EQ(HostPath("FullUp"), "|camera1_group|FullUp");
    EXPECT_TRUE(transcribed("cameraMakeNode 1 \\\"\\\""));
    EXPECT_TRUE(transcribed("cameraMakeNode 2 \\\"\\\""));
    EXPECT_TRUE(transcribed("cameraMakeNode 3 \\\"\\\""));
}

// A camera in a Zeq camera group: the host group the camera command makes takes the group's name,
// so that a file written again from the host still holds the camera group.
TEST_F(GeometryTest, CameraGroupKeepsItsName) {
    ASSERT_TRUE(Import(Write("group", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* group = AddNode(m, AddNode(m, s.GetRootNode(), "set"), "Shot_group");
        KZeqNode* shot = AddNode(m, group, "Shot", "camera");
        shot->SetTarget(AddNode(m, group, "Shot_aim"));
    })));
    EXPECT_EQ(HostPath("Shot"), "|set|Shot_group|Shot");
    EXPECT_EQ(HostPath("Shot_aim"), "|set|Shot_group|Shot_aim");
    EXPECT_EQ(HostType("Shot_group"), "lookAt");
}

// A 6.0 file that names the scene's root as a camera's or light's aim or up-vector target: the node
// is made without that target, and when no target is left a warning names the node and the
// property, shown once and logged; when a model follows the root, the camera aims at it and the log
// alone says so. The models after it stay at the top (the root made as the target took every later
// model under it).
struct RootTargetCase {
    const char* mName;
    const char* mProperty;
    const char* mKind;  // of the node "crane"
    bool mAim;          // the node also aims at a model of its own
    const char* mWarning;  // null: none
    const char* mLogLine;
};
const RootTargetCase kRootTargetCases[] = {
    {"LookAt", "LookAtProperty", "camera", false,
     "Camera crane: its LookAtProperty names the scene root, which is no camera's target; the camera is left "
     "without a target.",
     nullptr},
    {"UpVector", "UpVectorProperty", "camera", true,
     "Camera crane: its UpVectorProperty names the scene root, which is no camera's target; the camera is left "
     "without an up-vector target.",
     nullptr},
    {"LookAtRootThenAModel", "LookAtProperty", "camera", true, nullptr,
     "Camera crane: its LookAtProperty names the scene root, which is no camera's target; crane_aim stays its "
     "target."},
    {"LightLookAt", "LookAtProperty", "light:2", false,
     "Light crane: its LookAtProperty names the scene root, which is no light's target; the light is left "
     "without a target.",
     nullptr},
};

void PrintTo(const RootTargetCase& row, std::ostream* out) { *out << row.mName; }

class RootTargetTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<RootTargetCase> {};

TEST_P(RootTargetTest, TheNodeGoesWithoutAndLaterModelsStayAtTheTop) {
    const RootTargetCase& row = GetParam();
    const std::string path = Write("roottarget", [&](KZeqSdkManager& m, KZeqScene& s) {
        AddNode(m, s.GetRootNode(), "before");
        KZeqNode* crane = AddNode(m, s.GetRootNode(), "crane", row.mKind);
        if (row.mAim) crane->SetTarget(AddNode(m, s.GetRootNode(), "crane_aim"));
        AddNode(m, AddNode(m, s.GetRootNode(), "after"), "leaf");
        AddNode(m, s.GetRootNode(), "last");
    }, true);
    std::string text = ZeqTuloReadFile(path);
    // The root's connection comes first, before the model's.
    const std::string section = "Connections: {\n";
    const std::size_t at = text.find(section);
    ASSERT_NE(at, std::string::npos);
    text.insert(at + section.size(), std::string("\tConnect: \"OP\",\"Model::Scene\",\"Model::crane\",\"") +
                                         row.mProperty + "\"\n");
    std::ofstream(path, std::ios::binary) << text;
    standin::clearTranscript();
    ASSERT_TRUE(Run("ZEQImport -f \"" + path + "\""));
    for (const char* top : {"before", "after", "last"}) EXPECT_EQ("", HostParent(top)) << top;
    EXPECT_EQ("after", HostParent("leaf"));
    EXPECT_EQ(0u, standin::countMatches("RootNode"));
    if (row.mAim) {
        EXPECT_EQ("|camera1_group|crane", HostPath("crane"));
        EXPECT_EQ("|camera1_group|crane_aim", HostPath("crane_aim"));
        EXPECT_EQ(2u, TFnDagNode(standin::find("camera1_group")).childCount());
    } else {
        EXPECT_EQ("|crane", HostPath("crane"));
    }
    const std::string log = Log();
    const char* line = row.mWarning ? row.mWarning : row.mLogLine;
    const std::size_t first = log.find(line);
    EXPECT_NE(std::string::npos, first) << log;
    EXPECT_EQ(std::string::npos, log.find(line, first + 1)) << log;
    const std::vector<std::string> warnings = Warnings("scene root");
    if (row.mWarning) {
        ASSERT_EQ(1u, warnings.size());
        EXPECT_EQ(std::string("// Warning: ") + row.mWarning, warnings[0]);
    } else {
        EXPECT_TRUE(warnings.empty()) << warnings[0];
    }
}
INSTANTIATE_TEST_SUITE_P(Properties, RootTargetTest, ::testing::ValuesIn(kRootTargetCases),
                         [](const ::testing::TestParamInfo<RootTargetCase>& info) { return info.param.mName; });

// Merge: nodes bound to host nodes that were there are left as they were; their new children are
// made under them.
TEST_F(GeometryTest, MergeOntoAnExistingHostTree) {
    TFnTransform rig;
    rig.create();
    rig.setName("rig");
    rig.setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    Params()->SetImportType(KZeqUserParams::kMerge);
    ASSERT_TRUE(Import(Write("merge", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* node = AddNode(m, s.GetRootNode(), "rig");
        node->SetDefaultT(KZeqVector4(1, 2, 3, 0));  // the animation pass gives the host node the file's
        AddNode(m, node, "arm");
    })));
    EXPECT_EQ(standin::countMatches("rig"), 1u);
    EXPECT_EQ(HostPath("arm"), "|rig|arm");
    EXPECT_FALSE(HasLocator("rig"));
    EXPECT_DOUBLE_EQ(rig.translation(TSpace::kTransform).y, 2);

    Params()->SetImportType(KZeqUserParams::kExclusiveMerge);
    ASSERT_TRUE(Import(Write("more", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* node = AddNode(m, s.GetRootNode(), "rig");
        AddNode(m, node, "leg");
    })));
    EXPECT_EQ(HostPath("leg"), "");  // exclusive merge makes nothing
}

// Merge of a file holding the two instances of a host transform as nodes of their own ("prop" and
// its clash-marked copy "prop_ncl1_1"): the copy, numbered "prop1" for the import's unique names,
// still binds the host's "prop" under its own parent, and nothing is made twice.
TEST_F(GeometryTest, MergeBindsANumberedCopyByItsFileName) {
    TObject tower = standin::createNode("transform", "tower");
    TObject arm = standin::createNode("transform", "arm");
    TObject prop = standin::createNode("transform", "prop", tower);
    ASSERT_TRUE(standin::parent(prop, arm, true));
    Params()->SetImportType(KZeqUserParams::kMerge);
    ASSERT_TRUE(Import(Write("instances", [](KZeqSdkManager& m, KZeqScene& s) {
        AddNode(m, AddNode(m, s.GetRootNode(), "arm"), "prop");
        AddNode(m, AddNode(m, s.GetRootNode(), "tower"), "prop_ncl1_1");
    })));
    EXPECT_EQ(standin::countMatches("prop1"), 0u);
    EXPECT_EQ(TFnDagNode(tower).childCount(), 1u);
    EXPECT_EQ(TFnDagNode(arm).childCount(), 1u);
}

// Merge of a camera aimed at a mesh of the file that the host scene already holds: the aim is
// left out, so the camera keeps its rotation turned onto the host's forward axis, and its child
// keeps the file's place.
TEST_F(GeometryTest, MergeCameraAimedAtAnExistingNodeTakesTheTurn) {
    standin::createNode("transform", "X");
    Params()->SetImportType(KZeqUserParams::kMerge);
    double camera[4][4], kid[4][4];
    ASSERT_TRUE(Import(Write("mergeaim", [&](KZeqSdkManager& m, KZeqScene& s) {
        const importtest::SceneNodes nodes = importtest::BuildScene(m, s, "Cam@X(Kid) X=mesh");
        KZeqNode* cam = nodes.at("Cam").mNode;
        cam->SetDefaultT(KZeqVector4(1, 2, 3, 0));
        cam->SetDefaultR(KZeqVector4(10, 30, 0, 0));
        nodes.at("Kid").mNode->SetDefaultT(KZeqVector4(0, 0, 4, 0));
        KTime zero;
        zero.SetSecondDouble(0.0);
        for (auto [name, out] : {std::make_pair("Cam", &camera), std::make_pair("Kid", &kid)}) {
            const KZeqMatrix world = nodes.at(name).mNode->GetGlobalFromCurrentTake(zero);
            const double* w = world;
            std::copy(w, w + 16, &(*out)[0][0]);
        }
    })));
    EXPECT_NE(Log().find("Camera Cam: X was in the host scene before; the aim is left out."), std::string::npos)
        << Log();
    // The file looks down -X, the host down -Z.
    const double turn[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}};
    double turned[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            turned[i][j] = 0;
            for (int k = 0; k < 4; ++k) turned[i][j] += turn[i][k] * camera[k][j];
        }
    for (auto [name, want] : {std::make_pair("Cam", &turned), std::make_pair("Kid", &kid)}) {
        TDagPath path;
        ASSERT_TRUE(TDagPath::getAPathTo(standin::find(name), path)) << name;
        const TMatrix host = path.inclusiveMatrix();
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_NEAR(host.matrix[i][j], (*want)[i][j], 1e-9) << name << i << j;
    }
}

// A camera's rig merged into a host scene made by importing a first scene (less some of its
// nodes): the file's nodes bind the host's by name, the look-at groups included, and a camera the
// host aims gets no forward-axis turn.
struct MergeRigCase {
    const char* name;
    const char* mFirst;    // BuildScene's notation, imported into a new scene
    const char* mDeleted;  // host nodes deleted after that, by name; "+name": a transform made at the top,
                           // "+name>group" one of the user's in group ("+name=camera>group" a camera);
                           // "name>group": the node moved to the end of group
    const char* mMerged;   // the file merged then
    KZeqUserParams::ELoadMode mMode;
    const char* mPaths;  // "name=|host|path ...", "name=" for none
    const char* mGroup;  // "group: child ...", the look-at group's nodes in order, or ""
    const char* mLog;    // a line the merge's log holds, or "" when it says nothing of cameras
    bool mTurned;        // the camera takes the forward-axis turn (the host does not aim it)
};

const MergeRigCase kMergeRigCases[] = {
    {"OwnAimInTheSceneCameraUnderItsParent", "Rig(A=mesh)", "", "Rig(Cam@A A=mesh)", KZeqUserParams::kMerge,
     "Rig=|Rig Cam=|Rig|Cam A=|Rig|A", "", "Camera Cam: A was in the host scene before; the aim is left out.", true},
    {"CameraJoinsItsGroup", "Rig(Cam@A A=mesh)", "Cam", "Rig(Cam@A A=mesh)", KZeqUserParams::kMerge,
     "Cam=|Rig|Cam A=|Rig|A", "Rig: Cam A", "", false},
    {"CameraJoinsUnderItsOwnName", "Rig(Cam@A A=mesh)", "Cam +Cam", "Rig(Cam@A A=mesh)", KZeqUserParams::kMerge,
     "A=|Rig|A", "Rig: Cam A", "", false},
    {"SecondMergeKeepsTheAim", "Rig(Cam@A^U A=mesh U=light)", "", "Rig(Cam@A^U A=mesh U=light)",
     KZeqUserParams::kMerge, "Cam=|Rig|Cam A=|Rig|A U=|Rig|U Rig1=", "Rig: Cam A U", "", false},
    {"HostsOwnGroupBoundAgain", "Cam@T T", "", "Cam@T T", KZeqUserParams::kMerge,
     "Cam=|camera1_group|Cam T=|camera1_group|T camera1_group1=", "camera1_group: Cam T", "", false},
    {"CameraJoinsTheHostsOwnGroup", "Cam@T^U T U X", "Cam", "Cam@T^U T U X", KZeqUserParams::kMerge,
     "Cam=|camera1_group|Cam T=|camera1_group|T", "camera1_group: Cam T U", "", false},
    {"BareAimMadeInItsGroup", "Rig(Cam@T^U T U)", "T", "Rig(Cam@T^U T U)", KZeqUserParams::kMerge,
     "Cam=|Rig|Cam T=|Rig|T U=|Rig|U", "Rig: Cam T U", "", false},
    {"BareAimOutsideAGroupStays", "Rig(T)", "", "Rig(Cam@T T)", KZeqUserParams::kMerge,
     "Cam=|Rig|Cam T=|Rig|T T1=", "", "Camera Cam: T was in the host scene before; the aim is left out.", true},
    {"GroupOfTheFileNoLookAtGroupInTheHost", "Rig(X)", "", "Rig(Cam@T T)", KZeqUserParams::kMerge,
     "Cam=|Rig|camera1_group|Cam T=|Rig|camera1_group|T X=|Rig|X", "camera1_group: Cam T",
     "Camera Cam: Rig was in the host scene before, as no look-at group of this camera alone; the camera's look-at "
     "group comes in below it.",
     false},
    {"CameraOutsideAGroupStays", "P(Cam)", "", "P(Cam@T T)", KZeqUserParams::kMerge, "Cam=|P|Cam T=|P|T",
     "",
     "Camera Cam: it was in the host scene before, outside a look-at group; the aim is left out and the camera "
     "keeps its orientation.",
     true},
    // A node of the user's in the look-at group the host made, or in the group of the file that
    // became one: the group binds as the rig the host has, aimed as the host aims its camera (a
    // group of four too), and the user's node stays there.
    {"UsersNodeInTheHostsOwnGroup", "Cam@T T X", "+Mine>camera1_group", "Cam@T T X", KZeqUserParams::kMerge,
     "Cam=|camera1_group|Cam T=|camera1_group|T Mine=|camera1_group|Mine camera1_group1= Cam1= T1=",
     "camera1_group: Cam T Mine", "", false},
    {"UsersNodeMakesTheHostsOwnGroupOfFour", "Cam@T^U T U X", "+Mine>camera1_group", "Cam@T^U T U X",
     KZeqUserParams::kMerge, "Cam=|camera1_group|Cam camera1_group1= Cam1=", "camera1_group: Cam T U Mine", "",
     false},
    {"UsersNodeInTheFilesGroup", "P(Cam@T T)", "+Mine>P", "P(Cam@T T)", KZeqUserParams::kMerge,
     "Cam=|P|Cam T=|P|T Mine=|P|Mine P1= Cam1=", "P: Cam T Mine", "", false},
    // A node of the user's the file's group holds, made again, goes where the file has it.
    {"UsersNodeOfTheFileMadeAgainInItsPlace", "P(Cam@T X T)", "X", "P(Cam@T X T)", KZeqUserParams::kMerge,
     "Cam=|P|Cam X=|P|X T=|P|T X1=", "P: Cam X T", "", false},
    {"CameraJoinsBeforeTheUsersNode", "Cam@T T X", "Cam +Mine>camera1_group", "Cam@T T X",
     KZeqUserParams::kMerge, "Cam=|camera1_group|Cam Mine=|camera1_group|Mine camera1_group1=",
     "camera1_group: Cam T Mine", "", false},
    {"UsersNodeInTheHostsOwnGroupExclusive", "Cam@T T X", "+Mine>camera1_group", "Cam@T T X",
     KZeqUserParams::kExclusiveMerge, "Cam=|camera1_group|Cam camera1_group1=", "camera1_group: Cam T Mine", "",
     false},
    // The camera after the user's node in its group is the group's camera all the same, aimed at
    // its aim: the merge changes nothing there.
    {"CameraAfterTheUsersNodeKeepsItsAim", "P(Cam@T T)", "+Mine>P Cam>P", "P(Cam@T T)", KZeqUserParams::kMerge,
     "Cam=|P|Cam T=|P|T Mine=|P|Mine", "P: T Mine Cam", "", false},
    {"CameraAfterTheUsersNodeKeepsItsAimInTheHostsOwnGroup", "Cam@T T X", "+Mine>camera1_group Cam>camera1_group",
     "Cam@T T X", KZeqUserParams::kMerge, "Cam=|camera1_group|Cam T=|camera1_group|T camera1_group1= Cam1= T1=",
     "camera1_group: T Mine Cam", "", false},
    // A camera of the user's first in the group is the one the host aims: the file's camera stays,
    // and the log says where it is.
    {"UsersCameraFirstTakesTheAim", "P(Cam@T T)", "+Mine=camera>P Cam>P T>P", "P(Cam@T T)", KZeqUserParams::kMerge,
     "Cam=|P|Cam T=|P|T Mine=|P|Mine", "P: Mine Cam T",
     "Camera Cam: it was in the host scene before, in a look-at group that does not hold its rig as the file has "
     "it; the aim is left out and the camera keeps its orientation; T stays in P as a node of its own, taking the "
     "file's values.",
     true},
    {"ExclusiveMakesNothing", "Rig(Cam@A A=mesh)", "Cam", "Rig(Cam@A A=mesh)", KZeqUserParams::kExclusiveMerge,
     "Cam= A=|Rig|A", "Rig: A", "", false},
    {"ExclusiveKeepsTheAim", "Rig(Cam@T T)", "", "Rig(Cam@T T)", KZeqUserParams::kExclusiveMerge,
     "Cam=|Rig|Cam T=|Rig|T", "Rig: Cam T", "", false},
};

class MergeRigTest : public ImportDriverTest, public ::testing::WithParamInterface<MergeRigCase> {};

TEST_P(MergeRigTest, BindsTheRigByName) {
    const MergeRigCase& c = GetParam();
    ASSERT_TRUE(Import(Write("first", [&c](KZeqSdkManager& m, KZeqScene& s) { BuildScene(m, s, c.mFirst); })));
    std::istringstream deleted(c.mDeleted);
    for (std::string name; deleted >> name;) {
        const std::size_t into = name.find('>');
        const TObject group = into == std::string::npos ? TObject() : standin::find(name.substr(into + 1));
        if (into != std::string::npos) {
            ASSERT_FALSE(group.isNull()) << name;
        }
        if (name[0] == '+') {
            const std::string made = name.substr(1, into - 1);
            const std::size_t kind = made.find("=camera");
            const TObject node = standin::createNode("transform", made.substr(0, kind), group);
            if (kind != std::string::npos) standin::createNode("camera", "", node);
        } else if (into != std::string::npos) {
            TObject node = standin::find(name.substr(0, into));
            TFnDagNode(group).removeChild(node);
            TFnDagNode(group).addChild(node);
        } else {
            ASSERT_TRUE(TGlobal::deleteNode(standin::find(name))) << name;
        }
    }
    Params()->SetImportType(c.mMode);
    std::remove((mDirectory + "zeqtulolog.txt").c_str());
    ASSERT_TRUE(Import(Write("merged", [&c](KZeqSdkManager& m, KZeqScene& s) {
        const SceneNodes nodes = BuildScene(m, s, c.mMerged);
        nodes.at("Cam").mNode->SetDefaultR(KZeqVector4(0, 30, 0, 0));
    })));
    std::istringstream paths(c.mPaths);
    for (std::string pair; paths >> pair;)
        EXPECT_EQ(HostPath(pair.substr(0, pair.find('='))), pair.substr(pair.find('=') + 1)) << pair;
    ExpectGroupAndCameraLog(c.mGroup, c.mLog, Log());
    // The turn from the file's forward axis (+X) to the host's (-Z) is the camera's rotate axis.
    if (!standin::find("Cam").isNull()) {
        EXPECT_EQ(HostAttr("Cam.rotateAxisY"), c.mTurned ? "-90" : "0");
    }
}

INSTANTIATE_TEST_SUITE_P(Rigs, MergeRigTest, ::testing::ValuesIn(kMergeRigCases),
                         [](const ::testing::TestParamInfo<MergeRigCase>& info) { return info.param.name; });

// A whole scene: meshes, cameras, lights, a skinned NURBS surface, a bind pose and characters
// import without a host fault.
TEST_F(GeometryTest, AWholeSceneImportsCleanly) {
    ASSERT_TRUE(Import(Write("whole", [](KZeqSdkManager& m, KZeqScene& s) {
        zeqiotest::BuildGeometryScene(m, s, 3, 2);
        zeqiotest::AddCamerasLightsSurfacesPosesAndCharacters(m, s);
    })));
}

}  // namespace
