// Files and sections: header, extension sections appended and replaced, write-back,
// versions and open errors, passwords and embedded files.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kfilereplacement.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqbody.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "fileio/tests/kotheruseract.h"
#include "fileio/tests/kpipewatchdog.h"
#include "fileio/tests/kplantedlinks.h"

using namespace zeqsdk_400;
using zeqdetail::kChunkBytes;
using zeqtest::Encoding;
using zeqtest::ReadFile;
using zeqtest::Str;
using zeqtest::Summaries;
using zeqtest::WriteScene;
using zeqtest::WriteFile;
namespace fs = std::filesystem;

namespace {

class KZeqProject : public testing::TestWithParam<Encoding> {
protected:
    // Tests here run as another user too.
    zeqtest::TempDir mDir{zeqtest::TempDir::kOtherUsers};
    std::string mPath = mDir / "scene.zeq";
};

// Extension sections are appended, and the last one (with its chunks) replaced.
TEST_P(KZeqProject, HeaderAndSectionsRoundTrip) {
    KZeqFileHeaderInfo header;
    header.mFileVersion = 5800;
    header.mCameraName = "Producer Perspective";
    header.mResolutionW = 640;
    header.mCreator = "unit test";
    const std::vector<double> big(kChunkBytes / 8 * 4, 0.5);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), GetParam().mBinary, GetParam().mEncrypted, &header));
        z.FieldWriteBegin("Main");
        ASSERT_TRUE(z.ProjectCloseSection());
        for (const char* text : {"first", "second"}) {
            ASSERT_TRUE(z.ProjectCreateExtensionSection(false));
            zeqtest::Put(z, "Summary", text);
            if (text[0] == 's') zeqtest::PutValue(z, big);
            ASSERT_TRUE(z.ProjectCloseSection());
        }
        ASSERT_TRUE(z.ProjectCreateExtensionSection(true) && z.ProjectGetCurrentSectionIndex() == 2);
        zeqtest::Put(z, "Summary", "third");
        ASSERT_TRUE(z.ProjectClose());  // stores the section still open
    }
    EXPECT_LT(ReadFile(mPath).size(), kChunkBytes);  // the replaced section's values are gone
    KZeq z;
    KZeqFileHeaderInfo read;
    ASSERT_TRUE(z.ProjectOpen((mDir / "scene").c_str(), false, false, &read));  // ".zeq" is added
    EXPECT_TRUE(read.mFileVersion == 5800 && read.mResolutionW == 640 && read.mCreationTimeStamp.mYear > 2000);
    EXPECT_EQ(Str(read.mCameraName) + Str(read.mCreator), "Producer Perspectiveunit test");
    EXPECT_FALSE(z.FieldReadBegin("Main"));  // no section open
    EXPECT_EQ(Summaries(z), (std::vector<std::string>{"first", "third"}));
    EXPECT_TRUE(z.ProjectGetSectionVersion(2) == 5800 && z.ProjectGetSectionVersion(3) == 0);
    EXPECT_TRUE(z.ProjectOpenMainSection() && z.FieldReadBegin("Main") && !z.ProjectOpenExtensionSection(2));
    EXPECT_TRUE(z.ProjectClose() && !z.ProjectClose());
    EXPECT_STREQ(z.GetLastErrorString(), "File not opened");
}

// A file opened for reading takes sections back only when plain binary; a write-back
// abandoned with an error leaves the file's bytes as they were.
TEST_P(KZeqProject, WriteBackOnlyIntoPlainBinary) {
    WriteScene(mPath, GetParam(), {"original"});
    const std::string before = ReadFile(mPath);
    const std::vector<double> values(kChunkBytes / 8 * 2 + 1, -2.5);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str()));
        const bool allowed = GetParam().mBinary && !GetParam().mEncrypted;
        ASSERT_EQ(z.ProjectCreateExtensionSection(false), allowed);
        if (!allowed) {
            EXPECT_EQ(z.GetLastErrorID(), KZeq::eOperationNotAllowed);
            z.ProjectClose();
            EXPECT_EQ(ReadFile(mPath), before);
            return;
        }
        zeqtest::Put(z, "Summary", values);
        z.GetError().SetLastErrorID(KZeq::eOperationNotAllowed);
        EXPECT_FALSE(z.ProjectClose());
    }
    EXPECT_EQ(ReadFile(mPath), before);
    KZeq z, again;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str()) && z.ProjectCreateExtensionSection(false));
    zeqtest::Put(z, "Summary", "appended", values);
    ASSERT_TRUE(z.ProjectCloseSection());
    EXPECT_EQ(Summaries(z), (std::vector<std::string>{"original", "appended"}));
    ASSERT_TRUE(z.ProjectOpenExtensionSection(1) && z.FieldReadBegin("Summary"));
    z.FieldReadC();
    EXPECT_EQ(zeqtest::ReadValues<double>(z, nullptr, values.size()), values);
    ASSERT_TRUE(z.ProjectCloseSection() && z.ProjectCreateExtensionSection(true));
    zeqtest::Put(z, "Summary", "replaced");
    ASSERT_TRUE(z.ProjectCloseSection());
    // The main section is never replaced, and reading goes on.
    ASSERT_TRUE(z.ProjectOpenMainSection());
    EXPECT_EQ(Str(z.FieldReadC("Model", "")), "Model::Cube");
    ASSERT_TRUE(z.ProjectClose() && again.ProjectOpen(mPath.c_str()));
    EXPECT_EQ(Summaries(again), (std::vector<std::string>{"original", "replaced"}));
}

