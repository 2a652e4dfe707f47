// TRC files through the importer, with a ".tc" time-code file beside them, and
// what reads written back through the exporter.
//
// Input: a flag byte (the options of zeqfuzz::ReadAndWrite), a length byte L,
// L bytes of the ".tc" file (none when L is 0), then the TRC file.
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its
// seeds there: cut copies of the shared TRC samples (when ZEQ_TESTDATA_DIR is
// set) and files of the TRC writer, with and without time codes.

#include <cstdint>
#include <string>

#include "formats/motion/marker/kzeqmotionanalysistrc.h"
#include "fuzz/motion_fuzz_support.h"

namespace {

constexpr const char* kScratch = "trc-fuzz";

std::string Input(std::uint8_t flags, const std::string& timeCode, const std::string& trc) {
    return std::string(1, static_cast<char>(flags)) + static_cast<char>(timeCode.size()) + timeCode + trc;
}

// The first rows of a sample, its NumFrames made to match.
std::string Cut(const std::string& text, int rows) {
    std::string out;
    std::size_t at = 0;
    for (int line = 0; line < 6 + rows && at < text.size(); ++line) {
        const std::size_t end = text.find('\n', at);
        std::string row = text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
        if (line == 2) {
            // DataRate, CameraRate, NumFrames: the third field.
            const std::size_t a = row.find_first_of("\t,"), b = row.find_first_of("\t,", a + 1);
            const std::size_t c = row.find_first_of("\t,", b + 1);
            if (c != std::string::npos) row = row.substr(0, b + 1) + std::to_string(rows) + row.substr(c);
        }
        out += row;
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

void WriteSeeds(const zeqsdk_400::KHeldFolder& dir) {
    if (const char* samples = std::getenv("ZEQ_TESTDATA_DIR")) {
        for (const char* name : {"human.trc", "markers.trc"}) {
            const std::string text = zeqfuzz::Load(std::string(samples) + "/trc/" + name);
            if (text.empty()) continue;
            zeqfuzz::Store(dir, name, Input(0x01, "", Cut(text, 12)));
            zeqfuzz::Store(dir, std::string("tc-") + name, Input(0x16, "01:02:03:04\nSMPTE\n30\n", Cut(text, 3)));
        }
    }
    // A file of the writer: two frames of a marker with a gap, read and written.
    const std::string trc =
        "PathFileType\t4\t(X/Y/Z)\tVeltrix\t\n"
        "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame\tOrigNumFrames\t\n"
        "30.00\t30.00\t3\t2\tmm\t30.00\t9\t3\t\n"
        "Frame#\tTime\tToe\t\t\tHeel Unnamed\t\t\t\n\t\tX1\tY1\tZ1\tX2\tY2\tZ2\t\n\n"
        "1\t0.250\t12.00000\t34.00000\t56.00000\t1\t2\t3 \n"
        "2\t0.283\t\t\t\t0\t0\t0 \n"
        "3\t0.317\t1.5\t-2.5\t3e2\t1\t2\t3\t4\t5\t6\t\n";
    zeqfuzz::Store(dir, "writer", Input(0x03, "", trc));
    zeqfuzz::Store(dir, "ebu", Input(0x0C, "00:00:10:05\nEBU\n25\n", trc));
    zeqfuzz::Store(dir, "clock", Input(0x10, "00:00:01:30\nSystem Clock\n60\n", trc));
    zeqfuzz::Store(dir, "type3",
                   Input(0x00, "", "PathFileType\t3\t(X/Y/Z)\tx\nDataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\n"
                                   "100\t100\t2\t1\tM\nFrame#\tTime\tA\n\t\tX1\tY1\tZ1\n1\t0\t1\t2\t3\n2\t0.01\t\t\t\n"));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zeqsdk_400::KZeqReaderMotionAnalysisTrc::smDoNotAskForTCFile = true;
    if (const zeqsdk_400::KHeldFolder* seeds = zeqfuzz::SeedFolder()) WriteSeeds(*seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t flags = data[0];
    const std::size_t tcLength = std::min<std::size_t>(data[1], size - 2);
    // No ".tc" file of an earlier input is read beside this one.
    zeqfuzz::ScratchFolder(kScratch).GetFolder().RemoveFile("take.tc");
    if (tcLength > 0 && zeqfuzz::Put(kScratch, "take.tc", data + 2, tcLength).empty()) return 0;
    const std::string path = zeqfuzz::Put(kScratch, "take.trc", data + 2 + tcLength, size - 2 - tcLength);
    if (path.empty()) return 0;
    zeqfuzz::ReadAndWrite(path, zeqsdk_400::KZeqImporter::eMOTION_ANALYSIS_TRC, zeqsdk_400::KZeqExporter::eMOTION_ANALYSIS_TRC, flags,
                          zeqfuzz::MarkerReadOptions(), {zeqsdk_400::KStreamOptionsMotion::eExportGapsAsValidData});
    return 0;
}
