// ZEQExport as root in a folder another user may write: their link under the log's or the
// settings' name in the plug-in's folder, sticky or not, is not followed,
// their data folder beside the file written stays (and the log says so), and a name of theirs
// exchanged with the temporary just before its rename fails the export with the reason.
#include "zeqtuloexport_test_support.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fileio/kfilereplacement.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kplantedlinks.h"

namespace {

namespace fs = std::filesystem;

class CommandExportLinksTest : public ZeqTuloModuleTest {
protected:
    CommandExportLinksTest() { mForOtherUsers = true; }
    void SetUp() override {
        ZeqTuloModuleTest::SetUp();
        ZEQ_SKIP_UNLESS_ROOT("root's files and another user");
        ASSERT_NE(run("ZEQExportShowUI 0"), "<failed>");
        ASSERT_TRUE(standin::buildScene("cube"));
    }
    bool IsLink(const std::string& path) const { return fs::is_symlink(fs::symlink_status(path)); }
};

// The plug-in's folder is sticky and its group or others may write it (01777 as /tmp, 01770, and
// 01730 where members make names they cannot list); a member of its group plants links under the
// log's name and the scene's (to root's files) and the settings' (to root's settings, then
// dangling into root's folder). Whatever fs.protected_symlinks says, none is followed: the settings
// are neither read nor rewritten through theirs (the unload says why, naming the link), the log is
// not appended to, the export to their link fails, and what the links name stays as it was.
TEST_F(CommandExportLinksTest, TheLogAndTheSettingsFollowNoLinkOfAnotherUser) {
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    const zeqtest::ExchangingUser member;
    if (!member.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    const zeqtest::RootsSecret secret(mDirectory + "root");
    const std::string rootsSettings = "[Tulo60]\nkImportHardEdges = 1\n", rootsScene = "root's scene";
    zeqtest::WriteFile(secret.Unmade("settings.txt"), rootsSettings);
    zeqtest::WriteFile(secret.Unmade("scene.zeq"), rootsScene);
    const std::string log = mDirectory + "zeqtulolog.txt", settings = mDirectory + "zeqplugins6.0registry.txt",
                      scene = mDirectory + "theirs.zeq";
    for (const mode_t mode : {01777, 01770, 01730}) {
        for (const std::string& settingsNamed : {secret.Unmade("settings.txt"), secret.Unmade("settings")}) {
            SCOPED_TRACE((mode == 01777 ? "/tmp's mode, " : mode == 01770 ? "01770, " : "01730, ") + settingsNamed);
            Unload();
            ASSERT_TRUE(zeqtest::MakeFolderOf(0, mDirectory, mode, zeqtest::kUnprivileged));
            for (const std::string& link : {log, settings, scene, mDirectory + "zeqtulo", mDirectory + "zeqtulo.so"})
                fs::remove(link);
            ASSERT_EQ(0, member.PlantLink(secret.Path(), log));
            ASSERT_EQ(0, member.PlantLink(settingsNamed, settings));
            ASSERT_EQ(0, member.PlantLink(secret.Unmade("scene.zeq"), scene));
            // What they put under the plug-in's names there is not what is loaded.
            ASSERT_EQ(0, member.PlantLink("/nowhere", mDirectory + "zeqtulo"));
            ASSERT_EQ(0, member.PlantLink(secret.Path(), mDirectory + "zeqtulo.so"));
            LoadRootsModule();
            standin::clearTranscript();
            run("ZEQExportShowUI 0");
            // A failed write logs its reason.
            EXPECT_EQ(run("ZEQExport -f \"" + mDirectory + "missing/cube.zeq\""), "<failed>");
            EXPECT_EQ(run("ZEQExport -f \"" + scene + "\""), "<failed>");
            EXPECT_TRUE(transcribed("ZEQExport: File Export Failed: " + scene + " (Permission denied)"));
            EXPECT_NE(run("ZEQExport -f \"" + mDirectory + "cube.zeq\""), "<failed>");
            Unload();
            EXPECT_TRUE(transcribed("Zeq: the settings are not saved: Cannot write \"" + settings +
                                    "\": the symbolic link \"" + settings + "\" is another user's"));
            EXPECT_TRUE(secret.Intact());
            EXPECT_EQ(rootsSettings, ZeqTuloReadFile(secret.Unmade("settings.txt")));
            EXPECT_EQ(rootsScene, ZeqTuloReadFile(secret.Unmade("scene.zeq")));
            EXPECT_FALSE(fs::exists(fs::symlink_status(secret.Unmade("settings"))));
            EXPECT_TRUE(IsLink(log) && IsLink(settings) && IsLink(scene));
            EXPECT_NE(ZeqTuloReadFile(mDirectory + "cube.zeq"), "");
            LoadRootsModule();
        }
    }
}

// The host program run as a user runs it (in a process of its own), on root's module loaded by path
// with configHome as XDG_CONFIG_HOME (its "zeqtulo" the plug-in's folder) and no TULO_PLUG_IN_PATH:
// what it printed.
std::string RunHost(const std::string& scratch, const std::string& module, const std::string& configHome,
                    const std::string& commands) {
    const std::string out = scratch + "standin.out";
    const std::string command = "env -u TULO_PLUG_IN_PATH XDG_CONFIG_HOME='" + configHome + "' '" + TULO_STANDIN +
                                "' --plugin '" + module + "' " + commands + " > '" + out + "' 2>&1";
    (void)std::system(command.c_str());
    return ZeqTuloReadFile(out);
}

// The plug-in's folder, the user's own ($XDG_CONFIG_HOME/zeqtulo, root's), is not sticky, and another
// user may write it: root's folder everybody may write (0777), or root's folder its group may write
// with that user in the group (0775). (A folder of theirs is not entered at all; nor does the host
// load the plug-in from such a folder on TULO_PLUG_IN_PATH.) Their links under the log's and the
// settings' names (to root's own files, 0600 in a folder of root's alone) are not followed: an export
// that fails (and so logs) and the unload leave root's files byte for byte as they were, and the host
// says each refusal once, naming the link and its owner. Where only the settings' name is their link,
// the log, which can still be written, says it too. Nor are root's own links there, which they may
// have renamed onto the names: said as such.
TEST_F(CommandExportLinksTest, TheLogAndTheSettingsFollowNoLinkOfAnotherUserWhereTheFolderIsNotSticky) {
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    enum class Links { kTheirs, kTheirSettingsOnly, kRoots };
    const std::string rootsLog = "root's log\n", rootsSettings = "[Tulo60]\nkImportHardEdges = 1\n";
    const std::string logName = "zeqtulolog.txt", settingsName = "zeqplugins6.0registry.txt";
    int index = 0;
    for (const zeqtest::FolderOthersMayWrite& place : zeqtest::kFoldersOthersMayWrite) {
        if (place.mOwner != 0) continue;
        for (const Links links : {Links::kTheirs, Links::kTheirSettingsOnly, Links::kRoots}) {
            SCOPED_TRACE(std::string(place.mName) + (links == Links::kTheirs              ? ", their links"
                                                     : links == Links::kTheirSettingsOnly ? ", their settings link alone"
                                                                                          : ", root's own links"));
            const std::string base = mOwnFolder + "case" + std::to_string(index++) + "/";
            const zeqtest::RootsSecret secret(base);
            const std::string log = secret.Unmade(logName), settings = secret.Unmade(settingsName);
            zeqtest::WriteFile(log, rootsLog);
            zeqtest::WriteFile(settings, rootsSettings);
            for (const std::string& file : {log, settings}) ASSERT_EQ(0, ::chmod(file.c_str(), 0600));
            const std::string config = base + "config", folder = config + "/zeqtulo";
            ASSERT_TRUE(zeqtest::MakeFolderOf(0, config, 0755));
            ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, folder, place.mMode, place.mGroup));
            const uid_t owner = links == Links::kRoots ? 0 : zeqtest::kUnprivileged;
            const std::string plugIns = folder + "/", logLink = plugIns + logName, settingsLink = plugIns + settingsName;
            if (links != Links::kTheirSettingsOnly) {
                ASSERT_TRUE(zeqtest::MakeLinkOf(owner, log, logLink));
            }
            ASSERT_TRUE(zeqtest::MakeLinkOf(owner, settings, settingsLink));

            const std::string said =
                RunHost(base, Module(), config,
                        "-c 'ZEQExportShowUI 0' -c 'standin_scene cube' -c 'ZEQExport -f \"" + folder +
                            "/missing/cube.zeq\"'");
            const auto refusal = [&](const std::string& link) {
                return links == Links::kRoots ? zeqtest::RenamableLinkRefusal(link, zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup))
                                              : zeqtest::OthersLinkRefusal(link);
            };
            const std::string logRefused =
                "Zeq: the log is not written: Cannot write \"" + plugIns + logName + "\": " + refusal(logLink);
            const std::string settingsRefused = "Zeq: the settings are not saved: Cannot write \"" + plugIns +
                                                settingsName + "\": " + refusal(settingsLink);
            EXPECT_NE(std::string::npos, said.find("ZEQExport")) << said;
            EXPECT_EQ(std::string::npos, said.find("is not loaded")) << said;
            EXPECT_EQ(std::string::npos, said.find("cannot be kept")) << said;
            EXPECT_EQ(links != Links::kTheirSettingsOnly ? 1u : 0u, zeqtest::Occurrences(said, logRefused)) << said;
            EXPECT_EQ(1u, zeqtest::Occurrences(said, settingsRefused)) << said;
            EXPECT_EQ(rootsLog, ZeqTuloReadFile(log));
            EXPECT_EQ(rootsSettings, ZeqTuloReadFile(settings));
            std::size_t inRootsFolder = 0;
            for ([[maybe_unused]] const auto& entry : fs::directory_iterator(fs::path(log).parent_path()))
                ++inRootsFolder;
            EXPECT_EQ(3u, inRootsFolder) << "something was made in root's folder";
            if (links == Links::kTheirSettingsOnly) {
                const std::string logged = ZeqTuloReadFile(logLink);
                EXPECT_EQ(1u, zeqtest::Occurrences(logged, settingsRefused)) << logged;
            }
        }
    }
}

