#include "roundtrip_support.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tfnanimcurve.h"
#include "tools/comparedifferences.h"
#include "tools/hostdumpcompare.h"

namespace roundtrip {

const UnitSetting kCmDegrees24 = {"CmDegrees24", TDistance::kCentimeters, TAngle::kDegrees, TTime::kFilm};
const UnitSetting kInchRadians30 = {"InchRadians30", TDistance::kInches, TAngle::kRadians, TTime::kNTSCFrame};

std::vector<Case> Cases(const std::string& family, const std::vector<std::string>& options) {
    return {{family, kCmDegrees24, options}, {family, kInchRadians30, options}};
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.mFamily << " under " << c.mUnits.mName; }

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.mFamily + "_" + info.param.mUnits.mName;
}

namespace {

// A path as a quoted word of the host's scripts.
std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(out << text);
}

std::string Describe(const zeqcompare::Difference& d) {
    std::string text = d.mComparison + " " + d.mKind + " " + d.mSubject + " " + d.mStatus;
    if (!d.mAspect.empty()) text += " [" + d.mAspect + "]";
    return text + (d.mDetail.empty() ? "" : ": " + d.mDetail);
}

// Unexpected differences and stale entries of the comparisons that ran, one a line. With
// borrowExportImport the export-import entries serve the merge comparison too (a scene merged back
// meets what the import makes of the file as a new scene does), without going stale there.
std::string Judged(const std::vector<zeqcompare::Difference>& differences, const std::string& listText,
                   const std::set<std::string>& run, bool borrowExportImport = false) {
    std::vector<zeqcompare::ExpectedDifference> list;
    std::string error;
    if (!zeqcompare::ParseExpectedDifferences(listText, list, error)) return "expected differences: " + error + "\n";
    const std::size_t own = list.size();
    if (borrowExportImport)
        for (std::size_t i = 0; i < own; ++i)
            if (list[i].mComparison == zeqcompare::kExportImport) {
                zeqcompare::ExpectedDifference borrowed = list[i];
                borrowed.mComparison = zeqcompare::kMerge;
                list.push_back(borrowed);
            }
    zeqcompare::Judgement judgement = zeqcompare::Judge(differences, list, run);
    // Borrowed entries never go stale.
    judgement.mStale.erase(std::remove_if(judgement.mStale.begin(), judgement.mStale.end(),
                                          [&](const zeqcompare::ExpectedDifference* e) { return e >= list.data() + own; }),
                           judgement.mStale.end());
    std::string report;
    constexpr int kMostShown = 60;
    int shown = 0;
    for (std::size_t i = 0; i < differences.size(); ++i)
        if (!judgement.mExpectedBy[i] && ++shown <= kMostShown) report += "UNEXPECTED " + Describe(differences[i]) + "\n";
    if (shown > kMostShown) report += "... and " + std::to_string(shown - kMostShown) + " more unexpected\n";
    for (const zeqcompare::ExpectedDifference* entry : judgement.mStale)
        report += "STALE line " + std::to_string(entry->mLine) + " (" + entry->mComparison + " " + entry->mKind + " " +
                  entry->mSubject + " " + entry->mStatus + " " + entry->mAspect + "): " + entry->mReason + "\n";
    return report;
}

bool Dump(const std::string& text, zeqcompare::HostDump& dump, std::string& report) {
    std::string error;
    if (zeqcompare::ParseHostDump(text, dump, error)) return true;
    report += "dump: " + error + "\n";
    return false;
}

}  // namespace

std::string HostErrors() {
    std::string text;
    for (const std::string& line : standin::transcript())
        if (line.find("// Error") != std::string::npos || line.find("-> failed") != std::string::npos) text += line + "\n";
    return text;
}

std::vector<double> Evaluate(const std::string& curve, const std::vector<double>& seconds) {
    std::vector<double> values;
    TStatus status;
    TFnAnimCurve fn(standin::find(curve), &status);
    if (!status) return values;
    for (double t : seconds) values.push_back(fn.evaluate(TTime(t, TTime::kSeconds)));
    return values;
}

