#include "scene/kzeqtakenodecontainer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cctype>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "base/knameindex.h"
#include "base/kstepcount.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "object/kproperty.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzequserproperty.h"

namespace zeqsdk_400 {

namespace {

const char* const kTakeNodeDoesNotExist = "Take node does not exist";
const char* const kIndexOutOfRange = "Index out of range";
const char* const kUnknownTakeNodeName = "Unknown take node name";
const char* const kCannotRemoveDefault = "Cannot remove default take node";
const char* const kTakeNodeAlreadyExists = "Take node already exists";

// Names of a property's channels, by member.
constexpr const char* kChannelNames[] = {"X", "Y", "Z", "toto"};
constexpr int kMaxChannels = static_cast<int>(sizeof(kChannelNames) / sizeof(kChannelNames[0]));

// Channel count of a property without a data type, by type code.
int ChannelCountOfType(kPropertyType type) {
    switch (type) {
        case kPropertyTypeVector:
        case kPropertyTypeColor: return 3;
        case kPropertyTypeVector4:
        case kPropertyTypeColorRGBA: return 4;
        default: return 1;
    }
}

bool IsThreeValueType(KZeqUserProperty::EUserPropertyType type) {
    return type == KZeqUserProperty::eVECTOR || type == KZeqUserProperty::eCOLOR;
}

// A new child with an empty curve; null when the parent refuses it.
KFCurveNode* AddChannel(KFCurveNode* parent, const char* name) {
    KFCurveNode* node = KFCurveNodeCreate(name);
    node->FCurveSet(KFCurveCreate(), true);
    if (parent->Add(node) < 0) {
        node->Destroy();
        return nullptr;
    }
    return node;
}

// The child at index, created with a curve under its channel name when the
// parent has fewer children.
KFCurveNode* ChannelAt(KFCurveNode* parent, int index) {
    if (parent->GetCount() > index) return parent->Get(index);
    return AddChannel(parent, kChannelNames[index]);
}

// A default value written so that no callback of the curve answers it.
void SetValueQuietly(KFCurve* curve, double value) {
    curve->CallbackEnable(false);
    curve->SetValue(static_cast<float>(value));
    curve->CallbackClear();
    curve->CallbackEnable(true);
}

// Toward zero, saturating at the int range; NaN gives 0.
int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

// Ending a take touches every node, name record and curve of its tree, each a
// block of its own: reached one after another, each waits on memory. The trees
// are first read level by level, the reads of one level independent of each
// other, so that they overlap and the ending then finds everything in the
// cache. A level's hints go first, then its loads, which stay: a hint on a
// page missing from the address cache may be dropped. Each object's fields
// that its ending reads are loaded through their accessors. Only a look-ahead:
// it stops after a bounded number of nodes.
std::uintptr_t Touch(const KFCurveNode& node) {
    std::uintptr_t sum = node.GetUseQuaternion() + node.GetFlags() + static_cast<unsigned>(node.GetLayerType()) +
                         node.IsCandidate() + node.IsUserLocked();
    for (const void* field : {static_cast<const void*>(node.FCurveGet()), static_cast<const void*>(node.TimeWarpGet()),
                              static_cast<const void*>(node.LayerGet()), static_cast<const void*>(node.GetParent())})
        sum += reinterpret_cast<std::uintptr_t>(field);
    // Through the name accessors: GetNameInfo would make a record lent by the
    // default take the node's own.
    sum += reinterpret_cast<std::uintptr_t>(node.GetName()) + reinterpret_cast<std::uintptr_t>(node.GetTimeWarpName());
    if (const KFCurve* curve = node.FCurveGet())
        sum += curve->CallbackIsEnable() + static_cast<unsigned>(curve->KeyGetCount()) + curve->GetWasData() +
               static_cast<std::uintptr_t>(curve->CandidateGetTime().Get());
    return sum;
}

template <class T>
void PrefetchObject(const T* object) {
    const char* at = reinterpret_cast<const char*>(object);
    for (std::size_t line = 0; object && line < sizeof(T); line += 64) __builtin_prefetch(at + line);
}

void FetchTrees(std::vector<KFCurveNode*> level) {
    constexpr std::size_t kMaxNodes = 8192;
    std::vector<KFCurveNode*> next;
    std::uintptr_t sum = 0;
    std::size_t visited = 0;
    while (!level.empty() && visited < kMaxNodes) {
        next.clear();
        for (KFCurveNode* node : level) PrefetchObject(node);
        for (KFCurveNode* node : level) {
            PrefetchObject(node->FCurveGet());
            node->PrefetchParts();
        }
        for (KFCurveNode* node : level) {
            sum += Touch(*node);
            for (int i = 0, count = node->GetCount(); i < count; ++i) next.push_back(node->Get(i));
        }
        visited += next.size();
        level.swap(next);
    }
    // Keeps the reads, whose values nothing uses.
    asm volatile("" : : "r"(sum));
}

bool EqualsNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int ca = std::toupper(static_cast<unsigned char>(*a));
        if (ca != std::toupper(static_cast<unsigned char>(*b))) return false;
        if (ca == 0) return true;
    }
}

