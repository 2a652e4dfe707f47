#include "fileio/ktextfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kpipewatchdog.h"

using namespace zeqsdk_400;
using zeqtest::ReadFile;
using zeqtest::Str;
using zeqtest::TempDir;
using zeqtest::WriteFile;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

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

// Open answers false on success.
TEST_F(TextFileTest, OpenEndFlagAndRewind) {
    EXPECT_TRUE(mFile.IsEndOfFile() && mFile.Open((mDir / "missing.txt").c_str(), "r") && mFile.IsEndOfFile());
    EXPECT_TRUE(mFile.Open(mDir.Path().c_str(), "r") && mFile.Open(nullptr, "r"));
    Load("");
    char c;
    EXPECT_TRUE(mFile.IsOpen() && mFile.IsEndOfFile() && !mFile.PeakChar(c));
    Load("  only line\n");
    EXPECT_TRUE(!mFile.IsEndOfFile() && mFile.GetLineNumber() == 1);
    EXPECT_STREQ("only line", mFile.GetCursor());
    EXPECT_TRUE(!mFile.NextLine() && mFile.IsEndOfFile() && !*mFile.GetCursor() && !mFile.NextLine());
    EXPECT_TRUE(mFile.FirstLine() && !mFile.IsEndOfFile());
    EXPECT_STREQ("only line", mFile.GetCursor());
    mFile.Close();
    EXPECT_TRUE(mFile.IsEndOfFile() && !mFile.NextLine() && !mFile.FirstLine());
}

// Reading opens regular files only: a named pipe, or a link to one, fails at once
// instead of waiting for a writer; the byte streams under the field file alike.
TEST_F(TextFileTest, APipeIsRefusedAtOnce) {
    const std::string pipe = mDir / "motion.bvh", link = mDir / "link.bvh";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    ASSERT_EQ(0, ::symlink(pipe.c_str(), link.c_str()));
    for (const std::string& path : {pipe, link}) {
        KChainedStdioFile stream;
        EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] {
            EXPECT_TRUE(mFile.Open(path.c_str(), "r") && !mFile.IsOpen()) << path;
            EXPECT_FALSE(stream.Open(path.c_str(), "rb")) << path;
        })) << path;
    }
}

// Every line end separates lines; NextLine skips blank and comment lines (the first
// line is loaded as it is).
TEST_F(TextFileTest, LineEndsBlankLinesAndComments) {
    for (const std::string eol : {"\n", "\r", "\r\n"}) {
        Load("# first" + eol + "alpha 1" + eol + eol + " \t " + eol + "  # indented" + eol +
             "beta # not a comment" + eol + "#" + eol + "gamma" + eol + "#" + eol);
        const struct { const char* mText; int mLine; } lines[] = {
            {"# first", 1}, {"alpha 1", 2}, {"beta # not a comment", 6}, {"gamma", 8}};
        for (const auto& line : lines)
            EXPECT_TRUE(mFile.GetCursor() == std::string(line.mText) && mFile.GetLineNumber() == line.mLine &&
                        mFile.NextLine() == (line.mLine != 8)) << line.mText << ", line end of " << eol.size();
        EXPECT_TRUE(mFile.IsEndOfFile());
    }
}

// Lines grow past the initial buffer up to the cap; a longer line is an error,
// not an allocation of any size, and not the end of the file.
TEST_F(TextFileTest, LongLinesZeroBytesAndTheLineCap) {
    std::string line;
    const int count = 6000;  // about 29000 bytes
    for (int i = 0; i < count; ++i) line += std::to_string(i % 1000) + ".5 ";
    ASSERT_GT(line.size(), KTextFile::kInitialLineSize * 2);
    Load("header\r\n" + line + "\r\n" + std::string("ab\0cd ef\n", 9) +
         std::string(KTextFile::kMaxLineLength + 1, 'x') + "\nafter\n");
    ASSERT_TRUE(mFile.NextLine());
    double sum = 0.0, value = 0.0, expected = 0.0;
    int read = 0;
    for (; mFile.GetDouble(value, 1.0); ++read) sum += value;
    for (int i = 0; i < count; ++i) expected += (i % 1000) + 0.5;
    EXPECT_TRUE(read == count && sum == expected) << read << " " << sum;
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_STREQ("ab", mFile.GetCursor());  // a zero byte ends the line
    EXPECT_TRUE(!mFile.NextLine() && !mFile.IsEndOfFile() && !*mFile.GetCursor() && !mFile.NextLine());
}

