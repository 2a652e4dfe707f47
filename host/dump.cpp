// The canonical text of a scene: every node under its path or name, sorted, with its values,
// locks, labels, added attributes, keys and limits; then connections, namespaces and selection.
// Ids and creation order do not show, so equal scenes dump equally.
#include <algorithm>
#include <sstream>

#include "scene.h"
#include "session.h"

namespace tulo_detail {

namespace {

std::string num(double v) { return tuloFormatDouble(v); }

std::string nodeKey(std::uint32_t id) {
    const NodeRec& n = scene().nodes[id];
    if (!isDag(n)) return n.name;
    std::string full;
    auto paths = pathsTo(id);
    for (std::uint32_t p : paths.front()) full += "|" + scene().nodes[p].name;
    return full;
}

std::string plugText(const PlugPath& p) {
    std::string out;
    for (const PathEntry& e : p) {
        if (!out.empty()) out += '.';
        out += attrAt(e.attr).longName;
        if (e.index >= 0) out += "[" + std::to_string(e.index) + "]";
    }
    return out;
}

std::string valueText(const AttrRec& a, const Value& v) {
    if (a.kind == AttrKind::String) return escapeText(v.str);
    if (a.kind != AttrKind::Matrix) return num(v.num);
    std::string out;
    for (double x : v.m) out += (out.empty() ? "" : " ") + num(x);
    return out;
}

// A number set back to its attribute's default reads as one never set: a value changed and given
// back (an export reading a deformed mesh) leaves the same text. Array elements always show.
bool atDefault(const PlugPath& p, const Value& v) {
    for (const PathEntry& e : p)
        if (e.index >= 0) return false;
    const AttrRec& a = attrAt(p.back().attr);
    return (a.kind == AttrKind::Numeric || a.kind == AttrKind::Enum) && v.num == a.def;
}

void attributeLines(std::uint32_t id, std::vector<std::string>& out) {
    const AttrRec& a = attrAt(id);
    std::ostringstream s;
    s << "  added " << a.longName << " " << a.shortName << " kind " << static_cast<int>(a.kind) << " type "
      << a.apiType << " data " << a.dataType << " unit " << static_cast<int>(a.unit) << " array " << a.array
      << " default " << num(a.def);
    if (a.hasMin) s << " min " << num(a.min);
    if (a.hasMax) s << " max " << num(a.max);
    if (a.hasSoftMin) s << " softMin " << num(a.softMin);
    if (a.hasSoftMax) s << " softMax " << num(a.softMax);
    s << " flags " << a.connectable << a.storable << a.hidden << a.keyable << a.internal << a.usedAsColor;
    for (const auto& f : a.fields) s << " field " << f.first << "=" << f.second;
    out.push_back(s.str());
    for (std::uint32_t c : a.children) attributeLines(c, out);
}

std::string nodeText(std::uint32_t id) {
    const Scene& sc = scene();
    const NodeRec& n = sc.nodes[id];
    std::ostringstream s;
    s << "node " << nodeKey(id) << " " << n.type->name << "\n";
    if (isDag(n)) {
        auto paths = pathsTo(id);
        for (std::size_t i = 1; i < paths.size(); ++i) {
            std::string full;
            for (std::uint32_t p : paths[i]) full += "|" + sc.nodes[p].name;
            s << "  instance " << full << "\n";
        }
        for (std::uint32_t c : n.children) s << "  child " << sc.nodes[c].name << "\n";
    }
    std::vector<std::string> lines;
    for (std::uint32_t a : n.dynAttrs) attributeLines(a, lines);
    for (const std::string& l : lines) s << l << "\n";
    lines.clear();
    for (const auto& v : n.values)
        if (!atDefault(v.first, v.second))
            lines.push_back("  value " + plugText(v.first) + " " + valueText(attrAt(v.first.back().attr), v.second));
    for (const auto& e : n.elements) {
        std::string list;
        for (std::int32_t i : e.second) list += " " + std::to_string(i);
        lines.push_back("  elements " + plugText(e.first) + list);
    }
    for (const PlugPath& p : n.locks) lines.push_back("  locked " + plugText(p));
    for (const auto& l : n.labels) lines.push_back("  label " + plugText(l.first) + " " + l.second);
    std::sort(lines.begin(), lines.end());
    for (const std::string& l : lines) s << l << "\n";
    if (n.curve) {
        s << "  curve type " << n.curve->type << " weighted " << n.curve->weighted << "\n";
        for (const Key& k : n.curve->keys)
            s << "  key " << num(k.t) << " " << num(k.v) << " in " << k.inType << " " << num(k.inM) << " "
              << num(k.inL) << " out " << k.outType << " " << num(k.outM) << " " << num(k.outL) << " locked "
              << k.tangentsLocked << k.weightsLocked << "\n";
    }
    if (n.limits)
        for (int t = 0; t < 24; ++t)
            if (n.limits->enabled[t] || n.limits->set[t])
                s << "  limit " << t << " enabled " << n.limits->enabled[t] << " value " << num(n.limits->value[t]) << "\n";
    dumpGeometry(id, s);
    return s.str();
}

}  // namespace

std::string dumpScene() {
    const Scene& sc = scene();
    std::ostringstream s;
    s << "units distance " << sc.uiDistance << " angle " << sc.uiAngle << " time " << sc.uiTime << "\n";
    s << "time current " << num(sc.currentTime) << " min " << num(sc.minTime) << " max " << num(sc.maxTime) << "\n";
    s << "namespace current " << (sc.currentNamespace.empty() ? ":" : sc.currentNamespace) << "\n";
    for (const std::string& ns : sc.namespaces) s << "namespace " << ns << "\n";
    std::vector<std::pair<std::string, std::uint32_t>> nodes;
    for (std::uint32_t id = 1; id < sc.nodes.size(); ++id)
        if (sc.nodes[id].gen) nodes.emplace_back(nodeKey(id), id);
    std::sort(nodes.begin(), nodes.end());
    for (const auto& n : nodes) s << nodeText(n.second);
    std::vector<std::string> conns;
    for (std::size_t c = 0; c < sc.conns.size(); ++c)
        if (sc.connGen[c])
            conns.push_back("connect " + nodeKey(sc.conns[c].src) + "." + plugText(sc.conns[c].srcPath) + " -> " +
                            nodeKey(sc.conns[c].dst) + "." + plugText(sc.conns[c].dstPath));
    std::sort(conns.begin(), conns.end());
    for (const std::string& c : conns) s << c << "\n";
    for (const auto& item : sc.selection) {
        s << "selected";
        for (const TObject& o : item.first) s << (node(o) ? " " + sc.nodes[o.id()].name : " <deleted>");
        s << (item.second.isNull() ? "" : " with component") << "\n";
    }
    return s.str();
}

}  // namespace tulo_detail
