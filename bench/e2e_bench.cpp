// The main job's plug-in road at size: a host scene of n nulls, or one mesh of n vertices, exported
// through the plug-in and imported back into a new scene, beside the SDK's own read and write of the
// same file. Time is the road's (export and import) or the SDK's (read and write); counters split
// them and give the file's size, the peak memory the road or the SDK adds and the heap the SDK's
// scene of the file holds.
//
// 10^5 nulls (the SDK holds some 28 KB a node): ZEQ_BENCH_HUGE=1.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "standin.h"

using namespace zeqsdk_400;
using Clock = std::chrono::steady_clock;

namespace {

// The files of the run (hundreds of megabytes at the larger sizes) and the plug-in's log, in the
// program's scratch folder, gone when it ends.
std::string Directory() {
    static const std::string directory = [] {
        const std::string d = zeqbench::ScratchFolder::Path() + "/";
        KLib_SetMasterDirectory(d.c_str());
        return d;
    }();
    return directory;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double FileBytes(const std::string& path) { return static_cast<double>(zeqbench::FileSize(path)); }

double HeapBytes() { return static_cast<double>(mallinfo2().uordblks); }

// The host scene of the road: n top-level nulls (transforms without a shape), or one grid of
// about n vertices.
enum Kind { eNulls, eMesh };
void BuildHostScene(Kind kind, int n) {
    standin::reset();
    standin::takeFaults();
    if (kind == eNulls) {
        for (int i = 0; i < n; ++i) standin::createNode("transform", "null" + std::to_string(i));
    } else {
        int side = 1;
        while ((side + 2) * (side + 2) <= n) ++side;
        standin::createGrid("grid", side, side);
    }
}

struct RoadTimes {
    double mExport = 0, mImport = 0;
    bool mOk = false;
};

// The road: the plug-in's export of the host scene, then its import into a new scene.
RoadTimes Road(const std::string& file) {
    RoadTimes times;
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
    params->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    params->SetImportType(KZeqUserParams::kCreate);
    auto start = Clock::now();
    {
        ZeqTuloExport exporter;
        if (!exporter.Export(file.c_str())) return times;
    }
    times.mExport = Seconds(start);
    start = Clock::now();
    {
        ZeqTuloImport importer;
        if (!importer.OpenProject(TString(file.c_str())) || !importer.Import()) return times;
    }
    times.mImport = Seconds(start);
    times.mOk = true;
    return times;
}

struct SdkTimes {
    double mRead = 0, mWrite = 0, mSceneHeap = 0;
    bool mOk = false;
};

// The SDK alone on the road's file: read into a scene, written back out.
SdkTimes SdkReadWrite(const std::string& file, const std::string& copy) {
    SdkTimes times;
    KZeqSdkManager manager;
    const double heap = HeapBytes();
    auto start = Clock::now();
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqImporter importer(manager);
    if (!importer.Initialize(file.c_str()) || !importer.Import(*scene)) return times;
    times.mRead = Seconds(start);
    times.mSceneHeap = HeapBytes() - heap;
    start = Clock::now();
    KZeqExporter exporter(manager);
    KStreamOptionsZeq options;
    exporter.Initialize(copy.c_str());
    exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    exporter.SetExportOptionsInfo(&options);
    if (!exporter.Export(*scene)) return times;
    times.mWrite = Seconds(start);
    manager.DestroyKZeqScene(scene, true);
    times.mOk = true;
    return times;
}

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 when it cannot be read.
double StatusBytes(const char* field) {
    double kilobytes = 0;
    if (std::FILE* status = zeqbench::OpenForReading("/proc/self/status")) {
        char line[256];
        const std::size_t length = std::strlen(field);
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, field, length) == 0 && line[length] == ':') kilobytes = std::atof(line + length + 1);
        std::fclose(status);
    }
    return kilobytes * 1024.0;
}

// How far the work raises the resident peak above where the process stood: the heap's free pages
// are given back and the peak is reset first (the kernel's clear_refs), so that neither earlier
// peaks nor memory freed before hide it. Negative when the work failed or the peak cannot be reset.
template <class Work>
double PeakGrowth(Work work) {
    malloc_trim(0);
    std::FILE* clear = std::fopen("/proc/self/clear_refs", "w");
    if (!clear) return -1;
    const bool reset = std::fputs("5", clear) >= 0;
    if (std::fclose(clear) != 0 || !reset) return -1;
    const double before = StatusBytes("VmRSS");
    return work() ? StatusBytes("VmHWM") - before : -1.0;
}

std::string RoadFile(Kind kind, int n) {
    return Directory() + (kind == eNulls ? "nulls" : "mesh") + std::to_string(n) + ".zeq";
}

void BM_Road(benchmark::State& state, Kind kind) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = RoadFile(kind, n);
    RoadTimes last;
    for (auto _ : state) {
        BuildHostScene(kind, n);
        last = Road(file);
        if (!last.mOk) return state.SkipWithError("the road failed");
        state.SetIterationTime(last.mExport + last.mImport);
    }
    BuildHostScene(kind, n);
    state.counters["export_s"] = last.mExport;
    state.counters["import_s"] = last.mImport;
    state.counters["file_MB"] = FileBytes(file) / 1e6;
    state.counters["peak_MB"] = PeakGrowth([&] { return Road(file + ".peak").mOk; }) / 1e6;
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_SdkReadWrite(benchmark::State& state, Kind kind) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = RoadFile(kind, n);
    if (FileBytes(file) == 0) {  // the road's benchmark writes it; alone, this one does
        BuildHostScene(kind, n);
        if (!Road(file).mOk) return state.SkipWithError("the road failed");
    }
    standin::reset();
    SdkTimes last;
    for (auto _ : state) {
        last = SdkReadWrite(file, file + ".sdk");
        if (!last.mOk) return state.SkipWithError("the SDK's read or write failed");
        state.SetIterationTime(last.mRead + last.mWrite);
    }
    state.counters["read_s"] = last.mRead;
    state.counters["write_s"] = last.mWrite;
    state.counters["scene_MB"] = last.mSceneHeap / 1e6;
    state.counters["peak_MB"] = PeakGrowth([&] { return SdkReadWrite(file, file + ".peak").mOk; }) / 1e6;
    state.SetItemsProcessed(state.iterations() * n);
}

void NullCounts(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(10000);
    if (std::getenv("ZEQ_BENCH_HUGE")) b->Arg(100000);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Road, nulls, eNulls)->Apply(NullCounts)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SdkReadWrite, nulls, eNulls)->Apply(NullCounts)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Road, mesh, eMesh)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_SdkReadWrite, mesh, eMesh)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
