#include "object/kconnectionlist.h"

#include <algorithm>

namespace zeqsdk_400 {

namespace {

// A list this long gets its index; it drops it again below half that, so that
// a list around the limit does not rebuild at every change.
constexpr std::size_t kIndexFrom = 64;
constexpr std::size_t kPlainBelow = kIndexFrom / 2;

std::size_t LowBit(std::size_t k) { return k & (~k + 1); }

std::uint64_t KeyOf(const KConnection& c) { return (std::uint64_t(c.mSlot) << 32) | c.mId; }
bool IsDead(const KConnection& c) { return c.mId == 0; }

}  // namespace

struct KConnectionList::Index {
    std::size_t mHead = 0;    // dead entries before the first live one
    std::uint64_t mBase = 0;  // a mapped position minus mBase is the entry's place in the array

    // Plug to position, open addressing, at most half full. Entries of removed
    // plugs stay until the next rebuild and are told apart by the entry they
    // lead to.
    struct Mapped {
        std::uint64_t mKey;  // 0: free (a plug's identifier is never 0)
        std::uint64_t mPosition;
    };
    std::vector<Mapped> mMap;
    std::size_t mMapped = 0;

    // Fenwick tree over the entries (1 live, 0 dead); empty while every dead
    // entry leads the array, positions then following from mHead.
    std::vector<int> mTree;

    std::size_t Home(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (mMap.size() - 1);
    }

    // The array position of a mapped entry, npos for a removed plug.
    std::size_t PositionOf(const Mapped& m, const std::vector<KConnection>& items) const {
        const std::uint64_t at = m.mPosition - mBase;  // wraps for entries swept since
        return m.mKey && at < items.size() && KeyOf(items[at]) == m.mKey ? static_cast<std::size_t>(at) : npos;
    }

    std::size_t Lookup(std::uint64_t key, const std::vector<KConnection>& items) const {
        for (std::size_t i = Home(key);; i = (i + 1) & (mMap.size() - 1)) {
            if (mMap[i].mKey == key) return PositionOf(mMap[i], items);
            if (mMap[i].mKey == 0) return npos;
        }
    }

    void ClearMap(std::size_t room) {
        std::size_t size = 16;
        while (size < room * 2) size *= 2;
        mMap.assign(size, Mapped{0, 0});
        mMapped = 0;
    }

    void Map(std::uint64_t key, std::size_t position, const std::vector<KConnection>& items) {
        if ((mMapped + 1) * 2 > mMap.size()) {
            // Grown without the entries of removed plugs.
            std::vector<Mapped> old;
            old.swap(mMap);
            ClearMap(old.size());
            for (const Mapped& m : old)
                if (PositionOf(m, items) != npos) Insert(m.mKey, m.mPosition);
        }
        Insert(key, position + mBase);
    }

    void Insert(std::uint64_t key, std::uint64_t position) {
        std::size_t i = Home(key);
        while (mMap[i].mKey != 0 && mMap[i].mKey != key) i = (i + 1) & (mMap.size() - 1);
        if (mMap[i].mKey == 0) ++mMapped;
        mMap[i] = Mapped{key, position};
    }

    bool OnlyLeadingDead(int dead) const { return static_cast<std::size_t>(dead) == mHead; }

    void BuildTree(const std::vector<KConnection>& items) {
        // In linear time: each node passes its count on to its parent.
        mTree.resize(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) mTree[i] = IsDead(items[i]) ? 0 : 1;
        for (std::size_t k = 1; k <= mTree.size(); ++k) {
            const std::size_t parent = k + LowBit(k);
            if (parent <= mTree.size()) mTree[parent - 1] += mTree[k - 1];
        }
    }

    // Live entries before a position.
    int LiveBefore(std::size_t position) const {
        int count = 0;
        for (std::size_t k = position; k > 0; k -= LowBit(k)) count += mTree[k - 1];
        return count;
    }

    // The position whose live entries up to and including it number index + 1.
    std::size_t Select(int index) const {
        std::size_t position = 0;
        int remaining = index + 1;
        std::size_t step = 1;
        while (step * 2 <= mTree.size()) step *= 2;
        for (; step; step /= 2) {
            if (position + step <= mTree.size() && mTree[position + step - 1] < remaining) {
                position += step;
                remaining -= mTree[position - 1];
            }
        }
        return position;
    }

