// Transform animation, visibility and the animation pass on bridge nodes bound to stand-in nodes.
#include "zeqtuloimport_animation_test_support.h"
#include "plugin/zeqtulolookatrig.h"

#include "content/kzeqcamera.h"
#include "content/kzeqnull.h"
#include "tfndagnode.h"

using namespace zeqsdk_400;

namespace {

const double kDegree = 0.017453292519943295;

class TransformAnimationTest : public ImportAnimationTest {
protected:
    // A node "box" under the world with keyed translation X, rotation Y and scaling Z.
    ZeqTuloNode* KeyedBox() {
        mBox = HostPath("transform", "box");
        ZeqTuloNode* node = Node("box", &mBox);
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        AddKey(*take->GetTranslationX(), 0.0, 0.0f);
        AddKey(*take->GetTranslationX(), 1.0, 10.0f);
        AddKey(*take->GetEulerRotationY(), 0.0, 0.0f);
        AddKey(*take->GetEulerRotationY(), 1.0, 90.0f);
        AddKey(*take->GetScaleZ(), 0.0, 1.0f);
        AddKey(*take->GetScaleZ(), 1.0, 3.0f);
        return node;
    }
    TFnAnimCurve Curve(const char* plug) {
        TStatus status;
        TFnAnimCurve curve(TFnTransform(mBox).findPlug(plug), &status);
        EXPECT_TRUE(status) << plug;
        return curve;
    }
    static double Value(const TDagPath& path, const char* plug) {
        double value = 0;
        TFnTransform(path).findPlug(plug).getValue(value);
        return value;
    }
    static bool Animated(const TDagPath& path, const char* plug) {
        TStatus status;
        TFnAnimCurve curve(TFnTransform(path).findPlug(plug), &status);
        return status.statusCode() == TStatus::kSuccess;
    }

