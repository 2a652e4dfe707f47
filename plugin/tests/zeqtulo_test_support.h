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
// processes, kept for a look after the run. forOtherUsers, or without ZEQ_TEST_TMP: a fresh folder
// of the test's own (zeqtest::MakeFreshFolder), where forOtherUsers the user a test becomes
// (zeqtest::AsUnprivileged) can reach it too, under the system's temporary folder when ZEQ_TEST_TMP
// lies in a private one.
inline std::string ZeqTuloTestDirectory(bool forOtherUsers = false) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    const char* configured = std::getenv("ZEQ_TEST_TMP");
    std::filesystem::path directory;
    if (forOtherUsers || !configured || !*configured) {
        directory = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(forOtherUsers), "zeqtulo-" + name);
    } else {
        directory = std::filesystem::path(configured) / "zeqtulo" / name;
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
    }
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
        // Another user may not reach the build folder (a checkout in a private folder): they load a
        // copy of the module. It lies beside the plug-in's folder, in a folder of the test's own that
        // no one else may write, whatever a test lets others do in the plug-in's folder.
        if (mForOtherUsers) {
            mOwnFolder = ZeqTuloTestDirectory(true);
            const std::string modules = mOwnFolder + "module/";
            mDirectory = mOwnFolder + "plugin/";
            std::filesystem::create_directory(modules);
            std::filesystem::create_directory(mDirectory);
            std::filesystem::copy_file(ZEQTULO_MODULE, modules + "libzeqtulo.so");
            // Whatever the umask.
            for (const std::string& path : {modules, mDirectory, modules + "libzeqtulo.so"})
                ASSERT_EQ(::chmod(path.c_str(), 0755), 0) << path;
        } else {
            mDirectory = ZeqTuloTestDirectory();
        }
        ASSERT_EQ(symlink(Module().c_str(), (mDirectory + "libzeqtulo.so").c_str()), 0);
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
            std::filesystem::remove_all(mOwnFolder, ec);
        }
    }

    // The settings file the module keeps in its directory; "" when there is none.
    std::string Settings() const { return ZeqTuloReadFile(mDirectory + "zeqplugins6.0registry.txt"); }
    // Unloads the module: its last save runs.
    void Unload() {
        std::string error;
        EXPECT_TRUE(standin::unloadPlugin("zeqtulo", &error)) << error;
    }

    // The module as a test loads it by path: its copy in the test's own folder for another user.
    std::string Module() const {
        return mForOtherUsers ? mOwnFolder + "module/libzeqtulo.so" : std::string(ZEQTULO_MODULE);
    }

    std::string mDirectory;
    // For another user: the fresh folder holding the module's copy and the plug-in's folder.
    std::string mOwnFolder;
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
