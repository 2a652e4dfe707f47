// The first walk: which host paths become nodes and of which kind, the builders of each kind, and
// what the deformer checks change on the host for the time of the read (and give back).
#include "zeqtuloexport_test_support.h"

#include "content/kzeqcamera.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "plugin/zeqtuloutility.h"
#include "tfnattribute.h"
#include "tfndagnode.h"
#include "tfndeformer.h"
#include "tfnlight.h"
#include "tfnmesh.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

TPlug At(const TObject& node, const char* attr) { return TFnDependencyNode(node).findPlug(attr); }

using DagWalkTest = ExportTest;

// A plain transform by the tag the import leaves on it: 0 or 1 a null, 2 to 5 a skeleton of the
// tabled type, any other value nothing.
struct TagCase {
    const char* name;
    int tag;  // -100: no tag at all
    int attribute;  // -1: no node; 0: null; else 10 + skeleton type
};

class TaggedTransform : public DagWalkTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(TaggedTransform, KindByTag) {
    TObject thing = standin::createNode("transform", "thing");
    if (GetParam().tag != -100) FMSetQuorbelID(thing, GetParam().tag);
    ExportProbe exporter;
    exporter.Walk();
    ZeqTuloNode* node = exporter.Node("|thing");
    if (GetParam().attribute < 0) {
        EXPECT_EQ(node, nullptr);
        return;
    }
    ASSERT_NE(node, nullptr);
    ETransformInheritType inherit;
    node->GetTransformationInheritType(inherit);
    EXPECT_EQ(inherit, eINHERIT_RSrs);
    if (GetParam().attribute == 0) {
        EXPECT_NE(node->GetNull(), nullptr);
        return;
    }
    ASSERT_NE(node->GetSkeleton(), nullptr);
    EXPECT_EQ(node->GetSkeleton()->GetSkeletonType(), GetParam().attribute - 10);
}

const TagCase kTags[] = {
    {"NoTag", -100, 0},     {"Zero", 0, 0},         {"One", 1, 0},        {"Two", 2, 10},
    {"Three", 3, 13},       {"Four", 4, 11},        {"Five", 5, 12},      {"Six", 6, -1},
    {"MinusOne", -1, -1},
};
INSTANTIATE_TEST_SUITE_P(Tags, TaggedTransform, ::testing::ValuesIn(kTags), CaseName());

TEST_F(DagWalkTest, GroundPlaneAndReservedCamerasGetNoNode) {
    standin::createNode("transform", "groundPlane_transform");
    standin::createNode("transform", "groundPlane");
    standin::createNode("camera", "", standin::createNode("transform", "shot"));
    ExportProbe exporter;
    exporter.Walk();
    EXPECT_EQ(exporter.Node("|groundPlane_transform"), nullptr);
    EXPECT_NE(exporter.Node("|groundPlane"), nullptr);
    EXPECT_EQ(exporter.Node("|persp"), nullptr);
    ASSERT_NE(exporter.Node("|shot"), nullptr);
    EXPECT_NE(exporter.Node("|shot")->GetCamera(), nullptr);
}

// A host joint: a LimbNode of size 100 times the joint display scale, inheriting as a joint.
TEST_F(DagWalkTest, JointIsALimbNodeInheritingAsAJoint) {
    standin::createNode("joint", "hip");
    ExportProbe exporter;
    exporter.Walk();
    ZeqTuloNode* hip = exporter.Node("|hip");
    ASSERT_NE(hip, nullptr);
    ASSERT_NE(hip->GetSkeleton(), nullptr);
    EXPECT_EQ(hip->GetSkeleton()->GetSkeletonType(), KZeqSkeleton::eLIMB_NODE);
    EXPECT_EQ(hip->GetSkeleton()->GetLimbNodeSize(), 100.0);
    ETransformInheritType inherit;
    hip->GetTransformationInheritType(inherit);
    EXPECT_EQ(inherit, eINHERIT_Rrs);
}

// A joint carrying a mesh answers the mesh type first; the mesh cannot be read there, and the joint
// still gets its node.
TEST_F(DagWalkTest, JointWithAMeshKeepsItsNode) {
    TObject joint = standin::createNode("joint", "hand");
    standin::createCube("", false, 1, joint);
    ExportProbe exporter;
    exporter.Walk();
    ZeqTuloNode* hand = exporter.Node("|hand");
    ASSERT_NE(hand, nullptr);
    EXPECT_NE(hand->GetSkeleton(), nullptr);
}

TEST_F(DagWalkTest, LocatorsHandlesAndHiddenTransformsAreNulls) {
    TObject marker = standin::createNode("transform", "marker");
    standin::createNode("locator", "", marker);
    At(marker, "visibility").setValue(false);
    standin::createNode("clusterHandle", "", standin::createNode("transform", "handle"));
    ExportProbe exporter;
    exporter.Walk();
    ASSERT_TRUE(exporter.Node("|marker") && exporter.Node("|handle"));
    EXPECT_NE(exporter.Node("|marker")->GetNull(), nullptr);
    EXPECT_FALSE(exporter.Node("|marker")->GetVisibility());
    EXPECT_NE(exporter.Node("|handle")->GetNull(), nullptr);
    EXPECT_TRUE(exporter.Node("|handle")->GetVisibility());
}

