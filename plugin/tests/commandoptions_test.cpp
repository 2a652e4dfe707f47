// The option commands and ZEQSetUserParams, run in the stand-in on the loaded module; their effect
// shows in the settings file.
#include "zeqtulo_test_support.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

namespace {

using OptionCommandTest = ZeqTuloModuleTest;

struct OptionCase {
    const char* name;
    const char* command;
    const char* key;
};

class OptionCommand : public OptionCommandTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionCommand, SetsItsOptionAndRefusesBadArguments) {
    const std::string command = GetParam().command;
    const std::string key = GetParam().key;
    std::string before = (Unload(), Settings());
    std::string error;
    ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
    bool wasOn = before.find(key + " = 1") != std::string::npos;
    std::string value = wasOn ? "0" : "1";
    for (const char* bad : {"", " 2", " yes", " 0 1", " -1"}) {
        EXPECT_EQ(run(command + bad), "<failed>") << bad;
        EXPECT_TRUE(transcribed("// Error: " + command + ": needs one argument, 0 or 1"));
        EXPECT_TRUE(transcribed("// Error: Use syntax: " + command + " 0|1"));
    }
    EXPECT_EQ(run(command + " " + value), "");
    Unload();
    EXPECT_NE(Settings().find(key + " = " + value), std::string::npos) << Settings();
}

const OptionCase kOptions[] = {
    {"ImportShowUI", "ZEQImportShowUI", "kImportShowUI"},
    {"DeformingNulls", "ZEQImportConvertDeformingNullsToJoint", "kImportDeformNullsAsJoints"},
    {"ImportHardEdges", "ZEQImportHardEdges", "kImportHardEdges"},
    {"ProtectDrivenKeys", "ZEQImportProtectDrivenKeys", "kProtectDrivenKeys"},
    {"ExportShowUI", "ZEQExportShowUI", "kExportShowUI"},
    {"ExportHardEdges", "ZEQExportHardEdges", "kExportHardEdges"},
};
INSTANTIATE_TEST_SUITE_P(Commands, OptionCommand, ::testing::ValuesIn(kOptions), CaseName());

// ZEQSetUserParams sets both show-UI options and saves at once; a misuse changes nothing.
TEST_F(OptionCommandTest, SetUserParamsSavesAtOnce) {
    EXPECT_EQ(run("ZEQSetUserParams 1"), "<failed>");
    EXPECT_TRUE(transcribed("// Error: Use syntax: ZEQSetUserParams <importShowUI 0|1> <exportShowUI 0|1>"));
    EXPECT_EQ(run("ZEQSetUserParams 0 x"), "<failed>");
    EXPECT_EQ(Settings(), "");
    EXPECT_EQ(run("ZEQSetUserParams 0 1"), "");
    std::string settings = Settings();
    EXPECT_NE(settings.find("kImportShowUI = 0"), std::string::npos) << settings;
    EXPECT_NE(settings.find("kExportShowUI = 1"), std::string::npos);
}

// Settings that cannot be saved (something else holds the settings file's name) are said, and the
// command fails; a log the plug-in may not write is said once, not at every command.
TEST_F(OptionCommandTest, WhatCannotBeKeptIsSaid) {
    const std::string settings = mDirectory + "zeqplugins6.0registry.txt", log = mDirectory + "zeqtulolog.txt";
    const std::function<void()> occupy[] = {
        [&] { std::filesystem::create_directories(settings); },
        [&] { ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0); },
        [&] { std::filesystem::create_directory_symlink(mDirectory, settings); },
    };
    for (const auto& make : occupy) {
        std::filesystem::remove_all(settings);
        make();
        standin::clearTranscript();
        EXPECT_EQ(run("ZEQSetUserParams 0 1"), "<failed>");
        EXPECT_TRUE(transcribed("// Error: Zeq: the settings are not saved: ") && transcribed(settings));
    }
    std::filesystem::remove_all(settings);
    // It holds what was said of the settings: now a folder in its place.
    std::filesystem::remove(log);
    std::filesystem::create_directories(log);
    ASSERT_TRUE(standin::buildScene("cube"));
    standin::clearTranscript();
    ASSERT_NE(run("ZEQExportShowUI 0"), "<failed>");
    // A failed export logs its reason.
    for (int i = 0; i < 2; ++i) EXPECT_EQ(run("ZEQExport -f \"" + mDirectory + "missing/cube.zeq\""), "<failed>");
    int warnings = 0;
    for (const std::string& line : standin::transcript())
        warnings += line.find("// Warning: Zeq: the log is not written: \"" + log + "\" is not replaced: it is a "
                              "directory, not a regular file") != std::string::npos;
    EXPECT_EQ(1, warnings);
}

}  // namespace
