// Key tangents of a curve: derivatives, auto parameters, TCB tangents,
// weights, velocities, Bezier handles and the key removal that keeps the
// following key's incoming tangent.
//
// The left tangent of key i is held on key i - 1 (its "next-left" slots), so
// most left-side operations read and write the previous key.
#include <cmath>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurveautotangent.h"
#include "fcurve/kfcurvesettings.h"

namespace zeqsdk_400 {

namespace {

bool IsCubic(const KFCurveKey* key) { return key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC; }

bool IsConstant(const KFCurveKey* key) { return key->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT; }

bool IsUserMode(unsigned int mode) { return mode == KFCURVE_TANGEANT_USER || mode == KFCURVE_TANGEANT_USER_BREAK; }

bool IsAutoMode(unsigned int mode) { return mode == KFCURVE_TANGEANT_AUTO || mode == KFCURVE_TANGEANT_AUTO_BREAK; }

bool IsCubicUser(const KFCurveKey* key) { return IsCubic(key) && IsUserMode(key->GetTangeantMode()); }

bool IsCubicAuto(const KFCurveKey* key) { return IsCubic(key) && IsAutoMode(key->GetTangeantMode()); }

bool IsCubicTcb(const KFCurveKey* key) {
    return IsCubic(key) && key->GetTangeantMode() == KFCURVE_TANGEANT_TCB;
}

bool HasModeBits(const KFCurveKey* key, unsigned int bits) { return (key->GetTangeantMode() & bits) != 0; }

float RightSlot(const KFCurveKey* key) { return key->GetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE); }
float NextLeftSlot(const KFCurveKey* key) { return key->GetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE); }
void SetRightSlot(KFCurveKey* key, double value) {
    key->SetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE, static_cast<float>(value));
}
void SetNextLeftSlot(KFCurveKey* key, double value) {
    key->SetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, static_cast<float>(value));
}

struct Tcb {
    double tension;
    double continuity;
    double bias;
};

Tcb TcbOf(const KFCurveKey* key) {
    return {key->GetDataFloat(KFCURVEKEY_TCB_TENSION), key->GetDataFloat(KFCURVEKEY_TCB_CONTINUITY),
            key->GetDataFloat(KFCURVEKEY_TCB_BIAS)};
}

// Weights and velocities. Key i's incoming ones are held on key i - 1; its
// outgoing ones on key i, read only from a cubic auto or user key with a
// following key. A TCB key keeps its bias over the two weight slots, so
// weights are never stored on one. Weight and velocity bits do not overlap.
const KFCurveKey* IncomingHolder(const KFCurve& curve, int i) {
    return i >= 1 && i <= curve.KeyGetCount() ? curve.KeyGetPtr(i - 1) : nullptr;
}

const KFCurveKey* OutgoingHolder(const KFCurve& curve, int i) {
    if (i < 0 || i >= curve.KeyGetCount() - 1) return nullptr;
    const KFCurveKey* key = curve.KeyGetPtr(i);
    return IsCubic(key) && HasModeBits(key, 0xD00) ? key : nullptr;
}

bool HolderHas(const KFCurveKey* holder, unsigned int bit) {
    return holder && ((holder->GetTangeantWeightMode() | holder->GetTangeantVelocityMode()) & bit) != 0;
}

float HolderSlot(const KFCurveKey* holder, unsigned int bit, EKFCurveDataIndex slot, float otherwise) {
    return HolderHas(holder, bit) ? holder->GetDataDouble(slot) : otherwise;
}

bool IsWeightBit(unsigned int bit) { return (bit & KFCURVE_WEIGHTED_ALL) != 0; }

// Turns a weight or velocity bit on or off; false where the holder takes none.
bool FlagHolder(KFCurveKey* holder, unsigned int bit, bool on) {
    const bool weight = IsWeightBit(bit);
    if (!IsCubic(holder) || (on && weight && IsCubicTcb(holder))) return false;
    if (weight)
        holder->SetTangeantWeightMode(on ? bit : 0u, bit);
    else
        holder->SetTangeantVelocityMode(on ? bit : 0u, bit);
    return true;
}

