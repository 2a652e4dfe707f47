#include "scene/kzeqsdkmanager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "base/klib.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/tests/scene_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::scenetest;

namespace {

struct PrefixCase {
    const char* mLabel;
    const char* mPrefix;
    const char* mName;
    const char* mResult;
};

const PrefixCase kPrefixCases[] = {
    {"DropsFirstPrefix", "Model::", "Foo::Bar", "Model::Bar"},
    {"OnlyTheFirstSeparator", "Model::", "A::B::c", "Model::B::c"},
    {"EmptyBecomesName", "Model::", "", "Model::Name"},
    {"NullBecomesName", "Material::", nullptr, "Material::Name"},
    {"ReprefixedNotDoubled", "Material::", "Texture::wood", "Material::wood"},
    {"SeparatorOnly", "Pose::", "::", "Pose::Name"},
    {"EmptyPrefix", "", "x::y", "y"},
    {"NullPrefix", nullptr, "", "Name"},
};

void PrintTo(const PrefixCase& c, std::ostream* os) { *os << c.mLabel; }

class PrefixName : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(PrefixName, NormalForm) {
    EXPECT_STREQ(GetParam().mResult, KZeqSdkManager::PrefixName(GetParam().mPrefix, GetParam().mName));
}

INSTANTIATE_TEST_SUITE_P(Table, PrefixName, ::testing::ValuesIn(kPrefixCases),
                         [](const auto& info) { return std::string(info.param.mLabel); });

// Allocators a host might substitute: refusing, or handing back one object twice.
class HostManager : public KZeqSdkManager {
public:
    KZeqThumbnail* AllocateKZeqThumbnail() override { return mRefuse ? nullptr : &Shared(); }
    KZeqSceneInfo* AllocateKZeqSceneInfo() override {
        ++mInfos;
        return KZeqSdkManager::AllocateKZeqSceneInfo();
    }
    KZeqThumbnail& Shared() {
        if (!mShared) mShared = new KZeqThumbnail;
        return *mShared;
    }
    bool mRefuse = false;
    int mInfos = 0;
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

TEST(KZeqSdkManager, DeformerPrefixByTypeName) {
    for (const char* cluster : {"Cluster", "cLUSTER"}) EXPECT_STREQ("SubDeformer::", GetDeformerPrefixFromTypeName(cluster));
    for (const char* other : {"Skin", "Clusters", "", static_cast<const char*>(nullptr)})
        EXPECT_STREQ("Deformer::", GetDeformerPrefixFromTypeName(other));
}

TEST(KZeqSdkManager, DestroyFindsByIdentityOnce) {
    KZeqSdkManager manager, other;
    EXPECT_EQ(-1, manager.GetLastErrorID());
    KZeqSceneInfo* info = manager.CreateKZeqSceneInfo();
    KZeqThumbnail* foreign = other.CreateKZeqThumbnail();
    EXPECT_TRUE(manager.DestroyKZeqSceneInfo(info));
    EXPECT_EQ(-1, manager.GetLastErrorID());
    const std::function<bool()> refused[] = {[&] { return manager.DestroyKZeqSceneInfo(info); },
                                             [&] { return manager.DestroyKZeqSceneInfo(nullptr); },
                                             [&] { return manager.DestroyKZeqThumbnail(foreign); },
                                             [&] { return manager.DestroyKZeqUserProperty(nullptr); }};
    for (const auto& destroy : refused) {
        EXPECT_FALSE(destroy());
        EXPECT_EQ(KZeqSdkManager::eObjectNotFound, manager.GetLastErrorID());
        EXPECT_STREQ("Object not found", manager.GetLastErrorString());
        manager.GetError().ClearLastError();
    }
    EXPECT_TRUE(other.DestroyKZeqThumbnail(foreign));
}

TEST(KZeqSdkManager, AllocatorsRefuseWithoutError) {
    HostManager manager;
    EXPECT_EQ(nullptr, manager.CreateKZeqUserProperty(nullptr, "Real", "l"));
    EXPECT_EQ(nullptr, manager.CreateKZeqUserProperty("n", "Real", nullptr));
    EXPECT_NE(nullptr, manager.CreateKZeqUserProperty("n", nullptr, "l"));  // a null type name is accepted
    EXPECT_EQ(nullptr, manager.CreateKZeqUserProperty(static_cast<KProperty*>(nullptr)));
    manager.mRefuse = true;
    EXPECT_EQ(nullptr, manager.CreateKZeqThumbnail());
    EXPECT_EQ(-1, manager.GetLastErrorID());
    manager.CreateKZeqSceneInfo();  // the override is honoured
    EXPECT_EQ(1, manager.mInfos);
    // An object handed back twice is listed once, so it ends once.
    manager.mRefuse = false;
    EXPECT_EQ(manager.CreateKZeqThumbnail(), manager.CreateKZeqThumbnail());
    EXPECT_TRUE(manager.DestroyKZeqThumbnail(manager.mShared));
    EXPECT_FALSE(manager.DestroyKZeqThumbnail(manager.mShared));
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
        EXPECT_FALSE(manager.DestroyKZeqUserProperty(p) || manager.DestroyKZeqThumbnail(t));
        EXPECT_EQ(nullptr, manager.FindKZeqUserProperty("p"));
        EXPECT_NE(nullptr, manager.CreateKZeqUserProperty("p", "Real", ""));  // still usable
        log.clear();
    }
    EXPECT_EQ((Lines{"clear node", "clear material", "clear texture", "~node", "~material", "~texture"}), log);
}

TEST(KZeqSdkManager, LibraryReferenceOutlivesManagersMadeInTurn) {
    ASSERT_TRUE(KBaseLib_IsInitialized());
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<KZeqSdkManager> manager(KZeqSdkManager::CreateKZeqSdkManager());
        manager.reset();
        EXPECT_TRUE(KBaseLib_IsInitialized());
    }
}

// The identity index against a plain list, over random appends and removals.
TEST(KZeqObjectList, MatchesAPlainListOverRandomEdits) {
    KZeqObjectList list;
    std::vector<void*> model;
    std::vector<int> storage(300);
    std::mt19937 random(7);
    for (int step = 0; step < 4000; ++step) {
        const int op = static_cast<int>(random() % 5);
        if (op < 2) {
            void* object = &storage[random() % storage.size()];
            const bool listed = std::find(model.begin(), model.end(), object) != model.end();
            EXPECT_EQ(!listed, list.Add(object));
            if (!listed) model.push_back(object);
        } else if (!model.empty()) {
            // Front, back or anywhere.
            const int index = op == 2 ? 0 : op == 3 ? static_cast<int>(model.size()) - 1
                                                    : static_cast<int>(random() % model.size());
            ASSERT_EQ(index, list.IndexOf(model[static_cast<std::size_t>(index)]));
            list.RemoveAt(index);
            model.erase(model.begin() + index);
        }
        ASSERT_EQ(static_cast<int>(model.size()), list.GetCount());
        if (step % 97 != 0) continue;
        for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(model[i], list.GetAt(static_cast<int>(i)));
    }
    EXPECT_EQ(-1, list.IndexOf(nullptr));
    EXPECT_FALSE(list.Add(nullptr));
    EXPECT_EQ(nullptr, list.GetAt(-1));
}
