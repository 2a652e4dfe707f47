// The import's animation through the stand-in: the animation pass over many keyed transforms, one
// long TCB curve resampled onto a host curve, the blend-shape targets of a big mesh, and a whole
// import of takes with layers and time warps.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurve.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "pluginimport_bench_support.h"
#include "scene/kzeqtakenode.h"
#include "standin.h"
#include "tfnanimcurve.h"
#include "tfndagnode.h"
#include "tfntransform.h"
#include "tunits.h"
#include "zeqlayered_bench_support.h"

using namespace zeqsdk_400;

namespace {

KTime At(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

// Keys at 1/30 s: user keys with slopes, and automatic ones on every third key.
void Fill(KFCurve& curve, int keys, unsigned tcbEvery = 0) {
    curve.KeyModifyBegin();
    for (int k = 0; k < keys; ++k) {
        KFCurveKey key;
        const float value = static_cast<float>((k % 7) * 0.5 - (k % 3));
        const bool tcb = tcbEvery && k % tcbEvery == 0;
        if (tcb)
            key.SetTCB(At(k / 30.0), value, 0, 0, 0);
        else
            key.Set(At(k / 30.0), value, KFCURVE_INTERPOLATION_CUBIC,
                    k % 3 ? KFCURVE_TANGEANT_USER : KFCURVE_TANGEANT_AUTO, 0.5f, -0.25f, KFCURVE_WEIGHTED_NONE,
                    1 / 3.0f, 1 / 3.0f, 0, 0);
        curve.KeyAdd(At(k / 30.0), key);
    }
    curve.KeyModifyEnd();
}

// n transforms under a root without host node, nine curves of 100 keys each; only the pass is
// timed (the scene and the host are rebuilt outside the clock).
void BM_AnimationPass(benchmark::State& state) {
    const int nodes = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        standin::reset();
        auto manager = std::make_unique<ZeqTuloSdkManager>(ZeqTuloSdkManager::eImport);
        ZeqTuloNode* root = manager->CreateZeqTuloNode("root", nullptr);
        for (int i = 0; i < nodes; ++i) {
            TFnTransform transform;
            transform.create();
            TDagPath path;
            transform.getPath(path);
            ZeqTuloNode* node = manager->CreateZeqTuloNode(("n" + std::to_string(i)).c_str(), &path);
            node->SetNodeAttribute(manager->CreateKZeqNull());
            root->AddChild(node);
            node->CreateTakeNode("Take 001");
            node->SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            for (KFCurve* curve : {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                                   take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                                   take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()})
                Fill(*curve, 100);
        }
        ZeqTuloImport import;
        state.ResumeTiming();
        import.ImportAnimation(*root);
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * nodes * 9 * 100);
}
BENCHMARK(BM_AnimationPass)->Arg(100)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One curve with TCB keys, resampled at 30 per second onto a new host curve.
void BM_ResampleTcbCurve(benchmark::State& state) {
    KFCurve curve;
    Fill(curve, static_cast<int>(state.range(0)), 2);
    ZeqTuloImport import;
    for (auto _ : state) {
        state.PauseTiming();
        standin::reset();
        TFnTransform transform;
        transform.create();
        TPlug plug = transform.findPlug("translateX");
        state.ResumeTiming();
        import.SetTuloCurve(plug, curve, TFnAnimCurve::kAnimCurveTL, 1.0, 1.0);
        state.PauseTiming();
        // A run stopped with an error may not resume its timing.
        if (TFnAnimCurve(plug).numKeys() != static_cast<unsigned>(state.range(0))) {
            state.SkipWithError("not sampled");
            break;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ResampleTcbCurve)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A grid mesh of (n + 1)^2 points with 50 shapes: targets copied and their points set.
void BM_BlendShapeTargets(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int shapes = 50;
    for (auto _ : state) {
        state.PauseTiming();
        standin::reset();
        TObject shape = standin::createGrid("grid", side, side);
        TDagPath path;
        TDagPath::getAPathTo(TFnDagNode(shape).parent(0), path);
        auto manager = std::make_unique<ZeqTuloSdkManager>(ZeqTuloSdkManager::eImport);
        ZeqTuloNode* node = manager->CreateZeqTuloNode("grid", &path);
        KZeqMesh* mesh = manager->CreateKZeqMesh();
        const int points = (side + 1) * (side + 1);
        mesh->InitControlPoints(points);
        node->SetNodeAttribute(mesh);
        for (int s = 0; s < shapes; ++s) {
            KZeqShape* target = manager->CreateKZeqShape();
            target->InitControlPoints(points);
            for (int p = 0; p < points; ++p) target->GetControlPoints()[p] = KZeqVector4(p % (side + 1), s, p / (side + 1), 1);
            mesh->AddShape(target, ("s" + std::to_string(s)).c_str());
        }
        ZeqTuloImport import;
        state.ResumeTiming();
        import.ImportShapeAnimation(*node);
        state.PauseTiming();
        // The last target's transform, named after its shape.
        if (standin::countMatches("s49") != 1) {
            state.SkipWithError("no targets");
            break;
        }
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * shapes * (side + 1) * (side + 1));
}
BENCHMARK(BM_BlendShapeTargets)->Arg(30)->Arg(315)->Iterations(1)->Unit(benchmark::kMillisecond);

// The whole import, read and bake included, of the layered file's nulls (zeqlayered_bench_support.h),
// each with a take of size frames holding layers and time warps (the file written once).
void BM_ImportLayeredTakes(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    const std::string file = importbench::Directory("pluginimportanim") + "layered" + std::to_string(frames) + ".zeq";
    if (!zeqlayeredbench::WriteLayeredFile(file, frames)) {
        state.SkipWithError("the file could not be written");
        return;
    }
    double read = 0;
    for (auto _ : state) {
        importbench::Prepare();
        importbench::TimedImport driver;
        driver.OpenProject(TString(file.c_str()));
        driver.SetTakeName("Take 001");
        driver.Run();
        read += driver.mRead;
        state.SetIterationTime(driver.mTotal);
        // The last null's translation baked onto a host curve: one key a frame at least.
        const std::string last = "n" + std::to_string(zeqlayeredbench::kLayeredModels - 1) + ".translateX";
        if (TFnAnimCurve(standin::plug(last)).numKeys() < static_cast<unsigned>(frames)) {
            state.SkipWithError("the take did not come baked");
            break;
        }
    }
    state.counters["read_s"] = read / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(zeqlayeredbench::kLayeredModels) * frames);
    zeqbench::RemoveFile(file);
}
BENCHMARK(BM_ImportLayeredTakes)->Arg(1000)->Arg(30000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
