#ifndef ZEQ_PLUGIN_ZEQTULOPLUGIN_H
#define ZEQ_PLUGIN_ZEQTULOPLUGIN_H

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/kstring.h"
#include "fileio/kpath.h"
#include "plugin/zeqtulocommand.h"

// Start-up and shut-down of the plug-in, run by the module's entry points with its command table.

// Start-up: the host's plug-in record (vendor "Vonex", version "6.0"); the plug-in directory,
// held, made master and configuration folder (KSetMasterFolder, KSetConfigFolder); the user
// parameters loaded; the translator "Zeq", then the commands in table order. A registration the host
// refuses undoes the others and fails. libraryFileName: the name of the library's file as the loader
// shows it; libraryAddress: an address in its code, which tells the file loaded.
TStatus ZeqTuloInitialize(const TObject& plugin, const ZeqTuloCommandRow* commands, std::size_t count,
                          const char* libraryFileName, const void* libraryAddress);
// Shut-down: saves the settings (a host warning says why when they cannot be), deregisters the
// translator and every command of the table.
TStatus ZeqTuloUninitialize(const TObject& plugin, const ZeqTuloCommandRow* commands, std::size_t count);

// Says why the settings were not saved ("Zeq: the settings are not saved: <reason>"), as a command's
// error or a warning, and puts it in the log where the log can be written; a warning that repeats
// the reason said last is not said again.
void ZeqTuloSettingsNotSaved(const char* reason, bool asError);

// Where the host loaded the library from: the folder of the path it loaded it by (TFnPlugin::loadPath),
// the names the file may bear there, and the device and inode of the file loaded (mKnown: found).
struct ZeqTuloLoadedFrom {
    std::string mFolder;
    std::vector<std::string> mNames;
    bool mKnown = false;
    dev_t mDevice = 0;
    ino_t mInode = 0;
};
// The plug-in's directory, ending in "/": the folder the host loaded the library from, where it is
// a directory of TULO_PLUG_IN_PATH, it can be written and one of the names there is the file loaded
// (device and inode; reached as a file nobody named is), held in folder; else ZeqTuloUserDirectory(),
// folder left closed. Never a folder the host passed over: what it holds under the library's name
// is not what runs.
zeqsdk_400::KString ZeqTuloPluginDirectory(const ZeqTuloLoadedFrom& loaded, zeqsdk_400::KHeldFolder& folder);
// The user's own folder for the plug-in: "$XDG_CONFIG_HOME/zeqtulo/", else "$HOME/.config/zeqtulo/"
// (each only when absolute); "" when neither is set.
zeqsdk_400::KString ZeqTuloUserDirectory();

#endif
