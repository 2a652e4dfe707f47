// 3ds_fuzz: arbitrary bytes as a 3DS file through the importer's row; what
// reads is written back through the exporter's row.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/kzeqformats.h"
#include "fuzz/fuzzscratch.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "zeq-3ds-fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = (ZeqRegisterFormats(), true);
    (void)registered;
    const std::string input = zeqfuzz::Put(kScratch, "fuzz.3ds", data, size);
    if (input.empty()) return 0;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    {
        KZeqImporter importer(manager);
        importer.Initialize(input.c_str());
        importer.SetFileFormat(KZeqImporter::e3D_STUDIO_3DS);
        KStreamOptions* options = importer.GetImportOptions();
        if (!options) return 0;
        const bool read = importer.Import(*scene, options);
        options->Destroy();
        if (!read) return 0;
    }
    KZeqExporter exporter(manager);
    exporter.Initialize(zeqfuzz::ScratchFolder(kScratch).PathOf("written.3ds").c_str());
    exporter.SetFileFormat(KZeqExporter::e3D_STUDIO_3DS);
    if (KStreamOptions* options = exporter.GetExportOptions()) {
        exporter.Export(*scene, options);
        options->Destroy();
    }
    return 0;
}
