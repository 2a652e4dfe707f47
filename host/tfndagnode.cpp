#include "tfndagnode.h"

#include <algorithm>

#include "dagpathlink.h"
#include "scene.h"

using namespace tulo_detail;

namespace {
// The world counts: it is the parent of top-level nodes, with name and path "".
bool dagNode(const TObject& o) {
    const NodeRec* n = tulo_detail::node(o);
    return n && isDag(*n);
}

}  // namespace

namespace tulo_detail {

// Under `parent` (0: the world) at `index`; the name is renumbered when it clashes there.
bool reparent(std::uint32_t child, std::uint32_t parent, unsigned index, bool keep) {
    Scene& s = scene();
    NodeRec& c = s.nodes[child];
    if (child == parent || !isDag(s.nodes[parent]) || s.nodes[parent].type->shape) return false;
    if (c.type->shape && parent == 0) return false;
    // No cycles: the new parent may not lie below the child.
    std::vector<std::uint32_t> todo{parent};
    while (!todo.empty()) {
        std::uint32_t id = todo.back();
        todo.pop_back();
        if (id == child) return false;
        todo.insert(todo.end(), s.nodes[id].parents.begin(), s.nodes[id].parents.end());
    }
    if (std::find(c.parents.begin(), c.parents.end(), parent) != c.parents.end()) return keep ? false : true;
    unindexName(child);
    dagChanged();
    if (!keep) {
        for (std::uint32_t p : c.parents) {
            auto& pc = s.nodes[p].children;
            pc.erase(std::remove(pc.begin(), pc.end(), child), pc.end());
        }
        c.parents.clear();
    }
    c.parents.push_back(parent);
    auto& siblings = s.nodes[parent].children;
    auto at = index >= siblings.size() ? siblings.end() : siblings.begin() + index;
    if (c.type->shape)
        at = std::min(at, std::find_if(siblings.begin(), siblings.end(),
                                       [&](std::uint32_t x) { return !s.nodes[x].type->shape; }));
    else
        at = std::max(at, std::find_if(siblings.begin(), siblings.end(),
                                       [&](std::uint32_t x) { return !s.nodes[x].type->shape; }));
    siblings.insert(at, child);
    std::string name = c.name;
    c.name.clear();
    setNodeName(child, uniqueName(child, name));
    return true;
}

}  // namespace tulo_detail

bool TFnDagNode::attachedDag(const char* user) const {
    if (!attached(user)) return false;
    if (!path_.empty() && !path_.isValid()) {
        fault("invalid path", std::string(user) + " on a path whose nodes were deleted or reparented");
        return false;
    }
    return true;
}

