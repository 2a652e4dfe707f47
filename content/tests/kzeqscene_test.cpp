#include "scene/kzeqscene.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqdeformer.h"
#include "content/kzeqgenericnode.h"
#include "content/kzeqglobalcamerasettings.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqnull.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace {

// A scene with nodes a (child b) under the root, a material and a texture in
// its entity, and a generic node.
class SceneFixture : public testing::Test {
protected:
    SceneFixture() : mScene(mManager.CreateKZeqScene()) {
        mA = mManager.CreateKZeqNode("a");
        mB = mManager.CreateKZeqNode("b");
        mScene->GetRootNode()->AddChild(mA);
        mA->AddChild(mB);
        mMaterial = mManager.CreateKZeqMaterial("m");
        mTexture = mManager.CreateKZeqTexture("t");
        mScene->GetEntity()->AddMaterial(mMaterial);
        mScene->GetEntity()->AddTexture(mTexture);
        mGeneric = mManager.CreateKZeqGenericNode("g");
        mScene->AddGenericNode(mGeneric);
    }
    std::vector<std::string> TakeNames() {
        KArrayTemplate<KString*> names;
        names.Add(new KString("held before"));
        mScene->FillTakeNameArray(names);
        std::vector<std::string> result;
        for (int i = 0; i < names.GetCount(); ++i) result.push_back(names[i]->Buffer());
        for (int i = 0; i < names.GetCount(); ++i) delete names[i];
        return result;
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene;
    KZeqNode *mA, *mB;
    KZeqMaterial* mMaterial;
    KZeqTexture* mTexture;
    KZeqGenericNode* mGeneric;
};

typedef std::vector<std::string> Names;

}  // namespace

TEST(KZeqScene, NewSceneAndItsDestruction) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* switcher = scene->GetCameraSwitcher();
    EXPECT_STREQ("Model::Camera Switcher", switcher->GetName());
    EXPECT_TRUE(!switcher->GetVisibility() && switcher->GetShadingMode() == KZeqNode::eWIRE_FRAME);
    EXPECT_TRUE(switcher->GetCameraSwitcher() && !switcher->GetParent() && !switcher->GetEntity());
    EXPECT_TRUE(scene->GetRootNode()->GetChildCount() == 0 && scene->GetEntity()->GetNodeCount() == 1);
    EXPECT_TRUE(scene->GetPoseCount() == 0 && scene->GetCharacterCount() == 0 && scene->GetMarkerSetCount() == 0);
    EXPECT_TRUE(std::string("") == scene->GetCurrentTakeName() && !scene->GetSceneInfo());
    EXPECT_EQ(2, manager.GetKZeqNodeCount());

    // Without the flag the root stays listed; with it, it goes with its subtree.
    KZeqNode* root = scene->GetRootNode();
    EXPECT_TRUE(manager.DestroyKZeqScene(scene, false) && !manager.DestroyKZeqScene(scene, false));
    EXPECT_TRUE(manager.GetKZeqNodeCount() == 1 && manager.GetKZeqNode(0) == root);
    scene = manager.CreateKZeqScene();
    KZeqNode* child = manager.CreateKZeqNode("child");
    child->SetNodeAttribute(manager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(child);
    scene->SetSceneInfo(manager.CreateKZeqSceneInfo());
    EXPECT_TRUE(manager.DestroyKZeqScene(scene, true));
    EXPECT_TRUE(manager.GetKZeqNodeCount() == 1 && !manager.FindKZeqNode("child"));
}

