// Big values: arrays, strings and long value-by-value fields that leave the body
// as chunks (binary) or stream out as text (ASCII), across every size boundary.

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqbody.h"
#include "fileio/tests/kzeq_test_support.h"

using namespace zeqsdk_400;
using zeqdetail::kChunkBytes;
using zeqtest::Encoding;

namespace {

template <class T>
std::string Bytes(T value) {
    std::string out(sizeof(T), '\0');
    std::memcpy(&out[0], &value, sizeof(T));
    return out;
}

std::vector<double> Doubles(std::size_t n, double scale = 0.25) {
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<double>(i) * scale - 1000.0;
    return v;
}

std::vector<int> Ints(std::size_t n) {
    std::vector<int> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<int>(i * 2654435761u);
    return v;
}

class KZeqChunks : public testing::TestWithParam<Encoding> {
protected:
    bool Binary() const { return GetParam().mBinary; }

    void RoundTrip(const std::function<void(KZeq&)>& write) {
        KZeq writer;
        ASSERT_TRUE(writer.ProjectCreate(mPath.c_str(), GetParam().mBinary, GetParam().mEncrypted));
        write(writer);
        ASSERT_EQ(writer.GetLastErrorID(), -1) << writer.GetLastErrorString();
        ASSERT_TRUE(writer.ProjectClose());
        ASSERT_TRUE(mZeq.ProjectOpen(mPath.c_str(), false, true)) << mZeq.GetLastErrorString();
    }

