#include "io/kzeqimporter.h"

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;
using zeqiotest::MakeZeqFile;

namespace {

// Two takes ("A" current) and a title.
void TwoTakes(KZeq& z) {
    ZeqWriteBlockBegin(z, "Takes");
    ZeqWriteFieldC(z, "Current", "B");
    for (const char* name : {"A", "B"}) ZeqWriteBlockBegin(z, "Take", name), ZeqWriteBlockEnd(z);
    ZeqWriteBlockEnd(z);
}

struct ImporterTest : ::testing::Test {
    std::string Make(const char* name, int version, int mode, const char* password = nullptr) {
        const std::string path = mDir / name;
        MakeZeqFile(path, version, mode, TwoTakes, password);
        return path;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqImporter mImporter{mManager};
    KZeqScene* mScene = mManager.CreateKZeqScene();
};

}  // namespace

TEST_F(ImporterTest, TablesAndStates) {
    EXPECT_STREQ("ZEQ ascii (*.zeq)", KZeqImporter::GetFileFormatDescription(0));
    EXPECT_STREQ("Vonex OBJ (*.obj)", KZeqImporter::GetFileFormatDescription(16));
    EXPECT_STREQ("brd", KZeqImporter::GetFileFormatExtension(13));
    for (int index : {17, 18, -1}) EXPECT_EQ(nullptr, KZeqImporter::GetFileFormatExtension(index)) << index;
    for (int state = 0; state <= 10; ++state) EXPECT_TRUE(mImporter.GetState(state));
    EXPECT_FALSE(mImporter.GetState(11));
    mImporter.SetState(10, false), mImporter.ResetConfiguration();
    EXPECT_TRUE(mImporter.GetState(10));
}

// The row follows the file's encoding after an open; upper-case extensions open at once.
TEST_F(ImporterTest, InitializeOpensZeqFilesAtOnce) {
    const int modes[] = {0, 1, 2};
    for (int mode : modes) {
        const std::string path = Make(mode == 1 ? "b.ZEQ" : "a.zeq", 5800, mode);
        mImporter.SetFileFormat(KZeqImporter::eZEQ_ENCRYPTED);
        ASSERT_TRUE(mImporter.Initialize(path.c_str())) << mImporter.GetLastErrorString();
        EXPECT_EQ(mode, mImporter.GetFileFormat());
        int major, minor, revision;
        mImporter.GetFileVersion(major, minor, revision);
        EXPECT_EQ(5800, major * 1000 + minor * 100 + revision);
    }
    EXPECT_TRUE(mImporter.Initialize((mDir / "motion.bvh").c_str()));  // not opened
    EXPECT_FALSE(mImporter.Initialize((mDir / "missing.zeq").c_str()));
    EXPECT_EQ(KZeqIO::eFileNotOpened, mImporter.GetLastErrorID());
    KZeqImporter unnamed(mManager);
    EXPECT_FALSE(unnamed.FileOpen());
    EXPECT_EQ(KZeqIO::eUninitializedFilename, unnamed.GetLastErrorID());
    // Old files answer 5.0.0.
    ASSERT_TRUE(mImporter.Initialize(Make("old.zeq", 3000, 1).c_str()));
    int major, minor, revision;
    mImporter.GetFileVersion(major, minor, revision);
    EXPECT_EQ(5000, major * 1000 + minor * 100 + revision);
}

TEST_F(ImporterTest, TakeQueries) {
    ASSERT_TRUE(mImporter.Initialize(Make("t.zeq", 6000, 1).c_str()));
    EXPECT_EQ(2, mImporter.GetTakeCount());
    EXPECT_STREQ("B", mImporter.GetCurrentTakeName().Buffer());
    EXPECT_EQ(nullptr, mImporter.GetTakeInfo(-1));
    EXPECT_EQ(nullptr, mImporter.GetTakeInfo(2));
    EXPECT_STREQ("A", mImporter.GetTakeInfo(0)->mName.Buffer());
    EXPECT_EQ(nullptr, mImporter.GetSceneInfo());
    mImporter.SetFileFormat(KZeqImporter::eBIOVISION_BVH);
    EXPECT_EQ(0, mImporter.GetTakeCount());
    EXPECT_TRUE(mImporter.GetCurrentTakeName().IsEmpty());
}

// The first options read resets the states; states set after it reach Import.
TEST_F(ImporterTest, StatesSetBeforeTheFirstQueryAreReset) {
    ASSERT_TRUE(mImporter.Initialize(Make("s.zeq", 6000, 1).c_str()));
    mImporter.SetState(KZeqImporter::eANIMATION, false);
    mImporter.GetTakeCount();
    EXPECT_TRUE(mImporter.GetState(KZeqImporter::eANIMATION));
    mImporter.SetState(KZeqImporter::eANIMATION, false);
    mImporter.GetTakeInfo(1)->mSelect = false;
    KStreamOptionsZeq options;
    mImporter.SetImportOptionsInfo(&options);
    EXPECT_FALSE(options.GetOption(KStreamOptionsZeq::eANIMATION));
    EXPECT_FALSE(options.GetTakeInfo(1)->mSelect);
    EXPECT_TRUE(mImporter.Import(*mScene));
    EXPECT_TRUE(mImporter.Import(*mScene));  // the file stays open
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
    EXPECT_FALSE(mImporter.Import(*mScene));
    EXPECT_EQ(KZeqIO::ePasswordError, mImporter.GetLastErrorID());
    EXPECT_STREQ("File is password protected and the provided password is wrong.", mImporter.GetLastErrorString());
}

TEST_F(ImporterTest, RowsNotBuiltAndOutsideTheTable) {
    const std::string path = Make("r.zeq", 6000, 1);
    mImporter.Initialize(path.c_str());
    mImporter.SetFileFormat(KZeqImporter::eBIOVISION_BVH);
    EXPECT_FALSE(mImporter.FileOpen());
    EXPECT_EQ(KZeqIO::eUnidentifiedError, mImporter.GetLastErrorID());
    EXPECT_STREQ("Format not available", mImporter.GetLastErrorString());
    KStreamOptionsMotion motion;
    EXPECT_FALSE(mImporter.Import(*mScene, &motion));
    EXPECT_STREQ("Format not available", mImporter.GetLastErrorString());
    mImporter.SetFileFormat(40);
    EXPECT_FALSE(mImporter.Import(*mScene, &motion));
    EXPECT_EQ(KZeqIO::eIndexOutOfRange, mImporter.GetLastErrorID());
    mImporter.SetFileFormat(KZeqImporter::eZEQ_BINARY);
    EXPECT_FALSE(mImporter.Import(*mScene, &motion));  // Zeq reader, motion options
    EXPECT_EQ(KZeqIO::eUnidentifiedError, mImporter.GetLastErrorID());
    EXPECT_EQ(nullptr, mImporter.GetImportOptions(static_cast<IZeqObject*>(nullptr)));
    EXPECT_EQ(KZeqIO::eFileNotCreated, mImporter.GetLastErrorID());
}

// Answers true once the "Summary" is rewritten with the caller's information.
TEST_F(ImporterTest, UpdateImportOptionsRewritesTheSummary) {
    const std::string path = Make("u.zeq", 6000, 1);
    ASSERT_TRUE(mImporter.Initialize(path.c_str()));
    EXPECT_FALSE(mImporter.UpdateImportOptions(nullptr));
    KStreamOptions* options = mImporter.GetImportOptions(KZeqImporter::eSummaryOnly);
    EXPECT_EQ(nullptr, options);  // no "Summary" yet
    options = mImporter.GetImportOptions();
    ASSERT_NE(nullptr, options);
    auto* zeq = static_cast<KStreamOptionsZeq*>(options);
    KZeqSceneInfo info;
    info.mAuthor = "me";
    zeq->SetSceneInfo(&info);
    zeq->GetTakeInfo(0)->mDescription = "first";
    EXPECT_TRUE(mImporter.UpdateImportOptions(options));
    mImporter.ReleaseImportOptions(options);
    KZeqImporter again(mManager);
    ASSERT_TRUE(again.Initialize(path.c_str()));
    options = again.GetImportOptions(KZeqImporter::eSummaryOnly);
    ASSERT_NE(nullptr, options);
    again.ReleaseImportOptions(options);
    EXPECT_STREQ("first", again.GetTakeInfo(0)->mDescription.Buffer());
    ASSERT_NE(nullptr, again.GetSceneInfo());
    EXPECT_STREQ("me", again.GetSceneInfo()->mAuthor.Buffer());
    KZeq file;
    ASSERT_TRUE(file.ProjectOpen(path.c_str()));
    EXPECT_EQ(1, file.ProjectGetExtensionSectionCount());  // replaced, not appended
}
