#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

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

// 10^6 evaluations per iteration at increasing times over the whole curve, as
// a sampler or exporter runs, with the caller's hint.
void EvaluateSorted(benchmark::State& state, bool user) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, user);
    std::vector<KTime> times;
    times.reserve(kSamples);
    const kLongLong end = kFrame * (n - 1);
    for (int k = 0; k < kSamples; ++k) times.emplace_back(end / kSamples * k);
    for (auto _ : state) {
        int hint = 0;
        float sum = 0.0f;
        for (const KTime& t : times) sum += curve->Evaluate(t, &hint);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    curve->Destroy();
}

void EvaluateRandom(benchmark::State& state, bool user) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, user);
    std::mt19937_64 random(9);
    std::vector<KTime> times;
    times.reserve(kSamples);
    for (int k = 0; k < kSamples; ++k) times.emplace_back(static_cast<kLongLong>(random() % (kFrame * n)));
    for (auto _ : state) {
        float sum = 0.0f;
        for (const KTime& t : times) sum += curve->Evaluate(t);
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

// Writes an n-key cubic curve into a binary field file in memory.
void StoreCurve(KFCurve& curve, KChainedMemoryFile& stream) {
    KZeq file;
    file.ProjectCreateStream(stream, true, false);
    curve.ZeqStore(&file, false, true);
    file.ProjectClose();
}

void BM_StoreBinary(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, true);
    std::size_t bytes = 0;
    for (auto _ : state) {
        KChainedMemoryFile stream;
        StoreCurve(*curve, stream);
        bytes = stream.GetDataSize();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["file_bytes"] = static_cast<double>(bytes);
    curve->Destroy();
}
BENCHMARK(BM_StoreBinary)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_RetrieveBinary(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KFCurve* curve = MakeCubicCurve(n, true);
    KChainedMemoryFile written;
    StoreCurve(*curve, written);
    for (auto _ : state) {
        KChainedMemoryFile stream(written.GetData(), written.GetDataSize());
        KZeq file;
        file.ProjectOpenStream(stream, true, true);
        KFCurve read;
        read.ZeqRetrieve(&file, false, true);
        benchmark::DoNotOptimize(read.KeyGetCount());
        file.ProjectClose();
    }
    state.SetItemsProcessed(state.iterations() * n);
    curve->Destroy();
}
BENCHMARK(BM_RetrieveBinary)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
