// The interpreter's built-in commands and the rig tool's fakes, with the answers the plug-in
// relies on.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "interp.h"
#include "scene.h"
#include "tfntransform.h"
#include "tglobal.h"
#include "tunits.h"

namespace tulo_detail {

namespace {

// Script numbers of unit attributes are in UI units; stored values are internal.
double toUI(UnitKind u, double v) {
    switch (u) {
    case UnitKind::Angle: return v / TAngle::radiansPer(TAngle::uiUnit());
    case UnitKind::Distance: return v / TDistance::centimetresPer(TDistance::uiUnit());
    case UnitKind::Time: return v * TTime::unitsPerSecond(TTime::uiUnit());
    default: return v;
    }
}
double fromUI(UnitKind u, double v) {
    switch (u) {
    case UnitKind::Angle: return v * TAngle::radiansPer(TAngle::uiUnit());
    case UnitKind::Distance: return v * TDistance::centimetresPer(TDistance::uiUnit());
    case UnitKind::Time: return v / TTime::unitsPerSecond(TTime::uiUnit());
    default: return v;
    }
}

bool integral(const AttrRec& a) { return a.kind == AttrKind::Enum || (a.dataType >= 1 && a.dataType <= 9); }

void record(const std::string& text) {
    session().records.push_back(text);
    note("record: " + text);
}

std::vector<TObject> pathOf(std::uint32_t id) { return TDagPath::getAPathTo(handle(id)).nodes(); }

void select(const std::vector<std::uint32_t>& ids) {
    auto& sel = scene().selection;
    sel.clear();
    for (std::uint32_t id : ids) sel.emplace_back(pathOf(id), TObject());
}

// ---- attributes

bool getAttr(Call& c) {
    if (!c.flags({})) return false;
    if (c.positional.size() != 1) return c.fail("needs one attribute");
    TPlug p;
    if (!resolvePlug(c, c.positional[0], p)) return false;
    const PlugPath& path = p.entries();
    if (!resolved(path) || path.back().index == kArrayPlug) return c.fail("cannot read the array " + c.positional[0]);
    const AttrRec& a = attrAt(path.back().attr);
    std::uint32_t id = p.node().id();
    Value v;
    auto read = [&](const PlugPath& at) { return static_cast<bool>(readValue(id, at, v, 0)); };
    switch (a.kind) {
    case AttrKind::Matrix:
        if (!read(path)) return c.fail("cannot read " + c.positional[0]);
        c.result.isArray = true;
        for (double x : v.m) c.result.appendDouble(x);
        return true;
    case AttrKind::String:
        if (!read(path)) return c.fail("cannot read " + c.positional[0]);
        c.result.setText(v.str);
        return true;
    case AttrKind::Numeric:
    case AttrKind::Enum:
        if (!read(path)) return c.fail("cannot read " + c.positional[0]);
        if (integral(a)) c.result.setInt(static_cast<double>(toInt64(v.num)));
        else c.result.setDouble(toUI(a.unit, v.num));
        return true;
    case AttrKind::Compound:
        if (a.children.empty()) break;
        for (std::uint32_t child : a.children)
            if (attrAt(child).kind != AttrKind::Numeric) return c.fail("cannot read the compound " + c.positional[0]);
        c.result.isArray = true;
        for (std::uint32_t child : a.children) {
            PlugPath at = path;
            at.push_back({child, kNoIndex});
            if (!read(at)) return c.fail("cannot read " + c.positional[0]);
            c.result.appendDouble(toUI(attrAt(child).unit, v.num));
        }
        return true;
    default: break;
    }
    return c.fail("cannot read " + c.positional[0] + " as a value");
}

bool setAttr(Call& c) {
    if (!c.flags({{"type", "typ", 1}})) return false;
    if (c.positional.size() < 2) return c.fail("needs an attribute and a value");
    TPlug p;
    if (!resolvePlug(c, c.positional[0], p)) return false;
    if (p.isLocked()) return c.fail("the attribute '" + c.positional[0] + "' is locked");
    std::vector<std::string> vals(c.positional.begin() + 1, c.positional.end());
    const AttrRec& a = attrAt(p.entries().back().attr);
    const std::string& type = c.value("type");
    std::vector<double> nums;
    auto numbers = [&](std::size_t want) {
        if (vals.size() != want) return c.fail("needs " + std::to_string(want) + " value(s), got " + std::to_string(vals.size()));
        for (const std::string& s : vals) {
            double d;
            bool b;
            if (parseNumber(s, d)) nums.push_back(d);
            else if (parseBool(s, b)) nums.push_back(b ? 1 : 0);
            else return c.fail("\"" + s + "\" is no number");
        }
        return true;
    };
    if (type == "matrix") {
        if (a.kind != AttrKind::Matrix) return c.fail(c.positional[0] + " is no matrix");
        if (!numbers(16)) return false;
        TMatrix m;
        for (int k = 0; k < 16; ++k) m.matrix[k / 4][k % 4] = nums[static_cast<std::size_t>(k)];
        return p.setValue(m) ? true : c.fail("cannot set " + c.positional[0]);
    }
    if (type == "string") {
        if (vals.size() != 1) return c.fail("needs one string");
        return p.setValue(TString(vals[0])) ? true : c.fail("cannot set " + c.positional[0]);
    }
    if (!type.empty()) return c.fail("unknown data type \"" + type + "\"");
    if (a.kind == AttrKind::Numeric || a.kind == AttrKind::Enum) {
        if (!numbers(1)) return false;
        return p.setValue(fromUI(a.unit, nums[0])) ? true : c.fail("cannot set " + c.positional[0]);
    }
    if (a.kind == AttrKind::Compound && !a.children.empty() && numbers(a.children.size())) {
        for (std::size_t k = 0; k < a.children.size(); ++k) {
            TPlug child = p.child(static_cast<unsigned>(k));
            if (!child.setValue(fromUI(attrAt(a.children[k]).unit, nums[k])))
                return c.fail("cannot set " + c.positional[0]);
        }
        return true;
    }
    return c.error.empty() ? c.fail("cannot set " + c.positional[0] + " from numbers") : false;
}

bool deleteCmd(Call& c) {
    if (!c.flags({{"channels", "ch", 0}, {"unitlessAnimationCurves", "uac", 1}, {"hierarchy", "hi", 1},
                  {"controlPoints", "cp", 1}, {"shape", "s", 1}}))
        return false;
    if (c.has("channels")) {
        std::string text = c.name;
        for (const Word& w : c.args) text += " " + w.text;
        record(text);
        return true;
    }
    if (c.positional.empty()) return c.fail("names no object");
    std::vector<TObject> nodes;
    for (const std::string& name : c.positional) {
        TObject o;
        if (!resolveNode(c, name, o)) return false;
        nodes.push_back(o);
    }
    for (const TObject& o : nodes)
        if (node(o)) TGlobal::deleteNode(o);  // a node may have gone with an earlier one's subtree
    return true;
}

bool setDrivenKeyframe(Call& c) {
    if (!c.flags({{"query", "q", 0}, {"currentDriver", "cd", 0}})) return false;
    if (!c.has("query") || !c.has("currentDriver") || c.positional.size() != 1)
        return c.fail("only the driver query (-q -cd <plug>) is supported");
    TPlug p;
    if (!resolvePlug(c, c.positional[0], p)) return false;
    std::uint32_t curve, driver;
    PlugPath curvePath, driverPath;
    c.result.isArray = true;
    const Scene& s = scene();
    if (sourceOf(p.node().id(), p.entries(), curve, curvePath) && s.nodes[curve].curve &&
        s.nodes[curve].curve->type >= 4 &&
        sourceOf(curve, pathFor(findAttr(s.nodes[curve], "input")), driver, driverPath))
        c.result.appendText(TPlug(handle(driver), driverPath).name().str());
    else
        c.result.appendText("No drivers.");
    return true;
}

// ---- scene, namespaces, DAG

bool fileCmd(Call& c) {
    if (!c.flags({{"force", "f", 0}, {"new", "new", 0}, {"import", "i", 0}, {"exportAll", "ea", 0},
                  {"type", "typ", 1}, {"options", "op", 1}}))
        return false;
    int modes = c.has("new") + c.has("import") + c.has("exportAll");
    if (modes != 1) return c.fail("needs one of -new, -import, -exportAll");
    if (c.has("new")) {
        if (!c.positional.empty()) return c.fail("-new takes no file");
        freshScene();
        return true;
    }
    if (c.positional.size() != 1) return c.fail("needs one file");
    std::string error;
    if (!fileTranslate(c.positional[0], c.value("type"), c.has("import"), error)) return c.fail(error);
    c.result.setText(c.positional[0]);
    return true;
}

bool namespaceCmd(Call& c) {
    if (!c.flags({{"set", "set", 1}, {"add", "add", 1}})) return false;
    if (!c.positional.empty() || (!c.has("set") && !c.has("add"))) return c.fail("needs -add or -set");
    if (c.has("add") && !namespaceAdd(c.value("add"))) return c.fail("cannot add namespace \"" + c.value("add") + "\"");
    if (c.has("set") && !namespaceSet(c.value("set")))
        return c.fail("namespace \"" + c.value("set") + "\" does not exist");
    c.result.setText(scene().currentNamespace.empty() ? ":" : scene().currentNamespace);
    return true;
}

bool namespaceInfo(Call& c) {
    if (!c.flags({{"listOnlyNamespaces", "lon", 0}, {"currentNamespace", "cur", 0}})) return false;
    if (c.has("listOnlyNamespaces") == c.has("currentNamespace") || !c.positional.empty())
        return c.fail("needs one of -lon, -currentNamespace");
    if (c.has("currentNamespace")) {
        c.result.setText(scene().currentNamespace.empty() ? ":" : scene().currentNamespace);
        return true;
    }
    c.result.isArray = true;
    for (const std::string& n : namespaceChildren()) c.result.appendText(n);
    return true;
}

bool parentCmd(Call& c) {
    if (!c.flags({})) return false;
    if (c.positional.size() != 2) return c.fail("needs a child and a parent");
    TObject child, parent;
    if (!resolveNode(c, c.positional[0], child) || !resolveNode(c, c.positional[1], parent)) return false;
    Scene& s = scene();
    if (!isDag(s.nodes[child.id()]) || !isDag(s.nodes[parent.id()])) return c.fail("needs DAG nodes");
    // The instance named moves: its parent is the node named before the last "|", else the first one.
    const std::string& name = c.positional[0];
    std::uint32_t from = s.nodes[child.id()].parents[0];
    std::size_t bar = name.rfind('|');
    if (bar != std::string::npos) {
        TObject p = bar == 0 ? TObject() : standin::find(name.substr(0, bar));
        from = p.isNull() ? 0 : p.id();
    }
    bool many = s.nodes[child.id()].parents.size() > 1;
    if (!reparent(child.id(), parent.id(), 0xFFFFFFFFu, many)) return c.fail("cannot parent " + name);
    if (many && from != parent.id()) {
        auto& ps = s.nodes[child.id()].parents;
        ps.erase(std::find(ps.begin(), ps.end(), from));
        auto& siblings = s.nodes[from].children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), child.id()));
    }
    c.result.isArray = true;
    c.result.appendText(TDagPath::getAPathTo(child).partialPathName().str());
    return true;
}

