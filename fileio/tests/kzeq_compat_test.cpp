// What stored files rely on: files written before the checksum and number text
// changed still read, and the checksum agrees with zlib's.

#include <zlib.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Str;

namespace {

class KZeqStoredFile : public testing::TestWithParam<zeqtest::Encoding> {};

// Written by the earlier writers (zlib's CRC-32, nettle's Twofish, "%.15g" text),
// with a password on the main section, an embedded file and an extension section.
TEST_P(KZeqStoredFile, ReadsAsWritten) {
    zeqtest::TempDir dir;
    std::string name = GetParam().mName;  // "before-binary.zeq"
    name[0] = static_cast<char>(std::tolower(name[0]));
    const std::string path = std::string(ZEQ_FILEIO_TEST_DATA) + "/before-" + name + ".zeq";
    KZeq z;
    KZeqFileHeaderInfo header;
    double values[40];
    ASSERT_TRUE(z.ProjectOpen(path.c_str(), true, true, &header)) << z.GetLastErrorString();
    EXPECT_TRUE(Str(header.mCreator) == "fixture" && !z.FieldReadBegin("Model"));
    ASSERT_TRUE(z.CheckPassword("fixture password"));
    EXPECT_EQ(Str(z.FieldReadC("Model", "")), "Model::Cube");
    ASSERT_TRUE(z.FieldReadBegin("Values") && z.FieldReadDn(values, 40) == 40);
    for (int i = 0; i < 40; ++i) EXPECT_NEAR(values[i], i * 0.1 - 1.7, GetParam().mBinary ? 0.0 : 1e-14) << i;
    EXPECT_TRUE(z.FieldReadI() == 42 && z.FieldReadL() == 1234567890123LL);
    if (GetParam().mBinary) {
        KString media("media.txt"), relative("media.txt");
        ASSERT_TRUE(z.FieldReadBegin("Media") && z.FieldReadEmbeddedFile(media, relative, dir.Path().c_str()))
            << z.GetLastErrorString();
        EXPECT_EQ(zeqtest::ReadFile(Str(media)), "embedded media bytes\n");
    }
    ASSERT_TRUE(z.ProjectOpenExtensionSection(0));
    EXPECT_TRUE(Str(z.FieldReadC("Summary", "")) == "extension" && z.GetLastErrorID() == -1);
}

INSTANTIATE_TEST_SUITE_P(Before, KZeqStoredFile, testing::ValuesIn(zeqtest::kEncodings), zeqtest::EncodingName);

// The stored checksums are zlib's: the two agree at every length and alignment,
// also when continued across pieces.
TEST(KZeqChecksum, AgreesWithZlib) {
    std::mt19937 random(7);
    std::vector<unsigned char> data(3 << 20);
    for (auto& b : data) b = static_cast<unsigned char>(random());
    for (int trial = 0; trial < 400; ++trial) {
        const std::size_t offset = random() % 64;
        const std::size_t size = trial < 8 ? (data.size() - 64) >> trial : random() % 9000;
        const std::size_t split = size ? random() % size : 0;
        const unsigned char* p = data.data() + offset;
        const uLong expected =
            ::crc32(::crc32(0, p, static_cast<uInt>(split)), p + split, static_cast<uInt>(size - split));
        const std::uint32_t seed = zeqdetail::Crc32(0, p, split);
        EXPECT_EQ(zeqdetail::Crc32(seed, p + split, size - split), expected) << offset << " " << size << " " << split;
    }
}

}  // namespace
