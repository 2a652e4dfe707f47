#include "tools/comparedifferences.h"

#include <sstream>

namespace zeqcompare {

const char* const kExportImport = "export-import";
const char* const kImportImport = "import-import";
const char* const kFiles = "files";
const char* const kTakes = "takes";
const char* const kMerge = "merge";

namespace {

const char* const kComparisons[] = {kExportImport, kImportImport, kFiles, kTakes, kMerge};
const char* const kStatuses[] = {"different", "missing", "added", "*"};

template <std::size_t N>
bool OneOf(const std::string& word, const char* const (&words)[N]) {
    for (const char* w : words)
        if (word == w) return true;
    return false;
}

}  // namespace

bool GlobMatch(const std::string& pattern, const std::string& text) {
    // Iterative, with one back-tracking point: the last '*' seen.
    std::size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool ParseExpectedDifferences(const std::string& text, std::vector<ExpectedDifference>& list, std::string& error,
                              bool knownFaults) {
    std::istringstream in(text);
    std::string line;
    std::vector<ExpectedDifference> read;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        const std::size_t dashes = line.find(" -- ");
        const std::string where = "line " + std::to_string(number) + ": ";
        if (dashes == std::string::npos) return error = where + "no \" -- \" before the reason", false;
        ExpectedDifference entry;
        entry.mLine = number;
        entry.mKnownFault = knownFaults;
        entry.mReason = line.substr(dashes + 4);
        entry.mReason.erase(0, entry.mReason.find_first_not_of(" \t"));
        while (!entry.mReason.empty() && (entry.mReason.back() == ' ' || entry.mReason.back() == '\r'))
            entry.mReason.pop_back();
        if (entry.mReason.empty()) return error = where + "an expected difference needs its reason", false;
        std::istringstream fields(line.substr(0, dashes));
        std::string* const slots[] = {&entry.mComparison, &entry.mKind, &entry.mSubject, &entry.mStatus};
        for (std::string* slot : slots)
            if (!(fields >> *slot)) return error = where + "needs comparison, kind, subject, status and aspect", false;
        // The aspect is the rest: a dump line's key holds blanks ("value focalLength").
        std::getline(fields >> std::ws, entry.mAspect);
        while (!entry.mAspect.empty() && (entry.mAspect.back() == ' ' || entry.mAspect.back() == '\t'))
            entry.mAspect.pop_back();
        if (entry.mAspect.empty()) return error = where + "needs comparison, kind, subject, status and aspect", false;
        if (!OneOf(entry.mComparison, kComparisons))
            return error = where + "unknown comparison \"" + entry.mComparison + "\"", false;
        if (!OneOf(entry.mStatus, kStatuses)) return error = where + "unknown status \"" + entry.mStatus + "\"", false;
        read.push_back(entry);
    }
    list.insert(list.end(), read.begin(), read.end());
    return true;
}

bool Expects(const ExpectedDifference& entry, const Difference& difference) {
    return entry.mComparison == difference.mComparison && GlobMatch(entry.mKind, difference.mKind) &&
           GlobMatch(entry.mSubject, difference.mSubject) && GlobMatch(entry.mStatus, difference.mStatus) &&
           GlobMatch(entry.mAspect, difference.mAspect);
}

Judgement Judge(const std::vector<Difference>& differences, std::vector<ExpectedDifference>& list,
                const std::set<std::string>& comparisonsRun) {
    Judgement judgement;
    for (ExpectedDifference& entry : list) entry.mHits = 0;
    for (const Difference& difference : differences) {
        const ExpectedDifference* by = nullptr;
        for (ExpectedDifference& entry : list)
            if (Expects(entry, difference)) {
                ++entry.mHits;
                by = &entry;
                break;
            }
        judgement.mExpectedBy.push_back(by);
        if (!by) ++judgement.mUnexpected;
    }
    for (const ExpectedDifference& entry : list)
        if (entry.mHits == 0 && comparisonsRun.count(entry.mComparison)) judgement.mStale.push_back(&entry);
    return judgement;
}

}  // namespace zeqcompare
