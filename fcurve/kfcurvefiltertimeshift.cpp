// Time shift and scale of every key of a curve.
#include "fcurve/kfcurvefiltertimeshift.h"

#include <cmath>

#include "fcurve/kfcurve.h"

namespace zeqsdk_400 {

namespace {

const char kNoKeyText[] = "TimeShiftAndScaleFilter, No key to be filtered.";
const char kUnchangedText[] = "TimeShiftAndScaleFilter, No key were changed by filter.";
const char kOutOfRangeText[] =
    "TimeShiftAndScaleFilter, Keys would leave the time line or fall on one another; no key were changed.";

// Times that a scaled time in ticks may take without saturating.
constexpr double kLargestTicks = 9.2e18;

}  // namespace

KFCurveFilterTimeShiftAndScale::KFCurveFilterTimeShiftAndScale()
    : KFCurveFilter(eKFCurveFilterTimeShiftAndScale), mShift(0), mScale(1.0) {}

bool KFCurveFilterTimeShiftAndScale::Apply(KFCurveNode& node, bool recursive) {
    return KFCurveFilter::Apply(node, recursive);
}

bool KFCurveFilterTimeShiftAndScale::Apply(KFCurve** curves, int count) { return KFCurveFilter::Apply(curves, count); }

bool KFCurveFilterTimeShiftAndScale::Apply(KFCurve& curve) {
    const bool scaled = mScale > 0.0 && mScale != 1.0;
    const kLongLong shift = mShift.Get();
    if (shift == 0 && !scaled) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kUnchangedText);
        return false;
    }
    const int count = curve.KeyGetCount();
    if (count == 0) {
        SetError(KFCURVEFILTER_ERROR_NO_KEY, kNoKeyText);
        return false;
    }

    // The new time of a key; false when it would leave the time line.
    const double scale = mScale;
    auto moved = [&](int index, KTime& time) {
        kLongLong ticks;
        if (__builtin_add_overflow(curve.KeyGetPtr(index)->GetTime().Get(), shift, &ticks)) return false;
        if (ticks <= KTime::kMinusInfiniteTicks || ticks >= KTime::kInfiniteTicks) return false;
        time = KTime(ticks);
        if (scaled) {
            const double seconds = time.GetSecondDouble() * scale;
            if (!(std::fabs(seconds * static_cast<double>(KTime::kTicksPerSecond)) < kLargestTicks)) return false;
            time.SetSecondDouble(seconds);
        }
        return true;
    };
    // Every key is checked before any moves, so that a refused call changes nothing.
    KTime previous;
    for (int i = 0; i < count; ++i) {
        KTime time;
        if (!moved(i, time) || (i > 0 && !(previous < time))) {
            SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kOutOfRangeText);
            return false;
        }
        previous = time;
    }

    curve.KeyModifyBegin();
    for (int i = 0; i < count; ++i) {
        KTime time;
        moved(i, time);
        curve.KeyGetPtr(i)->SetTime(time);
    }
    curve.CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    curve.KeyModifyEnd();
    return true;
}

}  // namespace zeqsdk_400
