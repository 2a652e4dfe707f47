// The second walk (each node under its host parent's node or the root), the skeleton types of
// joints and tagged transforms, and the static visibility a node takes from the host.
#include "zeqtuloexport_test_support.h"

#include "content/kzeqskeleton.h"
#include "plugin/zeqtuloutility.h"
#include "tfndagnode.h"
#include "tfnmesh.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

TPlug At(const TObject& node, const char* attr) { return TFnDependencyNode(node).findPlug(attr); }

using HierarchyTest = ExportTest;

TEST_F(HierarchyTest, NodesFollowTheirHostParents) {
    TObject a = standin::createNode("transform", "a");
    TObject b = standin::createNode("transform", "b", a);
    standin::createNode("transform", "c", b);
    ExportProbe exporter;
    exporter.Walks();
    ZeqTuloNode* na = exporter.Node("|a");
    ASSERT_TRUE(na && exporter.Node("|a|b") && exporter.Node("|a|b|c"));
    EXPECT_EQ(na->GetParent(), exporter.mRootNode);
    EXPECT_EQ(exporter.Node("|a|b")->GetParent(), na);
    EXPECT_EQ(exporter.Node("|a|b|c")->GetParent(), exporter.Node("|a|b"));
}

// A selected child of an unselected parent goes under the root; the parent has no node.
TEST_F(HierarchyTest, SelectedChildOfUnselectedParentGoesToTheRoot) {
    TObject parent = standin::createNode("transform", "parent");
    TObject child = standin::createNode("transform", "child", parent);
    TSelectionList selection;
    selection.add(TDagPath::getAPathTo(child));
    TGlobal::setActiveSelectionList(selection);
    Params()->SetBoolParam(ZeqTuloUserParams::kExportSelectionOnly, true);
    ExportProbe exporter;
    exporter.mSelection.reset(new TSelectionList(selection));
    exporter.Walks();
    EXPECT_EQ(exporter.Node("|parent"), nullptr);
    ASSERT_NE(exporter.Node("|parent|child"), nullptr);
    EXPECT_EQ(exporter.Node("|parent|child")->GetParent(), exporter.mRootNode);
}

// Paths that differ only in letter case meet under one key; each node still stands for its own
// path and each child goes under its own parent.
TEST_F(HierarchyTest, PathsDifferingInCaseOnly) {
    TObject upper = standin::createNode("transform", "Arm");
    TObject lower = standin::createNode("transform", "arm");
    standin::createNode("transform", "hand", upper);
    standin::createNode("transform", "hand", lower);
    ExportProbe exporter;
    exporter.Walks();
    ZeqTuloNode* upperHand = nullptr;
    ZeqTuloNode* lowerHand = nullptr;
    for (int i = 0; i < exporter.mNodesByDagPath.GetCount(); ++i) {
        auto* node = reinterpret_cast<ZeqTuloNode*>(exporter.mNodesByDagPath.GetFromIndex(i));
        const std::string path = node->GetDagPath()->fullPathName().asChar();
        if (path == "|Arm|hand") upperHand = node;
        if (path == "|arm|hand") lowerHand = node;
    }
    ASSERT_TRUE(upperHand && lowerHand && upperHand != lowerHand);
    ASSERT_TRUE(upperHand->GetParent() && lowerHand->GetParent());
    EXPECT_EQ(std::string(static_cast<ZeqTuloNode*>(upperHand->GetParent())->GetDagPath()->fullPathName().asChar()),
              "|Arm");
    EXPECT_EQ(std::string(static_cast<ZeqTuloNode*>(lowerHand->GetParent())->GetDagPath()->fullPathName().asChar()),
              "|arm");
}

