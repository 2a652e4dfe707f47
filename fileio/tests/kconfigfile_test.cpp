#include "fileio/kconfigfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "base/klib.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfolderlockholder.h"
#include "fileio/tests/kpipewatchdog.h"

using namespace zeqsdk_400;
using zeqtest::ReadFile;
using zeqtest::WriteFile;
namespace fs = std::filesystem;

namespace {

class ConfigFileTest : public testing::Test {
protected:
    void SetUp() override { KLib_SetConfigDirectory(mDir.Path().c_str()); }
    void TearDown() override { KLib_SetConfigDirectory(""); }

    zeqtest::TempDir mDir;
    std::string mPath = mDir / "settings.txt";
};

TEST_F(ConfigFileTest, SetReplacesAKeyAndKeepsEverythingElse) {
    WriteFile(mPath,
              "; written by hand\n"
              "[First]\n"
              "alpha = 1 ; keep this comment\n"
              "beta = 2\n"
              "\n"
              "[Second]\n"
              "alpha = 10\n");
    KConfigFile config("settings.txt", true);  // kept in memory, still written through
    EXPECT_EQ(mPath, config.GetFilePath().Buffer());
    ASSERT_TRUE(config.Set("first", "BETA", "2", nullptr) && config.Set("first", "BETA", "20", nullptr) &&
                config.Set("First", "gamma", "3", "scene units") && config.Set("Third", "delta", "4", nullptr));
    EXPECT_EQ(
        "; written by hand\n"
        "[First]\n"
        "alpha = 1 ; keep this comment\n"
        "BETA = 20\n"
        "gamma = 3 ; scene units\n"
        "\n"
        "[Second]\n"
        "alpha = 10\n"
        "[Third]\n"
        "delta = 4\n",
        ReadFile(mPath));
    EXPECT_STREQ("1", config.Get("FIRST", "Alpha", nullptr));
    EXPECT_STREQ("10", config.Get("second", "alpha", nullptr));
    EXPECT_STREQ("20", KConfigFile("settings.txt", false).Get("First", "beta", nullptr));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(mDir.Path()), fs::directory_iterator()))
        << "a copy written on the way was left beside the settings";
}

TEST_F(ConfigFileTest, GetTrimsCutsAtTheCommentAndFallsBack) {
    KConfigFile config("settings.txt", false);
    EXPECT_STREQ("fallback", config.Get("Spaced", "key", "fallback"));  // no file yet
    WriteFile(mPath,
              "  [ Spaced ]  ; header comment\r\n"
              "\tkey  ==  spaced value \t ; the comment\r\n"
              "empty =\r\n"
              "bare\r\n"
              "; hidden = 1\r\n");
    EXPECT_STREQ("spaced value", config.Get("Spaced", "KEY", nullptr));
    EXPECT_TRUE(!*config.Get("Spaced", "empty", "default") && !*config.Get("Spaced", "bare", "default"));
    EXPECT_STREQ("d", config.Get("Other", "key", "d"));
    EXPECT_TRUE(!config.Get("Spaced", "hidden", nullptr) && !config.Get(nullptr, "key", nullptr));
    EXPECT_FALSE(config.Set(nullptr, "k", "v", nullptr) || config.Set("S", nullptr, "v", nullptr));
}

// "ImportScale" is not "ImportScaleFactor", "UserParams" not "UserParams2".
TEST_F(ConfigFileTest, MatchesWholeNamesOnly) {
    WriteFile(mPath,
              "[UserParams2]\n"
              "ImportScale = 5\n"
              "[UserParams]\n"
              "ImportScaleFactor = 2\n");
    KConfigFile config("settings.txt", false);
    EXPECT_STREQ("none", config.Get("UserParams", "ImportScale", "none"));
    EXPECT_STREQ("none", config.Get("UserParam", "ImportScaleFactor", "none"));
    EXPECT_STREQ("2", config.Get("USERPARAMS", "importscalefactor", "none"));
    ASSERT_TRUE(config.Set("UserParams", "ImportScale", "3", nullptr));
    EXPECT_EQ("[UserParams2]\nImportScale = 5\n[UserParams]\nImportScaleFactor = 2\nImportScale = 3\n",
              ReadFile(mPath));
}

