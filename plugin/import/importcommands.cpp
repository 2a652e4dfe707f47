// The import's commands: ZEQImport, ZEQRead and the take queries, and their rows in registration
// order.
#include "plugin/import/importcommands.h"

#include <cstring>
#include <iterator>
#include <string>

#include "io/kzeqimporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

ZeqTuloImport* CommandImportBase::smImporter = nullptr;
KString CommandImportBase::smFileName;

ZeqTuloImport* CommandImportBase::DriverFor(const char* fileName, bool reuse) {
    if (reuse && smImporter && smFileName == fileName) return smImporter;
    DeleteDriver();
    smImporter = new ZeqTuloImport;
    smFileName = fileName;
    smImporter->OpenProject(TString(fileName));
    return smImporter;
}

void CommandImportBase::DeleteDriver() {
    delete smImporter;
    smImporter = nullptr;
    smFileName = "";
}

ZeqTuloImport* CommandImportBase::ReadDriver() const {
    if (smImporter && smImporter->GetImporter()) return smImporter;
    TString text(mName);
    text += ": no file is open: read one with ZEQRead first";
    displayError(text);
    return nullptr;
}

void CommandImportBase::ShowReadProblem(const std::string& file) const {
    KZeqImporter* importer = smImporter ? smImporter->GetImporter() : nullptr;
    const char* text = importer ? ZeqTuloImport::ReadErrorText(*importer) : nullptr;
    const int reason = importer ? importer->GetError().GetLastSystemError() : 0;
    std::string problem;
    if (importer && importer->GetLastErrorID() == KZeqIO::eFileNotOpened) {
        // Refused for what it is (a pipe, a device), the file has no system reason: the refusal says why.
        const char* table = importer->GetError().GetErrorString(KZeqIO::eFileNotOpened);
        problem = FileProblem(table, file.c_str(), reason);
        if (reason == 0 && text && *text && std::strcmp(text, table) != 0) problem += std::string(" (") + text + ")";
    } else {
        problem = FileProblem(text && *text ? text : "the file cannot be read", file.c_str(), reason);
    }
    displayError(TString((std::string(mName) + ": " + problem).c_str()));
}

bool CommandImportBase::TakeIndex(const TArgList& args, unsigned index, int& take) const {
    TStatus status;
    if (index >= args.length()) return SyntaxError("needs a take index"), false;
    take = args.asInt(index, &status);
    if (!status) return SyntaxError("the take index is not a number"), false;
    const int count = smImporter->GetImporter()->GetTakeCount();
    if (take < 0 || take >= count) {
        std::string text = std::string(mName) + ": take index " + std::to_string(take) + " out of range (the file has " +
                           std::to_string(count) + (count == 1 ? " take)" : " takes)");
        displayError(TString(text.c_str()));
        return false;
    }
    return true;
}

TStatus CommandImport::doIt(const TArgList& args) {
    std::string file, caller;
    bool hasFile = false, save = false;
    int take = -1;
    for (unsigned i = 0; i < args.length(); ++i) {
        const TString flag = args.asString(i);
        if (flag == "-save") {
            save = true;
            continue;
        }
        if (flag != "-f" && flag != "-caller" && flag != "-take")
            return SyntaxError((std::string("unknown argument ") + flag.asChar()).c_str());
        if (i + 1 >= args.length()) return SyntaxError("a flag without its value");
        TStatus status;
        if (flag == "-f") {
            file = args.asString(++i).asChar();
            hasFile = true;
        } else if (flag == "-caller") {
            caller = args.asString(++i).asChar();
        } else {
            take = args.asInt(++i, &status);
            if (!status) return SyntaxError("the take index is not a number");
        }
    }
    if (!hasFile || file.empty()) return SyntaxError("needs a file (-f)");

    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    ZeqTuloImport* driver = DriverFor(file.c_str(), true);
    KZeqImporter* importer = driver->GetImporter();
    if (take >= 0 || take < -1) {
        const int count = importer ? importer->GetTakeCount() : 0;
        // A file that cannot be read has no takes: why it cannot comes first.
        if (!importer || importer->GetLastErrorID() >= 0) {
            ShowReadProblem(file);
            DeleteDriver();
            return TStatus::kFailure;
        }
        if (take < 0 || take >= count) {
            std::string text = std::string(mName) + ": take index " + std::to_string(take) +
                               " out of range (the file has " + std::to_string(count) +
                               (count == 1 ? " take)" : " takes)");
            displayError(TString(text.c_str()));
            DeleteDriver();
            return TStatus::kFailure;
        }
        for (int i = 0; i < count; ++i) importer->GetTakeInfo(i)->mSelect = i == take;
        driver->SetTakeName(importer->GetTakeInfo(take)->mName.Buffer());
    } else if (importer) {
        importer->SetState(KZeqImporter::eANIMATION, false);
    }
    bool unanswered = false;
    if (params->GetBoolParam(ZeqTuloUserParams::kImportShowUI) && !ZeqTuloImportOptionsDialog(&unanswered)) {
        // A dialog nobody answered (a batch run) imports nothing either: a failure, said here with
        // the way out.
        if (unanswered) {
            displayError(TString("ZEQImport: the import was cancelled: nobody answered its options dialog "
                                 "\"ZEQ Import Options\"; turn the dialog off with \"ZEQImportShowUI 0\""));
            return TStatus::kFailure;
        }
        // Refused: nothing is imported, the file stays open for another try.
        setResult(false);
        return TStatus::kSuccess;
    }
    ZeqTuloProgressMeter::Reset(params->GetBoolParam(ZeqTuloUserParams::kImportShowUI), "ZEQIMPORTWINDOW");
    const TStatus status = driver->Import();
    if (!status) ShowReadProblem(file);
    DeleteDriver();
    if (save) params->Save();
    if (!status) return TStatus::kFailure;
    setResult(true);
    return TStatus::kSuccess;
}

