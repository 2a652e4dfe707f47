// The curve-node tree: construction, children, names, curves, flags, links,
// user locks and callbacks. Layers and time warps are in kfcurvenodelayer.cpp.
#include "fcurve/kfcurvenode.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/knameindex.h"
#include "fcurve/kfcurve.h"
#include "object/kdatatype.h"
#include "object/kproperty.h"

namespace zeqsdk_400 {

struct KFCurveNode::CallbackRecord {
    KFCurveNodeEvent mEvent;
    std::vector<std::pair<kFCurveNodeCallback, void*>> mCallbacks;
    bool mEnabled = true;
};

// The channels of each layer met that go with a node's children, and the node's neutral run, as
// of the epochs of links and names; a layer whose names may change unheard is looked up again on
// every use. Most nodes have a few children and layers: those are held in place.
struct KFCurveNode::LayerChannelCache {
    static constexpr int kFew = 4;
    struct Layer {
        const KFCurveNode* mLayer = nullptr;
        bool mVolatile = false;
        KFCurveNode* mFew[kFew] = {};
        std::vector<KFCurveNode*> mMany;  // only for more than kFew children
        KFCurveNode** Channels() { return mMany.empty() ? mFew : mMany.data(); }
    };
    static constexpr int kLayers = 4;
    std::uint64_t mLinkEpoch = 0;
    std::uint64_t mNameEpoch = 0;
    Layer mLayers[kLayers];
    int mLayerCount = 0;
    int mZeroCount = -1;  // the neutral run's length, once asked
    double mFewZeros[kFew] = {};
    std::vector<double> mManyZeros;
    double* Zeros() { return mZeroCount > kFew ? mManyZeros.data() : mFewZeros; }
};

namespace {

int UpperByte(char c) { return std::toupper(static_cast<unsigned char>(c)); }

// Byte-wise comparison of upper-cased texts, as strcmp orders them.
int CompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int ca = UpperByte(*a);
        const int cb = UpperByte(*b);
        if (ca != cb || ca == 0) return ca - cb;
    }
}

KNameEpoch gNameEpoch;
// Advanced by every change of a node's children, its curve or its layer type, and by every node
// destroyed (a layer's channels are kept by the layer's address).
KNameEpoch gLinkEpoch;

bool EqualsNoCase(std::string_view segment, const char* name) {
    std::size_t i = 0;
    for (; i < segment.size(); ++i)
        if (name[i] == '\0' || UpperByte(segment[i]) != UpperByte(name[i])) return false;
    return name[i] == '\0';
}

bool SegmentMatches(std::string_view segment, const KFCurveNode* node) {
    if (EqualsNoCase(segment, node->GetName())) return true;
    if (segment.size() != 1) return false;
    const KDataType* type = node->GetDataType();
    switch (segment[0]) {
        case 'T': return type == &KDataTypeLclTranslation;
        case 'R': return type == &KDataTypeLclRotation;
        case 'S': return type == &KDataTypeLclScaling;
        default: return false;
    }
}

// The first node matching segment among node's children, each child's subtree
// being searched before the next child.
KFCurveNode* FindSegment(const KFCurveNode* node, std::string_view segment) {
    const int count = node->GetCount();
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = node->Get(i);
        if (SegmentMatches(segment, child)) return child;
        if (KFCurveNode* found = FindSegment(child, segment)) return found;
    }
    return nullptr;
}

}  // namespace

// ---- Construction ----------------------------------------------------------------

KFCurveNode::KFCurveNode(const char* name, const char* timeWarpName, KDataType* dataType, int layerType, int layerId)
    : mNameInfo(new NameInfo), mObjectLayer(this), mLayerID(layerId) {
    mNameInfo->mName = name ? name : "";
    mNameInfo->mTimeWarpName = timeWarpName ? timeWarpName : "";
    mNameInfo->mDataType = dataType;
    SetLayerType(layerType, nullptr);
}

KFCurveNode::KFCurveNode(NameInfo* borrowed, int layerType, int layerId)
    : mNameInfoLent(true), mNameInfo(borrowed), mObjectLayer(this), mLayerID(layerId) {
    ++borrowed->mRefCount;
    SetLayerType(layerType, nullptr);
}

