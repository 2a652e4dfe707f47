#include "tfndeformer.h"

#include <algorithm>
#include <cmath>

#include "scene.h"

using namespace tulo_detail;

namespace {
std::size_t pointCount(std::uint32_t shape) {
    const NodeRec& n = scene().nodes[shape];
    if (n.mesh) return n.mesh->numVertices();
    if (n.nurbs) return static_cast<std::size_t>(n.nurbs->numU) * static_cast<std::size_t>(n.nurbs->numV);
    return 0;
}

// The geometry input and output plugs of a shape.
PlugPath shapePlug(std::uint32_t shape, bool input) {
    const NodeRec& n = scene().nodes[shape];
    return pathFor(findAttr(n, n.mesh ? (input ? "inMesh" : "outMesh") : (input ? "create" : "local")));
}

// The deformer between the shape and what fed it: that source now feeds the deformer's first
// input geometry, and the deformer's first output feeds the shape.
void insertDeformer(std::uint32_t deformer, std::uint32_t shape) {
    PlugPath in = shapePlug(shape, true);
    std::uint32_t src;
    PlugPath srcPath;
    if (sourceOf(shape, in, src, srcPath)) {
        disconnect(src, srcPath, shape, in);
        PlugPath input = elementPath(deformer, "input", 0);
        input.push_back({findAttr(scene().nodes[deformer], "inputGeometry"), kNoIndex});
        connect(src, srcPath, deformer, input);
    }
    connect(deformer, elementPath(deformer, "outputGeometry", 0), shape, in);
}
}  // namespace

TFnGeometryFilter::TFnGeometryFilter(const TObject& object, TStatus* status) { put(status, setObject(object)); }

bool TFnGeometryFilter::fits(const TObject& object, int type) {
    object_ = object.hasFn(type) ? object : TObject();
    if (object_.isNull()) liveNode(object, "deformer function set");
    return !object_.isNull();
}

TStatus TFnGeometryFilter::setObject(const TObject& object) {
    return fits(object, TFn::kGeometryFilter) ? TStatus::kSuccess : TStatus::kFailure;
}

TStatus TFnGeometryFilter::getInputGeometry(TObjectArray& shapes) const {
    if (!attached("TFnGeometryFilter::getInputGeometry")) return TStatus::kFailure;
    shapes.clear();
    std::uint32_t id = object_.id();
    std::uint32_t child = findAttr(scene().nodes[id], "inputGeometry");
    for (std::int32_t e : existingElements(id, pathFor(findAttr(scene().nodes[id], "input")))) {
        PlugPath p = elementPath(id, "input", e);
        p.push_back({child, kNoIndex});
        std::uint32_t shape = shapeFrom(id, p, false, 0);
        if (shape != UINT32_MAX) shapes.append(handle(shape));
    }
    return TStatus::kSuccess;
}

TStatus TFnGeometryFilter::getOutputGeometry(TObjectArray& shapes) const {
    if (!attached("TFnGeometryFilter::getOutputGeometry")) return TStatus::kFailure;
    shapes.clear();
    std::uint32_t id = object_.id();
    for (std::int32_t e : existingElements(id, pathFor(findAttr(scene().nodes[id], "outputGeometry")))) {
        std::uint32_t shape = shapeFrom(id, elementPath(id, "outputGeometry", e), true, 0);
        if (shape != UINT32_MAX) shapes.append(handle(shape));
    }
    return TStatus::kSuccess;
}

std::int32_t TFnGeometryFilter::outputIndexOf(std::uint32_t shape) const {
    std::uint32_t id = object_.id();
    for (std::int32_t e : existingElements(id, pathFor(findAttr(scene().nodes[id], "outputGeometry"))))
        if (shapeFrom(id, elementPath(id, "outputGeometry", e), true, 0) == shape) return e;
    return -1;
}

float TFnGeometryFilter::envelope(TStatus* status) const {
    double v = 0;
    if (!attached("TFnGeometryFilter::envelope") || !findPlug("envelope").getValue(v)) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<float>(v);
}

TStatus TFnGeometryFilter::setEnvelope(float v) {
    if (!attached("TFnGeometryFilter::setEnvelope")) return TStatus::kFailure;
    return findPlug("envelope").setValue(v);
}

