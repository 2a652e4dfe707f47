// The round-trip suite: a family of stand-in scenes goes through the plug-in loaded in the host
// and back, under two unit settings.
//
// Road: the family is built and dumped; ZEQExport writes it (the scene's dump unchanged); ZEQImport
// reads it into a new scene, which is dumped; ZEQExport writes that again (dump unchanged); a
// second ZEQImport of the second file gives a third dump. The dumps are compared per record (host
// scene before the export against after the first import, and the two imports against each other)
// and the two Zeq files field by field through the SDK's scene comparer (the main job's compare
// tool, run as its own process: this one holds the host and the module, which carries the SDK).
// Every difference must be one the family's list of expected differences gives a reason for, and
// every entry of the list must still occur.
//
// Merge run: the file is imported back into the scene it came from, in merge mode; no node may be
// duplicated, and the nodes it binds keep their values (the "merge" comparison of the list).
//
// Each test keeps its files in its own directory (ZEQ_TEST_TMP/zeqtulo/<test>/): the Zeq files, the
// three dumps (before.dump, import1.dump, import2.dump, which zeqcompare --dumps takes) and, with
// ROUNDTRIP_TRANSCRIPT set in the environment, the host's transcript of every command.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "zeqtulo_test_support.h"

namespace roundtrip {

// A UI unit setting: distance, angle and time codes of the host.
struct UnitSetting {
    const char* mName;
    int mDistance, mAngle, mTime;
};
extern const UnitSetting kCmDegrees24;
extern const UnitSetting kInchRadians30;

struct Case {
    std::string mFamily;  // the host's scene name ("standin_scene <family>")
    UnitSetting mUnits;
    std::vector<std::string> mOptions;  // plug-in option commands run before the road ("ZEQExportHardEdges 1")
};

// For test messages: "<family> under <unit setting>".
void PrintTo(const Case& c, std::ostream* out);

// The family under both unit settings.
std::vector<Case> Cases(const std::string& family, const std::vector<std::string>& options = {});

// "<family>_<unit setting>".
std::string CaseName(const ::testing::TestParamInfo<Case>& info);

// What one road produced.
struct Road {
    bool mOk = false;
    std::string mBefore, mFirst, mSecond;  // dumps: before the export, after each import
    std::string mFirstFile, mSecondFile;
};

class RoundTripTest : public HostTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the module (after writing its settings file with the import mode and the further
    // settings lines given, "key = value" each ended by a line break).
    void Load(const char* importMode, const std::string& settings = "");
    // Runs a host text; on failure the test fails with the host's error lines.
    bool Run(const std::string& text);
    // Imports the file (its first take, when it has one and firstTake is set) as the settings'
    // import mode says.
    bool Import(const std::string& file, bool firstTake = true);
    // Builds the family under the case's units.
    bool Build();
    // The whole road; the test fails at the step that fails.
    Road RunRoad();
    // The dumps and the files against the family's expected differences: the comparisons' report,
    // empty when they agree.
    std::string Compare(const Road& road);
    // Exports the scene to the file and imports it as the settings' import mode says.
    bool ExportImport(const std::string& file);
    // Builds, exports and imports back into the same scene in merge mode: the differences of the
    // scene after against before, judged against the list's "merge" entries, plus every node the
    // merge duplicated. With firstTake false the import names no take (the file's animation is
    // not read), and the differences are judged against the list <family>-without-take.
    std::string MergeRun(bool firstTake = true);

    // The expected differences of the family (plugin/tests/roundtrip/<family>.txt), or of the list
    // named (<list>.txt).
    std::string ExpectedList(const std::string& list = "") const;

    std::string mDirectory;
};

// The transcript's error lines since the last clear, for messages.
std::string HostErrors();

// The named curve's value at each of the times (seconds), in internal units; empty when the node
// is no curve.
std::vector<double> Evaluate(const std::string& curve, const std::vector<double>& seconds);
// The plug's value ("node.attribute", long or short names) as a double; NaN when there is none.
double PlugValue(const std::string& plug);
// Every value of a within tolerance of b's, relative (absolute below 1); messages name the values.
::testing::AssertionResult Near(const std::vector<double>& a, const std::vector<double>& b, double tolerance = 1e-5);

}  // namespace roundtrip
