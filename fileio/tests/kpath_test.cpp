#include "fileio/kpath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kfilereplacement.h"
#include "fileio/kgrouprule.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kgroupcases.h"
#include "fileio/tests/kpipewatchdog.h"
#include "fileio/tests/kunixsocket.h"

using namespace zeqsdk_400;
using zeqtest::ReadFile;
using zeqtest::Str;
using zeqtest::TempDir;
using zeqtest::WriteFile;
namespace fs = std::filesystem;

namespace {

struct PathCase {
    const char* mWhat;
    std::function<KString()> mCall;
    const char* mExpected;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.mWhat; }

class PathText : public testing::TestWithParam<PathCase> {};

TEST_P(PathText, Matches) { EXPECT_STREQ(GetParam().mExpected, GetParam().mCall().Buffer()); }

KString Clean(const char* path) { return KCleanPath(KString(path)); }

#define CASE(call, expected) PathCase{#call, [] { return call; }, expected}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathText,
    testing::Values(
        CASE(ExtractFileExtension("scene/take.zeq"), "zeq"), CASE(ExtractFileExtension("C:\\data\\Take.ZEQ"), "ZEQ"),
        CASE(ExtractFileExtension("archive.tar.gz"), "gz"), CASE(ExtractFileExtension("dir.v2/readme"), ""),
        CASE(ExtractFileExtension("dir.v2\\readme"), ""), CASE(ExtractFileExtension("trailing."), ""),
        CASE(ExtractFileExtension("./file"), ""), CASE(ExtractFileExtension("../up/file.obj"), "obj"),
        CASE(ExtractFileExtension(nullptr), ""), CASE(Clean("a/./b/../c"), "a/c"),
        CASE(Clean("a\\b\\..\\c\\file.txt"), "a/c/file.txt"), CASE(Clean("/usr//local/"), "/usr/local"),
        CASE(Clean("/../x"), "/x"), CASE(Clean("/"), "/"), CASE(Clean("../x/../../y"), "../../y"),
        CASE(Clean("a/.."), "."), CASE(Clean("./"), "."), CASE(Clean("C:\\dir\\..\\f.zeq"), "C:/f.zeq"),
        CASE(Clean("C:\\..\\f"), "C:/f"), CASE(Clean(""), ""),
        CASE(ExtractFileName("dir/file.tar.gz", true), "file.tar.gz"),
        CASE(ExtractFileName("dir/file.tar.gz", false), "file.tar"),
        CASE(ExtractFileName("dir.d\\file", false), "file"), CASE(ExtractFileName("dir/", true), ""),
        CASE(ExtractFileName(".hidden", false), ""),
        CASE(ExtractFileName("C:\\My Files\\Take 001.tak"), "Take 001.tak"), CASE(ExtractFileName(nullptr, true), ""),
        CASE(ExtractDirectoryFromFilePath("a/b/c.txt"), "a/b"), CASE(ExtractDirectoryFromFilePath("a/b.d\\c"), "a/b.d"),
        CASE(ExtractDirectoryFromFilePath("a\\b\\c"), "a\\b"), CASE(ExtractDirectoryFromFilePath("c.txt"), ""),
        CASE(ExtractDirectoryFromFilePath("/c.txt"), ""), CASE(ExtractDirectoryFromFilePath(nullptr), ""),
        CASE(ChangeFileExtension("out/scene.zeq", ".zqd"), "out/scene.zqd"),
        CASE(ChangeFileExtension("dir.v2/scene", ".zeq"), "dir.v2/scene.zeq"),
        CASE(ChangeFileExtension("a/b.c.d", ".e"), "a/b.c.e"), CASE(ChangeFileExtension("x.zeq", nullptr), "x"),
        CASE(MakeFullPath("/base/dir", "../f.txt"), "/base/f.txt"), CASE(MakeFullPath("/base", "/abs/./f"), "/abs/f"),
        CASE(MakeFullPath("C:\\x", "y\\z"), "C:/x/y/z"), CASE(MakeFullPath(nullptr, "rel/./f"), "rel/f"),
        CASE(MakeFullPath("/base/", ""), "/base"), CASE(MakeFullPath("/base/", "./media//a.tif"), "/base/media/a.tif"),
        CASE(MakeRelativePath("/a/b", "/a/b/c/d.txt"), "c/d.txt"), CASE(MakeRelativePath("/a/b/", "/a/b/./x"), "x"),
        CASE(MakeRelativePath("/", "/x"), "x"), CASE(MakeRelativePath("/a/b", "/a/b"), "."),
        // A sibling whose name merely starts with the directory's name is not below it.
        CASE(MakeRelativePath("/a/b", "/a/bc/d"), "/a/bc/d"),
        CASE(MakeRelativePath("/a/b", "/elsewhere/f"), "/elsewhere/f"), CASE(MakeRelativePath("", "f"), "f"),
        // A path for the system keeps its "..": only a walk knows where it goes up from.
        CASE(KAbsolutePath("/home/out/../x.bvh"), "/home/out/../x.bvh"),
        CASE(KAbsolutePath("/a//./b\\..\\c/"), "/a/b/../c"), CASE(KAbsolutePath("/.."), "/..")),
    [](const testing::TestParamInfo<PathCase>& info) {
        // The call as a name: its letters and digits, numbered for uniqueness.
        std::string name = std::to_string(info.index) + "_";
        for (const char* c = info.param.mWhat; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(PathParts, CleanPathInPlaceAndAbsolutePaths) {
    char buffer[] = "a\\b\\..\\c\\.\\file.txt";
    KCleanPath(buffer);
    EXPECT_STREQ("a/c/file.txt", buffer);
    for (const char* path : {"/x", "\\x", "c:\\x", "D:/x"}) EXPECT_TRUE(IsAbsolutePath(path)) << path;
    for (const char* path : {"x/y", "c:x", "", static_cast<const char*>(nullptr)}) EXPECT_FALSE(IsAbsolutePath(path));
}

// "TMPDIR" with one trailing '/', else "/tmp/"; the caller's buffer is never overrun
// (too small gives "" and 0).
TEST(PathParts, TempPathFitsTheBuffer) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    ::setenv("TMPDIR", "/some/dir", 1);
    EXPECT_EQ(0u, GetTempPath(10, buffer));  // "/some/dir/" needs 11 bytes
    EXPECT_EQ(std::string(1, '\0') + std::string(15, 'x'), std::string(buffer, 16));
    EXPECT_TRUE(GetTempPath(0, buffer) == 0 && GetTempPath(64, nullptr) == 0);
    const struct { const char* mDir; const char* mPath; } cases[] = {  // a null directory: unset
        {"/some/dir", "/some/dir/"}, {"/other/", "/other/"}, {"", "/tmp/"}, {nullptr, "/tmp/"}};
    for (const auto& c : cases) {
        c.mDir ? ::setenv("TMPDIR", c.mDir, 1) : ::unsetenv("TMPDIR");
        EXPECT_EQ(std::strlen(c.mPath), GetTempPath(std::strlen(c.mPath) + 1, buffer));
        EXPECT_STREQ(c.mPath, buffer);
    }
    old ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
}

TEST(FilesOnDisk, KFgetsAcceptsEveryLineEndAndSplitsLongLines) {
    TempDir dir;
    const struct { const char* mContent; int mSize; std::vector<const char*> mLines; } cases[] = {
        {"one\r\ntwo\rthree\nfour", 32, {"one\n", "two\n", "three\n", "four"}},
        {"abcdefgh\r\n\r\nz", 4, {"abc", "def", "gh\n", "\n", "z"}}};
    for (const auto& c : cases) {
        WriteFile(dir / "lines.txt", c.mContent);
        std::FILE* file = std::fopen((dir / "lines.txt").c_str(), "rb");
        ASSERT_NE(nullptr, file);
        char buffer[32];
        for (const char* line : c.mLines) ASSERT_TRUE(KFgets(buffer, c.mSize, file) && line == std::string(buffer));
        EXPECT_TRUE(!KFgets(buffer, c.mSize, file) && !KFgets(buffer, 1, file) && !KFgets(nullptr, 4, file));
        std::fclose(file);
    }
}

// Reading opens a regular file, or a link to one, and nothing else: a named
// pipe is refused at once (a plain open would wait for a writer), with the
// path and what it is; a link names the pipe it leads to. A socket, which does
// not open at all, is named as a socket.
TEST(FilesOnDisk, OpenForReadingTakesRegularFilesOnly) {
    TempDir dir;
    const std::string file = dir / "take.txt", pipe = dir / "pipe.zeq", toFile = dir / "to-file", toPipe = dir / "to-pipe";
    const std::string socket = dir / "socket.zeq", toSocket = dir / "to-socket";
    WriteFile(file, "abc");
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    const zeqtest::BoundUnixSocket bound(socket);
    ASSERT_TRUE(bound.IsBound()) << socket;
    fs::create_symlink(file, toFile);
    fs::create_symlink("pipe.zeq", toPipe);
    fs::create_symlink("socket.zeq", toSocket);
    for (const std::string& path : {file, toFile}) {
        KString refusal("old");
        int code = -1;
        std::FILE* opened = KOpenFileForReading(path.c_str(), "rb", &refusal, &code);
        ASSERT_NE(nullptr, opened) << path;
        // Reads wait for data as on any regular file.
        EXPECT_EQ(0, ::fcntl(::fileno(opened), F_GETFL) & O_NONBLOCK);
        char text[4] = {};
        EXPECT_EQ(3u, std::fread(text, 1, 3, opened));
        EXPECT_STREQ("abc", text);
        EXPECT_TRUE(refusal.IsEmpty() && code == 0);
        std::fclose(opened);
    }
    const int both = KOpenRegularFile(file.c_str(), "r+b");
    EXPECT_EQ(O_RDWR, ::fcntl(both, F_GETFL) & O_ACCMODE);
    ::close(both);

    const std::string real = fs::canonical(pipe).string();
    const struct { std::string mPath; int mCode; std::string mRefusal; } refused[] = {
        {pipe, 0, "\"" + pipe + "\" is not read: it is a named pipe, not a regular file"},
        {toPipe, 0, "\"" + toPipe + "\" is not read: it links to \"" + real + "\", a named pipe, not a regular file"},
        {socket, 0, "\"" + socket + "\" is not read: it is a socket, not a regular file"},
        {toSocket, 0, "\"" + toSocket + "\" is not read: it links to \"" + fs::canonical(socket).string() +
                          "\", a socket, not a regular file"},
        {dir / "", EISDIR, "\"" + dir.Path().string() + "\" is not read: it is a directory, not a regular file"},
        {dir / "none.zeq", ENOENT, "Cannot read \"" + (dir / "none.zeq") + "\": No such file or directory"},
    };
    for (const auto& c : refused) {
        KString refusal;
        int code = -1;
        std::FILE* opened = nullptr;
        EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] {
            opened = KOpenFileForReading(c.mPath.c_str(), "rb", &refusal, &code);
        })) << c.mPath;
        EXPECT_EQ(nullptr, opened) << c.mPath;
        if (opened) std::fclose(opened);
        EXPECT_EQ(c.mCode, code) << c.mPath;
        EXPECT_EQ(c.mCode, errno) << c.mPath;
        EXPECT_EQ(c.mRefusal, Str(refusal));
    }
    EXPECT_EQ(-1, KOpenRegularFile(file.c_str(), "wb"));
    EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST(Directories, CreateWithParents) {
    TempDir dir;
    const std::string file = dir / "a/b.d/c/file.txt";
    EXPECT_TRUE(KEnsureDirectoryExistance(file.c_str()) && fs::is_directory(dir / "a/b.d/c") && !fs::exists(file));
    // Already there; no directory part.
    EXPECT_TRUE(KEnsureDirectoryExistance(file.c_str()) && KEnsureDirectoryExistance("file.txt"));
    // As mkdir -p makes it: ".." goes up from the "y" made.
    EXPECT_TRUE(KCreateDirectory((dir.Path().string() + "\\x\\.\\y\\..\\z").c_str()) && fs::is_directory(dir / "x/z") &&
                fs::is_directory(dir / "x/y"));
    WriteFile(dir / "blocker", "x");  // a file in the way
    EXPECT_FALSE(KCreateDirectory((dir / "blocker/sub").c_str()) || KCreateDirectory((dir / "blocker").c_str()) ||
                 KCreateDirectory(""));
    EXPECT_EQ("x", ReadFile(dir / "blocker"));
}

