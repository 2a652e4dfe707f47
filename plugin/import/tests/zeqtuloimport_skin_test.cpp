// Skin clusters: skin links of Zeq files made with the SDK imported into the stand-in (influences,
// weights, bind matrices, the links left out), and the stand-in's own scenes exported, imported
// into a new scene and exported again through the host program.
#include <cmath>
#include <vector>

#include "base/kzeqmatrix.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqskeleton.h"
#include "importtest_support.h"
#include "plugin/import/zeqtuloimport.h"
#include "tfndagnode.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "shadingdigest.h"
#include "tfndeformer.h"
#include "titdependencygraph.h"

using namespace zeqsdk_400;
using importtest::AddNode;
using importtest::HostAttr;

namespace {

KZeqXMatrix Translation(double x, double y, double z) {
    KZeqXMatrix m;
    m.SetT(KZeqVector4(x, y, z, 1));
    return m;
}

// A link of the mode to the node, bound at the given place, with (point, weight) pairs.
KZeqLink* Link(KZeqSdkManager& manager, KZeqGeometry& geometry, KZeqNode* node, double bindY,
               const std::vector<std::pair<int, double>>& weights, KZeqLink::ELinkMode mode = KZeqLink::eNORMALIZE) {
    KZeqLink* link = manager.CreateKZeqLink();
    link->SetLinkMode(mode);
    link->SetLink(node);
    for (const auto& w : weights) link->AddControlPointIndex(w.first, w.second);
    link->SetTransformMatrix(Translation(0, 0, 2));
    link->SetTransformLinkMatrix(Translation(0, bindY, 0));
    geometry.AddLink(link);
    return link;
}

// A strip of 6 points in two rows of three.
KZeqMesh* Strip(KZeqSdkManager& manager, KZeqScene& scene) {
    KZeqMesh* mesh = AddNode(manager, scene.GetRootNode(), "strip", "mesh")->GetMesh();
    mesh->InitControlPoints(6);
    for (int i = 0; i < 6; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i % 3, 0, i / 3, 1);
    for (int f = 0; f < 2; ++f) {
        mesh->BeginPolygon();
        for (int v : {f, f + 3, f + 4, f + 1}) mesh->AddPolygon(v);
    }
    return mesh;
}

std::vector<float> Weights(const char* skinName, const char* shape, unsigned influence) {
    TFnSkinCluster skin(standin::find(skinName));
    TFloatArray w;
    skin.getWeights(TDagPath::getAPathTo(standin::find(shape)), TObject(), influence, w);
    return std::vector<float>(w.values().begin(), w.values().end());
}

class SkinTest : public ImportDriverTest {
protected:
    // Two joints and a null weigh the strip; a cluster link, an additive link and weights beyond
    // the points come along.
    std::string RigFile() {
        return Write("rig", [](KZeqSdkManager& m, KZeqScene& s) {
            KZeqNode* hip = AddNode(m, s.GetRootNode(), "hip", "skeleton:2");
            KZeqNode* knee = AddNode(m, hip, "knee", "skeleton:2");
            KZeqNode* ctrl = AddNode(m, s.GetRootNode(), "ctrl", "null");
            KZeqMesh* strip = Strip(m, s);
            Link(m, *strip, hip, 0, {{0, 0.5}, {1, 0.25}, {2, 0.2}, {3, 1.0}});
            Link(m, *strip, knee, -4, {{0, 0.5}, {1, 0.25}, {2, 0.2}, {4, 1.0}, {40, 1.0}});
            Link(m, *strip, ctrl, 1, {{1, 0.5}, {5, 1.0}});
            KZeqLink* cluster = Link(m, *strip, ctrl, 1, {{2, 1.0}});
            cluster->SetUserData("Tulo_ClusterHint", "WeightedCluster");
            Link(m, *strip, hip, 0, {{5, 1.0}}, KZeqLink::eADDITIVE);
        });
    }
};

TEST_F(SkinTest, JointsWeighTheStripNormalisedPerPoint) {
    ASSERT_TRUE(Import(RigFile()));
    TFnSkinCluster skin(standin::find("skinCluster1"));
    TDagPathArray influences;
    ASSERT_EQ(skin.influenceObjects(influences), 2u);
    EXPECT_EQ(str(influences[0].partialPathName()), "hip");
    EXPECT_EQ(str(influences[1].partialPathName()), "knee");
    // Point 1: 0.25 + 0.25 (the null's 0.5 is left out) -> 0.5 each; point 2: 0.2 + 0.2; point 5:
    // only the null's, so nothing.
    EXPECT_EQ(Weights("skinCluster1", "strip", 0), (std::vector<float>{0.5f, 0.5f, 0.5f, 1, 0, 0}));
    EXPECT_EQ(Weights("skinCluster1", "strip", 1), (std::vector<float>{0.5f, 0.5f, 0.5f, 0, 1, 0}));
    // Bind matrices as the file has them.
    EXPECT_EQ(HostAttr("skinCluster1.geomMatrix"), "1 0 0 0 0 1 0 0 0 0 1 0 0 0 2 1");
    EXPECT_EQ(HostAttr("skinCluster1.bindPreMatrix[1]"), "1 0 0 0 0 1 0 0 0 0 1 0 0 4 0 1");
    EXPECT_EQ(HostAttr("knee.bindPose"), "1 0 0 0 0 1 0 0 0 0 1 0 0 -4 0 1");
    const std::string log = Log();
    EXPECT_NE(log.find("Node strip: influence ctrl is not a joint; its weights are left out."), std::string::npos) << log;
    EXPECT_NE(log.find("Node strip: 2 links are not a skin link (cluster or additive); left out."), std::string::npos) << log;
}

TEST_F(SkinTest, WeightsAsWrittenWithoutNormalising) {
    Params()->SetBoolParam(ZeqTuloUserParams::kImportForceWeightNormalize, false);
    ASSERT_TRUE(Import(RigFile()));
    EXPECT_EQ(Weights("skinCluster1", "strip", 0), (std::vector<float>{0.5f, 0.25f, 0.2f, 1, 0, 0}));
}

// With nulls made joints, the null is an influence like the others.
TEST_F(SkinTest, DeformingNullsMadeJointsAreInfluences) {
    Params()->SetBoolParam(ZeqTuloUserParams::kImportDeformNullsAsJoints, true);
    ASSERT_TRUE(Import(RigFile()));
    TDagPathArray influences;
    EXPECT_EQ(TFnSkinCluster(standin::find("skinCluster1")).influenceObjects(influences), 3u);
    EXPECT_EQ(Weights("skinCluster1", "strip", 2), (std::vector<float>{0, 0.5f, 0, 0, 0, 1}));
    EXPECT_EQ(HostAttr("ctrl.bindPose"), "1 0 0 0 0 1 0 0 0 0 1 0 0 1 0 1");
}

// The builder on a scene of its own: weights naming points the shape lacks, and influences whose
// node has no host node, are left out; the rest is built.
TEST_F(SkinTest, WeightsBeyondThePointsAndNodesWithoutHostNodes) {
    TObject hip = standin::createNode("joint", "hip");
    TObject shape = standin::createGrid("strip", 2, 1);  // 6 points
    ZeqTuloImport driver;
    ZeqTuloSdkManager& m = driver.GetSdkManager();
    TDagPath hipPath = TDagPath::getAPathTo(hip), stripPath = TDagPath::getAPathTo(TFnDagNode(shape).parent(0));
    ZeqTuloNode* root = m.CreateZeqTuloNode("root", nullptr);
    ZeqTuloNode* bone = m.CreateZeqTuloNode("hip", &hipPath);
    ZeqTuloNode* ghost = m.CreateZeqTuloNode("ghost", nullptr);
    bone->SetNodeAttribute(m.CreateKZeqSkeleton());
    ghost->SetNodeAttribute(m.CreateKZeqSkeleton());
    ZeqTuloNode* strip = m.CreateZeqTuloNode("strip", &stripPath);
    KZeqMesh* mesh = m.CreateKZeqMesh();
    strip->SetNodeAttribute(mesh);
    mesh->InitControlPoints(6);
    for (ZeqTuloNode* n : {bone, ghost, strip}) root->AddChild(n);
    Link(m, *mesh, bone, 0, {{0, 1.0}, {6, 1.0}, {1000000, 0.5}, {5, 0.5}});
    Link(m, *mesh, ghost, 0, {{5, 0.5}});
    driver.BuildClusterInformation(root);
    TItDependencyNodes clusters(TFn::kSkinCluster);
    ASSERT_FALSE(clusters.isDone());
    TFnSkinCluster skin(clusters.item());
    TDagPathArray influences;
    EXPECT_EQ(skin.influenceObjects(influences), 1u);
    TFloatArray w;
    skin.getWeights(TDagPath::getAPathTo(shape), TObject(), 0, w);
    EXPECT_EQ(std::vector<float>(w.values().begin(), w.values().end()), (std::vector<float>{1, 0, 0, 0, 0, 1}));
    m.DestroyKZeqNode(root, true);
}

// Weights summing to 0 stay 0 rather than dividing by it; a bound host geometry keeps its own.
TEST_F(SkinTest, ZeroSumsAndBoundGeometry) {
    const std::string file = Write("zero", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* hip = AddNode(m, s.GetRootNode(), "hip", "skeleton:2");
        KZeqNode* knee = AddNode(m, hip, "knee", "skeleton:2");
        KZeqMesh* strip = Strip(m, s);
        Link(m, *strip, hip, 0, {{0, 0.5}, {1, -0.5}});
        Link(m, *strip, knee, -4, {{0, 0.5}, {1, 0.5}});
    });
    ASSERT_TRUE(Import(file));
    EXPECT_EQ(Weights("skinCluster1", "strip", 0), (std::vector<float>{0.5f, -0.5f, 0, 0, 0, 0}));
    // Merged into a scene that holds the strip: the strip is bound, no second cluster is made.
    Params()->SetImportType(KZeqUserParams::kMerge);
    ASSERT_TRUE(Import(file));
    TItDependencyNodes clusters(TFn::kSkinCluster);
    int count = 0;
    for (; !clusters.isDone(); clusters.next()) ++count;
    EXPECT_EQ(count, 1);
}

