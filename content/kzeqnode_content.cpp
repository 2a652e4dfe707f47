// What each attribute kind adds to its node and to the node finders: how a
// node copy makes and fills it, the modes it gives its node, and the content
// names the duplicate-name finder checks. A kind without a row here is
// removed by a node copy, leaves the modes at their plain values and carries
// no content.
#include "content/kzeqcamera.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqlight.h"
#include "content/kzeqnull.h"
#include "content/kzeqopticalreference.h"
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

KZeqCamera* KZeqNode::GetCamera() const { return AttributeOf<KZeqCamera>(mNodeAttribute, KZeqNodeAttribute::eCAMERA); }

KZeqCameraSwitcher* KZeqNode::GetCameraSwitcher() const {
    return AttributeOf<KZeqCameraSwitcher>(mNodeAttribute, KZeqNodeAttribute::eCAMERA_SWITCHER);
}

KZeqLight* KZeqNode::GetLight() const { return AttributeOf<KZeqLight>(mNodeAttribute, KZeqNodeAttribute::eLIGHT); }

const KZeqNode::AttributeCopyRow KZeqNode::kAttributeCopyRows[] = {
    {KZeqNodeAttribute::eNULL, [](KZeqSdkManager& m) -> KZeqNodeAttribute* { return m.CreateKZeqNull(); },
     &CopyAs<KZeqNull>},
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
}

KZeqGobo* KZeqNode::GoboOfAttribute(KZeqNodeAttribute* attribute) {
    KZeqLight* light = AttributeOf<KZeqLight>(attribute, KZeqNodeAttribute::eLIGHT);
    return light ? light->GetGobo() : nullptr;
}

bool KZeqNodeFinderDuplicateName::CheckContentNames(KZeqNode& node) {
    if (KZeqLight* light = node.GetLight()) return CheckGoboName(light->GetGobo());
    return false;
}

}  // namespace zeqsdk_400
