#include "object/kobject.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "object/tests/object_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::objecttest;

namespace {

class Members : public LoggedObject {
public:
    explicit Members(NoticeLog* log) : LoggedObject(log, "M") {
        const char* names[] = {"First", "Second", "Third"};
        for (int i = 0; i < 3; ++i) AddMember(*this, mProps[i], names[i], kPropertyTypeBool);
    }
    KPropertyTemplate<bool> mProps[3];
};

}  // namespace

TEST(KObject, ListKeepsCreationOrderWithNotices) {
    NoticeLog log;
    Members object(&log);
    EXPECT_EQ((Lines{"First", "Second", "Third"}), PropertyNames(object));
    // The name is given after the append, so the notices see it unnamed.
    EXPECT_EQ((Lines{"M:10:M<", "M:11:M<", "M:10:M<#1", "M:11:M<#1", "M:10:M<#2", "M:11:M<#2"}), log.Take());
    EXPECT_EQ(&object.mProps[2], object.FindPropertyByName("Third"));
    EXPECT_FALSE(object.FindPropertyByName("third") || object.FindPropertyByName(nullptr) || object.GetProperty(3) ||
                 object.GetProperty(-1));
    // Adding again, or a property of another object, changes nothing.
    Members other(&log);
    for (KProperty* p : {static_cast<KProperty*>(&object.mProps[0]), static_cast<KProperty*>(&other.mProps[0]),
                         static_cast<KProperty*>(nullptr)})
        object.PropertyAddToList(p);
    EXPECT_TRUE(object.GetPropertyCount() == 3 && other.mProps[0].GetOwner() == &other);
    {
        KPropertyTemplate<double> temporary;  // a member leaves the list when it ends
        object.PropertyAddToList(&temporary);
        EXPECT_EQ(4, object.GetPropertyCount());
    }
    EXPECT_EQ(3, object.GetPropertyCount());
}

TEST(KObject, CreatePropertyCountsUpATakenNameAndCopiesAReference) {
    KObject object;
    KProperty* a = object.CreatePropertyFromType("Weight", kPropertyTypeDouble, &KDataTypeNumber, false, false, nullptr);
    KProperty* b = object.CreatePropertyFromType("Weight", kPropertyTypeDouble, nullptr, true, true, nullptr);
    object.CreatePropertyFromType("Weight", kPropertyTypeBool, nullptr, false, false, nullptr);
    object.CreatePropertyFromType("Weight1", kPropertyTypeInteger, nullptr, false, false, nullptr);
    EXPECT_EQ((Lines{"Weight", "Weight1", "Weight2", "Weight11"}), PropertyNames(object));
    EXPECT_EQ(KPropertyInfo::kFlagDynamic, a->GetPropertyInfo().mFlags);
    EXPECT_EQ(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagAnimatable | KPropertyInfo::kFlagUser,
              b->GetPropertyInfo().mFlags);
    std::string name = "Temp";  // the name is the property's own copy
    KProperty* e = object.CreatePropertyFromType(name.c_str(), kPropertyTypeDouble, nullptr, false, false, nullptr);
    name = "Changed";
    EXPECT_STREQ("Temp", e->GetPropertyName());
    // The value of a reference of the same value type is copied.
    KPropertyTemplate<KgeTVector> reference;
    reference.Value() = KgeTVector(1.0, 2.0, 3.0);
    KPropertyTemplate<double> wrongType;
    wrongType.Value() = 7.0;
    KProperty* copy = object.CreatePropertyFromType("T", kPropertyTypeVector, nullptr, false, false, &reference);
    KProperty* fresh = object.CreatePropertyFromType("U", kPropertyTypeVector, nullptr, false, false, &wrongType);
    EXPECT_TRUE(ValueOf(*copy) == (std::vector<double>{1.0, 2.0, 3.0}) && ValueOf(*fresh) == std::vector<double>(3));
    // No value type, no name: nothing.
    for (kPropertyType type : {kPropertyTypeNone, kPropertyTypeCharPtr})
        EXPECT_EQ(nullptr, object.CreatePropertyFromType("X", type, nullptr, false, false, nullptr));
    EXPECT_EQ(nullptr, object.CreatePropertyFromType(nullptr, kPropertyTypeBool, nullptr, false, false, nullptr));
    EXPECT_EQ(7, object.GetPropertyCount());
}

TEST(KObject, PropertyDestroyUnlistsAndEndsDynamicProperties) {
    NoticeLog log;
    Members object(&log), other(&log);
    KProperty* dynamic = object.CreatePropertyFromType("Dyn", kPropertyTypeDouble, nullptr, false, false, nullptr);
    HdlKPlug handle(dynamic);
    KObject partner;
    ASSERT_TRUE(object.mProps[1].ConnectSrc(&partner));
    log.Take();
    EXPECT_TRUE(object.PropertyDestroy(dynamic));
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ((Lines{"M:12:M<Dyn#3", "M:13:M<Dyn#3"}), log.Take());
    EXPECT_TRUE(object.PropertyDestroy(&object.mProps[1]));  // a member: unlisted and disconnected
    EXPECT_TRUE(partner.GetDstCount() == 0 && PropertyNames(object) == (Lines{"First", "Third"}));
    EXPECT_FALSE(object.PropertyDestroy(&object.mProps[1]) || object.PropertyDestroy(nullptr) ||
                 object.PropertyDestroy(&other.mProps[0]));  // no longer, never or another's
}

// However its owner ends, a dynamic property ends with it and any other is
// released: it no longer refers to the owner and may be deleted afterwards.
TEST(KObject, EndingTheOwnerEndsOrReleasesItsProperties) {
    for (bool destruct : {true, false}) {  // Destruct (twice) then delete, or delete alone
        KObject partner;
        KPropertyTemplate<double> released[3];  // they outlive their owner
        auto* owner = new KObject;
        KProperty* dynamic = owner->CreatePropertyFromType("Dyn", kPropertyTypeDouble, nullptr, false, false, nullptr);
        KPropertyObjectList* list =
            KPropertyObjectList::Create(owner, "List", 0, -1, 1, KPlug::eDirectionSrcDst, kPropertyFlagNone);
        for (auto& property : released) owner->PropertyAddToList(&property);
        ASSERT_TRUE(dynamic->ConnectSrc(&partner) && list->Add(&partner) && released[0].ConnectDst(&partner));
        ASSERT_TRUE(owner->PropertyDestroy(&released[2]));
        HdlKPlug hDynamic(dynamic), hList(list);
        if (destruct) {
            owner->Destruct();
            owner->Destruct();
            EXPECT_EQ(0, owner->GetPropertyCount() + partner.GetSrcCount() + partner.GetDstCount());
        }
        delete owner;
        EXPECT_FALSE(hDynamic.IsValid() || hList.IsValid()) << destruct;
        for (auto& property : released) EXPECT_EQ(nullptr, property.GetOwner()) << destruct;
    }
}

TEST(KObject, TransactionsReachTheEntityWhileItLives) {
    struct Entity : KObject {
        void EntityTransaction(KObject* object, bool begin) override { mLog.emplace_back(object, begin); }
        std::vector<std::pair<KObject*, bool>> mLog;
    };
    KObject object;
    {
        Entity entity;
        object.EntitySet(&entity);
        object.ObjectTransactionBegin();
        object.ObjectTransactionEnd();
        EXPECT_EQ((std::vector<std::pair<KObject*, bool>>{{&object, true}, {&object, false}}), entity.mLog);
    }
    EXPECT_EQ(nullptr, object.EntityGet());  // held by handle: no entity, nothing happens
    object.ObjectTransactionBegin();
}
