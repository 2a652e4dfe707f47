// Curve storage in the field file: the "Default", "KeyVer", "KeyCount",
// "Key", extrapolation and "Color" records. Version 4004 keys are written;
// every older key layout is read and converted.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

#include "fcurve/kfcurve.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqrecords.h"

namespace zeqsdk_400 {

namespace {

constexpr int kKeyVersion = 4004;

// ---- Letters of the stored layout -----------------------------------------------

struct ModeLetter {
    unsigned int mode;
    char letter;
};

constexpr ModeLetter kExtrapolationLetters[] = {
    {KFCURVE_EXTRAPOLATION_CONSTANT, 'C'},
    {KFCURVE_EXTRAPOLATION_REPETITION, 'R'},
    {KFCURVE_EXTRAPOLATION_MIRROR, 'M'},
    {KFCURVE_EXTRAPOLATION_KEEP_SLOPE, 'K'},
};

constexpr ModeLetter kInterpolationLetters[] = {
    {KFCURVE_INTERPOLATION_CONSTANT, 'C'},
    {KFCURVE_INTERPOLATION_LINEAR, 'L'},
    {KFCURVE_INTERPOLATION_CUBIC, 'U'},
};

// Tangent modes written as their letter followed by both derivatives (and
// weights); auto keys with both slots 0 are written 'a' instead.
constexpr ModeLetter kTangentLetters[] = {
    {KFCURVE_TANGEANT_USER, 's'},
    {KFCURVE_TANGEANT_USER_BREAK, 'b'},
    {KFCURVE_TANGEANT_AUTO, 'p'},
    {KFCURVE_TANGEANT_AUTO_BREAK, 'q'},
};

constexpr ModeLetter kWeightLetters[] = {
    {KFCURVE_WEIGHTED_NONE, 'n'},
    {KFCURVE_WEIGHTED_RIGHT, 'r'},
    {KFCURVE_WEIGHTED_NEXT_LEFT, 'l'},
    {KFCURVE_WEIGHTED_ALL, 'a'},
};

template <std::size_t N>
char LetterOf(const ModeLetter (&table)[N], unsigned int mode, char otherwise) {
    for (const ModeLetter& entry : table)
        if (entry.mode == mode) return entry.letter;
    return otherwise;
}

template <std::size_t N>
unsigned int ModeOf(const ModeLetter (&table)[N], char letter, unsigned int otherwise) {
    for (const ModeLetter& entry : table)
        if (entry.letter == letter) return entry.mode;
    return otherwise;
}

bool IsCubic(const KFCurveKey* key) { return key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC; }
bool IsAutoMode(unsigned int mode) { return mode == KFCURVE_TANGEANT_AUTO || mode == KFCURVE_TANGEANT_AUTO_BREAK; }

// ---- Key layouts ---------------------------------------------------------------------

// A record layout from its types and, for reading, the codes its chars must
// have ('.' for any; none given: any).
constexpr KZeq::RecordLayout Layout(const char* types, const char* codes = "") {
    KZeq::RecordLayout layout{};
    const bool any = *codes == 0;
    for (int k = 0; types[k] != 0; ++k) {
        layout.mTypes[k] = types[k];
        layout.mCodes[k] = any || codes[k] == '.' ? 0 : codes[k];
        layout.mCount = k + 1;
    }
    return layout;
}

// The values of a key as written: its time, its value, then letters and
// numbers after the interpolation.
enum KeyShape : unsigned char {
    kTimeValue,   // an interpolation without a letter
    kLetter,      // linear, or a cubic key whose tangent has no letter
    kTwoLetters,  // constant and its mode; flat auto 'a'
    kPair,        // tangent letter, both derivatives, weights letter, then 0, 1 or 2 weights
    kTcb = kPair + 3,
    kOne,  // 'd', one derivative, weights letter, then 0, 1 or 2 weights (older readers)
    kShapeCount = kOne + 3
};

// The shapes ('T' the time) with times as ticks ('L') or, in sections before
// version 2001, as seconds ('D'), as FieldWriteT stores them.
constexpr std::array<KZeq::RecordLayout, kShapeCount> WriteLayouts(char time) {
    const char* types[kShapeCount] = {"TD",      "TDC",     "TDCC",     "TDCCDDC",  "TDCCDDCD",
                                      "TDCCDDCDD", "TDCCDDD", "TDCCDC", "TDCCDCD", "TDCCDCDD"};
    std::array<KZeq::RecordLayout, kShapeCount> layouts{};
    for (int s = 0; s < kShapeCount; ++s) {
        layouts[s] = Layout(types[s]);
        layouts[s].mTypes[0] = time;
    }
    return layouts;
}
constexpr std::array<KZeq::RecordLayout, kShapeCount> kTickLayouts = WriteLayouts('L');
constexpr std::array<KZeq::RecordLayout, kShapeCount> kSecondLayouts = WriteLayouts('D');

// ---- Writing -----------------------------------------------------------------------

// Weights are kept as whole steps of 1/9999. They are written as the exact
// fraction of their step and read back to the same step, so that saving and
// loading never drifts them (a detour through float could lose a step).
double StoredWeight(const KFCurveKey* key, EKFCurveDataIndex index) {
    short steps;
    std::memcpy(&steps, static_cast<const unsigned char*>(key->GetDataPtr()) + 8 + 2 * (index - 2), sizeof steps);
    return steps / KFCURVE_WEIGHT_DIVIDER;
}

void SetStoredWeight(KFCurveKey& key, EKFCurveDataIndex index, double weight) {
    // The key's own range and truncation, with room for the rounding of decimal text.
    if (std::isnan(weight)) weight = KFCURVE_MIN_WEIGHT;
    weight =
        std::max(std::min(weight, static_cast<double>(KFCURVE_MAX_WEIGHT)), static_cast<double>(KFCURVE_MIN_WEIGHT));
    const short steps = static_cast<short>(weight * KFCURVE_WEIGHT_DIVIDER + 1e-6);
    std::memcpy(static_cast<unsigned char*>(key.GetDataPtr()) + 8 + 2 * (index - 2), &steps, sizeof steps);
}

// The keys of a curve as records of the "Key" field.
class KeyWriter {
public:
    KeyWriter(KZeq* file, KFCurve& curve, bool version5)
        : mFile(file),
          mCurve(curve),
          mVersion5(version5),
          mTicks(file->ProjectGetSectionVersion(file->ProjectGetCurrentSectionIndex()) > 2000) {}

