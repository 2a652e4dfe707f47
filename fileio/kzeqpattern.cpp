// Fields of a known layout read in one pass over the body's bytes, for the
// records a file holds by the hundred thousand (a node's default channels).
// The pass checks everything a field-by-field read would check of the fields,
// blocks and values it reads (the header rules of Index, the value rules of
// NextRun, the exact fill FieldEnd looks for) and gives up on anything else,
// so that the field-by-field read then meets the file as it would have.
#include <cstring>

#include "fileio/kzeq.h"
#include "fileio/kzeqbody.h"

namespace zeqsdk_400 {
namespace zeqdetail {

namespace {

struct FieldAt {
    std::string_view mName;
    std::uint32_t mCount = 0;
    const std::uint8_t* mValues = nullptr;
    const std::uint8_t* mValuesEnd = nullptr;
    bool mBlock = false;
    const std::uint8_t* mBlockBegin = nullptr;
    const std::uint8_t* mBlockEnd = nullptr;
    const std::uint8_t* mNext = nullptr;
};

// The field at p, checked as Index checks it; false when it is not sound.
bool ParseField(const std::uint8_t* p, const std::uint8_t* end, FieldAt& f) {
    if (p >= end) return false;
    const std::size_t left = static_cast<std::size_t>(end - p);
    if (left < kFieldHeaderSize) return false;
    const std::uint64_t length = Load<std::uint64_t>(p);
    const std::uint32_t nameFlags = Load<std::uint32_t>(p + 8);
    const std::uint32_t nameLength = nameFlags & ~kBlockFlag;
    const std::uint32_t count = Load<std::uint32_t>(p + 12);
    const std::uint64_t valueBytes = Load<std::uint64_t>(p + 16);
    if (length > left - 8 || length < kFieldHeaderSize - 8) return false;
    const std::uint64_t inner = length - (kFieldHeaderSize - 8);
    if (nameLength > inner || valueBytes > inner - nameLength || count > kMaxValueCount) return false;
    if (!(nameFlags & kBlockFlag) && valueBytes != inner - nameLength) return false;
    f.mName = std::string_view(reinterpret_cast<const char*>(p + kFieldHeaderSize), nameLength);
    f.mCount = count;
    f.mValues = p + kFieldHeaderSize + nameLength;
    f.mValuesEnd = f.mValues + valueBytes;
    f.mBlock = (nameFlags & kBlockFlag) != 0;
    f.mBlockBegin = f.mValuesEnd;
    f.mBlockEnd = p + 8 + length;
    f.mNext = f.mBlockEnd;
    return true;
}

// The stored string at p (its tag), when it is sound within end.
bool TextAt(const std::uint8_t*& p, const std::uint8_t* end, std::string_view& text) {
    if (end - p < 5 || *p != kTagString) return false;
    const std::uint32_t length = Load<std::uint32_t>(p + 1);
    if (length > static_cast<std::size_t>(end - p) - 5) return false;
    text = std::string_view(reinterpret_cast<const char*>(p + 5), length);
    p += 5 + length;
    return true;
}

double Number(std::uint8_t type, const std::uint8_t* v) {
    switch (type) {
        case kTagDouble: return Load<double>(v);
        case kTagFloat: return static_cast<double>(Load<float>(v));
        case kTagInt: return static_cast<double>(Load<std::int32_t>(v));
        case kTagLong: return static_cast<double>(Load<std::int64_t>(v));
        default: return static_cast<double>(static_cast<signed char>(*v));  // a char
    }
}

// count sound numbers at p (single or in runs, none in a chunk), of the types
// allowed (null: any, chars but in a text body), into out.
bool TakeNumbers(const std::uint8_t*& p, const std::uint8_t* end, int count, const char* types, bool text,
                 double* out) {
    if (!types && text) types = "DFIL";
    int taken = 0;
    while (taken < count) {
        if (p >= end) return false;
        std::uint8_t tag = *p;
        const std::size_t left = static_cast<std::size_t>(end - p) - 1;
        const bool run = tag >= 'a' && tag <= 'z';
        const std::uint8_t type = run ? static_cast<std::uint8_t>(tag - ('a' - 'A')) : tag;
        const std::size_t size = ElementSize(type);
        if (size == 0 || (types && !std::strchr(types, static_cast<char>(type)))) return false;
        if (run) {
            if (left < 4) return false;
            const std::uint32_t n = Load<std::uint32_t>(p + 1);
            if (n == 0 || n > (left - 4) / size || n > static_cast<std::uint32_t>(count - taken)) return false;
            p += 5;
            for (std::uint32_t i = 0; i < n; ++i, p += size) out[taken++] = Number(type, p);
        } else {
            if (size > left) return false;
            out[taken++] = Number(type, p + 1);
            p += 1 + size;
        }
    }
    return true;
}

class Matcher {
public:
    Matcher(double* numbers, int room, int depthLeft, bool text)
        : mNumbers(numbers), mRoom(room), mDepthLeft(depthLeft), mText(text) {}

