// Every export row, as root, in a folder another user may write: a link that user
// planted under the file's name is refused as the system's rule for sticky shared
// folders has it, and so is one under a texture copy's name; a name of theirs
// exchanged with the temporary just before its rename fails the export; and another
// user's data folder beside a field file stays.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kfilereplacement.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "fileio/tests/kopenwatch.h"
#include "fileio/tests/kpipewatchdog.h"
#include "fileio/tests/kplantedlinks.h"
#include "formats/tests/kzeqwriterrows.h"
#include "io/kstreamoptionszeq.h"

namespace zeqsdk_400 {
namespace {

namespace fs = std::filesystem;
using zeqtest::ReadFile;
using zeqtest::WriteFile;
using zeqwritertest::ExportRowName;
using zeqwritertest::kPrevious;

class WriterLinks : public zeqwritertest::ExportRowTest {
protected:
    WriterLinks() : mSecret(mDir.Path()) {}

    void SetUp() override {
        ZEQ_SKIP_UNLESS_ROOT("root's files and another user");
        MakeImage();
        // A folder everybody may write, sticky as /tmp is; a test takes the sticky bit away.
        ASSERT_TRUE(zeqtest::MakeFolderOf(0, mOut));
        zeqwritertest::SceneSpec spec;
        spec.mTextured = true;
        spec.mTextureOnWholeMesh = true;
        BuildScene(spec);
    }

    // Exports through the row; what the export says (the exporter's message, then its error
    // text: the field file's rows say why in their error) in mSaid, its system error in mSystemError.
    bool Export() {
        const bool written = ExportRowTest::Export(mTarget);
        mSaid = mMessage + "\n" + mErrorText;
        return written;
    }

    bool IsLink(const std::string& path) const { return fs::is_symlink(fs::symlink_status(path)); }

    const zeqtest::RootsSecret mSecret;
    std::string mSaid;
};

// Another user's link under the file's name, to root's private file or dangling into root's
// private folder, in a sticky folder others may write (/tmp) and in one its group may write
// (01770, and 01730 where members make names they cannot list), planted there by a member of its
// group: the export is refused with the system's reason whatever fs.protected_symlinks says, the
// file the link names stays byte for byte, nothing is made where it points, and the link stays.
TEST_P(WriterLinks, AnotherUsersLinkInAStickySharedFolderIsRefused) {
    const zeqtest::ExchangingUser member;
    if (!member.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    for (const mode_t mode : {01777, 01770, 01730}) {
        ASSERT_TRUE(zeqtest::MakeFolderOf(0, mOut, mode, zeqtest::kUnprivileged));
        for (const std::string& named : {mSecret.Path(), mSecret.Unmade("made")}) {
            SCOPED_TRACE((mode == 01777 ? "/tmp's mode, " : mode == 01770 ? "01770, " : "01730, ") + named);
            fs::remove(mTarget);
            ASSERT_EQ(0, member.PlantLink(named, mTarget));
            EXPECT_FALSE(Export());
            EXPECT_EQ(EACCES, mSystemError) << mSaid;
            EXPECT_NE(std::string::npos,
                      mSaid.find("the symbolic link \"" + mTarget +
                                 "\" is another user's, in a sticky folder others may write, and is not followed"))
                << mSaid;
            EXPECT_TRUE(mSecret.Intact());
            EXPECT_FALSE(fs::exists(fs::symlink_status(mSecret.Unmade("made"))));
            EXPECT_TRUE(IsLink(mTarget));
            EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());
        }
    }
}

// In a folder others may write without the sticky bit, another user exchanges the
// temporary's name with a link of theirs just before the rename: the export fails with the
// reason, every time, what the link names is not written, and the files written with the
// main one (a library, a texture copy) are taken back.
TEST_P(WriterLinks, ANameExchangedJustBeforeTheRenameFailsTheExport) {
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    ASSERT_EQ(0, ::chmod(mOut.c_str(), 0777));
    const std::string theirs = (mOut / "theirs").string();
    for (int round = 0; round < 2; ++round) {
        for (const auto& entry : fs::directory_iterator(mOut)) fs::remove(entry.path());
        WriteFile(mTarget, kPrevious);
        ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, mSecret.Path(), theirs));
        const zeqtest::ExchangeBeforeRename exchange(other, theirs, fs::path(mTarget).filename().string());
        EXPECT_FALSE(Export());
        ASSERT_TRUE(exchange.Done()) << "the exchange failed: " << std::strerror(exchange.Result());
        EXPECT_NE(std::string::npos, mSaid.find("after the rename its name holds something other than the content"))
            << mSaid;
        EXPECT_TRUE(mSecret.Intact());
        EXPECT_TRUE(IsLink(mTarget)) << "what the other user put there stays";
        const std::vector<std::string> left = {fs::path(mTarget).filename().string(), "theirs"};
        EXPECT_EQ(left, OutEntries());
    }
}

