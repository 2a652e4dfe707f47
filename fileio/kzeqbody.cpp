#include "fileio/kzeqbody.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/ktime.h"

// Layout: see the comment at the top of kzeqbinary.cpp.

namespace zeqsdk_400 {
namespace zeqdetail {

static_assert(sizeof(double) == 8 && sizeof(float) == 4, "IEEE sizes expected");
static_assert(std::numeric_limits<double>::is_iec559, "IEEE doubles expected");
#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the stored layout is little-endian");
#endif

constexpr int kMaxBlockDepth = 256;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
// Below this many distinct names a linear search beats hashing.
constexpr std::size_t kLinearGroups = 8;


// --- ZeqBuffer -------------------------------------------------------------------

ZeqBuffer::ZeqBuffer(ZeqBuffer&& other) noexcept
    : mData(other.mData), mSize(other.mSize), mCapacity(other.mCapacity), mFailed(other.mFailed) {
    other.mData = nullptr;
    other.mSize = other.mCapacity = 0;
    other.mFailed = false;
}

ZeqBuffer& ZeqBuffer::operator=(ZeqBuffer&& other) noexcept {
    if (this != &other) {
        std::free(mData);
        mData = other.mData;
        mSize = other.mSize;
        mCapacity = other.mCapacity;
        mFailed = other.mFailed;
        other.mData = nullptr;
        other.mSize = other.mCapacity = 0;
        other.mFailed = false;
    }
    return *this;
}

ZeqBuffer::~ZeqBuffer() { std::free(mData); }

std::size_t ZeqBuffer::Checked(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() / 2 - mSize) {
        mFailed = true;
        return std::numeric_limits<std::size_t>::max();
    }
    return mSize + count;
}

bool ZeqBuffer::Reserve(std::size_t size) {
    if (mFailed) return false;
    if (size <= mCapacity) return true;
    if (size > std::numeric_limits<std::size_t>::max() / 4) {
        mFailed = true;
        return false;
    }
    std::size_t capacity = std::max<std::size_t>(mCapacity * 2, 256);
    if (capacity < size) capacity = size;
    void* grown = std::realloc(mData, capacity);
    if (!grown) {
        mFailed = true;
        return false;
    }
    mData = static_cast<std::uint8_t*>(grown);
    mCapacity = capacity;
    return true;
}

bool ZeqBuffer::Insert(std::size_t position, std::size_t count) {
    if (position > mSize) return false;
    const std::size_t tail = mSize - position;
    if (!Grow(count)) return false;
    std::memmove(mData + position + count, mData + position, tail);
    return true;
}

void ZeqBuffer::Release() {
    std::free(mData);
    mData = nullptr;
    mSize = mCapacity = 0;
    mFailed = false;
}

// --- ZeqBodyWriter -------------------------------------------------------------------

void ZeqBodyWriter::Reset() {
    mFields.clear();
    mDepth = 0;
    mFailed = false;
}

bool ZeqBodyWriter::FieldBegin(std::string_view name) {
    if (Failed()) return false;
    if (!mFields.empty() && !mFields.back().mBlockOpen) EndTop();
    if (name.size() > kMaxNameLength) {
        mFailed = true;
        return false;
    }
    const std::size_t header = mBuffer->Size();
    std::uint8_t* p = mBuffer->Grow(kFieldHeaderSize + name.size());
    if (!p) return false;
    std::memset(p, 0, kFieldHeaderSize);
    Store<std::uint32_t>(p + 8, static_cast<std::uint32_t>(name.size()));
    if (!name.empty()) std::memcpy(p + kFieldHeaderSize, name.data(), name.size());
    OpenField field{};
    field.mHeader = header;
    field.mValues = header + kFieldHeaderSize + name.size();
    mFields.push_back(field);
    return true;
}

void ZeqBodyWriter::CloseRun(OpenField& field) {
    if (field.mRunIsArray) Store<std::uint32_t>(mBuffer->Data() + field.mRunTag + 1, field.mRunCount);
    field.mRunType = 0;
    field.mRunCount = 0;
    field.mRunIsArray = false;
}

// The trailing singles of the run type (fewer than kRunThreshold) become the start
// of an array run.
bool ZeqBodyWriter::MakeRun(OpenField& field) {
    const std::size_t size = ElementSize(field.mRunType);
    std::uint8_t values[kRunThreshold * 8];
    const std::uint8_t* singles = mBuffer->Data() + field.mRunTag;
    for (std::uint32_t i = 0; i < field.mRunCount; ++i) std::memcpy(values + i * size, singles + i * (1 + size) + 1, size);
    mBuffer->Resize(field.mRunTag);
    std::uint8_t* p = mBuffer->Grow(5 + field.mRunCount * size);
    if (!p) return false;
    p[0] = static_cast<std::uint8_t>(field.mRunType + ('a' - 'A'));
    std::memcpy(p + 5, values, field.mRunCount * size);
    field.mRunIsArray = true;
    return true;
}

void ZeqBodyWriter::EndTop() {
    OpenField& field = mFields.back();
    std::uint8_t* data = mBuffer->Data();
    const std::size_t size = mBuffer->Size();
    if (!field.mBlockDone) {
        CloseRun(field);
        Store<std::uint64_t>(data + field.mHeader + 16, size - field.mValues);
    }
    Store<std::uint64_t>(data + field.mHeader, size - field.mHeader - 8);
    if (field.mBlockDone) {
        const std::uint32_t nameFlags = Load<std::uint32_t>(data + field.mHeader + 8);
        Store<std::uint32_t>(data + field.mHeader + 8, nameFlags | kBlockFlag);
    }
    Store<std::uint32_t>(data + field.mHeader + 12, field.mCount);
    mFields.pop_back();
}

bool ZeqBodyWriter::FieldEnd() {
    if (mFields.empty() || mBuffer->Size() == 0) return false;
    if (mFields.back().mBlockOpen) BlockEnd();
    EndTop();
    return true;
}

bool ZeqBodyWriter::BlockBegin() {
    if (Failed() || !ValueOpen()) return false;
    if (mDepth >= kMaxBlockDepth) {
        mFailed = true;
        return false;
    }
    OpenField& field = mFields.back();
    CloseRun(field);
    Store<std::uint64_t>(mBuffer->Data() + field.mHeader + 16, mBuffer->Size() - field.mValues);
    field.mBlockOpen = true;
    ++mDepth;
    return true;
}

bool ZeqBodyWriter::BlockEnd() {
    if (mFields.empty() || mBuffer->Data() == nullptr) return false;
    if (!mFields.back().mBlockOpen) {
        // A field still open inside the block ends with it.
        EndTop();
        if (mFields.empty() || !mFields.back().mBlockOpen) return false;
    }
    OpenField& field = mFields.back();
    field.mBlockOpen = false;
    field.mBlockDone = true;
    --mDepth;
    return true;
}

void ZeqBodyWriter::CloseAll() {
    if (mBuffer->Data() == nullptr) {
        mFields.clear();
        mDepth = 0;
        return;
    }
    while (!mFields.empty()) {
        if (mFields.back().mBlockOpen) {
            mFields.back().mBlockOpen = false;
            mFields.back().mBlockDone = true;
            --mDepth;
        }
        EndTop();
    }
}

bool ZeqBodyWriter::CanWriteValues(std::size_t count) {
    if (Failed() || !ValueOpen()) return false;
    if (count > kMaxValueCount - mFields.back().mCount) {
        mFailed = true;
        return false;
    }
    return true;
}

bool ZeqBodyWriter::WriteScalar(std::uint8_t tag, const void* value, std::size_t size) {
    if (mFields.empty() || mFailed) return false;
    OpenField& field = mFields.back();
    if (field.mBlockOpen || field.mBlockDone) return false;
    if (field.mCount == kMaxValueCount) {
        mFailed = true;
        return false;
    }
    if (field.mRunType == tag) {
        if (!field.mRunIsArray && field.mRunCount + 1 >= kRunThreshold && !MakeRun(field)) return false;
        if (field.mRunIsArray && field.mRunCount < kNone) {
            std::uint8_t* p = mBuffer->Grow(size);
            if (!p) return false;
            std::memcpy(p, value, size);
            ++field.mRunCount;
            ++field.mCount;
            return true;
        }
        if (!field.mRunIsArray) {
            std::uint8_t* p = mBuffer->Grow(1 + size);
            if (!p) return false;
            p[0] = tag;
            std::memcpy(p + 1, value, size);
            ++field.mRunCount;
            ++field.mCount;
            return true;
        }
    }
    CloseRun(field);
    const std::size_t at = mBuffer->Size();
    std::uint8_t* p = mBuffer->Grow(1 + size);
    if (!p) return false;
    p[0] = tag;
    std::memcpy(p + 1, value, size);
    field.mRunTag = at;
    field.mRunType = tag;
    field.mRunCount = 1;
    ++field.mCount;
    return true;
}

bool ZeqBodyWriter::WriteArray(std::uint8_t tag, const void* values, std::size_t count) {
    if (count == 0) return !Failed() && ValueOpen();
    if (!CanWriteValues(count)) return false;
    const std::size_t size = ElementSize(tag);
    const auto* source = static_cast<const std::uint8_t*>(values);
    if (count < kRunThreshold) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!WriteScalar(tag, source + i * size, size)) return false;
        }
        return true;
    }
    OpenField& field = mFields.back();
    if (field.mRunType == tag && (!field.mRunIsArray || count <= kNone - field.mRunCount)) {
        if (!field.mRunIsArray && !MakeRun(field)) return false;
        if (!mBuffer->Append(source, count * size)) return false;
        field.mRunCount += static_cast<std::uint32_t>(count);
        field.mCount += static_cast<std::uint32_t>(count);
        return true;
    }
    CloseRun(field);
    const std::size_t at = mBuffer->Size();
    std::uint8_t* p = mBuffer->Grow(5 + count * size);
    if (!p) return false;
    p[0] = static_cast<std::uint8_t>(tag + ('a' - 'A'));
    std::memcpy(p + 5, source, count * size);
    field.mRunTag = at;
    field.mRunType = tag;
    field.mRunCount = static_cast<std::uint32_t>(count);
    field.mRunIsArray = true;
    field.mCount += static_cast<std::uint32_t>(count);
    return true;
}

