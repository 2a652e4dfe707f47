#ifndef ZEQ_SCENE_KZEQOBJECTLIST_H
#define ZEQ_SCENE_KZEQOBJECTLIST_H

#include <unordered_map>
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
    bool Contains(const void* object) const { return mIndex.count(object) != 0; }
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

    std::vector<void*> mSlots;  // null: a hole
    int mHead = 0;              // every slot before it is a hole
    int mHoles = 0;             // holes at or after the head
    int mCount = 0;
    std::unordered_map<const void*, int> mIndex;  // object to slot
    // One-based Fenwick tree of live slots; empty until asked for while holes exist.
    mutable std::vector<int> mTree;
};

}  // namespace zeqsdk_400

#endif
