#include "standin.h"

#include "interp.h"
#include "scene.h"
#include "tunits.h"

using namespace tulo_detail;

namespace standin {

void reset() { freshScene(); }

const std::vector<Fault>& faults() {
    static std::vector<Fault> copy;
    copy.clear();
    for (const auto& f : scene().faults) copy.push_back({f.kind, f.text});
    return copy;
}

std::vector<Fault> takeFaults() {
    std::vector<Fault> out = faults();
    scene().faults.clear();
    return out;
}

const std::vector<std::string>& transcript() { return scene().transcript; }
void clearTranscript() { scene().transcript.clear(); }

TObject createNode(const std::string& type, const std::string& name, const TObject& parent) {
    const TypeRec* t = typeByName(type);
    if (!t || t->code == TFn::kWorld) return TObject();
    NodeRec* p = node(parent);
    if (!parent.isNull() && (!p || !isDag(*p))) return TObject();
    return tulo_detail::createNode(*t, name, parent.isNull() ? 0 : parent.id());
}

bool connect(const TPlug& source, const TPlug& destination) {
    TDGModifier m;
    return m.connect(source, destination) && m.doIt();
}

bool disconnect(const TPlug& source, const TPlug& destination) {
    TDGModifier m;
    return m.disconnect(source, destination) && m.doIt();
}

bool setLabel(const TPlug& p, const std::string& label) {
    NodeRec* n = p.isNull() ? nullptr : node(p.node());
    if (!n) return false;
    n->labels[p.entries()] = label;
    return true;
}

}  // namespace standin

namespace tulo_detail {
std::vector<std::uint32_t> nameMatches(const std::string& name) {
    const Scene& s = scene();
    std::vector<std::uint32_t> hits;
    if (name.empty()) return hits;
    std::string leaf = name.substr(name.rfind('|') == std::string::npos ? 0 : name.rfind('|') + 1);
    auto it = s.byName.find(leaf);
    if (it == s.byName.end()) return hits;
    std::string want = name[0] == '|' ? name : "|" + name;
    for (std::uint32_t id : it->second) {
        if (name.find('|') == std::string::npos) {
            hits.push_back(id);
            continue;
        }
        for (const auto& path : pathsTo(id)) {
            std::string full;
            for (std::uint32_t p : path) full += "|" + s.nodes[p].name;
            if (full.size() >= want.size() && full.compare(full.size() - want.size(), want.size(), want) == 0 &&
                (name[0] != '|' || full == want)) {
                hits.push_back(id);
                break;
            }
        }
    }
    return hits;
}
}  // namespace tulo_detail

namespace standin {

TObject find(const std::string& name) {
    std::vector<std::uint32_t> hits = nameMatches(name);
    return hits.size() == 1 ? handle(hits[0]) : TObject();
}

std::size_t countMatches(const std::string& name) { return nameMatches(name).size(); }

TPlug plug(const std::string& text) {
    std::size_t dot = text.find('.');
    if (dot == std::string::npos) return TPlug();
    TObject n = find(text.substr(0, dot));
    NodeRec* rec = node(n);
    if (!rec) return TPlug();
    PlugPath path;
    std::string rest = text.substr(dot + 1);
    std::int32_t parentAttr = -1;
    for (std::size_t start = 0; start < rest.size();) {
        std::size_t end = rest.find('.', start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        std::int32_t index = kNoIndex;
        std::size_t bracket = part.find('[');
        if (bracket != std::string::npos) {
            index = std::atoi(part.c_str() + bracket + 1);
            part.resize(bracket);
        }
        std::uint32_t a = findAttr(*rec, part);
        if (a == UINT32_MAX) return TPlug();
        // Compound ancestors that the text skips ("translateX") are filled in.
        PlugPath full = pathFor(a);
        if (parentAttr >= 0 && attrAt(a).parent != parentAttr) return TPlug();
        if (!path.empty()) full.erase(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(path.size()));
        path.insert(path.end(), full.begin(), full.end());
        if (index >= 0) {
            if (!attrAt(a).array) return TPlug();
            path.back().index = index;
        }
        parentAttr = static_cast<std::int32_t>(a);
        start = end + 1;
    }
    return TPlug(n, path);
}

bool parent(const TObject& child, const TObject& parentNode, bool addInstance) {
    NodeRec* c = node(child);
    NodeRec* p = node(parentNode);
    if (!c || !isDag(*c) || child.id() == 0 || (!parentNode.isNull() && (!p || !isDag(*p)))) return false;
    return reparent(child.id(), parentNode.isNull() ? 0 : parentNode.id(), 0xFFFFFFFFu, addInstance);
}

bool addNamespace(const std::string& name) { return namespaceAdd(name); }
bool setNamespace(const std::string& name) { return namespaceSet(name); }
std::string currentNamespace() { return scene().currentNamespace.empty() ? ":" : scene().currentNamespace; }
std::vector<std::string> namespaces() { return namespaceChildren(); }

TObject createDrivenCurve(const TPlug& driver, const TPlug& driven, int type) {
    static const char* kinds[] = {"animCurveUA", "animCurveUL", "animCurveUT", "animCurveUU"};
    if (type < 4 || type > 7 || driver.isNull() || driven.isNull()) return TObject();
    std::uint32_t src;
    PlugPath srcPath;
    if (sourceOf(driven.node().id(), driven.entries(), src, srcPath)) return TObject();
    TObject curve = tulo_detail::createNode(*typeByName(kinds[type - 4]), "", 0);
    const NodeRec& n = scene().nodes[curve.id()];
    if (!tulo_detail::connect(driver.node().id(), driver.entries(), curve.id(), pathFor(findAttr(n, "input"))) ||
        !tulo_detail::connect(curve.id(), pathFor(findAttr(n, "output")), driven.node().id(), driven.entries())) {
        destroyNode(curve.id());
        return TObject();
    }
    return curve;
}

bool setKeyTangent(const TObject& curve, unsigned index, bool inTangent, double slope, double length) {
    NodeRec* n = node(curve);
    if (!n || !n->curve || index >= n->curve->keys.size()) return false;
    Key& k = n->curve->keys[index];
    (inTangent ? k.inType : k.outType) = 1;
    (inTangent ? k.inM : k.outM) = slope;
    (inTangent ? k.inL : k.outL) = length;
    return true;
}

bool setUnits(int distance, int angle, int time) {
    return TDistance::setUIUnit(distance) && TAngle::setUIUnit(angle) && TTime::setUIUnit(time);
}

}  // namespace standin
