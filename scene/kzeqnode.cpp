#include "scene/kzeqnode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/kstepcount.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[KZeqNode::eErrorCount] = {
    "Take node error",
    "Node name clash",
    "Material name clash",
    "Texture name clash",
    "Gobo name clash",
    "Target node is not a child of this object",
    "Operation with a target of the entity would generate a cyclic graph",
    "Index out of range"};

KZeqNode* NodeOf(KPlug* plug) {
    return plug && plug->Is(KZeqNodeProperties::ClassId) ? static_cast<KZeqNodeProperties*>(plug)->GetKZeqNode()
                                                         : nullptr;
}

void SetXYZ(KgeTVector& held, double x, double y, double z) {
    held.mData[0] = x;
    held.mData[1] = y;
    held.mData[2] = z;
}

}  // namespace

// Defined with the characters, in this library: drops this node from the slot
// of a character or its control set that a record names, touching no node.
void KZeqCharacterClearNodeSlot(KZeqCharacter* character, int kind, int index, int subIndex);

KZeqNode::KZeqNode(KZeqSdkManager& manager, const char* name)
    : KZeqTakeNodeContainer(manager, name, &mError),
      mProperties(new KZeqNodeProperties(this)),
      mLimits(new KZeqNodeLimits(this)),
      mError(kErrorTable, eErrorCount) {
    Reset();
    Init();
    SetVisibility(true);
    SetShadingMode(eLIGHT_SHADING);
    if (mProperties->GetPropertyCount() != kBuiltInRows.mCount || !PublishBuiltIns(*mProperties, kBuiltInRows))
        PublishProperties();
}

namespace {

// The member properties in list order (the four animatable ones follow them).
#define KZEQ_NODE_ROW(Name, Type) [](KZeqNodeProperties& p) -> KProperty* { return &p.Name; },
constexpr KProperty* (*kMemberRows[])(KZeqNodeProperties&) = {
    KZEQ_NODE_PLAIN_PROPERTIES(KZEQ_NODE_ROW)[](KZeqNodeProperties& p) -> KProperty* { return &p.LookAtProperty; },
    [](KZeqNodeProperties& p) -> KProperty* { return &p.UpVectorProperty; },
    KZEQ_NODE_DISPLAY_PROPERTIES(KZEQ_NODE_ROW)};
#undef KZEQ_NODE_ROW
constexpr int kMemberRowCount = static_cast<int>(sizeof(kMemberRows) / sizeof(kMemberRows[0]));
constexpr KProperty* KZeqNodeProperties::*kAnimatableRows[] = {
    &KZeqNodeProperties::mLclTranslation, &KZeqNodeProperties::mLclRotation, &KZeqNodeProperties::mLclScaling,
    &KZeqNodeProperties::mVisibility};
constexpr int kAnimatableRowCount = static_cast<int>(sizeof(kAnimatableRows) / sizeof(kAnimatableRows[0]));

// The row of the member property at each offset of a property set (the same
// in every one), by eight-byte step; -1 where none begins.
const std::vector<signed char>& MemberRowsByOffset(KZeqNodeProperties& p) {
    static_assert(alignof(KProperty) >= 8, "member properties lie on eight-byte steps");
    static const std::vector<signed char> rows = [&p] {
        std::vector<signed char> at(sizeof(KZeqNodeProperties) / 8 + 1, -1);
        for (int row = 0; row < kMemberRowCount; ++row)
            at[static_cast<std::size_t>(reinterpret_cast<const char*>(kMemberRows[row](p)) -
                                        reinterpret_cast<const char*>(&p)) /
               8] = static_cast<signed char>(row);
        return at;
    }();
    return rows;
}

KProperty* NodeRowAt(KZeqPropertyHandler& handler, int row) {
    auto& p = static_cast<KZeqNodeProperties&>(handler);
    if (row < kMemberRowCount) return kMemberRows[row](p);
    // An animatable property ends with the list (or when destroyed from it):
    // one no longer listed is gone.
    KProperty* property = p.*kAnimatableRows[row - kMemberRowCount];
    if (!property) return nullptr;
    if (p.GetProperty(row) == property) return property;  // where the set made it
    for (int i = 0; i < p.GetPropertyCount(); ++i)
        if (p.GetProperty(i) == property) return property;
    return nullptr;
}

int NodeRowOf(KZeqPropertyHandler& handler, const KProperty* property) {
    auto& p = static_cast<KZeqNodeProperties&>(handler);
    const std::ptrdiff_t at = reinterpret_cast<const char*>(property) - reinterpret_cast<const char*>(&p);
    if (at >= 0 && at < static_cast<std::ptrdiff_t>(sizeof(KZeqNodeProperties))) {
        if (at % 8 != 0) return -1;
        return MemberRowsByOffset(p)[static_cast<std::size_t>(at / 8)];
    }
    for (int i = 0; i < kAnimatableRowCount; ++i)
        if (property && p.*kAnimatableRows[i] == property) return kMemberRowCount + i;
    return -1;
}

}  // namespace

