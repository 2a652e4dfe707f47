#include "fileio/ktextfile.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/files_test_support.h"

using namespace zeqsdk_400;
using zeqfilestest::ReadFile;
using zeqfilestest::TempDir;
using zeqfilestest::WriteFile;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

std::string DataPath(const char* name) { return std::string(ZEQ_FILEIO_FILES_TEST_DATA) + "/" + name; }

// Delimiters and comment character of a keyword-driven skeleton format.
class TextFileTest : public testing::Test {
protected:
    // Opens a file holding content; the tokenizer settings are those of the test.
    void Load(const std::string& content) {
        WriteFile(mPath, content);
        ASSERT_FALSE(mFile.Open(mPath.c_str(), "r"));
    }

    TempDir mDir;
    std::string mPath = mDir / "input.txt";
    KTextFile mFile{"ASF", " \t,()\r\n", "#", true, true};
};

TEST_F(TextFileTest, OpenAnswersFalseOnSuccess) {
    EXPECT_TRUE(mFile.IsEndOfFile());
    EXPECT_TRUE(mFile.Open((mDir / "missing.txt").c_str(), "r"));
    EXPECT_TRUE(mFile.IsEndOfFile());
    EXPECT_TRUE(mFile.Open(mDir.Path().c_str(), "r"));
    EXPECT_TRUE(mFile.Open(nullptr, "r"));
    Load("  first line\nsecond\n");
    EXPECT_FALSE(mFile.IsEndOfFile());
    EXPECT_EQ(1, mFile.GetLineNumber());
    EXPECT_STREQ("first line", mFile.GetCursor());
}

TEST_F(TextFileTest, EndFlagAfterTheLastLine) {
    Load("only\n");
    EXPECT_FALSE(mFile.NextLine());
    EXPECT_TRUE(mFile.IsEndOfFile());
    EXPECT_STREQ("", mFile.GetCursor());
    EXPECT_FALSE(mFile.NextLine());
    // Rewinding starts over.
    EXPECT_TRUE(mFile.FirstLine());
    EXPECT_FALSE(mFile.IsEndOfFile());
    EXPECT_STREQ("only", mFile.GetCursor());
    mFile.Close();
    EXPECT_TRUE(mFile.IsEndOfFile());
    EXPECT_FALSE(mFile.NextLine());
    EXPECT_FALSE(mFile.FirstLine());
}

TEST_F(TextFileTest, EmptyFileOpensAtTheEnd) {
    Load("");
    EXPECT_TRUE(mFile.IsOpen());
    EXPECT_TRUE(mFile.IsEndOfFile());
    char c;
    EXPECT_FALSE(mFile.PeakChar(c));
}

class LineEndTest : public testing::TestWithParam<const char*> {};

TEST_P(LineEndTest, EveryLineEndSeparatesLines) {
    const std::string eol = GetParam();
    TempDir dir;
    const std::string path = dir / "ends.txt";
    WriteFile(path, "alpha 1" + eol + eol + " \t " + eol + "  beta 2" + eol + "# note" + eol + "gamma");
    KTextFile file("T", " \t\r\n", "#", false, false);
    ASSERT_FALSE(file.Open(path.c_str(), "rb"));
    EXPECT_STREQ("alpha 1", file.GetCursor());
    EXPECT_EQ(1, file.GetLineNumber());
    ASSERT_TRUE(file.NextLine());
    EXPECT_STREQ("beta 2", file.GetCursor());
    EXPECT_EQ(4, file.GetLineNumber());
    ASSERT_TRUE(file.NextLine());
    EXPECT_STREQ("gamma", file.GetCursor());
    EXPECT_EQ(6, file.GetLineNumber());
    EXPECT_FALSE(file.NextLine());
}

INSTANTIATE_TEST_SUITE_P(Ends, LineEndTest, testing::Values("\n", "\r", "\r\n"));

