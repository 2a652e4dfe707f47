#include "tfncomponent.h"

#include <algorithm>

#include "scene.h"

using namespace tulo_detail;

namespace {
bool faceOrVertex(int type) { return type == TFn::kSingleIndexedComponent || type == TFn::kMeshPolygonComponent; }

// The shape at the end of a path (or under its transform); world, when given, takes the path to it.
std::uint32_t shapeAt(const TDagPath& path, int type, ShapeWorld* world) {
    TStatus s;
    TObject end = path.node(&s);
    if (!s) return UINT32_MAX;
    std::uint32_t id = shapeOf(end, type);
    if (id == UINT32_MAX || !world) return id;
    TDagPath toShape = path;
    if (id != end.id()) toShape.push(handle(id));
    world->setPath(toShape);
    return id;
}

// A component's element list; nullptr with `all` set for the null component. A component of
// another kind fails.
bool elementsOf(const TObject& component, int type, std::vector<int>& out, bool& all, std::size_t count) {
    all = component.isNull();
    if (all) return true;
    if (component.apiType() != type) return false;
    const ComponentRec& c = scene().components[component.id()];
    if (c.complete >= 0) {
        out.resize(static_cast<std::size_t>(c.complete));
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int>(i);
    } else {
        out = c.first;
    }
    (void)count;
    return true;
}
}  // namespace

const TMatrix& tulo_detail::ShapeWorld::matrix() const {
    if (!known_) matrix_ = worldMatrix(path_.ids());
    known_ = true;
    return matrix_;
}

TFnComponent::TFnComponent(const TObject& component, TStatus* status) { put(status, setObject(component)); }

TStatus TFnComponent::setObject(const TObject& object) {
    object_ = object.kind() == TObject::kComponentKind && object.apiType() != TFn::kInvalid ? object : TObject();
    return object_.isNull() ? TStatus::kFailure : TStatus::kSuccess;
}

ComponentRec* TFnComponent::rec(const char* user) const {
    if (object_.isNull()) {
        fault("unattached function set", std::string(user) + " on a function set without a component");
        return nullptr;
    }
    if (object_.apiType() == TFn::kInvalid) {
        fault("dead node", std::string(user) + " on a component of an earlier scene");
        return nullptr;
    }
    return &scene().components[object_.id()];
}

TObject TFnComponent::make(int type, int wanted, TStatus* status) {
    if (type != wanted && !(wanted == TFn::kSingleIndexedComponent && type == TFn::kMeshPolygonComponent))
        return put(status, TStatus::kFailure), TObject();
    Scene& s = scene();
    ComponentRec c;
    c.gen = s.nextGen++;
    c.type = type;
    s.components.push_back(c);
    object_ = TObject(TObject::kComponentKind, static_cast<std::uint32_t>(s.components.size() - 1), c.gen);
    put(status, TStatus::kSuccess);
    return object_;
}

int TFnComponent::elementCount(TStatus* status) const {
    put(status, TStatus::kSuccess);
    if (object_.isNull() || object_.apiType() == TFn::kInvalid) return 0;
    const ComponentRec& c = scene().components[object_.id()];
    return c.complete >= 0 ? c.complete : static_cast<int>(c.first.size());
}

bool TFnComponent::isComplete(TStatus* status) const {
    ComponentRec* c = rec("TFnComponent::isComplete");
    put(status, c ? TStatus::kSuccess : TStatus::kFailure);
    return c && c->complete >= 0;
}

TFn::Type TFnComponent::componentType(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return object_.apiType();
}

TFnSingleIndexedComponent::TFnSingleIndexedComponent(const TObject& c, TStatus* status) { put(status, setObject(c)); }
TStatus TFnSingleIndexedComponent::setObject(const TObject& object) {
    object_ = faceOrVertex(object.apiType()) ? object : TObject();
    return object_.isNull() ? TStatus::kFailure : TStatus::kSuccess;
}
TObject TFnSingleIndexedComponent::create(int type, TStatus* status) {
    return make(type, TFn::kSingleIndexedComponent, status);
}

TStatus TFnSingleIndexedComponent::addElement(int element) {
    ComponentRec* c = rec("TFnSingleIndexedComponent::addElement");
    if (!c || element < 0) return TStatus::kFailure;
    if (c->complete >= 0) {  // a complete list turns into an explicit one
        for (int i = 0; i < c->complete; ++i) c->first.push_back(i);
        c->complete = -1;
    }
    c->first.push_back(element);
    return TStatus::kSuccess;
}

