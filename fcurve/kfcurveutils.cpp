// Whole-curve operations: comparison, interpolation queries and conversions,
// resampling, splicing and offsets.
#include "fcurve/kfcurveutils.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvekeyindex.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

const char* const kUtilsMessages[] = {
    "No key", "Multiple interpolation or tangeants types", "Multiple key count", "Unsynched keys", "Left unchanged",
};

const char kNoKeyText[] = "KFCurveFilter, No key to be filtered.";
const char kNoSingleInterpolation[] = "KFCurveFilter, No single interpolation type.";
const char kNoSingleTangeant[] = "KFCurveFilter, No single tangeant mode.";
const char kTooManyKeys[] = "KFCurveUtils, Too many keys for one curve; the curve was left unchanged.";
const char kOutOfMemory[] = "KFCurveUtils, Not enough memory for the keys; the curve was left unchanged.";

// Compared differences are taken in double precision.
constexpr double kEpsilon = 2.220446049250313e-16;

bool Differ(double a, double b) { return std::fabs(a - b) > kEpsilon; }

bool IsUserMode(unsigned int mode) { return mode == KFCURVE_TANGEANT_USER || mode == KFCURVE_TANGEANT_USER_BREAK; }

bool IsCubicUser(const KFCurveKey& key) {
    return key.GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC && IsUserMode(key.GetTangeantMode());
}

// A clean key of the given kind: no weights, no velocities, no stale flags.
KFCurveKey MakeKey(KTime time, float value, unsigned int interpolation, unsigned int tangentMode, float rightDerivative,
                   float nextLeftDerivative) {
    KFCurveKey key{};
    key.Set(time, value, interpolation, tangentMode, rightDerivative, nextLeftDerivative, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    return key;
}

// Positive tick difference later - earlier (later > earlier), exact over the
// whole time line.
std::uint64_t Ticks(KTime earlier, KTime later) {
    return static_cast<std::uint64_t>(later.Get()) - static_cast<std::uint64_t>(earlier.Get());
}

// Keys are written in place between these two: Begin opens a batch and makes
// room for count keys, and on refusal closes it leaving the keys as they were.
bool BeginKeyWrite(KFCurve& curve, int count) {
    curve.KeyModifyBegin();
    if (curve.InitBuffers(count)) return true;
    curve.KeyModifyEnd();
    KFCurveUtils::smError.SetLastError(KFCurveUtils::eLeftUnchanged, kOutOfMemory);
    return false;
}

void EndKeyWrite(KFCurve& curve, int count) {
    curve.CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    curve.KeyModifyEnd(count);
    curve.KeyShrink();
}

// A curve to read from while writing into another one; a private copy when
// both are the same curve.
class ReadSource {
public:
    ReadSource(KFCurve& source, const KFCurve& target) : mCurve(&source) {
        if (&source == &target) {
            mCopy.CopyFrom(source, true);
            mCurve = &mCopy;
        }
    }
    KFCurve& Get() { return *mCurve; }

private:
    KFCurve* mCurve;
    KFCurve mCopy;
};

// The samples of a resampling span: count (at most INT_MAX) and whether the
// extra key at stop is added. False when the span is empty, the period not
// positive, or the count too large (error reported).
bool SampleCount(KTime start, KTime stop, KTime period, bool keyOnStop, int& count, bool& extra) {
    if (!(start < stop) || period.Get() <= 0) return false;
    const std::uint64_t span = Ticks(start, stop);
    const std::uint64_t step = static_cast<std::uint64_t>(period.Get());
    extra = keyOnStop && span % step != 0;
    const std::uint64_t n = span / step + 1 + (extra ? 1 : 0);
    if (n > static_cast<std::uint64_t>(INT_MAX)) {
        KFCurveUtils::smError.SetLastError(KFCurveUtils::eLeftUnchanged, kTooManyKeys);
        return false;
    }
    count = static_cast<int>(n);
    return true;
}

template <class MakeSample>
bool ResampleWith(KFCurve& sourceCurve, KFCurve& destination, KTime start, KTime stop, KTime period, bool keyOnStop,
                  MakeSample makeSample) {
    int count = 0;
    bool extra = false;
    if (!SampleCount(start, stop, period, keyOnStop, count, extra)) return false;
    ReadSource source(sourceCurve, destination);
    if (!BeginKeyWrite(destination, count)) return false;
    int evaluateHint = 0;
    int findHint = 0;
    const int regular = extra ? count - 1 : count;
    for (int k = 0; k < count; ++k) {
        const KTime t = k < regular ? start + period * k : stop;
        *destination.KeyGetPtr(k) = makeSample(source.Get(), t, evaluateHint, findHint);
    }
    EndKeyWrite(destination, count);
    return true;
}

}  // namespace

