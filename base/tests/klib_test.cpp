#include "base/klib.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

TEST(KLib, DirectoriesAndInitCounting) {
    EXPECT_STREQ("", KLib_GetConfigDirectory());
    KLib_SetConfigDirectory("/tmp/cfg");
    EXPECT_STREQ("/tmp/cfg", KLib_GetConfigDirectory());
    KLib_SetConfigDirectory(nullptr);
    EXPECT_STREQ("", KLib_GetConfigDirectory());
    KLib_SetMasterDirectory("/opt/plug");
    EXPECT_STREQ("/opt/plug/", KLib_GetMasterDirectory());
    KLib_SetMasterDirectory("/opt/plug/");
    EXPECT_STREQ("/opt/plug/", KLib_GetMasterDirectory());

    KBaseLib_Init();
    KBaseLib_Init();
    KBaseLib_Terminate();
    EXPECT_TRUE(KBaseLib_IsInitialized());
    KBaseLib_Terminate();
    EXPECT_FALSE(KBaseLib_IsInitialized());
    KBaseLib_Terminate();
    EXPECT_FALSE(KBaseLib_IsInitialized());
}

TEST(KLib, LocalTimeIsPlausible) {
    kLocalTime t{};
    KLib_GetCurrentLocalTime(t);
    EXPECT_GE(t.mYear, 2020);
    EXPECT_GE(t.mMonth, 1);
    EXPECT_LE(t.mMonth, 12);
    EXPECT_LE(t.mHour, 23);
    EXPECT_EQ(0, t.mMillisecond);
}
