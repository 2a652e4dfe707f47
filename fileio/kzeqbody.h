#ifndef ZEQ_FILEIO_KZEQBODY_H
#define ZEQ_FILEIO_KZEQBODY_H

// The binary encoding of a block of fields (a section's content), shared by the
// binary and ASCII encodings: the ASCII parser produces it, and every read goes
// through ZeqBodyReader. The byte layout is described in kzeqbinary.cpp.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/kdefs.h"
#include "base/kstring.h"

namespace zeqsdk_400 {
struct KZeqFieldPattern;
namespace zeqdetail {

// Little-endian scalars at any alignment. Linux targets are little-endian;
// the static_assert in kzeqbody.cpp keeps it so.
template <class T>
inline T Load(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}
template <class T>
inline void Store(std::uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof(T));
}

// A growable byte buffer on malloc/realloc (large blocks grow by remapping, not
// copying). Allocation failure is reported, never thrown.
class ZeqBuffer {
public:
    ZeqBuffer() = default;
    ZeqBuffer(const ZeqBuffer&) = delete;
    ZeqBuffer& operator=(const ZeqBuffer&) = delete;
    ZeqBuffer(ZeqBuffer&& other) noexcept;
    ZeqBuffer& operator=(ZeqBuffer&& other) noexcept;
    ~ZeqBuffer();

    std::uint8_t* Data() { return mData; }
    const std::uint8_t* Data() const { return mData; }
    std::size_t Size() const { return mSize; }
    std::size_t Capacity() const { return mCapacity; }
    bool Failed() const { return mFailed; }

    // Room for size bytes in total; false (and Failed) when memory runs out.
    bool Reserve(std::size_t size);
    // Pointer to count new bytes at the end, or null.
    std::uint8_t* Grow(std::size_t count) {
        if (count > mCapacity - mSize && !Reserve(Checked(count))) return nullptr;
        std::uint8_t* p = mData + mSize;
        mSize += count;
        return p;
    }
    // Pointer to room for count more bytes at the end, or null; the size stays
    // until Advance says how many of them were written.
    std::uint8_t* Room(std::size_t count) {
        if (count > mCapacity - mSize && !Reserve(Checked(count))) return nullptr;
        return mData + mSize;
    }
    void Advance(std::size_t count) { mSize += count; }
    bool Append(const void* data, std::size_t count) {
        std::uint8_t* p = Grow(count);
        if (!p) return false;
        if (count) std::memcpy(p, data, count);
        return true;
    }
    bool AppendByte(std::uint8_t value) {
        std::uint8_t* p = Grow(1);
        if (!p) return false;
        *p = value;
        return true;
    }
    void Resize(std::size_t size) {
        if (size <= mSize) mSize = size;
    }
    // Keeps the memory for reuse.
    void Clear() {
        mSize = 0;
        mFailed = false;
    }
    void Release();
    // Asks for the memory of a big buffer about to be filled whole at once (a
    // section read from a file) in huge pages where the system gives them on
    // request: a page fault every 2 MB instead of every 4 KB. Only an advice.
    void AdviseHugePages();

private:
    std::size_t Checked(std::size_t count);

