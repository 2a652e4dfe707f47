#ifndef ZEQ_PLUGIN_IMPORT_IMPORTCOMMANDS_H
#define ZEQ_PLUGIN_IMPORT_IMPORTCOMMANDS_H

#include <string>

#include "base/kstring.h"
#include "plugin/zeqtulocommand.h"

class ZeqTuloImport;

// Base of the import and take-query commands: the one import driver they share, with the file it
// holds open.
class CommandImportBase : public ZeqTuloCommand {
public:
    static ZeqTuloImport* smImporter;
    static zeqsdk_400::KString smFileName;

    // The driver for the file: the one held when it holds that file and reuse is asked, else a new
    // one (the one held is deleted first) that has opened it.
    static ZeqTuloImport* DriverFor(const char* fileName, bool reuse);
    static void DeleteDriver();

protected:
    using ZeqTuloCommand::ZeqTuloCommand;
    // The driver of ZEQRead; null, with the problem shown, when no file has been read.
    ZeqTuloImport* ReadDriver() const;
    // The take index at args[index]; false, with the problem shown, for a missing or bad index.
    bool TakeIndex(const TArgList& args, unsigned index, int& take) const;
    // Shows the importer's own error about the file: its text, the path and the system's reason.
    void ShowReadProblem(const std::string& file) const;
};

// ZEQImport -f <file> [-caller <name>] [-take <index>] [-save]: imports the file (the take given,
// or no animation without one) by the import type of the user parameters.
class CommandImport : public CommandImportBase {
public:
    static constexpr const char* kName = "ZEQImport";
    CommandImport()
        : CommandImportBase(kName, "ZEQImport -f <file> [-caller <name>] [-take <index>] [-save]") {}
    static TPxCommand* creator() { return new CommandImport; }
    TStatus doIt(const TArgList& args) override;
};

// ZEQRead <file> (or -f <file>): opens the file for the take queries.
class CommandRead : public CommandImportBase {
public:
    static constexpr const char* kName = "ZEQRead";
    CommandRead() : CommandImportBase(kName, "ZEQRead [-f] <file>") {}
    static TPxCommand* creator() { return new CommandRead; }
    TStatus doIt(const TArgList& args) override;
};

// The take queries on the file ZEQRead opened.
class CommandGetTakeCount : public CommandImportBase {
public:
    static constexpr const char* kName = "ZEQGetTakeCount";
    CommandGetTakeCount() : CommandImportBase(kName, "ZEQGetTakeCount") {}
    static TPxCommand* creator() { return new CommandGetTakeCount; }
    TStatus doIt(const TArgList& args) override;
};

// The index of the take of that name; -1 when none has it.
class CommandGetTakeIndex : public CommandImportBase {
public:
    static constexpr const char* kName = "ZEQGetTakeIndex";
    CommandGetTakeIndex() : CommandImportBase(kName, "ZEQGetTakeIndex <take name>") {}
    static TPxCommand* creator() { return new CommandGetTakeIndex; }
    TStatus doIt(const TArgList& args) override;
};

class CommandGetTakeName : public CommandImportBase {
public:
    static constexpr const char* kName = "ZEQGetTakeName";
    CommandGetTakeName() : CommandImportBase(kName, "ZEQGetTakeName <take index>") {}
    static TPxCommand* creator() { return new CommandGetTakeName; }
    TStatus doIt(const TArgList& args) override;
};

class CommandGetTakeComment : public CommandImportBase {
public:
    static constexpr const char* kName = "ZEQGetTakeComment";
    CommandGetTakeComment() : CommandImportBase(kName, "ZEQGetTakeComment <take index>") {}
    static TPxCommand* creator() { return new CommandGetTakeComment; }
    TStatus doIt(const TArgList& args) override;
};

// A bound of a take's time span in the host's UI time unit: -start or -stop.
class CommandGetTakeTimeSpan : public CommandImportBase {
public:
    TStatus doIt(const TArgList& args) override;

protected:
    CommandGetTakeTimeSpan(const char* name, const char* syntax, bool reference)
        : CommandImportBase(name, syntax), mReference(reference) {}

private:
    bool mReference;
};

class CommandGetTakeLocalTimeSpan : public CommandGetTakeTimeSpan {
public:
    static constexpr const char* kName = "ZEQGetTakeLocalTimeSpan";
    CommandGetTakeLocalTimeSpan()
        : CommandGetTakeTimeSpan(kName, "ZEQGetTakeLocalTimeSpan <take index> -start|-stop", false) {}
    static TPxCommand* creator() { return new CommandGetTakeLocalTimeSpan; }
};

class CommandGetTakeReferenceTimeSpan : public CommandGetTakeTimeSpan {
public:
    static constexpr const char* kName = "ZEQGetTakeReferenceTimeSpan";
    CommandGetTakeReferenceTimeSpan()
        : CommandGetTakeTimeSpan(kName, "ZEQGetTakeReferenceTimeSpan <take index> -start|-stop", true) {}
    static TPxCommand* creator() { return new CommandGetTakeReferenceTimeSpan; }
};

#endif
