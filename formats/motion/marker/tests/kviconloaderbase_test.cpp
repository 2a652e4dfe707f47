#include "formats/motion/marker/kviconloaderbase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "formats/motion/marker/kviconparameter.h"
#include "formats/motion/marker/tests/c3dbuilder.h"
#include "formats/motion/marker/tests/markertest.h"

using namespace zeqsdk_400;
using c3dtest::C3DBuilder;

namespace {

std::uint32_t BitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

std::string BytesOf(float value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

float FromBytes(const std::string& bytes) {
    float value;
    std::memcpy(&value, bytes.data(), 4);
    return value;
}

// A loader reading a file of given bytes.
struct Loader : KViconLoaderBase {
    std::FILE* mOpen = nullptr;
    markertest::TempDir mDir;
    bool Load(const std::string& bytes, int type = eIntel) {
        const std::string path = mDir / "f.c3d";
        markertest::WriteFile(path, bytes);
        mOpen = std::fopen(path.c_str(), "rb");
        SetFileProcessorType(type);
        return ReadHeader(mOpen);
    }
    // Reads bytes without a header.
    void Raw(const std::string& bytes, int type) {
        const std::string path = mDir / "r.c3d";
        markertest::WriteFile(path, bytes);
        mOpen = std::fopen(path.c_str(), "rb");
        ResetReader(mOpen);
        SetFileProcessorType(type);
    }
    std::vector<std::unique_ptr<KViconParameter>> Records(long from, long limit) {
        std::vector<std::unique_ptr<KViconParameter>> records;
        long next = from;
        while (next >= 0 && Seek(next)) {
            std::unique_ptr<KViconParameter> record = KViconParameter::Read(*this, limit, next);
            if (!record) break;
            records.push_back(std::move(record));
        }
        return records;
    }
    // Writes through the loader and answers the bytes.
    std::string Written(const std::function<void(KViconLoaderBase&)>& write) {
        const std::string path = mDir / "w.c3d";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        BeginWrite(file);
        write(*this);
        FlushOutput();
        std::fclose(file);
        return markertest::ReadFile(path);
    }
    ~Loader() override {
        if (mOpen) std::fclose(mOpen);
    }
};

TEST(ViconNumbers, DecOneIsIntelOneAndPutFloatWritesDec) {
    float value = FromBytes(std::string("\x80\x40\x00\x00", 4));
    KViconLoaderBase::ConvertFloat(KViconLoaderBase::eDec, KViconLoaderBase::eIntel, &value);
    EXPECT_EQ(std::string("\x00\x00\x80\x3F", 4), BytesOf(value));
    Loader loader;
    EXPECT_EQ(std::string("\x80\x40\x00\x00", 4) + std::string(4, '\0'),
              loader.Written([](KViconLoaderBase& l) { l.PutFloat(1.0f), l.PutFloat(0.0f); }));
}

TEST(ViconNumbers, FloatsSurviveEveryLayoutPair) {
    const float values[] = {1.0f, -2.5f, 0.14490029f, 1e-30f, -3.0e37f, 123456.789f, 0.0f};
    for (float v : values)
        for (int from = 1; from <= 3; ++from)
            for (int to = 1; to <= 3; ++to) {
                float x = v;
                KViconLoaderBase::ConvertFloat(KViconLoaderBase::eIntel, from, &x);
                KViconLoaderBase::ConvertFloat(from, to, &x);
                KViconLoaderBase::ConvertFloat(to, KViconLoaderBase::eIntel, &x);
                EXPECT_EQ(BitsOf(v), BitsOf(x)) << v << " " << from << " -> " << to;
            }
    // A DEC zero exponent (VAX zero and its reserved operand) is zero; MIPS is Intel reversed.
    float zero = FromBytes(std::string("\x00\x80\x12\x34", 4));
    KViconLoaderBase::ConvertFloat(KViconLoaderBase::eDec, KViconLoaderBase::eIntel, &zero);
    EXPECT_EQ(0.0f, zero);
    float mips = FromBytes(std::string("\x3F\x80\x00\x00", 4));
    KViconLoaderBase::ConvertFloat(KViconLoaderBase::eMips, KViconLoaderBase::eIntel, &mips);
    EXPECT_EQ(1.0f, mips);
}

TEST(ViconNumbers, OnlyMipsSwapsShorts) {
    short value = 0x0102;
    KViconLoaderBase::ConvertShort(KViconLoaderBase::eMips, KViconLoaderBase::eIntel, &value);
    EXPECT_EQ(0x0201, value);
    KViconLoaderBase::ConvertShort(KViconLoaderBase::eDec, KViconLoaderBase::eIntel, &value);
    EXPECT_EQ(0x0201, value);
}

// A signed short read from a file: its bytes swapped from a MIPS file only.
TEST(ViconNumbers, SignedShortsReadInTheFilesOrder) {
    for (int type : {KViconLoaderBase::eIntel, KViconLoaderBase::eDec, KViconLoaderBase::eMips}) {
        Loader loader;
        loader.Raw(type == KViconLoaderBase::eMips ? std::string("\xFF\xFE\x01\x02", 4) : std::string("\xFE\xFF\x02\x01", 4),
                   type);
        short first = 0, second = 0, past = 7;
        ASSERT_TRUE(loader.GetShort(first) && loader.GetShort(second)) << type;
        EXPECT_TRUE(first == -2 && second == 0x0102) << type;
        EXPECT_FALSE(loader.GetShort(past));
    }
}

// A point of a frame: integer form (scale >= 0) as steps of scale x unit scale, residual in the
// low byte of the fourth word (signed, times the unit scale), camera bits and the invalid flag in
// its high byte; float form with the fourth value's truncation negative when invalid. A record
// across a block end is read whole; none past the end of the data.
TEST(ViconRecords, IntegerAndFloatPoints) {
    auto word = [](int v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
    std::string bytes(508, '\0');
    bytes += word(100) + word(-200) + word(300) + std::string("\xF6\x45", 2);  // residual -10, cameras 5
    bytes += word(1) + word(2) + word(3) + std::string("\x03\x85", 2);         // invalid
    Loader loader;
    loader.Raw(bytes, KViconLoaderBase::eIntel);
    ASSERT_TRUE(loader.Seek(508));
    KViconDataRecord record;
    ASSERT_TRUE(record.Read(loader, 0.5f, 0.1));
    EXPECT_NEAR(record.mX, 5.0, 1e-12);
    EXPECT_NEAR(record.mY, -10.0, 1e-12);
    EXPECT_NEAR(record.mZ, 15.0, 1e-12);
    EXPECT_NEAR(record.mResidual, -1.0, 1e-12);
    EXPECT_TRUE(record.mCameras == 5 && record.mValid);
    ASSERT_TRUE(record.Read(loader, 0.5f, 0.1));
    EXPECT_TRUE(record.mCameras == 5 && !record.mValid);
    EXPECT_FALSE(record.Read(loader, 0.5f, 0.1));

    std::string floats;
    for (float v : {1.5f, -2.5f, 3.0f, -0.5f, 1.0f, 1.0f, 1.0f, -1.0f}) floats += BytesOf(v);
    Loader real;
    real.Raw(floats, KViconLoaderBase::eIntel);
    ASSERT_TRUE(record.Read(real, -1.0f, 10.0));
    EXPECT_TRUE(record.mX == 15.0 && record.mY == -25.0 && record.mZ == 30.0);
    EXPECT_TRUE(record.mValid && record.mResidual == 0.0 && record.mCameras == 0);
    ASSERT_TRUE(record.Read(real, -1.0f, 10.0));
    EXPECT_FALSE(record.mValid);
    EXPECT_FALSE(record.Read(real, -1.0f, 10.0));
}

TEST(ViconHeader, ScalesAndRatesOutsideTheirRangeTakeDefaults) {
    struct Case {
        float mScale, mRate;
        std::uint32_t mScaleBits;
        float mReadRate;
    } cases[] = {{0.0f, 0.0f, 0x3E1460AA, 30.0f}, {5000.0f, 2000.0f, 0x3E1460AA, 30.0f},
                 {-1.0f, 50.0f, BitsOf(-1.0f), 50.0f}, {0.5f, 120.0f, BitsOf(0.5f), 120.0f}};
    for (const Case& c : cases) {
        for (bool mips : {false, true}) {
            C3DBuilder builder;
            builder.mBigEndian = mips;
            builder.mScale = c.mScale;
            builder.mRate = c.mRate;
            builder.mPoints = 3;
            builder.mEventCount = 40;
            Loader loader;
            ASSERT_TRUE(loader.Load(builder.Build(), mips ? KViconLoaderBase::eMips : KViconLoaderBase::eIntel));
            EXPECT_EQ(c.mScaleBits, BitsOf(loader.GetScaleFactor())) << c.mScale;
            EXPECT_EQ(c.mReadRate, loader.GetFrameRate());
            EXPECT_EQ(3, loader.GetPointCount());
            EXPECT_EQ(KViconLoaderBase::kMaxEvents, loader.GetEventCount());
            EXPECT_EQ(512, loader.Tell());  // at the parameter section
        }
    }
    Loader loader;
    std::string bad = C3DBuilder().Build();
    bad[1] = 0x40;
    EXPECT_FALSE(loader.Load(bad));
    EXPECT_FALSE(Loader().Load(C3DBuilder().Build().substr(0, 100)));
}

TEST(ViconHeader, AValueAcrossABlockEndIsReadWhole) {
    std::string bytes = C3DBuilder().Build();
    bytes.resize(1024, '\0');
    const std::string one = BytesOf(1.5f);
    bytes.replace(1022, 2, one.substr(0, 2));
    bytes += one.substr(2) + std::string(510, '\0');
    Loader loader;
    ASSERT_TRUE(loader.Load(bytes));
    float value = 0.0f;
    ASSERT_TRUE(loader.Seek(1022) && loader.GetFloat(value));
    EXPECT_EQ(1.5f, value);
    EXPECT_EQ(1026, loader.Tell());
}

// ---- Parameter records ----

struct RecordTest : ::testing::Test {
    C3DBuilder mBuilder;
    Loader mLoader;
    std::vector<std::unique_ptr<KViconParameter>> Read() {
        EXPECT_TRUE(mLoader.Load(mBuilder.Build()));
        return mLoader.Records(516, 1024);
    }
};

TEST_F(RecordTest, LockedNamesTypesAndDimensions) {
    mBuilder.mParameters += mBuilder.Record("POINT", -3, "", true);
    mBuilder.Parameter("FLAGS", 3, 1, {3}, std::string("\x07\x00\xFF", 3));  // bytes keep their values
    mBuilder.Texts("LABELS", 3, {"A", "Sub:B"}, 6);
    mBuilder.Words("USED", 3, {-2, 300});
    mBuilder.Parameter("RATE", 3, 4, {}, mBuilder.Float(60.0f));
    const auto records = Read();
    ASSERT_EQ(5u, records.size());
    EXPECT_TRUE(records[0]->IsGroup() && records[0]->IsLocked() && records[0]->Id() == 3);
    EXPECT_EQ("POINT", records[0]->GetName());
    const KViconArray* flags = records[1]->GetArray();
    ASSERT_TRUE(flags);
    EXPECT_EQ(KViconArray::eByte, flags->GetType());
    EXPECT_EQ((std::vector<double>{7, 0, 255}), (std::vector<double>{flags->GetValue(0), flags->GetValue(1), flags->GetValue(2)}));
    EXPECT_EQ("Sub:B ", records[2]->GetArray()->GetRow(1));
    EXPECT_EQ(2, records[2]->GetArray()->GetRowCount());
    EXPECT_EQ(-2.0, records[3]->GetArray()->GetValue(0));
    EXPECT_EQ(300.0, records[3]->GetArray()->GetValue(1));
    EXPECT_EQ(60.0, records[4]->GetArray()->GetValue(0));
}

TEST_F(RecordTest, DimensionsBeyondTheRecordGiveNoArrayAndReadingGoesOn) {
    mBuilder.Parameter("HUGE", 1, 4, {255, 255, 255, 255, 255, 255, 255}, "abcd");
    mBuilder.Parameter("UNKNOWN", 1, 3, {2}, "abcdef");
    mBuilder.Words("NEXT", 1, {5});
    const auto records = Read();
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(nullptr, records[0]->GetArray());
    EXPECT_EQ(nullptr, records[1]->GetArray());
    EXPECT_EQ(5.0, records[2]->GetArray()->GetValue(0));
}

TEST_F(RecordTest, WrittenRecordsReadBack) {
    const std::string bytes = mLoader.Written([](KViconLoaderBase& l) {
        l.PadChar(0, 516);
        KViconParameter("POINT", -1, nullptr, "points").Write(l);
        KViconParameter("SCALE", 1, KViconArray::MakeFloat(-0.25f)).Write(l);
        KViconParameter("LABELS", 1, KViconArray::MakeChar({"LFHD", "RFHD"}, 5, false)).Write(l);
        KViconParameter("USED", 1, KViconArray::MakeShort({44}, true)).Write(l);
        l.PadToBlock();
    });
    Loader reader;
    reader.Raw(bytes, KViconLoaderBase::eDec);
    const auto records = reader.Records(516, static_cast<long>(bytes.size()));
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ("points", records[0]->GetDescription());
    EXPECT_EQ(-0.25, records[1]->GetArray()->GetValue(0));
    EXPECT_EQ("RFHD ", records[2]->GetArray()->GetRow(1));
    EXPECT_EQ(44.0, records[3]->GetArray()->GetValue(0));
}

}  // namespace

TEST(ViconText, LabelsLoseTrailingBlanksPrefixesAndChosenCharacters) {
    char out[16];
    Strip(out, "LASI  RASI", 6);  // a 6-wide field of a label list
    EXPECT_STREQ("LASI", out);
    Strip(out, "  A B  ", 7);  // inner and leading blanks stay
    EXPECT_STREQ("  A B", out);
    Strip(out, "    ", 4);
    EXPECT_STREQ("", out);
    Strip(out, "AB\0CD", 5);  // a zero byte ends the field early
    EXPECT_STREQ("AB", out);

    RemovePrefix(out, "Subject:LASI");
    EXPECT_STREQ("LASI", out);
    RemovePrefix(out, "a:b:c");  // only the first colon counts
    EXPECT_STREQ("b:c", out);
    RemovePrefix(out, "RASI");
    EXPECT_STREQ("RASI", out);
    char same[] = "S:LKNE";  // in place
    RemovePrefix(same, same);
    EXPECT_STREQ("LKNE", same);

    char text[] = "L ANK E";
    ReplaceChar(text, ' ', '_');
    EXPECT_STREQ("L_ANK_E", text);
    ReplaceChar(text, '\0', 'x');
    EXPECT_STREQ("L_ANK_E", text);
}
