// The manager's operations on the kinds of scene content: each kind brings
// its allocator, its ending and its finds here, beside its own class.
#include "content/kzeqgobo.h"
#include "content/kzeqnull.h"
#include "content/kzeqopticalreference.h"
#include "scene/kzeqnodeattribute.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

// Node attributes: unnamed, in one list.

KZeqNull* KZeqSdkManager::CreateKZeqNull() { return ListedAttribute(AllocateKZeqNull()); }

KZeqOpticalReference* KZeqSdkManager::CreateKZeqOpticalReference() {
    return ListedAttribute(AllocateKZeqOpticalReference());
}

KZeqNull* KZeqSdkManager::AllocateKZeqNull() { return new KZeqNull(*this); }

KZeqOpticalReference* KZeqSdkManager::AllocateKZeqOpticalReference() { return new KZeqOpticalReference(*this); }

// Gobos: named as given, found under the model prefix, ended by Destruct then deletion.

KZeqGobo* KZeqSdkManager::CreateKZeqGobo(const char* name) {
    return static_cast<KZeqGobo*>(Listed(eGobos, AllocateKZeqGobo(name)));
}

KZeqGobo* KZeqSdkManager::AllocateKZeqGobo(const char* name) { return new KZeqGobo(*this, name); }

bool KZeqSdkManager::DestroyKZeqGobo(KZeqGobo* gobo) { return DestroyListed(eGobos, gobo); }

KZeqGobo* KZeqSdkManager::FindKZeqGobo(const char* name, int index) {
    return static_cast<KZeqGobo*>(FindNamed(eGobos, PrefixName("Model::", name), index));
}

const KZeqSdkManager::KindOps KZeqSdkManager::kGoboOps = {
    [](void* object) {
        auto* gobo = static_cast<KZeqGobo*>(object);
        gobo->Destruct();
        delete gobo;
    },
    [](const void* object) { return static_cast<const KZeqGobo*>(object)->GetName(); }};

}  // namespace zeqsdk_400