// A ".." after a link to a folder goes up from where the link leads, as the system (and every
// other program) takes it: with home/out -> data/out, "home/out/../x" is data/x, for a file
// replaced, appended to, looked at, a folder made and one held. A name inside a file, joined
// to the file's folder, stays text (MakeFullPath).
TEST(SystemPaths, ParentAfterALinkGoesUpFromWhereItLeads) {
    TempDir dir;
    fs::create_directories(dir / "home");
    fs::create_directories(dir / "data/out");
    fs::create_symlink(dir / "data/out", dir / "home/out");
    const std::string up = dir / "home/out/..";
    KFileReplacement replacement;
    std::FILE* out = replacement.Begin((up + "/x.bvh").c_str()) ? replacement.OpenStream("wb") : nullptr;
    ASSERT_TRUE(out) << replacement.GetError();
    EXPECT_TRUE(std::fputs("new", out) >= 0 && std::fclose(out) == 0 && replacement.Commit()) << replacement.GetError();
    EXPECT_EQ("new", ReadFile(dir / "data/x.bvh"));
    KString error;
    std::FILE* log = KFileReplacement::OpenForAppending((up + "/x.log").c_str(), error);
    ASSERT_TRUE(log) << error.Buffer();
    EXPECT_TRUE(std::fputs("line", log) >= 0 && std::fclose(log) == 0);
    EXPECT_EQ("line", ReadFile(dir / "data/x.log"));
    EXPECT_TRUE(FileExist((up + "/x.bvh").c_str()));
    EXPECT_TRUE(KCreateDirectory((up + "/made").c_str()));
    KHeldFolder held;
    ASSERT_TRUE(held.Open(up.c_str()));
    EXPECT_EQ(dir / "data", held.GetPath());
    EXPECT_TRUE(fs::is_directory(dir / "data/made"));
    EXPECT_EQ(std::vector<fs::path>{dir / "home/out"}, std::vector<fs::path>(fs::directory_iterator(dir / "home"), {}));
    EXPECT_STREQ((dir / "home/x.png").c_str(), MakeFullPath(up.c_str(), "x.png").Buffer());
    // The name a file is known by: the walk's where a ".." cancels a name, the text elsewhere.
    EXPECT_STREQ((dir / "data/x.bvh").c_str(), KResolvePath((up + "/x.bvh").c_str()).Buffer());
    EXPECT_STREQ((dir / "data/new.png").c_str(), KResolvePath((up + "/./new.png").c_str()).Buffer());
    EXPECT_STREQ("rel/x.png", KResolvePath("rel/./x.png").Buffer());
    EXPECT_STREQ("../x.png", KResolvePath("../x.png").Buffer());
    EXPECT_STREQ((dir / "gone/../x.png").c_str(), KResolvePath((dir / "gone/../x.png").c_str()).Buffer());
    // A name a file gives, relative to its folder: joined as the system joins it, then the same.
    const std::string home = dir / "home";
    EXPECT_STREQ((dir / "data/x.bvh").c_str(), KResolvePath(home.c_str(), "out/../x.bvh").Buffer());
    EXPECT_STREQ((dir / "data/x.bvh").c_str(), KResolvePath((home + "/out/..").c_str(), "x.bvh").Buffer());
    EXPECT_STREQ((dir / "data/x.bvh").c_str(), KResolvePath("/elsewhere", (up + "\\x.bvh").c_str()).Buffer());
    EXPECT_STREQ((home + "/maps/x.png").c_str(), KResolvePath(home.c_str(), "maps\\.\\x.png").Buffer());
}

