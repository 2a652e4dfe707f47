// Scene settings, camera switcher, gobos, marker sets, actors and poses
// through both writers and back, and the edge cases of their records read
// from hand-made files.

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "character/kzeqactor.h"
#include "character/kzeqmarkerset.h"
#include "content/kzeqcamera.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqglobalcamerasettings.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

void Key(KFCurve* curve, int seconds, float value) {
    KFCurveKey key;
    key.Set(KTime(46186158000LL * seconds), value, KFCURVE_INTERPOLATION_CONSTANT, 0, 0, 0, KFCURVE_WEIGHTED_NONE, 0, 0, 0, 0);
    curve->KeyAdd(key.GetTime(), key);
}
KZeqMatrix Matrix(double base) {
    KZeqMatrix matrix;
    for (int i = 0; i < 16; ++i) static_cast<double*>(matrix)[i] = base + i;
    return matrix;
}

struct SettingsRecordTest : ::testing::Test {
    KZeqNode* Node(const std::string& name, KZeqNodeAttribute* attribute, KZeqScene* scene = nullptr) {
        KZeqNode* node = mManager.CreateKZeqNode(name.c_str());
        node->SetNodeAttribute(attribute);
        (scene ? scene : mScene)->GetRootNode()->AddChild(node);
        return node;
    }
    KZeqScene* Read(int version, const std::string& fields) {
        MakeZeqFile(mDir / "h.zeq", version, 0, fields);
        return ReadZeqFile(mManager, mDir / "h.zeq", "", &mError);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    std::string mError;
};

struct SettingsTest : SettingsRecordTest, ::testing::WithParamInterface<ZeqFileCase> {};

}  // namespace

