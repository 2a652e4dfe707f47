// Round trip of the cameraKinds family: cameras plain, aimed, aimed with an up target and
// orthographic, each with another film fit.
#include "roundtrip_support.h"

namespace {

using CamerasRoundTrip = roundtrip::RoundTripTest;

TEST_P(CamerasRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(CamerasRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Cameras, CamerasRoundTrip, ::testing::ValuesIn(roundtrip::Cases("cameraKinds")),
                         roundtrip::CaseName);

}  // namespace