KError KFCurveUtils::smError(kUtilsMessages, static_cast<int>(sizeof(kUtilsMessages) / sizeof(kUtilsMessages[0])));

// ---- Comparison and queries ------------------------------------------------

bool KFCurveUtils::CompareCurve(KFCurve* a, KFCurve* b) {
    if (!a || !b) return a == b;
    if (Differ(a->GetValue(), b->GetValue())) return false;
    const int count = a->KeyGetCount();
    if (count != b->KeyGetCount()) return false;
    for (int i = 0; i < count; ++i) {
        const KFCurveKey& ka = *a->KeyGetPtr(i);
        const KFCurveKey& kb = *b->KeyGetPtr(i);
        if (ka.GetTime() != kb.GetTime() || Differ(ka.GetValue(), kb.GetValue())) return false;
        if (ka.GetInterpolation() != kb.GetInterpolation()) return false;
        if (ka.GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC) continue;
        const unsigned int mode = ka.GetTangeantMode();
        if (mode != kb.GetTangeantMode()) return false;
        if (mode == KFCURVE_TANGEANT_TCB) {
            for (EKFCurveDataIndex d : {KFCURVEKEY_TCB_TENSION, KFCURVEKEY_TCB_CONTINUITY, KFCURVEKEY_TCB_BIAS})
                if (Differ(ka.GetDataFloat(d), kb.GetDataFloat(d))) return false;
        } else if (IsUserMode(mode)) {
            for (EKFCurveDataIndex d : {KFCURVEKEY_RIGHT_DERIVATIVE, KFCURVEKEY_NEXT_LEFT_DERIVATIVE})
                if (Differ(ka.GetDataFloat(d), kb.GetDataFloat(d))) return false;
        }
    }
    return true;
}

namespace {

template <class ModeOf>
bool GlobalMode(unsigned int& mode, KFCurve& curve, ModeOf modeOf, const char* mixedText) {
    mode = 0;
    const int count = curve.KeyGetCount();
    if (count == 0) {
        KFCurveUtils::smError.SetLastError(KFCurveUtils::eNoKey, kNoKeyText);
        return false;
    }
    mode = modeOf(*curve.KeyGetPtr(0));
    bool reported = false;
    for (int i = 1; i < count; ++i) {
        const unsigned int keyMode = modeOf(*curve.KeyGetPtr(i));
        mode |= keyMode;
        if (!reported && mode != keyMode) {
            KFCurveUtils::smError.SetLastError(KFCurveUtils::eMultipleInterpolation, mixedText);
            reported = true;
        }
    }
    return true;
}

}  // namespace

bool KFCurveUtils::GetGlobalInterpolation(unsigned int& mode, KFCurve& curve) {
    return GlobalMode(
        mode, curve, [](const KFCurveKey& key) { return key.GetInterpolation(); }, kNoSingleInterpolation);
}

bool KFCurveUtils::GetGlobalTangeant(unsigned int& mode, KFCurve& curve) {
    return GlobalMode(
        mode, curve, [](const KFCurveKey& key) { return key.GetTangeantMode(); }, kNoSingleTangeant);
}

