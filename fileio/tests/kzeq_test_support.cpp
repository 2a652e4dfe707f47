#include "fileio/tests/kzeq_test_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "fileio/kzeqbinary.h"

namespace zeqtest {

using namespace zeqsdk_400;
using namespace zeqsdk_400::zeqdetail;

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    const char* root = std::getenv("ZEQ_TEST_TMP");
    const std::filesystem::path base =
        root && *root ? std::filesystem::path(root) : std::filesystem::temp_directory_path();
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "-" + info->name() : "zeq";
    for (char& c : name) {
        if (c == '/' || c == '\\') c = '_';
    }
    mPath = base / ("zeq-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(mPath);
    std::filesystem::create_directories(mPath);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(mPath, ec);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const Encoding kEncodings[3] = {{"Binary", true, false}, {"Encrypted", true, true}, {"Ascii", false, false}};

std::string EncodingName(const Encoding& encoding) { return encoding.mName; }

namespace {
template <class T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}
}  // namespace

std::string FieldHeader(const std::string& name, std::uint64_t restLength, std::uint32_t valueCount,
                        std::uint64_t valueBytes, bool hasBlock) {
    std::string out;
    Put<std::uint64_t>(out, restLength);
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(name.size()) | (hasBlock ? 0x80000000u : 0u));
    Put<std::uint32_t>(out, valueCount);
    Put<std::uint64_t>(out, valueBytes);
    return out + name;
}

std::string RawField(const std::string& name, std::uint32_t valueCount, const std::string& values,
                     const std::string& block, bool hasBlock) {
    const std::uint64_t rest = 16 + name.size() + values.size() + block.size();
    return FieldHeader(name, rest, valueCount, values.size(), hasBlock) + values + block;
}

std::string MakeBinaryFileWithData(const std::string& data, const std::string& body, std::uint64_t& dataOffset) {
    const int fileVersion = 6000;
    KZeqFileHeaderInfo header;
    header.mFileVersion = fileVersion;
    ZeqBuffer info;
    EncodeHeaderInfo(header, info);
    std::uint8_t fixed[kFixedHeaderSize];
    BuildFixedHeader(fixed, static_cast<std::uint32_t>(fileVersion), 0, static_cast<std::uint32_t>(info.Size()),
                     Crc32(0, info.Data(), info.Size()));
    std::string file(reinterpret_cast<const char*>(fixed), sizeof(fixed));
    file.append(reinterpret_cast<const char*>(info.Data()), info.Size());
    dataOffset = file.size();
    file += data;
    std::vector<ZeqSectionInfo> sections(1);
    sections[0].mOffset = file.size();
    sections[0].mStoredLength = body.size();
    sections[0].mCrc = Crc32(0, body.data(), body.size());
    sections[0].mVersion = fileVersion;
    file += body;
    ZeqBuffer table;
    EncodeSectionTable(sections, table);
    std::uint8_t slot[kSlotSize];
    BuildSlot(slot, file.size(), table.Size(), 1);
    file.append(reinterpret_cast<const char*>(table.Data()), table.Size());
    std::memcpy(&file[kSlotOffset], slot, kSlotSize);
    return file;
}

std::string MakeBinaryFile(const std::string& body, int fileVersion) {
    KZeqFileHeaderInfo header;
    header.mFileVersion = fileVersion;
    ZeqBuffer info;
    EncodeHeaderInfo(header, info);
    std::uint8_t fixed[kFixedHeaderSize];
    BuildFixedHeader(fixed, static_cast<std::uint32_t>(fileVersion), 0, static_cast<std::uint32_t>(info.Size()),
                     Crc32(0, info.Data(), info.Size()));
    std::string file(reinterpret_cast<const char*>(fixed), sizeof(fixed));
    file.append(reinterpret_cast<const char*>(info.Data()), info.Size());
    std::vector<ZeqSectionInfo> sections(1);
    sections[0].mOffset = file.size();
    sections[0].mStoredLength = body.size();
    sections[0].mCrc = Crc32(0, body.data(), body.size());
    sections[0].mVersion = fileVersion;
    file += body;
    ZeqBuffer table;
    EncodeSectionTable(sections, table);
    std::uint8_t slot[kSlotSize];
    BuildSlot(slot, file.size(), table.Size(), 1);
    file.append(reinterpret_cast<const char*>(table.Data()), table.Size());
    std::memcpy(&file[kSlotOffset], slot, kSlotSize);
    return file;
}

std::string ChunkRef(std::uint32_t valueCount, const std::string& bytes, std::uint64_t offset) {
    std::string out = "X";
    Put<std::uint32_t>(out, valueCount);
    Put<std::uint64_t>(out, bytes.size());
    Put<std::uint64_t>(out, offset);
    Put<std::uint32_t>(out, Crc32(0, bytes.data(), bytes.size()));
    out.append(16 + 32, '\0');
    return out;
}

}  // namespace zeqtest
