#include "tools/zeqfilecompare.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <cstdlib>

#include "io/kzeqimporter.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "tools/hostdumpcompare.h"

using namespace zeqsdk_400;

namespace zeqcompare {

namespace {

bool Read(KZeqSdkManager& manager, const std::string& path, KZeqScene& scene, std::string& error) {
    KZeqImporter importer(manager);
    if (importer.Initialize(path.c_str()) && importer.Import(scene)) return true;
    error = "cannot read " + path + ": " + importer.GetLastErrorString();
    return false;
}

bool ByName(const char* a, const char* b) { return std::strcmp(a, b) < 0; }

// Children and poses in the order of their names: a file written from a scene the host built
// again lists them in the host's order, which says nothing about the content. The comparer pairs
// them by place.
bool PutInNameOrder(KZeqScene& scene, std::string& error) {
    std::vector<KZeqNode*> pending{scene.GetRootNode()};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        std::vector<KZeqNode*> children;
        for (int i = 0; i < node->GetChildCount(); ++i) children.push_back(node->GetChild(i));
        std::stable_sort(children.begin(), children.end(),
                         [](KZeqNode* a, KZeqNode* b) { return ByName(a->GetName(), b->GetName()); });
        // Adding a child again moves it to the end.
        for (KZeqNode* child : children)
            if (!node->AddChild(child)) return error = std::string("cannot order the children of ") + node->GetName(), false;
        pending.insert(pending.end(), children.begin(), children.end());
    }
    std::vector<KZeqPose*> poses;
    for (int i = 0; i < scene.GetPoseCount(); ++i) poses.push_back(scene.GetPose(i));
    std::stable_sort(poses.begin(), poses.end(), [](KZeqPose* a, KZeqPose* b) { return ByName(a->GetName(), b->GetName()); });
    for (KZeqPose* pose : poses) scene.RemovePose(pose);
    for (KZeqPose* pose : poses) scene.AddPose(pose);
    return true;
}

// "node[|a].property[X].value: 1 != 2": the field path, and what differs.
Difference FieldDifference(const std::string& field) {
    std::size_t colon = field.find(": ");
    if (colon == std::string::npos) colon = field.size();
    Difference d;
    d.mComparison = kFiles;
    d.mSubject = field.substr(0, colon);
    std::size_t word = 0;
    while (word < d.mSubject.size() && std::isalpha(static_cast<unsigned char>(d.mSubject[word]))) ++word;
    d.mKind = d.mSubject.substr(0, word);
    d.mStatus = "different";
    d.mDetail = colon < field.size() ? field.substr(colon + 2) : "";
    return d;
}

bool Number(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && errno != ERANGE;
}

}  // namespace

bool CompareZeqFiles(const std::string& first, const std::string& second, std::vector<Difference>& differences,
                     std::string& error) {
    KZeqSdkManager manager;
    KZeqScene* a = manager.CreateKZeqScene();
    KZeqScene* b = manager.CreateKZeqScene();
    const bool read = Read(manager, first, *a, error) && Read(manager, second, *b, error) &&
                      PutInNameOrder(*a, error) && PutInNameOrder(*b, error);
    if (read) {
        // Both were written by the same writer: nothing is lost on one side only.
        const zeqiotest::ZeqDiff diff = zeqiotest::CompareScenes(*a, *b);
        for (const std::string& field : diff.mFields) differences.push_back(FieldDifference(field));
    }
    manager.DestroyKZeqScene(b, true);
    manager.DestroyKZeqScene(a, true);
    return read;
}

bool CheckTakeAnswers(const std::string& file, const std::vector<std::string>& answers, double unitsPerSecond,
                      std::vector<Difference>& differences, std::string& error) {
    KZeqSdkManager manager;
    KZeqImporter importer(manager);
    if (!importer.Initialize(file.c_str())) {
        error = "cannot read " + file + ": " + importer.GetLastErrorString();
        return false;
    }
    auto add = [&](const std::string& subject, const char* status, const std::string& aspect, const std::string& detail) {
        differences.push_back({kTakes, "take", subject, status, aspect, detail});
    };
    const int count = importer.GetTakeCount();
    if (answers.empty() || answers[0] != std::to_string(count))
        add("count", "different", "", "file " + std::to_string(count) + ", answer " + (answers.empty() ? "none" : answers[0]));
    constexpr std::size_t kPerTake = 6;
    const std::size_t asked = answers.empty() ? 0 : (answers.size() - 1) / kPerTake;
    for (int i = 0; i < count; ++i) {
        const KZeqTakeInfo* info = importer.GetTakeInfo(i);
        const std::string subject = "take[" + std::to_string(i) + "]";
        if (static_cast<std::size_t>(i) >= asked) {
            add(subject, "missing", "", std::string("not asked about: ") + info->mName.Buffer());
            continue;
        }
        const std::string* answer = &answers[1 + i * kPerTake];
        const std::string texts[] = {info->mName.Buffer(), info->mDescription.Buffer()};
        const char* const textNames[] = {"name", "comment"};
        for (int t = 0; t < 2; ++t)
            if (answer[t] != texts[t]) add(subject, "different", textNames[t], "file '" + texts[t] + "', answer '" + answer[t] + "'");
        const KTime times[] = {info->mLocalTimeSpan.GetStart(), info->mLocalTimeSpan.GetStop(),
                               info->mReferenceTimeSpan.GetStart(), info->mReferenceTimeSpan.GetStop()};
        const char* const timeNames[] = {"localStart", "localStop", "referenceStart", "referenceStop"};
        for (int t = 0; t < 4; ++t) {
            const double expected = times[t].GetSecondDouble() * unitsPerSecond;
            double value = 0.0;
            if (!Number(answer[2 + t], value) || !WithinTolerance(expected, value, Tolerances().mValue))
                add(subject, "different", timeNames[t],
                    "file " + std::to_string(expected) + ", answer '" + answer[2 + t] + "'");
        }
    }
    const std::size_t used = 1 + std::min<std::size_t>(asked, static_cast<std::size_t>(std::max(count, 0))) * kPerTake;
    if (answers.size() > used)
        add("answers", "added", "", std::to_string(answers.size() - used) + " answer(s) beyond the file's takes");
    return true;
}

}  // namespace zeqcompare
