// The module in the stand-in: start-up registrations and directories, shut-down, the settings
// file the unload leaves, and the host program's run of a command.
#include "zeqtulo_test_support.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kplantedlinks.h"
#include "fileio/tests/test_users.h"
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

// The host program's option command where the settings file cannot be written (a folder under
// its name): the run succeeds, and the unload says why the settings are not saved.
TEST_F(ModuleTest, SettingsThatCannotBeSavedAtUnloadAreSaid) {
    Unload();
    const std::string settings = mDirectory + "zeqplugins6.0registry.txt";
    std::remove(settings.c_str());
    ASSERT_EQ(mkdir(settings.c_str(), 0755), 0);
    std::string output;
    EXPECT_EQ(RunStandin(mDirectory, "--strict -c \"ZEQImportHardEdges 1\"", output), 0) << output;
    EXPECT_NE(output.find("// Warning: Zeq: the settings are not saved: "), std::string::npos) << output;
    EXPECT_NE(output.find(settings), std::string::npos) << output;
    // Saved as before once the file can be written.
    ASSERT_EQ(rmdir(settings.c_str()), 0);
    EXPECT_EQ(RunStandin(mDirectory, "--strict -c \"ZEQImportHardEdges 1\"", output), 0) << output;
    EXPECT_EQ(output.find("not saved"), std::string::npos) << output;
    EXPECT_NE(Settings().find("kImportHardEdges = 1"), std::string::npos);
}

// The environment's variables named, set to values for the object's life.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [name, value] : values) {
            const char* former = std::getenv(name);
            mFormer.emplace_back(name, former ? std::optional<std::string>(former) : std::nullopt);
            value ? setenv(name, value, 1) : unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : mFormer) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> mFormer;
};

// Loaded by path with no fitting directory on TULO_PLUG_IN_PATH, where the user's own folder cannot
// be made (HOME names a file): the host's output says once that the settings cannot be kept, and
// where they were looked for.
TEST_F(ModuleTest, SettingsThatCannotBeKeptAreSaidOnce) {
    Unload();
    const std::string home = mDirectory + "home";
    std::ofstream(home) << "a file";
    const ScopedEnvironment environment{{"TULO_PLUG_IN_PATH", nullptr}, {"XDG_CONFIG_HOME", nullptr}, {"HOME", home.c_str()}};
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
                            " on TULO_PLUG_IN_PATH (not set), then in " + home + "/.config/zeqtulo/ (Not a directory)"));
    Unload();
    for (const std::string& line : standin::transcript())
        EXPECT_EQ(line.find("the settings are not saved"), std::string::npos) << line;
    // The first load's settings stay as they were: the second's went nowhere.
    EXPECT_NE(Settings().find("kExportShowUI = 1"), std::string::npos);
}

// Without a fitting directory on TULO_PLUG_IN_PATH, the settings go to the user's own folder, made
// on first use: the option command of a batch run is kept there.
TEST_F(ModuleTest, WithoutAPluginDirectoryTheUsersFolderKeepsTheSettings) {
    Unload();
    const std::string home = mDirectory + "home";
    const ScopedEnvironment environment{{"TULO_PLUG_IN_PATH", nullptr}, {"XDG_CONFIG_HOME", nullptr}, {"HOME", home.c_str()}};
    mkdir(home.c_str(), 0700);
    std::string error;
    ASSERT_TRUE(standin::loadPlugin(ZEQTULO_MODULE, &error)) << error;
    EXPECT_EQ(run("ZEQSetUserParams 0 0"), "");
    Unload();
    const std::string kept = ZeqTuloReadFile(home + "/.config/zeqtulo/zeqplugins6.0registry.txt");
    EXPECT_NE(kept.find("kExportShowUI = 0"), std::string::npos) << kept;
}

