#ifndef ZEQ_FCURVE_KFCURVEKEY_H
#define ZEQ_FCURVE_KFCURVEKEY_H

#include <cstring>

#include "base/kdefs.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

// Bit fields of a key's flag word.
enum : unsigned int {
    KFCURVE_INTERPOLATION_CONSTANT = 0x00000002,
    KFCURVE_INTERPOLATION_LINEAR = 0x00000004,
    KFCURVE_INTERPOLATION_CUBIC = 0x00000008,
    KFCURVE_INTERPOLATION_ALL = 0x0000000E,

    // Constant keys: hold the key's own value, or take the next key's value.
    // The bit is shared with the auto tangent mode of cubic keys.
    KFCURVE_CONSTANT_STANDARD = 0x00000000,
    KFCURVE_CONSTANT_NEXT = 0x00000100,
    KFCURVE_CONSTANT_ALL = 0x00000100,

    // Tangent modes of cubic keys; the break bit is part of the mode.
    KFCURVE_TANGEANT_AUTO = 0x00000100,
    KFCURVE_TANGEANT_TCB = 0x00000200,
    KFCURVE_TANGEANT_USER = 0x00000400,
    KFCURVE_TANGEANT_BREAK_BIT = 0x00000800,
    KFCURVE_TANGEANT_AUTO_BREAK = 0x00000900,
    KFCURVE_TANGEANT_USER_BREAK = 0x00000C00,
    KFCURVE_TANGEANT_ALL = 0x00000F00,

    KFCURVE_SELECTED = 0x00010000,
    KFCURVE_FOCUS = 0x00080000,
    KFCURVE_SELECTION_ALL = 0x000F0000,

    // Two bits read and written as one field.
    KFCURVE_TANGEANT_VISIBILITY_ALL = 0x00300000,

    KFCURVE_WEIGHTED_NONE = 0x00000000,
    KFCURVE_WEIGHTED_RIGHT = 0x01000000,
    KFCURVE_WEIGHTED_NEXT_LEFT = 0x02000000,
    KFCURVE_WEIGHTED_ALL = 0x03000000,

    KFCURVE_VELOCITY_NONE = 0x00000000,
    KFCURVE_VELOCITY_RIGHT = 0x10000000,
    KFCURVE_VELOCITY_NEXT_LEFT = 0x20000000,
    KFCURVE_VELOCITY_ALL = 0x30000000,
};

// Extrapolation modes of a curve before its first and after its last key.
enum : int {
    KFCURVE_EXTRAPOLATION_CONSTANT = 1,
    KFCURVE_EXTRAPOLATION_REPETITION = 2,
    KFCURVE_EXTRAPOLATION_MIRROR = 3,
    KFCURVE_EXTRAPOLATION_KEEP_SLOPE = 4,
};

// Codes of a curve's change events; an event carries the OR of them.
enum : int {
    KFCURVEEVENT_NONE = 0,
    KFCURVEEVENT_DEFAULT_VALUE = 1,
    KFCURVEEVENT_KEY = 16,       // keys or extrapolation changed
    KFCURVEEVENT_SELECTION = 256,
    KFCURVEEVENT_DESTROY = 512,
};

// The data slots of a key. A TCB key keeps tension and continuity in slots 0
// and 1 and its bias as one float over slots 2 and 3.
enum EKFCurveDataIndex {
    KFCURVEKEY_RIGHT_DERIVATIVE = 0,
    KFCURVEKEY_NEXT_LEFT_DERIVATIVE = 1,
    KFCURVEKEY_RIGHT_WEIGHT = 2,
    KFCURVEKEY_NEXT_LEFT_WEIGHT = 3,
    KFCURVEKEY_RIGHT_VELOCITY = 4,
    KFCURVEKEY_NEXT_LEFT_VELOCITY = 5,

    KFCURVEKEY_TCB_TENSION = 0,
    KFCURVEKEY_TCB_CONTINUITY = 1,
    KFCURVEKEY_TCB_BIAS = 2,
};

// A weight that has not been set: one third of the segment.
constexpr float KFCURVE_DEFAULT_WEIGHT = 1.0f / 3.0f;
// Range of a stored weight; weights and velocities are kept times this scale.
constexpr float KFCURVE_MIN_WEIGHT = 0.00010001f;
constexpr float KFCURVE_MAX_WEIGHT = 0.99f;
constexpr double KFCURVE_WEIGHT_DIVIDER = 9999.0;

// One key of an animation curve: a 32-byte record copied by value, laid out as
// value, time, flags, two float slots and four 16-bit slots with no padding.
// Curves hand out pointers into their key blocks, so the layout is fixed.
#pragma pack(push, 4)
class KFCurveKey {
public:
    // Fully (re)defines the key. Weights go through the slot encoding, so they
    // are clamped; selection and tangent visibility are cleared.
    void Set(KTime time, float value, unsigned int interpolation, unsigned int tangentMode, float data0,
             float data1, unsigned int tangentWeightMode, float weight0, float weight1, float velocity0,
             float velocity1);
    // Makes the key a cubic TCB key.
    void SetTCB(KTime time, float value, float tension, float continuity, float bias);
    void Set(const KFCurveKey& other) { *this = other; }
    // Clears value, time and flags; the data slots keep their contents.
    void Init();

    float GetValue() const { return mValue; }
    void SetValue(float value) { mValue = value; }
    void IncValue(float delta) { mValue += delta; }
    void MultValue(float factor) { mValue *= factor; }

