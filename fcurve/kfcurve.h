#ifndef ZEQ_FCURVE_KFCURVE_H
#define ZEQ_FCURVE_KFCURVE_H

#include <utility>
#include <vector>

#include "base/kdefs.h"
#include "base/ktime.h"
#include "fcurve/kfcurvekey.h"

namespace zeqsdk_400 {

class KFCurve;
class KZeq;

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
    // Reports a selection change (event 256) for the whole curve.
    void SetSelected(bool selected);
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

    // ---- Evaluation ----------------------------------------------------
    // The curve's value at a time, extrapolated outside the keys; without keys
    // the default value. last is the search hint as for KeyFind. Threads may
    // evaluate one curve at once when each passes its own hint; a call without
    // a hint may also rebuild the curve's flat array of key times.
    float Evaluate(KTime time, int* last = nullptr);
    // The fractional key index of a time after mapping it through constant,
    // repetition and mirror extrapolation into the keys' range.
    double KeyFindAll(KTime time, int* last = nullptr);
    // The value at a fractional key index; indices outside the keys give the
    // nearest end key's value.
    float EvaluateIndex(double index);
    // Incoming and outgoing slopes (value per second): at a key its own
    // derivatives, between keys the segment's slope (tangent weights are not
    // taken into account), outside the keys 0 whatever the extrapolation.
    float EvaluateLeftDerivative(KTime time, int* last = nullptr);
    float EvaluateRightDerivative(KTime time, int* last = nullptr);
    // Extrema strictly inside the segment from key index to key index + 1,
    // found on its non-weighted Bezier: 0, 1 or 2, the earlier one first. Only
    // the outputs of reported extrema are written; an index without a
    // following key reports none.
    int FindPeaks(int index, KTime& time1, KTime& time2);
    int FindPeaks(int index, float& value1, float& value2);
    int FindPeaks(int index, KTime& time1, float& value1, KTime& time2, float& value2);

    // ---- Candidate: a proposed value at one time, not yet a key ----------
    // The candidate value when time is the candidate time; otherwise the
    // curve's value there, which becomes the candidate.
    float CandidateEvaluate(KTime time, int* last = nullptr);
    int CandidateClear();
    int CandidateSet(KTime time, double value);
    bool IsCandidate() const { return mCandidateTime != KTime::Infinite(); }
    float CandidateGet() const { return mCandidateValue; }
    KTime CandidateGetTime() const { return mCandidateTime; }
    // Turns the candidate into a key, or updates the key found at the
    // candidate time within tolerance (counted in key indices). A time other
    // than the largest one first becomes the candidate time. A new key takes
    // the curve's slopes there and its neighbours keep their tangents, so
    // that keying the curve's own value leaves the curve's shape unchanged.
    // With isBreak the key's tangents are broken flat (user), to the
    // neighbours (auto) or made discontinuous (TCB); with rebuild an existing
    // key is made anew with the given interpolation and tangent mode, without
    // it only its time and value change. 1 when there is no candidate (or
    // memory runs out), else 0.
    int CandidateKey(int* last = nullptr, int interpolation = KFCURVE_INTERPOLATION_CUBIC,
                     int tangentMode = KFCURVE_TANGEANT_USER, bool isBreak = false, bool rebuild = true,
                     KTime time = KTime::Infinite(), double tolerance = 0.0);

