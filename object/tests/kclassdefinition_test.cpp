#include "object/kclassdefinition.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "object/kobject.h"
#include "object/kproperty.h"
#include "object/kpropertyobjectlist.h"

using namespace zeqsdk_400;

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
    EXPECT_TRUE(KClassDefinition_Is(&child, KObject::ClassId) && KClassDefinition_Is(&child, parentId));
    EXPECT_FALSE(KClassDefinition_Is(&parent, childId));
    // An explicit identifier must be free and positive; else the next after the highest taken.
    EXPECT_EQ(5000, KPlug_RegisterClassId(&fixed, 5000));
    for (int wanted : {5000, 0}) EXPECT_EQ(-1, KPlug_RegisterClassId(&clash, wanted)) << wanted;
    EXPECT_EQ(-1, KPlug_RegisterClassId(nullptr, -1));
    EXPECT_GT(KPlug_RegisterClassId(&clash, -1), 5000);
}
