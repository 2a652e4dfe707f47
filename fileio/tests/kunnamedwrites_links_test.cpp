// Writes nobody named (a log appended to, settings replaced, a section written back where it lies,
// the folder an extraction writes in, a scratch file) follow no symbolic link that another user
// may have put where another user may write, at the end of the path or on the way: theirs, sticky
// folder or not; root's own with a second name; root's own where the folder is not sticky (they may
// rename it there). The write is refused, naming the link and why, and what the link names stays
// as it was. Root's own link with one name in a sticky folder is followed as before. Nor is a file
// used that another user may have put under the name where they may put one: theirs, or one with
// other hard links (a second name of the writer's program).

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/klib.h"
#include "fileio/kconfigfile.h"
#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"
#include "fileio/kscratchfolder.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kplantedlinks.h"
#include "fileio/tests/test_users.h"

using namespace zeqsdk_400;
using zeqtest::ReadFile;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kRoot = 0;
constexpr uid_t kNobody = zeqtest::kUnprivileged;

// What a write answers: "" once written, else what it says; the system's error number in mCode.
struct Result {
    std::string mSaid;
    int mCode = 0;
};

Result Append(const std::string& path) {
    Result result;
    KString error;
    std::FILE* file = KFileReplacement::OpenForAppending(path.c_str(), error, &result.mCode, KNamedBy::eNobody);
    if (!file) return result.mSaid = error.Buffer(), result;
    const bool written = std::fputs("new", file) >= 0;
    if (std::fclose(file) != 0 || !written) result.mSaid = "not written";
    return result;
}

Result Replace(const std::string& path) {
    Result result;
    KFileReplacement replacement;
    std::FILE* out = replacement.Begin(path.c_str(), false, KNamedBy::eNobody) ? replacement.OpenStream("wb") : nullptr;
    const bool written = out && std::fputs("new", out) >= 0;
    if (out && std::fclose(out) == 0 && written && replacement.Commit()) return result;
    result.mCode = replacement.GetSystemError();
    result.mSaid = replacement.GetError();
    return result;
}

// The settings file: read only where it could be written, rewritten with a key.
Result RewriteSettings(const std::string& path) {
    Result result;
    const std::string configuration = KLib_GetConfigDirectory();
    KLib_SetConfigDirectory(fs::path(path).parent_path().c_str());
    {
        KConfigFile settings(fs::path(path).filename().c_str(), false);
        const bool read = std::string(settings.Get("s", "k", "none")) == "root's";
        if (!settings.Set("s", "k", "new")) result.mSaid = settings.GetError();
        // Read through a link it may not write through: said so, to fail the test.
        if (read && !result.mSaid.empty()) result.mSaid += " (read all the same)";
        result.mCode = result.mSaid.empty() ? 0 : EACCES;
    }
    KLib_SetConfigDirectory(configuration.c_str());
    return result;
}

Result WriteInPlace(const std::string& path) {
    Result result;
    KString error;
    const int fd = KFileReplacement::OpenForWritingInPlace(path.c_str(), error, &result.mCode);
    if (fd < 0) return result.mSaid = error.Buffer(), result;
    const bool written = ::pwrite(fd, "new", 3, 0) == 3;
    if (::close(fd) != 0 || !written) result.mSaid = "not written";
    return result;
}

// The folder an extraction holds (made where missing), and a file written in it.
Result ExtractInto(const std::string& path) {
    Result result;
    KHeldFolder folder;
    if (!folder.Open(path.c_str(), true, 0777, kAnyGroup, KNamedBy::eNobody)) {
        result.mCode = folder.GetSystemError();
        result.mSaid = folder.GetError();
        return result;
    }
    KString error;
    if (!KWriteWholeFile(folder, "extracted", "new", 3, &error)) result.mSaid = error.Buffer();
    return result;
}

// A scratch file and a scratch folder in the temporary folder path names.
Result Scratch(const std::string& path) {
    Result result;
    const char* former = std::getenv("TMPDIR");
    const std::string kept = former ? former : "";
    ::setenv("TMPDIR", path.c_str(), 1);
    KString refusal;
    const int fd = KCreateScratchFile(&refusal);
    result.mCode = fd < 0 ? errno : 0;
    if (fd >= 0) ::close(fd);
    result.mSaid = refusal.Buffer();
    {
        const KScratchFolder folder("unnamed");
        if (folder.IsOpen() == (fd < 0)) result.mSaid += " (the scratch folder differs)";
        if (!folder.IsOpen() && std::string(folder.GetError()) != result.mSaid) result.mSaid += folder.GetError();
    }
    former ? ::setenv("TMPDIR", kept.c_str(), 1) : ::unsetenv("TMPDIR");
    return result;
}

