// Curve storage in the field file: the "Default", "KeyVer", "KeyCount",
// "Key", extrapolation and "Color" records. Version 4004 keys are written;
// every older key layout is read and converted.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "fcurve/kfcurve.h"
#include "fileio/kzeq.h"

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

bool IsCubic(const KFCurveKey* key) { return key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC; }
bool IsAutoMode(unsigned int mode) { return mode == KFCURVE_TANGEANT_AUTO || mode == KFCURVE_TANGEANT_AUTO_BREAK; }

void WriteWeights(KZeq* file, const KFCurveKey* key) {
    const unsigned int weights = key->GetTangeantWeightMode();
    file->FieldWriteCH(LetterOf(kWeightLetters, weights, 'n'));
    double values[2];
    int count = 0;
    if (weights & KFCURVE_WEIGHTED_RIGHT) values[count++] = StoredWeight(key, KFCURVEKEY_RIGHT_WEIGHT);
    if (weights & KFCURVE_WEIGHTED_NEXT_LEFT) values[count++] = StoredWeight(key, KFCURVEKEY_NEXT_LEFT_WEIGHT);
    if (count > 0) file->FieldWriteDn(values, count);
}

void WriteTangentPair(KZeq* file, char letter, double right, double nextLeft, const KFCurveKey* key) {
    file->FieldWriteCH(letter);
    const double values[2] = {right, nextLeft};
    file->FieldWriteDn(values, 2);
    WriteWeights(file, key);
}

// Auto keys as explicit tangents that readers of older files understand.
void WriteAutoForOlderReaders(KZeq* file, KFCurve& curve, int i) {
    const int n = curve.KeyGetCount();
    const KFCurveKey* key = curve.KeyGetPtr(i);
    const bool flat = key->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE) == 0.0f &&
                      (i == 0 || curve.KeyGetPtr(i - 1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE) == 0.0f);
    if (flat) {
        const KFCurveKey* next = i + 1 < n ? curve.KeyGetPtr(i + 1) : nullptr;
        if (next && IsCubic(next) && (next->GetTangeantMode() & KFCURVE_TANGEANT_USER) != 0) {
            file->FieldWriteCH('d');
            file->FieldWriteD(curve.KeyGetLeftDerivative(i + 1));
            WriteWeights(file, key);
        } else {
            file->FieldWriteCH('a');
        }
        return;
    }
    const char letter = (key->GetTangeantMode() & KFCURVE_TANGEANT_BREAK_BIT) != 0 ? 'b' : 's';
    WriteTangentPair(file, letter, curve.KeyGetRightDerivative(i), i + 1 < n ? curve.KeyGetLeftDerivative(i + 1) : 0.0,
                     key);
}

