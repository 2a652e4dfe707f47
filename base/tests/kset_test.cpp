#include "base/kset.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

TEST(KCharPtrSet, CaseInsensitiveByDefaultAndKeysCopied) {
    KCharPtrSet set(20);
    char key[] = "Alpha";
    set.Add(key, 1);
    key[0] = 'X';  // the set holds its own copy
    set.Add("beta", 2);
    set.Add("Gamma", 3);
    int index = 99;
    EXPECT_TRUE(set.Get("ALPHA", &index) == 1u && index == 0);
    EXPECT_EQ(2u, set.Get("Beta"));
    EXPECT_TRUE(set.Get("Xlpha", &index) == 0u && index == -1);
    EXPECT_EQ(0u, set.Get(nullptr));
    EXPECT_FALSE(set.Add(nullptr, 5));
}

TEST(KCharPtrSet, CaseSensitiveOrderAndIndexAccess) {
    KCharPtrSet set(4);
    set.SetCaseSensitive(true);
    for (const char* k : {"b", "B", "a"}) set.Add(k, static_cast<kReference>(k[0]));
    EXPECT_TRUE(set.Get("A") == 0u && set.Get("B") == kReference('B'));
    const char* key = nullptr;
    EXPECT_EQ(kReference('B'), set.GetFromIndex(0, &key));  // 'B' < 'a' < 'b'
    EXPECT_STREQ("B", key);
    char* writable = nullptr;
    EXPECT_TRUE(set.GetFromIndex(1, &writable) == kReference('a') && set[1] == kReference('a'));
    EXPECT_STREQ("a", writable);
    EXPECT_EQ(0u, set.GetFromIndex(3, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(0u, set.GetFromIndex(-1));
}

TEST(KCharPtrSet, DuplicatesFirstAddedWinsAndRemove) {
    KCharPtrSet set;
    for (const char* k : {"k", "z", "K", "k"}) set.Add(k, static_cast<kReference>(set.GetCount() + 1));
    EXPECT_EQ(1u, set.Get("k"));
    EXPECT_TRUE(set.Remove("k"));
    EXPECT_EQ(3u, set.Get("k")) << "then the next added";
    set.RemoveFromIndex(10);
    set.RemoveFromIndex(-1);
    EXPECT_EQ(3, set.GetCount());
    set.Clear();
    EXPECT_FALSE(set.Remove("k"));
}

TEST(KSet, SortedAscendingLookupAndDuplicates) {
    KSet set(20);
    for (unsigned int key : {30u, 10u, 20u}) set.Add(key, key * 10);
    set.Add(10, 101);
    int index = 0;
    unsigned int key = 0;
    EXPECT_TRUE(set.Get(10, &index) == 100u && index == 0) << "the first added of equal keys";
    EXPECT_TRUE(set.Get(15, &index) == 0u && index == -1);
    EXPECT_TRUE(set.GetFromIndex(3, &key) == 300u && key == 30u);
    EXPECT_EQ(0u, set.GetFromIndex(4, &key));
    EXPECT_TRUE(set.Remove(10));
    EXPECT_EQ(101u, set.Get(10));
    set.SetValueAtIndex(0, 7);
    EXPECT_EQ(7u, set.Get(10));
}
