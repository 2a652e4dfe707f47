// A whole field written at once stores the bytes the calls field by field store, in every
// encoding, whether it takes the short way (a few numbers, short texts) or the long one.

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/kzeqbody.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Encoding;

namespace {

struct RecordCase {
    const char* mName;
    std::vector<std::string> mTexts;
    std::string mTypes;
    std::vector<double> mNumbers;
};

const RecordCase kRecords[] = {
    {"TextsAndVector", {"RotationOffset", "Vector", ""}, "DDD", {1.5, -2, 1e300}},
    {"Bool", {"Show", "Bool", "AK"}, "I", {1}},
    {"NoNumbers", {"LookAtProperty", "Object", ""}, "", {}},
    {"NoTexts", {}, "IDID", {-7, 0.25, 2147483647, -0.0}},
    {"FourDoubles", {"a", "", ""}, "DDDD", {1, 2, 3, 4}},
    {"FiveMakeARun", {"b"}, "DDDDD", {1, 2, 3, 4, 5}},
    {"EmptyTexts", {"", "", ""}, "I", {0}},
    {"LongText", {std::string(zeqdetail::kChunkBytes / 4 + 3, 'x'), "t"}, "D", {9}},
};

class KZeqRecord : public ::testing::TestWithParam<Encoding> {
protected:
    zeqtest::TempDir mDir;
};

// Blocks of records as the calls write them or at once: a sibling left open before each
// record, records in a block, and a field after them.
void WriteAll(KZeq& z, bool atOnce) {
    z.FieldWriteBegin("Block");
    z.FieldWriteBlockBegin();
    for (const RecordCase& c : kRecords) {
        z.FieldWriteBegin("Open");  // left open: the record ends it
        z.FieldWriteI(1);
        if (atOnce) {
            std::vector<std::string_view> texts(c.mTexts.begin(), c.mTexts.end());
            EXPECT_TRUE(z.FieldWriteRecord(c.mName, texts.data(), static_cast<int>(texts.size()), c.mTypes.c_str(),
                                           c.mNumbers.data(), static_cast<int>(c.mNumbers.size())))
                << c.mName;
        } else {
            z.FieldWriteBegin(c.mName);
            for (const std::string& text : c.mTexts) z.FieldWriteC(text.data(), text.size());
            for (std::size_t i = 0; i < c.mNumbers.size(); ++i)
                c.mTypes[i] == 'I' ? z.FieldWriteI(static_cast<int>(c.mNumbers[i])) : z.FieldWriteD(c.mNumbers[i]);
            z.FieldWriteEnd();
        }
    }
    z.FieldWriteBlockEnd();
    z.FieldWriteEnd();
    z.FieldWriteBegin("After");
    z.FieldWriteC("end");
    z.FieldWriteEnd();
}

}  // namespace

TEST_P(KZeqRecord, SameBytesAsFieldByField) {
    const std::string byCalls = mDir / "calls.zeq", atOnce = mDir / "once.zeq";
    ASSERT_TRUE(zeqtest::WriteZeq(byCalls, GetParam(), [](KZeq& z) { WriteAll(z, false); }));
    ASSERT_TRUE(zeqtest::WriteZeq(atOnce, GetParam(), [](KZeq& z) { WriteAll(z, true); }));
    if (!GetParam().mEncrypted) {
        EXPECT_TRUE(zeqtest::ReadZeqFileUnstamped(byCalls) == zeqtest::ReadZeqFileUnstamped(atOnce));
    }
    // And read back alike (the encrypted form differs by its salt only).
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(atOnce.c_str(), true, true));
    ASSERT_TRUE(z.FieldReadBegin("Block") && z.FieldReadBlockBegin());
    for (const RecordCase& c : kRecords) {
        ASSERT_TRUE(z.FieldReadBegin(c.mName)) << c.mName;
        ASSERT_EQ(static_cast<int>(c.mTexts.size() + c.mNumbers.size()), z.FieldReadGetCount());
        for (const std::string& text : c.mTexts) EXPECT_EQ(text, zeqtest::Str(z.FieldReadC()));
        for (std::size_t i = 0; i < c.mNumbers.size(); ++i) {
            if (GetParam().mBinary) {
                EXPECT_EQ(c.mTypes[i], z.FieldReadGetType()) << c.mName;  // text keeps no types
            }
            EXPECT_EQ(c.mNumbers[i], z.FieldReadD()) << c.mName;
        }
        z.FieldReadEnd();
    }
    z.FieldReadBlockEnd();
    z.FieldReadEnd();
    EXPECT_EQ("end", zeqtest::Str(z.FieldReadC("After", "")));
    EXPECT_EQ(-1, z.GetLastErrorID());
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqRecord, ::testing::ValuesIn(zeqtest::kEncodings), zeqtest::EncodingName);

// A section of many megabytes (its buffers, written and read, asked for in huge pages) reads back whole.
TEST_P(KZeqRecord, SectionOfManyMegabytesReadsBackWhole) {
    if (!GetParam().mBinary) GTEST_SKIP() << "binary sections only";
    const std::string path = mDir / "big.zeq";
    constexpr int kFields = 320;
    auto text = [](int i) { return std::string(30000 + i, static_cast<char>('a' + i % 26)); };
    ASSERT_TRUE(zeqtest::WriteZeq(path, GetParam(), [&](KZeq& z) {
        for (int i = 0; i < kFields; ++i) {
            const std::string value = text(i);
            z.FieldWriteBegin("Big");
            z.FieldWriteC(value.data(), value.size());
            z.FieldWriteI(i);
            z.FieldWriteEnd();
        }
    }));
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str(), true, true));
    for (int i = 0; i < kFields; ++i) {
        ASSERT_TRUE(z.FieldReadBegin("Big")) << i;
        ASSERT_TRUE(zeqtest::Str(z.FieldReadC()) == text(i)) << i;
        EXPECT_EQ(i, z.FieldReadI());
        z.FieldReadEnd();
    }
    EXPECT_FALSE(z.FieldReadBegin("Big"));
    EXPECT_EQ(-1, z.GetLastErrorID());
}
