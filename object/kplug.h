#ifndef ZEQ_OBJECT_KPLUG_H
#define ZEQ_OBJECT_KPLUG_H

#include <cstdint>
#include <memory>

#include "object/ikobject.h"
#include "object/kclassdefinition.h"
#include "object/khandle.h"

namespace zeqsdk_400 {

class KObject;
class KPlug;
class KSubPlug;
class KPlugScope;

// Notices of the connection machinery. Each notice goes to a plug and then,
// with the same arguments, to the plug's owner; "other" is the plug at the
// other end.
enum kPlugAction {
    // To the destination: may "other" become a new source? Only this notice can
    // refuse (a false answer leaves both sides untouched).
    kPlugSrcConnectRequest = 0,
    kPlugSrcConnecting = 2,     // to the destination, before the connection is made
    kPlugDstConnecting = 3,     // to the source, before
    kPlugSrcConnected = 4,      // to the destination, after
    kPlugDstConnected = 5,      // to the source, after
    kPlugSrcDisconnecting = 6,  // to the destination, before the connection is removed
    kPlugDstDisconnecting = 7,  // to the source, before
    kPlugSrcDisconnected = 8,   // to the destination, after
    kPlugDstDisconnected = 9,   // to the source, after
    // To an object around a change of its property list; "other" is the property.
    kPlugPropertyAdding = 10,
    kPlugPropertyAdded = 11,
    kPlugPropertyRemoving = 12,
    kPlugPropertyRemoved = 13,
    // To a property around a change of its value; "other" is null.
    kPlugDataChanging = 18,
    kPlugDataChanged = 19
};

typedef int kConnectionType;

// One notice in progress; mPrevious is the notice during which it was sent
// (null for a notice sent from outside any notice).
struct KPlugCallstack {
    const KPlugCallstack* mPrevious;
    KPlug* mPlug;
    kPlugAction mAction;
    int mDepth;
};

// Connectable node of the object model. A plug keeps its sources and its
// destinations in two ordered lists; each entry is a handle with its
// connection type, so an entry can never lead to a destroyed plug.
class KPlug : public IKObject {
public:
    typedef int kType;
    enum kDirection { eDirectionNone = 0, eDirectionSrc = 1, eDirectionDst = 2, eDirectionSrcDst = 3 };
    enum EStatus {
        eStatusDestroyPending = 1,  // Destroy was asked while destruction was postponed
        eStatusListed = 2,          // in its owner's property list
        eStatusDestroying = 8,      // Destruct has begun
        eStatusUnheard = 16         // see SetNoticesUnheard
    };

    static int ClassId;
    static KClassDefinition ClassDefinition;
    static const char* ClassName;

    KPlug();
    KPlug(const KPlug&) = delete;
    KPlug& operator=(const KPlug&) = delete;
    // Unlinks every remaining connection without notices and frees the handle
    // slot: every handle to the plug reads null afterwards.
    ~KPlug() override;

    // The plug itself for kIKObjectInterfaceId and KPlug::ClassId, else null.
    IKObject* IQuery(unsigned long interfaceId, int reserved) override;
    // While destruction is postponed (a notice is running on the plug) only
    // marks the plug; otherwise runs Destruct and deletes it. Heap plugs only.
    void Destroy(int reserved = 0) override;
    // Disconnects everything, with notices. Running it twice does no harm.
    virtual void Destruct();

    virtual bool Is(int classId) const;
    virtual int GetClassId() const;
    virtual const char* GetClassIdName() const;
    virtual KClassDefinition* GetClassDefinition() const;

    // The plug's handling of a notice (see kPlugAction); answers true by default.
    virtual bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                            kConnectionType type, KPlug* replacement);

    // Connects src as a source of this plug (appended to both lists). False
    // when refused, for a null plug, the plug itself, a plug already connected
    // as a source, or a plug being destroyed.
    bool ConnectSrc(KPlug* src, kConnectionType type = 0);
    bool ConnectDst(KPlug* dst, kConnectionType type = 0);
    // Removes the connection, with notices; false when there was none.
    bool DisconnectSrc(KPlug* src);
    bool DisconnectDst(KPlug* dst);
    void DisconnectAllSrc();
    void DisconnectAllDst();
    void DisconnectAll();
    bool IsConnectedSrc(const KPlug* src) const;
    bool IsConnectedDst(const KPlug* dst) const;

    // Connections in connection order; null / -1 outside the list.
    int GetSrcCount() const;
    KPlug* GetSrc(int index) const;
    HdlKPlug GetSrcHandle(int index) const;
    kConnectionType GetSrcType(int index) const;
    int GetDstCount() const;
    KPlug* GetDst(int index) const;
    HdlKPlug GetDstHandle(int index) const;
    kConnectionType GetDstType(int index) const;
    // Index of a connected plug, -1 when not connected.
    int FindSrc(const KPlug* src) const;
    int FindDst(const KPlug* dst) const;

    // Connections restricted to the plugs of a class (and its derived classes).
    int GetSrcCount(const KPlugFilter* filter) const;
    KPlug* GetSrc(const KPlugFilter* filter, int index) const;
    int GetDstCount(const KPlugFilter* filter) const;
    KPlug* GetDst(const KPlugFilter* filter, int index) const;
    // The filtered view of this plug for a filter, made on first use and owned
    // by the plug. Null for a null filter.
    KSubPlug* SubPlugGetOrCreate(KPlugFilter* filter);

