#ifndef ZEQ_BENCH_BENCHSCRATCH_H
#define ZEQ_BENCH_BENCHSCRATCH_H

// Where a benchmark program writes its files: a folder of its own (KScratchFolder: mode 0700, a name
// nobody can guess, in $TMPDIR, else /tmp), made at first use and removed with everything in it
// when the program ends, or is stopped by SIGINT, SIGTERM or SIGHUP, so a run leaves nothing behind
// and nobody can plant a link under one of its names. Every file goes through fileio: fixtures by KWriteWholeFile, reads by the reader
// facility, removals in the held folder.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"
#include "fileio/kscratchfolder.h"

namespace zeqbench {

class ScratchFolder {
public:
    // Made at the first call; every file of the program goes here.
    static const zeqsdk_400::KScratchFolder& Get() {
        static zeqsdk_400::KScratchFolder folder("zeq-bench");
        static const bool stopped = folder.RemoveWhenStopped();
        (void)stopped;
        if (!folder.IsOpen()) {
            std::fprintf(stderr, "benchmark scratch folder: %s\n", folder.GetError());
            std::abort();
        }
        return folder;
    }
    static const std::string& Path() { return Get().GetPath(); }
};

// The path of name (one component, or several below folders MakeFolder made) in the scratch folder.
inline std::string ScratchPath(const std::string& name) { return ScratchFolder::Get().PathOf(name.c_str()); }

// A folder below the scratch folder (relative, '/' between its parts), made with what is missing on
// the way; its path.
inline std::string MakeFolder(const std::string& relative) {
    zeqsdk_400::KHeldFolder folder;
    if (!ScratchFolder::Get().GetFolder().OpenBelow(relative.c_str(), true, true, folder)) {
        std::fprintf(stderr, "benchmark folder %s: %s\n", relative.c_str(), folder.GetError());
        std::abort();
    }
    return folder.GetPath();
}

// Writes bytes as the whole content of path (in the scratch folder); aborts when it cannot, as a
// fixture that is not there measures nothing.
inline void WriteFile(const std::string& path, const void* data, std::size_t size) {
    zeqsdk_400::KString error;
    if (!zeqsdk_400::KWriteWholeFile(path.c_str(), data, size, &error)) {
        std::fprintf(stderr, "benchmark file %s: %s\n", path.c_str(), error.Buffer());
        std::abort();
    }
}
inline void WriteFile(const std::string& path, const std::string& content) {
    WriteFile(path, content.data(), content.size());
}

// Writes path through a stream that fill(std::FILE*) writes on, as KFileReplacement replaces a file
// (for fixtures written a line at a time); aborts when it cannot.
template <typename Fill>
void WriteFileThrough(const std::string& path, Fill fill) {
    zeqsdk_400::KFileReplacement replacement;
    std::FILE* out = replacement.Begin(path.c_str()) ? replacement.OpenStream("wb") : nullptr;
    if (!out) {
        std::fprintf(stderr, "benchmark file %s: %s\n", path.c_str(), replacement.GetError());
        std::abort();
    }
    fill(out);
    const bool written = !std::ferror(out);
    if (!(std::fclose(out) == 0 && written && replacement.Commit())) {
        std::fprintf(stderr, "benchmark file %s: %s\n", path.c_str(), replacement.GetError());
        std::abort();
    }
}

// A stream writing path from its start, as fopen(path, "wb") would, for the raw baselines beside the
// SDK's writers: no temporary and no sync, only the file opened (made when missing), emptied and
// written. Null when it cannot be opened.
inline std::FILE* OpenForWriting(const std::string& path) {
    zeqsdk_400::KString error;
    std::FILE* file = zeqsdk_400::KFileReplacement::OpenForAppending(path.c_str(), error);
    if (file && ::ftruncate(::fileno(file), 0) != 0) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

// A stream reading path, as fopen(path, "rb") would (the reader facility); null when it cannot.
inline std::FILE* OpenForReading(const std::string& path) {
    return zeqsdk_400::KOpenFileForReading(path.c_str(), "rb");
}

// The whole content of path, "" when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    std::string content;
    zeqsdk_400::KReadWholeFile(path.c_str(), content);
    return content;
}

// The size of the file path names, 0 when none.
inline std::int64_t FileSize(const std::string& path) {
    const std::int64_t size = zeqsdk_400::KFileSize(path.c_str());
    return size < 0 ? 0 : size;
}

// Removes the file path names, when it is there.
inline void RemoveFile(const std::string& path) { zeqsdk_400::KFile::Remove(zeqsdk_400::KString(path.c_str())); }

// Removes the folder path names with everything in it.
inline void RemoveFolder(const std::string& path) { zeqsdk_400::KRemoveDirectory(path.c_str()); }

}  // namespace zeqbench

#endif
