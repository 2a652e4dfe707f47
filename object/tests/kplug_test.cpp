#include "object/kplug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "object/kconnectionlist.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"
#include "object/tests/object_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::objecttest;

namespace {

enum EOperation { eConnect, eDisconnect, eSetValue, eAddProperty };

// An object destroys itself when it hears one notice during an operation: the
// owner of the destination property, or else the source object. Each case runs
// twice: politely, and rudely deleting itself at once.
struct DestroyCase {
    const char* mName;
    EOperation mOperation;
    bool mVictimIsDst;
    kPlugAction mWhen;
};

const DestroyCase kDestroyCases[] = {
    {"SourceBeforeConnect", eConnect, false, kPlugDstConnecting},
    {"SourceAfterConnect", eConnect, false, kPlugDstConnected},
    {"OwnerOfDestinationBeforeConnect", eConnect, true, kPlugSrcConnecting},
    {"OwnerOfDestinationAfterConnect", eConnect, true, kPlugSrcConnected},
    {"SourceBeforeDisconnect", eDisconnect, false, kPlugDstDisconnecting},
    {"SourceAfterDisconnect", eDisconnect, false, kPlugDstDisconnected},
    {"OwnerOfDestinationBeforeDisconnect", eDisconnect, true, kPlugSrcDisconnecting},
    {"OwnerOfDestinationAfterDisconnect", eDisconnect, true, kPlugSrcDisconnected},
    {"OwnerBeforeValue", eSetValue, true, kPlugDataChanging},
    {"OwnerAfterValue", eSetValue, true, kPlugDataChanged},
    {"OwnerWhileListing", eAddProperty, true, kPlugPropertyAdded},
};

typedef std::tuple<DestroyCase, bool> DestroyParam;  // the case, rude
class DestroyDuringANotice : public ::testing::TestWithParam<DestroyParam> {};

enum EPick { eFront, eBack, eRandom };

// How entries are placed while a list grows and removed while it shrinks.
struct EditCase {
    const char* mName;
    EPick mInsert;
    EPick mRemove;
};

const EditCase kEditCases[] = {
    {"AppendRemoveFront", eBack, eFront},   {"AppendRemoveBack", eBack, eBack},
    {"AppendRemoveRandom", eBack, eRandom}, {"InsertRandomRemoveRandom", eRandom, eRandom},
    {"InsertFrontRemoveFront", eFront, eFront}};

void PrintTo(const EditCase& c, std::ostream* out) { *out << c.mName; }
class KConnectionListEdits : public ::testing::TestWithParam<EditCase> {};

KConnection Make(std::uint32_t n) { return KConnection{n % 7, n + 1, static_cast<int>(n)}; }

struct Wiring : KPlug {
    using KPlug::Connect;
};
typedef std::vector<KPlug*> Model;
void EraseFrom(Model& list, KPlug* plug) { list.erase(std::find(list.begin(), list.end(), plug)); }

}  // namespace