    void SetFilter(KPlugFilter* filter, kType type);
    KPlugFilter* GetFilter() const;
    kType GetFilterType() const;

    // The direction word; its low three bits are the kDirection (3 for a new plug).
    kDirection GetDirection() const { return static_cast<kDirection>(mDirection & 7u); }
    void SetDirection(kDirection direction) { mDirection = (mDirection & ~7u) | (static_cast<unsigned>(direction) & 7u); }
    std::uint32_t GetDirectionWord() const { return mDirection; }

    // A word for the caller's own use; the object model never reads it.
    int GetTag() const { return mTag; }
    void SetTag(int tag) { mTag = tag; }

    // The object that owns this plug (a property's object), null when none.
    KObject* GetOwner() const { return mOwner; }

    // Handle to this plug (takes a slot of the handle table on first use).
    HdlKPlug GetHandle() const;
    unsigned GetStatus() const { return mStatus; }
    bool IsBeingDestroyed() const { return (mStatus & eStatusDestroying) != 0; }
    // True while the plug has at least one connection.
    bool HasConnections() const;
    // Tells that no one hears the list and value notices sent to this plug:
    // its class's PlugNotify and its owner's ignore them. They are then not
    // sent (connection notices always are). An owner says so of the properties
    // it made; it no longer holds once the plug changes owner.
    void SetNoticesUnheard(bool unheard) { SetStatusBits(eStatusUnheard, unheard); }
    bool AreNoticesUnheard() const { return (mStatus & eStatusUnheard) != 0; }

protected:
    // Sends a notice to this plug and then to its owner; false when one refuses.
    // Destruction of both is postponed while the notice runs.
    bool Notify(kPlugAction action, int index, KPlug* other, kConnectionType type = 0);
    // The same within a scope already held on this plug; answers whether this
    // plug is still there afterwards.
    bool NotifyInScope(KPlugScope& scope, kPlugAction action, int index, KPlug* other, kConnectionType type = 0);
    void SetOwnerInternal(KObject* owner) {
        if (owner != mOwner) mStatus &= static_cast<std::uint16_t>(~eStatusUnheard);
        mOwner = owner;
    }
    void SetStatusBits(unsigned bits, bool on) { mStatus = on ? (mStatus | bits) : (mStatus & ~bits); }

    // Connects src to dst at the given positions (-1 appends) of dst's source
    // list and of src's destination list.
    static bool Connect(KPlug* dst, KPlug* src, kConnectionType type, int srcPos, int dstPos);
    static bool Disconnect(KPlug* dst, KPlug* src);

private:
    friend class KPostponeGuard;
    friend class KPlugScope;
    friend class KObject;
    struct Links;

    static bool ConnectNoticed(KPlug* dst, KPlug* src, kConnectionType type, int srcPos, int dstPos);
    static bool Send(KPlug* plug, kPlugAction action, int index, KPlug* other, kConnectionType type);
    void UnlinkSilently();

    KObject* mOwner = nullptr;
    std::unique_ptr<Links> mLinks;  // connections, filter and views; made on first use
    mutable std::uint32_t mHandleSlot = 0;
    mutable std::uint32_t mHandleId = 0;  // 0 until the first handle
    std::uint32_t mDirection = eDirectionSrcDst;
    int mTag = 0;
    std::uint16_t mPostponedDestroy = 0;
    std::uint16_t mStatus = 0;
};

// Holds back the destruction of a plug and of its owner while calls that may
// end them run (notices, owner accessors), and tells whether they are still
// there: a Destroy asked for meanwhile runs when the scope ends, and a plug
// deleted anyway (by a Destroy that ignores the postponement) reads as gone.
class KPlugScope {
public:
    explicit KPlugScope(KPlug* plug);
    ~KPlugScope();
    KPlugScope(const KPlugScope&) = delete;
    KPlugScope& operator=(const KPlugScope&) = delete;

    bool IsAlive() const { return mPlugSlot ? *mPlugSlot != nullptr : mPlug != nullptr; }
    bool IsOwnerAlive() const { return mOwnerSlot ? *mOwnerSlot != nullptr : mOwner != nullptr; }
    KPlug* GetOwner() const { return mOwner; }

private:
    KPlug* mPlug;
    KPlug* mOwner;
    KPlug* const* mPlugSlot;   // its entry in this thread's watch list (null: not watched)
    KPlug* const* mOwnerSlot;
    int mMark;
};

// Filtered view of a plug's connections: only the plugs its filter accepts,
// in connection order.
class KSubPlug {
public:
    KSubPlug(KPlug* parent, KPlugFilter* filter) : mParent(parent), mFilter(filter) {}
    KPlug* GetParent() const { return mParent; }
    KPlugFilter* GetFilter() const { return mFilter; }
    int GetSrcCount() const { return mParent->GetSrcCount(mFilter); }
    KPlug* GetSrc(int index) const { return mParent->GetSrc(mFilter, index); }
    int GetDstCount() const { return mParent->GetDstCount(mFilter); }
    KPlug* GetDst(int index) const { return mParent->GetDst(mFilter, index); }

private:
    KPlug* mParent;
    KPlugFilter* mFilter;
};

}  // namespace zeqsdk_400

#endif
