// 3ds_fuzz: arbitrary bytes as a 3DS file through the importer's row; what
// reads is written back through the exporter's row.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/kzeqformats.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

const std::string& Dir() {
    static const std::string dir = [] {
        const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        const std::string path = std::string(shm) + "/zeq-3ds-fuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = (ZeqRegisterFormats(), true);
    (void)registered;
    const std::string input = Dir() + "/fuzz.3ds";
    if (FILE* file = std::fopen(input.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
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
    exporter.Initialize((Dir() + "/written.3ds").c_str());
    exporter.SetFileFormat(KZeqExporter::e3D_STUDIO_3DS);
    if (KStreamOptions* options = exporter.GetExportOptions()) {
        exporter.Export(*scene, options);
        options->Destroy();
    }
    return 0;
}
