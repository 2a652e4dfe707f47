#include "base/kstring.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace zeqsdk_400;

static const char* const kNull = nullptr;

// A null text gives an invalid string reading "". Buffer() is writable, so no
// two empty or invalid strings may share one.
TEST(KString, EmptyAndInvalidStrings) {
    KString s(kNull), t("x"), empty, emptied("abc");
    EXPECT_TRUE(!s.IsOK() && s.IsEmpty() && !KString(s).IsOK());
    EXPECT_TRUE(!(t = s).IsOK() && (t = "y").IsOK() && !(t = kNull).IsOK());
    emptied.Empty();
    empty.Buffer()[0] = 'e';
    s.Buffer()[0] = 'i';
    for (KString e : {t, emptied, KString(), KString(kNull)}) EXPECT_STREQ("", e.Buffer());
}

class KStringLength : public ::testing::TestWithParam<int> {};

// Around the 64-byte inline buffer: copies, moves and appends, also from itself, stay exact.
TEST_P(KStringLength, CopyMoveAppendAroundInlineLimit) {
    const std::string text(static_cast<std::size_t>(GetParam()), 'a');
    KString s(text.c_str()), copy(s), assigned;
    EXPECT_TRUE(s.GetLen() == text.size() && copy == s);
    KString moved(std::move(copy));
    moved += "b";
    assigned = moved;
    assigned = assigned.Buffer() + 1;  // from its own buffer
    EXPECT_TRUE(text + "b" == moved.Buffer() && (text + "b").substr(1) == assigned.Buffer()) << assigned.Buffer();
    s.Append(s.Buffer(), s.GetLen());
    EXPECT_EQ(text + text, s.Buffer());
    // From part of a longer text: exactly that many bytes, ended, and as long as it says.
    const std::string longer = text + "tail";
    KString part(longer.data(), text.size());
    EXPECT_TRUE(part.IsOK() && part.GetLen() == text.size() && text == part.Buffer()) << part.Buffer();
    part += "c";
    EXPECT_EQ(text + "c", part.Buffer());
}
INSTANTIATE_TEST_SUITE_P(Lengths, KStringLength, ::testing::Values(0, 1, 62, 63, 64, 65, 127, 1000),
                         [](const ::testing::TestParamInfo<int>& info) { return "L" + std::to_string(info.param); });

TEST(KString, ComparisonsSearchesAndDerivedStrings) {
    const KString s("Hello"), path("path/to/file.name.ext"), tokens("  one,,two ; three  ");
    EXPECT_TRUE(s == "Hello" && s != "hello" && KString("") == kNull);
    EXPECT_FALSE(KString("a\xff") == "a\x7f") << "bytes beyond ASCII compare as unsigned";
    const int found[] = {s.CompareNoCase("hELLO") == 0, s.Compare("Help") < 0, s.CompareNoCase("HELP") < 0,
                         KString().Compare(nullptr) == 0, path.Find('/'), path.Find('/', 5),
                         path.Find('/', 100), path.Find("file"), path.Find("file", 9),
                         path.Find(kNull), path.ReverseFind('.'), path.ReverseFind('#'),
                         tokens.GetTokenCount(" ,;"), KString(",,,").GetTokenCount(","),
                         KString("abc").GetTokenCount(nullptr), (KString() = 3.0e38f).Find("300000"),
                         s.Compare(nullptr) > 0};
    const int expected[] = {1, 1, 1, 1, 4, 7, -1, 8, -1, 0, 17, -1, 3, 0, 1, 0, 1};
    for (int i = 0; i < 17; ++i) EXPECT_EQ(expected[i], found[i]) << i;
    const KString padded(" \t x y \n");
    const std::pair<KString, const char*> cases[] = {
        {path.Left(4), "path"}, {path.Left(1000), path.Buffer()}, {path.Right(3), "ext"},
        {path.Right(1000), path.Buffer()}, {path.Mid(8), "file.name.ext"}, {path.Mid(8, 4), "file"},
        {path.Mid(100), ""}, {path.Mid(18, 100), "ext"},
        {padded.UnPad(KString::eRight), " \t x y"}, {padded.UnPad(KString::eLeft), "x y \n"},
        {padded.UnPad(KString::eBoth), "x y"}, {KString("   ").UnPad(KString::eBoth), ""},
        {KString("aBc1").Upper(), "ABC1"}, {KString("aBc1").Lower(), "abc1"}, {KString("abc").Reverse(), "cba"},
        {tokens.GetToken(0, " ,;"), "one"}, {tokens.GetToken(2, " ,;"), "three"}, {tokens.GetToken(3, " ,;"), ""},
        {tokens.GetToken(-1, " ,;"), ""}, {KString("Marker Set ") += 1, "Marker Set 1"}, {KString(-42), "-42"},
        {KString() = 1.5f, "1.500000"}, {"a" + KString("b"), "ab"}, {KString("a") + 7, "a7"},
        {KString("a") + KString("b"), "ab"}};
    for (const auto& c : cases) EXPECT_STREQ(c.second, c.first.Buffer()) << &c - cases;
}

// Past the end reads 0; a write there goes to a scratch byte, never into the string.
TEST(KString, IndexPastTheEndAndFindAndReplaceAtAnyIndex) {
    KString s("abc");
    const KString& cs = s;
    EXPECT_TRUE(cs[0] == 'a' && cs[3] == '\0' && cs[-1] == '\0' && cs[1000u] == '\0');
    s[1000u] = 'x';
    s[-5] = 'y';
    EXPECT_TRUE(s[1000u] == '\0' && std::string("abc") == s.Buffer());
    KString r("a-b-c");
    EXPECT_TRUE(r.FindAndReplace("-", "+") && r.FindAndReplace("-", "--", 2));
    EXPECT_TRUE(!r.FindAndReplace("x", "y") && !r.FindAndReplace("", "y") && std::string("a+b--c") == r.Buffer());
    const std::string big(10000, 'z');
    KString b((big + "needle").c_str());
    EXPECT_TRUE(b.FindAndReplace("needle", "pin", 5000) && big + "pin" == b.Buffer());
}

TEST(KStringList, InsertClampsAndKeepsReferences) {
    KStringList list;
    const int at[] = {list.Add("b", 2), list.InsertAt(0, "a", 1), list.InsertAt(99, "c", 3), list.InsertAt(-1, "x", 0)};
    EXPECT_TRUE(at[0] == 0 && at[1] == 0 && at[2] == 2 && at[3] == -1 && list.GetCount() == 3);
    EXPECT_TRUE(std::string("a") == list.GetStringAt(0) && list.GetReferenceAt(2) == 3u && !list.GetStringAt(3) &&
                list.Find("b") == 1);
    for (int i : {0, 10}) list.RemoveAt(i);
    EXPECT_EQ(2, list.GetCount());
}
