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

#include <sys/resource.h>

#include "tfncomponent.h"
#include "tfndeformer.h"
#include "tfnmesh.h"

namespace {

double residentMB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// An n x n grid of quads: (n + 1)^2 vertices.
struct Grid {
    TFloatPointArray points;
    TIntArray counts, connects;
    explicit Grid(int n) {
        points.values().reserve(static_cast<std::size_t>(n + 1) * static_cast<std::size_t>(n + 1));
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) points.append(static_cast<float>(i), 0, static_cast<float>(j));
        counts.values().assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 4);
        connects.values().reserve(4 * counts.length());
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                int a = j * (n + 1) + i;
                connects.values().insert(connects.values().end(), {a, a + n + 1, a + n + 2, a + 1});
            }
    }
};

void BM_GridMeshCreate(benchmark::State& state) {
    Grid g(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        standin::reset();
        TObject parent = standin::createNode("transform", "grid");
        state.ResumeTiming();
        TFnMesh fn;
        fn.create(static_cast<int>(g.points.length()), static_cast<int>(g.counts.length()), g.points, g.counts,
                  g.connects, parent);
    }
    state.counters["resident_MB"] = residentMB();
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_GridMeshCreate)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// Read passes over the grid: 0 getPoints, 1 getNormals, 2 a TItMeshVertex pass with normals.
void BM_GridMeshRead(benchmark::State& state) {
    standin::reset();
    TObject shape = standin::createGrid("grid", static_cast<int>(state.range(0)), static_cast<int>(state.range(0)));
    TFnMesh fn(shape);
    TDagPath path = fn.dagPath();
    TPointArray points;
    TFloatVectorArray normals;
    TVectorArray around;
    for (auto _ : state) {
        double sum = 0;
        if (state.range(1) == 0) {
            fn.getPoints(points);
            sum = points[points.length() - 1].x;
        } else if (state.range(1) == 1) {
            fn.getNormals(normals);
            sum = normals[0].y;
        } else {
            for (TItMeshVertex it(path); !it.isDone(); it.next()) {
                it.getNormals(around);
                sum += around.length();
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["resident_MB"] = residentMB();
    state.SetItemsProcessed(state.iterations() * (state.range(0) + 1) * (state.range(0) + 1));
}
BENCHMARK(BM_GridMeshRead)->ArgsProduct({{100, 1000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

// Skin weights of all points read influence by influence (50 influences).
void BM_SkinWeightsPerInfluence(benchmark::State& state) {
    standin::reset();
    int side = static_cast<int>(state.range(0));
    TObject shape = standin::createGrid("skinned", side, side);
    std::size_t points = static_cast<std::size_t>(side + 1) * static_cast<std::size_t>(side + 1);
    std::vector<TObject> joints;
    std::vector<std::vector<float>> weights;
    for (int i = 0; i < 50; ++i) {
        joints.push_back(standin::createNode("joint", "j"));
        weights.emplace_back(points, 1.0f / 50);
    }
    TFnSkinCluster skin(standin::createSkin("skin", TObject(), shape, joints, weights));
    TFnSingleIndexedComponent all;
    TObject comp = all.create(TFn::kSingleIndexedComponent);
    all.setCompleteData(static_cast<int>(points));
    TDagPath path = TDagPath::getAPathTo(shape);
    TFloatArray w;
    for (auto _ : state) {
        double sum = 0;
        for (unsigned i = 0; i < 50; ++i) {
            skin.getWeights(path, comp, i, w);
            sum += w[0];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points) * 50);
}
BENCHMARK(BM_SkinWeightsPerInfluence)->Arg(100)->Arg(316)->Unit(benchmark::kMillisecond);

}  // namespace
