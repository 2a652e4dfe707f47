// Whole files through the module: an animated hierarchy with pivots, limits and visibility, and a
// scene of lights, cameras with targets, user attributes and blend shapes, imported under both unit
// settings and checked against the Zeq scene they were written from; the host program imports
// the same files strictly.
#include "importtest_support.h"

#include <cmath>
#include <map>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "object/kproperty.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "tfnanimcurve.h"
#include "tfncamera.h"
#include "tfndagnode.h"
#include "tfndeformer.h"
#include "tfnlight.h"
#include "tfnnurbssurface.h"
#include "tfntransform.h"

using namespace zeqsdk_400;
using importtest::AddNode;
using importtest::HostParent;
using importtest::HostPath;

namespace {

KTime At(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

void Cubic(KFCurve* curve, double seconds, float value, unsigned mode = KFCURVE_TANGEANT_AUTO) {
    KFCurveKey key;
    key.Set(At(seconds), value, KFCURVE_INTERPOLATION_CUBIC, mode, 0, 0, KFCURVE_WEIGHTED_NONE, 1 / 3.0f, 1 / 3.0f,
            0, 0);
    curve->KeyAdd(At(seconds), key);
}

// hip (joint, order ZXY) > knee (joint with pivots, orient, axis and a rotation limit) > foot
// (null with a translation limit and stepped visibility), keyed in "Walk" with user, auto and
// linear keys.
void Hierarchy(KZeqSdkManager& m, KZeqScene& s) {
    KZeqNode* hip = AddNode(m, s.GetRootNode(), "hip", "skeleton:0");
    KZeqNode* knee = AddNode(m, hip, "knee", "skeleton:2");
    KZeqNode* foot = AddNode(m, knee, "foot", "null");
    hip->SetRotationOrder(KZeqNode::eSOURCE_SET, eEULER_ZXY);
    knee->SetDefaultT(KZeqVector4(0, -40, 2, 0));
    knee->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 3, 0, 0));
    knee->SetScalingPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 0, 0, 0));
    knee->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 15, 0));
    knee->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(5, 0, 0, 0));
    // In effect: an inactive set takes no part in the knee's evaluation, and no file carries it.
    knee->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    KZeqNodeLimits& kneeLimits = knee->GetLimits();
    kneeLimits.mRotationLimits.SetLimitMin(KZeqVector4(-10, 0, -90, 0));
    kneeLimits.mRotationLimits.SetLimitMax(KZeqVector4(120, 0, 90, 0));
    kneeLimits.mRotationLimits.SetLimitMinActive(true, false, true);
    kneeLimits.mRotationLimits.SetLimitMaxActive(true, false, false);
    kneeLimits.SetRotationLimitActive(true);
    foot->SetDefaultT(KZeqVector4(0, -35, 5, 0));
    KZeqNodeLimits& footLimits = foot->GetLimits();
    footLimits.mTranslationLimits.SetLimitMin(KZeqVector4(-5.08, 0, 0, 0));
    footLimits.mTranslationLimits.SetLimitMax(KZeqVector4(2.54, 0, 0, 0));
    footLimits.mTranslationLimits.SetLimitMinActive(true, false, false);
    footLimits.mTranslationLimits.SetLimitMaxActive(true, false, false);
    footLimits.SetTranslationLimitActive(true);

    s.CreateTake("Walk");
    for (KZeqNode* n : {hip, knee, foot}) n->SetCurrentTakeNode("Walk");
    KZeqTakeNode* walk = hip->GetCurrentTakeNode();
    KFCurve* tx = walk->GetTranslationX();
    Cubic(tx, 0.0, 0.0f, KFCURVE_TANGEANT_USER);
    Cubic(tx, 0.5, 20.0f, KFCURVE_TANGEANT_USER);
    Cubic(tx, 1.0, 10.0f, KFCURVE_TANGEANT_USER_BREAK);
    tx->KeySetRightDerivative(0, 30.0f);
    tx->KeySetLeftDerivative(1, 10.0f), tx->KeySetRightDerivative(1, 10.0f);
    tx->KeySetLeftDerivative(2, -40.0f), tx->KeySetRightDerivative(2, 5.0f);
    walk->GetTranslationY()->SetValue(90.0f);
    Cubic(walk->GetEulerRotationY(), 0.0, 0.0f);
    Cubic(walk->GetEulerRotationY(), 1.0, 90.0f);
    walk->GetEulerRotationZ()->SetValue(20.0f);
    importtest::Key(knee->GetCurrentTakeNode()->GetEulerRotationX(), 0.0, 0.0f);
    importtest::Key(knee->GetCurrentTakeNode()->GetEulerRotationX(), 1.0, 60.0f);
    importtest::Key(knee->GetCurrentTakeNode()->GetScaleY(), 0.0, 1.0f);
    importtest::Key(knee->GetCurrentTakeNode()->GetScaleY(), 1.0, 1.5f);
    KFCurve* visibility = foot->GetCurrentTakeNode()->GetVisibility();
    importtest::Key(visibility, 0.0, 1.0f);
    importtest::Key(visibility, 0.4, 0.0f);
    importtest::Key(visibility, 0.8, 1.0f);
    s.SetCurrentTake("Walk");
}

