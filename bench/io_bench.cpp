#include <benchmark/benchmark.h>
#include <strings.h>

#include <random>
#include <string>
#include <vector>

#include "io/kzeqpluginrenamingstrategy.h"

using zeqsdk_400::KName;

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

}  // namespace