    TDagPath mBox;
};

// Spheric XYZ shapes rotation limits only: the node turns by its Euler XYZ angles, which come in
// as such, the constant ones too (the motion readers' bones, whose still axes have no keys).
TEST_F(TransformAnimationTest, SphericXYZComesInAsEulerXYZ) {
    ZeqTuloNode* node = KeyedBox();
    node->SetRotationOrder(KZeqNode::eDESTINATION_SET, eSPHERIC_XYZ);
    node->GetCurrentTakeNode()->GetEulerRotationX()->SetValue(-90.0f);
    TFnTransform(mBox).findPlug("rotateX").setValue(0.75);
    TFnTransform(mBox).setRotationOrder(TTransformationMatrix::kYZX, false);
    mImport->ImportTransformAnimation(*node);
    EXPECT_EQ(Curve("rotateY").numKeys(), 2u);
    EXPECT_NEAR(Value(mBox, "rotateX"), -90 * kDegree, 1e-6);
    EXPECT_EQ(TFnTransform(mBox).rotationOrder(), TTransformationMatrix::kXYZ);
}

// Under another rotation order, the static angles of the axes no curve drives come back as they
// are beside the keyed one.
TEST_F(TransformAnimationTest, StaticAnglesBesideAKeyedAxisKeepTheirOrder) {
    mBox = HostPath("transform", "box");
    ZeqTuloNode* node = Node("box", &mBox);
    node->SetRotationOrder(KZeqNode::eDESTINATION_SET, eEULER_ZXY);
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    take->GetEulerRotationX()->SetValue(10.0f);
    take->GetEulerRotationZ()->SetValue(30.0f);
    AddKey(*take->GetEulerRotationY(), 0.0, 20.0f);
    AddKey(*take->GetEulerRotationY(), 1.0, 60.0f);
    mImport->ImportTransformAnimation(*node);
    EXPECT_EQ(TFnTransform(mBox).rotationOrder(), TTransformationMatrix::kZXY);
    EXPECT_NEAR(Value(mBox, "rotateX"), 10 * kDegree, 1e-6);
    EXPECT_NEAR(Value(mBox, "rotateY"), 20 * kDegree, 1e-6);
    EXPECT_NEAR(Value(mBox, "rotateZ"), 30 * kDegree, 1e-6);
}

TEST_F(TransformAnimationTest, GlobalTransformChainsFromTheParent) {
    TDagPath parentPath = HostPath("transform", "arm");
    ZeqTuloNode* parent = Node("arm", &parentPath);
    parent->GetCurrentTakeNode()->GetTranslationX()->SetValue(10.0f);
    parent->GetCurrentTakeNode()->GetEulerRotationZ()->SetValue(90.0f);
    TDagPath childPath = HostPath("transform", "hand", parentPath.node());
    ZeqTuloNode* child = Node("hand", &childPath, parent);
    child->GetCurrentTakeNode()->GetTranslationX()->SetValue(1.0f);
    mImport->ImportTransformAnimation(*parent);
    mImport->ImportTransformAnimation(*child);
    // (1, 0, 0) turned a quarter about Z, then moved by 10 along X.
    EXPECT_NEAR(child->GetGlobalTranslation()[0], 10.0, 1e-6);
    EXPECT_NEAR(child->GetGlobalTranslation()[1], 1.0, 1e-6);
    EXPECT_NEAR(child->GetGlobalRotation()[2], 90.0, 1e-6);
}

// A node turned within a hundredth of a degree of a quarter turn about Y keeps that turn in the
// global rotation its children chain through, not the quarter turn.
TEST_F(TransformAnimationTest, GlobalRotationNearAQuarterTurnAboutYKeepsItsTurn) {
    mBox = HostPath("transform", "box");
    ZeqTuloNode* node = Node("box", &mBox);
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    const float angles[3] = {128.99f, 90.0078f, 31.26f};
    KFCurve* rotation[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
    for (int i = 0; i < 3; ++i) rotation[i]->SetValue(angles[i]);
    mImport->ImportTransformAnimation(*node);
    double expected[4][4] = {}, rebuilt[4][4] = {};
    KmXYZtoR(expected, angles[0], angles[1], angles[2]);
    const double* got = node->GetGlobalRotation();
    KmXYZtoR(rebuilt, got[0], got[1], got[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(rebuilt[i][j], expected[i][j], 1e-9) << i << j;
}

struct GlobalCase {
    std::string name;
    double scale[3];
    double rotation[3];  // expected global rotation
    double scaling[3];   // expected global scaling
};

class GlobalDecompositionTest : public TransformAnimationTest, public ::testing::WithParamInterface<GlobalCase> {};

TEST_P(GlobalDecompositionTest, RowsGiveScalingAndRotation) {
    mBox = HostPath("transform", "box");
    ZeqTuloNode* node = Node("box", &mBox);
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    take->GetScaleX()->SetValue(static_cast<float>(GetParam().scale[0]));
    take->GetScaleY()->SetValue(static_cast<float>(GetParam().scale[1]));
    take->GetScaleZ()->SetValue(static_cast<float>(GetParam().scale[2]));
    mImport->ImportTransformAnimation(*node);
    for (int i = 0; i < 3; ++i) {
        // Angles compare modulo a whole turn (180 and -180 are one rotation).
        const double turn = std::remainder(node->GetGlobalRotation()[i] - GetParam().rotation[i], 360.0);
        EXPECT_NEAR(turn, 0.0, 1e-9) << i;
        EXPECT_NEAR(node->GetGlobalScaling()[i], GetParam().scaling[i], 1e-9) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scalings, GlobalDecompositionTest,
    ::testing::Values(
        // A mirror (negative determinant): three negative factors and the rows turned by them.
        GlobalCase{"Mirrored", {-1, 1, 1}, {180, 0, 0}, {-1, -1, -1}},
        GlobalCase{"Uniform", {2, 2, 2}, {0, 0, 0}, {2, 2, 2}},
        // A zero factor leaves a row without direction: rotation 0.
        GlobalCase{"ZeroRow", {0, 1, 1}, {0, 0, 0}, {0, 1, 1}}),
    CaseName());

TEST_F(TransformAnimationTest, NotANumberStaticIsLeftOutAndLogged) {
    mBox = HostPath("transform", "box");
    ZeqTuloNode* node = Node("box", &mBox);
    TFnTransform(mBox).findPlug("translateZ").setValue(3.0);
    node->GetCurrentTakeNode()->GetTranslationZ()->SetValue(std::nanf(""));
    mImport->ImportTransformAnimation(*node);
    EXPECT_EQ(Value(mBox, "translateZ"), 3.0);
    EXPECT_EQ(LogLines(), std::vector<std::string>({"box: the static translation is not a number and was not set."}));
}

// Old files: joint orient and rotate axis from pre- and post-rotation, pivots zeroed, and nothing
// of pivots, limits or rotation order.
TEST_F(TransformAnimationTest, OldVersionFilesSetOrientAndZeroPivots) {
    TDagPath joint = HostPath("joint", "knee");
    ZeqTuloNode* node = Node("knee", &joint);
    TFnTransform transform(joint);
    transform.setRotatePivot(TPoint(1, 2, 3), TSpace::kTransform, false);
    transform.setScalePivotTranslation(TVector(4, 5, 6), TSpace::kTransform);
    ZeqTuloUtility::SetJointOrient(transform, TPoint(360, 0, 0));  // the same rotation as (0, 0, 0)
    node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 0));
    node->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 30, 0, 0));
    node->SetRotationOrder(KZeqNode::eDESTINATION_SET, eEULER_ZYX);
    node->GetLimits().SetTranslationLimitActive(true);
    mImport->mIsOldVersion = true;
    mImport->ImportTransformAnimation(*node);
    TPoint orient, axis;
    ZeqTuloUtility::GetJointOrient(transform, orient);
    EXPECT_NEAR(orient.x, 360, 1e-9);  // left: equal rotation
    ZeqTuloUtility::GetRotateAxis(transform, axis);
    EXPECT_NEAR(axis.y, 30, 1e-9);
    EXPECT_TRUE(transform.rotatePivot(TSpace::kTransform).isEquivalent(TPoint(0, 0, 0)));
    EXPECT_TRUE(transform.scalePivotTranslation(TSpace::kTransform).isEquivalent(TVector(0, 0, 0)));
    EXPECT_EQ(transform.rotationOrder(), TTransformationMatrix::kXYZ);
    EXPECT_TRUE(SentCommands().empty());  // no limit command
    // Another pre-rotation is written.
    node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 45, 0));
    mImport->ImportTransformAnimation(*node);
    ZeqTuloUtility::GetJointOrient(transform, orient);
    EXPECT_NEAR(orient.x, 0, 1e-9);
    EXPECT_NEAR(orient.z, 45, 1e-9);
}