// Earlier entries win over longer ones; a null or empty name ends the table.
TEST_F(TextFileTest, KeywordsMatchAsCaseInsensitivePrefixes) {
    KToken table[] = {{"Frame Time:", 0}, {"Frames:", 0}, {"End Site", 0}, {"x", 0}, {":", 0}, {":version", 0},
                      {"", 0}};
    Load("FRAMES: 12\nframe time:\t0.0333\nend sitefoo bar\nxposition\n:version 1.10\nnothing\n");
    EXPECT_TRUE(mFile.Check(table) == 1 && table[1].mCount == 0);
    const struct { int mIndex; const char* mRest; } lines[] = {
        {1, "12"}, {0, "0.0333"}, {2, "foo bar"}, {3, "position"}, {4, "version 1.10"}, {-1, "nothing"}};
    for (const auto& line : lines) {
        EXPECT_TRUE(mFile.Handle(table) == line.mIndex && mFile.GetCursor() == std::string(line.mRest)) << line.mRest;
        mFile.NextLine();
    }
    EXPECT_TRUE(table[0].mCount == 1 && table[1].mCount == 1);
    mFile.InitTokens(table);
    for (const KToken& token : table) EXPECT_EQ(0, token.mCount);
    KToken empty[] = {{nullptr, 0}};
    EXPECT_TRUE(mFile.Handle(empty) == -1 && mFile.Handle(nullptr) == -1);
}

// A word longer than the buffer is cut, never split into two words; a zero max
// still moves on, so a loop on it ends.
TEST_F(TextFileTest, StringsEndAtDelimitersAndAreCutNotSplit) {
    Load("abcdef,ghi  (j) x\n" + std::string(2000, 'w') + " tail\n");
    char buffer[8];
    KString text("untouched");
    EXPECT_TRUE(mFile.GetString(buffer, 3) && std::string(buffer) == "abc" && mFile.GetString(buffer, 0) && !*buffer);
    EXPECT_TRUE(mFile.GetString(text) && Str(text) == "j" && mFile.GetString(text));
    EXPECT_TRUE(!mFile.GetString(buffer, 7) && !*buffer && !mFile.GetString(text) && Str(text) == "x");
    ASSERT_TRUE(mFile.NextLine() && mFile.GetString(text));
    EXPECT_EQ(1023u, text.GetLen());
    EXPECT_TRUE(mFile.GetString(text) && Str(text) == "tail");
    int words = 0;
    ASSERT_TRUE(mFile.FirstLine());
    while (mFile.GetString(buffer, 0) && words < 100) ++words;
    EXPECT_EQ(4, words);
}

// One read per line: the values read (none: the read fails and leaves the values
// and the cursor as they were) and what is left of the line. Integers saturate;
// "inf" as the rest of the line takes the scale's sign.
TEST_F(TextFileTest, Numbers) {
    // mRead: 'i'nteger, 'd'ouble, 'p'air, 'v'ector; "6,7,8" is not three numbers separated by white space.
    const struct { const char* mLine; char mRead; double mScale; std::vector<double> mValues; const char* mRest; }
        cases[] = {
        {"42abc", 'i', 1, {42}, "abc"}, {"-7 x", 'i', 1, {-7}, "x"}, {"99999999999 x", 'i', 1, {2147483647}, "x"},
        {"x", 'i', 1, {}, "x"}, {"1.5 word", 'd', 2.54, {3.81}, "word"}, {"-2e1,0.25", 'd', 0.1, {-2.0}, "0.25"},
        {"word", 'd', 1, {}, "word"}, {"inf", 'd', 2, {kInf}, ""}, {"-inf \t", 'd', 1, {-kInf}, ""},
        {"inf", 'd', -1, {-kInf}, ""}, {"(-INF, Inf)", 'p', 1, {-kInf, kInf}, ""}, {"(1.5, 2)", 'p', 2, {3, 4}, ""},
        {"(1.5)", 'p', 1, {}, "1.5)"}, {"1 2\t3 rest", 'v', 10, {10, 20, 30}, "rest"}, {"4 5 x", 'v', 1, {}, "4 5 x"},
        {"6,7,8", 'v', 1, {}, "6,7,8"}};
    std::string content;
    for (const auto& c : cases) content += std::string(c.mLine) + "\n";
    Load(content);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mLine);
        double values[3] = {-99, -99, -99};
        int integer = -99;
        const bool read = c.mRead == 'i'   ? mFile.GetInteger(integer)
                          : c.mRead == 'd' ? mFile.GetDouble(values[0], c.mScale)
                          : c.mRead == 'p' ? mFile.GetPair(values, c.mScale)
                                           : mFile.GetVector(values, c.mScale);
        if (c.mRead == 'i') values[0] = integer;
        EXPECT_EQ(!c.mValues.empty(), read);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(i < c.mValues.size() ? c.mValues[i] : -99.0, values[i]);
        EXPECT_STREQ(c.mRest, mFile.GetCursor());
        mFile.NextLine();
    }
}

