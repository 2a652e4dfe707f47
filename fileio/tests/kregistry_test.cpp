#include "fileio/kregistry.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "base/klib.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqtest::ReadFile;

namespace {

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { KLib_SetConfigDirectory(mDir.Path().c_str()); }
    void TearDown() override {
        mRegistry.Close();
        KLib_SetConfigDirectory("");
    }

    // Writes of every kind answer the same; false when nothing was stored.
    bool WriteAll(const char* key) {
        const bool a = mRegistry.WriteInt("", key, 1), b = mRegistry.WriteFloat("", key, 1.5f),
                   c = mRegistry.WriteString("", key, "x");
        EXPECT_TRUE(a == b && b == c);
        return a && b && c;
    }

    zeqtest::TempDir mDir;
    KRegistry mRegistry;
};

TEST_F(RegistryTest, RoundTripInTheConnectedSection) {
    ASSERT_TRUE(mRegistry.Connect("zeqplugins6.0registry.txt", "Tulo60"));
    // The section argument is ignored in favour of the connected one.
    EXPECT_TRUE(mRegistry.WriteInt("UserParams", "ImportMerge", 1) &&
                mRegistry.WriteFloat("UserParams", "ImportScale", 2.5f) &&
                mRegistry.WriteString("UserParams", "ImportMode", "kMerge") &&
                mRegistry.WriteInt("Other", "ImportMerge", -3));
    EXPECT_EQ("[Tulo60]\nImportMerge = -3\nImportScale = 2.500000\nImportMode = kMerge\n",
              ReadFile(mDir / "zeqplugins6.0registry.txt"));
    EXPECT_TRUE(mRegistry.ReadInt("Anything", "importmerge", 0) == -3 &&
                mRegistry.ReadFloat("Anything", "ImportScale", 0.0f) == 2.5f);
    KString text;
    EXPECT_STREQ("kMerge", mRegistry.ReadString("Anything", "ImportMode", "x", text).Buffer());
    EXPECT_STREQ("x", mRegistry.ReadString("Anything", "Missing", "x", text).Buffer());
    // Closed: defaults only.
    EXPECT_TRUE(mRegistry.Close() && mRegistry.ReadInt("", "ImportMerge", 9) == 9);
    EXPECT_STREQ("dflt", mRegistry.ReadString("", "ImportMode", "dflt", text).Buffer());
    // Values that do not scan give the default.
    zeqtest::WriteFile(mDir / "reg.txt", "[Tulo60]\nNumber = abc\nPartial = 12abc\nEmpty =\n");
    ASSERT_TRUE(mRegistry.Connect("reg.txt", "Tulo60"));
    EXPECT_TRUE(mRegistry.ReadInt("", "Number", 5) == 5 && mRegistry.ReadInt("", "Partial", 5) == 12 &&
                mRegistry.ReadInt("", "Empty", 5) == 5);
    EXPECT_FLOAT_EQ(0.25f, mRegistry.ReadFloat("", "Number", 0.25f));
}

// Writes answer false when nothing is connected or the file cannot be written.
TEST_F(RegistryTest, FailedWritesAnswerFalse) {
    EXPECT_FALSE(WriteAll("k"));
    std::filesystem::create_directory(mDir / "blocked.txt");
    EXPECT_TRUE(mRegistry.Connect("blocked.txt", "Tulo60") && !WriteAll("k"));
    EXPECT_TRUE(mRegistry.Connect("reg.txt", "Tulo60") && WriteAll("k"));
}

// An update stores its writes in one rewrite: the same file as writing them one by one, a
// refused value left out; Close drops an update.
TEST_F(RegistryTest, UpdateWritesOnceWithTheSameContent) {
    auto writeAll = [&] {
        mRegistry.WriteInt("", "A", 1);
        mRegistry.WriteString("", "B", "x;y");  // refused: a comment would cut it
        mRegistry.WriteFloat("", "C", 0.5f);
        mRegistry.WriteInt("", "a", 2);  // keys ignore case: replaces A
    };
    zeqtest::WriteFile(mDir / "one.txt", "; kept\n[Other]\nA = 9\n");
    zeqtest::WriteFile(mDir / "many.txt", "; kept\n[Other]\nA = 9\n");
    ASSERT_TRUE(mRegistry.Connect("one.txt", "Tulo60"));
    writeAll();
    ASSERT_TRUE(mRegistry.Connect("many.txt", "Tulo60"));
    mRegistry.BeginUpdate();
    writeAll();
    EXPECT_EQ("; kept\n[Other]\nA = 9\n", ReadFile(mDir / "many.txt"));  // nothing yet
    EXPECT_FALSE(mRegistry.EndUpdate());  // one value was refused
    EXPECT_EQ(ReadFile(mDir / "one.txt"), ReadFile(mDir / "many.txt"));
    EXPECT_EQ("; kept\n[Other]\nA = 9\n[Tulo60]\na = 2\nC = 0.500000\n", ReadFile(mDir / "many.txt"));
    mRegistry.BeginUpdate();
    mRegistry.WriteInt("", "D", 4);
    mRegistry.Close();
    EXPECT_EQ(ReadFile(mDir / "many.txt").find("D = "), std::string::npos);
    EXPECT_FALSE(mRegistry.EndUpdate());
}

}  // namespace
