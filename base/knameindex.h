#ifndef ZEQ_BASE_KNAMEINDEX_H
#define ZEQ_BASE_KNAMEINDEX_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "base/kstepcount.h"

namespace zeqsdk_400 {

// Advanced by every rename of one kind of name that the lists holding such names do not hear of
// (a name record shared between entries, a name given out for writing): each index of that kind
// built before is then stale.
class KNameEpoch {
public:
    void Advance() { mValue.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t Get() const { return mValue.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> mValue{0};
};

// Positions of a list of named entries by name, for a list searched by name many times over: its
// owner builds the index on first need, tells it of each entry appended, and drops it on any other
// change to the list. Only a hash of each name is kept: the owner confirms a position by comparing
// the names, so a collision costs one search in place, never a wrong answer. Entries whose names
// may change without the owner hearing of it are kept apart as volatile, and compared on every
// search.
class KNameIndex {
public:
    enum ECase { eExact, eNoCase };
    // Shorter lists are searched in place: an index would cost more than it saves (an object's
    // few dozen built-in properties, searched a few times each, among them).
    static constexpr int kMinCount = 64;
    // Find's answer when the list must be searched in place.
    static constexpr int kSearchInPlace = -2;

    explicit KNameIndex(ECase mode) : mMode(mode) {}

    // index, made on first need, holding a list's count entries as of the epoch: a stale one is
    // filled anew from entry(position), the entry's name and whether it is volatile, each entry
    // counted as a search step.
    template <class Entry>
    static const KNameIndex& Current(std::unique_ptr<KNameIndex>& index, ECase mode, const KNameEpoch& epoch,
                                     int count, Entry entry) {
        if (!index) index = std::make_unique<KNameIndex>(mode);
        if (!index->IsCurrent(count, epoch)) {
            index->Reset(epoch, count);
            for (int i = 0; i < count; ++i) {
                const std::pair<const char*, bool> named = entry(i);
                index->Append(named.first, named.second);
            }
            KCountSteps(KStepKind::eSearch, static_cast<std::uint64_t>(count));
        }
        return *index;
    }

    // Whether the index holds the list's count entries as of the epoch.
    bool IsCurrent(int count, const KNameEpoch& epoch) const {
        return mCount == count && mEpoch == epoch.Get();
    }
    // Empty, as of the epoch's present value, with room for count entries.
    void Reset(const KNameEpoch& epoch, int count);
    void Drop() { mCount = -1; }
    // The list's next entry (position GetCount()), named name.
    void Append(const char* name, bool isVolatile);
    int GetCount() const { return mCount; }

    // The first position named name as matches(position) confirms, -1 when none, kSearchInPlace when a
    // position the index holds for the name is not confirmed (a collision). steps, when given, counts
    // the look-up and each volatile entry compared.
    template <class Matches>
    int Find(const char* name, Matches matches, std::uint64_t* steps = nullptr) const {
        if (steps) ++*steps;
        int found = FirstOf(Hash(name));
        if (found >= 0 && !matches(found)) return kSearchInPlace;
        for (int position : mVolatile) {
            if (found >= 0 && position > found) break;
            if (steps) ++*steps;
            if (matches(position)) return position;
        }
        return found;
    }

private:
    // Open addressing, a power of two of slots at most half full: one memory wait per search.
    struct Slot {
        std::uint64_t mHash;
        int mPosition;  // -1: empty
    };
    std::uint64_t Hash(const char* name) const;
    int FirstOf(std::uint64_t hash) const;
    // Keeps the first position given for a hash.
    void Insert(std::uint64_t hash, int position);

    ECase mMode;
    int mCount = -1;
    int mUsed = 0;
    std::uint64_t mEpoch = 0;
    std::vector<Slot> mSlots;
    std::vector<int> mVolatile;
};

// The first of a list's count entries that matches(position) confirms as named name, -1 when none:
// a long list through the index that index() gives, a short one (or a collision in the index) in
// place; each look-up and name compared counted as a search step.
template <class Index, class Matches>
int KFindNamed(int count, const char* name, Index index, Matches matches) {
    std::uint64_t steps = 0;
    int found = count >= KNameIndex::kMinCount ? index().Find(name, matches, &steps) : KNameIndex::kSearchInPlace;
    if (found == KNameIndex::kSearchInPlace) {
        found = -1;
        for (int i = 0; i < count && found < 0; ++i, ++steps)
            if (matches(i)) found = i;
    }
    KCountSteps(KStepKind::eSearch, steps);
    return found;
}

}  // namespace zeqsdk_400

#endif
