// Curve object: key block storage, search, batch edits, selection, numbering
// across extrapolation cycles and change callbacks. Tangents are in
// kfcurvetangent.cpp.
#include "fcurve/kfcurve.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zeqsdk_400 {

namespace {

// Key memory of every curve in the process.
std::atomic<kLongLong> gRecordingMemory{0};

constexpr std::size_t kBlockBytes = 32 * sizeof(KFCurveKey);
// The block table must stay addressable by int key indices.
constexpr int kMaxKeyCount = (INT_MAX / 2048) * 2048;

// Zero-filled allocation counted in the process-wide key memory.
void* WatchMalloc(std::size_t bytes) {
    void* memory = std::calloc(1, bytes);
    if (memory) gRecordingMemory.fetch_add(static_cast<kLongLong>(bytes), std::memory_order_relaxed);
    return memory;
}

void WatchFree(void* memory, std::size_t bytes) {
    if (!memory) return;
    gRecordingMemory.fetch_sub(static_cast<kLongLong>(bytes), std::memory_order_relaxed);
    std::free(memory);
}

std::size_t TableBytes(int capacity) { return static_cast<std::size_t>(capacity / 32) * sizeof(KFCurveKey*); }

// Where time lies between a and b (a <= time < b) as a fraction of b - a; the
// differences are taken unsigned so that keys spread over the whole time line
// do not wrap.
double SegmentFraction(KTime a, KTime time, KTime b) {
    const auto base = static_cast<unsigned long long>(a.Get());
    return static_cast<double>(static_cast<unsigned long long>(time.Get()) - base) /
           static_cast<double>(static_cast<unsigned long long>(b.Get()) - base);
}

// The capacity, a whole number of table growth steps, that holds count keys.
int CapacityFor(int count) { return static_cast<int>((static_cast<kLongLong>(count) + 2047) / 2048 * 2048); }

}  // namespace

kLongLong KFCurve::GetRecordingMemory() { return gRecordingMemory.load(std::memory_order_relaxed); }

KTime KFCurve::TimeTolerance() {
    static const KTime tolerance = [] {
        KTime t;
        t.SetSecondDouble(0.00001);
        return t;
    }();
    return tolerance;
}

KFCurve* KFCurveCreate() { return new KFCurve(); }

KFCurve::KFCurve() = default;

KFCurve::~KFCurve() {
    KeyClear();
    // Every callback hears of the destruction, whatever batch was open.
    mCallbackEnable = true;
    mEventRecording = true;
    CallbackAddEvent(KFCURVEEVENT_DESTROY, -1);
}

void KFCurve::Destroy(int /*local*/) { delete this; }

void KFCurve::SetValue(float value) {
    mValue = value;
    CallbackAddEvent(KFCURVEEVENT_DEFAULT_VALUE, -1);
    ++mUpdateId;
}

void KFCurve::SetColor(const float* rgb) {
    if (!rgb) return;
    std::memcpy(mColor, rgb, sizeof mColor);
}

void KFCurve::SetPreExtrapolation(int mode) {
    mPreExtrapolation = mode;
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
}

void KFCurve::SetPreExtrapolationCount(unsigned int count) {
    mPreExtrapolationCount = count;
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
}

void KFCurve::SetPostExtrapolation(int mode) {
    mPostExtrapolation = mode;
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
}

void KFCurve::SetPostExtrapolationCount(unsigned int count) {
    mPostExtrapolationCount = count;
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
}

// ---- Storage -----------------------------------------------------------

bool KFCurve::InitBuffers(int count) {
    if (count > kMaxKeyCount) return false;
    if (count > mCapacity) {
        const int capacity = CapacityFor(count);
        auto** table = static_cast<KFCurveKey**>(WatchMalloc(TableBytes(capacity)));
        if (!table) return false;
        if (mBlocks) {
            std::memcpy(table, mBlocks, TableBytes(mCapacity));
            WatchFree(mBlocks, TableBytes(mCapacity));
        }
        mBlocks = table;
        mCapacity = capacity;
    }
    if (mBlocks && count > 0) {
        // Blocks 0 .. last allocated are always present.
        const int lastNeeded = (count - 1) / kKeysPerBlock;
        while (mLastAllocatedBlock < lastNeeded) {
            auto* block = static_cast<KFCurveKey*>(WatchMalloc(kBlockBytes));
            if (!block) return false;
            mBlocks[++mLastAllocatedBlock] = block;
        }
    }
    ResetCandidate();
    return true;
}

