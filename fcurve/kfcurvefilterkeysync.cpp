// Key synchronisation: every curve of a set gets a key wherever one of them
// has a key inside the filter's span.
#include "fcurve/kfcurvefilterkeysync.h"

#include <cmath>
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
    CurvePtr copies[kMaxCurves];
    int searchHints[kMaxCurves];
    int copyHints[kMaxCurves];
    for (int c = 0; c < n; ++c) {
        searchHints[c] = 0;
        copyHints[c] = 0;
        list[c]->KeyModifyBegin();
        copies[c].reset(list[c]->Copy(KTime::MinusInfinite(), KTime::Infinite()));
    }

    const KTime start = GetStartTime();
    const KTime stop = GetStopTime();
    // Keys strictly after t are candidates; one tick before the start lets a
    // key exactly at the start in.
    KTime t = start <= KTime::MinusInfinite() ? KTime::MinusInfinite() : start - KTime(1);
    while (t < stop) {
        bool found = false;
        KTime next = KTime::Infinite();
        for (int c = 0; c < n; ++c) {
            KFCurve& curve = *list[c];
            const int keys = curve.KeyGetCount();
            if (keys == 0) continue;
            int k = 0;
            if (t > KTime::MinusInfinite()) {
                const double f = std::ceil(curve.KeyFind(t, &searchHints[c]));
                k = f < keys - 1 ? static_cast<int>(f) : keys - 1;
                // At a key the position is whole: the candidate is the key after it.
                if (k < keys - 1 && curve.KeyGetPtr(k)->GetTime() <= t) ++k;
            }
            const KTime time = curve.KeyGetPtr(k)->GetTime();
            if (time > t && (!found || time < next)) {
                next = time;
                found = true;
            }
        }
        if (!found || next > stop) break;
        for (int c = 0; c < n; ++c) {
            KFCurve& curve = *list[c];
            const int index = curve.KeyInsert(next, &searchHints[c]);
            if (index < 0) continue;  // out of memory: this curve keeps its keys
            KFCurveKey key = curve.KeyGet(index);
            key.SetValue(copies[c]->Evaluate(next, &copyHints[c]));
            curve.KeySet(index, key);
        }
        // The next search is for keys strictly after this one, so that a key
        // one tick later is not skipped.
        t = next;
    }

    for (int c = 0; c < n; ++c) list[c]->KeyModifyEnd();
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
