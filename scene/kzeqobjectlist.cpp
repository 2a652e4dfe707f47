#include "scene/kzeqobjectlist.h"

namespace zeqsdk_400 {

void* KZeqObjectList::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return mEntries[mHead + index].mObject;
}

bool KZeqObjectList::Add(void* object) {
    if (!object || mIndex.count(object)) return false;
    if (mEntries.Add(Entry{object, mNextSequence}) < 0) return false;
    mIndex.emplace(object, mNextSequence++);
    return true;
}

int KZeqObjectList::IndexOf(const void* object) const {
    auto found = mIndex.find(object);
    if (found == mIndex.end()) return -1;
    const std::uint64_t sequence = found->second;
    int low = mHead, high = mEntries.GetCount();
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (mEntries[middle].mSequence < sequence)
            low = middle + 1;
        else
            high = middle;
    }
    return low < mEntries.GetCount() && mEntries[low].mSequence == sequence ? low - mHead : -1;
}

void KZeqObjectList::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return;
    mIndex.erase(mEntries[mHead + index].mObject);
    if (index == 0) {
        ++mHead;
        Compact();
    } else {
        mEntries.RemoveAt(mHead + index);
    }
}

void KZeqObjectList::Compact() {
    if (mHead == mEntries.GetCount()) {
        mEntries.RemoveRange(0, mHead);
        mHead = 0;
    } else if (mHead > 64 && mHead > GetCount()) {
        // Amortised: the moved entries are fewer than the removals that led here.
        mEntries.RemoveRange(0, mHead);
        mHead = 0;
    }
}

void KZeqObjectList::Clear() {
    mEntries.Clear();
    mHead = 0;
    mIndex.clear();
}

}  // namespace zeqsdk_400
