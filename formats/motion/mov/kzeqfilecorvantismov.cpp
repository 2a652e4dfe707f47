#include "formats/motion/mov/kzeqfilecorvantismov.h"

#include "formats/motion/common/kzeqmotionfileio.h"

namespace zeqsdk_400 {

KZeqFileCorvantisMov::KZeqFileCorvantisMov() : KTextFile("MOV", " \t\r\n", "", true, false) {}

bool KZeqFileCorvantisMov::Open(const char* path, const char* mode) {
    return ZeqOpenTextFile(*this, path, mode, mFileSize);
}

bool KZeqFileCorvantisMov::GetRowCount(int& rows) {
    if (!FirstLine()) return false;
    rows = 1;
    while (rows < 2147483647 && NextLine()) ++rows;
    return true;
}

bool KZeqFileCorvantisMov::GetColumnCount(int& columns) {
    if (!FirstLine()) return false;
    columns = 0;
    double value = 0.0;
    while (GetDouble(value, 1.0)) ++columns;
    char c;
    return !PeakChar(c);
}

bool KZeqFileCorvantisMov::ReadRow(double* values, int count, bool first) {
    if (!(first ? FirstLine() : NextLine())) return false;
    int i = 0;
    while (i < count && GetDouble(values[i], 1.0)) ++i;
    for (; i < count; ++i) values[i] = 0.0;
    return true;
}

}  // namespace zeqsdk_400
