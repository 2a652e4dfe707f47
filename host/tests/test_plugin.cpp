// A small plug-in for the plug-in shell tests: three commands and a translator that hands its file
// to a command, as the real plug-in's translator does.
#include <cstdlib>
#include <fstream>

#include "tglobal.h"
#include "tplugin.h"

namespace {

bool leak = false;

// Written when the library is unloaded: static destructors must run.
struct SavesOnUnload {
    ~SavesOnUnload() {
        if (const char* path = std::getenv("TULO_TEST_PLUGIN_LOG")) std::ofstream(path, std::ios::app) << "saved\n";
    }
} savesOnUnload;

// testEcho a b c: shows and returns "a|b|c"; "-fail" fails with an error, "-failQuietly" without
// one; "-count" gives the number of words as an int.
class Echo : public TPxCommand {
public:
    TStatus doIt(const TArgList& args) override {
        TString joined;
        for (unsigned i = 0; i < args.length(); ++i) joined += (i ? "|" : "") + args.asString(i).str();
        if (args.length() > 0 && args.asString(0) == "-fail") {
            displayError("testEcho failed on request");
            return TStatus::kFailure;
        }
        if (args.length() > 0 && args.asString(0) == "-failQuietly") return TStatus::kFailure;
        if (args.length() > 0 && args.asString(0) == "-count") return setResult(static_cast<int>(args.length())), TStatus::kSuccess;
        displayInfo("testEcho: " + joined.str());
        setResult(joined);
        return TStatus::kSuccess;
    }
};

// testLeak: the next unload leaves testEcho registered.
class Leak : public TPxCommand {
public:
    TStatus doIt(const TArgList&) override {
        leak = true;
        return TStatus::kSuccess;
    }
};

// testCrash: ends the process as a faulty plug-in would.
class Crash : public TPxCommand {
public:
    TStatus doIt(const TArgList&) override { std::abort(); }
};

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

class Translator : public TPxFileTranslator {
public:
    TStatus reader(const TFileObject& file, const TString&, FileAccessMode) override {
        return TGlobal::executeCommand(("testEcho -f " + quoted(file.fullName().str()) + " -caller \"TestTranslator\"").c_str());
    }
    TStatus writer(const TFileObject& file, const TString&, FileAccessMode) override {
        return TGlobal::executeCommand(("testEcho -export " + quoted(file.fullName().str())).c_str());
    }
    bool haveReadMethod() const override { return true; }
    bool haveWriteMethod() const override { return true; }
    TString defaultExtension() const override { return "tfmt"; }
    TFileKind identifyFile(const TFileObject& file, const char*, short) const override {
        return file.name().str().find(".tfmt") != std::string::npos ? kIsMyFileType : kNotMyFileType;
    }
};

}  // namespace

extern "C" TStatus initializePlugin(TObject object) {
    TFnPlugin plugin(object, "Tests", "1.0");
    leak = false;
    if (!plugin.registerCommand("testEcho", [] { return static_cast<TPxCommand*>(new Echo); })) return TStatus::kFailure;
    if (!plugin.registerCommand("testLeak", [] { return static_cast<TPxCommand*>(new Leak); })) return TStatus::kFailure;
    if (!plugin.registerCommand("testCrash", [] { return static_cast<TPxCommand*>(new Crash); })) return TStatus::kFailure;
    return plugin.registerFileTranslator("TestFmt", "", [] { return static_cast<TPxFileTranslator*>(new Translator); });
}

extern "C" TStatus uninitializePlugin(TObject object) {
    TFnPlugin plugin(object);
    plugin.deregisterFileTranslator("TestFmt");
    plugin.deregisterCommand("testLeak");
    plugin.deregisterCommand("testCrash");
    if (!leak) plugin.deregisterCommand("testEcho");
    return TStatus::kSuccess;
}
