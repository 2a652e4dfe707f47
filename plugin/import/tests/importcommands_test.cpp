// ZEQImport, ZEQRead and the take queries through the module, on files the SDK writes.
#include "importtest_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/ktime.h"
#include "fileio/tests/kpipewatchdog.h"
#include "fileio/tests/kunixsocket.h"
#include "io/kzeqexporter.h"
#include "io/tests/zeqgeometryscene.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

// Two takes: "Walk" (keys 1 s to 3 s on a node, commented) and "Run" (keys 0.5 s to 2 s).
void TwoTakes(KZeqSdkManager& manager, KZeqScene& scene) {
    KZeqNode* node = AddNode(manager, scene.GetRootNode(), "box");
    for (const char* take : {"Walk", "Run"}) scene.CreateTake(take);
    node->SetCurrentTakeNode("Walk");
    Key(node->GetCurrentTakeNode()->GetTranslationX(), 1.0, 0.0f);
    Key(node->GetCurrentTakeNode()->GetTranslationX(), 3.0, 5.0f);
    node->SetCurrentTakeNode("Run");
    Key(node->GetCurrentTakeNode()->GetTranslationY(), 0.5, 0.0f);
    Key(node->GetCurrentTakeNode()->GetTranslationY(), 2.0, 1.0f);
    node->SetCurrentTakeNode(0);
    KZeqTakeInfo walk, run;
    walk.mName = "Walk", walk.mDescription = "slow steps";
    walk.mLocalTimeSpan = KTimeSpan(KTime::OneSecond(), KTime(KTime::OneSecond().Get() * 3));
    walk.mReferenceTimeSpan = KTimeSpan(KTime(0), KTime(KTime::OneSecond().Get() * 4));
    run.mName = "Run";
    run.mLocalTimeSpan = KTimeSpan(KTime(KTime::OneSecond().Get() / 2), KTime(KTime::OneSecond().Get() * 2));
    run.mReferenceTimeSpan = run.mLocalTimeSpan;
    scene.SetTakeInfo(walk), scene.SetTakeInfo(run);
    scene.SetCurrentTake("Walk");
}

using CommandsTest = ZeqTuloImportTest;

// The queries answer from the file ZEQRead opened; time spans in the UI time unit.
TEST_F(CommandsTest, TakeQueriesUnderTwoTimeUnits) {
    const std::string file = Write("takes", TwoTakes);
    std::string result;
    ASSERT_TRUE(Run("ZEQRead \"" + file + "\"", &result));
    EXPECT_EQ(result, "1");
    ASSERT_TRUE(Run("ZEQGetTakeCount", &result));
    EXPECT_EQ(result, "2");
    ASSERT_TRUE(Run("ZEQGetTakeIndex \"Run\"", &result));
    EXPECT_EQ(result, "1");
    ASSERT_TRUE(Run("ZEQGetTakeIndex \"Jump\"", &result));
    EXPECT_EQ(result, "-1");
    ASSERT_TRUE(Run("ZEQGetTakeName 0", &result));
    EXPECT_EQ(result, "Walk");
    ASSERT_TRUE(Run("ZEQGetTakeComment 0", &result));
    EXPECT_EQ(result, "slow steps");
    ASSERT_TRUE(Run("ZEQGetTakeComment 1", &result));
    EXPECT_EQ(result, "");

    // 24 frames a second (the test's default unit), then 30.
    ASSERT_TRUE(Run("ZEQGetTakeLocalTimeSpan 0 -start", &result));
    EXPECT_EQ(result, "24");
    ASSERT_TRUE(Run("ZEQGetTakeLocalTimeSpan 0 -stop", &result));
    EXPECT_EQ(result, "72");
    ASSERT_TRUE(Run("ZEQGetTakeReferenceTimeSpan 0 -stop", &result));
    EXPECT_EQ(result, "96");
    standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, TTime::kNTSCFrame);
    ASSERT_TRUE(Run("ZEQGetTakeLocalTimeSpan 1 -start", &result));
    EXPECT_EQ(result, "15");
    ASSERT_TRUE(Run("ZEQGetTakeReferenceTimeSpan 1 -stop", &result));
    EXPECT_EQ(result, "60");
}

