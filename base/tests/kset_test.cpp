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
    EXPECT_EQ(1u, set.Get("ALPHA", &index));
    EXPECT_EQ(0, index);
    EXPECT_EQ(2u, set.Get("Beta"));
    EXPECT_EQ(0u, set.Get("Xlpha", &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(0u, set.Get(nullptr));
    EXPECT_FALSE(set.Add(nullptr, 5));
}

TEST(KCharPtrSet, CaseSensitiveOrderAndIndexAccess) {
    KCharPtrSet set(4);
    set.SetCaseSensitive(true);
    set.Add("b", 2);
    set.Add("B", 20);
    set.Add("a", 1);
    EXPECT_EQ(0u, set.Get("A"));
    EXPECT_EQ(20u, set.Get("B"));
    const char* key = nullptr;
    EXPECT_EQ(20u, set.GetFromIndex(0, &key));  // 'B' < 'a' < 'b'
    EXPECT_STREQ("B", key);
    EXPECT_EQ(1u, set[1]);
    EXPECT_EQ(0u, set.GetFromIndex(3, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(0u, set.GetFromIndex(-1));
}

TEST(KCharPtrSet, DuplicatesFirstAddedWinsAndRemove) {
    KCharPtrSet set;
    set.Add("k", 1);
    set.Add("z", 9);
    set.Add("K", 2);
    set.Add("k", 3);
    EXPECT_EQ(1u, set.Get("k"));
    EXPECT_TRUE(set.Remove("k"));
    EXPECT_EQ(2u, set.Get("k"));
    EXPECT_EQ(3, set.GetCount());
    set.RemoveFromIndex(10);
    set.RemoveFromIndex(-1);
    EXPECT_EQ(3, set.GetCount());
    set.Clear();
    EXPECT_EQ(0, set.GetCount());
    EXPECT_FALSE(set.Remove("k"));
}

TEST(KSet, SortedAscendingLookupAndDuplicates) {
    KSet set(20);
    set.Add(30, 300);
    set.Add(10, 100);
    set.Add(20, 200);
    set.Add(10, 101);
    int index = 0;
    EXPECT_EQ(100u, set.Get(10, &index));
    EXPECT_EQ(0, index);
    EXPECT_EQ(0u, set.Get(15, &index));
    EXPECT_EQ(-1, index);
    unsigned int key = 0;
    EXPECT_EQ(300u, set.GetFromIndex(3, &key));
    EXPECT_EQ(30u, key);
    EXPECT_EQ(0u, set.GetFromIndex(4, &key));
    EXPECT_TRUE(set.Remove(10));
    EXPECT_EQ(101u, set.Get(10));
    set.SetValueAtIndex(0, 7);
    EXPECT_EQ(7u, set.Get(10));
}
