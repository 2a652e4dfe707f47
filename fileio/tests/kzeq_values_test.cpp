#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/tests/kzeq_test_support.h"

using namespace zeqsdk_400;
using zeqtest::Encoding;

namespace {

class KZeqValues : public testing::TestWithParam<Encoding> {
protected:
    bool Binary() const { return GetParam().mBinary; }

    // Writes a file with the given body in the main section and opens it for reading.
    void RoundTrip(const std::function<void(KZeq&)>& write, int version = 6000) {
        KZeqFileHeaderInfo header;
        header.mFileVersion = version;
        KZeq writer;
        ASSERT_TRUE(writer.ProjectCreate(mPath.c_str(), GetParam().mBinary, GetParam().mEncrypted, &header))
            << writer.GetLastErrorString();
        write(writer);
        ASSERT_EQ(writer.GetLastErrorID(), -1) << writer.GetLastErrorString();
        ASSERT_TRUE(writer.ProjectClose());
        ASSERT_TRUE(mZeq.ProjectOpen(mPath.c_str(), false, true)) << mZeq.GetLastErrorString();
        EXPECT_EQ(mZeq.IsBinary(), GetParam().mBinary);
        EXPECT_EQ(mZeq.IsEncrypted(), GetParam().mEncrypted);
    }

    // ASCII doubles carry 15 significant digits.
    void ExpectDouble(double expected, double actual) {
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(actual));
        } else if (Binary() || std::isinf(expected) || expected == 0.0) {
            EXPECT_EQ(expected, actual);
            EXPECT_EQ(std::signbit(expected), std::signbit(actual));
        } else {
            EXPECT_NEAR(expected, actual, std::fabs(expected) * 1e-14);
        }
    }

    zeqtest::ScratchDir mDir;
    std::string mPath = mDir / "values.zeq";
    KZeq mZeq;
};

std::string AllBytes() {
    std::string text;
    for (int i = 0; i < 256; ++i) text.push_back(static_cast<char>(i));
    return text;
}

TEST_P(KZeqValues, EveryValueTypeRoundTrips) {
    const double doubles[] = {0.0,
                              -0.0,
                              1.5,
                              -123456.789,
                              1e300,
                              -1e-300,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(),
                              0.1};
    const int ints[] = {0, 1, -1, INT_MIN, INT_MAX};
    const kLongLong longs[] = {0, LLONG_MIN, LLONG_MAX, 46186158000LL};
    const std::string strings[] = {"", "plain", "with \"quotes\"", "back\\slash", "line\nbreak\r\n", AllBytes()};
    RoundTrip([&](KZeq& z) {
        z.FieldWriteBegin("Doubles");
        for (double d : doubles) z.FieldWriteD(d);
        z.FieldWriteEnd();
        z.FieldWriteBegin("Ints");
        for (int i : ints) z.FieldWriteI(i);
        z.FieldWriteEnd();
        z.FieldWriteBegin("Longs");
        for (kLongLong l : longs) z.FieldWriteL(l);
        z.FieldWriteEnd();
        z.FieldWriteBegin("Strings");
        for (const std::string& s : strings) z.FieldWriteC(s.data(), s.size());
        z.FieldWriteEnd();
        z.FieldWriteBegin("Chars");
        for (int c = 0; c < 256; ++c) z.FieldWriteCH(static_cast<char>(c));
        z.FieldWriteEnd();
    });

    ASSERT_TRUE(mZeq.FieldReadBegin("Doubles"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), 10);
    for (double d : doubles) ExpectDouble(d, mZeq.FieldReadD());
    EXPECT_EQ(mZeq.FieldReadGetRemain(), 0);
    EXPECT_EQ(mZeq.FieldReadD(), 0.0);
    EXPECT_TRUE(mZeq.FieldReadEnd());

    ASSERT_TRUE(mZeq.FieldReadBegin("Ints"));
    for (int i : ints) EXPECT_EQ(mZeq.FieldReadI(), i);
    EXPECT_TRUE(mZeq.FieldReadEnd());

    ASSERT_TRUE(mZeq.FieldReadBegin("Longs"));
    for (kLongLong l : longs) EXPECT_EQ(mZeq.FieldReadL(), l);
    EXPECT_TRUE(mZeq.FieldReadEnd());

    ASSERT_TRUE(mZeq.FieldReadBegin("Strings"));
    for (const std::string& s : strings) {
        const KString read = mZeq.FieldReadC();
        EXPECT_EQ(std::string(read.Buffer(), read.GetLen()), s);
    }
    EXPECT_EQ(mZeq.FieldReadGetType(), 'S');
    EXPECT_TRUE(mZeq.FieldReadEnd());

    ASSERT_TRUE(mZeq.FieldReadBegin("Chars"));
    for (int c = 0; c < 256; ++c) EXPECT_EQ(mZeq.FieldReadCH(), static_cast<char>(c)) << c;
    EXPECT_TRUE(mZeq.FieldReadEnd());
}