TEST_F(ConfigFileTest, RefusesTextThatWouldBreakTheLineStructure) {
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("S", "k", "v", nullptr));
    const std::string before = ReadFile(mPath);
    // "k = =v" would read back as "v".
    const char* const bad[][4] = {{"S", "k", "one\n[Injected]\nx = 1", nullptr}, {"S", "k", "cut;here", nullptr},
                                  {"S", "k=j", "v", nullptr}, {"S]", "k", "v", nullptr}, {"S", "k", "v", "two\nlines"},
                                  {"S", "  ", "v", nullptr}, {"S", "k", "=v", nullptr}, {"S", "k", " == v", nullptr}};
    for (const auto& b : bad) EXPECT_FALSE(config.Set(b[0], b[1], b[2], b[3])) << b[0] << " " << b[1] << " " << b[2];
    EXPECT_EQ(before, ReadFile(mPath));
    ASSERT_TRUE(config.Set("S", "k", "a=b", nullptr));
    EXPECT_STREQ("a=b", config.Get("S", "k", nullptr));
}

TEST_F(ConfigFileTest, WhereTheFileLives) {
    // A trailing slash of the directory is not doubled.
    KLib_SetConfigDirectory((mDir.Path().string() + "/").c_str());
    EXPECT_EQ(mPath, KConfigFile("settings.txt", false).GetFilePath().Buffer());
    // A leading '@' makes the file per computer.
    char host[256] = {};
    ASSERT_EQ(0, ::gethostname(host, sizeof(host) - 1));
    KConfigFile machine("@zeqtest.ini", false);
    const std::string name = fs::path(machine.GetFilePath().Buffer()).filename().string();
    EXPECT_TRUE(name.find("zeqtest@") == 0 && name.find(host) != std::string::npos &&
                fs::path(name).extension() == ".ini") << name;
    ASSERT_TRUE(machine.Set("Machine", "Cores", "8", nullptr));
    EXPECT_STREQ("8", KConfigFile("@zeqtest.ini", false).Get("Machine", "Cores", nullptr));
    EXPECT_FALSE(fs::exists(mDir / "zeqtest.ini"));
    // No configuration directory means the current directory, not the root.
    const fs::path previous = fs::current_path();
    fs::current_path(mDir.Path());
    KLib_SetConfigDirectory("");
    KConfigFile here("here.txt", false);
    EXPECT_TRUE(std::string("here.txt") == here.GetFilePath().Buffer() && here.Set("S", "k", "v", nullptr));
    fs::current_path(previous);
    EXPECT_EQ("[S]\nk = v\n", ReadFile(mDir / "here.txt"));
}

// A failed rewrite leaves the settings exactly as they were: an unreadable
// settings file, the process running out of file space in the middle of writing
// the new copy.
TEST_F(ConfigFileTest, FailedRewriteLosesNothing) {
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("S", "k", "old", nullptr) && config.Set("S", "j", "2", nullptr));
    const std::string huge(20000, 'v');
    fs::create_directory(mDir / "blocked.txt");
    KConfigFile unreadable("blocked.txt", false);
    EXPECT_STREQ("d", unreadable.Get("S", "k", "d"));
    EXPECT_TRUE(!unreadable.Set("S", "k", "v", nullptr) && fs::is_directory(mDir / "blocked.txt"));
    EXPECT_TRUE(zeqtest::InChild([&] { return !config.Set("S", "k", huge.c_str(), nullptr); }, 4096))
        << "the failed write was reported as success";
    EXPECT_EQ("[S]\nk = old\nj = 2\n", ReadFile(mPath));
    EXPECT_STREQ("old", config.Get("S", "k", nullptr));
    EXPECT_EQ(2, std::distance(fs::directory_iterator(mDir.Path()), fs::directory_iterator()))
        << "the copy of the failed write was left";
}