// A surface closed in U whose knots are uneven goes to the host open with its repeated CVs kept:
// the weights of a repeated point follow the point it repeats, rows are the host's.
TEST_F(SkinTest, SurfaceWeightsCountRepeatedPoints) {
    const std::string file = Write("surface", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* bone = AddNode(m, s.GetRootNode(), "bone", "skeleton:2");
        KZeqNode* node = AddNode(m, s.GetRootNode(), "sheet", "none");
        KZeqNurb* nurb = m.CreateKZeqNurb();
        node->SetNodeAttribute(nurb);
        nurb->SetOrder(3, 2);
        nurb->InitControlPoints(4, KZeqNurb::eCLOSED, 2, KZeqNurb::eOPEN);
        for (int i = 0; i < 8; ++i) nurb->GetControlPoints()[i] = KZeqVector4(std::cos(i % 4), i / 4, std::sin(i % 4), 1);
        const double uneven[] = {-2, -1, 0, 1, 2.5, 3, 4, 5, 6};
        for (int k = 0; k < nurb->GetUKnotCount(); ++k) nurb->GetUKnotVector()[k] = uneven[k];
        for (int k = 0; k < nurb->GetVKnotCount(); ++k) nurb->GetVKnotVector()[k] = k < 2 ? 0 : 1;
        Link(m, *nurb, bone, 0, {{0, 0.25}, {1, 0.5}, {5, 0.75}});
    });
    Params()->SetBoolParam(ZeqTuloUserParams::kImportForceWeightNormalize, false);
    ASSERT_TRUE(Import(file));
    // Host rows: Zeq row v with its 4 points and the first 2 again.
    EXPECT_EQ(Weights("skinCluster1", "sheetShape", 0),
              (std::vector<float>{0.25f, 0.5f, 0, 0, 0.25f, 0.5f, 0, 0.75f, 0, 0, 0, 0.75f}));
}

