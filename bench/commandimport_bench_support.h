#ifndef ZEQ_BENCH_COMMANDIMPORT_BENCH_SUPPORT_H
#define ZEQ_BENCH_COMMANDIMPORT_BENCH_SUPPORT_H

// Helpers of the benchmarks that time the ZEQImport command into the stand-in.

#include <benchmark/benchmark.h>

#include <string>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "plugin/import/importcommands.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tplugin.h"

namespace commandimportbench {

using namespace zeqsdk_400;

// The plug-in's folder (its log and settings) in the program's scratch folder.
inline void UsePluginFolder() {
    static const bool done = [] {
        KLib_SetMasterDirectory((zeqbench::ScratchFolder::Path() + "/").c_str());
        return true;
    }();
    (void)done;
}

// The stand-in emptied (outside the clock: it ends what the import before made), the import in the
// create mode without dialogs.
inline void Prepare() {
    standin::reset();
    standin::resetSession();
    standin::takeFaults();
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    params->SetImportType(KZeqUserParams::kCreate);
}

// ZEQImport -f path [-take take]; false when it failed or the host saw a fault.
inline bool Import(const std::string& path, int take = -1) {
    TArgList args;
    args.append("-f");
    args.append(TString(path.c_str()));
    if (take >= 0) {
        args.append("-take");
        args.append(std::to_string(take).c_str());
    }
    const bool imported = CommandImport().doIt(args);
    CommandImportBase::DeleteDriver();
    return imported && standin::takeFaults().empty();
}

// Each iteration imports path (an empty path: it could not be written) into an emptied stand-in.
inline void TimeImports(benchmark::State& state, const std::string& path, int take = -1) {
    UsePluginFolder();
    if (path.empty()) {
        state.SkipWithError("the file could not be written");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        Prepare();
        state.ResumeTiming();
        if (!Import(path, take)) state.SkipWithError("the import failed");
    }
    Prepare();
}

}  // namespace commandimportbench

#endif
