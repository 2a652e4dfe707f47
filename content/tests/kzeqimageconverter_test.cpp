#include "content/kzeqimageconverter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kpipewatchdog.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<unsigned char> Bytes;
template <class T>
std::string Name(const ::testing::TestParamInfo<T>& info) {
    return info.param.mName;
}

// ---- Buffer and table ----------------------------------------------------------------------------

TEST(ImageConverterBuffer, InitValidityAndData) {
    const struct {
        int mWidth, mHeight;
        bool mAllocate;
        int mType;
        bool mValid, mData;
    } cases[] = {{0, 10, false, 0, true, false},
                 {0, 10, true, 0, false, false},
                 {5, 2, true, 1, true, true},
                 {5, 2, true, 2, false, false}};
    for (const auto& c : cases) {
        ImageConverterBuffer buffer;
        buffer.Init(4, 4, true, 0, 3);  // freed by the next Init (the sanitizer build checks)
        buffer.Init(c.mWidth, c.mHeight, c.mAllocate, c.mType, 3);
        EXPECT_TRUE(buffer.mValid == c.mValid && (buffer.mData != nullptr) == c.mData) << c.mWidth << c.mType;
    }
}

int gCalls = 0;
int First(int, KString&, ImageConverterBuffer&) { return ++gCalls, 0; }
int Second(int, KString&, ImageConverterBuffer&) { return ++gCalls, 0; }
int Failing(int, KString&, ImageConverterBuffer&) { return ++gCalls, 1; }

TEST(ImageConverter, FirstRegistrationWinsAndExtensionsIgnoreCase) {
    KZeqSdkManager manager;
    KZeqImageConverter* converter = manager.CreateKZeqImageConverter();
    converter->RegisterConverterFunction("tif", First);
    converter->RegisterConverterFunction("TIF", Second);
    converter->RegisterConverterFunction("bad", Failing);
    converter->RegisterConverterFunction("", Second);
    ImageConverterBuffer buffer;
    struct Call {
        const char* mName;
        bool mResult;
        int mCalls;
    };
    for (const Call& call : {Call{"dir.x/image.Tif", true, 1}, Call{"dir.tif/image", false, 0},
                             Call{"image.png", false, 0}, Call{"image.bad", false, 1}}) {
        KString name(call.mName);
        gCalls = 0;
        EXPECT_EQ(call.mResult, converter->Convert(0, name, buffer)) << call.mName;
        EXPECT_EQ(call.mCalls, gCalls) << call.mName;
    }
    converter->UnregisterConverterFunction(First);
    KString name("a.tif");
    EXPECT_FALSE(converter->Convert(1, name, buffer));
    converter->RegisterConverterFunction("TIF", Second);
    EXPECT_TRUE(converter->Convert(1, name, buffer));
    EXPECT_TRUE(manager.DestroyKZeqImageConverter(converter));
}

// ---- TIFF files -----------------------------------------------------------------------------------

// A test file: its fields, and how many bytes fill its strips in order.
struct TiffCase {
    const char* mName;
    uint32_t mWidth, mHeight, mRowsPerStrip;
    uint16_t mPhotometric, mSamples, mBits, mPlanar, mSubsampling[2];  // 0: no subsampling tag
    std::size_t mBytes;
};
const TiffCase kRgb{"Rgb", 5, 2, 1, PHOTOMETRIC_RGB, 3, 8, PLANARCONFIG_CONTIG, {0, 0}, 30};

class Tif : public ::testing::Test {
protected:
    Tif() {
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
    }
    std::string Path(const std::string& name) const { return mDir / name; }
    std::string Make(const TiffCase& tiff, const Bytes& data) {
        const std::string path = Path("made.tif");
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, tiff.mWidth);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, tiff.mHeight);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, tiff.mRowsPerStrip);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, tiff.mPhotometric);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, tiff.mSamples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, tiff.mBits);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, tiff.mPlanar);
        if (tiff.mSubsampling[0])
            TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, tiff.mSubsampling[0], tiff.mSubsampling[1]);
        std::vector<uint16_t> map(256, 0);
        if (tiff.mPhotometric == PHOTOMETRIC_PALETTE)
            TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
        for (uint32_t s = 0, at = 0; s < TIFFNumberOfStrips(tif) && at < data.size(); ++s) {
            const tmsize_t size = std::min<tmsize_t>(TIFFStripSize(tif), static_cast<tmsize_t>(data.size() - at));
            TIFFWriteEncodedStrip(tif, s, const_cast<unsigned char*>(data.data()) + at, size);
            at += static_cast<uint32_t>(size);
        }
        TIFFClose(tif);
        return path;
    }
    static Bytes Count(std::size_t n) {
        Bytes bytes(n);
        for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i);
        return bytes;
    }
    static Bytes Data(const ImageConverterBuffer& buffer) {
        return Bytes(buffer.mData, buffer.mData + buffer.GetDataSize());
    }
    const zeqtest::TempDir mDir;
};

