// Round trip of the skinning family: a joint chain in its bind pose skinning a mesh and a NURBS
// surface, weights about 0.001.
#include "roundtrip_support.h"

namespace {

using SkinningRoundTrip = roundtrip::RoundTripTest;

TEST_P(SkinningRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(SkinningRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Skinning, SkinningRoundTrip, ::testing::ValuesIn(roundtrip::Cases("skinning")),
                         roundtrip::CaseName);

}  // namespace
