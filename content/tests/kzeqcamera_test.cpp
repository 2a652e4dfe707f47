#include "content/kzeqcamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/karray.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

double F(double value) { return static_cast<float>(value); }

KFCurve* Curve(KZeqTakeNode* take, const char* path) {
    KFCurveNode* node = take->GetKFCurveNode()->FindRecursive(path);
    return node ? node->FCurveGet() : nullptr;
}

// A camera for a node with a Default take and "Take 001".
struct CameraOnNode : ::testing::Test {
    void SetUp() override { node->CreateTakeNode("Take 001"); }
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("cam");
    KZeqCamera* camera = manager.CreateKZeqCamera();
};

}  // namespace

TEST(KZeqCameraProperties, ListOrderFlagsAndTexts) {
    KZeqSdkManager manager;
    KZeqCamera* camera = manager.CreateKZeqCamera();
    KArrayTemplate<KProperty*> list;
    camera->FillPropertyList(&list);
    ASSERT_EQ(65, list.GetCount());
    EXPECT_STREQ("Roll", list[0]->GetPropertyName());
    EXPECT_STREQ("Motion Blur Intensity", list[9]->GetPropertyName());
    EXPECT_STREQ("2D Magnifier Y", list[54]->GetPropertyName());
    EXPECT_STREQ("FrameSamplingCount", list[64]->GetPropertyName());
    int animatable = 0;
    for (int i = 0; i < 65; ++i)
        animatable += list[i]->IsAnimatable() == list[i]->IsAnimated() ? list[i]->IsAnimated() : 99;
    EXPECT_EQ(12, animatable);
    KZeqCameraProperties* p = camera->GetPropertyHandler();
    EXPECT_EQ(nullptr, p->FindPropertyByName("BackgroundColor (Color)"));
    EXPECT_EQ(list[6], p->FindPropertyByName("BackgroundColor"));
    EXPECT_EQ(kPropertyTypeEnum, p->FindPropertyByName("CameraFormat")->GetPropertyType());
    const struct {
        const char* mProperty;
        int mValue;
        const char* mText;
    } texts[] = {{"CameraFormat", 9, nullptr},        {"CameraFormat", 10, "Full Screen"},
                 {"FilmFormatIndex", 12, nullptr},    {"BackgroundMode", 2, "Background & Forground"},
                 {"ApertureMode", 0, "Horizontal & Vertical"}, {"ResolutionMode", -1, nullptr},
                 {"BackPlaneDistanceMode", 1, "Relative to Camera"}, {"SafeAreaDisplayStyle", 0, "Round Safe Area"},
                 {"CameraProjectionType", 1, "Orthographic"},      {"FocusSource", 1, "Specific Distance"},
                 {"FocusSource", 2, nullptr}};
    for (const auto& t : texts) {
        const char* text = p->FindPropertyByName(t.mProperty)->GetValueAsString(t.mValue);
        EXPECT_EQ(std::string(t.mText ? t.mText : "(null)"), text ? text : "(null)") << t.mProperty << t.mValue;
    }
}

TEST(KZeqCameraProperties, StartAtZeroWithAnOpaqueFrameColor) {
    KZeqCameraProperties* p = new KZeqCameraProperties;
    for (int i = 0; i < p->GetPropertyCount(); ++i)
        EXPECT_TRUE(p->GetProperty(i)->IsAnimatable() || p->GetProperty(i)->AsDouble() == 0.0) << i;
    EXPECT_EQ(1.0, p->mFrameColorAlpha);
    p->FrameColorSet(KgeRGBVector(0.1, 0.2, 0.3));
    EXPECT_TRUE(p->FrameColor.Get().mData[2] == 0.3 && p->mFrameColorAlpha == 1.0);
    p->Destroy();
}

