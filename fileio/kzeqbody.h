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
    // Inserts count uninitialised bytes at position.
    bool Insert(std::size_t position, std::size_t count);
    void Resize(std::size_t size) {
        if (size <= mSize) mSize = size;
    }
    // Keeps the memory for reuse.
    void Clear() {
        mSize = 0;
        mFailed = false;
    }
    void Release();

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
constexpr std::uint32_t kBlockFlag = 0x80000000u;
constexpr std::uint32_t kMaxNameLength = 0x7FFFFFFFu;
constexpr std::uint32_t kMaxValueCount = 0x7FFFFFFFu;
// Embedded file value: u64 offset, u64 size, u32 CRC, 16-byte nonce, 32-byte key,
// u32 name length, name.
constexpr std::size_t kEmbeddedFixedSize = 8 + 8 + 4 + 16 + 32 + 4;

// Value tags: single values use the type letter, runs of one type its lower case.
enum : std::uint8_t {
    kTagDouble = 'D',
    kTagFloat = 'F',
    kTagInt = 'I',
    kTagLong = 'L',
    kTagChar = 'C',
    kTagString = 'S',
    kTagEmbedded = 'E',
};

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

// Writes fields into a buffer. Misuse (values without a field, unbalanced ends)
// is answered with false and leaves the buffer consistent.
class ZeqBodyWriter {
public:
    explicit ZeqBodyWriter(ZeqBuffer& buffer) : mBuffer(&buffer) {}

    void Reset();
    // Errors: true once the buffer could not grow or a limit was passed.
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
    bool ValueOpen() const { return !mFields.empty() && !mFields.back().mBlockOpen && !mFields.back().mBlockDone; }

    bool WriteDouble(double v) { return WriteValue(kTagDouble, v); }
    bool WriteFloat(float v) { return WriteValue(kTagFloat, v); }
    bool WriteInt(std::int32_t v) { return WriteValue(kTagInt, v); }
    bool WriteLong(std::int64_t v) { return WriteValue(kTagLong, v); }
    bool WriteChar(char v) { return WriteValue(kTagChar, v); }
    bool WriteString(std::string_view text);
    bool WriteArray(std::uint8_t tag, const void* values, std::size_t count);
    bool WriteEmbedded(const ZeqEmbeddedRef& ref);

private:
    // Consecutive values of one type are kept as singles (tag and value each) up to
    // this many, then rewritten as an array run: below it a run is no smaller.
    static constexpr std::uint32_t kRunThreshold = 5;

    struct OpenField {
        std::size_t mHeader;
        std::size_t mValues;
        // Start of the current run: its header, or its first single.
        std::size_t mRunTag;
        std::uint32_t mCount;
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
        if (mFields.empty() || mFailed) return false;
        OpenField& field = mFields.back();
        if (field.mBlockOpen || field.mBlockDone || field.mCount >= kMaxValueCount - 1) {
            return WriteScalar(tag, &value, sizeof(T));
        }
        if (field.mRunType == tag) {
            if (field.mRunIsArray ? field.mRunCount == 0xFFFFFFFFu : field.mRunCount + 1 >= kRunThreshold) {
                return WriteScalar(tag, &value, sizeof(T));
            }
            std::uint8_t* p = mBuffer->Grow(field.mRunIsArray ? sizeof(T) : 1 + sizeof(T));
            if (!p) return false;
            if (!field.mRunIsArray) *p++ = tag;
            std::memcpy(p, &value, sizeof(T));
            ++field.mRunCount;
            ++field.mCount;
            return true;
        }
        if (field.mRunIsArray) CloseRun(field);
        const std::size_t at = mBuffer->Size();
        std::uint8_t* p = mBuffer->Grow(1 + sizeof(T));
        if (!p) return false;
        p[0] = tag;
        std::memcpy(p + 1, &value, sizeof(T));
        field.mRunTag = at;
        field.mRunType = tag;
        field.mRunCount = 1;
        ++field.mCount;
        return true;
    }
    bool WriteScalar(std::uint8_t tag, const void* value, std::size_t size);
    bool MakeRun(OpenField& field);
    bool CanWriteValues(std::size_t count);
    void CloseRun(OpenField& field);
    void EndTop();