bool transformLimits(Call& c) {
    struct Axis {
        const char *value, *valueShort, *enable, *enableShort;
        int base;  // limit type of the minimum
        UnitKind unit;
    };
    static const Axis axes[] = {
        {"translationX", "tx", "enableTranslationX", "etx", 18, UnitKind::Distance},
        {"translationY", "ty", "enableTranslationY", "ety", 20, UnitKind::Distance},
        {"translationZ", "tz", "enableTranslationZ", "etz", 22, UnitKind::Distance},
        {"rotationX", "rx", "enableRotationX", "erx", 12, UnitKind::Angle},
        {"rotationY", "ry", "enableRotationY", "ery", 14, UnitKind::Angle},
        {"rotationZ", "rz", "enableRotationZ", "erz", 16, UnitKind::Angle},
        {"scaleX", "sx", "enableScaleX", "esx", 0, UnitKind::None},
        {"scaleY", "sy", "enableScaleY", "esy", 2, UnitKind::None},
        {"scaleZ", "sz", "enableScaleZ", "esz", 4, UnitKind::None}};
    if (!c.flags({{"translationX", "tx", 2}, {"translationY", "ty", 2}, {"translationZ", "tz", 2},
                  {"rotationX", "rx", 2}, {"rotationY", "ry", 2}, {"rotationZ", "rz", 2},
                  {"scaleX", "sx", 2}, {"scaleY", "sy", 2}, {"scaleZ", "sz", 2},
                  {"enableTranslationX", "etx", 2}, {"enableTranslationY", "ety", 2},
                  {"enableTranslationZ", "etz", 2}, {"enableRotationX", "erx", 2},
                  {"enableRotationY", "ery", 2}, {"enableRotationZ", "erz", 2}, {"enableScaleX", "esx", 2},
                  {"enableScaleY", "esy", 2}, {"enableScaleZ", "esz", 2}}))
        return false;
    if (c.positional.size() != 1) return c.fail("needs one transform");
    TObject o;
    if (!resolveNode(c, c.positional[0], o)) return false;
    TFnTransform fn;
    if (!fn.setObject(o)) return c.fail(c.positional[0] + " is no transform");
    struct Change {
        int type;
        double value;
        bool enabled;
    };
    std::vector<Change> changes;
    for (const Axis& ax : axes) {
        // Axes the command does not name keep their limits as they are.
        if (!c.has(ax.value) && !c.has(ax.enable)) continue;
        double v[2];
        bool e[2];
        for (int m = 0; m < 2; ++m) {
            v[m] = fn.limitValue(ax.base + m);
            e[m] = fn.isLimited(ax.base + m);
            if (c.has(ax.value) && !parseNumber(c.value(ax.value, static_cast<std::size_t>(m)), v[m]))
                return c.fail("-" + std::string(ax.valueShort) + " needs numbers");
            else if (c.has(ax.value)) v[m] = fromUI(ax.unit, v[m]);
            if (c.has(ax.enable) && !parseBool(c.value(ax.enable, static_cast<std::size_t>(m)), e[m]))
                return c.fail("-" + std::string(ax.enableShort) + " needs flags");
        }
        if (e[0] && e[1] && v[0] > v[1])
            return c.fail("the minimum of -" + std::string(ax.valueShort) + " exceeds its maximum");
        for (int m = 0; m < 2; ++m) changes.push_back({ax.base + m, v[m], e[m]});
    }
    for (const Change& ch : changes) {
        fn.setLimit(ch.type, ch.value);
        fn.enableLimit(ch.type, ch.enabled);
    }
    return true;
}