TMatrix Translation(const KZeqVector4& v, double sign = 1) {
    TMatrix m;
    for (int i = 0; i < 3; ++i) m.matrix[3][i] = sign * v[i];
    return m;
}

// The node's local matrix at a time from its take curves and pivot set 0, row vectors:
// Sp^-1 S Sp Soff Rp^-1 Rpost^-1 R Rpre Rp Roff T, R in the node's rotation order.
TMatrix ExpectedLocal(KZeqNode& node, double seconds) {
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    KFCurve* curves[9] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                          take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                          take->GetScaleX(),         take->GetScaleY(),         take->GetScaleZ()};
    double v[9];
    for (int i = 0; i < 9; ++i) v[i] = curves[i]->Evaluate(At(seconds));
    static const TEulerRotation::RotationOrder kOrders[6] = {TEulerRotation::kXYZ, TEulerRotation::kXZY,
                                                             TEulerRotation::kYZX, TEulerRotation::kYXZ,
                                                             TEulerRotation::kZXY, TEulerRotation::kZYX};
    ERotationOrder order = eEULER_XYZ;
    node.GetRotationOrder(KZeqNode::eSOURCE_SET, order);
    const double k = M_PI / 180;
    const TMatrix r = TEulerRotation(v[3] * k, v[4] * k, v[5] * k, kOrders[order]).asMatrix();
    const KZeqVector4& pre = node.GetPreRotation(KZeqNode::eSOURCE_SET);
    const KZeqVector4& post = node.GetPostRotation(KZeqNode::eSOURCE_SET);
    const TMatrix rpre = TEulerRotation(pre[0] * k, pre[1] * k, pre[2] * k).asMatrix();
    const TMatrix rpost = TEulerRotation(post[0] * k, post[1] * k, post[2] * k).asMatrix().transpose();
    TMatrix scale;
    for (int i = 0; i < 3; ++i) scale.matrix[i][i] = v[6 + i];
    const KZeqVector4& sp = node.GetScalingPivot(KZeqNode::eSOURCE_SET);
    const KZeqVector4& rp = node.GetRotationPivot(KZeqNode::eSOURCE_SET);
    return Translation(sp, -1) * scale * Translation(sp) * Translation(node.GetScalingOffset(KZeqNode::eSOURCE_SET)) *
           Translation(rp, -1) * rpost * r * rpre * Translation(rp) *
           Translation(node.GetRotationOffset(KZeqNode::eSOURCE_SET)) *
           Translation(KZeqVector4(v[0], v[1], v[2], 0));
}

TMatrix ExpectedWorld(KZeqNode& node, double seconds) {
    TMatrix world = ExpectedLocal(node, seconds);
    for (KZeqNode* up = node.GetParent(); up && up->GetParent(); up = up->GetParent())
        world = world * ExpectedLocal(*up, seconds);
    return world;
}

struct UnitCase {
    std::string name;
    int distance, angle, time;
    const char* option;  // the host program's
};

class AnimationSceneTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<UnitCase> {
protected:
    void SetUp() override {
        ZeqTuloImportTest::SetUp();
        standin::setUnits(GetParam().distance, GetParam().angle, GetParam().time);
    }
    void TearDown() override {
        standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, TTime::kFilm);
        ZeqTuloImportTest::TearDown();
    }
    // Writes the scene and keeps it for the comparison.
    std::string Keep(const char* name, const std::function<void(KZeqSdkManager&, KZeqScene&)>& build) {
        mScene = mManager.CreateKZeqScene();
        build(mManager, *mScene);
        const std::string path = mDirectory + name + ".zeq";
        KZeqExporter exporter(mManager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
        KStreamOptionsZeq options;
        exporter.SetExportOptionsInfo(&options);
        EXPECT_TRUE(exporter.Export(*mScene)) << exporter.GetLastErrorString();
        return path;
    }
    KZeqNode* ZeqNode(const char* name) { return mManager.FindKZeqNode((std::string("Model::") + name).c_str()); }
    // Exit status of the host program importing the file strictly under this case's units.
    int Strict(const std::string& file, std::string& output) {
        return RunStandin(mDirectory, std::string("--strict ") + GetParam().option +
                                          " -c 'ZEQImportShowUI 0' -c 'ZEQImport -f \"" + file + "\" -take 0'",
                          output);
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene = nullptr;
};

// The host's world matrices follow the Zeq scene's at every sampled time: translation, rotation in
// its order, scaling, pivots, joint orient and rotate axis together.
TEST_P(AnimationSceneTest, AnimatedHierarchyFollowsTheZeqScene) {
    const std::string file = Keep("walk", Hierarchy);
    ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\" -take 0"));
    for (const char* name : {"hip", "knee", "foot"}) {
        ASSERT_FALSE(standin::find(name).isNull()) << name;
        KZeqNode* node = ZeqNode(name);
        ASSERT_TRUE(node);
        for (double t : {0.0, 0.2, 0.45, 0.7, 1.0}) {
            TAnimControl::setCurrentTime(TTime(t, TTime::kSeconds));
            TMatrix host;
            ASSERT_TRUE(ExtractWorldMatrix(TFnTransform(standin::find(name)), host));
            const TMatrix expected = ExpectedWorld(*node, t);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(host.matrix[r][c], expected.matrix[r][c], 1e-4)
                        << name << " at " << t << " [" << r << "][" << c << "]";
        }
    }
    // The order stays what the file says; visibility steps; limits in internal units.
    TFnTransform hip(standin::find("hip")), knee(standin::find("knee")), foot(standin::find("foot"));
    EXPECT_EQ(hip.rotationOrder(), TTransformationMatrix::kZXY);
    TFnAnimCurve visibility(foot.findPlug("visibility"));
    ASSERT_EQ(visibility.numKeys(), 3u);
    EXPECT_EQ(visibility.outTangentType(0), TFnAnimCurve::kTangentStep);
    EXPECT_EQ(visibility.value(1), 0.0);
    EXPECT_TRUE(knee.isLimited(TFnTransform::kRotateMinX));
    EXPECT_NEAR(knee.limitValue(TFnTransform::kRotateMaxX), 120 * M_PI / 180, 1e-9);
    EXPECT_FALSE(knee.isLimited(TFnTransform::kRotateMaxZ));
    EXPECT_NEAR(foot.limitValue(TFnTransform::kTranslateMinX), -5.08, 1e-9);
    EXPECT_NEAR(foot.limitValue(TFnTransform::kTranslateMaxX), 2.54, 1e-9);

    std::string output;
    EXPECT_EQ(Strict(file, output), 0) << output;
}

INSTANTIATE_TEST_SUITE_P(Units, AnimationSceneTest,
                         ::testing::Values(UnitCase{"CentimetreDegree24", TDistance::kCentimeters, TAngle::kDegrees,
                                                    TTime::kFilm, ""},
                                           UnitCase{"InchRadian30", TDistance::kInches, TAngle::kRadians,
                                                    TTime::kNTSCFrame, "--units"}),
                         CaseName());

