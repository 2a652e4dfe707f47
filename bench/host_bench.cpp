// Stand-in host: building and walking large dependency graphs, plug lookup by name.
#include <benchmark/benchmark.h>

#include <vector>

#include "standin.h"
#include "tfndependencynode.h"
#include "titdependencygraph.h"

namespace {

// n nodes; a chain links node i to node i + 1, a fan links node 0 to every other node.
std::vector<TObject> build(int n, bool fan) {
    standin::reset();
    std::vector<TObject> nodes;
    nodes.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) nodes.push_back(standin::createNode("groupId"));
    TPlug first = TFnDependencyNode(nodes[0]).findPlug("groupId");
    for (int i = 1; i < n; ++i) {
        TPlug src = fan ? first : TFnDependencyNode(nodes[static_cast<std::size_t>(i - 1)]).findPlug("groupId");
        standin::connect(src, TFnDependencyNode(nodes[static_cast<std::size_t>(i)]).findPlug("groupId"));
    }
    return nodes;
}

void BM_GraphBuild(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(build(static_cast<int>(state.range(0)), state.range(1) != 0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GraphBuild)->ArgsProduct({{1000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_GraphWalkDownstream(benchmark::State& state) {
    std::vector<TObject> nodes = build(static_cast<int>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        std::size_t count = 0;
        for (TItDependencyGraph it(nodes[0], 0, 0, static_cast<int>(state.range(1))); !it.isDone(); it.next()) ++count;
        if (count != nodes.size()) state.SkipWithError("walk missed nodes");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GraphWalkDownstream)->ArgsProduct({{1000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

// Per lookup: flat across scene sizes.
void BM_FindPlugByName(benchmark::State& state) {
    std::vector<TObject> nodes = build(static_cast<int>(state.range(0)), false);
    std::size_t i = 0;
    for (auto _ : state) {
        TFnDependencyNode fn(nodes[i++ % nodes.size()]);
        benchmark::DoNotOptimize(fn.findPlug("groupId"));
    }
}
BENCHMARK(BM_FindPlugByName)->Arg(1000)->Arg(100000);

}  // namespace

#include "tfnanimcurve.h"
#include "titdag.h"

namespace {

// n transforms under one parent, all asking for the same name.
void buildSameNames(int n) {
    standin::reset();
    TObject group = standin::createNode("transform", "group");
    for (int i = 0; i < n; ++i) standin::createNode("transform", "box", group);
}

void BM_DagCreateSameName(benchmark::State& state) {
    for (auto _ : state) buildSameNames(static_cast<int>(state.range(0)));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DagCreateSameName)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DagWalkPathNames(benchmark::State& state) {
    buildSameNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::size_t chars = 0;
        for (TItDag it(TItDag::kDepthFirst); !it.isDone(); it.next())
            chars += it.fullPathName().length() + it.partialPathName().length();
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DagWalkPathNames)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A curve of `keys` smooth keys evaluated at 100000 sorted times over its range.
void BM_CurveEvaluateSorted(benchmark::State& state) {
    standin::reset();
    standin::createNode("transform", "box");
    TFnAnimCurve fn;
    fn.create(standin::plug("box.translateX"));
    const int keys = static_cast<int>(state.range(0));
    for (int i = 0; i < keys; ++i)
        fn.addKey(TTime(i * 0.04, TTime::kSeconds), (i * 7919) % 100, TFnAnimCurve::kTangentSmooth,
                  TFnAnimCurve::kTangentSmooth);
    fn.setIsWeighted(state.range(1) != 0);
    const int samples = 100000;
    for (auto _ : state) {
        double sum = 0;
        for (int i = 0; i < samples; ++i) sum += fn.evaluate(TTime(keys * 0.04 * i / samples, TTime::kSeconds));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * samples);
}
BENCHMARK(BM_CurveEvaluateSorted)->ArgsProduct({{10000}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

#include "tglobal.h"

namespace {

// n short commands as the import sends them per node: namespace queries and a visibility read,
// in a scene of 10^4 transforms (names are looked up, never rebuilt).
void BM_ShortCommands(benchmark::State& state) {
    standin::reset();
    for (int i = 0; i < 10000; ++i) standin::createNode("transform", "box");
    const int n = static_cast<int>(state.range(0));
    const TString queries[] = {"namespaceInfo -currentNamespace", "getAttr \"|box5000.visibility\""};
    for (auto _ : state) {
        state.PauseTiming();
        standin::clearTranscript();
        state.ResumeTiming();
        TStringArray result;
        for (int i = 0; i < n; ++i)
            if (!TGlobal::executeCommand(queries[i & 1], result)) state.SkipWithError("command failed");
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ShortCommands)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
