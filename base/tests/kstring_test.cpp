#include "base/kstring.h"

#include <gtest/gtest.h>

#include <string>

using namespace zeqsdk_400;

TEST(KString, NullTextGivesInvalidStringReadingEmpty) {
    KString s(static_cast<const char*>(nullptr));
    EXPECT_FALSE(s.IsOK());
    EXPECT_STREQ("", s.Buffer());
    EXPECT_TRUE(s.IsEmpty());
    KString copy(s);
    EXPECT_FALSE(copy.IsOK());
    KString t("x");
    t = s;
    EXPECT_FALSE(t.IsOK());
    t = "y";
    EXPECT_TRUE(t.IsOK());
    t = static_cast<const char*>(nullptr);
    EXPECT_FALSE(t.IsOK());
    EXPECT_STREQ("", t.Buffer());
}

class KStringLength : public ::testing::TestWithParam<int> {};

// Around the 64-byte inline buffer: contents, copies, moves and appends stay exact.
TEST_P(KStringLength, CopyMoveAppendAroundInlineLimit) {
    const std::string text(static_cast<std::size_t>(GetParam()), 'a');
    KString s(text.c_str());
    EXPECT_EQ(text.size(), s.GetLen());
    EXPECT_EQ(text, s.Buffer());
    KString copy(s);
    EXPECT_TRUE(copy == s);
    KString moved(std::move(copy));
    EXPECT_EQ(text, moved.Buffer());
    moved += "b";
    EXPECT_EQ(text + "b", moved.Buffer());
    KString assigned;
    assigned = moved;
    assigned = assigned.Buffer() + 1;  // assign from a pointer into itself
    EXPECT_EQ((text + "b").substr(1), assigned.Buffer());
    s.Append(s.Buffer(), s.GetLen());  // append itself
    EXPECT_EQ(text + text, s.Buffer());
}
INSTANTIATE_TEST_SUITE_P(Lengths, KStringLength, ::testing::Values(0, 1, 62, 63, 64, 65, 127, 1000));

TEST(KString, ComparisonsAndCase) {
    KString s("Hello");
    EXPECT_TRUE(s == "Hello");
    EXPECT_TRUE(s != "hello");
    EXPECT_EQ(0, s.CompareNoCase("hELLO"));
    EXPECT_LT(s.Compare("Help"), 0);
    EXPECT_GT(s.Compare(nullptr), 0);
    EXPECT_EQ(0, KString().Compare(nullptr));
    EXPECT_TRUE(KString("") == nullptr);
    // Byte-wise: embedded bytes beyond ASCII compare as unsigned.
    EXPECT_FALSE(KString("a\xff") == "a\x7f");
}

TEST(KString, FindAndSlices) {
    KString s("path/to/file.name.ext");
    EXPECT_EQ(4, s.Find('/'));
    EXPECT_EQ(7, s.Find('/', 5));
    EXPECT_EQ(-1, s.Find('/', 100));
    EXPECT_EQ(8, s.Find("file"));
    EXPECT_EQ(-1, s.Find("file", 9));
    EXPECT_EQ(0, s.Find(static_cast<const char*>(nullptr)));
    EXPECT_EQ(17, s.ReverseFind('.'));
    EXPECT_EQ(-1, s.ReverseFind('#'));
    EXPECT_STREQ("path", s.Left(4).Buffer());
    EXPECT_STREQ(s.Buffer(), s.Left(1000).Buffer());
    EXPECT_STREQ("ext", s.Right(3).Buffer());
    EXPECT_STREQ(s.Buffer(), s.Right(1000).Buffer());
    EXPECT_STREQ("file.name.ext", s.Mid(8).Buffer());
    EXPECT_STREQ("file", s.Mid(8, 4).Buffer());
    EXPECT_STREQ("", s.Mid(100).Buffer());
    EXPECT_STREQ("ext", s.Mid(18, 100).Buffer());
    EXPECT_EQ('p', s[0]);
    EXPECT_EQ('\0', s[1000u]);
    EXPECT_EQ('\0', s[-1]);
}

