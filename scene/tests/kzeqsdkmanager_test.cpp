#include "scene/kzeqsdkmanager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/klib.h"
#include "base/kname.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzequserproperty.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<std::string> Lines;

// A host's allocator handing back one object twice.
class HostManager : public KZeqSdkManager {
public:
    KZeqThumbnail* AllocateKZeqThumbnail() override { return mShared ? mShared : (mShared = new KZeqThumbnail); }
    KZeqThumbnail* mShared = nullptr;
};

class LogListener : public KZeqNameListener {
public:
    LogListener(Lines& log, const char* name) : mLog(log), mName(name) {}
    ~LogListener() override { mLog.push_back("~" + mName); }
    void Clear() override { mLog.push_back("clear " + mName); }
    void Add(KName* name) override { mLog.push_back(mName + " " + name->GetCurrentName()); }
    Lines& mLog;
    std::string mName;
};

}  // namespace

TEST(KZeqSdkManager, PrefixNameAndDeformerPrefix) {
    const char* const rows[][3] = {  // prefix, name, normal form
        {"Model::", "Foo::Bar", "Model::Bar"},  {"Model::", "A::B::c", "Model::B::c"},
        {"Model::", "", "Model::Name"},         {"Material::", nullptr, "Material::Name"},
        {"Material::", "Texture::wood", "Material::wood"}, {"", "x::y", "y"}, {nullptr, "::", "Name"}};
    for (const auto& row : rows) EXPECT_STREQ(row[2], KZeqSdkManager::PrefixName(row[0], row[1])) << row[2];
    for (const char* type : {"Cluster", "cLUSTER"}) EXPECT_STREQ("SubDeformer::", GetDeformerPrefixFromTypeName(type));
    for (const char* type : {"Skin", "Clusters", static_cast<const char*>(nullptr)})
        EXPECT_STREQ("Deformer::", GetDeformerPrefixFromTypeName(type));
}

TEST(KZeqSdkManager, DestroyFindsByIdentityOnceAndAllocatorsMayRefuse) {
    HostManager manager;
    KZeqSdkManager other;
    KZeqThumbnail* foreign = other.CreateKZeqThumbnail();
    EXPECT_FALSE(manager.DestroyKZeqThumbnail(foreign) || manager.DestroyKZeqSceneInfo(nullptr));
    EXPECT_STREQ("Object not found", manager.GetLastErrorString());
    manager.GetError().ClearLastError();
    EXPECT_FALSE(manager.CreateKZeqUserProperty(nullptr, "Real", "l") ||
                 manager.CreateKZeqUserProperty("n", "Real", nullptr) ||
                 manager.CreateKZeqUserProperty(static_cast<KProperty*>(nullptr)));
    EXPECT_NE(nullptr, manager.CreateKZeqUserProperty("n", nullptr, "l"));  // a null type name is accepted
    EXPECT_EQ(-1, manager.GetLastErrorID());  // refusals set no error
    // An object handed back twice is listed once, so it ends once.
    EXPECT_EQ(manager.CreateKZeqThumbnail(), manager.CreateKZeqThumbnail());
    EXPECT_TRUE(manager.DestroyKZeqThumbnail(manager.mShared) && !manager.DestroyKZeqThumbnail(manager.mShared));
}

TEST(KZeqSdkManager, ClearEndsAllThenClearsListenersAndStaysUsable) {
    Lines log;
    {
        KZeqSdkManager manager;
        const char* names[] = {"node", "material", "texture"};
        for (int i = 0; i < 3; ++i)
            manager.SetListener(static_cast<KZeqSdkManager::EListener>(i), new LogListener(log, names[i]));
        KZeqUserProperty* p = manager.CreateKZeqUserProperty("p", "Real", "");
        KZeqThumbnail* t = manager.CreateKZeqThumbnail();
        manager.CreateKZeqSceneInfo()->SetSceneThumbnail(t);
        manager.Clear();
        EXPECT_EQ((Lines{"clear node", "clear material", "clear texture"}), log);
        EXPECT_FALSE(manager.DestroyKZeqUserProperty(p) || manager.DestroyKZeqThumbnail(t) ||
                     manager.FindKZeqUserProperty("p"));
        EXPECT_NE(nullptr, manager.CreateKZeqUserProperty("p", "Real", ""));  // still usable
        log.clear();
    }
    EXPECT_EQ((Lines{"clear node", "clear material", "clear texture", "~node", "~material", "~texture"}), log);
}

TEST(KZeqSdkManager, LibraryReferenceOutlivesManagersMadeInTurn) {
    ASSERT_TRUE(KBaseLib_IsInitialized());
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<KZeqSdkManager>(KZeqSdkManager::CreateKZeqSdkManager()).reset();
        EXPECT_TRUE(KBaseLib_IsInitialized());
    }
}