void WriteKey(KZeq* file, KFCurve& curve, int i, bool version5) {
    const KFCurveKey* key = curve.KeyGetPtr(i);
    file->FieldWriteT(key->GetTime());
    file->FieldWriteD(key->GetValue());
    const unsigned int interpolation = key->GetInterpolation();
    const char letter = LetterOf(kInterpolationLetters, interpolation, 0);
    if (letter == 0) return;
    file->FieldWriteCH(letter);
    if (interpolation == KFCURVE_INTERPOLATION_CONSTANT) {
        file->FieldWriteCH(key->GetConstantMode() == KFCURVE_CONSTANT_NEXT ? 'n' : 's');
        return;
    }
    if (interpolation != KFCURVE_INTERPOLATION_CUBIC) return;
    const unsigned int mode = key->GetTangeantMode();
    if (mode == KFCURVE_TANGEANT_TCB) {
        file->FieldWriteCH('t');
        const double tcb[3] = {key->GetDataFloat(KFCURVEKEY_TCB_TENSION), key->GetDataFloat(KFCURVEKEY_TCB_CONTINUITY),
                               key->GetDataFloat(KFCURVEKEY_TCB_BIAS)};
        file->FieldWriteDn(tcb, 3);
        return;
    }
    if (IsAutoMode(mode) && version5) {
        WriteAutoForOlderReaders(file, curve, i);
        return;
    }
    const double right = key->GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE);
    const double nextLeft = key->GetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE);
    if (IsAutoMode(mode) && right == 0.0 && nextLeft == 0.0) {
        file->FieldWriteCH('a');
        return;
    }
    const char tangent = LetterOf(kTangentLetters, mode, 0);
    if (tangent != 0) WriteTangentPair(file, tangent, right, nextLeft, key);
}

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
    explicit KeyValues(KZeq* file)
        : mFile(file),
          mVersion(file->ProjectGetSectionVersion(file->ProjectGetCurrentSectionIndex())),
          mLeft(file->FieldReadGetRemain()) {}

    int Remain() const { return mLeft; }
    char Type() { return Ready() ? mBuffer[mNext].mType : mFile->FieldReadGetType(); }
    double Double() {
        if (!Ready()) return Taken(mFile->FieldReadD());
        const KZeq::Value& v = Take();
        return v.mType == 'D' ? v.mDouble : v.AsDouble();
    }
    KTime Time() {
        if (!Ready()) return Taken(mFile->FieldReadT());
        const KZeq::Value& v = Take();
        return v.mType == 'L' ? KTime(v.mLong) : v.AsTime(mVersion);
    }
    char Char() {
        if (!Ready()) return Taken(mFile->FieldReadCH());
        const KZeq::Value& v = Take();
        return v.mType == 'C' ? static_cast<char>(v.mLong) : v.AsChar();
    }
    void Doubles(double* out, int count) {
        for (int k = 0; k < count && mLeft > 0; ++k) out[k] = Double();
    }
    // The decoded values next, at least count of them when the field holds
    // them without a string or embedded value between; available tells how many.
    const KZeq::Value* Window(int count, int& available) {
        if (mEnd - mNext < count && mLeft > mEnd - mNext) {
            const int kept = mEnd - mNext;
            std::memmove(mBuffer, mBuffer + mNext, static_cast<std::size_t>(kept) * sizeof(KZeq::Value));
            mNext = 0;
            mEnd = kept + mFile->FieldReadValues(mBuffer + kept, kBatch - kept);
        }
        available = mEnd - mNext;
        return mBuffer + mNext;
    }
    void Skip(int count) {
        mNext += count;
        mLeft -= count;
    }

private:
    static constexpr int kBatch = 1024;

    // True when a decoded value is next; false when the next one must be read
    // with the one-value calls (or none is left).
    bool Ready() {
        if (mNext < mEnd) return true;
        if (mLeft <= 0) return false;
        mNext = 0;
        mEnd = mFile->FieldReadValues(mBuffer, kBatch);
        return mEnd > 0;
    }
    const KZeq::Value& Take() {
        --mLeft;
        return mBuffer[mNext++];
    }
    // A value read with a one-value call; damage may have ended the field.
    template <class T>
    T Taken(T value) {
        mLeft = mFile->FieldReadGetRemain();
        return value;
    }

    KZeq* mFile;
    int mVersion;
    int mLeft;  // values of the field not yet taken, decoded ones included
    int mNext = 0;
    int mEnd = 0;
    KZeq::Value mBuffer[kBatch];
};

// Reads the keys of one "Key" record straight into the curve's reserved key
// slots. Keys that cannot be read are dropped as they are met; the previous
// key of a key is the last good one, so that one damaged key costs only itself.
class KeyReader {
public:
    KeyReader(KZeq* file, KFCurve& curve, int version)
        : mValues(file), mCurve(curve), mVersion(version), mBinary(file->IsBinary()) {}

    // Up to count keys from the open "Key" field; answers how many were read.
    int Read(int count) {
        mTimeType = mValues.Type();
        // A key takes at least one value and a good one three: the count read
        // from the file never sizes anything beyond what the record holds.
        const int remain = mValues.Remain();
        count = std::min(count, remain);
        const int room = std::min(count, remain / 3);
        if (room == 0 || !mCurve.InitBuffers(room)) return 0;
        mRoom = room;
        for (int i = 0; i < count && mGood < mRoom && mValues.Remain() > 0; ++i) ReadOne();
        return mGood;
    }

private:
    KFCurveKey* Previous() { return mGood > 0 ? mCurve.KeyGetPtr(mGood - 1) : nullptr; }
    bool TypeIs(char type) { return mValues.Type() == type; }

