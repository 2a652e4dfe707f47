#include "io/kzequsernotification.h"

#include "base/klib.h"
#include "fileio/kpath.h"
#include "io/zeqlogfile.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

KZeqUserNotification::KZeqUserNotification(const KString& logFileName, const KString& title)
    : mLogFileName(logFileName), mTitle(title), mAccumulator(16) {}

KZeqUserNotification::~KZeqUserNotification() {
    mLog.reset();
    FreeEntries();
}

void KZeqUserNotification::FreeEntries() {
    for (int i = 0; i < mAccumulator.GetCount(); ++i) delete mAccumulator[i];
    mAccumulator.Clear();
}

void KZeqUserNotification::GetLogFilePath(KString& path) {
    char buffer[1024];
    GetTempPath(sizeof(buffer), buffer);
    path = buffer;
}

void KZeqUserNotification::InitAccumulator() {
    KString directory;
    GetLogFilePath(directory);
    // Without a usable directory the log goes where the master directory already is.
    if (!directory.IsEmpty()) KLib_SetMasterDirectory(directory.Buffer());
    // A log left open by an unclosed accumulation is written, not lost.
    mLog.reset();
    mLog.reset(new ZeqLogFile(mLogFileName.Buffer(), mTitle.Buffer(), true, true));
    FreeEntries();
    OnAccumulatorInit();
    OnAccumulatorReady();
}

void KZeqUserNotification::ClearAccumulator() {
    PreTerminate();
    OnAccumulatorClear();
    FreeEntries();
    mLog.reset();
    mTerminated = PostTerminate();
}

int KZeqUserNotification::AddEntry(const KString& label, const KString& message) {
    return mAccumulator.Add(new KZeqAccumulatorEntry(label, message));
}

void KZeqUserNotification::AddDetail(int index, KString detail, bool display) {
    if (index < 0 || index >= mAccumulator.GetCount()) return;
    if (!detail.IsEmpty()) mAccumulator[index]->AddDetail(detail);
    SendToOutput(display, index, true);
}

void KZeqUserNotification::AddDetail(int index, KZeqNode* node, bool display) {
    if (!node || index < 0 || index >= mAccumulator.GetCount()) return;
    mAccumulator[index]->AddDetail(KString(node->GetName()));
    SendToOutput(display, index, true);
}

bool KZeqUserNotification::Output(int index, bool noLog) { return SendToOutput(true, index, noLog); }

bool KZeqUserNotification::SendToOutput(bool display, int index, bool noLog) {
    const bool one = index >= 0 && index < mAccumulator.GetCount();
    const bool result = one ? OutputEntry(mAccumulator[index], display) : OutputAllEntries(mAccumulator, display);
    if (noLog || !mLog) return result;
    // Bounds are taken after the display ran, in case it changed the accumulator.
    const int count = mAccumulator.GetCount();
    const int first = one ? index : 0;
    const int last = one ? (index < count ? index : -1) : count - 1;
    for (int i = first; i <= last; ++i) {
        const KZeqAccumulatorEntry& entry = *mAccumulator[i];
        for (int d = 0; d < entry.GetDetailCount(); ++d) {
            KString line("[");
            line += entry.GetLabel();
            line += "] ";
            line += entry.GetMessage();
            line += " ";
            line += entry.GetDetail(d);
            *mLog += line.Buffer();
        }
    }
    return result;
}

}  // namespace zeqsdk_400
