// The scene store: handles, nodes, attributes, stored values and connections.
#include "scene.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace tulo_detail {

Scene::Scene() { reset(); }

void Scene::reset() {
    // Handles of the old scene stay dead: generations keep counting across resets.
    ++dagEpoch;
    nodes.clear();
    for (AttrRec& a : attrs) a.gen = 0;
    attrs.clear();
    conns.clear();
    connGen.clear();
    data.clear();
    components.clear();
    byName.clear();
    dgNameCount.clear();
    hints.clear();
    freedEpoch.clear();
    namespaces.clear();
    currentNamespace.clear();
    currentTime = 0;
    minTime = 0;
    maxTime = 1;
    selection.clear();
    membersByEnd.clear();
    NodeRec world;
    world.gen = nextGen++;
    world.type = typeByName("world");
    nodes.push_back(std::move(world));
}

namespace {
// The four default cameras of a fresh scene: persp looking at the origin, three orthographic.
void addDefaultCameras() {
    struct Cam {
        const char* name;
        double t[3], r[3];  // centimetres, degrees
        bool ortho;
    } cams[] = {{"persp", {28, 21, 28}, {-27.9, 45, 0}, false},
                {"top", {0, 1000.1, 0}, {-90, 0, 0}, true},
                {"front", {0, 0, 1000.1}, {0, 0, 0}, true},
                {"side", {1000.1, 0, 0}, {0, 90, 0}, true}};
    for (const Cam& c : cams) {
        TObject x = createNode(*typeByName("transform"), c.name, 0);
        TObject shape = createNode(*typeByName("camera"), "", x.id());
        auto set = [](std::uint32_t id, const char* attr, double v) {
            NodeRec& n = scene().nodes[id];
            n.values[pathFor(findAttr(n, attr))].num = v;
        };
        for (int i = 0; i < 3; ++i) {
            set(x.id(), (std::string("translate") + "XYZ"[i]).c_str(), c.t[i]);
            set(x.id(), (std::string("rotate") + "XYZ"[i]).c_str(), c.r[i] * M_PI / 180);
        }
        set(shape.id(), "orthographic", c.ortho ? 1 : 0);
    }
}
}  // namespace

Scene& scene() {
    static Scene s;
    static bool ready = false;
    if (!ready) {
        ready = true;
        addDefaultCameras();
    }
    return s;
}

void freshScene() {
    scene().reset();
    addDefaultCameras();
}

void fault(const std::string& kind, const std::string& text) {
    scene().faults.push_back({kind, text});
    note("// Host fault: " + kind + ": " + text);
}

void note(const std::string& line) { scene().transcript.push_back(line); }

NodeRec* node(const TObject& o) {
    if (o.kind() != TObject::kNode) return nullptr;
    Scene& s = scene();
    if (o.id() >= s.nodes.size()) return nullptr;
    NodeRec& n = s.nodes[o.id()];
    return n.gen == o.generation() && n.gen != 0 ? &n : nullptr;
}

NodeRec* liveNode(const TObject& o, const char* user) {
    NodeRec* n = node(o);
    if (!n && !o.isNull()) fault("dead node", std::string(user) + " used on a deleted or foreign object");
    return n;
}

TObject handle(std::uint32_t id) {
    const Scene& s = scene();
    if (id >= s.nodes.size() || s.nodes[id].gen == 0) return TObject();
    return TObject(TObject::kNode, id, s.nodes[id].gen);
}

AttrRec& attrAt(std::uint32_t id) {
    std::size_t n = staticAttrCount();
    return id < n ? staticAttr(id) : scene().attrs[id - n];
}

AttrRec* attr(const TObject& o) {
    if (o.kind() != TObject::kAttributeKind) return nullptr;
    std::size_t n = staticAttrCount();
    if (o.id() >= n + scene().attrs.size()) return nullptr;
    AttrRec& a = attrAt(o.id());
    return a.gen == o.generation() && a.gen != 0 ? &a : nullptr;
}

TObject attrHandle(std::uint32_t id) { return TObject(TObject::kAttributeKind, id, attrAt(id).gen); }

bool isDag(const NodeRec& n) { return n.type && n.type->dag; }

