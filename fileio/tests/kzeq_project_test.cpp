#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqbinary.h"
#include "fileio/tests/kzeq_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Encoding;

namespace {

// Writes a main section with one "Model" and an extension section per summary text.
void WriteScene(const std::string& path, const Encoding& encoding, std::initializer_list<const char*> summaries,
                int version = 5800) {
    KZeqFileHeaderInfo header;
    header.mFileVersion = version;
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted, &header));
    z.FieldWriteBegin("Model");
    z.FieldWriteC("Model::Cube");
    z.FieldWriteEnd();
    ASSERT_TRUE(z.ProjectCloseSection());
    for (const char* summary : summaries) {
        ASSERT_TRUE(z.ProjectCreateExtensionSection(false));
        z.FieldWriteBegin("Summary");
        z.FieldWriteC(summary);
        z.FieldWriteEnd();
        ASSERT_TRUE(z.ProjectCloseSection());
    }
    ASSERT_TRUE(z.ProjectClose()) << z.GetLastErrorString();
}

// The summary texts of the extension sections, in order.
std::vector<std::string> Summaries(KZeq& z) {
    std::vector<std::string> texts;
    for (int i = 0; i < z.ProjectGetExtensionSectionCount(); ++i) {
        EXPECT_TRUE(z.ProjectOpenExtensionSection(i));
        EXPECT_EQ(z.ProjectGetCurrentSectionIndex(), i + 1);
        texts.emplace_back(z.FieldReadC("Summary", "").Buffer());
        EXPECT_TRUE(z.ProjectCloseSection());
    }
    return texts;
}

class KZeqProject : public testing::TestWithParam<Encoding> {
protected:
    zeqtest::ScratchDir mDir;
};

TEST_P(KZeqProject, SectionsAndHeaderRoundTrip) {
    const std::string path = mDir / "scene.zeq";
    KZeqFileHeaderInfo header;
    header.mFileVersion = 5800;
    header.mCameraName = "Producer Perspective";
    header.mResolutionMode = "Custom";
    header.mResolutionW = 640;
    header.mResolutionH = 480;
    header.mCreator = "unit test";
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(path.c_str(), GetParam().mBinary, GetParam().mEncrypted, &header));
        EXPECT_EQ(z.ProjectGetCurrentSectionIndex(), 0);
        z.FieldWriteBegin("Main");
        z.FieldWriteEnd();
        ASSERT_TRUE(z.ProjectCloseSection());
        EXPECT_EQ(z.ProjectGetCurrentSectionIndex(), -1);
        ASSERT_TRUE(z.ProjectCreateExtensionSection());
        EXPECT_EQ(z.ProjectGetCurrentSectionIndex(), 1);
        z.FieldWriteBegin("Ext");
        z.FieldWriteEnd();
        // ProjectClose stores the section still open.
        ASSERT_TRUE(z.ProjectClose());
    }
    KZeq z;
    KZeqFileHeaderInfo read;
    ASSERT_TRUE(z.ProjectOpen((mDir / "scene").c_str(), false, false, &read));  // ".zeq" is added
    EXPECT_EQ(read.mFileVersion, 5800);
    EXPECT_EQ(std::string(read.mCameraName.Buffer()), "Producer Perspective");
    EXPECT_EQ(std::string(read.mResolutionMode.Buffer()), "Custom");
    EXPECT_EQ(read.mResolutionW, 640);
    EXPECT_EQ(read.mResolutionH, 480);
    EXPECT_EQ(std::string(read.mCreator.Buffer()), "unit test");
    EXPECT_GT(read.mCreationTimeStamp.mYear, 2000);
    EXPECT_EQ(z.GetFileVersion(), 5800);
    EXPECT_EQ(z.ProjectGetCurrentSectionIndex(), -1);
    EXPECT_FALSE(z.FieldReadBegin("Main"));
    EXPECT_EQ(z.ProjectGetExtensionSectionCount(), 1);
    EXPECT_EQ(z.ProjectGetSectionVersion(1), 5800);
    EXPECT_EQ(z.ProjectGetSectionVersion(2), 0);
    EXPECT_EQ(z.ProjectGetSectionVersion(-1), 0);
    ASSERT_TRUE(z.ProjectOpenMainSection());
    EXPECT_TRUE(z.FieldReadBegin("Main"));
    EXPECT_FALSE(z.FieldReadBegin("Ext"));
    ASSERT_TRUE(z.ProjectOpenExtensionSection(0));  // closes the main section
    EXPECT_TRUE(z.FieldReadBegin("Ext"));
    EXPECT_FALSE(z.ProjectOpenExtensionSection(1));
    EXPECT_TRUE(z.ProjectClose());
    EXPECT_FALSE(z.ProjectClose());
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileNotOpened);
    EXPECT_STREQ(z.GetLastErrorString(), "File not opened");
}

