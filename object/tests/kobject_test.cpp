#include "object/kobject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/knameindex.h"
#include "base/kstepcount.h"
#include "object/kclassdefinition.h"
#include "object/kproperty.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "object/tests/object_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::objecttest;

// Members are listed in creation order with notices, each once; destroying one
// unlists and disconnects it, and ends it when it is dynamic.
TEST(KObject, ListKeepsCreationOrderAndPropertyDestroyUnlists) {
    NoticeLog log;
    Holder object(&log, "M"), other(&log, "N");
    log.Take();
    KPropertyTemplate<bool> second, third;
    AddMember(object, second, "Second");
    AddMember(object, third, "Third");
    EXPECT_EQ((Lines{"p", "Second", "Third"}), PropertyNames(object));
    // The name is given after the append, so the notices see it unnamed.
    EXPECT_EQ((Lines{"M:10:M<#1", "M:11:M<#1", "M:10:M<#2", "M:11:M<#2"}), log.Take());
    EXPECT_EQ(&third, object.FindPropertyByName("Third"));
    EXPECT_FALSE(object.FindPropertyByName("third") || object.FindPropertyByName(nullptr) || object.GetProperty(3) ||
                 object.GetProperty(-1));
    // Adding again, or a property of another object, changes nothing.
    for (KProperty* p : std::initializer_list<KProperty*>{&object.mProp, &other.mProp, nullptr})
        object.PropertyAddToList(p);
    EXPECT_TRUE(object.GetPropertyCount() == 3 && other.mProp.GetOwner() == &other);
    {
        KPropertyTemplate<double> temporary;  // a member leaves the list when it ends
        object.PropertyAddToList(&temporary);
        EXPECT_EQ(4, object.GetPropertyCount());
    }
    KProperty* dynamic = object.CreatePropertyFromType("Dyn", kPropertyTypeDouble, nullptr, false, false, nullptr);
    HdlKPlug handle(dynamic);
    KObject partner;
    ASSERT_TRUE(object.GetPropertyCount() == 4 && second.ConnectSrc(&partner));
    log.Take();
    EXPECT_TRUE(object.PropertyDestroy(dynamic) && !handle.IsValid());
    EXPECT_EQ((Lines{"M:12:M<Dyn#3", "M:13:M<Dyn#3"}), log.Take());
    EXPECT_TRUE(object.PropertyDestroy(&second));  // a member: unlisted and disconnected
    EXPECT_TRUE(partner.GetDstCount() == 0 && PropertyNames(object) == (Lines{"p", "Third"}));
    EXPECT_FALSE(object.PropertyDestroy(&second) || object.PropertyDestroy(nullptr) ||
                 object.PropertyDestroy(&other.mProp));  // no longer, never or another's
}

// Notices said to be unheard are not sent: the list's on the object, the value's on a property;
// a property that changes owner is heard again, connections always are.
TEST(KObject, UnheardNoticesAreNotSentUntilTheOwnerChanges) {
    NoticeLog log;
    Holder object(&log, "M"), other(&log, "N");
    object.SetNoticesUnheard(true);
    Logged<KPropertyTemplate<double>> value(&log, "v");
    AddMember(object, value, "v");
    value.SetNoticesUnheard(true);
    log.Take();
    value.Set(1.5);
    EXPECT_TRUE(log.Take().empty());
    EXPECT_EQ(1.5, value.Value());
    KObject partner;
    ASSERT_TRUE(value.ConnectSrc(&partner));
    EXPECT_FALSE(log.Take().empty());  // connections are heard
    ASSERT_TRUE(object.PropertyDestroy(&value));  // released: no longer unheard
    EXPECT_FALSE(value.AreNoticesUnheard());
    log.Take();
    value.Set(2.5);
    EXPECT_EQ((Lines{"v:18:v<-", "v:19:v<-"}), log.Take());
    other.PropertyAddToList(&value);
    EXPECT_EQ((Lines{"N:10:N<v#1", "N:11:N<v#1"}), log.Take());
}

