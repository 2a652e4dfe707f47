// What each attribute kind adds to its node and to the node finders: how a
// node copy makes and fills it, the modes it gives its node, and the content
// names the duplicate-name finder checks. A kind without a row here is
// removed by a node copy, leaves the modes at their plain values and carries
// no content.
#include "content/kzeqmarker.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqmesh.h"
#include "content/kzeqcamera.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqlight.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "content/kzeqopticalreference.h"
#include "content/kzeqskeleton.h"
#include "content/kzeqpatch.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

template <class T>
T* AttributeOf(KZeqNodeAttribute* attribute, KZeqNodeAttribute::EAttributeType type) {
    return attribute && attribute->GetAttributeType() == type ? static_cast<T*>(attribute) : nullptr;
}

template <class T>
void CopyAs(KZeqNodeAttribute& to, KZeqNodeAttribute& from) {
    static_cast<T&>(to) = static_cast<T&>(from);
}

}  // namespace

KZeqNull* KZeqNode::GetNull() const { return AttributeOf<KZeqNull>(mNodeAttribute, KZeqNodeAttribute::eNULL); }

KZeqOpticalReference* KZeqNode::GetOpticalReference() const {
    return AttributeOf<KZeqOpticalReference>(mNodeAttribute, KZeqNodeAttribute::eOPTICAL_REFERENCE);
}

KZeqMarker* KZeqNode::GetMarker() const { return AttributeOf<KZeqMarker>(mNodeAttribute, KZeqNodeAttribute::eMARKER); }

KZeqSkeleton* KZeqNode::GetSkeleton() const {
    return AttributeOf<KZeqSkeleton>(mNodeAttribute, KZeqNodeAttribute::eSKELETON);
}

KZeqMesh* KZeqNode::GetMesh() const { return AttributeOf<KZeqMesh>(mNodeAttribute, KZeqNodeAttribute::eMESH); }

KZeqNurb* KZeqNode::GetNurb() const { return AttributeOf<KZeqNurb>(mNodeAttribute, KZeqNodeAttribute::eNURB); }

KZeqPatch* KZeqNode::GetPatch() const { return AttributeOf<KZeqPatch>(mNodeAttribute, KZeqNodeAttribute::ePATCH); }

KZeqGeometry* KZeqNode::GetGeometry() const {
    if (KZeqMesh* mesh = GetMesh()) return mesh;
    if (KZeqNurb* nurb = GetNurb()) return nurb;
    return GetPatch();
}

KZeqCamera* KZeqNode::GetCamera() const { return AttributeOf<KZeqCamera>(mNodeAttribute, KZeqNodeAttribute::eCAMERA); }

KZeqCameraSwitcher* KZeqNode::GetCameraSwitcher() const {
    return AttributeOf<KZeqCameraSwitcher>(mNodeAttribute, KZeqNodeAttribute::eCAMERA_SWITCHER);
}

KZeqLight* KZeqNode::GetLight() const { return AttributeOf<KZeqLight>(mNodeAttribute, KZeqNodeAttribute::eLIGHT); }

const KZeqNode::AttributeCopyRow KZeqNode::kAttributeCopyRows[] = {
    {KZeqNodeAttribute::eNULL, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqNull(); },
     &CopyAs<KZeqNull>},
    {KZeqNodeAttribute::eMARKER, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqMarker(); },
     &CopyAs<KZeqMarker>},
    {KZeqNodeAttribute::eSKELETON, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqSkeleton(); },
     &CopyAs<KZeqSkeleton>},
    {KZeqNodeAttribute::eMESH, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqMesh(); },
     &CopyAs<KZeqMesh>},
    {KZeqNodeAttribute::eNURB, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqNurb(); },
     &CopyAs<KZeqNurb>},
    {KZeqNodeAttribute::ePATCH, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqPatch(); },
     &CopyAs<KZeqPatch>},
    {KZeqNodeAttribute::eCAMERA, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqCamera(); },
     &CopyAs<KZeqCamera>},
    // The manager cannot make a switcher: one is copied onto a switcher only.
    {KZeqNodeAttribute::eCAMERA_SWITCHER, nullptr, &CopyAs<KZeqCameraSwitcher>},
    {KZeqNodeAttribute::eLIGHT, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqLight(); },
     &CopyAs<KZeqLight>},
};
const int KZeqNode::kAttributeCopyRowCount =
    static_cast<int>(sizeof(kAttributeCopyRows) / sizeof(kAttributeCopyRows[0]));

void KZeqNode::ModesOfAttribute(const KZeqNodeAttribute* attribute, bool& multiLayer, EMultiTakeMode& multiTake) {
    const int type = attribute ? attribute->GetAttributeType() : KZeqNodeAttribute::eUNIDENTIFIED;
    multiLayer = false;
    multiTake = type == KZeqNodeAttribute::eLIGHT || type == KZeqNodeAttribute::eCAMERA ? eNO_MULTI_TAKE : eMULTI_TAKE;
    if (type == KZeqNodeAttribute::eMARKER) {
        // Effectors animate in layers; an optical marker's takes are not mixed.
        const int markerType = static_cast<const KZeqMarker*>(attribute)->GetType();
        multiLayer = markerType == KZeqMarker::eIK_EFFECTOR || markerType == KZeqMarker::eFK_EFFECTOR;
        if (markerType == KZeqMarker::eOPTICAL_MARKER) multiTake = eNO_MULTI_TAKE;
    }
}

KZeqGobo* KZeqNode::GoboOfAttribute(KZeqNodeAttribute* attribute) {
    KZeqLight* light = AttributeOf<KZeqLight>(attribute, KZeqNodeAttribute::eLIGHT);
    return light ? light->GetGobo() : nullptr;
}

bool KZeqNodeFinderDuplicateName::CheckContentNames(KZeqNode& node) {
    if (KZeqGeometry* geometry = node.GetGeometry()) {
        const bool materials = CheckMaterialName(geometry);
        return CheckTextureName(geometry) || materials;
    }
    if (KZeqLight* light = node.GetLight()) return CheckGoboName(light->GetGobo());
    return false;
}

// The geometry a node carries, as the pivot conversion and the automatic
// limits see it.
bool KZeqNode::GetGeometryPivot(KZeqXMatrix& pivot) const {
    KZeqGeometry* geometry = GetGeometry();
    if (!geometry) return false;
    geometry->GetPivot(pivot);
    return true;
}

void KZeqNode::SetGeometryPivot(KZeqXMatrix& pivot, bool apply) {
    KZeqGeometry* geometry = GetGeometry();
    if (!geometry) return;
    geometry->SetPivot(pivot);
    if (apply) geometry->ApplyPivot();
}

const KZeqVector4* KZeqNode::GetGeometryControlPoints(int& count) const {
    KZeqGeometry* geometry = GetGeometry();
    count = geometry ? geometry->GetControlPointsCount() : 0;
    return geometry ? geometry->GetControlPoints() : nullptr;
}

}  // namespace zeqsdk_400