TEST_P(KZeqValues, NamesWithAnyByteRoundTrip) {
    const std::string names[] = {"", "Lcl Rotation", "a:b,c;d{e}", "@directive", "\"quoted\"", AllBytes()};
    RoundTrip([&](KZeq& z) {
        for (const std::string& name : names) {
            z.FieldWriteBegin(name.data(), name.size());
            z.FieldWriteI(static_cast<int>(name.size()));
            z.FieldWriteEnd();
        }
    });
    ASSERT_EQ(mZeq.FieldGetBlockFieldCount(), 6);
    for (int i = 0; i < 6; ++i) {
        const KString name = mZeq.FieldGetBlockFieldName(i);
        EXPECT_EQ(std::string(name.Buffer(), name.GetLen()), names[i]);
    }
    for (const std::string& name : names) {
        ASSERT_TRUE(mZeq.FieldReadBegin(name.data(), name.size()));
        EXPECT_EQ(mZeq.FieldReadI(), static_cast<int>(name.size()));
        mZeq.FieldReadEnd();
    }
}

TEST_P(KZeqValues, TypedArraysRoundTripAndMix) {
    std::vector<double> doubles(100000);
    std::vector<int> ints(100001);
    std::vector<float> floats(1000);
    std::vector<kLongLong> longs(1000);
    for (std::size_t i = 0; i < doubles.size(); ++i) doubles[i] = static_cast<double>(i) * 0.25 - 7.0;
    for (std::size_t i = 0; i < ints.size(); ++i) ints[i] = static_cast<int>(i * 7919) - 5000;
    for (std::size_t i = 0; i < floats.size(); ++i) floats[i] = static_cast<float>(i) / 3.0f;
    for (std::size_t i = 0; i < longs.size(); ++i) longs[i] = static_cast<kLongLong>(i) << 40;
    RoundTrip([&](KZeq& z) {
        z.FieldWriteBegin("Vertices");
        z.FieldWriteDn(doubles.data(), static_cast<int>(doubles.size()));
        z.FieldWriteEnd();
        z.FieldWriteBegin("Mixed");
        z.FieldWriteI(1);
        z.FieldWriteIn(ints.data(), static_cast<int>(ints.size()));
        z.FieldWriteI(2);
        z.FieldWriteD(0.5);
        z.FieldWriteDn(doubles.data(), 3);
        z.FieldWriteC("tail");
        z.FieldWriteEnd();
        z.FieldWriteBegin("Floats");
        z.FieldWriteFn(floats.data(), static_cast<int>(floats.size()));
        z.FieldWriteEnd();
        z.FieldWriteBegin("Longs");
        z.FieldWriteLn(longs.data(), static_cast<int>(longs.size()));
        z.FieldWriteEnd();
        z.FieldWriteBegin("Empty");
        z.FieldWriteDn(doubles.data(), 0);
        z.FieldWriteEnd();
    });

    std::vector<double> readDoubles(doubles.size() + 5, -1.0);
    ASSERT_TRUE(mZeq.FieldReadBegin("Vertices"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), static_cast<int>(doubles.size()));
    EXPECT_EQ(mZeq.FieldReadDn(readDoubles.data(), static_cast<int>(readDoubles.size())), 100000);
    for (std::size_t i = 0; i < doubles.size(); ++i) ASSERT_EQ(readDoubles[i], doubles[i]) << i;
    EXPECT_EQ(readDoubles[doubles.size()], -1.0);  // untouched beyond the field
    mZeq.FieldReadEnd();

    ASSERT_TRUE(mZeq.FieldReadBegin("Mixed"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), 1 + 100001 + 1 + 1 + 3 + 1);
    EXPECT_EQ(mZeq.FieldReadI(), 1);
    std::vector<int> readInts(ints.size() + 1);
    // The int array is read across the run boundary into the next int.
    EXPECT_EQ(mZeq.FieldReadIn(readInts.data(), static_cast<int>(readInts.size())), 100002);
    for (std::size_t i = 0; i < ints.size(); ++i) ASSERT_EQ(readInts[i], ints[i]) << i;
    EXPECT_EQ(readInts.back(), 2);
    if (Binary()) {
        EXPECT_EQ(mZeq.FieldReadGetType(), 'D');
    }
    double four[4] = {};
    EXPECT_EQ(mZeq.FieldReadDn(four, 4), 4);
    EXPECT_EQ(four[0], 0.5);
    EXPECT_EQ(four[3], doubles[2]);
    EXPECT_EQ(std::string(mZeq.FieldReadC().Buffer()), "tail");
    mZeq.FieldReadEnd();

    std::vector<float> readFloats(floats.size());
    ASSERT_TRUE(mZeq.FieldReadBegin("Floats"));
    EXPECT_EQ(mZeq.FieldReadFn(readFloats.data(), static_cast<int>(readFloats.size())), 1000);
    EXPECT_EQ(readFloats, floats);
    mZeq.FieldReadEnd();

    std::vector<kLongLong> readLongs(longs.size());
    ASSERT_TRUE(mZeq.FieldReadBegin("Longs"));
    EXPECT_EQ(mZeq.FieldReadLn(readLongs.data(), static_cast<int>(readLongs.size())), 1000);
    EXPECT_EQ(readLongs, longs);
    mZeq.FieldReadEnd();

    ASSERT_TRUE(mZeq.FieldReadBegin("Empty"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), 0);
    EXPECT_EQ(mZeq.FieldReadDn(readDoubles.data(), 3), 0);
}

