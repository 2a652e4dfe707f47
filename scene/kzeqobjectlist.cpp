#include "scene/kzeqobjectlist.h"

#include <algorithm>

namespace zeqsdk_400 {

namespace {
int LowBit(int i) { return i & -i; }
constexpr std::size_t kFirstIndexSize = 16;
// Entries placed together: their places are read first, the reads overlapping.
constexpr std::size_t kBatch = 64;
}  // namespace

std::size_t KZeqObjectList::Home(const void* object) const {
    // Fibonacci hashing: the top bits of the product, which every bit of the address reaches.
    const std::uint64_t key = reinterpret_cast<std::uintptr_t>(object);
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> mIndexShift);
}

long KZeqObjectList::Find(const void* object) const {
    Flush();
    if (!object || mIndex.empty()) return -1;
    const std::size_t mask = mIndex.size() - 1;
    for (std::size_t at = Home(object);; at = (at + 1) & mask) {
        if (mIndex[at].mObject == object) return static_cast<long>(at);
        if (!mIndex[at].mObject) return -1;
    }
}

int KZeqObjectList::SlotFor(const void* object) const {
    const long found = Find(object);
    return found < 0 ? -1 : mIndex[static_cast<std::size_t>(found)].mSlot;
}

void KZeqObjectList::KeepSlotsIn(const SlotKeeper* keeper) {
    if (mSlots.empty()) mKeeper = keeper;
}

void KZeqObjectList::Reserve(std::size_t entries) const {
    std::size_t size = mIndex.empty() ? kFirstIndexSize : mIndex.size();
    while (entries * 4 > size * 3) size *= 2;
    if (size == mIndex.size()) return;
    std::vector<IndexEntry> old(size, IndexEntry{nullptr, 0});
    old.swap(mIndex);
    mIndexShift = 64 - __builtin_ctzll(size);
    mIndexed = 0;
    IndexEntry batch[kBatch];
    std::size_t count = 0;
    for (const IndexEntry& entry : old) {
        if (!entry.mObject) continue;
        batch[count++] = entry;
        if (count == kBatch) {
            Place(batch, count);
            count = 0;
        }
    }
    Place(batch, count);
}

void KZeqObjectList::Place(const IndexEntry* entries, std::size_t count) const {
    const std::size_t mask = mIndex.size() - 1;
    std::size_t homes[kBatch];
    for (std::size_t first = 0; first < count; first += kBatch) {
        const std::size_t n = count - first < kBatch ? count - first : kBatch;
        // Independent reads of every home first, so that their waits overlap.
        std::uintptr_t sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            homes[i] = Home(entries[first + i].mObject);
            sum += reinterpret_cast<std::uintptr_t>(mIndex[homes[i]].mObject);
        }
        asm volatile("" : : "r"(sum));
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t at = homes[i];
            while (mIndex[at].mObject) at = (at + 1) & mask;
            mIndex[at] = entries[first + i];
        }
        mIndexed += n;
    }
}

void KZeqObjectList::Flush() const {
    if (mPending.empty()) return;
    Reserve(mIndexed + mPending.size());
    Place(mPending.data(), mPending.size());
    mPending.clear();
}

void KZeqObjectList::Unindex(const void* object) { UnindexAt(Find(object)); }

void KZeqObjectList::UnindexAt(long found) {
    if (found < 0) return;
    const std::size_t mask = mIndex.size() - 1;
    auto hole = static_cast<std::size_t>(found);
    // Later entries of the run move back into the hole when their home allows it.
    for (std::size_t at = (hole + 1) & mask; mIndex[at].mObject; at = (at + 1) & mask) {
        const std::size_t home = Home(mIndex[at].mObject);
        if (((at - home) & mask) >= ((at - hole) & mask)) {
            mIndex[hole] = mIndex[at];
            hole = at;
        }
    }
    mIndex[hole] = IndexEntry{nullptr, 0};
    --mIndexed;
}

void KZeqObjectList::Reindex() {
    mPending.clear();
    // A list emptied by many removals gives back most of its table: refilling
    // it costs its whole size, and a scene being cleared packs it again and again.
    std::size_t size = kFirstIndexSize;
    while (static_cast<std::size_t>(mCount) * 4 > size * 3) size *= 2;
    if (mIndex.size() >= size * 4) {
        std::vector<IndexEntry>(size, IndexEntry{nullptr, 0}).swap(mIndex);
        mIndexShift = 64 - __builtin_ctzll(size);
    } else {
        std::fill(mIndex.begin(), mIndex.end(), IndexEntry{nullptr, 0});
    }
    mIndexed = 0;
    Reserve(static_cast<std::size_t>(mCount));
    IndexEntry batch[kBatch];
    std::size_t count = 0;
    for (int slot = mHead; slot < static_cast<int>(mSlots.size()); ++slot) {
        if (void* object = mSlots[static_cast<std::size_t>(slot)]) batch[count++] = IndexEntry{object, slot};
        if (count == kBatch) {
            Place(batch, count);
            count = 0;
        }
    }
    Place(batch, count);
}

void* KZeqObjectList::GetAt(int index) const {
    if (index < 0 || index >= mCount) return nullptr;
    return mSlots[static_cast<std::size_t>(SlotOf(index))];
}