    void Write() {
        KZeqWriteRecords(*mFile, (mTicks ? kTickLayouts : kSecondLayouts).data(), kShapeCount, mCurve.KeyGetCount(),
                         [this](int i, KZeqRecordWriter& record) { Add(record, i); });
    }

private:
    // The shape's first values: the key's time and value.
    void Begin(KZeqRecordWriter& record, KeyShape shape, const KFCurveKey* key) {
        record.Begin(shape);
        const KTime time = key->GetTime();
        if (mTicks)
            record.Long(0, time.Get());
        else
            record.Double(0, time.GetSecondDouble());
        record.Double(1, key->GetValue());
    }

    static int WeightCount(unsigned int weights) {
        return ((weights & KFCURVE_WEIGHTED_RIGHT) != 0) + ((weights & KFCURVE_WEIGHTED_NEXT_LEFT) != 0);
    }

    // The letters of the modes of a key, looked up again only when they change.
    struct Letters {
        unsigned int mModes = ~0u;
        char mInterpolation, mTangent, mWeights;
    };
    const Letters& LettersOf(const KFCurveKey* key) {
        const unsigned int modes = key->GetInterpolation() | key->GetTangeantMode() | key->GetTangeantWeightMode();
        if (modes != mLetters.mModes) {
            mLetters.mModes = modes;
            mLetters.mInterpolation = LetterOf(kInterpolationLetters, key->GetInterpolation(), 0);
            mLetters.mTangent = LetterOf(kTangentLetters, key->GetTangeantMode(), 0);
            mLetters.mWeights = LetterOf(kWeightLetters, key->GetTangeantWeightMode(), 'n');
        }
        return mLetters;
    }

    // The weights letter then the weights, from value k on.
    void Weights(KZeqRecordWriter& record, int k, const KFCurveKey* key, unsigned int weights) {
        record.Char(k, LettersOf(key).mWeights);
        if (weights & KFCURVE_WEIGHTED_RIGHT) record.Double(++k, StoredWeight(key, KFCURVEKEY_RIGHT_WEIGHT));
        if (weights & KFCURVE_WEIGHTED_NEXT_LEFT) record.Double(++k, StoredWeight(key, KFCURVEKEY_NEXT_LEFT_WEIGHT));
    }

    // A tangent letter, both derivatives, the weights letter and the weights.
    void Pair(KZeqRecordWriter& record, const KFCurveKey* key, char letter, double right, double nextLeft) {
        const unsigned int weights = key->GetTangeantWeightMode();
        Begin(record, static_cast<KeyShape>(kPair + WeightCount(weights)), key);
        record.Char(2, 'U');
        record.Char(3, letter);
        record.Double(4, right);
        record.Double(5, nextLeft);
        Weights(record, 6, key, weights);
    }

