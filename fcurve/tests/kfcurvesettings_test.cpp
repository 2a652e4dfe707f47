#include "fcurve/kfcurvesettings.h"

#include <gtest/gtest.h>

#include "base/kset.h"

using namespace zeqsdk_400;

TEST(KFCurveSettings, LoadTimeDefaults) {
    EXPECT_EQ(KFCURVE_GetPlotPeriod().Get(), 1539538600LL);
    EXPECT_EQ(KFCURVE_GetPlotPeriod(), KTime::GetOneFrameValue(KTime::eMode30));
    EXPECT_EQ(KFCURVE_GetRotationFilterToApply(), KFCURVE_ROTATION_FILTER_UNROLL);
    EXPECT_EQ(KFCURVE_GetRotationFilterUnrollQuality(), 0.25);
    EXPECT_FALSE(KFCURVE_GetRotationFilterUnrollTestForPath());
    EXPECT_TRUE(KFCURVE_GetUseConstantKeyReducer());
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerTranslationThreshold(), 5e-13);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerRotationThreshold(), 0.0005);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerScalingThreshold(), 5e-13);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerDefaultThreshold(), 5e-13);
    EXPECT_TRUE(KFCURVE_GetUseConstantKeyReducerOnDevices());
    EXPECT_TRUE(KFCURVE_GetConstantKeyReducerKeepOneKey());
    EXPECT_TRUE(KFCURVE_GetPlotOnFrame());
    EXPECT_FALSE(KFCURVE_GetPlotTranslationOnRootOnly());
    EXPECT_FALSE(KFCURVE_GetPreciseTimeDiscontinuities());
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode());
    EXPECT_FALSE(gsTCB4051EvalMode);
}

TEST(KFCurveSettings, TcbModeSetterDrivesTheExportedGlobal) {
    KFCURVE_SetTCB4051EvalMode(true);
    EXPECT_TRUE(gsTCB4051EvalMode);
    gsTCB4051EvalMode = false;
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode());
}

class KFCurveTimeWarpRegistry : public ::testing::Test {
protected:
    void TearDown() override { KFCurve_SetTWSet(nullptr); }

    static KFCurveNode* Node(int& storage) { return reinterpret_cast<KFCurveNode*>(&storage); }

    int a = 0;
    int b = 0;
    int unregistered = 0;
};

TEST_F(KFCurveTimeWarpRegistry, UnsetRegistryFindsNothing) {
    int number = -1;
    EXPECT_EQ(KFCurve_FindTWFromNickNumber(3), nullptr);
    EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, Node(a)));
    EXPECT_EQ(number, -1);
}

TEST_F(KFCurveTimeWarpRegistry, NumbersAndNodesFindEachOther) {
    KSet set;
    set.Add(7, reinterpret_cast<kReference>(Node(a)));
    set.Add(2, reinterpret_cast<kReference>(Node(b)));
    KFCurve_SetTWSet(&set);
    EXPECT_EQ(KFCurve_FindTWFromNickNumber(7), Node(a));
    EXPECT_EQ(KFCurve_FindTWFromNickNumber(2), Node(b));
    EXPECT_EQ(KFCurve_FindTWFromNickNumber(3), nullptr);
    int number = -1;
    EXPECT_TRUE(KFCurve_FindNickNumberFromTW(number, Node(b)));
    EXPECT_EQ(number, 2);
    number = -1;
    EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, Node(unregistered)));
    EXPECT_EQ(number, -1);
}

TEST_F(KFCurveTimeWarpRegistry, NullNodeIsNeverFound) {
    KSet set;
    set.Add(4, 0);  // an entry whose value is null must not match a null node
    KFCurve_SetTWSet(&set);
    int number = -1;
    EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, nullptr));
    EXPECT_EQ(number, -1);
}