void KZeqObjectList::BuildTree() const {
    if (!mTree.empty() || mSlots.empty()) return;
    const int size = static_cast<int>(mSlots.size());
    mTree.resize(mSlots.size());
    for (int i = 0; i < size; ++i) mTree[static_cast<std::size_t>(i)] = mSlots[static_cast<std::size_t>(i)] ? 1 : 0;
    for (int i = 1; i <= size; ++i) {
        const int parent = i + LowBit(i);
        if (parent <= size) mTree[static_cast<std::size_t>(parent - 1)] += mTree[static_cast<std::size_t>(i - 1)];
    }
}

int KZeqObjectList::SlotOf(int index) const {
    if (mHoles == 0) return mHead + index;
    BuildTree();
    // Descend the tree to the slot holding the (index + 1)-th live entry.
    const int size = static_cast<int>(mTree.size());
    int slot = 0, remaining = index + 1, step = 1;
    while (step * 2 <= size) step *= 2;
    for (; step > 0; step /= 2) {
        const int next = slot + step;
        if (next <= size && mTree[static_cast<std::size_t>(next - 1)] < remaining) {
            slot = next;
            remaining -= mTree[static_cast<std::size_t>(next - 1)];
        }
    }
    return slot;
}

int KZeqObjectList::LiveBefore(int slot) const {
    int live = 0;
    for (int i = slot; i > 0; i -= LowBit(i)) live += mTree[static_cast<std::size_t>(i - 1)];
    return live;
}

bool KZeqObjectList::Add(void* object) {
    if (!object) return false;
    const int slot = static_cast<int>(mSlots.size());
    if (mKeeper) {
        // Slots read from objects of another list, or left from before, name other entries.
        const int kept = mKeeper->mGet(object);
        if (kept >= 0 && kept < slot && mSlots[static_cast<std::size_t>(kept)] == object) return false;
        mKeeper->mSet(object, slot);
        mPending.push_back(IndexEntry{object, slot});
        if (mPending.size() >= kBatch) Flush();
    } else {
        if (Find(object) >= 0) return false;
        Reserve(mIndexed + 1);
        const IndexEntry entry{object, slot};
        Place(&entry, 1);
    }
    mSlots.push_back(object);
    ++mCount;
    if (!mTree.empty()) {
        // Node i sums the slots (i - LowBit(i), i]: those before the new one come from prefix sums.
        const int i = static_cast<int>(mSlots.size());
        mTree.push_back(1 + LiveBefore(i - 1) - LiveBefore(i - LowBit(i)));
    }
    return true;
}

int KZeqObjectList::IndexOf(const void* object) const {
    const int slot = SlotFor(object);
    if (slot < 0) return -1;
    if (mHoles == 0) return slot - mHead;
    BuildTree();
    return LiveBefore(slot);
}

void KZeqObjectList::RemoveAt(int index) {
    if (index >= 0 && index < mCount) RemoveSlot(SlotOf(index));
}

bool KZeqObjectList::Remove(const void* object) {
    const int slot = SlotFor(object);
    if (slot < 0) return false;
    RemoveSlot(slot);
    return true;
}

bool KZeqObjectList::RemoveIf(const void* object, bool (*test)(const void* object)) {
    const long found = Find(object);
    if (found < 0 || (test && !test(object))) return false;
    RemoveSlot(mIndex[static_cast<std::size_t>(found)].mSlot, found);
    return true;
}

void KZeqObjectList::RemoveSlot(int slot, long found) {
    if (found < 0)
        Unindex(mSlots[static_cast<std::size_t>(slot)]);
    else
        UnindexAt(found);
    mSlots[static_cast<std::size_t>(slot)] = nullptr;
    for (int i = slot + 1; i <= static_cast<int>(mTree.size()); i += LowBit(i))
        --mTree[static_cast<std::size_t>(i - 1)];
    --mCount;
    ++mHoles;
    // Holes at the ends go at once: the head moves past them, the tail drops them.
    while (mHead < static_cast<int>(mSlots.size()) && !mSlots[static_cast<std::size_t>(mHead)]) {
        ++mHead;
        --mHoles;
    }
    while (static_cast<int>(mSlots.size()) > mHead && !mSlots.back()) {
        mSlots.pop_back();
        if (!mTree.empty()) mTree.pop_back();
        --mHoles;
    }
    if (mCount == 0)
        Clear();
    else if (mHead + mHoles > 64 && mHead + mHoles > mCount)
        Pack();
    else if (mHoles == 0)
        mTree.clear();
}

void KZeqObjectList::Pack() {
    int to = 0;
    for (std::size_t from = static_cast<std::size_t>(mHead); from < mSlots.size(); ++from) {
        void* object = mSlots[from];
        if (!object) continue;
        mSlots[static_cast<std::size_t>(to)] = object;
        if (mKeeper) mKeeper->mSet(object, to);
        ++to;
    }
    mSlots.resize(static_cast<std::size_t>(to));
    mTree.clear();
    mHead = 0;
    mHoles = 0;
    Reindex();
}

void KZeqObjectList::Clear() {
    mSlots.clear();
    mTree.clear();
    mHead = 0;
    mHoles = 0;
    mCount = 0;
    std::vector<IndexEntry>().swap(mIndex);
    mIndexed = 0;
    mPending.clear();
}

}  // namespace zeqsdk_400
