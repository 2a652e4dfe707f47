#include "io/kzeqimporter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kplantedlinks.h"
#include "fileio/tests/test_users.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;
using zeqiotest::MakeZeqFile;

namespace {

const char* const kTwoTakes = "Takes: {;Current: \"B\";Take: \"A\";Take: \"B\";}";

struct ImporterTest : ::testing::Test {
    std::string Make(const char* name, int version, int mode, const char* password = nullptr) {
        const std::string path = mDir / name;
        MakeZeqFile(path, version, mode, kTwoTakes, password);
        return path;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqImporter mImporter{mManager};
    KZeqScene* mScene = mManager.CreateKZeqScene();
};

}  // namespace

// The row follows the file's encoding after an open; upper-case extensions open at once.
TEST_F(ImporterTest, InitializeOpensZeqFilesAtOnce) {
    EXPECT_STREQ("ZEQ ascii (*.zeq)", KZeqImporter::GetFileFormatDescription(0));
    for (int index : {17, 18, -1}) EXPECT_EQ(nullptr, KZeqImporter::GetFileFormatExtension(index)) << index;
    int major, minor, revision;
    for (int mode : {0, 1, 2}) {
        mImporter.SetFileFormat(KZeqImporter::eZEQ_ENCRYPTED);
        ASSERT_TRUE(mImporter.Initialize(Make(mode == 1 ? "b.ZEQ" : "a.zeq", 5800, mode).c_str()));
        EXPECT_EQ(mode, mImporter.GetFileFormat());
        mImporter.GetFileVersion(major, minor, revision);
        EXPECT_EQ(5800, major * 1000 + minor * 100 + revision);
    }
    EXPECT_TRUE(mImporter.Initialize((mDir / "motion.bvh").c_str()));  // not opened
    EXPECT_FALSE(mImporter.Initialize((mDir / "missing.zeq").c_str()));
    EXPECT_EQ(KZeqIO::eFileNotOpened, mImporter.GetLastErrorID());
    EXPECT_FALSE(KZeqImporter(mManager).FileOpen());  // no name
    ASSERT_TRUE(mImporter.Initialize(Make("old.zeq", 3000, 1).c_str()));
    mImporter.GetFileVersion(major, minor, revision);
    EXPECT_EQ(5000, major * 1000 + minor * 100 + revision);  // old files answer 5.0.0
}

// The header's render resolution, when it has a mode and both sizes; each
// open forgets the one before.
TEST_F(ImporterTest, DefaultRenderResolutionFromTheHeader) {
    KZeqFileHeaderInfo header;
    header.mFileVersion = 6000, header.mCameraName = "Producer Top", header.mResolutionMode = "Fixed Resolution";
    header.mResolutionW = 640, header.mResolutionH = 480;
    const auto make = [&](const char* name) {
        KZeq file;
        EXPECT_TRUE(file.ProjectCreate((mDir / name).c_str(), true, false, &header) && file.ProjectClose());
        return std::string(mDir / name);
    };
    const std::string sized = make("sized.zeq");
    header.mResolutionH = 0.0;
    const std::string flat = make("flat.zeq");
    header.mResolutionH = 480, header.mResolutionMode = "";
    const std::string modeless = make("modeless.zeq");
    KString camera("none"), mode;
    double width = -1.0, height = -1.0;
    EXPECT_FALSE(mImporter.GetDefaultRenderResolution(camera, mode, width, height));
    ASSERT_TRUE(mImporter.Initialize(sized.c_str()));
    ASSERT_TRUE(mImporter.GetDefaultRenderResolution(camera, mode, width, height));
    EXPECT_TRUE(camera == "Producer Top" && mode == "Fixed Resolution" && width == 640 && height == 480);
    for (const std::string& path : {flat, modeless}) {
        camera = "none", width = -1.0;
        ASSERT_TRUE(mImporter.Initialize(path.c_str())) << path;
        EXPECT_FALSE(mImporter.GetDefaultRenderResolution(camera, mode, width, height)) << path;
        EXPECT_TRUE(camera == "none" && width == -1.0) << path;
    }
}

// A file the system will not open is said with its path and the system's reason, which is kept
// beside the text too.
TEST_F(ImporterTest, FilesNotOpenedKeepTheSystemsReason) {
    std::filesystem::create_directory(mDir / "folder.zeq");
    Make("plain.zeq", 6000, 1);
    const std::pair<std::string, int> cases[] = {
        {mDir / "missing.zeq", ENOENT}, {mDir / "folder.zeq", EISDIR}, {mDir / "plain.zeq/x.zeq", ENOTDIR}};
    for (const auto& [path, reason] : cases) {
        EXPECT_FALSE(mImporter.Initialize(path.c_str())) << path;
        EXPECT_EQ(KZeqIO::eFileNotOpened, mImporter.GetLastErrorID()) << path;
        EXPECT_EQ("File not opened: " + path + " (" + std::strerror(reason) + ")", mImporter.GetLastErrorString());
        EXPECT_EQ(reason, mImporter.GetError().GetLastSystemError()) << path;
        EXPECT_EQ(0, mImporter.GetTakeCount());
    }
}

TEST_F(ImporterTest, TakeQueries) {
    ASSERT_TRUE(mImporter.Initialize(Make("t.zeq", 6000, 1).c_str()));
    EXPECT_EQ(2, mImporter.GetTakeCount());
    EXPECT_STREQ("B", mImporter.GetCurrentTakeName().Buffer());
    EXPECT_TRUE(!mImporter.GetTakeInfo(-1) && !mImporter.GetTakeInfo(2) && !mImporter.GetSceneInfo());
    EXPECT_STREQ("A", mImporter.GetTakeInfo(0)->mName.Buffer());
    mImporter.SetFileFormat(KZeqImporter::eBIOVISION_BVH);
    EXPECT_TRUE(mImporter.GetTakeCount() == 0 && mImporter.GetCurrentTakeName().IsEmpty());
}

// The first options read resets the states; states set after it reach Import.
TEST_F(ImporterTest, StatesSetBeforeTheFirstQueryAreReset) {
    ASSERT_TRUE(mImporter.Initialize(Make("s.zeq", 6000, 1).c_str()));
    mImporter.SetState(KZeqImporter::eANIMATION, false), mImporter.GetTakeCount();
    EXPECT_TRUE(mImporter.GetState(KZeqImporter::eANIMATION));
    mImporter.SetState(KZeqImporter::eANIMATION, false), mImporter.GetTakeInfo(1)->mSelect = false;
    KStreamOptionsZeq options;
    mImporter.SetImportOptionsInfo(&options);
    EXPECT_FALSE(options.GetOption(KStreamOptionsZeq::eANIMATION) || options.GetTakeInfo(1)->mSelect);
    EXPECT_TRUE(mImporter.Import(*mScene) && mImporter.Import(*mScene));  // the file stays open
    EXPECT_FALSE(mImporter.GetState(KZeqImporter::eANIMATION));
}

// A password given before the first query survives the options read.
TEST_F(ImporterTest, Passwords) {
    const std::string path = Make("p.zeq", 6000, 2, "secret");
    mImporter.SetPassword("secret");
    ASSERT_TRUE(mImporter.Initialize(path.c_str()));
    EXPECT_TRUE(mImporter.Import(*mScene)) << mImporter.GetLastErrorString();
    mImporter.SetPassword("wrong");
    ASSERT_TRUE(mImporter.Initialize(path.c_str()));
    mScene->SetSceneInfo(mManager.CreateKZeqSceneInfo());
    EXPECT_TRUE(!mImporter.Import(*mScene) && !mScene->GetSceneInfo());  // cleared all the same
    EXPECT_EQ(KZeqIO::ePasswordError, mImporter.GetLastErrorID());
    EXPECT_STREQ("File is password protected and the provided password is wrong.", mImporter.GetLastErrorString());
}

TEST_F(ImporterTest, RowsNotBuiltAndOutsideTheTable) {
    mImporter.Initialize(Make("r.zeq", 6000, 1).c_str());
    mImporter.SetFileFormat(KZeqImporter::eBIOVISION_BVH);  // the open file keeps its reader until reopened
    KStreamOptionsMotion motion;
    EXPECT_TRUE(!mImporter.FileOpen() && !mImporter.Import(*mScene, &motion));
    EXPECT_EQ(KZeqIO::eUnidentifiedError, mImporter.GetLastErrorID());
    EXPECT_STREQ("Format not available", mImporter.GetLastErrorString());
    mImporter.SetFileFormat(40);
    EXPECT_TRUE(!mImporter.Import(*mScene, &motion) && mImporter.GetLastErrorID() == KZeqIO::eIndexOutOfRange);
    mImporter.SetFileFormat(KZeqImporter::eZEQ_BINARY);  // Zeq reader, motion options
    EXPECT_TRUE(!mImporter.Import(*mScene, &motion) && mImporter.GetLastErrorID() == KZeqIO::eUnidentifiedError);
    EXPECT_EQ(nullptr, mImporter.GetImportOptions(static_cast<IZeqObject*>(nullptr)));
    EXPECT_EQ(KZeqIO::eFileNotCreated, mImporter.GetLastErrorID());
}

// Answers true once the "Summary" is rewritten with the caller's information.
TEST_F(ImporterTest, UpdateImportOptionsRewritesTheSummary) {
    const std::string path = Make("u.zeq", 6000, 1);
    ASSERT_TRUE(mImporter.Initialize(path.c_str()));
    EXPECT_FALSE(mImporter.UpdateImportOptions(nullptr));
    EXPECT_EQ(nullptr, mImporter.GetImportOptions(KZeqImporter::eSummaryOnly));  // no "Summary" yet
    KStreamOptions* options = mImporter.GetImportOptions();
    ASSERT_NE(nullptr, options);
    KZeqSceneInfo info;
    info.mAuthor = "me";
    static_cast<KStreamOptionsZeq*>(options)->SetSceneInfo(&info);
    static_cast<KStreamOptionsZeq*>(options)->GetTakeInfo(0)->mDescription = "first";
    EXPECT_TRUE(mImporter.UpdateImportOptions(options));
    mImporter.ReleaseImportOptions(options);
    KZeqImporter again(mManager);
    ASSERT_TRUE(again.Initialize(path.c_str()));
    again.ReleaseImportOptions(options = again.GetImportOptions(KZeqImporter::eSummaryOnly));
    ASSERT_NE(nullptr, options);
    EXPECT_STREQ("first", again.GetTakeInfo(0)->mDescription.Buffer());
    EXPECT_TRUE(again.GetSceneInfo() && again.GetSceneInfo()->mAuthor == "me");
    KZeq file;
    EXPECT_TRUE(file.ProjectOpen(path.c_str()) && file.ProjectGetExtensionSectionCount() == 1);  // replaced
}

// Hard links to root's Zeq file (0600, in a folder of root's others may pass) in folders others may
// write: root's own (0777, 01777, of a group that may write) and another user's. The rule looks at
// the file's links and the folder the name lies in, not at who made the link, so root makes them
// (whatever the machine lets other users hard-link). Root's import through such a link reads the
// scene but writes no "Summary" back: the file stays byte for byte, and the import's message says
// why, once. Root's own hard link in a folder of root's alone takes the "Summary" as before,
// without a word.
TEST_F(ImporterTest, NoSummaryIsWrittenBackThroughAnotherUsersHardLink) {
    ZEQ_SKIP_UNLESS_ROOT("folders of another user's and of a group's");
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const std::string roots = dir / "roots", zeq = roots + "/scene.zeq";
    ASSERT_TRUE(zeqtest::MakeFolderOf(0, roots, 0755, 0));
    MakeZeqFile(zeq, 6000, 1, kTwoTakes);
    ASSERT_EQ(0, ::chmod(zeq.c_str(), 0600));
    const std::string before = zeqtest::ReadFile(zeq);
    const struct {
        const char* mName;
        uid_t mOwner;
        mode_t mMode;
        gid_t mGroup;
    } folders[] = {
        {"root's, everybody may write", 0, 0777, 0},
        {"root's, sticky, everybody may write", 0, 01777, 0},
        {"root's, its group may write", 0, 0770, zeqtest::kUnprivileged},
        {"root's, sticky, its group may write", 0, 01770, zeqtest::kUnprivileged},
        {"theirs", zeqtest::kUnprivileged, 0755, zeqtest::kUnprivileged},
        {"theirs, sticky, everybody may write", zeqtest::kUnprivileged, 01777, zeqtest::kUnprivileged},
    };
    std::vector<std::string> links;
    for (const auto& folder : folders) {
        const std::string where = dir / ("f" + std::to_string(links.size()));
        ASSERT_TRUE(zeqtest::MakeFolderOf(folder.mOwner, where, folder.mMode, folder.mGroup));
        links.push_back(where + "/scene.zeq");
        ASSERT_EQ(0, ::link(zeq.c_str(), links.back().c_str())) << folder.mName << ": " << std::strerror(errno);
    }
    for (std::size_t i = 0; i < links.size(); ++i) {
        SCOPED_TRACE(folders[i].mName);
        KZeqImporter importer(mManager);
        ASSERT_TRUE(importer.Initialize(links[i].c_str()));
        EXPECT_TRUE(importer.Import(*mManager.CreateKZeqScene()));
        EXPECT_TRUE(before == zeqtest::ReadFile(zeq)) << "root's file was written";
        KString message;
        importer.GetMessage(message);
        const std::string refusal =
            "Cannot write \"" + links[i] + "\": it has other hard links, in " +
            zeqtest::FolderOthersWrite(folders[i].mOwner, folders[i].mMode, folders[i].mGroup) +
            ", and is not written to: Permission denied.";
        const std::string said = message.Buffer();
        EXPECT_EQ(refusal, said.substr(0, said.find('\n')));
        EXPECT_EQ(said.find(refusal), said.rfind(refusal)) << said;
    }
    const std::string own = roots + "/own.zeq";
    ASSERT_EQ(0, ::link(zeq.c_str(), own.c_str()));
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(own.c_str()));
    EXPECT_TRUE(importer.Import(*mManager.CreateKZeqScene()));
    KString message;
    importer.GetMessage(message);
    EXPECT_STREQ("", message.Buffer());
    KZeq file;
    EXPECT_TRUE(file.ProjectOpen(zeq.c_str()) && file.ProjectGetExtensionSectionCount() == 1);
}

