#ifndef ZEQ_FILEIO_KZEQBINARY_H
#define ZEQ_FILEIO_KZEQBINARY_H

// The binary file container: fixed header, header record, sections, embedded
// files and the section table. Layout in kzeqbinary.cpp.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqbody.h"
#include "fileio/kzeqcrypto.h"

namespace zeqsdk_400 {
namespace zeqdetail {

constexpr std::size_t kMagicSize = 8;
extern const std::uint8_t kBinaryMagic[kMagicSize];
constexpr std::size_t kFixedHeaderSize = 80;
constexpr std::uint32_t kLayoutVersion = 1;
constexpr std::uint32_t kFileFlagEncrypted = 1;
constexpr std::size_t kSlotOffset = 32;
constexpr std::size_t kSlotSize = 24;
constexpr std::size_t kTableEntrySize = 96;
constexpr std::size_t kTableOverhead = 12;

struct ZeqPasswordInfo {
    std::uint32_t mKdf = kKdfNone;
    std::uint8_t mSalt[kSaltSize] = {};
    std::uint8_t mVerifier[kVerifierSize] = {};
    bool Has() const { return mKdf != kKdfNone; }
};

struct ZeqSectionInfo {
    // Where its writing began (its chunks and embedded files come first); not stored.
    std::uint64_t mStart = 0;
    std::uint64_t mOffset = 0;
    std::uint64_t mStoredLength = 0;
    std::uint32_t mCrc = 0;
    int mVersion = 0;
    ZeqPasswordInfo mPassword;
    std::uint8_t mNonce[kNonceSize] = {};
    // ASCII files: the section's content, parsed when the file was opened.
    ZeqBuffer mBody;
};

struct ZeqBinaryHeader {
    std::uint32_t mLayoutVersion = 0;
    std::uint32_t mFileVersion = 0;
    std::uint32_t mFlags = 0;
    std::uint32_t mInfoLength = 0;
    std::uint32_t mInfoCrc = 0;
    struct Slot {
        std::uint64_t mTableOffset = 0;
        std::uint64_t mTableLength = 0;
        std::uint32_t mSequence = 0;
        bool mValid = false;
    } mSlots[2];
};

enum class ZeqOpenResult { eOk, eCorrupted, eTooNew, eTooOld, eIoError };

bool HasBinaryMagic(const std::uint8_t* data, std::size_t size);

// Reads and checks the fixed header (file version included).
ZeqOpenResult ReadBinaryHeader(KChainedFile& file, std::uint64_t fileSize, ZeqBinaryHeader& header);
// The header record stored after the fixed header.
bool ReadHeaderInfo(KChainedFile& file, std::uint64_t fileSize, const ZeqBinaryHeader& header,
                    KZeqFileHeaderInfo& info);
// The section table of the newest valid slot; slot receives its index.
bool ReadSectionTable(KChainedFile& file, std::uint64_t fileSize, const ZeqBinaryHeader& header,
                      std::vector<ZeqSectionInfo>& sections, int& slot);
// The stored bytes of a section, checked against its CRC.
bool ReadSectionBytes(KChainedFile& file, const ZeqSectionInfo& section, ZeqBuffer& out);

// Header record as fields, shared with the ASCII encoding.
bool EncodeHeaderInfo(const KZeqFileHeaderInfo& info, ZeqBuffer& body);
// False when the record is damaged (text: parsed from ASCII, see
// ZeqBodyReader::SetTextNumbers).
bool DecodeHeaderInfo(const std::uint8_t* body, std::size_t size, KZeqFileHeaderInfo& info, bool text = false);

void BuildFixedHeader(std::uint8_t out[kFixedHeaderSize], std::uint32_t fileVersion, std::uint32_t flags,
                      std::uint32_t infoLength, std::uint32_t infoCrc);
void BuildSlot(std::uint8_t out[kSlotSize], std::uint64_t tableOffset, std::uint64_t tableLength,
               std::uint32_t sequence);
bool EncodeSectionTable(const std::vector<ZeqSectionInfo>& sections, ZeqBuffer& out);

}  // namespace zeqdetail
}  // namespace zeqsdk_400

#endif