// ---- Visibility.

class VisibilityTest : public TransformAnimationTest {
protected:
    ZeqTuloNode* Box() {
        mBox = HostPath("transform", "box");
        return Node("box", &mBox);
    }
};

TEST_F(VisibilityTest, KeysBecomeOnOffSteps) {
    ZeqTuloNode* node = Box();
    KFCurve& curve = *node->GetCurrentTakeNode()->GetVisibility();
    const float values[] = {0.5f, 1.0f, 3.0f, 1e-05f, 0.0f, -1.0f};
    for (int i = 0; i < 6; ++i) AddKey(curve, i * 0.1, values[i]);
    EXPECT_TRUE(mImport->ImportAnimationVisibility(*node));
    const float expected[] = {1, 1, 1, 0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(curve.KeyGetPtr(i)->GetValue(), expected[i]) << i;  // changed in the Zeq scene too
        EXPECT_EQ(curve.KeyGetPtr(i)->GetInterpolation(), KFCURVE_INTERPOLATION_CONSTANT);
    }
    TFnAnimCurve host = Curve("visibility");
    ASSERT_EQ(host.numKeys(), 6u);
    for (unsigned i = 0; i < 6; ++i) {
        EXPECT_EQ(host.value(i), expected[i]);
        EXPECT_EQ(host.outTangentType(i), TFnAnimCurve::kTangentStep);
    }
}

// A constant key taking the next key's value still does: shown at 0 s, hidden from then to 0.5 s
// (the automatic keys above, made steps, hold their own).
TEST_F(VisibilityTest, AConstantKeyTakingTheNextValueKeepsItsMode) {
    ZeqTuloNode* node = Box();
    KFCurve& curve = *node->GetCurrentTakeNode()->GetVisibility();
    AddKey(curve, 0.0, 1.0f, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_NEXT);
    AddKey(curve, 0.5, 0.0f, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD);
    AddKey(curve, 1.0, 1.0f);
    EXPECT_TRUE(mImport->ImportAnimationVisibility(*node));
    TFnAnimCurve host = Curve("visibility");
    for (double s : {-1.0, 0.0, 1.0, 2.0}) EXPECT_EQ(host.evaluate(TTime(s, TTime::kSeconds)), 1.0) << s;
    for (double s : {1.0 / 24, 0.25, 0.5, 0.99}) EXPECT_EQ(host.evaluate(TTime(s, TTime::kSeconds)), 0.0) << s;
}

