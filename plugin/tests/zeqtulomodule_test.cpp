// The module in the stand-in: start-up registrations and directories, shut-down, the settings
// file the unload leaves, and the host program's run of a command.
#include "zeqtulo_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

// What the host says it loaded: the library file at path, under its names.
ZeqTuloLoadedFrom LoadedFrom(const std::string& folder, const std::string& path,
                             std::vector<std::string> names = {"libzeqtulo.so"}) {
    ZeqTuloLoadedFrom loaded;
    loaded.mFolder = folder;
    loaded.mNames = std::move(names);
    struct stat st {};
    loaded.mKnown = ::stat(path.c_str(), &st) == 0;
    loaded.mDevice = st.st_dev;
    loaded.mInode = st.st_ino;
    return loaded;
}

// The plug-in directory: the folder the host loaded the library from, where TULO_PLUG_IN_PATH names
// it (its last slash or not) and one of the library's names there leads to the file loaded (device
// and inode; through a link too). A folder listed before it holding a file of that name, or a second
// name of the file, is not it; nor is the folder loaded from where TULO_PLUG_IN_PATH does not name
// it, where the file there is another, or where the file loaded is not known. Else the user's own
// folder ($XDG_CONFIG_HOME, else $HOME/.config, each only when absolute).
TEST_F(ModuleTest, PluginDirectoryIsTheFolderLoadedFrom) {
    const std::string loaded = mDirectory + "loaded/", other = mDirectory + "other/", second = mDirectory + "second/",
                      linked = mDirectory + "linked/", library = loaded + "libzeqtulo.so";
    for (const std::string& folder : {loaded, other, second, linked}) ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    std::ofstream(library) << "the library";
    std::ofstream(other + "libzeqtulo.so") << "another";
    ASSERT_EQ(0, ::link(library.c_str(), (second + "libzeqtulo.so").c_str()));
    ASSERT_EQ(0, ::symlink(library.c_str(), (linked + "libzeqtulo.so").c_str()));
    const ScopedEnvironment environment{{"XDG_CONFIG_HOME", nullptr}, {"HOME", "/home/u"}};
    const std::string users = "/home/u/.config/zeqtulo/";
    const auto directory = [](const ZeqTuloLoadedFrom& from, bool held = true) {
        zeqsdk_400::KHeldFolder folder;
        const std::string found = ZeqTuloPluginDirectory(from, folder).Buffer();
        if (folder.IsOpen() != held) return "held: " + std::to_string(folder.IsOpen()) + ", " + found;
        return !held || folder.GetPath() + "/" == found ? found : "held " + folder.GetPath() + ", " + found;
    };
    setenv("TULO_PLUG_IN_PATH",
           ("/nonexistent:" + other + ":" + second + ":" + loaded.substr(0, loaded.size() - 1) + ":" + mDirectory).c_str(),
           1);
    EXPECT_EQ(loaded, directory(LoadedFrom(loaded, library)));
    EXPECT_EQ(loaded, directory(LoadedFrom(loaded.substr(0, loaded.size() - 1), library)));
    EXPECT_EQ(loaded, directory(LoadedFrom(loaded, library, {"zeqtulo", "libzeqtulo.so"})));
    EXPECT_EQ(second, directory(LoadedFrom(second, library)));
    EXPECT_EQ(users, directory(LoadedFrom(other, library), false));
    EXPECT_EQ(users, directory(LoadedFrom(loaded, library, {"zeqtulo", "zeqtulo.so"}), false));
    ZeqTuloLoadedFrom unknown = LoadedFrom(loaded, library);
    unknown.mKnown = false;
    EXPECT_EQ(users, directory(unknown, false));
    setenv("TULO_PLUG_IN_PATH", (other + ":" + second + ":" + linked).c_str(), 1);
    EXPECT_EQ(users, directory(LoadedFrom(loaded, library), false));
    EXPECT_EQ(linked, directory(LoadedFrom(linked, library)));
    unsetenv("TULO_PLUG_IN_PATH");
    EXPECT_EQ(users, directory(LoadedFrom(loaded, library), false));
    // The user's own folder, not held here: start-up holds it.
    const ZeqTuloLoadedFrom elsewhere = LoadedFrom("/nonexistent", library);
    setenv("XDG_CONFIG_HOME", "/home/u/settings/", 1);
    EXPECT_EQ("/home/u/settings/zeqtulo/", directory(elsewhere, false));
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(users, directory(elsewhere, false));
    // A trailing slash is not doubled.
    unsetenv("XDG_CONFIG_HOME");
    for (const char* home : {"/", "//"}) {
        setenv("HOME", home, 1);
        EXPECT_EQ("/.config/zeqtulo/", directory(elsewhere, false)) << home;
    }
    setenv("HOME", "/home/u/", 1);
    EXPECT_EQ(users, directory(elsewhere, false));
    setenv("XDG_CONFIG_HOME", "/", 1);
    EXPECT_EQ("/zeqtulo/", directory(elsewhere, false));
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "", 1);
    EXPECT_EQ("", directory(elsewhere, false));
}

