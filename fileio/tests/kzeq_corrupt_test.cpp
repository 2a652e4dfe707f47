#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/kzeqbinary.h"
#include "fileio/tests/kzeq_test_support.h"

using namespace zeqsdk_400;
using zeqtest::RawField;

namespace {

template <class T>
std::string Bytes(T value) {
    std::string out(sizeof(T), '\0');
    std::memcpy(&out[0], &value, sizeof(T));
    return out;
}

class KZeqCorrupt : public testing::Test {
protected:
    // Opens a binary file around the body with its main section open.
    bool OpenBody(const std::string& body) {
        zeqtest::WriteBytes(mPath, zeqtest::MakeBinaryFile(body));
        return mZeq.ProjectOpen(mPath.c_str(), false, true);
    }
    void ExpectCorrupted() { EXPECT_EQ(mZeq.GetLastErrorID(), KZeq::eFileCorrupted); }

    zeqtest::ScratchDir mDir;
    std::string mPath = mDir / "bad.zeq";
    KZeq mZeq;
};

const std::string kGood = RawField("Good", 1, "I" + Bytes<std::int32_t>(7), "", false);

TEST_F(KZeqCorrupt, HandMadeBodyReads) {
    ASSERT_TRUE(OpenBody(kGood + RawField("Run", 3, "i" + Bytes<std::uint32_t>(3) + std::string(12, '\1'), "", false)));
    EXPECT_EQ(mZeq.FieldReadI("Good", 0), 7);
    ASSERT_TRUE(mZeq.FieldReadBegin("Run"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), 3);
    EXPECT_EQ(mZeq.FieldReadI(), 0x01010101);
    EXPECT_EQ(mZeq.GetLastErrorID(), -1);
}

TEST_F(KZeqCorrupt, FieldLengthPastTheBlock) {
    std::string bad = kGood + RawField("Bad", 0, "", "", false);
    bad[kGood.size()] = static_cast<char>(0x40);  // longer than what follows
    ASSERT_TRUE(OpenBody(bad));
    EXPECT_EQ(mZeq.FieldReadI("Good", 0), 7);  // what lies before stays readable
    EXPECT_FALSE(mZeq.FieldReadBegin("Bad"));
    ExpectCorrupted();
}

TEST_F(KZeqCorrupt, HugeLengthsAndCountsAreRefusedWithoutAllocating) {
    const std::string cases[] = {
        // name length beyond the field
        zeqtest::FieldHeader("N", 16 + 1, 0, 0, false).replace(8, 4, Bytes<std::uint32_t>(0x7FFFFFFF)),
        // value bytes beyond the field
        zeqtest::FieldHeader("N", 16 + 1, 0, ~0ull, true),
        // a run claiming four billion doubles
        RawField("N", 0xFFFFFFFF, "d" + Bytes<std::uint32_t>(0xFFFFFFFF) + std::string(16, '\0'), "", false),
        // a string longer than the values
        RawField("N", 1, "S" + Bytes<std::uint32_t>(0xFFFFFFF0) + "abc", "", false),
        // more values than the count says
        RawField("N", 1, "I" + Bytes<std::int32_t>(1) + "I" + Bytes<std::int32_t>(2), "", false),
        // fewer values than the count says
        RawField("N", 3, "I" + Bytes<std::int32_t>(1), "", false),
        // an unknown tag
        RawField("N", 1, "Q" + Bytes<std::int32_t>(1), "", false),
        // a run of zero values
        RawField("N", 0, "i" + Bytes<std::uint32_t>(0), "", false),
        // an embedded file whose name runs past the values
        RawField("N", 1, "E" + std::string(68, '\0') + Bytes<std::uint32_t>(1000), "", false),
        // a field without block whose length leaves bytes after the values
        RawField("N", 0, "", "junk", false),
        // a field length below the header
        Bytes<std::uint64_t>(3) + std::string(16, '\0'),
    };
    // Field headers fail when the field is looked for, values when they are read.
    for (const std::string& bad : cases) {
        mZeq.GetError().ClearLastError();
        ASSERT_TRUE(OpenBody(bad));
        if (mZeq.FieldReadBegin("N")) {
            int guard = 0;
            while (mZeq.FieldReadGetRemain() > 0 && ++guard < 100) mZeq.FieldReadC();
            EXPECT_LT(guard, 100);
            mZeq.FieldReadEnd();
        }
        ExpectCorrupted();
    }
}

TEST_F(KZeqCorrupt, NestingIsBounded) {
    std::string body = kGood;
    for (int depth = 0; depth < 300; ++depth) body = RawField("N", 0, "", body, true);
    ASSERT_TRUE(OpenBody(body));
    int depth = 0;
    while (mZeq.FieldReadBegin("N") && mZeq.FieldReadBlockBegin()) ++depth;
    EXPECT_EQ(depth, KZeq::kMaxDepth);
    ExpectCorrupted();
}

TEST_F(KZeqCorrupt, WriterRefusesToNestDeeperThanReadersRead) {
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(mPath.c_str()));
    for (int depth = 0; depth < KZeq::kMaxDepth; ++depth) {
        ASSERT_TRUE(z.FieldWriteBegin("N"));
        ASSERT_TRUE(z.FieldWriteBlockBegin()) << depth;
    }
    ASSERT_TRUE(z.FieldWriteBegin("N"));
    EXPECT_FALSE(z.FieldWriteBlockBegin());
    EXPECT_NE(z.GetLastErrorID(), -1);
    EXPECT_FALSE(z.ProjectClose());
}

