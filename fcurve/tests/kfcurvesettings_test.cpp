#include "fcurve/kfcurvesettings.h"

#include <gtest/gtest.h>

#include "base/kset.h"

using namespace zeqsdk_400;

// The values the filters and the plotter start from in every process.
TEST(KFCurveSettings, LoadTimeDefaults) {
    EXPECT_EQ(KFCURVE_GetPlotPeriod(), KTime::GetOneFrameValue(KTime::eMode30));
    EXPECT_EQ(KFCURVE_GetRotationFilterToApply(), KFCURVE_ROTATION_FILTER_UNROLL);
    EXPECT_EQ(KFCURVE_GetRotationFilterUnrollQuality(), 0.25);
    EXPECT_FALSE(KFCURVE_GetRotationFilterUnrollTestForPath());
    EXPECT_TRUE(KFCURVE_GetUseConstantKeyReducer());
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerTranslationThreshold(), 5e-13);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerRotationThreshold(), 0.0005);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerScalingThreshold(), 5e-13);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerDefaultThreshold(), 5e-13);
    EXPECT_TRUE(KFCURVE_GetUseConstantKeyReducerOnDevices() && KFCURVE_GetConstantKeyReducerKeepOneKey());
    EXPECT_TRUE(KFCURVE_GetPlotOnFrame());
    EXPECT_FALSE(KFCURVE_GetPlotTranslationOnRootOnly() || KFCURVE_GetPreciseTimeDiscontinuities());
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode() || gsTCB4051EvalMode);
    // The setter drives the exported global, and the getter reads it.
    KFCURVE_SetTCB4051EvalMode(true);
    EXPECT_TRUE(gsTCB4051EvalMode);
    gsTCB4051EvalMode = false;
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode());
}

TEST(KFCurveTimeWarpRegistry, NumbersAndNodesFindEachOther) {
    int a = 0, b = 0, unregistered = 0;
    auto node = [](int& storage) { return reinterpret_cast<KFCurveNode*>(&storage); };
    int number = -1;
    EXPECT_EQ(KFCurve_FindTWFromNickNumber(3), nullptr) << "no registry set";
    EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, node(a)));
    KSet set;
    set.Add(7, reinterpret_cast<kReference>(node(a)));
    set.Add(2, reinterpret_cast<kReference>(node(b)));
    set.Add(4, 0);  // an entry whose value is null must not match a null node
    KFCurve_SetTWSet(&set);
    EXPECT_EQ(KFCurve_FindTWFromNickNumber(7), node(a));
    EXPECT_EQ(KFCurve_FindTWFromNickNumber(3), nullptr);
    EXPECT_TRUE(KFCurve_FindNickNumberFromTW(number, node(b)));
    EXPECT_EQ(number, 2);
    number = -1;
    EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, node(unregistered)));
    EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, nullptr));
    EXPECT_EQ(number, -1);
    KFCurve_SetTWSet(nullptr);
}
