// Curve transfer onto the stand-in: key kinds and their tangent types and locks, explicit tangents
// under two unit settings (checked by evaluating both curves), weights, TCB resampling, empty
// curves, locked and driven plugs, and keys the host refuses.
#include "zeqtuloimport_animation_test_support.h"

#include <utility>
#include <vector>

#include "fcurve/kfcurveutils.h"
#include "plugin/import/zeqtuloimport_curvetransfer.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

class CurveTransferTest : public ImportAnimationTest {
protected:
    void SetUp() override {
        ImportAnimationTest::SetUp();
        mBox = HostPath("transform", "box");
        mTransform.setObject(mBox);
    }
    TPlug Plug(const char* attribute) { return mTransform.findPlug(attribute); }
    TFnAnimCurve HostCurve(const char* attribute) {
        TStatus status;
        TFnAnimCurve curve(Plug(attribute), &status);
        EXPECT_TRUE(status) << attribute;
        return curve;
    }
    TStatus Transfer(const char* attribute, KFCurve& curve, double valueDivisor = 1.0, double slopeDivisor = 1.0,
                     TFnAnimCurve::AnimCurveType type = TFnAnimCurve::kAnimCurveTU) {
        TPlug plug = Plug(attribute);
        return mImport->SetTuloCurve(plug, curve, type, valueDivisor, slopeDivisor);
    }
    bool HasCurve(const char* attribute) {
        TStatus status;
        TFnAnimCurve curve(Plug(attribute), &status);
        return status.statusCode() == TStatus::kSuccess;
    }

    TDagPath mBox;
    TFnTransform mTransform;
    KFCurve mCurve;
};

// ---- Key kinds: one key takes its own type, locked.

struct OneKeyCase {
    std::string name;
    unsigned interpolation, mode;
    int in, out;  // as the host shows them (written tangents make a side fixed)
};

class OneKeyTest : public CurveTransferTest, public ::testing::WithParamInterface<OneKeyCase> {};

TEST_P(OneKeyTest, TakesItsOwnTypeAndIsLocked) {
    AddKey(mCurve, 0.5, 2.0f, GetParam().interpolation, GetParam().mode);
    ASSERT_TRUE(Transfer("scaleX", mCurve));
    TFnAnimCurve host = HostCurve("scaleX");
    ASSERT_EQ(host.numKeys(), 1u);
    EXPECT_EQ(host.inTangentType(0), GetParam().in);
    EXPECT_EQ(host.outTangentType(0), GetParam().out);
    EXPECT_TRUE(host.tangentsLocked(0));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OneKeyTest,
    ::testing::Values(OneKeyCase{"Constant", KFCURVE_INTERPOLATION_CONSTANT, 0, 5, 5},
                      OneKeyCase{"Linear", KFCURVE_INTERPOLATION_LINEAR, 0, 2, 2},
                      OneKeyCase{"Auto", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 4, 4},
                      OneKeyCase{"User", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, 1, 1},
                      OneKeyCase{"UserBreak", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER_BREAK, 1, 1},
                      OneKeyCase{"AutoBreak", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO_BREAK, 1, 1}),
    CaseName());

TEST_F(CurveTransferTest, TwoAutoKeysAreSmoothThenClamped) {
    AddKey(mCurve, 0.0, 1.0f);
    AddKey(mCurve, 1.0, 3.0f);
    ASSERT_TRUE(Transfer("scaleY", mCurve));
    TFnAnimCurve host = HostCurve("scaleY");
    ASSERT_EQ(host.numKeys(), 2u);
    EXPECT_EQ(host.inTangentType(0), TFnAnimCurve::kTangentSmooth);
    EXPECT_EQ(host.outTangentType(0), TFnAnimCurve::kTangentSmooth);
    EXPECT_EQ(host.inTangentType(1), TFnAnimCurve::kTangentClamped);
    EXPECT_EQ(host.outTangentType(1), TFnAnimCurve::kTangentClamped);
    EXPECT_TRUE(host.tangentsLocked(0));
    EXPECT_TRUE(host.tangentsLocked(1));
}

