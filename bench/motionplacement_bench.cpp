// The motion writers on skeletons of many joints, where the cost of placing each joint shows
// rather than that of its numbers: N joints keyed over a few frames, either all below one root
// (flat) or each below the one before (deep), plain (translation and keyed rotation) or with
// what sends the writers down the full transform and its messages (each joint with a joint
// orient as pre-rotation and a rotation pivot, the root scaled unevenly so that the joints
// turned below it are sheared). A write that places each joint once per frame grows as N,
// whatever the shape.
//   <Format>/deep:D/full:F/n:N   D 0 flat, 1 a chain; F 0 plain, 1 with the features.
// Each shape is run at 1x and 4x: flat 2,500 and 10,000 joints, deep 1,000 and 4,000; HTR and
// ASF/AMC, which refuse a skeleton deeper than 256, deep 64 and 256. A BVH file indents each
// joint by its depth: a deep chain's file grows as N squared in bytes, written a block at a time.

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "bench/motionskeleton_bench_support.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

constexpr int kFrames = 10;

// The root (selected, alone below the scene's root) and n joints below it, flat or chained,
// built from the leaves up so that attaching never walks a long line of parents. Small turns
// keep a deep chain's numbers ordinary.
void FillScene(KZeqSdkManager& manager, KZeqScene& scene, bool deep, bool full, int n) {
    KTime period;
    period.SetSecondDouble(1.0 / 60.0);
    std::vector<KZeqNode*> nodes;
    for (int j = 0; j <= n; ++j) {
        KZeqNode* node = motionskeletonbench::Joint(manager, j, j == 0);
        node->SetDefaultT(deep ? KZeqVector4(0.01 * (j % 3), 0.5, -0.01 * (j % 5), 0.0)
                               : KZeqVector4(j % 100, 8.0, j / 100, 0.0));
        if (full) {
            node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
            node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0.5 * (j % 7), -1.0, 1.5, 1.0));
            node->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0.1, 0.2, 0.3, 1.0));
            if (j == 0) node->SetDefaultS(KZeqVector4(1.5, 1.0, 1.0, 0.0));
        }
        motionskeletonbench::KeyRotation(*node, kFrames, period,
                                         [j](int f, int c) { return 2.0 * std::sin(0.1 * f + j + c); });
        nodes.push_back(node);
    }
    for (int j = n; j > 0; --j) nodes[deep ? j - 1 : 0]->AddChild(nodes[j]);
    scene.GetRootNode()->AddChild(nodes[0]);
    motionskeletonbench::UseTake(scene, kFrames, period);
}

// One export of the scene to path as format, with the options given (null: new ones).
bool Export(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path, int format,
            KStreamOptionsMotion* given, bool translation) {
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(format);
    KStreamOptions* options = given ? given : exporter.GetExportOptions();
    KStreamOptionsMotion* motion = static_cast<KStreamOptionsMotion*>(options);
    motion->SetTimeMode(KTime::eModeDefault, 60.0);
    motion->SetFrameCount(kFrames);
    if (translation) motion->SetOption(KStreamOptionsMotion::eTranslation, KStreamOptionsMotion::eOn);
    const bool written = exporter.Export(scene, options);
    if (!given) exporter.ReleaseExportOptions(options);
    return written;
}

// kTranslation: BVH with translation channels on every joint. ASF is written with AMC after it,
// as a user writes the pair.
template <int kFormat, bool kTranslation = false>
void BM_Written(benchmark::State& state) {
    ZeqRegisterFormats();
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    const int n = static_cast<int>(state.range(2));
    FillScene(manager, *scene, state.range(0) != 0, state.range(1) != 0, n);
    const std::string path = zeqbench::ScratchPath("written" + std::to_string(kFormat));
    const std::string amc = path + ".amc";
    for (auto _ : state) {
        if (kFormat == KZeqExporter::eACCLAIM_ASF) {
            // The AMC writer takes the skeleton the ASF writer left in the options.
            KZeqExporter asf(manager);
            asf.SetFileFormat(kFormat);
            KStreamOptions* options = asf.GetExportOptions();
            auto* motion = static_cast<KStreamOptionsMotion*>(options);
            const bool written = Export(manager, *scene, path, kFormat, motion, false) &&
                                 Export(manager, *scene, amc, KZeqExporter::eACCLAIM_AMC, motion, false);
            asf.ReleaseExportOptions(options);
            if (!written) state.SkipWithError("write failed");
        } else if (!Export(manager, *scene, path, kFormat, nullptr, kTranslation)) {
            state.SkipWithError("write failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
    zeqbench::RemoveFile(path);
    if (kFormat == KZeqExporter::eACCLAIM_ASF) zeqbench::RemoveFile(amc);
}

void Sizes(benchmark::internal::Benchmark* b, int deep1x) {
    b->ArgNames({"deep", "full", "n"});
    for (int full = 0; full < 2; ++full) {
        b->Args({0, full, 2500})->Args({0, full, 10000});
        b->Args({1, full, deep1x})->Args({1, full, 4 * deep1x});
    }
    b->Unit(benchmark::kMillisecond);
}
void AnyDepth(benchmark::internal::Benchmark* b) { Sizes(b, 1000); }
void Depth256(benchmark::internal::Benchmark* b) { Sizes(b, 64); }

BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eBIOVISION_BVH)->Name("Bvh")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eBIOVISION_BVH, true)->Name("BvhTranslation")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eMOTION_ANALYSIS_HTR)->Name("Htr")->Apply(Depth256);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eACCLAIM_ASF)->Name("AsfAmc")->Apply(Depth256);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eMOTION_ANALYSIS_TRC)->Name("Trc")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eVICON_C3D)->Name("C3d")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eADAPTIVE_OPTICS_AOA)->Name("Aoa")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eSUPERFLUO_MCD)->Name("Mcd")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::ePUPPETEER_VPM)->Name("Vpm")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eCORVANTIS_MOV)->Name("Mov")->Apply(AnyDepth);
BENCHMARK_TEMPLATE(BM_Written, KZeqExporter::eASCENSION_BRD)->Name("Brd")->Apply(AnyDepth);

}  // namespace