    static constexpr std::size_t npos = ~std::size_t(0);
};

KConnectionList::KConnectionList() = default;
KConnectionList::~KConnectionList() = default;

std::size_t KConnectionList::Position(int index) const {
    if (mDead == 0) return static_cast<std::size_t>(index);
    return mIndex->OnlyLeadingDead(mDead) ? mIndex->mHead + static_cast<std::size_t>(index) : mIndex->Select(index);
}

int KConnectionList::Find(std::uint32_t slot, std::uint32_t id) const {
    const int count = GetCount();
    if (id == 0 || count == 0) return -1;
    const KConnection wanted{slot, id, 0};
    const std::uint64_t key = KeyOf(wanted);
    if (mIndex) {
        // The ends first: entries are mostly removed from one of them.
        if (KeyOf(mItems.back()) == key) return count - 1;
        if (KeyOf(mItems[mIndex->mHead]) == key) return 0;
        const std::size_t at = mIndex->Lookup(key, mItems);
        if (at == Index::npos) return -1;
        return mIndex->OnlyLeadingDead(mDead) ? static_cast<int>(at - mIndex->mHead) : mIndex->LiveBefore(at);
    }
    // From both ends at once, for the same reason.
    for (int low = 0, high = count - 1; low <= high; ++low, --high) {
        if (KeyOf(mItems[static_cast<std::size_t>(low)]) == key) return low;
        if (KeyOf(mItems[static_cast<std::size_t>(high)]) == key) return high;
    }
    return -1;
}

void KConnectionList::InsertAt(int index, const KConnection& connection) {
    if (!mIndex) {
        mItems.insert(mItems.begin() + index, connection);
        if (mItems.size() >= kIndexFrom) Rebuild();
        return;
    }
    if (index < GetCount()) {
        // Inside the list (rare): placed before the entry now at index.
        mItems.insert(mItems.begin() + static_cast<std::ptrdiff_t>(Position(index)), connection);
        Rebuild();
        return;
    }
    const std::size_t position = mItems.size();
    mItems.push_back(connection);
    mIndex->Map(KeyOf(connection), position, mItems);
    std::vector<int>& tree = mIndex->mTree;
    if (!tree.empty()) {
        // The new node covers (k - LowBit(k), k].
        const std::size_t k = position + 1;
        tree.push_back(1 + mIndex->LiveBefore(position) - mIndex->LiveBefore(k - LowBit(k)));
    }
}

void KConnectionList::RemoveAt(int index) {
    if (!mIndex) {
        mItems.erase(mItems.begin() + index);
        return;
    }
    Index& x = *mIndex;
    const std::size_t position = Position(index);
    const bool inside = position != x.mHead && position + 1 != mItems.size();
    mItems[position] = KConnection{0, 0, 0};
    ++mDead;
    if (!x.mTree.empty()) {
        for (std::size_t k = position + 1; k <= x.mTree.size(); k += LowBit(k)) --x.mTree[k - 1];
    } else if (inside) {
        x.BuildTree(mItems);
    }
    while (x.mHead < mItems.size() && IsDead(mItems[x.mHead])) ++x.mHead;
    // Dead entries at the end are cut off (a Fenwick tree may be shortened).
    while (!mItems.empty() && IsDead(mItems.back())) {
        mItems.pop_back();
        if (!x.mTree.empty()) x.mTree.pop_back();
        --mDead;
    }
    x.mHead = std::min(x.mHead, mItems.size());
    const std::size_t count = static_cast<std::size_t>(GetCount());
    if (count < kPlainBelow) {
        Rebuild();
    } else if (static_cast<std::size_t>(mDead) > count) {
        if (!x.OnlyLeadingDead(mDead) || x.mMapped > 4 * count) {
            Rebuild();
            return;
        }
        // Only leading entries are dead: the map still holds once mBase moves on.
        mItems.erase(mItems.begin(), mItems.begin() + static_cast<std::ptrdiff_t>(x.mHead));
        x.mBase += x.mHead;
        x.mHead = 0;
        mDead = 0;
        x.mTree.clear();
    }
}

void KConnectionList::TakeAll(std::vector<KConnection>& out) {
    out.clear();
    for (const KConnection& c : mItems)
        if (!IsDead(c)) out.push_back(c);
    mItems.clear();
    Rebuild();
}

void KConnectionList::Rebuild() {
    mItems.erase(std::remove_if(mItems.begin(), mItems.end(), IsDead), mItems.end());
    mDead = 0;
    if (mItems.size() < kPlainBelow) {
        mIndex.reset();
        return;
    }
    if (!mIndex) mIndex = std::make_unique<Index>();
    mIndex->mHead = 0;
    mIndex->mBase = 0;
    std::vector<int>().swap(mIndex->mTree);
    mIndex->ClearMap(mItems.size());
    for (std::size_t i = 0; i < mItems.size(); ++i) mIndex->Insert(KeyOf(mItems[i]), i);
}

}  // namespace zeqsdk_400
