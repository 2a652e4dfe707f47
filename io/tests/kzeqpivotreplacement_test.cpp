#include "io/kzeqpivotreplacement.h"

#include <gtest/gtest.h>

#include <string>

#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakeinfo.h"
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

namespace {

// Pivots replaced by nodes on export, written in every form, read back and
// folded again: the scene equals the one that never had its pivots replaced.
struct PivotFileTest : ::testing::TestWithParam<zeqiotest::ZeqFileCase> {
    KZeqScene* Build() {
        KZeqScene* scene = mManager.CreateKZeqScene();
        KZeqNode* arm = mManager.CreateKZeqNode("Arm");
        KZeqNode* hand = mManager.CreateKZeqNode("Hand");
        scene->GetRootNode()->AddChild(arm), arm->AddChild(hand);
        KZeqSkeleton* bone = mManager.CreateKZeqSkeleton();
        bone->SetSkeletonType(KZeqSkeleton::eLIMB), bone->SetLimbNodeSize(2.0), hand->SetNodeAttribute(bone);
        arm->SetPreRotation(kSet, KZeqVector4(10, 20, 30, 0)), arm->SetPostRotation(kSet, KZeqVector4(0, 0, 45, 0));
        hand->SetPostRotation(kSet, KZeqVector4(5, 0, 0, 0));
        // Pivots in effect, as those the export replaces.
        for (KZeqNode* node : {arm, hand}) node->SetPivotState(kSet, KZeqNode::ePIVOT_STATE_ACTIVE);
        arm->SetDefaultT(KZeqVector4(1, 2, 3, 0));
        scene->CreateTake("Walk"), scene->SetCurrentTake("Walk");
        KZeqTakeInfo walk;
        walk.mName = "Walk", walk.mLocalTimeSpan = walk.mReferenceTimeSpan = KTimeSpan(KTime(0), KTime(46186158000LL));
        scene->SetTakeInfo(walk);
        arm->SetCurrentTakeNode("Walk");
        KFCurve* x = arm->GetCurrentTakeNode()->GetTranslationX();
        for (int i = 0; i < 2; ++i) {
            KFCurveKey key;
            key.Set(KTime(46186158000LL * i), 1.0f + 3 * i, KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0,
                    KFCURVE_WEIGHTED_NONE, 0.3333333f, 0.3333333f, 0, 0);
            x->KeyAdd(key.GetTime(), key);
        }
        arm->SetCurrentTakeNode(0);
        return scene;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

}  // namespace

TEST_P(PivotFileTest, ReplacedPivotsComeBackThroughTheFile) {
    const zeqiotest::ZeqFileCase& form = GetParam();
    KZeqScene *original = Build(), *replaced = Build();
    EXPECT_FALSE(ReplacePivotExport(replaced->GetRootNode(), kSet, mManager));
    ASSERT_EQ("Arm__Pre_(Arm(Arm__Post_(Hand(Hand__Post_))))", Tree(replaced->GetRootNode()->GetChild(0)));
    std::string error;
    const std::string path = mDir / "pivots.zeq";
    ASSERT_TRUE(zeqiotest::WriteZeqFile(mManager, *replaced, form, path, "", &error)) << error;
    KZeqScene* read = zeqiotest::ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    ReplacePivotImport(read->GetRootNode(), kSet, mManager);
    ASSERT_EQ(1, read->GetRootNode()->GetChildCount());
    KZeqNode* arm = read->GetRootNode()->GetChild(0);
    ASSERT_EQ("Arm(Hand)", Tree(arm));
    EXPECT_TRUE(arm->GetPreRotation(kSet) == KZeqVector4(10, 20, 30, 0) &&
                arm->GetPostRotation(kSet) == KZeqVector4(0, 0, 45, 0) &&
                arm->GetChild(0)->GetPostRotation(kSet) == KZeqVector4(5, 0, 0, 0));
    EXPECT_EQ("", zeqiotest::CompareScenes(*original, *read, form.mLosses).Report());
}
INSTANTIATE_TEST_SUITE_P(Forms, PivotFileTest, ::testing::ValuesIn(zeqiotest::kZeqFileCases),
                         zeqiotest::ZeqFileCaseName);