// ---- cameras

bool cameraCmd(Call& c) {
    static const std::pair<const char*, const char*> numeric[] = {
        {"centerOfInterest", "coi"}, {"focalLength", "fl"}, {"lensSqueezeRatio", "lsr"}, {"cameraScale", "cs"},
        {"horizontalFilmAperture", "hfa"}, {"horizontalFilmOffset", "hfo"}, {"verticalFilmAperture", "vfa"},
        {"verticalFilmOffset", "vfo"}, {"overscan", "ovr"}, {"motionBlur", "mb"}, {"shutterAngle", "sa"},
        {"nearClipPlane", "ncp"}, {"farClipPlane", "fcp"}, {"orthographic", "o"}, {"orthographicWidth", "ow"}};
    if (!c.flags({{"centerOfInterest", "coi", 1}, {"focalLength", "fl", 1}, {"lensSqueezeRatio", "lsr", 1},
                  {"cameraScale", "cs", 1}, {"horizontalFilmAperture", "hfa", 1}, {"horizontalFilmOffset", "hfo", 1},
                  {"verticalFilmAperture", "vfa", 1}, {"verticalFilmOffset", "vfo", 1}, {"filmFit", "ff", 1},
                  {"overscan", "ovr", 1}, {"motionBlur", "mb", 1}, {"shutterAngle", "sa", 1},
                  {"nearClipPlane", "ncp", 1}, {"farClipPlane", "fcp", 1}, {"orthographic", "o", 1},
                  {"orthographicWidth", "ow", 1}}))
        return false;
    if (!c.positional.empty()) return c.fail("takes flags only");
    std::map<std::string, double> v;
    for (const auto& f : numeric) {
        if (!c.has(f.first)) continue;
        bool b;
        if (!parseNumber(c.value(f.first), v[f.first]) && !parseBool(c.value(f.first), b))
            return c.fail("-" + std::string(f.second) + " needs a number");
        else if (!parseNumber(c.value(f.first), v[f.first])) v[f.first] = b;
    }
    int fit = -1;
    if (c.has("filmFit")) {
        static const char* fits[] = {"fill", "horizontal", "vertical", "overscan"};
        std::string f = c.value("filmFit");
        std::transform(f.begin(), f.end(), f.begin(), [](unsigned char ch) { return std::tolower(ch); });
        for (int k = 0; k < 4; ++k)
            if (f == fits[k]) fit = k;
        if (fit < 0 && (!parseInt(f, fit) || fit < 0 || fit > 3)) return c.fail("unknown film fit \"" + f + "\"");
    }
    TObject x = createNode(*typeByName("transform"), "camera1", 0);
    TObject shape = createNode(*typeByName("camera"), "", x.id());
    NodeRec& n = scene().nodes[shape.id()];
    auto set = [&](const char* attr, double value) { n.values[pathFor(findAttr(n, attr))].num = value; };
    static const std::pair<const char*, UnitKind> stored[] = {
        {"focalLength", UnitKind::None}, {"lensSqueezeRatio", UnitKind::None},
        {"horizontalFilmAperture", UnitKind::None}, {"verticalFilmAperture", UnitKind::None},
        {"nearClipPlane", UnitKind::Distance}, {"farClipPlane", UnitKind::Distance}, {"orthographic", UnitKind::None}};
    for (const auto& s : stored)
        if (v.count(s.first)) set(s.first, s.first == std::string("orthographic") ? v[s.first] != 0 : fromUI(s.second, v[s.first]));
    if (fit >= 0) set("filmFit", fit);
    select({x.id()});
    c.result.isArray = true;
    c.result.appendText(scene().nodes[x.id()].name);
    c.result.appendText(scene().nodes[shape.id()].name);
    return true;
}