    void Add(KZeqRecordWriter& record, int i) {
        const KFCurveKey* key = mCurve.KeyGetPtr(i);
        const unsigned int interpolation = key->GetInterpolation();
        const char letter = LettersOf(key).mInterpolation;
        if (letter == 0) return Begin(record, kTimeValue, key);
        if (interpolation == KFCURVE_INTERPOLATION_CONSTANT) {
            Begin(record, kTwoLetters, key);
            record.Char(2, letter);
            record.Char(3, key->GetConstantMode() == KFCURVE_CONSTANT_NEXT ? 'n' : 's');
            return;
        }
        if (interpolation != KFCURVE_INTERPOLATION_CUBIC) {
            Begin(record, kLetter, key);
            record.Char(2, letter);
            return;
        }
        const unsigned int mode = key->GetTangeantMode();
        if (mode == KFCURVE_TANGEANT_TCB) {
            Begin(record, kTcb, key);
            record.Char(2, 'U');
            record.Char(3, 't');
            record.Double(4, key->GetDataFloat(KFCURVEKEY_TCB_TENSION));
            record.Double(5, key->GetDataFloat(KFCURVEKEY_TCB_CONTINUITY));
            record.Double(6, key->GetDataFloat(KFCURVEKEY_TCB_BIAS));
            return;
        }
        double right, nextLeft;
        char tangent;
        if (IsAutoMode(mode) && mVersion5) {
            // Auto keys as explicit tangents that readers of older files understand.
            if (AddFlatAutoForOlderReaders(record, i, key)) return;
            tangent = (mode & KFCURVE_TANGEANT_BREAK_BIT) != 0 ? 'b' : 's';
            right = mCurve.KeyGetRightDerivative(i);
            nextLeft = i + 1 < mCurve.KeyGetCount() ? mCurve.KeyGetLeftDerivative(i + 1) : 0.0;
        } else {
            right = key->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE);
            nextLeft = key->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE);
            tangent = IsAutoMode(mode) && right == 0.0 && nextLeft == 0.0 ? 'a' : mLetters.mTangent;
            if (tangent == 0 || tangent == 'a') {
                Begin(record, tangent == 0 ? kLetter : kTwoLetters, key);
                record.Char(2, 'U');
                if (tangent == 'a') record.Char(3, 'a');
                return;
            }
        }
        // A key holds the next one's incoming side: its auto parameter while the next stays auto
        // for older readers, its slope where they get the next with explicit slopes.
        if (mVersion5 && IsCubicAuto(i + 1))
            nextLeft = IsFlatAuto(i + 1) ? key->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE)
                                         : mCurve.KeyGetLeftDerivative(i + 1);
        Pair(record, key, tangent, right, nextLeft);
    }

    bool IsCubicAuto(int i) const {
        const KFCurveKey* key = i < mCurve.KeyGetCount() ? mCurve.KeyGetPtr(i) : nullptr;
        return key && IsCubic(key) && IsAutoMode(key->GetTangeantMode());
    }

    // An auto key whose parameters are both 0, which older readers get as auto (the others with
    // explicit slopes).
    bool IsFlatAuto(int i) const {
        return mCurve.KeyGetPtr(i)->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE) == 0.0f &&
               (i == 0 || mCurve.KeyGetPtr(i - 1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE) == 0.0f);
    }

    // A flat auto key for readers of older files: 'd' and the next key's incoming slope before a
    // key they get with explicit slopes, else 'a'. False for a key with slopes.
    bool AddFlatAutoForOlderReaders(KZeqRecordWriter& record, int i, const KFCurveKey* key) {
        if (!IsFlatAuto(i)) return false;
        const KFCurveKey* next = i + 1 < mCurve.KeyGetCount() ? mCurve.KeyGetPtr(i + 1) : nullptr;
        const bool explicitNext = next && IsCubic(next) &&
                                  ((next->GetTangeantMode() & KFCURVE_TANGEANT_USER) != 0 || !IsFlatAuto(i + 1));
        if (explicitNext) {
            const unsigned int weights = key->GetTangeantWeightMode();
            Begin(record, static_cast<KeyShape>(kOne + WeightCount(weights)), key);
            record.Char(2, 'U');
            record.Char(3, 'd');
            record.Double(4, mCurve.KeyGetLeftDerivative(i + 1));
            Weights(record, 5, key, weights);
            return true;
        }
        Begin(record, kTwoLetters, key);
        record.Char(2, 'U');
        record.Char(3, 'a');
        return true;
    }

    KZeq* mFile;
    KFCurve& mCurve;
    bool mVersion5;
    bool mTicks;
    Letters mLetters;
};

void WriteExtrapolation(KZeq* file, const char* name, int mode, unsigned int count) {
    if (mode == 0 || (mode == KFCURVE_EXTRAPOLATION_CONSTANT && count == 0)) return;
    file->FieldWriteBegin(name);
    file->FieldWriteBlockBegin();
    file->FieldWriteBegin("Type");
    file->FieldWriteCH(LetterOf(kExtrapolationLetters, static_cast<unsigned int>(mode), '0'));
    file->FieldWriteEnd();
    file->FieldWriteBegin("Repetition");
    file->FieldWriteI(static_cast<int>(count));
    file->FieldWriteEnd();
    file->FieldWriteBlockEnd();
    file->FieldWriteEnd();
}

// ---- Reading -----------------------------------------------------------------------

constexpr float kOneThird = KFCURVE_DEFAULT_WEIGHT;

float DataOf(const KFCurveKey& key, EKFCurveDataIndex index) { return key.GetDataFloat(index); }
void SetData(KFCurveKey& key, EKFCurveDataIndex index, double value) {
    key.SetDataFloat(index, static_cast<float>(value));
}

bool IsCubicMode(const KFCurveKey& key, unsigned int mode) {
    return key.GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC && key.GetTangeantMode() == mode;
}
bool IsCubicUserKey(const KFCurveKey& key) {
    return IsCubicMode(key, KFCURVE_TANGEANT_USER) || IsCubicMode(key, KFCURVE_TANGEANT_USER_BREAK);
}

void ClearNextLeftWeight(KFCurveKey& key) {
    key.SetTangeantWeightMode(0u, KFCURVE_WEIGHTED_NEXT_LEFT);
    key.SetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT, kOneThird);
}

// A key as reading starts it: cubic (so that setting the interpolation resets
// nothing), unweighted with weights of one third, no velocities.
KFCurveKey BlankKey() {
    KFCurveKey key{};
    key.Set(KTime(0), 0.0f, KFCURVE_INTERPOLATION_CUBIC, 0, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE, kOneThird, kOneThird,
            0.0f, 0.0f);
    return key;
}

// The values of the open "Key" field, decoded in batches of typed values; a
// string or embedded value (which no writer puts there) is read on its own
// with the one-value calls.
class KeyValues {
public:
    // batch: how many values are decoded ahead (at most kMostBatch).
    KeyValues(KZeq* file, int batch)
        : mFile(file),
          mVersion(file->ProjectGetSectionVersion(file->ProjectGetCurrentSectionIndex())),
          mBatch(batch),
          mLeft(file->FieldReadGetRemain()),
          mText(!file->IsBinary()) {}

