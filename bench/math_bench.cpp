#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "base/kgemath.h"
#include "base/kzeqmatrix.h"

using namespace zeqsdk_400;

namespace {

struct TRSInput {
    KZeqVector4 t, r, s;
};

std::vector<TRSInput> Inputs(int n) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(-100, 100), ang(-180, 180), scl(0.1, 4);
    std::vector<TRSInput> v(static_cast<size_t>(n));
    for (TRSInput& in : v) {
        in.t = KZeqVector4(pos(rng), pos(rng), pos(rng), 0);
        in.r = KZeqVector4(ang(rng), ang(rng), ang(rng), 0);
        in.s = KZeqVector4(scl(rng), scl(rng), -scl(rng), 0);
    }
    return v;
}

// Builds n affine matrices from translation, Euler rotation and scaling.
void BM_XMatrixCompose(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<TRSInput> in = Inputs(n);
    std::vector<KZeqXMatrix> out(static_cast<size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) out[i].SetTRS(in[i].t, in[i].r, in[i].s);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_XMatrixCompose)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Takes n affine matrices apart into translation, Euler rotation and signed scaling.
void BM_XMatrixDecompose(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<TRSInput> in = Inputs(n);
    std::vector<KZeqXMatrix> m(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) m[i].SetTRS(in[i].t, in[i].r, in[i].s);
    for (auto _ : state) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            const KZeqVector4 t = m[i].GetT(), r = m[i].GetR(), s = m[i].GetS();
            sum += t[0] + r[1] + s[2];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_XMatrixDecompose)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The plotting-loop pattern: local matrix composed with its parent, then the
// result expressed relative to another matrix.
void BM_KernelChain(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<TRSInput> in = Inputs(n);
    std::vector<KZeqXMatrix> m(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) m[i].SetTRS(in[i].t, in[i].r, in[i].s);
    const KZeqXMatrix parent(KZeqVector4(1, 2, 3, 0), KZeqVector4(10, 20, 30, 0), KZeqVector4(1, 2, 0.5, 0));
    for (auto _ : state) {
        double sum = 0.0;
        KZeqXMatrix g, rel;
        for (int i = 0; i < n; ++i) {
            KmAA(g, parent, m[i]);
            KmAiA(rel, parent, g);
            sum += rel.mData[3][0];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_KernelChain)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
