// Round trip of the blendShapes family: mesh and NURBS bases with targets, an animated weight.
#include "roundtrip_support.h"

namespace {

using BlendShapesRoundTrip = roundtrip::RoundTripTest;

TEST_P(BlendShapesRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(BlendShapesRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(BlendShapes, BlendShapesRoundTrip, ::testing::ValuesIn(roundtrip::Cases("blendShapes")),
                         roundtrip::CaseName);

}  // namespace
