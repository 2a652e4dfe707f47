// Bad input: hand-made binary bodies and chunk references, damaged and truncated
// files of each encoding, malformed text, nesting, failing streams. Bad data is
// error 0 ("File is corrupted"), never a crash, a hang or an allocation of what the
// file claims.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqbody.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqdetail::kChunkBytes;
using zeqtest::Bytes;
using zeqtest::ChunkRef;
using zeqtest::RawField;

namespace {

// The field "N" of a hand-made body (built for where its chunk data lands) and the
// data its chunk references point into.
struct BodyCase {
    const char* mWhat;
    std::function<std::string(std::uint64_t dataOffset)> mBody;
    std::string mData = "";
    std::vector<int> mGood = {};  // the values of "N"; empty: corrupted
};

std::string Ints(std::initializer_list<std::int32_t> values) {
    std::string out = "i" + Bytes<std::uint32_t>(static_cast<std::uint32_t>(values.size()));
    for (std::int32_t v : values) out += Bytes(v);
    return out;
}

std::string Field(std::uint32_t count, const std::string& values, const std::string& block = "") {
    return RawField("N", count, values, block, false);
}

TEST(KZeqCorrupt, HandMadeBodies) {
    const std::string run = Ints({10, 11, 12}), nested = "X" + std::string(zeqdetail::kChunkRefSize, '\0');
    auto fixed = [](std::string body) { return [body](std::uint64_t) { return body; }; };
    auto chunk = [](std::uint32_t count, std::string data, std::uint32_t fieldCount, std::string tail = "",
                    std::int64_t shift = 0) {
        return [=](std::uint64_t at) { return Field(fieldCount, ChunkRef(count, data, at + shift) + tail); };
    };
    const BodyCase cases[] = {
        {"good run", fixed(Field(3, run)), "", {10, 11, 12}},
        {"good chunk", chunk(3, run, 4, "I" + Bytes<std::int32_t>(13)), run, {10, 11, 12, 13}},
        {"field length past the block", fixed(Bytes<std::uint64_t>(0x40) + Field(0, "").substr(8))},
        {"name length beyond the field", fixed(Field(0, "").replace(8, 4, Bytes<std::uint32_t>(0x7FFFFFFF)))},
        {"value bytes beyond the field", fixed(RawField("N", 0, "", "", true).replace(16, 8, Bytes(~0ull)))},
        {"four billion doubles",
         fixed(Field(0xFFFFFFFF, "d" + Bytes<std::uint32_t>(0xFFFFFFFF) + std::string(16, '\0')))},
        {"string longer than the values", fixed(Field(1, "S" + Bytes<std::uint32_t>(0xFFFFFFF0) + "abc"))},
        {"more values than counted", fixed(Field(1, "I" + Bytes<std::int32_t>(1) + "I" + Bytes<std::int32_t>(2)))},
        {"fewer values than counted", fixed(Field(3, "I" + Bytes<std::int32_t>(1)))},
        {"unknown tag", fixed(Field(1, "Q" + Bytes<std::int32_t>(1)))},
        {"run of zero values", fixed(Field(0, Ints({})))},
        {"embedded name past the values", fixed(Field(1, "E" + std::string(68, '\0') + Bytes<std::uint32_t>(1000)))},
        {"bytes after the values", fixed(Field(0, "", "junk"))},
        {"field length below the header", fixed(Bytes<std::uint64_t>(3) + std::string(16, '\0'))},
        {"chunk crc mismatch", [&](std::uint64_t at) { return Field(3, zeqtest::Flipped(ChunkRef(3, run, at), 21)); },
         run},
        {"chunk before the data", fixed(Field(3, ChunkRef(3, run, 0))), run},
        {"chunk into the body", chunk(3, run, 3, "", 1), run},
        {"chunk of zero values", chunk(0, run, 0), run},
        {"chunk more than the field", chunk(3, run, 2), run},
        {"chunk holds more", chunk(2, run, 2), run},
        {"chunk holds fewer", chunk(5, run + "I" + Bytes<std::int32_t>(1), 5), run + "I" + Bytes<std::int32_t>(1), {}},
        {"chunk with bytes after the values", chunk(3, run + "junk", 3), run + "junk", {}},
        {"chunk in a chunk", chunk(1, nested, 1), nested, {}},
        {"chunk reference cut short", [&](std::uint64_t at) { return Field(3, ChunkRef(3, run, at).substr(0, 40)); },
         run},
    };
    const std::string good = RawField("Good", 1, "I" + Bytes<std::int32_t>(7));
    zeqtest::TempDir dir;
    const std::string path = dir / "bad.zeq";
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.mWhat);
        std::uint64_t at = 0;
        zeqtest::MakeBinaryZeq(good + c.mBody(0), 6000, false, c.mData, &at);
        zeqtest::WriteFile(path, zeqtest::MakeBinaryZeq(good + c.mBody(at), 6000, false, c.mData));
        KZeq z;  // what lies before stays readable
        ASSERT_TRUE(z.ProjectOpen(path.c_str(), false, true) && z.FieldReadI("Good", 0) == 7);
        // Field headers fail when the field is looked for, values when they are read.
        int values[8] = {}, read = 0;
        if (z.FieldReadBegin("N")) {
            read = z.FieldReadIn(values, 8);
            for (int guard = 0; z.FieldReadGetRemain() > 0 && guard < 100; ++guard) z.FieldReadC();
            EXPECT_EQ(z.FieldReadGetRemain(), 0);
            z.FieldReadEnd();
        }
        EXPECT_EQ(z.GetLastErrorID(), c.mGood.empty() ? KZeq::eFileCorrupted : -1);
        if (!c.mGood.empty()) { EXPECT_EQ(std::vector<int>(values, values + read), c.mGood); }
    }
}