// One walk makes every folder, each in the one before: the components looked at grow with the
// depth, not with its square (a walk from the root for every prefix).
TEST(Directories, MadeInOneWalkWhateverTheDepth) {
    TempDir dir;
    const auto components = [](const std::string& path) {
        return static_cast<unsigned long long>(std::count(path.begin(), path.end(), '/'));
    };
    for (const int depth : {1, 10, 30, 60}) {
        SCOPED_TRACE(depth);
        std::string path = dir / std::to_string(depth);
        for (int level = 1; level < depth; ++level) path += "/d";
        const unsigned long long before = zeqdetail::gWalkCounter.mComponents;
        ASSERT_TRUE(KCreateDirectory(path.c_str()));
        EXPECT_EQ(components(path), zeqdetail::gWalkCounter.mComponents - before);
        EXPECT_TRUE(fs::is_directory(path));
    }
}

// Names a shell would read as commands are plain names here.
TEST(Directories, RemoveDeletesTheWholeTreeWithoutAShell) {
    TempDir dir;
    const std::string root = dir / "tree $(touch pwned) `touch pwned`; touch pwned '\".zqd";
    fs::create_directories(root + "/a/b/c");
    for (const char* file : {"/top.bin", "/a/b/c/deep.bin", "/a/.hidden"}) WriteFile(root + file, "1");
    EXPECT_TRUE(KCreateDirectory((root + "/a/more").c_str()) && KRemoveDirectory(root.c_str()) && !fs::exists(root));
    // Nothing left is success too.
    EXPECT_TRUE(KRemoveDirectory(root.c_str()) && fs::is_empty(dir.Path()) && !fs::exists("pwned"));
    WriteFile(dir / "plain.txt", "x");
    EXPECT_FALSE(KRemoveDirectory((dir / "plain.txt").c_str()) || KRemoveDirectory("") || KRemoveDirectory(nullptr));
    EXPECT_TRUE(fs::exists(dir / "plain.txt"));
}