// Notices reach the plug, then its owner, in order; only the request can
// refuse; a notice sent during another carries the chain; destroying an object
// disconnects it everywhere, each partner hearing of it, none reconnecting.
TEST(KPlugNotices, ConnectRefuseDisconnectNestAndDestroyInOrder) {
    NoticeLog log;
    Holder dst(&log, "D");
    LoggedObject src(&log, "S"), other(&log, "O");
    ASSERT_TRUE(src.ConnectDst(&other));
    log.Take();
    ASSERT_TRUE(dst.mProp.ConnectSrc(&src));
    // The source hears the index of its new destination: its second.
    EXPECT_EQ((Lines{"D.p:0:D.p<S", "D:0:D.p<S", "D.p:2:D.p<S", "D:2:D.p<S", "S:3:S<D.p#1", "D.p:4:D.p<S",
                     "D:4:D.p<S", "S:5:S<D.p#1"}),
              log.Take());
    EXPECT_TRUE(src.IsConnectedDst(&dst.mProp) && dst.mProp.GetSrc(0) == &src);
    ASSERT_TRUE(dst.mProp.DisconnectSrc(&src));
    EXPECT_EQ((Lines{"D.p:6:D.p<S", "D:6:D.p<S", "S:7:S<D.p#1", "D.p:8:D.p<S", "D:8:D.p<S", "S:9:S<D.p#1"}),
              log.Take());
    EXPECT_FALSE(dst.mProp.GetSrcCount() || dst.mProp.DisconnectSrc(&src));
    EXPECT_TRUE(log.Take().empty());
    dst.mHook = [](kPlugAction action, KPlug*) { return action != kPlugSrcConnectRequest; };
    EXPECT_FALSE(dst.mProp.ConnectSrc(&src));
    EXPECT_EQ((Lines{"D.p:0:D.p<S", "D:0:D.p<S"}), log.Take());
    EXPECT_TRUE(dst.mProp.GetSrcCount() == 0 && src.GetDstCount() == 1 && src.GetDst(0) == &other);
    dst.mHook = [&](kPlugAction action, KPlug* plug) {  // refusing any other notice changes nothing
        if (action == kPlugSrcConnected && plug == &src) {
            EXPECT_TRUE(dst.mProp.ConnectSrc(&other));
        }
        return action == kPlugSrcConnectRequest;
    };
    ASSERT_TRUE(dst.mProp.ConnectSrc(&src));
    EXPECT_EQ((Lines{"D.p:0:D.p<S", "D:0:D.p<S", "D.p:2:D.p<S", "D:2:D.p<S", "S:3:S<D.p#1", "D.p:4:D.p<S",
                     "D:4:D.p<S", "4>D.p:0:D.p<O#1", "4>D:0:D.p<O#1", "4>D.p:2:D.p<O#1", "4>D:2:D.p<O#1",
                     "4>O:3:O<D.p", "4>D.p:4:D.p<O#1", "4>D:4:D.p<O#1", "4>O:5:O<D.p", "S:5:S<D.p#1"}),
              log.Take());
    EXPECT_TRUE(dst.mProp.GetSrc(0) == &src && dst.mProp.GetSrc(1) == &other);
    Holder* victim = new Holder(&log, "V");
    HdlKObject handle(victim);
    ASSERT_TRUE(src.ConnectSrc(victim) && victim->ConnectSrc(&other) && dst.mProp.ConnectSrc(&victim->mProp));
    bool reconnected = false;
    src.mHook = [&](kPlugAction action, KPlug* plug) {
        if (action == kPlugSrcDisconnected) reconnected = src.ConnectSrc(plug);
        return true;
    };
    log.Take();
    victim->Destroy();
    EXPECT_FALSE(handle.IsValid() || reconnected);
    EXPECT_TRUE(src.GetSrcCount() == 0 && other.GetDstCount() == 1 && dst.mProp.GetSrcCount() == 2);
    const Lines lines = log.Take();
    for (const char* line : {"S:6:S<V", "S:8:S<V", "O:7:O<V#1", "O:9:O<V#1", "D.p:8:D.p<V.p#2", "D:8:D.p<V.p#2"})
        EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), line)) << line;
}

// Order and positions are the random model's below; here sides, types, bounds,
// refusals and the filtered views.
TEST(KPlugConnections, SidesTypesRefusalsAndFilteredViews) {
    KObject hub, a, b, c, d;
    EXPECT_TRUE(hub.ConnectDst(&c, 7) && hub.ConnectSrc(&a, 1) && hub.ConnectSrc(&b, 2) && hub.ConnectDst(&d, 8));
    EXPECT_TRUE(hub.GetSrcType(1) == 2 && hub.GetDstType(1) == 8 && c.GetSrcType(0) == 7 && c.GetSrc(0) == &hub);
    EXPECT_TRUE(!hub.GetSrc(2) && !hub.GetDst(-1) && hub.GetSrcType(5) == -1 && hub.FindSrc(&c) == -1);
    EXPECT_FALSE(hub.ConnectSrc(&a) || hub.ConnectSrc(&hub) || hub.ConnectSrc(nullptr));  // duplicate, self, null
    hub.DisconnectAll();
    EXPECT_EQ(0, hub.GetSrcCount() + hub.GetDstCount() + a.GetDstCount() + c.GetSrcCount() + d.GetSrcCount());
    KPropertyTemplate<bool> p1, p2;
    for (KPlug* src : std::initializer_list<KPlug*>{&p1, &a, &p2, &b}) ASSERT_TRUE(hub.ConnectSrc(src));
    ASSERT_TRUE(hub.ConnectDst(&p1));
    KPlugFilter* objects = KPlug_GetFilter(KObject::ClassId);
    KPlugFilter* properties = KPlug_GetFilter(KProperty::ClassId);
    EXPECT_TRUE(hub.GetSrcCount(objects) == 2 && hub.GetSrc(objects, 1) == &b && !hub.GetSrc(objects, 2) &&
                !hub.GetSrc(objects, -1) && hub.GetSrc(properties, 1) == &p2);
    EXPECT_TRUE(hub.GetDstCount(properties) == 1 && hub.GetDstCount(objects) == 0);
    EXPECT_TRUE(hub.GetDst(properties, 0) == &p1 && !hub.GetDst(objects, 0));
    KSubPlug* view = hub.SubPlugGetOrCreate(objects);
    ASSERT_TRUE(view && view == hub.SubPlugGetOrCreate(objects) && !hub.SubPlugGetOrCreate(nullptr));
    EXPECT_EQ(4, hub.SubPlugGetOrCreate(KPlug_GetFilter(-1))->GetSrcCount());
    hub.DisconnectSrc(&a);  // the view follows the connections
    EXPECT_TRUE(view->GetSrcCount() == 1 && view->GetSrc(0) == &b);
}

