#include "io/tests/zeqscenecompare.h"

#include <cstring>

#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace zeqiotest {

void CompareThumbnail(const std::string& path, const KZeqThumbnail* expected, const KZeqThumbnail* actual,
                      ZeqDiff& diff) {
    diff.Check(path + " present", expected != nullptr, actual != nullptr);
    if (!expected || !actual) return;
    diff.Check(path + ".format", static_cast<int>(expected->GetDataFormat()), static_cast<int>(actual->GetDataFormat()));
    diff.Check(path + ".size", static_cast<int>(expected->GetSize()), static_cast<int>(actual->GetSize()));
    const int bytes = expected->GetSizeInBytes();
    if (bytes == actual->GetSizeInBytes() && bytes > 0)
        diff.Check(path + ".image", 0, std::memcmp(expected->GetThumbnailImage(), actual->GetThumbnailImage(), bytes));
}

void CompareTakeInfo(const std::string& path, const KZeqTakeInfo& expected, const KZeqTakeInfo& actual,
                     ZeqDiff& diff) {
    diff.Check(path + ".mName", expected.mName, actual.mName);
    diff.Check(path + ".mDescription", expected.mDescription, actual.mDescription);
    for (auto span : {&KZeqTakeInfo::mLocalTimeSpan, &KZeqTakeInfo::mReferenceTimeSpan}) {
        const std::string name = path + (span == &KZeqTakeInfo::mLocalTimeSpan ? ".mLocal" : ".mReference");
        diff.Check(name + "TimeSpan.start", (expected.*span).GetStart(), (actual.*span).GetStart());
        diff.Check(name + "TimeSpan.stop", (expected.*span).GetStop(), (actual.*span).GetStop());
    }
    CompareThumbnail(path + ".thumbnail", expected.GetTakeThumbnail(), actual.GetTakeThumbnail(), diff);
}

namespace {

void CompareSceneInfo(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    const KZeqSceneInfo* a = expected.GetSceneInfo();
    const KZeqSceneInfo* b = actual.GetSceneInfo();
    diff.Check("sceneInfo present", a != nullptr, b != nullptr);
    if (!a || !b) return;
    const struct {
        const char* mName;
        KString KZeqSceneInfo::*mText;
    } texts[] = {{"mTitle", &KZeqSceneInfo::mTitle},       {"mSubject", &KZeqSceneInfo::mSubject},
                 {"mAuthor", &KZeqSceneInfo::mAuthor},     {"mKeywords", &KZeqSceneInfo::mKeywords},
                 {"mRevision", &KZeqSceneInfo::mRevision}, {"mComment", &KZeqSceneInfo::mComment}};
    for (const auto& text : texts) diff.Check(std::string("sceneInfo.") + text.mName, a->*text.mText, b->*text.mText);
    CompareThumbnail("sceneInfo.thumbnail", a->GetSceneThumbnail(), b->GetSceneThumbnail(), diff);
}

}  // namespace

const ZeqCompareRow kZeqCompareRows[] = {
    &CompareSceneInfo,
};
const int kZeqCompareRowCount = static_cast<int>(sizeof(kZeqCompareRows) / sizeof(kZeqCompareRows[0]));

ZeqDiff CompareScenes(KZeqScene& expected, KZeqScene& actual) {
    ZeqDiff diff;
    for (int i = 0; i < kZeqCompareRowCount; ++i) kZeqCompareRows[i](expected, actual, diff);
    return diff;
}

}  // namespace zeqiotest