// The settings may live in a folder others may write (the shared fallback
// folder): a file put there under any name is neither written nor made the
// settings, the writer's own and (as root) another user's. Another user's file
// needs root: any other writer checks its own, and skips that half.
TEST_F(ConfigFileTest, AFileAnotherUserPutBesideTheSettingsTakesNothing) {
    ASSERT_EQ(0, ::chmod(mDir.Path().c_str(), 01777));
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("S", "k", "old", nullptr));
    const std::string planted = mDir / "backupfile.ini";
    WriteFile(planted, "[S]\nk = planted\n");
    ASSERT_EQ(0, ::chmod(planted.c_str(), 0666));
    for (const char* value : {"own", "another's"}) {
        const bool another = std::string(value) == "another's";
        if (another) {
            if (!zeqtest::IsRoot()) GTEST_SKIP() << zeqtest::NeedsRoot("the half with another user's file");
            ASSERT_EQ(0, ::chown(planted.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
        }
        SCOPED_TRACE(value);
        struct stat before;
        ASSERT_EQ(0, ::stat(planted.c_str(), &before));
        EXPECT_EQ(another ? zeqtest::kUnprivileged : ::geteuid(), before.st_uid);
        EXPECT_TRUE(config.Set("S", "k", value, nullptr));
        struct stat settings, after;
        ASSERT_EQ(0, ::stat(mPath.c_str(), &settings));
        ASSERT_EQ(0, ::stat(planted.c_str(), &after)) << "the file beside was taken as the settings";
        EXPECT_NE(before.st_ino, settings.st_ino);
        EXPECT_EQ(before.st_ino, after.st_ino);
        EXPECT_EQ(before.st_uid, after.st_uid);
        EXPECT_EQ("[S]\nk = planted\n", ReadFile(planted));
        EXPECT_EQ(std::string("[S]\nk = ") + value + "\n", ReadFile(mPath));
    }
}

// Any user who may read the folder may hold its lock as long as they like: a
// rewrite waits a few seconds at most, then goes on, long before they let go.
TEST_F(ConfigFileTest, ALockAnotherHoldsOnTheFolderDoesNotStallARewrite) {
    zeqtest::TempDir shared(zeqtest::TempDir::kOtherUsers);
    KLib_SetConfigDirectory(shared.Path().c_str());
    const zeqtest::FolderLockHolder holder(shared.Path().string());
    ASSERT_TRUE(holder.Holding());
    KConfigFile config("settings.txt", false);
    EXPECT_TRUE(config.Set("S", "k", "v", nullptr));
    EXPECT_TRUE(zeqtest::LockedByAnother(shared.Path().string())) << "the rewrite waited until the lock was let go";
    EXPECT_STREQ("v", KConfigFile("settings.txt", false).Get("S", "k", nullptr));
}

// A settings file that is a named pipe is neither waited on nor replaced: its
// options read as their defaults.
TEST_F(ConfigFileTest, APipeIsNotWaitedOn) {
    ASSERT_EQ(0, ::mkfifo(mPath.c_str(), 0600));
    KConfigFile config("settings.txt", false);
    EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(mPath, [&] {
        EXPECT_STREQ("d", config.Get("S", "k", "d"));
        EXPECT_FALSE(config.Set("S", "k", "v", nullptr));
    }));
    EXPECT_TRUE(fs::is_fifo(mPath));
}

// Two processes writing two settings files of one directory:
// no Set is lost and none lands in the other file.
TEST_F(ConfigFileTest, ConcurrentWritersInOneDirectoryLoseNothing) {
    constexpr int kSets = 60;
    auto writer = [](const char* file, const char* section) {
        KConfigFile config(file, true);
        int ok = 0;
        for (int i = 0; i < kSets; ++i) ok += config.Set(section, ("k" + std::to_string(i)).c_str(), "v", nullptr);
        return ok;
    };
    EXPECT_TRUE(zeqtest::InChild([&] { return writer("b.ini", "B") == kSets; }, 0,
                                 [&] { EXPECT_EQ(kSets, writer("a.ini", "A")); }));
    for (const char* name : {"a.ini", "b.ini"}) {
        KConfigFile config(name, false);
        const char *section = name[0] == 'a' ? "A" : "B", *other = name[0] == 'a' ? "B" : "A";
        for (int i = 0; i < kSets; ++i) {
            const std::string key = "k" + std::to_string(i);
            EXPECT_STREQ("v", config.Get(section, key.c_str(), nullptr)) << name << " " << key;
            EXPECT_EQ(nullptr, config.Get(other, key.c_str(), nullptr)) << name << " " << key;
        }
    }
}

}  // namespace
