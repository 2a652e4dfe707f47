#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqascii.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Str;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

class KZeqAscii : public testing::Test {
protected:
    zeqtest::TempDir mDir;
    std::string mPath = mDir / "text.zeq";
};

TEST_F(KZeqAscii, TextLayout) {
    KZeqFileHeaderInfo header;
    header.mFileVersion = 6000;
    header.mCreator = "t";
    header.mCreationTimeStamp = kLocalTime{2024, 1, 2, 3, 4, 5, 0};
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), false, false, &header));
    EXPECT_TRUE(z.WriteComments("Objects") && z.WriteComments(""));
    zeqtest::Put(z, "Model", "Model::Cube", 1.5, 3);
    z.FieldWriteBlockBegin();
    zeqtest::Put(z, "Name", 'x', ',');
    z.FieldWriteEnd();
    zeqtest::Put(z, "Lcl Rotation", 0.0, -90.0, 1e20, 0.1 + 0.2);
    z.WriteComments("after\nthe line");
    z.FieldWriteEnd();
    z.FieldWriteBlockEnd();
    z.FieldWriteEnd();
    z.FieldWriteBegin("Empty");
    z.FieldWriteEnd();
    ASSERT_TRUE(z.ProjectClose());
    EXPECT_EQ(zeqtest::ReadFile(mPath),
              "; Zeq ASCII field file\n"
              "@Zeq: 6000\n"
              "@Header: {\n"
              "\tCameraName: \"\"\n"
              "\tResolutionMode: \"\"\n"
              "\tResolutionWidth: 0\n"
              "\tResolutionHeight: 0\n"
              "\tCreationTimeStamp: 2024,1,2,3,4,5,0\n"
              "\tCreator: \"t\"\n"
              "}\n"
              "@Section: 6000\n"
              "; Objects\n"
              "\n"
              "Model: \"Model::Cube\",1.5,3 {\n"
              "\tName: x,\",\"\n"
              "\t\"Lcl Rotation\": 0,-90,1e+20,0.30000000000000004\n"
              "\t; after\n"
              "\t; the line\n"
              "}\n"
              "Empty:\n"
              "@End\n");
    // Comments are not fields.
    KZeq reader;
    EXPECT_TRUE(reader.ProjectOpen(mPath.c_str(), false, true) && reader.FieldGetBlockFieldCount() == 2);
}

// Text as a person writes it: comments anywhere, any line ends, spaces, words,
// escapes, lists over several lines, numbers beyond the doubles' range.
const std::string kHandWritten =
    "; a comment first\r\n@Zeq: 5800\r\n@Header: {\n\tCreator: \"me\"\n}\n@Section: 5800\r\n"
    "Model: \"Model::A\", 1,   2 ; comment after values\r\n"
    "Values: 1,\r\n   ; a comment inside the list\r\n   2.5, -inf, nan,\r\n   4294967296\r\n"
    "Word: ByPolygonVertex, U\r\n"
    "Huge: 1e999, -1e999, 1e-999, +7, -0, 123456789012345678901234567890\r\n"
    "\"Odd \\\"name\\\"\": \"tab\\there\\x01\"\r\nBlock: {\r\n  Inner: 1 }\r\n@End";

