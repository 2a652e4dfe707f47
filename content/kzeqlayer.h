#ifndef ZEQ_CONTENT_KZEQLAYER_H
#define ZEQ_CONTENT_KZEQLAYER_H

#include "base/karray.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

class KZeqMaterial;
class KZeqTexture;

// One element of a layer: how its values map onto the geometry, how they are
// referenced, the indices, and (in the typed subclass) the values. Elements
// have no virtual operations: their type is that of the layer slot holding
// them. The direct array is also reachable untyped, so that code moving items
// by position (splitting or merging points) serves every element type alike.
class KZeqLayerElement {
public:
    // The slot of an element in a layer; 0 and 7 and up name none.
    enum ELayerElementType : int {
        eUNDEFINED = 0,
        eNORMAL = 1,
        eMATERIAL = 2,
        eTEXTURE = 3,
        ePOLYGON_GROUP = 4,
        eUV = 5,
        eVERTEX_COLOR = 6,
        eLAST_ELEMENT_TYPE = 7
    };
    enum EMappingMode : int {
        eNONE = 0,                // no mapping information
        eBY_CONTROL_POINT = 1,    // one value per control point
        eBY_POLYGON_VERTEX = 2,   // one value per polygon vertex, in polygon-vertex order
        eBY_POLYGON = 3,          // one value per polygon
        eALL_SAME = 4             // one value for the whole geometry
    };
    enum EReferenceMode : int {
        eDIRECT = 0,           // the n-th item is the n-th direct entry
        eINDEX = 1,            // the n-th index alone (materials, textures: into the node's connected objects)
        eINDEX_TO_DIRECT = 2   // the n-th index points into the direct array
    };

    KZeqLayerElement(const KZeqLayerElement&) = delete;
    KZeqLayerElement& operator=(const KZeqLayerElement&) = delete;

    EMappingMode GetMappingMode() const { return mMappingMode; }
    void SetMappingMode(EMappingMode mode) { mMappingMode = mode; }
    EReferenceMode GetReferenceMode() const { return mReferenceMode; }
    void SetReferenceMode(EReferenceMode mode) { mReferenceMode = mode; }
    KArrayTemplate<int>& GetIndexArray() { return mIndexArray; }
    const KArrayTemplate<int>& GetIndexArray() const { return mIndexArray; }
    // The direct array as raw items of its element type's size.
    KBaseArray& GetDirectArrayBase() { return *mDirect; }
    const KBaseArray& GetDirectArrayBase() const { return *mDirect; }

    // The words the scene file spells the modes with. A value outside its
    // table is written as value 0; a word outside the table reads as 0.
    static const char* GetMappingModeToken(int mode);
    static EMappingMode GetMappingModeFromToken(const char* token);
    static const char* GetReferenceModeToken(int mode);
    static EReferenceMode GetReferenceModeFromToken(const char* token);

protected:
    KZeqLayerElement() = default;
    ~KZeqLayerElement() = default;
    void BindDirectArray(KBaseArray& direct) { mDirect = &direct; }
    // Modes and indices of another element.
    void CopyBase(const KZeqLayerElement& other);

private:
    EMappingMode mMappingMode = eNONE;
    EReferenceMode mReferenceMode = eDIRECT;
    KArrayTemplate<int> mIndexArray{16};
    KBaseArray* mDirect = nullptr;  // the subclass's direct array
};

// A layer element whose direct array holds items of T.
template <class T>
class KZeqLayerElementTemplate : public KZeqLayerElement {
public:
    KZeqLayerElementTemplate() { BindDirectArray(mDirectArray); }

    KArrayTemplate<T>& GetDirectArray() { return mDirectArray; }
    const KArrayTemplate<T>& GetDirectArray() const { return mDirectArray; }

    // Modes and both arrays of another element (pointers copied as pointers).
    void CopyFrom(const KZeqLayerElementTemplate& other) {
        CopyBase(other);
        mDirectArray = other.mDirectArray;
    }

private:
    KArrayTemplate<T> mDirectArray{16};
};