TEST(Directories, RemoveNeverFollowsSymbolicLinks) {
    TempDir dir;
    const std::string outside = dir / "outside";
    fs::create_directories(outside + "/keep");
    WriteFile(outside + "/precious.txt", "keep me");
    WriteFile(outside + "/keep/also.txt", "keep me too");
    const std::string root = dir / "victim";
    fs::create_directories(root + "/sub");
    fs::create_directory_symlink(outside, root + "/link-to-dir");
    fs::create_symlink(outside + "/precious.txt", root + "/sub/link-to-file");
    fs::create_symlink(root + "/missing", root + "/dangling");
    EXPECT_TRUE(KRemoveDirectory(root.c_str()) && !fs::exists(fs::symlink_status(root)));
    // A link named as the directory itself is removed as a link.
    const std::string link = dir / "link.zqd";
    fs::create_directory_symlink(outside, link);
    EXPECT_TRUE(KRemoveDirectory(link.c_str()) && !fs::exists(fs::symlink_status(link)));
    EXPECT_EQ(ReadFile(outside + "/precious.txt") + ReadFile(outside + "/keep/also.txt"), "keep mekeep me too");
}

TEST(Directories, RemoveRefusesRootCurrentAndParent) {
    TempDir dir;
    fs::create_directories(dir / "a/b");
    const fs::path previous = fs::current_path();
    fs::current_path(dir / "a/b");
    for (const char* path : {"/", "//", ".", "./", "..", "x/../.."}) EXPECT_FALSE(KRemoveDirectory(path)) << path;
    fs::current_path(previous);
    EXPECT_TRUE(fs::is_directory(dir / "a/b"));
}

