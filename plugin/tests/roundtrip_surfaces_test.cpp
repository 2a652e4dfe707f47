// Round trip of the surfaces family: NURBS surfaces with open, closed and periodic directions,
// rational weights and an unevenly knotted closed direction.
#include "roundtrip_support.h"

namespace {

using SurfacesRoundTrip = roundtrip::RoundTripTest;

TEST_P(SurfacesRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(SurfacesRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Surfaces, SurfacesRoundTrip, ::testing::ValuesIn(roundtrip::Cases("surfaces")),
                         roundtrip::CaseName);

}  // namespace