bool cameraMakeNode(Call& c) {
    if (!c.flags({})) return false;
    int kind = 0;
    if (c.positional.empty() || c.positional.size() > 2 || !parseInt(c.positional[0], kind) || kind < 1 || kind > 3)
        return c.fail("needs 1, 2 or 3");
    Scene& s = scene();
    std::uint32_t cam = 0;
    for (const auto& item : s.selection) {
        if (item.first.empty() || !node(item.first.back())) continue;
        std::uint32_t id = item.first.back().id();
        if (s.nodes[id].type->code == TFn::kCamera) id = s.nodes[id].parents[0];
        for (std::uint32_t ch : s.nodes[id].children)
            if (s.nodes[ch].type->code == TFn::kCamera) cam = id;
        if (cam) break;
    }
    if (!cam) return c.fail("no camera selected");
    if (kind == 1) return true;
    std::string name = s.nodes[cam].name.substr(s.nodes[cam].name.rfind(':') + 1);
    TObject group = createNode(*typeByName("lookAt"), name + "_group", s.nodes[cam].parents[0]);
    reparent(cam, group.id(), 0xFFFFFFFFu, false);
    auto located = [&](const std::string& n) {
        TObject t = createNode(*typeByName("transform"), n, group.id());
        createNode(*typeByName("locator"), "", t.id());
        return t.id();
    };
    std::uint32_t aim = located(name + "_aim");
    if (kind == 2) select({cam, aim});
    else select({cam, located(name + "_up"), aim});
    return true;
}