TEST_P(DestroyDuringANotice, IsSafeAndLeavesNoConnection) {
    const DestroyCase& c = std::get<0>(GetParam());
    NoticeLog log;
    Holder *dst = new Holder(&log, "D"), *src = new Holder(&log, "S");
    if (c.mOperation == eDisconnect) dst->mProp.ConnectSrc(src);
    Holder *victim = c.mVictimIsDst ? dst : src, *survivor = c.mVictimIsDst ? src : dst;
    HdlKObject handle(victim);
    victim->mRude = std::get<1>(GetParam());
    bool fired = false;  // once: the destruction itself sends more notices
    victim->mHook = [&](kPlugAction action, KPlug*) {
        if (action == c.mWhen && !std::exchange(fired, true)) victim->Destroy();
        return true;
    };
    auto extra = std::make_unique<KPropertyTemplate<bool>>();  // not dynamic: stays ours
    switch (c.mOperation) {
        case eConnect: EXPECT_FALSE(dst->mProp.ConnectSrc(src)); break;
        case eDisconnect: EXPECT_TRUE(dst->mProp.DisconnectSrc(src)); break;
        case eSetValue: dst->mProp.SetDouble(1.0); break;
        case eAddProperty: dst->PropertyAddToList(extra.get()); break;
    }
    EXPECT_TRUE(fired && !handle.IsValid() && extra->GetOwner() == nullptr);
    EXPECT_EQ(0, survivor->GetDstCount() + survivor->mProp.GetSrcCount());
    survivor->Destroy();
}

INSTANTIATE_TEST_SUITE_P(Notices, DestroyDuringANotice,
                         ::testing::Combine(::testing::ValuesIn(kDestroyCases), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<DestroyParam>& i) {
                             return std::string(std::get<0>(i.param).mName) + (std::get<1>(i.param) ? "Rude" : "");
                         });

// Lists grow past the length that gives them an index and shrink back below
// it, several times, compared with a plain array after each change.
TEST_P(KConnectionListEdits, FollowAPlainArray) {
    const EditCase& c = GetParam();
    std::mt19937 random(3);
    auto pick = [&](EPick how, int count) {
        if (how == eRandom) return static_cast<int>(random() % static_cast<unsigned>(count + 1));
        return how == eFront ? 0 : count;
    };
    KConnectionList list;
    std::vector<KConnection> model;
    std::uint32_t next = 0;
    auto check = [&](int step) {
        ASSERT_EQ(static_cast<int>(model.size()), list.GetCount()) << step;
        for (int i = 0; i < list.GetCount(); ++i) {
            const KConnection &e = list.GetAt(i), &m = model[static_cast<std::size_t>(i)];
            ASSERT_TRUE(e.mSlot == m.mSlot && e.mId == m.mId && e.mType == m.mType) << step;
            ASSERT_EQ(i, list.Find(m.mSlot, m.mId)) << step;
        }
    };
    int step = 0;
    for (int target : {300, 40, 200, 0, 90, 10}) {
        while (static_cast<int>(model.size()) != target) {
            const int count = static_cast<int>(model.size());
            if (count < target) {
                const int at = pick(c.mInsert, count);
                model.insert(model.begin() + at, Make(next++));
                list.InsertAt(at, model[static_cast<std::size_t>(at)]);
            } else {
                const int at = std::min(pick(c.mRemove, count), count - 1);
                const KConnection gone = model[static_cast<std::size_t>(at)];
                list.RemoveAt(at);
                model.erase(model.begin() + at);
                ASSERT_EQ(-1, list.Find(gone.mSlot, gone.mId));
            }
            // A full comparison costs O(n): every few changes, and all of them near the limits.
            if (++step % 7 == 0 || model.size() < 70) check(step);
        }
        check(step);
    }
    EXPECT_TRUE(list.Find(Make(next).mSlot, Make(next).mId) == -1 && list.Find(0, 0) == -1);
    for (int i = 0; i < 100; ++i) list.InsertAt(list.GetCount(), model.emplace_back(Make(next++)));
    std::vector<KConnection> taken;
    list.TakeAll(taken);
    ASSERT_TRUE(taken.size() == model.size() && list.GetCount() == 0);
    for (std::size_t i = 0; i < model.size(); ++i) EXPECT_EQ(model[i].mId, taken[i].mId);
}