    zeqtest::ScratchDir mDir;
    std::string mPath = mDir / "chunks.zeq";
    KZeq mZeq;
};

// Arrays just below, at and above the sizes where they leave the body, read back
// whole and in pieces that do not line up with the chunks.
TEST_P(KZeqChunks, ArraysAcrossChunkBoundaries) {
    const std::size_t doubleCounts[] = {kChunkBytes / 32 - 1, kChunkBytes / 32, kChunkBytes / 8,
                                        kChunkBytes / 8 + 1, 7 * kChunkBytes / 16 + 3};
    const std::vector<double> doubles = Doubles(doubleCounts[4]);
    const std::vector<int> ints = Ints(kChunkBytes / 4 * 2 + 5);
    std::vector<float> floats(kChunkBytes / 4 + 9);
    for (std::size_t i = 0; i < floats.size(); ++i) floats[i] = static_cast<float>(i) * 0.5f;
    std::vector<kLongLong> longs(kChunkBytes / 8 * 3 + 1);
    for (std::size_t i = 0; i < longs.size(); ++i) longs[i] = static_cast<kLongLong>(i) * 1539538600LL - 7;
    RoundTrip([&](KZeq& z) {
        for (std::size_t count : doubleCounts) {
            z.FieldWriteBegin("D");
            z.FieldWriteDn(doubles.data(), static_cast<int>(count));
        }
        z.FieldWriteBegin("I");
        z.FieldWriteIn(ints.data(), static_cast<int>(ints.size()));
        z.FieldWriteBegin("F");
        z.FieldWriteFn(floats.data(), static_cast<int>(floats.size()));
        z.FieldWriteBegin("L");
        z.FieldWriteLn(longs.data(), static_cast<int>(longs.size()));
        z.FieldWriteEnd();
    });
    for (std::size_t count : doubleCounts) {
        ASSERT_TRUE(mZeq.FieldReadBegin("D"));
        ASSERT_EQ(mZeq.FieldReadGetCount(), static_cast<int>(count));
        std::vector<double> read(count + 1, 7.0);
        // Odd pieces, then one value at a time for the last few.
        std::size_t done = 0;
        while (count - done > 5) {
            const int piece = static_cast<int>(std::min<std::size_t>(100003, count - done - 5));
            ASSERT_EQ(mZeq.FieldReadDn(read.data() + done, piece), piece);
            done += static_cast<std::size_t>(piece);
        }
        while (done < count) {
            // ASCII keeps no types: whole numbers read as 'I'.
            if (Binary()) {
                EXPECT_EQ(mZeq.FieldReadGetType(), 'D');
            }
            read[done++] = mZeq.FieldReadD();
        }
        EXPECT_EQ(mZeq.FieldReadGetRemain(), 0);
        EXPECT_EQ(mZeq.FieldReadDn(read.data() + count, 1), 0);
        EXPECT_EQ(read[count], 7.0);  // untouched past the field
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(read[i], doubles[i]) << count << " " << i;
        mZeq.FieldReadEnd();
    }
    std::vector<int> readInts(ints.size());
    ASSERT_TRUE(mZeq.FieldReadBegin("I"));
    EXPECT_EQ(mZeq.FieldReadIn(readInts.data(), static_cast<int>(readInts.size())), static_cast<int>(ints.size()));
    EXPECT_EQ(readInts, ints);
    std::vector<float> readFloats(floats.size());
    ASSERT_TRUE(mZeq.FieldReadBegin("F"));
    EXPECT_EQ(mZeq.FieldReadFn(readFloats.data(), static_cast<int>(readFloats.size())), static_cast<int>(floats.size()));
    EXPECT_EQ(readFloats, floats);
    std::vector<kLongLong> readLongs(longs.size());
    ASSERT_TRUE(mZeq.FieldReadBegin("L"));
    EXPECT_EQ(mZeq.FieldReadLn(readLongs.data(), static_cast<int>(readLongs.size())), static_cast<int>(longs.size()));
    EXPECT_EQ(readLongs, longs);
    EXPECT_EQ(mZeq.GetLastErrorID(), -1);
}

// Curve keys as curves store them: mixed types value by value in one field, far
// more than one chunk, with arrays and strings in between.
TEST_P(KZeqChunks, MixedValuesOneByOne) {
    const int keys = 120000;
    RoundTrip([&](KZeq& z) {
        z.FieldWriteBegin("Key");
        for (int i = 0; i < keys; ++i) {
            z.FieldWriteL(static_cast<kLongLong>(i) * 1539538600LL);
            z.FieldWriteD(static_cast<double>(i % 1000) * 0.25);
            z.FieldWriteCH('U');
            z.FieldWriteCH(static_cast<char>('a' + i % 26));
            z.FieldWriteI(i);
            if (i % 10000 == 0) {
                const double run[6] = {1, 2, 3, 4, 5, static_cast<double>(i)};
                z.FieldWriteDn(run, 6);
                z.FieldWriteC("text, \"quoted\"");
            }
        }
        z.FieldWriteEnd();
        z.FieldWriteBegin("After");
        z.FieldWriteI(42);
        z.FieldWriteEnd();
    });
    ASSERT_TRUE(mZeq.FieldReadBegin("Key"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), keys * 5 + (keys / 10000) * 7);
    for (int i = 0; i < keys; ++i) {
        if (Binary()) {
            ASSERT_EQ(mZeq.FieldReadGetType(), 'L') << i;
        }
        ASSERT_EQ(mZeq.FieldReadL(), static_cast<kLongLong>(i) * 1539538600LL) << i;
        ASSERT_EQ(mZeq.FieldReadD(), static_cast<double>(i % 1000) * 0.25) << i;
        ASSERT_EQ(mZeq.FieldReadCH(), 'U') << i;
        ASSERT_EQ(mZeq.FieldReadCH(), static_cast<char>('a' + i % 26)) << i;
        ASSERT_EQ(mZeq.FieldReadI(), i) << i;
        if (i % 10000 == 0) {
            double run[6] = {};
            ASSERT_EQ(mZeq.FieldReadDn(run, 6), 6);
            EXPECT_EQ(run[5], static_cast<double>(i));
            EXPECT_EQ(std::string(mZeq.FieldReadC().Buffer()), "text, \"quoted\"");
        }
    }
    EXPECT_EQ(mZeq.FieldReadGetRemain(), 0);
    EXPECT_TRUE(mZeq.FieldReadEnd());
    EXPECT_EQ(mZeq.FieldReadI("After", 0), 42);
    EXPECT_EQ(mZeq.GetLastErrorID(), -1);
}

// A single value larger than a chunk, and strings around the size where they
// leave the body; any byte survives.
TEST_P(KZeqChunks, HugeSingleValues) {
    std::string huge(3 * kChunkBytes + 11, '\0');
    for (std::size_t i = 0; i < huge.size(); ++i) huge[i] = static_cast<char>(i * 7 + i / 256);
    const std::size_t sizes[] = {kChunkBytes / 4 - 1, kChunkBytes / 4, huge.size()};
    RoundTrip([&](KZeq& z) {
        z.FieldWriteBegin("Strings");
        z.FieldWriteI(1);
        for (std::size_t size : sizes) z.FieldWriteC(huge.data(), size);
        z.FieldWriteI(2);
        z.FieldWriteEnd();
    });
    ASSERT_TRUE(mZeq.FieldReadBegin("Strings"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), 5);
    EXPECT_EQ(mZeq.FieldReadI(), 1);
    for (std::size_t size : sizes) {
        EXPECT_EQ(mZeq.FieldReadGetType(), 'S');
        const KString text = mZeq.FieldReadC();
        ASSERT_EQ(text.GetLen(), size);
        EXPECT_EQ(std::memcmp(text.Buffer(), huge.data(), size), 0) << size;
    }
    EXPECT_EQ(mZeq.FieldReadI(), 2);
    EXPECT_EQ(mZeq.GetLastErrorID(), -1);
}

// A parent's values, read on after its block was read, come from the parent's own
// chunk; fields read again load their chunks again.
TEST_P(KZeqChunks, NestedBlocksKeepTheirChunks) {
    const std::vector<double> outer = Doubles(kChunkBytes / 8 * 2 + 3);
    const std::vector<int> inner = Ints(kChunkBytes / 4 + 1);
    RoundTrip([&](KZeq& z) {
        z.FieldWriteBegin("Outer");
        z.FieldWriteDn(outer.data(), static_cast<int>(outer.size()));
        z.FieldWriteBlockBegin();
        z.FieldWriteBegin("Inner");
        z.FieldWriteIn(inner.data(), static_cast<int>(inner.size()));
        z.FieldWriteEnd();
        z.FieldWriteBlockEnd();
        z.FieldWriteEnd();
    });
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(mZeq.FieldReadBegin("Outer"));
        std::vector<double> readOuter(outer.size());
        const int half = static_cast<int>(outer.size() / 2);
        ASSERT_EQ(mZeq.FieldReadDn(readOuter.data(), half), half);
        ASSERT_TRUE(mZeq.FieldReadBlockBegin());
        ASSERT_TRUE(mZeq.FieldReadBegin("Inner"));
        std::vector<int> readInner(inner.size());
        ASSERT_EQ(mZeq.FieldReadIn(readInner.data(), static_cast<int>(inner.size())), static_cast<int>(inner.size()));
        EXPECT_EQ(readInner, inner);
        ASSERT_TRUE(mZeq.FieldReadBlockEnd());
        const int rest = static_cast<int>(outer.size()) - half;
        ASSERT_EQ(mZeq.FieldReadDn(readOuter.data() + half, rest), rest);
        EXPECT_EQ(readOuter, outer);
        mZeq.FieldReadEnd();
        mZeq.FieldReadResetPosition();
    }
    EXPECT_EQ(mZeq.GetLastErrorID(), -1);
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqChunks, testing::ValuesIn(zeqtest::kEncodings),
                         [](const testing::TestParamInfo<Encoding>& info) { return zeqtest::EncodingName(info.param); });