// Damage inside one chunk: the values before it are delivered (the rest of the
// caller's array holds anything, since chunks are read straight into it), the
// call reports corruption, and other fields stay readable.
TEST(KZeqCorrupt, DamagedChunkStopsAtItsStart) {
    std::vector<double> values(kChunkBytes / 8 * 3);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i) * 0.25 - 1000.0;
    zeqtest::TempDir dir;
    const std::string path = dir / "chunks.zeq";
    ASSERT_TRUE(zeqtest::WriteZeq(path, zeqtest::kBinary, [&](KZeq& z) {
        zeqtest::Put(z, "Big", values);
        zeqtest::Put(z, "After", 2);
    }));
    const std::string file = zeqtest::ReadFile(path);
    // The second chunk holds the second third of the values.
    const std::size_t at = file.find(Bytes(values[values.size() / 2]));
    ASSERT_NE(at, std::string::npos);
    zeqtest::WriteFile(path, zeqtest::Flipped(file, at));
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str(), false, true) && z.FieldReadI("After", 0) == 2 && z.FieldReadBegin("Big"));
    std::vector<double> read(values.size(), -1.0);
    const std::size_t got = static_cast<std::size_t>(z.FieldReadDn(read.data(), static_cast<int>(read.size())));
    ASSERT_EQ(got, values.size() / 3);
    EXPECT_TRUE(z.GetLastErrorID() == KZeq::eFileCorrupted && z.FieldReadGetRemain() == 0);
    EXPECT_TRUE(std::equal(read.begin(), read.begin() + static_cast<std::ptrdiff_t>(got), values.begin()));
}

// Readers and writers stop at the same depth.
TEST(KZeqCorrupt, NestingIsBounded) {
    zeqtest::TempDir dir;
    std::string body = RawField("Good", 1, "I" + Bytes<std::int32_t>(7));
    for (int depth = 0; depth < 300; ++depth) body = RawField("N", 0, "", body, true);
    zeqtest::WriteFile(dir / "deep.zeq", zeqtest::MakeBinaryZeq(body));
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen((dir / "deep.zeq").c_str(), false, true));
    int depth = 0;
    while (z.FieldReadBegin("N") && z.FieldReadBlockBegin()) ++depth;
    EXPECT_TRUE(depth == KZeq::kMaxDepth && z.GetLastErrorID() == KZeq::eFileCorrupted) << depth;

    std::string text = "@Zeq: 6000\n@Section: 6000\n";
    for (int i = 0; i < 600; ++i) text += i < 300 ? "N: {\n" : "}\n";
    EXPECT_EQ(zeqtest::OpenError(dir / "deep.zeq", text + "@End\n"), KZeq::eFileCorrupted);

    // A writer of either encoding refuses the block past the limit as an operation not allowed
    // (not as memory running out), and the file with it.
    for (bool binary : {true, false}) {
        KZeq writer;
        ASSERT_TRUE(writer.ProjectCreate((dir / "written.zeq").c_str(), binary));
        for (int level = 0; level < KZeq::kMaxDepth; ++level)
            ASSERT_TRUE(writer.FieldWriteBegin("N") && writer.FieldWriteBlockBegin()) << level;
        ASSERT_TRUE(writer.FieldWriteBegin("N"));
        EXPECT_FALSE(writer.FieldWriteBlockBegin());
        EXPECT_EQ(writer.GetLastErrorID(), KZeq::eOperationNotAllowed) << binary;
        EXPECT_FALSE(writer.ProjectClose());
    }
}

// Damage to a valid file of each encoding.
class KZeqDamagedFile : public testing::TestWithParam<zeqtest::Encoding> {
protected:
    void SetUp() override {
        ASSERT_TRUE(zeqtest::WriteZeq(mPath, GetParam(), [](KZeq& z) {
            for (int i = 0; i < 20; ++i) {
                zeqtest::Put(z, "Model", "Model::Node");
                z.FieldWriteBlockBegin();
                zeqtest::Put(z, "Values", std::vector<double>{1, 2, 3, static_cast<double>(i)});
                z.FieldWriteEnd();
                z.FieldWriteBlockEnd();
                z.FieldWriteEnd();
            }
        }));
        mValid = zeqtest::ReadFile(mPath);
    }

