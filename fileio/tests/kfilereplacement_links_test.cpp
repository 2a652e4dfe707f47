// What another user of the machine may do in a folder both may write, and what a
// replacement does about it: a link they planted is followed only as the system's
// rule for sticky shared folders allows, whatever the machine's setting; a name of
// theirs exchanged with the temporary at the last moment fails the replacement; and
// a file whose access control list and large attributes fill the room ext4 keeps for
// them is replaced with all of them.

#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/klib.h"
#include "fileio/kconfigfile.h"
#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "fileio/tests/kopenwatch.h"
#include "fileio/tests/kplantedlinks.h"

using namespace zeqsdk_400;
using zeqtest::kUnprivileged;
using zeqtest::ReadFile;
using zeqtest::WriteFile;
namespace fs = std::filesystem;

namespace {

bool IsLink(const std::string& path) { return fs::is_symlink(fs::symlink_status(path)); }

bool AnyTemporaryIn(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp") != std::string::npos) return true;
    return false;
}

// Where the link under test lies on the way to the file written.
enum class Where { kLast, kOnTheWay, kDangling, kFurtherAlongAChain };

struct LinkCase {
    const char* mName;
    // The folder holding the link.
    mode_t mFolderMode;
    uid_t mFolderOwner;
    uid_t mLinkOwner;
    Where mWhere;
    bool mFollowed;
};

constexpr uid_t kRoot = 0;
constexpr uid_t kNobody = zeqtest::kUnprivileged;

const LinkCase kLinkCases[] = {
    {"another user's link in root's sticky folder", 01777, kRoot, kNobody, Where::kLast, false},
    {"root's own link there", 01777, kRoot, kRoot, Where::kLast, true},
    {"the link of the folder's owner", 01777, kNobody, kNobody, Where::kLast, true},
    {"another user's link in a folder without the sticky bit", 0777, kRoot, kNobody, Where::kLast, true},
    {"another user's link in a sticky folder only its owner may write", 01755, kRoot, kNobody, Where::kLast, true},
    {"another user's link in a sticky folder its group may write", 01775, kRoot, kNobody, Where::kLast, false},
    {"another user's link to a folder, on the way", 01777, kRoot, kNobody, Where::kOnTheWay, false},
    {"another user's dangling link", 01777, kRoot, kNobody, Where::kDangling, false},
    {"root's own dangling link", 01777, kRoot, kRoot, Where::kDangling, true},
    {"another user's link further along a chain", 01777, kRoot, kNobody, Where::kFurtherAlongAChain, false},
};

// How the file is written: replaced, or appended to (as the plug-in's log is).
enum class Way { kReplace, kAppend };

class PlantedLink : public testing::TestWithParam<Way> {
protected:
    // Writes "new" to target the way under test; "" when written, else the reason, and the
    // system's error number in code.
    std::string Write(const std::string& target, int& code) {
        KString error;
        if (GetParam() == Way::kAppend) {
            std::FILE* file = KFileReplacement::OpenForAppending(target.c_str(), error, &code);
            if (!file) return error.Buffer();
            const bool written = std::fputs("new", file) >= 0;
            return std::fclose(file) == 0 && written ? "" : "not written";
        }
        KFileReplacement replacement;
        std::FILE* out = replacement.Begin(target.c_str()) ? replacement.OpenStream("wb") : nullptr;
        if (out) {
            const bool written = std::fputs("new", out) >= 0;
            if (std::fclose(out) == 0 && written && replacement.Commit()) return "";
        }
        code = replacement.GetSystemError();
        return replacement.GetError();
    }

