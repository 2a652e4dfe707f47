#include "base/klib.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

TEST(KLib, DirectoriesInitCountingAndLocalTime) {
    KLib_SetConfigDirectory("/opt/cfg");
    KLib_SetConfigDirectory(nullptr);
    EXPECT_STREQ("", static_cast<char*>(KLib_GetConfigDirectory()));  // the writable form
    for (const char* master : {"/opt/plug", "/opt/plug/"}) {  // one '/' at the end
        KLib_SetMasterDirectory(master);
        EXPECT_STREQ("/opt/plug/", KLib_GetMasterDirectory());
    }
    for (int i = 0; i < 2; ++i) KBaseLib_Init();
    KBaseLib_Terminate();
    EXPECT_TRUE(KBaseLib_IsInitialized());
    KBaseLib_Terminate();
    KBaseLib_Terminate();  // one too many: stays terminated
    EXPECT_FALSE(KBaseLib_IsInitialized());
    KBaseLib_Init();  // the count did not go below zero
    EXPECT_TRUE(KBaseLib_IsInitialized());
    KBaseLib_Terminate();
    kLocalTime t{};
    KLib_GetCurrentLocalTime(t);
    EXPECT_TRUE(t.mYear >= 2020 && t.mMonth >= 1 && t.mMonth <= 12 && t.mHour <= 23 && t.mMillisecond == 0);
}
