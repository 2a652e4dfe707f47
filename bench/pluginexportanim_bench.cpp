// Host export: transform animation of many nodes, one long curve sampled, and the skin-cluster
// export of a big skin with many skinned shapes. Host scenes and Zeq nodes are made outside the
// timed part.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "plugin/export/zeqtulocurveconversion.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tfnanimcurve.h"
#include "tfnmesh.h"
#include "tfntransform.h"
#include "titdag.h"
#include "tunits.h"

namespace {

class BenchExport : public ZeqTuloExport {
public:
    using ZeqTuloExport::mRootNode;
    using ZeqTuloExport::mSdkManager;

    // A node for every host transform under its parent's node, a mesh attribute with the host's
    // vertex count for a mesh child, as the geometry walk gives them.
    void Mirror() {
        std::map<std::string, ZeqTuloNode*> nodes;
        for (TItDag it(TItDag::kDepthFirst, TFn::kTransform); !it.isDone(); it.next()) {
            TDagPath path;
            it.getPath(path);
            TDagPath above = path;
            above.pop(1);
            auto parent = nodes.find(above.length() ? above.fullPathName().asChar() : "");
            ZeqTuloNode* node = mSdkManager.CreateZeqTuloNode(TFnDependencyNode(path.node()).name().asChar(), &path);
            (parent == nodes.end() ? mRootNode : parent->second)->AddChild(node);
            nodes[path.fullPathName().asChar()] = node;
            zeqsdk_400::KZeqNodeAttribute* attribute = nullptr;
            for (unsigned i = 0; i < path.childCount() && !attribute; ++i) {
                if (!path.child(i).hasFn(TFn::kMesh)) continue;
                auto* mesh = mSdkManager.CreateKZeqMesh();
                mesh->InitControlPoints(TFnMesh(path.child(i)).numVertices());
                attribute = mesh;
                node->SetShapeIndex(static_cast<int>(i));
            }
            node->SetNodeAttribute(attribute ? attribute : mSdkManager.CreateKZeqNull());
        }
    }
};

void Quiet() {
    standin::reset();
    standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, TTime::kFilm);
    standin::resetSession();
    ZeqTuloUserParams::Instance()->Reset();
    ZeqTuloUserParams::Instance()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
}

// n transforms in chains of 10, each with nine channels of 100 smooth keys: the transform pass
// (pivots, limits, defaults, curves into "Take 001").
void BM_TransformAnimation(benchmark::State& state) {
    Quiet();
    const int count = static_cast<int>(state.range(0));
    static const char* const kChannels[9] = {"translateX", "translateY", "translateZ", "rotateX", "rotateY",
                                             "rotateZ",    "scaleX",     "scaleY",     "scaleZ"};
    TObject parent;
    for (int n = 0; n < count; ++n) {
        TObject t = standin::createNode("transform", "t" + std::to_string(n), n % 10 ? parent : TObject());
        parent = t;
        for (const char* channel : kChannels) {
            TFnAnimCurve curve;
            curve.create(TFnDependencyNode(t).findPlug(channel));
            for (int k = 0; k < 100; ++k)
                curve.addKey(TTime(k / 24.0, TTime::kSeconds), (k * 7 + n) % 13, TFnAnimCurve::kTangentSmooth,
                             TFnAnimCurve::kTangentSmooth);
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto exporter = std::make_unique<BenchExport>();
        exporter->Mirror();
        state.ResumeTiming();
        exporter->ExportTransform(*exporter->mRootNode);
        state.PauseTiming();
        exporter.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count * 9 * 100);
    standin::reset();
}
BENCHMARK(BM_TransformAnimation)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// One curve of n keys: smooth keys a frame apart at 30 per second, sampled (as by force) or copied
// key for key (mode 0 and 1); or keys unevenly spaced whose sides are of every kind in turn, linear
// before fixed, step, flat, smooth and clamped (mode 2), copied key for key.
void BM_LongCurve(benchmark::State& state) {
    Quiet();
    const int count = static_cast<int>(state.range(0));
    const bool sampled = state.range(1) == 1;
    const bool mixed = state.range(1) == 2;
    const int kinds[] = {TFnAnimCurve::kTangentLinear, TFnAnimCurve::kTangentFixed,  TFnAnimCurve::kTangentStep,
                         TFnAnimCurve::kTangentFlat,   TFnAnimCurve::kTangentSmooth, TFnAnimCurve::kTangentClamped};
    TFnAnimCurve host;
    host.create(TFnDependencyNode(standin::createNode("transform", "long")).findPlug("translateX"));
    for (int k = 0; k < count; ++k) {
        if (mixed)
            host.addKey(TTime(k / 30.0 + (k % 3) / 100.0, TTime::kSeconds), k % 17, kinds[k % 6], kinds[(k + 2) % 6]);
        else
            host.addKey(TTime(k / 30.0, TTime::kSeconds), k % 17, TFnAnimCurve::kTangentSmooth,
                        TFnAnimCurve::kTangentSmooth);
    }
    ZeqTuloCurveOptions options;
    for (auto _ : state) {
        zeqsdk_400::KFCurve curve;
        ZeqTuloSetFCurve(host, curve, sampled, 1.0, options);
        benchmark::DoNotOptimize(curve.KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * count);
    standin::reset();
}
BENCHMARK(BM_LongCurve)->ArgsProduct({{1000, 100000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

// A skin of about 10^5 vertices and 50 joints, and 200 small skins on the same joints, in a tree
// of n transforms: the skin-cluster export with its bind poses.
void BM_SmoothBinding(benchmark::State& state) {
    Quiet();
    const int nodes = static_cast<int>(state.range(0));
    std::vector<TObject> joints;
    TObject parent;
    for (int j = 0; j < 50; ++j) joints.push_back(parent = standin::createNode("joint", "j" + std::to_string(j), parent));
    TObject parentGroup;
    for (int n = 0; n < nodes; ++n)
        parentGroup = standin::createNode("transform", "g" + std::to_string(n), n % 20 ? parentGroup : TObject());
    TObject big = standin::createGrid("big", 315, 315);
    const int points = TFnMesh(big).numVertices();
    std::vector<std::vector<float>> weights(50, std::vector<float>(static_cast<std::size_t>(points), 0.0f));
    for (int p = 0; p < points; ++p) {
        weights[static_cast<std::size_t>(p % 50)][static_cast<std::size_t>(p)] = 0.6f;
        weights[static_cast<std::size_t>((p + 1) % 50)][static_cast<std::size_t>(p)] = 0.4f;
    }
    standin::createSkin("bigSkin", TObject(), big, joints, weights);
    for (int s = 0; s < 200; ++s) {
        TObject small = standin::createGrid("small" + std::to_string(s), 1, 1);
        std::vector<TObject> influences = {joints[static_cast<std::size_t>(s % 50)],
                                           joints[static_cast<std::size_t>((s + 7) % 50)]};
        standin::createSkin("smallSkin" + std::to_string(s), TObject(), small, influences,
                            {{1, 0.5f, 0, 0.25f}, {0, 0.5f, 1, 0.75f}});
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto exporter = std::make_unique<BenchExport>();
        exporter->Mirror();
        state.ResumeTiming();
        exporter->ExportSmoothBinding();
        state.PauseTiming();
        exporter.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(points) * 50);
    standin::reset();
}
BENCHMARK(BM_SmoothBinding)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