// Misuse: syntax errors, bad indices, no file read; each fails and names the problem.
TEST_F(CommandsTest, MisuseFailsWithItsReason) {
    EXPECT_FALSE(Run("ZEQGetTakeCount"));
    EXPECT_TRUE(transcribed("ZEQGetTakeCount: no file is open"));
    EXPECT_FALSE(Run("ZEQRead \"" + mDirectory + "missing.zeq\""));
    EXPECT_FALSE(Run("ZEQRead"));
    EXPECT_TRUE(transcribed("Use syntax: ZEQRead [-f] <file>"));
    const std::string file = Write("takes", TwoTakes);
    ASSERT_TRUE(Run("ZEQRead -f \"" + file + "\""));
    EXPECT_FALSE(Run("ZEQGetTakeName 2"));
    EXPECT_TRUE(transcribed("ZEQGetTakeName: take index 2 out of range (the file has 2 takes)"));
    EXPECT_FALSE(Run("ZEQGetTakeName x"));
    EXPECT_FALSE(Run("ZEQGetTakeLocalTimeSpan 0"));
    EXPECT_FALSE(Run("ZEQGetTakeLocalTimeSpan 0 -middle"));
    EXPECT_FALSE(Run("ZEQImport"));
    EXPECT_TRUE(transcribed("Use syntax: ZEQImport -f <file>"));
    EXPECT_FALSE(Run("ZEQImport -f \"" + file + "\" -bogus 1"));
    EXPECT_FALSE(Run("ZEQImport -f \"" + file + "\" -take 5"));
    EXPECT_TRUE(transcribed("ZEQImport: take index 5 out of range (the file has 2 takes)"));
    EXPECT_EQ(HostPath("box"), "");  // nothing imported by the refused commands
}

// The take chosen sets the playback range from its keys. Without a take the import brings no
// animation, and a file without takes has none to bring: the range stays that of the new scene
// (0 to 1 s; merged imports keep the open scene's, see the pass's tests).
TEST_F(CommandsTest, ImportSetsThePlaybackRangeFromTheTake) {
    const std::string file = Write("takes", TwoTakes);
    ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\" -take 1"));
    EXPECT_DOUBLE_EQ(TAnimControl::minTime().as(TTime::kSeconds), 0.5);
    EXPECT_DOUBLE_EQ(TAnimControl::maxTime().as(TTime::kSeconds), 2.0);
    EXPECT_DOUBLE_EQ(TAnimControl::currentTime().as(TTime::kSeconds), 0.5);
    EXPECT_EQ(HostPath("box"), "|box");

    const std::string still = Write("still", [](KZeqSdkManager& manager, KZeqScene& scene) {
        AddNode(manager, scene.GetRootNode(), "statue")->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    });
    for (const std::string& command : {"ZEQImport -f \"" + file + "\" -caller \"ZEQTuloTranslator\"",
                                       "ZEQImport -f \"" + still + "\""}) {
        ASSERT_TRUE(Run(command));
        EXPECT_DOUBLE_EQ(TAnimControl::minTime().as(TTime::kSeconds), 0.0) << command;
        EXPECT_DOUBLE_EQ(TAnimControl::maxTime().as(TTime::kSeconds), 1.0) << command;
    }
    EXPECT_EQ(HostPath("statue"), "|statue");
    EXPECT_EQ(Log(), "");  // nothing to report: no log written
}

// A file that cannot be read: failure, its error in the log, the host scene as it was.
TEST_F(CommandsTest, AFileThatCannotBeReadLeavesTheScene) {
    const std::string before = standin::dump();
    const std::string file = mDirectory + "broken.zeq";
    std::ofstream(file) << "not a Zeq file at all";
    EXPECT_FALSE(Run("ZEQImport -f \"" + file + "\""));
    EXPECT_EQ(standin::dump(), before);
    EXPECT_NE(Log().find("File import: " + file), std::string::npos) << Log();
}