// A spot light, a camera with a target, user attributes of five types and a mesh with two shapes,
// animated in "Walk".
void Content(KZeqSdkManager& m, KZeqScene& s) {
    KZeqNode* root = s.GetRootNode();
    KZeqNode* spot = AddNode(m, root, "spot", "light:2");
    KZeqLight* light = spot->GetLight();
    light->SetDefaultIntensity(100);
    light->SetDefaultConeAngle(45);
    light->SetDefaultColor(KZeqColor(1, 0.5, 0.25, 1));
    KZeqNode* cam = AddNode(m, root, "cam", "camera");
    KZeqCamera* camera = cam->GetCamera();
    camera->SetApertureMode(KZeqCamera::eHORIZONTAL);
    camera->SetApertureWidth(1.0);
    camera->SetApertureHeight(0.75);
    camera->SetSqueezeRatio(1.0);
    camera->SetAngleOfView(90);
    cam->SetTarget(AddNode(m, root, "cam_target"));
    KZeqNode* props = AddNode(m, root, "props");
    KZeqPropertyHandler* handler = props->GetPropertyHandler();
    const struct {
        const char* name;
        kPropertyType type;
    } kinds[] = {{"Flag", kPropertyTypeBool},    {"Count", kPropertyTypeInteger}, {"Speed", kPropertyTypeDouble},
                 {"Aim", kPropertyTypeVector},   {"Tint", kPropertyTypeColor}};
    for (const auto& kind : kinds) {
        KProperty* property = handler->CreatePropertyFromType(kind.name, kind.type, nullptr, true, true, nullptr);
        KZeqUserProperty* user = m.CreateKZeqUserProperty(property);
        user->SetPropertyHandler(handler);
        user->ModifyFlag(KZeqUserProperty::eUSER, true);
        props->AddProperty(user);
    }
    props->FindPropertyByName("Flag")->SetDefaultValue(true);
    props->FindPropertyByName("Count")->SetDefaultValue(7);
    props->FindPropertyByName("Speed")->SetDefaultValue(2.5);
    props->FindPropertyByName("Aim")->SetDefaultValue(1.0, 2.0, 3.0);
    props->FindPropertyByName("Tint")->SetDefaultValue(0.25, 0.5, 0.75);
    KZeqNode* face = AddNode(m, root, "face", "mesh");
    KZeqMesh* mesh = face->GetMesh();
    mesh->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i % 2, i / 2, 0, 1);
    mesh->BeginPolygon();
    for (int v : {0, 1, 3, 2}) mesh->AddPolygon(v);
    mesh->EndPolygon();
    for (const char* name : {"Smile", "Face.Blink"}) {
        KZeqShape* shape = m.CreateKZeqShape();
        shape->InitControlPoints(4);
        for (int i = 0; i < 4; ++i) shape->GetControlPoints()[i] = KZeqVector4(i % 2, i / 2, 0.5, 1);
        mesh->AddShape(shape, name);
    }

    // A 4 x 4 open bicubic surface with a shape that lifts it.
    KZeqNode* sheet = AddNode(m, root, "sheet", "none");
    KZeqNurb* nurb = m.CreateKZeqNurb();
    sheet->SetNodeAttribute(nurb);
    nurb->SetOrder(4, 4);
    nurb->InitControlPoints(4, KZeqNurb::eOPEN, 4, KZeqNurb::eOPEN);
    for (int i = 0; i < 16; ++i) nurb->GetControlPoints()[i] = KZeqVector4(i % 4, i / 4, 0, 1);
    for (int k = 0; k < nurb->GetUKnotCount(); ++k) nurb->GetUKnotVector()[k] = k < 4 ? 0 : 1;
    for (int k = 0; k < nurb->GetVKnotCount(); ++k) nurb->GetVKnotVector()[k] = k < 4 ? 0 : 1;
    KZeqShape* lift = m.CreateKZeqShape();
    lift->InitControlPoints(16);
    for (int i = 0; i < 16; ++i) lift->GetControlPoints()[i] = KZeqVector4(i % 4, i / 4, 2, 1);
    nurb->AddShape(lift, "Lift");

    s.CreateTake("Walk");
    for (KZeqNode* n : {spot, cam, props, face}) n->SetCurrentTakeNode("Walk");
    importtest::Key(spot->GetCurrentTakeNode()->GetLightIntensity(), 0.0, 50.0f);
    importtest::Key(spot->GetCurrentTakeNode()->GetLightIntensity(), 1.0, 100.0f);
    importtest::Key(cam->GetCurrentTakeNode()->GetCameraRoll(), 0.0, 0.0f);
    importtest::Key(cam->GetCurrentTakeNode()->GetCameraRoll(), 1.0, 30.0f);
    KFCurve* speed = props->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("Speed")->FCurveGet();
    importtest::Key(speed, 0.0, 1.0f);
    importtest::Key(speed, 1.0, 3.0f);
    KFCurve* smile = mesh->GetShapeChannel(face->GetCurrentTakeNode(), 0);
    importtest::Key(smile, 0.0, 0.0f);
    importtest::Key(smile, 1.0, 100.0f);
    s.SetCurrentTake("Walk");
}

using SceneContentTest = AnimationSceneTest;

