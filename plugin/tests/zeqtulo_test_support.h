// Plug-in tests. ZeqTuloModuleTest: a fresh host (HostTest: unexpected host faults and unused
// dialog answers fail the test) with the module libzeqtulo.so loaded from a directory of the test's
// own, which is its plug-in, master and configuration directory (settings file, log). Shell
// functions linked into the test itself use the same host scene.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fileio/tests/scratch_root.h"
#include "host_test_support.h"

// Removes, when a test ends, the empty folders it left in its test folders, and such a folder itself
// when nothing is left in it: the test's files are kept for a look after the run, empty folders are
// clutter.
class ZeqTuloEmptyFolderSweeper : public ::testing::EmptyTestEventListener {
public:
    static void Add(const std::filesystem::path& folder) {
        static ZeqTuloEmptyFolderSweeper* sweeper = [] {
            auto* made = new ZeqTuloEmptyFolderSweeper;
            ::testing::UnitTest::GetInstance()->listeners().Append(made);  // the listeners own it
            return made;
        }();
        sweeper->mFolders.push_back(folder);
    }

private:
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (const std::filesystem::path& folder : mFolders) {
            std::error_code ec;
            std::vector<std::filesystem::path> inside{folder};
            for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
                if (it->is_directory(ec) && !it->is_symlink(ec)) inside.push_back(it->path());
            // The deepest first, so that a folder holding only empty ones goes too.
            for (auto at = inside.rbegin(); at != inside.rend(); ++at)
                if (std::filesystem::is_empty(*at, ec) && !ec) std::filesystem::remove(*at, ec);
        }
        mFolders.clear();
    }
    std::vector<std::filesystem::path> mFolders;
};

// ZEQ_TEST_TMP/zeqtulo/<suite>.<test>/ (made empty): one per test, as ctest runs tests in parallel
// processes. forOtherUsers: a folder that the user a test becomes (zeqtest::AsUnprivileged) can reach
// too, under the system's temporary folder when ZEQ_TEST_TMP lies in a private one.
inline std::string ZeqTuloTestDirectory(bool forOtherUsers = false) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    const std::filesystem::path root = zeqtest::ScratchRoot(forOtherUsers);
    const std::filesystem::path directory =
        forOtherUsers ? root / ("zeqtulo-" + name + "-" + std::to_string(::getpid())) : root / "zeqtulo" / name;
    std::filesystem::remove_all(directory);
    if (forOtherUsers)
        zeqtest::MakeFolderOthersReach(directory);
    else
        std::filesystem::create_directories(directory);
    ZeqTuloEmptyFolderSweeper::Add(directory);
    return directory.string() + "/";
}

inline std::string ZeqTuloReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class ZeqTuloModuleTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mDirectory = ZeqTuloTestDirectory(mForOtherUsers);
        // Another user may not reach the build folder (a checkout in a private folder): a copy of
        // the module in the test's own folder is what that user loads.
        if (mForOtherUsers) {
            std::filesystem::copy_file(ZEQTULO_MODULE, mDirectory + "libzeqtulo.so");
            std::filesystem::permissions(mDirectory + "libzeqtulo.so", std::filesystem::perms::owner_all |
                                                                          std::filesystem::perms::group_read |
                                                                          std::filesystem::perms::group_exec |
                                                                          std::filesystem::perms::others_read |
                                                                          std::filesystem::perms::others_exec);
        } else {
            ASSERT_EQ(symlink(ZEQTULO_MODULE, (mDirectory + "libzeqtulo.so").c_str()), 0);
        }
        setenv("TULO_PLUG_IN_PATH", mDirectory.c_str(), 1);
        std::string error;
        ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
    }
    void TearDown() override {
        std::string error;
        if (!standin::loadedPlugins().empty()) {
            EXPECT_TRUE(standin::unloadAllPlugins(&error)) << error;
        }
        HostTest::TearDown();
        // It may lie in the system's temporary folder, where nothing else clears it.
        if (mForOtherUsers) {
            std::error_code ec;
            std::filesystem::remove_all(mDirectory, ec);
        }
    }

    // The settings file the module keeps in its directory; "" when there is none.
    std::string Settings() const { return ZeqTuloReadFile(mDirectory + "zeqplugins6.0registry.txt"); }
    // Unloads the module: its last save runs.
    void Unload() {
        std::string error;
        EXPECT_TRUE(standin::unloadPlugin("zeqtulo", &error)) << error;
    }

    // The module as a test loads it by path: its copy in the test's folder for another user.
    std::string Module() const { return mForOtherUsers ? mDirectory + "libzeqtulo.so" : std::string(ZEQTULO_MODULE); }

    std::string mDirectory;
    // Set by a fixture whose tests run as another user too, before SetUp.
    bool mForOtherUsers = false;
};

// Runs the host program on the module (in `directory`, as its plug-in directory): exit status and
// everything it printed. A stack size in KiB other than 0 limits the program's stack to it.
inline int RunStandin(const std::string& directory, const std::string& args, std::string& output,
                      unsigned stackKiB = 0) {
    std::string out = directory + "standin.out";
    std::string cmd = (stackKiB ? "ulimit -s " + std::to_string(stackKiB) + " && " : std::string()) +
                      "TULO_PLUG_IN_PATH='" + directory + "' '" + TULO_STANDIN + "' --plugin zeqtulo " + args +
                      " > '" + out + "' 2>&1";
    int status = std::system(cmd.c_str());
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    output = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