// Passwords right, wrong and absent. Given after some fields, a password covers the
// whole section; only an encrypted file keeps the content from a wrong one.
TEST_P(KZeqProject, Passwords) {
    const char* const secret = "Pass word 42";
    std::string text(kChunkBytes + 100, 'p');
    text.replace(1000, 16, "PLAINTEXT-MARKER");
    const std::vector<int> ints(kChunkBytes / 4 + 1, 0x41424344);
    const bool encrypted = GetParam().mEncrypted;
    auto readsAll = [&](KZeq& z) {
        EXPECT_TRUE(!z.IsPasswordProtected() && z.FieldReadResetPosition() && Str(z.FieldReadC("Model", "")) == text);
        EXPECT_TRUE(zeqtest::ReadValues<int>(z, "Takes", ints.size()) == ints && z.GetLastErrorID() == -1);
    };
    for (const char* password : {secret, ""}) {
        ASSERT_TRUE(zeqtest::WriteZeq(mPath, GetParam(), [&](KZeq& z) {
            zeqtest::Put(z, "Model", text);
            EXPECT_TRUE(z.ProjectSetPassword(password) && z.IsPasswordProtected() == (*password != 0));
            zeqtest::Put(z, "Takes", ints);
            ASSERT_TRUE(z.ProjectCloseSection());
            EXPECT_FALSE(z.ProjectSetPassword("too late"));
            ASSERT_TRUE(z.ProjectCreateExtensionSection());
            zeqtest::Put(z, "Summary", 1);
        }));
        const std::string bytes = ReadFile(mPath);
        EXPECT_EQ(bytes.find(secret), std::string::npos);
        for (const char* plain : {"PLAINTEXT-MARKER", "Takes", "ABCDABCD", "DCBADCBA"})
            EXPECT_TRUE(!encrypted || bytes.find(plain) == std::string::npos) << plain;
        KZeq z, early;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
        EXPECT_TRUE(z.IsEncrypted() == encrypted && z.IsPasswordProtected() == (*password != 0));
        EXPECT_FALSE(*password && (z.CheckPassword("pass word 42") || z.CheckPassword("")));
        EXPECT_EQ(z.GetLastErrorID(), -1);
        // Until the password is given nothing reads, in every encoding.
        EXPECT_TRUE(z.FieldReadBegin("Model") == !*password && z.CheckPassword(*password ? secret : "whatever"));
        readsAll(z);
        // The extension section carries no password; the main one keeps the password given.
        ASSERT_TRUE(z.ProjectOpenExtensionSection(0));
        EXPECT_TRUE(!z.IsPasswordProtected() && z.CheckPassword("anything") && z.FieldReadI("Summary", 0) == 1);
        ASSERT_TRUE(z.ProjectOpenMainSection());
        readsAll(z);
        // The password given before the section opens.
        ASSERT_TRUE(early.ProjectOpen(mPath.c_str()) && early.CheckPassword(secret) && early.ProjectOpenMainSection());
        readsAll(early);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqProject, testing::ValuesIn(zeqtest::kEncodings), zeqtest::EncodingName);

// The data folder of the file replaced that stays, all or in part, is said with the reason: the
// file is written all the same.
TEST(KZeqProjectFile, ADataFolderThatStaysIsSaid) {
    struct Case {
        const char* mName;
        std::function<bool(const fs::path&)> mMake;
        const char* mWhy;
    };
    const Case cases[] = {
        {"a regular file under its name", [](const fs::path& data) { WriteFile(data.string(), "x"); return true; },
         "it is a regular file, not a folder"},
        {"a tree deeper than a removal goes",
         [](const fs::path& data) {
             fs::path deep = data;
             for (int level = 0; level < 300; ++level) deep /= "d";
             fs::create_directories(deep);
             return true;
         },
         "not everything in it can be removed (a file the system keeps from removal, or a tree too deep)"},
        {"a file the system keeps from removal",
         [](const fs::path& data) {
             fs::create_directories(data);
             WriteFile((data / "kept.bin").string(), "x");
             return zeqtest::SetImmutable((data / "kept.bin").string(), true);
         },
         "not everything in it can be removed (a file the system keeps from removal, or a tree too deep)"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        zeqtest::TempDir dir;
        const fs::path data = dir.Path() / "scene.zqd";
        // Only the last case may fail to be made.
        if (!test.mMake(data)) {
            const int reason = errno;
            ZEQ_SKIP_UNLESS_ROOT(test.mName);
            GTEST_SKIP() << "no immutable files here: " << std::strerror(reason);
        }
        WriteFile(dir / "scene.zeq", "old");
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate((dir / "scene.zeq").c_str()) && z.ProjectClose());
        EXPECT_EQ("The data folder \"" + data.string() + "\" is not removed: " + test.mWhy, z.GetLastNotice());
        EXPECT_TRUE(fs::exists(data));
        zeqtest::SetImmutable((data / "kept.bin").string(), false);
    }
}

TEST(KZeqProjectFile, DataDirectoryIsRemovedOnlyForZeqFiles) {
    zeqtest::TempDir dir;
    fs::create_directories(dir.Path() / "scene.zqd" / "sub");
    WriteFile(dir / "scene.zqd/sub/data.bin", "x");
    fs::create_directories(dir.Path() / "take.zqd");
    // Only the data of a file replaced goes.
    WriteFile(dir / "scene.zeq", "old");
    WriteFile(dir / "take.tak", "old");
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate((dir / "scene").c_str()));
    ASSERT_TRUE(Str(z.GetFilePath()) == dir / "scene.zeq" && z.ProjectClose());
    EXPECT_TRUE(fs::exists(dir / "scene.zeq") && !fs::exists(dir / "scene.zqd"));
    ASSERT_TRUE(z.ProjectCreate((dir / "take.tak").c_str()) && z.ProjectClose());
    EXPECT_TRUE(fs::exists(dir / "take.zqd"));
}