bool KFCurveUtils::GetInterpolationAndTangeantCount(KFCurve& curve, int* counts) {
    if (!counts) return false;
    for (int i = 0; i < eCountSize; ++i) counts[i] = 0;
    const int count = curve.KeyGetCount();
    for (int i = 0; i < count; ++i) {
        const KFCurveKey& key = *curve.KeyGetPtr(i);
        switch (key.GetInterpolation()) {
            case KFCURVE_INTERPOLATION_CONSTANT:
                ++counts[eCountConstant];
                break;
            case KFCURVE_INTERPOLATION_LINEAR:
                ++counts[eCountLinear];
                break;
            case KFCURVE_INTERPOLATION_CUBIC:
                switch (key.GetTangeantMode()) {
                    case KFCURVE_TANGEANT_AUTO:
                        ++counts[eCountCubicAuto];
                        break;
                    case KFCURVE_TANGEANT_AUTO_BREAK:
                        ++counts[eCountCubicAutoBreak];
                        break;
                    case KFCURVE_TANGEANT_USER:
                        ++counts[eCountCubicUser];
                        break;
                    case KFCURVE_TANGEANT_USER_BREAK:
                        ++counts[eCountCubicUserBreak];
                        break;
                    case KFCURVE_TANGEANT_TCB:
                        ++counts[eCountCubicTcb];
                        break;
                    default:
                        break;
                }
                break;
            default:
                break;
        }
    }
    return true;
}

// ---- Conversion ------------------------------------------------------------

void KFCurveUtils::ConvertCurveInterpolationRecursive(unsigned int interpolation, unsigned int tangentMode,
                                                      KFCurveNode& node) {
    const int children = node.GetCount();
    for (int i = 0; i < children; ++i)
        if (KFCurveNode* child = node.Get(i)) ConvertCurveInterpolationRecursive(interpolation, tangentMode, *child);
    KFCurve* curve = node.FCurveGet();
    if (!curve) return;
    const int count = curve->KeyGetCount();
    for (int i = 0; i < count; ++i) {
        KFCurveKey* key = curve->KeyGetPtr(i);
        key->SetInterpolation(interpolation);
        key->SetTangeantMode(tangentMode);
    }
    if (count > 0) curve->CallbackAddEvent(KFCURVEEVENT_KEY, -1);
}

namespace {

enum class KeyConversion { kKeep, kKeepSlopes, kSample };

KeyConversion ConversionOf(const KFCurveKey& key, unsigned int interpolation, unsigned int tangentMode) {
    const bool toCubic = interpolation == KFCURVE_INTERPOLATION_CUBIC;
    const unsigned int mode = key.GetTangeantMode();
    if (key.GetInterpolation() == interpolation && (!toCubic || mode == tangentMode)) return KeyConversion::kKeep;
    if (key.GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC && toCubic) {
        const bool fromAuto = mode == KFCURVE_TANGEANT_AUTO || mode == KFCURVE_TANGEANT_AUTO_BREAK;
        if ((tangentMode == KFCURVE_TANGEANT_USER && fromAuto) ||
            (tangentMode == KFCURVE_TANGEANT_USER_BREAK && (fromAuto || mode == KFCURVE_TANGEANT_USER)))
            return KeyConversion::kKeepSlopes;
    }
    return KeyConversion::kSample;
}

// Samples of the segment [time, next) every period: at least the one at time.
std::uint64_t SegmentSamples(KTime time, KTime next, KTime period) {
    if (period.Get() <= 0 || next <= time) return 1;
    return (Ticks(time, next) - 1) / static_cast<std::uint64_t>(period.Get()) + 1;
}

}  // namespace

