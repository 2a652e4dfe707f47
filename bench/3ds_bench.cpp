// The 3DS reader and writer beside lib3ds (when lib3ds-dev is installed), in
// the same run on the same content:
//   Read/N      N meshes of 60,000 vertices with smoothing groups and 300-key
//               tracks, through the importer; Lib3dsLoad/N the same file.
//   WriteMeshes/N  N meshes of 10^4 triangles and 10^3 dummy nodes of 300
//               frames through the exporter; Lib3dsSaveMeshes/N the file
//               lib3ds read from ours, saved again.
//   WriteLights/F  100 spotlights and 100 cameras over F frames;
//               Lib3dsSaveLights/F likewise.
// Counters: the read's peak memory against the arrays of the scene it built.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "bench/benchscratch.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvekey.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

#ifdef ZEQ_HAVE_LIB3DS
#include <lib3ds/file.h>
#endif

using namespace zeqsdk_400;

namespace {

std::string Scratch(const std::string& name) { return zeqbench::ScratchPath(name); }

// Peak resident memory of the process so far, in bytes.
double PeakBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

// A file of `meshes` meshes: a grid of 60,000 vertices each, 59,800 faces in
// four smoothing groups, and a keyframer node per mesh with 300 keys per track.
const std::string& ReadFile(int meshes) {
    static std::map<int, std::string> made;
    auto found = made.find(meshes);
    if (found != made.end()) return found->second;
    const std::string path = Scratch("read" + std::to_string(meshes) + ".3ds");
    database3ds* db = nullptr;
    InitDatabase3ds(&db);
    CreateNewDatabase3ds(db, MeshFile3ds);
    const int columns = 300, rows = 200;  // 60,000 vertices
    const int faces = 2 * (columns - 1) * (rows / 2);  // quads on every other row: 59,800 triangles
    for (int m = 0; m < meshes; ++m) {
        mesh3ds* mesh = nullptr;
        InitMeshObj3ds(&mesh, static_cast<std::uint16_t>(columns * rows), static_cast<std::uint16_t>(faces),
                       InitVertexArray3ds | InitFaceArray3ds | InitSmoothArray3ds | InitTextArray3ds);
        const std::string name = "M" + std::to_string(m);
        CopyName3ds(mesh->name, sizeof(mesh->name), name.c_str());
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const int v = r * columns + c;
                mesh->vertices[v] = point3ds{static_cast<float>(c), static_cast<float>(r),
                                             static_cast<float>(std::sin(c * 0.1) * std::cos(r * 0.1))};
                mesh->texverts[v] = textvert3ds{c / float(columns), r / float(rows)};
            }
        int f = 0;
        for (int r = 0; r + 1 < rows; r += 2)
            for (int c = 0; c + 1 < columns; ++c) {
                const auto v = static_cast<std::uint16_t>(r * columns + c);
                const auto right = static_cast<std::uint16_t>(v + 1), up = static_cast<std::uint16_t>(v + columns);
                mesh->faces[f] = face3ds{v, right, static_cast<std::uint16_t>(up + 1), 7};
                mesh->smoothgroups[f++] = 1u << ((r / 50 + c / 75) % 4);
                mesh->faces[f] = face3ds{static_cast<std::uint16_t>(up + 1), up, v, 7};
                mesh->smoothgroups[f++] = 1u << ((r / 50 + c / 75) % 4);
            }
        const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
        std::copy(identity, identity + 12, mesh->localmatrix);
        PutMesh3ds(db, mesh);
        RelMeshObj3ds(&mesh);
        kfmesh3ds* node = nullptr;
        InitObjectMotion3ds(&node, 300, 300, 300, 0, 0);
        CopyName3ds(node->name, sizeof(node->name), name.c_str());
        for (std::uint32_t k = 0; k < 300; ++k) {
            node->pkeys[k].time = node->rkeys[k].time = node->skeys[k].time = k;
            node->pos[k] = point3ds{static_cast<float>(k), 0, static_cast<float>(m)};
            node->rot[k] = kfrotkey3ds{0.01f, 0, 0, 1};
            node->scale[k] = point3ds{1, 1, 1.0f + k * 0.001f};
        }
        PutObjectMotion3ds(db, node);
        ReleaseObjectMotion3ds(&node);
    }
    file3ds* file = OpenFile3ds(path.c_str(), "wb");
    WriteDatabase3ds(file, db);
    CloseFile3ds(file);
    ReleaseDatabase3ds(&db);
    ClearErrList3ds();
    return made.emplace(meshes, path).first->second;
}

