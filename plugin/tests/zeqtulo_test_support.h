// Plug-in tests. ZeqTuloModuleTest: a fresh host (HostTest: unexpected host faults and unused
// dialog answers fail the test) with the module libzeqtulo.so loaded from a directory of the test's
// own, which is its plug-in, master and configuration directory (settings file, log). Shell
// functions linked into the test itself use the same host scene.
#pragma once

#include <dlfcn.h>
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
#include "zeqtulo_own_process.h"

// When a test ends: removes the folders it made, but under ZEQ_TEST_TMP those of a failed test,
// kept for a look after the run (the system's temporary folder keeps nothing of a test, and a run
// that passes leaves nothing behind); of those, only the empty folders in them go (clutter), and
// the folder itself when nothing is left in it. It puts back the environment's XDG_CONFIG_HOME.
class ZeqTuloFolderSweeper : public ::testing::EmptyTestEventListener {
public:
    static void Add(const std::filesystem::path& folder, bool kept) {
        static ZeqTuloFolderSweeper* sweeper = [] {
            auto* made = new ZeqTuloFolderSweeper;
            ::testing::UnitTest::GetInstance()->listeners().Append(made);  // the listeners own it
            return made;
        }();
        sweeper->mFolders.emplace_back(folder, kept);
        // The plug-in's own folder where no folder on TULO_PLUG_IN_PATH fits: in the test's folder,
        // never the user's (see ZeqTuloUserDirectory).
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }

private:
    ZeqTuloFolderSweeper() {
        const char* former = std::getenv("XDG_CONFIG_HOME");
        mHadConfig = former != nullptr;
        mConfig = former ? former : "";
    }
    void OnTestEnd(const ::testing::TestInfo& test) override {
        for (const auto& [folder, kept] : mFolders) {
            std::error_code ec;
            if (!kept || !test.result()->Failed()) {
                std::filesystem::remove_all(folder, ec);
                continue;
            }
            std::vector<std::filesystem::path> inside{folder};
            for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
                if (it->is_directory(ec) && !it->is_symlink(ec)) inside.push_back(it->path());
            // The deepest first, so that a folder holding only empty ones goes too.
            for (auto at = inside.rbegin(); at != inside.rend(); ++at)
                if (std::filesystem::is_empty(*at, ec) && !ec) std::filesystem::remove(*at, ec);
        }
        // The folder they lay in, where the test was its last: ZeqTuloTestDirectory makes it again.
        for (const auto& [folder, kept] : mFolders) {
            std::error_code ec;
            if (kept) std::filesystem::remove(folder.parent_path(), ec);
        }
        mFolders.clear();
        mHadConfig ? setenv("XDG_CONFIG_HOME", mConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    }
    std::vector<std::pair<std::filesystem::path, bool>> mFolders;
    bool mHadConfig = false;
    std::string mConfig;
};

// A fresh folder of the test's own (zeqtest::MakeFreshFolder), so that runs of the suite side by
// side in one build folder never share one: ZEQ_TEST_TMP/zeqtulo/<suite>.<test>-XXXXXX, kept for a
// look after the run where the test fails; without ZEQ_TEST_TMP (a test program run directly),
// zeqtulo-<suite>.<test>-XXXXXX in the system's temporary folder, removed when the test ends.
// forOtherUsers: one the user a test becomes (zeqtest::AsUnprivileged) can reach too, under the
// system's temporary folder when ZEQ_TEST_TMP lies in a private one. It is the plug-in's own folder
// for the test too (see ZeqTuloFolderSweeper).
inline std::string ZeqTuloTestDirectory(bool forOtherUsers = false) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    const char* configured = std::getenv("ZEQ_TEST_TMP");
    const bool kept = !forOtherUsers && configured && *configured;
    std::filesystem::path directory;
    if (!kept) {
        directory = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(forOtherUsers), "zeqtulo-" + name);
    } else {
        // A test of another run in this build folder may remove zeqtulo/ as its last test folder
        // goes, between its making here and the new folder's: made again then.
        for (int attempt = 0; directory.empty(); ++attempt) {
            try {
                directory = zeqtest::MakeFreshFolder(std::filesystem::path(configured) / "zeqtulo", name);
            } catch (const std::filesystem::filesystem_error& error) {
                if (error.code() != std::errc::no_such_file_or_directory || attempt == 100) throw;
            }
        }
    }
    ZeqTuloFolderSweeper::Add(directory, kept);
    return directory.string() + "/";
}

