#include "content/kzeqweightedmapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

using namespace zeqsdk_400;

namespace {

typedef KZeqWeightedMapping M;
typedef std::vector<std::pair<int, double>> Relations;

Relations List(M& mapping, M::ESet set, int element) {
    Relations out;
    for (int r = 0; r < mapping.GetRelationCount(set, element); ++r)
        out.emplace_back(mapping.GetRelation(set, element, r).mIndex, mapping.GetRelation(set, element, r).mWeight);
    return out;
}

}  // namespace

TEST(KZeqWeightedMapping, AddsOnBothSidesInOrderAndIgnoresIndicesOutside) {
    M empty(0, -3);
    empty.Normalize(M::eDESTINATION, true);
    EXPECT_TRUE(empty.GetElementCount(M::eSOURCE) == 0 && empty.GetElementCount(M::eDESTINATION) == 0);
    M mapping(3, 6);
    mapping.Add(2, 1, 1.0);
    mapping.Add(2, 5, 0.25);
    mapping.Add(-1, 5, 1.0);
    mapping.Add(0, 6, 1.0);
    EXPECT_EQ(Relations({{1, 1.0}, {5, 0.25}}), List(mapping, M::eSOURCE, 2));
    EXPECT_EQ(Relations({{2, 0.25}}), List(mapping, M::eDESTINATION, 5));
    EXPECT_TRUE(mapping.GetRelationIndex(M::eSOURCE, 2, 5) == 1 && mapping.GetRelationIndex(M::eSOURCE, 1, 5) == -1);
    mapping.Add(1, 5, -0.75);
    EXPECT_TRUE(mapping.GetRelationSum(M::eDESTINATION, 5, true) == 1.0 &&
                mapping.GetRelationSum(M::eDESTINATION, 5, false) == -0.5);
    EXPECT_EQ(0.0, mapping.GetRelation(M::eSOURCE, 9, 0).mWeight);
    mapping.GetRelation(M::eDESTINATION, 5, 0).mIndex = 0;  // edited in place: no mirror left
    mapping.Normalize(M::eDESTINATION, false);
    EXPECT_EQ(Relations({{1, 1.0}, {5, 0.25}}), List(mapping, M::eSOURCE, 2));
    mapping.Reset(1, 1);
    EXPECT_TRUE(mapping.GetElementCount(M::eDESTINATION) == 1 && mapping.GetRelationCount(M::eSOURCE, 0) == 0);
}

TEST(KZeqWeightedMapping, NormalizeWritesEachResultIntoItsOwnMirror) {
    const struct {
        const char* mName;
        std::vector<std::pair<int, double>> mAdds;  // source 0 or 1 to destination 0
        M::ESet mSet;
        bool mAbsolute;
        Relations mDestination, mSource0;
    } rows[] = {
        {"shares", {{0, 2.0}, {1, 6.0}}, M::eDESTINATION, true, {{0, 0.25}, {1, 0.75}}, {{0, 0.25}}},
        {"cancelling", {{0, 1.0}, {1, -1.0}}, M::eDESTINATION, false, {{0, 0.0}, {1, 0.0}}, {{0, 0.0}}},
        {"negative absolute", {{0, -1.0}, {1, 3.0}}, M::eDESTINATION, true, {{0, 0.25}, {1, 0.75}}, {{0, 0.25}}},
        {"pair twice", {{0, 1.0}, {0, 3.0}}, M::eSOURCE, false, {{0, 0.25}, {0, 0.75}}, {{0, 0.25}, {0, 0.75}}},
        {"pair twice between", {{0, 1.0}, {1, 4.0}, {0, 3.0}}, M::eDESTINATION, true,
         {{0, 0.125}, {1, 0.5}, {0, 0.375}}, {{0, 0.125}, {0, 0.375}}},
    };
    for (const auto& row : rows) {
        M mapping(2, 1);
        for (const auto& add : row.mAdds) mapping.Add(add.first, 0, add.second);
        mapping.Normalize(row.mSet, row.mAbsolute);
        EXPECT_EQ(row.mDestination, List(mapping, M::eDESTINATION, 0)) << row.mName;
        EXPECT_EQ(row.mSource0, List(mapping, M::eSOURCE, 0)) << row.mName;
    }
}

TEST(KZeqWeightedMapping, ManyInterleavedRelationsMatchAPlainModel) {
    const int counts[2] = {40, 300};
    std::vector<Relations> model[2] = {std::vector<Relations>(counts[0]), std::vector<Relations>(counts[1])};
    M mapping(counts[0], counts[1]);
    std::mt19937 random(3);
    for (int n = 0; n < 5000; ++n) {
        const int s = random() % counts[0], d = random() % counts[1];
        const double w = static_cast<int>(random() % 9) - 2.0;
        mapping.Add(s, d, w);
        model[0][s].emplace_back(d, w);
        model[1][d].emplace_back(s, w);
    }
    // Destination with absolute values, then source without; the n-th relation
    // of i to s mirrors the n-th of s to i (pairs added more than once).
    for (auto normalize : {std::make_pair(M::eDESTINATION, true), std::make_pair(M::eSOURCE, false)}) {
        const int set = normalize.first;
        for (int i = 0; i < counts[set]; ++i) {
            double sum = 0.0;
            for (const auto& r : model[set][i]) sum += normalize.second ? std::fabs(r.second) : r.second;
            std::vector<int> seen(static_cast<std::size_t>(counts[1 - set]), 0);
            for (auto& r : model[set][i]) {
                r.second = sum == 0.0 ? 0.0 : normalize.second ? std::fabs(r.second / sum) : r.second / sum;
                int nth = seen[static_cast<std::size_t>(r.first)]++;
                for (auto& m : model[1 - set][r.first])
                    if (m.first == i && nth-- == 0) m.second = r.second;
            }
        }
        mapping.Normalize(normalize.first, normalize.second);
        for (int side = 0; side < 2; ++side)
            for (int i = 0; i < counts[side]; ++i)
                ASSERT_EQ(model[side][i], List(mapping, M::ESet(side), i)) << side << " " << i;
    }
}