// A file the writer may not replace stays as it was, and the export says which and why:
// another user's file in the sticky shared folder (the system's rule for such files, whatever
// the machine's setting; it would otherwise become root's output that user may change), and a
// file the system keeps from change.
TEST_P(WriterLinks, AFileTheWriterMayNotReplaceStaysAsItWas) {
    struct Case {
        const char* mName;
        uid_t mOwner;
        // What the system keeps it from (FS_IMMUTABLE_FL, FS_APPEND_FL), 0 for nothing.
        int mFlag;
        const char* mSaid;
    };
    const Case cases[] = {
        {"another user's file", zeqtest::kUnprivileged, 0,
         "it is another user's file, in a sticky folder others may write, where only its owner or the folder's "
         "owner may replace it: Permission denied"},
        {"an immutable file", 0, FS_IMMUTABLE_FL, "cannot be replaced: it is immutable: Operation not permitted"},
        {"an append-only file", 0, FS_APPEND_FL, "cannot be replaced: it is append-only: Operation not permitted"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        for (const auto& entry : fs::directory_iterator(mOut)) fs::remove_all(entry.path());
        WriteFile(mTarget, kPrevious);
        ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0666));
        ASSERT_EQ(0, ::chown(mTarget.c_str(), test.mOwner, test.mOwner));
        // The flagged cases come last: where the file system keeps no such flag, they are all that is left.
        if (test.mFlag != 0 && !zeqtest::SetFileFlag(mTarget, test.mFlag, true))
            GTEST_SKIP() << "no immutable or append-only files on this file system: " << std::strerror(errno);
        EXPECT_FALSE(Export());
        EXPECT_NE(std::string::npos, mSaid.find(test.mSaid)) << mSaid;
        EXPECT_NE(std::string::npos, mSaid.find("\"" + mTarget + "\"")) << mSaid;
        if (test.mFlag != 0) zeqtest::SetFileFlag(mTarget, test.mFlag, false);
        struct stat st;
        ASSERT_EQ(0, ::stat(mTarget.c_str(), &st));
        EXPECT_EQ(test.mOwner, st.st_uid);
        EXPECT_EQ(kPrevious, ReadFile(mTarget));
        EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, WriterLinks, testing::ValuesIn(zeqwritertest::kExportRows), ExportRowName);

// Another user's folder holds the file, in the sticky folder; once the file's name is
// resolved, they rename their folder away and put a link of theirs to root's private folder
// under its name. The export writes into their renamed folder, and so does every file it
// writes beside the main one (an OBJ file's library and texture copy), found in the folder the
// walk holds; the data folder of the field file replaced goes from there. Root's file of that
// name stays byte for byte, and root's data folder of that name too.
class SwappedFolder : public WriterLinks {};

