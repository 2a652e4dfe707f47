#ifndef ZEQ_FILEIO_TESTS_KZEQ_TEST_SUPPORT_H
#define ZEQ_FILEIO_TESTS_KZEQ_TEST_SUPPORT_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/kzeq.h"

namespace zeqtest {

// A fresh directory under ZEQ_TEST_TMP for one test, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return (mPath / name).string(); }

private:
    std::filesystem::path mPath;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// The three encodings, for parameterised tests.
struct Encoding {
    const char* mName;
    bool mBinary;
    bool mEncrypted;
};
extern const Encoding kEncodings[3];
std::string EncodingName(const Encoding& encoding);

// A complete binary file around a hand-made main-section body (plain, no password).
std::string MakeBinaryFile(const std::string& body, int fileVersion = 6000);
// The same with data bytes (chunks) between the header record and the body;
// dataOffset receives where they start in the file.
std::string MakeBinaryFileWithData(const std::string& data, const std::string& body, std::uint64_t& dataOffset);

// A chunk reference value ('X') for bytes lying at offset in the file.
std::string ChunkRef(std::uint32_t valueCount, const std::string& bytes, std::uint64_t offset);

// Little-endian field header of the body encoding, followed by the name.
std::string FieldHeader(const std::string& name, std::uint64_t restLength, std::uint32_t valueCount,
                        std::uint64_t valueBytes, bool hasBlock);
// A whole field with the given raw values and block body.
std::string RawField(const std::string& name, std::uint32_t valueCount, const std::string& values,
                     const std::string& block, bool hasBlock);

}  // namespace zeqtest

#endif