TEST_F(SceneFixture, TakesAcrossEveryAnimatedObject) {
    EXPECT_TRUE(mScene->CreateTake("Take 001"));
    EXPECT_FALSE(mScene->CreateTake("Take 001"));
    EXPECT_STREQ("At least one node, texture or material already has a take called Take 001",
                 mScene->GetLastErrorString());
    EXPECT_EQ(1, mGeneric->GetTakeNodeCount());  // generic nodes are not given takes
    mGeneric->CreateTakeNode("Generic");
    EXPECT_EQ((Names{"Default", "Take 001", "Generic"}), TakeNames());

    // One object lacks the take: false, and every other object still switches.
    EXPECT_FALSE(mScene->SetCurrentTake("Take 001"));
    EXPECT_STREQ("Not all nodes have a take node called Take 001", mScene->GetLastErrorString());
    EXPECT_STREQ("Take 001", mScene->GetCurrentTakeName());
    for (KZeqTakeNodeContainer* object : std::vector<KZeqTakeNodeContainer*>{
             mScene->GetCameraSwitcher(), mScene->GetRootNode(), mB, mTexture, mMaterial})
        EXPECT_EQ(1, object->GetCurrentTakeNodeIndex()) << object->GetName();
    EXPECT_EQ(0, mGeneric->GetCurrentTakeNodeIndex());
    mGeneric->CreateTakeNode("Take 001");
    mScene->GetError().ClearLastError();
    EXPECT_TRUE(mScene->SetCurrentTake("Take 001"));
    EXPECT_EQ(-1, mScene->GetLastErrorID());

    EXPECT_FALSE(mScene->RemoveTake("Generic"));
    EXPECT_STREQ("Not all nodes, textures and materials have a take called Generic", mScene->GetLastErrorString());
    EXPECT_TRUE(mScene->RemoveTake("Take 001"));
    EXPECT_STREQ("Take 001", mScene->GetCurrentTakeName());
    EXPECT_EQ((Names{"Default", "Generic", "Take 001"}), TakeNames());  // the generic node keeps its own
}

TEST_F(SceneFixture, TakeRecordsOnlyForTakesThatExist) {
    KZeqTakeInfo info;
    info.mName = "Take 001";
    info.mDescription = "first";
    EXPECT_FALSE(mScene->SetTakeInfo(info));
    EXPECT_EQ(nullptr, mScene->GetTakeInfo("Take 001"));
    mA->CreateTakeNode("Take 001");  // one object is enough
    EXPECT_TRUE(mScene->SetTakeInfo(info));
    info.mDescription = "second";
    EXPECT_TRUE(mScene->SetTakeInfo(info));
    EXPECT_TRUE(mScene->SetTakeInfo(*mScene->GetTakeInfo("Take 001")));  // its own record
    EXPECT_TRUE(mScene->GetTakeInfo("Take 001")->mDescription == "second" && !mScene->GetTakeInfo("take 001"));
}

// Many takes and records are found through indexes of their names: a take renamed, and a record
// renamed through what GetTakeInfo gave out, are found under their new names only.
TEST_F(SceneFixture, ManyTakesAndRecordsFoundUnderTheirNamesAfterRenames) {
    KZeqTakeInfo info;
    const int count = KNameIndex::kMinCount + 8;
    for (int i = 0; i < count; ++i) {
        info.mName = ("T" + std::to_string(i)).c_str();
        ASSERT_TRUE(mA->CreateTakeNode(info.mName.Buffer()) && mScene->SetTakeInfo(info));
    }
    mA->GetTakeNode(5)->SetName("Five");
    EXPECT_TRUE(!mA->SetCurrentTakeNode("T4") && mA->SetCurrentTakeNode("Five"));
    EXPECT_EQ(5, mA->GetCurrentTakeNodeIndex());
    KZeqTakeInfo* seven = mScene->GetTakeInfo("T7");
    EXPECT_EQ(seven, mScene->GetTakeInfo("T7"));  // searched again: the rename comes later
    seven->mName = "Seven";
    EXPECT_EQ(seven, mScene->GetTakeInfo("Seven"));
    EXPECT_EQ(nullptr, mScene->GetTakeInfo("T7"));
    info.mName = "T7";  // the take is still there: a record of its own again
    info.mDescription = "again";
    EXPECT_TRUE(mScene->SetTakeInfo(info));
    EXPECT_TRUE(mScene->GetTakeInfo("T7")->mDescription == "again" && mScene->GetTakeInfo("Seven"));
    EXPECT_TRUE(mScene->GetTakeInfo(("T" + std::to_string(count - 1)).c_str()) &&
                !mScene->GetTakeInfo(("T" + std::to_string(count)).c_str()));
}