bool nothing(Call& c) { return c.flags({}) && (c.positional.empty() || c.fail("takes no arguments")); }

// ---- host state queries

bool about(Call& c) {
    if (!c.flags({{"batch", "b", 0}})) return false;
    if (!c.has("batch")) return c.fail("only -batch is supported");
    c.result.setInt(session().batch);
    return true;
}

bool optionVar(Call& c) {
    if (!c.flags({{"query", "q", 1}, {"intValue", "iv", 2}})) return false;
    Session& s = session();
    if (c.has("intValue")) {
        int v;
        if (!parseInt(c.value("intValue", 1), v)) return c.fail("-iv needs a whole number");
        s.optionVars[c.value("intValue")] = v;
    }
    if (c.has("query")) {
        auto it = s.optionVars.find(c.value("query"));
        c.result.setInt(it == s.optionVars.end() ? 0 : it->second);
    }
    return c.has("query") || c.has("intValue") || c.fail("needs -q or -iv");
}

bool boolState(Call& c, bool& state) {
    bool v;
    if (!c.flags({}) || c.positional.size() != 1 || !parseBool(c.positional[0], v))
        return c.error.empty() ? c.fail("needs 0 or 1") : false;
    state = v;
    return true;
}

bool jointDisplayScale(Call& c) {
    if (!c.flags({{"query", "q", 0}, {"absolute", "a", 0}})) return false;
    if (c.has("query")) {
        c.result.setDouble(session().jointDisplayScale);
        return true;
    }
    double v;
    if (c.positional.size() != 1 || !parseNumber(c.positional[0], v) || !(v > 0)) return c.fail("needs a scale above 0");
    session().jointDisplayScale = v;
    return true;
}

