#include "fileio/kzeqbody.h"

#include "fileio/kzeqascii.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "base/ktime.h"

// Layout: see the comment at the top of kzeqbinary.cpp.

namespace zeqsdk_400 {
namespace zeqdetail {

static_assert(sizeof(double) == 8 && sizeof(float) == 4, "IEEE sizes expected");
static_assert(std::numeric_limits<double>::is_iec559, "IEEE doubles expected");
#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the stored layout is little-endian");
#endif

// Below this many distinct names a linear search (lengths and first letters
// compared first) beats hashing, whose table allocates per name.
constexpr std::size_t kLinearGroups = 24;


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
        mCapacity = mSize;
        return std::numeric_limits<std::size_t>::max();
    }
    return mSize + count;
}

namespace {

// Below this a buffer is left to the allocator's pages.
constexpr std::size_t kHugePageAdviceFrom = std::size_t(2) << 20;
constexpr std::size_t kHugePage = std::size_t(2) << 20;

void AdviseHugePagesFor(void* data, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kPage = 4096;
    const auto from = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kPage - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)data, (void)size;
#endif
}

}  // namespace

bool ZeqBuffer::Reserve(std::size_t size) {
    if (mFailed) return false;
    if (size <= mCapacity) return true;
    std::size_t capacity = std::max<std::size_t>(mCapacity * 2, 256);
    if (capacity < size) capacity = size;
    void* grown = nullptr;
    if (size > std::numeric_limits<std::size_t>::max() / 4) {
    } else if (capacity >= kHugePageAdviceFrom) {
        // Huge pages stay whole only where the block is aligned to them: a new
        // aligned block, the bytes copied. Growing fourfold keeps the copies to a
        // third of the final size; pages never written cost nothing.
        capacity = std::max(capacity, mCapacity * 4);
        capacity = (capacity + kHugePage - 1) & ~(kHugePage - 1);
        grown = std::aligned_alloc(kHugePage, capacity);
        if (grown) {
            AdviseHugePagesFor(grown, capacity);
            // All of the old block, as realloc keeps it: callers may hold bytes past the size.
            if (mCapacity) std::memcpy(grown, mData, mCapacity);
            std::free(mData);
        }
    } else {
        grown = std::realloc(mData, capacity);
    }
    if (!grown) {
        // Nothing fits any more, so inline appends fail too until Clear.
        mFailed = true;
        mCapacity = mSize;
        return false;
    }
    mData = static_cast<std::uint8_t*>(grown);
    mCapacity = capacity;
    return true;
}

void ZeqBuffer::AdviseHugePages() {
    if (mCapacity >= kHugePageAdviceFrom) AdviseHugePagesFor(mData, mCapacity);
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
    Track();
}

void ZeqBodyWriter::Track() {
    mValueField = nullptr;
    mSpillAt = static_cast<std::size_t>(-1);
    if (mFields.empty() || mFailed) return;
    OpenField& field = mFields.back();
    if (field.mBlockOpen || field.mBlockDone) return;
    mValueField = &field;
    if (mSink) mSpillAt = field.mChunkStart + kChunkBytes;
}

bool ZeqBodyWriter::FieldBegin(std::string_view name) {
    if (Failed()) return false;
    if (!mFields.empty() && !mFields.back().mBlockOpen) EndTop();
    if (name.size() > kMaxNameLength) {
        mFailed = true;
        Track();
        return false;
    }
    const std::size_t header = mBuffer->Size();
    std::uint8_t* p = mBuffer->Grow(kFieldHeaderSize + name.size());
    if (!p) {
        Track();
        return false;
    }
    // The header is completed when the field ends.
    std::memset(p, 0, kFieldHeaderSize);
    if (!name.empty()) std::memcpy(p + kFieldHeaderSize, name.data(), name.size());
    OpenField field{};
    field.mHeader = header;
    field.mValues = header + kFieldHeaderSize + name.size();
    field.mChunkStart = field.mValues;
    field.mNameLength = static_cast<std::uint32_t>(name.size());
    mFields.push_back(field);
    Track();
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
    const std::size_t size = mBuffer->Size();
    if (!field.mBlockDone) {
        CloseRun(field);
        field.mValueBytes = size - field.mValues;
    }
    std::uint8_t* header = mBuffer->Data() + field.mHeader;
    Store<std::uint64_t>(header, size - field.mHeader - 8);
    Store<std::uint32_t>(header + 8, field.mNameLength | (field.mBlockDone ? kBlockFlag : 0u));
    Store<std::uint32_t>(header + 12, field.mCount);
    Store<std::uint64_t>(header + 16, field.mValueBytes);
    mFields.pop_back();
    Track();
}