TEST_F(Tif, RgbFiveByTwoAndYCbCrPairsOverSeveralStrips) {
    std::string path = Make(kRgb, Count(30));
    ImageConverterBuffer rgb, ycc;
    ASSERT_TRUE(ReadFromTif(path.c_str(), rgb, true));
    EXPECT_TRUE(rgb.mValid && rgb.mPixelType == ImageConverterBuffer::eRGB && rgb.mChannels == 3);
    EXPECT_EQ(Count(30), Data(rgb));
    EXPECT_FALSE(std::filesystem::exists(path));  // removed after the read

    // 5 pixels a row in 3 units of (Y, Y, Cb, Cr): 12 bytes a line, 2 lines a strip.
    const TiffCase tiff{"YCbCr", 5, 5, 2, PHOTOMETRIC_YCBCR, 3, 8, PLANARCONFIG_CONTIG, {2, 1}, 0};
    Bytes data, expected;
    for (int r = 0; r < 5; ++r)
        for (int u = 0; u < 3; ++u) {
            const unsigned char y = static_cast<unsigned char>(10 * r + 2 * u),
                                cb = static_cast<unsigned char>(100 + y);
            data.insert(data.end(), {y, static_cast<unsigned char>(y + 1), cb, static_cast<unsigned char>(cb + 1)});
            for (int k = 0; k < (u < 2 ? 2 : 1); ++k)
                expected.insert(expected.end(),
                                {static_cast<unsigned char>(y + k), cb, static_cast<unsigned char>(cb + 1)});
        }
    path = Make(tiff, data);
    ASSERT_TRUE(ReadFromTif(path.c_str(), ycc, false));
    EXPECT_EQ(ImageConverterBuffer::eYCBCR, ycc.mPixelType);
    EXPECT_EQ(expected, Data(ycc));
    EXPECT_TRUE(std::filesystem::exists(path));
}

class TifRefused : public Tif, public ::testing::WithParamInterface<TiffCase> {};

TEST_P(TifRefused, FileKeptAndFalse) {
    const std::string path = Make(GetParam(), Count(GetParam().mBytes));
    const auto size = std::filesystem::file_size(path);
    ImageConverterBuffer buffer;
    EXPECT_FALSE(ReadFromTif(path.c_str(), buffer, true));
    EXPECT_TRUE(std::filesystem::exists(path) && std::filesystem::file_size(path) == size);
}

INSTANTIATE_TEST_SUITE_P(Files, TifRefused,
                         ::testing::Values(TiffCase{"Palette", 5, 2, 1, PHOTOMETRIC_PALETTE, 1, 8, 1, {0, 0}, 10},
                                           TiffCase{"Grey", 5, 2, 1, PHOTOMETRIC_MINISBLACK, 1, 8, 1, {0, 0}, 10},
                                           TiffCase{"SixteenBits", 5, 2, 1, PHOTOMETRIC_RGB, 3, 16, 1, {0, 0}, 60},
                                           TiffCase{"Planar", 5, 2, 1, PHOTOMETRIC_RGB, 3, 8, 2, {0, 0}, 30},
                                           TiffCase{"TwoSamplesRgb", 5, 2, 1, PHOTOMETRIC_RGB, 2, 8, 1, {0, 0}, 20},
                                           TiffCase{"YCbCrFourByOne", 5, 2, 1, PHOTOMETRIC_YCBCR, 3, 8, 1, {4, 1}, 24},
                                           TiffCase{"YCbCrTwoByTwo", 5, 2, 1, PHOTOMETRIC_YCBCR, 3, 8, 1, {2, 2}, 24},
                                           TiffCase{"ShortStrip", 5, 2, 1, PHOTOMETRIC_RGB, 3, 8, 1, {0, 0}, 20}),
                         Name<TiffCase>);

