#include "io/kzequserparams.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>

#include "base/klib.h"
#include "fileio/kconfigfile.h"
#include "fileio/tests/scratch_root.h"

using namespace zeqsdk_400;

namespace {

struct TestParams : KZeqUserParams {
    using KZeqUserParams::Load, KZeqUserParams::Save, KZeqUserParams::mImportType;
    void Load() override {}
    void Save() override {}
    ESysUnits GetSystemUnitInfo() const override { return mUnit; }
    double GetSystemScale(ESysUnits) const override { return mScale; }
    ESysUnits mUnit = eCentimeter;
    double mScale = 1;
};

// The values of some entries, each followed by a blank; a message stands for its first line.
std::string Values(const KZeqUserParams& table, std::initializer_list<unsigned int> indices) {
    std::string text;
    for (unsigned int i : indices) {
        const KString value = table.GetStringParam(i);
        text += std::string(value.Buffer()).substr(0, value.Find('\n')) + " ";
    }
    return text;
}

}  // namespace

TEST(KZeqUserParamsTable, BuiltInEntriesAndImportType) {
    const std::string names =
        "kExportMasterUnitStr kImportMasterUnitStr kShowWarnings kAsciiZeq kExportMasterScale kExportSamplingRate "
        "kExportAnimation kExportEmbedTextures kExportConvert_2Tiff kExportCameras kExportLights kExportGeometries "
        "kExportSkins kExportShapes kExportBindPose kExportPivotToNull kExportApplyCstKeyRed kExportApplyKeyReduce "
        "kExportKeyReducePrec kExportApplyKeySync kExportApplyKeysOnFrm kExportApplyUnroll kExportUnrollPrec "
        "kExportUnrollPath kImportLoadMode kImportMasterScale kImportSamplingRate kImportAnimation kImportCameras "
        "kImportLights kImportGeometries kImportSkins kImportShapes kImportMarkers kImportNullsToPivot "
        "kImportApplyCstKeyRed kImportApplyKeyReduce kImportKeyReducePrec kImportApplyKeySync kImportApplyKeysOnFrm "
        "kImportApplyUnroll kImportUnrollPrec kImportUnrollPath ";
    // Type code and value of the entries from 2 on (t and f: "true" and "false").
    const std::string values = "Bt Bf D1.0 D30.0 Bt Bf Bf Bt Bt Bt Bt Bt Bt Bf Bt Bf D1.0000 Bf Bt Bt D0.25 Bt "
                               "SkCreate D1.0 D30.0 Bt Bt Bt Bt Bt Bt Bf Bf Bt Bf D1.0000 Bf Bt Bt D0.25 Bt ";
    TestParams table;
    std::string gotNames, gotValues;
    for (unsigned int i = 0; i < 43; ++i) {
        const KZeqUserParamEntry& entry = *table.Entry(i);
        const std::string value = entry.mValue.Buffer();
        gotNames += std::string(entry.mName.Buffer()) + " ";
        if (i > 1) gotValues += "BDS"[entry.mType] + (value == "true" ? "t" : value == "false" ? "f" : value) + " ";
    }
    EXPECT_EQ(names + values, gotNames + gotValues);
    EXPECT_TRUE(table.GetStringParam(0) == "Detected source world unit = Unit\n1 unit = 1 centimeter" &&
                table.GetStringParam(1) == "Detected destination world unit = Unit\n1 centimeter = 1 unit");
    EXPECT_TRUE(table.GetNbParameters() == 43 && table.Entry(43) == nullptr);
    EXPECT_EQ(KZeqUserParams::kCreate, table.mImportType);  // taken from entry 24
}