KFCurveNode::KFCurveNode(KFCurveNode* source) : mObjectLayer(this), mTemplate(source) {
    if (!source) {
        mNameInfo = new NameInfo;
        return;
    }
    SetNameInfo(source->OwnNameInfo());
    SetLayerType(source->mLayerType, nullptr);
    mRotationOrder = source->mRotationOrder;
    mUseQuaternion = source->mUseQuaternion;
    mSpecificCandidateMethod = source->mSpecificCandidateMethod;
    mTotalCandidateMethod = source->mTotalCandidateMethod;
    std::memcpy(mCandidateTotalValue, source->mCandidateTotalValue, sizeof(mCandidateTotalValue));
    mCandidateTotalTime = source->mCandidateTotalTime;
}

KFCurveNode::~KFCurveNode() {
    LinksChanged();
    mDestroying = true;
    CallbackAddEvent(KFCURVENODEEVENT_DESTROY);
    mCallback.reset();
    Clear();
    if (mParent) {
        const int index = mParent->Find(this);
        if (index >= 0) {
            mParent->mChildren.RemoveAt(index);
            if (mParent->mChildIndex) mParent->mChildIndex->Drop();
        }
        mParent = nullptr;
    }
    ReleaseNameInfo();
}

void KFCurveNode::Destroy(int) { delete this; }

KFCurveNode* KFCurveNodeCreate(const char* name, const char* timeWarpName, const char* dataTypeName, int layerType,
                               int layerId) {
    return new KFCurveNode(name, timeWarpName, KDataTypeGet(dataTypeName), layerType, layerId);
}

KFCurveNode* KFCurveNodeCreate(const char* name, KDataType* dataType, int layerType, int layerId) {
    const char* timeWarpName = dataType == &KDataTypeTimeWarp ? "" : name;
    return new KFCurveNode(name, timeWarpName, dataType, layerType, layerId);
}

KFCurveNode* KFCurveNodeCreate(KFCurveNode* source) { return new KFCurveNode(source); }

KFCurveNode* KFCurveNode::CloneTemplate(bool copy, bool cloneCurves, bool createCurves, int layerId) {
    const int id = layerId == -1 ? mLayerID : layerId;
    KFCurveNode* clone;
    if (copy) {
        clone = new KFCurveNode(this);
    } else {
        // Take trees are cloned from one tree many times over: their records are
        // held once until written to.
        if (CanLendNameInfo()) {
            mNameInfoLent = true;
            clone = new KFCurveNode(mNameInfo, mLayerType, id);
        } else {
            clone = new KFCurveNode(mNameInfo ? mNameInfo->mName.Buffer() : "", GetTimeWarpName(), GetDataType(),
                                    mLayerType, id);
        }
        clone->mUserLock = mUserLock;
        clone->SetUseQuaternion(mUseQuaternion);
        clone->SetRotationOrder(mRotationOrder);
        clone->SetFlagBits(KFCURVENODE_VISIBILITY, mFlags);
        if (id != 0) clone->mObjectLayer = mObjectLayer;
    }
    if (mFCurve) {
        if (cloneCurves) {
            KFCurve* curve = KFCurveCreate();
            curve->CopyFrom(*mFCurve, true);
            clone->FCurveSet(curve, true);
        }
        if (createCurves) clone->FCurveSet(KFCurveCreate(), true);
    }
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) clone->Add(mChildren[i]->CloneTemplate(copy, cloneCurves, createCurves, id));
    return clone;
}

KFCurveNode* KFCurveNode::Clone(bool copy) { return CloneTemplate(copy, true, false, -1); }

// ---- Children ---------------------------------------------------------------------

void KFCurveNode::Clear() {
    // The time warp goes first: should it lie in this subtree, it then leaves
    // the children itself instead of being released after its deletion.
    KFCurveNode* timeWarp = std::exchange(mTimeWarp, nullptr);
    ReleaseReference(timeWarp);
    for (int i = mChildren.GetCount() - 1; i >= 0; --i) {
        if (GetContainerType())
            Remove(i);
        else
            Delete(i);
    }
    mChildren.Clear();
    if (mChildIndex) mChildIndex->Drop();
    if (mFCurve) {
        mFCurve->Destroy();
        mFCurve = nullptr;
    }
    KFCurveNode* next = std::exchange(mNextLayer, nullptr);
    ReleaseReference(next);
    mObjectLayer = this;
    LinksChanged();
}

