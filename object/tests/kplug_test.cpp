#include "object/kplug.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "object/kobject.h"
#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

namespace {

// Records every notice as "receiver:action:plug<other".
class NoticeLog {
public:
    void Name(const KPlug* plug, const std::string& name) { mNames[plug] = name; }
    std::string NameOf(const KPlug* plug) const {
        if (!plug) return "-";
        auto it = mNames.find(plug);
        return it == mNames.end() ? "?" : it->second;
    }
    void Add(const KPlug* receiver, int action, const KPlug* plug, const KPlug* other) {
        mLines.push_back(NameOf(receiver) + ":" + std::to_string(action) + ":" + NameOf(plug) + "<" + NameOf(other));
    }
    std::vector<std::string> Take() {
        std::vector<std::string> lines;
        lines.swap(mLines);
        return lines;
    }

private:
    std::map<const KPlug*, std::string> mNames;
    std::vector<std::string> mLines;
};

typedef std::function<bool(kPlugAction action, KPlug* plug, KPlug* other)> Hook;

class LoggedObject : public KObject {
public:
    LoggedObject(NoticeLog* log, const std::string& name) : mLog(log) { log->Name(this, name); }
    bool PlugNotify(KPlugCallstack* cs, kPlugAction action, KPlug* plug, int index, KPlug* other, kConnectionType type,
                    KPlug* replacement) override {
        mLog->Add(this, action, plug, other);
        if (!KObject::PlugNotify(cs, action, plug, index, other, type, replacement)) return false;
        // A copy: the hook may end this object.
        Hook hook = mHook;
        return !hook || hook(action, plug, other);
    }
    NoticeLog* mLog;
    Hook mHook;
};

class LoggedProperty : public KPropertyTemplate<double> {
public:
    LoggedProperty(NoticeLog* log, const std::string& name) : mLog(log) { log->Name(this, name); }
    bool PlugNotify(KPlugCallstack*, kPlugAction action, KPlug* plug, int, KPlug* other, kConnectionType,
                    KPlug*) override {
        mLog->Add(this, action, plug, other);
        Hook hook = mHook;
        return !hook || hook(action, plug, other);
    }
    NoticeLog* mLog;
    Hook mHook;
};

// An object with one logged member property.
class Holder : public LoggedObject {
public:
    Holder(NoticeLog* log, const std::string& name) : LoggedObject(log, name), mProp(log, name + ".p") {
        PropertyAddToList(&mProp);
        mProp.SetPropertyInfo("p", this, nullptr, nullptr);
    }
    LoggedProperty mProp;
};

// Ends itself at once, ignoring any postponement: the machinery must cope.
class RudeObject : public LoggedObject {
public:
    using LoggedObject::LoggedObject;
    void Destroy(int) override {
        Destruct();
        delete this;
    }
};

class KPlugTest : public ::testing::Test {
protected:
    void SetUp() override { log.Take(); }
    NoticeLog log;
};

typedef std::vector<std::string> Lines;

}  // namespace

TEST_F(KPlugTest, ConnectSendsTheNoticesInOrderToPlugsAndOwners) {
    Holder dst(&log, "D");
    LoggedObject src(&log, "S");
    log.Take();
    ASSERT_TRUE(dst.mProp.ConnectSrc(&src));
    EXPECT_EQ((Lines{"D.p:0:D.p<S", "D:0:D.p<S", "D.p:2:D.p<S", "D:2:D.p<S", "S:3:S<D.p", "D.p:4:D.p<S", "D:4:D.p<S",
                     "S:5:S<D.p"}),
              log.Take());
    EXPECT_TRUE(dst.mProp.IsConnectedSrc(&src));
    EXPECT_TRUE(src.IsConnectedDst(&dst.mProp));
    EXPECT_EQ(&src, dst.mProp.GetSrc(0));
    EXPECT_EQ(&dst.mProp, src.GetDst(0));

    ASSERT_TRUE(dst.mProp.DisconnectSrc(&src));
    EXPECT_EQ((Lines{"D.p:6:D.p<S", "D:6:D.p<S", "S:7:S<D.p", "D.p:8:D.p<S", "D:8:D.p<S", "S:9:S<D.p"}), log.Take());
    EXPECT_EQ(0, dst.mProp.GetSrcCount());
    EXPECT_EQ(0, src.GetDstCount());
    EXPECT_FALSE(dst.mProp.DisconnectSrc(&src));
    EXPECT_TRUE(log.Take().empty());
}