TEST(KString, CaseReverseAndPadding) {
    EXPECT_STREQ("ABC1", KString("aBc1").Upper().Buffer());
    EXPECT_STREQ("abc1", KString("aBc1").Lower().Buffer());
    EXPECT_STREQ("cba", KString("abc").Reverse().Buffer());
    KString padded(" \t x y \n");
    EXPECT_STREQ(" \t x y", padded.UnPad(KString::eRight).Buffer());
    EXPECT_STREQ("x y \n", padded.UnPad(KString::eLeft).Buffer());
    EXPECT_STREQ("x y", padded.UnPad(KString::eBoth).Buffer());
    EXPECT_STREQ("", KString("   ").UnPad(KString::eBoth).Buffer());
}

TEST(KString, FindAndReplaceAtAnyIndex) {
    KString s("a-b-c");
    EXPECT_TRUE(s.FindAndReplace("-", "+"));
    EXPECT_STREQ("a+b-c", s.Buffer());
    EXPECT_TRUE(s.FindAndReplace("-", "--", 2));
    EXPECT_STREQ("a+b--c", s.Buffer());
    EXPECT_FALSE(s.FindAndReplace("x", "y"));
    EXPECT_FALSE(s.FindAndReplace("", "y"));
    EXPECT_STREQ("a+b--c", s.Buffer());

    std::string big(10000, 'z');
    big += "needle";
    KString b(big.c_str());
    EXPECT_TRUE(b.FindAndReplace("needle", "pin", 5000));
    EXPECT_EQ(std::string(10000, 'z') + "pin", b.Buffer());
}

TEST(KString, Tokens) {
    KString s("  one,,two ; three  ");
    EXPECT_EQ(3, s.GetTokenCount(" ,;"));
    EXPECT_STREQ("one", s.GetToken(0, " ,;").Buffer());
    EXPECT_STREQ("two", s.GetToken(1, " ,;").Buffer());
    EXPECT_STREQ("three", s.GetToken(2, " ,;").Buffer());
    EXPECT_STREQ("", s.GetToken(3, " ,;").Buffer());
    EXPECT_STREQ("", s.GetToken(-1, " ,;").Buffer());
    EXPECT_EQ(0, KString(",,,").GetTokenCount(","));
    EXPECT_EQ(1, KString("abc").GetTokenCount(nullptr));
}

TEST(KString, NumbersAndConcatenation) {
    EXPECT_STREQ("-42", KString(-42).Buffer());
    KString s("Marker Set ");
    s += 1;
    EXPECT_STREQ("Marker Set 1", s.Buffer());
    KString f;
    f = 1.5f;
    EXPECT_STREQ("1.500000", f.Buffer());
    f = 3.0e38f;
    EXPECT_EQ(0, f.Find("300000"));
    EXPECT_STREQ("ab", (KString("a") + "b").Buffer());
    EXPECT_STREQ("ab", ("a" + KString("b")).Buffer());
    EXPECT_STREQ("a7", (KString("a") + 7).Buffer());
    EXPECT_STREQ("ab", (KString("a") + KString("b")).Buffer());
}

TEST(KStringList, InsertClampsAndKeepsReferences) {
    KStringList list;
    EXPECT_EQ(0, list.Add("b", 2));
    EXPECT_EQ(0, list.InsertAt(0, "a", 1));
    EXPECT_EQ(2, list.InsertAt(99, "c", 3));
    EXPECT_EQ(-1, list.InsertAt(-1, "x", 0));
    ASSERT_EQ(3, list.GetCount());
    EXPECT_STREQ("a", list.GetStringAt(0));
    EXPECT_EQ(3u, list.GetReferenceAt(2));
    EXPECT_EQ(nullptr, list.GetStringAt(3));
    EXPECT_EQ(1, list.Find("b"));
    KStringList copy = list;
    list.RemoveAt(0);
    list.RemoveAt(10);
    EXPECT_EQ(2, list.GetCount());
    EXPECT_EQ(3, copy.GetCount());
}
