// Writes and reads back a mesh-like record (3n doubles, 4n ints) and a curve-like
// record of n keys (times, values, two tangents and two letters a key), in each
// encoding, beside raw fwrite/fread of the same arrays. The argument is n.
//   BM_<Kind>Write / BM_<Kind>Read: every record as typed arrays.
//   BM_<Kind>KeysWrite / BM_<Kind>KeysRead: the curve keys alone, written and read
//   value by value as curves store themselves ("Key" record), against raw I/O of
//   the key arrays.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "fileio/kzeq.h"

using namespace zeqsdk_400;

namespace {

struct Scene {
    std::vector<double> mVertices;
    std::vector<int> mIndices;
    std::vector<kLongLong> mTimes;
    std::vector<double> mValues;
    std::vector<double> mTangents;  // two per key
    std::vector<char> mLetters;     // interpolation and tangent letters, two per key

    explicit Scene(std::size_t n)
        : mVertices(3 * n), mIndices(4 * n), mTimes(n), mValues(n), mTangents(2 * n), mLetters(2 * n) {
        for (std::size_t i = 0; i < mVertices.size(); ++i) mVertices[i] = static_cast<double>(i) * 0.001 - 17.25;
        for (std::size_t i = 0; i < mIndices.size(); ++i) mIndices[i] = static_cast<int>((i * 7) % n);
        for (std::size_t i = 0; i < n; ++i) {
            mTimes[i] = static_cast<kLongLong>(i) * 1539538600LL;
            mValues[i] = static_cast<double>(i % 1000) * 0.37;
            mTangents[2 * i] = 0.25;
            mTangents[2 * i + 1] = -0.5;
            mLetters[2 * i] = 'U';
            mLetters[2 * i + 1] = 's';
        }
    }

    std::size_t Bytes() const {
        return mVertices.size() * 8 + mIndices.size() * 4 + mTimes.size() * 8 + mValues.size() * 8 +
               mTangents.size() * 8 + mLetters.size();
    }
};

std::string TempFile(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/zeq-bench-" + std::to_string(::getpid()) + "-" + name;
}

template <class T>
void Put(std::FILE* f, const std::vector<T>& v) {
    std::fwrite(v.data(), sizeof(T), v.size(), f);
}
template <class T>
void Get(std::FILE* f, std::vector<T>& v) {
    if (std::fread(v.data(), sizeof(T), v.size(), f) != v.size()) std::abort();
}

void RawWrite(const std::string& path, const Scene& s) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Put(f, s.mVertices);
    Put(f, s.mIndices);
    Put(f, s.mTimes);
    Put(f, s.mValues);
    Put(f, s.mTangents);
    Put(f, s.mLetters);
    std::fclose(f);
}

void RawRead(const std::string& path, Scene& s) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    Get(f, s.mVertices);
    Get(f, s.mIndices);
    Get(f, s.mTimes);
    Get(f, s.mValues);
    Get(f, s.mTangents);
    Get(f, s.mLetters);
    std::fclose(f);
}

void ZeqWrite(const std::string& path, const Scene& s, bool binary, bool encrypted) {
    KZeq z;
    if (!z.ProjectCreate(path.c_str(), binary, encrypted)) std::abort();
    z.FieldWriteBegin("Vertices");
    z.FieldWriteDn(s.mVertices.data(), static_cast<int>(s.mVertices.size()));
    z.FieldWriteBegin("PolygonVertexIndex");
    z.FieldWriteIn(s.mIndices.data(), static_cast<int>(s.mIndices.size()));
    z.FieldWriteBegin("KeyTime");
    z.FieldWriteLn(s.mTimes.data(), static_cast<int>(s.mTimes.size()));
    z.FieldWriteBegin("KeyValue");
    z.FieldWriteDn(s.mValues.data(), static_cast<int>(s.mValues.size()));
    z.FieldWriteBegin("KeyTangent");
    z.FieldWriteDn(s.mTangents.data(), static_cast<int>(s.mTangents.size()));
    z.FieldWriteBegin("KeyLetters");
    z.FieldWriteC(s.mLetters.data(), s.mLetters.size());
    z.FieldWriteEnd();
    if (!z.ProjectClose()) std::abort();
}

void ZeqRead(const std::string& path, Scene& s) {
    KZeq z;
    if (!z.ProjectOpen(path.c_str(), true, true)) std::abort();
    auto read = [&z](const char* name, auto& values, auto reader) {
        if (!z.FieldReadBegin(name)) std::abort();
        if ((z.*reader)(values.data(), static_cast<int>(values.size())) != static_cast<int>(values.size())) std::abort();
        z.FieldReadEnd();
    };
    using Doubles = int (KZeq::*)(double*, int);
    read("Vertices", s.mVertices, static_cast<Doubles>(&KZeq::FieldReadDn));
    read("PolygonVertexIndex", s.mIndices, &KZeq::FieldReadIn);
    read("KeyTime", s.mTimes, &KZeq::FieldReadLn);
    read("KeyValue", s.mValues, static_cast<Doubles>(&KZeq::FieldReadDn));
    read("KeyTangent", s.mTangents, static_cast<Doubles>(&KZeq::FieldReadDn));
    if (!z.FieldReadBegin("KeyLetters")) std::abort();
    const KString letters = z.FieldReadC();
    if (letters.GetLen() != s.mLetters.size()) std::abort();
    std::memcpy(s.mLetters.data(), letters.Buffer(), letters.GetLen());
    z.ProjectClose();
}