// Linear, user after linear, user after user, user-break, constant, last auto key.
TEST_F(CurveTransferTest, TypesFollowTheKeyBeforeAndLocksFollowTheTypes) {
    AddKey(mCurve, 0.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddUserKey(mCurve, 1.0, 1.0f);
    AddUserKey(mCurve, 2.0, 2.0f);
    AddUserKey(mCurve, 3.0, 1.0f, true);
    AddKey(mCurve, 4.0, 5.0f, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD);
    AddKey(mCurve, 5.0, 0.0f);
    SetDerivatives(mCurve, 1, 0.5f, 0.5f);
    SetDerivatives(mCurve, 2, 1.0f, 1.0f);
    SetDerivatives(mCurve, 3, 2.0f, -2.0f);
    ASSERT_TRUE(Transfer("scaleZ", mCurve));
    TFnAnimCurve host = HostCurve("scaleZ");
    ASSERT_EQ(host.numKeys(), 6u);
    // A user key's two sides are written as fixed: locked, though the linear key before it carried
    // its type into the in-side (a second export would otherwise write it as a break).
    EXPECT_TRUE(host.tangentsLocked(1));
    EXPECT_EQ(host.inTangentType(1), TFnAnimCurve::kTangentFixed);
    EXPECT_TRUE(host.tangentsLocked(2));   // in 1, out 1
    EXPECT_FALSE(host.tangentsLocked(3));  // broken
    // Written with the slope the user-break key's segment ends with (not the type it carried).
    EXPECT_EQ(host.inTangentType(4), TFnAnimCurve::kTangentFixed);
    EXPECT_EQ(host.outTangentType(4), TFnAnimCurve::kTangentStep);
    EXPECT_FALSE(host.tangentsLocked(4));
    // The last key of a smooth kind is clamped.
    EXPECT_EQ(host.inTangentType(5), TFnAnimCurve::kTangentClamped);
    EXPECT_EQ(host.outTangentType(5), TFnAnimCurve::kTangentClamped);
    // The broken key keeps its two slopes: -2 and 2 per second are y/x per UI frame (24 per second).
    double x = 0, y = 0;
    host.getTangent(3, x, y, true);
    EXPECT_NEAR(y / x, 2.0 / 24, 1e-6);
    host.getTangent(3, x, y, false);
    EXPECT_NEAR(y / x, -2.0 / 24, 1e-6);
}

// After a linear key the Zeq curve runs straight to the next key, whatever that key's own kind: so
// does the host, the next key taking the line in. A stretch that holds, ended by an automatic
// key whose next neighbour has moved on, holds in the host as in the SDK.
TEST_F(CurveTransferTest, AKeyAfterALinearKeyTakesTheLineIn) {
    // 2 held from 0 to 0.5 s, then automatic; a line from 3 at 0.6 s down to 0 at the last key.
    const unsigned linear = KFCURVE_INTERPOLATION_LINEAR, cubic = KFCURVE_INTERPOLATION_CUBIC;
    const std::pair<double, unsigned> keys[] = {{0.0, linear}, {0.5, cubic}, {0.6, linear}, {1.0, cubic}};
    const float values[] = {2.0f, 2.0f, 3.0f, 0.0f};
    for (int k = 0; k < 4; ++k) AddKey(mCurve, keys[k].first, values[k], keys[k].second);
    ASSERT_TRUE(Transfer("scaleX", mCurve));
    TFnAnimCurve host = HostCurve("scaleX");
    const int in[] = {host.inTangentType(1), host.outTangentType(1), host.inTangentType(3)};
    EXPECT_EQ(std::vector<int>(in, in + 3),
              std::vector<int>({TFnAnimCurve::kTangentLinear, TFnAnimCurve::kTangentSmooth, TFnAnimCurve::kTangentLinear}));
    for (double s : {0.1, 0.25, 0.4, 0.49, 0.7, 0.85, 0.95}) {
        KTime time;
        time.SetSecondDouble(s);
        EXPECT_NEAR(host.evaluate(TTime(s, TTime::kSeconds)), mCurve.Evaluate(time), 1e-6) << s;
    }
    EXPECT_NEAR(host.evaluate(TTime(0.4, TTime::kSeconds)), 2.0, 1e-9);
}

// A key with written tangents shapes the segment after it up to the next key, whatever that key's
// own kind: a step or a line after it takes the segment's end slope in, as the Zeq curve does. 2
// held from 0 s to a step at 0.5 s (a baked hold: a flat user-break key, then a constant key), then
// from 5 at 1 s falling at 4 a second into a linear key reached at 20 a second, down to 0 at 1.5 s.
TEST_F(CurveTransferTest, AStepOrALineAfterWrittenTangentsTakesTheirSegmentsEndSlopeIn) {
    AddUserKey(mCurve, 0.0, 2.0f, true);
    AddKey(mCurve, 0.5, 2.0f, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD);
    AddUserKey(mCurve, 1.0, 5.0f);
    AddKey(mCurve, 1.5, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(mCurve, 2.0, 1.0f);
    SetDerivatives(mCurve, 0, 0.0f, 0.0f);
    SetDerivatives(mCurve, 1, 0.0f, 0.0f);
    SetDerivatives(mCurve, 2, -4.0f, -4.0f);
    SetDerivatives(mCurve, 3, -20.0f, 2.0f);
    ASSERT_TRUE(Transfer("scaleX", mCurve));
    TFnAnimCurve host = HostCurve("scaleX");
    for (int i = 0; i <= 100; ++i) {
        const double s = i * 0.02;
        EXPECT_NEAR(host.evaluate(TTime(s, TTime::kSeconds)), mCurve.Evaluate(Seconds(s)), 1e-5) << s;
    }
    EXPECT_NEAR(host.evaluate(TTime(0.25, TTime::kSeconds)), 2.0, 1e-9);
}

// ---- Explicit tangents under both unit settings: the host curve evaluates as the Zeq curve does.

struct UnitCase {
    std::string name;
    int distance, angle, time;
};

class UnitTransferTest : public CurveTransferTest, public ::testing::WithParamInterface<UnitCase> {};

TEST_P(UnitTransferTest, UserTangentsKeepTheShape) {
    standin::setUnits(GetParam().distance, GetParam().angle, GetParam().time);
    KFCurve translation, rotation;
    AddUserKey(translation, 0.0, 0.0f);
    AddUserKey(translation, 0.5, 10.0f, true);
    AddUserKey(translation, 1.0, 4.0f);
    AddUserKey(translation, 2.0, 8.0f);
    SetDerivatives(translation, 0, 0.0f, 30.0f);
    SetDerivatives(translation, 1, -5.0f, 12.0f);
    SetDerivatives(translation, 2, 3.0f, 3.0f);
    SetDerivatives(translation, 3, -1.0f, 0.0f);
    AddUserKey(rotation, 0.0, 0.0f);
    AddUserKey(rotation, 1.0, 45.0f, true);
    AddUserKey(rotation, 2.0, -20.0f);
    SetDerivatives(rotation, 0, 90.0f, 90.0f);
    SetDerivatives(rotation, 1, -30.0f, 200.0f);
    SetDerivatives(rotation, 2, 10.0f, 10.0f);
    const double angleFactor = GetParam().angle == TAngle::kDegrees ? 0.017453292519943295 : 1.0;
    ASSERT_TRUE(mImport->SetTuloCurve(mTransform, "translateX", translation, TFnAnimCurve::kAnimCurveTL, 1.0,
                                      ZeqTuloUtility::DistanceUnitRatio(), nullptr));
    ASSERT_TRUE(mImport->SetTuloCurve(mTransform, "rotateY", rotation, TFnAnimCurve::kAnimCurveTA,
                                      57.29577951308232, angleFactor, nullptr));
    TFnAnimCurve tx = HostCurve("translateX"), ry = HostCurve("rotateY");
    for (int i = 0; i <= 200; ++i) {
        const double t = i * 0.01;
        // Host values are internal: centimetres and radians.
        EXPECT_NEAR(tx.evaluate(TTime(t, TTime::kSeconds)), translation.Evaluate(Seconds(t)), 1e-4) << t;
        EXPECT_NEAR(ry.evaluate(TTime(t, TTime::kSeconds)), rotation.Evaluate(Seconds(t)) / 57.29577951308232, 1e-5)
            << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Units, UnitTransferTest,
                         ::testing::Values(UnitCase{"CentimetreDegree24", TDistance::kCentimeters, TAngle::kDegrees,
                                                    TTime::kFilm},
                                           UnitCase{"InchRadian30", TDistance::kInches, TAngle::kRadians,
                                                    TTime::kNTSCFrame}),
                         CaseName());

// ---- Weights.

TEST_F(CurveTransferTest, WeightedEndTangentsTakeAThirdOfASecond) {
    AddUserKey(mCurve, 0.0, 0.0f);
    AddUserKey(mCurve, 2.0, 4.0f);
    SetDerivatives(mCurve, 0, 6.0f, 6.0f);
    SetDerivatives(mCurve, 1, -3.0f, -3.0f);
    mCurve.KeySetRightTangeantWeightedMode(0, true);
    mCurve.KeySetRightTangeantWeight(0, 0.25f);
    ASSERT_TRUE(HasWeightedTangent(mCurve));
    ASSERT_TRUE(Transfer("scaleX", mCurve, 2.0, 0.5));
    TFnAnimCurve host = HostCurve("scaleX");
    ASSERT_TRUE(host.isWeighted());
    const double F = 24.0;  // UI frames per second
    double x = 0, y = 0;
    // In-tangent of the first key: no segment before it, L = 0.33.
    host.getTangent(0, x, y, true);
    EXPECT_NEAR(x, 0.33 * F, 1e-4);
    EXPECT_NEAR(y, 6.0 / 0.5 * 0.33 / 2.0, 1e-4);
    // Out-tangent of the first key: L = 3 w dt, w = 0.25 as the curve stores it, dt = 2.
    const double length = 3 * mCurve.KeyGetRightTangeantWeight(0) * 2.0;
    EXPECT_NEAR(length, 1.5, 1e-3);
    host.getTangent(0, x, y, false);
    EXPECT_NEAR(x, length * F, 1e-4);
    EXPECT_NEAR(y, 6.0 / 0.5 * length / 2.0, 1e-4);
}

// A weighted curve of user keys, under both unit settings: the host draws the curve the file holds
// (handles of w x dt, which the host's tangents give as three handles). (An auto key's slope is
// the host's own, so it is left out here.)
TEST_P(UnitTransferTest, WeightedKeysEvaluateAsTheFileCurve) {
    standin::setUnits(GetParam().distance, GetParam().angle, GetParam().time);
    KFCurve curve;
    AddUserKey(curve, 0.0, 0.0f);
    AddUserKey(curve, 0.25, 3.0f);
    AddUserKey(curve, 0.5, 1.0f);
    AddUserKey(curve, 0.75, 2.0f, true);
    AddUserKey(curve, 1.25, -1.0f);
    SetDerivatives(curve, 0, 0.0f, 10.0f);
    SetDerivatives(curve, 1, 48.0f, 48.0f);
    SetDerivatives(curve, 2, -8.0f, -8.0f);
    SetDerivatives(curve, 3, 4.0f, -6.0f);
    SetDerivatives(curve, 4, 2.0f, 2.0f);
    const float weights[][2] = {{0.3333f, 0.1f}, {0.0278f, 0.0139f}, {0.3333f, 0.3333f}, {0.5f, 0.2f}, {0.25f, 0.3333f}};
    for (int i = 0; i < 5; ++i) {
        curve.KeySetLeftTangeantWeightedMode(i, true);
        curve.KeySetRightTangeantWeightedMode(i, true);
        curve.KeySetLeftTangeantWeight(i, weights[i][0]);
        curve.KeySetRightTangeantWeight(i, weights[i][1]);
    }
    ASSERT_TRUE(mImport->SetTuloCurve(mTransform, "translateY", curve, TFnAnimCurve::kAnimCurveTL, 1.0,
                                      ZeqTuloUtility::DistanceUnitRatio(), nullptr));
    TFnAnimCurve host = HostCurve("translateY");
    ASSERT_TRUE(host.isWeighted());
    for (int i = 0; i <= 125; ++i) {
        const double t = i * 0.01;
        EXPECT_NEAR(host.evaluate(TTime(t, TTime::kSeconds)), curve.Evaluate(Seconds(t)), 1e-5) << t;
    }
}

// ---- TCB keys: the whole curve is resampled on the import rate's grid.

struct ResampleCase {
    std::string name;
    double first, last, rate;
    double start;  // expected first sample
    int samples;
};

class ResampleTest : public CurveTransferTest, public ::testing::WithParamInterface<ResampleCase> {};

TEST_P(ResampleTest, SamplesCoverTheKeysOnTheGrid) {
    const ResampleCase& c = GetParam();
    ZeqTuloUserParams::Instance()->SetDoubleParam(zeqsdk_400::KZeqUserParams::kImportSamplingRate, c.rate);
    AddKey(mCurve, c.first, 1.0f);
    KFCurveKey tcb;
    tcb.SetTCB(Seconds((c.first + c.last) / 2), 3.0f, 0.2f, 0.1f, 0.0f);
    mCurve.KeyAdd(Seconds((c.first + c.last) / 2), tcb);
    AddKey(mCurve, c.last, 2.0f);
    TFnAnimCurve existing;
    existing.create(Plug("scaleX"));
    existing.setIsWeighted(true);
    ASSERT_TRUE(Transfer("scaleX", mCurve, 2.0));
    TFnAnimCurve host = HostCurve("scaleX");
    ASSERT_EQ(host.numKeys(), static_cast<unsigned>(c.samples));
    const double period = Seconds(1.0 / (c.rate > 0 ? c.rate : 30.0)).GetSecondDouble();
    EXPECT_NEAR(host.time(0).as(TTime::kSeconds), c.start, 1e-9);
    EXPECT_NEAR(host.time(host.numKeys() - 1).as(TTime::kSeconds), c.start + (c.samples - 1) * period, 1e-9);
    EXPECT_GE(host.time(host.numKeys() - 1).as(TTime::kSeconds), c.last - 1e-9);
    for (unsigned i = 0; i < host.numKeys(); ++i) {
        EXPECT_EQ(host.inTangentType(i), TFnAnimCurve::kTangentGlobal);
        EXPECT_EQ(host.outTangentType(i), TFnAnimCurve::kTangentGlobal);
        const double t = host.time(i).as(TTime::kSeconds);
        EXPECT_NEAR(host.value(i), mCurve.Evaluate(Seconds(t)) / 2.0, 1e-6);
    }
    EXPECT_TRUE(host.isWeighted());  // the resampling road leaves the weighting alone
}

INSTANTIATE_TEST_SUITE_P(Grids, ResampleTest,
                         ::testing::Values(
                             // 0.05 s: grid point 1/30 at or before it; 0.95 s: 29/30 at or after it.
                             ResampleCase{"PositiveTimes", 0.05, 0.95, 30.0, 1.0 / 30, 29},
                             // Toward zero: -0.05 s starts at -1/30, at or after the key.
                             ResampleCase{"NegativeFirstKey", -0.05, 0.5, 30.0, -1.0 / 30, 17},
                             ResampleCase{"OnTheGrid", 0.0, 1.0, 10.0, 0.0, 11},
                             // A rate that is not positive samples at 30 per second.
                             ResampleCase{"ZeroRate", 0.0, 1.0, 0.0, 0.0, 31},
                             ResampleCase{"NegativeRate", 0.0, 1.0, -5.0, 0.0, 31}),
                         CaseName());

// A TCB curve whose keys span more samples than a host curve should take (a million seconds at
// 30 per second) is refused before the host is asked for a key, with one log line.
TEST_F(CurveTransferTest, ResamplingTooLongASpanIsRefusedAndLogged) {
    AddKey(mCurve, 0.0, 1.0f);
    KFCurveKey tcb;
    tcb.SetTCB(Seconds(1.0), 3.0f, 0.2f, 0.1f, 0.0f);
    mCurve.KeyAdd(Seconds(1.0), tcb);
    AddKey(mCurve, 1e6, 2.0f);
    TFnAnimCurve host;
    host.create(Plug("scaleX"));
    TStatus attached;
    EXPECT_FALSE(mImport->SetTuloCurve(host, mCurve, 1.0, 1.0, &attached));
    // The curve is not left empty (it would drive scaleX to 0): it holds the first key's value.
    ASSERT_EQ(host.numKeys(), 1u);
    EXPECT_EQ(host.value(0), 1.0);
    EXPECT_EQ(LogLines(), std::vector<std::string>(
                              {"box_scaleX: the keys span too long a time to be sampled. Cannot transfer animation data."}));
}

// ---- Empty curves.

TEST_F(CurveTransferTest, EmptyCurveNeverWritesIntoAHostCurve) {
    mCurve.SetValue(4.0f);
    EXPECT_TRUE(Transfer("scaleX", mCurve));
    EXPECT_FALSE(HasCurve("scaleX"));
    TFnAnimCurve existing;
    existing.create(Plug("scaleY"));
    existing.addKey(TTime(0.0, TTime::kSeconds), 1.0);
    existing.addKey(TTime(1.0, TTime::kSeconds), 2.0);
    EXPECT_TRUE(Transfer("scaleY", mCurve));
    EXPECT_EQ(HostCurve("scaleY").numKeys(), 2u);
}

TEST_F(CurveTransferTest, EmptyCurveLeavesOneKeyHoldingTheDefaultInHostUnits) {
    TFnAnimCurve existing;
    existing.create(Plug("rotateX"));
    for (int i = 1; i <= 3; ++i) existing.addKey(TTime(i, TTime::kSeconds), i);
    mCurve.SetValue(90.0f);
    TStatus attached;
    EXPECT_TRUE(mImport->SetTuloCurve(existing, mCurve, 57.29577951308232, 1.0, &attached));
    ASSERT_EQ(existing.numKeys(), 1u);
    EXPECT_EQ(existing.time(0).as(TTime::kSeconds), 0.0);
    EXPECT_NEAR(existing.value(0), M_PI / 2, 1e-6);  // 90 degrees, divided as key values are
    // Without an attached curve nothing happens.
    TFnAnimCurve none;
    TStatus failed = TStatus::kNotFound;
    EXPECT_TRUE(mImport->SetTuloCurve(none, mCurve, 1.0, 1.0, &failed));
}

// ---- Locked plugs.

TEST_F(CurveTransferTest, LockedPlugWithoutDialogsIsUnlockedOrKeptByTheOption) {
    AddKey(mCurve, 0.0, 1.0f);
    AddKey(mCurve, 1.0, 2.0f);
    Plug("scaleX").setLocked(true);
    Plug("scaleY").setLocked(true);
    SetBool(ZeqTuloUserParams::kSetLockedAttrib, true);
    EXPECT_TRUE(Transfer("scaleX", mCurve));
    EXPECT_TRUE(Plug("scaleX").isLocked());
    EXPECT_FALSE(HasCurve("scaleX"));
    EXPECT_EQ(mImport->mLockedAttributePolicy, 2);
    SetBool(ZeqTuloUserParams::kSetLockedAttrib, false);
    EXPECT_TRUE(Transfer("scaleY", mCurve));
    EXPECT_FALSE(Plug("scaleY").isLocked());
    EXPECT_EQ(HostCurve("scaleY").numKeys(), 2u);
    EXPECT_EQ(mImport->mLockedAttributePolicy, 0);
    EXPECT_EQ(LogLines(), std::vector<std::string>({"box.sx: this attribute is locked. Cannot transfer animation data.",
                                                     "box.sy: this attribute is locked. Cannot transfer animation data."}));
    EXPECT_TRUE(standin::dialogs().records().empty());
}

struct AnswerCase {
    std::string name;
    std::string answer;  // empty: the dialog is closed
    int policy;
    bool transferred;
    bool asksAgain;
};

class LockedDialogTest : public CurveTransferTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(LockedDialogTest, TheAnswerIsRememberedForTheImport) {
    SetBool(ZeqTuloUserParams::kImportShowUI, true);
    AddKey(mCurve, 0.0, 1.0f);
    AddKey(mCurve, 1.0, 2.0f);
    Plug("scaleX").setLocked(true);
    Plug("scaleY").setLocked(true);
    if (!GetParam().answer.empty()) standin::dialogs().push(GetParam().answer, "ZEQ import Warning");
    Transfer("scaleX", mCurve);
    if (GetParam().answer.empty()) expectFaults({"unanswered dialog"});
    EXPECT_EQ(mImport->mLockedAttributePolicy, GetParam().policy);
    EXPECT_EQ(HasCurve("scaleX"), GetParam().transferred);
    EXPECT_EQ(Plug("scaleX").isLocked(), !GetParam().transferred);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    const standin::DialogRecord& dialog = standin::dialogs().records()[0];
    EXPECT_EQ(dialog.title, "ZEQ import Warning");
    EXPECT_EQ(dialog.message,
              "box.sx: this attribute is locked. Cannot transfer animation data.\n\nNOTE: Clicking 'Unlock All' or "
              "'Keep All Locked' will silence this dialog\n      until the end of the import (the affected "
              "attributes will still be printed in the log file).\n");
    EXPECT_EQ(dialog.buttons, std::vector<std::string>({" Unlock All ", " Unlock ", " Keep All Locked "}));

    // The second locked plug asks again only after " Unlock ".
    if (GetParam().asksAgain) standin::dialogs().push(" Keep All Locked ", "ZEQ import Warning");
    Transfer("scaleY", mCurve);
    EXPECT_EQ(standin::dialogs().records().size(), GetParam().asksAgain ? 2u : 1u);
    EXPECT_EQ(LogLines().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Answers, LockedDialogTest,
                         ::testing::Values(AnswerCase{"UnlockAll", " Unlock All ", 0, true, false},
                                           AnswerCase{"Unlock", " Unlock ", 1, true, true},
                                           AnswerCase{"KeepAllLocked", " Keep All Locked ", 2, false, false},
                                           AnswerCase{"Closed", "", 0, true, false}),
                         CaseName());

TEST_F(CurveTransferTest, LockedParentIsUnlockedWithoutAFailingCurveCreation) {
    AddKey(mCurve, 0.0, 1.0f);
    AddKey(mCurve, 1.0, 2.0f);
    Plug("translate").setLocked(true);
    Plug("translateX").setLocked(true);
    EXPECT_TRUE(Transfer("translateX", mCurve, 1.0, 1.0, TFnAnimCurve::kAnimCurveTL));
    EXPECT_FALSE(Plug("translateX").isLocked());
    EXPECT_FALSE(Plug("translate").isLocked());
    EXPECT_EQ(HostCurve("translateX").numKeys(), 2u);
    // The host saw no curve made on a locked plug: the fixture's teardown checks for faults.
}

TEST_F(CurveTransferTest, EmptyCurveOnALockedPlugUnlocksItAndItsParent) {
    Plug("translate").setLocked(true);
    EXPECT_TRUE(Transfer("translateY", mCurve));
    EXPECT_FALSE(Plug("translateY").isLocked());
    EXPECT_FALSE(HasCurve("translateY"));
    EXPECT_EQ(LogLines(), std::vector<std::string>({"box.ty: this attribute is locked. Cannot transfer data."}));
    // A plug without parent: unlocked, and the result is a failure.
    Plug("visibility").setLocked(true);
    EXPECT_FALSE(Transfer("visibility", mCurve));
    EXPECT_FALSE(Plug("visibility").isLocked());
}

// ---- Driven keys.

TEST_F(CurveTransferTest, DrivenPlugsAreLeftAloneWhenProtected) {
    TDagPath driver = HostPath("transform", "driver");
    TFnTransform driverTransform(driver);
    TObject driven = standin::createDrivenCurve(driverTransform.findPlug("translateX"), Plug("scaleX"), 7);
    TFnAnimCurve drivenCurve(driven);
    drivenCurve.addKey(TTime(0.0, TTime::kSeconds), 1.0);
    AddKey(mCurve, 0.0, 5.0f);
    AddKey(mCurve, 1.0, 6.0f);
    SetBool(ZeqTuloUserParams::kProtectDrivenKeys, true);
    EXPECT_TRUE(Transfer("scaleX", mCurve));  // the attach status
    EXPECT_EQ(drivenCurve.numKeys(), 1u);
    // "No drivers.": an ordinary plug is transferred.
    EXPECT_TRUE(Transfer("scaleY", mCurve));
    EXPECT_EQ(HostCurve("scaleY").numKeys(), 2u);
    TPlug scaleY = Plug("scaleY");
    EXPECT_FALSE(IsDriven(scaleY));
    TPlug scaleX = Plug("scaleX");
    EXPECT_TRUE(IsDriven(scaleX));
    SetBool(ZeqTuloUserParams::kProtectDrivenKeys, false);
    const std::size_t sent = SentCommands().size();
    EXPECT_FALSE(IsDriven(scaleX));  // not asked
    EXPECT_EQ(SentCommands().size(), sent);
}

// ---- Bad input: keys the host refuses are left out, the others go, one log line per channel.

TEST_F(CurveTransferTest, RefusedKeysAreLeftOutAndLoggedOnce) {
    AddKey(mCurve, 0.0, 1.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(mCurve, 0.5, std::nanf(""), KFCURVE_INTERPOLATION_LINEAR);
    KFCurveKey key;
    key.Set(KTime(Seconds(1.0).Get()), 2.0f, KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, KFCURVE_WEIGHTED_NONE, 0.3f, 0.3f, 0,
            0);
    mCurve.KeyAdd(Seconds(1.0), key);
    mCurve.KeyAdd(KTime(Seconds(1.0).Get() + 10), key);  // 10 ticks later: within the host's 1e-9 s
    AddKey(mCurve, 2.0, 3.0f, KFCURVE_INTERPOLATION_LINEAR);
    ASSERT_EQ(mCurve.KeyGetCount(), 5);
    // The plug form answers for the curve it made; the key conversion's failure shows in the log.
    EXPECT_TRUE(Transfer("scaleX", mCurve));
    TFnAnimCurve host = HostCurve("scaleX");
    ASSERT_EQ(host.numKeys(), 3u);
    TStatus attached;
    EXPECT_FALSE(mImport->SetTuloCurve(host, mCurve, 1.0, 1.0, &attached));
    EXPECT_EQ(host.value(2), 3.0);
    const std::string line =
        "box_scaleX: 2 keys left out (a value that is not a number, or a time too close to another key).";
    EXPECT_EQ(LogLines(), std::vector<std::string>({line, line}));
}

// ---- Extrapolation modes (1 constant, 2 repetition, 3 mirror, 4 keep slope) to host infinity types
// (0 constant, 1 linear, 3 cycle, 4 cycle relative); any other mode counts as constant.

TEST_F(CurveTransferTest, InfinityTypeOfEachExtrapolationMode) {
    // Constant, repetition as cycle, mirror as oscillation, keep-slope as linear.
    const std::pair<int, int> modes[] = {{1, 0}, {2, 3}, {3, 5}, {4, 1}, {0, 0}, {5, 0}, {-1, 0}};
    for (const auto& mode : modes) EXPECT_EQ(mImport->GetInfinityType(mode.first), mode.second) << mode.first;
}

}  // namespace
