// Components (lists of mesh vertices or faces, or of surface CVs) and the iterators over the
// vertices, polygons and CVs of a shape.
#pragma once

#include <memory>

#include "tdagpath.h"
#include "tfndependencynode.h"

namespace tulo_detail {
struct ComponentRec;
struct MeshAdjacency;
struct MeshData;
struct NurbsData;

// The world matrix of a path to a shape, worked out when first asked for and kept: an iteration
// seldom asks, and the matrix costs a product per node above the shape.
class ShapeWorld {
public:
    void setPath(const TDagPath& path) { path_ = path; }
    const TMatrix& matrix() const;

private:
    TDagPath path_;
    mutable bool known_ = false;
    mutable TMatrix matrix_;
};
}  // namespace tulo_detail

class TFnComponent : public TFnBase {
public:
    TFnComponent() = default;
    TFnComponent(const TObject& component, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    // 0 for a null or empty component.
    int elementCount(TStatus* status = nullptr) const;
    bool isComplete(TStatus* status = nullptr) const;
    TFn::Type componentType(TStatus* status = nullptr) const;

protected:
    tulo_detail::ComponentRec* rec(const char* user) const;
    TObject make(int type, int wanted, TStatus* status);
};

// Mesh vertices (537) or faces.
class TFnSingleIndexedComponent : public TFnComponent {
public:
    TFnSingleIndexedComponent() = default;
    TFnSingleIndexedComponent(const TObject& component, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TObject create(int type, TStatus* status = nullptr);
    TStatus addElement(int element);
    TStatus addElements(const TIntArray& elements);
    // Every element 0 .. count - 1.
    TStatus setCompleteData(int count);
    int element(int index, TStatus* status = nullptr) const;
    TStatus getElements(TIntArray& elements) const;
};

// Surface CVs (525) as (u, v) pairs.
class TFnDoubleIndexedComponent : public TFnComponent {
public:
    TFnDoubleIndexedComponent() = default;
    TFnDoubleIndexedComponent(const TObject& component, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TObject create(int type, TStatus* status = nullptr);
    TStatus addElement(int u, int v);
    TStatus getElement(int index, int& u, int& v) const;
};

// The vertices of a mesh shape (a path to it or its transform), all or those of a component.
// Elements outside the mesh are skipped, each a recorded host fault.
class TItMeshVertex {
public:
    TItMeshVertex(const TDagPath& path, const TObject& component = TObject::kNullObj, TStatus* status = nullptr);
    bool isDone(TStatus* status = nullptr) const;
    TStatus next();
    TStatus reset();
    int index(TStatus* status = nullptr) const;
    int count(TStatus* status = nullptr) const;
    TPoint position(int space = TSpace::kObject, TStatus* status = nullptr) const;
    // One normal per adjacent polygon: the face-vertex normals of the vertex.
    TStatus getNormals(TVectorArray& normals, int space = TSpace::kObject) const;
    TStatus getConnectedFaces(TIntArray& faces) const;

private:
    void skip();
    std::shared_ptr<const tulo_detail::MeshData> mesh_;
    std::shared_ptr<const tulo_detail::MeshAdjacency> adjacency_;  // held while the iterator lives
    std::vector<int> elements_;  // empty with all_: every vertex
    bool all_ = true;
    std::size_t at_ = 0, end_ = 0;
    tulo_detail::ShapeWorld world_;
};

class TItMeshPolygon {
public:
    TItMeshPolygon(const TDagPath& path, const TObject& component = TObject::kNullObj, TStatus* status = nullptr);
    bool isDone(TStatus* status = nullptr) const;
    TStatus next();
    TStatus reset();
    int index(TStatus* status = nullptr) const;
    unsigned polygonVertexCount(TStatus* status = nullptr) const;
    int vertexIndex(int k, TStatus* status = nullptr) const;
    int normalIndex(int k, TStatus* status = nullptr) const;
    TStatus getVertices(TIntArray& vertices) const;

private:
    bool faceVertex(int k, std::size_t& fv) const;
    void skip();
    std::shared_ptr<const tulo_detail::MeshData> mesh_;
    std::vector<int> elements_;
    bool all_ = true;
    std::size_t at_ = 0, end_ = 0;
};

// The CVs of a surface in (u, v) order (by U rows), or (v, u) when not by U rows.
class TItSurfaceCV {
public:
    TItSurfaceCV(const TDagPath& path, const TObject& component = TObject::kNullObj, bool useURows = true,
                 TStatus* status = nullptr);
    bool isDone(TStatus* status = nullptr) const;
    TStatus next();
    TStatus reset();
    // u * numCVsInV + v.
    int index(TStatus* status = nullptr) const;
    TStatus getIndex(int& u, int& v) const;
    TPoint position(int space = TSpace::kObject, TStatus* status = nullptr) const;

private:
    std::shared_ptr<const tulo_detail::NurbsData> surface_;
    std::vector<std::pair<int, int>> cvs_;
    std::size_t at_ = 0;
    tulo_detail::ShapeWorld world_;
};
