// A 6.0 chain of null models read through the importer, its connections top-down, bottom-up in
// pairs, reversed or shuffled (arguments: depth, order). Each read must stay near n log n: a check
// for cycles that walks a whole ancestry or subtree per link made one order quadratic.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>

#include "bench/benchscratch.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "zeqchain_bench_support.h"
#include "zeqreadback_bench_support.h"

using namespace zeqsdk_400;
using namespace zeqchainbench;

namespace {

// The files of this run, written once each in the scratch folder (removed with it at exit).
class ChainFiles {
public:
    // "" when the file could not be written.
    std::string Get(int depth, int order) {
        std::string& path = mFiles[{depth, order}];
        if (!path.empty()) return path;
        const std::string candidate =
            zeqbench::ScratchPath("chain-" + std::to_string(depth) + "-" + std::to_string(order) + ".zeq");
        if (WriteChainFile(candidate, depth, order)) path = candidate;
        return path;
    }

private:
    std::map<std::pair<int, int>, std::string> mFiles;
};
ChainFiles gFiles;

void BM_ReadChain(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0)), order = static_cast<int>(state.range(1));
    state.SetLabel(ChainOrderName(order));
    zeqbench::ReadBack(state, gFiles.Get(depth, order), depth, [](KZeqScene& scene) {
        int levels = 0;
        for (KZeqNode* node = scene.GetRootNode(); node->GetChildCount() == 1; node = node->GetChild(0)) ++levels;
        return levels;
    });
}
BENCHMARK(BM_ReadChain)
    ->ArgsProduct({{1000, 10000, 30000, 100000}, {eTopDown, eBottomUpPairs, eReversed, eRandom}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
