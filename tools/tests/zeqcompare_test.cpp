// The comparison program as the main job runs it: hand-made dumps, Zeq files written here and
// take answers, against expected-difference lists; its exit status and what it names.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kplantedlinks.h"
#include "fileio/tests/scratch_root.h"
#include "fileio/tests/test_users.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "tools/comparedifferences.h"

using namespace zeqsdk_400;

namespace {

// One fresh directory per process, gone with it: ctest runs the tests of this file in parallel
// processes, which must not write each other's files.
std::string TempPath(const std::string& name) {
    return (zeqtest::ProcessScratchFolder("zeqcompare") / name).string();
}

std::string Write(const std::string& name, const std::string& text) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A named pipe nobody writes: a plain open of it for reading would wait for ever.
std::string Fifo(const std::string& name) {
    const std::string path = TempPath(name);
    ::mkfifo(path.c_str(), 0600);
    return path;
}

// Runs the program; its exit status, with what it printed in output.
int RunCompare(const std::string& args, std::string& output) {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    const std::string out = TempPath(name + ".out");
    const int status = std::system(("'" + std::string(ZEQCOMPARE) + "' " + args + " > '" + out + "' 2>&1").c_str());
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    output = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char kBefore[] =
    "units distance 6 angle 2 time 6\n"
    "node |persp|perspShape camera\n"
    "  value focalLength 35\n"
    "node |a transform\n"
    "  value translate.translateX 1\n"
    "node |gone transform\n";
// After an import: the reserved camera changed, |gone lost, noise within the tolerance.
const char kFirst[] =
    "units distance 6 angle 2 time 6\n"
    "node |persp|perspShape camera\n"
    "  value focalLength 50\n"
    "node |a transform\n"
    "  value translate.translateX 1.000001\n";

class ZeqCompareProgram : public ::testing::Test {
protected:
    void SetUp() override {
        mBefore = Write("before.dump", kBefore);
        mFirst = Write("first.dump", kFirst);
        mDumps = " --dumps '" + mBefore + "' '" + mFirst + "' '" + mFirst + "'";
    }
    std::string List(const std::string& name, const std::string& text) { return " --expected '" + Write(name, text) + "'"; }
    std::string mBefore, mFirst, mDumps, mOutput;
};

const char kBothExpected[] =
    "# the reserved camera and the lost node\n"
    "export-import camera |persp|* different * -- reserved cameras keep the host's own settings\n"
    "export-import transform |gone missing * -- the node is not exported\n";

TEST_F(ZeqCompareProgram, OnlyExpectedDifferencesPass) {
    EXPECT_EQ(RunCompare(mDumps + List("both.txt", kBothExpected), mOutput), 0) << mOutput;
    EXPECT_NE(mOutput.find("  camera                       0         1       0       0\n"), std::string::npos) << mOutput;
    EXPECT_NE(mOutput.find("  transform                    1         0       1       0\n"), std::string::npos) << mOutput;
    EXPECT_NE(mOutput.find("expected    export-import camera |persp|perspShape different [value focalLength]: "
                           "word 3: 35 != 50"),
              std::string::npos)
        << mOutput;
    EXPECT_NE(mOutput.find("line 2, 1 x: reserved cameras keep the host's own settings"), std::string::npos);
    EXPECT_NE(mOutput.find("Comparison passed: 2 difference(s), 0 unexpected"), std::string::npos);
}

TEST_F(ZeqCompareProgram, AMissingNodeNotExpectedFails) {
    EXPECT_EQ(RunCompare(mDumps + List("camera.txt", "export-import camera * * * -- reserved\n"), mOutput), 1) << mOutput;
    EXPECT_NE(mOutput.find("UNEXPECTED  export-import transform |gone missing: only before"), std::string::npos)
        << mOutput;
    EXPECT_NE(mOutput.find("Comparison FAILED: 2 difference(s), 1 unexpected"), std::string::npos);
}

TEST_F(ZeqCompareProgram, AStaleExpectedDifferenceFails) {
    const std::string list = std::string(kBothExpected) + "import-import mesh * different points -- fixed long ago\n";
    EXPECT_EQ(RunCompare(mDumps + List("stale.txt", list), mOutput), 1) << mOutput;
    EXPECT_NE(mOutput.find("STALE expected difference, line 4 (import-import mesh * different points): no longer "
                           "occurs -- fixed long ago"),
              std::string::npos)
        << mOutput;
    EXPECT_NE(mOutput.find("0 unexpected, 0 from known faults, 1 stale entry"), std::string::npos);
}

// Faults not mended yet are allowed and counted apart; an inherent entry takes precedence, and a
// known fault that no longer occurs is stale like any entry, so that its line goes once mended.
TEST_F(ZeqCompareProgram, KnownFaultsAreCountedApart) {
    EXPECT_EQ(RunCompare(mDumps + List("camera.txt", "export-import camera * * * -- reserved\n") + " --known-faults '" +
                             Write("gone.txt", "export-import transform |gone missing * -- the export drops it\n") + "'",
                         mOutput),
              0)
        << mOutput;
    EXPECT_NE(mOutput.find("KNOWN FAULT export-import transform |gone missing"), std::string::npos) << mOutput;
    EXPECT_NE(mOutput.find("Known faults met, not mended yet (line of the list, times, fault):\n  line 1, 1 x: the "
                           "export drops it"),
              std::string::npos)
        << mOutput;
    EXPECT_NE(mOutput.find("2 difference(s), 0 unexpected, 1 from known faults, 0 stale entries"), std::string::npos);
    // The camera fits both lists: the inherent entry takes it, and the known fault goes stale.
    EXPECT_EQ(RunCompare(mDumps + List("gone2.txt", "export-import transform |gone missing * -- dropped\n"
                                                     "export-import camera * * * -- reserved\n") +
                             " --known-faults '" + Write("camera-fault.txt", "export-import camera * * * -- a fault\n") +
                             "'",
                         mOutput),
              1)
        << mOutput;
    EXPECT_NE(mOutput.find("STALE known fault, line 1 (export-import camera * * *): no longer occurs -- a fault"),
              std::string::npos)
        << mOutput;
}

TEST_F(ZeqCompareProgram, EntriesOfComparisonsNotRunAreNotStale) {
    const std::string list = std::string(kBothExpected) + "files node * * * -- only when files are compared\n";
    EXPECT_EQ(RunCompare(mDumps + List("files.txt", list), mOutput), 0) << mOutput;
}

struct RefusalCase {
    const char* name;
    const char* args;  // BEFORE, LIST and MISSING stand for paths
    const char* message;
};

class ZeqCompareRefusal : public ZeqCompareProgram, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ZeqCompareRefusal, ExitsWithTwo) {
    std::string args = GetParam().args;
    const std::string paths[][2] = {{"BEFORE", mBefore},
                                    {"BADLIST", Write("bad-list.txt", "files a b c -- reason\n")},
                                    {"BADDUMP", Write("bad.dump", "Result: 1\n")},
                                    {"MISSING", TempPath("no-such-file")},
                                    {"PIPE", Fifo("dump.pipe")}};
    for (const auto& p : paths)
        for (std::size_t at; (at = args.find(p[0])) != std::string::npos;) args.replace(at, p[0].size(), "'" + p[1] + "'");
    EXPECT_EQ(RunCompare(args, mOutput), 2) << mOutput;
    EXPECT_NE(mOutput.find(GetParam().message), std::string::npos) << mOutput;
}

const RefusalCase kRefusals[] = {
    {"NothingToCompare", "--expected BEFORE", "nothing to compare"},
    {"BadList", "--expected BADLIST --dumps BEFORE BEFORE BEFORE", "bad-list.txt: line 1: needs comparison"},
    {"MissingDump", "--dumps BEFORE MISSING BEFORE", "cannot read"},
    {"DumpIsAPipe", "--dumps BEFORE PIPE BEFORE", "cannot read"},
    {"BadDump", "--dumps BEFORE BEFORE BADDUMP", "bad.dump: line 1: not a line of a scene dump"},
    {"TwoDumpsOnly", "--dumps BEFORE BEFORE", "incomplete argument \"--dumps\""},
    {"TakesWithoutFiles", "--dumps BEFORE BEFORE BEFORE --takes BEFORE", "--takes checks the first of --files"},
    {"UnreadableZeqFile", "--files MISSING MISSING", "cannot read"},
    {"BadUnits", "--files BEFORE BEFORE --units-per-second 0", "positive number"},
};
INSTANTIATE_TEST_SUITE_P(Arguments, ZeqCompareRefusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// Two Zeq files of one scene with takes "Walk" (local span 0 to 2 s, reference -1 to 3 s) and
// "Run" (1 to 1.5 s both), the second file with the comment of "Walk" changed.
class ZeqCompareFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        zeqiotest::BuildGeometryScene(manager, *scene, 2, 3);
        const struct {
            const char* mName;
            const char* mComment;
            double mLocal[2], mReference[2];
        } takes[] = {{"Walk", "steps", {0, 2}, {-1, 3}}, {"Run", "", {1, 1.5}, {1, 1.5}}};
        for (const auto& take : takes) {
            KZeqTakeInfo info;
            info.mName = take.mName;
            info.mDescription = take.mComment;
            info.mLocalTimeSpan.Set(Seconds(take.mLocal[0]), Seconds(take.mLocal[1]));
            info.mReferenceTimeSpan.Set(Seconds(take.mReference[0]), Seconds(take.mReference[1]));
            ASSERT_TRUE(scene->SetTakeInfo(info));
        }
        sFirst = Export(manager, *scene, "first.zeq");
        scene->GetTakeInfo("Walk")->mDescription = "changed";
        sSecond = Export(manager, *scene, "second.zeq");
        // Renamed so that it sorts before its sibling "Body".
        KZeqNode* group = scene->GetRootNode()->FindChild("Group", false);
        ASSERT_NE(group, nullptr);
        group->SetName("Aaa");
        sRenamed = Export(manager, *scene, "renamed.zeq");
        manager.DestroyKZeqScene(scene, true);
    }
    static KTime Seconds(double s) {
        KTime t;
        t.SetSecondDouble(s);
        return t;
    }
    static std::string Export(KZeqSdkManager& manager, KZeqScene& scene, const char* name) {
        const std::string path = TempPath(name);
        KZeqExporter exporter(manager);
        KStreamOptionsZeq options;
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
        exporter.SetExportOptionsInfo(&options);
        EXPECT_TRUE(exporter.Export(scene)) << exporter.GetLastErrorString();
        return path;
    }
    std::string Files(const std::string& a, const std::string& b) { return " --files '" + a + "' '" + b + "'"; }
    static std::string sFirst, sSecond, sRenamed;
    std::string mOutput;
};
std::string ZeqCompareFiles::sFirst, ZeqCompareFiles::sSecond, ZeqCompareFiles::sRenamed;

TEST_F(ZeqCompareFiles, AFileEqualsItself) {
    EXPECT_EQ(RunCompare(Files(sFirst, sFirst), mOutput), 0) << mOutput;
    EXPECT_NE(mOutput.find("field by field: 0 field(s) differ"), std::string::npos) << mOutput;
}

TEST_F(ZeqCompareFiles, NamesEachDifferingField) {
    EXPECT_EQ(RunCompare(Files(sFirst, sSecond), mOutput), 1) << mOutput;
    EXPECT_NE(mOutput.find("UNEXPECTED  files takeInfo takeInfo[Walk].mDescription different: 'steps' != 'changed'"),
              std::string::npos)
        << mOutput;
    const std::string list = Write("walk.txt", "files takeInfo takeInfo[Walk].mDescription different * -- edited\n");
    EXPECT_EQ(RunCompare(Files(sFirst, sSecond) + " --expected '" + list + "'", mOutput), 0) << mOutput;
}

// Nodes pair by name whatever the order the files list them in; a renamed node meets its new name
// and shifts none of its siblings.
TEST_F(ZeqCompareFiles, ARenamedNodeIsOneDifference) {
    EXPECT_EQ(RunCompare(Files(sSecond, sRenamed), mOutput), 1) << mOutput;
    EXPECT_NE(mOutput.find("files Model Model::Group.name different: 'Model::Group' != 'Model::Aaa'\n"), std::string::npos)
        << mOutput;
    EXPECT_NE(mOutput.find("field by field: 1 field(s) differ"), std::string::npos) << mOutput;
}