    zeqtest::TempDir mDir{zeqtest::TempDir::kOtherUsers};
};

// The system's rule for links in a sticky folder its group or others may write, applied at its
// strictest whatever the machine's setting (fs.protected_symlinks, on or off): another user's
// link, where the path ends, on the way or further along a chain, is refused with the system's
// reason, and the link and what it names stay as they were; a link of the writer's or of the
// folder's owner, or one in another kind of folder, is followed as before.
TEST_P(PlantedLink, IsFollowedOnlyAsTheSystemsRuleForSharedFoldersHasIt) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    int index = 0;
    for (const LinkCase& test : kLinkCases) {
        SCOPED_TRACE(test.mName);
        const fs::path base = mDir.Path() / std::to_string(index++);
        const zeqtest::RootsSecret secret(base);
        const fs::path folder = base / "shared";
        // Of a group the other user is in, their primary group: where it may write, so may they.
        ASSERT_TRUE(zeqtest::MakeFolderOf(test.mFolderOwner, folder, test.mFolderMode, kNobody));
        std::string target = (folder / "t.out").string(), link = target;
        const std::string unmade = secret.Unmade("new");
        switch (test.mWhere) {
            case Where::kLast:
                ASSERT_TRUE(zeqtest::MakeLinkOf(test.mLinkOwner, secret.Path(), link));
                break;
            case Where::kOnTheWay:
                link = (folder / "d").string();
                ASSERT_TRUE(zeqtest::MakeLinkOf(test.mLinkOwner, fs::path(secret.Path()).parent_path(), link));
                target = link + "/secret";
                break;
            case Where::kDangling:
                ASSERT_TRUE(zeqtest::MakeLinkOf(test.mLinkOwner, unmade, link));
                break;
            case Where::kFurtherAlongAChain:
                // Root's own link elsewhere leads to the one under test.
                link = (folder / "hop").string();
                ASSERT_TRUE(zeqtest::MakeLinkOf(test.mLinkOwner, secret.Path(), link));
                fs::create_directories(base / "mine");
                target = (base / "mine" / "t.out").string();
                ASSERT_TRUE(zeqtest::MakeLinkOf(kRoot, link, target));
                break;
        }
        int code = 0;
        const std::string error = Write(target, code);
        EXPECT_TRUE(IsLink(link));
        EXPECT_FALSE(AnyTemporaryIn(folder));
        EXPECT_FALSE(AnyTemporaryIn(fs::path(secret.Path()).parent_path()));
        if (!test.mFollowed) {
            EXPECT_EQ(EACCES, code) << error;
            EXPECT_NE(std::string::npos, error.find("the symbolic link \"" + link + "\" is another user's")) << error;
            EXPECT_TRUE(secret.Intact());
            EXPECT_FALSE(fs::exists(fs::symlink_status(unmade))) << "made where the link points";
            continue;
        }
        EXPECT_EQ("", error);
        const std::string written = test.mWhere == Where::kDangling ? unmade : secret.Path();
        const std::string before = test.mWhere == Where::kDangling ? "" : zeqtest::RootsSecret::kText;
        EXPECT_EQ(GetParam() == Way::kAppend ? before + "new" : "new", ReadFile(written));
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, PlantedLink, testing::Values(Way::kReplace, Way::kAppend),
                         [](const testing::TestParamInfo<Way>& info) {
                             return info.param == Way::kReplace ? "Replaced" : "AppendedTo";
                         });

// Folders are made through links only as files are written through them.
TEST(PlantedLinkFolders, AreNotMadeThroughAnotherUsersLink) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const zeqtest::RootsSecret secret(dir.Path());
    const fs::path folder = dir.Path() / "shared";
    ASSERT_TRUE(zeqtest::MakeFolderOf(kRoot, folder));
    const std::string theirs = (folder / "theirs").string(), own = (folder / "own").string();
    const fs::path inside = fs::path(secret.Path()).parent_path();
    ASSERT_TRUE(zeqtest::MakeLinkOf(kNobody, inside, theirs) && zeqtest::MakeLinkOf(kRoot, inside, own));
    EXPECT_FALSE(KCreateDirectory((theirs + "/made/deeper").c_str()));
    EXPECT_EQ(EACCES, errno);
    EXPECT_FALSE(fs::exists(inside / "made"));
    EXPECT_TRUE(KCreateDirectory((own + "/made/deeper").c_str()));
    EXPECT_TRUE(fs::is_directory(inside / "made" / "deeper"));
}