INSTANTIATE_TEST_SUITE_P(Orders, KConnectionListEdits, ::testing::ValuesIn(kEditCases),
                         [](const ::testing::TestParamInfo<EditCase>& info) { return info.param.mName; });

// Two hubs and many leaves wired at random positions, unwired and ended in
// random orders, in phases that grow the hubs' lists long and shrink them
// back; compared after each step with plain ordered lists.
TEST(KPlugConnections, ListsFollowAPlainModelThroughRandomEdits) {
    std::mt19937 random(7);
    auto pick = [&](int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); };
    NoticeLog log;  // only for the index checks
    std::vector<KPlug*> plugs(160);
    std::map<KPlug*, Model[2]> model;  // sources, destinations
    for (KPlug*& plug : plugs) model[plug = new LoggedObject(&log, "")];
    for (int step = 0; step < 6000; ++step) {
        KPlug* a = plugs[static_cast<std::size_t>(pick(4) ? pick(2) : pick(160))];
        KPlug* b = plugs[static_cast<std::size_t>(pick(160))];
        if (pick(2)) std::swap(a, b);
        Model &aSrc = model[a][0], &bDst = model[b][1];
        const bool linked = std::find(aSrc.begin(), aSrc.end(), b) != aSrc.end();
        const int op = pick(10);
        if (op < (step / 1500 % 2 == 0 ? 8 : 1)) {
            if (a == b || linked) continue;
            const int si = pick(static_cast<int>(aSrc.size()) + 2) - 1;  // -1 appends
            const int di = pick(static_cast<int>(bDst.size()) + 2) - 1;
            ASSERT_TRUE(Wiring::Connect(a, b, 0, si, di));
            aSrc.insert(si < 0 ? aSrc.end() : aSrc.begin() + si, b);
            bDst.insert(di < 0 ? bDst.end() : bDst.begin() + di, a);
        } else if (op < 9) {
            if (!linked) continue;
            ASSERT_TRUE(a->DisconnectSrc(b));
            EraseFrom(aSrc, b);
            EraseFrom(bDst, a);
        } else if (a != plugs[0] && a != plugs[1]) {
            // A leaf ends, with notices or silently; a fresh one takes its place.
            for (KPlug* src : model[a][0]) EraseFrom(model[src][1], a);
            for (KPlug* dst : model[a][1]) EraseFrom(model[dst][0], a);
            model.erase(a);
            if (pick(2)) a->Destroy();
            else delete a;
            model[*std::find(plugs.begin(), plugs.end(), a) = new LoggedObject(&log, "")];
        }
        log.Take();
        for (KPlug* p : plugs) {  // each entry as listed, null where Find disagrees
            Model src, dst;
            for (int i = 0; i < p->GetSrcCount(); ++i)
                src.push_back(p->FindSrc(p->GetSrc(i)) == i ? p->GetSrc(i) : nullptr);
            for (int i = 0; i < p->GetDstCount(); ++i)
                dst.push_back(p->FindDst(p->GetDst(i)) == i ? p->GetDst(i) : nullptr);
            ASSERT_TRUE(src == model[p][0] && dst == model[p][1]) << step;
        }
    }
    for (KPlug* plug : plugs) plug->Destroy();
}

// Handles spanning several blocks of the table, taken and given back by
// several threads at once, each resolve to their own plug or to null.
TEST(KPlugHandles, ManyHandlesFromSeveralThreadsResolveToTheirOwnPlugs) {
    auto churn = [](unsigned seed, int* faults) {
        std::mt19937 random(seed);
        std::vector<std::pair<HdlKPlug, KObject*>> made;  // the object null once destroyed
        std::vector<std::size_t> live;
        auto check = [&](const std::pair<HdlKPlug, KObject*>& m) { *faults += m.first.Get() != m.second; };
        for (int step = 0; step < 6000; ++step) {
            if (live.empty() || random() % 3 != 0) {
                auto* object = new KObject;
                live.push_back(made.size());
                made.emplace_back(object->GetHandle(), object);
            } else {
                std::size_t& at = live[random() % live.size()];
                made[at].second->Destroy();
                made[at].second = nullptr;
                at = live.back();
                live.pop_back();
            }
            check(made[random() % made.size()]);
        }
        for (const auto& m : made) check(m);
        for (std::size_t i : live) made[i].second->Destroy();
    };
    const int before = handle_detail::LiveCount();
    int faults[4] = {};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) threads.emplace_back(churn, t, &faults[t]);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), std::vector<int>(faults, faults + 4));
    EXPECT_EQ(before, handle_detail::LiveCount());
}