// An instanced transform: a node per path, each under the node of its own path's parent (not all
// under parent number 0, which would move the second copy to the first parent).
TEST_F(HierarchyTest, InstancesGoUnderTheirOwnParents) {
    TObject first = standin::createNode("transform", "first");
    TObject second = standin::createNode("transform", "second");
    TObject shared = standin::createNode("transform", "shared", first);
    ASSERT_TRUE(standin::parent(shared, second, true));
    ExportProbe exporter;
    exporter.Walks();
    ZeqTuloNode* one = exporter.Node("|first|shared");
    ZeqTuloNode* two = exporter.Node("|second|shared");
    ASSERT_TRUE(one && two && one != two);
    EXPECT_EQ(one->GetParent(), exporter.Node("|first"));
    EXPECT_EQ(two->GetParent(), exporter.Node("|second"));
}

// An instance whose second parent is the world: that copy goes under the root.
TEST_F(HierarchyTest, AnInstanceAtTheTopGoesUnderTheRoot) {
    TObject first = standin::createNode("transform", "first");
    TObject shared = standin::createNode("transform", "shared", first);
    ASSERT_TRUE(standin::parent(shared, TObject(), true));
    ExportProbe exporter;
    exporter.Walks();
    ZeqTuloNode* under = exporter.Node("|first|shared");
    ZeqTuloNode* top = exporter.Node("|shared");
    ASSERT_TRUE(under && top && under != top);
    EXPECT_EQ(under->GetParent(), exporter.Node("|first"));
    EXPECT_EQ(top->GetParent(), exporter.mRootNode);
}

// Skeleton types by tag; a Root keeps the default limb size unset.
TEST_F(HierarchyTest, JointTypesByTag) {
    const int tags[] = {0, 2, 3, 4, 5, 9};
    const KZeqSkeleton::ESkeletonType types[] = {KZeqSkeleton::eLIMB_NODE, KZeqSkeleton::eROOT, KZeqSkeleton::eEFFECTOR,
                                                 KZeqSkeleton::eLIMB,      KZeqSkeleton::eLIMB_NODE,
                                                 KZeqSkeleton::eLIMB_NODE};
    for (int i = 0; i < 6; ++i) {
        TObject joint = standin::createNode("joint", "j" + std::to_string(i));
        if (tags[i]) FMSetQuorbelID(joint, tags[i]);
    }
    ExportProbe exporter;
    exporter.mJointDisplayScale = 250;
    exporter.Walks();
    for (int i = 0; i < 6; ++i) {
        ZeqTuloNode* node = exporter.Node("|j" + std::to_string(i));
        ASSERT_TRUE(node && node->GetSkeleton()) << i;
        EXPECT_EQ(node->GetSkeleton()->GetSkeletonType(), types[i]) << i;
        EXPECT_EQ(node->GetSkeleton()->GetLimbNodeSizeIsSet(), tags[i] != 2) << i;
        if (tags[i] != 2) {
            EXPECT_EQ(node->GetSkeleton()->GetLimbNodeSize(), 250.0) << i;
        }
    }
}

// Visibility: a hidden transform is hidden, whatever is below it; a visible shape under a hidden
// transform is hidden; a hidden shape is hidden; a transform (or a shape's transform) under a
// hidden transform is visible: only the node and a shape's parent count.
TEST_F(HierarchyTest, StaticVisibility) {
    TObject hidden = standin::createNode("transform", "hidden");
    At(hidden, "visibility").setValue(false);
    standin::createNode("transform", "below", hidden);
    standin::createCube("box", false, 1, hidden);
    TObject covered = TFnDagNode(standin::createCube("covered", false)).parent(0);
    At(covered, "visibility").setValue(false);
    TObject innerShape = standin::createCube("inner", false);
    At(innerShape, "visibility").setValue(false);
    ExportProbe exporter;
    exporter.Walks();
    EXPECT_FALSE(exporter.Node("|hidden")->GetVisibility());
    EXPECT_TRUE(exporter.Node("|hidden|below")->GetVisibility());
    EXPECT_TRUE(exporter.Node("|hidden|box")->GetVisibility());
    EXPECT_FALSE(exporter.Node("|covered")->GetVisibility());
    EXPECT_FALSE(exporter.Node("|inner")->GetVisibility());
}

}  // namespace
