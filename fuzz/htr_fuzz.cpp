// The HTR row on arbitrary text: the first byte chooses the reference node
// option, the rest is the file, read into a fresh scene over the frame count
// its header states; a skeleton that reads is written back out.
#include <cstddef>
#include <cstdint>
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

constexpr const char* kScratch = "htr-fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const std::string output = zeqfuzz::ScratchFolder(kScratch).PathOf("take-out.htr");
    ZeqRegisterFormats();
    const std::string input = zeqfuzz::Put(kScratch, "take.htr", data + 1, size - 1);
    if (input.empty()) return 0;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqImporter importer(manager);
    importer.SetFileFormat(KZeqImporter::eMOTION_ANALYSIS_HTR);
    importer.Initialize(input.c_str());
    auto* options = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions());
    if (!options) options = KStreamOptionsMotionCreate();
    options->SetOption(KStreamOptionsMotion::eImportCreateReferenceNode,
                       data[0] & 1 ? KStreamOptionsMotion::eOn : KStreamOptionsMotion::eOff);
    if (options->GetFrameCount() > 64) options->SetFrameCount(64);
    if (importer.Import(*scene, options) && scene->GetRootNode()->GetChildCount() == 1) {
        KZeqNode* top = scene->GetRootNode()->GetChild(0);
        if (top->GetChildCount() == 1 && (data[0] & 1)) top = top->GetChild(0);
        top->SetSelected(true);
        KZeqExporter exporter(manager);
        exporter.SetFileFormat(KZeqExporter::eMOTION_ANALYSIS_HTR);
        if (exporter.Initialize(output.c_str())) exporter.Export(*scene, options);
    }
    options->Destroy();
    manager.DestroyKZeqScene(scene, true);
    return 0;
}