void StoreOnHolder(KFCurveKey* holder, unsigned int bit, EKFCurveDataIndex slot, float value) {
    if (FlagHolder(holder, bit, true)) holder->SetDataDouble(slot, value);
}

}  // namespace

double KFCurve::Slope(int j, int k) const {
    const double dt = (KeyTime(k) - KeyTime(j)).GetSecondDouble();
    if (dt == 0.0) return 0.0;
    return (static_cast<double>(KeyGetPtr(k)->GetValue()) - KeyGetPtr(j)->GetValue()) / dt;
}

// ---- Derivatives -------------------------------------------------------

float KFCurve::KeyGetRightDerivative(int i) {
    const int n = mKeyCount;
    if (i < 0 || i >= n) return 0.0f;
    if (i == n - 1) return n >= 2 ? KeyGetLeftDerivative(i) : 0.0f;
    const KFCurveKey* key = KeyGetPtr(i);
    switch (key->GetInterpolation()) {
        case KFCURVE_INTERPOLATION_LINEAR:
            return static_cast<float>(Slope(i, i + 1));
        case KFCURVE_INTERPOLATION_CUBIC:
            break;
        default:
            return 0.0f;
    }
    const unsigned int mode = key->GetTangeantMode();
    if (IsUserMode(mode)) return RightSlot(key);
    if (IsAutoMode(mode)) {
        double autoValue = RightSlot(key);
        double derivative;
        KFCURVE_ComputeRightBezierFromAutoForKey(derivative, autoValue, this, i);
        return static_cast<float>(derivative);
    }
    if (mode == KFCURVE_TANGEANT_TCB) {
        const Tcb p = TcbOf(key);
        if (i > 0)
            return static_cast<float>((1.0 - p.tension) * 0.5 *
                                      ((1.0 + p.continuity) * (1.0 + p.bias) * Slope(i - 1, i) +
                                       (1.0 - p.continuity) * (1.0 - p.bias) * Slope(i, i + 1)));
        return static_cast<float>((1.0 - p.tension) * (1.0 - p.continuity) * (1.0 - p.bias) * Slope(0, 1));
    }
    return 0.0f;
}

// The TCB tangent arriving at key i with the given parameters.
static double TcbIncoming(KFCurve* curve, int i, const Tcb& p, double slopeBefore, double slopeAfter) {
    if (i < curve->KeyGetCount() - 1)
        return (1.0 - p.tension) * 0.5 *
               ((1.0 + p.continuity) * (1.0 - p.bias) * slopeAfter + (1.0 - p.continuity) * (1.0 + p.bias) * slopeBefore);
    return (1.0 - p.tension) * (1.0 - p.continuity) * (1.0 + p.bias) * slopeBefore;
}

float KFCurve::KeyGetLeftDerivative(int i) {
    const int n = mKeyCount;
    if (i < 0 || i >= n) return 0.0f;
    if (i == 0) return n >= 2 ? KeyGetRightDerivative(0) : 0.0f;
    const KFCurveKey* previous = KeyGetPtr(i - 1);
    const KFCurveKey* key = KeyGetPtr(i);
    if (previous->GetInterpolation() == KFCURVE_INTERPOLATION_LINEAR) return static_cast<float>(Slope(i - 1, i));
    if (!IsCubic(previous)) return 0.0f;

    const double slopeBefore = Slope(i - 1, i);
    const double slopeAfter = i < n - 1 ? Slope(i, i + 1) : 0.0;
    auto fromAuto = [&]() {
        double autoValue = NextLeftSlot(previous);
        double derivative;
        KFCURVE_ComputeLeftBezierFromAutoForKey(derivative, autoValue, this, i);
        return static_cast<float>(derivative);
    };

    if (IsCubic(key)) {
        const unsigned int mode = key->GetTangeantMode();
        switch (mode) {
            case KFCURVE_TANGEANT_USER:
                if (IsCubicTcb(previous)) return i < n - 1 ? RightSlot(key) : 0.0f;
                return NextLeftSlot(previous);
            case KFCURVE_TANGEANT_USER_BREAK:
                if (IsCubicTcb(previous))
                    return static_cast<float>(TcbIncoming(this, i, TcbOf(previous), slopeBefore, slopeAfter));
                return NextLeftSlot(previous);
            case KFCURVE_TANGEANT_AUTO:
            case KFCURVE_TANGEANT_AUTO_BREAK:
                return fromAuto();
            case KFCURVE_TANGEANT_TCB:
                // The last key has no right tangent of its own (it is its left
                // one), so the shared-tangent mode falls back to the formula there.
                if (gsTCB4051EvalMode && i < n - 1) return KeyGetRightDerivative(i);
                return static_cast<float>(TcbIncoming(this, i, TcbOf(key), slopeBefore, slopeAfter));
            default:
                return 0.0f;
        }
    }
    const unsigned int previousMode = previous->GetTangeantMode();
    if (IsUserMode(previousMode)) return NextLeftSlot(previous);
    if (IsAutoMode(previousMode)) return fromAuto();
    if (previousMode == KFCURVE_TANGEANT_TCB) {
        if (key->GetInterpolation() == KFCURVE_INTERPOLATION_LINEAR && i < n - 1) return KeyGetRightDerivative(i);
        return 0.0f;
    }
    return 0.0f;
}

