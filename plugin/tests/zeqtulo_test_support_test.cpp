// The plug-in tests' own folders: fresh for every test and every call, so that runs side by side in
// one build folder share none, and the plug-in's own folder lies in the test's.
#include "zeqtulo_test_support.h"

#include <filesystem>
#include <fstream>
#include <string>

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

}  // namespace