TEST_P(KZeqProject, ExtensionSectionOfACreatedFileCanBeReplaced) {
    const std::string path = mDir / "replace.zeq";
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(path.c_str(), GetParam().mBinary, GetParam().mEncrypted));
        ASSERT_TRUE(z.ProjectCloseSection());
        for (const char* text : {"first", "second"}) {
            ASSERT_TRUE(z.ProjectCreateExtensionSection(false));
            z.FieldWriteBegin("Summary");
            z.FieldWriteC(text);
            ASSERT_TRUE(z.ProjectCloseSection());
        }
        ASSERT_TRUE(z.ProjectCreateExtensionSection(true));
        z.FieldWriteBegin("Summary");
        z.FieldWriteC("third");
        ASSERT_TRUE(z.ProjectClose());
    }
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str()));
    EXPECT_EQ(Summaries(z), (std::vector<std::string>{"first", "third"}));
}

TEST_P(KZeqProject, WriteBackIsRefusedExceptInPlainBinary) {
    const std::string path = mDir / "writeback.zeq";
    WriteScene(path, GetParam(), {"original"});
    const std::string before = zeqtest::ReadBytes(path);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str()));
    const bool allowed = GetParam().mBinary && !GetParam().mEncrypted;
    ASSERT_EQ(z.ProjectCreateExtensionSection(false), allowed);
    if (!allowed) {
        EXPECT_EQ(z.GetLastErrorID(), KZeq::eOperationNotAllowed);
        EXPECT_EQ(zeqtest::ReadBytes(path), before);
        return;
    }
    z.FieldWriteBegin("Summary");
    z.FieldWriteC("appended");
    ASSERT_TRUE(z.ProjectCloseSection());
    EXPECT_EQ(Summaries(z), (std::vector<std::string>{"original", "appended"}));
    ASSERT_TRUE(z.ProjectCreateExtensionSection(true));
    z.FieldWriteBegin("Summary");
    z.FieldWriteC("replaced");
    ASSERT_TRUE(z.ProjectCloseSection());
    EXPECT_EQ(Summaries(z), (std::vector<std::string>{"original", "replaced"}));
    // The main section is never replaced, and reading goes on.
    ASSERT_TRUE(z.ProjectOpenMainSection());
    EXPECT_EQ(std::string(z.FieldReadC("Model", "").Buffer()), "Model::Cube");
    ASSERT_TRUE(z.ProjectClose());

    KZeq again;
    ASSERT_TRUE(again.ProjectOpen(path.c_str()));
    EXPECT_EQ(Summaries(again), (std::vector<std::string>{"original", "replaced"}));
}

TEST_P(KZeqProject, ErrorPendingWritesNothing) {
    const std::string path = mDir / "pending.zeq";
    zeqtest::WriteBytes(path, "previous content");
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(path.c_str(), GetParam().mBinary, GetParam().mEncrypted));
    EXPECT_TRUE(z.FieldWriteBegin("Before"));
    z.GetError().SetLastErrorID(KZeq::eFileCorrupted);
    EXPECT_FALSE(z.FieldWriteEnd());
    EXPECT_FALSE(z.FieldWriteBegin("After"));
    EXPECT_FALSE(z.FieldWriteI(1));
    EXPECT_FALSE(z.ProjectClose());
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted);
    // The file being created is dropped; what was there stays.
    EXPECT_EQ(zeqtest::ReadBytes(path), "previous content");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mDir.Path()), std::filesystem::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqProject, testing::ValuesIn(zeqtest::kEncodings),
                         [](const testing::TestParamInfo<Encoding>& info) { return zeqtest::EncodingName(info.param); });