TEST_F(TextFileTest, NumbersReadAsStrtodReadsThem) {
    // The fast path must agree with strtod on every form, the odd ones included.
    const char* const words[] = {"+1.5", "-2e3", ".5", "5.", "1e", "1e+", "0x1A", "0X1p3", "1e999", "-1e999",
                                 "1e-320", "+-1", "++1", "-+1", "+", "-", "nan", "infinity", "-0", "007", "1.5.2",
                                 "3e2e1", "1_000"};
    std::string content;
    for (const char* word : words) content += std::string(word) + " #\n";
    Load(content);
    for (const char* word : words) {
        SCOPED_TRACE(word);
        char* end = nullptr;
        const double expected = std::strtod(word, &end);
        double value = -99.0;
        const bool read = mFile.GetDouble(value, 1.0);
        EXPECT_EQ(read, end != word);
        if (read && !std::isnan(expected)) {
            EXPECT_EQ(value, expected);
        }
        if (read) {
            EXPECT_EQ(std::string(mFile.GetCursor()), std::string(end).empty() ? "#" : std::string(end) + " #");
        }
        mFile.NextLine();
    }
}

TEST_F(TextFileTest, CharactersWithDelimitersSwitchedOff) {
    WriteFile(mPath, "1\t0.5\t\t2.0\n");
    KTextFile file("TRC", "\t\r\n", "", true, false);
    ASSERT_FALSE(file.Open(mPath.c_str(), "r"));
    const KString previous = file.SetDel("");
    EXPECT_STREQ("\t\r\n", previous.Buffer());
    int frame = 0;
    char c = 0, peeked = 0;
    double value = 0.0;
    EXPECT_TRUE(file.GetInteger(frame) && frame == 1 && file.GetChar(c) && c == '\t');
    EXPECT_TRUE(file.GetDouble(value, 1.0) && file.GetChar(c) && file.PeakChar(peeked) && peeked == '\t');
    EXPECT_TRUE(file.GetChar(c) && file.GetDouble(value, 1.0) && value == 2.0 && !file.PeakChar(c) && !file.GetChar(c));
    file.SetDel(previous);
    EXPECT_STREQ("\t\r\n", file.GetDel());
}

