// Function set on polygon meshes: a mesh shape, a transform with one, or mesh data read from a
// geometry plug. Points and normals in object space unless world space (4) is asked for.
#pragma once

#include <memory>
#include <utility>

#include "tfndagnode.h"

namespace tulo_detail {
struct MeshAdjacency;
struct MeshData;
}

class TFnMesh : public TFnDagNode {
public:
    TFnMesh() = default;
    TFnMesh(const TObject& object, TStatus* status = nullptr);
    TFnMesh(const TDagPath& path, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TStatus setObject(const TDagPath& path);

    // Fails when the counts do not number the polygons, their sum the connects or the points the
    // vertices. Polygons with an invalid vertex or fewer than 3 distinct vertices are dropped,
    // each a recorded host fault. Under a transform the shape is returned, else a new transform.
    TObject create(int numVertices, int numPolygons, const TFloatPointArray& points, const TIntArray& polygonCounts,
                   const TIntArray& polygonConnects, const TObject& parent = TObject::kNullObj,
                   TStatus* status = nullptr);
    TObject create(int numVertices, int numPolygons, const TPointArray& points, const TIntArray& polygonCounts,
                   const TIntArray& polygonConnects, const TObject& parent = TObject::kNullObj,
                   TStatus* status = nullptr);
    // A copy of another mesh's geometry under `parent` (null: a new transform).
    TObject copy(const TObject& source, const TObject& parent = TObject::kNullObj, TStatus* status = nullptr);
    TStatus updateSurface() { return TStatus::kSuccess; }

    int numVertices(TStatus* status = nullptr) const;
    int numPolygons(TStatus* status = nullptr) const;
    int numFaceVertices(TStatus* status = nullptr) const;
    int numNormals(TStatus* status = nullptr) const;
    int polygonVertexCount(int polygon, TStatus* status = nullptr) const;
    TStatus getPolygonVertices(int polygon, TIntArray& vertices) const;
    TStatus getPoint(int vertex, TPoint& point, int space = TSpace::kObject) const;
    TStatus getPoints(TPointArray& points, int space = TSpace::kObject) const;
    TStatus getPoints(TFloatPointArray& points, int space = TSpace::kObject) const;
    // The count must match.
    TStatus setPoints(const TPointArray& points, int space = TSpace::kObject);
    TStatus setPoints(const TFloatPointArray& points, int space = TSpace::kObject);

    TStatus getNormals(TFloatVectorArray& normals, int space = TSpace::kObject) const;
    // The mean of the vertex's face-vertex normals.
    TStatus getVertexNormal(int vertex, TVector& normal, int space = TSpace::kObject) const;
    TStatus getFaceVertexNormal(int polygon, int vertex, TVector& normal, int space = TSpace::kObject) const;
    TStatus setVertexNormals(const TVectorArray& normals, const TIntArray& vertices, int space = TSpace::kObject);
    // Every (polygon, vertex) pair must be a face-vertex.
    TStatus setFaceVertexNormals(const TVectorArray& normals, const TIntArray& polygons, const TIntArray& vertices,
                                 int space = TSpace::kObject);

    // UV sets; a null set name means the first ("map1" on a new mesh).
    int numUVSets(TStatus* status = nullptr) const;
    TStatus getUVSetNames(TStringArray& names) const;
    int numUVs(const TString* set = nullptr, TStatus* status = nullptr) const;
    int numUVs(const TString& set, TStatus* status = nullptr) const { return numUVs(&set, status); }
    TStatus getUVs(TFloatArray& u, TFloatArray& v, const TString* set = nullptr) const;
    TStatus setUVs(const TFloatArray& u, const TFloatArray& v, const TString* set = nullptr);
    // Fails, with `id` untouched, when the face-vertex has no UV.
    TStatus getPolygonUVid(int polygon, int vertex, int& id, const TString* set = nullptr) const;
    // counts must equal the polygon sizes, ids their sum in number and lie below numUVs.
    TStatus assignUVs(const TIntArray& counts, const TIntArray& ids, const TString* set = nullptr);
    TStatus renameUVSet(const TString& from, const TString& to, TDGModifier* modifier = nullptr);
    TStatus createUVSet(const TString& name, TDGModifier* modifier = nullptr);
    TStatus getAssociatedUVSetTextures(const TString& set, TObjectArray& textures) const;
    // Links a file or layered texture to the UV set (which must exist); a texture linked already
    // stays linked once.
    TStatus associateUVSetTexture(const TString& set, const TObject& texture);

    // The shading groups of the instance and, per polygon, its group's index there (-1: none).
    TStatus getConnectedShaders(unsigned instance, TObjectArray& shaders, TIntArray& indices) const;
    // One colour per face-vertex (uncoloured ones -1 -1 -1 -1); empty without colours.
    TStatus getFaceVertexColors(TColorArray& colors) const;
    // The running face-vertex index, or -1 when uncoloured.
    TStatus getFaceVertexColorIndex(int polygon, int vertex, int& index) const;
    // Colours of face-vertices named by (polygon, vertex) pairs, each a face-vertex (else nothing
    // changes and the call fails); the other face-vertices keep theirs (none on a mesh without).
    TStatus setFaceVertexColors(const TColorArray& colors, const TIntArray& polygons, const TIntArray& vertices);

private:
    const tulo_detail::MeshData* data(const char* user) const;
    tulo_detail::MeshData* writable(const char* user);
    bool spaceOk(int space) const;
    TMatrix worldOf() const;
    TObject make(int numVertices, int numPolygons, std::vector<float>&& points, const TIntArray& counts,
                 const TIntArray& connects, const TObject& parent, TStatus* status);
    // The mesh's face-vertices by vertex, held with the mesh while the set lives.
    const tulo_detail::MeshAdjacency& heldAdjacency(const tulo_detail::MeshData& mesh) const;
    std::uint32_t shape_ = 0;  // the node whose mesh this set reads
    mutable std::pair<std::shared_ptr<const tulo_detail::MeshData>, std::shared_ptr<const tulo_detail::MeshAdjacency>>
        adjacency_;
};
