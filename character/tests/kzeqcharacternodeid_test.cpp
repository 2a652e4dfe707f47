#include "character/kzeqcharacternodeid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zeqsdk_400;
typedef KZeqCharacterGroups G;

namespace {

// Where identifiers sit (group -1: none) and their names and versions (null: none);
// failing lookups leave the outputs alone.
TEST(CharacterGroups, LookupsByElement) {
    struct Row {
        int mId, mGroup, mIndex;
        const char* mName;
        int mVersion;
    } rows[] = {{0, 0, 0, "Hips", 4000},        {9, 0, 7, "Spine", 4000}, {90, 1, 5, "LeftFingerBase", 4500},
                {70, 4, 0, "HipsTranslation", 4000}, {87, 8, 11, "GameModeParentRightElbowRoll", 4000},
                {190, 11, 29, "RightFootExtraFinger4", 4500}, {67, -1, 0, "Reference", 4000},
                {68, -1, 0, nullptr, 0}, {69, -1, 0, nullptr, 0}, {88, -1, 0, nullptr, 0},
                {89, -1, 0, nullptr, 0}, {191, -1, 0, nullptr, 0}, {-1, -1, 0, nullptr, 0}};
    for (const Row& c : rows) {
        const ECharacterNodeId id = static_cast<ECharacterNodeId>(c.mId);
        ECharacterGroupId group = static_cast<ECharacterGroupId>(77);
        int index = 77, version = 77;
        const char* name = "untouched";
        EXPECT_EQ(c.mGroup >= 0, G::GetCharacterGroupIndexByElement(id, group, index)) << c.mId;
        EXPECT_TRUE(group == (c.mGroup >= 0 ? c.mGroup : 77) && index == (c.mGroup >= 0 ? c.mIndex : 77)) << c.mId;
        EXPECT_EQ(c.mName != nullptr, G::GetCharacterGroupNameByElement(id, name)) << c.mId;
        EXPECT_EQ(c.mName != nullptr, G::GetCharacterGroupVersionByElement(id, version)) << c.mId;
        EXPECT_STREQ(c.mName ? c.mName : "untouched", name);
        EXPECT_EQ(c.mName ? c.mVersion : 77, version) << c.mId;
    }
}

TEST(CharacterGroups, CountsAndEveryElementRoundTrips) {
    const int counts[] = {15, 7, 9, 8, 1, 30, 30, 5, 12, 9, 30, 30};
    std::vector<int> seen(kCharacterNodeIdCount, 0);
    int sum = 0;
    for (int g = 0; g < kCharacterGroupCount; ++g) {
        const ECharacterGroupId group = static_cast<ECharacterGroupId>(g);
        ASSERT_EQ(counts[g], G::GetCharacterGroupCount(group)) << g;
        for (int i = 0; i < counts[g]; ++i, ++sum) {
            const ECharacterNodeId id = G::GetCharacterGroupElementByIndex(group, i);
            ASSERT_TRUE(id >= 0 && id < kCharacterNodeIdCount);
            ++seen[id];
            ECharacterGroupId foundGroup;
            int foundIndex = -1;
            ECharacterNodeId byName;
            const char* name = G::GetCharacterGroupNameByIndex(group, i);
            EXPECT_TRUE(G::FindCharacterGroupElementByName(name, byName) && byName == id) << name;
            EXPECT_TRUE(G::GetCharacterGroupIndexByElement(id, foundGroup, foundIndex) && foundGroup == g &&
                        foundIndex == i) << name;
            EXPECT_EQ(id <= 87 ? 4000 : 4500, G::GetCharacterGroupVersionByIndex(group, i)) << name;
        }
    }
    EXPECT_EQ(186, sum);
    for (int id = 0; id < kCharacterNodeIdCount; ++id)
        EXPECT_EQ(id == 67 || id == 68 || id == 69 || id == 88 || id == 89 ? 0 : 1, seen[id]) << id;
    EXPECT_STREQ("Base", G::GetCharacterGroupName(eCharacterGroup_Base));
    EXPECT_STREQ("GAMEMODEPARENT", G::GetCharacterGroupBlockName(eCharacterGroup_GameModeParent));
}

TEST(CharacterGroups, ByIndexOutsideTheTablesGivesNeutralAnswers) {
    const int bad[][2] = {{-1, 0}, {12, 0}, {0, -1}, {0, 15}};  // group, element index
    for (const auto& row : bad) {
        const ECharacterGroupId group = static_cast<ECharacterGroupId>(row[0]);
        EXPECT_TRUE(G::GetCharacterGroupElementByIndex(group, row[1]) == -1 &&
                    !G::GetCharacterGroupNameByIndex(group, row[1]) &&
                    G::GetCharacterGroupVersionByIndex(group, row[1]) == 0) << row[0] << " " << row[1];
    }
    const ECharacterGroupId pastEnd = static_cast<ECharacterGroupId>(12);
    EXPECT_TRUE(!G::GetCharacterGroupCount(pastEnd) && !G::GetCharacterGroupBlockName(pastEnd));
}

TEST(CharacterGroups, NameSearchIsExactAndBoundedByTheGroup) {
    ECharacterNodeId id = static_cast<ECharacterNodeId>(-5);
    EXPECT_TRUE(G::FindCharacterGroupElementByName("LeftHandPinky4", id) && id == 110);
    EXPECT_TRUE(G::FindCharacterGroupElementByName("Reference", id) && id == 67);
    for (const char* miss : {"hips", "LEFT_FLOOR", "LeftFloor", "", "Hips ", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(G::FindCharacterGroupElementByName(miss, id));
    EXPECT_EQ(67, id);  // untouched by the misses
    // Limit, incoming group, found; bad bounds clamp to the tables.
    const int rows[][3] = {{1, 8, 0}, {1, 9, 1}, {0, 0, 1}, {1, 12, 1}, {1, 1000, 1}, {1, -1, 0}};
    for (const auto& row : rows) {
        ECharacterGroupId group = static_cast<ECharacterGroupId>(row[1]);
        int index = 42;
        EXPECT_EQ(row[2] == 1, G::FindCharacterGroupIndexByName("Neck1", row[0] == 1, group, index)) << row[1];
        EXPECT_TRUE(group == (row[2] ? 9 : row[1]) && index == (row[2] ? 0 : 42)) << row[1];
    }
    ECharacterGroupId group = eCharacterGroup_Base;
    int index = 0;
    EXPECT_FALSE(G::FindCharacterGroupIndexByName("Reference", false, group, index));  // in no group
}

}  // namespace
