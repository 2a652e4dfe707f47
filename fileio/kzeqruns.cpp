// Batch reads and writes of values with their types, for records that mix
// types value by value (a curve's keys): one pass over the field's runs
// instead of a type query and a call per value, and whole records matched,
// decoded and written at once where their layout is known.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fileio/kzeqimpl.h"

namespace zeqsdk_400 {

namespace {

// The field file's conversion of a double to an integer: NaN is 0, the rest saturates.
kLongLong SaturatedLong(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<kLongLong>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<kLongLong>::min();
    return static_cast<kLongLong>(v);
}

bool IsReal(char type) { return type == 'D' || type == 'F'; }

}  // namespace

double KZeq::Value::AsDouble() const { return IsReal(mType) ? mDouble : static_cast<double>(mLong); }

char KZeq::Value::AsChar() const {
    const kLongLong code = IsReal(mType) ? SaturatedLong(mDouble) : mLong;
    return static_cast<char>(static_cast<unsigned char>(code & 0xFF));
}

KTime KZeq::Value::AsTime(int pSectionVersion) const {
    // Ticks as 64-bit integers, and as 32-bit ones after version 2000; else seconds.
    if (mType == 'L' || (mType == 'I' && pSectionVersion > 2000)) return KTime(mLong);
    KTime time;
    time.SetSecondDouble(AsDouble());
    return time;
}

namespace zeqdetail {

namespace {

// Element sizes by tag: the fixed-size single values, 0 for every other tag.
constexpr auto kSingleSize = [] {
    std::array<std::uint8_t, 256> sizes{};
    sizes[kTagDouble] = sizes[kTagLong] = 8;
    sizes[kTagFloat] = sizes[kTagInt] = 4;
    sizes[kTagChar] = 1;
    return sizes;
}();

}  // namespace

template <class Out>
std::size_t ZeqBodyReader::ReadValuesTo(Out out, std::size_t count) {
    if (!mCursor) return 0;
    Cursor& c = *mCursor;
    std::size_t done = 0;
    while (done < count) {
        if (c.mRunLeft == 0) {
            // Single values whose bytes lie in the region, taken here as the run
            // decoder would check and take them, the cursor kept in locals.
            const std::uint8_t* pos = c.mPos;
            const std::uint8_t* const end = c.mEnd;
            std::uint32_t consumed = c.mConsumed;
            const std::uint32_t limit = c.mLimit;
            std::uint8_t type = c.mRunType;
            while (done < count && consumed < limit && pos < end) {
                const std::uint8_t tag = *pos;
                const std::size_t size = kSingleSize[tag];
                if (size == 0 || size >= static_cast<std::size_t>(end - pos)) break;
                out(done++, tag, pos + 1);
                pos += 1 + size;
                ++consumed;
                type = tag;
            }
            c.mPos = pos;
            c.mConsumed = consumed;
            c.mRunType = type;
            if (done == count) break;
            // Run headers, chunks, the end and damage.
            if (!NextRun(c)) break;
        }
        const std::uint8_t type = c.mRunType;
        const std::size_t size = ElementSize(type);
        if (size == 0) break;  // a string or embedded value, left for the one-value reads
        while (c.mRunLeft > 0 && done < count) {
            out(done++, type, c.mPos);
            c.mPos += size;
            --c.mRunLeft;
            ++c.mConsumed;
        }
    }
    return done;
}

bool ZeqRecordShape::Prepare(std::size_t count, const char* types, const char* codes) {
    if (count == 0 || count > kMaxValues || !types) return false;
    std::uint8_t bytes[kMaxVectors * 16] = {};
    std::uint8_t mask[kMaxVectors * 16] = {};
    std::size_t at = 0;
    std::uint8_t run = 0;
    // Values past the count read as the first one's bytes.
    std::memset(mTypes, 0, sizeof mTypes);
    std::memset(mOffsets, 0, sizeof mOffsets);
    std::memset(mShifts, 0, sizeof mShifts);
    mLead = mLongest = 0;
    mReals = mFloats = 0;
    mCovered = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t tag = static_cast<std::uint8_t>(types[k]);
        const std::size_t size = ElementSize(tag);
        if (size == 0) return false;
        mTypes[k] = tag;
        mOffsets[k] = static_cast<std::uint8_t>(at);
        bytes[at] = tag;
        mask[at] = 0xFF;
        mShifts[k] = static_cast<std::uint8_t>(64 - 8 * size);
        if (tag == kTagDouble || tag == kTagFloat) mReals |= 1u << k;
        if (tag == kTagFloat) mFloats |= 1u << k;
        if (tag == kTagChar && codes && codes[k] != 0) {
            bytes[at + 1] = static_cast<std::uint8_t>(codes[k]);
            mask[at + 1] = 0xFF;
        }
        if (k > 0 && ElementSize(mTypes[k - 1]) < 8) mCoveredValues[mCovered++] = static_cast<std::uint8_t>(k);
        run = k > 0 && mTypes[k - 1] == tag ? run + 1 : 1;
        mLongest = std::max(mLongest, run);
        if (run == k + 1) mLead = run;
        at += 1 + size;
    }
    mTrail = run;
    mCount = static_cast<std::uint8_t>(count);
    mBytes = static_cast<std::uint8_t>(at);
    mVectors = static_cast<std::uint8_t>((at + 15) / 16);
    std::memcpy(mExpect, bytes, sizeof mExpect);
    std::memcpy(mMask, mask, sizeof mMask);
    return true;
}

}  // namespace zeqdetail

