#ifndef ZEQ_SCENE_KZEQOBJECTLIST_H
#define ZEQ_SCENE_KZEQOBJECTLIST_H

#include <cstdint>
#include <unordered_map>

#include "base/karray.h"

namespace zeqsdk_400 {

// One of the manager's object lists: pointers in creation order, each listed
// once, with an identity index so that finding an entry never walks the list.
// Each entry carries the sequence number it was appended with; the index maps
// an object to its number, and the position is found by binary search since
// the numbers rise along the list. Removals at the front only advance a head
// mark, so the list empties from either end in constant time per entry.
class KZeqObjectList {
public:
    KZeqObjectList() = default;
    KZeqObjectList(const KZeqObjectList&) = delete;
    KZeqObjectList& operator=(const KZeqObjectList&) = delete;

    int GetCount() const { return mEntries.GetCount() - mHead; }
    // Null outside 0..count-1.
    void* GetAt(int index) const;
    // Appends; false for null or an object already listed.
    bool Add(void* object);
    // Position of the object, -1 when it is not listed.
    int IndexOf(const void* object) const;
    // Later entries move down by one; out of range is ignored.
    void RemoveAt(int index);
    void Clear();

private:
    struct Entry {
        void* mObject;
        std::uint64_t mSequence;
    };
    void Compact();

    KArrayTemplate<Entry> mEntries;
    int mHead = 0;  // entries before it were removed from the front
    std::uint64_t mNextSequence = 0;
    std::unordered_map<const void*, std::uint64_t> mIndex;
};

}  // namespace zeqsdk_400

#endif
