// The scene's own records: poses, take records, scene information and what
// it forwards to its entity. Construction, clearing and the take operations
// stand with the content kinds (content/kzeqscene_content.cpp), the
// character families with the characters (character/kzeqscene_character.cpp).
#include "scene/kzeqscene.h"

#include <algorithm>

#include "scene/kzeqentity.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

KZeqNode* KZeqScene::GetRootNode() const { return mEntity->GetRootNode(); }

bool KZeqScene::ValidateNewName(KZeqObject& object, const char* name) { return mEntity->ValidateNewName(object, name); }

void KZeqScene::FillTextureArray(KArrayTemplate<KZeqTexture*>& textures) {
    textures.Clear();
    for (int i = 0; i < mEntity->GetTextureCount(); ++i) textures.Add(mEntity->GetTexture(i));
}

void KZeqScene::FillMaterialArray(KArrayTemplate<KZeqMaterial*>& materials) {
    materials.Clear();
    for (int i = 0; i < mEntity->GetMaterialCount(); ++i) materials.Add(mEntity->GetMaterial(i));
}

int KZeqScene::GetGenericNodeCount() const { return mEntity->GetGenericNodeCount(); }

KZeqGenericNode* KZeqScene::GetGenericNode(int index) { return mEntity->GetGenericNode(index); }

int KZeqScene::GetDeformerCount(int type) const { return mEntity->GetDeformerCount(type); }

KZeqDeformer* KZeqScene::GetDeformer(const char* name) const { return mEntity->GetDeformer(name); }

KZeqDeformer* KZeqScene::GetDeformer(int index, int type) const { return mEntity->GetDeformer(index, type); }

// ---- Poses ---------------------------------------------------------------------------------

KZeqPose* KZeqScene::GetPose(int index) const {
    return index >= 0 && index < GetPoseCount() ? mPoses[static_cast<std::size_t>(index)] : nullptr;
}

bool KZeqScene::AddPose(KZeqPose* pose) {
    // A null entry would be handed to every pose validating against this scene.
    if (!pose || std::find(mPoses.begin(), mPoses.end(), pose) != mPoses.end()) return false;
    mPoses.push_back(pose);
    return true;
}

bool KZeqScene::RemovePose(KZeqPose* pose) {
    auto at = std::find(mPoses.begin(), mPoses.end(), pose);
    if (at == mPoses.end()) return false;
    mPoses.erase(at);
    return true;
}

bool KZeqScene::RemovePose(int index) {
    if (index < 0 || index >= GetPoseCount()) return false;
    mPoses.erase(mPoses.begin() + index);
    return true;
}

// ---- Records -------------------------------------------------------------------------------

bool KZeqScene::SetTakeInfo(const KZeqTakeInfo& info) {
    if (!FindTakeName(info.mName)) return false;
    if (KZeqTakeInfo* held = GetTakeInfo(info.mName)) {
        if (held != &info) *held = info;
        return true;
    }
    mTakeInfos.push_back(std::make_unique<KZeqTakeInfo>(info));
    return true;
}

KZeqTakeInfo* KZeqScene::GetTakeInfo(const KString& name) const {
    for (const auto& info : mTakeInfos)
        if (info->mName == name) return info.get();
    return nullptr;
}

void KZeqScene::DeleteTakeInfos() {
    while (!mTakeInfos.empty()) mTakeInfos.pop_back();
}

void KZeqScene::DestroySceneInfo() {
    if (!mSceneInfo) return;
    mManager.DestroyKZeqSceneInfo(mSceneInfo);
    mSceneInfo = nullptr;
}

}  // namespace zeqsdk_400