// One definition of the folders where another user's name is not trusted: sticky, and one its
// group or others may write (01777 as /tmp, 01770, and 01730, where members make names they
// cannot list). A member of the folder's group (a user and group other than root's) plants
// links there: under a file's name to root's own, dangling into root's folder, to root's folder
// on the way, and under the settings' name to root's settings. Whatever the machine's
// fs.protected_symlinks (whose rule stops at folders everybody may write), none is followed to
// replace, append, make folders, read a copy's source, read and rewrite the settings or write a
// section back into a Zeq file read through it, each refusal naming the link as in /tmp (the
// settings and the section, written though nobody named them, naming its owner too); what the
// links name stays as it was.
TEST(GroupSharedFolder, AMembersLinkIsNotFollowed) {
    const zeqtest::ExchangingUser member;
    if (!member.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const std::string configuration = KLib_GetConfigDirectory();
    const std::string rootsSettings = "[s]\nk = root's\n";
    int index = 0;
    for (const mode_t mode : {01777, 01770, 01730}) {
        SCOPED_TRACE("mode 0" + std::to_string(mode >> 9) + std::to_string((mode >> 6) & 7) +
                     std::to_string((mode >> 3) & 7) + std::to_string(mode & 7));
        const fs::path base = dir.Path() / std::to_string(index++);
        const zeqtest::RootsSecret secret(base);
        const fs::path folder = base / "shared", inside = fs::path(secret.Path()).parent_path();
        ASSERT_TRUE(zeqtest::MakeFolderOf(kRoot, folder, mode, kNobody));
        const std::string settingsOfRoot = secret.Unmade("settings.ini");
        WriteFile(settingsOfRoot, rootsSettings);
        const std::string file = (folder / "t.out").string(), dangling = (folder / "new.out").string(),
                          way = (folder / "d").string(), settings = (folder / "file.ini").string();
        const std::pair<std::string, std::string> links[] = {
            {secret.Path(), file}, {secret.Unmade("new"), dangling}, {inside.string(), way}, {settingsOfRoot, settings}};
        for (const auto& [target, link] : links)
            ASSERT_EQ(0, member.PlantLink(target, link)) << link << ": " << std::strerror(member.PlantLink(target, link));
        const auto refused = [](const std::string& said, const std::string& link) {
            EXPECT_NE(std::string::npos, said.find("the symbolic link \"" + link +
                                                   "\" is another user's, in a sticky folder others may write, and is "
                                                   "not followed: Permission denied"))
                << said;
        };
        for (const auto& [target, link] : {std::pair<std::string, std::string>{file, file},
                                           {dangling, dangling},
                                           {way + "/secret", way}}) {
            KFileReplacement replacement;
            EXPECT_FALSE(replacement.Begin(target.c_str()));
            EXPECT_EQ(EACCES, replacement.GetSystemError());
            refused(replacement.GetError(), link);
        }
        KString error;
        int code = 0;
        EXPECT_EQ(nullptr, KFileReplacement::OpenForAppending(file.c_str(), error, &code));
        EXPECT_EQ(EACCES, code);
        refused(error.Buffer(), file);
        EXPECT_FALSE(KCreateDirectory((way + "/made").c_str()));
        EXPECT_EQ(EACCES, errno);
        KString refusal;
        EXPECT_EQ(-1, KOpenSourceDescriptor(file.c_str(), &refusal, &code));
        EXPECT_EQ(EACCES, code);
        refused(refusal.Buffer(), file);
        KLib_SetConfigDirectory(folder.c_str());
        {
            KConfigFile read("file.ini", false);
            EXPECT_STREQ("none", read.Get("s", "k", "none"));
            EXPECT_FALSE(read.Set("s", "k", "mine"));
            // Nobody named the settings: refused as such a write refuses, naming the link's owner.
            EXPECT_NE(std::string::npos, std::string(read.GetError()).find(zeqtest::OthersLinkRefusal(settings)))
                << read.GetError();
        }
        KLib_SetConfigDirectory(configuration.c_str());
        // A Zeq file read through their link (where the system lets it be read: fs.protected_symlinks
        // keeps root from following it in a folder everybody may write) takes no section written back.
        const std::string zeqOfRoot = secret.Unmade("scene.zeq"), zeq = (folder / "scene.zeq").string();
        zeqtest::WriteScene(zeqOfRoot, zeqtest::kBinary, {"root's"});
        const std::string zeqBefore = ReadFile(zeqOfRoot);
        ASSERT_EQ(0, member.PlantLink(zeqOfRoot, zeq));
        {
            KZeq read;
            if (read.ProjectOpen(zeq.c_str())) {
                EXPECT_FALSE(read.ProjectCreateExtensionSection());
                EXPECT_NE(std::string::npos, std::string(read.GetLastRefusal()).find(zeqtest::OthersLinkRefusal(zeq)))
                    << read.GetLastRefusal();
            } else {
                EXPECT_TRUE(mode == 01777 && read.GetError().GetLastSystemError() == EACCES) << read.GetLastRefusal();
            }
        }
        EXPECT_TRUE(zeqBefore == ReadFile(zeqOfRoot)) << "root's Zeq file was written";
        EXPECT_TRUE(secret.Intact());
        EXPECT_EQ(rootsSettings, ReadFile(settingsOfRoot));
        EXPECT_FALSE(fs::exists(fs::symlink_status(secret.Unmade("new"))));
        EXPECT_FALSE(fs::exists(inside / "made"));
    }
}

// Another user's folder on the way, in a sticky folder others may write: once the walk has
// looked at it, they rename it away and put a link of theirs to root's private folder under
// its name. What the walk resolved is held: the file is written in their renamed folder, and
// folders made there, and a file read is read there; root's folder stays as it was.
TEST(SwappedFolder, WhatTheWalkResolvedIsWhereTheWriteGoes) {
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    enum class Act { kReplace, kAppend, kMakeFolders, kRead };
    struct Case {
        const char* mName;
        Act mAct;
        // Below their folder: what the walk that they act after resolves, and what is written.
        const char* mResolved;
        const char* mWritten;
    };
    const Case cases[] = {
        {"replaced", Act::kReplace, "secret", "secret"},
        {"appended to", Act::kAppend, "secret", "secret"},
        // One walk makes every folder: what it made is held.
        {"folders made", Act::kMakeFolders, "made/deeper", "made/deeper"},
        {"read", Act::kRead, "secret", "secret"},
    };
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    int index = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        const fs::path base = dir.Path() / std::to_string(index++);
        const zeqtest::RootsSecret secret(base);
        const fs::path shared = base / "shared", theirs = shared / "theirs", moved = shared / "theirs.moved";
        ASSERT_TRUE(zeqtest::MakeFolderOf(kRoot, shared) && zeqtest::MakeFolderOf(kNobody, theirs, 0755));
        const std::string target = (theirs / test.mWritten).string();
        if (test.mAct == Act::kRead) WriteFile(target, "theirs");
        std::string read;
        const zeqtest::LinkInPlaceOfFolderOnceResolved swap(other, (theirs / test.mResolved).string(), theirs,
                                                             fs::path(secret.Path()).parent_path());
        int code = 0;
        std::string error;
        if (test.mAct == Act::kMakeFolders) {
            error = KCreateDirectory(target.c_str()) ? "" : "not made";
            code = errno;
        } else if (test.mAct == Act::kRead) {
            KPathWalk walk;
            std::FILE* file = KWalkPath(target.c_str(), walk) ? KOpenResolvedForReading(walk.mPlace, "rb") : nullptr;
            for (int c; file && (c = std::fgetc(file)) != EOF;) read += static_cast<char>(c);
            error = file && std::fclose(file) == 0 ? "" : "not read";
        } else {
            KString reason;
            std::FILE* file = test.mAct == Act::kAppend ? KFileReplacement::OpenForAppending(target.c_str(), reason)
                                                        : nullptr;
            KFileReplacement replacement;
            if (test.mAct == Act::kReplace && replacement.Begin(target.c_str())) file = replacement.OpenStream("wb");
            const bool written = file && std::fputs("new", file) >= 0 && std::fclose(file) == 0 &&
                                 (test.mAct == Act::kAppend || replacement.Commit());
            error = written ? "" : replacement.GetError();
        }
        ASSERT_EQ(0, swap.Result()) << "they could not put their link there: " << std::strerror(swap.Result());
        EXPECT_TRUE(secret.Intact());
        EXPECT_EQ(std::vector<fs::path>{secret.Path()},
                  std::vector<fs::path>(fs::directory_iterator(fs::path(secret.Path()).parent_path()), {}));
        EXPECT_FALSE(AnyTemporaryIn(moved));
        if (test.mAct == Act::kMakeFolders) {
            EXPECT_EQ("", error) << std::strerror(code);
            EXPECT_TRUE(fs::is_directory(moved / "made" / "deeper"));
        } else if (test.mAct == Act::kRead) {
            EXPECT_EQ("", error);
            EXPECT_EQ("theirs", read);
        } else {
            EXPECT_EQ("", error);
            EXPECT_EQ("new", ReadFile((moved / test.mWritten).string()));
        }
    }
}

