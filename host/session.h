// Host session state that outlives a scene reset: dialogs, option state, the rig tool's fakes,
// loaded plug-ins and their registrations. Internal to the library.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "standin.h"
#include "tstatus.h"

class TPxCommand;
class TPxFileTranslator;

namespace tulo_detail {

class PluginLibrary;

// A command's result: nothing, one value or a list; values are ints (and bools), doubles or text.
struct ResultValue {
    enum Type { Int, Double, Text } type = Int;
    double num = 0;
    std::string text;
};
struct Result {
    bool isArray = false;
    std::vector<ResultValue> values;
    void clear() { isArray = false, values.clear(); }
    void setInt(double v) { isArray = false, values.assign(1, {ResultValue::Int, v, {}}); }
    void setDouble(double v) { isArray = false, values.assign(1, {ResultValue::Double, v, {}}); }
    void setText(const std::string& s) { isArray = false, values.assign(1, {ResultValue::Text, 0, s}); }
    void appendDouble(double v) { isArray = true, values.push_back({ResultValue::Double, v, {}}); }
    void appendText(const std::string& s) { isArray = true, values.push_back({ResultValue::Text, 0, s}); }
    std::string text() const;  // as the script echo shows it
};

struct Plugin {
    std::string name, path, vendor, version;
    void* handle = nullptr;
    std::shared_ptr<PluginLibrary> library;  // what handle was loaded from (pluginfile.h)
    std::uint32_t generation = 0;
};

struct CommandReg {
    TPxCommand* (*creator)() = nullptr;
    std::size_t plugin = 0;
};

struct TranslatorReg {
    TPxFileTranslator* (*creator)() = nullptr;
    std::size_t plugin = 0;
    std::string pixmap, optionsScript, defaultOptions;
};

struct RigCharacter {
    std::string name;
    std::map<std::pair<int, int>, std::string> links;  // (-lti, -li) -> node
    std::map<std::pair<int, int>, std::vector<double>> offsets;
    bool characterized = false;
};

struct Session {
    std::deque<standin::DialogAnswer> answers;
    std::vector<standin::DialogRecord> dialogs;
    std::map<std::string, double> optionVars{{"aeInMainWindow", 1}};
    bool batch = false, attributeEditorVisible = true, channelBoxVisible = true, rigEnabled = false;
    double jointDisplayScale = 1;
    std::string upAxis = "y";  // the scene's up axis, "y" or "z"
    std::vector<RigCharacter> characters;
    std::vector<Plugin> plugins;
    std::map<std::string, CommandReg> commands;
    std::map<std::string, TranslatorReg> translators;
    std::vector<std::string> records;  // incidental commands kept as sent (bake, delete channels)
    std::function<void(const std::string&)> echo;
    std::function<void(const std::string&)> beforePluginLoad;  // standin::setBeforePluginLoad
    std::function<void(const std::string&)> duringPluginWalk;  // standin::setDuringPluginWalk
    Result* commandResult = nullptr;  // the result slot of the plug-in command that runs
    int displayedErrors = 0;          // error lines plug-in commands have shown so far
    int depth = 0;                    // nested executeCommand calls
    std::string source;               // the host program's script or -c argument that runs
};

Session& session();
// Runs a script text; the result is the last statement's. Display echoes each statement.
TStatus runScript(const std::string& text, Result& result, bool display, bool undo);
// A display line: into the transcript and to the echo sink.
void display(const std::string& line);
// Canonical text of the scene (standin::dump).
std::string dumpScene();
// Plug-in loading (tplugin.cpp).
bool pluginLoad(const std::string& nameOrPath, std::string& error);
bool pluginUnload(std::size_t index, std::string& error);
// Runs the translator that takes the file (or the one named by type); false with the reason.
bool fileTranslate(const std::string& path, const std::string& type, bool import, std::string& error);
std::string escapeText(const std::string& s);  // quoted with \" \\ \n \t

}  // namespace tulo_detail