// What the channel of a property of that name is among a node's standard
// channels not made yet (as FindPropertyChannel would find it in them): the
// first of its values, "T", "R", "S" holding three and "Visibility" one;
// kNoChannel when there is none, kGroupChannel for "Transform" (no values).
constexpr int kNoChannel = -1;
constexpr int kGroupChannel = -2;
int StandardChannelOf(const char* name) {
    if (!name) return kNoChannel;
    // Most names begin with none of the letters of these.
    switch (*name) {
        case 'L':
        case 'T':
        case 't':
        case 'V':
        case 'v': break;
        default: return kNoChannel;
    }
    static const char* const kTransformNames[] = {"Lcl Translation", "Lcl Rotation", "Lcl Scaling"};
    const std::size_t length = std::strlen(name);
    if (*name == 'L') {
        for (int i = 0; i < 3; ++i)
            if (std::strcmp(name, kTransformNames[i]) == 0) return 3 * i;
        return kNoChannel;
    }
    if (length == 9 && EqualsNoCase(name, "Transform")) return kGroupChannel;
    if (length == 10 && EqualsNoCase(name, "Visibility")) return KZeqTakeNode::eVisibility;
    return kNoChannel;
}

void CollectCurves(KFCurveNode* node, std::unordered_set<const KFCurve*>& curves) {
    if (KFCurve* curve = node->FCurveGet()) curves.insert(curve);
    for (int i = 0; i < node->GetCount(); ++i) CollectCurves(node->Get(i), curves);
}

}  // namespace

KProperty* KZeqDefaultTakeCallback::GetProperty() const { return static_cast<KProperty*>(mProperty.Get()); }

KZeqTakeNodeContainer::KZeqTakeNodeContainer(KZeqSdkManager& manager, const char* name, KError* error)
    : KZeqObject(manager, name), mError(error) {}

KZeqTakeNodeContainer::~KZeqTakeNodeContainer() {
    DestroyTakeNodes();
    UnregisterAllDefaultTakeCallback();
}

void KZeqTakeNodeContainer::SetError(const char* message) {
    if (mError) mError->SetLastError(0, message);
}

void KZeqTakeNodeContainer::DestroyTakeNodes() {
    // The default take's curves end last; each ends its own callback record.
    if (!std::exchange(mTakesReadAhead, false)) {
        std::vector<KFCurveNode*> roots;
        for (const auto& take : mTakeNodes)
            if (KFCurveNode* root = take->GetMadeKFCurveNode()) roots.push_back(root);
        FetchTrees(std::move(roots));
    }
    while (!mTakeNodes.empty()) mTakeNodes.pop_back();
    if (mTakeIndex) mTakeIndex->Drop();
    mCurrentTakeNode = -1;
}