TEST_F(KPlugTest, OnlyTheRequestCanRefuseAndARefusalChangesNothing) {
    Holder dst(&log, "D");
    LoggedObject src(&log, "S");
    LoggedObject other(&log, "O");
    ASSERT_TRUE(src.ConnectDst(&other));
    // The owner refuses.
    dst.mHook = [](kPlugAction action, KPlug*, KPlug*) { return action != kPlugSrcConnectRequest; };
    log.Take();
    EXPECT_FALSE(dst.mProp.ConnectSrc(&src));
    EXPECT_EQ((Lines{"D.p:0:D.p<S", "D:0:D.p<S"}), log.Take());
    EXPECT_EQ(0, dst.mProp.GetSrcCount());
    EXPECT_EQ(1, src.GetDstCount());
    EXPECT_EQ(&other, src.GetDst(0));
    // A false answer to a later notice does not undo anything.
    dst.mHook = [](kPlugAction action, KPlug*, KPlug*) { return action == kPlugSrcConnectRequest; };
    EXPECT_TRUE(dst.mProp.ConnectSrc(&src));
    EXPECT_TRUE(dst.mProp.DisconnectSrc(&src));
    EXPECT_EQ(0, dst.mProp.GetSrcCount());
}

TEST_F(KPlugTest, ConnectionListsKeepOrderSidesAndTypes) {
    LoggedObject hub(&log, "H");
    LoggedObject a(&log, "A"), b(&log, "B"), c(&log, "C"), d(&log, "D");
    EXPECT_TRUE(hub.ConnectDst(&c, 7));
    EXPECT_TRUE(hub.ConnectSrc(&a, 1));
    EXPECT_TRUE(hub.ConnectSrc(&b, 2));
    EXPECT_TRUE(hub.ConnectDst(&d, 8));
    EXPECT_EQ(2, hub.GetSrcCount());
    EXPECT_EQ(2, hub.GetDstCount());
    EXPECT_EQ(&a, hub.GetSrc(0));
    EXPECT_EQ(&b, hub.GetSrc(1));
    EXPECT_EQ(&c, hub.GetDst(0));
    EXPECT_EQ(&d, hub.GetDst(1));
    EXPECT_EQ(2, hub.GetSrcType(1));
    EXPECT_EQ(8, hub.GetDstType(1));
    EXPECT_EQ(7, c.GetSrcType(0));
    EXPECT_EQ(nullptr, hub.GetSrc(2));
    EXPECT_EQ(nullptr, hub.GetDst(-1));
    EXPECT_EQ(-1, hub.GetSrcType(5));
    EXPECT_EQ(1, hub.FindSrc(&b));
    EXPECT_EQ(-1, hub.FindSrc(&c));
    EXPECT_EQ(1, hub.FindDst(&d));
    // Refused: duplicate, self, null.
    EXPECT_FALSE(hub.ConnectSrc(&a));
    EXPECT_FALSE(hub.ConnectSrc(&hub));
    EXPECT_FALSE(hub.ConnectSrc(nullptr));
    EXPECT_EQ(2, hub.GetSrcCount());
    // Removing from the middle keeps the rest in order.
    EXPECT_TRUE(hub.DisconnectSrc(&a));
    EXPECT_EQ(&b, hub.GetSrc(0));
    hub.DisconnectAll();
    EXPECT_EQ(0, hub.GetSrcCount() + hub.GetDstCount());
    EXPECT_EQ(0, a.GetDstCount() + b.GetDstCount() + c.GetSrcCount() + d.GetSrcCount());
}

TEST_F(KPlugTest, HandlesReadNullOnceTheObjectIsGone) {
    KObject* object = new KObject;
    HdlKObject handle(object);
    HdlKPlug plugHandle(object);
    HdlKObject copy = handle;
    EXPECT_EQ(object, handle.Get());
    EXPECT_EQ(object, plugHandle.Get());
    object->Destroy();
    EXPECT_EQ(nullptr, handle.Get());
    EXPECT_EQ(nullptr, plugHandle.Get());
    EXPECT_EQ(nullptr, copy.Get());
    EXPECT_FALSE(copy.IsValid());
    // Slots are reused, identifiers are not.
    std::vector<KObject*> fresh;
    for (int i = 0; i < 8; ++i) {
        fresh.push_back(new KObject);
        (void)fresh.back()->GetHandle();
    }
    EXPECT_EQ(nullptr, handle.Get());
    for (KObject* o : fresh) o->Destroy();
    // A handle to a stack object goes null when it leaves its scope.
    HdlKObject scoped;
    {
        KObject local;
        scoped = &local;
        EXPECT_TRUE(scoped.IsValid());
    }
    EXPECT_FALSE(scoped.IsValid());
    EXPECT_EQ(nullptr, HdlKObject().Get());
}

