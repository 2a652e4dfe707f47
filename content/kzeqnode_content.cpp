// What each attribute kind adds to its node and to the node finders: how a
// node copy makes and fills it, the modes it gives its node, and the content
// names the duplicate-name finder checks. A kind without a row here is
// removed by a node copy, leaves the modes at their plain values and carries
// no content.
#include "content/kzeqmarker.h"
#include "content/kzeqnull.h"
#include "content/kzeqopticalreference.h"
#include "content/kzeqskeleton.h"
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

const KZeqNode::AttributeCopyRow KZeqNode::kAttributeCopyRows[] = {
    {KZeqNodeAttribute::eNULL, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqNull(); },
     &CopyAs<KZeqNull>},
    {KZeqNodeAttribute::eMARKER, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqMarker(); },
     &CopyAs<KZeqMarker>},
    {KZeqNodeAttribute::eSKELETON, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqSkeleton(); },
     &CopyAs<KZeqSkeleton>},
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

bool KZeqNodeFinderDuplicateName::CheckContentNames(KZeqNode&) { return false; }

// The geometry a node carries, as the pivot conversion and the automatic
// limits see it; no kind here holds geometry.
bool KZeqNode::GetGeometryPivot(KZeqXMatrix&) const { return false; }

void KZeqNode::SetGeometryPivot(KZeqXMatrix&, bool) {}

const KZeqVector4* KZeqNode::GetGeometryControlPoints(int& count) const {
    count = 0;
    return nullptr;
}

}  // namespace zeqsdk_400
