#include <string>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/tests/kzeq_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Encoding;

namespace {

const char* const kSecret = "Pass word 42";
const char* const kContent = "The quick brown fox";

class KZeqPassword : public testing::TestWithParam<Encoding> {
protected:
    // The password is given after some fields: it covers the whole section all the same.
    void WriteProtected(const char* password) {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), GetParam().mBinary, GetParam().mEncrypted));
        z.FieldWriteBegin("Model");
        z.FieldWriteC(kContent);
        z.FieldWriteEnd();
        EXPECT_TRUE(z.ProjectSetPassword(password));
        EXPECT_EQ(z.IsPasswordProtected(), password && *password);
        z.FieldWriteBegin("Takes");
        z.FieldWriteI(3);
        z.FieldWriteEnd();
        ASSERT_TRUE(z.ProjectCloseSection());
        EXPECT_FALSE(z.ProjectSetPassword("too late"));
        ASSERT_TRUE(z.ProjectCreateExtensionSection());
        z.FieldWriteBegin("Summary");
        z.FieldWriteI(1);
        ASSERT_TRUE(z.ProjectClose());
    }

    zeqtest::ScratchDir mDir;
    std::string mPath = mDir / "protected.zeq";
};

TEST_P(KZeqPassword, RightPasswordOpensTheSection) {
    WriteProtected(kSecret);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str()));
    ASSERT_TRUE(z.ProjectOpenMainSection());
    EXPECT_TRUE(z.IsPasswordProtected());
    EXPECT_TRUE(z.CheckPassword(kSecret));
    EXPECT_FALSE(z.IsPasswordProtected());
    EXPECT_EQ(std::string(z.FieldReadC("Model", "").Buffer()), kContent);
    EXPECT_EQ(z.FieldReadI("Takes", 0), 3);
    // Reopening the section uses the password already given.
    ASSERT_TRUE(z.ProjectCloseSection());
    ASSERT_TRUE(z.ProjectOpenMainSection());
    EXPECT_FALSE(z.IsPasswordProtected());
    EXPECT_EQ(z.FieldReadI("Takes", 0), 3);
    EXPECT_EQ(z.GetLastErrorID(), -1);
}

TEST_P(KZeqPassword, WrongPasswordReadsNothingOfAnEncryptedSection) {
    WriteProtected(kSecret);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
    EXPECT_FALSE(z.CheckPassword("pass word 42"));
    EXPECT_FALSE(z.CheckPassword(""));
    EXPECT_TRUE(z.IsPasswordProtected());
    EXPECT_EQ(z.GetLastErrorID(), -1);
    // Plain files only check the password; their content is readable anyway.
    EXPECT_EQ(z.FieldReadBegin("Model"), !GetParam().mEncrypted);
    // The extension section carries no password.
    ASSERT_TRUE(z.ProjectOpenExtensionSection(0));
    EXPECT_FALSE(z.IsPasswordProtected());
    EXPECT_TRUE(z.CheckPassword("anything"));
    EXPECT_EQ(z.FieldReadI("Summary", 0), 1);
}

TEST_P(KZeqPassword, PasswordGivenBeforeTheSectionOpens) {
    WriteProtected(kSecret);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str()));
    EXPECT_TRUE(z.CheckPassword(kSecret));
    ASSERT_TRUE(z.ProjectOpenMainSection());
    EXPECT_FALSE(z.IsPasswordProtected());
    EXPECT_EQ(z.FieldReadI("Takes", 0), 3);
}

TEST_P(KZeqPassword, NoPasswordAcceptsAnyPassword) {
    WriteProtected("");
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
    EXPECT_FALSE(z.IsPasswordProtected());
    EXPECT_TRUE(z.CheckPassword(""));
    EXPECT_TRUE(z.CheckPassword("whatever"));
    EXPECT_EQ(z.FieldReadI("Takes", 0), 3);
}

TEST_P(KZeqPassword, FileHoldsNoPasswordTextAndEncryptedNoContentText) {
    WriteProtected(kSecret);
    const std::string bytes = zeqtest::ReadBytes(mPath);
    EXPECT_EQ(bytes.find(kSecret), std::string::npos);
    EXPECT_EQ(bytes.find(kContent) == std::string::npos, GetParam().mEncrypted);
    EXPECT_EQ(bytes.find("Takes") == std::string::npos, GetParam().mEncrypted);
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqPassword, testing::ValuesIn(zeqtest::kEncodings),
                         [](const testing::TestParamInfo<Encoding>& info) { return zeqtest::EncodingName(info.param); });

TEST(KZeqPasswordFile, EncryptedWithoutPasswordUsesTheBuiltInKey) {
    zeqtest::ScratchDir dir;
    const std::string path = dir / "obfuscated.zeq";
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(path.c_str(), true, true));
        z.FieldWriteBegin("Model");
        z.FieldWriteC(kContent);
        ASSERT_TRUE(z.ProjectClose());
    }
    EXPECT_EQ(zeqtest::ReadBytes(path).find(kContent), std::string::npos);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str(), false, true));
    EXPECT_TRUE(z.IsEncrypted());
    EXPECT_FALSE(z.IsPasswordProtected());
    EXPECT_EQ(std::string(z.FieldReadC("Model", "").Buffer()), kContent);
}

}  // namespace
