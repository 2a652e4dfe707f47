#include "content/kzeqglobalcamerasettings.h"

#include <cstring>

#include "content/kzeqcamera.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[KZeqGlobalCameraSettings::eErrorCount] = {"Null parameter.", "Unknown camera name."};

// Each producer camera's defaults, in role order.
const struct ProducerRow {
    const char* mName;
    KZeqCamera::ECameraProjectionType mProjection;
    double mNear;
    double mFar;
    double mPosition[3];
    double mUp[3];
} kProducerRows[KZeqGlobalCameraSettings::eProducerCameraCount] = {
    {"Producer Perspective", KZeqCamera::ePERSPECTIVE, 10.0, 4000.0, {0.0, 71.3, 287.5}, {0.0, 1.0, 0.0}},
    {"Producer Top", KZeqCamera::eORTHOGONAL, 1.0, 30000.0, {0.0, 4000.0, 0.0}, {0.0, 0.0, -1.0}},
    {"Producer Bottom", KZeqCamera::eORTHOGONAL, 1.0, 30000.0, {0.0, -4000.0, 0.0}, {0.0, 0.0, -1.0}},
    {"Producer Front", KZeqCamera::eORTHOGONAL, 1.0, 30000.0, {0.0, 0.0, 4000.0}, {0.0, 1.0, 0.0}},
    {"Producer Back", KZeqCamera::eORTHOGONAL, 1.0, 30000.0, {0.0, 0.0, -4000.0}, {0.0, 1.0, 0.0}},
    {"Producer Right", KZeqCamera::eORTHOGONAL, 1.0, 30000.0, {4000.0, 0.0, 0.0}, {0.0, 1.0, 0.0}},
    {"Producer Left", KZeqCamera::eORTHOGONAL, 1.0, 30000.0, {-4000.0, 0.0, 0.0}, {0.0, 1.0, 0.0}},
};
constexpr double kProducerAngleOfView = 40.0;
constexpr const char* kSwitcherName = "Camera Switcher";

}  // namespace

KZeqGlobalCameraSettings::KZeqGlobalCameraSettings(KZeqSdkManager& manager, KZeqScene& scene)
    : mManager(manager), mScene(scene), mError(kErrorTable, eErrorCount) {
    for (KZeqCamera*& camera : mCameras) camera = manager.CreateKZeqCamera();
    RestoreDefaultSettings();
}

KZeqGlobalCameraSettings::~KZeqGlobalCameraSettings() {
    for (KZeqCamera*& camera : mCameras) {
        if (camera) mManager.DestroyKZeqNodeAttribute(camera);
        camera = nullptr;
    }
}

void KZeqGlobalCameraSettings::RestoreDefaultSettings() {
    mDefaultCamera = kProducerRows[eProducerPerspective].mName;
    mDefaultViewingMode = eSTANDARD_VIEWING_MODE;
    for (int i = 0; i < eProducerCameraCount; ++i) {
        KZeqCamera* camera = mCameras[i];
        if (!camera) continue;
        const ProducerRow& row = kProducerRows[i];
        camera->Reset();
        camera->SetAngleOfView(kProducerAngleOfView);
        camera->SetProjectionType(row.mProjection);
        // Near first: the near-plane setter may push the far plane out.
        camera->SetNearPlane(row.mNear);
        camera->SetFarPlane(row.mFar);
        camera->SetPosition(KZeqVector4(row.mPosition[0], row.mPosition[1], row.mPosition[2], 1.0));
        camera->SetUpVector(KZeqVector4(row.mUp[0], row.mUp[1], row.mUp[2], 1.0));
    }
}

bool KZeqGlobalCameraSettings::SetDefaultCamera(const char* name) {
    if (!name) {
        mError.SetLastErrorID(eNullParameter);
        return false;
    }
    bool known = std::strcmp(name, kSwitcherName) == 0;
    for (const ProducerRow& row : kProducerRows) known = known || std::strcmp(name, row.mName) == 0;
    KZeqNode* root = mScene.GetRootNode();
    if (!known && !(root && root->FindChild(name, true, false))) {
        mError.SetLastErrorID(eUnknownCameraName);
        return false;
    }
    mDefaultCamera = name;
    return true;
}

KZeqGlobalCameraSettings& KZeqGlobalCameraSettings::operator=(const KZeqGlobalCameraSettings& other) {
    if (this == &other) return *this;
    mDefaultCamera = other.mDefaultCamera;
    mDefaultViewingMode = other.mDefaultViewingMode;
    for (int i = 0; i < eProducerCameraCount; ++i) {
        if (!mCameras[i] || !other.mCameras[i]) continue;
        *mCameras[i] = *other.mCameras[i];
        // Not part of a camera's copy, but of the settings: kept while detached.
        mCameras[i]->SetPosition(other.mCameras[i]->GetPosition());
    }
    return *this;
}

}  // namespace zeqsdk_400
