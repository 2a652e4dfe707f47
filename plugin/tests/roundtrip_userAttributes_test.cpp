// Round trip of the userAttributes family: user attributes of every type the export carries, soft
// limits, one animated.
#include "roundtrip_support.h"

namespace {

using UserAttributesRoundTrip = roundtrip::RoundTripTest;

TEST_P(UserAttributesRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(UserAttributesRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

// The file names a property by the attribute's short name, which the host finds on both sides: every
// value comes back, and the animated one's curve evaluates as before.
TEST_P(UserAttributesRoundTrip, ValuesAndCurveComeBack) {
    Load("kCreate");
    ASSERT_TRUE(Build());
    const char* const names[] = {"act", "lv", "cc", "bl", "hv", "tir", "tig", "tib", "aox", "aoy", "aoz"};
    std::vector<double> before, after;
    for (const char* name : names) before.push_back(roundtrip::PlugValue(std::string("holder.") + name));
    const std::vector<double> times = {0, 0.1, 0.25, 0.4, 0.5, 0.7};
    const std::vector<double> curve = roundtrip::Evaluate("holder_blend", times);
    ASSERT_EQ(curve.size(), times.size());
    ASSERT_TRUE(ExportImport(mDirectory + "values.zeq"));
    for (const char* name : names) after.push_back(roundtrip::PlugValue(std::string("holder.") + name));
    EXPECT_TRUE(roundtrip::Near(after, before));
    EXPECT_TRUE(roundtrip::Near(roundtrip::Evaluate("holder_bl", times), curve));
}

INSTANTIATE_TEST_SUITE_P(UserAttributes, UserAttributesRoundTrip, ::testing::ValuesIn(roundtrip::Cases("userAttributes")),
                         roundtrip::CaseName);

}  // namespace
