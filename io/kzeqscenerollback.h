#ifndef ZEQ_IO_KZEQSCENEROLLBACK_H
#define ZEQ_IO_KZEQSCENEROLLBACK_H

namespace zeqsdk_400 {

class KZeqSdkManager;

// Lets a reader that fails leave nothing of its own in the scene. It notes
// how many nodes, materials and textures the manager lists when the read
// begins; the manager appends what it creates, so whatever lies beyond those
// counts was made by the read. Undo ends those nodes first, each with its
// subtree and attributes (a mesh may still list a material), then the
// materials and textures. Attributes the read made but never set on a node
// are the reader's to end.
class KZeqSceneRollback {
public:
    explicit KZeqSceneRollback(KZeqSdkManager& manager);
    KZeqSceneRollback(const KZeqSceneRollback&) = delete;
    KZeqSceneRollback& operator=(const KZeqSceneRollback&) = delete;

    void Undo();

private:
    KZeqSdkManager& mManager;
    int mNodes;
    int mMaterials;
    int mTextures;
};

}  // namespace zeqsdk_400

#endif
