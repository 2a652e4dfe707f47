// The Acclaim rows on arbitrary text: the first byte chooses the import
// options (reference node, dummies, limits), the rest is an ASF file read
// into a fresh scene; a skeleton that reads is written back out as ASF.
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

constexpr const char* kScratch = "asf-fuzz";

KStreamOptionsMotion::EThreeStateOption Bit(std::uint8_t flags, int bit) {
    return (flags >> bit) & 1 ? KStreamOptionsMotion::eOn : KStreamOptionsMotion::eOff;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const std::string output = zeqfuzz::ScratchFolder(kScratch).PathOf("take-out.asf");
    ZeqRegisterFormats();
    const std::string input = zeqfuzz::Put(kScratch, "take.asf", data + 1, size - 1);
    if (input.empty()) return 0;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqImporter importer(manager);
    importer.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
    importer.Initialize(input.c_str());
    if (auto* options = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions())) {
        options->SetOption(KStreamOptionsMotion::eImportCreateReferenceNode, Bit(data[0], 0));
        options->SetOption(KStreamOptionsMotion::eImportDummyNodes, Bit(data[0], 1));
        options->SetOption(KStreamOptionsMotion::eImportLimits, Bit(data[0], 2));
        if (importer.Import(*scene, options) && scene->GetRootNode()->GetChildCount() == 1) {
            scene->GetRootNode()->GetChild(0)->SetSelected(true);
            KZeqExporter exporter(manager);
            exporter.SetFileFormat(KZeqExporter::eACCLAIM_ASF);
            if (exporter.Initialize(output.c_str())) {
                KStreamOptions* written = exporter.GetExportOptions();
                static_cast<KStreamOptionsMotion*>(written)->SetOption(KStreamOptionsMotion::eTranslation,
                                                                        Bit(data[0], 3));
                exporter.Export(*scene, written);
                written->Destroy();
            }
        }
        options->Destroy();
    }
    manager.DestroyKZeqScene(scene, true);
    return 0;
}
