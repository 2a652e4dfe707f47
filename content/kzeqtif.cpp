// TIFF images through libtiff.
//
// Read: one image directory, strips (not tiles), 8 bits per sample, samples
// of a pixel contiguous (planar configuration 1).
//   Photometric 2, RGB: 3 or more samples per pixel; each line is
//     width x samples bytes, copied as they are.
//   Photometric 6, YCbCr: 3 samples, subsampling (h, 1) with h 1 or 2 (1, 1
//     when the tag is absent); each line is a run of data units of h luma
//     bytes, one Cb and one Cr, ceil(width / h) units, h luma samples of the
//     last one possibly past the width. Each pixel becomes its Y with its
//     unit's Cb and Cr; no colour conversion.
//   Lines lie a scanline apart in each strip; a strip holds RowsPerStrip
//   lines (the last one the rows left), and every strip must decode whole.
// Write: RGB (or YCbCr without subsampling) from the buffer's channels, 8
// bits, one row per strip, Deflate or no compression, 72 dots per inch;
// 4 channels carry associated alpha.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "content/kzeqimageconverter.h"
#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

namespace {

struct TiffClose {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
typedef std::unique_ptr<TIFF, TiffClose> TiffFile;

// The image for reading when it is a regular file: libtiff's own open would
// wait on a named pipe nobody writes. In folder, when given, by its file name.
TiffFile OpenForReading(const KString& fileName, const KHeldFolder* folder = nullptr) {
    int fd = -1;
    if (folder) {
        KPathWalk walk;
        if (folder->Walk(ExtractFileName(fileName.Buffer()).Buffer(), walk) && walk.mExists) {
            std::FILE* file = KOpenResolvedForReading(walk.mPlace, "rb");
            fd = file ? ::dup(::fileno(file)) : -1;
            if (file) std::fclose(file);
        }
    } else {
        fd = KOpenRegularFile(fileName.Buffer(), "rb");
    }
    if (fd < 0) return nullptr;
    TIFF* tif = TIFFFdOpen(fd, fileName.Buffer(), "r");
    // A descriptor that did not become a TIFF stays ours to close.
    if (!tif) ::close(fd);
    return TiffFile(tif);
}

void ExpandRGB(const unsigned char* source, unsigned char* destination, unsigned short samples, unsigned long width) {
    std::memcpy(destination, source, static_cast<std::size_t>(width) * samples);
}

// Units of h luma bytes, Cb and Cr to one Y, Cb, Cr triplet per pixel; a
// last unit reaching past the width gives only the pixels that fit.
void ExpandYCrCb(const unsigned char* source, unsigned char* destination, unsigned long width, unsigned short h) {
    for (unsigned long x = 0; x < width; source += h + 2)
        for (unsigned short k = 0; k < h && x < width; ++k, ++x) {
            *destination++ = source[k];
            *destination++ = source[h];
            *destination++ = source[h + 1];
        }
}

// What the reader needs of a file's directory; false when it cannot read it.
struct Layout {
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    uint32_t mRowsPerStrip = 0;
    uint16_t mSamples = 0;
    uint16_t mSubsampling = 1;  // horizontal; 1 for RGB
    bool mYCbCr = false;
    tmsize_t mScanline = 0;
    tmsize_t mStripSize = 0;
};

bool ReadLayout(TIFF* tif, Layout& layout) {
    uint16_t photometric = 0, bits = 0, planar = 0, h = 1, v = 1;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.mWidth) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.mHeight) ||
        !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout.mSamples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &layout.mRowsPerStrip);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tif, TIFFTAG_YCBCRSUBSAMPLING, &h, &v);
    if (h == 0 || h > 2 || v != 1 || bits != 8 || planar != PLANARCONFIG_CONTIG || TIFFIsTiled(tif)) return false;
    layout.mYCbCr = photometric == PHOTOMETRIC_YCBCR;
    if (photometric != PHOTOMETRIC_RGB && !layout.mYCbCr) return false;
    // The buffer keeps its channel count in a char.
    if (layout.mYCbCr ? layout.mSamples != 3 : (layout.mSamples < 3 || layout.mSamples > CHAR_MAX)) return false;
    layout.mSubsampling = layout.mYCbCr ? h : 1;
    if (layout.mWidth == 0 || layout.mHeight == 0 || layout.mWidth > INT_MAX || layout.mHeight > INT_MAX ||
        layout.mRowsPerStrip == 0)
        return false;
    layout.mRowsPerStrip = std::min(layout.mRowsPerStrip, layout.mHeight);
    layout.mScanline = TIFFScanlineSize(tif);
    layout.mStripSize = TIFFStripSize(tif);
    // Every line must hold what its expansion reads, every strip buffer the
    // lines read into it.
    const unsigned long long h64 = layout.mSubsampling;
    const unsigned long long line = layout.mYCbCr ? (layout.mWidth + h64 - 1) / h64 * (h64 + 2)
                                                  : static_cast<unsigned long long>(layout.mWidth) * layout.mSamples;
    return layout.mScanline > 0 && static_cast<unsigned long long>(layout.mScanline) >= line && layout.mStripSize > 0 &&
           static_cast<unsigned long long>(layout.mStripSize) >=
               static_cast<unsigned long long>(layout.mScanline) * layout.mRowsPerStrip;
}

}  // namespace