namespace {

// One stored value (its tag and bytes) as FieldReadValues hands it out.
void Decode(KZeq::Value& value, std::uint8_t tag, const std::uint8_t* bytes) {
    value.mType = static_cast<char>(tag);
    switch (tag) {
        case 'D':
            value.mDouble = zeqdetail::Load<double>(bytes);
            break;
        case 'F':
            value.mDouble = zeqdetail::Load<float>(bytes);
            break;
        case 'L':
            value.mLong = zeqdetail::Load<std::int64_t>(bytes);
            break;
        case 'I':
            value.mLong = zeqdetail::Load<std::int32_t>(bytes);
            break;
        default:  // 'C'
            value.mLong = static_cast<signed char>(*bytes);
            break;
    }
}

// The layouts as shapes, null when any is out of range. Callers pass the same
// few layouts call after call: their shapes are kept.
const zeqdetail::ZeqRecordShape* Shapes(KZeq::Impl& impl, const KZeq::RecordLayout* layouts, int count) {
    if (!layouts || count <= 0 || count > KZeq::kMaxRecordLayouts) return nullptr;
    const std::size_t n = static_cast<std::size_t>(count);
    // The same layouts: the same counts, types and codes (nothing past the count).
    auto same = [](const KZeq::RecordLayout& a, const KZeq::RecordLayout& b) {
        const std::size_t used = static_cast<std::size_t>(std::clamp(a.mCount, 0, KZeq::kMaxRecordValues));
        return a.mCount == b.mCount && std::memcmp(a.mTypes, b.mTypes, used) == 0 &&
               std::memcmp(a.mCodes, b.mCodes, used) == 0;
    };
    if (impl.mRecordLayouts.size() == n && std::equal(layouts, layouts + n, impl.mRecordLayouts.begin(), same)) {
        return impl.mRecordShapes.data();
    }
    impl.mRecordLayouts.assign(layouts, layouts + n);
    impl.mRecordShapes.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const KZeq::RecordLayout& layout = layouts[i];
        if (layout.mCount < 1 || layout.mCount > KZeq::kMaxRecordValues ||
            !impl.mRecordShapes[i].Prepare(static_cast<std::size_t>(layout.mCount), layout.mTypes, layout.mCodes)) {
            impl.mRecordLayouts.clear();
            return nullptr;
        }
    }
    return impl.mRecordShapes.data();
}

}  // namespace

int KZeq::FieldReadValues(Value* pValues, int pCount) {
    zeqdetail::ZeqBodyReader* reader = pValues && pCount > 0 ? OpenFieldReader() : nullptr;
    if (!reader) return 0;
    const std::size_t done = reader->ReadValuesTo(
        [pValues](std::size_t k, std::uint8_t tag, const std::uint8_t* bytes) { Decode(pValues[k], tag, bytes); },
        static_cast<std::size_t>(pCount));
    if (reader->Corrupted() && GetLastErrorID() == -1) GetError().SetLastErrorID(eFileCorrupted);
    return static_cast<int>(done);
}

const zeqdetail::ZeqRecordShape* KZeq::RecordShapes(const RecordLayout* pLayouts, int pLayoutCount) {
    return Shapes(*mImpl, pLayouts, pLayoutCount);
}

zeqdetail::ZeqBodyWriter* KZeq::RecordWriter() {
    Impl& impl = *mImpl;
    return impl.CanWrite() && impl.mBinary ? &impl.mBodyWriter : nullptr;
}

}  // namespace zeqsdk_400