void KZeqTakeNodeContainer::ReadTakesAhead(KZeqTakeNodeContainer* const* containers, std::size_t count) {
    std::vector<KFCurveNode*> roots;
    for (std::size_t i = 0; i < count; ++i) {
        for (const auto& take : containers[i]->mTakeNodes)
            if (KFCurveNode* root = take->GetMadeKFCurveNode()) roots.push_back(root);
        containers[i]->mTakesReadAhead = true;
    }
    FetchTrees(std::move(roots));
}

void KZeqTakeNodeContainer::Init() {
    CreateTakeNode("Default");
    mCurrentTakeNode = 0;
}

void KZeqTakeNodeContainer::Reset() {
    DestroyTakeNodes();
    Init();
}

KZeqTakeNodeContainer& KZeqTakeNodeContainer::operator=(KZeqTakeNodeContainer& other) {
    if (this == &other) return *this;
    KZeqObject::operator=(other);
    while (!mTakeNodes.empty()) mTakeNodes.pop_back();
    if (mTakeIndex) mTakeIndex->Drop();
    for (auto& take : other.mTakeNodes) AppendTakeNode(std::make_unique<KZeqTakeNode>(*take));
    mCurrentTakeNode = other.mCurrentTakeNode;
    return *this;
}

KZeqTakeNode* KZeqTakeNodeContainer::GetTakeNode(int index) {
    if (index < 0 || index >= GetTakeNodeCount()) {
        SetError(kTakeNodeDoesNotExist);
        return nullptr;
    }
    return mTakeNodes[static_cast<std::size_t>(index)].get();
}

const char* KZeqTakeNodeContainer::GetTakeNodeName(int index) {
    KZeqTakeNode* take = GetTakeNode(index);
    return take ? take->GetName() : nullptr;
}

KZeqTakeNode* KZeqTakeNodeContainer::GetDefaultTakeNode() const {
    return mTakeNodes.empty() ? nullptr : mTakeNodes.front().get();
}

KZeqTakeNode* KZeqTakeNodeContainer::GetCurrentTakeNode() { return GetTakeNode(mCurrentTakeNode); }

const char* KZeqTakeNodeContainer::GetCurrentTakeNodeName() { return GetTakeNodeName(mCurrentTakeNode); }

bool KZeqTakeNodeContainer::SetCurrentTakeNode(int index) {
    if (index < 0 || index >= GetTakeNodeCount()) {
        SetError(kIndexOutOfRange);
        mCurrentTakeNode = 0;
        return false;
    }
    mCurrentTakeNode = index;
    return true;
}

bool KZeqTakeNodeContainer::SetCurrentTakeNode(const char* name) {
    const int index = FindTakeNode(name);
    if (index >= 0) {
        mCurrentTakeNode = index;
        return true;
    }
    SetError(kUnknownTakeNodeName);
    mCurrentTakeNode = 0;
    return false;
}

int KZeqTakeNodeContainer::FindTakeNode(const char* name) const {
    if (!name) return -1;
    const int count = GetTakeNodeCount();
    const auto index = [&]() -> const KNameIndex& {
        return KNameIndex::Current(mTakeIndex, KNameIndex::eExact, KZeqTakeNode::GetNameEpoch(), count, [this](int i) {
            return std::make_pair(mTakeNodes[static_cast<std::size_t>(i)]->GetName(), false);
        });
    };
    return KFindNamed(count, name, index, [&](int i) {
        return std::strcmp(mTakeNodes[static_cast<std::size_t>(i)]->GetName(), name) == 0;
    });
}

void KZeqTakeNodeContainer::AppendTakeNode(std::unique_ptr<KZeqTakeNode> take) {
    const int count = GetTakeNodeCount();
    if (mTakeIndex && mTakeIndex->GetCount() == count) mTakeIndex->Append(take->GetName(), false);
    mTakeNodes.push_back(std::move(take));
}

