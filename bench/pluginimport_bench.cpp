// Host scene import into the stand-in: the pass's own time beside the importer's read (manual time
// is the pass without the read; the read is the counter read_s), for many nulls in namespaces and
// for one big mesh with two UV layers, for a chain of nulls; the whole pass on a chain whose
// connections come in any order; and the bind-pose steps on many joints.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "pluginimport_bench_support.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "zeqchain_bench_support.h"

using namespace zeqsdk_400;
using namespace importbench;
using E = KZeqLayerElement;

namespace {

const char kBench[] = "pluginimport";

// Every step timed by name, and the two bind-pose steps together.
class StepTimes : public TimedImport {
public:
    double mBindPoses = 0;
    std::map<std::string, double> mSteps;

protected:
    void Timed(const std::string& name, double seconds) override {
        mSteps[name] += seconds;
        if (name == "apply bind poses" || name == "restore bind poses") mBindPoses += seconds;
    }
};

// The pass as the iteration's time (without the read unless withRead), the read's mean as read_s;
// with stepCounters and BENCH_STEPS set, every step over 0.05 s as a counter of its own.
void TimePass(benchmark::State& state, const std::string& file, bool stepCounters, bool withRead = false) {
    double read = 0;
    for (auto _ : state) {
        Prepare();
        StepTimes driver;
        driver.OpenProject(TString(file.c_str()));
        driver.Run();
        read += driver.mRead;
        state.SetIterationTime(withRead ? driver.mTotal : driver.mTotal - driver.mRead);
        if (stepCounters && std::getenv("BENCH_STEPS"))
            for (const auto& step : driver.mSteps)
                if (step.second > 0.05) state.counters[step.first] = step.second;
    }
    state.counters["read_s"] = read / static_cast<double>(state.iterations());
}

// n nulls in ten namespaces, ten to a parent.
void BM_ImportNulls(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = SceneFile(kBench, "nulls" + std::to_string(n), [n](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* parent = nullptr;
        for (int i = 0; i < n; ++i) {
            KZeqNode* node = m.CreateKZeqNode(("ns" + std::to_string(i % 10) + ":null" + std::to_string(i)).c_str());
            node->SetNodeAttribute(m.CreateKZeqNull());
            (i % 10 == 0 || !parent ? s.GetRootNode() : parent)->AddChild(node);
            if (i % 10 == 0) parent = node;
        }
    });
    TimePass(state, file, true);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ImportNulls)->Arg(1000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// n nulls in one chain, each under the one before: the walks of a hierarchy as deep as it is big.
void BM_ImportChain(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = SceneFile(kBench, "chain" + std::to_string(n), [n](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* parent = s.GetRootNode();
        for (int i = 0; i < n; ++i) {
            KZeqNode* node = m.CreateKZeqNode(("link" + std::to_string(i)).c_str());
            node->SetNodeAttribute(m.CreateKZeqNull());
            parent->AddChild(node);
            parent = node;
        }
    });
    TimePass(state, file, true);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ImportChain)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The whole pass, read included, on a 6.0 chain of n nulls whose connections come in an order
// (arguments: n, order): no order may make it grow faster than n log n.
void BM_ImportChainOrder(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)), order = static_cast<int>(state.range(1));
    state.SetLabel(zeqchainbench::ChainOrderName(order));
    const std::string file = Directory(kBench) + "chain-order" + std::to_string(n) + "-" + std::to_string(order) + ".zeq";
    if (!zeqchainbench::WriteChainFile(file, n, order)) {
        state.SkipWithError("the file could not be written");
        return;
    }
    TimePass(state, file, false, true);
    state.SetItemsProcessed(state.iterations() * n);
    zeqbench::RemoveFile(file);
}
BENCHMARK(BM_ImportChainOrder)
    ->ArgsProduct({{1000, 10000, 30000}, {0, 1, 2, 3}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// One mesh of about n vertices (a grid of quads) with two UV layers through indices.
void BM_ImportMesh(benchmark::State& state) {
    int side = 1;
    while ((side + 2) * (side + 2) <= state.range(0)) ++side;
    const int row = side + 1;
    const std::string file = SceneFile(kBench, "mesh" + std::to_string(side), [side, row](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* node = m.CreateKZeqNode("grid");
        KZeqMesh* mesh = m.CreateKZeqMesh();
        node->SetNodeAttribute(mesh);
        s.GetRootNode()->AddChild(node);
        mesh->InitControlPoints(row * row);
        for (int i = 0; i < row * row; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i % row, i / row, 0, 1);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                mesh->BeginPolygon();
                for (int c : {y * row + x, y * row + x + 1, (y + 1) * row + x + 1, (y + 1) * row + x}) mesh->AddPolygon(c);
                mesh->EndPolygon();
            }
        for (int l = 0; l < 2; ++l) {
            if (mesh->GetLayerCount() <= l) mesh->CreateLayer();
            auto* uvs = new KZeqLayerElementUV;
            uvs->SetMappingMode(E::eBY_POLYGON_VERTEX);
            uvs->SetReferenceMode(E::eINDEX_TO_DIRECT);
            for (int i = 0; i < row * row; ++i) uvs->GetDirectArray().Add(KZeqVector2(i % row, l + i / row));
            for (int p = 0; p < mesh->GetPolygonCount(); ++p)
                for (int v = 0; v < 4; ++v) uvs->GetIndexArray().Add(mesh->GetPolygonVertex(p, v));
            mesh->GetLayer(l)->SetUVs(uvs);
        }
    });
    TimePass(state, file, false);
    state.counters["vertices"] = row * row;
}
BENCHMARK(BM_ImportMesh)->Arg(10000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// n joints in chains of 100, every one in the bind pose; only the two bind-pose steps are timed.
void BM_BindPose(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = SceneFile(kBench, "joints" + std::to_string(n), [n](KZeqSdkManager& m, KZeqScene& s) {
        KZeqPose* pose = m.CreateKZeqPose("Bind", true);
        KZeqNode* parent = nullptr;
        for (int i = 0; i < n; ++i) {
            const std::string name = "joint" + std::to_string(i);
            KZeqNode* node = m.CreateKZeqNode(name.c_str());
            KZeqSkeleton* skeleton = m.CreateKZeqSkeleton();
            node->SetNodeAttribute(skeleton);
            skeleton->SetSkeletonType(i % 100 == 0 ? KZeqSkeleton::eROOT : KZeqSkeleton::eLIMB_NODE);
            (i % 100 == 0 ? s.GetRootNode() : parent)->AddChild(node);
            parent = node;
            KZeqMatrix matrix;
            matrix.mData[3][1] = i % 100;
            pose->Add(("Model::" + name).c_str(), matrix, false);
        }
        s.AddPose(pose);
    });
    for (auto _ : state) {
        Prepare();
        StepTimes driver;
        driver.OpenProject(TString(file.c_str()));
        driver.Run();
        state.SetIterationTime(driver.mBindPoses);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BindPose)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
