// The 3DS toolkit's motion at scale: keyframe nodes put then found (linear, the
// node list is updated in place), nodes of 1000 keys per track put, written, read
// and got back, and such a file loaded through the getters beside lib3ds's
// lib3ds_file_load in the same run. Heap in use after a load (mallinfo2) is
// reported as `heap_bytes`.

#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/3dstoolkit_bench_support.h"
#ifdef ZEQ_HAVE_LIB3DS
#include <lib3ds/file.h>
#endif

using namespace tk3dsbench;

namespace {

void BM_PutThenFindNodes(benchmark::State& state) {
    kfmesh3ds* m = nullptr;
    InitObjectMotion3ds(&m, 1, 1, 1, 0, 0);
    for (auto _ : state) {
        database3ds* db = NewDatabase();
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            std::snprintf(m->name, sizeof(m->name), "%s", Name(i).c_str());
            PutObjectMotion3ds(db, m);
        }
        for (std::int64_t i = 0; i < state.range(0); ++i)
            benchmark::DoNotOptimize(FindNodeTagByNameAndType3ds(db, Name(i).c_str(), 0xB002));
        ReleaseDatabase3ds(&db);
    }
    ReleaseObjectMotion3ds(&m);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PutThenFindNodes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// n object nodes of 1000 position, rotation and scale keys each.
void PutMotion(database3ds* db, std::int64_t nodes) {
    kfmesh3ds* m = nullptr;
    InitObjectMotion3ds(&m, 1000, 1000, 1000, 0, 0);
    for (std::uint32_t k = 0; k < 1000; ++k) {
        m->pkeys[k].time = m->rkeys[k].time = m->skeys[k].time = k;
        m->pos[k] = {float(k), 0, 0};
        m->rot[k] = {0.01f, 0, 0, 1};
    }
    for (std::int64_t i = 0; i < nodes; ++i) {
        std::snprintf(m->name, sizeof(m->name), "%s", Name(i).c_str());
        if (i) std::snprintf(m->parent, sizeof(m->parent), "%s", Name(i - 1).c_str());
        PutObjectMotion3ds(db, m);
    }
    ReleaseObjectMotion3ds(&m);
}

void BM_MotionRoundTrip(benchmark::State& state) {
    const std::string path = Path("motion");
    std::size_t heap = 0;
    for (auto _ : state) {
        database3ds* db = NewDatabase();
        PutMotion(db, state.range(0));
        WriteDb(db, path);
        ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
        const std::size_t before = HeapInUse();
        InitDatabase3ds(&db);
        CreateDatabase3ds(OpenFile3ds(path.c_str(), "rb"), db);
        std::vector<kfmesh3ds*> records(GetObjectNodeCount3ds(db), nullptr);
        for (std::size_t i = 0; i < records.size(); ++i) GetObjectMotionByIndex3ds(db, static_cast<std::uint32_t>(i), &records[i]);
        heap = HeapInUse() - before;
        for (kfmesh3ds*& r : records) ReleaseObjectMotion3ds(&r);
        ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
    }
    state.counters["heap_bytes"] = static_cast<double>(heap);
    state.SetItemsProcessed(state.iterations() * state.range(0) * 3000);
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_MotionRoundTrip)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

const std::string& MotionFile(std::int64_t nodes) {
    static std::string path;
    static std::int64_t made = -1;
    if (made == nodes) return path;
    path = Path("motionfile" + std::to_string(nodes));
    database3ds* db = NewDatabase();
    PutMotion(db, nodes);
    WriteDb(db, path);
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    made = nodes;
    return path;
}

void BM_LoadMotionToolkit(benchmark::State& state) {
    const std::string& path = MotionFile(state.range(0));
    for (auto _ : state) {
        database3ds* db = nullptr;
        InitDatabase3ds(&db);
        CreateDatabase3ds(OpenFile3ds(path.c_str(), "rb"), db);
        for (std::uint32_t i = 0, n = GetObjectNodeCount3ds(db); i < n; ++i) {
            kfmesh3ds* r = nullptr;
            GetObjectMotionByIndex3ds(db, i, &r);
            ReleaseObjectMotion3ds(&r);
        }
        ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
    }
}
BENCHMARK(BM_LoadMotionToolkit)->Arg(1000)->Unit(benchmark::kMillisecond);

#ifdef ZEQ_HAVE_LIB3DS
void BM_LoadMotionLib3ds(benchmark::State& state) {
    const std::string& path = MotionFile(state.range(0));
    for (auto _ : state) {
        Lib3dsFile* file = lib3ds_file_load(path.c_str());
        benchmark::DoNotOptimize(file);
        lib3ds_file_free(file);
    }
}
BENCHMARK(BM_LoadMotionLib3ds)->Arg(1000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
