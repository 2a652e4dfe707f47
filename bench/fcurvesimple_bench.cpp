#include <benchmark/benchmark.h>

#include <cmath>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvefilterresample.h"
#include "fcurve/kfcurvefiltertimeshift.h"
#include "fcurve/kfcurveutils.h"

using namespace zeqsdk_400;

namespace {

// One key per frame at 30 frames per second.
constexpr kLongLong kFrame = 1539538600LL;

// keys flat user keys; every run of `run` keys shares one value (run 1: a
// sine, no two neighbours alike).
void Fill(KFCurve& curve, int keys, int run) {
    curve.KeyModifyBegin();
    for (int i = 0; i < keys; ++i) {
        const float value = run > 1 ? static_cast<float>(i / run) : std::sin(0.01f * static_cast<float>(i));
        const int index = curve.KeyAppendFast(KTime(i * kFrame), value);
        KFCurveKey* key = curve.KeyGetPtr(index);
        key->Set(KTime(i * kFrame), value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, 0.0f, 0.0f,
                 KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    }
    curve.KeyModifyEnd();
}

// A curve of runs of five equal keys: a fifth of the keys are runs, three
// fifths of the keys go (size = keys).
void BM_ConstantKeyReducerRuns(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve source;
    Fill(source, keys, 5);
    for (auto _ : state) {
        state.PauseTiming();
        KFCurve curve;
        curve.CopyFrom(source, true);
        KFCurveFilterConstantKeyReducer filter;
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter.Apply(curve));
        state.PauseTiming();
        if (curve.KeyGetCount() != keys / 5 * 2) state.SkipWithError("wrong key count");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_ConstantKeyReducerRuns)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

// The same reduction as one range deletion per run, each shifting every key
// after it: the cost the filter avoids.
void BM_ConstantRunsDeletedOneRunAtATime(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve source;
    Fill(source, keys, 5);
    for (auto _ : state) {
        state.PauseTiming();
        KFCurve curve;
        curve.CopyFrom(source, true);
        state.ResumeTiming();
        for (int last = keys / 5 * 5 - 1; last > 0; last -= 5) curve.Delete(last - 3, last - 1);
        state.PauseTiming();
        if (curve.KeyGetCount() != keys / 5 * 2) state.SkipWithError("wrong key count");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_ConstantRunsDeletedOneRunAtATime)
    ->RangeMultiplier(10)
    ->Range(10000, 100000)
    ->Unit(benchmark::kMillisecond);

// A curve with no flat run: the search alone.
void BM_ConstantKeyReducerNothingToRemove(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve curve;
    Fill(curve, keys, 1);
    KFCurveFilterConstantKeyReducer filter;
    for (auto _ : state) benchmark::DoNotOptimize(filter.Apply(curve));
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_ConstantKeyReducerNothingToRemove)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->Unit(benchmark::kMillisecond);

// Resampling the middle half of a curve at twice its key rate (size = keys).
void BM_ResampleFilterMiddle(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve source;
    Fill(source, keys, 1);
    for (auto _ : state) {
        state.PauseTiming();
        KFCurve curve;
        curve.CopyFrom(source, true);
        KFCurveFilterResample filter;
        KTime period(kFrame / 2);
        filter.SetPeriodTime(period);
        filter.SetStartTime(KTime(keys / 4 * kFrame));
        filter.SetStopTime(KTime(keys / 4 * 3 * kFrame));
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter.Apply(curve));
    }
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_ResampleFilterMiddle)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

// Shifting by one second and scaling by 1.5 (size = keys).
void BM_TimeShiftAndScale(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve curve;
    Fill(curve, keys, 1);
    KFCurveFilterTimeShiftAndScale filter;
    KTime shift(KTime::kTicksPerSecond);
    filter.SetShift(shift);
    filter.SetScale(1.5);
    for (auto _ : state) {
        // Alternately forward and back so that times stay bounded.
        benchmark::DoNotOptimize(filter.Apply(curve));
        filter.SetScale(1.0 / filter.GetScale());
        KTime back = -filter.GetShift();
        filter.SetShift(back);
    }
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_TimeShiftAndScale)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

// Splicing a curve of a tenth of the keys into the middle of another.
void BM_UtilsMerge(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve base, inserted, result;
    Fill(base, keys, 1);
    inserted.KeyModifyBegin();
    for (int i = 0; i < keys / 10; ++i) inserted.KeyAppendFast(KTime((keys / 2 + i) * kFrame + kFrame / 2), 1.0f);
    inserted.KeyModifyEnd();
    for (auto _ : state) benchmark::DoNotOptimize(KFCurveUtils::Merge(base, inserted, result));
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_UtilsMerge)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace
