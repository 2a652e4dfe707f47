// The geometry writers on scenes of many small meshes, where the cost of placing each node
// shows rather than that of its points: N tetrahedra, each with translation, rotation and
// uneven scaling, either all below the root (flat) or each below the one before (deep),
// with nothing but that (plain) or with a rotation pivot (full transform). Written by the OBJ,
// DXF and 3DS writers; a write that places each node once grows as N, whatever the shape.
//   Obj|Dxf|3ds/deep:D/pivots:P/n:N   D 0 flat, 1 a chain; P 0 plain, 1 with a rotation pivot.
// Each shape is run at 1x and 4x (flat 2,500 and 10,000 nodes, deep 1,000 and 4,000).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "content/kzeqmesh.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// A tetrahedron: little to write, so that placing its node shows.
void AddTetrahedron(KZeqSdkManager& manager, KZeqNode& node) {
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->InitControlPoints(4);
    const double corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 4; ++i)
        mesh->GetControlPoints()[i] = KZeqVector4(corners[i][0], corners[i][1], corners[i][2], 1.0);
    const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    for (const auto& face : faces) {
        mesh->BeginPolygon();
        for (int v : face) mesh->AddPolygon(v);
        mesh->EndPolygon();
    }
    node.SetNodeAttribute(mesh);
}

// n tetrahedra below the root, flat or chained; built from the leaves up, so that attaching never
// walks a long line of parents. Small turns and scales near one keep a deep chain finite.
void FillScene(KZeqSdkManager& manager, KZeqScene& scene, bool deep, bool pivots, int n) {
    std::vector<KZeqNode*> nodes;
    for (int i = 0; i < n; ++i) {
        KZeqNode* node = manager.CreateKZeqNode(("B" + std::to_string(i)).c_str());
        AddTetrahedron(manager, *node);
        node->SetDefaultT(KZeqVector4(deep ? 0.01 : i % 100, deep ? 0.02 : i / 100, 0.01 * (i % 7), 0));
        node->SetDefaultR(KZeqVector4(0.1 * (i % 11), 0.2 * (i % 5), 0.3 * (i % 3), 0));
        node->SetDefaultS(KZeqVector4(1.0 + 1e-4 * (i % 3), 1.0, 1.0 - 1e-4 * (i % 2), 0));
        if (pivots) {
            node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
            node->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0.1, 0.2, 0.3, 1.0));
        }
        nodes.push_back(node);
    }
    for (int i = n - 1; i >= 0; --i) (deep && i > 0 ? nodes[i - 1] : scene.GetRootNode())->AddChild(nodes[i]);
}

template <KZeqExporter::EFileFormat kFormat>
void BM_Placed(benchmark::State& state) {
    ZeqRegisterFormats();
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    const int n = static_cast<int>(state.range(2));
    FillScene(manager, *scene, state.range(0) != 0, state.range(1) != 0, n);
    const char* extension = kFormat == KZeqExporter::eVONEX_OBJ     ? ".obj"
                            : kFormat == KZeqExporter::eAUTOCAD_DXF ? ".dxf"
                                                                   : ".3ds";
    const std::string path = zeqbench::ScratchPath("placed" + std::to_string(n) + extension);
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(kFormat);
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options || !exporter.Export(*scene, options)) state.SkipWithError("write failed");
        if (options) options->Destroy();
    }
    state.SetItemsProcessed(state.iterations() * n);
    zeqbench::RemoveFile(path);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"deep", "pivots", "n"});
    for (int pivots = 0; pivots < 2; ++pivots) {
        b->Args({0, pivots, 2500})->Args({0, pivots, 10000});
        b->Args({1, pivots, 1000})->Args({1, pivots, 4000});
    }
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(BM_Placed, KZeqExporter::eVONEX_OBJ)->Name("Obj")->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Placed, KZeqExporter::eAUTOCAD_DXF)->Name("Dxf")->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_Placed, KZeqExporter::e3D_STUDIO_3DS)->Name("3ds")->Apply(Sizes);

}  // namespace