bool KFCurveUtils::ConvertCurve(KFCurve& sourceCurve, KFCurve& destination, unsigned int interpolation,
                                unsigned int tangentMode, KTime period) {
    // The size is known before anything is touched, so that an impossible
    // conversion leaves the destination as it was.
    const int keys = sourceCurve.KeyGetCount();
    std::uint64_t total = 0;
    for (int i = 0; i < keys; ++i) {
        const KFCurveKey& key = *sourceCurve.KeyGetPtr(i);
        if (ConversionOf(key, interpolation, tangentMode) == KeyConversion::kSample) {
            const KTime next = i + 1 < keys ? sourceCurve.KeyGetPtr(i + 1)->GetTime() : key.GetTime();
            total += SegmentSamples(key.GetTime(), next, period);
        } else {
            total += 1;
        }
        if (total > static_cast<std::uint64_t>(INT_MAX)) {
            smError.SetLastError(eLeftUnchanged, kTooManyKeys);
            return false;
        }
    }

    ReadSource reader(sourceCurve, destination);
    KFCurve& source = reader.Get();
    destination.CopyFrom(source, false);
    const int count = static_cast<int>(total);
    if (!BeginKeyWrite(destination, count)) return false;
    int written = 0;
    int hint = 0;
    for (int i = 0; i < keys; ++i) {
        const KFCurveKey& key = *source.KeyGetPtr(i);
        const KTime time = key.GetTime();
        switch (ConversionOf(key, interpolation, tangentMode)) {
            case KeyConversion::kKeep:
                *destination.KeyGetPtr(written++) = key;
                break;
            case KeyConversion::kKeepSlopes: {
                const bool last = i + 1 == keys;
                const float right = last ? 0.0f : source.KeyGetRightDerivative(i);
                const float nextLeft = last ? 0.0f : source.KeyGetLeftDerivative(i + 1);
                *destination.KeyGetPtr(written++) =
                    MakeKey(time, key.GetValue(), interpolation, tangentMode, right, nextLeft);
                break;
            }
            case KeyConversion::kSample: {
                const KTime next = i + 1 < keys ? source.KeyGetPtr(i + 1)->GetTime() : time;
                const std::uint64_t samples = SegmentSamples(time, next, period);
                for (std::uint64_t s = 0; s < samples; ++s) {
                    const KTime t = time + KTime(static_cast<kLongLong>(s * static_cast<std::uint64_t>(period.Get())));
                    *destination.KeyGetPtr(written++) =
                        MakeKey(t, source.Evaluate(t, &hint), interpolation, tangentMode, 0.0f, 0.0f);
                }
                break;
            }
        }
    }
    EndKeyWrite(destination, written);
    return true;
}

// ---- Resampling ------------------------------------------------------------

bool KFCurveUtils::Resample(KFCurve& source, KFCurve& destination, KTime& start, KTime& stop, KTime& period,
                            bool keyOnStop) {
    return ResampleWith(source, destination, start, stop, period, keyOnStop,
                        [](KFCurve& curve, KTime t, int& evaluateHint, int& findHint) {
                            const float value = curve.Evaluate(t, &evaluateHint);
                            const double f = curve.KeyFind(t, &findHint);
                            const int count = curve.KeyGetCount();
                            if (!(f >= 0.0 && f <= count - 1))
                                return MakeKey(t, value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f,
                                               0.0f);
                            const KFCurveKey& key = *curve.KeyGetPtr(static_cast<int>(f));
                            const unsigned int interpolation = key.GetInterpolation();
                            unsigned int mode = key.GetTangeantMode();
                            float right = 0.0f;
                            float nextLeft = 0.0f;
                            if (interpolation == KFCURVE_INTERPOLATION_CUBIC) {
                                if (IsUserMode(mode)) {
                                    right = curve.EvaluateRightDerivative(t, &evaluateHint);
                                    nextLeft = curve.EvaluateLeftDerivative(t, &evaluateHint);
                                } else if (mode == KFCURVE_TANGEANT_TCB) {
                                    mode = KFCURVE_TANGEANT_AUTO;
                                }
                            }
                            return MakeKey(t, value, interpolation, mode, right, nextLeft);
                        });
}

bool KFCurveUtils::Resample(KFCurve& source, KFCurve& destination, KTime& start, KTime& stop, KTime& period,
                            unsigned int interpolation, unsigned int tangentMode, bool keyOnStop) {
    return ResampleWith(source, destination, start, stop, period, keyOnStop,
                        [interpolation, tangentMode](KFCurve& curve, KTime t, int& evaluateHint, int&) {
                            return MakeKey(t, curve.Evaluate(t, &evaluateHint), interpolation, tangentMode, 0.0f, 0.0f);
                        });
}

