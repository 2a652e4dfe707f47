#include "tfndependencynode.h"

#include <algorithm>

#include "scene.h"

using namespace tulo_detail;

namespace {
std::vector<std::string> namesOf(std::uint32_t id) {
    std::vector<std::string> out{attrAt(id).longName, attrAt(id).shortName};
    for (std::uint32_t c : attrAt(id).children) {
        auto more = namesOf(c);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}
}  // namespace

TObject TFnBase::object(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return object_;
}

TStatus TFnBase::setObject(const TObject& object) {
    object_ = object;
    return TStatus::kSuccess;
}

bool TFnBase::attached(const char* user) const {
    if (object_.isNull()) {
        fault("unattached function set", std::string(user) + " on a function set without an object");
        return false;
    }
    return liveNode(object_, user) != nullptr;
}

TFnDependencyNode::TFnDependencyNode(const TObject& object, TStatus* status) { put(status, setObject(object)); }

TStatus TFnDependencyNode::setObject(const TObject& object) {
    object_ = TObject();
    if (object.isNull() || !liveNode(object, "TFnDependencyNode")) return TStatus::kFailure;
    object_ = object;
    return TStatus::kSuccess;
}

TObject TFnDependencyNode::create(const TString& type, const TString& name, TStatus* status) {
    const TypeRec* t = typeByName(type.str());
    if (!t || t->dag || tuloTypeIsA(t->code, TFn::kGeometryFilter) || tuloTypeIsA(t->code, TFn::kAnimCurve))
        return put(status, TStatus::kFailure), TObject();
    TObject made = createNode(*t, name.str(), 0);
    object_ = made;
    put(status, TStatus::kSuccess);
    return made;
}

TString TFnDependencyNode::name(TStatus* status) const {
    if (!attached("TFnDependencyNode::name")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    return TString(node(object_)->name);
}

TString TFnDependencyNode::setName(const TString& wanted, TStatus* status) {
    if (!attached("TFnDependencyNode::setName") || object_.id() == 0 || wanted.length() == 0) {
        put(status, TStatus::kFailure);
        return object_.isNull() || !node(object_) ? TString() : TString(node(object_)->name);
    }
    std::string name = withNamespace(sanitizeName(wanted.str()));
    std::size_t colon = name.rfind(':');
    if (colon != std::string::npos && !scene().namespaces.count(name.substr(0, colon))) {
        put(status, TStatus::kFailure);
        return TString(node(object_)->name);
    }
    if (name != node(object_)->name) setNodeName(object_.id(), uniqueName(object_.id(), name));
    put(status, TStatus::kSuccess);
    return TString(node(object_)->name);
}

TString TFnDependencyNode::typeName(TStatus* status) const {
    if (!attached("TFnDependencyNode::typeName")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    return TString(node(object_)->type->name);
}

TTypeId TFnDependencyNode::typeId(TStatus* status) const {
    if (!attached("TFnDependencyNode::typeId")) return put(status, TStatus::kFailure), TTypeId();
    put(status, TStatus::kSuccess);
    return TTypeId(static_cast<unsigned>(node(object_)->type->typeId));
}

unsigned TFnDependencyNode::attributeCount(TStatus* status) const {
    if (!attached("TFnDependencyNode::attributeCount")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(nodeAttrCount(*node(object_)));
}

TObject TFnDependencyNode::attribute(unsigned index, TStatus* status) const {
    if (!attached("TFnDependencyNode::attribute")) return put(status, TStatus::kFailure), TObject();
    const NodeRec& n = *node(object_);
    const std::size_t count = nodeAttrCount(n);
    if (index >= count) {
        tulo_detail::indexFault("TFnDependencyNode::attribute", index, count);
        return put(status, TStatus::kFailure), TObject();
    }
    put(status, TStatus::kSuccess);
    return attrHandle(nodeAttrAt(n, index));
}

TObject TFnDependencyNode::attribute(const TString& name, TStatus* status) const {
    if (!attached("TFnDependencyNode::attribute")) return put(status, TStatus::kFailure), TObject();
    std::uint32_t a = findAttr(*node(object_), name.str());
    if (a == UINT32_MAX) return put(status, TStatus::kFailure), TObject();
    put(status, TStatus::kSuccess);
    return attrHandle(a);
}

TFnDependencyNode::TAttrClass TFnDependencyNode::attributeClass(const TObject& a, TStatus* status) const {
    if (!attached("TFnDependencyNode::attributeClass") || !attr(a) || !nodeHasAttr(*node(object_), a.id()))
        return put(status, TStatus::kFailure), kInvalidAttr;
    put(status, TStatus::kSuccess);
    return attr(a)->isStatic ? kStaticAttr : kNormalAttr;
}

bool TFnDependencyNode::hasAttribute(const TString& name, TStatus* status) const {
    if (!attached("TFnDependencyNode::hasAttribute")) return put(status, TStatus::kFailure), false;
    put(status, TStatus::kSuccess);
    return findAttr(*node(object_), name.str()) != UINT32_MAX;
}

TStatus TFnDependencyNode::addAttribute(const TObject& a, TAttrClass type) {
    if (!attached("TFnDependencyNode::addAttribute")) return TStatus::kFailure;
    AttrRec* rec = attr(a);
    if (type != kNormalAttr || !rec || rec->isStatic || rec->owner != 0 || rec->parent >= 0)
        return TStatus::kFailure;
    NodeRec& n = *node(object_);
    auto names = namesOf(a.id());
    for (const std::string& s : names)
        if (!isValidAttrName(s)) return TStatus::kFailure;
    for (const std::string& s : names)
        if (findAttr(n, s) != UINT32_MAX) return TStatus::kNameInUse;
    rec->owner = object_.id() + 1;
    rec->ownerGen = object_.generation();
    rec->addSeq = scene().nextAddSeq++;
    n.dynAttrs.push_back(a.id());
    indexDynAttr(n, a.id());
    return TStatus::kSuccess;
}

TStatus TFnDependencyNode::removeAttribute(const TObject& a, TAttrClass type) {
    if (!attached("TFnDependencyNode::removeAttribute")) return TStatus::kFailure;
    AttrRec* rec = attr(a);
    NodeRec& n = *node(object_);
    if (type != kNormalAttr || !rec || rec->isStatic || rec->parent >= 0 || !nodeHasAttr(n, a.id()))
        return TStatus::kFailure;
    std::vector<std::uint32_t> all;
    std::vector<std::uint32_t> todo{a.id()};
    while (!todo.empty()) {
        std::uint32_t id = todo.back();
        todo.pop_back();
        removeValuesUnder(n, id);
        for (std::uint32_t c : attrAt(id).children) todo.push_back(c);
    }
    n.dynAttrs.erase(std::find(n.dynAttrs.begin(), n.dynAttrs.end(), a.id()));
    reindexDynAttrs(n);
    rec->owner = 0;
    return TStatus::kSuccess;
}

TPlug TFnDependencyNode::findPlug(const TString& name, TStatus* status) const {
    if (!attached("TFnDependencyNode::findPlug")) return put(status, TStatus::kFailure), TPlug();
    std::uint32_t a = findAttr(*node(object_), name.str());
    if (a == UINT32_MAX) return put(status, TStatus::kFailure), TPlug();
    put(status, TStatus::kSuccess);
    return TPlug(object_, pathFor(a));
}

TPlug TFnDependencyNode::findPlug(const TObject& a, TStatus* status) const {
    if (!attached("TFnDependencyNode::findPlug")) return put(status, TStatus::kFailure), TPlug();
    if (!attr(a) || !nodeHasAttr(*node(object_), a.id())) return put(status, TStatus::kFailure), TPlug();
    put(status, TStatus::kSuccess);
    return TPlug(object_, pathFor(a.id()));
}

TStatus TFnDependencyNode::getConnections(TPlugArray& plugs) const {
    plugs.clear();
    if (!attached("TFnDependencyNode::getConnections")) return TStatus::kFailure;
    const NodeRec& n = *node(object_);
    const Scene& s = scene();
    std::vector<PlugPath> seen;
    for (bool out : {false, true})
        for (std::uint32_t c : sortedConns(n, out)) {
            const PlugPath& p = out ? s.conns[c].srcPath : s.conns[c].dstPath;
            if (std::find(seen.begin(), seen.end(), p) != seen.end()) continue;
            seen.push_back(p);
            plugs.append(TPlug(object_, p));
        }
    return TStatus::kSuccess;
}
