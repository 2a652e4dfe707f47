#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "fcurve/tests/fcurve_test_support.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqrecords.h"

using namespace fcurvetest;

namespace {

using Fill = std::function<void(KZeq&)>;

// A field file written to memory in one encoding and opened again for reading.
class MemoryZeq {
public:
    KZeq& Make(bool binary, const Fill& fill) {
        KZeq writer;
        EXPECT_TRUE(writer.ProjectCreateStream(mWritten, binary, false));
        fill(writer);
        EXPECT_EQ(writer.GetLastErrorID(), -1) << writer.GetLastErrorString();
        EXPECT_TRUE(writer.ProjectClose());
        mRead = std::make_unique<KChainedMemoryFile>(mWritten.GetData(), mWritten.GetDataSize());
        EXPECT_TRUE(mReader.ProjectOpenStream(*mRead, true, true)) << mReader.GetLastErrorString();
        return mReader;
    }

private:
    KChainedMemoryFile mWritten;
    std::unique_ptr<KChainedMemoryFile> mRead;  // outlives the reader
    KZeq mReader;
};

std::vector<std::string> FieldNames(KZeq& file) {
    std::vector<std::string> names;
    for (int i = 0; i < file.FieldGetBlockFieldCount(); ++i)
        names.emplace_back(file.FieldGetBlockFieldName(i).Buffer());
    return names;
}

// The values of the next field of that name as one string: letters for chars,
// whole numbers bare and others with four decimals, alike in both encodings.
std::string FieldValues(KZeq& file, const char* name) {
    std::string text;
    if (!file.FieldReadBegin(name)) return "<none>";
    while (file.FieldReadGetRemain() > 0) {
        if (!text.empty()) text += ' ';
        if (file.FieldReadGetType() == 'C') {
            text += file.FieldReadCH();
            continue;
        }
        const double v = file.FieldReadD();
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, v == std::floor(v) ? "%.0f" : "%.4f", v);
        text += buffer;
    }
    file.FieldReadEnd();
    return text;
}

void WriteField(KZeq& z, const char* name, int value) {
    z.FieldWriteBegin(name);
    z.FieldWriteI(value);
    z.FieldWriteEnd();
}

// A hand-written curve record: "Default", "KeyVer" (none when negative),
// "KeyCount" and the "Key" values.
Fill Record(int version, int count, const Fill& keys) {
    return [=](KZeq& z) {
        z.FieldWriteBegin("Default");
        z.FieldWriteD(0.5);
        z.FieldWriteEnd();
        if (version >= 0) WriteField(z, "KeyVer", version);
        WriteField(z, "KeyCount", count);
        z.FieldWriteBegin("Key");
        keys(z);
        z.FieldWriteEnd();
    };
}

// One key's time, value and letters, then values one by one.
void Key(KZeq& z, double seconds, double value, const char* letters, std::initializer_list<double> data = {}) {
    z.FieldWriteT(Sec(seconds));
    z.FieldWriteD(value);
    for (const char* c = letters; *c; ++c) z.FieldWriteCH(*c);
    for (double d : data) z.FieldWriteD(d);
}

// What a key keeps through storage, as read back; for the original (stored) key, what it should
// come back as: velocities are not stored, and unweighted sides read one third.
std::vector<double> Kept(const KFCurveKey& k, bool stored) {
    std::vector<double> v = {double(k.GetTime().Get()), k.GetValue(), double(k.GetInterpolation()),
                             double(k.GetConstantMode())};
    if (k.GetInterpolation() != kCubic) return v;
    v.insert(v.end(), {double(k.GetTangeantMode()), double(k.GetTangeantWeightMode()),
                       k.GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), k.GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE)});
    if (k.GetTangeantMode() == KFCURVE_TANGEANT_TCB) {
        v.push_back(k.GetDataFloat(KFCURVEKEY_TCB_BIAS));
        return v;
    }
    for (auto [slot, bit] : {std::pair{KFCURVEKEY_RIGHT_WEIGHT, KFCURVE_WEIGHTED_RIGHT},
                             std::pair{KFCURVEKEY_NEXT_LEFT_WEIGHT, KFCURVE_WEIGHTED_NEXT_LEFT}})
        v.push_back(!stored || k.GetTangeantWeightMode() & bit ? k.GetDataDouble(slot) : 3333 / 9999.0f);
    v.insert(v.end(), {stored ? 0.0 : k.GetDataDouble(KFCURVEKEY_RIGHT_VELOCITY),
                       stored ? 0.0 : double(k.GetTangeantVelocityMode())});
    return v;
}