bool upAxis(Call& c) {
    if (!c.flags({{"query", "q", 0}, {"axis", "ax", 0}})) return false;
    if (!c.has("query") || !c.has("axis")) return c.fail("only the query -q -axis is supported");
    c.result.setText(session().upAxis);
    return true;
}

// ---- dialogs

bool confirmDialog(Call& c) {
    if (!c.flags({{"title", "t", 1}, {"message", "m", 1}, {"button", "b", 1}, {"defaultButton", "db", 1},
                  {"cancelButton", "cb", 1}, {"dismissString", "ds", 1}}))
        return false;
    if (!c.positional.empty()) return c.fail("takes flags only");
    Session& s = session();
    standin::DialogRecord r;
    r.title = c.value("title");
    r.message = c.value("message");
    if (c.has("button")) r.buttons = c.flagValues["button"];
    if (!s.answers.empty()) {
        standin::DialogAnswer a = s.answers.front();
        s.answers.pop_front();
        if (!a.title.empty() && a.title != r.title)
            fault("mistitled dialog", "answer \"" + a.text + "\" meant for \"" + a.title + "\" given to \"" + r.title + "\"");
        r.answer = a.text;
        r.answered = true;
    } else {
        r.answer = c.has("dismissString") ? c.value("dismissString") : "dismiss";
        fault("unanswered dialog", "\"" + r.title + "\": " + r.message);
    }
    std::string buttons;
    for (const std::string& b : r.buttons) buttons += (buttons.empty() ? "" : ", ") + escapeText(b);
    note("dialog: title " + escapeText(r.title) + " message " + escapeText(r.message) + " buttons [" + buttons +
         "] answer " + escapeText(r.answer) + (r.answered ? "" : " (unanswered)"));
    s.dialogs.push_back(r);
    c.result.setText(r.answer);
    return true;
}

bool bakeResults(Call& c) {
    if (!c.flags({{"simulation", "sm", 1}, {"time", "t", 1}})) return false;
    record("bakeResults -simulation " + c.value("simulation") + " -t " + escapeText(c.value("time")));
    return true;
}

bool existsCmd(Call& c) {
    if (!c.flags({})) return false;
    if (c.positional.size() != 1) return c.fail("needs one name");
    c.result.setInt(commandExists(c.positional[0]));
    return true;
}

// ---- the stand-in's own commands

// Without a name: the names of the scenes, as the result.
bool standinScene(Call& c) {
    if (!c.flags({})) return false;
    const std::vector<std::string> names = standin::sceneNames();
    if (c.positional.empty()) {
        for (const std::string& name : names) c.result.appendText(name);
        return true;
    }
    if (c.positional.size() != 1) return c.fail("needs one scene name");
    if (standin::buildScene(c.positional[0])) return true;
    std::string known;
    for (const std::string& name : names) known += (known.empty() ? "" : ", ") + name;
    return c.fail("unknown scene \"" + c.positional[0] + "\"; the scenes are " + known);
}

bool standinAnswer(Call& c) {
    if (!c.flags({})) return false;
    if (c.positional.empty() || c.positional.size() > 2) return c.fail("needs an answer and an optional title");
    standin::dialogs().push(c.positional[0], c.positional.size() > 1 ? c.positional[1] : "");
    return true;
}