    KTime GetTime() const { return KTime(mTime); }
    void SetTime(KTime time) { mTime = time.Get(); }
    void IncTime(KTime delta) { mTime = (KTime(mTime) + delta).Get(); }

    unsigned int GetInterpolation() const { return mFlags & KFCURVE_INTERPOLATION_ALL; }
    // Turning a non-cubic key cubic resets its weights and velocities.
    void SetInterpolation(unsigned int interpolation);
    unsigned int GetConstantMode() const { return mFlags & KFCURVE_CONSTANT_ALL; }
    void SetConstantMode(unsigned int mode) { ReplaceBits(KFCURVE_CONSTANT_ALL, mode); }
    unsigned int GetTangeantMode() const { return mFlags & KFCURVE_TANGEANT_ALL; }
    void SetTangeantMode(unsigned int mode) { ReplaceBits(KFCURVE_TANGEANT_ALL, mode); }
    bool GetBreak() const { return (mFlags & KFCURVE_TANGEANT_BREAK_BIT) != 0; }
    void SetBreak(bool isBreak) { ReplaceBits(KFCURVE_TANGEANT_BREAK_BIT, isBreak ? KFCURVE_TANGEANT_BREAK_BIT : 0u); }

    unsigned int GetTangeantWeightMode() const { return mFlags & KFCURVE_WEIGHTED_ALL; }
    // Replaces the weight bits named by mask with those of mode.
    void SetTangeantWeightMode(unsigned int mode, unsigned int mask = KFCURVE_WEIGHTED_ALL) {
        ReplaceBits(mask & KFCURVE_WEIGHTED_ALL, mode);
    }
    unsigned int GetTangeantVelocityMode() const { return mFlags & KFCURVE_VELOCITY_ALL; }
    void SetTangeantVelocityMode(unsigned int mode, unsigned int mask = KFCURVE_VELOCITY_ALL) {
        ReplaceBits(mask & KFCURVE_VELOCITY_ALL, mode);
    }
    unsigned int GetTangeantVisibility() const { return mFlags & KFCURVE_TANGEANT_VISIBILITY_ALL; }
    void SetTangeantVisibility(unsigned int visibility) { ReplaceBits(KFCURVE_TANGEANT_VISIBILITY_ALL, visibility); }

    bool GetSelected() const { return (mFlags & KFCURVE_SELECTED) != 0; }
    // Clears the whole selection field, focus included.
    void SetSelected(bool selected) {
        mFlags &= ~static_cast<unsigned int>(KFCURVE_SELECTION_ALL);
        if (selected) mFlags |= KFCURVE_SELECTED;
    }
    bool GetFocus() const { return (mFlags & KFCURVE_FOCUS) != 0; }
    void SetFocus(bool focus) { ReplaceBits(KFCURVE_FOCUS, focus ? KFCURVE_FOCUS : 0u); }

    // Typed slots: 0 and 1 are floats; 2 to 5 are weights (2, 3) and
    // velocities (4, 5) kept as 16-bit integers times 9999. Weights are
    // clamped to [0.00010001, 0.99]; velocities saturate at the 16-bit range.
    float GetDataDouble(EKFCurveDataIndex index) const;
    void SetDataDouble(EKFCurveDataIndex index, float value);
    // Raw float slots: 0 and 1 are data 0 and 1, 2 covers data 2 and 3,
    // 3 covers data 4 and 5. Other indices read 0 and are not written.
    float GetDataFloat(EKFCurveDataIndex index) const {
        float value = 0.0f;
        if (index >= 0 && index < 4) std::memcpy(&value, mData + 4 * index, sizeof value);
        return value;
    }
    void SetDataFloat(EKFCurveDataIndex index, float value) {
        if (index >= 0 && index < 4) std::memcpy(mData + 4 * index, &value, sizeof value);
    }
    void* GetDataPtr() { return mData; }
    const void* GetDataPtr() const { return mData; }

    // Scales both derivatives of a cubic user (or user-break) key; other keys
    // keep their tangents, which are computed or parametric.
    void MultTangeant(float factor);

private:
    friend struct KFCurveKeyLayout;

    static short EncodeWeight(float weight);
    static short EncodeVelocity(float velocity);

    void ReplaceBits(unsigned int mask, unsigned int bits) { mFlags = (mFlags & ~mask) | (bits & mask); }
    short GetShort(int slot) const;
    void SetShort(int slot, short value);

    float mValue;
    kLongLong mTime;  // at byte 4: a KTime's ticks
    unsigned int mFlags;
    // Two floats then four 16-bit integers, read and written byte-wise.
    unsigned char mData[16];
};
#pragma pack(pop)

static_assert(sizeof(KFCurveKey) == 32, "a curve key is a 32-byte record");

// One side of a key's tangent, as a value.
struct KFCurveTangeantInfo {
    float mDerivative = 0.0f;
    float mWeight = KFCURVE_DEFAULT_WEIGHT;
    bool mWeighted = false;
    float mVelocity = 0.0f;
    bool mHasVelocity = false;
    float mAuto = 0.0f;
};

// The change record a curve accumulates and hands to its callbacks.
class KFCurveEvent {
public:
    KFCurveEvent() { Clear(); }
    void Clear() {
        mType = KFCURVEEVENT_NONE;
        mKeyIndexStart = -1;
        mKeyIndexStop = -1;
        mEventCount = 0;
    }
    // Merges one report: the union of codes and the span of key indices; a -1
    // (no particular key), once reported, stays the start of the span.
    void Add(int what, int index);

    int mType;
    int mKeyIndexStart;
    int mKeyIndexStop;
    int mEventCount;
};

}  // namespace zeqsdk_400

#endif
