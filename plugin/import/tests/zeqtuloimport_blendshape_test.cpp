// Blend shapes onto stand-in meshes (targets, deformer name, weight curves, merged deformers) and
// the warning about weights without curves.
#include "zeqtuloimport_animation_test_support.h"

#include "content/kzeqmesh.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurvenode.h"
#include "plugin/zeqtuloutility.h"
#include "tfndagnode.h"
#include "tfndeformer.h"
#include "tfnmesh.h"

using namespace zeqsdk_400;

namespace {

class BlendShapeTest : public ImportAnimationTest {
protected:
    // A host cube (8 points) named as the node, and a Zeq mesh of 8 points with the shapes named.
    ZeqTuloNode* Head(const char* name, const std::vector<const char*>& shapes, int shapePoints = 8) {
        mShape = standin::createCube(name, false);
        TDagPath::getAPathTo(TFnDagNode(mShape).parent(0), mPath);
        mMesh = mManager.CreateKZeqMesh();
        mMesh->InitControlPoints(8);
        ZeqTuloNode* node = Node(name, &mPath, nullptr, mMesh);
        for (std::size_t s = 0; s < shapes.size(); ++s) {
            KZeqShape* shape = mManager.CreateKZeqShape();
            shape->InitControlPoints(shapePoints);
            for (int p = 0; p < shapePoints; ++p)
                shape->GetControlPoints()[p] = KZeqVector4(p, static_cast<double>(s), 1, 1);
            EXPECT_GE(mMesh->AddShape(shape, shapes[s]), 0);
        }
        return node;
    }
    KFCurve* Channel(ZeqTuloNode* node, int index) {
        return mMesh->GetShapeChannel(node->GetCurrentTakeNode(), index);
    }
    TObject Deformer() {
        TObject deformer;
        EXPECT_TRUE(ZeqTuloUtility::GetDependencyOfThisType(&mShape, 330, &deformer, TItDependencyGraph::kUpstream,
                                                            static_cast<TFn::Type>(330)));
        return deformer;
    }
    TPlug Weight(unsigned index) { return TFnDependencyNode(Deformer()).findPlug("weight").elementByLogicalIndex(index); }

    TObject mShape;
    TDagPath mPath;
    KZeqMesh* mMesh = nullptr;
};

TEST_F(BlendShapeTest, NewMeshGetsHiddenTargetsAndANamedDeformer) {
    ZeqTuloNode* node = Head("Head", {"Smile", "Blink", "Frown"});
    AddKey(*Channel(node, 0), 0.0, 0.0f);
    AddKey(*Channel(node, 0), 1.0, 100.0f);
    mImport->ImportShapeAnimation(*node);
    TObject deformer = Deformer();
    EXPECT_EQ(str(TFnDependencyNode(deformer).name()), "Head_BlendShaper");
    TFnBlendShapeDeformer blend(deformer);
    const char* const names[] = {"Smile", "Blink", "Frown"};
    for (int i = 0; i < 3; ++i) {
        TObjectArray targets;
        blend.getTargets(mShape, i, targets);
        ASSERT_EQ(targets.length(), 1u) << i;
        TFnDagNode target(targets[0]);
        EXPECT_EQ(str(target.name()), std::string(names[i]) + "Shape");
        TFnDagNode holder(target.parent(0));
        EXPECT_EQ(str(holder.name()), names[i]);
        EXPECT_EQ(holder.parentCount(), 1u);  // at the world
        bool visible = true;
        holder.findPlug("visibility").getValue(visible);
        EXPECT_FALSE(visible);
        TPoint point;
        TStatus meshStatus;
        TFnMesh targetMesh(targets[0], &meshStatus);
        EXPECT_TRUE(meshStatus);
        EXPECT_TRUE(targetMesh.getPoint(5, point));
        EXPECT_TRUE(point.isEquivalent(TPoint(5, i, 1))) << i;
    }
    // Shape 0 is keyed 0 to 100: a weight curve from 0 to 1.
    TFnAnimCurve weight(Weight(0));
    ASSERT_EQ(weight.numKeys(), 2u);
    EXPECT_EQ(weight.value(0), 0.0);
    EXPECT_EQ(weight.value(1), 1.0);
    TStatus status;
    TFnAnimCurve none(Weight(1), &status);
    EXPECT_EQ(status.statusCode(), TStatus::kNotFound);
    EXPECT_TRUE(mImport->mBlendShapeFailures.GetCount() == 0);
}

TEST_F(BlendShapeTest, DottedNameGivesPrefixAndTarget) {
    ZeqTuloNode* node = Head("Mask", {"Face.Smile"});
    Channel(node, 0)->SetValue(25.0f);
    mImport->ImportShapeAnimation(*node);
    EXPECT_EQ(str(TFnDependencyNode(Deformer()).name()), "Face_BlendShaper");
    TObjectArray targets;
    TFnBlendShapeDeformer(Deformer()).getTargets(mShape, 0, targets);
    ASSERT_EQ(targets.length(), 1u);
    // The target's transform takes the part after the "." (the host labels the weight after it, and
    // the export names the shape after the label), its shape that name and "Shape".
    EXPECT_EQ(str(TFnDagNode(targets[0]).name()), "SmileShape");
    EXPECT_EQ(str(TFnDagNode(TFnDagNode(targets[0]).parent(0)).name()), "Smile");
    EXPECT_EQ(str(Weight(0).name()), "Face_BlendShaper.Smile");
    // An unkeyed channel keeps its weight as a value.
    double value = 0;
    Weight(0).getValue(value);
    EXPECT_EQ(value, 0.25);
}

TEST_F(BlendShapeTest, TargetOfAnotherPointCountIsLeftOut) {
    ZeqTuloNode* node = Head("Head", {"Smile"});
    KZeqShape* odd = mManager.CreateKZeqShape();
    odd->InitControlPoints(5);
    ASSERT_EQ(mMesh->AddShape(odd, "Odd"), 1);
    mImport->ImportShapeAnimation(*node);
    TObjectArray targets;
    TFnBlendShapeDeformer blend(Deformer());
    blend.getTargets(mShape, 1, targets);
    EXPECT_EQ(targets.length(), 0u);
    blend.getTargets(mShape, 0, targets);
    EXPECT_EQ(targets.length(), 1u);
    EXPECT_EQ(standin::countMatches("Odd"), 0u);
    EXPECT_EQ(LogLines(), std::vector<std::string>(
                              {"Head: blend shape Odd: its point count differs from the geometry's; the target was "
                               "left out."}));
}

// A merged node whose host geometry already has a deformer: only its weight curves change.
class MergedBlendShapeTest : public BlendShapeTest {
protected:
    ZeqTuloNode* Merged(const std::vector<const char*>& shapes, const std::vector<bool>& curves) {
        ZeqTuloNode* node = Head("Head", shapes);
        node->mIsPresent = true;
        TFnBlendShapeDeformer blend;
        blend.create(mPath.node());
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            TObject target = standin::createCube(std::string("old") + std::to_string(i), false);
            blend.addTarget(mShape, static_cast<int>(i), target, 1.0);
            if (!curves[i]) continue;
            TFnAnimCurve curve;
            curve.create(TFnDependencyNode(blend.object()).findPlug("weight").elementByLogicalIndex(i));
            curve.addKey(TTime(5.0, TTime::kSeconds), 0.5);
        }
        return node;
    }
};

