#include "fileio/kchainedfile.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;

// Memory and disk files behave alike: writing past the end fills with zeros,
// reads stop at the end, truncation shortens.
TEST(KChainedFile, MemoryAndStdioFilesBehaveAlike) {
    zeqtest::TempDir dir;
    KChainedStdioFile disk;
    EXPECT_FALSE(disk.Open((dir / "none/x").c_str(), "rb"));
    ASSERT_TRUE(disk.Open((dir / "x").c_str(), "w+b"));
    KChainedMemoryFile memory;
    for (KChainedFile* file : {static_cast<KChainedFile*>(&memory), static_cast<KChainedFile*>(&disk)}) {
        char buffer[16] = {};
        EXPECT_TRUE(file->Write("hello", 5) == 5 && file->Seek(8) && file->Write("!", 1) == 1 && file->GetSize() == 9);
        EXPECT_TRUE(file->Seek(0) && file->Read(buffer, sizeof(buffer)) == 9 && file->Read(buffer, 1) == 0);
        EXPECT_EQ(std::string(buffer, 9), std::string("hello\0\0\0!", 9));
        EXPECT_TRUE(file->Truncate(4) && file->Seek(1) && file->Read(buffer, sizeof(buffer)) == 3 && file->Sync());
        EXPECT_EQ(std::string(buffer, 3), "ell");
    }
}

TEST(KChainedFile, CrcLayerComputesCrc32) {
    KChainedMemoryFile memory;
    KChainedCrcFile crc(memory);
    char buffer[9];
    EXPECT_TRUE(crc.Write("12345", 5) == 5 && crc.Write("6789", 4) == 4);
    EXPECT_EQ(crc.GetCrc(), 0xCBF43926u);  // the standard check value
    crc.ResetCrc();
    EXPECT_TRUE(crc.Seek(0) && crc.Read(buffer, 9) == 9 && crc.GetCrc() == 0xCBF43926u);
}

TEST(KChainedFile, CipherLayerIsTwofishCounterMode) {
    KChainedMemoryFile zeros;
    KChainedCipherFile zeroKey(zeros);
    const std::uint8_t zero[32] = {};
    zeroKey.SetKey(zero, zero, 0);
    ASSERT_EQ(zeroKey.Write(zero, 16), 16u);
    // The first key stream block is the cipher of counter 0: the Twofish-256 known
    // answer for a zero key and a zero block.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(zeros.GetData()), zeros.GetDataSize()),
              "\x57\xFF\x73\x9D\x4D\xC9\x2C\x1B\xD7\xFC\x01\x70\x0C\xC8\x21\x6F");

    // Any range reads back, chained over a CRC layer.
    KChainedMemoryFile memory;
    memory.Write("HEADER", 6);
    KChainedCrcFile crc(memory);
    KChainedCipherFile cipher(crc);
    std::uint8_t key[32], nonce[16];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (int i = 0; i < 16; ++i) nonce[i] = static_cast<std::uint8_t>(0xF0 + i);
    cipher.SetKey(key, nonce, 6);
    std::vector<std::uint8_t> plain(100000);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    ASSERT_EQ(cipher.Write(plain.data(), plain.size()), plain.size());
    EXPECT_NE(std::memcmp(memory.GetData() + 6, plain.data(), 64), 0);
    const std::uint32_t storedCrc = crc.GetCrc();
    std::vector<std::uint8_t> part(777), all(plain.size());
    // An unaligned range in the middle, then the whole range, checked by the CRC of the stored bytes.
    ASSERT_TRUE(cipher.Seek(6 + 12345) && cipher.Read(part.data(), part.size()) == part.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), plain.begin() + 12345));
    crc.ResetCrc();
    ASSERT_TRUE(cipher.Seek(6) && cipher.Read(all.data(), all.size()) == all.size());
    EXPECT_TRUE(all == plain && crc.GetCrc() == storedCrc);
}
