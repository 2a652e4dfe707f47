#include "io/kzeqscenerecords.h"

#include <vector>

#include "fileio/kzeq.h"
#include "io/kzeqfields.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

const ZeqMainSectionRecord kZeqMainSectionRecords[] = {
    {"Definitions", true, false},
    {"Objects", true, false},
    {"Connections", true, false},
    {"Version5", true, false},
    {"Model", false, true},
    {"Device", false, true},
    {"CHARACTER", false, true},
    {"Constraints", false, true},
    {"Settings", false, true},
    {"RendererSetting", false, true},
    {"AmbientRenderSettings", false, true},
    {"FogOptions", false, true},
    {"ShadowPlanes", false, true},
    {"Switcher", true, true},
    {"Media", true, true},
    {"Takes", true, true},
    {"GoboManager", true, true},
    {"MARKERSET", true, true},
    {"ACTOR", true, true},
    {"SceneGenericPersistence", true, true},
};
const int kZeqMainSectionRecordCount =
    static_cast<int>(sizeof(kZeqMainSectionRecords) / sizeof(kZeqMainSectionRecords[0]));

int ZeqCountNodesBelow(const KZeqNode& top) {
    int count = 0;
    std::vector<const KZeqNode*> pending{&top};
    while (!pending.empty()) {
        const KZeqNode* node = pending.back();
        pending.pop_back();
        count += node->GetChildCount();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
    }
    return count;
}

namespace {
const char* const kMetaDataNames[6] = {"Title", "Subject", "Author", "Keywords", "Revision", "Comment"};
}  // namespace

