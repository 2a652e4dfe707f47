// Limits, targets, pivots, cameras and lights: round trips in six forms, hand-made records, 5.8 omissions.

#include <cmath>
#include <gtest/gtest.h>
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {
typedef KZeqCamera C;
typedef KZeqNodeLimits L;
KZeqVector4 V(double x, double y, double z) { return KZeqVector4(x, y, z, 0); }

// Limits automatic and manual, targets with up vectors ((360, 0, 0) and (180, 180, 180) among them), a
// camera with every field away from its default, one of known formats, three lights.
struct CameraLightTest : ::testing::TestWithParam<ZeqFileCase> {
    CameraLightTest() {
        KZeqNode* automatic = Node("Automatic");
        automatic->SetPreRotation(KZeqNode::eSOURCE_SET, V(0, 45, 0));
        automatic->SetPostRotation(KZeqNode::eSOURCE_SET, V(10, 0, -5));
        L& limits = Node("Manual")->GetLimits();
        for (auto kind : {L::eT, L::eR, L::eS}) limits.SetAuto(kind, false);
        limits.SetEnable(L::eT, true), limits.SetMin(L::eT, V(-1, 0, -3)), limits.SetMax(L::eT, V(1, 2, 0));
        limits.SetMin(L::eS, V(1, 1, 1)), limits.SetMax(L::eS, V(2, 1, 3));
        limits.SetDefault(L::eR, V(0, 30, 0)), limits.SetRotationAxis(V(0, 0, 90));
        limits.SetRotationType(L::eROTATION_SPHERIC_XYZ), limits.SetAxisLength(2.5);
        KZeqNode *goal = Node("Goal"), *up = Node("Up"), *aim = Node("Aim"), *turned = Node("Turned");
        aim->SetTarget(goal), aim->SetTargetUp(up), aim->SetPostTargetRotation(V(360, 0, 0));
        aim->SetTargetUpVector(V(0, 1, 0)), turned->SetTarget(goal), turned->SetPostTargetRotation(V(180, 180, 180));
        Node("UpOnly")->SetTargetUp(up), mScene->GetRootNode()->FindChild("UpOnly")->SetTargetUpVector(V(1, 0, 0));
        KZeqCamera* c = static_cast<KZeqCamera*>(Node("Camera", mManager.CreateKZeqCamera())->GetNodeAttribute());
        c->SetPosition(KZeqVector4(1, 2, 3, 1)), c->SetUpVector(KZeqVector4(0, 0, 1, 1));
        c->SetDefaultCameraInterestPosition(KZeqVector4(4, 5, 6, 1)), c->SetRoll(12), c->SetTurnTable(3);
        c->SetProjectionType(C::eORTHOGONAL), c->SetAspect(C::eFIXED_RESOLUTION, 800, 600), c->SetPixelRatio(1.5);
        c->SetMouseLock(true), c->SetApertureMode(C::eVERTICAL), c->SetApertureWidth(1.2), c->SetApertureHeight(0.7);
        c->SetSqueezeRatio(2), c->SetNearPlane(2), c->SetFarPlane(9000), c->SetFocalLength(50);
        c->SetDefaultFieldOfViewX(33), c->SetDefaultOpticalCenterY(0.25), c->SetBackgroundDisplayMode(C::eALWAYS);
        c->SetBackgroundDrawingMode(C::eBACKGROUND_AND_FOREGROUND), c->SetForegroundMatteThresholdEnable(false);
        c->SetForegroundMatteThreshold(0.25), c->SetBackgroundPlacementOptions(9), c->SetBackgroundDistance(50);
        c->SetBackgroundDistanceMode(C::eRELATIVE_TO_CAMERA), c->SetViewCameraInterest(false);
        c->SetViewNearFarPlanes(true), c->SetShowGrid(false), c->SetShowAxis(false), c->SetShowName(false);
        c->SetShowInfoOnMoving(false), c->SetShowTimeCode(true), c->SetDisplaySafeArea(true);
        c->SetSafeAreaStyle(C::eROUND), c->SetDisplaySafeAreaOnRender(true), c->SetShowAudio(true);
        c->SetAudioColor(KZeqColor(0.5, 0.25, 1, 1)), c->SetBackgroundColor(KZeqColor(0.1, 0.2, 0.3, 1));
        c->SetUseFrameColor(true), c->SetFrameColor(KZeqColor(0.9, 0.8, 0.7, 1)), c->SetUseDepthOfField(true);
        c->SetFocusDistanceSource(C::eSPECIFIC_DISTANCE), c->SetFocusAngle(4), c->SetSpecificDistance(120);
        c->SetUseAntialiasing(true), c->SetAntialiasingMethod(C::eHARDWARE_ANTIALIASING);
        c->SetAntialiasingIntensity(0.5), c->SetNumberOfSamples(9), c->SetSamplingType(C::eSTOCHASTIC);
        c->SetUseAccumulationBuffer(true), c->SetRenderOptionsUsageTime(C::eINTERACTIVE);
        Node("Pal", mManager.CreateKZeqCamera())->GetCamera()->SetFormat(C::ePAL);
        mScene->GetRootNode()->FindChild("Pal")->GetCamera()->SetApertureFormat(C::eIMAX);
        for (int type = 0; type < 3; ++type) {
            KZeqLight* light = Node(("Light" + std::to_string(type)).c_str(), mManager.CreateKZeqLight())->GetLight();
            light->SetLightType(static_cast<KZeqLight::ELightType>(type)), light->SetCastLight(type != 1);
            light->SetDefaultColor(KZeqColor(0.5, 0.25 * type, 1, 1)), light->SetDefaultIntensity(80 + type);
            light->SetDefaultConeAngle(30 + type), light->SetDefaultFog(type * 0.5);
        }
    }
    KZeqNode* Node(const char* name, KZeqNodeAttribute* attribute = nullptr) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        node->SetNodeAttribute(attribute ? attribute : mManager.CreateKZeqNull());
        mScene->GetRootNode()->AddChild(node);
        return node;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    std::string mError;
};
}  // namespace

