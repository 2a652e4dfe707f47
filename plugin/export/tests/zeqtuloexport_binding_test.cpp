// Node lookup by host path, skin clusters with their bind poses and questions, and cluster
// deformers as cluster links.
#include "zeqtuloexport_anim_support.h"

#include <random>

#include "content/kzeqlink.h"
#include "plugin/export/zeqtuloexport_binding.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/export/zeqtuloexportnodeindex.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "tfncomponent.h"
#include "tfndeformer.h"
#include "titdependencygraph.h"

using namespace zeqsdk_400;

namespace {

using NodeLookupTest = ExportAnimTest;

TEST_F(NodeLookupTest, ShapesStandForTheirTransformAndParentsComeFirst) {
    TObject body = Transform("body");
    TObject arm = Transform("arm", body);
    TObject armShape = standin::createCube("hand", false, 1, arm);
    ZeqTuloNode* bodyNode = Node(body);
    ZeqTuloNode* armNode = Node(arm, bodyNode);
    TDagPath shapePath = PathOf(armShape);
    TDagPath armPath = PathOf(arm);
    EXPECT_EQ(mExport->GetNodeWithThisChildren(mExport->mRootNode, &shapePath), nullptr);
    TDagPath handPath = PathOf(TFnDagNode(armShape).parent(0));
    ZeqTuloNode* handNode = Node(TFnDagNode(armShape).parent(0), armNode);
    EXPECT_EQ(mExport->GetNodeWithThisChildren(mExport->mRootNode, &shapePath), handNode);
    // The arm is one of the body's host children: the body stands for it first.
    EXPECT_EQ(mExport->GetNodeWithThisChildren(mExport->mRootNode, &armPath), bodyNode);
    EXPECT_EQ(mExport->GetNodeWithThisChildren(armNode, &handPath), armNode);
    TDagPath none = PathOf(Transform("elsewhere"));
    EXPECT_EQ(mExport->GetNodeWithThisChildren(mExport->mRootNode, &none), nullptr);
    // The name form compares partial names exactly.
    EXPECT_EQ(mExport->GetNodeWithThisChildren(mExport->mRootNode, "hand"), armNode);
    EXPECT_EQ(mExport->GetNodeWithThisChildren(mExport->mRootNode, "Hand"), nullptr);
}

TEST_F(NodeLookupTest, HigherSiblingWins) {
    TObject t = Transform("twice");
    ZeqTuloNode* first = Node(t);
    ZeqTuloNode* second = Node(t);
    TDagPath path = PathOf(t);
    EXPECT_EQ(mExport->GetNodeWithThisChildren(mExport->mRootNode, &path), second);
    (void)first;
}

TEST_F(NodeLookupTest, IndexGivesTheWalksAnswers) {
    std::mt19937 random(7);
    std::vector<TObject> transforms;
    std::vector<ZeqTuloNode*> nodes;
    for (int i = 0; i < 60; ++i) {
        const TObject parent = transforms.empty() || random() % 4 == 0 ? TObject() : transforms[random() % transforms.size()];
        transforms.push_back(Transform(("n" + std::to_string(i)).c_str(), parent));
        if (random() % 3 == 0) standin::createNode("locator", "", transforms.back());
    }
    // Nodes for most transforms, some twice, under random nodes.
    for (const TObject& t : transforms) {
        if (random() % 5 == 0) continue;
        ZeqTuloNode* parent = nodes.empty() || random() % 3 == 0 ? nullptr : nodes[random() % nodes.size()];
        nodes.push_back(Node(t, parent));
        if (random() % 7 == 0) nodes.push_back(Node(t, nodes[random() % nodes.size()]));
    }
    ZeqTuloExportNodeIndex index(mExport->mRootNode);
    for (TItDag it; !it.isDone(); it.next()) {
        TDagPath path;
        it.getPath(path);
        ZeqTuloNode* walked = mExport->GetNodeWithThisChildren(mExport->mRootNode, &path);
        EXPECT_EQ(index.StandingFor(path), walked) << path.fullPathName().asChar();
        EXPECT_EQ(index.WithPath(&path), GetZeqNodeFromDagPath(mExport->mRootNode, &path));
    }
}

class SmoothBindingTest : public ExportAnimTest {
protected:
    static KZeqGeometry* Geometry(ZeqTuloNode* node) { return static_cast<KZeqGeometry*>(node->GetNodeAttribute()); }
    static KZeqLink* LinkTo(KZeqGeometry* geometry, ZeqTuloNode* influence) {
        for (int i = 0; i < geometry->GetLinkCount(); ++i)
            if (geometry->GetLink(i)->GetLink() == influence) return geometry->GetLink(i);
        return nullptr;
    }
    static KZeqMatrix BindPose(const char* joint) {
        TDoubleArray values;
        TGlobal::executeCommand(TString("getAttr ") + TString(joint) + TString(".bindPose"), values);
        KZeqMatrix m;
        for (unsigned k = 0; k < values.length() && k < 16; ++k) m.mData[k / 4][k % 4] = values[k];
        return m;
    }
    static void DeleteDagPoses() {
        std::vector<TObject> poses;
        for (TItDependencyNodes it(TFn::kDagPose); !it.isDone(); it.next()) poses.push_back(it.item());
        for (TObject& pose : poses) TGlobal::deleteNode(pose);
    }
    // A grid of 4 points skinned to the influences, one weight list each.
    static TObject Skin(const char* name, std::vector<TObject> influences, std::vector<std::vector<float>> weights) {
        TObject grid = standin::createGrid((std::string(name) + "Grid").c_str(), 1, 1);
        return standin::createSkin(name, TObject(), grid, influences, weights);
    }
    KZeqPose* Pose(const char* name) {
        for (int i = 0; i < mExport->mScene->GetPoseCount(); ++i)
            if (mExport->mScene->GetPose(i)->GetNameWithoutNameSpacePrefix() == name) return mExport->mScene->GetPose(i);
        return nullptr;
    }
};

TEST_F(SmoothBindingTest, SkinRigGivesLinksAndABindPose) {
    standin::buildScene("skinRig");
    auto nodes = Mirror();
    mExport->ExportSmoothBinding();
    ZeqTuloNode* leg = nodes["|leg"];
    KZeqGeometry* geometry = Geometry(leg);
    ASSERT_EQ(geometry->GetLinkCount(), 4);
    KZeqLink* hip = LinkTo(geometry, nodes["|hip"]);
    ASSERT_NE(hip, nullptr);
    ASSERT_EQ(hip->GetControlPointIndicesCount(), 5);
    EXPECT_EQ(hip->GetControlPointIndices()[1], 3);
    EXPECT_DOUBLE_EQ(hip->GetControlPointWeights()[1], 0.75);
    EXPECT_EQ(hip->GetLinkMode(), KZeqLink::eNORMALIZE);
    KZeqXMatrix link;
    EXPECT_TRUE(KZeqMatrix(hip->GetTransformLinkMatrix(link)) == BindPose("hip"));
    EXPECT_EQ(LinkTo(geometry, nodes["|ctrl"])->GetControlPointIndicesCount(), 15);
    KZeqPose* pose = Pose("legSkin");
    ASSERT_NE(pose, nullptr);
    for (const char* name : {"|leg", "|hip", "|hip|knee", "|hip|knee|ankle", "|ctrl"})
        EXPECT_GE(pose->Find(nodes[name]->GetName()), 0) << name;
    EXPECT_TRUE(pose->GetMatrix(pose->Find("Model::knee")) == BindPose("knee"));
}

TEST_F(SmoothBindingTest, WeightsAboveAThousandthOnly) {
    TObject a = standin::createNode("joint", "a");
    TObject b = standin::createNode("joint", "b");
    Skin("skin", {a, b}, {{0.001f, 0.0011f, 0.5f, 1.0f}, {0.001f, 0.0005f, 0.0f, -1.0f}});
    auto nodes = Mirror();
    mExport->ExportSmoothBinding();
    KZeqGeometry* geometry = Geometry(nodes["|skinGrid"]);
    KZeqLink* first = LinkTo(geometry, nodes["|a"]);
    ASSERT_EQ(first->GetControlPointIndicesCount(), 3);
    EXPECT_EQ(first->GetControlPointIndices()[0], 1);
    // All weights at most 0.001: a link all the same, without points, with its matrices.
    KZeqLink* second = LinkTo(geometry, nodes["|b"]);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetControlPointIndicesCount(), 0);
    KZeqXMatrix link;
    EXPECT_TRUE(KZeqMatrix(second->GetTransformLinkMatrix(link)) == BindPose("b"));
}

