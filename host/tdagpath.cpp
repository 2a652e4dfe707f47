#include "tdagpath.h"

#include <algorithm>

#include "scene.h"

using namespace tulo_detail;

namespace {
std::vector<std::uint32_t> ids(const std::vector<TObject>& nodes) {
    std::vector<std::uint32_t> out;
    for (const TObject& o : nodes) out.push_back(o.id());
    return out;
}

std::vector<TObject> handles(const std::vector<std::uint32_t>& ids) {
    std::vector<TObject> out;
    for (std::uint32_t id : ids) out.push_back(handle(id));
    return out;
}

std::uint32_t endId(const std::vector<TObject>& nodes) { return nodes.empty() ? 0 : nodes.back().id(); }
}  // namespace

bool TDagPath::isValid(TStatus* status) const {
    put(status, TStatus::kSuccess);
    std::uint32_t parent = 0;
    for (const TObject& o : nodes_) {
        const NodeRec* n = tulo_detail::node(o);
        if (!n || std::find(n->parents.begin(), n->parents.end(), parent) == n->parents.end()) return false;
        parent = o.id();
    }
    return !nodes_.empty();
}

// The empty path is usable (the world); a broken one is a recorded fault.
bool TDagPath::usable(const char* user, TStatus* status) const {
    if (nodes_.empty() || isValid()) return true;
    fault("invalid path", std::string(user) + " on a path whose nodes were deleted or reparented");
    put(status, TStatus::kFailure);
    return false;
}

TObject TDagPath::node(TStatus* status) const {
    if (!usable("TDagPath::node", status) || nodes_.empty()) return put(status, TStatus::kFailure), TObject();
    put(status, TStatus::kSuccess);
    return nodes_.back();
}

TObject TDagPath::transform(TStatus* status) const {
    if (!usable("TDagPath::transform", status)) return TObject();
    for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it)
        if (it->hasFn(TFn::kTransform)) return put(status, TStatus::kSuccess), *it;
    put(status, TStatus::kFailure);
    return TObject();
}

TString TDagPath::fullPathName(TStatus* status) const {
    if (!usable("TDagPath::fullPathName", status)) return TString();
    put(status, TStatus::kSuccess);
    std::string out;
    for (const TObject& o : nodes_) out += "|" + scene().nodes[o.id()].name;
    return TString(out);
}

TString TDagPath::partialPathName(TStatus* status) const {
    if (!usable("TDagPath::partialPathName", status)) return TString();
    put(status, TStatus::kSuccess);
    return TString(shortestSuffix(ids(nodes_)));
}

TFn::Type TDagPath::apiType(TStatus* status) const {
    if (!usable("TDagPath::apiType", status)) return TFn::kInvalid;
    put(status, TStatus::kSuccess);
    return nodes_.empty() ? TFn::kWorld : nodes_.back().apiType();
}

bool TDagPath::hasFn(int type, TStatus* status) const {
    if (!usable("TDagPath::hasFn", status)) return false;
    put(status, TStatus::kSuccess);
    if (nodes_.empty()) return tuloTypeIsA(TFn::kWorld, type);
    const TObject& end = nodes_.back();
    if (end.hasFn(type)) return true;
    if (!end.hasFn(TFn::kTransform)) return false;
    for (std::uint32_t c : scene().nodes[end.id()].children)
        if (scene().nodes[c].type->shape && tuloTypeIsA(scene().nodes[c].type->code, type)) return true;
    return false;
}

unsigned TDagPath::length(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(nodes_.size());
}

unsigned TDagPath::childCount(TStatus* status) const {
    if (!usable("TDagPath::childCount", status)) return 0;
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(scene().nodes[endId(nodes_)].children.size());
}

TObject TDagPath::child(unsigned index, TStatus* status) const {
    if (!usable("TDagPath::child", status)) return TObject();
    const auto& children = scene().nodes[endId(nodes_)].children;
    if (index >= children.size()) {
        indexFault("TDagPath::child", index, children.size());
        return put(status, TStatus::kFailure), TObject();
    }
    put(status, TStatus::kSuccess);
    return handle(children[index]);
}

TStatus TDagPath::push(const TObject& child) {
    if (!usable("TDagPath::push", nullptr) || !tulo_detail::node(child)) return TStatus::kFailure;
    const auto& children = scene().nodes[endId(nodes_)].children;
    if (std::find(children.begin(), children.end(), child.id()) == children.end()) return TStatus::kFailure;
    nodes_.push_back(child);
    return TStatus::kSuccess;
}

TStatus TDagPath::pop(unsigned count) {
    if (count > nodes_.size()) return TStatus::kFailure;
    nodes_.resize(nodes_.size() - count);
    return TStatus::kSuccess;
}

TStatus TDagPath::extendToShape() {
    if (!usable("TDagPath::extendToShape", nullptr) || nodes_.empty()) return TStatus::kFailure;
    const NodeRec& end = scene().nodes[nodes_.back().id()];
    if (end.type->shape) return TStatus::kSuccess;
    std::vector<std::uint32_t> shapes;
    for (std::uint32_t c : end.children)
        if (scene().nodes[c].type->shape) shapes.push_back(c);
    if (shapes.size() != 1) return TStatus::kFailure;
    nodes_.push_back(handle(shapes[0]));
    return TStatus::kSuccess;
}

bool TDagPath::isInstanced(TStatus* status) const {
    if (!usable("TDagPath::isInstanced", status) || nodes_.empty()) return false;
    put(status, TStatus::kSuccess);
    return pathCount(nodes_.back().id()) > 1;
}

unsigned TDagPath::instanceNumber(TStatus* status) const {
    if (!usable("TDagPath::instanceNumber", status) || nodes_.empty()) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    auto all = pathsTo(nodes_.back().id());
    auto me = ids(nodes_);
    return static_cast<unsigned>(std::find(all.begin(), all.end(), me) - all.begin());
}

TMatrix TDagPath::inclusiveMatrix(TStatus* status) const {
    if (!usable("TDagPath::inclusiveMatrix", status)) return TMatrix();
    put(status, TStatus::kSuccess);
    return worldMatrix(ids(nodes_));
}

TMatrix TDagPath::exclusiveMatrix(TStatus* status) const {
    if (!usable("TDagPath::exclusiveMatrix", status)) return TMatrix();
    put(status, TStatus::kSuccess);
    auto all = ids(nodes_);
    if (!all.empty()) all.pop_back();
    return worldMatrix(all);
}

TStatus TDagPath::getAPathTo(const TObject& object, TDagPath& path) {
    const NodeRec* n = tulo_detail::node(object);
    if (!n || !isDag(*n)) return TStatus::kFailure;
    path = TDagPath(handles(pathsTo(object.id())[0]));
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
    for (const auto& p : pathsTo(object.id())) paths.append(TDagPath(handles(p)));
    return TStatus::kSuccess;
}