TObject createNode(const TypeRec& type, const std::string& wanted, std::uint32_t parent) {
    Scene& s = scene();
    std::uint32_t id = static_cast<std::uint32_t>(s.nodes.size());
    NodeRec n;
    n.gen = s.nextGen++;
    n.type = &type;
    if (type.code == TFn::kAnimCurve) {
        n.curve = std::make_unique<CurveData>();
        static const char* kinds[] = {"animCurveTA", "animCurveTL", "animCurveTT", "animCurveTU",
                                      "animCurveUA", "animCurveUL", "animCurveUT", "animCurveUU"};
        for (int k = 0; k < 8; ++k)
            if (type.name == kinds[k]) n.curve->type = k;
    }
    if (type.code == TFn::kMesh) {
        n.mesh = std::make_shared<MeshData>();
        n.mesh->offsets.assign(1, 0);
        n.mesh->uvSets.resize(1);
        n.mesh->uvSets[0].name = "map1";
    }
    if (type.code == TFn::kNurbsSurface || type.code == TFn::kNurbsSurfaceOther) n.nurbs = std::make_shared<NurbsData>();
    s.nodes.push_back(std::move(n));
    std::string name = wanted;
    if (type.dag) {
        if (parent >= s.nodes.size() || s.nodes[parent].gen == 0 || !isDag(s.nodes[parent])) parent = 0;
        NodeRec& me = s.nodes[id];
        me.parents.push_back(parent);
        auto& siblings = s.nodes[parent].children;
        auto at = siblings.end();
        if (type.shape)  // shapes come before the other children
            at = std::find_if(siblings.begin(), siblings.end(),
                              [&](std::uint32_t c) { return !s.nodes[c].type->shape; });
        siblings.insert(at, id);
        if (name.empty() && type.shape && parent != 0) {
            const std::string& p = s.nodes[parent].name;
            // "persp" gives "perspShape", "box1" gives "boxShape1".
            std::string leaf = p.substr(p.rfind(':') == std::string::npos ? 0 : p.rfind(':') + 1);
            std::size_t digits = leaf.size();
            while (digits > 0 && std::isdigit(static_cast<unsigned char>(leaf[digits - 1]))) --digits;
            name = leaf.substr(0, digits) + "Shape" + leaf.substr(digits);
        }
    }
    if (name.empty()) name = type.name + "1";
    setNodeName(id, uniqueName(id, withNamespace(sanitizeName(name))));
    return handle(id);
}

namespace {

// Everything of the node but its children: connections, name, place under its parents, values.
// Its children then; false for the world or a node not alive.
bool releaseNode(std::uint32_t id, std::vector<std::uint32_t>& children) {
    Scene& s = scene();
    if (id == 0 || id >= s.nodes.size() || s.nodes[id].gen == 0) return false;
    {
        NodeRec& n = s.nodes[id];
        std::vector<std::uint32_t> all = n.in;
        all.insert(all.end(), n.out.begin(), n.out.end());
        for (std::uint32_t c : all)
            if (s.connGen[c]) {
                Conn cc = s.conns[c];
                disconnect(cc.src, cc.srcPath, cc.dst, cc.dstPath);
            }
    }
    unindexName(id);
    dagChanged();
    std::vector<std::uint32_t> parents = s.nodes[id].parents;
    children = s.nodes[id].children;
    for (std::uint32_t p : parents) {
        auto& c = s.nodes[p].children;
        c.erase(std::remove(c.begin(), c.end(), id), c.end());
    }
    NodeRec& n = s.nodes[id];
    for (std::uint32_t a : n.dynAttrs) {
        attrAt(a).owner = 0;
        attrAt(a).gen = 0;
    }
    n.gen = 0;
    n.values.clear();
    n.elements.clear();
    n.curve.reset();
    n.mesh.reset();
    n.nurbs.reset();
    n.skin.reset();
    n.blend.reset();
    n.members.clear();
    return true;
}

}  // namespace

void destroyNode(std::uint32_t id) {
    Scene& s = scene();
    // A child goes with its last parent; an instance under another parent stays. A child's
    // subtree goes before the next child is let go, on a stack of its own: DAGs can be deep.
    struct Released {
        std::uint32_t id;
        std::vector<std::uint32_t> children;
        std::size_t next = 0;
    };
    std::vector<Released> stack(1, Released{id, {}});
    if (!releaseNode(id, stack.back().children)) return;
    while (!stack.empty()) {
        Released& top = stack.back();
        if (top.next == top.children.size()) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t parent = top.id, c = top.children[top.next++];
        auto& cp = s.nodes[c].parents;
        cp.erase(std::remove(cp.begin(), cp.end(), parent), cp.end());
        if (!cp.empty()) continue;
        Released child{c, {}};
        if (releaseNode(c, child.children)) stack.push_back(std::move(child));
    }
}

namespace {
void expand(std::uint32_t id, std::vector<std::uint32_t>& out) {
    out.push_back(id);
    for (std::uint32_t c : attrAt(id).children) expand(c, out);
}
}  // namespace

std::uint32_t findAttr(const NodeRec& n, const std::string& name) {
    auto it = n.type->byName.find(name);
    if (it != n.type->byName.end()) return it->second;
    auto dyn = n.dynNames.find(name);
    return dyn == n.dynNames.end() ? UINT32_MAX : dyn->second;
}

