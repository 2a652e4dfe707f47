// The plug-in's user options and their settings file: defaults, what the file gives back, what
// bad files and folders leave, and the unit messages.
#include "zeqtulo_test_support.h"

#include <sys/stat.h>

#include "base/klib.h"
#include "plugin/zeqtulouserparams.h"

using zeqsdk_400::KLib_SetConfigDirectory;
using zeqsdk_400::KString;
using zeqsdk_400::KZeqUserParams;

namespace {

class UserParamsTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mDirectory = ZeqTuloTestDirectory();
        KLib_SetConfigDirectory(mDirectory.c_str());
    }
    void TearDown() override {
        KLib_SetConfigDirectory("");
        HostTest::TearDown();
    }
    std::string File() const { return mDirectory + "zeqplugins6.0registry.txt"; }
    void Write(const std::string& text) const { std::ofstream(File(), std::ios::binary) << text; }
    std::string Read() const { return ZeqTuloReadFile(File()); }
    // Every entry's text and the import type: what a save and a load must keep.
    static std::string State(const ZeqTuloUserParams& p) {
        std::string out;
        for (unsigned i = 0; i < static_cast<unsigned>(p.GetNbParameters()); ++i)
            out += std::string(p.Entry(i)->mName.Buffer()) + "=" + p.Entry(i)->mValue.Buffer() + "\n";
        return out + "type=" + std::to_string(p.GetImportType());
    }
    std::string mDirectory;
};

TEST_F(UserParamsTest, DefaultsWithoutAFile) {
    ZeqTuloUserParams params;
    EXPECT_EQ(params.GetNbParameters(), 52);
    EXPECT_EQ(params.GetImportType(), KZeqUserParams::kCreate);
    EXPECT_TRUE(params.GetBoolParam(ZeqTuloUserParams::kImportShowUI));
    EXPECT_FALSE(params.GetBoolParam(ZeqTuloUserParams::kExportHardEdges));
    EXPECT_STREQ(params.GetMasterUnitStr(false).Buffer(), "Detected source world unit = Centimeter\n1 centimeter = 1 centimeter");
    EXPECT_STREQ(params.GetSectionName().Buffer(), "Tulo60");
    EXPECT_STREQ(ZeqTuloUserParams::GetRegistryPath().Buffer(), "zeqplugins6.0registry.txt");
    params.Reset();
    EXPECT_EQ(params.GetImportType(), KZeqUserParams::kMerge);
    EXPECT_EQ(params.GetNbParameters(), 52);
    EXPECT_EQ(params.GetDoubleParam(KZeqUserParams::kImportSamplingRate), 30.0);
}

// What a settings file gives back, value by value.
struct LoadCase {
    const char* name;
    const char* line;
    const char* key;
    const char* value;  // the entry's text after the load
};

class Loads : public UserParamsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(Loads, ValueFromTheFile) {
    Write(std::string("[Tulo60]\n") + GetParam().line + "\n");
    ZeqTuloUserParams params;
    for (unsigned i = 0; i < 52; ++i)
        if (params.Entry(i)->mName == GetParam().key) {
            EXPECT_STREQ(params.Entry(i)->mValue.Buffer(), GetParam().value);
        }
}

const LoadCase kLoads[] = {
    {"BoolTwoIsTrue", "kExportHardEdges = 2", "kExportHardEdges", "true"},
    {"BoolZeroIsFalse", "kImportShowUI = 0", "kImportShowUI", "false"},
    {"BoolWordKeepsTheValue", "kImportShowUI = yes", "kImportShowUI", "true"},
    {"DoubleAsFloat", "kExportSamplingRate = 24.5", "kExportSamplingRate", "24.500000"},
    {"DoubleWordKeepsTheValue", "kExportMasterScale = big", "kExportMasterScale", "1.000000"},
    {"SmallFactorKept", "kImportMasterScale = 0.0000001", "kImportMasterScale", "0.0000001"},
    {"OtherSectionIgnored", "[Other]\nkImportShowUI = 0", "kImportShowUI", "true"},
};
INSTANTIATE_TEST_SUITE_P(UserParams, Loads, ::testing::ValuesIn(kLoads), CaseName());

TEST_F(UserParamsTest, LoadModeText) {
    for (auto c : {std::make_pair("kExclusiveMerge", 0), std::make_pair("kMerge", 1), std::make_pair("kCreate", 2),
                   std::make_pair("Replace", 1)}) {
        Write(std::string("[Tulo60]\nkImportLoadMode = ") + c.first + "\n");
        ZeqTuloUserParams params;
        EXPECT_EQ(params.GetImportType(), c.second) << c.first;
    }
}

