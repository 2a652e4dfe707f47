// The expected-differences list: its patterns, its lines and the judgement that fails on a
// difference it does not expect and on an entry that no longer occurs.
#include "tools/comparedifferences.h"

#include <gtest/gtest.h>

namespace zeqcompare {
namespace {

struct GlobCase {
    const char* name;
    const char* pattern;
    const char* text;
    bool matches;
};

class Glob : public ::testing::TestWithParam<GlobCase> {};

TEST_P(Glob, Matches) { EXPECT_EQ(GlobMatch(GetParam().pattern, GetParam().text), GetParam().matches); }

const GlobCase kGlobs[] = {
    {"StarMatchesEmpty", "*", "", true},
    {"StarCrossesPathBars", "|persp*", "|persp|perspShape", true},
    {"BracketsAreText", "node[*].property[Visibility]*", "node[|a|b].property[Visibility].value", true},
    {"QuestionIsOneCharacter", "key#?", "key#7", true},
    {"QuestionNeedsACharacter", "key#?", "key#", false},
    {"BacktracksOverEarlierStars", "a*b*c", "axxbyybzc", true},
    {"AnchoredAtTheEnd", "a*b", "abc", false},
    {"ExactText", "value curvePrecision", "value curvePrecisionShaded", false},
    {"EmptyPatternOnlyEmpty", "", "x", false},
};
INSTANTIATE_TEST_SUITE_P(Patterns, Glob, ::testing::ValuesIn(kGlobs),
                         [](const ::testing::TestParamInfo<GlobCase>& info) { return std::string(info.param.name); });

TEST(ExpectedList, ReadsEntriesAndSkipsCommentsAndBlanks) {
    std::vector<ExpectedDifference> list;
    std::string error;
    ASSERT_TRUE(ParseExpectedDifferences("# header\n\n"
                                         "export-import camera |persp|* different * -- the host keeps its own\n"
                                         "  files node node[*]* * * --   spaced reason  \n"
                                         "export-import nurbsSurface * different value curvePrecision -- blanks\n",
                                         list, error))
        << error;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].mSubject, "|persp|*");
    EXPECT_EQ(list[0].mReason, "the host keeps its own");
    EXPECT_EQ(list[0].mLine, 3);
    EXPECT_EQ(list[1].mStatus, "*");
    EXPECT_EQ(list[1].mReason, "spaced reason");
    EXPECT_EQ(list[2].mAspect, "value curvePrecision");  // the aspect runs to the reason
}

struct BadListCase {
    const char* name;
    const char* text;
    const char* error;
};

class BadExpectedList : public ::testing::TestWithParam<BadListCase> {};

// A bad line is named, and nothing of the list is taken.
TEST_P(BadExpectedList, IsRefusedWithItsLine) {
    std::vector<ExpectedDifference> list;
    std::string error;
    EXPECT_FALSE(ParseExpectedDifferences(std::string("files a b different * -- fine\n") + GetParam().text, list, error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
    EXPECT_TRUE(list.empty());
}

const BadListCase kBadLists[] = {
    {"NoReason", "files a b different *\n", "line 2: no \" -- \""},
    {"EmptyReason", "files a b different * --  \n", "line 2: an expected difference needs its reason"},
    {"FourPatterns", "files a b different -- why\n", "line 2: needs comparison"},
    {"UnknownComparison", "export a b different * -- why\n", "line 2: unknown comparison \"export\""},
    {"UnknownStatus", "files a b gone * -- why\n", "line 2: unknown status \"gone\""},
};
INSTANTIATE_TEST_SUITE_P(Lines, BadExpectedList, ::testing::ValuesIn(kBadLists),
                         [](const ::testing::TestParamInfo<BadListCase>& info) { return std::string(info.param.name); });

Difference Make(const char* comparison, const char* kind, const char* subject, const char* status, const char* aspect) {
    return {comparison, kind, subject, status, aspect, ""};
}

// The first entry that fits a difference takes it; an entry of a comparison that ran and met
// nothing is stale; one of a comparison that did not run is not judged.
TEST(ExpectedList, JudgesUnexpectedAndStaleEntries) {
    std::vector<ExpectedDifference> list;
    std::string error;
    ASSERT_TRUE(ParseExpectedDifferences("export-import camera |persp|* different * -- reserved\n"
                                         "export-import * * different * -- anything else, never reached for cameras\n"
                                         "export-import mesh |gone* missing * -- stale: nothing goes missing\n"
                                         "files node * different * -- files did not run\n",
                                         list, error))
        << error;
    const std::vector<Difference> differences = {
        Make(kExportImport, "camera", "|persp|perspShape", "different", "value focalLength"),
        Make(kExportImport, "transform", "|a", "different", "value translate.translateX"),
        Make(kExportImport, "transform", "|b", "missing", ""),
        Make(kImportImport, "camera", "|persp|perspShape", "different", "value focalLength"),
    };
    const Judgement j = Judge(differences, list, {kExportImport, kImportImport});
    ASSERT_EQ(j.mExpectedBy.size(), 4u);
    EXPECT_EQ(j.mExpectedBy[0], &list[0]);
    EXPECT_EQ(j.mExpectedBy[1], &list[1]);
    EXPECT_EQ(j.mExpectedBy[2], nullptr);  // "missing" is no "different"
    EXPECT_EQ(j.mExpectedBy[3], nullptr);  // entries are per comparison
    EXPECT_EQ(j.mUnexpected, 2);
    ASSERT_EQ(j.mStale.size(), 1u);
    EXPECT_EQ(j.mStale[0], &list[2]);
    EXPECT_EQ(list[0].mHits, 1);
    EXPECT_EQ(list[3].mHits, 0);
}

}  // namespace
}  // namespace zeqcompare
