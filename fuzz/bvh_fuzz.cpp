// BVH files through the importer's row (the reference node kept or
// dissolved), then, when one reads, its skeleton back out through the
// exporter's row: arbitrary bytes as the whole file.
//
// Seeds: the shared sample files (../shared/testdata/bvh), on a copy, since
// libFuzzer adds to its corpus directory.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "formats/kzeqformats.h"
#include "fuzz/fuzzscratch.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "bvh-fuzz";
std::string gOutput;

void Exercise(const std::string& path, bool keepReference) {
    std::unique_ptr<KZeqSdkManager> manager(KZeqSdkManager::CreateKZeqSdkManager());
    KZeqScene* scene = manager->CreateKZeqScene();
    KZeqImporter importer(*manager);
    importer.Initialize(path.c_str());
    importer.SetFileFormat(KZeqImporter::eBIOVISION_BVH);
    KStreamOptions* options = importer.GetImportOptions();
    if (!options) return;
    if (!keepReference)
        static_cast<KStreamOptionsMotion*>(options)->SetOption(KStreamOptionsMotion::eImportCreateReferenceNode,
                                                               KStreamOptionsMotion::eOff);
    const bool read = importer.Import(*scene, options);
    const int frames = static_cast<KStreamOptionsMotion*>(options)->GetFrameCount();
    importer.ReleaseImportOptions(options);
    if (!read) return;

    // The skeleton's root joint, below the reference node or not.
    KZeqNode* top = scene->GetRootNode()->GetChild(0);
    if (keepReference && top) top = top->GetChild(0);
    if (top) top->SetSelected(true);
    KZeqExporter exporter(*manager);
    exporter.Initialize(gOutput.c_str());
    exporter.SetFileFormat(KZeqExporter::eBIOVISION_BVH);
    KStreamOptions* write = exporter.GetExportOptions();
    if (!write) return;
    KStreamOptionsMotion* motion = static_cast<KStreamOptionsMotion*>(write);
    motion->SetFrameCount(std::min(frames, 8));
    motion->SetOption(KStreamOptionsMotion::eTranslation, (frames & 1) ? KStreamOptionsMotion::eOn
                                                                       : KStreamOptionsMotion::eOff);
    exporter.Export(*scene, write);
    exporter.ReleaseExportOptions(write);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gOutput = zeqfuzz::ScratchFolder(kScratch).PathOf("out.bvh");
    ZeqRegisterFormats();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = zeqfuzz::Put(kScratch, "in.bvh", data, size);
    if (input.empty()) return 0;
    // The input's length picks whether the reference node stays.
    Exercise(input, (size & 1) == 0);
    const KHeldFolder& scratch = zeqfuzz::ScratchFolder(kScratch).GetFolder();
    scratch.RemoveFile("in.bvh");
    scratch.RemoveFile("out.bvh");
    return 0;
}