    std::uint8_t* mData = nullptr;
    std::size_t mSize = 0;
    std::size_t mCapacity = 0;
    bool mFailed = false;
};

// Field header: u64 length of the rest of the field, u32 name length with the
// block flag in bit 31, u32 value count, u64 value bytes; then the name.
constexpr std::size_t kFieldHeaderSize = 24;
// Deeper blocks are refused as damage; an index entry of no field.
constexpr int kMaxBodyDepth = 256;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint32_t kBlockFlag = 0x80000000u;
constexpr std::uint32_t kMaxNameLength = 0x7FFFFFFFu;
constexpr std::uint32_t kMaxValueCount = 0x7FFFFFFFu;
// Embedded file value: u64 offset, u64 size, u32 CRC, 16-byte nonce, 32-byte key,
// u32 name length, name.
constexpr std::size_t kEmbeddedFixedSize = 8 + 8 + 4 + 16 + 32 + 4;
// Chunk reference (values stored outside the body): u32 value count, u64 byte
// length, u64 offset, u32 CRC, 16-byte nonce, 32-byte key.
constexpr std::size_t kChunkRefSize = 4 + 8 + 8 + 4 + 16 + 32;
// Writers move a field's values into a chunk once this many bytes of them are
// held in the body; big arrays and strings go to chunks of this size directly.
// One chunk is what moves between the caller's memory and the file in one piece.
constexpr std::size_t kChunkBytes = std::size_t(1) << 20;

// Value tags: single values use the type letter, runs of one type its lower case.
enum : std::uint8_t {
    kTagDouble = 'D',
    kTagFloat = 'F',
    kTagInt = 'I',
    kTagLong = 'L',
    kTagChar = 'C',
    kTagString = 'S',
    kTagEmbedded = 'E',
    kTagChunk = 'X',
};

// Where a number's text goes on past a leading '+' (from_chars takes none);
// null for "+-", which is no number.
inline const char* PastPlusSign(const char* first, const char* last) {
    if (first == last || *first != '+') return first;
    ++first;
    return first != last && *first == '-' ? nullptr : first;
}

// Infinity and NaN as some platforms' C libraries print them, with an
// optional sign: "1.#INF", "1.#IND" (NaN), "1.#QNAN". False for other text.
bool ParsePlatformNonFinite(std::string_view text, double& out);

// Size of one element of a numeric or char tag (upper case), 0 for others.
inline std::size_t ElementSize(std::uint8_t tag) {
    switch (tag) {
        case kTagDouble:
        case kTagLong:
            return 8;
        case kTagFloat:
        case kTagInt:
            return 4;
        case kTagChar:
            return 1;
        default:
            return 0;
    }
}

struct ZeqEmbeddedRef {
    kULongLong mOffset = 0;
    kULongLong mSize = 0;
    std::uint32_t mCrc = 0;
    std::uint8_t mNonce[16] = {};
    std::uint8_t mKey[32] = {};
    std::string_view mName;
};

// Where a chunk of values lies in the file and how to check and decipher it.
struct ZeqChunkRef {
    std::uint32_t mCount = 0;
    std::uint64_t mLength = 0;
    std::uint64_t mOffset = 0;
    std::uint32_t mCrc = 0;
    std::uint8_t mNonce[16] = {};
    std::uint8_t mKey[32] = {};
};

// A record layout of single values (tag and value each, no runs), prepared
// for the body reader and writer: the bytes of its tags and fixed char codes
// as masked 16-byte vectors over the record, and where each value lies.
struct ZeqRecordShape {
    static constexpr std::size_t kMaxValues = 16;
    using Bytes16 = std::uint64_t __attribute__((vector_size(16)));
    static constexpr std::size_t kMaxVectors = (kMaxValues * 9 + 15) / 16;
    // Bytes readable from a record's start for Matches, and for reading any
    // of its values as eight bytes.
    static constexpr std::size_t kReadable = kMaxVectors * 16 + 8;

    // False for a count or type out of range; codes (may be null) holds for
    // each char the code it must have, 0 for any.
    bool Prepare(std::size_t count, const char* types, const char* codes);
    // Whether the bytes at p (kReadable of them readable) begin a record of
    // this shape. Vectors past the record have an empty mask: four are always
    // compared, without a loop for records of up to 64 bytes.
    bool Matches(const std::uint8_t* p) const {
        Bytes16 differ = Differ(p, 0) | Differ(p, 1) | Differ(p, 2) | Differ(p, 3);
        for (std::size_t v = 4; v < mVectors; ++v) differ |= Differ(p, v);
        return (differ[0] | differ[1]) == 0;
    }
    Bytes16 Differ(const std::uint8_t* p, std::size_t v) const {
        Bytes16 bytes;
        std::memcpy(&bytes, p + 16 * v, sizeof bytes);
        return (bytes ^ mExpect[v]) & mMask[v];
    }
    // Value k's bytes read as eight, an integer's or char's sign-extended
    // (k past the count: the first value's; any k stays in the record's bytes).
    std::int64_t Integer(const std::uint8_t* record, std::size_t k) const {
        k %= kMaxValues;
        const unsigned shift = mShifts[k];
        return static_cast<std::int64_t>(Load<std::uint64_t>(record + mOffsets[k] + 1) << shift) >> shift;
    }
    double Real(const std::uint8_t* record, std::size_t k) const {
        k %= kMaxValues;
        const std::uint8_t* at = record + mOffsets[k] + 1;
        return mTypes[k] == kTagFloat ? static_cast<double>(Load<float>(at)) : Load<double>(at);
    }
    std::uint8_t Code(const std::uint8_t* record, std::size_t k) const { return record[mOffsets[k % kMaxValues] + 1]; }