TEST(KZeqCamera, NewCameraValues) {
    KZeqSdkManager manager;
    KZeqCamera* c = manager.CreateKZeqCamera();
    EXPECT_TRUE(c->GetFormat() == 0 && c->GetAspectRatioMode() == 0 && c->GetAspectWidth() == 320 &&
                c->GetAspectHeight() == 200 && c->GetPixelRatio() == 1.0);
    EXPECT_TRUE(c->GetNearPlane() == 10 && c->GetFarPlane() == 4000 && c->GetFocalLength() == 35);
    EXPECT_TRUE(c->GetApertureFormat() == 4 && c->GetApertureWidth() == 0.816 && c->GetApertureHeight() == 0.612 &&
                c->GetApertureMode() == KZeqCamera::eVERTICAL && c->GetProjectionType() == KZeqCamera::ePERSPECTIVE);
    EXPECT_NEAR(25.04, c->GetAngleOfView(), 0.005);
    EXPECT_TRUE(c->GetPosition()[2] == 0 && c->GetPosition()[3] == 0 && !c->GetBackgroundFileName());
    KZeqCameraProperties* p = c->GetPropertyHandler();
    EXPECT_EQ(0.816 / 0.612, p->FilmAspectRatioGet());
    EXPECT_TRUE(p->SafeAreaAspectRatioGet() == 1.33333333333333 && c->GetAntialiasingIntensity() == 0.77777);
    EXPECT_TRUE(c->GetSamplingType() == 1 && c->GetRenderOptionsUsageTime() == 1 &&
                c->GetBackgroundPlacementOptions() == 6u);
    const KZeqColor frame = c->GetFrameColor(), audio = c->GetAudioColor();
    EXPECT_TRUE(frame.mRed == 0.3 && frame.mAlpha == 1.0 && audio.mRed == 0.0 && audio.mGreen == 1.0);
    // The values the channels start from once attached: one value answers before and after.
    EXPECT_TRUE(p->mFieldOfView->AsDouble() == F(25.115) && p->mFieldOfViewX->AsDouble() == 40 &&
                p->mMotionBlurIntensity->AsDouble() == 1 && p->mMagnifierZoom->AsDouble() == 100);
}

// ---- Formats: a fixed resolution and pixel ratio, the former mode carried over --------------------

struct FormatCase {
    const char* mName;
    int mPreviousMode;
    KZeqCamera::ECameraFormat mFormat;
    int mMode;
    double mWidth, mHeight, mPixelRatio;
    int mStoredFormat;
};

class CameraFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(CameraFormat, SetsResolutionAndCarriesTheMode) {
    const FormatCase& c = GetParam();
    KZeqSdkManager manager;
    KZeqCamera* camera = manager.CreateKZeqCamera();
    camera->SetAspect(static_cast<KZeqCamera::ECameraAspectRatioMode>(c.mPreviousMode), 320, 200);
    camera->SetFormat(c.mFormat);
    EXPECT_EQ(c.mStoredFormat, camera->GetFormat());
    EXPECT_EQ(c.mMode, camera->GetAspectRatioMode());
    EXPECT_NEAR(c.mWidth, camera->GetAspectWidth(), 1e-9);
    EXPECT_NEAR(c.mHeight, camera->GetAspectHeight(), 1e-9);
    EXPECT_NEAR(c.mPixelRatio, camera->GetPixelRatio(), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CameraFormat,
    ::testing::Values(FormatCase{"D1NtscWindow", 0, KZeqCamera::eD1_NTSC, 2, 720, 486, 0.9, 1},
                      FormatCase{"D1NtscFixedRatio", 1, KZeqCamera::eD1_NTSC, 1, 720.0 / 486 * 0.9, 1, 0.9, 1},
                      FormatCase{"D1NtscFixedWidth", 3, KZeqCamera::eD1_NTSC, 3, 720, 486.0 / 720, 0.9, 1},
                      FormatCase{"D1NtscFixedHeight", 4, KZeqCamera::eD1_NTSC, 4, 720.0 / 486, 486, 0.9, 1},
                      FormatCase{"Pal", 2, KZeqCamera::ePAL, 2, 570, 486, 1.3333333333 * 486 / 570, 3},
                      FormatCase{"Hd", 0, KZeqCamera::eHD, 2, 1920, 1080, 1.7777777777 * 1080 / 1920, 5},
                      FormatCase{"Nine", 2, static_cast<KZeqCamera::ECameraFormat>(9), 2, 320, 200, 1, 0},
                      FormatCase{"Eleven", 0, static_cast<KZeqCamera::ECameraFormat>(11), 0, 320, 200, 1, 0}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.mName); });

