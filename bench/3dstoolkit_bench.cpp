// The 3DS toolkit beside raw stdio on the same bytes: big arrays (vertices and
// faces) read and written, and files of many small chunks read (headers, then
// every chunk's data) and written. The raw baselines do the least the same file
// needs: one fread/fwrite per chunk header and per chunk's data.

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/benchscratch.h"
#include "formats/geometry/3ds/toolkit/blockpool3ds.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"

using namespace zeqsdk_400;

namespace {

// Bytes the process holds from malloc, big blocks of their own (mmap) included.
std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

std::string Path(const std::string& name) { return zeqbench::ScratchPath(name); }

void Put16(std::string& s, std::uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
void Put32(std::string& s, std::uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }
std::string Chunk(std::uint16_t tag, const std::string& body) {
    std::string s;
    Put16(s, tag);
    Put32(s, static_cast<std::uint32_t>(body.size() + 6));
    return s + body;
}

void WriteBytes(const std::string& path, const std::string& bytes) { zeqbench::WriteFile(path, bytes); }

// A mesh file whose only leaf is an array chunk of n elements of `element` bytes.
std::string ArrayFile(std::uint16_t tag, std::uint32_t n, std::size_t element) {
    std::string body;
    Put16(body, static_cast<std::uint16_t>(n));
    for (std::uint32_t i = 0; i < n * element / 4; ++i) {
        const float v = static_cast<float>(i % 1000) * 0.5f;
        body.append(reinterpret_cast<const char*>(&v), 4);
    }
    if (tag == 0x4120)  // valid vertex indices
        for (std::uint32_t i = 0; i < n * 4; ++i) std::memcpy(&body[2 + 2 * i], &i, 2);
    return Chunk(0x4D4D, Chunk(tag, body));
}

void ReadArray(benchmark::State& state, std::uint16_t tag, std::size_t element) {
    const std::uint32_t n = static_cast<std::uint32_t>(state.range(0));
    const std::string path = Path("array");
    const std::string bytes = ArrayFile(tag, n, element);
    WriteBytes(path, bytes);
    std::size_t heap = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        database3ds* db = nullptr;
        InitDatabase3ds(&db);
        file3ds* file = OpenFile3ds(path.c_str(), "rb");
        CreateDatabase3ds(file, db);
        benchmark::DoNotOptimize(ReadChunkData3ds(db->top->children));
        heap = HeapInUse() - before;
        ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    // The open file's stream buffer and read window are counted in.
    state.counters["heap/file"] = static_cast<double>(heap) / static_cast<double>(bytes.size());
    zeqbench::RemoveFile(path);
}

void RawReadArray(benchmark::State& state, std::size_t element) {
    const std::uint32_t n = static_cast<std::uint32_t>(state.range(0));
    const std::string path = Path("rawarray");
    const std::string bytes = ArrayFile(0x4110, n, element);
    WriteBytes(path, bytes);
    for (auto _ : state) {
        std::FILE* f = zeqbench::OpenForReading(path);
        char header[14];
        std::fread(header, 14, 1, f);
        void* array = std::malloc(n * element);
        std::fread(array, n * element, 1, f);
        benchmark::DoNotOptimize(array);
        std::free(array);
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    zeqbench::RemoveFile(path);
}

void WriteArray(benchmark::State& state, std::uint16_t tag, std::size_t element) {
    const std::uint32_t n = static_cast<std::uint32_t>(state.range(0));
    const std::string in = Path("arrayin"), out = Path("arrayout");
    WriteBytes(in, ArrayFile(tag, n, element));
    database3ds* db = nullptr;
    InitDatabase3ds(&db);
    CreateDatabase3ds(OpenFile3ds(in.c_str(), "rb"), db);
    DisconnectDatabase3ds(db);
    for (auto _ : state) {
        file3ds* file = OpenFile3ds(out.c_str(), "wb");
        WriteChunk3ds(db->top, file->index);
        CloseFile3ds(file);
    }
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (n * element + 14)));
    zeqbench::RemoveFile(in);
    zeqbench::RemoveFile(out);
}

void RawWriteArray(benchmark::State& state, std::size_t element) {
    const std::uint32_t n = static_cast<std::uint32_t>(state.range(0));
    const std::string out = Path("rawarrayout");
    std::vector<char> array(n * element, 1);
    for (auto _ : state) {
        std::FILE* f = zeqbench::OpenForWriting(out);
        char header[14] = {};
        std::fwrite(header, 14, 1, f);
        std::fwrite(array.data(), array.size(), 1, f);
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (n * element + 14)));
    zeqbench::RemoveFile(out);
}

