#ifndef ZEQ_CONTENT_KZEQGLOBALCAMERASETTINGS_H
#define ZEQ_CONTENT_KZEQGLOBALCAMERASETTINGS_H

#include "base/kerror.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

class KZeqCamera;
class KZeqScene;
class KZeqSdkManager;

// A scene's viewer settings: the camera it is viewed through by default, a
// viewing mode, and seven producer cameras (a perspective and six
// orthographic views along the axes). The cameras are the manager's
// attributes on no node, kept for the life of the settings.
class KZeqGlobalCameraSettings {
public:
    enum EError { eNullParameter = 0, eUnknownCameraName = 1, eErrorCount = 2 };
    // Stored and returned unchanged.
    enum EViewingMode : int { eSTANDARD_VIEWING_MODE = 0 };
    enum EProducerCamera : int {
        eProducerPerspective = 0,
        eProducerTop,
        eProducerBottom,
        eProducerFront,
        eProducerBack,
        eProducerRight,
        eProducerLeft,
        eProducerCameraCount
    };

    KZeqGlobalCameraSettings(KZeqSdkManager& manager, KZeqScene& scene);
    KZeqGlobalCameraSettings(const KZeqGlobalCameraSettings&) = delete;
    // The cameras go back to the manager.
    ~KZeqGlobalCameraSettings();
    // The default camera, viewing mode, and each camera's values (position
    // included) into this object's camera of the same role.
    KZeqGlobalCameraSettings& operator=(const KZeqGlobalCameraSettings& other);

    // "Producer Perspective", mode 0, and each camera reset to its row.
    void RestoreDefaultSettings();

    // A producer camera's name, "Camera Switcher" or the name of a node
    // below the scene's root; else false with error 1 and no change (error 0
    // for null).
    bool SetDefaultCamera(const char* name);
    const char* GetDefaultCamera() const { return mDefaultCamera.Buffer(); }
    void SetDefaultViewingMode(EViewingMode mode) { mDefaultViewingMode = mode; }
    EViewingMode GetDefaultViewingMode() const { return mDefaultViewingMode; }

    KZeqCamera* GetCameraProducerPerspective() const { return mCameras[eProducerPerspective]; }
    KZeqCamera* GetCameraProducerTop() const { return mCameras[eProducerTop]; }
    KZeqCamera* GetCameraProducerBottom() const { return mCameras[eProducerBottom]; }
    KZeqCamera* GetCameraProducerFront() const { return mCameras[eProducerFront]; }
    KZeqCamera* GetCameraProducerBack() const { return mCameras[eProducerBack]; }
    KZeqCamera* GetCameraProducerRight() const { return mCameras[eProducerRight]; }
    KZeqCamera* GetCameraProducerLeft() const { return mCameras[eProducerLeft]; }

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    KZeqSdkManager& mManager;
    KZeqScene& mScene;
    KString mDefaultCamera;
    EViewingMode mDefaultViewingMode = eSTANDARD_VIEWING_MODE;
    KZeqCamera* mCameras[eProducerCameraCount] = {};  // null where the manager made none
    KError mError;
};

}  // namespace zeqsdk_400

#endif
