#include "plugin/zeqtulocommand.h"

TStatus ZeqTuloCommand::SyntaxError(const char* problem) const {
    TString text(mName);
    text += ": ";
    text += problem;
    displayError(text);
    TString syntax("Use syntax: ");
    syntax += mSyntax;
    displayError(syntax);
    return TStatus::kFailure;
}

bool ZeqTuloCommand::SwitchArgument(const TArgList& args, unsigned index, bool& value) {
    if (index >= args.length()) return false;
    const TString word = args.asString(index);
    if (word != "0" && word != "1") return false;
    value = word == "1";
    return true;
}
