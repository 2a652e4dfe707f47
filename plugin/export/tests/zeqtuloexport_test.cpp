// The export driver: a whole run from the host scene to a file the SDK reads back, the master
// scale, the joint display scale, the take, the log, and the failures that end a run.
#include "zeqtuloexport_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqtakenode.h"
#include "content/kzeqskeleton.h"
#include "scene/kzeqtakeinfo.h"
#include "tfnanimcurve.h"
#include "tfntransform.h"

#include <algorithm>
#include <limits>
#include <vector>

using namespace zeqsdk_400;

namespace {

using DriverTest = ExportTest;

TEST_F(DriverTest, EmptySceneWritesAFileThatReadsBack) {
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("empty.zeq")));
    auto back = Read(File("empty.zeq"));
    ASSERT_TRUE(back->ok);
    // The host's default cameras are not exported.
    EXPECT_EQ(back->scene->GetRootNode()->GetChildCount(false), 0);
    // Nothing to report: the log file is not written.
    EXPECT_EQ(Log(), "");
}

TEST_F(DriverTest, CubeSceneReadsBack) {
    ASSERT_TRUE(standin::buildScene("cube"));
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("cube.zeq")));
    auto back = Read(File("cube.zeq"));
    ASSERT_TRUE(back->ok);
    KZeqNode* hard = back->Node("hardCube");
    ASSERT_NE(hard, nullptr);
    ASSERT_NE(hard->GetMesh(), nullptr);
    EXPECT_EQ(hard->GetMesh()->GetControlPointsCount(), 8);
    EXPECT_EQ(hard->GetMesh()->GetPolygonCount(), 6);
    ASSERT_NE(back->Node("smoothCube"), nullptr);
}

}  // namespace

namespace {

KZeqVector4 DefaultS(KZeqNode* node) {
    KZeqVector4 s;
    return node->GetDefaultS(s);
}

// Master scale 2: the top nodes go under a new "Zeq_Root" scaled (2, 2, 2), which reads back.
TEST_F(DriverTest, MasterScaleTwoAddsAScaledRoot) {
    standin::createNode("transform", "a");
    standin::createNode("transform", "b");
    Params()->SetDoubleParam(4, 2.0);
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("scaled.zeq")));
    auto back = Read(File("scaled.zeq"));
    ASSERT_TRUE(back->ok);
    ASSERT_EQ(back->scene->GetRootNode()->GetChildCount(false), 1);
    KZeqNode* root = back->scene->GetRootNode()->GetChild(0);
    EXPECT_STREQ(root->GetName(), "Model::Zeq_Root");
    EXPECT_EQ(DefaultS(root)[0], 2.0);
    EXPECT_EQ(root->GetChildCount(false), 2);
}

// Pivot set 0 of the node and its whole subtree becomes "reference"; set 1, the node's parent and
// its siblings keep theirs.
TEST_F(DriverTest, DisablePivotUseCoversTheSubtree) {
    ExportProbe exporter;
    std::vector<ZeqTuloNode*> nodes{static_cast<ZeqTuloNode*>(exporter.mRootNode)};
    auto make = [&](const char* name, KZeqNode* parent) {
        nodes.push_back(exporter.mSdkManager.CreateZeqTuloNode(name, nullptr));
        EXPECT_TRUE(parent->AddChild(nodes.back()));
        return nodes.back();
    };
    ZeqTuloNode* top = make("top", exporter.mRootNode);
    ZeqTuloNode* arm = make("arm", top);
    make("sibling", top);
    ZeqTuloNode* forearm = make("forearm", arm);
    const std::vector<ZeqTuloNode*> subtree{arm, forearm, make("hand", forearm), make("elbow", arm)};
    for (ZeqTuloNode* node : nodes) {
        node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        node->SetPivotState(KZeqNode::eDESTINATION_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    }
    exporter.DisablePivotUse(arm);
    exporter.DisablePivotUse(nullptr);
    for (ZeqTuloNode* node : nodes) {
        const bool below = std::find(subtree.begin(), subtree.end(), node) != subtree.end();
        KZeqNode::EPivotState source, destination;
        node->GetPivotState(KZeqNode::eSOURCE_SET, source);
        node->GetPivotState(KZeqNode::eDESTINATION_SET, destination);
        EXPECT_EQ(source, below ? KZeqNode::ePIVOT_STATE_REFERENCE : KZeqNode::ePIVOT_STATE_ACTIVE) << node->GetName();
        EXPECT_EQ(destination, KZeqNode::ePIVOT_STATE_ACTIVE) << node->GetName();
    }
}

TEST_F(DriverTest, MasterScaleOneChangesNothing) {
    standin::createNode("transform", "a");
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("one.zeq")));
    auto back = Read(File("one.zeq"));
    ASSERT_TRUE(back->ok);
    EXPECT_EQ(back->Node("Zeq_Root"), nullptr);
    EXPECT_NE(back->Node("a"), nullptr);
}

