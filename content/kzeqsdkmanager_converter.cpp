// The manager's geometry and image converters: unnamed, ended by plain deletion.
#include "content/kzeqgeometryconverter.h"
#include "content/kzeqimageconverter.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqGeometryConverter* KZeqSdkManager::CreateKZeqGeometryConverter() {
    return static_cast<KZeqGeometryConverter*>(Listed(eGeometryConverters, AllocateKZeqGeometryConverter()));
}

KZeqImageConverter* KZeqSdkManager::CreateKZeqImageConverter() {
    return static_cast<KZeqImageConverter*>(Listed(eImageConverters, AllocateKZeqImageConverter()));
}

KZeqGeometryConverter* KZeqSdkManager::AllocateKZeqGeometryConverter() { return new KZeqGeometryConverter(*this); }

KZeqImageConverter* KZeqSdkManager::AllocateKZeqImageConverter() { return new KZeqImageConverter(*this); }

bool KZeqSdkManager::DestroyKZeqGeometryConverter(KZeqGeometryConverter* converter) {
    return DestroyListed(eGeometryConverters, converter);
}

bool KZeqSdkManager::DestroyKZeqImageConverter(KZeqImageConverter* converter) {
    return DestroyListed(eImageConverters, converter);
}

const KZeqSdkManager::KindOps KZeqSdkManager::kGeometryConverterOps = {
    [](void* object) { delete static_cast<KZeqGeometryConverter*>(object); }, nullptr};

const KZeqSdkManager::KindOps KZeqSdkManager::kImageConverterOps = {
    [](void* object) { delete static_cast<KZeqImageConverter*>(object); }, nullptr};

KZeqImageConverter* KZeqSdkManager::GetKZeqImageConverter(int index) const {
    return static_cast<KZeqImageConverter*>(mLists[eImageConverters].GetAt(index));
}

}  // namespace zeqsdk_400
