// Scenes at scale: a scene of N null nodes created, exported to a 6.0 binary file, imported and
// cleared, each step timed per node, with the heap (bytes and blocks) a node holds, the import's
// peak against the scene it builds, what a Clear leaves allocated, and the import and a walk of
// the field file against a bare read of the same file. Steps are timed in processor time. A counting allocator replaces the global operator new of this program only.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/tests/counting_new.h"
#include "bench/benchscratch.h"
#include "content/kzeqnull.h"
#include "fileio/kzeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using countingnew::gAllocations;
using countingnew::gBlocks;
using countingnew::gBytes;
using countingnew::gPeak;
using namespace zeqsdk_400;

namespace {

// Processor time of this thread: on a shared machine it varies far less than wall time.
struct CpuClock {
    static double Now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    }
};
double Since(double start) { return CpuClock::Now() - start; }

// Every field of the current block and of the blocks below, every value read: what the
// field file alone costs the import. Answers the fields visited.
long long WalkBlock(KZeq& file) {
    long long fields = 0;
    const int count = file.FieldGetBlockFieldCount();
    for (int i = 0; i < count; ++i) {
        const KString name = file.FieldGetBlockFieldName(i);
        if (!file.FieldReadBegin(name.Buffer())) continue;
        ++fields;
        for (int remain = file.FieldReadGetRemain(); remain > 0; --remain) {
            const char type = file.FieldReadGetType();
            if (type == 'D' || type == 'F' || type == 'I' || type == 'L' || type == 'C')
                benchmark::DoNotOptimize(file.FieldReadD());
            else
                benchmark::DoNotOptimize(file.FieldReadC());
        }
        if (file.FieldReadBlockBegin()) {
            fields += WalkBlock(file);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return fields;
}

// The file's bytes read into memory, nothing parsed.
std::size_t ReadBare(const std::string& path) {
    std::FILE* in = zeqbench::OpenForReading(path);
    if (!in) return 0;
    std::fseek(in, 0, SEEK_END);
    std::vector<char> bytes(static_cast<std::size_t>(std::ftell(in)));
    std::rewind(in);
    const std::size_t read = std::fread(bytes.data(), 1, bytes.size(), in);
    std::fclose(in);
    return read;
}

// How the nodes hang: all below the scene's root (flat), each below the one before (a chain), or
// all below one node that hangs below the root (a fan).
enum class Shape { eFlat, eChain, eFan };

// Arguments: node count, takes besides the default one (0 or 10).
void RunScene(benchmark::State& state, Shape shape) {
    const int count = static_cast<int>(state.range(0));
    const int takes = static_cast<int>(state.range(1));
    const std::string path = zeqbench::ScratchPath("scene.zeq");
    double create = 0, exported = 0, imported = 0, cleared = 0, heap = 0, blocks = 0, allocations = 0, peak = 0,
           left = 0, destroyed = 0, bare = 0, walked = 0, fields = 0;
    for (auto _ : state) {
        KZeqSdkManager manager;
        const long long bytes0 = gBytes, blocks0 = gBlocks, allocations0 = gAllocations;
        auto start = CpuClock::Now();
        KZeqScene* scene = manager.CreateKZeqScene();
        KZeqNode* parent = scene->GetRootNode();
        for (int i = 0; i < count; ++i) {
            KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
            node->SetNodeAttribute(manager.CreateKZeqNull());
            parent->AddChild(node);
            if (shape == Shape::eChain || (shape == Shape::eFan && i == 0)) parent = node;
        }
        for (int t = 1; t <= takes; ++t) scene->CreateTake(("Take " + std::to_string(t)).c_str());
        create = Since(start);
        heap = static_cast<double>(gBytes - bytes0);
        blocks = static_cast<double>(gBlocks - blocks0);
        allocations = static_cast<double>(gAllocations - allocations0);

        start = CpuClock::Now();
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
        if (!exporter.Export(*scene)) state.SkipWithError("not written");
        exported = Since(start);
        start = CpuClock::Now();
        manager.DestroyKZeqScene(scene, true);
        destroyed = Since(start);

        start = CpuClock::Now();
        benchmark::DoNotOptimize(ReadBare(path));
        bare = Since(start);
        start = CpuClock::Now();
        {
            KZeq file;
            if (!file.ProjectOpen(path.c_str(), true, true)) state.SkipWithError("not opened");
            fields = static_cast<double>(WalkBlock(file));
        }
        walked = Since(start);

        const long long before = gBytes;
        gPeak = before;
        KZeqScene* read = manager.CreateKZeqScene();
        start = CpuClock::Now();
        {
            KZeqImporter importer(manager);
            if (!importer.Initialize(path.c_str()) || !importer.Import(*read)) state.SkipWithError("not read");
        }
        imported = Since(start);
        const double built = static_cast<double>(gBytes - before);
        peak = static_cast<double>(gPeak - before) / (built > 0 ? built : 1);

        start = CpuClock::Now();
        read->Clear();
        cleared = Since(start);
        left = static_cast<double>(gBlocks) - static_cast<double>(blocks0);
    }
    zeqbench::RemoveFile(path);
    const double n = count;
    state.counters["create_us"] = create / n * 1e6;
    state.counters["export_us"] = exported / n * 1e6;
    state.counters["import_us"] = imported / n * 1e6;
    state.counters["clear_us"] = cleared / n * 1e6;
    state.counters["destroy_us"] = destroyed / n * 1e6;
    state.counters["heap_KB"] = heap / n / 1024;
    state.counters["blocks"] = blocks / n;
    state.counters["allocs"] = allocations / n;
    state.counters["import_peak"] = peak;
    state.counters["blocks_left_after_clear"] = left / n;
    // The import and the field file against a bare read of the same file.
    state.counters["import_x_bare"] = imported / bare;
    state.counters["fields_x_bare"] = walked / bare;
    state.counters["ns_per_field"] = walked / fields * 1e9;
}
void BM_FlatScene(benchmark::State& state) { RunScene(state, Shape::eFlat); }
void BM_ChainScene(benchmark::State& state) { RunScene(state, Shape::eChain); }
void BM_FanScene(benchmark::State& state) { RunScene(state, Shape::eFan); }

BENCHMARK(BM_FlatScene)
    ->ArgsProduct({{1000, 10000, 100000}, {0}})
    ->Args({10000, 10})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChainScene)->ArgsProduct({{1000, 10000, 100000}, {0}})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FanScene)->ArgsProduct({{1000, 10000, 100000}, {0}})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