// A Zeq root that only undoes the master scale (scaling 1/2 for 2) gives way to its children; one
// that does more keeps its place and only its animation is converted.
TEST_F(DriverTest, InverseZeqRootIsLiftedOut) {
    ExportProbe exporter;
    ZeqTuloNode* inverse = exporter.mSdkManager.CreateZeqTuloNode("Zeq_Root", nullptr);
    inverse->SetDefaultS(KZeqVector4(0.5, 0.5, 0.5, 1));
    ZeqTuloNode* child = exporter.mSdkManager.CreateZeqTuloNode("inside", nullptr);
    inverse->AddChild(child);
    exporter.mRootNode->AddChild(inverse);
    ZeqTuloNode* other = exporter.mSdkManager.CreateZeqTuloNode("rig_Zeq_Root", nullptr);
    other->SetDefaultS(KZeqVector4(3, 3, 3, 1));
    exporter.mRootNode->AddChild(other);
    exporter.ApplyMasterScale(2.0);
    EXPECT_EQ(inverse->GetParent(), nullptr);
    EXPECT_EQ(child->GetParent(), exporter.mRootNode);
    EXPECT_EQ(other->GetParent(), exporter.mRootNode);
    EXPECT_EQ(exporter.mRootNode->GetChildCount(false), 2) << "no new root: every top node is a Zeq root";
}

// A master scale that is no number, infinite or not positive is not applied (a log line says so).
struct ScaleCase {
    const char* name;
    double scale;
};
class UnusableMasterScale : public ExportTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(UnusableMasterScale, LeavesTheSceneUnscaled) {
    standin::createNode("transform", "a");
    Params()->SetDoubleParam(4, GetParam().scale);
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("unscaled.zeq")));
    EXPECT_EQ(exporter.mRootNode->GetChildCount(false), 1);
    EXPECT_STREQ(exporter.mRootNode->GetChild(0)->GetName(), "Model::a");
    EXPECT_NE(Log().find("cannot be applied; the scene is exported unscaled."), std::string::npos) << Log();
}
const ScaleCase kScales[] = {{"Zero", 0.0},
                             {"Negative", -2.0},
                             {"NaN", std::numeric_limits<double>::quiet_NaN()},
                             {"Infinite", std::numeric_limits<double>::infinity()}};
INSTANTIATE_TEST_SUITE_P(Scales, UnusableMasterScale, ::testing::ValuesIn(kScales), CaseName());

// A sampling rate of 0 would never end the resampling of a Zeq root's animation: 30 is used.
TEST_F(DriverTest, UnusableSamplingRateFallsBackToThirty) {
    Params()->SetDoubleParam(5, 0.0);
    ExportProbe exporter;
    exporter.OpenLog();
    exporter.mRootNode->AddChild(exporter.mSdkManager.CreateZeqTuloNode("Zeq_Root", nullptr));
    exporter.ApplyMasterScale(2.0);
    exporter.mLog.reset();
    EXPECT_NE(Log().find("The export sampling rate 0.000000 cannot be used; 30 is used instead."), std::string::npos)
        << Log();
}

