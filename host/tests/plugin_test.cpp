// The plug-in shell end to end: a small plug-in library loaded, its command and translator run
// through scripts, unloaded; and the host program around it.
#include "host_test_support.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <utility>
#include <vector>

#include "fileio/tests/kgroupcases.h"
#include "fileio/tests/kownmounts.h"
#include "fileio/tests/scratch_root.h"
#include "fileio/tests/test_users.h"
#include "grouprule.h"
#include "pluginfile.h"

namespace {

std::string dirOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

std::string tempPath(const std::string& name) { return (zeqtest::ProcessScratchFolder("host") / name).string(); }

class PluginTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        setenv("TULO_PLUG_IN_PATH", ("/nonexistent:" + dirOf(TULO_TEST_PLUGIN)).c_str(), 1);
        // One log per test: ctest runs the tests in parallel processes.
        log = tempPath(std::string("unload-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
        std::remove(log.c_str());
        setenv("TULO_TEST_PLUGIN_LOG", log.c_str(), 1);
        std::string error;
        ASSERT_TRUE(standin::loadPlugin("tulo_test_plugin", &error)) << error;
    }
    void TearDown() override {
        if (!standin::loadedPlugins().empty()) {
            EXPECT_TRUE(standin::unloadAllPlugins());
        }
        HostTest::TearDown();
    }
    std::string log;
};

TEST_F(PluginTest, CommandGetsItsWordsAndReportsIntoTheTranscript) {
    EXPECT_EQ(run("exists testEcho; testEcho a \"b c\" -3"), "a|b c|-3");
    EXPECT_TRUE(transcribed("testEcho: a|b c|-3"));
    int count = 0;
    ASSERT_TRUE(TGlobal::executeCommand("testEcho -count x y", count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(run("testEcho -fail"), "<failed>");
    EXPECT_TRUE(transcribed("// Error: testEcho failed on request"));
    std::string error;
    EXPECT_FALSE(standin::loadPlugin("tulo_test_plugin", &error));  // loaded already
    EXPECT_FALSE(standin::loadPlugin("no_such_plugin", &error));
}

// A path holding a quote and a backslash reaches the command word unchanged when escaped.
TEST_F(PluginTest, TranslatorRunsThroughFileCommands) {
    std::string path = tempPath("odd \"name\\.tfmt");
    std::ofstream(path) << "x";
    std::string escaped;
    for (char c : path) escaped += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    EXPECT_EQ(run("file -import \"" + escaped + "\""), path);
    EXPECT_TRUE(transcribed("testEcho: -f|" + path + "|-caller|TestTranslator"));
    EXPECT_EQ(run("file -exportAll -type \"TestFmt\" \"out.zeq\""), "out.zeq");
    EXPECT_TRUE(transcribed("testEcho: -export|out.zeq"));
    EXPECT_EQ(run("file -import \"notes.txt\""), "<failed>");
    EXPECT_EQ(run("file -import -type \"Other\" \"a.tfmt\""), "<failed>");
}

TEST_F(PluginTest, UnloadingDeregistersAndRunsStaticDestructors) {
    ASSERT_TRUE(standin::unloadPlugin("tulo_test_plugin"));
    EXPECT_EQ(run("exists testEcho"), "0");
    EXPECT_FALSE(standin::hasTranslator("TestFmt"));
    std::ifstream in(log);
    std::string line;
    EXPECT_TRUE(std::getline(in, line) && line == "saved");
}

TEST_F(PluginTest, RegistrationLeftAfterUnloadIsAFault) {
    EXPECT_EQ(run("testLeak"), "");
    std::string error;
    EXPECT_FALSE(standin::unloadPlugin("tulo_test_plugin", &error));
    expectFaults({"registration left"});
    EXPECT_FALSE(standin::hasCommand("testEcho"));
}

// Plug-in files in a fresh folder of the test's own (TULO_PLUG_IN_PATH), loaded as the host finds
// them; what runs is told by the file, never by a name.
class PluginFileTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        folder = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "plugin-files").string() + "/";
        setenv("TULO_PLUG_IN_PATH", folder.substr(0, folder.size() - 1).c_str(), 1);
        setenv("TULO_TEST_PLUGIN_LOG", "/dev/null", 1);
    }
    void TearDown() override {
        standin::setBeforePluginLoad(nullptr);
        if (!standin::loadedPlugins().empty()) {
            EXPECT_TRUE(standin::unloadAllPlugins());
        }
        HostTest::TearDown();
        std::error_code ec;
        if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }
    // Another file with the test plug-in's code, mode 0755 whatever the umask.
    static bool copy(const std::string& from, const std::string& to) {
        std::ifstream in(from, std::ios::binary);
        std::ofstream out(to, std::ios::binary);
        return static_cast<bool>(out << in.rdbuf()) && (out.close(), ::chmod(to.c_str(), 0755) == 0);
    }
    // A folder of this user's, of mode mode (whatever the umask).
    static bool MakeFolder(const std::string& path, mode_t mode) {
        return ::mkdir(path.c_str(), 0700) == 0 && ::chmod(path.c_str(), mode) == 0;
    }
    // Gives a filled folder its mode, and to nobody where nobodys.
    static bool SetFolder(const std::string& path, mode_t mode, bool nobodys) {
        return ::chmod(path.c_str(), mode) == 0 &&
               (!nobodys || ::chown(path.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged) == 0);
    }
    static constexpr gid_t kNoGroup = zeqtest::kNoGroup;
    static gid_t GroupOthersAreIn() { return zeqtest::GroupOthersAreIn(); }
    // This user's primary group where it is the user's alone: named as the user, listing no one else
    // and no other user's primary group (a user's private group); kNoGroup otherwise.
    static gid_t GroupOfOnesOwn() {
        const struct passwd* user = ::getpwuid(::geteuid());
        const struct group* group = user ? ::getgrgid(user->pw_gid) : nullptr;
        if (!group || std::string(group->gr_name) != user->pw_name) return kNoGroup;
        const std::string name = user->pw_name;
        const gid_t own = user->pw_gid;
        for (char** member = group->gr_mem; *member; ++member)
            if (*member != name) return kNoGroup;
        bool alone = true;
        ::setpwent();
        while (const struct passwd* other = ::getpwent())
            alone = alone && (other->pw_gid != own || other->pw_uid == ::geteuid());
        ::endpwent();
        return alone ? own : kNoGroup;
    }
    // Gives the test user write in the file or folder path through its access list (the mask then
    // shows as the group's bits), written as the system stores it; false where the file system keeps
    // no such list.
    static bool LetTheTestUserWrite(const std::string& path) {
        struct Entry {
            std::uint16_t tag, permissions;
            std::uint32_t id;
        };
        // The system's tags (user, named user, group, mask, others), in the order it wants them.
        constexpr std::uint32_t kVersion = 2, kNoId = ~0u;
        const Entry entries[] = {
            {0x01, 7, kNoId}, {0x02, 7, zeqtest::kUnprivileged}, {0x04, 5, kNoId}, {0x10, 7, kNoId}, {0x20, 5, kNoId}};
        std::string value(reinterpret_cast<const char*>(&kVersion), sizeof(kVersion));
        value.append(reinterpret_cast<const char*>(entries), sizeof(entries));
        return ::setxattr(path.c_str(), "system.posix_acl_access", value.data(), value.size(), 0) == 0;
    }
    // Loads the test plug-in by its name, searched for in searched, from a fresh transcript.
    static bool LoadSearching(const std::string& searched, std::string& error) {
        setenv("TULO_PLUG_IN_PATH", searched.c_str(), 1);
        standin::clearTranscript();
        return standin::loadPlugin("tulo_test_plugin", &error);
    }
    // The handle of the library loaded from the regular file path names now (compared as a file),
    // null when none is. The loader is asked under a name of its own, a link made for the asking:
    // it keeps knowing a library by every name it was asked for.
    // With held, the handle is the caller's to close.
    void* LoadedFrom(const std::string& path, bool held = false) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
        const std::string asked = folder + "asked-" + std::to_string(++asking);
        if (::symlink(path.c_str(), asked.c_str()) != 0) return nullptr;
        void* handle = ::dlopen(asked.c_str(), RTLD_NOW | RTLD_NOLOAD);
        ::unlink(asked.c_str());
        if (handle && !held) ::dlclose(handle);
        return handle;
    }
    bool Loaded(const std::string& path) { return LoadedFrom(path) != nullptr; }
    // The file the library loaded from path shows as its own (dladdr, as a plug-in finds itself).
    std::string Shown(const std::string& path) {
        void* handle = LoadedFrom(path);
        Dl_info info{};
        void* entry = handle ? ::dlsym(handle, "initializePlugin") : nullptr;
        return entry && ::dladdr(entry, &info) && info.dli_fname ? info.dli_fname : "";
    }
    // Transcript lines holding text.
    static int Said(const std::string& text) {
        int lines = 0;
        for (const std::string& line : standin::transcript()) lines += line.find(text) != std::string::npos;
        return lines;
    }
    std::string folder;
    int asking = 0;
};

