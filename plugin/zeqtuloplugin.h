#ifndef ZEQ_PLUGIN_ZEQTULOPLUGIN_H
#define ZEQ_PLUGIN_ZEQTULOPLUGIN_H

#include <cstddef>

#include "base/kstring.h"
#include "plugin/zeqtulocommand.h"

// Start-up and shut-down of the plug-in, run by the module's entry points with its command table.

// Start-up: the host's plug-in record (vendor "Vonex", version "6.0"); the plug-in directory made
// master and configuration directory; the user parameters loaded; the translator "Zeq", then the
// commands in table order. A registration the host refuses undoes the others and fails.
TStatus ZeqTuloInitialize(const TObject& plugin, const ZeqTuloCommandRow* commands, std::size_t count,
                          const char* libraryFileName);
// Shut-down: saves the settings (a host warning says why when they cannot be), deregisters the
// translator and every command of the table.
TStatus ZeqTuloUninitialize(const TObject& plugin, const ZeqTuloCommandRow* commands, std::size_t count);

// Says why the settings were not saved ("Zeq: the settings are not saved: <reason>"), as a command's
// error or a warning, and puts it in the log where the log can be written; a warning that repeats
// the reason said last is not said again.
void ZeqTuloSettingsNotSaved(const char* reason, bool asError);

// The first directory of TULO_PLUG_IN_PATH that is writable and holds the library file, ending
// in "/"; else ZeqTuloUserDirectory().
zeqsdk_400::KString ZeqTuloPluginDirectory(const char* libraryFileName);
// The user's own folder for the plug-in: "$XDG_CONFIG_HOME/zeqtulo/", else "$HOME/.config/zeqtulo/"
// (each only when absolute); "" when neither is set.
zeqsdk_400::KString ZeqTuloUserDirectory();

#endif