// Another user's data folder beside the file (their file in it) stays, and where the export
// replaced the file it belongs to, the log says so; root's own goes with the file it belongs to.
TEST_F(CommandExportLinksTest, AnotherUsersDataFolderStays) {
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    ASSERT_EQ(::chmod(mDirectory.c_str(), 01777), 0);
    const std::string target = mDirectory + "t.zeq", data = mDirectory + "t.zqd", theirs = data + "/theirs.bin";
    const std::string notice =
        "\tThe data folder \"" + data + "\" is not removed: it, or something in it, belongs to another user.";
    for (const bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "beside an existing file" : "no file before");
        fs::remove(target);
        fs::remove(mDirectory + "zeqtulolog.txt");
        if (existed) zeqtest::WriteFile(target, "old");
        fs::create_directories(data);
        zeqtest::WriteFile(theirs, "kept");
        ASSERT_EQ(::chown(theirs.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged), 0);
        ASSERT_EQ(::chown(data.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged), 0);
        EXPECT_NE(run("ZEQExport -f \"" + target + "\""), "<failed>");
        EXPECT_NE(ZeqTuloReadFile(target), "old");
        EXPECT_EQ(ZeqTuloReadFile(theirs), "kept");
        EXPECT_EQ(existed, ZeqTuloReadFile(mDirectory + "zeqtulolog.txt").find(notice) != std::string::npos)
            << ZeqTuloReadFile(mDirectory + "zeqtulolog.txt");
    }
    ASSERT_EQ(::chown(theirs.c_str(), 0, 0), 0);
    ASSERT_EQ(::chown(data.c_str(), 0, 0), 0);
    EXPECT_NE(run("ZEQExport -f \"" + target + "\""), "<failed>");
    EXPECT_FALSE(fs::exists(data));
}

