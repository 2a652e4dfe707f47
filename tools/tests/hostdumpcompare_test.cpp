// Host scene dumps compared record by record: tolerance edges, whole records missing or added,
// lines of one side only, and text that is no dump.
#include "tools/hostdumpcompare.h"

#include <gtest/gtest.h>

namespace zeqcompare {
namespace {

const char kBefore[] =
    "units distance 6 angle 2 time 6\n"
    "time current 0 min 0 max 1\n"
    "namespace current :\n"
    "namespace crowd\n"
    "node curve_translateX animCurveTL\n"
    "  curve type 1 weighted 0\n"
    "  key 0 0 in 4 0 0.33 out 4 0 0.33 locked 10\n"
    "  key 1 2 in 4 0 0.33 out 4 0 0.33 locked 10\n"
    "node |a transform\n"
    "  child b\n"
    "  added heat ht kind 0 type 548 data 13 unit 0 array 0 default 0.5 flags 110000\n"
    "  value translate.translateX 100\n"
    "  value translate.translateZ 5\n"
    "  value worldMatrix 1 0 0 0 0 1 0 0 0 0 1 0 1000 0 0 1\n"
    "node |a|b mesh\n"
    "  points 0 0 0 / 1 0 0 / 0 1 0\n"
    "  uvSet map1\n"
    "  u 0 1 0\n"
    "  uvSet second\n"
    "  u 0 0.5 0\n"
    "node |gone transform\n"
    "connect curve_translateX.output -> |a.translate.translateZ\n"
    "selected a\n";

HostDump Parse(const std::string& text) {
    HostDump dump;
    std::string error;
    EXPECT_TRUE(ParseHostDump(text, dump, error)) << error;
    return dump;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::vector<Difference> Compare(const std::string& after, std::map<std::string, KindTally>* tallies = nullptr) {
    std::map<std::string, KindTally> local;
    return CompareHostDumps(kExportImport, Parse(kBefore), Parse(after), Tolerances(), tallies ? *tallies : local);
}

TEST(HostDumpCompare, ADumpEqualsItselfAndBlankLinesDoNotCount) {
    std::map<std::string, KindTally> tallies;
    EXPECT_TRUE(Compare(kBefore, &tallies).empty());
    EXPECT_TRUE(Compare(Replace(kBefore, "node |gone", "\n   \nnode |gone")).empty());
    EXPECT_EQ(tallies["transform"].mEqual, 2);
    EXPECT_EQ(tallies["scene"].mEqual, 1);
    EXPECT_EQ(tallies["connection"].mEqual, 1);
    EXPECT_EQ(tallies["selection"].mEqual, 1);
}

// One changed text and whether the comparison still finds the dumps equal.
struct EdgeCase {
    const char* name;
    const char* from;
    const char* to;
    bool equal;
};

class ToleranceEdge : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(ToleranceEdge, DecidesEquality) {
    const std::vector<Difference> found = Compare(Replace(kBefore, GetParam().from, GetParam().to));
    EXPECT_EQ(found.empty(), GetParam().equal) << (found.empty() ? "" : found[0].mAspect + ": " + found[0].mDetail);
}

const EdgeCase kEdges[] = {
    // Values: 1e-5 of the larger magnitude.
    {"ValueAtTheRelativeEdge", "translateX 100\n", "translateX 100.001\n", true},
    {"ValueBeyondTheRelativeEdge", "translateX 100\n", "translateX 100.0011\n", false},
    // Below magnitude 1 the tolerance is absolute: rounding noise near zero is equal.
    {"NearZeroWithinAbsolute", "default 0.5", "default 0.500009", true},
    {"NearZeroNoise", "u 0 1 0", "u 6.123e-17 1 0", true},
    {"NearZeroBeyond", "u 0 0.5 0", "u 0 0.50002 0", false},
    // Matrices: 1e-4 per element, absolute even for large elements.
    {"MatrixWithin", "0 1 0 1000 0 0 1\n", "0 1 0 1000.00009 0 0 1\n", true},
    {"MatrixBeyond", "0 1 0 1000 0 0 1\n", "0 1 0 1000.0002 0 0 1\n", false},
    {"MatrixRotationNoise", "worldMatrix 1 0 0 0", "worldMatrix 0.99995 0 0 0", true},
    // Integers are counts, flags and codes: exact.
    {"FlagsExact", "flags 110000", "flags 110001", false},
    {"NegativeZeroIsZero", "key 0 0 in 4 0", "key -0 0 in 4 -0", true},
    {"TextExact", "child b", "child c", false},
    {"WordCount", "points 0 0 0 / 1 0 0 / 0 1 0", "points 0 0 0 / 1 0 0", false},
};
INSTANTIATE_TEST_SUITE_P(Lines, ToleranceEdge, ::testing::ValuesIn(kEdges),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

TEST(HostDumpCompare, NamesTheWordThatDiffers) {
    const std::vector<Difference> found = Compare(Replace(kBefore, "u 0 0.5 0", "u 0 0.6 0.25"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].mKind, "mesh");
    EXPECT_EQ(found[0].mSubject, "|a|b");
    EXPECT_EQ(found[0].mStatus, "different");
    EXPECT_EQ(found[0].mAspect, "uvSet second u");  // the second set's line, not the first's
    EXPECT_EQ(found[0].mDetail, "word 3: 0.5 != 0.6 (2 words differ)");
}

// A node gone is missing with its kind, a new one added; both counted per kind.
TEST(HostDumpCompare, MissingAndAddedNodes) {
    std::map<std::string, KindTally> tallies;
    const std::vector<Difference> found =
        Compare(Replace(kBefore, "node |gone transform\n", "node |new locator\n"), &tallies);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].mSubject, "|gone");
    EXPECT_EQ(found[0].mStatus, "missing");
    EXPECT_EQ(found[0].mKind, "transform");
    EXPECT_EQ(found[1].mSubject, "|new");
    EXPECT_EQ(found[1].mStatus, "added");
    EXPECT_EQ(tallies["transform"].mMissing, 1);
    EXPECT_EQ(tallies["transform"].mEqual, 1);
    EXPECT_EQ(tallies["locator"].mAdded, 1);
}

// Lines pair by key: keys by their place (a key lost shows at the places after it), named values
// by their name (one renamed shows as one line lost and one new).
TEST(HostDumpCompare, LinesOfOneSideOnly) {
    std::string after = Replace(kBefore, "  key 0 0 in 4 0 0.33 out 4 0 0.33 locked 10\n", "");
    after = Replace(after, "  value translate.translateX 100\n", "  value translate.translateY 100\n");
    const std::vector<Difference> found = Compare(after);
    std::vector<std::string> aspects;
    for (const Difference& d : found) aspects.push_back(d.mAspect + " | " + d.mDetail);
    const std::vector<std::string> expected = {
        "key#0 | word 2: 0 != 1 (2 words differ)",
        "key#1 | line only before: key 1 2 in 4 0 0.33 out 4 0 0.33 locked 10",
        "value translate.translateX | line only before: value translate.translateX 100",
        "value translate.translateY | line only after: value translate.translateY 100",
    };
    EXPECT_EQ(aspects, expected);
}

TEST(HostDumpCompare, ConnectionsPairByDestinationAndTypesAreCompared) {
    std::string after = Replace(kBefore, "connect curve_translateX.output", "connect other_translateX.output");
    after = Replace(after, "node |gone transform", "node |gone joint");
    const std::vector<Difference> found = Compare(after);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].mKind, "connection");
    EXPECT_EQ(found[0].mSubject, "|a.translate.translateZ");
    EXPECT_EQ(found[0].mDetail, "word 2: curve_translateX.output != other_translateX.output");
    EXPECT_EQ(found[1].mAspect, "type");
    EXPECT_EQ(found[1].mDetail, "transform != joint");
}

