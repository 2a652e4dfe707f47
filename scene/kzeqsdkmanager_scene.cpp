// The manager's operations on scenes and poses: scenes end by plain deletion,
// poses by deletion without Destruct.
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqScene* KZeqSdkManager::CreateKZeqScene() { return static_cast<KZeqScene*>(Listed(eScenes, AllocateKZeqScene())); }

KZeqScene* KZeqSdkManager::AllocateKZeqScene() { return new KZeqScene(*this); }

KZeqScene* KZeqSdkManager::SceneAt(int index) const { return static_cast<KZeqScene*>(mLists[eScenes].GetAt(index)); }

bool KZeqSdkManager::DestroyKZeqScene(KZeqScene* scene, bool recursive) {
    if (!mLists[eScenes].Contains(scene)) {
        NotFound();
        return false;
    }
    KZeqNode* root = recursive ? scene->GetRootNode() : nullptr;
    mLists[eScenes].Remove(scene);
    kSceneOps.mEnd(scene);
    return root ? DestroyKZeqNode(root, true) : true;
}

const KZeqSdkManager::KindOps KZeqSdkManager::kSceneOps = {[](void* object) { delete static_cast<KZeqScene*>(object); },
                                                           nullptr};

KZeqPose* KZeqSdkManager::CreateKZeqPose(const char* name, bool bindPose) {
    return static_cast<KZeqPose*>(Listed(ePoses, AllocateKZeqPose(PrefixName("Pose::", name), bindPose)));
}

KZeqPose* KZeqSdkManager::AllocateKZeqPose(const char* name, bool bindPose) {
    return new KZeqPose(*this, KString(name), bindPose);
}

bool KZeqSdkManager::DestroyKZeqPose(KZeqPose* pose) { return DestroyListed(ePoses, pose); }

KZeqPose* KZeqSdkManager::FindKZeqPose(const char* name) {
    if (!name) {
        NotFound();
        return nullptr;
    }
    return static_cast<KZeqPose*>(FindNamed(ePoses, name, 0));
}

KZeqPose* KZeqSdkManager::GetKZeqPose(int index) const { return static_cast<KZeqPose*>(mLists[ePoses].GetAt(index)); }

const KZeqSdkManager::KindOps KZeqSdkManager::kPoseOps = {
    [](void* object) { delete static_cast<KZeqPose*>(object); },
    [](const void* object) { return static_cast<const KZeqPose*>(object)->GetName(); }};

}  // namespace zeqsdk_400
