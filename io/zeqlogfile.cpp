#include "io/zeqlogfile.h"

#include <cstdio>

#include "base/klib.h"

namespace zeqsdk_400 {

ZeqLogFile::ZeqLogFile(const char* fileName, const char* title, bool append, bool writeOnDestroy)
    : mPath(KLib_GetMasterDirectory()), mTitle(title ? title : ""), mAppend(append), mWriteOnDestroy(writeOnDestroy) {
    mPath += fileName ? fileName : "";
}

ZeqLogFile::~ZeqLogFile() {
    if (mWriteOnDestroy) OutputLog();
}

ZeqLogFile& ZeqLogFile::operator+=(const char* line) {
    mLines.Add(line ? line : "");
    return *this;
}

void ZeqLogFile::OutputLog() {
    if (mLines.GetCount() == 0) return;
    std::FILE* file = std::fopen(mPath.Buffer(), mAppend ? "a+" : "w");
    if (!file) return;
    if (mAppend) std::fputs("\n\n", file);
    kLocalTime now;
    KLib_GetCurrentLocalTime(now);
    std::fprintf(file, "Date: %d/%d/%d %d:%d\n", now.mDay, now.mMonth, now.mYear, now.mHour, now.mMinute);
    std::fprintf(file, "%s\n\n", mTitle.Buffer());
    for (int i = 0; i < mLines.GetCount(); ++i) std::fprintf(file, "\t%s\n", mLines.GetStringAt(i));
    std::fclose(file);
}

}  // namespace zeqsdk_400
