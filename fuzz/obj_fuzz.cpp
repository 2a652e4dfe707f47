// obj_fuzz: arbitrary text as an OBJ file; what follows a line "#MTL" is its
// material library "fuzz.mtl". mtl_fuzz: arbitrary text as the library of a
// fixed OBJ file that selects every name the text gives to "newmtl" (up to
// 16). Either way the scene read is then written back as OBJ.
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
        const std::string path = std::string(shm) + "/zeq-obj-fuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

void Put(const std::string& path, const std::string& text) {
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

#ifdef ZEQ_FUZZ_MTL
// The fixed OBJ of mtl_fuzz: a textured triangle and a face per library name.
std::string ObjForLibrary(const std::string& library) {
    std::string obj = "mtllib fuzz.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 1\n";
    std::size_t at = 0;
    for (int names = 0; names < 16 && (at = library.find("newmtl", at)) != std::string::npos; ++names) {
        at += 6;
        std::size_t end = library.find_first_of("\r\n", at);
        obj += "usemtl" + library.substr(at, end == std::string::npos ? std::string::npos : end - at) +
               "\nf 1/1 2/2 3/1\n";
    }
    return obj;
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = (ZeqRegisterFormats(), true);
    (void)registered;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string obj = Dir() + "/fuzz.obj", mtl = Dir() + "/fuzz.mtl";
#ifdef ZEQ_FUZZ_MTL
    Put(mtl, input);
    Put(obj, ObjForLibrary(input));
#else
    const std::size_t split = input.find("\n#MTL\n");
    Put(obj, input.substr(0, split));
    Put(mtl, split == std::string::npos ? std::string() : input.substr(split + 6));
#endif
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    {
        KZeqImporter importer(manager);
        importer.Initialize(obj.c_str());
        importer.SetFileFormat(KZeqImporter::eVONEX_OBJ);
        KStreamOptions* options = importer.GetImportOptions();
        if (!options) return 0;
        const bool read = importer.Import(*scene, options);
        options->Destroy();
        if (!read) return 0;
    }
    // Textures are copied beside the written file: start empty each time.
    std::error_code error;
    std::filesystem::remove_all(Dir() + "/out", error);
    KZeqExporter exporter(manager);
    exporter.Initialize((Dir() + "/out/written.obj").c_str());
    exporter.SetFileFormat(KZeqExporter::eVONEX_OBJ);
    if (KStreamOptions* options = exporter.GetExportOptions()) {
        exporter.Export(*scene, options);
        options->Destroy();
    }
    return 0;
}