TEST_P(SwappedFolder, TheExportGoesWhereTheNameWasResolved) {
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    const fs::path theirs = mOut / "theirs", moved = mOut / "theirs.moved";
    const fs::path rootsFolder = fs::path(mSecret.Path()).parent_path();
    ASSERT_TRUE(zeqtest::MakeFolderOf(zeqtest::kUnprivileged, theirs, 0755));
    const std::string name = std::string("kept.") + GetParam().mExtension;
    mTarget = (theirs / name).string();
    WriteFile((rootsFolder / name).string(), kPrevious);
    fs::create_directories(rootsFolder / "kept.zqd");
    WriteFile((rootsFolder / "kept.zqd" / "root's.bin").string(), "root's data");
    const auto entries = [](const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> before = entries(rootsFolder);
    // Root's file there before, with its data folder.
    WriteFile(mTarget, kPrevious);
    fs::create_directories(theirs / "kept.zqd");
    WriteFile((theirs / "kept.zqd" / "old.bin").string(), "old data");
    const zeqtest::LinkInPlaceOfFolderOnceResolved swap(other, mTarget, theirs.string(), rootsFolder.string());
    const bool written = Export();
    ASSERT_EQ(0, swap.Result()) << "they could not put their link there: " << std::strerror(swap.Result());
    EXPECT_TRUE(mSecret.Intact());
    EXPECT_EQ(kPrevious, ReadFile((rootsFolder / name).string()));
    EXPECT_EQ(before, entries(rootsFolder));
    EXPECT_TRUE(written) << mSaid;
    EXPECT_NE(kPrevious, ReadFile((moved / name).string()));
    EXPECT_FALSE(ReadFile((moved / name).string()).empty());
    const bool field = zeqwritertest::IsFieldFileRow(GetParam());
    EXPECT_EQ(field, !fs::exists(moved / "kept.zqd"));
    if (GetParam().mName == std::string("OBJ")) {
        EXPECT_NE(std::string::npos, ReadFile((moved / "kept.mtl").string()).find("newmtl"));
        EXPECT_EQ("wood texels", ReadFile((moved / "wood.png").string()));
    }
    for (const auto& entry : fs::directory_iterator(moved))
        EXPECT_EQ(std::string::npos, entry.path().filename().string().find(".tmp")) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Rows, SwappedFolder,
                         testing::ValuesIn(zeqwritertest::ExportRowsNamed(
                             {"ZEQ", "ZEQAscii", "ZEQEncrypted", "ZEQ5", "ZEQ5Ascii", "BVH", "OBJ"})),
                         ExportRowName);

// A dangling link another user planted under a texture copy's name, into root's private
// folder: the copy is left out with the reason, nothing is made where the link points, and
// the export goes on. The message gives the reason as the main file's would.
class TextureCopyLinks : public WriterLinks {};

TEST_P(TextureCopyLinks, AnotherUsersLinkGetsNoCopyAndIsNotOpened) {
    const std::string image = (mOut / "wood.png").string(), pipe = (mDir.Path() / "their.fifo").string();
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0666));
    // Any open of the pipe is seen, a non-blocking one too, which waits on nothing.
    zeqtest::OpenWatch opens(pipe);
    ASSERT_TRUE(opens.Ready()) << std::strerror(errno);
    // Dangling into root's private folder, or to their named pipe, which a look that opened
    // what the link names would wake.
    for (const std::string& named : {mSecret.Unmade("wood.png"), pipe}) {
        SCOPED_TRACE(named);
        fs::remove(mTarget);
        fs::remove(image);
        ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, named, image));
        bool written = false;
        EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] { written = Export(); }));
        EXPECT_FALSE(opens.Opened()) << "what the link names was opened";
        ASSERT_TRUE(written) << mSaid;
        EXPECT_FALSE(ReadFile(mTarget).empty());
        EXPECT_FALSE(fs::exists(fs::symlink_status(mSecret.Unmade("wood.png"))));
        EXPECT_TRUE(IsLink(image));
        EXPECT_NE(std::string::npos,
                  mSaid.find("Error writing texture file \"" + image + "\": Cannot write \"" + image +
                             "\": the symbolic link \"" + image +
                             "\" is another user's, in a sticky folder others may write, and is not "
                             "followed: Permission denied.\n"))
            << mSaid;
    }
}

// A texture whose file is another user's link in a sticky shared folder, to root's private
// file: not read, so not copied where others may read it; the export goes on and says why.
TEST_P(TextureCopyLinks, ASourceBehindAnotherUsersLinkIsNotRead) {
    ASSERT_TRUE(zeqtest::MakeFolderOf(0, mImages));
    const std::string source = (mImages / "wood.png").string();
    fs::remove(source);
    ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, mSecret.Path(), source));
    ASSERT_TRUE(Export()) << mSaid;
    EXPECT_FALSE(fs::exists(mOut / "wood.png"));
    EXPECT_NE(std::string::npos, mSaid.find("Unable to locate texture file \"" + source + "\": the symbolic link \"" +
                                            source + "\" is another user's"))
        << mSaid;
}

INSTANTIATE_TEST_SUITE_P(Rows, TextureCopyLinks, testing::ValuesIn(zeqwritertest::ExportRowsNamed({"OBJ", "3DS"})),
                         ExportRowName);

// The data folder beside a field file ("kept.zqd") goes after a write only when the write
// replaced the file it belongs to, and only as far as it is the writer's own: another user's
// folder, or their file in root's folder, or their link standing for it, stays in a sticky
// shared folder, and the writer's message says so; root's own folder, or link, goes. A new
// file's name says nothing of a folder that happens to bear its data folder's name (another
// user may rename a folder of root's to it): that stays, without a word.
class DataFolders : public WriterLinks {};