void KFCurve::FreeStorage() {
    std::free(mTimes);
    mTimes = nullptr;
    mTimesCount = -1;
    mTimesCapacity = 0;
    if (mBlocks) {
        for (int b = mLastAllocatedBlock; b >= 0; --b) WatchFree(mBlocks[b], kBlockBytes);
        WatchFree(mBlocks, TableBytes(mCapacity));
    }
    mBlocks = nullptr;
    mKeyCount = 0;
    mCapacity = 0;
    mLastAllocatedBlock = -1;
}

void KFCurve::KeyClear() {
    ResetCandidate();
    FreeStorage();
    CallbackAddEvent(KFCURVEEVENT_KEY, -1);
}

void KFCurve::ReleaseBlocksAfterCount() {
    const int lastUsed = mKeyCount > 0 ? (mKeyCount - 1) / kKeysPerBlock : 0;
    while (mLastAllocatedBlock > lastUsed) {
        WatchFree(mBlocks[mLastAllocatedBlock], kBlockBytes);
        mBlocks[mLastAllocatedBlock--] = nullptr;
    }
}

void KFCurve::KeyShrink() {
    if (!mBlocks) return;
    if (mKeyCount == 0) {
        FreeStorage();
        return;
    }
    const int lastUsed = (mKeyCount - 1) / kKeysPerBlock;
    ReleaseBlocksAfterCount();
    if (mCapacity / kTableGrowth > mKeyCount / kTableGrowth + 1) {
        const int capacity = CapacityFor(mKeyCount);
        auto** table = static_cast<KFCurveKey**>(WatchMalloc(TableBytes(capacity)));
        if (!table) return;  // keeping the larger table is harmless
        std::memcpy(table, mBlocks, static_cast<std::size_t>(lastUsed + 1) * sizeof(KFCurveKey*));
        WatchFree(mBlocks, TableBytes(mCapacity));
        mBlocks = table;
        mCapacity = capacity;
    }
}

int KFCurve::FindLastAtOrBefore(KTime time, int from) const {
    int bad = from + 1;  // the key after from is known to lie after time
    kLongLong probe = from;
    kLongLong step = 1;
    while (probe >= 0 && KeyTime(static_cast<int>(probe)) > time) {
        bad = static_cast<int>(probe);
        probe -= step;
        step <<= 1;
    }
    int good = probe < 0 ? -1 : static_cast<int>(probe);
    while (bad - good > 1) {
        const int middle = good + (bad - good) / 2;
        if (KeyTime(middle) <= time)
            good = middle;
        else
            bad = middle;
    }
    return good;
}

int KFCurve::FindFirstAtOrAfter(KTime time, int from) const {
    const int count = mKeyCount;
    int good = from - 1;  // the key before from is known to lie before time
    kLongLong probe = from;
    kLongLong step = 1;
    while (probe < count && KeyTime(static_cast<int>(probe)) < time) {
        good = static_cast<int>(probe);
        probe += step;
        step <<= 1;
    }
    int bad = probe < count ? static_cast<int>(probe) : count;
    while (bad - good > 1) {
        const int middle = good + (bad - good) / 2;
        if (KeyTime(middle) < time)
            good = middle;
        else
            bad = middle;
    }
    return bad;
}

int KFCurve::Locate(KTime time, int& hint, double& u) const {
    const int count = mKeyCount;
    const int i = std::min(std::max(hint, 0), count - 1);
    u = 0.0;
    const KTime ti = KeyTime(i);
    if (time == ti) {
        hint = i;
        return i;
    }
    int first;
    if (time < ti) {
        first = FindLastAtOrBefore(time, i - 1);
        if (first < 0) {
            hint = 0;
            return -1;
        }
        hint = first;
    } else {
        const int k = i == count - 1 ? count : FindFirstAtOrAfter(time, i + 1);
        if (k == count) {
            hint = count;
            return count;
        }
        hint = k;
        first = k - 1;
    }
    const KTime start = KeyTime(first);
    if (time == start) return first;
    u = SegmentFraction(start, time, KeyTime(first + 1));
    if (u >= 1.0) {
        // Rounded onto the next key (segments of more than 2^53 ticks).
        u = 0.0;
        return first + 1;
    }
    return first;
}

