#ifndef ZEQ_FCURVE_KFCURVE_H
#define ZEQ_FCURVE_KFCURVE_H

#include <utility>
#include <vector>

#include "base/kdefs.h"
#include "base/ktime.h"
#include "fcurve/kfcurvekey.h"

namespace zeqsdk_400 {

class KFCurve;

// A change callback: the curve, the merged change record and the data given at registration.
typedef void (*kFCurveCallback)(KFCurve* curve, KFCurveEvent* event, void* data);

// An animation function curve: keys in strictly increasing time order, kept in
// fixed blocks of 32 so that key pointers stay valid while the block table
// grows, with a default value, colour, extrapolation and change callbacks.
//
// Changes are reported as events; between KeyModifyBegin and KeyModifyEnd the
// callbacks are held and hear the whole batch once. A curve is used by one
// thread at a time (its key search keeps a hint inside the curve).
class KFCurve {
public:
    KFCurve();
    KFCurve(const KFCurve&) = delete;
    KFCurve& operator=(const KFCurve&) = delete;
    // Frees the keys and reports the destruction to every callback.
    virtual ~KFCurve();
    void Destroy(int local = 0);

    // The default value: the curve's value where it has no keys.
    float GetValue() const { return mValue; }
    void SetValue(float value);
    float* GetColor() { return mColor; }
    // Copies red, green and blue; a null pointer is ignored.
    void SetColor(const float* rgb);

    int GetPreExtrapolation() const { return mPreExtrapolation; }
    void SetPreExtrapolation(int mode);
    // Number of cycles; 0 none, 0xFFFFFFFF unbounded.
    unsigned int GetPreExtrapolationCount() const { return mPreExtrapolationCount; }
    void SetPreExtrapolationCount(unsigned int count);
    int GetPostExtrapolation() const { return mPostExtrapolation; }
    void SetPostExtrapolation(int mode);
    unsigned int GetPostExtrapolationCount() const { return mPostExtrapolationCount; }
    void SetPostExtrapolationCount(unsigned int count);

    bool GetSelected() const { return mSelected; }
    void SetWasData(int wasData) { mWasData = wasData; }
    int GetWasData() const { return mWasData; }

    // Changes with every modification; a selection change adds 0x10000.
    int GetUpdateId() const { return static_cast<int>(mUpdateId); }
    // Changes with every modification except selection changes.
    int GetValuesUpdateId() const { return static_cast<int>(mUpdateId & 0xFFFFu); }

    // ---- Keys ----------------------------------------------------------
    int KeyGetCount() const { return mKeyCount; }
    // Address of key i inside its block; the caller keeps 0 <= i < the
    // reserved count (see KeyModifyBegin(int)).
    KFCurveKey* KeyGetPtr(int index) { return mBlocks[index >> kBlockShift] + (index & kBlockMask); }
    const KFCurveKey* KeyGetPtr(int index) const { return mBlocks[index >> kBlockShift] + (index & kBlockMask); }
    KFCurveKey* KeyGetRaw(int index) { return KeyGetPtr(index); }
    KFCurveKey KeyGet(int index) const { return *KeyGetPtr(index); }

    // Stores key over key i; refused (1) when its time would break the order
    // with a neighbour or i is outside the curve, 0 when stored.
    int KeySet(int index, const KFCurveKey& key);
    // Inserts key at time (its time is set to time), or replaces the key
    // already at that time. Answers the key's index, -1 when memory runs out.
    int KeyAdd(KTime time, KFCurveKey& key, int* last = nullptr);
    // Appends a cubic auto key without search or event: the caller appends in
    // increasing time. Answers the new index, -1 when memory runs out.
    int KeyAppendFast(KTime time, float value);
    // Fractional index of a time: an integer at a key, between two keys a
    // fraction, -0.5 before the first key, count - 0.5 after the last, -1
    // without keys. last is the search hint, read and written; without it the
    // curve's own hint serves.
    double KeyFind(KTime time, int* last = nullptr);
    // Removes key i; the key that followed keeps its incoming tangent.
    // 1 when i is outside the curve, 0 when removed.
    int KeyRemove(int index);
    void KeyClear();
    // Gives back blocks and table space beyond the key count.
    void KeyShrink();

