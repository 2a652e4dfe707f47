// The file translator "Zeq": which files it takes and the command lines it runs.
#include "zeqtulo_test_support.h"

#include "plugin/zeqtulotranslator.h"

namespace {

struct IdentifyCase {
    const char* name;
    const char* file;
    TPxFileTranslator::TFileKind kind;
};

class Identify : public HostTest, public ::testing::WithParamInterface<IdentifyCase> {};

TEST_P(Identify, ByTheFirstZeqAfterTheFirstCharacter) {
    TFileObject file;
    file.setRawFullName(GetParam().file);
    EXPECT_EQ(ZeqTuloTranslator().identifyFile(file, "zeq", 3), GetParam().kind);
}

const IdentifyCase kIdentify[] = {
    {"UpperCaseExtension", "/scenes/Scene.ZEQ", TPxFileTranslator::kIsMyFileType},
    {"OtherFile", "notes.txt", TPxFileTranslator::kNotMyFileType},
    {"NameBeginsWithZeq", "/a.zeq/zeqscene.zeq", TPxFileTranslator::kNotMyFileType},
    {"ZeqInsideTheName", "myzeqfile.txt", TPxFileTranslator::kIsMyFileType},
    {"DirectoryIgnored", "/my.zeq/notes", TPxFileTranslator::kNotMyFileType},
};
INSTANTIATE_TEST_SUITE_P(Translator, Identify, ::testing::ValuesIn(kIdentify), CaseName());

TEST(TranslatorCommand, PathIsEscaped) {
    EXPECT_EQ(std::string(ZeqTuloTranslator::CommandLine("ZEQImport", "/a b/c.zeq").asChar()),
              "ZEQImport -f \"/a b/c.zeq\" -caller \"ZEQTuloTranslator\"");
    EXPECT_EQ(std::string(ZeqTuloTranslator::CommandLine("ZEQExport", "/x\"y\\z.zeq").asChar()),
              "ZEQExport -f \"/x\\\"y\\\\z.zeq\" -caller \"ZEQTuloTranslator\"");
    ZeqTuloTranslator t;
    EXPECT_TRUE(t.haveReadMethod() && t.haveWriteMethod() && t.canBeOpened());
    EXPECT_EQ(std::string(t.defaultExtension().asChar()), "zeq");
}

using TranslatorModuleTest = ZeqTuloModuleTest;

// A path as a script's quoted text holds it: '"' and '\\' escaped.
std::string Escaped(const std::string& path) {
    std::string text;
    for (const char c : path) text += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string(1, c);
    return text;
}

// Through the host's file command: the path, quote and all, reaches the command word for word, and
// the command's answer (the import fails: no such file in the test's own folder; the export writes
// the scene) is the translator's answer.
TEST_F(TranslatorModuleTest, FileCommandsRunTheCommandLines) {
    EXPECT_EQ(run("ZEQImportShowUI 0"), "");
    const std::string odd = mDirectory + "odd \"scene\\.zeq";
    EXPECT_EQ(run("file -import \"" + Escaped(odd) + "\""), "<failed>");
    EXPECT_TRUE(transcribed("command: \"ZEQImport -f \\\"" + Escaped(Escaped(odd)) +
                            "\\\" -caller \\\"ZEQTuloTranslator\\\"\""));
    EXPECT_TRUE(transcribed("// Error: ZEQImport: "));
    const std::string out = mDirectory + "out.zeq";
    EXPECT_NE(run("ZEQExportShowUI 0"), "<failed>");
    EXPECT_NE(run("file -exportAll -type \"Zeq\" \"" + out + "\""), "<failed>");
    EXPECT_TRUE(transcribed("command: \"ZEQExport -f \\\"" + out + "\\\" -caller \\\"ZEQTuloTranslator\\\"\""));
    EXPECT_FALSE(ZeqTuloReadFile(out).empty());
    EXPECT_EQ(run("file -import \"" + mDirectory + "notes.txt\""), "<failed>");
    EXPECT_TRUE(transcribed("no file translator takes"));
}

}  // namespace
