#include "plugin/zeqtulocommand.h"

#include <cstring>

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

std::string ZeqTuloCommand::FileProblem(const char* problem, const char* path, int systemError) {
    std::string text = problem ? problem : "";
    // A sentence of the SDK's ("... is wrong.") goes on with the path.
    if (!text.empty() && text.back() == '.') text.pop_back();
    text += std::string(": ") + (path ? path : "");
    if (systemError != 0) text += std::string(" (") + std::strerror(systemError) + ")";
    return text;
}
