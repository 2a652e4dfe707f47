#include "plugin/export/commandexport.h"

#include <string>

#include "fileio/kpath.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"

namespace {

// A folder that the file's name would be made of: the ".zeq" that a name without an extension
// gets would put the file beside it ("sub/" and "sub" becoming "sub.zeq", "." "../<folder>.zeq").
// A folder with an extension is no such name: the writer refuses it as it is.
bool NamesFolder(const std::string& path) {
    const char last = path.empty() ? '\0' : path.back();
    if (last == '/' || last == '\\') return true;
    if (!zeqsdk_400::ExtractFileExtension(path.c_str()).IsEmpty()) return false;
    const std::string name = zeqsdk_400::ExtractFileName(path.c_str()).Buffer();
    return name == "." || name == ".." || zeqsdk_400::DirectoryExist(path.c_str());
}

}  // namespace

TStatus CommandExport::doIt(const TArgList& args) {
    TString file, caller;
    bool hasFile = false;
    for (unsigned i = 0; i < args.length(); ++i) {
        const TString flag = args.asString(i);
        if ((flag == "-f" || flag == "-caller") && i + 1 >= args.length())
            return SyntaxError("a flag lacks its value");
        if (flag == "-f") {
            file = args.asString(++i);
            hasFile = true;
        } else if (flag == "-caller") {
            caller = args.asString(++i);
        } else {
            return SyntaxError((std::string("unknown argument ") + flag.asChar()).c_str());
        }
    }
    if (!hasFile || file.length() == 0) return SyntaxError("needs -f and the file path");
    if (NamesFolder(file.asChar()))
        return SyntaxError((std::string("the target names a folder, not a file: ") + file.asChar()).c_str());

    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    if (params->GetBoolParam(ZeqTuloUserParams::kExportShowUI)) {
        bool unanswered = false;
        if (!ZeqTuloExportOptionsDialog(&unanswered)) {
            // In a batch run nobody answers: say so here, with the way out.
            if (unanswered)
                displayError(TString("ZEQExport: the export was cancelled: nobody answered its options dialog "
                                     "\"ZEQ Export Options\"; turn the dialog off with \"ZEQExportShowUI 0\""));
            else
                displayWarning(TString("ZEQExport: the export was cancelled"));
            return TStatus::kFailure;
        }
        params->Save();
    }
    ZeqTuloExport exporter;
    TStatus status = exporter.Export(file.asChar());
    if (!status) {
        // The system's reason where it gave one, else why the file was refused.
        const int systemError = exporter.GetWriteSystemError();
        std::string text = FileProblem("File Export Failed", file.asChar(), systemError);
        if (systemError == 0 && !exporter.GetWriteFailure().IsEmpty())
            text += std::string(" (") + exporter.GetWriteFailure().Buffer() + ")";
        displayError(TString(("ZEQExport: " + text).c_str()));
    }
    return status;
}