    // Opens and walks everything; false when the main section could not be read.
    bool OpenAndWalk(KZeq& z, const std::string& bytes) {
        zeqtest::WriteFile(mPath, bytes);
        if (!z.ProjectOpen(mPath.c_str(), false, true)) return false;
        while (z.FieldReadBegin("Model")) {
            if (z.FieldReadBlockBegin()) {
                double values[4];
                z.FieldReadDn("Values", values, nullptr, 4);
                z.FieldReadBlockEnd();
            }
        }
        return true;
    }

    zeqtest::TempDir mDir;
    std::string mPath = mDir / "damaged.zeq";
    std::string mValid;
};

TEST_P(KZeqDamagedFile, TruncatedOrFlippedBytes) {
    // An ASCII file cut only before its last line break is complete.
    const std::size_t end = GetParam().mBinary ? mValid.size() : mValid.size() - 1;
    for (std::size_t length = 0; length < end; length += 1 + length / 16) {
        KZeq z;
        EXPECT_TRUE(!OpenAndWalk(z, mValid.substr(0, length)) && z.GetLastErrorID() == KZeq::eFileCorrupted) << length;
    }
    for (std::size_t at = 0; at < mValid.size(); at += 3) {
        KZeq z;
        const bool read = OpenAndWalk(z, zeqtest::Flipped(mValid, at, 0x5A));
        // Binary files hold checksums over everything that is read (slot B is unused).
        const bool unusedSlot = at >= zeqdetail::kSlotOffset + zeqdetail::kSlotSize && at < zeqdetail::kFixedHeaderSize;
        if (!read || (GetParam().mBinary && !unusedSlot)) { EXPECT_NE(z.GetLastErrorID(), -1) << at; }
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqDamagedFile, testing::ValuesIn(zeqtest::kEncodings), zeqtest::EncodingName);

TEST(KZeqCorrupt, MalformedText) {
    const char* const cases[] = {
        "",
        "not a field file",
        "@Zeq: 6000\n@Section: 6000\nA: 1\n",              // no @End
        "@Zeq: 6000\n@Section: 6000\nA: 1 {\n@End\n",      // block not closed
        "@Zeq: 6000\n@Section: 6000\n}\n@End\n",           // closing nothing
        "@Zeq: 6000\n@Section: 6000\nA: \"open\n@End\n",   // string not closed
        "@Zeq: 6000\n@Section: 6000\nA: \"\\q\"\n@End\n",  // unknown escape
        "@Zeq: 6000\n@Section: 6000\nA: \"\\x4\"\n@End\n", // short hex escape
        "@Zeq: 6000\n@Section: 6000\nA: 1,\n@End\n",       // value missing after a comma
        "@Zeq: 6000\n@Section: 6000\nA 1\n@End\n",         // no colon
        "@Zeq: 6000\n@Section: 6000\nA: 1 2\n@End\n",      // no comma
        "@Zeq: 6000\n@Section: 6000\n@Bogus\n@End\n",      // unknown directive
        "@Zeq: 6000\n@End\n",                               // no section
        "@Zeq: 6000\n@Section: 6000\n@End\nA: 1\n",        // text after the end
        "@Zeq: abc\n@Section: 6000\n@End\n",               // version not a number
        "A: 1\n@Zeq: 6000\n@Section: 6000\n@End\n",        // field before the directive
        "@Zeq: 6000\n@Section: 6000\n@Password: \"X\", \"00\", \"00\"\n@End\n",
    };
    zeqtest::TempDir dir;
    for (const char* text : cases) EXPECT_EQ(zeqtest::OpenError(dir / "bad.zeq", text), KZeq::eFileCorrupted) << text;
}

// A stream that fails part-way through a chunk, as a full disk does, fails the file
// being written.
struct FullDisk final : KChainedLayer {
    FullDisk(KChainedFile& next, kULongLong limit) : KChainedLayer(next), mLimit(limit) {}
    std::size_t Write(const void* data, std::size_t size) override {
        const kULongLong room = GetPosition() >= mLimit ? 0 : mLimit - GetPosition();
        return GetNext().Write(data, static_cast<std::size_t>(std::min<kULongLong>(size, room)));
    }
    kULongLong mLimit;
};

TEST(KZeqCorrupt, WriteFailureInAChunkIsReported) {
    const std::vector<double> values(kChunkBytes / 8 * 2, 1.5);
    for (bool encrypted : {false, true}) {
        KChainedMemoryFile memory;
        FullDisk stream(memory, kChunkBytes / 2);
        KZeq z;
        ASSERT_TRUE(z.ProjectCreateStream(stream, true, encrypted));
        z.FieldWriteBegin("Big");
        EXPECT_FALSE(z.FieldWriteDn(values.data(), static_cast<int>(values.size())));
        EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileWriteError);
        EXPECT_FALSE(z.FieldWriteI(1) || z.ProjectClose());
    }
}

}  // namespace
