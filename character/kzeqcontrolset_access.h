#ifndef ZEQ_CHARACTER_KZEQCONTROLSET_ACCESS_H
#define ZEQ_CHARACTER_KZEQCONTROLSET_ACCESS_H

#include "character/kzeqcontrolset.h"

namespace zeqsdk_400 {

// Inside the character subsystem only: the owning character stores itself,
// and a node that ends has its slot cleared through its record.
struct KZeqControlSetAccess {
    static void SetOwner(KZeqControlSet& set, KZeqCharacter* character) { set.mCharacter = character; }
    static KZeqCharacter* GetOwner(const KZeqControlSet& set) { return set.mCharacter; }
    // The slot as it is, node or not; id 0..43.
    static const KZeqEffector& EffectorSlot(const KZeqControlSet& set, EEffectorNodeId id) { return set.mEffector[id]; }
    // Kind 1 keeps the link's name, kind 2 the effector's flags; anything else is ignored.
    static void ClearSlot(KZeqControlSet& set, int kind, int index, int subIndex) {
        set.ClearSlot(kind, index, subIndex);
    }
};

}  // namespace zeqsdk_400

#endif
