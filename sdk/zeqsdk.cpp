#include "sdk/zeqsdk.h"

#include "formats/kzeqformats.h"

namespace zeqsdk_400 {

const char* KZeqSdk_GetVersionString() { return "6.0"; }

namespace {
// The motion and geometry rows are filled when the library loads, so every
// importer and exporter of the SDK offers them.
[[maybe_unused]] const bool kFormatsRegistered = (ZeqRegisterFormats(), true);
}  // namespace

}  // namespace zeqsdk_400