TEST_F(VisibilityTest, DefaultTakeGivesOnlyTheStaticValue) {
    ZeqTuloNode* node = Box();
    node->SetCurrentTakeNode(0);
    AddKey(*node->GetDefaultTakeNode()->GetVisibility(), 0.0, 0.0f);
    node->GetDefaultTakeNode()->GetVisibility()->SetValue(0.0f);
    EXPECT_TRUE(mImport->ImportAnimationVisibility(*node));
    EXPECT_FALSE(Animated(mBox, "visibility"));
    EXPECT_EQ(Value(mBox, "visibility"), 0.0);
}

TEST_F(VisibilityTest, StaticValueFromTheDefaultTakeAndTheNodesFlag) {
    ZeqTuloNode* node = Box();
    node->GetDefaultTakeNode()->GetVisibility()->SetValue(0.2f);
    node->GetCurrentTakeNode()->GetVisibility()->SetValue(0.0f);  // never read for the static value
    mImport->ImportAnimationVisibility(*node);
    EXPECT_EQ(Value(mBox, "visibility"), 1.0);
    node->GetDefaultTakeNode()->GetVisibility()->SetValue(1.0f);
    node->SetVisibility(false);
    mImport->ImportAnimationVisibility(*node);
    EXPECT_EQ(Value(mBox, "visibility"), 0.0);
}

TEST_F(VisibilityTest, NodeWithoutHostNodeFails) {
    ZeqTuloNode* node = Node("ghost", nullptr);
    EXPECT_FALSE(mImport->ImportAnimationVisibility(*node));
}

// ---- The pass.

TEST_F(TransformAnimationTest, PassSkipsNodesWithoutHostNodesButVisitsTheirChildren) {
    ZeqTuloNode* root = Node("root", nullptr);
    TDagPath childPath = HostPath("transform", "child");
    ZeqTuloNode* child = Node("child", &childPath, root);
    child->GetCurrentTakeNode()->GetTranslationY()->SetValue(4.0f);
    AddKey(*child->GetCurrentTakeNode()->GetTranslationY(), 0.0, 4.0f);
    AddKey(*child->GetCurrentTakeNode()->GetTranslationY(), 1.0, 5.0f);
    root->GetCurrentTakeNode()->GetTranslationY()->SetValue(100.0f);
    EXPECT_TRUE(mImport->ImportAnimation(*root));
    EXPECT_TRUE(Animated(childPath, "translateY"));
    // The root never reached the host, so the child's global values are its own.
    EXPECT_NEAR(child->GetGlobalTranslation()[1], 4.0, 1e-6);
}

TEST_F(TransformAnimationTest, CameraGroupAnimationLandsOnTheLookAtGroup) {
    // A look-at group holding the camera's transform, as camera creation makes it.
    TObject group = standin::createNode("lookAt", "cam_group");
    TDagPath camPath = HostPath("transform", "cam", group);
    standin::createNode("camera", "camShape", camPath.node());
    TDagPath groupPath;
    TDagPath::getAPathTo(group, groupPath);
    ZeqTuloNode* root = Node("top", nullptr);
    ZeqTuloNode* groupNode = Node("cam_group", nullptr, root);
    groupNode->SetNodeAttribute(mManager.CreateKZeqNull());
    Node("cam", &camPath, groupNode, mManager.CreateKZeqCamera())->SetTarget(Node("cam_aim", nullptr, groupNode));
    AddKey(*groupNode->GetCurrentTakeNode()->GetTranslationZ(), 0.0, 1.0f);
    AddKey(*groupNode->GetCurrentTakeNode()->GetTranslationZ(), 1.0, 2.0f);
    ASSERT_TRUE(FindLookAtRig(groupNode));
    mImport->FillQuorbelNodeArray(root);
    ASSERT_TRUE(mImport->IsHostCameraGroup(groupNode));
    // Camera creation makes the look-at group the group node's host node.
    groupNode->SetDagPath(&groupPath);
    mImport->ImportAnimation(*groupNode);
    EXPECT_TRUE(Animated(groupPath, "translateZ"));
    EXPECT_FALSE(Animated(camPath, "translateZ"));
}

}  // namespace
