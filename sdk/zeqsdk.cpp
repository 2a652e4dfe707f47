#include "sdk/zeqsdk.h"

namespace zeqsdk_400 {

const char* KZeqSdk_GetVersionString() { return "6.0"; }

}  // namespace zeqsdk_400
