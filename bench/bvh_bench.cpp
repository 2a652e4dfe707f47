// BVH reading and writing against the cost of parsing the same numbers.
//
// The file: a skeleton of J joints (second argument: the root with six
// channels, J - 1 joints with three rotations over 7 limbs, 7 end sites), rows
// of 3J + 3 values written "%.4f" as motion capture exports do. BM_BvhFromChars is the floor: the file read into memory
// and every number of its rows parsed with std::from_chars. BM_BvhRead runs
// the importer into a new scene (keys, continuous rotations, the curve
// library's import filters, or without them);
// "bytes_per_key" is the heap the read scene holds per key. BM_BvhWrite
// writes that scene back; BM_BvhWriteFromGlobalPosition writes it from global
// position below a chain of nulls of the depth given.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "bench/benchscratch.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

int ValuesPerRow(int joints) { return 6 + 3 * (joints - 1); }

std::string ScratchPath(const std::string& name) { return zeqbench::ScratchPath(name); }

// Seven limbs from the root, joints - 1 joints in all, each limb ending in an end site.
std::string Hierarchy(int joints) {
    int limbs[7];
    for (int limb = 0; limb < 7; ++limb) limbs[limb] = (joints - 1) / 7 + (limb < (joints - 1) % 7 ? 1 : 0);
    std::string text = "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n  CHANNELS 6 Xposition Yposition Zposition "
                       "Zrotation Xrotation Yrotation\n";
    for (int limb = 0; limb < 7; ++limb) {
        std::string closing;
        for (int j = 0; j < limbs[limb]; ++j) {
            const std::string indent(static_cast<std::size_t>(2 * (j + 1)), ' ');
            char line[200];
            std::snprintf(line, sizeof(line),
                          "%sJOINT L%dJ%d\n%s{\n%s  OFFSET %.4f %.4f %.4f\n%s  CHANNELS 3 Zrotation Xrotation "
                          "Yrotation\n",
                          indent.c_str(), limb, j, indent.c_str(), indent.c_str(), 1.5 * limb - 4.0, 8.0 + j,
                          0.25 * j, indent.c_str());
            text += line;
            closing = indent + "}\n" + closing;
        }
        const std::string indent(static_cast<std::size_t>(2 * (limbs[limb] + 1)), ' ');
        text += indent + "End Site\n" + indent + "{\n" + indent + "  OFFSET 0 5 0\n" + indent + "}\n" + closing;
    }
    return text + "}\n";
}

// The files, made once per size in the scratch folder (removed with it when the program ends).
const std::string& File(int frames, int joints) {
    static std::map<std::pair<int, int>, std::string> files;
    auto found = files.find({frames, joints});
    if (found != files.end()) return found->second;
    const std::string path = ScratchPath(std::to_string(frames) + "x" + std::to_string(joints) + ".bvh");
    zeqbench::WriteFileThrough(path, [&](std::FILE* out) {
        std::fputs(Hierarchy(joints).c_str(), out);
        std::fprintf(out, "MOTION\nFrames: %d\nFrame Time: 0.0083333\n", frames);
        for (int f = 0; f < frames; ++f) {
            for (int v = 0; v < ValuesPerRow(joints); ++v) {
                const double value = v < 3 ? 50.0 * std::sin(0.01 * f + v) : 80.0 * std::sin(0.013 * f + 0.7 * v);
                std::fprintf(out, "%.4f ", value);
            }
            std::fputc('\n', out);
        }
    });
    return files.emplace(std::make_pair(frames, joints), path).first->second;
}

std::string Slurp(const std::string& path) { return zeqbench::ReadFile(path); }

