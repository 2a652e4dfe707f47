// Host scene import into the stand-in: the pass's own time beside the importer's read (manual time
// is the pass without the read; the read is the counter read_s), for many nulls in namespaces and
// for one big mesh with two UV layers; and the bind-pose steps on many joints.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>

#include "base/klib.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "standin.h"

using namespace zeqsdk_400;
using Clock = std::chrono::steady_clock;
using E = KZeqLayerElement;

namespace {

std::string Directory() {
    static const std::string directory = [] {
        std::string d = "/tmp/bench_pluginimport_" + std::to_string(getpid()) + "/";
        std::system(("mkdir -p '" + d + "'").c_str());
        KLib_SetMasterDirectory(d.c_str());
        return d;
    }();
    return directory;
}

// Written once per kind and size.
template <class Build>
std::string SceneFile(const std::string& name, Build build) {
    static std::map<std::string, std::string> files;
    auto found = files.find(name);
    if (found != files.end()) return found->second;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    build(manager, *scene);
    const std::string path = Directory() + name + ".zeq";
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    KStreamOptionsZeq options;
    exporter.SetExportOptionsInfo(&options);
    if (!exporter.Export(*scene)) std::abort();
    return files[name] = path;
}

// The steps of the pass, the read and the bind-pose steps timed apart.
class TimedImport : public ZeqTuloImport {
public:
    double mRead = 0, mBindPoses = 0, mTotal = 0;
    std::map<std::string, double> mSteps;
    void Run() {
        for (int i = 0; i < kImportStepCount; ++i) {
            const ImportStep& step = kImportSteps[i];
            const auto start = Clock::now();
            if ((this->*step.mRun)() == eStepFail) std::abort();
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            mTotal += seconds;
            mSteps[step.mName] += seconds;
            const std::string name = step.mName;
            if (name == "read the file") mRead += seconds;
            if (name == "apply bind poses" || name == "restore bind poses") mBindPoses += seconds;
        }
    }
};

void Prepare() {
    standin::reset();
    standin::takeFaults();
    ZeqTuloUserParams::Instance()->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    ZeqTuloUserParams::Instance()->SetImportType(KZeqUserParams::kCreate);
}

// n nulls in ten namespaces, ten to a parent.
void BM_ImportNulls(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = SceneFile("nulls" + std::to_string(n), [n](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNode* parent = nullptr;
        for (int i = 0; i < n; ++i) {
            KZeqNode* node = m.CreateKZeqNode(("ns" + std::to_string(i % 10) + ":null" + std::to_string(i)).c_str());
            node->SetNodeAttribute(m.CreateKZeqNull());
            (i % 10 == 0 || !parent ? s.GetRootNode() : parent)->AddChild(node);
            if (i % 10 == 0) parent = node;
        }
    });
    double read = 0;
    for (auto _ : state) {
        Prepare();
        TimedImport driver;
        driver.OpenProject(TString(file.c_str()));
        driver.Run();
        read += driver.mRead;
        state.SetIterationTime(driver.mTotal - driver.mRead);
        if (std::getenv("BENCH_STEPS"))
            for (const auto& step : driver.mSteps)
                if (step.second > 0.05) state.counters[step.first] = step.second;
    }
    state.counters["read_s"] = read / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ImportNulls)->Arg(1000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// One mesh of about n vertices (a grid of quads) with two UV layers through indices.
void BM_ImportMesh(benchmark::State& state) {
    int side = 1;
    while ((side + 2) * (side + 2) <= state.range(0)) ++side;
    const int row = side + 1;
    const std::string file = SceneFile("mesh" + std::to_string(side), [side, row](KZeqSdkManager& m, KZeqScene& s) {
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
    double read = 0;
    for (auto _ : state) {
        Prepare();
        TimedImport driver;
        driver.OpenProject(TString(file.c_str()));
        driver.Run();
        read += driver.mRead;
        state.SetIterationTime(driver.mTotal - driver.mRead);
    }
    state.counters["read_s"] = read / static_cast<double>(state.iterations());
    state.counters["vertices"] = row * row;
}
BENCHMARK(BM_ImportMesh)->Arg(10000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// n joints in chains of 100, every one in the bind pose; only the two bind-pose steps are timed.
void BM_BindPose(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string file = SceneFile("joints" + std::to_string(n), [n](KZeqSdkManager& m, KZeqScene& s) {
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
        TimedImport driver;
        driver.OpenProject(TString(file.c_str()));
        driver.Run();
        state.SetIterationTime(driver.mBindPoses);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BindPose)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