bool ReadFromTif(KString fileName, ImageConverterBuffer& buffer, bool deleteFile) {
    TiffFile tif = OpenForReading(fileName, buffer.GetFolder());
    Layout layout;
    if (!tif || !ReadLayout(tif.get(), layout)) return false;
    std::unique_ptr<unsigned char[]> strip(
        new (std::nothrow) unsigned char[static_cast<std::size_t>(layout.mStripSize)]);
    if (!strip) return false;
    buffer.Init(static_cast<int>(layout.mWidth), static_cast<int>(layout.mHeight), true,
                layout.mYCbCr ? ImageConverterBuffer::eYCBCR : ImageConverterBuffer::eRGB,
                static_cast<char>(layout.mSamples));
    if (!buffer.mData) return false;
    const std::size_t row = static_cast<std::size_t>(layout.mWidth) * layout.mSamples;
    for (uint32_t first = 0; first < layout.mHeight; first += layout.mRowsPerStrip) {
        const uint32_t lines = std::min(layout.mRowsPerStrip, layout.mHeight - first);
        const tmsize_t wanted = layout.mScanline * static_cast<tmsize_t>(lines);
        // A strip that does not decode whole would leave lines never written.
        if (TIFFReadEncodedStrip(tif.get(), TIFFComputeStrip(tif.get(), first, 0), strip.get(), wanted) < wanted) {
            buffer.Init(0, 0, true, ImageConverterBuffer::eRGB, 3);  // no pixels, not valid
            return false;
        }
        for (uint32_t k = 0; k < lines; ++k) {
            const unsigned char* line = strip.get() + static_cast<std::size_t>(k) * layout.mScanline;
            unsigned char* out = buffer.mData + (static_cast<std::size_t>(first) + k) * row;
            if (layout.mYCbCr)
                ExpandYCrCb(line, out, layout.mWidth, layout.mSubsampling);
            else
                ExpandRGB(line, out, layout.mSamples, layout.mWidth);
        }
    }
    tif.reset();
    if (deleteFile) {
        if (buffer.GetFolder())
            buffer.GetFolder()->RemoveFile(ExtractFileName(fileName.Buffer()).Buffer());
        else
            KFile::Remove(fileName);
    }
    return true;
}

namespace {

bool Writable(const ImageConverterBuffer& buffer) {
    return buffer.mData && buffer.mWidth > 0 && buffer.mHeight >= 0 && buffer.mChannels > 0 &&
           buffer.mChannels <= 0xFFFF;
}

// Writes the buffer through libtiff into fd (taken: libtiff closes it); name for its messages.
bool WriteTif(int fd, const char* name, bool compress, ImageConverterBuffer& buffer) {
    TiffFile tif(fd >= 0 ? TIFFFdOpen(fd, name, "w") : nullptr);
    if (!tif) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(buffer.mWidth));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(buffer.mHeight));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, buffer.mChannels);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compress ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
    const bool ycbcr = buffer.mPixelType == ImageConverterBuffer::eYCBCR;
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, ycbcr ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(1));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 72.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 72.0);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(0));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    // Without the tag readers take YCbCr as subsampled 2 x 2; the buffer has a
    // Cb and Cr per pixel.
    if (ycbcr) TIFFSetField(t, TIFFTAG_YCBCRSUBSAMPLING, 1, 1);
    if (buffer.mChannels == 4) {
        const uint16_t alpha[1] = {EXTRASAMPLE_ASSOCALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, alpha);
    }
    // Rows go through a copy: an encoder may work in the buffer it is given.
    const std::size_t row = static_cast<std::size_t>(buffer.mWidth) * static_cast<std::size_t>(buffer.mChannels);
    std::unique_ptr<unsigned char[]> line(new (std::nothrow) unsigned char[row]);
    bool written = line != nullptr;
    for (int i = 0; written && i < buffer.mHeight; ++i) {
        std::memcpy(line.get(), buffer.mData + static_cast<std::size_t>(i) * row, row);
        if (TIFFWriteScanline(t, line.get(), static_cast<uint32_t>(i), 0) < 0) {
            TIFFError("WriteFile", "failure in WriteScanline\n");
            written = false;
        }
    }
    // A flush that fails (a full disk) loses rows as surely as a write.
    written = TIFFFlush(t) && written;
    return written;
}

}  // namespace

bool WriteToTif(KString fileName, bool compress, ImageConverterBuffer& buffer) {
    if (!Writable(buffer)) return false;
    KFileReplacement replacement;
    // In a folder held (an extraction's) nobody named the image: another user's link there is not followed.
    const bool begun = buffer.GetFolder() ? replacement.Begin(*buffer.GetFolder(),
                                                              ExtractFileName(fileName.Buffer()).Buffer(),
                                                              KNamedBy::eNobody)
                                          : replacement.Begin(fileName.Buffer());
    if (!begun) buffer.SetRefusal(replacement.GetError());
    if (begun) replacement.LimitPermissions(buffer.GetPermissionLimit());
    return begun && WriteTif(replacement.OpenDescriptor(), fileName.Buffer(), compress, buffer) && replacement.Commit();
}

bool WriteToTif(int descriptor, bool compress, ImageConverterBuffer& buffer) {
    if (!Writable(buffer) || descriptor < 0) return false;
    const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (fd >= 0 && (::lseek(fd, 0, SEEK_SET) != 0 || ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return false;
    }
    return WriteTif(fd, "converted image", compress, buffer);
}

bool IsCompressedTif(KString fileName) {
    const KString extension = ExtractFileExtension(fileName.Buffer()).Upper();
    if (extension != "TIF" && extension != "TIFF") return false;
    TiffFile tif = OpenForReading(fileName);
    if (!tif) return false;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    return compression != COMPRESSION_NONE;
}

}  // namespace zeqsdk_400