TEST_F(SmoothBindingTest, PointsTheGeometryLacksAreLeftOut) {
    TObject a = standin::createNode("joint", "a");
    Skin("skin", {a}, {{0.5f, 0.5f, 0.5f, 0.5f}});
    auto nodes = Mirror();
    Geometry(nodes["|skinGrid"])->InitControlPoints(2);
    mExport->ExportSmoothBinding();
    EXPECT_EQ(LinkTo(Geometry(nodes["|skinGrid"]), nodes["|a"])->GetControlPointIndicesCount(), 2);
}

TEST_F(SmoothBindingTest, PostRotationLeavesTheBindMatrixOnlyWithPoses) {
    TObject j = standin::createNode("joint", "j");
    TFnTransform(j).setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    Skin("skin", {j}, {{1, 1, 1, 1}});
    for (bool poses : {true, false}) {
        mExport.reset(new TestExport);
        ZeqTuloUserParams::Instance()->SetBoolParam(kExportBindPoseOption, poses);
        auto nodes = Mirror();
        ZeqTuloNode* post = mExport->mSdkManager.CreateZeqTuloNode("j__Post_", nullptr);
        post->SetDefaultR(KZeqVector4(0, 0, 90, 1));
        nodes["|j"]->AddChild(post);
        mExport->ExportSmoothBinding();
        KZeqXMatrix link;
        LinkTo(Geometry(nodes["|skinGrid"]), nodes["|j"])->GetTransformLinkMatrix(link);
        const KZeqXMatrix turn(KZeqVector4(0, 0, 0, 1), KZeqVector4(0, 0, 90, 1), KZeqVector4(1, 1, 1, 1));
        const KZeqMatrix expected = poses ? KZeqXMatrix(BindPose("j")) * turn.Inverse() : BindPose("j");
        EXPECT_TRUE(KZeqMatrix(link) == expected) << poses;
        EXPECT_EQ(mExport->mScene->GetPoseCount(), poses ? 1 : 0);
    }
}