bool ZeqBodyWriter::WriteString(std::string_view text) {
    if (!CanWriteValues(1)) return false;
    if (text.size() > 0xFFFFFFFFu) {
        mFailed = true;
        return false;
    }
    OpenField& field = mFields.back();
    CloseRun(field);
    std::uint8_t* p = mBuffer->Grow(5 + text.size());
    if (!p) return false;
    p[0] = kTagString;
    Store<std::uint32_t>(p + 1, static_cast<std::uint32_t>(text.size()));
    if (!text.empty()) std::memcpy(p + 5, text.data(), text.size());
    ++field.mCount;
    return true;
}

bool ZeqBodyWriter::WriteEmbedded(const ZeqEmbeddedRef& ref) {
    if (!CanWriteValues(1)) return false;
    if (ref.mName.size() > 0xFFFFu) return false;
    OpenField& field = mFields.back();
    CloseRun(field);
    std::uint8_t* p = mBuffer->Grow(1 + kEmbeddedFixedSize + ref.mName.size());
    if (!p) return false;
    p[0] = kTagEmbedded;
    Store<std::uint64_t>(p + 1, ref.mOffset);
    Store<std::uint64_t>(p + 9, ref.mSize);
    Store<std::uint32_t>(p + 17, ref.mCrc);
    std::memcpy(p + 21, ref.mNonce, 16);
    std::memcpy(p + 37, ref.mKey, 32);
    Store<std::uint32_t>(p + 69, static_cast<std::uint32_t>(ref.mName.size()));
    if (!ref.mName.empty()) std::memcpy(p + 73, ref.mName.data(), ref.mName.size());
    ++field.mCount;
    return true;
}

