// The manager's operations on generic nodes: named as given, ended by
// deletion alone.
#include "content/kzeqgenericnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqGenericNode* KZeqSdkManager::CreateKZeqGenericNode(const char* name) {
    return static_cast<KZeqGenericNode*>(Listed(eGenericNodes, AllocateKZeqGenericNode(name)));
}

KZeqGenericNode* KZeqSdkManager::AllocateKZeqGenericNode(const char* name) {
    return name ? new KZeqGenericNode(*this, name) : nullptr;
}

bool KZeqSdkManager::DestroyKZeqGenericNode(KZeqGenericNode* node) { return DestroyListed(eGenericNodes, node); }

KZeqGenericNode* KZeqSdkManager::FindKZeqGenericNode(const char* name) {
    if (!name) {
        NotFound();
        return nullptr;
    }
    return static_cast<KZeqGenericNode*>(FindNamed(eGenericNodes, name, 0));
}

const KZeqSdkManager::KindOps KZeqSdkManager::kGenericNodeOps = {
    [](void* object) { delete static_cast<KZeqGenericNode*>(object); },
    [](const void* object) { return static_cast<const KZeqGenericNode*>(object)->GetName(); }};

}  // namespace zeqsdk_400
