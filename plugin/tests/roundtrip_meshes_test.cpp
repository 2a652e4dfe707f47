// Round trip of the meshes family: cubes with UV sets, colours, two materials, a placed file
// texture and a three-layer texture; hard edges split on export and merged on import.
#include "roundtrip_support.h"

namespace {

using MeshesRoundTrip = roundtrip::RoundTripTest;

TEST_P(MeshesRoundTrip, ComesBackWithTheExpectedDifferences) {
    Load("kCreate");
    const roundtrip::Road road = RunRoad();
    ASSERT_TRUE(road.mOk);
    const std::string report = Compare(road);
    EXPECT_TRUE(report.empty()) << report;
}

TEST_P(MeshesRoundTrip, MergesBackIntoItsScene) {
    Load("kMerge");
    const std::string report = MergeRun();
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Meshes, MeshesRoundTrip, ::testing::ValuesIn(roundtrip::Cases("meshes", {"ZEQExportHardEdges 1", "ZEQImportHardEdges 1"})),
                         roundtrip::CaseName);

}  // namespace