    // Batch edits: callbacks are held until the matching end.
    void KeyModifyBegin();
    // Also makes room for count keys, to be written through KeyGetPtr.
    void KeyModifyBegin(int count);
    void KeyModifyEnd();
    // Makes the first count reserved keys the curve's keys, then ends the batch.
    // A count beyond the reserved keys is cut to them.
    void KeyModifyEnd(int count);
    // Makes room for count keys; false when refused (count too large or memory).
    bool InitBuffers(int count);

    void KeySelectAll();
    void KeyUnselectAll();
    int KeyGetSelectionCount() const;

    // Batch value edits over every key or only the selected ones; each is
    // reported once. 0 is answered.
    int KeyMoveValueTo(bool selectedOnly, float value);
    int KeyScaleValue(bool selectedOnly, float factor);
    int KeyScaleValueAndTangeant(bool selectedOnly, float factor);
    int KeyScaleTangeant(bool selectedOnly, float factor);

    // Keys numbered across the extrapolation cycles: the pre-extrapolation
    // cycles, the keys, then the post-extrapolation cycles.
    int KeyGetCountAll() const;
    // The real key a number stands for, with its region in where: 0 before
    // everything, 1 pre-extrapolation, 2 keys, 3 post-extrapolation, 4 after
    // everything. Always a valid index; -1 only for a curve without keys.
    int MapIndexAll(int index, int& where) const;
    // Null for a curve without keys.
    KFCurveKey* KeyGetRawAll(int index);
    // The time at which a numbered key stands; the largest time without keys.
    KTime KeyGetTimeAll(int index) const;

    // Mean interval between successive keys. regular tells whether the last
    // interval lies within 0.0001 s of the mean (interval then receives it);
    // largest receives the largest interval.
    KTime KeyGetAverageRate(bool* regular = nullptr, KTime* interval = nullptr, KTime* largest = nullptr) const;
    // Classifies the key layout: 2 evenly spaced keys of one kind, 1 uneven or
    // fewer than two keys, 0 keys that were edited by hand.
    int GuessWasData(KTime* start = nullptr, KTime* period = nullptr) const;

    // ---- Tangents (cubic keys) ------------------------------------------
    // Derivatives in value units per second. The left tangent of key i is held
    // on key i - 1; indices outside the curve answer 0 and change nothing.
    float KeyGetLeftDerivative(int index);
    float KeyGetRightDerivative(int index);
    void KeySetLeftDerivative(int index, float derivative);
    void KeySetRightDerivative(int index, float derivative);
    float KeyGetLeftAuto(int index);
    float KeyGetRightAuto(int index);
    void KeySetLeftAuto(int index, float autoValue);
    void KeySetRightAuto(int index, float autoValue);
    void KeyIncLeftDerivative(int index, float delta);
    void KeyIncRightDerivative(int index, float delta);
    void KeyMultDerivative(int index, float factor);

    KFCurveTangeantInfo KeyGetLeftDerivativeInfo(int index);
    KFCurveTangeantInfo KeyGetRightDerivativeInfo(int index);
    void KeySetLeftDerivativeInfo(int index, const KFCurveTangeantInfo& info);
    void KeySetRightDerivativeInfo(int index, const KFCurveTangeantInfo& info);

    bool KeyIsLeftTangeantWeighted(int index) const;
    bool KeyIsRightTangeantWeighted(int index) const;
    float KeyGetLeftTangeantWeight(int index) const;
    float KeyGetRightTangeantWeight(int index) const;
    void KeySetLeftTangeantWeight(int index, float weight);
    void KeySetRightTangeantWeight(int index, float weight);
    void KeySetLeftTangeantWeightedMode(int index, bool weighted);
    void KeySetRightTangeantWeightedMode(int index, bool weighted);

    bool KeyIsLeftTangeantVelocity(int index) const;
    bool KeyIsRightTangeantVelocity(int index) const;
    float KeyGetLeftTangeantVelocity(int index) const;
    float KeyGetRightTangeantVelocity(int index) const;
    void KeySetLeftTangeantVelocity(int index, float velocity);
    void KeySetRightTangeantVelocity(int index, float velocity);
    void KeySetLeftTangeantVelocityMode(int index, bool hasVelocity);
    void KeySetRightTangeantVelocityMode(int index, bool hasVelocity);