// An object tells whether a search of its properties for sources can be skipped: not once a
// property it owns gets a source, or it takes a property that has one; destinations, and
// sources of the object itself, do not count.
TEST(KObject, MayHavePropertySourcesOnceAPropertyItOwnsHasASource) {
    KObject object, partner, other;
    KPropertyTemplate<double> a, b, sourced;
    object.PropertyAddToList(&a);
    object.PropertyAddToList(&b);
    EXPECT_FALSE(object.MayHavePropertySources());
    ASSERT_TRUE(a.ConnectDst(&partner) && object.ConnectSrc(&partner));
    EXPECT_FALSE(object.MayHavePropertySources());
    ASSERT_TRUE(b.ConnectSrc(&partner));
    EXPECT_TRUE(object.MayHavePropertySources());
    ASSERT_TRUE(sourced.ConnectSrc(&partner));  // sourced before it has an owner
    EXPECT_FALSE(other.MayHavePropertySources() || partner.MayHavePropertySources());
    other.PropertyAddToList(&sourced);
    EXPECT_TRUE(other.MayHavePropertySources());
}

// A taken name is counted up; the name is the property's own copy; the flags
// say dynamic, animatable and user; a reference of the same value type gives
// its value; without a value type or a name nothing is made.
TEST(KObject, CreatePropertyCountsUpATakenNameAndCopiesAReference) {
    KObject object;
    std::string name = "Weight";
    KProperty* a =
        object.CreatePropertyFromType(name.c_str(), kPropertyTypeDouble, &KDataTypeNumber, false, false, nullptr);
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

// Many properties are found through an index of their names: a property renamed, one destroyed and
// one listed before it was named are found as a search of the list would find them.
TEST(KObject, ManyPropertiesFoundByTheirNamesAfterRenamesAndRemovals) {
    KObject object;
    std::vector<KProperty*> made;
    const int count = KNameIndex::kMinCount + 8;
    for (int i = 0; i < count; ++i)
        made.push_back(object.CreatePropertyFromType(("p" + std::to_string(i)).c_str(), kPropertyTypeDouble,
                                                     nullptr, false, false, nullptr));
    ASSERT_EQ(made[5], object.FindPropertyByName("p5"));
    made[5]->GetPropertyInfo().SetNameCopy("renamed");
    EXPECT_TRUE(!object.FindPropertyByName("p5") && object.FindPropertyByName("renamed") == made[5]);
    EXPECT_STREQ("p5", object.CreatePropertyFromType("p5", kPropertyTypeBool, nullptr, false, false, nullptr)
                           ->GetPropertyName());
    object.PropertyDestroy(made[0]);
    const std::string last = "p" + std::to_string(count - 1);
    EXPECT_TRUE(!object.FindPropertyByName("p0") && object.FindPropertyByName(last.c_str()) == made.back());
    KPropertyTemplate<bool> late;
    object.PropertyAddToList(&late);
    late.GetPropertyInfo().SetNameReference("late");
    EXPECT_EQ(&late, object.FindPropertyByName("late"));
}

// n properties made (each name first looked for) and each found again: some n log2 n names read at
// most, however the search goes; a search in place per property reads some n^2 / 2 and more.
TEST(KObject, ManyPropertiesFoundWithinNLogNNamesRead) {
    const int n = 3000;
    KObject object;
    std::uint64_t steps = 0;
    {
        KStepCountScope counted(KStepKind::eSearch);
        for (int i = 0; i < n; ++i)
            object.CreatePropertyFromType(("p" + std::to_string(i)).c_str(), kPropertyTypeDouble, nullptr, false,
                                          false, nullptr);
        for (int i = n; i-- > 0;) ASSERT_NE(nullptr, object.FindPropertyByName(("p" + std::to_string(i)).c_str()));
        steps = counted.GetSteps();
    }
    EXPECT_GT(steps, static_cast<std::uint64_t>(n));  // names were read, and counted
    EXPECT_LE(steps, static_cast<std::uint64_t>(8.0 * n * std::log2(static_cast<double>(n))));
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

namespace {

// Three levels below KObject.
class Animal : public KObject { KZEQ_CLASS_DECLARE(Animal) };
class Dog : public Animal { KZEQ_CLASS_DECLARE(Dog) };
class Puppy : public Dog { KZEQ_CLASS_DECLARE(Puppy) };
class Cat : public Animal { KZEQ_CLASS_DECLARE(Cat) };

}  // namespace

KZEQ_CLASS_IMPLEMENT(Animal, KObject, "Animal")
KZEQ_CLASS_IMPLEMENT(Dog, Animal, "Dog")
KZEQ_CLASS_IMPLEMENT(Puppy, Dog, "Puppy")
KZEQ_CLASS_IMPLEMENT(Cat, Animal, "Cat")

// Identifiers, names, filters and interfaces follow the hierarchy.
TEST(KClassRegistry, IdentifiersNamesFiltersAndInterfacesFollowTheHierarchy) {
    Puppy puppy;
    Cat cat;
    KProperty property;
    for (int id : {Puppy::ClassId, Dog::ClassId, Animal::ClassId, KObject::ClassId, KPlug::ClassId})
        EXPECT_TRUE(puppy.Is(id)) << id;
    for (int id : {Cat::ClassId, KProperty::ClassId, -1}) EXPECT_FALSE(puppy.Is(id)) << id;
    EXPECT_TRUE(cat.Is(Animal::ClassId) && !cat.Is(Dog::ClassId) && std::string("Puppy") == puppy.GetClassIdName());
    const std::set<int> ids = {KPlug::ClassId, KObject::ClassId, KProperty::ClassId, KPropertyObjectList::ClassId,
                               Animal::ClassId, Dog::ClassId, Puppy::ClassId, Cat::ClassId};
    EXPECT_TRUE(ids.size() == 8 && *ids.begin() > 0) << "distinct and positive";
    EXPECT_TRUE(KObject::ClassId < Animal::ClassId && Animal::ClassId < Dog::ClassId) << "parents first";
    EXPECT_TRUE(KPlug_GetClassIdByName("Dog") == Dog::ClassId && KPlug_GetClassIdByName("NoSuchClass") == -1 &&
                KPlug_GetClassIdByName(nullptr) == -1);
    EXPECT_TRUE(KPlug_GetClassDefinition(Dog::ClassId) == &Dog::ClassDefinition && !KPlug_GetClassDefinition(1 << 20));

    KPlugFilter* animals = KPlug_GetFilter(Animal::ClassId);
    ASSERT_NE(nullptr, animals);
    EXPECT_TRUE(animals->IsMatching(&puppy) && !animals->IsMatching(&property) && !animals->IsMatching(nullptr));
    EXPECT_TRUE(KPlug_GetFilter(-1)->IsMatching(&property) && KPlug_GetFilter(KPlug::ClassId)->IsMatching(&property));
    EXPECT_TRUE(KPlug_GetFilter(1 << 20) == nullptr && KPlug_GetFilter(-7) == nullptr);
    for (unsigned long id : {kIKObjectInterfaceId, static_cast<unsigned long>(KObject::ClassId),
                             static_cast<unsigned long>(KPlug::ClassId)})
        EXPECT_EQ(static_cast<IKObject*>(&puppy), puppy.IQuery(id, 0)) << id;
    EXPECT_FALSE(puppy.IQuery(39402, 0) || property.IQuery(static_cast<unsigned long>(KObject::ClassId), 0));
    EXPECT_EQ(static_cast<IKObject*>(&property), property.IQuery(kIKObjectInterfaceId, 0));
}

TEST(KClassRegistry, LateRegistrationParentsFirstAndExplicitIdentifiers) {
    static int parentId = 0, childId = 0, freeId = 0, takenId = 0;
    static KClassDefinition parent = {&parentId, &KObject::ClassDefinition, "LateParent", nullptr};
    static KClassDefinition child = {&childId, &parent, "LateChild", nullptr};
    static KClassDefinition fixed = {&freeId, &KObject::ClassDefinition, "FixedId", nullptr};
    static KClassDefinition clash = {&takenId, &KObject::ClassDefinition, "ClashingId", nullptr};
    // The child first: its parent is registered on the way, once.
    const int id = KPlug_RegisterClassId(&child, -1);
    EXPECT_TRUE(id == childId && parentId > 0 && parentId < childId && id == KPlug_RegisterClassId(&child, -1));
    EXPECT_TRUE(KClassDefinition_Is(&child, KObject::ClassId) && KClassDefinition_Is(&child, parentId) &&
                !KClassDefinition_Is(&parent, childId));
    // An explicit identifier must be free and positive; else the next after the highest taken.
    EXPECT_EQ(5000, KPlug_RegisterClassId(&fixed, 5000));
    for (int wanted : {5000, 0}) EXPECT_EQ(-1, KPlug_RegisterClassId(&clash, wanted)) << wanted;
    EXPECT_EQ(-1, KPlug_RegisterClassId(nullptr, -1));
    EXPECT_GT(KPlug_RegisterClassId(&clash, -1), 5000);
}
