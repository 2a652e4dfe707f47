#ifndef ZEQ_PLUGIN_COMMANDOPTIONS_H
#define ZEQ_PLUGIN_COMMANDOPTIONS_H

#include "plugin/zeqtulocommand.h"
#include "plugin/zeqtulouserparams.h"

// The option commands: each sets one bool user option from its one argument, 0 or 1. The
// settings file follows when the library unloads (or at the next command that saves).
class CommandBoolOption : public ZeqTuloCommand {
public:
    TStatus doIt(const TArgList& args) override;

protected:
    CommandBoolOption(const char* name, const char* syntax, unsigned int option)
        : ZeqTuloCommand(name, syntax), mOption(option) {}

private:
    unsigned int mOption;
};

class CommandImportShowUI : public CommandBoolOption {
public:
    static constexpr const char* kName = "ZEQImportShowUI";
    CommandImportShowUI() : CommandBoolOption(kName, "ZEQImportShowUI 0|1", ZeqTuloUserParams::kImportShowUI) {}
    static TPxCommand* creator() { return new CommandImportShowUI; }
};

class CommandImportConvertDeformingNullsToJoint : public CommandBoolOption {
public:
    static constexpr const char* kName = "ZEQImportConvertDeformingNullsToJoint";
    CommandImportConvertDeformingNullsToJoint()
        : CommandBoolOption(kName, "ZEQImportConvertDeformingNullsToJoint 0|1",
                            ZeqTuloUserParams::kImportDeformNullsAsJoints) {}
    static TPxCommand* creator() { return new CommandImportConvertDeformingNullsToJoint; }
};

class CommandImportHardEdges : public CommandBoolOption {
public:
    static constexpr const char* kName = "ZEQImportHardEdges";
    CommandImportHardEdges() : CommandBoolOption(kName, "ZEQImportHardEdges 0|1", ZeqTuloUserParams::kImportHardEdges) {}
    static TPxCommand* creator() { return new CommandImportHardEdges; }
};

class CommandImportProtectDrivenKeys : public CommandBoolOption {
public:
    static constexpr const char* kName = "ZEQImportProtectDrivenKeys";
    CommandImportProtectDrivenKeys()
        : CommandBoolOption(kName, "ZEQImportProtectDrivenKeys 0|1", ZeqTuloUserParams::kProtectDrivenKeys) {}
    static TPxCommand* creator() { return new CommandImportProtectDrivenKeys; }
};

class CommandExportShowUI : public CommandBoolOption {
public:
    static constexpr const char* kName = "ZEQExportShowUI";
    CommandExportShowUI() : CommandBoolOption(kName, "ZEQExportShowUI 0|1", ZeqTuloUserParams::kExportShowUI) {}
    static TPxCommand* creator() { return new CommandExportShowUI; }
};

class CommandExportHardEdges : public CommandBoolOption {
public:
    static constexpr const char* kName = "ZEQExportHardEdges";
    CommandExportHardEdges() : CommandBoolOption(kName, "ZEQExportHardEdges 0|1", ZeqTuloUserParams::kExportHardEdges) {}
    static TPxCommand* creator() { return new CommandExportHardEdges; }
};

// ZEQSetUserParams <import show-UI 0|1> <export show-UI 0|1>: sets both and saves the settings.
class CommandSetUserParams : public ZeqTuloCommand {
public:
    static constexpr const char* kName = "ZEQSetUserParams";
    CommandSetUserParams() : ZeqTuloCommand(kName, "ZEQSetUserParams <importShowUI 0|1> <exportShowUI 0|1>") {}
    static TPxCommand* creator() { return new CommandSetUserParams; }
    TStatus doIt(const TArgList& args) override;
};

#endif