// The limb size is 100 times the host's joint display scale, raised to 1e-7 first.
TEST_F(DriverTest, JointDisplayScale) {
    standin::createNode("joint", "j");
    for (const auto& [command, size] : std::vector<std::pair<std::string, double>>{
             {"jointDisplayScale -a 2", 200.0}, {"jointDisplayScale -a 0.00000001", 1e-5}, {"jointDisplayScale -a 1e-7", 1e-5}}) {
        ASSERT_NE(run(command), "<failed>");
        ExportProbe exporter;
        ASSERT_TRUE(Export(exporter, File("joint.zeq")));
        EXPECT_DOUBLE_EQ(exporter.mJointDisplayScale, size) << command;
        EXPECT_DOUBLE_EQ(exporter.Named("j")->GetSkeleton()->GetLimbNodeSize(), size) << command;
    }
}

// A write that cannot happen (a missing folder, a folder as the file) fails the export, leaves no
// file behind and says so in the log.
TEST_F(DriverTest, UnwritableTargetFails) {
    standin::createNode("transform", "a");
    for (const std::string& target : {File("missing/folder/out.zeq"), mDirectory}) {
        ExportProbe exporter;
        EXPECT_FALSE(Export(exporter, target)) << target;
    }
    EXPECT_EQ(ZeqTuloReadFile(File("missing/folder/out.zeq")), "");
    const std::string log = Log();
    EXPECT_NE(log.find("File Export : " + File("missing/folder/out.zeq") + "\n\n\tCannot write \"" +
                       File("missing/folder/out.zeq") + "\": No such file or directory\n\tFile Export Failed.\n"),
              std::string::npos)
        << log;
}

// The file a symbolic link names is replaced and the link stays; a named pipe is refused, left as
// it is, and the log says why.
TEST_F(DriverTest, ALinkIsFollowedAndAPipeRefused) {
    standin::createNode("transform", "a");
    const std::string real = File("real.zeq"), link = File("link.zeq"), pipe = File("pipe.zeq");
    ASSERT_EQ(::symlink("real.zeq", link.c_str()), 0);
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ZeqTuloReadFile(real), "");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ExportProbe refused;
    EXPECT_FALSE(Export(refused, pipe));
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_NE(Log().find("\t\"" + pipe + "\" is not replaced: it is a named pipe, not a regular file\n\tFile Export Failed.\n"),
              std::string::npos)
        << Log();
}

}  // namespace

namespace {

// Animation goes to "Take 001", recorded over the host's playback range and made current; a
// keyed visibility makes the node visible with the keys in the take.
TEST_F(DriverTest, TakeOverThePlaybackRange) {
    TObject ball = standin::createNode("transform", "ball");
    TFnDependencyNode fn(ball);
    TFnAnimCurve bounce;
    bounce.create(fn.findPlug("translateY"));
    bounce.addKey(TTime(0.0, TTime::kSeconds), 0.0);
    bounce.addKey(TTime(2.0, TTime::kSeconds), 5.0);
    TFnAnimCurve blink;
    blink.create(fn.findPlug("visibility"));
    blink.addKey(TTime(0.0, TTime::kSeconds), 0.0);
    blink.addKey(TTime(1.0, TTime::kSeconds), 1.0);
    fn.findPlug("visibility").setValue(false);
    TAnimControl::setMinMaxTime(TTime(0.5, TTime::kSeconds), TTime(3.0, TTime::kSeconds));
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("take.zeq")));
    EXPECT_STREQ(exporter.mScene->GetCurrentTakeName(), "Take 001");
    KZeqTakeInfo* info = exporter.mScene->GetTakeInfo(KString("Take 001"));
    ASSERT_NE(info, nullptr);
    EXPECT_DOUBLE_EQ(info->mLocalTimeSpan.GetStart().GetSecondDouble(), 0.5);
    EXPECT_DOUBLE_EQ(info->mReferenceTimeSpan.GetStop().GetSecondDouble(), 3.0);
    ZeqTuloNode* node = exporter.Named("ball");
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->GetVisibility());
    ASSERT_TRUE(node->SetCurrentTakeNode("Take 001"));
    ASSERT_NE(node->GetCurrentTakeNode()->GetVisibility(), nullptr);
    EXPECT_EQ(node->GetCurrentTakeNode()->GetVisibility()->KeyGetCount(), 2);
    auto back = Read(File("take.zeq"));
    ASSERT_TRUE(back->ok);
    EXPECT_NE(back->scene->GetTakeInfo(KString("Take 001")), nullptr);
}

