// Host scene import into the stand-in: the material step (manual time) for n meshes with a material
// each, half of them textured, and the skin step (manual time) for a grid of about n vertices
// weighted by 50 joints at every vertex. The counters give the read and the whole pass.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/kzeqmatrix.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqskeleton.h"
#include "content/kzeqtexture.h"
#include "pluginimport_bench_support.h"
#include "scene/kzeqnode.h"
#include "titdependencygraph.h"

using namespace zeqsdk_400;
using namespace importbench;
using E = KZeqLayerElement;

namespace {

const char kBench[] = "pluginimportmaterials";

// The named step timed apart.
class OneStep : public TimedImport {
public:
    explicit OneStep(const char* step) : mTimed(step) {}
    double mStep = 0;

protected:
    void Timed(const std::string& name, double seconds) override {
        if (name == mTimed) mStep += seconds;
    }

private:
    std::string mTimed;
};

template <class Driver>
void Report(benchmark::State& state, const std::string& file, const char* step) {
    double read = 0, total = 0;
    for (auto _ : state) {
        Prepare();
        Driver driver(step);
        driver.OpenProject(TString(file.c_str()));
        driver.Run();
        read += driver.mRead;
        total += driver.mTotal;
        state.SetIterationTime(driver.mStep);
        if (!standin::faults().empty()) state.SkipWithError("host fault");
    }
    // What the step made, so that a fast step is not one that made nothing.
    int made = 0;
    for (TItDependencyNodes it(std::string(step) == "materials" ? TFn::kPhong : TFn::kSkinCluster); !it.isDone(); it.next()) ++made;
    state.counters["made"] = made;
    state.counters["read_s"] = read / static_cast<double>(state.iterations());
    state.counters["pass_s"] = total / static_cast<double>(state.iterations());
}

// n quads, each its own mesh with its own material; every other one with a texture of its own.
void BM_ImportMaterials(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = SceneFile(kBench, "materials" + std::to_string(n), [n](KZeqSdkManager& m, KZeqScene& s) {
        for (int i = 0; i < n; ++i) {
            const std::string id = std::to_string(i);
            KZeqNode* node = m.CreateKZeqNode(("quad" + id).c_str());
            KZeqMesh* mesh = m.CreateKZeqMesh();
            node->SetNodeAttribute(mesh);
            s.GetRootNode()->AddChild(node);
            mesh->InitControlPoints(4);
            for (int k = 0; k < 4; ++k) mesh->GetControlPoints()[k] = KZeqVector4(i + (k & 1), k / 2, 0, 1);
            mesh->BeginPolygon();
            for (int k : {0, 1, 3, 2}) mesh->AddPolygon(k);
            KZeqMaterial* material = m.CreateKZeqMaterial(("paint" + id).c_str());
            material->SetDiffuse(KZeqColor(0.5, 0.25, i % 100 / 100.0, 1));
            mesh->AddMaterial(material, 0);
            mesh->GetLayer(0)->GetMaterials()->SetMappingMode(E::eALL_SAME);
            mesh->GetLayer(0)->GetMaterials()->GetIndexArray().Add(0);
            if (i % 2) continue;
            KZeqTexture* texture = m.CreateKZeqTexture(("picture" + id).c_str());
            texture->SetFileName(("/textures/picture" + id + ".tif").c_str());
            mesh->AddTexture(texture, 0);
            mesh->GetLayer(0)->GetTextures()->SetMappingMode(E::eALL_SAME);
            mesh->GetLayer(0)->GetTextures()->GetIndexArray().Add(0);
        }
    });
    Report<OneStep>(state, file, "materials");
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ImportMaterials)->Arg(100)->Arg(1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// A grid of about n vertices weighted by 50 joints of a chain at every vertex.
void BM_ImportSkin(benchmark::State& state) {
    const int influences = 50;
    int side = 1;
    while ((side + 2) * (side + 2) <= state.range(0)) ++side;
    const int row = side + 1, points = row * row;
    const std::string file = SceneFile(kBench, "skin" + std::to_string(side), [=](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* parent = s.GetRootNode();
        std::vector<KZeqNode*> joints;
        for (int j = 0; j < influences; ++j) {
            KZeqNode* joint = m.CreateKZeqNode(("joint" + std::to_string(j)).c_str());
            KZeqSkeleton* skeleton = m.CreateKZeqSkeleton();
            joint->SetNodeAttribute(skeleton);
            skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
            parent->AddChild(joint);
            joints.push_back(parent = joint);
        }
        KZeqNode* node = m.CreateKZeqNode("skin");
        KZeqMesh* mesh = m.CreateKZeqMesh();
        node->SetNodeAttribute(mesh);
        s.GetRootNode()->AddChild(node);
        mesh->InitControlPoints(points);
        for (int i = 0; i < points; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i % row, i / row, 0, 1);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                mesh->BeginPolygon();
                for (int c : {y * row + x, y * row + x + 1, (y + 1) * row + x + 1, (y + 1) * row + x}) mesh->AddPolygon(c);
            }
        for (int j = 0; j < influences; ++j) {
            KZeqLink* link = m.CreateKZeqLink();
            link->SetLinkMode(KZeqLink::eNORMALIZE);
            link->SetLink(joints[static_cast<std::size_t>(j)]);
            for (int i = 0; i < points; ++i) link->AddControlPointIndex(i, 0.01 + (i + j) % 7 * 0.01);
            KZeqXMatrix bind;
            bind.SetT(KZeqVector4(0, j, 0, 1));
            link->SetTransformLinkMatrix(bind);
            mesh->AddLink(link);
        }
    });
    Report<OneStep>(state, file, "skin clusters");
    state.counters["vertices"] = points;
    state.counters["weights"] = static_cast<double>(points) * influences;
}
BENCHMARK(BM_ImportSkin)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