TEST_P(KZeqValues, NamedRandomAccessWalksEachNameInFileOrder) {
    RoundTrip([](KZeq& z) {
        for (int i = 0; i < 3000; ++i) {
            z.FieldWriteBegin(i % 3 == 0 ? "Model" : (i % 3 == 1 ? "Texture" : "Material"));
            z.FieldWriteI(i);
            z.FieldWriteEnd();
        }
        z.FieldWriteBegin("Version");
        z.FieldWriteI(7);
        z.FieldWriteEnd();
    });
    EXPECT_EQ(mZeq.FieldGetInstanceCount("Model"), 1000);
    EXPECT_EQ(mZeq.FieldGetInstanceCount("Missing"), 0);
    // Another order than written: the last field first, then interleaved names.
    EXPECT_EQ(mZeq.FieldReadI("Version", -1), 7);
    EXPECT_EQ(mZeq.FieldReadI("Version", -1), -1);
    for (int k = 0; k < 1000; ++k) {
        ASSERT_EQ(mZeq.FieldReadI("Material", -1), 3 * k + 2);
        ASSERT_EQ(mZeq.FieldReadI("Model", -1), 3 * k);
    }
    EXPECT_FALSE(mZeq.FieldReadBegin("Model"));
    EXPECT_EQ(mZeq.FieldReadI("Texture", -1), 1);
    EXPECT_TRUE(mZeq.FieldReadResetPosition());
    EXPECT_EQ(mZeq.FieldReadI("Model", -1), 0);
    EXPECT_EQ(mZeq.FieldReadI("Texture", -1), 1);
    EXPECT_EQ(mZeq.FieldReadI("Version", -1), 7);
}

