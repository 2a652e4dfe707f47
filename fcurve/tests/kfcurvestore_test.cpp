#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fcurve/tests/fcurve_test_support.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqrecords.h"

using namespace fcurvetest;

namespace {

using Fill = std::function<void(KZeq&)>;

// A field file written to memory in one encoding (with a fixed creation time).
std::vector<std::uint8_t> Bytes(bool binary, const Fill& fill, const KZeqFileHeaderInfo* base = nullptr) {
    KChainedMemoryFile written;
    KZeqFileHeaderInfo header = base ? *base : KZeqFileHeaderInfo();
    header.mCreationTimeStamp = kLocalTime{2001, 2, 3, 4, 5, 6, 7};
    KZeq writer;
    EXPECT_TRUE(writer.ProjectCreateStream(written, binary, false, &header));
    fill(writer);
    EXPECT_TRUE(writer.GetLastErrorID() == -1 && writer.ProjectClose()) << writer.GetLastErrorString();
    return std::vector<std::uint8_t>(written.GetData(), written.GetData() + written.GetDataSize());
}

// Such a file opened again for reading.
class MemoryZeq {
public:
    KZeq& Open(std::vector<std::uint8_t> bytes) {
        mRead = std::make_unique<KChainedMemoryFile>(bytes.data(), bytes.size());
        EXPECT_TRUE(mReader.ProjectOpenStream(*mRead, true, true)) << mReader.GetLastErrorString();
        return mReader;
    }
    KZeq& Make(bool binary, const Fill& fill) { return Open(Bytes(binary, fill)); }

private:
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

// Every combination of a key's flags (interpolation, constant or tangent mode,
// weights, velocities), each with flat and with sloped tangents: keys that get
// no tangent letter or no interpolation letter among them.
KFCurve& EveryFlagCombination(KFCurve& curve) {
    int i = 0;
    for (unsigned int interpolation = 0; interpolation <= KFCURVE_INTERPOLATION_ALL; interpolation += 2)
        for (unsigned int mode = 0; mode <= KFCURVE_TANGEANT_ALL; mode += 0x100)
            for (unsigned int weights = 0; weights <= KFCURVE_WEIGHTED_ALL; weights += KFCURVE_WEIGHTED_RIGHT)
                for (unsigned int velocities = 0; velocities <= KFCURVE_VELOCITY_ALL;
                     velocities += KFCURVE_VELOCITY_RIGHT)
                    for (float slope : {0.0f, 2.5f}) {
                        KFCurveKey key{};
                        key.Set(KTime(0), float(i % 7) - 3.0f, interpolation, mode, slope, -slope, weights, 0.25f,
                                0.5f, 0.125f, 0.75f);
                        key.SetTangeantVelocityMode(velocities);
                        curve.KeyAdd(KTime(1000 + i++ * 1539538600LL), key);
                    }
    return curve;
}

// Readers of older files know no auto parameters: a 5.8 file gives them the auto keys that have
// some with explicit slopes, the others as auto, and the key before each holds its incoming side
// as that key is read (a slope, or the parameter). Curves of every tangent kind at random (auto
// with parameters or without, broken, user, linear and constant keys, some a tenth of a
// millisecond apart) read from a 5.8 record play as they did, between their keys and past them.
TEST_P(KFCurveStoreTest, OlderReadersPlayEveryTangentKindAsItWas) {
    std::mt19937 random(58);
    const auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    const unsigned int kinds[][2] = {{kCubic, KFCURVE_TANGEANT_AUTO},       {kCubic, KFCURVE_TANGEANT_AUTO_BREAK},
                                     {kCubic, KFCURVE_TANGEANT_USER},       {kCubic, KFCURVE_TANGEANT_USER_BREAK},
                                     {kLinear, KFCURVE_TANGEANT_USER},      {kConstant, KFCURVE_TANGEANT_USER}};
    for (int c = 0; c < 300; ++c) {
        SCOPED_TRACE("curve " + std::to_string(c));
        KFCurve curve;
        double t = 0;
        for (int k = 2 + c % 7; k-- > 0;) {
            t += uniform(0, 1) < 0.3 ? 1e-4 : uniform(0.05, 1);
            const auto& kind = kinds[std::uniform_int_distribution<int>(0, 5)(random)];
            // Half the auto keys without parameters.
            const bool plain = kind[0] == kCubic && (kind[1] & KFCURVE_TANGEANT_USER) == 0 && uniform(0, 1) < 0.5;
            Add(curve, t,
                MakeKey(float(uniform(-10, 10)), kind[0], kind[1], plain ? 0.0f : float(uniform(-10, 10)),
                        plain ? 0.0f : float(uniform(-10, 10))));
        }
        KFCurve read;
        read.ZeqRetrieve(&Store(curve, false, true, true), false, true);
        ASSERT_EQ(read.KeyGetCount(), curve.KeyGetCount());
        for (int k = 0; k < curve.KeyGetCount(); ++k) {
            const double a = curve.KeyGetPtr(k)->GetTime().GetSecondDouble();
            const double b = k + 1 < curve.KeyGetCount() ? curve.KeyGetPtr(k + 1)->GetTime().GetSecondDouble() : a + 1;
            for (int step = 0; step < 16; ++step) {
                const double s = a + (b - a) * step / 16;
                const double want = curve.Evaluate(Sec(s)), got = read.Evaluate(Sec(s));
                ASSERT_NEAR(want, got, 1e-4 * std::max(1.0, std::fabs(want))) << "key " << k << ", " << s << " s";
            }
        }
    }
}

TEST(KFCurveStoreAsciiTest, KeysWithoutTangentOrInterpolationLettersReadAsInBinary) {
    // A cubic key of tangent mode 0, 0x300 or 0x800 is written 'U' alone; the
    // next value is the next key's time, not its tangent letter.
    KFCurve curve;
    EveryFlagCombination(curve);
    for (const bool version5 : {false, true}) {
        SCOPED_TRACE(version5 ? "5.8" : "6.0");
        KZeqFileHeaderInfo header;
        header.mFileVersion = version5 ? 5800 : 6000;
        auto store = [&](KZeq& z) { curve.ZeqStore(&z, false, true, version5); };
        MemoryZeq binaryFile, asciiFile;
        KFCurve binary, ascii;
        KZeq& binaryReader = binaryFile.Open(Bytes(true, store, &header));
        KZeq& asciiReader = asciiFile.Open(Bytes(false, store, &header));
        binary.ZeqRetrieve(&binaryReader, false, true);
        ascii.ZeqRetrieve(&asciiReader, false, true);
        EXPECT_EQ(binaryReader.GetLastErrorID(), -1);
        EXPECT_EQ(asciiReader.GetLastErrorID(), -1) << asciiReader.GetLastErrorString();
        // Only the keys without an interpolation letter are dropped, in both.
        EXPECT_EQ(binary.KeyGetCount(), 3 * curve.KeyGetCount() / 8);
        ASSERT_EQ(ascii.KeyGetCount(), binary.KeyGetCount());
        for (int i = 0; i < binary.KeyGetCount(); ++i)
            ASSERT_EQ(0, std::memcmp(ascii.KeyGetPtr(i), binary.KeyGetPtr(i), sizeof(KFCurveKey))) << "key " << i;
    }
}

TEST(KFCurveStoreAsciiTest, QuotedLettersReadAsLetters) {
    // Text quotes a char that is no letter; hand-made files may quote letters too.
    MemoryZeq memory;
    KZeq& file = memory.Make(false, Record(4004, 3, [](KZeq& z) {
                                 for (int k = 0; k < 3; ++k) {
                                     z.FieldWriteT(Sec(k));
                                     z.FieldWriteD(k);
                                     z.FieldWriteC(k == 0 ? "L" : "U");
                                     if (k != 1) continue;
                                     z.FieldWriteC("t");
                                     for (double parameter : {0.5, 0.0, 0.25}) z.FieldWriteD(parameter);
                                 }
                             }));
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    EXPECT_EQ(file.GetLastErrorID(), -1) << file.GetLastErrorString();
    ASSERT_EQ(read.KeyGetCount(), 3);
    EXPECT_EQ(read.KeyGetPtr(0)->GetInterpolation(), kLinear);
    EXPECT_EQ(read.KeyGetPtr(1)->GetTangeantMode(), KFCURVE_TANGEANT_TCB);
    EXPECT_EQ(read.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_TCB_TENSION), 0.5f);
    EXPECT_EQ(read.KeyGetPtr(2)->GetTangeantMode(), KFCURVE_TANGEANT_AUTO);
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

// Keys of every kind in a fixed pseudo-random order (each kind after each other, chunks beginning anywhere in a key).
void MixedCurve(KFCurve& curve, int n) {
    std::minstd_rand random(12345);
    auto next = [&random](int range) { return double(random() % unsigned(range)); };
    const unsigned int weights[4] = {0, KFCURVE_WEIGHTED_RIGHT, KFCURVE_WEIGHTED_NEXT_LEFT, KFCURVE_WEIGHTED_ALL};
    const unsigned int modes[5] = {KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_AUTO_BREAK,
                                   KFCURVE_TANGEANT_USER_BREAK, KFCURVE_TANGEANT_USER};
    for (int i = 0; i < n; ++i) {
        const float v = float(next(20001) / 64 - 150), d0 = float(next(2001) / 16 - 60), d1 = float(next(33) - 16);
        const float w0 = float((next(9000) + 10) / 9999), w1 = float((next(9000) + 10) / 9999);
        const unsigned int weight = weights[int(next(4))], constant = KFCURVE_CONSTANT_NEXT * unsigned(next(2));
        const int kind = int(next(9));
        KFCurveKey key = kind == 0   ? MakeKey(v, kLinear)
                         : kind == 1 ? MakeKey(v, kConstant, constant)
                         : kind == 2 ? MakeKey(v, kCubic, KFCURVE_TANGEANT_AUTO)
                         : kind == 3 ? TcbKey(v, d1 / 16, d0 / 64, w0)
                                     : MakeKey(v, kCubic, modes[kind - 4], d0, d1, weight, w0, w1);
        curve.KeyAdd(KTime(i * 1539538600LL + kLongLong(next(1000))), key);
    }
}

TEST_P(KFCurveStoreTest, AMixedCurveKeepsItsStoredBytesAndTheKeysReadFromThem) {
    // Per layout (before version 6000 too) the file's size and CRC-32 and those of the keys read back, as files
    // written earlier rely on them; a damaged byte half-way through a binary file (in a chunk) ends the keys there.
    using Crcs = std::array<std::uint32_t, 3>;
    const Crcs want[2][2] = {{Crcs{150948, 566927863u, 589575993u}, Crcs{185944, 2974175547u, 3896060765u}},
                             {Crcs{2454896, 1037332977u, 2340175163u}, Crcs{2560538, 3922577026u, 1240114650u}}};
    const bool binary = GetParam();
    KFCurve curve, read;
    MixedCurve(curve, binary ? 60000 : 3000);
    for (int pass = 0; pass < 3; ++pass) {
        std::vector<std::uint8_t> bytes = Bytes(binary, [&](KZeq& z) { curve.ZeqStore(&z, false, true, pass == 1); });
        if (pass == 2) bytes[bytes.size() / 2] ^= 0x5A;
        if (pass == 2 && !binary) {
            // Damaged text fails the file, when it is opened or where it is read.
            KChainedMemoryFile stream(bytes.data(), bytes.size());
            KZeq damaged;
            if (damaged.ProjectOpenStream(stream, true, true)) read.ZeqRetrieve(&damaged, false, true);
            EXPECT_EQ(KZeq::eFileCorrupted, damaged.GetLastErrorID());
            continue;
        }
        MemoryZeq file;
        KZeq& reader = file.Open(bytes);
        read.ZeqRetrieve(&reader, false, true);
        Crcs got = {std::uint32_t(bytes.size()), zeqdetail::Crc32(0, bytes.data(), bytes.size()), 0};
        for (int i = 0; i < read.KeyGetCount(); ++i) got[2] = zeqdetail::Crc32(got[2], read.KeyGetPtr(i), 32);
        EXPECT_EQ(got, pass < 2 ? want[binary][pass] : got);
        EXPECT_TRUE(pass < 2 || !binary ||
                    (read.KeyGetCount() > 10000 && read.KeyGetCount() < curve.KeyGetCount() &&
                     reader.GetLastErrorID() == KZeq::eFileCorrupted));
    }
}

// Record layouts that run into each other ("D" and "DDD" form runs, six chars
// are a run on their own) and one of each type.
const KZeq::RecordLayout kLayouts[] = {{4, "LDCC", {0, 0, 'U'}}, {3, "DDD", {}},    {1, "D", {}},
                                       {6, "CCCCCC", {}},         {4, "IFDL", {}}, {6, "CDDDDC", {}}};
constexpr int kLayoutCount = sizeof kLayouts / sizeof kLayouts[0];

TEST_P(KFCurveStoreTest, RecordsStoreTheBytesOfTheOneValueCallsAndReadBackWhereverTheyLie) {
    // Random records (60000 hold more than a chunk of values in a binary file); chars and integers as whole numbers.
    std::vector<int> layouts;
    std::vector<std::pair<char, double>> values;
    std::minstd_rand random(11);
    auto next = [&random](int range) { return double(random() % unsigned(range)); };
    for (int r = 0; r < (GetParam() ? 60000 : 3000); ++r) {
        const KZeq::RecordLayout& layout = kLayouts[layouts.emplace_back(int(next(kLayoutCount)))];
        for (int k = 0; k < layout.mCount; ++k) {
            const double v = next(200001) - 100000, code = layout.mCodes[k];
            const char t = layout.mTypes[k];
            values.emplace_back(t, t == 'C' ? (code ? code : double(static_cast<signed char>(v)))
                                   : t == 'F' ? double(float(v / 7)) : t == 'D' ? v / 3 : t == 'L' ? v * 1e9 : v);
        }
    }
    auto real = [](char type) { return type == 'D' || type == 'F'; };
    auto write = [&](bool asRecords) {
        return Bytes(GetParam(), [&](KZeq& z) {
            z.FieldWriteBegin("Values");
            std::size_t at = 0;
            auto fill = [&](int r, KZeqRecordWriter& w) {
                w.Begin(layouts[r]);
                for (int k = 0; k < kLayouts[layouts[r]].mCount; ++k, ++at)
                    real(values[at].first) ? w.Double(k, values[at].second) : w.Long(k, kLongLong(values[at].second));
            };
            EXPECT_TRUE(KZeqWriteRecords(z, kLayouts, kLayoutCount, asRecords ? int(layouts.size()) : 0, fill));
            for (float f; at < values.size(); ++at) {
                const auto [t, v] = values[at];
                t == 'F' ? z.FieldWriteFn(&(f = float(v)), 1) : t == 'C' ? z.FieldWriteCH(char(v))
                : t == 'D' ? z.FieldWriteD(v) : t == 'L' ? z.FieldWriteL(kLongLong(v)) : z.FieldWriteI(int(v));
            }
        });
    };
    const std::vector<std::uint8_t> bytes = write(true);
    EXPECT_EQ(bytes, write(false));
    if (!GetParam()) return;  // text keeps no types to match records by
    MemoryZeq file;
    KZeq& z = file.Open(bytes);
    ASSERT_TRUE(z.FieldReadBegin("Values"));
    // Records where they match (most), one value the common way where none does.
    std::size_t at = 0, read = 0;
    while (at < values.size()) {
        const int found = KZeqReadRecords(z, kLayouts, kLayoutCount, 1 << 30, [&](int l, const KZeqRecord& r) {
            for (int k = 0; k < kLayouts[l].mCount; ++k, ++at) {
                ASSERT_EQ(kLayouts[l].mTypes[k], values[at].first) << at;
                ASSERT_EQ(real(values[at].first) ? r.Double(k) : double(r.Long(k)), values[at].second) << at;
            }
        });
        read += std::size_t(found);
        if (found > 0) continue;
        const char t = z.FieldReadGetType();
        ASSERT_EQ(t, values[at].first) << at;
        ASSERT_EQ(t == 'C' ? z.FieldReadCH() : z.FieldReadD(), values[at++].second);
    }
    EXPECT_GT(read, layouts.size() / 2);
    EXPECT_EQ(z.FieldReadGetRemain() + z.GetLastErrorID(), -1);
}

INSTANTIATE_TEST_SUITE_P(Encodings, KFCurveStoreTest, ::testing::Bool(), Name);