    Bytes16 mMask[kMaxVectors];
    Bytes16 mExpect[kMaxVectors];
    std::uint8_t mTypes[kMaxValues];
    // Where each value's tag lies in the record.
    std::uint8_t mOffsets[kMaxValues];
    // The shift that sign-extends each integer's or char's bytes read as eight.
    std::uint8_t mShifts[kMaxValues];
    std::uint8_t mCount;
    std::uint8_t mBytes;
    std::uint8_t mVectors;
    // Bit k: value k is a real number ('D' or 'F'); a float ('F').
    std::uint32_t mReals;
    std::uint32_t mFloats;
    // The values after one shorter than eight bytes, whose tags a writer that
    // stores eight bytes for each value overwrites: their number and indices.
    std::uint8_t mCovered;
    std::uint8_t mCoveredValues[kMaxValues];
    // For the writer, how the record's own values run: values of the first
    // type at its start, of the last type at its end, and the longest run.
    std::uint8_t mLead;
    std::uint8_t mTrail;
    std::uint8_t mLongest;
};

// Stores chunks for a body writer: the bytes of head then data, as one chunk.
// Fills in the reference (all but the count); false when it could not be stored.
class ZeqChunkSink {
public:
    virtual bool StoreChunk(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* data,
                            std::size_t dataSize, ZeqChunkRef& ref) = 0;

protected:
    ~ZeqChunkSink() = default;
};

// Loads chunks for a body reader: the chunk's bytes, checked against its CRC
// and deciphered, into out. False when it lies outside the data, does not match
// or cannot be read.
class ZeqChunkLoader {
public:
    virtual bool LoadChunk(const ZeqChunkRef& ref, ZeqBuffer& out) = 0;
    // The same into two places: the first headSize bytes into head, the rest
    // (ref.mLength - headSize bytes) into data. On failure data holds anything.
    virtual bool LoadChunkInto(const ZeqChunkRef& ref, std::uint8_t* head, std::size_t headSize, void* data) = 0;

protected:
    ~ZeqChunkLoader() = default;
};

// Writes fields into a buffer. Misuse (values without a field, unbalanced ends)
// is answered with false and leaves the buffer consistent. With a chunk sink,
// big values leave the buffer as chunks while they are written, so the buffer
// holds the structure and small values only.
class ZeqBodyWriter {
public:
    explicit ZeqBodyWriter(ZeqBuffer& buffer, ZeqChunkSink* sink = nullptr) : mBuffer(&buffer), mSink(sink) {}

    void Reset();
    // Errors: true once the buffer could not grow, a chunk could not be stored or
    // a limit was passed.
    bool Failed() const { return mFailed || mBuffer->Failed(); }
    bool OutOfMemory() const { return mBuffer->Failed(); }

    bool FieldBegin(std::string_view name);
    bool FieldEnd();
    bool BlockBegin();
    bool BlockEnd();
    // Closes every open block and field.
    void CloseAll();
    // Blocks open (depth of the current block).
    int Depth() const { return mDepth; }
    bool ValueOpen() const { return mValueField != nullptr; }