TEST(KZeqProjectFile, CreateAddsExtensionAndRemovesTheDataDirectory) {
    zeqtest::ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "scene.zqd" / "sub");
    zeqtest::WriteBytes(dir / "scene.zqd/sub/data.bin", "x");
    std::filesystem::create_directories(dir.Path() / "take.zqd");
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate((dir / "scene").c_str()));
    EXPECT_EQ(std::string(z.GetFilePath().Buffer()), dir / "scene.zeq");
    ASSERT_TRUE(z.ProjectClose());
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "scene.zeq"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "scene.zqd"));
    // Only ".zeq" files own a data directory.
    ASSERT_TRUE(z.ProjectCreate((dir / "take.tak").c_str()));
    ASSERT_TRUE(z.ProjectClose());
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "take.zqd"));
}

TEST(KZeqProjectFile, OpenErrors) {
    zeqtest::ScratchDir dir;
    KZeq z;
    EXPECT_FALSE(z.ProjectOpen((dir / "missing.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileNotOpened);
    EXPECT_FALSE(z.IsOpen());

    zeqtest::WriteBytes(dir / "empty.zeq", "");
    EXPECT_FALSE(z.ProjectOpen((dir / "empty.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted);
    EXPECT_STREQ(z.GetLastErrorString(), "File is corrupted");

    KZeqFileHeaderInfo header;
    header.mFileVersion = 7000;
    EXPECT_FALSE(z.ProjectCreate((dir / "new.zeq").c_str(), true, false, &header));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileVersionNotSupportedYet);
    header.mFileVersion = 999;
    EXPECT_FALSE(z.ProjectCreate((dir / "old.zeq").c_str(), true, false, &header));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileVersionNotSupportedAnymore);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "new.zeq"));

    EXPECT_FALSE(z.ProjectCreate((dir / "no/such/dir/x.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileNotCreated);
}

TEST(KZeqProjectFile, VersionsInTheFileAreChecked) {
    zeqtest::ScratchDir dir;
    KZeq z;
    for (int version : {1000, 5700, 5800, 6000, 6999}) {
        zeqtest::WriteBytes(dir / "v.zeq", zeqtest::MakeBinaryFile("", version));
        EXPECT_TRUE(z.ProjectOpen((dir / "v.zeq").c_str())) << version;
        EXPECT_EQ(z.IsVersion2000OrLater(), version > 1999);
    }
    zeqtest::WriteBytes(dir / "v.zeq", zeqtest::MakeBinaryFile("", 7000));
    EXPECT_FALSE(z.ProjectOpen((dir / "v.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileVersionNotSupportedYet);
    zeqtest::WriteBytes(dir / "v.zeq", zeqtest::MakeBinaryFile("", 999));
    EXPECT_FALSE(z.ProjectOpen((dir / "v.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileVersionNotSupportedAnymore);
    zeqtest::WriteBytes(dir / "a.zeq", "@Zeq: 7100\n@Section: 7100\n@End\n");
    EXPECT_FALSE(z.ProjectOpen((dir / "a.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileVersionNotSupportedYet);
}

TEST(KZeqProjectFile, ConvertVersionNumber) {
    int major = 0, minor = 0, revision = 0;
    KZeq::ProjectConvertVersionNumber(5800, major, minor, revision);
    EXPECT_EQ(major * 10000 + minor * 100 + revision, 50800);
    KZeq::ProjectConvertVersionNumber(5801, major, minor, revision);
    EXPECT_EQ(major * 10000 + minor * 100 + revision, 50801);
    KZeq::ProjectConvertVersionNumber(6100, major, minor, revision);
    EXPECT_EQ(major * 10000 + minor * 100 + revision, 60100);
}

TEST(KZeqProjectFile, OpenDirectCanOpenTheMainSectionAtOnce) {
    zeqtest::ScratchDir dir;
    WriteScene(dir / "take.tak", zeqtest::kEncodings[0], {});
    KZeq z;
    EXPECT_FALSE(z.ProjectOpenDirect((dir / "take").c_str(), false, true));
    ASSERT_TRUE(z.ProjectOpenDirect((dir / "take.tak").c_str(), false, true, nullptr));
    EXPECT_EQ(z.ProjectGetCurrentSectionIndex(), 0);
    EXPECT_EQ(std::string(z.FieldReadC("Model", "").Buffer()), "Model::Cube");
}

TEST(KZeqProjectFile, PathsResolveAgainstTheFilesDirectory) {
    zeqtest::ScratchDir dir;
    WriteScene(dir / "scene.zeq", zeqtest::kEncodings[0], {});
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen((dir / "scene.zeq").c_str()));
    EXPECT_EQ(std::string(z.GetFullFilePath("tex/wood.png").Buffer()), dir / "tex/wood.png");
    EXPECT_EQ(std::string(z.GetFullFilePath("/abs/wood.png").Buffer()), "/abs/wood.png");
    EXPECT_EQ(std::string(z.GetRelativeFilePath((dir / "tex/wood.png").c_str()).Buffer()), "tex/wood.png");
    EXPECT_EQ(std::string(z.GetMediaDirectory().Buffer()), dir / "scene.zqm");
}

TEST(KZeqProjectFile, ReadOnlyRefusesWriteBack) {
    zeqtest::ScratchDir dir;
    WriteScene(dir / "ro.zeq", zeqtest::kEncodings[0], {});
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen((dir / "ro.zeq").c_str(), true));
    EXPECT_FALSE(z.ProjectCreateExtensionSection());
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eOperationNotAllowed);
    z.GetError().ClearLastError();
    ASSERT_TRUE(z.ProjectOpenMainSection());
    EXPECT_FALSE(z.ProjectCreateExtensionSection());  // a section is open
}

// An update interrupted before the slot switch leaves the previous file readable.
TEST(KZeqProjectFile, InterruptedWriteBackKeepsThePreviousFile) {
    zeqtest::ScratchDir dir;
    const std::string path = dir / "crash.zeq";
    WriteScene(path, zeqtest::kEncodings[0], {"original"});
    const std::string before = zeqtest::ReadBytes(path);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str()));
        ASSERT_TRUE(z.ProjectCreateExtensionSection(true));
        z.FieldWriteBegin("Summary");
        z.FieldWriteC("new");
        ASSERT_TRUE(z.ProjectClose());
    }
    const std::string after = zeqtest::ReadBytes(path);
    ASSERT_GT(after.size(), before.size());
    ASSERT_EQ(after.compare(zeqdetail::kFixedHeaderSize, before.size() - zeqdetail::kFixedHeaderSize, before,
                            zeqdetail::kFixedHeaderSize, before.size() - zeqdetail::kFixedHeaderSize),
              0);

    // Everything appended, but the slot not yet switched.
    std::string crashed = after;
    crashed.replace(0, zeqdetail::kFixedHeaderSize, before, 0, zeqdetail::kFixedHeaderSize);
    zeqtest::WriteBytes(path, crashed);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str()));
        EXPECT_EQ(Summaries(z), (std::vector<std::string>{"original"}));
    }
    // The slot switch torn half-way: its checksum fails, the other slot holds.
    std::string torn = after;
    const std::size_t slotB = zeqdetail::kSlotOffset + zeqdetail::kSlotSize;
    torn[slotB + 3] = static_cast<char>(torn[slotB + 3] ^ 0x55);
    zeqtest::WriteBytes(path, torn);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str()));
        EXPECT_EQ(Summaries(z), (std::vector<std::string>{"original"}));
    }
    // A crash while appending: the tail is cut anywhere.
    for (std::size_t cut = before.size(); cut < after.size(); cut += 7) {
        std::string partial = before;
        partial.append(after, before.size(), cut - before.size());
        zeqtest::WriteBytes(path, partial);
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(path.c_str())) << cut;
        EXPECT_EQ(Summaries(z), (std::vector<std::string>{"original"}));
    }
}

TEST(KZeqProjectFile, StreamsHoldWholeFiles) {
    KChainedMemoryFile memory;
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreateStream(memory, true, false));
        z.FieldWriteBegin("Name");
        z.FieldWriteC("in memory");
        ASSERT_TRUE(z.ProjectClose());
    }
    ASSERT_GT(memory.GetDataSize(), 0u);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpenStream(memory, false, true));
    EXPECT_EQ(std::string(z.FieldReadC("Name", "").Buffer()), "in memory");
    ASSERT_TRUE(z.ProjectCloseSection());
    ASSERT_TRUE(z.ProjectCreateExtensionSection());
    z.FieldWriteBegin("Summary");
    z.FieldWriteEnd();
    ASSERT_TRUE(z.ProjectClose());
    KZeq again;
    ASSERT_TRUE(again.ProjectOpenStream(memory));
    EXPECT_EQ(again.ProjectGetExtensionSectionCount(), 1);
}

}  // namespace
