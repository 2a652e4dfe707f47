#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <random>
#include <vector>

#include "bench/benchscratch.h"
#include "fcurve/kfcurve.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"

using namespace zeqsdk_400;

namespace {

// One key per frame at 30 frames per second.
constexpr kLongLong kFrame = 1539538600LL;

std::vector<KTime> RandomTimes(int n, unsigned seed) {
    std::mt19937_64 random(seed);
    std::vector<KTime> times;
    times.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) times.emplace_back(static_cast<kLongLong>(random() % (kFrame * 1000000)));
    return times;
}

void BM_KeyAppendFast(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KFCurve curve;
        for (int i = 0; i < n; ++i) curve.KeyAppendFast(KTime(i * kFrame), static_cast<float>(i));
        benchmark::DoNotOptimize(curve.KeyGetPtr(n - 1));
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_KeyAppendFast)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Insertion at random times: each key shifts the keys after it.
void BM_KeyAddRandom(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<KTime> times = RandomTimes(n, 42);
    for (auto _ : state) {
        KFCurve curve;
        KFCurveKey key{};
        key.Set(KTime(0), 1.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0, 0, KFCURVE_WEIGHTED_NONE,
                KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
        for (const KTime& t : times) curve.KeyAdd(t, key);
        benchmark::DoNotOptimize(curve.KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_KeyAddRandom)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

KFCurve* MakeCurve(int n) {
    KFCurve* curve = KFCurveCreate();
    for (int i = 0; i < n; ++i) curve->KeyAppendFast(KTime(i * kFrame), static_cast<float>(i));
    return curve;
}

// Searches at random times: the hint rarely helps.
void BM_KeyFindRandom(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCurve(n);
    std::mt19937_64 random(7);
    std::vector<KTime> queries;
    for (int i = 0; i < 4096; ++i) queries.emplace_back(static_cast<kLongLong>(random() % (kFrame * n)));
    std::size_t q = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve->KeyFind(queries[q]));
        q = (q + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
    curve->Destroy();
}
BENCHMARK(BM_KeyFindRandom)->Arg(1000)->Arg(100000);

// Searches at increasing times, as playback does: the hint walks a key or two.
void BM_KeyFindSequential(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCurve(n);
    const kLongLong step = kFrame / 3;
    kLongLong t = 0;
    int hint = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(curve->KeyFind(KTime(t), &hint));
        t += step;
        if (t >= kFrame * n) t = 0;
    }
    state.SetItemsProcessed(state.iterations());
    curve->Destroy();
}
BENCHMARK(BM_KeyFindSequential)->Arg(100000);

// ---- Evaluation ----------------------------------------------------------------

constexpr int kSamples = 1000000;

// A cubic curve of n keys with varied values; user tangents when asked,
// else auto tangents (what plotting and readers produce).
KFCurve* MakeCubicCurve(int n, bool user) {
    KFCurve* curve = KFCurveCreate();
    std::mt19937 random(5);
    for (int i = 0; i < n; ++i) {
        const float value = static_cast<float>(random() % 1000) * 0.01f;
        if (user) {
            KFCurveKey key{};
            key.Set(KTime(0), value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER,
                    static_cast<float>(random() % 7) - 3.0f, static_cast<float>(random() % 7) - 3.0f,
                    KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            curve->KeyAdd(KTime(i * kFrame), key);
        } else {
            curve->KeyAppendFast(KTime(i * kFrame), value);
        }
    }
    return curve;
}

// Baselines in the same run, so that every run prints the ratio: the plain
// loop an application would write over flat arrays of the same keys (cursor,
// one division, Bezier handles at one third), and a branch-free binary search
// over a flat array of the key times.
struct FlatKeys {
    std::vector<kLongLong> times;
    std::vector<float> values, right, left;
    explicit FlatKeys(KFCurve& curve) {
        for (int i = 0; i < curve.KeyGetCount(); ++i) {
            times.push_back(curve.KeyGetPtr(i)->GetTime().Get());
            values.push_back(curve.KeyGetPtr(i)->GetValue());
            right.push_back(curve.KeyGetRightDerivative(i));
            left.push_back(curve.KeyGetLeftDerivative(i));
        }
    }
    float Segment(std::size_t i, kLongLong t) const {
        const double span = static_cast<double>(times[i + 1] - times[i]);
        const float u = static_cast<float>(static_cast<double>(t - times[i]) / span);
        const float third = static_cast<float>(span / (3.0 * KTime::kTicksPerSecond));
        const float p0 = values[i], p3 = values[i + 1];
        const float p1 = p0 + right[i] * third, p2 = p3 - left[i + 1] * third;
        const float a = p0 + (p1 - p0) * u, b = p1 + (p2 - p1) * u, c = p2 + (p3 - p2) * u;
        const float d = a + (b - a) * u, e = b + (c - b) * u;
        return d + (e - d) * u;
    }
    float SortedLoop(const std::vector<KTime>& samples) const {
        float sum = 0.0f;
        std::size_t i = 0;
        for (const KTime& time : samples) {
            const kLongLong t = time.Get();
            while (i + 2 < times.size() && times[i + 1] <= t) ++i;
            sum += Segment(i, t);
        }
        return sum;
    }
    std::size_t Search(kLongLong t) const {
        const kLongLong* base = times.data();
        std::size_t length = times.size();
        while (length > 1) {
            const std::size_t half = length / 2;
            base = base[half] <= t ? base + half : base;
            length -= half;
        }
        return static_cast<std::size_t>(base - times.data());
    }
    std::size_t RandomSearches(const std::vector<KTime>& samples) const {
        std::size_t sum = 0;
        for (const KTime& time : samples) sum += Search(time.Get());
        return sum;
    }
};

// Nanoseconds per sample of fn over count samples, the best of three runs.
template <class Fn>
double NsPerSample(Fn fn, std::size_t count) {
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(fn());
        const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count() / static_cast<double>(count));
    }
    return best;
}

// Runs the timed loop, then prints ns per sample of the curve and of the
// baseline and their ratio.
template <class Curve, class Baseline>
void RunAgainst(benchmark::State& state, Curve curveRun, Baseline baselineRun, std::size_t samples) {
    double best = 1e300;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(curveRun());
        const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count() / static_cast<double>(samples));
    }
    const double baseline = NsPerSample(baselineRun, samples);
    state.SetItemsProcessed(state.iterations() * static_cast<kLongLong>(samples));
    state.counters["ns_per_sample"] = best;
    state.counters["baseline_ns"] = baseline;
    state.counters["ratio"] = best / baseline;
}

