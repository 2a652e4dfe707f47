// Whole exports through the host program, strict and without dialogs: every stand-in scene writes
// a file the SDK's importer reads back with its links, poses, shapes, cameras, lights and the
// animation of "Take 001" over the playback range.
#include "zeqtuloexport_anim_support.h"

#include <memory>

#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace {

// A file read back into a scene of a manager of the test's own.
struct ReadBack {
    std::unique_ptr<KZeqSdkManager> mManager{KZeqSdkManager::CreateKZeqSdkManager()};
    KZeqScene* mScene = nullptr;
    bool mOk = false;

    explicit ReadBack(const std::string& file) {
        mScene = mManager->CreateKZeqScene();
        KZeqImporter* importer = mManager->CreateKZeqImporter();
        mOk = importer && importer->Initialize(file.c_str()) && importer->Import(*mScene);
    }
    KZeqNode* Node(const char* name) const { return mScene->GetRootNode()->FindChild(name, true); }
    KZeqGeometry* Geometry(const char* name) const {
        KZeqNode* node = Node(name);
        return node ? static_cast<KZeqGeometry*>(node->GetNodeAttribute()) : nullptr;
    }
    KZeqPose* Pose(const char* name) const {
        for (int i = 0; i < mScene->GetPoseCount(); ++i)
            if (mScene->GetPose(i)->GetNameWithoutNameSpacePrefix() == name) return mScene->GetPose(i);
        return nullptr;
    }
    static KFCurve* InTake(KZeqNode* node, KFCurve* (KZeqTakeNode::*channel)()) {
        if (!node || !node->SetCurrentTakeNode("Take 001")) return nullptr;
        return (node->GetCurrentTakeNode()->*channel)();
    }
};

class RoundTripTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mDirectory = ZeqTuloTestDirectory();
        ASSERT_EQ(symlink(ZEQTULO_MODULE, (mDirectory + "libzeqtulo.so").c_str()), 0);
    }
    // Exports the named scene through the host program; the file's path.
    std::string Export(const std::string& scene) {
        const std::string file = mDirectory + scene + ".zeq";
        std::string output;
        EXPECT_EQ(RunStandin(mDirectory,
                             "--strict -c 'standin_scene " + scene + "; ZEQExportShowUI 0; ZEQExport -f \"" + file + "\"'",
                             output),
                  0)
            << output;
        return file;
    }
    std::string mDirectory;
};

struct FixtureCase {
    const char* name;
    bool skin;   // the skinned, blended leg
    bool patch;  // the NURBS patch with its cluster
};

class FixtureRoundTrip : public RoundTripTest, public ::testing::WithParamInterface<FixtureCase> {};

