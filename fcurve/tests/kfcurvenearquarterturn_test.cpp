// Rotations within a tenth of a degree of a quarter turn about Y, either way, turned into Euler XYZ
// angles by the curve nodes: a quaternion node's evaluation, an Euler layer over its base and the
// turn that lays one axis onto a direction give that turn, not the quarter turn.
#include <gtest/gtest.h>

#include <cmath>

#include "fcurve/kfcurveplot.h"
#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

TEST(KFCurveNodeNearAQuarterTurn, AnglesGiveTheTurnNotTheQuarterTurn) {
    for (double y : {89.95, -90.05}) {
        SCOPED_TRACE(y);
        const double half = y * M_PI / 360.0;
        NodePtr quaternion(
            Vector("Q", nullptr, KFCL_QUAT, {0, static_cast<float>(std::sin(half)), 0, static_cast<float>(std::cos(half))}));
        const double turn[3] = {0, y, 0};
        ExpectSameRotation(Eval(*quaternion, KTime(0)).data(), turn, 1e-6);
        NodePtr euler(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, static_cast<float>(y - 40), 0}));
        LayerAt(*euler, 1, {0, 40, 0});
        ExpectSameRotation(Eval(*euler, KTime(0)).data(), turn, 1e-6);
        double origin[3] = {0, 0, 0}, x[3] = {1, 0, 0}, angles[3];
        double along[3] = {std::cos(2 * half), 0, -std::sin(2 * half)};
        AxisAlignmentInEulerAngle(origin, x, along, angles);
        ExpectSameRotation(angles, turn, 1e-9);
    }
}

}  // namespace