bool KFCurveNode::IsAncestorOrSelf(const KFCurveNode* node) const {
    // A container does not parent its children, so ownership cycles are also
    // looked for through the child lists.
    return node == this || node->IsChild(const_cast<KFCurveNode*>(this), true);
}

int KFCurveNode::InsertChild(int index, KFCurveNode* node) {
    if (!node || IsAncestorOrSelf(node)) return -1;
    const int count = mChildren.GetCount();
    const int at = mChildren.InsertAt(index, node);
    LinksChanged();
    if (mChildIndex && at >= 0) {
        // Appended, the index grows; anything else moves the positions after it.
        if (at == count && mChildIndex->GetCount() == count)
            mChildIndex->Append(node->GetName(), node->IsNameVolatile());
        else
            mChildIndex->Drop();
    }
    return at;
}

int KFCurveNode::Add(KFCurveNode* node) {
    const int index = InsertChild(mChildren.GetCount(), node);
    if (index >= 0 && !GetContainerType()) node->SetParent(this);
    return index;
}

int KFCurveNode::SortedAdd(KFCurveNode* node) {
    if (!node) return -1;
    const char* name = node->GetName();
    const int count = mChildren.GetCount();
    int index = 0;
    while (index < count && CompareNoCase(mChildren[index]->GetName(), name) < 0) ++index;
    return InsertChild(index, node);
}

void KFCurveNode::Remove(int index) {
    if (index < 0 || index >= mChildren.GetCount()) return;
    KFCurveNode* child = mChildren[index];
    mChildren.RemoveAt(index);
    LinksChanged();
    if (mChildIndex) mChildIndex->Drop();
    if (!GetContainerType() && child->mParent == this) child->mParent = nullptr;
}

void KFCurveNode::Delete(int index) {
    if (index < 0 || index >= mChildren.GetCount()) return;
    KFCurveNode* child = mChildren[index];
    Remove(index);
    // A container's entry may still be parented elsewhere; that parent lets it go.
    child->Destroy();
}

void KFCurveNode::Delete(KFCurveNode* node) {
    if (!node) return;
    const int index = Find(node);
    if (index >= 0)
        Delete(index);
    else
        node->Destroy();
}

int KFCurveNode::GetCount() const { return mChildren.GetCount(); }

KFCurveNode* KFCurveNode::Get(int index) const { return mChildren.GetAt(index); }

bool KFCurveNode::IsChild(KFCurveNode* node, bool recursive) const {
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        if (mChildren[i] == node) return true;
        if (recursive && mChildren[i]->IsChild(node, true)) return true;
    }
    return false;
}

int KFCurveNode::Find(const char* name) const {
    if (!name) return -1;
    return KFindNamed(mChildren.GetCount(), name, [this]() -> const KNameIndex& { return ChildIndex(); },
                      [&](int i) { return CompareNoCase(mChildren[i]->GetName(), name) == 0; });
}

const KNameIndex& KFCurveNode::ChildIndex() const {
    return KNameIndex::Current(mChildIndex, KNameIndex::eNoCase, gNameEpoch, mChildren.GetCount(), [this](int i) {
        return std::make_pair(mChildren[i]->GetName(), mChildren[i]->IsNameVolatile());
    });
}

bool KFCurveNode::IsNameVolatile() const {
    // A property's name, a record given out, or one shared on purpose (not lent) can be renamed
    // through something else than this node.
    const NameInfo* info = mNameInfo;
    return !info || info->mProperty || mNameInfoExposed || (!mNameInfoLent && info->mRefCount > 1);
}

void KFCurveNode::NamesMayChange() { gNameEpoch.Advance(); }

void KFCurveNode::LinksChanged() { gLinkEpoch.Advance(); }

KFCurveNode::LayerChannelCache* KFCurveNode::CurrentLayerCache() const {
    LayerChannelCache* cache = mLayerChannels.get();
    return cache && cache->mLinkEpoch == gLinkEpoch.Get() && cache->mNameEpoch == gNameEpoch.Get() ? cache : nullptr;
}