// The cluster builder: a node named after the transform and entered under the path it is given (here
// a second instance), with no attribute, no parent and the host's visibility not read.
TEST_F(DagWalkTest, ClusterBuilderMakesABareNode) {
    TObject handle = standin::createNode("transform", "handle");
    standin::createNode("clusterHandle", "", handle);
    At(handle, "visibility").setValue(false);
    TObject group = standin::createNode("transform", "grp");
    ASSERT_TRUE(standin::parent(handle, group, true));
    TDagPath path = TDagPath::getAPathTo(group);
    ASSERT_TRUE(path.push(handle));
    TFnDagNode fn(path);
    ExportProbe exporter;
    ZeqTuloNode* node = exporter.BuildClusterGeometry(path, fn);
    ASSERT_NE(node, nullptr);
    EXPECT_STREQ(node->GetName(), "Model::handle");
    EXPECT_EQ(node->GetNodeAttribute(), nullptr);
    EXPECT_TRUE(node->GetVisibility());
    EXPECT_EQ(node->GetParent(), nullptr);
    EXPECT_EQ(exporter.Node("|grp|handle"), node);
    EXPECT_EQ(exporter.Node("|handle"), nullptr);
    ASSERT_NE(node->GetDagPath(), nullptr);
    EXPECT_TRUE(*node->GetDagPath() == path);
}

// Lights by kind; an ambient light has no attribute, other kinds a point light made invisible.
TEST_F(DagWalkTest, LightsByKind) {
    TFnPointLight().create();
    TFnSpotLight spot;
    TObject spotShape = spot.create();
    TFnDirectionalLight().create();
    standin::createNode("ambientLight", "", standin::createNode("transform", "ambient"));
    standin::createNode("areaLight", "", standin::createNode("transform", "area"));
    ExportProbe exporter;
    exporter.Walk();
    std::map<std::string, std::pair<int, bool>> kinds;  // type (-1: none), visible
    for (int i = 0; i < exporter.mNodesByDagPath.GetCount(); ++i) {
        const char* key = nullptr;
        auto* node = reinterpret_cast<ZeqTuloNode*>(exporter.mNodesByDagPath.GetFromIndex(i, &key));
        KZeqLight* light = node->GetLight();
        kinds[key] = {light ? static_cast<int>(light->GetLightType()) : -1, node->GetVisibility()};
    }
    const std::string spotPath = TDagPath::getAPathTo(TFnDagNode(spotShape).parent(0)).fullPathName().asChar();
    EXPECT_EQ(kinds[spotPath], std::make_pair(2, true));
    EXPECT_EQ(kinds["|ambient"], std::make_pair(-1, true));
    EXPECT_EQ(kinds["|area"], std::make_pair(0, false));
    ZeqTuloNode* spotNode = exporter.Node(spotPath);
    ASSERT_NE(spotNode->GetLight()->GetGobo(), nullptr);
    EXPECT_NE(std::string(spotNode->GetLight()->GetGobo()->GetName()).find(spotPath.substr(1)), std::string::npos);
    int points = 0, infinites = 0;
    for (const auto& kind : kinds) {
        points += kind.second.first == 0;
        infinites += kind.second.first == 1;
    }
    EXPECT_EQ(points, 2);  // the point light and the area light
    EXPECT_EQ(infinites, 1);
}

// Every look-at group makes its node under its own parent, a second one beside the first or inside
// it too; each camera has its record under its own path.
TEST_F(DagWalkTest, EveryLookAtGroupMakesItsNode) {
    ASSERT_TRUE(standin::buildScene("cameras"));
    standin::createNode("lookAt", "again", standin::find("aimCam_group"));
    standin::createNode("lookAt", "beside", standin::find("aimCam_group"));
    ExportProbe exporter;
    exporter.Walk();
    const auto record = exporter.mCameraInfos.find("|aimCam_group|aimCam");
    ASSERT_NE(record, exporter.mCameraInfos.end());
    EXPECT_FALSE(record->second.mCameraObject.isNull());
    EXPECT_EQ(record->second.mCameraNode, exporter.Node("|aimCam_group|aimCam"));
    ASSERT_NE(exporter.Node("|aimCam_group"), nullptr);
    EXPECT_EQ(exporter.Node("|aimCam_group")->GetNodeAttribute(), nullptr);
    EXPECT_NE(exporter.Node("|aimCam_group|again"), nullptr);
    EXPECT_NE(exporter.Node("|aimCam_group|beside"), nullptr);
    ASSERT_NE(exporter.mCameraInfos.count("|shotCam"), 0u);
    KZeqCamera* camera = exporter.Node("|shotCam")->GetCamera();
    ASSERT_NE(camera, nullptr);
}