// The system's rule for regular files in a sticky folder others may write, at its strictest
// and whatever the machine's setting (fs.protected_regular 0, 1 or 2): a file there that
// belongs neither to the writer nor to the folder's owner is not appended to (a log another
// user left under its name), not replaced (the new content would be theirs to change), and
// not read as settings; a sticky folder its group may write counts as shared too. The rule is
// applied before anything is opened, so that the reason is the same whether or not the
// system would have refused the open first. The settings, which nobody names, go further: no
// file of another user's where they may put a name, sticky folder or not (UnnamedWrites).
TEST(SharedFolderFiles, AreUsedOnlyAsTheSystemsRuleHasIt) {
    ZEQ_SKIP_UNLESS_ROOT("files of another user");
    struct Case {
        const char* mName;
        mode_t mFolderMode;
        uid_t mFolderOwner;
        uid_t mFileOwner;
        bool mUsed;
        bool mSettingsUsed;
    };
    const Case cases[] = {
        {"another user's file in root's sticky folder", 01777, kRoot, kNobody, false, false},
        {"the folder owner's file", 01777, kNobody, kNobody, true, false},
        {"root's own file in another user's sticky folder", 01777, kNobody, kRoot, true, true},
        {"another user's file in a folder without the sticky bit", 0777, kRoot, kNobody, true, false},
        {"a member's file in a sticky folder its group may write", 01770, kRoot, kNobody, false, false},
        {"a member's file in a sticky folder only its owner may write", 01750, kRoot, kNobody, true, true},
    };
    const std::string theirs = "[s]\nk = theirs\n";
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const std::string configuration = KLib_GetConfigDirectory();
    int index = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        const fs::path folder = dir.Path() / std::to_string(index++);
        // Of the group the other user is in, their primary group ("a member's").
        ASSERT_TRUE(zeqtest::MakeFolderOf(test.mFolderOwner, folder, test.mFolderMode, kNobody));
        const std::string file = (folder / "file.ini").string();
        const auto plant = [&] {
            WriteFile(file, theirs);
            ASSERT_EQ(0, ::chown(file.c_str(), test.mFileOwner, test.mFileOwner));
        };
        plant();
        KString error;
        int code = 0;
        zeqtest::OpenWatch watch(file);
        ASSERT_TRUE(watch.Ready());
        std::FILE* appended = KFileReplacement::OpenForAppending(file.c_str(), error, &code);
        // Refused before it is opened: their file never sees this user's open.
        EXPECT_EQ(test.mUsed, watch.Opened());
        if (appended) {
            std::fputs("new", appended);
            std::fclose(appended);
        }
        EXPECT_EQ(test.mUsed, appended != nullptr) << error.Buffer();
        EXPECT_EQ(test.mUsed ? theirs + "new" : theirs, ReadFile(file));
        if (!test.mUsed) {
            EXPECT_EQ(EACCES, code);
            EXPECT_EQ("Cannot write \"" + file +
                          "\": it is another user's, in a sticky folder others may write, and is not written to: "
                          "Permission denied",
                      error.Buffer());
        }

        plant();
        KFileReplacement replacement;
        std::FILE* out = replacement.Begin(file.c_str()) ? replacement.OpenStream("wb") : nullptr;
        const bool replaced = out && std::fputs("new", out) >= 0 && std::fclose(out) == 0 && replacement.Commit();
        EXPECT_EQ(test.mUsed, replaced) << replacement.GetError();
        EXPECT_EQ(test.mUsed ? "new" : theirs, ReadFile(file));
        if (!test.mUsed) {
            EXPECT_EQ(EACCES, replacement.GetSystemError());
            EXPECT_NE(std::string::npos, std::string(replacement.GetError()).find("only its owner or the folder's owner"))
                << replacement.GetError();
        }

        plant();
        KLib_SetConfigDirectory(folder.c_str());
        KConfigFile settings("file.ini", false);
        EXPECT_STREQ(test.mSettingsUsed ? "theirs" : "none", settings.Get("s", "k", "none"));
        EXPECT_EQ(test.mSettingsUsed, settings.Set("s", "k", "mine")) << settings.GetError();
        EXPECT_EQ(test.mSettingsUsed ? "[s]\nk = mine\n" : theirs, ReadFile(file));
    }
    KLib_SetConfigDirectory(configuration.c_str());
}

// How a file is written where it lies: appended to (the log), or over its first bytes (a
// section written back into a file that was read).
enum class WhereItLies { kAppend, kInPlace };

// Writes "new" to path the way given: "" once written, else the reason, the system's error
// number in code.
std::string WriteWhereItLies(const std::string& path, WhereItLies way, int& code) {
    KString error;
    if (way == WhereItLies::kAppend) {
        std::FILE* file = KFileReplacement::OpenForAppending(path.c_str(), error, &code);
        if (!file) return error.Buffer();
        const bool written = std::fputs("new", file) >= 0;
        return std::fclose(file) == 0 && written ? "" : "not written";
    }
    const int fd = KFileReplacement::OpenForWritingInPlace(path.c_str(), error, &code);
    if (fd < 0) return error.Buffer();
    const bool written = ::pwrite(fd, "new", 3, 0) == 3;
    return ::close(fd) == 0 && written ? "" : "not written";
}

