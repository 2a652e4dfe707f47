// The manager's operations on materials and textures: named under their
// prefixes, heard by their listeners, ended by Destruct then deletion.
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqMaterial* KZeqSdkManager::CreateKZeqMaterial(const char* name) {
    KZeqMaterial* material = AllocateKZeqMaterial(PrefixName("Material::", name));
    return static_cast<KZeqMaterial*>(Listed(eMaterials, material, material ? &material->mName : nullptr));
}

KZeqMaterial* KZeqSdkManager::AllocateKZeqMaterial(const char* name) { return new KZeqMaterial(*this, name); }

bool KZeqSdkManager::DestroyKZeqMaterial(KZeqMaterial* material) { return DestroyListed(eMaterials, material); }

KZeqMaterial* KZeqSdkManager::FindKZeqMaterial(const char* name, int index) {
    return static_cast<KZeqMaterial*>(FindNamed(eMaterials, PrefixName("Material::", name), index));
}

KZeqMaterial* KZeqSdkManager::GetKZeqMaterial(int index) const {
    return static_cast<KZeqMaterial*>(mLists[eMaterials].GetAt(index));
}

const KZeqSdkManager::KindOps KZeqSdkManager::kMaterialOps = {
    [](void* object) {
        auto* material = static_cast<KZeqMaterial*>(object);
        material->Destruct();
        delete material;
    },
    [](const void* object) { return static_cast<const KZeqMaterial*>(object)->GetName(); }};

KZeqTexture* KZeqSdkManager::CreateKZeqTexture(const char* name) {
    KZeqTexture* texture = AllocateKZeqTexture(PrefixName("Texture::", name));
    return static_cast<KZeqTexture*>(Listed(eTextures, texture, texture ? &texture->mName : nullptr));
}

KZeqTexture* KZeqSdkManager::AllocateKZeqTexture(const char* name) { return new KZeqTexture(*this, name); }

bool KZeqSdkManager::DestroyKZeqTexture(KZeqTexture* texture) { return DestroyListed(eTextures, texture); }

KZeqTexture* KZeqSdkManager::FindKZeqTexture(const char* name, int index) {
    return static_cast<KZeqTexture*>(FindNamed(eTextures, PrefixName("Texture::", name), index));
}

KZeqTexture* KZeqSdkManager::GetKZeqTexture(int index) const {
    return static_cast<KZeqTexture*>(mLists[eTextures].GetAt(index));
}

const KZeqSdkManager::KindOps KZeqSdkManager::kTextureOps = {
    [](void* object) {
        auto* texture = static_cast<KZeqTexture*>(object);
        texture->Destruct();
        delete texture;
    },
    [](const void* object) { return static_cast<const KZeqTexture*>(object)->GetName(); }};

}  // namespace zeqsdk_400
