#include "fcurve/kfcurvekey.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace zeqsdk_400 {

// The record is shared with the storage code byte for byte.
struct KFCurveKeyLayout {
    static_assert(offsetof(KFCurveKey, mValue) == 0, "value at byte 0");
    static_assert(offsetof(KFCurveKey, mTime) == 4, "time at byte 4");
    static_assert(offsetof(KFCurveKey, mFlags) == 12, "flags at byte 12");
    static_assert(offsetof(KFCurveKey, mData) == 16, "data slots from byte 16");
};

namespace {

// A scaled slot value as a 16-bit integer: truncated toward zero, saturated
// at the ends of the range; not-a-number stores 0.
short SaturateToShort(double scaled) {
    if (std::isnan(scaled)) return 0;
    if (scaled >= static_cast<double>(SHRT_MAX)) return SHRT_MAX;
    if (scaled <= static_cast<double>(SHRT_MIN)) return SHRT_MIN;
    return static_cast<short>(scaled);
}

}  // namespace

short KFCurveKey::EncodeWeight(float weight) {
    // Not-a-number falls through both tests; treat it as the smallest weight.
    if (std::isnan(weight)) weight = KFCURVE_MIN_WEIGHT;
    if (weight > KFCURVE_MAX_WEIGHT) weight = KFCURVE_MAX_WEIGHT;
    if (weight < KFCURVE_MIN_WEIGHT) weight = KFCURVE_MIN_WEIGHT;
    return SaturateToShort(static_cast<double>(weight) * KFCURVE_WEIGHT_DIVIDER);
}

short KFCurveKey::EncodeVelocity(float velocity) {
    return SaturateToShort(static_cast<double>(velocity) * KFCURVE_WEIGHT_DIVIDER);
}

short KFCurveKey::GetShort(int slot) const {
    short value;
    std::memcpy(&value, mData + 8 + 2 * (slot - 2), sizeof value);
    return value;
}

void KFCurveKey::SetShort(int slot, short value) {
    std::memcpy(mData + 8 + 2 * (slot - 2), &value, sizeof value);
}

float KFCurveKey::GetDataDouble(EKFCurveDataIndex index) const {
    switch (index) {
        case KFCURVEKEY_RIGHT_DERIVATIVE:
        case KFCURVEKEY_NEXT_LEFT_DERIVATIVE:
            return GetDataFloat(index);
        case KFCURVEKEY_RIGHT_WEIGHT:
        case KFCURVEKEY_NEXT_LEFT_WEIGHT:
        case KFCURVEKEY_RIGHT_VELOCITY:
        case KFCURVEKEY_NEXT_LEFT_VELOCITY:
            return static_cast<float>(GetShort(index) / KFCURVE_WEIGHT_DIVIDER);
    }
    return 0.0f;
}

void KFCurveKey::SetDataDouble(EKFCurveDataIndex index, float value) {
    switch (index) {
        case KFCURVEKEY_RIGHT_DERIVATIVE:
        case KFCURVEKEY_NEXT_LEFT_DERIVATIVE:
            SetDataFloat(index, value);
            break;
        case KFCURVEKEY_RIGHT_WEIGHT:
        case KFCURVEKEY_NEXT_LEFT_WEIGHT:
            SetShort(index, EncodeWeight(value));
            break;
        case KFCURVEKEY_RIGHT_VELOCITY:
        case KFCURVEKEY_NEXT_LEFT_VELOCITY:
            SetShort(index, EncodeVelocity(value));
            break;
    }
}

void KFCurveKey::Set(KTime time, float value, unsigned int interpolation, unsigned int tangentMode, float data0,
                     float data1, unsigned int tangentWeightMode, float weight0, float weight1, float velocity0,
                     float velocity1) {
    SetTime(time);
    SetValue(value);
    SetInterpolation(interpolation);
    SetTangeantMode(tangentMode);
    SetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE, data0);
    SetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, data1);
    SetTangeantWeightMode(tangentWeightMode, KFCURVE_WEIGHTED_ALL);
    SetDataDouble(KFCURVEKEY_RIGHT_WEIGHT, weight0);
    SetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT, weight1);
    SetDataDouble(KFCURVEKEY_RIGHT_VELOCITY, velocity0);
    SetDataDouble(KFCURVEKEY_NEXT_LEFT_VELOCITY, velocity1);
    SetSelected(false);
    SetTangeantVisibility(0);
}

void KFCurveKey::SetTCB(KTime time, float value, float tension, float continuity, float bias) {
    SetTime(time);
    SetValue(value);
    SetInterpolation(KFCURVE_INTERPOLATION_CUBIC);
    SetTangeantMode(KFCURVE_TANGEANT_TCB);
    SetDataFloat(KFCURVEKEY_TCB_TENSION, tension);
    SetDataFloat(KFCURVEKEY_TCB_CONTINUITY, continuity);
    SetDataFloat(KFCURVEKEY_TCB_BIAS, bias);
    SetSelected(false);
    SetTangeantVisibility(0);
}

void KFCurveKey::Init() {
    mValue = 0.0f;
    mTime = 0;
    mFlags = 0;
}

void KFCurveKey::SetInterpolation(unsigned int interpolation) {
    if (GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC && interpolation == KFCURVE_INTERPOLATION_CUBIC) {
        // A key becoming cubic starts with plain tangents.
        SetTangeantWeightMode(KFCURVE_WEIGHTED_NONE, KFCURVE_WEIGHTED_ALL);
        SetDataDouble(KFCURVEKEY_RIGHT_WEIGHT, KFCURVE_DEFAULT_WEIGHT);
        SetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT, KFCURVE_DEFAULT_WEIGHT);
        SetTangeantVelocityMode(KFCURVE_VELOCITY_NONE, KFCURVE_VELOCITY_ALL);
        SetDataDouble(KFCURVEKEY_RIGHT_VELOCITY, 0.0f);
        SetDataDouble(KFCURVEKEY_NEXT_LEFT_VELOCITY, 0.0f);
    }
    ReplaceBits(KFCURVE_INTERPOLATION_ALL, interpolation);
}

void KFCurveKey::MultTangeant(float factor) {
    if (GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC) return;
    const unsigned int mode = GetTangeantMode();
    if (mode != KFCURVE_TANGEANT_USER && mode != KFCURVE_TANGEANT_USER_BREAK) return;
    SetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE, GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE) * factor);
    SetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, GetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE) * factor);
}

void KFCurveEvent::Add(int what, int index) {
    // The first report sets the start; after that a -1 (no particular key)
    // stays, so that a later key index cannot shrink the span it stands for.
    if (mEventCount == 0 || index < mKeyIndexStart) mKeyIndexStart = index;
    if (index > mKeyIndexStop) mKeyIndexStop = index;
    mType |= what;
    if (mEventCount < INT_MAX) ++mEventCount;
}

}  // namespace zeqsdk_400