// What a file that held before holds once "new" is written the way given.
std::string Written(const std::string& before, WhereItLies way) {
    return way == WhereItLies::kAppend ? before + "new" : "new" + before.substr(3);
}

// A file missing where it is to be written in place (a section written back into a file that was
// read, and removed since) is not made: the write fails with the system's reason. Appended to (the
// log), it is made.
TEST(WrittenWhereItLies, AMissingFileIsMadeOnlyToBeAppendedTo) {
    zeqtest::TempDir dir;
    for (const WhereItLies way : {WhereItLies::kInPlace, WhereItLies::kAppend}) {
        const bool inPlace = way == WhereItLies::kInPlace;
        SCOPED_TRACE(inPlace ? "in place" : "appended");
        const std::string name = inPlace ? "scene.zeq" : "log.txt", path = dir / name;
        int code = 0;
        const std::string error = WriteWhereItLies(path, way, code);
        if (inPlace) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
            EXPECT_EQ(ENOENT, code);
            EXPECT_EQ("Cannot write \"" + (fs::canonical(dir.Path()) / name).string() + "\": " + std::strerror(ENOENT),
                      error);
        } else {
            EXPECT_EQ("", error);
            EXPECT_EQ("new", ReadFile(path));
        }
    }
}

// No file the system writes into keeps a set-user-ID or set-group-ID bit, as no replaced one does:
// appended to (the log) or written in place (a section written back), it takes the content and
// loses both bits, and nothing else of its mode. The system clears them itself only for a writer
// without the right to keep them, and root has it: only a run as root tells. Another user who may
// write the file (by its group) but not change its mode is such a writer: the write goes ahead, and
// the system clears them; but a set-group-ID bit without group execute it leaves to a member of the
// file's group, so that file is not written, the refusal saying why, and stays as it was.
TEST(WrittenWhereItLies, KeepsNoSetUserOrGroupIdBit) {
    ZEQ_SKIP_UNLESS_ROOT("a writer the system leaves set-user-ID bits to");
    struct Case {
        const char* mName;
        mode_t mBefore;
        mode_t mAfter;
        bool mByAnotherUser;  // nobody, by the group, of root's file
        bool mRefused;
    };
    const Case cases[] = {
        {"both bits", 06755, 0755, false, false},
        {"set-user-ID alone", 04700, 0700, false, false},
        {"set-group-ID without group execute", 02640, 0640, false, false},
        {"both bits, another user writing by the group", 06775, 0775, true, false},
        {"set-group-ID without group execute, another user writing by the group", 02660, 02660, true, true},
    };
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    // Where the other user writes: their own folder, which root's file lies in.
    const fs::path theirs = dir.Path() / "theirs";
    ASSERT_TRUE(zeqtest::MakeFolderOf(kNobody, theirs, 0755));
    int index = 0;
    for (const WhereItLies way : {WhereItLies::kAppend, WhereItLies::kInPlace}) {
        for (const Case& test : cases) {
            SCOPED_TRACE(std::string(test.mName) + (way == WhereItLies::kAppend ? ", appended" : ", in place"));
            const fs::path folder = test.mByAnotherUser ? theirs : dir.Path();
            const std::string file = (folder / ("program" + std::to_string(index++))).string();
            WriteFile(file, "old");
            ASSERT_EQ(0, ::chown(file.c_str(), 0, test.mByAnotherUser ? kNobody : 0));
            ASSERT_EQ(0, ::chmod(file.c_str(), test.mBefore));
            std::string error;
            if (test.mByAnotherUser) {
                const std::optional<std::string> answer = zeqtest::AsUnprivileged(theirs, [&] {
                    int code = 0;
                    return WriteWhereItLies(file, way, code);
                });
                if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(theirs);
                error = *answer;
            } else {
                int code = 0;
                error = WriteWhereItLies(file, way, code);
            }
            EXPECT_EQ(test.mRefused ? "Cannot write \"" + file +
                                          "\": its set-user-ID and set-group-ID bits cannot be cleared: " +
                                          std::strerror(EPERM)
                                    : std::string(),
                      error);
            EXPECT_EQ(test.mRefused ? std::string("old") : Written("old", way), ReadFile(file));
            struct stat st {};
            ASSERT_EQ(0, ::stat(file.c_str(), &st));
            EXPECT_EQ(test.mAfter, st.st_mode & 07777);
        }
    }
}