// ---- Splicing --------------------------------------------------------------

bool KFCurveUtils::Merge(KFCurve& base, KFCurve& inserted, KFCurve& result) {
    const int na = base.KeyGetCount();
    const int nb = inserted.KeyGetCount();
    if (na == 0) {
        if (nb > 0) result.CopyFrom(inserted, true);
        return true;
    }
    if (nb == 0) {
        result.CopyFrom(base, true);
        return true;
    }
    const KTime bFirst = inserted.KeyGetPtr(0)->GetTime();
    const KTime bLast = inserted.KeyGetPtr(nb - 1)->GetTime();
    if (bFirst <= base.KeyGetPtr(0)->GetTime() && bLast >= base.KeyGetPtr(na - 1)->GetTime()) {
        result.CopyFrom(inserted, true);
        return true;
    }

    // Settled on key times rather than fractional indices, so that rounding
    // can neither drop a key nor keep one inside the inserted span.
    const int i0 = keyindex::CountBefore(base, bFirst);         // base keys kept before
    const int i1 = keyindex::CountAtOrBefore(base, bLast) - 1;  // last base key not after
    const std::int64_t wanted = static_cast<std::int64_t>(i0) + nb + (na - 1 - i1);
    if (wanted > INT_MAX) {
        smError.SetLastError(eLeftUnchanged, kTooManyKeys);
        return false;
    }
    const int total = static_cast<int>(wanted);

    ReadSource a(base, result);
    ReadSource b(inserted, result);
    KFCurve& baseCurve = a.Get();
    KFCurve& insertedCurve = b.Get();
    // The seams are read from base before result (which may be base) changes.
    const bool seamBefore = i0 >= 1 && i0 < na && IsCubicUser(*baseCurve.KeyGetPtr(i0 - 1));
    const float seamBeforeSlope = seamBefore ? baseCurve.EvaluateRightDerivative(bFirst) : 0.0f;
    const bool seamAfter = i1 >= 0 && i1 < na - 1 && IsCubicUser(*baseCurve.KeyGetPtr(i1));
    const float seamAfterSlope = seamAfter ? baseCurve.EvaluateLeftDerivative(bLast) : 0.0f;
    const float seamAfterNextLeft =
        seamAfter ? baseCurve.KeyGetPtr(i1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE) : 0.0f;

    if (!BeginKeyWrite(result, total)) return false;
    int k = 0;
    for (int i = 0; i < i0; ++i) *result.KeyGetPtr(k++) = *baseCurve.KeyGetPtr(i);
    for (int i = 0; i < nb; ++i) *result.KeyGetPtr(k++) = *insertedCurve.KeyGetPtr(i);
    for (int i = i1 + 1; i < na; ++i) *result.KeyGetPtr(k++) = *baseCurve.KeyGetPtr(i);

    if (seamBefore) result.KeyGetPtr(i0 - 1)->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, seamBeforeSlope);
    if (seamAfter) {
        KFCurveKey* last = result.KeyGetPtr(i0 + nb - 1);
        last->SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
        last->SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
        last->SetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE, seamAfterSlope);
        last->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, seamAfterNextLeft);
    }
    EndKeyWrite(result, total);
    return true;
}

// ---- Offsets ---------------------------------------------------------------

KTime KFCurveUtils::FindTimeOffsetBefore(KFCurve& curve, KTime& time) {
    if (curve.KeyGetCount() == 0) return KTime(0);
    const KTime first = curve.KeyGetPtr(0)->GetTime();
    return first > time ? first - time : KTime(0);
}

KTime KFCurveUtils::FindTimeOffsetAfter(KFCurve& curve, KTime& time) {
    const int count = curve.KeyGetCount();
    if (count == 0) return KTime(0);
    const KTime last = curve.KeyGetPtr(count - 1)->GetTime();
    return last < time ? last - time : KTime(0);
}

}  // namespace zeqsdk_400
