#include "formats/geometry/dxf/kdxfpairs.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/scratch_root.h"

namespace zeqsdk_400 {
namespace {

// The pairs are read through a window of the file: positions noted anywhere
// come back, lines longer than the window and the window's edges read whole.
class DxfPairsTest : public testing::Test {
protected:
    void Open(const std::string& text, std::size_t skip = 0) {
        // In a folder of the process's own: tmpfile() would use /tmp, whatever TMPDIR says.
        mFile = std::fopen((zeqtest::ProcessScratchFolder("dxfpairs") / "pairs.dxf").c_str(), "w+b");
        ASSERT_TRUE(mFile);
        std::fwrite(text.data(), 1, text.size(), mFile);
        std::fseek(mFile, static_cast<long>(skip), SEEK_SET);
        ASSERT_TRUE(mPairs.Load(mFile));
    }
    void TearDown() override {
        if (mFile) std::fclose(mFile);
    }

    std::FILE* mFile = nullptr;
    KDxfPairs mPairs;
};

TEST_F(DxfPairsTest, ManyWindowsOfPairsComeBackWhereNoted) {
    std::string text;
    for (int i = 0; i < 40000; ++i) text += " 10\n" + std::to_string(i) + ".5\n";
    text += "  0\nEOF";  // the last line needs no ending
    ASSERT_GT(text.size(), 4 * KDxfPairs::kWindowSize);
    Open(text);
    EXPECT_EQ(text.size(), mPairs.Size());
    std::vector<std::size_t> noted;
    for (int i = 0; i < 40000; ++i) {
        if (i % 9999 == 0) noted.push_back(mPairs.Tell());
        ASSERT_TRUE(mPairs.Next()) << i;
        ASSERT_EQ(10, mPairs.Code());
        ASSERT_DOUBLE_EQ(i + 0.5, mPairs.Double()) << i;
    }
    ASSERT_TRUE(mPairs.Next());
    EXPECT_TRUE(mPairs.Is(0, "EOF"));
    EXPECT_FALSE(mPairs.Next());
    EXPECT_TRUE(mPairs.Is(0, "EOF")) << "a failed Next changed the pair";
    // Back to the start, then forward across windows again.
    for (std::size_t k = 0; k < noted.size(); ++k) {
        mPairs.Seek(noted[k]);
        ASSERT_TRUE(mPairs.Next());
        EXPECT_DOUBLE_EQ(9999.0 * static_cast<double>(k) + 0.5, mPairs.Double()) << k;
    }
    mPairs.Seek(text.size() + 100);
    EXPECT_FALSE(mPairs.Next());
}

TEST_F(DxfPairsTest, ALineLongerThanTheWindowReadsWhole) {
    const std::string word(3 * KDxfPairs::kWindowSize + 7, 'w');
    Open("  1\n" + word + " tail\n  0\nEOF\n");
    ASSERT_TRUE(mPairs.Next());
    EXPECT_EQ(word.size(), mPairs.Value().size());
    ASSERT_TRUE(mPairs.Next());
    EXPECT_TRUE(mPairs.Is(0, "EOF"));
}

TEST_F(DxfPairsTest, PositionsCountFromWhereTheFileStood) {
    const std::string head = "ignored header\n";
    Open(head + "  8\nLayer\n\n\n 62\n   5\n", head.size());
    EXPECT_EQ(0u, mPairs.Tell());
    ASSERT_TRUE(mPairs.Next());
    EXPECT_TRUE(mPairs.Is(8, "Layer"));
    // A blank code keeps the code, a blank value the value.
    ASSERT_TRUE(mPairs.Next());
    EXPECT_TRUE(mPairs.Is(8, "Layer"));
    ASSERT_TRUE(mPairs.Next());
    EXPECT_EQ(5, mPairs.Int());
    mPairs.Seek(0);
    ASSERT_TRUE(mPairs.Next());
    EXPECT_TRUE(mPairs.Is(8, "Layer"));
}

}  // namespace
}  // namespace zeqsdk_400
