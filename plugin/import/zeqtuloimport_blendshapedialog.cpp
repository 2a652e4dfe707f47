// The nodes whose blend-shape weights had no curve to take their animation, reported at the end of
// the import pass: to the log, and in a dialog when dialogs are on.
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"

using namespace zeqsdk_400;

void ZeqTuloImport::DisplayBlendShapeImportWarningDialog() {
    const int count = mBlendShapeFailures.GetCount();
    if (count == 0) return;
    // In the message, "\n" is the host script's line break inside the quoted dialog text.
    KString message("Import of blendshape animation failed for the following nodes:\\n\\n");
    auto log = [this](const char* line) {
        if (mLogFile) *mLogFile += line;
    };
    log("Import of blendshape animation failed for the following nodes:");
    // Three names a line; the last line holds only its indentation.
    for (int i = 0; i < count + 3; i += 3) {
        message += "        ";
        for (int p = i; p < count && p < i + 3; ++p) {
            const KString name(mBlendShapeFailures[p]->GetNameWithoutNameSpacePrefix());
            message += name;
            if (p < count - 1) message += ", ";
            log(name.Buffer());
        }
        message += "\\n";
    }
    message += "\\n";
    message += "Make sure the animation function curves exist on these nodes.\\n";
    message += " (Make sure each blendshape have at least a key)\\n";
    log("Make sure the animation function curves exist on these nodes.");
    log(" (Make sure each blendshape have at least a key)");
    if (!ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kImportShowUI)) return;
    ZeqTuloConfirmDialog dialog;
    dialog.Title("ZEQ import error");
    dialog.Message(message);
    dialog.Button(0, "Ok");
    dialog.Pop();
}