// A file that cannot be read answers why, with its path and the system's reason, before any take
// check ("the file has 0 takes" would blame the take); the log says the same.
TEST_F(CommandsTest, AnUnreadableFileSaysWhyBeforeTheTakeCheck) {
    std::ofstream(mDirectory + "plain.txt") << "text";
    std::ofstream(mDirectory + "broken.zeq") << "not a Zeq file at all";
    std::filesystem::create_directory(mDirectory + "folder.zeq");
    std::string error;
    ASSERT_TRUE(WriteSceneAs(mDirectory + "locked.zeq", TwoTakes, KZeqExporter::eZEQ_ENCRYPTED, &error, "secret"))
        << error;
    const std::pair<std::string, std::string> cases[] = {
        {"missing/none.zeq", "File not opened: " + mDirectory + "missing/none.zeq (No such file or directory)"},
        {"plain.txt/x.zeq", "File not opened: " + mDirectory + "plain.txt/x.zeq (Not a directory)"},
        {"folder.zeq", "File not opened: " + mDirectory + "folder.zeq (Is a directory)"},
        {"broken.zeq", "File is corrupted: " + mDirectory + "broken.zeq"},
        {"locked.zeq", "File is password-protected, and the plug-in reads no password-protected file (no command "
                       "takes a password): " + mDirectory + "locked.zeq"},
    };
    for (const auto& [name, message] : cases) {
        for (const char* take : {" -take 1", ""}) {
            standin::clearTranscript();
            EXPECT_FALSE(Run("ZEQImport -f \"" + mDirectory + name + "\"" + take)) << name << take;
            EXPECT_TRUE(transcribed("ZEQImport: " + message)) << name << take;
            EXPECT_FALSE(transcribed("out of range")) << name << take;
        }
        // The import's log says it as the host's output does.
        EXPECT_NE(Log().find("\t" + message + "\n"), std::string::npos) << Log();
        // The takes of a protected file can be read without its password.
        if (name == "locked.zeq") continue;
        standin::clearTranscript();
        EXPECT_FALSE(Run("ZEQRead \"" + mDirectory + name + "\"")) << name;
        EXPECT_TRUE(transcribed("ZEQRead: " + message)) << name;
    }
}

// A named pipe or a socket, or a link to one, is refused at once (a plain open would wait for a
// pipe's writer), and the message says what the path names.
TEST_F(CommandsTest, APipeOrASocketIsRefusedAtOnce) {
    const std::string pipe = mDirectory + "pipe.zeq", link = mDirectory + "link.zeq";
    const std::string socket = mDirectory + "socket.zeq", toSocket = mDirectory + "to-socket.zeq";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(pipe.c_str(), link.c_str()), 0);
    const zeqtest::BoundUnixSocket bound(socket);
    ASSERT_TRUE(bound.IsBound()) << socket;
    ASSERT_EQ(::symlink(socket.c_str(), toSocket.c_str()), 0);
    const std::string real = std::filesystem::canonical(pipe).string();
    const std::string realSocket = std::filesystem::canonical(socket).string();
    const std::pair<std::string, std::string> cases[] = {
        {pipe, "(\"" + pipe + "\" is not read: it is a named pipe, not a regular file)"},
        {link, "(\"" + link + "\" is not read: it links to \"" + real + "\", a named pipe, not a regular file)"},
        {socket, "(\"" + socket + "\" is not read: it is a socket, not a regular file)"},
        {toSocket,
         "(\"" + toSocket + "\" is not read: it links to \"" + realSocket + "\", a socket, not a regular file)"},
    };
    for (const auto& [path, reason] : cases) {
        for (const std::string command : {"ZEQImport -f", "ZEQRead -f"}) {
            standin::clearTranscript();
            EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] { EXPECT_FALSE(Run(command + " \"" + path + "\"")); }))
                << command << " " << path;
            EXPECT_TRUE(transcribed(command.substr(0, command.find(' ')) + ": File not opened: " + path + " " + reason))
                << command << " " << path;
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