// The file mapped where code lies is the program's own file; where no file is mapped (the heap, or
// nothing at all) there is none.
TEST(MappedFiles, AreKnownByTheirDeviceAndInode) {
    if (!fs::exists("/proc/self/maps")) GTEST_SKIP() << "the system lists no mappings of a process here (no /proc)";
    struct stat program {};
    ASSERT_EQ(0, ::stat("/proc/self/exe", &program));
    dev_t device = 0;
    ino_t inode = 0;
    ASSERT_TRUE(KMappedFile(reinterpret_cast<const void*>(&KMappedFile), device, inode));
    EXPECT_EQ(program.st_dev, device);
    EXPECT_EQ(program.st_ino, inode);
    const std::vector<char> heap(1u << 20);
    EXPECT_FALSE(KMappedFile(heap.data(), device, inode));
    EXPECT_FALSE(KMappedFile(nullptr, device, inode));
}

// The SDK's rule of a group that is its owner's alone, held to the worked cases the host stand-in's
// own is held to.
class GroupRule : public testing::TestWithParam<zeqtest::GroupRuleCase> {};

TEST_P(GroupRule, IsTheOwnersAloneOnlyWhereNoOtherUserHasIt) {
    const zeqtest::GroupRuleCase& c = GetParam();
    std::vector<KUserEntry> users;
    for (const zeqtest::GroupCaseUser& user : c.AllUsers()) users.push_back({user.mName, user.mUid, user.mGroup});
    std::vector<KGroupEntry> entries;
    for (const zeqtest::GroupCaseEntry& entry : c.mEntries)
        entries.push_back({entry.mName, entry.mMembers, !entry.mPassword.empty() && entry.mPassword != "x"});
    for (const zeqtest::GroupCaseShadow& entry : c.mShadow) {
        entries.push_back({entry.mName, entry.mMembers, !entry.mPassword.empty() && entry.mPassword != "!"});
        entries.back().mMembers.insert(entries.back().mMembers.end(), entry.mAdministrators.begin(),
                                       entry.mAdministrators.end());
    }
    EXPECT_EQ(c.mAlone, KGroupIsOwnersAlone(c.mOwner, c.mGroup, entries, users));
}