// The answers of the take queries, in the order the main job asks them (spans in frames of
// film), against the file.
TEST_F(ZeqCompareFiles, TakeAnswersAgainstTheFile) {
    const std::string answers = "2\nWalk\nsteps\n0\n48\n-24\n72\nRun\n\n24\n36\n24\n36.0000001\n";
    const std::string files = Files(sFirst, sFirst);
    EXPECT_EQ(RunCompare(files + " --takes '" + Write("takes.txt", answers) + "'", mOutput), 0) << mOutput;

    // Seconds rather than frames, a take left out, an answer too many.
    EXPECT_EQ(RunCompare(files + " --units-per-second 1 --takes '" + Write("takes.txt", answers) + "'", mOutput), 1);
    EXPECT_NE(mOutput.find("UNEXPECTED  takes take take[0] different [localStop]: file 2.000000, answer '48'"),
              std::string::npos)
        << mOutput;
    const std::string oneTake = answers.substr(0, answers.find("Run\n"));
    EXPECT_EQ(RunCompare(files + " --takes '" + Write("one-take.txt", oneTake) + "'", mOutput), 1);
    EXPECT_NE(mOutput.find("UNEXPECTED  takes take take[1] missing: not asked about: Run"), std::string::npos) << mOutput;
    EXPECT_EQ(RunCompare(files + " --takes '" + Write("extra.txt", answers + "more\n") + "'", mOutput), 1);
    EXPECT_NE(mOutput.find("take answers added: 1 answer(s) beyond the file's takes"), std::string::npos) << mOutput;
    EXPECT_EQ(RunCompare(files + " --takes '" + Write("count.txt", "3" + answers.substr(1)) + "'", mOutput), 1);
    EXPECT_NE(mOutput.find("take count different: file 2, answer 3"), std::string::npos) << mOutput;
}

