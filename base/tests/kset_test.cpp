#include "base/kset.h"

#include <gtest/gtest.h>

#include <string>

using namespace zeqsdk_400;

// Case-insensitive by default, the keys copied, the first added of equal keys found;
// case-sensitive sets order by bytes ('B' < 'a' < 'b').
TEST(KCharPtrSet, CaseRulesKeysCopiedFirstAddedWinsAndIndexAccess) {
    KCharPtrSet set(20);
    char key[] = "Alpha";
    for (const char* k : {static_cast<const char*>(key), "beta", "Gamma", "BETA"})
        set.Add(k, static_cast<kReference>(set.GetCount() + 1));
    key[0] = 'X';  // the set holds its own copy
    int index = 99;
    EXPECT_TRUE(set.Get("ALPHA", &index) == 1u && index == 0 && set.Get("Beta") == 2u);
    EXPECT_TRUE(set.Get("Xlpha", &index) == 0u && index == -1 && set.Get(nullptr) == 0u);
    EXPECT_TRUE(!set.Add(nullptr, 5) && set.Remove("beta") && set.Get("beta") == 4u) << "then the next added";
    for (int i : {10, -1}) set.RemoveFromIndex(i);
    EXPECT_EQ(3, set.GetCount());
    set.Clear();
    EXPECT_FALSE(set.Remove("beta"));
    KCharPtrSet exact(4);
    exact.SetCaseSensitive(true);
    for (const char* k : {"b", "B", "a"}) exact.Add(k, static_cast<kReference>(k[0]));
    EXPECT_TRUE(exact.Get("A") == 0u && exact.Get("B") == kReference('B'));
    const char* found = nullptr;
    char* writable = nullptr;
    EXPECT_TRUE(exact.GetFromIndex(0, &found) == kReference('B') &&
                exact.GetFromIndex(1, &writable) == kReference('a'));
    EXPECT_TRUE(exact[1] == kReference('a') && std::string("B") == found && std::string("a") == writable);
    EXPECT_TRUE(exact.GetFromIndex(3, &found) == 0u && found == nullptr && exact.GetFromIndex(-1) == 0u);
}

// The empty key is a key like any other, sorted first (its prefix was once shifted by 64 bits).
TEST(KCharPtrSet, EmptyKeySortsFirstAndIsFound) {
    KCharPtrSet set(4);
    set.Add("b", 2);
    set.Add("", 1);
    int index = -1;
    EXPECT_TRUE(set.Get("", &index) == 1u && index == 0 && set.Get("b") == 2u);
}

TEST(KSet, SortedAscendingLookupAndDuplicates) {
    KSet set(20);
    for (unsigned int key : {30u, 10u, 20u}) set.Add(key, key * 10);
    set.Add(10, 101);
    int index = 0;
    unsigned int key = 0;
    EXPECT_TRUE(set.Get(10, &index) == 100u && index == 0) << "the first added of equal keys";
    EXPECT_TRUE(set.Get(15, &index) == 0u && index == -1);
    EXPECT_TRUE(set.GetFromIndex(3, &key) == 300u && key == 30u && set.GetFromIndex(4, &key) == 0u);
    EXPECT_TRUE(set.Remove(10) && set.Get(10) == 101u);
    set.SetValueAtIndex(0, 7);
    EXPECT_EQ(7u, set.Get(10));
    // Emptied, the set takes new pairs and sorts them again.
    set.Clear();
    EXPECT_TRUE(set.GetCount() == 0 && set.Get(20) == 0u && set.GetFromIndex(0, &key) == 0u);
    for (unsigned int k : {5u, 2u}) set.Add(k, k + 1);
    EXPECT_TRUE(set.GetFromIndex(0, &key) == 3u && key == 2u && set.Get(5) == 6u);
}
