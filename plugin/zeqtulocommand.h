#ifndef ZEQ_PLUGIN_ZEQTULOCOMMAND_H
#define ZEQ_PLUGIN_ZEQTULOCOMMAND_H

#include <cstddef>
#include <string>

#include "tplugin.h"

// One row of a command table: the command's name and the creator the host calls once per run of
// the command.
struct ZeqTuloCommandRow {
    const char* mName;
    TPxCommand* (*mCreator)();
};

// The rows one library adds to the plug-in, as data; the module registers the shell's, the
// export's and the import's tables in that order (zeqtulomodule.cpp).
struct ZeqTuloCommandTable {
    const ZeqTuloCommandRow* mRows;
    std::size_t mCount;
};
ZeqTuloCommandTable ZeqTuloShellCommands();   // plugin/shellcommands.cpp
ZeqTuloCommandTable ZeqTuloExportCommands();  // plugin/export/exportcommands.cpp
ZeqTuloCommandTable ZeqTuloImportCommands();  // plugin/import/importcommands.cpp
// Deletes the import driver the take queries keep between commands (plugin/import/importcommands.cpp).
void ZeqTuloImportRelease();

// Base of the plug-in's host commands (one class each, named Command + the name without "ZEQ").
// A command's work is its doIt; a misused command changes nothing, shows the problem and
// "Use syntax: ..." through the host's error display and answers failure.
class ZeqTuloCommand : public TPxCommand {
public:
    // "<problem>: <path>", with the system's reason for the error number in parentheses (none for 0);
    // the drivers' logs say it as the commands do.
    static std::string FileProblem(const char* problem, const char* path, int systemError);

protected:
    ZeqTuloCommand(const char* name, const char* syntax) : mName(name), mSyntax(syntax) {}
    TStatus SyntaxError(const char* problem) const;
    // The argument at index as 0 or 1; false for a missing argument or any other text.
    static bool SwitchArgument(const TArgList& args, unsigned index, bool& value);

    const char* mName;
    const char* mSyntax;
};

#endif