    bool WriteDouble(double v) { return WriteValue(kTagDouble, v); }
    bool WriteInt(std::int32_t v) { return WriteValue(kTagInt, v); }
    bool WriteLong(std::int64_t v) { return WriteValue(kTagLong, v); }
    bool WriteChar(char v) { return WriteValue(kTagChar, v); }
    bool WriteString(std::string_view text);
    // A whole field of texts, then numbers ('I': an int held exactly by the
    // double, 'D': a double), stored exactly as FieldBegin, the writes and
    // FieldEnd store it.
    bool WriteRecord(std::string_view name, const std::string_view* texts, int textCount, const char* types,
                     const double* values, int valueCount);
    bool WriteArray(std::uint8_t tag, const void* values, std::size_t count);
    bool WriteEmbedded(const ZeqEmbeddedRef& ref);
    // A record of this shape written as singles, where each value's own call
    // would write it as one: the room for its bytes (and ZeqRecordShape::
    // kReadable more), for its tags and values, then EndRecord. Null where it
    // must go value by value.
    std::uint8_t* BeginRecord(const ZeqRecordShape& shape);
    void EndRecord(const ZeqRecordShape& shape);

private:
    // Consecutive values of one type are kept as singles (tag and value each) up to
    // this many, then rewritten as an array run: below it a run is no smaller.
    static constexpr std::uint32_t kRunThreshold = 5;

    struct OpenField {
        std::size_t mHeader;
        // Start of the values still in the buffer (after the last chunk reference).
        std::size_t mChunkStart;
        std::size_t mValues;
        std::size_t mValueBytes;
        // Start of the current run: its header, or its first single.
        std::size_t mRunTag;
        std::uint32_t mNameLength;
        std::uint32_t mCount;
        // mCount when the values at mChunkStart began.
        std::uint32_t mChunkCount;
        std::uint32_t mRunCount;
        std::uint8_t mRunType;
        bool mRunIsArray;
        bool mBlockOpen;
        bool mBlockDone;
    };

    // The common cases inline (another value of an array run, another single, a
    // new single); the rest, with every limit, in WriteScalar.
    template <class T>
    bool WriteValue(std::uint8_t tag, T value) {
        OpenField* field = mValueField;
        if (!field || field->mCount >= kMaxValueCount - 1 || mBuffer->Size() >= mSpillAt ||
            mBuffer->Capacity() - mBuffer->Size() < 1 + sizeof(T)) {
            return WriteScalar(tag, &value, sizeof(T));
        }
        std::uint8_t* p = mBuffer->Data() + mBuffer->Size();
        if (field->mRunType == tag) {
            if (field->mRunIsArray) {
                if (field->mRunCount == 0xFFFFFFFFu) return WriteScalar(tag, &value, sizeof(T));
                std::memcpy(p, &value, sizeof(T));
                mBuffer->Advance(sizeof(T));
            } else {
                if (field->mRunCount + 1 >= kRunThreshold) return WriteScalar(tag, &value, sizeof(T));
                p[0] = tag;
                std::memcpy(p + 1, &value, sizeof(T));
                mBuffer->Advance(1 + sizeof(T));
            }
            ++field->mRunCount;
            ++field->mCount;
            return true;
        }
        if (field->mRunIsArray) {
            CloseRun(*field);
            p = mBuffer->Data() + mBuffer->Size();
        }
        p[0] = tag;
        std::memcpy(p + 1, &value, sizeof(T));
        field->mRunTag = mBuffer->Size();
        mBuffer->Advance(1 + sizeof(T));
        field->mRunType = tag;
        field->mRunCount = 1;
        ++field->mCount;
        return true;
    }
    bool WriteScalar(std::uint8_t tag, const void* value, std::size_t size);
    bool MakeRun(OpenField& field);
    bool CanWriteValues(std::size_t count);
    void CloseRun(OpenField& field);
    void EndTop();
    // Recomputes mValueField and mSpillAt after the open fields changed.
    void Track();
    // Moves the values held in the buffer since the last chunk into a chunk.
    bool Spill(OpenField& field);
    // Stores head + data (count values) as chunks and appends their references.
    bool WriteChunked(OpenField& field, std::uint8_t tag, const std::uint8_t* data, std::size_t count,
                      std::size_t elementSize);
    bool AppendChunkRef(const ZeqChunkRef& ref);