KZeqThumbnail* ZeqReadThumbnail(KZeq& file, KZeqSdkManager& manager) {
    if (!file.FieldReadBegin("Thumbnail")) return nullptr;
    KZeqThumbnail* thumbnail = manager.CreateKZeqThumbnail();
    bool read = false;
    if (thumbnail && file.FieldReadBlockBegin()) {
        file.FieldReadI("Version", 100);
        const int format = file.FieldReadI("Format", 0);
        const int size = file.FieldReadI("Size", 0);
        const int encoding = file.FieldReadI("ImageEncoding", 0);
        const bool known = (format == KZeqThumbnail::eRGB_24 || format == KZeqThumbnail::eRGBA_32) &&
                           (size == KZeqThumbnail::e64x64 || size == KZeqThumbnail::e128x128);
        if (known && encoding == 0) {
            thumbnail->SetDataFormat(static_cast<KZeqThumbnail::EDataFormat>(format));
            thumbnail->SetSize(static_cast<KZeqThumbnail::EImageSize>(size));
            read = true;
            if (file.FieldReadBegin("ImageData")) {
                const int bytes = thumbnail->GetSizeInBytes();
                std::vector<int> values(static_cast<std::size_t>(bytes), 0);
                file.FieldReadIn(values.data(), bytes);
                unsigned char* image = thumbnail->GetThumbnailImage();
                for (int i = 0; i < bytes; ++i) image[i] = static_cast<unsigned char>(values[static_cast<std::size_t>(i)]);
                file.FieldReadEnd();
            }
        }
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    if (read) return thumbnail;
    if (thumbnail) manager.DestroyKZeqThumbnail(thumbnail);
    return nullptr;
}

bool ZeqWriteThumbnail(KZeq& file, const KZeqThumbnail* thumbnail) {
    if (!thumbnail || thumbnail->GetSize() == KZeqThumbnail::eNOT_SET) return true;
    const int bytes = thumbnail->GetSizeInBytes();
    std::vector<int> values(static_cast<std::size_t>(bytes));
    const unsigned char* image = thumbnail->GetThumbnailImage();
    for (int i = 0; i < bytes; ++i) values[static_cast<std::size_t>(i)] = image[i];
    bool ok = ZeqWriteBlockBegin(file, "Thumbnail");
    ok = ok && ZeqWriteFieldI(file, "Version", 100);
    ok = ok && ZeqWriteFieldI(file, "Format", thumbnail->GetDataFormat());
    ok = ok && ZeqWriteFieldI(file, "Size", thumbnail->GetSize());
    ok = ok && ZeqWriteFieldI(file, "ImageEncoding", 0);
    ok = ok && file.FieldWriteBegin("ImageData") && file.FieldWriteIn(values.data(), bytes) && file.FieldWriteEnd();
    return ok && ZeqWriteBlockEnd(file);
}

KZeqSceneInfo* ZeqReadSceneInfo(KZeq& file, KZeqSdkManager& manager) {
    if (!file.FieldReadBegin("SceneInfo")) return nullptr;
    if (!file.FieldReadBlockBegin()) {
        file.FieldReadEnd();
        return nullptr;
    }
    KZeqSceneInfo* info = nullptr;
    if (file.FieldReadC("Type").CompareNoCase("UserData") == 0 && (info = manager.CreateKZeqSceneInfo())) {
        file.FieldReadI("Version", 0);
        info->SetSceneThumbnail(ZeqReadThumbnail(file, manager));
        if (file.FieldReadBegin("MetaData")) {
            if (file.FieldReadBlockBegin()) {
                file.FieldReadI("Version", 0);
                for (KString* text : {&info->mTitle, &info->mSubject, &info->mAuthor, &info->mKeywords,
                                      &info->mRevision, &info->mComment})
                    *text = file.FieldReadC(kMetaDataNames[text - &info->mTitle]);
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
        }
    }
    file.FieldReadBlockEnd();
    file.FieldReadEnd();
    return info;
}

void ZeqWriteSceneInfo(KZeq& file, const KZeqSceneInfo* info) {
    if (!info) return;
    ZeqWriteBlockBegin(file, "SceneInfo", "SceneInfo::GlobalInfo");
    ZeqWriteFieldC(file, "Type", "UserData");
    ZeqWriteFieldI(file, "Version", 100);
    ZeqWriteThumbnail(file, info->GetSceneThumbnail());
    ZeqWriteBlockBegin(file, "MetaData");
    ZeqWriteFieldI(file, "Version", 100);
    const KString* texts[] = {&info->mTitle, &info->mSubject, &info->mAuthor,
                              &info->mKeywords, &info->mRevision, &info->mComment};
    for (int i = 0; i < 6; ++i) ZeqWriteFieldC(file, kMetaDataNames[i], texts[i]->Buffer());
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockEnd(file);
}

bool ZeqWriteSummary(KZeq& file, const ZeqSummary& summary) {
    static const char* const kCountNames[ZeqSummary::eCountCount] = {"Model", "Device", "Character",
                                                                      "Actor", "Constraint", "Media"};
    ZeqWriteBlockBegin(file, "Summary");
    ZeqWriteFieldI(file, "Version", 101);
    ZeqWriteFieldI(file, "Template", summary.mTemplate ? 1 : 0);
    ZeqWriteFieldI(file, "PasswordProtection", summary.mPasswordProtection ? 1 : 0);
    ZeqWriteBlockBegin(file, "ContentCount");
    ZeqWriteFieldC(file, "Version", "100");
    for (int i = 0; i < ZeqSummary::eCountCount; ++i) ZeqWriteFieldI(file, kCountNames[i], summary.mCounts[i]);
    ZeqWriteBlockEnd(file);
    ZeqWriteSceneInfo(file, summary.mSceneInfo);
    ZeqWriteBlockBegin(file, "Takes");
    ZeqWriteFieldI(file, "Version", 101);
    ZeqWriteFieldC(file, "Current", summary.mCurrentTake.Buffer());
    for (const KZeqTakeInfo* take : summary.mTakes) {
        ZeqWriteBlockBegin(file, "Take", take->mName.Buffer());
        if (!take->mDescription.IsEmpty()) ZeqWriteFieldC(file, "Comments", take->mDescription.Buffer());
        ZeqWriteFieldTS(file, "LocalTime", take->mLocalTimeSpan);
        ZeqWriteFieldTS(file, "ReferenceTime", take->mReferenceTimeSpan);
        ZeqWriteThumbnail(file, take->GetTakeThumbnail());
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockEnd(file);
    return file.GetLastErrorID() < 0;
}

}  // namespace zeqsdk_400
