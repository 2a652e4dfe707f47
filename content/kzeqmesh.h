#ifndef ZEQ_CONTENT_KZEQMESH_H
#define ZEQ_CONTENT_KZEQMESH_H

#include <type_traits>

#include "base/karray.h"
#include "content/kzeqgeometry.h"

namespace zeqsdk_400 {

// A polygon mesh. Polygons are records over one flat list of polygon
// vertices (control-point indices): polygon p's vertex v is entry
// first(p) + v of that list, and that position is the polygon-vertex index
// every "by polygon vertex" layer element uses. Materials, textures and
// texture coordinates are built in layer 0 while polygons are added; every
// addition is amortised constant time, with no allocation of its own.
class KZeqMesh : public KZeqGeometry {
public:
    // The mesh's simple view of a layer element's mapping mode.
    enum EMappingType : int { eBY_CONTROL_POINT = 0, eBY_POLYGON_VERTEX = 1, eBY_POLYGON = 2, eALL_SAME = 3 };

    // One polygon: its first polygon vertex, its size and its group.
    struct KZeqPolygon {
        int mIndex;
        int mSize;
        int mGroup;
    };

    explicit KZeqMesh(KZeqSdkManager& manager);

    EAttributeType GetAttributeType() const override { return eMESH; }
    KString GetTypeName() const override { return KString("Mesh"); }
    KStringList GetTypeFlags() const override { return KStringList(); }

    // No polygons, control points or layers; grid values 0.
    void Reset();

    // ---- Building ----------------------------------------------------------------------
    // A new polygon. Layer 0 is made when missing; its materials (textures)
    // element records the material (texture) when it is by polygon with
    // indices. The first polygon of a mesh with a material but no materials
    // element makes one, which records nothing (no mapping yet). -1: none.
    void BeginPolygon(int material = -1, int texture = -1, int group = -1);
    // A vertex of the polygon begun last; its UV index is recorded when layer
    // 0's UVs are by polygon vertex through indices, and when not -1. Ignored
    // before any polygon was begun.
    void AddPolygon(int index, int textureUVIndex = -1);
    void EndPolygon() {}

    // ---- Reading: -1 (or no change) for any polygon or vertex out of range ------------------
    int GetPolygonCount() const { return mPolygons.GetCount(); }
    // The flat list of polygon vertices; null when empty.
    int* GetPolygonVertices() { return mPolygonVertices.GetArray(); }
    int GetPolygonSize(int polygon) const;
    int GetPolygonGroup(int polygon) const;
    // Nothing for a polygon out of range.
    void SetPolygonGroup(int polygon, int group);
    int GetPolygonVertex(int polygon, int vertex) const;
    // Layer 0's normal at the polygon vertex's position, whatever the
    // mapping; normal unchanged when anything is out of range or missing.
    void GetPolygonVertexNormal(int& polygon, int& vertex, KZeqVector4& normal);

    // ---- Texture coordinates: layer 0's UVs ---------------------------------------------
    // count zero UVs; the element made when missing, its modes kept.
    void InitTextureUV(int count);
    void AddTextureUV(const KZeqVector2& uv);
    KZeqVector2* GetTextureUV();
    int GetTextureUVCount();
    // Both arrays emptied. By polygon vertex: index to direct; by control
    // point and all same: direct; anything else: no mapping, direct.
    void InitTextureUVIndices(EMappingType type);
    // Only for UVs by polygon vertex through indices.
    int GetTextureUVIndex(int polygon, int vertex);
    void SetTextureUVIndex(int polygon, int vertex, int index);
    EMappingType GetTextureUVMappingType();

    // ---- Materials and textures of layer 0 --------------------------------------------
    // Index to direct, indices emptied. By polygon: left for BeginPolygon;
    // by control point: index 0 per point (mapping kept when there are no
    // points); anything else: all same, one index 0.
    void InitMaterialIndices(EMappingType type);
    // By polygon, or all same with one index 0.
    void InitTextureIndices(EMappingType type);
    int* GetMaterialIndices();
    int* GetTextureIndices();
    EMappingType GetMaterialMappingType();
    EMappingType GetTextureMappingType();

    // ---- Normals mapping of layer 0 (the normals are not touched) -----------------------
    EMappingType GetNormalsMappingType();
    void SetNormalsMappingType(EMappingType type);