TStatus TFnSingleIndexedComponent::addElements(const TIntArray& elements) {
    for (int e : elements.values())
        if (!addElement(e)) return TStatus::kFailure;
    return TStatus::kSuccess;
}

TStatus TFnSingleIndexedComponent::setCompleteData(int count) {
    ComponentRec* c = rec("TFnSingleIndexedComponent::setCompleteData");
    if (!c || count < 0) return TStatus::kFailure;
    c->first.clear();
    c->complete = count;
    return TStatus::kSuccess;
}

int TFnSingleIndexedComponent::element(int index, TStatus* status) const {
    ComponentRec* c = rec("TFnSingleIndexedComponent::element");
    int n = elementCount();
    if (!c || index < 0 || index >= n) {
        if (c) indexFault("TFnSingleIndexedComponent::element", static_cast<unsigned>(index), static_cast<std::size_t>(n));
        return put(status, TStatus::kFailure), -1;
    }
    put(status, TStatus::kSuccess);
    return c->complete >= 0 ? index : c->first[static_cast<std::size_t>(index)];
}

TStatus TFnSingleIndexedComponent::getElements(TIntArray& elements) const {
    ComponentRec* c = rec("TFnSingleIndexedComponent::getElements");
    if (!c) return TStatus::kFailure;
    bool all;
    elementsOf(object_, object_.apiType(), elements.values(), all, 0);
    return TStatus::kSuccess;
}

TFnDoubleIndexedComponent::TFnDoubleIndexedComponent(const TObject& c, TStatus* status) { put(status, setObject(c)); }
TStatus TFnDoubleIndexedComponent::setObject(const TObject& object) {
    object_ = object.apiType() == TFn::kDoubleIndexedComponent ? object : TObject();
    return object_.isNull() ? TStatus::kFailure : TStatus::kSuccess;
}
TObject TFnDoubleIndexedComponent::create(int type, TStatus* status) {
    return make(type, TFn::kDoubleIndexedComponent, status);
}

TStatus TFnDoubleIndexedComponent::addElement(int u, int v) {
    ComponentRec* c = rec("TFnDoubleIndexedComponent::addElement");
    if (!c || u < 0 || v < 0) return TStatus::kFailure;
    c->first.push_back(u);
    c->second.push_back(v);
    return TStatus::kSuccess;
}

TStatus TFnDoubleIndexedComponent::getElement(int index, int& u, int& v) const {
    ComponentRec* c = rec("TFnDoubleIndexedComponent::getElement");
    if (!c || index < 0 || static_cast<std::size_t>(index) >= c->first.size()) {
        if (c) indexFault("TFnDoubleIndexedComponent::getElement", static_cast<unsigned>(index), c->first.size());
        return TStatus::kFailure;
    }
    u = c->first[static_cast<std::size_t>(index)];
    v = c->second[static_cast<std::size_t>(index)];
    return TStatus::kSuccess;
}

// ---- mesh vertices

TItMeshVertex::TItMeshVertex(const TDagPath& path, const TObject& component, TStatus* status) {
    std::uint32_t id = shapeAt(path, TFn::kMesh, &world_);
    if (id == UINT32_MAX || !elementsOf(component, TFn::kSingleIndexedComponent, elements_, all_, 0)) {
        put(status, TStatus::kFailure);
        return;
    }
    mesh_ = scene().nodes[id].mesh;
    adjacency_ = mesh_->adjacency();
    end_ = all_ ? mesh_->numVertices() : elements_.size();
    skip();
    put(status, TStatus::kSuccess);
}

void TItMeshVertex::skip() {
    while (!all_ && at_ < end_ && (elements_[at_] < 0 || static_cast<std::size_t>(elements_[at_]) >= mesh_->numVertices())) {
        indexFault("TItMeshVertex component", static_cast<unsigned>(elements_[at_]), mesh_->numVertices());
        ++at_;
    }
}

