#include "fileio/kfilereplacement.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "fileio/tests/kfilesizelimit.h"
#include "fileio/tests/kfolderlockholder.h"
#include "fileio/tests/kotheruseract.h"

using namespace zeqsdk_400;
using zeqtest::AccessOf;
using zeqtest::AttributeOf;
using zeqtest::ReadFile;
using zeqtest::SetAcl;
using zeqtest::SetAttribute;
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

    // Writes text through the stream on the temporary; false when a write or the close failed.
    static bool Write(KFileReplacement& replacement, const std::string& text) {
        std::FILE* file = replacement.OpenStream("wb");
        if (!file) return false;
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        return std::fclose(file) == 0 && written;
    }

    static mode_t ModeOf(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    // Last changed two days ago.
    static void MakeOld(const std::string& path) {
        const struct timespec times[2] = {{::time(nullptr) - 2 * 24 * 3600, 0}, {::time(nullptr) - 2 * 24 * 3600, 0}};
        ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW)) << path;
    }

    // Tests here run as another user too.
    zeqtest::TempDir mDir{zeqtest::TempDir::kOtherUsers};
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

// Only names of exactly the temporaries' form go, and only those no writer holds
// that have not changed for a day (a writer on another machine may hold a lock
// not seen here); a process id says nothing, in a folder shared between machines
// or containers.
TEST_F(FileReplacementTest, BeginRemovesOnlyTemporariesNoWriterCanStillWrite) {
    WriteFile(mTarget, "target");
    const std::string dead = mTarget + ".tmp2147483646.00112233aabbccdd";
    const std::string ownId = mTarget + ".tmp" + std::to_string(::getpid()) + ".0123456789abcdef";
    const std::string recent = mTarget + ".tmp2147483645.00112233aabbccdd";
    const std::vector<std::string> users = {
        mTarget + ".tmp999999.keep",          mTarget + ".tmp4000000.bak",
        mTarget + ".tmp12.00112233AABBCCDD",   mTarget + ".tmp12.0011223344556",
        mTarget + ".tmp12.00112233aabbccdd.x", mTarget + ".tmp.00112233aabbccdd",
        mTarget + ".tmp012.00112233aabbccdd",
    };
    for (const std::string& name : users) WriteFile(name, "the user's");
    for (const std::string& name : {dead, ownId, recent}) WriteFile(name, "left by a writer");
    const std::string folder = mTarget + ".tmp77.00112233aabbccdd";
    fs::create_directory(folder);
    KFileReplacement live;
    ASSERT_TRUE(live.Begin(mTarget.c_str()));
    for (const std::string& name : users) MakeOld(name);
    for (const std::string& name : {dead, ownId, folder, std::string(live.GetTemporaryPath())}) MakeOld(name);

    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(ownId)) << "no writer holds it, whatever its process id";
    EXPECT_TRUE(fs::exists(recent)) << "changed lately: a writer elsewhere may still write it";
    EXPECT_TRUE(fs::exists(live.GetTemporaryPath())) << "a running writer's temporary was removed";
    EXPECT_TRUE(fs::is_directory(folder));
    for (const std::string& name : users) EXPECT_EQ("the user's", ReadFile(name)) << name;
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

// While it is written the temporary is its writer's alone, whatever the umask;
// once complete it takes the file's permission bits, and a new file gets what
// the umask allows.
TEST_F(FileReplacementTest, PrivateWhileWrittenThenTheFilesModeWhateverTheUmask) {
    const mode_t saved = ::umask(022);
    for (const mode_t mode : {0600, 0640, 0664, 0606}) {
        WriteFile(mTarget, "old");
        ASSERT_EQ(0, ::chmod(mTarget.c_str(), mode));
        KFileReplacement replacement;
        ASSERT_TRUE(replacement.Begin(mTarget.c_str())) << replacement.GetError();
        EXPECT_EQ(0600u, ModeOf(replacement.GetTemporaryPath())) << std::oct << mode;
        ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "new") && replacement.Commit());
        EXPECT_EQ(mode, ModeOf(mTarget)) << std::oct << mode;
    }
    for (const mode_t mask : {027, 0}) {
        ::umask(mask);
        const std::string fresh = mDir / ("fresh" + std::to_string(mask) + ".out");
        KFileReplacement replacement;
        const bool begun = replacement.Begin(fresh.c_str());
        const mode_t during = ModeOf(replacement.GetTemporaryPath());
        const bool done = begun && Put(replacement.GetTemporaryPath(), "new") && replacement.Commit();
        ::umask(saved);
        ASSERT_TRUE(done);
        EXPECT_EQ(0600u, during) << std::oct << mask;
        EXPECT_EQ(0666u & ~mask, ModeOf(fresh)) << std::oct << mask;
    }
}