struct Write {
    const char* mName;
    // It goes into a folder (the link names root's folder), else to a file.
    bool mIntoFolder;
    // What it goes to in root's folder, when the link is on the way.
    const char* mBelow;
    Result (*mRun)(const std::string& path);
};
const Write kWrites[] = {
    {"appended to, as the log is", false, "secret", &Append},
    {"replaced, as the settings are", false, "secret", &Replace},
    {"the settings read and rewritten", false, "secret", &RewriteSettings},
    {"written where it lies, as a section written back", false, "secret", &WriteInPlace},
    {"the folder an extraction writes in, made", true, "made", &ExtractInto},
    {"a scratch file and folder", true, "inner", &Scratch},
};

// One case's files in base: root's file (its settings text for the settings' write) in a folder of
// root's alone, with a folder "inner" beside it; the folder shared, of place's owner and mode.
struct Case {
    Case(const fs::path& base, const Write& write, const zeqtest::FolderOthersMayWrite& place)
        : mSecret(base), mRoots(fs::path(mSecret.Path()).parent_path()), mFolder(base / "shared") {
        fs::create_directory(mRoots / "inner");
        if (write.mRun == &RewriteSettings) zeqtest::WriteFile(mSecret.Path(), "[s]\nk = root's\n");
        mBefore = ReadFile(mSecret.Path());
        mShared = zeqtest::MakeFolderOf(place.mOwner, mFolder, place.mMode, place.mGroup);
    }
    zeqtest::RootsSecret mSecret;
    fs::path mRoots, mFolder;
    std::string mBefore;
    bool mShared = false;
};

}  // namespace

// Another user's link (nobody's, as they would plant it) in each such folder, naming root's
// file (0600, in a folder of root's alone) or, on the way, root's folder: every write nobody
// named is refused with EACCES, saying once which link it does not follow and whose it is, and
// root's folder stays byte for byte as it was. Root's own link in the same folder, which is not
// sticky, is refused too: they may have renamed it there.
TEST(UnnamedWrites, FollowNoLinkOfAnotherUserWhereOthersMayWrite) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    int index = 0;
    for (const Write& write : kWrites) {
        for (const zeqtest::FolderOthersMayWrite& place : zeqtest::kFoldersOthersMayWrite) {
            for (const bool onTheWay : {false, true}) {
                for (const uid_t linkOwner : {kNobody, kRoot}) {
                    SCOPED_TRACE(std::string(write.mName) + "; " + place.mName +
                                 (onTheWay ? "; on the way" : "; at the end") +
                                 (linkOwner == kRoot ? "; root's own link" : "; the other user's link"));
                    const Case made(dir.Path() / std::to_string(index++), write, place);
                    ASSERT_TRUE(made.mShared);
                    const zeqtest::RootsSecret& secret = made.mSecret;
                    const fs::path &roots = made.mRoots, &folder = made.mFolder;
                    const std::string& before = made.mBefore;
                    const std::string link = (folder / "link").string();
                    const bool toFolder = onTheWay || write.mIntoFolder;
                    ASSERT_TRUE(zeqtest::MakeLinkOf(linkOwner, toFolder ? roots.string() : secret.Path(), link));
                    const std::string path = onTheWay ? link + "/" + write.mBelow : link;
                    const std::vector<std::string> listed = zeqtest::ListedBelow(roots);

                    const Result result = write.mRun(path);
                    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
                    const std::string refusal =
                        linkOwner == kRoot
                            ? zeqtest::RenamableLinkRefusal(
                                  link, zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup))
                            : zeqtest::OthersLinkRefusal(link);
                    EXPECT_EQ(EACCES, result.mCode) << result.mSaid;
                    // Said once, the last thing said: nothing was done through the link before.
                    EXPECT_EQ(result.mSaid.size() - refusal.size(), result.mSaid.find(refusal)) << result.mSaid;
                    EXPECT_TRUE(before == ReadFile(secret.Path())) << "root's file was written";
                    EXPECT_EQ(listed, zeqtest::ListedBelow(roots)) << "root's folder changed";
                }
            }
        }
    }
}

