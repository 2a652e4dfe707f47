#include "io/kzeqexporter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

struct ExporterTest : ::testing::Test {
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqExporter mExporter{mManager};
    KZeqScene* mScene = mManager.CreateKZeqScene();
};

std::string gDoomedDirectory;
// Takes the file's directory away while the file is being written.
void RemoveDirectory(const char*, const char*, float) { std::filesystem::remove_all(gDoomedDirectory); }

}  // namespace

TEST_F(ExporterTest, StatesSetTheirOptions) {
    mExporter.Initialize("x.zeq");
    for (int state = 0; state <= 10; ++state) EXPECT_EQ(state != 3, mExporter.GetState(state)) << state;
    // Each state switched off alone clears exactly its option.
    const int optionOf[] = {0, 1, 2, 11, 3, 4, 5, 6, 7, 8, 9};
    for (int state = 0; state <= 10; ++state) {
        mExporter.ResetConfiguration(), mExporter.SetState(3, true), mExporter.SetState(state, false);
        KStreamOptionsZeq set;
        mExporter.SetExportOptionsInfo(&set);
        for (int option = 0; option < 12; ++option)
            EXPECT_EQ(option != optionOf[state] && option != 10, set.GetOption(option)) << state << " " << option;
        EXPECT_FALSE(set.GetPasswordProtection());
    }
    for (int format = 0; format < 20; ++format)
        EXPECT_EQ(format == 0 || format == 3, (mExporter.SetFileFormat(format), mExporter.IsFileModeBinary())) << format;
    mExporter.SetFileModeBinary(false);
    EXPECT_EQ(KZeqExporter::eZEQ_ASCII, mExporter.GetFileFormat());
    KStreamOptions* options = mExporter.GetExportOptions();
    EXPECT_TRUE(options && options->Is(KStreamOptionsZeq::ClassId));
    mExporter.ReleaseExportOptions(options);
    mExporter.SetPassword("pw");
    KStreamOptionsZeq set;
    mExporter.SetExportOptionsInfo(&set);
    EXPECT_TRUE(set.GetPasswordProtection() && set.GetPassword() == "pw");
    // For a nested write: a default set, whatever the states; none without a file object.
    EXPECT_TRUE(!mExporter.GetExportOptions(nullptr) && mExporter.GetLastErrorID() == KZeqIO::eFileNotCreated);
    mExporter.SetState(0, false);
    std::unique_ptr<IZeqObject> file(KZeqObjectCreate());
    KStreamOptions* nested = mExporter.GetExportOptions(file.get());
    ASSERT_TRUE(nested && nested->Is(KStreamOptionsZeq::ClassId));
    EXPECT_TRUE(static_cast<KStreamOptionsZeq*>(nested)->GetOption(0) && !static_cast<KStreamOptionsZeq*>(nested)->GetPasswordProtection());
    mExporter.ReleaseExportOptions(nested);
}

// The 19 rows as the file dialogs list them, and the null row after them.
TEST_F(ExporterTest, FormatDescriptionsAndExtensions) {
    const char* const rows[][2] = {
        {"ZEQ binary (*.zeq)", "zeq"},          {"ZEQ ascii (*.zeq)", "zeq"},
        {"ZEQ encrypted (*.zeq)", "zeq"},       {"ZEQ 5.0 binary (*.zeq)", "zeq"},
        {"ZEQ 5.0 ascii (*.zeq)", "zeq"},       {"Biovision (*.bvh)", "bvh"},
        {"Motion Analysis HTR (*.htr)", "htr"}, {"Motion Analysis TRC (*.trc)", "trc"},
        {"Acclaim ASF (*.asf)", "asf"},         {"Acclaim AMC (*.amc)", "amc"},
        {"Vicon C3D (*.c3d)", "c3d"},           {"Adaptive Optics AOA (*.aoa)", "aoa"},
        {"Superfluo MCD (*.mcd)", "mcd"},       {"Puppeteer VPM (*.vpm)", "vpm"},
        {"Corvantis MOV (*.mov)", "mov"},       {"Ascension BRD (*.brd)", "brd"},
        {"Autocad DXF (*.dxf)", "dxf"},         {"3D Studio 3DS (*.3ds)", "3ds"},
        {"Vonex OBJ (*.obj)", "obj"}};
    for (int row = 0; row < 19; ++row) {
        EXPECT_STREQ(rows[row][0], KZeqExporter::GetFileFormatDescription(row)) << row;
        EXPECT_STREQ(rows[row][1], KZeqExporter::GetFileFormatExtension(row)) << row;
    }
    for (int row : {19, 20, -1}) {
        EXPECT_EQ(nullptr, KZeqExporter::GetFileFormatDescription(row)) << row;
        EXPECT_EQ(nullptr, KZeqExporter::GetFileFormatExtension(row)) << row;
    }
}