TEST_F(KZeqAscii, HandWrittenTextReads) {
    zeqtest::WriteFile(mPath, kHandWritten);
    KZeq z;
    KZeqFileHeaderInfo header;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true, &header)) << z.GetLastErrorString();
    EXPECT_TRUE(!z.IsBinary() && z.GetFileVersion() == 5800 && Str(header.mCreator) == "me");
    ASSERT_TRUE(z.FieldReadBegin("Model") && z.FieldReadGetCount() == 3 && z.FieldReadGetType() == 'S');
    EXPECT_TRUE(Str(z.FieldReadC()) == "Model::A" && z.FieldReadGetType() == 'I');
    ASSERT_TRUE(z.FieldReadBegin("Values") && z.FieldReadGetCount() == 5);
    EXPECT_TRUE(z.FieldReadI() == 1 && z.FieldReadGetType() == 'D' && z.FieldReadD() == 2.5 && z.FieldReadD() == -kInf);
    EXPECT_TRUE(std::isnan(z.FieldReadD()) && z.FieldReadGetType() == 'L' && z.FieldReadL() == 4294967296LL);
    // Beyond the range: infinities and zero, not lost values; "-0" keeps its sign.
    ASSERT_TRUE(z.FieldReadBegin("Huge"));
    EXPECT_TRUE(z.FieldReadD() == kInf && z.FieldReadD() == -kInf && z.FieldReadD() == 0.0);
    EXPECT_TRUE(z.FieldReadGetType() == 'I' && z.FieldReadI() == 7);
    EXPECT_TRUE(z.FieldReadGetType() == 'D' && std::signbit(z.FieldReadD()));
    EXPECT_TRUE(z.FieldReadGetType() == 'D' && z.FieldReadD() == 123456789012345678901234567890.0);
    ASSERT_TRUE(z.FieldReadBegin("Word") && Str(z.FieldReadC()) == "ByPolygonVertex");
    EXPECT_TRUE(z.FieldReadGetType() == 'C' && z.FieldReadCH() == 'U');
    EXPECT_EQ(Str(z.FieldReadC("Odd \"name\"", "")), "tab\there\x01");
    ASSERT_TRUE(z.FieldReadBegin("Block") && z.FieldReadBlockBegin());
    EXPECT_EQ(z.FieldReadI("Inner", 0), 1);
}

// The password line follows the section's fields (the text goes out before the
// password is final); readers take it there or right after "@Section", once.
TEST_F(KZeqAscii, PasswordLineAfterTheFields) {
    ASSERT_TRUE(zeqtest::WriteZeq(mPath, zeqtest::kAscii, [](KZeq& z) {
        zeqtest::Put(z, "Secret", 7);
        ASSERT_TRUE(z.ProjectSetPassword("pw"));
    }));
    const std::string text = zeqtest::ReadFile(mPath);
    const std::size_t field = text.find("Secret: 7\n"), password = text.find("@Password: \"PBKDF2-SHA256\"");
    ASSERT_TRUE(field != std::string::npos && password != std::string::npos && field < password);
    const std::string line = text.substr(password, text.find('\n', password) + 1 - password);
    std::string moved = text;
    moved.erase(password, line.size());
    moved.insert(moved.find("Secret"), line);
    // The same line before the fields.
    for (const std::string& good : {text, moved}) {
        zeqtest::WriteFile(mPath, good);
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true)) << good;
        EXPECT_TRUE(z.IsPasswordProtected() && !z.CheckPassword("wrong") && z.CheckPassword("pw"));
        EXPECT_EQ(z.FieldReadI("Secret", 0), 7);
    }
    // Twice for one section, or before any section: corrupted.
    std::string twice = moved, early = text;
    twice.insert(twice.find("@End"), line);
    early.insert(early.find("@Section"), line);
    for (const std::string& bad : {twice, early}) EXPECT_EQ(zeqtest::OpenError(mPath, bad), KZeq::eFileCorrupted);
}

// A section far larger than the writer's buffer streams out; lines keep wrapping
// the same way across the hand-overs, and comments stay on their own lines. Every
// double comes back bit for bit: random bits, subnormals, -0, the largest.
TEST_F(KZeqAscii, LongSectionsStreamOutInShortLinesAndDoublesRoundTrip) {
    std::vector<double> values = {-0.0, std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min(), -16.701999999999998};
    std::mt19937_64 random(11);
    while (values.size() < 300000) {
        const std::uint64_t bits = random() & (values.size() % 3 ? ~0ull : 0x800FFFFFFFFFFFFFull);  // or subnormal
        const double d = zeqtest::DoubleOf(bits);
        values.push_back(std::isfinite(d) ? d : static_cast<double>(bits % 100000) * 0.001);
    }
    std::vector<int> ints(5000);
    for (std::size_t i = 0; i < ints.size(); ++i) ints[i] = static_cast<int>(i * i);
    ASSERT_TRUE(zeqtest::WriteZeq(mPath, zeqtest::kAscii, [&](KZeq& z) {
        for (int f = 0; f < 3; ++f) {
            z.FieldWriteBegin("Block");
            z.FieldWriteBlockBegin();
            zeqtest::Put(z, "Values", values);
            z.WriteComments("after the values");
            zeqtest::Put(z, "PolygonVertexIndex", ints);
            z.FieldWriteEnd();
            z.FieldWriteBlockEnd();
        }
    }));
    std::istringstream lines(zeqtest::ReadFile(mPath));
    std::string line;
    std::size_t longest = 0;
    int comments = 0;
    while (std::getline(lines, line)) {
        longest = std::max(longest, line.size());
        if (line == "\t; after the values") ++comments;
    }
    EXPECT_TRUE(longest < 130u && comments == 3) << longest << " " << comments;
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
    for (int f = 0; f < 3; ++f) {
        ASSERT_TRUE(z.FieldReadBegin("Block") && z.FieldReadBlockBegin());
        const std::vector<double> read = zeqtest::ReadValues<double>(z, "Values", values.size());
        ASSERT_EQ(read.size(), values.size());
        EXPECT_EQ(std::memcmp(read.data(), values.data(), values.size() * sizeof(double)), 0);
        EXPECT_EQ(zeqtest::ReadValues<int>(z, "PolygonVertexIndex", ints.size()), ints);
        z.FieldReadBlockEnd();
    }
}

