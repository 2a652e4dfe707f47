#include "io/zeqlogfile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/klib.h"
#include "fileio/kfilereplacement.h"
#include "fileio/kownfolders.h"

namespace zeqsdk_400 {

namespace {
void (*gRefusalReporter)(const char* reason) = nullptr;
}

ZeqLogFile::ZeqLogFile(const char* fileName, const char* title, bool append, bool writeOnDestroy)
    : mPath(KLib_GetMasterDirectory()),
      mHasFolder(!mPath.IsEmpty()),
      mTitle(title ? title : ""),
      mAppend(append),
      mWriteOnDestroy(writeOnDestroy) {
    mName = fileName ? fileName : "";
    mPath += mName;
    if (const KHeldFolder* held = KGetMasterFolder()) held->Duplicate(mFolder);
}

ZeqLogFile::~ZeqLogFile() {
    if (mWriteOnDestroy) OutputLog();
}

ZeqLogFile& ZeqLogFile::operator+=(const char* line) {
    mLines.Add(line ? line : "");
    return *this;
}

void ZeqLogFile::OutputLog() {
    if (mLines.GetCount() == 0 || !mHasFolder) return;
    // Nobody named the log, and it may lie in a folder others may write (the plug-in's): another
    // user's link there is not followed, and nothing but a regular file is written.
    KString refusal;
    std::FILE* file =
        mFolder.IsOpen()
            ? KFileReplacement::OpenForAppending(mFolder, mName.Buffer(), refusal, nullptr, KNamedBy::eNobody)
            : KFileReplacement::OpenForAppending(mPath.Buffer(), refusal, nullptr, KNamedBy::eNobody);
    if (!file) {
        if (gRefusalReporter) gRefusalReporter(refusal.Buffer());
        return;
    }
    if (!mAppend && ::ftruncate(::fileno(file), 0) != 0) {
        const int code = errno;
        std::fclose(file);
        if (gRefusalReporter)
            gRefusalReporter((std::string("Cannot write \"") + mPath.Buffer() + "\": " + std::strerror(code)).c_str());
        return;
    }
    if (mAppend) std::fputs("\n\n", file);
    kLocalTime now;
    KLib_GetCurrentLocalTime(now);
    std::fprintf(file, "Date: %d/%d/%d %d:%d\n", now.mDay, now.mMonth, now.mYear, now.mHour, now.mMinute);
    std::fprintf(file, "%s\n\n", mTitle.Buffer());
    for (int i = 0; i < mLines.GetCount(); ++i) std::fprintf(file, "\t%s\n", mLines.GetStringAt(i));
    const bool written = !std::ferror(file);
    const bool closed = std::fclose(file) == 0;
    if ((!written || !closed) && gRefusalReporter)
        gRefusalReporter((std::string("Cannot write \"") + mPath.Buffer() + "\": " + std::strerror(errno)).c_str());
}

void ZeqLogFile::SetRefusalReporter(void (*reporter)(const char* reason)) { gRefusalReporter = reporter; }

}  // namespace zeqsdk_400
