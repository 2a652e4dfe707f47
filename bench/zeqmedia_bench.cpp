// An image of N MB embedded into a 5.8 binary file (one texture) and
// extracted again by the "Media" reader, beside a copy of the file made as
// the SDK copies one (synced, as the embedding file is).
// The counter "extraMB" is the growth of the process's peak resident size
// over the run: a streamed embedding and extraction keep it small.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "content/kzeqtexture.h"
#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqwriterzeq.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Scratch(const std::string& name) { return zeqbench::ScratchPath(name); }

// Kilobytes of the status line ("VmHWM" peak, "VmRSS" current).
long StatusKb(const char* key) {
    std::istringstream in(zeqbench::ReadFile("/proc/self/status"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(line.find(':') + 1));
    return 0;
}

std::string Image(int megabytes) {
    const std::string path = Scratch("image" + std::to_string(megabytes) + ".bin");
    if (FileExist(path.c_str())) return path;
    std::vector<char> chunk(1 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 7);
    zeqbench::WriteFileThrough(path, [&](std::FILE* out) {
        for (int i = 0; i < megabytes; ++i) std::fwrite(chunk.data(), 1, chunk.size(), out);
    });
    return path;
}

bool Embed(KZeqSdkManager& manager, const std::string& image, const std::string& path) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqTexture* texture = manager.CreateKZeqTexture("Big");
    texture->SetFileName(image.c_str());
    scene->GetEntity()->AddTexture(texture);
    KZeqExporter exporter(manager);
    KZeqWriterZeq writer(manager, exporter);
    KStreamOptionsZeq options;
    options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, true);
    const bool ok = writer.FileCreate(path.c_str()) && writer.Write(*scene, &options) && writer.FileClose();
    manager.DestroyKZeqScene(scene, true);
    return ok;
}

void BM_CopyFile(benchmark::State& state) {
    const std::string image = Image(static_cast<int>(state.range(0)));
    const std::string copy = Scratch("copy.bin");
    for (auto _ : state) {
        // The source read under the link rule, the copy replaced whole.
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> source(KOpenSourceFile(image.c_str()), &std::fclose);
        KFileReplacement replacement;
        if (!source || !replacement.Begin(copy.c_str()) || !replacement.CopyFrom(source.get()) ||
            !replacement.Commit())
            state.SkipWithError("copy failed");
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
}

void BM_EmbedMedia(benchmark::State& state) {
    const std::string image = Image(static_cast<int>(state.range(0)));
    const std::string path = Scratch("embedded.zeq");
    KZeqSdkManager manager;
    const long before = StatusKb("VmRSS");
    for (auto _ : state)
        if (!Embed(manager, image, path)) state.SkipWithError("embedding failed");
    state.counters["extraMB"] = static_cast<double>(StatusKb("VmHWM") - before) / 1024.0;
    state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
}

void BM_ExtractMedia(benchmark::State& state) {
    const std::string image = Image(static_cast<int>(state.range(0)));
    const std::string path = Scratch("extract.zeq");
    KZeqSdkManager manager;
    if (!Embed(manager, image, path)) return state.SkipWithError("embedding failed");
    KZeqScene* scene = manager.CreateKZeqScene();
    const long before = StatusKb("VmRSS");
    for (auto _ : state) {
        KZeqImporter importer(manager);
        KZeqReaderZeq reader(manager, importer);
        const bool ok = reader.FileOpen(path.c_str()) && reader.GetZeqObject()->ProjectOpenMainSection() &&
                        reader.ReadMedia(*scene);
        if (!ok) state.SkipWithError("extraction failed");
    }
    state.counters["extraMB"] = static_cast<double>(StatusKb("VmHWM") - before) / 1024.0;
    state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
}

}  // namespace

BENCHMARK(BM_CopyFile)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmbedMedia)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractMedia)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);
