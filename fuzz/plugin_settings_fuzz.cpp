// Arbitrary bytes as the plug-in's settings file: loading must keep or take values without
// crashing, and what a save writes must load back to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/klib.h"
#include "fuzz/fuzzscratch.h"
#include "plugin/zeqtulouserparams.h"

namespace {

std::string State(const ZeqTuloUserParams& p) {
    std::string out;
    for (unsigned i = 0; i < static_cast<unsigned>(p.GetNbParameters()); ++i)
        out += std::string(p.Entry(i)->mValue.Buffer()) + "\n";
    return out + std::to_string(p.GetImportType());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The settings file in the scratch folder: saves sync it (TMPDIR on a memory file system is faster).
    const zeqsdk_400::KScratchFolder& scratch = zeqfuzz::ScratchFolder("plugin-settings-fuzz");
    zeqsdk_400::KLib_SetConfigDirectory(scratch.GetPath().c_str());
    if (!zeqfuzz::Store(scratch.GetFolder(), ZeqTuloUserParams::GetRegistryPath().Buffer(), data, size)) return 0;
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