    ZeqBuffer* mBuffer;
    ZeqChunkSink* mSink;
    std::vector<OpenField> mFields;
    // The field taking values (open, block not started), else null.
    OpenField* mValueField = nullptr;
    // Buffer size from which the value field's values move into a chunk.
    std::size_t mSpillAt = static_cast<std::size_t>(-1);
    int mDepth = 0;
    bool mFailed = false;
};

inline std::uint8_t* ZeqBodyWriter::BeginRecord(const ZeqRecordShape& shape) {
    OpenField* field = mValueField;
    const std::size_t size = mBuffer->Size();
    const std::size_t n = shape.mCount;
    // No run forms (within the record or with the run before it), no value
    // moves into a chunk, and the value count stays below its limit.
    if (!field || shape.mLongest >= kRunThreshold || field->mCount + n >= kMaxValueCount - 1 ||
        size + shape.mOffsets[n - 1] >= mSpillAt ||
        (field->mRunType == shape.mTypes[0] &&
         (field->mRunIsArray || field->mRunCount + shape.mLead >= kRunThreshold))) {
        return nullptr;
    }
    if (mBuffer->Capacity() - size < ZeqRecordShape::kReadable && !mBuffer->Reserve(size + ZeqRecordShape::kReadable)) {
        return nullptr;
    }
    if (field->mRunIsArray) CloseRun(*field);
    return mBuffer->Data() + size;
}

inline void ZeqBodyWriter::EndRecord(const ZeqRecordShape& shape) {
    OpenField& field = *mValueField;
    const std::size_t n = shape.mCount;
    if (shape.mLead == n && field.mRunType == shape.mTypes[0]) {
        field.mRunCount += static_cast<std::uint32_t>(n);
    } else {
        field.mRunType = shape.mTypes[n - 1];
        field.mRunCount = shape.mTrail;
        field.mRunTag = mBuffer->Size() + shape.mOffsets[n - shape.mTrail];
    }
    field.mCount += static_cast<std::uint32_t>(n);
    mBuffer->Advance(shape.mBytes);
}

// Reads a body held in memory (not owned; it must stay while the reader uses it).
// Field headers are checked when a block is indexed, value runs as they are read,
// chunks when they are entered; anything inconsistent makes Corrupted() true and
// what lies behind it unreadable.
class ZeqBodyReader {
public:
    ZeqBodyReader();
    ~ZeqBodyReader();

    void Reset(const std::uint8_t* body, std::size_t size, ZeqChunkLoader* loader = nullptr);
    void Clear() { Reset(nullptr, 0); }
    bool Corrupted() const { return mCorrupted; }
    int Depth() const { return mDepth; }
    // Bodies parsed from text (ASCII files): their numbers were text, so a
    // char, or a string that is no number, where a number is read is damaged
    // text; it marks the body corrupted. Elsewhere values convert.
    void SetTextNumbers(bool text) { mTextNumbers = text; }
    bool TextNumbers() const { return mTextNumbers; }

    bool FieldBegin(std::string_view name);
    bool FieldEnd();
    bool BlockBegin();
    bool BlockEnd();
    void ResetPosition();
    int InstanceCount(std::string_view name);
    int BlockFieldCount();
    std::string_view BlockFieldName(int index);
    bool FieldOpen() const { return mCursor != nullptr; }

    int Count() const { return mCursor ? static_cast<int>(mCursor->mCount) : 0; }
    int Remain() const { return mCursor ? static_cast<int>(mCursor->mCount - mCursor->mConsumed) : 0; }
    // Next value's tag ('D', 'F', 'I', 'L', 'C', 'S', 'E'), 0 when none.
    std::uint8_t PeekType();

