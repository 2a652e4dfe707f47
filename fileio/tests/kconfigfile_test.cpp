#include "fileio/kconfigfile.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "base/klib.h"
#include "fileio/tests/files_test_support.h"

using namespace zeqsdk_400;
using zeqfilestest::ReadFile;
using zeqfilestest::TempDir;
using zeqfilestest::WriteFile;
namespace fs = std::filesystem;

namespace {

class ConfigFileTest : public testing::Test {
protected:
    void SetUp() override { KLib_SetConfigDirectory(mDir.Path().c_str()); }
    void TearDown() override { KLib_SetConfigDirectory(""); }

    std::string PathOf(const char* name) const { return mDir / name; }

    TempDir mDir;
};

TEST_F(ConfigFileTest, SetCreatesTheFileWithItsSection) {
    KConfigFile config("settings.txt", false);
    EXPECT_EQ(PathOf("settings.txt"), config.GetFilePath().Buffer());
    ASSERT_TRUE(config.Set("UserParams", "ExportVersion", "6.0", nullptr));
    EXPECT_EQ("[UserParams]\nExportVersion = 6.0\n", ReadFile(PathOf("settings.txt")));
    ASSERT_TRUE(config.Set("UserParams", "Units", "cm", "scene units"));
    EXPECT_EQ("[UserParams]\nExportVersion = 6.0\nUnits = cm ; scene units\n", ReadFile(PathOf("settings.txt")));
    // The backup copy became the settings file.
    EXPECT_FALSE(fs::exists(PathOf("backupfile.ini")));
}

TEST_F(ConfigFileTest, ReplacesAKeyAndKeepsEverythingElse) {
    WriteFile(PathOf("settings.txt"),
              "; written by hand\n"
              "[First]\n"
              "alpha = 1 ; keep this comment\n"
              "beta = 2\n"
              "\n"
              "[Second]\n"
              "alpha = 10\n");
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("first", "BETA", "20", nullptr));
    ASSERT_TRUE(config.Set("First", "gamma", "3", nullptr));
    ASSERT_TRUE(config.Set("Third", "delta", "4", nullptr));
    EXPECT_EQ(
        "; written by hand\n"
        "[First]\n"
        "alpha = 1 ; keep this comment\n"
        "BETA = 20\n"
        "gamma = 3\n"
        "\n"
        "[Second]\n"
        "alpha = 10\n"
        "[Third]\n"
        "delta = 4\n",
        ReadFile(PathOf("settings.txt")));
    EXPECT_STREQ("1", config.Get("FIRST", "Alpha", nullptr));
    EXPECT_STREQ("10", config.Get("second", "alpha", nullptr));
    EXPECT_STREQ("20", config.Get("First", "beta", nullptr));
}

TEST_F(ConfigFileTest, GetTrimsAndCutsAtTheComment) {
    WriteFile(PathOf("settings.txt"),
              "  [ Spaced ]  ; header comment\r\n"
              "\tkey  ==  spaced value \t ; the comment\r\n"
              "empty =\r\n"
              "bare\r\n"
              "; hidden = 1\r\n");
    KConfigFile config("settings.txt", false);
    EXPECT_STREQ("spaced value", config.Get("Spaced", "KEY", nullptr));
    EXPECT_STREQ("", config.Get("Spaced", "empty", "default"));
    EXPECT_STREQ("", config.Get("Spaced", "bare", "default"));
    EXPECT_EQ(nullptr, config.Get("Spaced", "hidden", nullptr));
}

TEST_F(ConfigFileTest, MatchesWholeNamesOnly) {
    WriteFile(PathOf("settings.txt"),
              "[UserParams2]\n"
              "ImportScale = 5\n"
              "[UserParams]\n"
              "ImportScaleFactor = 2\n");
    KConfigFile config("settings.txt", false);
    EXPECT_STREQ("none", config.Get("UserParams", "ImportScale", "none"));
    EXPECT_STREQ("none", config.Get("UserParam", "ImportScaleFactor", "none"));
    EXPECT_STREQ("2", config.Get("USERPARAMS", "importscalefactor", "none"));

    ASSERT_TRUE(config.Set("UserParams", "ImportScale", "3", nullptr));
    EXPECT_STREQ("3", config.Get("UserParams", "ImportScale", nullptr));
    EXPECT_STREQ("2", config.Get("UserParams", "ImportScaleFactor", nullptr));
    EXPECT_STREQ("5", config.Get("UserParams2", "ImportScale", nullptr));
}

TEST_F(ConfigFileTest, DefaultsForMissingFileSectionOrKey) {
    KConfigFile config("absent.txt", false);
    EXPECT_EQ(nullptr, config.Get("S", "k", nullptr));
    EXPECT_STREQ("fallback", config.Get("S", "k", "fallback"));
    WriteFile(PathOf("absent.txt"), "[S]\nk = v\n");
    EXPECT_STREQ("v", config.Get("S", "k", nullptr));
    EXPECT_STREQ("d", config.Get("T", "k", "d"));
    EXPECT_STREQ("d", config.Get("S", "j", "d"));
    EXPECT_EQ(nullptr, config.Get(nullptr, "k", nullptr));
    EXPECT_FALSE(config.Set(nullptr, "k", "v", nullptr));
    EXPECT_FALSE(config.Set("S", nullptr, "v", nullptr));
}

