#include "object/kplug.h"

#include <vector>

#include "object/kconnectionlist.h"
#include "object/kobject.h"

namespace zeqsdk_400 {

KClassDefinition KPlug::ClassDefinition = {&KPlug::ClassId, nullptr, "KPlug", nullptr};
const char* KPlug::ClassName = "KPlug";
int KPlug::ClassId = KPlug_RegisterClassId(&KPlug::ClassDefinition, -1);

struct KPlug::Links {
    KConnectionList mSrc;
    KConnectionList mDst;
    std::vector<std::unique_ptr<KSubPlug>> mSubPlugs;
    KPlugFilter* mFilter = nullptr;
    KPlug::kType mFilterType = 0;
};

namespace {

// The notice being sent on this thread, so nested notices can see their chain.
thread_local KPlugCallstack* tCurrentNotice = nullptr;

// Plugs that notices running on this thread still have to touch afterwards; a
// plug's destructor clears its entries. Plain data: no per-thread constructor.
struct NoticeWatch {
    static constexpr int kMax = 64;
    KPlug* mPlugs[kMax];
    int mCount;
};
thread_local NoticeWatch tWatch = {{}, 0};

// Index of the new entry, -1 when the list is full (deeper nesting is not watched).
int WatchPush(KPlug* plug) {
    if (tWatch.mCount >= NoticeWatch::kMax) return -1;
    tWatch.mPlugs[tWatch.mCount] = plug;
    return tWatch.mCount++;
}

}  // namespace

// Postpones the destruction of a few plugs while notices run on them, and
// performs a destruction asked for meanwhile once the last guard ends. Plugs
// are held by handle: one destroyed anyway (a Destroy that ignores the
// postponement) is simply skipped.
class KPostponeGuard {
public:
    KPostponeGuard() = default;
    KPostponeGuard(const KPostponeGuard&) = delete;
    KPostponeGuard& operator=(const KPostponeGuard&) = delete;