// The same cases as the system's databases, mounted in a child with mounts of its own, judged by the
// rule that reads them (beside a thread listing the group database where the case says so): the
// group is the owner's alone only where login grants no other user it, as the system says.
TEST_P(GroupRule, HoldsUnderTheSystemsOwnDatabase) {
    const zeqtest::GroupRuleCase& c = GetParam();
    TempDir dir;
    const std::optional<std::string> answer =
        zeqtest::JudgedUnderItsDatabase(c, dir.Path().string(), KGroupIsOwnersAloneBySystem);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ("", *answer);
}

INSTANTIATE_TEST_SUITE_P(Folders, GroupRule, testing::ValuesIn(zeqtest::GroupRuleCases()),
                         [](const testing::TestParamInfo<zeqtest::GroupRuleCase>& info) {
                             return std::string(info.param.mName);
                         });

// A verdict read from the system's databases stands only while the files it rests on stay the same.
TEST(GroupRuleBySystem, JudgesAgainWhenAFileItRestsOnChanges) {
    TempDir dir;
    const std::optional<std::string> answer =
        zeqtest::JudgedAsItsFilesChange(dir.Path().string(), KGroupIsOwnersAloneBySystem);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ("", *answer);
}

// Whom the rule asks whether login grants the group: those the group file or the user database's
// drop-in memberships may name, and everyone where a source of groups answers that it cannot see.
class GroupRuleLogin : public testing::TestWithParam<zeqtest::LoginAskCase> {};

TEST_P(GroupRuleLogin, IsAskedOfEveryUserItMayGrantTheGroup) {
    const zeqtest::LoginAskCase& c = GetParam();
    TempDir dir;
    const std::optional<std::string> answer =
        zeqtest::AskedUnderItsSources(c, dir.Path().string(), KLoginAskedAbout);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    std::string expected;
    for (const std::string& name : c.mAsked) expected += (expected.empty() ? "" : ",") + name;
    EXPECT_EQ(expected, *answer);
}

// A verdict is kept only where every source of groups login asks lies in the files it rests on:
// where another answers (a cache daemon, another source the switch names), the rule judges again
// each time.
TEST_P(GroupRuleLogin, KeepsAVerdictOnlyWhereTheFilesShowEverySource) {
    const zeqtest::LoginAskCase& c = GetParam();
    TempDir dir;
    const std::optional<std::string> answer =
        zeqtest::KeptUnderItsSources(c, dir.Path().string(), KGroupIsOwnersAloneBySystem);
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ(c.Unseen() ? "judged again 3 of 3" : "kept", *answer);
}

INSTANTIATE_TEST_SUITE_P(Folders, GroupRuleLogin, testing::ValuesIn(zeqtest::LoginAskCases()),
                         [](const testing::TestParamInfo<zeqtest::LoginAskCase>& info) {
                             return std::string(info.param.mName);
                         });