// Numbers read as strtod / strtoll read them: the one-pass path for plain numbers
// and the general path agree on every form, at every limit.
TEST_F(KZeqAscii, NumbersReadExactly) {
    std::vector<std::string> tokens = {"0", "-0", "7", "-7", "2147483647", "2147483648", "-2147483648", "-2147483649",
                                       "999999999999999999", "-999999999999999999", "9223372036854775807",
                                       "1234567890123456789", "0.5", "-0.0", "1.", "1e5", "1E-5", "2.5e+3",
                                       "9007199254740993", "9007199254740993.0", "0.1", "1e22", "1e23", "1e-22",
                                       "1e-23", "4.9406564584124654e-324", "1.7976931348623157e308",
                                       "123456789012345678.5", "0.000000000000000001", "00012", "-0000.25"};
    std::mt19937_64 random(7);
    for (int i = 0; i < 3000; ++i) {
        const std::uint64_t bits = random();
        std::string digits = std::to_string(bits % 1000000000000000000ull).substr(0, 1 + bits % 19);
        const int point = static_cast<int>((bits >> 40) % (digits.size() + 1));
        if (point < static_cast<int>(digits.size())) digits.insert(static_cast<std::size_t>(point), ".");
        if (bits & (1ull << 60)) digits = "-" + digits;
        if (bits & (1ull << 61)) digits += "e" + std::to_string(static_cast<int>((bits >> 48) % 61) - 30);
        tokens.push_back(digits);
    }
    std::string file = "@Zeq: 6000\n@Section: 6000\nV: ";
    for (std::size_t i = 0; i < tokens.size(); ++i) file += (i ? "," : "") + tokens[i];
    file += "\n@End\n";
    zeqtest::WriteFile(mPath, file);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true)) << z.GetLastErrorString();
    ASSERT_TRUE(z.FieldReadBegin("V") && z.FieldReadGetCount() == static_cast<int>(tokens.size()));
    for (const std::string& token : tokens) {
        const bool integral = token.find_first_of(".eE") == std::string::npos && token != "-0";
        errno = 0;
        const long long whole = std::strtoll(token.c_str(), nullptr, 10);
        if (integral && errno == 0) {
            const char type = whole >= INT_MIN && whole <= INT_MAX ? 'I' : 'L';
            ASSERT_TRUE(z.FieldReadGetType() == type && z.FieldReadL() == whole) << token;
        } else {
            ASSERT_EQ(z.FieldReadGetType(), 'D') << token;
            ASSERT_TRUE(zeqtest::SameBits(z.FieldReadD(), std::strtod(token.c_str(), nullptr))) << token;
        }
    }
}