class KFCurveStoreTest : public ::testing::TestWithParam<bool> {
protected:
    // A new in-memory file holding what fill writes, open for reading.
    KZeq& Write(const Fill& fill) { return mFiles.emplace_back().Make(GetParam(), fill); }
    KZeq& Store(KFCurve& curve, bool onlyDefaults = false, bool color = true, bool version5 = false) {
        return Write([&](KZeq& z) { curve.ZeqStore(&z, onlyDefaults, color, version5); });
    }
    // The curve read back from a hand-written record.
    KFCurve& Read(int version, int count, const Fill& keys) {
        mCurves.emplace_back().ZeqRetrieve(&Write(Record(version, count, keys)), false, false);
        return mCurves.back();
    }
    std::list<MemoryZeq> mFiles;
    std::list<KFCurve> mCurves;
};

std::string Name(const ::testing::TestParamInfo<bool>& info) { return info.param ? "Binary" : "Ascii"; }

}  // namespace

TEST_P(KFCurveStoreTest, EveryKeyKindRoundTrips) {
    KFCurve curve;
    curve.SetValue(2.5f);
    Add(curve, 0.0, MakeKey(1.0f, kConstant, KFCURVE_CONSTANT_STANDARD));
    Add(curve, 0.5, MakeKey(2.0f, kConstant, KFCURVE_CONSTANT_NEXT));
    KFCurveKey early = MakeKey(1.5f, kLinear);
    curve.KeyAdd(KTime(7), early);  // ticks that ASCII text holds as a 32-bit number
    Add(curve, 1.0, MakeKey(3.0f, kLinear));
    Add(curve, 1.5, MakeKey(4.0f, kCubic, KFCURVE_TANGEANT_USER, 1.25f, -2.5f, KFCURVE_WEIGHTED_ALL, 0.2f, 0.7f));
    // Auto keys keep opposite parameters on their two sides (stored on them and their previous key).
    Add(curve, 2.0, MakeKey(5.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 3.0f, -30.0f, KFCURVE_WEIGHTED_RIGHT, 0.4f));
    Add(curve, 2.5, MakeKey(6.0f, kCubic, KFCURVE_TANGEANT_AUTO, 30.0f, 20.0f));
    Add(curve, 3.0, MakeKey(7.0f, kCubic, KFCURVE_TANGEANT_AUTO, -20.0f, 0.0f));
    Add(curve, 3.5,
        MakeKey(8.0f, kCubic, KFCURVE_TANGEANT_AUTO_BREAK, 12.0f, -7.0f, KFCURVE_WEIGHTED_NEXT_LEFT, 0.3f, 0.6f));
    Add(curve, 4.0, TcbKey(9.0f, 0.25f, -0.5f, 0.75f));
    Add(curve, 4.5, MakeKey(10.0f));
    curve.KeySetRightTangeantVelocity(3, 0.5f);  // velocities are not stored
    core::SetExtrapolation(curve, KFCURVE_EXTRAPOLATION_REPETITION, 3, KFCURVE_EXTRAPOLATION_MIRROR, 0xFFFFFFFFu);
    const float color[3] = {0.25f, 0.5f, 0.75f};
    curve.SetColor(color);
    KFCurve read;
    EXPECT_FALSE(read.ZeqRetrieve(&Store(curve), false, true));
    ASSERT_EQ(read.KeyGetCount(), curve.KeyGetCount());
    for (int i = 0; i < curve.KeyGetCount(); ++i)
        EXPECT_EQ(Kept(*read.KeyGetPtr(i), false), Kept(*curve.KeyGetPtr(i), true)) << "key " << i;
    EXPECT_EQ(read.GetValue(), 2.5f);
    EXPECT_EQ(read.GetColor()[1], 0.5f);
    // The samples far out pin the extrapolation modes and counts.
    EXPECT_EQ(Sample(read, -20.0, 30.0, 500), Sample(curve, -20.0, 30.0, 500));
    EXPECT_EQ(read.GetPostExtrapolationCount(), 0xFFFFFFFFu);
}

