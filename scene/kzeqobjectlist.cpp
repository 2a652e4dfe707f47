#include "scene/kzeqobjectlist.h"

namespace zeqsdk_400 {

namespace {
int LowBit(int i) { return i & -i; }
}  // namespace

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
    if (!object || mIndex.count(object)) return false;
    mIndex.emplace(object, static_cast<int>(mSlots.size()));
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
    auto found = mIndex.find(object);
    if (found == mIndex.end()) return -1;
    if (mHoles == 0) return found->second - mHead;
    BuildTree();
    return LiveBefore(found->second);
}

void KZeqObjectList::RemoveAt(int index) {
    if (index >= 0 && index < mCount) RemoveSlot(SlotOf(index));
}

bool KZeqObjectList::Remove(const void* object) {
    auto found = mIndex.find(object);
    if (found == mIndex.end()) return false;
    RemoveSlot(found->second);
    return true;
}

void KZeqObjectList::RemoveSlot(int slot) {
    mIndex.erase(mSlots[static_cast<std::size_t>(slot)]);
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
        mIndex[object] = to++;
    }
    mSlots.resize(static_cast<std::size_t>(to));
    mTree.clear();
    mHead = 0;
    mHoles = 0;
}

void KZeqObjectList::Clear() {
    mSlots.clear();
    mTree.clear();
    mHead = 0;
    mHoles = 0;
    mCount = 0;
    mIndex.clear();
}

}  // namespace zeqsdk_400
