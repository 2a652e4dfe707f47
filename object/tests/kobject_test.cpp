#include "object/kobject.h"

#include <gtest/gtest.h>

#include <memory>
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

// Members are listed in creation order with notices, each once; destroying one
// unlists and disconnects it, and ends it when it is dynamic.
TEST(KObject, ListKeepsCreationOrderAndPropertyDestroyUnlists) {
    NoticeLog log;
    Members object(&log);
    EXPECT_EQ((Lines{"First", "Second", "Third"}), PropertyNames(object));
    // The name is given after the append, so the notices see it unnamed.
    EXPECT_EQ((Lines{"M:10:M<", "M:11:M<", "M:10:M<#1", "M:11:M<#1", "M:10:M<#2", "M:11:M<#2"}), log.Take());
    EXPECT_EQ(&object.mProps[2], object.FindPropertyByName("Third"));
    EXPECT_FALSE(object.FindPropertyByName("third") || object.FindPropertyByName(nullptr) || object.GetProperty(3) ||
                 object.GetProperty(-1));
    Members other(&log);  // adding again, or a property of another object, changes nothing
    for (KProperty* p : std::initializer_list<KProperty*>{&object.mProps[0], &other.mProps[0], nullptr})
        object.PropertyAddToList(p);
    EXPECT_TRUE(object.GetPropertyCount() == 3 && other.mProps[0].GetOwner() == &other);
    {
        KPropertyTemplate<double> temporary;  // a member leaves the list when it ends
        object.PropertyAddToList(&temporary);
        EXPECT_EQ(4, object.GetPropertyCount());
    }
    KProperty* dynamic = object.CreatePropertyFromType("Dyn", kPropertyTypeDouble, nullptr, false, false, nullptr);
    HdlKPlug handle(dynamic);
    KObject partner;
    ASSERT_TRUE(object.GetPropertyCount() == 4 && object.mProps[1].ConnectSrc(&partner));
    log.Take();
    EXPECT_TRUE(object.PropertyDestroy(dynamic) && !handle.IsValid());
    EXPECT_EQ((Lines{"M:12:M<Dyn#3", "M:13:M<Dyn#3"}), log.Take());
    EXPECT_TRUE(object.PropertyDestroy(&object.mProps[1]));  // a member: unlisted and disconnected
    EXPECT_TRUE(partner.GetDstCount() == 0 && PropertyNames(object) == (Lines{"First", "Third"}));
    EXPECT_FALSE(object.PropertyDestroy(&object.mProps[1]) || object.PropertyDestroy(nullptr) ||
                 object.PropertyDestroy(&other.mProps[0]));  // no longer, never or another's
}

// A taken name is counted up; the name is the property's own copy; the flags
// say dynamic, animatable and user; a reference of the same value type gives
// its value; without a value type or a name nothing is made.
TEST(KObject, CreatePropertyCountsUpATakenNameAndCopiesAReference) {
    KObject object;
    std::string name = "Weight";
    KProperty* a = object.CreatePropertyFromType(name.c_str(), kPropertyTypeDouble, &KDataTypeNumber, false, false, nullptr);
    name = "Changed";
    KProperty* b = object.CreatePropertyFromType("Weight", kPropertyTypeDouble, nullptr, true, true, nullptr);
    object.CreatePropertyFromType("Weight", kPropertyTypeBool, nullptr, false, false, nullptr);
    object.CreatePropertyFromType("Weight1", kPropertyTypeInteger, nullptr, false, false, nullptr);
    EXPECT_EQ((Lines{"Weight", "Weight1", "Weight2", "Weight11"}), PropertyNames(object));
    EXPECT_EQ(KPropertyInfo::kFlagDynamic, a->GetPropertyInfo().mFlags);
    EXPECT_EQ(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagAnimatable | KPropertyInfo::kFlagUser,
              b->GetPropertyInfo().mFlags);
    KPropertyTemplate<KgeTVector> reference;
    reference.Value() = KgeTVector(1.0, 2.0, 3.0);
    KPropertyTemplate<double> wrongType;
    wrongType.Value() = 7.0;
    KProperty* copy = object.CreatePropertyFromType("T", kPropertyTypeVector, nullptr, false, false, &reference);
    KProperty* fresh = object.CreatePropertyFromType("U", kPropertyTypeVector, nullptr, false, false, &wrongType);
    EXPECT_TRUE(ValueOf(*copy) == (std::vector<double>{1.0, 2.0, 3.0}) && ValueOf(*fresh) == std::vector<double>(3));
    for (kPropertyType type : {kPropertyTypeNone, kPropertyTypeCharPtr})
        EXPECT_EQ(nullptr, object.CreatePropertyFromType("X", type, nullptr, false, false, nullptr));
    EXPECT_EQ(nullptr, object.CreatePropertyFromType(nullptr, kPropertyTypeBool, nullptr, false, false, nullptr));
    EXPECT_EQ(6, object.GetPropertyCount());
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

// The entity is held by handle: once it is gone, transactions reach nothing.
TEST(KObject, TransactionsReachTheEntityWhileItLives) {
    struct Entity : KObject {
        void EntityTransaction(KObject* object, bool begin) override { mLog.emplace_back(object, begin); }
        std::vector<std::pair<KObject*, bool>> mLog;
    };
    KObject object;
    EXPECT_EQ(nullptr, object.EntityGet());
    auto entity = std::make_unique<Entity>();
    object.EntitySet(entity.get());
    object.ObjectTransactionBegin();
    object.ObjectTransactionEnd();
    EXPECT_EQ((std::vector<std::pair<KObject*, bool>>{{&object, true}, {&object, false}}), entity->mLog);
    entity.reset();
    EXPECT_EQ(nullptr, object.EntityGet());
    object.ObjectTransactionBegin();
}
