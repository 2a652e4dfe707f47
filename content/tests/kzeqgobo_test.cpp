#include "content/kzeqgobo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<std::string> Lines;

// A host's gobo that logs how it ends; one named "killer" destroys "victim" on the way.
class LoggedGobo : public KZeqGobo {
public:
    LoggedGobo(KZeqSdkManager& manager, const char* name, Lines& log) : KZeqGobo(manager, name), mLog(log) {}
    ~LoggedGobo() override { mLog.push_back("~" + std::string(GetName())); }
    void Destruct() override {
        mLog.push_back("Destruct " + std::string(GetName()));
        if (std::string(GetName()) == "Model::killer")
            GetSdkManager().DestroyKZeqGobo(GetSdkManager().FindKZeqGobo("victim"));
    }
    Lines& mLog;
};

class HostManager : public KZeqSdkManager {
public:
    KZeqGobo* AllocateKZeqGobo(const char* name) override {
        if (std::string(name) == "refused") return nullptr;
        return new LoggedGobo(*this, name, mLog);
    }
    Lines mLog;
};

}  // namespace

TEST(KZeqGobo, EqualityComparesFileAndSwitchesNeverNames) {
    KZeqSdkManager manager;
    KZeqGobo* a = manager.CreateKZeqGobo("a");
    KZeqGobo* b = manager.CreateKZeqGobo("b");
    EXPECT_STREQ("", a->GetFileName());
    EXPECT_FALSE(a->GetGroundProjection() || a->GetVolumetricProjection() || a->GetFrontVolumetricProjection());
    EXPECT_EQ(KZeqObject::eVideo, a->GetNameSpace());
    EXPECT_TRUE(*a == *b);
    a->SetFileName("spot.tif");
    b->SetFileName("SPOT.tif");
    EXPECT_FALSE(*a == *b);
    b->SetFileName("spot.tif");
    for (void (KZeqGobo::*set)(bool) : {&KZeqGobo::SetGroundProjection, &KZeqGobo::SetVolumetricProjection,
                                        &KZeqGobo::SetFrontVolumetricProjection}) {
        (b->*set)(true);
        EXPECT_FALSE(*a == *b);
        (a->*set)(true);
        EXPECT_TRUE(*a == *b);
    }
}

TEST(KZeqGobo, StoredAsGivenFoundUnderTheModelPrefix) {
    KZeqSdkManager manager;
    KZeqGobo* bare = manager.CreateKZeqGobo("g");
    KZeqGobo* first = manager.CreateKZeqGobo("Model::a");
    KZeqGobo* second = manager.CreateKZeqGobo("Model::a");
    EXPECT_STREQ("g", bare->GetName());
    EXPECT_EQ(nullptr, manager.FindKZeqGobo("g"));  // looks for Model::g
    EXPECT_EQ(KZeqSdkManager::eObjectNotFound, manager.GetLastErrorID());
    manager.GetError().ClearLastError();
    EXPECT_EQ(first, manager.FindKZeqGobo("a"));
    EXPECT_EQ(second, manager.FindKZeqGobo("Other::a", 1));
    EXPECT_EQ(-1, manager.GetLastErrorID());
    for (int index : {2, -1}) {
        EXPECT_EQ(nullptr, manager.FindKZeqGobo("a", index));
        EXPECT_STREQ("Object not found", manager.GetLastErrorString());
    }
    EXPECT_TRUE(manager.DestroyKZeqGobo(first));
    EXPECT_FALSE(manager.DestroyKZeqGobo(first));
    EXPECT_EQ(second, manager.FindKZeqGobo("a"));
}

TEST(KZeqGobo, HostAllocatorDestroyAndClear) {
    HostManager manager;
    EXPECT_EQ(nullptr, manager.CreateKZeqGobo("refused"));
    EXPECT_EQ(-1, manager.GetLastErrorID());
    KZeqGobo* one = manager.CreateKZeqGobo("one");
    EXPECT_NE(nullptr, dynamic_cast<LoggedGobo*>(one));
    EXPECT_TRUE(manager.DestroyKZeqGobo(one));
    EXPECT_EQ((Lines{"Destruct one", "~one"}), manager.mLog);
    manager.mLog.clear();
    for (const char* name : {"first", "Model::killer", "Model::victim", "last"}) manager.CreateKZeqGobo(name);
    manager.Clear();  // front to back; the victim ends once, by the killer
    EXPECT_EQ((Lines{"Destruct first", "~first", "Destruct Model::killer", "Destruct Model::victim",
                     "~Model::victim", "~Model::killer", "Destruct last", "~last"}),
              manager.mLog);
}