TEST_F(SmoothBindingTest, NoDropsThisAndLaterPoses) {
    OpenLog();
    TObject loose = Transform("loose");
    Skin("first", {loose}, {{1, 1, 1, 1}});
    DeleteDagPoses();
    Skin("second", {standin::createNode("joint", "j")}, {{1, 1, 1, 1}});
    auto nodes = Mirror();
    standin::dialogs().push("No", "ZEQ Export Question");
    mExport->ExportSmoothBinding();
    EXPECT_EQ(mExport->mScene->GetPoseCount(), 0);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    EXPECT_NE(standin::dialogs().records()[0].message.find("Could not retrieve bind pose for object : \n / loose"),
              std::string::npos);
    const std::string log = Log();
    EXPECT_NE(log.find("ZEQ Export Warning: Could not retrieve bind pose for object :  / loose"), std::string::npos);
    EXPECT_NE(log.find("User aborted the export of bind poses."), std::string::npos);
    // The link keeps the identity in place of the bind matrix.
    KZeqXMatrix link;
    LinkTo(Geometry(nodes["|firstGrid"]), nodes["|loose"])->GetTransformLinkMatrix(link);
    EXPECT_TRUE(KZeqMatrix(link) == KZeqMatrix());
}

TEST_F(SmoothBindingTest, WithoutDialogsTheLogSays) {
    OpenLog();
    ZeqTuloUserParams::Instance()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
    Skin("first", {Transform("loose")}, {{1, 1, 1, 1}});
    DeleteDagPoses();
    Mirror();
    mExport->ExportSmoothBinding();
    EXPECT_EQ(mExport->mScene->GetPoseCount(), 0);
    EXPECT_NE(Log().find(" / looseNo bind poses in the hierarchy containing the object will be exported."),
              std::string::npos);
}

TEST_F(SmoothBindingTest, AncestorIsAskedOnceAndThenLeftOut) {
    TObject rig = Transform("rig");
    TFnTransform(rig).setTranslation(TVector(0, 5, 0), TSpace::kTransform);
    Skin("first", {standin::createNode("joint", "a", rig)}, {{1, 1, 1, 1}});
    Skin("second", {standin::createNode("joint", "b", rig)}, {{1, 1, 1, 1}});
    Mirror();
    standin::dialogs().push("Yes", "ZEQ Export Question");
    mExport->ExportSmoothBinding();
    EXPECT_EQ(standin::dialogs().records().size(), 1u);
    ASSERT_NE(Pose("first"), nullptr);
    ASSERT_NE(Pose("second"), nullptr);
    EXPECT_GE(Pose("first")->Find("Model::rig"), 0);
    EXPECT_LT(Pose("second")->Find("Model::rig"), 0);
}