TEST_P(CameraLightTest, RoundTrip) {
    const std::string path = mDir / "scene.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, GetParam(), path, "", &mError)) << mError;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &mError);
    ASSERT_NE(nullptr, read) << mError;
    EXPECT_EQ("", CompareScenes(*mScene, *read, GetParam().mLosses).Report());
    if (GetParam().mFileVersion != 5800 || GetParam().mMode != 0) return;
    mScene->GetRootNode()->FindChild("Manual")->GetLimits().SetMax(L::eS, V(2, std::nan(""), 3));
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, GetParam(), path, "", &mError)) << mError;
    // 5.8 limits: "Auto" alone for automatic kinds (and pivot set 0's rotations), no default component, NaN.
    const std::string text = zeqtest::ReadFile(path);
    const std::size_t at = text.find("\nModel: \"Model::Automatic\""), mid = text.find("\nModel: \"Model::Manual\"");
    const std::string automatic = text.substr(at, mid - at), manual = text.substr(mid, text.find("Goal", mid) - mid);
    const auto none = std::string::npos;
    EXPECT_TRUE(automatic.find("TEnable") == none && automatic.find("SXMin") == none && manual.find("SXMin") == none);
    EXPECT_TRUE(automatic.find("RYDefault: 45") != none && manual.find("SYMax: ") != none);
}
INSTANTIATE_TEST_SUITE_P(Forms, CameraLightTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

// Pivot set 0 as it takes part in the evaluation: "Idle" holds pivots and rotations in an inactive
// set, "Busy" the same in an active one, each over a child. A 6.0 file says only what the
// evaluation uses, so both read back evaluating as written and Idle's set stays off; 5.8 keeps the
// rotations of either set in the limits record, and its reader leaves them off.
TEST_P(CameraLightTest, PivotSetZeroReadsBackAsItTakesPart) {
    for (const char* name : {"Idle", "Busy"}) {
        KZeqNode* node = Node(name);
        node->SetDefaultT(V(1, 2, 3)), node->SetDefaultR(V(10, 20, 30));
        node->SetPreRotation(KZeqNode::eSOURCE_SET, V(0, 45, 0));
        node->SetPostRotation(KZeqNode::eSOURCE_SET, V(10, 0, -5));
        node->SetRotationPivot(KZeqNode::eSOURCE_SET, V(1, 0, 0));
        node->SetRotationOffset(KZeqNode::eSOURCE_SET, V(0, 2, 0));
        node->SetGeometricScaling(KZeqNode::eSOURCE_SET, KZeqVector4(2, 2, 2, 1));
        KZeqNode* tip = mManager.CreateKZeqNode((std::string(name) + "Tip").c_str());
        tip->SetNodeAttribute(mManager.CreateKZeqNull());
        tip->SetDefaultT(V(0, 5, 0));
        node->AddChild(tip);
    }
    mScene->GetRootNode()->FindChild("Busy")->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    const std::string path = mDir / "pivots.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, GetParam(), path, "", &mError)) << mError;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &mError);
    ASSERT_NE(nullptr, read) << mError;
    const bool version6 = GetParam().mFileVersion == 6000;
    for (const char* name : {"Idle", "IdleTip", "Busy", "BusyTip"}) {
        KZeqNode *a = mScene->GetRootNode()->FindChild(name, true), *b = read->GetRootNode()->FindChild(name, true);
        ASSERT_TRUE(a && b) << name;
        if (!version6 && std::string(name).find("Busy") == 0) continue;  // 5.8 has no pivot state
        const KgeAMatrix &x = a->GetGlobalMatrix(KZeqNode::eSOURCE_SET, true),
                         &y = b->GetGlobalMatrix(KZeqNode::eSOURCE_SET, true);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(x[i][j], y[i][j], 1e-9) << name << " [" << i << "][" << j << "]";
    }
    KZeqNode *idle = read->GetRootNode()->FindChild("Idle"), *busy = read->GetRootNode()->FindChild("Busy");
    KZeqNode::EPivotState state;
    idle->GetPivotState(KZeqNode::eSOURCE_SET, state);
    EXPECT_EQ(KZeqNode::ePIVOT_STATE_REFERENCE, state);
    EXPECT_EQ(version6 ? 0.0 : 45.0, idle->GetPreRotation(KZeqNode::eSOURCE_SET)[1]);
    EXPECT_EQ(version6 ? 0.0 : -5.0, idle->GetPostRotation(KZeqNode::eSOURCE_SET)[2]);
    if (!version6) return;
    busy->GetPivotState(KZeqNode::eSOURCE_SET, state);
    EXPECT_EQ(KZeqNode::ePIVOT_STATE_ACTIVE, state);
    EXPECT_EQ(45.0, busy->GetPreRotation(KZeqNode::eSOURCE_SET)[1]);
}

// A light whose channels were set without its properties, as the host plug-in sets them: the 6.0
// property block tells the channels' values, and the light keeps the properties it had.
TEST(LightPropertyBlock, TellsTheChannelsValues) {
    zeqtest::TempDir dir;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* node = manager.CreateKZeqNode("Lamp");
    KZeqLight* light = manager.CreateKZeqLight();
    node->SetNodeAttribute(light);
    scene->GetRootNode()->AddChild(node);
    KZeqTakeNode* take = node->GetDefaultTakeNode();
    take->GetLightIntensity()->SetValue(200.0f), take->GetColorG()->SetValue(0.5f), take->GetLightFog()->SetValue(0.0f);
    const std::string path = dir / "lamp.zeq";
    ASSERT_TRUE(WriteZeqFile(manager, *scene, kZeqFileCases[0], path));
    const std::string text = zeqtest::ReadFile(path);
    for (const char* line : {"Property: \"Color\",\"Color\",\"AK\",1,0.5,1\n", "Property: \"Fog\",\"Fog\",\"AK\",0\n",
                             "Property: \"Intensity\",\"Intensity\",\"AK\",200\n"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;
    EXPECT_EQ(100.0, light->GetPropertyHandler()->mIntensity->AsDouble());
    // The channels keep theirs: putting the property back does not reach them.
    EXPECT_EQ(200.0f, take->GetLightIntensity()->GetValue());
    EXPECT_EQ(0.5f, take->GetColorG()->GetValue());
}