TEST_F(KPlugTest, DestroyingAnObjectDisconnectsItEverywhere) {
    LoggedObject parent(&log, "P"), child(&log, "C");
    Holder watcher(&log, "W");
    Holder* victim = new Holder(&log, "V");
    ASSERT_TRUE(parent.ConnectSrc(victim));
    ASSERT_TRUE(victim->ConnectSrc(&child));
    ASSERT_TRUE(watcher.mProp.ConnectSrc(&victim->mProp));
    HdlKObject handle(victim);
    log.Take();
    victim->Destroy();
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(0, parent.GetSrcCount());
    EXPECT_EQ(0, child.GetDstCount());
    EXPECT_EQ(0, watcher.mProp.GetSrcCount());
    // Every partner heard of it before and after.
    Lines lines = log.Take();
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("P:6:P<V"));
    EXPECT_TRUE(has("P:8:P<V"));
    EXPECT_TRUE(has("C:7:C<V"));
    EXPECT_TRUE(has("C:9:C<V"));
    EXPECT_TRUE(has("W.p:8:W.p<V.p"));
    EXPECT_TRUE(has("W:8:W.p<V.p"));
}

TEST_F(KPlugTest, AnObjectDestroyingItselfDuringANoticeIsEndedAfterwards) {
    Holder dst(&log, "D");
    LoggedObject* src = new LoggedObject(&log, "S");
    HdlKObject handle(src);
    src->mHook = [src](kPlugAction action, KPlug*, KPlug*) {
        if (action == kPlugDstConnected) src->Destroy();  // postponed: we are inside a notice
        return true;
    };
    EXPECT_FALSE(dst.mProp.ConnectSrc(src));
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(0, dst.mProp.GetSrcCount());
}

TEST_F(KPlugTest, AnObjectDeletedAtOnceDuringANoticeStopsTheConnection) {
    for (int when : {kPlugDstConnecting, kPlugDstConnected}) {
        Holder dst(&log, "D");
        RudeObject* src = new RudeObject(&log, "S");
        HdlKObject handle(src);
        bool fired = false;
        src->mHook = [src, when, &fired](kPlugAction action, KPlug*, KPlug*) {
            if (action == when && !fired) {
                fired = true;
                src->Destroy(0);
            }
            return true;
        };
        EXPECT_FALSE(dst.mProp.ConnectSrc(src));
        EXPECT_FALSE(handle.IsValid());
        EXPECT_EQ(0, dst.mProp.GetSrcCount());
        EXPECT_EQ(nullptr, dst.mProp.GetSrc(0));
    }
}

TEST_F(KPlugTest, AnOwnerDeletedDuringItsPropertysNoticeTakesThePropertyAlong) {
    LoggedObject src(&log, "S");
    Holder* dst = new Holder(&log, "D");
    HdlKPlug propertyHandle(&dst->mProp);
    dst->mHook = [dst](kPlugAction action, KPlug*, KPlug*) {
        if (action == kPlugSrcConnecting) dst->Destroy(0);
        return true;
    };
    // The destruction waits for the end of the call, which then reports
    // that no connection is left.
    EXPECT_FALSE(dst->mProp.ConnectSrc(&src));
    EXPECT_FALSE(propertyHandle.IsValid());
    EXPECT_EQ(0, src.GetDstCount());
}

TEST_F(KPlugTest, DestroyDuringADisconnectNotice) {
    LoggedObject dst(&log, "D");
    RudeObject* src = new RudeObject(&log, "S");
    ASSERT_TRUE(dst.ConnectSrc(src));
    bool fired = false;  // once: its own destruction disconnects again
    src->mHook = [src, &fired](kPlugAction action, KPlug*, KPlug*) {
        if (action == kPlugDstDisconnecting && !fired) {
            fired = true;
            src->Destroy(0);
        }
        return true;
    };
    EXPECT_TRUE(dst.DisconnectSrc(src));
    EXPECT_EQ(0, dst.GetSrcCount());
}

TEST_F(KPlugTest, NothingConnectsToAnObjectBeingDestroyed) {
    LoggedObject watcher(&log, "W");
    LoggedObject* victim = new LoggedObject(&log, "V");
    ASSERT_TRUE(watcher.ConnectSrc(victim));
    bool reconnected = true;
    watcher.mHook = [&](kPlugAction action, KPlug*, KPlug* other) {
        if (action == kPlugSrcDisconnected) reconnected = watcher.ConnectSrc(other);
        return true;
    };
    victim->Destroy();
    EXPECT_FALSE(reconnected);
    EXPECT_EQ(0, watcher.GetSrcCount());
}

TEST_F(KPlugTest, DestructTwiceDoesNoHarm) {
    LoggedObject a(&log, "A");
    KObject* b = new KObject;
    ASSERT_TRUE(a.ConnectSrc(b));
    b->Destruct();
    b->Destruct();
    EXPECT_TRUE(b->IsBeingDestroyed());
    EXPECT_EQ(0, a.GetSrcCount());
    b->Destroy();
}