TEST_F(TextFileTest, MessagesAndPrint) {
    std::vector<std::string> errors, warnings;
    mFile.SetErrorCallback([&](const char* text) { errors.push_back(text); });
    mFile.SetWarningCallback([&](const char* text) { warnings.push_back(text); });
    Load("one\ntwo\n");
    ASSERT_TRUE(mFile.NextLine());
    EXPECT_TRUE(mFile.Error("Unknown parent bone name (%s)\n", "hip") && !mFile.Warning("Bad value %d\n", 7));
    const std::string longText(5000, 'm');  // not cut
    mFile.Error("%s", longText.c_str());
    EXPECT_EQ(errors, (std::vector<std::string>{"ASF read error (line 2): Unknown parent bone name (hip)\n",
                                                "ASF read error (line 2): " + longText}));
    EXPECT_EQ(warnings, std::vector<std::string>{"ASF read warning (line 2): Bad value 7\n"});
    mFile.SetWarningCallback(nullptr);
    EXPECT_FALSE(mFile.Warning("no callback"));
    mFile.SetMessages(false);
    EXPECT_TRUE(mFile.Error("silent") && !mFile.Warning("silent") && errors.size() == 2 && warnings.size() == 1);
    // Print indents two blanks a level.
    const std::string out = mDir / "out.txt";
    mFile.Close();
    EXPECT_FALSE(mFile.Print(0, "nothing open\n"));
    ASSERT_FALSE(mFile.Open(out.c_str(), "w"));
    EXPECT_TRUE(mFile.Print(0, ":%s\n", "bonedata") && mFile.Print(2, "%s %d\n", "id", 3) && mFile.Print(-1, "end\n") &&
                mFile.Print(512, "a\n") && mFile.Print(513, "b\n") && mFile.Print(1500, "c\n") && mFile.Close());
    EXPECT_EQ(":bonedata\n    id 3\nend\n" + std::string(1024, ' ') + "a\n" + std::string(1026, ' ') + "b\n" +
                  std::string(3000, ' ') + "c\n",
              ReadFile(out));
}

// A stream opened elsewhere (on a file its writer created) is printed to and
// read as a file opened by name, and closed with the text file; a failed
// adoption closes nothing twice.
TEST_F(TextFileTest, AnAdoptedStreamIsTheFile) {
    const std::string out = mDir / "adopted.txt";
    std::FILE* stream = std::fopen(out.c_str(), "w+");
    ASSERT_NE(nullptr, stream);
    ASSERT_FALSE(mFile.Adopt(stream, "w"));
    EXPECT_TRUE(mFile.Print(1, "%s\n", "bonedata") && mFile.Close());
    EXPECT_EQ("  bonedata\n", ReadFile(out));
    stream = std::fopen(out.c_str(), "r");
    ASSERT_FALSE(mFile.Adopt(stream, "r"));
    char word[16];
    EXPECT_TRUE(mFile.GetString(word, 15) && std::string(word) == "bonedata");
    EXPECT_TRUE(mFile.Adopt(nullptr, "w") && !mFile.IsOpen());
    EXPECT_TRUE(mFile.Adopt(std::fopen(out.c_str(), "r"), "") && !mFile.IsOpen());
}

// A full disk: the buffered tail fails at Flush or Close, which say so and
// keep the system's reason ("File too large" past a file size limit) until
// the next Open.
TEST_F(TextFileTest, WriteFailureIsReported) {
    const std::string out = mDir / "out.txt";
    for (const bool flush : {false, true}) {
        const auto print = [&] {
            KTextFile file("ASF", " ", "", true, false);
            bool printed = !file.Open(out.c_str(), "w");
            for (int i = 0; i < 30; ++i) printed = file.Print(1, "%s\n", std::string(60, 'x').c_str()) && printed;
            const bool fails = flush ? !file.Flush() && !file.Close() : !file.Close();
            const bool reason = file.GetSystemError() == EFBIG;
            const bool reopened = !file.Open(out.c_str(), "w") && file.GetSystemError() == 0 && file.Close();
            return printed && fails && reason && reopened;
        };
        EXPECT_TRUE(zeqtest::InChild(print, 1000)) << "flush " << flush;
    }
    // The file written takes its name only complete: one there before stays as it was.
    WriteFile(out, "before");
    EXPECT_TRUE(zeqtest::InChild(
        [&] {
            KTextFile file("ASF", " ", "", true, false);
            const bool opened = !file.Open(out.c_str(), "w");
            file.Print(1, "%s\n", std::string(3000, 'x').c_str());
            return opened && !file.Close();
        },
        1000));
    EXPECT_EQ("before", ReadFile(out));
    // Text longer than the stream's buffer fails at the Print that writes it.
    const auto printLong = [&] {
        KTextFile file("ASF", " ", "", true, false);
        const bool opened = !file.Open(out.c_str(), "w");
        const bool refused = !file.Print(0, "%s\n", std::string(70000, 'x').c_str());
        return opened && refused && file.GetSystemError() == EFBIG && !file.Close() && file.GetSystemError() == EFBIG;
    };
    EXPECT_TRUE(zeqtest::InChild(printLong, 1000));
}

}  // namespace