TEST_F(MergedBlendShapeTest, WeightCurvesAreRewrittenAndMissingOnesReported) {
    ZeqTuloNode* node = Merged({"Smile", "Blink", "Frown"}, {true, false, false});
    for (int i = 0; i < 3; ++i) {
        AddKey(*Channel(node, i), 0.0, 10.0f);
        AddKey(*Channel(node, i), 1.0, 50.0f);
    }
    const std::string before = str(TFnDependencyNode(Deformer()).name());
    mImport->ImportShapeAnimation(*node);
    TFnAnimCurve weight(Weight(0));
    ASSERT_EQ(weight.numKeys(), 2u);
    EXPECT_NEAR(weight.value(1), 0.5, 1e-7);
    EXPECT_EQ(str(TFnDependencyNode(Deformer()).name()), before);
    EXPECT_EQ(standin::countMatches("Smile"), 0u);  // no new target
    // Two weights without a curve: the node is listed once.
    ASSERT_EQ(mImport->mBlendShapeFailures.GetCount(), 1);
    EXPECT_EQ(mImport->mBlendShapeFailures[0], node);
}

// A channel without keys (the take chosen has none, or no take is) leaves the weight's curve as it
// is, keys and all, as for every other channel; a weight without a curve is no failure then.
TEST_F(MergedBlendShapeTest, AnEmptyChannelLeavesTheWeightCurve) {
    ZeqTuloNode* node = Merged({"Smile", "Blink"}, {true, false});
    TFnAnimCurve(Weight(0)).addKey(TTime(6.0, TTime::kSeconds), 0.25);
    Channel(node, 0)->SetValue(40.0f);
    Channel(node, 1)->SetValue(40.0f);
    mImport->ImportShapeAnimation(*node);
    TFnAnimCurve weight(Weight(0));
    ASSERT_EQ(weight.numKeys(), 2u);
    EXPECT_NEAR(weight.value(0), 0.5, 1e-7);
    EXPECT_NEAR(weight.value(1), 0.25, 1e-7);
    EXPECT_EQ(mImport->mBlendShapeFailures.GetCount(), 0);
}

