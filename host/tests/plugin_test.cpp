// The plug-in shell end to end: a small plug-in library loaded, its command and translator run
// through scripts, unloaded; and the host program around it.
#include "host_test_support.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fileio/tests/scratch_root.h"
#include "fileio/tests/test_users.h"

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

// Code another user placed would run as the one running the host: a file of theirs under a plug-in's
// name, a link of theirs there, or root's link to their file, is passed over (a named pipe too, which
// would hold the load), and the host says which file and why; the search goes on to root's own link
// to root's library, which is the one that runs.
class PluginOwnerTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ZEQ_SKIP_UNLESS_ROOT("another user's plug-in files");
        folder = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "plugin-owners").string() + "/";
        theirs = folder + "theirs/";
        ASSERT_EQ(0, ::mkdir(theirs.c_str(), 0755));
        ASSERT_TRUE(copy(TULO_TEST_PLUGIN, theirs + "copy.so"));
        ASSERT_EQ(0, ::chown((theirs + "copy.so").c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
        setenv("TULO_PLUG_IN_PATH", folder.substr(0, folder.size() - 1).c_str(), 1);
        setenv("TULO_TEST_PLUGIN_LOG", "/dev/null", 1);
    }
    void TearDown() override {
        if (!standin::loadedPlugins().empty()) {
            EXPECT_TRUE(standin::unloadAllPlugins());
        }
        HostTest::TearDown();
        std::error_code ec;
        if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }
    static bool copy(const std::string& from, const std::string& to) {
        std::ifstream in(from, std::ios::binary);
        std::ofstream out(to, std::ios::binary);
        return static_cast<bool>(out << in.rdbuf());
    }
    // Whether the library at path is the one loaded in this process (compared as a file).
    static bool Loaded(const std::string& path) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle) ::dlclose(handle);
        return handle != nullptr;
    }
    std::string folder, theirs;
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
        {"a named pipe", [&] { return ::mkfifo(name.c_str(), 0644) == 0; },
         "the plug-in file \"" + name + "\" is not loaded: it is no regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        standin::clearTranscript();
        ASSERT_TRUE(c.plant());
        std::string error;
        ASSERT_TRUE(standin::loadPlugin("tulo_test_plugin", &error)) << error;
        EXPECT_TRUE(transcribed("// Warning: " + c.said));
        EXPECT_TRUE(Loaded(TULO_TEST_PLUGIN));
        EXPECT_FALSE(Loaded(theirs + "copy.so"));
        EXPECT_TRUE(standin::unloadAllPlugins());
        // Where nothing else is found, the load fails with the reason; by path too.
        ASSERT_EQ(0, ::rename(name.c_str(), second.c_str()));
        ASSERT_EQ(0, ::unlink(roots.c_str()));
        EXPECT_FALSE(standin::loadPlugin("tulo_test_plugin", &error));
        EXPECT_NE(std::string::npos, error.find(" is not loaded: ")) << error;
        EXPECT_NE(std::string::npos, error.find(second)) << error;
        EXPECT_FALSE(standin::loadPlugin(second, &error));
        EXPECT_NE(std::string::npos, error.find("\"" + second + "\" is not loaded: ")) << error;
        EXPECT_TRUE(standin::loadedPlugins().empty());
        ASSERT_EQ(0, ::unlink(second.c_str()));
        ASSERT_EQ(0, ::symlink(TULO_TEST_PLUGIN, roots.c_str()));
    }
    EXPECT_FALSE(Loaded(theirs + "copy.so"));
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