inline std::string ZeqTuloReadFile(const std::string& path) { return zeqtest::ReadRegularFile(path); }

class ZeqTuloModuleTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        // Another user may not reach the build folder (a checkout in a private folder): they load a
        // copy of the module. It lies beside the plug-in's folder, in a folder of the test's own that
        // no one else may write, whatever a test lets others do in the plug-in's folder. The copy is
        // loaded in a process of the test's own alone (ZEQ_IN_A_PROCESS_OF_ITS_OWN): here, the
        // module as any test loads it.
        if (mForOtherUsers && zeqtulotest::InAProcessOfItsOwn()) {
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
        LoadRootsModule();
    }
    // Loads the module through the test's own link in its folder (which a test may open to the test
    // user: no name another user could put there is searched), and checks that it is that module
    // which runs.
    void LoadRootsModule() {
        std::string error;
        ASSERT_TRUE(standin::loadPlugin(mDirectory + "libzeqtulo.so", &error)) << error;
        void* loaded = ::dlopen(Module().c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(nullptr, loaded) << Module() << " is not the module that was loaded";
        ::dlclose(loaded);
    }
    void TearDown() override {
        std::string error;
        if (!standin::loadedPlugins().empty()) {
            EXPECT_TRUE(standin::unloadAllPlugins(&error)) << error;
        }
        HostTest::TearDown();
        // It may lie in the system's temporary folder, where nothing else clears it.
        if (!mOwnFolder.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(mOwnFolder, ec);
        }
        // Said after a fatal failure too: without its own process such a test has no folder of its
        // own, and its first failure is a symptom of that.
        if (mForOtherUsers && !zeqtulotest::InAProcessOfItsOwn() && !mHandedOver && !IsSkipped())
            ADD_FAILURE() << "a test that loads a copy of the module begins with ZEQ_IN_A_PROCESS_OF_ITS_OWN()";
    }

    // ZEQ_IN_A_PROCESS_OF_ITS_OWN's work: the test again, alone, in a process of its own, whose
    // outcome is this test's.
    void RunInAProcessOfItsOwn() {
        mHandedOver = true;
        const zeqtulotest::Outcome outcome = zeqtulotest::RunAlone();
        if (outcome.mKind == zeqtulotest::Outcome::kSkipped) GTEST_SKIP() << outcome.mText;
        if (outcome.mKind == zeqtulotest::Outcome::kFailed) ADD_FAILURE() << outcome.mText;
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
        return !mOwnFolder.empty() ? mOwnFolder + "module/libzeqtulo.so" : std::string(ZEQTULO_MODULE);
    }

    std::string mDirectory;
    // For another user: the fresh folder holding the module's copy and the plug-in's folder.
    std::string mOwnFolder;
    // Set by a fixture whose tests run as another user too, before SetUp; each of its tests begins
    // with ZEQ_IN_A_PROCESS_OF_ITS_OWN().
    bool mForOtherUsers = false;
    bool mHandedOver = false;
};

// Begins each test of a fixture with mForOtherUsers: the rest of the body runs in a process of the
// test's own, where the module's copy meets no other copy (its thread-local storage is static: a
// second copy in one process finds no room for it); here, that process's outcome.
#define ZEQ_IN_A_PROCESS_OF_ITS_OWN()                                        \
    if (!zeqtulotest::InAProcessOfItsOwn()) return RunInAProcessOfItsOwn()

// Runs the host program on the module (in `directory`, as its plug-in directory): exit status and
// everything it printed. A stack size in KiB other than 0 limits the program's stack to it.
inline int RunStandin(const std::string& directory, const std::string& args, std::string& output,
                      unsigned stackKiB = 0) {
    std::string out = directory + "standin.out";
    std::string cmd = (stackKiB ? "ulimit -s " + std::to_string(stackKiB) + " && " : std::string()) +
                      "TULO_PLUG_IN_PATH='" + directory + "' '" + TULO_STANDIN + "' --plugin zeqtulo " + args +
                      " > '" + out + "' 2>&1";
    int status = std::system(cmd.c_str());
    output = ZeqTuloReadFile(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
