#include "fileio/kchainedfile.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;

namespace {

// Memory and disk files behave alike: writing past the end fills with zeros,
// reads stop at the end, truncation shortens.
TEST(KChainedFile, MemoryAndStdioFilesBehaveAlike) {
    zeqtest::TempDir dir;
    KChainedStdioFile disk;
    EXPECT_FALSE(disk.Open((dir / "none/x").c_str(), "rb"));
    ASSERT_TRUE(disk.Open((dir / "x").c_str(), "w+b"));
    KChainedMemoryFile memory;
    for (KChainedFile* file : {static_cast<KChainedFile*>(&memory), static_cast<KChainedFile*>(&disk)}) {
        EXPECT_EQ(file->Write("hello", 5), 5u);
        ASSERT_TRUE(file->Seek(8));
        EXPECT_EQ(file->Write("!", 1), 1u);
        EXPECT_EQ(file->GetSize(), 9u);
        ASSERT_TRUE(file->Seek(0));
        char buffer[16] = {};
        EXPECT_EQ(file->Read(buffer, sizeof(buffer)), 9u);
        EXPECT_EQ(std::memcmp(buffer, "hello\0\0\0!", 9), 0);
        EXPECT_EQ(file->Read(buffer, 1), 0u);
        ASSERT_TRUE(file->Truncate(4));
        ASSERT_TRUE(file->Seek(1));
        EXPECT_EQ(file->Read(buffer, sizeof(buffer)), 3u);
        EXPECT_EQ(std::string(buffer, 3), "ell");
        EXPECT_TRUE(file->Sync());
    }
}

TEST(KChainedFile, CrcLayerComputesCrc32) {
    KChainedMemoryFile memory;
    KChainedCrcFile crc(memory);
    EXPECT_EQ(crc.Write("12345", 5), 5u);
    EXPECT_EQ(crc.Write("6789", 4), 4u);
    EXPECT_EQ(crc.GetCrc(), 0xCBF43926u);  // the standard check value
    EXPECT_EQ(zeqdetail::Crc32(zeqdetail::Crc32(0, "1234", 4), "56789", 5), 0xCBF43926u);
    crc.ResetCrc();
    ASSERT_TRUE(crc.Seek(0));
    char buffer[9];
    EXPECT_EQ(crc.Read(buffer, 9), 9u);
    EXPECT_EQ(crc.GetCrc(), 0xCBF43926u);
}

TEST(KChainedFile, CipherLayerIsTwofishCounterMode) {
    KChainedMemoryFile zeros;
    KChainedCipherFile zeroKey(zeros);
    const std::uint8_t zero[32] = {};
    zeroKey.SetKey(zero, zero, 0);
    ASSERT_EQ(zeroKey.Write(zero, 16), 16u);
    // The first key stream block is the cipher of counter 0: the Twofish-256 known
    // answer for a zero key and a zero block.
    const std::uint8_t expected[16] = {0x57, 0xFF, 0x73, 0x9D, 0x4D, 0xC9, 0x2C, 0x1B,
                                       0xD7, 0xFC, 0x01, 0x70, 0x0C, 0xC8, 0x21, 0x6F};
    ASSERT_EQ(zeros.GetDataSize(), 16u);
    EXPECT_EQ(std::memcmp(zeros.GetData(), expected, 16), 0);

    // Any range reads back, chained over a CRC layer.
    KChainedMemoryFile memory;
    memory.Write("HEADER", 6);
    KChainedCrcFile crc(memory);
    KChainedCipherFile cipher(crc);
    std::uint8_t key[32];
    std::uint8_t nonce[16];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (int i = 0; i < 16; ++i) nonce[i] = static_cast<std::uint8_t>(0xF0 + i);
    cipher.SetKey(key, nonce, 6);
    std::vector<std::uint8_t> plain(100000);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    ASSERT_EQ(cipher.Write(plain.data(), plain.size()), plain.size());
    EXPECT_NE(std::memcmp(memory.GetData() + 6, plain.data(), 64), 0);
    const std::uint32_t storedCrc = crc.GetCrc();
    // An unaligned range in the middle.
    ASSERT_TRUE(cipher.Seek(6 + 12345));
    std::vector<std::uint8_t> part(777);
    ASSERT_EQ(cipher.Read(part.data(), part.size()), part.size());
    EXPECT_EQ(std::memcmp(part.data(), plain.data() + 12345, part.size()), 0);
    // The whole range, checked by the CRC of the stored bytes.
    crc.ResetCrc();
    ASSERT_TRUE(cipher.Seek(6));
    std::vector<std::uint8_t> all(plain.size());
    ASSERT_EQ(cipher.Read(all.data(), all.size()), all.size());
    EXPECT_EQ(all, plain);
    EXPECT_EQ(crc.GetCrc(), storedCrc);
}

}  // namespace
