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
// deletion by shifting back), so that lists of millions of entries grow and
// answer without a memory block per entry. Such a table is far larger than
// the caches (a big scene's user properties number millions), and entries
// placed one at a time would each wait on memory. So a kind whose objects
// keep their own slot is checked for doubles through the object at hand (an
// object being added is alive), and its entries join the table in batches,
// whose places are read together first. Questions that may name an object
// that has ended (Contains, IndexOf, Remove) are answered by the table alone,
// which never reads the object.
class KZeqObjectList {
public:
    // How an object keeps its slot: read it (any value when never written) and write it.
    struct SlotKeeper {
        int (*mGet)(const void* object);
        void (*mSet)(void* object, int slot);
    };

    KZeqObjectList() = default;
    KZeqObjectList(const KZeqObjectList&) = delete;
    KZeqObjectList& operator=(const KZeqObjectList&) = delete;

    int GetCount() const { return mCount; }
    // Null outside 0..count-1.
    void* GetAt(int index) const;
    // Appends; false for null or an object already listed.
    bool Add(void* object);
    bool Contains(const void* object) const { return SlotFor(object) >= 0; }
    // Position of the object, -1 when it is not listed.
    int IndexOf(const void* object) const;
    // Later entries move down by one; out of range is ignored.
    void RemoveAt(int index);
    // False when the object is not listed.
    bool Remove(const void* object);
    // Removes the object when it is listed and test(object) holds: the test
    // only ever sees a listed object. One search of the table.
    bool RemoveIf(const void* object, bool (*test)(const void* object));
    void Clear();
    // Only while the list is empty; the keeper outlives the list.
    void KeepSlotsIn(const SlotKeeper* keeper);

private:
    int SlotOf(int index) const;
    // The table position of the slot's object when known (-1: searched).
    void RemoveSlot(int slot, long found = -1);
    // Live entries in the slots before slot; the tree must be built.
    int LiveBefore(int slot) const;
    void BuildTree() const;
    void Pack();

    struct IndexEntry {
        const void* mObject;  // null: free
        int mSlot;
    };
    // The object's slot, -1 when it is not listed.
    int SlotFor(const void* object) const;
    // Table position of the object, -1 when the table has none.
    long Find(const void* object) const;
    void Unindex(const void* object);
    void UnindexAt(long found);
    // The table rebuilt from the slots, smaller when most entries have gone.
    void Reindex();
    // Entries waiting for their place go to the table.
    void Flush() const;
    std::size_t Home(const void* object) const;
    // Room for that many entries, at most three quarters of the table.
    void Reserve(std::size_t entries) const;
    // Entries not in the table, room reserved.
    void Place(const IndexEntry* entries, std::size_t count) const;

    std::vector<void*> mSlots;  // null: a hole
    int mHead = 0;              // every slot before it is a hole
    int mHoles = 0;             // holes at or after the head
    int mCount = 0;
    // Object to slot; a power of two in size, at most three quarters used.
    mutable std::vector<IndexEntry> mIndex;
    mutable std::size_t mIndexed = 0;
    mutable int mIndexShift = 64;  // 64 less the base-2 logarithm of the table size
    mutable std::vector<IndexEntry> mPending;  // added, not yet in the table
    const SlotKeeper* mKeeper = nullptr;      // null: doubles are looked for in the table
    // One-based Fenwick tree of live slots; empty until asked for while holes exist.
    mutable std::vector<int> mTree;
};

}  // namespace zeqsdk_400

#endif
