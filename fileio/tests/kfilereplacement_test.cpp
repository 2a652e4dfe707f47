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
