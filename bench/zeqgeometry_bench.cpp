// A mesh of N polygon vertices (quads, normals and UVs by polygon vertex,
// materials by polygon) written to and read from a Zeq file through the
// exporter and importer, binary (mode 0) and ASCII (mode 1); the same arrays
// as typed-array fields through the field file alone; and the merging of N
// textures of which half are copies.

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/tests/zeqgeometryscene.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Scratch(const char* name, long size, bool ascii) {
    return zeqbench::ScratchPath(name + std::to_string(size) + (ascii ? "a" : "b") + ".zeq");
}

int SideFor(long polygonVertices) { return static_cast<int>(std::lround(std::sqrt(polygonVertices / 4.0))); }

KZeqScene* MeshScene(KZeqSdkManager& manager, long polygonVertices) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    zeqiotest::FillGridMesh(*mesh, SideFor(polygonVertices));
    mesh->AddMaterial(manager.CreateKZeqMaterial("a"), 0), mesh->AddMaterial(manager.CreateKZeqMaterial("b"), 0);
    KZeqLayerElementMaterial& materials = *mesh->GetLayer(0)->GetMaterials();
    materials.SetMappingMode(KZeqLayerElement::eBY_POLYGON);
    materials.SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
    materials.GetIndexArray().Clear();
    for (int p = 0; p < mesh->GetPolygonCount(); ++p) materials.GetIndexArray().Add(p % 2);
    KZeqNode* node = manager.CreateKZeqNode("Grid");
    node->SetNodeAttribute(mesh);
    scene->GetRootNode()->AddChild(node);
    return scene;
}

bool Export(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path, bool ascii) {
    KZeqExporter exporter(manager);
    KStreamOptionsZeq options;
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(ascii ? KZeqExporter::eZEQ_ASCII : KZeqExporter::eZEQ_BINARY);
    exporter.SetExportOptionsInfo(&options);
    return exporter.Export(scene);
}

void SceneWrite(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = MeshScene(manager, state.range(0));
    const std::string path = Scratch("scene", state.range(0), state.range(1) == 1);
    for (auto _ : state)
        if (!Export(manager, *scene, path, state.range(1) == 1)) state.SkipWithError("not written");
    zeqbench::RemoveFile(path);
}

void SceneRead(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = MeshScene(manager, state.range(0));
    const std::string path = Scratch("scene", state.range(0), state.range(1) == 1);
    Export(manager, *scene, path, state.range(1) == 1);
    for (auto _ : state) {
        KZeqImporter importer(manager);
        KZeqScene* read = manager.CreateKZeqScene();
        if (!importer.Initialize(path.c_str()) || !importer.Import(*read)) state.SkipWithError("not read");
        state.PauseTiming();
        manager.DestroyKZeqScene(read, true);
        state.ResumeTiming();
    }
    zeqbench::RemoveFile(path);
}

// The mesh's arrays as the record holds them, as plain typed arrays.
struct Arrays {
    std::vector<double> mPoints, mNormals, mUVs;
    std::vector<int> mPolygons, mUVIndices, mMaterials;
};

Arrays ArraysFor(long polygonVertices) {
    KZeqSdkManager manager;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    zeqiotest::FillGridMesh(*mesh, SideFor(polygonVertices));
    Arrays arrays;
    for (int i = 0; i < mesh->GetControlPointsCount(); ++i)
        for (int c = 0; c < 3; ++c) arrays.mPoints.push_back(mesh->GetControlPoints()[i][c]);
    for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
        for (int v = 0; v < 4; ++v)
            arrays.mPolygons.push_back(v == 3 ? ~mesh->GetPolygonVertex(p, v) : mesh->GetPolygonVertex(p, v));
        arrays.mMaterials.push_back(p % 2);
    }
    KZeqLayer& layer = *mesh->GetLayer(0);
    for (int i = 0; i < layer.GetNormals()->GetDirectArray().GetCount(); ++i)
        for (int c = 0; c < 3; ++c) arrays.mNormals.push_back(layer.GetNormals()->GetDirectArray()[i][c]);
    for (int i = 0; i < layer.GetUVs()->GetDirectArray().GetCount(); ++i)
        for (int c = 0; c < 2; ++c) arrays.mUVs.push_back(layer.GetUVs()->GetDirectArray()[i][c]);
    for (int i = 0; i < layer.GetUVs()->GetIndexArray().GetCount(); ++i)
        arrays.mUVIndices.push_back(layer.GetUVs()->GetIndexArray()[i]);
    manager.DestroyKZeqNodeAttribute(mesh);
    return arrays;
}