const KZeqObject::BuiltInRows KZeqNode::kBuiltInRows = {kMemberRowCount + kAnimatableRowCount, NodeRowAt, NodeRowOf};

KZeqNode::~KZeqNode() {
    // The attribute, the entity and the characters must not keep pointing at this node.
    for (const KZeqLinkToCharacter& link : mCharacterLinks)
        KZeqCharacterClearNodeSlot(link.mCharacter, link.mType, link.mIndex, link.mSubIndex);
    mCharacterLinks.clear();
    if (mNodeAttribute) mNodeAttribute->UnsetNode();
    if (mEntity) mEntity->ForgetNode(this);
    mLimits.reset();
    mProperties->Destroy();
}

void KZeqNode::Destruct() { mProperties->Destruct(); }

void KZeqNode::Reset() {
    KZeqNodeProperties& p = *mProperties;
    for (KPropertyTemplate<KgeTVector>* vector :
         {&p.RotationOffset, &p.RotationPivot, &p.RotationPivotUpdateOffset, &p.ScalingOffset, &p.ScalingPivot,
          &p.ScalingPivotUpdateOffset, &p.PreRotation, &p.PostRotation, &p.TranslationMin, &p.TranslationMax,
          &p.RotationMin, &p.RotationMax, &p.ScalingMin, &p.ScalingMax, &p.GeometricTranslation,
          &p.GeometricRotation})
        SetXYZ(vector->Value(), 0.0, 0.0, 0.0);
    SetXYZ(p.GeometricScaling.Value(), 1.0, 1.0, 1.0);
    for (KPropertyTemplate<bool>* flag :
         {&p.TranslationActive, &p.RotationActive, &p.ScalingActive, &p.TranslationMinX, &p.TranslationMinY,
          &p.TranslationMinZ, &p.TranslationMaxX, &p.TranslationMaxY, &p.TranslationMaxZ, &p.RotationMinX,
          &p.RotationMinY, &p.RotationMinZ, &p.RotationMaxX, &p.RotationMaxY, &p.RotationMaxZ, &p.ScalingMinX,
          &p.ScalingMinY, &p.ScalingMinZ, &p.ScalingMaxX, &p.ScalingMaxY, &p.ScalingMaxZ,
          &p.RotationSpaceForLimitOnly})
        flag->Value() = false;
    p.RotationOrder.Value() = eEULER_XYZ;
    p.AxisLen.Value() = 0.0;
    p.InheritType.Value() = eINHERIT_RrSs;
    p.QuaternionInterpolate.Set(false);
    for (KPropertyTemplate<double>* stiffness : {&p.RotationStiffnessX, &p.RotationStiffnessY, &p.RotationStiffnessZ})
        stiffness->Set(0.0);
    for (KZeqNodeProperties::KZeqPivot& pivot : p.mPivots) pivot = KZeqNodeProperties::KZeqPivot();
}

