#include <benchmark/benchmark.h>

#include <cmath>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeysync.h"

using namespace zeqsdk_400;

namespace {

// One key per frame at 30 frames per second.
constexpr kLongLong kFrame = 1539538600LL;

// Keys on every other frame, starting at frame offset: two curves filled with
// offsets 0 and 1 have no key time in common.
void Fill(KFCurve& curve, int keys, int offset) {
    curve.KeyModifyBegin();
    for (int i = 0; i < keys; ++i)
        curve.KeyAppendFast(KTime((2LL * i + offset) * kFrame), std::sin(0.01f * static_cast<float>(i)));
    curve.KeyModifyEnd();
}

// Key sync of three curves whose keys interleave: every key of each curve is
// inserted into the two others (size = keys per curve).
void BM_KeySyncInterleaved(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        KFCurve a, b, c;
        Fill(a, keys, 0);
        Fill(b, keys, 1);
        Fill(c, keys, 0);
        KFCurve* curves[] = {&a, &b, &c};
        KFCurveFilterKeySync filter;
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter.Apply(curves, 3));
        state.PauseTiming();
        if (a.KeyGetCount() != 2 * keys) state.SkipWithError("keys not synchronised");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * keys * 2);
}
BENCHMARK(BM_KeySyncInterleaved)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond);

// Key sync of three curves that are already synchronised: the pass only visits.
void BM_KeySyncAligned(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve a, b, c;
    Fill(a, keys, 0);
    Fill(b, keys, 0);
    Fill(c, keys, 0);
    KFCurve* curves[] = {&a, &b, &c};
    KFCurveFilterKeySync filter;
    for (auto _ : state) benchmark::DoNotOptimize(filter.Apply(curves, 3));
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_KeySyncAligned)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond);

}  // namespace
