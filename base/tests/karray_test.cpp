#include "base/karray.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

TEST(KArrayTemplate, InsertClampsAndRefusesNegativeIndex) {
    KArrayTemplate<int> a;
    EXPECT_EQ(0, a.InsertAt(5, 10));
    EXPECT_EQ(0, a.InsertAt(0, 5));
    EXPECT_EQ(2, a.InsertAt(2, 20));
    EXPECT_EQ(1, a.InsertAt(1, 7));
    EXPECT_EQ(-1, a.InsertAt(-1, 99));
    ASSERT_EQ(4, a.GetCount());
    EXPECT_EQ(5, a[0]);
    EXPECT_EQ(7, a[1]);
    EXPECT_EQ(10, a[2]);
    EXPECT_EQ(20, a[3]);
    a.RemoveAt(1);
    a.RemoveAt(-1);
    a.RemoveAt(100);
    ASSERT_EQ(3, a.GetCount());
    EXPECT_EQ(10, a[1]);
    EXPECT_EQ(0, a.GetAt(-1));
    EXPECT_EQ(0, a.GetAt(3));
    a.SetAt(7, 1);  // ignored
    EXPECT_EQ(3, a.GetCount());
}

TEST(KArrayTemplate, GrowsAcrossBlocksAndKeepsItems) {
    KArrayTemplate<long> a(16);
    for (long i = 0; i < 1000; ++i) ASSERT_EQ(i, a.Add(i));
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(i, a[i]);
    // Appending an item of the array itself while it reallocates.
    for (int i = 0; i < 100; ++i) a.Add(a[0]);
    EXPECT_EQ(0, a.GetLast());
}

TEST(KArrayTemplate, SetCountZeroFillsAndAddMultipleConstructs) {
    struct Colour {
        double r = 1, g = 1, b = 1;
    };
    KArrayTemplate<Colour> c;
    EXPECT_EQ(0, c.AddMultiple(3));
    EXPECT_EQ(1.0, c[2].g);
    EXPECT_TRUE(c.SetCount(5));
    EXPECT_EQ(0.0, c[4].r);
    EXPECT_FALSE(c.SetCount(-1));
    EXPECT_EQ(5, c.GetCount());
    EXPECT_EQ(-1, c.AddMultiple(-2));
    c.Clear();
    EXPECT_EQ(0, c.GetCount());
    EXPECT_EQ(nullptr, c.GetArray());
}

TEST(KArrayTemplate, FindAfterAndCopy) {
    KArrayTemplate<unsigned int> a;
    for (unsigned int v : {3u, 1u, 3u, 2u, 3u}) a.Add(v);
    EXPECT_EQ(0, a.FindAfter(-1, 3));
    EXPECT_EQ(2, a.FindAfter(0, 3));
    EXPECT_EQ(4, a.FindAfter(2, 3));
    EXPECT_EQ(-1, a.FindAfter(4, 3));
    EXPECT_EQ(-1, a.Find(9));
    EXPECT_EQ(0, a.FindAfter(-100, 3));

    KArrayTemplate<unsigned int> b(4);
    b = a;
    EXPECT_EQ(5, b.GetCount());
    EXPECT_EQ(16, b.GetBlockSize());
    a.Clear();
    EXPECT_EQ(2u, b[3]);
    KArrayTemplate<unsigned int> c(b);
    EXPECT_EQ(5, c.GetCount());
}

TEST(KBaseArray, RemoveRangeClips) {
    KArrayTemplate<int> a;
    for (int i = 0; i < 10; ++i) a.Add(i);
    a.RemoveRange(8, 100);
    EXPECT_EQ(8, a.GetCount());
    a.RemoveRange(2, 3);
    ASSERT_EQ(5, a.GetCount());
    EXPECT_EQ(5, a[2]);
    a.RemoveRange(-1, 2);
    a.RemoveRange(0, 0);
    EXPECT_EQ(5, a.GetCount());
}
