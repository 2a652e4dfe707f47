// Arbitrary bytes as a TIFF file given to ReadFromTif and IsCompressedTif.
// The reader allocates the image a file declares, as a valid file needs it
// to; inputs declaring more than 64 MB of pixels or of strip are skipped so
// that the fuzzer's allocation limit does not take such a request for a
// fault (the allocation is nothrow: without memory the read answers false).
#include <tiffio.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "content/kzeqimageconverter.h"
#include "fileio/kpath.h"
#include "fuzz/fuzzscratch.h"

using namespace zeqsdk_400;

namespace {

bool Declared(const std::string& path) {
    // Through the reader facility, as ReadFromTif opens it; a descriptor that did
    // not become a TIFF stays ours to close.
    const int fd = KOpenRegularFile(path.c_str(), "rb");
    if (fd < 0) return true;  // the reader fails at the same place
    TIFF* tif = TIFFFdOpen(fd, path.c_str(), "r");
    if (!tif) {
        ::close(fd);
        return true;
    }
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
    const std::string path = zeqfuzz::Put("zeq-tif-fuzz", "fuzz.tif", data, size);
    if (path.empty()) return 0;
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