// The plug-in directory: the first entry that is writable and holds the library, else the user's
// own folder ($XDG_CONFIG_HOME, else $HOME/.config, each only when absolute).
TEST_F(ModuleTest, PluginDirectoryIsTheFirstFitting) {
    std::string empty = mDirectory + "empty/", other = mDirectory + "other/";
    mkdir(empty.c_str(), 0755);
    mkdir(other.c_str(), 0755);
    std::ofstream(other + "libzeqtulo.so") << "x";
    const ScopedEnvironment environment{{"XDG_CONFIG_HOME", nullptr}, {"HOME", "/home/u"}};
    setenv("TULO_PLUG_IN_PATH", ("/nonexistent:" + empty + ":" + other.substr(0, other.size() - 1) + ":" + mDirectory).c_str(), 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), other.c_str());
    setenv("TULO_PLUG_IN_PATH", (empty + ":").c_str(), 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/home/u/.config/zeqtulo/");
    unsetenv("TULO_PLUG_IN_PATH");
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/home/u/.config/zeqtulo/");
    setenv("XDG_CONFIG_HOME", "/home/u/settings/", 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/home/u/settings/zeqtulo/");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/home/u/.config/zeqtulo/");
    // A trailing slash is not doubled.
    unsetenv("XDG_CONFIG_HOME");
    for (const char* home : {"/", "//"}) {
        setenv("HOME", home, 1);
        EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/.config/zeqtulo/") << home;
    }
    setenv("HOME", "/home/u/", 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/home/u/.config/zeqtulo/");
    setenv("XDG_CONFIG_HOME", "/", 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "/zeqtulo/");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "", 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), "");
}

// Tests that load the module as another user too, in a folder that user reaches.
class ModuleAsAnotherUserTest : public ZeqTuloModuleTest {
protected:
    ModuleAsAnotherUserTest() { mForOtherUsers = true; }
};

// Where the user's own folder cannot be made (a HOME that user may not write in, the root folder),
// the warning gives the reason the folder was not made, and its path as it is.
TEST_F(ModuleAsAnotherUserTest, ASettingsFolderThatCannotBeMadeSaysWhy) {
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    Unload();
    const std::string home = mDirectory + "home";
    ASSERT_EQ(mkdir(home.c_str(), 0555), 0);
    ASSERT_EQ(chmod(home.c_str(), 0555), 0);  // whatever the umask
    std::filesystem::permissions(mDirectory, std::filesystem::perms::all);
    const std::string library = ZEQTULO_MODULE;
    const ScopedEnvironment environment{{"TULO_PLUG_IN_PATH", nullptr}, {"XDG_CONFIG_HOME", nullptr}};
    // Run by a user other than root (root may write anywhere): the root folder is safe to name.
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(mDirectory, [&]() -> std::string {
        for (const std::string& folder : {home, std::string("/")}) {
            setenv("HOME", folder.c_str(), 1);
            standin::clearTranscript();
            std::string error;
            if (!standin::loadPlugin(Module(), &error)) return "not loaded: " + error;
            const std::string said = "// Warning: Zeq: the settings and the log cannot be kept: they were looked for in a "
                                     "writable directory that holds " + library.substr(library.rfind('/') + 1) +
                                     " on TULO_PLUG_IN_PATH (not set), then in " +
                                     (folder == "/" ? std::string() : folder) + "/.config/zeqtulo/ (Permission denied)";
            if (!transcribed(said)) {
                std::string lines;
                for (const std::string& line : standin::transcript()) lines += line + "\n";
                return "HOME=" + folder + ", not said: " + said + "\nbut:\n" + lines;
            }
            if (!standin::unloadPlugin("zeqtulo", &error)) return "not unloaded: " + error;
            for (const std::string& line : standin::transcript())
                if (line.find("the settings are not saved") != std::string::npos)
                    return "HOME=" + folder + ", said again at the unload: " + line;
        }
        return "";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mDirectory);
    EXPECT_EQ("", *answer);
}

// The user's own folder for the settings and the log is one nobody named. Another user's link on
// the way to it (HOME) or in its place (under XDG_CONFIG_HOME), where another user may write (root's
// folder everybody may write, root's folder their group may write, their own folder), naming root's
// folder (0700), is not followed: nothing is made or written in root's folder, and each refusal is
// said once, naming the link and its owner (the command that saves says the settings', the unload
// not again). Nor is root's own link there, which they may have renamed onto the name (the folder
// is not sticky).
TEST_F(ModuleAsAnotherUserTest, TheUsersFolderFollowsNoLinkOfAnotherUser) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    Unload();
    const auto count = [](const std::string& part) {
        int found = 0;
        for (const std::string& line : standin::transcript()) found += line.find(part) != std::string::npos;
        return found;
    };
    int index = 0;
    for (const zeqtest::FolderOthersMayWrite& place : zeqtest::kFoldersOthersMayWrite) {
        for (const bool inItsPlace : {false, true}) {
            for (const uid_t owner : {zeqtest::kUnprivileged, uid_t(0)}) {
                SCOPED_TRACE(std::string(place.mName) + (inItsPlace ? ", in its place" : ", on the way") +
                             (owner == 0 ? ", root's own link" : ", their link"));
                const std::string base = mOwnFolder + "users" + std::to_string(index++) + "/";
                const zeqtest::RootsSecret secret(base);
                const std::filesystem::path roots = std::filesystem::path(secret.Path()).parent_path();
                const std::string folder = base + "shared", link = folder + (inItsPlace ? "/zeqtulo" : "/home");
                ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, folder, place.mMode, place.mGroup));
                ASSERT_TRUE(zeqtest::MakeLinkOf(owner, roots.string(), link));
                const ScopedEnvironment environment{{"TULO_PLUG_IN_PATH", nullptr},
                                                    {"XDG_CONFIG_HOME", inItsPlace ? folder.c_str() : nullptr},
                                                    {"HOME", inItsPlace ? nullptr : link.c_str()}};
                standin::clearTranscript();
                std::string error;
                ASSERT_TRUE(standin::loadPlugin(Module(), &error)) << error;
                run(inItsPlace ? "ZEQSetUserParams 0 0" : "ZEQExportShowUI 0");
                Unload();
                const std::string settings =
                    (inItsPlace ? roots : roots / ".config/zeqtulo") / "zeqplugins6.0registry.txt";
                EXPECT_EQ("", ZeqTuloReadFile(settings));
                const std::string refusal =
                    owner == 0 ? zeqtest::RenamableLinkRefusal(link) : zeqtest::OthersLinkRefusal(link);
                if (inItsPlace) {
                    EXPECT_EQ(1, count("Zeq: the settings are not saved: Cannot write \"" + link +
                                       "/zeqplugins6.0registry.txt\": " + refusal));
                    EXPECT_EQ(1, count("Zeq: the log is not written: Cannot write \"" + link + "/zeqtulolog.txt\": " +
                                       refusal));
                    EXPECT_EQ(2, count(refusal));
                } else {
                    EXPECT_EQ(1, count("cannot be kept: "));
                    EXPECT_EQ(1, count("then in " + link + "/.config/zeqtulo/ (" + refusal + ")"));
                    EXPECT_EQ(1, count(refusal));
                }
                EXPECT_EQ(std::vector<std::string>{secret.Path()}, zeqtest::ListedBelow(roots));
                EXPECT_TRUE(secret.Intact());
            }
        }
    }
}

