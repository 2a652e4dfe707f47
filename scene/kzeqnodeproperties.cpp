#include "scene/kzeqnodeproperties.h"

#include "object/kdatatype.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqNodeProperties, KZeqPropertyHandler, "KZeqNodeProperties")

namespace {

constexpr const char* kRotationOrderTexts[] = {"Euler XYZ", "Euler XZY", "Euler YZX",  "Euler YXZ",
                                               "Euler ZXY", "Euler ZYX", "Spheric XYZ"};
// Inherit type 1 has no text of its own and shows as 0 does.
constexpr const char* kInheritTypeTexts[] = {"RrSs", "RrSs", "Rrs"};

// A scene's root stays its top: taken as a child it would leave its scene without one.
bool IsSceneRoot(const KZeqNode& node) { return node.GetEntity() && node.GetEntity()->GetRootNode() == &node; }

template <std::size_t N>
const char* TextOf(const char* const (&texts)[N], int value) {
    return value >= 0 && value < static_cast<int>(N) ? texts[value] : nullptr;
}

}  // namespace

KZeqNodeProperties::KZeqNodeProperties(KZeqTakeNodeContainer* owner) : mOwner(owner) {
    // PlugNotify below hears connection notices only: the list and value
    // notices of the set and of the properties it makes are not sent.
    SetNoticesUnheard(true);
    // The plain and display properties, the two object lists and the four animatable ones.
#define KZEQ_NODE_COUNT(Name, Type) +1
    PropertyReserve(0 KZEQ_NODE_PLAIN_PROPERTIES(KZEQ_NODE_COUNT) KZEQ_NODE_DISPLAY_PROPERTIES(KZEQ_NODE_COUNT) + 2 + 4);
#undef KZEQ_NODE_COUNT
    // The plain properties: listed, typed, then named with their accessors.
#define KZEQ_NODE_BIND(Name, Type)                                                                     \
    PropertyAddToList(&Name);                                                                          \
    Name.SetPropertyType(KPropertyGetType(static_cast<Type*>(nullptr)));                               \
    Name.SetPropertyInfo(#Name, this, &KZeqNodeProperties::Name##Get, &KZeqNodeProperties::Name##Set); \
    Name.SetNoticesUnheard(true);
    KZEQ_NODE_PLAIN_PROPERTIES(KZEQ_NODE_BIND)
    RotationPivotUpdateOffset.ModifyPropertyFlag(kPropertyFlagNotSavable, true);
    ScalingPivotUpdateOffset.ModifyPropertyFlag(kPropertyFlagNotSavable, true);
    RotationOrder.GetPropertyInfo().SetAsStringFunc(&KZeqNodeProperties::RotationOrderAsString);
    InheritType.GetPropertyInfo().SetAsStringFunc(&KZeqNodeProperties::InheritTypeAsString);

    InitObjectList(LookAtProperty, "LookAtProperty");
    InitObjectList(UpVectorProperty, "UpVectorProperty");

    KZEQ_NODE_DISPLAY_PROPERTIES(KZEQ_NODE_BIND)
#undef KZEQ_NODE_BIND
    const bool on = true;
    Show.SetData(&on);
    NegativePercentShapeSupport.SetData(&on);

    mLclTranslation = CreateAnimatable("Lcl Translation");
    mLclRotation = CreateAnimatable("Lcl Rotation");
    mLclScaling = CreateAnimatable("Lcl Scaling");
    const double unit[4] = {1.0, 1.0, 1.0, 1.0};
    if (mLclScaling) mLclScaling->SetData(unit);
    mVisibility = CreateAnimatable("Visibility");
    if (mVisibility) mVisibility->SetDouble(1.0);
}

void KZeqNodeProperties::InitObjectList(KPropertyObjectList& list, const char* name) {
    PropertyAddToList(&list);
    list.SetNoticesUnheard(true);
    list.Init();
    list.SetPropertyInfo(name, this, nullptr, nullptr);
    list.SetPropertyType(kPropertyTypeObject);
    list.SetContentSpec(1, ClassId);
    list.SetDirection(KPlug::eDirectionSrc);
}

KProperty* KZeqNodeProperties::CreateAnimatable(const char* name) {
    KDataType* dataType = KDataTypeGet(name);
    KProperty* property =
        CreatePropertyFromType(name, DataTypeToPropertyType(dataType), dataType, false, false, nullptr);
    if (!property) return nullptr;
    property->SetNoticesUnheard(true);
    property->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
    property->ModifyPropertyFlag(kPropertyFlagAnimated, true);
    return property;
}

KZeqNode* KZeqNodeProperties::GetKZeqNode() { return static_cast<KZeqNode*>(mOwner); }

void KZeqNodeProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mOwner) mOwner->PropertyDefaultValueChanged(property);
}

const char* KZeqNodeProperties::RotationOrderAsString(ERotationOrder order) {
    return TextOf(kRotationOrderTexts, order);
}

const char* KZeqNodeProperties::InheritTypeAsString(ETransformInheritType type) {
    return TextOf(kInheritTypeTexts, type);
}

bool KZeqNodeProperties::PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                                    kConnectionType type, KPlug* replacement) {
    // Only the three connection notices concern the node; property notices are the most frequent.
    KZeqNode* node = plug == this && (action == kPlugSrcConnectRequest || action == kPlugSrcConnected ||
                                      action == kPlugSrcDisconnected)
                         ? GetKZeqNode()
                         : nullptr;
    if (node) {
        KZeqEntity* entity = node->GetEntity();
        KZeqNode* otherNode =
            other && other->Is(ClassId) ? static_cast<KZeqNodeProperties*>(other)->GetKZeqNode() : nullptr;
        switch (action) {
            case kPlugSrcConnectRequest:
                // A node of the same entity, or one above this node, would close a cycle; one that has
                // another parent would have two, and the walks up from it would miss one of them
                // (AddChild takes the child from its parent first). A scene's root is no child, whether
                // or not this node is in a scene.
                if (otherNode && ((entity && otherNode->GetEntity() == entity) || IsSceneRoot(*otherNode) ||
                                  (otherNode->GetParent() && otherNode->GetParent() != node) ||
                                  node->IsSelfOrDescendantOf(otherNode))) {
                    node->GetError().SetLastErrorID(KZeqNode::eCyclicGraph);
                    return false;
                }
                break;
            case kPlugSrcConnected:
                node->ChildrenChanged();
                if (otherNode) otherNode->SetEntity(entity, false);
                break;
            case kPlugSrcDisconnected:
                node->ChildrenChanged();
                if (otherNode) otherNode->SetEntity(nullptr, false);
                break;
            default:
                break;
        }
    }
    return KObject::PlugNotify(callstack, action, plug, index, other, type, replacement);
}

}  // namespace zeqsdk_400
