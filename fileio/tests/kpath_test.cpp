#include "fileio/kpath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fileio/tests/files_test_support.h"

using namespace zeqsdk_400;
using zeqfilestest::ReadFile;
using zeqfilestest::TempDir;
using zeqfilestest::WriteFile;
namespace fs = std::filesystem;

namespace {

struct PathCase {
    const char* input;
    const char* expected;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << '"' << (c.input ? c.input : "(null)") << '"'; }

class ExtensionTest : public testing::TestWithParam<PathCase> {};

TEST_P(ExtensionTest, TextAfterTheLastDotOfTheFilePart) {
    EXPECT_STREQ(GetParam().expected, ExtractFileExtension(GetParam().input).Buffer());
}

INSTANTIATE_TEST_SUITE_P(Paths, ExtensionTest,
                         testing::Values(PathCase{"scene/take.zeq", "zeq"}, PathCase{"C:\\data\\Take.ZEQ", "ZEQ"},
                                         PathCase{"archive.tar.gz", "gz"}, PathCase{"dir.v2/readme", ""},
                                         PathCase{"dir.v2\\readme", ""}, PathCase{"noextension", ""},
                                         PathCase{"trailing.", ""}, PathCase{"./file", ""},
                                         PathCase{"../up/file.obj", "obj"}, PathCase{"", ""},
                                         PathCase{nullptr, ""}));

class CleanPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(CleanPathTest, NormalisesSeparatorsDotsAndDoubleDots) {
    std::string buffer = GetParam().input;
    KCleanPath(&buffer[0]);
    EXPECT_STREQ(GetParam().expected, buffer.c_str());
    EXPECT_STREQ(GetParam().expected, KCleanPath(KString(GetParam().input)).Buffer());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CleanPathTest,
    testing::Values(PathCase{"a/./b/../c", "a/c"}, PathCase{"a\\b\\..\\c\\file.txt", "a/c/file.txt"},
                    PathCase{"/usr//local/", "/usr/local"}, PathCase{"/../x", "/x"}, PathCase{"/", "/"},
                    PathCase{"../x/../../y", "../../y"}, PathCase{"a/..", "."}, PathCase{"./", "."},
                    PathCase{"C:\\dir\\..\\f.zeq", "C:/f.zeq"}, PathCase{"C:\\..\\f", "C:/f"},
                    PathCase{"dir.d/./x.y", "dir.d/x.y"}, PathCase{"", ""}));

TEST(PathParts, FileNameWithAndWithoutExtension) {
    EXPECT_STREQ("file.tar.gz", ExtractFileName("dir/file.tar.gz", true).Buffer());
    EXPECT_STREQ("file.tar", ExtractFileName("dir/file.tar.gz", false).Buffer());
    EXPECT_STREQ("file", ExtractFileName("dir.d\\file", false).Buffer());
    EXPECT_STREQ("file", ExtractFileName("file", false).Buffer());
    EXPECT_STREQ("", ExtractFileName("dir/", true).Buffer());
    EXPECT_STREQ("", ExtractFileName(".hidden", false).Buffer());
    EXPECT_STREQ("Take 001.tak", ExtractFileName("C:\\My Files\\Take 001.tak").Buffer());
    EXPECT_STREQ("", ExtractFileName(nullptr, true).Buffer());
}

TEST(PathParts, DirectoryIsThePartBeforeTheLastSeparator) {
    EXPECT_STREQ("a/b", ExtractDirectoryFromFilePath("a/b/c.txt").Buffer());
    EXPECT_STREQ("a\\b", ExtractDirectoryFromFilePath("a\\b\\c").Buffer());
    EXPECT_STREQ("a/b.d", ExtractDirectoryFromFilePath("a/b.d\\c").Buffer());
    EXPECT_STREQ("", ExtractDirectoryFromFilePath("c.txt").Buffer());
    EXPECT_STREQ("", ExtractDirectoryFromFilePath("/c.txt").Buffer());
    EXPECT_STREQ("", ExtractDirectoryFromFilePath(nullptr).Buffer());
}

TEST(PathParts, ChangeExtensionReplacesOnlyTheFilePartsExtension) {
    EXPECT_STREQ("out/scene.zqd", ChangeFileExtension("out/scene.zeq", ".zqd").Buffer());
    EXPECT_STREQ("dir.v2/scene.zeq", ChangeFileExtension("dir.v2/scene", ".zeq").Buffer());
    EXPECT_STREQ("a/b.c.e", ChangeFileExtension("a/b.c.d", ".e").Buffer());
    EXPECT_STREQ("x", ChangeFileExtension("x.zeq", "").Buffer());
    EXPECT_STREQ("x", ChangeFileExtension("x.zeq", nullptr).Buffer());
}

TEST(PathParts, AbsolutePaths) {
    EXPECT_TRUE(IsAbsolutePath("/x"));
    EXPECT_TRUE(IsAbsolutePath("\\x"));
    EXPECT_TRUE(IsAbsolutePath("c:\\x"));
    EXPECT_TRUE(IsAbsolutePath("D:/x"));
    EXPECT_FALSE(IsAbsolutePath("x/y"));
    EXPECT_FALSE(IsAbsolutePath("c:x"));
    EXPECT_FALSE(IsAbsolutePath(""));
    EXPECT_FALSE(IsAbsolutePath(nullptr));
}

TEST(PathParts, FullPathJoinsAndCleans) {
    EXPECT_STREQ("/base/f.txt", MakeFullPath("/base/dir", "../f.txt").Buffer());
    EXPECT_STREQ("/abs/f", MakeFullPath("/base", "/abs/./f").Buffer());
    EXPECT_STREQ("C:/x/y/z", MakeFullPath("C:\\x", "y\\z").Buffer());
    EXPECT_STREQ("rel/f", MakeFullPath("", "rel/./f").Buffer());
    EXPECT_STREQ("rel/f", MakeFullPath(nullptr, "rel/f").Buffer());
    EXPECT_STREQ("/base", MakeFullPath("/base/", "").Buffer());
    EXPECT_STREQ("/base/media/a.tif", MakeFullPath("/base/", "./media//a.tif").Buffer());
}

TEST(PathParts, RelativePathOnlyBelowTheDirectory) {
    EXPECT_STREQ("c/d.txt", MakeRelativePath("/a/b", "/a/b/c/d.txt").Buffer());
    EXPECT_STREQ("x", MakeRelativePath("/a/b/", "/a/b/./x").Buffer());
    EXPECT_STREQ("x", MakeRelativePath("/", "/x").Buffer());
    EXPECT_STREQ(".", MakeRelativePath("/a/b", "/a/b").Buffer());
    // A sibling whose name merely starts with the directory's name is not below it.
    EXPECT_STREQ("/a/bc/d", MakeRelativePath("/a/b", "/a/bc/d").Buffer());
    EXPECT_STREQ("/elsewhere/f", MakeRelativePath("/a/b", "/elsewhere/f").Buffer());
    EXPECT_STREQ("f", MakeRelativePath("", "f").Buffer());
}

class TempPathTest : public testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        mHad = old != nullptr;
        if (mHad) mOld = old;
    }
    void TearDown() override {
        if (mHad) {
            ::setenv("TMPDIR", mOld.c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    bool mHad = false;
    std::string mOld;
};

TEST_F(TempPathTest, AddsTheTrailingSlash) {
    char buffer[1024];
    ::setenv("TMPDIR", "/some/dir", 1);
    EXPECT_EQ(10u, GetTempPath(sizeof(buffer), buffer));
    EXPECT_STREQ("/some/dir/", buffer);
    ::setenv("TMPDIR", "/other/", 1);
    EXPECT_EQ(7u, GetTempPath(sizeof(buffer), buffer));
    EXPECT_STREQ("/other/", buffer);
}

TEST_F(TempPathTest, FallsBackToTheDefault) {
    char buffer[64];
    ::unsetenv("TMPDIR");
    EXPECT_EQ(5u, GetTempPath(sizeof(buffer), buffer));
    EXPECT_STREQ("/tmp/", buffer);
    ::setenv("TMPDIR", "", 1);
    EXPECT_STREQ("/tmp/", (GetTempPath(sizeof(buffer), buffer), buffer));
}

TEST_F(TempPathTest, NeverWritesPastTheBuffer) {
    ::setenv("TMPDIR", "/some/dir", 1);
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    // "/some/dir/" needs 11 bytes with its terminator.
    EXPECT_EQ(0u, GetTempPath(10, buffer));
    EXPECT_EQ('\0', buffer[0]);
    for (int i = 1; i < 16; ++i) EXPECT_EQ('x', buffer[i]) << i;
    EXPECT_EQ(10u, GetTempPath(11, buffer));
    EXPECT_STREQ("/some/dir/", buffer);
    EXPECT_EQ(0u, GetTempPath(0, buffer));
    EXPECT_EQ(0u, GetTempPath(64, nullptr));
}

TEST(KFgetsTest, AcceptsEveryLineEnd) {
    TempDir dir;
    const std::string path = dir / "lines.txt";
    WriteFile(path, std::string("one\r\ntwo\rthree\nfour"));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    char buffer[32];
    const char* expected[] = {"one\n", "two\n", "three\n", "four"};
    for (const char* line : expected) {
        ASSERT_NE(nullptr, KFgets(buffer, sizeof(buffer), file));
        EXPECT_STREQ(line, buffer);
    }
    EXPECT_EQ(nullptr, KFgets(buffer, sizeof(buffer), file));
    std::fclose(file);
}

TEST(KFgetsTest, SplitsLongLinesAtTheBufferSize) {
    TempDir dir;
    const std::string path = dir / "long.txt";
    WriteFile(path, "abcdefgh\r\n\r\nz");
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, file);
    char buffer[4];
    const char* expected[] = {"abc", "def", "gh\n", "\n", "z"};
    for (const char* line : expected) {
        ASSERT_NE(nullptr, KFgets(buffer, sizeof(buffer), file));
        EXPECT_STREQ(line, buffer);
    }
    EXPECT_EQ(nullptr, KFgets(buffer, sizeof(buffer), file));
    EXPECT_EQ(nullptr, KFgets(buffer, 1, file));
    EXPECT_EQ(nullptr, KFgets(nullptr, 4, file));
    std::fclose(file);
}

TEST(FilesOnDisk, FileExistOnlyForReadableFiles) {
    TempDir dir;
    WriteFile(dir / "present.txt", "x");
    EXPECT_TRUE(FileExist((dir / "present.txt").c_str()));
    EXPECT_FALSE(FileExist((dir / "absent.txt").c_str()));
    EXPECT_FALSE(FileExist(dir.Path().c_str()));
    EXPECT_FALSE(FileExist(""));
    EXPECT_FALSE(FileExist(nullptr));
    EXPECT_TRUE(DirectoryExist(dir.Path().c_str()));
    EXPECT_FALSE(DirectoryExist((dir / "present.txt").c_str()));
}

TEST(FilesOnDisk, RemoveDeletesFilesOnly) {
    TempDir dir;
    WriteFile(dir / "gone.txt", "x");
    EXPECT_TRUE(KFile::Remove(KString((dir / "gone.txt").c_str())));
    EXPECT_FALSE(fs::exists(dir / "gone.txt"));
    EXPECT_TRUE(KFile::Remove(KString((dir / "never.txt").c_str())));
    fs::create_directory(dir / "sub");
    EXPECT_FALSE(KFile::Remove(KString((dir / "sub").c_str())));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

TEST(FilesOnDisk, CurrentDirectory) {
    EXPECT_EQ(fs::current_path().string(), std::string(KGetCurrentDirectory().Buffer()));
}

TEST(Directories, EnsureCreatesTheDirectoryPartWithParents) {
    TempDir dir;
    const std::string file = dir / "a/b.d/c/file.txt";
    EXPECT_TRUE(KEnsureDirectoryExistance(file.c_str()));
    EXPECT_TRUE(fs::is_directory(dir / "a/b.d/c"));
    EXPECT_FALSE(fs::exists(file));
    // Already there: still fine.
    EXPECT_TRUE(KEnsureDirectoryExistance(file.c_str()));
    // No directory part: nothing to do.
    EXPECT_TRUE(KEnsureDirectoryExistance("file.txt"));
}

TEST(Directories, CreateAcceptsBackslashesAndDots) {
    TempDir dir;
    EXPECT_TRUE(KCreateDirectory((dir.Path().string() + "\\x\\.\\y\\..\\z").c_str()));
    EXPECT_TRUE(fs::is_directory(dir / "x/z"));
    EXPECT_FALSE(fs::exists(dir / "x/y"));
}

TEST(Directories, CreateFailsWhenAFileIsInTheWay) {
    TempDir dir;
    WriteFile(dir / "blocker", "x");
    EXPECT_FALSE(KCreateDirectory((dir / "blocker/sub").c_str()));
    EXPECT_FALSE(KCreateDirectory((dir / "blocker").c_str()));
    EXPECT_FALSE(KCreateDirectory(""));
    EXPECT_EQ("x", ReadFile(dir / "blocker"));
}

TEST(Directories, RemoveDeletesTheWholeTree) {
    TempDir dir;
    const std::string root = dir / "tree.zqd";
    fs::create_directories(root + "/a/b/c");
    WriteFile(root + "/top.bin", "1");
    WriteFile(root + "/a/b/c/deep.bin", "2");
    WriteFile(root + "/a/.hidden", "3");
    EXPECT_TRUE(KRemoveDirectory(root.c_str()));
    EXPECT_FALSE(fs::exists(root));
    // Nothing left is success too.
    EXPECT_TRUE(KRemoveDirectory(root.c_str()));
}

TEST(Directories, RemoveNeverFollowsSymbolicLinksOut) {
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

    EXPECT_TRUE(KRemoveDirectory(root.c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_EQ("keep me", ReadFile(outside + "/precious.txt"));
    EXPECT_EQ("keep me too", ReadFile(outside + "/keep/also.txt"));
}

TEST(Directories, RemoveOfALinkRemovesOnlyTheLink) {
    TempDir dir;
    const std::string target = dir / "target";
    fs::create_directory(target);
    WriteFile(target + "/data.txt", "data");
    const std::string link = dir / "link.zqd";
    fs::create_directory_symlink(target, link);
    EXPECT_TRUE(KRemoveDirectory(link.c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_EQ("data", ReadFile(target + "/data.txt"));
}

TEST(Directories, RemoveRefusesAFile) {
    TempDir dir;
    WriteFile(dir / "plain.txt", "x");
    EXPECT_FALSE(KRemoveDirectory((dir / "plain.txt").c_str()));
    EXPECT_TRUE(fs::exists(dir / "plain.txt"));
    EXPECT_FALSE(KRemoveDirectory(""));
    EXPECT_FALSE(KRemoveDirectory(nullptr));
}

TEST(Directories, RemoveRefusesRootCurrentAndParent) {
    TempDir dir;
    fs::create_directories(dir / "a/b");
    const fs::path previous = fs::current_path();
    fs::current_path(dir / "a/b");
    EXPECT_FALSE(KRemoveDirectory("/"));
    EXPECT_FALSE(KRemoveDirectory("//"));
    EXPECT_FALSE(KRemoveDirectory("."));
    EXPECT_FALSE(KRemoveDirectory("./"));
    EXPECT_FALSE(KRemoveDirectory(".."));
    EXPECT_FALSE(KRemoveDirectory("x/../.."));
    fs::current_path(previous);
    EXPECT_TRUE(fs::is_directory(dir / "a/b"));
}

}  // namespace
