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

namespace {
// Records are renamed only through what GetTakeInfo gives out, which is compared on every search.
const KNameEpoch kTakeInfoEpoch;
}  // namespace

bool KZeqScene::SetTakeInfo(const KZeqTakeInfo& info) {
    if (!FindTakeName(info.mName)) return false;
    const int held = FindTakeInfo(info.mName);
    if (held >= 0) {
        KZeqTakeInfo& record = *mTakeInfos[static_cast<std::size_t>(held)];
        if (&record != &info) record = info;
        return true;
    }
    const int count = static_cast<int>(mTakeInfos.size());
    mTakeInfos.push_back(std::make_unique<KZeqTakeInfo>(info));
    mTakeInfoGivenOut.push_back(0);
    if (mTakeInfoIndex && mTakeInfoIndex->GetCount() == count)
        mTakeInfoIndex->Append(info.mName.Uncounted().Buffer(), false);
    return true;
}

KZeqTakeInfo* KZeqScene::GetTakeInfo(const KString& name) const {
    const int found = FindTakeInfo(name);
    if (found < 0) return nullptr;
    char& givenOut = mTakeInfoGivenOut[static_cast<std::size_t>(found)];
    if (!givenOut && mTakeInfoIndex) mTakeInfoIndex->Drop();
    givenOut = 1;
    return mTakeInfos[static_cast<std::size_t>(found)].get();
}

const KZeqTakeInfo* KZeqScene::GetTakeInfoConst(const KString& name) const {
    const int found = FindTakeInfo(name);
    return found < 0 ? nullptr : mTakeInfos[static_cast<std::size_t>(found)].get();
}

int KZeqScene::FindTakeInfo(const KString& name) const {
    const auto index = [this]() -> const KNameIndex& {
        return KNameIndex::Current(mTakeInfoIndex, KNameIndex::eExact, kTakeInfoEpoch,
                                   static_cast<int>(mTakeInfos.size()), [this](int i) {
                                       const auto at = static_cast<std::size_t>(i);
                                       return std::make_pair(mTakeInfos[at]->mName.Uncounted().Buffer(),
                                                             mTakeInfoGivenOut[at] != 0);
                                   });
    };
    return KFindNamed(static_cast<int>(mTakeInfos.size()), name.Buffer(), index,
                      [&](int i) { return mTakeInfos[static_cast<std::size_t>(i)]->mName.Uncounted() == name; });
}

void KZeqScene::DeleteTakeInfos() {
    while (!mTakeInfos.empty()) mTakeInfos.pop_back();
    mTakeInfoGivenOut.clear();
    if (mTakeInfoIndex) mTakeInfoIndex->Drop();
}

void KZeqScene::DestroySceneInfo() {
    if (!mSceneInfo) return;
    mManager.DestroyKZeqSceneInfo(mSceneInfo);
    mSceneInfo = nullptr;
}

}  // namespace zeqsdk_400