// Selection only: a path the active selection lacks gets no node.
TEST_F(DagWalkTest, SelectionOnly) {
    TObject kept = standin::createNode("transform", "kept");
    standin::createNode("transform", "dropped");
    TSelectionList selection;
    selection.add(TDagPath::getAPathTo(kept));
    TGlobal::setActiveSelectionList(selection);
    Params()->SetBoolParam(ZeqTuloUserParams::kExportSelectionOnly, true);
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("selection.zeq")));
    auto back = Read(File("selection.zeq"));
    ASSERT_TRUE(back->ok);
    EXPECT_NE(back->Node("kept"), nullptr);
    EXPECT_EQ(back->Node("dropped"), nullptr);
}

// Two wrapped meshes: a warning in the log for each, the dialog once per export.
TEST_F(DagWalkTest, WrapWarningShownOncePerExport) {
    for (const char* name : {"left", "right"}) {
        TObject shape = standin::createCube(name, false);
        TObject driver = standin::createCube(std::string(name) + "Driver", false);
        ASSERT_TRUE(standin::connectDeformer(standin::createNode("wrap"), 0, driver, shape));
    }
    Params()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ Export Warning");
    ExportProbe exporter;
    exporter.OpenLog();
    exporter.Walk();
    EXPECT_TRUE(exporter.mWrapWarningShown);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    EXPECT_NE(standin::dialogs().records()[0].message.find("NOTE: This dialog will not popup anymore"), std::string::npos);
    exporter.mLog.reset();
    const std::string log = Log();
    EXPECT_NE(log.find("A Wrap deformer has been detected on the following object:  / left / leftShape\n\t\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("object:  / right / rightShape"), std::string::npos);
    EXPECT_NE(exporter.Node("|left")->GetMesh(), nullptr);
}

// A skinned mesh with a smooth-facet operator: "divisions" is 0 while the mesh is read and 2
// again after; the skinned shape is exported with its transform's visibility, its own untouched.
TEST_F(DagWalkTest, SmoothFacetAndSkinnedVisibilityAreGivenBack) {
    ASSERT_TRUE(standin::buildScene("skinRig"));
    // The operator feeds the skin cluster, where the walk from the skin finds it.
    TObject skin = standin::find("legSkin");
    TFnNumericAttribute numeric;
    ASSERT_TRUE(TFnDependencyNode(skin).addAttribute(numeric.create("facetIn", "fi", TFnNumericData::kInt)));
    ASSERT_TRUE(standin::connect(At(standin::find("legFacet"), "divisions"), At(skin, "facetIn")));
    TObject legShape = standin::find("legShape");
    At(standin::find("leg"), "visibility").setValue(false);
    ExportProbe exporter;
    exporter.OpenLog();
    const std::string before = standin::dump();
    exporter.Walk();
    EXPECT_EQ(before, standin::dump());
    EXPECT_TRUE(transcribed("setAttr \\\"legFacet.divisions\\\" 0"));
    EXPECT_TRUE(transcribed("setAttr \\\"legFacet.divisions\\\" 2"));
    bool visible = false;
    At(legShape, "visibility").getValue(visible);
    EXPECT_TRUE(visible);
    ZeqTuloNode* leg = exporter.Node("|leg");
    ASSERT_NE(leg, nullptr);
    EXPECT_FALSE(leg->GetVisibility());
    exporter.mLog.reset();
    EXPECT_NE(Log().find("ZEQ Export Warning: The plugin has detected a polygonSmoothFacet operator and a "
                         "skinCluster.\n\tThis combination of operators is not supported by the plugin. The "
                         "'divisions' \n\tattribute is reset to 0 while exporting.\n"),
              std::string::npos)
        << Log();
}

// With the bind pose off no deformer is looked at: no warning, nothing changed.
TEST_F(DagWalkTest, WithoutBindPoseNoDeformerIsInspected) {
    ASSERT_TRUE(standin::buildScene("skinRig"));
    Params()->SetBoolParam(14, false);
    ExportProbe exporter;
    exporter.OpenLog();
    exporter.Walk();
    EXPECT_FALSE(transcribed("legFacet.divisions"));
    exporter.mLog.reset();
    EXPECT_EQ(Log(), "");
}

// A blend shape's envelope is 0 while its base is read and as it was after.
TEST_F(DagWalkTest, BlendShapeEnvelopeIsGivenBack) {
    ASSERT_TRUE(standin::buildScene("skinRig"));
    TFnBlendShapeDeformer blend(standin::find("legBlend"));
    blend.setEnvelope(0.7f);
    ExportProbe exporter;
    exporter.Walk();
    EXPECT_FLOAT_EQ(blend.envelope(), 0.7f);
}

// A walk the host cannot start fails the export: nothing is written.
TEST_F(DagWalkTest, FailedWalkFails) {
    ExportProbe exporter;
    EXPECT_FALSE(exporter.BuildGeometry(TItDag::kInvalidType, TFn::kInvalid));
    expectFaults({});
}

}  // namespace
