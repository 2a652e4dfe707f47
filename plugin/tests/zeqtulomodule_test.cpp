// The module in the stand-in: start-up registrations and directories, shut-down, the settings
// file the unload leaves, and the host program's run of a command.
#include "zeqtulo_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

// How many lines the host's output holds with part in them.
int Said(const std::string& part) {
    int found = 0;
    for (const std::string& line : standin::transcript()) found += line.find(part) != std::string::npos;
    return found;
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
// folder (0700), is not followed: nothing is made or written in root's folder, and start-up says
// once that the settings and the log cannot be kept, naming the link and its owner (neither the
// command that saves nor the unload says it again). Nor is root's own link there, which they may
// have renamed onto the name (the folder is not sticky).
TEST_F(ModuleAsAnotherUserTest, TheUsersFolderFollowsNoLinkOfAnotherUser) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    Unload();
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
                EXPECT_EQ(1, Said("cannot be kept: "));
                EXPECT_EQ(1, Said("then in " + link + (inItsPlace ? "/" : "/.config/zeqtulo/") + " (" + refusal + ")"));
                EXPECT_EQ(1, Said(refusal));
                EXPECT_EQ(std::vector<std::string>{secret.Path()}, zeqtest::ListedBelow(roots));
                EXPECT_TRUE(secret.Intact());
            }
        }
    }
}

// The user's own folder "zeqtulo/" that another user made first, in a folder of root's where others
// may write (0777, and sticky 01777), is not used: start-up says once that the settings and the log
// cannot be kept, as a read says of a media folder another user made, and nothing of root's is
// written in it (the command that saves and the unload say nothing more). Root's own folder there,
// or one it makes, keeps them.
TEST_F(ModuleAsAnotherUserTest, ASettingsFolderAnotherUserMadeIsNotUsed) {
    ZEQ_SKIP_UNLESS_ROOT("a folder of another user");
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    Unload();
    int index = 0;
    for (const mode_t mode : {0777, 01777}) {
        for (const bool theirs : {true, false}) {
            SCOPED_TRACE(std::string(mode == 0777 ? "0777" : "01777") + (theirs ? ", theirs" : ", none yet"));
            const std::string config = mOwnFolder + "config" + std::to_string(index++), folder = config + "/zeqtulo";
            ASSERT_TRUE(zeqtest::MakeFolderOf(0, config, mode, 0));
            if (theirs) {
                ASSERT_TRUE(zeqtest::MakeFolderOf(zeqtest::kUnprivileged, folder, 0777));
            }
            const ScopedEnvironment environment{{"TULO_PLUG_IN_PATH", nullptr}, {"XDG_CONFIG_HOME", config.c_str()}};
            standin::clearTranscript();
            std::string error;
            ASSERT_TRUE(standin::loadPlugin(Module(), &error)) << error;
            run("ZEQSetUserParams 0 0");
            Unload();
            const std::string settings = ZeqTuloReadFile(folder + "/zeqplugins6.0registry.txt");
            if (!theirs) {
                EXPECT_NE(settings.find("kExportShowUI = 0"), std::string::npos) << settings;
                EXPECT_EQ(0, Said("cannot be kept"));
                continue;
            }
            EXPECT_TRUE(std::filesystem::is_empty(folder)) << "root's files were written in their folder";
            EXPECT_EQ(1, Said("cannot be kept: "));
            EXPECT_EQ(1, Said("then in " + folder + "/ (the folder \"" + folder +
                              "\" belongs to another user and is not entered: Permission denied)"));
            EXPECT_EQ(1, Said("belongs to another user"));
        }
    }
}

