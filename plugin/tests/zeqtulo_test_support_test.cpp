// The plug-in tests' own folders: fresh for every test and every call, so that runs side by side in
// one build folder share none, and the plug-in's own folder lies in the test's.
#include "zeqtulo_test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "fileio/tests/kwaits.h"
#include "plugin/zeqtuloplugin.h"

namespace {

namespace fs = std::filesystem;

// A second run's folder for the same test leaves the first one's as it was; under ZEQ_TEST_TMP both
// lie in its zeqtulo/ folder, named after the test.
TEST(TestFolders, EachIsFreshAndLeavesAnotherRunsAlone) {
    const std::string first = ZeqTuloTestDirectory();
    std::ofstream(first + "zeqplugins6.0registry.txt") << "[Tulo60]\n";
    const std::string second = ZeqTuloTestDirectory();
    EXPECT_NE(first, second);
    EXPECT_EQ("[Tulo60]\n", ZeqTuloReadFile(first + "zeqplugins6.0registry.txt"));
    EXPECT_TRUE(fs::is_empty(second));
    const char* configured = std::getenv("ZEQ_TEST_TMP");
    for (const std::string& folder : {first, second}) {
        const fs::path path = fs::path(folder).parent_path();
        EXPECT_EQ(0u, path.filename().string().find(configured && *configured ? "TestFolders.EachIsFresh"
                                                                               : "zeqtulo-TestFolders.EachIsFresh"))
            << folder;
        if (configured && *configured) {
            EXPECT_TRUE(fs::equivalent(path.parent_path(), fs::path(configured) / "zeqtulo")) << folder;
        }
    }
}

// Where no folder on TULO_PLUG_IN_PATH fits, the plug-in keeps its settings and log in the test's
// folder, never in the user's.
TEST(TestFolders, ThePluginsOwnFolderIsInTheTests) {
    const std::string folder = ZeqTuloTestDirectory();
    EXPECT_EQ(folder + "zeqtulo/", std::string(ZeqTuloUserDirectory().Buffer()));
}

// The test kits read a regular file alone: a link is not followed (another user's, in a folder a test
// opened to them, would lead anywhere) and a named pipe under the name is not waited on (the read,
// in a child, ends at once).
TEST(TestKits, ReadRegularFilesAloneWithoutFollowingOrWaiting) {
    const fs::path folder = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "kit-reads");
    const std::string file = (folder / "log.txt").string(), link = (folder / "link.txt").string(),
                      pipe = (folder / "pipe.txt").string();
    std::ofstream(file) << "logged";
    ASSERT_EQ(0, ::symlink(file.c_str(), link.c_str()));
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    EXPECT_EQ("logged", ZeqTuloReadFile(file));
    EXPECT_EQ("", ZeqTuloReadFile(link));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(ZeqTuloReadFile(pipe).empty() ? 0 : 1);
    int status = -1;
    EXPECT_TRUE(zeqtest::ChildEnds(child, status)) << "the read waited on the named pipe";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    fs::remove_all(folder);
}

}  // namespace
