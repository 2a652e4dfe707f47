#include "plugin/export/commandexport.h"

#include <string>

#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"

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

    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    if (params->GetBoolParam(ZeqTuloUserParams::kExportShowUI)) {
        if (!ZeqTuloExportOptionsDialog()) {
            displayWarning(TString("ZEQExport: the export was cancelled"));
            return TStatus::kFailure;
        }
        params->Save();
    }
    ZeqTuloExport exporter;
    TStatus status = exporter.Export(file.asChar());
    if (!status) {
        TString text("ZEQExport: File Export Failed: ");
        text += file;
        if (!exporter.GetWriteFailure().IsEmpty()) {
            text += " (";
            text += exporter.GetWriteFailure().Buffer();
            text += ")";
        }
        displayError(text);
    }
    return status;
}