// --- binary only --------------------------------------------------------------------------

class KZeqChunkFile : public testing::Test {
protected:
    zeqtest::ScratchDir mDir;
    std::string mPath = mDir / "chunks.zeq";
};

// Damage inside one chunk: the values before it are delivered, the rest of the
// caller's array stays untouched, and other fields stay readable.
TEST_F(KZeqChunkFile, DamagedChunkStopsAtItsStart) {
    const std::vector<double> values = Doubles(kChunkBytes / 8 * 3);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(mPath.c_str()));
        z.FieldWriteBegin("Before");
        z.FieldWriteI(1);
        z.FieldWriteBegin("Big");
        z.FieldWriteDn(values.data(), static_cast<int>(values.size()));
        z.FieldWriteBegin("After");
        z.FieldWriteI(2);
        ASSERT_TRUE(z.ProjectClose());
    }
    std::string file = zeqtest::ReadBytes(mPath);
    // The second chunk holds the second third of the values.
    const std::string marker = Bytes(values[values.size() / 2]);
    const std::size_t at = file.find(marker);
    ASSERT_NE(at, std::string::npos);
    file[at] = static_cast<char>(file[at] ^ 1);
    zeqtest::WriteBytes(mPath, file);

    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
    EXPECT_EQ(z.FieldReadI("After", 0), 2);
    ASSERT_TRUE(z.FieldReadBegin("Big"));
    std::vector<double> read(values.size(), -1.0);
    const int got = z.FieldReadDn(read.data(), static_cast<int>(read.size()));
    EXPECT_EQ(got, static_cast<int>(values.size() / 3));
    EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted);
    for (int i = 0; i < got; ++i) ASSERT_EQ(read[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(i)]);
    for (std::size_t i = static_cast<std::size_t>(got); i < read.size(); ++i) ASSERT_EQ(read[i], -1.0) << i;
    EXPECT_EQ(z.FieldReadGetRemain(), 0);
}