KFCurveNode::LayerChannelCache& KFCurveNode::RenewedLayerCache() const {
    if (!mLayerChannels) mLayerChannels = std::make_unique<LayerChannelCache>();
    LayerChannelCache& cache = *mLayerChannels;
    if (cache.mLinkEpoch != gLinkEpoch.Get() || cache.mNameEpoch != gNameEpoch.Get()) {
        cache.mLinkEpoch = gLinkEpoch.Get();
        cache.mNameEpoch = gNameEpoch.Get();
        cache.mZeroCount = -1;
        cache.mLayerCount = 0;
    }
    return cache;
}

const double* KFCurveNode::LayerZeros(int& count) const {
    LayerChannelCache* current = CurrentLayerCache();
    if (!current || current->mZeroCount < 0) {
        LayerChannelCache& cache = RenewedLayerCache();
        const int length = PlainRunLength();
        if (length > LayerChannelCache::kFew) cache.mManyZeros.resize(static_cast<std::size_t>(length));
        cache.mZeroCount = length;
        GetZeroValues(cache.Zeros(), length);
        current = &cache;
    }
    count = current->mZeroCount;
    return current->Zeros();
}

KFCurveNode* const* KFCurveNode::LayerChannelsOf(const KFCurveNode* layer) const {
    const int count = mChildren.GetCount();
    if (count == 0) return nullptr;
    if (LayerChannelCache* current = CurrentLayerCache())
        for (int l = 0; l < current->mLayerCount; ++l)
            if (current->mLayers[l].mLayer == layer && !current->mLayers[l].mVolatile) return current->mLayers[l].Channels();
    LayerChannelCache& cache = RenewedLayerCache();
    LayerChannelCache::Layer* entry = nullptr;
    for (int l = 0; l < cache.mLayerCount; ++l)
        if (cache.mLayers[l].mLayer == layer) entry = &cache.mLayers[l];
    if (!entry) {
        // A longer chain than is held starts the list again.
        if (cache.mLayerCount == LayerChannelCache::kLayers) cache.mLayerCount = 0;
        entry = &cache.mLayers[cache.mLayerCount++];
        entry->mLayer = layer;
    }
    if (count > LayerChannelCache::kFew)
        entry->mMany.resize(static_cast<std::size_t>(count));
    else
        entry->mMany.clear();
    KFCurveNode** channels = entry->Channels();
    bool isVolatile = false;
    for (int i = 0; i < count; ++i) {
        channels[i] = layer ? layer->LayerChannelFor(mChildren[i], i) : nullptr;
        isVolatile = isVolatile || mChildren[i]->IsNameVolatile();
    }
    for (int i = 0; layer && i < layer->mChildren.GetCount(); ++i)
        isVolatile = isVolatile || layer->mChildren[i]->IsNameVolatile();
    entry->mVolatile = isVolatile;
    return channels;
}

int KFCurveNode::Find(KFCurveNode* node) const { return mChildren.Find(node); }

KFCurveNode* KFCurveNode::Find(KDataType* dataType) const {
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i)
        if (mChildren[i]->GetDataType() == dataType) return mChildren[i];
    return nullptr;
}

void KFCurveNode::SetParent(KFCurveNode* parent) { mParent = parent; }

KFCurveNode* KFCurveNode::GetParent() const { return mParent; }

KFCurveNode* KFCurveNode::FindRecursive(KDataType* dataType) const {
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = mChildren[i];
        if (child->GetDataType() == dataType) return child;
        if (KFCurveNode* found = child->FindRecursive(dataType)) return found;
    }
    return nullptr;
}

KFCurveNode* KFCurveNode::FindRecursive(const char* path) const {
    if (!path) return nullptr;
    const KFCurveNode* current = this;
    std::string_view rest(path);
    for (;;) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        KFCurveNode* found = FindSegment(current, segment);
        if (!found) return nullptr;
        if (slash == std::string_view::npos) return found;
        current = found;
        rest.remove_prefix(slash + 1);
    }
}

KFCurveNode* KFCurveNode::FindOrCreate(const char* name, bool createCurve) {
    KFCurveNode* node = Get(Find(name));
    if (!node) {
        node = new KFCurveNode(name, name, nullptr, KFCL_NOLAYER, 0);
        if (Add(node) < 0) {
            node->Destroy();
            return nullptr;
        }
    }
    if (createCurve && !node->mFCurve) node->FCurveSet(KFCurveCreate(), true);
    return node;
}

