// dxf_fuzz: arbitrary text as a DXF file, read by layer, as blocks and per
// entity (the first byte chooses, welding on or off); what was read is then
// written back as DXF.
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

constexpr const char* kScratch = "zeq-dxf-fuzz";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = (ZeqRegisterFormats(), true);
    (void)registered;
    if (size == 0) return 0;
    const int choice = data[0];
    const std::string input = zeqfuzz::Put(kScratch, "fuzz.dxf", data + 1, size - 1);
    if (input.empty()) return 0;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    {
        KZeqImporter importer(manager);
        importer.Initialize(input.c_str());
        importer.SetFileFormat(KZeqImporter::eAUTOCAD_DXF);
        KStreamOptionsBase* options = static_cast<KStreamOptionsBase*>(importer.GetImportOptions());
        if (!options) return 0;
        options->SetOption(KStreamOptionsBase::eLAYER_BLOCK_ENTITY, choice % 3);
        options->SetOption(KStreamOptionsBase::eWELD_VERTICES, (choice / 3) % 2);
        const bool read = importer.Import(*scene, options);
        options->Destroy();
        if (!read) return 0;
    }
    KZeqExporter exporter(manager);
    exporter.Initialize(zeqfuzz::ScratchFolder(kScratch).PathOf("written.dxf").c_str());
    exporter.SetFileFormat(KZeqExporter::eAUTOCAD_DXF);
    if (KStreamOptionsBase* options = static_cast<KStreamOptionsBase*>(exporter.GetExportOptions())) {
        options->SetOption(KStreamOptionsBase::eFORCE_TRIANGULATION, (choice / 6) % 2);
        exporter.Export(*scene, options);
        options->Destroy();
    }
    return 0;
}