// 10^6 evaluations per iteration at increasing times over the whole curve, as
// a sampler or exporter runs, with the caller's hint; against the plain loop.
void EvaluateSorted(benchmark::State& state, bool user) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, user);
    std::vector<KTime> times;
    times.reserve(kSamples);
    const kLongLong end = kFrame * (n - 1);
    for (int k = 0; k < kSamples; ++k) times.emplace_back(end / kSamples * k);
    const FlatKeys flat(*curve);
    RunAgainst(
        state,
        [&] {
            int hint = 0;
            float sum = 0.0f;
            for (const KTime& t : times) sum += curve->Evaluate(t, &hint);
            return sum;
        },
        [&] { return flat.SortedLoop(times); }, kSamples);
    curve->Destroy();
}

// Evaluations at random times; against the branch-free search alone.
void EvaluateRandom(benchmark::State& state, bool user) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, user);
    std::mt19937_64 random(9);
    std::vector<KTime> times;
    times.reserve(kSamples);
    for (int k = 0; k < kSamples; ++k) times.emplace_back(static_cast<kLongLong>(random() % (kFrame * (n - 1))));
    const FlatKeys flat(*curve);
    RunAgainst(
        state,
        [&] {
            float sum = 0.0f;
            for (const KTime& t : times) sum += curve->Evaluate(t);
            return sum;
        },
        [&] { return flat.RandomSearches(times); }, kSamples);
    // The least any evaluation does at a random time: the search, then the
    // segment's keys (and their outer neighbours) read from the curve's memory.
    state.counters["search_and_keys_ns"] = NsPerSample(
        [&] {
            float sum = 0.0f;
            for (const KTime& t : times) {
                const int i = static_cast<int>(flat.Search(t.Get()));
                sum += curve->KeyGetPtr(i)->GetValue() + curve->KeyGetPtr(std::min(i + 1, n - 1))->GetValue();
                if (!user)
                    sum += curve->KeyGetPtr(std::max(i - 1, 0))->GetValue() +
                           curve->KeyGetPtr(std::min(i + 2, n - 1))->GetValue();
            }
            return sum;
        },
        kSamples);
    curve->Destroy();
}

