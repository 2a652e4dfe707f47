#include "tfnmesh.h"

#include <algorithm>
#include <cmath>

#include "scene.h"

using namespace tulo_detail;

namespace {
TPoint pointAt(const MeshData& m, std::size_t v) {
    return TPoint(m.points[3 * v], m.points[3 * v + 1], m.points[3 * v + 2]);
}

bool indexOk(std::size_t i, std::size_t n, const char* what) {
    if (i < n) return true;
    indexFault(what, static_cast<unsigned>(i), n);
    return false;
}

MeshData::UVSet* findSet(MeshData& m, const TString* name) {
    if (!name) return m.uvSets.empty() ? nullptr : &m.uvSets[0];
    for (auto& s : m.uvSets)
        if (s.name == name->str()) return &s;
    return nullptr;
}
const MeshData::UVSet* findSet(const MeshData& m, const TString* name) {
    return findSet(const_cast<MeshData&>(m), name);
}

// Face-vertex normals from here on: one normal per face-vertex.
void perFaceVertex(MeshData& m) {
    if (m.normals.size() == 3 * m.connects.size() && m.normalIds.size() == m.connects.size()) {
        bool identity = true;
        for (std::size_t i = 0; i < m.normalIds.size() && identity; ++i) identity = m.normalIds[i] == static_cast<int>(i);
        if (identity) return;
    }
    std::vector<float> n(3 * m.connects.size());
    for (std::size_t fv = 0; fv < m.connects.size(); ++fv)
        for (std::size_t c = 0; c < 3; ++c) n[3 * fv + c] = m.normals[3 * static_cast<std::size_t>(m.normalIds[fv]) + c];
    m.normals.swap(n);
    for (std::size_t fv = 0; fv < m.normalIds.size(); ++fv) m.normalIds[fv] = static_cast<int>(fv);
}

// Where each (polygon, vertex) pair stands in the mesh's face-vertex list; false when a polygon is
// out of range or does not hold its vertex.
bool faceVertexPlaces(const MeshData& m, const TIntArray& polygons, const TIntArray& vertices,
                      std::vector<std::size_t>& at) {
    at.assign(polygons.length(), 0);
    for (std::size_t i = 0; i < at.size(); ++i) {
        int f = polygons.values()[i], v = vertices.values()[i];
        if (f < 0 || static_cast<std::size_t>(f) >= m.numPolygons()) return false;
        auto b = m.connects.begin() + m.offsets[static_cast<std::size_t>(f)];
        auto e = b + m.counts[static_cast<std::size_t>(f)];
        auto it = std::find(b, e, v);
        if (it == e) return false;
        at[i] = static_cast<std::size_t>(it - m.connects.begin());
    }
    return true;
}
}  // namespace

TFnMesh::TFnMesh(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TFnMesh::TFnMesh(const TDagPath& path, TStatus* status) { put(status, setObject(path)); }

TStatus TFnMesh::setObject(const TObject& object) {
    if (object.kind() == TObject::kDataKind && object.apiType() == TFn::kMeshData) {
        path_ = TDagPath();
        object_ = object;
        shape_ = scene().data[object.id()].second.geometry.id();
        return TStatus::kSuccess;
    }
    TStatus s = attachShape(object, TFn::kMesh);
    shape_ = s ? object_.id() : 0;
    return s;
}

TStatus TFnMesh::setObject(const TDagPath& path) {
    TStatus s = attachShape(path, TFn::kMesh);
    shape_ = s ? object_.id() : 0;
    return s;
}

const MeshAdjacency& TFnMesh::heldAdjacency(const MeshData& mesh) const {
    if (adjacency_.first.get() != &mesh || !adjacency_.second) {
        const auto& owner = scene().nodes[shape_].mesh;
        adjacency_ = {owner.get() == &mesh ? std::shared_ptr<const MeshData>(owner) : nullptr, mesh.adjacency()};
    }
    return *adjacency_.second;
}

const MeshData* TFnMesh::data(const char* user) const {
    if (object_.kind() == TObject::kDataKind) {
        if (object_.apiType() == TFn::kMeshData) return scene().nodes[shape_].mesh.get();
        fault("dead node", std::string(user) + " on mesh data whose shape was deleted");
        return nullptr;
    }
    if (!attachedDag(user)) return nullptr;
    return scene().nodes[shape_].mesh.get();
}

MeshData* TFnMesh::writable(const char* user) {
    if (object_.kind() == TObject::kDataKind) return nullptr;  // data read from a plug stays as it is
    return const_cast<MeshData*>(data(user));
}

bool TFnMesh::spaceOk(int space) const {
    return TSpace::valid(space);
}

TMatrix TFnMesh::worldOf() const {
    TDagPath p;
    if (object_.kind() == TObject::kDataKind || !getPath(p)) return TMatrix();
    return worldMatrix(p.ids());
}

TObject TFnMesh::make(int nV, int nP, std::vector<float>&& points, const TIntArray& counts, const TIntArray& connects,
                      const TObject& parent, TStatus* status) {
    const NodeRec* p = tulo_detail::node(parent);
    if (!parent.isNull() && !p) liveNode(parent, "TFnMesh::create");
    bool parentOk = parent.isNull() || (p && tuloTypeIsA(p->type->code, TFn::kTransform));
    long sum = 0;
    for (int c : counts.values()) sum += c < 0 ? 0 : c;
    bool negative = std::any_of(counts.values().begin(), counts.values().end(), [](int c) { return c < 0; });
    if (!parentOk || nV < 0 || nP < 0 || static_cast<long>(counts.length()) != nP || negative ||
        sum != static_cast<long>(connects.length()) || points.size() != 3 * static_cast<std::size_t>(nV))
        return put(status, TStatus::kFailure), TObject();
    auto m = std::make_shared<MeshData>();
    m->points = std::move(points);
    m->counts.reserve(counts.length());
    m->offsets.reserve(counts.length() + 1);
    m->connects.reserve(connects.length());
    m->offsets.push_back(0);
    std::uint32_t under = parent.isNull() ? createNode(*typeByName("transform"), "polySurface1", 0).id() : parent.id();
    std::vector<int> seen;
    constexpr int kPairwise = 8;
    for (std::size_t f = 0, at = 0; f < counts.length(); at += static_cast<std::size_t>(counts.values()[f]), ++f) {
        const int* ids = connects.values().data() + at;
        int n = counts.values()[f];
        bool valid = true;
        std::size_t distinct = 0;
        if (n <= kPairwise) {  // the usual small polygon: no copy, no sort
            for (int i = 0; i < n; ++i) {
                valid = valid && ids[i] >= 0 && ids[i] < nV;
                distinct += std::find(ids, ids + i, ids[i]) == ids + i;
            }
        } else {
            seen.assign(ids, ids + n);
            std::sort(seen.begin(), seen.end());
            valid = seen.front() >= 0 && seen.back() < nV;
            distinct = static_cast<std::size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
        }
        if (!valid || distinct < 3) {
            fault("dropped polygon", "polygon " + std::to_string(f) + " of " + std::to_string(n) + " vertices (" +
                                         std::to_string(distinct) + " distinct" + (valid ? "" : ", some invalid") + ")");
            continue;
        }
        m->counts.push_back(n);
        m->connects.insert(m->connects.end(), ids, ids + n);
        m->offsets.push_back(static_cast<int>(m->connects.size()));
    }
    m->smoothNormals();
    m->uvSets.resize(1);
    m->uvSets[0].name = "map1";
    TObject shape = createNode(*typeByName("mesh"), "", under);
    scene().nodes[shape.id()].mesh = m;
    setObject(shape);
    put(status, TStatus::kSuccess);
    return parent.isNull() ? handle(under) : shape;
}

TObject TFnMesh::create(int nV, int nP, const TFloatPointArray& points, const TIntArray& counts,
                        const TIntArray& connects, const TObject& parent, TStatus* status) {
    std::vector<float> xyz;
    xyz.reserve(3 * points.length());
    for (const TFloatPoint& p : points.values()) xyz.insert(xyz.end(), {p.x, p.y, p.z});
    return make(nV, nP, std::move(xyz), counts, connects, parent, status);
}

TObject TFnMesh::create(int nV, int nP, const TPointArray& points, const TIntArray& counts, const TIntArray& connects,
                        const TObject& parent, TStatus* status) {
    std::vector<float> xyz;
    xyz.reserve(3 * points.length());
    for (const TPoint& p : points.values())
        xyz.insert(xyz.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    return make(nV, nP, std::move(xyz), counts, connects, parent, status);
}

TObject TFnMesh::copy(const TObject& source, const TObject& parent, TStatus* status) {
    TFnMesh src(source);
    const MeshData* from = src.object_.isNull() ? nullptr : src.data("TFnMesh::copy");
    const NodeRec* p = tulo_detail::node(parent);
    if (!from || (!parent.isNull() && (!p || !tuloTypeIsA(p->type->code, TFn::kTransform))))
        return put(status, TStatus::kFailure), TObject();
    auto m = std::make_shared<MeshData>(*from);
    m->adjacencyCache.reset();
    std::uint32_t under = parent.isNull() ? createNode(*typeByName("transform"), "polySurface1", 0).id() : parent.id();
    TObject shape = createNode(*typeByName("mesh"), "", under);
    scene().nodes[shape.id()].mesh = m;
    setObject(shape);
    put(status, TStatus::kSuccess);
    return parent.isNull() ? handle(under) : shape;
}

int TFnMesh::numVertices(TStatus* status) const {
    const MeshData* m = data("TFnMesh::numVertices");
    return put(status, m ? TStatus::kSuccess : TStatus::kFailure), m ? static_cast<int>(m->numVertices()) : 0;
}
int TFnMesh::numPolygons(TStatus* status) const {
    const MeshData* m = data("TFnMesh::numPolygons");
    return put(status, m ? TStatus::kSuccess : TStatus::kFailure), m ? static_cast<int>(m->numPolygons()) : 0;
}
int TFnMesh::numFaceVertices(TStatus* status) const {
    const MeshData* m = data("TFnMesh::numFaceVertices");
    return put(status, m ? TStatus::kSuccess : TStatus::kFailure), m ? static_cast<int>(m->connects.size()) : 0;
}
int TFnMesh::numNormals(TStatus* status) const {
    const MeshData* m = data("TFnMesh::numNormals");
    return put(status, m ? TStatus::kSuccess : TStatus::kFailure), m ? static_cast<int>(m->normals.size() / 3) : 0;
}

int TFnMesh::polygonVertexCount(int f, TStatus* status) const {
    const MeshData* m = data("TFnMesh::polygonVertexCount");
    if (!m || !indexOk(static_cast<std::size_t>(f), m->numPolygons(), "TFnMesh::polygonVertexCount"))
        return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return m->counts[static_cast<std::size_t>(f)];
}

TStatus TFnMesh::getPolygonVertices(int f, TIntArray& vertices) const {
    const MeshData* m = data("TFnMesh::getPolygonVertices");
    if (!m || !indexOk(static_cast<std::size_t>(f), m->numPolygons(), "TFnMesh::getPolygonVertices"))
        return TStatus::kFailure;
    auto b = m->connects.begin() + m->offsets[static_cast<std::size_t>(f)];
    vertices.values().assign(b, b + m->counts[static_cast<std::size_t>(f)]);
    return TStatus::kSuccess;
}

TStatus TFnMesh::getPoint(int v, TPoint& point, int space) const {
    const MeshData* m = data("TFnMesh::getPoint");
    if (!m || !spaceOk(space) || !indexOk(static_cast<std::size_t>(v), m->numVertices(), "TFnMesh::getPoint"))
        return TStatus::kFailure;
    point = pointAt(*m, static_cast<std::size_t>(v));
    if (space == TSpace::kWorld) point = point * worldOf();
    return TStatus::kSuccess;
}

TStatus TFnMesh::getPoints(TPointArray& points, int space) const {
    const MeshData* m = data("TFnMesh::getPoints");
    if (!m || !spaceOk(space)) return TStatus::kFailure;
    auto& out = points.values();
    out.resize(m->numVertices());
    for (std::size_t v = 0; v < out.size(); ++v) out[v] = pointAt(*m, v);
    if (space == TSpace::kWorld) {
        TMatrix w = worldOf();
        for (TPoint& p : out) p = p * w;
    }
    return TStatus::kSuccess;
}

TStatus TFnMesh::getPoints(TFloatPointArray& points, int space) const {
    TPointArray all;
    if (!getPoints(all, space)) return TStatus::kFailure;
    auto& out = points.values();
    out.resize(all.length());
    for (std::size_t v = 0; v < out.size(); ++v) {
        const TPoint& p = all.values()[v];
        out[v] = TFloatPoint(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
    }
    return TStatus::kSuccess;
}

TStatus TFnMesh::setPoints(const TPointArray& points, int space) {
    MeshData* m = writable("TFnMesh::setPoints");
    if (!m || !spaceOk(space) || points.length() != m->numVertices()) return TStatus::kFailure;
    TMatrix inv = space == TSpace::kWorld ? worldOf().inverse() : TMatrix();
    for (std::size_t v = 0; v < m->numVertices(); ++v) {
        TPoint p = points.values()[v];
        if (space == TSpace::kWorld) p = p * inv;
        m->points[3 * v] = static_cast<float>(p.x);
        m->points[3 * v + 1] = static_cast<float>(p.y);
        m->points[3 * v + 2] = static_cast<float>(p.z);
    }
    return TStatus::kSuccess;
}

TStatus TFnMesh::setPoints(const TFloatPointArray& points, int space) {
    TPointArray all;
    for (const TFloatPoint& p : points.values()) all.append(p.x, p.y, p.z);
    return setPoints(all, space);
}

TStatus TFnMesh::getNormals(TFloatVectorArray& normals, int space) const {
    const MeshData* m = data("TFnMesh::getNormals");
    if (!m || !spaceOk(space)) return TStatus::kFailure;
    auto& out = normals.values();
    out.resize(m->normals.size() / 3);
    TMatrix w = space == TSpace::kWorld ? worldOf() : TMatrix();
    for (std::size_t i = 0; i < out.size(); ++i) {
        TVector n(m->normals[3 * i], m->normals[3 * i + 1], m->normals[3 * i + 2]);
        if (space == TSpace::kWorld) n = (n * w).normal();
        out[i] = TFloatVector(static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z));
    }
    return TStatus::kSuccess;
}

TStatus TFnMesh::getVertexNormal(int v, TVector& normal, int space) const {
    const MeshData* m = data("TFnMesh::getVertexNormal");
    if (!m || !spaceOk(space) || !indexOk(static_cast<std::size_t>(v), m->numVertices(), "TFnMesh::getVertexNormal"))
        return TStatus::kFailure;
    const MeshAdjacency& adjacency = heldAdjacency(*m);
    const std::vector<int>& adj = adjacency.faceVertices;
    TVector sum;
    for (int k = adjacency.offsets[static_cast<std::size_t>(v)]; k < adjacency.offsets[static_cast<std::size_t>(v) + 1]; ++k) {
        std::size_t n = 3 * static_cast<std::size_t>(m->normalIds[static_cast<std::size_t>(adj[static_cast<std::size_t>(k)])]);
        sum = sum + TVector(m->normals[n], m->normals[n + 1], m->normals[n + 2]);
    }
    if (space == TSpace::kWorld) sum = sum * worldOf();
    normal = sum.length() > 0 ? sum.normal() : sum;
    return TStatus::kSuccess;
}

TStatus TFnMesh::getFaceVertexNormal(int f, int v, TVector& normal, int space) const {
    const MeshData* m = data("TFnMesh::getFaceVertexNormal");
    if (!m || !spaceOk(space) || !indexOk(static_cast<std::size_t>(f), m->numPolygons(), "TFnMesh::getFaceVertexNormal"))
        return TStatus::kFailure;
    for (int k = 0; k < m->counts[static_cast<std::size_t>(f)]; ++k) {
        std::size_t fv = static_cast<std::size_t>(m->offsets[static_cast<std::size_t>(f)] + k);
        if (m->connects[fv] != v) continue;
        std::size_t n = 3 * static_cast<std::size_t>(m->normalIds[fv]);
        normal = TVector(m->normals[n], m->normals[n + 1], m->normals[n + 2]);
        if (space == TSpace::kWorld) normal = (normal * worldOf()).normal();
        return TStatus::kSuccess;
    }
    return TStatus::kFailure;
}

TStatus TFnMesh::setVertexNormals(const TVectorArray& normals, const TIntArray& vertices, int space) {
    MeshData* m = writable("TFnMesh::setVertexNormals");
    if (!m || !spaceOk(space) || normals.length() != vertices.length()) return TStatus::kFailure;
    for (int v : vertices.values())
        if (v < 0 || static_cast<std::size_t>(v) >= m->numVertices()) return TStatus::kFailure;
    // Normals shared by vertex (one per vertex, each face-vertex naming its vertex's) stay shared;
    // others are per face-vertex, and each face-vertex of the vertex takes the normal.
    bool shared = m->normals.size() == 3 * m->numVertices() && m->normalIds.size() == m->connects.size();
    for (std::size_t fv = 0; fv < m->connects.size() && shared; ++fv) shared = m->normalIds[fv] == m->connects[fv];
    if (!shared) perFaceVertex(*m);
    const MeshAdjacency& adjacency = heldAdjacency(*m);
    const std::vector<int>& adj = adjacency.faceVertices;
    TMatrix inv = space == TSpace::kWorld ? worldOf().inverse() : TMatrix();
    for (std::size_t i = 0; i < vertices.length(); ++i) {
        TVector n = normals.values()[i];
        if (space == TSpace::kWorld) n = (n * inv).normal();
        std::size_t v = static_cast<std::size_t>(vertices.values()[i]);
        if (shared) {
            for (std::size_t c = 0; c < 3; ++c) m->normals[3 * v + c] = static_cast<float>(n[static_cast<unsigned>(c)]);
            continue;
        }
        for (int k = adjacency.offsets[v]; k < adjacency.offsets[v + 1]; ++k)
            for (std::size_t c = 0; c < 3; ++c)
                m->normals[3 * static_cast<std::size_t>(adj[static_cast<std::size_t>(k)]) + c] = static_cast<float>(n[static_cast<unsigned>(c)]);
    }
    return TStatus::kSuccess;
}

TStatus TFnMesh::setFaceVertexNormals(const TVectorArray& normals, const TIntArray& polygons, const TIntArray& vertices,
                                      int space) {
    MeshData* m = writable("TFnMesh::setFaceVertexNormals");
    if (!m || !spaceOk(space) || normals.length() != polygons.length() || polygons.length() != vertices.length())
        return TStatus::kFailure;
    std::vector<std::size_t> at;
    if (!faceVertexPlaces(*m, polygons, vertices, at)) return TStatus::kFailure;
    perFaceVertex(*m);
    TMatrix inv = space == TSpace::kWorld ? worldOf().inverse() : TMatrix();
    for (std::size_t i = 0; i < at.size(); ++i) {
        TVector n = normals.values()[i];
        if (space == TSpace::kWorld) n = (n * inv).normal();
        for (unsigned c = 0; c < 3; ++c) m->normals[3 * at[i] + c] = static_cast<float>(n[c]);
    }
    return TStatus::kSuccess;
}

int TFnMesh::numUVSets(TStatus* status) const {
    const MeshData* m = data("TFnMesh::numUVSets");
    return put(status, m ? TStatus::kSuccess : TStatus::kFailure), m ? static_cast<int>(m->uvSets.size()) : 0;
}

TStatus TFnMesh::getUVSetNames(TStringArray& names) const {
    const MeshData* m = data("TFnMesh::getUVSetNames");
    if (!m) return TStatus::kFailure;
    names.clear();
    for (const auto& s : m->uvSets) names.append(TString(s.name));
    return TStatus::kSuccess;
}

int TFnMesh::numUVs(const TString* set, TStatus* status) const {
    const MeshData* m = data("TFnMesh::numUVs");
    const MeshData::UVSet* s = m ? findSet(*m, set) : nullptr;
    return put(status, s ? TStatus::kSuccess : TStatus::kFailure), s ? static_cast<int>(s->u.size()) : 0;
}

TStatus TFnMesh::getUVs(TFloatArray& u, TFloatArray& v, const TString* set) const {
    const MeshData* m = data("TFnMesh::getUVs");
    const MeshData::UVSet* s = m ? findSet(*m, set) : nullptr;
    if (!s) return TStatus::kFailure;
    u.values() = s->u;
    v.values() = s->v;
    return TStatus::kSuccess;
}

TStatus TFnMesh::setUVs(const TFloatArray& u, const TFloatArray& v, const TString* set) {
    MeshData* m = writable("TFnMesh::setUVs");
    MeshData::UVSet* s = m ? findSet(*m, set) : nullptr;
    if (!s || u.length() != v.length()) return TStatus::kFailure;
    s->u = u.values();
    s->v = v.values();
    // Assignments past the new count would name UVs that no longer exist.
    for (int id : s->ids)
        if (id >= static_cast<int>(s->u.size())) {
            s->ids.clear();
            break;
        }
    return TStatus::kSuccess;
}

TStatus TFnMesh::getPolygonUVid(int f, int k, int& id, const TString* set) const {
    const MeshData* m = data("TFnMesh::getPolygonUVid");
    const MeshData::UVSet* s = m ? findSet(*m, set) : nullptr;
    if (!s || !indexOk(static_cast<std::size_t>(f), m->numPolygons(), "TFnMesh::getPolygonUVid polygon") ||
        !indexOk(static_cast<std::size_t>(k), static_cast<std::size_t>(m->counts[static_cast<std::size_t>(f)]),
                 "TFnMesh::getPolygonUVid vertex"))
        return TStatus::kFailure;
    std::size_t fv = static_cast<std::size_t>(m->offsets[static_cast<std::size_t>(f)] + k);
    if (s->ids.empty() || s->ids[fv] < 0) return TStatus::kFailure;
    id = s->ids[fv];
    return TStatus::kSuccess;
}

TStatus TFnMesh::assignUVs(const TIntArray& counts, const TIntArray& ids, const TString* set) {
    MeshData* m = writable("TFnMesh::assignUVs");
    MeshData::UVSet* s = m ? findSet(*m, set) : nullptr;
    if (!s || counts.values() != m->counts || ids.length() != m->connects.size()) return TStatus::kFailure;
    for (int id : ids.values())
        if (id < 0 || id >= static_cast<int>(s->u.size())) return TStatus::kFailure;
    s->ids = ids.values();
    return TStatus::kSuccess;
}

TStatus TFnMesh::renameUVSet(const TString& from, const TString& to, TDGModifier*) {
    MeshData* m = writable("TFnMesh::renameUVSet");
    MeshData::UVSet* s = m ? findSet(*m, &from) : nullptr;
    if (!s || to.length() == 0 || (from != to && findSet(*m, &to))) return TStatus::kFailure;
    s->name = to.str();
    return TStatus::kSuccess;
}

TStatus TFnMesh::createUVSet(const TString& name, TDGModifier*) {
    MeshData* m = writable("TFnMesh::createUVSet");
    if (!m || name.length() == 0 || findSet(*m, &name)) return TStatus::kFailure;
    m->uvSets.emplace_back();
    m->uvSets.back().name = name.str();
    return TStatus::kSuccess;
}

TStatus TFnMesh::getAssociatedUVSetTextures(const TString& set, TObjectArray& textures) const {
    const MeshData* m = data("TFnMesh::getAssociatedUVSetTextures");
    const MeshData::UVSet* s = m ? findSet(*m, &set) : nullptr;
    if (!s) return TStatus::kFailure;
    textures.clear();
    for (std::uint32_t t : s->textures)
        if (!handle(t).isNull()) textures.append(handle(t));
    return TStatus::kSuccess;
}

TStatus TFnMesh::associateUVSetTexture(const TString& set, const TObject& texture) {
    MeshData* m = writable("TFnMesh::associateUVSetTexture");
    MeshData::UVSet* s = m ? findSet(*m, &set) : nullptr;
    if (!s) return TStatus::kFailure;
    if (!texture.isNull() && !node(texture)) liveNode(texture, "TFnMesh::associateUVSetTexture");
    if (!node(texture) || !(texture.hasFn(TFn::kFileTexture) || texture.hasFn(TFn::kLayeredTexture))) return TStatus::kFailure;
    if (std::find(s->textures.begin(), s->textures.end(), texture.id()) == s->textures.end()) s->textures.push_back(texture.id());
    return TStatus::kSuccess;
}

TStatus TFnMesh::getConnectedShaders(unsigned instance, TObjectArray& shaders, TIntArray& indices) const {
    const MeshData* m = data("TFnMesh::getConnectedShaders");
    if (!m || object_.kind() == TObject::kDataKind || instance >= pathCount(shape_)) return TStatus::kFailure;
    const Scene& s = scene();
    std::vector<int> perFace(m->numPolygons(), -1);
    std::vector<std::uint32_t> groups;
    // Sets in creation order; a face belongs to the last group holding it.
    for (const auto& [id, index] : membersEndingAt(shape_)) {
        const NodeRec& set = s.nodes[id];
        if (!set.gen || set.restriction != 5) continue;
        const SetMember& mem = set.members[index];
        if (!TDagPath(mem.path).isValid() || TDagPath(mem.path).instanceNumber() != instance) continue;
        const ComponentRec* c = mem.component.isNull() ? nullptr : &s.components[mem.component.id()];
        if (c && (c->type != TFn::kMeshPolygonComponent || c->gen != mem.component.generation())) continue;
        groups.push_back(id);
        std::size_t n = c ? (c->complete >= 0 ? static_cast<std::size_t>(c->complete) : c->first.size()) : perFace.size();
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t f = c && c->complete < 0 ? static_cast<std::size_t>(c->first[i]) : i;
            if (f < perFace.size()) perFace[f] = static_cast<int>(id);
        }
    }
    shaders.clear();
    std::vector<std::uint32_t> used;
    for (std::uint32_t g : groups)
        if (std::find(perFace.begin(), perFace.end(), static_cast<int>(g)) != perFace.end() &&
            std::find(used.begin(), used.end(), g) == used.end())
            used.push_back(g), shaders.append(handle(g));
    for (int& f : perFace)
        if (f >= 0) f = static_cast<int>(std::find(used.begin(), used.end(), static_cast<std::uint32_t>(f)) - used.begin());
    indices.values() = perFace;
    return TStatus::kSuccess;
}

TStatus TFnMesh::getFaceVertexColors(TColorArray& colors) const {
    const MeshData* m = data("TFnMesh::getFaceVertexColors");
    if (!m) return TStatus::kFailure;
    colors.clear();
    for (std::size_t i = 0; i + 3 < m->colors.size(); i += 4)
        colors.append(TColor(m->colors[i], m->colors[i + 1], m->colors[i + 2], m->colors[i + 3]));
    return TStatus::kSuccess;
}

TStatus TFnMesh::setFaceVertexColors(const TColorArray& colors, const TIntArray& polygons, const TIntArray& vertices) {
    MeshData* m = writable("TFnMesh::setFaceVertexColors");
    if (!m || colors.length() != polygons.length() || polygons.length() != vertices.length()) return TStatus::kFailure;
    std::vector<std::size_t> at;
    if (!faceVertexPlaces(*m, polygons, vertices, at)) return TStatus::kFailure;
    if (m->colors.size() != 4 * m->connects.size()) {
        m->colors.assign(4 * m->connects.size(), -1.0f);
        m->colorIds.assign(m->connects.size(), -1);
    }
    for (std::size_t i = 0; i < at.size(); ++i) {
        const TColor& c = colors.values()[i];
        for (unsigned k = 0; k < 4; ++k) m->colors[4 * at[i] + k] = c[k];
        m->colorIds[at[i]] = static_cast<int>(at[i]);
    }
    return TStatus::kSuccess;
}

TStatus TFnMesh::getFaceVertexColorIndex(int f, int k, int& index) const {
    const MeshData* m = data("TFnMesh::getFaceVertexColorIndex");
    if (!m || !indexOk(static_cast<std::size_t>(f), m->numPolygons(), "TFnMesh::getFaceVertexColorIndex polygon") ||
        !indexOk(static_cast<std::size_t>(k), static_cast<std::size_t>(m->counts[static_cast<std::size_t>(f)]),
                 "TFnMesh::getFaceVertexColorIndex vertex"))
        return TStatus::kFailure;
    std::size_t fv = static_cast<std::size_t>(m->offsets[static_cast<std::size_t>(f)] + k);
    index = m->colorIds.empty() ? -1 : m->colorIds[fv];
    return TStatus::kSuccess;
}
