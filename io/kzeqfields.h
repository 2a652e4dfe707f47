#ifndef ZEQ_IO_KZEQFIELDS_H
#define ZEQ_IO_KZEQFIELDS_H

#include <initializer_list>

#include "base/ktime.h"
#include "fileio/kzeq.h"

namespace zeqsdk_400 {

// One-value fields as the Zeq record writers write them: begin, value, end.
inline bool ZeqWriteFieldI(KZeq& file, const char* name, int value) {
    return file.FieldWriteBegin(name) && file.FieldWriteI(value) && file.FieldWriteEnd();
}
inline bool ZeqWriteFieldC(KZeq& file, const char* name, const char* value) {
    return file.FieldWriteBegin(name) && file.FieldWriteC(value ? value : "") && file.FieldWriteEnd();
}
inline bool ZeqWriteFieldTS(KZeq& file, const char* name, KTimeSpan value) {
    return file.FieldWriteBegin(name) && file.FieldWriteTS(value) && file.FieldWriteEnd();
}
inline bool ZeqWriteFieldDn(KZeq& file, const char* name, std::initializer_list<double> values) {
    bool ok = file.FieldWriteBegin(name);
    for (double value : values) ok = ok && file.FieldWriteD(value);
    return ok && file.FieldWriteEnd();
}
// A field that opens a block, with an optional string value before it.
inline bool ZeqWriteBlockBegin(KZeq& file, const char* name, const char* value = nullptr) {
    return file.FieldWriteBegin(name) && (!value || file.FieldWriteC(value)) && file.FieldWriteBlockBegin();
}
inline bool ZeqWriteBlockEnd(KZeq& file) { return file.FieldWriteBlockEnd() && file.FieldWriteEnd(); }

}  // namespace zeqsdk_400

#endif