// Hand-made chunk references: a good one reads; every inconsistency is error 0.
TEST_F(KZeqChunkFile, ChunkReferencesAreChecked) {
    const std::string run = "i" + Bytes<std::uint32_t>(3) + Bytes<std::int32_t>(10) + Bytes<std::int32_t>(11) +
                            Bytes<std::int32_t>(12);
    const std::string nested = "X" + std::string(zeqdetail::kChunkRefSize, '\0');
    struct Case {
        const char* mWhat;
        std::string mData;
        std::function<std::string(std::uint64_t)> mValues;  // from the data offset
        std::uint32_t mCount;
        bool mGood;
    };
    const Case cases[] = {
        {"good", run, [&](std::uint64_t at) { return zeqtest::ChunkRef(3, run, at) + "I" + Bytes<std::int32_t>(13); },
         4, true},
        {"crc mismatch", run,
         [&](std::uint64_t at) {
             std::string ref = zeqtest::ChunkRef(3, run, at);
             ref[21] = static_cast<char>(ref[21] ^ 1);
             return ref;
         },
         3, false},
        {"before the data", run, [&](std::uint64_t) { return zeqtest::ChunkRef(3, run, 0); }, 3, false},
        {"into the body", run, [&](std::uint64_t at) { return zeqtest::ChunkRef(3, run, at + 1); }, 3, false},
        {"count zero", run, [&](std::uint64_t at) { return zeqtest::ChunkRef(0, run, at); }, 0, false},
        {"more than the field", run, [&](std::uint64_t at) { return zeqtest::ChunkRef(3, run, at); }, 2, false},
        {"chunk holds more", run, [&](std::uint64_t at) { return zeqtest::ChunkRef(2, run, at); }, 2, false},
        {"chunk holds fewer", run + "I" + Bytes<std::int32_t>(1),
         [&](std::uint64_t at) { return zeqtest::ChunkRef(5, run + "I" + Bytes<std::int32_t>(1), at); }, 5, false},
        {"bytes after the values", run + "junk",
         [&](std::uint64_t at) { return zeqtest::ChunkRef(3, run + "junk", at); }, 3, false},
        {"chunk in a chunk", nested, [&](std::uint64_t at) { return zeqtest::ChunkRef(1, nested, at); }, 1, false},
        {"reference cut short", run, [&](std::uint64_t at) { return zeqtest::ChunkRef(3, run, at).substr(0, 40); }, 3,
         false},
    };
    for (const Case& c : cases) {
        // The body's size does not depend on the offset, so build it twice.
        std::uint64_t at = 0;
        zeqtest::MakeBinaryFileWithData(c.mData, zeqtest::RawField("N", c.mCount, c.mValues(0), "", false), at);
        const std::string file =
            zeqtest::MakeBinaryFileWithData(c.mData, zeqtest::RawField("N", c.mCount, c.mValues(at), "", false), at);
        zeqtest::WriteBytes(mPath, file);
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true)) << c.mWhat;
        ASSERT_TRUE(z.FieldReadBegin("N")) << c.mWhat;
        int values[8] = {};
        const int read = z.FieldReadIn(values, 8);
        z.FieldReadEnd();
        if (c.mGood) {
            EXPECT_EQ(read, 4);
            EXPECT_EQ(values[0], 10);
            EXPECT_EQ(values[3], 13);
            EXPECT_EQ(z.GetLastErrorID(), -1);
        } else {
            EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileCorrupted) << c.mWhat;
        }
    }
}

