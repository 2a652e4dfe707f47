#include "fileio/kregistry.h"

#include <string>

#include <gtest/gtest.h>

#include "base/klib.h"
#include "fileio/tests/files_test_support.h"

using namespace zeqsdk_400;
using zeqfilestest::ReadFile;
using zeqfilestest::TempDir;
using zeqfilestest::WriteFile;

namespace {

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { KLib_SetConfigDirectory(mDir.Path().c_str()); }
    void TearDown() override {
        mRegistry.Close();
        KLib_SetConfigDirectory("");
    }

    TempDir mDir;
    KRegistry mRegistry;
};

TEST_F(RegistryTest, UnconnectedReadsDefaultsAndRefusesWrites) {
    EXPECT_EQ(7, mRegistry.ReadInt("UserParams", "k", 7));
    EXPECT_FLOAT_EQ(1.5f, mRegistry.ReadFloat("UserParams", "k", 1.5f));
    KString text;
    EXPECT_STREQ("dflt", mRegistry.ReadString("UserParams", "k", "dflt", text).Buffer());
    EXPECT_FALSE(mRegistry.WriteInt("UserParams", "k", 1));
}

TEST_F(RegistryTest, RoundTripInTheConnectedSection) {
    ASSERT_TRUE(mRegistry.Connect("zeqplugins6.0registry.txt", "Tulo60"));
    // The section argument is ignored in favour of the connected one.
    EXPECT_TRUE(mRegistry.WriteInt("UserParams", "ImportMerge", 1));
    EXPECT_TRUE(mRegistry.WriteFloat("UserParams", "ImportScale", 2.5f));
    EXPECT_TRUE(mRegistry.WriteString("UserParams", "ImportMode", "kMerge"));
    EXPECT_TRUE(mRegistry.WriteInt("Other", "ImportMerge", -3));
    EXPECT_EQ("[Tulo60]\nImportMerge = -3\nImportScale = 2.500000\nImportMode = kMerge\n",
              ReadFile(mDir / "zeqplugins6.0registry.txt"));

    EXPECT_EQ(-3, mRegistry.ReadInt("Anything", "importmerge", 0));
    EXPECT_FLOAT_EQ(2.5f, mRegistry.ReadFloat("Anything", "ImportScale", 0.0f));
    KString text;
    EXPECT_STREQ("kMerge", mRegistry.ReadString("Anything", "ImportMode", "x", text).Buffer());
    EXPECT_STREQ("x", mRegistry.ReadString("Anything", "Missing", "x", text).Buffer());
}

TEST_F(RegistryTest, UnscannableValuesGiveTheDefault) {
    WriteFile(mDir / "reg.txt", "[Tulo60]\nNumber = abc\nPartial = 12abc\nEmpty =\n");
    ASSERT_TRUE(mRegistry.Connect("reg.txt", "Tulo60"));
    EXPECT_EQ(5, mRegistry.ReadInt("", "Number", 5));
    EXPECT_EQ(12, mRegistry.ReadInt("", "Partial", 5));
    EXPECT_EQ(5, mRegistry.ReadInt("", "Empty", 5));
    EXPECT_FLOAT_EQ(0.25f, mRegistry.ReadFloat("", "Number", 0.25f));
}

TEST_F(RegistryTest, CloseAndReconnect) {
    ASSERT_TRUE(mRegistry.Connect("a.txt", "One"));
    ASSERT_TRUE(mRegistry.WriteInt("", "k", 1));
    ASSERT_TRUE(mRegistry.Connect("a.txt", "Two"));
    EXPECT_EQ(0, mRegistry.ReadInt("", "k", 0));
    ASSERT_TRUE(mRegistry.WriteInt("", "k", 2));
    EXPECT_TRUE(mRegistry.Close());
    EXPECT_FALSE(mRegistry.IsConnected());
    EXPECT_EQ(9, mRegistry.ReadInt("", "k", 9));
    EXPECT_EQ("[One]\nk = 1\n[Two]\nk = 2\n", ReadFile(mDir / "a.txt"));
}

}  // namespace
