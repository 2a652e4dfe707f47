// obj_fuzz: arbitrary text as an OBJ file; what follows a line "#MTL" is its
// material library "fuzz.mtl". mtl_fuzz: arbitrary text as the library of a
// fixed OBJ file that selects every name the text gives to "newmtl" (up to
// 16). Either way the scene read is then written back as OBJ.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio/kpath.h"
#include "formats/kzeqformats.h"
#include "fuzz/fuzzscratch.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "zeq-obj-fuzz";

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
#ifdef ZEQ_FUZZ_MTL
    const std::string text = ObjForLibrary(input), library = input;
#else
    const std::size_t split = input.find("\n#MTL\n");
    const std::string text = input.substr(0, split);
    const std::string library = split == std::string::npos ? std::string() : input.substr(split + 6);
#endif
    const std::string obj = zeqfuzz::Put(kScratch, "fuzz.obj", text);
    if (obj.empty() || zeqfuzz::Put(kScratch, "fuzz.mtl", library).empty()) return 0;
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
    const KScratchFolder& scratch = zeqfuzz::ScratchFolder(kScratch);
    KRemoveDirectory(scratch.PathOf("out").c_str());
    KZeqExporter exporter(manager);
    exporter.Initialize((scratch.PathOf("out") + "/written.obj").c_str());
    exporter.SetFileFormat(KZeqExporter::eVONEX_OBJ);
    if (KStreamOptions* options = exporter.GetExportOptions()) {
        exporter.Export(*scene, options);
        options->Destroy();
    }
    return 0;
}