KZeqTakeNode* KZeqTakeNodeContainer::CreateTakeNode(const char* name) {
    if (!name) return nullptr;
    if (FindTakeNode(name) >= 0) {
        SetError(kTakeNodeAlreadyExists);
        return nullptr;
    }
    std::unique_ptr<KZeqTakeNode> take;
    if (mTakeNodes.empty()) {
        take = std::make_unique<KZeqTakeNode>(name);
        mMakingFirstTake = true;
        AddChannels(take.get());
        mMakingFirstTake = false;
    } else {
        take = std::make_unique<KZeqTakeNode>(*mTakeNodes.front(), name);
    }
    AppendTakeNode(std::move(take));
    return mTakeNodes.back().get();
}

bool KZeqTakeNodeContainer::RemoveTakeNode(int index) {
    if (index == 0) {
        SetError(kCannotRemoveDefault);
        return false;
    }
    if (index < 0 || index >= GetTakeNodeCount()) {
        SetError(kIndexOutOfRange);
        return false;
    }
    // The same take stays current: the indices above the removed one move down.
    if (index <= mCurrentTakeNode) --mCurrentTakeNode;
    mTakeNodes.erase(mTakeNodes.begin() + index);
    if (mTakeIndex) mTakeIndex->Drop();
    return true;
}

bool KZeqTakeNodeContainer::RemoveTakeNode(const char* name) {
    const int index = FindTakeNode(name);
    if (index == 0) {
        SetError(kCannotRemoveDefault);
        return false;
    }
    if (index > 0) return RemoveTakeNode(index);
    SetError(kUnknownTakeNodeName);
    return false;
}

bool KZeqTakeNodeContainer::GetAnimationInterval(KTime& start, KTime& stop) {
    if (mCurrentTakeNode < 0 || mCurrentTakeNode >= GetTakeNodeCount()) return false;
    KTime takeStart = KTime::Infinite(), takeStop = KTime::MinusInfinite();
    if (!mTakeNodes[static_cast<std::size_t>(mCurrentTakeNode)]->GetAnimationInterval(takeStart, takeStop))
        return false;
    if (takeStart < start) start = takeStart;
    if (takeStop > stop) stop = takeStop;
    return true;
}

bool KZeqTakeNodeContainer::IsChannelAnimated(const char* group, const char* node, const char* channel) {
    for (std::size_t i = 1; i < mTakeNodes.size(); ++i)
        if (mTakeNodes[i]->IsChannelAnimated(group, node, channel)) return true;
    return false;
}

bool KZeqTakeNodeContainer::IsChannelAnimated(const char* group, const char* node, KDataType* channel) {
    for (std::size_t i = 1; i < mTakeNodes.size(); ++i)
        if (mTakeNodes[i]->IsChannelAnimated(group, node, channel)) return true;
    return false;
}

// ---- Property channels --------------------------------------------------------------

void KZeqTakeNodeContainer::CreateChannelsForProperty(KProperty* property, KZeqTakeNode* take) {
    if (!property || !take) return;
    const bool isDefault = KString(take->GetName()).CompareNoCase("Default") == 0;
    KFCurveNode* root = take->GetKFCurveNode();
    const char* name = property->GetPropertyName();
    if (FindPropertyChannel(root, name)) return;

    KDataType* dataType = property->GetPropertyDataType();
    const int count = dataType ? dataType->GetMemberCount() : ChannelCountOfType(property->GetPropertyType());
    KFCurveNode* node = nullptr;
    if (count <= 1) {
        node = root->FindOrCreate(name, true);
        if (node && isDefault) RegisterDefaultTakeCallback(property, 0, node->FCurveGet());
    } else {
        node = root->FindOrCreate(name, false);
        for (int i = 0; node && i < count && i < kMaxChannels; ++i) {
            KFCurveNode* channel = ChannelAt(node, i);
            if (channel && isDefault) RegisterDefaultTakeCallback(property, i, channel->FCurveGet());
        }
    }
    if (node) UpdateDefaultValuesWithProperty(node, property);
}

