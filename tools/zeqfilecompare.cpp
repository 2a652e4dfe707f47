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

bool Reorder(KZeqNode& parent, const std::vector<KZeqNode*>& children, std::string& error) {
    // Adding a child again moves it to the end.
    for (KZeqNode* child : children)
        if (!parent.AddChild(child)) return error = std::string("cannot order the children of ") + parent.GetName(), false;
    return true;
}

std::vector<KZeqNode*> ChildrenByName(KZeqNode& node) {
    std::vector<KZeqNode*> children;
    for (int i = 0; i < node.GetChildCount(); ++i) children.push_back(node.GetChild(i));
    std::stable_sort(children.begin(), children.end(),
                     [](KZeqNode* a, KZeqNode* b) { return ByName(a->GetName(), b->GetName()); });
    return children;
}

// A file written from a scene the host built again lists nodes and poses in the host's order,
// which says nothing about the content, while the comparer pairs them by place. The first scene's
// children go in name order and the second's follow them, so that a renamed node shifts none of
// its siblings.
bool AlignByName(KZeqScene& first, KZeqScene& second, std::string& error) {
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pending{{first.GetRootNode(), second.GetRootNode()}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        const std::vector<KZeqNode*> ours = a ? ChildrenByName(*a) : std::vector<KZeqNode*>();
        std::vector<KZeqNode*> theirs = b ? ChildrenByName(*b) : std::vector<KZeqNode*>();
        // Children of the same name pair up; the first's others take the second's others in name
        // order (a renamed node meets its new name), and what is left of the second's goes last.
        std::vector<KZeqNode*> aligned(ours.size(), nullptr);
        for (std::size_t i = 0; i < ours.size(); ++i) {
            auto same = std::find_if(theirs.begin(), theirs.end(),
                                     [&](KZeqNode* other) { return std::strcmp(other->GetName(), ours[i]->GetName()) == 0; });
            if (same == theirs.end()) continue;
            aligned[i] = *same;
            theirs.erase(same);
        }
        std::size_t next = 0;
        for (KZeqNode*& slot : aligned)
            if (!slot && next < theirs.size()) slot = theirs[next++];
        for (std::size_t i = 0; i < ours.size(); ++i) pending.emplace_back(ours[i], aligned[i]);
        aligned.erase(std::remove(aligned.begin(), aligned.end(), nullptr), aligned.end());
        for (; next < theirs.size(); ++next) {
            pending.emplace_back(nullptr, theirs[next]);
            aligned.push_back(theirs[next]);
        }
        if ((a && !Reorder(*a, ours, error)) || (b && !Reorder(*b, aligned, error))) return false;
    }
    for (KZeqScene* scene : {&first, &second}) {
        std::vector<KZeqPose*> poses;
        for (int i = 0; i < scene->GetPoseCount(); ++i) poses.push_back(scene->GetPose(i));
        std::stable_sort(poses.begin(), poses.end(),
                         [](KZeqPose* a, KZeqPose* b) { return ByName(a->GetName(), b->GetName()); });
        for (KZeqPose* pose : poses) scene->RemovePose(pose);
        for (KZeqPose* pose : poses) scene->AddPose(pose);
    }
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
                     std::string& error, double tolerance) {
    KZeqSdkManager manager;
    KZeqScene* a = manager.CreateKZeqScene();
    KZeqScene* b = manager.CreateKZeqScene();
    const bool read = Read(manager, first, *a, error) && Read(manager, second, *b, error) &&
                      AlignByName(*a, *b, error);
    if (read) {
        // Both were written by the same writer: nothing is lost on one side only.
        const zeqiotest::ZeqDiff diff = zeqiotest::CompareScenes(*a, *b, 0, tolerance);
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