    // ---- Whole-curve operations ----------------------------------------
    // Copies the source's settings (default value, colour, selection,
    // was-data, candidate, extrapolation) and, with keys, its keys; without
    // keys this curve ends with none. Callbacks are not copied.
    void CopyFrom(KFCurve& source, bool withKeys = true);
    // A new curve, owned by the caller: over the whole time line a full copy;
    // over another span the default value, was-data value, candidate and the
    // keys in [start, stop].
    KFCurve* Copy(KTime start = KTime::MinusInfinite(), KTime stop = KTime::Infinite());
    // Removes keys first to last inclusive (clipped to the curve); when no key
    // is left the former first key's value becomes the default value. False
    // on an empty curve.
    bool Delete(int first, int last);
    // Removes the keys strictly between start and stop.
    bool Delete(KTime start, KTime stop);
    // Replaces the keys of [start, stop] by the source's keys there; the open
    // ends of the time line stand for the source's first and last key times.
    // Without exactSpan the span shrinks to the source keys inside it. The new
    // keys join the kept ones with the curve's former slopes at the span's
    // ends. A source without keys, with keyStartEnd, leaves keys just outside
    // the span (the curve's value) and at its ends (the source's default).
    void Replace(KFCurve* source, KTime start, KTime stop, bool exactSpan, bool keyStartEnd);
    // Replace for an Euler rotation channel: offset (when above 1e-7 in
    // magnitude) is added to the copied keys' values. The keys after the span
    // are then shifted by offset when offsetFollowing is set, or set to
    // mirrorValue minus their value (tangents mirrored) when mirrorFollowing
    // is set, so that they stay continuous with the replaced span.
    void ReplaceForEulerXYZ(KFCurve* source, KTime start, KTime stop, float offset, float mirrorValue,
                            bool exactSpan, bool keyStartEnd, bool offsetFollowing, bool mirrorFollowing);
    // Replace for one quaternion component channel: the copied keys' values
    // (and user tangents) are scaled by scale, then offset is added; a scale
    // of -1 takes the other hemisphere of the same rotations.
    void ReplaceForQuaternion(KFCurve* source, KTime start, KTime stop, float scale, float offset, bool exactSpan,
                              bool keyStartEnd);
    // Consistency of the key block table with the key count.
    bool CheckCurve() const;

    // ---- Shape-keeping key edits -----------------------------------------
    // Adds a cubic auto key that takes the curve's current value at time;
    // answers its index (-1 when memory runs out).
    int KeyAdd(KTime time, int* last = nullptr);
    // Inserts a key at time without changing the curve's shape (the new key
    // takes the interpolation and tangent mode of the key that starts the
    // segment); answers the index of the key at time, existing or new, or -1
    // when memory runs out.
    int KeyInsert(KTime time, int* last = nullptr);
    // Gives key index a new time. A key that would pass or come within the
    // time tolerance of a neighbour changes place (onto a free time at or just
    // after time) and the incoming tangents around its old and new places are
    // kept. Answers the key's index afterwards, -1 for an index outside.
    int KeyMove(int index, KTime time);
    // Adds dt to the time and dv to the value of every key, or of the
    // selected keys (which may change place as KeyMove does). 0 is answered.
    int KeyMoveOf(bool selectedOnly, KTime dt, float dv);
    // Copies the source's keys so that its first key lands at time; seam is
    // the incoming tangent of the first copied key. Keys that would land
    // beyond the time line are not copied.
    void Insert(KFCurve* source, KTime time, const KFCurveTangeantInfo& seam);
    void Insert(KFCurve* source, KTime time, float derivative = 0.0f, bool weighted = false,
                float weight = KFCURVE_DEFAULT_WEIGHT);

    // ---- Storage in the field file -------------------------------------
    // Writes the curve's records into the block the caller has open ("Default",
    // then unless onlyDefaults "KeyVer" 4004, "KeyCount", "Key", extrapolation;
    // "Color" when color is set). version5 writes auto tangents as explicit
    // ones that older readers understand. Answers 0.
    int ZeqStore(KZeq* file, bool onlyDefaults, bool color, bool version5 = false);
    // Reads a curve whose records start at the next "Default" field of the
    // current block, replacing all keys. True when there is no "Default"
    // field (nothing was read), else false. Damaged keys are dropped and the
    // rest of the curve is kept.
    bool ZeqRetrieve(KZeq* file, bool onlyDefaults, bool color);
    // The same, once the caller has opened the "Default" field; answers false.
    bool ZeqInternalRetrieve(KZeq* file, bool onlyDefaults, bool color);

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