void KZeqTakeNodeContainer::PropertyAdded(KZeqUserProperty* property) {
    if (!property || !property->GetFlag(KZeqUserProperty::eANIMATABLE)) return;
    KProperty* wrapped = property->GetKProperty();
    if (wrapped) wrapped->ModifyPropertyFlag(kPropertyFlagAnimated, true);
    const KString name = property->GetName();
    const KString effective = GetEffectivePropertyName(name);
    const bool threeValues = IsThreeValueType(property->GetPropertyType());

    for (std::size_t take = 0; take < mTakeNodes.size(); ++take) {
        KFCurveNode* root = mTakeNodes[take]->GetKFCurveNode();
        KFCurveNode* node = FindPropertyChannel(root, name);
        // The transform channels belong to the object: found, never made.
        if (node || effective != name) {
            if (node) UpdateDefaultValuesWithProperty(node, property);
            continue;
        }
        node = root->FindOrCreate(name.Buffer(), !threeValues);
        if (!node) continue;
        if (take == 0 && wrapped) {
            if (threeValues) {
                for (int i = 0; i < 3; ++i)
                    if (KFCurveNode* channel = ChannelAt(node, i))
                        RegisterDefaultTakeCallback(wrapped, i, channel->FCurveGet());
            } else {
                RegisterDefaultTakeCallback(wrapped, 0, node->FCurveGet());
            }
        }
        UpdateDefaultValuesWithProperty(node, property);
    }
}

void KZeqTakeNodeContainer::PropertyRemoved(KZeqUserProperty* property) {
    if (!property) return;
    const KString name = property->GetName();
    for (auto& take : mTakeNodes) {
        KFCurveNode* node = FindPropertyChannel(take->GetKFCurveNode(), name);
        KFCurveNode* parent = node ? node->GetParent() : nullptr;
        if (!parent) continue;
        // Detached alone, the node would leak with curves still aimed at a
        // property about to end.
        UnregisterSubtree(node);
        parent->Delete(parent->Find(node));
    }
}

void KZeqTakeNodeContainer::PropertyDefaultValueChanged(KZeqUserProperty* property) {
    if (!property || !property->GetFlag(KZeqUserProperty::eANIMATABLE)) return;
    if (mCurrentTakeNode < 0 || mCurrentTakeNode >= GetTakeNodeCount()) return;
    const KString name = property->GetName();
    for (KZeqTakeNode* take : {mTakeNodes[static_cast<std::size_t>(mCurrentTakeNode)].get(), GetDefaultTakeNode()}) {
        // Channels not made yet take the values they would: only values of the
        // standard channels change, else they are made first.
        if (take->IsDeferred() && std::strlen(name.Buffer()) == name.GetLen()) {
            const int first = StandardChannelOf(name.Buffer());
            if (first == kNoChannel) continue;
            const bool threeValues = IsThreeValueType(property->GetPropertyType());
            if (first >= 0 && threeValues == (first != KZeqTakeNode::eVisibility)) {
                float* values = take->GetStandardValues();
                if (threeValues) {
                    double xyz[3] = {0.0, 0.0, 0.0};
                    property->GetDefaultValue(xyz[0], xyz[1], xyz[2]);
                    for (int i = 0; i < 3; ++i) values[first + i] = static_cast<float>(xyz[i]);
                } else {
                    double value = 0.0;
                    property->GetDefaultValue(value);
                    values[first] = static_cast<float>(value);
                }
                continue;
            }
        }
        if (KFCurveNode* node = FindPropertyChannel(take->GetKFCurveNode(), name))
            UpdateDefaultValuesWithProperty(node, property);
    }
}