TStatus CommandRead::doIt(const TArgList& args) {
    std::string file;
    if (args.length() == 1 && args.asString(0) == "-f")
        return SyntaxError("needs a file after -f");
    if (args.length() == 1)
        file = args.asString(0).asChar();
    else if (args.length() == 2 && args.asString(0) == "-f")
        file = args.asString(1).asChar();
    else
        return SyntaxError("needs one file");
    if (file.empty()) return SyntaxError("needs one file");
    ZeqTuloImport* driver = DriverFor(file.c_str(), false);
    KZeqImporter* importer = driver->GetImporter();
    if (!importer) {
        DeleteDriver();
        return TStatus::kFailure;
    }
    importer->GetTakeCount();
    if (importer->GetLastErrorID() >= 0) {
        ShowReadProblem(file);
        DeleteDriver();
        return TStatus::kFailure;
    }
    setResult(true);
    return TStatus::kSuccess;
}

TStatus CommandGetTakeCount::doIt(const TArgList& args) {
    if (args.length() != 0) return SyntaxError("takes no argument");
    ZeqTuloImport* driver = ReadDriver();
    if (!driver) return TStatus::kFailure;
    setResult(driver->GetImporter()->GetTakeCount());
    return TStatus::kSuccess;
}

TStatus CommandGetTakeIndex::doIt(const TArgList& args) {
    if (args.length() != 1) return SyntaxError("needs one take name");
    ZeqTuloImport* driver = ReadDriver();
    if (!driver) return TStatus::kFailure;
    KZeqImporter* importer = driver->GetImporter();
    const TString name = args.asString(0);
    int index = -1;
    for (int i = 0; i < importer->GetTakeCount() && index < 0; ++i)
        if (std::strcmp(importer->GetTakeInfo(i)->mName.Buffer(), name.asChar()) == 0) index = i;
    setResult(index);
    return TStatus::kSuccess;
}

TStatus CommandGetTakeName::doIt(const TArgList& args) {
    if (args.length() != 1) return SyntaxError("needs one take index");
    int take = 0;
    if (!ReadDriver() || !TakeIndex(args, 0, take)) return TStatus::kFailure;
    setResult(smImporter->GetImporter()->GetTakeInfo(take)->mName.Buffer());
    return TStatus::kSuccess;
}

TStatus CommandGetTakeComment::doIt(const TArgList& args) {
    if (args.length() != 1) return SyntaxError("needs one take index");
    int take = 0;
    if (!ReadDriver() || !TakeIndex(args, 0, take)) return TStatus::kFailure;
    setResult(smImporter->GetImporter()->GetTakeInfo(take)->mDescription.Buffer());
    return TStatus::kSuccess;
}

TStatus CommandGetTakeTimeSpan::doIt(const TArgList& args) {
    if (args.length() != 2) return SyntaxError("needs a take index and -start or -stop");
    const TString bound = args.asString(1);
    if (bound != "-start" && bound != "-stop") return SyntaxError("needs -start or -stop");
    int take = 0;
    if (!ReadDriver() || !TakeIndex(args, 0, take)) return TStatus::kFailure;
    const KZeqTakeInfo* info = smImporter->GetImporter()->GetTakeInfo(take);
    const KTimeSpan& span = mReference ? info->mReferenceTimeSpan : info->mLocalTimeSpan;
    const KTime time = bound == "-start" ? span.GetStart() : span.GetStop();
    setResult(time.GetSecondDouble() * ZeqTuloUtility::TimeUnitRatio());
    return TStatus::kSuccess;
}

void ZeqTuloImportRelease() { CommandImportBase::DeleteDriver(); }

ZeqTuloCommandTable ZeqTuloImportCommands() {
    static const ZeqTuloCommandRow kRows[] = {
        {CommandImport::kName, CommandImport::creator},
        {CommandRead::kName, CommandRead::creator},
        {CommandGetTakeCount::kName, CommandGetTakeCount::creator},
        {CommandGetTakeIndex::kName, CommandGetTakeIndex::creator},
        {CommandGetTakeName::kName, CommandGetTakeName::creator},
        {CommandGetTakeComment::kName, CommandGetTakeComment::creator},
        {CommandGetTakeLocalTimeSpan::kName, CommandGetTakeLocalTimeSpan::creator},
        {CommandGetTakeReferenceTimeSpan::kName, CommandGetTakeReferenceTimeSpan::creator},
    };
    return {kRows, std::size(kRows)};
}
