#include "object/kclassdefinition.h"

#include <gtest/gtest.h>

#include "object/kobject.h"
#include "object/kproperty.h"
#include "object/kpropertyobjectlist.h"

using namespace zeqsdk_400;

namespace {

// Three levels below KObject.
class Animal : public KObject {
    KZEQ_CLASS_DECLARE(Animal)
};
class Dog : public Animal {
    KZEQ_CLASS_DECLARE(Dog)
};
class Puppy : public Dog {
    KZEQ_CLASS_DECLARE(Puppy)
};
class Cat : public Animal {
    KZEQ_CLASS_DECLARE(Cat)
};

}  // namespace

KZEQ_CLASS_IMPLEMENT(Animal, KObject, "Animal")
KZEQ_CLASS_IMPLEMENT(Dog, Animal, "Dog")
KZEQ_CLASS_IMPLEMENT(Puppy, Dog, "Puppy")
KZEQ_CLASS_IMPLEMENT(Cat, Animal, "Cat")

TEST(KClassRegistry, IsFollowsTheWholeHierarchy) {
    Puppy puppy;
    Cat cat;
    for (int id : {Puppy::ClassId, Dog::ClassId, Animal::ClassId, KObject::ClassId, KPlug::ClassId})
        EXPECT_TRUE(puppy.Is(id)) << id;
    EXPECT_FALSE(puppy.Is(Cat::ClassId));
    EXPECT_FALSE(puppy.Is(KProperty::ClassId));
    EXPECT_FALSE(puppy.Is(-1));
    EXPECT_TRUE(cat.Is(Animal::ClassId));
    EXPECT_FALSE(cat.Is(Dog::ClassId));
    EXPECT_STREQ("Puppy", puppy.GetClassIdName());
    EXPECT_EQ(Puppy::ClassId, puppy.GetClassId());
    EXPECT_EQ(&Puppy::ClassDefinition, puppy.GetClassDefinition());
    EXPECT_EQ(KObject::ClassGroupId, puppy.GetClassGroupId());
    EXPECT_STREQ(KObject::ClassGroupName, puppy.GetClassGroupName());
}

TEST(KClassRegistry, IdentifiersAreDistinctAndNamed) {
    const int ids[] = {KPlug::ClassId, KObject::ClassId, KProperty::ClassId, KPropertyObjectList::ClassId,
                       Animal::ClassId, Dog::ClassId, Puppy::ClassId, Cat::ClassId};
    const int n = static_cast<int>(sizeof(ids) / sizeof(ids[0]));
    for (int i = 0; i < n; ++i) {
        EXPECT_GT(ids[i], 0);
        for (int k = i + 1; k < n; ++k) EXPECT_NE(ids[i], ids[k]);
    }
    EXPECT_EQ(Dog::ClassId, KPlug_GetClassIdByName("Dog"));
    EXPECT_EQ(-1, KPlug_GetClassIdByName("NoSuchClass"));
    EXPECT_EQ(-1, KPlug_GetClassIdByName(nullptr));
    EXPECT_EQ(&Dog::ClassDefinition, KPlug_GetClassDefinition(Dog::ClassId));
    EXPECT_EQ(nullptr, KPlug_GetClassDefinition(1 << 20));
    // An ancestor registers before its descendants.
    EXPECT_LT(KObject::ClassId, Animal::ClassId);
    EXPECT_LT(Animal::ClassId, Dog::ClassId);
}

TEST(KClassRegistry, RegistrationIsOrderIndependentAndIdempotent) {
    static int parentId = 0, childId = 0;
    static KClassDefinition parent = {&parentId, &KObject::ClassDefinition, "LateParent", nullptr};
    static KClassDefinition child = {&childId, &parent, "LateChild", nullptr};
    // The child first: its parent is registered on the way.
    const int id = KPlug_RegisterClassId(&child, -1);
    EXPECT_EQ(childId, id);
    EXPECT_GT(parentId, 0);
    EXPECT_LT(parentId, childId);
    EXPECT_EQ(id, KPlug_RegisterClassId(&child, -1));
    EXPECT_EQ(parentId, KClassDefinition_GetId(&parent));
    EXPECT_TRUE(KClassDefinition_Is(&child, KObject::ClassId));
    EXPECT_TRUE(KClassDefinition_Is(&child, parentId));
    EXPECT_FALSE(KClassDefinition_Is(&parent, childId));
}

TEST(KClassRegistry, ExplicitIdentifiers) {
    static int freeId = 0, takenId = 0;
    static KClassDefinition fixed = {&freeId, &KObject::ClassDefinition, "FixedId", nullptr};
    static KClassDefinition clash = {&takenId, &KObject::ClassDefinition, "ClashingId", nullptr};
    EXPECT_EQ(5000, KPlug_RegisterClassId(&fixed, 5000));
    EXPECT_EQ(5000, freeId);
    EXPECT_EQ(-1, KPlug_RegisterClassId(&clash, 5000));  // taken
    EXPECT_EQ(-1, KPlug_RegisterClassId(&clash, 0));     // not a class identifier
    EXPECT_EQ(nullptr, clash.mFilter);
    EXPECT_EQ(-1, KPlug_RegisterClassId(nullptr, -1));
    // The next free identifier follows the highest one taken.
    EXPECT_GT(KPlug_RegisterClassId(&clash, -1), 5000);
}

TEST(KClassRegistry, Filters) {
    Dog dog;
    Cat cat;
    KProperty property;
    KPlugFilter* animals = KPlug_GetFilter(Animal::ClassId);
    ASSERT_NE(nullptr, animals);
    EXPECT_EQ(Animal::ClassDefinition.mFilter, animals);
    EXPECT_TRUE(animals->IsMatching(&dog));
    EXPECT_TRUE(animals->IsMatching(&cat));
    EXPECT_FALSE(animals->IsMatching(&property));
    EXPECT_FALSE(animals->IsMatching(nullptr));
    KPlugFilter* none = KPlug_GetFilter(-1);
    ASSERT_NE(nullptr, none);
    EXPECT_EQ(-1, none->GetClassId());
    EXPECT_TRUE(none->IsMatching(&property));
    EXPECT_TRUE(KPlug_GetFilter(KPlug::ClassId)->IsMatching(&property));
    EXPECT_EQ(nullptr, KPlug_GetFilter(1 << 20));
    EXPECT_EQ(nullptr, KPlug_GetFilter(-7));
}

TEST(KClassRegistry, IQueryAnswersTheObjectInterfaces) {
    Dog dog;
    EXPECT_EQ(static_cast<IKObject*>(&dog), dog.IQuery(kIKObjectInterfaceId, 0));
    EXPECT_EQ(static_cast<IKObject*>(&dog), dog.IQuery(static_cast<unsigned long>(KObject::ClassId), 0));
    EXPECT_EQ(static_cast<IKObject*>(&dog), dog.IQuery(static_cast<unsigned long>(KPlug::ClassId), 0));
    EXPECT_EQ(nullptr, dog.IQuery(39402, 0));
    KProperty property;
    EXPECT_EQ(nullptr, property.IQuery(static_cast<unsigned long>(KObject::ClassId), 0));
    EXPECT_EQ(static_cast<IKObject*>(&property), property.IQuery(kIKObjectInterfaceId, 0));
}