    int Remain() const { return mLeft; }
    // No decoded value waits: the field's next value is the file's.
    bool Drained() const { return mNext == mEnd; }
    // After values were read from the file directly.
    void Resync() { mLeft = mFile->FieldReadGetRemain(); }
    char Type() { return Ready() ? mBuffer[mNext].mType : mFile->FieldReadGetType(); }
    double Double() {
        if (!Ready()) return Taken(mFile->FieldReadD());
        const KZeq::Value& v = Take();
        if (v.mType == 'D') return v.mDouble;
        Number(v);
        return v.AsDouble();
    }
    KTime Time() {
        if (!Ready()) return Taken(mFile->FieldReadT());
        const KZeq::Value& v = Take();
        if (v.mType == 'L') return KTime(v.mLong);
        Number(v);
        return v.AsTime(mVersion);
    }
    char Char() {
        if (!Ready()) return Taken(mFile->FieldReadCH());
        const KZeq::Value& v = Take();
        return v.mType == 'C' ? static_cast<char>(v.mLong) : v.AsChar();
    }
    void Doubles(double* out, int count) {
        for (int k = 0; k < count && mLeft > 0; ++k) out[k] = Double();
    }

    static constexpr int kMostBatch = 1024;

private:
    // True when a decoded value is next; false when the next one must be read
    // with the one-value calls (or none is left).
    bool Ready() {
        if (mNext < mEnd) return true;
        if (mLeft <= 0) return false;
        mNext = 0;
        mEnd = mFile->FieldReadValues(mBuffer, mBatch);
        return mEnd > 0;
    }
    const KZeq::Value& Take() {
        --mLeft;
        return mBuffer[mNext++];
    }
    // A char where a number belongs: in a binary file a value of another
    // type, converted; in an ASCII file damaged text (its numbers are text),
    // which fails the file as the one-value reads do.
    void Number(const KZeq::Value& v) {
        if (mText && v.mType == 'C' && mFile->GetLastErrorID() == -1)
            mFile->GetError().SetLastErrorID(KZeq::eFileCorrupted);
    }
    // A value read with a one-value call; damage may have ended the field.
    template <class T>
    T Taken(T value) {
        mLeft = mFile->FieldReadGetRemain();
        return value;
    }

    KZeq* mFile;
    int mVersion;
    int mBatch;
    int mLeft;  // values of the field not yet taken, decoded ones included
    bool mText;
    int mNext = 0;
    int mEnd = 0;
    KZeq::Value mBuffer[kMostBatch];
};

// The key layouts this version writes, as read in records: those of linear,
// constant, flat auto and user keys with times as ticks.
enum ReadShape : unsigned char { kReadLinear, kReadConstant, kReadAuto, kReadUser, kReadShapeCount = kReadUser + 8 };

constexpr std::array<KZeq::RecordLayout, kReadShapeCount> ReadLayouts() {
    std::array<KZeq::RecordLayout, kReadShapeCount> layouts{};
    layouts[kReadLinear] = Layout("LDC", "..L");
    layouts[kReadConstant] = Layout("LDCC", "..C.");
    layouts[kReadAuto] = Layout("LDCC", "..Ua");
    // User and user-break keys, each with the four weight letters and their weights.
    const char* types[4] = {"LDCCDDC", "LDCCDDCD", "LDCCDDCD", "LDCCDDCDD"};
    const char* codes[8] = {"..Us..n", "..Us..r.", "..Us..l.", "..Us..a..",
                            "..Ub..n", "..Ub..r.", "..Ub..l.", "..Ub..a.."};
    for (int k = 0; k < 8; ++k) layouts[kReadUser + k] = Layout(types[k % 4], codes[k]);
    return layouts;
}
constexpr std::array<KZeq::RecordLayout, kReadShapeCount> kReadLayouts = ReadLayouts();

// What a key read in each read layout starts as (what the key-by-key reading
// makes of its letters), and where its weights are among its values (0: none).
struct RecordKey {
    KFCurveKey mStart;
    int mRightWeight;
    int mLeftWeight;
};

std::array<RecordKey, kReadShapeCount> RecordKeys() {
    std::array<RecordKey, kReadShapeCount> keys;
    keys.fill(RecordKey{BlankKey(), 0, 0});
    keys[kReadLinear].mStart.SetInterpolation(KFCURVE_INTERPOLATION_LINEAR);
    keys[kReadConstant].mStart.SetInterpolation(KFCURVE_INTERPOLATION_CONSTANT);
    keys[kReadAuto].mStart.SetTangeantMode(KFCURVE_TANGEANT_AUTO);
    for (int k = 0; k < 8; ++k) {
        RecordKey& key = keys[static_cast<std::size_t>(kReadUser + k)];
        const KZeq::RecordLayout& layout = kReadLayouts[static_cast<std::size_t>(kReadUser + k)];
        key.mStart.SetTangeantMode(layout.mCodes[3] == 's' ? KFCURVE_TANGEANT_USER : KFCURVE_TANGEANT_USER_BREAK);
        const unsigned int weights = ModeOf(kWeightLetters, layout.mCodes[6], KFCURVE_WEIGHTED_NONE);
        key.mStart.SetTangeantWeightMode(weights);
        // The weights follow the weights letter (value 6), the right one first.
        int next = 7;
        if (weights & KFCURVE_WEIGHTED_RIGHT) key.mRightWeight = next++;
        if (weights & KFCURVE_WEIGHTED_NEXT_LEFT) key.mLeftWeight = next;
    }
    return keys;
}

// Reads the keys of one "Key" record straight into the curve's reserved key
// slots. Keys that cannot be read are dropped as they are met; the previous
// key of a key is the last good one, so that one damaged key costs only itself.
class KeyReader {
public:
    KeyReader(KZeq* file, KFCurve& curve, int version)
        : mFile(file),
          mTimeType(file->FieldReadGetType()),
          // The layouts this version writes, in a binary file with ticks, are
          // read as records; the rest key by key, with few values decoded ahead.
          mRecords(file->IsBinary() && version >= kKeyVersion && mTimeType == 'L'),
          mValues(file, mRecords ? 16 : KeyValues::kMostBatch),
          mCurve(curve),
          mVersion(version),
          mBinary(file->IsBinary()) {}

