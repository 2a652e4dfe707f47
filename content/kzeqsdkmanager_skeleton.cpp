// The manager's skeletons and markers: node attributes, unnamed, in the
// attribute list.
#include "content/kzeqmarker.h"
#include "content/kzeqskeleton.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqMarker* KZeqSdkManager::CreateKZeqMarker() { return ListedAttribute(AllocateKZeqMarker()); }

KZeqSkeleton* KZeqSdkManager::CreateKZeqSkeleton() { return ListedAttribute(AllocateKZeqSkeleton()); }

KZeqMarker* KZeqSdkManager::AllocateKZeqMarker() { return new KZeqMarker(*this); }

KZeqSkeleton* KZeqSdkManager::AllocateKZeqSkeleton() { return new KZeqSkeleton(*this); }

}  // namespace zeqsdk_400
