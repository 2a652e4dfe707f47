// Blend shapes: shapes named after the weight elements, absolute points moved by the relative
// pivots, mesh normals, weights in percent with their curves, warnings once per base, and which
// targets leave the scene.
#include "zeqtuloexport_anim_support.h"

#include "content/kzeqgeometry.h"
#include "content/kzeqlayer.h"
#include "content/kzeqshape.h"
#include "object/kproperty.h"
#include "scene/kzeqnodeproperties.h"
#include "tfndeformer.h"

using namespace zeqsdk_400;

namespace {

class ShapeExportTest : public ExportAnimTest {
protected:
    void SetUp() override {
        ExportAnimTest::SetUp();
        standin::buildScene("skinRig");
        mBlend.setObject(standin::find("legBlend"));
    }
    // Another target for the leg at weight index, a copy of its original shape.
    TObject Target(const char* name, int index) {
        TObject transform = Transform(name);
        TFnMesh copy;
        copy.copy(standin::find("legShapeOrig"), transform);
        mBlend.addTarget(standin::find("legShape"), index, copy.object(), 1.0);
        return transform;
    }
    void Export() {
        mNodes = Mirror();
        mExport->ExportShape(mExport->mRootNode);
    }
    KZeqGeometry* Leg() { return static_cast<KZeqGeometry*>(mNodes["|leg"]->GetNodeAttribute()); }
    bool Recorded(const char* path) { return mExport->mTargetShapeNodes.Find(mNodes[path]) >= 0; }

