// The main job's comparison: host scene dumps before the export and after each import, the two Zeq
// files of the road field by field, and the take queries' answers against the first file; every
// difference must be one the expected list gives a reason for, and every entry of the list must
// still occur.
//
//   zeqcompare [--expected LIST] [--known-faults LIST] [--dumps BEFORE FIRST SECOND]
//              [--files FIRST SECOND] [--takes ANSWERS [--units-per-second N]]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fileio/kscratchfolder.h"
#include "tools/comparedifferences.h"
#include "tools/hostdumpcompare.h"
#include "tools/zeqfilecompare.h"

using namespace zeqcompare;

namespace {

const char kUsage[] =
    "usage: zeqcompare [--expected LIST] [--known-faults LIST] [--dumps BEFORE FIRST SECOND]\n"
    "                  [--files FIRST SECOND [--tolerance T]] [--takes ANSWERS [--units-per-second N]]\n"
    "  --expected LIST     the expected differences, one a line: comparison kind subject status aspect -- reason\n"
    "                      (comparisons export-import, import-import, files, takes, merge; '*' and '?' in patterns)\n"
    "  --known-faults LIST differences of faults not mended yet, in the same form: allowed, and counted apart\n"
    "  --dumps B F S       host scene dumps before the export (B) and after the first (F) and second (S)\n"
    "                      import: B against F, F against S, per kind (values within 1e-5 relative,\n"
    "                      matrices within 1e-4)\n"
    "  --files A B         two Zeq files, field by field\n"
    "  --tolerance T       numbers of the files within T relative (absolute below 1); default 0: exactly\n"
    "  --takes ANSWERS     the take queries' answers (count, then per take name, comment, local start and\n"
    "                      stop, reference start and stop), one a line, against the takes of the first file\n"
    "  --units-per-second  the time unit of the answers (default 24: frames of film)\n"
    "Exit status: 0 only expected differences and known faults, each still occurring; 1 an unexpected\n"
    "difference or a stale entry; 2 bad arguments or input that cannot be read.\n";

int Refuse(const std::string& message) {
    std::fprintf(stderr, "zeqcompare: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// Through the reader facility: a regular file only, never a pipe waited on.
bool ReadFile(const std::string& path, std::string& text) { return zeqsdk_400::KReadWholeFile(path.c_str(), text); }

bool ReadDump(const std::string& path, HostDump& dump, std::string& error) {
    std::string text;
    if (!ReadFile(path, text)) return error = "cannot read " + path, false;
    if (!ParseHostDump(text, dump, error)) return error = path + ": " + error, false;
    return true;
}

void PrintTallies(const std::map<std::string, KindTally>& tallies) {
    std::printf("  %-22s %7s %9s %7s %7s\n", "kind", "equal", "different", "missing", "added");
    for (const auto& t : tallies)
        std::printf("  %-22s %7d %9d %7d %7d\n", t.first.c_str(), t.second.mEqual, t.second.mDifferent,
                    t.second.mMissing, t.second.mAdded);
}

std::string Describe(const Difference& d) {
    std::string text = d.mComparison + " " + d.mKind + " " + d.mSubject + " " + d.mStatus;
    if (!d.mAspect.empty()) text += " [" + d.mAspect + "]";
    return text + (d.mDetail.empty() ? "" : ": " + d.mDetail);
}

}  // namespace

int main(int argc, char** argv) {
    std::string expectedPath, faultsPath, takesPath;
    std::vector<std::string> dumps, files;
    double unitsPerSecond = 24.0;
    double tolerance = 0.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto take = [&](std::size_t n, std::vector<std::string>& into) {
            if (i + static_cast<int>(n) >= argc) return false;
            for (std::size_t k = 0; k < n; ++k) into.push_back(argv[++i]);
            return true;
        };
        std::vector<std::string> one;
        if (a == "-h" || a == "--help") return std::fputs(kUsage, stdout), 0;
        if (a == "--expected" && expectedPath.empty() && take(1, one)) expectedPath = one[0];
        else if (a == "--known-faults" && faultsPath.empty() && take(1, one)) faultsPath = one[0];
        else if (a == "--dumps" && dumps.empty() && take(3, dumps)) continue;
        else if (a == "--files" && files.empty() && take(2, files)) continue;
        else if (a == "--takes" && take(1, one)) takesPath = one[0];
        else if (a == "--tolerance" && take(1, one)) {
            char* end = nullptr;
            tolerance = std::strtod(one[0].c_str(), &end);
            if (*end || !(tolerance >= 0.0)) return Refuse("the tolerance must be a number, 0 or more");
        } else if (a == "--units-per-second" && take(1, one)) {
            char* end = nullptr;
            unitsPerSecond = std::strtod(one[0].c_str(), &end);
            if (*end || !(unitsPerSecond > 0.0)) return Refuse("the units per second must be a positive number");
        } else return Refuse("unknown, repeated or incomplete argument \"" + a + "\"");
    }
    if (dumps.empty() && files.empty()) return Refuse("nothing to compare: give --dumps, --files or both");
    if (!takesPath.empty() && files.empty()) return Refuse("--takes checks the first of --files");

    // Inherent differences first: a difference both lists fit is no fault.
    std::vector<ExpectedDifference> expected;
    std::string error;
    for (const std::string* path : {&expectedPath, &faultsPath}) {
        if (path->empty()) continue;
        std::string text;
        if (!ReadFile(*path, text)) return Refuse("cannot read " + *path);
        if (!ParseExpectedDifferences(text, expected, error, path == &faultsPath)) return Refuse(*path + ": " + error);
    }

    std::vector<Difference> differences;
    std::set<std::string> run;
    if (!dumps.empty()) {
        HostDump before, first, second;
        if (!ReadDump(dumps[0], before, error) || !ReadDump(dumps[1], first, error) || !ReadDump(dumps[2], second, error))
            return Refuse(error);
        const Tolerances tolerances;
        const struct {
            const char* mComparison;
            const HostDump& mA;
            const HostDump& mB;
            const char* mTitle;
        } pairs[] = {{kExportImport, before, first, "Host scene before the export against after the first import"},
                     {kImportImport, first, second, "After the first import against after the second"}};
        for (const auto& pair : pairs) {
            std::map<std::string, KindTally> tallies;
            std::vector<Difference> found =
                CompareHostDumps(pair.mComparison, pair.mA, pair.mB, tolerances, tallies);
            std::printf("%s (values within %g relative, matrices within %g), records per kind:\n", pair.mTitle,
                        tolerances.mValue, tolerances.mMatrix);
            PrintTallies(tallies);
            differences.insert(differences.end(), found.begin(), found.end());
            run.insert(pair.mComparison);
        }
    }
    if (!files.empty()) {
        std::vector<Difference> found;
        if (!CompareZeqFiles(files[0], files[1], found, error, tolerance)) return Refuse(error);
        std::printf("%s against %s, field by field: %zu field(s) differ\n", files[0].c_str(), files[1].c_str(),
                    found.size());
        differences.insert(differences.end(), found.begin(), found.end());
        run.insert(kFiles);
    }
    if (!takesPath.empty()) {
        std::string text;
        if (!ReadFile(takesPath, text)) return Refuse("cannot read " + takesPath);
        std::vector<std::string> answers;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) answers.push_back(line);
        std::vector<Difference> found;
        if (!CheckTakeAnswers(files[0], answers, unitsPerSecond, found, error)) return Refuse(error);
        std::printf("Take queries (%zu answers) against the takes of %s: %zu difference(s)\n", answers.size(),
                    files[0].c_str(), found.size());
        differences.insert(differences.end(), found.begin(), found.end());
        run.insert(kTakes);
    }

