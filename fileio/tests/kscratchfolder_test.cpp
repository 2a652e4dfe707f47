// The scratch folder of benchmarks, fuzz targets and tools: private, under a name no one can
// guess, in TMPDIR, and gone with the object, with what this user put in it, or with the process
// where a signal stops it.

#include <dirent.h>
#include <grp.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "fileio/kscratchfolder.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kwaits.h"

using namespace zeqsdk_400;
namespace fs = std::filesystem;

namespace {

// TMPDIR names a fresh folder of the test's while it lives.
class ScratchFolderTest : public testing::Test {
protected:
    void SetUp() override {
        const char* former = std::getenv("TMPDIR");
        mFormer = former ? former : "";
        mHadTmpdir = former != nullptr;
        ::setenv("TMPDIR", mTemporary.Path().c_str(), 1);
    }
    void TearDown() override { mHadTmpdir ? ::setenv("TMPDIR", mFormer.c_str(), 1) : ::unsetenv("TMPDIR"); }

    std::vector<fs::path> Entries() const {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(mTemporary.Path())) entries.push_back(entry.path());
        return entries;
    }

    zeqtest::TempDir mTemporary;
    std::string mFormer;
    bool mHadTmpdir = false;
};

TEST_F(ScratchFolderTest, IsPrivateUnguessableInTmpdirAndGoesWithWhatItHolds) {
    std::set<std::string> names;
    {
        KScratchFolder first("zeq-bench"), second("zeq-bench");
        ASSERT_TRUE(first.IsOpen()) << first.GetError();
        ASSERT_TRUE(second.IsOpen()) << second.GetError();
        for (const KScratchFolder* folder : {&first, &second}) {
            const fs::path path = folder->GetPath();
            EXPECT_EQ(fs::canonical(mTemporary.Path()), path.parent_path());
            struct stat st {};
            ASSERT_EQ(0, ::lstat(path.c_str(), &st));
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(0700u, st.st_mode & 07777) << std::oct << (st.st_mode & 07777);
            EXPECT_EQ(::geteuid(), st.st_uid);
            // "zeq-bench-tmp<pid>-<16 hex digits>": 64 random bits past the prefix.
            const std::string name = path.filename().string();
            EXPECT_EQ(0u, name.rfind("zeq-bench-", 0)) << name;
            const std::string random = name.substr(name.rfind('-') + 1);
            EXPECT_EQ(16u, random.size()) << name;
            EXPECT_EQ(std::string::npos, random.find_first_not_of("0123456789abcdef")) << name;
            names.insert(name);
        }
        // What the user writes there, in subfolders too, goes with it.
        ASSERT_TRUE(KWriteWholeFile(first.PathOf("a.bin").c_str(), "abc", 3));
        ASSERT_TRUE(KCreateDirectory(first.PathOf("deeper/still").c_str()));
        ASSERT_TRUE(KWriteWholeFile(first.GetFolder(), "b.bin", "", 0));
        zeqtest::WriteFile(first.PathOf("deeper/still/c.bin"), "c");
        std::string content;
        EXPECT_TRUE(KReadWholeFile(first.PathOf("a.bin").c_str(), content));
        EXPECT_EQ("abc", content);
        EXPECT_EQ(3, KFileSize(first.PathOf("a.bin").c_str()));
        EXPECT_EQ(2u, Entries().size());
    }
    EXPECT_EQ(2u, names.size());
    EXPECT_TRUE(Entries().empty());
}

