#include "io/kzeqpivotreplacement.h"

#include <gtest/gtest.h>

#include <string>

#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

const KZeqNode::EPivotSet kSet = KZeqNode::eSOURCE_SET;

// The tree as nested names without their prefix: "Root(Pre(Arm(Post(Hand))))".
std::string Tree(KZeqNode* node) {
    std::string text = KZeqObject::RemovePrefix(node->GetName()).Buffer();
    if (node->GetChildCount() == 0) return text;
    text += "(";
    for (int i = 0; i < node->GetChildCount(); ++i) text += (i ? " " : "") + Tree(node->GetChild(i));
    return text + ")";
}

struct PivotReplacementTest : ::testing::Test {
    KZeqNode* Child(KZeqNode* parent, const char* name) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        return parent->AddChild(node), node;
    }
    KZeqSdkManager mManager;
    KZeqNode *mRoot = mManager.CreateKZeqNode("Root"), *mArm = Child(mRoot, "Arm");
    KZeqNode *mHand = Child(mArm, "Hand"), *mLeg = Child(mRoot, "Leg");
};

}  // namespace

TEST_F(PivotReplacementTest, ExportThenImportRestoresTheNode) {
    EXPECT_FALSE(ReplacePivotExport(mRoot, kSet, mManager) || ReplacePivotExport(nullptr, kSet, mManager));
    EXPECT_EQ("Root(Arm(Hand) Leg)", Tree(mRoot));  // nothing to replace
    mArm->SetPreRotation(kSet, KZeqVector4(10, 20, 30, 0));
    mArm->SetPostRotation(kSet, KZeqVector4(0, 0, 45, 0));
    mHand->SetPostRotation(kSet, KZeqVector4(5, 0, 0, 0));
    KZeqSkeleton* bone = mManager.CreateKZeqSkeleton();
    bone->SetSkeletonType(KZeqSkeleton::eLIMB), bone->SetLimbNodeSize(3.0), mHand->SetNodeAttribute(bone);
    mArm->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    KFCurve* x = mArm->GetTakeNode(mArm->CreateTakeNode("Take 001") ? 1 : 0)->GetTranslationX();
    x->SetValue(7.0f), x->KeyAdd(KTime(0));
    for (KZeqNode* node : {mLeg, mArm}) node->SetPivotState(kSet, KZeqNode::ePIVOT_STATE_REFERENCE);

    EXPECT_FALSE(ReplacePivotExport(mRoot, kSet, mManager));
    EXPECT_EQ("Root(Leg Arm__Pre_(Arm(Arm__Post_(Hand(Hand__Post_)))))", Tree(mRoot));
    KZeqVector4 v;
    EXPECT_TRUE(mArm->GetPreRotation(kSet) == KZeqVector4() && mArm->GetPostRotation(kSet) == KZeqVector4());
    EXPECT_TRUE(mArm->GetDefaultT(v) == KZeqVector4() && x->KeyGetCount() == 0 && x->GetValue() == 0.0f);
    KZeqNode* pre = mArm->GetParent();
    KFCurve* moved = pre->GetTakeNode(1)->GetTranslationX();
    EXPECT_TRUE(pre->GetDefaultR(v) == KZeqVector4(10, 20, 30, 0) && pre->GetDefaultT(v) == KZeqVector4(1, 2, 3, 0));
    EXPECT_TRUE(moved->KeyGetCount() == 1 && moved->GetValue() == 1.0f);
    EXPECT_EQ(30.0f, pre->GetTakeNode(1)->GetEulerRotationZ()->GetValue());
    EXPECT_TRUE(mArm->GetChild(0)->GetDefaultR(v) == KZeqVector4(0, 0, 45, 0));
    // Helpers of a skeleton node are limb nodes of its size; the others have no attribute.
    const KZeqSkeleton* limbNode = mHand->GetChild(0)->GetSkeleton();
    ASSERT_TRUE(limbNode && !pre->GetNodeAttribute() && !mArm->GetChild(0)->GetNodeAttribute());
    EXPECT_TRUE(limbNode->GetSkeletonType() == KZeqSkeleton::eLIMB_NODE && limbNode->GetLimbNodeSize() == 3.0);

    ReplacePivotImport(mRoot, kSet, mManager);
    EXPECT_EQ("Root(Leg Arm(Hand))", Tree(mRoot));
    EXPECT_TRUE(mArm->GetPreRotation(kSet) == KZeqVector4(10, 20, 30, 0) &&
                mArm->GetPostRotation(kSet) == KZeqVector4(0, 0, 45, 0));
    EXPECT_TRUE(mHand->GetPostRotation(kSet) == KZeqVector4(5, 0, 0, 0));
    EXPECT_TRUE(mArm->GetDefaultT(v) == KZeqVector4(1, 2, 3, 0));
    EXPECT_EQ(1, mArm->GetTakeNode(1)->GetTranslationX()->KeyGetCount());
    KZeqNode::EPivotState arm, leg;
    mArm->GetPivotState(kSet, arm), mLeg->GetPivotState(kSet, leg);
    EXPECT_TRUE(arm == KZeqNode::ePIVOT_STATE_REFERENCE && leg == KZeqNode::ePIVOT_STATE_ACTIVE);  // kept where folded
}

TEST_F(PivotReplacementTest, ClashMarkedNamesKeepTheInitialName) {
    mArm->SetInitialName("Model::Arm");
    mArm->SetName("Arm_ncl1_1");
    mArm->SetPreRotation(kSet, KZeqVector4(1, 0, 0, 0));
    EXPECT_TRUE(ReplacePivotExport(mArm, kSet, mManager));
    // The initial name, the marker, then as many last characters of "Model::Arm_ncl1_1" as "ncl" lies from its start.
    EXPECT_STREQ("Model::Arm__Pre_:Arm_ncl1_1", mArm->GetParent()->GetName());
}