void KFCurve::KeySetRightDerivative(int i, float derivative) {
    if (i < 0 || i >= mKeyCount - 1) return;
    ResetCandidate();
    KFCurveKey* key = KeyGetPtr(i);
    if (IsCubicUser(key)) {
        SetRightSlot(key, derivative);
    } else if (IsCubicAuto(key)) {
        double d = derivative;
        double autoValue;
        KFCURVE_ComputeRightAutoFromBezierForKey(autoValue, d, this, i);
        SetRightSlot(key, autoValue);
    }
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetLeftDerivative(int i, float derivative) {
    const int n = mKeyCount;
    if (i <= 0 || i > n) return;
    ResetCandidate();
    KFCurveKey* previous = KeyGetPtr(i - 1);
    KFCurveKey* key = i < n ? KeyGetPtr(i) : nullptr;
    auto converted = [&]() {
        double d = derivative;
        double autoValue;
        KFCURVE_ComputeLeftAutoFromBezierForKey(autoValue, d, this, i);
        return autoValue;
    };
    const bool keyCubicUserBit = key && IsCubic(key) && HasModeBits(key, KFCURVE_TANGEANT_USER);
    const unsigned int interpolation = previous->GetInterpolation();
    if (interpolation == KFCURVE_INTERPOLATION_CONSTANT || interpolation == KFCURVE_INTERPOLATION_LINEAR) {
        SetNextLeftSlot(previous, derivative);
    } else if (IsCubicAuto(previous)) {
        SetNextLeftSlot(previous, (!key || keyCubicUserBit) ? derivative : converted());
    } else if (IsCubicUser(previous)) {
        SetNextLeftSlot(previous, (!key || !IsCubic(key) || keyCubicUserBit) ? derivative : converted());
    }
    if (key && IsCubic(key) && key->GetTangeantMode() == KFCURVE_TANGEANT_USER) KeySetRightDerivative(i, derivative);
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeyIncRightDerivative(int i, float delta) {
    if (i < 0 || i >= mKeyCount - 1) return;
    KFCurveKey* key = KeyGetPtr(i);
    if (IsCubicUser(key)) SetRightSlot(key, RightSlot(key) + delta);
    ResetCandidate();
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeyIncLeftDerivative(int i, float delta) {
    if (i <= 0 || i > mKeyCount) return;
    KFCurveKey* previous = KeyGetPtr(i - 1);
    if (IsCubicUser(previous)) SetNextLeftSlot(previous, NextLeftSlot(previous) + delta);
    ResetCandidate();
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeyMultDerivative(int i, float factor) {
    if (i < 0 || i >= mKeyCount) return;
    if (!HasModeBits(KeyGetPtr(i), KFCURVE_TANGEANT_USER | KFCURVE_TANGEANT_BREAK_BIT)) return;
    KeySetRightDerivative(i, KeyGetRightDerivative(i) * factor);
    KeySetLeftDerivative(i, KeyGetLeftDerivative(i) * factor);
}

// ---- Auto parameters ---------------------------------------------------

float KFCurve::KeyGetRightAuto(int i) {
    const int n = mKeyCount;
    if (i < 0 || i >= n) return 0.0f;
    const KFCurveKey* key = KeyGetPtr(i);
    if (IsCubicAuto(key)) return RightSlot(key);
    if (i == n - 1) return 0.0f;
    double derivative = KeyGetRightDerivative(i);
    double autoValue;
    KFCURVE_ComputeRightAutoFromBezierForKey(autoValue, derivative, this, i);
    return static_cast<float>(autoValue);
}

float KFCurve::KeyGetLeftAuto(int i) {
    const int n = mKeyCount;
    if (i < 0 || i >= n) return 0.0f;
    if (i == 0) {
        const KFCurveKey* first = KeyGetPtr(0);
        return IsCubicAuto(first) ? RightSlot(first) : 0.0f;
    }
    const KFCurveKey* previous = KeyGetPtr(i - 1);
    switch (previous->GetInterpolation()) {
        case KFCURVE_INTERPOLATION_CONSTANT:
            return 0.0f;
        case KFCURVE_INTERPOLATION_LINEAR:
            return 100.0f;  // the auto parameter of the one-sided left slope
        default:
            break;
    }
    if (IsCubicAuto(KeyGetPtr(i))) return NextLeftSlot(previous);
    double derivative = KeyGetLeftDerivative(i);
    double autoValue;
    KFCURVE_ComputeLeftAutoFromBezierForKey(autoValue, derivative, this, i);
    return static_cast<float>(autoValue);
}

void KFCurve::KeySetRightAuto(int i, float autoValue) {
    const int n = mKeyCount;
    if (i < 0 || i >= n) return;
    ResetCandidate();
    KFCurveKey* key = KeyGetPtr(i);
    if (IsCubicAuto(key)) {
        SetRightSlot(key, autoValue);
    } else if (IsCubicUser(key) && i < n - 1) {
        double a = autoValue;
        double derivative;
        KFCURVE_ComputeRightBezierFromAutoForKey(derivative, a, this, i);
        SetRightSlot(key, derivative);
    }
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetLeftAuto(int i, float autoValue) {
    const int n = mKeyCount;
    // i = n reaches the trailing slot of the last key.
    if (i < 1 || i > n) return;
    ResetCandidate();
    KFCurveKey* previous = KeyGetPtr(i - 1);
    KFCurveKey* key = i < n ? KeyGetPtr(i) : nullptr;
    const unsigned int interpolation = previous->GetInterpolation();
    if (interpolation == KFCURVE_INTERPOLATION_CONSTANT || interpolation == KFCURVE_INTERPOLATION_LINEAR) {
        SetNextLeftSlot(previous, autoValue);
    } else if (IsCubicAuto(previous) || IsCubicUser(previous)) {
        const bool keepsAuto = !key || (IsCubic(key) && HasModeBits(key, KFCURVE_TANGEANT_AUTO)) ||
                               (IsCubicAuto(previous) && !IsCubic(key));
        if (keepsAuto) {
            SetNextLeftSlot(previous, autoValue);
        } else {
            double a = autoValue;
            double derivative;
            KFCURVE_ComputeLeftBezierFromAutoForKey(derivative, a, this, i);
            SetNextLeftSlot(previous, derivative);
        }
    }
    if (key && IsCubic(key) && key->GetTangeantMode() == KFCURVE_TANGEANT_USER) KeySetRightAuto(i, autoValue);
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

// ---- Tangent bundles ---------------------------------------------------

KFCurveTangeantInfo KFCurve::KeyGetLeftDerivativeInfo(int i) {
    KFCurveTangeantInfo info;
    info.mDerivative = KeyGetLeftDerivative(i);
    info.mWeight = KeyGetLeftTangeantWeight(i);
    info.mWeighted = KeyIsLeftTangeantWeighted(i);
    info.mVelocity = KeyGetLeftTangeantVelocity(i);
    info.mHasVelocity = KeyIsLeftTangeantVelocity(i);
    info.mAuto = KeyGetLeftAuto(i);
    return info;
}

KFCurveTangeantInfo KFCurve::KeyGetRightDerivativeInfo(int i) {
    KFCurveTangeantInfo info;
    info.mDerivative = KeyGetRightDerivative(i);
    info.mWeight = KeyGetRightTangeantWeight(i);
    info.mWeighted = KeyIsRightTangeantWeighted(i);
    info.mVelocity = KeyGetRightTangeantVelocity(i);
    info.mHasVelocity = KeyIsRightTangeantVelocity(i);
    info.mAuto = KeyGetRightAuto(i);
    return info;
}

void KFCurve::KeySetLeftDerivativeInfo(int i, const KFCurveTangeantInfo& info) {
    if (i < 1 || i >= mKeyCount) return;
    KeySetLeftTangeantWeight(i, info.mWeight);
    KeySetLeftTangeantWeightedMode(i, info.mWeighted);
    KeySetLeftTangeantVelocity(i, info.mVelocity);
    KeySetLeftTangeantVelocityMode(i, info.mHasVelocity);
    const KFCurveKey* previous = KeyGetPtr(i - 1);
    const KFCurveKey* key = KeyGetPtr(i);
    const bool holdsAuto = IsCubic(key) ? HasModeBits(key, KFCURVE_TANGEANT_AUTO)
                                        : IsCubic(previous) && HasModeBits(previous, KFCURVE_TANGEANT_AUTO);
    if (holdsAuto)
        KeySetLeftAuto(i, info.mAuto);
    else
        KeySetLeftDerivative(i, info.mDerivative);
}

void KFCurve::KeySetRightDerivativeInfo(int i, const KFCurveTangeantInfo& info) {
    const int n = mKeyCount;
    if (i < 0 || i >= n) return;
    KFCurveKey* key = KeyGetPtr(i);
    const bool holdsAuto = IsCubic(key) && HasModeBits(key, KFCURVE_TANGEANT_AUTO);
    if (i == n - 1) {
        if (holdsAuto) SetRightSlot(key, info.mAuto);
        return;
    }
    KeySetRightTangeantWeight(i, info.mWeight);
    KeySetRightTangeantWeightedMode(i, info.mWeighted);
    KeySetRightTangeantVelocity(i, info.mVelocity);
    KeySetRightTangeantVelocityMode(i, info.mHasVelocity);
    if (holdsAuto)
        KeySetRightAuto(i, info.mAuto);
    else
        KeySetRightDerivative(i, info.mDerivative);
}

// ---- Weights and velocities --------------------------------------------

bool KFCurve::KeyIsLeftTangeantWeighted(int i) const {
    return HolderHas(IncomingHolder(*this, i), KFCURVE_WEIGHTED_NEXT_LEFT);
}

bool KFCurve::KeyIsRightTangeantWeighted(int i) const {
    return HolderHas(OutgoingHolder(*this, i), KFCURVE_WEIGHTED_RIGHT);
}

float KFCurve::KeyGetLeftTangeantWeight(int i) const {
    return HolderSlot(IncomingHolder(*this, i), KFCURVE_WEIGHTED_NEXT_LEFT, KFCURVEKEY_NEXT_LEFT_WEIGHT,
                      KFCURVE_DEFAULT_WEIGHT);
}

float KFCurve::KeyGetRightTangeantWeight(int i) const {
    return HolderSlot(OutgoingHolder(*this, i), KFCURVE_WEIGHTED_RIGHT, KFCURVEKEY_RIGHT_WEIGHT,
                      KFCURVE_DEFAULT_WEIGHT);
}

void KFCurve::KeySetLeftTangeantWeight(int i, float weight) {
    if (i < 1 || i > mKeyCount) return;
    StoreOnHolder(KeyGetPtr(i - 1), KFCURVE_WEIGHTED_NEXT_LEFT, KFCURVEKEY_NEXT_LEFT_WEIGHT, weight);
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetRightTangeantWeight(int i, float weight) {
    if (i < 0 || i >= mKeyCount - 1) return;
    StoreOnHolder(KeyGetPtr(i), KFCURVE_WEIGHTED_RIGHT, KFCURVEKEY_RIGHT_WEIGHT, weight);
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetLeftTangeantWeightedMode(int i, bool weighted) {
    if (i < 1 || i > mKeyCount) return;
    if (FlagHolder(KeyGetPtr(i - 1), KFCURVE_WEIGHTED_NEXT_LEFT, weighted)) CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetRightTangeantWeightedMode(int i, bool weighted) {
    if (i < 0 || i >= mKeyCount - 1) return;
    if (FlagHolder(KeyGetPtr(i), KFCURVE_WEIGHTED_RIGHT, weighted)) CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

bool KFCurve::KeyIsLeftTangeantVelocity(int i) const {
    return HolderHas(IncomingHolder(*this, i), KFCURVE_VELOCITY_NEXT_LEFT);
}

bool KFCurve::KeyIsRightTangeantVelocity(int i) const {
    return HolderHas(OutgoingHolder(*this, i), KFCURVE_VELOCITY_RIGHT);
}

float KFCurve::KeyGetLeftTangeantVelocity(int i) const {
    return HolderSlot(IncomingHolder(*this, i), KFCURVE_VELOCITY_NEXT_LEFT, KFCURVEKEY_NEXT_LEFT_VELOCITY, 0.0f);
}

float KFCurve::KeyGetRightTangeantVelocity(int i) const {
    return HolderSlot(OutgoingHolder(*this, i), KFCURVE_VELOCITY_RIGHT, KFCURVEKEY_RIGHT_VELOCITY, 0.0f);
}

void KFCurve::KeySetLeftTangeantVelocity(int i, float velocity) {
    if (i < 1 || i > mKeyCount) return;
    StoreOnHolder(KeyGetPtr(i - 1), KFCURVE_VELOCITY_NEXT_LEFT, KFCURVEKEY_NEXT_LEFT_VELOCITY, velocity);
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetRightTangeantVelocity(int i, float velocity) {
    if (i < 0 || i >= mKeyCount - 1) return;
    StoreOnHolder(KeyGetPtr(i), KFCURVE_VELOCITY_RIGHT, KFCURVEKEY_RIGHT_VELOCITY, velocity);
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetLeftTangeantVelocityMode(int i, bool hasVelocity) {
    if (i < 1 || i > mKeyCount) return;
    if (FlagHolder(KeyGetPtr(i - 1), KFCURVE_VELOCITY_NEXT_LEFT, hasVelocity)) CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

void KFCurve::KeySetRightTangeantVelocityMode(int i, bool hasVelocity) {
    if (i < 0 || i >= mKeyCount - 1) return;
    if (FlagHolder(KeyGetPtr(i), KFCURVE_VELOCITY_RIGHT, hasVelocity)) CallbackAddEvent(KFCURVEEVENT_KEY, i);
}

// ---- Bezier handles ----------------------------------------------------

float KFCurve::KeyGetRightBezierTangeant(int i) {
    const int n = mKeyCount;
    if (n == 0 || i < 0) return 0.0f;
    if (n == 1 || i >= n - 1) return KeyGetPtr(n - 1)->GetValue();
    const KFCurveKey* key = KeyGetPtr(i);
    const unsigned int interpolation = key->GetInterpolation();
    if (interpolation != KFCURVE_INTERPOLATION_LINEAR && interpolation != KFCURVE_INTERPOLATION_CUBIC)
        return key->GetValue();
    const double dt = (KeyTime(i + 1) - KeyTime(i)).GetSecondDouble();
    return static_cast<float>(key->GetValue() + KeyGetRightDerivative(i) * dt / 3.0);
}

float KFCurve::KeyGetLeftBezierTangeant(int i) {
    const int n = mKeyCount;
    if (n == 0 || i < 0 || i >= n) return 0.0f;
    if (n == 1 || i == 0) return KeyGetPtr(0)->GetValue();
    const KFCurveKey* key = KeyGetPtr(i);
    const unsigned int interpolation = KeyGetPtr(i - 1)->GetInterpolation();
    if (interpolation != KFCURVE_INTERPOLATION_LINEAR && interpolation != KFCURVE_INTERPOLATION_CUBIC)
        return key->GetValue();
    const double dt = (KeyTime(i) - KeyTime(i - 1)).GetSecondDouble();
    return static_cast<float>(key->GetValue() - KeyGetLeftDerivative(i) * dt / 3.0);
}

void KFCurve::KeySetRightBezierTangeant(int i, float value) {
    if (i < 0 || i >= mKeyCount - 1) return;
    const double dt = (KeyTime(i + 1) - KeyTime(i)).GetSecondDouble();
    if (dt == 0.0) return;
    KeySetRightDerivative(i, static_cast<float>(3.0 * (value - KeyGetPtr(i)->GetValue()) / dt));
}

void KFCurve::KeySetLeftBezierTangeant(int i, float value) {
    if (i <= 0 || i >= mKeyCount) return;
    const double dt = (KeyTime(i) - KeyTime(i - 1)).GetSecondDouble();
    if (dt == 0.0) return;
    KeySetLeftDerivative(i, static_cast<float>(3.0 * (KeyGetPtr(i)->GetValue() - value) / dt));
}

// ---- Curve-wide tangent changes ----------------------------------------

// Every derivative around the keys that change is read before any of them
// changes: key k's kind decides how the slot on key k - 1 that holds its
// incoming tangent reads, so a key changed first would misread its neighbour's.
void KFCurve::ChangeKeyKinds(bool selectedOnly, bool interpolation, unsigned int value) {
    ResetCandidate();
    const int n = mKeyCount;
    struct Saved {
        int index;
        bool changes;
        float left;
        float right;
    };
    std::vector<Saved> saved;
    for (int k = 0; k < n; ++k) {
        const KFCurveKey* key = KeyGetPtr(k);
        bool changes = !selectedOnly || key->GetSelected();
        if (interpolation)
            changes = changes && key->GetInterpolation() != value;
        else  // on a constant key the auto bit is the hold-next bit: its mode is left alone
            changes = changes && !IsConstant(key) && key->GetTangeantMode() != value;
        const bool afterChange = !saved.empty() && saved.back().index == k - 1 && saved.back().changes;
        if (!changes && !afterChange) continue;
        saved.push_back({k, changes, k > 0 ? KeyGetLeftDerivative(k) : 0.0f, k + 1 < n ? KeyGetRightDerivative(k) : 0.0f});
    }
    for (const Saved& s : saved) {
        if (!s.changes) continue;
        KFCurveKey* key = KeyGetPtr(s.index);
        key->SetDataDouble(KFCURVEKEY_RIGHT_DERIVATIVE, 0.0f);
        key->SetDataDouble(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, 0.0f);
        if (interpolation)
            key->SetInterpolation(value);
        else
            key->SetTangeantMode(value);
        key->SetTangeantVisibility(0);
        if (s.index + 1 < n) KeyGetPtr(s.index + 1)->SetTangeantVisibility(0);
    }
    // A changed key that becomes an unbroken user key takes its incoming
    // tangent on both sides (setting the left side sets both); a key that
    // keeps its kind gets its own right tangent back afterwards.
    for (const Saved& s : saved) {
        if (s.changes) KeySetRightDerivative(s.index, s.right);
        if (s.index > 0) KeySetLeftDerivative(s.index, s.left);
        if (!s.changes) KeySetRightDerivative(s.index, s.right);
        CallbackAddEvent(KFCURVEEVENT_KEY, s.index);
    }
}

void KFCurve::KeyTangeantSetInterpolation(bool selectedOnly, unsigned int interpolation) {
    ChangeKeyKinds(selectedOnly, true, interpolation);
}

void KFCurve::KeyTangeantSetMode(bool selectedOnly, unsigned int tangentMode) {
    ChangeKeyKinds(selectedOnly, false, tangentMode);
}

void KFCurve::KeyTangeantHide() {
    for (int i = 0; i < mKeyCount; ++i) {
        KFCurveKey* key = KeyGetPtr(i);
        if (key->GetTangeantVisibility() != 0) key->SetTangeantVisibility(0);
    }
    CallbackAddEvent(KFCURVEEVENT_SELECTION, -1);
}

}  // namespace zeqsdk_400
