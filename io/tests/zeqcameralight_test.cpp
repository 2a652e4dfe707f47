// Node limits, targets and pivots, cameras and lights: round trips through
// both writers in three encodings, records read from hand-made files, and
// what the 5.8 writer leaves out.

#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqnull.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

typedef KZeqCamera C;

struct CameraLightTest : ::testing::Test {
    KZeqNode* Node(const char* name, KZeqNodeAttribute* attribute = nullptr) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        node->SetNodeAttribute(attribute ? attribute : mManager.CreateKZeqNull());
        mScene->GetRootNode()->AddChild(node);
        return node;
    }
    KZeqScene* Read(int version, const std::string& fields) {
        const std::string path = mDir / "r.zeq";
        MakeZeqFile(path, version, 0, fields);
        return ReadZeqFile(mManager, path, "", &mError);
    }
    // The text of the scene written as a 5.8 ASCII file.
    std::string Written58() {
        const std::string path = mDir / "w.zeq";
        EXPECT_TRUE(WriteZeqFile(mManager, *mScene, kZeqFileCases[3], path, "", &mError)) << mError;
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    std::string mError;
};

// Limits automatic and manual with pre- and post-rotation, targets with up
// vectors, a camera with every field away from its default, three lights.
struct RoundTripTest : CameraLightTest, ::testing::WithParamInterface<ZeqFileCase> {
    RoundTripTest() {
        KZeqNode* automatic = Node("Automatic");
        automatic->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 45, 0, 0));
        automatic->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(10, 0, -5, 0));
        KZeqNode* manual = Node("Manual");
        KZeqNodeLimits& limits = manual->GetLimits();
        for (auto kind : {KZeqNodeLimits::eT, KZeqNodeLimits::eR, KZeqNodeLimits::eS}) limits.SetAuto(kind, false);
        limits.SetEnable(KZeqNodeLimits::eT, true);
        limits.SetMin(KZeqNodeLimits::eT, KZeqVector4(-1, 0, -3, 0)), limits.SetMax(KZeqNodeLimits::eT, KZeqVector4(1, 2, 0, 0));
        limits.SetMin(KZeqNodeLimits::eS, KZeqVector4(1, 1, 1, 0)), limits.SetMax(KZeqNodeLimits::eS, KZeqVector4(2, 1, 3, 0));
        limits.SetDefault(KZeqNodeLimits::eR, KZeqVector4(0, 30, 0, 0));
        limits.SetRotationAxis(KZeqVector4(0, 0, 90, 0)), limits.SetRotationType(KZeqNodeLimits::eROTATION_SPHERIC_XYZ);
        limits.SetAxisLength(2.5);
        KZeqNode *goal = Node("Goal"), *up = Node("Up");
        KZeqNode* aim = Node("Aim");
        aim->SetTarget(goal), aim->SetTargetUp(up);
        aim->SetPostTargetRotation(KZeqVector4(360, 0, 0, 0)), aim->SetTargetUpVector(KZeqVector4(0, 1, 0, 0));
        KZeqNode* turned = Node("Turned");
        turned->SetTarget(goal), turned->SetPostTargetRotation(KZeqVector4(180, 180, 180, 0));
        KZeqNode* upOnly = Node("UpOnly");
        upOnly->SetTargetUp(up), upOnly->SetTargetUpVector(KZeqVector4(1, 0, 0, 0));
        KZeqCamera* camera = mManager.CreateKZeqCamera();
        Node("Camera", camera);
        camera->SetPosition(KZeqVector4(1, 2, 3, 1)), camera->SetUpVector(KZeqVector4(0, 0, 1, 1));
        camera->SetDefaultCameraInterestPosition(KZeqVector4(4, 5, 6, 1));
        camera->SetRoll(12), camera->SetTurnTable(3), camera->SetProjectionType(C::eORTHOGONAL);
        camera->SetAspect(C::eFIXED_RESOLUTION, 800, 600), camera->SetPixelRatio(1.5);
        camera->SetMouseLock(true), camera->SetApertureMode(C::eVERTICAL);
        camera->SetApertureWidth(1.2), camera->SetApertureHeight(0.7), camera->SetSqueezeRatio(2.0);
        camera->SetNearPlane(2), camera->SetFarPlane(9000), camera->SetFocalLength(50);
        camera->SetDefaultFieldOfViewX(33), camera->SetDefaultOpticalCenterY(0.25);
        camera->SetBackgroundDisplayMode(C::eALWAYS), camera->SetBackgroundDrawingMode(C::eBACKGROUND_AND_FOREGROUND);
        camera->SetForegroundMatteThresholdEnable(false), camera->SetForegroundMatteThreshold(0.25);
        camera->SetBackgroundPlacementOptions(9), camera->SetBackgroundDistance(50);
        camera->SetBackgroundDistanceMode(C::eRELATIVE_TO_CAMERA), camera->SetViewCameraInterest(false);
        camera->SetViewNearFarPlanes(true), camera->SetShowGrid(false), camera->SetShowAxis(false);
        camera->SetShowName(false), camera->SetShowInfoOnMoving(false), camera->SetShowTimeCode(true);
        camera->SetDisplaySafeArea(true), camera->SetSafeAreaStyle(C::eROUND), camera->SetDisplaySafeAreaOnRender(true);
        camera->SetShowAudio(true), camera->SetAudioColor(KZeqColor(0.5, 0.25, 1, 1));
        camera->SetBackgroundColor(KZeqColor(0.1, 0.2, 0.3, 1)), camera->SetUseFrameColor(true);
        camera->SetFrameColor(KZeqColor(0.9, 0.8, 0.7, 1));
        camera->SetUseDepthOfField(true), camera->SetFocusDistanceSource(C::eSPECIFIC_DISTANCE);
        camera->SetFocusAngle(4), camera->SetSpecificDistance(120), camera->SetUseAntialiasing(true);
        camera->SetAntialiasingMethod(C::eHARDWARE_ANTIALIASING), camera->SetAntialiasingIntensity(0.5);
        camera->SetNumberOfSamples(9), camera->SetSamplingType(C::eSTOCHASTIC), camera->SetUseAccumulationBuffer(true);
        camera->SetRenderOptionsUsageTime(C::eINTERACTIVE);
        KZeqCamera* pal = mManager.CreateKZeqCamera();
        Node("Pal", pal);
        pal->SetFormat(C::ePAL), pal->SetApertureFormat(C::eIMAX);
        for (int type = 0; type < 3; ++type) {
            KZeqLight* light = mManager.CreateKZeqLight();
            Node(("Light" + std::to_string(type)).c_str(), light);
            light->SetLightType(static_cast<KZeqLight::ELightType>(type)), light->SetCastLight(type != 1);
            light->SetDefaultColor(KZeqColor(0.5, 0.25 * type, 1, 1)), light->SetDefaultIntensity(80 + type);
            light->SetDefaultConeAngle(30 + type), light->SetDefaultFog(type * 0.5);
        }
    }
};

}  // namespace