double KFCurve::KeyFind(KTime time, int* last) {
    const int count = mKeyCount;
    if (count == 0) return -1.0;
    double u;
    const int i = Locate(time, last ? *last : mLastFoundIndex, u);
    if (i < 0) return -0.5;
    if (i >= count) return count - 0.5;
    return i + u;
}

int KFCurve::KeySet(int index, const KFCurveKey& key) {
    ResetCandidate();
    if (index < 0 || index >= mKeyCount) return 1;
    const KTime time = key.GetTime();
    if (index > 0 && time <= KeyTime(index - 1)) return 1;
    if (index < mKeyCount - 1 && time >= KeyTime(index + 1)) return 1;
    *KeyGetPtr(index) = key;
    CallbackAddEvent(KFCURVEEVENT_KEY, index);
    return 0;
}

int KFCurve::KeyAdd(KTime time, KFCurveKey& key, int* last) {
    if ((mKeyCount >> kBlockShift) > mLastAllocatedBlock && !InitBuffers(mKeyCount + 1)) return -1;
    ResetCandidate();
    const int count = mKeyCount;
    int i = 0;
    // Keys added in order (a copy, a replacement) go after the last one without a search.
    if (count > 0 && KeyTime(count - 1) < time) {
        i = count;
    } else if (count > 0) {
        i = static_cast<int>(std::ceil(KeyFind(time, last)));
        // The fraction is a double and may round onto a neighbour: settle the
        // insertion point on the key times themselves.
        while (i < count && KeyTime(i) < time) ++i;
        while (i > 0 && KeyTime(i - 1) >= time) --i;
        if (i < count && KeyTime(i) == time) {
            key.SetTime(time);
            KeySet(i, key);
            return i;
        }
    }
    if (i < count) {
        // Carry one key across each block boundary, from the block that
        // receives the new last key down to the block of the insertion.
        const int firstBlock = i >> kBlockShift;
        for (int b = count >> kBlockShift; b > firstBlock; --b) {
            KFCurveKey* block = mBlocks[b];
            std::memmove(block + 1, block, (kKeysPerBlock - 1) * sizeof(KFCurveKey));
            block[0] = mBlocks[b - 1][kKeysPerBlock - 1];
        }
        const int position = i & kBlockMask;
        if (position < kKeysPerBlock - 1) {
            KFCurveKey* block = mBlocks[firstBlock];
            std::memmove(block + position + 1, block + position,
                         static_cast<std::size_t>(kKeysPerBlock - 1 - position) * sizeof(KFCurveKey));
        }
    }
    ++mKeyCount;
    key.SetTime(time);
    *KeyGetPtr(i) = key;
    if (last) *last = i;
    ++mUpdateId;
    CallbackAddEvent(KFCURVEEVENT_KEY, i);
    return i;
}

