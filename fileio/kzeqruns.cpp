// Batch reads of values with their types, for records that mix types value by
// value (a curve's keys): one pass over the field's runs instead of a type
// query and a read call per value.
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fileio/kzeq.h"
#include "fileio/kzeqbody.h"

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

}  // namespace zeqdetail

int KZeq::FieldReadValues(Value* pValues, int pCount) {
    zeqdetail::ZeqBodyReader* reader = pValues && pCount > 0 ? OpenFieldReader() : nullptr;
    if (!reader) return 0;
    const std::size_t done = reader->ReadValuesTo(
        [pValues](std::size_t k, std::uint8_t tag, const std::uint8_t* bytes) {
            Value& value = pValues[k];
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
        },
        static_cast<std::size_t>(pCount));
    if (reader->Corrupted() && GetLastErrorID() == -1) GetError().SetLastErrorID(eFileCorrupted);
    return static_cast<int>(done);
}

}  // namespace zeqsdk_400
