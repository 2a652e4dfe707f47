// The import's services: user-property attributes and their names on merge, vertex colours, the
// world correction, pivot sets and the checks that log.
#include "importtest_support.h"

#include <cmath>

#include "base/kgemath.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "plugin/import/zeqtulomergenodematcher.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqscene.h"
#include "scene/kzequserproperty.h"
#include "scene/kzeqtakenode.h"
#include "fcurve/kfcurve.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;
using E = KZeqLayerElement;

namespace {

class ServicesTest : public ImportDriverTest {
protected:
    ServicesTest() : mScene(mDriver.GetSdkManager().CreateKZeqScene()), mRoot(mScene->GetRootNode()) {}
    ZeqTuloNode* Add(const char* name, const char* kind = "null", KZeqNode* parent = nullptr) {
        return static_cast<ZeqTuloNode*>(AddNode(mDriver.GetSdkManager(), parent ? parent : mRoot, name, kind));
    }
    KZeqUserProperty* Property(KZeqNode& node, const char* name, const char* type, const char* label) {
        KZeqUserProperty* property = mDriver.GetSdkManager().CreateKZeqUserProperty(name, type, label);
        property->ModifyFlag(KZeqUserProperty::eUSER, true);
        node.AddProperty(property);
        return property;
    }
    // Rotation active, as a file read with "RotationActive" on leaves the node: its pre- and
    // post-rotation count.
    static void RotationOn(KZeqNode* node) {
        node->GetLimits().SetRotationLimitActive(true);
        node->GetPropertyHandler()->RotationActive.Value() = true;
    }
    static std::string AttributeOf(ZeqTuloNode& node, const char* label) {
        const KString* name = node.GetUserPropertyName(label);
        return name ? name->Buffer() : "<none>";
    }
    static int UnitType(const char* plugName) {
        TPlug p = standin::plug(plugName);
        if (p.isNull()) return -1;
        return TFnNumericAttribute(p.attribute()).unitType();
    }

