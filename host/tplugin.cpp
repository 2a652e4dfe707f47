// The plug-in shell: loading plug-in libraries, their registrations, commands and translators.
#include "tplugin.h"

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "interp.h"
#include "pluginfile.h"
#include "scene.h"

using namespace tulo_detail;

namespace {
Plugin* pluginOf(const TObject& o) {
    Session& s = session();
    if (o.kind() != TObject::kPluginKind || o.id() >= s.plugins.size()) return nullptr;
    Plugin& p = s.plugins[o.id()];
    return p.handle && p.generation == o.generation() ? &p : nullptr;
}

std::string baseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name without "/" is looked for in each directory of TULO_PLUG_IN_PATH; `searched` lists them,
// `refused` says why each file found there was passed over. The file taken is held open in `file`.
std::string locate(const std::string& name, std::string& searched, std::vector<std::string>& refused,
                   PluginFile& file) {
    const auto take = [&](const std::string& path) {
        file = PluginFile(path, session().duringPluginWalk);
        if (!file.refusal().empty()) refused.push_back(file.refusal());
        return file.accepted();
    };
    if (name.find('/') != std::string::npos) return take(name) ? name : "";
    const char* env = std::getenv("TULO_PLUG_IN_PATH");
    std::string dirs = env ? env : "";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        std::string dir = dirs.substr(start, colon - start);
        start = colon + 1;
        if (dir.empty()) continue;
        searched += (searched.empty() ? "" : ", ") + dir;
        for (const std::string& candidate : {name, name + ".so", "lib" + name + ".so"})
            if (take(dir + "/" + candidate)) return dir + "/" + candidate;
    }
    return "";
}

TObject objectOf(std::size_t index) {
    return TObject(TObject::kPluginKind, static_cast<std::uint32_t>(index), session().plugins[index].generation);
}

// Registrations of one plug-in, by kind and name.
std::vector<std::string> registrationsOf(std::size_t index) {
    std::vector<std::string> out;
    for (const auto& c : session().commands)
        if (c.second.plugin == index) out.push_back("command " + c.first);
    for (const auto& t : session().translators)
        if (t.second.plugin == index) out.push_back("translator " + t.first);
    return out;
}

void dropRegistrations(std::size_t index) {
    Session& s = session();
    for (auto it = s.commands.begin(); it != s.commands.end();) it = it->second.plugin == index ? s.commands.erase(it) : std::next(it);
    for (auto it = s.translators.begin(); it != s.translators.end();)
        it = it->second.plugin == index ? s.translators.erase(it) : std::next(it);
}
}  // namespace