// Chunks of an encrypted file are enciphered like its body, and a password
// protects them with the section.
TEST_F(KZeqChunkFile, EncryptedChunksHoldNoPlainText) {
    std::string text(kChunkBytes + 100, 'p');
    std::memcpy(&text[1000], "PLAINTEXT-MARKER", 16);
    std::vector<int> ints(kChunkBytes / 4 + 1, 0x41424344);
    for (const char* password : {"", "secret"}) {
        {
            KZeq z;
            ASSERT_TRUE(z.ProjectCreate(mPath.c_str(), true, true));
            z.FieldWriteBegin("Text");
            z.FieldWriteC(text.data(), text.size());
            z.FieldWriteBegin("Ints");
            z.FieldWriteIn(ints.data(), static_cast<int>(ints.size()));
            z.ProjectSetPassword(password);
            ASSERT_TRUE(z.ProjectClose());
        }
        const std::string file = zeqtest::ReadBytes(mPath);
        EXPECT_EQ(file.find("PLAINTEXT-MARKER"), std::string::npos);
        EXPECT_EQ(file.find("ABCDABCDABCD"), std::string::npos);
        EXPECT_EQ(file.find("DCBADCBADCBA"), std::string::npos);
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str(), false, true));
        if (*password) {
            EXPECT_FALSE(z.CheckPassword("wrong"));
            EXPECT_FALSE(z.FieldReadBegin("Text"));
            EXPECT_TRUE(z.CheckPassword(password));
        }
        ASSERT_TRUE(z.FieldReadBegin("Text"));
        const KString read = z.FieldReadC();
        EXPECT_EQ(std::string(read.Buffer(), read.GetLen()), text);
        std::vector<int> readInts(ints.size());
        ASSERT_TRUE(z.FieldReadBegin("Ints"));
        EXPECT_EQ(z.FieldReadIn(readInts.data(), static_cast<int>(readInts.size())), static_cast<int>(ints.size()));
        EXPECT_EQ(readInts, ints);
        EXPECT_EQ(z.GetLastErrorID(), -1);
    }
}

// A write-back section with chunks is published like any other; one abandoned
// with an error leaves the file exactly as it was.
TEST_F(KZeqChunkFile, WriteBackWithChunks) {
    const std::vector<double> values = Doubles(kChunkBytes / 8 * 2 + 1);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectCreate(mPath.c_str()));
        z.FieldWriteBegin("Main");
        z.FieldWriteI(1);
        ASSERT_TRUE(z.ProjectClose());
    }
    const std::string before = zeqtest::ReadBytes(mPath);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str()));
        ASSERT_TRUE(z.ProjectCreateExtensionSection());
        z.FieldWriteBegin("Summary");
        z.FieldWriteDn(values.data(), static_cast<int>(values.size()));
        z.GetError().SetLastErrorID(KZeq::eOperationNotAllowed);
        EXPECT_FALSE(z.ProjectClose());
    }
    EXPECT_EQ(zeqtest::ReadBytes(mPath), before);
    {
        KZeq z;
        ASSERT_TRUE(z.ProjectOpen(mPath.c_str()));
        ASSERT_TRUE(z.ProjectCreateExtensionSection());
        z.FieldWriteBegin("Summary");
        z.FieldWriteDn(values.data(), static_cast<int>(values.size()));
        ASSERT_TRUE(z.ProjectCloseSection());
        ASSERT_TRUE(z.ProjectOpenExtensionSection(0));
        ASSERT_TRUE(z.FieldReadBegin("Summary"));
        std::vector<double> read(values.size());
        EXPECT_EQ(z.FieldReadDn(read.data(), static_cast<int>(read.size())), static_cast<int>(values.size()));
        EXPECT_EQ(read, values);
        ASSERT_TRUE(z.ProjectClose());
    }
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(mPath.c_str()));
    ASSERT_TRUE(z.ProjectOpenExtensionSection(0));
    ASSERT_TRUE(z.FieldReadBegin("Summary"));
    EXPECT_EQ(z.FieldReadGetCount(), static_cast<int>(values.size()));
    EXPECT_EQ(z.FieldReadD(), values[0]);
}

