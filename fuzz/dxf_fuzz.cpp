// dxf_fuzz: arbitrary text as a DXF file, read by layer, as blocks and per
// entity (the first byte chooses, welding on or off); what was read is then
// written back as DXF.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "formats/kzeqformats.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

const std::string& Path(const char* name) {
    static const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static std::string paths[2] = {dir + "/zeq-dxf-fuzz-" + std::to_string(getpid()) + ".dxf",
                                   dir + "/zeq-dxf-fuzz-" + std::to_string(getpid()) + "-written.dxf"};
    return paths[name[0] == 'w'];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = (ZeqRegisterFormats(), true);
    (void)registered;
    if (size == 0) return 0;
    const int choice = data[0];
    if (FILE* file = std::fopen(Path("in").c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, file);
        std::fclose(file);
    }
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    {
        KZeqImporter importer(manager);
        importer.Initialize(Path("in").c_str());
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
    exporter.Initialize(Path("written").c_str());
    exporter.SetFileFormat(KZeqExporter::eAUTOCAD_DXF);
    if (KStreamOptionsBase* options = static_cast<KStreamOptionsBase*>(exporter.GetExportOptions())) {
        options->SetOption(KStreamOptionsBase::eFORCE_TRIANGULATION, (choice / 6) % 2);
        exporter.Export(*scene, options);
        options->Destroy();
    }
    return 0;
}
