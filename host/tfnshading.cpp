#include "tfnshading.h"

#include "scene.h"

using namespace tulo_detail;

TFnSet::TFnSet(const TObject& object, TStatus* status) { put(status, setObject(object)); }

TStatus TFnSet::setObject(const TObject& object) {
    object_ = object.hasFn(TFn::kSet) ? object : TObject();
    if (object_.isNull()) liveNode(object, "TFnSet");
    return object_.isNull() ? TStatus::kFailure : TStatus::kSuccess;
}

namespace {

// Whether the item could be a member of a set: a valid path whose end holds every element of the
// component, or a live dependency node off the DAG.
bool memberFits(const TSelectionList::Item& item) {
    if (item.path.empty()) {
        const NodeRec* n = node(item.node);
        return n && !isDag(*n);
    }
    if (!item.path.isValid()) return false;
    if (item.component.isNull()) return true;
    if (item.component.kind() != TObject::kComponentKind || item.component.id() >= scene().components.size()) return false;
    const ComponentRec& c = scene().components[item.component.id()];
    if (c.gen == 0 || c.gen != item.component.generation()) return false;
    const NodeRec& end = scene().nodes[item.path.back().id()];
    std::size_t limit = 0, limitV = 0;
    if (c.type == TFn::kMeshPolygonComponent && end.mesh) limit = end.mesh->numPolygons();
    else if (c.type == TFn::kSingleIndexedComponent && end.mesh) limit = end.mesh->numVertices();
    else if (c.type == TFn::kDoubleIndexedComponent && end.nurbs)
        limit = static_cast<std::size_t>(end.nurbs->numU), limitV = static_cast<std::size_t>(end.nurbs->numV);
    else return false;
    if (c.complete >= 0) return static_cast<std::size_t>(c.complete) <= limit;
    if (c.first.empty()) return false;  // holds nothing
    for (std::size_t i = 0; i < c.first.size(); ++i) {
        if (c.first[i] < 0 || static_cast<std::size_t>(c.first[i]) >= limit) return false;
        if (c.type == TFn::kDoubleIndexedComponent &&
            (i >= c.second.size() || c.second[i] < 0 || static_cast<std::size_t>(c.second[i]) >= limitV))
            return false;
    }
    return true;
}

SetMember memberOf(const TSelectionList::Item& item) {
    if (item.path.empty()) return {{item.node}, TObject()};
    return {item.path.nodes(), item.component};
}

}  // namespace

TObject TFnSet::create(const TSelectionList& members, Restriction restriction, TStatus* status) {
    for (const TSelectionList::Item& item : members.items())
        if (!memberFits(item)) return put(status, TStatus::kFailure), TObject();
    if (restriction < kNone || restriction > kRenderableOnly) return put(status, TStatus::kFailure), TObject();
    TObject made = createNode(*typeByName("objectSet"), "set1", 0);
    object_ = made;
    scene().nodes[made.id()].restriction = restriction;
    for (const TSelectionList::Item& item : members.items()) {
        SetMember m = memberOf(item);
        if (!setHolds(made.id(), m)) appendMember(made.id(), std::move(m));
    }
    put(status, TStatus::kSuccess);
    return made;
}

TStatus TFnSet::addMembers(const TSelectionList& members) {
    if (!attached("TFnSet::addMembers")) return TStatus::kFailure;
    for (const TSelectionList::Item& item : members.items())
        if (!memberFits(item)) return TStatus::kFailure;
    for (const TSelectionList::Item& item : members.items()) {
        SetMember m = memberOf(item);
        if (!setHolds(object_.id(), m)) appendMember(object_.id(), std::move(m));
    }
    return TStatus::kSuccess;
}

TStatus TFnSet::addMember(const TDagPath& path, const TObject& component) {
    if (!attached("TFnSet::addMember")) return TStatus::kFailure;
    TSelectionList::Item item{path, path.empty() ? TObject() : path.back(), component};
    if (path.empty() || !memberFits(item)) return TStatus::kFailure;
    SetMember m = memberOf(item);
    if (!setHolds(object_.id(), m)) appendMember(object_.id(), std::move(m));
    return TStatus::kSuccess;
}

