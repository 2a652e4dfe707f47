#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/kzeqascii.h"
#include "fileio/tests/kzeq_test_support.h"

using namespace zeqsdk_400;

namespace {

class KZeqAscii : public testing::Test {
protected:
    KZeqFileHeaderInfo Header() {
        KZeqFileHeaderInfo header;
        header.mFileVersion = 6000;
        header.mCreator = "t";
        header.mCreationTimeStamp = kLocalTime{2024, 1, 2, 3, 4, 5, 0};
        return header;
    }

    zeqtest::ScratchDir mDir;
    std::string mPath = mDir / "text.zeq";
};

TEST_F(KZeqAscii, TextLayout) {
    KZeqFileHeaderInfo header = Header();
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), false, false, &header));
    EXPECT_TRUE(z.WriteComments("Objects"));
    EXPECT_TRUE(z.WriteComments(""));
    z.FieldWriteBegin("Model");
    z.FieldWriteC("Model::Cube");
    z.FieldWriteD(1.5);
    z.FieldWriteI(3);
    z.FieldWriteBlockBegin();
    z.FieldWriteBegin("Name");
    z.FieldWriteCH('x');
    z.FieldWriteCH(',');
    z.FieldWriteEnd();
    z.FieldWriteBegin("Lcl Rotation");
    z.FieldWriteD(0.0);
    z.FieldWriteD(-90.0);
    z.FieldWriteD(1e20);
    z.FieldWriteD(0.1 + 0.2);
    z.WriteComments("after\nthe line");
    z.FieldWriteEnd();
    z.FieldWriteBlockEnd();
    z.FieldWriteEnd();
    z.FieldWriteBegin("Empty");
    z.FieldWriteEnd();
    ASSERT_TRUE(z.ProjectClose());
    EXPECT_EQ(zeqtest::ReadBytes(mPath),
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
              "\t\"Lcl Rotation\": 0,-90,1e+20,0.3\n"
              "\t; after\n"
              "\t; the line\n"
              "}\n"
              "Empty:\n"
              "@End\n");
    // Comments are not fields.
    KZeq reader;
    ASSERT_TRUE(reader.ProjectOpen(mPath.c_str(), false, true));
    EXPECT_EQ(reader.FieldGetBlockFieldCount(), 2);
}

