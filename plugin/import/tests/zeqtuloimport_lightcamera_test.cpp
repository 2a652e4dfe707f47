// Light and camera settings and animation onto stand-in lights and cameras.
#include "zeqtuloimport_animation_test_support.h"

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "tfncamera.h"
#include "tfndagnode.h"
#include "tfnlight.h"

using namespace zeqsdk_400;

namespace {

class LightTest : public ImportAnimationTest {
protected:
    // A host light of the kind with its transform, and its bridge node.
    template <class Light>
    ZeqTuloNode* MakeLight(const char* name) {
        Light light;
        TStatus status;
        mShape = light.create(TObject::kNullObj, true, &status);
        EXPECT_TRUE(status);
        TDagPath::getAPathTo(TFnDagNode(mShape).parent(0), mPath);
        TFnDependencyNode(mPath.node()).setName(name);
        ZeqTuloNode* node = Node(name, &mPath, nullptr, mManager.CreateKZeqLight());
        node->SetShapeObject(&mShape);
        return node;
    }
    double Plug(const char* attribute) {
        double value = 0;
        TFnDependencyNode(mShape).findPlug(attribute).getValue(value);
        return value;
    }
    bool Animated(const char* attribute) {
        TStatus status;
        TFnAnimCurve curve(TFnDependencyNode(mShape).findPlug(attribute), &status);
        return status.statusCode() == TStatus::kSuccess;
    }
    TObject mShape;
    TDagPath mPath;
};

TEST_F(LightTest, DefaultTakeGivesStaticValuesOnly) {
    ZeqTuloNode* node = MakeLight<TFnSpotLight>("spot");
    AddKey(*node->GetDefaultTakeNode()->GetLightIntensity(), 0.0, 10.0f);
    AddKey(*node->GetDefaultTakeNode()->GetLightIntensity(), 1.0, 20.0f);
    node->GetDefaultTakeNode()->GetLightIntensity()->SetValue(40.0f);
    node->GetDefaultTakeNode()->GetLightConeAngle()->SetValue(20.0f);
    node->SetCurrentTakeNode(0);
    mImport->ImportAnimationLight(*node);
    EXPECT_FALSE(Animated("intensity"));
    EXPECT_FALSE(Animated("coneAngle"));
    EXPECT_FLOAT_EQ(TFnLight(mShape).intensity(), 0.4f);
    EXPECT_NEAR(TFnSpotLight(mShape).coneAngle(), 20 * M_PI / 180, 1e-9);
    // The default take's curves were not rescaled.
    EXPECT_EQ(node->GetDefaultTakeNode()->GetLightIntensity()->GetValue(), 40.0f);
}

TEST_F(LightTest, RefusedConeAngleKeepsTheHostsAndIsLogged) {
    ZeqTuloNode* node = MakeLight<TFnSpotLight>("spot");
    const double before = TFnSpotLight(mShape).coneAngle();
    node->GetDefaultTakeNode()->GetLightConeAngle()->SetValue(200.0f);
    mImport->ImportAnimationLight(*node);
    EXPECT_EQ(TFnSpotLight(mShape).coneAngle(), before);
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("spot: the host refused the cone angle 3.49", 0), 0u) << log[0];
}

// ---- Cameras.

class CameraTest : public ImportAnimationTest {
protected:
    // A camera transform with its shape, under a look-at group when asked, and its bridge node.
    ZeqTuloNode* MakeCamera(bool withTarget = false) {
        TObject parent;
        if (withTarget) {
            parent = standin::createNode("lookAt", "cam_group");
            TDagPath::getAPathTo(parent, mGroup);
        }
        mPath = HostPath("transform", "cam", parent);
        mShape = standin::createNode("camera", "camShape", mPath.node());
        mCamera = mManager.CreateKZeqCamera();
        ZeqTuloNode* node = Node("cam", &mPath, nullptr, mCamera);
        if (withTarget) node->SetTarget(Node("cam_aim", nullptr));
        return node;
    }
    TFnCamera Host() { return TFnCamera(mShape); }
    double Twist() {
        double value = 0;
        TFnDependencyNode(mGroup.node()).findPlug("twist").getValue(value);
        return value;
    }
    KFCurve* FieldOfView(ZeqTuloNode* node, bool horizontal) {
        return horizontal ? node->GetCurrentTakeNode()->GetCameraFieldOfViewX()
                          : node->GetCurrentTakeNode()->GetCameraFieldOfView();
    }

