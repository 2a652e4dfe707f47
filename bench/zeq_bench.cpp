// The field file against raw stdio of the same bytes, measured in the same run so
// every line carries its ratio. The files are in the program's scratch folder in $TMPDIR
// (tmpfs or disk).
//   BM_Mesh<Write|Read>/<encoding>/n: 3n doubles and 4n ints as typed arrays
//   (n = 10^6 is the 40 MB record).
//   BM_Keys<Write|Read>/<encoding>/n: n curve keys written and read value by value
//   (time, value, two letters, two tangents), as curves store themselves.
// Counters: ratio = min time of the field file / min time of raw fwrite or fread
// (per iteration both run); ratio_sync on writes is against fwrite + fsync, since
// the field file syncs what it closes.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/benchscratch.h"
#include "fileio/kzeq.h"

using namespace zeqsdk_400;

namespace {

enum Kind { kBinary, kEncrypted, kPassword, kAscii };
const char* const kKindNames[] = {"binary", "encrypted", "password", "ascii"};

struct Mesh {
    std::vector<double> mVertices;
    std::vector<int> mIndices;
    explicit Mesh(std::size_t n) : mVertices(3 * n), mIndices(4 * n) {
        for (std::size_t i = 0; i < mVertices.size(); ++i) mVertices[i] = static_cast<double>(i) * 0.001 - 17.25;
        for (std::size_t i = 0; i < mIndices.size(); ++i) mIndices[i] = static_cast<int>((i * 7) % n);
    }
};

struct Keys {
    std::vector<kLongLong> mTimes;
    std::vector<double> mValues;
    std::vector<double> mTangents;  // two per key
    std::vector<char> mLetters;     // two per key
    explicit Keys(std::size_t n) : mTimes(n), mValues(n), mTangents(2 * n), mLetters(2 * n) {
        for (std::size_t i = 0; i < n; ++i) {
            mTimes[i] = static_cast<kLongLong>(i) * 1539538600LL;
            mValues[i] = static_cast<double>(i % 1000) * 0.37;
            mTangents[2 * i] = 0.25;
            mTangents[2 * i + 1] = -0.5;
            mLetters[2 * i] = 'U';
            mLetters[2 * i + 1] = 's';
        }
    }
};

std::string TempFile(const char* name) { return zeqbench::ScratchPath(name); }

template <class T>
void Put(std::FILE* f, const std::vector<T>& v) {
    if (std::fwrite(v.data(), sizeof(T), v.size(), f) != v.size()) std::abort();
}
template <class T>
void Get(std::FILE* f, std::vector<T>& v) {
    if (std::fread(v.data(), sizeof(T), v.size(), f) != v.size()) std::abort();
}

// Raw I/O of the arrays of a record, optionally synced like a closed field file.
template <class... V>
void RawWrite(const std::string& path, bool sync, const V&... arrays) {
    std::FILE* f = zeqbench::OpenForWriting(path);
    (Put(f, arrays), ...);
    std::fflush(f);
    if (sync) ::fsync(::fileno(f));
    std::fclose(f);
}
template <class... V>
void RawRead(const std::string& path, V&... arrays) {
    std::FILE* f = zeqbench::OpenForReading(path);
    (Get(f, arrays), ...);
    std::fclose(f);
}

void Create(KZeq& z, const std::string& path, Kind kind) {
    if (!z.ProjectCreate(path.c_str(), kind != kAscii, kind == kEncrypted || kind == kPassword)) std::abort();
    if (kind == kPassword) z.ProjectSetPassword("bench password");
}

void Open(KZeq& z, const std::string& path, Kind kind) {
    if (!z.ProjectOpen(path.c_str(), true, true)) std::abort();
    if (kind == kPassword && !z.CheckPassword("bench password")) std::abort();
}

void MeshWrite(const std::string& path, const Mesh& m, Kind kind) {
    KZeq z;
    Create(z, path, kind);
    z.FieldWriteBegin("Vertices");
    z.FieldWriteDn(m.mVertices.data(), static_cast<int>(m.mVertices.size()));
    z.FieldWriteBegin("PolygonVertexIndex");
    z.FieldWriteIn(m.mIndices.data(), static_cast<int>(m.mIndices.size()));
    if (!z.ProjectClose()) std::abort();
}

void MeshRead(const std::string& path, Mesh& m, Kind kind) {
    KZeq z;
    Open(z, path, kind);
    const int nv = static_cast<int>(m.mVertices.size());
    const int ni = static_cast<int>(m.mIndices.size());
    if (!z.FieldReadBegin("Vertices") || z.FieldReadDn(m.mVertices.data(), nv) != nv) std::abort();
    if (!z.FieldReadBegin("PolygonVertexIndex") || z.FieldReadIn(m.mIndices.data(), ni) != ni) std::abort();
    z.ProjectClose();
}

void KeysWrite(const std::string& path, const Keys& k, Kind kind) {
    KZeq z;
    Create(z, path, kind);
    z.FieldWriteBegin("Key");
    for (std::size_t i = 0; i < k.mTimes.size(); ++i) {
        z.FieldWriteT(KTime(k.mTimes[i]));
        z.FieldWriteD(k.mValues[i]);
        z.FieldWriteCH(k.mLetters[2 * i]);
        z.FieldWriteCH(k.mLetters[2 * i + 1]);
        z.FieldWriteD(k.mTangents[2 * i]);
        z.FieldWriteD(k.mTangents[2 * i + 1]);
    }
    if (!z.ProjectClose()) std::abort();
}

void KeysRead(const std::string& path, Keys& k, Kind kind) {
    KZeq z;
    Open(z, path, kind);
    if (!z.FieldReadBegin("Key")) std::abort();
    for (std::size_t i = 0; i < k.mTimes.size(); ++i) {
        k.mTimes[i] = z.FieldReadT().Get();
        k.mValues[i] = z.FieldReadD();
        k.mLetters[2 * i] = z.FieldReadCH();
        k.mLetters[2 * i + 1] = z.FieldReadCH();
        k.mTangents[2 * i] = z.FieldReadD();
        k.mTangents[2 * i + 1] = z.FieldReadD();
    }
    z.ProjectClose();
}

double Seconds(const std::function<void()>& body) {
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration times the raw baseline(s) and the field file; the iteration's
// time is the field file's.
void Measure(benchmark::State& state, std::size_t bytes, const std::function<void()>& zeq,
             const std::function<void()>& raw, const std::function<void()>& rawSync) {
    double best = 1e30, bestRaw = 1e30, bestSync = 1e30;
    for (auto _ : state) {
        bestRaw = std::min(bestRaw, Seconds(raw));
        if (rawSync) bestSync = std::min(bestSync, Seconds(rawSync));
        const double t = Seconds(zeq);
        best = std::min(best, t);
        state.SetIterationTime(t);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["ratio"] = best / bestRaw;
    state.counters["raw_ms"] = bestRaw * 1e3;
    if (rawSync) state.counters["ratio_sync"] = best / bestSync;
}

void BM_MeshWrite(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const Mesh m(static_cast<std::size_t>(state.range(1)));
    const std::string path = TempFile("mesh.zeq"), rawPath = TempFile("mesh.raw");
    Measure(
        state, m.mVertices.size() * 8 + m.mIndices.size() * 4, [&] { MeshWrite(path, m, kind); },
        [&] { RawWrite(rawPath, false, m.mVertices, m.mIndices); },
        [&] { RawWrite(rawPath, true, m.mVertices, m.mIndices); });
    state.SetLabel(kKindNames[kind]);
    zeqbench::RemoveFile(path);
    zeqbench::RemoveFile(rawPath);
}

void BM_MeshRead(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    Mesh m(static_cast<std::size_t>(state.range(1)));
    const std::string path = TempFile("mesh.zeq"), rawPath = TempFile("mesh.raw");
    MeshWrite(path, m, kind);
    RawWrite(rawPath, false, m.mVertices, m.mIndices);
    Measure(
        state, m.mVertices.size() * 8 + m.mIndices.size() * 4, [&] { MeshRead(path, m, kind); },
        [&] { RawRead(rawPath, m.mVertices, m.mIndices); }, nullptr);
    state.SetLabel(kKindNames[kind]);
    zeqbench::RemoveFile(path);
    zeqbench::RemoveFile(rawPath);
}

std::size_t KeyBytes(const Keys& k) { return k.mTimes.size() * 8 + k.mValues.size() * 8 + k.mTangents.size() * 8 + k.mLetters.size(); }

void BM_KeysWrite(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const Keys k(static_cast<std::size_t>(state.range(1)));
    const std::string path = TempFile("keys.zeq"), rawPath = TempFile("keys.raw");
    Measure(
        state, KeyBytes(k), [&] { KeysWrite(path, k, kind); },
        [&] { RawWrite(rawPath, false, k.mTimes, k.mValues, k.mTangents, k.mLetters); },
        [&] { RawWrite(rawPath, true, k.mTimes, k.mValues, k.mTangents, k.mLetters); });
    state.SetLabel(kKindNames[kind]);
    zeqbench::RemoveFile(path);
    zeqbench::RemoveFile(rawPath);
}

void BM_KeysRead(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    Keys k(static_cast<std::size_t>(state.range(1)));
    const std::string path = TempFile("keys.zeq"), rawPath = TempFile("keys.raw");
    KeysWrite(path, k, kind);
    RawWrite(rawPath, false, k.mTimes, k.mValues, k.mTangents, k.mLetters);
    Measure(
        state, KeyBytes(k), [&] { KeysRead(path, k, kind); },
        [&] { RawRead(rawPath, k.mTimes, k.mValues, k.mTangents, k.mLetters); }, nullptr);
    state.SetLabel(kKindNames[kind]);
    zeqbench::RemoveFile(path);
    zeqbench::RemoveFile(rawPath);
}

#define ZEQ_SIZES                                                                                          \
    ->ArgsProduct({{kBinary, kEncrypted, kPassword, kAscii}, {10000, 1000000}})->ArgNames({"kind", "n"}) \
        ->Unit(benchmark::kMillisecond)                                                                    \
        ->UseManualTime()
BENCHMARK(BM_MeshWrite) ZEQ_SIZES;
BENCHMARK(BM_MeshRead) ZEQ_SIZES;
BENCHMARK(BM_KeysWrite) ZEQ_SIZES;
BENCHMARK(BM_KeysRead) ZEQ_SIZES;

}  // namespace