    bool Field(const FieldAt& f, const KZeqFieldPattern& pattern) {
        if (f.mName != pattern.mName) return false;
        if (pattern.mNumbers >= 0) {
            // Exactly these values, filling the field's value bytes.
            if (f.mCount != static_cast<std::uint32_t>(pattern.mTextCount + pattern.mNumbers)) return false;
            const std::uint8_t* p = f.mValues;
            for (int i = 0; i < pattern.mTextCount; ++i) {
                std::string_view text;
                if (!TextAt(p, f.mValuesEnd, text)) return false;
                const char* expected = pattern.mTexts[i];
                if (expected && (text.size() != std::strlen(expected) || std::memcmp(text.data(), expected, text.size())))
                    return false;
            }
            if (mTaken + pattern.mNumbers > mRoom) return false;
            double* numbers = mNumbers + mTaken;
            if (!TakeNumbers(p, f.mValuesEnd, pattern.mNumbers, pattern.mNumberTypes, mText, numbers) || p != f.mValuesEnd)
                return false;
            for (int i = 0; pattern.mEqual && i < pattern.mNumbers; ++i)
                if (!(numbers[i] == pattern.mEqual[i])) return false;
            mTaken += pattern.mNumbers;
        }
        if (!pattern.mBlock) return true;
        if (!f.mBlock || mDepthLeft <= 0) return false;
        --mDepthLeft;
        const bool matched = Block(f.mBlockBegin, f.mBlockEnd, pattern.mBlock, pattern.mBlockCount);
        ++mDepthLeft;
        return matched;
    }

    // Every field of the block, in order, against the patterns.
    bool Block(const std::uint8_t* p, const std::uint8_t* end, const KZeqFieldPattern* patterns, int count) {
        int next = 0;
        while (p != end) {
            FieldAt f;
            if (!ParseField(p, end, f)) return false;
            while (next < count && patterns[next].mOptional && f.mName != patterns[next].mName) ++next;
            if (next == count || !Field(f, patterns[next])) return false;
            ++next;
            p = f.mNext;
        }
        for (; next < count; ++next)
            if (!patterns[next].mOptional) return false;
        return true;
    }

    int Taken() const { return mTaken; }

private:
    double* mNumbers;
    int mRoom;
    int mDepthLeft;
    bool mText;
    int mTaken = 0;
};

}  // namespace

bool ZeqBodyReader::ReadPattern(std::string_view name, const KZeqFieldPattern* patterns, int count, bool all,
                                double* numbers, int room, int& taken) {
    if (mDepth < 0) return false;
    Level& level = Top();
    if (!level.mIndexed) Index(level);
    Group* group = FindGroup(level, name);
    if (!group) return false;
    Matcher matcher(numbers, room, kMaxBodyDepth - mDepth, mTextNumbers);
    std::uint32_t index = group->mCursor;
    for (int i = 0; i < count; ++i) {
        if (index == kNone) return false;
        const Entry& entry = level.mEntries[index];
        FieldAt f;
        // Index has checked the header; the values and block are checked here.
        if (!ParseField(entry.mField, level.mEnd, f) || !matcher.Field(f, patterns[i])) return false;
        index = entry.mNext;
    }
    if (all && index != kNone) return false;  // more fields of the name than the layout has
    group->mCursor = index;
    level.mOpen = nullptr;
    mCursor = nullptr;
    taken = matcher.Taken();
    return true;
}

}  // namespace zeqdetail
}  // namespace zeqsdk_400
