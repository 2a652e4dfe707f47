#include "object/kobject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

namespace {

// Records the property-list notices it receives.
class ListWatcher : public KObject {
public:
    bool PlugNotify(KPlugCallstack*, kPlugAction action, KPlug* plug, int index, KPlug* other, kConnectionType,
                    KPlug*) override {
        if (plug == this && action >= kPlugPropertyAdding && action <= kPlugPropertyRemoved)
            mLog.push_back(std::to_string(action) + "@" + std::to_string(index) + ":" +
                           static_cast<KProperty*>(other)->GetPropertyName());
        return true;
    }
    std::vector<std::string> mLog;
};

class Members : public ListWatcher {
public:
    Members() {
        const char* names[] = {"First", "Second", "Third"};
        for (int i = 0; i < 3; ++i) {
            PropertyAddToList(&mProps[i]);
            mProps[i].SetPropertyType(kPropertyTypeBool);
            mProps[i].SetPropertyInfo(names[i], this, nullptr, nullptr);
        }
    }
    KPropertyTemplate<bool> mProps[3];
};

std::vector<std::string> Names(const KObject& object) {
    std::vector<std::string> names;
    for (int i = 0; i < object.GetPropertyCount(); ++i) names.push_back(object.GetProperty(i)->GetPropertyName());
    return names;
}

}  // namespace

TEST(KObject, ListKeepsCreationOrderWithNotices) {
    Members object;
    EXPECT_EQ((std::vector<std::string>{"First", "Second", "Third"}), Names(object));
    // The name is given after the append, so the notices see it unnamed.
    EXPECT_EQ((std::vector<std::string>{"10@0:", "11@0:", "10@1:", "11@1:", "10@2:", "11@2:"}), object.mLog);
    EXPECT_EQ(&object, object.mProps[1].GetOwner());
    EXPECT_EQ(&object.mProps[2], object.FindPropertyByName("Third"));
    EXPECT_EQ(nullptr, object.FindPropertyByName("third"));  // exact
    EXPECT_EQ(nullptr, object.FindPropertyByName(nullptr));
    EXPECT_EQ(nullptr, object.GetProperty(3));
    EXPECT_EQ(nullptr, object.GetProperty(-1));
    // Adding again, or a property of another object, changes nothing.
    object.PropertyAddToList(&object.mProps[0]);
    Members other;
    object.PropertyAddToList(&other.mProps[0]);
    object.PropertyAddToList(nullptr);
    EXPECT_EQ(3, object.GetPropertyCount());
    EXPECT_EQ(&other, other.mProps[0].GetOwner());
}

TEST(KObject, CreatePropertyFromTypeMakesNamesUnique) {
    KObject object;
    KProperty* a = object.CreatePropertyFromType("Weight", kPropertyTypeDouble, &KDataTypeNumber, false, false, nullptr);
    KProperty* b = object.CreatePropertyFromType("Weight", kPropertyTypeDouble, nullptr, true, true, nullptr);
    KProperty* c = object.CreatePropertyFromType("Weight", kPropertyTypeBool, nullptr, false, false, nullptr);
    KProperty* d = object.CreatePropertyFromType("Weight1", kPropertyTypeInteger, nullptr, false, false, nullptr);
    ASSERT_TRUE(a && b && c && d);
    EXPECT_EQ((std::vector<std::string>{"Weight", "Weight1", "Weight2", "Weight11"}), Names(object));
    EXPECT_EQ(KPropertyInfo::kFlagDynamic, a->GetPropertyInfo().mFlags);
    EXPECT_EQ(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagAnimatable | KPropertyInfo::kFlagUser,
              b->GetPropertyInfo().mFlags);
    EXPECT_EQ(&KDataTypeNumber, a->GetPropertyDataType());
    EXPECT_EQ(kPropertyTypeBool, c->GetPropertyType());
    EXPECT_EQ(&object, c->GetOwner());
    // The name is the property's own copy.
    std::string name = "Temp";
    KProperty* e = object.CreatePropertyFromType(name.c_str(), kPropertyTypeDouble, nullptr, false, false, nullptr);
    name = "Changed";
    EXPECT_STREQ("Temp", e->GetPropertyName());
    // No value type, no name: nothing.
    EXPECT_EQ(nullptr, object.CreatePropertyFromType("X", kPropertyTypeNone, nullptr, false, false, nullptr));
    EXPECT_EQ(nullptr, object.CreatePropertyFromType("X", kPropertyTypeCharPtr, nullptr, false, false, nullptr));
    EXPECT_EQ(nullptr, object.CreatePropertyFromType(nullptr, kPropertyTypeBool, nullptr, false, false, nullptr));
    EXPECT_EQ(5, object.GetPropertyCount());
}

