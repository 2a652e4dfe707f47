#ifndef ZEQ_BASE_KLIB_H
#define ZEQ_BASE_KLIB_H

namespace zeqsdk_400 {

// Starts and stops the base library; calls nest, the last Terminate ends it.
void KBaseLib_Init();
void KBaseLib_Terminate();
bool KBaseLib_IsInitialized();

// The directory of the application's own files, ending with '/'.
void KLib_SetMasterDirectory(const char* directory);
const char* KLib_GetMasterDirectory();
// The directory of the configuration files, stored exactly as given ("" until set).
// The text is the library's own: read it, never write to it.
void KLib_SetConfigDirectory(const char* directory);
char* KLib_GetConfigDirectory();

struct kLocalTime {
    int mYear;  // four digits
    int mMonth;  // 1 to 12
    int mDay;
    int mHour;  // 0 to 23
    int mMinute;
    int mSecond;
    int mMillisecond;
};

// Fills the record from the clock in local time; milliseconds are 0.
void KLib_GetCurrentLocalTime(kLocalTime& time);

}  // namespace zeqsdk_400

#endif
