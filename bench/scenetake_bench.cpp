#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenodecontainer.h"

using namespace zeqsdk_400;

namespace {

void Fill(KFCurve* curve, int count, int offset, int step) {
    curve->KeyModifyBegin();
    for (int i = 0; i < count; ++i)
        curve->KeyAppendFast(KTime(static_cast<kLongLong>(offset + i * step) * 1000), 0.5f * i);
    curve->KeyModifyEnd();
}

// Three translation curves of n keys each at interleaved times (the union
// holds 3n times), rotated once per iteration.
void BM_AddRotationToTranslation(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto take = std::make_unique<KZeqTakeNode>("Take 001");
        KFCurveNode* t = take->GetKFCurveNode()->FindOrCreate("Transform", false)->FindOrCreate("T", false);
        const char* names[3] = {"X", "Y", "Z"};
        for (int k = 0; k < 3; ++k) Fill(t->FindOrCreate(names[k], true)->FCurveGet(), count, k, 3);
        state.ResumeTiming();
        benchmark::DoNotOptimize(take->AddRotationToTranslation(KZeqVector4(10, 20, 30, 0)));
        state.PauseTiming();
        take.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count * 3);
}
BENCHMARK(BM_AddRotationToTranslation)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// An object whose default take holds `channels` curves of 1000 keys.
class Animated : public KZeqTakeNodeContainer {
public:
    Animated(KZeqSdkManager& manager, int channels)
        : KZeqTakeNodeContainer(manager, "Model::A", &mError), mChannels(channels) {
        Init();
    }
    ENameSpace GetNameSpace() const override { return eModel; }
    void AddChannels(KZeqTakeNode* take) override {
        for (int c = 0; c < mChannels; ++c)
            Fill(take->GetKFCurveNode()->FindOrCreate(("C" + std::to_string(c)).c_str(), true)->FCurveGet(), 1000, 0,
                 1);
    }
    KError mError;
    int mChannels;
};

void BM_CreateTakeNode(benchmark::State& state) {
    KZeqSdkManager manager;
    Animated object(manager, static_cast<int>(state.range(0)));
    int serial = 0;
    for (auto _ : state) {
        const std::string name = "Take " + std::to_string(++serial);
        benchmark::DoNotOptimize(object.CreateTakeNode(name.c_str()));
        state.PauseTiming();
        object.RemoveTakeNode(1);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 1000);
}
BENCHMARK(BM_CreateTakeNode)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