    // Each consumes one value; false when none is left (out untouched).
    bool ReadDouble(double& out) {
        if (const std::uint8_t* v = TakeFast<8>(kTagDouble)) {
            std::memcpy(&out, v, 8);
            return true;
        }
        return ReadDoubleSlow(out);
    }
    bool ReadLong(std::int64_t& out) {
        if (const std::uint8_t* v = TakeFast<8>(kTagLong)) {
            std::memcpy(&out, v, 8);
            return true;
        }
        return ReadLongSlow(out);
    }
    bool ReadInt(std::int32_t& out) {
        if (const std::uint8_t* v = TakeFast<4>(kTagInt)) {
            std::memcpy(&out, v, 4);
            return true;
        }
        return ReadIntSlow(out);
    }
    bool ReadChar(char& out) {
        if (const std::uint8_t* v = TakeFast<1>(kTagChar)) {
            out = static_cast<char>(*v);
            return true;
        }
        return ReadCharSlow(out);
    }
    bool ReadString(KString& out);
    // The same text without a string: a stored string in place (valid while its
    // body or chunk is loaded), any other value formatted into text.
    static constexpr std::size_t kTextRoom = 48;
    bool ReadText(std::string_view& out, char (&text)[kTextRoom]);
    bool ReadEmbedded(ZeqEmbeddedRef& out);
    // KZeq::FieldReadPattern on the current block (kzeqpattern.cpp).
    bool ReadPattern(std::string_view name, const KZeqFieldPattern* patterns, int count, bool all, double* numbers,
                     int room, int& taken);
    // Time: ticks, with the section version deciding how 'I' values read.
    bool ReadTime(std::int64_t& ticks, int sectionVersion) {
        return ReadTicks(ticks) || ReadTimeSlow(ticks, sectionVersion);
    }
    // The next value when it is stored as ticks ('L'), the common case of a time.
    bool ReadTicks(std::int64_t& ticks) {
        if (const std::uint8_t* v = TakeFast<8>(kTagLong)) {
            std::memcpy(&ticks, v, 8);
            return true;
        }
        return false;
    }
    // Up to count values converted; answers how many were read.
    std::size_t ReadDoubles(double* out, std::size_t count);
    std::size_t ReadFloats(float* out, std::size_t count);
    std::size_t ReadInts(std::int32_t* out, std::size_t count);
    std::size_t ReadLongs(std::int64_t* out, std::size_t count);
    // Up to count next numbers and chars, each handed to out(index, tag, bytes),
    // in one pass over the runs; stops before a string or embedded value.
    // Defined beside its one user, the typed batch read (kzeqruns.cpp).
    template <class Out>
    std::size_t ReadValuesTo(Out out, std::size_t count);
    // Up to count next records, each stored as one of the shapes says, in one
    // pass over the field's regions: out(index, shape, bytes) for each (bytes
    // at its first tag, ZeqRecordShape::kReadable of them readable), which
    // answers false to stop before it. Stops at the first value that begins none.
    // Defined in kzeqrecords.h.
    template <class Out>
    std::size_t ReadRecordsTo(const ZeqRecordShape* shapes, std::size_t shapeCount, Out out, std::size_t count);

private:
    struct Entry {
        const std::uint8_t* mField;
        std::uint32_t mNameLength;
        std::uint32_t mNext;
    };
    struct Group {
        std::string_view mName;
        std::uint32_t mFirst;
        std::uint32_t mLast;
        std::uint32_t mCursor;
        std::uint32_t mCount;
    };
    // Position in the values of the open field. mPos..mEnd is the region being
    // read: the field's values in the body, or a chunk (then mResume..mResumeEnd
    // is the rest of the field's values after the chunk reference).
    struct Cursor {
        const std::uint8_t* mPos = nullptr;
        const std::uint8_t* mEnd = nullptr;
        const std::uint8_t* mResume = nullptr;
        const std::uint8_t* mResumeEnd = nullptr;
        std::uint32_t mRunLeft = 0;
        std::uint8_t mRunType = 0;
        std::uint32_t mCount = 0;
        std::uint32_t mConsumed = 0;
        // mConsumed at which the region's values end (mCount outside chunks).
        std::uint32_t mLimit = 0;
    };
    struct Level {
        const std::uint8_t* mBegin = nullptr;
        const std::uint8_t* mEnd = nullptr;
        bool mIndexed = false;
        std::vector<Entry> mEntries;
        std::vector<Group> mGroups;
        std::unordered_map<std::string_view, std::uint32_t> mMap;
        const std::uint8_t* mOpen = nullptr;
        Cursor mCursor;
        // The chunk being read by the cursor (one per level, so a parent's chunk
        // stays while a nested block is read).
        ZeqBuffer mChunk;
    };