TFnDagNode::TFnDagNode(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TFnDagNode::TFnDagNode(const TDagPath& path, TStatus* status) { put(status, setObject(path)); }

TStatus TFnDagNode::setObject(const TObject& object) {
    object_ = TObject();
    path_ = TDagPath();
    if (object.isNull() || !liveNode(object, "TFnDagNode") || !dagNode(object)) return TStatus::kFailure;
    object_ = object;
    return TStatus::kSuccess;
}

TStatus TFnDagNode::setObject(const TDagPath& path) {
    object_ = TObject();
    path_ = TDagPath();
    TStatus status;
    TObject end = path.node(&status);
    if (!status || !dagNode(end)) return TStatus::kFailure;
    object_ = end;
    path_ = path;
    return TStatus::kSuccess;
}

TObject TFnDagNode::create(const TString& type, const TObject& parent, TStatus* status) {
    return create(type, TString(), parent, status);
}

TObject TFnDagNode::create(const TString& type, const TString& name, const TObject& parent, TStatus* status) {
    const TypeRec* t = typeByName(type.str());
    const NodeRec* p = tulo_detail::node(parent);
    bool badParent = !parent.isNull() && (!p || !isDag(*p) || p->type->shape);
    if (!parent.isNull() && !p) liveNode(parent, "TFnDagNode::create");
    if (!t || !t->dag || t->code == TFn::kWorld || badParent) return put(status, TStatus::kFailure), TObject();
    std::uint32_t under = parent.isNull() ? 0 : parent.id();
    TObject made;
    if (t->shape && under == 0) {
        TObject xform = createNode(*typeByName("transform"), name.length() ? name.str() : t->name + "1", 0);
        createNode(*t, "", xform.id());
        made = xform;
    } else {
        made = createNode(*t, name.str(), under);
    }
    setObject(made);
    put(status, TStatus::kSuccess);
    return made;
}

TStatus TFnDagNode::getPath(TDagPath& path) const {
    if (!attachedDag("TFnDagNode::getPath")) return TStatus::kFailure;
    if (!path_.empty()) {
        path = path_;
        return TStatus::kSuccess;
    }
    return TDagPath::getAPathTo(object_, path);
}

TDagPath TFnDagNode::dagPath(TStatus* status) const {
    TDagPath p;
    put(status, getPath(p));
    return p;
}

TString TFnDagNode::fullPathName(TStatus* status) const {
    TDagPath p;
    if (!put(status, getPath(p))) return TString();
    return p.fullPathName(status);
}

TString TFnDagNode::partialPathName(TStatus* status) const {
    TDagPath p;
    if (!put(status, getPath(p))) return TString();
    return p.partialPathName(status);
}

unsigned TFnDagNode::parentCount(TStatus* status) const {
    if (!attachedDag("TFnDagNode::parentCount")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(scene().nodes[object_.id()].parents.size());
}

TObject TFnDagNode::parent(unsigned index, TStatus* status) const {
    if (!attachedDag("TFnDagNode::parent")) return put(status, TStatus::kFailure), TObject();
    const auto& parents = scene().nodes[object_.id()].parents;
    if (index >= parents.size()) {
        indexFault("TFnDagNode::parent", index, parents.size());
        return put(status, TStatus::kFailure), TObject();
    }
    put(status, TStatus::kSuccess);
    return handle(parents[index]);
}

unsigned TFnDagNode::childCount(TStatus* status) const {
    if (!attachedDag("TFnDagNode::childCount")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(scene().nodes[object_.id()].children.size());
}

TObject TFnDagNode::child(unsigned index, TStatus* status) const {
    if (!attachedDag("TFnDagNode::child")) return put(status, TStatus::kFailure), TObject();
    const auto& children = scene().nodes[object_.id()].children;
    if (index >= children.size()) {
        indexFault("TFnDagNode::child", index, children.size());
        return put(status, TStatus::kFailure), TObject();
    }
    put(status, TStatus::kSuccess);
    return handle(children[index]);
}

bool TFnDagNode::isInstanced(bool indirect, TStatus* status) const {
    if (!attachedDag("TFnDagNode::isInstanced")) return put(status, TStatus::kFailure), false;
    put(status, TStatus::kSuccess);
    return indirect ? pathCount(object_.id()) > 1 : scene().nodes[object_.id()].parents.size() > 1;
}

unsigned TFnDagNode::instanceCount(bool total, TStatus* status) const {
    if (!attachedDag("TFnDagNode::instanceCount")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return total ? pathCount(object_.id()) : static_cast<unsigned>(scene().nodes[object_.id()].parents.size());
}

TStatus TFnDagNode::addChild(TObject& child, unsigned index, bool keepExistingParents) {
    if (!attachedDag("TFnDagNode::addChild") || !dagNode(child) || child.id() == 0) return TStatus::kFailure;
    return reparent(child.id(), object_.id(), index, keepExistingParents) ? TStatus::kSuccess : TStatus::kFailure;
}

TStatus TFnDagNode::removeChild(TObject& child) {
    if (!attachedDag("TFnDagNode::removeChild") || !dagNode(child) || child.id() == 0) return TStatus::kFailure;
    NodeRec& c = scene().nodes[child.id()];
    auto it = std::find(c.parents.begin(), c.parents.end(), object_.id());
    if (it == c.parents.end()) return TStatus::kFailure;
    if (c.parents.size() == 1) return reparent(child.id(), 0, kNextPos, false) ? TStatus::kSuccess : TStatus::kFailure;
    c.parents.erase(it);
    dagChanged();
    auto& siblings = scene().nodes[object_.id()].children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), child.id()), siblings.end());
    return TStatus::kSuccess;
}

namespace {
// The node itself when it has the type, else the first direct shape child of a transform with it.
std::uint32_t fitting(const TObject& o, int type) {
    const NodeRec* n = tulo_detail::node(o);
    if (!n || o.id() == 0) return UINT32_MAX;
    if (tuloTypeIsA(n->type->code, type)) return o.id();
    if (!tuloTypeIsA(n->type->code, TFn::kTransform)) return UINT32_MAX;
    for (std::uint32_t c : n->children)
        if (scene().nodes[c].type->shape && tuloTypeIsA(scene().nodes[c].type->code, type)) return c;
    return UINT32_MAX;
}
}  // namespace

TStatus TFnDagNode::attachShape(const TObject& object, int type) {
    object_ = TObject();
    path_ = TDagPath();
    if (object.isNull() || !liveNode(object, "function set")) return TStatus::kFailure;
    std::uint32_t id = fitting(object, type);
    if (id == UINT32_MAX) return TStatus::kFailure;
    object_ = handle(id);
    return TStatus::kSuccess;
}

TStatus TFnDagNode::attachShape(const TDagPath& path, int type) {
    object_ = TObject();
    path_ = TDagPath();
    TStatus status;
    TObject end = path.node(&status);
    if (!status) return TStatus::kFailure;
    std::uint32_t id = fitting(end, type);
    if (id == UINT32_MAX) return TStatus::kFailure;
    object_ = handle(id);
    path_ = id != end.id() ? TDagPath(pathLink(path.link(), object_)) : path;
    return TStatus::kSuccess;
}

double TFnDagNode::number(const char* attr, TStatus* status) const {
    if (!attachedDag(attr)) return put(status, TStatus::kFailure), 0;
    const NodeRec& n = scene().nodes[object_.id()];
    std::uint32_t a = findAttr(n, attr);
    Value v;
    if (a == UINT32_MAX || !readValue(object_.id(), pathFor(a), v, 0)) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return v.num;
}

TStatus TFnDagNode::setNumber(const char* attr, double value) {
    if (!attachedDag(attr)) return TStatus::kFailure;
    std::uint32_t a = findAttr(scene().nodes[object_.id()], attr);
    if (a == UINT32_MAX) return TStatus::kFailure;
    return TPlug(object_, pathFor(a)).setValue(value);
}
