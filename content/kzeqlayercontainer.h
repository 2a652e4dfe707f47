#ifndef ZEQ_CONTENT_KZEQLAYERCONTAINER_H
#define ZEQ_CONTENT_KZEQLAYERCONTAINER_H

#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kzeqvector.h"
#include "content/kzeqlayer.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

class KZeqEntity;
class KZeqMaterial;
class KZeqTexture;

// A node attribute holding control points and layers: the base of geometry
// and shapes. It makes layers on demand, finds the n-th layer carrying an
// element type, adds, counts and fetches the materials and textures of a
// layer according to the element's reference mode, and mirrors those it
// references directly into the scene entity it is attached to.
//
// Layers are numbered from 0 in creation order; the typed numbering of a type
// counts only the layers holding an element of that type. The material and
// texture operations take a plain layer index; indices of 2^31 and above
// name no layer.
class KZeqLayerContainer : public KZeqNodeAttribute {
public:
    explicit KZeqLayerContainer(KZeqSdkManager& manager);
    // Empties the material and texture elements (dropping their entity
    // references), then ends the layers.
    ~KZeqLayerContainer() override;

    // ---- Layers ------------------------------------------------------------------
    // Appends an empty layer; answers its index.
    int CreateLayer();
    // Ends every layer, the last first, taking their references out of the entity.
    void ClearLayers();
    int GetLayerCount() const { return static_cast<int>(mLayers.size()); }
    int GetLayerCount(KZeqLayerElement::ELayerElementType type) const;
    // Null outside 0..count-1.
    KZeqLayer* GetLayer(int index) const;
    // The n-th layer (from 0) holding an element of the type; null when none.
    KZeqLayer* GetLayer(int n, KZeqLayerElement::ELayerElementType type) const;
    // The index of that layer, -1 when none.
    int GetLayerIndex(int n, KZeqLayerElement::ELayerElementType type) const;
    // The typed index of the layer at index: how many layers of the type lie
    // at or before it, minus 1 (for a layer without the type, that of the
    // last typed layer before it); -1 for an index out of range.
    int GetLayerTypedIndex(int index, KZeqLayerElement::ELayerElementType type) const;
    // This container's layers become deep copies of the source's; the
    // entity's references follow.
    void CopyLayers(const KZeqLayerContainer* source);

    // ---- Control points and normals ------------------------------------------------
    // count zero points; a negative count empties them.
    void InitControlPoints(int count);
    int GetControlPointsCount() const { return mControlPoints.GetCount(); }
    // The points, writable in place; null when there are none.
    KZeqVector4* GetControlPoints() { return mControlPoints.GetArray(); }
    // Point and normal at index, growing both arrays to reach it. Nothing
    // unless layer 0 has a normals element, and nothing for a negative index.
    void SetControlPointAt(const KZeqVector4& point, const KZeqVector4& normal, int index);
    // Layer 0 (made when missing) gets direct normals: one per control point
    // for count 0 or the control-point count, else count of them by polygon
    // vertex. The normals are zero.
    void InitNormals(int count = 0);
    // Layer 0's normals, writable in place; null when layer 0, its normals
    // element or any normal is missing.
    KZeqVector4* GetNormals();
    // Layers and control points of the source; the entity stays.
    void Copy(const KZeqLayerContainer& source, KZeqSdkManager& manager);

    // ---- Materials and textures of a layer ---------------------------------------------
    // Adds the texture to the layer's direct array (layers and the element
    // made as needed) and answers its position; a texture present already
    // answers its position. -1 for null or a layer of 2^31 and above.
    virtual int AddTexture(KZeqTexture* texture, unsigned int layer = 0);
    // The texture at index: the direct array's in direct and index-to-direct
    // modes, the index-th texture connected to the node in index mode.
    virtual KZeqTexture* GetTexture(int index, unsigned int layer = 0);
    // Position in the direct array of the texture named "Texture::" plus the
    // normal form of name (exactly); -1 when none.
    virtual int GetTextureIndex(const char* name, unsigned int layer = 0);
    // As AddTexture, but a material present already answers -1.
    virtual int AddMaterial(KZeqMaterial* material, unsigned int layer = 0);
    virtual KZeqMaterial* GetMaterial(int index, unsigned int layer = 0);
    virtual int GetMaterialIndex(const char* name, unsigned int layer = 0);
    // Direct and index-to-direct modes: the direct array's length. Index
    // mode: the distinct indices, at most the objects of that class
    // connected to the node; 0 without a node.
    int GetTextureCount(unsigned int layer = 0);
    int GetMaterialCount(unsigned int layer = 0);
    // Empties both arrays of every textures (materials) element.
    void ClearTexture();
    void ClearMaterial();

    // ---- Entity --------------------------------------------------------------------
    // Leaves the current entity, then enters each material and texture that
    // an element references directly (any mode but index) into the new one.
    void SetEntity(KZeqEntity* entity);
    // Takes those references out again; answers the number of layers visited.
    int UnsetEntity();
    KZeqEntity* GetEntity() const { return mEntity; }

private:
    friend class KZeqEntity;  // forgets itself when cleared
    friend class KZeqMesh;    // splits and merges resize its shapes' points in place

    KZeqEntity* mEntity = nullptr;
    KArrayTemplate<KZeqVector4> mControlPoints{256};
    std::vector<std::unique_ptr<KZeqLayer>> mLayers;
};

}  // namespace zeqsdk_400

#endif