void KZeqTakeNodeContainer::UpdateDefaultTakeFromProperties() {
    KZeqTakeNode* take = GetDefaultTakeNode();
    if (!take) return;
    KArrayTemplate<KProperty*> properties;
    FillPropertyList(&properties);
    if (take->IsDeferred()) {
        // The values the standard channels would take, as below; nothing else is made.
        float* values = take->GetStandardValues();
        for (int i = 0; i < properties.GetCount(); ++i) {
            KProperty* property = properties[i];
            const int first = property ? StandardChannelOf(property->GetPropertyName()) : kNoChannel;
            if (first < 0) continue;
            double read[kPropertyMaxMembers];
            const int count = property->GetDataAsDoubles(read, kPropertyMaxMembers);
            const bool run = count == 3 || count == 4;
            if (first == KZeqTakeNode::eVisibility) {
                if (!run && count > 0) values[first] = static_cast<float>(read[0]);
            } else if (run) {
                for (int k = 0; k < 3; ++k) values[first + k] = static_cast<float>(read[k]);
            }
        }
        return;
    }
    for (int i = 0; i < properties.GetCount(); ++i) {
        KProperty* property = properties[i];
        if (!property) continue;
        if (KFCurveNode* node = FindPropertyChannel(take->GetKFCurveNode(), property->GetPropertyName()))
            UpdateDefaultValuesWithProperty(node, property);
    }
}

void KZeqTakeNodeContainer::UpdatePropertiesFromDefaultTake() {
    KArrayTemplate<KProperty*> properties;
    FillPropertyList(&properties);
    UpdatePropertiesFromDefaultTake(properties);
}

void KZeqTakeNodeContainer::UpdatePropertiesFromDefaultTake(KArrayTemplate<KProperty*>& properties,
                                                             std::vector<KZeqPropertyValues>* replaced) {
    KZeqTakeNode* take = GetDefaultTakeNode();
    if (!take) return;
    // Channels not made yet are not made for this: their values are at hand.
    const float* standard = take->IsDeferred() ? take->GetStandardValues() : nullptr;
    KFCurveNode* root = standard ? nullptr : take->GetKFCurveNode();
    for (int i = 0; i < properties.GetCount(); ++i) {
        KProperty* property = properties[i];
        if (!property || !property->IsAnimatable()) continue;
        KZeqPropertyValues was{property, 0, {}};
        was.mCount = property->GetDataAsDoubles(was.mValues, kPropertyMaxMembers);
        if (was.mCount <= 0 || was.mCount > kPropertyMaxMembers) continue;
        double values[kPropertyMaxMembers];
        std::copy(was.mValues, was.mValues + was.mCount, values);
        // A channel holds a float: a member it holds as the float of the
        // member's value agrees, and keeps its precision.
        const auto fromChannel = [&](int k, float value) {
            if (KPropertyDoubleToFloat(was.mValues[k]) != value) values[k] = value;
        };
        // Three or four members come from the channel's children, one from its own curve.
        const bool run = was.mCount == 3 || was.mCount == 4;
        if (standard) {
            const int first = StandardChannelOf(property->GetPropertyName());
            if (first < 0 || run == (first == KZeqTakeNode::eVisibility)) continue;
            for (int k = 0; k < (run ? 3 : 1); ++k) fromChannel(k, standard[first + k]);
        } else {
            KFCurveNode* node = FindPropertyChannel(root, property->GetPropertyName());
            if (!node) continue;
            if (run) {
                for (int k = 0; k < was.mCount && k < node->GetCount(); ++k)
                    if (KFCurve* curve = node->Get(k)->FCurveGet()) fromChannel(k, curve->GetValue());
            } else if (KFCurve* curve = node->FCurveGet()) {
                fromChannel(0, curve->GetValue());
            }
        }
        if (std::equal(values, values + was.mCount, was.mValues)) continue;
        if (replaced) replaced->push_back(was);
        property->SetDataFromDoubles(values, was.mCount);
    }
}

// ---- Callback records -----------------------------------------------------------------

