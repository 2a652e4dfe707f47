#include "io/kzequsernotification.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "base/klib.h"
#include "fileio/tests/scratch_root.h"
#include "fileio/tests/test_users.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// Records every hook and display call as text.
struct Recorder : KZeqUserNotification {
    Recorder() : KZeqUserNotification("notes.txt", "Run title") {}
    void OnAccumulatorInit() override { mCalls += "init "; }
    void OnAccumulatorClear() override { mCalls += "clear "; }
    void OnAccumulatorReady() override { mCalls += "ready "; }
    void PreTerminate() override { mCalls += "pre "; }
    bool PostTerminate() override { return mCalls += "post ", false; }
    bool OutputEntry(KZeqAccumulatorEntry* entry, bool show) override {
        return mCalls += std::string("entry ") + entry->GetLabel().Buffer() + (show ? "+ " : "- "), true;
    }
    bool OutputAllEntries(Accumulator& all, bool show) override {
        return mCalls += "all" + std::to_string(all.GetCount()) + (show ? "+ " : "- "), false;
    }
    using KZeqUserNotification::GetEntryCount, KZeqUserNotification::IsLogOpen, KZeqUserNotification::IsTerminated;
    std::string mCalls;
};

// A fresh directory of its own (tests run in parallel processes) is TMPDIR; the master directory and TMPDIR are put back afterwards.
struct KZeqUserNotificationTest : ::testing::Test {
    void SetUp() override {
        mDir = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), std::string("notes-") +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name())
                   .string() + "/";
        setenv("TMPDIR", mDir.c_str(), 1);
    }
    void TearDown() override {
        std::filesystem::remove_all(mDir), KLib_SetMasterDirectory(mMaster.c_str());
        mHadTmp ? setenv("TMPDIR", mTmp.c_str(), 1) : unsetenv("TMPDIR");  // an empty TMPDIR breaks later tests
    }
    std::string Log() { return (std::stringstream() << std::ifstream(mDir + "notes.txt").rdbuf()).str(); }
    bool mHadTmp = std::getenv("TMPDIR") != nullptr;
    std::string mTmp = mHadTmp ? std::getenv("TMPDIR") : "", mMaster = KLib_GetMasterDirectory();
    std::string mDir;
};

}  // namespace

TEST_F(KZeqUserNotificationTest, AccumulationScenario) {
    Recorder notes;
    notes.AddEntry("stale", "dropped when the accumulator opens");
    notes.InitAccumulator();
    EXPECT_EQ(mDir, KLib_GetMasterDirectory());
    EXPECT_TRUE(notes.AddEntry("L", "M") == 0 && notes.AddEntry("A", "B") == 1 && notes.AddEntry("C", "D") == 2);
    notes.AddDetail(5, KString("x"), true), notes.AddDetail(-1, KString("x"), true);
    notes.AddDetail(0, KString(""), false);  // no detail, still shown
    notes.AddDetail(0, KString("D1"), true), notes.AddDetail(0, KString("D2"), true);
    KZeqSdkManager manager;
    notes.AddDetail(1, manager.CreateKZeqNode("Arm"), false), notes.AddDetail(1, (KZeqNode*)nullptr, false);
    EXPECT_TRUE(notes.Output(0, true));  // shown, not logged
    EXPECT_FALSE(notes.Output(-1, false));
    notes.ClearAccumulator();
    EXPECT_EQ("init ready entry L- entry L+ entry L+ entry A- entry L+ all3+ pre clear post ", notes.mCalls);
    EXPECT_FALSE(notes.GetEntryCount() || notes.IsTerminated() || notes.IsLogOpen());
    const std::string log = Log(), tail = "Run title\n\n\t[L] M D1\n\t[L] M D2\n\t[A] B Model::Arm\n";
    EXPECT_TRUE(log.find("\n\nDate: ") == 0 && log.find(tail) + tail.size() == log.size()) << log;
}

// Without hooks of its own past the required ones, a cleared accumulator counts as terminated.
TEST_F(KZeqUserNotificationTest, TheBaseTerminationAnswersTrue) {
    struct Plain : KZeqUserNotification {
        Plain() : KZeqUserNotification("plain.txt", "Plain") {}
        void OnAccumulatorInit() override {}
        void OnAccumulatorClear() override {}
        void OnAccumulatorReady() override {}
        void PreTerminate() override {}
        bool OutputEntry(KZeqAccumulatorEntry*, bool) override { return true; }
        bool OutputAllEntries(Accumulator&, bool) override { return true; }
        using KZeqUserNotification::IsTerminated;
    } notes;
    notes.InitAccumulator();
    EXPECT_FALSE(notes.IsTerminated());
    notes.ClearAccumulator();
    EXPECT_TRUE(notes.IsTerminated());
}

TEST_F(KZeqUserNotificationTest, NoLogLinesWhileClosedNoFileWithoutLinesAndAnOpenLogIsWritten) {
    auto notes = std::make_unique<Recorder>();
    notes->AddEntry("L", "M");
    notes->AddDetail(0, KString("D"), true), notes->Output(-1, false);  // nothing open: shown only
    notes->InitAccumulator(), notes->ClearAccumulator();
    EXPECT_FALSE(std::filesystem::exists(mDir + "notes.txt"));
    setenv("TMPDIR", ("/" + std::string(1100, 'd')).c_str(), 1);  // too long: the master directory stays
    notes->InitAccumulator(), notes->AddEntry("L", "M");
    notes->AddDetail(0, KString("left open"), true), notes->Output(0, false);
    EXPECT_EQ("entry L+ all1+ init ready pre clear post init ready entry L+ entry L+ ", notes->mCalls);
    notes.reset();  // destroyed open
    EXPECT_NE(std::string::npos, Log().find("\t[L] M left open\n"));
}

// The log a run appends to keeps no set-user-ID or set-group-ID bit, whatever its mode was: a
// program under its name would stay one with the log's lines in it. The system clears them on a
// write only for a writer without the right to keep them, and root has it: only root tells.
TEST_F(KZeqUserNotificationTest, ALogAppendedToKeepsNoSetIdBit) {
    ZEQ_SKIP_UNLESS_ROOT("a writer the system leaves set-user-ID bits to");
    const std::string log = mDir + "notes.txt";
    std::ofstream(log) << "before\n";
    ASSERT_EQ(0, ::chmod(log.c_str(), 06755));
    Recorder notes;
    notes.InitAccumulator();
    notes.AddEntry("L", "M");
    notes.AddDetail(0, KString("logged"), true);
    notes.Output(0, false);
    notes.ClearAccumulator();
    struct stat st {};
    ASSERT_EQ(0, ::stat(log.c_str(), &st));
    EXPECT_EQ(0755u, st.st_mode & 07777);
    EXPECT_EQ(0u, Log().find("before\n\n\nDate: ")) << Log();
    EXPECT_NE(std::string::npos, Log().find("\t[L] M logged\n")) << Log();
}
