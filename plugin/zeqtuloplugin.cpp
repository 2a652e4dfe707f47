#include "plugin/zeqtuloplugin.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "fileio/kownfolders.h"
#include "fileio/kpath.h"
#include "io/zeqlogfile.h"
#include "plugin/zeqtulotranslator.h"
#include "plugin/zeqtulouserparams.h"

using zeqsdk_400::KString;

namespace {
const char kTranslatorName[] = "Zeq";

// A log the plug-in may not write (another user's file or link in a shared folder, a pipe)
// loses its lines: said once, not at every command.
void WarnLogRefused(const char* reason) {
    static bool said = false;
    if (said) return;
    said = true;
    TPxCommand::displayWarning(TString((std::string("Zeq: the log is not written: ") + reason).c_str()));
}

// Start-up said that the settings and the log cannot be kept: the unload does not say it again.
bool gNothingKept = false;

// Says what befell the settings (what: "Zeq: the settings are not saved: ") and why, as a command's
// error or a warning, and in the log where it can be written (where it cannot, that is said once, as
// always). A warning that repeats the reason said last is not said: the unload does not say again
// what start-up or a command just said.
void SaySettings(const char* what, const char* reason, bool asError) {
    static std::string said;
    const std::string why = reason ? reason : "";
    if (!asError && why == said) return;
    const TString text((what + why).c_str());
    if (asError)
        TPxCommand::displayError(text);
    else
        TPxCommand::displayWarning(text);
    if (why == said) return;
    said = why;
    zeqsdk_400::ZeqLogFile log("zeqtulolog.txt", "Zeq settings", true, false);
    log += text.asChar();
    log.OutputLog();
}

std::string ReasonOf(const zeqsdk_400::KHeldFolder& folder) {
    return *folder.GetReason() ? folder.GetReason() : std::strerror(folder.GetSystemError());
}

// A directory's text without the slashes that end it ("/" stays).
std::string WithoutEndingSlashes(std::string directory) {
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    return directory;
}

// Holds the user's own folder for the plug-in (directory, ending in "/") in own, made where missing as
// a folder nobody named (through no link another user may have put where others may write), and used
// only where it is this user's own, as the folder a read extracts media into: one another user made
// first, where they may write the folder above it, is theirs to fill and empty. "" once held; else
// the reason it is not used.
std::string HoldUserFolder(std::string directory, zeqsdk_400::KHeldFolder& own) {
    directory = WithoutEndingSlashes(std::move(directory));
    const std::size_t slash = directory.rfind('/');
    const std::string above = slash == 0 ? "/" : directory.substr(0, slash);
    zeqsdk_400::KHeldFolder parent;
    if (!parent.Open(above.c_str(), true, 0777, zeqsdk_400::kAnyGroup, zeqsdk_400::KNamedBy::eNobody))
        return ReasonOf(parent);
    if (!parent.OpenBelow(directory.c_str() + slash + 1, true, true, own)) return ReasonOf(own);
    return std::string();
}

// Whether TULO_PLUG_IN_PATH names directory.
bool OnPluginPath(const std::string& directory) {
    const char* env = std::getenv("TULO_PLUG_IN_PATH");
    const std::string dirs = env ? env : "";
    for (std::size_t start = 0; start < dirs.size();) {
        std::size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        const std::string dir = dirs.substr(start, colon - start);
        start = colon + 1;
        if (!dir.empty() && WithoutEndingSlashes(dir) == WithoutEndingSlashes(directory)) return true;
    }
    return false;
}
}  // namespace

void ZeqTuloSettingsNotSaved(const char* reason, bool asError) {
    SaySettings("Zeq: the settings are not saved: ", reason, asError);
}

KString ZeqTuloPluginDirectory(const ZeqTuloLoadedFrom& loaded, zeqsdk_400::KHeldFolder& folder) {
    folder = zeqsdk_400::KHeldFolder();
    // The host names the root folder by an empty text.
    const std::string directory = loaded.mFolder.empty() ? std::string("/") : WithoutEndingSlashes(loaded.mFolder);
    zeqsdk_400::KHeldFolder held;
    if (loaded.mKnown && OnPluginPath(directory) && zeqsdk_400::KMayWriteIn(directory.c_str()) &&
        held.Open(directory.c_str(), false, 0777, zeqsdk_400::kAnyGroup, zeqsdk_400::KNamedBy::eNobody)) {
        for (const std::string& name : loaded.mNames) {
            zeqsdk_400::KPathWalk walk;
            if (name.empty() || name.find('/') != std::string::npos ||
                !held.Walk(name.c_str(), walk, true, zeqsdk_400::KNamedBy::eNobody) || !walk.mExists ||
                walk.mStat.st_dev != loaded.mDevice || walk.mStat.st_ino != loaded.mInode)
                continue;
            folder = std::move(held);
            return KString((directory == "/" ? directory : directory + "/").c_str());
        }
    }
    return ZeqTuloUserDirectory();
}