// Damage to a valid file of each encoding.
class KZeqDamagedFile : public testing::TestWithParam<zeqtest::Encoding> {
protected:
    std::string WriteValid() {
        KZeq z;
        EXPECT_TRUE(z.ProjectCreate(mPath.c_str(), GetParam().mBinary, GetParam().mEncrypted));
        for (int i = 0; i < 20; ++i) {
            z.FieldWriteBegin("Model");
            z.FieldWriteC("Model::Node");
            z.FieldWriteBlockBegin();
            z.FieldWriteBegin("Values");
            const double values[4] = {1, 2, 3, static_cast<double>(i)};
            z.FieldWriteDn(values, 4);
            z.FieldWriteEnd();
            z.FieldWriteBlockEnd();
            z.FieldWriteEnd();
        }
        EXPECT_TRUE(z.ProjectClose());
        return zeqtest::ReadBytes(mPath);
    }

    // Walks everything; false when the main section could not be read.
    bool OpenAndWalk(KZeq& z) {
        if (!z.ProjectOpen(mPath.c_str(), false, true)) return false;
        while (z.FieldReadBegin("Model")) {
            if (z.FieldReadBlockBegin()) {
                double values[4];
                z.FieldReadDn("Values", values, nullptr, 4);
                z.FieldReadBlockEnd();
            }
            z.FieldReadEnd();
        }
        return true;
    }

    zeqtest::ScratchDir mDir;
    std::string mPath = mDir / "damaged.zeq";
};

TEST_P(KZeqDamagedFile, TruncationIsReportedAsCorrupted) {
    const std::string valid = WriteValid();
    // An ASCII file cut only before its last line break is complete.
    const std::size_t end = GetParam().mBinary ? valid.size() : valid.size() - 1;
    for (std::size_t length = 0; length < end; length += 1 + length / 16) {
        zeqtest::WriteBytes(mPath, valid.substr(0, length));
        KZeq z;
        EXPECT_FALSE(OpenAndWalk(z)) << length;
        EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted) << length;
    }
}

TEST_P(KZeqDamagedFile, FlippedBytesNeverCrash) {
    const std::string valid = WriteValid();
    for (std::size_t at = 0; at < valid.size(); at += 3) {
        std::string damaged = valid;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        zeqtest::WriteBytes(mPath, damaged);
        KZeq z;
        if (!OpenAndWalk(z)) {
            EXPECT_NE(z.GetLastErrorID(), -1) << at;
        }
        // Binary files hold checksums over everything that is read (slot B is unused).
        const bool unusedSlot = at >= zeqdetail::kSlotOffset + zeqdetail::kSlotSize && at < zeqdetail::kFixedHeaderSize;
        if (GetParam().mBinary && !unusedSlot) {
            EXPECT_NE(z.GetLastErrorID(), -1) << at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqDamagedFile, testing::ValuesIn(zeqtest::kEncodings),
                         [](const testing::TestParamInfo<zeqtest::Encoding>& info) {
                             return zeqtest::EncodingName(info.param);
                         });

TEST(KZeqCorruptAscii, MalformedTextIsCorrupted) {
    const char* const cases[] = {
        "",
        "not a field file",
        "@Zeq: 6000\n@Section: 6000\nA: 1\n",                  // no @End
        "@Zeq: 6000\n@Section: 6000\nA: 1 {\n@End\n",          // block not closed
        "@Zeq: 6000\n@Section: 6000\n}\n@End\n",               // closing nothing
        "@Zeq: 6000\n@Section: 6000\nA: \"open\n@End\n",       // string not closed
        "@Zeq: 6000\n@Section: 6000\nA: \"\\q\"\n@End\n",      // unknown escape
        "@Zeq: 6000\n@Section: 6000\nA: \"\\x4\"\n@End\n",     // short hex escape
        "@Zeq: 6000\n@Section: 6000\nA: 1,\n@End\n",           // value missing after a comma
        "@Zeq: 6000\n@Section: 6000\nA 1\n@End\n",             // no colon
        "@Zeq: 6000\n@Section: 6000\nA: 1 2\n@End\n",          // no comma
        "@Zeq: 6000\n@Section: 6000\n@Bogus\n@End\n",          // unknown directive
        "@Zeq: 6000\n@End\n",                                   // no section
        "@Zeq: 6000\n@Section: 6000\n@End\nA: 1\n",            // text after the end
        "@Zeq: abc\n@Section: 6000\n@End\n",                   // version not a number
        "A: 1\n@Zeq: 6000\n@Section: 6000\n@End\n",            // field before the directive
        "@Zeq: 6000\n@Section: 6000\n@Password: \"X\", \"00\", \"00\"\n@End\n",
    };
    zeqtest::ScratchDir dir;
    for (const char* text : cases) {
        zeqtest::WriteBytes(dir / "bad.zeq", text);
        KZeq z;
        EXPECT_FALSE(z.ProjectOpen((dir / "bad.zeq").c_str(), false, true)) << text;
        EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted) << text;
    }
    std::string deep = "@Zeq: 6000\n@Section: 6000\n";
    for (int i = 0; i < 300; ++i) deep += "N: {\n";
    for (int i = 0; i < 300; ++i) deep += "}\n";
    zeqtest::WriteBytes(dir / "deep.zeq", deep + "@End\n");
    KZeq z;
    EXPECT_FALSE(z.ProjectOpen((dir / "deep.zeq").c_str()));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted);
}

}  // namespace