TEST_P(KZeqValues, NestedBlocksAndNamedDefaults) {
    RoundTrip([](KZeq& z) {
        z.FieldWriteBegin("Takes");
        z.FieldWriteBlockBegin();
        z.FieldWriteBegin("Current");
        z.FieldWriteC("Take 001");
        z.FieldWriteEnd();
        for (int t = 0; t < 2; ++t) {
            z.FieldWriteBegin("Take");
            z.FieldWriteC(t == 0 ? "Take 001" : "Take 002");
            z.FieldWriteBlockBegin();
            z.FieldWriteBegin("Color");
            z.FieldWriteD(0.25);
            z.FieldWriteD(0.5);
            z.FieldWriteEnd();
            z.FieldWriteBegin("Empty");
            z.FieldWriteBlockBegin();
            z.FieldWriteBlockEnd();
            z.FieldWriteEnd();
            z.FieldWriteBlockEnd();
            z.FieldWriteEnd();
        }
        z.FieldWriteBlockEnd();
        z.FieldWriteEnd();
        z.FieldWriteBegin("NoBlock");
        z.FieldWriteEnd();
    });
    EXPECT_FALSE(mZeq.FieldReadBlockBegin());
    ASSERT_TRUE(mZeq.FieldReadBegin("Takes"));
    EXPECT_EQ(mZeq.FieldReadGetCount(), 0);
    ASSERT_TRUE(mZeq.FieldReadBlockBegin());
    EXPECT_EQ(std::string(mZeq.FieldReadC("Current", "none").Buffer()), "Take 001");
    EXPECT_EQ(std::string(mZeq.FieldReadC("Missing", "none").Buffer()), "none");
    for (int t = 0; t < 2; ++t) {
        ASSERT_TRUE(mZeq.FieldReadBegin("Take"));
        EXPECT_EQ(std::string(mZeq.FieldReadC().Buffer()), t == 0 ? "Take 001" : "Take 002");
        ASSERT_TRUE(mZeq.FieldReadBlockBegin());
        double color[3] = {9, 9, 9};
        const double defaults[3] = {1, 2, 3};
        EXPECT_TRUE(mZeq.FieldReadDn("Color", color, defaults, 3));
        EXPECT_EQ(color[0], 0.25);
        EXPECT_EQ(color[1], 0.5);
        EXPECT_EQ(color[2], 9);  // the field has two values only
        EXPECT_FALSE(mZeq.FieldReadDn("Color", color, defaults, 3));
        EXPECT_EQ(color[2], 3);
        double untouched[2] = {5, 6};
        EXPECT_FALSE(mZeq.FieldReadDn("Missing", untouched, nullptr, 2));
        EXPECT_EQ(untouched[0], 5);
        ASSERT_TRUE(mZeq.FieldReadBegin("Empty"));
        ASSERT_TRUE(mZeq.FieldReadBlockBegin());
        EXPECT_EQ(mZeq.FieldGetBlockFieldCount(), 0);
        EXPECT_TRUE(mZeq.FieldReadBlockEnd());
        mZeq.FieldReadEnd();
        EXPECT_TRUE(mZeq.FieldReadBlockEnd());
        EXPECT_TRUE(mZeq.FieldReadEnd());
    }
    EXPECT_TRUE(mZeq.FieldReadBlockEnd());
    mZeq.FieldReadEnd();
    EXPECT_FALSE(mZeq.FieldReadBlockEnd());
    ASSERT_TRUE(mZeq.FieldReadBegin("NoBlock"));
    EXPECT_FALSE(mZeq.FieldReadBlockBegin());
    EXPECT_EQ(mZeq.FieldReadGetType(), 'S');
    EXPECT_EQ(std::string(mZeq.FieldReadC().Buffer()), "");
    EXPECT_EQ(mZeq.FieldReadI(), 0);
    EXPECT_EQ(mZeq.FieldReadCH(), 0);
}