// The system's rule for hard links, whatever the machine's setting (fs.protected_hardlinks): a
// name with other hard links, in a folder another user may write, may be their link to a file
// of the writer's that they may not write themselves; appended to (the log) or written in
// place (a section written back), it would change. It is refused with the reason and stays as
// it was; in a folder only the writer may write, and for a file without other links, the write
// goes ahead.
TEST(SharedFolderHardLinks, AreNotWrittenWhereTheyLie) {
    struct Case {
        const char* mName;
        mode_t mFolderMode;
        // The folder is another user's (root only).
        bool mTheirs;
        bool mLinked;
        bool mUsed;
    };
    const Case cases[] = {
        {"a link in a folder everybody may write", 0777, false, true, false},
        {"a link in a sticky folder everybody may write", 01777, false, true, false},
        {"a link in a folder its group may write", 0770, false, true, false},
        {"a link in the writer's own folder", 0755, false, true, true},
        {"a file without other links in a folder everybody may write", 0777, false, false, true},
        // Last: the one case that needs root.
        {"a link in another user's folder", 0755, true, true, false},
    };
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    // A group whose write counts as another user's, whatever the user database holds (one of the
    // writer's own alone would count as the writer's).
    const gid_t shared = zeqtest::GroupOthersAreIn();
    std::string notRun;
    int index = 0;
    for (const WhereItLies way : {WhereItLies::kAppend, WhereItLies::kInPlace}) {
        for (const Case& test : cases) {
            SCOPED_TRACE(std::string(test.mName) + (way == WhereItLies::kAppend ? ", appended" : ", in place"));
            if (test.mTheirs && !zeqtest::IsRoot()) continue;
            const bool groupWrites = (test.mFolderMode & S_IWGRP) != 0;
            if (groupWrites && shared == zeqtest::kNoGroup) {
                if (way == WhereItLies::kAppend)
                    notRun += std::string("; not run: ") + test.mName + " (this user is in no group but its own)";
                continue;
            }
            const fs::path base = dir.Path() / std::to_string(index++);
            const zeqtest::RootsSecret secret(base);
            const fs::path folder = base / "plug-ins";
            ASSERT_TRUE(zeqtest::MakeFolderOf(test.mTheirs ? kNobody : ::geteuid(), folder, 0755,
                                              groupWrites ? shared : zeqtest::kNoGroup));
            const std::string log = (folder / "log.txt").string();
            const std::string before = test.mLinked ? zeqtest::RootsSecret::kText : "old";
            if (test.mLinked)
                ASSERT_EQ(0, ::link(secret.Path().c_str(), log.c_str())) << std::strerror(errno);
            else
                WriteFile(log, before);
            ASSERT_EQ(0, ::chmod(folder.c_str(), test.mFolderMode));
            int code = 0;
            zeqtest::OpenWatch watch(log);
            ASSERT_TRUE(watch.Ready());
            const std::string error = WriteWhereItLies(log, way, code);
            // Refused on the look, before the open: the file may be another's link to one of the writer's.
            EXPECT_EQ(test.mUsed, watch.Opened());
            EXPECT_EQ(test.mUsed, error.empty()) << error;
            EXPECT_EQ(test.mUsed ? Written(before, way) : before, ReadFile(log));
            if (!test.mUsed) {
                EXPECT_EQ(EACCES, code);
                EXPECT_EQ("Cannot write \"" + log + "\": it has other hard links, in " +
                              zeqtest::FolderOthersWrite(test.mTheirs ? kNobody : ::geteuid(), test.mFolderMode,
                                                         groupWrites ? shared : ::getegid()) +
                              ", and is not written to: Permission denied",
                          error);
            }
        }
    }
    if (!zeqtest::IsRoot())
        GTEST_SKIP() << zeqtest::NeedsRoot("a folder of another user (the other cases ran)") << notRun;
}

// Once the walk has looked at the file (nlink 1), a hard link to it is made elsewhere, at that
// fixed point, before the open: the look saw none, and the open is what finds it. The append,
// or the write in place, is refused with the same reason and the file stays as it was.
TEST(SharedFolderHardLinks, OneMadeBetweenTheLookAndTheOpenIsRefused) {
    for (const WhereItLies way : {WhereItLies::kAppend, WhereItLies::kInPlace}) {
        SCOPED_TRACE(way == WhereItLies::kAppend ? "appended" : "in place");
        zeqtest::TempDir dir;
        const fs::path folder = dir.Path() / "plug-ins";
        fs::create_directories(folder);
        const std::string log = (folder / "log.txt").string(), theirs = (dir.Path() / "theirs").string();
        WriteFile(log, "old");
        ASSERT_EQ(0, ::chmod(folder.c_str(), 0777));
        static std::string sLog, sTheirs;
        static int sMade;
        sLog = fs::canonical(log).string(), sTheirs = theirs, sMade = -1;
        zeqdetail::gReplacementSeams.mResolved = [](const char* path) {
            if (sLog == path && sMade < 0) sMade = ::link(sLog.c_str(), sTheirs.c_str()) == 0 ? 0 : errno;
        };
        int code = 0;
        const std::string error = WriteWhereItLies(log, way, code);
        zeqdetail::gReplacementSeams.mResolved = nullptr;
        ASSERT_EQ(0, sMade) << "the link was not made: " << std::strerror(sMade);
        EXPECT_EQ(EACCES, code);
        EXPECT_EQ("Cannot write \"" + sLog +
                      "\": it has other hard links, in a folder others may write, and is not written to: Permission denied",
                  error);
        EXPECT_EQ("old", ReadFile(log));
    }
}

