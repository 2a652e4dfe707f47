// A NURBS surface of 10 N control points skinned by ten links of N weights
// each, with one shape that moves every point: written and read back as a
// binary Zeq file by each writer, against the same arrays (points, ten index
// and weight lists, shape indices and offsets) written and read as
// typed-array fields with the field file alone.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "content/kzeqlink.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

constexpr int kLinks = 10;

std::string Scratch(const char* name) { return zeqbench::ScratchPath(std::string("skin") + name); }

// The surface is (N / 100) x 1000 points.
KZeqScene* MakeScene(KZeqSdkManager& manager, int n) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->SetOrder(4, 4);
    nurb->InitControlPoints(std::max(1, n / 100), KZeqNurb::eOPEN, 1000, KZeqNurb::eOPEN);
    const int count = nurb->GetControlPointsCount();
    for (int i = 0; i < count; ++i) nurb->GetControlPoints()[i] = KZeqVector4(i % 1000, i / 1000, 0.5 * i, 1.0);
    KZeqNode* surface = manager.CreateKZeqNode("Surface");
    surface->SetNodeAttribute(nurb);
    scene->GetRootNode()->AddChild(surface);
    for (int l = 0; l < kLinks; ++l) {
        KZeqNode* bone = manager.CreateKZeqNode(("Bone" + std::to_string(l)).c_str());
        bone->SetNodeAttribute(manager.CreateKZeqNull());
        scene->GetRootNode()->AddChild(bone);
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLink(bone);
        for (int i = 0; i < n; ++i) link->AddControlPointIndex((i * kLinks + l) % count, 1.0 / (1 + i % 7));
        nurb->AddLink(link);
    }
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(count);
    for (int i = 0; i < count; ++i) shape->GetControlPoints()[i] = KZeqVector4(i % 1000, i / 1000 + 1.0, 0.5 * i, 1.0);
    nurb->AddShape(shape, "Shape 01");
    return scene;
}

void ThroughWriter(benchmark::State& state, int row) {
    const int n = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqScene* scene = MakeScene(manager, n);
    const std::string path = Scratch(row == 0 ? "-60.zeq" : "-58.zeq");
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(row);
        KZeqImporter importer(manager);
        KZeqScene* read = manager.CreateKZeqScene();
        if (!exporter.Export(*scene) || !importer.Initialize(path.c_str()) || !importer.Import(*read))
            state.SkipWithError("round trip failed");
        KZeqNode* surface = read->GetRootNode()->FindChild("Surface");
        if (!surface || !surface->GetNurb() || surface->GetNurb()->GetLinkCount() != kLinks ||
            surface->GetNurb()->GetShapeCount() != 1)
            state.SkipWithError("scene not read back");
        manager.DestroyKZeqScene(read);
    }
    zeqbench::RemoveFile(path);
}

// Binary rows: 0 is the 6.0 writer, 3 the 5.8 one.
void BM_Zeq60(benchmark::State& state) { ThroughWriter(state, 0); }
void BM_Zeq58(benchmark::State& state) { ThroughWriter(state, 3); }

void BM_FieldFileArrays(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int count = std::max(1, n / 100) * 1000;
    std::vector<double> points(static_cast<std::size_t>(count) * 4, 1.5),
        offsets(static_cast<std::size_t>(count) * 3, 1.0);
    std::vector<double> weights(static_cast<std::size_t>(n), 0.5);
    std::vector<int> indices(static_cast<std::size_t>(n), 3), shapeIndices(static_cast<std::size_t>(count), 2);
    const std::string path = Scratch("-plain.zeq");
    for (auto _ : state) {
        {
            KZeq file;
            file.ProjectCreate(path.c_str(), true, false);
            file.FieldWriteBegin("Points"), file.FieldWriteDn(points.data(), count * 4), file.FieldWriteEnd();
            for (int l = 0; l < kLinks; ++l) {
                file.FieldWriteBegin("Indexes"), file.FieldWriteIn(indices.data(), n), file.FieldWriteEnd();
                file.FieldWriteBegin("Weights"), file.FieldWriteDn(weights.data(), n), file.FieldWriteEnd();
            }
            file.FieldWriteBegin("Indexes"), file.FieldWriteIn(shapeIndices.data(), count), file.FieldWriteEnd();
            file.FieldWriteBegin("Vertices"), file.FieldWriteDn(offsets.data(), count * 3), file.FieldWriteEnd();
            file.ProjectClose();
        }
        KZeq file;
        file.ProjectOpen(path.c_str(), true, true);
        file.FieldReadBegin("Points"), file.FieldReadDn(points.data(), count * 4), file.FieldReadEnd();
        for (int l = 0; l < kLinks; ++l) {
            file.FieldReadBegin("Indexes"), file.FieldReadIn(indices.data(), n), file.FieldReadEnd();
            file.FieldReadBegin("Weights"), file.FieldReadDn(weights.data(), n), file.FieldReadEnd();
        }
        file.FieldReadBegin("Indexes"), file.FieldReadIn(shapeIndices.data(), count), file.FieldReadEnd();
        file.FieldReadBegin("Vertices"), file.FieldReadDn(offsets.data(), count * 3), file.FieldReadEnd();
        file.ProjectClose();
        benchmark::DoNotOptimize(offsets.data());
    }
    zeqbench::RemoveFile(path);
}

}  // namespace

BENCHMARK(BM_FieldFileArrays)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zeq60)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zeq58)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
