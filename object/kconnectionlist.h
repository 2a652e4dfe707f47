#ifndef ZEQ_OBJECT_KCONNECTIONLIST_H
#define ZEQ_OBJECT_KCONNECTIONLIST_H

#include <cstdint>
#include <memory>
#include <vector>

namespace zeqsdk_400 {

// A connection as one plug records it: the other plug's handle (slot and
// identifier, never 0 for a plug) and the connection type.
struct KConnection {
    std::uint32_t mSlot;
    std::uint32_t mId;
    int mType;
};

// One side of a plug's connections (its sources or its destinations), in
// connection order, each plug at most once.
//
// A short list is a plain array. A long one (a parent with many children)
// also maps each plug to its position, and a removal only marks the entry
// dead: finding and removing then cost O(1) at either end of the list, and
// O(log n) elsewhere once a removal inside the list has made a Fenwick tree
// of the live entries necessary. Dead entries are swept once they are as many
// as the live ones.
class KConnectionList {
public:
    KConnectionList();
    ~KConnectionList();
    KConnectionList(const KConnectionList&) = delete;
    KConnectionList& operator=(const KConnectionList&) = delete;

    int GetCount() const { return static_cast<int>(mItems.size()) - mDead; }
    // index in 0..count-1.
    const KConnection& GetAt(int index) const {
        return mItems[mDead == 0 ? static_cast<std::size_t>(index) : Position(index)];
    }
    // Index of the plug's entry, -1 when none.
    int Find(std::uint32_t slot, std::uint32_t id) const;
    // index in 0..count (count appends).
    void InsertAt(int index, const KConnection& connection);
    // index in 0..count-1.
    void RemoveAt(int index);
    // Moves the entries out, in order, and leaves the list empty.
    void TakeAll(std::vector<KConnection>& out);

private:
    struct Index;
    std::size_t Position(int index) const;
    // Drops the dead entries and rebuilds the index, or drops the index when
    // the list has become short.
    void Rebuild();

    std::vector<KConnection> mItems;
    int mDead = 0;                  // dead entries (long lists only)
    std::unique_ptr<Index> mIndex;  // long lists only
};

}  // namespace zeqsdk_400

#endif