TEST(KZeqUserParamsTable, TextReadingOutOfRangeDoubleTextResetsAndLoadModes) {
    TestParams table;
    auto asBool = [&](const char* text) { return table.SetStringParam(6, text), table.GetBoolParam(6); };
    auto asDouble = [&](const char* text) { return table.SetStringParam(18, text), table.GetDoubleParam(18); };
    EXPECT_TRUE(asBool("true") && !asBool("TRUE") && !asBool("1") && !asBool("") && !asBool("true "));
    EXPECT_TRUE(asDouble("1.0000") == 1.0 && asDouble("abc") == 0.0 && asDouble("2.5x") == 2.5);
    for (unsigned int bad : {43u, 1000u, ~0u}) {
        table.SetBoolParam(bad, true), table.SetDoubleParam(bad, 1.0), table.SetStringParam(bad, "x");
        EXPECT_TRUE(!table.GetBoolParam(bad) && table.GetDoubleParam(bad) == 0.0 && table.GetStringParam(bad) == "");
    }
    // Single precision in "%f" form; the last four would lose their value with six decimals, so get more.
    std::string texts;
    for (double value : {0.25, 30.0, 123456789.0, -2.5, 0.000006213, 1e-7, 0.0328084, 1.0 / 3.0}) {
        table.SetDoubleParam(22, value);
        texts += Values(table, {22});
        EXPECT_EQ(static_cast<float>(value), static_cast<float>(table.GetDoubleParam(22))) << value;
    }
    EXPECT_EQ("0.250000 30.000000 123456792.000000 -2.500000 0.000006213 0.0000001 0.0328084 0.33333334 ", texts);

    // Each reset keeps to its side and the two shared entries.
    for (unsigned int i : {0u, 1u, 3u, 4u, 6u, 24u, 25u, 27u}) table.SetStringParam(i, "x");
    table.ResetExport();
    EXPECT_EQ("x x false 1.0 true x x x ", Values(table, {0, 1, 3, 4, 6, 24, 25, 27}));
    table.SetDoubleParam(4, 2.0), table.SetStringParam(3, "x");
    table.ResetImport();
    EXPECT_EQ("x x false 2.000000 true x 1.0 true ", Values(table, {0, 1, 3, 4, 6, 24, 25, 27}));
    KString lower("kcreate"), exact("kExclusiveMerge");
    EXPECT_TRUE(table.StringToLoadMode(lower) == 1 && table.StringToLoadMode(exact) == 0);
    EXPECT_TRUE(table.LoadModeToString(KZeqUserParams::kMerge) == "kMerge" && table.LoadModeToString({}) == exact &&
                table.LoadModeToString(KZeqUserParams::ELoadMode(3)) == "");
    table.SetResamplingRate(24.0, false);
    EXPECT_TRUE(table.GetStringParam(5) == "24.000000" && table.GetResamplingRate(true) == 30.0);
}

// Both scales as stored, then the unit word of each message ("-": the message stays as it was).
struct UnitCase {
    const char *mName;
    int mUnit;
    double mHostScale;
    const char *mExpected;
};
class KZeqUserParamsMasterScale : public ::testing::TestWithParam<UnitCase> {};

TEST_P(KZeqUserParamsMasterScale, BothSides) {
    TestParams table;
    table.mUnit = static_cast<KZeqUserParams::ESysUnits>(GetParam().mUnit);
    table.mScale = GetParam().mHostScale;
    table.SetStringParam(0, "-"), table.SetStringParam(1, "-");
    table.ComputeMasterScale(true, false), table.ComputeMasterScale(false, false);
    std::string text = Values(table, {4, 25});
    for (unsigned int i : {0u, 1u}) {  // the last word of the first line: "... world unit = Inch"
        const std::string line = Values(table, {i});
        text += line.substr(line.rfind(' ', line.size() - 2) + 1);
    }
    EXPECT_EQ(GetParam().mExpected, text);
    table.SetMasterScale(7.0, true), table.SetMasterScale(8.0, false);
    table.ComputeMasterScale(true, true), table.ComputeMasterScale(false, true);  // messages only
    EXPECT_TRUE(table.GetMasterScale(true) == 7.0 && table.GetMasterScale(false) == 8.0);
}