void BM_ReadVertices(benchmark::State& state) { ReadArray(state, 0x4110, 12); }
void BM_RawReadVertices(benchmark::State& state) { RawReadArray(state, 12); }
void BM_ReadFaces(benchmark::State& state) { ReadArray(state, 0x4120, 8); }
void BM_RawReadFaces(benchmark::State& state) { RawReadArray(state, 8); }
void BM_WriteVertices(benchmark::State& state) { WriteArray(state, 0x4110, 12); }
void BM_RawWriteVertices(benchmark::State& state) { RawWriteArray(state, 12); }
void BM_WriteFaces(benchmark::State& state) { WriteArray(state, 0x4120, 8); }
void BM_RawWriteFaces(benchmark::State& state) { RawWriteArray(state, 8); }
BENCHMARK(BM_ReadVertices)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawReadVertices)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFaces)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawReadFaces)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteVertices)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawWriteVertices)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteFaces)->Arg(65535)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawWriteFaces)->Arg(65535)->Unit(benchmark::kMicrosecond);

// n shadow-filter chunks (a float each, 10 bytes) in the mesh section.
std::string SmallChunksFile(std::int64_t n) {
    std::string body;
    body.reserve(static_cast<std::size_t>(n) * 10);
    for (std::int64_t i = 0; i < n; ++i) {
        Put16(body, 0x1450);
        Put32(body, 10);
        const float v = static_cast<float>(i);
        body.append(reinterpret_cast<const char*>(&v), 4);
    }
    return Chunk(0x4D4D, Chunk(0x3D3D, body));
}

// Loads the file at `path` (tree, then every chunk's data) and releases it again.
// With `tree` and `heap`, the heap the toolkit held with the tree alone and with
// all the data, from a pool that keeps no empty run of earlier loads.
void LoadSmallChunks(const std::string& path, std::size_t* tree = nullptr, std::size_t* heap = nullptr) {
#ifndef ZEQ_3DS_HEAP_BLOCKS
    if (heap) toolkit3ds::gBlockPool3ds.Trim();
#endif
    const std::size_t before = heap ? HeapInUse() : 0;
    database3ds* db = nullptr;
    InitDatabase3ds(&db);
    CreateDatabase3ds(OpenFile3ds(path.c_str(), "rb"), db);
    if (tree) *tree = HeapInUse() - before;
    for (chunk3ds* c = db->top->children->children; c; c = c->sibling) benchmark::DoNotOptimize(ReadChunkData3ds(c));
    if (heap) *heap = HeapInUse() - before;
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
}