TEST_F(TextFileTest, LinesLongerThanTheInitialBuffer) {
    std::string line;
    const int count = 6000;  // about 29000 bytes
    for (int i = 0; i < count; ++i) line += std::to_string(i % 1000) + ".5 ";
    ASSERT_GT(line.size(), KTextFile::kInitialLineSize * 2);
    Load("header\r\n" + line + "\r\nlast\r\n");
    ASSERT_TRUE(mFile.NextLine());
    double sum = 0.0;
    int read = 0;
    double value = 0.0;
    while (mFile.GetDouble(value, 1.0)) {
        sum += value;
        ++read;
    }
    EXPECT_EQ(count, read);
    double expected = 0.0;
    for (int i = 0; i < count; ++i) expected += (i % 1000) + 0.5;
    EXPECT_DOUBLE_EQ(expected, sum);
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_STREQ("last", mFile.GetCursor());
}

TEST_F(TextFileTest, OverlongLineFailsWithoutTheEndFlag) {
    Load("ok\n" + std::string(KTextFile::kMaxLineLength + 1, 'x') + "\nafter\n");
    EXPECT_FALSE(mFile.NextLine());
    EXPECT_FALSE(mFile.IsEndOfFile());
    EXPECT_STREQ("", mFile.GetCursor());
    EXPECT_FALSE(mFile.NextLine());
}

TEST_F(TextFileTest, ZeroByteEndsTheLine) {
    Load(std::string("ab\0cd ef\nnext\n", 14));
    EXPECT_STREQ("ab", mFile.GetCursor());
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_STREQ("next", mFile.GetCursor());
}

TEST_F(TextFileTest, CommentsAreSkippedByNextLine) {
    Load("# first comment\n  # indented\nvalue # not a comment start\n#\n");
    // The first line is loaded as it is; only NextLine skips comments.
    EXPECT_STREQ("# first comment", mFile.GetCursor());
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_STREQ("value # not a comment start", mFile.GetCursor());
    EXPECT_EQ(3, mFile.GetLineNumber());
    EXPECT_FALSE(mFile.NextLine());
    EXPECT_TRUE(mFile.IsEndOfFile());
}

TEST_F(TextFileTest, KeywordsMatchAsCaseInsensitivePrefixes) {
    KToken table[] = {{"Frame Time:", 0}, {"Frames:", 0}, {"End Site", 0}, {"x", 0}, {"", 0}};
    Load("FRAMES: 12\nframe time:\t0.0333\nend sitefoo bar\nxposition\nnothing\n");
    EXPECT_EQ(1, mFile.Check(table));
    EXPECT_EQ(0, table[1].mCount);
    EXPECT_EQ(1, mFile.Handle(table));
    int frames = 0;
    EXPECT_TRUE(mFile.GetInteger(frames));
    EXPECT_EQ(12, frames);

    ASSERT_TRUE(mFile.NextLine());
    EXPECT_EQ(0, mFile.Handle(table));
    double time = 0.0;
    EXPECT_TRUE(mFile.GetDouble(time, 1.0));
    EXPECT_DOUBLE_EQ(0.0333, time);

    ASSERT_TRUE(mFile.NextLine());
    EXPECT_EQ(2, mFile.Handle(table));
    EXPECT_STREQ("foo bar", mFile.GetCursor());

    ASSERT_TRUE(mFile.NextLine());
    EXPECT_EQ(3, mFile.Handle(table));
    EXPECT_STREQ("position", mFile.GetCursor());

    ASSERT_TRUE(mFile.NextLine());
    EXPECT_EQ(-1, mFile.Handle(table));
    EXPECT_STREQ("nothing", mFile.GetCursor());

    EXPECT_EQ(1, table[0].mCount);
    EXPECT_EQ(1, table[1].mCount);
    mFile.InitTokens(table);
    for (const KToken& token : table) EXPECT_EQ(0, token.mCount);

    KToken empty[] = {{"", 0}};
    EXPECT_EQ(-1, mFile.Handle(empty));
    EXPECT_EQ(-1, mFile.Handle(nullptr));
}