    ZeqTuloImport mDriver;
    KZeqScene* mScene;
    KZeqNode* mRoot;
};

// Attributes by type, named after labels made host-valid; a name in use takes the next number;
// the node remembers each property's attribute.
TEST_F(ServicesTest, UserPropertiesBecomeAttributes) {
    ZeqTuloNode* node = Add("box");
    Property(*node, "Flag", "Bool", "");
    Property(*node, "Count", "Integer", "")->SetLimits(0, 10);
    Property(*node, "Weight", "Real", "my weight");
    Property(*node, "Dir", "Vector", "1st.dir");
    Property(*node, "Tint", "Color", "");
    KZeqUserProperty* hidden = Property(*node, "Plain", "Real", "");
    hidden->ModifyFlag(KZeqUserProperty::eUSER, false);
    TFnTransform transform;
    transform.create();
    transform.setName("box");
    transform.addAttribute(TFnNumericAttribute().create("Flag", "Flag", TFnNumericData::kInt), 2);
    mDriver.AddUserProperties(transform, node);
    EXPECT_EQ(AttributeOf(*node, "Flag"), "Flag1");
    EXPECT_EQ(AttributeOf(*node, "Count"), "Count");
    EXPECT_EQ(AttributeOf(*node, "my weight"), "my_weight");
    EXPECT_EQ(AttributeOf(*node, "1st.dir"), "_1st_dir");
    EXPECT_EQ(AttributeOf(*node, "Tint"), "Tint");
    EXPECT_EQ(AttributeOf(*node, "Plain"), "<none>");
    EXPECT_EQ(UnitType("box.Flag1"), TFnNumericData::kBoolean);
    EXPECT_EQ(UnitType("box.Count"), TFnNumericData::kInt);
    EXPECT_EQ(UnitType("box.my_weight"), TFnNumericData::kDouble);
    EXPECT_EQ(UnitType("box._1st_dir"), TFnNumericData::k3Double);
    EXPECT_EQ(UnitType("box.Tint"), TFnNumericData::k3Float);
    TFnNumericAttribute count(standin::plug("box.Count").attribute());
    double max = 0;
    ASSERT_TRUE(count.hasSoftMax() && count.getSoftMax(max));
    EXPECT_EQ(max, 10);
    EXPECT_TRUE(TFnAttribute(standin::plug("box.Count").attribute()).isKeyable());

    // A node without attribute gets them too.
    ZeqTuloNode* bare = Add("bare", "none");
    Property(*bare, "Flag", "Bool", "");
    TFnTransform bareTransform;
    bareTransform.create();
    mDriver.AddUserProperties(bareTransform, bare);
    EXPECT_EQ(AttributeOf(*bare, "Flag"), "Flag");
}

// Ten names are tried while the host answers "in use"; then the property goes without.
TEST_F(ServicesTest, TenNamesAtMost) {
    ZeqTuloNode* node = Add("box");
    KZeqUserProperty* property = Property(*node, "Busy", "Real", "");
    TFnTransform transform;
    transform.create();
    for (const char* taken : {"Busy", "Busy1", "Busy2", "Busy3", "Busy4", "Busy5", "Busy6", "Busy7", "Busy8", "Busy9"})
        transform.addAttribute(TFnNumericAttribute().create(taken, taken, TFnNumericData::kDouble), 2);
    mDriver.AddUserProperty(property, transform, node);
    EXPECT_EQ(AttributeOf(*node, "Busy"), "<none>");
    EXPECT_EQ(transform.attributeCount(), TFnTransform(standin::find("transform1")).attributeCount());
}

// On merge, properties find the attributes an earlier import made when their types fit.
TEST_F(ServicesTest, MergedNodesFindTheirAttributes) {
    TFnTransform transform;
    transform.create();
    transform.setName("box");
    transform.addAttribute(TFnNumericAttribute().create("Speed", "Speed", TFnNumericData::kInt), 2);
    transform.addAttribute(TFnNumericAttribute().create("Speed1", "Speed1", TFnNumericData::kDouble), 2);
    transform.addAttribute(TFnNumericAttribute().create("On", "On", TFnNumericData::kDouble), 2);
    transform.addAttribute(TFnNumericAttribute().createColor("Tint", "Tint"), 2);
    ZeqTuloNode* node = Add("box");
    Property(*node, "Speed", "Real", "");
    Property(*node, "On", "Bool", "");
    Property(*node, "Tint", "Color", "");
    Property(*node, "Gone", "Integer", "");
    ZeqTuloMergeNodeMatcher* matcher = mDriver.GetSdkManager().CreateZeqTuloMergeNodeMatcher();
    EXPECT_EQ(matcher, mDriver.GetSdkManager().CreateZeqTuloMergeNodeMatcher());
    matcher->Apply(mRoot, TFn::kInvalid);
    mDriver.GetSdkManager().DestroyZeqTuloMergeNodeMatcher(matcher);
    ASSERT_NE(node->GetDagPath(), nullptr);
    EXPECT_TRUE(node->mIsPresent);
    EXPECT_EQ(AttributeOf(*node, "Speed"), "Speed1");  // "Speed" is an integer
    EXPECT_EQ(AttributeOf(*node, "On"), "<none>");
    EXPECT_EQ(AttributeOf(*node, "Tint"), "Tint");
    EXPECT_EQ(AttributeOf(*node, "Gone"), "<none>");
}

struct TypeCase {
    const char* name;
    const char* type;
    int unitType;
    bool fits;
};
class PropertyTypes : public ServicesTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(PropertyTypes, MatchByUnitType) {
    ZeqTuloNode* node = Add("n");
    EXPECT_EQ(ZeqTuloMergeNodeMatcher::UserPropertyTypesMatch(Property(*node, "p", GetParam().type, ""),
                                                               GetParam().unitType),
              GetParam().fits);
}

const TypeCase kTypes[] = {
    {"BoolBoolean", "Bool", TFnNumericData::kBoolean, true},  {"BoolInt", "Bool", TFnNumericData::kInt, false},
    {"IntegerByte", "Integer", TFnNumericData::kByte, true}, {"IntegerShort", "Integer", TFnNumericData::kShort, true},
    {"IntegerDouble", "Integer", TFnNumericData::kDouble, false}, {"RealFloat", "Real", TFnNumericData::kFloat, true},
    {"ColorFloats", "Color", TFnNumericData::k3Float, true},  {"VectorDoubles", "Vector", TFnNumericData::k3Double, true},
    {"VectorDouble", "Vector", TFnNumericData::kDouble, false},
};
INSTANTIATE_TEST_SUITE_P(Services, PropertyTypes, ::testing::ValuesIn(kTypes), CaseName());

// Colours come from the first layer holding them, a later one too, per face-vertex.
TEST_F(ServicesTest, VertexColorsFromALaterLayer) {
    ASSERT_TRUE(Import(Write("colours", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddTriangle(m, s.GetRootNode(), "tri");
        mesh->CreateLayer();
        mesh->CreateLayer();
        auto* colors = new KZeqLayerElementVertexColor;
        colors->SetMappingMode(E::eBY_CONTROL_POINT);
        for (int i = 0; i < 3; ++i) colors->GetDirectArray().Add(KZeqColor(i * 0.5, 0, 1, 1));
        mesh->GetLayer(1)->SetVertexColors(colors);
    })));
    TFnMesh mesh(TFnDagNode(standin::find("tri")).child(0));
    TColorArray colors;
    mesh.getFaceVertexColors(colors);
    ASSERT_EQ(colors.length(), 3u);
    EXPECT_EQ(colors[2], TColor(1, 0, 1, 1));
}

