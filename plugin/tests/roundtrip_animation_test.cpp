// Round trip of the animation family: every tangent kind, weighted and unweighted, stepped visibility, the six rotate orders, limits, pivots, rotate axis and joint orient.
#include "roundtrip_support.h"

namespace {

using AnimationRoundTrip = roundtrip::RoundTripTest;

TEST_P(AnimationRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(AnimationRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Animation, AnimationRoundTrip, ::testing::ValuesIn(roundtrip::Cases("animation")),
                         roundtrip::CaseName);

}  // namespace