TEST_F(TextFileTest, EarlierEntriesWinOverLongerOnes) {
    KToken table[] = {{":", 0}, {":version", 0}, {nullptr, 0}};
    Load(":version 1.10\n");
    EXPECT_EQ(0, mFile.Handle(table));
    EXPECT_STREQ("version 1.10", mFile.GetCursor());
}

TEST_F(TextFileTest, StringsEndAtDelimitersAndAtMax) {
    Load("abcdef,ghi  (j)\n");
    char buffer[8];
    EXPECT_TRUE(mFile.GetString(buffer, 3));
    EXPECT_STREQ("abc", buffer);
    EXPECT_TRUE(mFile.GetString(buffer, 7));
    EXPECT_STREQ("def", buffer);
    EXPECT_TRUE(mFile.GetString(buffer, 7));
    EXPECT_STREQ("ghi", buffer);
    KString text("untouched");
    EXPECT_TRUE(mFile.GetString(text));
    EXPECT_STREQ("j", text.Buffer());
    EXPECT_FALSE(mFile.GetString(buffer, 7));
    EXPECT_STREQ("", buffer);
    EXPECT_FALSE(mFile.GetString(text));
    EXPECT_STREQ("j", text.Buffer());
}

TEST_F(TextFileTest, KStringWordsAreCutAt1023Characters) {
    Load(std::string(2000, 'w') + " tail\n");
    KString word;
    ASSERT_TRUE(mFile.GetString(word));
    EXPECT_EQ(1023u, word.GetLen());
}

TEST_F(TextFileTest, Integers) {
    Load("42abc -7 99999999999 x\n");
    int value = 0;
    EXPECT_TRUE(mFile.GetInteger(value));
    EXPECT_EQ(42, value);
    char buffer[8];
    EXPECT_TRUE(mFile.GetString(buffer, 7));
    EXPECT_STREQ("abc", buffer);
    EXPECT_TRUE(mFile.GetInteger(value));
    EXPECT_EQ(-7, value);
    EXPECT_TRUE(mFile.GetInteger(value));
    EXPECT_EQ(2147483647, value);
    value = 5;
    EXPECT_FALSE(mFile.GetInteger(value));
    EXPECT_EQ(5, value);
    EXPECT_STREQ("x", mFile.GetCursor());
}

TEST_F(TextFileTest, DoublesWithAScale) {
    Load("1.5 -2e1,0.25 word\n");
    double value = 0.0;
    EXPECT_TRUE(mFile.GetDouble(value, 2.54));
    EXPECT_DOUBLE_EQ(3.81, value);
    EXPECT_TRUE(mFile.GetDouble(value, 0.1));
    EXPECT_DOUBLE_EQ(-2.0, value);
    EXPECT_TRUE(mFile.GetDouble(value, 1.0));
    EXPECT_DOUBLE_EQ(0.25, value);
    EXPECT_FALSE(mFile.GetDouble(value, 1.0));
    EXPECT_DOUBLE_EQ(0.25, value);
    EXPECT_STREQ("word", mFile.GetCursor());
}

TEST_F(TextFileTest, InfinityAsTheRestOfTheLine) {
    Load("inf\n-inf \t\n1 inf\n");
    double value = 0.0;
    EXPECT_TRUE(mFile.GetDouble(value, 2.0));
    EXPECT_EQ(kInf, value);
    EXPECT_FALSE(mFile.GetDouble(value, 1.0));
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_TRUE(mFile.GetDouble(value, 1.0));
    EXPECT_EQ(-kInf, value);
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_TRUE(mFile.GetDouble(value, 1.0));
    EXPECT_EQ(1.0, value);
    EXPECT_TRUE(mFile.GetDouble(value, -1.0));
    EXPECT_EQ(-kInf, value);
}