TEST_P(KFCurveStoreTest, EveryStoredWeightComesBackToTheSameStep) {
    // Weights are whole steps of 1/9999: no save and load may move them.
    KFCurve curve;
    for (int step = 1; step <= 9899; step += 7) {
        const float weight = static_cast<float>(step / 9999.0);
        Add(curve, step,
            MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.0f, 0.0f, KFCURVE_WEIGHTED_ALL, weight, weight));
    }
    KFCurve read;
    read.ZeqRetrieve(&Store(curve), false, false);
    ASSERT_EQ(read.KeyGetCount(), curve.KeyGetCount());
    for (int i = 0; i < curve.KeyGetCount(); ++i)
        for (EKFCurveDataIndex slot : {KFCURVEKEY_RIGHT_WEIGHT, KFCURVEKEY_NEXT_LEFT_WEIGHT})
            ASSERT_EQ(read.KeyGetPtr(i)->GetDataDouble(slot), curve.KeyGetPtr(i)->GetDataDouble(slot)) << i;
}

TEST_P(KFCurveStoreTest, TheRecordsAndTheirOrder) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 2.0f, 3.0f, KFCURVE_WEIGHTED_RIGHT, 0.5f));
    Add(curve, 1.0, MakeKey(2.0f, kCubic, KFCURVE_TANGEANT_AUTO));
    curve.SetPreExtrapolationCount(3);
    KZeq& file = Store(curve);
    EXPECT_EQ(FieldNames(file),
              (std::vector<std::string>{"Default", "KeyVer", "KeyCount", "Key", "Pre-Extrapolation", "Color"}));
    EXPECT_EQ(file.FieldReadI("KeyVer", 0), 4004);
    EXPECT_EQ(file.FieldReadI("KeyCount", 0), 2);
    // A user key weighted on the right only: 's', its derivatives, 'r' and its weight; an auto key with empty
    // slots: 'a'.
    const std::string ticks = std::to_string(KTime::kTicksPerSecond);
    EXPECT_EQ(FieldValues(file, "Key"), "0 1 U s 2 3 r 0.4999 " + ticks + " 2 U a");
    ASSERT_TRUE(file.FieldReadBegin("Pre-Extrapolation"));
    ASSERT_TRUE(file.FieldReadBlockBegin());
    EXPECT_EQ(file.FieldReadCH("Type", '?'), 'C');
    EXPECT_EQ(file.FieldReadI("Repetition", -5), 3);
}

TEST_P(KFCurveStoreTest, ADamagedKeyInTheMiddleCostsOnlyItself) {
    // Key 1 has a time far beyond the others and a letter without meaning; key 3
    // repeats the time of key 2: the first of the two stays, its incoming weight
    // untouched by the dropped flat auto key, which a kept one (at 4 s) clears.
    KFCurve& read = Read(4004, 6, [](KZeq& z) {
        Key(z, 0.0, 1.0, "L");
        z.FieldWriteT(KTime(LLONG_MAX - 100));
        z.FieldWriteD(9.0);
        z.FieldWriteCH('X');
        for (double t : {2.0, 3.0}) {
            Key(z, t, t + 1, "Us", {0.0, 0.0});
            z.FieldWriteCH('l');
            z.FieldWriteD(0.5);
            Key(z, t == 2.0 ? t : 4.0, 5.0, "Ua");
        }
    });
    EXPECT_EQ(core::KeyTimes(read), (std::vector<double>{0, 2, 3, 4}));
    EXPECT_EQ(read.KeyGetPtr(1)->GetTangeantWeightMode(), KFCURVE_WEIGHTED_NEXT_LEFT);
    EXPECT_EQ(read.KeyGetPtr(2)->GetTangeantWeightMode(), KFCURVE_WEIGHTED_NONE);
}

TEST_P(KFCurveStoreTest, ACountBeyondTheRecordReadsWhatIsThere) {
    for (int count : {INT_MAX, 3, -7}) {
        const kLongLong before = KFCurve::GetRecordingMemory();
        KFCurve& read = Read(4004, count, [](KZeq& z) {
            Key(z, 0.0, 1.0, "L");
            Key(z, 1.0, 2.0, "L");
        });
        EXPECT_EQ(read.KeyGetCount(), count > 0 ? 2 : 0) << count;
        EXPECT_LT(KFCurve::GetRecordingMemory() - before, 1 << 20) << count;
    }
}

TEST(KFCurveStoreBinaryTest, StringsAndStrayValuesDropOnlyTheirKey) {
    MemoryZeq memory;
    KZeq& file = memory.Make(true, Record(4004, 4, [](KZeq& z) {
                                 Key(z, 0.0, 1.0, "L");
                                 z.FieldWriteT(Sec(1.0));
                                 z.FieldWriteC("not a value");
                                 z.FieldWriteCH('L');
                                 Key(z, 2.0, 3.0, "Us");
                                 const double derivatives[2] = {4.0, 5.0};
                                 z.FieldWriteDn(derivatives, 2);
                                 z.FieldWriteCH('n');
                                 z.FieldWriteI(77);  // stray values before a time are skipped
                                 z.FieldWriteC("junk");
                                 Key(z, 3.0, 2.0, "L");
                             }));
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    EXPECT_EQ(core::KeyTimes(read), (std::vector<double>{0, 2, 3}));
    EXPECT_EQ(read.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 5.0f);
    EXPECT_EQ(read.KeyGetPtr(2)->GetValue(), 2.0f);
}

TEST_P(KFCurveStoreTest, Layout4003HasNoConstantModeAndLinksAutoKeys) {
    KFCurve& read = Read(4003, 4, [](KZeq& z) {
        Key(z, 0.0, 1.0, "L");
        Key(z, 1.0, 2.0, "Ua");  // after a linear key: one-sided
        Key(z, 2.0, 3.0, "C");   // after an auto key: it takes the slope into it
        Key(z, 3.0, 4.0, "L");
    });
    ASSERT_EQ(read.KeyGetCount(), 4);
    EXPECT_EQ(read.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), -100.0f);
    EXPECT_EQ(read.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 100.0f);
    EXPECT_EQ(read.KeyGetPtr(2)->GetInterpolation() | read.KeyGetPtr(2)->GetConstantMode(),
              kConstant | KFCURVE_CONSTANT_STANDARD);
    EXPECT_EQ(read.KeyGetPtr(3)->GetValue(), 4.0f);
}

TEST_P(KFCurveStoreTest, LegacyLayoutsKeepTheirDerivatives) {
    // 3000: handles at values 1 and 2 between keys 0 and 3 one second apart make a straight line; the
    // incoming handle of a first key has nothing to take it.
    KFCurve& handles = Read(3000, 2, [](KZeq& z) {
        Key(z, 0.0, 0.0, "Bb", {-5.0, 1.0});
        Key(z, 1.0, 3.0, "Bb", {2.0, 9.0});
    });
    EXPECT_TRUE(core::AllNear({3, 3}, {handles.KeyGetRightDerivative(0), handles.KeyGetLeftDerivative(1)}, 1e-6));
    EXPECT_FLOAT_EQ(handles.Evaluate(Sec(0.5)), 1.5f);
    // Without "KeyVer", the oldest layout: one derivative per key.
    KFCurve& oldest = Read(-1, 4, [](KZeq& z) {
        Key(z, 0.0, 0.0, "Z");
        Key(z, 1.0, 0.0, "Os", {1.0});
        Key(z, 2.0, 1.0, "Is", {2.0});
        Key(z, 3.0, 0.0, "Hs", {-1.0});
    });
    ASSERT_EQ(oldest.KeyGetCount(), 4);
    EXPECT_EQ(oldest.KeyGetPtr(0)->GetInterpolation(), kConstant);
    EXPECT_EQ(oldest.KeyGetPtr(3)->GetInterpolation(), kCubic);
    EXPECT_TRUE(core::AllNear({1, 2, 2, -1}, {oldest.KeyGetRightDerivative(1), oldest.KeyGetLeftDerivative(2),
                                        oldest.KeyGetRightDerivative(2), oldest.KeyGetLeftDerivative(3)}, 1e-6));
    // 3500: TCB keys after a user key become broken user keys.
    KFCurve& tcb = Read(3500, 4, [](KZeq& z) {
        const double parameters[3] = {0.0, 0.0, 0.0};
        Key(z, 0.0, 0.0, "Os", {1.0});
        Key(z, 1.0, 2.0, "T");
        z.FieldWriteDn(parameters, 3);
        Key(z, 2.0, 1.0, "T");
        z.FieldWriteDn(parameters, 3);
        Key(z, 3.0, 3.0, "L");
    });
    ASSERT_EQ(tcb.KeyGetCount(), 4);
    EXPECT_EQ(tcb.KeyGetPtr(1)->GetTangeantMode(), KFCURVE_TANGEANT_USER_BREAK);
}

