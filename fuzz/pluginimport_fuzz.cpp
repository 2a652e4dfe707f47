// Bytes as a Zeq file through ZEQImport into a fresh stand-in scene, in the create mode: no crash,
// no hang and no host fault (API misuse by the import), whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/klib.h"
#include "fuzz/fuzzscratch.h"
#include "plugin/import/importcommands.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tplugin.h"

namespace {

constexpr const char* kScratch = "plugin_import_fuzz";

// The scratch folder, the plug-in's own for the run (its log is written there).
const std::string& Directory() {
    static const std::string directory = [] {
        const std::string path = zeqfuzz::ScratchFolder(kScratch).GetPath() + "/";
        zeqsdk_400::KLib_SetMasterDirectory(path.c_str());
        return path;
    }();
    return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = Directory() + "input.zeq";
    zeqfuzz::Store(zeqfuzz::ScratchFolder(kScratch).GetFolder(), "input.zeq", data, size);
    standin::reset();
    standin::resetSession();
    standin::clearTranscript();
    standin::takeFaults();
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    params->SetImportType(zeqsdk_400::KZeqUserParams::kCreate);

    TArgList args;
    args.append("-f");
    args.append(TString(file.c_str()));
    args.append("-take");
    args.append("0");
    CommandImport().doIt(args);
    CommandImportBase::DeleteDriver();
    zeqfuzz::ScratchFolder(kScratch).GetFolder().RemoveFile("zeqtulolog.txt");
    for (const standin::Fault& fault : standin::takeFaults()) {
        std::fprintf(stderr, "host fault: %s: %s\n", fault.kind.c_str(), fault.text.c_str());
        std::abort();
    }
    return 0;
}