// Root's own link where others may write (a sticky folder, where only root may rename it) is followed
// by a write nobody named of another user's too: root needs no one's link to write anywhere.
TEST(UnnamedWrites, FollowRootsLinkForEveryUser) {
    ZEQ_SKIP_UNLESS_ROOT("root's link and another user");
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    int index = 0;
    for (const Write& write : kWrites) {
        SCOPED_TRACE(write.mName);
        const fs::path base = dir.Path() / std::to_string(index++);
        const fs::path theirs = base / "theirs", shared = base / "shared";
        ASSERT_TRUE(zeqtest::MakeFolderOf(kNobody, theirs, 0755));
        const std::string file = (theirs / "file").string(), link = (shared / "link").string();
        zeqtest::WriteFile(file, "[s]\nk = theirs\n");
        ASSERT_EQ(0, ::chown(file.c_str(), kNobody, kNobody));
        ASSERT_TRUE(zeqtest::MakeFolderOf(kRoot, shared, 01777, kRoot));
        ASSERT_TRUE(zeqtest::MakeLinkOf(kRoot, write.mIntoFolder ? theirs.string() : file, link));
        const std::optional<std::string> answer =
            zeqtest::AsUnprivileged(shared.string(), [&] { return write.mRun(link).mSaid; });
        if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(shared.string());
        EXPECT_EQ("", *answer);
    }
}

// Root's own link, which another user renamed onto the name where the folder is not sticky, or to
// which they gave a second name (a hard link, as the system lets them where its rule for hard links
// is off: made here by root, which the rule does not bind) under the name, sticky folder or not: a
// write nobody named follows neither, saying why, and root's file stays as it was. Root's own link
// with one name in root's sticky folder is followed.
TEST(UnnamedWrites, FollowNoLinkAnotherUserMayHavePutThere) {
    ZEQ_SKIP_UNLESS_ROOT("another user and root's links");
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    enum class How { kRenamedByThem, kSecondName, kRootsAlone };
    int index = 0;
    for (const Write& write : kWrites) {
        for (const How how : {How::kRenamedByThem, How::kSecondName, How::kRootsAlone}) {
            std::vector<zeqtest::FolderOthersMayWrite> places(std::begin(zeqtest::kFoldersOthersMayWrite),
                                                              std::end(zeqtest::kFoldersOthersMayWrite));
            if (how != How::kRenamedByThem) places.push_back({"root's sticky folder everybody may write", 0, 01777, 0});
            if (how == How::kRootsAlone) places.erase(places.begin(), places.end() - 1);
            for (const zeqtest::FolderOthersMayWrite& place : places) {
                SCOPED_TRACE(std::string(write.mName) + "; " + place.mName +
                             (how == How::kRenamedByThem ? "; root's link renamed by them"
                              : how == How::kSecondName  ? "; a second name of root's link"
                                                         : "; root's link alone"));
                const Case made(dir.Path() / std::to_string(index++), write, place);
                ASSERT_TRUE(made.mShared);
                const zeqtest::RootsSecret& secret = made.mSecret;
                const fs::path &roots = made.mRoots, &folder = made.mFolder;
                const std::string& before = made.mBefore;
                const std::string link = (folder / "link").string(), roots_link = (folder / "roots").string();
                ASSERT_TRUE(zeqtest::MakeLinkOf(kRoot, write.mIntoFolder ? roots.string() : secret.Path(),
                                                how == How::kRootsAlone ? link : roots_link));
                if (how == How::kRenamedByThem) {
                    ASSERT_EQ(0, other.PlantLink("/nowhere", link));
                    ASSERT_EQ(0, other.Exchange(roots_link, link));
                } else if (how == How::kSecondName) {
                    ASSERT_EQ(0, ::link(roots_link.c_str(), link.c_str()));
                }
                const Result result = write.mRun(link);
                if (how == How::kRootsAlone) {
                    EXPECT_EQ("", result.mSaid);
                    if (!write.mIntoFolder) {
                        EXPECT_NE(before, ReadFile(secret.Path())) << "root's link not followed";
                    }
                    continue;
                }
                const std::string where = zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup);
                const std::string refusal = how == How::kSecondName ? zeqtest::HardLinkedLinkRefusal(link, where)
                                                                    : zeqtest::RenamableLinkRefusal(link, where);
                EXPECT_EQ(EACCES, result.mCode) << result.mSaid;
                EXPECT_EQ(result.mSaid.size() - refusal.size(), result.mSaid.find(refusal)) << result.mSaid;
                EXPECT_TRUE(before == ReadFile(secret.Path())) << "root's file was written";
            }
        }
    }
}