// What carries no meaning of its own: a disabled limit's value, and whether normals are shared.
TEST(HostDumpCompare, DisabledLimitsAndNormalSharingDoNotCount) {
    const std::vector<std::string> shared = {"points 0 0 0 / 1 0 0 / 0 1 0", "normals 0 0 1 / 0 0 -1",
                                             "normalIds 0 0 1", "limit 3 enabled 0 value 1", "uvSet map1"};
    const std::vector<std::string> own = {"points 0 0 0 / 1 0 0 / 0 1 0", "normals 0 0 1 / 0 0 1 / 0 0 -1",
                                          "normalIds 0 1 2", "uvSet map1"};
    const std::vector<std::string> expected = {"points 0 0 0 / 1 0 0 / 0 1 0",
                                               "faceVertexNormals 0 0 1 0 0 1 0 0 -1", "uvSet map1"};
    EXPECT_EQ(MeaningfulLines(shared), expected);
    EXPECT_EQ(MeaningfulLines(own), expected);
    // An enabled limit counts; ids outside the normals leave the lines as they are.
    EXPECT_EQ(MeaningfulLines({"limit 3 enabled 1 value 1"}).size(), 1u);
    const std::vector<std::string> bad = {"normals 0 0 1", "normalIds 0 1"};
    EXPECT_EQ(MeaningfulLines(bad), bad);

    std::string after = Replace(kBefore, "  value translate.translateX 100\n",
                                "  value translate.translateX 100\n  limit 12 enabled 0 value 0\n");
    EXPECT_TRUE(Compare(after).empty());
    after = Replace(kBefore, "  value translate.translateX 100\n",
                    "  value translate.translateX 100\n  limit 12 enabled 1 value 0\n");
    ASSERT_EQ(Compare(after).size(), 1u);
    EXPECT_EQ(Compare(after)[0].mAspect, "limit 12");
}

