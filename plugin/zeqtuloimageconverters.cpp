#include "plugin/zeqtuloimageconverters.h"

#include "content/kzeqimageconverter.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// Direction 0 reads the file into the buffer, 1 writes the buffer (Deflate-compressed); 0 is success.
int ConvertTiff(int direction, KString& fileName, ImageConverterBuffer& buffer) {
    const bool ok = direction == 0 ? ReadFromTif(fileName, buffer, false) : WriteToTif(fileName, true, buffer);
    return ok ? 0 : 1;
}

}  // namespace

void ZeqTuloRegisterImageConverters(KZeqSdkManager* manager) {
    if (!manager) return;
    KZeqImageConverter* converter = manager->CreateKZeqImageConverter();
    if (!converter) return;
    converter->RegisterConverterFunction("tif", ConvertTiff);
    converter->RegisterConverterFunction("tiff", ConvertTiff);
}