// With no folder to keep them in (no absolute HOME or XDG_CONFIG_HOME), start-up says so once, with
// that reason: no log is written in the folder the host runs in, and the unload says nothing again.
TEST_F(ModuleTest, WithNoFolderNoLogIsWrittenAnywhere) {
    Unload();
    const std::string here = mDirectory + "here/";
    mkdir(here.c_str(), 0755);
    for (const char* home : {"", "HOME=relative "}) {
        std::string out = mDirectory + "standin.out";
        const std::string cmd = "cd '" + here + "' && env -u TULO_PLUG_IN_PATH -u XDG_CONFIG_HOME -u HOME " + home + "'" +
                                TULO_STANDIN + "' --plugin '" + ZEQTULO_MODULE +
                                "' -c 'ZEQExportShowUI 0; standin_scene cube; ZEQExport -f \"" + mDirectory +
                                "missing/cube.zeq\"' > '" + out + "' 2>&1";
        std::system(cmd.c_str());
        const std::string output = ZeqTuloReadFile(out);
        SCOPED_TRACE(home);
        EXPECT_NE(output.find("File Export Failed"), std::string::npos) << output;
        EXPECT_NE(output.find("then in the user's folder (neither XDG_CONFIG_HOME nor HOME is an absolute path)\n"),
                  std::string::npos)
            << output;
        for (const char* unsaid : {"the log is not written", "the settings are not saved"})
            EXPECT_EQ(output.find(unsaid), std::string::npos) << output;
        EXPECT_TRUE(std::filesystem::is_empty(here));
    }
}

// An entry this user may not write is passed over.
TEST_F(ModuleTest, PluginDirectoryPassesOverOneThatCannotBeWritten) {
    ZEQ_SKIP_IF_ROOT("a folder its user may not write");
    std::string other = mDirectory + "other/";
    mkdir(other.c_str(), 0755);
    std::ofstream(other + "libzeqtulo.so") << "x";
    chmod(other.c_str(), 0555);
    setenv("TULO_PLUG_IN_PATH", (other + ":" + mDirectory).c_str(), 1);
    EXPECT_STREQ(ZeqTuloPluginDirectory("libzeqtulo.so").Buffer(), mDirectory.c_str());
    chmod(other.c_str(), 0755);
}

}  // namespace