// Created through a symbolic link, the file the link names is replaced and the
// link stays; a pipe, a device or a directory (or a link to one) is refused
// with the reason and left as it is, in every encoding.
TEST_P(KZeqProject, CreatesThroughLinksAndRefusesWhatIsNoRegularFile) {
    const fs::path real = mDir.Path() / "real.zeq";
    WriteFile(real.string(), "old");
    fs::create_symlink("real.zeq", mPath);
    const fs::path pipe = mDir.Path() / "pipe.zeq";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    fs::create_symlink(pipe, mDir.Path() / "to-pipe.zeq");
    fs::create_symlink("/dev/null", mDir.Path() / "to-device.zeq");
    fs::create_directory(mDir.Path() / "folder.zeq");
    const Encoding& encoding = GetParam();
    auto create = [&](const fs::path& path) {
        KZeq z;
        const bool created = z.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted) &&
                             z.FieldWriteBegin("Thing") && z.FieldWriteI(1) && z.FieldWriteEnd() && z.ProjectClose();
        return std::make_pair(created, std::string(created ? "" : z.GetLastErrorString()) + "|" +
                                           std::to_string(z.GetLastErrorID()));
    };
    ASSERT_TRUE(create(mPath).first);
    EXPECT_TRUE(fs::is_symlink(mPath));
    KZeq read;
    ASSERT_TRUE(read.ProjectOpen(mPath.c_str(), true, true));
    EXPECT_EQ(read.FieldReadI("Thing", 0), 1);
    for (const char* name : {"pipe.zeq", "to-pipe.zeq", "to-device.zeq", "folder.zeq"}) {
        const auto [created, error] = create(mDir.Path() / name);
        EXPECT_FALSE(created) << name;
        EXPECT_NE(std::string::npos, error.find("not a regular file|" + std::to_string(KZeq::eFileNotCreated))) << error;
    }
    EXPECT_TRUE(fs::is_fifo(pipe) && fs::is_symlink(mDir.Path() / "to-pipe.zeq"));
    EXPECT_TRUE(fs::is_directory(mDir.Path() / "folder.zeq") && fs::is_empty(mDir.Path() / "folder.zeq"));
    EXPECT_EQ(6, static_cast<int>(std::distance(fs::directory_iterator(mDir.Path()), {}))) << "a temporary was left";
}

// The file being written, unnamed or under its temporary name: its mode and
// owner, seen through this process's descriptor on it.
testing::AssertionResult TemporaryIs(const fs::path& directory, mode_t mode, uid_t owner) {
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (target.rfind((directory / "").string(), 0) != 0) continue;
        struct stat st {};
        if (::stat(entry.path().c_str(), &st) != 0) return testing::AssertionFailure() << target << " vanished";
        if ((st.st_mode & 07777) == mode && st.st_uid == owner) return testing::AssertionSuccess();
        return testing::AssertionFailure() << target << ": " << std::oct << (st.st_mode & 07777) << std::dec << " of "
                                           << st.st_uid;
    }
    return testing::AssertionFailure() << "no file open in " << directory;
}

// Unnamed temporaries turned off, as on a file system without them, for a scope.
class WithoutUnnamedFiles {
public:
    explicit WithoutUnnamedFiles(bool off) { zeqdetail::gFileSystemLimits.mNoUnnamedFiles = off; }
    ~WithoutUnnamedFiles() { zeqdetail::gFileSystemLimits.mNoUnnamedFiles = false; }
    WithoutUnnamedFiles(const WithoutUnnamedFiles&) = delete;
    WithoutUnnamedFiles& operator=(const WithoutUnnamedFiles&) = delete;
};

// While it is written the file is the writer's alone, unnamed or named,
// whatever the umask; once complete it has the mode of the file it replaces,
// and its owner and group where root writes it (another user's file); a new file
// gets what the umask allows. Another user's file needs root: any other writer
// checks the rest, and skips that half.
TEST_P(KZeqProject, KeepsTheModeAndOwnerOfTheFileItReplaces) {
    const Encoding& encoding = GetParam();
    const bool root = zeqtest::IsRoot();
    const uid_t owner = zeqtest::kUnprivileged;
    for (const bool unnamedOff : {false, true}) {
        const WithoutUnnamedFiles named(unnamedOff);
        const mode_t saved = ::umask(022);
        for (const mode_t mode : {0600, 0664}) {
            WriteFile(mPath, "old");
            ASSERT_EQ(0, ::chmod(mPath.c_str(), mode));
            if (root) {
                ASSERT_EQ(0, ::chown(mPath.c_str(), owner, owner));
            }
            KZeq z;
            ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), encoding.mBinary, encoding.mEncrypted));
            EXPECT_TRUE(TemporaryIs(mDir.Path(), 0600, ::geteuid())) << std::oct << mode;
            ASSERT_TRUE(z.FieldWriteBegin("Thing") && z.FieldWriteI(1) && z.FieldWriteEnd() && z.ProjectClose());
            struct stat st {};
            ASSERT_EQ(0, ::stat(mPath.c_str(), &st));
            EXPECT_EQ(mode, st.st_mode & 07777) << std::oct << mode;
            if (root) {
                EXPECT_EQ(owner, st.st_uid);
                EXPECT_EQ(owner, st.st_gid);
            }
        }
        ::umask(027);
        const std::string fresh = mDir / "fresh.zeq";
        fs::remove(fresh);
        KZeq z;
        const bool created = z.ProjectCreate(fresh.c_str(), encoding.mBinary, encoding.mEncrypted);
        const testing::AssertionResult during = TemporaryIs(mDir.Path(), 0600, ::geteuid());
        const bool closed = created && z.ProjectClose();
        ::umask(saved);
        ASSERT_TRUE(closed);
        EXPECT_TRUE(during);
        EXPECT_EQ(fs::perms(0640), fs::status(fresh).permissions());
        EXPECT_EQ(2, static_cast<int>(std::distance(fs::directory_iterator(mDir.Path()), {})))
            << "a temporary was left";
    }
    if (!root) GTEST_SKIP() << zeqtest::NeedsRoot("the owner half: another user's file, whose owner and group it keeps");
}

