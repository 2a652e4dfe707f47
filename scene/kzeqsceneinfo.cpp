#include "scene/kzeqsceneinfo.h"

#include <algorithm>
#include <cstring>

namespace zeqsdk_400 {

int KZeqThumbnail::GetSizeInBytes() const {
    if (mSize != e64x64 && mSize != e128x128) return 0;
    const int bytesPerPixel = mFormat == eRGB_24 ? 3 : 4;
    return static_cast<int>(mSize) * static_cast<int>(mSize) * bytesPerPixel;
}

void KZeqThumbnail::Reallocate() {
    const int bytes = GetSizeInBytes();
    if (bytes == mImageBytes) return;
    std::unique_ptr<unsigned char[]> image(bytes > 0 ? new unsigned char[bytes]() : nullptr);
    if (image && mImage) std::memcpy(image.get(), mImage.get(), static_cast<std::size_t>(std::min(bytes, mImageBytes)));
    mImage = std::move(image);
    mImageBytes = bytes;
}

void KZeqThumbnail::SetDataFormat(EDataFormat format) {
    mFormat = format;
    Reallocate();
}

void KZeqThumbnail::SetSize(EImageSize size) {
    mImage.reset();
    mImageBytes = 0;
    mSize = size;
    Reallocate();
}

bool KZeqThumbnail::SetThumbnailImage(const unsigned char* image) {
    if (mSize == eNOT_SET || !image) return false;
    if (mImageBytes > 0) std::memcpy(mImage.get(), image, static_cast<std::size_t>(mImageBytes));
    return true;
}

void KZeqSceneInfo::Clear() {
    for (KString* text : {&mTitle, &mSubject, &mAuthor, &mKeywords, &mRevision, &mComment}) text->Empty();
    mSceneThumbnail = nullptr;
}

}  // namespace zeqsdk_400
