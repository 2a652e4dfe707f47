// Key synchronisation: every curve of a set gets a key wherever one of them
// has a key inside the filter's span.
#include "fcurve/kfcurvefilterkeysync.h"

#include <algorithm>
#include <memory>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

const char kNothingChanged[] = "KeySyncFilter, No key were changed by filter.";
const char kTooManyCurves[] = "KeySyncFilter, Curve count is too mush. No support above 20 curves..";
const char kKeyCountDiffers[] = "KeySyncFilter, Key count is different in the Curves to be filtered.";
const char kNotSynchronized[] = "KeySyncFilter, keys are not synchronized.";

struct CurveDestroyer {
    void operator()(KFCurve* curve) const { curve->Destroy(); }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDestroyer>;

// Copies the non-null curves of the array into out (room for max); -1 when
// there are more than max of them.
int CompactCurves(KFCurve** curves, int count, KFCurve** out, int max) {
    int n = 0;
    for (int i = 0; curves && i < count; ++i) {
        if (!curves[i]) continue;
        if (n == max) return -1;
        out[n++] = curves[i];
    }
    return n;
}

// One curve being synchronised. Keys are inserted in increasing time, each
// with the shape-keeping KFCurve::KeyInsert; inserting into the whole curve
// would shift every later key each time. So the keys are built in a private
// curve holding the keys up to the insertion time and a short window of the
// original keys after it: an insertion reads and changes the keys around its
// segment and reads one key further (its slopes), never beyond; only a value
// extrapolated before the first key depends on all keys, and that is given.
// The original keys join the window as time moves on, and the result replaces
// the curve's keys once at the end.
class SyncedCurve {
public:
    void Start(KFCurve& curve) {
        mOriginal.reset(curve.Copy(KTime::MinusInfinite(), KTime::Infinite()));
        // The key settings (default value, extrapolation) shape the insertions.
        mBuilt.CopyFrom(curve, false);
        mHasCandidate = curve.IsCandidate();
        mCandidateTime = curve.CandidateGetTime();
        mCandidateValue = curve.CandidateGet();
        mFailed = mOriginal->KeyGetCount() != curve.KeyGetCount();
    }

    // Moves past the original keys at or before t.
    void SkipTo(KTime t) {
        const int count = mOriginal->KeyGetCount();
        while (mNext < count && mOriginal->KeyGetPtr(mNext)->GetTime() <= t) ++mNext;
    }

    // The first original key time after the last SkipTo; false when none.
    bool NextKeyTime(KTime& time) const {
        if (mNext >= mOriginal->KeyGetCount()) return false;
        time = mOriginal->KeyGetPtr(mNext)->GetTime();
        return true;
    }

    // Gives the curve a key at time (no original key lies between the last
    // SkipTo and time) with its original value there.
    void KeyAt(KTime time) {
        if (mFailed) return;
        if (!Append(std::min(mOriginal->KeyGetCount(), mNext + kWindow + 1))) return;
        if (!mStarted) {
            // The first key may lie before all others, where the curve's value
            // (extrapolated) depends on every key: it is taken from the full
            // copy, or from the curve's candidate at that time, as the whole
            // curve gives it. Later keys lie inside or after the built keys.
            const bool candidate = mHasCandidate && mCandidateTime == time;
            mBuilt.CandidateSet(time, candidate ? mCandidateValue : mOriginal->Evaluate(time, &mCopyHint));
            mStarted = true;
        }
        const int index = mBuilt.KeyInsert(time, &mSearchHint);
        if (index < 0) return;  // out of memory: this key is not added
        KFCurveKey key = mBuilt.KeyGet(index);
        key.SetValue(mOriginal->Evaluate(time, &mCopyHint));
        mBuilt.KeySet(index, key);
    }

    // Writes the built keys into the curve, whose key editing the caller holds
    // open, and answers their count; -1 when they could not be built (the
    // curve keeps its own keys).
    int Finish(KFCurve& curve) {
        if (mFailed || !Append(mOriginal->KeyGetCount())) return -1;
        const int count = mBuilt.KeyGetCount();
        if (!curve.InitBuffers(count)) return -1;
        for (int k = 0; k < count; ++k) *curve.KeyGetPtr(k) = *mBuilt.KeyGetPtr(k);
        curve.CallbackAddEvent(KFCURVEEVENT_KEY, -1);
        return count;
    }

private:
    // Original keys kept after the insertion point: the segment's next key,
    // the one whose slope it reads, and one more for margin.
    static constexpr int kWindow = 3;

    // Appends the original keys before index end that are not yet built.
    bool Append(int end) {
        for (; mAppended < end; ++mAppended) {
            const KFCurveKey& key = *mOriginal->KeyGetPtr(mAppended);
            const int index = mBuilt.KeyAppendFast(key.GetTime(), key.GetValue());
            if (index < 0) {
                mFailed = true;
                return false;
            }
            *mBuilt.KeyGetPtr(index) = key;
        }
        return true;
    }

