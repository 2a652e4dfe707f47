// Transform access: triples in degrees, animation tests, dependency searches and the local
// transform as a Zeq matrix.
#include "zeqtulo_test_support.h"

#include <cmath>

#include "base/kzeqmatrix.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtuloutility.h"
#include "tfnanimcurve.h"
#include "tfnattribute.h"

using zeqsdk_400::KZeqMatrix;
using zeqsdk_400::KZeqVector4;
using zeqsdk_400::KZeqXMatrix;

namespace {

using TransformTest = HostTest;

TEST_F(TransformTest, RotateAxisAndJointOrientInDegrees) {
    TFnTransform joint(standin::createNode("joint", "j"));
    standin::plug("j.rotateAxisY").setValue(1.0);
    standin::plug("j.rotateAxisZ").setValue(2.0);
    ZeqTuloUtility::SetRotateAxis(joint, TPoint(90, 0, 0));
    TPoint p;
    ZeqTuloUtility::GetRotateAxis(joint, p);
    EXPECT_TRUE(p.isEquivalent(TPoint(90, 0, 0), 1e-12));
    double x = 0;
    standin::plug("j.rotateAxisX").getValue(x);
    EXPECT_EQ(x, 90 * 0.017453292519943295);
    ZeqTuloUtility::SetJointOrient(joint, TPoint(0, 45, 0));
    ZeqTuloUtility::GetJointOrient(joint, p);
    EXPECT_TRUE(p.isEquivalent(TPoint(0, 45, 0), 1e-12));
    GetTuloJointOrient(joint, p);
    EXPECT_NEAR(p.y, M_PI / 4, 1e-15);
    // A plain transform has no joint orient: read as zeros, nothing set.
    TFnTransform plain(standin::createNode("transform", "t"));
    p = TPoint(5, 5, 5);
    ZeqTuloUtility::GetJointOrient(plain, p);
    EXPECT_TRUE(p.isEquivalent(TPoint(0, 0, 0)));
    ZeqTuloUtility::SetJointOrient(plain, TPoint(1, 2, 3));
    SetTuloRotateAxis(plain, TPoint(0.5, 0, 0));
    GetTuloRotateAxis(plain, p);
    EXPECT_EQ(p.x, 0.5);
}

// The free family writes the plugs' own values (radians, as the host turns the joint with them);
// the degree family reads the same plugs converted.
TEST_F(TransformTest, FreeFamilyWritesRadians) {
    TFnTransform joint(standin::createNode("joint", "j"));
    SetTuloJointOrient(joint, TPoint(0, 0, M_PI / 2));
    TPoint p;
    GetTuloJointOrient(joint, p);
    EXPECT_EQ(p, TPoint(0, 0, M_PI / 2));
    ZeqTuloUtility::GetJointOrient(joint, p);
    EXPECT_TRUE(p.isEquivalent(TPoint(0, 0, 90), 1e-12));
    TMatrix world;
    ASSERT_TRUE(ExtractWorldMatrix(joint, world));
    EXPECT_TRUE(TVector(world[0][0], world[0][1], world[0][2]).isEquivalent(TVector(0, 1, 0), 1e-12));
    GetTuloRotateAxis(joint, p);
    EXPECT_EQ(p, TPoint::origin);
    // Without joint-orient plugs nothing is written.
    TFnTransform plain(standin::createNode("transform", "t"));
    const std::string before = standin::dump();
    SetTuloJointOrient(plain, TPoint(1, 2, 3));
    EXPECT_EQ(standin::dump(), before);
}

TEST_F(TransformTest, AnimationNeedsKeys) {
    TFnTransform t(standin::createNode("transform", "box"));
    TFnAnimCurve curve;
    curve.create(t.findPlug("translateX"));
    EXPECT_FALSE(ZeqTuloUtility::IsAnimated(t));
    curve.create(t.findPlug("scaleZ"));
    curve.addKey(TTime(0.5, TTime::kSeconds), 2);
    EXPECT_TRUE(ZeqTuloUtility::IsAnimated(t));
    EXPECT_TRUE(IsTransformAnimated(t));
    // User attributes count only with class 2 and type 548.
    EXPECT_FALSE(ZeqTuloUtility::IsUserPropertiesAnimated(t));
    TFnUnitAttribute unit;
    t.addAttribute(unit.create("spin", "spn", TFnUnitAttribute::kAngle), 2);
    TFnNumericAttribute numeric;
    t.addAttribute(numeric.create("gain", "gn", TFnNumericData::kDouble), 2);
    curve.create(t.findPlug("spin"));
    curve.addKey(TTime(0, TTime::kSeconds), 1);
    EXPECT_FALSE(ZeqTuloUtility::IsUserPropertiesAnimated(t));
    curve.create(t.findPlug("gain"));
    EXPECT_FALSE(ZeqTuloUtility::IsUserPropertiesAnimated(t));
    curve.addKey(TTime(0, TTime::kSeconds), 1);
    EXPECT_TRUE(ZeqTuloUtility::IsUserPropertiesAnimated(t));
}

// The first node of the type decides, named or not; the out object is written on success only.
TEST_F(TransformTest, DependencySearch) {
    ASSERT_TRUE(standin::buildScene("skinRig"));
    TObject ctrl = standin::find("ctrl");
    TObject found;
    ASSERT_TRUE(ZeqTuloUtility::GetDependencyOfThisType(&ctrl, TFn::kDagPose, &found, TItDependencyGraph::kDownstream,
                                                        TFn::kInvalid));
    EXPECT_STREQ(TFnDependencyNode(found).name().asChar(), "bindPose1");
    TObject untouched = ctrl;
    TObject knee = standin::find("knee");
    EXPECT_FALSE(ZeqTuloUtility::GetDependencyOfThisType(&knee, TFn::kDagPose, &untouched,
                                                         TItDependencyGraph::kDownstream, TFn::kInvalid));
    EXPECT_TRUE(untouched == ctrl);
    found = TObject();
    EXPECT_FALSE(ZeqTuloUtility::GetDependencyOfThisTypeAndName(&ctrl, TFn::kDagPose, "otherPose", &found,
                                                                TItDependencyGraph::kDownstream, TFn::kInvalid));
    EXPECT_FALSE(found.isNull());
    EXPECT_TRUE(ZeqTuloUtility::GetDependencyOfThisTypeAndName(&ctrl, TFn::kDagPose, "bindPose1", &found,
                                                               TItDependencyGraph::kDownstream, TFn::kInvalid));
    TObject leg = standin::find("legShape");
    ASSERT_TRUE(ZeqTuloUtility::GetDependencyOfThisType(&leg, TFn::kSkinCluster, &found, TItDependencyGraph::kUpstream,
                                                        TFn::kInvalid));
    EXPECT_STREQ(TFnDependencyNode(found).name().asChar(), "legSkin");
}

TEST_F(TransformTest, LocalTransformAsAZeqMatrix) {
    TFnTransform t(standin::createNode("transform", "box"));
    t.setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    double r[3] = {0.3, -0.2, 1.1};
    t.setRotation(r, TTransformationMatrix::kXYZ);
    double s[3] = {2, 3, 4};
    t.setScale(s);
    KZeqMatrix m;
    ZeqTuloUtility::GetTFnTransformNode(t, m);
    TMatrix host = t.transformation().asMatrix();
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(m.mData[k / 4][k % 4], host.matrix[k / 4][k % 4], 1e-12) << k;
    TFnTransform other(standin::createNode("transform", "copy"));
    other.setRotationOrder(TTransformationMatrix::kZXY, false);
    ZeqTuloUtility::SetTFnTransformNode(other, m);
    EXPECT_TRUE(other.transformation().asMatrix().isEquivalent(host, 1e-12));
    EXPECT_EQ(ZeqTuloUtility::GetRotationOrder(other), 2);
    double to[4][4];
    ConvertMatrixTuloToZEQ(t.transformation(), to);
    EXPECT_EQ(to[3][2], 3);
    TTransformationMatrix back;
    ConvertMatrixZEQToTulo(to, back);
    EXPECT_TRUE(back.asMatrix().isEquivalent(host, 1e-12));
    EXPECT_FALSE(transcribed("(kFailure)"));
}

}  // namespace