// ---- Hierarchy ------------------------------------------------------------------------

const std::vector<KZeqNode*>& KZeqNode::Children() const {
    if (mChildrenValid) return mChildren;
    mChildren.clear();
    mChildHandles.clear();
    for (int i = 0; i < mProperties->GetSrcCount(); ++i) {
        if (KZeqNode* child = NodeOf(mProperties->GetSrc(i))) {
            mChildren.push_back(child);
            mChildHandles.push_back(mProperties->GetSrcHandle(i));
        }
    }
    mChildrenValid = true;
    return mChildren;
}

int KZeqNode::GetChildCount(bool) const { return static_cast<int>(Children().size()); }

KZeqNode* KZeqNode::GetChild(int index) const {
    if (index < 0 || index >= GetChildCount()) return nullptr;
    // A child whose property set ended without notice leaves the list.
    if (!mChildHandles[static_cast<std::size_t>(index)].Get()) {
        mChildrenValid = false;
        return index < GetChildCount() ? mChildren[static_cast<std::size_t>(index)] : nullptr;
    }
    return mChildren[static_cast<std::size_t>(index)];
}

KZeqNode* KZeqNode::GetParent() const {
    for (int i = 0; i < mProperties->GetDstCount(); ++i)
        if (KZeqNode* parent = NodeOf(mProperties->GetDst(i))) return parent;
    return nullptr;
}

bool KZeqNode::IsSelfOrDescendantOf(const KZeqNode* node) const {
    if (node == this) return true;
    // Only a node with sources can lie above another: a new node hung below the
    // end of a deep chain is refused or taken without the walk up.
    if (!node || node->mProperties->GetSrcCount() == 0) return false;
    const KZeqNode* up = GetParent();
    if (!up) return false;
    // Up from this node and down through node's sources, a step of each in turn: the first walk
    // to end answers. A check then costs the smaller of this node's depth and node's subtree, and
    // links that join trees cost n log n together in any order (each joins the smaller side).
    struct Frame {
        const KZeqNode* mNode;
        int mNext;
    };
    std::vector<Frame> down{{node, 0}};
    std::uint64_t steps = 0;
    const auto answer = [&steps](bool below) {
        KCountSteps(KStepKind::eWalk, steps);
        return below;
    };
    for (;; ++steps) {
        if (up == node) return answer(true);
        up = up->GetParent();
        if (!up) return answer(false);
        while (!down.empty() && down.back().mNext >= down.back().mNode->mProperties->GetSrcCount()) down.pop_back();
        if (down.empty()) return answer(false);
        Frame& frame = down.back();
        if (const KZeqNode* child = NodeOf(frame.mNode->mProperties->GetSrc(frame.mNext++))) {
            if (child == this) return answer(true);
            down.push_back({child, 0});
        }
    }
}

bool KZeqNode::AddChild(KZeqNode* child) {
    if (!child) return false;
    // Refused before anything moves: a cycle, a member of this entity not
    // leaving it, or names that would clash once the subtree joins.
    if (IsSelfOrDescendantOf(child) || (mEntity && child->mEntity == mEntity && !child->GetParent())) {
        mError.SetLastErrorID(eCyclicGraph);
        return false;
    }
    if (mEntity) {
        const int clash = child->FindNameClash();
        if (clash >= 0) {
            mError.SetLastErrorID(clash);
            return false;
        }
    }
    if (KZeqNode* parent = child->GetParent()) parent->RemoveChild(child);
    return mProperties->ConnectSrc(child->mProperties, 0);
}

KZeqNode* KZeqNode::RemoveChild(KZeqNode* child) {
    if (!child) return nullptr;
    if (!mProperties->DisconnectSrc(child->mProperties)) return nullptr;
    return child;
}

