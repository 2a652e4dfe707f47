#ifndef ZEQ_FORMATS_MOTION_MOV_KZEQFILECORVANTISMOV_H
#define ZEQ_FORMATS_MOTION_MOV_KZEQFILECORVANTISMOV_H

#include <cstdint>

#include "fileio/ktextfile.h"

namespace zeqsdk_400 {

// A Corvantis MOV file: rows of numbers separated by blanks or tabs, one row a
// frame: the time in seconds, then per node its enabled channel groups
// (translation, rotation in Euler degrees, scaling; three values each). No
// header, no comments; blank lines are skipped.
class KZeqFileCorvantisMov : public KTextFile {
public:
    KZeqFileCorvantisMov();

    // Opens the file (false on success, as KTextFile::Open) and notes its size.
    bool Open(const char* path, const char* mode);
    std::uintmax_t GetFileSize() const { return mFileSize; }

    // The non-blank lines; false when there is none.
    bool GetRowCount(int& rows);
    // The numbers of the first line; false when it holds anything else or is missing.
    bool GetColumnCount(int& columns);
    // The first row (first) or the next one: up to count numbers, the ones
    // missing 0.0; false when there is no such row.
    bool ReadRow(double* values, int count, bool first);

private:
    std::uintmax_t mFileSize = 0;
};

}  // namespace zeqsdk_400

#endif
