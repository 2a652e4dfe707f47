#include "object/kpropertyobjectlist.h"

#include <gtest/gtest.h>

#include <vector>

#include "object/kpropertytemplate.h"
#include "object/kstreamoptions.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<KObject*> Objects;

// Every case runs on a list of sources (the default direction) and on a list of destinations.
class ObjectListTest : public ::testing::TestWithParam<KPlug::kDirection> {
protected:
    KObject* N(int i) { return &nodes[i]; }
    Objects Entries() {
        Objects out;
        for (int i = 0; i < list->GetCount(); ++i) out.push_back(list->GetAt(i));
        return out;
    }
    bool ListsSources() const { return GetParam() != KPlug::eDirectionDst; }
    bool Link(KPlug* plug) { return ListsSources() ? list->ConnectSrc(plug) : list->ConnectDst(plug); }
    int Links(KPlug* plug) { return plug->GetSrcCount() + plug->GetDstCount(); }

    KObject owner, nodes[4];
    KPropertyObjectList* list = KPropertyObjectList::Create(&owner, "Targets", 0, -1, 1, GetParam(), kPropertyFlagNone);
};

}  // namespace

TEST_P(ObjectListTest, OrderInsertionReplacementRemovalAndBadIndices) {
    EXPECT_EQ(list, owner.GetProperty(0));
    EXPECT_TRUE(list->Add(N(0)) && list->Add(N(1)) && list->InsertAt(1, N(2)));
    EXPECT_EQ((Objects{N(0), N(2), N(1)}), Entries());
    EXPECT_TRUE(list->InsertAt(10, N(3)) && list->GetAt(3) == N(3));  // past the end: appended
    EXPECT_TRUE(list->RemoveAt(3));
    EXPECT_EQ(list, ListsSources() ? N(2)->GetDst(0) : N(2)->GetSrc(0));  // entries are connections on one side
    EXPECT_EQ(0, ListsSources() ? list->GetDstCount() : list->GetSrcCount());
    for (int index : {3, -1, 1 << 30}) EXPECT_EQ(nullptr, list->GetAt(index)) << index;
    EXPECT_FALSE(list->SetAt(-1, N(3)) || list->InsertAt(-1, N(3)) || list->RemoveAt(-1) || list->RemoveAt(3) ||
                 list->Add(nullptr));

    const int updates = list->GetUpdateCount();
    EXPECT_TRUE(list->SetAt(1, N(3)));  // replace in place
    EXPECT_EQ((Objects{N(0), N(3), N(1)}), Entries());
    EXPECT_TRUE(Links(N(2)) == 0 && list->GetUpdateCount() > updates);
    EXPECT_TRUE(list->SetAt(1, N(3)));   // the same object: nothing to do
    EXPECT_FALSE(list->SetAt(2, N(0)));  // already listed elsewhere: the list stays
    EXPECT_EQ((Objects{N(0), N(3), N(1)}), Entries());
    EXPECT_TRUE(list->SetAt(7, N(2)));      // past the end: appended
    EXPECT_FALSE(list->SetAt(0, nullptr));  // only removes
    EXPECT_EQ((Objects{N(3), N(1), N(2)}), Entries());
    EXPECT_TRUE(list->Remove(N(1)) && !list->Remove(N(1)));
    list->Clear();
    EXPECT_EQ(0, list->GetCount() + Links(N(3)));
    // An entry that is not an object reads null.
    KPropertyTemplate<double> property;
    EXPECT_TRUE(Link(&property) && list->Add(N(0)));
    EXPECT_EQ((Objects{nullptr, N(0)}), Entries());
}

TEST_P(ObjectListTest, ContentClassRestrictsTheEntries) {
    list->SetContentSpec(1, KStreamOptions::ClassId);
    KStreamOptions accepted;
    EXPECT_FALSE(list->Add(N(0)));
    // A source list refuses the direct way too (only a destination can refuse a connection).
    EXPECT_FALSE(ListsSources() && list->ConnectSrc(N(0)));
    EXPECT_TRUE(list->Add(&accepted) && !list->SetAt(0, N(0)));  // a refused replacement keeps the entry
    EXPECT_EQ((Objects{&accepted}), Entries());
    EXPECT_EQ(0, Links(N(0)));
}

INSTANTIATE_TEST_SUITE_P(Directions, ObjectListTest, ::testing::Values(KPlug::eDirectionSrcDst, KPlug::eDirectionDst),
                         [](const ::testing::TestParamInfo<KPlug::kDirection>& info) {
                             return info.param == KPlug::eDirectionDst ? "Destinations" : "Sources";
                         });