TEST_P(RoundTripTest, LimitsTargetsCamerasAndLights) {
    const std::string path = mDir / "scene.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, GetParam(), path, "", &mError)) << mError;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &mError);
    ASSERT_NE(nullptr, read) << mError;
    EXPECT_EQ("", CompareScenes(*mScene, *read, GetParam().mLosses).Report());
}
INSTANTIATE_TEST_SUITE_P(Forms, RoundTripTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

// ---- Records read from hand-made files -------------------------------------------------------

namespace {

struct RecordRow {
    const char* mName;
    int mVersion;
    const char* mFields;  // of one "Model::N" record
    std::function<void(KZeqNode&)> mCheck;
};

KZeqVector4 V(double x, double y, double z) { return KZeqVector4(x, y, z, 0); }
void Expect3(const KZeqVector4& expected, const KZeqVector4& actual) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(expected[i], actual[i]) << i;
}
const char kCam[] = "Type: \"Camera\";";
const char kLight[] = "Type: \"Light\";";

const RecordRow kRecordRows[] = {
    {"LimitsSphericOrder", 5800, "Limits: {;RAuto: 0;RType: 0;RYDefault: 45;RZAxis: 5;AxisLen: 3;}",
     [](KZeqNode& n) {
         ERotationOrder order = eEULER_XYZ;
         n.GetRotationOrder(KZeqNode::eSOURCE_SET, order);
         EXPECT_EQ(eSPHERIC_XYZ, order);
         EXPECT_FALSE(n.GetLimits().GetAuto(KZeqNodeLimits::eR));
         Expect3(V(0, 45, 0), n.GetPreRotation(KZeqNode::eSOURCE_SET));
         Expect3(V(0, 0, 5), n.GetPostRotation(KZeqNode::eSOURCE_SET));
         EXPECT_EQ(3.0, n.GetLimits().GetAxisLength());
     }},
    {"LimitsDefaults", 5800, "Limits: {;}",
     [](KZeqNode& n) {
         EXPECT_TRUE(n.GetLimits().GetAuto(KZeqNodeLimits::eT) && n.GetLimits().GetAuto(KZeqNodeLimits::eS));
         Expect3(V(1, 1, 1), n.GetLimits().GetMax(KZeqNodeLimits::eS));
         EXPECT_EQ(KZeqNodeLimits::eROTATION_EULER_XYZ, n.GetLimits().GetRotationType());
     }},
    // With option 9 (on by default) the "Package" rotations replace those of the limits.
    {"PivotsAfterLimits", 5800,
     "Limits: {;RXDefault: 7;};Pivots: {;Version: 1;Package: {;PivotEnabled: 0;PreRotation: 1,2,3;};"
     "File: {;PivotEnabled: 4;ScalingPivot: 5,6,7;}}",
     [](KZeqNode& n) {
         Expect3(V(1, 2, 3), n.GetPreRotation(KZeqNode::eSOURCE_SET));
         Expect3(V(5, 6, 7), n.GetScalingPivot(KZeqNode::eDESTINATION_SET));
         KZeqNode::EPivotState a, b;
         n.GetPivotState(KZeqNode::eSOURCE_SET, a), n.GetPivotState(KZeqNode::eDESTINATION_SET, b);
         EXPECT_EQ(KZeqNode::ePIVOT_STATE_REFERENCE, a); EXPECT_EQ(KZeqNode::ePIVOT_STATE_ACTIVE, b);
     }},
    {"PivotsIgnoredFromVersion6", 6000, "Type: \"Null\";Pivots: {;Package: {;PreRotation: 1,2,3;}}",
     [](KZeqNode& n) { Expect3(V(0, 0, 0), n.GetPreRotation(KZeqNode::eSOURCE_SET)); }},
    {"TargetVectorsAlwaysStored", 5800, "UpTargetRotation: 0,0,9",
     [](KZeqNode& n) {
         Expect3(V(0, 0, 0), n.GetPostTargetRotation());
         Expect3(V(0, 0, 9), n.GetTargetUpVector());
     }},
    {"CameraVersion116ReadsIntegers", 5800, "Type: \"Camera\";Version: 116;AspectW: 640.5;AspectH: 480.5;AspectType: 2",
     [](KZeqNode& n) { EXPECT_EQ(640.0, n.GetCamera()->GetAspectWidth()); }},
    {"CameraVersion117ReadsDoubles", 5800, "Type: \"Camera\";Version: 117;AspectW: 640.5;AspectH: 480.5;AspectType: 2",
     [](KZeqNode& n) { EXPECT_EQ(640.5, n.GetCamera()->GetAspectWidth()); }},
    {"CameraVersion209ReadsTheAngle", 5800, "Type: \"Camera\";Version: 209;Aperture: 90;FocalLength: 80",
     [](KZeqNode& n) { EXPECT_NEAR(90.0, n.GetCamera()->GetAngleOfView(), 1e-9); }},
    {"CameraVersion220FocalLengthDefault", 5800, "Type: \"Camera\";Version: 220;Aperture: 90",
     [](KZeqNode& n) { EXPECT_EQ(35.0, n.GetCamera()->GetFocalLength()); }},
    // A 5.8 record holds the node's own "Version" before the camera's.
    {"CameraVersionAfterTheNodes", 5800, "Version: 194;Type: \"Camera\";Version: 220;FocalLength: 80;Media: \"wood\"",
     [](KZeqNode& n) {
         EXPECT_EQ(80.0, n.GetCamera()->GetFocalLength());
         EXPECT_STREQ("wood", n.GetCamera()->GetBackgroundMediaName());
     }},
    {"CameraBackgroundNamesBefore200", 5800,
     "Type: \"Camera\";Version: 150;BackgroundTexture: \"a.tif\";VideoClipTexture: \"b.tif\";Media: \"m\"",
     [](KZeqNode& n) {
         EXPECT_STREQ("b.tif", n.GetCamera()->GetBackgroundFileName());
         EXPECT_EQ(nullptr, n.GetCamera()->GetBackgroundMediaName());
     }},
    {"CameraFormatsAndPlanes", 5800, "Type: \"Camera\";NearPlane: 0;FormatName: \"pal\";ApertureFormat: \"35mm\"",
     [](KZeqNode& n) {
         EXPECT_EQ(0.001, n.GetCamera()->GetNearPlane());
         EXPECT_EQ(C::eCUSTOM_FORMAT, n.GetCamera()->GetFormat());
         EXPECT_EQ(C::eCUSTOM_APERTURE_FORMAT, n.GetCamera()->GetApertureFormat());
     }},
    {"CameraApertureFormatAbsent", 5800, "Type: \"Camera\";FormatName: \"HD\"",
     [](KZeqNode& n) {
         EXPECT_EQ(C::e35MM_TV_PROJECTION, n.GetCamera()->GetApertureFormat());
         EXPECT_EQ(C::eHD, n.GetCamera()->GetFormat());
     }},
    {"CameraVersion6DefaultsAndIgnores", 6000, "Type: \"Camera\";Roll: 30;CameraAndLens: {;OverSampling: 5,1,1;}",
     [](KZeqNode& n) {
         EXPECT_EQ(0.0, n.GetCamera()->GetAudioColor().mRed);
         EXPECT_EQ(1.0, n.GetCamera()->GetAudioColor().mGreen);
         EXPECT_EQ(0.0, n.GetCamera()->GetRoll());
         EXPECT_NE(5, n.GetCamera()->GetNumberOfSamples());
     }},
    {"CameraAndLens", 5800,
     "Type: \"Camera\";CameraAndLens: {;DepthOfField: 1,1,3.5,200;Antialiasing: 1,1,0.25;OverSampling: 5,1,1;}",
     [](KZeqNode& n) {
         KZeqCamera& c = *n.GetCamera();
         EXPECT_TRUE(c.GetUseDepthOfField() && c.GetUseAntialiasing() && c.GetUseAccumulationBuffer());
         EXPECT_EQ(200.0, c.GetSpecificDistance()); EXPECT_EQ(0.25, c.GetAntialiasingIntensity());
         EXPECT_EQ(5, c.GetNumberOfSamples()); EXPECT_EQ(C::eSTOCHASTIC, c.GetSamplingType());
         EXPECT_EQ(C::eAT_RENDER, c.GetRenderOptionsUsageTime());
     }},
    {"LightVersion201", 5800, "Type: \"Light\";LightTypeVersion: 201;Intensity: 80;LightType: 2",
     [](KZeqNode& n) {
         EXPECT_NE(80.0, n.GetLight()->GetDefaultIntensity());
         EXPECT_EQ(KZeqLight::eSPOT, n.GetLight()->GetLightType());
         EXPECT_TRUE(n.GetLight()->GetCastLight());
     }},
    {"LightVersion202WithoutIntensity", 6000, "Type: \"Light\";LightTypeVersion: 202;CastLight: 0;Fog: 2",
     [](KZeqNode& n) {
         EXPECT_EQ(0.0, n.GetLight()->GetDefaultIntensity()); EXPECT_EQ(2.0, n.GetLight()->GetDefaultFog());
         EXPECT_FALSE(n.GetLight()->GetCastLight());
     }},
};

struct RecordTest : CameraLightTest, ::testing::WithParamInterface<RecordRow> {};

}  // namespace

