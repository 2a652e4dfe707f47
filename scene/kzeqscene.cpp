// The scene's own records: poses, take records, scene information and what
// it forwards to its entity. Construction, clearing and the take operations
// stand with the content kinds (content/kzeqscene_content.cpp), the
// character families with the characters (character/kzeqscene_character.cpp).
#include "scene/kzeqscene.h"

#include <algorithm>

#include "base/kstepcount.h"
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
    if (mTakeInfoIndex && mTakeInfoIndex->GetCount() == count) mTakeInfoIndex->Append(info.mName.Buffer(), false);
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

int KZeqScene::FindTakeInfo(const KString& name) const {
    const int count = static_cast<int>(mTakeInfos.size());
    const auto named = [&](int i) { return mTakeInfos[static_cast<std::size_t>(i)]->mName == name; };
    std::uint64_t steps = 0;
    if (count >= KNameIndex::kMinCount) {
        if (!mTakeInfoIndex) mTakeInfoIndex = std::make_unique<KNameIndex>(KNameIndex::eExact);
        if (!mTakeInfoIndex->IsCurrent(count, kTakeInfoEpoch)) {
            mTakeInfoIndex->Reset(kTakeInfoEpoch, count);
            for (int i = 0; i < count; ++i)
                mTakeInfoIndex->Append(mTakeInfos[static_cast<std::size_t>(i)]->mName.Buffer(),
                                       mTakeInfoGivenOut[static_cast<std::size_t>(i)] != 0);
            steps += static_cast<std::uint64_t>(count);
        }
        const int found = mTakeInfoIndex->Find(name.Buffer(), named, &steps);
        if (found != KNameIndex::kSearchInPlace) {
            KCountSteps(KStepKind::eSearch, steps);
            return found;
        }
    }
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i, ++steps)
        if (named(i)) found = i;
    KCountSteps(KStepKind::eSearch, steps);
    return found;
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