void indexDynAttr(NodeRec& n, std::uint32_t attr) {
    const std::size_t first = n.dynAttrList.size();
    expand(attr, n.dynAttrList);
    for (std::size_t i = first; i < n.dynAttrList.size(); ++i) {
        const std::uint32_t id = n.dynAttrList[i];
        const AttrRec& a = attrAt(id);
        n.dynNames.emplace(a.longName, id);
        n.dynNames.emplace(a.shortName, id);
    }
}

void reindexDynAttrs(NodeRec& n) {
    n.dynNames.clear();
    n.dynAttrList.clear();
    for (std::uint32_t a : n.dynAttrs) indexDynAttr(n, a);
}

bool nodeHasAttr(const NodeRec& n, std::uint32_t id) {
    const AttrRec& a = attrAt(id);
    if (a.isStatic) return id < n.type->ownsStatic.size() && n.type->ownsStatic[id];
    std::uint32_t root = id;
    while (attrAt(root).parent >= 0) root = static_cast<std::uint32_t>(attrAt(root).parent);
    // An attribute a live node holds names it as its owner: no search of the node's list.
    const std::uint32_t owner = attrAt(root).owner;
    if (owner != 0 && owner <= scene().nodes.size()) return &scene().nodes[owner - 1] == &n;
    return std::find(n.dynAttrs.begin(), n.dynAttrs.end(), root) != n.dynAttrs.end();
}

std::vector<std::uint32_t> nodeAttrs(const NodeRec& n) {
    std::vector<std::uint32_t> out = n.type->attrs;
    out.insert(out.end(), n.dynAttrList.begin(), n.dynAttrList.end());
    return out;
}

std::size_t nodeAttrCount(const NodeRec& n) { return n.type->attrs.size() + n.dynAttrList.size(); }

std::uint32_t nodeAttrAt(const NodeRec& n, std::size_t index) {
    if (index < n.type->attrs.size()) return n.type->attrs[index];
    index -= n.type->attrs.size();
    return index < n.dynAttrList.size() ? n.dynAttrList[index] : UINT32_MAX;
}

std::uint64_t attrOrder(std::uint32_t id) {
    const AttrRec& a = attrAt(id);
    if (a.isStatic) return id;
    std::uint32_t root = id;
    while (attrAt(root).parent >= 0) root = static_cast<std::uint32_t>(attrAt(root).parent);
    std::vector<std::uint32_t> sub;
    expand(root, sub);
    auto pos = std::find(sub.begin(), sub.end(), id) - sub.begin();
    return (std::uint64_t(1) << 62) + attrAt(root).addSeq * 4096 + static_cast<std::uint64_t>(pos);
}

PlugPath pathFor(std::uint32_t id) {
    PlugPath p;
    for (std::int64_t a = id; a >= 0; a = attrAt(static_cast<std::uint32_t>(a)).parent) {
        const AttrRec& r = attrAt(static_cast<std::uint32_t>(a));
        p.insert(p.begin(), {static_cast<std::uint32_t>(a), r.array ? (p.empty() ? kArrayPlug : kUnresolved) : kNoIndex});
    }
    return p;
}

bool resolved(const PlugPath& p) {
    for (const PathEntry& e : p)
        if (e.index == kUnresolved) return false;
    return true;
}

void markElements(NodeRec& n, const PlugPath& p) {
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i].index < 0) continue;
        PlugPath key(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(i));
        key.push_back({p[i].attr, kArrayPlug});
        auto& v = n.elements[key];
        auto at = std::lower_bound(v.begin(), v.end(), p[i].index);
        if (at == v.end() || *at != p[i].index) v.insert(at, p[i].index);
    }
}

Value* storedValue(NodeRec& n, const PlugPath& p) {
    auto it = n.values.find(p);
    return it == n.values.end() ? nullptr : &it->second;
}

bool sourceOf(std::uint32_t nodeId, const PlugPath& p, std::uint32_t& srcNode, PlugPath& srcPath) {
    const Scene& s = scene();
    const NodeRec& n = s.nodes[nodeId];
    for (std::size_t k = p.size(); k >= 1; --k) {
        for (std::uint32_t c : n.in) {
            const Conn& cc = s.conns[c];
            if (cc.dstPath.size() != k || !std::equal(cc.dstPath.begin(), cc.dstPath.end(), p.begin())) continue;
            srcNode = cc.src;
            srcPath = cc.srcPath;
            srcPath.insert(srcPath.end(), p.begin() + static_cast<std::ptrdiff_t>(k), p.end());
            return true;
        }
    }
    return false;
}