namespace tulo_detail {

bool pluginLoad(const std::string& nameOrPath, std::string& error) {
    std::string searched;
    std::vector<std::string> refused;
    PluginFile file;
    std::string path = locate(nameOrPath, searched, refused, file);
    std::string passedOver;
    for (const std::string& why : refused) passedOver += (passedOver.empty() ? "" : "; ") + why;
    if (path.empty() && !refused.empty()) return error = passedOver, false;
    // Loaded from a later file all the same: what was passed over is said.
    if (!refused.empty()) display("// Warning: " + passedOver);
    if (path.empty()) {
        error = "cannot find plug-in \"" + nameOrPath + "\"";
        if (nameOrPath.find('/') != std::string::npos) return false;
        error += searched.empty() ? " (TULO_PLUG_IN_PATH names no directory)"
                                  : " (searched for " + nameOrPath + ", " + nameOrPath + ".so and lib" + nameOrPath +
                                        ".so in " + searched + ")";
        return false;
    }
    Session& s = session();
    for (const Plugin& p : s.plugins)
        if (p.handle && p.path == path) return error = "plug-in \"" + path + "\" is loaded already", false;
    if (s.beforePluginLoad) s.beforePluginLoad(path);
    auto library = std::make_shared<PluginLibrary>();
    if (!library->load(file, path, error)) return false;
    void* handle = library->handle();
    auto init = reinterpret_cast<TPluginEntry>(dlsym(handle, "initializePlugin"));
    auto uninit = reinterpret_cast<TPluginEntry>(dlsym(handle, "uninitializePlugin"));
    if (!init || !uninit) {
        library->close();
        return error = "\"" + path + "\" exports no initializePlugin and uninitializePlugin", false;
    }
    Plugin p;
    p.path = path;
    p.name = baseName(path);
    if (p.name.size() > 3 && p.name.compare(p.name.size() - 3, 3, ".so") == 0) p.name.resize(p.name.size() - 3);
    if (p.name.size() > 3 && p.name.compare(0, 3, "lib") == 0) p.name.erase(0, 3);
    p.handle = handle;
    p.library = library;
    p.generation = scene().nextGen++;
    s.plugins.push_back(p);
    std::size_t index = s.plugins.size() - 1;
    if (!init(objectOf(index))) {
        dropRegistrations(index);
        s.plugins[index].handle = nullptr;
        library->close();
        return error = "initializePlugin of \"" + path + "\" failed", false;
    }
    return true;
}

bool pluginUnload(std::size_t index, std::string& error) {
    Session& s = session();
    Plugin& p = s.plugins[index];
    auto uninit = reinterpret_cast<TPluginEntry>(dlsym(p.handle, "uninitializePlugin"));
    TStatus status = uninit(objectOf(index));
    std::vector<std::string> left = registrationsOf(index);
    for (const std::string& r : left) fault("registration left", p.name + ": " + r + " after uninitializePlugin");
    dropRegistrations(index);
    s.plugins[index].handle = nullptr;
    s.plugins[index].library->close();  // runs the library's static destructors
    if (!status) error = "uninitializePlugin of \"" + s.plugins[index].path + "\" failed";
    else if (!left.empty()) error = "\"" + s.plugins[index].name + "\" left registrations after unloading";
    return status && left.empty();
}

bool fileTranslate(const std::string& path, const std::string& type, bool import, std::string& error) {
    Session& s = session();
    TFileObject file;
    file.setRawFullName(path);
    char buffer[256] = {};
    short size = 0;
    if (import) {
        std::ifstream in(path, std::ios::binary);
        in.read(buffer, sizeof buffer);
        size = static_cast<short>(in.gcount());
    }
    for (auto& t : s.translators) {
        if (!type.empty() && t.first != type) continue;
        TranslatorReg reg = t.second;
        TPxFileTranslator* tr = reg.creator ? reg.creator() : nullptr;
        if (!tr) continue;
        bool fits = !type.empty() || tr->identifyFile(file, buffer, size) == TPxFileTranslator::kIsMyFileType;
        bool can = import ? tr->haveReadMethod() : tr->haveWriteMethod();
        TStatus status = TStatus::kFailure;
        if (fits && can)
            status = import ? tr->reader(file, reg.defaultOptions, TPxFileTranslator::kImportAccessMode)
                            : tr->writer(file, reg.defaultOptions, TPxFileTranslator::kExportAccessMode);
        delete tr;
        if (!fits) continue;
        if (!can) error = "the file translator \"" + t.first + "\" cannot " + (import ? "read" : "write") + " files";
        else if (!status) error = "the file translator \"" + t.first + "\" failed on " + escapeText(path);
        return status;
    }
    error = type.empty() ? "no file translator takes " + escapeText(path) : "no file translator is named " + escapeText(type);
    return false;
}

}  // namespace tulo_detail

bool TArgList::word(unsigned index, TStatus* status) const {
    if (index < words_.size()) return put(status, TStatus::kSuccess), true;
    indexFault("TArgList", index, words_.size());
    put(status, TStatus::kFailure);
    return false;
}

unsigned TArgList::length(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(words_.size());
}

TString TArgList::asString(unsigned index, TStatus* status) const {
    return word(index, status) ? words_[index] : TString();
}

int TArgList::asInt(unsigned index, TStatus* status) const {
    int v = 0;
    if (word(index, status) && !parseInt(words_[index].str(), v)) put(status, TStatus::kFailure);
    return v;
}

double TArgList::asDouble(unsigned index, TStatus* status) const {
    double v = 0;
    if (word(index, status) && !parseNumber(words_[index].str(), v)) put(status, TStatus::kFailure), v = 0;
    return v;
}

bool TArgList::asBool(unsigned index, TStatus* status) const {
    bool v = false;
    if (word(index, status) && !parseBool(words_[index].str(), v)) put(status, TStatus::kFailure);
    return v;
}

void TPxCommand::setResult(int value) {
    if (Result* r = session().commandResult) r->setInt(value);
}
void TPxCommand::setResult(bool value) {
    if (Result* r = session().commandResult) r->setInt(value ? 1 : 0);
}
void TPxCommand::setResult(double value) {
    if (Result* r = session().commandResult) r->setDouble(value);
}
void TPxCommand::setResult(const TString& value) {
    if (Result* r = session().commandResult) r->setText(value.str());
}
void TPxCommand::displayError(const TString& text) {
    ++session().displayedErrors;
    display("// Error: " + text.str());
}
void TPxCommand::displayWarning(const TString& text) { display("// Warning: " + text.str()); }
void TPxCommand::displayInfo(const TString& text) { display(text.str()); }

TString TFileObject::fullName(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return full_;
}

TString TFileObject::name(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return TString(baseName(full_.str()));
}

TStatus TPxFileTranslator::reader(const TFileObject&, const TString&, FileAccessMode) { return TStatus::kFailure; }
TStatus TPxFileTranslator::writer(const TFileObject&, const TString&, FileAccessMode) { return TStatus::kFailure; }
TPxFileTranslator::TFileKind TPxFileTranslator::identifyFile(const TFileObject&, const char*, short) const {
    return kNotMyFileType;
}

