#include "scene/kzeqsceneinfo.h"

#include <gtest/gtest.h>

#include <vector>

#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

TEST(KZeqThumbnail, BytesBySizeAndFormat) {
    struct Case {
        int mSize;
        KZeqThumbnail::EDataFormat mFormat;
        int mBytes;
    };
    const Case cases[] = {{64, KZeqThumbnail::eRGB_24, 12288},   {64, KZeqThumbnail::eRGBA_32, 16384},
                          {128, KZeqThumbnail::eRGB_24, 49152},  {128, KZeqThumbnail::eRGBA_32, 65536},
                          {32, KZeqThumbnail::eRGBA_32, 0},      {0, KZeqThumbnail::eRGB_24, 0}};
    std::vector<unsigned char> image(65536, 0xAB);
    for (const Case& c : cases) {
        KZeqThumbnail thumbnail;
        EXPECT_EQ(0, thumbnail.GetSizeInBytes());
        thumbnail.SetDataFormat(c.mFormat);
        thumbnail.SetSize(static_cast<KZeqThumbnail::EImageSize>(c.mSize));
        EXPECT_EQ(c.mBytes, thumbnail.GetSizeInBytes()) << c.mSize;
        EXPECT_EQ(c.mBytes > 0, thumbnail.GetThumbnailImage() != nullptr);
        // Before a size, nothing is copied; an odd size copies nothing but answers true.
        EXPECT_EQ(c.mSize != 0, thumbnail.SetThumbnailImage(image.data()));
        if (c.mBytes) {
            EXPECT_EQ(0xAB, thumbnail.GetThumbnailImage()[c.mBytes - 1]);
        }
    }
}

TEST(KZeqThumbnail, FormatChangeAfterSizeNeverOverrunsTheBuffer) {
    KZeqThumbnail thumbnail;
    thumbnail.SetSize(KZeqThumbnail::e64x64);
    std::vector<unsigned char> image(16384, 7);
    thumbnail.SetDataFormat(KZeqThumbnail::eRGBA_32);  // the buffer follows the format
    ASSERT_EQ(16384, thumbnail.GetSizeInBytes());
    EXPECT_TRUE(thumbnail.SetThumbnailImage(image.data()));
    EXPECT_EQ(7, thumbnail.GetThumbnailImage()[16383]);
    thumbnail.SetDataFormat(KZeqThumbnail::eRGB_24);
    EXPECT_TRUE(thumbnail.SetThumbnailImage(image.data()));
    EXPECT_EQ(7, thumbnail.GetThumbnailImage()[12287]);
    EXPECT_FALSE(thumbnail.SetThumbnailImage(nullptr));
}

TEST(KZeqSceneInfo, ClearAndCopyLeaveTheThumbnailToTheManager) {
    KZeqSdkManager manager;
    KZeqSceneInfo* info = manager.CreateKZeqSceneInfo();
    KZeqThumbnail* thumbnail = manager.CreateKZeqThumbnail();
    info->mTitle = "t";
    info->mComment = "c";
    info->SetSceneThumbnail(thumbnail);
    KZeqSceneInfo copy;
    copy = *info;
    EXPECT_EQ(thumbnail, copy.GetSceneThumbnail());
    EXPECT_STREQ("c", copy.mComment);
    info->Clear();
    EXPECT_TRUE(info->mTitle.IsEmpty() && info->mComment.IsEmpty());
    EXPECT_EQ(nullptr, info->GetSceneThumbnail());
    EXPECT_TRUE(manager.DestroyKZeqThumbnail(thumbnail));  // still alive and listed
}
