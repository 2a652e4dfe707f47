#include "content/kzeqweightedmapping.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace zeqsdk_400 {

namespace {

constexpr int kFirstCapacity = 4;

}  // namespace

KZeqWeightedMapping::KZeqWeightedMapping(int sourceCount, int destinationCount) {
    Reset(sourceCount, destinationCount);
}

void KZeqWeightedMapping::Reset(int sourceCount, int destinationCount) {
    Clear();
    const int counts[2] = {sourceCount, destinationCount};
    for (int s = 0; s < 2; ++s)
        if (counts[s] > 0 && mSides[s].mLists.AddMultiple(counts[s]) < 0) mSides[s].mLists.Clear();
}

void KZeqWeightedMapping::Clear() {
    for (KSide& side : mSides) {
        side.mLists.Clear();
        side.mRecords.Clear();
    }
}

const KZeqWeightedMapping::KList* KZeqWeightedMapping::ListOf(ESet set, int element) const {
    const KArrayTemplate<KList>& lists = Side(set).mLists;
    return element >= 0 && element < lists.GetCount() ? &lists[element] : nullptr;
}

bool KZeqWeightedMapping::Append(ESet set, int element, const KElement& record) {
    KSide& side = Side(set);
    KList list = side.mLists[element];
    if (list.mCount == list.mCapacity) {
        const int capacity = list.mCapacity == 0 ? kFirstCapacity : list.mCapacity * 2;
        if (capacity < list.mCapacity) return false;
        const std::int64_t end = side.mRecords.GetCount();
        if (list.mCapacity > 0 && list.mOffset + list.mCapacity == end) {
            // Last in the block: it grows where it is.
            if (side.mRecords.AddMultiple(capacity - list.mCapacity) < 0) return false;
        } else {
            if (side.mRecords.AddMultiple(capacity) < 0) return false;
            KElement* records = side.mRecords.GetArray();
            std::copy(records + list.mOffset, records + list.mOffset + list.mCount, records + end);
            list.mOffset = end;
        }
        list.mCapacity = capacity;
    }
    side.mRecords[static_cast<int>(list.mOffset + list.mCount)] = record;
    ++list.mCount;
    side.mLists[element] = list;
    return true;
}

void KZeqWeightedMapping::Add(int sourceIndex, int destinationIndex, double weight) {
    if (!ListOf(eSOURCE, sourceIndex) || !ListOf(eDESTINATION, destinationIndex)) return;
    if (Append(eSOURCE, sourceIndex, KElement{destinationIndex, weight}))
        Append(eDESTINATION, destinationIndex, KElement{sourceIndex, weight});
}

int KZeqWeightedMapping::GetElementCount(ESet set) const { return Side(set).mLists.GetCount(); }

int KZeqWeightedMapping::GetRelationCount(ESet set, int element) const {
    const KList* list = ListOf(set, element);
    return list ? list->mCount : 0;
}

KZeqWeightedMapping::KElement& KZeqWeightedMapping::GetRelation(ESet set, int element, int relation) {
    const KList* list = ListOf(set, element);
    if (!list || relation < 0 || relation >= list->mCount) {
        mScratch = KElement{0, 0.0};
        return mScratch;
    }
    return RecordsOf(set, *list)[relation];
}

int KZeqWeightedMapping::GetRelationIndex(ESet set, int element, int index) const {
    const KList* list = ListOf(set, element);
    if (!list) return -1;
    const KElement* records = RecordsOf(set, *list);
    for (int r = 0; r < list->mCount; ++r)
        if (records[r].mIndex == index) return r;
    return -1;
}

double KZeqWeightedMapping::GetRelationSum(ESet set, int element, bool absolute) const {
    const KList* list = ListOf(set, element);
    if (!list) return 0.0;
    const KElement* records = RecordsOf(set, *list);
    double sum = 0.0;
    for (int r = 0; r < list->mCount; ++r) sum += absolute ? std::fabs(records[r].mWeight) : records[r].mWeight;
    return sum;
}

void KZeqWeightedMapping::Normalize(ESet set, bool absolute) {
    const ESet other = Other(set);
    const int count = GetElementCount(set);
    const int otherCount = GetElementCount(other);
    if (count == 0) return;

    // Relations are added in pairs, so the n-th relation of i to s mirrors the
    // n-th relation of s back to i (a pair added twice has two of each).
    // Searching s's list for each would be quadratic (an element of the other
    // set may hold thousands of relations), so the other side's relations are
    // first grouped by the element they point at, in order of s and then of
    // position; i's own relations, sorted the same way, then meet their
    // mirrors in one merge.
    struct KBack {
        int mElement;
        int mPosition;
    };
    std::vector<int> start(static_cast<std::size_t>(count) + 1, 0);
    for (int s = 0; s < otherCount; ++s) {
        const KList& list = *ListOf(other, s);
        const KElement* records = RecordsOf(other, list);
        for (int p = 0; p < list.mCount; ++p)
            if (records[p].mIndex >= 0 && records[p].mIndex < count) ++start[records[p].mIndex + 1];
    }
    for (int i = 0; i < count; ++i) start[i + 1] += start[i];
    std::vector<KBack> back(static_cast<std::size_t>(start[count]));
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (int s = 0; s < otherCount; ++s) {
        const KList& list = *ListOf(other, s);
        const KElement* records = RecordsOf(other, list);
        for (int p = 0; p < list.mCount; ++p)
            if (records[p].mIndex >= 0 && records[p].mIndex < count) back[fill[records[p].mIndex]++] = KBack{s, p};
    }

    std::vector<std::pair<int, int>> own;  // (element of the other set, position) of i's relations
    for (int i = 0; i < count; ++i) {
        const double sum = GetRelationSum(set, i, absolute);
        const KList& list = *ListOf(set, i);
        KElement* records = RecordsOf(set, list);
        own.clear();
        for (int r = 0; r < list.mCount; ++r) {
            double weight = sum == 0.0 ? 0.0 : records[r].mWeight / sum;
            if (absolute) weight = std::fabs(weight);
            records[r].mWeight = weight;
            own.emplace_back(records[r].mIndex, r);
        }
        std::sort(own.begin(), own.end());
        const KBack* mirror = back.data() + start[i];
        const KBack* last = back.data() + start[i + 1];
        for (const auto& relation : own) {
            while (mirror != last && mirror->mElement < relation.first) ++mirror;
            // A relation edited in place may have lost its mirror: nothing to write then.
            if (mirror == last || mirror->mElement != relation.first) continue;
            KElement* mirrored = RecordsOf(other, *ListOf(other, relation.first));
            mirrored[mirror->mPosition].mWeight = records[relation.second].mWeight;
            ++mirror;
        }
    }
}

}  // namespace zeqsdk_400