// The textures element adds how the textures blend and their alpha. Made by
// the system in index-to-direct mode.
class KZeqLayerElementTexture : public KZeqLayerElementTemplate<KZeqTexture*> {
public:
    enum EBlendMode : int { eTRANSLUCENT = 0, eADD = 1, eMODULATE = 2, eMODULATE2 = 3, eMAXBLEND = 4 };

    KZeqLayerElementTexture() { SetReferenceMode(eINDEX_TO_DIRECT); }

    EBlendMode GetBlendMode() const { return mBlendMode; }
    void SetBlendMode(EBlendMode mode) { mBlendMode = mode; }
    double GetAlpha() const { return mAlpha; }
    void SetAlpha(double alpha) { mAlpha = alpha; }

    void CopyFrom(const KZeqLayerElementTexture& other) {
        KZeqLayerElementTemplate<KZeqTexture*>::CopyFrom(other);
        mBlendMode = other.mBlendMode;
        mAlpha = other.mAlpha;
    }

    // As for the modes: outside the table written as 0, read as 0.
    static const char* GetBlendModeToken(int mode);
    static EBlendMode GetBlendModeFromToken(const char* token);

private:
    EBlendMode mBlendMode = eTRANSLUCENT;
    double mAlpha = 1.0;
};

typedef KZeqLayerElementTemplate<KZeqVector4> KZeqLayerElementNormal;
typedef KZeqLayerElementTemplate<KZeqMaterial*> KZeqLayerElementMaterial;
typedef KZeqLayerElementTemplate<int> KZeqLayerElementPolygonGroup;
typedef KZeqLayerElementTemplate<KZeqVector2> KZeqLayerElementUV;
typedef KZeqLayerElementTemplate<KZeqColor> KZeqLayerElementVertexColor;

// One layer: at most one element of each of the six types. The layer owns the
// elements set in it, not the materials and textures they point to.
class KZeqLayer {
public:
    KZeqLayer() = default;
    KZeqLayer(const KZeqLayer&) = delete;
    virtual ~KZeqLayer();

    // Ends every element; all six slots empty. Harmless when already empty.
    void Clear();

    KZeqLayerElementNormal* GetNormals() const { return static_cast<KZeqLayerElementNormal*>(mElements[0]); }
    KZeqLayerElementMaterial* GetMaterials() const { return static_cast<KZeqLayerElementMaterial*>(mElements[1]); }
    KZeqLayerElementTexture* GetTextures() const { return static_cast<KZeqLayerElementTexture*>(mElements[2]); }
    KZeqLayerElementPolygonGroup* GetPolygonGroups() const {
        return static_cast<KZeqLayerElementPolygonGroup*>(mElements[3]);
    }
    KZeqLayerElementUV* GetUVs() const { return static_cast<KZeqLayerElementUV*>(mElements[4]); }
    KZeqLayerElementVertexColor* GetVertexColors() const {
        return static_cast<KZeqLayerElementVertexColor*>(mElements[5]);
    }

    // The layer owns the element from then on. An element already in the slot
    // is not ended: take it out first (get it, set null, end it yourself).
    void SetNormals(KZeqLayerElementNormal* element) { mElements[0] = element; }
    void SetMaterials(KZeqLayerElementMaterial* element) { mElements[1] = element; }
    void SetTextures(KZeqLayerElementTexture* element) { mElements[2] = element; }
    void SetPolygonGroups(KZeqLayerElementPolygonGroup* element) { mElements[3] = element; }
    void SetUVs(KZeqLayerElementUV* element) { mElements[4] = element; }
    void SetVertexColors(KZeqLayerElementVertexColor* element) { mElements[5] = element; }

    // Null for a type outside 1 to 6.
    KZeqLayerElement* GetLayerElementOfType(KZeqLayerElement::ELayerElementType type) const;

    // Deep copy: new elements with the source's modes and arrays; material and
    // texture pointers are shared, no reference of theirs is counted.
    KZeqLayer& operator=(const KZeqLayer& other);

private:
    static constexpr int kSlotCount = 6;
    KZeqLayerElement* mElements[kSlotCount] = {};
};

}  // namespace zeqsdk_400

#endif
