// Bytes as a Zeq file through ZEQImport into a fresh stand-in scene, in the create mode: no crash,
// no hang and no host fault (API misuse by the import), whatever the file holds. The take imported
// is one of the file's, picked by the bytes; a file without takes is imported without one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/klib.h"
#include "fuzz/fuzzscratch.h"
#include "io/kzeqimporter.h"
#include "plugin/import/importcommands.h"
#include "plugin/import/zeqtuloimport.h"
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

// One of count takes, by a hash of the bytes (FNV-1a): mutations of any byte move it.
int PickTake(const std::uint8_t* data, std::size_t size, int count) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return static_cast<int>(hash % static_cast<std::uint64_t>(count));
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
    zeqfuzz::ScratchFolder(kScratch).GetFolder().RemoveFile("zeqtulolog.txt");
    for (const standin::Fault& fault : standin::takeFaults()) {
        std::fprintf(stderr, "host fault: %s: %s\n", fault.kind.c_str(), fault.text.c_str());
        std::abort();
    }
    return 0;
}
