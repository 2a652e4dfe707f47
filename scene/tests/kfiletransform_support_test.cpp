// The test-only evaluation of file transforms, against cases worked by hand: every other test of
// node placement trusts it.
#include <gtest/gtest.h>

#include <array>

#include "scene/tests/kfiletransform_support.h"

using namespace zeqtest;

namespace {

using P = std::array<double, 3>;

void ExpectPoint(const P& expected, const P& actual) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(expected[i], actual[i], 1e-12) << "component " << i;
}

// (1, 2, 3) turned 90 degrees about each axis, in each order. About X: (x, y, z) -> (x, -z, y);
// about Y: (z, y, -x); about Z: (-y, x, z).
TEST(FileTransformSupport, EulerOrdersTurnTheAxesInTheirNamedSequence) {
    const double angles[3] = {90, 90, 90};
    const struct {
        int order;
        P expected;
    } cases[] = {
        {0, {3, 2, -1}},   // X (1,-3,2), Y (2,-3,-1), Z (3,2,-1)
        {1, {2, 1, -3}},   // X (1,-3,2), Z (3,1,2), Y (2,1,-3)
        {2, {-2, 1, 3}},   // Y (3,2,-1), Z (-2,3,-1), X (-2,1,3)
        {3, {-1, 3, 2}},   // Y (3,2,-1), X (3,1,2), Z (-1,3,2)
        {4, {1, -3, 2}},   // Z (-2,1,3), X (-2,-3,1), Y (1,-3,2)
        {5, {3, -2, 1}},   // Z (-2,1,3), Y (3,1,2), X (3,-2,1)
        {6, {3, 2, -1}},   // spheric: as XYZ
        {42, {3, 2, -1}},  // unknown: as XYZ
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        ExpectPoint(c.expected, Apply(EulerMatrix(angles, c.order), {1, 2, 3}));
    }
}

TEST(FileTransformSupport, EulerXYZMatchesTheClosedFormOfThreeAngles) {
    const double a[3] = {30, 40, 50};
    const Mat4 m = EulerMatrix(a, 0);
    const double d = 3.14159265358979323846 / 180.0;
    const double cx = std::cos(30 * d), sx = std::sin(30 * d), cy = std::cos(40 * d), sy = std::sin(40 * d),
                 cz = std::cos(50 * d), sz = std::sin(50 * d);
    EXPECT_NEAR(m[0][0], cy * cz, 1e-12);
    EXPECT_NEAR(m[0][2], -sy, 1e-12);
    EXPECT_NEAR(m[1][0], sx * sy * cz - cx * sz, 1e-12);
    EXPECT_NEAR(m[2][1], cx * sy * sz - sx * cz, 1e-12);
    EXPECT_NEAR(m[2][2], cx * cy, 1e-12);
}

TEST(FileTransformSupport, MultiplyAppliesTheFirstMatrixFirst) {
    FileTransformValues move;
    move.t[0] = 1;
    FileTransformValues turn;
    turn.r[2] = 90;
    // Moved to (1, 0, 0), then turned about Z: (0, 1, 0); the other way round stays at (1, 0, 0).
    ExpectPoint({0, 1, 0}, Apply(Multiply(FileLocalMatrix(move), FileLocalMatrix(turn)), {0, 0, 0}));
    ExpectPoint({1, 0, 0}, Apply(Multiply(FileLocalMatrix(turn), FileLocalMatrix(move)), {0, 0, 0}));
}

TEST(FileTransformSupport, PivotsHoldTheirPointStill) {
    FileTransformValues v;
    v.r[2] = 90;
    v.rotationPivot[0] = 1;
    // (2, 0, 0) is (1, 0, 0) from the pivot, turned to (0, 1, 0) from it.
    ExpectPoint({1, 1, 0}, Apply(FileLocalMatrix(v), {2, 0, 0}));
    ExpectPoint({1, 0, 0}, Apply(FileLocalMatrix(v), {1, 0, 0}));

    FileTransformValues s;
    s.s[0] = s.s[1] = s.s[2] = 2;
    s.scalingPivot[0] = s.scalingPivot[1] = s.scalingPivot[2] = 1;
    ExpectPoint({3, 1, 1}, Apply(FileLocalMatrix(s), {2, 1, 1}));
    ExpectPoint({1, 1, 1}, Apply(FileLocalMatrix(s), {1, 1, 1}));
}

TEST(FileTransformSupport, ScalingOffsetTurnsWithTheRotationWhileTheOthersDoNot) {
    FileTransformValues v;
    v.r[2] = 90;
    v.scalingOffset[1] = 1;
    ExpectPoint({-1, 0, 0}, Apply(FileLocalMatrix(v), {0, 0, 0}));
    v.scalingOffset[1] = 0;
    v.rotationOffset[0] = 1;
    v.t[2] = 1;
    ExpectPoint({1, 0, 1}, Apply(FileLocalMatrix(v), {0, 0, 0}));
}

TEST(FileTransformSupport, PreAndPostRotationOnlyWhileRotationIsActive) {
    FileTransformValues v;
    v.t[0] = 1;
    v.t[1] = 2;
    v.t[2] = 3;
    v.preRotation[0] = 90;
    v.postRotation[2] = 90;
    // (1, 0, 0): post-rotation undone (-90 about Z) gives (0, -1, 0), pre-rotation (90 about X)
    // (0, 0, -1), then the translation.
    ExpectPoint({1, 2, 2}, Apply(FileLocalMatrix(v), {1, 0, 0}));
    v.rotationActive = false;
    ExpectPoint({2, 2, 3}, Apply(FileLocalMatrix(v), {1, 0, 0}));
}

TEST(FileTransformSupport, PreRotationTurnsAfterTheNodesOwnRotation) {
    FileTransformValues v;
    v.r[0] = 90;
    v.preRotation[1] = 90;
    // About X first: (0, 1, 0) -> (0, 0, 1); then about Y: (1, 0, 0).
    ExpectPoint({1, 0, 0}, Apply(FileLocalMatrix(v), {0, 1, 0}));
}

TEST(FileTransformSupport, GeometricTransformScalesThenTurnsThenMoves) {
    FileTransformValues v;
    v.geometricT[0] = 1;
    v.geometricR[2] = 90;
    v.geometricS[0] = 2;
    ExpectPoint({1, 2, 0}, Apply(FileGeometricMatrix(v), {1, 0, 0}));
    // None of it is in the local matrix, and nothing of the local matrix is in it.
    ExpectPoint({1, 0, 0}, Apply(FileLocalMatrix(v), {1, 0, 0}));
    v.t[0] = 5;
    ExpectPoint({1, 2, 0}, Apply(FileGeometricMatrix(v), {1, 0, 0}));
}

}  // namespace