// Root replacing a user's file leaves it the user's, once complete (until then
// it is root's alone), with its bits, set after the owner, but for the
// set-user-ID and set-group-ID bits, which no file written gets (04755 gives
// 0755, 02750 gives 0750).
TEST_F(FileReplacementTest, RootKeepsTheOwnerAndGroup) {
    ZEQ_SKIP_UNLESS_ROOT("giving a file to another user");
    const auto theUsers = [](const std::string& path, mode_t mode) -> testing::AssertionResult {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return testing::AssertionFailure() << path << " is missing";
        if (st.st_uid == zeqtest::kUnprivileged && st.st_gid == zeqtest::kUnprivileged && (st.st_mode & 07777) == mode)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << path << ": " << st.st_uid << ":" << st.st_gid << " " << std::oct
                                           << (st.st_mode & 07777);
    };
    for (const mode_t mode : {0640, 04755, 02750}) {
        WriteFile(mTarget, "the user's");
        ASSERT_EQ(0, ::chown(mTarget.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
        ASSERT_EQ(0, ::chmod(mTarget.c_str(), mode));
        KFileReplacement replacement;
        ASSERT_TRUE(replacement.Begin(mTarget.c_str())) << replacement.GetError();
        struct stat during {};
        ASSERT_EQ(0, ::stat(replacement.GetTemporaryPath(), &during));
        EXPECT_EQ(0u, during.st_uid);
        EXPECT_EQ(0600u, during.st_mode & 07777);
        ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "root's") && replacement.Commit());
        EXPECT_TRUE(theUsers(mTarget, mode & 0777));
        EXPECT_EQ("root's", ReadFile(mTarget));
    }
}

// No file written gets the set-user-ID or set-group-ID bit of the file it
// replaces, whoever named it and whoever writes it: its new content is not the
// program its owner gave them to. The file's other bits stay, alone or a
// companion of a group.
TEST_F(FileReplacementTest, NoFileWrittenGetsSetUserOrGroupId) {
    const std::string companion = mDir / "scene.lib";
    for (const mode_t mode : {04755, 02755, 06711}) {
        for (const KNamedBy namedBy : {KNamedBy::eUser, KNamedBy::eNobody}) {
            SCOPED_TRACE(std::to_string(mode) + (namedBy == KNamedBy::eUser ? ", named" : ", nobody named"));
            for (const std::string& path : {mTarget, companion}) {
                WriteFile(path, "program");
                ASSERT_EQ(0, ::chmod(path.c_str(), mode));
                if (ModeOf(path) != mode)
                    GTEST_SKIP() << "this user cannot give " << path
                                 << " the set-group-ID bit (its group is none of theirs)";
            }
            KFileReplacement main, side;
            ASSERT_TRUE(side.Begin(companion.c_str(), false, namedBy)) << side.GetError();
            ASSERT_TRUE(main.Begin(mTarget.c_str(), false, namedBy)) << main.GetError();
            ASSERT_TRUE(Write(side, "new") && Write(main, "new"));
            KFileReplacement* group[] = {&side, &main};
            ASSERT_EQ(nullptr, KFileReplacement::CommitTogether(group, 2));
            for (const std::string& path : {mTarget, companion}) {
                EXPECT_EQ("new", ReadFile(path)) << path;
                EXPECT_EQ(mode & 0777, ModeOf(path)) << path;
            }
        }
    }
}

