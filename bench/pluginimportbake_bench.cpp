// ZEQImport into the stand-in of a file of one null whose take, keyed over its first second, plays
// on without end over a take of size seconds: the whole transform under a time warp repeating every
// 0.9167 s, or each curve repeating beside a layer. A file of a few hundred bytes; the bake the host
// takes is bounded in keys a channel, so that the import costs what that bound asks however long
// the take (run under /usr/bin/time -v for the peak memory).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "bench/commandimport_bench_support.h"
#include "bench/zeqlayered_bench_support.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

using namespace zeqsdk_400;
using namespace zeqlayeredbench;

namespace {

constexpr unsigned int kEndless = 0xFFFFFFFFu;

void Repeat(KFCurve& curve) {
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPostExtrapolationCount(kEndless);
}

// The take of the null: T, R and S keyed over a second, each with a layer; warped: a warp repeating
// every 0.9167 s over the whole transform, else every curve repeating.
NodePtr RepeatingTake(bool warped, KFCurveNode* holder) {
    NodePtr root(KFCurveNodeCreate("Take"));
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    static const char* const kVectors[3] = {"T", "R", "S"};
    static const int kTypes[3] = {KFCL_ADD, KFCL_EULER_XYZ, KFCL_MULT};
    for (int v = 0; v < 3; ++v) {
        KFCurveNode* vector = KFCurveNodeCreate(kVectors[v], static_cast<KDataType*>(nullptr), kTypes[v], 0);
        for (const char* axis : {"X", "Y", "Z"}) {
            KFCurveNode* leaf = Leaf(axis, 30, 5 + v, v == 1 ? 60.0f : 2.0f);
            if (!warped) Repeat(*leaf->FCurveGet());
            vector->Add(leaf);
        }
        KFCurveNode* layer = KFCurveNodeCreate(kVectors[v], static_cast<KDataType*>(nullptr), kTypes[v], 1);
        layer->Add(Leaf("Y", 30, 7, v == 1 ? 20.0f : 0.5f));
        if (v != 2) layer->Add(Leaf("Z", 30, 9, v == 1 ? 20.0f : 0.5f));
        vector->LayerSet(layer, true);
        transform->Add(vector);
    }
    if (warped) {
        KFCurveNode* warp = KFCurveNodeCreate("W", static_cast<KDataType*>(nullptr));
        warp->FCurveSet(KFCurveCreate(), true);
        KTime end;
        end.SetSecondDouble(0.9167);
        warp->FCurveGet()->KeyAppendFast(KTime(0), 0.0f);
        warp->FCurveGet()->KeyAppendFast(end, 0.9167f);
        Repeat(*warp->FCurveGet());
        holder->Add(KFCurveNodeCreate("Hold"));
        holder->Get(0)->TimeWarpSet(warp);
        transform->TimeWarpSet(warp);
    }
    root->Add(transform);
    return root;
}

// A binary 6.0 file of the null n0 holding RepeatingTake in "Take 001" over seconds.
std::string WriteRepeatingFile(bool warped, long long seconds) {
    const std::string path =
        zeqbench::ScratchPath(std::string(warped ? "warp" : "curve") + std::to_string(seconds) + ".zeq");
    NodePtr holder(KFCurveNodeCreate("Holder"));
    std::vector<NodePtr> takes;
    takes.push_back(RepeatingTake(warped, holder.get()));
    KTime stop;
    stop.SetSecondDouble(static_cast<double>(seconds));
    return WriteTakesFile(path, holder.get(), takes, KTimeSpan(KTime(0), stop)) ? path : "";
}

void TimeImport(benchmark::State& state, bool warped) {
    commandimportbench::UsePluginFolder();
    const std::string path = WriteRepeatingFile(warped, state.range(0));
    commandimportbench::TimeImports(state, path);
    if (!path.empty()) zeqbench::RemoveFile(path);
}

// Size: the take's seconds (100000: 27.8 hours; 5750 and 7250: about the longest each file bakes
// whole, the worst an import takes).
void BM_ImportRepeatingWarp(benchmark::State& state) { TimeImport(state, true); }
BENCHMARK(BM_ImportRepeatingWarp)->Arg(60)->Arg(1000)->Arg(5750)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ImportRepeatingCurves(benchmark::State& state) { TimeImport(state, false); }
BENCHMARK(BM_ImportRepeatingCurves)->Arg(60)->Arg(1000)->Arg(7250)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