TFnSkinCluster::TFnSkinCluster(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnSkinCluster::setObject(const TObject& object) {
    return fits(object, TFn::kSkinCluster) ? TStatus::kSuccess : TStatus::kFailure;
}

namespace tulo_detail {

void bindSkin(std::uint32_t skinId, std::uint32_t shape, const std::vector<std::uint32_t>& influences) {
    auto data = std::make_unique<SkinData>();
    const std::size_t points = pointCount(shape);
    data->influences = influences;
    data->points[0] = points;
    data->weights[0].assign(influences.size() * points, 0.0f);
    scene().nodes[skinId].skin = std::move(data);
    TObject skin = handle(skinId);
    TFnDependencyNode skinFn(skin);
    TObject pose;
    for (std::size_t i = 0; i < influences.size(); ++i) {
        TObject influence = handle(influences[i]);
        TMatrix world = TDagPath::getAPathTo(influence).inclusiveMatrix();
        skinFn.findPlug("bindPreMatrix").elementByLogicalIndex(static_cast<unsigned>(i)).setValue(world.inverse());
        if (influence.hasFn(TFn::kJoint)) {
            TFnDependencyNode(influence).findPlug("bindPose").setValue(world);
            continue;
        }
        if (pose.isNull()) {
            pose = createNode(*typeByName("dagPose"), "bindPose1", 0);
            TFnDependencyNode(pose).findPlug("bindPose").setValue(true);
        }
        TFnDependencyNode poseFn(pose);
        TDGModifier m;
        m.connect(TFnDependencyNode(influence).findPlug("message"),
                  poseFn.findPlug("members").elementByLogicalIndex(static_cast<unsigned>(i)));
        m.doIt();
        poseFn.findPlug("worldMatrix").elementByLogicalIndex(static_cast<unsigned>(i)).setValue(world);
    }
    skinFn.findPlug("geomMatrix").setValue(TDagPath::getAPathTo(handle(shape)).inclusiveMatrix());
}

}  // namespace tulo_detail

TObject TFnSkinCluster::create(const TObject& base, const TDagPathArray& influences, TStatus* status) {
    std::uint32_t shape = shapeOf(base, TFn::kShape);
    if (shape == UINT32_MAX) liveNode(base, "TFnSkinCluster::create");
    if (shape == UINT32_MAX || pointCount(shape) == 0 || influences.length() == 0) return put(status, TStatus::kFailure), TObject();
    std::vector<std::uint32_t> ids;
    for (unsigned i = 0; i < influences.length(); ++i) {
        const TDagPath& p = influences[i];
        if (!p.isValid() || !p.back().hasFn(TFn::kTransform)) return put(status, TStatus::kFailure), TObject();
        std::uint32_t id = p.back().id();
        if (std::find(ids.begin(), ids.end(), id) != ids.end()) return put(status, TStatus::kFailure), TObject();
        ids.push_back(id);
    }
    TObject d = createNode(*typeByName("skinCluster"), "skinCluster1", 0);
    std::uint32_t id = d.id();
    insertDeformer(id, shape);
    bindSkin(id, shape, ids);
    setObject(d);
    put(status, TStatus::kSuccess);
    return d;
}

TStatus TFnSkinCluster::setWeights(const TDagPath& path, const TObject& components, unsigned influence,
                                   const TDoubleArray& weights) {
    if (!attached("TFnSkinCluster::setWeights")) return TStatus::kFailure;
    SkinData* k = scene().nodes[object_.id()].skin.get();
    TStatus s;
    TObject end = path.node(&s);
    std::uint32_t shape = s ? shapeOf(end, TFn::kShape) : UINT32_MAX;
    std::int32_t out = shape == UINT32_MAX ? -1 : outputIndexOf(shape);
    if (!k || out < 0 || influence >= k->influences.size() || !k->weights.count(out)) return TStatus::kFailure;
    const std::size_t points = k->points.at(out);
    const std::size_t n = weights.length();
    std::vector<std::size_t> at(n);
    if (components.isNull()) {
        if (n != points) return TStatus::kFailure;
        for (std::size_t i = 0; i < n; ++i) at[i] = i;
    } else {
        const int type = components.apiType();
        const NodeRec& sn = scene().nodes[shape];
        if (components.kind() != TObject::kComponentKind || components.id() >= scene().components.size() ||
            scene().components[components.id()].gen != components.generation())
            return TStatus::kFailure;
        const ComponentRec& c = scene().components[components.id()];
        const bool single = type == TFn::kSingleIndexedComponent && sn.mesh;
        const bool cvs = type == TFn::kDoubleIndexedComponent && sn.nurbs;
        const std::size_t count = c.complete >= 0 ? static_cast<std::size_t>(c.complete) : c.first.size();
        if ((!single && !cvs) || count != n) return TStatus::kFailure;
        const std::size_t numV = cvs ? static_cast<std::size_t>(sn.nurbs->numV) : 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (c.complete >= 0) {
                at[i] = i;
            } else if (single) {
                if (c.first[i] < 0) return TStatus::kFailure;
                at[i] = static_cast<std::size_t>(c.first[i]);
            } else {
                if (c.first[i] < 0 || i >= c.second.size() || c.second[i] < 0 || static_cast<std::size_t>(c.second[i]) >= numV)
                    return TStatus::kFailure;
                at[i] = static_cast<std::size_t>(c.first[i]) * numV + static_cast<std::size_t>(c.second[i]);
            }
            if (at[i] >= points) return TStatus::kFailure;
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(weights[static_cast<unsigned>(i)])) return TStatus::kFailure;
    float* column = k->weights.at(out).data() + influence * points;
    for (std::size_t i = 0; i < n; ++i) column[at[i]] = static_cast<float>(weights[static_cast<unsigned>(i)]);
    return TStatus::kSuccess;
}

unsigned TFnSkinCluster::influenceObjects(TDagPathArray& paths, TStatus* status) const {
    paths.clear();
    if (!attached("TFnSkinCluster::influenceObjects")) return put(status, TStatus::kFailure), 0;
    const SkinData* k = scene().nodes[object_.id()].skin.get();
    if (k)
        for (std::uint32_t i : k->influences)
            if (!handle(i).isNull()) paths.append(TDagPath::getAPathTo(handle(i)));
    put(status, TStatus::kSuccess);
    return paths.length();
}

unsigned TFnSkinCluster::indexForInfluenceObject(const TDagPath& path, TStatus* status) const {
    if (!attached("TFnSkinCluster::indexForInfluenceObject")) return put(status, TStatus::kFailure), 0;
    const SkinData* k = scene().nodes[object_.id()].skin.get();
    TStatus s;
    TObject n = path.node(&s);
    if (k && s)
        for (std::size_t i = 0; i < k->influences.size(); ++i)
            if (k->influences[i] == n.id() && !handle(n.id()).isNull()) return put(status, TStatus::kSuccess), static_cast<unsigned>(i);
    put(status, TStatus::kFailure);
    return 0;
}

TStatus TFnSkinCluster::getWeights(const TDagPath& path, const TObject& components, unsigned influence,
                                   TFloatArray& weights) const {
    weights.clear();
    if (!attached("TFnSkinCluster::getWeights")) return TStatus::kFailure;
    const SkinData* k = scene().nodes[object_.id()].skin.get();
    TStatus s;
    TObject end = path.node(&s);
    std::uint32_t shape = s ? shapeOf(end, TFn::kShape) : UINT32_MAX;
    std::int32_t out = shape == UINT32_MAX ? -1 : outputIndexOf(shape);
    if (!k || out < 0 || influence >= k->influences.size() || !k->weights.count(out)) return TStatus::kFailure;
    const std::vector<float>& w = k->weights.at(out);
    std::size_t points = k->points.at(out);
    const float* column = w.data() + influence * points;
    auto& result = weights.values();
    if (components.isNull()) {
        result.assign(column, column + points);
        return TStatus::kSuccess;
    }
    int type = components.apiType();
    if (type != TFn::kSingleIndexedComponent && type != TFn::kDoubleIndexedComponent) return TStatus::kFailure;
    const ComponentRec& c = scene().components[components.id()];
    std::size_t numV = scene().nodes[shape].nurbs ? static_cast<std::size_t>(scene().nodes[shape].nurbs->numV) : 0;
    std::size_t n = c.complete >= 0 ? static_cast<std::size_t>(c.complete) : c.first.size();
    result.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t p = c.complete >= 0 ? i
                        : type == TFn::kSingleIndexedComponent
                            ? static_cast<std::size_t>(c.first[i])
                            : static_cast<std::size_t>(c.first[i]) * numV + static_cast<std::size_t>(c.second[i]);
        bool inside = c.complete >= 0 || (c.first[i] >= 0 && (type == TFn::kSingleIndexedComponent ||
                                                              (c.second[i] >= 0 && static_cast<std::size_t>(c.second[i]) < numV)));
        if (!inside || p >= points) {
            indexFault("TFnSkinCluster::getWeights component", static_cast<unsigned>(p), points);
            result.clear();
            return TStatus::kFailure;
        }
        result[i] = column[p];
    }
    return TStatus::kSuccess;
}