TEST_P(SceneContentTest, LightsCamerasUserAttributesAndBlendShapes) {
    const std::string file = Keep("content", Content);
    ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\" -take 0"));
    auto curve = [](const TPlug& plug) {
        TStatus status;
        TFnAnimCurve c(plug, &status);
        EXPECT_TRUE(status) << plug.name().asChar();
        return c;
    };
    // Light: intensity keys as fractions (50 percent is 0.5), the cone angle in radians, the colour.
    TFnSpotLight spot(standin::find("spot"));
    TFnAnimCurve intensity = curve(spot.findPlug("intensity"));
    ASSERT_EQ(intensity.numKeys(), 2u);
    EXPECT_NEAR(intensity.value(0), 0.5, 1e-6);
    EXPECT_NEAR(intensity.value(1), 1.0, 1e-6);
    EXPECT_NEAR(spot.coneAngle(), 0.7853981633974483, 1e-7);
    EXPECT_FLOAT_EQ(spot.color().g, 0.5f);
    // Camera: the focal length of 90 degrees over an inch, the roll as the group's twist.
    EXPECT_NEAR(TFnCamera(standin::find("cam")).focalLength(), 12.7, 1e-4);
    // The host names the look-at group after the camera it first made.
    ASSERT_EQ(HostParent("cam"), "camera1_group") << HostPath("cam");
    TFnAnimCurve twist = curve(TFnDependencyNode(standin::find("camera1_group")).findPlug("twist"));
    ASSERT_EQ(twist.numKeys(), 2u);
    EXPECT_NEAR(twist.value(1), -30 * M_PI / 180, 1e-6);
    // User attributes.
    TFnTransform props(standin::find("props"));
    bool flag = false;
    int count = 0;
    double aimY = 0, tintB = 0;
    props.findPlug("Flag").getValue(flag);
    props.findPlug("Count").getValue(count);
    props.findPlug("AimY").getValue(aimY);
    props.findPlug("TintB").getValue(tintB);
    EXPECT_TRUE(flag);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(aimY, 2.0);
    EXPECT_NEAR(tintB, 0.75, 1e-6);
    EXPECT_EQ(curve(props.findPlug("Speed")).numKeys(), 2u);
    // Blend shapes: hidden targets, the deformer named after the node, the keyed weight.
    TObject faceShape = TFnDagNode(standin::find("face")).child(0);
    TObject deformer;
    ASSERT_TRUE(ZeqTuloUtility::GetDependencyOfThisType(&faceShape, 330, &deformer, TItDependencyGraph::kUpstream,
                                                        static_cast<TFn::Type>(330)));
    EXPECT_EQ(str(TFnDependencyNode(deformer).name()), "face_BlendShaper");
    TFnAnimCurve weight = curve(TFnDependencyNode(deformer).findPlug("weight").elementByLogicalIndex(0));
    ASSERT_EQ(weight.numKeys(), 2u);
    EXPECT_NEAR(weight.value(1), 1.0, 1e-6);
    // Target transforms at the world, named with the part of the shape's name after the first "."
    // (the weight's label, from which the export names the shape again), their shapes after them.
    EXPECT_EQ(HostPath("Smile|SmileShape"), "|Smile|SmileShape");
    EXPECT_EQ(HostPath("Blink|BlinkShape"), "|Blink|BlinkShape");
    // A NURBS target shares the base's knots and takes the shape's points.
    TObject sheetShape = TFnDagNode(standin::find("sheet")).child(0);
    TObject sheetDeformer;
    ASSERT_TRUE(ZeqTuloUtility::GetDependencyOfThisType(&sheetShape, 330, &sheetDeformer,
                                                        TItDependencyGraph::kUpstream, static_cast<TFn::Type>(330)));
    TObjectArray targets;
    TFnBlendShapeDeformer(sheetDeformer).getTargets(sheetShape, 0, targets);
    ASSERT_EQ(targets.length(), 1u);
    TFnNurbsSurface target(targets[0]), base(sheetShape);
    EXPECT_EQ(str(target.name()), "LiftShape");
    EXPECT_EQ(target.numKnotsInU(), base.numKnotsInU());
    TPoint cv;
    target.getCV(2, 1, cv, TSpace::kObject);
    EXPECT_EQ(cv.z, 2.0);

    std::string output;
    EXPECT_EQ(Strict(file, output), 0) << output;
}

INSTANTIATE_TEST_SUITE_P(Units, SceneContentTest,
                         ::testing::Values(UnitCase{"CentimetreDegree24", TDistance::kCentimeters, TAngle::kDegrees,
                                                    TTime::kFilm, ""},
                                           UnitCase{"InchRadian30", TDistance::kInches, TAngle::kRadians,
                                                    TTime::kNTSCFrame, "--units"}),
                         CaseName());

