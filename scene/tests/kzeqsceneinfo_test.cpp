#include "scene/kzeqsceneinfo.h"

#include <gtest/gtest.h>

#include <vector>

#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

TEST(KZeqThumbnail, BytesBySizeAndFormatNeverPastTheBuffer) {
    struct Case {
        int mSize, mFormat, mBytes, mBytesOtherFormat;
    };
    const Case cases[] = {{64, 0, 12288, 16384}, {64, 1, 16384, 12288}, {128, 0, 49152, 65536},
                          {128, 1, 65536, 49152}, {32, 1, 0, 0},        {0, 0, 0, 0}};
    const std::vector<unsigned char> image(65536, 0xAB);
    for (const Case& c : cases) {
        KZeqThumbnail thumbnail;
        thumbnail.SetDataFormat(static_cast<KZeqThumbnail::EDataFormat>(c.mFormat));
        thumbnail.SetSize(static_cast<KZeqThumbnail::EImageSize>(c.mSize));
        EXPECT_EQ(c.mBytes, thumbnail.GetSizeInBytes()) << c.mSize;
        // False before a size; true copying nothing for an odd size.
        EXPECT_EQ(c.mSize != 0, thumbnail.SetThumbnailImage(image.data()));
        EXPECT_FALSE(thumbnail.SetThumbnailImage(nullptr));
        // A format change after the size takes the buffer along.
        thumbnail.SetDataFormat(static_cast<KZeqThumbnail::EDataFormat>(1 - c.mFormat));
        ASSERT_EQ(c.mBytesOtherFormat, thumbnail.GetSizeInBytes());
        EXPECT_EQ(c.mBytesOtherFormat > 0, thumbnail.GetThumbnailImage() != nullptr);
        EXPECT_EQ(c.mSize != 0, thumbnail.SetThumbnailImage(image.data()));
        if (c.mBytesOtherFormat) {
            EXPECT_EQ(0xAB, thumbnail.GetThumbnailImage()[c.mBytesOtherFormat - 1]);
        }
    }
}

TEST(KZeqSceneInfo, ClearAndCopyLeaveTheThumbnailToTheManager) {
    KZeqSdkManager manager;
    KZeqSceneInfo* info = manager.CreateKZeqSceneInfo();
    KZeqThumbnail* thumbnail = manager.CreateKZeqThumbnail();
    info->mComment = "c";
    info->SetSceneThumbnail(thumbnail);
    KZeqSceneInfo copy;
    copy = *info;
    EXPECT_TRUE(copy.GetSceneThumbnail() == thumbnail && copy.mComment == "c");
    info->Clear();
    EXPECT_TRUE(info->mComment.IsEmpty() && !info->GetSceneThumbnail());
    EXPECT_TRUE(manager.DestroyKZeqThumbnail(thumbnail));  // still alive and listed
}
