// Transform export: pivots and the post-rotation of the rotate axis, limits, rotation orders,
// default transforms, "Take 001" only for animated nodes, and the forward-axis corrections of
// lights and cameras.
#include "zeqtuloexport_anim_support.h"

#include <cmath>

#include "base/kgemath.h"
#include "fcurve/kfcurvenode.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodelimits.h"
#include "tfnlight.h"
#include "tfncamera.h"

using namespace zeqsdk_400;

namespace {

const double kPi = 3.14159265358979323846;
const double kDegree = kPi / 180;

using TransformExportTest = ExportAnimTest;

void ExpectVector(const KZeqVector4& v, double x, double y, double z, double tolerance = 1e-6) {
    EXPECT_NEAR(v[0], x, tolerance);
    EXPECT_NEAR(v[1], y, tolerance);
    EXPECT_NEAR(v[2], z, tolerance);
}

void SetRotateAxis(const TObject& node, double x, double y, double z) {
    TFnDependencyNode fn(node);
    fn.findPlug("rotateAxisX").setValue(x * kDegree);
    fn.findPlug("rotateAxisY").setValue(y * kDegree);
    fn.findPlug("rotateAxisZ").setValue(z * kDegree);
}

TEST_F(TransformExportTest, PostRotationIsTheInverseOfTheRotateAxis) {
    struct Case {
        double axis[3], post[3];
    };
    const Case cases[] = {{{0, 0, 0}, {0, 0, 0}},
                          {{30, 0, 0}, {-30, 0, 0}},
                          {{0, 0, 90}, {0, 0, -90}},
                          {{30, 45, 0}, {-39.23152, -37.761244, 26.565051}}};
    for (const Case& c : cases) {
        TObject t = Transform("t");
        SetRotateAxis(t, c.axis[0], c.axis[1], c.axis[2]);
        ZeqTuloNode* node = Node(t);
        mExport->ExportPivots(*node, KZeqNode::eSOURCE_SET);
        ExpectVector(node->GetPostRotation(KZeqNode::eSOURCE_SET), c.post[0], c.post[1], c.post[2]);
        EXPECT_TRUE(node->GetLimits().GetRotationLimitActive());
    }
}

// A post-rotation within a hundredth of a degree of a quarter turn about Y still undoes the rotate
// axis to the doubles' rounding, not only as far as a decomposition that takes it for the quarter
// turn itself (a thousandth of a radian).
TEST_F(TransformExportTest, PostRotationNearAQuarterTurnAboutYUndoesTheRotateAxis) {
    double post[4][4] = {}, axis[4][4] = {};
    KmXYZtoR(post, 128.99, 90.0078, 31.26);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) axis[i][j] = post[j][i];
    double angles[3];
    KmRtoVXYZ(angles, axis);  // far from a quarter turn about Y: exact
    TObject t = Transform("t");
    SetRotateAxis(t, angles[0], angles[1], angles[2]);
    ZeqTuloNode* node = Node(t);
    mExport->ExportPivots(*node, KZeqNode::eSOURCE_SET);
    const KZeqVector4 got = node->GetPostRotation(KZeqNode::eSOURCE_SET);
    double undo[4][4] = {};
    KmXYZtoR(undo, got[0], got[1], got[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(undo[i][j], post[i][j], 1e-9) << i << j;
}

TEST_F(TransformExportTest, PivotsAreInternalUnitsAndJointOrientIsThePreRotation) {
    standin::setUnits(TDistance::kInches, TAngle::kRadians, TTime::kNTSCFrame);
    TObject joint = standin::createNode("joint", "j");
    TFnDependencyNode fn(joint);
    fn.findPlug("jointOrientX").setValue(10 * kDegree);
    fn.findPlug("jointOrientY").setValue(20 * kDegree);
    fn.findPlug("jointOrientZ").setValue(30 * kDegree);
    TFnTransform(joint).setRotatePivot(TPoint(1, 2, 3), TSpace::kTransform, false);
    TFnTransform(joint).setScalePivotTranslation(TVector(0, 4, 0), TSpace::kTransform);
    ZeqTuloNode* node = Node(joint);
    node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    mExport->ExportPivots(*node, KZeqNode::eSOURCE_SET);
    ExpectVector(node->GetPreRotation(KZeqNode::eSOURCE_SET), 10, 20, 30);
    ExpectVector(node->GetRotationPivot(KZeqNode::eSOURCE_SET), 1, 2, 3);
    ExpectVector(node->GetScalingOffset(KZeqNode::eSOURCE_SET), 0, 4, 0);
    KZeqNode::EPivotState state;
    node->GetPivotState(KZeqNode::eSOURCE_SET, state);
    EXPECT_EQ(state, KZeqNode::ePIVOT_STATE_ACTIVE);
}

TEST_F(TransformExportTest, LimitsFillTheirGroupsAndOnlyTurnKindsOn) {
    TObject t = Transform("t");
    TFnTransform fn(t);
    fn.enableLimit(TFnTransform::kTranslateMinY, true);
    fn.setLimit(TFnTransform::kTranslateMinY, -5);
    fn.enableLimit(TFnTransform::kRotateMaxX, true);
    fn.setLimit(TFnTransform::kRotateMaxX, kPi / 4);
    fn.enableLimit(TFnTransform::kScaleMinZ, true);
    fn.setLimit(TFnTransform::kScaleMinZ, 0.5);
    ZeqTuloNode* node = Node(t);
    mExport->ExportLimits(*node);
    KZeqNodeLimits& limits = node->GetLimits();
    bool x, y, z;
    limits.mTranslationLimits.GetLimitMinActive(x, y, z);
    EXPECT_TRUE(!x && y && !z);
    ExpectVector(limits.mTranslationLimits.GetLimitMin(), 0, -5, 0);
    limits.mTranslationLimits.GetLimitMaxActive(x, y, z);
    EXPECT_TRUE(!x && !y && !z);
    ExpectVector(limits.mTranslationLimits.GetLimitMax(), 0, 0, 0);
    ExpectVector(limits.mRotationLimits.GetLimitMax(), 45, 0, 0);
    ExpectVector(limits.mScalingLimits.GetLimitMin(), 0, 0, 0.5);
    EXPECT_TRUE(limits.GetTranslationLimitActive());
    EXPECT_TRUE(limits.GetRotationLimitActive());
    EXPECT_TRUE(limits.GetScalingLimitActive());

    // Without limits: cleared records, kinds as they were.
    ZeqTuloNode* free = Node(Transform("free"));
    free->GetLimits().SetScalingLimitActive(true);
    free->GetLimits().mRotationLimits.SetLimitMinActive(true, true, true);
    mExport->ExportLimits(*free);
    free->GetLimits().mRotationLimits.GetLimitMinActive(x, y, z);
    EXPECT_TRUE(!x && !y && !z);
    EXPECT_TRUE(free->GetLimits().GetScalingLimitActive());
    EXPECT_FALSE(free->GetLimits().GetTranslationLimitActive());
}

TEST_F(TransformExportTest, RotationOrdersMapByAxisSequence) {
    const int expected[7] = {-1, 0, 2, 4, 1, 3, 5};
    for (int host = 1; host <= 6; ++host) {
        TObject t = Transform("t");
        TFnTransform(t).setRotationOrder(host, false);
        ZeqTuloNode* node = Node(t);
        mExport->ExportRotationOrder(*node);
        ERotationOrder order;
        node->GetRotationOrder(KZeqNode::eSOURCE_SET, order);
        EXPECT_EQ(order, expected[host]) << host;
    }
    EXPECT_EQ(ZeqRotationOrderOfHost(0), -1);
    EXPECT_EQ(ZeqRotationOrderOfHost(7), -1);
}

TEST_F(TransformExportTest, StaticNodeGetsDefaultsOnly) {
    standin::setUnits(TDistance::kInches, TAngle::kDegrees, TTime::kFilm);
    TObject t = Transform("t");
    TFnTransform fn(t);
    fn.setTranslation(TVector(2.5, 0, 0), TSpace::kTransform);
    const double rotation[3] = {kPi / 2, 0, 0};
    fn.setRotation(rotation, 1);
    ZeqTuloNode* node = Node(t);
    EXPECT_TRUE(mExport->ExportTransform(*mExport->mRootNode));
    EXPECT_FALSE(HasTake(*node, "Take 001"));
    KZeqTakeNode* take = node->GetDefaultTakeNode();
    EXPECT_FLOAT_EQ(take->GetTranslationX()->GetValue(), 2.5f);
    EXPECT_FLOAT_EQ(take->GetEulerRotationX()->GetValue(), 90.0f);
    EXPECT_FLOAT_EQ(take->GetScaleY()->GetValue(), 1.0f);
}

TEST_F(TransformExportTest, UnusableRateIsLoggedOnce) {
    OpenLog();
    ZeqTuloUserParams::Instance()->SetDoubleParam(5, -1.0);
    for (const char* name : {"a", "b"}) {
        TObject t = Transform(name);
        TFnAnimCurve curve;
        curve.create(TFnDependencyNode(t).findPlug("translateX"));
        curve.addKey(TTime(0.0, TTime::kSeconds), 0, 6, 6);
        curve.addKey(TTime(1.0, TTime::kSeconds), 1, 6, 6);
        Node(t);
    }
    mExport->ExportTransform(*mExport->mRootNode);
    EXPECT_EQ(Count(Log(), "sampling rate -1 is not usable"), 1);
    // Sampled at 30 per second all the same.
    EXPECT_EQ(static_cast<ZeqTuloNode*>(mExport->mRootNode->GetChild(0))->GetCurrentTakeNode()->GetTranslationX()->KeyGetCount(),
              31);
}

// A curve with slow or fast tangents, which no Zeq key holds, is sampled and said in the log, once
// for the curve; one the keys hold is copied and not said.
TEST_F(TransformExportTest, ACurveSampledForWantOfKeysIsSaid) {
    OpenLog();
    TObject t = Transform("t");
    TFnAnimCurve fast;
    fast.create(TFnDependencyNode(t).findPlug("translateX"));
    fast.addKey(TTime(0.0, TTime::kSeconds), 0, 2, 7);
    fast.addKey(TTime(1.0, TTime::kSeconds), 1, 2, 2);
    Keys(t, "translateY", {{0, 0}, {1, 2}});
    ZeqTuloNode* node = Node(t);
    mExport->ExportTransform(*mExport->mRootNode);
    const std::string log = Log();
    EXPECT_EQ(Count(log, "ZEQ Export Warning: t_translateX: slow or fast tangents, which no Zeq key holds: the "
                         "curve is sampled at 30 keys a second."),
              1)
        << log;
    EXPECT_EQ(Count(log, "slow or fast"), 1) << log;
    EXPECT_EQ(node->GetCurrentTakeNode()->GetTranslationX()->KeyGetCount(), 31);
    EXPECT_EQ(node->GetCurrentTakeNode()->GetTranslationY()->KeyGetCount(), 2);
}

// The driver's curve calls take the export sampling rate of the user parameters (10 per second:
// 11 samples over the second keyed). A plug not found, or one no curve drives, leaves the
// channel as it was.
TEST_F(TransformExportTest, DriverCurveCallsSampleAtTheUserRate) {
    ZeqTuloUserParams::Instance()->SetDoubleParam(KZeqUserParams::kExportSamplingRate, 10.0);
    TObject t = Transform("t");
    Keys(t, "translateY", {{0, 0}, {1, 2}});
    Keys(t, "rotateY", {{0, 0}, {1, kPi / 2}});
    KZeqTakeNode* take = Node(t)->GetDefaultTakeNode();
    KFCurveNode& channels = *take->GetKFCurveNode();
    TFnTransform fn(t);
    mExport->SetFCurve(fn, "translateY", channels, "T", "Y", true, 1.0);
    ASSERT_EQ(take->GetTranslationY()->KeyGetCount(), 11);
    EXPECT_FLOAT_EQ(take->GetTranslationY()->KeyGetPtr(5)->GetValue(), 1.0f);
    mExport->SetFCurve(fn, "noSuchPlug", channels, "T", "X", true, 1.0);
    mExport->SetFCurve(fn, "translateX", channels, "T", "X", true, 1.0);
    EXPECT_EQ(take->GetTranslationX()->KeyGetCount(), 0);

    mExport->SetRotationFCurve(fn, *channels.FindRecursive("R"), TEulerRotation::kXYZ);
    for (KFCurve* curve : {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()})
        EXPECT_EQ(curve->KeyGetCount(), 11);
    EXPECT_NEAR(take->GetEulerRotationY()->KeyGetPtr(10)->GetValue(), 90.0, 1e-4);
    EXPECT_NEAR(take->GetEulerRotationX()->KeyGetPtr(10)->GetValue(), 0.0, 1e-4);
}

TEST_F(TransformExportTest, AnimatedNodeGetsTakeWithItsCurves) {
    TObject parent = Transform("parent");
    TObject child = Transform("child", parent);
    Keys(child, "rotateY", {{0, 0}, {1, kPi}});
    ZeqTuloNode* parentNode = Node(parent);
    ZeqTuloNode* childNode = Node(child, parentNode);
    EXPECT_TRUE(mExport->ExportTransform(*mExport->mRootNode));
    EXPECT_FALSE(HasTake(*parentNode, "Take 001"));
    ASSERT_STREQ(TakeName(*childNode), "Take 001");
    KFCurve* y = childNode->GetCurrentTakeNode()->GetEulerRotationY();
    ASSERT_EQ(y->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(y->KeyGetPtr(1)->GetValue(), 180.0f);
    EXPECT_EQ(childNode->GetDefaultTakeNode()->GetEulerRotationY()->KeyGetCount(), 0);
}

TEST_F(TransformExportTest, SpotAndDirectionalLightsTurnTheirPostRotation) {
    TFnSpotLight spot;
    TObject spotShape = spot.create();
    TFnDirectionalLight directional;
    TObject directionalShape = directional.create();
    TFnPointLight point;
    TObject pointShape = point.create();
    ZeqTuloNode* spotNode = Node(TFnDagNode(spotShape).parent(0), nullptr, mExport->mSdkManager.CreateKZeqLight());
    ZeqTuloNode* directionalNode =
        Node(TFnDagNode(directionalShape).parent(0), nullptr, mExport->mSdkManager.CreateKZeqLight());
    TObject pointTransform = TFnDagNode(pointShape).parent(0);
    SetRotateAxis(pointTransform, 30, 0, 0);
    ZeqTuloNode* pointNode = Node(pointTransform, nullptr, mExport->mSdkManager.CreateKZeqLight());
    mExport->ExportTransform(*mExport->mRootNode);
    ExpectVector(spotNode->GetPostRotation(KZeqNode::eSOURCE_SET), -90, 0, 0);
    ExpectVector(directionalNode->GetPostRotation(KZeqNode::eSOURCE_SET), -90, 0, 0);
    ExpectVector(pointNode->GetPostRotation(KZeqNode::eSOURCE_SET), -30, 0, 0);
}

// A spot light under a rotation order other than XYZ with a rotate axis: the post-rotation holds
// the X-first angles (as every post-rotation of the file) of the inverse of the turn from the
// file's light axis onto the host's followed by the rotate axis; its inverse takes the file's
// forward axis (-Y) to where the host's (-Z) points through the rotate axis.
TEST_F(TransformExportTest, TurnedSpotLightUnderAnotherRotationOrderKeepsItsDirection) {
    TFnSpotLight spot;
    TObject shape = spot.create();
    TObject transform = TFnDagNode(shape).parent(0);
    TFnTransform(transform).setRotationOrder(TTransformationMatrix::kZXY, false);
    SetRotateAxis(transform, 20, -10, 30);
    ZeqTuloNode* node = Node(transform, nullptr, mExport->mSdkManager.CreateKZeqLight());
    mExport->ExportTransform(*mExport->mRootNode);
    const KZeqVector4& post = node->GetPostRotation(KZeqNode::eSOURCE_SET);
    double p[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KmXYZtoR(p, post[0], post[1], post[2]);
    const TMatrix axis = TFnTransform(transform).rotateOrientation(TSpace::kTransform).asMatrix();
    // Row vectors: the file's forward axis through the inverse post-rotation (the transpose).
    const double forward[3] = {0, -1, 0};
    double file[3] = {0, 0, 0}, host[3] = {0, 0, 0};
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k) {
            file[j] += forward[k] * p[j][k];
            host[j] += (k == 2 ? -1.0 : 0.0) * axis.matrix[k][j];
        }
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(file[j], host[j], 1e-9) << j;
}

// A spot light whose post-rotation lies within a hundredth of a degree of a quarter turn about Y
// gets that turn exactly, not the quarter turn.
TEST_F(TransformExportTest, TurnedSpotLightNearAQuarterTurnAboutYKeepsItsTurn) {
    // post = (turn . axis)^-1, so axis = turn^T . post^T.
    double post[4][4] = {}, axis[4][4] = {};
    KmXYZtoR(post, 128.99, 90.0078, 31.26);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) axis[i][j] += ZeqTuloUtility::LightAxes()[k][i] * post[j][k];
    double angles[3];
    KmRtoVXYZ(angles, axis);  // far from a quarter turn about Y: exact
    TFnSpotLight spot;
    TObject transform = TFnDagNode(spot.create()).parent(0);
    SetRotateAxis(transform, angles[0], angles[1], angles[2]);
    ZeqTuloNode* node = Node(transform, nullptr, mExport->mSdkManager.CreateKZeqLight());
    mExport->ExportTransform(*mExport->mRootNode);
    const KZeqVector4& got = node->GetPostRotation(KZeqNode::eSOURCE_SET);
    double rebuilt[4][4] = {};
    KmXYZtoR(rebuilt, got[0], got[1], got[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(rebuilt[i][j], post[i][j], 1e-9) << i << j;
}

using CameraTransformTest = TransformExportTest;

TEST_F(CameraTransformTest, CameraWithoutTargetTurnsAndHasUnitScaling) {
    ZeqTuloNode* node = Camera("cam");
    const double scale[3] = {2, 3, 4};
    TFnTransform(node->GetDagPath()->node()).setScale(scale);
    Keys(node->GetDagPath()->node(), "scaleX", {{0, 1}, {1, 2}});
    mExport->ExportTransform(*mExport->mRootNode);
    ExpectVector(node->GetPostRotation(KZeqNode::eSOURCE_SET), 0, -90, 0);
    ASSERT_STREQ(TakeName(*node), "Take 001");
    for (KZeqTakeNode* take : {node->GetDefaultTakeNode(), node->GetCurrentTakeNode()}) {
        EXPECT_FLOAT_EQ(take->GetScaleX()->GetValue(), 1.0f);
        EXPECT_FLOAT_EQ(take->GetScaleZ()->GetValue(), 1.0f);
    }
    EXPECT_EQ(node->GetCurrentTakeNode()->GetScaleX()->KeyGetCount(), 0);
}

TEST_F(CameraTransformTest, CameraWithTargetLosesItsRotationKeysInTheTakeOnly) {
    TObject group = standin::createNode("lookAt", "rig_group");
    ZeqTuloNode* groupNode = Node(group);
    ZeqTuloNode* camera = Camera("cam", group, groupNode);
    ZeqTuloNode* aim = Node(Transform("aim", group), groupNode);
    TObject cameraTransform = camera->GetDagPath()->node();
    const double rotation[3] = {0.5, 0, 0};
    TFnTransform(cameraTransform).setRotation(rotation, 1);
    Keys(cameraTransform, "rotateX", {{0, 0.5}, {1, 1}});
    mExport->ExportTransform(*mExport->mRootNode);
    EXPECT_EQ(camera->GetTarget(), aim);
    ASSERT_STREQ(TakeName(*camera), "Take 001");
    KZeqTakeNode* take = camera->GetCurrentTakeNode();
    EXPECT_EQ(take->GetEulerRotationX()->KeyGetCount(), 0);
    EXPECT_FLOAT_EQ(take->GetEulerRotationX()->GetValue(), 0.0f);
    EXPECT_NEAR(camera->GetDefaultTakeNode()->GetEulerRotationX()->GetValue(), 0.5 * 57.29577951308232, 1e-4);
    // Aimed cameras keep the post-rotation of their rotate axis.
    ExpectVector(camera->GetPostRotation(KZeqNode::eSOURCE_SET), 0, 0, 0);
}

}  // namespace
