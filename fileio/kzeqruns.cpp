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
    mLead = mLongest = mOutCount = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t tag = static_cast<std::uint8_t>(types[k]);
        const std::size_t size = ElementSize(tag);
        if (size == 0) return false;
        mTypes[k] = tag;
        mOffsets[k] = static_cast<std::uint8_t>(at);
        bytes[at] = tag;
        mask[at] = 0xFF;
        if (tag == kTagChar && codes && codes[k] != 0) {
            bytes[at + 1] = static_cast<std::uint8_t>(codes[k]);
            mask[at + 1] = 0xFF;
        } else {
            mOutTypes[mOutCount] = tag;
            mOutOffsets[mOutCount] = static_cast<std::uint8_t>(at + 1);
            mOutShifts[mOutCount] = static_cast<std::uint8_t>(64 - 8 * size);
            ++mOutCount;
        }
        run = k > 0 && mTypes[k - 1] == tag ? run + 1 : 1;
        mLongest = std::max(mLongest, run);
        if (run == k + 1) mLead = run;
        at += 1 + size;
    }
    mOutWide = true;
    for (std::size_t v = 0; v < mOutCount; ++v) mOutWide = mOutWide && mOutShifts[v] == 0 && mOutTypes[v] != kTagFloat;
    mTrail = run;
    mCount = static_cast<std::uint8_t>(count);
    mBytes = static_cast<std::uint8_t>(at);
    mVectors = static_cast<std::uint8_t>((at + 15) / 16);
    std::memcpy(mExpect, bytes, sizeof mExpect);
    std::memcpy(mMask, mask, sizeof mMask);
    return true;
}

template <class Out>
std::size_t ZeqBodyReader::ReadRecordsTo(const ZeqRecordShape* shapes, std::size_t shapeCount, Out out,
                                         std::size_t count) {
    if (!mCursor || shapeCount == 0 || mCursor->mRunLeft != 0) return 0;
    Cursor& c = *mCursor;
    std::size_t done = 0;
    // Records mostly repeat the layout before them: it is tried first.
    std::size_t last = 0;
    bool stopped = false;
    while (!stopped && done < count && AtValue(c)) {
        // A region: the field's values in the body, or a chunk. Whole records
        // are matched in it with the bytes and values it has left.
        const std::uint8_t* pos = c.mPos;
        std::size_t left = static_cast<std::size_t>(c.mEnd - pos);
        std::uint32_t values = c.mLimit - c.mConsumed;
        // Records near the region's end are looked at in a padded copy, so
        // that whole vectors can be read past them.
        constexpr std::size_t kPadded = ZeqRecordShape::kReadable;
        std::uint8_t copy[kPadded];
        while (done < count && left > 0 && values > 0) {
            const std::uint8_t* at = pos;
            if (left < kPadded) {
                std::memset(copy, 0, kPadded);
                std::memcpy(copy, pos, left);
                at = copy;
            }
            std::size_t s = last;
            if (shapes[s].mCount > values || shapes[s].mBytes > left || !shapes[s].Matches(at)) {
                for (s = 0; s < shapeCount; ++s) {
                    if (s != last && shapes[s].mCount <= values && shapes[s].mBytes <= left && shapes[s].Matches(at))
                        break;
                }
            }
            if (s == shapeCount || !out(done, s, at)) {
                stopped = true;
                break;
            }
            last = s;
            pos += shapes[s].mBytes;
            left -= shapes[s].mBytes;
            values -= shapes[s].mCount;
            ++done;
        }
        c.mPos = pos;
        c.mConsumed = c.mLimit - values;
    }
    return done;
}

