// Whole-curve operations: selection flag, copies, deletion of key ranges and
// spans, replacement of a span by another curve's keys, and the consistency
// check of the key block table.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "fcurve/kfcurve.h"

namespace zeqsdk_400 {

namespace {

bool JoinsBySlope(const KFCurveKey* key) {
    return key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC &&
           (key->GetTangeantMode() & (KFCURVE_TANGEANT_USER | KFCURVE_TANGEANT_AUTO)) != 0;
}

KTime OneTickBefore(KTime t) { return t.Get() == LLONG_MIN ? t : KTime(t.Get() - 1); }
KTime OneTickAfter(KTime t) { return t == KTime::Infinite() ? t : KTime(t.Get() + 1); }

}  // namespace

int KFCurve::KeyCountBefore(KTime time) const {
    int low = 0;
    int high = mKeyCount;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (KeyTime(middle) < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

int KFCurve::KeyIndexAt(KTime time) const {
    const int i = KeyCountBefore(time);
    return i < mKeyCount && KeyTime(i) == time ? i : -1;
}

void KFCurve::SetSelected(bool selected) {
    mSelected = selected;
    CallbackAddEvent(KFCURVEEVENT_SELECTION, -1);
}

// ---- Copies ----------------------------------------------------------------

void KFCurve::CopyFrom(KFCurve& source, bool withKeys) {
    if (&source != this) {
        if (!withKeys) KeyClear();
        mValue = source.mValue;
        if (withKeys) {
            const bool opened = BeginInternalBatch();
            // Keys are overwritten block by block, not cleared first.
            InitBuffers(source.mKeyCount);
            const int reserved = (mLastAllocatedBlock + 1) * kKeysPerBlock;
            const int count = std::min(source.mKeyCount, reserved);
            for (int first = 0; first < count; first += kKeysPerBlock) {
                const int keys = std::min(kKeysPerBlock, count - first);
                std::memcpy(mBlocks[first >> kBlockShift], source.mBlocks[first >> kBlockShift],
                            static_cast<std::size_t>(keys) * sizeof(KFCurveKey));
            }
            mKeyCount = count;
            EndInternalBatch(opened);
        }
        std::memcpy(mColor, source.mColor, sizeof mColor);
        mSelected = source.mSelected;
        mWasData = source.mWasData;
        mCandidateTime = source.mCandidateTime;
        mCandidateValue = source.mCandidateValue;
        mPreExtrapolation = source.mPreExtrapolation;
        mPreExtrapolationCount = source.mPreExtrapolationCount;
        mPostExtrapolation = source.mPostExtrapolation;
        mPostExtrapolationCount = source.mPostExtrapolationCount;
    }
    ++mUpdateId;
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
}

KFCurve* KFCurve::Copy(KTime start, KTime stop) {
    KFCurve* copy = KFCurveCreate();
    if (start <= KTime::MinusInfinite() && stop >= KTime::Infinite()) {
        copy->CopyFrom(*this, true);
        return copy;
    }
    if (start <= stop) {
        const int first = KeyCountBefore(start);
        const int end = stop == KTime::Infinite() ? mKeyCount : KeyCountBefore(OneTickAfter(stop));
        const int count = end - first;
        if (count > 0 && copy->InitBuffers(count)) {
            for (int k = 0; k < count; ++k) *copy->KeyGetPtr(k) = *KeyGetPtr(first + k);
            copy->mKeyCount = count;
        }
    }
    copy->mValue = mValue;
    copy->mWasData = mWasData;
    copy->mCandidateTime = mCandidateTime;
    copy->mCandidateValue = mCandidateValue;
    copy->mUpdateId = mUpdateId;
    return copy;
}

// ---- Deletion --------------------------------------------------------------

void KFCurve::RemoveKeyRange(int first, int last) {
    const int removed = last - first + 1;
    for (int k = last + 1; k < mKeyCount; ++k) *KeyGetPtr(k - removed) = *KeyGetPtr(k);
    mKeyCount -= removed;
    ReleaseBlocksAfterCount();
}

bool KFCurve::Delete(int first, int last) {
    const int n = mKeyCount;
    if (n == 0) return false;
    ResetCandidate();
    const float firstValue = KeyGetPtr(0)->GetValue();
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    if (first == last) {
        KeyRemove(first);
    } else if (first == 0 && last == n - 1) {
        KeyClear();
    } else if (first < last) {
        // The key after the range keeps its incoming tangent.
        const KFCurveTangeantInfo info = last + 1 < n ? KeyGetLeftDerivativeInfo(last + 1) : KFCurveTangeantInfo{};
        RemoveKeyRange(first, last);
        KeySetLeftDerivativeInfo(first, info);
        CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    }
    if (mKeyCount == 0) mValue = firstValue;
    return true;
}

bool KFCurve::Delete(KTime start, KTime stop) {
    if (mKeyCount == 0) return false;
    // Keys exactly at start or stop stay.
    const int first = start == KTime::Infinite() ? mKeyCount : KeyCountBefore(OneTickAfter(start));
    const int last = KeyCountBefore(stop) - 1;
    return Delete(first, last);
}

// ---- Replacement -----------------------------------------------------------

template <class KeyHook>
void KFCurve::ReplaceWith(KFCurve* source, KTime start, KTime stop, bool exactSpan, bool keyStartEnd, KeyHook hook,
                          int* lastAdded) {
    if (lastAdded) *lastAdded = -1;
    if (!source) return;
    // Replacing a span by this curve's own keys reads them from a copy.
    std::unique_ptr<KFCurve, void (*)(KFCurve*)> ownCopy(nullptr, [](KFCurve* c) { c->Destroy(); });
    if (source == this) {
        ownCopy.reset(Copy());
        source = ownCopy.get();
    }
    const bool opened = BeginInternalBatch();
    const int sourceCount = source->mKeyCount;
    if (sourceCount > 0) {
        if (start <= KTime::MinusInfinite()) start = source->KeyTime(0);
        if (stop == KTime::Infinite()) stop = source->KeyTime(sourceCount - 1);
        if (!exactSpan) {
            const int i0 = source->KeyCountBefore(start);
            const int i1 = source->KeyCountBefore(OneTickAfter(stop)) - 1;
            if (i0 <= i1) {
                start = source->KeyTime(i0);
                stop = source->KeyTime(i1);
            }
        }
    }
    if (start <= stop) {
        const float leftSlope = EvaluateLeftDerivative(start);
        const float rightSlope = EvaluateRightDerivative(stop);
        // The values just outside the span that a keyless source keeps, taken
        // before the span's keys go, which reshapes the segments around it.
        const bool openStart = start <= KTime::MinusInfinite();
        const bool openStop = stop == KTime::Infinite();
        const bool keepEnds = sourceCount == 0 && keyStartEnd;
        const float valueBefore = keepEnds && !openStart ? Evaluate(OneTickBefore(start)) : 0.0f;
        const float valueAfter = keepEnds && !openStop ? Evaluate(OneTickAfter(stop)) : 0.0f;
        // The keys of [start, stop], both ends included, go.
        if (mKeyCount > 0) {
            const int first = KeyCountBefore(start);
            const int last = (stop == KTime::Infinite() ? mKeyCount : KeyCountBefore(OneTickAfter(stop))) - 1;
            if (first <= last) Delete(first, last);
        }
        if (sourceCount > 0) {
            CandidateClear();
            int added = -1;
            const int from = source->KeyCountBefore(start);
            for (int k = from; k < sourceCount && source->KeyTime(k) <= stop; ++k) {
                KFCurveKey key = *source->KeyGetPtr(k);
                hook(key);
                const int index = KeyAdd(key.GetTime(), key);
                if (index >= 0) added = index;
            }
            // The new keys join the kept ones with the curve's former slopes.
            if (start > KTime::MinusInfinite() && mKeyCount > 0) {
                const int j = KeyCountBefore(start);
                if (j < mKeyCount && KeyTime(j) <= stop && JoinsBySlope(KeyGetPtr(j)))
                    KeySetLeftDerivative(j, leftSlope);
            }
            if (stop < KTime::Infinite() && added >= 0 && JoinsBySlope(KeyGetPtr(added)))
                KeySetRightDerivative(added, rightSlope);
            if (lastAdded) *lastAdded = added;
        } else if (keepEnds) {
            // The curve keeps its value just outside the span and takes the
            // source's (flat) default value at the span's ends.
            auto keyAt = [this](KTime t, float value) {
                CandidateSet(t, value);
                CandidateKey(nullptr, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, false, true,
                             KTime::Infinite(), 0.0);
            };
            if (!openStart) keyAt(OneTickBefore(start), valueBefore);
            if (!openStop) keyAt(OneTickAfter(stop), valueAfter);
            if (!openStart) keyAt(start, source->mValue);
            if (!openStop) keyAt(stop, source->mValue);
            const int atStart = openStart ? -1 : KeyIndexAt(start);
            const int atStop = openStop ? -1 : KeyIndexAt(stop);
            if (atStart >= 0 && atStart != atStop)
                KeySetRightDerivative(atStart, source->EvaluateRightDerivative(start));
            if (atStop >= 0 && atStart != atStop) KeySetLeftDerivative(atStop, source->EvaluateLeftDerivative(stop));
        }
    }
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    EndInternalBatch(opened);
}

void KFCurve::Replace(KFCurve* source, KTime start, KTime stop, bool exactSpan, bool keyStartEnd) {
    ReplaceWith(
        source, start, stop, exactSpan, keyStartEnd, [](KFCurveKey&) {}, nullptr);
}

void KFCurve::ReplaceForEulerXYZ(KFCurve* source, KTime start, KTime stop, float offset, float mirrorValue,
                                 bool exactSpan, bool keyStartEnd, bool offsetFollowing, bool mirrorFollowing) {
    const bool shifts = std::fabs(offset) > 1e-7f;
    int lastAdded = -1;
    ReplaceWith(
        source, start, stop, exactSpan, keyStartEnd,
        [shifts, offset](KFCurveKey& key) {
            if (shifts) key.IncValue(offset);
        },
        &lastAdded);
    if ((!offsetFollowing || !shifts) && !mirrorFollowing) return;
    // The keys after the replaced ones follow, so that they stay continuous.
    const int from =
        lastAdded >= 0 ? lastAdded + 1 : (stop == KTime::Infinite() ? mKeyCount : KeyCountBefore(OneTickAfter(stop)));
    if (from >= mKeyCount) return;
    const bool opened = BeginInternalBatch();
    for (int k = from; k < mKeyCount; ++k) {
        KFCurveKey* key = KeyGetPtr(k);
        if (offsetFollowing && shifts) {
            key->IncValue(offset);
        } else {
            key->SetValue(mirrorValue - key->GetValue());
            key->MultTangeant(-1.0f);
        }
    }
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    EndInternalBatch(opened);
}

void KFCurve::ReplaceForQuaternion(KFCurve* source, KTime start, KTime stop, float scale, float offset, bool exactSpan,
                                   bool keyStartEnd) {
    ReplaceWith(
        source, start, stop, exactSpan, keyStartEnd,
        [scale, offset](KFCurveKey& key) {
            key.MultValue(scale);
            key.MultTangeant(scale);
            key.IncValue(offset);
        },
        nullptr);
}

// ---- Consistency -------------------------------------------------------------

bool KFCurve::CheckCurve() const {
    if (!mBlocks) return mLastAllocatedBlock == -1 && mKeyCount == 0;
    if (mLastAllocatedBlock == -1) return false;
    const int tableBlocks = mCapacity / kKeysPerBlock;
    const int needed = std::max(mKeyCount > 0 ? (mKeyCount - 1) / kKeysPerBlock : 0, mLastAllocatedBlock);
    if (needed >= tableBlocks) return false;
    for (int b = 0; b <= needed; ++b)
        if (!mBlocks[b]) return false;
    for (int b = needed + 1; b < tableBlocks; ++b)
        if (mBlocks[b]) return false;
    return true;
}

}  // namespace zeqsdk_400