    void ReadOne() {
        static const KFCurveKey blank = BlankKey();
        if (FastKey(blank)) return;
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
        if (!mBinary || TypeIs('C')) letter = mValues.Char();
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

    // The layouts this version writes for linear, constant, flat auto and user
    // keys, taken straight from the decoded values when every value has the
    // type written; false, nothing consumed, for anything else, which the
    // general reading below then handles.
    bool FastKey(const KFCurveKey& blank) {
        if (!mBinary || mVersion < kKeyVersion || mTimeType != 'L' || mPreviousLetter == 'B') return false;
        int available = 0;
        const KZeq::Value* v = mValues.Window(9, available);
        auto is = [&](int k, char type) { return k < available && v[k].mType == type; };
        if (!is(0, 'L') || !is(1, 'D') || !is(2, 'C')) return false;
        const KTime time(v[0].mLong);
        KFCurveKey* previous = Previous();
        if (time.Get() == LLONG_MIN || (previous && time <= previous->GetTime())) return false;
        KFCurveKey key = blank;
        key.SetTime(time);
        key.SetValue(static_cast<float>(v[1].mDouble));
        const char letter = static_cast<char>(v[2].mLong);
        int used = 3;
        if (letter == 'L') {
            key.SetInterpolation(KFCURVE_INTERPOLATION_LINEAR);
        } else if (letter == 'C' && is(3, 'C')) {
            key.SetInterpolation(KFCURVE_INTERPOLATION_CONSTANT);
            key.SetConstantMode(v[3].mLong == 'n' ? KFCURVE_CONSTANT_NEXT : KFCURVE_CONSTANT_STANDARD);
            used = 4;
        } else if (letter == 'U' && is(3, 'C') && v[3].mLong == 'a') {
            key.SetTangeantMode(KFCURVE_TANGEANT_AUTO);
            if (previous) ClearNextLeftWeight(*previous);
            used = 4;
        } else if (letter == 'U' && is(3, 'C') && (v[3].mLong == 's' || v[3].mLong == 'b') && is(4, 'D') &&
                   is(5, 'D') && is(6, 'C')) {
            const unsigned int weights = ModeOf(kWeightLetters, static_cast<char>(v[6].mLong), KFCURVE_WEIGHTED_NONE);
            used = 7;
            const bool right = (weights & KFCURVE_WEIGHTED_RIGHT) != 0, left = (weights & KFCURVE_WEIGHTED_NEXT_LEFT) != 0;
            if ((right && !is(used, 'D')) || (left && !is(used + right, 'D'))) return false;
            key.SetTangeantMode(v[3].mLong == 's' ? KFCURVE_TANGEANT_USER : KFCURVE_TANGEANT_USER_BREAK);
            SetData(key, KFCURVEKEY_RIGHT_DERIVATIVE, v[4].mDouble);
            SetData(key, KFCURVEKEY_NEXT_LEFT_DERIVATIVE, v[5].mDouble);
            key.SetTangeantWeightMode(weights);
            if (right) SetStoredWeight(key, KFCURVEKEY_RIGHT_WEIGHT, v[used++].mDouble);
            if (left) SetStoredWeight(key, KFCURVEKEY_NEXT_LEFT_WEIGHT, v[used++].mDouble);
        } else {
            return false;
        }
        mValues.Skip(used);
        *mCurve.KeyGetPtr(mGood++) = key;
        mPreviousLetter = letter;
        return true;
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
            if (!mBinary || TypeIs('C')) mode = mValues.Char();
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
        char letter = 'a';
        if (!mBinary || TypeIs('C')) letter = mValues.Char();
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

    KeyValues mValues;
    KFCurve& mCurve;
    int mVersion;
    bool mBinary;
    char mTimeType = 'S';
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
        for (int i = 0; i < n; ++i) WriteKey(file, *this, i, version5);
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
