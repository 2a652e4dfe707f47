// Resampling of a curve's keys inside a span at a fixed period.
#include "fcurve/kfcurvefilterresample.h"

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurveutils.h"

namespace zeqsdk_400 {

namespace {

const char kBadPeriodText[] = "Bad Period";
const char kBadIntervalText[] = "Bad Interval";
const char kTooManyKeysText[] = "Bad Interval: too many keys at this period, or not enough memory for them.";

}  // namespace

KFCurveFilterResample::KFCurveFilterResample() : KFCurveFilter(eKFCurveFilterResample) { Reset(); }

void KFCurveFilterResample::Reset() {
    mKeysOnFrame = false;
    mPeriod.SetTime(0, 0, 0, 1, 0, KTime::eModeDefault);
    mIntelligentMode = false;
    KFCurveFilter::Reset();
}

bool KFCurveFilterResample::Apply(KFCurveNode& node, bool recursive) { return KFCurveFilter::Apply(node, recursive); }

bool KFCurveFilterResample::Apply(KFCurve** curves, int count) { return KFCurveFilter::Apply(curves, count); }

bool KFCurveFilterResample::Apply(KFCurve& curve) {
    KTime period = mPeriod;
    if (period.Get() <= 0) {
        SetError(eBadPeriod, kBadPeriodText);
        return false;
    }
    const int count = curve.KeyGetCount();
    // Open ends of the span stand for the curve's first and last keys.
    KTime start = GetStartTime();
    KTime stop = GetStopTime();
    if (start <= KTime::MinusInfinite()) start = count > 0 ? curve.KeyGetPtr(0)->GetTime() : KTime::MinusInfinite();
    if (stop >= KTime::Infinite()) stop = count > 0 ? curve.KeyGetPtr(count - 1)->GetTime() : KTime::Infinite();
    if (start <= KTime::MinusInfinite() || stop >= KTime::Infinite()) {
        SetError(eBadInterval, kBadIntervalText);
        return false;
    }
    if (mKeysOnFrame) {
        // Up to the next multiple of the period, for starts after the first one.
        const kLongLong p = period.Get();
        const kLongLong multiple = start.Get() / p * p;
        if (multiple != start.Get() && multiple > 0) {
            if (multiple > KTime::kInfiniteTicks - p) {
                SetError(eBadInterval, kBadIntervalText);
                return false;
            }
            start = KTime(multiple + p);
        }
    }
    if (!(start < stop)) {
        SetError(eBadInterval, kBadIntervalText);
        return false;
    }

    KFCurve full;
    KFCurve sampled;
    full.CopyFrom(curve, true);
    sampled.CopyFrom(curve, false);
    const bool resampled =
        full.KeyGetCount() == count &&
        (mIntelligentMode ? KFCurveUtils::Resample(full, sampled, start, stop, period, true)
                          : KFCurveUtils::Resample(full, sampled, start, stop, period, KFCURVE_INTERPOLATION_CUBIC,
                                                   KFCURVE_TANGEANT_AUTO, true));
    if (!resampled || !KFCurveUtils::Merge(full, sampled, curve)) {
        SetError(eBadInterval, kTooManyKeysText);
        return false;
    }
    return true;
}

}  // namespace zeqsdk_400
