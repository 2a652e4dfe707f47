#include "io/kzeqpluginbase.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// A correction chosen by the test; "Alt" nodes are also root nodes to this driver.
struct Driver : KZeqPluginImportBase {
    void ComputeWorldTransform(KgeAMatrix& m) override { ++mCalls, std::memcpy(m, mCorrection, sizeof(m)); }
    bool IsAlternativeZeqRootNode(KZeqNode* node) override { return std::strstr(node->GetName(), "Alt"); }
    KgeAMatrix mCorrection = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    int mCalls = 0;
};

// Scene: "Zeq_Root" at the identity with A and B below, "My_Zeq_Root2" moved by one, and "zeq_root".
struct KZeqPluginImportBaseTest : ::testing::Test {
    KZeqNode* Child(KZeqNode* parent, const char* name) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        return parent->AddChild(node), node;
    }
    KZeqSdkManager mManager;
    KZeqNode *mRoot = mManager.CreateKZeqNode("Scene"), *mAtIdentity = Child(mRoot, "Zeq_Root");
    KZeqNode *mA = Child(mAtIdentity, "A"), *mB = Child(mAtIdentity, "B");
    KZeqNode *mMoved = Child(mRoot, "My_Zeq_Root2"), *mPlain = Child(mRoot, "zeq_root");
    Driver mDriver;
};

}  // namespace

TEST_F(KZeqPluginImportBaseTest, RootNodesAndPreprocessing) {
    EXPECT_TRUE(mDriver.IsZeqRootNode(mAtIdentity) && mDriver.IsZeqRootNode(mMoved));
    EXPECT_FALSE(mDriver.IsZeqRootNode(mPlain) || mDriver.IsZeqRootNode(nullptr));
    EXPECT_TRUE(mDriver.IsZeqRootNode(mManager.CreateKZeqNode("Alt")));
    EXPECT_FALSE(KZeqPluginBase().IsZeqRootNode(mManager.CreateKZeqNode("Alt")));

    // An identity correction: the root at the identity gives way to its children.
    mMoved->SetDefaultT(KZeqVector4(1, 0, 0, 0));
    mDriver.mCorrection[0][3] = 5;  // the fourth column does not count
    mDriver.Preprocess(mRoot);
    for (KZeqNode* node : {mA, mB, mAtIdentity, mMoved}) EXPECT_FALSE(mDriver.NeedZeqRoot(node)) << node->GetName();
    EXPECT_TRUE(mDriver.NeedZeqRoot(mPlain));
    EXPECT_TRUE(mDriver.IsExcludedZeqRoot(mAtIdentity) && !mDriver.IsExcludedZeqRoot(mMoved));

    // A correction just past the tolerance: the root stands for itself (the excluded list only grows).
    mDriver.mCorrection[3][0] = 0.00011;
    mDriver.Preprocess(mRoot);
    EXPECT_TRUE(mDriver.NeedZeqRoot(mA) && !mDriver.NeedZeqRoot(mAtIdentity) && mDriver.IsExcludedZeqRoot(mAtIdentity));
    KZeqVector4 t;
    EXPECT_NEAR(0.00011, mRoot->GetDefaultT(t)[0], 1e-9);
    mDriver.Preprocess(nullptr);
    EXPECT_EQ(2, mDriver.mCalls);
}

// A correction turned within a tenth of a degree of a quarter turn about Y: the root takes that
// turn, not the quarter turn.
TEST_F(KZeqPluginImportBaseTest, ACorrectionNearAQuarterTurnIsKept) {
    const KZeqXMatrix turned(KZeqVector4(1, 2, 3, 0), KZeqVector4(20, -89.95, 10, 0), KZeqVector4(2, 2, 2, 0));
    std::memcpy(mDriver.mCorrection, turned.mData, sizeof(mDriver.mCorrection));
    mDriver.Preprocess(mRoot);
    const KgeAMatrix& placed = mRoot->GetGlobalMatrix(KZeqNode::eSOURCE_SET);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(placed[i][j], turned.mData[i][j], 1e-12) << i << j;
}