// A number damaged in the text (a stray byte in it, a byte that is no text in
// its place) is no number, word or char of the encoding: the file is corrupted
// and opens not at all, wherever the number stands, in the header too.
TEST_F(KZeqAscii, ADamagedNumberFailsTheOpen) {
    const char* const damaged[] = {"0\xA1" "25", "1?399", "\xA1", "\xFD", "-1.5x", "12abc", "1.2.3",
                                   ".5.", "-.5q", "1e5e", "7\x01", "\x7F", "0x10",
                                   // near the infinities and NaN other platforms print
                                   "1.#INFX", "1.#IN", "2.#INF", "1.#", "-1.#INDX", "+1.#QNA", "1.#QNANQ"};
    for (const char* token : damaged) {
        for (const std::string& file :
             {"@Zeq: 6000\n@Section: 6000\nUnknown: 1,2 {\n  Inner: 3," + std::string(token) + "\n}\n@End\n",
              "@Zeq: 6000\n@Header: {\n  ResolutionWidth: " + std::string(token) + "\n}\n@Section: 6000\n@End\n"}) {
            EXPECT_EQ(zeqtest::OpenError(mPath, file), KZeq::eFileCorrupted) << file;
        }
    }
    // The header's numbers are numbers: a letter there is damage too.
    EXPECT_EQ(zeqtest::OpenError(mPath, "@Zeq: 6000\n@Header: {\n  ResolutionWidth: q\n}\n@Section: 6000\n@End\n"),
              KZeq::eFileCorrupted);
}

// What writers write and hand-written files hold keeps reading: signs,
// exponents, decimals, infinities and NaN, numbers in quotes, letters as
// chars and bare words as strings.
TEST_F(KZeqAscii, WellFormedNumbersWordsAndCharsRead) {
    zeqtest::WriteFile(mPath,
                       "@Zeq: 6000\n@Section: 6000\n"
                       "N: +7, -0, .5, 5., -.25, 1E+05, +2.5e-1, inf, -inf, nan, -nan, \"2.5\", \" 3\"\n"
                       "W: q, Word, \"q\", \"1?399\"\n@End\n");
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true)) << z.GetLastErrorString();
    ASSERT_TRUE(z.FieldReadBegin("N"));
    EXPECT_EQ(z.FieldReadI(), 7);
    EXPECT_TRUE(std::signbit(z.FieldReadD()));
    for (double expected : {0.5, 5.0, -0.25, 1e5, 0.25, kInf, -kInf}) EXPECT_EQ(z.FieldReadD(), expected);
    EXPECT_TRUE(std::isnan(z.FieldReadD()) && std::isnan(z.FieldReadD()));
    EXPECT_EQ(z.FieldReadD(), 2.5);
    EXPECT_EQ(z.GetLastErrorID(), -1);
    // A quoted text is a string; the blank makes it no number.
    EXPECT_EQ(z.FieldReadD(), 0.0);
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted);
    KZeq words;
    ASSERT_TRUE(words.ProjectOpen(mPath.c_str(), false, true));
    ASSERT_TRUE(words.FieldReadBegin("W"));
    EXPECT_EQ(words.FieldReadCH(), 'q');
    EXPECT_EQ(Str(words.FieldReadC()), "Word");
    EXPECT_EQ(words.FieldReadCH(), 'q');
    EXPECT_EQ(Str(words.FieldReadC()), "1?399");
    EXPECT_EQ(words.GetLastErrorID(), -1);
}

// Files written on other platforms spell infinities and NaN "1.#INF", "1.#IND"
// and "1.#QNAN": numbers, bare or quoted, not damage.
TEST_F(KZeqAscii, OtherPlatformsInfinitiesAndNaNRead) {
    zeqtest::WriteFile(mPath, "@Zeq: 6000\n@Header: {\n  ResolutionWidth: 1.#INF\n}\n@Section: 6000\n"
                              "N: 1.#INF, -1.#INF, +1.#INF, 1.#IND, -1.#IND, 1.#QNAN, -1.#QNAN, \"-1.#INF\"\n@End\n");
    KZeq z;
    KZeqFileHeaderInfo header;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true, &header)) << z.GetLastErrorString();
    EXPECT_EQ(header.mResolutionW, kInf);
    ASSERT_TRUE(z.FieldReadBegin("N"));
    EXPECT_EQ(z.FieldReadGetType(), 'D');
    for (double expected : {kInf, -kInf, kInf}) EXPECT_EQ(z.FieldReadD(), expected);
    double nans[4];
    EXPECT_EQ(z.FieldReadDn(nans, 4), 4);
    for (double nan : nans) EXPECT_TRUE(std::isnan(nan));
    EXPECT_TRUE(std::signbit(nans[1]));
    EXPECT_EQ(z.FieldReadD(), -kInf);
    EXPECT_EQ(z.GetLastErrorID(), -1);
}