// ---- Names --------------------------------------------------------------------------

const char* KFCurveNode::GetName() const {
    if (!mNameInfo) return "";
    if (mNameInfo->mProperty) return mNameInfo->mProperty->GetPropertyName();
    // Each read counts as a search step, as a property's name does (what a search by name compares).
    KCountSteps(KStepKind::eSearch, 1);
    return mNameInfo->mName.Buffer();
}

void KFCurveNode::PrefetchParts() const {
    if (mChildren.GetCount() > 0) __builtin_prefetch(mChildren.GetArray());
    if (mNameInfo) __builtin_prefetch(mNameInfo);
}

const char* KFCurveNode::GetTimeWarpName() const { return mNameInfo ? mNameInfo->mTimeWarpName.Buffer() : ""; }

void KFCurveNode::SetTimeWarpName(const char* name) {
    if (NameInfo* info = OwnNameInfo()) info->mTimeWarpName = name ? name : "";
}

const char* KFCurveNode::GetTypeName() const {
    const KDataType* type = GetDataType();
    return type ? type->GetName() : "";
}

KDataType* KFCurveNode::GetDataType() const { return mNameInfo ? mNameInfo->mDataType : nullptr; }

KProperty* KFCurveNode::GetProperty() const { return mNameInfo ? mNameInfo->mProperty : nullptr; }

void KFCurveNode::SetProperty(KProperty* property) {
    NamesMayChange();
    if (NameInfo* info = OwnNameInfo()) info->mProperty = property;
}

KFCurveNode::NameInfo* KFCurveNode::GetNameInfo() const {
    NamesMayChange();
    NameInfo* info = OwnNameInfo();
    if (info) mNameInfoExposed = true;
    return info;
}

void KFCurveNode::SetNameInfo(NameInfo* nameInfo) {
    NamesMayChange();
    // The caller knows the record's address and may write to it.
    if (nameInfo == mNameInfo) {
        OwnNameInfo();
    } else {
        if (nameInfo) ++nameInfo->mRefCount;
        ReleaseNameInfo();
        mNameInfo = nameInfo;
    }
    mNameInfoExposed = nameInfo != nullptr;
}

void KFCurveNode::ReleaseNameInfo() {
    NameInfo* info = std::exchange(mNameInfo, nullptr);
    mNameInfoLent = false;
    mNameInfoExposed = false;
    if (info && --info->mRefCount < 1) delete info;
}

KFCurveNode::NameInfo* KFCurveNode::OwnNameInfo() const {
    if (!mNameInfoLent) return mNameInfo;
    mNameInfoLent = false;
    if (mNameInfo->mRefCount > 1) {
        NameInfo* copy = new NameInfo(*mNameInfo);
        copy->mRefCount = 1;
        --mNameInfo->mRefCount;
        mNameInfo = copy;
    }
    return mNameInfo;
}

bool KFCurveNode::CanLendNameInfo() const {
    const NameInfo* info = mNameInfo;
    if (!info || mNameInfoExposed || info->mProperty) return false;
    // Held by others without being lent: those share the record on purpose.
    if (!mNameInfoLent && info->mRefCount != 1) return false;
    for (const KString* text : {&info->mName, &info->mTimeWarpName})
        if (!text->IsOK() || std::strlen(text->Buffer()) != text->GetLen()) return false;
    return true;
}

// ---- Curves ------------------------------------------------------------------------------

KFCurve* KFCurveNode::FCurveSet(KFCurve* curve, bool destroyOldCurve) {
    // Nothing is replaced, so nothing is handed back for the caller to destroy.
    if (curve == mFCurve) return nullptr;
    KFCurve* old = std::exchange(mFCurve, curve);
    // A channel with a curve or without takes a place in its node's run or none.
    LinksChanged();
    if (destroyOldCurve && old) {
        old->Destroy();
        old = nullptr;
    }
    CallbackAddEvent(KFCURVENODEEVENT_FCURVE);
    return old;
}

void KFCurveNode::FCurveReplace(KFCurve* curve) { FCurveSet(curve, true); }

void KFCurveNode::CreateFCurve() {
    const int count = mChildren.GetCount();
    if (count == 0 && !mFCurve) FCurveSet(KFCurveCreate(), true);
    for (int i = 0; i < count; ++i) mChildren[i]->CreateFCurve();
}

