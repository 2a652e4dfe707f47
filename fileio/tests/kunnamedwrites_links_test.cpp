// Writes nobody named (a log appended to, settings replaced, a section written back where it lies,
// the folder an extraction writes in, a scratch file) follow no symbolic link that another user
// may have put where another user may write, at the end of the path or on the way: theirs, sticky
// folder or not; root's own with a second name; root's own where the folder is not sticky (they may
// rename it there). The write is refused, naming the link and why, and what the link names stays
// as it was. Root's own link with one name in a sticky folder is followed as before.

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
                    const std::string refusal = linkOwner == kRoot ? zeqtest::RenamableLinkRefusal(link)
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
                const std::string refusal = how == How::kSecondName ? zeqtest::HardLinkedLinkRefusal(link)
                                                                    : zeqtest::RenamableLinkRefusal(link);
                EXPECT_EQ(EACCES, result.mCode) << result.mSaid;
                EXPECT_EQ(result.mSaid.size() - refusal.size(), result.mSaid.find(refusal)) << result.mSaid;
                EXPECT_TRUE(before == ReadFile(secret.Path())) << "root's file was written";
            }
        }
    }
}