INSTANTIATE_TEST_SUITE_P(
    Units, KZeqUserParamsMasterScale,
    ::testing::Values(UnitCase{"Generic", 0, 1, "1.000000 1.000000 Unit Unit "},
                      UnitCase{"Inch", 1, 1, "2.540000 0.393700 Inch Inches "},
                      UnitCase{"Foot", 2, 1, "30.480000 0.0328084 Feet Feet "},
                      UnitCase{"Mile", 4, 1, "160934.406250 0.000006213 Mile Miles "},
                      UnitCase{"Millimetre", 5, 1, "0.100000 10.000000 Millimeter Millimeters "},
                      UnitCase{"Centimetre", 6, 1, "1.000000 1.000000 Centimeter Centimeters "},
                      UnitCase{"MetreHostScale2", 7, 2, "200.000000 0.010000 Meter Meter "},
                      UnitCase{"Kilometre", 8, 1, "100000.000000 0.0000001 Kilometer Kilometer "},
                      UnitCase{"Nine", 9, 3, "3.000000 1.000000 - - "}),
    [](const ::testing::TestParamInfo<UnitCase>& info) { return std::string(info.param.mName); });

TEST(KZeqUserParamsFile, SaveThenLoadKeysInAnyCaseAbsentKeysKeepValues) {
    // Its own folder: another run of this test (another build, another user) may hold one too.
    const std::string dir = zeqtest::MakeFreshFolder(zeqtest::ScratchRoot(), "params").string() + "/";
    KLib_SetConfigDirectory(dir.c_str());
    KArrayTemplate<KZeqUserParamEntry*> own;
    KZeqUserParamEntry mine("kMine", 0, "true");
    own.Add(&mine);
    TestParams saved, loaded;
    saved.AddUserParams(own);
    saved.SetBoolParam(15, true), saved.SetDoubleParam(4, 2.5), saved.SetStringParam(24, "kMerge");
    saved.SetStringParam(9, "a;b");  // a settings line ends at ';'
    saved.Save(*std::make_unique<KConfigFile>("params.ini", false), "UserParams");
    const std::string text((std::stringstream() << std::ifstream(dir + "params.ini").rdbuf()).str());
    EXPECT_TRUE(text.find("kExportPivotToNull") == std::string::npos && text.find("kMine") == std::string::npos);
    EXPECT_LT(text.find("kExportMasterScale"), text.find("kExportMasterUnitStr"));
    EXPECT_LT(text.find("kImportMasterScale"), text.find("kImportMasterUnitStr"));

    mine.mValue = "false";
    loaded.AddUserParams(own);
    loaded.Load(*std::make_unique<KConfigFile>("params.ini", false), "userparams");
    for (unsigned int i = 2; i < 43; ++i) {
        const KString expected = i == 15 ? KString("false") : i == 9 ? KString("a") : saved.GetStringParam(i);
        EXPECT_STREQ(expected, loaded.GetStringParam(i)) << i;
    }
    EXPECT_STREQ("Detected source world unit = Unit", loaded.GetStringParam(0));  // one value a line
    EXPECT_STREQ("Detected destination world unit = Unit", loaded.GetStringParam(1));

    std::ofstream(dir + "hand.ini") << "[Other]\nkAsciiZeq = no\n"
                                       "[UserParams]\nKASCIIZEQ = true\nkexportmasterscale=3\nkMine = true\n";
    loaded.Load(*std::make_unique<KConfigFile>("hand.ini", true), "UserParams");
    loaded.Load(*std::make_unique<KConfigFile>("absent.ini", false), "UserParams");
    EXPECT_EQ("true 3 kMerge false ", Values(loaded, {3, 4, 24, 43}));
    loaded.Reset();  // appended entries go too
    EXPECT_EQ(43, loaded.GetNbParameters());
    KLib_SetConfigDirectory(""), std::filesystem::remove_all(dir);
}
