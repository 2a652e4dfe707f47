#ifndef ZEQ_TOOLS_HOSTDUMPCOMPARE_H
#define ZEQ_TOOLS_HOSTDUMPCOMPARE_H

// Compares two dumps of the stand-in host's scene ("standin_dump -o") record by record, with
// tolerances where an exact text comparison would fail on what a float file format rounds.
//
// A dump holds the scene's header lines (units, time, namespaces), one record per node ("node
// <path or name> <type>" and its indented lines), its connections and its selection. Each node,
// connection (by destination) and the header and selection are records of a kind; two records are
// equal when their lines pair up by key and each pair is equal token by token: texts exactly,
// integers exactly, other numbers within the tolerances.

#include <map>
#include <string>
#include <vector>

#include "tools/comparedifferences.h"

namespace zeqcompare {

struct DumpRecord {
    std::string mKind;
    std::vector<std::string> mLines;
};

struct HostDump {
    std::map<std::string, DumpRecord> mRecords;  // by subject
};

// False, with the line named, for text that is no dump.
bool ParseHostDump(const std::string& text, HostDump& dump, std::string& error);

struct Tolerances {
    double mValue = 1e-5;   // relative to the larger magnitude, absolute below 1
    double mMatrix = 1e-4;  // absolute, per element of a line of 16 numbers
};

struct KindTally {
    int mEqual = 0, mDifferent = 0, mMissing = 0, mAdded = 0;
};

// The differences of after against before: records missing or added, and per record each line
// key that differs (aspect = the key), static values of plugs that a connection drives left out
// (the source's value is what the plug shows). Tallies count records per kind.
std::vector<Difference> CompareHostDumps(const std::string& comparison, const HostDump& before, const HostDump& after,
                                         const Tolerances& tolerances, std::map<std::string, KindTally>& tallies);

// The lines of a record as the comparison sees them. Two parts of the host's state carry no meaning
// of their own and would only show how it was set: a disabled limit's value (no effect, and the
// file keeps none), and whether a mesh shares normals between face-vertices or gives each its own
// (both dump as "normals" and "normalIds": they become one "faceVertexNormals" line, the normal of
// each face-vertex in order).
std::vector<std::string> MeaningfulLines(const std::vector<std::string>& lines);

// The key of each line of a record, as the comparison pairs them: "value translate.translateX",
// "key#3", "uvSet map1 u", "member hardCube hardCubeShape", "points".
std::vector<std::string> LineKeys(const std::vector<std::string>& lines);

// True when the two numbers are equal within the tolerance: relative to the larger magnitude,
// absolute below magnitude 1.
bool WithinTolerance(double a, double b, double tolerance);

}  // namespace zeqcompare

#endif
