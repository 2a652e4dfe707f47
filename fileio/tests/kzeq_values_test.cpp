// One table of value cases, each written and read back in every encoding: values
// at their limits, arrays and strings across the sizes where binary files move them
// into separately checked chunks, blocks, named access and times.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/kzeqbody.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;
using zeqdetail::kChunkBytes;
using zeqtest::Encoding;
using zeqtest::Str;

namespace {

const double kInf = std::numeric_limits<double>::infinity(), kNaN = std::numeric_limits<double>::quiet_NaN();

// The read side of a case gets the file with its main section open.
struct ValueCase {
    const char* mName;
    void (*mWrite)(KZeq&);
    void (*mRead)(KZeq&, bool binary, int version);
    int mVersion = 6000;
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.mName; }

template <class T, class F>
std::vector<T> Make(std::size_t n, F f) {
    std::vector<T> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = f(i);
    return v;
}

template <class F>
std::string MakeText(std::size_t n, F f) {
    const std::vector<char> bytes = Make<char>(n, f);
    return std::string(bytes.begin(), bytes.end());
}

// --- every value type at its limits, names of any bytes ----------------------------

const double kDoubles[] = {0.0, -0.0, 1.5, -123456.789, 1e300, -1e-300, kInf, -kInf, kNaN, 0.1};
const int kInts[] = {0, 1, -1, INT_MIN, INT_MAX};
const kLongLong kLongs[] = {0, LLONG_MIN, LLONG_MAX, 46186158000LL};
const std::string kStrings[] = {"", "plain", "with \"quotes\"", "back\\slash", "line\nbreak\r\n",
                                MakeText(256, [](std::size_t i) { return static_cast<char>(i); })};
const std::string kNames[] = {"", "Lcl Rotation", "a:b,c;d{e}", "@directive", "\"quoted\"", kStrings[5]};

void WriteScalars(KZeq& z) {
    z.FieldWriteBegin("Doubles");
    for (double d : kDoubles) z.FieldWriteD(d);
    z.FieldWriteBegin("Ints");
    for (int i : kInts) z.FieldWriteI(i);  // value by value, not as arrays
    z.FieldWriteBegin("Longs");
    for (kLongLong l : kLongs) z.FieldWriteL(l);
    z.FieldWriteBegin("Strings");
    for (const std::string& s : kStrings) z.FieldWriteC(s.data(), s.size());
    z.FieldWriteBegin("Chars");
    for (char c : kStrings[5]) z.FieldWriteCH(c);
    zeqtest::Put(z, "Convert", 3.75, -2, "12", 1e20, kNaN, 65);  // reads convert between the types
    zeqtest::Put(z, "Floats", 0.1, 1e300, 7, kLongLong{-3});
    // Values of every number type read as chars, one by one and in a batch.
    zeqtest::Put(z, "CharOf", 'A', 321, 65.9, kLongLong{-1}, 1e300, kNaN, std::vector<float>{-190.5f});
    z.FieldWriteBegin("Names");
    z.FieldWriteBlockBegin();
    for (const std::string& name : kNames) {
        z.FieldWriteBegin(name.data(), name.size());
        z.FieldWriteI(static_cast<int>(name.size()));
    }
    z.FieldWriteBlockEnd();
    z.FieldWriteEnd();
}

void ReadScalars(KZeq& z, bool binary, int) {
    ASSERT_TRUE(z.FieldReadBegin("Doubles") && z.FieldReadGetCount() == 10);
    for (double d : kDoubles) {
        const double read = z.FieldReadD();
        EXPECT_TRUE(zeqtest::SameBits(read, d) || (std::isnan(d) && std::isnan(read))) << d;
    }
    EXPECT_TRUE(z.FieldReadGetRemain() == 0 && z.FieldReadD() == 0.0);
    ASSERT_TRUE(z.FieldReadBegin("Ints"));
    for (int i : kInts) EXPECT_EQ(z.FieldReadI(), i);
    ASSERT_TRUE(z.FieldReadBegin("Longs"));
    for (kLongLong l : kLongs) EXPECT_EQ(z.FieldReadL(), l);
    ASSERT_TRUE(z.FieldReadBegin("Strings"));
    for (const std::string& s : kStrings) EXPECT_EQ(Str(z.FieldReadC()), s);
    EXPECT_EQ(z.FieldReadGetType(), 'S');
    ASSERT_TRUE(z.FieldReadBegin("Chars"));
    for (char c : kStrings[5]) EXPECT_EQ(z.FieldReadCH(), c);
    ASSERT_TRUE(z.FieldReadBegin("Convert"));
    EXPECT_TRUE(z.FieldReadI() == 3 && z.FieldReadD() == -2.0 && z.FieldReadI() == 12 && z.FieldReadI() == INT_MAX &&
                z.FieldReadL() == 0 && z.FieldReadCH() == 'A');
    ASSERT_TRUE(z.FieldReadBegin("Floats"));
    EXPECT_EQ(z.FieldReadF(), 0.1f);
    EXPECT_EQ(z.FieldReadF(), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(z.FieldReadF() == 7.0f && z.FieldReadF() == -3.0f && z.FieldReadF() == 0.0f);
    // A batch converts to a char as the one-value read does: the low byte of the integer, a real
    // cut toward zero and saturated (NaN as 0). ASCII keeps no types: there the batch may stop early.
    ASSERT_TRUE(z.FieldReadBegin("CharOf"));
    KZeq::Value values[8];
    const int batch = z.FieldReadValues(values, 8);
    if (binary) { EXPECT_EQ(batch, 7); }
    const char expected[] = {'A', 'A', 'A', '\xff', '\xff', '\0', static_cast<char>(-190)};
    for (int k = 0; k < batch; ++k) EXPECT_EQ(values[k].AsChar(), expected[k]) << k;
    ASSERT_TRUE(z.FieldReadResetPosition() && z.FieldReadBegin("CharOf"));
    for (char c : expected) EXPECT_EQ(z.FieldReadCH(), c);
    ASSERT_TRUE(z.FieldReadBegin("Names") && z.FieldReadBlockBegin() && z.FieldGetBlockFieldCount() == 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Str(z.FieldGetBlockFieldName(i)), kNames[i]);
    for (const std::string& name : kNames)
        ASSERT_TRUE(z.FieldReadBegin(name.data(), name.size()) && z.FieldReadI() == static_cast<int>(name.size()));
}

// --- arrays and strings just below, at and above the sizes where they leave the body ---

const std::vector<double> kBigDoubles =
    Make<double>(7 * kChunkBytes / 16 + 3, [](std::size_t i) { return static_cast<double>(i) * 0.25 - 1000.0; });
const std::vector<int> kBigInts =
    Make<int>(kChunkBytes / 4 * 2 + 5, [](std::size_t i) { return static_cast<int>(i * 2654435761u); });
const std::vector<float> kFloats =
    Make<float>(kChunkBytes / 4 + 9, [](std::size_t i) { return static_cast<float>(i) * 0.5f; });
const std::vector<kLongLong> kLongArray =
    Make<kLongLong>(kChunkBytes / 8 * 3 + 1, [](std::size_t i) { return static_cast<kLongLong>(i) * 1539538600 - 7; });
const std::string kHuge =
    MakeText(3 * kChunkBytes + 11, [](std::size_t i) { return static_cast<char>(i * 7 + i / 256); });
const std::size_t kDoubleCounts[] = {3, kChunkBytes / 32 - 1, kChunkBytes / 32, kChunkBytes / 8, kChunkBytes / 8 + 1,
                                     kBigDoubles.size()};
const std::size_t kTextSizes[] = {kChunkBytes / 4 - 1, kChunkBytes / 4, 3 * kChunkBytes + 11};
const int kOuter = static_cast<int>(kChunkBytes / 8 * 2 + 3), kInner = static_cast<int>(kChunkBytes / 4 + 1);
const int kKeys = 120000;

template <class T>
bool StartsWith(const std::vector<T>& read, const std::vector<T>& expected) {
    return read.size() <= expected.size() && std::equal(read.begin(), read.end(), expected.begin());
}

void WriteArrays(KZeq& z) {
    for (std::size_t count : kDoubleCounts) {
        z.FieldWriteBegin("D");
        z.FieldWriteDn(kBigDoubles.data(), static_cast<int>(count));
    }
    // An int array between single values of other types.
    const std::vector<double> three(kBigDoubles.begin(), kBigDoubles.begin() + 3);
    zeqtest::Put(z, "Mixed", 1, kBigInts, 2, 0.5, three, "tail");
    zeqtest::Put(z, "F", kFloats);
    zeqtest::Put(z, "L", kLongArray);
    z.FieldWriteBegin("Empty");
    z.FieldWriteDn(kBigDoubles.data(), 0);
    z.FieldWriteBegin("Strings");
    for (std::size_t size : kTextSizes) z.FieldWriteC(kHuge.data(), size);
    z.FieldWriteBegin("Outer");
    z.FieldWriteDn(kBigDoubles.data(), kOuter);
    z.FieldWriteBlockBegin();
    z.FieldWriteBegin("Inner");
    z.FieldWriteIn(kBigInts.data(), kInner);
    z.FieldWriteEnd();
    z.FieldWriteBlockEnd();
    z.FieldWriteEnd();
    // Curve keys as curves store them: mixed types value by value, far more than one
    // chunk, with arrays and strings in between.
    z.FieldWriteBegin("Key");
    for (int i = 0; i < kKeys; ++i) {
        zeqtest::PutValues(z, kLongLong{i} * 1539538600, i % 1000 * 0.25, 'U', static_cast<char>('a' + i % 26), i);
        if (i % 10000 == 0) zeqtest::PutValues(z, std::vector<double>{1, 2, 3, 4, 5, double(i)}, "text, \"quoted\"");
    }
    zeqtest::Put(z, "After", 42);
    z.FieldWriteEnd();
}

void ReadArrays(KZeq& z, bool binary, int) {
    for (std::size_t count : kDoubleCounts) {
        ASSERT_TRUE(z.FieldReadBegin("D") && z.FieldReadGetCount() == static_cast<int>(count)) << count;
        std::vector<double> read(count + 1, 7.0);
        // Pieces that do not line up with the chunks, then one value at a time.
        std::size_t done = 0;
        while (count - done > 2) {
            const int piece = static_cast<int>(std::min<std::size_t>(100003, count - done - 2));
            ASSERT_EQ(z.FieldReadDn(read.data() + done, piece), piece);
            done += static_cast<std::size_t>(piece);
        }
        while (done < count) {
            if (binary) { EXPECT_EQ(z.FieldReadGetType(), 'D'); }  // ASCII keeps no types
            read[done++] = z.FieldReadD();
        }
        // Nothing is read, or written, past the field.
        EXPECT_TRUE(z.FieldReadGetRemain() == 0 && z.FieldReadDn(read.data() + count, 1) == 0 && read[count] == 7.0);
        read.pop_back();
        EXPECT_TRUE(StartsWith(read, kBigDoubles)) << count;
    }
    ASSERT_TRUE(z.FieldReadBegin("Mixed") && z.FieldReadGetCount() == static_cast<int>(kBigInts.size()) + 7);
    EXPECT_EQ(z.FieldReadI(), 1);
    // The array is read across the run's end into the next int.
    std::vector<int> ints = zeqtest::ReadValues<int>(z, nullptr, kBigInts.size() + 1);
    ASSERT_TRUE(ints.size() == kBigInts.size() + 1 && ints.back() == 2);
    ints.pop_back();
    EXPECT_EQ(ints, kBigInts);
    double four[4] = {};
    EXPECT_TRUE((!binary || z.FieldReadGetType() == 'D') && z.FieldReadDn(four, 4) == 4 && four[0] == 0.5 &&
                four[3] == kBigDoubles[2]);
    EXPECT_EQ(Str(z.FieldReadC()), "tail");
    EXPECT_EQ(zeqtest::ReadValues<float>(z, "F", kFloats.size()), kFloats);
    EXPECT_EQ(zeqtest::ReadValues<kLongLong>(z, "L", kLongArray.size()), kLongArray);
    EXPECT_TRUE(z.FieldReadBegin("Empty") && z.FieldReadGetCount() == 0 && z.FieldReadDn(four, 3) == 0);
    ASSERT_TRUE(z.FieldReadBegin("Strings"));
    for (std::size_t size : kTextSizes)
        EXPECT_TRUE(z.FieldReadGetType() == 'S' && Str(z.FieldReadC()) == kHuge.substr(0, size)) << size;
    // A parent's values, read on after its block was read, come from its own
    // chunk; a field read again loads its chunks again.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<double> outer(static_cast<std::size_t>(kOuter));
        ASSERT_TRUE(z.FieldReadBegin("Outer") && z.FieldReadDn(outer.data(), kOuter / 2) == kOuter / 2 &&
                    z.FieldReadBlockBegin());
        const std::vector<int> inner = zeqtest::ReadValues<int>(z, "Inner", static_cast<std::size_t>(kInner));
        EXPECT_TRUE(inner.size() == static_cast<std::size_t>(kInner) && StartsWith(inner, kBigInts));
        ASSERT_TRUE(z.FieldReadBlockEnd());
        ASSERT_EQ(z.FieldReadDn(outer.data() + kOuter / 2, kOuter - kOuter / 2), kOuter - kOuter / 2);
        EXPECT_TRUE(StartsWith(outer, kBigDoubles));
        z.FieldReadResetPosition();
    }
    ASSERT_TRUE(z.FieldReadBegin("Key"));
    EXPECT_EQ(z.FieldReadGetCount(), kKeys * 5 + (kKeys / 10000) * 7);
    for (int i = 0; i < kKeys; ++i) {
        ASSERT_TRUE((!binary || z.FieldReadGetType() == 'L') && z.FieldReadL() == kLongLong{i} * 1539538600 &&
                    z.FieldReadD() == i % 1000 * 0.25 && z.FieldReadCH() == 'U' && z.FieldReadCH() == 'a' + i % 26 &&
                    z.FieldReadI() == i) << i;
        double run[6] = {};
        if (i % 10000 != 0) continue;
        ASSERT_TRUE(z.FieldReadDn(run, 6) == 6 && run[5] == i && Str(z.FieldReadC()) == "text, \"quoted\"") << i;
    }
    EXPECT_TRUE(z.FieldReadGetRemain() == 0 && z.FieldReadI("After", 0) == 42);
}

// --- fields and blocks ---------------------------------------------------------------

void WriteFields(KZeq& z) {
    for (int i = 0; i < 3000; ++i) zeqtest::Put(z, i % 3 == 0 ? "Model" : (i % 3 == 1 ? "Texture" : "Material"), i);
    zeqtest::Put(z, "Version", 7);
    z.FieldWriteBegin("Takes");
    z.FieldWriteBlockBegin();
    zeqtest::Put(z, "Current", "Take 001");
    for (const char* take : {"Take 001", "Take 002"}) {
        zeqtest::Put(z, "Take", take);
        z.FieldWriteBlockBegin();
        zeqtest::Put(z, "Color", 0.25, 0.5);
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
}

// Each name is walked in file order, in any order of names, until reset.
void ReadFields(KZeq& z, bool, int) {
    EXPECT_TRUE(z.FieldGetInstanceCount("Model") == 1000 && z.FieldGetInstanceCount("Missing") == 0);
    EXPECT_TRUE(z.FieldReadL("Version", -1) == 7 && z.FieldReadL("Version", LLONG_MIN) == LLONG_MIN &&
                z.FieldReadI("Version", -1) == -1);
    for (int k = 0; k < 1000; ++k)
        ASSERT_TRUE(z.FieldReadI("Material", -1) == 3 * k + 2 && z.FieldReadI("Model", -1) == 3 * k) << k;
    EXPECT_TRUE(!z.FieldReadBegin("Model") && z.FieldReadI("Texture", -1) == 1 && z.FieldReadResetPosition());
    EXPECT_TRUE(z.FieldReadI("Model", -1) == 0 && z.FieldReadI("Texture", -1) == 1 && z.FieldReadI("Version", -1) == 7);
    EXPECT_FALSE(z.FieldReadBlockBegin());
    ASSERT_TRUE(z.FieldReadBegin("Takes") && z.FieldReadGetCount() == 0 && z.FieldReadBlockBegin());
    EXPECT_TRUE(Str(z.FieldReadC("Current", "none")) == "Take 001" && Str(z.FieldReadC("Missing", "none")) == "none");
    for (const char* take : {"Take 001", "Take 002"}) {
        ASSERT_TRUE(z.FieldReadBegin("Take") && Str(z.FieldReadC()) == take && z.FieldReadBlockBegin());
        // Values the field lacks stay; defaults only without the field.
        std::vector<double> color = {9, 9, 9};
        const double defaults[3] = {1, 2, 3};
        EXPECT_TRUE(z.FieldReadDn("Color", color.data(), defaults, 3));
        EXPECT_EQ(color, (std::vector<double>{0.25, 0.5, 9}));
        EXPECT_FALSE(z.FieldReadDn("Color", color.data(), defaults, 3) ||
                     z.FieldReadDn("Missing", color.data() + 1, nullptr, 2));
        EXPECT_EQ(color, (std::vector<double>{1, 2, 3}));
        ASSERT_TRUE(z.FieldReadBegin("Empty") && z.FieldReadBlockBegin() && z.FieldGetBlockFieldCount() == 0);
        EXPECT_TRUE(z.FieldReadBlockEnd());
        z.FieldReadEnd();
        EXPECT_TRUE(z.FieldReadBlockEnd() && z.FieldReadEnd());
    }
    EXPECT_TRUE(z.FieldReadBlockEnd());
    z.FieldReadEnd();
    EXPECT_FALSE(z.FieldReadBlockEnd());
    // A field without values reads 'S', "" and 0.
    ASSERT_TRUE(z.FieldReadBegin("NoBlock") && !z.FieldReadBlockBegin() && z.FieldReadGetType() == 'S');
    EXPECT_TRUE(Str(z.FieldReadC()).empty() && z.FieldReadI() == 0 && z.FieldReadCH() == 0);
}

// --- times: ticks above section version 2000, seconds up to it -----------------------

const KTime kOneAndHalf(KTime::kTicksPerSecond + KTime::kTicksPerSecond / 2);
const KTime kOdd(123456789);  // not a whole number of microseconds

void WriteTimes(KZeq& z) {
    z.FieldWriteBegin("Time");
    z.FieldWriteT(kOneAndHalf);
    z.FieldWriteT(kOdd);
    z.FieldWriteI(3);  // an int: ticks above version 2000, seconds up to it
    z.FieldWriteBegin("Span");
    z.FieldWriteTS(KTimeSpan(KTime(0), kOneAndHalf));
    z.FieldWriteEnd();
}

void ReadTimes(KZeq& z, bool binary, int version) {
    ASSERT_TRUE(z.FieldReadBegin("Time") && (!binary || z.FieldReadGetType() == (version > 2000 ? 'L' : 'D')));
    EXPECT_EQ(z.FieldReadT(), kOneAndHalf);
    EXPECT_NEAR(static_cast<double>(z.FieldReadT().Get()), static_cast<double>(kOdd.Get()), version > 2000 ? 0.0 : 2.0);
    EXPECT_EQ(z.FieldReadT().Get(), version > 2000 ? 3 : 3 * KTime::kTicksPerSecond);
    EXPECT_EQ(z.FieldReadTS("Span"), KTimeSpan(KTime(0), kOneAndHalf));
    EXPECT_TRUE(z.FieldReadTS("Missing") == KTimeSpan(KTime(0), KTime(0)) && z.FieldReadT("Missing") == KTime(0));
}

const ValueCase kCases[] = {{"Scalars", WriteScalars, ReadScalars},       {"Arrays", WriteArrays, ReadArrays},
                             {"Fields", WriteFields, ReadFields},          {"Times1999", WriteTimes, ReadTimes, 1999},
                             {"Times2000", WriteTimes, ReadTimes, 2000},   {"Times2001", WriteTimes, ReadTimes, 2001},
                             {"Times5800", WriteTimes, ReadTimes, 5800}};

class KZeqValues : public testing::TestWithParam<std::tuple<Encoding, ValueCase>> {};

TEST_P(KZeqValues, RoundTrip) {
    const Encoding& encoding = std::get<0>(GetParam());
    const ValueCase& c = std::get<1>(GetParam());
    zeqtest::TempDir dir;
    const std::string path = dir / "values.zeq";
    // The flag follows the file version (above 1999), the time encoding the section
    // version (above 2000).
    ASSERT_TRUE(zeqtest::WriteZeq(
        path, encoding,
        [&](KZeq& z) {
            EXPECT_EQ(z.IsVersion2000OrLater(), c.mVersion > 1999);
            c.mWrite(z);
        },
        c.mVersion));
    KZeq z;
    ASSERT_TRUE(z.ProjectOpen(path.c_str(), false, true)) << z.GetLastErrorString();
    EXPECT_TRUE(z.IsBinary() == encoding.mBinary && z.IsEncrypted() == encoding.mEncrypted);
    EXPECT_TRUE(z.IsVersion2000OrLater() == (c.mVersion > 1999) && z.ProjectGetSectionVersion(0) == c.mVersion);
    c.mRead(z, encoding.mBinary, c.mVersion);
    EXPECT_EQ(z.GetLastErrorID(), -1) << z.GetLastErrorString();
}

INSTANTIATE_TEST_SUITE_P(Cases, KZeqValues,
                         testing::Combine(testing::ValuesIn(zeqtest::kEncodings), testing::ValuesIn(kCases)),
                         [](const testing::TestParamInfo<std::tuple<Encoding, ValueCase>>& info) {
                             return std::string(std::get<0>(info.param).mName) + "_" + std::get<1>(info.param).mName;
                         });

}  // namespace