    CurvePtr mOriginal;
    KFCurve mBuilt;
    int mNext = 0;      // first original key after the current time
    int mAppended = 0;  // original keys already in mBuilt
    int mSearchHint = 0;
    int mCopyHint = 0;
    bool mStarted = false;
    bool mFailed = false;
    bool mHasCandidate = false;
    KTime mCandidateTime;
    float mCandidateValue = 0.0f;
};

}  // namespace

KFCurveFilterKeySync::KFCurveFilterKeySync() : KFCurveFilter(eKFCurveFilterKeySync) {
    // Set directly: a key sync filter starts over the whole time line.
    KFCurveFilter::Reset();
}

int KFCurveFilterKeySync::CollectChildCurves(KFCurveNode& node, KFCurve** curves) {
    const int count = node.GetCount();
    if (count > kMaxCurves) {
        SetError(eTooManyCurves, kTooManyCurves);
        return -1;
    }
    int n = 0;
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = node.Get(i);
        if (KFCurve* curve = child ? child->FCurveGet() : nullptr) curves[n++] = curve;
    }
    return n;
}

bool KFCurveFilterKeySync::NeedApply(KFCurve** curves, int count) {
    // Null entries (channels without a curve) are left out.
    KFCurve* first = nullptr;
    int i0 = 0;
    for (; curves && i0 < count && !first; ++i0) first = curves[i0];
    if (!first) return false;
    const int keys = first->KeyGetCount();
    for (int c = i0; c < count; ++c) {
        if (curves[c] && curves[c]->KeyGetCount() != keys) {
            SetError(eMultipleKeyCount, kKeyCountDiffers);
            return true;
        }
    }
    for (int i = 0; i < keys; ++i) {
        const KTime time = first->KeyGetPtr(i)->GetTime();
        for (int c = i0; c < count; ++c) {
            if (curves[c] && curves[c]->KeyGetPtr(i)->GetTime() != time) {
                SetError(eUnsynchedKeys, kNotSynchronized);
                return true;
            }
        }
    }
    return false;
}

bool KFCurveFilterKeySync::NeedApply(KFCurveNode& node, bool) {
    KFCurve* curves[kMaxCurves];
    const int n = CollectChildCurves(node, curves);
    if (n < 0) return false;
    return NeedApply(curves, n);
}

bool KFCurveFilterKeySync::NeedApply(KFCurve&) {
    SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kNothingChanged);
    return false;
}

bool KFCurveFilterKeySync::Apply(KFCurve** curves, int count) {
    if (count > kMaxCurves) {
        SetError(eTooManyCurves, kTooManyCurves);
        return false;
    }
    KFCurve* list[kMaxCurves];
    const int n = CompactCurves(curves, count, list, kMaxCurves);
    if (n < 2) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kNothingChanged);
        return false;
    }

    // Values always come from the curves as they were, not from keys that this
    // pass has already inserted.
    std::unique_ptr<SyncedCurve[]> synced(new SyncedCurve[n]);
    for (int c = 0; c < n; ++c) {
        list[c]->KeyModifyBegin();
        synced[c].Start(*list[c]);
    }

    const KTime start = GetStartTime();
    const KTime stop = GetStopTime();
    // Keys strictly after t are candidates; one tick before the start lets a
    // key exactly at the start in.
    KTime t = start <= KTime::MinusInfinite() ? KTime::MinusInfinite() : start - KTime(1);
    for (int c = 0; c < n; ++c) synced[c].SkipTo(t);
    while (t < stop) {
        bool found = false;
        KTime next = KTime::Infinite();
        for (int c = 0; c < n; ++c) {
            KTime time;
            if (synced[c].NextKeyTime(time) && (!found || time < next)) {
                next = time;
                found = true;
            }
        }
        if (!found || next > stop) break;
        for (int c = 0; c < n; ++c) synced[c].KeyAt(next);
        // The next search is for keys strictly after this one, so that a key
        // one tick later is not skipped.
        t = next;
        for (int c = 0; c < n; ++c) synced[c].SkipTo(t);
    }

    for (int c = 0; c < n; ++c) {
        const int keys = synced[c].Finish(*list[c]);
        if (keys >= 0)
            list[c]->KeyModifyEnd(keys);
        else
            list[c]->KeyModifyEnd();
    }
    return true;
}

bool KFCurveFilterKeySync::Apply(KFCurveNode& node, bool) {
    KFCurve* curves[kMaxCurves];
    const int n = CollectChildCurves(node, curves);
    if (n < 0) return false;
    return Apply(curves, n);
}

bool KFCurveFilterKeySync::Apply(KFCurve&) {
    SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kNothingChanged);
    return false;
}

}  // namespace zeqsdk_400
