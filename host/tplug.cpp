// Plug values, elements, locks and connections. Reads follow the one source of a destination;
// curve outputs evaluate at the current time; DAG world matrices are computed per instance.
#include "tplug.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "scene.h"

using namespace tulo_detail;

TDGContext TDGContext::fsNormal;

namespace tulo_detail {

std::uint32_t dagWorldMatrixAttr() {
    static std::uint32_t id = typeByName("transform")->byName.at("worldMatrix");
    return id;
}

std::string nodeDisplayName(std::uint32_t id) {
    const NodeRec& n = scene().nodes[id];
    if (!isDag(n) || id == 0) return n.name;
    auto paths = pathsTo(id);
    return paths.empty() ? n.name : shortestSuffix(paths[0]);
}

// Existing logical indices of an array plug.
std::vector<std::int32_t> existingElements(std::uint32_t nodeId, const PlugPath& arrayPath) {
    NodeRec& n = scene().nodes[nodeId];
    if (arrayPath.size() == 1 && arrayPath[0].attr == dagWorldMatrixAttr()) {
        std::vector<std::int32_t> all(pathCount(nodeId));
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::int32_t>(i);
        return all;
    }
    auto it = n.elements.find(arrayPath);
    return it == n.elements.end() ? std::vector<std::int32_t>() : it->second;
}

std::int64_t toInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (v <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

// The stored form of a number: a C cast to the attribute's data type.
double castTo(int dataType, double v) {
    switch (dataType) {
    case 1: return v != 0 ? 1 : 0;
    case 2: return static_cast<unsigned char>(toInt64(v));
    case 3: return static_cast<signed char>(toInt64(v));
    case 4: case 5: case 6: return static_cast<short>(toInt64(v));
    case 7: case 8: case 9: return static_cast<int>(toInt64(v));
    case 10: case 11: case 12:
        if (std::isfinite(v) && std::fabs(v) > FLT_MAX) return v > 0 ? HUGE_VALF : -HUGE_VALF;
        return static_cast<float>(v);
    default: return v;
    }
}

bool integralType(int dataType) { return dataType >= 1 && dataType <= 9; }

// Reads the value a plug shows: its source's, a curve's, a computed one, or the stored one.
TStatus readValue(std::uint32_t nodeId, const PlugPath& path, Value& out, int depth) {
    Scene& s = scene();
    if (depth > 64) return TStatus::kFailure;  // a cycle
    const AttrRec& leaf = attrAt(path.back().attr);
    std::uint32_t src;
    PlugPath srcPath;
    if (sourceOf(nodeId, path, src, srcPath)) {
        const NodeRec& sn = s.nodes[src];
        if (sn.curve && srcPath.size() == 1 && attrAt(srcPath[0].attr).longName == "output") {
            out.num = evalCurve(*sn.curve, curveInput(src));
            return TStatus::kSuccess;
        }
        if (attrAt(srcPath.back().attr).kind != AttrKind::Message) return readValue(src, srcPath, out, depth + 1);
    }
    if (path.size() == 1 && path[0].attr == dagWorldMatrixAttr()) {
        auto paths = pathsTo(nodeId);
        if (path[0].index < 0 || static_cast<std::size_t>(path[0].index) >= paths.size()) return TStatus::kFailure;
        TMatrix m = worldMatrix(paths[static_cast<std::size_t>(path[0].index)]);
        for (int k = 0; k < 16; ++k) out.m[static_cast<std::size_t>(k)] = m.matrix[k / 4][k % 4];
        return TStatus::kSuccess;
    }
    if (const Value* v = storedValue(s.nodes[nodeId], path)) {
        out = *v;
        return TStatus::kSuccess;
    }
    out = Value();
    out.num = castTo(leaf.dataType, leaf.def);
    return TStatus::kSuccess;
}

}  // namespace tulo_detail

namespace {

// The node of a plug, or null (a dead node is a recorded fault).
NodeRec* plugNode(const TObject& n, const char* user) { return n.isNull() ? nullptr : liveNode(n, user); }

TStatus fail(TStatus* status) {
    if (status) *status = TStatus::kFailure;
    return TStatus::kFailure;
}
TStatus ok(TStatus* status) {
    if (status) *status = TStatus::kSuccess;
    return TStatus::kSuccess;
}

std::string segment(const PathEntry& e, bool longNames) {
    const AttrRec& a = attrAt(e.attr);
    std::string s = longNames ? a.longName : a.shortName;
    if (e.index >= 0) s += "[" + std::to_string(e.index) + "]";
    if (e.index == kUnresolved) s += "[-1]";
    return s;
}

// The attribute part of a plug name: the leaf alone, or from the outermost array ancestor on.
std::string attrText(const PlugPath& p, bool longNames, bool full) {
    std::size_t from = p.size() - 1;
    if (full) from = 0;
    else
        for (std::size_t i = 0; i + 1 < p.size(); ++i)
            if (attrAt(p[i].attr).array) {
                from = i;
                break;
            }
    std::string s;
    for (std::size_t i = from; i < p.size(); ++i) s += (s.empty() ? "" : ".") + segment(p[i], longNames);
    return s;
}

bool isArrayPlug(const PlugPath& p) { return !p.empty() && p.back().index == kArrayPlug; }

// The checks every value access makes; `user` names the call in a fault.
NodeRec* valueTarget(const TObject& n, const PlugPath& p, const char* user) {
    NodeRec* rec = plugNode(n, user);
    if (!rec || p.empty()) return nullptr;
    if (!resolved(p)) {
        fault("unresolved plug", std::string(user) + " on " + rec->name + "." + attrText(p, false, false));
        return nullptr;
    }
    return rec;
}

std::uint32_t idOf(const TObject& n) { return n.id(); }

}  // namespace

TPlug::TPlug(const TObject& nodeObj, const TObject& attribute) {
    NodeRec* n = plugNode(nodeObj, "TPlug");
    AttrRec* a = attr(attribute);
    if (!n || !a) return;
    std::uint32_t id = attribute.id();
    if (!nodeHasAttr(*n, id)) return;
    node_ = nodeObj;
    path_ = pathFor(id);
}

bool TPlug::isNull(TStatus* status) const {
    ok(status);
    return path_.empty() || !tulo_detail::node(node_);
}

TObject TPlug::node(TStatus* status) const {
    if (path_.empty() || !plugNode(node_, "TPlug::node")) {
        fail(status);
        return TObject();
    }
    ok(status);
    return node_;
}

TObject TPlug::attribute(TStatus* status) const {
    if (path_.empty()) {
        fail(status);
        return TObject();
    }
    ok(status);
    return attrHandle(path_.back().attr);
}

TString TPlug::name(TStatus* status) const {
    NodeRec* n = plugNode(node_, "TPlug::name");
    if (!n || path_.empty()) {
        fail(status);
        return TString();
    }
    ok(status);
    auto label = n->labels.find(path_);
    std::string node = nodeDisplayName(idOf(node_));
    if (label != n->labels.end()) return node + "." + label->second;
    return node + "." + attrText(path_, false, false);
}

TString TPlug::info(TStatus* status) const {
    if (!plugNode(node_, "TPlug::info") || path_.empty()) {
        fail(status);
        return TString();
    }
    ok(status);
    return nodeDisplayName(idOf(node_)) + "." + attrText(path_, true, false);
}

TString TPlug::partialName(bool includeNodeName, bool, bool, bool useAlias, bool useFullAttributePath,
                           bool useLongNames, TStatus* status) const {
    NodeRec* n = plugNode(node_, "TPlug::partialName");
    if (!n || path_.empty()) {
        fail(status);
        return TString();
    }
    ok(status);
    std::string text = attrText(path_, useLongNames, useFullAttributePath);
    auto label = n->labels.find(path_);
    if (useAlias && label != n->labels.end()) text = label->second;
    return includeNodeName ? nodeDisplayName(idOf(node_)) + "." + text : text;
}

template <class T>
TStatus TPlug::readNumber(T& out) const {
    if (!valueTarget(node_, path_, "TPlug::getValue")) return TStatus::kFailure;
    const AttrRec& leaf = attrAt(path_.back().attr);
    if ((leaf.kind != AttrKind::Numeric && leaf.kind != AttrKind::Enum) || isArrayPlug(path_))
        return TStatus::kFailure;
    Value v;
    if (!readValue(idOf(node_), path_, v, 0)) return TStatus::kFailure;
    double x = v.num;
    if (std::is_same<T, bool>::value) {
        out = static_cast<T>(x != 0);
    } else if (std::is_integral<T>::value) {
        // Integral attributes wrap like C casts; fractional ones truncate, saturating.
        std::int64_t i = toInt64(x);
        if (!integralType(leaf.dataType) && leaf.kind != AttrKind::Enum) {
            double lo = static_cast<double>(std::numeric_limits<T>::min());
            double hi = static_cast<double>(std::numeric_limits<T>::max());
            i = toInt64(std::isnan(x) ? 0 : std::min(std::max(x, lo), hi));
        }
        out = static_cast<T>(i);
    } else {
        out = static_cast<T>(std::is_same<T, float>::value ? castTo(10, x) : x);
    }
    return TStatus::kSuccess;
}

TStatus TPlug::getValue(bool& v, TDGContext&) const { return readNumber(v); }
TStatus TPlug::getValue(char& v, TDGContext&) const { return readNumber(v); }
TStatus TPlug::getValue(short& v, TDGContext&) const { return readNumber(v); }
TStatus TPlug::getValue(int& v, TDGContext&) const { return readNumber(v); }
TStatus TPlug::getValue(float& v, TDGContext&) const { return readNumber(v); }
TStatus TPlug::getValue(double& v, TDGContext&) const { return readNumber(v); }

TStatus TPlug::getValue(TString& out, TDGContext&) const {
    if (!valueTarget(node_, path_, "TPlug::getValue")) return TStatus::kFailure;
    if (attrAt(path_.back().attr).kind != AttrKind::String) return TStatus::kFailure;
    Value v;
    if (!readValue(idOf(node_), path_, v, 0)) return TStatus::kFailure;
    out = TString(v.str);
    return TStatus::kSuccess;
}

TStatus TPlug::getValue(TObject& out, TDGContext&) const {
    if (!valueTarget(node_, path_, "TPlug::getValue")) return TStatus::kFailure;
    AttrKind kind = attrAt(path_.back().attr).kind;
    if ((kind != AttrKind::Matrix && kind != AttrKind::Geometry) || isArrayPlug(path_)) return TStatus::kFailure;
    Value v;
    std::uint32_t shape;
    if (kind == AttrKind::Geometry) {
        if (!geometrySource(idOf(node_), path_, shape, 0)) return TStatus::kFailure;
        v.geometry = handle(shape);
    } else if (!readValue(idOf(node_), path_, v, 0)) {
        return TStatus::kFailure;
    }
    Scene& s = scene();
    std::uint32_t gen = s.nextGen++;
    s.data.emplace_back(gen, v);
    out = TObject(TObject::kDataKind, static_cast<std::uint32_t>(s.data.size() - 1), gen);
    return TStatus::kSuccess;
}

TStatus TPlug::writeNumber(double x) {
    NodeRec* n = valueTarget(node_, path_, "TPlug::setValue");
    if (!n) return TStatus::kFailure;
    const AttrRec& leaf = attrAt(path_.back().attr);
    if ((leaf.kind != AttrKind::Numeric && leaf.kind != AttrKind::Enum) || isArrayPlug(path_) || isLocked())
        return TStatus::kFailure;
    n->values[path_].num = castTo(leaf.kind == AttrKind::Enum ? 4 : leaf.dataType, x);
    markElements(*n, path_);
    return TStatus::kSuccess;
}

TStatus TPlug::setValue(bool v) { return writeNumber(v ? 1 : 0); }
TStatus TPlug::setValue(char v) { return writeNumber(v); }
TStatus TPlug::setValue(short v) { return writeNumber(v); }
TStatus TPlug::setValue(int v) { return writeNumber(v); }
TStatus TPlug::setValue(float v) { return writeNumber(v); }
TStatus TPlug::setValue(double v) { return writeNumber(v); }

TStatus TPlug::setValue(const TString& v) {
    NodeRec* n = valueTarget(node_, path_, "TPlug::setValue");
    if (!n || attrAt(path_.back().attr).kind != AttrKind::String || isLocked()) return TStatus::kFailure;
    n->values[path_].str = v.str();
    markElements(*n, path_);
    return TStatus::kSuccess;
}

TStatus TPlug::setValue(const TMatrix& m) {
    NodeRec* n = valueTarget(node_, path_, "TPlug::setValue");
    if (!n || attrAt(path_.back().attr).kind != AttrKind::Matrix || isArrayPlug(path_) || isLocked() ||
        path_[0].attr == dagWorldMatrixAttr())
        return TStatus::kFailure;
    Value& v = n->values[path_];
    for (int k = 0; k < 16; ++k) v.m[static_cast<std::size_t>(k)] = m.matrix[k / 4][k % 4];
    markElements(*n, path_);
    return TStatus::kSuccess;
}

bool TPlug::isArray(TStatus* status) const {
    ok(status);
    return isArrayPlug(path_);
}
bool TPlug::isElement(TStatus* status) const {
    ok(status);
    return !path_.empty() && path_.back().index >= 0;
}
bool TPlug::isCompound(TStatus* status) const {
    ok(status);
    return !path_.empty() && !attrAt(path_.back().attr).children.empty();
}
bool TPlug::isChild(TStatus* status) const {
    ok(status);
    return path_.size() > 1;
}

unsigned TPlug::numElements(TStatus* status) const {
    if (!isArrayPlug(path_) || !valueTarget(node_, path_, "TPlug::numElements")) {
        fail(status);
        return 0;
    }
    ok(status);
    return static_cast<unsigned>(existingElements(idOf(node_), path_).size());
}

TPlug TPlug::elementByLogicalIndex(unsigned logical, TStatus* status) const {
    if (!isArrayPlug(path_) || !plugNode(node_, "TPlug::elementByLogicalIndex") || logical > INT32_MAX) {
        fail(status);
        return TPlug();
    }
    ok(status);
    TPlug p(*this);
    p.path_.back().index = static_cast<std::int32_t>(logical);
    return p;
}

TPlug TPlug::elementByPhysicalIndex(unsigned physical, TStatus* status) const {
    if (!isArrayPlug(path_) || !valueTarget(node_, path_, "TPlug::elementByPhysicalIndex")) {
        fail(status);
        return TPlug();
    }
    auto all = existingElements(idOf(node_), path_);
    if (physical >= all.size()) {
        tulo_detail::indexFault("TPlug::elementByPhysicalIndex", physical, all.size());
        fail(status);
        return TPlug();
    }
    ok(status);
    TPlug p(*this);
    p.path_.back().index = all[physical];
    return p;
}

unsigned TPlug::logicalIndex(TStatus* status) const {
    if (path_.empty() || path_.back().index < 0) {
        fail(status);
        return 0;
    }
    ok(status);
    return static_cast<unsigned>(path_.back().index);
}

TStatus TPlug::getExistingArrayAttributeIndices(TIntArray& indices) const {
    indices.clear();
    if (!isArrayPlug(path_) || !valueTarget(node_, path_, "TPlug::getExistingArrayAttributeIndices"))
        return TStatus::kFailure;
    for (std::int32_t i : existingElements(idOf(node_), path_)) indices.append(i);
    return TStatus::kSuccess;
}

unsigned TPlug::numChildren(TStatus* status) const {
    if (path_.empty()) {
        fail(status);
        return 0;
    }
    ok(status);
    return static_cast<unsigned>(attrAt(path_.back().attr).children.size());
}

TPlug TPlug::child(unsigned index, TStatus* status) const {
    if (path_.empty() || isArrayPlug(path_)) {
        fail(status);
        return TPlug();
    }
    const auto& children = attrAt(path_.back().attr).children;
    if (index >= children.size()) {
        tulo_detail::indexFault("TPlug::child", index, children.size());
        fail(status);
        return TPlug();
    }
    ok(status);
    TPlug p(*this);
    p.path_.push_back({children[index], attrAt(children[index]).array ? kArrayPlug : kNoIndex});
    return p;
}

TPlug TPlug::child(const TObject& attribute, TStatus* status) const {
    if (!path_.empty() && attr(attribute)) {
        const auto& children = attrAt(path_.back().attr).children;
        auto it = std::find(children.begin(), children.end(), attribute.id());
        if (it != children.end()) return child(static_cast<unsigned>(it - children.begin()), status);
    }
    fail(status);
    return TPlug();
}

TPlug TPlug::parent(TStatus* status) const {
    if (path_.size() < 2) {
        fail(status);
        return TPlug();
    }
    ok(status);
    TPlug p(*this);
    p.path_.pop_back();
    return p;
}

TPlug TPlug::array(TStatus* status) const {
    if (path_.empty() || path_.back().index < 0) {
        fail(status);
        return TPlug();
    }
    ok(status);
    TPlug p(*this);
    p.path_.back().index = kArrayPlug;
    return p;
}

TStatus TPlug::selectAncestorLogicalIndex(unsigned index, const TObject& attribute) {
    if (path_.empty() || index > INT32_MAX) return TStatus::kFailure;
    for (std::size_t i = path_.size(); i-- > 0;) {
        bool wanted = attribute.isNull() ? (i + 1 < path_.size()) : attr(attribute) && path_[i].attr == attribute.id();
        if (!wanted || !attrAt(path_[i].attr).array) continue;
        path_[i].index = static_cast<std::int32_t>(index);
        return TStatus::kSuccess;
    }
    return TStatus::kFailure;
}

bool TPlug::connectedTo(TPlugArray& plugs, bool asDst, bool asSrc, TStatus* status) const {
    plugs.clear();
    NodeRec* n = plugNode(node_, "TPlug::connectedTo");
    if (!n || path_.empty()) {
        fail(status);
        return false;
    }
    ok(status);
    const Scene& s = scene();
    if (asDst)
        for (std::uint32_t c : n->in)
            if (s.conns[c].dstPath == path_) plugs.append(TPlug(handle(s.conns[c].src), s.conns[c].srcPath));
    if (asSrc)
        for (std::uint32_t c : n->out)
            if (s.conns[c].srcPath == path_) plugs.append(TPlug(handle(s.conns[c].dst), s.conns[c].dstPath));
    return plugs.length() > 0;
}

bool TPlug::isDestination(TStatus* status) const {
    TPlugArray a;
    return connectedTo(a, true, false, status);
}
bool TPlug::isSource(TStatus* status) const {
    TPlugArray a;
    return connectedTo(a, false, true, status);
}
bool TPlug::isConnected(TStatus* status) const {
    TPlugArray a;
    return connectedTo(a, true, true, status);
}

bool TPlug::isLocked(TStatus* status) const {
    NodeRec* n = plugNode(node_, "TPlug::isLocked");
    if (!n || path_.empty()) {
        fail(status);
        return false;
    }
    ok(status);
    for (std::size_t k = 1; k <= path_.size(); ++k) {
        PlugPath prefix(path_.begin(), path_.begin() + static_cast<std::ptrdiff_t>(k));
        if (n->locks.count(prefix)) return true;
        if (prefix.back().index >= 0) {
            prefix.back().index = kArrayPlug;
            if (n->locks.count(prefix)) return true;
        }
    }
    return false;
}

TStatus TPlug::setLocked(bool locked) {
    NodeRec* n = plugNode(node_, "TPlug::setLocked");
    if (!n || path_.empty() || !resolved(path_)) return TStatus::kFailure;
    if (locked) n->locks.insert(path_);
    else n->locks.erase(path_);
    return TStatus::kSuccess;
}

bool TPlug::operator==(const TPlug& o) const { return node_ == o.node_ && path_ == o.path_; }

namespace {
bool connectable(const TPlug& p) {
    if (p.isNull() || !resolved(p.entries()) || isArrayPlug(p.entries())) return false;
    for (const PathEntry& e : p.entries())
        if (!attrAt(e.attr).connectable) return false;
    return true;
}
}  // namespace

TStatus TDGModifier::connect(const TPlug& source, const TPlug& destination) {
    if (!connectable(source) || !connectable(destination)) return TStatus::kFailure;
    edits_.push_back({true, source, destination});
    return TStatus::kSuccess;
}

TStatus TDGModifier::disconnect(const TPlug& source, const TPlug& destination) {
    if (source.isNull() || destination.isNull()) return TStatus::kFailure;
    edits_.push_back({false, source, destination});
    return TStatus::kSuccess;
}

TStatus TDGModifier::doIt() {
    TStatus result;
    for (const Edit& e : edits_) {
        if (e.src.isNull() || e.dst.isNull()) {
            result = TStatus::kFailure;
            continue;
        }
        std::uint32_t s = e.src.node().id(), d = e.dst.node().id();
        bool done = e.connect ? tulo_detail::connect(s, e.src.entries(), d, e.dst.entries())
                              : tulo_detail::disconnect(s, e.src.entries(), d, e.dst.entries());
        if (!done) result = TStatus::kFailure;
    }
    edits_.clear();
    return result;
}