void BM_ReadSmallChunks(benchmark::State& state) {
    const std::string path = Path("small");
    const std::string bytes = SmallChunksFile(state.range(0));
    WriteBytes(path, bytes);
    std::size_t tree = 0, heap = 0;
    LoadSmallChunks(path, &tree, &heap);
    for (auto _ : state) LoadSmallChunks(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    // The open file's buffers and read window are counted in.
    const double n = static_cast<double>(state.range(0));
    state.counters["node_bytes"] = static_cast<double>(sizeof(chunk3ds));
    state.counters["tree_B/chunk"] = static_cast<double>(tree) / n;
    state.counters["heap_B/chunk"] = static_cast<double>(heap) / n;
    state.counters["heap/file"] = static_cast<double>(heap) / static_cast<double>(bytes.size());
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_ReadSmallChunks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The raw loop, reading each chunk into `kept` bytes of fresh memory per chunk
// (0: none), as a tree held in memory takes them: the floor of any reader that
// keeps the chunks, since touching fresh pages costs the kernel's page faults.
void RawReadSmallChunks(benchmark::State& state, std::size_t kept) {
    const std::string path = Path("rawsmall");
    const std::string bytes = SmallChunksFile(state.range(0));
    WriteBytes(path, bytes);
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        std::FILE* f = zeqbench::OpenForReading(path);
        char* memory = kept ? static_cast<char*>(std::malloc(n * kept)) : nullptr;
        char header[6];
        std::fread(header, 6, 1, f);
        std::fread(header, 6, 1, f);
        float sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            float v;
            std::fread(header, 6, 1, f);
            std::fread(&v, 4, 1, f);
            sum += v;
            if (memory) {
                std::memset(memory + i * kept, 0, kept);
                std::memcpy(memory + i * kept, header, 6);
                std::memcpy(memory + i * kept + 8, &v, 4);
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(memory);
        std::free(memory);
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    zeqbench::RemoveFile(path);
}
void BM_RawReadSmallChunks(benchmark::State& state) { RawReadSmallChunks(state, 0); }
void BM_RawReadSmallChunksKept(benchmark::State& state) { RawReadSmallChunks(state, sizeof(chunk3ds) + 4); }
BENCHMARK(BM_RawReadSmallChunks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawReadSmallChunksKept)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_WriteSmallChunks(benchmark::State& state) {
    const std::string in = Path("smallin"), out = Path("smallout");
    WriteBytes(in, SmallChunksFile(state.range(0)));
    database3ds* db = nullptr;
    InitDatabase3ds(&db);
    CreateDatabase3ds(OpenFile3ds(in.c_str(), "rb"), db);
    DisconnectDatabase3ds(db);
    for (auto _ : state) {
        file3ds* file = OpenFile3ds(out.c_str(), "wb");
        WriteChunk3ds(db->top, file->index);
        CloseFile3ds(file);
    }
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (state.range(0) * 10 + 12)));
    zeqbench::RemoveFile(in);
    zeqbench::RemoveFile(out);
}
BENCHMARK(BM_WriteSmallChunks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RawWriteSmallChunks(benchmark::State& state) {
    const std::string out = Path("rawsmallout");
    for (auto _ : state) {
        std::FILE* f = zeqbench::OpenForWriting(out);
        char header[6] = {};
        std::fwrite(header, 6, 1, f);
        std::fwrite(header, 6, 1, f);
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            const float v = static_cast<float>(i);
            std::fwrite(header, 6, 1, f);
            std::fwrite(&v, 4, 1, f);
        }
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (state.range(0) * 10 + 12)));
    zeqbench::RemoveFile(out);
}
BENCHMARK(BM_RawWriteSmallChunks)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A mesh file of about `megabytes` MB: objects of 65,535 vertices and 21,845 faces.
std::string BigMeshFile(int megabytes) {
    std::string section;
    const std::string vertices = ArrayFile(0x4110, 65535, 12).substr(6);
    const std::string faces = ArrayFile(0x4120, 21845, 8).substr(6);
    for (int i = 0; section.size() < static_cast<std::size_t>(megabytes) << 20; ++i) {
        const std::string name = "Obj" + std::to_string(i);
        section += Chunk(0x4000, name + std::string(1, '\0') + Chunk(0x4100, vertices + faces));
    }
    return Chunk(0x4D4D, Chunk(0x3D3D, section));
}

void BM_ReadHeadersBigFile(benchmark::State& state) {
    const std::string path = Path("big");
    const std::string bytes = BigMeshFile(static_cast<int>(state.range(0)));
    WriteBytes(path, bytes);
    for (auto _ : state) {
        database3ds* db = nullptr;
        InitDatabase3ds(&db);
        CreateDatabase3ds(OpenFile3ds(path.c_str(), "rb"), db);
        benchmark::DoNotOptimize(db->top);
        ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_ReadHeadersBigFile)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_RawFreadBigFile(benchmark::State& state) {
    const std::string path = Path("rawbig");
    const std::string bytes = BigMeshFile(static_cast<int>(state.range(0)));
    WriteBytes(path, bytes);
    std::vector<char> buffer(bytes.size());
    for (auto _ : state) {
        std::FILE* f = zeqbench::OpenForReading(path);
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_RawFreadBigFile)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
