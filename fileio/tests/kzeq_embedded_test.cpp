#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/tests/kzeq_test_support.h"

using namespace zeqsdk_400;

namespace {

class KZeqEmbedded : public testing::TestWithParam<bool> {
protected:
    bool Encrypted() const { return GetParam(); }

    // A scene with one "Content" field per relative name, all embedding the same file.
    void WriteScene(std::initializer_list<const char*> relativeNames) {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(mScene.c_str(), true, Encrypted()));
        for (const char* name : relativeNames) {
            z.FieldWriteBegin("Content");
            ASSERT_TRUE(z.FieldWriteEmbeddedFile(KString(mSource.c_str()), KString(name)));
            z.FieldWriteEnd();
        }
        z.FieldWriteBegin("After");
        z.FieldWriteI(5);
        ASSERT_TRUE(z.ProjectClose()) << z.GetLastErrorString();
    }

    bool Extract(KString& fileName, KString& relativeName, const char* directory = "", bool* overwritten = nullptr) {
        if (!mZeq.FieldReadBegin("Content")) return false;
        const bool ok = mZeq.FieldReadEmbeddedFile(fileName, relativeName, directory, overwritten);
        mZeq.FieldReadEnd();
        return ok;
    }

    void SetUp() override {
        mContent.resize(3 * 1024 * 1024 + 17);
        for (std::size_t i = 0; i < mContent.size(); ++i) mContent[i] = static_cast<char>((i * 131) >> 3);
        std::filesystem::create_directories(mDir.Path() / "src");
        zeqtest::WriteBytes(mSource, mContent);
    }

    zeqtest::ScratchDir mDir;
    std::string mScene = mDir / "scene.zeq";
    std::string mSource = mDir / "src/wood.tif";
    std::string mContent;
    KZeq mZeq;
};

TEST_P(KZeqEmbedded, ExtractsIntoTheMediaDirectory) {
    WriteScene({"textures/wood.tif"});
    ASSERT_TRUE(mZeq.ProjectOpen(mScene.c_str(), false, true));
    KString fileName("elsewhere/wood.tif");
    KString relativeName("textures/wood.tif");
    bool overwritten = true;
    ASSERT_TRUE(Extract(fileName, relativeName, "", &overwritten)) << mZeq.GetLastErrorString();
    const std::string expected = mDir / "scene.zqm/textures/wood.tif";
    EXPECT_EQ(std::string(fileName.Buffer()), expected);
    EXPECT_EQ(std::string(relativeName.Buffer()), "textures/wood.tif");
    EXPECT_EQ(std::string(mZeq.GetRelativeFilePath(fileName.Buffer()).Buffer()), "scene.zqm/textures/wood.tif");
    EXPECT_FALSE(overwritten);
    EXPECT_EQ(zeqtest::ReadBytes(expected), mContent);
    EXPECT_EQ(mZeq.FieldReadI("After", 0), 5);
    // Extracting again replaces the copy.
    mZeq.FieldReadResetPosition();
    ASSERT_TRUE(Extract(fileName, relativeName, "", &overwritten));
    EXPECT_TRUE(overwritten);
    if (Encrypted()) {
        EXPECT_EQ(zeqtest::ReadBytes(mScene).find(mContent.substr(1000, 64)), std::string::npos);
    }
}

TEST_P(KZeqEmbedded, NamesThatLeaveTheDirectoryAreNotUsed) {
    WriteScene({"a", "b", "c"});
    ASSERT_TRUE(mZeq.ProjectOpen(mScene.c_str(), false, true));
    // ".." in the relative name: the file part of the file name is used instead.
    KString fileName("/some/where/../wood.tif");
    KString relativeName("../../etc/wood.tif");
    ASSERT_TRUE(Extract(fileName, relativeName));
    EXPECT_EQ(std::string(fileName.Buffer()), mDir / "scene.zqm/wood.tif");
    // An absolute relative name, and a file name that is only "..": the stored name.
    fileName = "..";
    relativeName = "/tmp/evil.tif";
    ASSERT_TRUE(Extract(fileName, relativeName));
    EXPECT_EQ(std::string(fileName.Buffer()), mDir / "scene.zqm/b");
    // Into a directory of the caller's choice.
    fileName = "";
    relativeName = "";
    const std::string target = mDir / "chosen";
    ASSERT_TRUE(Extract(fileName, relativeName, target.c_str()));
    EXPECT_EQ(std::string(fileName.Buffer()), target + "/c");
    EXPECT_EQ(zeqtest::ReadBytes(target + "/c"), mContent);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(mDir.Path())) {
        const std::string path = entry.path().string();
        EXPECT_EQ(path.find(".part"), std::string::npos) << path;
    }
}

TEST_P(KZeqEmbedded, DamagedContentLeavesNoFile) {
    WriteScene({"wood.tif"});
    std::string bytes = zeqtest::ReadBytes(mScene);
    // The content lies right after the header record, before the section.
    const std::size_t at = bytes.size() / 2;
    bytes[at] = static_cast<char>(bytes[at] ^ 1);
    zeqtest::WriteBytes(mScene, bytes);
    ASSERT_TRUE(mZeq.ProjectOpen(mScene.c_str(), false, true));
    KString fileName("wood.tif");
    KString relativeName("wood.tif");
    EXPECT_FALSE(Extract(fileName, relativeName));
    EXPECT_EQ(mZeq.GetLastErrorID(), KZeq::eFileCorrupted);
    EXPECT_EQ(std::string(fileName.Buffer()), "wood.tif");
    EXPECT_FALSE(std::filesystem::exists(mDir.Path() / "scene.zqm" / "wood.tif"));
}

TEST_P(KZeqEmbedded, MissingSourceIsNotAFileError) {
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(mScene.c_str(), true, Encrypted()));
    z.FieldWriteBegin("Content");
    EXPECT_FALSE(z.FieldWriteEmbeddedFile(KString((mDir / "missing.tif").c_str()), KString("missing.tif")));
    EXPECT_EQ(z.GetLastErrorID(), -1);
    z.FieldWriteEnd();
    EXPECT_TRUE(z.ProjectClose());
}

INSTANTIATE_TEST_SUITE_P(Binary, KZeqEmbedded, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Encrypted" : "Plain"; });

}  // namespace