    TDagPath mPath, mGroup;
    TObject mShape;
    KZeqCamera* mCamera = nullptr;
};

TEST_F(CameraTest, SettingsInTheirOrder) {
    ZeqTuloNode* node = MakeCamera();
    mCamera->SetSqueezeRatio(1.5);
    mCamera->SetNearPlane(0.5);
    mCamera->SetFarPlane(5000);
    mCamera->SetProjectionType(KZeqCamera::eORTHOGONAL);
    mCamera->SetApertureMode(KZeqCamera::eVERTICAL);
    mCamera->SetApertureWidth(1.2);
    mCamera->SetApertureHeight(0.9);
    mCamera->SetSpecificDistance(250);
    EXPECT_TRUE(mImport->ImportAnimationCamera(*node));
    TFnCamera host = Host();
    EXPECT_DOUBLE_EQ(host.lensSqueezeRatio(), 1.5);
    EXPECT_DOUBLE_EQ(host.nearClippingPlane(), 0.5);
    EXPECT_DOUBLE_EQ(host.farClippingPlane(), 5000);
    EXPECT_EQ(host.filmFit(), TFnCamera::kVerticalFilmFit);
    EXPECT_TRUE(host.isOrtho());
    EXPECT_DOUBLE_EQ(host.horizontalFilmAperture(), 1.2);
    EXPECT_DOUBLE_EQ(host.verticalFilmAperture(), 0.9);
    EXPECT_DOUBLE_EQ(host.focusDistance(), 250);
}

struct FocalCase {
    std::string name;
    int apertureMode;
    double width, height, squeeze;
    double focal;  // millimetres for an angle of view of 90 degrees
    int filmFit;
};

class FocalLengthTest : public CameraTest, public ::testing::WithParamInterface<FocalCase> {};