    TFnBlendShapeDeformer mBlend;
    std::map<std::string, ZeqTuloNode*> mNodes;
};

TEST_F(ShapeExportTest, TargetsBecomeNamedShapesAtTheirPlace) {
    Target("Frown", 1);
    mNodes = Mirror();
    mNodes["|Smile"]->SetRelativePivot(1, 0, 0);
    mNodes["|leg"]->SetRelativePivot(0, 0.5, 0);
    auto* smile = static_cast<KZeqLayerContainer*>(mNodes["|Smile"]->GetNodeAttribute());
    smile->InitNormals(0);
    smile->GetNormals()[2] = KZeqVector4(0, 0, 1, 0);
    mExport->ExportShape(mExport->mRootNode);
    KZeqGeometry* leg = Leg();
    ASSERT_EQ(leg->GetShapeCount(), 2);
    // The element names begin with the base's name: an "s" goes in front.
    EXPECT_STREQ(leg->GetShapeName(0), "slegBlend.Smile");
    EXPECT_STREQ(leg->GetShapeName(1), "slegBlend.Frown");
    const KZeqVector4 from = smile->GetControlPoints()[3];
    const KZeqVector4 to = leg->GetShape(0)->GetControlPoints()[3];
    EXPECT_DOUBLE_EQ(to[0], from[0] + 1);
    EXPECT_DOUBLE_EQ(to[1], from[1] - 0.5);
    EXPECT_DOUBLE_EQ(to[2], from[2]);
    ASSERT_NE(leg->GetShape(0)->GetNormals(), nullptr);
    EXPECT_DOUBLE_EQ(leg->GetShape(0)->GetNormals()[2][2], 1.0);
    EXPECT_EQ(mExport->mTargetShapeNodes.GetCount(), 2);
    EXPECT_TRUE(Recorded("|Smile"));
    EXPECT_TRUE(Recorded("|Frown"));
}

// A deformer the import made ("<prefix>_BlendShaper") names its shapes without that suffix, so that
// a shape read from a file ("slegBlend.Smile") is written under the same name again.
TEST_F(ShapeExportTest, TheImportsDeformerSuffixIsTakenOff) {
    TFnDependencyNode(standin::find("legBlend")).setName("slegBlend_BlendShaper");
    Export();
    ASSERT_EQ(Leg()->GetShapeCount(), 1);
    EXPECT_STREQ(Leg()->GetShapeName(0), "slegBlend.Smile");
}

TEST_F(ShapeExportTest, WeightInPercentAndItsKeysInTheTake) {
    standin::plug("legBlend.weight[0]").setValue(0.5);
    Export();
    EXPECT_FLOAT_EQ(Leg()->GetShapeChannel(mNodes["|leg"]->GetDefaultTakeNode(), 0)->GetValue(), 50.0f);
    // The shape's property, which the file writes, holds the weight as well.
    KProperty* property = mNodes["|leg"]->GetPropertyHandler()->FindPropertyByName("slegBlend.Smile");
    ASSERT_NE(property, nullptr);
    double value[kPropertyMaxMembers] = {};
    ASSERT_GE(property->GetDataAsDoubles(value, kPropertyMaxMembers), 1);
    EXPECT_DOUBLE_EQ(value[0], 50.0);
    EXPECT_EQ(mNodes["|leg"]->GetTakeNodeCount(), 1);

    mExport.reset(new TestExport);
    TFnAnimCurve curve;
    curve.create(standin::plug("legBlend.weight[0]"));
    curve.addKey(TTime(0.0, TTime::kSeconds), 0.25, 2, 2);
    curve.addKey(TTime(1.0, TTime::kSeconds), 1.0, 2, 2);
    Export();
    ZeqTuloNode* leg = mNodes["|leg"];
    EXPECT_FLOAT_EQ(Leg()->GetShapeChannel(leg->GetDefaultTakeNode(), 0)->GetValue(), 25.0f);
    ASSERT_STREQ(TakeName(*leg), "Take 001");
    KFCurve* keys = Leg()->GetShapeChannel(leg->GetCurrentTakeNode(), 0);
    ASSERT_EQ(keys->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(keys->KeyGetPtr(1)->GetValue(), 100.0f);
}

// An unanimated weight after an animated one holds its value in "Take 001" as well as in the
// default take (the take was made, copying the defaults, before that weight was read).
TEST_F(ShapeExportTest, AStaticWeightAfterAKeyedOneHoldsItsValueInTheTake) {
    Target("Frown", 1);
    TFnAnimCurve curve;
    curve.create(standin::plug("legBlend.weight[0]"));
    curve.addKey(TTime(0.0, TTime::kSeconds), 0.0, 2, 2);
    curve.addKey(TTime(1.0, TTime::kSeconds), 1.0, 2, 2);
    standin::plug("legBlend.weight[1]").setValue(0.25);
    Export();
    ZeqTuloNode* leg = mNodes["|leg"];
    ASSERT_STREQ(TakeName(*leg), "Take 001");
    EXPECT_FLOAT_EQ(Leg()->GetShapeChannel(leg->GetDefaultTakeNode(), 1)->GetValue(), 25.0f);
    EXPECT_FLOAT_EQ(Leg()->GetShapeChannel(leg->GetCurrentTakeNode(), 1)->GetValue(), 25.0f);
}

TEST_F(ShapeExportTest, SeveralTargetsUseTheFirst) {
    OpenLog();
    Target("Second", 0);
    Target("Third", 0);
    standin::dialogs().push("Ok", "ZEQ Export Warning");
    Export();
    ASSERT_EQ(Leg()->GetShapeCount(), 1);
    EXPECT_TRUE(Recorded("|Smile"));
    EXPECT_FALSE(Recorded("|Second"));
    const std::string log = Log();
    EXPECT_NE(log.find("ZEQ Export Warning: The BaseObject :  / leg / legShape has multiple targets affected by weight : "
                       "legBlend.Third\n\tThe plugin will only use the first target.\n\t\n"),
              std::string::npos);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    EXPECT_NE(standin::dialogs().records()[0].message.find("first target.\n\nNOTE: This dialog will not popup"),
              std::string::npos);
}

TEST_F(ShapeExportTest, WrongCountsWarnEachTimeAndShowOnce) {
    OpenLog();
    Target("Frown", 1);
    mNodes = Mirror();
    for (const char* path : {"|Smile", "|Frown"})
        static_cast<KZeqLayerContainer*>(mNodes[path]->GetNodeAttribute())->InitControlPoints(3);
    standin::dialogs().push("Ok", "ZEQ Export Warning");
    mExport->ExportShape(mExport->mRootNode);
    EXPECT_EQ(Leg()->GetShapeCount(), 0);
    EXPECT_EQ(Count(Log(), "number of vertices does not match the baseObject number of vertices."), 2);
    EXPECT_EQ(standin::dialogs().records().size(), 1u);
    // Targets that made no shape stay in the scene.
    EXPECT_EQ(mExport->mTargetShapeNodes.GetCount(), 0);
}

TEST_F(ShapeExportTest, MissingTargetIsReported) {
    OpenLog();
    ZeqTuloUserParams::Instance()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
    mNodes = Mirror();
    mExport->mSdkManager.DestroyZeqTuloNode(mNodes["|Smile"], true);
    mExport->ExportShape(mExport->mRootNode);
    EXPECT_EQ(Leg()->GetShapeCount(), 0);
    EXPECT_NE(Log().find("ZEQ Export Warning: The TargetObject :  / Smile / SmileShape is not available in the "
                         "scene.\n\t(most likely the target object has been deleted without deleting the controlling "
                         "slider).\n\tIgnoring this target.\n"),
              std::string::npos);
}

TEST_F(ShapeExportTest, TakenNamesAreSkipped) {
    mNodes = Mirror();
    Leg()->AddShape(mExport->mSdkManager.CreateKZeqShape(), "slegBlend.Smile extra");
    mExport->ExportShape(mExport->mRootNode);
    EXPECT_EQ(Leg()->GetShapeCount(), 1);
}

TEST_F(ShapeExportTest, RefusedShapeOrTargetWithoutGeometryIsSkipped) {
    Target("Frown", 1);
    mNodes = Mirror();
    // A name the geometry refuses (it compares names ignoring case), and a target without geometry.
    Leg()->AddShape(mExport->mSdkManager.CreateKZeqShape(), "SLEGBLEND.SMILE");
    mNodes["|Frown"]->SetNodeAttribute(nullptr);
    mExport->ExportShape(mExport->mRootNode);
    EXPECT_EQ(Leg()->GetShapeCount(), 1);
    EXPECT_EQ(mExport->mTargetShapeNodes.GetCount(), 0);
}

TEST_F(ShapeExportTest, SparseWeightsKeepTheirOwnElements) {
    Target("Frown", 2);
    Export();
    ASSERT_EQ(Leg()->GetShapeCount(), 2);
    EXPECT_STREQ(Leg()->GetShapeName(1), "slegBlend.Frown");
}

class NurbsShapeTest : public ExportAnimTest {};

TEST_F(NurbsShapeTest, ShapesWithoutNormals) {
    standin::buildScene("nurbs");
    TObject target = Transform("bump");
    TPointArray cvs;
    TDoubleArray knots;
    for (double k : {0, 0, 0, 1, 1, 1}) knots.append(k);
    for (int u = 0; u < 4; ++u)
        for (int v = 0; v < 4; ++v) cvs.append(u, 1, v);
    TFnNurbsSurface surface;
    TObject targetShape =
        surface.create(cvs, knots, knots, 3, 3, TFnNurbsSurface::kOpen, TFnNurbsSurface::kOpen, true, target);
    TFnBlendShapeDeformer blend;
    blend.create(standin::find("patch"));
    ASSERT_TRUE(blend.addTarget(standin::find("patchShape"), 0, targetShape, 1.0));
    auto nodes = Mirror();
    static_cast<KZeqLayerContainer*>(nodes["|bump"]->GetNodeAttribute())->InitNormals(0);
    mExport->ExportShape(mExport->mRootNode);
    auto* patch = static_cast<KZeqGeometry*>(nodes["|patch"]->GetNodeAttribute());
    ASSERT_EQ(patch->GetShapeCount(), 1);
    EXPECT_EQ(patch->GetShape(0)->GetNormals(), nullptr);
    EXPECT_DOUBLE_EQ(patch->GetShape(0)->GetControlPoints()[5][1], 1.0);
}

// The dependency walk from the blend shape (deformer, shapes, their transforms), node by node or
// plug by plug, leaves the host as it was and misuses nothing (the fixture fails on host faults).
TEST_F(ShapeExportTest, DependencyWalkChangesNothing) {
    const std::string before = standin::dump();
    TObject blend = standin::find("legBlend");
    mExport->GoInDepencyGraph(&blend, TItDependencyGraph::kNodeLevel);
    mExport->GoInDepencyGraph(&blend, TItDependencyGraph::kPlugLevel);
    mExport->GoInDepencyGraph(nullptr, TItDependencyGraph::kNodeLevel);
    EXPECT_EQ(standin::dump(), before);
}

}  // namespace