KZeqNode* KZeqNode::FindChild(const char* name, bool recursive, bool initial) const {
    const KString searched = KZeqSdkManager::PrefixName("Model::", name);
    // Depth first with a stack of its own, so that no depth of tree exhausts the call stack.
    std::vector<KZeqNode*> pending(Children().rbegin(), Children().rend());
    while (!pending.empty()) {
        KZeqNode* child = pending.back();
        pending.pop_back();
        if (std::strcmp(initial ? child->GetInitialName() : child->GetName(), searched.Buffer()) == 0) return child;
        if (recursive) pending.insert(pending.end(), child->Children().rbegin(), child->Children().rend());
    }
    return nullptr;
}

void KZeqNode::AddChildName(const char* name) { mChildNames.emplace_back(name); }

const char* KZeqNode::GetChildName(unsigned int index) {
    if (index >= mChildNames.size()) {
        mError.SetLastErrorID(eIndexOutOfRange);
        return nullptr;
    }
    return mChildNames[index].Buffer();
}

// ---- Targets --------------------------------------------------------------------------

namespace {

void AddTarget(KPropertyObjectList& list, KZeqNode* node) {
    if (!node || !node->GetPropertyHandler() || list.IsConnectedSrc(node->GetPropertyHandler())) return;
    list.ConnectSrc(node->GetPropertyHandler());
}

// A scene's root is no model a camera or a light can aim at: a connection to it is passed over.
KZeqNode* FirstTarget(const KPropertyObjectList& list) {
    for (int i = 0; i < list.GetSrcCount(); ++i) {
        KZeqNode* node = NodeOf(list.GetSrc(i));
        if (node && !(node->GetEntity() && node->GetEntity()->GetRootNode() == node)) return node;
    }
    return nullptr;
}

}  // namespace

void KZeqNode::SetTarget(KZeqNode* node) { AddTarget(mProperties->LookAtProperty, node); }
KZeqNode* KZeqNode::GetTarget() const { return FirstTarget(mProperties->LookAtProperty); }
void KZeqNode::SetTargetUp(KZeqNode* node) { AddTarget(mProperties->UpVectorProperty, node); }
KZeqNode* KZeqNode::GetTargetUp() const { return FirstTarget(mProperties->UpVectorProperty); }

// ---- Attribute ------------------------------------------------------------------------

KZeqNodeAttribute* KZeqNode::SetNodeAttribute(KZeqNodeAttribute* attribute) {
    if (attribute == mNodeAttribute) return nullptr;
    KZeqNodeAttribute* former = mNodeAttribute;
    mNodeAttribute = attribute;
    if (former) former->UnsetNode();
    if (attribute) {
        if (KZeqNode* other = attribute->GetNode()) other->SetNodeAttribute(nullptr);
        attribute->SetNode(*this);
    }
    ModesOfAttribute(attribute, mMultiLayer, mMultiTakeMode);
    return former;
}

// ---- Default values and display -----------------------------------------------------------

template <class Use>
void KZeqNode::WithPropertyNamed(const char* name, Use use) const {
    const int entry = FindUnmadeBuiltIn(name);
    if (entry < 0) {
        if (KZeqUserProperty* property = FindPropertyByName(name)) use(*property);
        return;
    }
    KZeqUserProperty standIn(GetSdkManager(), BuiltInProperty(entry));
    standIn.SetPropertyHandler(mProperties);
    use(standIn);
}

void KZeqNode::SetDefault(const char* name, const KZeqVector4& value) {
    WithPropertyNamed(name, [&value](KZeqUserProperty& property) { property.SetDefaultValue(value[0], value[1], value[2]); });
}

KZeqVector4& KZeqNode::GetDefault(const char* name, KZeqVector4& value) const {
    WithPropertyNamed(name, [&value](KZeqUserProperty& property) { property.GetDefaultValue(value[0], value[1], value[2]); });
    return value;
}

void KZeqNode::SetDefaultVisibility(double visibility) {
    WithPropertyNamed("Visibility", [visibility](KZeqUserProperty& property) { property.SetDefaultValue(visibility); });
}