// A file the system keeps from change is refused before anything is written, and the reason
// says which keeps it (write access shows neither for an append-only file): replaced, neither
// is; appended to (the log), an append-only file takes the lines and an immutable one is refused;
// written in place (a section written back), neither is.
TEST(KeptFromChange, SaysWhichAndAppendOnlyTakesAppends) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set a file's flags";
    struct Case {
        const char* mName;
        int mFlag;
        const char* mKept;
        bool mAppended;
    };
    const Case cases[] = {
        {"immutable", FS_IMMUTABLE_FL, "immutable", false},
        {"append-only", FS_APPEND_FL, "append-only", true},
    };
    zeqtest::TempDir dir;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        const std::string file = dir / (std::string(test.mName) + ".log");
        WriteFile(file, "old");
        if (!zeqtest::SetFileFlag(file, test.mFlag, true))
            GTEST_SKIP() << "no " << test.mName << " files on this file system: " << std::strerror(errno);
        KFileReplacement replacement;
        const bool begun = replacement.Begin(file.c_str());
        KString error;
        int code = 0;
        std::FILE* appended = KFileReplacement::OpenForAppending(file.c_str(), error, &code);
        if (appended) {
            std::fputs("new", appended);
            std::fclose(appended);
        }
        // Written in place, neither takes anything.
        int inPlaceCode = 0;
        const std::string inPlace = WriteWhereItLies(file, WhereItLies::kInPlace, inPlaceCode);
        zeqtest::SetFileFlag(file, test.mFlag, false);
        EXPECT_EQ(EPERM, inPlaceCode);
        EXPECT_EQ("\"" + file + "\" cannot be written: it is " + test.mKept + ": Operation not permitted", inPlace);
        EXPECT_FALSE(begun);
        EXPECT_EQ(EPERM, replacement.GetSystemError());
        EXPECT_EQ("\"" + file + "\" cannot be replaced: it is " + test.mKept + ": Operation not permitted",
                  replacement.GetError());
        EXPECT_FALSE(AnyTemporaryIn(dir.Path()));
        EXPECT_EQ(test.mAppended, appended != nullptr) << error.Buffer();
        EXPECT_EQ(test.mAppended ? "oldnew" : "old", ReadFile(file));
        if (!test.mAppended) {
            EXPECT_EQ("\"" + file + "\" cannot be written: it is " + test.mKept + ": Operation not permitted",
                      error.Buffer());
        }
    }
}

// A writer who is not in the group of the file replaced (its owner, here) cannot give the
// new content that group: where the group may do what others may not, the replacement is
// refused and the file stays as it was, rather than hand that access to another group.
TEST(ReplacedGroup, IsKeptOrTheFileStaysAsItWas) {
    ZEQ_SKIP_UNLESS_ROOT("a file of a group its owner is not in");
    struct Case {
        mode_t mMode;
        bool mReplaced;
    };
    const Case cases[] = {{0640, false}, {0660, false}, {0604, true}, {0600, true}, {0666, true}};
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    ASSERT_TRUE(zeqtest::MakeFolderOf(kNobody, dir.Path() / "own", 0755));
    const std::string file = dir / "own/file";
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mMode);
        WriteFile(file, "old");
        // The group of root, which the owner is not in.
        ASSERT_EQ(0, ::chown(file.c_str(), kNobody, 0));
        ASSERT_EQ(0, ::chmod(file.c_str(), test.mMode));
        const std::optional<std::string> answer = zeqtest::AsUnprivileged(dir / "own", [&]() -> std::string {
            KFileReplacement replacement;
            std::FILE* out = replacement.Begin(file.c_str()) ? replacement.OpenStream("wb") : nullptr;
            if (!out || std::fputs("new", out) < 0 || std::fclose(out) != 0) return "not written";
            return replacement.Commit() ? "" : replacement.GetError();
        });
        if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(dir / "own");
        if (test.mReplaced) {
            EXPECT_EQ("", *answer);
            EXPECT_EQ("new", ReadFile(file));
            continue;
        }
        EXPECT_EQ("Cannot replace \"" + file +
                      "\": its group (\"root\") cannot be kept, and what that group may do that others may not would "
                      "go to another group: Operation not permitted",
                  *answer);
        struct stat st;
        ASSERT_EQ(0, ::stat(file.c_str(), &st));
        EXPECT_EQ("old", ReadFile(file));
        EXPECT_EQ(0u, st.st_gid);
        EXPECT_EQ(test.mMode, st.st_mode & 07777);
    }
}

