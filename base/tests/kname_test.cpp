#include "base/kname.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

using namespace zeqsdk_400;

static std::string Rename(KRenamingStrategy& strategy, const char* text) {
    KName name(text);
    const bool changed = strategy.Rename(name);
    EXPECT_EQ(changed, std::string(text) != name.GetCurrentName()) << "answers whether it renamed";
    return name.GetCurrentName();
}

TEST(KNumberRenamingStrategy, CountsRepeatedNamesAndNeverHandsOutATakenOne) {
    KName name("Cube");
    name.SetCurrentName("Cube1");
    name.SetInitialName("Ball");  // resets the current name
    EXPECT_TRUE(std::string("Ball") == name.GetCurrentName() && !name.IsRenamed() && !*KName(nullptr).GetCurrentName());
    KNumberRenamingStrategy s, t;
    const char* const steps[][2] = {{"LINE", "LINE"}, {"LINE1", "LINE1"}, {"LINE", "LINE2"}, {"LINE1", "LINE11"},
                                    {"LINE", "LINE3"}};
    for (const auto& step : steps) EXPECT_EQ(step[1], Rename(s, step[0]));
    std::set<std::string> seen;
    for (const char* n : {"A", "A1", "A", "A2", "A", "A1", "A11", "A1"}) EXPECT_TRUE(seen.insert(Rename(t, n)).second);
    std::unique_ptr<KRenamingStrategy> clone(t.Clone());  // remembers what was seen
    EXPECT_EQ("A4", Rename(*clone, "A"));
    t.Clear();
    EXPECT_EQ("A", Rename(t, "A"));
    KName shortened("A:tail");  // the name is read up to its terminator
    std::strchr(shortened.GetCurrentName(), ':')[0] = '\0';
    EXPECT_TRUE(t.Rename(shortened) && std::string("A1") == shortened.GetCurrentName());
}

TEST(KUniqueNameObjectList, SuffixesFollowTheNamingRules) {
    const char* const cases[][2] = {
        {"  A\t", "A"}, {"A", "A 1"}, {"A", "A 2"}, {"Cube7", "Cube7"}, {"Cube7", "Cube8"}, {"   ", "Default"},
        {nullptr, "Default 1"}, {"clip.mp3", "clip.mp3"}, {"clip.mp3", "clip.mp3 1"}, {"clip.mp37", "clip.mp37"},
        {"clip.mp37", "clip.mp38"}, {"A 2", "A 3"},
        // A digit suffix too long for 64 bits is part of the name.
        {"N99999999999999999999999", "N99999999999999999999999"},
        {"N99999999999999999999999", "N99999999999999999999999 1"}};
    KUniqueNameObjectList list(8, 64);
    int keys[14];
    for (int i = 0; i < 14; ++i) EXPECT_STREQ(cases[i][1], list.AddObject(cases[i][0], &keys[i])) << i;
    EXPECT_TRUE(std::string("Cube8") == list.GetNameByObject(&keys[4]) && !list.GetNameByObject(&list));
}