TEST(KObject, CreatePropertyFromTypeCopiesAReferenceOfTheSameType) {
    KObject object;
    KPropertyTemplate<KgeTVector> reference;
    reference.Value() = KgeTVector(1.0, 2.0, 3.0);
    KPropertyTemplate<double> wrongType;
    wrongType.Value() = 7.0;
    KProperty* copy = object.CreatePropertyFromType("T", kPropertyTypeVector, &KDataTypeLclTranslation, false, false,
                                                    &reference);
    KProperty* fresh = object.CreatePropertyFromType("U", kPropertyTypeVector, nullptr, false, false, &wrongType);
    double v[3] = {};
    copy->GetData(v);
    EXPECT_EQ(3.0, v[2]);
    fresh->GetData(v);
    EXPECT_EQ(0.0, v[2]);
}

TEST(KObject, PropertyDestroyUnlistsAndEndsDynamicProperties) {
    Members object;
    KProperty* dynamic = object.CreatePropertyFromType("Dyn", kPropertyTypeDouble, nullptr, false, false, nullptr);
    HdlKPlug handle(dynamic);
    KObject partner;
    ASSERT_TRUE(object.mProps[1].ConnectSrc(&partner));
    object.mLog.clear();

    EXPECT_TRUE(object.PropertyDestroy(dynamic));
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ((std::vector<std::string>{"12@3:Dyn", "13@3:Dyn"}), object.mLog);
    EXPECT_TRUE(object.PropertyDestroy(&object.mProps[1]));  // a member: unlisted and disconnected
    EXPECT_EQ(0, partner.GetDstCount());
    EXPECT_EQ((std::vector<std::string>{"First", "Third"}), Names(object));
    EXPECT_FALSE(object.PropertyDestroy(&object.mProps[1]));
    EXPECT_FALSE(object.PropertyDestroy(nullptr));
    Members other;
    EXPECT_FALSE(object.PropertyDestroy(&other.mProps[0]));
}

TEST(KObject, DestructEmptiesTheListFromTheLast) {
    Members* object = new Members;
    KProperty* dynamic = object->CreatePropertyFromType("Dyn", kPropertyTypeBool, nullptr, false, false, nullptr);
    KPropertyObjectList* list =
        KPropertyObjectList::Create(object, "List", 0, -1, 1, KPlug::eDirectionSrcDst, kPropertyFlagNone);
    KObject a, b;
    ASSERT_TRUE(list->Add(&a));
    ASSERT_TRUE(object->mProps[0].ConnectDst(&b));
    HdlKPlug hDynamic(dynamic), hList(list);
    object->Destruct();
    EXPECT_EQ(0, object->GetPropertyCount());
    EXPECT_FALSE(hDynamic.IsValid());
    EXPECT_FALSE(hList.IsValid());
    EXPECT_EQ(0, a.GetDstCount());
    EXPECT_EQ(0, b.GetSrcCount());
    object->Destruct();  // again: harmless
    delete object;
}

TEST(KObject, DeletingWithoutDestructStillFreesDynamicProperties) {
    KObject a;
    HdlKPlug handle;
    {
        Members object;
        KProperty* dynamic = object.CreatePropertyFromType("Dyn", kPropertyTypeBool, nullptr, false, false, nullptr);
        ASSERT_TRUE(dynamic->ConnectSrc(&a));
        handle = dynamic;
    }
    EXPECT_FALSE(handle.IsValid());
    EXPECT_EQ(0, a.GetDstCount());
}

TEST(KObject, AMemberPropertyLeavesItsOwnersList) {
    Members object;
    {
        KPropertyTemplate<double> temporary;
        object.PropertyAddToList(&temporary);
        EXPECT_EQ(4, object.GetPropertyCount());
    }
    EXPECT_EQ(3, object.GetPropertyCount());
}

TEST(KObject, TransactionsReachTheEntity) {
    class Entity : public KObject {
    public:
        void EntityTransaction(KObject* object, bool begin) override {
            mLog.push_back(std::string(begin ? "begin" : "end") + (object == mExpected ? "" : "?"));
        }
        KObject* mExpected = nullptr;
        std::vector<std::string> mLog;
    };
    KObject object;
    object.ObjectTransactionBegin();  // no entity: nothing
    EXPECT_EQ(-1, object.GetPrefixClassId());
    EXPECT_EQ(nullptr, object.ObjectClone());
    {
        Entity entity;
        entity.mExpected = &object;
        object.EntitySet(&entity);
        EXPECT_EQ(&entity, object.EntityGet());
        object.ObjectTransactionBegin();
        object.ObjectTransactionEnd();
        EXPECT_EQ((std::vector<std::string>{"begin", "end"}), entity.mLog);
    }
    EXPECT_EQ(nullptr, object.EntityGet());  // held by handle
    object.ObjectTransactionEnd();
}