// Keys of every kind the writer knows in a fixed pseudo-random order, so that
// each kind follows each other and the values of a big binary record move
// into chunks at every place within a key.
KFCurve& MixedCurve(KFCurve& curve, int n) {
    std::uint64_t x = 12345;
    auto next = [&x] { return (x = x * 6364136223846793005ull + 1442695040888963407ull) >> 33; };
    for (int i = 0; i < n; ++i) {
        const float v = static_cast<float>(next() % 20001) / 64.0f - 150.0f;
        const float d0 = static_cast<float>(next() % 2001) / 16.0f - 60.0f, d1 = static_cast<float>(next() % 33) - 16.0f;
        const float w0 = static_cast<float>(next() % 9000 + 10) / 9999.0f, w1 = static_cast<float>(next() % 9000 + 10) / 9999.0f;
        const unsigned int weights[4] = {KFCURVE_WEIGHTED_NONE, KFCURVE_WEIGHTED_RIGHT, KFCURVE_WEIGHTED_NEXT_LEFT,
                                         KFCURVE_WEIGHTED_ALL};
        const unsigned int weight = weights[next() % 4];
        KFCurveKey key;
        switch (next() % 10) {
            case 0: key = MakeKey(v, kLinear); break;
            case 1: key = MakeKey(v, kConstant, next() % 2 ? KFCURVE_CONSTANT_NEXT : KFCURVE_CONSTANT_STANDARD); break;
            case 2: key = MakeKey(v, kCubic, KFCURVE_TANGEANT_AUTO); break;
            case 3: key = MakeKey(v, kCubic, KFCURVE_TANGEANT_AUTO, d0, d1, weight, w0, w1); break;
            case 4: key = MakeKey(v, kCubic, KFCURVE_TANGEANT_AUTO_BREAK, d0, d1, weight, w0, w1); break;
            case 5: key = TcbKey(v, d1 / 16, d0 / 64, w0); break;
            case 6: key = MakeKey(v, kCubic, KFCURVE_TANGEANT_USER_BREAK, d0, d1, weight, w0, w1); break;
            default: key = MakeKey(v, kCubic, KFCURVE_TANGEANT_USER, d0, d1, weight, w0, w1); break;
        }
        curve.KeyAdd(KTime(i * 1539538600LL + static_cast<kLongLong>(next() % 1000)), key);
    }
    return curve;
}

