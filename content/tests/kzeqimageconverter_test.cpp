#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "content/kzeqimageconverter.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<unsigned char> Bytes;

// ---- Buffer and table ----------------------------------------------------------------------------

struct InitCase {
    const char* mName;
    int mWidth, mHeight;
    bool mAllocate;
    int mType;
    char mChannels;
    bool mValid, mData;
};

class BufferInit : public ::testing::TestWithParam<InitCase> {};

TEST_P(BufferInit, ValidityAndData) {
    const InitCase& c = GetParam();
    ImageConverterBuffer buffer;
    buffer.Init(4, 4, true, 0, 3);  // pixels held before are freed (the sanitizer build checks)
    buffer.Init(c.mWidth, c.mHeight, c.mAllocate, c.mType, c.mChannels);
    EXPECT_EQ(c.mValid, buffer.mValid);
    EXPECT_EQ(c.mData, buffer.mData != nullptr);
    EXPECT_EQ(c.mAllocate, buffer.mAllocated);
}

INSTANTIATE_TEST_SUITE_P(Parameters, BufferInit,
                         ::testing::Values(InitCase{"NoWidthNoAllocation", 0, 10, false, 0, 3, true, false},
                                           InitCase{"NoWidthAllocated", 0, 10, true, 0, 3, false, false},
                                           InitCase{"Good", 5, 2, true, 1, 3, true, true},
                                           InitCase{"BadType", 5, 2, true, 2, 3, false, false},
                                           InitCase{"NoChannels", 5, 2, true, 0, 0, false, false}),
                         [](const ::testing::TestParamInfo<InitCase>& info) { return std::string(info.param.mName); });

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
    converter->RegisterConverterFunction("png", nullptr);
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
    EXPECT_FALSE(manager.DestroyKZeqImageConverter(converter));
}

// ---- TIFF files -----------------------------------------------------------------------------------

// The fields of a test file.
struct Spec {
    uint32_t mWidth = 5, mHeight = 2, mRowsPerStrip = 1;
    uint16_t mPhotometric = PHOTOMETRIC_RGB, mSamples = 3, mBits = 8, mPlanar = PLANARCONFIG_CONTIG;
    uint16_t mSubsampling[2] = {0, 0};  // 0: no tag
    bool mColormap = false;
};

class Tif : public ::testing::Test {
protected:
    Tif() {
        const char* root = std::getenv("ZEQ_TEST_TMP");
        mDir = (root && *root ? std::filesystem::path(root) : std::filesystem::temp_directory_path()) /
               ("tif-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(mDir);
        std::filesystem::create_directories(mDir);
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
    }
    ~Tif() override { std::filesystem::remove_all(mDir); }
    std::string Path(const std::string& name) const { return (mDir / name).string(); }

    // A file of the given fields whose strips hold data in order.
    std::string Make(const std::string& name, const Spec& spec, const Bytes& data) {
        const std::string path = Path(name);
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        EXPECT_NE(nullptr, tif);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, spec.mWidth);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, spec.mHeight);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.mRowsPerStrip);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spec.mPhotometric);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spec.mSamples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.mBits);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, spec.mPlanar);
        if (spec.mSubsampling[0]) TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, spec.mSubsampling[0], spec.mSubsampling[1]);
        std::vector<uint16_t> map(256, 0);
        if (spec.mColormap) TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
        const tmsize_t strip = TIFFStripSize(tif);
        const uint32_t strips = TIFFNumberOfStrips(tif);
        for (uint32_t s = 0, at = 0; s < strips && at < data.size(); ++s) {
            const tmsize_t size = std::min<tmsize_t>(strip, static_cast<tmsize_t>(data.size() - at));
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

    std::filesystem::path mDir;
};

TEST_F(Tif, RgbFiveByTwoReadAndRemoved) {
    const std::string path = Make("rgb.tif", Spec(), Count(30));
    ImageConverterBuffer buffer;
    ASSERT_TRUE(ReadFromTif(path.c_str(), buffer, true));
    EXPECT_TRUE(buffer.mValid);
    EXPECT_EQ(ImageConverterBuffer::eRGB, buffer.mPixelType);
    EXPECT_EQ(3, buffer.mChannels);
    EXPECT_EQ(Count(30), Data(buffer));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Tif, YCbCrPairsOverSeveralRowsAndStrips) {
    // 5 pixels a row in 3 units of (Y, Y, Cb, Cr): 12 bytes a line, 2 lines a strip.
    Spec spec;
    spec.mHeight = 5;
    spec.mRowsPerStrip = 2;
    spec.mPhotometric = PHOTOMETRIC_YCBCR;
    spec.mSubsampling[0] = 2;
    spec.mSubsampling[1] = 1;
    Bytes data, expected;
    for (int r = 0; r < 5; ++r)
        for (int u = 0; u < 3; ++u) {
            const unsigned char cb = static_cast<unsigned char>(100 + 10 * r + u), cr = static_cast<unsigned char>(cb + 100);
            const unsigned char y0 = static_cast<unsigned char>(10 * r + 2 * u);
            data.insert(data.end(), {y0, static_cast<unsigned char>(y0 + 1), cb, cr});
            expected.insert(expected.end(), {y0, cb, cr});
            if (u < 2) expected.insert(expected.end(), {static_cast<unsigned char>(y0 + 1), cb, cr});
        }
    const std::string path = Make("ycbcr.tif", spec, data);
    ImageConverterBuffer buffer;
    ASSERT_TRUE(ReadFromTif(path.c_str(), buffer, false));
    EXPECT_EQ(ImageConverterBuffer::eYCBCR, buffer.mPixelType);
    EXPECT_EQ(expected, Data(buffer));
    EXPECT_TRUE(std::filesystem::exists(path));
}