TEST_F(KZeqAscii, HandWrittenTextReads) {
    zeqtest::WriteBytes(mPath,
                        "; a comment first\r\n"
                        "@Zeq: 5800\r\n"
                        "@Section: 5800\r\n"
                        "Model: \"Model::A\", 1,   2 ; comment after values\r\n"
                        "Values: 1,\r\n"
                        "   ; a comment inside the list\r\n"
                        "   2.5, -inf, nan,\r\n"
                        "   4294967296\r\n"
                        "Word: ByPolygonVertex, U\r\n"
                        "Huge: 1e999, -1e999, 1e-999, +7\r\n"
                        "\"Odd \\\"name\\\"\": \"tab\\there\\x01\"\r\n"
                        "Block: {\r\n"
                        "  Inner: 1 }\r\n"
                        "@End");
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true)) << z.GetLastErrorString();
    EXPECT_FALSE(z.IsBinary());
    EXPECT_EQ(z.GetFileVersion(), 5800);
    ASSERT_TRUE(z.FieldReadBegin("Model"));
    EXPECT_EQ(z.FieldReadGetCount(), 3);
    EXPECT_EQ(z.FieldReadGetType(), 'S');
    EXPECT_EQ(std::string(z.FieldReadC().Buffer()), "Model::A");
    EXPECT_EQ(z.FieldReadGetType(), 'I');
    z.FieldReadEnd();
    ASSERT_TRUE(z.FieldReadBegin("Values"));
    EXPECT_EQ(z.FieldReadGetCount(), 5);
    EXPECT_EQ(z.FieldReadI(), 1);
    EXPECT_EQ(z.FieldReadGetType(), 'D');
    EXPECT_EQ(z.FieldReadD(), 2.5);
    EXPECT_EQ(z.FieldReadD(), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(z.FieldReadD()));
    EXPECT_EQ(z.FieldReadGetType(), 'L');
    EXPECT_EQ(z.FieldReadL(), 4294967296LL);
    z.FieldReadEnd();
    ASSERT_TRUE(z.FieldReadBegin("Huge"));
    EXPECT_EQ(z.FieldReadD(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(z.FieldReadD(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(z.FieldReadD(), 0.0);
    EXPECT_EQ(z.FieldReadGetType(), 'I');
    EXPECT_EQ(z.FieldReadI(), 7);
    z.FieldReadEnd();
    ASSERT_TRUE(z.FieldReadBegin("Word"));
    EXPECT_EQ(std::string(z.FieldReadC().Buffer()), "ByPolygonVertex");
    EXPECT_EQ(z.FieldReadGetType(), 'C');
    EXPECT_EQ(z.FieldReadCH(), 'U');
    z.FieldReadEnd();
    EXPECT_EQ(std::string(z.FieldReadC("Odd \"name\"", "").Buffer()), "tab\there\x01");
    ASSERT_TRUE(z.FieldReadBegin("Block"));
    ASSERT_TRUE(z.FieldReadBlockBegin());
    EXPECT_EQ(z.FieldReadI("Inner", 0), 1);
}

TEST_F(KZeqAscii, LongListsWrapAndReadBack) {
    std::vector<int> values(5000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int>(i * i);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), false));
        z.FieldWriteBegin("PolygonVertexIndex");
        z.FieldWriteIn(values.data(), static_cast<int>(values.size()));
        ASSERT_TRUE(z.ProjectClose());
    }
    std::istringstream lines(zeqtest::ReadBytes(mPath));
    std::string line;
    std::size_t longest = 0;
    while (std::getline(lines, line)) longest = std::max(longest, line.size());
    EXPECT_LT(longest, 130u);
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
    ASSERT_TRUE(z.FieldReadBegin("PolygonVertexIndex"));
    std::vector<int> read(values.size());
    EXPECT_EQ(z.FieldReadIn(read.data(), static_cast<int>(read.size())), 5000);
    EXPECT_EQ(read, values);
}

TEST_F(KZeqAscii, EmbeddingIsBinaryOnly) {
    zeqtest::WriteBytes(mDir / "image.png", "pixels");
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), false));
    z.FieldWriteBegin("Content");
    EXPECT_FALSE(z.FieldWriteEmbeddedFile(KString((mDir / "image.png").c_str()), KString("image.png")));
    EXPECT_EQ(z.GetLastErrorID(), -1);
    EXPECT_TRUE(z.ProjectClose());
}

// Doubles are written as "%.15g" prints them, without printf.
TEST(KZeqAsciiNumbers, DoubleTextMatchesPrintf) {
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.30000000000000004, 1e-5, 1e-4, 0.00012345, 123456789012345.0,
                                  999999999999999.0, 1e15, 1e16, 1.5e300, -2.5e-300, 4.9e-324, 1.7976931348623157e308,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  123.456, 1e14 + 0.5, 98765.4321e10, -17.249};
    std::mt19937_64 random(42);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = random();
        double d;
        std::memcpy(&d, &bits, sizeof(d));
        if (std::isfinite(d)) values.push_back(d);
        values.push_back(static_cast<double>(static_cast<int>(bits % 2000001) - 1000000) / 1000.0);
        values.push_back(std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(bits % 80)));
    }
    char expected[64];
    char actual[64];
    for (double d : values) {
        std::snprintf(expected, sizeof(expected), "%.15g", d);
        const std::size_t length = zeqsdk_400::zeqdetail::FormatDouble15(d, actual);
        ASSERT_EQ(std::string(actual, length), expected) << d;
    }
}

}  // namespace