TFnPlugin::TFnPlugin(const TObject& plugin, const char* vendor, const char* version, const char*, TStatus* status) {
    if (!put(status, setObject(plugin))) return;
    Plugin* p = pluginOf(plugin);
    p->vendor = vendor ? vendor : "";
    p->version = version ? version : "";
}

TStatus TFnPlugin::setObject(const TObject& object) {
    object_ = pluginOf(object) ? object : TObject();
    return object_.isNull() ? TStatus::kFailure : TStatus::kSuccess;
}

bool TFnPlugin::pluginOk(const char* user) const {
    if (pluginOf(object_)) return true;
    fault(object_.isNull() ? "unattached function set" : "dead node", std::string(user) + " without a loaded plug-in");
    return false;
}

TStatus TFnPlugin::registerFileTranslator(const TString& name, const char* pixmapName, TPxFileTranslator* (*creator)(),
                                          const char* optionsScript, const char* defaultOptions, bool) {
    if (!pluginOk("TFnPlugin::registerFileTranslator") || !creator || name.length() == 0 ||
        session().translators.count(name.str()))
        return TStatus::kFailure;
    session().translators[name.str()] = {creator, object_.id(), pixmapName ? pixmapName : "",
                                         optionsScript ? optionsScript : "", defaultOptions ? defaultOptions : ""};
    return TStatus::kSuccess;
}

TStatus TFnPlugin::deregisterFileTranslator(const TString& name) {
    auto& all = session().translators;
    auto it = all.find(name.str());
    if (!pluginOk("TFnPlugin::deregisterFileTranslator") || it == all.end() || it->second.plugin != object_.id())
        return TStatus::kFailure;
    all.erase(it);
    return TStatus::kSuccess;
}

TStatus TFnPlugin::registerCommand(const TString& name, TPxCommand* (*creator)()) {
    if (!pluginOk("TFnPlugin::registerCommand") || !creator || name.length() == 0 || commandExists(name.str()))
        return TStatus::kFailure;
    session().commands[name.str()] = {creator, object_.id()};
    return TStatus::kSuccess;
}

TStatus TFnPlugin::deregisterCommand(const TString& name) {
    auto& all = session().commands;
    auto it = all.find(name.str());
    if (!pluginOk("TFnPlugin::deregisterCommand") || it == all.end() || it->second.plugin != object_.id())
        return TStatus::kFailure;
    all.erase(it);
    return TStatus::kSuccess;
}

TString TFnPlugin::name(TStatus* status) const {
    if (!pluginOk("TFnPlugin::name")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    return TString(pluginOf(object_)->name);
}

TString TFnPlugin::loadPath(TStatus* status) const {
    if (!pluginOk("TFnPlugin::loadPath")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    std::string path = pluginOf(object_)->path;
    std::size_t slash = path.rfind('/');
    return TString(slash == std::string::npos ? std::string(".") : path.substr(0, slash));
}

TString TFnPlugin::vendor(TStatus* status) const {
    if (!pluginOk("TFnPlugin::vendor")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    return TString(pluginOf(object_)->vendor);
}

TString TFnPlugin::version(TStatus* status) const {
    if (!pluginOk("TFnPlugin::version")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    return TString(pluginOf(object_)->version);
}

namespace standin {

bool loadPlugin(const std::string& nameOrPath, std::string* error) {
    std::string e;
    bool ok = pluginLoad(nameOrPath, e);
    if (error) *error = e;
    return ok;
}

bool unloadPlugin(const std::string& name, std::string* error) {
    std::string e = "plug-in \"" + name + "\" is not loaded";
    bool ok = false;
    const auto& all = session().plugins;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].handle && (all[i].name == name || all[i].path == name)) {
            e.clear();
            ok = pluginUnload(i, e);
            break;
        }
    if (error) *error = e;
    return ok;
}

bool unloadAllPlugins(std::string* error) {
    bool ok = true;
    std::string all;
    // Last loaded first.
    for (std::size_t i = session().plugins.size(); i-- > 0;) {
        if (!session().plugins[i].handle) continue;
        std::string e;
        if (!pluginUnload(i, e)) ok = false, all += (all.empty() ? "" : "; ") + e;
    }
    if (error) *error = all;
    return ok;
}

std::vector<std::string> loadedPlugins() {
    std::vector<std::string> out;
    for (const Plugin& p : session().plugins)
        if (p.handle) out.push_back(p.name);
    return out;
}

bool hasCommand(const std::string& name) { return session().commands.count(name) != 0; }
void setBeforePluginLoad(std::function<void(const std::string& path)> hook) {
    session().beforePluginLoad = std::move(hook);
}
void setDuringPluginWalk(std::function<void(const std::string& folder)> hook) {
    session().duringPluginWalk = std::move(hook);
}
bool hasTranslator(const std::string& name) { return session().translators.count(name) != 0; }

}  // namespace standin