TEST_P(KFCurveStoreTest, AMixedCurveKeepsItsStoredBytesAndTheKeysReadFromThem) {
    // The file's size and CRC-32 as the writer lays it out, and the CRC-32 of
    // the keys read back from it: files written earlier rely on both.
    struct Expected {
        bool version5;
        std::size_t size;
        std::uint32_t crc;
        int count;
        std::uint32_t keys;
    };
    const bool binary = GetParam();
    KFCurve curve;
    MixedCurve(curve, binary ? 60000 : 3000);
    const Expected ascii[2] = {{false, 153691, 2590567644u, 3000, 2093425925u},
                               {true, 171630, 2464428871u, 3000, 3513518450u}};
    const Expected binaries[2] = {{false, 2506068, 2445522738u, 60000, 3199988658u},
                                  {true, 2594478, 1731732238u, 60000, 4065988444u}};
    for (const Expected& expected : binary ? binaries : ascii) {
        KChainedMemoryFile written;
        KZeqFileHeaderInfo header;
        header.mCreationTimeStamp = kLocalTime{2001, 2, 3, 4, 5, 6, 7};
        KZeq writer;
        ASSERT_TRUE(writer.ProjectCreateStream(written, binary, false, &header));
        curve.ZeqStore(&writer, false, true, expected.version5);
        ASSERT_TRUE(writer.ProjectClose());
        KChainedMemoryFile stream(written.GetData(), written.GetDataSize());
        KZeq reader;
        ASSERT_TRUE(reader.ProjectOpenStream(stream, true, true));
        KFCurve read;
        read.ZeqRetrieve(&reader, false, true);
        std::uint32_t keys = 0;
        for (int i = 0; i < read.KeyGetCount(); ++i) keys = zeqdetail::Crc32(keys, read.KeyGetPtr(i), sizeof(KFCurveKey));
        EXPECT_EQ(written.GetDataSize(), expected.size) << expected.version5;
        EXPECT_EQ(zeqdetail::Crc32(0, written.GetData(), written.GetDataSize()), expected.crc) << expected.version5;
        EXPECT_EQ(read.KeyGetCount(), expected.count) << expected.version5;
        EXPECT_EQ(keys, expected.keys) << expected.version5;
    }
}

TEST(KFCurveStoreBinaryTest, ADamagedChunkEndsTheKeysThere) {
    KFCurve curve;
    MixedCurve(curve, 60000);
    KChainedMemoryFile written;
    KZeq writer;
    ASSERT_TRUE(writer.ProjectCreateStream(written, true, false));
    curve.ZeqStore(&writer, false, true);
    ASSERT_TRUE(writer.ProjectClose());
    // A byte in the middle of the file, in a chunk of the "Key" values.
    std::vector<std::uint8_t> bytes(written.GetData(), written.GetData() + written.GetDataSize());
    bytes[bytes.size() / 2] ^= 0x5A;
    KChainedMemoryFile stream(bytes.data(), bytes.size());
    KZeq reader;
    ASSERT_TRUE(reader.ProjectOpenStream(stream, true, true));
    KFCurve read;
    read.ZeqRetrieve(&reader, false, true);
    EXPECT_GT(read.KeyGetCount(), 10000);
    EXPECT_LT(read.KeyGetCount(), curve.KeyGetCount());
    for (int i = 1; i < read.KeyGetCount(); ++i) ASSERT_LT(read.KeyGetPtr(i - 1)->GetTime(), read.KeyGetPtr(i)->GetTime());
    EXPECT_EQ(reader.GetLastErrorID(), KZeq::eFileCorrupted);
}

// ---- Records -------------------------------------------------------------------------

constexpr KZeq::RecordLayout RecordLayoutOf(const char* types, const char* codes = "") {
    KZeq::RecordLayout layout{};
    for (int k = 0; types[k] != 0; ++k) {
        layout.mTypes[k] = types[k];
        layout.mCodes[k] = *codes && codes[k] != '.' ? codes[k] : 0;
        layout.mCount = k + 1;
    }
    return layout;
}

// Layouts that run into each other ("D" and "DDD" form runs, six chars are a
// run on their own) and one of each type.
const KZeq::RecordLayout kLayouts[] = {RecordLayoutOf("LDCC", "..U."), RecordLayoutOf("DDD"), RecordLayoutOf("D"),
                                       RecordLayoutOf("CCCCCC"), RecordLayoutOf("IFDL"), RecordLayoutOf("CDDDDC")};
constexpr int kLayoutCount = sizeof kLayouts / sizeof kLayouts[0];

