#include "fileio/kfilereplacement.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfilesizelimit.h"

using namespace zeqsdk_400;
using zeqtest::ReadFile;
using zeqtest::WriteFile;
namespace fs = std::filesystem;

namespace {

class FileReplacementTest : public testing::Test {
protected:
    // The names in the directory, the target's included.
    int EntryCount() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(mDir.Path())) count += entry.path().empty() ? 0 : 1;
        return count;
    }
    // Writes text through stdio to the temporary; false when a write or the close failed.
    static bool Put(const char* path, const std::string& text) {
        std::FILE* file = std::fopen(path, "wb");
        if (!file) return false;
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        return std::fclose(file) == 0 && written;
    }

    zeqtest::TempDir mDir;
    std::string mTarget = mDir / "scene.out";
};

TEST_F(FileReplacementTest, CommitReplacesTheTargetAndKeepsItsAccessRights) {
    WriteFile(mTarget, "old content");
    ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0640));
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
    EXPECT_EQ(fs::path(mTarget).parent_path(), fs::path(replacement.GetTemporaryPath()).parent_path());
    EXPECT_EQ("old content", ReadFile(mTarget)) << "Begin touched the target";
    ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "new"));
    EXPECT_EQ("old content", ReadFile(mTarget)) << "the target changed before Commit";
    ASSERT_TRUE(replacement.Commit());
    EXPECT_EQ("new", ReadFile(mTarget));
    EXPECT_EQ(1, EntryCount()) << "a temporary was left";
    struct stat st;
    ASSERT_EQ(0, ::stat(mTarget.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_FALSE(replacement.Commit()) << "a second Commit without Begin";
}

TEST_F(FileReplacementTest, DiscardAndDestructionLeaveTheTargetAndNoTemporary) {
    WriteFile(mTarget, "keep me");
    {
        KFileReplacement replacement;
        ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
        ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "partial"));
        replacement.Discard();
        EXPECT_FALSE(replacement.IsActive());
        ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
        ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "abandoned"));
    }
    EXPECT_EQ("keep me", ReadFile(mTarget));
    EXPECT_EQ(1, EntryCount());
}

TEST_F(FileReplacementTest, ANewFileAppearsOnlyOnCommit) {
    const std::string fresh = mDir / "fresh.out";
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(fresh.c_str()));
    EXPECT_FALSE(fs::exists(fresh));
    replacement.Discard();
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(0, EntryCount());
}

TEST_F(FileReplacementTest, AWriteThatFailsIsNeverCommittedByACarefulWriter) {
    WriteFile(mTarget, "before the device filled up");
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
    bool written = true;
    {
        zeqtest::ScopedFileSizeLimit limit(16);
        written = Put(replacement.GetTemporaryPath(), std::string(100000, 'x'));
    }
    EXPECT_FALSE(written);
    replacement.Discard();
    EXPECT_EQ("before the device filled up", ReadFile(mTarget));
    EXPECT_EQ(1, EntryCount());
}

TEST_F(FileReplacementTest, RefusesWhatCannotBecomeAFile) {
    KFileReplacement replacement;
    EXPECT_FALSE(replacement.Begin(nullptr));
    EXPECT_FALSE(replacement.Begin(""));
    EXPECT_FALSE(replacement.Begin(mDir.Path().string().c_str())) << "a directory is no target";
    EXPECT_FALSE(replacement.Begin((mDir / "missing/dir/file.out").c_str()));
    EXPECT_EQ(0, EntryCount());
    // A device or pipe would become a plain file: it stays what it is.
    const std::string pipe = mDir / "pipe";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    EXPECT_FALSE(replacement.Begin(pipe.c_str()));
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(1, EntryCount());
}

// A symbolic link is followed: the file it names (through a chain, with
// relative link texts) is replaced beside itself, and the links stay links.
TEST_F(FileReplacementTest, ALinkIsFollowedAndStaysALink) {
    const fs::path real = mDir.Path() / "data" / "real.out";
    fs::create_directories(real.parent_path());
    WriteFile(real.string(), "old content");
    ASSERT_EQ(0, ::chmod(real.c_str(), 0640));
    fs::create_directories(mDir.Path() / "links");
    fs::create_symlink("../data/real.out", mDir.Path() / "links" / "second");
    fs::create_symlink("links/second", mTarget);
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str())) << replacement.GetError();
    EXPECT_EQ(fs::canonical(real), fs::path(replacement.GetFilePath()));
    EXPECT_EQ(fs::canonical(real.parent_path()), fs::canonical(fs::path(replacement.GetTemporaryPath()).parent_path()));
    ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "new"));
    ASSERT_TRUE(replacement.Commit()) << replacement.GetError();
    EXPECT_TRUE(fs::is_symlink(mTarget));
    EXPECT_TRUE(fs::is_symlink(mDir.Path() / "links" / "second"));
    EXPECT_EQ("new", ReadFile(real.string()));
    EXPECT_EQ(fs::perms(0640), fs::status(real).permissions());
    EXPECT_EQ(3, EntryCount());
    EXPECT_EQ(1, static_cast<int>(std::distance(fs::directory_iterator(real.parent_path()), {}))) << "a temporary was left";
}