template <class Bits>
bool ZeqBodyWriter::WriteRecords(const ZeqRecordShape* shapes, const std::uint8_t* shapeOf, std::size_t records,
                                 Bits bits) {
    std::size_t v = 0;
    for (std::size_t r = 0; r < records; ++r) {
        const ZeqRecordShape& s = shapes[shapeOf[r]];
        const std::size_t n = s.mCount;
        OpenField* field = mValueField;
        const std::size_t size = mBuffer->Size();
        // As singles, one after the other, where each value would be written as
        // a single by its own call: no run forms, no value moves into a chunk
        // and the value count stays below its limit; else value by value.
        const bool singles = field && s.mLongest < kRunThreshold && field->mCount + n < kMaxValueCount - 1 &&
                             size + s.mOffsets[n - 1] < mSpillAt &&
                             (field->mRunType != s.mTypes[0] ||
                              (!field->mRunIsArray && field->mRunCount + s.mLead < kRunThreshold));
        if (!singles) {
            for (std::size_t k = 0; k < n; ++k) {
                if (!WriteBits(s.mTypes[k], bits(v + k, s.mTypes[k]))) return false;
            }
            v += n;
            continue;
        }
        // Each value is stored as eight bytes, the next tag overwriting the excess.
        if (mBuffer->Capacity() - size < s.mBytes + 8u && !mBuffer->Reserve(size + s.mBytes + 8)) return false;
        if (field->mRunIsArray) CloseRun(*field);
        std::uint8_t* p = mBuffer->Data() + size;
        for (std::size_t k = 0; k < n; ++k) {
            std::uint8_t* at = p + s.mOffsets[k];
            at[0] = s.mTypes[k];
            Store<std::uint64_t>(at + 1, bits(v + k, s.mTypes[k]));
        }
        if (s.mLead == n && field->mRunType == s.mTypes[0]) {
            field->mRunCount += static_cast<std::uint32_t>(n);
        } else {
            field->mRunType = s.mTypes[n - 1];
            field->mRunCount = s.mTrail;
            field->mRunTag = size + s.mOffsets[n - s.mTrail];
        }
        field->mCount += static_cast<std::uint32_t>(n);
        mBuffer->Advance(s.mBytes);
        v += n;
    }
    return true;
}