bool TItMeshVertex::isDone(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return !mesh_ || at_ >= end_;
}
TStatus TItMeshVertex::next() {
    if (isDone()) return TStatus::kFailure;
    ++at_;
    skip();
    return TStatus::kSuccess;
}
TStatus TItMeshVertex::reset() {
    at_ = 0;
    if (mesh_) skip();
    return mesh_ ? TStatus::kSuccess : TStatus::kFailure;
}
int TItMeshVertex::index(TStatus* status) const {
    if (isDone()) return put(status, TStatus::kFailure), -1;
    put(status, TStatus::kSuccess);
    return all_ ? static_cast<int>(at_) : elements_[at_];
}
int TItMeshVertex::count(TStatus* status) const {
    put(status, mesh_ ? TStatus::kSuccess : TStatus::kFailure);
    return mesh_ ? static_cast<int>(end_) : 0;
}

TPoint TItMeshVertex::position(int space, TStatus* status) const {
    if (isDone() || !TSpace::valid(space)) return put(status, TStatus::kFailure), TPoint();
    std::size_t v = static_cast<std::size_t>(index());
    TPoint p(mesh_->points[3 * v], mesh_->points[3 * v + 1], mesh_->points[3 * v + 2]);
    put(status, TStatus::kSuccess);
    return space == TSpace::kWorld ? p * world_.matrix() : p;
}

TStatus TItMeshVertex::getNormals(TVectorArray& normals, int space) const {
    if (isDone() || !TSpace::valid(space)) return TStatus::kFailure;
    std::size_t v = static_cast<std::size_t>(index());
    auto& out = normals.values();
    out.clear();
    for (int k = adjacency_->offsets[v]; k < adjacency_->offsets[v + 1]; ++k) {
        std::size_t n = 3 * static_cast<std::size_t>(mesh_->normalIds[static_cast<std::size_t>(adjacency_->faceVertices[static_cast<std::size_t>(k)])]);
        TVector x(mesh_->normals[n], mesh_->normals[n + 1], mesh_->normals[n + 2]);
        out.push_back(space == TSpace::kWorld ? (x * world_.matrix()).normal() : x);
    }
    return TStatus::kSuccess;
}

TStatus TItMeshVertex::getConnectedFaces(TIntArray& faces) const {
    if (isDone()) return TStatus::kFailure;
    std::size_t v = static_cast<std::size_t>(index());
    auto& out = faces.values();
    out.clear();
    for (int k = adjacency_->offsets[v]; k < adjacency_->offsets[v + 1]; ++k) {
        int fv = adjacency_->faceVertices[static_cast<std::size_t>(k)];
        auto f = std::upper_bound(mesh_->offsets.begin(), mesh_->offsets.end(), fv) - mesh_->offsets.begin() - 1;
        out.push_back(static_cast<int>(f));
    }
    return TStatus::kSuccess;
}

// ---- mesh polygons

TItMeshPolygon::TItMeshPolygon(const TDagPath& path, const TObject& component, TStatus* status) {
    std::uint32_t id = shapeAt(path, TFn::kMesh, nullptr);
    if (id == UINT32_MAX || !elementsOf(component, TFn::kMeshPolygonComponent, elements_, all_, 0)) {
        put(status, TStatus::kFailure);
        return;
    }
    mesh_ = scene().nodes[id].mesh;
    end_ = all_ ? mesh_->numPolygons() : elements_.size();
    skip();
    put(status, TStatus::kSuccess);
}

void TItMeshPolygon::skip() {
    while (!all_ && at_ < end_ && (elements_[at_] < 0 || static_cast<std::size_t>(elements_[at_]) >= mesh_->numPolygons())) {
        indexFault("TItMeshPolygon component", static_cast<unsigned>(elements_[at_]), mesh_->numPolygons());
        ++at_;
    }
}

bool TItMeshPolygon::isDone(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return !mesh_ || at_ >= end_;
}
TStatus TItMeshPolygon::next() {
    if (isDone()) return TStatus::kFailure;
    ++at_;
    skip();
    return TStatus::kSuccess;
}
TStatus TItMeshPolygon::reset() {
    at_ = 0;
    if (mesh_) skip();
    return mesh_ ? TStatus::kSuccess : TStatus::kFailure;
}
int TItMeshPolygon::index(TStatus* status) const {
    if (isDone()) return put(status, TStatus::kFailure), -1;
    put(status, TStatus::kSuccess);
    return all_ ? static_cast<int>(at_) : elements_[at_];
}
unsigned TItMeshPolygon::polygonVertexCount(TStatus* status) const {
    if (isDone()) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(mesh_->counts[static_cast<std::size_t>(index())]);
}

