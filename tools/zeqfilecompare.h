#ifndef ZEQ_TOOLS_ZEQFILECOMPARE_H
#define ZEQ_TOOLS_ZEQFILECOMPARE_H

// The main job's file comparisons: two Zeq files read into scenes and compared field by field by
// the round trip's comparer, and the take queries' answers checked against a file's takes.

#include <string>
#include <vector>

#include "tools/comparedifferences.h"

namespace zeqcompare {

// One difference per field the comparer names (kind: the field path's leading word); numbers of
// floating-point fields within the tolerance (relative, absolute below magnitude 1; 0: exactly).
// False, with the error, when a file cannot be read.
bool CompareZeqFiles(const std::string& first, const std::string& second, std::vector<Difference>& differences,
                     std::string& error, double tolerance = 0.0);

// Answers in the order the main job asks: the take count, then per take its name, comment, local
// start and stop, reference start and stop (times in units of 1/unitsPerSecond s). A take not
// asked about, an answer too many or one that differs is a difference. False, with the error,
// when the file cannot be read.
bool CheckTakeAnswers(const std::string& file, const std::vector<std::string>& answers, double unitsPerSecond,
                      std::vector<Difference>& differences, std::string& error);

}  // namespace zeqcompare

#endif
