// Round trip of the userAttributes family: user attributes of every type the export carries, soft limits, one animated.
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

INSTANTIATE_TEST_SUITE_P(UserAttributes, UserAttributesRoundTrip, ::testing::ValuesIn(roundtrip::Cases("userAttributes")),
                         roundtrip::CaseName);

}  // namespace
