#include "io/kzeqscenerollback.h"

#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// Each reference the entity holds is counted: it stops listing the object
// once every one is taken.
void Unlist(KZeqEntity& entity, KZeqMaterial* material) {
    for (bool listed = true; listed;) {
        listed = false;
        for (int i = 0; i < entity.GetMaterialCount() && !listed; ++i) listed = entity.GetMaterial(i) == material;
        if (listed) entity.RemoveMaterial(material);
    }
}

void Unlist(KZeqEntity& entity, KZeqTexture* texture) {
    for (bool listed = true; listed;) {
        listed = false;
        for (int i = 0; i < entity.GetTextureCount() && !listed; ++i) listed = entity.GetTexture(i) == texture;
        if (listed) entity.RemoveTexture(texture);
    }
}

}  // namespace

KZeqSceneRollback::KZeqSceneRollback(KZeqSdkManager& manager, KZeqScene* scene)
    : mManager(manager),
      mScene(scene),
      mNodes(manager.GetKZeqNodeCount()),
      mMaterials(manager.GetKZeqMaterialCount()),
      mTextures(manager.GetKZeqTextureCount()) {}

void KZeqSceneRollback::Undo() {
    // The last node first: its descendants were made after the nodes above
    // them, and a recursive destroy takes them out of the list too.
    // Each destroy takes at least the object named out of its list.
    for (int count; (count = mManager.GetKZeqNodeCount()) > mNodes;)
        mManager.DestroyKZeqNode(mManager.GetKZeqNode(count - 1), true);
    KZeqEntity* entity = mScene ? mScene->GetEntity() : nullptr;
    for (int count; (count = mManager.GetKZeqMaterialCount()) > mMaterials;) {
        KZeqMaterial* material = mManager.GetKZeqMaterial(count - 1);
        if (entity) Unlist(*entity, material);
        mManager.DestroyKZeqMaterial(material);
    }
    for (int count; (count = mManager.GetKZeqTextureCount()) > mTextures;) {
        KZeqTexture* texture = mManager.GetKZeqTexture(count - 1);
        if (entity) Unlist(*entity, texture);
        mManager.DestroyKZeqTexture(texture);
    }
}

}  // namespace zeqsdk_400
