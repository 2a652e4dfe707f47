#ifndef ZEQ_BENCH_BENCHSCRATCH_H
#define ZEQ_BENCH_BENCHSCRATCH_H

// Where a benchmark program writes its files: a folder of its own, made on first use in the
// temporary folder ($TMPDIR, else /tmp) under a name nobody else holds (mkdtemp, mode 0700), and
// removed with everything in it when the program ends: a run leaves nothing behind.

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace zeqbench {

class ScratchFolder {
public:
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Made at the first call; every file of the program goes here.
    static const std::string& Path() {
        static ScratchFolder folder;
        return folder.mPath;
    }

private:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zeq-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("benchmark scratch folder");
            std::abort();
        }
        mPath = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }

    std::string mPath;
};

// The path of a file of that name in the program's scratch folder.
inline std::string ScratchPath(const std::string& name) { return ScratchFolder::Path() + "/" + name; }

}  // namespace zeqbench

#endif