namespace {

// The record every appended key starts from, made once: encoding its weights is most of the cost
// of a key. Reached through a pointer set on first use, so that appends are not slowed by it.
std::atomic<const KFCurveKey*> gAppendedKey{nullptr};

[[gnu::noinline]] const KFCurveKey* MakeAppendedKey() {
    static const KFCurveKey made = [] {
        KFCurveKey key{};
        key.Set(KTime(), 0.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
                KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
        return key;
    }();
    return &made;
}

}  // namespace

int KFCurve::KeyAppendFast(KTime time, float value) {
    const int i = mKeyCount;
    // Most appends land in a block already there.
    if (__builtin_expect((i >> kBlockShift) > mLastAllocatedBlock, 0) && !InitBuffers(i + 1)) return -1;
    const KFCurveKey* appended = gAppendedKey.load(std::memory_order_acquire);
    if (__builtin_expect(!appended, 0)) {
        appended = MakeAppendedKey();
        gAppendedKey.store(appended, std::memory_order_release);
    }
    ++mKeyCount;
    // The slot may hold a removed key: start from a clean record so that no
    // stale flag (velocity, focus) carries over.
    KFCurveKey* key = KeyGetPtr(i);
    *key = *appended;
    key->SetTime(time);
    key->SetValue(value);
    ++mUpdateId;
    ResetCandidate();
    return i;
}

int KFCurve::KeyRemove(int index) {
    const int count = mKeyCount;
    if (index < 0 || index >= count) return 1;
    if (count == 1) mValue = KeyGetPtr(0)->GetValue();
    if (index < count - 1) {
        const KFCurveTangeantInfo info = KeyGetLeftDerivativeInfo(index + 1);
        const int position = index & kBlockMask;
        const int firstBlock = index >> kBlockShift;
        if (position < kKeysPerBlock - 1) {
            KFCurveKey* block = mBlocks[firstBlock];
            std::memmove(block + position, block + position + 1,
                         static_cast<std::size_t>(kKeysPerBlock - 1 - position) * sizeof(KFCurveKey));
        }
        const int lastBlock = (count - 1) >> kBlockShift;
        for (int b = firstBlock + 1; b <= lastBlock; ++b) {
            KFCurveKey* block = mBlocks[b];
            mBlocks[b - 1][kKeysPerBlock - 1] = block[0];
            std::memmove(block, block + 1, (kKeysPerBlock - 1) * sizeof(KFCurveKey));
        }
        // The count drops before the tangent goes back, so that the slopes
        // around the key see its real neighbours and not the stale last slot.
        --mKeyCount;
        KeySetLeftDerivativeInfo(index, info);
    } else {
        --mKeyCount;
    }
    CallbackAddEvent(KFCURVEEVENT_KEY, index - 1);
    return 0;
}

// ---- Batches -----------------------------------------------------------

void KFCurve::KeyModifyBegin() { CallbackEnable(false); }

void KFCurve::KeyModifyBegin(int count) {
    CallbackEnable(false);
    InitBuffers(count);
}

void KFCurve::KeyModifyEnd() {
    ++mUpdateId;
    ResetCandidate();
    CallbackEnable(true);
}

void KFCurve::KeyModifyEnd(int count) {
    // Only reserved keys can become part of the curve.
    const int reserved = (mLastAllocatedBlock + 1) * kKeysPerBlock;
    mKeyCount = std::min(std::max(count, 0), reserved);
    KeyModifyEnd();
}

bool KFCurve::BeginInternalBatch() {
    if (!mCallbackEnable) return false;
    KeyModifyBegin();
    return true;
}

void KFCurve::EndInternalBatch(bool opened) {
    if (opened) {
        KeyModifyEnd();
    } else {
        ++mUpdateId;
        ResetCandidate();
    }
}

int KFCurve::ReportEditedSpan(int first, int last) {
    mEventRecording = true;
    const bool opened = BeginInternalBatch();
    CallbackAddEvent(KFCURVEEVENT_KEY, first);
    CallbackAddEvent(KFCURVEEVENT_KEY, last);
    EndInternalBatch(opened);
    return 0;
}

// ---- Callbacks ---------------------------------------------------------

void KFCurve::CallbackRegister(kFCurveCallback callback, void* data) { mCallbacks.emplace_back(callback, data); }

void KFCurve::CallbackUnregister(kFCurveCallback callback, void* data) {
    if (!callback) return;
    for (auto it = mCallbacks.rbegin(); it != mCallbacks.rend(); ++it) {
        if (it->first == callback && it->second == data) {
            if (mDispatchDepth > 0) {
                it->first = nullptr;
                mCallbacksBlanked = true;
            } else {
                mCallbacks.erase(std::next(it).base());
            }
            return;
        }
    }
}

void KFCurve::DeliverPendingEvent() {
    // Deliver a copy, so that changes made by a callback form a new event
    // instead of being cleared with this one.
    KFCurveEvent event = mPendingEvent;
    mPendingEvent.Clear();
    // Callbacks may register others (the list may move): re-read it each time.
    ++mDispatchDepth;
    for (std::size_t k = 0; k < mCallbacks.size(); ++k) {
        const auto entry = mCallbacks[k];
        if (entry.first) entry.first(this, &event, entry.second);
    }
    if (--mDispatchDepth == 0 && mCallbacksBlanked) {
        mCallbacks.erase(std::remove_if(mCallbacks.begin(), mCallbacks.end(),
                                        [](const std::pair<kFCurveCallback, void*>& e) { return !e.first; }),
                         mCallbacks.end());
        mCallbacksBlanked = false;
    }
}

int KFCurve::CallbackEnable(bool enable) {
    const bool wasEnabled = mCallbackEnable;
    mCallbackEnable = enable;
    if (enable && !wasEnabled && mPendingEvent.mEventCount > 0) DeliverPendingEvent();
    return 0;
}

void KFCurve::CallbackAddEvent(int what, int index) {
    if (!mEventRecording) return;
    mPendingEvent.Add(what, index);
    mUpdateId += (what == KFCURVEEVENT_SELECTION) ? 0x10000u : 1u;
    if (!mCallbackEnable) return;
    DeliverPendingEvent();
}

// ---- Selection ---------------------------------------------------------

int KFCurve::SetKeysSelected(bool selected) {
    int changed = 0;
    int lowest = -1;
    int highest = -1;
    for (int i = mKeyCount - 1; i >= 0; --i) {
        KFCurveKey* key = KeyGetPtr(i);
        if (key->GetSelected() == selected) continue;
        key->SetSelected(selected);
        if (highest < 0) highest = i;
        lowest = i;
        ++changed;
    }
    if (changed == 1) {
        CallbackAddEvent(KFCURVEEVENT_SELECTION, lowest);
    } else if (changed > 1) {
        const bool opened = BeginInternalBatch();
        CallbackAddEvent(KFCURVEEVENT_SELECTION, highest);
        CallbackAddEvent(KFCURVEEVENT_SELECTION, lowest);
        EndInternalBatch(opened);
    }
    return changed;
}

void KFCurve::KeySelectAll() { SetKeysSelected(true); }

void KFCurve::KeyUnselectAll() { SetKeysSelected(false); }

int KFCurve::KeyGetSelectionCount() const {
    int selected = 0;
    for (int i = 0; i < mKeyCount; ++i)
        if (KeyGetPtr(i)->GetSelected()) ++selected;
    return selected;
}

// ---- Batch value edits -------------------------------------------------

template <class KeyOp>
int KFCurve::EditKeyValues(bool selectedOnly, KeyOp keyOp, bool emptyCurveEdits, float defaultFactor,
                           bool setDefault, float defaultValue) {
    mEventRecording = false;
    ResetCandidate();
    int first = -1;
    int last = -1;
    if (mKeyCount == 0) {
        if (emptyCurveEdits && (!selectedOnly || mSelected)) {
            if (setDefault)
                mValue = defaultValue;
            else
                mValue *= defaultFactor;
        }
    } else if (selectedOnly) {
        int changed = 0;
        for (int i = 0; i < mKeyCount; ++i) {
            KFCurveKey* key = KeyGetPtr(i);
            if (!key->GetSelected()) continue;
            keyOp(*key);
            if (first < 0) first = i;
            last = i;
            ++changed;
        }
        if (changed < 2) last = -1;
    } else {
        for (int i = 0; i < mKeyCount; ++i) keyOp(*KeyGetPtr(i));
        if (!setDefault) mValue *= defaultFactor;
        first = 0;
        last = mKeyCount - 1;
    }
    return ReportEditedSpan(first, last);
}

int KFCurve::KeyMoveValueTo(bool selectedOnly, float value) {
    return EditKeyValues(selectedOnly, [value](KFCurveKey& key) { key.SetValue(value); }, true, 1.0f, true, value);
}

int KFCurve::KeyScaleValue(bool selectedOnly, float factor) {
    return EditKeyValues(selectedOnly, [factor](KFCurveKey& key) { key.MultValue(factor); }, true, factor, false,
                         0.0f);
}

int KFCurve::KeyScaleValueAndTangeant(bool selectedOnly, float factor) {
    return EditKeyValues(
        selectedOnly,
        [factor](KFCurveKey& key) {
            key.MultValue(factor);
            key.MultTangeant(factor);
        },
        true, factor, false, 0.0f);
}

int KFCurve::KeyScaleTangeant(bool selectedOnly, float factor) {
    return EditKeyValues(selectedOnly, [factor](KFCurveKey& key) { key.MultTangeant(factor); }, false, factor,
                         false, 0.0f);
}

// ---- Numbering across extrapolation cycles -----------------------------

namespace {

// Sizes of the numbered regions. Products of a cycle count and a key count
// fit 64 bits; the sums are capped well above any int index.
struct CycleLayout {
    kLongLong n;          // keys
    kLongLong m;          // segments per cycle
    kLongLong preEnd;     // first number after the pre-extrapolation cycles
    kLongLong keysEnd;    // first number after the keys
    kLongLong postEnd;    // first number after the post-extrapolation cycles
};

constexpr kLongLong kNumberCap = kLongLong(1) << 62;

CycleLayout Layout(int keyCount, unsigned int preCount, unsigned int postCount) {
    CycleLayout l;
    l.n = keyCount;
    l.m = keyCount > 0 ? keyCount - 1 : 0;
    l.preEnd = std::min(static_cast<kLongLong>(preCount) * l.m, kNumberCap);
    l.keysEnd = l.preEnd + l.n;
    l.postEnd = l.keysEnd + std::min(static_cast<kLongLong>(postCount) * l.m, kNumberCap);
    return l;
}

}  // namespace

int KFCurve::KeyGetCountAll() const {
    if (mKeyCount == 0) return 0;
    const CycleLayout l = Layout(mKeyCount, mPreExtrapolationCount, mPostExtrapolationCount);
    return static_cast<int>(std::min(l.postEnd, static_cast<kLongLong>(INT_MAX)));
}

int KFCurve::MapIndexAll(int index, int& where) const {
    if (mKeyCount == 0) {
        where = 0;
        return -1;
    }
    const CycleLayout l = Layout(mKeyCount, mPreExtrapolationCount, mPostExtrapolationCount);
    const kLongLong a = index;
    kLongLong result;
    if (a < 0) {
        where = 0;
        result = 0;
    } else if (a < l.preEnd) {
        // Here m > 0: the region is empty for a single key.
        where = 1;
        const kLongLong r = a % l.m;
        switch (mPreExtrapolation) {
            case KFCURVE_EXTRAPOLATION_CONSTANT:
                result = 0;
                break;
            case KFCURVE_EXTRAPOLATION_REPETITION:
                result = r;
                break;
            case KFCURVE_EXTRAPOLATION_MIRROR: {
                // Cycles counted from the keys; the one next to them is mirrored.
                const kLongLong cycle = static_cast<kLongLong>(mPreExtrapolationCount) - 1 - a / l.m;
                result = (cycle % 2 == 0) ? l.n - 1 - r : r;
                break;
            }
            default:
                result = a;
                break;
        }
    } else if (a < l.keysEnd) {
        where = 2;
        result = a - l.preEnd;
    } else if (a < l.postEnd) {
        where = 3;
        const kLongLong b = a - l.keysEnd;
        switch (mPostExtrapolation) {
            case KFCURVE_EXTRAPOLATION_CONSTANT:
                result = l.n - 1;
                break;
            case KFCURVE_EXTRAPOLATION_REPETITION:
                result = (l.n - 1 + a - l.preEnd) % l.m;
                break;
            case KFCURVE_EXTRAPOLATION_MIRROR: {
                // A mirrored cycle runs from key n - 2 down to key 0, the next
                // one from key 1 up to key n - 1.
                const kLongLong r = b % l.m + 1;
                result = ((b / l.m) % 2 == 0) ? l.n - 1 - r : r;
                break;
            }
            default:
                result = a;
                break;
        }
    } else {
        where = 4;
        result = l.n - 1;
    }
    // Modes without a cycle mapping would otherwise name keys past the last one.
    return static_cast<int>(std::min(std::max(result, kLongLong(0)), l.n - 1));
}

KFCurveKey* KFCurve::KeyGetRawAll(int index) {
    int where;
    const int key = MapIndexAll(index, where);
    return key < 0 ? nullptr : KeyGetPtr(key);
}

KTime KFCurve::KeyGetTimeAll(int index) const {
    const int countAll = KeyGetCountAll();
    if (countAll == 0) return KTime::Infinite();
    const kLongLong a = std::min(std::max(index, 0), countAll - 1);
    const CycleLayout l = Layout(mKeyCount, mPreExtrapolationCount, mPostExtrapolationCount);
    // Far cycles of a long curve lie beyond the time line: held at its ends.
    using I128 = __int128;
    auto onTimeLine = [](I128 ticks) {
        return KTime(static_cast<kLongLong>(
            std::min<I128>(std::max<I128>(ticks, KTime::kMinusInfiniteTicks), KTime::kInfiniteTicks)));
    };
    auto at = [this](kLongLong key) { return static_cast<I128>(KeyTime(static_cast<int>(key)).Get()); };
    const I128 t0 = at(0);
    const I128 tn = at(l.n - 1);
    const I128 span = tn - t0;
    if (a < l.preEnd) {
        const kLongLong p = a % l.m;
        const kLongLong cycle = static_cast<kLongLong>(mPreExtrapolationCount) - 1 - a / l.m;
        // Reflected about the first key.
        if (mPreExtrapolation == KFCURVE_EXTRAPOLATION_MIRROR && cycle % 2 == 0)
            return onTimeLine(t0 + t0 - at(l.n - 1 - p) - cycle * span);
        return onTimeLine(at(p) - (cycle + 1) * span);
    }
    if (a < l.keysEnd) return KeyTime(static_cast<int>(a - l.preEnd));
    const kLongLong b = a - l.keysEnd;
    const kLongLong p = b % l.m;
    const kLongLong cycle = b / l.m;
    // Reflected about the last key.
    if (mPostExtrapolation == KFCURVE_EXTRAPOLATION_MIRROR && cycle % 2 == 0)
        return onTimeLine(tn + tn - at(l.n - 2 - p) + cycle * span);
    return onTimeLine(at(p + 1) + (cycle + 1) * span);
}

// ---- Key layout --------------------------------------------------------

KTime KFCurve::KeyGetAverageRate(bool* regular, KTime* interval, KTime* largest) const {
    KTime tolerance;
    tolerance.SetSecondDouble(0.0001);
    KTime result(0);
    KTime sum(0);
    if (regular) *regular = false;
    if (largest) *largest = KTime(0);
    for (int k = 1; k < mKeyCount; ++k) {
        const KTime d = KeyTime(k) - KeyTime(k - 1);
        sum += d;
        result = sum / KTime(k);
        if (regular) {
            *regular = d > result - tolerance && d < result + tolerance;
            if (*regular && interval) *interval = d;
        }
        if (largest && d > *largest) *largest = d;
    }
    return result;
}

int KFCurve::GuessWasData(KTime* start, KTime* period) const {
    int result = mKeyCount >= 2 ? 2 : 1;
    if (mKeyCount == 0) return result;
    if (start) *start = KeyTime(0);
    KTime reference(0);
    if (mKeyCount >= 2) {
        reference = KeyTime(1) - KeyTime(0);
        if (period) *period = reference;
    }
    for (int k = 1; k < mKeyCount; ++k) {
        const KFCurveKey* key = KeyGetPtr(k);
        const KFCurveKey* previous = KeyGetPtr(k - 1);
        const unsigned int interpolation = key->GetInterpolation();
        if ((interpolation & ~previous->GetInterpolation()) != 0) return 0;
        if (interpolation == KFCURVE_INTERPOLATION_CUBIC) {
            const unsigned int mode = key->GetTangeantMode();
            if (mode != KFCURVE_TANGEANT_AUTO && mode != KFCURVE_TANGEANT_AUTO_BREAK) return 0;
        }
        if (k >= 2) {
            const kLongLong drift = ((KeyTime(k) - KeyTime(k - 1)) - reference).Get();
            if (drift > 1 || drift < -1) result = 1;
        }
    }
    return result;
}

}  // namespace zeqsdk_400