TEST_F(SceneFixture, ClearReturnsToANewScenesContent) {
    KZeqNode* root = mScene->GetRootNode();
    mB->SetNodeAttribute(mManager.CreateKZeqNull());
    mScene->CreateTake("Take 001");
    mScene->SetCurrentTake("Take 001");
    mScene->GetCameraSwitcher()->GetCameraSwitcher()->SetDefaultCameraIndex(3);
    mScene->GetCameraSwitcher()->SetName("renamed");
    KZeqTakeInfo info;
    info.mName = "Take 001";
    mScene->SetTakeInfo(info);
    mScene->GetEntity()->AddGenericNode(mGeneric);  // a second reference, added directly
    KZeqSceneInfo* sceneInfo = mManager.CreateKZeqSceneInfo();
    mScene->SetSceneInfo(sceneInfo);
    KZeqScene& scene = *mScene;
    for (auto create : {&KZeqScene::CreateCharacter, &KZeqScene::CreateActor, &KZeqScene::CreateMarkerSet,
                        &KZeqScene::CreateControlSetPlug, &KZeqScene::CreateCharacterPose})
        (scene.*create)("x");
    KZeqPose* pose = mManager.CreateKZeqPose("bind", true);
    mScene->AddPose(pose);
    KZeqGlobalLightSettings* light = mScene->GetGlobalLightSettings();
    light->SetFogEnable(true);
    mScene->GetGlobalCameraSettings()->SetDefaultCamera("Producer Top");
    mScene->GetGlobalTimeSettings()->SetTimeMode(KTime::eModePal);

    mScene->Clear();
    EXPECT_TRUE(root == mScene->GetRootNode() && root->GetChildCount() == 0 && root->GetTakeNodeCount() == 1);
    EXPECT_TRUE(!mManager.FindKZeqNode("a") && !mManager.FindKZeqNode("b") && mManager.GetKZeqNodeCount() == 2);
    KZeqNode* switcher = mScene->GetCameraSwitcher();
    EXPECT_TRUE(switcher->GetTakeNodeCount() == 1 && switcher->GetCameraSwitcher()->GetDefaultCameraIndex() == 0 &&
                std::string("Model::Camera Switcher") == switcher->GetName());
    EXPECT_TRUE(!mScene->GetSceneInfo() && !mManager.DestroyKZeqSceneInfo(sceneInfo));
    for (auto count : {&KZeqScene::GetCharacterCount, &KZeqScene::GetActorCount, &KZeqScene::GetMarkerSetCount,
                       &KZeqScene::GetControlSetPlugCount, &KZeqScene::GetCharacterPoseCount})
        EXPECT_EQ(0, (scene.*count)());
    EXPECT_TRUE(mScene->GetPoseCount() == 0 && mManager.GetKZeqPose(0) == pose);
    EXPECT_TRUE(mScene->GetGenericNodeCount() == 0 && !mManager.FindKZeqGenericNode("g"));
    EXPECT_TRUE(light == mScene->GetGlobalLightSettings() && !light->GetFogEnable());
    EXPECT_STREQ("Producer Perspective", mScene->GetGlobalCameraSettings()->GetDefaultCamera());
    EXPECT_EQ(KTime::eMode30, mScene->GetGlobalTimeSettings()->GetTimeMode());
    EXPECT_TRUE(!mScene->GetTakeInfo("Take 001") && std::string("") == mScene->GetCurrentTakeName());
    KArrayTemplate<KZeqMaterial*> materials;
    KArrayTemplate<KZeqTexture*> textures;
    mScene->FillMaterialArray(materials);
    mScene->FillTextureArray(textures);
    EXPECT_TRUE(materials.GetCount() == 1 && materials[0] == mMaterial && textures[0] == mTexture);
}