// The file replaced keeps its access control list and user attributes, whoever
// writes it (root, then its owner); a new file gets what its folder's default
// list gives one made there; with unnamed and with named temporaries.
TEST_P(KZeqProject, KeepsTheAccessControlListAndAttributesOfTheFileItReplaces) {
    const Encoding& encoding = GetParam();
    const fs::path shared = mDir.Path() / "shared";
    fs::create_directories(shared);
    for (const fs::path& folder : {mDir.Path(), shared}) fs::permissions(folder, fs::perms::all);
    WriteFile(mPath, "old");
    if (!zeqtest::SetAcl(mPath, "u::rw-,u:4242:r--,g::---,m::r--,o::---") ||
        !zeqtest::SetAcl(shared.string(), "u::rwx,u:4242:rwx,g::r-x,m::rwx,o::---", ACL_TYPE_DEFAULT))
        GTEST_SKIP() << "no access control lists here";
    ASSERT_TRUE(zeqtest::SetAttribute(mPath, "user.origin", "scanner 7"));
    if (::geteuid() == 0) {
        ASSERT_EQ(0, ::chown(mPath.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    }
    const std::string access = zeqtest::AccessOf(mPath);
    const std::string fresh = (shared / "fresh.zeq").string();
    const auto write = [&]() -> std::string {
        for (const bool unnamedOff : {false, true}) {
            const WithoutUnnamedFiles named(unnamedOff);
            ::unlink(fresh.c_str());
            const std::string expected = zeqtest::WhatANewFileGets(shared.string());
            for (const std::string& path : {mPath, fresh}) {
                KZeq z;
                if (!z.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted) ||
                    !(z.FieldWriteBegin("Thing") && z.FieldWriteI(1) && z.FieldWriteEnd() && z.ProjectClose()))
                    return path + ": " + z.GetLastErrorString();
            }
            if (zeqtest::AccessOf(mPath) != access) return "replaced: " + zeqtest::AccessOf(mPath);
            if (zeqtest::AttributeOf(mPath, "user.origin") != "scanner 7") return "its user attribute was lost";
            if (zeqtest::AccessOf(fresh) != expected) return "new: " + zeqtest::AccessOf(fresh) + " for " + expected;
        }
        return "";
    };
    EXPECT_EQ("", write());
    const std::optional<std::string> owner = zeqtest::AsUnprivileged(mDir.Path(), write);
    if (!owner) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mDir.Path());
    EXPECT_EQ("", *owner);
}

// A named temporary that another user put aside for a link to a file of theirs
// (in a folder others may write) takes neither the content nor the file's name:
// the close fails, and the file, the link and what it names stay as they were.
TEST_P(KZeqProject, ANamedTemporarySwappedForALinkTakesNeitherTheContentNorTheName) {
    const Encoding& encoding = GetParam();
    const WithoutUnnamedFiles named(true);
    fs::create_directories(mDir.Path() / "elsewhere");
    const std::string secret = mDir / "elsewhere/secret";
    WriteFile(secret, "the secret");
    WriteFile(mPath, "old");
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), encoding.mBinary, encoding.mEncrypted));
    std::string temporary;
    for (const auto& entry : fs::directory_iterator(mDir.Path()))
        if (entry.path().filename().string().find(".tmp") != std::string::npos) temporary = entry.path().string();
    ASSERT_FALSE(temporary.empty());
    ASSERT_EQ(0, ::unlink(temporary.c_str()));
    fs::create_symlink(secret, temporary);
    EXPECT_TRUE(z.FieldWriteBegin("Thing") && z.FieldWriteI(1) && z.FieldWriteEnd());
    EXPECT_FALSE(z.ProjectClose());
    EXPECT_EQ(KZeq::eFileNotCreated, z.GetLastErrorID());
    EXPECT_NE(std::string::npos, std::string(z.GetLastErrorString()).find("no longer holds")) << z.GetLastErrorString();
    EXPECT_FALSE(fs::is_symlink(mPath));
    EXPECT_EQ("old", ReadFile(mPath));
    EXPECT_EQ("the secret", ReadFile(secret));
    EXPECT_TRUE(fs::is_symlink(temporary)) << "what took the temporary's name was removed";
}