// Renamed names between the look at a plug-in file and its load (at that fixed point) change
// nothing of what runs: the file judged is the one loaded, and it shows the path it was found
// under. A copy of the test plug-in (another file) is what the names are turned to.
TEST_F(PluginFileTest, TheFileJudgedIsLoadedWhateverIsRenamedBeforeTheLoad) {
    const std::string plugins = folder + "plugins", decoy = folder + "decoy", way = folder + "way";
    const std::string file = "/libtulo_test_plugin.so";
    // a and b take each other's names.
    const auto exchange = [&](const std::string& a, const std::string& b) {
        const std::string spare = folder + "spare";
        return ::rename(a.c_str(), spare.c_str()) == 0 && ::rename(b.c_str(), a.c_str()) == 0 &&
               ::rename(spare.c_str(), b.c_str()) == 0;
    };
    struct Case {
        const char* what;
        std::string searched;  // TULO_PLUG_IN_PATH
        std::function<bool()> rename;
        std::string decoyAfter;  // where the copy is once renamed
    };
    const Case cases[] = {
        {"the link under the name exchanged with a link to the copy", plugins,
         [&] { return exchange(plugins + file, plugins + "/other"); }, decoy + file},
        {"the copy renamed onto the name", plugins,
         [&] { return ::rename((decoy + file).c_str(), (plugins + file).c_str()) == 0; }, plugins + file},
        {"the plug-in folder exchanged with the copy's", plugins, [&] { return exchange(plugins, decoy); },
         plugins + file},
        {"a folder link on the way turned to the copy's folder", way,
         [&] {
             return ::symlink(decoy.c_str(), (way + ".new").c_str()) == 0 &&
                    ::rename((way + ".new").c_str(), way.c_str()) == 0;
         },
         decoy + file},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& made : {plugins, decoy, way}) std::filesystem::remove_all(made);
        ASSERT_TRUE(MakeFolder(plugins, 0755) && MakeFolder(decoy, 0755));
        ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, (plugins + file).c_str()));
        ASSERT_TRUE(copy(TULO_TEST_PLUGIN, decoy + file));
        ASSERT_EQ(0, ::symlink((decoy + file).c_str(), (plugins + "/other").c_str()));
        ASSERT_EQ(0, ::symlink(plugins.c_str(), way.c_str()));
        setenv("TULO_PLUG_IN_PATH", c.searched.c_str(), 1);
        bool renamed = false;
        standin::setBeforePluginLoad([&](const std::string& path) {
            EXPECT_EQ(path, c.searched + file);
            renamed = c.rename();
        });
        std::string error;
        ASSERT_TRUE(standin::loadPlugin("tulo_test_plugin", &error)) << error;
        EXPECT_TRUE(renamed);
        EXPECT_TRUE(Loaded(TULO_TEST_PLUGIN));
        EXPECT_FALSE(Loaded(c.decoyAfter));
        EXPECT_EQ(Shown(TULO_TEST_PLUGIN), c.searched + file);
        EXPECT_EQ(run("testEcho ran"), "ran");
        EXPECT_TRUE(standin::unloadAllPlugins());
        standin::setBeforePluginLoad(nullptr);
    }
}

// A library that stays in memory when its plug-in unloads (another handle holds it) keeps showing
// the path it was found under, and a file loaded next is that file, not the library the loader
// still knows by the descriptor it was loaded through: two copies of the test plug-in, found the
// same way (so that the host would open the second under the first one's number, were it free).
TEST_F(PluginFileTest, ALibraryHeldElsewhereKeepsItsNameAndIsNotTakenForTheNext) {
    const std::string first = folder + "a", second = folder + "b", file = "/libtulo_test_plugin.so";
    ASSERT_TRUE(MakeFolder(first, 0755) && MakeFolder(second, 0755));
    ASSERT_TRUE(copy(TULO_TEST_PLUGIN, first + file) && copy(TULO_TEST_PLUGIN, second + file));
    std::string error;
    ASSERT_TRUE(LoadSearching(first, error)) << error;
    void* held = LoadedFrom(first + file, true);
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(standin::unloadAllPlugins());
    EXPECT_EQ(Shown(first + file), first + file);
    EXPECT_TRUE(LoadSearching(second, error)) << error;
    EXPECT_TRUE(Loaded(second + file));
    EXPECT_EQ(Shown(second + file), second + file);
    EXPECT_TRUE(standin::unloadAllPlugins());
    ::dlclose(held);
}