// A file its user may not write is refused, as opening it would be, and left
// as it was.
TEST_F(FileReplacementTest, AWriteProtectedFileIsRefused) {
    WriteFile(mTarget, "protected");
    ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0444));
    fs::permissions(mDir.Path(), fs::perms::all);
    // The user's own file: even its owner may not write it.
    if (::geteuid() == 0) {
        ASSERT_EQ(0, ::chown(mTarget.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    }
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(mDir.Path(), [&]() -> std::string {
        KFileReplacement replacement;
        if (replacement.Begin(mTarget.c_str())) return "Begin took it";
        if (replacement.GetError() != "Cannot write \"" + mTarget + "\": Permission denied")
            return std::string("the error: ") + replacement.GetError();
        const int reason = replacement.GetSystemError();
        return reason == EACCES ? "" : "the system error: " + std::to_string(reason);
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mDir.Path());
    EXPECT_EQ("", *answer);
    EXPECT_EQ("protected", ReadFile(mTarget));
    EXPECT_EQ(0444u, ModeOf(mTarget));
    EXPECT_EQ(1, EntryCount());
}

// Root may replace a write-protected file, as it may open it; the mode stays.
TEST_F(FileReplacementTest, RootReplacesAWriteProtectedFile) {
    ZEQ_SKIP_UNLESS_ROOT("writing what its mode protects");
    WriteFile(mTarget, "protected");
    ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0444));
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str())) << replacement.GetError();
    ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "root's") && replacement.Commit());
    EXPECT_EQ("root's", ReadFile(mTarget));
    EXPECT_EQ(0444u, ModeOf(mTarget));
}

// The file is replaced under its name: another hard link to it keeps the old content.
TEST_F(FileReplacementTest, AnotherHardLinkKeepsTheOldContent) {
    WriteFile(mTarget, "old");
    const std::string other = mDir / "other.out";
    fs::create_hard_link(mTarget, other);
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
    ASSERT_TRUE(Put(replacement.GetTemporaryPath(), "new") && replacement.Commit());
    EXPECT_EQ("new", ReadFile(mTarget));
    EXPECT_EQ("old", ReadFile(other));
}

// Another user who may list the folder, trying each temporary the moment it
// takes its name, opens none while root replaces its private file, not even
// under a umask that would let anyone open a new file.
TEST_F(FileReplacementTest, NoOtherUserOpensATemporary) {
    constexpr int kRounds = 3;
    WriteFile(mTarget, "private");
    ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0600));
    const zeqtest::OtherUserOpensTemporaries other(mDir.Path());
    if (!other.Started()) GTEST_SKIP() << zeqtest::NoOtherUser();
    for (const mode_t mask : {022, 0}) {
        const mode_t saved = ::umask(mask);
        for (int i = 0; i < kRounds; ++i) {
            KFileReplacement replacement;
            if (replacement.Begin(mTarget.c_str())) {
                Put(replacement.GetTemporaryPath(), "private " + std::to_string(i));
                replacement.Commit();
            }
        }
        ::umask(saved);
    }
    EXPECT_EQ(2 * kRounds, other.NamedWith(mTarget + ".tmp"));
    EXPECT_EQ(std::vector<std::string>{}, other.Opened());
    EXPECT_EQ("private " + std::to_string(kRounds - 1), ReadFile(mTarget));
    EXPECT_EQ(0600u, ModeOf(mTarget));
}

// The content goes only through the descriptor Begin created, and the temporary
// takes the file's name only while its name still holds that file: in a folder
// others may write without the sticky bit, another user may put a link to a file
// of theirs, or a file, in its place. Commit then fails with the reason and
// leaves the file, what took the temporary's name and what a link names as they
// were.
TEST_F(FileReplacementTest, ATemporarySwappedForALinkOrAFileTakesNeitherTheContentNorTheName) {
    KFileReplacement idle;
    EXPECT_EQ(nullptr, idle.OpenStream("wb")) << "no replacement under way";
    const fs::path elsewhere = mDir.Path() / "elsewhere";
    fs::create_directories(elsewhere);
    const std::string secret = (elsewhere / "secret").string();
    for (const bool link : {true, false}) {
        WriteFile(mTarget, "old");
        WriteFile(secret, "the secret");
        KFileReplacement replacement;
        ASSERT_TRUE(replacement.Begin(mTarget.c_str()));
        const std::string temporary = replacement.GetTemporaryPath();
        // The link before the content is written, the file after.
        if (link) {
            ASSERT_EQ(0, ::unlink(temporary.c_str()));
            fs::create_symlink(secret, temporary);
            ASSERT_TRUE(Write(replacement, "new"));
        } else {
            ASSERT_TRUE(Write(replacement, "new"));
            ASSERT_EQ(0, ::unlink(temporary.c_str()));
            WriteFile(temporary, "another user's");
        }
        EXPECT_FALSE(replacement.Commit()) << link;
        EXPECT_NE(std::string::npos, std::string(replacement.GetError()).find("no longer holds")) << replacement.GetError();
        EXPECT_FALSE(fs::is_symlink(mTarget));
        EXPECT_EQ("old", ReadFile(mTarget));
        EXPECT_EQ("the secret", ReadFile(secret));
        EXPECT_EQ(link, fs::is_symlink(temporary)) << "what took the temporary's name was removed";
        if (!link) {
            EXPECT_EQ("another user's", ReadFile(temporary));
        }
        fs::remove(temporary);
    }
}

