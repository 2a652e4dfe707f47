// The 3DS toolkit's records at scale: named objects put then found (linear, the
// lookup list is updated in place), meshes got by index, and a file of big meshes
// loaded through the getters beside lib3ds's lib3ds_file_load of the same file in
// the same run. Heap in use after a
// load (mallinfo2) is reported as `heap_bytes`.

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
void BM_PutThenFindObjects(benchmark::State& state) {
    mesh3ds* m = nullptr;
    InitMeshObj3ds(&m, 3, 1, 0);
    for (auto _ : state) {
        database3ds* db = NewDatabase();
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            std::snprintf(m->name, sizeof(m->name), "%s", Name(i).c_str());
            PutMesh3ds(db, m);
        }
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            chunk3ds* found = nullptr;
            benchmark::DoNotOptimize(FindNamedObject3ds(db, Name(i).c_str(), &found));
        }
        ReleaseDatabase3ds(&db);
    }
    RelMeshObj3ds(&m);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PutThenFindObjects)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_GetMeshesByIndex(benchmark::State& state) {
    database3ds* db = NewDatabase();
    mesh3ds* m = nullptr;
    InitMeshObj3ds(&m, 3, 1, 0);
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        std::snprintf(m->name, sizeof(m->name), "%s", Name(i).c_str());
        PutMesh3ds(db, m);
    }
    for (auto _ : state)
        for (std::int64_t i = 0; i < state.range(0); ++i) GetMeshByIndex3ds(db, static_cast<std::int32_t>(i), &m);
    RelMeshObj3ds(&m);
    ReleaseDatabase3ds(&db);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GetMeshesByIndex)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// n meshes of 60,000 vertices and 20,000 faces each, written once per process.
const std::string& BigMeshes(std::int64_t n) {
    static std::string path;
    static std::int64_t made = -1;
    if (made == n) return path;
    path = Path("meshes" + std::to_string(n));
    database3ds* db = NewDatabase();
    mesh3ds* m = nullptr;
    InitMeshObj3ds(&m, 60000, 20000, InitTextArray3ds);
    for (std::uint16_t v = 0; v < 60000; ++v) m->vertices[v] = {float(v), float(v % 7), float(v % 13)};
    for (std::uint16_t f = 0; f < 20000; ++f) m->faces[f] = {std::uint16_t(3 * f), std::uint16_t(3 * f + 1), std::uint16_t(3 * f + 2), 7};
    for (std::int64_t i = 0; i < n; ++i) {
        std::snprintf(m->name, sizeof(m->name), "%s", Name(i).c_str());
        PutMesh3ds(db, m);
    }
    RelMeshObj3ds(&m);
    WriteDb(db, path);
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    made = n;
    return path;
}

void BM_PutMeshes(benchmark::State& state) {
    mesh3ds* m = nullptr;
    InitMeshObj3ds(&m, 60000, 20000, InitTextArray3ds);
    for (auto _ : state) {
        database3ds* db = NewDatabase();
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            std::snprintf(m->name, sizeof(m->name), "%s", Name(i).c_str());
            PutMesh3ds(db, m);
        }
        WriteDb(db, Path("put"));
        ReleaseDatabase3ds(&db);
    }
    RelMeshObj3ds(&m);
    zeqbench::RemoveFile(Path("put"));
}
BENCHMARK(BM_PutMeshes)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_LoadMeshesToolkit(benchmark::State& state) {
    const std::string& path = BigMeshes(state.range(0));
    std::size_t heap = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        database3ds* db = nullptr;
        InitDatabase3ds(&db);
        CreateDatabase3ds(OpenFile3ds(path.c_str(), "rb"), db);
        std::vector<mesh3ds*> meshes(GetMeshCount3ds(db), nullptr);
        for (std::size_t i = 0; i < meshes.size(); ++i) GetMeshByIndex3ds(db, static_cast<std::int32_t>(i), &meshes[i]);
        heap = HeapInUse() - before;
        for (mesh3ds*& m : meshes) RelMeshObj3ds(&m);
        ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
    }
    state.counters["heap_bytes"] = static_cast<double>(heap);
}
BENCHMARK(BM_LoadMeshesToolkit)->Arg(100)->Unit(benchmark::kMillisecond);

#ifdef ZEQ_HAVE_LIB3DS
void BM_LoadMeshesLib3ds(benchmark::State& state) {
    const std::string& path = BigMeshes(state.range(0));
    std::size_t heap = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        Lib3dsFile* file = lib3ds_file_load(path.c_str());
        heap = HeapInUse() - before;
        benchmark::DoNotOptimize(file);
        lib3ds_file_free(file);
    }
    state.counters["heap_bytes"] = static_cast<double>(heap);
}
BENCHMARK(BM_LoadMeshesLib3ds)->Arg(100)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