KString ZeqTuloUserDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    // A folder's trailing slashes are not doubled: HOME=/ gives /.config/zeqtulo/.
    const auto folder = [](std::string path) {
        while (!path.empty() && path.back() == '/') path.pop_back();
        return path + '/';
    };
    std::string dir;
    if (config && config[0] == '/')
        dir = folder(config);
    else if (home && home[0] == '/')
        dir = folder(home) + ".config/";
    else
        return KString();
    return KString((dir + "zeqtulo/").c_str());
}

TStatus ZeqTuloInitialize(const TObject& plugin, const ZeqTuloCommandRow* commands, std::size_t count,
                          const char* libraryFileName, const void* libraryAddress) {
    TStatus status;
    TFnPlugin fn(plugin, "Vonex", "6.0", "Any", &status);
    if (!status) return status;
    // The file the host judged and loaded, under the names it looks for, the loader's first.
    ZeqTuloLoadedFrom loaded;
    loaded.mFolder = fn.loadPath().asChar();
    const std::string name = fn.name().asChar();
    for (const std::string& candidate :
         {std::string(libraryFileName ? libraryFileName : ""), "lib" + name + ".so", name + ".so", name})
        loaded.mNames.push_back(candidate);
    loaded.mKnown = zeqsdk_400::KMappedFile(libraryAddress, loaded.mDevice, loaded.mInode);
    // Held from here on: what is written there goes to the folder judged, whatever takes its name.
    zeqsdk_400::KHeldFolder held;
    const KString directory = ZeqTuloPluginDirectory(loaded, held);
    // The user's own folder is made on first use. Where it is refused, or cannot be made, its reason
    // is the one said: a look for the folder afterwards would only find it missing, or writable.
    const bool usersOwn = *directory.Buffer() && !held.IsOpen();
    const std::string refused = usersOwn ? HoldUserFolder(directory.Buffer(), held) : std::string();
    gNothingKept = !refused.empty() || !zeqsdk_400::KMayWriteIn(directory.Buffer());
    if (gNothingKept) {
        // Settings would be lost without a word at every unload: said once, here.
        const std::string where =
            *directory.Buffer()
                ? std::string(directory.Buffer()) + " (" + (refused.empty() ? std::strerror(errno) : refused) + ")"
                : std::string("the user's folder (neither XDG_CONFIG_HOME nor HOME is an absolute path)");
        const char* path = std::getenv("TULO_PLUG_IN_PATH");
        const std::string text = std::string("Zeq: the settings and the log cannot be kept: they were looked for in a "
                                             "writable directory that holds ") +
                                 (libraryFileName ? libraryFileName : "the plug-in") + " on TULO_PLUG_IN_PATH (" +
                                 (path && *path ? std::string("\"") + path + "\"" : std::string("not set")) +
                                 "), then in " + where;
        TPxCommand::displayWarning(TString(text.c_str()));
    }
    zeqsdk_400::ZeqLogFile::SetRefusalReporter(&WarnLogRefused);
    // No master directory, no log: it would otherwise land in the current folder, or fail again
    // at every run after start-up said it.
    zeqsdk_400::KSetMasterFolder(gNothingKept || !held.IsOpen() ? nullptr : &held);
    // Nor are settings read from, or written to, a folder refused.
    zeqsdk_400::KSetConfigFolder(held.IsOpen() ? &held : nullptr);
    ZeqTuloUserParams::Instance()->Load();
    // A settings file another user may have put under its name is neither read nor saved: said once,
    // here (its save, refused for that reason, is not said again).
    const KString& notRead = ZeqTuloUserParams::Instance()->GetLoadRefusal();
    if (!notRead.IsEmpty()) SaySettings("Zeq: the settings are neither read nor saved: ", notRead.Buffer(), false);
    status = fn.registerFileTranslator(kTranslatorName, "", ZeqTuloTranslator::creator, nullptr, nullptr);
    for (std::size_t i = 0; status && i < count; ++i) {
        status = fn.registerCommand(commands[i].mName, commands[i].mCreator);
        if (!status) {
            TString text("the host refused the command ");
            text += commands[i].mName;
            status.perror(text);
            while (i-- > 0) fn.deregisterCommand(commands[i].mName);
            fn.deregisterFileTranslator(kTranslatorName);
        }
    }
    return status;
}

TStatus ZeqTuloUninitialize(const TObject& plugin, const ZeqTuloCommandRow* commands, std::size_t count) {
    // Saved here rather than only when the library goes, so that a failure can still be said.
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->Save();
    if (*params->GetSaveError().Buffer() && !gNothingKept)
        ZeqTuloSettingsNotSaved(params->GetSaveError().Buffer(), false);
    TFnPlugin fn(plugin);
    TStatus status = fn.deregisterFileTranslator(kTranslatorName);
    for (std::size_t i = 0; i < count; ++i) {
        TStatus one = fn.deregisterCommand(commands[i].mName);
        if (!one) status = one;
    }
    return status;
}
