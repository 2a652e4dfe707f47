#include "character/kzeqcharacterpose.h"

#include <gtest/gtest.h>

#include <string>

#include "character/kzeqactor.h"
#include "character/kzeqcontrolsetplug.h"
#include "character/kzeqmarkerset.h"
#include "character/tests/character_test_support.h"
#include "scene/kzeqscene.h"

using namespace chartest;

namespace {

KZeqNode* Child(KZeqNode* node, int index) { return node ? node->GetChild(index) : nullptr; }

// A scene whose character pose holds P (with child Q) and R under its root,
// with a character linked to them and to a node outside the pose.
class CharacterPoseTest : public testing::Test {
protected:
    CharacterPoseTest() : mScene(mManager.CreateKZeqScene()) {
        mSource = mScene->GetCharacterPose(mScene->CreateCharacterPose("source"));
        mTarget = mScene->GetCharacterPose(mScene->CreateCharacterPose("target"));
        KZeqNode* root = mSource->GetRootNode();
        KZeqNode *p = Node("P"), *q = Node("Q"), *r = Node("R");
        EXPECT_TRUE(root->AddChild(p) && p->AddChild(q) && root->AddChild(r));
        mOutside = Node("Outside");
        KZeqCharacter& ch = *mSource->GetCharacter();
        KZeqCharacterLink hips = LinkTo(p);
        hips.mOffsetT.Set(1, 2, 3, 1);
        hips.mTemplateName = "kept out";
        ch.SetCharacterLink(eCharacterHips, hips);
        ch.SetCharacterLink(Id(1), LinkTo(mOutside));
        ch.SetCharacterLink(Id(2), LinkTo(nullptr, "name only"));
        KZeqControlSet& set = *ch.GetControlSet();
        set.SetControlSetLink(Id(3), KZeqControlSetLink{mOutside, "n"});
        set.SetControlSetLink(Id(4), KZeqControlSetLink{q, ""});
        set.SetEffector(eHipsEffector, KZeqEffector{r, false, true, false, false, true});
        set.SetEffector(eLeftAnkleEffector, KZeqEffector{mOutside, true, false, false, false, false});
        set.SetEffectorAux(eHipsEffector, q, AuxSet(1));
        set.SetEffectorAux(eHipsEffector, q, AuxSet(2));
        set.SetLockTransform(true);
        set.SetUseAxis(true);
        ch.GetFilterSet()->SetParameterValue(5, 0.25);
        mActor = mScene->GetActor(mScene->CreateActor("actor"));
        ch.SetInput(eCharacterInputActor, mActor);
    }
    KZeqNode* Node(const char* name) { return mManager.CreateKZeqNode(name); }

    KZeqSdkManager mManager;
    KZeqScene* mScene;
    KZeqCharacterPose *mSource, *mTarget;
    KZeqNode* mOutside;
    KZeqActor* mActor;
};

}  // namespace

TEST_F(CharacterPoseTest, NewAndResetPoses) {
    KZeqCharacter* ch = mTarget->GetCharacter();
    EXPECT_TRUE(ch && mTarget->GetPoseScene()->GetCharacterCount() == 1 && mTarget->GetNameSpace() == 9);
    EXPECT_TRUE(std::string("Constraint::PoseCharacter") == ch->GetName() &&
                std::string("Pose::target") == mTarget->GetName() && mTarget->GetRootNode()->GetChildCount() == 0);
    for (int id = 0; id < kCharacterNodeIdCount; ++id) EXPECT_FALSE(ch->GetCharacterLink(Id(id), nullptr));
    mSource->GetPoseScene()->CreateCharacter("extra");
    mSource->Reset();
    EXPECT_TRUE(mSource->GetRootNode()->GetChildCount() == 0 && mSource->GetPoseScene()->GetCharacterCount() == 1);
    EXPECT_FALSE(mSource->GetCharacter()->GetCharacterLink(eCharacterHips, nullptr));
    EXPECT_FALSE(mSource->GetCharacter()->GetControlSet()->GetEffectorAux(eHipsEffector, nullptr, AuxSet(1)));
}