void KZeqTakeNodeContainer::RegisterDefaultTakeCallback(KProperty* property, int channel, KFCurve* curve) {
    if (!property || !curve) return;
    MakeDeferredCallbacks();
    RegisterCallbackRecord(property, channel, curve);
}

void KZeqTakeNodeContainer::RegisterCallbackRecord(KProperty* property, int channel, KFCurve* curve) {
    if (!curve) return;
    mCallbacks.push_back(std::unique_ptr<KZeqDefaultTakeCallback>(
        new KZeqDefaultTakeCallback{HdlKPlug(property), channel, curve, this}));
    curve->CallbackRegister(DefaultTakeValueChangedCallback, mCallbacks.back().get());
}

void KZeqTakeNodeContainer::MakeDeferredCallbacks() const {
    // Records are listed in the order they were made: the default take's come first.
    KZeqTakeNode* take = GetDefaultTakeNode();
    if (take && take->IsDeferred() && take->GetDeferredCallbacks()) take->GetKFCurveNode();
}

int KZeqTakeNodeContainer::GetDefaultTakeCallbackCount() const {
    MakeDeferredCallbacks();
    return static_cast<int>(mCallbacks.size());
}

void KZeqTakeNodeContainer::UnregisterDefaultTakeCallback(KZeqDefaultTakeCallback*& record) {
    if (!record) return;
    // From the back: a take's curves end from its last channel to its first, the order their
    // records were made in reversed.
    std::uint64_t steps = 0;
    for (auto it = mCallbacks.end(); it != mCallbacks.begin();) {
        ++steps;
        if ((--it)->get() != record) continue;
        if (record->mCurve) record->mCurve->CallbackUnregister(DefaultTakeValueChangedCallback, record);
        mCallbacks.erase(it);
        record = nullptr;
        break;
    }
    KCountSteps(KStepKind::eSearch, steps);
}

void KZeqTakeNodeContainer::UnregisterAllDefaultTakeCallback() {
    if (KZeqTakeNode* take = GetDefaultTakeNode()) take->DropDeferredCallbacks();
    while (!mCallbacks.empty()) {
        KZeqDefaultTakeCallback* record = mCallbacks.back().get();
        UnregisterDefaultTakeCallback(record);
    }
}

KZeqDefaultTakeCallback* KZeqTakeNodeContainer::GetDefaultTakeCallback(int index) const {
    MakeDeferredCallbacks();
    return index >= 0 && index < GetDefaultTakeCallbackCount() ? mCallbacks[static_cast<std::size_t>(index)].get()
                                                               : nullptr;
}

void KZeqTakeNodeContainer::UnregisterSubtree(KFCurveNode* node) {
    std::unordered_set<const KFCurve*> curves;
    CollectCurves(node, curves);
    for (std::size_t i = mCallbacks.size(); i-- > 0;) {
        if (!curves.count(mCallbacks[i]->mCurve)) continue;
        KZeqDefaultTakeCallback* record = mCallbacks[i].get();
        UnregisterDefaultTakeCallback(record);
    }
}

// ---- Values between properties and curves -------------------------------------------------

void UpdateDefaultValuesWithProperty(KFCurveNode* node, KZeqUserProperty* property) {
    if (!node || !property) return;
    if (IsThreeValueType(property->GetPropertyType())) {
        double values[3] = {0.0, 0.0, 0.0};
        property->GetDefaultValue(values[0], values[1], values[2]);
        for (int i = 0; i < 3; ++i) {
            KFCurveNode* channel = ChannelAt(node, i);
            if (!channel) continue;
            if (!channel->FCurveGet()) channel->FCurveSet(KFCurveCreate(), true);
            SetValueQuietly(channel->FCurveGet(), values[i]);
        }
        return;
    }
    double value = 0.0;
    property->GetDefaultValue(value);
    if (!node->FCurveGet()) node->FCurveSet(KFCurveCreate(), true);
    SetValueQuietly(node->FCurveGet(), value);
}

