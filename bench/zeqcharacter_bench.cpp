// N characters, each linking every one of its 191 node identifiers, with a
// control set linking every node and all 44 effectors, written in binary by
// the 6.0 or the 5.8 writer and read back.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "character/kzeqcharacter.h"
#include "character/kzeqcontrolset.h"
#include "content/kzeqnull.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Scratch(const std::string& name) { return zeqbench::ScratchPath(name); }

KZeqScene* MakeCharacters(KZeqSdkManager& manager, int count) {
    KZeqScene* scene = manager.CreateKZeqScene();
    for (int c = 0; c < count; ++c) {
        KZeqCharacter* character = scene->GetCharacter(scene->CreateCharacter(("C" + std::to_string(c)).c_str()));
        KZeqControlSet& controls = *character->GetControlSet();
        for (int id = 0; id < kCharacterNodeIdCount; ++id) {
            KZeqNode* node = manager.CreateKZeqNode(("c" + std::to_string(c) + "n" + std::to_string(id)).c_str());
            node->SetNodeAttribute(manager.CreateKZeqNull());
            scene->GetRootNode()->AddChild(node);
            KZeqCharacterLink link;
            link.mNode = node, link.mOffsetT[0] = id;
            character->SetCharacterLink(static_cast<ECharacterNodeId>(id), link);
            KZeqControlSetLink control;
            control.mNode = node;
            controls.SetControlSetLink(static_cast<ECharacterNodeId>(id), control);
            if (id < kEffectorNodeIdCount) {
                KZeqEffector effector;
                effector.mNode = node;
                controls.SetEffector(static_cast<EEffectorNodeId>(id), effector);
                controls.SetEffectorAux(static_cast<EEffectorNodeId>(id), node, eEffectorSetFirst);
            }
        }
    }
    return scene;
}

bool Export(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path, bool v58) {
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(v58 ? KZeqExporter::eZEQ_5_BINARY : KZeqExporter::eZEQ_BINARY);
    return exporter.Export(scene);
}

void BM_WriteCharacters(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = MakeCharacters(manager, static_cast<int>(state.range(0)));
    const std::string path = Scratch("write.zeq");
    for (auto _ : state)
        if (!Export(manager, *scene, path, state.range(1) != 0)) state.SkipWithError("not written");
    state.SetLabel(state.range(1) ? "5.8" : "6.0");
    zeqbench::RemoveFile(path);
}

void BM_ReadCharacters(benchmark::State& state) {
    KZeqSdkManager manager;
    const int count = static_cast<int>(state.range(0));
    KZeqScene* scene = MakeCharacters(manager, count);
    const std::string path = Scratch("read.zeq");
    Export(manager, *scene, path, state.range(1) != 0);
    for (auto _ : state) {
        KZeqScene* read = manager.CreateKZeqScene();
        KZeqImporter importer(manager);
        KZeqCharacterLink link;
        if (!importer.Initialize(path.c_str()) || !importer.Import(*read) || read->GetCharacterCount() != count ||
            !read->GetCharacter(count - 1)->GetCharacterLink(eCharacterHips, &link) || !link.mNode) {
            state.SkipWithError("not read back");
            break;
        }
        state.PauseTiming();
        manager.DestroyKZeqScene(read, true);
        state.ResumeTiming();
    }
    state.SetLabel(state.range(1) ? "5.8" : "6.0");
    zeqbench::RemoveFile(path);
}

void Args(benchmark::internal::Benchmark* bench) {
    for (int count : {10, 100})
        for (int v58 : {0, 1}) bench->Args({count, v58});
    bench->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_WriteCharacters)->Apply(Args);
BENCHMARK(BM_ReadCharacters)->Apply(Args);

}  // namespace
