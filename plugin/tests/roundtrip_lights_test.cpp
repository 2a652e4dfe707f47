// Round trip of the lights family: point, spot (cone animated), directional and ambient lights,
// turned under rotate orders other than XYZ.
#include "roundtrip_support.h"

namespace {

using LightsRoundTrip = roundtrip::RoundTripTest;

TEST_P(LightsRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(LightsRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Lights, LightsRoundTrip, ::testing::ValuesIn(roundtrip::Cases("lights")),
                         roundtrip::CaseName);

}  // namespace
