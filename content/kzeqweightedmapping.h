#ifndef ZEQ_CONTENT_KZEQWEIGHTEDMAPPING_H
#define ZEQ_CONTENT_KZEQWEIGHTEDMAPPING_H

#include <cstdint>
#include <type_traits>

#include "base/karray.h"

namespace zeqsdk_400 {

// Weighted relations between a source set and a destination set, each
// relation stored on both sides in the order it was added: { destination,
// weight } in the source element's list and { source, weight } in the
// destination element's. A plain value owned by its user.
//
// Meant for millions of relations (a tessellated surface relates every
// evaluated point to its control points): the lists of one set share one
// block of records, a list moving to the block's end, twice as long, when it
// outgrows its room, so no element costs an allocation of its own.
// Indices outside a set are ignored (counts 0, sums 0.0, index -1).
class KZeqWeightedMapping {
public:
    enum ESet : int { eSOURCE = 0, eDESTINATION = 1 };

    struct KElement {
        int mIndex;  // the related element of the other set
        double mWeight;
    };

    KZeqWeightedMapping(int sourceCount, int destinationCount);
    KZeqWeightedMapping(const KZeqWeightedMapping&) = delete;
    KZeqWeightedMapping& operator=(const KZeqWeightedMapping&) = delete;
    ~KZeqWeightedMapping() { Clear(); }

    // Clear, then that many empty lists per set (none for a count of 0 or less).
    void Reset(int sourceCount, int destinationCount);
    // Both counts 0.
    void Clear();

    // No check for an existing relation: a pair added twice has two.
    void Add(int sourceIndex, int destinationIndex, double weight);

    int GetElementCount(ESet set) const;
    int GetRelationCount(ESet set, int element) const;
    // The record itself, writable in place until the next Add. Out of range:
    // a scratch record, zeroed.
    KElement& GetRelation(ESet set, int element, int relation);
    // Position of the element's first relation to index of the other set, -1 when none.
    int GetRelationIndex(ESet set, int element, int index) const;
    // Sum of the weights, of their absolute values when absolute is true.
    double GetRelationSum(ESet set, int element, bool absolute) const;
    // Each element's weights divided by their sum (taken once, before any
    // change; 0.0 when it is 0.0), absolute when asked; each result also goes
    // into its mirror: the n-th relation of i to s is mirrored by the n-th of s to i.
    void Normalize(ESet set, bool absolute);

private:
    // One element's list: where it lies in its set's block.
    struct KList {
        std::int64_t mOffset;
        int mCount;
        int mCapacity;
    };
    struct KSide {
        KArrayTemplate<KList> mLists{256};
        KArrayTemplate<KElement> mRecords{4096};
    };
    static ESet Other(ESet set) { return set == eSOURCE ? eDESTINATION : eSOURCE; }
    KSide& Side(ESet set) { return mSides[set == eSOURCE ? 0 : 1]; }
    const KSide& Side(ESet set) const { return mSides[set == eSOURCE ? 0 : 1]; }
    // The element's list, null out of range.
    const KList* ListOf(ESet set, int element) const;
    KElement* RecordsOf(ESet set, const KList& list) {
        return Side(set).mRecords.GetArray() + list.mOffset;
    }
    const KElement* RecordsOf(ESet set, const KList& list) const {
        return Side(set).mRecords.GetArray() + list.mOffset;
    }
    // Appends one record to the element's list; false when memory runs out.
    bool Append(ESet set, int element, const KElement& record);

    KSide mSides[2];
    KElement mScratch{0, 0.0};
};

static_assert(std::is_trivially_copyable<KZeqWeightedMapping::KElement>::value &&
                  sizeof(KZeqWeightedMapping::KElement) == 16,
              "an int and a double");

}  // namespace zeqsdk_400

#endif