    // Values of the Bezier control points one third of a segment away.
    float KeyGetLeftBezierTangeant(int index);
    float KeyGetRightBezierTangeant(int index);
    void KeySetLeftBezierTangeant(int index, float value);
    void KeySetRightBezierTangeant(int index, float value);

    // Curve-wide changes that keep each segment's tangents.
    void KeyTangeantSetInterpolation(bool selectedOnly, unsigned int interpolation);
    void KeyTangeantSetMode(bool selectedOnly, unsigned int tangentMode);
    void KeyTangeantHide();

    // ---- Callbacks -----------------------------------------------------
    void CallbackRegister(kFCurveCallback callback, void* data);
    // Removes the most recent registration of exactly this pair.
    void CallbackUnregister(kFCurveCallback callback, void* data);
    // Turning callbacks back on delivers the held events once. Answers 0.
    int CallbackEnable(bool enable);
    bool CallbackIsEnable() const { return mCallbackEnable; }
    // Drops the held events.
    void CallbackClear() { mPendingEvent.Clear(); }
    // Records one change and, unless callbacks are held, delivers it.
    void CallbackAddEvent(int what, int index);

    // Bytes of key memory held by all curves of the process.
    static kLongLong GetRecordingMemory();

private:
    static constexpr int kBlockShift = 5;
    static constexpr int kKeysPerBlock = 1 << kBlockShift;
    static constexpr int kBlockMask = kKeysPerBlock - 1;
    // The block table grows by this many keys at a time.
    static constexpr int kTableGrowth = 2048;

    // Time differences below this count as one instant in key edits (1e-5 s).
    static KTime TimeTolerance();

    KTime KeyTime(int index) const { return KeyGetPtr(index)->GetTime(); }
    // Searches outward from a known key with doubling steps, then bisects:
    // next to the hint this is the plain walk, far from it logarithmic.
    // The largest index <= from whose time is at or before time; -1 when none.
    int FindLastAtOrBefore(KTime time, int from) const;
    // The smallest index >= from whose time is at or after time; the count when none.
    int FindFirstAtOrAfter(KTime time, int from) const;
    // Value difference over time difference in seconds, from key j to key k.
    double Slope(int j, int k) const;
    void ResetCandidate() { mCandidateTime = KTime::Infinite(); }
    void DeliverPendingEvent();
    void FreeStorage();
    // Opens a batch unless the caller has one open; EndInternalBatch closes
    // only what BeginInternalBatch opened, so a caller's batch is never split.
    bool BeginInternalBatch();
    void EndInternalBatch(bool opened);
    template <class KeyOp>
    int EditKeyValues(bool selectedOnly, KeyOp keyOp, bool emptyCurveEdits, float defaultFactor, bool setDefault,
                      float defaultValue);
    int SetKeysSelected(bool selected);

    float mColor[3] = {1.0f, 1.0f, 1.0f};
    float mValue = 0.0f;
    unsigned int mUpdateId = 0;  // wraps
    bool mCallbackEnable = true;
    bool mEventRecording = true;
    KFCurveKey** mBlocks = nullptr;
    int mKeyCount = 0;
    int mCapacity = 0;  // keys the block table can address
    int mLastAllocatedBlock = -1;
    int mPreExtrapolation = KFCURVE_EXTRAPOLATION_CONSTANT;
    unsigned int mPreExtrapolationCount = 0;
    int mPostExtrapolation = KFCURVE_EXTRAPOLATION_CONSTANT;
    unsigned int mPostExtrapolationCount = 0;
    int mWasData = 0;
    bool mSelected = false;
    int mLastFoundIndex = 0;
    KTime mCandidateTime = KTime::Infinite();  // the cached candidate is stale when this is the largest time
    KFCurveEvent mPendingEvent;
    std::vector<std::pair<kFCurveCallback, void*>> mCallbacks;
    // While callbacks run, an unregistered entry is blanked and dropped afterwards,
    // so that the walk neither skips nor calls it.
    int mDispatchDepth = 0;
    bool mCallbacksBlanked = false;
};

// Allocates an empty curve; end it with Destroy.
KFCurve* KFCurveCreate();

}  // namespace zeqsdk_400

#endif