// The correction: the import scale, and for a Z-up host the quarter turn taking +Y to +Z, carried
// to the top nodes (their keys included).
TEST_F(ServicesTest, WorldCorrectionForZUp) {
    standin::setUpAxis("z");
    Params()->SetDoubleParam(KZeqUserParams::kImportMasterScale, 2.0);
    KgeAMatrix matrix;
    mDriver.ComputeWorldTransform(matrix);
    const double up[3] = {0 * matrix[0][0] + 1 * matrix[1][0], matrix[1][1], matrix[1][2]};
    EXPECT_NEAR(up[0], 0, 1e-12);
    EXPECT_NEAR(up[1], 0, 1e-12);
    EXPECT_NEAR(up[2], 2, 1e-12);

    ZeqTuloNode* node = Add("top");
    node->SetDefaultT(KZeqVector4(0, 3, 0, 0));
    mScene->CreateTake("Take");
    mScene->SetCurrentTake("Take");
    Key(node->GetCurrentTakeNode()->GetTranslationY(), 1.0, 5.0f);
    mDriver.Preprocess(mRoot);
    mDriver.PropagateWorldTransformToChildrenOf(mRoot);
    KZeqVector4 t;
    node->GetDefaultT(t);
    EXPECT_NEAR(t[1], 0, 1e-9);
    EXPECT_NEAR(t[2], 6, 1e-9);
    KTime second;
    second.SetSecondDouble(1.0);
    EXPECT_NEAR(node->GetCurrentTakeNode()->GetTranslationZ()->Evaluate(second), 10, 1e-4);
}

// Pivot set 1 keeps what the host keeps: every transform's post-rotation (its rotate axis), a
// joint's pre-rotation (its joint orient); a non-joint's pre-rotation is resampled, and its
// rotation limits go with a log line.
TEST_F(ServicesTest, HostPivotsAndDroppedLimits) {
    ZeqTuloNode* node = Add("arm");
    node->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 2, 3, 0));
    node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(10, 0, 0, 0));
    node->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 20, 0, 0));
    RotationOn(node);
    ZeqTuloNode* joint = Add("joint", "skeleton:2");
    joint->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 40, 0));
    joint->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 30, 0));
    RotationOn(joint);
    // Rotation off: its pre- and post-rotation count for nothing, in either set.
    ZeqTuloNode* off = Add("off", "skeleton:2");
    off->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 40, 0));
    off->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 30, 0));
    mDriver.SetTuloPivotsRecursive(mRoot);
    for (KZeqNode::EPivotSet set : {KZeqNode::eSOURCE_SET, KZeqNode::eDESTINATION_SET}) {
        EXPECT_EQ(off->GetPreRotation(set)[2], 0);
        EXPECT_EQ(off->GetPostRotation(set)[2], 0);
    }
    EXPECT_EQ(node->GetRotationPivot(KZeqNode::eDESTINATION_SET)[2], 3);
    EXPECT_EQ(node->GetPreRotation(KZeqNode::eDESTINATION_SET)[0], 0);
    EXPECT_EQ(node->GetPostRotation(KZeqNode::eDESTINATION_SET)[1], 20);
    EXPECT_FALSE(node->GetLimits().GetRotationLimitActive());
    EXPECT_EQ(joint->GetPreRotation(KZeqNode::eDESTINATION_SET)[2], 40);
    EXPECT_EQ(joint->GetPostRotation(KZeqNode::eDESTINATION_SET)[2], 30);
    EXPECT_TRUE(joint->GetLimits().GetRotationLimitActive());

    mDriver.EnablePivotUse(static_cast<ZeqTuloNode*>(mRoot));
    KZeqNode::EPivotState state;
    node->GetPivotState(KZeqNode::eSOURCE_SET, state);
    EXPECT_EQ(state, KZeqNode::ePIVOT_STATE_ACTIVE);
    node->mIsPresent = true;
    mDriver.RemoveRotationPivotOnNotPresentNode(static_cast<ZeqTuloNode*>(mRoot));
    EXPECT_EQ(node->GetRotationPivot(KZeqNode::eSOURCE_SET)[2], 3);
    mDriver.RemoveRotationPivot(mRoot);
    EXPECT_EQ(node->GetRotationPivot(KZeqNode::eSOURCE_SET)[2], 0);
}

