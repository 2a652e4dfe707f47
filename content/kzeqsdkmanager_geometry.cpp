// The manager's operations on geometry and skinning: meshes, NURBS and
// patches in the attribute list, links, shapes and deformers in their own.
#include "content/kzeqdeformer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZeqMesh* KZeqSdkManager::CreateKZeqMesh() { return ListedAttribute(AllocateKZeqMesh()); }
KZeqNurb* KZeqSdkManager::CreateKZeqNurb() { return ListedAttribute(AllocateKZeqNurb()); }
KZeqPatch* KZeqSdkManager::CreateKZeqPatch() { return ListedAttribute(AllocateKZeqPatch()); }

KZeqMesh* KZeqSdkManager::AllocateKZeqMesh() { return new KZeqMesh(*this); }
KZeqNurb* KZeqSdkManager::AllocateKZeqNurb() { return new KZeqNurb(*this); }
KZeqPatch* KZeqSdkManager::AllocateKZeqPatch() { return new KZeqPatch(*this); }

// Links: unnamed, ended by deletion.

KZeqLink* KZeqSdkManager::CreateKZeqLink() { return static_cast<KZeqLink*>(Listed(eLinks, AllocateKZeqLink())); }

KZeqLink* KZeqSdkManager::AllocateKZeqLink() { return new KZeqLink; }

bool KZeqSdkManager::DestroyKZeqLink(KZeqLink* link) { return DestroyListed(eLinks, link); }

KZeqLink* KZeqSdkManager::GetKZeqLink(int index) const { return static_cast<KZeqLink*>(mLists[eLinks].GetAt(index)); }

const KZeqSdkManager::KindOps KZeqSdkManager::kLinkOps = {[](void* object) { delete static_cast<KZeqLink*>(object); },
                                                          nullptr};

// Shapes: unnamed, ended by deletion.

KZeqShape* KZeqSdkManager::CreateKZeqShape() { return static_cast<KZeqShape*>(Listed(eShapes, new KZeqShape(*this))); }

KZeqShape* KZeqSdkManager::AllocateKZeqShape() { return new KZeqShape(*this); }

bool KZeqSdkManager::DestroyKZeqShape(KZeqShape* shape) { return DestroyListed(eShapes, shape); }

const KZeqSdkManager::KindOps KZeqSdkManager::kShapeOps = {[](void* object) { delete static_cast<KZeqShape*>(object); },
                                                           nullptr};

// Deformers: named under the prefix of their type, ended by deletion alone.

KZeqDeformer* KZeqSdkManager::CreateKZeqDeformer(const char* name, const char* typeName) {
    const KString prefixed = PrefixName(GetDeformerPrefixFromTypeName(typeName), name);
    return static_cast<KZeqDeformer*>(Listed(eDeformers, AllocateKZeqDeformer(prefixed, typeName)));
}

KZeqDeformer* KZeqSdkManager::AllocateKZeqDeformer(const char* name, const char* typeName) {
    return name && typeName ? new KZeqDeformer(*this, name, typeName) : nullptr;
}

bool KZeqSdkManager::DestroyKZeqDeformer(KZeqDeformer* deformer) { return DestroyListed(eDeformers, deformer); }

const KZeqSdkManager::KindOps KZeqSdkManager::kDeformerOps = {
    [](void* object) { delete static_cast<KZeqDeformer*>(object); },
    [](const void* object) { return static_cast<const KZeqDeformer*>(object)->GetName(); }};

}  // namespace zeqsdk_400
