#ifndef ZEQ_FILEIO_KSCRATCHFOLDER_H
#define ZEQ_FILEIO_KSCRATCHFOLDER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/kstring.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

// A folder of this process's alone (mode 0700) under a name no one can guess,
// made in the temporary folder ("TMPDIR", else /tmp, walked as KWalkPath walks
// for a folder nobody named: KNamedBy::eNobody)
// and held; what belongs to this process's user in it goes with the object.
// Programs that write files of their own on the way (benchmarks, fuzz targets,
// tools) write them here: another user of the machine can neither plant a link
// under one of its names nor read what is in it.
class KScratchFolder {
public:
    // prefix starts the folder's name ("zeq-bench" makes "zeq-bench-3f9a...").
    explicit KScratchFolder(const char* prefix);
    ~KScratchFolder();
    KScratchFolder(const KScratchFolder&) = delete;
    KScratchFolder& operator=(const KScratchFolder&) = delete;

    bool IsOpen() const { return mFolder.IsOpen(); }
    // Why it could not be made, when not open.
    const char* GetError() const;
    // The folder's path, absolute and free of links, and a name's path in it.
    const std::string& GetPath() const { return mFolder.GetPath(); }
    std::string PathOf(const char* name) const { return mFolder.PathOf(name); }
    const KHeldFolder& GetFolder() const { return mFolder; }
    // From now on, SIGINT, SIGTERM or SIGHUP (Ctrl-C, a stop, a closed terminal) that would end the
    // process removes the folder first, as the object's end would, then ends the process as the
    // signal does: a program stopped midway leaves nothing either. A signal the process ignores
    // stays ignored. One folder of the process at a time; false when it cannot be held for it.
    bool RemoveWhenStopped();

private:
    KHeldFolder mFolder;
    KHeldFolder mParent;
    std::string mName;
    std::string mError;
    bool mRemovedWhenStopped = false;
};

// Writes size bytes as the whole new content of path, as KFileReplacement
// replaces a file (an existing one stays as it was when the write fails).
// False, with error (when given) telling why.
bool KWriteWholeFile(const char* path, const void* data, std::size_t size, KString* error = nullptr);
// The same for name in folder.
bool KWriteWholeFile(const KHeldFolder& folder, const char* name, const void* data, std::size_t size,
                     KString* error = nullptr);
// The whole content of the regular file path (KOpenFileForReading's rule), into
// content; false when it cannot be read.
bool KReadWholeFile(const char* path, std::string& content);
// The size of the regular file path names, found as FileExist finds it; -1 when none.
std::int64_t KFileSize(const char* path);

}  // namespace zeqsdk_400

#endif
