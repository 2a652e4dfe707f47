// Names and paths: replacement, path cutting, reserved cameras, readable paths, curve colours and
// paths found by name.
#include "zeqtulo_test_support.h"

#include "fcurve/kfcurve.h"
#include "plugin/zeqtuloutility.h"

using zeqsdk_400::KString;

namespace {

using StringsTest = HostTest;

struct ReplaceCase {
    const char* name;
    const char* text;
    const char* find;
    const char* with;
    const char* expected;
};

class Replace : public StringsTest, public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(Replace, EveryOccurrence) {
    const ReplaceCase& c = GetParam();
    EXPECT_STREQ(ZeqTuloUtility::Replace(c.text, c.find, c.with), c.expected);
    KString text(c.text);
    EXPECT_STREQ(ZeqTuloUtility::Replace(text, c.find, c.with).Buffer(), c.expected);
}

const ReplaceCase kReplace[] = {
    {"BlanksToUnderscores", "a b c", " ", "_", "a_b_c"},
    {"BarsReadable", "|a|b", "|", " / ", " / a / b"},
    {"NothingToFind", "abc", "x", "_", "abc"},
    {"EmptyFind", "abc", "", "_", "abc"},
    // The search goes on after each replacement: no endless loop, nothing replaced twice.
    {"ReplacementHoldsTheText", "banana", "a", "aa", "baanaanaa"},
    {"ReplacementFormsTheTextAgain", "aab", "ab", "a", "aa"},
};
INSTANTIATE_TEST_SUITE_P(Strings, Replace, ::testing::ValuesIn(kReplace), CaseName());

TEST_F(StringsTest, StringBetweenTokens) {
    struct Case {
        const char* text;
        bool found;
        const char* cut;
    };
    for (const Case& c : {Case{"|group1|cam1|camShape1", true, "|group1"}, Case{"|cam1", true, "|cam1"},
                          Case{"cam1", false, "cam1"}, Case{"a|b", true, "|b"}}) {
        KString text(c.text);
        EXPECT_EQ(ZeqTuloUtility::GetStringBetweenToken(text, '|', '|'), c.found) << c.text;
        EXPECT_STREQ(text.Buffer(), c.cut);
    }
}

TEST_F(StringsTest, ReservedCameraNames) {
    for (const char* name : {"persp", "perspShape", "sideShape", "Producer Right"})
        EXPECT_TRUE(ZeqTuloUtility::IsCameraNameReserved(name)) << name;
    for (const char* name : {"|persp", "persp ", "persp1", "Persp", ""})
        EXPECT_FALSE(ZeqTuloUtility::IsCameraNameReserved(name)) << name;
    EXPECT_FALSE(ZeqTuloUtility::IsCameraNameReserved(nullptr));
}

// A readable path of 181 characters keeps 87 + " ... " + 88; one of 180 stays whole.
TEST_F(StringsTest, ReadablePathsAreCut) {
    EXPECT_STREQ(ZeqTuloUtility::MakeReadablePath(nullptr).Buffer(), "");
    std::string longName = "a" + std::string(176, 'b') + "c";  // " / " + 178 = 181
    TDagPath path = TDagPath::getAPathTo(standin::createNode("transform", longName));
    KString readable = ZeqTuloUtility::MakeReadablePath(&path);
    std::string full = " / " + longName;
    EXPECT_EQ(readable.GetLen(), 180u);
    EXPECT_EQ(std::string(readable.Buffer()), full.substr(0, 87) + " ... " + full.substr(full.size() - 88));
    EXPECT_EQ(std::string(readable.Buffer()).find(" ... "), 87u);  // positions 88 to 92 counted from 1
    TDagPath exact = TDagPath::getAPathTo(standin::createNode("transform", longName.substr(1)));
    EXPECT_EQ(std::string(ZeqTuloUtility::MakeReadablePath(&exact).Buffer()), " / " + longName.substr(1));
    EXPECT_STREQ(ZeqTuloUtility::MakeItReadable("|a|b").Buffer(), " / a / b");
}

TEST_F(StringsTest, CurveColoursWrap) {
    zeqsdk_400::KFCurve curve;
    auto color = [&](int index) {
        ZeqTuloUtility::SetShapeCurveColor(curve, index);
        const float* c = curve.GetColor();
        return std::vector<float>(c, c + 3);
    };
    EXPECT_EQ(color(21), std::vector<float>({0, 1, 0}));
    EXPECT_EQ(color(20), std::vector<float>({1, 0, 0}));
    EXPECT_EQ(color(-1), std::vector<float>({0.65f, 0.65f, 0}));
    EXPECT_EQ(color(-21), color(19));
}

TEST_F(StringsTest, PathsByName) {
    TObject a = standin::createNode("transform", "a");
    standin::createNode("transform", "leaf", standin::createNode("transform", "b", a));
    standin::createNode("transform", "leaf", a);
    TDagPath found;
    ASSERT_TRUE(ExtractPath("|a|b|leaf", found));
    EXPECT_EQ(std::string(found.fullPathName().asChar()), "|a|b|leaf");
    ASSERT_TRUE(ExtractPath("b|leaf", found));
    EXPECT_EQ(std::string(found.fullPathName().asChar()), "|a|b|leaf");
    EXPECT_FALSE(ExtractPath("leaf", found));  // two match: neither partial name is "leaf"
    EXPECT_FALSE(ExtractPath("|b", found));
    TString out("x");
    SpaceRemover(TString(" a  b c "), out);
    EXPECT_EQ(std::string(out.asChar()), "xabc");
}

}  // namespace