// ---- Export, import, export again under inch, radians and 30 frames per second.

using RoundTripTest = ZeqTuloImportTest;

// The nine transform curves of every node of a file's take, by node name.
std::map<std::string, std::vector<KFCurve*>> Curves(KZeqSdkManager& manager, const std::string& file) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqImporter* importer = manager.CreateKZeqImporter();
    EXPECT_TRUE(importer->Initialize(file.c_str()) && importer->Import(*scene)) << file;
    scene->SetCurrentTake("Take 001");
    std::map<std::string, std::vector<KFCurve*>> curves;
    for (int i = 0; i < manager.GetKZeqNodeCount(); ++i) {
        KZeqNode* node = manager.GetKZeqNode(i);
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        if (!take || !node->GetParent()) continue;
        curves[node->GetNameWithoutNameSpacePrefix().Buffer()] = {
            take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
            take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
            take->GetScaleX(),         take->GetScaleY(),         take->GetScaleZ()};
    }
    return curves;
}

TEST_F(RoundTripTest, KeyedHierarchyKeepsItsKeysAndSlopes) {
    std::string registered;
    Run("exists ZEQExport", &registered);
    if (registered != "1") GTEST_SKIP() << "no exporter in this build";
    standin::setUnits(TDistance::kInches, TAngle::kRadians, TTime::kNTSCFrame);
    // A parent and a child, keyed with fixed, smooth, linear and stepped tangents.
    TFnTransform arm, hand;
    arm.create();
    arm.setName("arm");
    hand.create(arm.object());
    hand.setName("hand");
    const struct {
        TFnTransform* node;
        const char* plug;
        int type;
    } channels[] = {{&arm, "translateX", TFnAnimCurve::kTangentFixed}, {&arm, "rotateY", TFnAnimCurve::kTangentFixed},
                    {&hand, "rotateZ", TFnAnimCurve::kTangentSmooth}, {&hand, "translateY", TFnAnimCurve::kTangentLinear},
                    {&hand, "scaleX", TFnAnimCurve::kTangentStep}};
    for (const auto& channel : channels) {
        TFnAnimCurve curve;
        curve.create(channel.node->findPlug(channel.plug));
        for (int k = 0; k < 4; ++k)
            curve.addKey(TTime(k * 0.5, TTime::kSeconds), 1.0 + k * (k % 2 ? 2.0 : -1.0), channel.type, channel.type);
        if (channel.type == TFnAnimCurve::kTangentFixed)
            for (unsigned k = 0; k < 4; ++k) {
                standin::setKeyTangent(curve.object(), k, true, 3.0 - k, 0);
                standin::setKeyTangent(curve.object(), k, false, 3.0 - k, 0);
            }
    }
    const std::string first = mDirectory + "first.zeq", second = mDirectory + "second.zeq";
    ASSERT_TRUE(Run("ZEQExportShowUI 0"));
    ASSERT_TRUE(Run("ZEQExport -f \"" + first + "\""));
    ASSERT_TRUE(Run("file -f -new"));
    ASSERT_TRUE(Run("ZEQImport -f \"" + first + "\" -take 0"));
    ASSERT_TRUE(Run("ZEQExport -f \"" + second + "\""));

    KZeqSdkManager managerA, managerB;
    auto a = Curves(managerA, first), b = Curves(managerB, second);
    for (const char* name : {"arm", "hand"}) {
        ASSERT_TRUE(a.count(name) && b.count(name)) << name;
        for (int c = 0; c < 9; ++c) {
            KFCurve& x = *a[name][c];
            KFCurve& y = *b[name][c];
            ASSERT_EQ(x.KeyGetCount(), y.KeyGetCount()) << name << " " << c;
            for (int k = 0; k < x.KeyGetCount(); ++k) {
                EXPECT_EQ(x.KeyGetPtr(k)->GetTime(), y.KeyGetPtr(k)->GetTime()) << name << " " << c << " " << k;
                EXPECT_NEAR(x.KeyGetPtr(k)->GetValue(), y.KeyGetPtr(k)->GetValue(), 1e-4) << name << " " << c;
                EXPECT_NEAR(x.KeyGetLeftDerivative(k), y.KeyGetLeftDerivative(k), 1e-3) << name << " " << c << " " << k;
                EXPECT_NEAR(x.KeyGetRightDerivative(k), y.KeyGetRightDerivative(k), 1e-3) << name << " " << c << " " << k;
            }
        }
    }
    standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, TTime::kFilm);
}

}  // namespace
