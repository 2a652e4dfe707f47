// Ascension BRD files through the importer, and what reads written back.
//
// Input: a flag byte (the carry-over and optical options on reading, gaps as
// data and the global-position option on writing: zeqfuzz::ReadAndWrite),
// then the file.
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its
// seeds there: the layouts the tests read.

#include <cstdint>
#include <string>

#include "fuzz/motion_fuzz_support.h"

namespace {

void WriteSeeds(const zeqsdk_400::KHeldFolder& dir) {
    const char* files[] = {
        "130\t1\tP\t30\t2\t3\tQ\t0\t0\t0\t1\t11\t0\n100\t1\tP\t0\t2\t3\tQ\t0\t0\t0\t1\t10\t0\n"
        "101\t1\tP\t1\t2\t3\tQ\t0\t0\t0\t1\t10\t1000\n",
        "5 7 P 50 2 3 Q 0 0 0 1 0 0\n3 7 P 30 2 3 Q 0 0 0 1 0 0\n3 2 P 1 2 3 Q 0 0 0 1 0 0\n"
        "3 7 P 33 2 3 Q 0 0 0 1 0 0\n6 2 P 6 2 3 Q 0 0 0 1 0 0\n",
        "0 0 P0 2 3 Q0 0 0.7071068 0.7071068 0 0\n1 0 P 0 2 3 Q 0 0 0 0 0 0 extra\n",
        "0\t0\tP\t0\t0\t0\tQ\t0\t0\t0\t1\t2\t500000\n1\t0\tP\t0\t0\t0\tQ\t0\t0\t0\t1\t2\t533333\n",
        "",
    };
    for (int i = 0; i < 5; ++i)
        zeqfuzz::Store(dir, "brd" + std::to_string(i), std::string(1, static_cast<char>(i * 5)) + files[i]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const zeqsdk_400::KHeldFolder* seeds = zeqfuzz::SeedFolder()) WriteSeeds(*seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using O = zeqsdk_400::KStreamOptionsMotion;
    const std::string path = zeqfuzz::Put("brd-fuzz", "take.brd", data + 1, size - 1);
    if (path.empty()) return 0;
    zeqfuzz::ReadAndWrite(path, zeqsdk_400::KZeqImporter::eASCENSION_BRD, zeqsdk_400::KZeqExporter::eASCENSION_BRD,
                          data[0], {O::eImportSetOccludedToLastValidPosition, O::eImportAsOpticalSegments},
                          {O::eExportGapsAsValidData, O::eExportFromGlobalPosition});
    return 0;
}
