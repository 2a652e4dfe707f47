#ifndef ZEQ_PLUGIN_EXPORT_COMMANDEXPORT_H
#define ZEQ_PLUGIN_EXPORT_COMMANDEXPORT_H

#include "plugin/zeqtulocommand.h"

// ZEQExport -f <file> [-caller <name>]: exports the open host scene to the file. With the export's
// show-UI option on, the export dialog asks first (and the options are saved when it confirms).
class CommandExport : public ZeqTuloCommand {
public:
    static constexpr const char* kName = "ZEQExport";
    CommandExport() : ZeqTuloCommand(kName, "ZEQExport -f <file path> [-caller <caller name>]") {}
    static TPxCommand* creator() { return new CommandExport; }
    TStatus doIt(const TArgList& args) override;
};

#endif