// ---- Clamps and bounds -----------------------------------------------------------------------------

TEST(KZeqCamera, ClampsAndFallBacks) {
    KZeqSdkManager manager;
    KZeqCamera* c = manager.CreateKZeqCamera();
    c->SetFormat(KZeqCamera::eNTSC);
    c->SetPixelRatio(c->GetPixelRatio());
    EXPECT_EQ(KZeqCamera::eNTSC, c->GetFormat());
    c->SetPixelRatio(100);
    EXPECT_TRUE(c->GetPixelRatio() == 20 && c->GetFormat() == 0);
    c->SetPixelRatio(NAN);
    EXPECT_EQ(0.05, c->GetPixelRatio());
    c->SetNearPlane(5000);
    EXPECT_TRUE(c->GetNearPlane() == 5000 && c->GetFarPlane() == 5000);
    c->SetFarPlane(0);
    EXPECT_TRUE(c->GetNearPlane() == 0.001 && c->GetFarPlane() == 0.001);
    c->SetAspect(KZeqCamera::eFIXED_RATIO, 0, 7);
    EXPECT_TRUE(c->GetAspectWidth() == 0.001 && c->GetAspectHeight() == 1);
    c->SetAspect(KZeqCamera::eFIXED_RESOLUTION, NAN, -3);
    EXPECT_TRUE(c->GetAspectWidth() == 1 && c->GetAspectHeight() == 1);
    c->SetFormat(KZeqCamera::eHD);
    c->SetAspect(static_cast<KZeqCamera::ECameraAspectRatioMode>(9), 5, 5);
    EXPECT_TRUE(c->GetAspectWidth() == 1920 && c->GetFormat() == 0 && c->GetAspectRatioMode() == 9);
    c->SetRenderOptionsUsageTime(KZeqCamera::eINTERACTIVE);
    c->SetRenderOptionsUsageTime(static_cast<KZeqCamera::ECameraRenderOptionsUsageTime>(5));
    EXPECT_EQ(KZeqCamera::eINTERACTIVE, c->GetRenderOptionsUsageTime());
    c->SetBackgroundPlacementOptions(15 | 32);
    EXPECT_EQ(15u, c->GetBackgroundPlacementOptions());
}

TEST(KZeqCamera, FilmAndAngleOfView) {
    KZeqSdkManager manager;
    KZeqCamera* c = manager.CreateKZeqCamera();
    KZeqCameraProperties* p = c->GetPropertyHandler();
    c->SetApertureWidth(0.816);
    EXPECT_EQ(KZeqCamera::e35MM_TV_PROJECTION, c->GetApertureFormat());
    c->SetApertureWidth(0.9);
    EXPECT_TRUE(c->GetApertureFormat() == 0 && p->FilmAspectRatioGet() == 0.9 / 0.612);
    c->SetApertureWidth(0);
    EXPECT_EQ(0.0001, c->GetApertureWidth());
    c->SetApertureFormat(KZeqCamera::e35MM_ANAMORPHIC);
    c->SetApertureMode(KZeqCamera::eHORIZONTAL);
    EXPECT_EQ(2.0, c->GetSqueezeRatio());
    const double x = 0.864 * 25.4 * 2;
    EXPECT_NEAR(2 * std::atan(0.5 * x / 35) * 180 / M_PI, c->GetAngleOfView(), 1e-9);
    for (const auto& a : {std::make_pair(0.0, 1.0), std::make_pair(180.0, 179.0), std::make_pair(double(NAN), 1.0)}) {
        c->SetAngleOfView(a.first);
        EXPECT_NEAR(0.5 * x / std::tan(a.second * M_PI / 360), c->GetFocalLength(), 1e-9);
        EXPECT_NEAR(a.second, c->GetAngleOfView(), 1e-9);
    }
    for (const auto& focal : {std::make_pair(1e-9, 179.0), std::make_pair(1e9, 1.0), std::make_pair(0.0, 179.0)}) {
        c->SetFocalLength(focal.first);
        EXPECT_EQ(focal.second, c->GetAngleOfView());
    }
}