// The umask does not widen it, nor does a prefix of nothing leave it nameless.
TEST_F(ScratchFolderTest, StaysPrivateWhateverTheUmask) {
    const mode_t saved = ::umask(0);
    KScratchFolder folder("");
    ::umask(saved);
    ASSERT_TRUE(folder.IsOpen()) << folder.GetError();
    struct stat st {};
    ASSERT_EQ(0, ::lstat(folder.GetPath().c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 07777);
    EXPECT_EQ(0u, fs::path(folder.GetPath()).filename().string().rfind("zeq-", 0));
}

// TMPDIR is walked as any path is: a link to the folder gives the folder's own path; a TMPDIR
// that is missing makes no folder and says why.
TEST_F(ScratchFolderTest, TakesTmpdirsRealFolderOrSaysWhyNot) {
    const fs::path real = mTemporary.Path() / "real", link = mTemporary.Path() / "link";
    fs::create_directory(real);
    fs::create_directory_symlink(real, link);
    ::setenv("TMPDIR", link.c_str(), 1);
    {
        KScratchFolder folder("zeq-tool");
        ASSERT_TRUE(folder.IsOpen()) << folder.GetError();
        EXPECT_EQ(fs::canonical(real), fs::path(folder.GetPath()).parent_path());
    }
    EXPECT_TRUE(fs::is_empty(real));
    ::setenv("TMPDIR", (mTemporary.Path() / "missing").c_str(), 1);
    KScratchFolder none("zeq-tool");
    EXPECT_FALSE(none.IsOpen());
    EXPECT_NE(std::string(none.GetError()), "");
    EXPECT_FALSE(fs::exists(mTemporary.Path() / "missing"));
}

// Another user's file in it stays, and so does the folder holding it.
TEST_F(ScratchFolderTest, LeavesWhatIsAnotherUsers) {
    ZEQ_SKIP_UNLESS_ROOT("a file of another user");
    std::string path, theirs;
    {
        KScratchFolder folder("zeq-fuzz");
        ASSERT_TRUE(folder.IsOpen()) << folder.GetError();
        path = folder.GetPath();
        theirs = folder.PathOf("theirs");
        zeqtest::WriteFile(theirs, "x");
        ASSERT_EQ(0, ::chown(theirs.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
        zeqtest::WriteFile(folder.PathOf("mine"), "x");
    }
    EXPECT_TRUE(fs::exists(theirs));
    EXPECT_FALSE(fs::exists(fs::path(path) / "mine"));
}

}  // namespace

namespace {

// The folder a run of the tests whose process id is 1 (the first process of a process-id
// namespace of its own) makes for its first test folder of another user's reach; left as it is,
// as a run killed there leaves it. Nothing where no such namespace can be made.
std::optional<std::string> FirstFolderOfARunAsProcess1() {
    // The folder fresh folders lie in is this process's, made here: the child's would outlive it.
    zeqtest::ScratchRoot(true);
    return zeqtest::ChildAnswer([]() -> std::optional<std::string> {
        if (::unshare(CLONE_NEWPID | (zeqtest::IsRoot() ? 0 : CLONE_NEWUSER)) != 0) return std::nullopt;
        return zeqtest::ChildAnswer([]() -> std::optional<std::string> {
            if (::getpid() != 1) return std::nullopt;
            // Never removed: the process ends without its destructors.
            const auto* folder = new zeqtest::TempDir(zeqtest::TempDir::kOtherUsers);
            return folder->Path().string();
        });
    });
}

}  // namespace

// The tests' own folders where others may write (the system's temporary folder) are made fresh
// under names no one can predict: two runs with one process id never share one, and a folder
// made in advance under the name an earlier run used (another user's, open to all, holding
// their file) is never taken; the new one is this user's, empty, and others may not write in it.
TEST(TestFolders, TwoRunsWithOneProcessIdNeverShareOne) {
    const std::optional<std::string> first = FirstFolderOfARunAsProcess1();
    if (!first) GTEST_SKIP() << "no process-id namespace can be made here, for two runs with one process id";
    ASSERT_TRUE(fs::is_directory(*first)) << *first;
    if (zeqtest::IsRoot()) {
        ASSERT_EQ(0, ::chown(first->c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    }
    ASSERT_EQ(0, ::chmod(first->c_str(), 0777));
    zeqtest::WriteFile(*first + "/planted", "theirs");
    const std::optional<std::string> second = FirstFolderOfARunAsProcess1();
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*first, *second);
    struct stat st {};
    ASSERT_EQ(0, ::stat(second->c_str(), &st)) << *second;
    EXPECT_EQ(::geteuid(), st.st_uid);
    EXPECT_EQ(0755u, st.st_mode & 07777);
    EXPECT_TRUE(fs::is_empty(*second));
    EXPECT_EQ("theirs", zeqtest::ReadFile(*first + "/planted"));
    for (const std::string& left : {*first, *second}) fs::remove_all(left);
}

// A folder a test opens to the test user (everybody may write it, as tests make them) is open to
// that user alone: another user of the machine, neither root nor the test user, may neither list
// it nor put a name in it, while the test user may.
TEST(TestFolders, OpenedToTheTestUserAlone) {
    ZEQ_SKIP_UNLESS_ROOT("another user");
    const zeqtest::TempDir open(zeqtest::TempDir::kOtherUsers);
    ASSERT_EQ(0, ::chmod(open.Path().c_str(), 01777));
    const auto tries = [&](const std::string& name) {
        const bool listed = ::opendir(open.Path().c_str()) != nullptr;
        const bool made = ::mkdir((open.Path() / name).c_str(), 0755) == 0;
        return std::string(listed ? "listed " : "") + (made ? "made" : "");
    };
    const std::optional<std::string> testUser = zeqtest::AsUnprivileged(open.Path().string(), [&] { return tries("theirs"); });
    ASSERT_TRUE(testUser.has_value()) << zeqtest::NoUnprivilegedUser(open.Path().string());
    EXPECT_EQ("listed made", *testUser);
    // A user the system does not know, as any other would be.
    constexpr uid_t kAnother = 4243;
    const std::optional<std::string> another = zeqtest::ChildAnswer([&]() -> std::optional<std::string> {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kAnother, kAnother, kAnother) != 0 ||
            ::setresuid(kAnother, kAnother, kAnother) != 0)
            return std::nullopt;
        return tries("planted");
    });
    ASSERT_TRUE(another.has_value()) << "cannot become user " << kAnother;
    EXPECT_EQ("", *another);
    EXPECT_FALSE(fs::exists(open.Path() / "planted"));
}

// Stopped by SIGINT, SIGTERM or SIGHUP, a process that asked for it removes its folder, with what
// it wrote there (in subfolders too), and ends by the signal; a signal it ignores stays ignored.
// Each signal is taken as the default takes it first, whatever this process was started with (a
// program started in the background by a script ignores SIGINT).
TEST_F(ScratchFolderTest, GoesWhenTheProcessIsStopped) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        int ready[2];
        ASSERT_EQ(0, ::pipe(ready));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            ::signal(signal, SIG_DFL);
            // Ignored before: the other signals still remove the folder.
            if (signal != SIGHUP) ::signal(SIGHUP, SIG_IGN);
            KScratchFolder folder("zeq-bench");
            const bool made = folder.IsOpen() && folder.RemoveWhenStopped() &&
                              KWriteWholeFile(folder.PathOf("a.bin").c_str(), "abc", 3) &&
                              KCreateDirectory(folder.PathOf("deeper/still").c_str()) &&
                              KWriteWholeFile(folder.PathOf("deeper/still/c.bin").c_str(), "c", 1);
            if (!made || ::write(ready[1], "r", 1) != 1) ::_exit(3);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char answer = 0;
        const bool made = ::read(ready[0], &answer, 1) == 1;
        ::close(ready[0]);
        EXPECT_TRUE(made) << "the child made no folder";
        if (made) {
            EXPECT_EQ(1u, Entries().size());
            if (signal != SIGHUP) ::kill(child, SIGHUP);
            ::kill(child, signal);
        }
        int status = 0;
        ASSERT_TRUE(zeqtest::ChildEnds(child, status));
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(Entries().empty());
    }
}