// Another user who may list the folder, trying each temporary the moment it
// takes its name, opens none while root replaces its private file: not the
// unnamed one given a name just before it takes the file's, nor the named one
// of a file system without unnamed files, not even under a umask of 000.
TEST_P(KZeqProject, NoOtherUserOpensATemporary) {
    constexpr int kRounds = 2;
    const Encoding& encoding = GetParam();
    WriteFile(mPath, "private");
    ASSERT_EQ(0, ::chmod(mPath.c_str(), 0600));
    const zeqtest::OtherUserOpensTemporaries other(mDir.Path());
    if (!other.Started()) GTEST_SKIP() << zeqtest::NoOtherUser();
    for (const bool unnamedOff : {false, true}) {
        const WithoutUnnamedFiles named(unnamedOff);
        for (const mode_t mask : {022, 0}) {
            const mode_t saved = ::umask(mask);
            for (int i = 0; i < kRounds; ++i) WriteScene(mPath, encoding, {}, "Model::Private");
            ::umask(saved);
        }
    }
    EXPECT_EQ(2 * 2 * kRounds, other.NamedWith(mPath + ".tmp"));
    EXPECT_EQ(std::vector<std::string>{}, other.Opened());
    struct stat st {};
    ASSERT_EQ(0, ::stat(mPath.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
}

// A file this process may not write is refused with the system's reason, and
// left as it was.
TEST_P(KZeqProject, AWriteProtectedFileIsRefused) {
    const Encoding& encoding = GetParam();
    WriteFile(mPath, "protected");
    ASSERT_EQ(0, ::chmod(mPath.c_str(), 0444));
    fs::permissions(mDir.Path(), fs::perms::all);
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(mDir.Path(), [&]() -> std::string {
        KZeq z;
        if (z.ProjectCreate(mPath.c_str(), encoding.mBinary, encoding.mEncrypted)) return "created";
        if (z.GetLastErrorID() != KZeq::eFileNotCreated || z.GetError().GetLastSystemError() != EACCES ||
            z.GetLastErrorString() != "Cannot write \"" + mPath + "\": Permission denied")
            return std::string("the error: ") + z.GetLastErrorString();
        return "";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mDir.Path());
    EXPECT_EQ("", *answer);
    EXPECT_EQ("protected", ReadFile(mPath));
    EXPECT_EQ(1, static_cast<int>(std::distance(fs::directory_iterator(mDir.Path()), {})));
}

// A full disk fails the close with the system's reason, and leaves no file.
TEST_P(KZeqProject, AFullDiskGivesTheSystemsReason) {
    const Encoding& encoding = GetParam();
    const fs::path full = mDir.Path() / "full";
    fs::create_directory(full);
    const std::optional<std::string> answer = zeqtest::OnAFullDevice(full.string(), [&]() -> std::string {
        const std::string path = (full / "scene.zeq").string();
        KZeq z;
        if (!z.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted))
            return std::string("not created: ") + z.GetLastErrorString();
        zeqtest::Put(z, "Values", std::vector<int>(100000, 7));
        if (z.ProjectClose()) return "closed on a full disk";
        if (z.GetError().GetLastSystemError() != ENOSPC)
            return "the system error: " + std::to_string(z.GetError().GetLastSystemError());
        return fs::exists(path) ? "a file was left" : "";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoMountsOfItsOwn() << ", for a memory file system";
    EXPECT_EQ("", *answer);
}

// Opened for reading, only a regular file (or a link to one) is read: a pipe is
// refused at once with a text naming it, in every encoding's file name alike. A
// name without an extension is taken as it is when something has that name, and
// gets ".zeq" only when nothing has it (or a folder, beside its file, has it).
TEST_P(KZeqProject, OpensFilesAsNamedAndRefusesWhatIsNoRegularFile) {
    WriteScene(mPath, GetParam(), {"summary"});
    fs::copy_file(mPath, mDir / "noext");
    fs::create_directory(mDir / "scene");
    const std::string pipe = mDir / "pipe";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    fs::create_symlink("pipe", mDir / "to-pipe.zeq");
    fs::create_symlink("/dev/null", mDir / "to-device.zeq");
    for (const char* name : {"noext", "scene"}) {
        KZeq z;
        EXPECT_TRUE(z.ProjectOpen((mDir / name).c_str())) << name << ": " << z.GetLastErrorString();
        EXPECT_EQ(Summaries(z), std::vector<std::string>{"summary"}) << name;
    }
    const std::string real = fs::canonical(pipe).string();
    const std::pair<std::string, std::string> refused[] = {
        {"pipe", "\"" + pipe + "\" is not read: it is a named pipe, not a regular file"},
        {"to-pipe.zeq",
         "\"" + (mDir / "to-pipe.zeq") + "\" is not read: it links to \"" + real + "\", a named pipe, not a regular file"},
        {"to-device.zeq",
         "\"" + (mDir / "to-device.zeq") + "\" is not read: it links to \"/dev/null\", a character device, not a regular file"},
    };
    for (const auto& [name, text] : refused) {
        KZeq z;
        EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] { EXPECT_FALSE(z.ProjectOpen((mDir / name).c_str())); }))
            << name;
        EXPECT_EQ(KZeq::eFileNotOpened, z.GetLastErrorID()) << name;
        EXPECT_EQ(text, z.GetLastErrorString());
        EXPECT_EQ(0, z.GetError().GetLastSystemError()) << name;
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST(KZeqProjectFile, VersionsAndOpenErrors) {
    zeqtest::TempDir dir;
    const std::string path = dir / "v.zeq";
    const struct { std::string mBytes; int mError; bool m2000OrLater; } cases[] = {  // error -1: opens
        {zeqtest::MakeBinaryZeq("", 1000), -1, false}, {zeqtest::MakeBinaryZeq("", 1999), -1, false},
        {zeqtest::MakeBinaryZeq("", 2000), -1, true}, {zeqtest::MakeBinaryZeq("", 6999), -1, true},
        {zeqtest::MakeBinaryZeq("", 7000), KZeq::eFileVersionNotSupportedYet, false},
        {zeqtest::MakeBinaryZeq("", 999), KZeq::eFileVersionNotSupportedAnymore, false},
        {"@Zeq: 7100\n@Section: 7100\n@End\n", KZeq::eFileVersionNotSupportedYet, false},
        {"", KZeq::eFileCorrupted, false}};
    for (const auto& c : cases) {
        WriteFile(path, c.mBytes);
        KZeq z;
        EXPECT_EQ(z.ProjectOpen(path.c_str()), c.mError == -1);
        EXPECT_EQ(z.GetLastErrorID(), c.mError);
        if (c.mError == -1) { EXPECT_EQ(z.IsVersion2000OrLater(), c.m2000OrLater); }
        if (c.mError == KZeq::eFileCorrupted) { EXPECT_STREQ(z.GetLastErrorString(), "File is corrupted"); }
    }
    KZeq z;
    EXPECT_FALSE(z.ProjectOpen((dir / "missing.zeq").c_str()) || z.IsOpen());
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileNotOpened);
    KZeqFileHeaderInfo header;
    for (const int version : {7000, 999}) {
        header.mFileVersion = version;
        EXPECT_FALSE(z.ProjectCreate((dir / "new.zeq").c_str(), true, false, &header));
        EXPECT_EQ(z.GetLastErrorID(),
                  version > 6000 ? KZeq::eFileVersionNotSupportedYet : KZeq::eFileVersionNotSupportedAnymore);
    }
    EXPECT_FALSE(fs::exists(dir / "new.zeq") || z.ProjectCreate((dir / "no/such/dir/x.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileNotCreated);
    for (int version : {5800, 5801, 6100}) {
        int major = 0, minor = 0, revision = 0;
        KZeq::ProjectConvertVersionNumber(version, major, minor, revision);
        EXPECT_EQ(major * 10000 + minor * 100 + revision, version / 1000 * 10000 + version % 1000) << version;
    }
}

TEST(KZeqProjectFile, OpenDirectReadOnlyAndPaths) {
    zeqtest::TempDir dir;
    WriteScene(dir / "take.tak", zeqtest::kBinary, {});
    KZeq z;
    EXPECT_FALSE(z.ProjectOpenDirect((dir / "take").c_str(), false, true));
    ASSERT_TRUE(z.ProjectOpenDirect((dir / "take.tak").c_str(), true, true));
    EXPECT_TRUE(z.ProjectGetCurrentSectionIndex() == 0 && Str(z.FieldReadC("Model", "")) == "Model::Cube");
    ASSERT_TRUE(z.ProjectCloseSection());
    // Read-only; then a section is open.
    EXPECT_TRUE(!z.ProjectCreateExtensionSection() && z.GetLastErrorID() == KZeq::eOperationNotAllowed);
    z.GetError().ClearLastError();
    EXPECT_TRUE(z.ProjectOpenMainSection() && !z.ProjectCreateExtensionSection());
    EXPECT_TRUE(Str(z.GetFullFilePath("tex/wood.png")) == dir / "tex/wood.png" &&
                Str(z.GetFullFilePath("/abs/wood.png")) == "/abs/wood.png");
    EXPECT_TRUE(Str(z.GetRelativeFilePath((dir / "tex/wood.png").c_str())) == "tex/wood.png" &&
                Str(z.GetMediaDirectory()) == dir / "take.zqm");
}

// An update interrupted before the slot switch leaves the previous file readable.
TEST(KZeqProjectFile, InterruptedWriteBackKeepsThePreviousFile) {
    zeqtest::TempDir dir;
    const std::string path = dir / "crash.zeq";
    WriteScene(path, zeqtest::kBinary, {"original"});
    const std::string before = ReadFile(path);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str()) && z.ProjectCreateExtensionSection(true));
        zeqtest::Put(z, "Summary", "new");
        ASSERT_TRUE(z.ProjectClose());
    }
    const std::string after = ReadFile(path);
    const std::size_t header = zeqdetail::kFixedHeaderSize;
    ASSERT_TRUE(after.size() > before.size() &&
                after.compare(header, before.size() - header, before, header, before.size() - header) == 0);
    std::vector<std::string> crashed;
    // Everything appended, but the slot not yet switched.
    crashed.push_back(before.substr(0, header) + after.substr(header));
    // The slot switch torn half-way: its checksum fails, the other slot holds.
    crashed.push_back(zeqtest::Flipped(after, zeqdetail::kSlotOffset + zeqdetail::kSlotSize + 3, 0x55));
    // A crash while appending: the tail cut anywhere, the slot not switched.
    for (std::size_t cut = before.size(); cut < after.size(); cut += 7)
        crashed.push_back(before.substr(0, header) + after.substr(header, cut - header));
    for (const std::string& bytes : crashed) {
        WriteFile(path, bytes);
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str())) << bytes.size();
        EXPECT_EQ(Summaries(z), (std::vector<std::string>{"original"}));
    }
    // A valid newest slot naming a damaged table cannot come from a crash (the
    // table is synced first): corruption, not the previous version shown.
    EXPECT_EQ(zeqtest::OpenError(path, zeqtest::Flipped(after, after.size() - 20, 0x10)), KZeq::eFileCorrupted);
}

