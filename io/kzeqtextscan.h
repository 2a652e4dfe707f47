#ifndef ZEQ_IO_KZEQTEXTSCAN_H
#define ZEQ_IO_KZEQTEXTSCAN_H

namespace zeqsdk_400 {

// Numbers of the text formats read as the C formats "%lf" and "%d" read
// them, without a locale or a terminating zero: blanks skipped first, then
// as much as forms the number. Each answers where it stopped, at itself when
// nothing was read. A double out of range reads as strtod gives it (an
// infinity or 0); an int out of range reads as nothing.
const char* ZeqScanDouble(const char* at, const char* end, double& value);
const char* ZeqScanInt(const char* at, const char* end, int& value);

inline bool ZeqIsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace zeqsdk_400

#endif