    ZeqBuffer* mBuffer;
    std::vector<OpenField> mFields;
    int mDepth = 0;
    bool mFailed = false;
};

// Reads a body held in memory (not owned; it must stay while the reader uses it).
// Field headers are checked when a block is indexed, value runs as they are read;
// anything inconsistent makes Corrupted() true and what lies behind it unreadable.
class ZeqBodyReader {
public:
    ZeqBodyReader();
    ~ZeqBodyReader();

    void Reset(const std::uint8_t* body, std::size_t size);
    void Clear() { Reset(nullptr, 0); }
    bool Corrupted() const { return mCorrupted; }
    int Depth() const { return mDepth; }

    bool FieldBegin(std::string_view name);
    bool FieldEnd();
    bool BlockBegin();
    bool BlockEnd();
    void ResetPosition();
    int InstanceCount(std::string_view name);
    int BlockFieldCount();
    std::string_view BlockFieldName(int index);
    bool FieldOpen() const { return Top().mOpen != nullptr; }

    int Count() const { return FieldOpen() ? static_cast<int>(Top().mCursor.mCount) : 0; }
    int Remain() const;
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
    bool ReadLong(std::int64_t& out);
    bool ReadInt(std::int32_t& out);
    bool ReadChar(char& out);
    bool ReadString(KString& out);
    bool ReadEmbedded(ZeqEmbeddedRef& out);
    // Time: ticks, with the section version deciding how 'I' values read.
    bool ReadTime(std::int64_t& ticks, int sectionVersion);
    // Up to count values converted; answers how many were read.
    std::size_t ReadDoubles(double* out, std::size_t count);
    std::size_t ReadFloats(float* out, std::size_t count);
    std::size_t ReadInts(std::int32_t* out, std::size_t count);
    std::size_t ReadLongs(std::int64_t* out, std::size_t count);

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
    struct Cursor {
        const std::uint8_t* mPos = nullptr;
        const std::uint8_t* mEnd = nullptr;
        std::uint32_t mRunLeft = 0;
        std::uint8_t mRunType = 0;
        std::uint32_t mCount = 0;
        std::uint32_t mConsumed = 0;
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
    };

    Level& Top() { return mLevels[static_cast<std::size_t>(mDepth)]; }
    const Level& Top() const { return mLevels[static_cast<std::size_t>(mDepth)]; }
    void Enter(const std::uint8_t* begin, const std::uint8_t* end);
    bool ReadDoubleSlow(double& out);
    // The next value when it is of this fixed-size type (single or in a run), else
    // null and nothing consumed.
    template <std::size_t N>
    const std::uint8_t* TakeFast(std::uint8_t tag) {
        if (mDepth < 0) return nullptr;
        Level& level = Top();
        if (!level.mOpen) return nullptr;
        Cursor& c = level.mCursor;
        const std::uint8_t* v = nullptr;
        if (c.mRunLeft > 0) {
            if (c.mRunType != tag) return nullptr;
            v = c.mPos;
            c.mPos += N;
            --c.mRunLeft;
        } else {
            if (c.mConsumed >= c.mCount || c.mEnd - c.mPos <= static_cast<std::ptrdiff_t>(N) || *c.mPos != tag) {
                return nullptr;
            }
            v = c.mPos + 1;
            c.mPos += 1 + N;
            c.mRunType = tag;
        }
        ++c.mConsumed;
        return v;
    }
    bool Index(Level& level);
    Group* FindGroup(Level& level, std::string_view name);
    bool OpenField(Level& level, const std::uint8_t* field);
    // Makes the next value current in the cursor's run; false when none.
    bool NextRun(Cursor& c);
    // The current value's bytes, consumed.
    const std::uint8_t* Take(Cursor& c, std::uint8_t& type);

    std::vector<Level> mLevels;
    int mDepth = 0;
    bool mCorrupted = false;
};

}  // namespace zeqdetail
}  // namespace zeqsdk_400

#endif
