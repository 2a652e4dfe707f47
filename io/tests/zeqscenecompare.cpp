#include "io/tests/zeqscenecompare.h"

#include <cstring>

#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace zeqiotest {

std::string ZeqDiff::Report() const {
    std::string text;
    for (const std::string& field : mFields) text += field + "\n";
    return text;
}

void CompareThumbnail(const std::string& path, const KZeqThumbnail* expected, const KZeqThumbnail* actual,
                      ZeqDiff& diff) {
    diff.Check(path + " present", expected != nullptr, actual != nullptr);
    if (!expected || !actual) return;
    diff.Check(path + ".format", static_cast<int>(expected->GetDataFormat()), static_cast<int>(actual->GetDataFormat()));
    diff.Check(path + ".size", static_cast<int>(expected->GetSize()), static_cast<int>(actual->GetSize()));
    const int bytes = expected->GetSizeInBytes();
    if (bytes == actual->GetSizeInBytes() && bytes > 0 &&
        std::memcmp(expected->GetThumbnailImage(), actual->GetThumbnailImage(), static_cast<std::size_t>(bytes)) != 0)
        diff.Add(path + ".image", "bytes", "other bytes");
}

void CompareTakeInfo(const std::string& path, const KZeqTakeInfo& expected, const KZeqTakeInfo& actual,
                     ZeqDiff& diff) {
    diff.Check(path + ".mName", expected.mName, actual.mName);
    diff.Check(path + ".mDescription", expected.mDescription, actual.mDescription);
    diff.Check(path + ".mLocalTimeSpan.start", expected.mLocalTimeSpan.GetStart(), actual.mLocalTimeSpan.GetStart());
    diff.Check(path + ".mLocalTimeSpan.stop", expected.mLocalTimeSpan.GetStop(), actual.mLocalTimeSpan.GetStop());
    diff.Check(path + ".mReferenceTimeSpan.start", expected.mReferenceTimeSpan.GetStart(),
               actual.mReferenceTimeSpan.GetStart());
    diff.Check(path + ".mReferenceTimeSpan.stop", expected.mReferenceTimeSpan.GetStop(),
               actual.mReferenceTimeSpan.GetStop());
    CompareThumbnail(path + ".thumbnail", expected.GetTakeThumbnail(), actual.GetTakeThumbnail(), diff);
}

namespace {

void CompareSceneInfo(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    const KZeqSceneInfo* a = expected.GetSceneInfo();
    const KZeqSceneInfo* b = actual.GetSceneInfo();
    diff.Check("sceneInfo present", a != nullptr, b != nullptr);
    if (!a || !b) return;
    diff.Check("sceneInfo.mTitle", a->mTitle, b->mTitle);
    diff.Check("sceneInfo.mSubject", a->mSubject, b->mSubject);
    diff.Check("sceneInfo.mAuthor", a->mAuthor, b->mAuthor);
    diff.Check("sceneInfo.mKeywords", a->mKeywords, b->mKeywords);
    diff.Check("sceneInfo.mRevision", a->mRevision, b->mRevision);
    diff.Check("sceneInfo.mComment", a->mComment, b->mComment);
    CompareThumbnail("sceneInfo.thumbnail", a->GetSceneThumbnail(), b->GetSceneThumbnail(), diff);
}

// The node tree by names, children in order.
void CompareHierarchy(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pending{{expected.GetRootNode(), actual.GetRootNode()}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        if (!a || !b) continue;
        const std::string path = std::string("node '") + a->GetName() + "'";
        diff.Check(path + ".childCount", a->GetChildCount(), b->GetChildCount());
        for (int i = 0; i < a->GetChildCount() && i < b->GetChildCount(); ++i) {
            diff.Check(path + ".child[" + std::to_string(i) + "]", KString(a->GetChild(i)->GetName()),
                       KString(b->GetChild(i)->GetName()));
            pending.emplace_back(a->GetChild(i), b->GetChild(i));
        }
    }
}

}  // namespace

const ZeqCompareRow kZeqCompareRows[] = {
    &CompareSceneInfo,
    &CompareHierarchy,
};
const int kZeqCompareRowCount = static_cast<int>(sizeof(kZeqCompareRows) / sizeof(kZeqCompareRows[0]));

ZeqDiff CompareScenes(KZeqScene& expected, KZeqScene& actual) {
    ZeqDiff diff;
    for (int i = 0; i < kZeqCompareRowCount; ++i) kZeqCompareRows[i](expected, actual, diff);
    return diff;
}

}  // namespace zeqiotest