TEST_F(SmoothBindingTest, ConflictsAreReportedInNameOrder) {
    OpenLog();
    TObject rig = Transform("rig");
    TFnTransform(rig).setTranslation(TVector(0, 5, 0), TSpace::kTransform);
    TObject j = standin::createNode("joint", "j", rig);
    TFnTransform(j).setTranslation(TVector(1, 0, 0), TSpace::kTransform);
    Skin("skin", {j}, {{1, 1, 1, 1}});
    auto nodes = Mirror();
    nodes["|rig"]->SetName("alpha");
    nodes["|rig|j"]->SetName("Beta");
    // A bind pose already in the scene holds both names with other matrices.
    KZeqPose* earlier = mExport->mSdkManager.CreateKZeqPose("earlier", true);
    KZeqMatrix other;
    other.mData[3][2] = 42;
    earlier->Add("Model::Beta", other, false);
    earlier->Add("Model::alpha", other, false);
    mExport->mScene->AddPose(earlier);
    standin::dialogs().push("Yes", "ZEQ Export Question");
    standin::dialogs().push("Ok", "ZEQ Export Warning");
    mExport->ExportSmoothBinding();
    ASSERT_EQ(standin::dialogs().records().size(), 2u);
    const std::string message = standin::dialogs().records()[1].message;
    EXPECT_LT(message.find(" / rig\n"), message.find(" / rig / j\n"));
    EXPECT_EQ(message.find("Unable to export bind poses because of conflicting data on these elements : \n\n    "), 0u);
    EXPECT_EQ(mExport->mScene->GetPoseCount(), 1);
    EXPECT_EQ(mExport->mBindPoseConflicts.GetCount(), 0);
    EXPECT_NE(Log().find("ZEQ Export Warning: \n\t / rig\n\t / rig / j\n"), std::string::npos);
}

TEST_F(SmoothBindingTest, PivotNodesJoinThePose) {
    ZeqTuloUserParams::Instance()->SetBoolParam(kExportPivotToNullOption, true);
    TObject j = standin::createNode("joint", "j");
    TFnTransform(j).setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    Skin("skin", {j}, {{1, 1, 1, 1}});
    auto nodes = Mirror();
    ZeqTuloNode* node = nodes["|j"];
    ZeqTuloNode* pre = mExport->mSdkManager.CreateZeqTuloNode("j__Pre_", nullptr);
    pre->SetDefaultR(KZeqVector4(90, 0, 0, 1));
    mExport->mRootNode->AddChild(pre);
    pre->AddChild(node);
    ZeqTuloNode* post = mExport->mSdkManager.CreateZeqTuloNode("j__Post_", nullptr);
    post->SetDefaultR(KZeqVector4(0, 45, 0, 1));
    node->AddChild(post);
    mExport->ExportSmoothBinding();
    KZeqPose* pose = Pose("skin");
    ASSERT_NE(pose, nullptr);
    const KZeqXMatrix x(pose->GetMatrix(pose->Find("Model::j")));
    ASSERT_GE(pose->Find("Model::j__Pre_"), 0);
    const KZeqXMatrix preMatrix(pose->GetMatrix(pose->Find("Model::j__Pre_")));
    // Placed where j is, turned as it carries, relative to nothing above it.
    EXPECT_TRUE(KZeqMatrix(preMatrix) ==
                KZeqMatrix(KZeqXMatrix(KZeqVector4(1, 2, 3, 1), KZeqVector4(90, 0, 0, 1), KZeqVector4(1, 1, 1, 1))));
    ASSERT_GE(pose->Find("Model::j__Post_"), 0);
    const KZeqXMatrix turn(KZeqVector4(0, 0, 0, 1), KZeqVector4(0, 45, 0, 1), KZeqVector4(1, 1, 1, 1));
    EXPECT_TRUE(KZeqMatrix(pose->GetMatrix(pose->Find("Model::j__Post_"))) == KZeqMatrix(x * turn));
    KZeqXMatrix link;
    LinkTo(Geometry(nodes["|skinGrid"]), node)->GetTransformLinkMatrix(link);
    EXPECT_TRUE(KZeqMatrix(link) == KZeqMatrix(x));
}

