// C3D files through the importer, and what reads written back through the
// exporter (floats with flag bit 0x20, else integers).
//
// Input: a flag byte (the options of zeqfuzz::ReadAndWrite), then the file.
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its
// seeds there: cut copies of the shared C3D samples (when ZEQ_TESTDATA_DIR is
// set: their first frames, the header's last frame made to match) and files of
// the C3D writer in both forms.

#include <cstdint>
#include <string>

#include "formats/motion/marker/kzeqfilevicon.h"
#include "fuzz/motion_fuzz_support.h"
#include "scene/kzeqnode.h"

namespace {

constexpr const char* kScratch = "c3d-fuzz";

// A sample's header, parameters and first frames.
std::string Cut(const std::string& path, int frames) {
    zeqsdk_400::KZeqFileVicon file;
    int markers = 0, count = 0;
    zeqsdk_400::KTime start;
    double rate = 0.0, scale = 0.0;
    if (file.Open(path.c_str(), "rb") || !file.ReadHeader(markers, start, count, rate, scale)) return std::string();
    const bool integers = file.GetScaleFactor() >= 0.0f;
    const std::size_t frameBytes = static_cast<std::size_t>(markers) * (integers ? 8 : 16) +
                                   static_cast<std::size_t>(file.GetAnalogCount()) * (integers ? 2 : 4);
    std::string bytes = zeqfuzz::Load(path);
    bytes.resize(std::min(bytes.size(), static_cast<std::size_t>(file.GetDataStartBlock() - 1) * 512 + frameBytes * frames));
    const int last = file.GetFirstFrame() + frames - 1;
    const bool big = file.GetFileProcessorType() == zeqsdk_400::KViconLoaderBase::eMips;
    bytes[8] = static_cast<char>(big ? last >> 8 : last & 0xFF);
    bytes[9] = static_cast<char>(big ? last & 0xFF : last >> 8);
    return bytes;
}

void WriteSeeds(const zeqsdk_400::KHeldFolder& dir) {
    if (const char* samples = std::getenv("ZEQ_TESTDATA_DIR")) {
        for (const char* name : {"Eb015pi.c3d", "Eb015pr.c3d", "Eb015si.c3d", "Eb015sr.c3d", "Eb015vi.c3d",
                                 "Eb015vr.c3d", "HDM_dg_06-03_03_120.c3d", "basketball.c3d"}) {
            const std::string bytes = Cut(std::string(samples) + "/c3d/" + name, 4);
            if (!bytes.empty()) zeqfuzz::Store(dir, name, std::string(1, '\x05') + bytes);
        }
    }
    // Files of the writer: two markers over three frames, floats and integers.
    const std::string path = zeqfuzz::ScratchFolder(kScratch).PathOf("w.c3d");
    for (bool floats : {true, false}) {
        using namespace zeqsdk_400;
        KZeqFileVicon file;
        if (file.Open(path.c_str(), "wb")) continue;
        KArrayTemplate<KString*> names;
        KString a("Sub:A"), b("B");
        names.Add(&a), names.Add(&b);
        file.PrintHeader(2, KTime(), 3, 50.0, floats ? -1.0 : 1.0);
        file.PrintAnimationHeader(names);
        for (int f = 0; f < 3; ++f) {
            KZeqVector4 points[2] = {KZeqVector4(f, 2, 3, 0), KZeqVector4(-4, 5, 600, f == 1)};
            file.PrintAnimationFrame(points, 2, KTime(), f + 1);
        }
        file.PrintFooter();
        file.Close();
        const std::string flags(1, floats ? '\x07' : '\x20');
        zeqfuzz::Store(dir, floats ? "floats" : "integers", flags + zeqfuzz::Load(path));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const zeqsdk_400::KHeldFolder* seeds = zeqfuzz::SeedFolder()) WriteSeeds(*seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string path = zeqfuzz::Put(kScratch, "take.c3d", data + 1, size - 1);
    if (path.empty()) return 0;
    zeqfuzz::ReadAndWrite(path, zeqsdk_400::KZeqImporter::eVICON_C3D, zeqsdk_400::KZeqExporter::eVICON_C3D, data[0],
                          zeqfuzz::MarkerReadOptions(), {zeqsdk_400::KStreamOptionsMotion::eExportC3DRealFormat});
    return 0;
}