// A host "Zeq_Root" scaled by the inverse of the master scale gives way to its children in the
// written file.
TEST_F(DriverTest, HostZeqRootUndoingTheMasterScale) {
    TObject root = standin::createNode("transform", "Zeq_Root");
    TFnTransform(root).setScale(std::vector<double>{0.5, 0.5, 0.5}.data());
    standin::createNode("transform", "inside", root);
    Params()->SetDoubleParam(4, 2.0);
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("lifted.zeq")));
    auto back = Read(File("lifted.zeq"));
    ASSERT_TRUE(back->ok);
    EXPECT_EQ(back->Node("Zeq_Root"), nullptr);
    ASSERT_NE(back->Node("inside"), nullptr);
    EXPECT_EQ(back->Node("inside")->GetParent(), back->scene->GetRootNode());
}

}  // namespace

namespace {

// Every named scene of the stand-in exports without changing the host and reads back.
class FixtureExport : public ExportTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(FixtureExport, LeavesTheHostAsItWasAndReadsBack) {
    ASSERT_TRUE(standin::buildScene(GetParam()));
    Params()->SetBoolParam(ZeqTuloUserParams::kExportHardEdges, true);
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File(GetParam() + ".zeq")));
    auto back = Read(File(GetParam() + ".zeq"));
    EXPECT_TRUE(back->ok);
    EXPECT_GT(back->scene->GetRootNode()->GetChildCount(false), 0);
}
INSTANTIATE_TEST_SUITE_P(Scenes, FixtureExport,
                         ::testing::Values("cube", "skinRig", "nurbs", "cameras", "sample", "rich"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace

namespace {

// A textured NURBS patch and the periodic tube read back with the patch's layers, material and
// texture.
TEST_F(DriverTest, TexturedNurbsReadsBack) {
    ASSERT_TRUE(standin::buildScene("nurbs"));
    TObject shader = standin::createNode("lambert", "cloth");
    standin::createFileTexture("weave", "/t/weave.tif", TFnDependencyNode(shader).findPlug("color"));
    standin::addToSet(standin::createShadingGroup(shader), TDagPath::getAPathTo(standin::find("patchShape")));
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("nurbs.zeq")));
    auto back = Read(File("nurbs.zeq"));
    ASSERT_TRUE(back->ok);
    KZeqNode* patch = back->Node("patch");
    ASSERT_TRUE(patch && patch->GetNurb());
    KZeqNurb* nurb = patch->GetNurb();
    EXPECT_EQ(nurb->GetMaterialCount(0), 1);
    ASSERT_EQ(nurb->GetTextureCount(0), 1);
    EXPECT_STREQ(nurb->GetTexture(0, 0)->GetFileName(), "/t/weave.tif");
    EXPECT_STREQ(nurb->GetMaterial(0, 0)->GetName(), "Material::cloth");
    KZeqNode* tube = back->Node("tube");
    ASSERT_TRUE(tube && tube->GetNurb());
    EXPECT_EQ(tube->GetNurb()->GetNurbVType(), KZeqNurb::ePERIODIC);
}

}  // namespace