// Rotation limits go with a non-joint's pre-rotation; the log says so only where a bound was on.
TEST_F(ServicesTest, DroppedRotationLimitsSaidWhereBounded) {
    const std::string file = Write("limits", [](KZeqSdkManager& m, KZeqScene& s) {
        for (const char* name : {"bounded", "unbounded"}) {
            KZeqNode* node = AddNode(m, s.GetRootNode(), name);
            node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
            node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(10, 0, 0, 0));
            node->GetLimits().SetRotationLimitActive(true);
        }
        KZeqNode* bounded = s.GetRootNode()->GetChild(0);
        bounded->GetLimits().mRotationLimits.SetLimitMaxActive(false, true, false);
        bounded->GetLimits().mRotationLimits.SetLimitMax(KZeqVector4(0, 45, 0, 0));
    });
    ASSERT_TRUE(Import(file));
    EXPECT_NE(Log().find("Node bounded: rotation limits dropped"), std::string::npos) << Log();
    EXPECT_EQ(Log().find("Node unbounded: rotation limits"), std::string::npos) << Log();
}

// A spot light whose post-rotation, once the turn between the forward axes is out, lies within a
// hundredth of a degree of a quarter turn about Y keeps that turn exactly, not the quarter turn.
TEST_F(ServicesTest, LightAxisTurnOutNearAQuarterTurnAboutY) {
    double kept[4][4] = {}, post[4][4] = {};
    KmXYZtoR(kept, 128.99, 90.0078, 31.26);
    // post . turn = kept, the turn a rotation: post = kept . turn^T.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) post[i][j] += kept[i][k] * ZeqTuloUtility::LightAxes()[j][k];
    double angles[3];
    KmRtoVXYZ(angles, post);  // far from a quarter turn about Y: exact
    ZeqTuloNode* spot = Add("spot", "light:2");
    spot->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(angles[0], angles[1], angles[2], 0));
    spot->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    RotationOn(spot);
    mDriver.FillQuorbelNodeArray(mRoot);
    mDriver.SetTuloPivotsRecursive(mRoot);
    const KZeqVector4& got = spot->GetPostRotation(KZeqNode::eDESTINATION_SET);
    double rebuilt[4][4] = {};
    KmXYZtoR(rebuilt, got[0], got[1], got[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(rebuilt[i][j], kept[i][j], 1e-9) << i << j;
}

// The quarter turn between the file's and the host's forward axes comes out of the post-rotation of
// spot and directional lights and of cameras without a target (what stays is the inverse of their
// rotate axis); point lights, aimed cameras and other nodes keep theirs.
TEST_F(ServicesTest, LightAndCameraAxisTurnsComeOut) {
    ZeqTuloNode* spot = Add("spot", "light:2");
    spot->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(-90, 0, 0, 0));
    ZeqTuloNode* sun = Add("sun", "light:1");
    // What the export writes for a rotate axis of 30 degrees about Z: the X-first angles of the
    // inverse of the light's turn followed by the rotate axis.
    double axis[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KmXYZtoR(axis, 0, 0, 30);
    double inverse[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int k = 0; k < 3; ++k) sum += ZeqTuloUtility::LightAxes()[i][k] * axis[k][j];
            inverse[j][i] = sum;
        }
    double angles[3];
    KmRtoVXYZ(angles, inverse);
    sun->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(angles[0], angles[1], angles[2], 0));
    ZeqTuloNode* point = Add("point", "light:0");
    point->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(-30, 0, 0, 0));
    ZeqTuloNode* camera = Add("cam", "camera");
    camera->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, -90, 0, 0));
    ZeqTuloNode* aimed = Add("aimed", "camera");
    aimed->SetTarget(Add("aimed_aim"));
    aimed->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(10, 0, 0, 0));
    // Post-rotations as the export writes them, in effect; the node set decides which cameras the
    // host aims.
    for (ZeqTuloNode* node : {spot, sun, point, camera, aimed}) {
        node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        RotationOn(node);
    }
    mDriver.FillQuorbelNodeArray(mRoot);
    mDriver.SetTuloPivotsRecursive(mRoot);
    auto expect = [](ZeqTuloNode* node, double x, double y, double z) {
        for (KZeqNode::EPivotSet set : {KZeqNode::eSOURCE_SET, KZeqNode::eDESTINATION_SET}) {
            const KZeqVector4& v = node->GetPostRotation(set);
            EXPECT_NEAR(v[0], x, 1e-9) << node->GetName();
            EXPECT_NEAR(v[1], y, 1e-9) << node->GetName();
            EXPECT_NEAR(v[2], z, 1e-9) << node->GetName();
        }
    };
    expect(spot, 0, 0, 0);
    expect(sun, 0, 0, -30);
    expect(point, -30, 0, 0);
    expect(camera, 0, 0, 0);
    expect(aimed, 10, 0, 0);
}