struct Values {
    int layout;
    std::vector<double> values;  // chars and integers as whole numbers
};

// Records in random layouts, their values of each type's range.
std::vector<Values> RandomRecords(int count, unsigned seed) {
    std::uint64_t x = seed;
    auto next = [&x] { return (x = x * 6364136223846793005ull + 1442695040888963407ull) >> 33; };
    std::vector<Values> records(static_cast<std::size_t>(count));
    for (Values& record : records) {
        record.layout = static_cast<int>(next() % kLayoutCount);
        const KZeq::RecordLayout& layout = kLayouts[record.layout];
        for (int k = 0; k < layout.mCount; ++k) {
            const double v = static_cast<double>(next() % 200001) - 100000.0;
            switch (layout.mTypes[k]) {
                case 'C': record.values.push_back(layout.mCodes[k] ? layout.mCodes[k] : static_cast<signed char>(v)); break;
                case 'F': record.values.push_back(static_cast<float>(v / 7)); break;
                case 'D': record.values.push_back(v / 3); break;
                case 'L': record.values.push_back(v * 1e9); break;
                default: record.values.push_back(v); break;
            }
        }
    }
    return records;
}

void WriteOne(KZeq& z, char type, double v) {
    const float f = static_cast<float>(v);
    switch (type) {
        case 'C': z.FieldWriteCH(static_cast<char>(v)); break;
        case 'F': z.FieldWriteFn(&f, 1); break;
        case 'D': z.FieldWriteD(v); break;
        case 'L': z.FieldWriteL(static_cast<kLongLong>(v)); break;
        default: z.FieldWriteI(static_cast<int>(v)); break;
    }
}