// In the plug-in's folder on TULO_PLUG_IN_PATH, where another user may put a name (root's folder
// everybody may write, root's folder their group may write, their own folder), their files under the
// names of the settings and the log (0666, theirs: the settings turn root's export dialog off), or
// second names of root's set-user-id program there (as they could make them where the system's rule
// for hard links is off: made here by root, whom the rule does not bind), are neither read nor
// written: start-up says once that the settings are neither read nor saved, and once that the log is
// not written, naming the file and why, and the unload says nothing more. Their files stay theirs,
// byte for byte, with their mode; the program keeps its bytes, its mode and its names.
TEST_F(ModuleAsAnotherUserTest, AnotherUsersSettingsAndLogAreNotUsed) {
    ZEQ_SKIP_UNLESS_ROOT("files of another user");
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    Unload();
    const std::string theirs = "[Tulo60]\nkExportShowUI = 0\nkExportEmbedTextures = 1\n";
    int index = 0;
    for (const zeqtest::FolderOthersMayWrite& place : zeqtest::kFoldersOthersMayWrite) {
        for (const bool linked : {false, true}) {
            SCOPED_TRACE(std::string(place.mName) + (linked ? ", root's program linked" : ", their files"));
            const std::string base = mOwnFolder + "plugins" + std::to_string(index++) + "/";
            const zeqtest::RootsSecret secret(base);
            const std::string program = secret.Unmade("program"), folder = base + "shared/";
            zeqtest::WriteFile(program, "#!/bin/sh\nexit 0\n");
            ASSERT_EQ(0, ::chmod(program.c_str(), 04755));
            ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, folder, 0755, place.mGroup));
            ASSERT_EQ(0, ::symlink(Module().c_str(), (folder + "libzeqtulo.so").c_str()));
            const std::string settings = folder + "zeqplugins6.0registry.txt", log = folder + "zeqtulolog.txt";
            for (const std::string& file : {settings, log}) {
                if (linked) {
                    ASSERT_EQ(0, ::link(program.c_str(), file.c_str())) << std::strerror(errno);
                    continue;
                }
                zeqtest::WriteFile(file, theirs);
                ASSERT_EQ(0, ::chown(file.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
                ASSERT_EQ(0, ::chmod(file.c_str(), 0666));
            }
            ASSERT_EQ(0, ::chmod(folder.c_str(), place.mMode));
            const ScopedEnvironment environment{{"TULO_PLUG_IN_PATH", folder.c_str()}};
            standin::clearTranscript();
            std::string error;
            ASSERT_TRUE(standin::loadPlugin(Module(), &error)) << error;
            // Their settings turn the export's dialog off: it is asked all the same.
            standin::dialogs().clear();
            standin::dialogs().push("Cancel", "ZEQ Export Options");
            run("standin_scene cube; ZEQExport -f \"" + mOwnFolder + "out.zeq\"");
            ASSERT_EQ(1u, standin::dialogs().records().size());
            EXPECT_EQ("ZEQ Export Options", standin::dialogs().records()[0].title);
            Unload();
            const std::string why = linked ? "it has other hard links, in a folder others may write,"
                                           : "it is another user's file (nobody), in a folder others may write,";
            EXPECT_EQ(1, Said("// Warning: Zeq: the settings are neither read nor saved: Cannot read \"" + settings +
                              "\": " + why + " and is not read: Permission denied"));
            EXPECT_EQ(1, Said("// Warning: Zeq: the log is not written: Cannot write \"" + log + "\": " + why +
                              " and is not written to: Permission denied"));
            EXPECT_EQ(2, Said(why));
            struct stat programs {};
            ASSERT_EQ(0, ::stat(program.c_str(), &programs));
            for (const std::string& file : {settings, log}) {
                struct stat st {};
                ASSERT_EQ(0, ::lstat(file.c_str(), &st)) << file;
                EXPECT_EQ(linked ? "#!/bin/sh\nexit 0\n" : theirs, ZeqTuloReadFile(file)) << file;
                EXPECT_EQ(linked ? 0u : zeqtest::kUnprivileged, st.st_uid) << file;
                EXPECT_EQ(linked ? 04755u : 0666u, st.st_mode & 07777) << file;
                if (linked) {
                    EXPECT_EQ(programs.st_ino, st.st_ino) << file << " no longer names the program";
                }
            }
            EXPECT_EQ(linked ? 3u : 1u, programs.st_nlink);
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
