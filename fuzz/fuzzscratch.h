#ifndef ZEQ_FUZZ_FUZZSCRATCH_H
#define ZEQ_FUZZ_FUZZSCRATCH_H

// The files a fuzz target makes on its way go through fileio as the SDK's own do
// (the targets run as root in CI): a scratch folder of the process's alone, made on
// first use in TMPDIR (else /tmp) and removed with what is in it when the run ends;
// each input written there whole, as a file is replaced; files read through the
// reader facility. A replaced file is synced: where that slows a run down, point
// TMPDIR at a memory file system (TMPDIR=/dev/shm).

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/kstring.h"
#include "fileio/kpath.h"
#include "fileio/kscratchfolder.h"

namespace zeqfuzz {

// The process's scratch folder, its name starting with prefix (the first call's).
// Without it no input reaches a reader: the run ends.
inline const zeqsdk_400::KScratchFolder& ScratchFolder(const char* prefix) {
    static const zeqsdk_400::KScratchFolder folder(prefix);
    if (!folder.IsOpen()) {
        std::fprintf(stderr, "%s: no scratch folder: %s\n", prefix, folder.GetError());
        std::abort();
    }
    return folder;
}

// Writes size bytes as the whole file name in folder; false, said on stderr, when it cannot.
inline bool Store(const zeqsdk_400::KHeldFolder& folder, const std::string& name, const void* data, std::size_t size) {
    zeqsdk_400::KString error;
    if (zeqsdk_400::KWriteWholeFile(folder, name.c_str(), data, size, &error)) return true;
    std::fprintf(stderr, "cannot write %s: %s\n", folder.PathOf(name.c_str()).c_str(), error.Buffer());
    return false;
}

inline bool Store(const zeqsdk_400::KHeldFolder& folder, const std::string& name, const std::string& bytes) {
    return Store(folder, name, bytes.data(), bytes.size());
}

// Writes size bytes as the whole file name in the scratch folder and answers its
// path, for the readers that take one; "" when it could not be written.
inline std::string Put(const char* prefix, const std::string& name, const void* data, std::size_t size) {
    const zeqsdk_400::KScratchFolder& scratch = ScratchFolder(prefix);
    return Store(scratch.GetFolder(), name, data, size) ? scratch.PathOf(name.c_str()) : std::string();
}

inline std::string Put(const char* prefix, const std::string& name, const std::string& bytes) {
    return Put(prefix, name, bytes.data(), bytes.size());
}

// The whole regular file path names, "" when it cannot be read.
inline std::string Load(const std::string& path) {
    std::string content;
    zeqsdk_400::KReadWholeFile(path.c_str(), content);
    return content;
}

// The folder ZEQ_FUZZ_SEEDS names, made when missing, for a target to write its seed
// corpus in before it runs; null when the variable is not set or the folder cannot be
// made (said on stderr).
inline const zeqsdk_400::KHeldFolder* SeedFolder() {
    static zeqsdk_400::KHeldFolder folder;
    const char* path = std::getenv("ZEQ_FUZZ_SEEDS");
    if (!path || !*path) return nullptr;
    if (!folder.IsOpen() && !folder.Open(path, true)) {
        std::fprintf(stderr, "ZEQ_FUZZ_SEEDS: %s\n", folder.GetError());
        return nullptr;
    }
    return &folder;
}

}  // namespace zeqfuzz

#endif