    const Judgement judgement = Judge(differences, expected, run);
    if (!differences.empty()) std::printf("Differences:\n");
    int faults = 0;
    for (std::size_t i = 0; i < differences.size(); ++i) {
        const ExpectedDifference* by = judgement.mExpectedBy[i];
        faults += by && by->mKnownFault;
        std::printf("  %-11s %s\n", !by ? "UNEXPECTED" : by->mKnownFault ? "KNOWN FAULT" : "expected",
                    Describe(differences[i]).c_str());
    }
    for (bool knownFaults : {false, true}) {
        bool any = false;
        for (const ExpectedDifference& entry : expected) {
            if (!entry.mHits || entry.mKnownFault != knownFaults) continue;
            if (!any)
                std::printf(knownFaults ? "Known faults met, not mended yet (line of the list, times, fault):\n"
                                        : "Expected differences met (line of the list, times, reason):\n");
            any = true;
            std::printf("  line %d, %d x: %s\n", entry.mLine, entry.mHits, entry.mReason.c_str());
        }
    }
    for (const ExpectedDifference* entry : judgement.mStale)
        std::printf("STALE %s, line %d (%s %s %s %s %s): no longer occurs -- %s\n",
                    entry->mKnownFault ? "known fault" : "expected difference", entry->mLine,
                    entry->mComparison.c_str(), entry->mKind.c_str(), entry->mSubject.c_str(), entry->mStatus.c_str(),
                    entry->mAspect.c_str(), entry->mReason.c_str());
    const bool ok = judgement.mUnexpected == 0 && judgement.mStale.empty();
    std::printf("Comparison %s: %zu difference(s), %d unexpected, %d from known faults, %zu stale entr%s\n",
                ok ? "passed" : "FAILED", differences.size(), judgement.mUnexpected, faults, judgement.mStale.size(),
                judgement.mStale.size() == 1 ? "y" : "ies");
    return ok ? 0 : 1;
}
