#ifndef ZEQ_TOOLS_COMPAREDIFFERENCES_H
#define ZEQ_TOOLS_COMPAREDIFFERENCES_H

// What the main job's comparisons find, and the differences it expects: a list kept as data, one
// line each with its reason. A difference no entry expects fails the job; so does an entry that
// no difference meets any more, so that the list cannot go stale.

#include <set>
#include <string>
#include <vector>

namespace zeqcompare {

// The comparisons, by the names the expected list uses.
extern const char* const kExportImport;  // host scene before export against after the first import
extern const char* const kImportImport;  // after the first import against after the second
extern const char* const kFiles;         // the first Zeq file against the second, field by field
extern const char* const kTakes;         // the take queries' answers against the first file's takes
extern const char* const kMerge;         // host scene before the export against after importing it back (merge)

struct Difference {
    std::string mComparison;
    std::string mKind;     // host node type, "connection", "scene", "selection"; a field's leading word
    std::string mSubject;  // node path or name, connection destination, field path, take
    std::string mStatus;   // "different", "missing" (only in the first), "added" (only in the second)
    std::string mAspect;   // the line or part that differs; empty for a whole node
    std::string mDetail;   // what differs, for people
};

// One line of the list: five patterns ('*' any text, '?' one character), the last (the aspect)
// running to the reason and so free to hold blanks, and the reason.
struct ExpectedDifference {
    std::string mComparison, mKind, mSubject, mStatus, mAspect;
    std::string mReason;
    int mLine = 0;
    int mHits = 0;
    // From the list of faults not mended yet rather than of inherent differences.
    bool mKnownFault = false;
};

// '*' matches any text ('|' and '[' included), '?' one character; nothing else is special.
bool GlobMatch(const std::string& pattern, const std::string& text);

// Lines "comparison kind subject status aspect -- reason"; blank lines and lines starting with
// '#' are skipped. False, with the line named, for a line without the five patterns, a reason, a
// known comparison or status.
bool ParseExpectedDifferences(const std::string& text, std::vector<ExpectedDifference>& list, std::string& error,
                              bool knownFaults = false);

bool Expects(const ExpectedDifference& entry, const Difference& difference);

struct Judgement {
    // Per difference, the entry expecting it (null: unexpected).
    std::vector<const ExpectedDifference*> mExpectedBy;
    int mUnexpected = 0;
    // Entries of a comparison that ran which no difference met.
    std::vector<const ExpectedDifference*> mStale;
};

// Counts each entry's hits (the first entry that fits takes a difference) and finds the stale ones
// among the comparisons that ran.
Judgement Judge(const std::vector<Difference>& differences, std::vector<ExpectedDifference>& list,
                const std::set<std::string>& comparisonsRun);

}  // namespace zeqcompare

#endif
