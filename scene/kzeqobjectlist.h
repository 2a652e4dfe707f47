#ifndef ZEQ_SCENE_KZEQOBJECTLIST_H
#define ZEQ_SCENE_KZEQOBJECTLIST_H

#include <cstdint>
#include <vector>

namespace zeqsdk_400 {

// One of the manager's object lists: pointers in creation order, each listed
// once, with an identity index (object to slot) so that finding or removing
// an object never walks the list. A removed entry leaves a hole in its slot,
// and the slots are packed again once the holes outnumber the entries. Without
// holes a position is its slot; with holes, positions are counted through a
// tree of counts over the slots (a Fenwick tree), built on the first question
// by position and kept up from then on. So removing costs amortised constant
// time, and asking by position logarithmic time at most.
//
// The identity index is one flat open-addressing table (linear probing,
// deletion by shifting back), so that lists of millions of entries, such as
// the user properties of a big scene, grow and answer without a memory block
// per entry.
class KZeqObjectList {
public:
    KZeqObjectList() = default;
    KZeqObjectList(const KZeqObjectList&) = delete;
    KZeqObjectList& operator=(const KZeqObjectList&) = delete;

    int GetCount() const { return mCount; }
    // Null outside 0..count-1.
    void* GetAt(int index) const;
    // Appends; false for null or an object already listed.
    bool Add(void* object);
    bool Contains(const void* object) const { return Find(object) >= 0; }
    // Position of the object, -1 when it is not listed.
    int IndexOf(const void* object) const;
    // Later entries move down by one; out of range is ignored.
    void RemoveAt(int index);
    // False when the object is not listed.
    bool Remove(const void* object);
    void Clear();

private:
    int SlotOf(int index) const;
    void RemoveSlot(int slot);
    // Live entries in the slots before slot; the tree must be built.
    int LiveBefore(int slot) const;
    void BuildTree() const;
    void Pack();

    struct IndexEntry {
        const void* mObject;  // null: free
        int mSlot;
    };
    std::size_t Home(const void* object) const;
    // Table position of the object, -1 when it is not listed.
    long Find(const void* object) const;
    // Adds or updates the object's slot.
    void Index(const void* object, int slot);
    void Unindex(const void* object);
    void Rehash(std::size_t size);

    std::vector<void*> mSlots;  // null: a hole
    int mHead = 0;              // every slot before it is a hole
    int mHoles = 0;             // holes at or after the head
    int mCount = 0;
    std::vector<IndexEntry> mIndex;  // object to slot; a power of two in size, at most three quarters used
    std::size_t mIndexed = 0;
    int mIndexShift = 64;  // 64 less the base-2 logarithm of the table size
    // One-based Fenwick tree of live slots; empty until asked for while holes exist.
    mutable std::vector<int> mTree;
};

}  // namespace zeqsdk_400

#endif
