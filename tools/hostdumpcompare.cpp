#include "tools/hostdumpcompare.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace zeqcompare {

namespace {

const char* const kSceneRecord = "(scene)";
const char* const kSelectionRecord = "(selection)";

// Words, a quoted text (with its backslash escapes) being one word.
std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        std::size_t start = i;
        if (line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i)
                if (line[i] == '\\') ++i;
            i = std::min(i + 1, line.size());
        } else {
            while (i < line.size() && line[i] != ' ') ++i;
        }
        tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

bool Number(const std::string& token, double& value) {
    if (token.empty() || token[0] == '"') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(token.c_str(), &end);
    return end == token.c_str() + token.size() && errno != ERANGE && std::isfinite(value);
}

std::string NumberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

bool Integer(const std::string& token) {
    return token.find_first_not_of("-0123456789") == std::string::npos && token.find_first_of("0123456789") != std::string::npos;
}

// Lines named by their first two words; lines under a UV set carry its name; members are named by
// their path; the rest by their first word, counted when it repeats.
const char* const kNamedHeads[] = {"value", "elements", "locked",      "label",    "added",
                                   "child", "instance", "limit", "skinWeights", "namespace"};
const char* const kUvSetHeads[] = {"u", "v", "uvIds", "uvTexture"};
const char* const kCountedHeads[] = {"key", "targets"};

template <std::size_t N>
bool OneOf(const std::string& word, const char* const (&words)[N]) {
    return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

std::string Shorten(const std::string& text) {
    constexpr std::size_t kMost = 160;
    return text.size() <= kMost ? text : text.substr(0, kMost) + " ...";
}

// Empty when the lines are equal within the tolerances, else what differs.
std::string LineDifference(const std::string& a, const std::string& b, const Tolerances& tolerances) {
    const std::vector<std::string> x = Tokens(a), y = Tokens(b);
    if (x.size() != y.size())
        return std::to_string(x.size()) + " words, now " + std::to_string(y.size()) + ": " + Shorten(a) + " | now " +
               Shorten(b);
    int numbers = 0;
    double value;
    for (const std::string& token : x) numbers += Number(token, value);
    const double tolerance = numbers == 16 ? tolerances.mMatrix : tolerances.mValue;
    const bool absolute = numbers == 16;
    std::size_t first = x.size();
    int count = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        double u, v;
        bool same = x[i] == y[i];
        if (!same && Number(x[i], u) && Number(y[i], v))
            same = Integer(x[i]) && Integer(y[i]) ? u == v
                   : absolute                     ? std::fabs(u - v) <= tolerance
                                                  : WithinTolerance(u, v, tolerance);
        if (!same) {
            first = std::min(first, i);
            ++count;
        }
    }
    if (count == 0) return "";
    std::string text = "word " + std::to_string(first + 1) + ": " + x[first] + " != " + y[first];
    if (count > 1) text += " (" + std::to_string(count) + " words differ)";
    return text;
}

void Tally(std::map<std::string, KindTally>& tallies, const std::string& kind, int KindTally::*field) {
    ++(tallies[kind].*field);
}

// A plug that a connection drives shows the source's value, whatever static value it keeps.
std::vector<std::string> WithoutDrivenValues(const std::string& subject, const std::vector<std::string>& lines,
                                             const HostDump& dump) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        const std::vector<std::string> t = Tokens(line);
        if (t.size() > 1 && t[0] == "value") {
            auto driven = dump.mRecords.find(subject + "." + t[1]);
            if (driven != dump.mRecords.end() && driven->second.mKind == "connection") continue;
        }
        kept.push_back(line);
    }
    return kept;
}

}  // namespace

std::vector<std::string> MeaningfulLines(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    std::vector<double> normals;
    std::vector<long> ids;
    std::size_t normalsAt = lines.size();
    bool readable = true;
    for (const std::string& line : lines) {
        const std::vector<std::string> t = Tokens(line);
        if (t.size() == 6 && t[0] == "limit" && t[2] == "enabled" && t[3] == "0") continue;
        if (!t.empty() && (t[0] == "normals" || t[0] == "normalIds")) {
            normalsAt = std::min(normalsAt, kept.size());
            for (std::size_t i = 1; i < t.size(); ++i) {
                double value;
                if (t[i] == "/" && t[0] == "normals") continue;
                if (!Number(t[i], value)) readable = false;
                else if (t[0] == "normals") normals.push_back(value);
                else ids.push_back(static_cast<long>(value));
            }
        }
        kept.push_back(line);
    }
    if (normalsAt == lines.size() || !readable || normals.size() % 3) return kept;
    std::string faceVertex = "faceVertexNormals";
    for (long id : ids) {
        if (id < 0 || static_cast<std::size_t>(id) >= normals.size() / 3) return kept;
        for (int c = 0; c < 3; ++c) faceVertex += " " + NumberText(normals[3 * id + c]);
    }
    std::vector<std::string> merged;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const std::string head = Tokens(kept[i]).empty() ? "" : Tokens(kept[i])[0];
        if (i == normalsAt) merged.push_back(faceVertex);
        if (head != "normals" && head != "normalIds") merged.push_back(kept[i]);
    }
    return merged;
}

bool WithinTolerance(double a, double b, double tolerance) {
    return std::fabs(a - b) <= tolerance * std::max({1.0, std::fabs(a), std::fabs(b)});
}