// ---- Channels ---------------------------------------------------------------------------------

TEST_F(CameraOnNode, AttachingFillsEveryTakeAndTheProperties) {
    camera->SetDefaultBackgroundColor(KZeqColor(0.2, 0.4, 0.6, 0.0));
    const int callbacks = node->GetDefaultTakeCallbackCount();
    node->SetNodeAttribute(camera);
    EXPECT_EQ(callbacks + 7, node->GetDefaultTakeCallbackCount());
    EXPECT_EQ(KZeqNode::eNO_MULTI_TAKE, node->GetMultiTakeMode());
    const double starts[7] = {25.115, 40, 40, 0, 0, 0, 0};
    const char* names[7] = {"FieldOfView", "FieldOfViewX", "FieldOfViewY", "OpticalCenterX",
                            "OpticalCenterY", "Roll", "TurnTable"};
    for (int t = 0; t < 2; ++t) {
        KZeqTakeNode* take = node->GetTakeNode(t);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(F(starts[i]), Curve(take, names[i])->GetValue()) << names[i];
        EXPECT_EQ(F(0.4), take->GetBackgroundColorG()->GetValue());
    }
    KZeqCameraProperties* p = camera->GetPropertyHandler();
    EXPECT_TRUE(p->mFieldOfView->AsDouble() == F(25.115) && p->mFieldOfViewX->AsDouble() == 40);
    EXPECT_EQ(F(0.6), camera->GetDefaultBackgroundColor().mBlue);
    EXPECT_EQ(0.6, camera->GetBackgroundColor().mBlue);
    EXPECT_EQ(0.88f, Curve(node->GetDefaultTakeNode(), "OpticalCenterX")->GetColor()[1]);

    // Tied curves write back into the properties; the background colour is not tied.
    camera->SetDefaultFieldOfView(0.1);
    EXPECT_TRUE(camera->GetDefaultFieldOfView() == F(0.1) && p->mFieldOfView->AsDouble() == F(0.1));
    node->GetDefaultTakeNode()->GetCameraRoll()->SetValue(12.5f);
    node->GetDefaultTakeNode()->GetCameraTurnTable()->SetValue(30.0f);
    EXPECT_TRUE(camera->GetRoll() == 12.5 && camera->GetTurnTable() == 30.0);
    node->GetDefaultTakeNode()->GetBackgroundColorR()->SetValue(0.9f);
    EXPECT_EQ(0.2, camera->GetBackgroundColor().mRed);
    camera->Reset();
    EXPECT_TRUE(camera->GetPosition()[2] == -50 && camera->GetDefaultRoll() == 0 &&
                camera->GetDefaultFieldOfView() == F(0.1));
}

TEST_F(CameraOnNode, OnlyADefaultTakeTiesAndRemovalKeepsTheBackgroundColor) {
    node->SetNodeAttribute(camera);
    const int callbacks = node->GetDefaultTakeCallbackCount();
    for (const char* name : {"Take 002", "dEfAuLt"}) {
        KZeqTakeNode take(name);
        camera->AddChannels(&take);
        EXPECT_TRUE(Curve(&take, "TurnTable") && take.GetBackgroundColorB()) << name;
        EXPECT_EQ(callbacks + (name[0] == 'd' ? 7 : 0), node->GetDefaultTakeCallbackCount());
        camera->RemoveChannels(&take);
        EXPECT_TRUE(!Curve(&take, "FieldOfView") && take.GetBackgroundColorB());
    }
    EXPECT_EQ(callbacks, node->GetDefaultTakeCallbackCount());
    node->SetNodeAttribute(nullptr);
    EXPECT_TRUE(!node->GetDefaultTakeNode()->GetCameraRoll() && node->GetDefaultTakeNode()->GetBackgroundColorR());
}

