// The manager's operations on cameras and lights: unnamed node attributes,
// listed with the others and ended through their destructor.
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqCamera* KZeqSdkManager::CreateKZeqCamera() { return ListedAttribute(AllocateKZeqCamera()); }

KZeqLight* KZeqSdkManager::CreateKZeqLight() { return ListedAttribute(AllocateKZeqLight()); }

KZeqCamera* KZeqSdkManager::AllocateKZeqCamera() { return new KZeqCamera(*this); }

KZeqLight* KZeqSdkManager::AllocateKZeqLight() { return new KZeqLight(*this); }

}  // namespace zeqsdk_400
