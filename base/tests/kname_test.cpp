#include "base/kname.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace zeqsdk_400;

TEST(KName, InitialAndCurrent) {
    KName name("Cube");
    EXPECT_STREQ("Cube", name.GetInitialName());
    name.SetCurrentName("Cube1");
    EXPECT_TRUE(name.IsRenamed());
    name.SetInitialName("Ball");
    EXPECT_STREQ("Ball", name.GetCurrentName());
    EXPECT_FALSE(name.IsRenamed());
    KName copy = name;
    EXPECT_STREQ("Ball", copy.GetCurrentName());
    KName null(nullptr);
    EXPECT_STREQ("", null.GetCurrentName());
}

std::string RenameOnce(KNumberRenamingStrategy& strategy, const char* text, bool* changed = nullptr) {
    KName name(text);
    bool c = strategy.Rename(name);
    if (changed) *changed = c;
    return name.GetCurrentName();
}

TEST(KNumberRenamingStrategy, CountsRepeatedNames) {
    KNumberRenamingStrategy s;
    bool changed = true;
    EXPECT_EQ("LINE", RenameOnce(s, "LINE", &changed));
    EXPECT_FALSE(changed);
    EXPECT_EQ("LINE1", RenameOnce(s, "LINE", &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ("LINE2", RenameOnce(s, "LINE"));
}

TEST(KNumberRenamingStrategy, NeverHandsOutATakenName) {
    KNumberRenamingStrategy s;
    EXPECT_EQ("LINE", RenameOnce(s, "LINE"));
    EXPECT_EQ("LINE1", RenameOnce(s, "LINE1"));
    EXPECT_EQ("LINE2", RenameOnce(s, "LINE"));
    EXPECT_EQ("LINE11", RenameOnce(s, "LINE1"));
    EXPECT_EQ("LINE3", RenameOnce(s, "LINE"));
    std::set<std::string> seen;
    KNumberRenamingStrategy t;
    for (const char* n : {"A", "A1", "A", "A2", "A", "A1", "A11", "A1"}) EXPECT_TRUE(seen.insert(RenameOnce(t, n)).second);
}

TEST(KNumberRenamingStrategy, CloneAndClear) {
    KNumberRenamingStrategy s;
    RenameOnce(s, "X");
    KRenamingStrategy* clone = s.Clone();
    KName n("X");
    EXPECT_TRUE(clone->Rename(n));
    delete clone;
    s.Clear();
    EXPECT_EQ("X", RenameOnce(s, "X"));
}

TEST(KNumberRenamingStrategy, ReadsANameShortenedInPlace) {
    KNumberRenamingStrategy s;
    RenameOnce(s, "AB");
    KName name("AB:tail");
    std::strchr(name.GetCurrentName(), ':')[0] = '\0';
    EXPECT_TRUE(s.Rename(name));
    EXPECT_STREQ("AB1", name.GetCurrentName());
}

TEST(KUniqueNameObjectList, SuffixesFollowTheNamingRules) {
    KUniqueNameObjectList list(8, 64);
    int keys[12];
    EXPECT_STREQ("A", list.AddObject("  A\t", &keys[0]));
    EXPECT_STREQ("A 1", list.AddObject("A", &keys[1]));
    EXPECT_STREQ("A 2", list.AddObject("A", &keys[2]));
    EXPECT_STREQ("Cube7", list.AddObject("Cube7", &keys[3]));
    EXPECT_STREQ("Cube8", list.AddObject("Cube7", &keys[4]));
    EXPECT_STREQ("Default", list.AddObject("   ", &keys[5]));
    EXPECT_STREQ("Default 1", list.AddObject(nullptr, &keys[6]));
    EXPECT_STREQ("clip.mp3", list.AddObject("clip.mp3", &keys[7]));
    EXPECT_STREQ("clip.mp3 1", list.AddObject("clip.mp3", &keys[8]));
    EXPECT_STREQ("clip.mp37", list.AddObject("clip.mp37", &keys[9]));
    EXPECT_STREQ("clip.mp38", list.AddObject("clip.mp37", &keys[10]));
    EXPECT_STREQ("A 3", list.AddObject("A 2", &keys[11]));
    EXPECT_STREQ("Cube8", list.GetNameByObject(&keys[4]));
    EXPECT_EQ(nullptr, list.GetNameByObject(&list));
}

TEST(KUniqueNameObjectList, HugeSuffixDoesNotOverflow) {
    KUniqueNameObjectList list;
    int a, b;
    list.AddObject("N99999999999999999999999", &a);
    EXPECT_STREQ("N99999999999999999999999 1", list.AddObject("N99999999999999999999999", &b));
}