// A chain deeper than a small stack allows frames for: searching it and
// clearing it must not recurse once per level.
// Poses leave the list by index without ending; names are checked against
// the lists the object's kind competes with (a pose's: none).
TEST_F(SceneFixture, PosesByIndexAndNamesByKind) {
    KZeqPose *first = mManager.CreateKZeqPose("first", true), *second = mManager.CreateKZeqPose("second", false);
    mScene->AddPose(first), mScene->AddPose(second);
    EXPECT_FALSE(mScene->RemovePose(2) || mScene->RemovePose(-1));
    EXPECT_TRUE(mScene->RemovePose(0) && mScene->GetPoseCount() == 1 && mScene->GetPose(0) == second);
    EXPECT_EQ(first, mManager.FindKZeqPose("Pose::first"));
    const struct {
        KZeqObject* mObject;
        const char* mName;
        bool mFree;
    } names[] = {{mA, "Model::b", false},         {mA, "Model::z", true},         {mMaterial, "Material::m", false},
                 {mMaterial, "Material::n", true}, {mTexture, "Texture::t", false}, {mGeneric, "Model::a", false},
                 {mGeneric, "Material::m", false}, {mGeneric, "g", false},          {mGeneric, "free", true},
                 {first, "Pose::first", true}};
    for (const auto& row : names)
        EXPECT_EQ(row.mFree, mScene->ValidateNewName(*row.mObject, row.mName)) << row.mObject->GetName() << " " << row.mName;
}

TEST(KZeqScene, DeepChainsAreSearchedAndClearedOnASmallStack) {
    struct Run {
        static void* Body(void* result) {
            KZeqSdkManager manager;
            KZeqScene* scene = manager.CreateKZeqScene();
            KZeqNode* parent = scene->GetRootNode();
            for (int i = 0; i < 4000; ++i) {
                KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
                parent->AddChild(node);
                parent = node;
            }
            bool ok = scene->GetGlobalCameraSettings()->SetDefaultCamera("n3999");
            ok = !scene->GetGlobalCameraSettings()->SetDefaultCamera("missing") && ok;
            scene->Clear();
            *static_cast<bool*>(result) = ok && manager.GetKZeqNodeCount() == 2;
            return nullptr;
        }
    };
    pthread_attr_t attributes;
    pthread_t thread;
    bool result = false;
    ASSERT_TRUE(pthread_attr_init(&attributes) == 0 && pthread_attr_setstacksize(&attributes, 256 * 1024) == 0);
    ASSERT_EQ(0, pthread_create(&thread, &attributes, &Run::Body, &result));
    EXPECT_TRUE(pthread_join(thread, nullptr) == 0 && pthread_attr_destroy(&attributes) == 0 && result);
}

TEST_F(SceneFixture, DeformersAndGenericNodesLeaveWhenTheyEnd) {
    KZeqDeformer* skin = mManager.CreateKZeqDeformer("s", "Skin");
    EXPECT_TRUE(mScene->AddDeformer(skin) && !mScene->AddDeformer(nullptr) && !mScene->AddGenericNode(nullptr));
    EXPECT_TRUE(mScene->GetDeformerCount(KZeqDeformer::eSKIN) == 1 && mScene->GetDeformer("Deformer::s") == skin);
    mManager.DestroyKZeqDeformer(skin);
    EXPECT_TRUE(mScene->GetDeformerCount() == 0 && !mScene->GetDeformer(0));
    KZeqDeformer* cluster = mManager.CreateKZeqDeformer("c", "Cluster");
    mScene->AddDeformer(cluster);
    EXPECT_TRUE(mScene->RemoveDeformer(cluster) && !mScene->RemoveDeformer(cluster) && !cluster->GetEntity());
    EXPECT_TRUE(mScene->RemoveGenericNode(mGeneric) && mScene->GetGenericNodeCount() == 0);
}

// ---- Global camera settings ----------------------------------------------------------------

typedef KZeqGlobalCameraSettings Settings;

