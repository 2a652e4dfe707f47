#include "fcurve/kfcurvesettings.h"

#include <gtest/gtest.h>

#include <vector>

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

// Each setting keeps its load-time default until set, and each setter reaches
// its own getter only.
TEST(KFCurveSettings, DefaultsAndOneValuePerSetting) {
    struct Number {
        double (*get)();
        void (*set)(double);
        double fallback;
    };
    const std::vector<Number> numbers = {
        {KFCURVE_GetRotationFilterUnrollQuality, KFCURVE_SetRotationFilterUnrollQuality, 0.25},
        {KFCURVE_GetUseConstantKeyReducerTranslationThreshold, KFCURVE_SetUseConstantKeyReducerTranslationThreshold,
         5e-13},
        {KFCURVE_GetUseConstantKeyReducerRotationThreshold, KFCURVE_SetUseConstantKeyReducerRotationThreshold, 0.0005},
        {KFCURVE_GetUseConstantKeyReducerScalingThreshold, KFCURVE_SetUseConstantKeyReducerScalingThreshold, 5e-13},
        {KFCURVE_GetUseConstantKeyReducerDefaultThreshold, KFCURVE_SetUseConstantKeyReducerDefaultThreshold, 5e-13},
    };
    struct Flag {
        bool (*get)();
        void (*set)(bool);
        bool fallback;
    };
    const std::vector<Flag> flags = {
        {KFCURVE_GetRotationFilterUnrollTestForPath, KFCURVE_SetRotationFilterUnrollTestForPath, false},
        {KFCURVE_GetUseConstantKeyReducer, KFCURVE_SetUseConstantKeyReducer, true},
        {KFCURVE_GetUseConstantKeyReducerOnDevices, KFCURVE_SetUseConstantKeyReducerOnDevices, true},
        {KFCURVE_GetConstantKeyReducerKeepOneKey, KFCURVE_SetConstantKeyReducerKeepOneKey, true},
        {KFCURVE_GetPlotOnFrame, KFCURVE_SetPlotOnFrame, true},
        {KFCURVE_GetPlotTranslationOnRootOnly, KFCURVE_SetPlotTranslationOnRootOnly, false},
        {KFCURVE_GetPreciseTimeDiscontinuities, KFCURVE_SetPreciseTimeDiscontinuities, false},
    };
    EXPECT_EQ(KFCURVE_GetPlotPeriod(), KTime(1539538600));
    for (const Number& n : numbers) EXPECT_EQ(n.get(), n.fallback);
    for (const Flag& f : flags) EXPECT_EQ(f.get(), f.fallback);

    for (std::size_t i = 0; i < numbers.size(); ++i) {
        numbers[i].set(7.0 + static_cast<double>(i));
        for (std::size_t j = 0; j < numbers.size(); ++j)
            EXPECT_EQ(numbers[j].get(), j == i ? 7.0 + static_cast<double>(i) : numbers[j].fallback) << i << " " << j;
        numbers[i].set(numbers[i].fallback);
    }
    for (std::size_t i = 0; i < flags.size(); ++i) {
        flags[i].set(!flags[i].fallback);
        for (std::size_t j = 0; j < flags.size(); ++j)
            EXPECT_EQ(flags[j].get(), j == i ? !flags[j].fallback : flags[j].fallback) << i << " " << j;
        flags[i].set(flags[i].fallback);
    }
}
