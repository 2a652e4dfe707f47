// Bytes as a Zeq file through ZEQImport into a fresh stand-in scene, in the create mode: no crash,
// no hang and no host fault (API misuse by the import), whatever the file holds. The take imported
// is one of the file's, picked by the bytes; a file without takes is imported without one.
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
#include "io/kzeqimporter.h"
#include "plugin/import/importcommands.h"
#include "plugin/import/zeqtuloimport.h"
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

// One of count takes, by a hash of the bytes (FNV-1a): mutations of any byte move it.
int PickTake(const std::uint8_t* data, std::size_t size, int count) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return static_cast<int>(hash % static_cast<std::uint64_t>(count));
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

    // The file opened as ZEQRead opens it; ZEQImport then goes on with that driver.
    int take = -1;
    if (zeqsdk_400::KZeqImporter* importer = CommandImportBase::DriverFor(file.c_str(), false)->GetImporter()) {
        const int count = importer->GetTakeCount();
        if (importer->GetLastErrorID() < 0 && count > 0) take = PickTake(data, size, count);
    }
    TArgList args;
    args.append("-f");
    args.append(TString(file.c_str()));
    if (take >= 0) {
        args.append("-take");
        args.append(TString(std::to_string(take).c_str()));
    }
    CommandImport().doIt(args);
    CommandImportBase::DeleteDriver();
    std::remove((Directory() + "zeqtulolog.txt").c_str());
    for (const standin::Fault& fault : standin::takeFaults()) {
        std::fprintf(stderr, "host fault: %s: %s\n", fault.kind.c_str(), fault.text.c_str());
        std::abort();
    }
    return 0;
}