// How many lines the host's output holds with part in them.
int Said(const std::string& part) {
    int found = 0;
    for (const std::string& line : standin::transcript()) found += line.find(part) != std::string::npos;
    return found;
}

// The names in folder, sorted.
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The settings and the log go to the folder the host loaded the plug-in from. A folder
// TULO_PLUG_IN_PATH names before it, holding a file under the plug-in's name that the host passes
// over, gets neither: one others may write, one in a folder others may write that is not sticky, one
// with a second name in a sticky folder others may write; as root, another user's in their folder,
// and another user's link in a sticky folder of root's.
TEST_F(ModuleTest, TheSettingsAndTheLogGoWhereThePluginWasLoadedFrom) {
    Unload();
    struct Case {
        const char* mWhat;
        mode_t mFolderMode;
        mode_t mFileMode;
        bool mSecondName;   // the file has a second name in the folder
        bool mTheirs;       // the file (a link to the module where mFolderMode is sticky) is nobody's
        bool mTheirFolder;  // and so is the folder
    };
    const Case cases[] = {
        {"a file others may write", 0755, 0777, false, false, false},
        {"a folder others may write that is not sticky", 0777, 0755, false, false, false},
        {"a second name in a sticky folder others may write", 01777, 0755, true, false, false},
        // Last: the cases that need root.
        {"another user's file in their folder", 0755, 0755, false, true, true},
        {"another user's link in root's sticky folder", 01777, 0755, false, true, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        if (c.mTheirs && !zeqtest::IsRoot()) continue;
        SCOPED_TRACE(c.mWhat);
        const std::string refused = mDirectory + "refused" + std::to_string(index++), file = refused + "/libzeqtulo.so";
        ASSERT_EQ(0, mkdir(refused.c_str(), 0755));
        if (c.mTheirs && !c.mTheirFolder) {
            ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, ZEQTULO_MODULE, file));
        } else {
            std::ofstream(file) << "not the plug-in";
            ASSERT_EQ(0, ::chmod(file.c_str(), c.mFileMode));
            if (c.mSecondName) {
                ASSERT_EQ(0, ::link(file.c_str(), (refused + "/second").c_str()));
            }
            if (c.mTheirs) {
                ASSERT_EQ(0, ::chown(file.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
            }
        }
        ASSERT_TRUE(zeqtest::MakeFolderOf(c.mTheirFolder ? zeqtest::kUnprivileged : ::geteuid(), refused,
                                          c.mFolderMode));
        const std::vector<std::string> planted = NamesIn(refused);
        for (const char* name : {"zeqplugins6.0registry.txt", "zeqtulolog.txt"}) std::remove((mDirectory + name).c_str());
        setenv("TULO_PLUG_IN_PATH", (refused + ":" + mDirectory).c_str(), 1);
        standin::clearTranscript();
        std::string error;
        ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
        EXPECT_EQ(1, Said("// Warning: the plug-in file \"" + file + "\" is not loaded: "));
        EXPECT_EQ(run("ZEQSetUserParams 0 0"), "");
        EXPECT_EQ(run("standin_scene cube; ZEQExport -f \"" + mDirectory + "missing/cube.zeq\""), "<failed>");
        Unload();
        EXPECT_EQ(planted, NamesIn(refused));
        EXPECT_NE(Settings().find("kExportShowUI = 0"), std::string::npos) << Settings();
        EXPECT_NE(ZeqTuloReadFile(mDirectory + "zeqtulolog.txt").find("cube.zeq"), std::string::npos);
    }
}

// The user's own folder for the settings and the log is held from start-up on: a folder put under
// its name afterwards (exchanged with it, as a user who may write the folder above it may do; as
// root, a folder of another user's everybody may write) gets nothing. The command that saves, the
// log of a failed export and the unload all write in the folder start-up judged, under the name it
// has now.
TEST_F(ModuleTest, TheUsersFolderIsHeldFromStartUp) {
    Unload();
    const std::string config = mDirectory + "config", folder = config + "/zeqtulo", decoy = config + "/decoy";
    ASSERT_EQ(0, mkdir(config.c_str(), 0755));
    ASSERT_TRUE(zeqtest::MakeFolderOf(zeqtest::IsRoot() ? zeqtest::kUnprivileged : ::geteuid(), decoy, 0777));
    const ScopedEnvironment environment{{"TULO_PLUG_IN_PATH", nullptr}, {"XDG_CONFIG_HOME", config.c_str()}};
    std::string error;
    ASSERT_TRUE(standin::loadPlugin(ZEQTULO_MODULE, &error)) << error;
    ASSERT_EQ(0, ::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, decoy.c_str(), RENAME_EXCHANGE))
        << std::strerror(errno);
    EXPECT_EQ(run("ZEQSetUserParams 0 0"), "");
    EXPECT_EQ(run("standin_scene cube; ZEQExport -f \"" + mDirectory + "missing/cube.zeq\""), "<failed>");
    Unload();
    EXPECT_EQ(std::vector<std::string>{}, NamesIn(folder));
    EXPECT_EQ((std::vector<std::string>{"zeqplugins6.0registry.txt", "zeqtulolog.txt"}), NamesIn(decoy));
    EXPECT_NE(ZeqTuloReadFile(decoy + "/zeqplugins6.0registry.txt").find("kExportShowUI = 0"), std::string::npos);
    EXPECT_NE(ZeqTuloReadFile(decoy + "/zeqtulolog.txt").find("cube.zeq"), std::string::npos);
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
                const std::string refusal = owner == 0 ? zeqtest::RenamableLinkRefusal(link, zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup))
                                                       : zeqtest::OthersLinkRefusal(link);
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