// A file holding an access control list, a user attribute, an empty one and one of 4,000
// bytes: on ext4 they share the room the inode and one block give them, which holds them
// all when the list comes first. The new content takes every one of them, whoever writes
// it: root, the owner, and a user the list lets write whose owner entry may only read
// (the attributes are given while the writer may still write its temporary).
TEST(ReplacedAttributes, AListAndALargeAttributeAreAllKept) {
    struct Case {
        const char* mName;
        const char* mList;
        std::vector<std::pair<const char*, std::string>> mAttributes;
        // Who owns the file before; who replaces it (root, or kUnprivileged too).
        uid_t mOwner;
        bool mAsAnotherUser;
    };
    const std::vector<std::pair<const char*, std::string>> large = {
        {"user.a", "a"}, {"user.empty", ""}, {"user.big", std::string(4000, 'b')}};
    const Case cases[] = {
        {"a list and a large attribute, replaced by root then by the owner", "u::rw-,u:4242:r--,g::---,m::r--,o::---",
         large, kNobody, true},
        {"a writer named in the list, the owner entry read-only", "u::r--,u:65534:rw-,g::---,m::rw-,o::---",
         {{"user.origin", "scanner 7"}}, kRoot, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        // The last case: a list that keeps the owner from writing, and another user it lets write.
        if (test.mOwner == kRoot) ZEQ_SKIP_UNLESS_ROOT("a file of root's that another user writes");
        zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
        fs::permissions(dir.Path(), fs::perms::all);
        const std::string companion = dir / "scene.lib", target = dir / "scene.out";
        for (const std::string& path : {companion, target}) {
            WriteFile(path, "old");
            if (!zeqtest::SetAcl(path, test.mList)) GTEST_SKIP() << "no access control lists here";
            for (const auto& [name, value] : test.mAttributes)
                if (!zeqtest::SetAttribute(path, name, value))
                    GTEST_SKIP() << "this file system holds no " << name << " of " << value.size()
                                 << " bytes beside the list: " << std::strerror(errno);
            if (::geteuid() == 0) {
                ASSERT_EQ(0, ::chown(path.c_str(), test.mOwner, test.mOwner));
            }
        }
        const std::string access = zeqtest::AccessOf(target);
        const auto replace = [&]() -> std::string {
            KFileReplacement first, main;
            if (!first.Begin(companion.c_str()) || !main.Begin(target.c_str())) return "not begun";
            for (KFileReplacement* replacement : {&first, &main}) {
                std::FILE* out = replacement->OpenStream("wb");
                if (!out || std::fputs("new", out) < 0 || std::fclose(out) != 0) return "not written";
            }
            KFileReplacement* group[] = {&first, &main};
            if (KFileReplacement* failed = KFileReplacement::CommitTogether(group, 2)) return failed->GetError();
            for (const std::string& path : {companion, target}) {
                if (ReadFile(path) != "new") return path + " not replaced";
                if (zeqtest::AccessOf(path) != access) return path + ": " + zeqtest::AccessOf(path);
                for (const auto& [name, value] : test.mAttributes)
                    if (zeqtest::AttributeOf(path, name) != value) return path + ": " + name + " was lost";
            }
            return "";
        };
        EXPECT_EQ("", replace());
        if (!test.mAsAnotherUser) continue;
        const std::optional<std::string> other = zeqtest::AsUnprivileged(dir.Path(), replace);
        if (!other) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(dir.Path());
        EXPECT_EQ("", *other);
    }
}

// Another user who may write the folder (0777, not sticky) exchanges the temporary's name
// with a link of theirs just before it is renamed, after every check: the rename then puts
// their link in the file's place. The replacement fails with the reason, every time; their
// link stays where it is, what it names is not written, and the other files of a group are
// given back their old content (one put in place by an exchange takes it back at once).
struct ExchangeCase {
    const char* mName;
    // The file whose temporary is exchanged: the companion (first) or the main file (last).
    bool mCompanion;
    // The companion exists before (else it is new).
    bool mCompanionExists;
    // The file system is taken to lack exchanging renames.
    bool mNoExchange;
    // After the failure, the exchanged file's name holds their link (else its old content).
    bool mTheirLinkThere;
};
void PrintTo(const ExchangeCase& test, std::ostream* os) { *os << test.mName; }

const ExchangeCase kExchangeCases[] = {
    {"MainFile", false, true, false, true},
    {"ExistingCompanion", true, true, false, false},
    {"NewCompanion", true, false, false, true},
    {"ExistingCompanionWithoutExchange", true, true, true, true},
    {"MainFileWithoutExchange", false, true, true, true},
};

class ExchangedAtTheRename : public testing::TestWithParam<ExchangeCase> {};

TEST_P(ExchangedAtTheRename, FailsTheReplacementWithTheReason) {
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    const ExchangeCase& test = GetParam();
    zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const zeqtest::RootsSecret secret(dir.Path());
    const fs::path folder = dir.Path() / "shared";
    ASSERT_TRUE(zeqtest::MakeFolderOf(kRoot, folder, 0777));
    const std::string companion = (folder / "scene.lib").string(), target = (folder / "scene.out").string();
    const std::string theirs = (folder / "theirs").string();
    if (test.mCompanionExists) WriteFile(companion, "old companion");
    WriteFile(target, "old main");
    ASSERT_TRUE(zeqtest::MakeLinkOf(kNobody, secret.Path(), theirs));
    zeqdetail::gFileSystemLimits.mNoExchange = test.mNoExchange;
    std::string error;
    bool done = false;
    {
        const zeqtest::ExchangeBeforeRename exchange(other, theirs, test.mCompanion ? "scene.lib" : "scene.out");
        KFileReplacement first, main;
        ASSERT_TRUE(first.Begin(companion.c_str()) && main.Begin(target.c_str()));
        for (KFileReplacement* replacement : {&first, &main}) {
            std::FILE* out = replacement->OpenStream("wb");
            ASSERT_TRUE(out && std::fputs("new", out) >= 0 && std::fclose(out) == 0);
        }
        KFileReplacement* group[] = {&first, &main};
        KFileReplacement* failed = KFileReplacement::CommitTogether(group, 2);
        done = exchange.Done();
        ASSERT_EQ(test.mCompanion ? &first : &main, failed);
        error = failed->GetError();
    }
    zeqdetail::gFileSystemLimits.mNoExchange = false;
    ASSERT_TRUE(done) << "the other user could not exchange the names";
    const std::string exchanged = test.mCompanion ? companion : target;
    EXPECT_NE(std::string::npos, error.find("Cannot replace \"" + exchanged + "\": after the rename its name holds"))
        << error;
    EXPECT_TRUE(secret.Intact());
    EXPECT_EQ(test.mTheirLinkThere, IsLink(exchanged));
    if (!test.mTheirLinkThere) {
        EXPECT_EQ("old companion", ReadFile(companion));
    }
    if (test.mCompanion) {
        EXPECT_EQ("old main", ReadFile(target));
    } else if (test.mCompanionExists) {
        EXPECT_EQ("old companion", ReadFile(companion));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExchangedAtTheRename, testing::ValuesIn(kExchangeCases),
                         [](const testing::TestParamInfo<ExchangeCase>& info) { return info.param.mName; });

}  // namespace