// A file its reader may not write takes no "Summary", and the import says nothing of it: no
// one asked for a write. As another user where this is root.
TEST_F(ImporterTest, AFileItsReaderMayNotWriteTakesNoSummaryWithoutAWord) {
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const std::string zeq = dir / "scene.zeq";
    MakeZeqFile(zeq, 6000, 1, kTwoTakes);
    ASSERT_EQ(0, ::chmod(zeq.c_str(), 0444));
    ASSERT_EQ(0, ::chmod(dir.Path().c_str(), 0777));
    const std::string before = zeqtest::ReadFile(zeq);
    const std::optional<std::string> said = zeqtest::AsUnprivileged(dir.Path(), [&]() -> std::string {
        KZeqImporter importer(mManager);
        if (!importer.Initialize(zeq.c_str()) || !importer.Import(*mManager.CreateKZeqScene())) return "not read";
        KString message;
        importer.GetMessage(message);
        return message.Buffer();
    });
    if (!said) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(dir.Path());
    EXPECT_EQ("", *said);
    EXPECT_TRUE(before == zeqtest::ReadFile(zeq));
}

// Found by fuzzing: a damaged file (a property value that is no number) read into a scene that
// then lists the texture the read made; the failed read ended it, and the next read into the
// scene went through the list. A failed read leaves the scene listing nothing it ended.
TEST_F(ImporterTest, AFailedReadLeavesNoEndedTextureListed) {
    const std::string path = mDir / "typeless.zeq";
    zeqtest::WriteFile(path,
                       "@Zeq:6000\n@Section:6000\nDefinitions:{ObjectType:\"Model\"{}ObjectType:\"Texture\"}"
                       "Objects:{Model:{Properties:{Property:\"QuaternionInterpolate\",\"\",\"\",\"\"}}Texture:{}}"
                       "@End");
    ASSERT_TRUE(mImporter.Initialize(path.c_str()));
    EXPECT_FALSE(mImporter.Import(*mScene));
    EXPECT_EQ(0, mScene->GetEntity()->GetTextureCount());
    if (KStreamOptions* options = mImporter.GetImportOptions(KZeqImporter::eSummaryOnly)) {
        mImporter.UpdateImportOptions(options);
        mImporter.Import(*mScene, options);
        mImporter.ReleaseImportOptions(options);
    }
    mImporter.Import(*mScene);
    KArrayTemplate<KZeqTexture*> textures;
    mScene->FillTextureArray(textures);
    for (int i = 0; i < textures.GetCount(); ++i) EXPECT_NE(nullptr, textures[i]);
}
