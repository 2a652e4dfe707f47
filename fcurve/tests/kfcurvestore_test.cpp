#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/tests/fcurve_test_support.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"

using namespace zeqsdk_400;
using namespace fcurvetest;

namespace {

// A field file written to memory in one encoding and opened again for reading.
class MemoryZeq {
public:
    KZeq& Make(bool binary, const std::function<void(KZeq&)>& fill) {
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

// The values of the next field of that name, as text: letters for chars,
// numbers otherwise, so that a layout reads as one string.
std::string FieldValues(KZeq& file, const char* name) {
    std::string text;
    if (!file.FieldReadBegin(name)) return "<none>";
    while (file.FieldReadGetRemain() > 0) {
        if (!text.empty()) text += ' ';
        if (file.FieldReadGetType() == 'C') {
            text += file.FieldReadCH();
            continue;
        }
        // Numbers alike in both encodings: whole ones bare, others with four decimals.
        const double value = file.FieldReadD();
        char buffer[64];
        if (value == std::floor(value) && std::fabs(value) < 1e18)
            std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
        else
            std::snprintf(buffer, sizeof buffer, "%.4f", value);
        text += buffer;
    }
    file.FieldReadEnd();
    return text;
}

class KFCurveStoreTest : public ::testing::TestWithParam<bool> {
protected:
    bool Binary() const { return GetParam(); }
    KZeq& Write(const std::function<void(KZeq&)>& fill) { return mFile.Make(Binary(), fill); }
    KZeq& Store(KFCurve& curve, bool onlyDefaults = false, bool color = true, bool version5 = false) {
        return Write([&](KZeq& z) { curve.ZeqStore(&z, onlyDefaults, color, version5); });
    }
    // Writes a curve record by hand: key version, count and the key values.
    KZeq& WriteRecord(int version, int count, const std::function<void(KZeq&)>& keys) {
        return Write([&](KZeq& z) {
            z.FieldWriteBegin("Default");
            z.FieldWriteD(0.5);
            z.FieldWriteEnd();
            if (version >= 0) {
                z.FieldWriteBegin("KeyVer");
                z.FieldWriteI(version);
                z.FieldWriteEnd();
            }
            z.FieldWriteBegin("KeyCount");
            z.FieldWriteI(count);
            z.FieldWriteEnd();
            z.FieldWriteBegin("Key");
            keys(z);
            z.FieldWriteEnd();
        });
    }
    MemoryZeq mFile;
};

std::string Name(const ::testing::TestParamInfo<bool>& info) { return info.param ? "Binary" : "Ascii"; }

void Key(KZeq& z, double seconds, double value, const char* letters) {
    z.FieldWriteT(Sec(seconds));
    z.FieldWriteD(value);
    for (const char* c = letters; *c; ++c) z.FieldWriteCH(*c);
}

}  // namespace

TEST_P(KFCurveStoreTest, EveryKeyKindRoundTrips) {
    KFCurve curve;
    curve.SetValue(2.5f);
    Add(curve, 0.0, MakeKey(1.0f, kConstant, KFCURVE_CONSTANT_STANDARD));
    Add(curve, 0.5, MakeKey(2.0f, kConstant, KFCURVE_CONSTANT_NEXT));
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
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    curve.SetPreExtrapolationCount(3);
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    curve.SetPostExtrapolationCount(0xFFFFFFFFu);
    const float color[3] = {0.25f, 0.5f, 0.75f};
    curve.SetColor(color);

    KZeq& file = Store(curve);
    KFCurve read;
    EXPECT_FALSE(read.ZeqRetrieve(&file, false, true));
    ASSERT_EQ(read.KeyGetCount(), curve.KeyGetCount());
    EXPECT_EQ(read.GetValue(), 2.5f);
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        const KFCurveKey* a = curve.KeyGetPtr(i);
        const KFCurveKey* b = read.KeyGetPtr(i);
        SCOPED_TRACE("key " + std::to_string(i));
        EXPECT_EQ(b->GetTime(), a->GetTime());
        EXPECT_EQ(b->GetValue(), a->GetValue());
        EXPECT_EQ(b->GetInterpolation(), a->GetInterpolation());
        EXPECT_EQ(b->GetConstantMode(), a->GetConstantMode());
        if (a->GetInterpolation() != kCubic) continue;
        EXPECT_EQ(b->GetTangeantMode(), a->GetTangeantMode());
        const unsigned int weights = a->GetTangeantWeightMode();
        EXPECT_EQ(b->GetTangeantWeightMode(), weights);
        EXPECT_EQ(b->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), a->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE));
        EXPECT_EQ(b->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), a->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE));
        if (a->GetTangeantMode() == KFCURVE_TANGEANT_TCB) {
            EXPECT_EQ(b->GetDataFloat(KFCURVEKEY_TCB_BIAS), a->GetDataFloat(KFCURVEKEY_TCB_BIAS));
            continue;
        }
        // Weights are stored where they are set, the others read as one third.
        EXPECT_EQ(b->GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT),
                  weights & KFCURVE_WEIGHTED_RIGHT ? a->GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT) : 3333 / 9999.0f);
        EXPECT_EQ(b->GetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT), weights & KFCURVE_WEIGHTED_NEXT_LEFT
                                                                     ? a->GetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT)
                                                                     : 3333 / 9999.0f);
        EXPECT_EQ(b->GetDataDouble(KFCURVEKEY_RIGHT_VELOCITY), 0.0f);
        EXPECT_EQ(b->GetTangeantVelocityMode(), 0u);
    }
    EXPECT_EQ(read.GetPreExtrapolation(), KFCURVE_EXTRAPOLATION_REPETITION);
    EXPECT_EQ(read.GetPreExtrapolationCount(), 3u);
    EXPECT_EQ(read.GetPostExtrapolation(), KFCURVE_EXTRAPOLATION_MIRROR);
    EXPECT_EQ(read.GetPostExtrapolationCount(), 0xFFFFFFFFu);
    EXPECT_EQ(read.GetColor()[1], 0.5f);
    for (double t = -1.0; t < 6.0; t += 0.1) EXPECT_EQ(read.Evaluate(Sec(t)), curve.Evaluate(Sec(t))) << t;
}

