#include "base/karray.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/kzeqvector.h"

using namespace zeqsdk_400;

// Bad indices clamp or are refused; SetCount zero-fills, AddMultiple constructs.
TEST(KArrayTemplate, IndicesClampOrAreRefusedSetCountFindAfterAndCopy) {
    KArrayTemplate<int> a;
    const int at[] = {5, 0, 2, 1, -1}, expected[] = {0, 0, 2, 1, -1}, ranges[][2] = {{8, 100}, {2, 3}, {-1, 2}, {0, 0}};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], a.InsertAt(at[i], 10 * i + 1));
    ASSERT_EQ(4, a.GetCount());
    EXPECT_TRUE(a[0] == 11 && a[1] == 31 && a[2] == 1 && a[3] == 21);
    for (int i : {1, -1, 100}) a.RemoveAt(i);
    EXPECT_TRUE(a.GetCount() == 3 && a[1] == 1 && a.GetAt(-1) == 0 && a.GetAt(3) == 0);
    a.SetAt(7, 1);
    EXPECT_EQ(3, a.GetCount());
    for (int i = 0; i < 7; ++i) a.Add(i);
    for (const auto& r : ranges) a.RemoveRange(r[0], r[1]);  // the first clipped at the end
    ASSERT_EQ(5, a.GetCount());
    EXPECT_TRUE(a[0] == 11 && a[2] == 2 && a[4] == 4);
    struct Colour { double r = 1, g = 1, b = 1; };
    KArrayTemplate<Colour> c;
    EXPECT_TRUE(c.AddMultiple(3) == 0 && c[2].g == 1.0 && c.SetCount(5) && c[4].r == 0.0);
    EXPECT_TRUE(!c.SetCount(-1) && c.AddMultiple(-2) == -1 && c.GetCount() == 5);
    c.Clear();
    EXPECT_TRUE(c.GetCount() == 0 && c.GetArray() == nullptr);
    KArrayTemplate<unsigned int> u, copy(4);
    for (unsigned int v : {3u, 1u, 3u, 2u, 3u}) u.Add(v);
    const int found[] = {u.FindAfter(-1, 3), u.FindAfter(0, 3), u.FindAfter(2, 3),
                         u.FindAfter(4, 3), u.Find(9), u.FindAfter(-100, 3)}, after[] = {0, 2, 4, -1, -1, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(after[i], found[i]) << i;
    copy = u;
    u.Clear();
    EXPECT_TRUE(copy.GetCount() == 5 && copy[3] == 2u && KArrayTemplate<unsigned int>(copy).GetCount() == 5);
}

// An item of the array itself, typed or by address, is read before the
// storage moves or shifts.
TEST(KArrayTemplate, GrowsAcrossBlocksAndInsertsItsOwnItems) {
    KArrayTemplate<long> a(16);
    KArrayTemplate<int> b(1);
    for (long i = 0; i < 1000; ++i) ASSERT_EQ(i, a.Add(i));
    for (int i = 0; i < 1000; ++i) a.Add(a[i]);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(a[i] == i && a[1000 + i] == i);
    std::vector<int> model{10, 20, 30};
    for (int v : model) b.InsertAt(b.GetCount(), &v);
    for (int n = 0; n < 100; ++n) {
        const int at = n % 3, from = (n * 7) % b.GetCount();
        model.insert(model.begin() + at, model[static_cast<std::size_t>(from)]);
        b.InsertAt(at, &b[from]);
    }
    EXPECT_EQ(model, std::vector<int>(b.GetArray(), b.GetArray() + b.GetCount()));
    KArrayTemplate<KZeqColor> colours;
    const KZeqColor red(1, 0, 0, 1);
    EXPECT_TRUE(colours.InsertAt(0, &red) == 0 && colours[0].mGreen == 0.0);
}
