#include "content/kzeqgobo.h"

#include <cstring>

#include "scene/kzeqentity.h"
#include "scene/kzeqnodefinder.h"

namespace zeqsdk_400 {

KZeqGobo::KZeqGobo(KZeqSdkManager& manager, const char* name) : KZeqObject(manager, name) {}

bool KZeqGobo::SetFileName(const char* fileName) {
    mFileName = fileName ? fileName : "";
    return true;
}

bool KZeqGobo::operator==(const KZeqGobo& other) const {
    return mFileName == other.mFileName && mGroundProjection == other.mGroundProjection &&
           mVolumetricProjection == other.mVolumetricProjection &&
           mFrontVolumetricProjection == other.mFrontVolumetricProjection;
}

// Gobos in an entity: counted references, one gobo per name.

KZeqGobo* KZeqEntity::GetGobo(int index) { return static_cast<KZeqGobo*>(SharedAt(eGobos, index)); }

bool KZeqEntity::AddGobo(KZeqGobo* gobo) {
    if (!gobo) return false;
    if (FindShared(eGobos, gobo) < 0) {
        for (const auto& reference : mShared[eGobos]) {
            if (std::strcmp(reference->mObject->GetName(), gobo->GetName()) == 0) {
                mError.SetLastErrorID(eGoboNameClash);
                return false;
            }
        }
    }
    AddShared(eGobos, gobo);
    return true;
}

bool KZeqEntity::RemoveGobo(KZeqGobo* gobo) { return RemoveShared(eGobos, gobo, eGoboInUse, eGoboNotFound); }

// Gobos in the duplicate-name finder: a gobo shared by several lights is not
// its own duplicate.
bool KZeqNodeFinderDuplicateName::CheckGoboName(KZeqGobo* gobo) {
    if (!gobo) return false;
    if (!mStates[eGOBO]) {
        mGobos.Add(gobo);
        return false;
    }
    auto sameName = [gobo](const KZeqGobo* other) {
        return other != gobo && std::strcmp(other->GetName(), gobo->GetName()) == 0;
    };
    bool found = false;
    for (int i = 0; mEntity && !found && i < mEntity->GetGoboCount(); ++i) found = sameName(mEntity->GetGobo(i));
    for (int i = 0; !found && i < mGobos.GetCount(); ++i) found = sameName(mGobos[i]);
    if (found) mDuplicateGobos.Add(gobo);
    if (mGobos.Find(gobo) < 0) mGobos.Add(gobo);
    return found;
}

}  // namespace zeqsdk_400
