#include <benchmark/benchmark.h>

#include <memory>

#include "character/kzeqmarkerset.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// A marker set of count links spread over the 21 body parts; built once per size.
KZeqMarkerSet& MarkerSet(int count) {
    static KZeqSdkManager manager;
    static std::unique_ptr<KZeqMarkerSet> set;
    if (!set || set->GetMarkerSetLinkCount() != count) {
        set.reset(new KZeqMarkerSet(manager, "MarkerSet::bench"));
        KZeqMarkerSetLink link;
        for (int i = 0; i < count; ++i) set->AddMarkerSetLink(static_cast<EActorBodyPart>(i * 7 % 21), link);
    }
    return *set;
}

// Global to (part, local) and back for every link: the time per item is the
// cost of one lookup each way, which must not grow with the size.
void BM_MarkerSetLookupBothWays(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const KZeqMarkerSet& set = MarkerSet(count);
    for (auto _ : state) {
        long sum = 0;
        for (int g = 0; g < count; ++g) {
            EActorBodyPart part;
            int local = 0, global = 0;
            set.GetLocalFromGlobal(g, part, local);
            set.GetGlobalFromLocal(part, local, global);
            sum += global;
        }
        if (sum != static_cast<long>(count) * (count - 1) / 2) state.SkipWithError("lookups disagree");
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MarkerSetLookupBothWays)->Arg(1000)->Arg(100000);

void BM_MarkerSetAdd(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqMarkerSetLink link;
    for (auto _ : state) {
        KZeqMarkerSet set(manager, "MarkerSet::add");
        for (int i = 0; i < count; ++i) set.AddMarkerSetLink(static_cast<EActorBodyPart>(i % 21), link);
        benchmark::DoNotOptimize(set.GetMarkerSetLinkCount());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MarkerSetAdd)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
