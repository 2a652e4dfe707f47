// The scene's five character families: made directly with the manager under
// the family's prefix, owned by the scene, ended with Destruct and deletion.
// Characters and actors hold their inputs by plain pointer, so whatever
// names an object that ends forgets it first.
#include <vector>

#include "character/kzeqactor.h"
#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterpose.h"
#include "character/kzeqcontrolsetplug.h"
#include "character/kzeqmarkerset.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

template <class T>
int CreateIn(std::vector<T*>& family, KZeqSdkManager& manager, const char* prefix, const char* name) {
    family.push_back(new T(manager, KZeqSdkManager::PrefixName(prefix, name)));
    return static_cast<int>(family.size()) - 1;
}

template <class T>
T* At(const std::vector<T*>& family, int index) {
    return index >= 0 && index < static_cast<int>(family.size()) ? family[static_cast<std::size_t>(index)] : nullptr;
}

// Out of the list first, so that nothing walking the list meets it ending.
template <class T>
void EndAt(std::vector<T*>& family, int index) {
    T* object = family[static_cast<std::size_t>(index)];
    family.erase(family.begin() + index);
    object->Destruct();
    delete object;
}

template <class T>
void EndAll(std::vector<T*>& family) {
    // From the front, each leaving the list before it ends.
    std::vector<T*> ending;
    ending.swap(family);
    for (T* object : ending) {
        object->Destruct();
        delete object;
    }
}

}  // namespace

KZeqMarkerSet* KZeqScene::GetMarkerSet(int index) const { return At(mMarkerSets, index); }
KZeqActor* KZeqScene::GetActor(int index) const { return At(mActors, index); }
KZeqCharacter* KZeqScene::GetCharacter(int index) const { return At(mCharacters, index); }
KZeqControlSetPlug* KZeqScene::GetControlSetPlug(int index) const { return At(mControlSetPlugs, index); }
KZeqCharacterPose* KZeqScene::GetCharacterPose(int index) const { return At(mCharacterPoses, index); }

int KZeqScene::CreateMarkerSet(const char* name) { return CreateIn(mMarkerSets, mManager, "MarkerSet::", name); }
int KZeqScene::CreateActor(const char* name) { return CreateIn(mActors, mManager, "Constraint::", name); }
int KZeqScene::CreateCharacter(const char* name) { return CreateIn(mCharacters, mManager, "Constraint::", name); }
int KZeqScene::CreateControlSetPlug(const char* name) {
    return CreateIn(mControlSetPlugs, mManager, "ControlSetPlug::", name);
}
int KZeqScene::CreateCharacterPose(const char* name) { return CreateIn(mCharacterPoses, mManager, "Pose::", name); }

void KZeqScene::DestroyMarkerSet(int index) {
    if (KZeqMarkerSet* markerSet = GetMarkerSet(index)) {
        ForgetInputs({markerSet});
        EndAt(mMarkerSets, index);
    }
}

void KZeqScene::DestroyActor(int index) {
    if (KZeqActor* actor = GetActor(index)) {
        ForgetInputs({actor});
        EndAt(mActors, index);
    }
}

void KZeqScene::DestroyCharacter(int index) {
    if (KZeqCharacter* character = GetCharacter(index)) {
        ForgetInputs({character});
        EndAt(mCharacters, index);
    }
}

void KZeqScene::DestroyControlSetPlug(int index) {
    if (GetControlSetPlug(index)) EndAt(mControlSetPlugs, index);
}

void KZeqScene::DestroyCharacterPose(int index) {
    if (GetCharacterPose(index)) EndAt(mCharacterPoses, index);
}

void KZeqScene::DestroyCharacterObjects() {
    ObjectSet ending;
    for (KZeqMarkerSet* markerSet : mMarkerSets) ending.insert(markerSet);
    for (KZeqActor* actor : mActors) ending.insert(actor);
    for (KZeqCharacter* character : mCharacters) ending.insert(character);
    if (!ending.empty()) ForgetInputs(ending);
    EndAll(mMarkerSets);
    EndAll(mActors);
    EndAll(mCharacters);
    EndAll(mControlSetPlugs);
    EndAll(mCharacterPoses);
}

void KZeqScene::ForgetInputs(const ObjectSet& ending) {
    auto forget = [&ending](KZeqScene& scene) {
        for (KZeqCharacter* character : scene.mCharacters)
            if (ending.count(character->GetInputObject())) character->SetInput(eCharacterInputNone, nullptr);
        for (KZeqActor* actor : scene.mActors)
            if (ending.count(actor->GetInputMarkerSet())) actor->SetInputMarkerSet(nullptr);
    };
    // This scene may be leaving the manager's list already.
    forget(*this);
    for (int i = 0; i < mManager.SceneCount(); ++i)
        if (KZeqScene* scene = mManager.SceneAt(i); scene != this) forget(*scene);
}

}  // namespace zeqsdk_400