// The plug-in's folders on TULO_PLUG_IN_PATH where another user may put a name that the host loads
// root's plug-in from: sticky, and root's (in a folder of theirs, or one not sticky, they might put
// something else under the plug-in's name, and the host loads nothing there).
constexpr zeqtest::FolderOthersMayWrite kStickyPluginFolders[] = {
    {"root's sticky folder everybody may write", 0, 01777, 0},
    {"root's sticky folder its group may write, the other user in the group", 0, 01775, zeqtest::kUnprivileged},
};

// In the plug-in's folder on TULO_PLUG_IN_PATH, where another user may put a name, their files
// under the names of the settings and the log (0666, theirs: the settings turn root's export dialog
// off), or second names of root's set-user-id program there (as they could make them where the
// system's rule for hard links is off: made here by root, whom the rule does not bind), are neither
// read nor written: start-up says once that the settings are neither read nor saved, and once that
// the log is not written, naming the file and why, and the unload says nothing more. Their files
// stay theirs, byte for byte, with their mode; the program keeps its bytes, its mode and its names.
TEST_F(ModuleAsAnotherUserTest, AnotherUsersSettingsAndLogAreNotUsed) {
    ZEQ_SKIP_UNLESS_ROOT("files of another user");
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    Unload();
    const std::string theirs = "[Tulo60]\nkExportShowUI = 0\nkExportEmbedTextures = 1\n";
    int index = 0;
    for (const zeqtest::FolderOthersMayWrite& place : kStickyPluginFolders) {
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
            ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
            // Their settings turn the export's dialog off: it is asked all the same.
            standin::dialogs().clear();
            standin::dialogs().push("Cancel", "ZEQ Export Options");
            run("standin_scene cube; ZEQExport -f \"" + mOwnFolder + "out.zeq\"");
            ASSERT_EQ(1u, standin::dialogs().records().size());
            EXPECT_EQ("ZEQ Export Options", standin::dialogs().records()[0].title);
            Unload();
            // In a sticky folder their file is kept to them before anything else is looked at.
            const std::string where = zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup);
            const std::string settingsWhy = linked ? "it has other hard links, in " + where + ","
                                                   : "it is another user's file (nobody), in " + where + ",";
            const std::string logWhy =
                linked ? settingsWhy : "it is another user's, in a sticky folder others may write, and is not written to";
            EXPECT_EQ(1, Said("// Warning: Zeq: the settings are neither read nor saved: Cannot read \"" + settings +
                              "\": " + settingsWhy + " and is not read: Permission denied"));
            EXPECT_EQ(1, Said("// Warning: Zeq: the log is not written: Cannot write \"" + log + "\": " + logWhy +
                              (linked ? " and is not written to" : "") + ": Permission denied"));
            EXPECT_EQ(linked ? 2 : 1, Said(settingsWhy));
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

// A folder loaded from that this user may not write is passed over.
TEST_F(ModuleTest, PluginDirectoryPassesOverOneThatCannotBeWritten) {
    ZEQ_SKIP_IF_ROOT("a folder its user may not write");
    std::string other = mDirectory + "other/";
    mkdir(other.c_str(), 0755);
    std::ofstream(other + "libzeqtulo.so") << "x";
    chmod(other.c_str(), 0555);
    setenv("TULO_PLUG_IN_PATH", (other + ":" + mDirectory).c_str(), 1);
    zeqsdk_400::KHeldFolder folder;
    EXPECT_STREQ(ZeqTuloPluginDirectory(LoadedFrom(other, other + "libzeqtulo.so"), folder).Buffer(),
                 ZeqTuloUserDirectory().Buffer());
    EXPECT_FALSE(folder.IsOpen());
    chmod(other.c_str(), 0755);
}

}  // namespace
