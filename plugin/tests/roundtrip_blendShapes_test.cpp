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

// The deformers come back under the names the import gives them: each weight as it was, the
// animated one's curve evaluating as before.
TEST_P(BlendShapesRoundTrip, WeightsComeBack) {
    Load("kCreate");
    ASSERT_TRUE(Build());
    const std::vector<double> times = {0, 0.1, 0.25, 0.4, 0.5, 0.7};
    const std::vector<double> curve = roundtrip::Evaluate("faceBlend_smile", times);
    const std::vector<double> weights = {roundtrip::PlugValue("faceBlend.weight[1]"),
                                         roundtrip::PlugValue("faceBlend.weight[2]"),
                                         roundtrip::PlugValue("lidBlend.weight[0]")};
    ASSERT_TRUE(ExportImport(mDirectory + "weights.zeq"));
    EXPECT_TRUE(roundtrip::Near(roundtrip::Evaluate("sfaceBlend_BlendShaper_smile", times), curve));
    EXPECT_TRUE(roundtrip::Near({roundtrip::PlugValue("sfaceBlend_BlendShaper.weight[1]"),
                                 roundtrip::PlugValue("sfaceBlend_BlendShaper.weight[2]"),
                                 roundtrip::PlugValue("slidBlend_BlendShaper.weight[0]")},
                                weights));
}

INSTANTIATE_TEST_SUITE_P(BlendShapes, BlendShapesRoundTrip, ::testing::ValuesIn(roundtrip::Cases("blendShapes")),
                         roundtrip::CaseName);

}  // namespace