// The module's own seams (it holds the SDK whole): null when the module does not show them.
zeqsdk_400::zeqdetail::ZeqReplacementSeams* ModuleSeams(const std::string& path) {
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!module) return nullptr;
    void* seams = ::dlsym(module, "_ZN10zeqsdk_4009zeqdetail17gReplacementSeamsE");
    ::dlclose(module);
    return static_cast<zeqsdk_400::zeqdetail::ZeqReplacementSeams*>(seams);
}

// In the folder others may write (not sticky), another user exchanges the temporary's name with
// a link of theirs just before the rename: the export fails and says why.
TEST_F(CommandExportLinksTest, ANameExchangedJustBeforeTheRenameFailsTheExport) {
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    zeqsdk_400::zeqdetail::ZeqReplacementSeams* seams = ModuleSeams(Module());
    ASSERT_NE(seams, nullptr) << "the module shows no seams";
    ASSERT_EQ(::chmod(mDirectory.c_str(), 0777), 0);
    const zeqtest::RootsSecret secret(mDirectory + "root");
    const std::string target = mDirectory + "t.zeq", theirs = mDirectory + "theirs";
    zeqtest::WriteFile(target, "old");
    ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, secret.Path(), theirs));
    standin::clearTranscript();
    {
        const zeqtest::ExchangeBeforeRename exchange(other, theirs, "t.zeq", *seams);
        EXPECT_EQ(run("ZEQExport -f \"" + target + "\""), "<failed>");
        EXPECT_TRUE(exchange.Done());
    }
    EXPECT_TRUE(transcribed("ZEQExport: File Export Failed: " + target + " (Cannot replace \"" + target +
                            "\": after the rename its name holds something other than the content written"));
    EXPECT_TRUE(secret.Intact());
    EXPECT_TRUE(IsLink(target));
}

}  // namespace
