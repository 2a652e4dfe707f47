#ifndef ZEQ_SDK_ZEQSDK_H
#define ZEQ_SDK_ZEQSDK_H

namespace zeqsdk_400 {

// Version of the SDK library.
const char* KZeqSdk_GetVersionString();

}  // namespace zeqsdk_400

#endif