TEST_F(TextFileTest, PairsAcceptInfinityInAnyCase) {
    Load("limits (-INF, Inf)\n(1.5, 2)\n(1.5)\n");
    KToken limits[] = {{"limits", 0}, {"", 0}};
    ASSERT_EQ(0, mFile.Handle(limits));
    double pair[2] = {0.0, 0.0};
    EXPECT_TRUE(mFile.GetPair(pair, 1.0));
    EXPECT_EQ(-kInf, pair[0]);
    EXPECT_EQ(kInf, pair[1]);
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_TRUE(mFile.GetPair(pair, 2.0));
    EXPECT_DOUBLE_EQ(3.0, pair[0]);
    EXPECT_DOUBLE_EQ(4.0, pair[1]);
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_FALSE(mFile.GetPair(pair, 1.0));
    EXPECT_DOUBLE_EQ(3.0, pair[0]);
    EXPECT_DOUBLE_EQ(4.0, pair[1]);
    // Nothing was consumed by the failed pair.
    double single = 0.0;
    EXPECT_TRUE(mFile.GetDouble(single, 1.0));
    EXPECT_DOUBLE_EQ(1.5, single);
}

TEST_F(TextFileTest, VectorsNeedThreeWhiteSpaceSeparatedNumbers) {
    Load("1 2\t3 rest\n4 5 x\n6,7,8\n");
    double v[3] = {0.0, 0.0, 0.0};
    EXPECT_TRUE(mFile.GetVector(v, 10.0));
    EXPECT_DOUBLE_EQ(10.0, v[0]);
    EXPECT_DOUBLE_EQ(20.0, v[1]);
    EXPECT_DOUBLE_EQ(30.0, v[2]);
    EXPECT_STREQ("rest", mFile.GetCursor());
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_FALSE(mFile.GetVector(v, 1.0));
    EXPECT_DOUBLE_EQ(10.0, v[0]);
    EXPECT_STREQ("4 5 x", mFile.GetCursor());
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_FALSE(mFile.GetVector(v, 1.0));
}

TEST(TextFileDelimiters, CharactersWithDelimitersSwitchedOff) {
    TempDir dir;
    const std::string path = dir / "rows.txt";
    WriteFile(path, "1\t0.5\t\t2.0\n");
    KTextFile file("TRC", "\t\r\n", "", true, false);
    ASSERT_FALSE(file.Open(path.c_str(), "r"));
    const KString previous = file.SetDel("");
    EXPECT_STREQ("\t\r\n", previous.Buffer());
    int frame = 0;
    char c = 0;
    double value = 0.0;
    EXPECT_TRUE(file.GetInteger(frame));
    EXPECT_EQ(1, frame);
    EXPECT_TRUE(file.GetChar(c));
    EXPECT_EQ('\t', c);
    EXPECT_TRUE(file.GetDouble(value, 1.0));
    EXPECT_TRUE(file.GetChar(c));
    EXPECT_TRUE(file.PeakChar(c));
    EXPECT_EQ('\t', c);
    EXPECT_TRUE(file.GetChar(c));
    EXPECT_TRUE(file.GetDouble(value, 1.0));
    EXPECT_DOUBLE_EQ(2.0, value);
    EXPECT_FALSE(file.PeakChar(c));
    EXPECT_FALSE(file.GetChar(c));
    file.SetDel(previous);
    EXPECT_STREQ("\t\r\n", file.GetDel());
}

TEST_F(TextFileTest, MessagesCarryTypeAndLine) {
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
    mFile.SetErrorCallback([&](const char* text) { errors.push_back(text); });
    mFile.SetWarningCallback([&](const char* text) { warnings.push_back(text); });
    Load("one\ntwo\n");
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_TRUE(mFile.Error("Unknown parent bone name (%s)\n", "hip"));
    EXPECT_FALSE(mFile.Warning("Bad value %d\n", 7));
    ASSERT_EQ(1u, errors.size());
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("ASF read error (line 2): Unknown parent bone name (hip)\n", errors[0]);
    EXPECT_EQ("ASF read warning (line 2): Bad value 7\n", warnings[0]);

    // A long message is not cut.
    const std::string longText(5000, 'm');
    mFile.Error("%s", longText.c_str());
    EXPECT_EQ("ASF read error (line 2): " + longText, errors.back());

    mFile.SetWarningCallback(nullptr);
    EXPECT_FALSE(mFile.Warning("no callback"));
    mFile.SetMessages(false);
    EXPECT_TRUE(mFile.Error("silent"));
    EXPECT_FALSE(mFile.Warning("silent"));
    EXPECT_EQ(2u, errors.size());
    EXPECT_EQ(1u, warnings.size());
}