TEST_P(DataFolders, OnlyTheWritersOwnGoes) {
    struct Case {
        const char* mName;
        uid_t mFolderOwner;
        // Who owns the file inside.
        uid_t mFileOwner;
        // The data folder is a link of mFolderOwner's, to a folder elsewhere.
        bool mLink;
        bool mFileExisted;
        // What stays: the folder, the other user's file inside, root's file inside.
        bool mFolderStays;
        // The message says it stays.
        bool mNotice;
    };
    constexpr uid_t kRoot = 0, kNobody = zeqtest::kUnprivileged;
    const Case cases[] = {
        {"another user's folder, no file before", kNobody, kNobody, false, false, true, false},
        {"root's own folder, no file before", kRoot, kRoot, false, false, true, false},
        {"another user's folder beside root's file", kNobody, kNobody, false, true, true, true},
        {"root's folder holding another user's file", kRoot, kNobody, false, true, true, true},
        {"root's own folder", kRoot, kRoot, false, true, false, false},
        {"another user's link standing for it", kNobody, kNobody, true, true, true, true},
        {"root's own link standing for it", kRoot, kRoot, true, true, false, false},
    };
    const std::string data = (mOut / "kept.zqd").string();
    const fs::path elsewhere = mDir.Path() / "elsewhere";
    for (const Case& test : cases) {
        SCOPED_TRACE(test.mName);
        for (const auto& entry : fs::directory_iterator(mOut)) fs::remove_all(entry.path());
        fs::remove_all(elsewhere);
        if (test.mFileExisted) WriteFile(mTarget, kPrevious);
        const fs::path folder = test.mLink ? elsewhere : fs::path(data);
        fs::create_directories(folder);
        ASSERT_EQ(0, ::chown(folder.c_str(), test.mFolderOwner, test.mFolderOwner));
        const std::string theirs = (folder / "theirs.bin").string(), own = (folder / "own.bin").string();
        WriteFile(theirs, "kept");
        ASSERT_EQ(0, ::chown(theirs.c_str(), test.mFileOwner, test.mFileOwner));
        if (test.mFolderOwner == kRoot) WriteFile(own, "root's");
        if (test.mLink) {
            ASSERT_TRUE(zeqtest::MakeLinkOf(test.mFolderOwner, elsewhere, data));
        }
        ASSERT_TRUE(Export()) << mSaid;
        EXPECT_NE(kPrevious, ReadFile(mTarget));
        const bool notice = mSaid.find("The data folder \"" + data +
                                       "\" is not removed: it, or something in it, belongs to another user.") !=
                            std::string::npos;
        EXPECT_EQ(test.mNotice, notice) << mSaid;
        EXPECT_EQ(test.mFolderStays, fs::exists(fs::symlink_status(data)));
        // What a link stands for is never entered, another user's file never goes, root's own
        // does where the folder goes.
        EXPECT_EQ(test.mLink || test.mFileOwner != kRoot || !test.mFileExisted, fs::exists(theirs));
        if (test.mFolderOwner == kRoot && !test.mLink) {
            EXPECT_EQ(!test.mFileExisted, fs::exists(own));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FieldFileRows, DataFolders,
                         testing::ValuesIn(zeqwritertest::ExportRowsWhere(zeqwritertest::IsFieldFileRow)),
                         ExportRowName);

// A texture named through a linked folder and "..": with home/out a link to data/out,
// home/out/../wood.png is data/wood.png as the system walks it (home/wood.png as text would have
// it). Every export that reads the image reads that one: the OBJ and 3DS copies and the Zeq
// file's embedded image alike. Runs as any user.
class TextureAfterALinkedFolder : public zeqwritertest::ExportRowTest {};

TEST_P(TextureAfterALinkedFolder, IsTheImageTheSystemsWalkFinds) {
    const fs::path home = mDir.Path() / "home", data = mDir.Path() / "data";
    fs::create_directories(home);
    fs::create_directories(data / "out");
    fs::create_directories(mOut);
    fs::create_directory_symlink(data / "out", home / "out");
    WriteFile((data / "wood.png").string(), "the image in data");
    WriteFile((home / "wood.png").string(), "the image in home");
    mImages = home / "out" / "..";
    zeqwritertest::SceneSpec spec;
    spec.mTextured = true;
    spec.mTextureOnWholeMesh = true;
    BuildScene(spec);
    KZeqExporter exporter(mManager);
    KStreamOptionsZeq embedding;
    const bool fieldFile = zeqwritertest::IsFieldFileRow(GetParam());
    if (fieldFile) {
        exporter.SetExportOptionsInfo(&embedding);
        embedding.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, true);
    }
    ASSERT_TRUE(Export(exporter, mTarget, fieldFile ? &embedding : nullptr)) << mMessage << mErrorText;
    EXPECT_EQ(std::string::npos, mMessage.find("wood.png")) << mMessage;
    const std::string written = fieldFile ? ReadFile(mTarget) : ReadFile((mOut / "wood.png").string());
    EXPECT_NE(std::string::npos, written.find("the image in data"));
    EXPECT_EQ(std::string::npos, written.find("the image in home"));
}

INSTANTIATE_TEST_SUITE_P(Rows, TextureAfterALinkedFolder,
                         testing::ValuesIn(zeqwritertest::ExportRowsNamed({"ZEQ", "ZEQ5", "OBJ", "3DS"})),
                         ExportRowName);

}  // namespace
}  // namespace zeqsdk_400
