#include "content/kzeqcameraswitcher.h"

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {
constexpr const char* kIndexChannel = "Camera Index";
}  // namespace

KZeqCameraSwitcher::~KZeqCameraSwitcher() {
    // The scene ends its switcher itself: its node must not keep pointing here.
    if (KZeqNode* node = GetNode()) node->SetNodeAttribute(nullptr);
}

void KZeqCameraSwitcher::AddCameraName(const char* name) { mCameraNames.push_back(std::make_unique<KString>(name)); }

const char* KZeqCameraSwitcher::GetCameraName(unsigned int index) const {
    return index < mCameraNames.size() ? mCameraNames[index]->Buffer() : nullptr;
}

KFCurve* KZeqCameraSwitcher::DefaultCurve() const {
    KZeqNode* node = GetNode();
    KZeqTakeNode* take = node ? node->GetDefaultTakeNode() : nullptr;
    return take ? take->GetCameraIndex() : nullptr;
}

int KZeqCameraSwitcher::GetDefaultCameraIndex() const {
    KFCurve* curve = DefaultCurve();
    return curve ? KPropertyDoubleToInt(curve->GetValue()) : 0;
}

void KZeqCameraSwitcher::SetDefaultCameraIndex(int index) {
    if (KFCurve* curve = DefaultCurve()) curve->SetValue(static_cast<float>(index));
}

void KZeqCameraSwitcher::AddChannels(KZeqTakeNode* take) {
    KZeqNodeAttribute::AddChannels(take);
    KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr;
    KFCurveNode* channel = root ? root->FindOrCreate(kIndexChannel, true) : nullptr;
    if (KFCurve* curve = channel ? channel->FCurveGet() : nullptr) curve->SetValue(1.0f);
}

void KZeqCameraSwitcher::RemoveChannels(KZeqTakeNode* take) {
    if (KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr) {
        const int index = root->Find(kIndexChannel);
        if (index >= 0) root->Delete(index);
    }
    KZeqNodeAttribute::RemoveChannels(take);
}

}  // namespace zeqsdk_400
