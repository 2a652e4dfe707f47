// Camera export: planes, film fits, projection, look-at targets as the host knows them, field-of-view
// curves from the focal length (values and user tangents), roll from the look-at twist.
#include "zeqtuloexport_anim_support.h"

#include <cmath>

#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtulolookatrig.h"
#include "tfncamera.h"

using namespace zeqsdk_400;

namespace {

class CameraExportTest : public ExportAnimTest {
protected:
    static KZeqCamera& Attribute(ZeqTuloNode* node) { return *static_cast<KZeqCamera*>(node->GetNodeAttribute()); }
    static TFnCamera Host(ZeqTuloNode* node) { return TFnCamera(*node->GetDagPath()); }
    // The field of view of a focal length over an aperture size in millimetres.
    static double Fov(double focal, double size) { return 2 * std::atan(0.5 * size / focal) * 57.29577951308232; }
};

TEST_F(CameraExportTest, ClippingPlanes) {
    struct Case {
        double hostNear, hostFar, near, far;
    };
    for (const Case& c : {Case{-1, 1000.75, 0.01, 1000}, Case{2, 4e5 + 0.5, 2, 4e5}, Case{1, -20, -1, -1}}) {
        ZeqTuloNode* node = Camera("cam");
        TFnCamera host = Host(node);
        // Raw plug values: the camera set refuses what a scene file may still hold.
        host.findPlug("nearClipPlane").setValue(c.hostNear);
        host.findPlug("farClipPlane").setValue(c.hostFar);
        mExport->ExportCamera(*node);
        if (c.near >= 0) {
            EXPECT_DOUBLE_EQ(Attribute(node).GetNearPlane(), c.near);
        }
        if (c.far >= 0) {
            EXPECT_DOUBLE_EQ(Attribute(node).GetFarPlane(), c.far);
        } else {
            // A negative far plane is 0, within the attribute's bounds, never a wrapped number.
            EXPECT_LE(Attribute(node).GetFarPlane(), 1.0);
        }
    }
}

struct FitCase {
    const char* name;
    int fit;
    double width, height;
    int mode;
};

class CameraFitTest : public CameraExportTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(CameraFitTest, FilmFitGivesApertureMode) {
    ZeqTuloNode* node = Camera("cam");
    TFnCamera host = Host(node);
    host.setFilmFit(GetParam().fit);
    host.setHorizontalFilmAperture(GetParam().width);
    host.setVerticalFilmAperture(GetParam().height);
    mExport->ExportCamera(*node);
    EXPECT_EQ(Attribute(node).GetApertureMode(), GetParam().mode);
    EXPECT_DOUBLE_EQ(Attribute(node).GetApertureWidth(), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Fits, CameraFitTest,
                         ::testing::Values(FitCase{"FillWide", 0, 1.417, 0.945, 2},
                                           FitCase{"OverscanWide", 3, 1.417, 0.945, 1},
                                           FitCase{"FillSquare", 0, 1, 1, 1}, FitCase{"OverscanSquare", 3, 1, 1, 2},
                                           FitCase{"Horizontal", 1, 1.417, 0.945, 1},
                                           FitCase{"Vertical", 2, 1.417, 0.945, 2}),
                         CaseName());

TEST_F(CameraExportTest, OrthographicProjection) {
    ZeqTuloNode* node = Camera("cam");
    Host(node).setIsOrtho(true);
    mExport->ExportCamera(*node);
    EXPECT_EQ(Attribute(node).GetProjectionType(), KZeqCamera::eORTHOGONAL);
}

TEST_F(CameraExportTest, FocalKeysBecomeFieldOfViewKeys) {
    struct Case {
        int fit;
        double fovX, fovY;
    };
    for (const Case& c : {Case{1, 54.4216, -1}, Case{2, -1, 37.8537}, Case{4, 54.4216, 37.8537}}) {
        ZeqTuloNode* node = Camera("cam");
        TFnCamera host = Host(node);
        host.setHorizontalFilmAperture(1.417);
        host.setVerticalFilmAperture(0.945);
        host.findPlug("filmFit").setValue(c.fit);
        host.setFocalLength(50);
        Keys(host.object(), "focalLength", {{0, 35}, {1, 70}});
        ASSERT_TRUE(mExport->ExportCamera(*node)) << c.fit;
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        if (c.fit != 4) {
            KFCurve* fov = take->GetCameraFieldOfView();
            ASSERT_EQ(fov->KeyGetCount(), 2);
            EXPECT_NEAR(fov->KeyGetPtr(0)->GetValue(), c.fit == 1 ? c.fovX : c.fovY, 1e-4);
            // The take's default is the field of view of the camera's focal length now (35 at 0 s).
            EXPECT_NEAR(fov->GetValue(), Fov(35, (c.fit == 1 ? 1.417 : 0.945) * 25.4), 1e-4);
            EXPECT_EQ(take->GetCameraFieldOfViewX()->KeyGetCount(), 0);
        } else {
            ASSERT_EQ(take->GetCameraFieldOfViewX()->KeyGetCount(), 2);
            EXPECT_NEAR(take->GetCameraFieldOfViewX()->KeyGetPtr(0)->GetValue(), c.fovX, 1e-4);
            EXPECT_NEAR(take->GetCameraFieldOfViewY()->KeyGetPtr(0)->GetValue(), c.fovY, 1e-4);
        }
    }
}

TEST_F(CameraExportTest, UserTangentsFollowTheChainRule) {
    ZeqTuloNode* node = Camera("cam");
    TFnCamera host = Host(node);
    host.setHorizontalFilmAperture(1.417);
    host.setFilmFit(1);
    TFnAnimCurve focal;
    focal.create(host.findPlug("focalLength"));
    focal.addKey(TTime(0.0, TTime::kSeconds), 35, 1, 1);
    focal.addKey(TTime(1.0, TTime::kSeconds), 70, 1, 1);
    standin::setKeyTangent(focal.object(), 0, false, 10.0, 0);
    standin::setKeyTangent(focal.object(), 1, true, 20.0, 0);
    ASSERT_TRUE(mExport->ExportCamera(*node));
    const KFCurveKey* key = node->GetCurrentTakeNode()->GetCameraFieldOfView()->KeyGetPtr(0);
    const double a = 1.417 * 25.4;
    const auto slope = [a](double f) { return -4 * 57.29577951308232 * a / (4 * f * f + a * a); };
    EXPECT_NEAR(key->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), slope(35) * 10, 1e-3);
    EXPECT_NEAR(key->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), slope(70) * 20, 1e-3);
}