// A file named without an extension is read as it is; ".zeq" is added only when no such file is
// there (and a pipe of that name is refused as itself).
TEST_F(CommandsTest, AFileWithoutAnExtensionIsReadAsNamed) {
    const std::string file = Write("takes", TwoTakes), plain = mDirectory + "plain";
    std::filesystem::copy_file(file, plain);
    std::string result;
    ASSERT_TRUE(Run("ZEQRead -f \"" + plain + "\"", &result));
    EXPECT_EQ(result, "1");
    ASSERT_TRUE(Run("ZEQGetTakeCount", &result));
    EXPECT_EQ(result, "2");
    ASSERT_TRUE(Run("ZEQImport -f \"" + plain + "\""));
    EXPECT_EQ(HostPath("box"), "|box");
    ASSERT_TRUE(Run("ZEQRead -f \"" + mDirectory + "takes\"", &result));  // takes.zeq
    const std::string pipe = mDirectory + "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    standin::clearTranscript();
    EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] { EXPECT_FALSE(Run("ZEQRead \"" + pipe + "\"")); }));
    EXPECT_TRUE(transcribed("ZEQRead: File not opened: " + pipe + " (\"" + pipe + "\" is not read: it is a named pipe"));
}

// A word where a flag belongs is named; "-f" without its file says that a file is needed.
TEST_F(CommandsTest, MisplacedArgumentsAreNamed) {
    const std::string file = Write("takes", TwoTakes);
    EXPECT_FALSE(Run("ZEQImport \"" + file + "\""));
    EXPECT_TRUE(transcribed("ZEQImport: unknown argument " + file));
    EXPECT_FALSE(transcribed("a flag without its value"));
    EXPECT_FALSE(Run("ZEQImport -f \"" + file + "\" -take"));
    EXPECT_TRUE(transcribed("ZEQImport: a flag without its value"));
    EXPECT_FALSE(Run("ZEQRead -f"));
    EXPECT_TRUE(transcribed("ZEQRead: needs a file after -f"));
    EXPECT_FALSE(transcribed("File not opened"));
    EXPECT_EQ(HostPath("box"), "");
}

}  // namespace

namespace {

// The host program, strict: a whole scene (meshes, cameras, lights, a skinned surface, poses,
// characters) read, queried and imported into a new scene without a host fault.
TEST_F(CommandsTest, TheHostProgramImportsStrictly) {
    const std::string file = Write("whole", [](KZeqSdkManager& m, KZeqScene& s) {
        zeqiotest::BuildGeometryScene(m, s, 3, 2);
        zeqiotest::AddCamerasLightsSurfacesPosesAndCharacters(m, s);
    });
    std::string output;
    const int status = RunStandin(mDirectory, "--strict -c 'ZEQImportShowUI 0' -c 'ZEQRead \"" + file +
                                                  "\"' -c 'ZEQGetTakeCount' -c 'ZEQGetTakeName 0' -c 'file -f -new' "
                                                  "-c 'ZEQImport -f \"" + file + "\" -take 0' -c 'standin_dump'",
                                  output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("// Result: 2"), std::string::npos) << output;
    EXPECT_NE(output.find("// Result: Walk"), std::string::npos) << output;
    EXPECT_NE(output.find("mesh"), std::string::npos);
    EXPECT_NE(output.find("camera"), std::string::npos);
    EXPECT_NE(output.find("spotLight"), std::string::npos) << output;
}

}  // namespace