// Replacing the last extension section of a file being created drops its chunks too.
TEST_F(KZeqChunkFile, ReplacedSectionTakesItsChunksAlong) {
    const std::vector<double> values = Doubles(kChunkBytes / 8 * 4);
    KZeq z;
    ASSERT_TRUE(z.ProjectCreate(mPath.c_str()));
    ASSERT_TRUE(z.ProjectCloseSection());
    ASSERT_TRUE(z.ProjectCreateExtensionSection());
    z.FieldWriteBegin("Big");
    z.FieldWriteDn(values.data(), static_cast<int>(values.size()));
    ASSERT_TRUE(z.ProjectCloseSection());
    ASSERT_TRUE(z.ProjectCreateExtensionSection(true));
    z.FieldWriteBegin("Small");
    z.FieldWriteI(3);
    ASSERT_TRUE(z.ProjectClose());
    EXPECT_LT(zeqtest::ReadBytes(mPath).size(), kChunkBytes);
    KZeq reader;
    ASSERT_TRUE(reader.ProjectOpen(mPath.c_str()));
    ASSERT_TRUE(reader.ProjectOpenExtensionSection(0));
    EXPECT_EQ(reader.FieldReadI("Small", 0), 3);
}

// A stream that fails part-way through a chunk fails the file being written.
class FailingMemoryFile final : public KChainedFile {
public:
    explicit FailingMemoryFile(std::size_t limit) : mLimit(limit) {}
    std::size_t Read(void* buffer, std::size_t size) override { return mMemory.Read(buffer, size); }
    std::size_t Write(const void* data, std::size_t size) override {
        const std::size_t room = mMemory.GetPosition() >= mLimit ? 0 : mLimit - mMemory.GetPosition();
        return mMemory.Write(data, std::min(size, room));
    }
    bool Seek(kULongLong position) override { return mMemory.Seek(position); }
    kULongLong GetPosition() const override { return mMemory.GetPosition(); }
    kULongLong GetSize() override { return mMemory.GetSize(); }
    bool Flush() override { return true; }
    bool Sync() override { return true; }
    bool Truncate(kULongLong size) override { return mMemory.Truncate(size); }

private:
    KChainedMemoryFile mMemory;
    std::size_t mLimit;
};

TEST(KZeqChunkStream, WriteFailureInAChunkIsReported) {
    for (bool encrypted : {false, true}) {
        FailingMemoryFile stream(kChunkBytes / 2);
        const std::vector<double> values = Doubles(kChunkBytes / 8 * 2);
        KZeq z;
        ASSERT_TRUE(z.ProjectCreateStream(stream, true, encrypted));
        z.FieldWriteBegin("Big");
        EXPECT_FALSE(z.FieldWriteDn(values.data(), static_cast<int>(values.size())));
        EXPECT_EQ(z.GetLastErrorID(), KZeq::eFileWriteError);
        EXPECT_FALSE(z.FieldWriteI(1));
        EXPECT_FALSE(z.ProjectClose());
    }
}

}  // namespace