class LookAtTest : public CameraExportTest {
protected:
    // A look-at group holding the camera and `extra` more transforms, all exported.
    ZeqTuloNode* Rig(int extra) {
        mGroup = standin::createNode("lookAt", "rig_group");
        ZeqTuloNode* groupNode = Node(mGroup);
        ZeqTuloNode* camera = Camera("cam", mGroup, groupNode);
        for (int i = 0; i < extra; ++i) mChildren[i] = Node(Transform(i ? "up" : "aim", mGroup), groupNode);
        return camera;
    }
    TObject mGroup;
    ZeqTuloNode* mChildren[2] = {nullptr, nullptr};
};

TEST_F(LookAtTest, TargetsByChildIndex) {
    EXPECT_EQ(mExport->ExportCamera(*Rig(0)), false);
    ZeqTuloNode* alone = Rig(0);
    EXPECT_EQ(alone->GetTarget(), nullptr);
    ZeqTuloNode* aimed = Rig(1);
    mExport->ExportCamera(*aimed);
    EXPECT_EQ(aimed->GetTarget(), mChildren[0]);
    EXPECT_EQ(aimed->GetTargetUp(), nullptr);
    ZeqTuloNode* full = Rig(2);
    mExport->ExportCamera(*full);
    EXPECT_EQ(full->GetTarget(), mChildren[0]);
    EXPECT_EQ(full->GetTargetUp(), mChildren[1]);
}

