#include "plugin/commandoptions.h"

#include "plugin/zeqtuloplugin.h"

TStatus CommandBoolOption::doIt(const TArgList& args) {
    bool on = false;
    if (args.length() != 1 || !SwitchArgument(args, 0, on)) return SyntaxError("needs one argument, 0 or 1");
    ZeqTuloUserParams::Instance()->SetBoolParam(mOption, on);
    return TStatus::kSuccess;
}

TStatus CommandSetUserParams::doIt(const TArgList& args) {
    bool importShowUI = false, exportShowUI = false;
    if (args.length() != 2 || !SwitchArgument(args, 0, importShowUI) || !SwitchArgument(args, 1, exportShowUI))
        return SyntaxError("needs two arguments, each 0 or 1");
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->SetBoolParam(ZeqTuloUserParams::kImportShowUI, importShowUI);
    params->SetBoolParam(ZeqTuloUserParams::kExportShowUI, exportShowUI);
    params->Save();
    // Set for this session either way; a setting that is not kept is said, and the command fails.
    if (!params->GetSaveError().IsEmpty()) {
        ZeqTuloSettingsNotSaved(params->GetSaveError().Buffer(), true);
        return TStatus::kFailure;
    }
    return TStatus::kSuccess;
}
