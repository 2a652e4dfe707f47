#include "content/kzeqgobo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<std::string> Lines;

// A host's gobo that logs how it ends; Model::killer destroys Model::victim on the way.
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
        return std::string(name) == "refused" ? nullptr : new LoggedGobo(*this, name, mLog);
    }
    Lines mLog;
};

}  // namespace

TEST(KZeqGobo, EqualityComparesFileAndSwitchesNeverNames) {
    KZeqSdkManager manager;
    KZeqGobo *a = manager.CreateKZeqGobo("a"), *b = manager.CreateKZeqGobo("b");
    EXPECT_TRUE(*a == *b && !a->GetGroundProjection() && !a->GetFrontVolumetricProjection());
    a->SetFileName("spot.tif");
    b->SetFileName("SPOT.tif");  // exact, so not equal
    EXPECT_FALSE(*a == *b || !b->SetFileName("spot.tif"));
    for (auto set : {&KZeqGobo::SetGroundProjection, &KZeqGobo::SetVolumetricProjection,
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
    KZeqGobo *first = manager.CreateKZeqGobo("Model::a"), *second = manager.CreateKZeqGobo("Model::a");
    EXPECT_STREQ("g", bare->GetName());
    EXPECT_EQ(nullptr, manager.FindKZeqGobo("g"));  // looks for Model::g
    manager.GetError().ClearLastError();
    EXPECT_TRUE(manager.FindKZeqGobo("a") == first && manager.FindKZeqGobo("Other::a", 1) == second);
    EXPECT_EQ(-1, manager.GetLastErrorID());
    for (int index : {2, -1}) {
        EXPECT_EQ(nullptr, manager.FindKZeqGobo("a", index));
        EXPECT_STREQ("Object not found", manager.GetLastErrorString());
    }
    EXPECT_TRUE(manager.DestroyKZeqGobo(first) && !manager.DestroyKZeqGobo(first));
    EXPECT_EQ(second, manager.FindKZeqGobo("a"));
}

TEST(KZeqGobo, HostAllocatorDestroyAndClear) {
    HostManager manager;
    EXPECT_TRUE(!manager.CreateKZeqGobo("refused") && manager.GetLastErrorID() == -1);
    EXPECT_TRUE(manager.DestroyKZeqGobo(manager.CreateKZeqGobo("one")));
    EXPECT_EQ((Lines{"Destruct one", "~one"}), manager.mLog);
    manager.mLog.clear();
    for (const char* name : {"first", "Model::killer", "Model::victim", "last"}) manager.CreateKZeqGobo(name);
    manager.Clear();  // front to back; the victim ends once, by the killer
    EXPECT_EQ((Lines{"Destruct first", "~first", "Destruct Model::killer", "Destruct Model::victim",
                     "~Model::victim", "~Model::killer", "Destruct last", "~last"}),
              manager.mLog);
}