void BM_Read(benchmark::State& state) {
    ZeqRegisterFormats();
    const std::string& path = ReadFile(static_cast<int>(state.range(0)));
    double sceneBytes = 0, peakGrowth = 0;
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        const double before = PeakBytes();
        KZeqImporter importer(manager);
        importer.Initialize(path.c_str());
        importer.SetFileFormat(KZeqImporter::e3D_STUDIO_3DS);
        KStreamOptions* options = importer.GetImportOptions();
        if (!importer.Import(*scene, options)) state.SkipWithError("read failed");
        options->Destroy();
        peakGrowth = PeakBytes() - before;
        sceneBytes = 0;
        for (int i = 0; i < manager.GetKZeqNodeCount(); ++i)
            if (KZeqMesh* mesh = manager.GetKZeqNode(i)->GetMesh())
                sceneBytes += mesh->GetControlPointsCount() * 64.0 + mesh->GetPolygonCount() * (12.0 + 3 * 4 + 3 * 4) +
                              mesh->GetPolygonCount() * 8.0 + 60000 * 16.0;
    }
    state.counters["scene_MB"] = sceneBytes / 1e6;
    // Peak growth is only seen on the first iteration (the peak of the process).
    state.counters["peak_growth_MB"] = peakGrowth / 1e6;
}
BENCHMARK(BM_Read)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

#ifdef ZEQ_HAVE_LIB3DS
void BM_Lib3dsLoad(benchmark::State& state) {
    const std::string& path = ReadFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Lib3dsFile* file = lib3ds_file_load(path.c_str());
        if (!file) state.SkipWithError("lib3ds failed");
        lib3ds_file_eval(file, 0.0f);
        benchmark::DoNotOptimize(file);
        lib3ds_file_free(file);
    }
}
BENCHMARK(BM_Lib3dsLoad)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