double PlugValue(const std::string& text) {
    const TPlug plug = standin::plug(text);
    double value = 0;
    if (plug.isNull() || !plug.getValue(value)) return std::nan("");
    return value;
}

::testing::AssertionResult Near(const std::vector<double>& a, const std::vector<double>& b, double tolerance) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << a.size() << " values against " << b.size();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(std::fabs(a[i] - b[i]) <= tolerance * std::max({1.0, std::fabs(a[i]), std::fabs(b[i])})))
            return ::testing::AssertionFailure() << "value " << i << ": " << a[i] << " against " << b[i];
    return ::testing::AssertionSuccess();
}

void RoundTripTest::SetUp() {
    HostTest::SetUp();
    mDirectory = ZeqTuloTestDirectory();
    const UnitSetting& units = GetParam().mUnits;
    standin::setUnits(units.mDistance, units.mAngle, units.mTime);
    ASSERT_EQ(symlink(ZEQTULO_MODULE, (mDirectory + "libzeqtulo.so").c_str()), 0);
    setenv("TULO_PLUG_IN_PATH", mDirectory.c_str(), 1);
}

void RoundTripTest::TearDown() {
    std::string error;
    if (!standin::loadedPlugins().empty()) {
        EXPECT_TRUE(standin::unloadAllPlugins(&error)) << error;
    }
    HostTest::TearDown();
}

void RoundTripTest::Load(const char* importMode, const std::string& settings) {
    // The module reads its settings file when it starts.
    ASSERT_TRUE(WriteFile(mDirectory + "zeqplugins6.0registry.txt",
                          std::string("[Tulo60]\nkImportLoadMode = ") + importMode + "\n" + settings));
    std::string error;
    ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
    for (const char* option : {"ZEQExportShowUI 0", "ZEQImportShowUI 0"}) ASSERT_TRUE(Run(option));
    for (const std::string& option : GetParam().mOptions) ASSERT_TRUE(Run(option));
}

bool RoundTripTest::Run(const std::string& text) {
    standin::clearTranscript();
    TStringArray result;
    const bool ok = TGlobal::executeCommand(TString(text), result);
    if (std::getenv("ROUNDTRIP_TRANSCRIPT")) {
        std::ofstream out(mDirectory + "transcript.txt", std::ios::app);
        for (const std::string& line : standin::transcript()) out << line << "\n";
    }
    if (ok) return true;
    ADD_FAILURE() << "the host failed on: " << text << "\n" << HostErrors();
    return false;
}

bool RoundTripTest::Import(const std::string& file, bool firstTake) {
    if (!firstTake) return Run("ZEQImport -f " + Quote(file));
    // The file's first take when it has one (a scene without animation writes none).
    int takes = 0;
    if (!Run("ZEQRead " + Quote(file))) return false;
    if (!TGlobal::executeCommand(TString("ZEQGetTakeCount"), takes)) {
        ADD_FAILURE() << "no take count for " << file << "\n" << HostErrors();
        return false;
    }
    return Run("ZEQImport -f " + Quote(file) + (takes > 0 ? " -take 0" : ""));
}

bool RoundTripTest::Build() { return Run("standin_scene " + GetParam().mFamily); }

Road RoundTripTest::RunRoad() {
    Road road;
    road.mFirstFile = mDirectory + GetParam().mFamily + ".zeq";
    road.mSecondFile = mDirectory + GetParam().mFamily + "-again.zeq";
    if (!Build()) return road;
    road.mBefore = standin::dump();
    if (!Run("ZEQExport -f " + Quote(road.mFirstFile))) return road;
    EXPECT_EQ(standin::dump(), road.mBefore) << "the export changed the scene";
    if (!Import(road.mFirstFile)) return road;
    road.mFirst = standin::dump();
    if (!Run("ZEQExport -f " + Quote(road.mSecondFile))) return road;
    EXPECT_EQ(standin::dump(), road.mFirst) << "the export of the imported scene changed it";
    if (!Import(road.mSecondFile)) return road;
    road.mSecond = standin::dump();
    // Kept beside the files for a look at a failure (zeqcompare --dumps takes them).
    WriteFile(mDirectory + "before.dump", road.mBefore);
    WriteFile(mDirectory + "import1.dump", road.mFirst);
    WriteFile(mDirectory + "import2.dump", road.mSecond);
    road.mOk = true;
    return road;
}

