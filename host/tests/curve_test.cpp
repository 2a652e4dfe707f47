// Animation curves: evaluation against hand values, tangents across unit sets, driven plugs.
#include "host_test_support.h"

#include <cmath>

#include "tfnanimcurve.h"
#include "tfntransform.h"
#include "tglobal.h"

namespace {

using CurveTest = HostTest;

struct Shape {
    const char* name;
    int type;  // tangent type of every key
    double v[3];  // values at 0, 1 and 2 s
    double at, expected;
};

class CurveShapeTest : public HostTest, public ::testing::WithParamInterface<Shape> {};

TEST_P(CurveShapeTest, EvaluatesToHandValues) {
    const Shape& s = GetParam();
    standin::createNode("transform", "box");
    TFnAnimCurve fn;
    ASSERT_FALSE(fn.create(standin::plug("box.scaleX")).isNull());
    for (int i = 0; i < 3; ++i) fn.addKey(TTime(i, TTime::kSeconds), s.v[i], s.type, s.type);
    EXPECT_NEAR(fn.evaluate(TTime(s.at, TTime::kSeconds)), s.expected, 1e-12);
    EXPECT_EQ(fn.evaluate(TTime(-5, TTime::kSeconds)), s.v[0]);  // constant extrapolation
    EXPECT_EQ(fn.evaluate(TTime(9, TTime::kSeconds)), s.v[2]);
}

// Hermite s = 0.5 with dt = 1: v = (v0 + v1) / 2 + (m0 - m1) / 8.
INSTANTIATE_TEST_SUITE_P(
    Kinds, CurveShapeTest,
    ::testing::Values(Shape{"Step", 5, {0, 10, 0}, 0.99, 0}, Shape{"Linear", 2, {0, 10, 0}, 1.5, 5},
                      Shape{"SmoothPeak", 4, {0, 10, 0}, 0.5, 6.25},       // m0 10, m1 0
                      Shape{"SmoothRising", 4, {0, 10, 5}, 0.5, 5.9375},   // m0 10, m1 2.5
                      Shape{"ClampedAtExtremum", 8, {0, 10, 5}, 0.5, 6.25},
                      Shape{"Flat", 3, {0, 10, 5}, 0.5, 5}),
    [](const auto& info) { return std::string(info.param.name); });

// Weighted: handles (l0, 0) and (1 - l1, 1); with l0 = 1, l1 = 0, u = 0.5 is at t = 0.875, v = 0.5.
TEST_F(CurveTest, WeightedSegmentIsBezier) {
    standin::createNode("transform", "box");
    TFnAnimCurve fn;
    TObject curve = fn.create(standin::plug("box.scaleY"));
    fn.addKey(TTime(0, TTime::kSeconds), 0, 3, 3);
    fn.addKey(TTime(1, TTime::kSeconds), 1, 3, 3);
    ASSERT_TRUE(fn.setIsWeighted(true));
    EXPECT_NEAR(fn.evaluate(TTime(0.5, TTime::kSeconds)), 0.5, 1e-12);
    standin::setKeyTangent(curve, 0, false, 0, 1.0);
    standin::setKeyTangent(curve, 1, true, 0, 0.0);
    EXPECT_NEAR(fn.evaluate(TTime(0.875, TTime::kSeconds)), 0.5, 1e-12);
}

// A curve turned weighted has handles of a third of the key interval; its tangents read as the
// whole interval (three handles), and writing back a tangent of x frames gives a handle of x / 3.
TEST_F(CurveTest, WeightedTangentIsThreeHandles) {
    standin::createNode("transform", "box");
    standin::setUnits(6, 2, 6);
    TFnAnimCurve fn;
    TObject curve = fn.create(standin::plug("box.scaleY"));
    fn.addKey(TTime(0, TTime::kSeconds), 0, 3, 3);
    fn.addKey(TTime(2, TTime::kSeconds), 1, 3, 3);
    ASSERT_TRUE(fn.setIsWeighted(true));
    double x = 0, y = 0;
    ASSERT_TRUE(fn.getTangent(0, x, y, false));
    EXPECT_NEAR(x, 48, 1e-9);  // two seconds at 24 fps
    ASSERT_TRUE(fn.setTangent(0, 72, 0, false));  // handle of one second
    ASSERT_TRUE(fn.setTangent(1, 72, 0, true));
    // Handles (1, 0) and (1, 1) in seconds over (0, 0)..(2, 1): u = 0.5 is at t = 1, v = 0.5.
    EXPECT_NEAR(fn.evaluate(TTime(1, TTime::kSeconds)), 0.5, 1e-9);
    (void)curve;
}

// Set under cm / degrees / 24 fps, read under inch / radians / 30 fps: the same internal slope.
TEST_F(CurveTest, TangentsSurviveUnitChanges) {
    standin::createNode("transform", "box");
    for (bool weighted : {false, true})
        for (const char* attr : {"box.translateX", "box.rotateX"}) {
            SCOPED_TRACE(std::string(attr) + (weighted ? " weighted" : ""));
            standin::setUnits(6, 2, 6);
            TPlug p = standin::plug(attr);
            TFnAnimCurve fn;
            TObject c = fn.create(p);
            ASSERT_FALSE(c.isNull());
            fn.addKey(TTime(0, TTime::kSeconds), 0);
            fn.addKey(TTime(1, TTime::kSeconds), 1);
            fn.setIsWeighted(weighted);
            ASSERT_TRUE(fn.setTangent(0, 12.0, 3.0, false));  // 12 frames, 3 cm or 3 degrees
            EXPECT_EQ(fn.outTangentType(0), TFnAnimCurve::kTangentFixed);
            bool angle = attr[4] == 'r';
            double k = angle ? M_PI / 180 : 1, m = 3.0 / 12 * k * 24;  // internal per second
            standin::setUnits(1, 1, 7);
            double x, y;
            ASSERT_TRUE(fn.getTangent(0, x, y, false));
            double kNew = angle ? 1 : 2.54;
            EXPECT_NEAR(y / x, m / (kNew * 30), 1e-12);
            if (weighted) EXPECT_NEAR(x, 15, 1e-12);  // 12 frames at 24 fps are 15 at 30 fps
            else EXPECT_NEAR(x * x + y * y, 1, 1e-12);
            ASSERT_TRUE(fn.setTangent(0, x, y, false));  // written back unchanged
            standin::setUnits(6, 2, 6);
            ASSERT_TRUE(fn.getTangent(0, x, y, false));
            EXPECT_NEAR(y / x, 3.0 / 12, 1e-12);
            ASSERT_TRUE(TGlobal::deleteNode(c));
        }
}

TEST_F(CurveTest, DrivenPlugsReadTheirCurve) {
    standin::createNode("transform", "box");
    TPlug tx = standin::plug("box.translateX");
    TStatus status;
    TFnAnimCurve none(tx, &status);
    EXPECT_EQ(status, TStatus::kNotFound);
    TFnAnimCurve(TPlug(), &status);
    EXPECT_EQ(status, TStatus::kFailure);
    TFnAnimCurve fn;
    TObject curve = fn.create(tx);
    EXPECT_EQ(str(TFnDependencyNode(curve).name()), "box_translateX");
    EXPECT_EQ(fn.animCurveType(), TFnAnimCurve::kAnimCurveTL);
    fn.addKey(TTime(0, TTime::kSeconds), 0, 2, 2);
    fn.addKey(TTime(24, TTime::kFilm), 10, 2, 2);
    fn.addKey(TTime(1 + 1e-10, TTime::kSeconds), 3, 2, 2, nullptr, &status);
    EXPECT_FALSE(status);  // within 1e-9 s of a key
    TFnAnimCurve attached(tx, &status);
    EXPECT_EQ(status, TStatus::kSuccess);
    EXPECT_EQ(attached.object(), curve);
    TAnimControl::setCurrentTime(TTime(12, TTime::kFilm));
    double v = 0;
    ASSERT_TRUE(tx.getValue(v));
    EXPECT_DOUBLE_EQ(v, 5);
    ASSERT_TRUE(tx.setValue(3.0));  // a static value is kept, the curve still drives
    EXPECT_DOUBLE_EQ(TFnTransform(standin::find("box")).translation(TSpace::kTransform).x, 5);
    EXPECT_TRUE(fn.create(tx).isNull());  // already driven
    EXPECT_EQ(fn.time(1).as(TTime::kSeconds), 1);
    EXPECT_EQ(fn.time(1).unit(), TTime::kFilm);
    // Driven keys read the driver's value.
    TObject drv = standin::createDrivenCurve(standin::plug("box.translateX"), standin::plug("box.scaleZ"), 7);
    TFnAnimCurve dk(drv);
    dk.addKey(TTime(0, TTime::kSeconds), 1, 2, 2);
    dk.addKey(TTime(10, TTime::kSeconds), 3, 2, 2);
    ASSERT_TRUE(standin::plug("box.scaleZ").getValue(v));
    EXPECT_DOUBLE_EQ(v, 2);
}

TEST_F(CurveTest, LockedPlugsAndUnattachedSetsAreFaults) {
    standin::createNode("transform", "box");
    TPlug ty = standin::plug("box.translateY");
    standin::plug("box.translate").setLocked(true);
    TFnAnimCurve fn;
    TStatus status;
    EXPECT_TRUE(fn.create(ty, nullptr, &status).isNull());
    EXPECT_FALSE(status);
    EXPECT_EQ(fn.evaluate(TTime(0, TTime::kSeconds), &status), 0);
    EXPECT_FALSE(status);
    expectFaults({"curve on locked plug", "unattached function set"});
    EXPECT_EQ(TAnimControl::minTime().as(TTime::kSeconds), 0);
    EXPECT_EQ(TAnimControl::maxTime().as(TTime::kSeconds), 1);
    EXPECT_FALSE(TAnimControl::setMinMaxTime(TTime(2, TTime::kSeconds), TTime(1, TTime::kSeconds)));
}

}  // namespace