TFnBlendShapeDeformer::TFnBlendShapeDeformer(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnBlendShapeDeformer::setObject(const TObject& object) {
    return fits(object, TFn::kBlendShape) ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TFnBlendShapeDeformer::create(const TObject& base, int, TStatus* status) {
    std::uint32_t shape = shapeOf(base, TFn::kShape);
    if (shape == UINT32_MAX) liveNode(base, "TFnBlendShapeDeformer::create");
    if (shape == UINT32_MAX || pointCount(shape) == 0 || (!scene().nodes[shape].mesh && !scene().nodes[shape].nurbs))
        return put(status, TStatus::kFailure), TObject();
    TObject d = createNode(*typeByName("blendShape"), "blendShape1", 0);
    std::uint32_t id = d.id();
    insertDeformer(id, shape);
    scene().nodes[id].blend = std::make_unique<BlendData>();
    scene().nodes[id].blend->bases.push_back(shape);
    setObject(d);
    put(status, TStatus::kSuccess);
    return d;
}

int TFnBlendShapeDeformer::baseIndex(const TObject& base) const {
    const BlendData* b = scene().nodes[object_.id()].blend.get();
    std::uint32_t shape = shapeOf(base, TFn::kShape);
    if (!b || shape == UINT32_MAX) return -1;
    auto it = std::find(b->bases.begin(), b->bases.end(), shape);
    return it == b->bases.end() ? -1 : static_cast<int>(it - b->bases.begin());
}

TStatus TFnBlendShapeDeformer::addBaseObject(const TObject& base) {
    if (!attached("TFnBlendShapeDeformer::addBaseObject")) return TStatus::kFailure;
    std::uint32_t shape = shapeOf(base, TFn::kShape);
    if (shape == UINT32_MAX || pointCount(shape) == 0) return TStatus::kFailure;
    auto& b = scene().nodes[object_.id()].blend;
    if (!b) b = std::make_unique<BlendData>();
    if (baseIndex(base) < 0) b->bases.push_back(shape);
    return TStatus::kSuccess;
}

TStatus TFnBlendShapeDeformer::addTarget(const TObject& base, int index, const TObject& target, double) {
    if (!attached("TFnBlendShapeDeformer::addTarget")) return TStatus::kFailure;
    int b = baseIndex(base);
    std::uint32_t t = shapeOf(target, TFn::kShape);
    if (b < 0 || index < 0 || t == UINT32_MAX) return TStatus::kFailure;
    std::uint32_t baseShape = scene().nodes[object_.id()].blend->bases[static_cast<std::size_t>(b)];
    if (pointCount(t) != pointCount(baseShape)) return TStatus::kFailure;
    auto& targets = scene().nodes[object_.id()].blend->targets[{static_cast<std::size_t>(b), index}];
    if (std::find(targets.begin(), targets.end(), t) == targets.end()) targets.push_back(t);
    TPlug weight(object_, elementPath(object_.id(), "weight", index));
    if (!weight.isConnected() && !weight.setValue(0.0)) return TStatus::kFailure;
    // The label is the name the user sees: the target's transform.
    const NodeRec& tn = scene().nodes[t];
    std::uint32_t named = tn.type->shape && !tn.parents.empty() && tn.parents[0] != 0 ? tn.parents[0] : t;
    scene().nodes[object_.id()].labels[weight.entries()] = scene().nodes[named].name;
    return TStatus::kSuccess;
}

TStatus TFnBlendShapeDeformer::getBaseObjects(TObjectArray& bases) const {
    if (!attached("TFnBlendShapeDeformer::getBaseObjects")) return TStatus::kFailure;
    bases.clear();
    if (const BlendData* b = scene().nodes[object_.id()].blend.get())
        for (std::uint32_t s : b->bases)
            if (!handle(s).isNull()) bases.append(handle(s));
    return TStatus::kSuccess;
}

unsigned TFnBlendShapeDeformer::numWeights(TStatus* status) const {
    TIntArray list;
    put(status, weightIndexList(list));
    return list.length();
}

TStatus TFnBlendShapeDeformer::weightIndexList(TIntArray& indices) const {
    if (!attached("TFnBlendShapeDeformer::weightIndexList")) return TStatus::kFailure;
    indices.values() = existingElements(object_.id(), pathFor(findAttr(scene().nodes[object_.id()], "weight")));
    return TStatus::kSuccess;
}

TStatus TFnBlendShapeDeformer::getTargets(const TObject& base, int index, TObjectArray& targets) const {
    targets.clear();
    if (!attached("TFnBlendShapeDeformer::getTargets")) return TStatus::kFailure;
    int b = baseIndex(base);
    if (b < 0) return TStatus::kFailure;
    const auto& all = scene().nodes[object_.id()].blend->targets;
    auto it = all.find({static_cast<std::size_t>(b), index});
    if (it != all.end())
        for (std::uint32_t t : it->second)
            if (!handle(t).isNull()) targets.append(handle(t));
    return TStatus::kSuccess;
}