// The scale check and the pre/post-rotation check log what they find, with a dialog on show-UI.
TEST_F(ServicesTest, ChecksLogWhatTheyFind) {
    const std::string file = Write("checks", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* stretched = AddNode(m, s.GetRootNode(), "stretched");
        stretched->SetDefaultS(KZeqVector4(1, 2, 1, 0));
        AddNode(m, stretched, "child");
    });
    Params()->SetBoolParam(ZeqTuloUserParams::kImportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ import Warning");
    ASSERT_TRUE(Import(file));
    EXPECT_NE(Log().find("Node stretched: a non-uniform scale over children"), std::string::npos) << Log();

    ZeqTuloNode* pre = Add("arm__Pre_");
    mScene->CreateTake("Take");
    mScene->SetCurrentTake("Take");
    Key(pre->GetCurrentTakeNode()->GetEulerRotationX(), 1.0, 5.0f);
    ZeqTuloNode* post = Add("arm__Post_");
    Key(post->GetCurrentTakeNode()->GetTranslationX(), 1.0, 5.0f);
    Add("quiet__Pre_")->SetDefaultT(KZeqVector4(1, 0, 0, 0));
    standin::dialogs().push("Ok", "ZEQ import Warning");
    mDriver.ValidatePreAndPostJoints(mRoot);
    ASSERT_EQ(standin::dialogs().records().size(), 2u);
    const std::string message = standin::dialogs().records()[1].message;
    EXPECT_NE(message.find("Node arm__Pre_: a pre-rotation node with animated rotation"), std::string::npos);
    EXPECT_NE(message.find("Node arm__Post_: a post-rotation node with animation"), std::string::npos);
    EXPECT_EQ(message.find("quiet"), std::string::npos);
}

// The pivot and check services walk a chain of 5000 nodes on a stack that a walk recursing once
// per level would overflow, and reach its deepest node: an animated post-rotation node with a
// rotation pivot.
TEST_F(ServicesTest, DeepChainsWithoutRecursion) {
    ZeqTuloNode* deepest = nullptr;
    for (int i = 0; i < 5000; ++i) deepest = Add(("c" + std::to_string(i)).c_str(), "null", deepest);
    deepest = Add("deep__Post_", "null", deepest);
    deepest->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 2, 3, 0));
    mScene->CreateTake("Take");
    mScene->SetCurrentTake("Take");
    Key(deepest->GetCurrentTakeNode()->GetTranslationX(), 1.0, 5.0f);
    Params()->SetBoolParam(ZeqTuloUserParams::kImportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ import Warning");
    RunOnSmallStack(128 * 1024, [&] {
        mDriver.ValidatePreAndPostJoints(mRoot);
        mDriver.EnablePivotUse(static_cast<ZeqTuloNode*>(mRoot));
        KZeqNode::EPivotState state;
        deepest->GetPivotState(KZeqNode::eDESTINATION_SET, state);
        EXPECT_EQ(state, KZeqNode::ePIVOT_STATE_ACTIVE);
        mDriver.SetTuloPivotsRecursive(mRoot);
        EXPECT_EQ(deepest->GetRotationPivot(KZeqNode::eDESTINATION_SET)[2], 3);
        mDriver.MergeMeshOnNormalPerPolyVertex(mRoot);
        deepest->mIsPresent = true;
        mDriver.RemoveRotationPivotOnNotPresentNode(static_cast<ZeqTuloNode*>(mRoot));
        EXPECT_EQ(deepest->GetRotationPivot(KZeqNode::eSOURCE_SET)[2], 3);
        mDriver.RemoveRotationPivot(mRoot);
        EXPECT_EQ(deepest->GetRotationPivot(KZeqNode::eSOURCE_SET)[2], 0);
    });
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    EXPECT_NE(standin::dialogs().records()[0].message.find("Node deep__Post_: a post-rotation node with animation"),
              std::string::npos);
}

}  // namespace
