#ifndef ZEQ_IO_KZEQUSERNOTIFICATION_H
#define ZEQ_IO_KZEQUSERNOTIFICATION_H

#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

class KZeqNode;
class ZeqLogFile;

// One notification: a label, a message and the details that go with it.
class KZeqAccumulatorEntry {
public:
    KZeqAccumulatorEntry(const KString& label, const KString& message) : mLabel(label), mMessage(message) {}

    const KString& GetLabel() const { return mLabel; }
    const KString& GetMessage() const { return mMessage; }
    int GetDetailCount() const { return static_cast<int>(mDetails.size()); }
    const KString& GetDetail(int index) const { return mDetails[static_cast<std::size_t>(index)]; }
    void AddDetail(const KString& detail) { mDetails.push_back(detail); }

private:
    KString mLabel;
    KString mMessage;
    std::vector<KString> mDetails;
};

// Collects notifications for the user between InitAccumulator and
// ClearAccumulator, hands them to a display that a subclass provides, and
// writes them as "[label] message detail" lines of a log in the directory
// for temporary files.
class KZeqUserNotification {
public:
    typedef KArrayTemplate<KZeqAccumulatorEntry*> Accumulator;

    KZeqUserNotification(const KString& logFileName, const KString& title);
    KZeqUserNotification(const KZeqUserNotification&) = delete;
    KZeqUserNotification& operator=(const KZeqUserNotification&) = delete;
    // A log still open is written, as ClearAccumulator would.
    virtual ~KZeqUserNotification();

    // The directory for temporary files, "" when its name is too long.
    virtual void GetLogFilePath(KString& path);

    // Makes the log directory the library's master directory (for every later
    // user of it), opens the log, empties the accumulator, then calls
    // OnAccumulatorInit and OnAccumulatorReady.
    void InitAccumulator();
    // Calls PreTerminate and OnAccumulatorClear, empties the accumulator,
    // writes and closes the log, and keeps PostTerminate's answer.
    void ClearAccumulator();

    // Answers the new entry's index.
    int AddEntry(const KString& label, const KString& message);
    // Adds a non-empty text to the entry's details, then shows the entry
    // (nothing goes to the log). An index outside the accumulator is ignored.
    void AddDetail(int index, KString detail, bool display);
    // The same with the node's name as the detail, added even when empty;
    // a null node is ignored like a bad index.
    void AddDetail(int index, KZeqNode* node, bool display);
    // Shows one entry (or all for an index outside the accumulator), and
    // logs its lines unless noLog.
    bool Output(int index, bool noLog);
    // Hands one entry, or all of them for an index outside the accumulator,
    // to the display with the display flag and, unless noLog (or while no log
    // is open), appends their lines to the log.
    virtual bool SendToOutput(bool display, int index, bool noLog);

    virtual void OnAccumulatorInit() = 0;
    virtual void OnAccumulatorClear() = 0;
    virtual void OnAccumulatorReady() = 0;
    virtual bool OutputEntry(KZeqAccumulatorEntry* entry, bool display) = 0;
    virtual bool OutputAllEntries(Accumulator& entries, bool display) = 0;
    virtual void PreTerminate() = 0;
    virtual bool PostTerminate() { return true; }

protected:
    int GetEntryCount() const { return mAccumulator.GetCount(); }
    bool IsTerminated() const { return mTerminated; }
    bool IsLogOpen() const { return mLog != nullptr; }

private:
    void FreeEntries();

    KString mLogFileName;
    KString mTitle;
    std::unique_ptr<ZeqLogFile> mLog;
    bool mTerminated = false;
    Accumulator mAccumulator;
};

}  // namespace zeqsdk_400

#endif
