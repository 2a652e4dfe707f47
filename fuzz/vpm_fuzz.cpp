// Puppeteer VPM files through the importer, and what reads written back.
//
// Input: a flag byte (the optical option on reading, the global-position
// option on writing: zeqfuzz::ReadAndWrite), then the file.
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its
// seeds there: the layouts the tests read.

#include <cstdint>
#include <string>

#include "fuzz/motion_fuzz_support.h"

namespace {

const char* const kChannels =
    "XTRAN\tYTRAN\tZTRAN\tXROT\tYROT\tZROT\tXSCALE\tYSCALE\tZSCALE\n"
    "INCHES\tINCHES\tINCHES\tDEGREES\tDEGREES\tDEGREES\tPERCENT\tPERCENT\tPERCENT\n";

std::string Segment(const std::string& name, int frames, const std::string& rows, const char* time = "0.04") {
    return "Segment:\t" + name + "\nFrames:\t" + std::to_string(frames) + "\nFrame Time:\t" + time + "\n" + kChannels + rows;
}

void WriteSeeds(const zeqsdk_400::KHeldFolder& dir) {
    const std::string row = "1 2 3 10 20 30 50 50 50\n";
    const std::string files[] = {
        Segment("Hips", 2, row + "2 2 3 11 20 30 100 100 100\n") + "\n  segment:\tleft hand\nFRAMES:\t1\nframe time:\t0.04\n" +
            kChannels + row,
        Segment("A", 3, row + row + row) + Segment("Empty", 0, "") + Segment("B", 2, row + row, "0.5"),
        Segment("A", 1, row) + Segment("B", 2, row + "1 2 3 4 5 6 x 8 9\n"),
        Segment("A", 1, row) + Segment("A", 1, row),
        Segment("Spine", 2, "10\t0\t0\t0\t0\t0\t100\t100\t100\n10\t0.393701\t0\t0\t0\t30\t100\t100\t100\n", "0.0333333"),
    };
    for (int i = 0; i < 5; ++i)
        zeqfuzz::Store(dir, "vpm" + std::to_string(i), std::string(1, i % 2 ? '\x01' : '\x02') + files[i]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const zeqsdk_400::KHeldFolder* seeds = zeqfuzz::SeedFolder()) WriteSeeds(*seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    using O = zeqsdk_400::KStreamOptionsMotion;
    const std::string path = zeqfuzz::Put("vpm-fuzz", "take.vpm", data + 1, size - 1);
    if (path.empty()) return 0;
    zeqfuzz::ReadAndWrite(path, zeqsdk_400::KZeqImporter::ePUPPETEER_VPM, zeqsdk_400::KZeqExporter::ePUPPETEER_VPM,
                          data[0], {O::eImportAsOpticalSegments}, {O::eExportFromGlobalPosition});
    return 0;
}