TEST_P(KFCurveStoreTest, EveryStoredWeightComesBackToTheSameStep) {
    // Weights are whole steps of 1/9999: no save and load may move them.
    KFCurve curve;
    for (int step = 1; step <= 9899; step += 7) {
        const float weight = static_cast<float>(step / 9999.0);
        Add(curve, step,
            MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.0f, 0.0f, KFCURVE_WEIGHTED_ALL, weight, weight));
    }
    KZeq& file = Store(curve);
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), curve.KeyGetCount());
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        ASSERT_EQ(read.KeyGetPtr(i)->GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT),
                  curve.KeyGetPtr(i)->GetDataDouble(KFCURVEKEY_RIGHT_WEIGHT))
            << i;
        ASSERT_EQ(read.KeyGetPtr(i)->GetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT),
                  curve.KeyGetPtr(i)->GetDataDouble(KFCURVEKEY_NEXT_LEFT_WEIGHT))
            << i;
    }
}

TEST_P(KFCurveStoreTest, TheRecordsAndTheirOrder) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 2.0f, 3.0f, KFCURVE_WEIGHTED_RIGHT, 0.5f));
    Add(curve, 1.0, MakeKey(2.0f, kCubic, KFCURVE_TANGEANT_AUTO));
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT);
    curve.SetPreExtrapolationCount(3);
    KZeq& file = Store(curve);
    EXPECT_EQ(FieldNames(file),
              (std::vector<std::string>{"Default", "KeyVer", "KeyCount", "Key", "Pre-Extrapolation", "Color"}));
    EXPECT_EQ(file.FieldReadI("KeyVer", 0), 4004);
    EXPECT_EQ(file.FieldReadI("KeyCount", 0), 2);
    // A user key weighted on the right only: 's', its derivatives, 'r' and its weight; an auto key with empty slots:
    // 'a'.
    const std::string ticks = std::to_string(KTime::kTicksPerSecond);
    EXPECT_EQ(FieldValues(file, "Key"), "0 1 U s 2 3 r 0.4999 " + ticks + " 2 U a");
    ASSERT_TRUE(file.FieldReadBegin("Pre-Extrapolation"));
    ASSERT_TRUE(file.FieldReadBlockBegin());
    EXPECT_EQ(file.FieldReadCH("Type", '?'), 'C');
    EXPECT_EQ(file.FieldReadI("Repetition", -5), 3);
}

