#include "fcurve/kfcurvesettings.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

// The exported global that evaluation reads and its setting are one value.
TEST(KFCurveSettings, TheTcbModeGlobalIsTheSetting) {
    EXPECT_EQ(KFCURVE_GetRotationFilterToApply(), KFCURVE_ROTATION_FILTER_UNROLL);
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode() || gsTCB4051EvalMode);
    KFCURVE_SetTCB4051EvalMode(true);
    EXPECT_TRUE(gsTCB4051EvalMode);
    gsTCB4051EvalMode = false;
    EXPECT_FALSE(KFCURVE_GetTCB4051EvalMode());
}