bool TItMeshPolygon::faceVertex(int k, std::size_t& fv) const {
    if (isDone()) return false;
    std::size_t f = static_cast<std::size_t>(index());
    if (k < 0 || k >= mesh_->counts[f]) {
        indexFault("TItMeshPolygon vertex", static_cast<unsigned>(k), static_cast<std::size_t>(mesh_->counts[f]));
        return false;
    }
    fv = static_cast<std::size_t>(mesh_->offsets[f] + k);
    return true;
}

int TItMeshPolygon::vertexIndex(int k, TStatus* status) const {
    std::size_t fv;
    if (!faceVertex(k, fv)) return put(status, TStatus::kFailure), -1;
    put(status, TStatus::kSuccess);
    return mesh_->connects[fv];
}

int TItMeshPolygon::normalIndex(int k, TStatus* status) const {
    std::size_t fv;
    if (!faceVertex(k, fv)) return put(status, TStatus::kFailure), -1;
    put(status, TStatus::kSuccess);
    return mesh_->normalIds[fv];
}

TStatus TItMeshPolygon::getVertices(TIntArray& vertices) const {
    if (isDone()) return TStatus::kFailure;
    std::size_t f = static_cast<std::size_t>(index());
    auto b = mesh_->connects.begin() + mesh_->offsets[f];
    vertices.values().assign(b, b + mesh_->counts[f]);
    return TStatus::kSuccess;
}

// ---- surface CVs

TItSurfaceCV::TItSurfaceCV(const TDagPath& path, const TObject& component, bool useURows, TStatus* status) {
    std::uint32_t id = shapeAt(path, TFn::kNurbsSurface, &world_);
    if (id == UINT32_MAX || (!component.isNull() && component.apiType() != TFn::kDoubleIndexedComponent)) {
        put(status, TStatus::kFailure);
        return;
    }
    surface_ = scene().nodes[id].nurbs;
    const NurbsData& s = *surface_;
    if (component.isNull()) {
        for (int u = 0; u < s.numU; ++u)
            for (int v = 0; v < s.numV; ++v) cvs_.emplace_back(u, v);
    } else {
        const ComponentRec& c = scene().components[component.id()];
        for (std::size_t i = 0; i < c.first.size(); ++i) {
            if (c.first[i] >= s.numU || c.second[i] >= s.numV) {
                indexFault("TItSurfaceCV component", static_cast<unsigned>(c.first[i] * s.numV + c.second[i]),
                           static_cast<std::size_t>(s.numU) * static_cast<std::size_t>(s.numV));
                continue;
            }
            cvs_.emplace_back(c.first[i], c.second[i]);
        }
    }
    if (useURows) std::stable_sort(cvs_.begin(), cvs_.end());
    else
        std::stable_sort(cvs_.begin(), cvs_.end(), [](const std::pair<int, int>& a, const std::pair<int, int>& b) {
            return a.second != b.second ? a.second < b.second : a.first < b.first;
        });
    put(status, TStatus::kSuccess);
}

bool TItSurfaceCV::isDone(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return at_ >= cvs_.size();
}
TStatus TItSurfaceCV::next() {
    if (isDone()) return TStatus::kFailure;
    ++at_;
    return TStatus::kSuccess;
}
TStatus TItSurfaceCV::reset() {
    at_ = 0;
    return surface_ ? TStatus::kSuccess : TStatus::kFailure;
}
int TItSurfaceCV::index(TStatus* status) const {
    if (isDone()) return put(status, TStatus::kFailure), -1;
    put(status, TStatus::kSuccess);
    return cvs_[at_].first * surface_->numV + cvs_[at_].second;
}
TStatus TItSurfaceCV::getIndex(int& u, int& v) const {
    if (isDone()) return TStatus::kFailure;
    u = cvs_[at_].first;
    v = cvs_[at_].second;
    return TStatus::kSuccess;
}
TPoint TItSurfaceCV::position(int space, TStatus* status) const {
    if (isDone() || !TSpace::valid(space)) return put(status, TStatus::kFailure), TPoint();
    std::size_t i = 4 * static_cast<std::size_t>(index());
    const std::vector<double>& c = surface_->cvs;
    TPoint p(c[i], c[i + 1], c[i + 2], c[i + 3]);
    put(status, TStatus::kSuccess);
    return space == TSpace::kWorld ? p * world_.matrix() : p;
}
