#include "plugin/zeqtuloplugin.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/klib.h"
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
}  // namespace

void ZeqTuloSettingsNotSaved(const char* reason, bool asError) {
    // The reason said last: the unload does not say again what a command just said.
    static std::string said;
    const std::string why = reason ? reason : "";
    if (!asError && why == said) return;
    const TString text(("Zeq: the settings are not saved: " + why).c_str());
    if (asError)
        TPxCommand::displayError(text);
    else
        TPxCommand::displayWarning(text);
    if (why == said) return;
    said = why;
    // In the log too, where it can be written (where it cannot, that is said once, as always).
    zeqsdk_400::ZeqLogFile log("zeqtulolog.txt", "Zeq settings", true, false);
    log += text.asChar();
    log.OutputLog();
}

KString ZeqTuloPluginDirectory(const char* libraryFileName) {
    const char* env = std::getenv("TULO_PLUG_IN_PATH");
    const std::string dirs = env ? env : "";
    const std::string file = libraryFileName ? libraryFileName : "";
    for (std::size_t start = 0; start < dirs.size() && !file.empty();) {
        std::size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        std::string dir = dirs.substr(start, colon - start);
        start = colon + 1;
        if (dir.empty()) continue;
        if (dir.back() != '/') dir += '/';
        if (zeqsdk_400::KMayWriteIn(dir.c_str()) && zeqsdk_400::FileExist((dir + file).c_str()))
            return KString(dir.c_str());
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
                          const char* libraryFileName) {
    TStatus status;
    TFnPlugin fn(plugin, "Vonex", "6.0", "Any", &status);
    if (!status) return status;
    const KString directory = ZeqTuloPluginDirectory(libraryFileName);
    // The user's own folder is made on first use, as a folder nobody named: not through another
    // user's link where others may write. Where that fails, its reason is the one said: a look for
    // the folder afterwards would only find it missing.
    std::string refused;
    zeqsdk_400::KHeldFolder made;
    if (*directory.Buffer() && !zeqsdk_400::DirectoryExist(directory.Buffer()) &&
        !made.Open(directory.Buffer(), true, 0777, zeqsdk_400::kAnyGroup, zeqsdk_400::KNamedBy::eNobody))
        refused = *made.GetReason() ? made.GetReason() : std::strerror(made.GetSystemError());
    gNothingKept = !zeqsdk_400::KMayWriteIn(directory.Buffer());
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
    zeqsdk_400::KLib_SetMasterDirectory(gNothingKept ? "" : directory.Buffer());
    zeqsdk_400::KLib_SetConfigDirectory(directory.Buffer());
    ZeqTuloUserParams::Instance()->Load();
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