namespace {

// What KConfigFile says of the settings file at path it does not read ("" where it reads it).
std::string SettingsReadRefusal(const std::string& path) {
    const std::string configuration = KLib_GetConfigDirectory();
    KLib_SetConfigDirectory(fs::path(path).parent_path().c_str());
    std::string refusal;
    {
        KConfigFile settings(fs::path(path).filename().c_str(), false);
        settings.Get("s", "k", "none");
        refusal = settings.GetRefusal();
    }
    KLib_SetConfigDirectory(configuration.c_str());
    return refusal;
}

// The end of what a write nobody named says of a file another user may have put under its name (why,
// from KWhyFileIsNotTrusted), and that it says it once: the last thing said.
testing::AssertionResult SaidOnceLast(const Result& result, const std::string& file, const std::string& why) {
    const std::string refusal = "\"" + file + "\": " + why + " and is not written to: Permission denied";
    if (result.mCode == EACCES && result.mSaid.size() >= refusal.size() &&
        result.mSaid.find(refusal) == result.mSaid.size() - refusal.size())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "said (" << std::strerror(result.mCode) << "): " << result.mSaid;
}

constexpr const char* kProgram = "#!/bin/sh\nexit 0\n";

// The writer's set-user-id program (04755) in a folder of the writer's alone, as RootsSecret keeps
// root's file: what a second name of another user's, where they may put one, names.
std::string MakeProgram(const zeqtest::RootsSecret& secret) {
    const std::string program = secret.Unmade("program");
    zeqtest::WriteFile(program, kProgram);
    return ::chmod(program.c_str(), 04755) == 0 ? program : std::string();
}

// The program is as it was: its bytes, its mode, and names more links (the names given) than one.
testing::AssertionResult ProgramIntact(const std::string& program, nlink_t names) {
    struct stat st {};
    if (::stat(program.c_str(), &st) != 0) return testing::AssertionFailure() << program << " is gone";
    if (ReadFile(program) != kProgram || (st.st_mode & 07777) != 04755 || st.st_nlink != names)
        return testing::AssertionFailure() << program << ": " << std::oct << (st.st_mode & 07777) << std::dec << ", "
                                           << st.st_nlink << " names, \"" << ReadFile(program) << "\"";
    return testing::AssertionSuccess();
}

}  // namespace

// Another user's file (nobody's, 0666, as they would leave it) under the name of a file nobody named,
// where they may put a name (root's folder everybody may write, root's folder their group may write,
// their own folder, their own sticky folder everybody may write): it is not theirs to give root.
// Neither read as settings nor written (appended to, replaced, written in place), the write refused
// with EACCES and said once, naming its owner; the file stays theirs, byte for byte, with its mode.
// Root's own file there is written.
TEST(UnnamedWrites, UseNoFileOfAnotherUserWhereOthersMayWrite) {
    ZEQ_SKIP_UNLESS_ROOT("files of another user");
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    std::vector<zeqtest::FolderOthersMayWrite> places(std::begin(zeqtest::kFoldersOthersMayWrite),
                                                      std::end(zeqtest::kFoldersOthersMayWrite));
    places.push_back({"the other user's own sticky folder everybody may write", kNobody, 01777, kNobody});
    const std::string text = "[s]\nk = root's\n";
    int index = 0;
    for (const Write& write : kWrites) {
        if (write.mIntoFolder) continue;
        for (const zeqtest::FolderOthersMayWrite& place : places) {
            const std::string why = "it is another user's file (" + zeqtest::UserName(kNobody) + "), in " +
                                    zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup) + ",";
            for (const uid_t owner : {kNobody, kRoot}) {
                SCOPED_TRACE(std::string(write.mName) + "; " + place.mName + (owner == kRoot ? "; root's file" : ""));
                const fs::path folder = dir.Path() / std::to_string(index++);
                ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, folder, place.mMode, place.mGroup));
                const std::string file = (folder / "file").string();
                zeqtest::WriteFile(file, text);
                ASSERT_EQ(0, ::chown(file.c_str(), owner, owner));
                ASSERT_EQ(0, ::chmod(file.c_str(), 0666));
                const Result result = write.mRun(file);
                if (owner == kRoot) {
                    EXPECT_EQ("", result.mSaid);
                    EXPECT_NE(text, ReadFile(file)) << "root's own file was not written";
                    continue;
                }
                EXPECT_TRUE(SaidOnceLast(result, file, why));
                if (write.mRun == &RewriteSettings) {
                    EXPECT_EQ("Cannot read \"" + file + "\": " + why + " and is not read: Permission denied",
                              SettingsReadRefusal(file));
                }
                struct stat st {};
                ASSERT_EQ(0, ::lstat(file.c_str(), &st));
                EXPECT_EQ(text, ReadFile(file));
                EXPECT_EQ(kNobody, st.st_uid);
                EXPECT_EQ(0666u, st.st_mode & 07777);
            }
        }
    }
}