TEST_F(ExporterTest, RowsNotBuiltMissingNamesAndFilesNotCreated) {
    const std::string path = mDir / "m.bvh";
    mExporter.Initialize(path.c_str());
    mExporter.SetFileFormat(KZeqExporter::eBIOVISION_BVH);
    EXPECT_TRUE(!mExporter.Export(*mScene) && mExporter.GetLastErrorID() == KZeqIO::eStreamOptionsNotSet);
    KStreamOptionsMotion motion;
    EXPECT_TRUE(!mExporter.Export(*mScene, &motion) && mExporter.GetLastErrorID() == KZeqIO::eUnidentifiedError);
    EXPECT_STREQ("Format not available", mExporter.GetLastErrorString());
    EXPECT_EQ(nullptr, mExporter.GetExportOptions());
    EXPECT_FALSE(std::filesystem::exists(path));
    mExporter.SetFileFormat(19);
    EXPECT_TRUE(!mExporter.Export(*mScene, &motion) && mExporter.GetLastErrorID() == KZeqIO::eIndexOutOfRange);
    mExporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    mExporter.Initialize("");
    EXPECT_TRUE(!mExporter.Export(*mScene) && mExporter.GetLastErrorID() == KZeqIO::eUninitializedFilename);
    mExporter.Initialize((mDir / "no/such/dir/x.zeq").c_str());
    EXPECT_FALSE(mExporter.Export(*mScene));
    EXPECT_STREQ("File not created", mExporter.GetLastErrorString());
    EXPECT_TRUE(!mExporter.Export(*mScene, &motion, nullptr) && mExporter.GetLastErrorID() == KZeqIO::eFileNotCreated);
}

// A file the system will not create, or not put in place (a folder in the way, left as it was):
// the system's reason comes beside the error.
TEST_F(ExporterTest, FilesNotCreatedKeepTheSystemsReason) {
    std::filesystem::create_directory(mDir / "folder.zeq");
    std::ofstream(mDir / "plain.txt") << "text";
    const std::pair<std::string, int> cases[] = {
        {mDir / "no/such/dir/x.zeq", ENOENT}, {mDir / "folder.zeq", EISDIR}, {mDir / "plain.txt/x.zeq", ENOTDIR}};
    for (const auto& [path, reason] : cases) {
        mExporter.Initialize(path.c_str());
        EXPECT_FALSE(mExporter.Export(*mScene)) << path;
        EXPECT_EQ(reason, mExporter.GetError().GetLastSystemError()) << path;
        EXPECT_STREQ("File not created", mExporter.GetLastErrorString()) << path;
    }
    EXPECT_TRUE(std::filesystem::is_directory(mDir / "folder.zeq") && std::filesystem::is_empty(mDir / "folder.zeq"));
}

// The file is only there once closed: a close that fails fails the export.
TEST_F(ExporterTest, AFileLostAtItsCloseFailsTheExport) {
    gDoomedDirectory = mDir / "doomed";
    std::filesystem::create_directories(gDoomedDirectory);
    KStreamOptionsZeq options;
    mExporter.SetExportOptionsInfo(&options);
    options.SetProgressCallback(&RemoveDirectory);
    mExporter.Initialize((gDoomedDirectory + "/x.zeq").c_str());
    mExporter.SetFileFormat(KZeqExporter::eZEQ_5_BINARY);  // reports "Storing models"
    // The file could not take its name: not created, for the system's reason.
    EXPECT_FALSE(mExporter.Export(*mScene, &options));
    EXPECT_EQ(KZeqIO::eFileNotCreated, mExporter.GetLastErrorID());
    EXPECT_EQ(ENOENT, mExporter.GetError().GetLastSystemError());
    mExporter.Initialize((mDir / "kept.zeq").c_str());
    EXPECT_TRUE(mExporter.Export(*mScene) && std::filesystem::exists(mDir / "kept.zeq"));
}
