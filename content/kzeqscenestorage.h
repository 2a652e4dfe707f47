#ifndef ZEQ_CONTENT_KZEQSCENESTORAGE_H
#define ZEQ_CONTENT_KZEQSCENESTORAGE_H

namespace zeqsdk_400 {

class KZeqEntity;
class KZeqSdkManager;

// The conversions between a scene's working form and the form the scene
// file stores, over the scene's entity: materials and textures of layer
// elements as connections to the nodes, skin links as skin and cluster
// deformers. The scene's members of the same names run them around file
// reads and writes.
class KZeqSceneStorage {
public:
    KZeqSceneStorage(KZeqEntity& entity, KZeqSdkManager& manager) : mEntity(entity), mManager(manager) {}

    // Each material (texture) a direct or index-to-direct element of a
    // node's geometry holds becomes a source of the node; indices past the
    // direct array become -1.
    void ConnectMaterials();
    void ConnectTextures();
    // One skin per geometry with links ("Skin " and the node's short name),
    // one cluster per link with a node ("SubDeformer::Cluster " and the link
    // node's short name); a name taken already gets " 1", " 2", ... The
    // deformers join the entity and are connected to the nodes and to each other.
    void BuildKZeqDeformerFromKZeqLink();
    // The reverse: the materials (textures) connected to each node fill its
    // geometry's direct and index-to-direct elements.
    void BuildMaterialLayersDirectArray();
    void BuildTextureLayersDirectArray();
    // A link per cluster of each skin, on every geometry the skin deforms.
    void BuildKZeqLinkFromKZeqDeformer();
    // Every deformer of the entity out of it and destroyed, clusters first.
    void RemoveKZeqDeformers();

private:
    template <class T>
    void ConnectLayers();
    template <class T>
    void BuildLayers();

    KZeqEntity& mEntity;
    KZeqSdkManager& mManager;
};

}  // namespace zeqsdk_400

#endif