TEST(KZeqProjectFile, StreamsHoldWholeFiles) {
    KChainedMemoryFile memory;
    KZeq writer, z, again;
    ASSERT_TRUE(writer.ProjectCreateStream(memory, true, false));
    zeqtest::Put(writer, "Name", "in memory");
    ASSERT_TRUE(writer.ProjectClose() && z.ProjectOpenStream(memory, false, true));
    ASSERT_TRUE(Str(z.FieldReadC("Name", "")) == "in memory" && z.ProjectCloseSection() &&
                z.ProjectCreateExtensionSection());
    z.FieldWriteBegin("Summary");
    ASSERT_TRUE(z.ProjectClose() && again.ProjectOpenStream(memory));
    EXPECT_EQ(again.ProjectGetExtensionSectionCount(), 1);
}

// --- embedded files (binary encodings) ------------------------------------------------

class KZeqEmbedded : public testing::TestWithParam<Encoding> {
protected:
    void SetUp() override {
        mContent.resize(3 * 1024 * 1024 + 17);
        for (std::size_t i = 0; i < mContent.size(); ++i) mContent[i] = static_cast<char>((i * 131) >> 3);
        fs::create_directories(mDir.Path() / "src");
        WriteFile(mSource, mContent);
    }

    // One "Content" field per relative name, all embedding the same file.
    void WriteScene(std::initializer_list<const char*> relativeNames) {
        ASSERT_TRUE(zeqtest::WriteZeq(mScene, GetParam(), [&](KZeq& z) {
            for (const char* name : relativeNames)
                ASSERT_TRUE(z.FieldWriteBegin("Content") && z.FieldWriteEmbeddedFile(KString(mSource.c_str()), name));
            zeqtest::Put(z, "After", 5);
        }));
        ASSERT_TRUE(mZeq.ProjectOpen(mScene.c_str(), false, true));
    }

    bool Extract(const char* fileName, const char* relativeName, const char* directory = "",
                 bool* overwritten = nullptr) {
        mFileName = fileName;
        KString relative(relativeName);
        const bool ok = mZeq.FieldReadBegin("Content") &&
                        mZeq.FieldReadEmbeddedFile(mFileName, relative, directory, overwritten);
        EXPECT_EQ(Str(relative), relativeName);
        return ok;
    }

    zeqtest::TempDir mDir;
    std::string mScene = mDir / "scene.zeq", mSource = mDir / "src/wood.tif";
    std::string mContent;
    KString mFileName;
    KZeq mZeq;
};

