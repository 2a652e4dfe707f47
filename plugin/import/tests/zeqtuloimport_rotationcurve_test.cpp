// Rotation curves sampled together and re-expressed in a host rotation order.
#include "zeqtuloimport_animation_test_support.h"

using namespace zeqsdk_400;

namespace {

class RotationCurveTest : public ImportAnimationTest {
protected:
    void SetUp() override {
        ImportAnimationTest::SetUp();
        mTransform.setObject(HostPath("transform", "spin"));
    }
    TStatus Run(TEulerRotation::RotationOrder order = TEulerRotation::kXYZ) {
        KFCurve* curves[3] = {&mX, &mY, &mZ};
        return mImport->SetRotationTuloCurve(mTransform, curves, order);
    }
    TFnAnimCurve Axis(const char* name) {
        TStatus status;
        TFnAnimCurve curve(mTransform.findPlug(name), &status);
        EXPECT_TRUE(status) << name;
        return curve;
    }

    TFnTransform mTransform;
    KFCurve mX, mY, mZ;
};

TEST_F(RotationCurveTest, OneSecondGivesThirtyOneSamplesPerAxis) {
    AddKey(mX, 0.0, 0.0f);
    AddKey(mX, 1.0, 90.0f);
    AddKey(mZ, 0.0, 10.0f);
    AddKey(mZ, 1.0, 20.0f);
    EXPECT_TRUE(Run());
    for (const char* name : {"rotateX", "rotateY", "rotateZ"}) {
        TFnAnimCurve axis = Axis(name);
        ASSERT_EQ(axis.numKeys(), 31u) << name;
        for (unsigned i = 0; i < 31; ++i) {
            EXPECT_NEAR(axis.time(i).as(TTime::kSeconds), Seconds(i / 30.0).GetSecondDouble(), 1e-9);
            EXPECT_EQ(axis.inTangentType(i), TFnAnimCurve::kTangentGlobal);
            EXPECT_EQ(axis.outTangentType(i), TFnAnimCurve::kTangentGlobal);
        }
    }
    EXPECT_NEAR(Axis("rotateX").value(30), M_PI / 2, 1e-6);
    EXPECT_NEAR(Axis("rotateZ").value(0), 10 * M_PI / 180, 1e-6);
}

TEST_F(RotationCurveTest, SamplesStartAtTheFirstKeyOffTheGrid) {
    // X has no keys: the range comes from Y and Z, X gives its default to every sample.
    mX.SetValue(30.0f);
    AddKey(mY, 0.01, 0.0f);
    AddKey(mY, 0.2, 10.0f);
    AddKey(mZ, 0.05, 0.0f);
    AddKey(mZ, 0.3, 0.0f);
    EXPECT_TRUE(Run());
    TFnAnimCurve x = Axis("rotateX");
    const double period = Seconds(1.0 / 30).GetSecondDouble();
    ASSERT_EQ(x.numKeys(), 10u);  // 0.01 + k / 30 below 0.3 + 1 / 30
    for (unsigned i = 0; i < x.numKeys(); ++i) {
        EXPECT_NEAR(x.time(i).as(TTime::kSeconds), 0.01 + i * period, 1e-9);
        EXPECT_NEAR(x.value(i), 30 * M_PI / 180, 1e-6);
    }
}

TEST_F(RotationCurveTest, KeysAreReexpressedInTheHostOrder) {
    AddKey(mX, 0.0, 30.0f);
    AddKey(mY, 0.0, 40.0f);
    AddKey(mZ, 0.0, -50.0f);
    AddKey(mZ, 0.1, 120.0f);
    EXPECT_TRUE(Run(TEulerRotation::kZYX));
    TFnAnimCurve x = Axis("rotateX"), y = Axis("rotateY"), z = Axis("rotateZ");
    ASSERT_EQ(x.numKeys(), 4u);
    for (unsigned i = 0; i < x.numKeys(); ++i) {
        const KTime t = Seconds(x.time(i).as(TTime::kSeconds));
        const TEulerRotation zeq(mX.Evaluate(t) * M_PI / 180, mY.Evaluate(t) * M_PI / 180, mZ.Evaluate(t) * M_PI / 180,
                                 TEulerRotation::kXYZ);
        const TEulerRotation host(x.value(i), y.value(i), z.value(i), TEulerRotation::kZYX);
        EXPECT_TRUE(host.isEquivalent(zeq, 1e-6)) << i;
    }
}

TEST_F(RotationCurveTest, ExistingCurvesLoseTheirKeysFirst) {
    TFnAnimCurve old;
    old.create(mTransform.findPlug("rotateY"));
    old.addKey(TTime(5.0, TTime::kSeconds), 1.0);
    old.addKey(TTime(6.0, TTime::kSeconds), 2.0);
    AddKey(mX, 0.0, 0.0f);
    AddKey(mX, 0.1, 10.0f);
    EXPECT_TRUE(Run());
    TFnAnimCurve y = Axis("rotateY");
    EXPECT_EQ(y.object(), old.object());
    ASSERT_EQ(y.numKeys(), 4u);
    EXPECT_EQ(y.time(0).as(TTime::kSeconds), 0.0);
}

TEST_F(RotationCurveTest, WithoutKeysOnlyTheCurvesGo) {
    TFnAnimCurve old;
    old.create(mTransform.findPlug("rotateZ"));
    old.addKey(TTime(1.0, TTime::kSeconds), 0.25);
    mTransform.findPlug("rotateX").setValue(0.5);
    EXPECT_TRUE(Run());
    TStatus status;
    TFnAnimCurve gone(mTransform.findPlug("rotateZ"), &status);
    EXPECT_EQ(status.statusCode(), TStatus::kNotFound);
    // The attributes stay, with their static values.
    double value = 0;
    EXPECT_TRUE(mTransform.findPlug("rotateX", &status).getValue(value));
    EXPECT_EQ(value, 0.5);
    EXPECT_FALSE(mTransform.findPlug("rotateZ").isNull());
}

// The host refuses a curve on a locked plug: that axis is left without keys, the others sampled.
TEST_F(RotationCurveTest, LockedAxisStaysWithoutKeys) {
    mTransform.findPlug("rotateY").setLocked(true);
    AddKey(mX, 0.0, 0.0f);
    AddKey(mX, 0.1, 10.0f);
    EXPECT_TRUE(Run());
    TStatus status;
    TFnAnimCurve y(mTransform.findPlug("rotateY"), &status);
    EXPECT_EQ(status.statusCode(), TStatus::kNotFound);
    EXPECT_EQ(Axis("rotateX").numKeys(), 4u);
}

TEST_F(RotationCurveTest, RateThatIsNotPositiveSamplesAtThirty) {
    ZeqTuloUserParams::Instance()->SetDoubleParam(KZeqUserParams::kImportSamplingRate, 0.0);
    AddKey(mX, 0.0, 0.0f);
    AddKey(mX, 1.0, 10.0f);
    EXPECT_TRUE(Run());
    EXPECT_EQ(Axis("rotateX").numKeys(), 31u);
}

}  // namespace
