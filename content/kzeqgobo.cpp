#include "content/kzeqgobo.h"

namespace zeqsdk_400 {

KZeqGobo::KZeqGobo(KZeqSdkManager& manager, const char* name) : KZeqObject(manager, name) {}

bool KZeqGobo::SetFileName(const char* fileName) {
    mFileName = fileName ? fileName : "";
    return true;
}

bool KZeqGobo::operator==(const KZeqGobo& other) const {
    return mFileName == other.mFileName && mGroundProjection == other.mGroundProjection &&
           mVolumetricProjection == other.mVolumetricProjection &&
           mFrontVolumetricProjection == other.mFrontVolumetricProjection;
}

}  // namespace zeqsdk_400
