#include "io/kzeqscenerollback.h"

#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqSceneRollback::KZeqSceneRollback(KZeqSdkManager& manager)
    : mManager(manager),
      mNodes(manager.GetKZeqNodeCount()),
      mMaterials(manager.GetKZeqMaterialCount()),
      mTextures(manager.GetKZeqTextureCount()) {}

void KZeqSceneRollback::Undo() {
    // The last node first: its descendants were made after the nodes above
    // them, and a recursive destroy takes them out of the list too.
    // Each destroy takes at least the object named out of its list.
    for (int count; (count = mManager.GetKZeqNodeCount()) > mNodes;)
        mManager.DestroyKZeqNode(mManager.GetKZeqNode(count - 1), true);
    for (int count; (count = mManager.GetKZeqMaterialCount()) > mMaterials;)
        mManager.DestroyKZeqMaterial(mManager.GetKZeqMaterial(count - 1));
    for (int count; (count = mManager.GetKZeqTextureCount()) > mTextures;)
        mManager.DestroyKZeqTexture(mManager.GetKZeqTexture(count - 1));
}

}  // namespace zeqsdk_400