    // ---- Grid values: stored for grid-like meshes, no effect here ----------------------
    void SetCount(int u, int v) {
        mUCount = u;
        mVCount = v;
    }
    int GetUCount() const { return mUCount; }
    int GetVCount() const { return mVCount; }
    void SetCountExtent(int u, int v) {
        mUCountExtent = u;
        mVCountExtent = v;
    }
    int GetUCountExtent() const { return mUCountExtent; }
    int GetVCountExtent() const { return mVCountExtent; }
    void SetStep(int u, int v) {
        mUStep = u;
        mVStep = v;
    }
    int GetUStep() const { return mUStep; }
    int GetVStep() const { return mVStep; }
    void SetClosed(bool u, bool v) {
        mUClosed = u;
        mVClosed = v;
    }
    bool GetUClosed() const { return mUClosed; }
    bool GetVClosed() const { return mVClosed; }
    void SetCapped(bool u, bool v) {
        mUCapped = u;
        mVCapped = v;
    }
    bool GetUCapped() const { return mUCapped; }
    bool GetVCapped() const { return mVCapped; }

    // The geometry's copy, then polygons, polygon vertices and grid values.
    KZeqMesh& operator=(KZeqMesh& source);

    // ---- Normals and hard edges (kzeqmesh_normals.cpp) -----------------------------------
    // Vertices naming a control point out of range are skipped throughout.
    // What drives a split or merge: only the normals.
    enum ESplitObject : int { eNORMALS = 0 };
    // One use of a control point by a polygon vertex.
    struct KDuplicateVertex {
        int mPolygonVertex;  // position in the flat list of polygon vertices
        int mControlPoint;   // the control point this use is to have
        KZeqVector4 mNormal;
    };
    typedef KArrayTemplate<KArrayTemplate<KDuplicateVertex>*> KSplitList;

    // Layer 0's normals become one per control point: the sum of the point's
    // corner normals (b x a of the edges to the next and previous vertex, a x b
    // when clockwise) over its use count, normalised; (0, 0, 0, 1) when unused.
    void ComputeVertexNormals(bool clockwise);
    // True as soon as a stored normal k lies within 0.01 of the
    // counter-clockwise normal of point k; false without stored normals.
    bool CheckIfVertexNormalsCCW();
    // Appends one new array per control point (the caller deletes them; pass
    // an empty list) with the point's uses in polygon-vertex order: the first
    // keeps the point, every later one gets a new point numbered on from the
    // control-point count.
    void BuildSplitList(KSplitList& list, ESplitObject object);
    // Gives every later use its own point (a copy), in the polygon vertices,
    // the links (with the copied point's weight) and the shapes; the normals
    // become by control point. Uses out of range are skipped.
    void SplitPointsForHardEdge(KSplitList& list);
    // Entry j: the last earlier point equal to point j (x, y, z within 1e-6),
    // else j. With all false, only points before the first duplicate are
    // joined to. True when any two points are equal. Equal points are found
    // through a grid of cells, not by comparing every pair.
    bool BuildMergeList(KArrayTemplate<int>& list, ESplitObject object, bool all);
    // Joins every point whose entry names an earlier point to where that one
    // is joined, then removes the joined points, renumbering the rest in
    // order, in the polygon vertices, the links (a joined point's pairs go)
    // and the shapes; each polygon vertex keeps its point's normal, so the
    // normals become by polygon vertex. Nothing changes when nothing joins.
    void MergePointsForPolygonVerteNormals(KArrayTemplate<int>& list);

private:
    friend class KZeqGeometryConverter;  // rebuilds the polygons of its copies in place

    // The polygon's record, null out of range.
    const KZeqPolygon* PolygonAt(int polygon) const;
    // The polygon vertex's position in the flat list, -1 out of range.
    int PolygonVertexIndex(int polygon, int vertex) const;
    // Layer 0, made when missing.
    KZeqLayer& FirstLayer();
    KZeqLayerElementUV& UVs();
    KZeqLayerElementMaterial& Materials();
    KZeqLayerElementTexture& Textures();
    // Adds each corner normal to its control point's sum and use count.
    void SumCornerNormals(bool clockwise, double* sums, int* uses);

    int mUCount = 0;
    int mVCount = 0;
    int mUCountExtent = 0;
    int mVCountExtent = 0;
    int mUStep = 0;
    int mVStep = 0;
    bool mUClosed = false;
    bool mVClosed = false;
    bool mUCapped = false;
    bool mVCapped = false;
    KArrayTemplate<KZeqPolygon> mPolygons{256};
    KArrayTemplate<int> mPolygonVertices{1024};
};

static_assert(std::is_trivially_copyable<KZeqMesh::KZeqPolygon>::value && sizeof(KZeqMesh::KZeqPolygon) == 12,
              "three 32-bit ints");

}  // namespace zeqsdk_400

#endif
