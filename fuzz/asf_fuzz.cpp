// The Acclaim rows on arbitrary text: the first byte chooses the import
// options (reference node, dummies, limits), the rest is an ASF file read
// into a fresh scene; a skeleton that reads is written back out as ASF.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "formats/kzeqformats.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string TempPath(const char* extension) {
    return "/tmp/asf_fuzz_" + std::to_string(::getpid()) + extension;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

KStreamOptionsMotion::EThreeStateOption Bit(std::uint8_t flags, int bit) {
    return (flags >> bit) & 1 ? KStreamOptionsMotion::eOn : KStreamOptionsMotion::eOff;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const std::string input = TempPath(".asf");
    static const std::string output = TempPath("-out.asf");
    ZeqRegisterFormats();
    if (!WriteFile(input, data + 1, size - 1)) return 0;
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
