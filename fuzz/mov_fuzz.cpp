// Corvantis MOV files through the importer, and what reads written back.
//
// Input: a flag byte (the enabled groups and the optical option on reading,
// the groups on writing: zeqfuzz::ReadAndWrite), then the file.
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its
// seeds there: the layouts the tests read.

#include <cstdint>
#include <string>

#include "fuzz/motion_fuzz_support.h"

namespace {

void WriteSeeds(const zeqsdk_400::KHeldFolder& dir) {
    const char* files[] = {
        "0\t1\t2\t3\n\n0.04\t1\t2\t3\n0.08\t1\t2\t3\n",
        "0 1 2 3 10 20 30 4 5 6 40 50 60 99\n0.5 1 2 3 10 20 30 4\n",
        "1 1 2 3\n1.02 1 2 3\n1.02 4 5 6\n1.06 7 8 9\n",
        "0\t1\t-2.5\t0\t0\t-20\t45\t1\t2\t0.5\t\n0.04\t2\t-2.5\t0.125\t10\t-20\t45\t1\t2\t0.5\t\n",
        "time 1 2 3\n0 1 2 3\n",
    };
    for (int i = 0; i < 5; ++i) zeqfuzz::Store(dir, "mov" + std::to_string(i), std::string(1, '\xFF') + files[i]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const zeqsdk_400::KHeldFolder* seeds = zeqfuzz::SeedFolder()) WriteSeeds(*seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using O = zeqsdk_400::KStreamOptionsMotion;
    const std::string path = zeqfuzz::Put("mov-fuzz", "take.mov", data + 1, size - 1);
    if (path.empty()) return 0;
    zeqfuzz::ReadAndWrite(path, zeqsdk_400::KZeqImporter::eCORVANTIS_MOV, zeqsdk_400::KZeqExporter::eCORVANTIS_MOV,
                          data[0], {O::eTranslation, O::eRotation, O::eScaling, O::eImportAsOpticalSegments},
                          {O::eTranslation, O::eRotation, O::eScaling, O::eExportFromGlobalPosition});
    return 0;
}
