#include "object/kpropertyobjectlist.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

namespace {

class Node : public KObject {
    KZEQ_CLASS_DECLARE(Node)
};
class Other : public KObject {
    KZEQ_CLASS_DECLARE(Other)
};

}  // namespace

KZEQ_CLASS_IMPLEMENT(Node, KObject, "TestNode")
KZEQ_CLASS_IMPLEMENT(Other, KObject, "TestOther")

namespace {

class ObjectListTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i) nodes.push_back(std::make_unique<Node>());
        list = KPropertyObjectList::Create(&owner, "Targets", 0, -1, 1, KPlug::eDirectionSrcDst, kPropertyFlagNone);
    }
    KObject* N(int i) { return nodes[static_cast<std::size_t>(i)].get(); }
    std::vector<KObject*> Entries() {
        std::vector<KObject*> out;
        for (int i = 0; i < list->GetCount(); ++i) out.push_back(list->GetAt(i));
        return out;
    }

    KObject owner;
    std::vector<std::unique_ptr<Node>> nodes;
    KPropertyObjectList* list = nullptr;
};

}  // namespace

TEST_F(ObjectListTest, CreateDescribesAndListsTheProperty) {
    EXPECT_STREQ("Targets", list->GetPropertyName());
    EXPECT_EQ(&owner, list->GetOwner());
    EXPECT_EQ(list, owner.GetProperty(0));
    EXPECT_EQ(kPropertyTypeObject, list->GetPropertyType());
    EXPECT_EQ(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagObjectList, list->GetPropertyInfo().mFlags);
    EXPECT_EQ(KPlug_GetFilter(-1), list->GetFilter());
    EXPECT_EQ(KPlug::eDirectionSrcDst, list->GetDirection());
    EXPECT_EQ(1, list->GetContentValue());
    EXPECT_TRUE(list->Is(KPropertyObjectList::ClassId));
    EXPECT_TRUE(list->Is(KProperty::ClassId));
    EXPECT_FALSE(list->Is(KObject::ClassId));
    list->Init();
    EXPECT_TRUE(list->GetPropertyInfo().mFlags & KPropertyInfo::kFlagList);
}

TEST_F(ObjectListTest, OrderInsertionReplacementAndRemoval) {
    EXPECT_TRUE(list->Add(N(0)));
    EXPECT_TRUE(list->Add(N(1)));
    EXPECT_TRUE(list->InsertAt(1, N(2)));
    EXPECT_EQ((std::vector<KObject*>{N(0), N(2), N(1)}), Entries());
    EXPECT_TRUE(list->InsertAt(10, N(3)));  // past the end: appended
    EXPECT_EQ(N(3), list->GetAt(3));
    EXPECT_TRUE(list->RemoveAt(3));
    // The listed objects are the list's sources.
    EXPECT_TRUE(list->IsConnectedSrc(N(2)));
    EXPECT_EQ(list, N(2)->GetDst(0));

    const int updates = list->GetUpdateCount();
    EXPECT_TRUE(list->SetAt(1, N(3)));  // replace in place
    EXPECT_EQ((std::vector<KObject*>{N(0), N(3), N(1)}), Entries());
    EXPECT_EQ(0, N(2)->GetDstCount());
    EXPECT_GT(list->GetUpdateCount(), updates);
    EXPECT_TRUE(list->SetAt(1, N(3)));   // the same object: nothing to do
    EXPECT_FALSE(list->SetAt(2, N(0)));  // already listed elsewhere
    EXPECT_EQ((std::vector<KObject*>{N(0), N(3), N(1)}), Entries());
    EXPECT_TRUE(list->SetAt(7, N(2)));  // past the end: appended
    EXPECT_EQ(4, list->GetCount());
    EXPECT_FALSE(list->SetAt(0, nullptr));  // only removes
    EXPECT_EQ((std::vector<KObject*>{N(3), N(1), N(2)}), Entries());
    EXPECT_TRUE(list->Remove(N(1)));
    EXPECT_FALSE(list->Remove(N(1)));
    list->Clear();
    EXPECT_EQ(0, list->GetCount());
    EXPECT_EQ(0, N(3)->GetDstCount());
}

TEST_F(ObjectListTest, IndicesOutsideTheListAreRefused) {
    list->Add(N(0));
    EXPECT_EQ(nullptr, list->GetAt(1));
    EXPECT_EQ(nullptr, list->GetAt(-1));
    EXPECT_EQ(nullptr, list->GetAt(1 << 30));
    EXPECT_FALSE(list->SetAt(-1, N(1)));
    EXPECT_FALSE(list->InsertAt(-1, N(1)));
    EXPECT_FALSE(list->RemoveAt(-1));
    EXPECT_FALSE(list->RemoveAt(1));
    EXPECT_FALSE(list->Add(nullptr));
    EXPECT_EQ(1, list->GetCount());
}

TEST_F(ObjectListTest, DestroyedObjectsLeaveTheList) {
    Node* doomed = new Node;
    list->Add(N(0));
    list->Add(doomed);
    list->Add(N(1));
    doomed->Destroy();
    EXPECT_EQ((std::vector<KObject*>{N(0), N(1)}), Entries());
    nodes[0].reset();
    EXPECT_EQ((std::vector<KObject*>{N(1)}), Entries());
    // An object being destroyed cannot be listed.
    Node* dying = new Node;
    dying->Destruct();
    EXPECT_FALSE(list->Add(dying));
    delete dying;
}

TEST_F(ObjectListTest, EntriesThatAreNotObjectsReadNull) {
    KPropertyTemplate<double> property;
    ASSERT_TRUE(list->ConnectSrc(&property));
    list->Add(N(0));
    EXPECT_EQ(2, list->GetCount());
    EXPECT_EQ(nullptr, list->GetAt(0));
    EXPECT_EQ(N(0), list->GetAt(1));
}

TEST_F(ObjectListTest, ContentClassRestrictsTheEntries) {
    list->SetContentSpec(1, Node::ClassId);
    EXPECT_EQ(KPlug_GetFilter(Node::ClassId), list->GetFilter());
    Other other;
    EXPECT_FALSE(list->Add(&other));
    EXPECT_FALSE(list->ConnectSrc(&other));  // the direct way is refused too
    EXPECT_TRUE(list->Add(N(0)));
    EXPECT_FALSE(list->SetAt(0, &other));  // a refused replacement keeps the entry
    EXPECT_EQ(N(0), list->GetAt(0));
    EXPECT_EQ(0, other.GetDstCount());
}

TEST_F(ObjectListTest, DestinationListsListTheDestinations) {
    KPropertyObjectList* out =
        KPropertyObjectList::Create(&owner, "Out", 8, -1, 1, KPlug::eDirectionDst, kPropertyFlagNone);
    EXPECT_EQ(8, out->GetFilterType());
    EXPECT_TRUE(out->Add(N(0)));
    EXPECT_TRUE(out->Add(N(1)));
    EXPECT_TRUE(out->InsertAt(0, N(2)));
    EXPECT_TRUE(out->SetAt(1, N(3)));
    EXPECT_EQ(3, out->GetCount());
    EXPECT_EQ(N(2), out->GetAt(0));
    EXPECT_EQ(N(3), out->GetAt(1));
    EXPECT_EQ(N(1), out->GetAt(2));
    EXPECT_TRUE(N(3)->IsConnectedSrc(out));
    EXPECT_EQ(0, out->GetSrcCount());
    out->Clear();
    EXPECT_EQ(0, out->GetCount());
}