    // Up to count keys from the open "Key" field; answers how many were read.
    int Read(int count) {
        // A key takes at least one value and a good one three: the count read
        // from the file never sizes anything beyond what the record holds.
        const int remain = mValues.Remain();
        count = std::min(count, remain);
        const int room = std::min(count, remain / 3);
        if (room == 0 || !mCurve.InitBuffers(room)) return 0;
        mRoom = room;
        int i = 0;
        while (i < count && mGood < mRoom && mValues.Remain() > 0) {
            if (mRecords && mPreviousLetter != 'B' && mValues.Drained()) {
                const int read = ReadRecords(std::min(count - i, mRoom - mGood));
                i += read;
                if (read > 0) continue;
            }
            ReadOne();
            ++i;
        }
        return mGood;
    }

private:
    KFCurveKey* Previous() { return mGood > 0 ? mCurve.KeyGetPtr(mGood - 1) : nullptr; }
    bool TypeIs(char type) { return mValues.Type() == type; }
    // An optional letter of a key is there when the next value is one, in
    // both encodings: a key written without it is followed by the next key's
    // time. Text quotes a char that is no letter (and hand-made files may
    // quote letters), so there a string counts too.
    bool LetterNext() {
        if (mValues.Remain() <= 0) return false;
        const char type = mValues.Type();
        return type == 'C' || (!mBinary && type == 'S');
    }

    void ReadOne() {
        static const KFCurveKey blank = BlankKey();
        KFCurveKey key = blank;
        bool bad = false;
        // Time: in a binary file stray values before it are skipped.
        if (mBinary) {
            while (!TypeIs(mTimeType) && mValues.Remain() > 0) mValues.Time();
            if (!TypeIs(mTimeType)) bad = true;
        }
        const KTime time = bad ? KTime::Infinite() : mValues.Time();
        if (time.Get() == LLONG_MIN) bad = true;
        KFCurveKey* previous = Previous();
        if (previous && time <= previous->GetTime()) bad = true;
        key.SetTime(time);

        if (mBinary && !TypeIs('D') && !TypeIs('F'))
            bad = true;
        else
            key.SetValue(static_cast<float>(mValues.Double()));

        char letter = 0;
        if (LetterNext()) letter = mValues.Char();
        // Changes to the previous key are made only for keys that are kept.
        KFCurveKey* linked = bad ? nullptr : previous;
        switch (letter) {
            case 'A':
            case 'C':
            case 'Z':
                key.SetInterpolation(KFCURVE_INTERPOLATION_CONSTANT);
                ReadConstant(key, linked);
                break;
            case 'L':
                key.SetInterpolation(KFCURVE_INTERPOLATION_LINEAR);
                LinkAfterAuto(linked);
                break;
            case 'U':
                key.SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
                if (!ReadTangent(key, linked)) bad = true;
                break;
            case 'B':
            case 'H':
            case 'I':
            case 'O':
            case 'R':
            case 'T':
                key.SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
                ReadLegacyTangent(key, letter, linked);
                break;
            default:
                bad = true;
                break;
        }
        if (bad) return;
        // Handles of a previous 'B' key become derivatives now that the segment is known.
        if (previous && mPreviousLetter == 'B') {
            const double dt = (time - previous->GetTime()).GetSecondDouble();
            SetData(*previous, KFCURVEKEY_RIGHT_DERIVATIVE,
                    (DataOf(*previous, KFCURVEKEY_RIGHT_DERIVATIVE) - previous->GetValue()) * 3.0 / dt);
            SetData(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE,
                    letter == 'B' ? (DataOf(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE) - key.GetValue()) * -3.0 / dt
                                  : 0.0);
        }
        *mCurve.KeyGetPtr(mGood++) = key;
        mPreviousLetter = letter;
    }

