#ifndef ZEQ_FILEIO_KZEQRECORDS_H
#define ZEQ_FILEIO_KZEQRECORDS_H

// Records: values of a field that come in a few fixed layouts (a curve's
// keys), described by KZeq::RecordLayout. Reading matches each record whole
// against its layout where it is stored and hands it to the caller in place;
// writing lays a record's tags down at once and its values behind them. Either
// way there is no call or type test per value, and the bytes are those of the
// one-value calls.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fileio/kzeq.h"
#include "fileio/kzeqbody.h"

namespace zeqsdk_400 {

// One record as stored, valid during the call it is handed to: value k of
// its layout as the one-value calls read it. Double takes a 'D' or 'F' value,
// Long an 'L', 'I' or 'C' one; Char a 'C' one. Any other k reads some byte of
// the record, never past it.
class KZeqRecord {
public:
    KZeqRecord(const std::uint8_t* pBytes, const zeqdetail::ZeqRecordShape& pShape)
        : mBytes(pBytes), mShape(&pShape) {}

    double Double(int k) const { return mShape->Real(mBytes, static_cast<std::size_t>(k)); }
    kLongLong Long(int k) const { return mShape->Integer(mBytes, static_cast<std::size_t>(k)); }
    char Char(int k) const { return static_cast<char>(mShape->Code(mBytes, static_cast<std::size_t>(k))); }

private:
    const std::uint8_t* mBytes;
    const zeqdetail::ZeqRecordShape* mShape;
};

// Reads up to pMaxRecords next records of pFile's open field, each stored
// value by value as one of pLayouts says (pLayoutCount up to
// KZeq::kMaxRecordLayouts), calling pVisit(layoutIndex, const KZeqRecord&)
// for each in turn. Stops at the first value that begins none of them, and
// may stop before one that does (a value stored another way); the other calls
// read on from there. Answers the number of records read.
template <class Visit>
int KZeqReadRecords(KZeq& pFile, const KZeq::RecordLayout* pLayouts, int pLayoutCount, int pMaxRecords,
                    Visit&& pVisit) {
    zeqdetail::ZeqBodyReader* reader = pMaxRecords > 0 ? pFile.OpenFieldReader() : nullptr;
    const zeqdetail::ZeqRecordShape* shapes = reader ? pFile.RecordShapes(pLayouts, pLayoutCount) : nullptr;
    if (!shapes) return 0;
    const std::size_t done = reader->ReadRecordsTo(
        shapes, static_cast<std::size_t>(pLayoutCount),
        [&](std::size_t, std::size_t shape, const std::uint8_t* bytes) {
            pVisit(static_cast<int>(shape), KZeqRecord(bytes, shapes[shape]));
            return true;
        },
        static_cast<std::size_t>(pMaxRecords));
    if (reader->Corrupted() && pFile.GetLastErrorID() == -1) pFile.GetError().SetLastErrorID(KZeq::eFileCorrupted);
    return static_cast<int>(done);
}

// Takes the values of one record for KZeqWriteRecords: the record's layout,
// and each value by its index in the layout, Long for an 'L', 'I' or 'C' value
// (Char for the last), Double for a 'D' or 'F' one; the number is stored cast
// to the value's type.
class KZeqRecordWriter {
public:
    void Begin(int pLayout) {
        mWrong = mWrong || mLayout >= 0;
        mLayout = pLayout;
    }
    void Long(int k, kLongLong pValue) { Set(k, pValue, false); }
    void Char(int k, char pValue) { Set(k, pValue, false); }
    void Double(int k, double pValue) {
        std::int64_t bits;
        std::memcpy(&bits, &pValue, sizeof bits);
        Set(k, bits, true);
    }

private:
    template <class Fill>
    friend bool KZeqWriteRecords(KZeq& pFile, const KZeq::RecordLayout* pLayouts, int pLayoutCount,
                                 int pRecordCount, Fill&& pFill);

    KZeqRecordWriter() = default;
    // Ready for the next record; the values of the one before are not used
    // again, since a record's shape needs each of its values given anew.
    void Restart() {
        mLayout = -1;
        mGiven = 0;
        mReals = 0;
        mWrong = false;
    }