// A Default take without a channel: getters answer the property, setters set only it.
TEST_F(CameraOnNode, MissingDefaultChannelsFallBackToTheProperties) {
    node->SetNodeAttribute(camera);
    KFCurveNode* root = node->GetDefaultTakeNode()->GetKFCurveNode();
    for (const char* name : {"Roll", "BackgroundColor (Color)"}) root->Delete(root->Find(name));
    camera->SetDefaultRoll(7.5);
    camera->SetDefaultBackgroundColor(KZeqColor(0.1, 0.2, 0.3, 0.5));
    EXPECT_TRUE(camera->GetDefaultRoll() == 7.5 && camera->GetRoll() == 7.5);
    const KZeqColor background = camera->GetDefaultBackgroundColor();
    EXPECT_TRUE(background.mGreen == 0.2 && background.mAlpha == 1.0);
    EXPECT_EQ(F(25.115), camera->GetDefaultFieldOfView());
}

TEST_F(CameraOnNode, BackgroundTextureConnectsOnceToAnAttachedCamera) {
    KZeqEntity entity(manager);
    entity.GetRootNode()->AddChild(node);
    KZeqTexture* texture = manager.CreateKZeqTexture("bg");
    camera->SetBackgroundTexture(texture);
    EXPECT_FALSE(node->GetPropertyHandler()->IsConnectedSrc(texture->GetPropertyHandler()));
    node->SetNodeAttribute(camera);
    for (KZeqTexture* t : {static_cast<KZeqTexture*>(nullptr), texture, texture}) camera->SetBackgroundTexture(t);
    EXPECT_TRUE(node->GetPropertyHandler()->IsConnectedSrc(texture->GetPropertyHandler()));
    EXPECT_TRUE(entity.GetTextureCount() == 1 && entity.GetTexture(0) == texture);
}

// ---- Copies -----------------------------------------------------------------------------------

TEST(KZeqCamera, CopyTakesTheListedSettingsOnly) {
    KZeqSdkManager manager;
    KZeqCamera *a = manager.CreateKZeqCamera(), *b = manager.CreateKZeqCamera();
    b->SetApertureWidth(1.5);
    b->SetFormat(KZeqCamera::ePAL);
    b->SetRoll(30);
    b->SetFrameColor(KZeqColor(0.1, 0.2, 0.3, 0.4));
    b->SetDefaultFieldOfViewX(3);
    *a = *b;
    EXPECT_TRUE(a->GetApertureWidth() == 1.5 && a->GetFormat() == KZeqCamera::ePAL && a->GetRoll() == 30 &&
                a->GetPixelRatio() == b->GetPixelRatio() && a->GetDefaultFieldOfViewX() == 40.0);
    EXPECT_EQ(0.816 / 0.612, a->GetPropertyHandler()->FilmAspectRatioGet());
    EXPECT_TRUE(a->GetFrameColor().mBlue == 0.3 && a->GetFrameColor().mAlpha == 1.0);
}

TEST(KZeqCamera, NodeCopyMakesCamerasAndLightsAndKeepsSwitchersApart) {
    KZeqSdkManager manager;
    KZeqNode *from = manager.CreateKZeqNode("from"), *to = manager.CreateKZeqNode("to");
    KZeqCamera* source = manager.CreateKZeqCamera();
    source->SetFocalLength(50);
    from->SetNodeAttribute(source);
    KZeqNodeAttribute* former = manager.CreateKZeqNull();
    to->SetNodeAttribute(former);
    *to = *from;
    ASSERT_TRUE(to->GetCamera() && to->GetCamera() != source);
    EXPECT_TRUE(to->GetCamera()->GetFocalLength() == 50 && to->GetMultiTakeMode() == KZeqNode::eNO_MULTI_TAKE);
    EXPECT_FALSE(manager.DestroyKZeqNodeAttribute(former));  // destroyed by the copy

    // A switcher copies nothing onto a switcher and takes any other attribute away.
    KZeqCameraSwitcher switcher(manager), target(manager);
    switcher.AddCameraName("a");
    target.AddCameraName("b");
    from->SetNodeAttribute(&switcher);
    KZeqNode* third = manager.CreateKZeqNode("third");
    third->SetNodeAttribute(&target);
    *third = *from;
    EXPECT_TRUE(third->GetCameraSwitcher() == &target && target.GetCameraNameCount() == 1);
    EXPECT_STREQ("b", target.GetCameraName(0));
    *to = *from;
    EXPECT_EQ(nullptr, to->GetNodeAttribute());
}

