#include "plugin/zeqtulotranslator.h"

#include "base/kstring.h"
#include "tglobal.h"

using zeqsdk_400::KString;

TPxFileTranslator* ZeqTuloTranslator::creator() { return new ZeqTuloTranslator; }

TString ZeqTuloTranslator::CommandLine(const char* command, const TString& path) {
    TString line(command);
    line += " -f \"";
    for (const char* c = path.asChar(); *c; ++c) {
        // A quote or backslash in the path would end or bend the script string.
        if (*c == '"' || *c == '\\') line += "\\";
        if (*c == '\n') line += "\\n";
        else line += TString(c, 1);
    }
    line += "\" -caller \"ZEQTuloTranslator\"";
    return line;
}

TStatus ZeqTuloTranslator::reader(const TFileObject& file, const TString&, FileAccessMode) {
    TStringArray result;
    return TGlobal::executeCommand(CommandLine("ZEQImport", file.fullName()), result, false, false);
}

TStatus ZeqTuloTranslator::writer(const TFileObject& file, const TString&, FileAccessMode) {
    TStringArray result;
    return TGlobal::executeCommand(CommandLine("ZEQExport", file.fullName()), result, false, false);
}

TPxFileTranslator::TFileKind ZeqTuloTranslator::identifyFile(const TFileObject& file, const char*, short) const {
    const KString name = KString(file.name().asChar()).Lower();
    return name.Find(defaultExtension().asChar(), 0) > 0 ? kIsMyFileType : kNotMyFileType;
}