    void Set(int k, std::int64_t pBits, bool pReal) {
        if (k < 0 || k >= KZeq::kMaxRecordValues) {
            mWrong = true;
            return;
        }
        mBits[k] = pBits;
        mGiven |= 1u << k;
        mReals = pReal ? mReals | 1u << k : mReals & ~(1u << k);
    }
    // The shape of the record's layout when every value of it was given, of
    // its kind, and no other; else null.
    const zeqdetail::ZeqRecordShape* Shape(const zeqdetail::ZeqRecordShape* pShapes, int pLayoutCount) const {
        if (mWrong || mLayout < 0 || mLayout >= pLayoutCount) return nullptr;
        const zeqdetail::ZeqRecordShape& shape = pShapes[mLayout];
        return mGiven == (1u << shape.mCount) - 1 && mReals == shape.mReals ? &shape : nullptr;
    }
    double Real(int k) const {
        double value;
        std::memcpy(&value, &mBits[k], sizeof value);
        return value;
    }
    // Value k with the one-value call for its type.
    bool WriteOne(KZeq& pFile, std::uint8_t pType, int k) const {
        switch (pType) {
            case 'D':
                return pFile.FieldWriteD(Real(k));
            case 'F': {
                const float value = static_cast<float>(Real(k));
                return pFile.FieldWriteFn(&value, 1);
            }
            case 'L':
                return pFile.FieldWriteL(mBits[k]);
            case 'I':
                return pFile.FieldWriteI(static_cast<int>(mBits[k]));
            default:
                return pFile.FieldWriteCH(static_cast<char>(mBits[k]));
        }
    }
    // Value k's stored bytes in the low bytes of eight: those of an integer's
    // or char's cast, or of a double; a float is made here.
    std::int64_t Stored(std::uint8_t pType, int k) const {
        if (pType != 'F') return mBits[k];
        const float value = static_cast<float>(Real(k));
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    }

    int mLayout = -1;
    // Bit k: value k was given; given as a real number.
    std::uint32_t mGiven = 0;
    std::uint32_t mReals = 0;
    bool mWrong = false;
    std::int64_t mBits[KZeq::kMaxRecordValues] = {};
};

// Writes pRecordCount records into pFile's open field: pFill(k, KZeqRecordWriter&)
// gives record k (pLayoutCount layouts, up to KZeq::kMaxRecordLayouts). False,
// after the records before it, at a record that does not follow its layout or
// where a one-value call would fail.
template <class Fill>
bool KZeqWriteRecords(KZeq& pFile, const KZeq::RecordLayout* pLayouts, int pLayoutCount, int pRecordCount,
                      Fill&& pFill) {
    const zeqdetail::ZeqRecordShape* shapes = pFile.RecordShapes(pLayouts, pLayoutCount);
    if (!shapes || pRecordCount < 0) return false;
    zeqdetail::ZeqBodyWriter* writer = pFile.RecordWriter();
    // One writer for all records: its values are cleared once, not per record.
    KZeqRecordWriter record;
    for (int k = 0; k < pRecordCount; ++k) {
        record.Restart();
        pFill(k, record);
        const zeqdetail::ZeqRecordShape* shape = record.Shape(shapes, pLayoutCount);
        if (!shape) return false;
        const int n = shape->mCount;
        if (std::uint8_t* p = writer ? writer->BeginRecord(*shape) : nullptr) {
            // The tags (and zeros) at once, then each value as eight bytes
            // behind its tag, in order, a shorter one running over the next
            // tag and values, which come after; then the tags run over.
            std::memcpy(p, shape->mExpect, 64);
            if (shape->mVectors > 4) std::memcpy(p + 64, shape->mExpect + 4, sizeof shape->mExpect - 64);
            std::uint8_t offsets[KZeq::kMaxRecordValues];
            std::memcpy(offsets, shape->mOffsets, sizeof offsets);
            if (shape->mFloats == 0) {
                for (int v = 0; v < n; ++v) zeqdetail::Store<std::int64_t>(p + offsets[v] + 1, record.mBits[v]);
            } else {
                for (int v = 0; v < n; ++v)
                    zeqdetail::Store<std::int64_t>(p + offsets[v] + 1, record.Stored(shape->mTypes[v], v));
            }
            for (int c = 0; c < shape->mCovered; ++c) {
                const int v = shape->mCoveredValues[c];
                p[offsets[v]] = shape->mTypes[v];
            }
            writer->EndRecord(*shape);
            continue;
        }
        for (int v = 0; v < n; ++v) {
            if (!record.WriteOne(pFile, shape->mTypes[v], v)) return false;
        }
        // The one-value calls may have failed the file.
        writer = pFile.RecordWriter();
    }
    return true;
}

namespace zeqdetail {

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
        // are matched in it against the bytes and values it has left.
        const std::uint8_t* pos = c.mPos;
        std::size_t left = static_cast<std::size_t>(c.mEnd - pos);
        std::uint32_t values = c.mLimit - c.mConsumed;
        // Records near the region's end are looked at in a padded copy, so
        // that whole vectors can be read past them.
        std::uint8_t copy[ZeqRecordShape::kReadable];
        while (done < count && left > 0 && values > 0) {
            const std::uint8_t* at = pos;
            if (left < sizeof copy) {
                std::memset(copy, 0, sizeof copy);
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

}  // namespace zeqdetail
}  // namespace zeqsdk_400

#endif