// The aim and up node the camera command marked by their locators are the camera's targets
// wherever they stand; the user's nodes beside them (a null's locator of its own among them) and
// the camera's place in the group change nothing.
TEST_F(LookAtTest, TargetsByTheirLocatorsWhereverTheyStand) {
    mGroup = standin::createNode("lookAt", "rig_group");
    ZeqTuloNode* groupNode = Node(mGroup);
    const auto located = [&](const char* name, const char* locator) {
        TObject node = Transform(name, mGroup);
        standin::createNode("locator", locator, node);
        return Node(node, groupNode);
    };
    ZeqTuloNode* mine = located("mine", "mineShape");
    ZeqTuloNode* camera = Camera("cam", mGroup, groupNode);
    ZeqTuloNode* up = located("target2", "camera1_upShape");
    ZeqTuloNode* other = located("other", "otherShape");
    ZeqTuloNode* aim = located("target1", "camera1_aimShape");
    mExport->ExportCamera(*camera);
    EXPECT_EQ(camera->GetTarget(), aim);
    EXPECT_EQ(camera->GetTargetUp(), up);
    for (ZeqTuloNode* node : {mine, other}) {
        EXPECT_EQ(node->GetTarget(), nullptr);
    }
    // The whole group reads back as the rig, the user's nodes beside it.
    const ZeqTuloLookAtRig rig = FindLookAtRig(groupNode);
    EXPECT_EQ(rig.mCamera, camera);
    EXPECT_EQ(rig.mAim, aim);
    EXPECT_EQ(rig.mUp, up);
}

// Only the group's first camera is the rig's: a camera serving as its aim keeps no target.
TEST_F(LookAtTest, ACameraAsTheAimGetsNoTarget) {
    mGroup = standin::createNode("lookAt", "rig_group");
    ZeqTuloNode* groupNode = Node(mGroup);
    ZeqTuloNode* camera = Camera("cam", mGroup, groupNode);
    ZeqTuloNode* aim = Camera("other", mGroup, groupNode);
    mExport->ExportCamera(*camera);
    mExport->ExportCamera(*aim);
    EXPECT_EQ(camera->GetTarget(), aim);
    EXPECT_EQ(aim->GetTarget(), nullptr);
    EXPECT_EQ(aim->GetTargetUp(), nullptr);
}

TEST_F(LookAtTest, TwistBecomesRoll) {
    ZeqTuloNode* camera = Rig(1);
    TFnDependencyNode(mGroup).findPlug("twist").setValue(0.5);
    EXPECT_FALSE(mExport->ExportCamera(*camera));
    EXPECT_NEAR(camera->GetDefaultTakeNode()->GetCameraRoll()->GetValue(), -28.6479, 1e-4);
    EXPECT_EQ(camera->GetTakeNodeCount(), 1);

    ZeqTuloNode* keyed = Rig(1);
    Keys(mGroup, "twist", {{0, 0.5}, {1, 0}});
    ASSERT_TRUE(mExport->ExportCamera(*keyed));
    KZeqTakeNode* take = keyed->GetCurrentTakeNode();
    ASSERT_EQ(take->GetCameraRoll()->KeyGetCount(), 2);
    EXPECT_NEAR(take->GetCameraRoll()->KeyGetPtr(0)->GetValue(), -28.6479, 1e-4);
    EXPECT_EQ(take->GetCameraFieldOfView()->KeyGetCount(), 0);
}

TEST_F(CameraExportTest, CamerasUnderOneTopNodeKeepTheirOwnSettings) {
    TObject rig = Transform("rig");
    ZeqTuloNode* rigNode = Node(rig);
    ZeqTuloNode* first = Camera("first", rig, rigNode);
    ZeqTuloNode* second = Camera("second", rig, rigNode);
    Host(first).setFocalLength(20);
    Host(second).setFocalLength(80);
    mExport->ExportCamera(*first);
    mExport->ExportCamera(*second);
    EXPECT_DOUBLE_EQ(Attribute(first).GetFocalLength(), 20);
    EXPECT_DOUBLE_EQ(Attribute(second).GetFocalLength(), 80);
    EXPECT_EQ(first->GetTarget(), nullptr);
}

TEST_F(CameraExportTest, NoRecordNoExport) {
    ZeqTuloNode* node = Camera("cam");
    mExport->mCameraInfos.clear();
    Host(node).setFocalLength(20);
    EXPECT_FALSE(mExport->ExportCamera(*node));
    EXPECT_NE(Attribute(node).GetFocalLength(), 20);
}

}  // namespace
