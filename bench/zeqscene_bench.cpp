// Node trees of N null nodes, flat under the root or as one chain, written
// by the 6.0 and 5.8 writers in binary and read back; and one take of a
// million keys through a whole file against the same curves through the
// curve storage alone.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kzeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

std::string Scratch(const std::string& name) { return zeqbench::ScratchPath(name); }

// Arguments: node count, 0 flat or 1 chain, 0 the 6.0 writer or 1 the 5.8 one.
KZeqScene* MakeTree(KZeqSdkManager& manager, int count, bool chain) {
    KZeqScene* scene = manager.CreateKZeqScene();
    std::vector<KZeqNode*> nodes;
    for (int i = 0; i < count; ++i) {
        nodes.push_back(manager.CreateKZeqNode(("n" + std::to_string(i)).c_str()));
        nodes.back()->SetNodeAttribute(manager.CreateKZeqNull());
    }
    // A chain is linked from its end: each link's ancestor check then stays short.
    for (int i = count - 1; i > 0 && chain; --i) nodes[i - 1]->AddChild(nodes[i]);
    for (int i = 0; i < (chain ? 1 : count); ++i) scene->GetRootNode()->AddChild(nodes[i]);
    return scene;
}

bool Export(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path, bool v58) {
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(v58 ? KZeqExporter::eZEQ_5_BINARY : KZeqExporter::eZEQ_BINARY);
    return exporter.Export(scene);
}

bool Import(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path, benchmark::State& state) {
    KZeqImporter importer(manager);
    if (importer.Initialize(path.c_str()) && importer.Import(scene)) return true;
    state.SkipWithError(importer.GetLastErrorString());
    return false;
}

// Every node below the root (the node's own count looks at its children only).
int CountBelow(KZeqNode* root) {
    int count = 0;
    for (std::vector<KZeqNode*> pending{root}; !pending.empty();) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        count += node->GetChildCount();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
    }
    return count;
}

void Label(benchmark::State& state) {
    state.SetLabel(std::string(state.range(1) ? "chain" : "flat") + (state.range(2) ? " 5.8" : " 6.0"));
}

void BM_WriteTree(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = MakeTree(manager, static_cast<int>(state.range(0)), state.range(1) != 0);
    const std::string path = Scratch("write.zeq");
    for (auto _ : state)
        if (!Export(manager, *scene, path, state.range(2) != 0)) state.SkipWithError("not written");
    Label(state);
    zeqbench::RemoveFile(path);
}

void BM_ReadTree(benchmark::State& state) {
    KZeqSdkManager manager;
    const int count = static_cast<int>(state.range(0));
    KZeqScene* scene = MakeTree(manager, count, state.range(1) != 0);
    const std::string path = Scratch("read.zeq");
    Export(manager, *scene, path, state.range(2) != 0);
    for (auto _ : state) {
        KZeqScene* read = manager.CreateKZeqScene();
        if (!Import(manager, *read, path, state)) break;
        if (CountBelow(read->GetRootNode()) != count) {
            state.SkipWithError(("read " + std::to_string(CountBelow(read->GetRootNode()))).c_str());
            break;
        }
        state.PauseTiming();
        manager.DestroyKZeqScene(read, true);
        state.ResumeTiming();
    }
    Label(state);
    zeqbench::RemoveFile(path);
}

void TreeArgs(benchmark::internal::Benchmark* bench) {
    for (int count : {100, 10000, 100000})
        for (int chain : {0, 1})
            for (int v58 : {0, 1}) bench->Args({count, chain, v58});
    bench->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_WriteTree)->Apply(TreeArgs);
BENCHMARK(BM_ReadTree)->Apply(TreeArgs);

// ---- One long take ---------------------------------------------------------------------------

// A node whose take "Long" has N keys spread over translation X, Y and Z.
KZeqScene* MakeTake(KZeqSdkManager& manager, int keys) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* node = manager.CreateKZeqNode("Animated");
    node->SetNodeAttribute(manager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(node);
    scene->CreateTake("Long");
    node->SetCurrentTakeNode("Long");
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    KFCurve* curves[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
    for (int c = 0; c < 3; ++c) {
        curves[c]->KeyModifyBegin();
        for (int i = c; i < keys; i += 3) curves[c]->KeyAppendFast(KTime(static_cast<kLongLong>(i) * 1539538600LL), 0.5f * i);
        curves[c]->KeyModifyEnd();
    }
    node->SetCurrentTakeNode(0);
    return scene;
}

// The take written and read back in binary (0) or ASCII (1): the ASCII form
// reads each key's letters and numbers from text.
void BM_TakeThroughFile(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = MakeTake(manager, static_cast<int>(state.range(0)));
    const std::string path = Scratch("take.zeq");
    const bool ascii = state.range(1) != 0;
    const auto write = [&] {
        if (!ascii) return Export(manager, *scene, path, false);
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(KZeqExporter::eZEQ_ASCII);
        return exporter.Export(*scene);
    };
    for (auto _ : state) {
        KZeqScene* read = manager.CreateKZeqScene();
        if (!write() || !Import(manager, *read, path, state)) break;
        state.PauseTiming();
        manager.DestroyKZeqScene(read, true);
        state.ResumeTiming();
    }
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_TakeThroughFile)->ArgsProduct({{1000000}, {0, 1}})->ArgNames({"keys", "ascii"})->Unit(benchmark::kMillisecond);

// The same take's curve-node tree stored as "Channel" records and read back.
void BM_TakeThroughCurveStorage(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = MakeTake(manager, static_cast<int>(state.range(0)));
    KZeqNode* node = scene->GetRootNode()->GetChild(0);
    node->SetCurrentTakeNode("Long");
    KFCurveNode* tree = node->GetCurrentTakeNode()->GetKFCurveNode();
    const std::string path = Scratch("curves.zeq");
    for (auto _ : state) {
        KZeq out;
        out.ProjectCreate(path.c_str(), true, false);
        for (int i = 0; i < tree->GetCount(); ++i) tree->Get(i)->ZeqStore(&out, false, true, true, "Channel", true, false);
        out.ProjectClose();
        state.PauseTiming();
        KFCurveNode* copy = KFCurveNodeCreate(tree);  // the template the reader fills
        state.ResumeTiming();
        KZeq in;
        if (!in.ProjectOpen(path.c_str())) {
            state.SkipWithError("not opened");
            break;
        }
        while (KFCurveNodeCreate(&in, copy, false, true, false)) {
        }
        in.ProjectClose();
        state.PauseTiming();
        copy->Destroy();
        state.ResumeTiming();
    }
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_TakeThroughCurveStorage)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
