// Node names: sanitising, clash numbering with per-scope hints, namespaces and the shortest
// unique DAG path suffix.
#include <algorithm>
#include <cctype>

#include "dagpathlink.h"
#include "scene.h"

namespace tulo_detail {

namespace {
bool nameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':'; }

std::string stripDigits(const std::string& s) {
    std::size_t end = s.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(s[end - 1]))) --end;
    return s.substr(0, end);
}

bool sharesParent(const NodeRec& a, const NodeRec& b) {
    for (std::uint32_t p : a.parents)
        if (std::find(b.parents.begin(), b.parents.end(), p) != b.parents.end()) return true;
    return false;
}

// DAG names are unique among siblings and against DG names; DG names against all.
bool clashes(std::uint32_t id, const std::string& name) {
    const Scene& s = scene();
    auto it = s.byName.find(name);
    if (it == s.byName.end()) return false;
    const NodeRec& me = s.nodes[id];
    // Many DAG nodes of one name under other parents (a default name): the siblings are fewer.
    if (isDag(me) && it->second.size() > 16) {
        std::size_t siblings = 0;
        for (std::uint32_t p : me.parents) siblings += s.nodes[p].children.size();
        if (siblings < it->second.size()) {
            auto dg = s.dgNameCount.find(name);
            if (dg != s.dgNameCount.end() && dg->second > 0) return true;
            for (std::uint32_t p : me.parents)
                for (std::uint32_t other : s.nodes[p].children)
                    if (other != id && s.nodes[other].name == name) return true;
            return false;
        }
    }
    for (std::uint32_t other : it->second) {
        if (other == id) continue;
        const NodeRec& o = s.nodes[other];
        if (!isDag(me) || !isDag(o) || sharesParent(me, o)) return true;
    }
    return false;
}
}  // namespace

std::string sanitizeName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (!nameChar(c)) c = '_';
    // No part of a namespaced name may start with a digit.
    for (std::size_t i = 0; i < out.size(); ++i)
        if ((i == 0 || out[i - 1] == ':') && std::isdigit(static_cast<unsigned char>(out[i]))) out.insert(i, "_");
    while (!out.empty() && out.front() == ':') out.erase(0, 1);
    return out;
}

bool isValidAttrName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

std::string withNamespace(const std::string& name) {
    const Scene& s = scene();
    if (name.find(':') != std::string::npos || s.currentNamespace.empty()) return name;
    return s.currentNamespace + ":" + name;
}

std::string uniqueName(std::uint32_t id, const std::string& wanted) {
    if (!clashes(id, wanted)) return wanted;
    Scene& s = scene();
    std::string base = stripDigits(wanted);
    const NodeRec& me = s.nodes[id];
    std::string key = (isDag(me) ? "p" + std::to_string(me.parents.empty() ? 0 : me.parents[0]) : "g") + "|" + base;
    std::uint64_t epoch = s.freedEpoch[base];
    Scene::Hint& h = s.hints[key];
    if (h.epoch != epoch) h = {1, epoch};  // a freed name may lie below the hint: rescan
    for (std::uint64_t k = h.next;; ++k) {
        std::string candidate = base + std::to_string(k);
        if (!clashes(id, candidate)) {
            h.next = k + 1;
            return candidate;
        }
    }
}

void unindexName(std::uint32_t id) {
    Scene& s = scene();
    NodeRec& n = s.nodes[id];
    auto it = s.byName.find(n.name);
    if (it != s.byName.end()) {
        auto& v = it->second;
        v.erase(std::remove(v.begin(), v.end(), id), v.end());
        if (v.empty()) s.byName.erase(it);
        if (!isDag(n)) {
            auto dg = s.dgNameCount.find(n.name);
            if (dg != s.dgNameCount.end() && --dg->second == 0) s.dgNameCount.erase(dg);
        }
    }
    ++s.freedEpoch[stripDigits(n.name)];
}

void setNodeName(std::uint32_t id, const std::string& name) {
    Scene& s = scene();
    if (!s.nodes[id].name.empty()) unindexName(id);
    s.nodes[id].name = name;
    if (id != 0) {
        s.byName[name].push_back(id);
        if (!isDag(s.nodes[id])) ++s.dgNameCount[name];
    }
}

std::uint32_t pathCount(std::uint32_t id) { return cachedPathCount(id); }

