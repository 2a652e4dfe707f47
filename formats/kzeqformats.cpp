#include "formats/kzeqformats.h"

#include <mutex>

#include "kzeqformats_families.inc"

namespace zeqsdk_400 {

void ZeqRegisterFormats() {
    static std::once_flag once;
    std::call_once(once, RegisterFamilies);
}

}  // namespace zeqsdk_400