void RawKeysWrite(const std::string& path, const Scene& s) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Put(f, s.mTimes);
    Put(f, s.mValues);
    Put(f, s.mTangents);
    Put(f, s.mLetters);
    std::fclose(f);
}

void RawKeysRead(const std::string& path, Scene& s) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    Get(f, s.mTimes);
    Get(f, s.mValues);
    Get(f, s.mTangents);
    Get(f, s.mLetters);
    std::fclose(f);
}

void ZeqKeysWrite(const std::string& path, const Scene& s, bool binary, bool encrypted) {
    KZeq z;
    if (!z.ProjectCreate(path.c_str(), binary, encrypted)) std::abort();
    z.FieldWriteBegin("Key");
    for (std::size_t i = 0; i < s.mTimes.size(); ++i) {
        z.FieldWriteT(KTime(s.mTimes[i]));
        z.FieldWriteD(s.mValues[i]);
        z.FieldWriteCH(s.mLetters[2 * i]);
        z.FieldWriteCH(s.mLetters[2 * i + 1]);
        z.FieldWriteD(s.mTangents[2 * i]);
        z.FieldWriteD(s.mTangents[2 * i + 1]);
    }
    z.FieldWriteEnd();
    if (!z.ProjectClose()) std::abort();
}

void ZeqKeysRead(const std::string& path, Scene& s) {
    KZeq z;
    if (!z.ProjectOpen(path.c_str(), true, true)) std::abort();
    if (!z.FieldReadBegin("Key")) std::abort();
    for (std::size_t i = 0; i < s.mTimes.size(); ++i) {
        s.mTimes[i] = z.FieldReadT().Get();
        s.mValues[i] = z.FieldReadD();
        s.mLetters[2 * i] = z.FieldReadCH();
        s.mLetters[2 * i + 1] = z.FieldReadCH();
        s.mTangents[2 * i] = z.FieldReadD();
        s.mTangents[2 * i + 1] = z.FieldReadD();
    }
    z.FieldReadEnd();
    z.ProjectClose();
}

std::size_t KeyBytes(const Scene& s) {
    return s.mTimes.size() * 8 + s.mValues.size() * 8 + s.mTangents.size() * 8 + s.mLetters.size();
}

enum Kind { kRaw, kBinary, kEncrypted, kAscii };

void WriteFile(const std::string& path, const Scene& scene, Kind kind, bool keys) {
    if (kind == kRaw) {
        keys ? RawKeysWrite(path, scene) : RawWrite(path, scene);
    } else if (keys) {
        ZeqKeysWrite(path, scene, kind != kAscii, kind == kEncrypted);
    } else {
        ZeqWrite(path, scene, kind != kAscii, kind == kEncrypted);
    }
}

void Write(benchmark::State& state, Kind kind, bool keys) {
    const Scene scene(static_cast<std::size_t>(state.range(0)));
    const std::string path = TempFile("write.zeq");
    for (auto _ : state) WriteFile(path, scene, kind, keys);
    const std::size_t bytes = keys ? KeyBytes(scene) : scene.Bytes();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    std::remove(path.c_str());
}

void Read(benchmark::State& state, Kind kind, bool keys) {
    Scene scene(static_cast<std::size_t>(state.range(0)));
    const std::string path = TempFile("read.zeq");
    WriteFile(path, scene, kind, keys);
    for (auto _ : state) {
        if (kind == kRaw) {
            keys ? RawKeysRead(path, scene) : RawRead(path, scene);
        } else {
            keys ? ZeqKeysRead(path, scene) : ZeqRead(path, scene);
        }
        benchmark::DoNotOptimize(scene.mVertices.data());
    }
    const std::size_t bytes = keys ? KeyBytes(scene) : scene.Bytes();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    std::remove(path.c_str());
}

#define ZEQ_CASES(Kind, kind)                                                          \
    void BM_##Kind##Write(benchmark::State& state) { Write(state, kind, false); }     \
    void BM_##Kind##Read(benchmark::State& state) { Read(state, kind, false); }       \
    void BM_##Kind##KeysWrite(benchmark::State& state) { Write(state, kind, true); }  \
    void BM_##Kind##KeysRead(benchmark::State& state) { Read(state, kind, true); }    \
    BENCHMARK(BM_##Kind##Write) ZEQ_SIZES;                                            \
    BENCHMARK(BM_##Kind##Read) ZEQ_SIZES;                                             \
    BENCHMARK(BM_##Kind##KeysWrite) ZEQ_SIZES;                                        \
    BENCHMARK(BM_##Kind##KeysRead) ZEQ_SIZES;

#define ZEQ_SIZES ->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()
ZEQ_CASES(Raw, kRaw)
ZEQ_CASES(Binary, kBinary)
ZEQ_CASES(Encrypted, kEncrypted)
ZEQ_CASES(Ascii, kAscii)

}  // namespace
