// Bind-pose matrices: the transform's own attribute, a bind dag pose downstream (members found
// and addressed by logical index), and the matrix written back relative to the parent.
#include "zeqtulo_test_support.h"

#include "base/kzeqmatrix.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtuloutility.h"

using zeqsdk_400::KZeqMatrix;
using zeqsdk_400::KZeqVector4;

namespace {

class BindPoseTest : public HostTest {
protected:
    ZeqTuloNode* Node(const char* name) {
        TDagPath path = TDagPath::getAPathTo(standin::find(name));
        return mManager.CreateZeqTuloNode(name, &path);
    }
    static TMatrix Moved(double x) {
        TMatrix m;
        m[3][0] = x;
        return m;
    }
    static TMatrix MatrixOf(const KZeqMatrix& k) {
        TMatrix m;
        for (int i = 0; i < 16; ++i) m.matrix[i / 4][i % 4] = k.mData[i / 4][i % 4];
        return m;
    }
    ZeqTuloSdkManager mManager{ZeqTuloSdkManager::eExport};
};

// The rig's joints carry their own matrix; its locator is member 3 of a bind dag pose.
TEST_F(BindPoseTest, ReadFromAttributeOrDagPose) {
    ASSERT_TRUE(standin::buildScene("skinRig"));
    KZeqMatrix m;
    ASSERT_TRUE(ZeqTuloUtility::GetBindPoseMatrix(Node("knee"), m));
    EXPECT_EQ(m.mData[3][1], -4);
    standin::plug("bindPose1.worldMatrix[3]").setValue(Moved(7));
    ASSERT_TRUE(ZeqTuloUtility::GetBindPoseMatrix(Node("ctrl"), m));
    EXPECT_EQ(m.mData[3][0], 7);
    // A transform with no pose downstream, and a node without a path: false, matrix untouched.
    standin::createNode("transform", "loose");
    EXPECT_FALSE(ZeqTuloUtility::GetBindPoseMatrix(Node("loose"), m));
    EXPECT_FALSE(ZeqTuloUtility::GetBindPoseMatrix(mManager.CreateZeqTuloNode("none", nullptr), m));
    EXPECT_EQ(m.mData[3][0], 7);
}

// Members 2 and 5 (sparse): the lowest logical index, and its own matrix element.
TEST_F(BindPoseTest, SparseMembersByLogicalIndex) {
    standin::createNode("transform", "a");
    standin::createNode("transform", "b");
    standin::createNode("dagPose", "pose");
    standin::plug("pose.bindPose").setValue(true);
    standin::connect(standin::plug("b.message"), standin::plug("pose.members[0]"));
    standin::connect(standin::plug("a.message"), standin::plug("pose.members[5]"));
    standin::connect(standin::plug("a.message"), standin::plug("pose.members[2]"));
    standin::plug("pose.worldMatrix[0]").setValue(Moved(0));
    standin::plug("pose.worldMatrix[2]").setValue(Moved(2));
    standin::plug("pose.worldMatrix[5]").setValue(Moved(5));
    TObject pose;
    EXPECT_EQ(GetIndexOfPlugInDagPose(standin::find("a"), pose, true), 2);
    EXPECT_STREQ(TFnDependencyNode(pose).name().asChar(), "pose");
    KZeqMatrix m;
    ASSERT_TRUE(ZeqTuloUtility::GetBindPoseMatrix(Node("a"), m));
    EXPECT_EQ(m.mData[3][0], 2);
    // The first dag pose downstream decides: a rest pose hides a bind pose further on.
    standin::plug("pose.bindPose").setValue(false);
    EXPECT_EQ(GetIndexOfPlugInDagPose(standin::find("a"), pose, true), -1);
    EXPECT_STREQ(TFnDependencyNode(pose).name().asChar(), "pose");
    EXPECT_EQ(GetIndexOfPlugInDagPose(standin::find("a"), pose, false), 2);
}

// Anything but 16 values leaves the caller's matrix as it was.
TEST_F(BindPoseTest, WrongValueCountIsRefused) {
    TFnDependencyNode box(standin::createNode("transform", "box"));
    TFnNumericAttribute triple;
    box.addAttribute(triple.create("bindPose", "bps", TFnNumericData::k3Double), 2);
    KZeqMatrix m;
    m.mData[0][1] = 9;
    EXPECT_FALSE(ZeqTuloUtility::GetBindPoseMatrix(Node("box"), m));
    EXPECT_EQ(m.mData[0][1], 9);
}

// Writing: the own attribute takes the world matrix; a dag-pose member its local one, W x P^-1,
// which is what the host's local matrix of the node is.
TEST_F(BindPoseTest, WriteBackRelativeToTheParent) {
    TObject parent = standin::createNode("joint", "arm");
    TObject child = standin::createNode("transform", "hand", parent);
    TFnTransform(parent).setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    double r[3] = {0.4, 0.1, -0.7};
    TFnTransform(parent).setRotation(r, TTransformationMatrix::kXYZ);
    TFnTransform(child).setTranslation(TVector(0, 5, 0), TSpace::kTransform);
    double rc[3] = {0, 0.3, 0};
    TFnTransform(child).setRotation(rc, TTransformationMatrix::kXYZ);
    standin::createNode("dagPose", "pose");
    standin::plug("pose.bindPose").setValue(true);
    standin::connect(standin::plug("hand.message"), standin::plug("pose.members[4]"));
    ZeqTuloNode* arm = Node("arm");
    ZeqTuloNode* hand = Node("hand");
    arm->AddChild(hand);
    const TMatrix armWorld = TDagPath::getAPathTo(parent).inclusiveMatrix();
    const TMatrix handWorld = TDagPath::getAPathTo(child).inclusiveMatrix();
    KZeqMatrix w;
    for (int i = 0; i < 16; ++i) w.mData[i / 4][i % 4] = armWorld.matrix[i / 4][i % 4];
    ASSERT_TRUE(ZeqTuloUtility::SetBindPoseMatrix(arm, w));  // its own attribute
    for (int i = 0; i < 16; ++i) w.mData[i / 4][i % 4] = handWorld.matrix[i / 4][i % 4];
    const KZeqMatrix given = w;
    ASSERT_TRUE(ZeqTuloUtility::SetBindPoseMatrix(hand, w));
    EXPECT_TRUE(w == given);
    TObject data;
    ASSERT_TRUE(standin::plug("pose.xformMatrix[4]").getValue(data));
    const TMatrix local = TFnMatrixData(data).matrix();
    EXPECT_TRUE(local.isEquivalent(TFnTransform(child).transformation().asMatrix(), 1e-12));
    ASSERT_TRUE(standin::plug("arm.bindPose").getValue(data));
    EXPECT_TRUE(TFnMatrixData(data).matrix().isEquivalent(armWorld, 1e-12));
    // A node whose parent has no readable bind matrix: written unchanged.
    ZeqTuloNode* orphan = Node("hand");
    ASSERT_TRUE(ZeqTuloUtility::SetBindPoseMatrix(orphan, w));
    ASSERT_TRUE(standin::plug("pose.xformMatrix[4]").getValue(data));
    EXPECT_TRUE(TFnMatrixData(data).matrix().isEquivalent(handWorld, 1e-12));
    EXPECT_FALSE(ZeqTuloUtility::SetBindPoseMatrix(mManager.CreateZeqTuloNode("none", nullptr), w));
}

}  // namespace