    void Add(KPlug* plug) {
        if (!plug || mCount == kMax) return;
        HdlKPlug handle = plug->GetHandle();
        for (int i = 0; i < mCount; ++i)
            if (mHandles[i] == handle) return;
        mHandles[mCount++] = handle;
        ++plug->mPostponedDestroy;
    }
    void AddWithOwner(KPlug* plug) {
        Add(plug);
        if (plug && plug->mOwner) Add(plug->mOwner);
    }
    ~KPostponeGuard() {
        for (int i = 0; i < mCount; ++i) {
            KPlug* plug = mHandles[i].Get();
            if (!plug || plug->mPostponedDestroy == 0) continue;
            if (--plug->mPostponedDestroy == 0 && (plug->mStatus & KPlug::eStatusDestroyPending)) {
                plug->mStatus &= static_cast<std::uint16_t>(~KPlug::eStatusDestroyPending);
                plug->Destroy(0);
            }
        }
    }

private:
    static constexpr int kMax = 4;
    HdlKPlug mHandles[kMax];
    int mCount = 0;
};

KPlug::KPlug() = default;

KPlug::~KPlug() {
    for (int i = 0; i < tWatch.mCount; ++i)
        if (tWatch.mPlugs[i] == this) tWatch.mPlugs[i] = nullptr;
    UnlinkSilently();
    if (mHandleId != 0) handle_detail::Release(mHandleSlot, mHandleId);
}

void KPlug::UnlinkSilently() {
    if (!mLinks) return;
    std::vector<KConnection> list;
    // We are a destination of our sources and a source of our destinations.
    for (const bool ofSources : {true, false}) {
        (ofSources ? mLinks->mSrc : mLinks->mDst).TakeAll(list);
        for (const KConnection& c : list) {
            KPlug* other = handle_detail::Resolve(c.mSlot, c.mId);
            if (!other || !other->mLinks) continue;
            KConnectionList& side = ofSources ? other->mLinks->mDst : other->mLinks->mSrc;
            const int at = side.Find(mHandleSlot, mHandleId);
            if (at >= 0) side.RemoveAt(at);
        }
    }
}

IKObject* KPlug::IQuery(unsigned long interfaceId, int) {
    if (interfaceId == kIKObjectInterfaceId || interfaceId == static_cast<unsigned long>(KPlug::ClassId)) return this;
    return nullptr;
}

void KPlug::Destroy(int) {
    if (mPostponedDestroy != 0) {
        mStatus |= eStatusDestroyPending;
        return;
    }
    mPostponedDestroy = 1;
    Destruct();
    delete this;
}

void KPlug::Destruct() {
    mStatus |= eStatusDestroying;
    DisconnectAll();
}

bool KPlug::Is(int classId) const { return KClassDefinition_Is(GetClassDefinition(), classId); }
int KPlug::GetClassId() const { return KClassDefinition_GetId(GetClassDefinition()); }
const char* KPlug::GetClassIdName() const { return GetClassDefinition()->mClassName; }
KClassDefinition* KPlug::GetClassDefinition() const { return &ClassDefinition; }

bool KPlug::PlugNotify(KPlugCallstack*, kPlugAction, KPlug*, int, KPlug*, kConnectionType, KPlug*) { return true; }

HdlKPlug KPlug::GetHandle() const {
    if (mHandleId == 0) {
        handle_detail::SlotRef ref = handle_detail::Acquire(const_cast<KPlug*>(this));
        mHandleSlot = ref.mSlot;
        mHandleId = ref.mId;
    }
    return HdlKPlug(mHandleSlot, mHandleId);
}

// ---------------------------------------------------------------------------
// Notices

bool KPlug::Send(KPlug* plug, kPlugAction action, int index, KPlug* other, kConnectionType type) {
    HdlKPlug handle = plug->GetHandle();
    KPlugCallstack frame{tCurrentNotice, plug, action, tCurrentNotice ? tCurrentNotice->mDepth + 1 : 0};
    KPlugCallstack* previous = tCurrentNotice;
    tCurrentNotice = &frame;
    bool answer = plug->PlugNotify(&frame, action, plug, index, other, type, nullptr);
    // The plug may be gone now; its owner then went with it or was told by its destruction.
    if (handle.Get() == plug && plug->mOwner) {
        KObject* owner = plug->mOwner;
        answer = owner->PlugNotify(&frame, action, plug, index, other, type, nullptr) && answer;
    }
    tCurrentNotice = previous;
    return answer;
}

KPlugScope::KPlugScope(KPlug* plug)
    : mPlug(plug), mOwner(plug ? plug->mOwner : nullptr), mPlugSlot(nullptr), mOwnerSlot(nullptr), mMark(tWatch.mCount) {
    if (mPlug) {
        const int at = WatchPush(mPlug);
        if (at >= 0) mPlugSlot = &tWatch.mPlugs[at];
        ++mPlug->mPostponedDestroy;
    }
    if (mOwner) {
        const int at = WatchPush(mOwner);
        if (at >= 0) mOwnerSlot = &tWatch.mPlugs[at];
        ++mOwner->mPostponedDestroy;
    }
}

KPlugScope::~KPlugScope() {
    bool destroyPlug = false;
    bool destroyOwner = false;
    if (IsAlive()) destroyPlug = --mPlug->mPostponedDestroy == 0 && (mPlug->mStatus & KPlug::eStatusDestroyPending);
    if (IsOwnerAlive())
        destroyOwner = --mOwner->mPostponedDestroy == 0 && (mOwner->mStatus & KPlug::eStatusDestroyPending);
    if (destroyPlug) {
        mPlug->mStatus &= static_cast<std::uint16_t>(~KPlug::eStatusDestroyPending);
        mPlug->Destroy(0);
    }
    if (destroyOwner && IsOwnerAlive()) {
        mOwner->mStatus &= static_cast<std::uint16_t>(~KPlug::eStatusDestroyPending);
        mOwner->Destroy(0);
    }
    tWatch.mCount = mMark;
}

bool KPlug::NotifyInScope(KPlugScope& scope, kPlugAction action, int index, KPlug* other, kConnectionType type) {
    if (mStatus & eStatusUnheard) return scope.IsAlive();
    KPlugCallstack frame{tCurrentNotice, this, action, tCurrentNotice ? tCurrentNotice->mDepth + 1 : 0};
    KPlugCallstack* previous = tCurrentNotice;
    tCurrentNotice = &frame;
    bool answer = PlugNotify(&frame, action, this, index, other, type, nullptr);
    if (scope.GetOwner() && scope.IsAlive() && scope.IsOwnerAlive())
        answer = scope.GetOwner()->PlugNotify(&frame, action, this, index, other, type, nullptr) && answer;
    tCurrentNotice = previous;
    (void)answer;  // value notices cannot be refused
    return scope.IsAlive();
}

bool KPlug::Notify(kPlugAction action, int index, KPlug* other, kConnectionType type) {
    if (mStatus & eStatusUnheard) return true;
    // Cheaper than Send for the frequent value and list notices: no handle is made.
    KPlugScope scope(this);
    KPlugCallstack frame{tCurrentNotice, this, action, tCurrentNotice ? tCurrentNotice->mDepth + 1 : 0};
    KPlugCallstack* previous = tCurrentNotice;
    tCurrentNotice = &frame;
    bool answer = PlugNotify(&frame, action, this, index, other, type, nullptr);
    if (scope.GetOwner() && scope.IsAlive() && scope.IsOwnerAlive())
        answer = scope.GetOwner()->PlugNotify(&frame, action, this, index, other, type, nullptr) && answer;
    tCurrentNotice = previous;
    return answer;
}

// ---------------------------------------------------------------------------
// Connections

int KPlug::FindSrc(const KPlug* src) const {
    if (!mLinks || !src) return -1;
    return mLinks->mSrc.Find(src->mHandleSlot, src->mHandleId);
}

int KPlug::FindDst(const KPlug* dst) const {
    if (!mLinks || !dst) return -1;
    return mLinks->mDst.Find(dst->mHandleSlot, dst->mHandleId);
}

bool KPlug::IsConnectedSrc(const KPlug* src) const {
    if (!src || !mLinks || !src->mLinks) return false;
    // Search the shorter of the two lists that both hold the connection.
    if (GetSrcCount() <= src->GetDstCount()) return FindSrc(src) >= 0;
    return src->FindDst(this) >= 0;
}

bool KPlug::IsConnectedDst(const KPlug* dst) const { return dst && dst->IsConnectedSrc(this); }

int KPlug::GetSrcCount() const { return mLinks ? mLinks->mSrc.GetCount() : 0; }
int KPlug::GetDstCount() const { return mLinks ? mLinks->mDst.GetCount() : 0; }

HdlKPlug KPlug::GetSrcHandle(int index) const {
    if (index < 0 || index >= GetSrcCount()) return HdlKPlug();
    const KConnection& c = mLinks->mSrc.GetAt(index);
    return HdlKPlug(c.mSlot, c.mId);
}

HdlKPlug KPlug::GetDstHandle(int index) const {
    if (index < 0 || index >= GetDstCount()) return HdlKPlug();
    const KConnection& c = mLinks->mDst.GetAt(index);
    return HdlKPlug(c.mSlot, c.mId);
}

KPlug* KPlug::GetSrc(int index) const { return GetSrcHandle(index).Get(); }
KPlug* KPlug::GetDst(int index) const { return GetDstHandle(index).Get(); }

kConnectionType KPlug::GetSrcType(int index) const {
    if (index < 0 || index >= GetSrcCount()) return -1;
    return mLinks->mSrc.GetAt(index).mType;
}

kConnectionType KPlug::GetDstType(int index) const {
    if (index < 0 || index >= GetDstCount()) return -1;
    return mLinks->mDst.GetAt(index).mType;
}

namespace {

// Walks one side's connections through a filter: the match at index, or with a
// negative index none, counting the matches into *count.
template <class Get>
KPlug* FilteredWalk(const KPlugFilter* filter, int total, Get get, int index, int* count) {
    if (count) *count = 0;
    if (!filter) return nullptr;
    for (int i = 0; i < total; ++i) {
        KPlug* plug = get(i);
        if (!filter->IsMatching(plug)) continue;
        if (index-- == 0) return plug;
        if (count) ++*count;
    }
    return nullptr;
}

}  // namespace

int KPlug::GetSrcCount(const KPlugFilter* filter) const {
    int count;
    FilteredWalk(filter, GetSrcCount(), [this](int i) { return GetSrc(i); }, -1, &count);
    return count;
}

KPlug* KPlug::GetSrc(const KPlugFilter* filter, int index) const {
    if (index < 0) return nullptr;
    return FilteredWalk(filter, GetSrcCount(), [this](int i) { return GetSrc(i); }, index, nullptr);
}

int KPlug::GetDstCount(const KPlugFilter* filter) const {
    int count;
    FilteredWalk(filter, GetDstCount(), [this](int i) { return GetDst(i); }, -1, &count);
    return count;
}

KPlug* KPlug::GetDst(const KPlugFilter* filter, int index) const {
    if (index < 0) return nullptr;
    return FilteredWalk(filter, GetDstCount(), [this](int i) { return GetDst(i); }, index, nullptr);
}

KSubPlug* KPlug::SubPlugGetOrCreate(KPlugFilter* filter) {
    if (!filter) return nullptr;
    if (!mLinks) mLinks = std::make_unique<Links>();
    for (auto& sub : mLinks->mSubPlugs)
        if (sub->GetFilter() == filter) return sub.get();
    mLinks->mSubPlugs.push_back(std::make_unique<KSubPlug>(this, filter));
    return mLinks->mSubPlugs.back().get();
}

void KPlug::SetFilter(KPlugFilter* filter, kType type) {
    if (!mLinks) mLinks = std::make_unique<Links>();
    mLinks->mFilter = filter;
    mLinks->mFilterType = type;
}

KPlugFilter* KPlug::GetFilter() const { return mLinks ? mLinks->mFilter : nullptr; }
KPlug::kType KPlug::GetFilterType() const { return mLinks ? mLinks->mFilterType : 0; }
bool KPlug::HasConnections() const { return mLinks && (mLinks->mSrc.GetCount() > 0 || mLinks->mDst.GetCount() > 0); }

bool KPlug::ConnectSrc(KPlug* src, kConnectionType type) { return Connect(this, src, type, -1, -1); }
bool KPlug::ConnectDst(KPlug* dst, kConnectionType type) { return Connect(dst, this, type, -1, -1); }
bool KPlug::DisconnectSrc(KPlug* src) { return Disconnect(this, src); }
bool KPlug::DisconnectDst(KPlug* dst) { return Disconnect(dst, this); }

bool KPlug::Connect(KPlug* dst, KPlug* src, kConnectionType type, int srcPos, int dstPos) {
    if (!dst || !src || dst == src) return false;
    if (dst->IsBeingDestroyed() || src->IsBeingDestroyed() || dst->IsConnectedSrc(src)) return false;
    const HdlKPlug hDst = dst->GetHandle();
    const HdlKPlug hSrc = src->GetHandle();
    {
        KPostponeGuard guard;
        guard.AddWithOwner(dst);
        guard.AddWithOwner(src);
        if (!ConnectNoticed(dst, src, type, srcPos, dstPos)) return false;
    }
    // A destruction asked for during the notices has run by now.
    return hDst.Get() == dst && hSrc.Get() == src && dst->IsConnectedSrc(src);
}

bool KPlug::ConnectNoticed(KPlug* dst, KPlug* src, kConnectionType type, int srcPos, int dstPos) {
    const HdlKPlug hDst = dst->GetHandle();
    const HdlKPlug hSrc = src->GetHandle();
    auto alive = [&] { return hDst.Get() == dst && hSrc.Get() == src; };
    auto srcIndex = [&] {
        const int n = dst->GetSrcCount();
        return srcPos < 0 || srcPos > n ? n : srcPos;
    };
    auto dstIndex = [&] {
        const int n = src->GetDstCount();
        return dstPos < 0 || dstPos > n ? n : dstPos;
    };

    if (!Send(dst, kPlugSrcConnectRequest, srcIndex(), src, type)) return false;
    if (!alive()) return false;
    Send(dst, kPlugSrcConnecting, srcIndex(), src, type);
    if (!alive()) return false;
    Send(src, kPlugDstConnecting, dstIndex(), dst, type);
    if (!alive() || dst->IsBeingDestroyed() || src->IsBeingDestroyed() || dst->IsConnectedSrc(src)) return false;

    if (!dst->mLinks) dst->mLinks = std::make_unique<Links>();
    if (!src->mLinks) src->mLinks = std::make_unique<Links>();
    const int si = srcIndex();
    const int di = dstIndex();
    dst->mLinks->mSrc.InsertAt(si, KConnection{hSrc.GetSlot(), hSrc.GetId(), type});
    if (dst->mOwner) dst->mOwner->mPropertySources = true;
    src->mLinks->mDst.InsertAt(di, KConnection{hDst.GetSlot(), hDst.GetId(), type});

    Send(dst, kPlugSrcConnected, si, src, type);
    if (!alive()) return false;
    Send(src, kPlugDstConnected, di, dst, type);
    return alive() && dst->IsConnectedSrc(src);
}

bool KPlug::Disconnect(KPlug* dst, KPlug* src) {
    if (!dst || !src || !dst->IsConnectedSrc(src)) return false;

    KPostponeGuard guard;
    guard.AddWithOwner(dst);
    guard.AddWithOwner(src);
    const HdlKPlug hDst = dst->GetHandle();
    const HdlKPlug hSrc = src->GetHandle();
    auto alive = [&] { return hDst.Get() == dst && hSrc.Get() == src; };
    const kConnectionType type = dst->GetSrcType(dst->FindSrc(src));

    Send(dst, kPlugSrcDisconnecting, dst->FindSrc(src), src, type);
    if (!alive()) return true;  // a destroyed end has dropped the connection itself
    Send(src, kPlugDstDisconnecting, src->FindDst(dst), dst, type);
    if (!alive()) return true;

    const int si = dst->FindSrc(src);
    const int di = src->FindDst(dst);
    if (si >= 0) dst->mLinks->mSrc.RemoveAt(si);
    if (di >= 0) src->mLinks->mDst.RemoveAt(di);
    if (si < 0) return true;  // removed during the notices

    Send(dst, kPlugSrcDisconnected, si, src, type);
    if (!alive()) return true;
    Send(src, kPlugDstDisconnected, di, dst, type);
    return true;
}

void KPlug::DisconnectAllSrc() {
    KPostponeGuard guard;
    guard.Add(this);
    const HdlKPlug self = GetHandle();
    // From the last source, so that removal does not move the others.
    while (self.Get() == this && GetSrcCount() > 0) {
        const int last = GetSrcCount() - 1;
        KPlug* src = GetSrc(last);
        if (!src || !Disconnect(this, src)) mLinks->mSrc.RemoveAt(last);  // no matching entry on the other side
    }
}

void KPlug::DisconnectAllDst() {
    KPostponeGuard guard;
    guard.Add(this);
    const HdlKPlug self = GetHandle();
    while (self.Get() == this && GetDstCount() > 0) {
        const int last = GetDstCount() - 1;
        KPlug* dst = GetDst(last);
        if (!dst || !Disconnect(dst, this)) mLinks->mDst.RemoveAt(last);
    }
}

void KPlug::DisconnectAll() {
    if (!HasConnections()) return;
    KPostponeGuard guard;
    guard.Add(this);
    const HdlKPlug self = GetHandle();
    DisconnectAllSrc();
    if (self.Get() == this) DisconnectAllDst();
}

}  // namespace zeqsdk_400
