// ZEQExport of host scenes that ZEQImport made from files naming many things along one line: a chain
// of models n deep (n0 at the top) as the old text format writes them, without a kind (the import
// makes each an empty mesh), and one null with n user properties. The import runs outside the clock
// (its time is the counter import_ms); the export is timed. Both must stay near n log n: a world
// matrix worked out from the top for every shape, a scan of every node per mesh, or a search by
// name per property made them quadratic.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/import/importcommands.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tplugin.h"
#include "zeqmany_bench_support.h"

using namespace zeqsdk_400;

namespace {

using Clock = std::chrono::steady_clock;

// The plug-in's folder (its log and settings) in the program's scratch folder.
void UsePluginFolder() {
    static const bool done = [] {
        KLib_SetMasterDirectory((zeqbench::ScratchFolder::Path() + "/").c_str());
        return true;
    }();
    (void)done;
}

std::string ChainFile(int depth) {
    std::string text = "@Zeq: 5800\n@Section: 5800\n";
    for (int i = 0; i < depth; ++i) {
        text += "Model: \"Model::n" + std::to_string(i) + "\" {\n";
        if (i + 1 < depth) text += "\tChildren: \"Model::n" + std::to_string(i + 1) + "\"\n";
        text += "}\n";
    }
    text += "@End\n";
    const std::string path = zeqbench::ScratchPath("chain" + std::to_string(depth) + ".zeq");
    zeqbench::WriteFile(path, text);
    return path;
}

// The stand-in emptied and the file imported into it in the create mode, without dialogs; false
// when the import failed or the host saw a fault.
bool ImportInto(const std::string& path) {
    standin::reset();
    standin::resetSession();
    standin::takeFaults();
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    params->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
    params->SetImportType(KZeqUserParams::kCreate);
    TArgList args;
    args.append("-f");
    args.append(TString(path.c_str()));
    const bool imported = CommandImport().doIt(args);
    CommandImportBase::DeleteDriver();
    return imported && standin::takeFaults().empty();
}

void TimeExports(benchmark::State& state, const std::string& path) {
    UsePluginFolder();
    if (path.empty()) return state.SkipWithError("the file could not be written");
    const auto start = Clock::now();
    if (!ImportInto(path)) return state.SkipWithError("the import failed");
    state.counters["import_ms"] = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const std::string out = zeqbench::ScratchPath("out.zeq");
    for (auto _ : state) {
        ZeqTuloExport exporter;
        if (!exporter.Export(out.c_str())) return state.SkipWithError("the export failed");
    }
    if (!standin::takeFaults().empty()) state.SkipWithError("the host saw a fault");
    standin::reset();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ExportImportedChain(benchmark::State& state) {
    TimeExports(state, ChainFile(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ExportImportedChain)->Arg(250)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ExportUserProperties(benchmark::State& state) {
    TimeExports(state, zeqmanybench::UserPropertyFile(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ExportUserProperties)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