// The writer's set-user-id program with a second name under the name of a file nobody named, where
// another user may put a name (as they could where the system's rule for hard links is off: made here
// by the writer, whom the rule does not bind for a file of its own). No write nobody named goes to it:
// not appended to, not written in place, not read as settings, and not replaced either, where the new
// content would take the program's mode. Each is refused with EACCES and said once; the program keeps
// its bytes, its mode and both names.
TEST(UnnamedWrites, WriteNoFileWithOtherHardLinksWhereOthersMayWrite) {
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    std::vector<zeqtest::FolderOthersMayWrite> places = {
        {"the writer's folder everybody may write", ::geteuid(), 0777, ::getegid()},
        {"the writer's sticky folder everybody may write", ::geteuid(), 01777, ::getegid()},
    };
    // A folder their group may write, and their own: root alone gives them.
    if (zeqtest::IsRoot()) places.insert(places.end(), std::begin(zeqtest::kFoldersOthersMayWrite) + 1,
                                         std::end(zeqtest::kFoldersOthersMayWrite));
    int index = 0;
    for (const Write& write : kWrites) {
        if (write.mIntoFolder) continue;
        for (const zeqtest::FolderOthersMayWrite& place : places) {
            SCOPED_TRACE(std::string(write.mName) + "; " + place.mName);
            const std::string why = "it has other hard links, in " +
                                    zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup) + ",";
            const fs::path base = dir.Path() / std::to_string(index++), folder = base / "shared";
            const zeqtest::RootsSecret secret(base);
            const std::string program = MakeProgram(secret), file = (folder / "file").string();
            ASSERT_FALSE(program.empty()) << std::strerror(errno);
            ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, folder, 0755, place.mGroup));
            ASSERT_EQ(0, ::link(program.c_str(), file.c_str())) << std::strerror(errno);
            ASSERT_EQ(0, ::chmod(folder.c_str(), place.mMode));
            const Result result = write.mRun(file);
            EXPECT_TRUE(SaidOnceLast(result, file, why));
            if (write.mRun == &RewriteSettings) {
                EXPECT_EQ("Cannot read \"" + file + "\": " + why + " and is not read: Permission denied",
                          SettingsReadRefusal(file));
            }
            EXPECT_TRUE(ProgramIntact(program, 2));
            EXPECT_TRUE(fs::equivalent(program, file)) << "the name no longer holds the program";
        }
    }
    if (!zeqtest::IsRoot()) GTEST_SKIP() << zeqtest::NeedsRoot("a folder of another user's (the other cases ran)");
}

// The name is free when the settings' replacement looks at it; once its temporary is named (a fixed
// point between the look and the rename), a second name of the writer's set-user-id program is put
// under it, in a folder others may write. The replacement, which would give its new content that
// file's mode, is refused when it comes to take it, and the program keeps its bytes, its mode and its
// names; nothing else is left in the folder.
TEST(UnnamedWrites, ASecondNamePutThereAfterTheLookIsNotReplaced) {
    const zeqtest::TempDir dir;
    const zeqtest::RootsSecret secret(dir.Path());
    const std::string program = MakeProgram(secret);
    ASSERT_FALSE(program.empty()) << std::strerror(errno);
    const fs::path folder = dir.Path() / "shared";
    ASSERT_TRUE(zeqtest::MakeFolderOf(::geteuid(), folder, 0777, ::getegid()));
    const std::string file = (folder / "file").string();
    int made = -1;
    Result result;
    {
        const zeqtest::AtTemporaryNamed seam([&](const std::string&) {
            if (made < 0) made = ::link(program.c_str(), file.c_str()) == 0 ? 0 : errno;
        });
        result = Replace(file);
    }
    ASSERT_EQ(0, made) << std::strerror(made);
    EXPECT_EQ(EACCES, result.mCode);
    EXPECT_EQ("Cannot replace \"" + file +
                  "\": it has other hard links, in a folder others may write, and is not written to: Permission denied",
              result.mSaid);
    EXPECT_TRUE(ProgramIntact(program, 2));
    EXPECT_EQ(std::vector<std::string>{file}, zeqtest::ListedBelow(folder));
}