// Where a number is read, a char or a word of an ASCII file (a damaged first
// digit reads as one) is damage: every number read reports the file
// corrupted and delivers nothing for it. A binary file's values convert.
TEST_F(KZeqAscii, ALetterOrWordWhereANumberIsReadIsDamage) {
    const std::string file = "@Zeq: 6000\n@Section: 6000\nA: 1,q\nB: 2,q25\nC: \"x\"\nD: +-5\n@End\n";
    using Read = std::function<void(KZeq&)>;
    const Read reads[] = {
        [](KZeq& z) {
            ASSERT_TRUE(z.FieldReadBegin("A"));
            EXPECT_EQ(z.FieldReadI(), 1);
            EXPECT_EQ(z.FieldReadI(), 0);
        },
        [](KZeq& z) {
            ASSERT_TRUE(z.FieldReadBegin("A"));
            z.FieldReadD(), z.FieldReadD();
        },
        [](KZeq& z) {
            ASSERT_TRUE(z.FieldReadBegin("A"));
            z.FieldReadL(), z.FieldReadT();
        },
        [](KZeq& z) {
            double values[2] = {};
            ASSERT_TRUE(z.FieldReadBegin("B"));
            EXPECT_EQ(z.FieldReadDn(values, 2), 1);
            EXPECT_EQ(values[0], 2.0);
        },
        [](KZeq& z) {
            int values[2] = {};
            ASSERT_TRUE(z.FieldReadBegin("B"));
            EXPECT_EQ(z.FieldReadIn(values, 2), 1);
        },
        [](KZeq& z) { EXPECT_EQ(z.FieldReadD("C", 4.0), 4.0); },
        [](KZeq& z) { EXPECT_EQ(z.FieldReadI("D", 4), 4); },
        [](KZeq& z) {
            static const KZeqFieldPattern pattern{"A", nullptr, 0, 2, nullptr, false, nullptr, 0, nullptr};
            double numbers[2];
            int taken = 0;
            EXPECT_FALSE(z.FieldReadPattern("A", &pattern, 1, true, numbers, 2, &taken));
            ASSERT_TRUE(z.FieldReadBegin("A"));
            z.FieldReadD(), z.FieldReadD();
        },
    };
    zeqtest::WriteFile(mPath, file);
    for (const Read& read : reads) {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true)) << z.GetLastErrorString();
        read(z);
        EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted);
    }
    ASSERT_TRUE(zeqtest::WriteZeq(mPath, zeqtest::kBinary, [](KZeq& z) {
        z.FieldWriteBegin("A");
        z.FieldWriteCH('q');
        z.FieldWriteEnd();
    }));
    KZeq binary;
    ASSERT_TRUE(binary.ProjectOpen(mPath.c_str(), false, true));
    EXPECT_EQ(binary.FieldReadI("A", 0), 'q');
    EXPECT_EQ(binary.GetLastErrorID(), -1);
}