// The stand-in's scenes, exported, imported into a new scene and exported again by the host
// program under --strict: the same materials, textures, skin links and bind matrices.
struct FixtureCase {
    const char* scene;
    const char* options;
    const char* holds;  // what the digest must show, so that the comparison is not of nothing
};

class FixtureRoundTrip : public ZeqTuloImportTest, public ::testing::WithParamInterface<FixtureCase> {};

TEST_P(FixtureRoundTrip, ExportImportExportKeepsShadingAndSkins) {
    const FixtureCase c = GetParam();
    const std::string a = mDirectory + "a.zeq", b = mDirectory + "b.zeq";
    std::string output;
    const int status = RunStandin(mDirectory, std::string("--strict -c 'ZEQImportShowUI 0' -c 'ZEQExportShowUI 0' ") +
                                                  c.options + " -c 'standin_scene " + c.scene + "' -c 'ZEQExport -f \"" + a +
                                                  "\"' -c 'file -f -new' -c 'ZEQImport -f \"" + a + "\"' -c 'ZEQExport -f \"" +
                                                  b + "\"'",
                                  output);
    ASSERT_EQ(status, 0) << output;
    const std::string before = importtest::ShadingDigest(a), after = importtest::ShadingDigest(b);
    EXPECT_EQ(before, after);
    EXPECT_NE(after.find(c.holds), std::string::npos) << after;
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, FixtureRoundTrip,
    ::testing::Values(FixtureCase{"cube", "", "layer 0 Texture::brick file /textures/brick.tif"},
                      FixtureCase{"skinRig", "-c 'ZEQImportConvertDeformingNullsToJoint 1'", "link ctrl"},
                      FixtureCase{"nurbs", "", "node tube"}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) { return std::string(info.param.scene); });

}  // namespace
