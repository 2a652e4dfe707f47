#include "base/klib.h"

#include <ctime>

#include "base/kstring.h"

namespace zeqsdk_400 {

namespace {

int gInitCount = 0;

// Constructed on first use: other load-time objects may ask for them.
KString& MasterDirectory() {
    static KString directory;
    return directory;
}

KString& ConfigDirectory() {
    static KString directory;
    return directory;
}

}  // namespace

void KBaseLib_Init() { ++gInitCount; }

void KBaseLib_Terminate() {
    if (gInitCount > 0) --gInitCount;
}

bool KBaseLib_IsInitialized() { return gInitCount > 0; }

void KLib_SetMasterDirectory(const char* directory) {
    KString& master = MasterDirectory();
    master = directory ? directory : "";
    if (master.GetLen() > 0 && master[master.GetLen() - 1] != '/') master += '/';
}

const char* KLib_GetMasterDirectory() { return MasterDirectory().Buffer(); }

void KLib_SetConfigDirectory(const char* directory) { ConfigDirectory() = directory ? directory : ""; }

char* KLib_GetConfigDirectory() { return ConfigDirectory().Buffer(); }

void KLib_GetCurrentLocalTime(kLocalTime& time) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    time.mYear = local.tm_year + 1900;
    time.mMonth = local.tm_mon + 1;
    time.mDay = local.tm_mday;
    time.mHour = local.tm_hour;
    time.mMinute = local.tm_min;
    time.mSecond = local.tm_sec;
    time.mMillisecond = 0;
}

}  // namespace zeqsdk_400