bool ZeqBodyWriter::FieldEnd() {
    if (mFields.empty() || mBuffer->Size() == 0) return false;
    if (mFields.back().mBlockOpen) BlockEnd();
    EndTop();
    return true;
}

bool ZeqBodyWriter::BlockBegin() {
    if (Failed() || !ValueOpen()) return false;
    if (mDepth >= kMaxBodyDepth) {
        mFailed = true;
        Track();
        return false;
    }
    OpenField& field = mFields.back();
    CloseRun(field);
    field.mValueBytes = mBuffer->Size() - field.mValues;
    field.mBlockOpen = true;
    ++mDepth;
    Track();
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
    Track();
    return true;
}

void ZeqBodyWriter::CloseAll() {
    if (mBuffer->Data() == nullptr) {
        mFields.clear();
        mDepth = 0;
        Track();
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
        Track();
        return false;
    }
    return true;
}

bool ZeqBodyWriter::AppendChunkRef(const ZeqChunkRef& ref) {
    std::uint8_t* p = mBuffer->Grow(1 + kChunkRefSize);
    if (!p) return false;
    p[0] = kTagChunk;
    Store<std::uint32_t>(p + 1, ref.mCount);
    Store<std::uint64_t>(p + 5, ref.mLength);
    Store<std::uint64_t>(p + 13, ref.mOffset);
    Store<std::uint32_t>(p + 21, ref.mCrc);
    std::memcpy(p + 25, ref.mNonce, 16);
    std::memcpy(p + 41, ref.mKey, 32);
    return true;
}

bool ZeqBodyWriter::Spill(OpenField& field) {
    CloseRun(field);
    const std::size_t start = field.mChunkStart;
    const std::size_t bytes = mBuffer->Size() - start;
    if (bytes == 0 || field.mCount == field.mChunkCount) return true;
    ZeqChunkRef ref;
    if (!mSink->StoreChunk(nullptr, 0, mBuffer->Data() + start, bytes, ref)) {
        mFailed = true;
        Track();
        return false;
    }
    ref.mCount = field.mCount - field.mChunkCount;
    mBuffer->Resize(start);
    if (!AppendChunkRef(ref)) return false;
    field.mChunkStart = mBuffer->Size();
    field.mChunkCount = field.mCount;
    Track();
    return true;
}

bool ZeqBodyWriter::WriteChunked(OpenField& field, std::uint8_t tag, const std::uint8_t* data, std::size_t count,
                                 std::size_t elementSize) {
    CloseRun(field);
    std::uint8_t head[5];
    // A string is one value of its own; an array is split into runs of one chunk each.
    const std::size_t perChunk = tag == kTagString ? count : std::max<std::size_t>(kChunkBytes / elementSize, 1);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(perChunk, count - done);
        ZeqChunkRef ref;
        if (tag == kTagString) {
            head[0] = kTagString;
            Store<std::uint32_t>(head + 1, static_cast<std::uint32_t>(n));
            ref.mCount = 1;
        } else {
            head[0] = static_cast<std::uint8_t>(tag + ('a' - 'A'));
            Store<std::uint32_t>(head + 1, static_cast<std::uint32_t>(n));
            ref.mCount = static_cast<std::uint32_t>(n);
        }
        const std::uint32_t values = ref.mCount;
        if (!mSink->StoreChunk(head, sizeof(head), data + done * elementSize, n * elementSize, ref)) {
            mFailed = true;
            Track();
            return false;
        }
        ref.mCount = values;
        if (!AppendChunkRef(ref)) return false;
        field.mCount += values;
        done += n;
    }
    field.mChunkStart = mBuffer->Size();
    field.mChunkCount = field.mCount;
    Track();
    return true;
}

