#include "character/kzeqfilterset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "character/kfilterparamtable.h"

using namespace zeqsdk_400;

namespace {

TEST(SolverTable, LookupByExactName) {
    const KFilterSetInfo* table = GetFilterSetInfo();
    const char* names[] = {"PullIterationCount", "Posture", "ReachActorLeftAnkleRotationRotation",
                           "ReachActorRightAnkleRotation", "SyncMode", "posture", "Posture ", "", "HipsTOffset",
                           nullptr};
    const int rows[] = {0, 1, 31, 32, 176, -1, -1, -1, -1, -1};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(rows[i], table->ParamIndexByName(names[i])) << i;
    EXPECT_TRUE(table == GetFilterSetInfo() && table->mCount == 177);
    static_assert(FilterParamIndex("AnkleStabilizationTime") == 83 && FilterParamIndex("Nope") == -1, "by name");
}

// Figures of the table as a whole, counted apart from its rows.
TEST(SolverTable, FilledOnceAsTheTableGivesIt) {
    std::map<int, int> modeTypes, units;
    std::vector<int> secondFlags, inverted, parents, expectedFlags = {1, 166, 170, 174};
    int zeroDefaults = 0;
    for (int i = 0; i < 177; ++i) {
        const KFilterParamInfo& info = GetFilterSetInfo()->mParamInfos[i];
        ++modeTypes[info.mModeType];
        ++units[info.mUnit];
        if (info.mSecondFlag) secondFlags.push_back(i);
        if (info.mInvertParentFact) inverted.push_back(i);
        if (info.mParentIndex >= 0 && (parents.empty() || parents.back() != info.mParentIndex))
            parents.push_back(info.mParentIndex);
        zeroDefaults += info.mDefaultMode == 0 && info.mDefaultValue == 0.0 && info.mValueType == 0;
        if ((i >= 45 && i <= 51) || (i >= 56 && i <= 62) || (i >= 132 && i <= 164)) expectedFlags.push_back(i);
    }
    std::sort(expectedFlags.begin(), expectedFlags.end());
    EXPECT_EQ((std::map<int, int>{{0, 135}, {1, 26}, {2, 10}, {3, 6}}), modeTypes);
    EXPECT_EQ((std::map<int, int>{{0, 17}, {1, 89}, {2, 5}, {3, 47}, {4, 9}, {5, 10}}), units);
    EXPECT_EQ(expectedFlags, secondFlags);
    EXPECT_EQ(std::vector<int>{83}, inverted);
    EXPECT_EQ((std::vector<int>{44, 55, 75, 77, 82}), parents);
    EXPECT_EQ(77, zeroDefaults);
}

TEST(SolverTable, NamesAreCutAt255Characters) {
    KFilterParamInfo info;
    info.Init(4, std::string(300, 'n').c_str());
    EXPECT_TRUE(std::string(255, 'n') == info.mName && info.mParentIndex == 4);
    info.Init(-1, nullptr);
    EXPECT_STREQ("", info.mName);
}

// Row 0 has no mode, 2 off/on, 3 off/auto/user, 78 auto/user.
TEST(FilterSet, ModesAcceptedByModeType) {
    const int rows[][3] = {{3, 2, 1},  {3, 0, 1},  {3, 3, 0},  {3, -1, 0},  {2, 1, 1},  {2, 2, 0},
                           {0, 1, 0},  {78, 1, 1}, {78, 2, 0}, {177, 0, 0}, {-1, 0, 0}};  // row, mode, kept
    for (const auto& row : rows) {
        KZeqFilterSet set;
        const int before = set.GetParameterMode(row[0]);
        set.SetParameterMode(row[0], row[1]);
        EXPECT_EQ(row[2] ? row[1] : before, set.GetParameterMode(row[0])) << row[0] << " " << row[1];
    }
}

TEST(FilterSet, DefaultsValuesAsGivenAndReset) {
    KZeqFilterSet set;
    EXPECT_TRUE(set.GetParameterCount() == 177 && set.GetParameterMode(3) == 1 && set.GetParameterValue(3) == 100);
    EXPECT_TRUE(set.GetParameterValue(0) == 10 && set.GetParameterMode(67) == 0 && set.GetParameterValue(67) == 60);
    set.SetParameterValue(0, 1000.0, 0);  // past the row's 0..30: kept
    set.SetParameterValue(5, 7.5, 2);     // the component never matters
    set.SetParameterMinValue(3, 5.0);
    EXPECT_TRUE(set.GetParameterValue(0) == 1000.0 && set.GetParameterValue(5, 0) == 7.5 &&
                set.GetParameterValue(5, 1) == 7.5);
    EXPECT_TRUE(set.GetParameterMinValue(3) == 0.0 && set.GetParameterDefaultMaxValue(3) == 0.0);
    for (int bad : {-1, 177, 1 << 30}) {  // outside the table: setters ignore, getters give 0 or null
        set.SetParameterValue(bad, 3.0);
        EXPECT_TRUE(set.GetParameterValue(bad) == 0.0 && set.GetParameterMode(bad) == 0 &&
                    set.GetParameterName(bad) == nullptr && set.GetParameterUnit(bad) == 0 &&
                    set.GetParameterModeType(bad) == 0 && set.GetParameterDefaultValue(bad) == 0.0);
    }
    for (int i = 0; i < 177; ++i) {
        set.SetParameterMode(i, 1 - set.GetParameterMode(i));
        set.SetParameterValue(i, -i);
    }
    set.Reset();
    for (int i = 0; i < 177; ++i)
        EXPECT_TRUE(set.GetParameterDefaultMode(i) == set.GetParameterMode(i) &&
                    set.GetParameterDefaultValue(i) == set.GetParameterValue(i)) << i;
}

TEST(FilterSetBase, Activity) {
    KFilterSetBase set;
    EXPECT_TRUE(set.IsParamActive(-1) && set.IsParamActive(78));
    EXPECT_TRUE(set.IsParamActive(45) && !set.IsParamActive(44));  // no mode: active whatever its parent
    EXPECT_FALSE(set.IsParamActive(67));                             // off
    set.mParams[77].mMode = 0;
    EXPECT_FALSE(set.IsParamActive(78));  // its parent is off
    EXPECT_FALSE(set.IsParamActive(177) || set.IsParamActive(-2));
}

TEST(FilterSetBase, AutomaticSetupFromParentFacts) {
    KFilterSetBase set;
    set.mParams[75].mValue = 40;  // Damping
    set.mParams[82].mValue = 25;  // Stabilization
    set.mParams[87].mValue = 3;   // off, so kept
    for (int i : {3, 4, 5, 6}) set.mParams[i].mValue = -7;
    set.AutomaticParamSetup();
    const std::map<int, double> expected = {{76, 0.1},  {77, 40},   {78, 0.1}, {79, 40},  {80, 40}, {81, 40},
                                            {83, 0.75}, {84, 3.75}, {85, 15},  {86, 2.5}, {87, 3},  {88, 0.25},
                                            {3, 100},   {4, 0},     {5, 0},    {6, 0}};
    for (const auto& row : expected) EXPECT_DOUBLE_EQ(row.second, set.mParams[row.first].mValue) << row.first;
    EXPECT_DOUBLE_EQ(0.75, set.GetParamFact(83));  // inverted: 1 - 0.25
    KFilterSetBase copy;
    copy.Copy(&set);
    EXPECT_TRUE(copy.mParams[87].mValue == 3 && copy.mParams[88].mValue == 0.25 && copy.mParams[3].mMode == 1);
}

// A parent without a fact must not give an inverted child one (1 - (-1) = 2).
TEST(FilterSetBase, InvertedChildOfAParentWithoutFactTakesItsDefault) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double parent : {-50.0, -100.0, nan}) {
        KFilterSetBase set;
        set.mParams[82].mValue = parent;
        set.mParams[83].mValue = 9;
        set.AutomaticParamSetup();
        EXPECT_EQ(0.0, set.mParams[83].mValue) << parent;
        EXPECT_TRUE(std::isnan(parent) || set.GetParamFact(83) == -1.0) << parent;
    }
    KFilterSetBase set;
    set.mParams[3].mMode = 2;  // user: its own value makes the fact
    set.mParams[3].mValue = 50;
    EXPECT_TRUE(set.GetParamFact(3) == 0.5 && set.GetParamFact(4) == -1.0 && set.GetParamFact(177) == -1.0);
}

}  // namespace