bool KFCurveNode::FCurveCreated() const {
    const int count = mChildren.GetCount();
    if (count == 0) return mFCurve != nullptr;
    for (int i = 0; i < count; ++i)
        if (!mChildren[i]->FCurveCreated()) return false;
    return true;
}

namespace {

template <class Op>
void ForEachCurve(KFCurveNode* node, bool recursive, Op op) {
    if (KFCurve* curve = node->FCurveGet()) op(*curve);
    if (!recursive) return;
    const int count = node->GetCount();
    for (int i = 0; i < count; ++i) ForEachCurve(node->Get(i), true, op);
}

}  // namespace

void KFCurveNode::SetPreExtrapolation(int mode, bool recursive) {
    ForEachCurve(this, recursive, [mode](KFCurve& c) { c.SetPreExtrapolation(mode); });
}

void KFCurveNode::SetPreExtrapolationCount(unsigned int count, bool recursive) {
    ForEachCurve(this, recursive, [count](KFCurve& c) { c.SetPreExtrapolationCount(count); });
}

void KFCurveNode::SetPostExtrapolation(int mode, bool recursive) {
    ForEachCurve(this, recursive, [mode](KFCurve& c) { c.SetPostExtrapolation(mode); });
}

void KFCurveNode::SetPostExtrapolationCount(unsigned int count, bool recursive) {
    ForEachCurve(this, recursive, [count](KFCurve& c) { c.SetPostExtrapolationCount(count); });
}

bool KFCurveNode::GetTransformCurves(KFCurve* t[3], KFCurve* r[3], KFCurve* s[3]) const {
    static const char* const kParts[3] = {"T", "R", "S"};
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    KFCurve** outputs[3] = {t, r, s};
    bool all = true;
    for (int p = 0; p < 3; ++p) {
        const KFCurveNode* part = Get(Find(kParts[p]));
        for (int a = 0; a < 3; ++a) {
            const KFCurveNode* axis = part ? part->Get(part->Find(kAxes[a])) : nullptr;
            outputs[p][a] = axis ? axis->FCurveGet() : nullptr;
            all = all && outputs[p][a];
        }
    }
    return all;
}

void KFCurveNode::GetColor(float rgb[3]) const {
    for (int i = 0; i < 3; ++i) rgb[i] = mFCurve ? mFCurve->GetColor()[i] : 0.0f;
}

void KFCurveNode::SetColor(const float* rgb) {
    if (mFCurve) mFCurve->SetColor(rgb);
}

// ---- Flags --------------------------------------------------------------------------

void KFCurveNode::SetMultiLayer(bool multiLayer) {
    SetFlagBits(KFCURVENODE_MULTILAYER, multiLayer ? ~0u : 0u);
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) mChildren[i]->SetMultiLayer(multiLayer);
}

// ---- Links --------------------------------------------------------------------------

void KFCurveNode::TemplateSet(KFCurveNode* templateNode) {
    mTemplate = templateNode;
    if (!templateNode) return;
    SetNameInfo(templateNode->OwnNameInfo());
    const int count = std::min(mChildren.GetCount(), templateNode->mChildren.GetCount());
    for (int i = 0; i < count; ++i) mChildren[i]->TemplateSet(templateNode->mChildren[i]);
}

void KFCurveNode::DataNodeSet(KFCurveNode* dataNode, bool recursive) {
    if (dataNode == this) dataNode = nullptr;
    // The chain from dataNode has no cycle (none is ever let in), so this ends.
    for (const KFCurveNode* n = dataNode; n; n = n->mDataNode)
        if (n == this) return;
    mDataNode = dataNode;
    if (!recursive) return;
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i) mChildren[i]->DataNodeSet(dataNode ? dataNode->Get(i) : nullptr, true);
}

KFCurveNode* KFCurveNode::DataNodeGet() {
    KFCurveNode* node = mDataNode;
    while (node && node->mDataNode) node = node->mDataNode;
    return node;
}

// ---- User locks ---------------------------------------------------------------------

void KFCurveNode::UserLockAdd() {
    for (KFCurveNode* layer = this; layer; layer = layer->mNextLayer) {
        ++layer->mUserLock;
        const int count = layer->mChildren.GetCount();
        for (int i = 0; i < count; ++i) layer->mChildren[i]->UserLockAdd();
    }
}