std::vector<std::vector<std::uint32_t>> pathsTo(std::uint32_t id) {
    if (id == 0) return {{}};
    const Scene& s = scene();
    std::vector<std::vector<std::uint32_t>> out;
    // Up from the node, each step with the next of its parents to follow: the paths come out with
    // the node's first parent's first, and so on at every level. No recursion: DAGs can be deep.
    std::vector<std::pair<std::uint32_t, std::size_t>> up{{id, 0}};
    while (!up.empty()) {
        const std::uint32_t at = up.back().first;
        const std::vector<std::uint32_t>& parents = s.nodes[at].parents;
        if (up.back().second == parents.size()) {
            up.pop_back();
            continue;
        }
        const std::uint32_t parent = parents[up.back().second++];
        if (parent != 0) {
            up.emplace_back(parent, 0);
            continue;
        }
        std::vector<std::uint32_t> path;
        path.reserve(up.size());
        for (auto it = up.rbegin(); it != up.rend(); ++it) path.push_back(it->first);
        out.push_back(std::move(path));
    }
    return out;
}

namespace {
// Paths through `id` whose node names from the top of the suffix down to `id` are names[0..i].
std::uint32_t matchUp(std::uint32_t id, const std::vector<const std::string*>& names, std::ptrdiff_t i) {
    const Scene& s = scene();
    std::uint32_t n = 0;
    // Each node with the index of the name its parents must have; a sum, so any order serves.
    std::vector<std::pair<std::uint32_t, std::ptrdiff_t>> pending{{id, i}};
    while (!pending.empty()) {
        const auto [at, level] = pending.back();
        pending.pop_back();
        if (level < 0) {
            n += pathCount(at);
            continue;
        }
        const std::string& name = *names[static_cast<std::size_t>(level)];
        for (std::uint32_t p : s.nodes[at].parents)
            if (p != 0 && s.nodes[p].name == name) pending.emplace_back(p, level - 1);
    }
    return n;
}
}  // namespace

std::string shortestSuffix(const std::vector<std::uint32_t>& path) {
    const Scene& s = scene();
    if (path.empty()) return "";
    std::vector<const std::string*> names;
    for (std::uint32_t id : path) names.push_back(&s.nodes[id].name);
    for (std::size_t k = 1; k <= names.size(); ++k) {
        std::vector<const std::string*> suffix(names.end() - static_cast<std::ptrdiff_t>(k), names.end());
        std::uint32_t count = 0;
        auto it = s.byName.find(*suffix.back());
        if (it == s.byName.end()) break;
        for (std::uint32_t c : it->second) {
            if (!isDag(s.nodes[c])) continue;
            count += matchUp(c, suffix, static_cast<std::ptrdiff_t>(k) - 2);
            if (count > 1) break;
        }
        if (count == 1) {
            std::string out;
            for (const std::string* n : suffix) out += (out.empty() ? "" : "|") + *n;
            return out;
        }
    }
    std::string out;
    for (const std::string* n : names) out += "|" + *n;
    return out;
}

}  // namespace tulo_detail

namespace tulo_detail {

// Namespaces are carried in names; the set holds full names without a leading ':'.
bool namespaceAdd(const std::string& wanted) {
    Scene& s = scene();
    std::string name = sanitizeName(wanted);
    if (name.empty()) return false;
    std::string full = s.currentNamespace.empty() ? name : s.currentNamespace + ":" + name;
    if (s.namespaces.count(full)) return false;
    // Intermediate namespaces of "A:B" come with it.
    for (std::size_t colon = full.find(':'); colon != std::string::npos; colon = full.find(':', colon + 1))
        s.namespaces.insert(full.substr(0, colon));
    s.namespaces.insert(full);
    return true;
}

bool namespaceSet(const std::string& wanted) {
    Scene& s = scene();
    if (wanted == ":") {
        s.currentNamespace.clear();
        return true;
    }
    std::string name = wanted;
    bool absolute = !name.empty() && name[0] == ':';
    while (!name.empty() && name[0] == ':') name.erase(0, 1);
    std::string relative = s.currentNamespace.empty() ? name : s.currentNamespace + ":" + name;
    if (!absolute && s.namespaces.count(relative)) {
        s.currentNamespace = relative;
        return true;
    }
    if (!s.namespaces.count(name)) return false;
    s.currentNamespace = name;
    return true;
}

std::vector<std::string> namespaceChildren() {
    const Scene& s = scene();
    std::vector<std::string> out;
    std::string prefix = s.currentNamespace.empty() ? "" : s.currentNamespace + ":";
    for (const std::string& n : s.namespaces)
        if (n.compare(0, prefix.size(), prefix) == 0 && n.find(':', prefix.size()) == std::string::npos &&
            n.size() > prefix.size())
            out.push_back(n);
    return out;
}

}  // namespace tulo_detail