bool ZeqBodyWriter::WriteScalar(std::uint8_t tag, const void* value, std::size_t size) {
    if (mFields.empty() || mFailed) return false;
    OpenField& field = mFields.back();
    if (field.mBlockOpen || field.mBlockDone) return false;
    if (field.mCount == kMaxValueCount) {
        mFailed = true;
        Track();
        return false;
    }
    if (mBuffer->Size() >= mSpillAt && !Spill(field)) return false;
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
    // Big arrays go from the caller's memory straight into chunks.
    if (mSink && count * size >= kChunkBytes / 4) return WriteChunked(field, tag, source, count, size);
    if (mBuffer->Size() >= mSpillAt && !Spill(field)) return false;
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
    Store<std::uint32_t>(p + 1, 0);
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
        Track();
        return false;
    }
    OpenField& field = mFields.back();
    if (mSink && text.size() >= kChunkBytes / 4) {
        return WriteChunked(field, kTagString, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 1);
    }
    if (mBuffer->Size() >= mSpillAt && !Spill(field)) return false;
    CloseRun(field);
    std::uint8_t* p = mBuffer->Grow(5 + text.size());
    if (!p) return false;
    p[0] = kTagString;
    Store<std::uint32_t>(p + 1, static_cast<std::uint32_t>(text.size()));
    if (!text.empty()) std::memcpy(p + 5, text.data(), text.size());
    ++field.mCount;
    return true;
}

bool ZeqBodyWriter::WriteRecord(std::string_view name, const std::string_view* texts, int textCount, const char* types,
                                const double* values, int valueCount) {
    // The common record (a short name, short texts, a few numbers: no chunk,
    // no run) in one piece; any other the long way.
    bool simple = !Failed() && name.size() <= kMaxNameLength && valueCount >= 0 && static_cast<std::uint32_t>(valueCount) < kRunThreshold &&
                  textCount >= 0 && textCount < 16;
    std::size_t valueBytes = 0;
    for (int i = 0; simple && i < textCount; ++i) {
        simple = texts[i].size() < kChunkBytes / 4;
        valueBytes += 5 + texts[i].size();
    }
    for (int i = 0; simple && i < valueCount; ++i) {
        simple = types[i] == kTagInt || types[i] == kTagDouble;
        valueBytes += types[i] == kTagInt ? 5 : 9;
    }
    if (!simple) {
        bool ok = FieldBegin(name);
        for (int i = 0; ok && i < textCount; ++i) ok = WriteString(texts[i]);
        for (int i = 0; ok && i < valueCount; ++i)
            ok = types[i] == kTagInt ? WriteInt(static_cast<std::int32_t>(values[i])) : WriteDouble(values[i]);
        return FieldEnd() && ok;
    }
    if (!mFields.empty() && !mFields.back().mBlockOpen) EndTop();
    const std::size_t total = kFieldHeaderSize + name.size() + valueBytes;
    std::uint8_t* p = mBuffer->Grow(total);
    if (!p) {
        Track();
        return false;
    }
    Store<std::uint64_t>(p, total - 8);
    Store<std::uint32_t>(p + 8, static_cast<std::uint32_t>(name.size()));
    Store<std::uint32_t>(p + 12, static_cast<std::uint32_t>(textCount + valueCount));
    Store<std::uint64_t>(p + 16, valueBytes);
    p += kFieldHeaderSize;
    if (!name.empty()) std::memcpy(p, name.data(), name.size());
    p += name.size();
    for (int i = 0; i < textCount; ++i) {
        p[0] = kTagString;
        Store<std::uint32_t>(p + 1, static_cast<std::uint32_t>(texts[i].size()));
        if (!texts[i].empty()) std::memcpy(p + 5, texts[i].data(), texts[i].size());
        p += 5 + texts[i].size();
    }
    for (int i = 0; i < valueCount; ++i) {
        p[0] = static_cast<std::uint8_t>(types[i]);
        if (types[i] == kTagInt) {
            Store<std::int32_t>(p + 1, static_cast<std::int32_t>(values[i]));
            p += 5;
        } else {
            Store<double>(p + 1, values[i]);
            p += 9;
        }
    }
    Track();
    return true;
}