struct WriteCase {
    const char* mName;
    int mType;
    char mChannels;
    bool mCompress;
    const char* mFile;
};
class TifWrite : public Tif, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(TifWrite, RoundTripAndTags) {
    const WriteCase& c = GetParam();
    ImageConverterBuffer out, in;
    out.Init(7, 3, true, c.mType, c.mChannels);
    const Bytes pixels = Count(static_cast<std::size_t>(out.GetDataSize()));
    std::copy(pixels.begin(), pixels.end(), out.mData);
    const std::string path = Path(c.mFile);
    ASSERT_TRUE(WriteToTif(path.c_str(), c.mCompress, out));
    EXPECT_EQ(c.mCompress, IsCompressedTif(path.c_str()));
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    uint16_t count = 0, *extra = nullptr, h = 0, v = 0;
    EXPECT_EQ(c.mChannels == 4, TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &extra) == 1);
    EXPECT_TRUE(c.mChannels != 4 || (count == 1 && extra[0] == EXTRASAMPLE_ASSOCALPHA));
    EXPECT_EQ(c.mType == 1, TIFFGetField(tif, TIFFTAG_YCBCRSUBSAMPLING, &h, &v) == 1);
    EXPECT_TRUE(c.mType != 1 || (h == 1 && v == 1));
    TIFFClose(tif);
    ASSERT_TRUE(ReadFromTif(path.c_str(), in, false));
    EXPECT_TRUE(in.mPixelType == c.mType && in.mChannels == c.mChannels && Data(in) == pixels);
}

INSTANTIATE_TEST_SUITE_P(Buffers, TifWrite,
                         ::testing::Values(WriteCase{"RgbPlain", 0, 3, false, "plain.TIFF"},
                                           WriteCase{"RgbaDeflate", 0, 4, true, "alpha.tif"},
                                           WriteCase{"YCbCrDeflate", 1, 3, true, "ycc.Tif"}),
                         Name<WriteCase>);

// An image that is a named pipe is neither read nor waited on, and stays.
TEST_F(Tif, APipeIsNotWaitedOn) {
    const std::string pipe = Path("pipe.tif");
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    ImageConverterBuffer buffer;
    EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] {
        EXPECT_FALSE(ReadFromTif(pipe.c_str(), buffer, true));
        EXPECT_FALSE(IsCompressedTif(pipe.c_str()));
    }));
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

// The file written gets no more permission than the buffer's limit, under a umask that would give more.
TEST_F(Tif, WrittenWithinTheBuffersLimit) {
    ImageConverterBuffer buffer;
    buffer.Init(2, 2, true, 0, 3);
    std::fill(buffer.mData, buffer.mData + 12, 0);
    buffer.LimitPermissions(0640);
    const mode_t mask = ::umask(002);
    const bool written = WriteToTif(Path("limited.tif").c_str(), false, buffer);
    ::umask(mask);
    ASSERT_TRUE(written);
    struct stat st;
    ASSERT_EQ(0, ::stat(Path("limited.tif").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
}

TEST_F(Tif, NothingToWriteAndNamesNotTif) {
    ImageConverterBuffer empty, buffer;
    EXPECT_FALSE(WriteToTif(Path("none.tif").c_str(), true, empty));
    EXPECT_FALSE(std::filesystem::exists(Path("none.tif")));
    buffer.Init(2, 2, true, 0, 3);
    std::fill(buffer.mData, buffer.mData + 12, 0);
    ASSERT_TRUE(WriteToTif(Path("image.png").c_str(), true, buffer));
    EXPECT_FALSE(IsCompressedTif(Path("image.png").c_str()));  // not opened
    EXPECT_FALSE(IsCompressedTif(Path("missing.tif").c_str()) ||
                 ReadFromTif(Path("missing.tif").c_str(), buffer, true));
    EXPECT_FALSE(WriteToTif(Path("no/such/dir.tif").c_str(), false, buffer));
}

}  // namespace
