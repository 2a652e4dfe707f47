#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "fcurve/kfcurve.h"

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

}  // namespace