// --- ZeqBodyReader ------------------------------------------------------------------------

namespace {

bool ParseDouble(std::string_view text, double& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto result = std::from_chars(first, last, out);
    return result.ec == std::errc() && result.ptr == last && first != last;
}

std::int64_t DoubleToLong(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

std::int32_t LongToInt(std::int64_t v) {
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::int32_t DoubleToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::string_view StringAt(const std::uint8_t* v) {
    return std::string_view(reinterpret_cast<const char*>(v + 4), Load<std::uint32_t>(v));
}

// Numeric view of one value; strings are read as numbers when they hold one.
double ValueAsDouble(std::uint8_t type, const std::uint8_t* v) {
    switch (type) {
        case kTagDouble:
            return Load<double>(v);
        case kTagFloat:
            return static_cast<double>(Load<float>(v));
        case kTagInt:
            return static_cast<double>(Load<std::int32_t>(v));
        case kTagLong:
            return static_cast<double>(Load<std::int64_t>(v));
        case kTagChar:
            return static_cast<double>(static_cast<signed char>(*v));
        case kTagString: {
            double d = 0.0;
            return ParseDouble(StringAt(v), d) ? d : 0.0;
        }
        default:
            return 0.0;
    }
}

std::int64_t ValueAsLong(std::uint8_t type, const std::uint8_t* v) {
    switch (type) {
        case kTagInt:
            return Load<std::int32_t>(v);
        case kTagLong:
            return Load<std::int64_t>(v);
        case kTagChar:
            return static_cast<signed char>(*v);
        case kTagString: {
            const std::string_view text = StringAt(v);
            std::int64_t value = 0;
            const char* first = text.data();
            const char* last = first + text.size();
            const auto result = std::from_chars(first, last, value);
            if (result.ec == std::errc() && result.ptr == last) return value;
            return DoubleToLong(ValueAsDouble(type, v));
        }
        default:
            return DoubleToLong(ValueAsDouble(type, v));
    }
}

}  // namespace

ZeqBodyReader::ZeqBodyReader() { mLevels.resize(1); }

ZeqBodyReader::~ZeqBodyReader() = default;

void ZeqBodyReader::Reset(const std::uint8_t* body, std::size_t size) {
    mDepth = -1;
    mCorrupted = false;
    Enter(body, body ? body + size : nullptr);
}

void ZeqBodyReader::Enter(const std::uint8_t* begin, const std::uint8_t* end) {
    ++mDepth;
    if (mLevels.size() <= static_cast<std::size_t>(mDepth)) mLevels.emplace_back();
    Level& level = Top();
    level.mBegin = begin;
    level.mEnd = end;
    level.mIndexed = false;
    level.mEntries.clear();
    level.mGroups.clear();
    level.mMap.clear();
    level.mOpen = nullptr;
    level.mCursor = Cursor();
}

ZeqBodyReader::Group* ZeqBodyReader::FindGroup(Level& level, std::string_view name) {
    if (!level.mMap.empty()) {
        const auto it = level.mMap.find(name);
        return it == level.mMap.end() ? nullptr : &level.mGroups[it->second];
    }
    for (Group& group : level.mGroups) {
        if (group.mName == name) return &group;
    }
    return nullptr;
}

bool ZeqBodyReader::Index(Level& level) {
    level.mIndexed = true;
    const std::uint8_t* p = level.mBegin;
    const std::uint8_t* end = level.mEnd;
    while (p && p < end) {
        const std::size_t left = static_cast<std::size_t>(end - p);
        if (left < kFieldHeaderSize) break;
        const std::uint64_t length = Load<std::uint64_t>(p);
        const std::uint32_t nameFlags = Load<std::uint32_t>(p + 8);
        const std::uint32_t nameLength = nameFlags & ~kBlockFlag;
        const std::uint32_t count = Load<std::uint32_t>(p + 12);
        const std::uint64_t valueBytes = Load<std::uint64_t>(p + 16);
        if (length > left - 8 || length < kFieldHeaderSize - 8) break;
        const std::uint64_t inner = length - (kFieldHeaderSize - 8);
        if (nameLength > inner || valueBytes > inner - nameLength || count > kMaxValueCount) break;
        if (!(nameFlags & kBlockFlag) && valueBytes != inner - nameLength) break;
        if (level.mEntries.size() >= kNone - 1) break;
        const std::uint32_t index = static_cast<std::uint32_t>(level.mEntries.size());
        level.mEntries.push_back(Entry{p, nameLength, kNone});
        const std::string_view name(reinterpret_cast<const char*>(p + kFieldHeaderSize), nameLength);
        if (Group* group = FindGroup(level, name)) {
            level.mEntries[group->mLast].mNext = index;
            group->mLast = index;
            ++group->mCount;
        } else {
            level.mGroups.push_back(Group{name, index, index, index, 1});
            if (level.mGroups.size() == kLinearGroups + 1) {
                for (std::uint32_t g = 0; g < level.mGroups.size(); ++g) level.mMap.emplace(level.mGroups[g].mName, g);
            } else if (level.mGroups.size() > kLinearGroups + 1) {
                level.mMap.emplace(name, static_cast<std::uint32_t>(level.mGroups.size() - 1));
            }
        }
        p += 8 + length;
    }
    if (p != end) {
        mCorrupted = true;
        return false;
    }
    return true;
}

bool ZeqBodyReader::OpenField(Level& level, const std::uint8_t* field) {
    const std::uint32_t nameLength = Load<std::uint32_t>(field + 8) & ~kBlockFlag;
    const std::uint32_t count = Load<std::uint32_t>(field + 12);
    const std::uint64_t valueBytes = Load<std::uint64_t>(field + 16);
    const std::uint8_t* values = field + kFieldHeaderSize + nameLength;
    const std::uint8_t* valuesEnd = values + valueBytes;
    level.mOpen = field;
    level.mCursor = Cursor();
    level.mCursor.mPos = values;
    level.mCursor.mEnd = valuesEnd;
    level.mCursor.mCount = count;
    return true;
}

bool ZeqBodyReader::FieldBegin(std::string_view name) {
    if (mDepth < 0) return false;
    Level& level = Top();
    level.mOpen = nullptr;
    if (!level.mIndexed) Index(level);
    Group* group = FindGroup(level, name);
    if (!group || group->mCursor == kNone) return false;
    const std::uint32_t index = group->mCursor;
    group->mCursor = level.mEntries[index].mNext;
    return OpenField(level, level.mEntries[index].mField);
}

bool ZeqBodyReader::FieldEnd() {
    if (mDepth < 0 || !Top().mOpen) return false;
    Level& level = Top();
    const Cursor& c = level.mCursor;
    // Every value read: the runs must have filled the value bytes exactly.
    if (c.mConsumed == c.mCount && c.mRunLeft == 0 && c.mPos != c.mEnd) mCorrupted = true;
    level.mOpen = nullptr;
    return true;
}

bool ZeqBodyReader::BlockBegin() {
    if (mDepth < 0) return false;
    const Level& level = Top();
    const std::uint8_t* field = level.mOpen;
    if (!field) return false;
    const std::uint32_t nameFlags = Load<std::uint32_t>(field + 8);
    if (!(nameFlags & kBlockFlag)) return false;
    if (mDepth + 1 > kMaxBlockDepth) {
        // Writers never nest this deep; such a file is damaged or forged.
        mCorrupted = true;
        return false;
    }
    const std::uint8_t* begin = level.mCursor.mEnd;
    const std::uint8_t* end = field + 8 + Load<std::uint64_t>(field);
    Enter(begin, end);
    return true;
}

bool ZeqBodyReader::BlockEnd() {
    if (mDepth <= 0) return false;
    --mDepth;
    return true;
}

void ZeqBodyReader::ResetPosition() {
    if (mDepth < 0) return;
    Level& level = Top();
    level.mOpen = nullptr;
    for (Group& group : level.mGroups) group.mCursor = group.mFirst;
}

int ZeqBodyReader::InstanceCount(std::string_view name) {
    if (mDepth < 0) return 0;
    Level& level = Top();
    if (!level.mIndexed) Index(level);
    const Group* group = FindGroup(level, name);
    return group ? static_cast<int>(std::min<std::uint32_t>(group->mCount, 0x7FFFFFFF)) : 0;
}

int ZeqBodyReader::BlockFieldCount() {
    if (mDepth < 0) return 0;
    Level& level = Top();
    if (!level.mIndexed) Index(level);
    return static_cast<int>(std::min<std::size_t>(level.mEntries.size(), 0x7FFFFFFF));
}

std::string_view ZeqBodyReader::BlockFieldName(int index) {
    if (mDepth < 0 || index < 0) return std::string_view();
    Level& level = Top();
    if (!level.mIndexed) Index(level);
    if (static_cast<std::size_t>(index) >= level.mEntries.size()) return std::string_view();
    const Entry& entry = level.mEntries[static_cast<std::size_t>(index)];
    return std::string_view(reinterpret_cast<const char*>(entry.mField + kFieldHeaderSize), entry.mNameLength);
}

int ZeqBodyReader::Remain() const {
    if (mDepth < 0 || !FieldOpen()) return 0;
    const Cursor& c = Top().mCursor;
    return static_cast<int>(c.mCount - c.mConsumed);
}

// Decodes the next run header, checking it against the field's value bytes and
// value count; anything inconsistent marks the body corrupted.
bool ZeqBodyReader::NextRun(Cursor& c) {
    if (c.mRunLeft > 0) return true;
    if (c.mConsumed >= c.mCount) return false;
    if (c.mPos >= c.mEnd) {
        mCorrupted = true;
        c.mConsumed = c.mCount;  // nothing more is readable
        return false;
    }
    const std::uint8_t tag = *c.mPos;
    const std::size_t left = static_cast<std::size_t>(c.mEnd - c.mPos) - 1;
    const std::uint8_t* payload = c.mPos + 1;
    bool ok = false;
    if (tag >= 'a' && tag <= 'z') {
        const std::uint8_t type = static_cast<std::uint8_t>(tag - ('a' - 'A'));
        const std::size_t size = ElementSize(type);
        if (size != 0 && left >= 4) {
            const std::uint32_t n = Load<std::uint32_t>(payload);
            if (n != 0 && n <= (left - 4) / size && n <= c.mCount - c.mConsumed) {
                c.mRunType = type;
                c.mRunLeft = n;
                c.mPos += 5;
                return true;
            }
        }
    } else if (tag == kTagString) {
        ok = left >= 4 && Load<std::uint32_t>(payload) <= left - 4;
    } else if (tag == kTagEmbedded) {
        ok = left >= kEmbeddedFixedSize && Load<std::uint32_t>(payload + kEmbeddedFixedSize - 4) <= left - kEmbeddedFixedSize;
    } else {
        const std::size_t size = ElementSize(tag);
        ok = size != 0 && size <= left;
    }
    if (!ok) {
        mCorrupted = true;
        c.mConsumed = c.mCount;
        return false;
    }
    c.mRunType = tag;
    c.mRunLeft = 1;
    c.mPos += 1;
    return true;
}

const std::uint8_t* ZeqBodyReader::Take(Cursor& c, std::uint8_t& type) {
    if (!NextRun(c)) return nullptr;
    const std::uint8_t* value = c.mPos;
    type = c.mRunType;
    if (type == kTagString) {
        c.mPos += 4 + Load<std::uint32_t>(value);
    } else if (type == kTagEmbedded) {
        c.mPos += kEmbeddedFixedSize + Load<std::uint32_t>(value + kEmbeddedFixedSize - 4);
    } else {
        c.mPos += ElementSize(type);
    }
    --c.mRunLeft;
    ++c.mConsumed;
    return value;
}

std::uint8_t ZeqBodyReader::PeekType() {
    if (mDepth < 0 || !FieldOpen()) return 0;
    Cursor& c = Top().mCursor;
    if (!NextRun(c)) return 0;
    return c.mRunType;
}

bool ZeqBodyReader::ReadDoubleSlow(double& out) {
    if (mDepth < 0 || !FieldOpen()) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(Top().mCursor, type);
    if (!v) return false;
    out = ValueAsDouble(type, v);
    return true;
}

bool ZeqBodyReader::ReadLong(std::int64_t& out) {
    if (const std::uint8_t* fast = TakeFast<8>(kTagLong)) {
        out = Load<std::int64_t>(fast);
        return true;
    }
    if (mDepth < 0 || !FieldOpen()) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(Top().mCursor, type);
    if (!v) return false;
    out = ValueAsLong(type, v);
    return true;
}

bool ZeqBodyReader::ReadInt(std::int32_t& out) {
    if (const std::uint8_t* fast = TakeFast<4>(kTagInt)) {
        out = Load<std::int32_t>(fast);
        return true;
    }
    if (mDepth < 0 || !FieldOpen()) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(Top().mCursor, type);
    if (!v) return false;
    if (type == kTagInt) {
        out = Load<std::int32_t>(v);
    } else if (type == kTagDouble || type == kTagFloat) {
        out = DoubleToInt(ValueAsDouble(type, v));
    } else {
        out = LongToInt(ValueAsLong(type, v));
    }
    return true;
}

bool ZeqBodyReader::ReadChar(char& out) {
    if (const std::uint8_t* fast = TakeFast<1>(kTagChar)) {
        out = static_cast<char>(*fast);
        return true;
    }
    if (mDepth < 0 || !FieldOpen()) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(Top().mCursor, type);
    if (!v) return false;
    switch (type) {
        case kTagChar:
            out = static_cast<char>(*v);
            break;
        case kTagString:
            out = Load<std::uint32_t>(v) > 0 ? static_cast<char>(v[4]) : '\0';
            break;
        case kTagEmbedded:
            out = '\0';
            break;
        default:
            out = static_cast<char>(static_cast<std::uint8_t>(ValueAsLong(type, v) & 0xFF));
            break;
    }
    return true;
}

bool ZeqBodyReader::ReadString(KString& out) {
    if (mDepth < 0 || !FieldOpen()) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(Top().mCursor, type);
    if (!v) return false;
    char text[32];
    std::to_chars_result result{text, std::errc()};
    switch (type) {
        case kTagString: {
            const std::string_view s = StringAt(v);
            out = KString(s.data(), s.size());
            return true;
        }
        case kTagChar:
            out = KString(reinterpret_cast<const char*>(v), 1);
            return true;
        case kTagDouble:
        case kTagFloat:
            result = std::to_chars(text, text + sizeof(text), ValueAsDouble(type, v), std::chars_format::general, 15);
            break;
        case kTagInt:
        case kTagLong:
            result = std::to_chars(text, text + sizeof(text), ValueAsLong(type, v));
            break;
        default:
            out = KString("");
            return true;
    }
    out = KString(text, static_cast<std::size_t>(result.ptr - text));
    return true;
}

bool ZeqBodyReader::ReadEmbedded(ZeqEmbeddedRef& out) {
    if (mDepth < 0 || !FieldOpen()) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(Top().mCursor, type);
    if (!v || type != kTagEmbedded) return false;
    out.mOffset = Load<std::uint64_t>(v);
    out.mSize = Load<std::uint64_t>(v + 8);
    out.mCrc = Load<std::uint32_t>(v + 16);
    std::memcpy(out.mNonce, v + 20, 16);
    std::memcpy(out.mKey, v + 36, 32);
    out.mName = std::string_view(reinterpret_cast<const char*>(v + kEmbeddedFixedSize),
                                 Load<std::uint32_t>(v + kEmbeddedFixedSize - 4));
    return true;
}

bool ZeqBodyReader::ReadTime(std::int64_t& ticks, int sectionVersion) {
    if (const std::uint8_t* fast = TakeFast<8>(kTagLong)) {
        ticks = Load<std::int64_t>(fast);
        return true;
    }
    if (mDepth < 0 || !FieldOpen()) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(Top().mCursor, type);
    if (!v) return false;
    const bool ticksVersion = sectionVersion > 2000;
    bool asSeconds = false;
    switch (type) {
        case kTagLong:
            break;
        case kTagInt:
            asSeconds = !ticksVersion;
            break;
        case kTagString: {
            std::int64_t whole = 0;
            const std::string_view text = StringAt(v);
            const auto result = std::from_chars(text.data(), text.data() + text.size(), whole);
            asSeconds = !(ticksVersion && result.ec == std::errc() && result.ptr == text.data() + text.size());
            break;
        }
        case kTagEmbedded:
            ticks = 0;
            return true;
        default:
            asSeconds = true;
            break;
    }
    if (asSeconds) {
        KTime time;
        time.SetSecondDouble(ValueAsDouble(type, v));
        ticks = time.Get();
    } else {
        ticks = ValueAsLong(type, v);
    }
    return true;
}

std::size_t ZeqBodyReader::ReadDoubles(double* out, std::size_t count) {
    if (mDepth < 0 || !FieldOpen()) return 0;
    Cursor& c = Top().mCursor;
    std::size_t done = 0;
    while (done < count && NextRun(c)) {
        if (c.mRunType == kTagDouble) {
            const std::size_t n = std::min<std::size_t>(c.mRunLeft, count - done);
            std::memcpy(out + done, c.mPos, n * 8);
            c.mPos += n * 8;
            c.mRunLeft -= static_cast<std::uint32_t>(n);
            c.mConsumed += static_cast<std::uint32_t>(n);
            done += n;
        } else {
            std::uint8_t type = 0;
            const std::uint8_t* v = Take(c, type);
            out[done++] = ValueAsDouble(type, v);
        }
    }
    return done;
}

std::size_t ZeqBodyReader::ReadFloats(float* out, std::size_t count) {
    if (mDepth < 0 || !FieldOpen()) return 0;
    Cursor& c = Top().mCursor;
    std::size_t done = 0;
    while (done < count && NextRun(c)) {
        if (c.mRunType == kTagFloat) {
            const std::size_t n = std::min<std::size_t>(c.mRunLeft, count - done);
            std::memcpy(out + done, c.mPos, n * 4);
            c.mPos += n * 4;
            c.mRunLeft -= static_cast<std::uint32_t>(n);
            c.mConsumed += static_cast<std::uint32_t>(n);
            done += n;
        } else {
            std::uint8_t type = 0;
            const std::uint8_t* v = Take(c, type);
            out[done++] = static_cast<float>(ValueAsDouble(type, v));
        }
    }
    return done;
}

std::size_t ZeqBodyReader::ReadInts(std::int32_t* out, std::size_t count) {
    if (mDepth < 0 || !FieldOpen()) return 0;
    Cursor& c = Top().mCursor;
    std::size_t done = 0;
    while (done < count && NextRun(c)) {
        if (c.mRunType == kTagInt) {
            const std::size_t n = std::min<std::size_t>(c.mRunLeft, count - done);
            std::memcpy(out + done, c.mPos, n * 4);
            c.mPos += n * 4;
            c.mRunLeft -= static_cast<std::uint32_t>(n);
            c.mConsumed += static_cast<std::uint32_t>(n);
            done += n;
        } else {
            std::int32_t value = 0;
            ReadInt(value);
            out[done++] = value;
        }
    }
    return done;
}

std::size_t ZeqBodyReader::ReadLongs(std::int64_t* out, std::size_t count) {
    if (mDepth < 0 || !FieldOpen()) return 0;
    Cursor& c = Top().mCursor;
    std::size_t done = 0;
    while (done < count && NextRun(c)) {
        if (c.mRunType == kTagLong) {
            const std::size_t n = std::min<std::size_t>(c.mRunLeft, count - done);
            std::memcpy(out + done, c.mPos, n * 8);
            c.mPos += n * 8;
            c.mRunLeft -= static_cast<std::uint32_t>(n);
            c.mConsumed += static_cast<std::uint32_t>(n);
            done += n;
        } else {
            std::uint8_t type = 0;
            const std::uint8_t* v = Take(c, type);
            out[done++] = ValueAsLong(type, v);
        }
    }
    return done;
}

}  // namespace zeqdetail
}  // namespace zeqsdk_400