TEST_F(KPlugTest, FilteredConnectionLists) {
    KObject hub;
    KObject o1, o2;
    KPropertyTemplate<bool> p1, p2;
    ASSERT_TRUE(hub.ConnectSrc(&p1));
    ASSERT_TRUE(hub.ConnectSrc(&o1));
    ASSERT_TRUE(hub.ConnectSrc(&p2));
    ASSERT_TRUE(hub.ConnectSrc(&o2));
    ASSERT_TRUE(hub.ConnectDst(&p1));
    KPlugFilter* objects = KPlug_GetFilter(KObject::ClassId);
    KPlugFilter* properties = KPlug_GetFilter(KProperty::ClassId);
    EXPECT_EQ(2, hub.GetSrcCount(objects));
    EXPECT_EQ(&o1, hub.GetSrc(objects, 0));
    EXPECT_EQ(&o2, hub.GetSrc(objects, 1));
    EXPECT_EQ(nullptr, hub.GetSrc(objects, 2));
    EXPECT_EQ(nullptr, hub.GetSrc(objects, -1));
    EXPECT_EQ(&p2, hub.GetSrc(properties, 1));
    EXPECT_EQ(1, hub.GetDstCount(properties));
    EXPECT_EQ(0, hub.GetDstCount(objects));

    KSubPlug* view = hub.SubPlugGetOrCreate(objects);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(view, hub.SubPlugGetOrCreate(objects));
    EXPECT_EQ(nullptr, hub.SubPlugGetOrCreate(nullptr));
    EXPECT_EQ(2, view->GetSrcCount());
    EXPECT_EQ(4, hub.SubPlugGetOrCreate(KPlug_GetFilter(-1))->GetSrcCount());
    EXPECT_EQ(4, hub.SubPlugGetOrCreate(KPlug_GetFilter(KPlug::ClassId))->GetSrcCount());
    // The view follows the connections as they change.
    hub.DisconnectSrc(&o1);
    EXPECT_EQ(1, view->GetSrcCount());
    EXPECT_EQ(&o2, view->GetSrc(0));
}

TEST_F(KPlugTest, NoticesCarryTheirCallChain) {
    LoggedObject a(&log, "A"), b(&log, "B"), c(&log, "C");
    int nestedDepth = -1;
    class Probe : public KObject {
    public:
        std::function<void(KPlugCallstack*, kPlugAction)> mOnNotice;
        bool PlugNotify(KPlugCallstack* cs, kPlugAction action, KPlug*, int, KPlug*, kConnectionType,
                        KPlug*) override {
            if (mOnNotice) mOnNotice(cs, action);
            return true;
        }
    } probe;
    probe.mOnNotice = [&](KPlugCallstack* cs, kPlugAction action) {
        if (action == kPlugSrcConnected && cs->mDepth == 0) b.ConnectSrc(&c);
    };
    b.mHook = [&](kPlugAction action, KPlug*, KPlug*) {
        if (action == kPlugSrcConnected) nestedDepth = 1;
        return true;
    };
    ASSERT_TRUE(probe.ConnectSrc(&a));
    EXPECT_EQ(1, nestedDepth);
    EXPECT_TRUE(b.IsConnectedSrc(&c));
}

namespace {

// Ends itself from its own data notice, in either of two ways.
class SelfEnding : public KObject {
public:
    explicit SelfEnding(bool rude) : mRude(rude) {
        PropertyAddToList(&mValue);
        mValue.SetPropertyInfo("Value", this, nullptr, nullptr);
    }
    void Destroy(int reserved) override {
        if (!mRude) return KObject::Destroy(reserved);
        Destruct();
        delete this;
    }
    bool PlugNotify(KPlugCallstack*, kPlugAction action, KPlug*, int, KPlug*, kConnectionType, KPlug*) override {
        if (action == mWhen) Destroy(0);
        return true;
    }
    bool mRude;
    kPlugAction mWhen = kPlugDataChanging;
    KPropertyTemplate<double> mValue;
};

}  // namespace

TEST(KPlugNotices, AnOwnerEndingDuringADataNoticeIsSafe) {
    for (bool rude : {false, true}) {
        for (kPlugAction when : {kPlugDataChanging, kPlugDataChanged}) {
            SelfEnding* object = new SelfEnding(rude);
            object->mWhen = when;
            HdlKObject handle(object);
            object->mValue.SetDouble(1.0);
            EXPECT_FALSE(handle.IsValid()) << rude << " " << when;
        }
    }
    // A listed property's notice during the owner's own notice.
    SelfEnding* object = new SelfEnding(false);
    object->mWhen = kPlugPropertyAdded;
    HdlKObject handle(object);
    KPropertyTemplate<bool>* extra = new KPropertyTemplate<bool>;
    object->PropertyAddToList(extra);  // not dynamic: stays ours to delete
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(nullptr, extra->GetOwner());
    delete extra;
}