// Evaluation while every key is edited through its pointer between passes:
// what the byte comparison of the segment memo costs when it never holds.
void BM_EvaluateSortedEdited(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, true);
    const kLongLong end = kFrame * (n - 1);
    for (auto _ : state) {
        int hint = 0;
        float sum = 0.0f;
        for (int k = 0; k < kSamples; ++k) {
            KFCurveKey* key = curve->KeyGetPtr(hint);
            key->SetValue(key->GetValue() + 1e-3f);
            sum += curve->Evaluate(KTime(end / kSamples * k), &hint);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    curve->Destroy();
}

void BM_EvaluateSortedAuto(benchmark::State& state) { EvaluateSorted(state, false); }
void BM_EvaluateSortedUser(benchmark::State& state) { EvaluateSorted(state, true); }
void BM_EvaluateRandomAuto(benchmark::State& state) { EvaluateRandom(state, false); }
void BM_EvaluateRandomUser(benchmark::State& state) { EvaluateRandom(state, true); }
BENCHMARK(BM_EvaluateSortedAuto)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateSortedUser)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateRandomAuto)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateRandomUser)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateSortedEdited)->Arg(10000)->Unit(benchmark::kMillisecond);

// ---- Curve-wide tangent mode changes --------------------------------------------

// Every key of an n-key cubic curve switched between user and auto tangents,
// keeping the curve's shape: one call per iteration, alternating the mode.
void BM_TangeantSetMode(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, true);
    bool toAuto = true;
    for (auto _ : state) {
        curve->KeyTangeantSetMode(false, toAuto ? KFCURVE_TANGEANT_AUTO : KFCURVE_TANGEANT_USER);
        toAuto = !toAuto;
    }
    state.SetItemsProcessed(state.iterations() * n);
    curve->Destroy();
}
BENCHMARK(BM_TangeantSetMode)->Arg(100000)->Unit(benchmark::kMillisecond);

// ---- Storage in a binary field file ------------------------------------------------

// Files go to the program's scratch folder in $TMPDIR (tmpfs or disk), else /tmp. Each iteration writes (or
// reads) the curve, then the raw key bytes with fwrite (fread); the counters
// give the best time of each and their ratio. Beside them: the raw write
// synced as closing the field file syncs it, and the floor, what any write
// (read) of the stored file does: its bytes written (read) a chunk at a time,
// each checksummed.
std::string TempPath(const char* name) { return zeqbench::ScratchPath(name); }

std::vector<KFCurveKey> KeyBytes(KFCurve& curve) {
    std::vector<KFCurveKey> keys;
    for (int i = 0; i < curve.KeyGetCount(); ++i) keys.push_back(*curve.KeyGetPtr(i));
    return keys;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void StoreCurveFile(KFCurve& curve, const std::string& path) {
    KZeq file;
    file.ProjectCreate(path.c_str(), true, false);
    curve.ZeqStore(&file, false, true);
    file.ProjectClose();
}

constexpr std::size_t kChunk = std::size_t(1) << 20;

// Seconds to write bytes with fwrite, synced when asked, a chunk at a time
// and checksummed when asked.
double RawWrite(const std::string& path, const void* data, std::size_t size, bool sync, bool chunked) {
    const auto start = std::chrono::steady_clock::now();
    std::FILE* f = zeqbench::OpenForWriting(path);
    if (!f) std::abort();
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint32_t crc = 0;
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = chunked ? std::min(kChunk, size - done) : size - done;
        if (chunked) crc = zeqdetail::Crc32(crc, bytes + done, n);
        if (std::fwrite(bytes + done, 1, n, f) != n) std::abort();
        done += n;
    }
    if (sync && (std::fflush(f) != 0 || ::fsync(::fileno(f)) != 0)) std::abort();
    std::fclose(f);
    benchmark::DoNotOptimize(crc);
    return Seconds(start);
}