// Copies go into the media directory or the caller's; names that would leave the
// directory are not used.
TEST_P(KZeqEmbedded, ExtractsOnlyIntoTheDirectory) {
    WriteScene({"textures/wood.tif", "b", "c"});
    bool overwritten = true;
    ASSERT_TRUE(Extract("elsewhere/wood.tif", "textures/wood.tif", "", &overwritten)) << mZeq.GetLastErrorString();
    EXPECT_EQ(Str(mFileName), mDir / "scene.zqm/textures/wood.tif");
    EXPECT_TRUE(Str(mZeq.GetRelativeFilePath(mFileName.Buffer())) == "scene.zqm/textures/wood.tif" && !overwritten &&
                ReadFile(Str(mFileName)) == mContent);
    // ".." in the relative name: the file part of the file name is used instead.
    ASSERT_TRUE(Extract("/some/where/../wood.tif", "../../etc/wood.tif"));
    EXPECT_EQ(Str(mFileName), mDir / "scene.zqm/wood.tif");
    // An absolute relative name (nothing is written there), and a file name that is only "..":
    // the stored name.
    const std::string absolute = mDir / "evil.tif";
    ASSERT_TRUE(Extract("..", absolute.c_str()));
    EXPECT_TRUE(Str(mFileName) == mDir / "scene.zqm/c" && mZeq.FieldReadI("After", 0) == 5);
    EXPECT_FALSE(fs::exists(fs::symlink_status(absolute)));
    ASSERT_TRUE(mZeq.FieldReadResetPosition() && Extract("", "textures/wood.tif", "", &overwritten) && overwritten);
    ASSERT_TRUE(Extract("", "", (mDir / "chosen").c_str()));
    EXPECT_TRUE(Str(mFileName) == mDir / "chosen/b" && ReadFile(mDir / "chosen/b") == mContent);
    // One that ends in ".." after a link: up from where the link leads, as the system walks it.
    fs::create_directories(mDir.Path() / "deep/inner");
    fs::create_directory_symlink(mDir.Path() / "deep/inner", mDir.Path() / "up");
    ASSERT_TRUE(Extract("", "", (mDir / "up/..").c_str()));
    EXPECT_TRUE(Str(mFileName) == mDir / "deep/c" && ReadFile(mDir / "deep/c") == mContent) << Str(mFileName);
    // A link on the way, even to a directory inside the media directory, is refused.
    fs::create_directories(mDir.Path() / "outside");
    fs::create_directory_symlink(mDir.Path() / "outside", mDir.Path() / "scene.zqm/link");
    fs::create_directory_symlink("textures", mDir.Path() / "scene.zqm/inner");
    EXPECT_TRUE(mZeq.FieldReadResetPosition() && !Extract("", "link/wood.tif") && !Extract("", "inner/b"));
    EXPECT_TRUE(fs::is_empty(mDir.Path() / "outside") && !fs::exists(mDir / "scene.zqm/textures/b"));
    for (const auto& entry : fs::recursive_directory_iterator(mDir.Path()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    if (GetParam().mEncrypted) { EXPECT_EQ(ReadFile(mScene).find(mContent.substr(1000, 64)), std::string::npos); }
}

// A folder another user made is never entered to extract into: the media folder beside the
// scene, or the one asked for, or a folder below it; they could swap what is written there for
// a link to root's files while it is written or converted. The extraction is refused and says
// why; a folder of root's own, made or found, takes the copy.
TEST_P(KZeqEmbedded, ExtractsOnlyIntoTheReadersOwnFolders) {
    ZEQ_SKIP_UNLESS_ROOT("a folder of another user");
    struct Case {
        const char* mName;
        // Made first, as the other user's (0777), relative to the scene's folder.
        const char* mTheirs;
        // Where to extract ("" the media folder); the relative name.
        const char* mDirectory;
        const char* mRelative;
        bool mExtracted;
    };
    const Case cases[] = {
        {"their media folder", "scene.zqm", "", "wood.tif", false},
        {"their folder asked for", "theirs", "theirs", "wood.tif", false},
        {"their folder below root's media folder", "scene.zqm/textures", "", "textures/wood.tif", false},
        {"root's own media folder", "", "", "wood.tif", true},
    };
    WriteScene({"wood.tif"});
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        fs::remove_all(mDir.Path() / "scene.zqm");
        fs::remove_all(mDir.Path() / "theirs");
        if (*test.mTheirs) {
            fs::create_directories(mDir.Path() / test.mTheirs);
            ASSERT_TRUE(zeqtest::MakeFolderOf(zeqtest::kUnprivileged, mDir.Path() / test.mTheirs, 0777));
        }
        const std::string directory = *test.mDirectory ? mDir / test.mDirectory : std::string();
        ASSERT_TRUE(mZeq.FieldReadResetPosition());
        EXPECT_EQ(test.mExtracted, Extract("", test.mRelative, directory.c_str()));
        if (test.mExtracted) continue;
        EXPECT_NE(std::string(mZeq.GetLastRefusal()).find("belongs to another user and is not entered"),
                  std::string::npos)
            << mZeq.GetLastRefusal();
        for (const auto& entry : fs::recursive_directory_iterator(mDir.Path() / test.mTheirs))
            EXPECT_FALSE(entry.is_regular_file()) << entry.path();
    }
}

// In the reader's own media folder, where others may write it, a file another user may have put
// under the name extracted: a second name of the reader's set-user-id program, or (root only)
// another user's file. It is not replaced: the extraction is refused, saying why, and the file stays
// as it was. The reader's own file there is replaced, as before.
TEST_P(KZeqEmbedded, ReplacesNoFileAnotherUserMayHavePutInTheMediaFolder) {
    enum class Kind { kSecondName, kTheirs, kOwn };
    WriteScene({"wood.tif"});
    const fs::path media = mDir.Path() / "scene.zqm";
    const std::string file = (media / "wood.tif").string();
    const zeqtest::RootsSecret secret(mDir.Path() / "roots");
    const std::string program = secret.Unmade("program");
    WriteFile(program, "#!/bin/sh\n");
    ASSERT_EQ(0, ::chmod(program.c_str(), 04755));
    for (const Kind kind : {Kind::kSecondName, Kind::kTheirs, Kind::kOwn}) {
        SCOPED_TRACE(kind == Kind::kSecondName ? "a second name"
                     : kind == Kind::kTheirs   ? "theirs"
                                               : "the reader's own");
        if (kind == Kind::kTheirs && !zeqtest::IsRoot()) continue;
        fs::remove_all(media);
        fs::create_directories(media);
        ASSERT_EQ(0, ::chmod(media.c_str(), 0777));
        std::string before = "#!/bin/sh\n", why = "it has other hard links, in a folder others may write,";
        if (kind == Kind::kSecondName) {
            ASSERT_EQ(0, ::link(program.c_str(), file.c_str())) << std::strerror(errno);
        } else {
            before = kind == Kind::kTheirs ? "theirs" : "mine";
            WriteFile(file, before);
            if (kind == Kind::kTheirs) {
                ASSERT_EQ(0, ::chown(file.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
            }
            why = "it is another user's file (" + zeqtest::UserName(zeqtest::kUnprivileged) +
                  "), in a folder others may write,";
        }
        ASSERT_TRUE(mZeq.FieldReadResetPosition());
        const bool extracted = Extract("", "wood.tif");
        for (const auto& entry : fs::directory_iterator(media))
            EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
        if (kind == Kind::kOwn) {
            EXPECT_TRUE(extracted) << mZeq.GetLastRefusal();
            EXPECT_TRUE(ReadFile(file) == mContent);
            continue;
        }
        EXPECT_FALSE(extracted);
        EXPECT_EQ("The embedded file \"wood.tif\" is not extracted: Cannot write \"" + file + "\": " + why +
                      " and is not written to: Permission denied",
                  std::string(mZeq.GetLastRefusal()));
        EXPECT_EQ(before, ReadFile(file));
    }
    struct stat st {};
    ASSERT_EQ(0, ::stat(program.c_str(), &st));
    EXPECT_EQ(04755u, st.st_mode & 07777);
    if (!zeqtest::IsRoot()) GTEST_SKIP() << zeqtest::NeedsRoot("a file of another user (the other cases ran)");
}

// An extracted file, and the folders made for it, get no more access than the Zeq file they
// come from, whatever the umask lets through: a 0600 scene gives a 0600 image in 0700 folders,
// and a scene whose section carries a password gives its owner alone access. Under an access
// list the group gets what the owning group may do, not the mask the mode shows (0600 for
// "g::---,m::r--"), and no more than the mask lets through (0600 for "g::r--,m::---"), in a
// setgid folder of the scene's group too.
TEST_P(KZeqEmbedded, GetsNoMoreAccessThanTheFileItComesFrom) {
    struct Case {
        const char* mName;
        mode_t mScene;
        const char* mPassword;
        mode_t mFile;
        mode_t mFolder;
        const char* mList;
    };
    const Case cases[] = {
        {"a scene of its owner's alone", 0600, "", 0600, 0700, nullptr},
        {"a scene its group may read", 0640, "", 0640, 0750, nullptr},
        {"a scene everybody may read", 0644, "", 0644, 0755, nullptr},
        {"a scene everybody may read, with a password", 0644, "secret", 0600, 0700, nullptr},
        {"a scene a named user may read, its group not", 0600, "", 0600, 0700, "u::rw-,u:4242:r--,g::---,m::r--,o::---"},
        {"a scene a named user and its group may read", 0600, "", 0640, 0750, "u::rw-,u:4242:r--,g::r--,m::r--,o::---"},
        // The group's entry gives more than the mask lets through: the mask holds.
        {"a scene whose group entry lies outside the mask", 0600, "", 0600, 0700,
         "u::rw-,u:4242:r--,g::r--,m::---,o::---"},
    };
    const fs::path setgid = mDir.Path() / "setgid";
    fs::create_directories(setgid);
    ASSERT_EQ(0, ::chmod(setgid.c_str(), 02755));
    const mode_t umask = ::umask(022);
    int index = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        const std::string scene = (setgid / ("scene" + std::to_string(index++) + ".zeq")).string();
        ASSERT_TRUE(zeqtest::WriteZeq(scene, GetParam(), [&](KZeq& z) {
            ASSERT_TRUE(z.ProjectSetPassword(test.mPassword));
            ASSERT_TRUE(z.FieldWriteBegin("Content") &&
                        z.FieldWriteEmbeddedFile(KString(mSource.c_str()), "maps/private.jpg"));
        }));
        ASSERT_EQ(0, ::chmod(scene.c_str(), test.mScene));
        if (test.mList && !zeqtest::SetAcl(scene, test.mList)) {
            ::umask(umask);
            GTEST_SKIP() << "no access control lists here";
        }
        KZeq z;
        KString name("private.jpg"), relative("maps/private.jpg");
        ASSERT_TRUE(z.ProjectOpen(scene.c_str(), false, true) && z.CheckPassword(test.mPassword));
        ASSERT_TRUE(z.FieldReadBegin("Content") && z.FieldReadEmbeddedFile(name, relative, ""))
            << z.GetLastErrorString();
        const fs::path media = fs::path(scene).replace_extension(".zqm");
        EXPECT_EQ(media / "maps/private.jpg", Str(name));
        struct stat st;
        ASSERT_EQ(0, ::stat(Str(name).c_str(), &st));
        EXPECT_EQ(test.mFile, st.st_mode & 07777);
        for (const fs::path& folder : {media, media / "maps"}) {
            ASSERT_EQ(0, ::stat(folder.c_str(), &st));
            // Setgid as the folder they are made in.
            EXPECT_EQ(test.mFolder | S_ISGID, st.st_mode & 07777) << folder;
        }
    }
    ::umask(umask);
}

TEST_P(KZeqEmbedded, DamagedContentLeavesNoFile) {
    WriteScene({"wood.tif"});
    mZeq.ProjectClose();
    const std::string bytes = ReadFile(mScene);
    WriteFile(mScene, zeqtest::Flipped(bytes, bytes.size() / 2));  // inside the content
    ASSERT_TRUE(mZeq.ProjectOpen(mScene.c_str(), false, true));
    EXPECT_TRUE(!Extract("wood.tif", "wood.tif") && mZeq.GetLastErrorID() == KZeq::eFileCorrupted);
    EXPECT_TRUE(Str(mFileName) == "wood.tif" && !fs::exists(mDir / "scene.zqm/wood.tif"));
}

// One missing or unreadable texture must not fail a whole export, nor be stored
// as an empty file; ASCII files embed nothing.
TEST_P(KZeqEmbedded, MissingSourceOrAsciiIsNotAFileError) {
    for (const Encoding& encoding : {GetParam(), zeqtest::kAscii}) {
        ASSERT_TRUE(zeqtest::WriteZeq(mScene, encoding, [&](KZeq& z) {
            z.FieldWriteBegin("Content");
            // Missing, or unreadable (a read error is not an empty file).
            for (const std::string& source : {mDir / "missing.tif", mDir.Path().string()})
                EXPECT_TRUE(!z.FieldWriteEmbeddedFile(KString(source.c_str()), "x.tif") && z.GetLastErrorID() == -1);
            EXPECT_EQ(z.FieldWriteEmbeddedFile(KString(mSource.c_str()), KString("wood.tif")), encoding.mBinary);
        }));
    }
}

INSTANTIATE_TEST_SUITE_P(Binary, KZeqEmbedded, testing::Values(zeqtest::kBinary, zeqtest::kEncrypted),
                         zeqtest::EncodingName);

}  // namespace