// As root, through another user's link in a folder its group may write to a Zeq file of root's
// without a "Summary": the files compare, and root's file takes no "Summary" through the link.
TEST_F(ZeqCompareFiles, NoSummaryIsWrittenBackThroughAnotherUsersLink) {
    ZEQ_SKIP_UNLESS_ROOT("another user's link to a file of root's");
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    // Where the other user can reach the group's folder, whatever folders lie above the build.
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const zeqtest::RootsSecret roots(dir.Path());
    const std::string zeq = roots.Unmade("scene.zeq"), group = (dir.Path() / "group").string(), link = group + "/scene.zeq";
    zeqiotest::MakeZeqFile(zeq, 6000, 1, "Takes: {;Current: \"A\";Take: \"A\";}");
    ASSERT_EQ(0, ::chmod(zeq.c_str(), 0600));
    const std::string before = zeqtest::ReadFile(zeq);
    ASSERT_TRUE(zeqtest::MakeFolderOf(0, group, 0775, zeqtest::kUnprivileged));
    ASSERT_EQ(0, other.PlantLink(zeq, link));
    EXPECT_EQ(RunCompare(Files(link, link), mOutput), 0) << mOutput;
    EXPECT_TRUE(before == zeqtest::ReadFile(zeq)) << "root's file was written";
}

// The lists kept beside the program read, each entry with its reason.
TEST(ExpectedDifferencesList, InTheTreeAreWellFormed) {
    for (const char* path : {ZEQCOMPARE_EXPECTED, ZEQCOMPARE_KNOWN_FAULTS}) {
        std::ifstream in(path);
        ASSERT_TRUE(in) << path;
        std::stringstream text;
        text << in.rdbuf();
        std::vector<zeqcompare::ExpectedDifference> list;
        std::string error;
        EXPECT_TRUE(zeqcompare::ParseExpectedDifferences(text.str(), list, error)) << path << ": " << error;
        for (const auto& entry : list) EXPECT_GE(entry.mReason.size(), 20u) << path << " line " << entry.mLine << ": say why";
    }
}

}  // namespace