bool ZeqBodyWriter::WriteEmbedded(const ZeqEmbeddedRef& ref) {
    if (!CanWriteValues(1)) return false;
    if (ref.mName.size() > 0xFFFFu) return false;
    OpenField& field = mFields.back();
    if (mBuffer->Size() >= mSpillAt && !Spill(field)) return false;
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

bool ParsePlatformNonFinite(std::string_view text, double& out) {
    const char* last = text.data() + text.size();
    const char* first = PastPlusSign(text.data(), last);
    if (!first || first == last) return false;
    const bool negative = *first == '-';
    const std::string_view word(first + negative, static_cast<std::size_t>(last - first - negative));
    double magnitude;
    if (word == "1.#INF")
        magnitude = std::numeric_limits<double>::infinity();
    else if (word == "1.#IND" || word == "1.#QNAN")
        magnitude = std::numeric_limits<double>::quiet_NaN();
    else
        return false;
    out = negative ? -magnitude : magnitude;
    return true;
}

// --- ZeqBodyReader ------------------------------------------------------------------------

namespace {

bool ParseDouble(std::string_view text, double& out) {
    const char* last = text.data() + text.size();
    const char* first = PastPlusSign(text.data(), last);
    if (!first || first == last) return false;
    const auto result = std::from_chars(first, last, out);
    if (result.ptr != last) return ParsePlatformNonFinite(text, out);
    return result.ec == std::errc();
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

std::int32_t ValueAsInt(std::uint8_t type, const std::uint8_t* v) {
    if (type == kTagInt) return Load<std::int32_t>(v);
    if (type == kTagDouble || type == kTagFloat) return DoubleToInt(ValueAsDouble(type, v));
    return LongToInt(ValueAsLong(type, v));
}

}  // namespace

ZeqBodyReader::ZeqBodyReader() { mLevels.resize(1); }

ZeqBodyReader::~ZeqBodyReader() = default;

void ZeqBodyReader::Reset(const std::uint8_t* body, std::size_t size, ZeqChunkLoader* loader) {
    mDepth = -1;
    mCorrupted = false;
    mLoader = loader;
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
    // A big chunk buffer is not kept for the next file.
    if (mDepth == 0 && level.mChunk.Capacity() > 4 * kChunkBytes) level.mChunk.Release();
    Track();
}

ZeqBodyReader::Group* ZeqBodyReader::FindGroup(Level& level, std::string_view name) {
    if (!level.mMap.empty()) {
        const auto it = level.mMap.find(name);
        return it == level.mMap.end() ? nullptr : &level.mGroups[it->second];
    }
    // Names of one block mostly differ in length or first letter: those first.
    const std::size_t size = name.size();
    const char first = size ? name[0] : 0;
    for (Group& group : level.mGroups) {
        if (group.mName.size() == size && (size == 0 || (group.mName[0] == first &&
                                                         std::memcmp(group.mName.data(), name.data(), size) == 0)))
            return &group;
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
    level.mOpen = field;
    level.mCursor = Cursor();
    level.mCursor.mPos = values;
    level.mCursor.mEnd = values + valueBytes;
    level.mCursor.mCount = count;
    level.mCursor.mLimit = count;
    Track();
    return true;
}

bool ZeqBodyReader::FieldBegin(std::string_view name) {
    if (mDepth < 0) return false;
    Level& level = Top();
    level.mOpen = nullptr;
    mCursor = nullptr;
    if (!level.mIndexed) Index(level);
    Group* group = FindGroup(level, name);
    if (!group || group->mCursor == kNone) return false;
    const std::uint32_t index = group->mCursor;
    group->mCursor = level.mEntries[index].mNext;
    return OpenField(level, level.mEntries[index].mField);
}

bool ZeqBodyReader::FieldEnd() {
    if (!mCursor) return false;
    const Cursor& c = *mCursor;
    // Every value read: the runs must have filled the value bytes exactly.
    if (c.mConsumed == c.mCount && c.mRunLeft == 0 && (c.mPos != c.mEnd || c.mResume != c.mResumeEnd)) {
        mCorrupted = true;
    }
    Top().mOpen = nullptr;
    mCursor = nullptr;
    return true;
}

bool ZeqBodyReader::BlockBegin() {
    if (mDepth < 0) return false;
    const std::uint8_t* field = Top().mOpen;
    if (!field) return false;
    const std::uint32_t nameFlags = Load<std::uint32_t>(field + 8);
    if (!(nameFlags & kBlockFlag)) return false;
    if (mDepth + 1 > kMaxBodyDepth) {
        // Writers never nest this deep; such a file is damaged or forged.
        mCorrupted = true;
        return false;
    }
    // Checked by Index: the name and the values lie within the field.
    const std::uint8_t* begin =
        field + kFieldHeaderSize + (nameFlags & ~kBlockFlag) + Load<std::uint64_t>(field + 16);
    const std::uint8_t* end = field + 8 + Load<std::uint64_t>(field);
    Enter(begin, end);
    return true;
}

bool ZeqBodyReader::BlockEnd() {
    if (mDepth <= 0) return false;
    --mDepth;
    Track();
    return true;
}

void ZeqBodyReader::ResetPosition() {
    if (mDepth < 0) return;
    Level& level = Top();
    level.mOpen = nullptr;
    mCursor = nullptr;
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

void ZeqBodyReader::Damaged(Cursor& c) {
    mCorrupted = true;
    // Nothing more is readable.
    c.mConsumed = c.mCount;
    c.mLimit = c.mCount;
    c.mRunLeft = 0;
    c.mPos = c.mEnd;
    c.mResume = c.mResumeEnd = nullptr;
}

namespace {
// The chunk reference at p (after its tag), checked against the values left.
bool ParseChunkRef(const std::uint8_t* p, std::uint32_t valuesLeft, ZeqChunkRef& ref) {
    ref.mCount = Load<std::uint32_t>(p);
    ref.mLength = Load<std::uint64_t>(p + 4);
    ref.mOffset = Load<std::uint64_t>(p + 12);
    ref.mCrc = Load<std::uint32_t>(p + 20);
    std::memcpy(ref.mNonce, p + 24, 16);
    std::memcpy(ref.mKey, p + 40, 32);
    return ref.mCount != 0 && ref.mCount <= valuesLeft && ref.mLength != 0;
}
}  // namespace

// The chunk reference at the cursor: its values become the region being read.
bool ZeqBodyReader::EnterChunk(Cursor& c) {
    const std::size_t left = static_cast<std::size_t>(c.mEnd - c.mPos) - 1;
    if (c.mResume || !mLoader || left < kChunkRefSize) return false;
    const std::uint8_t* p = c.mPos + 1;
    ZeqChunkRef ref;
    if (!ParseChunkRef(p, c.mCount - c.mConsumed, ref)) return false;
    ZeqBuffer& chunk = Top().mChunk;
    if (!mLoader->LoadChunk(ref, chunk) || chunk.Size() != ref.mLength) return false;
    c.mResume = p + kChunkRefSize;
    c.mResumeEnd = c.mEnd;
    c.mPos = chunk.Data();
    c.mEnd = chunk.Data() + chunk.Size();
    c.mLimit = c.mConsumed + ref.mCount;
    return true;
}

bool ZeqBodyReader::AtValue(Cursor& c) {
    for (;;) {
        if (c.mConsumed >= c.mLimit || c.mPos >= c.mEnd) {
            if (!c.mResume) {
                if (c.mConsumed >= c.mCount) return false;
                Damaged(c);  // fewer values than the count says
                return false;
            }
            // The end of a chunk: it must hold exactly the values it claims.
            if (c.mConsumed != c.mLimit || c.mPos != c.mEnd) {
                Damaged(c);
                return false;
            }
            c.mPos = c.mResume;
            c.mEnd = c.mResumeEnd;
            c.mResume = c.mResumeEnd = nullptr;
            c.mLimit = c.mCount;
            continue;
        }
        if (*c.mPos != kTagChunk) return true;
        if (!EnterChunk(c)) {
            Damaged(c);
            return false;
        }
    }
}

// Decodes the next run header, checking it against the region's bytes and value
// count; anything inconsistent marks the body corrupted.
bool ZeqBodyReader::NextRun(Cursor& c) {
    if (c.mRunLeft > 0) return true;
    if (!AtValue(c)) return false;
    const std::uint8_t tag = *c.mPos;
    const std::size_t left = static_cast<std::size_t>(c.mEnd - c.mPos) - 1;
    const std::uint8_t* payload = c.mPos + 1;
    bool ok = false;
    if (tag >= 'a' && tag <= 'z') {
        const std::uint8_t type = static_cast<std::uint8_t>(tag - ('a' - 'A'));
        const std::size_t size = ElementSize(type);
        if (size != 0 && left >= 4) {
            const std::uint32_t n = Load<std::uint32_t>(payload);
            if (n != 0 && n <= (left - 4) / size && n <= c.mLimit - c.mConsumed) {
                c.mRunType = type;
                c.mRunLeft = n;
                c.mPos += 5;
                return true;
            }
        }
    } else if (tag == kTagString) {
        ok = left >= 4 && Load<std::uint32_t>(payload) <= left - 4;
    } else if (tag == kTagEmbedded) {
        ok = left >= kEmbeddedFixedSize &&
             Load<std::uint32_t>(payload + kEmbeddedFixedSize - 4) <= left - kEmbeddedFixedSize;
    } else {
        const std::size_t size = ElementSize(tag);
        ok = size != 0 && size <= left;
    }
    if (!ok) {
        Damaged(c);
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
    if (!mCursor || !NextRun(*mCursor)) return 0;
    return mCursor->mRunType;
}

bool ZeqBodyReader::IsNumberText(Cursor& c, std::uint8_t type, const std::uint8_t* v) {
    double number = 0.0;
    if (type != kTagString || !ParseDouble(StringAt(v), number)) {
        Damaged(c);
        return false;
    }
    return true;
}

bool ZeqBodyReader::ReadDoubleSlow(double& out) {
    if (!mCursor) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(*mCursor, type);
    if (!v || !IsNumberValue(*mCursor, type, v)) return false;
    out = ValueAsDouble(type, v);
    return true;
}

bool ZeqBodyReader::ReadLongSlow(std::int64_t& out) {
    if (!mCursor) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(*mCursor, type);
    if (!v || !IsNumberValue(*mCursor, type, v)) return false;
    out = ValueAsLong(type, v);
    return true;
}

bool ZeqBodyReader::ReadIntSlow(std::int32_t& out) {
    if (!mCursor) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(*mCursor, type);
    if (!v || !IsNumberValue(*mCursor, type, v)) return false;
    out = ValueAsInt(type, v);
    return true;
}

bool ZeqBodyReader::ReadCharSlow(char& out) {
    if (!mCursor) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(*mCursor, type);
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
    char text[kTextRoom];
    std::string_view view;
    if (!ReadText(view, text)) return false;
    out.Empty().Append(view.data(), view.size());
    return true;
}

bool ZeqBodyReader::ReadText(std::string_view& out, char (&text)[kTextRoom]) {
    if (!mCursor) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(*mCursor, type);
    if (!v) return false;
    std::to_chars_result result{text, std::errc()};
    switch (type) {
        case kTagString:
            out = StringAt(v);
            return true;
        case kTagChar:
            out = std::string_view(reinterpret_cast<const char*>(v), 1);
            return true;
        case kTagDouble:
        case kTagFloat:
            // As the ASCII encoding writes it: text that reads back exactly.
            out = std::string_view(text, FormatDouble(ValueAsDouble(type, v), text));
            return true;
        case kTagInt:
        case kTagLong:
            result = std::to_chars(text, text + kTextRoom, ValueAsLong(type, v));
            break;
        default:
            out = std::string_view();
            return true;
    }
    out = std::string_view(text, static_cast<std::size_t>(result.ptr - text));
    return true;
}

bool ZeqBodyReader::ReadEmbedded(ZeqEmbeddedRef& out) {
    if (!mCursor) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(*mCursor, type);
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

bool ZeqBodyReader::ReadTimeSlow(std::int64_t& ticks, int sectionVersion) {
    if (!mCursor) return false;
    std::uint8_t type = 0;
    const std::uint8_t* v = Take(*mCursor, type);
    if (!v || !IsNumberValue(*mCursor, type, v)) return false;
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

bool ZeqBodyReader::ReadChunkDirect(Cursor& c, std::uint8_t tag, void* out, std::size_t count,
                                    std::size_t elementSize) {
    // Only where copying would cost: small chunks go through the chunk buffer
    // (a fuzzer's small inputs reach this path too).
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    constexpr std::size_t kDirectBytes = 16;
#else
    constexpr std::size_t kDirectBytes = 64 * 1024;
#endif
    if (c.mRunLeft != 0 || c.mResume || !mLoader || c.mConsumed >= c.mLimit || c.mPos >= c.mEnd ||
        *c.mPos != kTagChunk || static_cast<std::size_t>(c.mEnd - c.mPos) - 1 < kChunkRefSize) {
        return false;
    }
    ZeqChunkRef ref;
    if (!ParseChunkRef(c.mPos + 1, c.mCount - c.mConsumed, ref) || ref.mCount > count) return false;
    const std::size_t bytes = ref.mCount * elementSize;
    if (bytes < kDirectBytes || ref.mLength != 5 + static_cast<std::uint64_t>(bytes)) return false;
    std::uint8_t head[5];
    if (!mLoader->LoadChunkInto(ref, head, sizeof(head), out)) {
        Damaged(c);
        return false;
    }
    // The same length can hold other runs (five singles are as long as a run of
    // five): then the chunk is read the common way.
    if (head[0] != tag + ('a' - 'A') || Load<std::uint32_t>(head + 1) != ref.mCount) return false;
    c.mPos += 1 + kChunkRefSize;
    c.mConsumed += ref.mCount;
    return true;
}

template <class T, class Convert>
std::size_t ZeqBodyReader::ReadRuns(std::uint8_t tag, T* out, std::size_t count, Convert convert) {
    if (!mCursor) return 0;
    Cursor& c = *mCursor;
    std::size_t done = 0;
    while (done < count) {
        const std::uint32_t before = c.mConsumed;
        if (ReadChunkDirect(c, tag, out + done, count - done, sizeof(T))) {
            done += c.mConsumed - before;
            continue;
        }
        if (!NextRun(c)) break;
        if (c.mRunType == tag) {
            // A run (or single) of the native type: checked once, copied whole.
            const std::size_t n = std::min<std::size_t>(c.mRunLeft, count - done);
            std::memcpy(out + done, c.mPos, n * sizeof(T));
            c.mPos += n * sizeof(T);
            c.mRunLeft -= static_cast<std::uint32_t>(n);
            c.mConsumed += static_cast<std::uint32_t>(n);
            done += n;
        } else {
            std::uint8_t type = 0;
            const std::uint8_t* v = Take(c, type);
            if (!v || !IsNumberValue(c, type, v)) break;
            out[done++] = convert(type, v);
        }
    }
    return done;
}

std::size_t ZeqBodyReader::ReadDoubles(double* out, std::size_t count) {
    return ReadRuns(kTagDouble, out, count, ValueAsDouble);
}

std::size_t ZeqBodyReader::ReadFloats(float* out, std::size_t count) {
    return ReadRuns(kTagFloat, out, count,
                    [](std::uint8_t type, const std::uint8_t* v) { return static_cast<float>(ValueAsDouble(type, v)); });
}

std::size_t ZeqBodyReader::ReadInts(std::int32_t* out, std::size_t count) {
    return ReadRuns(kTagInt, out, count, ValueAsInt);
}

std::size_t ZeqBodyReader::ReadLongs(std::int64_t* out, std::size_t count) {
    return ReadRuns(kTagLong, out, count, ValueAsLong);
}

}  // namespace zeqdetail
}  // namespace zeqsdk_400