// In a shared sticky folder a name of the temporaries' form may be another user's
// file: the cleanup leaves it, however old, and removes only the writer's own.
TEST_F(FileReplacementTest, BeginLeavesAnotherUsersFileNamedLikeATemporary) {
    ZEQ_SKIP_UNLESS_ROOT("a file of another user");
    ASSERT_EQ(0, ::chmod(mDir.Path().c_str(), 01777));
    const std::string theirs = mTarget + ".tmp4243.0123456789abcdef";
    const std::string own = mTarget + ".tmp4244.0123456789abcdef";
    WriteFile(theirs, "another user's");
    ASSERT_EQ(0, ::chown(theirs.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    WriteFile(own, "left by a writer");
    MakeOld(theirs);
    MakeOld(own);
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str())) << replacement.GetError();
    EXPECT_EQ("another user's", ReadFile(theirs));
    EXPECT_FALSE(fs::exists(own));
}

// A replaced file keeps its access control list and its user attributes, as a
// group's companion and as its main file, whoever replaces it (root, then the
// owner). Under a list the mode's group bits are its mask: the mode alone would
// let the whole owning group read what the list keeps from it.
TEST_F(FileReplacementTest, AReplacedFileKeepsItsAccessControlListAndUserAttributes) {
    const std::string library = mDir / "scene.lib";
    const std::string binary("\0\x01\xff", 3);
    fs::permissions(mDir.Path(), fs::perms::all);
    for (const std::string& path : {library, mTarget}) {
        WriteFile(path, "old");
        if (!SetAcl(path, "u::rw-,u:4242:r--,g::---,m::r--,o::---")) GTEST_SKIP() << "no access control lists here";
        ASSERT_TRUE(SetAttribute(path, "user.origin", "scanner 7") && SetAttribute(path, "user.binary", binary));
        if (::geteuid() == 0) {
            ASSERT_EQ(0, ::chown(path.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
        }
    }
    const std::string access = AccessOf(mTarget);
    ASSERT_NE(std::string::npos, access.find("user:4242:r--")) << access;
    const auto replace = [&]() -> std::string {
        KFileReplacement companion, main;
        if (!companion.Begin(library.c_str()) || !main.Begin(mTarget.c_str())) return "not begun";
        if (!Write(companion, "new") || !Write(main, "new")) return "not written";
        KFileReplacement* group[] = {&companion, &main};
        if (KFileReplacement* failed = KFileReplacement::CommitTogether(group, 2)) return failed->GetError();
        for (const std::string& path : {library, mTarget}) {
            if (ReadFile(path) != "new") return path + " not replaced";
            if (AccessOf(path) != access) return path + ": " + AccessOf(path);
            if (AttributeOf(path, "user.origin") != "scanner 7" || AttributeOf(path, "user.binary") != binary)
                return path + ": its user attributes were lost";
        }
        return "";
    };
    EXPECT_EQ("", replace());
    const std::optional<std::string> owner = zeqtest::AsUnprivileged(mDir.Path(), replace);
    if (!owner) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mDir.Path());
    EXPECT_EQ("", *owner);
}

// A file its owner may write but not read keeps its list too: what it keeps is
// read without opening it for reading.
TEST_F(FileReplacementTest, AFileItsOwnerMayOnlyWriteKeepsItsList) {
    fs::permissions(mDir.Path(), fs::perms::all);
    WriteFile(mTarget, "old");
    if (!SetAcl(mTarget, "u::-w-,u:4242:r--,g::---,m::r--,o::---")) GTEST_SKIP() << "no access control lists here";
    if (::geteuid() == 0) {
        ASSERT_EQ(0, ::chown(mTarget.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    }
    const std::string access = AccessOf(mTarget);
    const std::optional<std::string> owner = zeqtest::AsUnprivileged(mDir.Path(), [&]() -> std::string {
        KFileReplacement replacement;
        if (!replacement.Begin(mTarget.c_str()) || !Write(replacement, "new") || !replacement.Commit())
            return replacement.GetError();
        return AccessOf(mTarget) == access ? "" : AccessOf(mTarget);
    });
    if (!owner) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mDir.Path());
    EXPECT_EQ("", *owner);
    // Read back as root, or as the owner once it may read.
    fs::permissions(mTarget, fs::perms::owner_read, fs::perm_options::add);
    EXPECT_EQ("new", ReadFile(mTarget));
}

// Attributes of the kinds only root may set (trusted, security) stay where root
// replaces a file, and never make a user's replacement fail.
TEST_F(FileReplacementTest, PrivilegedAttributesStayWithRootAndNeverFailAUser) {
    ZEQ_SKIP_UNLESS_ROOT("attributes only root may set");
    fs::permissions(mDir.Path(), fs::perms::all);
    WriteFile(mTarget, "old");
    ASSERT_EQ(0, ::chown(mTarget.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    if (!SetAttribute(mTarget, "trusted.zeqtest", "t") || !SetAttribute(mTarget, "security.zeqtest", "s"))
        GTEST_SKIP() << "no such attributes here";
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(mTarget.c_str()) && Write(replacement, "root's") && replacement.Commit())
        << replacement.GetError();
    EXPECT_EQ("t", AttributeOf(mTarget, "trusted.zeqtest"));
    EXPECT_EQ("s", AttributeOf(mTarget, "security.zeqtest"));
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(mDir.Path(), [&]() -> std::string {
        KFileReplacement owner;
        if (!owner.Begin(mTarget.c_str()) || !Write(owner, "the owner's") || !owner.Commit()) return owner.GetError();
        return "";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mDir.Path());
    EXPECT_EQ("", *answer);
    EXPECT_EQ("the owner's", ReadFile(mTarget));
}

// A new file gets what a file made in its folder gets: under the folder's default
// list, that list less execute, whatever the umask (which such a list overrides),
// alone or in a group; private while it is written all the same. A file replaced
// there that has no list of its own gets none from the folder.
TEST_F(FileReplacementTest, ANewFileGetsWhatItsFoldersDefaultListGives) {
    const fs::path folder = mDir.Path() / "shared";
    fs::create_directories(folder);
    const std::string plain = (folder / "plain").string();
    WriteFile(plain, "old");
    ASSERT_EQ(0, ::chmod(plain.c_str(), 0644));
    const std::string plainAccess = AccessOf(plain);
    if (!SetAcl(folder.string(), "u::rwx,u:4242:rwx,g::r-x,m::rwx,o::---", ACL_TYPE_DEFAULT))
        GTEST_SKIP() << "no access control lists here";
    KFileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(plain.c_str()) && Write(replacement, "new") && replacement.Commit());
    EXPECT_EQ(plainAccess, AccessOf(plain));
    const mode_t saved = ::umask(022);
    for (const mode_t mask : {022, 077}) {
        ::umask(mask);
        const std::string expected = zeqtest::WhatANewFileGets(folder.string());
        const std::string suffix = std::to_string(mask);
        const std::string alone = (folder / ("alone" + suffix)).string();
        const std::string companion = (folder / ("companion" + suffix)).string();
        const std::string main = (folder / ("main" + suffix)).string();
        KFileReplacement one, two, three;
        ASSERT_TRUE(one.Begin(alone.c_str()) && two.Begin(companion.c_str()) && three.Begin(main.c_str()));
        EXPECT_EQ(0600u, ModeOf(one.GetTemporaryPath()));
        ASSERT_TRUE(Write(one, "1") && Write(two, "2") && Write(three, "3"));
        EXPECT_TRUE(one.Commit()) << one.GetError();
        KFileReplacement* group[] = {&two, &three};
        EXPECT_EQ(nullptr, KFileReplacement::CommitTogether(group, 2));
        for (const std::string& path : {alone, companion, main}) EXPECT_EQ(expected, AccessOf(path)) << path;
    }
    ::umask(saved);
}

// Where a file's list cannot be given to its new content, the replacement fails
// with the reason rather than let in more than the file did, and the file stays
// as it was; so does a new file under a folder's default list. A plain file needs
// no list and is replaced.
TEST_F(FileReplacementTest, WhereTheListCannotBeGivenTheFileStaysAsItWas) {
    struct NoListGiven {
        NoListGiven() { zeqdetail::gFileSystemLimits.mNoAclGiven = true; }
        ~NoListGiven() { zeqdetail::gFileSystemLimits.mNoAclGiven = false; }
    } noList;
    const fs::path folder = mDir.Path() / "shared";
    fs::create_directories(folder);
    WriteFile(mTarget, "old");
    if (!SetAcl(mTarget, "u::rw-,u:4242:r--,g::---,m::r--,o::---") ||
        !SetAcl(folder.string(), "u::rwx,u:4242:rwx,g::r-x,m::rwx,o::---", ACL_TYPE_DEFAULT))
        GTEST_SKIP() << "no access control lists here";
    const std::string before = AccessOf(mTarget);
    for (const std::string& path : {mTarget, (folder / "new.out").string()}) {
        KFileReplacement replacement;
        ASSERT_TRUE(replacement.Begin(path.c_str()) && Write(replacement, "new"));
        EXPECT_FALSE(replacement.Commit()) << path;
        const std::string error = replacement.GetError();
        EXPECT_NE(std::string::npos, error.find("access control list")) << error;
        EXPECT_NE(std::string::npos, error.find(path)) << error;
        EXPECT_EQ(EOPNOTSUPP, replacement.GetSystemError());
    }
    EXPECT_EQ("old", ReadFile(mTarget));
    EXPECT_EQ(before, AccessOf(mTarget));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(2, EntryCount()) << "a temporary was left";
    const std::string plain = mDir / "plain.out";
    WriteFile(plain, "old");
    KFileReplacement replacement;
    EXPECT_TRUE(replacement.Begin(plain.c_str()) && Write(replacement, "new") && replacement.Commit())
        << replacement.GetError();
}

// Files written together take their names together, or none does: with
// exchanging renames, and where the file system lacks them (the old content
// then keeps a second name until the group is in place).
struct GroupWay {
    const char* mName;
    bool mNoExchange;
};
void PrintTo(const GroupWay& way, std::ostream* os) { *os << way.mName; }

class FileReplacementGroup : public FileReplacementTest, public testing::WithParamInterface<GroupWay> {
protected:
    void SetUp() override {
        zeqdetail::gFileSystemLimits.mNoExchange = GetParam().mNoExchange;
        WriteFile(mLibrary, "old library");
        ASSERT_EQ(0, ::chmod(mLibrary.c_str(), 0640));
        WriteFile(mTarget, "old main");
    }
    void TearDown() override { zeqdetail::gFileSystemLimits.mNoExchange = false; }

    // Begins the three replacements (a companion that exists, a new one and the
    // main file, in the order of a commit) and writes each.
    void Write(std::vector<std::unique_ptr<KFileReplacement>>& group) {
        for (const std::string& path : {mLibrary, mImage, mTarget}) {
            group.push_back(std::make_unique<KFileReplacement>());
            ASSERT_TRUE(group.back()->Begin(path.c_str())) << group.back()->GetError();
            ASSERT_TRUE(Put(group.back()->GetTemporaryPath(), "new " + fs::path(path).filename().string()));
        }
    }
    static KFileReplacement* Commit(const std::vector<std::unique_ptr<KFileReplacement>>& group) {
        std::vector<KFileReplacement*> all;
        for (const auto& replacement : group) all.push_back(replacement.get());
        return KFileReplacement::CommitTogether(all.data(), all.size());
    }
    void ExpectAsBefore() {
        EXPECT_EQ("old library", ReadFile(mLibrary));
        EXPECT_EQ(0640u, ModeOf(mLibrary));
        EXPECT_FALSE(fs::exists(mImage)) << "a new companion was left";
    }

    std::string mLibrary = mDir / "scene.lib";
    std::string mImage = mDir / "wood.png";
};

TEST_P(FileReplacementGroup, EveryFileTakesItsName) {
    std::vector<std::unique_ptr<KFileReplacement>> group;
    Write(group);
    group.insert(group.begin(), std::make_unique<KFileReplacement>());  // never begun: passed over
    EXPECT_EQ(nullptr, Commit(group));
    EXPECT_EQ("new scene.lib", ReadFile(mLibrary));
    EXPECT_EQ(0640u, ModeOf(mLibrary));
    EXPECT_EQ("new wood.png", ReadFile(mImage));
    EXPECT_EQ("new scene.out", ReadFile(mTarget));
    EXPECT_EQ(3, EntryCount()) << "an old content or a temporary was left";
    for (const auto& replacement : group) EXPECT_FALSE(replacement->IsActive());
}

// The main file cannot take its name (what took it meanwhile is no regular
// file): the companions put in place before it are given back.
TEST_P(FileReplacementGroup, AMainFileThatCannotTakeItsNameLeavesEveryFileAsItWas) {
    std::vector<std::unique_ptr<KFileReplacement>> group;
    Write(group);
    fs::remove(mTarget);
    ASSERT_EQ(0, ::mkfifo(mTarget.c_str(), 0600));
    EXPECT_EQ(group.back().get(), Commit(group));
    const std::string error = group.back()->GetError();
    EXPECT_NE(std::string::npos, error.find("a named pipe")) << error;
    ExpectAsBefore();
    EXPECT_TRUE(fs::is_fifo(mTarget));
    EXPECT_EQ(2, EntryCount()) << "a temporary or an old content was left";
}

// A companion that cannot take its name: the one before it is given back and
// the main file stays.
TEST_P(FileReplacementGroup, ACompanionThatCannotTakeItsNameLeavesEveryFileAsItWas) {
    std::vector<std::unique_ptr<KFileReplacement>> group;
    Write(group);
    fs::create_directory(mImage);
    EXPECT_EQ(group[1].get(), Commit(group));
    EXPECT_EQ("old library", ReadFile(mLibrary));
    EXPECT_EQ("old main", ReadFile(mTarget));
    EXPECT_TRUE(fs::is_directory(mImage) && fs::is_empty(mImage));
    EXPECT_EQ(3, EntryCount());
}

// A companion's temporary put aside for a link to another file: the group fails,
// every file stays as it was, and so do the link and what it names.
TEST_P(FileReplacementGroup, ATemporarySwappedForALinkFailsTheGroup) {
    std::vector<std::unique_ptr<KFileReplacement>> group;
    Write(group);
    const std::string secret = mDir / "secret";
    WriteFile(secret, "the secret");
    const std::string temporary = group[0]->GetTemporaryPath();
    ASSERT_EQ(0, ::unlink(temporary.c_str()));
    fs::create_symlink(secret, temporary);
    EXPECT_EQ(group[0].get(), Commit(group));
    EXPECT_NE(std::string::npos, std::string(group[0]->GetError()).find("no longer holds")) << group[0]->GetError();
    ExpectAsBefore();
    EXPECT_EQ("old main", ReadFile(mTarget));
    EXPECT_TRUE(fs::is_symlink(temporary));
    EXPECT_EQ("the secret", ReadFile(secret));
    EXPECT_EQ(4, EntryCount()) << "a temporary or an old content was left";
}

// A file that may fail alone (a texture copy) and cannot take its name is
// dropped with its reason; the others take theirs.
TEST_P(FileReplacementGroup, AnOptionalFileThatCannotTakeItsNameIsDropped) {
    std::vector<std::unique_ptr<KFileReplacement>> group;
    Write(group);
    group[1]->SetOptional(true);
    fs::create_directory(mImage);
    EXPECT_EQ(nullptr, Commit(group));
    EXPECT_NE(std::string::npos, std::string(group[1]->GetError()).find("a directory")) << group[1]->GetError();
    EXPECT_EQ("new scene.lib", ReadFile(mLibrary));
    EXPECT_EQ("new scene.out", ReadFile(mTarget));
    EXPECT_TRUE(fs::is_directory(mImage) && fs::is_empty(mImage));
    EXPECT_EQ(3, EntryCount()) << "a temporary or an old content was left";
}

// One whose content cannot reach the disk is dropped so too, with the system's reason.
TEST_P(FileReplacementGroup, AnOptionalFileThatCannotBeSyncedIsDropped) {
    std::vector<std::unique_ptr<KFileReplacement>> group;
    Write(group);
    group[1]->SetOptional(true);
    // Its descriptor made a pipe's, which cannot be synced.
    const std::string temporary = group[1]->GetTemporaryPath();
    int descriptor = -1;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(entry.path(), ec) == temporary) descriptor = std::stoi(entry.path().filename().string());
    }
    ASSERT_GE(descriptor, 0);
    int pipe[2];
    ASSERT_EQ(0, ::pipe(pipe));
    ASSERT_EQ(descriptor, ::dup2(pipe[0], descriptor));
    ::close(pipe[0]);
    ::close(pipe[1]);
    EXPECT_EQ(nullptr, Commit(group));
    EXPECT_EQ(EINVAL, group[1]->GetSystemError()) << group[1]->GetError();
    EXPECT_NE(std::string::npos, std::string(group[1]->GetError()).find(mImage)) << group[1]->GetError();
    EXPECT_FALSE(group[1]->IsActive());
    EXPECT_EQ("new scene.lib", ReadFile(mLibrary));
    EXPECT_EQ("new scene.out", ReadFile(mTarget));
    EXPECT_FALSE(fs::exists(mImage));
    // The writer no longer knew the file as its own: it stays, and goes here.
    fs::remove(temporary);
    EXPECT_EQ(2, EntryCount()) << "a temporary or an old content was left";
}

// A file that may not fail alone fails the whole group: the optional ones put
// in place before it are undone too.
TEST_P(FileReplacementGroup, AFailureUndoesTheOptionalFilesPlaced) {
    std::vector<std::unique_ptr<KFileReplacement>> group;
    Write(group);
    group[1]->SetOptional(true);
    fs::remove(mTarget);
    ASSERT_EQ(0, ::mkfifo(mTarget.c_str(), 0600));
    EXPECT_EQ(group.back().get(), Commit(group));
    ExpectAsBefore();
    EXPECT_EQ(2, EntryCount()) << "a temporary or an old content was left";
}

INSTANTIATE_TEST_SUITE_P(Ways, FileReplacementGroup,
                         testing::Values(GroupWay{"Exchanging", false}, GroupWay{"Linking", true}),
                         [](const testing::TestParamInfo<GroupWay>& info) { return info.param.mName; });

// Any user who may read a folder may hold its lock as long as they like: a group
// waits a few seconds at most, then takes its names without it (all or none
// still), long before that user lets go.
TEST_F(FileReplacementTest, AGroupWaitsOnlyAWhileForAFolderAnotherHoldsLocked) {
    const std::string library = mDir / "scene.lib";
    KFileReplacement companion, main;
    ASSERT_TRUE(companion.Begin(library.c_str()) && main.Begin(mTarget.c_str()));
    ASSERT_TRUE(Write(companion, "library") && Write(main, "main"));
    const zeqtest::FolderLockHolder holder(mDir.Path().string());
    ASSERT_TRUE(holder.Holding());
    KFileReplacement* group[] = {&companion, &main};
    EXPECT_EQ(nullptr, KFileReplacement::CommitTogether(group, 2));
    EXPECT_TRUE(zeqtest::LockedByAnother(mDir.Path().string())) << "the group waited until the lock was let go";
    EXPECT_EQ("library", ReadFile(library));
    EXPECT_EQ("main", ReadFile(mTarget));
}

// A folder reached by two paths (a bind mount of it) is one folder: a group with
// a file on each path locks it once, rather than wait for ever on itself.
TEST_F(FileReplacementTest, AFolderReachedByTwoPathsIsLockedOnce) {
    const fs::path real = mDir.Path() / "real", bound = mDir.Path() / "bound";
    fs::create_directories(real);
    fs::create_directories(bound);
    const std::optional<std::string> answer = zeqtest::ChildAnswer([&]() -> std::optional<std::string> {
        if (!zeqtest::InMountsOfItsOwn() || ::mount(real.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::nullopt;
        // No deadline of the test's own (a slow machine would miss it): a writer that
        // waited on itself for ever would hang here until the test runner ends it.
        const std::string library = (bound / "scene.lib").string(), target = (real / "scene.out").string();
        KFileReplacement companion, main;
        if (!companion.Begin(library.c_str()) || !main.Begin(target.c_str())) return std::string("not begun");
        if (!Write(companion, "library") || !Write(main, "main")) return std::string("not written");
        KFileReplacement* group[] = {&companion, &main};
        if (KFileReplacement* failed = KFileReplacement::CommitTogether(group, 2)) return std::string(failed->GetError());
        return ReadFile((real / "scene.lib").string()) == "library" && ReadFile(target) == "main" ? "" : "not replaced";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoMountsOfItsOwn() << ", for a bind mount";
    EXPECT_EQ("", *answer);
}

}  // namespace