    Level& Top() { return mLevels[static_cast<std::size_t>(mDepth)]; }
    const Level& Top() const { return mLevels[static_cast<std::size_t>(mDepth)]; }
    void Enter(const std::uint8_t* begin, const std::uint8_t* end);
    // The open field's cursor of the current level, or null.
    void Track() { mCursor = mDepth >= 0 && Top().mOpen ? &Top().mCursor : nullptr; }
    bool ReadDoubleSlow(double& out);
    bool ReadLongSlow(std::int64_t& out);
    bool ReadIntSlow(std::int32_t& out);
    bool ReadCharSlow(char& out);
    bool ReadTimeSlow(std::int64_t& ticks, int sectionVersion);
    template <class T, class Convert>
    std::size_t ReadRuns(std::uint8_t tag, T* out, std::size_t count, Convert convert);
    // The next value when it is of this fixed-size type (single or in a run), else
    // null and nothing consumed.
    template <std::size_t N>
    const std::uint8_t* TakeFast(std::uint8_t tag) {
        Cursor* c = mCursor;
        if (!c) return nullptr;
        const std::uint8_t* v;
        if (c->mRunLeft > 0) {
            if (c->mRunType != tag) return nullptr;
            v = c->mPos;
            c->mPos += N;
            --c->mRunLeft;
        } else {
            if (c->mConsumed >= c->mLimit || c->mEnd - c->mPos <= static_cast<std::ptrdiff_t>(N) || *c->mPos != tag) {
                return nullptr;
            }
            v = c->mPos + 1;
            c->mPos += 1 + N;
            c->mRunType = tag;
        }
        ++c->mConsumed;
        return v;
    }
    bool Index(Level& level);
    Group* FindGroup(Level& level, std::string_view name);
    bool OpenField(Level& level, const std::uint8_t* field);
    // Makes the next value current in the cursor's run, entering and leaving
    // chunks; false when none is left or the values are damaged.
    bool NextRun(Cursor& c);
    // Leaves finished regions and enters chunks until the cursor lies at a
    // value's tag; false when none is left or the values are damaged.
    bool AtValue(Cursor& c);
    bool EnterChunk(Cursor& c);
    // A chunk at the cursor that is one run of count values of the tag's type,
    // read straight into out; false (nothing consumed) when it is not one. A
    // damaged chunk marks the body corrupted (out then holds anything there).
    bool ReadChunkDirect(Cursor& c, std::uint8_t tag, void* out, std::size_t count, std::size_t elementSize);
    void Damaged(Cursor& c);
    // False, the body marked damaged, when a value taken as a number is none
    // in a text body (see SetTextNumbers). Numbers pass at the cost of a test.
    bool IsNumberValue(Cursor& c, std::uint8_t type, const std::uint8_t* v) {
        return type == kTagInt || type == kTagDouble || type == kTagLong || type == kTagFloat || !mTextNumbers ||
               IsNumberText(c, type, v);
    }
    bool IsNumberText(Cursor& c, std::uint8_t type, const std::uint8_t* v);
    // The current value's bytes, consumed.
    const std::uint8_t* Take(Cursor& c, std::uint8_t& type);

    std::vector<Level> mLevels;
    Cursor* mCursor = nullptr;
    ZeqChunkLoader* mLoader = nullptr;
    int mDepth = 0;
    bool mCorrupted = false;
    bool mTextNumbers = false;
};

}  // namespace zeqdetail
}  // namespace zeqsdk_400

#endif
