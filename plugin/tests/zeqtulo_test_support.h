// Plug-in tests. ZeqTuloModuleTest: a fresh host (HostTest: unexpected host faults and unused
// dialog answers fail the test) with the module libzeqtulo.so loaded from a directory of the test's
// own, which is its plug-in, master and configuration directory (settings file, log). Shell
// functions linked into the test itself use the same host scene.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "host_test_support.h"

// ZEQ_TEST_TMP/zeqtulo/<suite>.<test>/ (made empty): one per test, as ctest runs tests in parallel
// processes.
inline std::string ZeqTuloTestDirectory() {
    const char* tmp = std::getenv("ZEQ_TEST_TMP");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    std::string directory = std::string(tmp ? tmp : "/tmp") + "/zeqtulo/" + name + "/";
    std::system(("rm -rf '" + directory + "' && mkdir -p '" + directory + "'").c_str());
    return directory;
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
        mDirectory = ZeqTuloTestDirectory();
        ASSERT_EQ(symlink(ZEQTULO_MODULE, (mDirectory + "libzeqtulo.so").c_str()), 0);
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
    }

    // The settings file the module keeps in its directory; "" when there is none.
    std::string Settings() const { return ZeqTuloReadFile(mDirectory + "zeqplugins6.0registry.txt"); }
    // Unloads the module: its last save runs.
    void Unload() {
        std::string error;
        EXPECT_TRUE(standin::unloadPlugin("zeqtulo", &error)) << error;
    }

    std::string mDirectory;
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
