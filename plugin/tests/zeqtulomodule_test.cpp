// The module in the stand-in: start-up registrations and directories, shut-down, the settings
// file the unload leaves, and the host program's run of a command.
#include "zeqtulo_test_support.h"

#include <sys/stat.h>

#include "plugin/zeqtuloplugin.h"

namespace {

using ModuleTest = ZeqTuloModuleTest;

int CountKeys(const std::string& settings) {
    std::istringstream in(settings);
    int keys = 0;
    for (std::string line; std::getline(in, line);) keys += line.find(" = ") != std::string::npos;
    return keys;
}

TEST_F(ModuleTest, StartUpRegistersTranslatorAndCommandsShutDownRemovesThem) {
    EXPECT_TRUE(standin::hasTranslator("Zeq"));
    for (const char* command : {"ZEQImportShowUI", "ZEQImportConvertDeformingNullsToJoint", "ZEQImportHardEdges",
                                "ZEQImportProtectDrivenKeys", "ZEQExportShowUI", "ZEQExportHardEdges",
                                "ZEQSetUserParams"})
        EXPECT_TRUE(standin::hasCommand(command)) << command;
    EXPECT_EQ(Settings(), "");  // nothing saved before the unload
    Unload();
    EXPECT_FALSE(standin::hasTranslator("Zeq"));
    EXPECT_FALSE(standin::hasCommand("ZEQExportShowUI"));
    // The unload saved the 52 options in the plug-in's directory.
    std::string settings = Settings();
    EXPECT_EQ(settings.rfind("[Tulo60]", 0), 0u) << settings;
    EXPECT_EQ(CountKeys(settings), 52);
    EXPECT_NE(settings.find("kImportShowUI = 1"), std::string::npos);
    EXPECT_NE(settings.find("kImportLoadMode = kCreate"), std::string::npos);
}

TEST_F(ModuleTest, SettingsSurviveAReload) {
    EXPECT_EQ(run("ZEQExportShowUI 0; ZEQImportHardEdges 1"), "");
    Unload();
    std::string error;
    ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
    Unload();
    std::string settings = Settings();
    EXPECT_NE(settings.find("kExportShowUI = 0"), std::string::npos) << settings;
    EXPECT_NE(settings.find("kImportHardEdges = 1"), std::string::npos);
}

// The done-condition run: exit 0 under --strict, 52 keys left behind.
TEST_F(ModuleTest, HostProgramRunsAnOptionCommand) {
    Unload();
    std::remove((mDirectory + "zeqplugins6.0registry.txt").c_str());
    std::string output;
    EXPECT_EQ(RunStandin(mDirectory, "--strict -c \"ZEQExportShowUI 0\"", output), 0) << output;
    EXPECT_EQ(CountKeys(Settings()), 52);
    EXPECT_NE(Settings().find("kExportShowUI = 0"), std::string::npos);
    EXPECT_EQ(RunStandin(mDirectory, "--strict -c \"ZEQExportShowUI maybe\"", output), 1);
    EXPECT_NE(output.find("// Error: ZEQExportShowUI: needs one argument, 0 or 1\n// Error: Use syntax: ZEQExportShowUI 0|1"),
              std::string::npos)
        << output;
}

// Loaded by path with no fitting directory on TULO_PLUG_IN_PATH, where /usr/tmp/ cannot be written
// (it does not exist on every system): the host's output says once that the settings cannot be
// kept, and where they were looked for.
TEST_F(ModuleTest, SettingsThatCannotBeKeptAreSaidOnce) {
    if (access("/usr/tmp/", W_OK) == 0) GTEST_SKIP() << "/usr/tmp/ can be written here";
    Unload();
    unsetenv("TULO_PLUG_IN_PATH");
    standin::clearTranscript();
    std::string error;
    ASSERT_TRUE(standin::loadPlugin(ZEQTULO_MODULE, &error)) << error;
    EXPECT_EQ(run("ZEQExportShowUI 0"), "");
    int warnings = 0;
    for (const std::string& line : standin::transcript())
        warnings += line.find("cannot be kept") != std::string::npos;
    EXPECT_EQ(warnings, 1);
    const std::string library = ZEQTULO_MODULE;
    EXPECT_TRUE(transcribed("// Warning: Zeq: the settings and the log cannot be kept: they were looked for in a "
                            "writable directory that holds " + library.substr(library.rfind('/') + 1) +
                            " on TULO_PLUG_IN_PATH (not set), then in /usr/tmp/ ("));
    Unload();
    // The first load's settings stay as they were: the second's went nowhere.
    EXPECT_NE(Settings().find("kExportShowUI = 1"), std::string::npos);
}

// The plug-in directory: the first entry that is writable and holds the library, else /usr/tmp/.
TEST_F(ModuleTest, PluginDirectoryIsTheFirstFitting) {
    std::string empty = mDirectory + "empty/", other = mDirectory + "other/";
    mkdir(empty.c_str(), 0755);
    mkdir(other.c_str(), 0755);
    std::ofstream(other + "libzeqtulo.so") << "x";
    setenv("TULO_PLUG_IN_PATH", ("/nonexistent:" + empty + ":" + other.substr(0, other.size() - 1) + ":" + mDirectory).c_str(), 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), other.c_str());
    setenv("TULO_PLUG_IN_PATH", (empty + ":").c_str(), 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/usr/tmp/");
    unsetenv("TULO_PLUG_IN_PATH");
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/usr/tmp/");
    if (geteuid() != 0) {  // root writes everywhere
        chmod(other.c_str(), 0555);
        setenv("TULO_PLUG_IN_PATH", (other + ":" + mDirectory).c_str(), 1);
        EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), mDirectory.c_str());
        chmod(other.c_str(), 0755);
    }
}

}  // namespace
