#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "content/kzeqlayercontainer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

class BenchGeometry : public KZeqLayerContainer {
public:
    using KZeqLayerContainer::KZeqLayerContainer;
    EAttributeType GetAttributeType() const override { return eMESH; }
};

template <class Element>
Element* Filled(int count, typename std::remove_reference<decltype(std::declval<Element>().GetDirectArray()[0])>::type item) {
    auto* element = new Element;
    element->SetMappingMode(KZeqLayerElement::eBY_POLYGON_VERTEX);
    element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
    element->GetDirectArray().SetCount(count);
    element->GetIndexArray().SetCount(count);
    for (int i = 0; i < count; ++i) {
        element->GetDirectArray()[i] = item;
        element->GetIndexArray()[i] = i;
    }
    return element;
}

// One layer with all six elements, count direct entries and count indices each.
void FillLayer(KZeqLayer& layer, int count, KZeqMaterial* material, KZeqTexture* texture) {
    layer.SetNormals(Filled<KZeqLayerElementNormal>(count, KZeqVector4(0, 0, 1, 1)));
    layer.SetMaterials(Filled<KZeqLayerElementMaterial>(count, material));
    layer.SetTextures(Filled<KZeqLayerElementTexture>(count, texture));
    layer.SetPolygonGroups(Filled<KZeqLayerElementPolygonGroup>(count, 0));
    layer.SetUVs(Filled<KZeqLayerElementUV>(count, KZeqVector2(0.5, 0.5)));
    layer.SetVertexColors(Filled<KZeqLayerElementVertexColor>(count, KZeqColor()));
}

std::size_t LayerBytes(int count) {
    const std::size_t items = sizeof(KZeqVector4) + sizeof(KZeqMaterial*) + sizeof(KZeqTexture*) + sizeof(int) +
                              sizeof(KZeqVector2) + sizeof(KZeqColor);
    return static_cast<std::size_t>(count) * (items + 6 * sizeof(int));
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Index-mode material count over count polygon-vertex entries. The node has
// one more connected material than there are distinct indices, so the whole
// array is read.
void BM_MaterialCountIndexMode(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const int distinct = static_cast<int>(state.range(1));
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("n");
    BenchGeometry geometry(manager);
    node->SetNodeAttribute(&geometry);
    for (int i = 0; i <= distinct; ++i)
        node->GetPropertyHandler()->ConnectSrc(manager.CreateKZeqMaterial("m")->GetPropertyHandler());
    geometry.AddMaterial(manager.GetKZeqMaterial(0), 0);
    KZeqLayerElementMaterial* element = geometry.GetLayer(0)->GetMaterials();
    element->SetReferenceMode(KZeqLayerElement::eINDEX);
    std::mt19937 random(1);
    for (int i = 0; i < count; ++i) element->GetIndexArray().Add(static_cast<int>(random() % distinct));
    for (auto _ : state) {
        const int found = geometry.GetMaterialCount(0);
        if (found != distinct) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * count);
    node->SetNodeAttribute(nullptr);
}
BENCHMARK(BM_MaterialCountIndexMode)
    ->Args({10000, 3})
    ->Args({1000000, 3})
    ->Args({1000000, 999})
    ->Unit(benchmark::kMillisecond);

// CopyLayers of one layer with six elements of count entries (timed by hand:
// ending the copy is not part of it).
void BM_CopyLayers(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    BenchGeometry source(manager);
    source.CreateLayer();
    FillLayer(*source.GetLayer(0), count, manager.CreateKZeqMaterial("m"), manager.CreateKZeqTexture("t"));
    for (auto _ : state) {
        BenchGeometry copy(manager);
        const auto start = std::chrono::steady_clock::now();
        copy.CopyLayers(&source);
        state.SetIterationTime(Since(start));
        benchmark::DoNotOptimize(copy.GetLayer(0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LayerBytes(count)));
}
BENCHMARK(BM_CopyLayers)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseManualTime();

// The memory-speed yardstick for BM_CopyLayers: the same bytes into twelve
// fresh blocks.
void BM_CopyLayersYardstick(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::size_t sizes[] = {sizeof(KZeqVector4), sizeof(void*), sizeof(void*), sizeof(int),
                                 sizeof(KZeqVector2), sizeof(KZeqColor)};
    std::vector<std::vector<char>> sources;
    for (std::size_t size : sizes) {
        sources.emplace_back(size * static_cast<std::size_t>(count), 1);
        sources.emplace_back(sizeof(int) * static_cast<std::size_t>(count), 1);
    }
    for (auto _ : state) {
        std::vector<void*> blocks;
        const auto start = std::chrono::steady_clock::now();
        for (const auto& block : sources) {
            blocks.push_back(std::malloc(block.size()));
            std::memcpy(blocks.back(), block.data(), block.size());
        }
        state.SetIterationTime(Since(start));
        for (void* block : blocks) std::free(block);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LayerBytes(count)));
}
BENCHMARK(BM_CopyLayersYardstick)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