bool connect(std::uint32_t src, const PlugPath& sp, std::uint32_t dst, const PlugPath& dp) {
    Scene& s = scene();
    std::uint32_t other;
    PlugPath otherPath;
    if (sourceOf(dst, dp, other, otherPath)) return false;  // one source per destination
    Conn c{src, dst, sp, dp};
    std::uint32_t id = static_cast<std::uint32_t>(s.conns.size());
    s.conns.push_back(c);
    s.connGen.push_back(1);
    s.nodes[src].out.push_back(id);
    s.nodes[dst].in.push_back(id);
    markElements(s.nodes[src], sp);
    markElements(s.nodes[dst], dp);
    return true;
}

bool disconnect(std::uint32_t src, const PlugPath& sp, std::uint32_t dst, const PlugPath& dp) {
    Scene& s = scene();
    auto& out = s.nodes[src].out;
    for (auto it = out.begin(); it != out.end(); ++it) {
        const Conn& c = s.conns[*it];
        if (c.dst != dst || c.srcPath != sp || c.dstPath != dp) continue;
        std::uint32_t id = *it;
        out.erase(it);
        auto& in = s.nodes[dst].in;
        in.erase(std::remove(in.begin(), in.end(), id), in.end());
        s.connGen[id] = 0;
        return true;
    }
    return false;
}

bool setHolds(std::uint32_t set, const SetMember& member) {
    const NodeRec& n = scene().nodes[set];
    if (!n.gen || member.path.empty()) return false;
    for (const auto& [holder, index] : membersEndingAt(member.path.back().id())) {
        if (holder != set) continue;
        const SetMember& old = n.members[index];
        if (old.path == member.path && old.component == member.component) return true;
    }
    return false;
}

void appendMember(std::uint32_t set, SetMember&& member) {
    Scene& s = scene();
    std::vector<SetMember>& members = s.nodes[set].members;
    const std::pair<std::uint32_t, std::uint32_t> entry{set, static_cast<std::uint32_t>(members.size())};
    if (!member.path.empty()) {
        auto& entries = s.membersByEnd[member.path.back().id()];
        entries.insert(std::upper_bound(entries.begin(), entries.end(), entry), entry);
    }
    members.push_back(std::move(member));
}

const std::vector<std::pair<std::uint32_t, std::uint32_t>>& membersEndingAt(std::uint32_t id) {
    static const std::vector<std::pair<std::uint32_t, std::uint32_t>> none;
    const auto found = scene().membersByEnd.find(id);
    return found == scene().membersByEnd.end() ? none : found->second;
}

std::vector<std::uint32_t> sortedConns(const NodeRec& n, bool outgoing) {
    const Scene& s = scene();
    const auto& ids = outgoing ? n.out : n.in;
    std::vector<std::pair<std::vector<std::int64_t>, std::uint32_t>> keyed;
    keyed.reserve(ids.size());
    for (std::uint32_t c : ids) {
        const PlugPath& p = outgoing ? s.conns[c].srcPath : s.conns[c].dstPath;
        std::vector<std::int64_t> key;
        for (const PathEntry& e : p) {
            key.push_back(static_cast<std::int64_t>(attrOrder(e.attr)));
            key.push_back(e.index);
        }
        keyed.emplace_back(std::move(key), c);
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::uint32_t> out;
    out.reserve(keyed.size());
    for (auto& k : keyed) out.push_back(k.second);
    return out;
}

namespace {
bool contains(const PlugPath& p, std::uint32_t a) {
    for (const PathEntry& e : p)
        if (e.attr == a) return true;
    return false;
}
template <class M>
void eraseUnder(M& m, std::uint32_t a) {
    for (auto it = m.begin(); it != m.end();) it = contains(it->first, a) ? m.erase(it) : std::next(it);
}
}  // namespace

void removeValuesUnder(NodeRec& n, std::uint32_t a) {
    Scene& s = scene();
    eraseUnder(n.values, a);
    eraseUnder(n.elements, a);
    eraseUnder(n.labels, a);
    for (auto it = n.locks.begin(); it != n.locks.end();) it = contains(*it, a) ? n.locks.erase(it) : std::next(it);
    std::vector<std::uint32_t> all = n.in;
    all.insert(all.end(), n.out.begin(), n.out.end());
    std::uint32_t self = static_cast<std::uint32_t>(&n - s.nodes.data());
    for (std::uint32_t c : all) {
        if (!s.connGen[c]) continue;
        Conn cc = s.conns[c];
        if ((cc.src == self && contains(cc.srcPath, a)) || (cc.dst == self && contains(cc.dstPath, a)))
            disconnect(cc.src, cc.srcPath, cc.dst, cc.dstPath);
    }
}

}  // namespace tulo_detail

void tulo_detail::indexFault(const char* what, unsigned index, std::size_t length) {
    fault("index out of range", std::string(what) + " index " + std::to_string(index) + " of length " +
                                    std::to_string(length));
}
