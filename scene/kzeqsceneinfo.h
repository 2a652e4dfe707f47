#ifndef ZEQ_SCENE_KZEQSCENEINFO_H
#define ZEQ_SCENE_KZEQSCENEINFO_H

#include <cstddef>
#include <memory>

#include "base/kstring.h"

namespace zeqsdk_400 {

// A scene's preview picture: a square of 64 or 128 pixels a side, three or
// four bytes per pixel. Its buffer always holds GetSizeInBytes() bytes, also
// after the format changes.
class KZeqThumbnail {
public:
    enum EDataFormat : int { eRGB_24 = 0, eRGBA_32 = 1 };
    enum EImageSize : int { eNOT_SET = 0, e64x64 = 64, e128x128 = 128 };

    KZeqThumbnail() = default;
    KZeqThumbnail(const KZeqThumbnail&) = delete;
    KZeqThumbnail& operator=(const KZeqThumbnail&) = delete;

    EDataFormat GetDataFormat() const { return mFormat; }
    // An image already sized keeps its leading bytes in the new size.
    void SetDataFormat(EDataFormat format);
    EImageSize GetSize() const { return mSize; }
    // A new zero-filled buffer for 64 or 128; none for any other size.
    void SetSize(EImageSize size);
    // 12288 / 16384 for 64, 49152 / 65536 for 128 (three / four bytes a pixel), else 0.
    int GetSizeInBytes() const;
    // Copies GetSizeInBytes() bytes from image. False before a size is set
    // and for a null image.
    bool SetThumbnailImage(const unsigned char* image);
    // Null when there is no buffer.
    unsigned char* GetThumbnailImage() const { return mImage.get(); }

private:
    void Reallocate();

    EDataFormat mFormat = eRGB_24;
    EImageSize mSize = eNOT_SET;
    std::unique_ptr<unsigned char[]> mImage;
    int mImageBytes = 0;  // bytes of mImage
};

// A scene's document summary: six texts and the thumbnail it refers to
// (owned by the manager, never by the summary).
class KZeqSceneInfo {
public:
    KZeqSceneInfo() = default;
    // Copies the texts and the thumbnail pointer.
    KZeqSceneInfo& operator=(const KZeqSceneInfo& other) = default;

    KZeqThumbnail* GetSceneThumbnail() const { return mSceneThumbnail; }
    void SetSceneThumbnail(KZeqThumbnail* thumbnail) { mSceneThumbnail = thumbnail; }
    // Empties the texts and forgets the thumbnail.
    void Clear();

    KString mTitle;
    KString mSubject;
    KString mAuthor;
    KString mKeywords;
    KString mRevision;
    KString mComment;

private:
    KZeqThumbnail* mSceneThumbnail = nullptr;
};

}  // namespace zeqsdk_400

#endif