TEST_F(CharacterPoseTest, CopyRebuildsTheTreeAndRelinksByName) {
    KZeqNode* keep = Node("Keep");  // the target's own, linked at 1: no match leaves it
    mTarget->GetRootNode()->AddChild(keep);
    mTarget->GetCharacter()->SetCharacterLink(Id(1), LinkTo(keep));
    mTarget->GetCharacter()->GetControlSet()->SetUseAxis(false);
    *mTarget = *mSource;

    KZeqNode* root = mTarget->GetRootNode();
    KZeqNode *p = Child(root, 1), *r = Child(root, 2), *q = Child(p, 0);
    ASSERT_TRUE(p && q && r && root->GetChildCount() == 3);
    EXPECT_TRUE(std::string("Model::P") == p->GetName() && std::string("Model::R") == r->GetName());
    EXPECT_TRUE(std::string("Model::Q") == q->GetName() && p != Child(mSource->GetRootNode(), 0));

    KZeqCharacter& ch = *mTarget->GetCharacter();
    KZeqCharacterLink link;
    ASSERT_TRUE(ch.GetCharacterLink(eCharacterHips, &link));
    EXPECT_TRUE(link.mNode == p && link.mOffsetT == KZeqVector4(1, 2, 3, 1) && link.mTemplateName.IsEmpty());
    EXPECT_TRUE(ch.GetCharacterLink(Id(1), &link) && link.mNode == keep);
    EXPECT_FALSE(ch.GetCharacterLink(Id(2), nullptr));
    EXPECT_TRUE(ch.GetInputObject() == mActor && ch.GetFilterSet()->GetParameterValue(5) == 0.25);

    const KZeqControlSet& set = *ch.GetControlSet();
    KZeqControlSetLink controlLink;
    EXPECT_TRUE(set.GetControlSetLink(Id(3), &controlLink) && !controlLink.mNode && controlLink.mTemplateName == "n");
    EXPECT_TRUE(set.GetControlSetLink(Id(4), &controlLink) && controlLink.mNode == q);
    KZeqEffector effector;
    EXPECT_TRUE(set.GetEffector(eHipsEffector, &effector) && effector.mNode == r && !effector.mShow &&
                effector.mCandidateRActive);
    EXPECT_FALSE(set.GetEffector(eLeftAnkleEffector, nullptr));
    KZeqNode* aux = nullptr;
    EXPECT_TRUE(set.GetEffectorAux(eHipsEffector, &aux, AuxSet(1)) && aux == q);
    EXPECT_FALSE(set.GetEffectorAux(eHipsEffector, &aux, AuxSet(2)));
    EXPECT_TRUE(set.GetLockTransform() && !set.GetUseAxis());

    // Nothing is cleared: a second copy adds the nodes again, and the names
    // met first (the first copies) win.
    *mTarget = *mSource;
    EXPECT_EQ(5, root->GetChildCount());
    EXPECT_TRUE(ch.GetCharacterLink(eCharacterHips, &link) && link.mNode == p);
    *mTarget = *mTarget;
    EXPECT_EQ(5, root->GetChildCount());
}

TEST_F(CharacterPoseTest, CopiesIntoTheirOwnSubtreeAndFromEmptyPosesEnd) {
    KZeqNode* p = Child(mSource->GetRootNode(), 0);
    KZeqNode* q = Child(p, 0);
    mSource->CopyNode(p, q);  // the subtree below P as it was: Q once
    EXPECT_TRUE(q->GetChildCount() == 1 && Child(q, 0)->GetChildCount() == 0);
    mSource->CopyNode(mSource->GetRootNode(), mSource->GetRootNode());
    EXPECT_EQ(4, mSource->GetRootNode()->GetChildCount());
    mSource->CopyCharacter(nullptr, mTarget->GetCharacter(), mTarget->GetRootNode());
    mTarget->GetPoseScene()->Clear();  // no character left
    *mTarget = *mSource;
    EXPECT_TRUE(mTarget->GetCharacter() == nullptr && mTarget->GetRootNode()->GetChildCount() == 4);
    *mSource = *mTarget;
    EXPECT_TRUE(mSource->GetCharacter()->GetCharacterLink(eCharacterHips, nullptr));
}

// The scene's families; inputs naming an object that ends are forgotten,
// in every scene of the manager (a pose's scene included).
TEST_F(CharacterPoseTest, FamiliesAndTheInputsThatNameThem) {
    EXPECT_EQ(0, mScene->CreateCharacter("Hips"));
    EXPECT_STREQ("Constraint::Hips", mScene->GetCharacter(0)->GetName());
    EXPECT_STREQ("Constraint::Bob", mScene->GetActor(mScene->CreateActor("Model::Bob"))->GetName());
    EXPECT_STREQ("MarkerSet::Name", mScene->GetMarkerSet(mScene->CreateMarkerSet(""))->GetName());
    EXPECT_STREQ("ControlSetPlug::p", mScene->GetControlSetPlug(mScene->CreateControlSetPlug("p"))->GetName());
    EXPECT_TRUE(!mScene->GetMarkerSet(-1) && !mScene->GetMarkerSet(1) && !mScene->GetCharacterPose(2));
    mScene->DestroyMarkerSet(1);
    mScene->DestroyCharacterPose(-1);
    EXPECT_TRUE(mScene->GetMarkerSetCount() == 1 && mScene->GetCharacterPoseCount() == 2);

    KZeqCharacter* first = mScene->GetCharacter(0);
    KZeqCharacter* second = mScene->GetCharacter(mScene->CreateCharacter("second"));
    first->SetInput(eCharacterInputActor, mActor);
    second->SetInput(eCharacterInputCharacter, first);
    mActor->SetInputMarkerSet(mScene->GetMarkerSet(0));
    *mTarget = *mSource;  // the target's character shares the source's input, the actor
    KZeqScene* elsewhere = mManager.CreateKZeqScene();
    KZeqCharacter* far = elsewhere->GetCharacter(elsewhere->CreateCharacter("far"));
    far->SetInput(eCharacterInputCharacter, second);

    mScene->DestroyMarkerSet(0);
    EXPECT_EQ(nullptr, mActor->GetInputMarkerSet());
    mScene->DestroyActor(0);  // the actor of the fixture
    for (KZeqCharacter* ch : {first, mSource->GetCharacter(), mTarget->GetCharacter()})
        EXPECT_TRUE(!ch->GetInputObject() && ch->GetInputType() == eCharacterInputNone) << ch->GetName();
    mScene->DestroyCharacter(0);
    EXPECT_TRUE(!second->GetInputObject() && far->GetInputObject() == second);
    mScene->Clear();
    EXPECT_TRUE(!far->GetInputObject() && mScene->GetCharacterPoseCount() == 0);
    EXPECT_EQ(5, mManager.GetKZeqNodeCount());  // roots and switchers of two scenes, Outside: the poses took theirs
}