void UpdateDefaultValuesWithProperty(KFCurveNode* node, KProperty* property) {
    if (!node || !property) return;
    double values[kPropertyMaxMembers];
    const int count = property->GetDataAsDoubles(values, kPropertyMaxMembers);
    if (count == 3 || count == 4) {
        for (int i = 0; i < count; ++i) {
            KFCurveNode* channel = node->Get(i);
            if (channel && channel->FCurveGet()) SetValueQuietly(channel->FCurveGet(), values[i]);
        }
    } else if (count > 0 && node->FCurveGet()) {
        SetValueQuietly(node->FCurveGet(), values[0]);
    }
}

void WriteDefaultTakeValue(KProperty* property, int channel, double value) {
    if (!property) return;
    if (KDataType* dataType = property->GetPropertyDataType()) {
        if (dataType->SizeOf() <= kPropertyMaxDataSize && dataType->GetMemberCount() > channel)
            property->SetDataMember(channel, value);
        return;
    }
    switch (property->GetPropertyType()) {
        case kPropertyTypeInteger:
        case kPropertyTypeBool:
        case kPropertyTypeEnum: property->SetInteger(TruncateToInt(value)); break;
        case kPropertyTypeFloat:
        case kPropertyTypeDouble: property->SetDouble(value); break;
        case kPropertyTypeVector4:
        case kPropertyTypeVector:
        case kPropertyTypeColor:
        case kPropertyTypeColorRGBA: property->SetDataMember(channel, value); break;
        default: break;
    }
}

void DefaultTakeValueChangedCallback(KFCurve* curve, KFCurveEvent* event, void* data) {
    auto* record = static_cast<KZeqDefaultTakeCallback*>(data);
    if (!curve || !event || !record) return;
    if (event->mType & KFCURVEEVENT_DEFAULT_VALUE) WriteDefaultTakeValue(record->GetProperty(), record->mChannel, curve->GetValue());
    if (event->mType & KFCURVEEVENT_DESTROY) record->mContainer->UnregisterDefaultTakeCallback(record);
}

// ---- Built-in properties kept by a property handler -----------------------------------------

void KZeqTakeNodeContainer::PublishHandlerProperties(KZeqPropertyHandler& handler) {
    // An object publishing for the first time wraps nothing yet: no lookup per property.
    const bool fresh = GetPropertyCount() == 0;
    for (int i = 0; i < handler.GetPropertyCount(); ++i) {
        KProperty* property = handler.GetProperty(i);
        if (!fresh && WrapsProperty(property)) continue;
        KZeqUserProperty* user = GetSdkManager().CreateKZeqUserProperty(property);
        if (!user) continue;
        AddProperty(user);
        user->SetPropertyHandler(&handler);
    }
}

void KZeqTakeNodeContainer::FillHandlerPropertyList(KZeqPropertyHandler& handler, void* list) {
    auto* properties = static_cast<KArrayTemplate<KProperty*>*>(list);
    for (int i = 0; properties && i < handler.GetPropertyCount(); ++i) properties->Add(handler.GetProperty(i));
}

void KZeqTakeNodeContainer::AddHandlerProperty(KZeqPropertyHandler& handler, KZeqUserProperty* property) {
    if (!property) return;
    handler.CreateKProperty(property);
    KZeqTakeNodeContainer::PropertyAdded(property);
}

void KZeqTakeNodeContainer::RemoveHandlerProperty(KZeqPropertyHandler& handler, KZeqUserProperty* property) {
    if (!property) return;
    KZeqTakeNodeContainer::PropertyRemoved(property);
    handler.DestroyKProperty(property);
}

void KZeqTakeNodeContainer::AddHandlerChannels(KZeqPropertyHandler& handler, KZeqTakeNode* take) {
    for (int i = 0; take && i < handler.GetPropertyCount(); ++i) {
        KProperty* property = handler.GetProperty(i);
        if (property->IsAnimatable()) CreateChannelsForProperty(property, take);
    }
}

}  // namespace zeqsdk_400