double KZeqNode::GetDefaultVisibility() const {
    double visibility = 1.0;
    WithPropertyNamed("Visibility", [&visibility](KZeqUserProperty& property) { property.GetDefaultValue(visibility); });
    return visibility;
}

void KZeqNode::SetVisibility(bool visible) {
    mProperties->Show.SetData(&visible);
    if (mProperties->mVisibility) mProperties->mVisibility->SetDouble(visible ? 1.0 : 0.0);
}

bool KZeqNode::GetVisibility() const {
    return mProperties->mVisibility && mProperties->mVisibility->AsDouble() != 0.0;
}

void KZeqNode::SetTransformationInheritType(ETransformInheritType type) { mProperties->InheritType.Value() = type; }

void KZeqNode::GetTransformationInheritType(ETransformInheritType& type) const {
    type = mProperties->InheritType.Value();
}

void KZeqNode::SetUseQuaternionForInterpolation(bool use) { mProperties->QuaternionInterpolate.SetData(&use); }

bool KZeqNode::GetUseQuaternionForInterpolation() const {
    bool use = false;
    mProperties->QuaternionInterpolate.GetData(&use);
    return use;
}

void KZeqNode::SetRotationStiffness(KZeqVector4 stiffness) {
    mProperties->RotationStiffnessX.Value() = stiffness[0];
    mProperties->RotationStiffnessY.Value() = stiffness[1];
    mProperties->RotationStiffnessZ.Value() = stiffness[2];
}

KZeqVector4 KZeqNode::GetRotationStiffness() const {
    return KZeqVector4(mProperties->RotationStiffnessX.Value(), mProperties->RotationStiffnessY.Value(),
                       mProperties->RotationStiffnessZ.Value(), 1.0);
}

void KZeqNode::SetSelected(bool selected, bool recursive) {
    VisitSubtree(recursive, [selected](KZeqNode& node) {
        node.mSelected = selected;
        return true;
    });
}

// On a stack of its own, so that no depth of tree exhausts the call stack.
bool KZeqNode::GetSelected(bool recursive) const {
    if (mSelected || !recursive) return mSelected;
    std::vector<KZeqNode*> pending(Children().begin(), Children().end());
    while (!pending.empty()) {
        const KZeqNode* node = pending.back();
        pending.pop_back();
        if (node->mSelected) return true;
        pending.insert(pending.end(), node->Children().begin(), node->Children().end());
    }
    return false;
}

// ---- Entity -----------------------------------------------------------------------------

int KZeqNode::FindNameClash() {
    KZeqNodeFinderDuplicateName finder(nullptr);
    finder.Apply(*this);
    if (finder.GetDuplicateNodeArray().GetCount() > 0) return eNodeNameClash;
    if (finder.GetDuplicateTextureArray().GetCount() > 0) return eTextureNameClash;
    if (finder.GetDuplicateMaterialArray().GetCount() > 0) return eMaterialNameClash;
    if (finder.GetDuplicateGoboArray().GetCount() > 0) return eGoboNameClash;
    return -1;
}

