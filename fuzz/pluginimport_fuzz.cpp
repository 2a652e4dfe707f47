// Bytes as a Zeq file through ZEQImport into a fresh stand-in scene, in the create mode: no crash,
// no hang and no host fault (API misuse by the import), whatever the file holds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/klib.h"
#include "plugin/import/importcommands.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tplugin.h"

namespace {

const std::string& Directory() {
    static const std::string directory = [] {
        std::string d = "/tmp/plugin_import_fuzz_" + std::to_string(getpid()) + "/";
        std::system(("mkdir -p '" + d + "'").c_str());
        zeqsdk_400::KLib_SetMasterDirectory(d.c_str());
        return d;
    }();
    return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = Directory() + "input.zeq";
    if (std::FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
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
    std::remove((Directory() + "zeqtulolog.txt").c_str());
    for (const standin::Fault& fault : standin::takeFaults()) {
        std::fprintf(stderr, "host fault: %s: %s\n", fault.kind.c_str(), fault.text.c_str());
        std::abort();
    }
    return 0;
}