void LinearKeys(KFCurve* curve, int frames, double from, double to) {
    curve->KeyModifyBegin(2);
    curve->KeyGetPtr(0)->Set(KTime(0), static_cast<float>(from), KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
    curve->KeyGetPtr(1)->Set(KTime(static_cast<long long>(frames) * 1539538600LL), static_cast<float>(to),
                             KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
    curve->KeyModifyEnd(2);
}

KZeqTakeNode* Take(KZeqNode* node) {
    node->CreateTakeNode("Take 001");
    node->SetCurrentTakeNode("Take 001");
    return node->GetCurrentTakeNode();
}

// N meshes of 10^4 triangles (a 50 x 100 grid of quads) and 10^3 dummies of 300 frames.
void FillMeshScene(KZeqSdkManager& manager, KZeqScene& scene, int meshes) {
    for (int m = 0; m < meshes; ++m) {
        KZeqNode* node = manager.CreateKZeqNode(("Mesh" + std::to_string(m)).c_str());
        scene.GetRootNode()->AddChild(node);
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        const int columns = 101, rows = 51;
        mesh->InitControlPoints(columns * rows);
        for (int i = 0; i < columns * rows; ++i)
            mesh->GetControlPoints()[i] = KZeqVector4(i % columns, i / columns, m, 0);
        for (int r = 0; r + 1 < rows; ++r)
            for (int c = 0; c + 1 < columns; ++c) {
                mesh->BeginPolygon();
                for (int v : {r * columns + c, r * columns + c + 1, (r + 1) * columns + c + 1, (r + 1) * columns + c})
                    mesh->AddPolygon(v);
                mesh->EndPolygon();
            }
        node->SetNodeAttribute(mesh);
    }
    for (int d = 0; d < 1000; ++d) {
        KZeqNode* node = manager.CreateKZeqNode(("D" + std::to_string(d)).c_str());
        scene.GetRootNode()->AddChild(node);
        KZeqTakeNode* take = Take(node);
        LinearKeys(take->GetTranslationX(), 299, 0, d);
        LinearKeys(take->GetEulerRotationY(), 299, 0, 90);
    }
}

void FillLightScene(KZeqSdkManager& manager, KZeqScene& scene, int frames) {
    for (int i = 0; i < 100; ++i) {
        KZeqNode* spot = manager.CreateKZeqNode(("S" + std::to_string(i)).c_str());
        scene.GetRootNode()->AddChild(spot);
        KZeqLight* light = manager.CreateKZeqLight();
        light->SetLightType(KZeqLight::eSPOT);
        spot->SetNodeAttribute(light);
        KZeqTakeNode* take = Take(spot);
        LinearKeys(take->GetTranslationX(), frames, 0, 100);
        LinearKeys(take->GetEulerRotationX(), frames, 0, 180);
        LinearKeys(take->GetLightConeAngle(), frames, 30, 60);
        KZeqNode* node = manager.CreateKZeqNode(("C" + std::to_string(i)).c_str());
        scene.GetRootNode()->AddChild(node);
        node->SetNodeAttribute(manager.CreateKZeqCamera());
        take = Take(node);
        LinearKeys(take->GetTranslationY(), frames, 0, 100);
        LinearKeys(take->GetEulerRotationY(), frames, 0, 360);
        LinearKeys(take->GetCameraFieldOfView(), frames, 30, 60);
    }
}

template <void (*Fill)(KZeqSdkManager&, KZeqScene&, int)>
void BM_Write(benchmark::State& state) {
    ZeqRegisterFormats();
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    Fill(manager, *scene, static_cast<int>(state.range(0)));
    const std::string path = Scratch("write" + std::to_string(state.range(0)) + ".3ds");
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(KZeqExporter::e3D_STUDIO_3DS);
        if (!exporter.FileCreatePart1()) state.SkipWithError("no writer");
        KStreamOptions* options = exporter.GetExportOptions();
        if (!exporter.Export(*scene, options)) state.SkipWithError("write failed");
        options->Destroy();
    }
    state.counters["file_MB"] = static_cast<double>(zeqbench::FileSize(path)) / 1e6;
}
BENCHMARK_TEMPLATE(BM_Write, FillMeshScene)->Name("WriteMeshes")->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Write, FillLightScene)->Name("WriteLights")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

#ifdef ZEQ_HAVE_LIB3DS
// lib3ds saving what it read from our file of the same content.
template <void (*Fill)(KZeqSdkManager&, KZeqScene&, int)>
void BM_Lib3dsSave(benchmark::State& state) {
    ZeqRegisterFormats();
    const std::string ours = Scratch("ours" + std::to_string(state.range(0)) + ".3ds");
    {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        Fill(manager, *scene, static_cast<int>(state.range(0)));
        KZeqExporter exporter(manager);
        exporter.Initialize(ours.c_str());
        exporter.SetFileFormat(KZeqExporter::e3D_STUDIO_3DS);
        exporter.FileCreatePart1();
        KStreamOptions* options = exporter.GetExportOptions();
        exporter.Export(*scene, options);
        options->Destroy();
    }
    Lib3dsFile* file = lib3ds_file_load(ours.c_str());
    if (!file) {
        state.SkipWithError("lib3ds cannot load");
        return;
    }
    const std::string path = Scratch("lib3ds" + std::to_string(state.range(0)) + ".3ds");
    for (auto _ : state)
        if (!lib3ds_file_save(file, path.c_str())) state.SkipWithError("lib3ds save failed");
    lib3ds_file_free(file);
}
BENCHMARK_TEMPLATE(BM_Lib3dsSave, FillMeshScene)->Name("Lib3dsSaveMeshes")->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Lib3dsSave, FillLightScene)->Name("Lib3dsSaveLights")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
