#include "tdagpath.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "dagpathlink.h"
#include "scene.h"

using namespace tulo_detail;

namespace tulo_detail {
namespace {

// Interned links by (link above, node). Entries leave with their link; the table itself is never
// destroyed, so that links held by static objects may die after it would have.
struct LinkKey {
    const PathLink* parent;
    TObject node;
    bool operator==(const LinkKey& o) const { return parent == o.parent && node == o.node; }
};
struct LinkKeyHash {
    std::size_t operator()(const LinkKey& k) const {
        std::size_t h = std::hash<const void*>()(k.parent);
        h ^= (static_cast<std::size_t>(k.node.id()) * 0x9E3779B97F4A7C15ull) + k.node.generation() + (h << 6) + (h >> 2);
        return h ^ static_cast<std::size_t>(k.node.kind());
    }
};
struct Interned {
    const PathLink* raw;
    std::weak_ptr<const PathLink> weak;
};
std::unordered_map<LinkKey, Interned, LinkKeyHash>& links() {
    static auto* table = new std::unordered_map<LinkKey, Interned, LinkKeyHash>();
    return *table;
}

}  // namespace

PathLink::PathLink(std::shared_ptr<const PathLink> up, const TObject& end)
    : parent(std::move(up)), node(end), depth(parent ? parent->depth + 1 : 1) {}

PathLink::~PathLink() {
    auto& table = links();
    auto found = table.find(LinkKey{parent.get(), node});
    if (found != table.end() && found->second.raw == this) table.erase(found);
    // Links above that only this one held die here one by one, not by a chain of destructors.
    Link up = std::move(parent);
    while (up && up.use_count() == 1) {
        // The last holder may take the link's own pointer upward before letting it go (links are
        // made non-const; only handles to them are const).
        Link next = std::move(const_cast<PathLink&>(*up).parent);
        up = std::move(next);
    }
}

Link pathLink(const Link& parent, const TObject& node) {
    auto& table = links();
    const LinkKey key{parent.get(), node};
    auto found = table.find(key);
    if (found != table.end())
        if (Link existing = found->second.weak.lock()) return existing;
    auto made = std::make_shared<const PathLink>(parent, node);
    table[key] = Interned{made.get(), made};
    return made;
}

bool linkValid(const PathLink* link) {
    if (!link) return false;
    const std::uint64_t epoch = scene().dagEpoch;
    if (link->validEpoch == epoch) return link->valid;
    // The links not yet checked in this epoch, lowest first; above them the answer is known.
    std::vector<const PathLink*> open;
    const PathLink* known = link;
    while (known && known->validEpoch != epoch) {
        open.push_back(known);
        known = known->parent.get();
    }
    bool valid = known ? known->valid : true;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        const PathLink* l = *it;
        if (valid) {
            const NodeRec* n = node(l->node);
            const std::uint32_t above = l->parent ? l->parent->node.id() : 0;
            valid = n && std::find(n->parents.begin(), n->parents.end(), above) != n->parents.end();
        }
        l->valid = valid;
        l->validEpoch = epoch;
    }
    return valid;
}

std::uint32_t cachedPathCount(std::uint32_t id) {
    const Scene& s = scene();
    if (id == 0) return 1;
    const std::uint64_t epoch = s.dagEpoch;
    if (s.nodes[id].pathCountEpoch == epoch) return s.nodes[id].pathCount;
    // Depth first over the ancestors whose count is not known in this epoch, each summed once its
    // parents are.
    std::vector<std::pair<std::uint32_t, bool>> todo{{id, false}};
    while (!todo.empty()) {
        auto [at, expanded] = todo.back();
        const NodeRec& n = s.nodes[at];
        if (n.pathCountEpoch == epoch) {
            todo.pop_back();
            continue;
        }
        if (!expanded) {
            todo.back().second = true;
            for (std::uint32_t p : n.parents)
                if (p != 0 && s.nodes[p].pathCountEpoch != epoch) todo.push_back({p, false});
            continue;
        }
        todo.pop_back();
        std::uint32_t count = 0;
        for (std::uint32_t p : n.parents) count += p == 0 ? 1 : s.nodes[p].pathCount;
        n.pathCount = count;
        n.pathCountEpoch = epoch;
    }
    return s.nodes[id].pathCount;
}