// A plug-in file in a folder where another user may rename it, or anything on the way to it, is
// passed over and said once: theirs, or one others may write that is not sticky (at the end or on
// the way; a group others are in, or an access list, counts as others). In a sticky folder of one's
// own each name is kept to its owner, and a group of one's own alone (a user's private group, with
// a umask of 002) is no other user: the file is loaded. Root's (or this user's) own link to the
// test plug-in stands under the name in each.
TEST_F(PluginFileTest, AFolderWhereOthersMayRenameTheFileIsRefused) {
    const std::string safe = folder + "safe", file = "/libtulo_test_plugin.so";
    ASSERT_TRUE(MakeFolder(safe, 0755));
    ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, (safe + file).c_str()));
    const std::string nobodys = "a folder of user " + zeqtest::UserName(zeqtest::kUnprivileged) + "'s";
    const std::string notSticky = "a folder others may write that is not sticky";
    enum class Owner { kOwn, kNobodys, kGroupOthersAreIn, kGroupOfOnesOwn, kGroupOfOnesOwnAndAList };
    struct Case {
        const char* what;
        mode_t mode;
        Owner owner;
        bool onTheWay;  // the plug-ins lie in a folder of one's own (0755) in it
        std::string refusedAs;  // "" where the file is loaded
    };
    const Case cases[] = {
        {"everybody may write it", 0777, Owner::kOwn, false, notSticky},
        {"sticky, everybody may write it", 01777, Owner::kOwn, false, ""},
        {"everybody may write the folder above", 0777, Owner::kOwn, true, notSticky},
        {"sticky folder above", 01777, Owner::kOwn, true, ""},
        {"its group, others in it, may write it", 0775, Owner::kGroupOthersAreIn, false, "group"},
        {"its group, others in it, may write the folder above", 0775, Owner::kGroupOthersAreIn, true, "group"},
        // For root, who may change any mode, no group is its own alone.
        {"its group, one's own alone, may write it", 0775, Owner::kGroupOfOnesOwn, false,
         zeqtest::IsRoot() ? "group" : ""},
        {"its group, one's own alone, may write it, and an access list gives another user write", 0775,
         Owner::kGroupOfOnesOwnAndAList, false, zeqtest::IsRoot() ? "group" : notSticky},
        {"nobody's", 0755, Owner::kNobodys, false, nobodys},
        {"nobody's, sticky", 01777, Owner::kNobodys, false, nobodys},
        {"nobody's folder above", 0755, Owner::kNobodys, true, nobodys},
    };
    const gid_t shared = GroupOthersAreIn(), own = GroupOfOnesOwn();
    std::string notRun;
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool runs = c.owner == Owner::kNobodys              ? zeqtest::IsRoot()
                          : c.owner == Owner::kGroupOthersAreIn   ? shared != kNoGroup
                          : c.owner == Owner::kOwn                ? true
                                                                  : own != kNoGroup;
        if (!runs) {
            notRun += std::string(notRun.empty() ? "" : "; ") + c.what;
            continue;
        }
        const std::string place = folder + "place" + std::to_string(index++);
        const std::string plugins = c.onTheWay ? place + "/sub" : place;
        ASSERT_TRUE(MakeFolder(place, 0755));
        if (c.onTheWay) {
            ASSERT_TRUE(MakeFolder(plugins, 0755));
        }
        ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, (plugins + file).c_str()));
        ASSERT_EQ(0, ::chmod(place.c_str(), c.mode));
        if (c.owner == Owner::kNobodys) {
            ASSERT_EQ(0, ::chown(place.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
        }
        if (c.owner == Owner::kGroupOthersAreIn || c.owner == Owner::kGroupOfOnesOwn) {
            ASSERT_EQ(0, ::chown(place.c_str(), -1, c.owner == Owner::kGroupOthersAreIn ? shared : own));
        }
        if (c.owner == Owner::kGroupOfOnesOwnAndAList) {
            ASSERT_EQ(0, ::chown(place.c_str(), -1, own));
            if (!LetTheTestUserWrite(place)) {
                notRun += std::string(notRun.empty() ? "" : "; ") + c.what + " (no access lists here)";
                continue;
            }
        }
        std::string error;
        ASSERT_TRUE(LoadSearching(plugins + ":" + safe, error)) << error;
        const std::string subject = c.onTheWay ? "\"" + plugins + "\"" : "the symbolic link";
        // Where its group's write alone counts as others', the group is named as the reason.
        const std::string refusedAs =
            c.refusedAs == "group" ? "a folder its group (" +
                                         zeqtest::GroupName(c.owner == Owner::kGroupOthersAreIn ? shared : own) +
                                         ") may write, a group that may hold other users, that is not sticky"
                                   : c.refusedAs;
        const std::string refusal = "the plug-in file \"" + plugins + file + "\" is not loaded: " + subject +
                                    " lies in \"" + place + "\", " + refusedAs +
                                    ", where they may put something else under its name";
        EXPECT_EQ(c.refusedAs.empty() ? 0 : 1, Said("// Warning: " + refusal));
        EXPECT_EQ(c.refusedAs.empty() ? 0 : 1, Said("is not loaded"));
        EXPECT_EQ(Shown(TULO_TEST_PLUGIN), (c.refusedAs.empty() ? plugins : safe) + file);
        EXPECT_TRUE(standin::unloadAllPlugins());
        // Loaded by path, the reason is the load's failure.
        if (!c.refusedAs.empty()) {
            EXPECT_FALSE(standin::loadPlugin(plugins + file, &error));
            EXPECT_EQ(error, refusal);
        }
    }
    if (!notRun.empty()) GTEST_SKIP() << "not run here (the other cases ran): " << notRun;
}

