#ifndef ZEQ_IO_ZEQLOGFILE_H
#define ZEQ_IO_ZEQLOGFILE_H

#include "base/kstring.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

// The text log of one run: lines are buffered and written as one block,
// headed by the date and the title, each line indented by a tab. The file is
// the master directory followed directly by the file name, found in the folder
// held for it where one is (KGetMasterFolder: never by the directory's path
// again); without a master directory there is no log (a bare name would land in
// whatever folder the program happens to run in).
class ZeqLogFile {
public:
    ZeqLogFile(const char* fileName, const char* title, bool append, bool writeOnDestroy);
    ZeqLogFile(const ZeqLogFile&) = delete;
    ZeqLogFile& operator=(const ZeqLogFile&) = delete;
    ~ZeqLogFile();

    ZeqLogFile& operator+=(const char* line);
    // Writes the block now; the lines stay buffered. A log without lines
    // leaves the file untouched, and a file that cannot be opened is skipped,
    // as is one KFileReplacement::OpenForAppending refuses for a file nobody
    // named (KNamedBy::eNobody: another user's link or file where others may write, a
    // file with other hard links there, a pipe).
    void OutputLog();
    // Told the reason whenever a block cannot be written (null: nobody): its
    // program says it to the user. Process-wide.
    static void SetRefusalReporter(void (*reporter)(const char* reason));

private:
    KString mPath;
    bool mHasFolder;
    // The master folder held when the log was made, and the file's name in it.
    KHeldFolder mFolder;
    KString mName;
    KString mTitle;
    bool mAppend;
    bool mWriteOnDestroy;
    KStringList mLines;
};

}  // namespace zeqsdk_400

#endif