// A field of doubles in a run, the records (as records or value by value)
// with a string between them, and a field after.
std::vector<std::uint8_t> WriteRecordFile(bool binary, const std::vector<Values>& records, bool asRecords) {
    KChainedMemoryFile written;
    KZeqFileHeaderInfo header;
    header.mCreationTimeStamp = kLocalTime{2001, 2, 3, 4, 5, 6, 7};
    KZeq z;
    EXPECT_TRUE(z.ProjectCreateStream(written, binary, false, &header));
    z.FieldWriteBegin("Values");
    const double run[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    z.FieldWriteDn(run, 8);
    const int half = static_cast<int>(records.size() / 2);
    for (int from : {0, half}) {
        const int to = from == 0 ? half : static_cast<int>(records.size());
        if (asRecords) {
            EXPECT_TRUE(KZeqWriteRecords(z, kLayouts, kLayoutCount, to - from, [&](int k, KZeqRecordWriter& w) {
                const Values& r = records[static_cast<std::size_t>(from + k)];
                w.Begin(r.layout);
                for (int v = 0; v < kLayouts[r.layout].mCount; ++v) {
                    const char type = kLayouts[r.layout].mTypes[v];
                    const double value = r.values[static_cast<std::size_t>(v)];
                    type == 'D' || type == 'F' ? w.Double(v, value) : w.Long(v, static_cast<kLongLong>(value));
                }
            }));
        } else {
            for (int k = from; k < to; ++k)
                for (int v = 0; v < kLayouts[records[k].layout].mCount; ++v)
                    WriteOne(z, kLayouts[records[k].layout].mTypes[v], records[k].values[static_cast<std::size_t>(v)]);
        }
        if (from == 0) z.FieldWriteC("between");
    }
    z.FieldWriteEnd();
    z.FieldWriteBegin("After");
    z.FieldWriteI(7);
    z.FieldWriteEnd();
    EXPECT_TRUE(z.ProjectClose());
    return std::vector<std::uint8_t>(written.GetData(), written.GetData() + written.GetDataSize());
}

TEST_P(KFCurveStoreTest, RecordsStoreTheBytesOfTheOneValueCalls) {
    // 60000 records hold more than a chunk of values in a binary file.
    const std::vector<Values> records = RandomRecords(GetParam() ? 60000 : 3000, 11);
    EXPECT_EQ(WriteRecordFile(GetParam(), records, true), WriteRecordFile(GetParam(), records, false));
}

TEST(KFCurveStoreBinaryTest, RecordsReadBackWhereverTheyLie) {
    const std::vector<Values> records = RandomRecords(60000, 12);
    const std::vector<std::uint8_t> bytes = WriteRecordFile(true, records, true);
    std::vector<std::pair<char, double>> expected = {{'D', 1}, {'D', 2}, {'D', 3}, {'D', 4},
                                                     {'D', 5}, {'D', 6}, {'D', 7}, {'D', 8}};
    for (std::size_t k = 0; k < records.size(); ++k) {
        if (k == records.size() / 2) expected.emplace_back('S', 0);
        const KZeq::RecordLayout& layout = kLayouts[records[k].layout];
        for (int v = 0; v < layout.mCount; ++v) expected.emplace_back(layout.mTypes[v], records[k].values[v]);
    }
    KChainedMemoryFile stream(bytes.data(), bytes.size());
    KZeq z;
    ASSERT_TRUE(z.ProjectOpenStream(stream, true, true));
    ASSERT_TRUE(z.FieldReadBegin("Values"));
    // Records where they match, one value the common way where none does.
    std::size_t at = 0, read = 0;
    while (at < expected.size()) {
        const int found = KZeqReadRecords(z, kLayouts, kLayoutCount, 1 << 30, [&](int l, const KZeqRecord& r) {
            for (int v = 0; v < kLayouts[l].mCount; ++v, ++at) {
                ASSERT_EQ(kLayouts[l].mTypes[v], expected[at].first) << at;
                const bool real = expected[at].first == 'D' || expected[at].first == 'F';
                ASSERT_EQ(real ? r.Double(v) : static_cast<double>(r.Long(v)), expected[at].second) << at;
            }
        });
        read += static_cast<std::size_t>(found);
        if (found > 0) continue;
        const char type = z.FieldReadGetType();
        ASSERT_EQ(type, expected[at].first) << at;
        const double value = type == 'S' ? (z.FieldReadC(), 0.0) : type == 'C' ? z.FieldReadCH() : z.FieldReadD();
        ASSERT_EQ(value, expected[at++].second) << at;
    }
    EXPECT_GT(read, records.size() / 2);
    EXPECT_EQ(z.FieldReadGetRemain(), 0);
    EXPECT_TRUE(z.FieldReadEnd());
    EXPECT_EQ(z.FieldReadI("After", 0), 7);
    EXPECT_EQ(z.GetLastErrorID(), -1);
}

TEST(KFCurveStoreBinaryTest, RecordsNotAsTheirLayoutSaysAreRefused) {
    KChainedMemoryFile written;
    KZeq z;
    ASSERT_TRUE(z.ProjectCreateStream(written, true, false));
    z.FieldWriteBegin("Values");
    const KZeq::RecordLayout bad[] = {RecordLayoutOf("LS")};
    EXPECT_FALSE(KZeqWriteRecords(z, bad, 1, 1, [](int, KZeqRecordWriter& w) { w.Begin(0); }));
    using Fill = std::function<void(KZeqRecordWriter&)>;
    for (const Fill& fill : {Fill([](KZeqRecordWriter& w) { w.Begin(0); }),
                             Fill([](KZeqRecordWriter& w) { w.Begin(1); w.Long(0, 1); w.Long(1, 2); }),
                             Fill([](KZeqRecordWriter& w) { w.Begin(4); w.Double(0, 1); }),
                             Fill([](KZeqRecordWriter& w) { w.Begin(2); w.Double(0, 1); w.Double(16, 1); }),
                             Fill([](KZeqRecordWriter& w) { w.Begin(2); w.Begin(2); w.Double(0, 1); })})
        EXPECT_FALSE(KZeqWriteRecords(z, kLayouts, kLayoutCount, 1, [&](int, KZeqRecordWriter& w) { fill(w); }));
    EXPECT_EQ(z.GetLastErrorID(), -1);
}

INSTANTIATE_TEST_SUITE_P(Encodings, KFCurveStoreTest, ::testing::Bool(), Name);