// A folder swapped on the path (renamed away, another put under its name) once the walk judged it
// and before it opens the next name in it changes nothing of what is walked: the walk goes on in
// the folder it judged, and the file found there is the one loaded. A copy of the test plug-in
// stands in the folder put in its place, at the same path.
TEST_F(PluginFileTest, AFolderSwappedOnThePathAfterItWasJudgedChangesNothingOfTheWalk) {
    const std::string outer = folder + "outer", inner = outer + "/inner", file = "/libtulo_test_plugin.so";
    for (const std::string& swapped : {outer, inner}) {
        SCOPED_TRACE("swapped: " + swapped);
        std::filesystem::remove_all(outer);
        std::filesystem::remove_all(outer + ".away");
        ASSERT_TRUE(MakeFolder(outer, 0755) && MakeFolder(inner, 0755));
        ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, (inner + file).c_str()));
        // The other folder, with what the path names below it, a copy under the plug-in's name.
        const std::string decoy = folder + "decoy", decoyFile = decoy + inner.substr(swapped.size()) + file;
        std::filesystem::remove_all(decoy);
        ASSERT_TRUE(MakeFolder(decoy, 0755));
        if (swapped == outer) {
            ASSERT_TRUE(MakeFolder(decoy + "/inner", 0755));
        }
        ASSERT_TRUE(copy(TULO_TEST_PLUGIN, decoyFile));
        int judged = 0;
        bool done = false;
        standin::setDuringPluginWalk([&](const std::string& path) {
            if (path != swapped) return;
            ++judged;
            done = ::rename(swapped.c_str(), (outer + ".away").c_str()) == 0 &&
                   ::rename(decoy.c_str(), swapped.c_str()) == 0;
        });
        std::string error;
        const bool loaded = standin::loadPlugin(inner + file, &error);
        standin::setDuringPluginWalk(nullptr);
        ASSERT_TRUE(loaded) << error;
        EXPECT_EQ(judged, 1);
        ASSERT_TRUE(done);
        const std::string decoyNow = inner + file;
        EXPECT_TRUE(Loaded(TULO_TEST_PLUGIN));
        EXPECT_FALSE(Loaded(decoyNow));
        EXPECT_EQ(Shown(TULO_TEST_PLUGIN), inner + file);
        EXPECT_TRUE(standin::unloadAllPlugins());
    }
}

// The host's own rule of a group that is its owner's alone, held to the worked cases the SDK's is
// held to.
class GroupRule : public ::testing::TestWithParam<zeqtest::GroupRuleCase> {};

TEST_P(GroupRule, IsTheOwnersAloneOnlyWhereNoOtherUserHasIt) {
    const zeqtest::GroupRuleCase& c = GetParam();
    std::vector<tulo_detail::UserEntry> users;
    for (const zeqtest::GroupCaseUser& user : c.AllUsers()) users.push_back({user.mName, user.mUid, user.mGroup});
    std::vector<tulo_detail::GroupEntry> entries;
    for (const zeqtest::GroupCaseEntry& entry : c.mEntries)
        entries.push_back({entry.mName, entry.mMembers, !entry.mPassword.empty() && entry.mPassword != "x"});
    for (const zeqtest::GroupCaseShadow& entry : c.mShadow) {
        entries.push_back({entry.mName, entry.mMembers, !entry.mPassword.empty() && entry.mPassword != "!"});
        entries.back().members.insert(entries.back().members.end(), entry.mAdministrators.begin(),
                                       entry.mAdministrators.end());
    }
    EXPECT_EQ(c.mAlone, tulo_detail::groupIsOwnersAlone(c.mOwner, c.mGroup, entries, users));
}

// The same cases as the system's databases, mounted in a child with mounts of its own, judged by the
// host's rule that reads them (beside a thread listing the group database where the case says so):
// the group is the owner's alone only where login grants no other user it, as the system says.
TEST_P(GroupRule, HoldsUnderTheSystemsOwnDatabase) {
    const zeqtest::GroupRuleCase& c = GetParam();
    const std::string dir = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "group-rule").string();
    const std::optional<std::string> answer =
        zeqtest::JudgedUnderItsDatabase(c, dir, tulo_detail::groupIsOwnersAloneBySystem);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ("", *answer);
}

INSTANTIATE_TEST_SUITE_P(Host, GroupRule, ::testing::ValuesIn(zeqtest::GroupRuleCases()),
                         [](const ::testing::TestParamInfo<zeqtest::GroupRuleCase>& info) {
                             return std::string(info.param.mName);
                         });

// A verdict read from the system's databases stands only while the files it rests on stay the same.
TEST(HostGroupRuleBySystem, JudgesAgainWhenAFileItRestsOnChanges) {
    const std::string dir = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "group-rule").string();
    const std::optional<std::string> answer =
        zeqtest::JudgedAsItsFilesChange(dir, tulo_detail::groupIsOwnersAloneBySystem);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ("", *answer);
}

// Whom the host's rule asks whether login grants the group: those the group file or the user
// database's drop-in memberships may name, and everyone where a source of groups answers that it
// cannot see.
class GroupRuleLogin : public ::testing::TestWithParam<zeqtest::LoginAskCase> {};

TEST_P(GroupRuleLogin, IsAskedOfEveryUserItMayGrantTheGroup) {
    const zeqtest::LoginAskCase& c = GetParam();
    const std::string dir = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "group-rule").string();
    const std::optional<std::string> answer =
        zeqtest::AskedUnderItsSources(c, dir, tulo_detail::loginAskedAbout);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    std::string expected;
    for (const std::string& name : c.mAsked) expected += (expected.empty() ? "" : ",") + name;
    EXPECT_EQ(expected, *answer);
}

// The host's rule keeps a verdict only where every source of groups login asks lies in the files it
// rests on: where another answers (a cache daemon, another source the switch names), it judges again
// each time.
TEST_P(GroupRuleLogin, KeepsAVerdictOnlyWhereTheFilesShowEverySource) {
    const zeqtest::LoginAskCase& c = GetParam();
    const std::string dir = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "group-rule").string();
    const std::optional<std::string> answer =
        zeqtest::KeptUnderItsSources(c, dir, tulo_detail::groupIsOwnersAloneBySystem);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ(c.Unseen() ? "judged again 3 of 3" : "kept", *answer);
}

INSTANTIATE_TEST_SUITE_P(Host, GroupRuleLogin, ::testing::ValuesIn(zeqtest::LoginAskCases()),
                         [](const ::testing::TestParamInfo<zeqtest::LoginAskCase>& info) {
                             return std::string(info.param.mName);
                         });

// The host's judgement under a user database of the test's own (mounted over the system's in a
// child with mounts of its own; run by another user than root, in a user namespace whose root that
// user is): a plug-in file of mode 0775 whose group is its owner's primary group is another user's
// to write where a second user has that group as primary group (what the member list never shows)
// or is listed in it, and its owner's alone where neither holds. As root, the whole walk refuses or
// accepts the file; elsewhere the folders above the test's are no user's there, and the file alone
// is judged.
TEST_F(PluginFileTest, AGroupAnotherUserHasAsPrimaryGroupCountsAsOthers) {
    const bool root = zeqtest::IsRoot();
    const std::string name = "/libtulo_test_plugin.so";
    int index = 0;
    for (const zeqtest::GroupDatabaseCase& c : zeqtest::GroupDatabaseCases()) {
        SCOPED_TRACE(c.mName);
        const std::string place = folder + "place" + std::to_string(index++), path = place + name;
        ASSERT_TRUE(MakeFolder(place, 0755) && copy(TULO_TEST_PLUGIN, path));
        const std::optional<std::string> answer =
            zeqtest::UnderGroupDatabase(c, place, [&](uid_t owner, gid_t group) -> std::optional<std::string> {
                if (::chown(path.c_str(), owner, group) != 0 || ::chmod(path.c_str(), 0775) != 0) return std::nullopt;
                const int held = ::open(path.c_str(), O_PATH | O_CLOEXEC);
                struct stat st {};
                if (held < 0 || ::fstat(held, &st) != 0) return "cannot look at " + path;
                std::string said = std::string("others may write: ") +
                                   (tulo_detail::othersMayWrite(held, st) ? "yes" : "no");
                ::close(held);
                if (root) {
                    const tulo_detail::PluginFile file(path);
                    said += std::string("; loaded: ") + (file.accepted() ? "yes" : "no") + "; " + file.refusal();
                }
                return said;
            });
        if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
        std::string expected = std::string("others may write: ") + (c.mOthersMayWrite ? "yes" : "no");
        if (root)
            expected += c.mOthersMayWrite ? "; loaded: no; the plug-in file \"" + path +
                                                "\" is not loaded: its group (zeqowner) may write it, a group "
                                                "that may hold other users"
                                          : "; loaded: yes; ";
        EXPECT_EQ(*answer, expected);
    }
}

// For root, who may change any mode, a plug-in file of root's its group may write is one others may
// write, whatever the group: not loaded, the group named as the reason.
TEST_F(PluginFileTest, EveryGroupCountsAsOthersForRoot) {
    ZEQ_SKIP_UNLESS_ROOT("root's own rule");
    const std::string path = folder + "libtulo_test_plugin.so";
    ASSERT_TRUE(copy(TULO_TEST_PLUGIN, path));
    ASSERT_EQ(0, ::chown(path.c_str(), 0, 0));
    ASSERT_EQ(0, ::chmod(path.c_str(), 0775));
    const tulo_detail::PluginFile file(path);
    EXPECT_FALSE(file.accepted());
    EXPECT_EQ("the plug-in file \"" + path + "\" is not loaded: its group (" + zeqtest::GroupName(0) +
                  ") may write it, a group that may hold other users",
              file.refusal());
}

// The host's rule read beside another thread of the program listing the group database, 20,000
// times, as a non-root owner whose private group a second entry of its number, after 200 others,
// lists another user in: never once the owner's alone.
TEST_F(PluginFileTest, TheGroupIsJudgedAlikeBesideAThreadListingGroups) {
    const std::string place = folder + "place";
    ASSERT_TRUE(MakeFolder(place, 0755));
    const std::optional<std::string> answer =
        zeqtest::UnderASecondEntryAfterMany(place, [&]() -> std::optional<std::string> {
            const int held = ::open(place.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            struct stat st {};
            if (held < 0 || ::fstat(held, &st) != 0) return "cannot look at " + place;
            const zeqtest::GroupListingThread lister;
            int wrong = 0;
            for (int call = 0; call < 20000; ++call) wrong += tulo_detail::othersMayWrite(held, st) ? 0 : 1;
            ::close(held);
            return std::to_string(wrong) + " wrong";
        });
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ("0 wrong", *answer);
}

// A plug-in file with more than one name, in a folder another user may write (sticky or not), may
// be their hard link to any library of root's (a hard link bears its file's owner, not its
// maker's): passed over and said, and the search goes on to the next name. In a folder of one's
// own that no one else may write, it is loaded. A link with more than one name is passed over the
// same way.
TEST_F(PluginFileTest, AFileWithOtherNamesInAFolderOthersMayWriteIsRefused) {
    const std::string first = "/tulo_test_plugin", safe = folder + "safe", last = "/libtulo_test_plugin.so";
    ASSERT_TRUE(MakeFolder(safe, 0755));
    ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, (safe + last).c_str()));
    struct Case {
        const char* what;
        mode_t mode;
        bool nobodysFolder;
        bool linkHardLinked;  // the second name is a symbolic link's to the test plug-in, else a copy's
        const char* refusedAs;  // "" where the file is loaded
    };
    const char* hardLinked = "it has other hard links, in a folder others may write";
    const Case cases[] = {
        {"sticky, everybody may write it", 01777, false, false, hardLinked},
        {"a link, sticky folder", 01777, false, true,
         "the symbolic link has more than one name, in a folder others may write"},
        {"one's own, no one else may write it", 0755, false, false, ""},
        // Last: the one case that needs root.
        {"nobody's", 0755, true, false, hardLinked},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.nobodysFolder && !zeqtest::IsRoot()) continue;
        const std::string place = folder + "place" + std::to_string(index++), named = place + "/named";
        ASSERT_TRUE(MakeFolder(place, 0755));
        ASSERT_TRUE(c.linkHardLinked ? ::symlink(TULO_TEST_PLUGIN, named.c_str()) == 0 : copy(TULO_TEST_PLUGIN, named));
        if (::link(named.c_str(), (place + first).c_str()) != 0)
            GTEST_SKIP() << "cannot make a hard link in " << place << ": " << std::strerror(errno);
        ASSERT_TRUE(SetFolder(place, c.mode, c.nobodysFolder));
        std::string error;
        ASSERT_TRUE(LoadSearching(place + ":" + safe, error)) << error;
        if (*c.refusedAs) {
            EXPECT_EQ(1, Said("// Warning: the plug-in file \"" + place + first + "\" is not loaded: " + c.refusedAs));
            EXPECT_EQ(Shown(TULO_TEST_PLUGIN), safe + last);
        } else {
            EXPECT_EQ(0, Said("is not loaded"));
            EXPECT_TRUE(Loaded(named));
            EXPECT_EQ(Shown(named), place + first);
        }
        EXPECT_TRUE(standin::unloadAllPlugins());
    }
    if (!zeqtest::IsRoot()) GTEST_SKIP() << zeqtest::NeedsRoot("a folder of nobody's (the other cases ran)");
}

// A plug-in file another user may write into, whoever owns it, may hold their code by the time it
// loads: passed over and said once, and the search goes on to the next name; loading it by path
// fails with that reason. Its group counts as others unless it is the owner's private group (a
// umask of 002 leaves every file so) with no access list. Each copy of the test plug-in stands
// under the first name in a folder of one's own that no one else may write.
TEST_F(PluginFileTest, AFileOthersMayWriteIsRefused) {
    const std::string first = "/tulo_test_plugin", safe = folder + "safe", last = "/libtulo_test_plugin.so";
    ASSERT_TRUE(MakeFolder(safe, 0755));
    ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, (safe + last).c_str()));
    enum class Group { kAsMade, kOthersAreIn, kOnesOwn, kOnesOwnAndAList };
    struct Case {
        const char* what;
        mode_t mode;
        Group group;
        bool linked;  // one's own link stands under the name, to the copy beside it
        bool refused;
    };
    const Case cases[] = {
        {"everybody may write it", 0666, Group::kAsMade, false, true},
        {"others may write it, its group not", 0646, Group::kAsMade, false, true},
        {"a link to one everybody may write", 0666, Group::kAsMade, true, true},
        {"its group, others in it, may write it", 0664, Group::kOthersAreIn, false, true},
        {"a link to one its group, others in it, may write", 0664, Group::kOthersAreIn, true, true},
        // For root, who may change any mode, no group is its own alone.
        {"its group, one's own alone, may write it", 0775, Group::kOnesOwn, false, zeqtest::IsRoot()},
        {"its group, one's own alone, may write it, and an access list gives another user write", 0775,
         Group::kOnesOwnAndAList, false, true},
    };
    const gid_t shared = GroupOthersAreIn(), own = GroupOfOnesOwn();
    std::string notRun;
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const gid_t group = c.group == Group::kAsMade ? kNoGroup : c.group == Group::kOthersAreIn ? shared : own;
        if (c.group != Group::kAsMade && group == kNoGroup) {
            notRun += std::string(notRun.empty() ? "" : "; ") + c.what + " (no such group here)";
            continue;
        }
        const std::string place = folder + "place" + std::to_string(index++), name = place + first;
        const std::string copied = c.linked ? place + "/copy.so" : name;
        ASSERT_TRUE(MakeFolder(place, 0755) && copy(TULO_TEST_PLUGIN, copied));
        if (c.linked) {
            ASSERT_EQ(0, ::symlink(copied.c_str(), name.c_str()));
        }
        ASSERT_EQ(0, ::chown(copied.c_str(), -1, group));
        ASSERT_EQ(0, ::chmod(copied.c_str(), c.mode));
        if (c.group == Group::kOnesOwnAndAList && !LetTheTestUserWrite(copied)) {
            notRun += std::string(notRun.empty() ? "" : "; ") + c.what + " (no access lists here)";
            continue;
        }
        std::string error;
        ASSERT_TRUE(LoadSearching(place + ":" + safe, error)) << error;
        // Where its group's write alone counts as others', the group is named as the reason.
        const bool byGroup = (c.mode & S_IWOTH) == 0 && (c.group == Group::kOthersAreIn || zeqtest::IsRoot());
        const std::string theGroup = "its group (" + zeqtest::GroupName(group) + ") may write";
        const std::string refusal =
            "the plug-in file \"" + name + "\" is not loaded: " +
            (c.linked    ? "it leads to \"" + copied + "\", which " +
                            (byGroup ? theGroup + ", a group that may hold other users" : "other users may write")
             : byGroup ? theGroup + " it, a group that may hold other users"
                       : "other users may write it");
        EXPECT_EQ(c.refused ? 1 : 0, Said("// Warning: " + refusal));
        EXPECT_EQ(c.refused ? 1 : 0, Said("is not loaded"));
        EXPECT_EQ(c.refused, !Loaded(copied));
        EXPECT_EQ(Shown(TULO_TEST_PLUGIN), c.refused ? safe + last : "");
        EXPECT_EQ(Shown(copied), c.refused ? "" : name);
        EXPECT_TRUE(standin::unloadAllPlugins());
        if (c.refused) {
            EXPECT_FALSE(standin::loadPlugin(name, &error));
            EXPECT_EQ(error, refusal);
            EXPECT_TRUE(standin::unloadAllPlugins());
        }
    }
    if (!notRun.empty()) GTEST_SKIP() << "not run here (the other cases ran): " << notRun;
}

// Code another user placed would run as the one running the host: a file of theirs under a plug-in's
// name, a link of theirs there, or root's link to their file, is passed over (a named pipe too, which
// would hold the load), and the host says which file and why; the search goes on to root's own link
// to root's library, which is the one that runs.
class PluginOwnerTest : public PluginFileTest {
protected:
    void SetUp() override {
        PluginFileTest::SetUp();
        ZEQ_SKIP_UNLESS_ROOT("another user's plug-in files");
        theirs = folder + "theirs/";
        ASSERT_EQ(0, ::mkdir(theirs.c_str(), 0755));
        ASSERT_TRUE(copy(TULO_TEST_PLUGIN, theirs + "copy.so"));
        ASSERT_EQ(0, ::chown((theirs + "copy.so").c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    }
    void TearDown() override {
        if (pipeFed >= 0) ::close(pipeFed);
        PluginFileTest::TearDown();
    }
    // A named pipe at path that a load taking it would not wait on: this test holds it open for
    // writing with more than a library's header in it, so that the load reads that and fails.
    bool PlantPipe(const std::string& path) {
        if (::mkfifo(path.c_str(), 0644) != 0) return false;
        pipeFed = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return pipeFed >= 0;
    }
    // Before each load: the pipe, where there is one, holds something to read.
    void FeedPipe() {
        int held = 0;
        const std::string junk(128, '#');
        if (pipeFed >= 0 && ::ioctl(pipeFed, FIONREAD, &held) == 0 && held < 128) {
            ASSERT_EQ(static_cast<ssize_t>(junk.size()), ::write(pipeFed, junk.data(), junk.size()));
        }
    }
    std::string theirs;
    int pipeFed = -1;
};

TEST_F(PluginOwnerTest, AnotherUsersFileIsPassedOverAndSaid) {
    const std::string name = folder + "tulo_test_plugin", second = folder + "tulo_test_plugin.so";
    const std::string roots = folder + "libtulo_test_plugin.so";
    ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, roots.c_str()));
    const auto nobodys = " is user " + zeqtest::UserName(zeqtest::kUnprivileged) + "'s, neither root's nor this user's";
    struct Case {
        const char* what;
        std::function<bool()> plant;
        std::string said;
    };
    const Case cases[] = {
        {"their file", [&] { return copy(theirs + "copy.so", name) &&
                                    ::chown(name.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged) == 0; },
         "the plug-in file \"" + name + "\" is not loaded: it" + nobodys},
        {"their link to root's library",
         [&] { return ::symlink(TULO_TEST_PLUGIN, name.c_str()) == 0 &&
                      ::lchown(name.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged) == 0; },
         "the plug-in file \"" + name + "\" is not loaded: the symbolic link" + nobodys},
        {"root's link to their file", [&] { return ::symlink((theirs + "copy.so").c_str(), name.c_str()) == 0; },
         "the plug-in file \"" + name + "\" is not loaded: it leads to \"" + theirs + "copy.so\", which" + nobodys},
        {"a named pipe", [&] { return PlantPipe(name); },
         "the plug-in file \"" + name + "\" is not loaded: it is no regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        standin::clearTranscript();
        ASSERT_TRUE(c.plant());
        std::string error;
        FeedPipe();
        ASSERT_TRUE(standin::loadPlugin("tulo_test_plugin", &error)) << error;
        EXPECT_TRUE(transcribed("// Warning: " + c.said));
        EXPECT_TRUE(Loaded(TULO_TEST_PLUGIN));
        EXPECT_FALSE(Loaded(theirs + "copy.so"));
        EXPECT_TRUE(standin::unloadAllPlugins());
        // Where nothing else is found, the load fails with the reason; by path too.
        ASSERT_EQ(0, ::rename(name.c_str(), second.c_str()));
        ASSERT_EQ(0, ::unlink(roots.c_str()));
        FeedPipe();
        EXPECT_FALSE(standin::loadPlugin("tulo_test_plugin", &error));
        EXPECT_NE(std::string::npos, error.find(" is not loaded: ")) << error;
        EXPECT_NE(std::string::npos, error.find(second)) << error;
        FeedPipe();
        EXPECT_FALSE(standin::loadPlugin(second, &error));
        EXPECT_NE(std::string::npos, error.find("\"" + second + "\" is not loaded: ")) << error;
        EXPECT_TRUE(standin::loadedPlugins().empty());
        ASSERT_EQ(0, ::unlink(second.c_str()));
        ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, roots.c_str()));
        if (pipeFed >= 0) ::close(std::exchange(pipeFed, -1));
    }
    EXPECT_FALSE(Loaded(theirs + "copy.so"));
}

// Root's own link, in root's own folder that no one else may write, that leads on through another
// user's link (which they may turn to any library at will) is passed over as theirs: at the end of
// the path, and for a folder on the way.
TEST_F(PluginOwnerTest, AChainThroughAnotherUsersLinkIsRefused) {
    const std::string real = folder + "real", file = "/libtulo_test_plugin.so";
    ASSERT_TRUE(MakeFolder(real, 0755));
    ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, (real + file).c_str()));
    const auto theirLink = [&](const std::string& target, const std::string& link) {
        return ::symlink(target.c_str(), link.c_str()) == 0 &&
               ::lchown(link.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged) == 0;
    };
    const std::string nobodys =
        " is user " + zeqtest::UserName(zeqtest::kUnprivileged) + "'s, neither root's nor this user's";
    // The file: root's link under the first name, to their link, to root's library.
    const std::string name = folder + "tulo_test_plugin";
    ASSERT_TRUE(theirLink(TULO_TEST_PLUGIN, theirs + "flip"));
    ASSERT_EQ(0, ::symlink((theirs + "flip").c_str(), name.c_str()));
    std::string error;
    ASSERT_TRUE(LoadSearching(folder.substr(0, folder.size() - 1) + ":" + real, error)) << error;
    EXPECT_EQ(1, Said("// Warning: the plug-in file \"" + name + "\" is not loaded: the symbolic link \"" + theirs +
                      "flip\"" + nobodys));
    EXPECT_EQ(Shown(TULO_TEST_PLUGIN), real + file);
    EXPECT_TRUE(standin::unloadAllPlugins());
    // A folder on the way: root's link to their link to root's folder.
    const std::string way = folder + "way";
    ASSERT_TRUE(theirLink(real, theirs + "folder"));
    ASSERT_EQ(0, ::symlink((theirs + "folder").c_str(), way.c_str()));
    EXPECT_FALSE(LoadSearching(way, error));
    EXPECT_EQ(error, "the plug-in file \"" + way + file + "\" is not loaded: the symbolic link \"" + theirs +
                         "folder\"" + nobodys);
    EXPECT_TRUE(standin::loadedPlugins().empty());
}

// The host program: exit 0 only when every step succeeded; --strict also needs no host fault. Its
// messages say where a script failed, what did not run and why a plug-in or translator is missing.
struct ProgramCase {
    const char* name;
    const char* args;
    int exit;  // below 0: ended by that signal
    const char* output;
    const char* absent = "";  // text the output must not hold
};

class Program : public HostTest, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(Program, ExitsAndEchoes) {
    std::string out = tempPath(std::string(GetParam().name) + ".out");
    std::string script = tempPath(std::string(GetParam().name) + ".script");
    std::ofstream(script) << "testEcho first\n\ntestEcho \"second\"\nnoSuchProcedure 1\ntestEcho never\n";
    std::string cmd = "cd '" + dirOf(script) + "' && TULO_PLUG_IN_PATH='" + dirOf(TULO_TEST_PLUGIN) +
                      "' TULO_TEST_PLUGIN_LOG=/dev/null '" + TULO_STANDIN + "' --plugin tulo_test_plugin " +
                      GetParam().args + " > '" + out + "' 2>&1";
    std::string name = GetParam().name;
    for (std::size_t at; (at = cmd.find("SCRIPT")) != std::string::npos;) cmd.replace(at, 6, name + ".script");
    int status = std::system(cmd.c_str());
    if (GetParam().exit >= 0) {
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), GetParam().exit);
    } else {  // the shell may report the signal as 128 + its number
        EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == -GetParam().exit) ||
                    (WIFEXITED(status) && WEXITSTATUS(status) == 128 - GetParam().exit));
    }
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    EXPECT_NE(text.str().find(GetParam().output), std::string::npos) << text.str();
    if (*GetParam().absent) {
        EXPECT_EQ(text.str().find(GetParam().absent), std::string::npos) << text.str();
    }
}

const ProgramCase kProgram[] = {
    {"ScriptRuns", "--strict -c 'testEcho a; about -b'", 0, "// Result: a\n// Result: 1\n"},
    {"Interactive", "--interactive -c 'about -b'", 0, "// Result: 0"},
    {"AnsweredDialog", "--strict --answer Yes -c 'confirmDialog -title \"Q\" -message \"m\" -button Yes'", 0,
     "// Result: Yes"},
    {"UnansweredDialogUnderStrict", "--strict -c 'confirmDialog -title \"Q\" -message \"m\" -button Ok'", 1,
     "// Host fault: unanswered dialog"},
    {"UnansweredDialogWithoutStrict", "-c 'confirmDialog -title \"Q\" -message \"m\" -button Ok'", 0, "dismiss"},
    {"UnusedAnswerUnderStrict", "--strict --answer No -c 'testEcho a'", 1,
     "1 --answer value(s) never used by a dialog: \"No\"\n// Host fault: unused answer"},
    // Refused before anything runs, with the words it takes.
    {"UnknownAnswerIsRefused", "--answer yes -c 'testEcho ran'", 2,
     "tulo-standin: unknown answer \"yes\" for --answer; the answers are \"Ok\", \"Yes\", \"No\", \"Import\", "
     "\"Export\", \"Cancel\", \" Unlock All \", \" Unlock \", \" Keep All Locked \", \"dismiss\"\n",
     "// Result: ran"},
    {"FailureStops", "-c 'testEcho -fail' -c 'testEcho never'", 1, "// Error: testEcho failed on request", "never"},
    // A command that shows its error is named after it, without the status's "unexpected failure";
    // one that shows nothing gets the status's text.
    {"FailingCommandIsNamed", "-c 'testEcho -fail'", 1,
     "// Error: testEcho failed on request\n// Error: -c argument 1, line 1: the plug-in command \"testEcho\" failed\n",
     "unexpected failure"},
    {"QuietFailureGetsTheStatus", "-c 'testEcho -failQuietly'", 1,
     "// Error: -c argument 1, line 1: the plug-in command \"testEcho\" failed (kFailure): unexpected failure"},
    {"LaterTextsNotRun", "-c 'testEcho ok' -c 'testEcho -fail' -c 'about -b' SCRIPT", 1,
     "not run after the failure: -c argument 3, script LaterTextsNotRun.script", "// Result: 1"},
    {"ScriptErrorNamesItsLine", "SCRIPT", 1,
     "// Result: second\n// Error: script ScriptErrorNamesItsLine.script, line 4: Cannot find "
     "procedure \"noSuchProcedure\".",
     "never"},
    {"SyntaxErrorAfterGoodLines", "-c 'testEcho one\ntestEcho two; testEcho \"three\"x'", 1,
     "// Result: two\n// Error: -c argument 1, line 2: Syntax error: a string must be followed"},
    {"MissingObjectIsNoHostFault", "--strict -c 'getAttr ghost.visibility'", 1,
     "line 1: getAttr: No object matches name: ghost", "Host fault"},
    {"NoTranslatorForTheFile", "-c 'file -import \"notes.txt\"'", 1,
     "file: no file translator takes \"notes.txt\""},
    {"PluginNotFoundListsDirectories", "--plugin no_such_plugin", 1,
     "cannot find plug-in \"no_such_plugin\" (searched for no_such_plugin, no_such_plugin.so and "
     "libno_such_plugin.so in "},
    {"CrashNamesTheCommand", "-c 'testEcho before; testCrash'", -6,
     "// Result: before\ntulo-standin: crashed with signal 6 in the plug-in command \"testCrash\""},
    {"RichSceneByName", "--strict -c 'standin_scene rich; getAttr dancer.crowdCount'", 0, "// Result: 3"},
    {"SceneNamesWithoutAName", "--strict -c 'standin_scene'", 0,
     "// Result: animation blendShapes cameraKinds cameras cube hierarchy lights meshes nurbs rich sample "
     "skinRig skinning surfaces userAttributes\n"},
    {"UnknownSceneListsTheNames", "-c 'standin_scene bogus'", 1,
     "line 1: standin_scene: unknown scene \"bogus\"; the scenes are animation, blendShapes, cameraKinds,"},
    {"UnitsSwitch", "--units -c 'getAttr persp.rotateY'", 0, "// Result: 0.78539816339744828"},
    {"MissingScript", "no-such-script.txt", 1, "cannot read no-such-script.txt"},
    {"LeftRegistration", "-c testLeak", 1, "left registrations"},
    {"BadOption", "--bogus", 2, "unknown or incomplete option"},
};
INSTANTIATE_TEST_SUITE_P(Host, Program, ::testing::ValuesIn(kProgram), CaseName());

// Durations ("in 0.012 s") as "in T s": the rest of a progress line is fixed.
std::string withoutDurations(std::string text) {
    for (std::size_t at = 0; (at = text.find(" in ", at)) != std::string::npos; at += 4) {
        std::size_t end = at + 4;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) ++end;
        if (end > at + 4 && text.compare(end, 2, " s") == 0) text.replace(at + 4, end - at - 4, "T");
    }
    return text;
}

// --progress: each text and script is announced before it runs and closed with its status and
// duration after it, on the stream the results go to, so that results sit between the two; a
// failure closes its text as failed and nothing later is announced.
TEST_F(HostTest, ProgressFramesEachTextAndScript) {
    const std::string script = tempPath("progress.script");
    std::ofstream(script) << "testEcho first\ntestEcho -fail\n";
    const std::string out = tempPath("progress.out");
    const std::string longText = "testEcho " + std::string(80, 'x');
    const std::string cmd = "cd '" + dirOf(script) + "' && TULO_PLUG_IN_PATH='" + dirOf(TULO_TEST_PLUGIN) +
                            "' TULO_TEST_PLUGIN_LOG=/dev/null '" + TULO_STANDIN +
                            "' --plugin tulo_test_plugin --progress -c 'testEcho a\ntestEcho b' -c '" + longText +
                            "' progress.script -c 'testEcho never' > '" + out + "' 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    const std::string xs(80, 'x');
    const std::string expected = "// Progress: -c argument 1 started: testEcho a ...\n"
                                 "testEcho: a\n// Result: a\ntestEcho: b\n// Result: b\n"
                                 "// Progress: -c argument 1 succeeded in T s\n"
                                 "// Progress: -c argument 2 started: " + longText.substr(0, 72) + " ...\n"
                                 "testEcho: " + xs + "\n// Result: " + xs + "\n"
                                 "// Progress: -c argument 2 succeeded in T s\n"
                                 "// Progress: script progress.script started\n"
                                 "testEcho: first\n// Result: first\n"
                                 "// Error: testEcho failed on request\n"
                                 "// Error: script progress.script, line 2: the plug-in command \"testEcho\" failed\n"
                                 "// Progress: script progress.script failed in T s\n"
                                 "tulo-standin: not run after the failure: -c argument 3\n";
    EXPECT_NE(withoutDurations(text.str()).find(expected), std::string::npos) << text.str();
    EXPECT_EQ(text.str().find("-c argument 3 started"), std::string::npos);
}

}  // namespace