TEST_P(FocalLengthTest, AngleOfViewOfAnUnkeyedCurve) {
    const FocalCase& c = GetParam();
    ZeqTuloNode* node = MakeCamera();
    mCamera->SetApertureMode(static_cast<KZeqCamera::ECameraApertureMode>(c.apertureMode));
    mCamera->SetApertureWidth(c.width);
    mCamera->SetApertureHeight(c.height);
    mCamera->SetSqueezeRatio(c.squeeze);
    mCamera->SetAngleOfView(90);
    ASSERT_NEAR(mCamera->GetAngleOfView(), 90, 1e-9);
    mImport->ImportAnimationCamera(*node);
    EXPECT_NEAR(Host().focalLength(), c.focal, 1e-5);
    EXPECT_EQ(Host().filmFit(), c.filmFit);
    // The curve the mode reads took the focal length as its default value.
    EXPECT_NEAR(FieldOfView(node, c.apertureMode == 0)->GetValue(), c.focal, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Modes, FocalLengthTest,
                         ::testing::Values(FocalCase{"HorizontalAndVertical", 0, 1.0, 0.75, 1.0, 12.7, 0},
                                           FocalCase{"Vertical", 2, 1.0, 0.5, 1.0, 6.35, 2},
                                           FocalCase{"HorizontalSqueezed", 1, 1.0, 0.75, 2.0, 25.4, 1},
                                           // Any other mode fits horizontally and reads the general curve.
                                           FocalCase{"OtherMode", 3, 1.0, 0.75, 1.0, 12.7, 1}),
                         CaseName());

TEST_F(CameraTest, KeyedFieldOfViewBecomesFocalLengths) {
    ZeqTuloNode* node = MakeCamera();
    mCamera->SetApertureMode(KZeqCamera::eHORIZONTAL);
    mCamera->SetApertureWidth(1.0);
    mCamera->SetSqueezeRatio(1.0);
    KFCurve& fov = *FieldOfView(node, false);
    fov.SetValue(90.0f);
    AddKey(fov, 0.0, 90.0f);                                              // auto
    AddKey(fov, 1.0, 60.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_TCB);
    AddUserKey(fov, 2.0, 40.0f);
    SetDerivatives(fov, 2, -10.0f, -10.0f);
    const float leftHandle = fov.KeyGetLeftBezierTangeant(2);
    mImport->ImportAnimationCamera(*node);
    auto focal = [](double angle) { return 0.5 * 25.4 / std::tan(angle * M_PI / 360); };
    EXPECT_NEAR(fov.KeyGetPtr(0)->GetValue(), focal(90), 1e-4);
    EXPECT_NEAR(fov.KeyGetPtr(1)->GetValue(), focal(60), 1e-4);
    EXPECT_NEAR(fov.KeyGetPtr(2)->GetValue(), focal(40), 1e-4);
    EXPECT_EQ(fov.KeyGetPtr(0)->GetTangeantMode(), KFCURVE_TANGEANT_AUTO);
    EXPECT_EQ(fov.KeyGetPtr(1)->GetTangeantMode(), KFCURVE_TANGEANT_TCB);
    // The user key's handle became the focal length of the handle's angle.
    EXPECT_NEAR(fov.KeyGetLeftBezierTangeant(2), focal(leftHandle), 1e-3);
    EXPECT_NEAR(Host().focalLength(), focal(90), 1e-4);
    // A TCB key: the host curve is sampled.
    TFnAnimCurve curve(Host().findPlug("focalLength"));
    EXPECT_GT(curve.numKeys(), 3u);
}

TEST_F(CameraTest, ZeroAngleGivesZeroWhichTheHostRefuses) {
    ZeqTuloNode* node = MakeCamera();
    mCamera->SetApertureMode(KZeqCamera::eHORIZONTAL_AND_VERTICAL);
    KFCurve& fov = *FieldOfView(node, true);
    AddKey(fov, 0.0, 0.0f);
    AddKey(fov, 1.0, 0.0f);
    fov.SetValue(0.0f);
    mImport->ImportAnimationCamera(*node);
    EXPECT_EQ(fov.KeyGetPtr(0)->GetValue(), 0.0f);
    EXPECT_EQ(LogLines(), std::vector<std::string>({"cam: the host refused the focal length 0; the host's value was kept."}));
}

struct TwistCase {
    std::string name;
    int angle;
};

class TwistTest : public CameraTest, public ::testing::WithParamInterface<TwistCase> {};

// The twist is the negated roll in radians, with slopes in the UI angle unit.
TEST_P(TwistTest, RollBecomesTheGroupsTwist) {
    standin::setUnits(TDistance::kCentimeters, GetParam().angle, TTime::kFilm);
    ZeqTuloNode* node = MakeCamera(true);
    KFCurve& roll = *node->GetCurrentTakeNode()->GetCameraRoll();
    roll.SetValue(10.0f);
    mImport->ImportAnimationCamera(*node);
    EXPECT_NEAR(Twist(), -0.17453292519943295, 1e-7);
    AddUserKey(roll, 0.0, 10.0f);
    AddUserKey(roll, 1.0, 40.0f);
    SetDerivatives(roll, 0, 60.0f, 60.0f);
    SetDerivatives(roll, 1, -20.0f, -20.0f);
    mImport->ImportAnimationCamera(*node);
    TFnAnimCurve curve(TFnDependencyNode(mGroup.node()).findPlug("twist"));
    ASSERT_EQ(curve.numKeys(), 2u);
    for (double t = 0; t <= 1.0; t += 0.05)
        EXPECT_NEAR(curve.evaluate(TTime(t, TTime::kSeconds)), -roll.Evaluate(Seconds(t)) * M_PI / 180, 1e-6) << t;
}

INSTANTIATE_TEST_SUITE_P(AngleUnits, TwistTest,
                         ::testing::Values(TwistCase{"Degrees", TAngle::kDegrees}, TwistCase{"Radians", TAngle::kRadians}),
                         CaseName());

}  // namespace