struct RefusedCase {
    const char* mName;
    void (*mChange)(Spec&);
    std::size_t mBytes;
};

class TifRefused : public Tif, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(TifRefused, FileKeptAndFalse) {
    Spec spec;
    GetParam().mChange(spec);
    const std::string path = Make("refused.tif", spec, Count(GetParam().mBytes));
    const auto size = std::filesystem::file_size(path);
    ImageConverterBuffer buffer;
    EXPECT_FALSE(ReadFromTif(path.c_str(), buffer, true));
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(size, std::filesystem::file_size(path));
}

INSTANTIATE_TEST_SUITE_P(
    Files, TifRefused,
    ::testing::Values(
        RefusedCase{"Palette",
                    [](Spec& s) {
                        s.mPhotometric = PHOTOMETRIC_PALETTE;
                        s.mSamples = 1;
                        s.mColormap = true;
                    },
                    10},
        RefusedCase{"Grey", [](Spec& s) { s.mPhotometric = PHOTOMETRIC_MINISBLACK, s.mSamples = 1; }, 10},
        RefusedCase{"SixteenBits", [](Spec& s) { s.mBits = 16; }, 60},
        RefusedCase{"Planar", [](Spec& s) { s.mPlanar = PLANARCONFIG_SEPARATE; }, 30},
        RefusedCase{"TwoSamplesRgb", [](Spec& s) { s.mSamples = 2; }, 20},
        RefusedCase{"YCbCrFourByOne",
                    [](Spec& s) {
                        s.mPhotometric = PHOTOMETRIC_YCBCR;
                        s.mSubsampling[0] = 4, s.mSubsampling[1] = 1;
                    },
                    24},
        RefusedCase{"YCbCrTwoByTwo",
                    [](Spec& s) {
                        s.mPhotometric = PHOTOMETRIC_YCBCR;
                        s.mSubsampling[0] = 2, s.mSubsampling[1] = 2;
                    },
                    24},
        // A strip shorter than its lines: no read past the data.
        RefusedCase{"ShortStrip", [](Spec&) {}, 20}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.mName); });

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
    ASSERT_NE(nullptr, tif);
    uint16_t count = 0, *extra = nullptr, h = 0, v = 0;
    EXPECT_EQ(c.mChannels == 4, TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &extra) == 1);
    if (c.mChannels == 4) {
        EXPECT_EQ((std::vector<uint16_t>{EXTRASAMPLE_ASSOCALPHA}), std::vector<uint16_t>(extra, extra + count));
    }
    EXPECT_EQ(c.mType == 1, TIFFGetField(tif, TIFFTAG_YCBCRSUBSAMPLING, &h, &v) == 1);
    if (c.mType == 1) {
        EXPECT_EQ(2, h + v);
    }
    TIFFClose(tif);

    ASSERT_TRUE(ReadFromTif(path.c_str(), in, false));
    EXPECT_EQ(c.mType, in.mPixelType);
    EXPECT_EQ(c.mChannels, in.mChannels);
    EXPECT_EQ(pixels, Data(in));
}

INSTANTIATE_TEST_SUITE_P(Buffers, TifWrite,
                         ::testing::Values(WriteCase{"RgbPlain", 0, 3, false, "plain.TIFF"},
                                           WriteCase{"RgbaDeflate", 0, 4, true, "alpha.tif"},
                                           WriteCase{"YCbCrDeflate", 1, 3, true, "ycc.Tif"}),
                         [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.mName); });

TEST_F(Tif, NothingToWriteAndNamesNotTif) {
    ImageConverterBuffer empty;
    const std::string path = Path("none.tif");
    EXPECT_FALSE(WriteToTif(path.c_str(), true, empty));
    EXPECT_FALSE(std::filesystem::exists(path));
    // A compressed TIFF named .png is not opened.
    ImageConverterBuffer buffer;
    buffer.Init(2, 2, true, 0, 3);
    std::fill(buffer.mData, buffer.mData + 12, 0);
    ASSERT_TRUE(WriteToTif(Path("image.png").c_str(), true, buffer));
    EXPECT_FALSE(IsCompressedTif(Path("image.png").c_str()));
    EXPECT_FALSE(IsCompressedTif(Path("missing.tif").c_str()));
    EXPECT_FALSE(ReadFromTif(Path("missing.tif").c_str(), buffer, true));
    EXPECT_FALSE(WriteToTif(Path("no/such/dir.tif").c_str(), false, buffer));
}

}  // namespace