TEST_P(RecordTest, ReadsAsItsRowSays) {
    const RecordRow& row = GetParam();
    const std::string model = row.mVersion >= 6000 ? "Definitions: {;ObjectType: \"Model\";};Objects: {;Model: \"Model::N\", \"Null\" {;" : "Model: \"Model::N\" {;";
    const std::string fields = std::string(row.mFields).find("Type:") == std::string::npos
                                   ? std::string("Type: \"Null\";") + row.mFields : row.mFields;
    KZeqScene* scene = Read(row.mVersion, model + fields + (row.mVersion >= 6000 ? ";};}" : ";}") +
                                              (row.mVersion >= 6000 ? ";Connections: {;Connect: \"OO\", \"Model::N\", \"Model::Scene\";}" : ""));
    ASSERT_NE(nullptr, scene) << mError;
    KZeqNode* node = scene->GetRootNode()->FindChild("N");
    ASSERT_NE(nullptr, node);
    row.mCheck(*node);
}
INSTANTIATE_TEST_SUITE_P(Rows, RecordTest, ::testing::ValuesIn(kRecordRows),
                         [](const ::testing::TestParamInfo<RecordRow>& info) { return std::string(info.param.mName); });

// What the 5.8 writer leaves out: automatic limit kinds write their "Auto"
// field (and pivot set 0's rotations), components at the reader's default
// are left out, and rotations equal to zero under the target test.
TEST_F(CameraLightTest, Version58LeavesOutDefaults) {
    KZeqNode* automatic = Node("Automatic");
    KZeqNode* manual = Node("Manual");
    manual->GetLimits().SetAuto(KZeqNodeLimits::eR, false), manual->GetLimits().SetAuto(KZeqNodeLimits::eS, false);
    manual->SetPreRotation(KZeqNode::eSOURCE_SET, V(0, 45, 0));
    manual->GetLimits().SetMin(KZeqNodeLimits::eS, KZeqVector4(1, 1, 1, 1));
    manual->GetLimits().SetMax(KZeqNodeLimits::eS, KZeqVector4(1, std::nan(""), 1, 1));
    KZeqNode* turned = Node("Turned");
    turned->SetTarget(automatic), turned->SetPostTargetRotation(V(180, -180, 540));
    KZeqNode* full = Node("Full");
    full->SetTarget(automatic), full->SetPostTargetRotation(V(360, 0, 0));
    Node("UpOnly")->SetTargetUp(full);
    const std::string text = Written58();
    auto block = [&](const char* name, const char* field) {
        const std::size_t at = text.find(std::string("\nModel: \"Model::") + name + "\"");
        const std::size_t end = text.find("\nModel: ", at + 1);
        const std::string part = text.substr(at, end - at);
        const std::size_t open = part.find(std::string(field) + ": ");
        return open == std::string::npos ? std::string() : part.substr(open, part.find('\n', open) - open);
    };
    EXPECT_EQ("", block("Automatic", "TEnable") + block("Automatic", "SXMin") + block("Automatic", "RType"));
    EXPECT_EQ("SAuto: 1", block("Automatic", "SAuto"));
    EXPECT_EQ("RAuto: 0", block("Manual", "RAuto"));
    EXPECT_EQ("REnable: 0", block("Manual", "REnable"));
    EXPECT_EQ("RYDefault: 45", block("Manual", "RYDefault"));
    EXPECT_EQ("", block("Manual", "RXDefault") + block("Manual", "SXMin") + block("Manual", "SXMax") + block("Manual", "TEnable"));
    EXPECT_NE("", block("Manual", "SYMax"));  // NaN differs from 1
    EXPECT_EQ("", block("Turned", "PostTargetRotation"));
    EXPECT_EQ("LookAtModel: \"Model::Automatic\"", block("Turned", "LookAtModel"));
    EXPECT_EQ("PostTargetRotation: 360,0,0", block("Full", "PostTargetRotation"));
    EXPECT_EQ("UpVectorModel: \"Model::Full\"", block("UpOnly", "UpVectorModel"));
    EXPECT_EQ("", block("UpOnly", "LookAtModel") + block("UpOnly", "UpTargetRotation"));
}