std::string RoundTripTest::ExpectedList(const std::string& list) const {
    const std::string path =
        std::string(ROUNDTRIP_EXPECTED_DIR) + "/" + (list.empty() ? GetParam().mFamily : list) + ".txt";
    std::string text = ZeqTuloReadFile(path);
    EXPECT_FALSE(text.empty()) << "no expected differences at " << path;
    return text;
}

std::string RoundTripTest::Compare(const Road& road) {
    std::string report;
    const std::string list = ExpectedList();
    zeqcompare::HostDump before, first, second;
    if (!Dump(road.mBefore, before, report) || !Dump(road.mFirst, first, report) || !Dump(road.mSecond, second, report))
        return report;
    const zeqcompare::Tolerances tolerances;
    std::map<std::string, zeqcompare::KindTally> tallies;
    std::vector<zeqcompare::Difference> differences =
        zeqcompare::CompareHostDumps(zeqcompare::kExportImport, before, first, tolerances, tallies);
    const std::vector<zeqcompare::Difference> again =
        zeqcompare::CompareHostDumps(zeqcompare::kImportImport, first, second, tolerances, tallies);
    differences.insert(differences.end(), again.begin(), again.end());
    report += Judged(differences, list, {zeqcompare::kExportImport, zeqcompare::kImportImport});

    // The files through the compare tool, which judges its own comparison against the same list.
    const std::string listFile = mDirectory + "expected.txt", output = mDirectory + "zeqcompare.txt";
    if (!WriteFile(listFile, list)) return report + "cannot write " + listFile + "\n";
    const std::string command = std::string("'") + ZEQCOMPARE + "' --expected '" + listFile + "' --files '" +
                                road.mFirstFile + "' '" + road.mSecondFile + "' --tolerance 1e-5 > '" + output +
                                "' 2>&1";
    const int status = std::system(command.c_str());
    if (status != 0) {
        std::istringstream lines(ZeqTuloReadFile(output));
        for (std::string line; std::getline(lines, line);)
            if (line.find("UNEXPECTED") != std::string::npos || line.find("STALE") != std::string::npos ||
                line.find("zeqcompare:") != std::string::npos || line.find("cannot") != std::string::npos)
                report += line + "\n";
        if (report.empty()) report = "the compare tool failed (status " + std::to_string(status) + ")\n";
    }
    return report;
}

bool RoundTripTest::ExportImport(const std::string& file) {
    return Run("ZEQExport -f " + Quote(file)) && Import(file);
}

std::string RoundTripTest::MergeRun(bool firstTake) {
    std::string report;
    const std::string file = mDirectory + GetParam().mFamily + ".zeq";
    if (!Build()) return "the family did not build\n";
    const std::string before = standin::dump();
    if (!Run("ZEQExport -f " + Quote(file))) return "the export failed\n";
    if (!Import(file, firstTake)) return "the merge failed\n";
    const std::string after = standin::dump();
    zeqcompare::HostDump a, b;
    if (!Dump(before, a, report) || !Dump(after, b, report)) return report;
    std::map<std::string, zeqcompare::KindTally> tallies;
    const std::vector<zeqcompare::Difference> differences =
        zeqcompare::CompareHostDumps(zeqcompare::kMerge, a, b, zeqcompare::Tolerances(), tallies);
    report = Judged(differences, ExpectedList(firstTake ? "" : GetParam().mFamily + "-without-take"),
                    {zeqcompare::kMerge}, true);
    // A DAG node the merge added beside one of the same name less its number is a duplicate, which
    // no list may expect.
    for (const zeqcompare::Difference& d : differences) {
        if (d.mStatus != "added" || d.mSubject.empty() || d.mSubject[0] != '|') continue;
        std::string stem = d.mSubject;
        while (!stem.empty() && std::isdigit(static_cast<unsigned char>(stem.back()))) stem.pop_back();
        if (stem != d.mSubject && a.mRecords.count(stem)) report += "DUPLICATED " + stem + " as " + d.mSubject + "\n";
    }
    return report;
}

}  // namespace roundtrip
