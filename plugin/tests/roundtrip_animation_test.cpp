// Round trip of the animation family: every tangent kind, weighted and unweighted, stepped
// visibility, the six rotate orders, limits, pivots, rotate axis and joint orient.
#include "roundtrip_support.h"

#include "tfntransform.h"

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

// What the host draws: each curve evaluates after the import as before the export, the sampled
// ones at their samples; the weighted one within what the file's weight steps (1/9999 of a
// segment) leave. Enabled limits come back as they were.
TEST_P(AnimationRoundTrip, CurvesAndLimitsComeBack) {
    Load("kCreate");
    ASSERT_TRUE(Build());
    struct Curve {
        const char* mName;
        double mStep;  // seconds between evaluations: the sample period of a sampled curve
        double mTolerance;
    };
    const Curve curves[] = {{"mover_translateX", 1.0 / 30, 1e-5}, {"mover_translateY", 1.0 / 60, 1e-3},
                            {"mover_translateZ", 1.0 / 60, 1e-5}, {"mover_scaleX", 1.0 / 30, 1e-5},
                            {"mover_visibility", 1.0 / 60, 1e-5}, {"mover_rotateY", 1.0 / 60, 1e-5},
                            {"knee_rotateZ", 1.0 / 60, 1e-5}, {"spinner_rotateY", 1.0 / 60, 1e-5}};
    std::vector<std::vector<double>> times, before;
    for (const Curve& c : curves) {
        times.emplace_back();
        for (double t = 0; t <= 1.3; t += c.mStep) times.back().push_back(t);
        before.push_back(roundtrip::Evaluate(c.mName, times.back()));
        ASSERT_FALSE(before.back().empty()) << c.mName;
    }
    TFnTransform gate(standin::find("gate"));
    std::vector<double> limits;
    for (int type = 0; type < 24; ++type)
        if (gate.isLimited(type)) limits.push_back(type), limits.push_back(gate.limitValue(type));
    ASSERT_TRUE(ExportImport(mDirectory + "curves.zeq"));
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(roundtrip::Near(roundtrip::Evaluate(curves[i].mName, times[i]), before[i], curves[i].mTolerance))
            << curves[i].mName;
    gate.setObject(standin::find("gate"));
    std::vector<double> after;
    for (int type = 0; type < 24; ++type)
        if (gate.isLimited(type)) after.push_back(type), after.push_back(gate.limitValue(type));
    EXPECT_TRUE(roundtrip::Near(after, limits, 1e-9));
}

INSTANTIATE_TEST_SUITE_P(Animation, AnimationRoundTrip, ::testing::ValuesIn(roundtrip::Cases("animation")),
                         roundtrip::CaseName);

}  // namespace