bool standinDump(Call& c) {
    if (!c.flags({{"output", "o", 1}, {"compare", "c", 1}})) return false;
    std::string text = dumpScene();
    if (c.has("output")) {
        std::ofstream out(c.value("output"), std::ios::binary);
        if (!(out << text)) return c.fail("cannot write " + c.value("output"));
    }
    if (c.has("compare")) {
        std::ifstream in(c.value("compare"), std::ios::binary);
        if (!in) return c.fail("cannot read " + c.value("compare"));
        std::stringstream stored;
        stored << in.rdbuf();
        std::istringstream a(stored.str()), b(text);
        std::string la, lb;
        for (int line = 1;; ++line) {
            bool ga = static_cast<bool>(std::getline(a, la)), gb = static_cast<bool>(std::getline(b, lb));
            if (!ga && !gb) break;
            if (ga != gb || la != lb)
                return c.fail("scene differs at line " + std::to_string(line) + ": stored " + escapeText(ga ? la : "") +
                              ", now " + escapeText(gb ? lb : ""));
        }
    }
    if (!c.has("output") && !c.has("compare")) c.result.setText(text);
    return true;
}

bool standinUnits(Call& c) {
    int d, a, t;
    if (!c.flags({}) || c.positional.size() != 3 || !parseInt(c.positional[0], d) || !parseInt(c.positional[1], a) ||
        !parseInt(c.positional[2], t))
        return c.error.empty() ? c.fail("needs distance, angle and time codes") : false;
    return standin::setUnits(d, a, t) || c.fail("invalid unit code");
}

bool standinSelect(Call& c) {
    if (!c.flags({})) return false;
    std::vector<std::uint32_t> ids;
    for (const std::string& name : c.positional) {
        TObject o;
        if (!resolveNode(c, name, o)) return false;
        ids.push_back(o.id());
    }
    auto& sel = scene().selection;
    sel.clear();
    for (std::uint32_t id : ids) sel.emplace_back(isDag(scene().nodes[id]) ? pathOf(id) : std::vector<TObject>{handle(id)}, TObject());
    return true;
}

// ---- the rig tool's fakes

const int kGroupSizes[12] = {15, 7, 9, 8, 1, 30, 30, 5, 12, 9, 30, 30};

bool rigFlags(Call& c) {
    return c.flags({{"ci", "ci", 1}, {"lti", "lti", 1}, {"li", "li", 1}, {"nn", "nn", 1}, {"t", "t", 3},
                    {"r", "r", 3}, {"s", "s", 3}, {"keepTstance", "keepTstance", 0}});
}

bool character(Call& c, int& ci) {
    if (!parseInt(c.value("ci"), ci) || ci < 0 || static_cast<std::size_t>(ci) >= session().characters.size())
        return c.fail("no character -ci " + c.value("ci"));
    return true;
}

bool address(Call& c, int& ci, int& lti, int& li) {
    if (!character(c, ci)) return false;
    if (!parseInt(c.value("lti"), lti) || lti < 0 || lti > 12) return c.fail("no link group -lti " + c.value("lti"));
    int size = lti == 0 ? 1 : kGroupSizes[lti - 1];
    if (!parseInt(c.value("li"), li) || li < 0 || li >= size) return c.fail("no link -li " + c.value("li"));
    return true;
}

bool qirCount(Call& c) {
    if (!rigFlags(c)) return false;
    c.result.setInt(static_cast<double>(session().characters.size()));
    return true;
}

bool qirName(Call& c) {
    int ci;
    if (!rigFlags(c) || !character(c, ci)) return false;
    c.result.setText(session().characters[static_cast<std::size_t>(ci)].name);
    return true;
}

bool qirGetLink(Call& c) {
    int ci, lti, li;
    if (!rigFlags(c) || !address(c, ci, lti, li)) return false;
    c.result.isArray = true;
    const auto& links = session().characters[static_cast<std::size_t>(ci)].links;
    auto it = links.find({lti, li});
    if (it != links.end()) c.result.appendText(it->second);
    return true;
}

bool qirCreate(Call& c) {
    if (!rigFlags(c)) return false;
    if (c.positional.size() != 1) return c.fail("needs a name");
    session().characters.push_back({c.positional[0], {}, {}, false});
    c.result.setText(c.positional[0]);
    return true;
}

bool qirSetLink(Call& c) {
    int ci, lti, li;
    if (!rigFlags(c) || !address(c, ci, lti, li)) return false;
    if (!c.has("nn")) return c.fail("needs -nn");
    session().characters[static_cast<std::size_t>(ci)].links[{lti, li}] = c.value("nn");
    return true;
}