TEST(GeometryMatrixReply, ShortRepliesLeaveTheMatrix) {
    KZeqMatrix matrix;
    TDoubleArray reply;
    for (int k = 0; k < 15; ++k) reply.append(k + 1);
    EXPECT_FALSE(ZeqMatrixFromReply(reply, matrix));
    EXPECT_TRUE(matrix == KZeqMatrix());
    reply.append(16);
    reply.append(99);
    EXPECT_TRUE(ZeqMatrixFromReply(reply, matrix));
    EXPECT_EQ(matrix.mData[3][3], 16);
}

TEST_F(SmoothBindingTest, NodeWithoutGeometryGetsNoLinks) {
    Skin("skin", {standin::createNode("joint", "j")}, {{1, 1, 1, 1}});
    auto nodes = Mirror();
    nodes["|skinGrid"]->SetNodeAttribute(mExport->mSdkManager.CreateKZeqNull());
    mExport->ExportSmoothBinding();
    ASSERT_NE(Pose("skin"), nullptr);
    EXPECT_GE(Pose("skin")->Find("Model::skinGrid"), 0);
    EXPECT_LT(Pose("skin")->Find("Model::j"), 0);
}

class RigidBindingTest : public SmoothBindingTest {};

TEST_F(RigidBindingTest, NurbsClusterIndicesRunOverTheZeqUCount) {
    standin::buildScene("nurbs");
    auto nodes = Mirror();
    mExport->ExportRigidBinding(mExport->mRootNode);
    KZeqGeometry* patch = Geometry(nodes["|patch"]);
    ASSERT_EQ(patch->GetLinkCount(), 1);
    KZeqLink* link = patch->GetLink(0);
    EXPECT_EQ(link->GetLinkMode(), KZeqLink::eADDITIVE);
    EXPECT_EQ(link->GetLink(), nodes["|patchHandle"]);
    EXPECT_EQ(std::string(link->GetUserData("Tulo_ClusterHint").Buffer()), "WeightedCluster");
    ASSERT_EQ(link->GetControlPointIndicesCount(), 4);
    const int expected[4] = {5, 6, 9, 10};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(link->GetControlPointIndices()[i], expected[i]);
    EXPECT_DOUBLE_EQ(link->GetControlPointWeights()[3], 1.0);
    // The handle's transform is at the top: no associate model, no compensation.
    EXPECT_EQ(link->GetAssociateModel(), nullptr);
}

class ClusterTest : public RigidBindingTest {
protected:
    // A cluster on the cube's vertices 0, 5 and 6 with its handle under handleParent.
    TObject Cluster(const char* name, const TObject& handleParent, bool relative) {
        TFnSingleIndexedComponent vertices;
        TObject component = vertices.create(TFn::kSingleIndexedComponent);
        for (int v : {0, 5, 6}) vertices.addElement(v);
        return standin::createCluster(name, handleParent, PathOf(mCube), component, {0.5f, 0.25f, 1.0f}, relative);
    }
    void SetUp() override {
        RigidBindingTest::SetUp();
        mCube = standin::createCube("box", false);
        mBody = Transform("body");
        mArm = Transform("arm", mBody);
    }
    TObject mCube, mBody, mArm;
};

TEST_F(ClusterTest, CompensationFollowsAClusterBelowAnExportedParent) {
    Cluster("grab", mArm, false);
    auto nodes = Mirror();
    mExport->ExportRigidBinding(mExport->mRootNode);
    KZeqGeometry* box = Geometry(nodes["|box"]);
    ASSERT_EQ(box->GetLinkCount(), 2);
    KZeqLink* cluster = box->GetLink(0);
    EXPECT_EQ(cluster->GetLink(), nodes["|body|arm"]);
    EXPECT_EQ(cluster->GetAssociateModel(), nodes["|body"]);
    ASSERT_EQ(cluster->GetControlPointIndicesCount(), 3);
    EXPECT_EQ(cluster->GetControlPointIndices()[2], 6);
    EXPECT_DOUBLE_EQ(cluster->GetControlPointWeights()[1], 0.25);
    KZeqLink* compensation = box->GetLink(1);
    EXPECT_EQ(compensation->GetLink(), nodes["|body"]);
    EXPECT_EQ(std::string(compensation->GetUserData("Tulo_ClusterHint").Buffer()), "CompensationCluster");
    ASSERT_EQ(compensation->GetControlPointIndicesCount(), 3);
    EXPECT_DOUBLE_EQ(compensation->GetControlPointWeights()[1], 1.0);
}

