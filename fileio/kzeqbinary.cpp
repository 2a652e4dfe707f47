// Binary field file layout (all integers little-endian, no padding or alignment).
//
// File
//   fixed header       80 bytes, at offset 0
//   header record      the header's info length bytes: a body (below) with the
//                      fields "CameraName" S, "ResolutionMode" S, "ResolutionWidth" D,
//                      "ResolutionHeight" D, "CreationTimeStamp" 7 I (year, month,
//                      day, hour, minute, second, millisecond), "Creator" S
//   then, in any order: chunks, embedded file data, section bodies, section tables
//
// Fixed header
//    0  8  magic 89 5A 45 51 0D 0A 1A 0A  (catches text-mode transfers)
//    8  4  container layout version (1; a higher one is "not supported yet")
//   12  4  file version (e.g. 5800, 6000)
//   16  4  flags: bit 0 encrypted; other bits must be 0
//   20  4  header record length
//   24  4  CRC-32 of the header record
//   28  4  CRC-32 of bytes 0..27
//   32 24  table slot A
//   56 24  table slot B
// Table slot: u64 table offset, u64 table length, u32 sequence, u32 CRC-32 of the
// slot's first 20 bytes. The valid slot with the higher sequence names the current
// section table; a slot of zeros was never written.
//
// Section table (written after the sections it lists)
//   "ZQTB", u32 count, count entries of 96 bytes, u32 CRC-32 of all before it.
//   Entry: u64 offset, u64 stored length, u32 CRC-32 of the stored bytes, u32 section
//   version, u32 flags (0), u32 key derivation (0 none, 1 PBKDF2-HMAC-SHA256 with
//   100000 iterations), 16-byte salt, 32-byte password verifier, 16-byte nonce.
//   Entry 0 is the main section, the others extension sections. Every section lies
//   after the header record and before its table.
//
// Updating a file in place (extension sections): the new section (its chunks and
// embedded files, then its body) and a new table are appended and synced, then the
// slot not in use is written with the next sequence and synced. Until that last
// write the old slot names the old, intact table. Write-backs hold an advisory
// lock (flock) on the file throughout, and start by cutting off whatever follows
// the newest table (the remains of a write-back that did not finish).
//
// Section data: the body of the section. In an encrypted file it is enciphered with
// Twofish-256 in counter mode (counter = nonce + block index, big-endian), keyed by
// PBKDF2(password, salt) when the entry has a key derivation, else by the key
// built into the SDK. Only the verifier (the second PBKDF2 block) is stored.
//
// Body: the fields of a block, one after the other, up to the end of the block.
//   Field   u64 length of the rest of the field
//           u32 name length, bit 31 set when the field has a block
//           u32 number of values
//           u64 byte length of the values
//           name bytes (any bytes)
//           values
//           the block's body (the rest of the field; empty without block)
//   Values: runs. A single value is its type letter followed by the value; two or more
//   consecutive values of a numeric or char type form a run: the lower-case letter,
//   u32 count (at least 1), then the values packed. Runs of one type may follow
//   each other.
//     'D' f64   'F' f32   'I' i32   'L' i64   'C' one byte
//     'S' u32 length + bytes
//     'E' embedded file: u64 offset, u64 size, u32 CRC-32 of the stored bytes,
//         16-byte nonce, 32-byte key (enciphered files: the file's own random key,
//         protected because the body holding it is enciphered), u32 name length, name
//     'X' chunk: values stored outside the body. u32 value count (at least 1), u64
//         byte length (at least 1), u64 offset, u32 CRC-32 of the stored bytes,
//         16-byte nonce, 32-byte key (as for 'E'; zeros in plain files). The chunk's
//         bytes are values as above, without 'X', exactly that many filling exactly
//         that length. A chunk lies after the header record and before the body of
//         its section. In an enciphered file it is enciphered like an embedded file,
//         with its own key (key stream offset 0 at its first byte).
// Writers move a field's values into a chunk once about 1 MiB of them are in the
// body, and write typed arrays and strings of 256 KiB or more straight into chunks
// of up to 1 MiB each (a string whole). A body so holds the structure and small
// values; big values move between the caller's memory and the file through one
// chunk at a time, and chunks of fields that are not read are never loaded.
// Readers check every length against the enclosing one, the runs of a field against
// its value count and length, and a chunk against its CRC, before using them.

#include "fileio/kzeqbinary.h"

