#include "fcurve/kfcurvesettings.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

// A few of the values the filters and the plotter start from in every process,
// and the exported global that evaluation reads.
TEST(KFCurveSettings, LoadTimeDefaultsAndTheTcbModeGlobal) {
    EXPECT_EQ(KFCURVE_GetPlotPeriod(), KTime::GetOneFrameValue(KTime::eMode30));
    EXPECT_EQ(KFCURVE_GetRotationFilterToApply(), KFCURVE_ROTATION_FILTER_UNROLL);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerRotationThreshold(), 0.0005);
    EXPECT_EQ(KFCURVE_GetUseConstantKeyReducerTranslationThreshold(), 5e-13);
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode() || gsTCB4051EvalMode);
    KFCURVE_SetTCB4051EvalMode(true);
    EXPECT_TRUE(gsTCB4051EvalMode);
    gsTCB4051EvalMode = false;
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode());
}