void BM_BvhFromChars(benchmark::State& state) {
    const std::string& path = File(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    double sum = 0.0;
    std::size_t numbers = 0;
    for (auto _ : state) {
        const std::string text = Slurp(path);
        const char* p = text.data() + text.find("Frame Time:");
        p = std::strchr(p, '\n') + 1;
        const char* end = text.data() + text.size();
        numbers = 0;
        while (p < end) {
            while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t')) ++p;
            if (p == end) break;
            double value = 0.0;
            p = std::from_chars(p, end, value).ptr;
            sum += value;
            ++numbers;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.counters["numbers"] = static_cast<double>(numbers);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

bool Import(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path) {
    KZeqImporter importer(manager);
    importer.Initialize(path.c_str());
    importer.SetFileFormat(KZeqImporter::eBIOVISION_BVH);
    KStreamOptions* options = importer.GetImportOptions();
    const bool ok = options && importer.Import(scene, options);
    importer.ReleaseImportOptions(options);
    return ok;
}

int KeyCount(KZeqNode* node) {
    int keys = 0;
    for (int i = 0; i < node->GetChildCount(); ++i) keys += KeyCount(node->GetChild(i));
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    return keys + (take && take != node->GetDefaultTakeNode() ? take->GetKFCurveNode()->KeyGetCount(false) : 0);
}

// Third argument 1: the curve library's import filters as they are set by
// default (unroll, constant key reducer); 0: both off, the reader alone.
void BM_BvhRead(benchmark::State& state) {
    ZeqRegisterFormats();
    const std::string& path = File(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int savedFilter = KFCURVE_GetRotationFilterToApply();
    const bool savedReducer = KFCURVE_GetUseConstantKeyReducer();
    if (state.range(2) == 0) {
        KFCURVE_SetRotationFilterToApply(0);
        KFCURVE_SetUseConstantKeyReducer(false);
    }
    double bytesPerKey = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<KZeqSdkManager> manager(KZeqSdkManager::CreateKZeqSdkManager());
        KZeqScene* scene = manager->CreateKZeqScene();
        const std::size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        if (!Import(*manager, *scene, path)) state.SkipWithError("read failed");
        state.PauseTiming();
        const int keys = KeyCount(scene->GetRootNode());
        bytesPerKey = keys ? static_cast<double>(mallinfo2().uordblks - before) / keys : 0.0;
        manager.reset();
        state.ResumeTiming();
    }
    KFCURVE_SetRotationFilterToApply(savedFilter);
    KFCURVE_SetUseConstantKeyReducer(savedReducer);
    state.counters["bytes_per_key"] = bytesPerKey;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The scene written as BVH at 120 frames a second, from global position when asked.
bool Export(KZeqSdkManager& manager, KZeqScene& scene, const std::string& out, int frames, bool global) {
    KZeqExporter exporter(manager);
    exporter.Initialize(out.c_str());
    exporter.SetFileFormat(KZeqExporter::eBIOVISION_BVH);
    KStreamOptions* options = exporter.GetExportOptions();
    KStreamOptionsMotion* motion = static_cast<KStreamOptionsMotion*>(options);
    motion->SetTimeMode(KTime::eModeDefault, 120.0);
    motion->SetFrameCount(frames);
    if (global) motion->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
    const bool written = exporter.Export(scene, options);
    exporter.ReleaseExportOptions(options);
    return written;
}

void BM_BvhWrite(benchmark::State& state) {
    ZeqRegisterFormats();
    const int frames = static_cast<int>(state.range(0));
    std::unique_ptr<KZeqSdkManager> manager(KZeqSdkManager::CreateKZeqSdkManager());
    KZeqScene* scene = manager->CreateKZeqScene();
    if (!Import(*manager, *scene, File(frames, 31))) state.SkipWithError("read failed");
    scene->GetRootNode()->GetChild(0)->GetChild(0)->SetSelected(true);
    const std::string out = ScratchPath("written.bvh");
    for (auto _ : state)
        if (!Export(*manager, *scene, out, frames, false)) state.SkipWithError("write failed");
    zeqbench::RemoveFile(out);
    state.SetItemsProcessed(state.iterations() * frames);
}

// From global position, the skeleton of a 300-frame file below a chain of nulls (first
// argument: its depth): each frame's globals are worked out down the whole chain.
void BM_BvhWriteFromGlobalPosition(benchmark::State& state) {
    ZeqRegisterFormats();
    constexpr int kFrames = 300;
    std::unique_ptr<KZeqSdkManager> manager(KZeqSdkManager::CreateKZeqSdkManager());
    KZeqScene* scene = manager->CreateKZeqScene();
    if (!Import(*manager, *scene, File(kFrames, 31))) state.SkipWithError("read failed");
    KZeqNode* root = scene->GetRootNode();
    KZeqNode* below = root->GetChild(0);
    below->GetChild(0)->SetSelected(true);
    root->RemoveChild(below);
    for (int level = 0; level < state.range(0); ++level) {
        KZeqNode* node = manager->CreateKZeqNode(("level" + std::to_string(level)).c_str());
        node->SetDefaultT(KZeqVector4(1, 0, 0, 0));
        node->AddChild(below);
        below = node;
    }
    root->AddChild(below);
    const std::string out = ScratchPath("global.bvh");
    for (auto _ : state)
        if (!Export(*manager, *scene, out, kFrames, true)) state.SkipWithError("write failed");
    zeqbench::RemoveFile(out);
    state.SetItemsProcessed(state.iterations() * kFrames);
}

}  // namespace

BENCHMARK(BM_BvhWriteFromGlobalPosition)->Arg(1)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BvhFromChars)->ArgsProduct({{10000, 100000}, {31, 60}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BvhRead)->ArgsProduct({{10000, 100000}, {31, 60}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BvhWrite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