// The static value of a driven plug shows nowhere: the curve's value is what the plug reads.
TEST(HostDumpCompare, StaticValuesOfDrivenPlugsDoNotCount) {
    EXPECT_TRUE(Compare(Replace(kBefore, "translate.translateZ 5\n", "translate.translateZ 7\n")).empty());
    const std::string undriven = Replace(kBefore, "connect curve_translateX.output -> |a.translate.translateZ\n", "");
    std::map<std::string, KindTally> tallies;
    const std::vector<Difference> found =
        CompareHostDumps(kImportImport, Parse(undriven),
                         Parse(Replace(undriven, "translate.translateZ 5\n", "translate.translateZ 7\n")),
                         Tolerances(), tallies);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].mAspect, "value translate.translateZ");
}

TEST(HostDumpCompare, LineKeys) {
    const std::vector<std::string> keys = LineKeys({"value rotate.rotateX 0", "uvSet map1", "u 0 1", "uvTexture brick",
                                                    "uvSet light", "u 0", "key 0 1", "key 1 2", "points 0",
                                                    "points 1", "member cube cubeShape component 2031 complete -1 0 1",
                                                    "label weight[0] Smile"});
    const std::vector<std::string> expected = {"value rotate.rotateX", "uvSet map1",   "uvSet map1 u",
                                               "uvSet map1 uvTexture brick", "uvSet light", "uvSet light u",
                                               "key#0",  "key#1", "points", "points#1", "member cube cubeShape",
                                               "label weight[0]"};
    EXPECT_EQ(keys, expected);
}

struct BadDumpCase {
    const char* name;
    const char* text;
    const char* error;
};

class BadDump : public ::testing::TestWithParam<BadDumpCase> {};

TEST_P(BadDump, IsRefusedWithItsLine) {
    HostDump dump;
    dump.mRecords["kept"].mKind = "transform";
    std::string error;
    EXPECT_FALSE(ParseHostDump(GetParam().text, dump, error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
    EXPECT_EQ(dump.mRecords.count("kept"), 1u);  // untouched
}

const BadDumpCase kBadDumps[] = {
    {"IndentedFirst", "  value x 1\n", "line 1: an indented line outside a node"},
    {"IndentedAfterConnection", "node a transform\nconnect a.x -> b.y\n  value x 1\n", "line 3: an indented"},
    {"NodeWithoutType", "node |a\n", "line 1: a node line needs"},
    {"NodeTwice", "node a transform\nnode a transform\n", "line 2: node a twice"},
    {"BadConnection", "connect a.x b.y\n", "line 1: a connection needs"},
    {"NotADump", "Result: 3\n", "line 1: not a line of a scene dump"},
};
INSTANTIATE_TEST_SUITE_P(Texts, BadDump, ::testing::ValuesIn(kBadDumps),
                         [](const ::testing::TestParamInfo<BadDumpCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zeqcompare