TEST_P(KFCurveStoreTest, ACurveWithoutKeysWritesItsDefaultAndColour) {
    KFCurve curve;
    curve.SetValue(-4.0f);
    curve.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);
    KZeq& file = Store(curve);
    EXPECT_EQ(FieldNames(file), (std::vector<std::string>{"Default", "Color"}));
    KFCurve read;
    Add(read, 1.0, MakeKey(1.0f));
    EXPECT_FALSE(read.ZeqRetrieve(&file, false, true));
    EXPECT_EQ(read.KeyGetCount(), 0);
    EXPECT_EQ(read.GetValue(), -4.0f);
}

TEST_P(KFCurveStoreTest, OnlyDefaultsWritesAndReadsTheDefaultAlone) {
    KFCurve curve;
    curve.SetValue(7.0f);
    Add(curve, 1.0, MakeKey(1.0f));
    KZeq& file = Store(curve, true);
    EXPECT_EQ(FieldNames(file), (std::vector<std::string>{"Default"}));
    KFCurve full;
    for (int i = 0; i < 3; ++i) Add(full, i, MakeKey(1.0f));
    MemoryZeq other;
    KZeq& fullFile = other.Make(Binary(), [&](KZeq& z) { full.ZeqStore(&z, false, false); });
    KFCurve read;
    read.ZeqRetrieve(&fullFile, true, true);
    EXPECT_EQ(read.KeyGetCount(), 0);
    EXPECT_EQ(fullFile.FieldReadI("KeyCount", -1), 3);  // left for the caller
    EXPECT_FALSE(read.ZeqRetrieve(&file, false, true));
    EXPECT_EQ(read.GetValue(), 7.0f);
}

TEST_P(KFCurveStoreTest, WithoutADefaultRecordNothingIsRead) {
    KZeq& file = Write([](KZeq& z) {
        z.FieldWriteBegin("Other");
        z.FieldWriteI(1);
        z.FieldWriteEnd();
    });
    KFCurve curve;
    Add(curve, 1.0, MakeKey(3.0f));
    EXPECT_TRUE(curve.ZeqRetrieve(&file, false, true));
    EXPECT_EQ(KFCurveCreate(&file, &curve, false, true), nullptr);
    EXPECT_EQ(curve.KeyGetCount(), 1);
    EXPECT_EQ(KFCurveCreate(&file, false, true), nullptr);
    EXPECT_TRUE(curve.ZeqRetrieve(nullptr, false, true));
}

TEST_P(KFCurveStoreTest, KFCurveCreateReadsIntoANewOrAGivenCurve) {
    KFCurve curve;
    curve.SetValue(1.5f);
    Add(curve, 0.0, MakeKey(1.0f));
    KZeq& file = Write([&](KZeq& z) {
        curve.ZeqStore(&z, false, true);
        curve.ZeqStore(&z, false, true);
    });
    KFCurve* created = KFCurveCreate(&file, false, true);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->GetValue(), 1.5f);
    EXPECT_EQ(created->KeyGetCount(), 1);
    created->Destroy();
    KFCurve given;
    for (int i = 0; i < 5; ++i) Add(given, i, MakeKey(0.0f));
    EXPECT_EQ(KFCurveCreate(&file, &given, false, true), &given);
    EXPECT_EQ(given.KeyGetCount(), 1);
}

TEST_P(KFCurveStoreTest, OlderReadersGetAutoKeysAsExplicitTangents) {
    // Auto keys with parameters become user keys with their derivatives: the same curve.
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_AUTO, 10.0f, -20.0f));
    Add(curve, 1.0, MakeKey(4.0f, kCubic, KFCURVE_TANGEANT_AUTO, 20.0f, 30.0f));
    Add(curve, 2.5, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_AUTO_BREAK, 150.0f, 40.0f));
    Add(curve, 4.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_AUTO, -40.0f, 0.0f));
    KZeq& file = Store(curve, false, false, true);
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 4);
    for (double t = 0.0; t <= 4.0; t += 0.05) EXPECT_NEAR(read.Evaluate(Sec(t)), curve.Evaluate(Sec(t)), 1e-4) << t;
    EXPECT_EQ(read.KeyGetPtr(1)->GetTangeantMode(), KFCURVE_TANGEANT_USER);
    EXPECT_EQ(read.KeyGetPtr(2)->GetTangeantMode(), KFCURVE_TANGEANT_USER_BREAK);
}