    // Up to limit keys (good or dropped) stored in the layouts of kReadLayouts,
    // read as records where they are stored; answers how many. Each key is
    // made in its slot from the key its layout starts (what the key-by-key
    // reading makes of its letters).
    int ReadRecords(int limit) {
        static const std::array<RecordKey, kReadShapeCount> kinds = RecordKeys();
        KFCurveKey* previous = Previous();
        kLongLong previousTime = previous ? previous->GetTime().Get() : LLONG_MIN;
        const int records = KZeqReadRecords(
            *mFile, kReadLayouts.data(), kReadShapeCount, limit, [&](int shape, const KZeqRecord& record) {
                // As the key-by-key reading does: a key out of order is dropped
                // with all its values, and changes nothing.
                const kLongLong time = record.Long(0);
                if (time == LLONG_MIN || time <= previousTime) return;
                const RecordKey& kind = kinds[static_cast<std::size_t>(shape)];
                KFCurveKey* key = mCurve.KeyGetPtr(mGood++);
                *key = kind.mStart;
                key->SetTime(KTime(time));
                key->SetValue(static_cast<float>(record.Double(1)));
                if (shape == kReadConstant) {
                    key->SetConstantMode(record.Char(3) == 'n' ? KFCURVE_CONSTANT_NEXT : KFCURVE_CONSTANT_STANDARD);
                } else if (shape == kReadAuto) {
                    if (previous) ClearNextLeftWeight(*previous);
                } else if (shape >= kReadUser) {
                    key->SetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE, static_cast<float>(record.Double(4)));
                    key->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, static_cast<float>(record.Double(5)));
                    if (kind.mRightWeight)
                        SetStoredWeight(*key, KFCURVEKEY_RIGHT_WEIGHT, record.Double(kind.mRightWeight));
                    if (kind.mLeftWeight) SetStoredWeight(*key, KFCURVEKEY_NEXT_LEFT_WEIGHT, record.Double(kind.mLeftWeight));
                }
                previous = key;
                previousTime = time;
                mPreviousLetter = kReadLayouts[static_cast<std::size_t>(shape)].mCodes[2];
            });
        mValues.Resync();
        return records;
    }

    // Old layouts: a constant or linear key after an auto key gives it a
    // one-sided incoming tangent.
    void LinkAfterAuto(KFCurveKey* previous) {
        if (mVersion <= 4003 && previous &&
            (IsCubicMode(*previous, KFCURVE_TANGEANT_AUTO) || IsCubicMode(*previous, KFCURVE_TANGEANT_AUTO_BREAK)))
            SetData(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, 100.0);
    }

    void ReadConstant(KFCurveKey& key, KFCurveKey* previous) {
        if (mVersion > 4003) {
            char mode = 's';
            if (LetterNext()) mode = mValues.Char();
            key.SetConstantMode(mode == 'n' ? KFCURVE_CONSTANT_NEXT : KFCURVE_CONSTANT_STANDARD);
        }
        LinkAfterAuto(previous);
    }

    void ReadWeights(KFCurveKey& key) {
        const unsigned int weights = ModeOf(kWeightLetters, mValues.Char(), KFCURVE_WEIGHTED_NONE);
        key.SetTangeantWeightMode(weights);
        if (weights & KFCURVE_WEIGHTED_RIGHT) SetStoredWeight(key, KFCURVEKEY_RIGHT_WEIGHT, mValues.Double());
        if (weights & KFCURVE_WEIGHTED_NEXT_LEFT)
            SetStoredWeight(key, KFCURVEKEY_NEXT_LEFT_WEIGHT, mValues.Double());
    }

    void ReadPair(KFCurveKey& key) {
        double values[2] = {0.0, 0.0};
        mValues.Doubles(values, 2);
        SetData(key, KFCURVEKEY_RIGHT_DERIVATIVE, values[0]);
        SetData(key, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, values[1]);
    }

    void ReadTcb(KFCurveKey& key) {
        double tcb[3] = {0.0, 0.0, 0.0};
        mValues.Doubles(tcb, 3);
        key.SetTangeantMode(KFCURVE_TANGEANT_TCB);
        for (int k = 0; k < 3; ++k) key.SetDataFloat(static_cast<EKFCurveDataIndex>(k), static_cast<float>(tcb[k]));
    }

    // The tangent of a 'U' key; false for a letter without meaning.
    bool ReadTangent(KFCurveKey& key, KFCurveKey* previous) {
        // A tangent mode without a letter (0, 0x300, 0x800, ...) reads as auto.
        char letter = 'a';
        if (LetterNext()) letter = mValues.Char();
        switch (letter) {
            case 'A':
            case 'a':
                key.SetTangeantMode(KFCURVE_TANGEANT_AUTO);
                if (mVersion > 4001 && previous) ClearNextLeftWeight(*previous);
                SetData(key, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, 0.0);
                SetData(key, KFCURVEKEY_RIGHT_DERIVATIVE,
                        mVersion <= 4003 && previous && previous->GetInterpolation() == KFCURVE_INTERPOLATION_LINEAR
                            ? -100.0
                            : 0.0);
                if (mVersion <= 4003 && previous && previous->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC &&
                    (previous->GetTangeantMode() & KFCURVE_TANGEANT_USER) != 0)
                    SetData(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, 0.0);
                if (mVersion == 4000) SetData(key, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, mValues.Double());
                return true;
            case 'S':
            case 's':
            case 'B':
            case 'b':
                key.SetTangeantMode(letter == 'S' || letter == 's' ? KFCURVE_TANGEANT_USER
                                                                   : KFCURVE_TANGEANT_USER_BREAK);
                ReadPair(key);
                if (mVersion <= 3999 && previous && IsCubicMode(*previous, KFCURVE_TANGEANT_AUTO))
                    SetData(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, DataOf(key, KFCURVEKEY_RIGHT_DERIVATIVE));
                if (mVersion >= 4002) ReadWeights(key);
                return true;
            case 'D':
            case 'd':
                key.SetTangeantMode(KFCURVE_TANGEANT_AUTO);
                SetData(key, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, mValues.Double());
                SetData(key, KFCURVEKEY_RIGHT_DERIVATIVE, 0.0);
                if (mVersion >= 4002) {
                    if (previous) ClearNextLeftWeight(*previous);
                    ReadWeights(key);
                }
                return true;
            case 'P':
            case 'p': {
                key.SetTangeantMode(KFCURVE_TANGEANT_AUTO);
                ReadPair(key);
                if (previous) {
                    // Unequal auto parameters on both sides make a broken key.
                    double leftAuto;
                    switch (previous->GetInterpolation()) {
                        case KFCURVE_INTERPOLATION_CONSTANT:
                            leftAuto = 0.0;
                            break;
                        case KFCURVE_INTERPOLATION_LINEAR:
                            leftAuto = 100.0;
                            break;
                        default:
                            leftAuto = DataOf(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE);
                            break;
                    }
                    if (std::fabs(leftAuto + DataOf(key, KFCURVEKEY_RIGHT_DERIVATIVE)) > 0.001)
                        key.SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
                }
                ReadWeights(key);
                return true;
            }
            case 'Q':
            case 'q':
                key.SetTangeantMode(KFCURVE_TANGEANT_AUTO_BREAK);
                ReadPair(key);
                ReadWeights(key);
                return true;
            case 'T':
            case 't':
                ReadTcb(key);
                return true;
            default:
                return false;
        }
    }

    // The tangent layout of files before version 4000.
    void ReadLegacyTangent(KFCurveKey& key, char letter, KFCurveKey* previous) {
        if (letter == 'T') {
            ReadTcb(key);
            return;
        }
        const bool previousTakes = previous && !IsCubicMode(*previous, KFCURVE_TANGEANT_TCB);
        const char second = mValues.Char();
        if (second == 'A' || second == 'a') {
            key.SetTangeantMode(KFCURVE_TANGEANT_AUTO);
        } else if (second == 'B' || second == 'b') {
            key.SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
            const double incoming = mValues.Double();
            if (previousTakes) SetData(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, incoming);
            SetData(key, KFCURVEKEY_RIGHT_DERIVATIVE, mValues.Double());
        } else {
            key.SetTangeantMode(KFCURVE_TANGEANT_USER);
            const double both = mValues.Double();
            if (previousTakes) SetData(*previous, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, both);
            SetData(key, KFCURVEKEY_RIGHT_DERIVATIVE, both);
        }
    }

    KZeq* mFile;
    char mTimeType;
    bool mRecords;
    KeyValues mValues;
    KFCurve& mCurve;
    int mVersion;
    bool mBinary;
    int mRoom = 0;
    int mGood = 0;
    char mPreviousLetter = 0;  // interpolation letter of the last good key
};