// Fog, ambient colour, shadow planes, time markers, the switcher over two
// takes, lights L0, L1, L2 with gobos A, B, A, marker sets, actors and poses.
TEST_P(SettingsTest, WholeSceneSettings) {
    const ZeqFileCase& form = GetParam();
    KZeqGlobalLightSettings& light = *mScene->GetGlobalLightSettings();
    light.SetAmbientColor(KZeqColor(0.1, 0.2, 0.3, 0.5)), light.SetFogEnable(true), light.SetFogEnd(2000.0);
    light.SetFogStart(1500.0), light.SetFogColor(KZeqColor(0.5, 0.25, 0.125, 1.0)), light.SetFogDensity(0.01);
    KZeqGlobalLightSettings::KZeqShadowPlane plane;
    plane.mOrigin = KZeqVector4(1, 2, 3, 0), plane.mEnable = false;
    light.AddShadowPlane(plane), light.AddShadowPlane(KZeqGlobalLightSettings::KZeqShadowPlane());
    light.SetShadowEnable(true), light.SetShadowIntensity(150.0);
    KZeqGlobalTimeSettings& time = *mScene->GetGlobalTimeSettings();
    time.SetTimeMode(KTime::eModePal), time.SetSnapOnFrame(true), time.SetTimeProtocol(KTime::eProtocolSmpte);
    for (int i = 0; i < 3; ++i) time.AddTimeMarker({KString(("M" + std::to_string(i)).c_str()), KTime(1000 * i), i == 1});
    time.SetCurrentTimeMarker(2);
    mScene->GetGlobalCameraSettings()->SetDefaultCamera("Producer Top");

    KZeqNode* cameras[] = {Node("CamA", mManager.CreateKZeqCamera()), Node("CamB", mManager.CreateKZeqCamera())};
    auto& switcher = static_cast<KZeqCameraSwitcher&>(*mScene->GetCameraSwitcher()->GetNodeAttribute());
    for (KZeqNode* camera : cameras) switcher.AddCameraName(camera->GetName());
    switcher.SetDefaultCameraIndex(2);
    KZeqNode& node = *mScene->GetCameraSwitcher();
    for (const char* take : {"One", "Two"}) {
        mScene->CreateTake(take), node.SetCurrentTakeNode(take);
        Key(node.GetCurrentTakeNode()->GetCameraIndex(), 0, 1.0f), Key(node.GetCurrentTakeNode()->GetCameraIndex(), 1, 2.0f);
    }
    node.SetCurrentTakeNode(0);
    mScene->SetCurrentTake("One");
    KZeqGobo* a = mManager.CreateKZeqGobo("A");
    KZeqGobo* b = mManager.CreateKZeqGobo("B");
    a->SetFileName("a.tif"), a->SetGroundProjection(true), b->SetFrontVolumetricProjection(true);
    for (KZeqGobo* gobo : {a, b, a})
        Node("L" + std::to_string(mScene->GetRootNode()->GetChildCount()), mManager.CreateKZeqLight())->GetLight()->SetGobo(gobo);
    for (int s = 0; s < 2; ++s) {
        KZeqMarkerSet& set = *mScene->GetMarkerSet(mScene->CreateMarkerSet(("Set" + std::to_string(s)).c_str()));
        KZeqMarkerSetLink link;
        link.mNode = cameras[s], link.mName = s ? "" : "Model::Named", link.mOriented = s == 1;
        link.mTranslationOffset = KZeqVector4(1, 2, 3 + s, 1), link.mRotationOffset = KZeqVector4(4, 5, 6, 1);
        set.AddMarkerSetLink(static_cast<EActorBodyPart>(10 + s), link);
        set.AddMarkerSetLink(static_cast<EActorBodyPart>(s), link);
    }
    KZeqActor& actor = *mScene->GetActor(mScene->CreateActor("Walker"));
    actor.SetInputMarkerSet(mScene->GetMarkerSet(1)), actor.SetScale(static_cast<EActorBodyPart>(20), KZeqVector4(2, 3, 4, 1));
    mScene->CreateActor("Idle");
    for (bool bind : {true, false}) {
        KZeqPose* pose = mManager.CreateKZeqPose(bind ? "Bind" : "Rest", bind);
        pose->Add("Model::CamA", Matrix(bind ? 1 : 2), false), pose->Add("Model::CamB", Matrix(3), !bind);
        mScene->AddPose(pose);
    }
    mScene->AddPose(mManager.CreateKZeqPose("Empty", false));

    std::string error;
    const int nodes = mManager.GetKZeqNodeCount();
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, mDir / "s.zeq", "", &error)) << error;
    EXPECT_EQ(nodes, mManager.GetKZeqNodeCount()) << "the producer cameras' carrier node is gone";
    KZeqScene* read = ReadZeqFile(mManager, mDir / "s.zeq", "", &error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*mScene, *read, form.mLosses).Report());
    EXPECT_EQ(2, read->GetEntity()->GetGoboCount());
}
INSTANTIATE_TEST_SUITE_P(Forms, SettingsTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

namespace {

struct Row {
    const char* mName;
    int mVersion;
    const char* mFields;
    std::function<void(KZeqScene&)> mCheck;
};
KZeqGlobalLightSettings& Light(KZeqScene& scene) { return *scene.GetGlobalLightSettings(); }
KZeqGlobalTimeSettings& Time(KZeqScene& scene) { return *scene.GetGlobalTimeSettings(); }
int Mode(KZeqScene& scene) { return static_cast<int>(Time(scene).GetTimeMode()); }
const char* const kLights = "Model: \"Model::L0\" {;Type: \"Light\";};Model: \"Model::L1\" {;Type: \"Light\";};";
// What a row reads, as one line of text to compare. Without "FogColor" the
// restored colour stays (white with alpha 0).
std::function<void(KZeqScene&)> Fog(const char* expected) {
    return [expected](KZeqScene& s) {
        const KZeqGlobalLightSettings& l = Light(s);
        const KZeqColor c = l.GetFogColor();
        EXPECT_EQ(expected, testing::PrintToString(std::vector<double>{l.GetFogEnable() * 1.0, l.GetFogDensity(),
                                                                        l.GetFogStart(), l.GetFogEnd(), c.mRed, c.mAlpha}));
    };
}
std::function<void(KZeqScene&)> Shadows(int planes, bool enable, double intensity) {
    return [=](KZeqScene& s) {
        EXPECT_EQ(planes, Light(s).GetShadowPlaneCount()); EXPECT_EQ(enable, Light(s).GetShadowEnable());
        EXPECT_EQ(intensity, Light(s).GetShadowIntensity());
    };
}
std::function<void(KZeqScene&)> TimeMode(int mode) {
    return [mode](KZeqScene& s) { EXPECT_EQ(mode, Mode(s)); };
}

const Row kRows[] = {
    {"FogStartAboveRestoredEnd", 5800, "FogOptions: {;FogStart: 1500;FogEnd: 2000;FogColor: 0.5;}",
     Fog("{ 0, 0, 1500, 2000, 0.5, 1 }")},
    {"FogStartAboveEnd", 5800, "FogOptions: {;FlogEnable: 1;FogStart: 10;FogEnd: 5;}", Fog("{ 1, 0, 10, 10, 1, 0 }")},
    {"FogEmptyBlock", 5800, "FogOptions: {;}", Fog("{ 0, 0, 0, 0, 1, 0 }")},
    {"ShadowCountAbovePlanes", 5800,
     "ShadowPlanes: {;Count: 3;Plane: 1,2,3,0,0,1,0;Plane: 0,0,0,0,1,0,1;UseShadow: 1;ShadowIntensity: 500;}",
     Shadows(2, true, 300.0)},
    {"ShadowNegativeCount", 5800, "ShadowPlanes: {;Count: -1;Plane: 1,2,3,0,0,1,0;UseShadow: 1;}", Shadows(0, false, 0.0)},
    {"ShadowIntensityBelowZero", 5800, "ShadowPlanes: {;Count: 1;Plane: 1,2,3;ShadowIntensity: -1;}", Shadows(1, false, 0.0)},
    {"TimeMode10WithFrameRateZero", 5800, "Settings: {;FrameRate: \"0.0\";TimeMode: 10;}", TimeMode(7)},
    {"FrameRateWinsOverTimeMode", 5800, "Settings: {;FrameRate: \"25\";TimeMode: 8;}", TimeMode(10)},
    {"FrameRateLabel", 6000, "Version5: {;Settings: {;FrameRate: \"PAL\";};}", TimeMode(10)},
    {"FrameRateUnknown", 5800, "Settings: {;FrameRate: \"pal\";TimeMode: 2;}", TimeMode(6)},
    {"OldCodeOf48Fps", 5800, "Settings: {;TimeMode: 3;}", TimeMode(6)},
    {"ReferenceTimeIndexOutside", 5800,
     "Settings: {;ReferenceTimeIndex: 5;TimeMarker: \"a\" {;Loop: 1;};TimeMarker: \"b\" {;};TimeMarker: \"c\";}",
     [](KZeqScene& s) {
         EXPECT_EQ(2, Time(s).GetTimeMarkerCount()); EXPECT_EQ(-1, Time(s).GetCurrentTimeMarker());
         EXPECT_TRUE(Time(s).GetTimeMarker(0)->mLoop);
     }},
    {"UnnamedMarkerSetsAndOldBodyParts", 5800,
     "Model: \"Model::M\";MARKERSET: {;MARKER: {;NODEINDEX: 9;DEFAULTY: 1;MODEL: \"M\";};MARKER: {;NODEINDEX: 8;"
     "MODEL: \"M\";};MARKER: {;NODEINDEX: 20;MODEL: \"M\";};MARKER: {;VERSION: 0;NODEINDEX: 3;MODEL: \"X\";};};"
     "MARKERSET: {;};MARKERSET: {;};ACTOR: {;MARKERSETINDEX: 5;NODESCALE: 2,3,4;}",
     [](KZeqScene& s) {
         ASSERT_EQ(3, s.GetMarkerSetCount());
         EXPECT_STREQ("MarkerSet::Marker Set1", s.GetMarkerSet(1)->GetName());
         EXPECT_STREQ("MarkerSet::Marker Set2", s.GetMarkerSet(2)->GetName());
         KZeqMarkerSet& set = *s.GetMarkerSet(0);
         KZeqMarkerSetLink link;
         ASSERT_EQ(2, set.GetMarkerSetLinkCount()); EXPECT_EQ(1, set.GetMarkerSetLinkCount(static_cast<EActorBodyPart>(8)));
         EXPECT_TRUE(set.GetMarkerSetLink(static_cast<EActorBodyPart>(10), 0, link));
         EXPECT_DOUBLE_EQ(11.8, link.mTranslationOffset[1]); EXPECT_EQ(2.0, link.mTranslationOffset[2]);
         EXPECT_STREQ("Model::M", link.mName.Buffer());
         ASSERT_EQ(1, s.GetActorCount()); EXPECT_STREQ("Constraint::Actor", s.GetActor(0)->GetName());
         EXPECT_EQ(nullptr, s.GetActor(0)->GetInputMarkerSet()); EXPECT_EQ(3.0, s.GetActor(0)->GetScale(eActorBodyPartFirst)[1]);
         EXPECT_EQ(1.0, s.GetActor(0)->GetScale(static_cast<EActorBodyPart>(1))[1]);
     }},
    {"PoseCountsAndTypes", 5800,
     "SceneGenericPersistence: {;Pose: \"NoType\" {;NbPoseNodes: 1;PoseNode: {;Node: \"A\";};};"
     "Pose: \"Pose::Neg\" {;Type: \"RestPose\";NbPoseNodes: -1;PoseNode: {;Node: \"A\";};};"
     "Pose: \"\" {;Type: \"BindPose\";NbPoseNodes: 9;PoseNode: {;Node: \"A\";Local: 1;};"
     "PoseNode: {;Node: \"A\";Matrix: 2,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;};PoseNode: {;Node: \"B\";Matrix: 5;};};}",
     [](KZeqScene& s) {
         ASSERT_EQ(2, s.GetPoseCount());
         EXPECT_STREQ("Pose::Neg", s.GetPose(0)->GetName()); EXPECT_EQ(0, s.GetPose(0)->GetCount());
         KZeqPose& bind = *s.GetPose(1);
         EXPECT_STREQ("Pose::Name", bind.GetName()); ASSERT_EQ(2, bind.GetCount()) << "A's second entry conflicts";
         EXPECT_FALSE(bind.IsLocalMatrix(0)); EXPECT_EQ(1.0, static_cast<double*>(bind.GetMatrix(0))[0]);
         EXPECT_EQ(5.0, static_cast<double*>(bind.GetMatrix(1))[0]); EXPECT_EQ(1.0, static_cast<double*>(bind.GetMatrix(1))[5]);
     }},
    {"GobosNamedTwiceOrUnused", 5800,
     "GoboManager: {;Gobo: {;GoboName: \"A\";GoboPath: \"1\";};Gobo: {;GoboName: \"A\";GoboPath: \"2\";};"
     "Gobo: {;GoboName: \"C\";DrawComponent: 1,1,1;};LightGobo: \"Model::L1\", \"A\";"
     "LightGobo: \"L0\", \"A\";LightGobo: \"Model::Nobody\", \"C\";LightGobo: \"L0\", \"Z\";}",
     [](KZeqScene& s) {
         KZeqLight* l0 = s.GetRootNode()->FindChild("L0")->GetLight();
         ASSERT_NE(nullptr, l0->GetGobo()); EXPECT_STREQ("1", l0->GetGobo()->GetFileName());
         EXPECT_EQ(l0->GetGobo(), s.GetRootNode()->FindChild("L1")->GetLight()->GetGobo());
         EXPECT_EQ(1, s.GetEntity()->GetGoboCount());
     }},
};

struct RecordRows : SettingsRecordTest, ::testing::WithParamInterface<Row> {};

}  // namespace

TEST_P(RecordRows, ReadFromHandMadeFile) {
    const Row& row = GetParam();
    const bool gobos = std::string(row.mName).find("Gobo") != std::string::npos;
    KZeqScene* scene = Read(row.mVersion, (gobos ? kLights : "") + std::string(row.mFields));
    ASSERT_NE(nullptr, scene) << mError;
    row.mCheck(*scene);
}
INSTANTIATE_TEST_SUITE_P(Records, RecordRows, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.mName; });