// A dangling link gets the file it names, as writing through it would make it.
TEST_F(FileReplacementTest, ADanglingLinkGetsTheFileItNames) {
    const fs::path named = mDir.Path() / "named.out";
    fs::create_symlink("named.out", mTarget);
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str())) << replacement.GetError();
    EXPECT_FALSE(fs::exists(named)) << "the file appears only on Commit";
    ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "made") && replacement.Commit());
    EXPECT_TRUE(fs::is_symlink(mTarget));
    EXPECT_EQ("made", ReadFile(named.string()));
}

// A pipe, a device, a directory, a socket-like special file or a link to one
// is refused with the reason, and so is a loop of links; each is left as it
// is and nothing is made beside it.
TEST_F(FileReplacementTest, RefusesPipesDevicesDirectoriesAndLinksToThem) {
    const fs::path pipe = mDir.Path() / "pipe";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    fs::create_directory(mDir.Path() / "folder");
    fs::create_symlink(pipe, mDir.Path() / "to-pipe");
    fs::create_symlink("/dev/null", mDir.Path() / "to-device");
    fs::create_symlink("folder", mDir.Path() / "to-folder");
    fs::create_symlink("loop-b", mDir.Path() / "loop-a");
    fs::create_symlink("loop-a", mDir.Path() / "loop-b");
    const std::pair<const char*, const char*> cases[] = {
        {"pipe", "a named pipe, not a regular file"},      {"to-pipe", "a named pipe, not a regular file"},
        {"to-device", "a character device"},               {"folder", "a directory"},
        {"to-folder", "a directory"},                      {"loop-a", "too many levels of symbolic links"},
    };
    const int entries = EntryCount();
    for (const auto& [name, reason] : cases) {
        KFileReplacement replacement;
        const std::string target = (mDir.Path() / name).string();
        EXPECT_FALSE(replacement.Begin(target.c_str())) << name;
        EXPECT_NE(std::string::npos, std::string(replacement.GetError()).find(reason)) << replacement.GetError();
        EXPECT_NE(std::string::npos, std::string(replacement.GetError()).find(target)) << replacement.GetError();
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_symlink(mDir.Path() / "to-pipe") && fs::is_symlink(mDir.Path() / "to-device"));
    EXPECT_TRUE(fs::is_directory(mDir.Path() / "folder") && fs::is_empty(mDir.Path() / "folder"));
    EXPECT_EQ(entries, EntryCount());
}

// What takes the name between Begin and Commit is looked at again: a pipe
// put there is not replaced.
TEST_F(FileReplacementTest, CommitRefusesWhatTookTheNameMeanwhile) {
    WriteFile(mTarget, "old");
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
    ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "new"));
    fs::remove(mTarget);
    ASSERT_EQ(0, ::mkfifo(mTarget.c_str(), 0600));
    EXPECT_FALSE(replacement.Commit());
    EXPECT_NE(std::string::npos, std::string(replacement.GetError()).find("a named pipe")) << replacement.GetError();
    EXPECT_TRUE(fs::is_fifo(mTarget));
    EXPECT_EQ(1, EntryCount());
}

TEST_F(FileReplacementTest, BeginRemovesTemporariesOfWritersThatDied) {
    WriteFile(mTarget, "target");
    // No process has this id (pid_max is below it), so its writer died.
    const std::string stale = mTarget + ".tmp2147483646.00112233aabbccdd";
    const std::string foreign = mTarget + ".tmp" + std::to_string(::getpid()) + ".0";
    WriteFile(stale, "left by a crash");
    WriteFile(foreign, "a live writer's");
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(foreign)) << "a running writer's temporary was removed";
    replacement.Discard();
    fs::remove(foreign);
}

TEST_F(FileReplacementTest, ARelativeTargetIsTakenFromTheCurrentDirectory) {
    const fs::path saved = fs::current_path();
    fs::current_path(mDir.Path());
    KFileReplacement replacement;
    const bool begun = replacement.Begin("relative.out") && Put(replacement.GetTemporaryPath(), "here") &&
                       replacement.Commit();
    fs::current_path(saved);
    ASSERT_TRUE(begun);
    EXPECT_EQ("here", ReadFile(mDir / "relative.out"));
}

}  // namespace
