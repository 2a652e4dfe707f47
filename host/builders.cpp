// Test API builders of geometry, shading and deformers.
#include <cmath>

#include "scene.h"
#include "standin.h"
#include "tfncomponent.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfnnurbssurface.h"
#include "tfnshading.h"

using namespace tulo_detail;

namespace {
TPlug plugOf(const TObject& node, const char* attr) { return TFnDependencyNode(node).findPlug(attr); }

TPlug geometryPlug(const TObject& shape, bool input) {
    const NodeRec* n = node(shape);
    if (!n) return TPlug();
    return plugOf(shape, n->mesh ? (input ? "inMesh" : "outMesh") : (input ? "create" : "local"));
}

TPlug element(const TObject& node, const char* attr, unsigned index) { return plugOf(node, attr).elementByLogicalIndex(index); }
TPlug elementChild(const TObject& node, const char* attr, unsigned index, const char* child) {
    PlugPath p = elementPath(node.id(), attr, static_cast<std::int32_t>(index));
    p.push_back({findAttr(scene().nodes[node.id()], child), kNoIndex});
    return TPlug(node, p);
}
}  // namespace

namespace standin {

TObject createCube(const std::string& name, bool hard, double size, const TObject& parent) {
    double h = size / 2;
    TFloatPointArray points;
    for (int i = 0; i < 8; ++i)
        points.append(static_cast<float>(i & 1 ? h : -h), static_cast<float>(i & 2 ? h : -h), static_cast<float>(i & 4 ? h : -h));
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    TIntArray counts(6, 4), connects;
    for (const auto& f : faces)
        for (int v : f) connects.append(v);
    TObject x = createNode("transform", name, parent);
    TFnMesh fn;
    TObject shape = fn.create(8, 6, points, counts, connects, x);
    if (hard && !shape.isNull()) scene().nodes[shape.id()].mesh->hardNormals();
    return shape;
}

TObject createGrid(const std::string& name, int n, int m, const TObject& parent) {
    TFloatPointArray points;
    points.values().reserve(static_cast<std::size_t>(n + 1) * static_cast<std::size_t>(m + 1));
    for (int j = 0; j <= m; ++j)
        for (int i = 0; i <= n; ++i) points.append(static_cast<float>(i), 0, static_cast<float>(j));
    TIntArray counts(static_cast<unsigned>(n * m), 4), connects;
    connects.values().reserve(4 * static_cast<std::size_t>(n) * static_cast<std::size_t>(m));
    for (int j = 0; j < m; ++j)
        for (int i = 0; i < n; ++i) {
            int a = j * (n + 1) + i;
            connects.values().insert(connects.values().end(), {a, a + n + 1, a + n + 2, a + 1});
        }
    TObject x = createNode("transform", name, parent);
    TFnMesh fn;
    return fn.create((n + 1) * (m + 1), n * m, points, counts, connects, x);
}

TObject createNurbs(const std::string& name, const std::vector<double>& cvs, const std::vector<double>& knotsU,
                    const std::vector<double>& knotsV, int degreeU, int degreeV, int formU, int formV,
                    const TObject& parent) {
    int nu = static_cast<int>(knotsU.size()) - degreeU + 1, nv = static_cast<int>(knotsV.size()) - degreeV + 1;
    // Structure only: the CV count must fit the knots, so reads stay inside.
    if (degreeU < 1 || degreeV < 1 || nu < 1 || nv < 1 || cvs.size() != 4 * static_cast<std::size_t>(nu) * static_cast<std::size_t>(nv))
        return TObject();
    TObject x = createNode("transform", name, parent);
    TObject shape = createNode("nurbsSurface", "", x);
    auto s = std::make_shared<NurbsData>();
    s->cvs = cvs;
    s->knotsU = knotsU;
    s->knotsV = knotsV;
    s->numU = nu;
    s->numV = nv;
    s->degreeU = degreeU;
    s->degreeV = degreeV;
    s->formU = formU;
    s->formV = formV;
    s->rational = true;
    scene().nodes[shape.id()].nurbs = s;
    return shape;
}

TObject createSet(const std::string& name, int restriction) {
    TFnSet fn;
    TObject set = fn.create(TSelectionList(), static_cast<TFnSet::Restriction>(restriction));
    if (!set.isNull() && !name.empty()) fn.setName(TString(name));
    return set;
}

bool addToSet(const TObject& set, const TDagPath& path, const TObject& component) {
    TStatus status;
    TFnSet fn(set, &status);
    return status && fn.addMember(path, component);
}

TObject createShadingGroup(const TObject& shader, const std::string& name) {
    std::string n = name.empty() ? TFnDependencyNode(shader).name().str() + "SG" : name;
    TObject sg = createSet(n, 5);
    if (!shader.isNull()) connect(plugOf(shader, "outColor"), plugOf(sg, "surfaceShader"));
    return sg;
}

bool assignFaces(const TObject& sg, const TDagPath& mesh, const std::vector<int>& faces) {
    TObject component;
    if (!faces.empty()) {
        TFnSingleIndexedComponent fn;
        component = fn.create(TFn::kMeshPolygonComponent);
        for (int f : faces) fn.addElement(f);
    }
    return addToSet(sg, mesh, component);
}

TObject createFileTexture(const std::string& name, const std::string& file, const TPlug& into) {
    TFnDependencyNode fn;
    TObject tex = fn.create("file", TString(name));
    TObject place = fn.create("place2dTexture", TString(name + "_place"));
    plugOf(tex, "fileTextureName").setValue(TString(file));
    connect(plugOf(place, "outUV"), plugOf(tex, "uv"));
    if (!into.isNull()) connect(plugOf(tex, "outColor"), into);
    return tex;
}

bool linkUVSetTexture(const TObject& mesh, const std::string& uvSet, const TObject& texture) {
    TStatus status;
    TFnMesh fn(mesh, &status);
    return status && fn.associateUVSetTexture(TString(uvSet), texture);
}

bool setFaceVertexColors(const TObject& mesh, const std::vector<float>& rgba) {
    NodeRec* n = node(mesh);
    if (!n || !n->mesh || rgba.size() != 4 * n->mesh->connects.size()) return false;
    MeshData& m = *n->mesh;
    m.colors.assign(rgba.size(), -1.0f);
    m.colorIds.assign(m.connects.size(), -1);
    for (std::size_t fv = 0; fv < m.connects.size(); ++fv) {
        if (rgba[4 * fv] < 0) continue;
        std::copy(rgba.begin() + static_cast<std::ptrdiff_t>(4 * fv), rgba.begin() + static_cast<std::ptrdiff_t>(4 * fv + 4),
                  m.colors.begin() + static_cast<std::ptrdiff_t>(4 * fv));
        m.colorIds[fv] = static_cast<int>(fv);
    }
    return true;
}

bool connectDeformer(const TObject& deformer, int index, const TObject& original, const TObject& final) {
    if (!deformer.hasFn(TFn::kGeometryFilter) || index < 0) return false;
    unsigned i = static_cast<unsigned>(index);
    bool ok = true;
    if (!original.isNull()) ok = connect(geometryPlug(original, false), elementChild(deformer, "input", i, "inputGeometry"));
    return ok && connect(element(deformer, "outputGeometry", i), geometryPlug(final, true));
}

TObject createSkin(const std::string& name, const TObject& original, const TObject& final,
                   const std::vector<TObject>& influences, const std::vector<std::vector<float>>& weights) {
    const NodeRec* f = node(final);
    std::size_t points = !f ? 0 : f->mesh ? f->mesh->numVertices() : f->nurbs ? static_cast<std::size_t>(f->nurbs->numU * f->nurbs->numV) : 0;
    if (points == 0 || weights.size() != influences.size()) return TObject();
    for (const auto& w : weights)
        if (w.size() != points) return TObject();
    TObject skin = createNode("skinCluster", name);
    if (!connectDeformer(skin, 0, original, final)) return TObject();
    std::vector<std::uint32_t> ids;
    for (const TObject& i : influences) ids.push_back(i.id());
    bindSkin(skin.id(), final.id(), ids);
    TFnSkinCluster fn(skin);
    TDagPath shape = TDagPath::getAPathTo(final);
    for (std::size_t i = 0; i < influences.size(); ++i) {
        TDoubleArray column;
        for (float w : weights[i]) column.append(w);
        fn.setWeights(shape, TObject(), static_cast<unsigned>(i), column);
    }
    return skin;
}

TObject createCluster(const std::string& name, const TObject& handleParent, const TDagPath& member,
                      const TObject& component, const std::vector<float>& weights, bool relative) {
    TStatus s;
    TObject shape = member.node(&s);
    if (!s || !node(handleParent)) return TObject();
    TObject cluster = createNode("cluster", name);
    TObject handle = createNode("clusterHandle", "", handleParent);
    TObject set = createSet(name + "Set");
    TObject group = createNode("groupId", name + "GroupId");
    connect(plugOf(handle, "message"), plugOf(cluster, "handle"));
    connect(plugOf(cluster, "message"), element(set, "usedBy", 0));
    connect(plugOf(group, "groupId"), elementChild(cluster, "input", 0, "groupId"));
    if (!connectDeformer(cluster, 0, TObject(), shape)) return TObject();
    addToSet(set, member, component);
    plugOf(cluster, "relative").setValue(relative);
    PlugPath w = elementPath(cluster.id(), "weightList", 0);
    w.push_back({findAttr(scene().nodes[cluster.id()], "weights"), kNoIndex});
    const ComponentRec* c = component.kind() == TObject::kComponentKind ? &scene().components[component.id()] : nullptr;
    std::size_t numV = scene().nodes[shape.id()].nurbs ? static_cast<std::size_t>(scene().nodes[shape.id()].nurbs->numV) : 0;
    for (std::size_t i = 0; c && i < c->first.size() && i < weights.size(); ++i) {
        w.back().index = static_cast<std::int32_t>(c->second.empty() ? static_cast<std::size_t>(c->first[i])
                                                                     : static_cast<std::size_t>(c->first[i]) * numV + static_cast<std::size_t>(c->second[i]));
        TPlug(cluster, w).setValue(static_cast<double>(weights[i]));
    }
    return cluster;
}

}  // namespace standin