bool KZeqNode::SetEntity(KZeqEntity* entity, bool checkEntityNames) {
    if (mEntity == entity) return true;
    // A scene's root does not follow a connection out of its scene: the scene would be left
    // without one.
    if (!checkEntityNames && mEntity && mEntity->GetRootNode() == this) {
        mError.SetLastErrorID(eCyclicGraph);
        return false;
    }
    KZeqNodeFinderDuplicateName finder(checkEntityNames ? entity : nullptr);
    finder.Apply(*this);
    const struct {
        int mCount;
        EError mError;
    } clashes[] = {{finder.GetDuplicateNodeArray().GetCount(), eNodeNameClash},
                   {finder.GetDuplicateTextureArray().GetCount(), eTextureNameClash},
                   {finder.GetDuplicateMaterialArray().GetCount(), eMaterialNameClash},
                   {finder.GetDuplicateGoboArray().GetCount(), eGoboNameClash}};
    for (const auto& clash : clashes) {
        if (clash.mCount > 0) {
            mError.SetLastErrorID(clash.mError);
            return false;
        }
    }
    const KArrayTemplate<KZeqNode*>& nodes = finder.GetNodeArray();
    const KArrayTemplate<KZeqMaterial*>& materials = finder.GetMaterialArray();
    const KArrayTemplate<KZeqTexture*>& textures = finder.GetTextureArray();
    // A gobo is referenced once per node projecting it, as attaching its
    // light does, so that moving a subtree keeps the counts whole.
    if (KZeqEntity* former = mEntity) {
        for (int i = 0; i < nodes.GetCount(); ++i) {
            former->RemoveNode(nodes[i]);
            nodes[i]->mEntity = nullptr;
            // Its geometry must not go on pointing at an entity that may end.
            former->ForgetContainers(*nodes[i]);
        }
        for (int i = 0; i < materials.GetCount(); ++i) former->RemoveMaterial(materials[i]);
        for (int i = 0; i < textures.GetCount(); ++i) former->RemoveTexture(textures[i]);
        for (int i = 0; i < nodes.GetCount(); ++i)
            if (KZeqGobo* gobo = GoboOfAttribute(nodes[i]->mNodeAttribute)) former->RemoveGobo(gobo);
    }
    if (entity) {
        if (checkEntityNames) {
            if (KZeqNode* root = entity->GetRootNode()) root->SetEntity(nullptr, true);
            entity->Clear();
        }
        for (int i = 0; i < nodes.GetCount(); ++i) {
            entity->AddNode(nodes[i]);
            nodes[i]->mEntity = entity;
        }
        for (int i = 0; i < materials.GetCount(); ++i) entity->AddMaterial(materials[i]);
        for (int i = 0; i < textures.GetCount(); ++i) entity->AddTexture(textures[i]);
        for (int i = 0; i < nodes.GetCount(); ++i)
            if (KZeqGobo* gobo = GoboOfAttribute(nodes[i]->mNodeAttribute)) entity->AddGobo(gobo);
    }
    return true;
}

// ---- Copy -------------------------------------------------------------------------------

void KZeqNode::CopyAttribute(KZeqNode& source) {
    KZeqNodeAttribute* from = source.mNodeAttribute;
    const int type = from ? from->GetAttributeType() : KZeqNodeAttribute::eUNIDENTIFIED;
    for (int i = 0; i < kAttributeCopyRowCount; ++i) {
        const AttributeCopyRow& row = kAttributeCopyRows[i];
        if (row.mType != type) continue;
        KZeqNodeAttribute* to = mNodeAttribute;
        if (!to || to->GetAttributeType() != type) {
            // A kind the manager cannot make is copied only onto an attribute
            // of its kind; any other attribute goes, as for kinds not copied.
            if (!row.mCreate) break;
            to = row.mCreate(GetSdkManager());
            if (!to) return;
            if (KZeqNodeAttribute* replaced = SetNodeAttribute(to)) GetSdkManager().DestroyKZeqNodeAttribute(replaced);
        }
        row.mCopy(*to, *from);
        return;
    }
    if (KZeqNodeAttribute* removed = SetNodeAttribute(nullptr)) GetSdkManager().DestroyKZeqNodeAttribute(removed);
}

KZeqNode& KZeqNode::operator=(KZeqNode& source) {
    if (this == &source) return *this;
    SetTarget(source.GetTarget());
    mPostTargetRotation = source.mPostTargetRotation;
    mTargetUpVector = source.mTargetUpVector;
    CopyAttribute(source);
    SetVisibility(source.GetVisibility());
    mShadingMode = source.mShadingMode;
    mMultiLayer = source.mMultiLayer;
    mMultiTakeMode = source.mMultiTakeMode;
    for (int set = 0; set < 2; ++set) {
        KZeqNodeProperties::KZeqPivot& to = mProperties->mPivots[set];
        const KZeqNodeProperties::KZeqPivot& from = source.mProperties->mPivots[set];
        to.mRotationOffset = from.mRotationOffset;
        to.mRotationPivot = from.mRotationPivot;
        to.mRotationPivotUpdateOffset = from.mRotationPivotUpdateOffset;
        to.mPreRotation = from.mPreRotation;
        to.mPostRotation = from.mPostRotation;
        to.mScalingPivot = from.mScalingPivot;
        to.mScalingPivotUpdateOffset = from.mScalingPivotUpdateOffset;
    }
    ResetCaches();
    mLocalState.Reset();
    mGlobalState.Reset();
    mCullingType = source.mCullingType;
    KZeqTakeNodeContainer::operator=(source);
    return *this;
}

