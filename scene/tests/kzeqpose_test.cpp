#include "scene/kzeqpose.h"

#include <gtest/gtest.h>

#include <string>

#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/scene_test_support.h"

using namespace zeqsdk_400;

namespace {

KZeqMatrix At(double x) { return KZeqMatrix(KZeqVector4(x, 0, 0, 1), KZeqVector4(), KZeqVector4(1, 1, 1, 1)); }

}  // namespace

TEST(KZeqPose, BindPosesAgreeAcrossTheManagersScenes) {
    KZeqSdkManager manager;
    KZeqScene *first = manager.CreateKZeqScene(), *second = manager.CreateKZeqScene();
    KZeqPose* bind = manager.CreateKZeqPose("Bind", true);
    KZeqPose* other = manager.CreateKZeqPose("Other", true);
    KZeqPose* rest = manager.CreateKZeqPose("Rest", false);
    first->AddPose(bind);
    second->AddPose(other);
    second->AddPose(rest);
    EXPECT_TRUE(!first->AddPose(bind) && !first->AddPose(nullptr) && first->GetPoseCount() == 1);

    EXPECT_EQ(0, bind->Add("Bone", At(1), false));
    EXPECT_EQ(0, bind->Add("Bone", At(1), true));  // equal: the entry is kept, its flag too
    EXPECT_FALSE(bind->IsLocalMatrix(0));
    EXPECT_EQ(-1, bind->Add("Bone", At(2), false));
    EXPECT_EQ(-1, other->Add("Bone", At(2), false));  // its own list lacks Bone, the first pose has it
    EXPECT_EQ(0, other->Add("Bone", At(1), false));
    EXPECT_EQ(0, rest->Add("Bone", At(2), true));  // rest poses answer to themselves only
    EXPECT_EQ(1, bind->Add("Arm", At(3), false));  // no bind pose looks at rest poses
    EXPECT_EQ(1, rest->Add("Arm", At(4), false));
    EXPECT_EQ(-1, bind->Add(nullptr, At(3), false));
    EXPECT_EQ(2, bind->GetCount());

    KArrayTemplate<KZeqPose*> poses;
    KArrayTemplate<int> indices;
    poses.Add(nullptr);
    indices.Add(-7);
    EXPECT_TRUE(KZeqPose::GetBindPoseContaining(manager, "Bone", poses, indices));
    EXPECT_TRUE(poses.GetCount() == 3 && poses[1] == bind && poses[2] == other && indices[0] == -7);
    EXPECT_TRUE(KZeqPose::GetRestPoseContaining(manager, "Arm", poses, indices) && poses[3] == rest);
    EXPECT_TRUE(indices[3] == 1 && KZeqPose::GetPosesContaining(manager, "Arm", poses, indices));
    EXPECT_EQ(6, poses.GetCount());
    EXPECT_FALSE(KZeqPose::GetBindPoseContaining(manager, "Nose", poses, indices));
    EXPECT_EQ(6, indices.GetCount());

    // A pose that ends leaves the scenes listing it: the others validate on.
    EXPECT_TRUE(manager.DestroyKZeqPose(other));
    EXPECT_EQ(1, second->GetPoseCount());
    EXPECT_EQ(2, bind->Add("Hand", At(5), false));
    EXPECT_FALSE(second->RemovePose(other));
}

TEST(KZeqPose, EntriesNamesAndFallbacks) {
    KZeqSdkManager manager;
    KZeqPose* pose = manager.CreateKZeqPose("Model::Skin", false);
    EXPECT_STREQ("Pose::Skin", pose->GetName());
    EXPECT_TRUE(pose->GetTypeName() == "RestPose" && pose->GetType() == 'r' && pose->GetNameSpace() == 11);
    EXPECT_TRUE(manager.CreateKZeqPose("b", true)->GetTypeName() == "BindPose");
    EXPECT_EQ(0, pose->GetTakeNodeCount());
    EXPECT_EQ(pose, manager.FindKZeqPose("Pose::Skin"));
    EXPECT_EQ(nullptr, manager.FindKZeqPose("Skin"));
    EXPECT_STREQ("Object not found", manager.GetLastErrorString());

    pose->Add("Bone", At(1), true);
    pose->Add("Leg", At(2), false);
    EXPECT_TRUE(pose->Find("Leg") == 1 && pose->Find("leg") == -1 && pose->IsLocalMatrix(0));
    // The spare matrix of a bad index is the identity each time, whatever a caller wrote.
    pose->GetMatrix(-1).mData[3][0] = 9.0;
    EXPECT_TRUE(pose->GetMatrix(2) == KZeqMatrix() && pose->GetMatrix(1) == At(2));
    EXPECT_STREQ("", pose->GetNodeName(5));
    EXPECT_FALSE(pose->IsLocalMatrix(-1));
    for (const char* name : {"", static_cast<const char*>(nullptr)}) pose->ReplaceNodeName(0, name);
    pose->ReplaceNodeName(7, "Arm");
    EXPECT_STREQ("Bone", pose->GetNodeName(0));
    pose->ReplaceNodeName(0, "Arm");
    pose->Remove(2);
    pose->Remove(0);
    EXPECT_TRUE(pose->GetCount() == 1 && pose->Find("Arm") == -1 && std::string("Leg") == pose->GetNodeName(0));
}

// A pose starts without takes; its user properties follow the rules of every take-node container.
TEST(KZeqPose, UserPropertiesAsEveryContainerKeepsThem) {
    KZeqSdkManager manager;
    KZeqPose* pose = manager.CreateKZeqPose("p", true);
    EXPECT_EQ(0, pose->GetTakeNodeCount());
    scenetest::ExpectUserPropertyHooks(manager, *pose);
}
