#ifndef ZEQ_PLUGIN_ZEQTULOIMAGECONVERTERS_H
#define ZEQ_PLUGIN_ZEQTULOIMAGECONVERTERS_H

namespace zeqsdk_400 {
class KZeqSdkManager;
}

// Creates the manager's image converter and registers the texture conversions the plug-in can
// make: TIFF files ("tif", "tiff") read into and written from the converter's buffer.
void ZeqTuloRegisterImageConverters(zeqsdk_400::KZeqSdkManager* manager);

#endif
