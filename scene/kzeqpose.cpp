#include "scene/kzeqpose.h"

#include <cstring>

#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqPoseProperties, KZeqPropertyHandler, "KZeqPoseProperties")

namespace {
const char* const kErrorTable[KZeqPose::eErrorCount] = {"Error"};
}  // namespace

KZeqPose* KZeqPoseProperties::GetKZeqPose() { return static_cast<KZeqPose*>(mOwner); }

void KZeqPoseProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mOwner) mOwner->PropertyDefaultValueChanged(property);
}

KZeqPose::KZeqPose(KZeqSdkManager& manager, const KString& name, bool bindPose)
    : KZeqTakeNodeContainer(manager, name.Buffer(), &mError),
      mProperties(new KZeqPoseProperties(this)),
      mError(kErrorTable, eErrorCount),
      mType(bindPose ? 'b' : 'r') {}

KZeqPose::~KZeqPose() {
    // Scenes only list poses: none may go on listing one that ends.
    KZeqSdkManager& manager = GetSdkManager();
    for (int i = 0; i < manager.SceneCount(); ++i) manager.SceneAt(i)->RemovePose(this);
    mProperties->Destroy(0);
    mProperties = nullptr;
}

void KZeqPose::Destruct() { mProperties->Destruct(); }

KString KZeqPose::GetTypeName() const { return KString(mType == 'r' ? "RestPose" : "BindPose"); }

bool KZeqPose::ValidateLocal(const char* name, const KZeqMatrix& matrix, int& index) const {
    index = Find(name);
    return index < 0 || mEntries[static_cast<std::size_t>(index)]->mMatrix == matrix;
}

int KZeqPose::Add(const char* name, const KZeqMatrix& matrix, bool local) {
    if (!name) return -1;
    int index = -1;
    if (IsBindPose()) {
        KZeqSdkManager& manager = GetSdkManager();
        for (int i = 0; i < manager.SceneCount(); ++i) {
            KZeqScene* scene = manager.SceneAt(i);
            for (int j = 0; j < scene->GetPoseCount(); ++j) {
                const KZeqPose* other = scene->GetPose(j);
                if (other != this && other->IsBindPose() && !other->ValidateLocal(name, matrix, index)) return -1;
            }
        }
    }
    if (!ValidateLocal(name, matrix, index)) return -1;
    if (index >= 0) return index;
    mEntries.push_back(std::unique_ptr<Entry>(new Entry{KString(name), matrix, local}));
    if (mFirstEntryValid) mFirstEntry.emplace(name, GetCount() - 1);
    return GetCount() - 1;
}

void KZeqPose::Remove(int index) {
    if (!Valid(index)) return;
    mEntries.erase(mEntries.begin() + index);
    mFirstEntryValid = false;
}

int KZeqPose::Find(const char* name) const {
    if (!name) return -1;
    if (!mFirstEntryValid) {
        mFirstEntry.clear();
        for (int i = 0; i < GetCount(); ++i) mFirstEntry.emplace(mEntries[static_cast<std::size_t>(i)]->mNodeName.Buffer(), i);
        mFirstEntryValid = true;
    }
    const auto found = mFirstEntry.find(name);
    return found == mFirstEntry.end() ? -1 : found->second;
}

const char* KZeqPose::GetNodeName(int index) const {
    return Valid(index) ? mEntries[static_cast<std::size_t>(index)]->mNodeName.Buffer() : "";
}

KZeqMatrix& KZeqPose::GetMatrix(int index) {
    if (Valid(index)) return mEntries[static_cast<std::size_t>(index)]->mMatrix;
    // A caller may have written into the spare handed out before.
    mFallbackMatrix.SetIdentity();
    return mFallbackMatrix;
}

bool KZeqPose::IsLocalMatrix(int index) const {
    return Valid(index) && mEntries[static_cast<std::size_t>(index)]->mLocal;
}

void KZeqPose::ReplaceNodeName(int index, const char* name) {
    if (!Valid(index) || !name || !*name) return;
    mEntries[static_cast<std::size_t>(index)]->mNodeName = name;
    mFirstEntryValid = false;
}

template <class Pass>
bool KZeqPose::Containing(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                          KArrayTemplate<int>& indices, Pass pass) {
    bool found = false;
    for (int i = 0; i < manager.SceneCount(); ++i) {
        KZeqScene* scene = manager.SceneAt(i);
        for (int j = 0; j < scene->GetPoseCount(); ++j) {
            KZeqPose* pose = scene->GetPose(j);
            const int index = pass(*pose) ? pose->Find(name) : -1;
            if (index < 0) continue;
            poses.Add(pose);
            indices.Add(index);
            found = true;
        }
    }
    return found;
}

bool KZeqPose::GetPosesContaining(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                                  KArrayTemplate<int>& indices) {
    return Containing(manager, name, poses, indices, [](const KZeqPose&) { return true; });
}

bool KZeqPose::GetBindPoseContaining(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                                     KArrayTemplate<int>& indices) {
    return Containing(manager, name, poses, indices, [](const KZeqPose& pose) { return pose.mType == 'b'; });
}

bool KZeqPose::GetRestPoseContaining(KZeqSdkManager& manager, const char* name, KArrayTemplate<KZeqPose*>& poses,
                                     KArrayTemplate<int>& indices) {
    return Containing(manager, name, poses, indices, [](const KZeqPose& pose) { return pose.mType == 'r'; });
}

// ---- Properties ----------------------------------------------------------------------------

void KZeqPose::FillPropertyList(void* list) { FillHandlerPropertyList(*mProperties, list); }

void KZeqPose::PublishProperties() { PublishHandlerProperties(*mProperties); }

void KZeqPose::PropertyAdded(KZeqUserProperty* property) { AddHandlerProperty(*mProperties, property); }

void KZeqPose::PropertyRemoved(KZeqUserProperty* property) { RemoveHandlerProperty(*mProperties, property); }

void KZeqPose::AddChannels(KZeqTakeNode* take) { AddHandlerChannels(*mProperties, take); }

}  // namespace zeqsdk_400