TEST_P(FixtureRoundTrip, ReadsBack) {
    ReadBack back(Export(GetParam().name));
    ASSERT_TRUE(back.mOk);
    EXPECT_GT(back.mScene->GetRootNode()->GetChildCount(false), 0);
    KZeqGeometry* leg = back.Geometry("leg");
    EXPECT_EQ(leg ? leg->GetLinkCount() : 0, GetParam().skin ? 4 : 0);
    EXPECT_EQ(leg ? leg->GetShapeCount() : 0, GetParam().skin ? 1 : 0);
    EXPECT_EQ(back.Pose("legSkin") != nullptr, GetParam().skin);
    KZeqGeometry* patch = back.Geometry("patch");
    EXPECT_EQ(patch ? patch->GetLinkCount() : 0, GetParam().patch ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureRoundTrip,
                         ::testing::Values(FixtureCase{"cube", false, false}, FixtureCase{"skinRig", true, false},
                                           FixtureCase{"nurbs", false, true}, FixtureCase{"cameras", false, false},
                                           FixtureCase{"sample", true, true}, FixtureCase{"rich", true, true}),
                         [](const ::testing::TestParamInfo<FixtureCase>& info) { return std::string(info.param.name); });

TEST_F(RoundTripTest, SkinRigKeepsLinksPoseAndShape) {
    ReadBack back(Export("skinRig"));
    ASSERT_TRUE(back.mOk);
    KZeqGeometry* leg = back.Geometry("leg");
    ASSERT_NE(leg, nullptr);
    ASSERT_EQ(leg->GetLinkCount(), 4);
    int points = 0;
    for (int i = 0; i < leg->GetLinkCount(); ++i) points += leg->GetLink(i)->GetControlPointIndicesCount();
    EXPECT_EQ(points, 30);
    KZeqPose* pose = back.Pose("legSkin");
    ASSERT_NE(pose, nullptr);
    EXPECT_TRUE(pose->IsBindPose());
    for (const char* name : {"Model::leg", "Model::hip", "Model::knee", "Model::ankle", "Model::ctrl"})
        EXPECT_GE(pose->Find(name), 0) << name;
    ASSERT_EQ(leg->GetShapeCount(), 1);
    EXPECT_STREQ(leg->GetShapeName(0), "slegBlend.Smile");
    // The target left the scene as a node.
    EXPECT_EQ(back.Node("Smile"), nullptr);
}

TEST_F(RoundTripTest, NurbsClusterIsALink) {
    ReadBack back(Export("nurbs"));
    ASSERT_TRUE(back.mOk);
    KZeqGeometry* patch = back.Geometry("patch");
    ASSERT_NE(patch, nullptr);
    ASSERT_EQ(patch->GetLinkCount(), 1);
    EXPECT_EQ(patch->GetLink(0)->GetLinkMode(), KZeqLink::eADDITIVE);
    EXPECT_EQ(patch->GetLink(0)->GetControlPointIndicesCount(), 4);
    EXPECT_STREQ(patch->GetLink(0)->GetUserData("Tulo_ClusterHint").Buffer(), "WeightedCluster");
}

// An animated hierarchy with lights and an aimed camera: the take spans the playback range, the
// curves come back, the camera keeps its targets and the lights their defaults.
TEST_F(RoundTripTest, RichSceneAnimationReadsBackInTake001) {
    ReadBack back(Export("rich"));
    ASSERT_TRUE(back.mOk);
    KZeqTakeInfo* take = back.mScene->GetTakeInfo("Take 001");
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(take->mLocalTimeSpan.GetStart().Get(), 0);
    EXPECT_EQ(take->mLocalTimeSpan.GetStop().Get(), KTime::kTicksPerSecond);

    KZeqNode* dancer = back.Node("dancer");
    ASSERT_NE(dancer, nullptr);
    KFCurve* tx = ReadBack::InTake(dancer, &KZeqTakeNode::GetTranslationX);
    ASSERT_NE(tx, nullptr);
    EXPECT_GE(tx->KeyGetCount(), 9);
    KFCurve* ry = ReadBack::InTake(dancer, &KZeqTakeNode::GetEulerRotationY);
    ASSERT_NE(ry, nullptr);
    EXPECT_GE(ry->KeyGetCount(), 3);

    KZeqNode* crane = back.Node("crane");
    ASSERT_NE(crane, nullptr);
    ASSERT_NE(crane->GetTarget(), nullptr);
    EXPECT_STREQ(crane->GetTarget()->GetName(), "Model::crane_aim");
    ASSERT_NE(crane->GetTargetUp(), nullptr);

    KFCurve* intensity = ReadBack::InTake(back.Node("lamp"), &KZeqTakeNode::GetLightIntensity);
    ASSERT_NE(intensity, nullptr);
    ASSERT_EQ(intensity->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(intensity->KeyGetPtr(1)->GetValue(), 300.0f);

    KZeqGeometry* leg = back.Geometry("leg");
    ASSERT_NE(leg, nullptr);
    ASSERT_EQ(leg->GetShapeCount(), 1);
    KZeqNode* legNode = back.Node("leg");
    ASSERT_TRUE(legNode->SetCurrentTakeNode("Take 001"));
    KFCurve* weight = leg->GetShapeChannel(legNode->GetCurrentTakeNode(), 0);
    ASSERT_NE(weight, nullptr);
    EXPECT_EQ(weight->KeyGetCount(), 3);
    EXPECT_FLOAT_EQ(weight->KeyGetPtr(1)->GetValue(), 100.0f);
}

}  // namespace