    // Locates time among the keys from the hint (which it updates): the key
    // at time (u = 0) or the first key of the segment holding it (u its time
    // fraction); -1 before the first key, the count after the last. Keys needed.
    int Locate(KTime time, int& hint, double& u) const;
    // The segment holding time, by its first key, or the key at time (the last
    // key at its own time), for times within the keys. mayIndex allows the
    // flat array of key times to be rebuilt.
    int FindSegment(KTime time, int hint, bool mayIndex);
    // Fills the flat array of key times; false when memory runs out.
    bool IndexKeyTimes();
    // The index in the flat array of the last time at or before t.
    int SearchKeyTimes(kLongLong t) const;
    // Evaluate where the last sample's segment does not serve.
    float EvaluateElsewhere(KTime time, int* last);
    // Value of segment i (0 <= i < count - 1) at time fraction u in (0, 1).
    float EvaluateSegment(int i, double u);
    // Slope of segment i at fraction u, per second, on its non-weighted Bezier.
    float SegmentDerivative(int i, double u);
    // Keep-slope extrapolation before the first and after the last key.
    float EvaluateKeepSlopeBefore(KTime time);
    float EvaluateKeepSlopeAfter(KTime time);
    // Index of the key exactly at time; -1 when none.
    int KeyIndexAt(KTime time) const;
    // Number of keys with a time strictly before time.
    int KeyCountBefore(KTime time) const;
    // Removes keys first to last (valid, first < last) in one pass.
    void RemoveKeyRange(int first, int last);
    // Gives key i one side of a tangent keeping its slope: auto keys get the
    // auto parameter that yields the derivative among their present neighbours.
    void KeySetLeftSlope(int index, const KFCurveTangeantInfo& info);
    void KeySetRightSlope(int index, const KFCurveTangeantInfo& info);
    // Gives the keys that change a new interpolation (or tangent mode) while
    // every tangent around them keeps its derivative.
    void ChangeKeyKinds(bool selectedOnly, bool interpolation, unsigned int value);
    // Replace with a hook applied to every key copied from the source.
    template <class KeyHook>
    void ReplaceWith(KFCurve* source, KTime start, KTime stop, bool exactSpan, bool keyStartEnd, KeyHook hook,
                     int* lastAdded);
    // Moves key i to a free time at or just after time, keeping the incoming
    // tangents around its old and new places; the key's value gets dv.
    int KeyRelocate(int index, KTime time, float dv);

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
    // Gives back the blocks past the one holding the last key (block 0 stays).
    void ReleaseBlocksAfterCount();
    // Opens a batch unless the caller has one open; EndInternalBatch closes
    // only what BeginInternalBatch opened, so a caller's batch is never split.
    bool BeginInternalBatch();
    void EndInternalBatch(bool opened);
    // Ends an edit made with event recording off: keys first to last count as
    // one key change.
    int ReportEditedSpan(int first, int last);
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
    // Key times in one flat array for searches far from the hint: a cache,
    // current when mTimesCount is the key count (see FindSegment).
    kLongLong* mTimes = nullptr;
    int mTimesCount = -1;
    int mTimesCapacity = 0;
    int mTimesMisses = 0;
    double mTimesScale = 0.0;  // key count - 1 over the keys' time range
    KTime mCandidateTime = KTime::Infinite();  // the largest time: no candidate
    float mCandidateValue = 0.0f;
    KFCurveEvent mPendingEvent;
    std::vector<std::pair<kFCurveCallback, void*>> mCallbacks;
    // While callbacks run, an unregistered entry is blanked and dropped afterwards,
    // so that the walk neither skips nor calls it.
    int mDispatchDepth = 0;
    bool mCallbacksBlanked = false;
};

// Allocates an empty curve; end it with Destroy.
KFCurve* KFCurveCreate();
// Reads the curve whose records start at the next "Default" field of the
// file's current block into curve (its keys replaced), or into a new curve
// when curve is null. Null when there is no "Default" field; the given curve
// is then left untouched.
KFCurve* KFCurveCreate(KZeq* file, KFCurve* curve, bool onlyDefaults, bool color);
KFCurve* KFCurveCreate(KZeq* file, bool onlyDefaults, bool color);

// The time equation of a weighted segment: the Bezier with control values 0,
// w1, 1 - w2, 1 at parameter 1 - x, minus u.
float CubicWarp(float x, float u, float w1, float w2);
// A root of f(x, u, w1, w2) between x1 and x2 by the secant method (at most
// 15 steps); the last estimate when it does not converge.
float rtsec(float (*f)(float, float, float, float), float x1, float x2, float u, float w1, float w2);

}  // namespace zeqsdk_400

#endif
