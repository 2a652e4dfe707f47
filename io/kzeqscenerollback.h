#ifndef ZEQ_IO_KZEQSCENEROLLBACK_H
#define ZEQ_IO_KZEQSCENEROLLBACK_H

namespace zeqsdk_400 {

class KZeqScene;
class KZeqSdkManager;

// Lets a reader that fails leave nothing of its own in the scene. It notes
// how many nodes, materials and textures the manager lists when the read
// begins; the manager appends what it creates, so whatever lies beyond those
// counts was made by the read. Undo ends those nodes first, each with its
// subtree and attributes (a mesh may still list a material), then the
// materials and textures. Attributes the read made but never set on a node
// are the reader's to end. The scene read into, when given, stops listing the
// materials and textures that end (a reader may have entered them there
// directly), so that it keeps no reference to an ended object.
class KZeqSceneRollback {
public:
    explicit KZeqSceneRollback(KZeqSdkManager& manager, KZeqScene* scene = nullptr);
    KZeqSceneRollback(const KZeqSceneRollback&) = delete;
    KZeqSceneRollback& operator=(const KZeqSceneRollback&) = delete;

    void Undo();

private:
    KZeqSdkManager& mManager;
    KZeqScene* mScene;
    int mNodes;
    int mMaterials;
    int mTextures;
};

}  // namespace zeqsdk_400

#endif
