#ifndef ZEQ_FUZZ_FUZZ_SUPPORT_H
#define ZEQ_FUZZ_FUZZ_SUPPORT_H

// Builders shared by the fuzz targets and the fileio unit tests. Without gtest, so
// both can include it.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/kzeq.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqcrypto.h"

namespace zeqfuzz {

// A valid binary field file around a hand-made main-section body, so that the
// checksums hold and the body parser is reached: fixed header, header record, the
// data bytes (chunks the body may refer to; *dataOffset receives where they start),
// the body (enciphered with the built-in key when encrypted), the section table.
inline std::string MakeBinaryZeq(std::string body, int version = 6000, bool encrypted = false,
                                 const std::string& data = std::string(), std::uint64_t* dataOffset = nullptr) {
    using namespace zeqsdk_400;
    using namespace zeqsdk_400::zeqdetail;
    KZeqFileHeaderInfo header;
    header.mFileVersion = version;
    ZeqBuffer info;
    EncodeHeaderInfo(header, info);
    std::uint8_t fixed[kFixedHeaderSize];
    BuildFixedHeader(fixed, static_cast<std::uint32_t>(version), encrypted ? kFileFlagEncrypted : 0,
                     static_cast<std::uint32_t>(info.Size()), Crc32(0, info.Data(), info.Size()));
    std::string file(reinterpret_cast<const char*>(fixed), sizeof(fixed));
    file.append(reinterpret_cast<const char*>(info.Data()), info.Size());
    if (dataOffset) *dataOffset = file.size();
    file += data;
    std::vector<ZeqSectionInfo> sections(1);
    sections[0].mOffset = file.size();
    sections[0].mStoredLength = body.size();
    sections[0].mVersion = version;
    if (encrypted) {
        std::uint8_t key[kKeySize];
        BuiltInKey(key);
        std::memset(sections[0].mNonce, 0x3C, kNonceSize);
        ZeqCtrCipher cipher;
        cipher.SetKey(key, sections[0].mNonce);
        cipher.Apply(reinterpret_cast<std::uint8_t*>(&body[0]), body.size(), 0);
    }
    sections[0].mCrc = Crc32(0, body.data(), body.size());
    file += body;
    ZeqBuffer table;
    EncodeSectionTable(sections, table);
    std::uint8_t slot[kSlotSize];
    BuildSlot(slot, file.size(), table.Size(), 1);
    file.append(reinterpret_cast<const char*>(table.Data()), table.Size());
    std::memcpy(&file[kSlotOffset], slot, kSlotSize);
    return file;
}

}  // namespace zeqfuzz

#endif