void ReadExtrapolation(KZeq* file, const char* name, int& mode, unsigned int& count) {
    if (!file->FieldReadBegin(name)) return;
    if (file->FieldReadBlockBegin()) {
        mode = static_cast<int>(ModeOf(kExtrapolationLetters, file->FieldReadCH("Type", '0'), 0));
        count = static_cast<unsigned int>(file->FieldReadI("Repetition", 0));
        file->FieldReadBlockEnd();
    }
    file->FieldReadEnd();
}

// ---- Layouts before 4000 -------------------------------------------------------------

bool IsUserOrBreak(const KFCurveKey* key) { return IsCubicUserKey(*key); }

void MakeUser(KFCurveKey* key, unsigned int mode, double right, double nextLeft) {
    key->SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
    key->SetTangeantMode(mode);
    SetData(*key, KFCURVEKEY_RIGHT_DERIVATIVE, right);
    SetData(*key, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, nextLeft);
    // The weight slots may have held a TCB bias.
    key->SetDataDouble(KFCURVEKEY_RIGHT_WEIGHT, kOneThird);
    key->SetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT, kOneThird);
}

double Slope(KFCurve& curve, int from, int to) {
    const KFCurveKey* a = curve.KeyGetPtr(from);
    const KFCurveKey* b = curve.KeyGetPtr(to);
    const double dt = (b->GetTime() - a->GetTime()).GetSecondDouble();
    return dt > 0.0 ? (static_cast<double>(b->GetValue()) - a->GetValue()) / dt : 0.0;
}

// The incoming tangent at key k + 1 from the TCB parameters of key k, with
// the slopes from its previous key to its next one and from the next key to
// the one after.
double TcbNextLeft(KFCurve& curve, int k) {
    const int n = curve.KeyGetCount();
    if (k < 1 || k + 1 >= n) return 0.0;
    const KFCurveKey* key = curve.KeyGetPtr(k);
    const double tension = key->GetDataFloat(KFCURVEKEY_TCB_TENSION);
    const double continuity = key->GetDataFloat(KFCURVEKEY_TCB_CONTINUITY);
    const double bias = key->GetDataFloat(KFCURVEKEY_TCB_BIAS);
    const double across = Slope(curve, k - 1, k + 1);
    if (k + 2 >= n) return (1.0 - tension) * (1.0 + bias) * (1.0 - continuity) * across;
    return (1.0 - tension) * 0.5 *
           ((1.0 + continuity) * (1.0 - bias) * Slope(curve, k + 1, k + 2) +
            (1.0 + bias) * (1.0 - continuity) * across);
}