#include <cstring>
#include <limits>

namespace zeqsdk_400 {
namespace zeqdetail {

const std::uint8_t kBinaryMagic[kMagicSize] = {0x89, 'Z', 'E', 'Q', '\r', '\n', 0x1A, '\n'};

namespace {
const std::uint8_t kTableMagic[4] = {'Z', 'Q', 'T', 'B'};

bool ReadAt(KChainedFile& file, std::uint64_t offset, void* buffer, std::size_t size) {
    return file.Seek(offset) && file.Read(buffer, size) == size;
}
}  // namespace

bool HasBinaryMagic(const std::uint8_t* data, std::size_t size) {
    return size >= kMagicSize && std::memcmp(data, kBinaryMagic, kMagicSize) == 0;
}

ZeqOpenResult ReadBinaryHeader(KChainedFile& file, std::uint64_t fileSize, ZeqBinaryHeader& header) {
    std::uint8_t raw[kFixedHeaderSize];
    if (fileSize < kFixedHeaderSize) return ZeqOpenResult::eCorrupted;
    if (!ReadAt(file, 0, raw, sizeof(raw))) return ZeqOpenResult::eIoError;
    if (!HasBinaryMagic(raw, sizeof(raw))) return ZeqOpenResult::eCorrupted;
    if (Crc32(0, raw, 28) != Load<std::uint32_t>(raw + 28)) return ZeqOpenResult::eCorrupted;
    header.mLayoutVersion = Load<std::uint32_t>(raw + 8);
    header.mFileVersion = Load<std::uint32_t>(raw + 12);
    header.mFlags = Load<std::uint32_t>(raw + 16);
    header.mInfoLength = Load<std::uint32_t>(raw + 20);
    header.mInfoCrc = Load<std::uint32_t>(raw + 24);
    if (header.mLayoutVersion > kLayoutVersion) return ZeqOpenResult::eTooNew;
    if (header.mLayoutVersion != kLayoutVersion) return ZeqOpenResult::eCorrupted;
    if ((header.mFlags & ~kFileFlagEncrypted) != 0) return ZeqOpenResult::eCorrupted;
    if (header.mInfoLength > fileSize - kFixedHeaderSize) return ZeqOpenResult::eCorrupted;
    if (header.mFileVersion >= static_cast<std::uint32_t>(KZeq::kFirstUnsupportedFileVersion)) {
        return ZeqOpenResult::eTooNew;
    }
    if (header.mFileVersion < static_cast<std::uint32_t>(KZeq::kMinimumFileVersion)) return ZeqOpenResult::eTooOld;
    for (int i = 0; i < 2; ++i) {
        const std::uint8_t* slot = raw + kSlotOffset + kSlotSize * static_cast<std::size_t>(i);
        ZeqBinaryHeader::Slot& s = header.mSlots[i];
        s.mTableOffset = Load<std::uint64_t>(slot);
        s.mTableLength = Load<std::uint64_t>(slot + 8);
        s.mSequence = Load<std::uint32_t>(slot + 16);
        s.mValid = s.mSequence != 0 && Crc32(0, slot, 20) == Load<std::uint32_t>(slot + 20);
    }
    return ZeqOpenResult::eOk;
}

bool ReadHeaderInfo(KChainedFile& file, std::uint64_t fileSize, const ZeqBinaryHeader& header,
                    KZeqFileHeaderInfo& info) {
    if (header.mInfoLength > fileSize - kFixedHeaderSize) return false;
    ZeqBuffer body;
    std::uint8_t* p = body.Grow(header.mInfoLength);
    if (!p && header.mInfoLength != 0) return false;
    if (header.mInfoLength != 0 && !ReadAt(file, kFixedHeaderSize, p, header.mInfoLength)) return false;
    if (Crc32(0, body.Data(), body.Size()) != header.mInfoCrc) return false;
    DecodeHeaderInfo(body.Data(), body.Size(), info);
    return true;
}

namespace {

bool ReadTableAt(KChainedFile& file, std::uint64_t fileSize, const ZeqBinaryHeader& header,
                 const ZeqBinaryHeader::Slot& slot, std::vector<ZeqSectionInfo>& sections) {
    const std::uint64_t dataStart = kFixedHeaderSize + header.mInfoLength;
    if (!slot.mValid || slot.mTableOffset < dataStart || slot.mTableOffset > fileSize) return false;
    if (slot.mTableLength < kTableOverhead || slot.mTableLength > fileSize - slot.mTableOffset) return false;
    if ((slot.mTableLength - kTableOverhead) % kTableEntrySize != 0) return false;
    ZeqBuffer raw;
    std::uint8_t* p = raw.Grow(static_cast<std::size_t>(slot.mTableLength));
    if (!p || !ReadAt(file, slot.mTableOffset, p, raw.Size())) return false;
    const std::size_t size = raw.Size();
    if (std::memcmp(p, kTableMagic, 4) != 0) return false;
    if (Crc32(0, p, size - 4) != Load<std::uint32_t>(p + size - 4)) return false;
    const std::uint32_t count = Load<std::uint32_t>(p + 4);
    if (count != (size - kTableOverhead) / kTableEntrySize || count == 0) return false;
    std::vector<ZeqSectionInfo> read(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = p + 8 + static_cast<std::size_t>(i) * kTableEntrySize;
        ZeqSectionInfo& s = read[i];
        s.mOffset = Load<std::uint64_t>(e);
        s.mStoredLength = Load<std::uint64_t>(e + 8);
        s.mCrc = Load<std::uint32_t>(e + 16);
        const std::uint32_t version = Load<std::uint32_t>(e + 20);
        const std::uint32_t flags = Load<std::uint32_t>(e + 24);
        s.mPassword.mKdf = Load<std::uint32_t>(e + 28);
        std::memcpy(s.mPassword.mSalt, e + 32, kSaltSize);
        std::memcpy(s.mPassword.mVerifier, e + 48, kVerifierSize);
        std::memcpy(s.mNonce, e + 80, kNonceSize);
        if (version > static_cast<std::uint32_t>(std::numeric_limits<int>::max()) || flags != 0) return false;
        if (s.mPassword.mKdf != kKdfNone && s.mPassword.mKdf != kKdfPbkdf2Sha256) return false;
        if (s.mOffset < dataStart || s.mOffset > slot.mTableOffset) return false;
        if (s.mStoredLength > slot.mTableOffset - s.mOffset) return false;
        s.mVersion = static_cast<int>(version);
    }
    sections = std::move(read);
    return true;
}

}  // namespace

bool ReadSectionTable(KChainedFile& file, std::uint64_t fileSize, const ZeqBinaryHeader& header,
                      std::vector<ZeqSectionInfo>& sections, int& slot) {
    // The newest valid slot names the table. A torn slot write fails its checksum
    // and leaves the other slot in charge; a valid slot naming a damaged table
    // cannot come from an interrupted write (a table is synced before its slot)
    // and is corruption, not a reason to show an older version.
    const ZeqBinaryHeader::Slot* const slots = header.mSlots;
    if (!slots[0].mValid && !slots[1].mValid) return false;
    slot = slots[1].mValid && (!slots[0].mValid || slots[1].mSequence > slots[0].mSequence) ? 1 : 0;
    return ReadTableAt(file, fileSize, header, slots[slot], sections);
}

bool ReadSectionBytes(KChainedFile& file, const ZeqSectionInfo& section, ZeqBuffer& out) {
    out.Clear();
    if (section.mStoredLength > std::numeric_limits<std::size_t>::max() / 4) return false;
    const std::size_t size = static_cast<std::size_t>(section.mStoredLength);
    if (!out.Reserve(size)) return false;
    out.AdviseHugePages();
    if (!file.Seek(section.mOffset)) return false;
    KChainedCrcFile crc(file);
    std::uint8_t* p = out.Grow(size);
    if (size != 0 && crc.Read(p, size) != size) return false;
    return crc.GetCrc() == section.mCrc;
}

bool EncodeHeaderInfo(const KZeqFileHeaderInfo& info, ZeqBuffer& body) {
    ZeqBodyWriter writer(body);
    auto text = [](const KString& s) { return std::string_view(s.Buffer(), s.GetLen()); };
    writer.FieldBegin("CameraName");
    writer.WriteString(text(info.mCameraName));
    writer.FieldBegin("ResolutionMode");
    writer.WriteString(text(info.mResolutionMode));
    writer.FieldBegin("ResolutionWidth");
    writer.WriteDouble(info.mResolutionW);
    writer.FieldBegin("ResolutionHeight");
    writer.WriteDouble(info.mResolutionH);
    writer.FieldBegin("CreationTimeStamp");
    const kLocalTime& t = info.mCreationTimeStamp;
    const std::int32_t stamp[7] = {t.mYear, t.mMonth, t.mDay, t.mHour, t.mMinute, t.mSecond, t.mMillisecond};
    writer.WriteArray(kTagInt, stamp, 7);
    writer.FieldBegin("Creator");
    writer.WriteString(text(info.mCreator));
    writer.CloseAll();
    return !writer.Failed();
}

bool DecodeHeaderInfo(const std::uint8_t* body, std::size_t size, KZeqFileHeaderInfo& info, bool text) {
    ZeqBodyReader reader;
    reader.SetTextNumbers(text);
    reader.Reset(body, size);
    const int version = info.mFileVersion;
    info.Reset();
    info.mFileVersion = version;
    if (reader.FieldBegin("CameraName")) reader.ReadString(info.mCameraName);
    if (reader.FieldBegin("ResolutionMode")) reader.ReadString(info.mResolutionMode);
    if (reader.FieldBegin("ResolutionWidth")) reader.ReadDouble(info.mResolutionW);
    if (reader.FieldBegin("ResolutionHeight")) reader.ReadDouble(info.mResolutionH);
    if (reader.FieldBegin("CreationTimeStamp")) {
        std::int32_t stamp[7] = {};
        reader.ReadInts(stamp, 7);
        kLocalTime& t = info.mCreationTimeStamp;
        t.mYear = stamp[0];
        t.mMonth = stamp[1];
        t.mDay = stamp[2];
        t.mHour = stamp[3];
        t.mMinute = stamp[4];
        t.mSecond = stamp[5];
        t.mMillisecond = stamp[6];
    }
    if (reader.FieldBegin("Creator")) reader.ReadString(info.mCreator);
    reader.FieldEnd();
    return !reader.Corrupted();
}

void BuildFixedHeader(std::uint8_t out[kFixedHeaderSize], std::uint32_t fileVersion, std::uint32_t flags,
                      std::uint32_t infoLength, std::uint32_t infoCrc) {
    std::memset(out, 0, kFixedHeaderSize);
    std::memcpy(out, kBinaryMagic, kMagicSize);
    Store<std::uint32_t>(out + 8, kLayoutVersion);
    Store<std::uint32_t>(out + 12, fileVersion);
    Store<std::uint32_t>(out + 16, flags);
    Store<std::uint32_t>(out + 20, infoLength);
    Store<std::uint32_t>(out + 24, infoCrc);
    Store<std::uint32_t>(out + 28, Crc32(0, out, 28));
}

void BuildSlot(std::uint8_t out[kSlotSize], std::uint64_t tableOffset, std::uint64_t tableLength,
               std::uint32_t sequence) {
    Store<std::uint64_t>(out, tableOffset);
    Store<std::uint64_t>(out + 8, tableLength);
    Store<std::uint32_t>(out + 16, sequence);
    Store<std::uint32_t>(out + 20, Crc32(0, out, 20));
}

bool EncodeSectionTable(const std::vector<ZeqSectionInfo>& sections, ZeqBuffer& out) {
    out.Clear();
    std::uint8_t* p = out.Grow(kTableOverhead + sections.size() * kTableEntrySize);
    if (!p) return false;
    std::memcpy(p, kTableMagic, 4);
    Store<std::uint32_t>(p + 4, static_cast<std::uint32_t>(sections.size()));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const ZeqSectionInfo& s = sections[i];
        std::uint8_t* e = p + 8 + i * kTableEntrySize;
        Store<std::uint64_t>(e, s.mOffset);
        Store<std::uint64_t>(e + 8, s.mStoredLength);
        Store<std::uint32_t>(e + 16, s.mCrc);
        Store<std::uint32_t>(e + 20, static_cast<std::uint32_t>(s.mVersion));
        Store<std::uint32_t>(e + 24, 0);
        Store<std::uint32_t>(e + 28, s.mPassword.mKdf);
        std::memcpy(e + 32, s.mPassword.mSalt, kSaltSize);
        std::memcpy(e + 48, s.mPassword.mVerifier, kVerifierSize);
        std::memcpy(e + 80, s.mNonce, kNonceSize);
    }
    const std::size_t size = out.Size();
    Store<std::uint32_t>(p + size - 4, Crc32(0, p, size - 4));
    return true;
}

}  // namespace zeqdetail
}  // namespace zeqsdk_400
