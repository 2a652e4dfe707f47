// Geometry data behind meshes and NURBS surfaces: normals, adjacency, the geometry carried by
// plugs through deformers, and the geometry part of the canonical dump.
#include <cmath>
#include <ostream>

#include "scene.h"
#include "session.h"

namespace tulo_detail {

std::shared_ptr<const MeshAdjacency> MeshData::adjacency() const {
    if (auto held = adjacencyCache.lock()) return held;
    auto made = std::make_shared<MeshAdjacency>();
    std::vector<int>& offsets = made->offsets;
    offsets.assign(numVertices() + 1, 0);
    for (int v : connects) ++offsets[static_cast<std::size_t>(v) + 1];
    for (std::size_t i = 1; i < offsets.size(); ++i) offsets[i] += offsets[i - 1];
    made->faceVertices.resize(connects.size());
    std::vector<int> fill(offsets.begin(), offsets.end() - 1);
    for (std::size_t fv = 0; fv < connects.size(); ++fv)
        made->faceVertices[static_cast<std::size_t>(fill[static_cast<std::size_t>(connects[fv])]++)] = static_cast<int>(fv);
    adjacencyCache = made;
    return made;
}

namespace {
// Newell's normal of polygon f (not normalised: its length is twice the area).
void faceNormal(const MeshData& m, std::size_t f, double n[3]) {
    n[0] = n[1] = n[2] = 0;
    const int count = m.counts[f];
    if (count <= 0) return;
    const int* ids = m.connects.data() + m.offsets[f];
    const float* points = m.points.data();
    for (int k = 0; k < count; ++k) {
        const float* a = points + 3 * static_cast<std::size_t>(ids[k]);
        const float* b = points + 3 * static_cast<std::size_t>(ids[k + 1 < count ? k + 1 : 0]);
        n[0] += (double(a[1]) - b[1]) * (double(a[2]) + b[2]);
        n[1] += (double(a[2]) - b[2]) * (double(a[0]) + b[0]);
        n[2] += (double(a[0]) - b[0]) * (double(a[1]) + b[1]);
    }
}

void normalise(double n[3]) {
    double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (l > 0) n[0] /= l, n[1] /= l, n[2] /= l;
}
}  // namespace

void MeshData::smoothNormals() {
    std::vector<double> sum(points.size(), 0.0);
    double* total = sum.data();
    for (std::size_t f = 0; f < counts.size(); ++f) {
        double n[3];
        faceNormal(*this, f, n);
        const int* ids = connects.data() + offsets[f];
        for (int k = 0; k < counts[f]; ++k) {
            double* at = total + 3 * static_cast<std::size_t>(ids[k]);
            at[0] += n[0], at[1] += n[1], at[2] += n[2];
        }
    }
    normals.resize(points.size());
    for (std::size_t v = 0; v < sum.size(); v += 3) {
        normalise(&sum[v]);
        for (std::size_t c = 0; c < 3; ++c) normals[v + c] = static_cast<float>(sum[v + c]);
    }
    normalIds = connects;
}

void MeshData::hardNormals() {
    normals.resize(3 * connects.size());
    normalIds.resize(connects.size());
    for (std::size_t f = 0; f < counts.size(); ++f) {
        double n[3];
        faceNormal(*this, f, n);
        normalise(n);
        for (int k = 0; k < counts[f]; ++k) {
            std::size_t fv = static_cast<std::size_t>(offsets[f] + k);
            for (std::size_t c = 0; c < 3; ++c) normals[3 * fv + c] = static_cast<float>(n[c]);
            normalIds[fv] = static_cast<int>(fv);
        }
    }
}

PlugPath elementPath(std::uint32_t nodeId, const char* arrayAttr, std::int32_t index) {
    PlugPath p = pathFor(findAttr(scene().nodes[nodeId], arrayAttr));
    p.back().index = index;
    return p;
}

bool geometrySource(std::uint32_t id, const PlugPath& path, std::uint32_t& shape, int depth) {
    if (depth > 64) return false;
    std::uint32_t src;
    PlugPath srcPath;
    if (sourceOf(id, path, src, srcPath)) return geometrySource(src, srcPath, shape, depth + 1);
    const NodeRec& n = scene().nodes[id];
    if (n.mesh || n.nurbs) return shape = id, true;
    if (tuloTypeIsA(n.type->code, TFn::kGeometryFilter) && path.size() == 1 && path[0].index >= 0 &&
        attrAt(path[0].attr).longName == "outputGeometry") {
        PlugPath in = elementPath(id, "input", path[0].index);
        in.push_back({findAttr(n, "inputGeometry"), kNoIndex});
        return geometrySource(id, in, shape, depth + 1);
    }
    return false;
}

namespace {
std::uint32_t shapeWalk(std::uint32_t id, const PlugPath& path, bool downstream, int type, int depth) {
    const Scene& s = scene();
    if (depth > 64) return UINT32_MAX;  // a cycle
    auto fits = [&](std::uint32_t n) {
        return s.nodes[n].type->shape && (type == 0 || tuloTypeIsA(s.nodes[n].type->code, type));
    };
    auto filter = [&](std::uint32_t n) { return tuloTypeIsA(s.nodes[n].type->code, TFn::kGeometryFilter); };
    if (!downstream) {
        std::uint32_t src;
        PlugPath srcPath;
        if (!sourceOf(id, path, src, srcPath)) return UINT32_MAX;
        if (fits(src)) return src;
        // Through a deformer, on to its matching input.
        if (!filter(src) || srcPath.empty() || srcPath[0].index < 0) return UINT32_MAX;
        PlugPath in = elementPath(src, "input", srcPath[0].index);
        in.push_back({findAttr(s.nodes[src], "inputGeometry"), kNoIndex});
        return shapeWalk(src, in, false, type, depth + 1);
    }
    for (std::uint32_t c : sortedConns(s.nodes[id], true)) {
        const Conn& cc = s.conns[c];
        if (cc.srcPath != path) continue;
        if (fits(cc.dst)) return cc.dst;
        if (filter(cc.dst) && cc.dstPath.size() == 2 && cc.dstPath[0].index >= 0)
            return shapeWalk(cc.dst, elementPath(cc.dst, "outputGeometry", cc.dstPath[0].index), true, type, depth + 1);
    }
    return UINT32_MAX;
}
}  // namespace

std::uint32_t shapeFrom(std::uint32_t id, const PlugPath& path, bool downstream, int type) {
    return shapeWalk(id, path, downstream, type, 0);
}

std::uint32_t shapeOf(const TObject& o, int type) {
    const NodeRec* n = node(o);
    if (!n || o.id() == 0) return UINT32_MAX;
    if (tuloTypeIsA(n->type->code, type)) return o.id();
    if (!tuloTypeIsA(n->type->code, TFn::kTransform)) return UINT32_MAX;
    for (std::uint32_t c : n->children)
        if (scene().nodes[c].type->shape && tuloTypeIsA(scene().nodes[c].type->code, type)) return c;
    return UINT32_MAX;
}

namespace {
template <class T>
void list(std::ostream& out, const char* label, const std::vector<T>& v, std::size_t per = 0) {
    out << "  " << label;
    for (std::size_t i = 0; i < v.size(); ++i)
        out << ((per && i % per == 0 && i) ? " /" : "") << " " << tuloFormatDouble(static_cast<double>(v[i]));
    out << "\n";
}

std::string nameOf(std::uint32_t id) { return scene().nodes[id].gen ? scene().nodes[id].name : "<deleted>"; }
}  // namespace

void dumpGeometry(std::uint32_t id, std::ostream& out) {
    const NodeRec& n = scene().nodes[id];
    if (const MeshData* m = n.mesh.get()) {
        list(out, "points", m->points, 3);
        list(out, "counts", m->counts);
        list(out, "connects", m->connects);
        list(out, "normals", m->normals, 3);
        list(out, "normalIds", m->normalIds);
        for (const auto& set : m->uvSets) {
            out << "  uvSet " << set.name << "\n";
            list(out, "u", set.u);
            list(out, "v", set.v);
            list(out, "uvIds", set.ids);
            for (std::uint32_t t : set.textures) out << "  uvTexture " << nameOf(t) << "\n";
        }
        if (!m->colors.empty()) list(out, "colors", m->colors, 4);
        if (!m->colorIds.empty()) list(out, "colorIds", m->colorIds);
    }
    if (const NurbsData* s = n.nurbs.get()) {
        out << "  nurbs " << s->numU << "x" << s->numV << " degree " << s->degreeU << " " << s->degreeV << " form "
            << s->formU << " " << s->formV << " rational " << s->rational << "\n";
        list(out, "knotsU", s->knotsU);
        list(out, "knotsV", s->knotsV);
        list(out, "cvs", s->cvs, 4);
    }
    if (n.restriction) out << "  restriction " << n.restriction << "\n";
    for (const SetMember& m : n.members) {
        out << "  member";
        for (const TObject& o : m.path) out << " " << (node(o) ? nameOf(o.id()) : "<deleted>");
        const ComponentRec* c = m.component.kind() == TObject::kComponentKind && m.component.id() < scene().components.size()
                                    ? &scene().components[m.component.id()]
                                    : nullptr;
        if (c) {
            out << " component " << c->type << " complete " << c->complete;
            for (std::size_t i = 0; i < c->first.size(); ++i)
                out << " " << c->first[i] << (c->second.empty() ? "" : "," + std::to_string(c->second[i]));
        }
        out << "\n";
    }
    if (const SkinData* k = n.skin.get()) {
        out << "  influences";
        for (std::uint32_t i : k->influences) out << " " << nameOf(i);
        out << "\n";
        for (const auto& w : k->weights) {
            out << "  skinWeights " << w.first;
            for (float x : w.second) out << " " << tuloFormatDouble(x);
            out << "\n";
        }
    }
    if (const BlendData* b = n.blend.get()) {
        out << "  bases";
        for (std::uint32_t i : b->bases) out << " " << nameOf(i);
        out << "\n";
        for (const auto& t : b->targets) {
            out << "  targets " << t.first.first << " " << t.first.second;
            for (std::uint32_t i : t.second) out << " " << nameOf(i);
            out << "\n";
        }
    }
}

}  // namespace tulo_detail