// 52 keys, bools as 1 or 0; the unit messages and a kilometre factor come back exactly.
TEST_F(UserParamsTest, SaveAndLoadRoundTrip) {
    std::string saved;
    {
        ZeqTuloUserParams params;
        params.SetBoolParam(ZeqTuloUserParams::kExportSelectionOnly, true);
        params.SetDoubleParam(KZeqUserParams::kImportMasterScale, 1e-7);
        params.SetStringParam(KZeqUserParams::kExportMasterUnitStr, KString("a;b = c\\d\nline two"));
        params.SetImportType(KZeqUserParams::kExclusiveMerge);
        params.Save();
        saved = State(params);
    }  // the destructor saves again: same content
    std::string file = Read();
    int keys = 0;
    std::istringstream in(file);
    for (std::string line; std::getline(in, line);) keys += line.find(" = ") != std::string::npos;
    EXPECT_EQ(keys, 52) << file;
    EXPECT_NE(file.find("kExportSelectionOnly = 1"), std::string::npos);
    EXPECT_NE(file.find("kImportShowUI = 1"), std::string::npos);
    EXPECT_NE(file.find("kImportLoadMode = kExclusiveMerge"), std::string::npos);
    // Construction restores the unit messages of the host's unit; a load gives back what was saved.
    ZeqTuloUserParams again;
    EXPECT_STREQ(again.GetMasterUnitStr(false).Buffer(), "Detected source world unit = Centimeter\n1 centimeter = 1 centimeter");
    again.Load();
    EXPECT_EQ(State(again), saved);
    EXPECT_DOUBLE_EQ(again.GetDoubleParam(KZeqUserParams::kImportMasterScale), 1e-7);
}

// Garbage, a folder that is not there, no folder set: values stay, nothing is written, no crash.
TEST_F(UserParamsTest, BadFilesAndFolders) {
    std::string defaults;
    {
        ZeqTuloUserParams params;
        defaults = State(params);
        std::remove(File().c_str());
    }
    std::remove(File().c_str());
    const char garbage[] = "\x01\xff[Tulo60\n= = =\n[Tulo60]\nkImportShowUI\n;;\n\0bin";
    Write(std::string(garbage, sizeof garbage - 1));
    {
        ZeqTuloUserParams params;
        EXPECT_EQ(State(params), defaults);
    }
    KLib_SetConfigDirectory((mDirectory + "missing/deeper").c_str());
    {
        ZeqTuloUserParams params;
        params.SetBoolParam(ZeqTuloUserParams::kImportHardEdges, true);
        params.Save();
        EXPECT_TRUE(params.GetBoolParam(ZeqTuloUserParams::kImportHardEdges));
    }
    struct stat st;
    EXPECT_NE(stat((mDirectory + "missing").c_str(), &st), 0);
    // No folder set: the current folder is left alone.
    KLib_SetConfigDirectory("");
    std::remove("zeqplugins6.0registry.txt");
    { ZeqTuloUserParams().Save(); }
    EXPECT_NE(stat("zeqplugins6.0registry.txt", &st), 0);
}

// The unit messages follow the host's linear unit when a dialog resets them; kilometre and metre
// codes are swapped between the host and the table.
TEST_F(UserParamsTest, UnitMessagesFollowTheHost) {
    ZeqTuloUserParams params;
    standin::setUnits(TDistance::kMeters, TAngle::kDegrees, TTime::kFilm);
    EXPECT_EQ(params.GetSystemUnitInfo(), KZeqUserParams::eMeter);
    params.ResetExport();
    EXPECT_STREQ(params.GetMasterUnitStr(false).Buffer(), "Detected source world unit = Meter\n1 meter = 100 centimeters");
    EXPECT_STREQ(params.GetMasterUnitStr(true).Buffer(), "Detected destination world unit = Meter\n1 centimeter = 0.01 meter");
    params.SetStringParam(KZeqUserParams::kExportMasterUnitStr, KString("edited"));
    params.ResetImport();  // no change of unit since: nothing rewritten
    EXPECT_STREQ(params.GetMasterUnitStr(false).Buffer(), "edited");
    standin::setUnits(TDistance::kKilometers, TAngle::kDegrees, TTime::kFilm);
    EXPECT_EQ(params.GetSystemUnitInfo(), KZeqUserParams::eKilometer);
    EXPECT_EQ(params.GetMasterScale(false), 1.0);  // the scales are never computed here
    standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, TTime::kFilm);
}

}  // namespace