TEST_P(KFCurveStoreTest, OlderReadersGetFlatAutoKeysAsDerivativesOrAuto) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(0.0f, kCubic, KFCURVE_TANGEANT_AUTO));  // flat, before an auto key: 'a'
    // Flat, before a user key: 'd' with the user key's incoming derivative.
    Add(curve, 1.0, MakeKey(2.0f, kCubic, KFCURVE_TANGEANT_AUTO, 0.0f, 0.75f));
    Add(curve, 2.0, MakeKey(1.0f, kCubic, KFCURVE_TANGEANT_USER, 0.5f, 0.25f));
    KZeq& file = Store(curve, false, false, true);
    const std::string second = std::to_string(KTime::kTicksPerSecond);
    const std::string third = std::to_string(2 * KTime::kTicksPerSecond);
    EXPECT_EQ(FieldValues(file, "Key"), "0 0 U a " + second + " 2 U d 0.7500 n " + third + " 1 U s 0.5000 0.2500 n");
}

TEST_P(KFCurveStoreTest, ExtrapolationRecordsOnlyWhenNotPlainConstant) {
    KFCurve curve;
    Add(curve, 0.0, MakeKey(1.0f));
    curve.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
    curve.SetPostExtrapolationCount(0);
    KZeq& file = Store(curve, false, false);
    EXPECT_EQ(FieldNames(file),
              (std::vector<std::string>{"Default", "KeyVer", "KeyCount", "Key", "Post-Extrapolation"}));
    KFCurve read;
    read.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_MIRROR);  // kept: no record says otherwise
    read.ZeqRetrieve(&file, false, false);
    EXPECT_EQ(read.GetPreExtrapolation(), KFCURVE_EXTRAPOLATION_MIRROR);
    EXPECT_EQ(read.GetPostExtrapolation(), KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
}

// ---- Damaged records ------------------------------------------------------------------

