// Round trip of the hierarchy family: nested transforms, an instanced transform, namespaces and a
// "Zeq_Root" top node.
#include "roundtrip_support.h"

namespace {

using HierarchyRoundTrip = roundtrip::RoundTripTest;

TEST_P(HierarchyRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(HierarchyRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Hierarchy, HierarchyRoundTrip, ::testing::ValuesIn(roundtrip::Cases("hierarchy")),
                         roundtrip::CaseName);

}  // namespace