void ConvertLegacyTangents(KFCurve& curve) {
    const int n = curve.KeyGetCount();
    if (n == 0) return;
    KFCurveKey* last = curve.KeyGetPtr(n - 1);
    last->SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
    last->SetTangeantMode(KFCURVE_TANGEANT_AUTO);

    for (int k = n - 1; k >= 1; --k) {
        KFCurveKey* cur = curve.KeyGetPtr(k);
        const KFCurveKey* prev = curve.KeyGetPtr(k - 1);
        const bool prevTcb = IsCubicMode(*prev, KFCURVE_TANGEANT_TCB);
        if (IsCubicMode(*cur, KFCURVE_TANGEANT_USER) && prevTcb) {
            cur->SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
        } else if (cur->GetInterpolation() == KFCURVE_INTERPOLATION_LINEAR && prevTcb) {
            const double d = curve.KeyGetRightDerivative(k);
            MakeUser(cur, KFCURVE_TANGEANT_USER_BREAK, d, d);
        } else if (IsCubicMode(*cur, KFCURVE_TANGEANT_AUTO)) {
            double r = k < n - 1 ? curve.KeyGetRightDerivative(k + 1) : 0.0;
            if (k + 1 == n - 1) r = Slope(curve, k, k + 1);
            if (IsUserOrBreak(prev)) {
                MakeUser(cur, KFCURVE_TANGEANT_USER, prev->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), r);
            } else if (prevTcb) {
                cur->SetTCB(cur->GetTime(), cur->GetValue(), prev->GetDataFloat(KFCURVEKEY_TCB_TENSION),
                            prev->GetDataFloat(KFCURVEKEY_TCB_CONTINUITY), prev->GetDataFloat(KFCURVEKEY_TCB_BIAS));
                if (k < n - 1) MakeUser(cur, KFCURVE_TANGEANT_USER, curve.KeyGetLeftDerivative(k), r);
            } else if (prev->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT) {
                MakeUser(cur, KFCURVE_TANGEANT_USER, 0.0, r);
            }
        }
    }
    for (int i = 0; i + 1 < n; ++i) {
        KFCurveKey* cur = curve.KeyGetPtr(i);
        if (!IsCubicMode(*cur, KFCURVE_TANGEANT_AUTO) || IsCubicMode(*curve.KeyGetPtr(i + 1), KFCURVE_TANGEANT_AUTO))
            continue;
        const double right = curve.KeyGetRightDerivative(i);
        const double nextLeft = curve.KeyGetRightDerivative(i + 1);
        MakeUser(cur, KFCURVE_TANGEANT_USER, right, nextLeft);
    }
    for (int k = n - 1; k >= 1; --k) {
        KFCurveKey* cur = curve.KeyGetPtr(k);
        if (!IsCubicMode(*cur, KFCURVE_TANGEANT_TCB) || !IsUserOrBreak(curve.KeyGetPtr(k - 1))) continue;
        const double right = curve.KeyGetRightDerivative(k);
        const double nextLeft = TcbNextLeft(curve, k);
        MakeUser(cur, KFCURVE_TANGEANT_USER_BREAK, right, nextLeft);
    }
}

}  // namespace

int KFCurve::ZeqStore(KZeq* file, bool onlyDefaults, bool color, bool version5) {
    if (!file) return 0;
    file->FieldWriteBegin("Default");
    file->FieldWriteD(mValue);
    file->FieldWriteEnd();
    if (onlyDefaults) return 0;
    const int n = mKeyCount;
    if (n > 0) {
        file->FieldWriteBegin("KeyVer");
        file->FieldWriteI(kKeyVersion);
        file->FieldWriteEnd();
        file->FieldWriteBegin("KeyCount");
        file->FieldWriteI(n);
        file->FieldWriteEnd();
        file->FieldWriteBegin("Key");
        KeyWriter(file, *this, version5).Write();
        file->FieldWriteEnd();
        WriteExtrapolation(file, "Pre-Extrapolation", mPreExtrapolation, mPreExtrapolationCount);
        WriteExtrapolation(file, "Post-Extrapolation", mPostExtrapolation, mPostExtrapolationCount);
    }
    if (color) {
        file->FieldWriteBegin("Color");
        const double rgb[3] = {mColor[0], mColor[1], mColor[2]};
        file->FieldWriteDn(rgb, 3);
        file->FieldWriteEnd();
    }
    return 0;
}

bool KFCurve::ZeqRetrieve(KZeq* file, bool onlyDefaults, bool color) {
    if (!file || !file->FieldReadBegin("Default")) return true;
    return ZeqInternalRetrieve(file, onlyDefaults, color);
}

bool KFCurve::ZeqInternalRetrieve(KZeq* file, bool onlyDefaults, bool color) {
    if (!file) return false;
    const bool opened = BeginInternalBatch();
    KeyClear();
    SetValue(static_cast<float>(file->FieldReadD()));
    file->FieldReadEnd();
    if (!onlyDefaults) {
        const int version = file->FieldReadI("KeyVer", 0);
        const int declared = file->FieldReadI("KeyCount", 0);
        if (declared > 0 && file->FieldReadBegin("Key")) {
            KeyReader reader(file, *this, version);
            mKeyCount = reader.Read(declared);
            file->FieldReadEnd();
            ReleaseBlocksAfterCount();
            CallbackAddEvent(KFCURVEEVENT_KEY, -1);
        }
        int mode = mPreExtrapolation;
        unsigned int cycles = mPreExtrapolationCount;
        ReadExtrapolation(file, "Pre-Extrapolation", mode, cycles);
        if (mode != mPreExtrapolation) SetPreExtrapolation(mode);
        if (cycles != mPreExtrapolationCount) SetPreExtrapolationCount(cycles);
        mode = mPostExtrapolation;
        cycles = mPostExtrapolationCount;
        ReadExtrapolation(file, "Post-Extrapolation", mode, cycles);
        if (mode != mPostExtrapolation) SetPostExtrapolation(mode);
        if (cycles != mPostExtrapolationCount) SetPostExtrapolationCount(cycles);
        if (color && file->FieldReadBegin("Color")) {
            double rgb[3] = {mColor[0], mColor[1], mColor[2]};
            file->FieldReadDn(rgb, 3);
            const float values[3] = {static_cast<float>(rgb[0]), static_cast<float>(rgb[1]),
                                     static_cast<float>(rgb[2])};
            SetColor(values);
            file->FieldReadEnd();
        }
        if (version < 4000) ConvertLegacyTangents(*this);
    }
    EndInternalBatch(opened);
    return false;
}

KFCurve* KFCurveCreate(KZeq* file, KFCurve* curve, bool onlyDefaults, bool color) {
    if (!file || !file->FieldReadBegin("Default")) return nullptr;
    KFCurve* target = curve ? curve : KFCurveCreate();
    target->ZeqInternalRetrieve(file, onlyDefaults, color);
    return target;
}

KFCurve* KFCurveCreate(KZeq* file, bool onlyDefaults, bool color) {
    return KFCurveCreate(file, nullptr, onlyDefaults, color);
}

}  // namespace zeqsdk_400