// A node copies each kind into a new attribute of its own, which replaces an
// attribute of another kind.
TEST(KZeqCamera, NodeCopyMakesEachKindOfAttribute) {
    KZeqSdkManager manager;
    KZeqLight* light = manager.CreateKZeqLight();
    light->SetLightType(KZeqLight::eSPOT);
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->InitControlPoints(3);
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->InitControlPoints(4, KZeqNurb::eOPEN, 4, KZeqNurb::eOPEN);
    KZeqPatch* patch = manager.CreateKZeqPatch();
    patch->InitControlPoints(4, KZeqPatch::eBSPLINE, 3, KZeqPatch::eBEZIER);
    KZeqNode *from = manager.CreateKZeqNode("f"), *to = manager.CreateKZeqNode("t");
    from->SetNodeAttribute(light), *to = *from;
    EXPECT_TRUE(to->GetLight() && to->GetLight() != light && to->GetLight()->GetLightType() == KZeqLight::eSPOT);
    from->SetNodeAttribute(patch), *to = *from;
    EXPECT_TRUE(to->GetPatch() && to->GetPatch() != patch && to->GetPatch()->GetControlPointsCount() == 12 &&
                to->GetPatch()->GetPatchUType() == KZeqPatch::eBSPLINE);
    from->SetNodeAttribute(nurb), *to = *from;
    EXPECT_TRUE(to->GetNurb() && to->GetNurb() != nurb && to->GetNurb()->GetControlPointsCount() == 16);
    from->SetNodeAttribute(mesh), *to = *from;
    EXPECT_TRUE(to->GetMesh() && to->GetMesh() != mesh && to->GetMesh()->GetControlPointsCount() == 3);
}

// ---- Camera switcher -----------------------------------------------------------------------------

TEST(KZeqCameraSwitcher, NamesAndTheIndexInEveryTake) {
    KZeqSdkManager manager;
    KZeqCameraSwitcher switcher(manager);
    for (const char* name : {"front", "side", "front"}) switcher.AddCameraName(name);
    const char* second = switcher.GetCameraName(1);
    for (int i = 0; i < 40; ++i) switcher.AddCameraName("more");
    EXPECT_TRUE(switcher.GetCameraNameCount() == 43 && second == switcher.GetCameraName(1));
    EXPECT_STREQ("side", second);
    EXPECT_EQ(nullptr, switcher.GetCameraName(43));
    EXPECT_TRUE(switcher.GetTypeName() == "" && switcher.GetTypeFlags().GetCount() == 0);
    switcher.SetDefaultCameraIndex(5);
    EXPECT_EQ(0, switcher.GetDefaultCameraIndex());

    KZeqNode* node = manager.CreateKZeqNode("switcher");
    node->CreateTakeNode("Take 001");
    node->SetNodeAttribute(&switcher);
    for (int t = 0; t < 2; ++t) EXPECT_EQ(1.0, node->GetTakeNode(t)->GetCameraIndex()->GetValue());
    EXPECT_EQ(1, switcher.GetDefaultCameraIndex());
    switcher.SetDefaultCameraIndex(3);
    KFCurve* index = node->GetDefaultTakeNode()->GetCameraIndex();
    EXPECT_EQ(3.0f, index->GetValue());
    for (const auto& v : {std::make_pair(2.7f, 2), std::make_pair(-0.5f, 0), std::make_pair(-2.7f, -2),
                          std::make_pair(1e30f, 2147483647), std::make_pair(NAN, 0)}) {
        index->SetValue(v.first);
        EXPECT_EQ(v.second, switcher.GetDefaultCameraIndex()) << v.first;
    }
    node->SetNodeAttribute(nullptr);
    EXPECT_EQ(nullptr, node->GetDefaultTakeNode()->GetCameraIndex());
}
