#include <benchmark/benchmark.h>
#include <strings.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "io/kzeqpivotreplacement.h"
#include "io/kzeqpluginrenamingstrategy.h"
#include "scene/kzeqsdkmanager.h"

using zeqsdk_400::KName;
using zeqsdk_400::KZeqNode;
using zeqsdk_400::KZeqSdkManager;
using zeqsdk_400::KZeqVector4;

namespace {

// count host names of which a tenth clash with an earlier one: half of those
// exactly, half up to letter case.
std::vector<std::string> HostNames(int count) {
    std::mt19937 random(11);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        if (i < 10 || i % 10 != 0) {
            names.push_back("joint" + std::to_string(i));
            continue;
        }
        std::string earlier = names[random() % names.size()];
        if (i % 20 == 0) earlier[random() % 5] ^= 0x20;  // one letter of "joint" changes case
        names.push_back(earlier);
    }
    return names;
}

// The remembered names walked from the first for every name, as the strategy
// would without its indexes; only run on the small size to check the answers.
std::vector<std::string> RenameByWalk(const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, int>> records;
    std::vector<std::string> out;
    for (const std::string& s : names) {
        std::string renamed = s;
        for (auto& [name, count] : records) {
            if (name.size() != s.size() || strcasecmp(name.c_str(), s.c_str()) != 0) continue;
            if (name == s) {
                renamed = name + "_ncl1_" + std::to_string(++count);
            } else {
                unsigned upper = 0, lower = 0;
                for (std::size_t k = 0; k < name.size() && k < 32; ++k)
                    if (name[k] != s[k]) ((name[k] >= 'A' && name[k] <= 'Z') ? upper : lower) |= 1u << k;
                renamed = name + "_ncl2_" + (upper ? "ul" + std::to_string(int(upper)) : "") +
                          (lower ? "lu" + std::to_string(int(lower)) : "");
            }
            break;
        }
        records.push_back({renamed, 0});
        out.push_back(renamed);
    }
    return out;
}

// Renames every name with one strategy; the results go to out when given.
std::size_t RenameAll(const std::vector<std::string>& names, KZeqPluginRenamingStrategy::EMode mode,
                      std::vector<std::string>* out = nullptr) {
    KZeqPluginRenamingStrategy strategy(mode, false);
    std::size_t renamed = 0;
    KName name;
    for (const std::string& text : names) {
        name.SetInitialName(text.c_str());
        renamed += strategy.Rename(name);
        if (out) out->push_back(name.GetCurrentName());
    }
    return renamed;
}

std::vector<std::string> Renamed(const std::vector<std::string>& names, KZeqPluginRenamingStrategy::EMode mode) {
    std::vector<std::string> out;
    RenameAll(names, mode, &out);
    return out;
}

void BM_RenameToZeq(benchmark::State& state) {
    const std::vector<std::string> names = HostNames(static_cast<int>(state.range(0)));
    if (state.range(0) <= 10000 && Renamed(names, KZeqPluginRenamingStrategy::eToZeq) != RenameByWalk(names)) {
        state.SkipWithError("the indexed strategy answers differently from the walk");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(RenameAll(names, KZeqPluginRenamingStrategy::eToZeq));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RenameToZeq)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Reads the exported names back.
void BM_RenameFromZeq(benchmark::State& state) {
    const std::vector<std::string> names =
        Renamed(HostNames(static_cast<int>(state.range(0))), KZeqPluginRenamingStrategy::eToZeq);
    for (auto _ : state) benchmark::DoNotOptimize(RenameAll(names, KZeqPluginRenamingStrategy::eFromZeq));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RenameFromZeq)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// count nodes, ten children to a parent; every third carries a
// pre-rotation, every fifth a post-rotation. Pivots go out to nodes and are
// folded back in, the tree built anew (untimed) for each round.
void BM_PivotReplacement(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto manager = std::make_unique<KZeqSdkManager>();
        KZeqNode* root = manager->CreateKZeqNode("Root");
        std::vector<KZeqNode*> nodes{root};
        for (int i = 1; i <= count; ++i) {
            KZeqNode* node = manager->CreateKZeqNode(("n" + std::to_string(i)).c_str());
            nodes[static_cast<std::size_t>((i - 1) / 10)]->AddChild(node);
            if (i % 3 == 0) node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(10, 0, 0, 0));
            if (i % 5 == 0) node->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 10, 0, 0));
            nodes.push_back(node);
        }
        state.ResumeTiming();
        zeqsdk_400::ReplacePivotExport(root, KZeqNode::eSOURCE_SET, *manager);
        zeqsdk_400::ReplacePivotImport(root, KZeqNode::eSOURCE_SET, *manager);
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PivotReplacement)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