template <class T>
void WriteArray(KZeq& file, const char* name, const std::vector<T>& values) {
    file.FieldWriteBegin(name);
    if constexpr (std::is_same<T, double>::value)
        file.FieldWriteDn(values.data(), static_cast<int>(values.size()));
    else
        file.FieldWriteIn(values.data(), static_cast<int>(values.size()));
    file.FieldWriteEnd();
}

template <class T>
void ReadArray(KZeq& file, const char* name, std::vector<T>& values) {
    if (!file.FieldReadBegin(name)) return;
    values.resize(static_cast<std::size_t>(file.FieldReadGetRemain()));
    if constexpr (std::is_same<T, double>::value)
        file.FieldReadDn(values.data(), static_cast<int>(values.size()));
    else
        file.FieldReadIn(values.data(), static_cast<int>(values.size()));
    file.FieldReadEnd();
}

void WriteArrays(const Arrays& arrays, const std::string& path, bool ascii) {
    KZeq file;
    file.ProjectCreate(path.c_str(), !ascii, false);
    file.FieldWriteBegin("Model"), file.FieldWriteC("Model::Grid"), file.FieldWriteBlockBegin();
    WriteArray(file, "Vertices", arrays.mPoints), WriteArray(file, "PolygonVertexIndex", arrays.mPolygons);
    WriteArray(file, "Normals", arrays.mNormals), WriteArray(file, "UV", arrays.mUVs);
    WriteArray(file, "UVIndex", arrays.mUVIndices), WriteArray(file, "Materials", arrays.mMaterials);
    file.FieldWriteBlockEnd(), file.FieldWriteEnd();
    file.ProjectClose();
}

void ArraysWrite(benchmark::State& state) {
    const Arrays arrays = ArraysFor(state.range(0));
    const std::string path = Scratch("arrays", state.range(0), state.range(1) == 1);
    for (auto _ : state) WriteArrays(arrays, path, state.range(1) == 1);
    zeqbench::RemoveFile(path);
}

void ArraysRead(benchmark::State& state) {
    const Arrays arrays = ArraysFor(state.range(0));
    const std::string path = Scratch("arrays", state.range(0), state.range(1) == 1);
    WriteArrays(arrays, path, state.range(1) == 1);
    for (auto _ : state) {
        KZeq file;
        Arrays read;
        file.ProjectOpen(path.c_str(), true, true);
        file.FieldReadBegin("Model"), file.FieldReadBlockBegin();
        ReadArray(file, "Vertices", read.mPoints), ReadArray(file, "PolygonVertexIndex", read.mPolygons);
        ReadArray(file, "Normals", read.mNormals), ReadArray(file, "UV", read.mUVs);
        ReadArray(file, "UVIndex", read.mUVIndices), ReadArray(file, "Materials", read.mMaterials);
        file.FieldReadBlockEnd(), file.FieldReadEnd();
        if (read.mPolygons.size() != arrays.mPolygons.size()) state.SkipWithError("not read");
    }
    zeqbench::RemoveFile(path);
}

// Names without trailing digits, which the equality cuts: letters.
std::string Letters(int n) {
    std::string name;
    do name += static_cast<char>('a' + n % 26), n /= 26;
    while (n > 0);
    return name;
}

// N textures of the scene, every second one a copy ("tex bc 2" equals "tex bc").
void RemoveDuplicateTextures(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        KZeqSdkManager manager;
        KZeqImporter importer(manager);
        KZeqReaderZeq reader(manager, importer);
        KZeqScene* scene = manager.CreateKZeqScene();
        for (int i = 0; i < count; ++i) {
            const std::string name = "tex " + Letters(i / 2) + (i % 2 ? " 2" : "");
            KZeqTexture* texture = manager.CreateKZeqTexture(name.c_str());
            texture->SetDefaultAlpha((i / 2) % 100 / 100.0);
            scene->GetEntity()->AddTexture(texture);
        }
        state.ResumeTiming();
        reader.RemoveDuplicateTextures(*scene);
        state.PauseTiming();
        if (scene->GetEntity()->GetTextureCount() != count / 2) state.SkipWithError("wrong merge");
        manager.DestroyKZeqScene(scene, true);
        state.ResumeTiming();
    }
}

void Sizes(benchmark::internal::Benchmark* bench) {
    for (long size : {100000L, 1000000L})
        for (long ascii : {0L, 1L}) bench->Args({size, ascii});
    bench->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(SceneWrite)->Apply(Sizes);
BENCHMARK(ArraysWrite)->Apply(Sizes);
BENCHMARK(SceneRead)->Apply(Sizes);
BENCHMARK(ArraysRead)->Apply(Sizes);
BENCHMARK(RemoveDuplicateTextures)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