TEST_F(ClusterTest, RelativeClusterHasNoCompensation) {
    Cluster("grab", mArm, true);
    auto nodes = Mirror();
    mExport->ExportRigidBinding(mExport->mRootNode);
    KZeqGeometry* box = Geometry(nodes["|box"]);
    ASSERT_EQ(box->GetLinkCount(), 1);
    EXPECT_EQ(std::string(box->GetLink(0)->GetUserData("Tulo_ClusterHint").Buffer()), "WeightedRelativeCluster");
}

TEST_F(ClusterTest, TwoHandlesUnderOneTransformInHandleOrder) {
    Cluster("first", mArm, true);
    TObject second = standin::createCube("second", false);
    TFnSingleIndexedComponent vertices;
    TObject component = vertices.create(TFn::kSingleIndexedComponent);
    vertices.addElement(2);
    standin::createCluster("other", mArm, PathOf(second), component, {0.5f}, true);
    auto nodes = Mirror();
    mExport->ExportRigidBinding(mExport->mRootNode);
    ASSERT_EQ(Geometry(nodes["|box"])->GetLinkCount(), 1);
    ASSERT_EQ(Geometry(nodes["|second"])->GetLinkCount(), 1);
    EXPECT_EQ(Geometry(nodes["|second"])->GetLink(0)->GetLink(), nodes["|body|arm"]);
}

TEST_F(ClusterTest, PointsBeyondTheGeometryAreDropped) {
    Cluster("grab", mArm, true);
    auto nodes = Mirror();
    Geometry(nodes["|box"])->InitControlPoints(4);
    mExport->ExportRigidBinding(mExport->mRootNode);
    ASSERT_EQ(Geometry(nodes["|box"])->GetLinkCount(), 1);
    EXPECT_EQ(Geometry(nodes["|box"])->GetLink(0)->GetControlPointIndicesCount(), 1);
}

TEST_F(ClusterTest, PointsWhoseWeightCannotBeReadAreDropped) {
    Cluster("grab", mArm, true);
    // A weight fed through a loop of connections cannot be read.
    TFnNumericAttribute numeric;
    TFnDependencyNode(mBody).addAttribute(numeric.create("loop", "loop", TFnNumericData::kDouble), 2);
    const TPlug weight = standin::plug("grab.wl[0].w[5]");
    const TPlug loop = TFnDependencyNode(mBody).findPlug("loop");
    ASSERT_TRUE(standin::connect(weight, loop));
    ASSERT_TRUE(standin::connect(loop, weight));
    auto nodes = Mirror();
    mExport->ExportRigidBinding(mExport->mRootNode);
    ASSERT_EQ(Geometry(nodes["|box"])->GetLinkCount(), 1);
    KZeqLink* link = Geometry(nodes["|box"])->GetLink(0);
    ASSERT_EQ(link->GetControlPointIndicesCount(), 2);
    EXPECT_EQ(link->GetControlPointIndices()[1], 6);
}

TEST_F(ClusterTest, ASetFedTwiceIsNotExported) {
    TObject cluster = Cluster("grab", mArm, false);
    TObject other = standin::createSet("other");
    standin::connect(TFnDependencyNode(cluster).findPlug("message"), standin::plug("other.usedBy[0]"));
    auto nodes = Mirror();
    mExport->ExportRigidBinding(mExport->mRootNode);
    EXPECT_EQ(Geometry(nodes["|box"])->GetLinkCount(), 0);
    (void)other;
}

TEST_F(ClusterTest, MemberOutsideTheDeformersOutputsIsSkipped) {
    TObject cluster = Cluster("grab", mArm, true);
    TObject stray = standin::createCube("stray", false);
    TFnSingleIndexedComponent vertices;
    TObject component = vertices.create(TFn::kSingleIndexedComponent);
    vertices.addElement(1);
    TPlugArray sets;
    TFnDependencyNode(cluster).findPlug("message").connectedTo(sets, false, true);
    standin::addToSet(sets[0].node(), PathOf(stray), component);
    auto nodes = Mirror();
    mExport->ExportRigidBinding(mExport->mRootNode);
    EXPECT_EQ(Geometry(nodes["|box"])->GetLinkCount(), 1);
    EXPECT_EQ(Geometry(nodes["|stray"])->GetLinkCount(), 0);
}

}  // namespace