TEST(KZeqGlobalCameraSettings, ProducerCamerasTakeTheirRowOnEveryRestore) {
    const struct {
        const char* mName;
        KZeqCamera* (Settings::*mGet)() const;
        double mNear, mFar, mPosition[3], mUp[3];  // orthographic but the first
    } rows[] = {{"Producer Perspective", &Settings::GetCameraProducerPerspective, 10, 4000, {0, 71.3, 287.5},
                 {0, 1, 0}},
                {"Producer Top", &Settings::GetCameraProducerTop, 1, 30000, {0, 4000, 0}, {0, 0, -1}},
                {"Producer Bottom", &Settings::GetCameraProducerBottom, 1, 30000, {0, -4000, 0}, {0, 0, -1}},
                {"Producer Front", &Settings::GetCameraProducerFront, 1, 30000, {0, 0, 4000}, {0, 1, 0}},
                {"Producer Back", &Settings::GetCameraProducerBack, 1, 30000, {0, 0, -4000}, {0, 1, 0}},
                {"Producer Right", &Settings::GetCameraProducerRight, 1, 30000, {4000, 0, 0}, {0, 1, 0}},
                {"Producer Left", &Settings::GetCameraProducerLeft, 1, 30000, {-4000, 0, 0}, {0, 1, 0}}};
    KZeqSdkManager manager;
    Settings& settings = *manager.CreateKZeqScene()->GetGlobalCameraSettings();
    for (const auto& row : rows) {
        (settings.*row.mGet)()->SetNearPlane(50000.0);  // the far plane follows
        (settings.*row.mGet)()->SetPosition(KZeqVector4(1, 2, 3, 1));
    }
    settings.RestoreDefaultSettings();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mName);
        KZeqCamera* camera = (settings.*row.mGet)();
        EXPECT_TRUE(!camera->GetNode() && camera->GetProjectionType() == (row.mNear == 1 ? 1 : 0));
        EXPECT_TRUE(camera->GetNearPlane() == row.mNear && camera->GetFarPlane() == row.mFar);
        EXPECT_NEAR(40.0, camera->GetAngleOfView(), 1e-6);
        EXPECT_TRUE(camera->GetPosition() == KZeqVector4(row.mPosition[0], row.mPosition[1], row.mPosition[2], 1));
        EXPECT_TRUE(camera->GetUpVector() == KZeqVector4(row.mUp[0], row.mUp[1], row.mUp[2], 1));
        EXPECT_TRUE(settings.SetDefaultCamera(row.mName));
    }
}

TEST(KZeqGlobalCameraSettings, DefaultCameraByNameAndCopies) {
    KZeqSdkManager manager;
    KZeqScene *scene = manager.CreateKZeqScene(), *other = manager.CreateKZeqScene();
    KZeqNode *rig = manager.CreateKZeqNode("rig"), *cam = manager.CreateKZeqNode("Cam");
    scene->GetRootNode()->AddChild(rig);
    rig->AddChild(cam);
    Settings& settings = *scene->GetGlobalCameraSettings();
    const struct {
        const char* mName;
        int mError;  // -1: taken
    } rows[] = {{"Producer Top", -1}, {"producer top", 1}, {"Camera Switcher", -1}, {"Cam", -1},
                {"Model::Cam", -1},   {"Ghost", 1},        {nullptr, 0}};
    for (const auto& row : rows) {
        settings.GetError().ClearLastError();
        settings.SetDefaultCamera("Producer Left");
        EXPECT_EQ(row.mError < 0, settings.SetDefaultCamera(row.mName)) << (row.mName ? row.mName : "null");
        EXPECT_EQ(row.mError, settings.GetLastErrorID());
        EXPECT_STREQ(row.mError < 0 ? row.mName : "Producer Left", settings.GetDefaultCamera());
        EXPECT_STREQ(row.mError ? row.mError > 0 ? "Unknown camera name." : "" : "Null parameter.",
                     settings.GetLastErrorString());
    }

    settings.SetDefaultCamera("Cam");
    settings.SetDefaultViewingMode(static_cast<Settings::EViewingMode>(2));
    settings.GetCameraProducerTop()->SetFarPlane(123.0);
    settings.GetCameraProducerTop()->SetPosition(KZeqVector4(5, 6, 7, 1));
    Settings& copy = *other->GetGlobalCameraSettings();
    copy = settings;
    EXPECT_TRUE(std::string("Cam") == copy.GetDefaultCamera() && copy.GetDefaultViewingMode() == 2);
    EXPECT_NE(settings.GetCameraProducerTop(), copy.GetCameraProducerTop());
    EXPECT_EQ(123.0, copy.GetCameraProducerTop()->GetFarPlane());
    EXPECT_TRUE(copy.GetCameraProducerTop()->GetPosition() == KZeqVector4(5, 6, 7, 1));
    settings.RestoreDefaultSettings();
    EXPECT_STREQ("Producer Perspective", settings.GetDefaultCamera());
}