TStatus TFnSet::addMember(const TObject& node) {
    const NodeRec* n = tulo_detail::node(node);
    if (!n || isDag(*n)) return attached("TFnSet::addMember"), TStatus::kFailure;
    TSelectionList one;
    one.add(node);
    return addMembers(one);
}

TFnSet::Restriction TFnSet::restriction(TStatus* status) const {
    if (!attached("TFnSet::restriction")) return put(status, TStatus::kFailure), kNone;
    put(status, TStatus::kSuccess);
    return static_cast<Restriction>(scene().nodes[object_.id()].restriction);
}

TStatus TFnSet::getMembers(TSelectionList& members, bool) const {
    if (!attached("TFnSet::getMembers")) return TStatus::kFailure;
    members.clear();
    for (const SetMember& m : scene().nodes[object_.id()].members) {
        if (m.path.size() == 1 && node(m.path[0]) && !isDag(scene().nodes[m.path[0].id()])) {
            members.add(m.path[0]);
            continue;
        }
        TDagPath p(m.path);
        if (p.isValid()) members.add(p, m.component);
    }
    return TStatus::kSuccess;
}

bool TFnLambertShader::fits(const TObject& object, int type) {
    object_ = object.hasFn(type) ? object : TObject();
    if (object_.isNull()) liveNode(object, "shader function set");
    return !object_.isNull();
}

TFnLambertShader::TFnLambertShader(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnLambertShader::setObject(const TObject& object) {
    return fits(object, TFn::kLambert) ? TStatus::kSuccess : TStatus::kFailure;
}

TColor TFnLambertShader::triple(const char* attr, TStatus* status) const {
    TColor c;
    if (!attached(attr)) return put(status, TStatus::kFailure), c;
    TPlug p = findPlug(attr);
    double v[3] = {0, 0, 0};
    for (unsigned i = 0; i < 3; ++i)
        if (!p.child(i).getValue(v[i])) return put(status, TStatus::kFailure), c;
    put(status, TStatus::kSuccess);
    return TColor(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]), 1);
}

TStatus TFnLambertShader::setTriple(const char* attr, const TColor& c) {
    if (!attached(attr)) return TStatus::kFailure;
    TPlug p = findPlug(attr);
    for (unsigned i = 0; i < 3; ++i)
        if (!p.child(i).setValue(static_cast<double>(c[i]))) return TStatus::kFailure;
    return TStatus::kSuccess;
}

TColor TFnLambertShader::color(TStatus* status) const { return triple("color", status); }
TStatus TFnLambertShader::setColor(const TColor& c) { return setTriple("color", c); }
TColor TFnLambertShader::transparency(TStatus* status) const { return triple("transparency", status); }
TStatus TFnLambertShader::setTransparency(const TColor& c) { return setTriple("transparency", c); }
TColor TFnLambertShader::ambientColor(TStatus* status) const { return triple("ambientColor", status); }
TStatus TFnLambertShader::setAmbientColor(const TColor& c) { return setTriple("ambientColor", c); }

TFnReflectShader::TFnReflectShader(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnReflectShader::setObject(const TObject& object) {
    return fits(object, TFn::kReflect) ? TStatus::kSuccess : TStatus::kFailure;
}
TColor TFnReflectShader::specularColor(TStatus* status) const { return triple("specularColor", status); }
TStatus TFnReflectShader::setSpecularColor(const TColor& c) { return setTriple("specularColor", c); }

TFnPhongShader::TFnPhongShader(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnPhongShader::setObject(const TObject& object) {
    return fits(object, TFn::kPhong) ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TFnPhongShader::create(bool, TStatus* status) {
    TObject o = createNode(*typeByName("phong"), "phong1", 0);
    setObject(o);
    put(status, TStatus::kSuccess);
    return o;
}

float TFnPhongShader::cosPower(TStatus* status) const {
    double v = 0;
    if (!attached("TFnPhongShader::cosPower") || !findPlug("cosPower").getValue(v)) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<float>(v);
}

TStatus TFnPhongShader::setCosPower(float power) {
    if (!attached("TFnPhongShader::setCosPower") || !(power > 0)) return TStatus::kFailure;
    return findPlug("cosPower").setValue(power);
}