TEST_P(KZeqValues, ReadsConvertBetweenTypes) {
    RoundTrip([](KZeq& z) {
        z.FieldWriteBegin("Values");
        z.FieldWriteD(3.75);
        z.FieldWriteI(-2);
        z.FieldWriteC("12");
        z.FieldWriteD(1e20);
        z.FieldWriteD(std::numeric_limits<double>::quiet_NaN());
        z.FieldWriteI(65);
        z.FieldWriteEnd();
    });
    ASSERT_TRUE(mZeq.FieldReadBegin("Values"));
    EXPECT_EQ(mZeq.FieldReadI(), 3);
    EXPECT_EQ(mZeq.FieldReadD(), -2.0);
    EXPECT_EQ(mZeq.FieldReadI(), 12);
    EXPECT_EQ(mZeq.FieldReadI(), INT_MAX);
    EXPECT_EQ(mZeq.FieldReadL(), 0);
    EXPECT_EQ(mZeq.FieldReadCH(), 'A');
}

INSTANTIATE_TEST_SUITE_P(Encodings, KZeqValues, testing::ValuesIn(zeqtest::kEncodings),
                         [](const testing::TestParamInfo<Encoding>& info) { return zeqtest::EncodingName(info.param); });

// Times: ticks above section version 2000, seconds as doubles up to it.
class KZeqTimes : public testing::TestWithParam<std::tuple<Encoding, int>> {};

TEST_P(KZeqTimes, TimeEncodingFollowsTheSectionVersion) {
    const Encoding encoding = std::get<0>(GetParam());
    const int version = std::get<1>(GetParam());
    zeqtest::ScratchDir dir;
    const std::string path = dir / "times.zeq";
    const KTime oneAndHalf(KTime::kTicksPerSecond + KTime::kTicksPerSecond / 2);
    const KTime odd(123456789);  // not a whole number of microseconds
    {
        KZeqFileHeaderInfo header;
        header.mFileVersion = version;
        KZeq writer;
        ASSERT_TRUE(writer.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted, &header));
        EXPECT_EQ(writer.IsVersion2000OrLater(), version > 1999);
        writer.FieldWriteBegin("Time");
        writer.FieldWriteT(oneAndHalf);
        writer.FieldWriteT(odd);
        writer.FieldWriteEnd();
        writer.FieldWriteBegin("Span");
        writer.FieldWriteTS(KTimeSpan(KTime(0), oneAndHalf));
        writer.FieldWriteEnd();
        ASSERT_TRUE(writer.ProjectClose());
    }
    KZeq reader;
    ASSERT_TRUE(reader.ProjectOpen(path.c_str(), false, true));
    EXPECT_EQ(reader.IsVersion2000OrLater(), version > 1999);
    EXPECT_EQ(reader.ProjectGetSectionVersion(0), version);
    ASSERT_TRUE(reader.FieldReadBegin("Time"));
    if (encoding.mBinary) {
        EXPECT_EQ(reader.FieldReadGetType(), version > 2000 ? 'L' : 'D');
    }
    EXPECT_EQ(reader.FieldReadT(), oneAndHalf);
    const KTime readOdd = reader.FieldReadT();
    if (version > 2000) {
        EXPECT_EQ(readOdd, odd);
    } else {
        EXPECT_NEAR(static_cast<double>(readOdd.Get()), static_cast<double>(odd.Get()), 2.0);
    }
    reader.FieldReadEnd();
    EXPECT_EQ(reader.FieldReadTS("Span"), KTimeSpan(KTime(0), oneAndHalf));
    EXPECT_EQ(reader.FieldReadTS("Missing"), KTimeSpan(KTime(0), KTime(0)));
    EXPECT_EQ(reader.FieldReadT("Missing"), KTime(0));
}

INSTANTIATE_TEST_SUITE_P(Versions, KZeqTimes,
                         testing::Combine(testing::ValuesIn(zeqtest::kEncodings), testing::Values(1999, 2000, 2001, 5800)),
                         [](const testing::TestParamInfo<std::tuple<Encoding, int>>& info) {
                             return zeqtest::EncodingName(std::get<0>(info.param)) + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace
