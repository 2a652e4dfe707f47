// Arbitrary bytes as the plug-in's settings file: loading must keep or take values without
// crashing, and what a save writes must load back to the same values.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/klib.h"
#include "plugin/zeqtulouserparams.h"

namespace {

// A directory of the process's own, on a memory file system when there is one (saves sync).
const std::string& Directory() {
    static const std::string directory = [] {
        std::string d = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/plugin-settings-fuzz-") +
                        std::to_string(getpid());
        std::system(("mkdir -p '" + d + "'").c_str());
        zeqsdk_400::KLib_SetConfigDirectory(d.c_str());
        return d;
    }();
    return directory;
}

std::string State(const ZeqTuloUserParams& p) {
    std::string out;
    for (unsigned i = 0; i < static_cast<unsigned>(p.GetNbParameters()); ++i)
        out += std::string(p.Entry(i)->mValue.Buffer()) + "\n";
    return out + std::to_string(p.GetImportType());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = Directory() + "/" + ZeqTuloUserParams::GetRegistryPath().Buffer();
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                   static_cast<std::streamsize>(size));
    std::string first;
    {
        ZeqTuloUserParams params;  // loads the bytes
        params.Save();
        first = State(params);
    }  // saves again
    ZeqTuloUserParams again;
    if (State(again) != first) std::abort();
    return 0;
}
