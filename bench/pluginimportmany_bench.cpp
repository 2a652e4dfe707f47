// ZEQImport into the stand-in of a file naming many things of one kind: one model with n user
// properties (each becomes a host attribute), and n takes (the last one imported). Each import must
// stay near n log n: searches by name per attribute, per channel and per take made both quadratic.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "plugin/import/importcommands.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tplugin.h"
#include "zeqmany_bench_support.h"

using namespace zeqsdk_400;

namespace {

// The plug-in's folder (its log and settings) in the program's scratch folder.
void UsePluginFolder() {
    static const bool done = [] {
        KLib_SetMasterDirectory((zeqbench::ScratchFolder::Path() + "/").c_str());
        return true;
    }();
    (void)done;
}

// The stand-in emptied (outside the clock: it ends what the import before made), the import in the
// create mode without dialogs.
void Prepare() {
    standin::reset();
    standin::resetSession();
    standin::takeFaults();
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    params->SetImportType(KZeqUserParams::kCreate);
}

// ZEQImport -f path [-take take]; false when it failed or the host saw a fault.
bool Import(const std::string& path, int take) {
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

void TimeImports(benchmark::State& state, const std::string& path, int take) {
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
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ImportUserProperties(benchmark::State& state) {
    TimeImports(state, zeqmanybench::UserPropertyFile(static_cast<int>(state.range(0))), -1);
}
BENCHMARK(BM_ImportUserProperties)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ImportTakes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TimeImports(state, zeqmanybench::TakeFile(n), n - 1);
}
BENCHMARK(BM_ImportTakes)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