bool ZeqBodyWriter::WriteBits(std::uint8_t tag, std::uint64_t bits) {
    switch (tag) {
        case kTagDouble: {
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return WriteValue(kTagDouble, value);
        }
        case kTagFloat: {
            const std::uint32_t low = static_cast<std::uint32_t>(bits);
            float value;
            std::memcpy(&value, &low, sizeof value);
            return WriteValue(kTagFloat, value);
        }
        case kTagInt:
            return WriteValue(kTagInt, static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
        case kTagLong:
            return WriteValue(kTagLong, static_cast<std::int64_t>(bits));
        default:
            return WriteValue(kTagChar, static_cast<char>(bits & 0xFF));
    }
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

// The stored bytes of a record value of that type, in the low bytes.
std::uint64_t StoredBits(const KZeq::Value& value, std::uint8_t tag) {
    switch (tag) {
        case 'D': {
            std::uint64_t bits;
            std::memcpy(&bits, &value.mDouble, sizeof bits);
            return bits;
        }
        case 'F': {
            const float f = static_cast<float>(value.mDouble);
            std::uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            return bits;
        }
        case 'I':
            return static_cast<std::uint32_t>(static_cast<std::int32_t>(value.mLong));
        case 'L':
            return static_cast<std::uint64_t>(value.mLong);
        default:  // 'C'
            return static_cast<unsigned char>(static_cast<char>(value.mLong));
    }
}

// The layouts as shapes, null when any is out of range. Callers pass the same
// few layouts call after call: their shapes are kept.
const zeqdetail::ZeqRecordShape* Shapes(KZeq::Impl& impl, const KZeq::RecordLayout* layouts, int count) {
    if (!layouts || count <= 0 || count > KZeq::kMaxRecordLayouts) return nullptr;
    const std::size_t n = static_cast<std::size_t>(count);
    if (impl.mRecordLayouts.size() == n &&
        std::memcmp(impl.mRecordLayouts.data(), layouts, n * sizeof(KZeq::RecordLayout)) == 0) {
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

int KZeq::FieldReadRecords(const RecordLayout* pLayouts, int pLayoutCount, Value* pValues, int pMaxValues,
                           unsigned char* pLayoutOf, int pMaxRecords) {
    if (!pValues || !pLayoutOf || pMaxValues <= 0 || pMaxRecords <= 0) return 0;
    zeqdetail::ZeqBodyReader* reader = OpenFieldReader();
    const zeqdetail::ZeqRecordShape* shapes = reader ? Shapes(*mImpl, pLayouts, pLayoutCount) : nullptr;
    if (!shapes) return 0;
    const std::size_t room = static_cast<std::size_t>(pMaxValues);
    std::size_t used = 0;
    const std::size_t done = reader->ReadRecordsTo(
        shapes, static_cast<std::size_t>(pLayoutCount),
        [&](std::size_t k, std::size_t shape, const std::uint8_t* bytes) {
            const zeqdetail::ZeqRecordShape& s = shapes[shape];
            if (s.mOutCount > room - used) return false;
            pLayoutOf[k] = static_cast<unsigned char>(shape);
            Value* value = pValues + used;
            if (s.mOutWide) {
                for (std::size_t v = 0; v < s.mOutCount; ++v) {
                    value[v].mType = static_cast<char>(s.mOutTypes[v]);
                    std::memcpy(&value[v].mLong, bytes + s.mOutOffsets[v], sizeof value[v].mLong);
                }
                used += s.mOutCount;
                return true;
            }
            for (std::size_t v = 0; v < s.mOutCount; ++v, ++value) {
                // Eight bytes from each value's, its own sign-extended; the
                // bits of a double as they are.
                const std::uint8_t* at = bytes + s.mOutOffsets[v];
                value->mType = static_cast<char>(s.mOutTypes[v]);
                if (s.mOutTypes[v] == 'F') {
                    value->mDouble = zeqdetail::Load<float>(at);
                } else {
                    const unsigned shift = s.mOutShifts[v];
                    const std::uint64_t bits =
                        static_cast<std::uint64_t>(static_cast<std::int64_t>(zeqdetail::Load<std::uint64_t>(at) << shift) >> shift);
                    void* slot = s.mOutTypes[v] == 'D' ? static_cast<void*>(&value->mDouble)
                                                        : static_cast<void*>(&value->mLong);
                    std::memcpy(slot, &bits, sizeof bits);
                }
            }
            used += s.mOutCount;
            return true;
        },
        static_cast<std::size_t>(pMaxRecords));
    if (reader->Corrupted() && GetLastErrorID() == -1) GetError().SetLastErrorID(eFileCorrupted);
    return static_cast<int>(done);
}

bool KZeq::FieldWriteRecords(const RecordLayout* pLayouts, int pLayoutCount, const Value* pValues,
                             const unsigned char* pLayoutOf, int pRecordCount) {
    Impl& impl = *mImpl;
    if (!impl.CanWrite() || pRecordCount < 0) return false;
    if (pRecordCount == 0) return true;
    const zeqdetail::ZeqRecordShape* shapes = pValues && pLayoutOf ? Shapes(impl, pLayouts, pLayoutCount) : nullptr;
    if (!shapes) return false;
    for (int k = 0; k < pRecordCount; ++k) {
        if (pLayoutOf[k] >= pLayoutCount) return false;
    }
    if (impl.mBinary) {
        return impl.AfterWrite(impl.mBodyWriter.WriteRecords(
            shapes, pLayoutOf, static_cast<std::size_t>(pRecordCount),
            [pValues](std::size_t v, std::uint8_t tag) { return StoredBits(pValues[v], tag); }));
    }
    zeqdetail::ZeqAsciiWriter& writer = impl.mAsciiWriter;
    const Value* value = pValues;
    for (int k = 0; k < pRecordCount; ++k) {
        const zeqdetail::ZeqRecordShape& s = shapes[pLayoutOf[k]];
        for (std::size_t v = 0; v < s.mCount; ++v, ++value) {
            const std::uint64_t bits = StoredBits(*value, s.mTypes[v]);
            bool ok;
            switch (s.mTypes[v]) {
                case 'D':
                    ok = writer.WriteDouble(value->mDouble);
                    break;
                case 'F':
                    ok = writer.WriteFloat(static_cast<float>(value->mDouble));
                    break;
                case 'I':
                    ok = writer.WriteInt(static_cast<std::int32_t>(bits));
                    break;
                case 'L':
                    ok = writer.WriteLong(value->mLong);
                    break;
                default:
                    ok = writer.WriteChar(static_cast<char>(bits));
                    break;
            }
            if (!impl.AfterWrite(ok)) return false;
        }
    }
    return true;
}

}  // namespace zeqsdk_400