// Writes nobody named, under a user database of the test's own (mounted over the system's in a
// child with mounts of its own; run by another user than root, in a user namespace whose root that
// user is), in a folder of mode 0775 whose group is its owner's primary group: another user may
// write in it where a second user has that group as primary group (what its member list never
// shows) or is listed in it, and then neither the owner's link there is followed (another user may
// rename a link to its name) nor a file with other hard links appended to; where neither holds the
// group is the owner's alone and both are written, as in a folder only its owner may write.
TEST(UnnamedWritesInAGroupsFolder, CountTheGroupAsOthersWhereAnotherUserHasIt) {
    TempDir dir;
    int index = 0;
    for (const zeqtest::GroupDatabaseCase& c : zeqtest::GroupDatabaseCases()) {
        SCOPED_TRACE(c.mName);
        const std::string folder = (dir.Path() / ("place" + std::to_string(index++))).string();
        const std::string link = folder + "/link", log = folder + "/log.txt";
        fs::create_directories(folder);
        WriteFile(folder + "/real.txt", "real\n");
        WriteFile(log, "log\n");
        ASSERT_EQ(0, ::symlink("real.txt", link.c_str()));
        ASSERT_EQ(0, ::link(log.c_str(), (folder + "/other-name").c_str()));
        const std::optional<std::string> answer =
            zeqtest::UnderGroupDatabase(c, folder, [&](uid_t owner, gid_t group) -> std::optional<std::string> {
                if (::lchown(link.c_str(), owner, group) != 0 || ::chown(folder.c_str(), owner, group) != 0 ||
                    ::chmod(folder.c_str(), 0775) != 0)
                    return std::nullopt;
                std::string said;
                for (const std::string& path : {link, log}) {
                    KString error;
                    std::FILE* file =
                        KFileReplacement::OpenForAppending(path.c_str(), error, nullptr, KNamedBy::eNobody);
                    said += (said.empty() ? "" : "; ") + std::string(file ? "written" : error.Buffer());
                    if (file) std::fclose(file);
                }
                return said;
            });
        if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
        const std::string where = "a folder its group (zeqowner) may write, a group that may hold other users";
        EXPECT_EQ(*answer, c.mOthersMayWrite ? "Cannot write \"" + link +
                                                   "\": " + zeqtest::RenamableLinkRefusal(link, where) +
                                                   "; Cannot write \"" + log + "\": it has other hard links, in " +
                                                   where + ", and is not written to: Permission denied"
                                             : std::string("written; written"));
    }
}

// For root, who may change any mode, a folder its group may write is one others may write, whatever
// the group: a file with other hard links there is not written, the group named as the reason.
TEST(UnnamedWritesInAGroupsFolder, CountEveryGroupAsOthersForRoot) {
    ZEQ_SKIP_UNLESS_ROOT("root's own rule");
    TempDir dir;
    const std::string folder = (dir.Path() / "place").string(), log = folder + "/log.txt";
    fs::create_directories(folder);
    WriteFile(log, "log\n");
    ASSERT_EQ(0, ::link(log.c_str(), (folder + "/other-name").c_str()));
    ASSERT_EQ(0, ::chown(folder.c_str(), 0, 0));
    ASSERT_EQ(0, ::chmod(folder.c_str(), 0775));
    KString error;
    std::FILE* file = KFileReplacement::OpenForAppending(log.c_str(), error, nullptr, KNamedBy::eNobody);
    if (file) std::fclose(file);
    EXPECT_EQ(nullptr, file);
    EXPECT_EQ("Cannot write \"" + log + "\": it has other hard links, in a folder its group (" + zeqtest::GroupName(0) +
                  ") may write, a group that may hold other users, and is not written to: Permission denied",
              std::string(error.Buffer()));
}

// The rule read beside another thread of the program listing the group database, 20,000 times, as a
// non-root owner whose private group a second entry of its number, after 200 others, lists another
// user in: never once the owner's alone (the listing's place in the database is not the rule's).
TEST(UnnamedWritesInAGroupsFolder, JudgeTheGroupAlikeBesideAThreadListingGroups) {
    TempDir dir;
    const std::string folder = (dir.Path() / "place").string();
    fs::create_directories(folder);
    const std::optional<std::string> answer =
        zeqtest::UnderASecondEntryAfterMany(folder, [&]() -> std::optional<std::string> {
            const int held = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            KFolderLook look;
            if (held < 0 || !KLookAtFolder(held, look)) return "cannot look at " + folder;
            const zeqtest::GroupListingThread lister;
            int wrong = 0;
            for (int call = 0; call < 20000; ++call) wrong += KOthersMayWriteIn(look) ? 0 : 1;
            ::close(held);
            return std::to_string(wrong) + " wrong";
        });
    if (!answer) GTEST_SKIP() << zeqtest::NoGroupDatabase();
    EXPECT_EQ("0 wrong", *answer);
}

}  // namespace