namespace {

// ---- Hierarchies as deep as the SDK reads, through the host program

// The name of a chain's node at the level, counted from the deepest: "n00000" is the deepest, so
// that it comes first in name order and the geometry pass makes the whole chain above it first.
std::string Level(int fromDeepest) {
    char name[16];
    std::snprintf(name, sizeof name, "n%05d", fromDeepest);
    return name;
}

// A chain of nulls down from the scene root, each under the one before; the deepest stands at x 7.
void Chain(KZeqSdkManager& manager, KZeqScene& scene, int depth) {
    KZeqNode* parent = scene.GetRootNode();
    for (int i = depth - 1; i >= 0; --i) parent = AddNode(manager, parent, Level(i).c_str());
    parent->SetDefaultT(KZeqVector4(7, 0, 0, 0));
}

// A bind pose of the chain's deepest and top nodes: the pass puts its records in tree order.
void BindPose(KZeqSdkManager& manager, KZeqScene& scene, int depth) {
    KZeqPose* pose = manager.CreateKZeqPose("Pose", true);
    const KZeqMatrix at(KZeqVector4(7, 0, 0, 0), KZeqVector4(0, 0, 0, 0), KZeqVector4(1, 1, 1, 0));
    pose->Add(("Model::" + Level(0)).c_str(), at, false);
    pose->Add(("Model::" + Level(depth - 1)).c_str(), KZeqMatrix(), false);
    scene.AddPose(pose);
}

// The host's own camera with a chain as deep below it: the pass leaves it out with its subtree.
void HostCameraChain(KZeqSdkManager& manager, KZeqScene& scene, int depth) {
    KZeqNode* parent = AddNode(manager, scene.GetRootNode(), "persp", "camera");
    for (int i = 0; i < depth; ++i) parent = AddNode(manager, parent, ("p" + std::to_string(i)).c_str());
}

struct DepthCase {
    const char* name;
    int depth;
    unsigned stackKiB;  // the host program's stack; 0: the usual one
    bool oldVersion;    // a 5.x text file, made a 5.5 one: the import's road for old files
    const char* settings;  // the settings file the module starts with
    const char* options;   // option commands before the import
    bool twice;            // imported again onto the host nodes of the first import (merge mode)
    void (*extra)(KZeqSdkManager&, KZeqScene&, int);
};

// Every walk of the import, the module and the host goes without recursion: a chain of 30,000
// levels imports with the usual stack, and chains of 10,000 take the roads of merging, the
// options, bind poses and old files with a stack of a quarter megabyte. A walk recursing once per
// level overflows that within a few thousand levels: it stands for chains far deeper than the
// test has the time to write and read (100,000 levels take some 45 s with the sanitizers).
class DeepHierarchies : public ZeqTuloImportTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(DeepHierarchies, ImportWithTheDeepestNodeUnderItsParent) {
    const DepthCase& c = GetParam();
    const std::string file = mDirectory + "chain.zeq";
    std::string error;
    ASSERT_TRUE(WriteSceneAs(file, [&c](KZeqSdkManager& manager, KZeqScene& scene) {
        Chain(manager, scene, c.depth);
        if (c.extra) c.extra(manager, scene, c.depth);
    }, c.oldVersion ? KZeqExporter::eZEQ_5_ASCII : KZeqExporter::eZEQ_BINARY, &error)) << error;
    if (c.oldVersion) {
        std::string text = ZeqTuloReadFile(file);
        for (const char* mark : {"@Zeq: 5800", "@Section: 5800"}) {
            const std::size_t at = text.find(mark);
            ASSERT_NE(at, std::string::npos) << mark;
            text.replace(at + std::strlen(mark) - 4, 4, "5500");
        }
        std::ofstream(file) << text;
    }
    std::ofstream(mDirectory + "zeqplugins6.0registry.txt") << "[Tulo60]\n" << c.settings;

    const std::string deepest = "\"" + Level(1) + "|" + Level(0) + ".translateX\"";
    const std::string import = " -c 'ZEQImport -f \"" + file + "\"'";
    std::string script = std::string("--strict -c 'ZEQImportShowUI 0' ") + c.options + import;
    // Moved between the imports: the merge gives it the file's place again.
    if (c.twice) script += " -c 'setAttr " + deepest + " 1'" + import;
    std::string output;
    const int status = RunStandin(mDirectory, script + " -c 'getAttr " + deepest + "'", output, c.stackKiB);
    std::filesystem::remove(file);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("// Result: 7\n"), std::string::npos) << output;
}

const DepthCase kDepths[] = {
    {"Chain30000", 30000, 0, false, "", "", false, nullptr},
    {"MergedWithOptionsAndBindPose", 10000, 256, false, "kImportLoadMode = kMerge\n",
     "-c 'ZEQImportHardEdges 1' -c 'ZEQImportConvertDeformingNullsToJoint 1'", true, BindPose},
    {"OldFileNullsToPivotWithHostCamera", 10000, 256, true, "kImportNullsToPivot = true\n", "", false,
     HostCameraChain},
    {"OldFileMerged", 10000, 256, true, "kImportLoadMode = kMerge\n", "", false, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Commands, DeepHierarchies, ::testing::ValuesIn(kDepths), CaseName());

}  // namespace
