// Key edits that keep the curve's shape: adding a key on the curve, inserting
// without a visible change, moving keys in time and value, and inserting the
// keys of another curve.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "fcurve/kfcurve.h"

namespace zeqsdk_400 {

namespace {

using I128 = __int128;

// later - earlier >= gap, without wrapping.
bool AtLeastApart(KTime earlier, KTime later, KTime gap) {
    return static_cast<I128>(later.Get()) - earlier.Get() >= gap.Get();
}

// t + dt saturated at the ends of the time line.
KTime AddSaturated(KTime t, KTime dt) {
    const I128 sum = static_cast<I128>(t.Get()) + dt.Get();
    if (sum > LLONG_MAX) return KTime::Infinite();
    if (sum < -LLONG_MAX) return KTime::MinusInfinite();
    return KTime(static_cast<kLongLong>(sum));
}

bool IsCubicTcb(const KFCurveKey* key) {
    return key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC && key->GetTangeantMode() == KFCURVE_TANGEANT_TCB;
}

// The slots that hold the incoming tangent of the following key: data 1, the
// next-left weight (data 3) and its weighted bit. Copied as raw bytes so that
// the stored weight does not go through another rounding.
void TakeNextLeftSlots(KFCurveKey* to, const KFCurveKey* from) {
    if (IsCubicTcb(to) || IsCubicTcb(from)) return;  // their slots hold TCB parameters
    auto* dst = static_cast<unsigned char*>(to->GetDataPtr());
    const auto* src = static_cast<const unsigned char*>(from->GetDataPtr());
    std::memcpy(dst + 4, src + 4, 4);
    std::memcpy(dst + 10, src + 10, 2);
    to->SetTangeantWeightMode(from->GetTangeantWeightMode(), KFCURVE_WEIGHTED_NEXT_LEFT);
}

}  // namespace

int KFCurve::KeyAdd(KTime time, int* last) {
    KFCurveKey key{};
    key.Init();
    key.Set(time, Evaluate(time, last), KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f,
            KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    return KeyAdd(time, key, last);
}

int KFCurve::KeyInsert(KTime time, int* last) {
    if (mKeyCount == 0) return KeyAdd(time, last) < 0 ? -1 : 0;
    KeyFind(time, last);  // keeps the caller's hint moving with the edits
    const int existing = KeyIndexAt(time);
    if (existing >= 0) return existing;
    // The new key is of the kind of the key that starts its segment.
    const KFCurveKey* model = KeyGetPtr(std::max(KeyCountBefore(time) - 1, 0));
    const int interpolation = static_cast<int>(model->GetInterpolation());
    const int tangentMode = static_cast<int>(model->GetTangeantMode());
    CandidateEvaluate(time, last);
    if (CandidateKey(last, interpolation, tangentMode, false, true, KTime::Infinite(), 0.0) != 0) return -1;
    return KeyIndexAt(time);
}

int KFCurve::KeyMove(int index, KTime time) {
    const int n = mKeyCount;
    if (index < 0 || index >= n) return -1;
    const KTime tolerance = TimeTolerance();
    const KTime current = KeyTime(index);
    bool inPlace;
    if (time > current)
        inPlace = index == n - 1 || AtLeastApart(time, KeyTime(index + 1), tolerance);
    else
        inPlace = index == 0 || AtLeastApart(KeyTime(index - 1), time, tolerance);
    if (!inPlace) return KeyRelocate(index, time, 0.0f);
    KeyGetPtr(index)->SetTime(time);
    ResetCandidate();
    const bool opened = BeginInternalBatch();
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    EndInternalBatch(opened);
    return index;
}

int KFCurve::KeyRelocate(int index, KTime time, float dv) {
    const KTime tolerance = TimeTolerance();
    // A free time at or just after the wanted one.
    KTime target = time;
    while (KeyIndexAt(target) >= 0) {
        const KTime further = AddSaturated(target, tolerance);
        if (further == target) return index;  // no free time left on the time line
        target = further;
    }
    const int n = mKeyCount;
    const bool hasOldFollower = index + 1 < n;
    const KTime oldFollowerTime = hasOldFollower ? KeyTime(index + 1) : KTime::Infinite();
    int newFollower = KeyCountBefore(target);
    if (newFollower == index) ++newFollower;
    const bool hasNewFollower = newFollower < n;
    const KTime newFollowerTime = hasNewFollower ? KeyTime(newFollower) : KTime::Infinite();

    const KFCurveTangeantInfo movedLeft = KeyGetLeftDerivativeInfo(index);
    const KFCurveTangeantInfo oldFollowerLeft =
        hasOldFollower ? KeyGetLeftDerivativeInfo(index + 1) : KFCurveTangeantInfo{};
    const KFCurveTangeantInfo newFollowerLeft =
        hasNewFollower ? KeyGetLeftDerivativeInfo(newFollower) : KFCurveTangeantInfo{};

    const bool opened = BeginInternalBatch();
    KFCurveKey key = *KeyGetPtr(index);
    key.IncValue(dv);
    KeyRemove(index);
    int hint = index;
    const int j = KeyAdd(target, key, &hint);
    if (j >= 0) {
        KeySetLeftDerivativeInfo(j, movedLeft);
        if (hasOldFollower) KeySetLeftDerivativeInfo(KeyIndexAt(oldFollowerTime), oldFollowerLeft);
        if (hasNewFollower) KeySetLeftDerivativeInfo(KeyIndexAt(newFollowerTime), newFollowerLeft);
    }
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    EndInternalBatch(opened);
    return j;
}

int KFCurve::KeyMoveOf(bool selectedOnly, KTime dt, float dv) {
    mEventRecording = false;
    ResetCandidate();
    const KTime tolerance = TimeTolerance();
    const KTime zero(0);
    int first = -1;
    int last = -1;
    const int n = mKeyCount;
    if (n == 0) {
        if (!selectedOnly || mSelected) mValue += dv;
    } else if (!selectedOnly) {
        // The shift stops at the ends of the time line, so that the order holds.
        const I128 room = dt > zero ? static_cast<I128>(LLONG_MAX) - KeyTime(n - 1).Get()
                                    : static_cast<I128>(-LLONG_MAX) - KeyTime(0).Get();
        if ((dt > zero && dt.Get() > room) || (dt < zero && dt.Get() < room)) dt = KTime(static_cast<kLongLong>(room));
        for (int i = 0; i < n; ++i) {
            KFCurveKey* key = KeyGetPtr(i);
            key->IncTime(dt);
            key->IncValue(dv);
        }
        first = 0;
        last = n - 1;
    } else {
        auto process = [&](int i) {
            if (!KeyGetPtr(i)->GetSelected()) return;
            if (first < 0) first = i;
            last = i;
            const KTime target = AddSaturated(KeyTime(i), dt);
            bool inPlace;
            if (dt > zero)
                inPlace = i == mKeyCount - 1 || AtLeastApart(target, KeyTime(i + 1), tolerance);
            else
                inPlace = i == 0 || AtLeastApart(KeyTime(i - 1), target, tolerance);
            if (inPlace) {
                KFCurveKey* key = KeyGetPtr(i);
                key->SetTime(target);
                key->IncValue(dv);
            } else {
                KeyRelocate(i, target, dv);
            }
        };
        // Walk against the move, so that a key moves next to keys already moved.
        if (dt > zero) {
            for (int i = mKeyCount - 1; i >= 0; --i) process(i);
        } else {
            for (int i = 0; i < mKeyCount; ++i) process(i);
        }
    }
    return ReportEditedSpan(first, last);
}

void KFCurve::Insert(KFCurve* source, KTime time, const KFCurveTangeantInfo& seam) {
    if (!source || source->mKeyCount == 0) return;
    std::unique_ptr<KFCurve, void (*)(KFCurve*)> ownCopy(nullptr, [](KFCurve* c) { c->Destroy(); });
    if (source == this) {
        ownCopy.reset(Copy());
        source = ownCopy.get();
    }
    const int sourceCount = source->mKeyCount;
    const KTime sourceStart = source->KeyTime(0);
    // Where source key k lands; keys that would pass the end of the time line stay out.
    auto landingTicks = [&](int k) {
        return static_cast<I128>(time.Get()) + (static_cast<I128>(source->KeyTime(k).Get()) - sourceStart.Get());
    };
    auto landing = [&](int k) { return KTime(static_cast<kLongLong>(landingTicks(k))); };
    int usable = sourceCount;
    while (usable > 0 && landingTicks(usable - 1) > LLONG_MAX) --usable;

    const bool opened = BeginInternalBatch();
    const int n = mKeyCount;
    if (n == 0 || time > KeyTime(n - 1)) {
        if (InitBuffers(n + usable)) {
            for (int k = 0; k < usable; ++k) {
                KFCurveKey* key = KeyGetPtr(n + k);
                *key = *source->KeyGetPtr(k);
                key->SetTime(landing(k));
            }
            mKeyCount = n + usable;
            // The seam is the first copied key's incoming tangent, held on the former last key.
            if (n > 0) KeySetLeftDerivativeInfo(n, seam);
        }
    } else {
        InitBuffers(n + usable);
        for (int k = 0; k < usable; ++k) {
            const KTime at = landing(k);
            KFCurveKey key = *source->KeyGetPtr(k);
            const int replaced = KeyIndexAt(at);
            const KFCurveKey before = replaced >= 0 ? *KeyGetPtr(replaced) : key;
            const int j = KeyAdd(at, key, &mLastFoundIndex);
            if (j < 0) break;
            // The key after the new one keeps its incoming tangent: it was held
            // on the key before (an insertion) or on the replaced key.
            if (j > 0) TakeNextLeftSlots(KeyGetPtr(j), replaced >= 0 ? &before : KeyGetPtr(j - 1));
            if (k == 0) {
                KeySetLeftDerivativeInfo(j, seam);
            } else {
                const KFCurveKey* sourcePrevious = source->KeyGetPtr(k - 1);
                KeySetLeftTangeantWeight(j, sourcePrevious->GetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT));
                KeySetLeftTangeantWeightedMode(
                    j, (sourcePrevious->GetTangeantWeightMode() & KFCURVE_WEIGHTED_NEXT_LEFT) != 0);
                KeySetLeftDerivativeInfo(j, source->KeyGetLeftDerivativeInfo(k));
            }
        }
    }
    CandidateClear();
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
    EndInternalBatch(opened);
}

void KFCurve::Insert(KFCurve* source, KTime time, float derivative, bool weighted, float weight) {
    KFCurveTangeantInfo seam;
    seam.mDerivative = derivative;
    seam.mWeighted = weighted;
    seam.mWeight = weight;
    Insert(source, time, seam);
}

}  // namespace zeqsdk_400