std::uint32_t linkInstance(const PathLink* link) {
    const std::uint64_t epoch = scene().dagEpoch;
    std::vector<const PathLink*> open;
    const PathLink* known = link;
    while (known && known->rankEpoch != epoch) {
        open.push_back(known);
        known = known->parent.get();
    }
    std::uint32_t rank = known ? known->rank : 0;
    // Paths through the parents listed before this path's parent come first.
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        const PathLink* l = *it;
        const std::uint32_t above = l->parent ? l->parent->node.id() : 0;
        for (std::uint32_t p : scene().nodes[l->node.id()].parents) {
            if (p == above) break;
            rank += cachedPathCount(p);
        }
        l->rank = rank;
        l->rankEpoch = epoch;
    }
    return rank;
}

Link firstPathTo(std::uint32_t id) {
    const Scene& s = scene();
    const std::uint64_t epoch = s.dagEpoch;
    std::vector<std::uint32_t> open;
    std::uint32_t at = id;
    while (at != 0 && s.nodes[at].firstPathEpoch != epoch) {
        open.push_back(at);
        at = s.nodes[at].parents.empty() ? 0 : s.nodes[at].parents[0];
    }
    Link path = at == 0 ? nullptr : s.nodes[at].firstPath;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        path = pathLink(path, handle(*it));
        s.nodes[*it].firstPath = path;
        s.nodes[*it].firstPathEpoch = epoch;
    }
    return path;
}

}  // namespace tulo_detail

namespace {
TDagPath extended(const TDagPath& path, std::uint32_t id) { return TDagPath(pathLink(path.link(), handle(id))); }
}  // namespace

TDagPath::TDagPath(const std::vector<TObject>& nodes) {
    for (const TObject& o : nodes) end_ = pathLink(end_, o);
}

const std::vector<TObject>& TDagPath::nodes() const {
    static const std::vector<TObject> none;
    if (!end_) return none;
    if (!end_->nodes) {
        auto list = std::make_unique<std::vector<TObject>>(end_->depth);
        std::size_t i = end_->depth;
        for (const PathLink* l = end_.get(); l; l = l->parent.get()) (*list)[--i] = l->node;
        end_->nodes = std::move(list);
    }
    return *end_->nodes;
}

TObject TDagPath::back() const { return end_ ? end_->node : TObject(); }

std::vector<std::uint32_t> TDagPath::ids() const {
    std::vector<std::uint32_t> out(end_ ? end_->depth : 0);
    std::size_t i = out.size();
    for (const PathLink* l = end_.get(); l; l = l->parent.get()) out[--i] = l->node.id();
    return out;
}

bool TDagPath::isValid(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return linkValid(end_.get());
}

// The empty path is usable (the world); a broken one is a recorded fault.
bool TDagPath::usable(const char* user, TStatus* status) const {
    if (!end_ || linkValid(end_.get())) return true;
    fault("invalid path", std::string(user) + " on a path whose nodes were deleted or reparented");
    put(status, TStatus::kFailure);
    return false;
}

TObject TDagPath::node(TStatus* status) const {
    if (!usable("TDagPath::node", status) || !end_) return put(status, TStatus::kFailure), TObject();
    put(status, TStatus::kSuccess);
    return end_->node;
}

TObject TDagPath::transform(TStatus* status) const {
    if (!usable("TDagPath::transform", status)) return TObject();
    for (const PathLink* l = end_.get(); l; l = l->parent.get())
        if (l->node.hasFn(TFn::kTransform)) return put(status, TStatus::kSuccess), l->node;
    put(status, TStatus::kFailure);
    return TObject();
}

TString TDagPath::fullPathName(TStatus* status) const {
    if (!usable("TDagPath::fullPathName", status)) return TString();
    put(status, TStatus::kSuccess);
    const auto& all = scene().nodes;
    std::size_t size = 0;
    for (const PathLink* l = end_.get(); l; l = l->parent.get()) size += 1 + all[l->node.id()].name.size();
    std::string out(size, '|');
    for (const PathLink* l = end_.get(); l; l = l->parent.get()) {
        const std::string& name = all[l->node.id()].name;
        size -= name.size();
        out.replace(size, name.size(), name);
        --size;
    }
    return TString(out);
}

TString TDagPath::partialPathName(TStatus* status) const {
    if (!usable("TDagPath::partialPathName", status)) return TString();
    put(status, TStatus::kSuccess);
    return TString(shortestSuffix(ids()));
}

TFn::Type TDagPath::apiType(TStatus* status) const {
    if (!usable("TDagPath::apiType", status)) return TFn::kInvalid;
    put(status, TStatus::kSuccess);
    return end_ ? end_->node.apiType() : TFn::kWorld;
}

