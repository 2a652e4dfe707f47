// AOA and MCD files through the importer, and what reads written back.
//
// Input: a flag byte (bit 7: MCD rather than AOA; the others the options of
// zeqfuzz::ReadAndWrite), then the file.
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its
// seeds there: the layouts the tests read.

#include <cstdint>
#include <string>

#include "fuzz/motion_fuzz_support.h"

namespace {

void WriteSeeds(const zeqsdk_400::KHeldFolder& dir) {
    const char* files[] = {
        "frames = 2 markers = 3 Hz = 25\n1 2 3\n4 5 6\n7 8 9\n1.5 2 3\n0 0 0\n-0 0 0.0\n",
        "FRAMES = 1 MARKERS = 1 hz = 30\n0 0 0\n",
        "written by hand\nframes =\n1 markers = 1\nHz = 60\n1 2 3\n",
        "frames = 3 markers = 2 Hz = 50\n0 -2 300.5\n0 0.001 1e-07\n1.25 -2 300.5\n1 0.001 1e-07\n2.5 -2 300.5\n2 0.001 1e-07\n",
    };
    for (int i = 0; i < 4; ++i)
        zeqfuzz::Store(dir, "aoa" + std::to_string(i), std::string(1, i % 2 ? '\x83' : '\x07') + files[i]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const zeqsdk_400::KHeldFolder* seeds = zeqfuzz::SeedFolder()) WriteSeeds(*seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using namespace zeqsdk_400;
    const bool mcd = data[0] & 0x80;
    const std::string path = zeqfuzz::Put("aoa-fuzz", mcd ? "take.mcd" : "take.aoa", data + 1, size - 1);
    if (path.empty()) return 0;
    zeqfuzz::ReadAndWrite(path, mcd ? KZeqImporter::eSUPERFLUO_MCD : KZeqImporter::eADAPTIVE_OPTICS_AOA,
                          mcd ? KZeqExporter::eSUPERFLUO_MCD : KZeqExporter::eADAPTIVE_OPTICS_AOA, data[0],
                          zeqfuzz::MarkerReadOptions(), {KStreamOptionsMotion::eExportGapsAsValidData});
    return 0;
}