// Text read through a window of any size parses exactly as text held whole: tokens,
// strings, escapes, comments and directives split anywhere.
TEST(KZeqAsciiWindow, AnyWindowParsesAsTheWholeText) {
    std::string longName(300, 'n');
    std::string longString = "\"" + std::string(200, 'q') + "\\x41\\\"\\n" + std::string(50, 'r') + "\"";
    const std::string texts[] = {
        kHandWritten,
        "@Zeq: 6000\n@Section: 6000\n" + longName + ": " + longString + ", " + longName + "\n; " + longName +
            "\n@Password: \"PBKDF2-SHA256\", \"00112233445566778899aabbccddeeff\", "
            "\"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\"\n@Section: 5800\nA: 1\n@End\n",
        "@Zeq: 6000\n@Section: 6000\nA: \"open\n@End\n",
        "@Zeq: 6000\n@Section: 6000\nA: 1,\n@End\n",
        "@Zeq: 6000\n@Section: 6000\nA: \"\\x4\"\n@End\n",
        "@Zeq: 6000\n@Section: 6000\nA: 1 {\n@End\n",
        "@Zeq: 6000\n@Section: 6000\nA: 12345",
        "@Zeq: 6000\n@Section: 6000\n@End\n; trailing comment without line break",
    };
    for (const std::string& text : texts) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
        zeqdetail::ZeqAsciiFile whole;
        const zeqdetail::ZeqOpenResult expected = zeqdetail::ParseAsciiFile(bytes, text.size(), whole);
        for (std::size_t window : {1, 2, 3, 5, 8, 13, 64, 100000}) {
            KChainedMemoryFile stream(text.data(), text.size());
            zeqdetail::ZeqAsciiFile windowed;
            ASSERT_EQ(zeqdetail::ParseAsciiStream(stream, text.size(), windowed, window), expected)
                << window << "\n" << text;
            if (expected != zeqdetail::ZeqOpenResult::eOk) continue;
            ASSERT_EQ(windowed.mSections.size(), whole.mSections.size());
            EXPECT_EQ(Str(windowed.mHeader.mCreator), Str(whole.mHeader.mCreator));
            for (std::size_t i = 0; i < whole.mSections.size(); ++i) {
                const zeqdetail::ZeqSectionInfo &a = whole.mSections[i], &b = windowed.mSections[i];
                EXPECT_TRUE(a.mVersion == b.mVersion && a.mPassword.mKdf == b.mPassword.mKdf) << window;
                ASSERT_EQ(a.mBody.Size(), b.mBody.Size()) << window;
                EXPECT_TRUE(!a.mBody.Size() || !std::memcmp(a.mBody.Data(), b.mBody.Data(), a.mBody.Size())) << window;
            }
        }
        // A stream shorter than it claims is a read error.
        KChainedMemoryFile shortStream(text.data(), text.size() / 2);
        zeqdetail::ZeqAsciiFile cut;
        const zeqdetail::ZeqOpenResult result = zeqdetail::ParseAsciiStream(shortStream, text.size(), cut, 8);
        EXPECT_TRUE(result == zeqdetail::ZeqOpenResult::eIoError || result == zeqdetail::ZeqOpenResult::eCorrupted);
    }
}

// Doubles are written as the shortest text that reads back exactly: the text of
// "%.15g" whenever that is exact (normal numbers), else one or two digits more
// ("%.15g" writes -16.701999999999998 as -16.702, which reads back 1 ulp off).
TEST(KZeqAsciiNumbers, DoubleTextIsExactAndMatchesPrintfWhenThatIs) {
    std::vector<double> values = {0.0, -0.0, 1.0, 0.1, 0.30000000000000004, 1e-5, 1e-4, 0.00012345, 999999999999999.0,
                                  1e15, 1e16, 1.5e300, -2.5e-300, 4.9e-324, 1.7976931348623157e308, kInf, -kInf,
                                  1e14 + 0.5, 98765.4321e10, -17.249, -16.701999999999998};
    std::mt19937_64 random(42);
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t bits = random();
        if (std::isfinite(zeqtest::DoubleOf(bits))) values.push_back(zeqtest::DoubleOf(bits));
        values.push_back(static_cast<double>(static_cast<int>(bits % 2000001) - 1000000) / 1000.0);
        values.push_back(std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(bits % 80)));
        values.push_back(std::ldexp(1.0, static_cast<int>(bits % 100) - 50));
        values.push_back(std::nextafter(values.back(), 0.0));
    }
    int longer = 0;
    char printed[64], text[64];
    for (double d : values) {
        std::snprintf(printed, sizeof(printed), "%.15g", d);
        const std::string written(text, zeqsdk_400::zeqdetail::FormatDouble(d, text));
        ASSERT_TRUE(zeqtest::SameBits(std::strtod(written.c_str(), nullptr), d) || std::isnan(d)) << written;
        if (zeqtest::SameBits(std::strtod(printed, nullptr), d) && (std::isnormal(d) || !std::isfinite(d) || d == 0)) {
            ASSERT_EQ(written, printed) << d;
        } else {
            ++longer;
        }
    }
    EXPECT_GT(longer, 0);
}

}  // namespace
