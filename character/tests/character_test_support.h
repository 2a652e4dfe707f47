#ifndef ZEQ_CHARACTER_TESTS_CHARACTER_TEST_SUPPORT_H
#define ZEQ_CHARACTER_TESTS_CHARACTER_TEST_SUPPORT_H

#include <memory>

#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterproperties.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqfilterset.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace chartest {

using namespace zeqsdk_400;

// Scene objects end as the scene ends them: Destruct, then delete.
struct Ender {
    template <class T>
    void operator()(T* object) const {
        object->Destruct();
        delete object;
    }
};
template <class T>
using Owned = std::unique_ptr<T, Ender>;

inline ECharacterNodeId Id(int id) { return static_cast<ECharacterNodeId>(id); }
inline EEffectorSetId AuxSet(int set) { return static_cast<EEffectorSetId>(set); }
inline KZeqCharacterLink LinkTo(KZeqNode* node, const char* name = "") {
    KZeqCharacterLink link;
    link.mNode = node;
    link.mTemplateName = name;
    return link;
}

// A manager with nodes a, b, c and a character; the character ends first.
class CharacterFixture {
protected:
    KZeqNode* Node(const char* name) { return mManager.CreateKZeqNode(name); }
    static KZeqPropertyHandler* Handler(KZeqNode* node) { return node->GetPropertyHandler(); }
    bool Holds(KZeqNode* node, int kind, int index, int sub = 0) const {
        return node->FindCharacterLink(mCharacter.get(), kind, index, sub) >= 0;
    }
    KZeqCharacterProperties& Props() { return *mCharacter->GetProperties(); }
    KZeqFilterSet& Filters() { return *mCharacter->GetFilterSet(); }
    KPropertyObjectList* LinkList(const char* name) {
        return static_cast<KPropertyObjectList*>(Props().FindPropertyByName(name));
    }

    KZeqSdkManager mManager;
    KZeqNode *a = Node("a"), *b = Node("b"), *c = Node("c");
    Owned<KZeqCharacter> mCharacter{new KZeqCharacter(mManager, "Constraint::hero")};
};

}  // namespace chartest

#endif