// Names A then B; the traversal meets B's node first.
TEST_F(SettingsRecordTest, SwitcherIndicesRenumberedOverCameraNodes) {
    for (const char* name : {"B", "A", "Other"}) Node(name, mManager.CreateKZeqCamera());
    KZeqNode& node = *mScene->GetCameraSwitcher();
    for (const char* name : {"Model::A", "Model::B", "Model::Missing"})
        static_cast<KZeqCameraSwitcher*>(node.GetNodeAttribute())->AddCameraName(name);
    mScene->CreateTake("T"), node.SetCurrentTakeNode("T");
    KFCurve* curve = node.GetCurrentTakeNode()->GetCameraIndex();
    const float values[] = {1.0f, 2.0f, 1.0f, 2.7f, 0.0f, 4.0f, 3.0f};
    for (int i = 0; i < 7; ++i) Key(curve, i, values[i]);
    curve->SetValue(2.0f);
    KZeqImporter importer(mManager);
    KZeqReaderZeq reader(mManager, importer);
    reader.ReorderCameraSwitcherIndices(*mScene);
    const float expected[] = {2.0f, 1.0f, 2.0f, 1.0f, 0.0f, 4.0f, 3.0f};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(expected[i], curve->KeyGetPtr(i)->GetValue()) << i;
    EXPECT_EQ(1.0f, curve->GetValue());
}