void KFCurveNode::UserLockRemove() {
    for (KFCurveNode* layer = this; layer; layer = layer->mNextLayer) {
        --layer->mUserLock;
        const int count = layer->mChildren.GetCount();
        for (int i = 0; i < count; ++i) layer->mChildren[i]->UserLockRemove();
    }
}

// ---- Callbacks ---------------------------------------------------------------------

void KFCurveNode::CallbackRegister(kFCurveNodeCallback callback, void* data) {
    if (!mCallback) mCallback = std::make_unique<CallbackRecord>();
    mCallback->mCallbacks.emplace_back(callback, data);
}

void KFCurveNode::CallbackUnregister(kFCurveNodeCallback callback, void* data) {
    if (!mCallback) return;
    auto& list = mCallback->mCallbacks;
    for (std::size_t i = list.size(); i-- > 0;) {
        if (list[i].first == callback && list[i].second == data) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
    if (list.empty()) mCallback.reset();
}

void KFCurveNode::CallbackEnable(bool enable) {
    if (!mCallback || mCallback->mEnabled == enable) return;
    if (enable && mCallback->mEvent.mType != KFCURVENODEEVENT_NONE) {
        KFCurveNodeEvent event = mCallback->mEvent;
        // By index and re-checked: a callback may register or unregister while it runs.
        for (std::size_t i = 0; mCallback && i < mCallback->mCallbacks.size(); ++i) {
            const auto entry = mCallback->mCallbacks[i];
            entry.first(this, &event, entry.second);
        }
        if (mCallback) mCallback->mEvent.Clear();
    }
    if (mCallback) mCallback->mEnabled = enable;
}

bool KFCurveNode::CallbackIsEnable() const { return !mCallback || mCallback->mEnabled; }

void KFCurveNode::CallbackClear() {
    if (mCallback) mCallback->mEvent.Clear();
}

void KFCurveNode::CallbackAddEvent(unsigned int type) {
    if (!mCallback) return;
    KFCurveNodeEvent& event = mCallback->mEvent;
    event.mType |= type;
    ++event.mEventCount;
    ++mNodeUpdateId;
    if (!mCallback->mEnabled) return;
    DeliverEvent(event);
    if (mCallback) mCallback->mEvent.Clear();
}

void KFCurveNode::DataUpdated(IData* data) {
    if (!mCallback) return;
    if (!mCallback->mEnabled) {
        CallbackAddEvent(KFCURVENODEEVENT_DATAUPDATED);
        return;
    }
    ++mNodeUpdateId;
    KFCurveNodeEvent event;
    event.mType = KFCURVENODEEVENT_DATAUPDATED;
    event.mEventCount = 1;
    event.mData = data;
    DeliverEvent(event);
}

void KFCurveNode::DeliverEvent(KFCurveNodeEvent event) {
    // From the last registered to the first, re-checked as in CallbackEnable.
    for (std::size_t i = mCallback ? mCallback->mCallbacks.size() : 0; i-- > 0;) {
        if (!mCallback) return;
        if (i >= mCallback->mCallbacks.size()) continue;
        const auto entry = mCallback->mCallbacks[i];
        entry.first(this, &event, entry.second);
    }
}

KFCurveNode* KFCurveNodeCopyWhole(const KFCurveNode& node) {
    auto* copy =
        new KFCurveNode(node.GetName(), node.GetTimeWarpName(), node.GetDataType(), node.GetLayerType(), node.GetLayerID());
    copy->SetRotationOrder(node.GetRotationOrder());
    copy->SetUseQuaternion(node.GetUseQuaternion());
    if (KFCurve* curve = node.FCurveGet()) {
        KFCurve* own = KFCurveCreate();
        own->CopyFrom(*curve, true);
        copy->FCurveSet(own, true);
    }
    for (int i = 0; i < node.GetCount(); ++i) copy->Add(KFCurveNodeCopyWhole(*node.Get(i)));
    copy->TimeWarpSet(node.TimeWarpGet());
    if (const KFCurveNode* layer = node.LayerGet()) copy->LayerSet(KFCurveNodeCopyWhole(*layer), true);
    return copy;
}

}  // namespace zeqsdk_400