// Seconds to read the file at path a chunk at a time, each checksummed.
double ChunkedRead(const std::string& path, std::vector<unsigned char>& chunk) {
    const auto start = std::chrono::steady_clock::now();
    std::FILE* f = zeqbench::OpenForReading(path);
    if (!f) std::abort();
    chunk.resize(kChunk);
    std::uint32_t crc = 0;
    for (std::size_t n; (n = std::fread(chunk.data(), 1, kChunk, f)) > 0;) crc = zeqdetail::Crc32(crc, chunk.data(), n);
    std::fclose(f);
    benchmark::DoNotOptimize(crc);
    return Seconds(start);
}

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::FILE* f = zeqbench::OpenForReading(path);
    if (!f) std::abort();
    unsigned char buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

void BM_StoreBinary(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, true);
    const std::vector<KFCurveKey> keys = KeyBytes(*curve);
    // Each written over its own file of the iteration before, as the store
    // replaces its file.
    const std::string path = TempPath("store.zeq"), raw = TempPath("store.raw"), synced = TempPath("store.sync"),
                      floor = TempPath("store.floor");
    StoreCurveFile(*curve, path);
    const std::vector<unsigned char> stored = FileBytes(path);
    const std::size_t keyBytes = keys.size() * sizeof(KFCurveKey);
    double best = 1e300, bestRaw = 1e300, bestSynced = 1e300, bestFloor = 1e300;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        StoreCurveFile(*curve, path);
        best = std::min(best, Seconds(start));
        bestRaw = std::min(bestRaw, RawWrite(raw, keys.data(), keyBytes, false, false));
        bestSynced = std::min(bestSynced, RawWrite(synced, keys.data(), keyBytes, true, false));
        bestFloor = std::min(bestFloor, RawWrite(floor, stored.data(), stored.size(), true, true));
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["ms"] = best * 1e3;
    state.counters["raw_ms"] = bestRaw * 1e3;
    state.counters["raw_sync_ms"] = bestSynced * 1e3;
    state.counters["floor_ms"] = bestFloor * 1e3;
    state.counters["ratio"] = best / bestRaw;
    state.counters["ratio_sync"] = best / bestSynced;
    for (const std::string& file : {path, raw, synced, floor}) zeqbench::RemoveFile(file);
    curve->Destroy();
}
BENCHMARK(BM_StoreBinary)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RetrieveBinary(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, true);
    std::vector<KFCurveKey> keys = KeyBytes(*curve);
    const std::string path = TempPath("retrieve.zeq"), raw = TempPath("retrieve.raw");
    StoreCurveFile(*curve, path);
    RawWrite(raw, keys.data(), keys.size() * sizeof(KFCurveKey), false, false);
    std::vector<unsigned char> chunk;
    double best = 1e300, bestRaw = 1e300, bestFloor = 1e300, bestKeys = 1e300;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        {
            KZeq file;
            file.ProjectOpen(path.c_str(), true, true);
            KFCurve read;
            read.ZeqRetrieve(&file, false, true);
            if (read.KeyGetCount() != n) std::abort();
            file.ProjectClose();
        }
        best = std::min(best, Seconds(start));
        start = std::chrono::steady_clock::now();
        std::vector<KFCurveKey> back(keys.size());
        std::FILE* f = zeqbench::OpenForReading(raw);
        if (!f || std::fread(back.data(), sizeof(KFCurveKey), back.size(), f) != back.size()) std::abort();
        std::fclose(f);
        benchmark::DoNotOptimize(back.data());
        bestRaw = std::min(bestRaw, Seconds(start));
        bestFloor = std::min(bestFloor, ChunkedRead(path, chunk));
        // The least a reader spends on the keys themselves: room for them in a
        // curve and each copied into place.
        start = std::chrono::steady_clock::now();
        {
            KFCurve filled;
            filled.KeyModifyBegin(n);
            for (int i = 0; i < n; ++i) *filled.KeyGetPtr(i) = keys[static_cast<std::size_t>(i)];
            filled.KeyModifyEnd(n);
            benchmark::DoNotOptimize(filled.KeyGetPtr(n - 1));
        }
        bestKeys = std::min(bestKeys, Seconds(start));
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["ms"] = best * 1e3;
    state.counters["raw_ms"] = bestRaw * 1e3;
    state.counters["floor_ms"] = bestFloor * 1e3;
    state.counters["keys_ms"] = bestKeys * 1e3;
    state.counters["ratio"] = best / bestRaw;
    zeqbench::RemoveFile(path);
    zeqbench::RemoveFile(raw);
    curve->Destroy();
}
BENCHMARK(BM_RetrieveBinary)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