TEST_F(MergedBlendShapeTest, DrivenWeightIsProtected) {
    ZeqTuloNode* node = Merged({"Smile"}, {false});
    TDagPath driver = HostPath("transform", "driver");
    TObject driven = standin::createDrivenCurve(TFnTransform(driver).findPlug("translateX"), Weight(0), 7);
    TFnAnimCurve(driven).addKey(TTime(0.0, TTime::kSeconds), 0.3);
    AddKey(*Channel(node, 0), 0.0, 10.0f);
    AddKey(*Channel(node, 0), 1.0, 50.0f);
    SetBool(ZeqTuloUserParams::kProtectDrivenKeys, true);
    mImport->ImportShapeAnimation(*node);
    EXPECT_EQ(TFnAnimCurve(driven).numKeys(), 1u);
    EXPECT_EQ(mImport->mBlendShapeFailures.GetCount(), 0);
}

TEST_F(MergedBlendShapeTest, DeformerGoesWhenTheMergedGeometryHasNoShapes) {
    ZeqTuloNode* node = Merged({"Smile"}, {true});
    mMesh->ClearShape();
    mImport->ImportShapeAnimation(*node);
    TObject none;
    EXPECT_FALSE(ZeqTuloUtility::GetDependencyOfThisType(&mShape, 330, &none, TItDependencyGraph::kUpstream,
                                                         static_cast<TFn::Type>(330)));
    // A node of this import without shapes keeps what it has.
    node->mIsPresent = false;
    TFnBlendShapeDeformer blend;
    blend.create(mPath.node());
    mImport->ImportShapeAnimation(*node);
    EXPECT_TRUE(ZeqTuloUtility::GetDependencyOfThisType(&mShape, 330, &none, TItDependencyGraph::kUpstream,
                                                        static_cast<TFn::Type>(330)));
}

TEST_F(BlendShapeTest, PatchShapesHaveNoHostTarget) {
    mShape = standin::createCube("Patchy", false);
    TDagPath::getAPathTo(TFnDagNode(mShape).parent(0), mPath);
    KZeqPatch* patch = mManager.CreateKZeqPatch();
    ZeqTuloNode* node = Node("Patchy", &mPath, nullptr, patch);
    KZeqShape* shape = mManager.CreateKZeqShape();
    shape->InitControlPoints(8);
    ASSERT_EQ(patch->AddShape(shape, "Bulge"), 0);
    mImport->ImportShapeAnimation(*node);
    EXPECT_EQ(standin::countMatches("Bulge"), 0u);
    EXPECT_EQ(LogLines(), std::vector<std::string>({"Patchy: blend shape Bulge: a patch shape has no host target; it "
                                                     "was left out."}));
}

// ---- The warning at the end of the pass.

class BlendShapeWarningTest : public ImportAnimationTest {
protected:
    void Fail(const std::vector<const char*>& names) {
        for (const char* name : names) mImport->mBlendShapeFailures.Add(Node(name, nullptr));
    }
};

TEST_F(BlendShapeWarningTest, OneNode) {
    SetBool(ZeqTuloUserParams::kImportShowUI, true);
    Fail({"Face"});
    standin::dialogs().push("Ok", "ZEQ import error");
    mImport->DisplayBlendShapeImportWarningDialog();
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    EXPECT_EQ(standin::dialogs().records()[0].message,
              "Import of blendshape animation failed for the following nodes:\n\n        Face\n        \n\nMake sure "
              "the animation function curves exist on these nodes.\n (Make sure each blendshape have at least a key)\n");
    EXPECT_EQ(standin::dialogs().records()[0].buttons, std::vector<std::string>({"Ok"}));
    EXPECT_EQ(LogLines(), std::vector<std::string>({"Import of blendshape animation failed for the following nodes:",
                                                     "Face", "Make sure the animation function curves exist on these nodes.",
                                                     " (Make sure each blendshape have at least a key)"}));
}

TEST_F(BlendShapeWarningTest, FourNodesThreeToALine) {
    SetBool(ZeqTuloUserParams::kImportShowUI, true);
    Fail({"Jaw", "Brow", "Lip", "Eye"});
    standin::dialogs().push("Ok", "ZEQ import error");
    mImport->DisplayBlendShapeImportWarningDialog();
    const std::string& message = standin::dialogs().records().at(0).message;
    EXPECT_NE(message.find("\n\n        Jaw, Brow, Lip, \n        Eye\n        \n\n"), std::string::npos) << message;
    EXPECT_EQ(LogLines().size(), 7u);
}

TEST_F(BlendShapeWarningTest, WithoutDialogsOnlyTheLog) {
    Fail({"Face"});
    mImport->DisplayBlendShapeImportWarningDialog();
    EXPECT_TRUE(standin::dialogs().records().empty());
    EXPECT_EQ(LogLines().size(), 4u);
}

}  // namespace
