// Bytes as a Zeq file through ZEQImport into a fresh stand-in scene, in the create mode: no crash,
// no hang and no host fault (API misuse by the import), whatever the file holds.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/klib.h"
#include "plugin/import/importcommands.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tplugin.h"

namespace {

// A folder nobody else names (mkdtemp), the plug-in's own for the run, removed with what is in it
// when the run ends normally.
const std::string& Directory() {
    struct Folder {
        std::string mPath;
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(mPath, ignored);
        }
    };
    static const Folder folder = [] {
        const char* root = std::getenv("TMPDIR");
        std::string pattern = std::string(root && *root ? root : "/tmp") + "/plugin_import_fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        pattern += "/";
        zeqsdk_400::KLib_SetMasterDirectory(pattern.c_str());
        return Folder{pattern};
    }();
    return folder.mPath;
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