bool TDagPath::hasFn(int type, TStatus* status) const {
    if (!usable("TDagPath::hasFn", status)) return false;
    put(status, TStatus::kSuccess);
    if (!end_) return tuloTypeIsA(TFn::kWorld, type);
    const TObject& end = end_->node;
    if (end.hasFn(type)) return true;
    if (!end.hasFn(TFn::kTransform)) return false;
    for (std::uint32_t c : scene().nodes[end.id()].children)
        if (scene().nodes[c].type->shape && tuloTypeIsA(scene().nodes[c].type->code, type)) return true;
    return false;
}

unsigned TDagPath::length(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return end_ ? end_->depth : 0;
}

unsigned TDagPath::childCount(TStatus* status) const {
    if (!usable("TDagPath::childCount", status)) return 0;
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(scene().nodes[back().id()].children.size());
}

TObject TDagPath::child(unsigned index, TStatus* status) const {
    if (!usable("TDagPath::child", status)) return TObject();
    const auto& children = scene().nodes[back().id()].children;
    if (index >= children.size()) {
        indexFault("TDagPath::child", index, children.size());
        return put(status, TStatus::kFailure), TObject();
    }
    put(status, TStatus::kSuccess);
    return handle(children[index]);
}

TStatus TDagPath::push(const TObject& child) {
    if (!usable("TDagPath::push", nullptr) || !tulo_detail::node(child)) return TStatus::kFailure;
    const auto& children = scene().nodes[back().id()].children;
    if (std::find(children.begin(), children.end(), child.id()) == children.end()) return TStatus::kFailure;
    end_ = pathLink(end_, child);
    return TStatus::kSuccess;
}

TStatus TDagPath::pop(unsigned count) {
    if (count > length()) return TStatus::kFailure;
    Link up = end_;
    for (unsigned i = 0; i < count; ++i) up = up->parent;
    end_ = std::move(up);
    return TStatus::kSuccess;
}

TStatus TDagPath::extendToShape() {
    if (!usable("TDagPath::extendToShape", nullptr) || !end_) return TStatus::kFailure;
    const NodeRec& end = scene().nodes[end_->node.id()];
    if (end.type->shape) return TStatus::kSuccess;
    std::uint32_t shape = 0, shapes = 0;
    for (std::uint32_t c : end.children)
        if (scene().nodes[c].type->shape && shapes++ == 0) shape = c;
    if (shapes != 1) return TStatus::kFailure;
    *this = extended(*this, shape);
    return TStatus::kSuccess;
}

bool TDagPath::isInstanced(TStatus* status) const {
    if (!usable("TDagPath::isInstanced", status) || !end_) return false;
    put(status, TStatus::kSuccess);
    return pathCount(end_->node.id()) > 1;
}

unsigned TDagPath::instanceNumber(TStatus* status) const {
    if (!usable("TDagPath::instanceNumber", status) || !end_) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return linkInstance(end_.get());
}

TMatrix TDagPath::inclusiveMatrix(TStatus* status) const {
    if (!usable("TDagPath::inclusiveMatrix", status)) return TMatrix();
    put(status, TStatus::kSuccess);
    return worldMatrix(ids());
}

TMatrix TDagPath::exclusiveMatrix(TStatus* status) const {
    if (!usable("TDagPath::exclusiveMatrix", status)) return TMatrix();
    put(status, TStatus::kSuccess);
    auto all = ids();
    if (!all.empty()) all.pop_back();
    return worldMatrix(all);
}

TStatus TDagPath::getAPathTo(const TObject& object, TDagPath& path) {
    const NodeRec* n = tulo_detail::node(object);
    if (!n || !isDag(*n)) return TStatus::kFailure;
    path = TDagPath(object.id() == 0 ? Link() : firstPathTo(object.id()));
    return TStatus::kSuccess;
}

TDagPath TDagPath::getAPathTo(const TObject& object, TStatus* status) {
    TDagPath path;
    put(status, getAPathTo(object, path));
    return path;
}

TStatus TDagPath::getAllPathsTo(const TObject& object, TDagPathArray& paths) {
    paths.clear();
    const NodeRec* n = tulo_detail::node(object);
    if (!n || !isDag(*n)) return TStatus::kFailure;
    for (const auto& p : pathsTo(object.id())) {
        Link link;
        for (std::uint32_t id : p) link = pathLink(link, handle(id));
        paths.append(TDagPath(std::move(link)));
    }
    return TStatus::kSuccess;
}