// The scene's switcher names A then B, the traversal meeting B's node first.
// 6.0 keeps the names, 5.8 none. Either way the indices come back as written:
// the renumbering pass runs before a 6.0 file's connections put the cameras
// under the root, and before any file's takes. A node of the tree carrying a
// switcher of its own writes the switcher's record, whose "CameraName" is the
// camera its 1-based "CameraId" names; the record has no "Type", so the node
// reads back as a mesh.
TEST_F(SettingsRecordTest, SwitchersThroughEachWriter) {
    for (const char* name : {"B", "A"}) Node(name, mManager.CreateKZeqCamera());
    KZeqNode& node = *mScene->GetCameraSwitcher();
    auto& switcher = static_cast<KZeqCameraSwitcher&>(*node.GetNodeAttribute());
    KZeqCameraSwitcher own(mManager);
    KZeqNode* carrier = Node("Switch", &own);
    for (KZeqCameraSwitcher* names : {&switcher, &own})
        for (const char* name : {"Model::A", "Model::B"}) names->AddCameraName(name);
    switcher.SetDefaultCameraIndex(2), own.SetDefaultCameraIndex(2);
    mScene->CreateTake("T"), node.SetCurrentTakeNode("T");
    Key(node.GetCurrentTakeNode()->GetCameraIndex(), 0, 1.0f), Key(node.GetCurrentTakeNode()->GetCameraIndex(), 1, 2.0f);
    node.SetCurrentTakeNode(0);
    for (const ZeqFileCase& form : kZeqFileCases) {
        SCOPED_TRACE(form.mName);
        const bool six = form.mFileVersion == 6000;
        std::string error;
        ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, mDir / "w.zeq", "", &error)) << error;
        if (form.mMode == 0) {
            const std::string text = zeqtest::ReadFile(mDir / "w.zeq");
            EXPECT_NE(std::string::npos, text.find("CameraId: 2")) << "the carrier's record";
            EXPECT_NE(std::string::npos, text.find("CameraName: \"Model::B\""));
            EXPECT_EQ(six, text.find("Switcher:") != std::string::npos);
        }
        KZeqScene* read = ReadZeqFile(mManager, mDir / "w.zeq", "", &error);
        ASSERT_NE(nullptr, read) << error;
        auto& names = static_cast<KZeqCameraSwitcher&>(*read->GetCameraSwitcher()->GetNodeAttribute());
        ASSERT_EQ(six ? 2 : 0, names.GetCameraNameCount());
        if (six) {
            EXPECT_STREQ("Model::B", names.GetCameraName(1));
        }
        ASSERT_TRUE(read->GetCameraSwitcher()->SetCurrentTakeNode("T"));
        KFCurve* keys = read->GetCameraSwitcher()->GetCurrentTakeNode()->GetCameraIndex();
        ASSERT_TRUE(keys && keys->KeyGetCount() == 2);
        EXPECT_TRUE(keys->KeyGetPtr(0)->GetValue() == 1.0f && keys->KeyGetPtr(1)->GetValue() == 2.0f);
        KZeqNode* readCarrier = read->GetRootNode()->FindChild("Switch");
        ASSERT_TRUE(readCarrier && readCarrier->GetMesh());
        EXPECT_EQ(0, readCarrier->GetMesh()->GetControlPointsCount());
        mManager.DestroyKZeqScene(read);
    }
    carrier->SetNodeAttribute(nullptr);
}

// Every time mode through one form of each writer.
TEST_F(SettingsRecordTest, TimeModesThroughBothWriters) {
    for (int form : {0, 3}) {
        for (int mode = 1; mode <= 13; ++mode) {
            mScene->GetGlobalTimeSettings()->SetTimeMode(static_cast<KTime::ETimeMode>(mode));
            ASSERT_TRUE(WriteZeqFile(mManager, *mScene, kZeqFileCases[form], mDir / "t.zeq"));
            KZeqScene* read = ReadZeqFile(mManager, mDir / "t.zeq");
            ASSERT_NE(nullptr, read);
            EXPECT_EQ(mode == 12 ? 6 : mode, Mode(*read)) << kZeqFileCases[form].mName << " mode " << mode;
            mManager.DestroyKZeqScene(read);
        }
    }
}
