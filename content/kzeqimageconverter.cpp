#include "content/kzeqimageconverter.h"

#include <cstdint>
#include <new>

#include "fileio/kpath.h"

namespace zeqsdk_400 {

// ---- Buffer -----------------------------------------------------------------------------------

ImageConverterBuffer::~ImageConverterBuffer() {
    delete[] mData;
    mValid = false;
}

long long ImageConverterBuffer::GetDataSize() const {
    if (mWidth < 0 || mHeight < 0 || mChannels < 0) return 0;
    return static_cast<long long>(mWidth) * mHeight * mChannels;
}

void ImageConverterBuffer::Init(int width, int height, bool allocate, int type, char channels) {
    // Pixels held already would otherwise be lost.
    delete[] mData;
    mData = nullptr;
    mWidth = width;
    mHeight = height;
    mPixelType = type;
    mChannels = channels;
    const bool good = width >= 1 && height >= 1 && (type == eRGB || type == eYCBCR) && channels >= 1;
    mValid = good || !allocate;
    mAllocated = allocate;
    if (good && allocate) mData = new (std::nothrow) unsigned char[static_cast<std::size_t>(GetDataSize())];
}

// ---- Converter table ----------------------------------------------------------------------------

namespace {

kReference ToReference(KZeqImageConverterFunction function) { return reinterpret_cast<kReference>(function); }

KZeqImageConverterFunction ToFunction(kReference value) { return reinterpret_cast<KZeqImageConverterFunction>(value); }

}  // namespace

KZeqImageConverter::KZeqImageConverter(KZeqSdkManager& manager) : mTable(new KCharPtrSet(20)), mManager(&manager) {}

void KZeqImageConverter::RegisterConverterFunction(KString extension, KZeqImageConverterFunction function) {
    // An empty key would answer for every name without an extension.
    if (!function || extension.IsEmpty() || mTable->Get(extension.Buffer()) != 0) return;
    mTable->Add(extension.Buffer(), ToReference(function));
}

void KZeqImageConverter::UnregisterConverterFunction(KZeqImageConverterFunction function) {
    if (!function) return;
    for (int i = 0; i < mTable->GetCount(); ++i)
        if (ToFunction(mTable->GetFromIndex(i)) == function) {
            mTable->RemoveFromIndex(i);
            return;
        }
}

bool KZeqImageConverter::Convert(int direction, KString& fileName, ImageConverterBuffer& buffer) {
    const KString extension = ExtractFileExtension(fileName.Buffer());
    if (extension.IsEmpty()) return false;
    const KZeqImageConverterFunction function = ToFunction(mTable->Get(extension.Buffer()));
    return function && function(direction, fileName, buffer) == 0;
}

}  // namespace zeqsdk_400