// ---- Character links ----------------------------------------------------------------------

int KZeqNode::AddCharacterLink(KZeqCharacter* character, int type, int index, int subIndex) {
    mCharacterLinks.push_back(KZeqLinkToCharacter{character, type, index, subIndex});
    return GetCharacterLinkCount() - 1;
}

int KZeqNode::FindCharacterLink(KZeqCharacter* character, int type, int index, int subIndex) const {
    if (!character) return -1;
    const KZeqLinkToCharacter link{character, type, index, subIndex};
    for (std::size_t i = 0; i < mCharacterLinks.size(); ++i)
        if (mCharacterLinks[i] == link) return static_cast<int>(i);
    return -1;
}

int KZeqNode::RemoveCharacterLink(KZeqCharacter* character, int type, int index, int subIndex) {
    const int found = FindCharacterLink(character, type, index, subIndex);
    if (found >= 0) mCharacterLinks.erase(mCharacterLinks.begin() + found);
    return found;
}

bool KZeqNode::GetCharacterLink(int index, KZeqCharacter** character, int* type, int* linkIndex,
                                int* subIndex) const {
    if (index < 0 || index >= GetCharacterLinkCount() || !character || !type || !linkIndex || !subIndex) return false;
    const KZeqLinkToCharacter& link = mCharacterLinks[static_cast<std::size_t>(index)];
    *character = link.mCharacter;
    *type = link.mType;
    *linkIndex = link.mIndex;
    *subIndex = link.mSubIndex;
    return true;
}

// ---- Object model -----------------------------------------------------------------------

KString KZeqNode::GetTypeName() const { return mNodeAttribute ? mNodeAttribute->GetTypeName() : KString("Null"); }

KStringList KZeqNode::GetTypeFlags() const {
    if (mNodeAttribute) return mNodeAttribute->GetTypeFlags();
    KStringList flags;
    flags.Add("Null");
    return flags;
}

void KZeqNode::FillPropertyList(void* list) {
    auto* properties = static_cast<KArrayTemplate<KProperty*>*>(list);
    const int count = mProperties->GetPropertyCount();
    const int first = properties->GetCount();
    // Room for the attribute's few too, at once.
    properties->Reserve(first + count + 8);
    if (!properties->SetCount(first + count)) return;
    for (int i = 0; i < count; ++i) (*properties)[first + i] = mProperties->GetProperty(i);
    if (mNodeAttribute) mNodeAttribute->FillPropertyList(list);
}

void KZeqNode::PublishProperties() { PublishHandlerProperties(*mProperties); }

void KZeqNode::PropertyAdded(KZeqUserProperty* property) { AddHandlerProperty(*mProperties, property); }

void KZeqNode::PropertyRemoved(KZeqUserProperty* property) { RemoveHandlerProperty(*mProperties, property); }

bool KZeqNode::SetCurrentTakeNode(int index) {
    ResetCaches();
    return KZeqTakeNodeContainer::SetCurrentTakeNode(index);
}

bool KZeqNode::SetCurrentTakeNode(const char* name) {
    ResetCaches();
    return KZeqTakeNodeContainer::SetCurrentTakeNode(name);
}

void KZeqNode::ResetCaches() {
    mCurrentTakeCache.Reset();
    mDefaultTakeCache.Reset();
}

}  // namespace zeqsdk_400
