#include "object/kpropertyobjectlist.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "object/kpropertytemplate.h"
#include "object/kstreamoptions.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<KObject*> Objects;

// Every case runs on a list of sources (the default direction) and on a list of destinations.
class ObjectListTest : public ::testing::TestWithParam<KPlug::kDirection> {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i) nodes.push_back(std::make_unique<KObject>());
        list = KPropertyObjectList::Create(&owner, "Targets", 0, -1, 1, GetParam(), kPropertyFlagNone);
    }
    KObject* N(int i) { return nodes[static_cast<std::size_t>(i)].get(); }
    Objects Entries() {
        Objects out;
        for (int i = 0; i < list->GetCount(); ++i) out.push_back(list->GetAt(i));
        return out;
    }
    bool ListsSources() const { return GetParam() != KPlug::eDirectionDst; }
    bool Link(KPlug* plug) { return ListsSources() ? list->ConnectSrc(plug) : list->ConnectDst(plug); }
    int Links(KPlug* plug) { return plug->GetSrcCount() + plug->GetDstCount(); }

    KObject owner;
    std::vector<std::unique_ptr<KObject>> nodes;
    KPropertyObjectList* list = nullptr;
};

}  // namespace

TEST_P(ObjectListTest, OrderInsertionReplacementAndRemoval) {
    EXPECT_EQ(list, owner.GetProperty(0));
    EXPECT_TRUE(list->Add(N(0)) && list->Add(N(1)) && list->InsertAt(1, N(2)));
    EXPECT_EQ((Objects{N(0), N(2), N(1)}), Entries());
    EXPECT_TRUE(list->InsertAt(10, N(3)) && list->GetAt(3) == N(3));  // past the end: appended
    EXPECT_TRUE(list->RemoveAt(3));
    EXPECT_EQ(list, ListsSources() ? N(2)->GetDst(0) : N(2)->GetSrc(0));  // entries are connections on one side
    EXPECT_EQ(0, ListsSources() ? list->GetDstCount() : list->GetSrcCount());

    const int updates = list->GetUpdateCount();
    EXPECT_TRUE(list->SetAt(1, N(3)));  // replace in place
    EXPECT_EQ((Objects{N(0), N(3), N(1)}), Entries());
    EXPECT_EQ(0, Links(N(2)));
    EXPECT_GT(list->GetUpdateCount(), updates);
    EXPECT_TRUE(list->SetAt(1, N(3)));   // the same object: nothing to do
    EXPECT_FALSE(list->SetAt(2, N(0)));  // already listed elsewhere: the list stays
    EXPECT_EQ((Objects{N(0), N(3), N(1)}), Entries());
    EXPECT_TRUE(list->SetAt(7, N(2)));      // past the end: appended
    EXPECT_FALSE(list->SetAt(0, nullptr));  // only removes
    EXPECT_EQ((Objects{N(3), N(1), N(2)}), Entries());
    EXPECT_TRUE(list->Remove(N(1)));
    EXPECT_FALSE(list->Remove(N(1)));
    list->Clear();
    EXPECT_EQ(0, list->GetCount() + Links(N(3)));
}

TEST_P(ObjectListTest, IndicesOutsideTheListAreRefusedAndEntriesThatAreNotObjectsReadNull) {
    KPropertyTemplate<double> property;
    ASSERT_TRUE(Link(&property));
    list->Add(N(0));
    for (int index : {2, -1, 1 << 30}) EXPECT_EQ(nullptr, list->GetAt(index)) << index;
    EXPECT_FALSE(list->SetAt(-1, N(1)) || list->InsertAt(-1, N(1)) || list->RemoveAt(-1) || list->RemoveAt(2) ||
                 list->Add(nullptr));
    EXPECT_EQ((Objects{nullptr, N(0)}), Entries());
}

TEST_P(ObjectListTest, DestroyedObjectsLeaveTheList) {
    KObject* doomed = new KObject;
    list->Add(N(0));
    list->Add(doomed);
    list->Add(N(1));
    doomed->Destroy();
    EXPECT_EQ((Objects{N(0), N(1)}), Entries());
    nodes[0].reset();
    EXPECT_EQ((Objects{N(1)}), Entries());
    // An object being destroyed cannot be listed.
    KObject* dying = new KObject;
    dying->Destruct();
    EXPECT_FALSE(list->Add(dying));
    delete dying;
}

TEST_P(ObjectListTest, ContentClassRestrictsTheEntries) {
    list->SetContentSpec(1, KStreamOptions::ClassId);
    KStreamOptions accepted;
    EXPECT_FALSE(list->Add(N(0)));
    // A source list refuses the direct way too (only a destination can refuse a connection).
    EXPECT_FALSE(ListsSources() && list->ConnectSrc(N(0)));
    EXPECT_TRUE(list->Add(&accepted));
    EXPECT_FALSE(list->SetAt(0, N(0)));  // a refused replacement keeps the entry
    EXPECT_EQ((Objects{&accepted}), Entries());
    EXPECT_EQ(0, Links(N(0)));
}

INSTANTIATE_TEST_SUITE_P(Directions, ObjectListTest, ::testing::Values(KPlug::eDirectionSrcDst, KPlug::eDirectionDst),
                         [](const ::testing::TestParamInfo<KPlug::kDirection>& info) {
                             return info.param == KPlug::eDirectionDst ? "Destinations" : "Sources";
                         });