TEST_P(KFCurveStoreTest, ADamagedKeyInTheMiddleCostsOnlyItself) {
    // Key 1 has a time far beyond the others and a letter without meaning.
    KZeq& file = WriteRecord(4004, 4, [](KZeq& z) {
        Key(z, 0.0, 1.0, "L");
        z.FieldWriteT(KTime(LLONG_MAX - 100));
        z.FieldWriteD(9.0);
        z.FieldWriteCH('X');
        Key(z, 2.0, 3.0, "L");
        Key(z, 3.0, 4.0, "L");
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 3);
    EXPECT_EQ(read.KeyGetPtr(1)->GetTime(), Sec(2.0));
    EXPECT_EQ(read.KeyGetPtr(2)->GetValue(), 4.0f);
}

TEST_P(KFCurveStoreTest, TwoKeysAtOneTimeKeepTheFirst) {
    KZeq& file = WriteRecord(4004, 3, [](KZeq& z) {
        Key(z, 0.0, 1.0, "L");
        Key(z, 0.0, 2.0, "Ua");
        Key(z, 1.0, 3.0, "L");
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 2);
    EXPECT_EQ(read.KeyGetPtr(0)->GetValue(), 1.0f);
    EXPECT_EQ(read.KeyGetPtr(0)->GetInterpolation(), kLinear);
}

TEST_P(KFCurveStoreTest, ACountBeyondTheRecordReadsWhatIsThere) {
    for (int count : {INT_MAX, 3, -7}) {
        MemoryZeq memory;
        KZeq& file = memory.Make(Binary(), [&](KZeq& z) {
            z.FieldWriteBegin("Default");
            z.FieldWriteD(0.0);
            z.FieldWriteEnd();
            z.FieldWriteBegin("KeyVer");
            z.FieldWriteI(4004);
            z.FieldWriteEnd();
            z.FieldWriteBegin("KeyCount");
            z.FieldWriteI(count);
            z.FieldWriteEnd();
            z.FieldWriteBegin("Key");
            Key(z, 0.0, 1.0, "L");
            Key(z, 1.0, 2.0, "L");
            z.FieldWriteEnd();
        });
        const kLongLong before = KFCurve::GetRecordingMemory();
        KFCurve read;
        read.ZeqRetrieve(&file, false, false);
        EXPECT_EQ(read.KeyGetCount(), count > 0 ? 2 : 0) << count;
        EXPECT_LT(KFCurve::GetRecordingMemory() - before, 1 << 20) << count;
    }
}

TEST(KFCurveStoreBinaryTest, AStringInPlaceOfAValueDropsThatKey) {
    MemoryZeq memory;
    KZeq& file = memory.Make(true, [](KZeq& z) {
        z.FieldWriteBegin("Default");
        z.FieldWriteD(0.0);
        z.FieldWriteEnd();
        z.FieldWriteBegin("KeyVer");
        z.FieldWriteI(4004);
        z.FieldWriteEnd();
        z.FieldWriteBegin("KeyCount");
        z.FieldWriteI(3);
        z.FieldWriteEnd();
        z.FieldWriteBegin("Key");
        Key(z, 0.0, 1.0, "L");
        z.FieldWriteT(Sec(1.0));
        z.FieldWriteC("not a value");
        z.FieldWriteCH('L');
        Key(z, 2.0, 3.0, "Us");
        const double derivatives[2] = {4.0, 5.0};
        z.FieldWriteDn(derivatives, 2);
        z.FieldWriteCH('n');
        z.FieldWriteEnd();
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 2);
    EXPECT_EQ(read.KeyGetPtr(1)->GetTime(), Sec(2.0));
    EXPECT_EQ(read.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 5.0f);
}

TEST(KFCurveStoreBinaryTest, StrayValuesBeforeATimeAreSkipped) {
    MemoryZeq memory;
    KZeq& file = memory.Make(true, [](KZeq& z) {
        z.FieldWriteBegin("Default");
        z.FieldWriteD(0.0);
        z.FieldWriteEnd();
        z.FieldWriteBegin("KeyVer");
        z.FieldWriteI(4004);
        z.FieldWriteEnd();
        z.FieldWriteBegin("KeyCount");
        z.FieldWriteI(2);
        z.FieldWriteEnd();
        z.FieldWriteBegin("Key");
        Key(z, 0.0, 1.0, "L");
        z.FieldWriteI(77);
        z.FieldWriteC("junk");
        Key(z, 1.0, 2.0, "L");
        z.FieldWriteEnd();
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 2);
    EXPECT_EQ(read.KeyGetPtr(1)->GetValue(), 2.0f);
}

// ---- Older key layouts --------------------------------------------------------------------

TEST_P(KFCurveStoreTest, Layout4003HasNoConstantModeAndLinksAutoKeys) {
    KZeq& file = WriteRecord(4003, 4, [](KZeq& z) {
        Key(z, 0.0, 1.0, "L");
        Key(z, 1.0, 2.0, "Ua");  // after a linear key: one-sided
        Key(z, 2.0, 3.0, "C");   // after an auto key: it takes the slope into it
        Key(z, 3.0, 4.0, "L");
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 4);
    EXPECT_EQ(read.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), -100.0f);
    EXPECT_EQ(read.KeyGetPtr(1)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 100.0f);
    EXPECT_EQ(read.KeyGetPtr(2)->GetInterpolation(), kConstant);
    EXPECT_EQ(read.KeyGetPtr(2)->GetConstantMode(), KFCURVE_CONSTANT_STANDARD);
    EXPECT_EQ(read.KeyGetPtr(3)->GetValue(), 4.0f);
}

TEST_P(KFCurveStoreTest, Layout4001HasNoWeightsAnd4000AutoKeysCarryOneValue) {
    KZeq& v4001 = WriteRecord(4001, 2, [](KZeq& z) {
        Key(z, 0.0, 1.0, "Us");
        z.FieldWriteD(2.0);
        z.FieldWriteD(3.0);
        Key(z, 1.0, 2.0, "L");
    });
    KFCurve read;
    read.ZeqRetrieve(&v4001, false, false);
    ASSERT_EQ(read.KeyGetCount(), 2);
    EXPECT_EQ(read.KeyGetLeftDerivative(1), 3.0f);
    EXPECT_EQ(read.KeyGetPtr(0)->GetTangeantWeightMode(), 0u);

    MemoryZeq other;
    KZeq& v4000 = other.Make(Binary(), [](KZeq& z) {
        z.FieldWriteBegin("Default");
        z.FieldWriteD(0.0);
        z.FieldWriteEnd();
        z.FieldWriteBegin("KeyVer");
        z.FieldWriteI(4000);
        z.FieldWriteEnd();
        z.FieldWriteBegin("KeyCount");
        z.FieldWriteI(2);
        z.FieldWriteEnd();
        z.FieldWriteBegin("Key");
        Key(z, 0.0, 1.0, "Ua");
        z.FieldWriteD(40.0);
        Key(z, 1.0, 2.0, "Ua");
        z.FieldWriteD(0.0);
        z.FieldWriteEnd();
    });
    KFCurve auto4000;
    auto4000.ZeqRetrieve(&v4000, false, false);
    ASSERT_EQ(auto4000.KeyGetCount(), 2);
    EXPECT_EQ(auto4000.KeyGetPtr(0)->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE), 40.0f);
}

TEST_P(KFCurveStoreTest, LegacyHandleKeysBecomeDerivatives) {
    // Handles at values 1 and 2 between keys 0 and 3 one second apart: a straight line.
    KZeq& file = WriteRecord(3000, 2, [](KZeq& z) {
        Key(z, 0.0, 0.0, "Bb");
        z.FieldWriteD(-5.0);  // incoming handle of a first key: nothing takes it
        z.FieldWriteD(1.0);
        Key(z, 1.0, 3.0, "Bb");
        z.FieldWriteD(2.0);
        z.FieldWriteD(9.0);
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(read.KeyGetRightDerivative(0), 3.0f);
    EXPECT_FLOAT_EQ(read.KeyGetLeftDerivative(1), 3.0f);
    EXPECT_FLOAT_EQ(read.Evaluate(Sec(0.5)), 1.5f);
}

TEST_P(KFCurveStoreTest, LegacyKeysKeepOneDerivativePerKey) {
    KZeq& file = WriteRecord(-1, 4, [](KZeq& z) {  // no "KeyVer": the oldest layout
        Key(z, 0.0, 0.0, "Z");
        Key(z, 1.0, 0.0, "Os");
        z.FieldWriteD(1.0);
        Key(z, 2.0, 1.0, "Is");
        z.FieldWriteD(2.0);
        Key(z, 3.0, 0.0, "Hs");
        z.FieldWriteD(-1.0);
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 4);
    EXPECT_EQ(read.KeyGetPtr(0)->GetInterpolation(), kConstant);
    EXPECT_FLOAT_EQ(read.KeyGetRightDerivative(1), 1.0f);
    EXPECT_FLOAT_EQ(read.KeyGetLeftDerivative(2), 2.0f);
    EXPECT_FLOAT_EQ(read.KeyGetRightDerivative(2), 2.0f);
    EXPECT_FLOAT_EQ(read.KeyGetLeftDerivative(3), -1.0f);
    EXPECT_EQ(read.KeyGetPtr(3)->GetInterpolation(), kCubic);
}

TEST_P(KFCurveStoreTest, LegacyTcbKeysAfterUserKeysBecomeBrokenUserKeys) {
    KZeq& file = WriteRecord(3500, 4, [](KZeq& z) {
        Key(z, 0.0, 0.0, "Os");
        z.FieldWriteD(1.0);
        Key(z, 1.0, 2.0, "T");
        const double tcb[3] = {0.0, 0.0, 0.0};
        z.FieldWriteDn(tcb, 3);
        Key(z, 2.0, 1.0, "T");
        z.FieldWriteDn(tcb, 3);
        Key(z, 3.0, 3.0, "L");
    });
    KFCurve read;
    read.ZeqRetrieve(&file, false, false);
    ASSERT_EQ(read.KeyGetCount(), 4);
    EXPECT_EQ(read.KeyGetPtr(1)->GetTangeantMode(), KFCURVE_TANGEANT_USER_BREAK);
    for (double t = 0.0; t <= 3.0; t += 0.1) EXPECT_TRUE(std::isfinite(read.Evaluate(Sec(t)))) << t;
}

INSTANTIATE_TEST_SUITE_P(Encodings, KFCurveStoreTest, ::testing::Bool(), Name);