bool qirSetTRS(Call& c) {
    int ci, lti, li;
    if (!rigFlags(c) || !address(c, ci, lti, li)) return false;
    std::vector<double> v;
    for (const char* f : {"t", "r", "s"})
        for (std::size_t k = 0; k < 3; ++k) {
            double d = 0;
            if (!parseNumber(c.value(f, k), d)) return c.fail("-" + std::string(f) + " needs three numbers");
            v.push_back(d);
        }
    session().characters[static_cast<std::size_t>(ci)].offsets[{lti, li}] = v;
    return true;
}

bool qirCharacterize(Call& c) {
    int ci;
    if (!rigFlags(c) || !character(c, ci)) return false;
    session().characters[static_cast<std::size_t>(ci)].characterized = true;
    return true;
}

}  // namespace

const Builtin* findBuiltin(const std::string& name) {
    static const std::unordered_map<std::string, Builtin> table = {
        {"exists", {existsCmd}},
        {"getAttr", {getAttr}},
        {"setAttr", {setAttr}},
        {"delete", {deleteCmd}},
        {"file", {fileCmd}},
        {"namespace", {namespaceCmd}},
        {"namespaceInfo", {namespaceInfo}},
        {"camera", {cameraCmd}},
        {"objectMoveCommand", {nothing}},
        {"cameraMakeNode", {cameraMakeNode}},
        {"parent", {parentCmd}},
        {"transformLimits", {transformLimits}},
        {"about", {about}},
        {"optionVar", {optionVar}},
        {"isAttributeEditorVisible",
         {[](Call& c) { return c.flags({}) && (c.result.setInt(session().attributeEditorVisible), true); }}},
        {"setAttributeEditorVisible", {[](Call& c) { return boolState(c, session().attributeEditorVisible); }}},
        {"openAEWindow", {[](Call& c) { return nothing(c) && (session().attributeEditorVisible = true); }}},
        {"refreshAE", {nothing}},
        {"setChannelBoxVisible", {[](Call& c) { return boolState(c, session().channelBoxVisible); }}},
        {"setDrivenKeyframe", {setDrivenKeyframe}},
        {"upAxis", {upAxis}},
        {"jointDisplayScale", {jointDisplayScale}},
        {"confirmDialog", {confirmDialog}},
        {"bakeResults", {bakeResults}},
        {"standin_scene", {standinScene}},
        {"standin_answer", {standinAnswer}},
        {"standin_dump", {standinDump}},
        {"standin_units", {standinUnits}},
        {"standin_select", {standinSelect}},
    };
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

const Builtin* findRigFake(const std::string& name) {
    static const std::unordered_map<std::string, Builtin> table = {
        {"QIRGetCharacterCount", {qirCount}},   {"QIRGetCharacterName", {qirName}},
        {"QIRGetCharacterNodeLink", {qirGetLink}}, {"QIRCreateCharacter", {qirCreate}},
        {"QIRSetCharacterNodeLink", {qirSetLink}}, {"QIRSetCharacterNodeLinkTRS", {qirSetTRS}},
        {"QIRCharacterize", {qirCharacterize}},
    };
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

bool resolveNode(Call& call, const std::string& name, TObject& node) {
    const std::vector<std::uint32_t> hits = nameMatches(name);
    const std::size_t matches = hits.size();
    if (matches == 1) {
        node = handle(hits[0]);
        return true;
    }
    // A script naming a missing object is the script's error, not misuse of the API.
    if (matches > 1) return call.fail("More than one object matches name: " + name);
    return call.fail("No object matches name: " + name);
}

bool resolvePlug(Call& call, const std::string& text, TPlug& plug) {
    std::size_t dot = text.find('.');
    TObject n;
    if (dot == std::string::npos || !resolveNode(call, text.substr(0, dot), n)) {
        return call.error.empty() ? call.fail("\"" + text + "\" names no attribute") : false;
    }
    plug = standin::plug(text);
    if (!plug.isNull()) return true;
    const NodeRec& rec = scene().nodes[n.id()];
    for (const auto& label : rec.labels)
        if (label.second == text.substr(dot + 1)) {
            plug = TPlug(n, label.first);
            return true;
        }
    return call.fail("no attribute \"" + text.substr(dot + 1) + "\" on " + text.substr(0, dot));
}

}  // namespace tulo_detail