// The identity index against a plain list, over random appends and removals
// at the front, the back and anywhere, by position, by identity or by identity
// under a test (even values only; the test sees listed objects only).
TEST(KZeqObjectList, MatchesAPlainListOverRandomEdits) {
    KZeqObjectList list;
    std::vector<void*> model;
    std::vector<int> storage(300);
    for (std::size_t i = 0; i < storage.size(); ++i) storage[i] = static_cast<int>(i);
    static const std::vector<void*>* listed = nullptr;
    listed = &model;
    auto even = [](const void* object) {
        EXPECT_NE(listed->end(), std::find(listed->begin(), listed->end(), object));
        return *static_cast<const int*>(object) % 2 == 0;
    };
    std::mt19937 random(7);
    for (int step = 0; step < 6000; ++step) {
        const int op = static_cast<int>(random() % 7);
        if (op == 6) {
            void* object = &storage[random() % storage.size()];
            const auto at = std::find(model.begin(), model.end(), object);
            const bool removed = at != model.end() && *static_cast<int*>(object) % 2 == 0;
            ASSERT_EQ(removed, list.RemoveIf(object, even));
            if (removed) model.erase(at);
            ASSERT_EQ(static_cast<int>(model.size()), list.GetCount());
            continue;
        }
        if (op < 2) {
            void* object = &storage[random() % storage.size()];
            const bool listed = std::find(model.begin(), model.end(), object) != model.end();
            EXPECT_EQ(!listed, list.Add(object));
            if (!listed) model.push_back(object);
        } else if (!model.empty()) {
            const int last = static_cast<int>(model.size()) - 1;
            const int index = op == 2 ? 0 : op == 3 ? last : static_cast<int>(random() % model.size());
            ASSERT_EQ(index, list.IndexOf(model[static_cast<std::size_t>(index)]));
            if (op == 5)
                ASSERT_TRUE(list.Remove(model[static_cast<std::size_t>(index)]));
            else
                list.RemoveAt(index);
            model.erase(model.begin() + index);
        }
        ASSERT_EQ(static_cast<int>(model.size()), list.GetCount());
        if (step % 97 != 0) continue;
        for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(model[i], list.GetAt(static_cast<int>(i)));
    }
    EXPECT_TRUE(list.IndexOf(nullptr) == -1 && !list.Add(nullptr) && !list.GetAt(-1) && !list.Remove(&model));
}

// A long list emptied from the front, as a clear does, gives back most of its
// table: the entries left, and those added after, are still found in place.
TEST(KZeqObjectList, ListShrunkByRemovalsFindsItsEntries) {
    KZeqObjectList list;
    std::vector<int> storage(6000);
    for (int& item : storage) ASSERT_TRUE(list.Add(&item));
    while (list.GetCount() > 10) list.RemoveAt(0);
    for (std::size_t i = 0; i < 10; ++i) ASSERT_EQ(static_cast<int>(i), list.IndexOf(&storage[5990 + i]));
    EXPECT_TRUE(!list.Contains(&storage[0]) && !list.Contains(&storage[5989]) && !list.Remove(&storage[17]));
    for (std::size_t i = 0; i < storage.size() - 10; ++i) ASSERT_TRUE(list.Add(&storage[i]));
    for (std::size_t i = 0; i < storage.size(); i += 7) ASSERT_EQ(&storage[i], list.GetAt(list.IndexOf(&storage[i])));
    EXPECT_EQ(static_cast<int>(storage.size()), list.GetCount());
}

// Objects that keep their own slot, starting from a value never written:
// removals that pack the list, a clear leaving stale slots behind, and an
// object of another list whose slot names an entry of this one.
TEST(KZeqObjectList, SlotsKeptByTheObjectsMatchAPlainList) {
    struct Kept {
        int mSlot = 3;
    };
    static const KZeqObjectList::SlotKeeper keeper = {
        [](const void* object) { return static_cast<const Kept*>(object)->mSlot; },
        [](void* object, int slot) { static_cast<Kept*>(object)->mSlot = slot; }};
    KZeqObjectList list;
    list.KeepSlotsIn(&keeper);
    std::vector<Kept> storage(500);
    std::vector<void*> model;
    std::mt19937 random(11);
    for (int round = 0; round < 2; ++round) {
        for (Kept& kept : storage) {
            ASSERT_TRUE(list.Add(&kept) && !list.Add(&kept));
            model.push_back(&kept);
        }
        while (model.size() > 40) {
            const std::size_t index = random() % model.size();
            ASSERT_TRUE(list.IndexOf(model[index]) == static_cast<int>(index) && list.Remove(model[index]));
            model.erase(model.begin() + static_cast<long>(index));
        }
        for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(model[i], list.GetAt(static_cast<int>(i)));
        KZeqObjectList other;
        other.KeepSlotsIn(&keeper);
        Kept stranger;
        ASSERT_TRUE(other.Add(&stranger) && stranger.mSlot == 0 && !list.Contains(&stranger));
        list.Clear();
        model.clear();
        EXPECT_TRUE(!list.Contains(&storage[0]) && list.GetCount() == 0);
    }
}
