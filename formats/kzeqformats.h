#ifndef ZEQ_FORMATS_KZEQFORMATS_H
#define ZEQ_FORMATS_KZEQFORMATS_H

namespace zeqsdk_400 {

// Sets the reader and writer factories of every motion and geometry family
// built into this library on the importer and exporter rows. Runs its work once
// however often it is called; libzeqsdk.so calls it when it loads.
void ZeqRegisterFormats();

}  // namespace zeqsdk_400

#endif