TEST_F(ConfigFileTest, RefusesTextThatWouldBreakTheLineStructure) {
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("S", "k", "v", nullptr));
    const std::string before = ReadFile(PathOf("settings.txt"));
    EXPECT_FALSE(config.Set("S", "k", "one\n[Injected]\nx = 1", nullptr));
    EXPECT_FALSE(config.Set("S", "k", "cut;here", nullptr));
    EXPECT_FALSE(config.Set("S", "k=j", "v", nullptr));
    EXPECT_FALSE(config.Set("S]", "k", "v", nullptr));
    EXPECT_FALSE(config.Set("S", "k", "v", "two\nlines"));
    EXPECT_FALSE(config.Set("S", "  ", "v", nullptr));
    EXPECT_EQ(before, ReadFile(PathOf("settings.txt")));
}

TEST_F(ConfigFileTest, KeptInMemoryStillWritesThrough) {
    KConfigFile kept("settings.txt", true);
    ASSERT_TRUE(kept.Set("S", "k", "1", nullptr));
    ASSERT_TRUE(kept.Set("S", "k", "2", nullptr));
    EXPECT_STREQ("2", kept.Get("S", "k", nullptr));
    KConfigFile fresh("settings.txt", false);
    EXPECT_STREQ("2", fresh.Get("S", "k", nullptr));
    EXPECT_EQ("[S]\nk = 2\n", ReadFile(PathOf("settings.txt")));
}

TEST_F(ConfigFileTest, TrailingSlashOfTheDirectoryIsNotDoubled) {
    KLib_SetConfigDirectory((mDir.Path().string() + "/").c_str());
    KConfigFile config("settings.txt", false);
    EXPECT_EQ(PathOf("settings.txt"), config.GetFilePath().Buffer());
    EXPECT_EQ(PathOf("backupfile.ini"), config.GetBackupFilePath().Buffer());
}

TEST_F(ConfigFileTest, LeadingAtMakesTheFilePerComputer) {
    char host[256] = {};
    ASSERT_EQ(0, ::gethostname(host, sizeof(host) - 1));
    KConfigFile config("@zeqtest.ini", false);
    const std::string name = fs::path(config.GetFilePath().Buffer()).filename().string();
    EXPECT_EQ(0u, name.find("zeqtest@"));
    EXPECT_NE(std::string::npos, name.find(host)) << name;
    EXPECT_EQ(".ini", fs::path(name).extension().string());
    ASSERT_TRUE(config.Set("Machine", "Cores", "8", nullptr));
    EXPECT_STREQ("8", KConfigFile("@zeqtest.ini", false).Get("Machine", "Cores", nullptr));
    EXPECT_FALSE(fs::exists(PathOf("zeqtest.ini")));
}

TEST_F(ConfigFileTest, NoConfigurationDirectoryMeansTheCurrentDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(mDir.Path());
    KLib_SetConfigDirectory("");
    {
        KConfigFile config("here.txt", false);
        EXPECT_STREQ("here.txt", config.GetFilePath().Buffer());
        EXPECT_TRUE(config.Set("S", "k", "v", nullptr));
    }
    fs::current_path(previous);
    EXPECT_EQ("[S]\nk = v\n", ReadFile(PathOf("here.txt")));
}

// A failed rewrite must leave the settings exactly as they were.
TEST_F(ConfigFileTest, BlockedBackupLosesNothing) {
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("S", "k", "old", nullptr));
    const std::string before = ReadFile(PathOf("settings.txt"));
    fs::create_directory(PathOf("backupfile.ini"));
    EXPECT_FALSE(config.Set("S", "k", "new", nullptr));
    EXPECT_EQ(before, ReadFile(PathOf("settings.txt")));
    EXPECT_STREQ("old", config.Get("S", "k", nullptr));
}

TEST_F(ConfigFileTest, StaleBackupFromAnEarlierCrashIsHarmless) {
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("S", "k", "old", nullptr));
    WriteFile(PathOf("backupfile.ini"), "[S]\nk = half-writ");
    EXPECT_STREQ("old", config.Get("S", "k", nullptr));
    ASSERT_TRUE(config.Set("S", "j", "2", nullptr));
    EXPECT_EQ("[S]\nk = old\nj = 2\n", ReadFile(PathOf("settings.txt")));
    EXPECT_FALSE(fs::exists(PathOf("backupfile.ini")));
}

// The process runs out of file space in the middle of writing the new copy.
TEST_F(ConfigFileTest, WriteFailingHalfwayLosesNothing) {
    KConfigFile config("settings.txt", false);
    ASSERT_TRUE(config.Set("S", "k", "old", nullptr));
    const std::string before = ReadFile(PathOf("settings.txt"));
    const std::string huge(20000, 'v');

    const pid_t child = ::fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = config.Set("S", "k", huge.c_str(), nullptr);
        ::_exit(written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "the failed write was reported as success";
    EXPECT_EQ(before, ReadFile(PathOf("settings.txt")));
    EXPECT_STREQ("old", config.Get("S", "k", nullptr));
}

TEST_F(ConfigFileTest, UnreadableSettingsAreNotOverwritten) {
    fs::create_directory(PathOf("settings.txt"));
    KConfigFile config("settings.txt", false);
    EXPECT_STREQ("d", config.Get("S", "k", "d"));
    EXPECT_FALSE(config.Set("S", "k", "v", nullptr));
    EXPECT_TRUE(fs::is_directory(PathOf("settings.txt")));
}

}  // namespace