std::vector<std::string> LineKeys(const std::vector<std::string>& lines) {
    std::vector<std::string> keys;
    std::map<std::string, int> seen;
    std::string uvSet;
    for (const std::string& line : lines) {
        const std::vector<std::string> t = Tokens(line);
        const std::string head = t.empty() ? "" : t[0];
        std::string key = head;
        if (head == "uvSet") {
            uvSet = "uvSet " + (t.size() > 1 ? t[1] : "");
            key = uvSet;
        } else if (OneOf(head, kUvSetHeads)) {
            key = uvSet + (uvSet.empty() ? "" : " ") + head + (head == "uvTexture" && t.size() > 1 ? " " + t[1] : "");
        } else if (OneOf(head, kNamedHeads) && t.size() > 1) {
            key = head + " " + t[1];
        } else if (head == "member") {
            for (std::size_t i = 1; i < t.size() && t[i] != "component"; ++i) key += " " + t[i];
        }
        const int n = seen[key]++;
        if (OneOf(head, kCountedHeads)) key += "#" + std::to_string(n);
        else if (n > 0) key += "#" + std::to_string(n);
        keys.push_back(key);
    }
    return keys;
}

bool ParseHostDump(const std::string& text, HostDump& dump, std::string& error) {
    HostDump read;
    std::istringstream in(text);
    std::string line;
    DumpRecord* node = nullptr;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.compare(0, 2, "  ") == 0) {
            if (!node) return error = where + "an indented line outside a node", false;
            node->mLines.push_back(line.substr(2));
            continue;
        }
        node = nullptr;
        const std::vector<std::string> t = Tokens(line);
        if (t[0] == "node") {
            if (t.size() != 3) return error = where + "a node line needs a path or name and a type", false;
            if (read.mRecords.count(t[1])) return error = where + "node " + t[1] + " twice", false;
            node = &read.mRecords[t[1]];
            node->mKind = t[2];
        } else if (t[0] == "units" || t[0] == "time" || t[0] == "namespace") {
            DumpRecord& scene = read.mRecords[kSceneRecord];
            scene.mKind = "scene";
            scene.mLines.push_back(line);
        } else if (t[0] == "connect") {
            if (t.size() != 4 || t[2] != "->") return error = where + "a connection needs \"source -> destination\"", false;
            DumpRecord& connection = read.mRecords[t[3]];
            connection.mKind = "connection";
            connection.mLines.push_back("source " + t[1]);
        } else if (t[0] == "selected") {
            DumpRecord& selection = read.mRecords[kSelectionRecord];
            selection.mKind = "selection";
            selection.mLines.push_back(line);
        } else {
            return error = where + "not a line of a scene dump: " + Shorten(line), false;
        }
    }
    dump = std::move(read);
    return true;
}

std::vector<Difference> CompareHostDumps(const std::string& comparison, const HostDump& before, const HostDump& after,
                                         const Tolerances& tolerances, std::map<std::string, KindTally>& tallies) {
    std::vector<Difference> differences;
    auto add = [&](const std::string& kind, const std::string& subject, const char* status, const std::string& aspect,
                   const std::string& detail) {
        differences.push_back({comparison, kind, subject, status, aspect, detail});
    };
    for (const auto& entry : before.mRecords) {
        const std::string& subject = entry.first;
        const DumpRecord& a = entry.second;
        auto found = after.mRecords.find(subject);
        if (found == after.mRecords.end()) {
            add(a.mKind, subject, "missing", "", "only before");
            Tally(tallies, a.mKind, &KindTally::mMissing);
            continue;
        }
        const DumpRecord& b = found->second;
        const std::size_t count = differences.size();
        if (a.mKind != b.mKind) add(a.mKind, subject, "different", "type", a.mKind + " != " + b.mKind);
        // Lines pair up by key, in the order of the first record; keys of one side only are named.
        const std::vector<std::string> la = MeaningfulLines(WithoutDrivenValues(subject, a.mLines, before)),
                                       lb = MeaningfulLines(WithoutDrivenValues(subject, b.mLines, after));
        const std::vector<std::string> ka = LineKeys(la), kb = LineKeys(lb);
        std::map<std::string, std::size_t> where;
        for (std::size_t i = 0; i < kb.size(); ++i) where[kb[i]] = i;
        std::vector<bool> paired(kb.size(), false);
        for (std::size_t i = 0; i < ka.size(); ++i) {
            auto other = where.find(ka[i]);
            if (other == where.end()) {
                add(a.mKind, subject, "different", ka[i], "line only before: " + Shorten(la[i]));
                continue;
            }
            paired[other->second] = true;
            const std::string what = LineDifference(la[i], lb[other->second], tolerances);
            if (!what.empty()) add(a.mKind, subject, "different", ka[i], what);
        }
        for (std::size_t i = 0; i < kb.size(); ++i)
            if (!paired[i]) add(a.mKind, subject, "different", kb[i], "line only after: " + Shorten(lb[i]));
        Tally(tallies, a.mKind, differences.size() == count ? &KindTally::mEqual : &KindTally::mDifferent);
    }
    for (const auto& entry : after.mRecords)
        if (!before.mRecords.count(entry.first)) {
            add(entry.second.mKind, entry.first, "added", "", "only after");
            Tally(tallies, entry.second.mKind, &KindTally::mAdded);
        }
    return differences;
}

}  // namespace zeqcompare
