#include "plugin/zeqtulodialogs.h"

#include "plugin/zeqtulouserparams.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

// confirmDialog -title "T" -message "M" -button "B0" ...: the host's answer.
KString Confirm(const KString& title, const KString& message, const KString* buttons, int count) {
    KString command("confirmDialog -title \"");
    command += ZeqTuloDialogText(title.Buffer());
    command += "\" -message \"";
    command += ZeqTuloDialogText(message.Buffer());
    command += "\"";
    for (int i = 0; i < count; ++i) {
        command += " -button \"";
        command += ZeqTuloDialogText(buttons[i].Buffer());
        command += "\"";
    }
    TStringArray answer;
    if (!TGlobal::executeCommand(TString(command.Buffer()), answer, false, false) || answer.length() == 0)
        return KString();
    return KString(answer[0].asChar());
}

const char* OnOff(bool on) { return on ? "on" : "off"; }

void AddOption(KString& message, const char* label, unsigned int index) {
    message += "\\n";
    message += label;
    message += ": ";
    message += OnOff(ZeqTuloUserParams::Instance()->GetBoolParam(index));
}

bool OptionsDialog(const char* title, const char* action, const KString& options, bool import, bool* unanswered) {
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    if (import) params->ResetImport();
    else params->ResetExport();
    ZeqTuloConfirmDialog dialog;
    dialog.Title(title);
    KString message = params->GetMasterUnitStr(import);
    message += "\\n";
    message += options;
    dialog.Message(message);
    dialog.Button(0, action);
    dialog.Button(1, "Cancel");
    const KString answer = dialog.PopAnswer();
    if (unanswered) *unanswered = answer != action && answer != "Cancel";
    return answer == action;
}

}  // namespace

KString ZeqTuloDialogText(const char* text) {
    KString out;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '\\' && c[1] == 'n') {
            out += "\\n";
            ++c;
        } else if (*c == '\\' || *c == '"') {
            out += '\\';
            out += *c;
        } else if (*c == '\n') {
            out += "\\n";
        } else {
            out += *c;
        }
    }
    return out;
}

ZeqTuloConfirmDialog::ZeqTuloConfirmDialog() : mTitle("ZeqTuloConfirmDialog"), mMessage("Left empty") { mButtons[0] = "Ok"; }

void ZeqTuloConfirmDialog::Title(const char* title) { mTitle = title ? title : ""; }
void ZeqTuloConfirmDialog::Message(const char* message) { mMessage = message ? message : ""; }
void ZeqTuloConfirmDialog::Message(const KString& message) { mMessage = message; }

void ZeqTuloConfirmDialog::Button(int index, const char* label) {
    if (index < 0 || index > 1) return;
    mButtons[index] = label ? label : "";
    if (index == 1) mButtonCount = 2;
}

KString ZeqTuloConfirmDialog::PopAnswer() { return Confirm(mTitle, mMessage, mButtons, mButtonCount); }

int ZeqTuloConfirmDialog::Pop() {
    const KString answer = PopAnswer();
    return mButtonCount == 2 && answer == mButtons[1] ? 1 : 0;
}

ZeqTulo3ButtonDialog::ZeqTulo3ButtonDialog() : mTitle("ZeqTulo3ButtonDialog"), mMessage("Left empty") { mButtons[0] = "Ok"; }

void ZeqTulo3ButtonDialog::Title(const char* title) { mTitle = title ? title : ""; }
void ZeqTulo3ButtonDialog::Message(const KString& message) { mMessage = message; }

void ZeqTulo3ButtonDialog::Button(int index, const char* label) {
    if (index < 0 || index > 2) return;
    mButtons[index] = label ? label : "";
    if (index + 1 > mButtonCount) mButtonCount = index + 1;
}

int ZeqTulo3ButtonDialog::Pop() {
    const KString answer = Confirm(mTitle, mMessage, mButtons, mButtonCount);
    for (int i = 0; i < mButtonCount; ++i)
        if (answer == mButtons[i]) return i;
    return 0;
}

bool ZeqTuloImportOptionsDialog(bool* unanswered) {
    static const char* const kModes[] = {"Exclusive merge", "Merge", "Create a new scene"};
    KString options("Import mode: ");
    const int mode = ZeqTuloUserParams::Instance()->GetImportType();
    options += mode >= 0 && mode <= 2 ? kModes[mode] : kModes[1];
    AddOption(options, "Normalize skin weights", ZeqTuloUserParams::kImportForceWeightNormalize);
    AddOption(options, "Deforming nulls as joints", ZeqTuloUserParams::kImportDeformNullsAsJoints);
    AddOption(options, "Hard edges", ZeqTuloUserParams::kImportHardEdges);
    AddOption(options, "Protect driven keys", ZeqTuloUserParams::kProtectDrivenKeys);
    return OptionsDialog("ZEQ Import Options", "Import", options, true, unanswered);
}

bool ZeqTuloExportOptionsDialog(bool* unanswered) {
    KString options;
    AddOption(options, "Hard edges", ZeqTuloUserParams::kExportHardEdges);
    AddOption(options, "Selection only", ZeqTuloUserParams::kExportSelectionOnly);
    return OptionsDialog("ZEQ Export Options", "Export", options.Mid(2), false, unanswered);
}