TEST_F(TextFileTest, PrintIndentsTwoBlanksPerLevel) {
    const std::string out = mDir / "out.txt";
    EXPECT_FALSE(mFile.Print(0, "nothing open\n"));
    ASSERT_FALSE(mFile.Open(out.c_str(), "w"));
    EXPECT_TRUE(mFile.Print(0, ":%s\n", "bonedata"));
    EXPECT_TRUE(mFile.Print(2, "%s %d\n", "id", 3));
    EXPECT_TRUE(mFile.Print(-1, "end\n"));
    mFile.Close();
    EXPECT_EQ(":bonedata\n    id 3\nend\n", ReadFile(out));
}

TEST(TextFileFixture, ReadsAKeywordDrivenSample) {
    KTextFile file("ASF", " \t,()\r\n", "#", true, false);
    ASSERT_FALSE(file.Open(DataPath("textfile_sample.txt").c_str(), "r"));
    KToken main[] = {{":version", 0}, {":units", 0}, {":bonedata", 0}, {":", 0}, {"", 0}};
    KToken units[] = {{"mass", 0}, {"length", 0}, {"angle", 0}, {"", 0}};
    KToken bone[] = {{"begin", 0}, {"end", 0}, {"name", 0}, {"direction", 0}, {"length", 0},
                     {"dof", 0},   {"limits", 0}, {"", 0}};

    // The leading comment is the first line; the readers skip past it.
    EXPECT_EQ(-1, file.Handle(main));
    ASSERT_TRUE(file.NextLine());
    ASSERT_EQ(0, file.Handle(main));
    double version = 0.0;
    ASSERT_TRUE(file.GetDouble(version, 1.0));
    EXPECT_DOUBLE_EQ(1.10, version);

    ASSERT_TRUE(file.NextLine());
    ASSERT_EQ(1, file.Handle(main));
    double length = 0.0;
    while (file.NextLine() && file.Check(main) < 0) {
        if (file.Handle(units) == 1) {
            ASSERT_TRUE(file.GetDouble(length, 1.0));
        }
    }
    EXPECT_DOUBLE_EQ(0.45, length);
    EXPECT_EQ(1, units[2].mCount);
    EXPECT_EQ(9, file.GetLineNumber());

    ASSERT_EQ(2, file.Handle(main));
    std::vector<double> limits;
    KString name;
    double direction[3] = {0, 0, 0};
    int dofs = 0;
    while (file.NextLine()) {
        switch (file.Handle(bone)) {
            case 2:
                ASSERT_TRUE(file.GetString(name));
                break;
            case 3:
                ASSERT_TRUE(file.GetVector(direction, 1.0));
                break;
            case 5: {
                char word[8];
                while (file.GetString(word, 7)) ++dofs;
                break;
            }
            case 6:
                do {
                    double pair[2];
                    ASSERT_TRUE(file.GetPair(pair, 1.0));
                    limits.push_back(pair[0]);
                    limits.push_back(pair[1]);
                } while (static_cast<int>(limits.size()) < 2 * dofs && file.NextLine());
                break;
            default:
                break;
        }
    }
    EXPECT_TRUE(file.IsEndOfFile());
    EXPECT_STREQ("lhipjoint", name.Buffer());
    EXPECT_DOUBLE_EQ(-0.7, direction[1]);
    EXPECT_EQ(3, dofs);
    ASSERT_EQ(6u, limits.size());
    EXPECT_DOUBLE_EQ(-160.0, limits[0]);
    EXPECT_EQ(-kInf, limits[2]);
    EXPECT_EQ(kInf, limits[3]);
    EXPECT_DOUBLE_EQ(70.0, limits[5]);
    EXPECT_EQ(1, bone[0].mCount);
    EXPECT_EQ(1, bone[1].mCount);
}

}  // namespace
