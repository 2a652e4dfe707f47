// Arbitrary bytes as a TIFF file given to ReadFromTif and IsCompressedTif.
// The reader allocates the image a file declares, as a valid file needs it
// to; inputs declaring more than 64 MB of pixels or of strip are skipped so
// that the fuzzer's allocation limit does not take such a request for a
// fault (the allocation is nothrow: without memory the read answers false).
#include <tiffio.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "content/kzeqimageconverter.h"

using namespace zeqsdk_400;

namespace {

const std::string& Path() {
    static const std::string path = [] {
        const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(shm) + "/zeq-tif-fuzz-" + std::to_string(getpid()) + ".tif";
    }();
    return path;
}

bool Declared(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return true;  // the reader fails at the same place
    uint32_t width = 0, height = 0;
    uint16_t samples = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const uint64_t pixels = static_cast<uint64_t>(width) * height * samples;
    const uint64_t strip = TIFFStripSize64(tif);
    TIFFClose(tif);
    return pixels <= (64u << 20) && strip <= (64u << 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const std::string& path = Path();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    if (!Declared(path)) return 0;
    ImageConverterBuffer buffer;
    if (ReadFromTif(path.c_str(), buffer, false)) {
        // Every pixel was written: the sum reads them all.
        volatile unsigned sum = 0;
        for (long long i = 0; i < buffer.GetDataSize(); ++i) sum = sum + buffer.mData[i];
    }
    IsCompressedTif(path.c_str());
    return 0;
}
